// intl check FILE...: reads every section, entry and value of localization
// files and reports what the reader refuses, and what it would silently
// drop or misread.
#include "diagnostics.h"
#include "locfile.h"
#include "tool.h"

#include <array>
#include <cctype>
#include <iostream>
#include <string_view>

namespace tool {

namespace {

struct CheckOptions {
    std::vector<std::string> files;
};

struct EntrySeen {
    std::string name;
    int line;
    std::vector<std::string> values;
    bool complete = false; // every value read without an error
};

// The entries intl_datetime reads; a section holding one is a datetime section.
constexpr std::array<std::string_view, 6> datetime_entries = {
    "months", "shortmonths", "days", "firstday", "dateformat", "timeformat"};

bool is_datetime_entry(const std::string &name) {
    for (const std::string_view known : datetime_entries)
        if (name == known)
            return true;
    return false;
}

// Outside quotes "0x" begins a run of hexadecimal pairs; when no digit
// follows, the reader drops the "0x" without a word and reads the rest as
// text, so "0xZZ" becomes "ZZ".
void check_hex_looking(std::string_view line, int number, char comment, Diagnostics &found) {
    char quote = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote != 0 || c == '"' || c == '\'') {
            quote = quote == 0 ? c : (c == quote ? 0 : quote);
        } else if (c == comment) {
            return;
        } else if (line.substr(i, 2) == "0x" &&
                   (i + 2 == line.size() ||
                    !std::isxdigit(static_cast<unsigned char>(line[i + 2])))) {
            const std::string_view word = line.substr(i, line.find_first_of(" \t\r,", i) - i);
            found.warning(number, "'" + std::string{word} +
                                      "' is not hexadecimal: the reader drops its 0x and reads the "
                                      "rest as text");
        }
    }
}

// A datetime value intl_datetime refuses: its code and what was wrong.
struct Refusal {
    INTL_INT code;
    std::string detail;
};

std::string in_quotes(std::string_view value) {
    return "'" + std::string{value} + "'";
}

// A list of names as intl_datetime reads it: count names, each with room
// for at most room bytes; the values after them are ignored.
std::optional<Refusal> refuse_names(const std::vector<std::string> &values, std::size_t count,
                                    std::size_t room, INTL_INT too_few) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i == values.size())
            return Refusal{too_few,
                           "found " + std::to_string(i) + ", needs " + std::to_string(count)};
        if (values[i].size() > room)
            return Refusal{INTL_E_VALUELONG, in_quotes(values[i]) + " has " +
                                                 std::to_string(values[i].size()) +
                                                 " bytes, room for " + std::to_string(room)};
    }
    return std::nullopt;
}

// The first three letters, each of m, d and y once.
std::optional<Refusal> refuse_dateformat(std::string_view value) {
    std::string seen;
    for (std::size_t i = 0; i < 3; ++i) {
        const char letter = i < value.size() ? value[i] : '\0';
        if (letter != 'm' && letter != 'd' && letter != 'y')
            return Refusal{INTL_E_DATEORDER, in_quotes(value)};
        if (seen.find(letter) != std::string::npos)
            return Refusal{INTL_E_DUPDATEFMT, in_quotes(value)};
        seen += letter;
    }
    return std::nullopt;
}

// What intl_datetime would refuse in one of its entries.
std::optional<Refusal> refuse_datetime_entry(const EntrySeen &e) {
    if (e.name == "months")
        return refuse_names(e.values, 12, sizeof(INTL_DATEINFO::months[0]) - 1, INTL_E_FEWMONTHS);
    if (e.name == "shortmonths")
        return refuse_names(e.values, 12, sizeof(INTL_DATEINFO::shortmonths[0]) - 1,
                            INTL_E_FEWSHORTMONTHS);
    if (e.name == "days")
        return refuse_names(e.values, 7, sizeof(INTL_DATEINFO::days[0]) - 1, INTL_E_FEWDAYS);
    if (e.values.empty())
        return Refusal{INTL_E_NOVALUE, "the entry has no value"};
    const std::string &value = e.values.front();
    if (e.name == "firstday" && (value.empty() || value[0] < '1' || value[0] > '7'))
        return Refusal{INTL_E_FIRSTDAY, in_quotes(value) + ": 1 to 7"};
    if (e.name == "dateformat")
        return refuse_dateformat(value);
    if (e.name == "timeformat" && value != "12" && value != "24")
        return Refusal{INTL_E_TIMEFORMAT, in_quotes(value) + ": 12 or 24"};
    return std::nullopt;
}

// What intl_datetime would refuse or pass over in a section that is one of
// its own, up to where it stops reading.
void check_datetime_section(const std::vector<EntrySeen> &entries, Diagnostics &found) {
    bool is_datetime = false;
    for (const EntrySeen &e : entries)
        is_datetime = is_datetime || is_datetime_entry(e.name);
    if (!is_datetime)
        return;
    int first_dateformat = 0;
    for (const EntrySeen &e : entries) {
        if (!is_datetime_entry(e.name)) {
            found.warning(e.line, "intl_datetime ignores the entry '" + e.name + "'");
            continue;
        }
        if (e.name == "dateformat" && first_dateformat != 0) {
            found.warning(e.line, "a second dateformat (the first on line " +
                                      std::to_string(first_dateformat) +
                                      "): intl_datetime stops there and never reads the rest "
                                      "of the section");
            return;
        }
        if (e.name == "dateformat")
            first_dateformat = e.line;
        if (!e.complete)
            continue;
        if (const std::optional<Refusal> refusal = refuse_datetime_entry(e))
            found.error(e.line,
                        std::string{intl_errstr(refusal->code)} + " (" + refusal->detail + ")");
    }
}

// Reads the entries of the current section; errors are noted and reading
// goes on with the next entry, which the reader reaches on its own.
void walk_entries(LocFile &file, Diagnostics &found) {
    std::vector<EntrySeen> entries;
    while (!found.full()) {
        try {
            const std::optional<std::string> entry = file.next_entry();
            if (!entry)
                break;
            entries.push_back({*entry, file.line(), {}});
            entries.back().values = file.rest_of_values();
            entries.back().complete = true;
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
        }
    }
    check_datetime_section(entries, found);
}

// Walks every section; returns the line of a heading the reader refused,
// which stops it for good, or 0 when it read to the end.
int walk_sections(LocFile &file, Diagnostics &found) {
    while (!found.full()) {
        try {
            if (!file.next_section())
                return 0;
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
            if (e.code == INTL_E_HEADING)
                return e.line;
            continue;
        }
        walk_entries(file, found);
    }
    return 0;
}

// The text with line number (from 1) replaced.
std::string with_line(const std::string &text, int number, const std::string &replacement) {
    std::size_t start = 0;
    for (int i = 1; i < number; ++i)
        start = text.find('\n', start) + 1;
    const std::size_t end = text.find('\n', start);
    return std::string{text}.replace(start, end - start, replacement);
}

// The comment character is the file's first character that is not white
// space; a file that begins with its heading turns the bracket into the
// comment character, and every "[...]" heading into a comment.
void check_comment_character(const LocFile &file, Diagnostics &found) {
    if (file.comment_char() == '[')
        found.warning(1, "the file begins with a heading, so '[' is its comment character: "
                         "begin it with a comment line");
}

// Reads the file through the library's reader, reporting what it refuses.
// A heading it refuses stays where it is and stops the reader, so reading
// goes on in a copy whose refused heading is empty, reporting only what
// lies after it.
Syntax read_through(const Input &input, Diagnostics &found) {
    Syntax syntax;
    std::optional<Input> patched;
    for (int stopped = 0;;) {
        const Input &text = patched ? *patched : input;
        {
            LocFile file(text);
            syntax = file.syntax();
            if (stopped == 0)
                check_comment_character(file, found);
            found.only_after(stopped);
            stopped = walk_sections(file, found);
        }
        if (stopped == 0 || found.full())
            break;
        std::string next = with_line(text.text(), stopped, {syntax.left, syntax.right});
        patched.emplace(input.name(), next);
    }
    found.only_after(0);
    return syntax;
}

// Follows the quoting of entry values line by line, as the reader does, to
// find a quote still open where a value ends: the reader closes it there
// without a word, and the separators and comments after it became text.
class QuoteScan {
  public:
    explicit QuoteScan(const Syntax &syntax) : syntax_(syntax) {}

    void line(std::string_view text, int number, Diagnostics &found) {
        std::size_t at = 0;
        if (continued_ && text.starts_with(syntax_.left)) {
            // A continuation that runs into a heading ends the value there.
            continued_ = false;
            open_ = 0;
        }
        if (!continued_) {
            const std::size_t first = text.find_first_not_of(" \t\r\f\v");
            if (first == std::string_view::npos || text[first] == syntax_.comment ||
                text.front() == syntax_.left || text.find('=') == std::string_view::npos)
                return;
            at = text.find('=') + 1;
            value_start_ = true;
        }
        continued_ = false;
        for (; at < text.size(); ++at) {
            const char c = text[at];
            if (c == syntax_.escape) {
                if (at + 1 == text.size()) {
                    continued_ = true;
                    return;
                }
                // Before a value's first character the escape character
                // is dropped, and the next one read by the usual rules.
                at += value_start_ ? 0 : 1;
            } else if (open_ != 0) {
                const bool doubled = at + 1 < text.size() && text[at + 1] == open_;
                if (c == open_ && doubled)
                    ++at;
                else if (c == open_)
                    open_ = 0;
            } else if (c == '"' || c == '\'') {
                open_ = c;
                opened_on_ = number;
            } else if (c == syntax_.comment) {
                break;
            } else if (c == syntax_.separator) {
                value_start_ = true;
                continue;
            }
            value_start_ = value_start_ && (c == ' ' || c == '\t' || c == syntax_.escape);
        }
        if (open_ != 0)
            found.warning(
                opened_on_,
                std::string{"the quote "} + open_ +
                    " is not closed: the value runs to the end of " +
                    (opened_on_ == number ? "the line" : "line " + std::to_string(number)) +
                    ", separators and comments included");
        open_ = 0;
    }

  private:
    const Syntax &syntax_;
    bool continued_ = false;   // the previous line ended in a continuation
    bool value_start_ = false; // nothing of the value read yet
    char open_ = 0;            // the quote of an open stretch
    int opened_on_ = 0;
};

// What the reader passes over without a word: a last line without a
// newline, an escape character before the carriage return of a CRLF line,
// which does not continue the line, "0x" without hexadecimal digits and a
// quote left open; and each line it cannot take, which it may never reach.
void scan_raw_lines(const std::string &text, const Syntax &syntax, Diagnostics &found) {
    QuoteScan quotes(syntax);
    int line = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        ++line;
        const std::string_view content = std::string_view{text}.substr(start, end - start);
        if (const std::optional<std::string> why = unreadable_line(content)) {
            found.error(line, *why);
            continue;
        }
        check_hex_looking(content, line, syntax.comment, found);
        quotes.line(content, line, found);
        if (content.size() >= 2 && content.ends_with('\r') &&
            content[content.size() - 2] == syntax.escape)
            found.warning(line, "escape character before a carriage return: the line is not "
                                "continued (CRLF line end)");
    }
    if (start < text.size())
        found.warning(line + 1, "last line has no newline: the reader never reads it");
}

constexpr std::string_view utf8_byte_order_mark = "\xEF\xBB\xBF";

bool check_file(const std::string &name) {
    Diagnostics found;
    try {
        const Input input(name);
        if (input.text().starts_with(utf8_byte_order_mark))
            found.note(1, "the file begins with a UTF-8 byte-order mark, which the reader "
                          "passes over");
        Syntax syntax;
        try {
            syntax = read_through(input, found);
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
        }
        scan_raw_lines(input.text(), syntax, found);
        found.print(std::cout, input.name());
    } catch (const ReadError &e) {
        std::cout << e.what() << '\n';
        return false;
    }
    return !found.has_errors();
}

int run_check(const CheckOptions &options) {
    bool clean = true;
    for (const std::string &name : options.files)
        clean = check_file(name) && clean;
    return clean ? exit_ok : exit_failure;
}

} // namespace

Command add_check(CLI::App &app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App *command =
        app.add_subcommand("check", "Report the errors and silent pitfalls of localization files");
    command->add_option("FILE", options->files, "Localization files; - is standard input")
        ->required();
    return {command, [options] { return run_check(*options); }};
}

} // namespace tool
