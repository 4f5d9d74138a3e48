// intl_xlate: translation by each first byte's plan (index.h), or a plain copy without a table.
#include "xlate/index.h"

using namespace intl::xlate;

namespace {

// How one translation ended: source used, output written or counted, status.
struct Progress {
    INTL_INT used, produced, status;
};

// Output counted only, written byte by byte, or 8 bytes at a time where the limit leaves room.
enum class Store { count, exact, wide };

// Puts n (0..8) output bytes, held first lowest, at dest + at; counting forms no address (null).
template <Store S> constexpr Store exact = S == Store::count ? S : Store::exact;
template <Store S>
inline void put(unsigned char *dest, std::ptrdiff_t at, std::uint64_t bytes, std::uint64_t n) {
    if constexpr (S == Store::wide)
        store8(dest + at, bytes);
    for (std::uint64_t i = 0; S == Store::exact && i < n; ++i)
        dest[at + static_cast<std::ptrdiff_t>(i)] = static_cast<unsigned char>(bytes >> 8 * i);
}

// The plans of one call: none until a list that is not empty is met, then the table's or its own.
struct Plans {
    explicit Plans(const INTL_XLATE &table) : xlt(table) {}
    void look() {
        unsigned in_use = 0;
        index = find_index(xlt, in_use);
        plain = in_use == 0, looked = true; // plain: nothing but copies, no plans needed
        if (index == nullptr && !plain)
            std::memset(own, 0xFF, sizeof own);
        byte = plain ? nullptr : index != nullptr ? index->byte : own;
    }
    const INTL_XLATE &xlt;
    const Index *index = nullptr;
    const ByteCell *byte = nullptr;
    bool looked = false, plain = false;
    ByteCell own[list_count];
};

// When every plan holds an output: 8 bytes at a time with no branch on them while room is left for
// 8 outputs of 4 bytes and the store of 8 past.
template <Store S>
void run_bytes(const ByteCell *plan, bool ascii_same, const unsigned char *src,
               std::ptrdiff_t srclen, unsigned char *dest, std::ptrdiff_t limit, std::ptrdiff_t &in,
               std::ptrdiff_t &out) {
    for (; in <= srclen - 8 && out <= limit - 40; in += 8) {
        const std::uint64_t eight = load8(src + in);
        if (ascii_same && (eight & 0x8080808080808080) == 0) {
            put<S>(dest, out, eight, 8), out += 8;
            continue;
        }
#pragma GCC unroll 8
        for (std::ptrdiff_t at = in; at < in + 8; ++at) { // loaded again: 1 op, not 3 shifted
            const ByteCell c = plan[src[at]];
            put<S>(dest, out, c, c >> byte_count_shift);
            out += static_cast<std::ptrdiff_t>(c >> byte_count_shift);
        }
    }
}

// The output of the sequence of L bytes at s in its narrow grid (plan c), count at bit 24; 0: none.
template <unsigned L> Cell narrow_cell(const Index *ix, ByteCell c, const unsigned char *s) {
    const std::size_t first = c & 0xFFFFFFFF;
    if constexpr (L == 2)
        return reinterpret_cast<const Cell *>(ix)[first + s[1]];
    const unsigned second = static_cast<unsigned char>(s[1] - (c >> 40));
    const Cell v = second <= (c >> 48 & 0xFF)
                       ? reinterpret_cast<const NarrowCell *>(ix)[first + second * 256 + s[2]]
                       : narrow_miss;
    return v == narrow_miss ? 0 : v | (v > 0xFF ? 2 : 1) << 24;
}

// Translates the sequences of L bytes from `in` on while narrow cells hold them: text in one script
// runs in a loop of its own, as ASCII does. False when the first is not such a sequence or misses.
template <Store S, unsigned L>
bool narrow_run(const ByteCell *plan, const Index *ix, ByteCell c, const unsigned char *src,
                std::ptrdiff_t srclen, unsigned char *dest, std::ptrdiff_t limit,
                std::ptrdiff_t &in, std::ptrdiff_t &out) {
    Cell v;
    if (c >> narrow_length_shift != L || (v = narrow_cell<L>(ix, c, src + in)) == 0)
        return false;
    do
        put<S>(dest, out, v, v >> 24), out += v >> 24, in += L;
    while (in < srclen - 2 && out <= limit - 8 && (c = plan[src[in]]) >> narrow_length_shift == L &&
           (v = narrow_cell<L>(ix, c, src + in)) != 0);
    return true;
}

// Translates while 3 bytes of source and 8 of room are left: unchanged bytes 8 at a time, others
// by plan or grid. Lengths are branched on, never added: the next load must not wait for a cell.
template <Store S>
void run_planned(const Plans &p, const unsigned char *src, std::ptrdiff_t srclen,
                 unsigned char *dest, std::ptrdiff_t limit, std::ptrdiff_t &used,
                 std::ptrdiff_t &produced) {
    const ByteCell *plan = p.byte; // locals: a store through dest could change p
    const Index *ix = p.index;
    const bool ascii_same = ix != nullptr && ix->ascii_same;
    std::ptrdiff_t in = used, out = produced;
    if (ix != nullptr && ix->bytes_only)
        run_bytes<S>(plan, ascii_same, src, srclen, dest, limit, in, out);
    while (in < srclen - 2 && out <= limit - 8) {
        const unsigned char *s = src + in;
        if (*s < 0x80 && ascii_same && in <= srclen - 8) {
            std::uint64_t eight = load8(s), high = eight & 0x8080808080808080;
            const auto ascii = high == 0 ? 8 : std::countr_zero(high) / 8; // bytes up to another
            do // a run of its own: the way back through the loop costs more than 8 bytes
                put<S>(dest, out, eight, ascii), in += ascii, out += ascii;
            while (ascii == 8 && in <= srclen - 8 && out <= limit - 8 &&
                   ((eight = load8(src + in)) & 0x8080808080808080) == 0);
            continue;
        }
        const ByteCell c = plan[*s];
        if (c < needs_grid) {
            put<S>(dest, out, c, c >> byte_count_shift);
            in += 1, out += static_cast<std::ptrdiff_t>(c >> byte_count_shift);
            continue;
        }
        if (narrow_run<S, 2>(plan, ix, c, src, srclen, dest, limit, in, out) ||
            narrow_run<S, 3>(plan, ix, c, src, srclen, dest, limit, in, out))
            continue;
        if (c != needs_grid && (c >> narrow_length_shift) - 2 >= 2)
            break;                                                 // not planned, or searched
        const Cell cell = grid_cell(ix->cells(), ix->grid[*s], s); // a narrow grid's miss too
        if (cell == search_cell)
            break; // what a longer sequence may begin
        const INTL_MAP &m = ix->records()[cell & in_record ? cell & record_place : 0];
        put<S>(dest, out, cell & in_record ? load8(m.dest_pattern) : cell & 0xFFFFFF,
               cell >> 24 & 0xF);
        out += cell >> 24 & 0xF;
        if (const std::ptrdiff_t taken = cell >> 28 & 7; taken == 2) [[likely]]
            in += 2; // three ways: with two the compiler would make it the sum
        else if (taken == 3) [[likely]]
            in += 3;
        else
            in += taken;
    }
    used = in, produced = out;
}

// Translates the position at `used`, room and source checked exactly; a status, or status_done.
template <Store S>
INTL_INT step(Plans &p, const unsigned char *src, std::ptrdiff_t srclen, unsigned char *dest,
              std::ptrdiff_t limit, bool srcend, std::ptrdiff_t &used, std::ptrdiff_t &produced) {
    const unsigned char *s = src + used;
    ByteCell c = p.plain ? *s | ByteCell{1} << byte_count_shift : p.byte[*s];
    if (c == not_planned)
        c = p.own[*s] = plan_list(*s, p.xlt.xlist[*s]);
    std::uint64_t bytes = c, n = c >> byte_count_shift, in = 1;
    if (c >> 40 != 0) {
        const auto [cut, m] =
            search_list(mappings(p.xlt.xlist[*s]), s, static_cast<INTL_INT>(srclen - used), srcend);
        if (cut)
            return status_source_cut;
        bytes = m != nullptr ? load8(m->dest_pattern) : *s;
        n = m != nullptr ? static_cast<std::uint64_t>(m->dest_chars) : 1;
        in = m != nullptr ? 1 + static_cast<std::uint64_t>(m->src_left) : 1;
    }
    if (n > static_cast<std::uint64_t>(limit - produced))
        return status_dest_full;
    put<exact<S>>(dest, produced, bytes, n);
    used += static_cast<std::ptrdiff_t>(in), produced += static_cast<std::ptrdiff_t>(n);
    return status_done;
}

// Translation by a table into at most `limit` bytes, written or counted, up to the source's end, a
// full destination (status 1) or a cut sequence (2). Counts are locals: dest may alias anything.
template <Store S>
Progress translate(const unsigned char *src, std::ptrdiff_t srclen, unsigned char *dest,
                   std::ptrdiff_t limit, const INTL_XLATE &xlt, bool srcend) {
    Plans p(xlt);
    std::ptrdiff_t used = 0, produced = 0;
    INTL_INT status = status_done;
    while (used < srclen && status == status_done) {
        const std::ptrdiff_t run = std::min(srclen - used, limit - produced);
        if (!p.looked) { // plans pay for themselves in a few hundred bytes
            const std::ptrdiff_t shift = produced - used,
                                 upto = used + std::min<std::ptrdiff_t>(run, 256);
            for (; used < upto && xlt.xlist[src[used]].listsize <= 0; ++used)
                put<exact<S>>(dest, shift + used, src[used], 1);
            produced = shift + used;
            if (used < srclen)
                p.look();
            continue;
        }
        if (p.plain) {
            if constexpr (S != Store::count)
                std::memcpy(dest + produced, src + used, static_cast<std::size_t>(run));
            used += run, produced += run;
        } else
            run_planned<S>(p, src, srclen, dest, limit, used, produced);
        if (used < srclen)
            status = step<S>(p, src, srclen, dest, limit, srcend, used, produced);
    }
    return {static_cast<INTL_INT>(used), static_cast<INTL_INT>(produced), status};
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
    *srcbytes_used = 0, *status = status_done;
    if (xlt == nullptr)
        return plain_copy(src, srclen, dest, destlen, *srcbytes_used, *status);
    destlen = dest == nullptr ? -1 : destlen;
    if (srclen == -1)
        srclen = static_cast<INTL_INT>(
            intl::bounded_length(reinterpret_cast<const char *>(src), INT32_MAX));
    if (destlen < -1)
        return 0;
    // Without a limit the count still stops at INT32_MAX, the largest result.
    const INTL_INT limit = destlen == -1 ? INT32_MAX : destlen;
    const bool end = srcend != 0;
    const Progress p =
        dest == nullptr ? translate<Store::count>(src, srclen, dest, limit, *xlt, end)
        : destlen == -1 ? translate<Store::exact>(src, srclen, dest, limit, *xlt, end)
                        : translate<Store::wide>(src, srclen, dest, limit, *xlt, end);
    // Only a translation without a limit that ran to the end is terminated.
    if (destlen == -1 && dest != nullptr && p.status == status_done)
        dest[p.produced] = '\0';
    *srcbytes_used = p.used, *status = p.status;
    return p.produced;
}
}
