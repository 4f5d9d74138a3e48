// intl_xlate: translation by each first byte's plan (index.h), or a plain copy without a table.
#include "xlate/index.h"

using namespace intl::xlate;

namespace {

struct Progress { // how one translation ended
    INTL_INT used, produced, status;
};

using Pos = std::ptrdiff_t; // a place in the source or the output, or a count of bytes

// Output counted only, written byte by byte, or 8 bytes at a time where the limit leaves room.
enum class Store { count, exact, wide };

// Puts n (0..8) output bytes, held first lowest, at dest + at; counting forms no address (null).
template <Store S> constexpr Store exact = S == Store::count ? S : Store::exact;
template <Store S>
inline void put(unsigned char *dest, Pos at, std::uint64_t bytes, std::uint64_t n) {
    if constexpr (S == Store::wide) {
        bytes = std::endian::native == std::endian::big ? __builtin_bswap64(bytes) : bytes;
        std::memcpy(dest + at, &bytes, sizeof bytes);
    }
    for (std::uint64_t i = 0; S == Store::exact && i < n; ++i)
        dest[at + static_cast<Pos>(i)] = static_cast<unsigned char>(bytes >> 8 * i);
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
void run_bytes(const ByteCell *plan, bool ascii_same, const unsigned char *src, Pos srclen,
               unsigned char *dest, Pos limit, Pos &in, Pos &out) {
    for (; in <= srclen - 8 && out <= limit - 40; in += 8) {
        const std::uint64_t eight = load8(src + in);
        if (ascii_same && (eight & 0x8080808080808080) == 0) {
            put<S>(dest, out, eight, 8), out += 8;
            continue;
        }
#pragma GCC unroll 8
        for (Pos at = in; at < in + 8; ++at) { // loaded again: 1 op, not 3 shifted
            const ByteCell c = plan[src[at]];
            put<S>(dest, out, c, c >> byte_count_shift), out += Pos(c >> byte_count_shift);
        }
    }
}

// The output of the sequence of L bytes at s in its narrow grid (plan c), count at bit 24; 0: none.
template <unsigned L> Cell narrow_cell(const Index *ix, ByteCell c, const unsigned char *s) {
    const std::size_t first = c & 0xFFFFFFFF;
    if constexpr (L == 2)
        return reinterpret_cast<const Cell *>(ix)[first + s[1]];
    const auto *narrow = reinterpret_cast<const NarrowCell *>(ix);
    const unsigned second = static_cast<unsigned char>(s[1] - (c >> 40));
    const Cell v = second <= (c >> 48 & 0xFF) ? narrow[first + second * 256 + s[2]] : narrow_miss;
    return v == narrow_miss ? 0 : v | (v > 0xFF ? 2 : 1) << 24;
}

// Translates sequences of L bytes from `in` while narrow cells hold them, in a loop of its own. An
// ASCII byte ends it before its plan is loaded: word ends cost less. False when the first misses.
template <Store S, unsigned L>
bool narrow_run(const Index *ix, ByteCell c, const unsigned char *src, Pos srclen,
                unsigned char *dest, Pos limit, Pos &in, Pos &out) {
    Cell v;
    if (c >> narrow_length_shift != L || (v = narrow_cell<L>(ix, c, src + in)) == 0)
        return false;
    do
        put<S>(dest, out, v, v >> 24), out += v >> 24, in += L;
    while (in < srclen - 2 && out <= limit - 8 && src[in] >= 0x80 &&
           (c = ix->byte[src[in]]) >> narrow_length_shift == L &&
           (v = narrow_cell<L>(ix, c, src + in)) != 0);
    return true;
}

// Translates while 3 bytes of source and 8 of room are left: unchanged bytes 8 at a time, others
// by plan or grid. Lengths are branched on, never added: the next load must not wait for a cell.
template <Store S>
void run_planned(const Plans &p, const unsigned char *src, Pos srclen, unsigned char *dest,
                 Pos limit, Pos &used, Pos &produced) {
    const ByteCell *plan = p.byte; // locals: a store through dest could change p
    const Index *ix = p.index;
    const bool ascii_same = ix != nullptr && ix->ascii_same;
    Pos in = used, out = produced;
    if (ix != nullptr && ix->bytes_only)
        run_bytes<S>(plan, ascii_same, src, srclen, dest, limit, in, out);
    while (in < srclen - 2 && out <= limit - 8) {
        if (src[in] < 0x80 && ascii_same && in <= srclen - 8) { // up to another byte, 8 at a time
            std::uint64_t eight = load8(src + in);
            const auto ascii = std::countr_zero(eight & 0x8080808080808080) / 8; // 8: all ASCII
            do
                put<S>(dest, out, eight, ascii), in += ascii, out += ascii;
            while (ascii == 8 && in <= srclen - 8 && out <= limit - 8 &&
                   ((eight = load8(src + in)) & 0x8080808080808080) == 0);
            continue; // runs of their own: the way back through the loop costs more
        }
        const ByteCell c = plan[src[in]];
        if (c < needs_grid) { // a byte's output
            put<S>(dest, out, c, c >> byte_count_shift), in += 1, out += Pos(c >> byte_count_shift);
            continue;
        }
        if (narrow_run<S, 2>(ix, c, src, srclen, dest, limit, in, out) ||
            narrow_run<S, 3>(ix, c, src, srclen, dest, limit, in, out))
            continue;
        Cell cell; // the grid's, a narrow grid's miss too
        if ((c != needs_grid && (c >> narrow_length_shift) - 2 >= 2) ||
            (cell = grid_cell(ix->cells(), ix->grid[src[in]], src + in)) == search_cell)
            break; // not planned, searched, or what a longer sequence may begin
        const INTL_MAP &m = ix->records()[cell & in_record ? cell & record_place : 0];
        put<S>(dest, out, cell & in_record ? load8(m.dest_pattern) : cell & 0xFFFFFF,
               cell >> 24 & 0xF);
        out += cell >> 24 & 0xF;
        if (const Pos taken = cell >> 28 & 7; taken == 2) [[likely]]
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
INTL_INT step(Plans &p, const unsigned char *src, Pos srclen, unsigned char *dest, Pos limit,
              bool srcend, Pos &used, Pos &produced) {
    const unsigned char *s = src + used;
    ByteCell c = p.plain ? *s | ByteCell{1} << byte_count_shift : p.byte[*s];
    if (c == not_planned)
        c = p.own[*s] = plan_list(*s, p.xlt.xlist[*s]);
    std::uint64_t bytes = c, n = c >> byte_count_shift, in = 1;
    if (c >> 40 != 0) {
        const auto [cut, m] =
            search_list(mappings(p.xlt.xlist[*s]), s, INTL_INT(srclen - used), srcend);
        if (cut)
            return status_source_cut;
        bytes = m != nullptr ? load8(m->dest_pattern) : *s;
        n = m != nullptr ? static_cast<std::uint64_t>(m->dest_chars) : 1;
        in = m != nullptr ? 1 + static_cast<std::uint64_t>(m->src_left) : 1;
    }
    if (n > static_cast<std::uint64_t>(limit - produced))
        return status_dest_full;
    put<exact<S>>(dest, produced, bytes, n);
    used += static_cast<Pos>(in), produced += static_cast<Pos>(n);
    return status_done;
}

// Translation by a table into at most `limit` bytes, written or counted, up to the source's end, a
// full destination (status 1) or a cut sequence (2). Counts are locals: dest may alias anything.
template <Store S>
Progress translate(const unsigned char *src, Pos srclen, unsigned char *dest, Pos limit,
                   const INTL_XLATE &xlt, bool srcend) {
    Plans p(xlt);
    Pos used = 0, produced = 0;
    INTL_INT status = status_done;
    while (used < srclen && status == status_done) {
        const Pos run = std::min(srclen - used, limit - produced);
        if (!p.looked) { // plans pay for themselves in a few hundred bytes
            const Pos shift = produced - used, upto = used + std::min<Pos>(run, 256);
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
        srclen = INTL_INT(intl::bounded_length(reinterpret_cast<const char *>(src), INT32_MAX));
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
