// intl_xlate: translation by a table, or a plain copy without one.
//
// Each first byte's list has a class (index.h): empty (the byte is copied),
// one single-byte mapping to one byte (that byte is written), indexed or
// searched. A loaded table brings its classes; for any other each is found
// when the byte is first met in a call.
#include "xlate/index.h"
#include "xlate/search.h"

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

constexpr Class unknown = 0xFFFF;

// The classes of one call's first bytes: none until a list that is not empty
// is met (bytes are copied until then), then the loaded table's own, or for
// a table without an index each found when the byte is first met.
struct Classes {
    explicit Classes(const INTL_XLATE &table) : xlt(table) {}
    void look() {
        unsigned in_use = 0;
        index = find_index(xlt, in_use);
        plain = in_use == 0; // nothing but copies: no classes needed
        if (index == nullptr && !plain)
            std::memset(own, 0xFF, sizeof own);
        of = plain ? nullptr : index != nullptr ? index->of : own;
    }
    const INTL_XLATE &xlt;
    const Index *index = nullptr;
    const Class *of = nullptr;
    bool plain = false;
    Class own[list_count];
};

// The class of a byte of a table without an index.
void classify(Classes &c, unsigned byte) {
    const INTL_XLIST &list = c.xlt.xlist[byte];
    const INTL_MAP *m = list.listsize > 0 ? list.list : nullptr;
    if (m == nullptr || (list.listsize == 1 && m->src_left == 0 && m->dest_chars == 1))
        c.own[byte] = m == nullptr ? static_cast<Class>(byte) : m->dest_pattern[0];
    else
        c.own[byte] = searched;
}

// Translates single bytes and indexed sequences while 8 bytes of room and 3
// of source are left (the longest output and sequence), before anything else.
template <bool Write>
void run_indexed(const Index &ix, const unsigned char *src, std::ptrdiff_t srclen,
                 unsigned char *dest, std::ptrdiff_t limit, std::ptrdiff_t &used,
                 std::ptrdiff_t &produced) {
    const auto *cells =
        reinterpret_cast<const Cell *>(reinterpret_cast<const char *>(&ix) + ix.cells);
    for (Class k;
         used < srclen - 2 && produced <= limit - 8 && (k = ix.of[src[used]]) <= indexed;) {
        if (k < indexed) { // a run of single bytes, as tight as translate()'s
            const std::ptrdiff_t shift = produced - used,
                                 stop = std::min(srclen - 2, limit - 7 - shift);
            do
                if constexpr (Write)
                    dest[shift + used] = static_cast<unsigned char>(k);
            while (++used < stop && (k = ix.of[src[used]]) < indexed);
            produced = shift + used;
            continue;
        }
        const ListIndex &e = ix.list[src[used]];
        const Cell cell = lookup(cells, e, src + used);
        const INTL_MAP *m = cell >= whole_record ? records_of(ix) + (cell & record_place) : nullptr;
        // The output in the cell, or the byte itself when no sequence matches.
        const Cell out = cell != 0 ? cell : Cell{2} << 24 | src[used];
        const auto n = static_cast<INTL_INT>(m != nullptr ? out >> 24 & 0xF : (out >> 24) - 1);
        if constexpr (Write) {
            if (m != nullptr)
                copy_small(dest + produced, m->dest_pattern, n);
            for (INTL_INT i = 0; i < 3 && m == nullptr; ++i) // unrolled: no loop left
                if (i < n)
                    dest[produced + i] = static_cast<unsigned char>(out >> 8 * i);
        }
        used += cell != 0 ? e.length + 1 : 1;
        produced += n;
    }
}

// Translation by a table into at most `limit` bytes, written or (Write false)
// counted; stops at the end of the source, a full destination (status 1) or
// a cut sequence (status 2). Counts live in locals: dest may alias anything.
template <bool Write>
Progress translate(const unsigned char *src, std::ptrdiff_t srclen, unsigned char *dest,
                   std::ptrdiff_t limit, const INTL_XLATE &xlt, bool srcend) {
    Classes c(xlt);
    std::ptrdiff_t used = 0;
    std::ptrdiff_t produced = 0;
    auto done = [&](INTL_INT status) {
        return Progress{static_cast<INTL_INT>(used), static_cast<INTL_INT>(produced), status};
    };
    while (used < srclen) {
        // A run of one byte out per byte in, as far as the room goes.
        const std::ptrdiff_t safe = used + std::min(srclen - used, limit - produced);
        const std::ptrdiff_t shift = produced - used;
        Class k = unknown;
        if (c.plain) {
            if constexpr (Write)
                std::memcpy(dest + produced, src + used, static_cast<std::size_t>(safe - used));
            used = safe;
        } else if (c.of == nullptr) { // classes pay for themselves in a few hundred bytes
            const std::ptrdiff_t upto = used + std::min<std::ptrdiff_t>(safe - used, 256);
            for (; used < upto && xlt.xlist[src[used]].listsize <= 0; ++used)
                if constexpr (Write)
                    dest[shift + used] = src[used];
        } else {
            const Class *of = c.of; // a store through dest could change c.of
            for (; used < safe && (k = of[src[used]]) < indexed; ++used)
                if constexpr (Write)
                    dest[shift + used] = static_cast<unsigned char>(k);
        }
        produced = shift + used;
        if (used == srclen)
            break;
        const unsigned char *s = src + used;
        if (c.of == nullptr && !c.plain) {
            c.look();
            continue;
        }
        if (c.plain || (k = c.of[*s]) < indexed)
            return done(status_dest_full);
        if (k == unknown) {
            classify(c, *s);
            continue;
        }
        if (k == indexed) {
            run_indexed<Write>(*c.index, src, srclen, dest, limit, used, produced);
            s = src + used;
            if (used == srclen || (k = c.of[*s]) < indexed)
                continue;
        }
        // One position at a time while the lists call for it.
        do {
            const auto [kind, m] = search_list(mappings(xlt.xlist[*s]), s,
                                               static_cast<INTL_INT>(srclen - used), srcend);
            if (kind == Found::Kind::cut)
                return done(status_source_cut);
            const INTL_INT n = m != nullptr ? m->dest_chars : 1;
            if (n > limit - produced)
                return done(status_dest_full);
            if constexpr (Write)
                copy_small(dest + produced, m != nullptr ? m->dest_pattern : s, n);
            used += m != nullptr ? 1 + m->src_left : 1;
            produced += n;
            s = src + used;
        } while (used < srclen && c.of[*s] == searched);
    }
    return done(status_done);
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
    const Progress p = dest == nullptr ? translate<false>(src, srclen, dest, limit, xlt, srcend)
                                       : translate<true>(src, srclen, dest, limit, xlt, srcend);
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
