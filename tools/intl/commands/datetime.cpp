// intl datetime FILE SECTION: a datetime section's record, and today's date
// rendered with its names, date order and clock.
#include "locfile.h"
#include "tool.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>

namespace tool {

namespace {

struct DatetimeOptions {
    std::string file;
    std::string section;
    std::string at;
};

struct Moment {
    int year;
    unsigned month; // 1..12
    unsigned day;
    unsigned weekday; // 0 Monday .. 6 Sunday, the order of the day names
    int hour;
    int minute;
};

Moment make_moment(std::chrono::year_month_day date, int hour, int minute) {
    const std::chrono::weekday weekday{std::chrono::sys_days{date}};
    return {static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()),
            static_cast<unsigned>(date.day()),
            weekday.iso_encoding() - 1,
            hour,
            minute};
}

Moment now() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    const std::chrono::year_month_day date{std::chrono::year{local.tm_year + 1900},
                                           std::chrono::month{unsigned(local.tm_mon + 1)},
                                           std::chrono::day{unsigned(local.tm_mday)}};
    return make_moment(date, local.tm_hour, local.tm_min);
}

// "YYYY-MM-DD", optionally followed by " HH:MM" or "THH:MM".
Moment parse_moment(const std::string &text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, used = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used);
    std::size_t end = static_cast<std::size_t>(used);
    if (fields == 3 && end < text.size() && (text[end] == ' ' || text[end] == 'T')) {
        int more = 0;
        if (std::sscanf(text.c_str() + end + 1, "%2d:%2d%n", &hour, &minute, &more) == 2)
            end += 1 + static_cast<std::size_t>(more);
        else
            end = 0;
    }
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{unsigned(month)},
                                           std::chrono::day{unsigned(day)}};
    if (fields != 3 || end != text.size() || !date.ok() || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59)
        throw Failure("--at wants a moment as YYYY-MM-DD or YYYY-MM-DD HH:MM, not '" + text + "'");
    return make_moment(date, hour, minute);
}

template <std::size_t N> std::string field(const char (&text)[N]) {
    return std::string(text, strnlen(text, N));
}

template <std::size_t Count, std::size_t N> std::string joined(const char (&names)[Count][N]) {
    std::string text;
    for (std::size_t i = 0; i < Count; ++i)
        text += (i == 0 ? "" : ", ") + field(names[i]);
    return text;
}

// The date's parts in the record's order: day number, month name, year.
std::string render_date(const INTL_DATEINFO &info, const Moment &m, bool short_month) {
    std::string text;
    for (const char part : field(info.dateorder)) {
        if (!text.empty())
            text += ' ';
        if (part == 'd')
            text += std::to_string(m.day);
        else if (part == 'm')
            text += short_month ? field(info.shortmonths[m.month - 1])
                                : field(info.months[m.month - 1]);
        else
            text += std::to_string(m.year);
    }
    return text;
}

std::string render_time(const INTL_DATEINFO &info, const Moment &m) {
    char buffer[16];
    if (info.is12hour)
        std::snprintf(buffer, sizeof buffer, "%d:%02d %s", (m.hour + 11) % 12 + 1, m.minute,
                      m.hour < 12 ? "AM" : "PM");
    else
        std::snprintf(buffer, sizeof buffer, "%02d:%02d", m.hour, m.minute);
    return buffer;
}

INTL_DATEINFO read_dateinfo(const DatetimeOptions &options) {
    INTL_DATEINFO info{};
    const Input input(options.file);
    LocFile file(input);
    if (!file.find_section(options.section))
        throw FileError(input.name(), 0, "no section [" + options.section + "]");
    const INTL_INT rc = intl_datetime(file.record(), &info);
    if (rc != INTL_OK)
        throw file.error(rc);
    return info;
}

int run_datetime(const DatetimeOptions &options) {
    const INTL_DATEINFO info = read_dateinfo(options);
    const Moment moment = options.at.empty() ? now() : parse_moment(options.at);
    const unsigned first = static_cast<unsigned>(info.firstday);
    std::cout << "Months:       " << joined(info.months) << '\n'
              << "Short months: " << joined(info.shortmonths) << '\n'
              << "Days:         " << joined(info.days) << '\n'
              << "First day:    " << info.firstday << " ("
              << (first >= 1 && first <= 7 ? field(info.days[first - 1]) : "?") << ")\n"
              << "Date order:   " << field(info.dateorder) << '\n'
              << "Clock:        " << (info.is12hour ? "12-hour" : "24-hour") << '\n'
              << (options.at.empty() ? "Today:        " : "Date:         ")
              << field(info.days[moment.weekday]) << ", " << render_date(info, moment, false)
              << ", " << render_time(info, moment) << '\n'
              << "Short:        " << render_date(info, moment, true) << '\n';
    return exit_ok;
}

} // namespace

Command add_datetime(CLI::App &app) {
    auto options = std::make_shared<DatetimeOptions>();
    CLI::App *command = app.add_subcommand(
        "datetime", "Print a datetime section and today's date rendered with it");
    command->add_option("FILE", options->file, "Localization file; - is standard input")
        ->required();
    command->add_option("SECTION", options->section, "Datetime section")->required();
    command->add_option("--at", options->at,
                        "Render this moment instead of now: YYYY-MM-DD [HH:MM]");
    return {command, [options] { return run_datetime(*options); }};
}

} // namespace tool
