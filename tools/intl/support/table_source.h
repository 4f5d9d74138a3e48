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
};

struct TableSource {
    std::int32_t version = 0;
    std::optional<std::vector<SourceMapping>> to_server;
    std::optional<std::vector<SourceMapping>> to_display;
};

// Reads a source ("-": standard input); every problem found goes to errors.
TableSource read_table_source(const std::string &name, Diagnostics &errors);

} // namespace tool

#endif
