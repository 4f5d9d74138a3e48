// The datetime section of localization files: intl_datetime.
#include "locfile/locfile.h"

#include <array>

namespace {

constexpr std::array<std::string_view, 12> default_months = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> default_shortmonths = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> default_days = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

template <std::size_t N, std::size_t W>
void fill_names(char (&fields)[N][W], const std::array<std::string_view, N> &names) {
    for (std::size_t i = 0; i < N; ++i)
        intl::copy_text(fields[i], names[i]);
}

void set_defaults(INTL_DATEINFO &info) {
    fill_names(info.months, default_months);
    fill_names(info.shortmonths, default_shortmonths);
    fill_names(info.days, default_days);
    info.firstday = 7;
    intl::copy_text(info.dateorder, "mdy");
    info.is12hour = 1;
}

// Fills every field of a name list from the entry's values, in order. A
// missing value gives too_few, or the reader's error when keep_reader_error
// is set and it has one; a name longer than its field is refused.
template <std::size_t N, std::size_t W>
INTL_INT read_names(INTL_LOCFILE &lf, char (&fields)[N][W], INTL_INT too_few,
                    bool keep_reader_error) {
    for (auto &field : fields) {
        INTL_INT status = 0;
        const char *value = intl_nextvalue(&lf, &status);
        if (value == nullptr)
            return keep_reader_error && status < 0 ? status : too_few;
        if (!intl::copy_text(field, intl::loc::field_text(lf.value)))
            return INTL_E_VALUELONG;
    }
    return INTL_OK;
}

// The entry's first value, or null.
const char *first_value(INTL_LOCFILE &lf) {
    INTL_INT status = 0;
    return intl_nextvalue(&lf, &status);
}

INTL_INT read_firstday(INTL_LOCFILE &lf, INTL_DATEINFO &info) {
    const char *value = first_value(lf);
    if (value == nullptr)
        return INTL_E_NOVALUE;
    if (value[0] < '1' || value[0] > '7')
        return INTL_E_FIRSTDAY;
    info.firstday = value[0] - '0';
    return INTL_OK;
}

// The date order: the first three characters, each of m, d and y once.
INTL_INT read_dateformat(INTL_LOCFILE &lf, INTL_DATEINFO &info) {
    const char *value = first_value(lf);
    if (value == nullptr)
        return INTL_E_NOVALUE;
    std::string_view seen;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = value[i];
        if (c != 'm' && c != 'd' && c != 'y')
            return INTL_E_DATEORDER;
        if (seen.find(c) != std::string_view::npos)
            return INTL_E_DUPDATEFMT;
        info.dateorder[i] = c;
        seen = std::string_view{info.dateorder, i + 1};
    }
    info.dateorder[3] = '\0';
    return INTL_OK;
}

INTL_INT read_timeformat(INTL_LOCFILE &lf, INTL_DATEINFO &info) {
    const char *value = first_value(lf);
    if (value == nullptr)
        return INTL_E_NOVALUE;
    const std::string_view clock = value;
    if (clock != "12" && clock != "24")
        return INTL_E_TIMEFORMAT;
    info.is12hour = clock == "12";
    return INTL_OK;
}

// Applies one entry; entries the section does not know are passed over.
INTL_INT apply_entry(INTL_LOCFILE &lf, std::string_view name, INTL_DATEINFO &info) {
    if (name == "months")
        return read_names(lf, info.months, INTL_E_FEWMONTHS, true);
    if (name == "shortmonths")
        return read_names(lf, info.shortmonths, INTL_E_FEWSHORTMONTHS, false);
    if (name == "days")
        return read_names(lf, info.days, INTL_E_FEWDAYS, false);
    if (name == "firstday")
        return read_firstday(lf, info);
    if (name == "timeformat")
        return read_timeformat(lf, info);
    return INTL_OK;
}

} // namespace

extern "C" {

INTL_INT intl_datetime(INTL_LOCFILE *locfile, INTL_DATEINFO *dateinfo) {
    if (locfile == nullptr)
        return INTL_E_BADLOCFILE;
    if (dateinfo == nullptr)
        return INTL_E_NODATEINFO;
    set_defaults(*dateinfo);
    bool dateformat_read = false;
    INTL_INT status = 0;
    while (const char *entry = intl_nextentry(locfile, &status)) {
        const std::string_view name = entry;
        INTL_INT applied = INTL_OK;
        if (name == "dateformat") {
            // A second date format ends the section's reading, unapplied.
            if (dateformat_read)
                return INTL_OK;
            dateformat_read = true;
            applied = read_dateformat(*locfile, *dateinfo);
        } else {
            applied = apply_entry(*locfile, name, *dateinfo);
        }
        if (applied != INTL_OK)
            return applied;
    }
    return status < 0 ? status : INTL_OK;
}
}
