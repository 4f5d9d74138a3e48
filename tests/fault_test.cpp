// Fault injection: each allocation of the library fails in turn, and files
// fail underneath the reader. The library's own calls of its exported,
// not -Bsymbolic comn_malloc bind to the definitions here (every sweep
// asserts that it saw allocations).
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <functional>
#include <pwd.h>
#include <unistd.h>

// Designated initializers leave the fields they do not name zero.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

struct AllocationFaults {
    long calls = 0;     // allocation calls so far
    long fail_call = 0; // the call (counted from 1) that fails; 0 for none
    long live = 0;      // blocks handed out and not yet freed
} faults;

// A password database whose entry for "korvan" needs a scratch buffer of
// `needed` bytes; off, the C library's own lookup answers.
struct PasswdFaults {
    bool on = false;
    std::size_t needed = 0;
    int lookups = 0;
} passwd_faults;

} // namespace

extern "C" void *comn_malloc(INTL_UINT size) {
    void *block = ++faults.calls == faults.fail_call ? nullptr : std::malloc(size == 0 ? 1 : size);
    faults.live += block != nullptr;
    return block;
}

extern "C" void *comn_realloc(void *ptr, INTL_UINT size) {
    if (++faults.calls == faults.fail_call)
        return nullptr;
    void *block = std::realloc(ptr, size == 0 ? 1 : size);
    faults.live += block != nullptr && ptr == nullptr;
    return block;
}

extern "C" void comn_free(void *ptr) {
    faults.live -= ptr != nullptr;
    std::free(ptr);
}

extern "C" int getpwnam_r(const char *name, passwd *entry, char *buf, std::size_t buflen,
                          passwd **result) {
    if (!passwd_faults.on) {
        using Lookup = int (*)(const char *, passwd *, char *, std::size_t, passwd **);
        static const auto real = reinterpret_cast<Lookup>(::dlsym(RTLD_NEXT, "getpwnam_r"));
        return real(name, entry, buf, buflen, result);
    }
    ++passwd_faults.lookups;
    *result = nullptr;
    if (buflen < passwd_faults.needed)
        return ERANGE;
    *entry = passwd{};
    entry->pw_name = std::strcpy(buf, name);
    entry->pw_dir = std::strcpy(buf + std::strlen(name) + 1, "/opt/korvan");
    *result = entry;
    return 0;
}

namespace {

// Runs op once with no failure to count its allocations, then once for each
// of them with that allocation failing: the clean run must give clean, every
// other failed, and every run must give back every block and descriptor it
// took. Returns the allocations of the clean run.
long sweep(const std::function<std::string()> &op, const std::string &clean,
           const std::string &failed) {
    faults = {};
    const int descriptors = open_descriptors();
    EXPECT_EQ(op(), clean);
    const long needed = faults.calls;
    EXPECT_EQ(faults.live, 0) << "the clean run leaks";
    for (long n = 1; n <= needed; ++n) {
        faults = {};
        faults.fail_call = n;
        EXPECT_EQ(op(), failed) << "allocation " << n << " of " << needed << " fails";
        EXPECT_TRUE(faults.live == 0 && open_descriptors() == descriptors)
            << "blocks or descriptors leak when allocation " << n << " fails";
    }
    faults = {};
    return needed;
}

TEST(Faults, CallocAllocatesThroughTheWrapperAndRefusesOverflow) {
    comn_cfree(comn_calloc(4, 4));
    EXPECT_EQ(comn_calloc(0x10000, 0x10001), nullptr);
    faults.fail_call = 2; // the second call through the wrapper, unless the overflow allocated
    EXPECT_EQ(comn_calloc(2, 2), nullptr);
    EXPECT_EQ(faults.live, 0);
    faults = {};
}

// A localization file opened and closed: what each gave.
std::string opened(const std::string &path) {
    INTL_LOCFILE lf;
    const INTL_INT rc = intl_open(path.c_str(), &lf);
    return std::to_string(rc) + " " + std::to_string(intl_close(&lf));
}

// Whatever allocation fails, each operation fails with its code and gives
// back everything it took. A conversion the C library renders longer than
// the builder's stack buffer takes a heap buffer of its full size; a conversion that the C library
// refuses (a wide text with no narrow form) fails with -19. The home lookup's scratch buffer for a
// user entry bigger than it starts with grows; an entry that never fits ends as no user at all. The
// stream stays with the record after a failed open.
TEST(Faults, EveryAllocationFailureIsReportedCleanly) {
    TempDir dir;
    const std::string loc = dir.write("f", "; c\n[file format]\nversion = 4.2\n[s]\nk = v\n");
    std::string long_text(700, 'x'), loud = "loud";
    static wchar_t unencodable[] = {0x110000, 0};
    const INTL_CONVERT shouted = [](const char *, void *, char *to) -> INTL_INT {
        return to != nullptr ? (std::strcpy(to, "LOUD"), 4) : 4;
    };
    INTL_FMT custom{INTL_T_PTR, shouted, "up"};
    // clang-format off
    INTL_ARGVAL args[] = {
        {.value_type = INTL_T_INT, .cvtspec = "%+6d", .value = {.int_val = -42}},
        {.numstars = 2, .stars = {300, 2}, .value_type = INTL_T_DOUBLE, .cvtspec = "%*.*e",
         .value = {.doubleval = 3.14159}},
        {.value_type = INTL_T_PTR, .cvtspec = "%-720s", .value = {.ptr_val = long_text.data()}},
        {.value_type = INTL_T_USHORT, .cvtspec = "%hx", .value = {.ushort_val = 0xBEEF}},
        {.value_type = INTL_T_PTR, .custom = &custom, .value = {.ptr_val = loud.data()}},
        {.value_type = INTL_T_DOUBLE, .cvtspec = "%f", .value = {.doubleval = 1e300}},
        {.value_type = INTL_T_PTR, .cvtspec = "%5ls", .value = {.ptr_val = unencodable}}};
    // clang-format on
    char out[2048], wide[400];
    // A message built into out: its text, or the code.
    const auto built = [&](INTL_INT rc) { return rc >= 0 ? std::string(out) : std::to_string(rc); };
    std::snprintf(wide, sizeof wide, "<%f>", 1e300);
    dir.write("charsets/cs/t", le32(1) + xlt_block({0, {{'a', {{"", "b"}}}}}));
    std::vector<std::uint64_t> table(2048); // room for the table, its index and the record
    INTL_XLATE *tosrv = nullptr, *todisp = nullptr;
    const auto load = [&](const char *name) {
        intl_sethome(dir.path().c_str());
        const INTL_INT rc = intl_load_xlate(table.data(), "cs", name, &tosrv, &todisp);
        intl_sethome(nullptr);
        return std::to_string(rc) +
               (rc == INTL_OK ? std::to_string(tosrv->xlist['a'].listsize) : "");
    };
    const struct {
        std::function<std::string()> op;
        std::string clean, failed;
        long least; // allocations of the clean run
    } rows[] = {
        // clang-format off
        {[&] { return std::to_string(intl_iocsfclose(intl_iocsfopen(loc.c_str(), 7))); }, "0", "-1",
         1}, {[&] { return opened(loc); }, "1 1", "-151 -152", 1},
        {[&] { return built(intl_strblist(out, sizeof out, "%1!|%2!|%3!|%4!|%5!|%1!", args, 5)); },
         "   -42|" + std::string(292, ' ') + "3.14e+00|" + long_text + std::string(20, ' ') +
             "|beef|LOUD|   -42", "-158", 1},
        {[&] { return built(intl_strblist(out, sizeof out, "<%1!>", &args[5], 1)); }, wide, "-158", 1},
        {[&] { return built(intl_strblist(out, sizeof out, "<%1!>", &args[6], 1)); }, "-19", "-158", 0},
        {[&] { return built(intl_strbuild(nullptr, out, sizeof out, "%2! %1!", "%s %5.1f", "a", 2.5)); },
         "  2.5 a", "-158", 0},
        {[&] { return built(intl_home(out, 64)); }, "/opt/korvan", "-158", 2},
        {[&] { return load("t"); }, "11", "-151", 1},
        // A directory where a file should be: no comment character.
        {[&] { return opened(dir.path()); }, "-14 1", "-151 -152", 1},
        // clang-format on
    };
    const char *saved = std::getenv("KORVAN");
    const std::string korvan = saved != nullptr ? saved : "";
    ::unsetenv("KORVAN");             // restored below
    passwd_faults = {true, 40000, 0}; // 4 KiB, 8 KiB, ... up to 64 KiB
    for (const auto &row : rows)
        EXPECT_GE(sweep(row.op, row.clean, row.failed), row.least) << row.clean;
    passwd_faults = {true, std::size_t{1} << 24, 0};
    EXPECT_EQ(intl_home(out, 64), INTL_E_NOUSER);
    EXPECT_TRUE(passwd_faults.lookups < 20 && faults.live == 0) << "the growth stops";
    passwd_faults = {};
    if (saved != nullptr)
        ::setenv("KORVAN", korvan.c_str(), 1);
}

// The file is cut, or its descriptor closed, while the reader is in its
// middle: what was read stays right, what was buffered is delivered, the
// rest reads as the end of the file, never as stale data; a close after a
// closed descriptor reports it and still frees everything.
TEST(Faults, FilesCutOrClosedUnderneath) {
    TempDir dir;
    std::string text = ";\n[s]\n";
    for (int i = 0; i < 60; ++i)
        text += "k = value " + std::to_string(i) + "\n";
    for (const bool cut : {true, false}) {
        INTL_LOCFILE lf;
        const std::string path = dir.write("f", text);
        ASSERT_EQ(intl_open(path.c_str(), &lf), INTL_OK);
        INTL_INT status = 0, entries = 0;
        ASSERT_STREQ(intl_nextsection(&lf, &status), "s");
        cut ? ::truncate(path.c_str(), 700) : ::close(static_cast<INTL_IOCS *>(lf.file)->ne_fd);
        while (intl_nextentry(&lf, &status) != nullptr)
            entries += intl_nextvalue(&lf, &status) == "value " + std::to_string(entries);
        EXPECT_TRUE(status == 1 && entries > 20 && entries < 60) << status << " " << entries;
        EXPECT_EQ(intl_nextsection(&lf, &status), nullptr);
        EXPECT_EQ(intl_close(&lf), cut ? INTL_OK : INTL_E_CLOSE);
    }
    EXPECT_EQ(faults.live, 0);
}

} // namespace
