// Message builder: custom format lists, the argument-list formatter and the
// variadic builder.
#include <intl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

// The library allocates through comn_malloc, which this definition replaces
// in the process, so that a test can make the temporary buffer unavailable.
namespace {
bool fail_allocations = false;
int allocation_calls = 0;
} // namespace

extern "C" void *comn_malloc(INTL_UINT size) {
    ++allocation_calls;
    return fail_allocations ? nullptr : std::malloc(size);
}

namespace {

// ---------------------------------------------------------------- helpers

struct Result {
    INTL_INT code;
    std::string text; // the message, when code is 0 or more
};

// Runs a build into a buffer of bufsize bytes with guard bytes after it; on
// success the result must be the length of the message.
template <class Run> Result run_into(INTL_INT bufsize, Run run) {
    std::vector<char> buf(static_cast<std::size_t>(std::max(bufsize, 1)) + 16, '#');
    const INTL_INT code = run(buf.data());
    Result result{code, {}};
    if (code >= 0) {
        result.text = buf.data();
        EXPECT_EQ(static_cast<std::size_t>(code), result.text.size());
    }
    EXPECT_EQ(buf.back(), '#') << "written past the buffer";
    return result;
}

template <class... Args>
Result build_in(const INTL_CVTLIST *list, INTL_INT bufsize, const char *text, const char *formats,
                Args... args) {
    return run_into(bufsize, [&](char *buf) {
        return intl_strbuild(list, buf, bufsize, text, formats, args...);
    });
}

template <class... Args>
Result build(const INTL_CVTLIST *list, const char *text, const char *formats, Args... args) {
    return build_in(list, 256, text, formats, args...);
}

INTL_INT cbuild(const INTL_CVTLIST *list, char *buf, INTL_INT bufsize, const char *text,
                INTL_INT textlen, const char *formats, INTL_INT formatslen, ...) {
    va_list ap;
    va_start(ap, formatslen);
    const INTL_INT code =
        intl_cstrbuild(list, buf, bufsize, text, textlen, formats, formatslen, ap);
    va_end(ap);
    return code;
}

Result format_in(INTL_INT bufsize, const char *text, const std::vector<INTL_ARGVAL> &args) {
    static const INTL_ARGVAL none{};
    const INTL_ARGVAL *records = args.empty() ? &none : args.data();
    return run_into(bufsize, [&](char *buf) {
        return intl_strblist(buf, bufsize, text, records, static_cast<INTL_INT>(args.size()));
    });
}

Result format(const char *text, const std::vector<INTL_ARGVAL> &args) {
    return format_in(256, text, args);
}

// A standard record; cvtspec is copied as far as it fits, unterminated when
// it fills the field.
INTL_ARGVAL record(const char *spec, INTL_INT type, std::initializer_list<INTL_INT> stars = {}) {
    INTL_ARGVAL arg{};
    arg.value_type = type;
    std::memcpy(arg.cvtspec, spec, std::min(std::strlen(spec), sizeof arg.cvtspec));
    for (INTL_INT star : stars)
        arg.stars[arg.numstars++] = star;
    return arg;
}

INTL_ARGVAL of_int(const char *spec, INTL_INT value, std::initializer_list<INTL_INT> stars = {}) {
    INTL_ARGVAL arg = record(spec, INTL_T_INT, stars);
    arg.value.int_val = value;
    return arg;
}

INTL_ARGVAL of_ptr(const char *spec, const void *value,
                   std::initializer_list<INTL_INT> stars = {}) {
    INTL_ARGVAL arg = record(spec, INTL_T_PTR, stars);
    arg.value.ptr_val = const_cast<void *>(value);
    return arg;
}

INTL_ARGVAL of_double(const char *spec, double value, std::initializer_list<INTL_INT> stars = {}) {
    INTL_ARGVAL arg = record(spec, INTL_T_DOUBLE, stars);
    arg.value.doubleval = value;
    return arg;
}

template <class T> INTL_ARGVAL of_type(const char *spec, INTL_INT type, T value) {
    INTL_ARGVAL arg = record(spec, type);
    std::memcpy(&arg.value, &value, sizeof value);
    return arg;
}

// What the C library's own formatter makes of one pointer value.
std::string platform(const char *spec, const void *value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, spec, value);
    return buf;
}

// ------------------------------------------------- recorded custom routines

struct Call {
    std::string fmt;
    const void *value;
    bool writing;
};
std::vector<Call> calls;

// Writes "<name:value>", reading the value as T (a text for pointers).
template <class T> INTL_INT echo(const char *fmt, void *value, char *out) {
    calls.push_back({fmt, value, out != nullptr});
    std::string shown;
    if constexpr (std::is_pointer_v<T>)
        shown = static_cast<const char *>(value);
    else
        shown = std::to_string(*static_cast<const T *>(value));
    const std::string text = "<" + std::string(fmt) + ":" + shown + ">";
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<INTL_INT>(text.size());
}

INTL_INT oversized(const char *, void *, char *out) {
    calls.push_back({"", nullptr, out != nullptr});
    return 1000;
}

INTL_INT failing(const char *, void *, char *out) {
    return out != nullptr ? -5 : 1;
}

// Announces one character and fills eight bytes without a terminator.
INTL_INT unterminated(const char *, void *, char *out) {
    if (out != nullptr)
        std::memset(out, 'x', 8);
    return 1;
}

// A conversion list allocated at the size intl_fmtsize gives.
class CvtList {
  public:
    explicit CvtList(INTL_INT capacity)
        : storage_(static_cast<std::size_t>(intl_fmtsize(capacity)) / sizeof(std::max_align_t) +
                   1) {
        get()->listcount = 0;
    }
    INTL_CVTLIST *get() { return reinterpret_cast<INTL_CVTLIST *>(storage_.data()); }
    const INTL_FMT &entry(int i) { return *(get()->fmtlist + i); }
    void install(const char *name, INTL_INT type, INTL_CONVERT routine) {
        ASSERT_EQ(intl_fmtinstall(get(), name, type, routine), INTL_OK) << name;
    }

  private:
    std::vector<std::max_align_t> storage_;
};

constexpr const char name20[] = "abcdefghijabcdefghij";
constexpr const char name21[] = "abcdefghijabcdefghijk";

// =========================================================== custom list

TEST(CvtList, SizeGrowsByOneEntryPerExtraEntry) {
    EXPECT_EQ(intl_fmtsize(1), static_cast<INTL_INT>(sizeof(INTL_CVTLIST)));
    EXPECT_EQ(intl_fmtsize(5), static_cast<INTL_INT>(sizeof(INTL_CVTLIST) + 4 * sizeof(INTL_FMT)));
    EXPECT_EQ(intl_fmtsize(5) % 4, 0);
}

TEST(CvtList, SizeRefusesCountsBelowOneAndSizesPastTheResultRange) {
    for (INTL_INT count : {0, -1, INT32_MIN, INT32_MAX / 8, INT32_MAX})
        EXPECT_EQ(intl_fmtsize(count), INTL_E_LISTSIZE) << count;
}

TEST(CvtList, InstallChecksListThenNameThenRoutine) {
    CvtList list(1);
    const struct {
        INTL_CVTLIST *list;
        const char *name;
        INTL_CONVERT routine;
        INTL_INT code;
    } rows[] = {
        {nullptr, nullptr, nullptr, INTL_E_NOCVTLIST},
        {list.get(), nullptr, nullptr, INTL_E_NOFORMATS},
        {list.get(), "x", nullptr, INTL_E_NOCONVERT},
        {list.get(), name21, nullptr, INTL_E_NOCONVERT},
        {list.get(), name21, echo<INTL_INT>, INTL_E_CUSTOMLONG},
    };
    for (const auto &row : rows)
        EXPECT_EQ(intl_fmtinstall(row.list, row.name, INTL_T_INT, row.routine), row.code);
    EXPECT_EQ(list.get()->listcount, 0);
}

TEST(CvtList, InstallStoresNamesUpToTwentyCharactersWhole) {
    CvtList list(3);
    list.install(name20, 42, echo<INTL_INT>); // any type code is accepted here
    list.install("", INTL_T_INT, echo<INTL_INT>);
    EXPECT_EQ(list.get()->listcount, 2);
    EXPECT_EQ(std::string(list.entry(0).fmt), name20);
    EXPECT_EQ(list.entry(0).argtype, 42);
    EXPECT_EQ(std::string(list.entry(1).fmt), "");

    EXPECT_EQ(intl_fmtinstall(list.get(), name21, INTL_T_INT, echo<INTL_INT>), INTL_E_CUSTOMLONG);
    EXPECT_EQ(list.get()->listcount, 2);
}

TEST(CvtList, DuplicateNamesAreKeptAndTheFirstInstalledWins) {
    CvtList list(2);
    list.install("amt", INTL_T_INT, echo<INTL_INT>);
    list.install("amt", INTL_T_INT, oversized);
    EXPECT_EQ(list.get()->listcount, 2);
    EXPECT_EQ(build(list.get(), "%1!", "%amt", 7).text, "<amt:7>");
}

// ============================================================= formatter

TEST(Formatter, ArgumentChecksInOrder) {
    char buf[8];
    const INTL_ARGVAL arg = of_int("%d", 1);
    const struct {
        char *buf;
        INTL_INT bufsize;
        const char *text;
        INTL_INT textlen;
        const INTL_ARGVAL *args;
        INTL_INT numargs;
        INTL_INT code;
    } rows[] = {
        {nullptr, 0, nullptr, 0, nullptr, -1, INTL_E_NULLBUF},
        {buf, 0, nullptr, 0, nullptr, -1, INTL_E_BUFLEN},
        {buf, -3, "x", 1, &arg, 1, INTL_E_BUFLEN},
        {buf, 8, nullptr, 1, nullptr, -1, INTL_E_NOTEXT},
        {buf, 8, "x", 0, nullptr, -1, INTL_E_NOTEXT},
        {buf, 8, "x", 1, nullptr, -1, INTL_E_NOARGVAL},
        {buf, 8, "x", 1, &arg, -1, INTL_E_NEGARGS},
        {buf, 8, "x", 1, &arg, 0, 1},
    };
    for (const auto &row : rows)
        EXPECT_EQ(
            intl__strblist(row.buf, row.bufsize, row.text, row.textlen, row.args, row.numargs),
            row.code);
    EXPECT_EQ(intl_strblist(buf, 8, nullptr, &arg, 1), INTL_E_NOTEXT);
    EXPECT_EQ(intl_strblist(buf, 8, "", &arg, 1), INTL_E_NOTEXT);
}

TEST(Formatter, TextAndDoubledPercentNeedRoomForTheTerminator) {
    const struct {
        const char *text;
        INTL_INT bufsize;
        INTL_INT code;
        const char *expected;
    } rows[] = {
        {"abc", 4, 3, "abc"}, {"abc", 3, INTL_E_OVERFLOW, ""},  {"abc", 1, INTL_E_OVERFLOW, ""},
        {"%%%%", 3, 2, "%%"}, {"%%%%", 2, INTL_E_OVERFLOW, ""}, {"100%% sure", 10, 9, "100% sure"},
    };
    for (const auto &row : rows) {
        const Result result = format_in(row.bufsize, row.text, {});
        EXPECT_EQ(result.code, row.code) << row.text << " in " << row.bufsize;
        EXPECT_EQ(result.text, row.expected) << row.text;
    }
}

TEST(Formatter, TemplateIsReadOnlyUpToItsLength) {
    char buf[16];
    const INTL_ARGVAL arg = of_int("%d", 7);
    EXPECT_EQ(intl__strblist(buf, sizeof buf, "ab%1!zz", 5, &arg, 1), 3);
    EXPECT_STREQ(buf, "ab7");
    EXPECT_EQ(intl__strblist(buf, sizeof buf, "ab%", 3, &arg, 1), INTL_E_PLACEHOLDER);
}

TEST(Formatter, PlaceholderNumbers) {
    std::vector<INTL_ARGVAL> args;
    for (INTL_INT n = 1; n <= 209; ++n)
        args.push_back(of_int("%d", n));
    const struct {
        const char *text;
        INTL_INT numargs;
        INTL_INT code; // 0: success
        const char *expected;
    } rows[] = {
        {"%0!", 30, INTL_E_PLACEHOLDER, ""},
        {"%a!", 30, INTL_E_PLACEHOLDER, ""},
        {"ab%", 30, INTL_E_PLACEHOLDER, ""},
        {"%01!", 30, 0, "1"},
        {"%0000002!", 30, 0, "2"},
        {"%1x", 30, 0, "1"},
        {"%1", 30, 0, "1"},
        {"[%1%]", 30, 0, "[1]"},
        {"%25!", 30, 0, "25"},
        {"%25!", 20, INTL_E_PLACEHOLDER, ""},
        {"%21!", 20, INTL_E_PLACEHOLDER, ""},
        {"%123!", 130, 0, "123"},
        {"%2345!", 30, 0, "235!"},
        {"%2099!", 209, 0, "209!"},
        {"%3!%1!%2!", 3, 0, "312"},
        {"%1!%1!", 1, 0, "11"},
        {"%%1!", 1, 0, "%1!"},
    };
    for (const auto &row : rows) {
        const std::vector<INTL_ARGVAL> used(args.begin(), args.begin() + row.numargs);
        const Result result = format(row.text, used);
        if (row.code < 0) {
            EXPECT_EQ(result.code, row.code) << row.text;
        } else {
            EXPECT_EQ(result.text, row.expected) << row.text;
        }
    }
}

TEST(Formatter, PlaceholderNeedsMoreThanTheTerminatorsByte) {
    const std::vector<INTL_ARGVAL> empty = {of_ptr("%s", "")};
    EXPECT_EQ(format_in(3, "ab%1!", empty).code, INTL_E_OVERFLOW);
    EXPECT_EQ(format_in(4, "ab%1!", empty).text, "ab");
    EXPECT_EQ(format_in(3, "ab%%", {}).code, INTL_E_OVERFLOW);

    const std::vector<INTL_ARGVAL> number = {of_int("%d", 12345)};
    EXPECT_EQ(format_in(6, "%1!", number).text, "12345");
    EXPECT_EQ(format_in(5, "%1!", number).code, INTL_E_OVERFLOW);
}

TEST(Formatter, FailureLeavesTheBufferUnterminated) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(intl_strblist(buf, 4, "abcdef", nullptr, 0), INTL_E_NOARGVAL);
    EXPECT_EQ(std::string(buf, 8), "########");
    const INTL_ARGVAL arg = of_int("%d", 1);
    EXPECT_EQ(intl_strblist(buf, 4, "abcdef", &arg, 0), INTL_E_OVERFLOW);
    EXPECT_EQ(std::string(buf, 8), "abc#####");
}

TEST(Formatter, StandardConversionsByTypeCode) {
    const struct {
        INTL_ARGVAL arg;
        const char *expected;
    } rows[] = {
        {of_type<std::int16_t>("%d", INTL_T_SHORT, -1), "-1"},
        {of_type<std::int16_t>("%u", INTL_T_SHORT, -1), "4294967295"},
        {of_type<std::int16_t>("%hd", INTL_T_SHORT, -2), "-2"},
        {of_type<std::uint16_t>("%d", INTL_T_USHORT, 65535), "65535"},
        {of_type<std::uint16_t>("%hu", INTL_T_USHORT, 65535), "65535"},
        {of_type<std::uint16_t>("%hd", INTL_T_USHORT, 65535), "-1"},
        {of_int("%d", INT32_MIN), "-2147483648"},
        {of_int("%+5i", 42), "  +42"},
        {of_type<INTL_UINT>("%u", INTL_T_UINT, 4294967295u), "4294967295"},
        {of_type<INTL_UINT>("%#x", INTL_T_UINT, 255), "0xff"},
        {of_type<INTL_UINT>("%X", INTL_T_UINT, 255), "FF"},
        {of_type<INTL_UINT>("%o", INTL_T_UINT, 8), "10"},
        // Longs carry 32 bits on every platform, in every conversion.
        {of_type<INTL_LONG>("%ld", INTL_T_LONG, INT32_MIN), "-2147483648"},
        {of_type<INTL_LONG>("%lx", INTL_T_LONG, -1), "ffffffff"},
        {of_type<INTL_LONG>("%lu", INTL_T_LONG, -1), "4294967295"},
        {of_type<INTL_ULONG>("%lu", INTL_T_ULONG, 4294967295u), "4294967295"},
        {of_type<INTL_ULONG>("%ld", INTL_T_ULONG, 4294967295u), "-1"},
        {of_int("%c", 'A'), "A"},
        {of_int("%c", 0), ""},
        {of_int("%3c", 0), "  "},
        {of_int("%lc", 'W'), "W"},
        {of_double("%5.2f", 3.14159), " 3.14"},
        {of_double("%08.3f", -3.14159), "-003.142"},
        {of_double("%lf", 0.5), "0.500000"},
        {of_double("%E", 1500.0), "1.500000E+03"},
        {of_double("%g", 1e-5), "1e-05"},
        {of_ptr("%s", "hello"), "hello"},
        {of_ptr("%-7s", "hello"), "hello  "},
        {of_ptr("%7s", "hello"), "  hello"},
        {of_ptr("%.2s", "hello"), "he"},
        {of_ptr("%ls", L"wide"), "wide"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(format("%1!", {row.arg}).text, row.expected) << row.arg.cvtspec;
}

TEST(Formatter, LongRenderingsAreWholeAndBounded) {
    const std::vector<INTL_ARGVAL> wide = {of_int("%300d", 7)};
    EXPECT_EQ(format_in(400, "%1!", wide).text, std::string(299, ' ') + "7");
    EXPECT_EQ(format_in(301, "%1!", wide).code, 300);
    EXPECT_EQ(format_in(300, "%1!", wide).code, INTL_E_OVERFLOW);

    const std::string long_text(1000, 'q');
    EXPECT_EQ(format_in(2000, "%1!", {of_ptr("%.900s", long_text.c_str())}).text,
              long_text.substr(0, 900));
    EXPECT_EQ(format_in(1001, "%1!", {of_ptr("%s", long_text.c_str())}).text, long_text);
    EXPECT_EQ(format_in(1000, "%1!", {of_ptr("%s", long_text.c_str())}).code, INTL_E_OVERFLOW);
}

TEST(Formatter, StarValuesAreBoundedByTheSpaceLeft) {
    const struct {
        INTL_ARGVAL arg;
        INTL_INT bufsize;
        INTL_INT code; // 0: success
        const char *expected;
    } rows[] = {
        {of_int("%*d", 7, {4}), 5, 0, "   7"},
        {of_int("%*d", 7, {5}), 5, INTL_E_OVERFLOW, ""}, // even though "7" fits
        {of_int("%*d", 7, {-4}), 5, 0, "7   "},          // negative values pass on
        {of_int("%.*d", 7, {3}), 5, 0, "007"},
        {of_double("%*.*f", 3.14159, {8, 3}), 64, 0, "   3.142"},
        {of_double("%*.*f", 3.14159, {3, 9}), 9, INTL_E_OVERFLOW, ""},
        {of_ptr("%.*s", "hello!", {2}), 4, 0, "he"},            // a starred precision cuts first
        {of_ptr("%.2s", "hello!", {}), 4, INTL_E_OVERFLOW, ""}, // a fixed one does not
        {of_ptr("%s", "hello!", {}), 6, INTL_E_OVERFLOW, ""},
        {of_ptr("%s", "hello", {}), 6, 0, "hello"},
        {of_ptr("%-7s", "hi", {}), 6, INTL_E_OVERFLOW, ""},
    };
    for (const auto &row : rows) {
        const Result result = format_in(row.bufsize, "%1!", {row.arg});
        if (row.code < 0) {
            EXPECT_EQ(result.code, row.code) << row.arg.cvtspec;
        } else {
            EXPECT_EQ(result.text, row.expected) << row.arg.cvtspec;
        }
    }
}

TEST(Formatter, StarTestsThenTypeCodeThenStarCount) {
    INTL_ARGVAL three = of_int("%d", 1);
    three.numstars = 3;
    three.stars[0] = three.stars[1] = 0;
    INTL_ARGVAL negative = three;
    negative.numstars = -1;
    INTL_ARGVAL bad_type = three;
    bad_type.value_type = 9;
    INTL_ARGVAL big_star = bad_type;
    big_star.stars[1] = 100;

    EXPECT_EQ(format("%1!", {three}).code, INTL_E_STARS);
    EXPECT_EQ(format("%1!", {negative}).code, INTL_E_STARS);
    EXPECT_EQ(format("%1!", {bad_type}).code, INTL_E_DATATYPE);
    EXPECT_EQ(format_in(50, "%1!", {big_star}).code, INTL_E_OVERFLOW);
    INTL_ARGVAL zero_type = of_int("%d", 1);
    zero_type.value_type = 0;
    EXPECT_EQ(format("%1!", {zero_type}).code, INTL_E_DATATYPE);
}

TEST(Formatter, SpecifierMustDescribeItsRecord) {
    INTL_ARGVAL unterminated = of_int("%", 1);
    std::memset(unterminated.cvtspec + 1, '5', sizeof unterminated.cvtspec - 2);
    unterminated.cvtspec[sizeof unterminated.cvtspec - 1] = 'd';
    INTL_ARGVAL undeclared_star = of_int("%*d", 1);
    INTL_ARGVAL extra_star = of_int("%d", 1, {3});
    const INTL_ARGVAL rows[] = {
        of_int("%d%s", 1), of_int("%d ", 1),  undeclared_star, extra_star,
        of_int("%s", 1),   of_int("%p", 1),   of_int("%f", 1), of_double("%d", 1.0),
        of_ptr("%d", "x"), of_ptr("%e", "x"), of_int("d", 1),  of_int("%%", 1),
        of_int("%y", 1),   of_int("%", 1),    of_int("%5", 1), of_int("", 1),
        of_int("%Lf", 1),  of_int("%hhd", 1), unterminated,
    };
    for (const auto &arg : rows)
        EXPECT_EQ(format("%1!", {arg}).code, INTL_E_FORMATSYNTAX)
            << std::string(arg.cvtspec, strnlen(arg.cvtspec, sizeof arg.cvtspec));
}

TEST(Formatter, PointersAreRenderedWithoutReadingWhatTheyPointTo) {
    const void *bogus = reinterpret_cast<const void *>(std::uintptr_t{0x10});
    EXPECT_EQ(format("%1!", {of_ptr("%p", bogus)}).text, platform("%p", bogus));
    EXPECT_EQ(format("%1!", {of_ptr("%20p", bogus)}).text, platform("%20p", bogus));

    const char *volatile none = nullptr; // not a constant, so no format warning
    for (const char *spec : {"%s", "%10s", "%.3s", "%-8s"})
        EXPECT_EQ(format("%1!", {of_ptr(spec, none)}).text, platform(spec, none)) << spec;
}

TEST(Formatter, CountConversionStoresZeroInTheWidthOfItsSize) {
    int ints[2] = {99, 99};
    short shorts[2] = {99, 99};
    long longs[2] = {99, 99};
    const Result result =
        format("a%1!b%2!c%3!d%4!e", {of_ptr("%n", ints), of_ptr("%hn", shorts),
                                     of_ptr("%ln", longs), of_ptr("%n", nullptr)});
    EXPECT_EQ(result.text, "abcde");
    EXPECT_EQ(ints[0], 0);
    EXPECT_EQ(ints[1], 99);
    EXPECT_EQ(shorts[0], 0);
    EXPECT_EQ(shorts[1], 99);
    EXPECT_EQ(longs[0], 0);
    EXPECT_EQ(longs[1], 99);
}

TEST(Formatter, TemporaryBufferFailureGivesNoMem) {
    int count = 5;
    allocation_calls = 0;
    fail_allocations = true;
    const Result number = format("%1!", {of_int("%d", 5)});
    const Result padded = format("%1!", {of_ptr("%5s", "abc")});
    const Result text = format("%1!", {of_ptr("%s", "abc")});
    const Result counted = format("x%1!", {of_ptr("%n", &count)});
    fail_allocations = false;
    ASSERT_EQ(allocation_calls, 2) << "comn_malloc was not replaced";
    EXPECT_EQ(number.code, INTL_E_NOMEM);
    EXPECT_EQ(padded.code, INTL_E_NOMEM);
    // A plain text and a count render nothing through snprintf.
    EXPECT_EQ(text.text, "abc");
    EXPECT_EQ(counted.text, "x");
}

// ---------------------------------------------------------- custom routines

class CustomRoutines : public ::testing::Test {
  protected:
    void SetUp() override { calls.clear(); }

    static INTL_ARGVAL custom(const INTL_FMT &entry, INTL_INT type) {
        INTL_ARGVAL arg{};
        arg.custom = &entry;
        arg.value_type = type;
        return arg;
    }
};

TEST_F(CustomRoutines, SizingCallThenWritingCallWithTheValueAddress) {
    CvtList list(2);
    list.install("amt", INTL_T_INT, echo<INTL_INT>);
    list.install("txt", INTL_T_PTR, echo<const char *>);
    std::vector<INTL_ARGVAL> args = {custom(list.entry(0), INTL_T_INT),
                                     custom(list.entry(1), INTL_T_PTR)};
    args[0].value.int_val = 42;
    args[0].numstars = 7; // neither stars nor cvtspec matter to a routine
    const char *word = "word";
    args[1].value.ptr_val = const_cast<char *>(word);

    EXPECT_EQ(format("x%1!y%2!", args).text, "x<amt:42>y<txt:word>");
    ASSERT_EQ(calls.size(), 4u);
    const void *union_address = &args[0].value;
    EXPECT_EQ(calls[0].fmt, "amt");
    EXPECT_EQ(calls[0].value, union_address);
    EXPECT_FALSE(calls[0].writing);
    EXPECT_EQ(calls[1].value, union_address);
    EXPECT_TRUE(calls[1].writing);
    EXPECT_EQ(calls[2].value, word); // type 7: the pointer itself
    EXPECT_EQ(calls[3].value, word);
}

TEST_F(CustomRoutines, SizingDecidesWhetherTheTextFits) {
    CvtList list(2);
    list.install("amt", INTL_T_INT, echo<INTL_INT>);
    list.install("big", INTL_T_INT, oversized);
    INTL_ARGVAL amount = custom(list.entry(0), INTL_T_INT);
    amount.value.int_val = 5;
    EXPECT_EQ(format_in(8, "%1!", {amount}).text, "<amt:5>");
    EXPECT_EQ(format_in(7, "%1!", {amount}).code, INTL_E_OVERFLOW);

    calls.clear();
    EXPECT_EQ(format_in(500, "%1!", {custom(list.entry(1), INTL_T_INT)}).code, INTL_E_OVERFLOW);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].writing);
}

TEST_F(CustomRoutines, FailuresOfTheRecordOrTheRoutine) {
    CvtList list(2);
    list.install("fail", INTL_T_INT, failing);
    list.install("overrun", INTL_T_INT, unterminated);
    INTL_FMT no_routine{INTL_T_INT, nullptr, "none"};
    const struct {
        INTL_ARGVAL arg;
        INTL_INT code;
    } rows[] = {
        {custom(list.entry(0), INTL_T_INT), -5}, // passed on unchanged
        {custom(list.entry(0), 0), INTL_E_DATATYPE},
        {custom(list.entry(0), 9), INTL_E_DATATYPE},
        {custom(no_routine, INTL_T_INT), INTL_E_NOCONVERT},
        {custom(list.entry(1), INTL_T_INT), INTL_E_OVERFLOW},
    };
    for (const auto &row : rows)
        EXPECT_EQ(format_in(8, "%1!", {row.arg}).code, row.code) << row.arg.custom->fmt;
}

// ======================================================= variadic builder

TEST(Builder, TemplateWithoutPlaceholdersReadsNoFormats) {
    const struct {
        const char *text;
        const char *formats;
        const char *expected;
    } rows[] = {
        {"plain", nullptr, "plain"},          {"plain", "", "plain"},  {"plain", "%d%s", "plain"},
        {"100%% sure", nullptr, "100% sure"}, {"%%%%", nullptr, "%%"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(build(nullptr, row.text, row.formats).text, row.expected) << row.text;
}

TEST(Builder, ChecksInOrder) {
    const struct {
        const char *text;
        INTL_INT bufsize;
        const char *formats;
        INTL_INT code;
    } rows[] = {
        {nullptr, 0, nullptr, INTL_E_NOTEXT},  {"x", 0, nullptr, INTL_E_BUFLEN},
        {"x", -1, nullptr, INTL_E_BUFLEN},     {"", 8, nullptr, INTL_E_NOTEXT},
        {"%1!", 8, nullptr, INTL_E_NOFORMATS}, {"%1!", 8, "", INTL_E_NOFORMATS},
        {"50%", 8, nullptr, INTL_E_NOFORMATS}, {"%1!", 8, "%q", INTL_E_PLACEHOLDER},
    };
    for (const auto &row : rows)
        EXPECT_EQ(build_in(nullptr, row.bufsize, row.text, row.formats).code, row.code)
            << (row.text ? row.text : "null");
    EXPECT_EQ(intl_strbuild(nullptr, static_cast<char *>(nullptr), 8, "x", nullptr),
              INTL_E_NULLBUF);
}

TEST(Builder, StandardSpecifiersRenderAsWritten) {
    const struct {
        const char *formats;
        double value;
        const char *expected;
    } doubles[] = {
        {"%5.2f", 3.14159, " 3.14"},
        {"%10.2f", 3.14159, "      3.14"},
        {"%08.3f", 3.14159, "0003.142"},
        {"%lf", 0.25, "0.250000"},
        {"%G", 0.5, "0.5"},
    };
    for (const auto &row : doubles)
        EXPECT_EQ(build(nullptr, "%1!", row.formats, row.value).text, row.expected) << row.formats;
    EXPECT_EQ(build(nullptr, "[%1!]", "%-10s", "left").text, "[left      ]");
    EXPECT_EQ(build(nullptr, "%1!", "%.10s", "truncated text").text, "truncated ");
    EXPECT_EQ(build(nullptr, "%1!", "%*.*f", 8, 3, 3.14159).text, "   3.142");
    EXPECT_EQ(build(nullptr, "[%1!]", "%-*d", 4, 7).text, "[7   ]");
    EXPECT_EQ(build(nullptr, "%2!%1!", "%d%%%s", 3, "x").text, "x3");
    EXPECT_EQ(build(nullptr, "%1!", "%c", 'z').text, "z");
    EXPECT_EQ(build_in(nullptr, 10, "%1!", "%*d", 50, 1).code, INTL_E_OVERFLOW);
}

TEST(Builder, SizeLettersKeepTheBitsOfTheirType) {
    EXPECT_EQ(build(nullptr, "%1!", "%hd", 0x12345).text, "9029");
    EXPECT_EQ(build(nullptr, "%1!", "%hu", -1).text, "65535");
    EXPECT_EQ(build(nullptr, "%1!", "%hx", 0xABCDEF).text, "cdef");
    // A C long may be 64 bits wide; only its low 32 bits are the value.
    EXPECT_EQ(build(nullptr, "%1!", "%ld", static_cast<long>(0x100000005LL)).text, "5");
    EXPECT_EQ(build(nullptr, "%1!", "%ld", static_cast<long>(-7)).text, "-7");
    EXPECT_EQ(build(nullptr, "%1!", "%lx", static_cast<unsigned long>(0x1FFFFFFFFULL)).text,
              "ffffffff");
    EXPECT_EQ(build(nullptr, "%1!", "%lu", static_cast<unsigned long>(4294967295u)).text,
              "4294967295");
}

TEST(Builder, SkippedSpecifiersWithoutAConversionList) {
    // Unknown letters are passed over where they stand and take no value.
    EXPECT_EQ(build(nullptr, "%1!", "%y%d", 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", "%Lf%d", 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", "%-+5d%d", 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", "%y%%%d", 7).text, "7");
    // Their stars were still taken.
    EXPECT_EQ(build(nullptr, "%1!", "%*y%d", 9, 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", "%5%%d", 7).text, "7");
}

TEST(Builder, FormatsEndingInsideASpecifierStopReading) {
    for (const char *formats : {"%d%", "%d%-", "%d%5.", "%d%l", "%d%*"})
        EXPECT_EQ(build(nullptr, "%1!%2!", formats, 1, 2).code, INTL_E_PLACEHOLDER) << formats;
    EXPECT_EQ(build(nullptr, "%1!", "%d%*", 1, 2).text, "1");
}

class CustomSpecifiers : public ::testing::Test {
  protected:
    CustomSpecifiers() : list(8) {
        list.install("amount", INTL_T_INT, echo<INTL_INT>);
        list.install("abel", INTL_T_INT, echo<INTL_INT>);
        list.install("Lf", INTL_T_DOUBLE, echo<double>);
        list.install("", INTL_T_INT, echo<INTL_INT>);
        list.install(name20, INTL_T_INT, echo<INTL_INT>);
        list.install("bad", 9, echo<INTL_INT>);
        list.install("y", INTL_T_INT, echo<INTL_INT>);
    }
    CvtList list;
};

TEST_F(CustomSpecifiers, NamesEndAtWhiteSpaceOrPunctuation) {
    const INTL_CVTLIST *cvt = list.get();
    EXPECT_EQ(build(cvt, "%1!", "%amount.", 5).text, "<amount:5>");
    EXPECT_EQ(build(cvt, "%1!|%2!", "%amount %d", 5, 6).text, "<amount:5>|6");
    EXPECT_EQ(build(cvt, "%2!-%1!", "%amount%d", 5, 6).text, "6-<amount:5>");
    EXPECT_EQ(build(cvt, "%1!", "%Lf", 2.5).text, "<Lf:2.500000>");
    // Flags, width, precision and size letters are not part of the name.
    EXPECT_EQ(build(cvt, "%1!", "%-8.3amount", 5).text, "<amount:5>");
    EXPECT_EQ(build(cvt, "%1!", "%label", 3).text, "<abel:3>");
    EXPECT_EQ(build(cvt, "%1!", "%hour", 8).text, "10"); // %ho, then plain "ur"
    // Punctuation right after the grammar leaves an empty name.
    EXPECT_EQ(build(cvt, "%1!", "%(", 9).text, "<:9>");
    EXPECT_EQ(build(cvt, "%1!", "%-+5d", 4).text, "<:4>");
    EXPECT_EQ(build(cvt, "%1!", "%*.*amount", 1, 2, 5).text, "<amount:5>");
}

TEST_F(CustomSpecifiers, NameLengthLookupAndTypeFailures) {
    const INTL_CVTLIST *cvt = list.get();
    EXPECT_EQ(build(cvt, "%1!", (std::string("%") + name20).c_str(), 1).text,
              std::string("<") + name20 + ":1>");
    EXPECT_EQ(build(cvt, "%1!", (std::string("%") + name21).c_str(), 1).code, INTL_E_CUSTOMLONG);
    EXPECT_EQ(build(cvt, "%1!", "%q", 1).code, INTL_E_NOCUSTOM);
    EXPECT_EQ(build(cvt, "%1!", "%bad", 1).code, INTL_E_DATATYPE);
    // The formats string is read left to right: the first fault decides.
    EXPECT_EQ(build(cvt, "%1!", "%q%bad", 1).code, INTL_E_NOCUSTOM);
    EXPECT_EQ(build(cvt, "%1!", "%bad%q", 1).code, INTL_E_DATATYPE);

    CvtList fresh(1);
    EXPECT_EQ(build(fresh.get(), "%1!", "%y", 1).code, INTL_E_NOCUSTOM);
}

TEST_F(CustomSpecifiers, ValuesArePulledByTheEntryType) {
    CvtList typed(8);
    typed.install("S16", INTL_T_SHORT, echo<std::int16_t>);
    typed.install("U16", INTL_T_USHORT, echo<std::uint16_t>);
    typed.install("I32", INTL_T_INT, echo<INTL_INT>);
    typed.install("U32", INTL_T_UINT, echo<INTL_UINT>);
    typed.install("L32", INTL_T_LONG, echo<INTL_LONG>);
    typed.install("UL32", INTL_T_ULONG, echo<INTL_ULONG>);
    typed.install("TXT", INTL_T_PTR, echo<const char *>);
    typed.install("DBL", INTL_T_DOUBLE, echo<double>);
    const Result result = build(typed.get(), "%1! %2! %3! %4! %5! %6! %7! %8!",
                                "%S16 %U16 %I32 %U32 %L32 %UL32 %TXT %DBL", 0x12345, -1, -7,
                                4000000000u, static_cast<long>(0x100000007LL),
                                static_cast<unsigned long>(0x1FFFFFFFFULL), "text", 2.5);
    EXPECT_EQ(result.text, "<S16:9029> <U16:65535> <I32:-7> <U32:4000000000> <L32:7> "
                           "<UL32:4294967295> <TXT:text> <DBL:2.500000>");
}

TEST_F(CustomSpecifiers, SpecifierTextLimitAppliesToStandardSpecifiersOnly) {
    const std::string twenty = "%" + std::string(17, '0') + "5d";
    const std::string twenty_one = "%" + std::string(18, '0') + "5d";
    const std::string digits = "%" + std::string(30, '0');
    EXPECT_EQ(build(nullptr, "%1!", twenty.c_str(), 7).text, "00007");
    EXPECT_EQ(build(nullptr, "%1!", twenty_one.c_str(), 7).code, INTL_E_FORMATSYNTAX);
    EXPECT_EQ(build(nullptr, "%1!", (digits + "y%d").c_str(), 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", (digits + "%%d").c_str(), 7).text, "7");
    EXPECT_EQ(build(list.get(), "%1!", (digits + "y").c_str(), 7).text, "<y:7>");
}

TEST(Builder, TwentyRecordsAtMost) {
    std::string formats;
    for (int i = 0; i < 20; ++i)
        formats += "%d";
    EXPECT_EQ(build(nullptr, "%1!-%20!", formats.c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                    14, 15, 16, 17, 18, 19, 20)
                  .text,
              "1-20");
    for (const char *extra : {"%d", "%%", "%", "%y"})
        EXPECT_EQ(build(nullptr, "%1!", (formats + extra).c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                        11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21)
                      .code,
                  INTL_E_OVERFLOW)
            << extra;
    EXPECT_EQ(build(nullptr, "%21!", (formats + "x").c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                    13, 14, 15, 16, 17, 18, 19, 20)
                  .code,
              INTL_E_PLACEHOLDER);
}

TEST(Builder, TranslatedTemplateReordersArgumentsOfDifferentTypes) {
    const char *formats = "%s%d%.1f";
    EXPECT_EQ(build(nullptr, "%1! copied %2! files (%3!%%)", formats, "alice", 12, 99.5).text,
              "alice copied 12 files (99.5%)");
    EXPECT_EQ(
        build(nullptr, "%3!%% - %2! Dateien von %1! kopiert", formats, "alice", 12, 99.5).text,
        "99.5% - 12 Dateien von alice kopiert");
}

TEST(Builder, CountAndPointerConversions) {
    int count = 99;
    short short_count = 99;
    long long_count = 99;
    EXPECT_EQ(build(nullptr, "a%1!b%2!c%3!", "%n%hn%ln", &count, &short_count, &long_count).text,
              "abc");
    EXPECT_EQ(count, 0);
    EXPECT_EQ(short_count, 0);
    EXPECT_EQ(long_count, 0);
    const void *bogus = reinterpret_cast<const void *>(std::uintptr_t{0x20});
    EXPECT_EQ(build(nullptr, "%1!", "%p", bogus).text, platform("%p", bogus));
}

TEST(Builder, CountedStringsAreReadOnlyUpToTheirLengths) {
    char buf[32];
    EXPECT_EQ(cbuild(nullptr, buf, sizeof buf, "ab%1!cd", 5, "%dzz", 2, 7), 3);
    EXPECT_STREQ(buf, "ab7");
    // A NUL inside the formats string ends a custom name, or is skipped.
    CvtList list(1);
    list.install("", INTL_T_INT, echo<INTL_INT>);
    EXPECT_EQ(cbuild(list.get(), buf, sizeof buf, "%1!", 3, "%\0", 2, 5), 4);
    EXPECT_STREQ(buf, "<:5>");
    EXPECT_EQ(cbuild(nullptr, buf, sizeof buf, "%1!", 3, "%\0%d", 4, 5), 1);
    EXPECT_STREQ(buf, "5");
    EXPECT_EQ(cbuild(nullptr, buf, sizeof buf, "%1!", -1, "%d", 2, 5), INTL_E_NOTEXT);
    EXPECT_EQ(cbuild(nullptr, buf, sizeof buf, "%1!", 3, "%d", 0, 5), INTL_E_NOFORMATS);
}

} // namespace
