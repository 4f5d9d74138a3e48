// Building translation tables: intl_getxlist, intl_getlistsize,
// intl_inclistsize, intl_map_cpsrc, intl_map_cpdest_mapping,
// intl_map_cpdest_range, intl_mapcompare.
#include "xlate/xlate.h"

#include <algorithm>
#include <climits>

using namespace intl::xlate;

namespace {

// This family's own results: success is 0 here, not INTL_OK.
constexpr INTL_INT map_ok = 0;
constexpr INTL_INT map_null = -1;
constexpr INTL_INT map_too_long = -2;

// Length of a NUL-terminated value, looking no further than max + 1 bytes:
// anything longer than max is refused whatever its length.
std::size_t value_length(const char *value, INTL_INT max) {
    return intl::bounded_length(value, static_cast<std::size_t>(max) + 1);
}

// Fills the destination of a mapping; false, with the mapping untouched,
// when the value holds more than 8 bytes.
bool take_destination(INTL_MAP *curmap, const char *value) {
    const std::size_t len = value_length(value, max_dest_chars);
    if (len > static_cast<std::size_t>(max_dest_chars))
        return false;
    curmap->dest_chars = static_cast<INTL_INT>(len);
    std::memcpy(curmap->dest_pattern, value, len);
    return true;
}

} // namespace

extern "C" {

INTL_XLIST *intl_getxlist(INTL_XLATE *xlate, INTL_INT mapno) {
    if (xlate == nullptr)
        return nullptr;
    return &xlate->xlist[static_cast<unsigned>(mapno) & 0xFFu];
}

INTL_INT intl_getlistsize(const INTL_XLIST *xlist) {
    return xlist ? xlist->listsize : -1;
}

void intl_inclistsize(INTL_XLIST *xlist) {
    // A count at its ceiling stays there rather than wrapping negative.
    if (xlist != nullptr && xlist->listsize < INT32_MAX)
        ++xlist->listsize;
}

INTL_INT intl_map_cpsrc(INTL_MAP *curmap, const char *value) {
    if (curmap == nullptr || value == nullptr)
        return map_null;
    const std::size_t len = value_length(value, max_src_left + 1);
    if (len > static_cast<std::size_t>(max_src_left) + 1)
        return map_too_long;
    // An empty value gives src_left -1: a mapping the engine never uses.
    curmap->src_left = static_cast<INTL_INT>(len) - 1;
    if (len > 1)
        std::memcpy(curmap->src_pattern, value + 1, len - 1);
    return map_ok;
}

INTL_INT intl_map_cpdest_mapping(INTL_MAP *curmap, const char *value) {
    if (curmap == nullptr || value == nullptr)
        return map_null;
    return take_destination(curmap, value) ? map_ok : map_too_long;
}

INTL_INT intl_map_cpdest_range(INTL_MAP *curmap, const char *value) {
    if (curmap == nullptr || value == nullptr)
        return map_null;
    if (!take_destination(curmap, value))
        return map_too_long;
    curmap->src_left = 0;
    return map_ok;
}

int intl_mapcompare(const void *map1, const void *map2) {
    const auto *a = static_cast<const INTL_MAP *>(map1);
    const auto *b = static_cast<const INTL_MAP *>(map2);
    if (a->src_left != b->src_left)
        return a->src_left > b->src_left ? -1 : 1;
    // Every byte of the pattern counts, zero bytes included: the engine's
    // skip relies on this order, and a zero byte in a loaded pattern must not
    // make two different sequences sort as equal.
    const auto n = static_cast<std::size_t>(std::clamp(a->src_left, 0, max_src_left));
    const auto [pa, pb] = std::mismatch(a->src_pattern, a->src_pattern + n, b->src_pattern);
    return pa == a->src_pattern + n ? 0 : int{*pa} - int{*pb};
}
}
