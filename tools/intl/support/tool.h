// Shared declarations of the intl tool: the subcommand registry, the exit
// statuses and the error that ends a subcommand with a message.
#ifndef INTL_TOOL_H
#define INTL_TOOL_H

#include <CLI/CLI.hpp>

#include <functional>
#include <stdexcept>
#include <string>

namespace tool {

constexpr int exit_ok = 0;
constexpr int exit_failure = 1;
constexpr int exit_usage = 64; // as the C library's own command-line tools use it

// A registered subcommand: its parser and what runs once it was chosen.
struct Command {
    CLI::App *app;
    std::function<int()> run;
};

// Ends a subcommand: main prints "intl NAME: what()" and exits with 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Ends a subcommand with a message that names its own place,
// "FILE:LINE: message", printed as it is.
struct FileError : Failure {
    FileError(const std::string &file, int line, const std::string &message);
};

// The library's message for a status code.
std::string status_text(int code);

Command add_compile(CLI::App &app);
Command add_mktable(CLI::App &app);
Command add_xlate(CLI::App &app);
Command add_dump(CLI::App &app);
Command add_check(CLI::App &app);
Command add_show(CLI::App &app);
Command add_datetime(CLI::App &app);
Command add_message(CLI::App &app);
Command add_list(CLI::App &app);
Command add_po(CLI::App &app);

} // namespace tool

#endif
