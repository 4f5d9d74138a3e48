// Datetime sections from CLDR's data, read through ICU: names, first day of
// the week, date order and clock of a locale, fitted to the date record.
#ifndef INTL_CLDR_DATETIME_H
#define INTL_CLDR_DATETIME_H

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace cldr {

// The date record's fields hold this many bytes before their zero byte.
constexpr std::size_t month_room = 20;
constexpr std::size_t shortmonth_room = 9;
constexpr std::size_t day_room = 30;

// A locale's datetime section in the record's terms.
struct LocaleDates {
    std::string locale;
    std::array<std::string, 12> months;
    std::array<std::string, 12> shortmonths;
    std::array<std::string, 7> days; // Monday first
    int firstday;                    // 1 Monday .. 7 Sunday
    std::string dateorder;           // "dmy", "mdy", "ymd", ...
    bool is12hour;
    // For each list that holds a shorter form than its own, why.
    std::vector<std::string> shortened;
};

// The section of a locale, or why no form of its names fits the record.
struct Outcome {
    std::optional<LocaleDates> dates;
    std::string left_out_because;
};

// Every locale ICU holds data for, in its own order.
std::vector<std::string> available_locales();
// "ICU 72.1, CLDR 42".
std::string data_version();
// Reads a locale's data (its Gregorian calendar whatever its default).
// Throws std::runtime_error when ICU fails.
Outcome read_locale(const std::string &locale);

// The date order of a date pattern: the first year, month and day fields
// outside quoted literals ("dd.MM.y" gives "dmy"); empty without all three.
std::string date_order_of(const std::string &pattern);
// Whether a time pattern shows a 12-hour clock (h or K outside quotes).
bool is_12_hour_pattern(const std::string &pattern);

} // namespace cldr

#endif
