// Internal header of the message builder: the caller's output buffer, and
// the conversions that the formatter writes into it without the C library.
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

// What render_direct returns for a conversion it leaves to snprintf.
constexpr INTL_INT needs_snprintf = 1;

// Renders a record that read_cvtspec accepted, when it is an integer, a
// narrow character or a non-null narrow text, exactly as snprintf would;
// 0, INTL_E_OVERFLOW, or needs_snprintf for every other conversion.
INTL_INT render_direct(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed);

} // namespace intl::message

#endif
