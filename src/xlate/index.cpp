// The index of a loaded table: each first byte's plan, and grids of its sequences' outputs.
#include "xlate/index.h"

#include <algorithm>

using namespace intl::xlate;

namespace {

// The cell of record m, the place-th of the loader's records.
Cell cell_of(const INTL_MAP &m, std::size_t place) {
    const Cell lengths = Cell(m.dest_chars) << 24 | Cell(m.src_left + 1) << 28;
    if (m.dest_chars > 3)
        return in_record | lengths | static_cast<Cell>(place);
    return lengths | static_cast<Cell>(load8(m.dest_pattern) & ((1u << 8 * m.dest_chars) - 1));
}

// Narrow cells over a list's wide grid (index.h) when 1 in 4 of its sequences fit one: an output
// of 1 byte, or 2 with the second not 0 (not both 0xFF); the others and misses take the wide grid.
ByteCell narrow_grid(std::span<const Cell> wide, const Grid &g, const Index &index,
                     NarrowCell *grid) {
    const bool three = g.mask2 != 0; // bytes in a sequence
    const unsigned rows = three ? g.span1 : 1, width = three ? g.span2 : g.span1;
    std::fill_n(grid, rows * 256, narrow_miss);
    std::size_t fit = 0, sequences = 0;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const Cell c = wide[i], out = c >> 24 & 0xF;
        const bool fits = c != g.miss && !(c & in_record) && out - 1 < 2 &&
                          (out == 1 || (c & 0xFF00) != 0) && (c & 0xFFFF) != narrow_miss;
        fit += fits, sequences += c != g.miss;
        grid[i / width * 256 + (three ? g.low2 : g.low1) + i % width] =
            fits ? NarrowCell(c) : narrow_miss;
    }
    const auto at = std::uint64_t(grid - reinterpret_cast<const NarrowCell *>(&index));
    return 4 * fit < sequences ? needs_grid
                                   : ByteCell(three ? 3 : 2) << narrow_length_shift |
                                         ByteCell(rows - 1) << 48 | ByteCell(g.low1) << 40 | at;
}

// The plan and grid of a list of a grid's shape, its cells from `cells` + `used` on, `used`
// counting them up to `budget`; a search when the list's size forbids a grid.
ByteCell grid_list(unsigned byte, const INTL_XLIST &list, const Shape &shape, Index &index,
                   Cell *cells, std::size_t &used, std::size_t budget) {
    const std::span<const INTL_MAP> records = mappings(list);
    const auto place = static_cast<std::size_t>(list.list - index.records());
    Grid &g = index.grid[byte];
    const auto [length, low, high, single] = shape;
    const std::size_t span1 = length > 0 ? high[0] - low[0] + 1 : 1;
    const std::size_t span2 = length == 2 ? high[1] - low[1] + 1 : 1;
    if (place + records.size() > record_place || used + span1 * span2 > budget ||
        span1 * span2 > list_cells_per_record * records.size())
        return needs_search;
    const Cell miss = single != nullptr
                          ? cell_of(*single, place + std::size_t(single - &records[0]))
                          : Cell{1} << 28 | Cell{1} << 24 | byte;
    g.at = std::uint32_t(used), g.miss = miss, g.span1 = std::uint16_t(span1);
    g.low1 = std::uint8_t(low[0]), g.low2 = std::uint8_t(low[1]), g.span2 = std::uint16_t(span2);
    g.mask1 = length > 0 ? 0xFF : 0, g.mask2 = length > 1 ? 0xFF : 0; // bytes past the length
    const std::span<Cell> grid(cells + used, span1 * span2);
    std::fill(grid.begin(), grid.end(), miss);
    for (std::size_t k = records.size(); length > 0 && k-- > 0;) { // the first one wins
        const INTL_MAP &m = records[k];
        const std::size_t third = length == 2 ? m.src_pattern[1] - low[1] : 0;
        if (usable(m) && m.src_left == length)
            grid[(m.src_pattern[0] - low[0]) * span2 + third] = cell_of(m, place + k);
    }
    used += grid.size();
    const std::size_t narrow = (length == 2 ? span1 : 1) * 256 / 2; // in cells
    if (length == 0 || used + narrow > budget || narrow > list_cells_per_record * records.size())
        return needs_grid;
    const ByteCell plan = narrow_grid(grid, g, index, reinterpret_cast<NarrowCell *>(cells + used));
    used += plan != needs_grid ? narrow : 0;
    return plan;
}

} // namespace

namespace intl::xlate {

unsigned char *build_index(const INTL_XLATE &table, Index &index, unsigned char *cells) {
    index.mark = index_mark, index.table = &table;
    auto *grid = reinterpret_cast<Cell *>(cells);
    index.cells_at = std::uint64_t(grid - reinterpret_cast<Cell *>(&index));
    index.ascii_same = index.bytes_only = 1;
    const auto records = std::size_t(reinterpret_cast<const INTL_MAP *>(cells) - index.records());
    std::size_t used = 0, budget = cells_per_record * records; // the records lie before the cells
    for (unsigned byte = 0; byte < list_count; ++byte) {
        Shape shape;
        ByteCell &plan = index.byte[byte] = plan_list(byte, table.xlist[byte], &shape);
        if (plan == needs_grid)
            plan = grid_list(byte, table.xlist[byte], shape, index, grid, used, budget);
        index.ascii_same &= byte >= 0x80 || plan == (byte | ByteCell{1} << byte_count_shift);
        index.bytes_only &= plan < needs_grid;
    }
    return cells + (sizeof(Cell) * used + 7) / 8 * 8;
}

} // namespace intl::xlate
