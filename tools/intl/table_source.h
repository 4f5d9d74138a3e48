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
};

struct TableSource {
    std::int32_t version = 0;
    std::optional<std::vector<SourceMapping>> to_server;
    std::optional<std::vector<SourceMapping>> to_display;
};

// The 256 lists of one table, each in the engine's order.
using TableLists = std::array<std::vector<INTL_MAP>, 256>;

// Reads a source ("-": standard input); every problem found goes to errors.
TableSource read_table_source(const std::string &name, Diagnostics &errors);

// Sorts mappings into lists, duplicates going to errors. A list may hold
// more than 255 mappings: this library's engine walks lists of any length.
TableLists sort_into_lists(const std::vector<SourceMapping> &mappings, const std::string &table,
                           Diagnostics &errors);

// The compiled file: version word, then a to-server block (code 0) and a
// to-display block (code 1) for the tables given, all little-endian.
std::string encode_compiled(std::int32_t version, const TableLists *to_server,
                            const TableLists *to_display);

} // namespace tool

#endif
