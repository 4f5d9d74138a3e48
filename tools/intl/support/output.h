// Where the tool's output goes: the -o target of compile and mktable, and
// the checks that no write to standard output is lost.
#ifndef INTL_TOOL_OUTPUT_H
#define INTL_TOOL_OUTPUT_H

#include <string>
#include <string_view>

namespace tool {

// Writes every byte to the descriptor; throws Failure naming what on error.
void write_all(int fd, std::string_view bytes, const std::string &what);

// Writes bytes to an -o target: "-" is standard output; a regular file or
// a missing one is replaced whole (a temporary file beside it, renamed);
// a symbolic link is followed to what it names; anything else (a FIFO, a
// device) is written in place, never replaced.
void write_output(const std::string &target, std::string_view bytes);

// Flushes and closes standard output; throws Failure if any write to it
// was lost.
void finish_standard_output();

} // namespace tool

#endif
