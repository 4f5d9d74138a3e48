// Table sources: localization files whose [to server] and [to display]
// sections list the mappings of a compiled translation file.
#ifndef INTL_TOOL_TABLE_SOURCE_H
#define INTL_TOOL_TABLE_SOURCE_H

#include "diagnostics.h"

#include <intl.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tool {

// One mapping as the source gave it: the first source byte names its list.
struct SourceMapping {
    unsigned char first;
    INTL_MAP map;
    int line;
    bool substituted = false; // written by a 'substitute' entry
};

// One section: its mappings, and the bytes its 'substitute' entries write
// (empty when the section declares no substitution).
struct SourceTable {
    std::vector<SourceMapping> mappings;
    std::string substitution;
};

struct TableSource {
    std::int32_t version = 0;
    std::optional<SourceTable> to_server;
    std::optional<SourceTable> to_display;
};

// The 256 lists of one table, each in the engine's order.
using TableLists = std::array<std::vector<INTL_MAP>, 256>;

// Reads a source ("-": standard input); every problem found goes to errors.
TableSource read_table_source(const std::string &name, Diagnostics &errors);

// Sorts mappings into lists, duplicates going to errors. A list may hold
// more than 255 mappings: this library's engine walks lists of any length.
TableLists sort_into_lists(const std::vector<SourceMapping> &mappings, const std::string &table,
                           Diagnostics &errors);

// A table's lists, the substitution its source declared and the sources
// whose own translation is those bytes too (not substitutions).
struct CompiledTable {
    TableLists lists;
    std::string substitution;
    std::vector<std::string> translated_alike;
};

// The sources of mappings that were not substituted yet give the bytes of
// the substitution.
std::vector<std::string> translated_alike(const SourceTable &table);

// The compiled file: version word, then a to-server block (code 0) and a
// to-display block (code 1) for the tables given, all little-endian; then,
// when a table declared a substitution, the trailer that names both
// (substitution_mark), which the loader never reads.
std::string encode_compiled(std::int32_t version, const CompiledTable *to_server,
                            const CompiledTable *to_display);

// The trailer: the mark, then per direction (to server, to display) the
// substitution and the count of sources translated alike, then those
// sources; each byte string is a length byte and 8 bytes, zero-filled.
inline constexpr char substitution_mark[8] = {'S', 'u', 'b', 's', 't', 'i', 't', 'e'};

} // namespace tool

#endif
