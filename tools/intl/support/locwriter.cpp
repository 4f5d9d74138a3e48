// written_value and file_format_section: values and headers that the
// library's reader reads back byte for byte.
#include "locwriter.h"

#include <cstdio>
#include <vector>

namespace tool {

namespace {

// The reader's line holds 510 characters before its newline; a value is
// continued well before that, so that its name and a trailing escape fit.
constexpr std::size_t longest_line = 500;

bool is_control(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// True when the reader would deliver these bytes unchanged without quotes:
// nothing it strips, splits at, ends at, unescapes or reads as hexadecimal.
bool reads_back_bare(std::string_view value, const Syntax &syntax) {
    if (value.empty() || is_blank(value.front()) || is_blank(value.back()) ||
        value.find("0x") != std::string_view::npos)
        return false;
    for (const char c : value)
        if (is_control(static_cast<unsigned char>(c)) || c == '"' || c == '\'' ||
            c == syntax.separator || c == syntax.comment || c == syntax.escape)
            return false;
    return true;
}

// One indivisible piece of a written value, and whether it stands inside
// a quoted stretch (only there may a line be continued before it).
struct Unit {
    std::string text;
    bool quoted;
};

std::string hex_byte(unsigned char byte) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    return pair;
}

// The value as quoted stretches and hexadecimal runs; a character of a
// multi-byte encoding stays in one unit, so no line ends inside it.
std::vector<Unit> quoted_units(std::string_view value, const Syntax &syntax) {
    std::vector<Unit> units;
    bool open = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (is_control(byte)) {
            if (open || units.empty() || !units.back().text.starts_with("0x"))
                units.push_back({open ? "\"0x" : "0x", false});
            open = false;
            units.back().text += hex_byte(byte);
            continue;
        }
        std::string text = open ? "" : "\"";
        open = true;
        const char c = value[i];
        if (c == '"')
            text += "\"\"";
        else if (c == syntax.escape && c != '\'')
            text += {syntax.escape, c};
        else
            text += c;
        while (i + 1 < value.size() && (static_cast<unsigned char>(value[i + 1]) & 0xC0) == 0x80)
            text += value[++i];
        units.push_back({text, true});
    }
    if (open || units.empty())
        units.push_back({units.empty() ? "\"\"" : "\"", false});
    return units;
}

} // namespace

std::string written_value(std::string_view value, const Syntax &syntax, std::size_t column) {
    if (column + value.size() <= longest_line && reads_back_bare(value, syntax))
        return std::string{value};
    std::string text;
    std::size_t line = column;
    // A quote character as the escape would close the stretch instead.
    const bool can_continue = syntax.escape != '"' && syntax.escape != '\'';
    for (const Unit &unit : quoted_units(value, syntax)) {
        // The continuation's next line must not look like a heading.
        if (unit.quoted && line + unit.text.size() > longest_line && can_continue &&
            unit.text[0] != syntax.left && unit.text[0] != '"') {
            text += {syntax.escape, '\n'};
            line = 0;
        }
        text += unit.text;
        line += unit.text.size();
    }
    return text;
}

std::string file_format_section(const Syntax &syntax) {
    return std::string{syntax.left} + "file format" + syntax.right +
           "\nlist_separator = " + syntax.separator + "\nescape = " + syntax.escape + "\n";
}

} // namespace tool
