// read_locale and its helpers: CLDR's names and formats of one locale, as
// ICU gives them, chosen and checked to fit the date record.
#include "cldr_datetime.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <unicode/calendar.h>
#include <unicode/dtfmtsym.h>
#include <unicode/smpdtfmt.h>
#include <unicode/ulocdata.h>
#include <unicode/uversion.h>

namespace cldr {

namespace {

using Width = icu::DateFormatSymbols::DtWidthType;

void require(UErrorCode status, const std::string &what) {
    if (U_FAILURE(status))
        throw std::runtime_error(what + ": " + u_errorName(status));
}

std::string utf8(const icu::UnicodeString &text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

const char *width_name(Width width) {
    switch (width) {
    case icu::DateFormatSymbols::WIDE:
        return "wide";
    case icu::DateFormatSymbols::ABBREVIATED:
        return "abbreviated";
    case icu::DateFormatSymbols::NARROW:
        return "narrow";
    default:
        return "short";
    }
}

// The names of one list in one width; days come Sunday first from ICU, at
// index 1, and are turned to Monday first.
std::vector<std::string> names_of(const icu::DateFormatSymbols &symbols, bool days, Width width) {
    int32_t count = 0;
    const icu::UnicodeString *names =
        days ? symbols.getWeekdays(count, icu::DateFormatSymbols::STANDALONE, width)
             : symbols.getMonths(count, icu::DateFormatSymbols::STANDALONE, width);
    std::vector<std::string> list;
    for (int32_t i = 0; i < count; ++i)
        list.push_back(utf8(names[i]));
    if (days) {
        if (list.size() != 8)
            throw std::runtime_error("ICU gave " + std::to_string(list.size()) + " day slots");
        list = {list[2], list[3], list[4], list[5], list[6], list[7], list[1]};
    }
    return list;
}

// The first name longer than room bytes, or null.
const std::string *too_long(const std::vector<std::string> &names, std::size_t room) {
    for (const std::string &name : names)
        if (name.size() > room)
            return &name;
    return nullptr;
}

std::string overflow(Width width, const std::string &name) {
    return std::string{width_name(width)} + " '" + name + "' is " + std::to_string(name.size()) +
           " bytes";
}

std::string joined(const std::vector<std::string> &reasons) {
    std::string text;
    for (const std::string &reason : reasons)
        text += (text.empty() ? "" : ", ") + reason;
    return text;
}

// Names that tell the months (or days) apart; narrow ones often do not.
bool all_distinct(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
}

// The first width whose names all fit and differ, from the widest; the
// reasons for the widths passed over go to `passed`, or the last one to
// `refused`.
template <std::size_t N>
bool choose_names(std::array<std::string, N> &out, const icu::DateFormatSymbols &symbols,
                  const char *list, std::initializer_list<Width> widths, std::size_t room,
                  std::vector<std::string> &passed, std::string &refused) {
    std::vector<std::string> reasons;
    for (const Width width : widths) {
        const std::vector<std::string> names = names_of(symbols, N == 7, width);
        if (names.size() != N)
            throw std::runtime_error(std::string{"ICU gave "} + std::to_string(names.size()) + " " +
                                     list);
        if (const std::string *name = too_long(names, room)) {
            reasons.push_back(overflow(width, *name));
            continue;
        }
        if (!all_distinct(names)) {
            reasons.push_back(std::string{width_name(width)} + " names are not all different");
            continue;
        }
        std::copy(names.begin(), names.end(), out.begin());
        if (!reasons.empty())
            passed.push_back(std::string{list} + " " + width_name(width) + " (" + joined(reasons) +
                             "; room " + std::to_string(room) + ")");
        return true;
    }
    refused = std::string{list} + ": " + joined(reasons) + "; room " + std::to_string(room);
    return false;
}

int first_day(const icu::Locale &locale) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::Calendar> calendar{icu::Calendar::createInstance(locale, status)};
    require(status, "calendar of " + std::string{locale.getName()});
    const UCalendarDaysOfWeek first = calendar->getFirstDayOfWeek(status);
    require(status, "first day of " + std::string{locale.getName()});
    return (first + 5) % 7 + 1; // UCAL_SUNDAY is 1: Monday becomes 1, Sunday 7
}

std::string pattern_of(icu::DateFormat *format, const std::string &what) {
    if (format == nullptr)
        throw std::runtime_error("no " + what);
    const std::unique_ptr<icu::DateFormat> owned{format};
    icu::UnicodeString pattern;
    static_cast<icu::SimpleDateFormat *>(format)->toPattern(pattern);
    return utf8(pattern);
}

// The pattern letters outside quoted literals ('' is a quote).
std::string pattern_letters(const std::string &pattern) {
    std::string letters;
    bool quoted = false;
    for (const char c : pattern) {
        if (c == '\'')
            quoted = !quoted;
        else if (!quoted && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')))
            letters += c;
    }
    return letters;
}

} // namespace

std::string date_order_of(const std::string &pattern) {
    std::string order;
    for (const char c : pattern_letters(pattern)) {
        const char part = c == 'y' || c == 'Y' || c == 'u' || c == 'r' ? 'y'
                          : c == 'M' || c == 'L'                       ? 'm'
                          : c == 'd'                                   ? 'd'
                                                                       : 0;
        if (part != 0 && order.find(part) == std::string::npos)
            order += part;
    }
    return order.size() == 3 ? order : "";
}

bool is_12_hour_pattern(const std::string &pattern) {
    return pattern_letters(pattern).find_first_of("hK") != std::string::npos;
}

std::vector<std::string> available_locales() {
    int32_t count = 0;
    const icu::Locale *locales = icu::Locale::getAvailableLocales(count);
    std::vector<std::string> names;
    for (int32_t i = 0; i < count; ++i)
        names.emplace_back(locales[i].getName());
    return names;
}

std::string data_version() {
    UErrorCode status = U_ZERO_ERROR;
    UVersionInfo cldr;
    ulocdata_getCLDRVersion(cldr, &status);
    require(status, "CLDR version");
    char text[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(cldr, text);
    return std::string{"ICU "} + U_ICU_VERSION + ", CLDR " + text;
}

Outcome read_locale(const std::string &name) {
    icu::Locale locale{name.c_str()};
    if (locale.isBogus())
        throw std::runtime_error("'" + name + "' is no locale");
    // The record describes the Gregorian calendar, also for locales whose
    // default is another one (Persian, Buddhist, Islamic).
    UErrorCode status = U_ZERO_ERROR;
    locale.setKeywordValue("calendar", "gregorian", status);
    require(status, "calendar keyword of " + name);
    const icu::DateFormatSymbols symbols{locale, status};
    require(status, "names of " + name);

    LocaleDates dates{name, {}, {}, {}, 0, "", false, {}};
    using W = icu::DateFormatSymbols;
    std::string refused;
    if (!choose_names(dates.months, symbols, "months", {W::WIDE, W::ABBREVIATED}, month_room,
                      dates.shortened, refused) ||
        !choose_names(dates.shortmonths, symbols, "shortmonths", {W::ABBREVIATED, W::NARROW},
                      shortmonth_room, dates.shortened, refused) ||
        !choose_names(dates.days, symbols, "days", {W::WIDE, W::ABBREVIATED, W::SHORT}, day_room,
                      dates.shortened, refused))
        return {std::nullopt, refused};

    dates.firstday = first_day(locale);
    const std::string date = pattern_of(
        icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale), "date format");
    dates.dateorder = date_order_of(date);
    if (dates.dateorder.empty())
        return {std::nullopt, "the short date pattern '" + date + "' lacks a year, month or day"};
    dates.is12hour = is_12_hour_pattern(pattern_of(
        icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale), "time format"));
    return {dates, ""};
}

} // namespace cldr
