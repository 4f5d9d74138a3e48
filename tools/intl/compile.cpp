// intl compile SOURCE -o FILE: the table compiler.
#include "table_source.h"
#include "tool.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

struct CompileOptions {
    std::string source;
    std::string output;
};

void print_diagnostics(const std::string &source, std::vector<Diagnostic> errors) {
    // Problems of the file as a whole (line 0) come after those of its lines.
    std::stable_sort(errors.begin(), errors.end(), [](const Diagnostic &a, const Diagnostic &b) {
        return (a.line == 0 ? INT_MAX : a.line) < (b.line == 0 ? INT_MAX : b.line);
    });
    for (const Diagnostic &d : errors) {
        std::cerr << source;
        if (d.line > 0)
            std::cerr << ':' << d.line;
        std::cerr << ": " << d.message << '\n';
    }
}

// Writes through a temporary file beside the output and renames it, so that
// a failure leaves no output file, and an earlier one stays whole.
void write_atomically(const std::string &output, const std::string &bytes) {
    const std::filesystem::path target{output};
    std::string pattern =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw Failure("cannot create " + output + ": " + std::strerror(errno));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const int saved = errno;
    const bool closed = fchmod(fd, 0644) == 0 && close(fd) == 0;
    if (done != bytes.size() || !closed || std::rename(pattern.c_str(), output.c_str()) != 0) {
        const int error = done != bytes.size() ? saved : errno;
        std::remove(pattern.c_str());
        throw Failure("cannot write " + output + ": " + std::strerror(error));
    }
}

int run_compile(const CompileOptions &options) {
    std::vector<Diagnostic> errors;
    const TableSource source = read_table_source(options.source, errors);
    TableLists to_server;
    TableLists to_display;
    if (source.to_server)
        to_server = sort_into_lists(*source.to_server, "to server", errors);
    if (source.to_display)
        to_display = sort_into_lists(*source.to_display, "to display", errors);
    if (!errors.empty()) {
        print_diagnostics(options.source, std::move(errors));
        return exit_failure;
    }
    write_atomically(options.output,
                     encode_compiled(source.version, source.to_server ? &to_server : nullptr,
                                     source.to_display ? &to_display : nullptr));
    return exit_ok;
}

} // namespace

Command add_compile(CLI::App &app) {
    auto options = std::make_shared<CompileOptions>();
    CLI::App *command =
        app.add_subcommand("compile", "Compile a table source into a translation file");
    command->add_option("SOURCE", options->source, "Table source (a localization file)")
        ->required();
    command->add_option("-o,--output", options->output, "Compiled translation file to write")
        ->required();
    return {command, [options] { return run_compile(*options); }};
}

} // namespace tool
