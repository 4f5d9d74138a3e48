// The small shared pieces declared in tool.h.
#include "tool.h"

#include <intl.h>

namespace tool {

std::string status_text(int code) {
    return intl_errstr(code);
}

FileError::FileError(const std::string &file, int line, const std::string &message)
    : Failure(file + (line > 0 ? ":" + std::to_string(line) : std::string{}) + ": " + message) {}

} // namespace tool
