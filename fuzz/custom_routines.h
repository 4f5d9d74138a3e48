// The custom conversion routines that the message fuzz targets install: echo
// keeps the contract (its sizing and writing calls agree), fail and empty
// test the builder's side of it.
#ifndef INTL_FUZZ_CUSTOM_ROUTINES_H
#define INTL_FUZZ_CUSTOM_ROUTINES_H

#include <intl.h>

#include <cstddef>
#include <cstring>

namespace fuzz {

// What fail's writing call returns.
constexpr INTL_INT custom_failure = -5;

// An entry whose name is empty or starts with "p" or "P" takes a text
// pointer; any other points at the record's value union.
inline bool takes_text(const char *fmt) {
    return fmt[0] == '\0' || fmt[0] == 'p' || fmt[0] == 'P';
}

// Writes the text (at most 64 bytes of it), or as many filler bytes as the
// value's first byte says, below 50.
inline INTL_INT echo(const char *fmt, void *value, char *out) {
    const bool text = takes_text(fmt);
    std::size_t len;
    if (text)
        len = value == nullptr ? 0 : strnlen(static_cast<const char *>(value), 64);
    else
        len = *static_cast<const unsigned char *>(value) % 50;
    if (out != nullptr) {
        if (text && len > 0)
            std::memcpy(out, value, len);
        else
            std::memset(out, '#', len);
        out[len] = '\0';
    }
    return static_cast<INTL_INT>(len);
}

// Announces one byte, then fails.
inline INTL_INT fail(const char *, void *, char *out) {
    return out == nullptr ? 1 : custom_failure;
}

// Writes the empty text.
inline INTL_INT empty(const char *, void *, char *out) {
    if (out != nullptr)
        out[0] = '\0';
    return 0;
}

} // namespace fuzz

#endif
