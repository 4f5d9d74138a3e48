// Internal header of the library frame, included by every source file of the
// library: the public declarations with default visibility (everything else
// is hidden) and the few helpers that every subsystem shares.
#ifndef INTL_FRAME_H
#define INTL_FRAME_H

#pragma GCC visibility push(default)
#include <intl.h>
#pragma GCC visibility pop

#include <cctype>
#include <cstddef>
#include <cstring>
#include <span>
#include <string_view>

namespace intl {

// The stream's open-mode code for reading an existing file.
constexpr INTL_INT open_read_only = 1;

// Copies text into a fixed field and terminates it; false, with the field
// untouched, when text and its terminator do not fit.
inline bool copy_text(std::span<char> field, std::string_view text) {
    if (text.size() >= field.size())
        return false;
    std::memcpy(field.data(), text.data(), text.size());
    field[text.size()] = '\0';
    return true;
}

// Length of a NUL-terminated text, stopping after max bytes.
inline std::size_t bounded_length(const char *text, std::size_t max) {
    const void *nul = std::memchr(text, '\0', max);
    return nul ? static_cast<std::size_t>(static_cast<const char *>(nul) - text) : max;
}

// White space and digits as the C library classifies them, the byte taken as
// unsigned so that bytes 0x80-0xFF never index outside the tables. Inline, as
// the scanners classify character by character.
inline bool is_space(char c) {
    const auto byte = static_cast<unsigned char>(c);
    // Letters and digits are never white space in any locale (C's isspace
    // admits only characters for which isalnum is false), so the bulk of a
    // text is settled without a call.
    if (static_cast<unsigned>((byte | 0x20) - 'a') < 26 || static_cast<unsigned>(byte - '0') < 10)
        return false;
    return std::isspace(byte) != 0;
}

// The C library's isdigit accepts exactly these ten characters in every
// locale; testing them inline keeps the per-character scans call-free.
constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace intl

#endif
