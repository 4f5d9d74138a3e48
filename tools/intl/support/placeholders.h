// The numbered placeholders of a message template (%1! to %20!, one closing
// byte each; %% is a percent sign), as the message builder reads them.
#ifndef INTL_TOOL_PLACEHOLDERS_H
#define INTL_TOOL_PLACEHOLDERS_H

#include <cstddef>
#include <set>
#include <string>

namespace tool {

// The message builder holds this many arguments.
constexpr std::size_t max_arguments = 20;

// The argument numbers the template uses; throws Failure naming the first
// placeholder that is not %1! to %20! with its closing byte.
std::set<std::size_t> placeholder_numbers(const std::string &text);

// "%1! %3!": the placeholders of those numbers, as a translator reads them.
std::string placeholder_list(const std::set<std::size_t> &numbers);

} // namespace tool

#endif
