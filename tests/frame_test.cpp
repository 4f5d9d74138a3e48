// Library frame: status texts, version, allocation, installation directory.
#include <intl.h>

#include "support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace std::string_literals;

TEST(Frame, TextsVersionAndAllocation) {
    const struct {
        INTL_INT code;
        const char *text;
    } rows[] = {
        {1, "Unknown error"},
        {INTL_E_GENERAL, "General Intl-Library error"},
        {INTL_E_FEWSHORTMONTHS, "Too few short onths in datetime section"},
        {-49, "Unknown error"},
        {-150, "Unknown error"},
        {INTL_E_OPEN, "Unable to open file"},
        {INTL_E_NOMEM, "Unknown error"},
        {INT32_MIN, "Unknown error"},
    };
    for (const auto &row : rows)
        EXPECT_STREQ(intl_errstr(row.code), row.text) << "code " << row.code;
    for (INTL_INT code = -1; code >= -48; --code)
        EXPECT_STRNE(intl_errstr(code), intl_errstr(code - 1)) << "code " << code;
    EXPECT_EQ(std::string(intl__getVdate()).rfind("Korvan Intl-Library", 0), 0u);
    EXPECT_EQ(comn_calloc(0x10000, 0x10000), nullptr);
    EXPECT_EQ(comn_calloc(UINT32_MAX, 2), nullptr);
}

TEST(Home, OverrideAndBuffers) {
    char buf[600];
    ::setenv("KORVAN", "/env", 1);
    ASSERT_EQ(intl_sethome(std::string(511, 'o').c_str()), INTL_OK);
    EXPECT_EQ(intl_sethome(std::string(512, 'x').c_str()), INTL_E_PATHLONG);
    EXPECT_EQ(intl_home(buf, 512), 511) << "the override wins and stays";
    ASSERT_EQ(intl_sethome("/over"), INTL_OK);
    EXPECT_EQ(intl_home(buf, 5), INTL_E_OVERFLOW);
    EXPECT_EQ(buf[0], 'o') << "a failed lookup writes nothing";
    EXPECT_EQ(intl_home(buf, 0), INTL_E_OVERFLOW);
    EXPECT_EQ(intl_home(nullptr, -1), INTL_E_NULLBUF);
    EXPECT_EQ(intl_home(buf, -1), INTL_E_BUFLEN);
    ASSERT_EQ(intl_sethome(""), INTL_OK);
    EXPECT_EQ(intl_home(buf, 5), 4) << "an empty override is none";
    ::unsetenv("KORVAN");
    EXPECT_EQ(intlgetenv(nullptr, 10, nullptr), 0);
    EXPECT_EQ(intlgetenv(nullptr, 10, "KORVAN"), INTL_E_NULLBUF);
    EXPECT_EQ(intlgetenv(buf, 0, "KORVAN"), 0);
}

// Run again by UserLookup with a password database of its own: prints what
// intl_home finds and ends before any test runs.
[[maybe_unused]] const bool lookup_child = [] {
    if (std::getenv("INTL_TEST_LOOKUP_CHILD") == nullptr)
        return false;
    char buf[600];
    const INTL_INT length = intl_home(buf, sizeof buf);
    std::printf("%d %s", static_cast<int>(length), length >= 0 ? buf : "");
    std::exit(0);
}();

// intl_home in a child whose password database holds passwd alone and whose
// environment holds nothing of ours but korvan ("KORVAN=..." or nothing).
std::string home_with_users(const std::string &passwd, const std::string &korvan) {
    TempDir dir;
    const auto quoted = [](const std::string &path) { return "'" + path + "'"; };
    // A sanitizer's runtime would insist on coming before the preload, and the
    // thread checker misses the preload's first locks; the child has one thread.
    const std::string command =
        "env -i INTL_TEST_LOOKUP_CHILD=1 LD_PRELOAD=" INTL_NSS_WRAPPER
        " ASAN_OPTIONS=verify_asan_link_order=0 TSAN_OPTIONS=report_bugs=0 "s +
        korvan + " NSS_WRAPPER_PASSWD=" + quoted(dir.write("passwd", passwd)) +
        " NSS_WRAPPER_GROUP=" + quoted(dir.write("group", "")) + " " +
        quoted(std::filesystem::read_symlink("/proc/self/exe")) + " >" + quoted(dir.path() / "out");
    const int status = std::system(command.c_str());
    return status == 0 ? TempDir::read(dir.path() / "out") : "status " + std::to_string(status);
}

TEST(UserLookup, KorvanPresentOrAbsent) {
    if (*INTL_NSS_WRAPPER == '\0')
        GTEST_SKIP() << "no libnss_wrapper for this architecture";
    const std::string user = "korvan:x:1:1::/srv/korvan:\n", other = "other:x:2:1::/home/o:\n";
    const std::string k512(512, 'k');
    const struct {
        std::string passwd, korvan, found;
    } cases[] = {
        {other + user, "", "11 /srv/korvan"},
        {user, "KORVAN=", "11 /srv/korvan"},
        {user, "KORVAN=/env", "4 /env"},
        {user, "KORVAN=" + k512, "512 " + k512},
        {user, "KORVAN=k" + k512, "-7 "}, // too long: no fall back to the user
        {other, "", "-156 "},
        {"korvan:x:1:1:::\n", "", "0 "},
        {"korvan:x:1:1::/" + std::string(599, 'h') + ":\n", "", "-7 "},
    };
    for (const auto &c : cases)
        EXPECT_EQ(home_with_users(c.passwd, c.korvan), c.found) << c.passwd << c.korvan;
}

} // namespace
