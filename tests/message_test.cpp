// Message builder: custom format lists, the argument-list formatter and the
// variadic builder.
#include <intl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

// The library allocates through comn_malloc; this definition takes its place
// in the process so that a test can make the temporary buffer unavailable.
namespace {
bool fail_allocations = false;
int allocation_calls = 0;
} // namespace

extern "C" void *comn_malloc(INTL_UINT size) {
    ++allocation_calls;
    return fail_allocations ? nullptr : std::malloc(size);
}

namespace {

struct Result {
    INTL_INT code;
    std::string text; // the message, when code is 0 or more
};

// Runs a build into bufsize bytes followed by guard bytes; on success the
// result must be the length of the message.
template <class Run> Result run_into(INTL_INT bufsize, Run run) {
    std::vector<char> buf(static_cast<std::size_t>(std::max(bufsize, 1)) + 16, '#');
    Result result{run(buf.data()), {}};
    if (result.code >= 0) {
        result.text = buf.data();
        EXPECT_EQ(static_cast<std::size_t>(result.code), result.text.size());
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

Result format(const char *text, const std::vector<INTL_ARGVAL> &args, INTL_INT bufsize = 256) {
    static const INTL_ARGVAL none{};
    const INTL_ARGVAL *records = args.empty() ? &none : args.data();
    return run_into(bufsize, [&](char *buf) {
        return intl_strblist(buf, bufsize, text, records, static_cast<INTL_INT>(args.size()));
    });
}

// A standard record holding value as type; specifier is cut, unterminated, at the
// field's size.
template <class T>
INTL_ARGVAL arg(const char *specifier, INTL_INT type, T value,
                std::initializer_list<INTL_INT> stars = {}) {
    INTL_ARGVAL rec{};
    rec.value_type = type;
    std::memcpy(rec.cvtspec, specifier, std::min(std::strlen(specifier), sizeof rec.cvtspec));
    for (INTL_INT star : stars)
        rec.stars[rec.numstars++] = star;
    std::memcpy(&rec.value, &value, sizeof value);
    return rec;
}

INTL_ARGVAL of_int(const char *specifier, INTL_INT value,
                   std::initializer_list<INTL_INT> stars = {}) {
    return arg(specifier, INTL_T_INT, value, stars);
}

INTL_ARGVAL of_ptr(const char *specifier, const void *value,
                   std::initializer_list<INTL_INT> stars = {}) {
    return arg(specifier, INTL_T_PTR, value, stars);
}

// What the C library's own formatter makes of one pointer value.
std::string platform(const char *specifier, const void *value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, specifier, value);
    return buf;
}

struct Call {
    std::string fmt;
    const void *value;
    bool writing;
};
std::vector<Call> calls;

// Records its call and writes "<name:value>", reading the value as T.
template <class T> INTL_INT echo(const char *fmt, void *value, char *out) {
    calls.push_back({fmt, value, out != nullptr});
    std::string shown;
    if constexpr (std::is_pointer_v<T>)
        shown = static_cast<const char *>(value);
    else
        shown = std::to_string(*static_cast<const T *>(value));
    std::string text = "<";
    text.append(fmt).append(":").append(shown).append(">");
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

// Announces one character, then fills eight bytes without a terminator.
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

// ------------------------------------------------------------ custom list

TEST(CvtList, SizeCountsEveryEntryAndRefusesImpossibleCounts) {
    EXPECT_EQ(intl_fmtsize(1), static_cast<INTL_INT>(sizeof(INTL_CVTLIST)));
    EXPECT_EQ(intl_fmtsize(5), static_cast<INTL_INT>(sizeof(INTL_CVTLIST) + 4 * sizeof(INTL_FMT)));
    for (INTL_INT count : {0, -1, INT32_MIN, INT32_MAX / 8, INT32_MAX})
        EXPECT_EQ(intl_fmtsize(count), INTL_E_LISTSIZE) << count;
}

TEST(CvtList, InstallChecksListNameRoutineThenNameLength) {
    CvtList list(1);
    EXPECT_EQ(intl_fmtinstall(nullptr, nullptr, INTL_T_INT, nullptr), INTL_E_NOCVTLIST);
    EXPECT_EQ(intl_fmtinstall(list.get(), nullptr, INTL_T_INT, nullptr), INTL_E_NOFORMATS);
    EXPECT_EQ(intl_fmtinstall(list.get(), name21, INTL_T_INT, nullptr), INTL_E_NOCONVERT);
    EXPECT_EQ(intl_fmtinstall(list.get(), name21, INTL_T_INT, echo<INTL_INT>), INTL_E_CUSTOMLONG);
    EXPECT_EQ(list.get()->listcount, 0);
}

TEST(CvtList, NamesAreStoredWholeAndTheFirstOfTwinsWins) {
    CvtList list(4);
    list.install(name20, 42, echo<INTL_INT>); // any type code is accepted here
    list.install("", INTL_T_INT, echo<INTL_INT>);
    list.install("amt", INTL_T_INT, echo<INTL_INT>);
    list.install("amt", INTL_T_INT, oversized);
    EXPECT_EQ(list.get()->listcount, 4);
    EXPECT_STREQ(list.entry(0).fmt, name20);
    EXPECT_EQ(list.entry(0).argtype, 42);
    EXPECT_STREQ(list.entry(1).fmt, "");
    EXPECT_EQ(build(list.get(), "%1!", "%amt", 7).text, "<amt:7>");
}

// -------------------------------------------------------------- formatter

TEST(Formatter, ArgumentChecksInOrder) {
    char buf[8];
    const INTL_ARGVAL one = of_int("%d", 1);
    EXPECT_EQ(intl__strblist(nullptr, 0, nullptr, 0, nullptr, -1), INTL_E_NULLBUF);
    EXPECT_EQ(intl__strblist(buf, 0, nullptr, 0, nullptr, -1), INTL_E_BUFLEN);
    EXPECT_EQ(intl__strblist(buf, 8, nullptr, 1, nullptr, -1), INTL_E_NOTEXT);
    EXPECT_EQ(intl__strblist(buf, 8, "x", 0, nullptr, -1), INTL_E_NOTEXT);
    EXPECT_EQ(intl__strblist(buf, 8, "x", 1, nullptr, -1), INTL_E_NOARGVAL);
    EXPECT_EQ(intl__strblist(buf, 8, "x", 1, &one, -1), INTL_E_NEGARGS);
    EXPECT_EQ(intl_strblist(buf, 8, nullptr, &one, 1), INTL_E_NOTEXT);
    EXPECT_EQ(intl_strblist(buf, 8, "", &one, 1), INTL_E_NOTEXT);
}

TEST(Formatter, EveryPieceLeavesTheTerminatorsByte) {
    const std::vector<INTL_ARGVAL> none, empty = {of_ptr("%s", "")}, number = {of_int("%d", 12345)};
    const struct {
        const char *text;
        const std::vector<INTL_ARGVAL> &args;
        INTL_INT bufsize;
        INTL_INT code;
    } rows[] = {
        // clang-format off
        {"abc", none, 4, 3},   {"abc", none, 3, INTL_E_OVERFLOW}, {"abc", none, 1, INTL_E_OVERFLOW},
        {"%%%%", none, 3, 2},  {"%%%%", none, 2, INTL_E_OVERFLOW},
        {"ab%1!", empty, 4, 2}, {"ab%1!", empty, 3, INTL_E_OVERFLOW}, // even for nothing
        {"%1!", number, 6, 5}, {"%1!", number, 5, INTL_E_OVERFLOW},
        // clang-format on
    };
    for (const auto &row : rows)
        EXPECT_EQ(format(row.text, row.args, row.bufsize).code, row.code)
            << row.text << " in " << row.bufsize;

    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(intl_strblist(buf, 4, "abcdef", &empty[0], 1), INTL_E_OVERFLOW);
    EXPECT_EQ(std::string(buf, 8), "abc#####"); // left unterminated
}

TEST(Formatter, PlaceholderNumbers) {
    std::vector<INTL_ARGVAL> args;
    for (INTL_INT n = 1; n <= 209; ++n)
        args.push_back(of_int("%d", n));
    const struct {
        const char *text;
        INTL_INT numargs;
        const char *expected; // null: illegal placeholder
    } rows[] = {
        // clang-format off
        {"%0!", 30, nullptr},  {"%a!", 30, nullptr},   {"ab%", 30, nullptr},
        {"%25!", 20, nullptr}, {"%21!", 20, nullptr},  {"%01!", 30, "1"},
        {"%0000002!", 30, "2"}, {"%1x", 30, "1"},      {"%1", 30, "1"},
        {"[%1%]", 30, "[1]"},  {"%25!", 30, "25"},     {"%123!", 130, "123"},
        {"%2345!", 30, "235!"}, {"%201!", 209, "201"}, {"%2099!", 209, "209!"}, {"%3!%1!%2!", 3, "312"},
        {"%1!%1!", 1, "11"},   {"%%1!", 1, "%1!"},     {"100%% sure", 0, "100% sure"},
        // clang-format on
    };
    for (const auto &row : rows) {
        const Result result =
            format(row.text, std::vector<INTL_ARGVAL>(args.begin(), args.begin() + row.numargs));
        if (row.expected == nullptr)
            EXPECT_EQ(result.code, INTL_E_PLACEHOLDER) << row.text;
        else
            EXPECT_EQ(result.text, row.expected) << row.text;
    }
}

TEST(Formatter, StandardConversionsByTypeCode) {
    const struct {
        INTL_ARGVAL rec;
        const char *expected;
    } rows[] = {
        // clang-format off
        {arg<std::int16_t>("%d", INTL_T_SHORT, -1), "-1"},
        {arg<std::int16_t>("%u", INTL_T_SHORT, -1), "4294967295"},
        {arg<std::uint16_t>("%d", INTL_T_USHORT, 65535), "65535"},
        {arg<std::uint16_t>("%hd", INTL_T_USHORT, 65535), "-1"},
        {of_int("%+5i", 42), "  +42"},
        {of_int("% d", 42), " 42"}, {of_int("% d", -42), "-42"},
        {arg<INTL_UINT>("%#x", INTL_T_UINT, 255), "0xff"},
        // Longs are 32 bits on every platform, in every conversion.
        {arg<INTL_LONG>("%ld", INTL_T_LONG, INT32_MIN), "-2147483648"},
        {arg<INTL_LONG>("%lx", INTL_T_LONG, -1), "ffffffff"},
        {arg<INTL_ULONG>("%lu", INTL_T_ULONG, 4294967295u), "4294967295"},
        {arg<INTL_ULONG>("%ld", INTL_T_ULONG, 4294967295u), "-1"},
        {of_int("%c", 'A'), "A"}, {of_int("%c", 0), ""}, {of_int("%3c", 0), "  "},
        {of_int("%lc", 'W'), "W"},
        {arg("%08.3f", INTL_T_DOUBLE, -3.14159), "-003.142"},
        {arg("%E", INTL_T_DOUBLE, 1500.0), "1.500000E+03"},
        {of_ptr("%-7s", "hello"), "hello  "}, {of_ptr("%.2s", "hello"), "he"},
        {of_ptr("%ls", L"wide"), "wide"},
        // Several flags, as C takes them.
        {of_int("%-+5d", 42), "+42  "}, {arg<INTL_UINT>("%#-8x", INTL_T_UINT, 255), "0xff    "},
        {arg("% -8e", INTL_T_DOUBLE, -1.5), "-1.500000e+00"},
        {arg("%+ 4E", INTL_T_DOUBLE, 2.0), "+2.000000E+00"}, {of_int("%-05d", 7), "7    "},
        // clang-format on
    };
    for (const auto &row : rows)
        EXPECT_EQ(format("%1!", {row.rec}).text, row.expected) << row.rec.cvtspec;

    const std::string long_text(1000, 'q');
    EXPECT_EQ(format("%1!", {of_int("%300d", 7)}, 400).text, std::string(299, ' ') + "7");
    EXPECT_EQ(format("%1!", {of_int("%300d", 7)}, 300).code, INTL_E_OVERFLOW);
    EXPECT_EQ(format("%1!", {of_ptr("%.900s", long_text.c_str())}, 2000).text,
              long_text.substr(0, 900));
    EXPECT_EQ(format("%1!", {of_ptr("%s", long_text.c_str())}, 1001).text, long_text);
}

TEST(Formatter, StarValuesAndTextLengthsAreTestedAgainstTheSpaceLeft) {
    const struct {
        INTL_ARGVAL rec;
        INTL_INT bufsize;
        const char *expected; // null: overflow
    } rows[] = {
        // clang-format off
        {of_int("%*d", 7, {4}), 5, "   7"},
        {of_int("%*d", 7, {5}), 5, nullptr},   // though "7" itself fits
        {of_int("%*d", 7, {-4}), 5, "7   "},   // negative values pass on
        {arg("%*.*f", INTL_T_DOUBLE, 3.14159, {8, 3}), 64, "   3.142"},
        {arg("%*.*f", INTL_T_DOUBLE, 3.14159, {3, 9}), 9, nullptr},
        {of_ptr("%.*s", "hello!", {2}), 4, "he"}, // a starred precision cuts first
        {of_ptr("%.2s", "hello!"), 4, nullptr},   // a fixed one is measured first
        {of_ptr("%s", "hello!"), 6, nullptr},     {of_ptr("%s", "hello"), 6, "hello"},
        {of_ptr("%-7s", "hi"), 6, nullptr},
        // clang-format on
    };
    for (const auto &row : rows) {
        const Result result = format("%1!", {row.rec}, row.bufsize);
        if (row.expected == nullptr)
            EXPECT_EQ(result.code, INTL_E_OVERFLOW) << row.rec.cvtspec;
        else
            EXPECT_EQ(result.text, row.expected) << row.rec.cvtspec;
    }

    // Star tests come first, then the type code, then the star count.
    INTL_ARGVAL three = of_int("%d", 1, {0, 0});
    three.numstars = 3;
    INTL_ARGVAL bad_type = three;
    bad_type.value_type = 9;
    INTL_ARGVAL big_star = bad_type;
    big_star.stars[1] = 100;
    EXPECT_EQ(format("%1!", {three}).code, INTL_E_STARS);
    EXPECT_EQ(format("%1!", {bad_type}).code, INTL_E_DATATYPE);
    EXPECT_EQ(format("%1!", {big_star}, 50).code, INTL_E_OVERFLOW);
    three.numstars = -1;
    EXPECT_EQ(format("%1!", {three}).code, INTL_E_STARS);
}

// Found by fuzzing: "%2147483647d" kept the C library padding for seconds
// before the length test refused it. A literal width or a precision that sets
// a minimum length is now measured first, as star values are; a precision
// that only bounds the text passes on, lowered for g where it cannot matter.
TEST(Formatter, HugeLiteralWidthsAndPrecisionsAreRefusedBeforeRendering) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        INTL_ARGVAL rec;
        const char *expected; // null: overflow
    } rows[] = {
        // clang-format off
        {of_int("%2147483647d", 7), nullptr},
        {of_int("%-99999999999999u", 7), nullptr}, // past 32 bits
        {of_int("%.2147483647x", 7), nullptr},
        {of_int("%20d", 7), nullptr},
        {of_int("%19d", 7), "                  7"},
        {arg("%.2147483647f", INTL_T_DOUBLE, 1.5), nullptr},
        {arg("%.2147483647e", INTL_T_DOUBLE, 1.5), nullptr},
        {arg("%#.2147483647G", INTL_T_DOUBLE, 1.5), nullptr},
        {arg("%2147483647g", INTL_T_DOUBLE, 1.5), nullptr},
        {arg("%.2147483647f", INTL_T_DOUBLE, inf), "inf"},
        {arg("%.50g", INTL_T_DOUBLE, 1.5), "1.5"},
        {of_ptr("%.2147483647p", "x"), nullptr},
        {of_ptr("%555555555s", "x"), nullptr},
        {of_ptr("%.2147483647s", "text"), "text"},
        {of_int("%.2147483647c", 'c'), "c"},
        // clang-format on
    };
    for (const auto &row : rows) {
        const Result result = format("%1!", {row.rec}, 20);
        if (row.expected == nullptr)
            EXPECT_EQ(result.code, INTL_E_OVERFLOW) << row.rec.cvtspec;
        else
            EXPECT_EQ(result.text, row.expected) << row.rec.cvtspec;
    }
    EXPECT_EQ(build(nullptr, "%1!", "%555555555u", 5u).code, INTL_E_OVERFLOW);

    // Past every significant digit a double has, g renders alike whatever
    // the precision, and is rendered quickly.
    EXPECT_EQ(format("%1!", {arg("%.2147483647g", INTL_T_DOUBLE, 0.1)}, 64).text,
              "0.1000000000000000055511151231257827021181583404541015625");
    EXPECT_EQ(format("%1!", {arg("%-8.99999G", INTL_T_DOUBLE, 1.5)}, 64).text, "1.5     ");
    EXPECT_EQ(format("%1!", {arg("%.1200g", INTL_T_DOUBLE, 5e-324)}, 800).code, 757);
}

TEST(Formatter, SpecifierMustDescribeItsRecord) {
    INTL_ARGVAL unterminated_spec = of_int("%5555555555555555555d", 1);
    INTL_ARGVAL undeclared_star = of_int("%*d", 1);
    const INTL_ARGVAL rows[] = {
        of_int("%d%s", 1),
        of_int("%d ", 1),
        undeclared_star,
        of_int("%d", 1, {3}),
        of_int("%s", 1),
        of_int("%p", 1),
        of_int("%f", 1),
        arg("%d", INTL_T_DOUBLE, 1.0),
        of_ptr("%e", "x"),
        of_int("d", 1),
        of_int("%%", 1),
        of_int("%y", 1),
        of_int("%5", 1),
        of_int("", 1),
        of_int("%hhd", 1),
        unterminated_spec,
        // Flags and sizes C leaves undefined for the letter, and what is not C.
        of_int("%#c", 1),
        of_int("%#d", 1),
        of_int("%hc", 1),
        of_int("%lld", 1),
        arg("%Lf", INTL_T_DOUBLE, 1.0),
        arg("%hf", INTL_T_DOUBLE, 1.0),
        of_ptr("%0s", "x"),
        of_ptr("%lp", "x"),
        of_ptr("%-n", nullptr),
        of_int("%5*d", 1, {1}),
        of_int("%*5d", 1, {1}),
    };
    for (const auto &rec : rows)
        EXPECT_EQ(format("%1!", {rec}).code, INTL_E_FORMATSYNTAX)
            << std::string(rec.cvtspec, strnlen(rec.cvtspec, sizeof rec.cvtspec));
}

// Integers, characters and texts are rendered without the C library; they
// must come out byte for byte as snprintf renders them, with the same
// length test and the same refusals.
TEST(Formatter, RendersAsSnprintfDoes) {
    std::mt19937 random(20261207);
    auto pick = [&](auto... options) {
        const std::array<std::common_type_t<decltype(options)...>, sizeof...(options)> all{
            options...};
        return all[random() % all.size()];
    };
    const std::string long_text(300, 'x');
    for (int round = 0; round < 40000; ++round) {
        const char letter = pick('d', 'i', 'u', 'o', 'x', 'X', 'c', 's');
        const std::string flags = std::strchr("csn", letter) != nullptr   ? "-+ "
                                  : std::strchr("oxX", letter) != nullptr ? "-+ 0#"
                                                                          : "-+ 0";
        std::string spec = "%";
        for (int i = static_cast<int>(random() % 5); i > 0; --i)
            spec += flags[random() % flags.size()];
        std::vector<INTL_INT> stars;
        const INTL_INT star = pick(0, 1, 7, 300, 400, 2000, -1, -9, -300, INT32_MIN);
        switch (random() % 3) {
        case 0:
            spec += std::to_string(1 + random() % 400);
            break;
        case 1:
            spec += "*";
            stars.push_back(star);
            break;
        }
        switch (random() % 4) {
        case 0:
            spec += "." + std::to_string(random() % 400);
            break;
        case 1:
            spec += ".";
            break;
        case 2:
            spec += ".*";
            stars.push_back(pick(0, 1, 5, 6, 300, -1, INT32_MIN));
            break;
        }
        if (letter != 'c' && letter != 's')
            spec += pick("", "", "h", "l");
        spec += letter;

        const std::int64_t number =
            pick(0LL, 1LL, -1LL, 42LL, 65535LL, -32768LL, 0x12345LL, INT32_MIN + 0LL,
                 INT32_MAX + 0LL, UINT32_MAX + 0LL, static_cast<long long>(random()) - (1LL << 31));
        const char *const texts[] = {"", "a", "hello", long_text.c_str(), nullptr};
        const char *text = texts[random() % 5];
        INTL_ARGVAL rec{};
        std::strcpy(rec.cvtspec, spec.c_str());
        rec.numstars = static_cast<INTL_INT>(stars.size());
        std::copy(stars.begin(), stars.end(), rec.stars);
        rec.value_type = letter == 's' ? INTL_T_PTR : static_cast<INTL_INT>(1 + random() % 6);
        switch (rec.value_type) { // each type code keeps what its member holds
        case INTL_T_SHORT:
            rec.value.short_val = static_cast<std::int16_t>(number);
            break;
        case INTL_T_USHORT:
            rec.value.ushort_val = static_cast<std::uint16_t>(number);
            break;
        case INTL_T_INT:
        case INTL_T_LONG:
            rec.value.int_val = static_cast<INTL_INT>(number);
            break;
        case INTL_T_UINT:
        case INTL_T_ULONG:
            rec.value.uint_val = static_cast<INTL_UINT>(number);
            break;
        default:
            rec.value.ptr_val = const_cast<char *>(text);
        }
        const std::int64_t held = rec.value_type == INTL_T_SHORT    ? rec.value.short_val
                                  : rec.value_type == INTL_T_USHORT ? rec.value.ushort_val
                                  : rec.value_type == INTL_T_INT || rec.value_type == INTL_T_LONG
                                      ? rec.value.int_val
                                      : rec.value.uint_val;

        // What the C library makes of the same specifier and value.
        std::vector<char> expected(4096);
        auto c_library = [&](auto value) {
            const char *fmt = spec.c_str();
            return stars.size() == 0 ? std::snprintf(expected.data(), 4096, fmt, value)
                   : stars.size() == 1
                       ? std::snprintf(expected.data(), 4096, fmt, stars[0], value)
                       : std::snprintf(expected.data(), 4096, fmt, stars[0], stars[1], value);
        };
        const bool is_long = spec[spec.size() - 2] == 'l';
        const bool is_signed = std::strchr("dic", letter) != nullptr;
        const bool unnegatable = !stars.empty() && spec[spec.find('*') - 1] != '.' &&
                                 stars[0] == INT32_MIN; // refused: the C library pads for seconds
        const int full =
            unnegatable     ? -1
            : letter == 's' ? c_library(text)
            : is_signed ? (is_long ? c_library(static_cast<long>(static_cast<std::int32_t>(held)))
                                   : c_library(static_cast<int>(held)))
            : is_long   ? c_library(static_cast<unsigned long>(static_cast<std::uint32_t>(held)))
                        : c_library(static_cast<unsigned>(held));
        for (const INTL_INT bufsize : {1024, full, full + 1}) {
            if (bufsize < 2) // a placeholder then never fits
                continue;
            INTL_INT code = full < 0 ? INTL_E_FORMATSYNTAX : full < bufsize ? 0 : INTL_E_OVERFLOW;
            for (const INTL_INT value : stars)
                if (value > bufsize - 1)
                    code = INTL_E_OVERFLOW;
            if (letter == 's' && stars.empty() && text != nullptr &&
                std::strlen(text) > static_cast<std::size_t>(bufsize - 1))
                code = INTL_E_OVERFLOW; // measured whole, whatever the precision
            const Result result = format("%1!", {rec}, bufsize);
            ASSERT_EQ(result.code,
                      code == 0 ? static_cast<INTL_INT>(std::strlen(expected.data())) : code)
                << spec << " with " << held << " in " << bufsize;
            if (code == 0) {
                ASSERT_EQ(result.text, expected.data()) << spec << " with " << held;
            }
        }
    }
}

TEST(Formatter, PointersCountsAndNullTextsAreNeverRead) {
    const void *bogus = reinterpret_cast<const void *>(std::uintptr_t{0x10});
    EXPECT_EQ(format("%1!", {of_ptr("%p", bogus)}).text, platform("%p", bogus));
    EXPECT_EQ(format("%1!", {of_ptr("%20p", bogus)}).text, platform("%20p", bogus));
    const char *volatile none = nullptr; // not a constant, so no format warning
    for (const char *specifier : {"%s", "%10s", "%.3s"})
        EXPECT_EQ(format("%1!", {of_ptr(specifier, none)}).text, platform(specifier, none))
            << specifier;

    int ints[2] = {99, 99};
    short shorts[2] = {99, 99};
    long longs[2] = {99, 99};
    EXPECT_EQ(format("a%1!b%2!c%3!d%4!e", {of_ptr("%n", ints), of_ptr("%hn", shorts),
                                           of_ptr("%ln", longs), of_ptr("%n", nullptr)})
                  .text,
              "abcde");
    EXPECT_EQ(ints[0] + shorts[0] + longs[0], 0);
    EXPECT_EQ(ints[1] + shorts[1] + longs[1], 3 * 99); // each wrote its own width only
}

// Only a rendering longer than any number takes a buffer from the heap.
TEST(Formatter, TemporaryBufferFailureGivesNoMem) {
    allocation_calls = 0;
    fail_allocations = true;
    const Result wide = format("%1!", {arg("%300e", INTL_T_DOUBLE, 1.0)}, 400);
    const Result narrow = format("%1!", {arg("%e", INTL_T_DOUBLE, 1.0)});
    const Result padded = format("%1!", {of_ptr("%300s", "abc")}, 400);
    fail_allocations = false;
    ASSERT_EQ(allocation_calls, 1) << "comn_malloc was not replaced";
    EXPECT_EQ(wide.code, INTL_E_NOMEM);
    EXPECT_EQ(narrow.text, "1.000000e+00");
    EXPECT_EQ(padded.code, 300);
}

class CustomRoutines : public ::testing::Test {
  protected:
    void SetUp() override { calls.clear(); }

    static INTL_ARGVAL custom(const INTL_FMT &entry, INTL_INT type) {
        INTL_ARGVAL rec{};
        rec.custom = &entry;
        rec.value_type = type;
        return rec;
    }
};

TEST_F(CustomRoutines, SizingCallThenWritingCallWithTheValueArgument) {
    CvtList list(2);
    list.install("amt", INTL_T_INT, echo<INTL_INT>);
    list.install("txt", INTL_T_PTR, echo<const char *>);
    std::vector<INTL_ARGVAL> args = {custom(list.entry(0), INTL_T_INT),
                                     custom(list.entry(1), INTL_T_PTR)};
    args[0].value.int_val = 42;
    args[0].numstars = 7; // stars and cvtspec play no part
    const char *word = "word";
    args[1].value.ptr_val = const_cast<char *>(word);

    EXPECT_EQ(format("x%1!y%2!", args).text, "x<amt:42>y<txt:word>");
    ASSERT_EQ(calls.size(), 4u);
    const void *value_union = &args[0].value;
    EXPECT_EQ(calls[0].fmt, "amt");
    EXPECT_TRUE(calls[0].value == value_union && !calls[0].writing);
    EXPECT_TRUE(calls[1].value == value_union && calls[1].writing);
    EXPECT_TRUE(calls[2].value == word && calls[3].value == word); // type 7: the pointer

    calls.clear();
    EXPECT_EQ(format("%1!", {args[0]}, 9).text, "<amt:42>");
    EXPECT_EQ(format("%1!", {args[0]}, 8).code, INTL_E_OVERFLOW);
}

TEST_F(CustomRoutines, FailuresOfTheRecordOrTheRoutine) {
    CvtList list(3);
    list.install("fail", INTL_T_INT, failing);
    list.install("overrun", INTL_T_INT, unterminated);
    list.install("big", INTL_T_INT, oversized);
    const INTL_FMT no_routine{INTL_T_INT, nullptr, "none"};
    EXPECT_EQ(format("%1!", {custom(list.entry(0), INTL_T_INT)}).code, -5);
    EXPECT_EQ(format("%1!", {custom(list.entry(0), 0)}).code, INTL_E_DATATYPE);
    EXPECT_EQ(format("%1!", {custom(list.entry(0), 9)}).code, INTL_E_DATATYPE);
    EXPECT_EQ(format("%1!", {custom(no_routine, INTL_T_INT)}).code, INTL_E_NOCONVERT);
    EXPECT_EQ(format("%1!", {custom(list.entry(1), INTL_T_INT)}, 8).code, INTL_E_OVERFLOW);
    EXPECT_EQ(format("%1!", {custom(list.entry(2), INTL_T_INT)}, 500).code, INTL_E_OVERFLOW);
    ASSERT_EQ(calls.size(), 1u); // no writing call after a sizing that does not fit
    EXPECT_FALSE(calls[0].writing);
}

// ------------------------------------------------------- variadic builder

TEST(Builder, ChecksInOrderAndFormatsReadOnlyForPlaceholders) {
    const struct {
        const char *text;
        INTL_INT bufsize;
        const char *formats;
        INTL_INT code;
        const char *expected;
    } rows[] = {
        // clang-format off
        {nullptr, 0, nullptr, INTL_E_NOTEXT, ""},  {"x", 0, nullptr, INTL_E_BUFLEN, ""},
        {"x", -1, nullptr, INTL_E_BUFLEN, ""},     {"", 8, nullptr, INTL_E_NOTEXT, ""},
        {"%1!", 8, nullptr, INTL_E_NOFORMATS, ""}, {"%1!", 8, "", INTL_E_NOFORMATS, ""},
        {"50%", 8, nullptr, INTL_E_NOFORMATS, ""}, {"%1!", 8, "%q", INTL_E_PLACEHOLDER, ""},
        {"plain", 8, nullptr, 5, "plain"},         {"plain", 8, "%d%s", 5, "plain"},
        {"9%%", 8, nullptr, 2, "9%"},              {"%%%%", 8, "", 2, "%%"},
        // clang-format on
    };
    for (const auto &row : rows) {
        const Result result = build_in(nullptr, row.bufsize, row.text, row.formats);
        EXPECT_EQ(result.code, row.code) << (row.text ? row.text : "null");
        EXPECT_EQ(result.text, row.expected);
    }
    EXPECT_EQ(intl_strbuild(nullptr, static_cast<char *>(nullptr), 8, "x", nullptr),
              INTL_E_NULLBUF);
}

TEST(Builder, GrammarWithoutAConversionList) {
    EXPECT_EQ(build(nullptr, "%1!", "%5.2f", 3.14159).text, " 3.14");
    EXPECT_EQ(build(nullptr, "%1!", "%lf", 0.25).text, "0.250000");
    EXPECT_EQ(build(nullptr, "[%1!]", "%-10s", "left").text, "[left      ]");
    EXPECT_EQ(build(nullptr, "%1!", "%.10s", "truncated text").text, "truncated ");
    EXPECT_EQ(build(nullptr, "%1!", "%*.*f", 8, 3, 3.14159).text, "   3.142"); // stars first
    EXPECT_EQ(build(nullptr, "%2!%1!", "%d%%%s", 3, "x").text, "x3");
    EXPECT_EQ(build_in(nullptr, 10, "%1!", "%*d", 50, 1).code, INTL_E_OVERFLOW);
    // Size letters keep the bits of their type; a C long may be 64 bits wide.
    EXPECT_EQ(build(nullptr, "%1!", "%hd", 0x12345).text, "9029");
    EXPECT_EQ(build(nullptr, "%1!", "%hu", -1).text, "65535");
    EXPECT_EQ(build(nullptr, "%1!", "%ld", static_cast<long>(0x100000005LL)).text, "5");
    EXPECT_EQ(build(nullptr, "%1!", "%ld", -7L).text, "-7");
    EXPECT_EQ(build(nullptr, "%1!", "%lx", static_cast<unsigned long>(0x1FFFFFFFFULL)).text,
              "ffffffff");
    // Unknown letters are passed over where they stand and take no value,
    // though their stars were taken.
    for (const char *formats : {"%y%d", "%Lf%d", "%-+5d%d", "%y%%%d", "%5%%d"})
        EXPECT_EQ(build(nullptr, "%1!", formats, 7).text, "7") << formats;
    EXPECT_EQ(build(nullptr, "%1!", "%*y%d", 9, 7).text, "7");
    // Skipped specifiers fill no record, so however many of them there are,
    // their stars are taken and a record after them is still filled.
    std::string skipped;
    for (int i = 0; i < 25; ++i)
        skipped += "%*.*)";
    EXPECT_EQ(build(nullptr, "%1!", (skipped + "%d").c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12,
                    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32,
                    33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51)
                  .text,
              "51");
    // A specifier cut off by the end of the formats string fills no record.
    for (const char *formats : {"%d%", "%d%-", "%d%5.", "%d%l", "%d%*"})
        EXPECT_EQ(build(nullptr, "%1!%2!", formats, 1, 2).code, INTL_E_PLACEHOLDER) << formats;
}

TEST(Builder, CountAndPointerConversions) {
    int count = 99;
    short short_count = 99;
    long long_count = 99;
    EXPECT_EQ(build(nullptr, "a%1!b%2!c%3!", "%n%hn%ln", &count, &short_count, &long_count).text,
              "abc");
    EXPECT_EQ(count + short_count + long_count, 0);
    const void *bogus = reinterpret_cast<const void *>(std::uintptr_t{0x20});
    EXPECT_EQ(build(nullptr, "%1!", "%p", bogus).text, platform("%p", bogus));
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
    // Flag, width, precision and size are read by the grammar, not the name.
    EXPECT_EQ(build(cvt, "%1!", "%-8.3amount", 5).text, "<amount:5>");
    EXPECT_EQ(build(cvt, "%1!", "%*.*amount", 1, 2, 5).text, "<amount:5>");
    EXPECT_EQ(build(cvt, "%1!", "%label", 3).text, "<abel:3>");
    EXPECT_EQ(build(cvt, "%1!", "%hour", 8).text, "10"); // %ho, then plain "ur"
    // Punctuation where the name would start leaves it empty.
    EXPECT_EQ(build(cvt, "%1!", "%(", 9).text, "<:9>");
    EXPECT_EQ(build(cvt, "%1!", "%-+5d", 4).text, "<:4>");
}

TEST_F(CustomSpecifiers, NameLengthLookupTypeAndSpecifierLimits) {
    const INTL_CVTLIST *cvt = list.get();
    EXPECT_EQ(build(cvt, "%1!", (std::string("%") + name20).c_str(), 1).text,
              std::string("<") + name20 + ":1>");
    EXPECT_EQ(build(cvt, "%1!", (std::string("%") + name21).c_str(), 1).code, INTL_E_CUSTOMLONG);
    EXPECT_EQ(build(cvt, "%1!", "%q", 1).code, INTL_E_NOCUSTOM);
    EXPECT_EQ(build(cvt, "%1!", "%bad", 1).code, INTL_E_DATATYPE);
    EXPECT_EQ(build(cvt, "%1!", "%q%bad", 1).code, INTL_E_NOCUSTOM); // the first fault decides
    EXPECT_EQ(build(cvt, "%1!", "%bad%q", 1).code, INTL_E_DATATYPE);
    CvtList untyped(2);
    untyped.install("zero", 0, echo<INTL_INT>);
    untyped.install("minus", -1, echo<INTL_INT>);
    EXPECT_EQ(build(untyped.get(), "%1!", "%zero", 1).code, INTL_E_DATATYPE);
    EXPECT_EQ(build(untyped.get(), "%1!", "%minus", 1).code, INTL_E_DATATYPE);
    CvtList fresh(1);
    EXPECT_EQ(build(fresh.get(), "%1!", "%y", 1).code, INTL_E_NOCUSTOM);

    // Only a standard specifier must fit the record's 20 characters.
    const std::string digits = "%" + std::string(30, '0');
    EXPECT_EQ(build(nullptr, "%1!", ("%" + std::string(17, '0') + "5d").c_str(), 7).text, "00007");
    EXPECT_EQ(build(nullptr, "%1!", ("%" + std::string(18, '0') + "5d").c_str(), 7).code,
              INTL_E_FORMATSYNTAX);
    EXPECT_EQ(build(nullptr, "%1!", (digits + "y%d").c_str(), 7).text, "7");
    EXPECT_EQ(build(nullptr, "%1!", (digits + "%%d").c_str(), 7).text, "7");
    EXPECT_EQ(build(cvt, "%1!", (digits + "y").c_str(), 7).text, "<y:7>");
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
    EXPECT_EQ(build(typed.get(), "%1! %2! %3! %4! %5! %6! %7! %8!",
                    "%S16 %U16 %I32 %U32 %L32 %UL32 %TXT %DBL", 0x12345, -1, -7, 4000000000u,
                    static_cast<long>(0x100000007LL), static_cast<unsigned long>(0x1FFFFFFFFULL),
                    "text", 2.5)
                  .text,
              "<S16:9029> <U16:65535> <I32:-7> <U32:4000000000> <L32:7> <UL32:4294967295> "
              "<TXT:text> <DBL:2.500000>");
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
}

TEST(Builder, TranslatedTemplateReordersArgumentsOfDifferentTypes) {
    const char *formats = "%s%d%.1f";
    EXPECT_EQ(build(nullptr, "%1! copied %2! files (%3!%%)", formats, "alice", 12, 99.5).text,
              "alice copied 12 files (99.5%)");
    EXPECT_EQ(
        build(nullptr, "%3!%% - %2! Dateien von %1! kopiert", formats, "alice", 12, 99.5).text,
        "99.5% - 12 Dateien von alice kopiert");
}

TEST(Builder, CountedStringsAreReadOnlyUpToTheirLengths) {
    char buf[32];
    EXPECT_EQ(cbuild(nullptr, buf, sizeof buf, "ab%1!cd", 5, "%dzz", 2, 7), 3);
    EXPECT_STREQ(buf, "ab7");
    // A NUL inside the formats string ends a custom name, or is passed over.
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
