// Diagnostics: collecting and printing the problems of one file.
#include "diagnostics.h"

#include <algorithm>
#include <climits>

namespace tool {

void Diagnostics::error(int line, const std::string &message) {
    if (full() || (line > 0 && line <= floor_))
        return;
    for (const Diagnostic &d : found_)
        if (d.severity == Severity::error && d.line == line && line > 0)
            return;
    found_.push_back({line, Severity::error, message});
    ++errors_;
}

void Diagnostics::warning(int line, const std::string &message) {
    if (line <= 0 || line > floor_)
        found_.push_back({line, Severity::warning, message});
}

void Diagnostics::note(int line, const std::string &message) {
    if (line <= 0 || line > floor_)
        found_.push_back({line, Severity::note, message});
}

void Diagnostics::print(std::ostream &out, const std::string &file) const {
    std::vector<Diagnostic> sorted = found_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Diagnostic &a, const Diagnostic &b) {
        return (a.line == 0 ? INT_MAX : a.line) < (b.line == 0 ? INT_MAX : b.line);
    });
    for (const Diagnostic &d : sorted) {
        out << file;
        if (d.line > 0)
            out << ':' << d.line;
        out << ": "
            << (d.severity == Severity::warning ? "warning: "
                : d.severity == Severity::note  ? "note: "
                                                : "")
            << d.message << '\n';
    }
    if (full())
        out << file << ": too many errors; stopped after " << max_errors << '\n';
}

} // namespace tool
