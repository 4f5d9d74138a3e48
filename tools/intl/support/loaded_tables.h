// A compiled translation file loaded through intl_xlatesize and
// intl_load_xlate_sized, and the options that name it.
#ifndef INTL_TOOL_LOADED_TABLES_H
#define INTL_TOOL_LOADED_TABLES_H

#include "compiled_file.h"

#include <CLI/CLI.hpp>
#include <intl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tool {

struct TableOptions {
    std::string charset;
    std::string table;
    std::string home;
    bool to_server = false;
    bool to_display = false;
};

// --charset, --table, --to-server, --to-display and --home.
void add_table_options(CLI::App &command, TableOptions &options);

class LoadedTables {
  public:
    // Loads charsets/CHARSET/TABLE under the data directory; throws Failure.
    explicit LoadedTables(const TableOptions &options);
    // The table of the direction the options chose (to server by default).
    const INTL_XLATE *chosen() const { return to_display_chosen_ ? to_display_ : to_server_; }
    const char *chosen_name() const { return to_display_chosen_ ? "to-display" : "to-server"; }
    // Each table the file holds, or null.
    const INTL_XLATE *to_server() const { return to_server_; }
    const INTL_XLATE *to_display() const { return to_display_; }
    const std::string &path() const { return path_; }
    // The substitution of the chosen table, from the file's trailer.
    const Substitution &substitution() const { return substitution_; }

  private:
    // Sizes the buffer and loads into it; the sized load's result.
    INTL_INT load(const std::string &charset, const std::string &table);

    std::vector<std::uint64_t> buffer_; // aligned for the loaded headers
    INTL_XLATE *to_server_ = nullptr;
    INTL_XLATE *to_display_ = nullptr;
    bool to_display_chosen_;
    std::string path_;
    Substitution substitution_;
};

} // namespace tool

#endif
