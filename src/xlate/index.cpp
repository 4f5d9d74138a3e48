// The index of a loaded table: each first byte's plan, and grids of its sequences' outputs.
#include "xlate/index.h"

using namespace intl::xlate;

namespace {

// The cell of record m, the place-th of the loader's records.
Cell cell_of(const INTL_MAP &m, std::size_t place) {
    const Cell lengths = Cell(m.dest_chars) << 24 | Cell(m.src_left + 1) << 28;
    if (m.dest_chars > 3)
        return in_record | lengths | static_cast<Cell>(place);
    return lengths | static_cast<Cell>(load8(m.dest_pattern) & ((1u << 8 * m.dest_chars) - 1));
}

// The plan and grid of a list of a grid's shape, its cells from `cells` + `used` on, `used`
// counting them up to `budget` (a search when its size forbids a grid); a narrow grid (index.h)
// follows when room is left and 1 in 32 sequences fit its cells.
ByteCell grid_list(unsigned byte, const INTL_XLIST &list, const Shape &shape, Index &index,
                   Cell *cells, std::size_t &used, std::size_t budget) {
    const std::span<const INTL_MAP> records = mappings(list);
    const auto place = static_cast<std::size_t>(list.list - index.records());
    Grid &g = index.grid[byte];
    const auto &[length, low, high, longer] = shape;
    const std::size_t span1 = length > 0 ? high[0] - low[0] + 1 : 1;
    const std::size_t span2 = length == 2 ? high[1] - low[1] + 1 : 1;
    if (place + records.size() > record_place || used + span1 * span2 > budget ||
        span1 * span2 > list_cells_per_record * records.size())
        return needs_search;
    Cell miss = Cell{1} << 28 | Cell{1} << 24 | byte; // the byte, or its first single byte's cell
    for (std::size_t k = records.size(); k-- > 0 && records[k].src_left <= 0;) // those come last
        miss = usable(records[k]) ? cell_of(records[k], place + k) : miss;
    g.at = std::uint32_t(used), g.miss = miss, g.span1 = std::uint16_t(span1);
    g.low1 = std::uint8_t(low[0]), g.low2 = std::uint8_t(low[1]), g.span2 = std::uint16_t(span2);
    g.mask1 = length > 0 ? 0xFF : 0, g.mask2 = length > 1 ? 0xFF : 0; // bytes past the length
    const std::span<Cell> grid(cells + used, span1 * span2);
    std::fill(grid.begin(), grid.end(), miss), used += grid.size();
    const std::size_t rows = length == 2 ? span1 : 1, narrow_size = length == 2 ? rows * 128 : 256;
    const bool narrowed = length > 0 && used + narrow_size <= budget && // not beside searches
                          narrow_size <= list_cells_per_record * records.size() &&
                          (longer[0] | longer[1] | longer[2] | longer[3]) == 0;
    auto *const narrow = reinterpret_cast<NarrowCell *>(cells + used);
    std::fill_n(cells + used, narrowed ? narrow_size : 0, length == 2 ? ~Cell{0} : 0); // misses
    std::size_t fit = 0, sequences = 0;
    std::pair<INTL_INT, std::uint64_t> after{INT32_MIN, 0}; // the record after's, as ordered below
    for (std::size_t k = records.size(); k-- > 0 && records[k].src_left <= length;) {
        const INTL_MAP &m = records[k]; // the first one wins; longer ones are not read again
        const std::uint64_t key = pattern_key(m) >> 8; // all 7 bytes
        const std::pair order{m.src_left, ~key};       // longer first, then by pattern
        if (order < after)
            return used -= grid.size(), needs_search; // the plan checked the lengths only
        after = order;
        if (length == 0 || m.src_left != length || !usable(m))
            continue; // the plan's bounds hold every record that passes
        const unsigned first = m.src_pattern[0], last = m.src_pattern[length == 2];
        const std::size_t row = first - low[0], col = length == 2 ? last - low[1] : 0;
        const Cell c = cell_of(m, place + k), out = c >> 24 & 0xF, v = c & 0xFFFF;
        grid[row * span2 + col] = c;
        const bool fits = !(c & in_record) && out > 0 &&
                          (length == 1 || out == 1 || (out == 2 && v > 0xFF && v != narrow_miss));
        if (narrowed && length == 1)
            cells[used + last] = fits ? c & 0x0FFFFFFF : 0;
        else if (narrowed)
            narrow[row * 256 + last] = fits ? NarrowCell(v) : narrow_miss;
        fit += fits, ++sequences;
    }
    for (unsigned b = low[0]; length == 1 && b <= high[0]; ++b)
        if (longer[b / 64] >> b % 64 & 1)
            grid[b - low[0]] = search_cell;
    if (!narrowed || 32 * fit < sequences)
        return needs_grid;
    const std::uint64_t at = (index.cells_at + used) * (length == 1 ? 1 : 2); // in its kind's cells
    used += narrow_size;
    return ByteCell(length + 1) << narrow_length_shift | ByteCell(rows - 1) << 48 |
           ByteCell(low[0]) << 40 | at;
}

} // namespace

namespace intl::xlate {

unsigned char *build_index(const INTL_XLATE &table, Index &index, unsigned char *cells) {
    index.mark = index_mark, index.table = &table, index.ascii_same = index.bytes_only = 1;
    auto *grid = reinterpret_cast<Cell *>(cells);
    index.cells_at = std::uint64_t(grid - reinterpret_cast<Cell *>(&index));
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
