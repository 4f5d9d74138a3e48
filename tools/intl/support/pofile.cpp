// read_po and po_string: the PO syntax of messages, flags and strings.
#include "pofile.h"

#include "tool.h"

#include <cstdio>
#include <optional>

namespace tool {

namespace {

// Which string of a message a line of text continues.
enum class Field { none, context, id, plural, translation, other_translation };

struct Keyword {
    std::string_view word;
    Field field;
};

constexpr Keyword keywords[] = {{"msgctxt", Field::context},
                                {"msgid_plural", Field::plural},
                                {"msgid", Field::id},
                                {"msgstr", Field::translation}};

class PoReader {
  public:
    PoReader(const std::string &name) : name_(name) {}
    void line(std::string_view text, int number);
    std::vector<PoMessage> finish();

  private:
    [[noreturn]] void fail(const std::string &message) const {
        throw FileError(name_, number_, message);
    }
    void keyword(std::string_view text);
    void comment(std::string_view text);
    std::string string_at(std::string_view text) const;
    void take(Field field, std::string_view rest);
    void end_message();

    const std::string &name_;
    int number_ = 0;
    std::vector<PoMessage> messages_;
    PoMessage current_;
    Field last_ = Field::none;
    bool seen_id_ = false;
    bool seen_translation_ = false;
    bool obsolete_ = false;
};

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

int digit_value(char c, int base) {
    const int value = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : 99;
    return value < base ? value : -1;
}

// The C escape after a backslash at text[at]; moves at past it.
std::optional<char> unescaped(std::string_view text, std::size_t &at) {
    static constexpr std::string_view plain = "n\nt\tr\ra\ab\bf\fv\v\\\\\"\"''??";
    const char c = text[at++];
    for (std::size_t i = 0; i < plain.size(); i += 2)
        if (plain[i] == c)
            return plain[i + 1];
    const int base = c == 'x' ? 16 : 8;
    std::size_t digits = 0;
    int value = 0;
    if (base == 8)
        --at;
    for (int d;
         at < text.size() && (base == 16 || digits < 3) && (d = digit_value(text[at], base)) >= 0;
         ++at, ++digits)
        value = value * base + d;
    if (digits == 0 || value > 0xFF)
        return std::nullopt;
    return static_cast<char>(value);
}

} // namespace

std::string PoReader::string_at(std::string_view text) const {
    text = trimmed(text);
    if (text.size() < 2 || text.front() != '"' || text.back() != '"')
        fail("a string in double quotes was expected");
    std::string out;
    for (std::size_t at = 1; at + 1 < text.size();) {
        const char c = text[at++];
        if (c == '"')
            fail("a double quote inside a string must be written \\\"");
        if (c != '\\') {
            out += c;
            continue;
        }
        const std::optional<char> byte = at + 1 < text.size() ? unescaped(text, at) : std::nullopt;
        if (!byte)
            fail("invalid escape sequence in a string");
        if (*byte == '\0')
            fail("a zero byte has no place in a message");
        out += *byte;
    }
    return out;
}

void PoReader::end_message() {
    if (seen_id_ && !seen_translation_)
        fail("the message before this line has no msgstr");
    if (seen_id_ && !obsolete_ && (current_.has_context || !current_.id.empty()))
        messages_.push_back(current_);
    current_ = {};
    last_ = Field::none;
    seen_id_ = seen_translation_ = obsolete_ = false;
}

void PoReader::take(Field field, std::string_view rest) {
    const std::string text = string_at(rest);
    switch (field) {
    case Field::context:
        current_.has_context = true;
        current_.context += text;
        break;
    case Field::id:
        current_.id += text;
        break;
    case Field::plural:
        current_.plural = true;
        break;
    case Field::translation:
        current_.translation += text;
        break;
    default:
        break;
    }
}

void PoReader::keyword(std::string_view text) {
    for (const Keyword &k : keywords) {
        if (!text.starts_with(k.word))
            continue;
        std::string_view rest = text.substr(k.word.size());
        Field field = k.field;
        if (field == Field::translation && rest.starts_with("[")) {
            const std::size_t close = rest.find(']');
            if (close == std::string_view::npos)
                fail("msgstr[ without its closing bracket");
            field =
                rest.substr(0, close + 1) == "[0]" ? Field::translation : Field::other_translation;
            rest = rest.substr(close + 1);
        }
        if (!rest.empty() && rest[0] != ' ' && rest[0] != '\t')
            continue;
        const bool starts_message = field == Field::context || field == Field::id;
        if (starts_message && (seen_translation_ || (field == Field::context && seen_id_)))
            end_message();
        if (field == Field::id) {
            seen_id_ = true;
            current_.line = number_;
        }
        if (field == Field::translation || field == Field::other_translation) {
            if (!seen_id_)
                fail("msgstr without a msgid before it");
            seen_translation_ = true;
        }
        take(field, rest);
        last_ = field;
        return;
    }
    fail("not a line of a PO file");
}

void PoReader::comment(std::string_view text) {
    if (seen_translation_)
        end_message();
    if (text.starts_with("#~")) {
        obsolete_ = true;
    } else if (text.starts_with("#,")) {
        for (std::string_view flags = text.substr(2); !flags.empty();) {
            const std::size_t comma = flags.find(',');
            if (trimmed(flags.substr(0, comma)) == "fuzzy")
                current_.fuzzy = true;
            flags = comma == std::string_view::npos ? "" : flags.substr(comma + 1);
        }
    }
}

void PoReader::line(std::string_view text, int number) {
    number_ = number;
    text = trimmed(text);
    if (text.empty())
        return;
    if (text[0] == '#')
        return comment(text);
    if (obsolete_)
        end_message();
    if (text[0] == '"') {
        if (last_ == Field::none)
            fail("a string continues nothing");
        return take(last_, text);
    }
    keyword(text);
}

std::vector<PoMessage> PoReader::finish() {
    end_message();
    return std::move(messages_);
}

std::vector<PoMessage> read_po(const std::string &text, const std::string &name) {
    PoReader reader(name);
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        reader.line(std::string_view{text}.substr(start, end - start), ++number);
        start = end + 1;
    }
    return reader.finish();
}

std::string po_string(const std::string &keyword, const std::string &text) {
    std::vector<std::string> lines{""};
    for (const char c : text) {
        static constexpr std::string_view named = "\nn\tt\rr\aa\bb\ff\vv\\\\\"\"";
        const std::size_t at = named.find(c);
        if (at != std::string_view::npos && at % 2 == 0) {
            lines.back() += {'\\', named[at + 1]};
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char octal[5];
            std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
            lines.back() += octal;
        } else {
            lines.back() += c;
        }
        if (c == '\n')
            lines.emplace_back();
    }
    if (lines.size() > 1 && lines.back().empty())
        lines.pop_back();
    std::string out = keyword + (lines.size() > 1 ? " \"\"\n" : " ");
    for (const std::string &line : lines)
        out += "\"" + line + "\"\n";
    return out;
}

} // namespace tool
