// Copying without a translation table: the plain-copy form of intl_xlate.
#include "xlate/xlate.h"

#include <algorithm>
#include <climits>

namespace {

// Bytes looked at per step of a copy: the scan for a zero byte brings them
// into the cache and the copy takes them from there.
constexpr std::size_t copy_step = 16 * 1024;

// Copies n bytes by the string-copy rules: the copy stops at a zero byte in
// the source and the rest of the n bytes become zero bytes.
void string_copy(unsigned char *dest, const unsigned char *src, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const std::size_t step = std::min(copy_step, n - done);
        const void *zero = std::memchr(src + done, '\0', step);
        const std::size_t len =
            zero ? static_cast<std::size_t>(static_cast<const unsigned char *>(zero) - src) - done
                 : step;
        std::memcpy(dest + done, src + done, len);
        done += len;
        if (zero != nullptr)
            break;
    }
    std::memset(dest + done, 0, n - done);
}

} // namespace

namespace intl::xlate {

// Copying without a table; any negative srclen means a NUL-terminated source
// and any negative destlen means no limit.
INTL_INT plain_copy(const unsigned char *src, INTL_INT srclen, unsigned char *dest,
                    INTL_INT destlen, INTL_INT &used, INTL_INT &status) {
    const auto *text = reinterpret_cast<const char *>(src);
    if (srclen < 0 && destlen < 0) {
        const auto len = static_cast<INTL_INT>(intl::bounded_length(text, INT32_MAX));
        if (dest != nullptr) {
            std::memcpy(dest, src, static_cast<std::size_t>(len) + 1);
            used = len;
        }
        return len;
    }
    if (destlen < 0) {
        if (dest != nullptr) {
            string_copy(dest, src, static_cast<std::size_t>(srclen));
            dest[srclen] = '\0';
            used = srclen;
        }
        return srclen;
    }
    if (srclen >= 0) {
        const INTL_INT n = std::min(srclen, destlen);
        if (srclen > destlen)
            status = intl::xlate::status_dest_full;
        if (dest != nullptr)
            string_copy(dest, src, static_cast<std::size_t>(n));
        used = n;
        return n;
    }
    const auto room = static_cast<std::size_t>(destlen);
    const std::size_t len = intl::bounded_length(text, room + 1);
    if (len > room)
        status = intl::xlate::status_dest_full;
    if (dest != nullptr) {
        string_copy(dest, src, room);
        used = static_cast<INTL_INT>(std::min(len, room));
    }
    return destlen;
}

} // namespace intl::xlate
