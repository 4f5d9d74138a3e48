// Library frame: status texts, version, allocation wrappers, installation
// directory lookup.
#include <intl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>

namespace {

TEST(ErrorTexts, EveryCodeMapsToItsRow) {
    const struct {
        INTL_INT code;
        const char *text;
    } rows[] = {
        {1, "Unknown error"},
        {0, "Unknown error"},
        {INTL_E_GENERAL, "General Intl-Library error"},
        {INTL_E_NOVALUE, "Syntax error:  no value found"},
        {INTL_E_DATEORDER,
         "Element of dateorder entry is invalid.  Valid elements are 'm', 'd', and 'y'"},
        {INTL_E_OVERFLOW, "Copying string would result in overflow of buffer"},
        {INTL_E_VALUELONG, "Value too long"},
        {INTL_E_PLACEHOLDER, "Unable to build string:  illegal place holder found in text string"},
        {INTL_E_FORMATSYNTAX, "Unable to build string: syntax error found in formats string"},
        {INTL_E_NOFORMATS, "Null format string parameter to intl_fmtinstall()"},
        {INTL_E_STARS, "intl_strblist():  Only 0, 1, or 2 stars allowed in format string"},
        {INTL_E_FEWSHORTMONTHS, "Too few short onths in datetime section"},
        {INTL_E_HEADING, "Syntax error in section heading"},
        {-46, "Unknown error"},
        {-149, "Unknown error"},
        {-150, "Unknown error"},
        {INTL_E_OPEN, "Unable to open file"},
        {INTL_E_CLOSE, "Unable to close file"},
        {INTL_E_READ, "Unable to read file"},
        {INTL_E_WRITE, "Unable to write to file"},
        {INTL_E_EOF, "End of file"},
        {INTL_E_NOUSER, "Couldn't find the user 'korvan'"},
        {INTL_E_STAT, "Unable to access file information"},
        {INTL_E_NOMEM, "Unknown error"},
        {-255, "Unknown error"},
        {-256, "Unknown error"},
        {INT32_MIN, "Unknown error"},
        {INT32_MAX, "Unknown error"},
    };
    for (const auto &row : rows)
        EXPECT_STREQ(intl_errstr(row.code), row.text) << "code " << row.code;
}

TEST(ErrorTexts, LibraryRowsAreAllDistinctAndPresent) {
    for (INTL_INT code = -1; code >= -45; --code) {
        const char *text = intl_errstr(code);
        ASSERT_NE(text, nullptr);
        EXPECT_STRNE(text, "Unknown error") << "code " << code;
        EXPECT_STRNE(text, intl_errstr(code - 1)) << "code " << code;
    }
}

TEST(Frame, StartEndAndVersion) {
    EXPECT_EQ(intl_init(), INTL_OK);
    EXPECT_EQ(intl_exit(), INTL_OK);
    const std::string version = intl__getVdate();
    EXPECT_EQ(version.rfind("Korvan Intl-Library", 0), 0u) << version;
    for (const char *field : {"/Linux Intel/", "/Native Threads/", "/DEBUG/"})
        EXPECT_NE(version.find(field), std::string::npos) << field;
    EXPECT_EQ(intl__getVdate(), intl__getVdate());
    ASSERT_NE(intl__Vcopyright, nullptr);
    EXPECT_NE(std::strchr(intl__Vcopyright, '\n'), nullptr);
}

TEST(Memory, CallocZeroesAndRefusesOverflow) {
    auto *block = static_cast<unsigned char *>(comn_calloc(16, 4));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(block[i], 0);
    comn_cfree(block);

    EXPECT_EQ(comn_calloc(0x10000, 0x10000), nullptr);
    EXPECT_EQ(comn_calloc(UINT32_MAX, 2), nullptr);
    comn_cfree(comn_calloc(0, 16));
}

TEST(Memory, ReallocKeepsContents) {
    auto *block = static_cast<char *>(comn_malloc(4));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "abc", 4);
    block = static_cast<char *>(comn_realloc(block, 4096));
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block, "abc");
    comn_free(block);
}

// Each case starts with no override and KORVAN unset.
class HomeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        intl_sethome(nullptr);
        ::unsetenv("KORVAN");
    }
    void TearDown() override { SetUp(); }

    static bool korvan_user_exists() { return ::getpwnam("korvan") != nullptr; }
};

TEST_F(HomeTest, OverrideWinsOverVariableAndClears) {
    char buf[600];
    ::setenv("KORVAN", "/from/env", 1);
    EXPECT_EQ(intl_home(buf, sizeof buf), 9);
    EXPECT_STREQ(buf, "/from/env");

    ASSERT_EQ(intl_sethome("/over"), INTL_OK);
    EXPECT_EQ(intl_home(buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "/over");

    for (const char *clear : {static_cast<const char *>(nullptr), ""}) {
        ASSERT_EQ(intl_sethome("/over"), INTL_OK);
        ASSERT_EQ(intl_sethome(clear), INTL_OK);
        EXPECT_EQ(intl_home(buf, sizeof buf), 9);
        EXPECT_STREQ(buf, "/from/env");
    }
}

TEST_F(HomeTest, OverrideLengthLimit) {
    char buf[600];
    ASSERT_EQ(intl_sethome("/kept"), INTL_OK);
    EXPECT_EQ(intl_sethome(std::string(512, 'x').c_str()), INTL_E_PATHLONG);
    EXPECT_EQ(intl_home(buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "/kept");

    const std::string longest(511, 'y');
    ASSERT_EQ(intl_sethome(longest.c_str()), INTL_OK);
    EXPECT_EQ(intl_home(buf, sizeof buf), 511);
    EXPECT_EQ(buf, longest);
}

TEST_F(HomeTest, BufferBoundariesAndArgumentOrder) {
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(intl_sethome("/korvan"), INTL_OK);
    EXPECT_EQ(intl_home(buf, 8), 7);
    EXPECT_STREQ(buf, "/korvan");
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(intl_home(buf, 7), INTL_E_OVERFLOW);
    EXPECT_EQ(buf[0], '#') << "a failed lookup writes nothing";
    EXPECT_EQ(intl_home(buf, 0), INTL_E_OVERFLOW);
    EXPECT_EQ(intl_home(nullptr, -1), INTL_E_NULLBUF);
    EXPECT_EQ(intl_home(buf, -1), INTL_E_BUFLEN);
}

TEST_F(HomeTest, VariableLengthLimits) {
    std::string buf(600, '\0');
    ::setenv("KORVAN", std::string(512, 'k').c_str(), 1);
    EXPECT_EQ(intl_home(buf.data(), 513), 512);
    EXPECT_EQ(intl_home(buf.data(), 512), INTL_E_OVERFLOW);
    ::setenv("KORVAN", std::string(513, 'k').c_str(), 1);
    EXPECT_EQ(intl_home(buf.data(), 600), INTL_E_OVERFLOW)
        << "too long for the lookup: no fall back to the password database";
}

TEST_F(HomeTest, EmptyVariableFallsBackToUser) {
    char buf[600];
    ::setenv("KORVAN", "", 1);
    const INTL_INT result = intl_home(buf, sizeof buf);
    if (korvan_user_exists()) {
        EXPECT_GE(result, 0);
        EXPECT_STREQ(buf, ::getpwnam("korvan")->pw_dir);
    } else {
        EXPECT_EQ(result, INTL_E_NOUSER);
    }
}

TEST(Getenv, ResultsAndCheckOrder) {
    char buf[8];
    ::setenv("INTL_TEST_VAR", "abc", 1);
    ::setenv("INTL_TEST_EMPTY", "", 1);
    ::unsetenv("INTL_TEST_UNSET");

    EXPECT_EQ(intlgetenv(nullptr, 10, nullptr), 0);
    EXPECT_EQ(intlgetenv(nullptr, 10, "INTL_TEST_VAR"), INTL_E_NULLBUF);
    EXPECT_EQ(intlgetenv(buf, -1, "INTL_TEST_VAR"), INTL_E_BUFLEN);
    EXPECT_EQ(intlgetenv(buf, 0, "INTL_TEST_EMPTY"), INTL_E_OVERFLOW);
    EXPECT_EQ(intlgetenv(buf, 0, "INTL_TEST_UNSET"), 0);
    EXPECT_EQ(intlgetenv(buf, 3, "INTL_TEST_VAR"), INTL_E_OVERFLOW);
    EXPECT_EQ(intlgetenv(buf, 4, "INTL_TEST_VAR"), 3);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(intlgetenv(buf, sizeof buf, "INTL_TEST_EMPTY"), 0);
    EXPECT_STREQ(buf, "");
}

} // namespace
