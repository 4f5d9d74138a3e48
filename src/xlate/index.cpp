// The index of a loaded table: each first byte's plan, and for lists of
// sequences of one length (1 to 3 bytes) beside single-byte records a grid
// of cells over the bytes after the first, each saying its sequence's
// output and how many bytes it takes.
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

// The grid of a list of the shape that takes one, its cells written from
// `cells` on; `used` counts the cells taken, up to `budget`. False when
// the list's size leaves it to the search.
bool grid_list(unsigned byte, const INTL_XLIST &list, const Shape &shape, Index &index, Cell *cells,
               std::size_t &used, std::size_t budget) {
    const std::span<const INTL_MAP> records = mappings(list);
    const auto place = static_cast<std::size_t>(list.list - index.records());
    Grid &g = index.grid[byte];
    const auto [length, low, high, single] = shape;
    const std::size_t span1 = length > 0 ? high[0] - low[0] + 1 : 1;
    const std::size_t span2 = length == 2 ? high[1] - low[1] + 1 : 1;
    if (place + records.size() > record_place || used + span1 * span2 > budget ||
        span1 * span2 > list_cells_per_record * records.size())
        return false;
    const Cell miss = single != nullptr
                          ? cell_of(*single, place + std::size_t(single - &records[0]))
                          : Cell{1} << 28 | Cell{1} << 24 | byte;
    g = {std::uint32_t(used),
         miss,
         std::uint8_t(low[0]),
         std::uint8_t(low[1]),
         0,
         0,
         std::uint16_t(span1),
         std::uint16_t(span2)};
    g.mask1 = length > 0 ? 0xFF : 0, g.mask2 = length > 1 ? 0xFF : 0; // bytes past the length
    Cell *grid = cells + used;
    std::fill_n(grid, span1 * span2, g.miss);
    used += span1 * span2;
    for (std::size_t k = records.size(); length > 0 && k-- > 0;) { // the first one wins
        const INTL_MAP &m = records[k];
        const std::size_t third = length == 2 ? m.src_pattern[1] - low[1] : 0;
        if (usable(m) && m.src_left == length)
            grid[(m.src_pattern[0] - low[0]) * span2 + third] = cell_of(m, place + k);
    }
    return true;
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
        if (plan == needs_grid &&
            !grid_list(byte, table.xlist[byte], shape, index, grid, used, budget))
            plan = needs_search;
        index.ascii_same &= byte >= 0x80 || plan == (byte | ByteCell{1} << byte_count_shift);
        index.bytes_only &= plan < needs_grid;
    }
    return cells + (sizeof(Cell) * used + 7) / 8 * 8;
}

} // namespace intl::xlate
