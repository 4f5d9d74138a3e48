// A localization file read through the library's reader, with C++ results:
// names and values as std::string, end of a level as std::nullopt, and
// errors as ReadError carrying the status code and the line.
#ifndef INTL_TOOL_LOCFILE_H
#define INTL_TOOL_LOCFILE_H

#include <intl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tool {

struct ReadError : std::runtime_error {
    ReadError(int code, int line);
    ReadError(int code, int line, const std::string &message);
    int code;
    int line;
};

class LocFile {
  public:
    // Opens the file; a failure to open or a bad file-format section throws.
    explicit LocFile(const std::string &path);
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

    int line() const { return intl_linenum(record_.get()); }
    int version() const { return intl_getversion(record_.get()); }
    char escape() const { return record_->escape; }
    INTL_LOCFILE *record() { return record_.get(); }
    char comment_char() const { return record_->comment_char; }

  private:
    std::unique_ptr<INTL_LOCFILE> record_;
};

} // namespace tool

#endif
