// Character classification shared by the reader and the message builder.
#include "frame/frame.h"

#include <cctype>

namespace intl {

bool is_space(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool is_digit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace intl
