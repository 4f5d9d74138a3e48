// The mapping for one source position in a list sorted longest sequence first, then by pattern:
// per length, the first usable mapping equal to the source, as the skip rule's walk finds it.
#ifndef INTL_XLATE_SEARCH_H
#define INTL_XLATE_SEARCH_H

#include "xlate/xlate.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace intl::xlate {

// 8 bytes as a number, first byte lowest (outputs are held so).
inline std::uint64_t load8(const unsigned char *from) {
    std::uint64_t bytes;
    std::memcpy(&bytes, from, sizeof bytes);
    return std::endian::native == std::endian::big ? __builtin_bswap64(bytes) : bytes;
}

// The first n (0..7) bytes of a key; keys are big-endian, so they order as the bytes do.
constexpr std::uint64_t prefix_mask(INTL_INT n) {
    return n == 0 ? 0 : ~std::uint64_t{0} << (64 - 8 * n);
}

// A mapping's pattern as a key: its 7 bytes and the first destination byte, which masks drop.
inline std::uint64_t pattern_key(const INTL_MAP &m) {
    return __builtin_bswap64(
        load8(reinterpret_cast<const unsigned char *>(&m) + offsetof(INTL_MAP, src_pattern)));
}

// The source bytes after the first, as many as are there up to 7, as a key.
inline std::uint64_t source_key(const unsigned char *rest, INTL_INT count) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, rest, std::size_t(std::clamp<INTL_INT>(count, 0, max_src_left)));
    return __builtin_bswap64(load8(count >= 8 ? rest : bytes)) & prefix_mask(max_src_left);
}

// In one length group, the first usable mapping whose first n pattern bytes equal the source's.
inline const INTL_MAP *find_in_group(const INTL_MAP *first, const INTL_MAP *last,
                                     std::uint64_t source, INTL_INT n) {
    const std::uint64_t mask = prefix_mask(n), key = source & mask;
    const INTL_MAP *at = first;
    for (std::size_t count = std::size_t(last - first), half; count > 1; count -= half) // no branch
        half = count / 2, at = (pattern_key(at[half - 1]) & mask) < key ? at + half : at;
    at += (pattern_key(*at) & mask) < key; // the first not below the key
    for (; at != last && (pattern_key(*at) & mask) == key; ++at)
        if (at->src_left == first->src_left && usable(*at))
            return at;
    return nullptr;
}

// Whether the source at s (srcleft bytes) is cut, as a longer sequence may yet come without srcend,
// and the mapping for it, or null.
inline std::pair<bool, const INTL_MAP *>
search_list(std::span<const INTL_MAP> list, const unsigned char *s, INTL_INT srcleft, bool srcend) {
    const std::uint64_t source = source_key(s + 1, srcleft - 1);
    const INTL_MAP *const last = list.data() + list.size();
    for (const INTL_MAP *group = list.data(); group != last;) {
        const INTL_INT length = group->src_left;
        const INTL_MAP *const next = std::partition_point(
            group + 1, last, [length](const INTL_MAP &m) { return m.src_left == length; });
        const bool longer = length >= srcleft;
        if (length >= 0 && length <= max_src_left && !(longer && srcend)) {
            const INTL_MAP *m = find_in_group(group, next, source, longer ? srcleft - 1 : length);
            if (m != nullptr)
                return {longer, m};
        }
        group = next;
    }
    return {false, nullptr};
}

} // namespace intl::xlate

#endif
