// The line scanner of the localization file reader: intl_nextline and
// intl_linenum.
#include "locfile/locfile.h"

namespace {

constexpr INTL_INT line_size = sizeof(INTL_LOCFILE::line);

// True when the text read into line is a whole line: not empty, without a
// zero byte, ended by its newline. The length is stored in linelen either way.
bool measure_line(INTL_LOCFILE &lf) {
    const auto length = static_cast<INTL_INT>(intl::bounded_length(lf.line, line_size));
    lf.linelen = length - 1;
    return length > 0 && lf.line[length - 1] == '\n';
}

} // namespace

extern "C" {

char *intl_nextline(INTL_LOCFILE *locfile, INTL_INT *end_of_section) {
    if (!intl::loc::start_scan(locfile, end_of_section))
        return nullptr;
    // A heading stops all line reading until the caller moves to the next
    // section; the end of the file stops it for good.
    if (locfile->eof || locfile->end_of_section) {
        *end_of_section = 1;
        return nullptr;
    }
    auto *stream = static_cast<INTL_IOCS *>(locfile->file);
    if (intl_iocsfgets(locfile->line, line_size, stream) == nullptr) {
        locfile->eof = 1;
        *end_of_section = 1;
        return nullptr;
    }
    ++locfile->linenum;
    locfile->linepos = 0;
    if (!measure_line(*locfile)) {
        *end_of_section = INTL_E_LINELONG;
        return nullptr;
    }
    // While a file is being opened leftsection is still zero, and a whole
    // line never starts with a zero byte.
    if (locfile->line[0] == locfile->leftsection) {
        locfile->end_of_section = 1;
        *end_of_section = 1;
        return nullptr;
    }
    return locfile->line;
}

INTL_INT intl_linenum(const INTL_LOCFILE *locfile) {
    return locfile == nullptr ? INTL_E_BADLOCFILE : locfile->linenum;
}
}
