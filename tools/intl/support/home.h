// Where the tool finds the library's data directory.
#ifndef INTL_TOOL_HOME_H
#define INTL_TOOL_HOME_H

#include <CLI/CLI.hpp>

#include <string>

namespace tool {

// The data directory built in at configure time; a relative one is taken
// from the directory that holds the running executable.
std::string default_home();

// Adds --home DIR to a subcommand that loads tables.
void add_home_option(CLI::App &command, std::string &home);

// Points the library at its data directory and returns it: the --home value
// when given (it must hold charsets/), else the first that holds charsets/ of
// the library's own lookup and the built-in default.
std::string use_home(const std::string &home);

} // namespace tool

#endif
