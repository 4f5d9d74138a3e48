// Internal header of character-set translation: the index the loader builds
// for each table where pointers are 8 bytes, and how the engine finds it.
//
// A loaded table there is laid out as the table itself, its Index, the
// records of its last non-empty list, those of the others in byte order,
// then the index's cells. The engine takes a table for a loaded one only
// when the records of its last non-empty list (found from the end, after a
// few empty lists at most) start exactly at the end of an Index placed
// right after the table, and that Index carries the mark and the table's
// address: it reads nothing beyond what a hand-built table defines before
// that. From then on the indexed lists are translated from the index and
// the loader's records alone: a caller who changes a loaded table in place
// (include/intl.h) gets stale output, never a read outside the buffer.
#ifndef INTL_XLATE_INDEX_H
#define INTL_XLATE_INDEX_H

#include "xlate/xlate.h"

#include <cstddef>
#include <cstdint>

namespace intl::xlate {

// A class of a first byte: 0..255 is the one byte it turns into (itself
// for an empty list); the others need a mapping found.
using Class = std::uint16_t;
constexpr Class indexed = 0x100;
constexpr Class searched = 0x101;

// The index entry of one first byte whose class is `indexed`: the cells
// over the bytes after the first (`length` of them, 0 to 2) give the
// mapping of each sequence.
struct ListIndex {
    std::uint32_t at; // the first cell
    std::uint8_t length;
    std::uint8_t low1, low2;    // the lowest second and third bytes
    std::uint16_t span1, span2; // how many of each the cells cover
};

struct Index {
    std::uint64_t mark;
    const INTL_XLATE *table;
    std::uint64_t cells; // offset of the cells from the Index
    Class of[list_count];
    ListIndex list[list_count];
};

static_assert(!(sizeof(void *) >= 8) || sizeof(Index) == 3608, "the header documents the size");

constexpr std::uint64_t index_mark = 0x78646e4978646e49; // "IndxIndx"
constexpr bool indexing = sizeof(void *) >= 8;
// A cell: 0 when no sequence matches; else the mapping's output of up to
// 3 bytes, first byte lowest, with its length + 1 in the top byte; or for
// a longer output `whole_record` with the output's length in bits 24-27
// and the record's place among the loader's records (which follow the
// Index) below: never through a list pointer, which a caller may change.
using Cell = std::uint32_t;
constexpr Cell whole_record = 0x80000000;
constexpr Cell record_place = 0x00FFFFFF;
// A list may take 16 cells per record (gapped double-byte codes, a lead
// byte's 64 x 64 three-byte sequences), a table 6 per record in all (the
// shipped ones need 5 at most); lists past that are searched.
constexpr std::size_t list_cells_per_record = 16;
constexpr std::size_t cells_per_record = 6;
constexpr std::size_t index_table_bytes = indexing ? sizeof(Index) + 8 : 0;
constexpr std::size_t index_record_bytes = indexing ? sizeof(Cell) * cells_per_record : 0;

// Builds the index of the table at `table`, whose records follow `index`
// as the layout above puts them; returns where its cells end.
unsigned char *build_index(const INTL_XLATE &table, Index &index, unsigned char *cells);

// The index of a loaded table, or null; `last` is 1 + the last byte whose
// list is not empty, 0 when none is.
inline const Index *find_index(const INTL_XLATE &table, unsigned &last) {
    last = list_count;
    while (last > 0 &&
           (table.xlist[last - 1].listsize <= 0 || table.xlist[last - 1].list == nullptr))
        --last;
    const auto start = reinterpret_cast<std::uintptr_t>(&table) + sizeof(INTL_XLATE);
    if (!indexing || last == 0 ||
        reinterpret_cast<std::uintptr_t>(table.xlist[last - 1].list) != start + sizeof(Index))
        return nullptr;
    const auto *index = reinterpret_cast<const Index *>(start);
    return index->mark == index_mark && index->table == &table ? index : nullptr;
}

// For an indexed list, the cell of the whole sequence at s (at least
// e.length + 1 bytes there).
// The loader's records, right after the index.
inline const INTL_MAP *records_of(const Index &index) {
    return reinterpret_cast<const INTL_MAP *>(&index + 1);
}

inline Cell lookup(const Cell *cells, const ListIndex &e, const unsigned char *s) {
    unsigned cell = 0;
    if (e.length > 0) {
        const unsigned second = static_cast<unsigned char>(s[1] - e.low1);
        const unsigned third = e.length == 2 ? static_cast<unsigned char>(s[2] - e.low2) : 0;
        if (second >= e.span1 || third >= e.span2)
            return 0;
        cell = second * e.span2 + third;
    }
    return cells[e.at + cell];
}

} // namespace intl::xlate

#endif
