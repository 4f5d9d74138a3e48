// A localization file read through the library's reader, with C++ results:
// names and values as std::string, end of a level as std::nullopt, and
// errors as ReadError, which names the file and its physical line.
#ifndef INTL_TOOL_LOCFILE_H
#define INTL_TOOL_LOCFILE_H

#include "tool.h"

#include <intl.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tool {

// An error of a localization file, printed as "FILE:LINE: message".
struct ReadError : FileError {
    ReadError(const std::string &file, int code, int line, const std::string &message);
    int code;
    int line;
    std::string message; // without the place
};

// A file named on the command line, read whole: "-" is standard input,
// kept in a temporary file for the library's reader while this lives.
class Input {
  public:
    // Throws ReadError for a file that cannot be read or is a directory.
    explicit Input(const std::string &name);
    // Text to read in place of a file, under the file's name.
    Input(const std::string &name, const std::string &text);
    ~Input();
    Input(const Input &) = delete;
    Input &operator=(const Input &) = delete;

    const std::string &name() const { return name_; }
    const std::string &path() const { return path_; }
    const std::string &text() const { return text_; }

  private:
    std::string name_; // as the user named it, or "(standard input)"
    std::string path_; // what the library opens
    std::string text_;
    bool temporary_ = false;
};

// The syntax characters a file declares (its first character, its first
// heading and its file-format section), with the reader's defaults.
struct Syntax {
    char comment = ';';
    char left = '[';
    char right = ']';
    char separator = ',';
    char escape = '\\';
};

class LocFile {
  public:
    // Opens the file; a failure to open or a bad file-format section throws.
    explicit LocFile(const Input &input);
    ~LocFile();
    LocFile(const LocFile &) = delete;
    LocFile &operator=(const LocFile &) = delete;

    std::optional<std::string> next_section();
    std::optional<std::string> next_entry();
    // The value's exact bytes, pieces of a long value joined; a zero byte
    // written in hexadecimal is kept.
    std::optional<std::string> next_value();
    // Every remaining value of the current entry.
    std::vector<std::string> rest_of_values();
    // Moves to the section of that name; false when the file has none.
    bool find_section(const std::string &name);

    // The physical line of the file the reader is on.
    int line() const;
    int version() const { return intl_getversion(record_.get()); }
    char escape() const { return record_->escape; }
    char comment_char() const { return record_->comment_char; }
    char list_separator() const { return record_->list_sep; }
    char left_bracket() const { return record_->leftsection; }
    char right_bracket() const { return record_->rightsection; }
    Syntax syntax() const {
        return {record_->comment_char, record_->leftsection, record_->rightsection,
                record_->list_sep, record_->escape};
    }
    INTL_LOCFILE *record() { return record_.get(); }
    // The error for a status code the reader gave at the current line.
    ReadError error(int code) const;

  private:
    const Input &input_;
    // The reader's line count at the end of each physical line: a line
    // longer than the reader's buffer is read as several.
    std::vector<int> reader_lines_;
    std::unique_ptr<INTL_LOCFILE> record_;
};

// Why the reader cannot take a physical line (without its newline), or
// nothing when it can: too long for its buffer, or holding a zero byte.
std::optional<std::string> unreadable_line(std::string_view line);

} // namespace tool

#endif
