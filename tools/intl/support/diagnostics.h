// Diagnostics: the errors and warnings found in one file, at most one
// error per line, printed as "FILE:LINE: message" in line order.
#ifndef INTL_TOOL_DIAGNOSTICS_H
#define INTL_TOOL_DIAGNOSTICS_H

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace tool {

// What a diagnostic says: an error the library would refuse, a warning of
// text it would silently drop or misread, a note of what it did on its own.
enum class Severity { error, warning, note };

// A problem at a line (0: the file as a whole).
struct Diagnostic {
    int line;
    Severity severity;
    std::string message;
};

class Diagnostics {
  public:
    static constexpr std::size_t max_errors = 100;

    // Keeps the first error of each line: once a line confused the reader,
    // what it says next about that line is noise.
    void error(int line, const std::string &message);
    void warning(int line, const std::string &message);
    void note(int line, const std::string &message);
    // From now on drops what is found at or before line: a second reading of
    // a file reports only what the first could not reach.
    void only_after(int line) { floor_ = line; }
    // True once max_errors were kept: the caller stops reading.
    bool full() const { return errors_ >= max_errors; }
    bool has_errors() const { return errors_ > 0; }
    // Prints every problem, file-wide ones last, and a note if reading stopped.
    void print(std::ostream &out, const std::string &file) const;

  private:
    std::vector<Diagnostic> found_;
    std::size_t errors_ = 0;
    int floor_ = 0;
};

} // namespace tool

#endif
