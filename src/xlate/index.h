// Each first byte's plan, for the loader and the engine, and the index the loader builds with
// 8-byte pointers: table, Index, its last non-empty list's records, the others', the cells. A table
// is loaded when those records follow an Index holding the mark and the table's address; then only
// the index and the loader's records are read (a change in place gives stale output at worst).
#ifndef INTL_XLATE_INDEX_H
#define INTL_XLATE_INDEX_H

#include "xlate/search.h"

namespace intl::xlate {

// A first byte's plan: up to 4 output bytes (first lowest) and their count at bit 32, or from bit
// 40 up what it needs: a grid, a search, or (a table without an index) a plan not made yet.
using ByteCell = std::uint64_t;
constexpr unsigned byte_count_shift = 32;
constexpr ByteCell needs_grid = ByteCell{1} << 40, needs_search = ByteCell{2} << 40,
                   not_planned = ~ByteCell{0};

// A grid's shape: its sequences' length after the first byte, their bounds, and the bytes after
// the first that longer sequences begin (a search for those).
struct Shape {
    INTL_INT length = 0;
    unsigned low[2] = {255, 255}, high[2] = {0, 0};
    std::uint64_t longer[4] = {};
};

// A list's plan: the byte copied, one single-byte record's output, or a search; with `shape`, a
// list whose shortest sequences have 1 to 3 bytes (2 beside longer ones) may take a grid. Every
// record is read: a search, which meets any of them, must answer as the grid does.
inline ByteCell plan_list(unsigned byte, const INTL_XLIST &list, Shape *shape = nullptr) {
    const std::span<const INTL_MAP> records = mappings(list);
    if (records.empty() || (records.size() == 1 && !usable(records[0])))
        return byte | ByteCell{1} << byte_count_shift;
    if (const INTL_MAP &m = records[0]; records.size() == 1 && m.src_left == 0 && m.dest_chars <= 4)
        return (load8(m.dest_pattern) & ((ByteCell{1} << 8 * m.dest_chars) - 1)) |
               ByteCell(m.dest_chars) << byte_count_shift;
    if (shape == nullptr)
        return needs_search;
    auto &[grid_length, low, high, longer] = *shape;
    INTL_INT after = INT32_MIN, length = 0; // after: the record after's; the grid checks patterns
    unsigned noted = 256;                   // the last first byte noted in `longer`
    for (auto m = records.rbegin(); m != records.rend(); after = m++->src_left) { // shortest first
        const unsigned first = m->src_pattern[0], second = m->src_pattern[1];
        if (m->src_left < after)
            return needs_search; // out of order: the search's groups are not the grid's
        if (m->src_left > length && length > 0 && first == noted)
            continue; // a longer sequence whose first byte is noted: most of such a list
        if (!usable(*m) || m->src_left == 0)
            continue;
        length = length == 0 ? m->src_left : length;
        if (length > 2 || (m->src_left > length && length == 2))
            return needs_search;                    // beyond a grid, or in a row of a grid
        if (m->src_left > length && first != noted) // its cell is searched
            longer[first / 64] |= std::uint64_t{1} << first % 64, noted = first;
        low[0] = std::min(low[0], first), high[0] = std::max(high[0], first);   // past the length:
        low[1] = std::min(low[1], second), high[1] = std::max(high[1], second); // masked off
    }
    grid_length = length; // a local above: a store through `shape` may change a record, to GCC
    return needs_grid;
}

// A grid's cell: up to 3 output bytes (first lowest), or with `in_record` its record's place among
// the loader's (never a list pointer, which callers change); output length at bit 24, input at 28.
using Cell = std::uint32_t;
constexpr Cell in_record = 0x80000000, record_place = 0x00FFFFFF;
constexpr Cell search_cell = in_record | record_place; // what a longer sequence may begin

// A narrow grid's plan, its sequences of 2 or 3 bytes at bit 56: rows of 256 cells over the last
// byte, the last row at bit 48, the first row's second byte at 40, its place from the Index in its
// cells: for 2-byte sequences Cells (0 a miss), else NarrowCells: 1 output byte, or 2 above 0xFF.
using NarrowCell = std::uint16_t;
constexpr NarrowCell narrow_miss = 0xFFFF;
constexpr unsigned narrow_length_shift = 56;

// Cells over the bytes after the first of a list's sequences of one length (0 to 2), `miss` for the
// others (its first single-byte record, or the byte itself).
struct Grid {
    std::uint32_t at; // the first cell
    Cell miss;
    std::uint8_t low1, low2, mask1, mask2; // masks drop bytes past the length
    std::uint16_t span1, span2;
};

struct Index {
    std::uint64_t mark;
    const INTL_XLATE *table;
    std::uint64_t cells_at;               // where the cells start, in cells from the Index
    std::uint32_t ascii_same, bytes_only; // bytes 0..127 become themselves; all plans are outputs
    ByteCell byte[list_count];
    Grid grid[list_count];
    const Cell *cells() const { return reinterpret_cast<const Cell *>(this) + cells_at; }
    const INTL_MAP *records() const { return reinterpret_cast<const INTL_MAP *>(this + 1); }
};

constexpr std::uint64_t index_mark = 0x78646e4978646e49; // "IndxIndx"
constexpr bool indexing = sizeof(void *) >= 8;
// Cells a grid may take per record of its list (gapped codes) and of the whole table (shipped
// tables need 5); lists past either are searched.
constexpr std::size_t list_cells_per_record = 16, cells_per_record = 6;
constexpr std::size_t index_table_bytes = indexing ? sizeof(Index) + 8 : 0;
constexpr std::size_t index_record_bytes = indexing ? sizeof(Cell) * cells_per_record : 0;

// Builds the index of `table`, laid out as above; returns where its cells end.
unsigned char *build_index(const INTL_XLATE &table, Index &index, unsigned char *cells);

// The index of a loaded table, or null; `last` is 1 + the last byte whose list is not empty, or 0.
inline const Index *find_index(const INTL_XLATE &table, unsigned &last) {
    for (last = list_count; last > 0 && mappings(table.xlist[last - 1]).empty();)
        --last;
    const auto start = reinterpret_cast<std::uintptr_t>(&table + 1);
    if (!indexing || last == 0 ||
        reinterpret_cast<std::uintptr_t>(table.xlist[last - 1].list) != start + sizeof(Index))
        return nullptr;
    const auto *index = reinterpret_cast<const Index *>(start);
    return index->mark == index_mark && index->table == &table ? index : nullptr;
}

// The cell of the sequence at s (3 bytes there at least) in a list's grid.
inline Cell grid_cell(const Cell *cells, const Grid &g, const unsigned char *s) {
    const unsigned second = static_cast<unsigned char>(s[1] - g.low1) & g.mask1;
    const unsigned third = static_cast<unsigned char>(s[2] - g.low2) & g.mask2;
    return second < g.span1 && third < g.span2 ? cells[g.at + second * g.span2 + third] : g.miss;
}

} // namespace intl::xlate

#endif
