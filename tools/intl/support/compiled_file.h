// From the mappings of a table source to the bytes of a compiled
// translation file: the engine's lists, then the file's encoding; and the
// trailer read back.
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

// A table's lists, the substitution its source declared and the sources
// whose own translation is those bytes too (not substitutions).
struct CompiledTable {
    TableLists lists;
    std::string substitution;
    std::vector<std::string> translated_alike;
};

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

// What a total table writes for what it cannot translate, and the sources
// whose own translation gives the same bytes; no bytes for other tables.
struct Substitution {
    std::string bytes;
    std::vector<std::string> translated_alike;
};

// The substitution of one direction from the trailer of the compiled file at
// path; no bytes for a file without one.
Substitution read_substitution(const std::string &path, bool to_display);

} // namespace tool

#endif
