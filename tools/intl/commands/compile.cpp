// intl compile SOURCE -o FILE: the table compiler.
#include "compiled_file.h"
#include "output.h"
#include "table_source.h"
#include "tool.h"

#include <iostream>

namespace tool {

namespace {

struct CompileOptions {
    std::string source;
    std::string output;
};

int run_compile(const CompileOptions &options) {
    Diagnostics errors;
    const TableSource source = read_table_source(options.source, errors);
    TableLists to_server;
    TableLists to_display;
    if (source.to_server)
        to_server = sort_into_lists(*source.to_server, "to server", errors);
    if (source.to_display)
        to_display = sort_into_lists(*source.to_display, "to display", errors);
    if (errors.has_errors()) {
        errors.print(std::cerr, options.source == "-" ? "(standard input)" : options.source);
        return exit_failure;
    }
    write_output(options.output,
                 encode_compiled(source.version, source.to_server ? &to_server : nullptr,
                                 source.to_display ? &to_display : nullptr));
    return exit_ok;
}

} // namespace

Command add_compile(CLI::App &app) {
    auto options = std::make_shared<CompileOptions>();
    CLI::App *command =
        app.add_subcommand("compile", "Compile a table source into a translation file");
    command
        ->add_option("SOURCE", options->source,
                     "Table source (a localization file); - is standard input")
        ->required();
    command
        ->add_option("-o,--output", options->output,
                     "Compiled translation file to write; - is standard output")
        ->required();
    return {command, [options] { return run_compile(*options); }};
}

} // namespace tool
