// intl xlate: translates files or standard input through a loaded table,
// block by block, the way iconv(1) converts.
#include "loaded_tables.h"
#include "output.h"
#include "tool.h"
#include "xlate_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace tool {

namespace {

struct XlateOptions : TableOptions {
    std::vector<std::string> files;
    std::size_t block = 65536;
};

// Reads one input to its end; false (after a message) on a read error.
bool translate_input(int fd, const std::string &name, const INTL_XLATE *table, std::size_t block) {
    intl_stream::XlateStream stream(table, block, block);
    std::vector<unsigned char> piece(block);
    const auto write_out = [](const unsigned char *bytes, std::size_t count) {
        write_all(STDOUT_FILENO, {reinterpret_cast<const char *>(bytes), count}, "standard output");
    };
    for (bool last = false; !last;) {
        ssize_t n;
        do
            n = read(fd, piece.data(), block);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            std::cerr << "intl xlate: cannot read " << name << ": " << std::strerror(errno) << '\n';
            return false;
        }
        last = n == 0;
        if (const char *problem =
                stream.feed(piece.data(), static_cast<std::size_t>(n), last, write_out))
            throw Failure(name + ": " + problem);
    }
    return true;
}

int run_xlate(XlateOptions &options) {
    const LoadedTables tables(options);
    const INTL_XLATE *table = tables.chosen();
    if (table == nullptr)
        throw Failure(tables.path() + " holds no " + tables.chosen_name() + " table");
    if (options.files.empty())
        options.files.emplace_back("-");
    int result = exit_ok;
    for (const std::string &name : options.files) {
        const bool is_stdin = name == "-";
        const int fd = is_stdin ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::cerr << "intl xlate: cannot open input file '" << name
                      << "': " << std::strerror(errno) << '\n';
            result = exit_failure;
            continue;
        }
        if (!translate_input(fd, is_stdin ? "standard input" : name, table, options.block))
            result = exit_failure;
        if (!is_stdin)
            close(fd);
    }
    return result;
}

} // namespace

Command add_xlate(CLI::App &app) {
    auto options = std::make_shared<XlateOptions>();
    CLI::App *command = app.add_subcommand(
        "xlate", "Translate files (or standard input, also as -) to standard output");
    add_table_options(*command, *options);
    command->add_option("FILE", options->files, "Input files; - is standard input");
    command
        ->add_option("--block", options->block,
                     "Bytes read and translated per call (default 65536)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 24));
    return {command, [options] { return run_xlate(*options); }};
}

} // namespace tool
