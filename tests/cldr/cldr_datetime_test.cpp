// The CLDR datetime sections: what the writer reads from ICU against ICU's
// own date formatting and known facts of a table of locales, and the
// shipped file against the writer.
#include "cldr_datetime.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <unicode/dtptngen.h>
#include <unicode/numsys.h>
#include <unicode/smpdtfmt.h>

namespace {

// A locale's text of one moment under a pattern, from ICU's formatter.
std::string formatted(const std::string &locale, const char *pattern, int month, int day) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale where{(locale + "@calendar=gregorian").c_str()};
    icu::SimpleDateFormat format{icu::UnicodeString{pattern}, where, status};
    const std::unique_ptr<icu::Calendar> calendar{icu::Calendar::createInstance(where, status)};
    calendar->clear();
    calendar->set(2024, month, day, 12, 0);
    icu::UnicodeString text;
    format.format(calendar->getTime(status), text);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    std::string out;
    return text.toUTF8String(out);
}

bool is_12_hour_by_icu(const std::string &locale) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::DateTimePatternGenerator> generator{
        icu::DateTimePatternGenerator::createInstance(icu::Locale{locale.c_str()}, status)};
    const UDateFormatHourCycle cycle = generator->getDefaultHourCycle(status);
    return cycle == UDAT_HOUR_CYCLE_11 || cycle == UDAT_HOUR_CYCLE_12;
}

std::string digits_of(const std::string &locale) {
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<icu::NumberingSystem> system{
        icu::NumberingSystem::createInstance(icu::Locale{locale.c_str()}, status)};
    return system->getName();
}

TEST(CldrDatetime, LocalesAgreeWithIcuFormattingAndKnownFacts) {
    const struct {
        std::string locale;
        int firstday;
        std::string order;
        bool is12hour;
        std::string january; // stand-alone
        bool right_to_left;
        std::string digits;
        const char *short_month; // the pattern of the width that fits
    } cases[] = {
        {"ar", 6, "dmy", true, "يناير", true, "arab", "LLLLL"},
        {"uz_Arab", 6, "ymd", false, "جنوری", true, "arabext", "LLL"},
        {"he", 7, "dmy", false, "ינואר", true, "latn", "LLL"},
        {"ru", 1, "dmy", false, "январь", false, "latn", "LLL"},
        {"en_US", 7, "mdy", true, "January", false, "latn", "LLL"},
        {"ko", 7, "ymd", true, "1월", false, "latn", "LLL"},
        {"ja", 7, "ymd", false, "1月", false, "latn", "LLL"},
        {"de", 1, "dmy", false, "Januar", false, "latn", "LLL"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.locale);
        const cldr::Outcome outcome = cldr::read_locale(c.locale);
        ASSERT_TRUE(outcome.dates) << outcome.left_out_because;
        const cldr::LocaleDates &d = *outcome.dates;
        EXPECT_EQ(icu::Locale{c.locale.c_str()}.isRightToLeft(), c.right_to_left);
        EXPECT_EQ(digits_of(c.locale), c.digits);
        EXPECT_EQ(d.firstday, c.firstday);
        EXPECT_EQ(d.dateorder, c.order);
        EXPECT_EQ(d.is12hour, c.is12hour);
        EXPECT_EQ(d.is12hour, is_12_hour_by_icu(c.locale));
        EXPECT_EQ(d.months[0], c.january);
        for (int month = 0; month < 12; ++month) {
            EXPECT_EQ(d.months[month], formatted(c.locale, "LLLL", month, 15));
            EXPECT_EQ(d.shortmonths[month], formatted(c.locale, c.short_month, month, 15));
        }
        for (int day = 0; day < 7; ++day) // 2024-01-01 was a Monday
            EXPECT_EQ(d.days[day], formatted(c.locale, "cccc", 0, 1 + day));
    }
}

// Shorter forms only where CLDR has them and the wider ones do not fit;
// otherwise the locale is left out, with the reason.
TEST(CldrDatetime, NamesThatDoNotFitAreShortenedOrLeftOut) {
    const cldr::Outcome greek = cldr::read_locale("el");
    ASSERT_TRUE(greek.dates);
    EXPECT_EQ(greek.dates->months[1], formatted("el", "LLL", 1, 15));
    ASSERT_EQ(greek.dates->shortened.size(), 1u);
    EXPECT_EQ(greek.dates->shortened[0],
              "months abbreviated (wide 'Φεβρουάριος' is 22 bytes; room 20)");
    const cldr::Outcome tamil = cldr::read_locale("ta");
    EXPECT_FALSE(tamil.dates);
    EXPECT_EQ(tamil.left_out_because.rfind("shortmonths: abbreviated '", 0), 0u)
        << tamil.left_out_because;
    for (const std::string &locale : cldr::available_locales()) {
        const cldr::Outcome outcome = cldr::read_locale(locale);
        if (!outcome.dates)
            continue;
        for (const std::string &name : outcome.dates->months)
            EXPECT_LE(name.size(), cldr::month_room) << locale;
        for (const std::string &name : outcome.dates->shortmonths)
            EXPECT_LE(name.size(), cldr::shortmonth_room) << locale;
        for (const std::string &name : outcome.dates->days)
            EXPECT_LE(name.size(), cldr::day_room) << locale;
    }
}

TEST(CldrDatetime, PatternsGiveOrderAndClock) {
    const struct {
        std::string pattern, order;
        bool is12hour;
    } cases[] = {
        {"dd.MM.y", "dmy", false},
        {"M/d/yy", "mdy", false},
        {"y/M/d", "ymd", false},
        {"d 'de' MMM 'de' y", "dmy", false},
        {"'day' y-LL-dd", "ymd", false},
        {"d/M", "", false},
        {"h:mm a", "", true},
        {"HH:mm", "", false},
        {"K:mm a", "", true},
        {"'h' HH'h'mm", "", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cldr::date_order_of(c.pattern), c.order) << c.pattern;
        EXPECT_EQ(cldr::is_12_hour_pattern(c.pattern), c.is12hour) << c.pattern;
    }
}

// The shipped file, read with the library, holds what the writer gives for
// every locale it names, and names in its header every locale it lacks.
TEST(CldrDatetime, ShippedFileIsWhatTheWriterWrites) {
    std::ifstream in(INTL_CLDR_FILE);
    std::string line, header;
    std::set<std::string> listed;
    while (std::getline(in, line) && line.starts_with(";")) {
        header += line + "\n";
        if (line.starts_with(";   "))
            listed.insert(line.substr(4, line.find(':') - 4));
    }
    if (header.find(cldr::data_version()) == std::string::npos)
        GTEST_SKIP() << "the file was written from another ICU than " << cldr::data_version();
    INTL_LOCFILE file{};
    ASSERT_EQ(intl_open(INTL_CLDR_FILE, &file), INTL_OK);
    std::set<std::string> shipped;
    INTL_INT status = 0;
    while (const char *name = intl_nextsection(&file, &status)) {
        INTL_DATEINFO info{};
        ASSERT_EQ(intl_datetime(&file, &info), INTL_OK) << name;
        const cldr::Outcome outcome = cldr::read_locale(name);
        ASSERT_TRUE(outcome.dates) << name;
        const cldr::LocaleDates &d = *outcome.dates;
        for (int i = 0; i < 12; ++i) {
            EXPECT_EQ(info.months[i], d.months[i]) << name;
            EXPECT_EQ(info.shortmonths[i], d.shortmonths[i]) << name;
        }
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(info.days[i], d.days[i]) << name;
        EXPECT_EQ(info.firstday, d.firstday) << name;
        EXPECT_EQ(info.dateorder, d.dateorder) << name;
        EXPECT_EQ(info.is12hour, d.is12hour ? 1 : 0) << name;
        shipped.insert(name);
    }
    EXPECT_EQ(status, 1);
    intl_close(&file);
    for (const std::string &locale : cldr::available_locales())
        EXPECT_TRUE(shipped.count(locale) == 1 || listed.count(locale) == 1) << locale;
}

} // namespace
