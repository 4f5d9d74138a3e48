// Internal header of the message builder: the next "%" of a text, the facts
// of each conversion letter, and the grammar of one conversion specifier,
// shared by the variadic builder, which reads specifiers from a formats
// string, and the argument-list formatter, which reads the stored text of a
// record before it renders the value.
#ifndef INTL_MESSAGE_SPECIFIER_H
#define INTL_MESSAGE_SPECIFIER_H

#include "frame/frame.h"

#include <algorithm>
#include <array>
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

// What a conversion letter asks for.
enum class Family {
    floating,
    unsigned_int,
    signed_int,
    character,
    text,
    pointer,
    count,
    percent,
    other
};

// Where a precision makes the rendering at least that long: for integers,
// for non-null pointers, and for finite floating values (under g and G only
// with the '#' flag, since they count significant digits otherwise).
enum class Minimum { none, always, non_null, finite };

// The renderings the library writes itself; none leaves it to snprintf.
enum class Direct { none, integer, character, text, fixed };

// Everything the builder knows of one conversion letter; the builder, the
// checks and the renderer all ask this one row.
struct LetterFacts {
    Family family = Family::other;
    // The value type the builder stores, by size letter: none, "h", "l".
    std::array<INTL_INT, 3> stored = {};
    // The value types a caller's record may hold for it.
    INTL_INT first_type = 0;
    INTL_INT last_type = -1;
    // The flags and size letters that C defines for it; with others the C
    // library's rendering is its own choice, so only snprintf makes it.
    unsigned flags = 0;
    std::string_view sizes;
    Minimum minimum = Minimum::none;
    bool significant_digits = false; // precision counts significant digits
    Direct direct = Direct::none;
    std::string_view digits;      // of an integer, by value
    std::string_view hash_prefix; // that '#' puts before a non-zero integer
};

constexpr unsigned sided_flags = Flag::minus | Flag::plus | Flag::space;
constexpr unsigned numeric_flags = sided_flags | Flag::zero;
constexpr unsigned all_flags = numeric_flags | Flag::hash;

// The facts of a value taken as int, short or long, or as one type whatever
// the size letter.
constexpr LetterFacts integer_letter(Family family) {
    LetterFacts facts;
    facts.family = family;
    facts.stored = family == Family::unsigned_int
                       ? std::array<INTL_INT, 3>{INTL_T_UINT, INTL_T_USHORT, INTL_T_ULONG}
                       : std::array<INTL_INT, 3>{INTL_T_INT, INTL_T_SHORT, INTL_T_LONG};
    facts.first_type = INTL_T_SHORT;
    facts.last_type = INTL_T_ULONG;
    return facts;
}

constexpr LetterFacts single_type_letter(Family family, INTL_INT type) {
    LetterFacts facts;
    facts.family = family;
    facts.stored = {type, type, type};
    facts.first_type = facts.last_type = type;
    return facts;
}

// Indexed by the letter; bytes outside ASCII are no conversion.
inline constexpr auto letter_table = [] {
    LetterFacts decimal = integer_letter(Family::signed_int);
    decimal.flags = numeric_flags;
    decimal.sizes = "hl";
    decimal.minimum = Minimum::always;
    decimal.direct = Direct::integer;
    decimal.digits = "0123456789";
    LetterFacts unsigned_decimal = decimal;
    unsigned_decimal.family = Family::unsigned_int;
    unsigned_decimal.stored = integer_letter(Family::unsigned_int).stored;
    LetterFacts octal = unsigned_decimal;
    octal.flags = all_flags;
    octal.digits = "01234567";
    LetterFacts hex = octal;
    hex.digits = "0123456789abcdef";
    hex.hash_prefix = "0x";
    LetterFacts upper_hex = hex;
    upper_hex.digits = "0123456789ABCDEF";
    upper_hex.hash_prefix = "0X";

    LetterFacts character = integer_letter(Family::signed_int);
    character.family = Family::character;
    character.flags = sided_flags;
    character.sizes = "l";
    character.direct = Direct::character;
    LetterFacts text = single_type_letter(Family::text, INTL_T_PTR);
    text.flags = sided_flags;
    text.sizes = "l";
    text.direct = Direct::text;
    LetterFacts address = single_type_letter(Family::pointer, INTL_T_PTR);
    address.flags = sided_flags;
    address.minimum = Minimum::non_null;
    LetterFacts count = single_type_letter(Family::count, INTL_T_PTR);
    count.sizes = "hl";

    LetterFacts exponent = single_type_letter(Family::floating, INTL_T_DOUBLE);
    exponent.flags = all_flags;
    exponent.sizes = "l";
    exponent.minimum = Minimum::finite;
    LetterFacts fixed = exponent;
    fixed.direct = Direct::fixed;
    LetterFacts general = exponent;
    general.significant_digits = true;

    std::array<LetterFacts, 128> table{};
    const auto set = [&table](char letter, const LetterFacts &facts) {
        table[static_cast<unsigned char>(letter)] = facts;
    };
    set('d', decimal);
    set('i', decimal);
    set('u', unsigned_decimal);
    set('o', octal);
    set('x', hex);
    set('X', upper_hex);
    set('c', character);
    set('s', text);
    set('p', address);
    set('n', count);
    set('e', exponent);
    set('E', exponent);
    set('f', fixed);
    set('g', general);
    set('G', general);
    table['%'].family = Family::percent;
    return table;
}();

constexpr const LetterFacts &facts_of(char letter) {
    const auto at = static_cast<unsigned char>(letter);
    return letter_table[at < letter_table.size() ? at : 0];
}

// Whether the record may hold this value type for the letter.
constexpr bool takes(const LetterFacts &facts, INTL_INT value_type) {
    return value_type >= facts.first_type && value_type <= facts.last_type;
}

// The value type the builder stores for the letter and size letter.
constexpr INTL_INT stored_type(const LetterFacts &facts, char size) {
    return facts.stored[size == 'h' ? 1 : size == 'l' ? 2 : 0];
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

    const LetterFacts &facts() const { return facts_of(conversion); }
    // Whether C defines the conversion with these flags and size letter.
    bool defined_in_c() const {
        const LetterFacts &f = facts();
        return (flags & ~f.flags) == 0 &&
               (size == '\0' || f.sizes.find(size) != std::string_view::npos);
    }
};

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
