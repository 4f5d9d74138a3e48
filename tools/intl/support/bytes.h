// Byte sequences written the way localization files write them.
#ifndef INTL_TOOL_BYTES_H
#define INTL_TOOL_BYTES_H

#include <string>
#include <string_view>

namespace tool {

// "0x" and two upper-case hexadecimal digits per byte: "0xC3A9".
inline std::string hex_bytes(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

} // namespace tool

#endif
