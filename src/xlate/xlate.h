// Internal header of character-set translation: the limits of one mapping,
// which every operation of the subsystem honours, and the engine's statuses.
#ifndef INTL_XLATE_XLATE_H
#define INTL_XLATE_XLATE_H

#include "frame/frame.h"

namespace intl::xlate {

constexpr INTL_INT max_src_left = 7;   // source bytes after the first
constexpr INTL_INT max_dest_chars = 8; // destination bytes
constexpr int list_count = 256;        // one list per first byte

// How a translation ended, as intl_xlate reports it in its status.
constexpr INTL_INT status_done = 0;
constexpr INTL_INT status_dest_full = 1;
constexpr INTL_INT status_source_cut = 2;

// Whether the engine may use a mapping at all. A corrupt file or a
// hand-built table can hold lengths that would reach past the patterns; such
// a mapping never matches, never reports a cut source and never sets a skip.
// A src_left of -1 (an empty source sequence) never matches either.
inline bool usable(const INTL_MAP &m) {
    return m.src_left >= 0 && m.src_left <= max_src_left && m.dest_chars >= 0 &&
           m.dest_chars <= max_dest_chars;
}

// The mappings of a list, or none when it is empty (or has no records).
inline std::span<const INTL_MAP> mappings(const INTL_XLIST &list) {
    if (list.listsize <= 0 || list.list == nullptr)
        return {};
    return {list.list, static_cast<std::size_t>(list.listsize)};
}

// intl_xlate without a table: a copy by the string-copy rules (copy.cpp).
INTL_INT plain_copy(const unsigned char *src, INTL_INT srclen, unsigned char *dest,
                    INTL_INT destlen, INTL_INT &used, INTL_INT &status);

} // namespace intl::xlate

#endif
