// Section names of the localization file reader: intl_nextsection.
#include "locfile/locfile.h"

#include <algorithm>

namespace {

// Longest part of a heading, after its opening character, that is searched
// for the closing character: a name keeps one byte for its terminator.
constexpr std::size_t heading_reach = sizeof(INTL_LOCFILE::section) - 1;

// Takes the section name out of the heading in line: the text after the
// opening character up to the first closing character among the next 63.
INTL_INT intl__plucksect(INTL_LOCFILE &lf) {
    const char *after_open = lf.line + 1;
    const std::size_t copied =
        intl::bounded_length(after_open, std::min(heading_reach, sizeof lf.line - 1));
    std::memcpy(lf.section, after_open, copied);
    const void *close = std::memchr(lf.section, lf.rightsection, copied);
    if (close == nullptr) {
        lf.section[copied] = '\0';
        return INTL_E_HEADING;
    }
    lf.section[static_cast<const char *>(close) - lf.section] = '\0';
    return INTL_OK;
}

// Reads past the rest of the current section; false with a negative status
// when one of its entry lines is faulty.
bool skip_section(INTL_LOCFILE &lf, INTL_INT *status) {
    while (intl_nextentry(&lf, status) != nullptr) {
    }
    return *status >= 0;
}

} // namespace

extern "C" {

char *intl_nextsection(INTL_LOCFILE *locfile, INTL_INT *eof) {
    if (!intl::loc::start_scan(locfile, eof))
        return nullptr;
    locfile->isquoted = 0;
    if (!locfile->end_of_section && !skip_section(*locfile, eof))
        return nullptr;
    if (locfile->eof) {
        *eof = 1;
        return nullptr;
    }
    const INTL_INT plucked = intl__plucksect(*locfile);
    if (plucked != INTL_OK) {
        *eof = plucked;
        return nullptr;
    }
    locfile->end_of_section = 0;
    *eof = 0;
    return locfile->section;
}
}
