// intl check FILE...: reads every section, entry and value of localization
// files and reports what the reader refuses, and what it would silently
// drop or misread.
#include "locfile.h"
#include "tool.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>

namespace tool {

namespace {

constexpr std::size_t max_errors = 100;

struct Finding {
    int line;
    bool warning;
    std::string message;
};

struct CheckOptions {
    std::vector<std::string> files;
};

void read_values(LocFile &file) {
    while (file.next_value()) {
    }
}

// Reads the entries of the current section; errors are noted and reading
// goes on with the next entry, which the reader reaches on its own.
void walk_entries(LocFile &file, std::vector<Finding> &findings) {
    for (;;) {
        try {
            if (!file.next_entry())
                return;
            read_values(file);
        } catch (const ReadError &e) {
            findings.push_back({e.line, false, e.what()});
            if (findings.size() >= max_errors)
                return;
        }
    }
}

void walk_sections(LocFile &file, std::vector<Finding> &findings) {
    while (findings.size() < max_errors) {
        try {
            if (!file.next_section())
                return;
        } catch (const ReadError &e) {
            findings.push_back({e.line, false, e.what()});
            // A faulty heading stays where it is: nothing after it can be read.
            if (e.code == INTL_E_HEADING)
                return;
            continue;
        }
        walk_entries(file, findings);
    }
}

// What the reader passes over without a word: a last line without a
// newline, and an escape character before the carriage return of a CRLF
// line, which does not continue the line.
void scan_raw_lines(const std::string &path, char escape, std::vector<Finding> &findings) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    int line = 0;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        ++line;
        if (end - start >= 2 && text[end - 1] == '\r' && text[end - 2] == escape)
            findings.push_back({line, true,
                                "escape character before a carriage return: the line is not "
                                "continued (CRLF line end)"});
    }
    if (start < text.size())
        findings.push_back({line + 1, true, "last line has no newline: the reader never reads it"});
}

// The comment character is the file's first character that is not white
// space; a file that begins with its heading turns the bracket into the
// comment character, and every "[...]" heading into a comment.
void check_comment_character(const LocFile &file, std::vector<Finding> &findings) {
    if (file.comment_char() == '[')
        findings.push_back({1, true,
                            "the file begins with a heading, so '[' is its comment character: "
                            "begin it with a comment line"});
}

bool check_file(const std::string &path) {
    std::vector<Finding> findings;
    char escape = '\\';
    try {
        LocFile file(path);
        escape = file.escape();
        check_comment_character(file, findings);
        walk_sections(file, findings);
    } catch (const ReadError &e) {
        findings.push_back({e.line, false, e.what()});
    }
    scan_raw_lines(path, escape, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding &a, const Finding &b) { return a.line < b.line; });
    bool clean = true;
    for (const Finding &f : findings) {
        std::cout << path;
        if (f.line > 0)
            std::cout << ':' << f.line;
        std::cout << ": " << (f.warning ? "warning: " : "") << f.message << '\n';
        clean = clean && f.warning;
    }
    return clean;
}

int run_check(const CheckOptions &options) {
    bool clean = true;
    for (const std::string &path : options.files)
        clean = check_file(path) && clean;
    std::cout.flush();
    return clean ? exit_ok : exit_failure;
}

} // namespace

Command add_check(CLI::App &app) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App *command =
        app.add_subcommand("check", "Report the errors and silent pitfalls of localization files");
    command->add_option("FILE", options->files, "Localization files")->required();
    return {command, [options] { return run_check(*options); }};
}

} // namespace tool
