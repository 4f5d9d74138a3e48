// Internal header of the message builder: the grammar of one conversion
// specifier, shared by the variadic builder, which reads specifiers from a
// formats string, and the argument-list formatter, which reads the stored
// text of a record before it renders the value.
#ifndef INTL_MESSAGE_SPECIFIER_H
#define INTL_MESSAGE_SPECIFIER_H

#include "frame/frame.h"

#include <algorithm>
#include <cstdint>

namespace intl::message {

// Longest specifier text a record can hold, its terminator not counted.
constexpr std::size_t cvtspec_max = sizeof(INTL_ARGVAL::cvtspec) - 1;

// Offset of the first "%" in text, or its size when there is none. A
// placeholder or specifier often follows another at once, so the first
// byte is tested before the library search.
inline std::size_t find_percent(std::string_view text) {
    if (text.empty() || text.front() == '%')
        return 0;
    const void *percent = std::memchr(text.data(), '%', text.size());
    return percent != nullptr
               ? static_cast<std::size_t>(static_cast<const char *>(percent) - text.data())
               : text.size();
}

constexpr bool is_value_type(INTL_INT code) {
    return code >= INTL_T_SHORT && code <= INTL_T_DOUBLE;
}

// What a conversion character asks for.
enum class Family { floating, unsigned_int, signed_int, pointer, percent, other };

// The formats string takes one flag and lets precision digits go without a
// point; a record's text is handed to the C library, so it must be C's.
enum class Grammar { formats, c };

// Flag characters as bits of Specifier::flags.
enum Flag : unsigned { minus = 1, plus = 2, space = 4, hash = 8, zero = 16 };

constexpr unsigned flag_bit(char c) {
    switch (c) {
    case '-':
        return Flag::minus;
    case '+':
        return Flag::plus;
    case ' ':
        return Flag::space;
    case '#':
        return Flag::hash;
    case '0':
        return Flag::zero;
    default:
        return 0;
    }
}

// A width or precision: "*", or its digits' value saturated at INT32_MAX;
// its text is [at, end) of the scanned text.
struct Number {
    bool given = false;
    bool star = false;
    INTL_INT value = 0;
    std::size_t at = 0;
    std::size_t end = 0;
};

// The shape of one specifier after its "%".
struct Specifier {
    std::size_t length = 0; // flag, width, point, precision and size characters
    unsigned flags = 0;     // Flag bits
    int stars = 0;          // "*" taken as width or precision
    Number width;
    bool point = false;
    Number precision;
    char size = '\0';       // 'h', 'l' or NUL
    bool complete = false;  // a conversion character follows the size step
    char conversion = '\0'; // valid when complete
};

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

// Width or precision: "*" or digits; the formats string also takes digits
// after a "*".
constexpr void take_number(std::string_view text, std::size_t &at, Grammar grammar, Number &n) {
    n.at = at;
    if (at < text.size() && text[at] == '*') {
        n.given = n.star = true;
        ++at;
    }
    if (!n.star || grammar == Grammar::formats) {
        std::int64_t value = 0;
        for (; at < text.size() && is_digit(text[at]); ++at) {
            n.given = true;
            value = std::min<std::int64_t>(value * 10 + (text[at] - '0'), INT32_MAX);
        }
        n.value = static_cast<INTL_INT>(value);
    }
    n.end = at;
}

// Reads flags, width, point, precision and one size letter from the text
// that follows a "%", each step only while text is left, then looks at the
// conversion character.
constexpr Specifier scan_specifier(std::string_view text, Grammar grammar) {
    Specifier parsed;
    std::size_t at = 0;
    while (at < text.size() && flag_bit(text[at]) != 0 &&
           (grammar == Grammar::c || parsed.flags == 0))
        parsed.flags |= flag_bit(text[at++]);
    take_number(text, at, grammar, parsed.width);
    if (at < text.size() && text[at] == '.') {
        parsed.point = true;
        ++at;
    }
    if (parsed.point || grammar == Grammar::formats)
        take_number(text, at, grammar, parsed.precision);
    parsed.stars = parsed.width.star + parsed.precision.star;
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
