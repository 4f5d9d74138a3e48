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

// What intl_datetime would pass over in a section that is one of its own.
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
        } else if (e.name == "dateformat" && first_dateformat != 0) {
            found.warning(e.line, "a second dateformat (the first on line " +
                                      std::to_string(first_dateformat) +
                                      "): intl_datetime stops there and never reads the rest "
                                      "of the section");
            return;
        } else if (e.name == "dateformat") {
            first_dateformat = e.line;
        }
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
            entries.push_back({*entry, file.line()});
            while (file.next_value()) {
            }
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
        }
    }
    check_datetime_section(entries, found);
}

void walk_sections(LocFile &file, Diagnostics &found) {
    while (!found.full()) {
        try {
            if (!file.next_section())
                return;
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
            // A faulty heading stays where it is: nothing after it can be read.
            if (e.code == INTL_E_HEADING)
                return;
            continue;
        }
        walk_entries(file, found);
    }
}

// What the reader passes over without a word: a last line without a
// newline, an escape character before the carriage return of a CRLF line,
// which does not continue the line, and "0x" without hexadecimal digits.
void scan_raw_lines(const std::string &text, char escape, char comment, Diagnostics &found) {
    int line = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        ++line;
        check_hex_looking(std::string_view{text}.substr(start, end - start), line, comment, found);
        if (end - start >= 2 && text[end - 1] == '\r' && text[end - 2] == escape)
            found.warning(line, "escape character before a carriage return: the line is not "
                                "continued (CRLF line end)");
    }
    if (start < text.size())
        found.warning(line + 1, "last line has no newline: the reader never reads it");
}

// The comment character is the file's first character that is not white
// space; a file that begins with its heading turns the bracket into the
// comment character, and every "[...]" heading into a comment.
void check_comment_character(const LocFile &file, Diagnostics &found) {
    if (file.comment_char() == '[')
        found.warning(1, "the file begins with a heading, so '[' is its comment character: "
                         "begin it with a comment line");
}

bool check_file(const std::string &name) {
    Diagnostics found;
    try {
        const Input input(name);
        char escape = '\\';
        char comment = ';';
        try {
            LocFile file(input);
            escape = file.escape();
            comment = file.comment_char();
            check_comment_character(file, found);
            walk_sections(file, found);
        } catch (const ReadError &e) {
            found.error(e.line, e.message);
        }
        scan_raw_lines(input.text(), escape, comment, found);
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
