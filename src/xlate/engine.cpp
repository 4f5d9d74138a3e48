// intl_xlate: translation by a table, or a plain copy without one.
#include "xlate/xlate.h"

#include <algorithm>
#include <climits>

using namespace intl::xlate;

namespace {

// What the search at one source position found.
struct Found {
    enum class Kind { none, match, cut } kind;
    const INTL_MAP *map;
};

// Number of leading pairs that agree between the source bytes after the
// first and a pattern, comparing at most n pairs.
INTL_INT agreeing_pairs(const unsigned char *s, const unsigned char *pattern, INTL_INT n) {
    INTL_INT k = 0;
    while (k < n && s[k] == pattern[k])
        ++k;
    return k;
}

// Walks a list in order for the mapping at s, srcleft bytes being left.
// Lists are sorted longest sequence first and ascending within a length, so
// the first match is the longest, and a mapping whose first differing byte
// is above the source's has passed it: the rest of its length is skipped.
Found search_list(const INTL_XLIST &list, const unsigned char *s, INTL_INT srcleft, bool srcend) {
    INTL_INT skip_length = -1;
    for (const INTL_MAP &m : mappings(list)) {
        if (!usable(m) || m.src_left == skip_length)
            continue;
        const bool longer = m.src_left >= srcleft;
        if (longer && srcend)
            continue;
        const INTL_INT n = longer ? srcleft - 1 : m.src_left;
        const INTL_INT k = agreeing_pairs(s + 1, m.src_pattern, n);
        if (k == n)
            return {longer ? Found::Kind::cut : Found::Kind::match, &m};
        if (m.src_pattern[k] > s[1 + k])
            skip_length = m.src_left;
    }
    return {Found::Kind::none, nullptr};
}

// Translation by a table. destlen -1 means no limit; the count of output
// bytes still never passes INT32_MAX, which the result could not hold.
INTL_INT translate(const unsigned char *src, INTL_INT srclen, unsigned char *dest, INTL_INT destlen,
                   const INTL_XLATE &xlt, INTL_INT &used, bool srcend, INTL_INT &status) {
    if (dest == nullptr)
        destlen = -1;
    if (srclen == -1)
        srclen = static_cast<INTL_INT>(
            intl::bounded_length(reinterpret_cast<const char *>(src), INT32_MAX));
    if (destlen < -1)
        return 0;
    const INTL_INT limit = destlen == -1 ? INT32_MAX : destlen;
    INTL_INT produced = 0;
    while (used < srclen) {
        const unsigned char *s = src + used;
        const Found found = search_list(xlt.xlist[*s], s, srclen - used, srcend);
        if (found.kind == Found::Kind::cut) {
            status = status_source_cut;
            return produced;
        }
        const bool mapped = found.kind == Found::Kind::match;
        const INTL_INT out = mapped ? found.map->dest_chars : 1;
        if (out > limit - produced) {
            status = status_dest_full;
            return produced;
        }
        if (dest != nullptr)
            std::memcpy(dest + produced, mapped ? found.map->dest_pattern : s,
                        static_cast<std::size_t>(out));
        used += mapped ? 1 + found.map->src_left : 1;
        produced += out;
    }
    if (destlen == -1 && dest != nullptr)
        dest[produced] = '\0';
    return produced;
}

// Copies n bytes by the string-copy rules: the copy stops at a zero byte in
// the source and the rest of the n bytes become zero bytes.
void string_copy(unsigned char *dest, const unsigned char *src, std::size_t n) {
    const std::size_t len = intl::bounded_length(reinterpret_cast<const char *>(src), n);
    std::memcpy(dest, src, len);
    std::memset(dest + len, 0, n - len);
}

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
            status = status_dest_full;
        if (dest != nullptr)
            string_copy(dest, src, static_cast<std::size_t>(n));
        used = n;
        return n;
    }
    const auto room = static_cast<std::size_t>(destlen);
    const std::size_t len = intl::bounded_length(text, room + 1);
    if (len > room)
        status = status_dest_full;
    if (dest != nullptr) {
        string_copy(dest, src, room);
        used = static_cast<INTL_INT>(std::min(len, room));
    }
    return destlen;
}

} // namespace

extern "C" {

INTL_INT intl_xlate(const unsigned char *src, INTL_INT srclen, unsigned char *dest,
                    INTL_INT destlen, const INTL_XLATE *xlt, INTL_INT *srcbytes_used,
                    INTL_INT srcend, INTL_INT *status) {
    if (src == nullptr)
        return INTL_E_NOSOURCE;
    if (srcbytes_used == nullptr || status == nullptr)
        return INTL_E_NULLPTR;
    *srcbytes_used = 0;
    *status = status_done;
    if (xlt == nullptr)
        return plain_copy(src, srclen, dest, destlen, *srcbytes_used, *status);
    return translate(src, srclen, dest, destlen, *xlt, *srcbytes_used, srcend != 0, *status);
}
}
