// Fault injection: each allocation of the library fails in turn, and files
// fail underneath the readers (directories, truncation, descriptors closed
// behind the stream's back).
//
// The allocation wrappers are replaced in this executable. The library is not
// linked -Bsymbolic and comn_malloc is an exported symbol of default
// visibility, so its own calls go through the PLT and bind to these
// definitions; AllocationsReachThisExecutable proves it on every build.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <filesystem>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct AllocationFaults {
    long calls = 0;     // allocation calls so far
    long fail_call = 0; // the call (counted from 1) that fails; 0 for none
    long live = 0;      // blocks handed out and not yet freed
};
AllocationFaults faults;

} // namespace

extern "C" void *comn_malloc(INTL_UINT size) {
    if (++faults.calls == faults.fail_call)
        return nullptr;
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr)
        ++faults.live;
    return block;
}

extern "C" void *comn_realloc(void *ptr, INTL_UINT size) {
    if (++faults.calls == faults.fail_call)
        return nullptr;
    void *block = std::realloc(ptr, size == 0 ? 1 : size);
    if (block != nullptr && ptr == nullptr)
        ++faults.live;
    return block;
}

extern "C" void comn_free(void *ptr) {
    if (ptr != nullptr)
        --faults.live;
    std::free(ptr);
}

namespace {

// A password database whose entry for "korvan" needs a scratch buffer of
// `needed` bytes; off, the C library's own lookup answers.
struct PasswdFaults {
    bool on = false;
    std::size_t needed = 0;
    int lookups = 0;
};
PasswdFaults passwd_faults;

} // namespace

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
// of them with that allocation failing. check(result, n) judges the result
// of the run in which allocation n failed (0: none did). Every run must give
// back every block and every descriptor it took. Returns the allocations of
// the clean run.
template <typename Op, typename Check> long sweep_allocations(Op op, Check check) {
    faults = {};
    const int descriptors = open_descriptors();
    check(op(), 0L);
    const long needed = faults.calls;
    EXPECT_EQ(faults.live, 0) << "the clean run leaks";
    for (long n = 1; n <= needed; ++n) {
        faults = {};
        faults.fail_call = n;
        check(op(), n);
        EXPECT_EQ(faults.live, 0) << "leak when allocation " << n << " of " << needed << " fails";
        EXPECT_EQ(open_descriptors(), descriptors) << "descriptor leak at allocation " << n;
    }
    faults = {};
    return needed;
}

class FaultTest : public ::testing::Test {
  protected:
    TempDir dir;
    void TearDown() override { faults = {}; }
};

TEST_F(FaultTest, AllocationsReachThisExecutable) {
    const std::string path = dir.write("f", "x\n");
    faults = {};
    INTL_IOCS *s = intl_iocsfopen(path.c_str(), 1);
    ASSERT_NE(s, nullptr);
    EXPECT_GT(faults.calls, 0) << "the library's comn_malloc calls bypass the interposed wrapper";
    EXPECT_GT(faults.live, 0);
    EXPECT_EQ(intl_iocsfclose(s), 0);
    EXPECT_EQ(faults.live, 0);

    void *block = comn_calloc(4, 4); // calloc allocates through comn_malloc too
    EXPECT_EQ(faults.live, 1);
    comn_cfree(block);
    EXPECT_EQ(faults.live, 0);
}

TEST_F(FaultTest, StreamOpenFailsCleanlyWhateverAllocationFails) {
    const std::string path = dir.write("f", "line\n");
    for (INTL_INT mode : {1, 2, 7, 9}) {
        const long needed = sweep_allocations(
            [&] {
                INTL_IOCS *s = intl_iocsfopen(path.c_str(), mode);
                if (s == nullptr)
                    return false;
                EXPECT_EQ(intl_iocsfclose(s), 0);
                return true;
            },
            [&](bool opened, long n) { EXPECT_EQ(opened, n == 0) << "mode " << mode; });
        EXPECT_GE(needed, 1);
    }
}

TEST_F(FaultTest, CallocRefusesAnOverflowingProductWithoutAllocating) {
    faults = {};
    EXPECT_EQ(comn_calloc(0x10000, 0x10001), nullptr);
    EXPECT_EQ(faults.calls, 0);
    faults.fail_call = 1;
    EXPECT_EQ(comn_calloc(2, 2), nullptr);
    EXPECT_EQ(faults.live, 0);
}

// Reading a directory: the open succeeds, every read fails like end of file.
TEST_F(FaultTest, StreamOnADirectoryReadsNothing) {
    INTL_IOCS *s = intl_iocsfopen(dir.path().c_str(), 1);
    ASSERT_NE(s, nullptr);
    char buf[16];
    EXPECT_EQ(intl_iocsfgets(buf, sizeof buf, s), nullptr);
    EXPECT_EQ(intl_iocsfread(buf, 1, 4, s), 0);
    EXPECT_EQ(intl_iocsfseek(s, 0, SEEK_CUR), 0);
    EXPECT_EQ(intl_iocsfclose(s), 0);
}

// A file cut short after the first refill: the buffered bytes are still
// delivered, then the cut shows as end of file, never as stale data.
TEST_F(FaultTest, StreamSeesAFileTruncatedWhileOpen) {
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "line " + std::to_string(i) + "\n";
    const std::string path = dir.write("t", text);
    INTL_IOCS *s = intl_iocsfopen(path.c_str(), 1);
    ASSERT_NE(s, nullptr);
    char buf[64];
    ASSERT_NE(intl_iocsfgets(buf, sizeof buf, s), nullptr);
    EXPECT_STREQ(buf, "line 0\n");
    ASSERT_EQ(::truncate(path.c_str(), 600), 0);
    std::string rest;
    while (intl_iocsfgets(buf, sizeof buf, s) != nullptr)
        rest += buf;
    const std::size_t kept = text.rfind('\n', 599) + 1; // the unterminated tail is dropped
    EXPECT_EQ(rest, text.substr(7, kept - 7));
    EXPECT_EQ(intl_iocsfclose(s), 0);
}

// A descriptor closed underneath: reads fail as end of file, and closing the
// stream reports the failed close but still frees the record and buffer.
TEST_F(FaultTest, StreamWithItsDescriptorClosedUnderneath) {
    const std::string path = dir.write("c", std::string(2000, 'x') + "\n");
    faults = {};
    INTL_IOCS *s = intl_iocsfopen(path.c_str(), 1);
    ASSERT_NE(s, nullptr);
    char buf[100];
    ASSERT_NE(intl_iocsfgets(buf, sizeof buf, s), nullptr);
    ::close(s->ne_fd);
    int lines = 0;
    while (intl_iocsfgets(buf, sizeof buf, s) != nullptr)
        ++lines;
    EXPECT_EQ(lines, 4) << "only what was buffered before the close";
    EXPECT_EQ(intl_iocsfread(buf, 1, 1, s), 0);
    EXPECT_EQ(intl_iocsfseek(s, 0, SEEK_SET), -1);
    EXPECT_EQ(intl_iocsfwrite("x", 1, 1, s), -1);
    EXPECT_EQ(intl_iocsfclose(s), -1);
    EXPECT_EQ(faults.live, 0);
}

// Writes to a full device fail with -1 in every write mode.
TEST_F(FaultTest, WritesToAFullDeviceFail) {
    for (INTL_INT mode : {3, 5, 7, 9, 11}) {
        INTL_IOCS *s = intl_iocsfopen("/dev/full", mode);
        if (s == nullptr)
            GTEST_SKIP() << "no /dev/full";
        EXPECT_EQ(intl_iocsfwrite("abc", 1, 3, s), -1) << "mode " << mode;
        EXPECT_EQ(intl_iocsfwrite("abc", 3, -1, s), 0) << "mode " << mode;
        EXPECT_EQ(intl_iocsfclose(s), 0);
    }
}

// A localization file whose walk gives a fixed transcript.
const char sample_locfile[] = "; comment\n[file format]\nversion = 4.2\n[datetime]\n"
                              "timeformat = 24\n[text]\ngreeting = \"hello, world\", b\n";

// Opens, walks every section, entry and value, closes; the transcript, or
// the code with which opening failed.
std::string walk_locfile(const std::string &path) {
    INTL_LOCFILE lf;
    const INTL_INT rc = intl_open(path.c_str(), &lf);
    if (rc != INTL_OK)
        return "open " + std::to_string(rc);
    std::string out;
    INTL_INT status = 0;
    while (const char *section = intl_nextsection(&lf, &status)) {
        out += std::string("[") + section + "]";
        while (const char *entry = intl_nextentry(&lf, &status)) {
            out += entry;
            while (const char *value = intl_nextvalue(&lf, &status))
                out += std::string("=") + value;
        }
    }
    return out + " close " + std::to_string(intl_close(&lf));
}

TEST_F(FaultTest, ReaderOpenFailsCleanlyWhateverAllocationFails) {
    const std::string path = dir.write("loc", sample_locfile);
    const long needed =
        sweep_allocations([&] { return walk_locfile(path); },
                          [](const std::string &result, long n) {
                              if (n == 0)
                                  EXPECT_EQ(result, "[datetime]timeformat=24[text]"
                                                    "greeting=hello, world=b close 1");
                              else
                                  EXPECT_EQ(result, "open -151") << n;
                          });
    EXPECT_GE(needed, 1);
}

// A directory opens as a stream but has no line to read.
TEST_F(FaultTest, ReaderOnADirectory) {
    faults = {};
    INTL_LOCFILE lf;
    EXPECT_EQ(intl_open(dir.path().c_str(), &lf), INTL_E_NOCOMMENT);
    EXPECT_EQ(intl_close(&lf), INTL_OK) << "the stream stays with the record after a failed open";
    EXPECT_EQ(faults.live, 0);
}

// The file is cut while the reader is in its middle: what was read stays
// right, the rest reads as the end of the file.
TEST_F(FaultTest, ReaderSeesAFileTruncatedWhileOpen) {
    std::string text = ";\n[first]\n";
    for (int i = 0; i < 60; ++i)
        text += "key" + std::to_string(i) + " = value " + std::to_string(i) + "\n";
    text += "[second]\nlast = x\n";
    const std::string path = dir.write("loc", text);
    INTL_LOCFILE lf;
    ASSERT_EQ(intl_open(path.c_str(), &lf), INTL_OK);
    INTL_INT status = 0;
    ASSERT_STREQ(intl_nextsection(&lf, &status), "first");
    ASSERT_STREQ(intl_nextentry(&lf, &status), "key0");
    ASSERT_EQ(::truncate(path.c_str(), 700), 0);
    int entries = 1;
    while (const char *entry = intl_nextentry(&lf, &status)) {
        EXPECT_EQ(entry, "key" + std::to_string(entries));
        const char *value = intl_nextvalue(&lf, &status);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value, "value " + std::to_string(entries));
        ++entries;
    }
    EXPECT_EQ(status, 1);
    EXPECT_GT(entries, 20);
    EXPECT_LT(entries, 60);
    EXPECT_EQ(intl_nextsection(&lf, &status), nullptr);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(intl_close(&lf), INTL_OK);
}

// The descriptor is closed underneath: the reader meets the end of the file
// and closing reports the failed close, yet frees the stream.
TEST_F(FaultTest, ReaderWithItsDescriptorClosedUnderneath) {
    std::string text = ";\n[s]\n";
    for (int i = 0; i < 100; ++i)
        text += "k = " + std::string(20, 'v') + "\n";
    const std::string path = dir.write("loc", text);
    faults = {};
    INTL_LOCFILE lf;
    ASSERT_EQ(intl_open(path.c_str(), &lf), INTL_OK);
    INTL_INT status = 0;
    ASSERT_STREQ(intl_nextsection(&lf, &status), "s");
    ::close(static_cast<INTL_IOCS *>(lf.file)->ne_fd);
    int entries = 0;
    while (intl_nextentry(&lf, &status) != nullptr)
        ++entries;
    EXPECT_EQ(status, 1);
    EXPECT_LT(entries, 100) << "only what was buffered before the close";
    EXPECT_EQ(intl_nextsection(&lf, &status), nullptr);
    EXPECT_EQ(intl_close(&lf), INTL_E_CLOSE);
    EXPECT_EQ(faults.live, 0);
}

INTL_INT shouted(const char *, void *value, char *out) {
    const char *text = static_cast<const char *>(value);
    const auto len = static_cast<INTL_INT>(std::strlen(text));
    if (out != nullptr)
        for (INTL_INT i = 0; i <= len; ++i)
            out[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    return len;
}

// Every standard conversion takes a temporary buffer; whichever allocation
// fails, the build reports -158 and gives back everything it took.
TEST_F(FaultTest, MessageBuildingFailsCleanlyWhateverAllocationFails) {
    const std::string long_text(700, 'x');
    INTL_ARGVAL args[5] = {};
    args[0].value_type = INTL_T_INT;
    std::strcpy(args[0].cvtspec, "%+6d");
    args[0].value.int_val = -42;
    args[1].value_type = INTL_T_DOUBLE;
    std::strcpy(args[1].cvtspec, "%*.*f");
    args[1].numstars = 2;
    args[1].stars[0] = 9;
    args[1].stars[1] = 2;
    args[1].value.doubleval = 3.14159;
    args[2].value_type = INTL_T_PTR;
    std::strcpy(args[2].cvtspec, "%-720s"); // longer than a first, small buffer
    args[2].value.ptr_val = const_cast<char *>(long_text.c_str());
    args[3].value_type = INTL_T_USHORT;
    std::strcpy(args[3].cvtspec, "%hx");
    args[3].value.ushort_val = 0xBEEF;
    INTL_FMT custom{INTL_T_PTR, shouted, "up"};
    args[4].value_type = INTL_T_PTR;
    args[4].custom = &custom;
    args[4].value.ptr_val = const_cast<char *>("loud");
    const std::string expected =
        "   -42|     3.14|" + long_text + std::string(20, ' ') + "|beef|LOUD|   -42";

    char out[1024];
    const long needed = sweep_allocations(
        [&] { return intl_strblist(out, sizeof out, "%1!|%2!|%3!|%4!|%5!|%1!", args, 5); },
        [&](INTL_INT rc, long n) {
            if (n == 0) {
                ASSERT_EQ(rc, static_cast<INTL_INT>(expected.size()));
                EXPECT_EQ(std::string(out), expected);
            } else {
                EXPECT_EQ(rc, INTL_E_NOMEM) << "allocation " << n;
            }
        });
    EXPECT_GE(needed, 4) << "one buffer at least per standard conversion";

    // A value wider than the first temporary buffer is rendered again into
    // one of its full size, which may fail as well.
    INTL_ARGVAL wide{};
    wide.value_type = INTL_T_DOUBLE;
    std::strcpy(wide.cvtspec, "%f");
    wide.value.doubleval = 1e300;
    char expected_wide[400];
    std::snprintf(expected_wide, sizeof expected_wide, "<%f>", 1e300);
    const long wide_needed =
        sweep_allocations([&] { return intl_strblist(out, sizeof out, "<%1!>", &wide, 1); },
                          [&](INTL_INT rc, long n) {
                              if (n == 0)
                                  EXPECT_STREQ(out, expected_wide);
                              else
                                  EXPECT_EQ(rc, INTL_E_NOMEM) << "allocation " << n;
                          });
    EXPECT_EQ(wide_needed, 2) << "a first buffer and one of the value's size";

    sweep_allocations(
        [&] {
            return intl_strbuild(nullptr, out, sizeof out, "%2! %1! %3!", "%s %5.1f %c", "text",
                                 2.5, 'z');
        },
        [&](INTL_INT rc, long n) {
            if (n == 0)
                EXPECT_STREQ(out, "  2.5 text z");
            else
                EXPECT_EQ(rc, INTL_E_NOMEM) << "allocation " << n;
        });
}

// The user's entry needs a bigger scratch buffer than the lookup starts with:
// the lookup grows it through comn_malloc, and whichever growth fails, it
// reports -158 and gives every block back. An entry that never fits ends as
// no user at all.
TEST_F(FaultTest, HomeLookupGrowsItsBufferAndSurvivesNoMemory) {
    const char *saved = std::getenv("KORVAN");
    const std::string korvan = saved != nullptr ? saved : "";
    ::unsetenv("KORVAN");
    ASSERT_EQ(intl_sethome(nullptr), INTL_OK);
    passwd_faults = {true, 40000, 0};
    char buf[64];
    const long needed = sweep_allocations([&] { return intl_home(buf, sizeof buf); },
                                          [&](INTL_INT rc, long n) {
                                              if (n == 0) {
                                                  ASSERT_EQ(rc, 11);
                                                  EXPECT_STREQ(buf, "/opt/korvan");
                                              } else {
                                                  EXPECT_EQ(rc, INTL_E_NOMEM) << n;
                                              }
                                          });
    EXPECT_GE(needed, 2) << "4 KiB, 8 KiB, ... up to 64 KiB";
    passwd_faults = {true, std::size_t{1} << 24, 0};
    faults = {};
    EXPECT_EQ(intl_home(buf, sizeof buf), INTL_E_NOUSER);
    EXPECT_EQ(faults.live, 0);
    EXPECT_LT(passwd_faults.lookups, 20) << "the growth stops";
    passwd_faults = {};
    if (saved != nullptr)
        ::setenv("KORVAN", korvan.c_str(), 1);
}

// A conversion that the C library itself refuses (a wide text that has no
// narrow form) fails the build with -19 and leaks nothing.
TEST_F(FaultTest, ConversionRefusedByTheCLibrary) {
    static const wchar_t unencodable[] = {0x110000, 0};
    INTL_ARGVAL arg{};
    arg.value_type = INTL_T_PTR;
    std::strcpy(arg.cvtspec, "%5ls");
    arg.value.ptr_val = const_cast<wchar_t *>(unencodable);
    char out[64];
    faults = {};
    EXPECT_EQ(intl_strblist(out, sizeof out, "<%1!>", &arg, 1), INTL_E_FORMATSYNTAX);
    EXPECT_EQ(faults.live, 0);
}

// A compiled file with one to-server table mapping "a" to "b".
std::string one_mapping_file() {
    std::string file(8, '\0');
    file[0] = 1; // version 1, tabcode 0
    for (int b = 0; b < 256; ++b) {
        std::string header(8, '\0');
        header[0] = b == 'a' ? 1 : 0; // listsize
        file += header;
    }
    std::string record(24, '\0');
    record[4] = 1;    // dest_chars
    record[15] = 'b'; // dest_pattern
    return file + record;
}

TEST_F(FaultTest, LoaderFailsCleanlyWhateverAllocationFails) {
    dir.write("charsets/cs/t.xlt", one_mapping_file());
    ASSERT_EQ(intl_sethome(dir.path().c_str()), INTL_OK);
    const INTL_INT size = intl_xlatesize("cs", "t.xlt");
    ASSERT_GT(size, 0);
    std::vector<std::uint64_t> buf(static_cast<std::size_t>(size) / 8 + 1);
    const long needed = sweep_allocations(
        [&]() -> INTL_INT {
            INTL_XLATE *tosrv = nullptr;
            INTL_XLATE *todisp = nullptr;
            const INTL_INT rc = intl_load_xlate(buf.data(), "cs", "t.xlt", &tosrv, &todisp);
            if (rc != INTL_OK)
                return rc;
            unsigned char out[8];
            INTL_INT used = 0;
            INTL_INT status = 0;
            const auto *src = reinterpret_cast<const unsigned char *>("cab");
            return intl_xlate(src, 3, out, -1, tosrv, &used, 1, &status) == 3 &&
                           std::memcmp(out, "cbb", 4) == 0
                       ? INTL_OK
                       : INTL_E_GENERAL;
        },
        [](INTL_INT rc, long n) { EXPECT_EQ(rc, n == 0 ? INTL_OK : INTL_E_OPEN) << n; });
    EXPECT_GE(needed, 1);
    intl_sethome(nullptr);
}

// A directory where the file should be: it has a size but nothing to read.
TEST_F(FaultTest, LoaderOnADirectory) {
    std::filesystem::create_directories(dir.path() / "charsets" / "cs" / "t.xlt");
    ASSERT_EQ(intl_sethome(dir.path().c_str()), INTL_OK);
    faults = {};
    std::vector<std::uint64_t> buf(1024);
    INTL_XLATE *tosrv = nullptr;
    INTL_XLATE *todisp = nullptr;
    EXPECT_EQ(intl_load_xlate(buf.data(), "cs", "t.xlt", &tosrv, &todisp), INTL_E_READ);
    EXPECT_EQ(faults.live, 0);
    EXPECT_EQ(intl_xlatesize("cs", "missing"), INTL_E_STAT);
    EXPECT_EQ(intl_load_xlate(buf.data(), "cs", "missing", &tosrv, &todisp), INTL_E_OPEN);
    intl_sethome(nullptr);
}

} // namespace
