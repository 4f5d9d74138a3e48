// intl_xlate: translation by a table, or a plain copy without one.
#include "xlate/search.h"

#include <algorithm>
#include <climits>

using namespace intl::xlate;

namespace {

// How one translation ended.
struct Progress {
    INTL_INT used;     // source bytes consumed
    INTL_INT produced; // destination bytes written or counted
    INTL_INT status;
};

// Copies n (0..8) bytes in at most two moves, without a call.
inline void copy_small(unsigned char *to, const unsigned char *from, INTL_INT n) {
    if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(to, from, 2);
        std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
        *to = *from;
    }
}

inline bool is_empty(const INTL_XLIST &list) {
    return list.listsize <= 0 || list.list == nullptr;
}

// A run's progress: source bytes taken, destination bytes given.
struct Run {
    INTL_INT taken;
    INTL_INT given;
};

// For a two-byte list with a gap, the mapping of the source byte `second`
// at `at`, its place were there no gap, or one before; null when it is at
// neither. Which of the two depends on the source byte, which no branch
// predicts: the three neighbours are loaded together and chosen between
// without a branch. At a distance of one the first mapping stands in for
// the third; the candidate is then the first mapping, whose byte is not the
// source's.
inline const INTL_MAP *one_gap_place(const INTL_MAP *at, std::size_t distance, unsigned second) {
    const INTL_MAP *before = at - (distance >= 2 ? 2 : 1);
    const unsigned here = at->src_pattern[0];
    const unsigned previous = at[-1].src_pattern[0];
    const unsigned back = here > second ? 1 : 0;
    const unsigned pick = 0U - back; // all ones when back
    const unsigned found = (previous & pick) | (here & ~pick);
    const unsigned below = (before->src_pattern[0] & pick) | (previous & ~pick);
    return (found ^ second) | (below >= second ? 1U : 0U) ? nullptr : at - back;
}

// For a list of two-byte sequences only (the lists of double-byte and
// two-byte character sets), the mapping for the source pair at s when it
// lies where a dense list puts it: as many places after the first mapping
// as its second byte is above the first mapping's, or one place before.
// Null, leaving the answer to the full search, whenever that is not so.
inline const INTL_MAP *two_byte_mapping(const INTL_XLIST &list, const unsigned char *s) {
    const INTL_MAP *first = list.list;
    const auto count = static_cast<std::size_t>(list.listsize);
    if (first == nullptr || first->src_left != 1 || first[count - 1].src_left != 1)
        return nullptr;
    const unsigned char second = s[1];
    const unsigned char lowest = first->src_pattern[0];
    const INTL_MAP *at = first;
    if (second != lowest) {
        const std::size_t distance = second - lowest; // wraps huge when below
        if (distance >= count)
            return nullptr;
        at = first + distance;
        const bool gapless = first[count - 1].src_pattern[0] - lowest == list.listsize - 1;
        if (gapless) {
            if (at->src_pattern[0] != second || at[-1].src_pattern[0] >= second)
                return nullptr;
        } else {
            at = one_gap_place(at, distance, second);
            if (at == nullptr)
                return nullptr;
        }
    }
    return at->src_left == 1 && usable(*at) ? at : nullptr;
}

// The length of a list's sequences after the first byte when they all have
// the same one (0..7), or -1.
inline INTL_INT single_length(const INTL_XLIST &list) {
    const INTL_MAP *first = list.list;
    if (first == nullptr || list.listsize <= 0)
        return -1;
    const INTL_INT length = first->src_left;
    const bool one_group = first[list.listsize - 1].src_left == length;
    return one_group && length >= 0 && length <= max_src_left ? length : -1;
}

// The search of a list of one length group for a source that holds the whole
// sequence: a match or nothing, never a cut, and none of the general
// search's walk over groups.
[[gnu::noinline]] const INTL_MAP *search_group(const INTL_XLIST &list, INTL_INT length,
                                               const unsigned char *s, std::ptrdiff_t left) {
    const INTL_MAP *first = list.list;
    const std::uint64_t source = source_key(
        s + 1, static_cast<INTL_INT>(std::min<std::ptrdiff_t>(left - 1, max_src_left + 1)));
    return find_in_group(first, first + list.listsize, source, length);
}

// The mapping of a list that holds just one usable single-byte mapping.
inline const INTL_MAP *single_byte_mapping(const INTL_XLIST &list) {
    const INTL_MAP *m = list.list;
    return list.listsize == 1 && m != nullptr && m->src_left == 0 && usable(*m) ? m : nullptr;
}

// What each first byte turns into when it needs no search: itself (an empty
// list) or the one byte of a list's single one-byte mapping; `more` when
// anything else may happen.
struct ByteClasses {
    static constexpr std::uint16_t more = 0x100;
    std::uint16_t of[list_count];
};

// A source at least this long pays for classifying the 256 first bytes once
// (a few instructions per byte) with the bytes it then translates by one
// lookup each instead of two list inspections.
constexpr INTL_INT classify_from = 512;

void classify(const INTL_XLATE &xlt, ByteClasses &classes) {
    for (int byte = 0; byte < list_count; ++byte) {
        const INTL_XLIST &list = xlt.xlist[byte];
        const INTL_MAP *m = list.list;
        std::uint16_t c = ByteClasses::more;
        if (list.listsize <= 0)
            c = static_cast<std::uint16_t>(byte);
        else if (list.listsize == 1 && m != nullptr && m->src_left == 0 && m->dest_chars == 1)
            c = m->dest_pattern[0];
        classes.of[byte] = c;
    }
}

// Translates the run of bytes that need no search: bytes with empty lists,
// copied; bytes whose list holds just one usable single-byte mapping; and
// pairs found at once in a dense list of two-byte sequences. Takes at most
// `left` bytes and gives at most `room`; stops before the first byte that
// needs more. It goes in stretches short enough that even 8 bytes of
// output per byte cannot pass the room, so that no byte needs its own
// check; the last few bytes before a full destination are left to the
// caller's full rules. With `classes` the one-byte-to-one-byte cases take a
// single lookup.
template <bool Write, bool Classified>
Run simple_run(const INTL_XLATE &xlt, const ByteClasses *classes, const unsigned char *s,
               INTL_INT left, unsigned char *out, INTL_INT room) {
    // Native-width counts index without a widening per byte.
    std::ptrdiff_t taken = 0;
    std::ptrdiff_t given = 0;
    for (std::ptrdiff_t safe; (safe = std::min<std::ptrdiff_t>(
                                   left, taken + (room - given) / max_dest_chars)) > taken;) {
        while (taken < safe) {
            if constexpr (Classified) {
                // Output keeps step with input here: one index serves both.
                const std::ptrdiff_t shift = given - taken;
                const std::ptrdiff_t start = taken;
                for (std::uint16_t c;
                     taken < safe && (c = classes->of[s[taken]]) != ByteClasses::more; ++taken)
                    if constexpr (Write)
                        out[shift + taken] = static_cast<unsigned char>(c);
                given += taken - start;
                if (taken == safe)
                    break;
            }
            const unsigned char byte = s[taken];
            const INTL_XLIST &list = xlt.xlist[byte];
            const INTL_MAP *m = list.list;
            if (!Classified && list.listsize <= 0) {
                if constexpr (Write)
                    out[given] = byte;
                ++taken;
                ++given;
                continue;
            }
            if (!Classified && list.listsize == 1 && m != nullptr && m->src_left == 0 &&
                m->dest_chars == 1) {
                if constexpr (Write)
                    out[given] = m->dest_pattern[0];
                ++taken;
                ++given;
                continue;
            }
            // Less common: a single-byte mapping with another output
            // length, or a pair in a dense list of two-byte sequences.
            if ((m = single_byte_mapping(list)) != nullptr)
                taken += 1;
            else if (taken + 1 < safe && (m = two_byte_mapping(list, s + taken)) != nullptr)
                taken += 2;
            else
                break;
            if constexpr (Write)
                copy_small(out + given, m->dest_pattern, m->dest_chars);
            given += m->dest_chars;
        }
        if (taken < safe)
            break;
    }
    return {static_cast<INTL_INT>(taken), static_cast<INTL_INT>(given)};
}

// The full search, kept out of the loop so that the fast paths keep their
// registers.
[[gnu::noinline]] Found search_general(const INTL_XLIST &list, const unsigned char *s,
                                       INTL_INT srcleft, bool srcend) {
    return search_list(mappings(list), s, srcleft, srcend);
}

// Translation by a table from the start of src into at most `limit` bytes,
// written to dest or (Write false) only counted; stops at the end of the
// source, at a full destination (status 1) or at a cut sequence (status 2).
// Counts live in locals: stores through dest could alias anything else.
template <bool Write, bool Classified>
Progress translate(const unsigned char *src, INTL_INT srclen, unsigned char *dest, INTL_INT limit,
                   const INTL_XLATE &xlt, bool srcend) {
    ByteClasses classes;
    if constexpr (Classified)
        classify(xlt, classes);
    INTL_INT used = 0;
    INTL_INT produced = 0;
    // The one-length size of the next position's list, once known: -2 when
    // not yet looked at.
    INTL_INT next_length = -2;
    while (used < srclen) {
        const bool searching = next_length >= 2;
        if (!searching) {
            const Run run =
                simple_run<Write, Classified>(xlt, &classes, src + used, srclen - used,
                                              Write ? dest + produced : nullptr, limit - produced);
            used += run.taken;
            produced += run.given;
            if (used == srclen)
                break;
        }
        // One position by the full rules: a list to search, or a
        // destination that may be full. No mapping means the byte is copied.
        const unsigned char *s = src + used;
        const INTL_XLIST &list = xlt.xlist[*s];
        const INTL_MAP *m = nullptr;
        const INTL_INT length = searching ? next_length : single_length(list);
        if (length >= 0 && length < srclen - used) {
            // The whole sequence is there: a match or nothing, never a cut.
            m = search_group(list, length, s, srclen - used);
        } else if (!is_empty(list)) {
            const Found found = search_general(list, s, srclen - used, srcend);
            if (found.kind == Found::Kind::cut)
                return {used, produced, status_source_cut};
            m = found.map;
        }
        const INTL_INT n = m != nullptr ? m->dest_chars : 1;
        if (n > limit - produced)
            return {used, produced, status_dest_full};
        if constexpr (Write)
            copy_small(dest + produced, m != nullptr ? m->dest_pattern : s, n);
        used += m != nullptr ? 1 + m->src_left : 1;
        produced += n;
        // In a multi-byte set's text one searched character mostly follows
        // another; a run would stop at once at the next.
        next_length = used < srclen ? single_length(xlt.xlist[src[used]]) : -1;
    }
    return {used, produced, status_done};
}

// intl_xlate with a table: the argument rules around translate(). Without
// a limit the count still stops at INT32_MAX, the largest result there is.
Progress translate_call(const unsigned char *src, INTL_INT srclen, unsigned char *dest,
                        INTL_INT destlen, const INTL_XLATE &xlt, bool srcend) {
    if (dest == nullptr)
        destlen = -1;
    if (srclen == -1)
        srclen = static_cast<INTL_INT>(
            intl::bounded_length(reinterpret_cast<const char *>(src), INT32_MAX));
    if (destlen < -1)
        return {0, 0, status_done};
    const INTL_INT limit = destlen == -1 ? INT32_MAX : destlen;
    const bool classified = srclen >= classify_from;
    const Progress p = dest == nullptr
                           ? classified
                                 ? translate<false, true>(src, srclen, dest, limit, xlt, srcend)
                                 : translate<false, false>(src, srclen, dest, limit, xlt, srcend)
                       : classified ? translate<true, true>(src, srclen, dest, limit, xlt, srcend)
                                    : translate<true, false>(src, srclen, dest, limit, xlt, srcend);
    // Only a translation without a limit that ran to the end is terminated.
    if (destlen == -1 && dest != nullptr && p.status == status_done)
        dest[p.produced] = '\0';
    return p;
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
    const Progress p = translate_call(src, srclen, dest, destlen, *xlt, srcend != 0);
    *srcbytes_used = p.used;
    *status = p.status;
    return p.produced;
}
}
