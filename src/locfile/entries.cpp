// Entry names of the localization file reader: intl_nextentry.
#include "locfile/locfile.h"

namespace {

using intl::loc::at_line_end;
using intl::loc::char_at;
using intl::loc::next_line;

// Room for the name and its terminator, less one: a 63rd character is refused.
constexpr std::size_t name_limit = sizeof(INTL_LOCFILE::entry) - 2;

// True when the current line's newline is escaped: an odd run of escape
// characters stands just before it, so the next line continues the line.
// An even run is a value ending in escaped escape characters.
bool line_continues(const INTL_LOCFILE &lf) {
    INTL_INT run = 0;
    for (INTL_INT i = lf.linelen - 1; i >= 0 && lf.line[i] == lf.escape; --i)
        ++run;
    return run % 2 == 1;
}

// Passes over the continuation lines of an entry whose values the caller
// left unread, however many lines they run over.
bool skip_unread_continuations(INTL_LOCFILE &lf, INTL_INT *status) {
    while (line_continues(lf))
        if (!next_line(lf, status))
            return false;
    return true;
}

// Moves linepos to the first character of the next entry name, passing over
// blank lines, comment lines and the white space before the name.
bool find_name_start(INTL_LOCFILE &lf, INTL_INT *status) {
    for (;;) {
        const char c = char_at(lf, lf.linepos);
        if (at_line_end(lf, lf.linepos) || c == lf.comment_char) {
            if (!next_line(lf, status))
                return false;
        } else if (intl::is_space(c)) {
            ++lf.linepos;
        } else {
            return true;
        }
    }
}

// True when the newline at linepos follows the escape character, so the name
// goes on with the next line (the escape character stays in the name).
bool name_continues(const INTL_LOCFILE &lf) {
    return lf.linepos > 0 && lf.line[lf.linepos - 1] == lf.escape;
}

// Fails a name: the status is the code, the field holds what was collected.
bool refuse_name(INTL_LOCFILE &lf, std::size_t length, INTL_INT code, INTL_INT *status) {
    lf.entry[length] = '\0';
    *status = code;
    return false;
}

// Collects the part of the name on the current line into entry, from
// linepos up to the equals sign or the end of the line, dropping white space;
// false when the name grows too long.
bool collect_name_part(INTL_LOCFILE &lf, std::size_t &length, INTL_INT *status) {
    const INTL_INT end = lf.linelen;
    INTL_INT pos = lf.linepos;
    for (; pos < end && lf.line[pos] != '='; ++pos) {
        const char c = lf.line[pos];
        if (intl::is_space(c))
            continue;
        if (length == name_limit) {
            lf.linepos = pos;
            return refuse_name(lf, length, INTL_E_ENTRYLONG, status);
        }
        lf.entry[length++] = c;
    }
    lf.linepos = pos;
    return true;
}

// Collects the name up to the equals sign into entry, dropping white space;
// linepos is left on the equals sign.
bool collect_name(INTL_LOCFILE &lf, INTL_INT *status) {
    std::size_t length = 0;
    for (;;) {
        if (!collect_name_part(lf, length, status))
            return false;
        if (!at_line_end(lf, lf.linepos))
            break;
        if (!name_continues(lf))
            return refuse_name(lf, length, INTL_E_NOENTRY, status);
        if (!next_line(lf, status))
            return refuse_name(lf, length, *status, status);
    }
    lf.entry[length] = '\0';
    return true;
}

} // namespace

extern "C" {

char *intl_nextentry(INTL_LOCFILE *locfile, INTL_INT *end_of_section) {
    if (!intl::loc::start_scan(locfile, end_of_section))
        return nullptr;
    locfile->isquoted = 0;
    if (locfile->eof || locfile->end_of_section) {
        *end_of_section = 1;
        return nullptr;
    }
    // Continuation lines belong to the previous entry only while its value
    // list is open; once the value scanner ended it, the next line is new.
    const bool list_ended = locfile->end_of_list != 0;
    locfile->end_of_list = 0;
    if (!list_ended && !skip_unread_continuations(*locfile, end_of_section))
        return nullptr;
    if (!next_line(*locfile, end_of_section) || !find_name_start(*locfile, end_of_section) ||
        !collect_name(*locfile, end_of_section))
        return nullptr;
    ++locfile->linepos;
    return locfile->entry;
}
}
