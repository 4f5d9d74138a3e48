// Writing localization files: a value spelled so that the library's reader
// gives back exactly its bytes under a file's declared syntax characters.
#ifndef INTL_TOOL_LOCWRITER_H
#define INTL_TOOL_LOCWRITER_H

#include "locfile.h"

#include <string>
#include <string_view>

namespace tool {

// The value as it is written after "name = ": bare when no byte of it means
// anything to the reader, otherwise in double quotes, with control bytes as
// hexadecimal runs between quoted stretches. A value whose line would grow
// past the reader's line is continued (escape and newline) inside a quoted
// stretch; `column` is where the value begins on its line.
std::string written_value(std::string_view value, const Syntax &syntax, std::size_t column = 0);

// The file-format section that declares syntax's separator and escape.
std::string file_format_section(const Syntax &syntax);

} // namespace tool

#endif
