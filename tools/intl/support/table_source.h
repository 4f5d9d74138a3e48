// Table sources: localization files whose [to server] and [to display]
// sections list the mappings of a compiled translation file.
#ifndef INTL_TOOL_TABLE_SOURCE_H
#define INTL_TOOL_TABLE_SOURCE_H

#include "diagnostics.h"

#include <intl.h>

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

// Reads a source ("-": standard input); every problem found goes to errors.
TableSource read_table_source(const std::string &name, Diagnostics &errors);

// The sources of mappings that were not substituted yet give the bytes of
// the substitution.
std::vector<std::string> translated_alike(const SourceTable &table);

} // namespace tool

#endif
