// The standard conversions that need no locale but the decimal point
// (integers, narrow characters, narrow texts and fixed-point numbers of
// modest size), written straight into the caller's buffer: the C library's
// formatter costs more to set up for one conversion than such a rendering
// takes.
#include "message/direct.h"

#include <array>
#include <bit>
#include <cmath>
#include <langinfo.h>

namespace {

using intl::message::Family;
using intl::message::Flag;
using intl::message::Output;
using intl::message::Specifier;

// Flags, width and precision once the star values are in, as C applies
// them: a negative width is the '-' flag, a negative precision none at all.
struct Field {
    unsigned flags = 0;
    std::size_t width = 0;
    std::int64_t precision = -1; // none

    bool has(Flag flag) const { return (flags & flag) != 0; }
};

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

// A field's content before padding: a sign or base prefix, the zeros that
// a precision asks for, then the digits or the text.
struct Body {
    std::string_view prefix;
    std::size_t zeros = 0;
    std::string_view text;
};

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

// Writes body padded to the field's width at the output position, padding
// with zeros after the prefix when pad_zeros, and without advancing; the
// length written, or INTL_E_OVERFLOW when it would not fit.
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

// Writes the decimal digits of value before end, two a division; the first
// of them.
char *put_decimal(std::uint64_t value, char *end) {
    for (; value >= 100; value /= 100)
        end = put_pair(static_cast<std::uint32_t>(value % 100), end);
    if (value >= 10)
        return put_pair(static_cast<std::uint32_t>(value), end);
    *--end = static_cast<char>('0' + value);
    return end;
}

// Writes the digits of value before end; the first of them.
char *put_digits(std::uint32_t value, char conversion, char *end) {
    switch (conversion) {
    case 'o':
        do {
            *--end = static_cast<char>('0' + (value & 7));
            value >>= 3;
        } while (value != 0);
        return end;
    case 'x':
    case 'X': {
        const char *symbols = conversion == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
        do {
            *--end = symbols[value & 15];
            value >>= 4;
        } while (value != 0);
        return end;
    }
    default:
        return put_decimal(value, end);
    }
}

// The value as the conversion reads it: an "h" conversion takes the low 16
// bits, a signed one their sign.
struct Magnitude {
    std::uint32_t value;
    bool negative;
};

Magnitude magnitude_of(const INTL_ARGVAL &arg, const Specifier &parsed) {
    const auto bits = static_cast<std::uint32_t>(intl::message::integer_of(arg));
    if (parsed.conversion != 'd' && parsed.conversion != 'i')
        return {parsed.size == 'h' ? static_cast<std::uint16_t>(bits) : bits, false};
    const std::int32_t value =
        parsed.size == 'h' ? static_cast<std::int16_t>(bits) : static_cast<std::int32_t>(bits);
    const auto magnitude = static_cast<std::uint32_t>(value);
    return value < 0 ? Magnitude{0u - magnitude, true} : Magnitude{magnitude, false};
}

std::string_view prefix_of(const Field &field, char conversion, Magnitude m) {
    if (conversion == 'd' || conversion == 'i') {
        if (m.negative)
            return "-";
        return field.has(Flag::plus) ? "+" : field.has(Flag::space) ? " " : "";
    }
    if (field.has(Flag::hash) && m.value != 0 && conversion != 'o')
        return conversion == 'x' ? "0x" : "0X";
    return "";
}

INTL_INT put_integer(const Output &out, const INTL_ARGVAL &arg, const Specifier &parsed,
                     const Field &field) {
    const Magnitude m = magnitude_of(arg, parsed);
    char digits[12];
    char *const end = digits + sizeof digits;
    // A zero precision leaves no digit for the value zero.
    const char *first =
        m.value == 0 && field.precision == 0 ? end : put_digits(m.value, parsed.conversion, end);
    Body body{prefix_of(field, parsed.conversion, m), 0,
              std::string_view(first, static_cast<std::size_t>(end - first))};
    const auto shown = static_cast<std::int64_t>(body.text.size());
    if (field.precision > shown)
        body.zeros = static_cast<std::size_t>(field.precision - shown);
    // '#' makes an octal number start with a zero.
    if (parsed.conversion == 'o' && field.has(Flag::hash) && body.zeros == 0 &&
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
    char *first = put_digits(m.value, parsed.conversion, end);
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

// An unsigned 128-bit number, which 32-bit targets lack: the exact product
// of a double's 53-bit significand and a power of ten.
struct Wide {
    std::uint64_t high;
    std::uint64_t low;

    static Wide product(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
        const std::uint64_t middle = (a0 * b0 >> 32) + (a1 * b0 & 0xffffffffu) + a0 * b1;
        return {a1 * b1 + (a1 * b0 >> 32) + (middle >> 32),
                (middle << 32) | (a0 * b0 & 0xffffffffu)};
    }

    bool bit(unsigned i) const {
        return i < 64 ? (low >> i & 1) != 0 : (high >> (i - 64) & 1) != 0;
    }

    // Whether any of the bits below i is set.
    bool any_below(unsigned i) const {
        if (i >= 64)
            return low != 0 || (i > 64 && (high << (128 - i)) != 0);
        return i > 0 && (low << (64 - i)) != 0;
    }

    // The low 64 bits of this shifted right by i (below 128).
    std::uint64_t shifted(unsigned i) const {
        if (i >= 64)
            return high >> (i - 64);
        return i == 0 ? low : (low >> i) | (high << (64 - i));
    }
};

// Precisions beyond this are left to the C library.
constexpr int fixed_precision_max = 17;

constexpr auto powers_of_ten = [] {
    std::array<std::uint64_t, fixed_precision_max + 1> powers{1};
    for (std::size_t i = 1; i < powers.size(); ++i)
        powers[i] = powers[i - 1] * 10;
    return powers;
}();

// Whether the floating-point unit rounds to nearest, the one mode that the
// fixed-point rendering follows; the C library honours the others.
bool rounds_to_nearest() {
    volatile double three_quarters = 0x1.8p-53, quarter = 0x1p-54;
    const volatile double up = 1.0 + three_quarters, down = 1.0 + quarter;
    return up == 1.0 + 0x1p-52 && down == 1.0;
}

// The magnitude of value times 10 to the precision, rounded to nearest with
// ties to even as the C library rounds the exact binary value; false when
// it would not stay below 10 to the 19th.
bool scaled_magnitude(double value, int precision, std::uint64_t &scaled) {
    const std::uint64_t power = powers_of_ten[static_cast<std::size_t>(precision)];
    const double magnitude = value < 0 ? -value : value;
    if (!(magnitude < 1e19 / static_cast<double>(power)))
        return false;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>(bits >> 52 & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t significand = biased == 0 ? fraction : fraction | std::uint64_t{1} << 52;
    const int exponent = (biased == 0 ? 1 : biased) - 1075;
    if (exponent >= 0) { // an integer, and the product fits by the test above
        scaled = (significand << exponent) * power;
        return true;
    }
    const Wide product = Wide::product(significand, power);
    const auto shift = static_cast<unsigned>(-exponent);
    if (shift >= 128) { // below a half, as the product is below 2 to the 110th
        scaled = 0;
        return true;
    }
    scaled = product.shifted(shift);
    if (product.bit(shift - 1) && (product.any_below(shift - 1) || (scaled & 1) != 0))
        ++scaled;
    return true;
}

// Renders an f conversion of a finite value whose scaled digits fit 64 bits,
// under round-to-nearest; needs_snprintf for any other.
INTL_INT put_fixed(Output &out, double value, const Field &field) {
    const int precision = field.precision < 0 ? 6 : static_cast<int>(field.precision);
    std::uint64_t scaled = 0;
    const char *point = nl_langinfo(RADIXCHAR);
    const std::size_t point_len = std::strlen(point);
    if (precision > fixed_precision_max || point_len > 8 ||
        !scaled_magnitude(value, precision, scaled) || !rounds_to_nearest())
        return intl::message::needs_snprintf;
    char digits[48];
    char *const end = digits + sizeof digits;
    char *first = end;
    if (precision > 0) {
        const std::uint64_t power = powers_of_ten[static_cast<std::size_t>(precision)];
        first = put_decimal(scaled % power + power, end) + 1; // keeps leading zeros
        scaled /= power;
    }
    if (precision > 0 || field.has(Flag::hash)) {
        first -= point_len;
        std::memcpy(first, point, point_len);
    }
    first = put_decimal(scaled, first);
    const std::string_view sign = std::signbit(value)      ? "-"
                                  : field.has(Flag::plus)  ? "+"
                                  : field.has(Flag::space) ? " "
                                                           : "";
    const Body body{sign, 0, std::string_view(first, static_cast<std::size_t>(end - first))};
    const INTL_INT len = put_field(out, field, body, field.has(Flag::zero));
    if (len < 0)
        return len;
    out.advance(static_cast<std::size_t>(len));
    return 0;
}

} // namespace

namespace intl::message {

INTL_INT render_direct(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    const bool wide = parsed.size == 'l';
    const char conversion = parsed.conversion;
    const auto *text =
        conversion == 's' && !wide ? static_cast<const char *>(arg.value.ptr_val) : nullptr;
    const Family family = family_of(conversion);
    // Wide characters need the locale; what a null text renders as is the
    // C library's to say.
    const bool is_text = text != nullptr;
    const bool is_integer = family == Family::unsigned_int ||
                            (family == Family::signed_int && !(conversion == 'c' && wide));
    if (conversion == 'f')
        return put_fixed(out, arg.value.doubleval, resolve(arg, parsed));
    if (!is_text && !is_integer)
        return needs_snprintf;
    const Field field = resolve(arg, parsed);
    const INTL_INT len = is_text              ? put_text(out, text, field)
                         : conversion == 'c'  ? put_char(out, arg, field)
                         : parsed.length == 0 ? put_bare_integer(out, arg, parsed)
                                              : put_integer(out, arg, parsed, field);
    if (len < 0)
        return len;
    out.advance(static_cast<std::size_t>(len));
    return 0;
}

} // namespace intl::message
