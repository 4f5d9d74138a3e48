// Internal header of the localization file reader: the few rules that every
// scanner of the reader shares.
#ifndef INTL_LOCFILE_LOCFILE_H
#define INTL_LOCFILE_LOCFILE_H

#include "frame/frame.h"

namespace intl::loc {

// Starts a scanning call: false when the caller gets null at once (no status
// variable, or no record, reported as -13); otherwise the status is 0.
inline bool start_scan(const INTL_LOCFILE *locfile, INTL_INT *status) {
    if (status == nullptr)
        return false;
    *status = 0;
    if (locfile == nullptr) {
        *status = INTL_E_BADLOCFILE;
        return false;
    }
    return true;
}

// Every position from linelen on reads as the newline, so that no scan steps
// past the current line whatever the file made its syntax characters.
inline bool at_line_end(const INTL_LOCFILE &lf, INTL_INT pos) {
    return pos >= lf.linelen;
}

// The character at pos, or the newline at or past the end of the line.
inline char char_at(const INTL_LOCFILE &lf, INTL_INT pos) {
    return at_line_end(lf, pos) ? '\n' : lf.line[pos];
}

// Reads the next line; false with the status that intl_nextline left.
inline bool next_line(INTL_LOCFILE &lf, INTL_INT *status) {
    return intl_nextline(&lf, status) != nullptr;
}

// Index of the last character of line[from, to) that is not white space, or
// -1 when there is none.
inline INTL_INT last_visible(const char *line, INTL_INT from, INTL_INT to) {
    for (INTL_INT i = to - 1; i >= from; --i)
        if (!intl::is_space(line[i]))
            return i;
    return -1;
}

// The text of a zero-terminated fixed field.
template <std::size_t N> std::string_view field_text(const char (&field)[N]) {
    return {field, bounded_length(field, N)};
}

// True when the current entry is called name.
// Asked for every value, so a differing first character settles it at once.
inline bool entry_is(const INTL_LOCFILE &lf, std::string_view name) {
    return lf.entry[0] == name.front() && field_text(lf.entry) == name;
}

} // namespace intl::loc

#endif
