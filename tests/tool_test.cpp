// The intl tool, run as a program on real files: the table compiler and
// its errors, mktable, translation against iconv(3), dump, check, show,
// datetime and message on the shipped data and on broken files.
#include <intl.h>

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using namespace std::string_literals;

#ifdef INTL_TOOL
constexpr const char *tool_path = INTL_TOOL;
constexpr const char *emulator = INTL_TOOL_EMULATOR;
constexpr const char *build_data = INTL_BUILD_DATA_DIR;
#else
constexpr const char *tool_path = nullptr;
constexpr const char *emulator = "";
constexpr const char *build_data = "";
#endif

// What one run of the tool gave.
struct Result {
    int status;
    std::string out;
    std::string err;
};

// Every table the build ships: server directory and client file name.
struct Shipped {
    const char *server;
    const char *client;
    const char *sample; // a realistic text of the client charset, from data/samples
};

const Shipped shipped[] = {
    {"ISO-8859-1", "CP850", "latin.ISO-8859-1.txt"},
    {"ISO-8859-1", "CP437", "latin.ISO-8859-1.txt"},
    {"ISO-8859-1", "CP1252", "latin.ISO-8859-1.txt"},
    {"UTF-8", "ISO-8859-1", "latin.ISO-8859-1.txt"},
    {"UTF-8", "CP1252", "latin.ISO-8859-1.txt"},
    {"UTF-8", "SHIFT_JIS", "japanese.SHIFT_JIS.txt"},
    {"EUC-JP", "SHIFT_JIS", "japanese.SHIFT_JIS.txt"},
};

std::string sample_charset(const std::string &sample) {
    const std::size_t dot = sample.find('.');
    return sample.substr(dot + 1, sample.rfind('.') - dot - 1);
}

// iconv(3), the peer nobody here wrote: a whole text at once.
std::optional<std::string> iconv_text(const std::string &to, const std::string &from,
                                      const std::string &text) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(text.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(text.data());
    std::size_t in_left = text.size();
    char *next = out.data();
    std::size_t room = out.size();
    const std::size_t rc = iconv(cd, &in, &in_left, &next, &room);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - room);
    return out;
}

// Every client character that iconv converts, one string each: single
// bytes, and two bytes after a lead byte that is incomplete on its own.
std::vector<std::string> client_characters(const std::string &client, const std::string &server) {
    std::vector<std::string> characters;
    iconv_t cd = iconv_open(server.c_str(), client.c_str());
    auto convert = [cd](const std::string &bytes, int &error) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char out[32];
        char *in = const_cast<char *>(bytes.data());
        std::size_t in_left = bytes.size(), room = sizeof out;
        char *next = out;
        error = iconv(cd, &in, &in_left, &next, &room) == static_cast<std::size_t>(-1) ? errno : 0;
        return sizeof out - room;
    };
    for (int lead = 0; lead < 256; ++lead) {
        int error = 0;
        const std::string one(1, static_cast<char>(lead));
        const std::size_t produced = convert(one, error);
        if (error == 0 && produced >= 1 && produced <= 8)
            characters.push_back(one);
        if (error != EINVAL)
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const std::string two = one + static_cast<char>(trail);
            if (convert(two, error) <= 8 && error == 0)
                characters.push_back(two);
        }
    }
    iconv_close(cd);
    return characters;
}

class Tool : public ::testing::Test {
  protected:
    void SetUp() override {
        if (tool_path == nullptr)
            GTEST_SKIP() << "the intl tool is not built";
    }

    // Runs intl with args and stdin; the environment is ours without
    // KORVAN unless one is given.
    Result intl(const std::vector<std::string> &args, const std::string &input = "",
                const std::optional<std::string> &korvan = std::nullopt) {
        const std::string in = dir_.write("stdin", input);
        const std::string out = (dir_.path() / "stdout").string();
        const std::string err = (dir_.path() / "stderr").string();
        std::vector<std::string> argv;
        std::istringstream words{emulator};
        for (std::string word; words >> word;)
            argv.push_back(word);
        argv.push_back(tool_path);
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char *> cargv;
        for (std::string &a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<std::string> env;
        for (char **e = environ; *e != nullptr; ++e)
            if (std::strncmp(*e, "KORVAN=", 7) != 0)
                env.emplace_back(*e);
        if (korvan)
            env.push_back("KORVAN=" + *korvan);
        std::vector<char *> cenv;
        for (std::string &e : env)
            cenv.push_back(e.data());
        cenv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return {-1, "", "spawn failed: "s + std::strerror(rc)};
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                TempDir::read(out), TempDir::read(err)};
    }

    // Translates with a shipped table of the build's data directory.
    Result xlate(const Shipped &t, const char *direction, const std::string &text,
                 const char *block = "65536") {
        return intl({"xlate", "--home", build_data, "--charset", t.server, "--table", t.client,
                     direction, "--block", block},
                    text);
    }

    std::string data_file(const std::string &relative) const {
        return std::string{INTL_TEST_DATA_DIR} + "/" + relative;
    }

    TempDir dir_;
};

// --- the table compiler ------------------------------------------------

void put32(std::string &out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

// A 24-byte record: src_left, dest_chars, 7 pattern bytes, 8 destination
// bytes, one byte of padding; unused bytes are zero.
std::string record(const std::string &rest_of_source, const std::string &destination) {
    std::string r;
    put32(r, static_cast<std::uint32_t>(rest_of_source.size()));
    put32(r, static_cast<std::uint32_t>(destination.size()));
    r += rest_of_source + std::string(7 - rest_of_source.size(), '\0');
    r += destination + std::string(8 - destination.size(), '\0');
    return r + '\0';
}

// A block: tabcode, the 256 list headers, then the records by first byte.
std::string block(std::uint32_t tabcode, const std::map<int, std::vector<std::string>> &lists) {
    std::string b;
    put32(b, tabcode);
    for (int first = 0; first < 256; ++first) {
        const auto it = lists.find(first);
        put32(b, it == lists.end() ? 0 : static_cast<std::uint32_t>(it->second.size()));
        put32(b, 0);
    }
    for (const auto &[first, records] : lists)
        for (const std::string &r : records)
            b += r;
    return b;
}

const char small_source[] = "; a small table\n"
                            "[file format]\n"
                            "version = 4.1\n"
                            "[to server]\n"
                            "map = 0x41, 0x7879          ; A -> xy\n"
                            "range = 0x61, 0x63, 0xC3A1  ; a b c -> C3A1 C3A2 C3A3\n"
                            "map = 0x4142, Q             ; AB -> Q, sorted before A\n"
                            "delete = 0x7F\n"
                            "map = 0x00, 0x30            ; a zero first byte\n"
                            "[to display]\n"
                            "map = 0xC3A1, a\n";

TEST_F(Tool, CompileWritesTheCompiledFormatByteForByte) {
    const std::string source = dir_.write("small.tbl", small_source);
    const std::string output = (dir_.path() / "small").string();
    const Result run = intl({"compile", source, "-o", output});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::string expected;
    put32(expected, 410);
    expected += block(0, {{0x00, {record("", "0")}},
                          {0x41, {record("B", "Q"), record("", "xy")}},
                          {0x61, {record("", "\xC3\xA1")}},
                          {0x62, {record("", "\xC3\xA2")}},
                          {0x63, {record("", "\xC3\xA3")}},
                          {0x7F, {record("", "")}}});
    expected += block(1, {{0xC3, {record("\xA1", "a")}}});
    EXPECT_EQ(TempDir::read(output), expected);
}

TEST_F(Tool, CompiledTablesLoadAndTranslateBothWays) {
    const std::string source = dir_.write("small.tbl", small_source);
    std::filesystem::create_directories(dir_.path() / "charsets/TEST");
    ASSERT_EQ(
        intl({"compile", source, "-o", (dir_.path() / "charsets/TEST/small").string()}).status, 0);
    ASSERT_EQ(intl_sethome(dir_.path().c_str()), INTL_OK);
    const INTL_INT size = intl_xlatesize("TEST", "small");
    ASSERT_GT(size, 0);
    std::vector<std::uint64_t> buffer(static_cast<std::size_t>(size) / 8 + 1);
    INTL_XLATE *to_server = nullptr, *to_display = nullptr;
    ASSERT_EQ(intl_load_xlate(buffer.data(), "TEST", "small", &to_server, &to_display), INTL_OK);
    intl_sethome(nullptr);

    struct Case {
        const INTL_XLATE *table;
        std::string in, out;
    } cases[] = {
        {to_server,
         "ABA\x7F"
         "c",
         "Qxy\xC3\xA3"},
        {to_server, "b"s + '\0' + "Z",
         "\xC3\xA2"
         "0Z"},
        {to_display, "\xC3\xA1\xC3\xA2", "a\xC3\xA2"},
    };
    for (const Case &c : cases) {
        unsigned char out[64];
        INTL_INT used = 0, status = 0;
        const INTL_INT n = intl_xlate(reinterpret_cast<const unsigned char *>(c.in.data()),
                                      static_cast<INTL_INT>(c.in.size()), out, sizeof out, c.table,
                                      &used, 1, &status);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(out), static_cast<std::size_t>(n)), c.out);
        EXPECT_EQ(used, static_cast<INTL_INT>(c.in.size()));
        EXPECT_EQ(status, 0);
    }
}

TEST_F(Tool, CompileReportsEveryErrorWithItsLineAndWritesNothing) {
    const std::string head = "; errors\n[to server]\n";
    struct Case {
        std::string body;
        std::string message; // for line 3 of the file
    } cases[] = {
        {"map = 0x414243444546474849, x\n", "source 0x414243444546474849 is longer than 8 bytes"},
        {"map = 0x41, 0x414243444546474849\n",
         "destination 0x414243444546474849 is longer than 8 bytes"},
        {"map = 0x4100, x\n",
         "zero byte after the first byte of source 0x4100: a compiled table cannot hold it"},
        {"map = 0x41, 0x4200\n",
         "zero byte in destination 0x4200: a compiled table cannot hold it"},
        {"map = 0x41,\n", "empty destination; a mapping that drops its source is a 'delete'"},
        {"map = , x\n", "empty source sequence"},
        {"map = 0x41\n", "'map' takes 2 values (source, destination), found 1"},
        {"delete = a, b\n", "'delete' takes 1 value (source), found 2"},
        {"range = 0x41, 0x42\n", "'range' takes 3 values (first, last, destination of first), "
                                 "found 2"},
        {"range = 0x42, 0x41, x\n", "range ends at 0x41, before its first byte 0x42"},
        {"range = 0x41, 0x4243, x\n", "the last byte of a range must be one byte, found 0x4243"},
        {"range = 0x41, 0x43, 0xFE\n", "range runs the last destination byte past 0xFF"},
        {"mapp = 0x41, x\n", "unknown entry 'mapp'; expected map, range or delete"},
        {"map = 0x414, x\n", "Odd number of hex digits in localization file"},
        {"no equals sign\n", "Syntax error:  no entry found"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        const std::string source = dir_.write("bad.tbl", head + c.body);
        const std::string output = (dir_.path() / "bad").string();
        const Result run = intl({"compile", source, "-o", output});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, source + ":3: " + c.message + "\n");
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

TEST_F(Tool, CompileReportsFileLevelErrors) {
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"; nothing\n[other]\nmap = a, b\n",
         ":2: unknown section [other]; expected [to server] or [to display]\n"
         "{}: no [to server] or [to display] section\n"},
        {"; twice\n[to server]\nmap = a, b\n[to server]\nmap = a, c\n",
         ":4: section [to server] given twice\n"},
        {"; dup\n[to display]\nmap = 0x8140, x\nrange = 0x80, 0x82, y\nmap = 0x81, z\n"
         "map = 0x8140, w\n",
         ":5: duplicate source 0x81 in [to display], first given on line 4\n"
         "{}:6: duplicate source 0x8140 in [to display], first given on line 3\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const std::string source = dir_.write("bad.tbl", c.text);
        const Result run = intl({"compile", source, "-o", (dir_.path() / "out").string()});
        EXPECT_EQ(run.status, 1);
        std::string expected = source + c.message;
        for (std::size_t at; (at = expected.find("{}")) != std::string::npos;)
            expected.replace(at, 2, source);
        EXPECT_EQ(run.err, expected);
    }
    const Result missing = intl({"compile", (dir_.path() / "none.tbl").string(), "-o", "x"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, (dir_.path() / "none.tbl").string() + ": No such file or directory\n");
}

TEST_F(Tool, FailedCompileKeepsAnEarlierOutputWhole) {
    const std::string output = dir_.write("table", "earlier");
    const std::string source = dir_.write("bad.tbl", "; x\n[to server]\nmap = a\n");
    EXPECT_EQ(intl({"compile", source, "-o", output}).status, 1);
    EXPECT_EQ(TempDir::read(output), "earlier");
    for (const auto &entry : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_EQ(entry.path().filename().string().find(".table"), std::string::npos)
            << "a temporary file was left behind";
}

// --- mktable -------------------------------------------------------------

TEST_F(Tool, MktableRewritesEveryShippedSourceUnchanged) {
    for (const Shipped &t : shipped) {
        SCOPED_TRACE(std::string{t.server} + "/" + t.client);
        const Result run = intl({"mktable", "--client", t.client, "--server", t.server});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(run.out ==
                    TempDir::read(data_file("charsets/"s + t.server + "/" + t.client + ".tbl")))
            << "regenerate with the regenerate-tables target";
    }
}

TEST_F(Tool, MktableRefusesWhatTablesCannotExpress) {
    const Result unknown = intl({"mktable", "--client", "NO-SUCH-CHARSET", "--server", "UTF-8"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("iconv cannot convert from NO-SUCH-CHARSET to UTF-8"),
              std::string::npos)
        << unknown.err;
    // Shift sequences of a stateful server charset depend on what came before.
    const Result stateful = intl({"mktable", "--client", "EUC-JP", "--server", "ISO-2022-JP"});
    EXPECT_EQ(stateful.status, 1);
    EXPECT_NE(stateful.err.find("switches states"), std::string::npos) << stateful.err;
}

TEST_F(Tool, MktableTableCompilesAndAgreesWithIconv) {
    const std::string source = (dir_.path() / "koi.tbl").string();
    ASSERT_EQ(intl({"mktable", "--client", "KOI8-R", "--server", "UTF-8", "-o", source}).status, 0);
    std::filesystem::create_directories(dir_.path() / "charsets/UTF-8");
    ASSERT_EQ(
        intl({"compile", source, "-o", (dir_.path() / "charsets/UTF-8/KOI8-R").string()}).status,
        0);
    std::string all;
    for (const std::string &c : client_characters("KOI8-R", "UTF-8"))
        all += c;
    const Result run = intl(
        {"xlate", "--home", dir_.path().string(), "--charset", "UTF-8", "--table", "KOI8-R"}, all);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out == iconv_text("UTF-8", "KOI8-R", all));
}

// --- translation against iconv(3) ------------------------------------------

TEST_F(Tool, EveryShippedTableTranslatesLikeIconvInBothDirections) {
    for (const Shipped &t : shipped) {
        SCOPED_TRACE(std::string{t.server} + "/" + t.client);
        std::string every, round_trips;
        for (const std::string &c : client_characters(t.client, t.server)) {
            every += c;
            const std::optional<std::string> there = iconv_text(t.server, t.client, c);
            if (there && iconv_text(t.client, t.server, *there) == c)
                round_trips += c;
        }
        ASSERT_FALSE(every.empty());
        const std::optional<std::string> expected = iconv_text(t.server, t.client, every);
        ASSERT_TRUE(expected);
        // Odd block sizes put block ends inside multi-byte sequences.
        for (const char *block : {"65536", "1", "7"}) {
            SCOPED_TRACE(block);
            const Result to_server = xlate(t, "--to-server", every, block);
            EXPECT_EQ(to_server.status, 0) << to_server.err;
            EXPECT_TRUE(to_server.out == *expected);
            const std::string server_text = *iconv_text(t.server, t.client, round_trips);
            const Result to_display = xlate(t, "--to-display", server_text, block);
            EXPECT_EQ(to_display.status, 0) << to_display.err;
            EXPECT_TRUE(to_display.out == iconv_text(t.client, t.server, server_text));
            EXPECT_TRUE(to_display.out == round_trips);
        }
    }
}

TEST_F(Tool, RealisticTextsTranslateLikeIconvAndComeBack) {
    for (const Shipped &t : shipped) {
        SCOPED_TRACE(std::string{t.server} + "/" + t.client);
        const std::string sample = TempDir::read(data_file("samples/"s + t.sample));
        ASSERT_FALSE(sample.empty());
        const std::optional<std::string> text =
            iconv_text(t.client, sample_charset(t.sample), sample);
        ASSERT_TRUE(text);
        const Result there = xlate(t, "--to-server", *text, "5");
        EXPECT_TRUE(there.out == iconv_text(t.server, t.client, *text));
        const Result back = xlate(t, "--to-display", there.out, "3");
        EXPECT_TRUE(back.out == *text);
    }
}

TEST_F(Tool, XlateBehavesLikeIconvWithFilesAndStandardInput) {
    const Shipped &latin = shipped[3];
    const std::string a = dir_.write("a.txt", "caf\xE9\n");
    const std::string b = dir_.write("b.txt", "\xFC"
                                              "ber\n");
    const std::string missing = (dir_.path() / "missing.txt").string();
    const std::string home = build_data;
    auto args = [&](std::vector<std::string> files) {
        std::vector<std::string> v = {"xlate",      "--home",  home,        "--charset",
                                      latin.server, "--table", latin.client};
        v.insert(v.end(), files.begin(), files.end());
        return v;
    };
    const Result both = intl(args({a, "-", b}), "na\xEFve\n");
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, "caf\xC3\xA9\nna\xC3\xAFve\n\xC3\xBC"
                        "ber\n");
    const Result stdin_only = intl(args({}), "\xE9");
    EXPECT_EQ(stdin_only.out, "\xC3\xA9");
    // A missing file is reported and skipped; the status tells.
    const Result partly = intl(args({missing, a}));
    EXPECT_EQ(partly.status, 1);
    EXPECT_EQ(partly.out, "caf\xC3\xA9\n");
    EXPECT_EQ(partly.err,
              "intl xlate: cannot open input file '" + missing + "': No such file or directory\n");
}

TEST_F(Tool, XlateAndDumpReportMissingTablesAndHomes) {
    const std::string home = build_data;
    struct Case {
        std::vector<std::string> args;
        std::optional<std::string> korvan;
        std::string err;
    } cases[] = {
        {{"xlate", "--home", home, "--charset", "UTF-8", "--table", "NONE"},
         std::nullopt,
         "intl xlate: cannot load " + home +
             "/charsets/UTF-8/NONE: Unable to access file "
             "information\n"},
        {{"dump", "--charset", "UTF-8", "--table", "CP1252"},
         "/nonexistent",
         "intl dump: cannot load /nonexistent/charsets/UTF-8/CP1252: Unable to access file "
         "information\n"},
    };
    for (const Case &c : cases) {
        const Result run = intl(c.args, "", c.korvan);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.err);
    }
    // Neither --home nor KORVAN: the built-in data directory.
    const Result built_in = intl({"xlate", "--charset", "UTF-8", "--table", "CP1252"}, "\x80");
    EXPECT_EQ(built_in.status, 0) << built_in.err;
    EXPECT_EQ(built_in.out, "\xE2\x82\xAC");
    // KORVAN names the data directory when there is no --home.
    const Result by_korvan =
        intl({"xlate", "--charset", "UTF-8", "--table", "CP1252"}, "\x80", home);
    EXPECT_EQ(by_korvan.out, "\xE2\x82\xAC");
    const Result usage = intl({"xlate", "--charset", "UTF-8"});
    EXPECT_EQ(usage.status, 64);
}

TEST_F(Tool, DumpPrintsTheLoadedTable) {
    const std::string source =
        dir_.write("t.tbl", "; t\n[to server]\nmap = 0x8EA1, 0x0A\nmap = AB, xy\n");
    std::filesystem::create_directories(dir_.path() / "charsets/S");
    ASSERT_EQ(intl({"compile", source, "-o", (dir_.path() / "charsets/S/t").string()}).status, 0);
    const std::vector<std::string> common = {
        "--home", dir_.path().string(), "--charset", "S", "--table", "t"};
    std::vector<std::string> args = {"dump"};
    args.insert(args.end(), common.begin(), common.end());
    const Result to_server = intl(args);
    EXPECT_EQ(to_server.status, 0);
    EXPECT_EQ(to_server.out, "Source string: AB\nDest string: xy\n"
                             "Source string: 8ea1\nDest string: a\n");
    args.push_back("--to-display");
    EXPECT_EQ(intl(args).out, "Translation table is empty.\n");
    args[0] = "xlate";
    const Result xlate_missing = intl(args);
    EXPECT_EQ(xlate_missing.status, 1);
    EXPECT_NE(xlate_missing.err.find("holds no to-display table"), std::string::npos);
}

// --- localization files ------------------------------------------------

TEST_F(Tool, ShippedLocalizationFilesAreClean) {
    const Result run =
        intl({"check", data_file("locale/datetime.loc"), data_file("locale/messages.loc")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
}

TEST_F(Tool, CheckReportsErrorsAndSilentPitfalls) {
    struct Case {
        std::string text;
        int status;
        std::string report; // {} stands for the file name
    } cases[] = {
        {"; ok\n[s]\na = 1\n", 0, ""},
        {"; c\n[s]\nno equals\nb = 0x414\nc = 1\n[t\n", 1,
         "{}:3: Syntax error:  no entry found\n"
         "{}:4: Odd number of hex digits in localization file\n"
         "{}:6: Syntax error in section heading\n"},
        {"; c\n[s]\na = 1, \\\r\n  2\r\nb = 2", 1,
         "{}:3: warning: escape character before a carriage return: the line is not "
         "continued (CRLF line end)\n"
         "{}:4: Syntax error:  no entry found\n"
         "{}:5: warning: last line has no newline: the reader never reads it\n"},
        {"", 1, "{}: the file is empty: it needs a comment line first\n"},
        {"[s]\na = 1\n", 0,
         "{}:1: warning: the file begins with a heading, so '[' is its comment character: "
         "begin it with a comment line\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const std::string file = dir_.write("f.loc", c.text);
        const Result run = intl({"check", file});
        EXPECT_EQ(run.status, c.status);
        std::string expected = c.report;
        for (std::size_t at; (at = expected.find("{}")) != std::string::npos;)
            expected.replace(at, 2, file);
        EXPECT_EQ(run.out, expected);
    }
    const Result two =
        intl({"check", dir_.write("good.loc", "; ok\n[s]\n"), (dir_.path() / "none.loc").string()});
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.out, (dir_.path() / "none.loc").string() + ": No such file or directory\n");
}

TEST_F(Tool, ShowPrintsSectionsEntriesAndValues) {
    const std::string file =
        dir_.write("f.loc", "; c\n[file format]\nversion = 4.2\n[one]\na = x, \"y, z\", 0x09\n"
                            "[two]\nempty =\nq = \"say \"\"hi\"\"\"\n");
    const Result text = intl({"show", file});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "[one]\na = \"x\", \"y, z\", \"\\t\"\n\n[two]\nempty = \"\"\n"
                        "q = \"say \\\"hi\\\"\"\n");
    const Result json = intl({"show", file, "--section", "two", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, "{\n  \"file\": \"" + file +
                            "\",\n  \"version\": 420,\n  \"sections\": [\n    {\n"
                            "      \"name\": \"two\",\n      \"line\": 6,\n"
                            "      \"entries\": [\n"
                            "        {\n          \"name\": \"empty\",\n          \"line\": 7,\n"
                            "          \"values\": [\n            \"\"\n          ]\n        },\n"
                            "        {\n          \"name\": \"q\",\n          \"line\": 8,\n"
                            "          \"values\": [\n            \"say \\\"hi\\\"\"\n"
                            "          ]\n        }\n      ]\n    }\n  ]\n}\n");
    const Result missing = intl({"show", file, "--section", "three"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, file + ": no section [three]\n");
    const Result broken = intl({"show", dir_.write("b.loc", "; c\n[s]\nx\n")});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err, (dir_.path() / "b.loc").string() + ":3: Syntax error:  no entry found\n");
}

TEST_F(Tool, DatetimeRendersTheShippedSections) {
    const std::string file = data_file("locale/datetime.loc");
    struct Case {
        const char *section;
        const char *at;
        std::string date_line;
    } cases[] = {
        {"english", "2024-03-05 14:30", "Date:         Tuesday, March 5 2024, 2:30 PM\n"},
        {"english", "2024-03-05T00:05", "Date:         Tuesday, March 5 2024, 12:05 AM\n"},
        {"german", "2024-03-05 14:30", "Date:         Dienstag, 5 M\xE4rz 2024, 14:30\n"},
        {"french", "2024-12-25",
         "Date:         mercredi, 25 d\xE9"
         "cembre 2024, 00:00\n"},
        {"japanese", "2024-03-05 14:30",
         *iconv_text("SHIFT_JIS", "UTF-8", "Date:         火曜日, 2024 3月 5, 14:30\n")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.section);
        const Result run = intl({"datetime", file, c.section, "--at", c.at});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.date_line), std::string::npos) << run.out;
    }
    const Result english = intl({"datetime", file, "english", "--at", "2024-03-05"});
    EXPECT_EQ(english.out.substr(0, english.out.find("Date:")),
              "Months:       January, February, March, April, May, June, July, August, "
              "September, October, November, December\n"
              "Short months: Jan, Feb, Mar, Apr, May, Jun, Jul, Aug, Sep, Oct, Nov, Dec\n"
              "Days:         Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday\n"
              "First day:    7 (Sunday)\n"
              "Date order:   mdy\n"
              "Clock:        12-hour\n");
    const Result today = intl({"datetime", file, "english"});
    EXPECT_EQ(today.status, 0);
    EXPECT_NE(today.out.find("Today:        "), std::string::npos);
}

TEST_F(Tool, DatetimeReportsBrokenSections) {
    const std::string file = dir_.write(
        "d.loc", "; d\n[few]\nmonths = a, b\n[order]\ndateformat = mmd\n[ok]\ntimeformat = 24\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{"few"}, 1, file + ":3: Too few months in datetime section\n"},
        {{"order"}, 1, file + ":5: Duplicate dateformat value\n"},
        {{"none"}, 1, file + ": no section [none]\n"},
        {{"ok", "--at", "2024-02-30"},
         1,
         "intl datetime: --at wants a moment as YYYY-MM-DD or YYYY-MM-DD HH:MM, not "
         "'2024-02-30'\n"},
        {{"ok", "--at", "2024-02-29 23:59"}, 0, ""},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"datetime", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result run = intl(args);
        EXPECT_EQ(run.status, c.status) << c.args[0];
        EXPECT_EQ(run.err, c.err);
    }
}

TEST_F(Tool, MessageFillsAndReordersArguments) {
    const std::string file = data_file("locale/messages.loc");
    struct Case {
        const char *section;
        std::string expected; // in the section's charset
    } cases[] = {
        {"english", "Anna, you have 3 new messages in Inbox.\n"},
        {"german", "Anna, in Inbox liegen 3 neue Nachrichten.\n"},
        {"japanese",
         *iconv_text("SHIFT_JIS", "UTF-8", "Annaさん、Inboxに新着メッセージが3件あります。\n")},
    };
    for (const Case &c : cases) {
        const Result run = intl({"message", file, c.section, "new_mail", "Anna", "3", "Inbox"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.expected) << c.section;
    }
}

TEST_F(Tool, MessageReportsMissingEntriesAndArguments) {
    const std::string file =
        dir_.write("m.loc", "; m\n[en]\nhello = \"Hello, %1!\"\nlist = a, b\nplain = 100%% sure\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"en", "hello", "you"}, 0, "Hello, you\n", ""},
        {{"en", "plain"}, 0, "100% sure\n", ""},
        {{"en", "hello"},
         1,
         "",
         "intl message: the template 'Hello, %1!' uses %1! but 0 arguments were given\n"},
        {{"en", "list"},
         1,
         "",
         file + ":4: 'list' holds 2 values; quote a template that holds the list separator\n"},
        {{"en", "bye"}, 1, "", file + ": no entry 'bye' in [en]\n"},
        {{"fr", "hello"}, 1, "", file + ": no section [fr]\n"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"message", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result run = intl(args);
        EXPECT_EQ(run.status, c.status) << c.args[1];
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
    }
}

} // namespace
