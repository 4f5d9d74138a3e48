// From the mappings of a table source to the bytes of a compiled
// translation file: the engine's lists, then the file's encoding.
#ifndef INTL_TOOL_COMPILED_FILE_H
#define INTL_TOOL_COMPILED_FILE_H

#include "diagnostics.h"
#include "table_source.h"

#include <intl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tool {

// The 256 lists of one table, each in the engine's order.
using TableLists = std::array<std::vector<INTL_MAP>, 256>;

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
