// The variadic message builder: intl_strbuild, intl_vstrbuild and
// intl_cstrbuild read a formats string into argument records, pulling each
// value from the argument list, and hand the records to intl__strblist.
#include "frame/frame.h"
#include "message/specifier.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

using intl::message::Family;
using intl::message::Specifier;

constexpr std::size_t max_records = 20;

// Characters that end a custom specifier's name, besides white space and NUL.
constexpr std::string_view punctuations = "\",.:;(){}[]!@#$%&-+~|\\<>?/`='";
static_assert(punctuations.size() == 29);

// The values after the formats string, read strictly in its order.
class Values {
  public:
    explicit Values(va_list ap) { va_copy(ap_, ap); }
    Values(const Values &) = delete;
    Values &operator=(const Values &) = delete;
    ~Values() { va_end(ap_); }

    template <class T> T next() { return va_arg(ap_, T); }

  private:
    va_list ap_;
};

int intl__ispunct(char ch) {
    return ch == '\0' || punctuations.find(ch) != std::string_view::npos;
}

// True when the template holds a "%" that is not half of a "%%" pair, so that
// it needs values at all.
bool has_placeholder(const char *text, INTL_INT textlen) {
    std::string_view rest(text, textlen > 0 ? static_cast<std::size_t>(textlen) : 0);
    for (;;) {
        rest.remove_prefix(intl::message::find_percent(rest));
        if (rest.empty())
            return false;
        if (rest.size() < 2 || rest[1] != '%')
            return true;
        rest.remove_prefix(2);
    }
}

// Pulls the value of a valid type code. Short values travel as ints and longs
// as C longs; both keep only the bits their record member holds.
void pull_value(Values &values, INTL_ARGVAL &rec) {
    switch (rec.value_type) {
    case INTL_T_SHORT:
        rec.value.short_val = static_cast<std::int16_t>(values.next<int>());
        break;
    case INTL_T_USHORT:
        rec.value.ushort_val = static_cast<std::uint16_t>(values.next<int>());
        break;
    case INTL_T_INT:
        rec.value.int_val = values.next<int>();
        break;
    case INTL_T_UINT:
        rec.value.uint_val = values.next<unsigned>();
        break;
    case INTL_T_LONG:
        rec.value.long_val = static_cast<INTL_LONG>(values.next<long>());
        break;
    case INTL_T_ULONG:
        rec.value.ulong_val = static_cast<INTL_ULONG>(values.next<unsigned long>());
        break;
    case INTL_T_PTR:
        rec.value.ptr_val = values.next<void *>();
        break;
    default:
        rec.value.doubleval = values.next<double>();
        break;
    }
}

// The first entry named name, in installation order.
const INTL_FMT *find_custom(const INTL_CVTLIST &list, std::string_view name) {
    // The list extends past its declared single entry.
    const INTL_FMT *entries = list.fmtlist;
    for (INTL_INT i = 0; i < list.listcount; ++i) {
        const INTL_FMT &entry = entries[i];
        if (std::string_view(entry.fmt, intl::bounded_length(entry.fmt, sizeof entry.fmt)) == name)
            return &entry;
    }
    return nullptr;
}

// Length of the custom name at the start of rest: it ends at white space,
// punctuation or the end, and is only measured up to one character too many.
std::size_t custom_name_length(std::string_view rest) {
    const std::size_t limit = std::min(rest.size(), intl::message::cvtspec_max + 1);
    std::size_t len = 0;
    while (len < limit && !intl::is_space(rest[len]) && !intl__ispunct(rest[len]))
        ++len;
    return len;
}

enum class Outcome { filled, skipped, ended };

// Result of reading one specifier: the outcome, or a failure code.
struct Step {
    Outcome outcome;
    INTL_INT status = 0;
};

class FormatsReader {
  public:
    FormatsReader(const INTL_CVTLIST *cvtlist, std::string_view formats, va_list ap)
        : cvtlist_(cvtlist), rest_(formats), values_(ap) {}

    // Fills records in formats order; the number filled, or a failure code.
    INTL_INT read(std::span<INTL_ARGVAL, max_records> records) {
        std::size_t filled = 0;
        while (!rest_.empty()) {
            rest_.remove_prefix(intl::message::find_percent(rest_));
            if (rest_.empty())
                break;
            if (filled == records.size())
                return INTL_E_OVERFLOW;
            const Step step = read_specifier(records[filled]);
            if (step.status < 0)
                return step.status;
            if (step.outcome == Outcome::ended)
                break;
            if (step.outcome == Outcome::filled)
                ++filled;
        }
        return static_cast<INTL_INT>(filled);
    }

  private:
    // Reads the specifier at the "%" that rest_ starts with into rec.
    Step read_specifier(INTL_ARGVAL &rec) {
        const std::string_view at_percent = rest_;
        rest_.remove_prefix(1);
        if (rest_.empty())
            return {Outcome::ended};
        rec.numstars = 0;
        rec.custom = nullptr;
        const Specifier parsed =
            intl::message::scan_specifier(rest_, intl::message::Grammar::formats);
        // Stars come before the value in the argument list, whatever follows.
        for (int i = 0; i < parsed.stars; ++i)
            rec.stars[rec.numstars++] = values_.next<int>();
        if (!parsed.complete)
            return {Outcome::ended};
        rest_.remove_prefix(parsed.length);
        const Family family = parsed.facts().family;
        if (family == Family::percent) {
            rest_.remove_prefix(1);
            return {Outcome::skipped};
        }
        if (family == Family::other)
            return cvtlist_ != nullptr ? read_custom(rec) : Step{Outcome::skipped};
        return read_standard(rec, at_percent.substr(0, parsed.length + 2), parsed);
    }

    Step read_standard(INTL_ARGVAL &rec, std::string_view text, const Specifier &parsed) {
        if (!intl::copy_text(rec.cvtspec, text))
            return {Outcome::ended, INTL_E_FORMATSYNTAX};
        rest_.remove_prefix(1);
        rec.value_type = intl::message::stored_type(parsed.facts(), parsed.size);
        pull_value(values_, rec);
        return {Outcome::filled};
    }

    // The flag, width, precision and size read so far are not part of a
    // custom name: it is read afresh from the conversion character.
    Step read_custom(INTL_ARGVAL &rec) {
        const std::string_view name = rest_.substr(0, custom_name_length(rest_));
        if (!intl::copy_text(rec.cvtspec, name))
            return {Outcome::ended, INTL_E_CUSTOMLONG};
        rest_.remove_prefix(name.size());
        const INTL_FMT *entry = find_custom(*cvtlist_, name);
        if (entry == nullptr)
            return {Outcome::ended, INTL_E_NOCUSTOM};
        rec.custom = entry;
        rec.value_type = entry->argtype;
        if (!intl::message::is_value_type(rec.value_type))
            return {Outcome::ended, INTL_E_DATATYPE};
        pull_value(values_, rec);
        return {Outcome::filled};
    }

    const INTL_CVTLIST *cvtlist_;
    std::string_view rest_;
    Values values_;
};

// Length of a NUL-terminated text as the counted core takes it; null is empty.
INTL_INT measure(const char *text) {
    if (text == nullptr)
        return 0;
    return static_cast<INTL_INT>(std::min<std::size_t>(std::strlen(text), INT32_MAX));
}

} // namespace

extern "C" {

INTL_INT intl_cstrbuild(const INTL_CVTLIST *cvtlist, char *charbuf, INTL_INT bufsize,
                        const char *text, INTL_INT textlen, const char *formats,
                        INTL_INT formatslen, va_list ap) {
    if (text == nullptr)
        return INTL_E_NOTEXT;
    if (bufsize <= 0)
        return INTL_E_BUFLEN;
    // Records are filled before they are read; only the first numargs are.
    std::array<INTL_ARGVAL, max_records> records;
    INTL_INT numargs = 0;
    if (has_placeholder(text, textlen)) {
        if (formats == nullptr || formatslen < 1)
            return INTL_E_NOFORMATS;
        FormatsReader reader(cvtlist,
                             std::string_view(formats, static_cast<std::size_t>(formatslen)), ap);
        numargs = reader.read(records);
        if (numargs < 0)
            return numargs;
    }
    return intl__strblist(charbuf, bufsize, text, textlen, records.data(), numargs);
}

INTL_INT intl_vstrbuild(const INTL_CVTLIST *cvtlist, va_list ap) {
    char *charbuf = va_arg(ap, char *);
    const INTL_INT bufsize = va_arg(ap, INTL_INT);
    const char *text = va_arg(ap, const char *);
    const char *formats = va_arg(ap, const char *);
    return intl_cstrbuild(cvtlist, charbuf, bufsize, text, measure(text), formats, measure(formats),
                          ap);
}

INTL_INT intl_strbuild(const INTL_CVTLIST *cvtlist, ...) {
    va_list ap;
    va_start(ap, cvtlist);
    const INTL_INT result = intl_vstrbuild(cvtlist, ap);
    va_end(ap);
    return result;
}
}
