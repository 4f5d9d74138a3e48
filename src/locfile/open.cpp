// Opening and closing of localization files: intl_open, intl_fopen,
// intl_close and intl_getversion; the file-format section is read here.
#include "locfile/locfile.h"

namespace {

using intl::loc::at_line_end;
using intl::loc::next_line;

constexpr INTL_INT default_version = 420;

// Editors save UTF-8 files with a byte-order mark; its first byte would
// otherwise become the comment character and every real comment an error.
constexpr std::string_view utf8_byte_order_mark = "\xEF\xBB\xBF";

// Starts the scan of the file's first line after a byte-order mark.
void skip_byte_order_mark(INTL_LOCFILE &lf) {
    if (std::string_view{lf.line, std::size_t(lf.linelen)}.starts_with(utf8_byte_order_mark))
        lf.linepos = static_cast<INTL_INT>(utf8_byte_order_mark.size());
}

// Takes the comment character: the first character of the file that is not
// white space. False when the file ends first.
bool find_comment_char(INTL_LOCFILE &lf, INTL_INT *status) {
    for (;;) {
        if (at_line_end(lf, lf.linepos)) {
            if (!next_line(lf, status))
                return false;
        } else if (intl::is_space(lf.line[lf.linepos])) {
            ++lf.linepos;
        } else {
            lf.comment_char = lf.line[lf.linepos];
            return true;
        }
    }
}

// The heading's last visible character: the closing bracket of a CRLF line
// is "]" and not the carriage return. The heading starts in the first
// column, so there is one.
INTL_INT heading_end(const INTL_LOCFILE &lf) {
    return intl::loc::last_visible(lf.line, 0, lf.linelen);
}

// Finds the first heading, passing over comment and blank lines, and takes
// the brackets from it. False when the file ends first or the heading does
// not begin in the first column, as every heading must.
bool find_first_heading(INTL_LOCFILE &lf, INTL_INT *status) {
    for (;;) {
        const char c = intl::loc::char_at(lf, lf.linepos);
        if (at_line_end(lf, lf.linepos) || c == lf.comment_char) {
            if (!next_line(lf, status))
                return false;
        } else if (intl::is_space(c)) {
            ++lf.linepos;
        } else if (lf.linepos != 0) {
            return false;
        } else {
            lf.leftsection = c;
            lf.rightsection = lf.line[heading_end(lf)];
            return true;
        }
    }
}

// The name of the first heading, between its brackets; cut by position, so
// a heading of one character has an empty name.
std::string_view first_section_name(const INTL_LOCFILE &lf) {
    const INTL_INT close = heading_end(lf);
    return close < 1 ? std::string_view{} : std::string_view{lf.line + 1, std::size_t(close - 1)};
}

int digit_value(char c) {
    return c - '0';
}

// Turns a version text, major[.minor[.patch]] with one or two digits of
// major and one of each other number, into 100 * major + 10 * minor + patch.
INTL_INT intl__from_version(const char *vers) {
    if (!intl::is_digit(vers[0]))
        return INTL_E_GENERAL;
    INTL_INT number = digit_value(*vers++) * 100;
    if (intl::is_digit(*vers))
        number = number * 10 + digit_value(*vers++) * 100;
    for (INTL_INT weight : {10, 1}) {
        if (*vers == '\0')
            return number;
        if (vers[0] != '.' || !intl::is_digit(vers[1]))
            return INTL_E_BADVERSION;
        number += digit_value(vers[1]) * weight;
        vers += 2;
    }
    return *vers == '\0' ? number : INTL_E_GENERAL;
}

// Applies one entry of the file-format section; entries other than the
// three it knows keep their values for the next entry call to skip.
INTL_INT apply_format_entry(INTL_LOCFILE &lf) {
    const bool is_version = intl::loc::entry_is(lf, "version");
    const bool is_separator = intl::loc::entry_is(lf, "list_separator");
    if (!is_version && !is_separator && !intl::loc::entry_is(lf, "escape"))
        return INTL_OK;
    INTL_INT status = 0;
    const char *value = intl_nextvalue(&lf, &status);
    if (value == nullptr)
        return INTL_E_NOVALUE;
    if (is_version) {
        lf.version = intl__from_version(value);
        return lf.version < 0 ? lf.version : INTL_OK;
    }
    (is_separator ? lf.list_sep : lf.escape) = value[0];
    return INTL_OK;
}

// Reads the file-format section up to the next heading or the end of file.
INTL_INT read_file_format(INTL_LOCFILE &lf) {
    INTL_INT status = 0;
    while (intl_nextentry(&lf, &status) != nullptr) {
        const INTL_INT applied = apply_format_entry(lf);
        if (applied != INTL_OK)
            return applied;
    }
    return status < 0 ? status : INTL_OK;
}

} // namespace

extern "C" {

INTL_INT intl_open(const char *filename, INTL_LOCFILE *locfile) {
    if (filename == nullptr)
        return INTL_E_NOLOCNAME;
    if (locfile == nullptr)
        return INTL_E_BADLOCFILE;
    INTL_IOCS *stream = intl_iocsfopen(filename, intl::open_read_only);
    if (stream == nullptr) {
        // Nothing to release: a close after this reports it had no stream.
        locfile->file = nullptr;
        return INTL_E_OPEN;
    }
    return intl_fopen(stream, locfile);
}

INTL_INT intl_fopen(INTL_IOCS *file, INTL_LOCFILE *locfile) {
    if (file == nullptr)
        return INTL_E_BADFILE;
    if (locfile == nullptr)
        return INTL_E_BADLOCFILE;
    std::memset(locfile, 0, sizeof *locfile);
    locfile->file = file;
    INTL_INT status = 0;
    if (intl_nextline(locfile, &status) == nullptr)
        return status < 0 ? status : INTL_E_NOCOMMENT;
    skip_byte_order_mark(*locfile);
    if (!find_comment_char(*locfile, &status) || !find_first_heading(*locfile, &status))
        return INTL_E_FILEFORMAT;
    locfile->version = default_version;
    locfile->list_sep = ',';
    locfile->escape = '\\';
    if (first_section_name(*locfile) == "file format") {
        const INTL_INT read = read_file_format(*locfile);
        if (read != INTL_OK)
            return read;
    }
    locfile->end_of_section = 1;
    return INTL_OK;
}

INTL_INT intl_close(INTL_LOCFILE *locfile) {
    if (locfile == nullptr)
        return INTL_E_BADLOCFILE;
    auto *stream = static_cast<INTL_IOCS *>(locfile->file);
    if (stream == nullptr)
        return INTL_E_CLOSE;
    // A second close finds no stream instead of releasing it twice.
    locfile->file = nullptr;
    return intl_iocsfclose(stream) == -1 ? INTL_E_CLOSE : INTL_OK;
}

INTL_INT intl_getversion(const INTL_LOCFILE *locfile) {
    return locfile == nullptr ? INTL_E_GENERAL : locfile->version;
}
}
