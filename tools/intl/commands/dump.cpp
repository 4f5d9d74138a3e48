// intl dump: prints a loaded table with the library's own dump.
#include "loaded_tables.h"
#include "tool.h"

#include <iostream>

namespace tool {

namespace {

int run_dump(const TableOptions &options) {
    const LoadedTables tables(options);
    std::cout.flush();
    intl__print_xlate(tables.chosen());
    return exit_ok;
}

} // namespace

Command add_dump(CLI::App &app) {
    auto options = std::make_shared<TableOptions>();
    CLI::App *command = app.add_subcommand("dump", "Print every mapping of a loaded table");
    add_table_options(*command, *options);
    return {command, [options] { return run_dump(*options); }};
}

} // namespace tool
