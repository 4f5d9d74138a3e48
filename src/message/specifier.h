// Internal header of the message builder: the grammar of one conversion
// specifier, shared by the variadic builder, which reads specifiers from a
// formats string, and the argument-list formatter, which checks the stored
// text of a record before it hands that text to snprintf.
#ifndef INTL_MESSAGE_SPECIFIER_H
#define INTL_MESSAGE_SPECIFIER_H

#include "frame/frame.h"

namespace intl::message {

// Longest specifier text a record can hold, its terminator not counted.
constexpr std::size_t cvtspec_max = sizeof(INTL_ARGVAL::cvtspec) - 1;

// What a conversion character asks for.
enum class Family { floating, unsigned_int, signed_int, pointer, percent, other };

// The shape of one specifier after its "%".
struct Specifier {
    std::size_t length = 0; // flag, width, point, precision and size characters
    int stars = 0;          // "*" taken as width or precision
    char size = '\0';       // 'h', 'l' or NUL
    bool complete = false;  // a conversion character follows the size step
    char conversion = '\0'; // valid when complete
};

// The C library's isdigit accepts exactly these ten characters in every
// locale; testing them inline keeps the per-character scans call-free.
constexpr bool is_decimal(char c) {
    return c >= '0' && c <= '9';
}

constexpr bool is_flag(char c) {
    return c == ' ' || c == '#' || c == '+' || c == '-' || c == '0';
}

constexpr Family family_of(char conversion) {
    switch (conversion) {
    case 'E':
    case 'G':
    case 'e':
    case 'f':
    case 'g':
        return Family::floating;
    case 'X':
    case 'o':
    case 'u':
    case 'x':
        return Family::unsigned_int;
    case 'c':
    case 'd':
    case 'i':
        return Family::signed_int;
    case 'n':
    case 'p':
    case 's':
        return Family::pointer;
    case '%':
        return Family::percent;
    default:
        return Family::other;
    }
}

// Width or precision: a digit or "*", then every digit that follows.
inline void take_number(std::string_view text, std::size_t &at, Specifier &parsed) {
    if (at >= text.size() || (text[at] != '*' && !is_decimal(text[at])))
        return;
    if (text[at] == '*')
        ++parsed.stars;
    ++at;
    while (at < text.size() && is_decimal(text[at]))
        ++at;
}

// Reads one flag, width, point, precision and one size letter from the text
// that follows a "%", each step only while text is left; a second flag is
// not a flag, and precision digits need no point before them.
inline Specifier scan_specifier(std::string_view text) {
    Specifier parsed;
    std::size_t at = 0;
    if (at < text.size() && is_flag(text[at]))
        ++at;
    take_number(text, at, parsed);
    if (at < text.size() && text[at] == '.')
        ++at;
    take_number(text, at, parsed);
    if (at < text.size() && (text[at] == 'h' || text[at] == 'l'))
        parsed.size = text[at++];
    parsed.length = at;
    if (at < text.size()) {
        parsed.complete = true;
        parsed.conversion = text[at];
    }
    return parsed;
}

} // namespace intl::message

#endif
