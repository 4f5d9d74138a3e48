// Values of the localization file reader: intl_nextvalue.
#include "locfile/locfile.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace {

using intl::loc::at_line_end;
using intl::loc::char_at;

// A value longer than this is handed out in pieces.
constexpr std::size_t piece_limit = sizeof(INTL_LOCFILE::value) - 1;

// The value of a hexadecimal digit, or -1.
int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool is_quote(char c) {
    return c == '"' || c == '\'';
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// The state of one intl_nextvalue call. A rule that ends the call returns the
// call's result; std::nullopt means the scan goes on.
struct ValueScan {
    INTL_LOCFILE &lf;
    INTL_INT *status;
    // The entries that state the separator and the escape character deliver
    // them as plain values.
    bool names_separator = intl::loc::entry_is(lf, "list_separator");
    bool names_escape = intl::loc::entry_is(lf, "escape");
    std::size_t written = 0;
    std::size_t significant = 0; // trailing white space after this is cut
    bool quoted = false;
    char quote_char = '\0';
    bool ishex = false;

    char at(INTL_INT ahead = 0) const { return char_at(lf, lf.linepos + ahead); }
    bool at_end(INTL_INT ahead = 0) const { return at_line_end(lf, lf.linepos + ahead); }

    // Appends one byte; a significant byte keeps all white space before it.
    void put(char c, bool is_significant) {
        lf.value[written++] = c;
        if (is_significant)
            significant = written;
    }

    char *deliver(std::size_t length, INTL_INT code = 0) {
        lf.value[length] = '\0';
        *status = code;
        return lf.value;
    }

    char *deliver_alone(char c) {
        lf.value[0] = c;
        return deliver(1);
    }

    // The value ends at its significant text, and so does the entry's list.
    char *end_list() {
        lf.end_of_list = 1;
        return deliver(significant);
    }

    // Hands out the first piece of a long value; the quoting state goes to
    // the record so that the next call resumes inside an open stretch.
    char *cut_piece() {
        lf.isquoted = quoted;
        if (quoted)
            lf.quote_char = quote_char;
        return deliver(written, 1);
    }
};

// Takes over the quoting state that a cut piece left in the record.
void resume_quoting(ValueScan &s) {
    s.quoted = s.lf.isquoted != 0;
    if (s.quoted)
        s.quote_char = s.lf.quote_char;
    s.lf.isquoted = 0;
}

// Moves linepos past the blanks at it, staying inside the line.
void skip_blanks(INTL_LOCFILE &lf) {
    INTL_INT pos = lf.linepos;
    while (pos < lf.linelen && is_blank(lf.line[pos]))
        ++pos;
    lf.linepos = pos;
}

// Before a value, blanks are skipped and the escape character serves only to
// continue the value on the next line.
std::optional<char *> skip_leading(ValueScan &s) {
    for (;;) {
        skip_blanks(s.lf);
        if (s.at_end() || s.at() != s.lf.escape)
            return std::nullopt;
        ++s.lf.linepos;
        if (s.names_escape) {
            // Standing last on its line it is the value, not a continuation.
            if (s.at_end())
                s.lf.end_of_list = 1;
            return s.deliver_alone(s.lf.escape);
        }
        if (s.at_end() && intl_nextline(&s.lf, s.status) == nullptr)
            return nullptr;
    }
}

// A quote opens a stretch, closes it, or (doubled, or the other kind) is text.
void take_quote(ValueScan &s, char c) {
    if (!s.quoted) {
        s.quoted = true;
        s.quote_char = c;
        s.ishex = false;
    } else if (c != s.quote_char) {
        s.put(c, true);
    } else if (s.at(1) == c) {
        s.put(c, true);
        ++s.lf.linepos;
    } else {
        // The closing quote is significant: blanks inside the stretch stay.
        s.quoted = false;
        s.significant = s.written;
    }
    ++s.lf.linepos;
}

std::optional<char *> take_separator(ValueScan &s) {
    const char separator = s.lf.list_sep;
    ++s.lf.linepos;
    return s.names_separator ? s.deliver_alone(separator) : s.deliver(s.significant);
}

// The escape character takes the next character literally, or continues the
// value on the next line; a continuation into a heading or the end of the
// file ends the list.
std::optional<char *> take_escaped(ValueScan &s) {
    if (s.names_escape)
        return s.deliver_alone(s.lf.escape);
    ++s.lf.linepos;
    if (!s.at_end()) {
        s.put(s.at(), true);
        ++s.lf.linepos;
        return std::nullopt;
    }
    if (intl_nextline(&s.lf, s.status) != nullptr)
        return std::nullopt;
    if (*s.status < 0)
        return nullptr;
    return s.end_list();
}

// One byte from a pair of hexadecimal digits; a character that cannot begin
// a pair ends the run and is taken as ordinary text.
std::optional<char *> take_hex_byte(ValueScan &s) {
    const char first = s.at();
    const int high = hex_value(first);
    if (high < 0) {
        s.ishex = false;
        s.put(first, !intl::is_space(first));
        ++s.lf.linepos;
        return std::nullopt;
    }
    const int low = hex_value(s.at(1));
    if (low < 0) {
        // A pair broken by the newline leaves linepos on the newline, so the
        // next call ends the list instead of reading beyond the line.
        s.lf.linepos += s.at_end(1) ? 1 : 2;
        s.deliver(s.written, INTL_E_ODDHEX);
        return nullptr;
    }
    s.put(static_cast<char>(high * 16 + low), true);
    s.lf.linepos += 2;
    return std::nullopt;
}

bool starts_hex_run(const ValueScan &s, char c) {
    return !s.quoted && !s.ishex && c == '0' && s.at(1) == 'x';
}

// The characters that stop a run of plain text, looked up by byte: the rules
// other than the plain-text one apply to quotes and the escape character
// everywhere, and outside quotes to the separator, the comment character and
// a '0' (which may open a hexadecimal run). Bit sets, as a byte table costs
// more to clear on every call than most values take to scan.
class RunStops {
  public:
    explicit RunStops(const INTL_LOCFILE &lf) {
        for (char c : {'"', '\'', lf.escape}) {
            mark(in_quotes_, c);
            mark(outside_, c);
        }
        for (char c : {lf.list_sep, lf.comment_char, '0'})
            mark(outside_, c);
    }

    // End of the run of plain text in line[pos, stop).
    INTL_INT run_end(const char *line, INTL_INT pos, INTL_INT stop, bool quoted) const {
        const Bits &stops = quoted ? in_quotes_ : outside_;
        while (pos < stop && !marked(stops, line[pos]))
            ++pos;
        return pos;
    }

  private:
    using Bits = std::array<std::uint32_t, 8>;

    static void mark(Bits &bits, char c) {
        const auto byte = static_cast<unsigned char>(c);
        bits[byte >> 5] |= std::uint32_t{1} << (byte & 31);
    }

    static bool marked(const Bits &bits, char c) {
        const auto byte = static_cast<unsigned char>(c);
        return ((bits[byte >> 5] >> (byte & 31)) & 1) != 0;
    }

    Bits in_quotes_{};
    Bits outside_{};
};

// Takes the run of plain text at linepos in one pass, up to the end of the
// line or of the piece; the bulk of most values. Only the run's trailing
// white space needs classifying to know where its significant text ends.
void take_plain_run(ValueScan &s, const RunStops &stops) {
    const INTL_INT start = s.lf.linepos;
    const auto room = static_cast<INTL_INT>(piece_limit - s.written);
    const INTL_INT stop = std::min(s.lf.linelen, start + room);
    const INTL_INT pos = stops.run_end(s.lf.line, start, stop, s.quoted);
    if (pos == start)
        return;
    const std::size_t before = s.written;
    std::memcpy(s.lf.value + before, s.lf.line + start, static_cast<std::size_t>(pos - start));
    s.written += static_cast<std::size_t>(pos - start);
    s.lf.linepos = pos;
    if (s.quoted) {
        s.significant = s.written;
        return;
    }
    const INTL_INT visible = intl::loc::last_visible(s.lf.line, start, pos);
    if (visible >= 0)
        s.significant = before + static_cast<std::size_t>(visible - start) + 1;
}

// The main loop: the first rule that matches the character applies.
char *scan_value(ValueScan &s) {
    const RunStops stops(s.lf);
    for (;;) {
        if (!s.ishex)
            take_plain_run(s, stops);
        if (s.written == piece_limit)
            return s.cut_piece();
        const char c = s.at();
        // The newline ends the value, inside quotes too, whatever syntax
        // character the file made of it.
        if (s.at_end())
            return s.end_list();
        std::optional<char *> result;
        if (is_quote(c)) {
            take_quote(s, c);
        } else if (!s.quoted && c == s.lf.list_sep) {
            result = take_separator(s);
        } else if (!s.quoted && c == s.lf.comment_char) {
            result = s.end_list();
        } else if (c == s.lf.escape) {
            result = take_escaped(s);
        } else if (starts_hex_run(s, c)) {
            s.ishex = true;
            s.lf.linepos += 2;
        } else if (s.ishex) {
            result = take_hex_byte(s);
        } else {
            s.put(c, s.quoted || !intl::is_space(c));
            ++s.lf.linepos;
        }
        if (result)
            return *result;
    }
}

} // namespace

extern "C" {

char *intl_nextvalue(INTL_LOCFILE *locfile, INTL_INT *end_of_list) {
    if (!intl::loc::start_scan(locfile, end_of_list))
        return nullptr;
    ValueScan s{*locfile, end_of_list};
    resume_quoting(s);
    if (locfile->eof || locfile->end_of_section || locfile->end_of_list) {
        *end_of_list = 1;
        return nullptr;
    }
    // A piece cut inside quotes resumes at its first unconsumed character:
    // blanks there belong to the value.
    if (!s.quoted)
        if (auto result = skip_leading(s))
            return *result;
    return scan_value(s);
}
}
