// The standard conversions that need no locale (integers, narrow
// characters and narrow texts), written straight into the caller's buffer:
// the C library's formatter costs more to set up for one conversion than
// such a rendering takes. Fixed-point numbers are put_fixed's.
#include "message/direct.h"

#include <bit>

namespace {

using intl::message::Body;
using intl::message::Direct;
using intl::message::Family;
using intl::message::Field;
using intl::message::Flag;
using intl::message::LetterFacts;
using intl::message::Output;
using intl::message::put_decimal;
using intl::message::put_field;
using intl::message::Specifier;

// The width's star value is not INT32_MIN: the formatter refused that.
Field resolve(const INTL_ARGVAL &arg, const Specifier &parsed) {
    Field field;
    field.flags = parsed.flags;
    field.width = static_cast<std::size_t>(parsed.width.value);
    if (parsed.point)
        field.precision = parsed.precision.value;
    int star = 0;
    if (parsed.width.star) {
        const INTL_INT width = arg.stars[star++];
        if (width < 0)
            field.flags |= Flag::minus;
        field.width = static_cast<std::size_t>(width < 0 ? -width : width);
    }
    if (parsed.precision.star)
        field.precision = std::max<INTL_INT>(arg.stars[star], -1);
    return field;
}

void put_piece(char *&at, std::string_view piece) {
    if (!piece.empty())
        std::memcpy(at, piece.data(), piece.size());
    at += piece.size();
}

void put_run(char *&at, char c, std::size_t count) {
    if (count != 0)
        std::memset(at, c, count);
    at += count;
}

constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324"
                               "25262728293031323334353637383940414243444546474849"
                               "50515253545556575859606162636465666768697071727374"
                               "75767778798081828384858687888990919293949596979899";

// Writes the two decimal digits of pair (below 100) before end.
char *put_pair(std::uint32_t pair, char *end) {
    end -= 2;
    std::memcpy(end, digit_pairs + 2 * pair, 2);
    return end;
}

// Writes the digits of value in the letter's base before end; the first of
// them.
char *put_digits(std::uint32_t value, std::string_view digits, char *end) {
    if (digits.size() == 10)
        return put_decimal(value, end);
    const auto shift = static_cast<unsigned>(std::countr_zero(digits.size()));
    const auto mask = static_cast<std::uint32_t>(digits.size() - 1);
    do {
        *--end = digits[value & mask];
        value >>= shift;
    } while (value != 0);
    return end;
}

// The value as the conversion reads it: an "h" conversion takes the low 16
// bits, a signed one their sign.
struct Magnitude {
    std::uint32_t value;
    bool negative;
};

Magnitude magnitude_of(const INTL_ARGVAL &arg, const Specifier &parsed) {
    const auto bits = static_cast<std::uint32_t>(intl::message::integer_of(arg));
    if (parsed.facts().family != Family::signed_int)
        return {parsed.size == 'h' ? static_cast<std::uint16_t>(bits) : bits, false};
    const std::int32_t value =
        parsed.size == 'h' ? static_cast<std::int16_t>(bits) : static_cast<std::int32_t>(bits);
    const auto magnitude = static_cast<std::uint32_t>(value);
    return value < 0 ? Magnitude{0u - magnitude, true} : Magnitude{magnitude, false};
}

std::string_view prefix_of(const Field &field, const LetterFacts &facts, Magnitude m) {
    if (facts.family == Family::signed_int) {
        if (m.negative)
            return "-";
        return field.has(Flag::plus) ? "+" : field.has(Flag::space) ? " " : "";
    }
    return field.has(Flag::hash) && m.value != 0 ? facts.hash_prefix : "";
}

INTL_INT put_integer(const Output &out, const INTL_ARGVAL &arg, const Specifier &parsed,
                     const Field &field) {
    const LetterFacts &facts = parsed.facts();
    const Magnitude m = magnitude_of(arg, parsed);
    char digits[12];
    char *const end = digits + sizeof digits;
    // A zero precision leaves no digit for the value zero.
    const char *first =
        m.value == 0 && field.precision == 0 ? end : put_digits(m.value, facts.digits, end);
    Body body{prefix_of(field, facts, m), 0,
              std::string_view(first, static_cast<std::size_t>(end - first))};
    const auto shown = static_cast<std::int64_t>(body.text.size());
    if (field.precision > shown)
        body.zeros = static_cast<std::size_t>(field.precision - shown);
    // '#' makes an octal number start with a zero.
    const bool octal = facts.digits.size() == 8;
    if (octal && field.has(Flag::hash) && body.zeros == 0 &&
        (body.text.empty() || body.text.front() != '0'))
        body.zeros = 1;
    return put_field(out, field, body, field.has(Flag::zero) && field.precision < 0);
}

// A conversion without flag, width, precision or size, the common case, is
// its sign and digits alone.
INTL_INT put_bare_integer(const Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    const Magnitude m = magnitude_of(arg, parsed);
    char digits[12];
    char *const end = digits + sizeof digits;
    char *first = put_digits(m.value, parsed.facts().digits, end);
    if (m.negative)
        *--first = '-';
    const auto len = static_cast<std::size_t>(end - first);
    if (!out.fits(len))
        return INTL_E_OVERFLOW;
    std::memcpy(out.pos, first, len);
    return static_cast<INTL_INT>(len);
}

// A character of value 0 ends the text that the message keeps, though the
// whole field is measured.
INTL_INT put_char(const Output &out, const INTL_ARGVAL &arg, const Field &field) {
    const auto c = static_cast<char>(intl::message::integer_of(arg));
    const INTL_INT len = put_field(out, field, Body{{}, 0, std::string_view(&c, 1)}, false);
    if (len < 0 || c != '\0')
        return len;
    return static_cast<INTL_INT>(intl::bounded_length(out.pos, static_cast<std::size_t>(len)));
}

// The text is read no further than its precision and the space left.
INTL_INT put_text(const Output &out, const char *text, const Field &field) {
    auto limit = static_cast<std::size_t>(out.left);
    if (field.precision >= 0 && static_cast<std::uint64_t>(field.precision) < limit)
        limit = static_cast<std::size_t>(field.precision);
    const std::string_view body(text, intl::bounded_length(text, limit));
    return put_field(out, field, Body{{}, 0, body}, false);
}

} // namespace

namespace intl::message {

INTL_INT put_field(const Output &out, const Field &field, const Body &body, bool pad_zeros) {
    const std::size_t len = body.prefix.size() + body.zeros + body.text.size();
    const std::size_t pad = field.width > len ? field.width - len : 0;
    if (!out.fits(len + pad))
        return INTL_E_OVERFLOW;
    const bool left = field.has(Flag::minus);
    char *at = out.pos;
    if (!left && !pad_zeros)
        put_run(at, ' ', pad);
    put_piece(at, body.prefix);
    put_run(at, '0', body.zeros + (!left && pad_zeros ? pad : 0));
    put_piece(at, body.text);
    if (left)
        put_run(at, ' ', pad);
    return static_cast<INTL_INT>(len + pad);
}

// Two digits a division.
char *put_decimal(std::uint64_t value, char *end) {
    for (; value >= 100; value /= 100)
        end = put_pair(static_cast<std::uint32_t>(value % 100), end);
    if (value >= 10)
        return put_pair(static_cast<std::uint32_t>(value), end);
    *--end = static_cast<char>('0' + value);
    return end;
}

INTL_INT render_direct(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    if (!parsed.defined_in_c())
        return needs_snprintf;
    // Wide characters and texts need the locale; what a null text renders as
    // is the C library's to say.
    const bool wide = parsed.size == 'l';
    const auto *text = static_cast<const char *>(arg.value.ptr_val);
    INTL_INT len = 0;
    switch (parsed.facts().direct) {
    case Direct::fixed:
        return put_fixed(out, arg.value.doubleval, resolve(arg, parsed));
    case Direct::integer:
        len = parsed.length == 0 ? put_bare_integer(out, arg, parsed)
                                 : put_integer(out, arg, parsed, resolve(arg, parsed));
        break;
    case Direct::character:
        if (wide)
            return needs_snprintf;
        len = put_char(out, arg, resolve(arg, parsed));
        break;
    case Direct::text:
        if (wide || text == nullptr)
            return needs_snprintf;
        len = put_text(out, text, resolve(arg, parsed));
        break;
    default:
        return needs_snprintf;
    }
    if (len < 0)
        return len;
    out.advance(static_cast<std::size_t>(len));
    return 0;
}

} // namespace intl::message
