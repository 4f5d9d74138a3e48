// Message builder: custom format lists, the argument-list formatter and the
// variadic builder.
#include <intl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

static bool fail_allocations = false;
static int allocation_calls = 0;

// Takes the library's comn_malloc, so that a test can refuse allocations.
extern "C" void *comn_malloc(INTL_UINT size) {
    ++allocation_calls;
    return fail_allocations ? nullptr : std::malloc(size);
}

namespace {

// Runs a build into bufsize bytes followed by guard bytes; the message,
// whose length the result must be, or "=code" for a failure.
template <class Run> std::string run_into(INTL_INT bufsize, Run run) {
    std::vector<char> buf(static_cast<std::size_t>(std::max(bufsize, 1)) + 16, '#');
    const INTL_INT code = run(buf.data());
    EXPECT_EQ(buf.back(), '#') << "written past the buffer";
    if (code < 0)
        return std::string("=").append(std::to_string(code));
    EXPECT_EQ(static_cast<std::size_t>(code), std::strlen(buf.data()));
    return buf.data();
}

// Rows of what a build gave and what it must give.
void check(std::initializer_list<std::pair<std::string, std::string>> rows) {
    int row = 0;
    for (const auto &[result, expected] : rows)
        EXPECT_EQ(result, expected) << "row " << row++;
}

template <class... Args>
std::string build(const INTL_CVTLIST *list, const char *text, const char *formats, Args... args) {
    return run_into(
        256, [&](char *buf) { return intl_strbuild(list, buf, 256, text, formats, args...); });
}

std::string cbuild(const INTL_CVTLIST *list, const char *text, INTL_INT textlen,
                   const char *formats, INTL_INT formatslen, ...) {
    va_list ap;
    va_start(ap, formatslen);
    const std::string result = run_into(32, [&](char *buf) {
        return intl_cstrbuild(list, buf, 32, text, textlen, formats, formatslen, ap);
    });
    va_end(ap);
    return result;
}

std::string format(const char *text, const std::vector<INTL_ARGVAL> &args, INTL_INT bufsize = 256) {
    static const INTL_ARGVAL none{};
    return run_into(bufsize, [&](char *buf) {
        return intl_strblist(buf, bufsize, text, args.empty() ? &none : args.data(),
                             static_cast<INTL_INT>(args.size()));
    });
}

// A standard record holding value as type; specifier is cut, unterminated,
// at the field's size.
template <class T>
INTL_ARGVAL arg(const char *specifier, INTL_INT type, T value, std::vector<INTL_INT> stars = {}) {
    INTL_ARGVAL rec{};
    rec.value_type = type;
    std::memcpy(rec.cvtspec, specifier, std::min(std::strlen(specifier), sizeof rec.cvtspec));
    for (INTL_INT star : stars)
        rec.stars[rec.numstars++] = star;
    std::memcpy(&rec.value, &value, sizeof value);
    return rec;
}

// One value of the type its C++ type names, formatted alone.
template <class T>
std::string one(const char *specifier, T value, std::vector<INTL_INT> stars = {},
                INTL_INT bufsize = 256) {
    const INTL_INT type = std::is_pointer_v<T>          ? INTL_T_PTR
                          : std::is_floating_point_v<T> ? INTL_T_DOUBLE
                                                        : INTL_T_INT;
    return format("%1!", {arg(specifier, type, value, stars)}, bufsize);
}

std::vector<std::string> calls; // "fmt:s" for a sizing call, "fmt:w" for a writing one

// Writes "<fmt:value>", reading the value as T.
template <class T> INTL_INT echo(const char *fmt, void *value, char *out) {
    calls.push_back(std::string(fmt) + (out != nullptr ? ":w" : ":s"));
    std::string text = "<";
    if constexpr (std::is_pointer_v<T>)
        text.append(fmt).append(":").append(static_cast<const char *>(value)).append(">");
    else
        text.append(fmt).append(":").append(std::to_string(*static_cast<const T *>(value))) += '>';
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<INTL_INT>(text.size());
}

// "big" announces 1000 bytes, "fail" fails its writing call, "overrun"
// announces one byte and writes eight without a terminator.
INTL_INT misbehaving(const char *fmt, void *, char *out) {
    calls.push_back(std::string(fmt) + (out != nullptr ? ":w" : ":s"));
    if (out != nullptr && fmt[0] == 'o')
        std::memset(out, 'x', 8);
    return fmt[0] == 'b' ? 1000 : out != nullptr && fmt[0] == 'f' ? -5 : 1;
}

// A conversion list allocated at the size intl_fmtsize gives.
struct CvtList {
    std::vector<std::max_align_t> storage;
    explicit CvtList(INTL_INT capacity)
        : storage(static_cast<std::size_t>(intl_fmtsize(capacity)) / sizeof(std::max_align_t) + 1) {
        get()->listcount = 0;
    }
    INTL_CVTLIST *get() { return reinterpret_cast<INTL_CVTLIST *>(storage.data()); }
    CvtList &add(const char *name, INTL_INT type, INTL_CONVERT routine) {
        EXPECT_EQ(intl_fmtinstall(get(), name, type, routine), INTL_OK) << name;
        return *this;
    }
    // A record that entry i renders.
    INTL_ARGVAL custom(int i, INTL_INT type, INTL_INT value = 0) {
        INTL_ARGVAL rec = arg("", type, value);
        rec.custom = get()->fmtlist + i;
        return rec;
    }
};

TEST(Formatter, ArgumentChecksPlaceholdersAndTheTerminatorsByte) {
    char buf[8];
    const INTL_ARGVAL rec = arg("%d", INTL_T_INT, 1);
    // clang-format off
    EXPECT_EQ(intl__strblist(nullptr, 0, nullptr, 0, nullptr, -1), -27); EXPECT_EQ(intl__strblist(buf, 0, nullptr, 0, nullptr, -1), -28);
    EXPECT_EQ(intl__strblist(buf, 8, "x", 0, nullptr, -1), -33); EXPECT_EQ(intl__strblist(buf, 8, "x", 1, nullptr, -1), -34);
    EXPECT_EQ(intl__strblist(buf, 8, "x", 1, &rec, -1), -35); EXPECT_EQ(intl_strblist(buf, 8, nullptr, &rec, 1), -33);
    // clang-format on
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(intl_strblist(buf, 4, "abcdef", &rec, 1), INTL_E_OVERFLOW);
    EXPECT_EQ(std::string(buf, 8), "abc#####"); // left unterminated

    std::vector<INTL_ARGVAL> args;
    for (INTL_INT n = 1; n <= 209; ++n)
        args.push_back(arg("%d", INTL_T_INT, n));
    const std::vector<INTL_ARGVAL> empty = {arg("%s", INTL_T_PTR, static_cast<const void *>(""))};
    const auto first = [&](int n) { return std::vector<INTL_ARGVAL>(&args[0], &args[n]); };
    check({
        // clang-format off
        {format("abc", {}, 4), "abc"}, {format("abc", {}, 3), "=-7"}, {format("%%%%", {}, 3), "%%"},
        {format("%%%%", {}, 2), "=-7"}, {format("ab%1!", empty, 3), "=-7"}, // even for nothing
        {format("%3!", first(3), 2), "3"}, {format("%10!", first(10), 2), "=-7"}, {format("%0!", first(30)), "=-17"},
        {format("%a!", first(30)), "=-17"}, {format("ab%", first(30)), "=-17"}, {format("%21!", first(20)), "=-17"},
        {format("%01!", first(30)), "1"}, {format("%1x", first(30)), "1"}, {format("%1", first(30)), "1"},
        {format("[%1%]", first(30)), "[1]"}, {format("%25!", first(30)), "25"}, {format("%2345!", first(30)), "235!"},
        {format("%201!", first(209)), "201"}, {format("%2099!", first(209)), "209!"},
        {format("%3!%1!%4!", first(4)), "314"}, {format("%%1!", first(1)), "%1!"},
        {format("100%% sure", {}), "100% sure"},
        // clang-format on
    });
}

// What the C library makes of spec with stars and then value.
template <class T>
std::string c_library(const std::string &spec, std::vector<INTL_INT> stars, T value) {
    char out[4096];
    const char *f = spec.c_str();
    const int full = stars.size() == 2
                         ? std::snprintf(out, sizeof out, f, stars[0], stars[1], value)
                     : stars.empty() ? std::snprintf(out, sizeof out, f, value)
                                     : std::snprintf(out, sizeof out, f, stars[0], value);
    return full < 0 ? "=-19" : std::string(out, static_cast<std::size_t>(full));
}

// Integers, characters, texts and f numbers are rendered without the C
// library, byte for byte as snprintf renders them (ties of f too); flags and
// sizes that C leaves undefined for a letter render as the C library chooses.
TEST(Formatter, RendersAsSnprintfDoes) {
    std::mt19937 random(20261207);
    const std::string long_text(300, 'x');
    // clang-format off
    const char *const texts[] = {"", "a", "hello", long_text.c_str(), nullptr};
    const INTL_INT widths[] = {0, 1, 7, 300, 400, 2000, -1, -9, -300}, precisions[] = {0, 1, 5, 6, 300, -1, INT32_MIN};
    const std::int64_t numbers[] = {0, 1, -1, 42, 65535, -32768, 0x12345, INT32_MIN, INT32_MAX, UINT32_MAX};
    const double doubles[] = {0.0, -0.0, 0.125, 2.5, -1.005, 3.14159, 1e15, -9.9e18, 1e-310, 1e300, 0.0 / 0.0};
    // clang-format on
    for (int round = 0; round < 40000; ++round) {
        const char letter = "diuoxXcsf"[random() % 9];
        const bool is_text = letter == 'c' || letter == 's', is_signed = std::strchr("dic", letter);
        const std::string flags = "-+ 0#";
        std::string spec = "%";
        for (int i = static_cast<int>(random() % 5); i > 0; --i)
            spec += flags[random() % flags.size()];
        std::vector<INTL_INT> stars;
        if (random() % 3 == 0)
            spec += std::to_string(1 + random() % 400);
        else if (random() % 2 == 0)
            stars.push_back(widths[random() % 9]), spec += "*";
        if (random() % 2 == 0)
            spec.append(".").append(std::to_string(random() % (letter == 'f' ? 20 : 400)));
        else if (random() % 2 == 0)
            stars.push_back(precisions[random() % 7]), spec += ".*";
        // No "l" for texts: a wide text is not what the record points to.
        const char size = "\0\0hl"[random() % (is_text ? 3 : 4)];
        spec.append(size != 0, size) += letter;

        INTL_ARGVAL rec = arg(spec.c_str(), INTL_T_PTR, texts[random() % 5], stars);
        const auto *text = static_cast<const char *>(rec.value.ptr_val);
        const std::int64_t n = numbers[random() % 10] + (round % 7 == 0 ? random() : 0);
        // What each type code's member holds, widened by its sign.
        const INTL_INT type = static_cast<INTL_INT>(1 + random() % 6);
        const std::int64_t held = type == INTL_T_SHORT    ? static_cast<std::int16_t>(n)
                                  : type == INTL_T_USHORT ? static_cast<std::uint16_t>(n)
                                  : type % 2 == 1         ? static_cast<std::int32_t>(n)
                                                          : static_cast<std::uint32_t>(n);
        const double d = doubles[random() % 11] + double(n) / double(1ull << random() % 64);
        if (letter == 'f')
            rec = arg(spec.c_str(), INTL_T_DOUBLE, d, stars);
        else if (letter != 's')
            rec = type <= INTL_T_USHORT ? arg(spec.c_str(), type, std::int16_t(held), stars)
                                        : arg(spec.c_str(), type, INTL_INT(held), stars);
        const auto as_int = static_cast<std::int32_t>(held);
        const auto as_uint = static_cast<std::uint32_t>(held);
        const std::string expected =
            letter == 's'              ? c_library(spec, stars, text)
            : letter == 'f'            ? c_library(spec, stars, d)
            : size == 'l' && is_signed ? c_library(spec, stars, long{as_int})
            : size == 'l'              ? c_library(spec, stars, static_cast<unsigned long>(as_uint))
            : is_signed                ? c_library(spec, stars, as_int)
                                       : c_library(spec, stars, as_uint);
        const auto full = static_cast<INTL_INT>(expected.size());
        for (const INTL_INT bufsize : {1024, full, full + 1}) {
            bool refused = expected != "=-19" && full >= bufsize;
            for (const INTL_INT value : stars)
                refused |= value > bufsize - 1;
            // A text is measured whole, whatever the precision.
            refused |= letter == 's' && stars.empty() && text != nullptr &&
                       std::strlen(text) > static_cast<std::size_t>(bufsize - 1);
            if (bufsize < 2) // a placeholder never fits in less
                continue;
            ASSERT_EQ(format("%1!", {rec}, bufsize),
                      refused ? "=-7" : expected.substr(0, std::strlen(expected.c_str())))
                << spec << " with " << held << " or " << d << " in " << bufsize;
        }
    }
}

TEST(Formatter, WhatTheDifferentialTestLeavesOut) {
    const double inf = std::numeric_limits<double>::infinity();
    const void *bogus = reinterpret_cast<const void *>(std::uintptr_t{0x10});
    char pointer[64];
    std::snprintf(pointer, sizeof pointer, "%20p", bogus);
    INTL_ARGVAL three = arg("%d", INTL_T_INT, 1, {0, 100}), bad_type = three;
    three.numstars = 3;
    bad_type.value_type = 9;
    check({
        // clang-format off
        {one("% -8e", -1.5), "-1.500000e+00"}, {one("%+ 4E", 2.0), "+2.000000E+00"}, {one("%lc", 'W'), "W"},
        {one("%ls", L"wide"), "wide"}, {one("%20p", bogus), pointer},
        // Star values and literal numbers are measured before rendering;
        // star tests come first, then the type code, then the star count.
        {one("%*d", 7, {5}, 5), "=-7"}, {one("%*d", 7, {-5}, 5), "=-7"}, {format("%1!", {three}), "=-38"},
        {format("%1!", {bad_type}), "=-18"}, {format("%1!", {bad_type}, 50), "=-7"}, {one("%*f", 1.0, {-2000000000}, 20), "=-7"},
        {one("%*f", 1.0, {INT32_MIN}, 20), "=-19"}, {one("%-*d", 1, {INT32_MIN}, 20), "=-19"}, {one("%.2147483647x", 7, {}, 20), "=-7"},
        {one("%-99999999999999u", 7, {}, 20), "=-7"}, {one("%.2147483647e", 1.5, {}, 20), "=-7"},
        {one("%.2147483647p", "x", {}, 20), "=-7"}, {one("%#.2147483647G", 1.5, {}, 20), "=-7"},
        {one("%2147483647g", 1.5, {}, 20), "=-7"}, {one("%.2147483647f", inf, {}, 20), "inf"},
        {one("%.2147483647s", "text", {}, 20), "text"},
        // g renders alike past every significant digit a double has, and fast.
        {one("%.2147483647g", 0.1), "0.1000000000000000055511151231257827021181583404541015625"},
        {one("%-8.99999G", 1.5), "1.5     "},
        // A record's text must be one C conversion that C defines for its
        // flags and size letter, and whose stars and value the record supplies.
        {one("%d%s", 1), "=-19"}, {one("%d ", 1), "=-19"}, {one("%*d", 1), "=-19"}, {one("%d", 1, {3}), "=-19"},
        {one("%s", 1), "=-19"}, {one("%p", 1), "=-19"}, {one("%d", 1.0), "=-19"}, {one("%e", "x"), "=-19"},
        {one("d", 1), "=-19"}, {one("%%", 1), "=-19"}, {one("%y", 1), "=-19"}, {one("%5", 1), "=-19"},
        {one("%hhd", 1), "=-19"}, {one("%5555555555555555555d", 1), "=-19"}, {one("%lld", 1), "=-19"},
        {one("%Lf", 1.0), "=-19"}, {one("%5*d", 1, {1}), "=-19"}, {one("%*5d", 1, {1}), "=-19"},
        // Flags and sizes that C leaves undefined for the letter are the C
        // library's to render.
        {one("%hc", 'A' + 0x100), c_library("%hc", {}, 'A' + 0x100)}, {one("%hp", bogus), c_library("%hp", {}, bogus)},
        {one("%hE", 1.5), c_library("%hE", {}, 1.5)}, {one("%hG", 2.5), c_library("%hG", {}, 2.5)},
        {one("%0*.356c", 'c', {5}), c_library("%0*.356c", {5}, 'c')}, {one("%014hc", 'c'), c_library("%014hc", {}, 'c')},
        {one("%#x", 0), c_library("%#x", {}, 0)}, {one("%#d", 1), c_library("%#d", {}, 1)},
        {one("%0s", "x"), c_library("%0s", {}, "x")}, {one("%#.0hf", 2.5), c_library("%#.0hf", {}, 2.5)},
        {one("%-lp", bogus), c_library("%-lp", {}, bogus)},
        // clang-format on
    });
    EXPECT_EQ(one("%.1200g", 5e-324, {}, 800).size(), 757u);

    // Counts store 0 in the width of their size letter, whatever their flags,
    // width and precision; only renderings longer than any number allocate.
    int ints[3] = {99, 99, 99};
    short shorts[2] = {99, 99};
    long longs[2] = {99, 99};
    EXPECT_EQ(format("a%1!b%2!c%3!d%4!e%5!f%6!",
                     {arg("%n", INTL_T_PTR, ints), arg("%hn", INTL_T_PTR, shorts),
                      arg("%0ln", INTL_T_PTR, longs), arg("%n", INTL_T_PTR, nullptr),
                      arg("%-13n", INTL_T_PTR, ints + 1), arg("%-.*n", INTL_T_PTR, ints + 2, {9})}),
              "abcdef");
    EXPECT_EQ(ints[0] + ints[1] + ints[2] + shorts[0] + longs[0], 0);
    EXPECT_EQ(shorts[1] + longs[1], 2 * 99); // each wrote its own width only
    allocation_calls = 0;
    fail_allocations = true;
    const std::string wide = one("%300e", 1.0, {}, 400), narrow = one("%e", 1.0);
    const std::string padded = one("%300s", "abc", {}, 400);
    fail_allocations = false;
    ASSERT_EQ(allocation_calls, 1) << "comn_malloc was not replaced";
    check({{wide, "=-158"}, {narrow, "1.000000e+00"}, {padded, std::string(297, ' ') + "abc"}});
}

TEST(Formatter, CustomRoutinesAreSizedThenCalledWithTheValueArgument) {
    CvtList list(5);
    list.add("amt", INTL_T_INT, echo<INTL_INT>).add("txt", INTL_T_PTR, echo<const char *>);
    list.add("fail", INTL_T_INT, misbehaving).add("overrun", INTL_T_INT, misbehaving);
    list.add("big", INTL_T_INT, misbehaving);
    std::vector<INTL_ARGVAL> args = {list.custom(0, INTL_T_INT, 42), list.custom(1, INTL_T_PTR)};
    args[0].numstars = 7; // stars and cvtspec play no part
    args[1].value.ptr_val = const_cast<char *>("word");
    calls.clear();
    EXPECT_EQ(format("x%1!y%2!", args), "x<amt:42>y<txt:word>");
    EXPECT_EQ(calls, (std::vector<std::string>{"amt:s", "amt:w", "txt:s", "txt:w"}));
    const INTL_FMT no_routine{INTL_T_INT, nullptr, "none"};
    INTL_ARGVAL unroutined = list.custom(0, INTL_T_INT);
    unroutined.custom = &no_routine;
    calls.clear();
    check({{format("%1!", {args[0]}, 8), "=-7"},
           {format("%1!", {list.custom(2, INTL_T_INT)}), "=-5"},
           {format("%1!", {list.custom(2, 9)}), "=-18"},
           {format("%1!", {unroutined}), "=-25"},
           {format("%1!", {list.custom(3, INTL_T_INT)}, 8), "=-7"},
           {format("%1!", {list.custom(4, INTL_T_INT)}, 500), "=-7"}});
    EXPECT_EQ(calls.back(), "big:s"); // no writing call after that
}

// Builds with the values 1 to 20 and then more.
template <class... Ints>
std::string with_twenty(const char *text, const std::string &formats, Ints... more) {
    return build(nullptr, text, formats.c_str(), 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                 16, 17, 18, 19, 20, more...);
}

TEST(Builder, ChecksAndGrammarWithoutAConversionList) {
    const auto empty = [](const char *text, INTL_INT bufsize, const char *formats) {
        return run_into(bufsize, [&](char *buf) {
            return intl_strbuild(nullptr, buf, bufsize, text, formats);
        });
    };
    EXPECT_EQ(intl_strbuild(nullptr, static_cast<char *>(nullptr), 8, "x", nullptr), -27);
    std::string skipped, twenty;
    for (int i = 0; i < 21; ++i)
        skipped += "%*)";
    for (int i = 0; i < 20; ++i)
        twenty += "%d";
    int counts[4] = {99, 99, 99, 99};
    long long_count = 99;
    check({
        // clang-format off
        {empty(nullptr, 0, nullptr), "=-33"}, {empty("x", 0, nullptr), "=-28"}, {empty("", 8, nullptr), "=-33"},
        {empty("%1!", 8, nullptr), "=-24"}, {empty("%1!", 8, ""), "=-24"}, {empty("50%", 8, nullptr), "=-24"},
        {empty("%1!", 8, "%q"), "=-17"}, {empty("plain", 8, "%d%s"), "plain"}, {empty("9%%", 8, nullptr), "9%"},
        {build(nullptr, "%3!-%2!-%1!", "%s%d%.1f", "a", 12, 99.5), "99.5-12-a"},
        {build(nullptr, "%1!", "%lf", 0.25), "0.250000"}, {build(nullptr, "%2!%1!", "%d%%%s", 3, "x"), "x3"},
        {build(nullptr, "%1!", "%*.*f", 8, 3, 3.14159), "   3.142"}, // stars first
        // Size letters keep the bits of their type; a C long may be 64 bits wide.
        {build(nullptr, "%1!", "%hd", 0x12345), "9029"}, {build(nullptr, "%1!", "%hu", -1), "65535"},
        {build(nullptr, "%1!", "%ld", static_cast<long>(0x100000005LL)), "5"},
        {build(nullptr, "%1!", "%lx", static_cast<unsigned long>(0x1FFFFFFFFULL)), "ffffffff"},
        {build(nullptr, "a%1!", "%n", &counts[0]), "a"}, {build(nullptr, "a%1!b", "%-13n", &counts[1]), "ab"},
        {build(nullptr, "%1!", "%#n", &counts[2]), ""}, {build(nullptr, "%1!", "%-.n", &counts[3]), ""},
        {build(nullptr, "%1!", "%0ln", &long_count), ""},
        {build(nullptr, "%1!", "%hc", 'A' + 0x100), c_library("%hc", {}, 'A')},
        {build(nullptr, "%1!", "%014hc", 'c'), c_library("%014hc", {}, 'c')},
        {build(nullptr, "%1!", "%0*.356c", 5, 'c'), c_library("%0*.356c", {5}, 'c')},
        {build(nullptr, "%1!", "%hG", 2.5), c_library("%hG", {}, 2.5)},
        // Unknown letters are passed over where they stand and take no value,
        // though their stars were taken, however many there are.
        {build(nullptr, "%1!", "%y%d", 7), "7"}, {build(nullptr, "%1!", "%Lf%d", 7), "7"},
        {build(nullptr, "%1!", "%-+5d%d", 7), "7"}, {build(nullptr, "%1!", "%y%%%d", 7), "7"},
        {build(nullptr, "%1!", "%5%%d", 7), "7"}, {with_twenty("%1!", skipped + "%d", 21, 22), "22"},
        // A specifier cut off by the end fills no record.
        {build(nullptr, "%1!%2!", "%d%", 1), "=-17"}, {build(nullptr, "%1!%2!", "%d%-", 1), "=-17"},
        {build(nullptr, "%1!%2!", "%d%5.", 1), "=-17"}, {build(nullptr, "%1!%2!", "%d%l", 1), "=-17"},
        // Only a standard specifier must fit the record's 20 characters.
        {build(nullptr, "%1!", "%000000000000000005d", 7), "00007"},
        {build(nullptr, "%1!", "%0000000000000000005d", 7), "=-19"},
        {build(nullptr, "%1!", "%000000000000000000000000000000y%d", 7), "7"},
        {with_twenty("%1!-%20!", twenty), "1-20"}, {with_twenty("%1!", twenty + "%d", 21), "=-7"},
        {with_twenty("%1!", twenty + "%%"), "=-7"}, {with_twenty("%1!", twenty + "%"), "=-7"},
        // clang-format on
    });
    EXPECT_EQ(counts[0] + counts[1] + counts[2] + counts[3] + long_count, 0);
}

TEST(Builder, CustomListsAndSpecifiersAndCountedStrings) {
    EXPECT_EQ(intl_fmtsize(5), static_cast<INTL_INT>(sizeof(INTL_CVTLIST) + 4 * sizeof(INTL_FMT)));
    for (INTL_INT count : {0, -1, INT32_MIN, INT32_MAX / 8})
        EXPECT_EQ(intl_fmtsize(count), INTL_E_LISTSIZE) << count;
    CvtList list(9);
    INTL_CVTLIST *cvt = list.get();
    // clang-format off
    EXPECT_EQ(intl_fmtinstall(nullptr, nullptr, 1, nullptr), -23); EXPECT_EQ(intl_fmtinstall(cvt, nullptr, 1, nullptr), -24);
    EXPECT_EQ(intl_fmtinstall(cvt, "abcdefghijabcdefghijk", 1, nullptr), -25); EXPECT_EQ(intl_fmtinstall(cvt, "abcdefghijabcdefghijk", 1, echo<INTL_INT>), -20);
    // clang-format on
    list.add("amount", INTL_T_INT, echo<INTL_INT>).add("abel", INTL_T_SHORT, echo<std::int16_t>);
    list.add("Lf", INTL_T_DOUBLE, echo<double>).add("", INTL_T_INT, echo<INTL_INT>);
    list.add("abcdefghijabcdefghij", INTL_T_ULONG, echo<INTL_ULONG>).add("bad", 9, echo<INTL_INT>);
    list.add("y", INTL_T_PTR, echo<const char *>)
        .add("y", INTL_T_INT, misbehaving); // the first wins
    EXPECT_EQ(cvt->listcount, 8);
    check({
        // clang-format off
        {build(cvt, "%1!", "%amount.", 5), "<amount:5>"}, {build(cvt, "%1!|%2!", "%amount %d", 5, 6), "<amount:5>|6"},
        {build(cvt, "%2!-%1!", "%amount%d", 5, 6), "6-<amount:5>"},
        {build(cvt, "%1!", "%-8.3amount", 5), "<amount:5>"}, {build(cvt, "%1!", "%*.*amount", 1, 2, 5), "<amount:5>"},
        {build(cvt, "%1!", "%label", 0x12345), "<abel:9029>"},
        {build(cvt, "%1!", "%hour", 8), "10"}, // %ho, then "ur"
        {build(cvt, "%1!", "%(", 5), "<:5>"}, {build(cvt, "%1!", "%-+5d", 5), "<:5>"},
        {build(cvt, "%1!", "%Lf", 2.5), "<Lf:2.500000>"}, {build(cvt, "%1!", "%y", "text"), "<y:text>"},
        {build(cvt, "%1!", "%abcdefghijabcdefghij", 5ul), "<abcdefghijabcdefghij:5>"},
        {build(cvt, "%1!", "%abcdefghijabcdefghijk", 1), "=-20"},
        {build(cvt, "%1!", "%q%bad", 1), "=-21"}, {build(cvt, "%1!", "%bad%q", 1), "=-18"}, // the first decides
        {build(CvtList(1).get(), "%1!", "%y", 1), "=-21"},
        // Counted texts are read only up to their lengths; a NUL inside the
        // formats string ends a custom name, or is passed over.
        {cbuild(nullptr, "ab%1!cd", 5, "%dzz", 2, 7), "ab7"}, {cbuild(cvt, "%1!", 3, "%\0", 2, 5), "<:5>"},
        {cbuild(nullptr, "%1!", 3, "%\0%d", 4, 5), "5"}, {cbuild(nullptr, "%1!", -1, "%d", 2, 5), "=-33"},
        {cbuild(nullptr, "%1!", 3, "%d", 0, 5), "=-24"},
        // clang-format on
    });
}

} // namespace
