// Internal header of the message builder: the caller's output buffer, a
// field and its padding, and the conversions that the formatter writes into
// it without the C library.
#ifndef INTL_MESSAGE_DIRECT_H
#define INTL_MESSAGE_DIRECT_H

#include "frame/frame.h"
#include "message/specifier.h"

#include <cstdint>

namespace intl::message {

// The caller's buffer: where the next byte goes and how many bytes are left,
// the byte of the message's terminator included.
struct Output {
    char *pos;
    INTL_INT left;

    // A piece of len bytes fits when it still leaves the terminator's byte.
    bool fits(std::size_t len) const { return len <= static_cast<std::size_t>(left - 1); }

    void put(const char *bytes, std::size_t len) {
        std::memcpy(pos, bytes, len);
        advance(len);
    }

    void advance(std::size_t len) {
        pos += len;
        left -= static_cast<INTL_INT>(len);
    }
};

// The integer value of type codes 1 to 6, widened without changing it.
inline std::int64_t integer_of(const INTL_ARGVAL &arg) {
    switch (arg.value_type) {
    case INTL_T_SHORT:
        return arg.value.short_val;
    case INTL_T_USHORT:
        return arg.value.ushort_val;
    case INTL_T_INT:
        return arg.value.int_val;
    case INTL_T_UINT:
        return arg.value.uint_val;
    case INTL_T_LONG:
        return arg.value.long_val;
    default:
        return arg.value.ulong_val;
    }
}

// Flags, width and precision once the star values are in, as C applies
// them: a negative width is the '-' flag, a negative precision none at all.
struct Field {
    unsigned flags = 0;
    std::size_t width = 0;
    std::int64_t precision = -1; // none

    bool has(Flag flag) const { return (flags & flag) != 0; }
};

// A field's content before padding: a sign or base prefix, the zeros that
// a precision asks for, then the digits or the text.
struct Body {
    std::string_view prefix;
    std::size_t zeros = 0;
    std::string_view text;
};

// Writes body padded to the field's width at the output position, padding
// with zeros after the prefix when pad_zeros, and without advancing; the
// length written, or INTL_E_OVERFLOW when it would not fit.
INTL_INT put_field(const Output &out, const Field &field, const Body &body, bool pad_zeros);

// Writes the decimal digits of value before end; the first of them.
char *put_decimal(std::uint64_t value, char *end);

// What render_direct and put_fixed return for a conversion they leave to
// snprintf.
constexpr INTL_INT needs_snprintf = 1;

// Renders a record that the formatter accepted, when C defines its flags
// and size and it is an integer, a narrow character, a non-null narrow text
// or a fixed-point number that put_fixed takes, exactly as snprintf would;
// 0, INTL_E_OVERFLOW, or needs_snprintf for every other conversion.
INTL_INT render_direct(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed);

// Renders an f conversion of a finite value whose scaled digits fit 64 bits,
// under round-to-nearest; 0, INTL_E_OVERFLOW or needs_snprintf.
INTL_INT put_fixed(Output &out, double value, const Field &field);

} // namespace intl::message

#endif
