// intl xlate: translates files or standard input through a loaded table,
// block by block, the way iconv(1) converts.
#include "tables.h"
#include "tool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace tool {

namespace {

constexpr std::size_t longest_mapping = 8;

struct XlateOptions : TableOptions {
    std::vector<std::string> files;
    std::size_t block = 65536;
};

void write_all(const unsigned char *bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = write(STDOUT_FILENO, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure(std::string{"cannot write output: "} + std::strerror(errno));
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

// Translates what is pending and writes it out: on status 1 the output
// buffer is full and is drained, on status 2 the tail may begin a longer
// sequence and waits for more input. Returns the bytes consumed.
std::size_t translate_pending(const std::vector<unsigned char> &pending, bool last,
                              const INTL_XLATE *table, std::vector<unsigned char> &out) {
    std::size_t pos = 0;
    while (pos < pending.size()) {
        INTL_INT used = 0;
        INTL_INT status = 0;
        const INTL_INT produced = intl_xlate(
            pending.data() + pos, static_cast<INTL_INT>(pending.size() - pos), out.data(),
            static_cast<INTL_INT>(out.size()), table, &used, last ? 1 : 0, &status);
        if (produced < 0)
            throw Failure(status_text(produced));
        write_all(out.data(), static_cast<std::size_t>(produced));
        pos += static_cast<std::size_t>(used);
        if (status != 1)
            break;
        if (used == 0 && produced == 0)
            throw Failure("a mapping does not fit the output buffer");
    }
    return pos;
}

// Reads one input to its end; false (after a message) on a read error.
bool translate_input(int fd, const std::string &name, const INTL_XLATE *table, std::size_t block) {
    std::vector<unsigned char> pending;
    std::vector<unsigned char> out(std::max(block, longest_mapping));
    for (bool last = false; !last;) {
        const std::size_t kept = pending.size();
        pending.resize(kept + block);
        ssize_t n;
        do
            n = read(fd, pending.data() + kept, block);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            std::cerr << "intl xlate: cannot read " << name << ": " << std::strerror(errno) << '\n';
            return false;
        }
        pending.resize(kept + static_cast<std::size_t>(n));
        last = n == 0;
        const std::size_t consumed = translate_pending(pending, last, table, out);
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(consumed));
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
