// The index of a loaded table: the class of each first byte's list, and for
// lists of sequences of one length (1 to 3 bytes) a grid of cells over the
// bytes after the first, each holding its sequence's output.
#include "xlate/index.h"

#include <algorithm>

using namespace intl::xlate;

namespace {

constexpr std::size_t max_indexed_records = UINT16_MAX;

// The cell of record m, the k-th of the loader's records.
Cell cell_of(const INTL_MAP &m, std::size_t k) {
    if (m.dest_chars > 3)
        return whole_record | static_cast<Cell>(m.dest_chars) << 24 | static_cast<Cell>(k);
    const Cell bytes =
        m.dest_pattern[0] | Cell{m.dest_pattern[1]} << 8 | Cell{m.dest_pattern[2]} << 16;
    return static_cast<Cell>(m.dest_chars + 1) << 24 |
           (bytes & ((Cell{1} << (8 * m.dest_chars)) - 1));
}

// The class of one list and, for an indexed one, its entry, its cells
// written from `cells` on; `used` counts the cells taken, up to `budget`.
// `base` is where the loader's records start.
Class index_list(unsigned byte, const INTL_XLIST &list, const INTL_MAP *base, ListIndex &e,
                 Cell *cells, std::size_t &used, std::size_t budget) {
    e = {};
    const auto count = static_cast<std::size_t>(list.listsize);
    if (list.listsize <= 0 || list.list == nullptr)
        return static_cast<Class>(byte);
    const auto place = static_cast<std::size_t>(list.list - base);
    if (count > max_indexed_records || place + count > record_place)
        return searched;
    const std::span<const INTL_MAP> records(list.list, count);
    const INTL_INT length = records[0].src_left;
    if (length < 0 || length > 2)
        return searched;
    unsigned low[2] = {255, 255}, high[2] = {0, 0};
    const INTL_MAP *first = nullptr;
    for (const INTL_MAP &m : records) {
        if (m.src_left != length)
            return searched;
        if (!usable(m))
            continue;
        first = first != nullptr ? first : &m;
        for (int i = 0; i < 2; ++i) { // the second byte is ignored for length 1
            low[i] = std::min<unsigned>(low[i], m.src_pattern[i]);
            high[i] = std::max<unsigned>(high[i], m.src_pattern[i]);
        }
    }
    if (first == nullptr)
        return static_cast<Class>(byte); // nothing usable: copied
    if (length == 0 && first->dest_chars == 1)
        return first->dest_pattern[0];
    const std::size_t span1 = length > 0 ? high[0] - low[0] + 1 : 1;
    const std::size_t span2 = length == 2 ? high[1] - low[1] + 1 : 1;
    if (span1 * span2 > list_cells_per_record * count || used + span1 * span2 > budget)
        return searched;
    e = {static_cast<std::uint32_t>(used),  static_cast<std::uint8_t>(length),
         static_cast<std::uint8_t>(low[0]), static_cast<std::uint8_t>(low[1]),
         static_cast<std::uint16_t>(span1), static_cast<std::uint16_t>(span2)};
    Cell *grid = cells + used;
    std::fill_n(grid, span1 * span2, 0);
    used += span1 * span2;
    // The first usable record of a sequence is the one the search finds.
    for (std::size_t k = count; k-- > 0;) {
        const INTL_MAP &m = records[k];
        if (usable(m)) {
            const std::size_t second = length > 0 ? m.src_pattern[0] - low[0] : 0;
            const std::size_t third = length == 2 ? m.src_pattern[1] - low[1] : 0;
            grid[second * span2 + third] = cell_of(m, place + k);
        }
    }
    return indexed;
}

} // namespace

namespace intl::xlate {

unsigned char *build_index(const INTL_XLATE &table, Index &index, unsigned char *cells) {
    index.mark = index_mark;
    index.table = &table;
    index.cells = static_cast<std::uint64_t>(cells - reinterpret_cast<unsigned char *>(&index));
    auto *grid = reinterpret_cast<Cell *>(cells);
    std::size_t used = 0, records = 0;
    for (const INTL_XLIST &list : table.xlist)
        records += static_cast<std::size_t>(std::max(list.listsize, 0));
    for (unsigned byte = 0; byte < list_count; ++byte)
        index.of[byte] = index_list(byte, table.xlist[byte], records_of(index), index.list[byte],
                                    grid, used, cells_per_record * records);
    const std::size_t bytes = (sizeof(Cell) * used + 7) / 8 * 8;
    return cells + bytes;
}

} // namespace intl::xlate
