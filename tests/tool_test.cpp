// The intl tool run as a program on real files: every subcommand on the
// shipped data and on broken files, and every shipped table against iconv(3).
#include <intl.h>

#include "support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <filesystem>
#include <iconv.h>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
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
    std::string out, err;
};

// iconv(3), the peer nobody here wrote: one descriptor, whole pieces.
class Iconv {
  public:
    Iconv(const std::string &to, const std::string &from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~Iconv() { iconv_close(cd_); }
    // The complete conversion, or nullopt with error() EINVAL (incomplete) or EILSEQ.
    std::optional<std::string> operator()(const std::string &text) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(text.size() * 4 + 16, '\0');
        char *in = const_cast<char *>(text.data()), *next = out.data();
        std::size_t in_left = text.size(), room = out.size();
        const bool done = iconv(cd_, &in, &in_left, &next, &room) != static_cast<std::size_t>(-1);
        error_ = done ? 0 : errno;
        out.resize(out.size() - room);
        return done ? std::optional<std::string>(out) : std::nullopt;
    }
    int error() const { return error_; }

  private:
    iconv_t cd_;
    int error_ = 0;
};

// Under an emulator or a sanitizer the tool runs many times slower.
bool slow_runner() {
    return std::string(emulator).size() > 0 || std::getenv("ASAN_OPTIONS") != nullptr;
}

// Whether tables translate a character beyond U+FFFF (where the other side
// holds it): when Unicode assigns it, outside the private-use planes.
bool assigned_beyond_bmp(char32_t cp) {
    static const locale_t c_utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return cp < 0xF0000 && iswprint_l(static_cast<wint_t>(cp), c_utf8) != 0;
}

// Every client character up to last_code_point that iconv converts to 1..8
// server bytes: single bytes, two bytes after a lead byte that is
// incomplete on its own, and for such multi-byte charsets the client's
// spelling of every code point (their longer sequences).
std::vector<std::string> client_characters(const std::string &client, const std::string &server,
                                           unsigned long last_code_point) {
    Iconv forth(server, client), to_unicode("UTF-32BE", client), from_unicode(client, "UTF-32BE");
    std::vector<std::string> characters;
    const auto take = [&](const std::string &c) {
        const std::optional<std::string> s = forth(c), u = to_unicode(c);
        const char32_t cp = u && u->size() == 4 ? static_cast<unsigned char>((*u)[1]) << 16 |
                                                      static_cast<unsigned char>((*u)[2]) << 8 |
                                                      static_cast<unsigned char>((*u)[3])
                                                : 0;
        const bool beyond = cp > 0xFFFF;
        if (s && !s->empty() && s->size() <= 8 &&
            (!beyond || (last_code_point > 0xFFFF && assigned_beyond_bmp(cp))))
            characters.push_back(c);
        return forth.error() != EINVAL;
    };
    bool multi_byte = false;
    for (int lead = 0; lead < 256; ++lead) {
        const std::string one(1, static_cast<char>(lead));
        if (take(one))
            continue;
        multi_byte = true;
        for (int trail = 0; trail < 256; ++trail)
            take(one + static_cast<char>(trail));
    }
    for (unsigned long cp = 0x80; multi_byte && cp <= last_code_point; ++cp) {
        const char utf32[4] = {0, char(cp >> 16), char(cp >> 8 & 0xFF), char(cp & 0xFF)};
        const std::optional<std::string> c = from_unicode({utf32, 4});
        if (c && c->size() > 2)
            take(*c);
    }
    return characters;
}

class Tool : public ::testing::Test {
  protected:
    void SetUp() override {
        if (tool_path == nullptr)
            GTEST_SKIP() << "the intl tool is not built";
    }

    // Runs intl with args and stdin; the environment is ours with KORVAN
    // naming the build's data directory unless another is given, so that no
    // $KORVAN or user korvan of the machine counts.
    Result intl(const std::vector<std::string> &args, const std::string &input = "",
                const std::optional<std::string> &korvan = std::nullopt) {
        const std::string in = dir_.write("stdin", input);
        const std::string out = stdout_to_.empty() ? (dir_.path() / "stdout").string() : stdout_to_;
        const std::string err = (dir_.path() / "stderr").string();
        std::vector<std::string> argv;
        std::istringstream words{emulator};
        for (std::string word; words >> word;)
            argv.push_back(word);
        argv.push_back(tool_);
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env;
        for (char **e = environ; *e != nullptr; ++e)
            if (std::strncmp(*e, "KORVAN=", 7) != 0)
                env.emplace_back(*e);
        env.push_back("KORVAN="s + (korvan ? *korvan : build_data));

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        std::vector<char *> cargv;
        for (std::string &a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<char *> cenv;
        for (std::string &e : env)
            cenv.push_back(e.data());
        cenv.push_back(nullptr);
        const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return {-1, "", "spawn failed: "s + std::strerror(rc)};
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                stdout_to_.empty() ? TempDir::read(out) : "", TempDir::read(err)};
    }

    static std::string data_file(const std::string &relative) {
        return INTL_TEST_DATA_DIR "/" + relative;
    }

    // Replaces every {} (or other mark) in an expected report with a name.
    static std::string named(std::string text, const std::string &name,
                             const std::string &mark = "{}") {
        for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, mark.size(), name);
        return text;
    }

    TempDir dir_;
    std::string stdout_to_; // where the tool's standard output goes, if not to a file of ours
    const char *tool_ = tool_path;
};

// --- the table compiler ------------------------------------------------

const char small_source[] =
    "; a small table\n[file format]\nversion = 4.1\n[to server]\nmap = 0x41, 0x7879 ; A -> xy\n"
    "range = 0x61, 0x63, 0xC3A1 ; a b c -> C3A1 C3A2 C3A3\nmap = 0x4142, Q ; sorted before A\n"
    "delete = 0x7F\nmap = 0x00, 0x30 ; a zero first byte\n[to display]\nmap = 0xC3A1, a\n";

TEST_F(Tool, CompileReportsEveryErrorWithItsLineAndWritesNothing) {
    const std::string head = "; errors\n[to server]\n";
    const std::string wide = "map = 0x41, 0x42 ;" + std::string(1200, 'x') + "\n";
    std::string many, many_report; // 101 errors: 100 are reported
    for (int line = 3; line < 104; ++line) {
        many += "bad\n";
        if (line < 103)
            many_report += "{}:" + std::to_string(line) + ": Syntax error:  no entry found\n";
    }
    struct Case {
        std::string text, report; // {} stands for the source's name
    } cases[] = {
        // clang-format off
        {"map = 0x414243444546474849, x\n", "{}:3: source 0x414243444546474849 is longer than 8 bytes\n"},
        {"map = 0x41, 0x414243444546474849\n", "{}:3: destination 0x414243444546474849 is longer than 8 bytes\n"},
        {"map = 0x4100, x\n", "{}:3: zero byte after the first byte of source 0x4100: a compiled table cannot hold it\n"},
        {"map = 0x41, 0x4200\n", "{}:3: zero byte in destination 0x4200: a compiled table cannot hold it\n"},
        {"map = 0x41,\n", "{}:3: empty destination; a mapping that drops its source is a 'delete'\n"},
        {"map = 0x41\n", "{}:3: 'map' takes 2 values (source, destination), found 1\n"},
        {"range = 0x42, 0x41, x\n", "{}:3: range ends at 0x41, before its first sequence 0x42\n"},
        {"range = 0x41, 0x4243, x\n", "{}:3: the sequences 0x41 and 0x4243 differ before their last byte\n"},
        {"range = 0x4142, 0x4243, x\n", "{}:3: the sequences 0x4142 and 0x4243 differ before their last byte\n"},
        {"range = 0x41, 0x43, 0xFE\n", "{}:3: range runs the last destination byte past 0xFF\n"},
        {"substitute = 0x80\nsubstitution = ?\n", "{}:3: 'substitute' before the section's 'substitution'\n"},
        {"substitution = ?\nsubstitution = !\n", "{}:4: a second 'substitution' in the section\n"},
        {"substitution = 0x414243444546474849\n", "{}:3: a substitution is 1 to 8 bytes\n"},
        {"substitution = ?\nsubstitute = 0x80, 0x81, 0x82\n", "{}:4: 'substitute' takes 2 values (first, last), found 3\n"},
        {"delete = 0x80, 0x81, 0x82\ndelete = 0x8081, 0x8180\n", "{}:3: 'delete' takes 2 values (first, last), found 3\n"
                                                             "{}:4: the sequences 0x8081 and 0x8180 differ before their last byte\n"},
        {"substitution = ?\nsubstitute = 0x8040, 0x80\nsubstitute = 0x41\nmap = 0x41, x\n",
         "{}:4: the sequences 0x8040 and 0x80 differ before their last byte\n"
         "{}:6: duplicate source 0x41 in [to server], first given on line 5\n"},
        {"mapp = 0x41, x\n", "{}:3: unknown entry 'mapp'; expected map, range, delete, substitution or substitute\n"},
        {"map = 0x414, x\n", "{}:3: Odd number of hex digits in localization file\n"},
        {"map = 0x41, 0x42", "{}:3: last line has no newline: the reader never reads it\n"},
        {wide + "map = 0x4\n", "{}:3: the line is 1218 bytes long; the reader takes lines of at most 510 bytes\n"
                               "{}:4: Odd number of hex digits in localization file\n"},
        {"[other]\nmap = a, b\n", "{}:3: unknown section [other]; expected [to server] or [to display]\n"},
        {"map = a, b\n[to server]\nmap = a, c\n", "{}:4: section [to server] given twice\n"},
        {"map = 0x8140, x\nrange = 0x80, 0x82, y\nmap = 0x81, z\nmap = 0x8140, w\n",
         "{}:5: duplicate source 0x81 in [to server], first given on line 4\n"
         "{}:6: duplicate source 0x8140 in [to server], first given on line 3\n"},
        {many, many_report + "{}: too many errors; stopped after 100\n"},
        // clang-format on
    };
    const std::string output = dir_.write("table", "earlier");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const std::string source = dir_.write("bad.tbl", head + c.text);
        const Result run = intl({"compile", source, "-o", output});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, named(c.report, source));
        EXPECT_EQ(TempDir::read(output), "earlier");
    }
    for (const auto &entry : std::filesystem::directory_iterator(dir_.path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file was left behind";
}

// The compiled format is the same on every machine; an -o target that is a
// file is replaced whole, a link is followed, anything else written in place.
TEST_F(Tool, CompileWritesTheFormatByteForByteWhereverOutputGoes) {
    // clang-format off
    const std::string expected = le32(410) +
        xlt_block({0, {{0x00, {{"", "0"}}}, {0x41, {{"B", "Q"}, {"", "xy"}}}, {0x61, {{"", "\xC3\xA1"}}},
                       {0x62, {{"", "\xC3\xA2"}}}, {0x63, {{"", "\xC3\xA3"}}}, {0x7F, {{"", ""}}}}}) +
        xlt_block({1, {{0xC3, {{"\xA1", "a"}}}}});
    // clang-format on
    const std::string source = dir_.write("small.tbl", small_source);
    const std::filesystem::path d = dir_.path() / "t";
    for (const char *file : {"t/old", "t/real"})
        dir_.write(file, "earlier");
    std::filesystem::permissions(d / "old", std::filesystem::perms(0640));
    std::filesystem::create_symlink("real", d / "link");
    std::filesystem::create_symlink("made", d / "dangling");
    ASSERT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
    const int fifo = open((d / "fifo").c_str(), O_RDWR | O_NONBLOCK);
    for (const char *target : {"new", "old", "link", "dangling", "fifo"})
        EXPECT_EQ(intl({"compile", source, "-o", (d / target).string()}).status, 0) << target;
    for (const char *written : {"new", "old", "real", "made"})
        EXPECT_TRUE(TempDir::read((d / written).string()) == expected) << written;
    std::string through_fifo(expected.size() + 1, '\0');
    EXPECT_EQ(read(fifo, through_fifo.data(), through_fifo.size()), ssize_t(expected.size()));
    close(fifo);
    EXPECT_EQ(std::filesystem::status(d / "old").permissions(), std::filesystem::perms(0640));
    EXPECT_TRUE(std::filesystem::is_symlink(d / "link") &&
                std::filesystem::is_symlink(d / "dangling") &&
                std::filesystem::is_fifo(d / "fifo"));
    EXPECT_EQ(intl({"compile", source, "-o", d.string()}).err,
              "intl compile: cannot open " + d.string() + ": Is a directory\n");
    EXPECT_TRUE(intl({"compile", "-", "-o", "-"}, small_source).out == expected);
    EXPECT_EQ(
        intl({"mktable", "--client", "CP850", "--server", "ISO-8859-1", "-o", (d / "new").string()})
            .status,
        0);
    EXPECT_TRUE(TempDir::read((d / "new").string()) ==
                TempDir::read(data_file("charsets/ISO-8859-1/CP850.tbl")));
    // A declared substitution goes after the blocks, where the loader never
    // reads, with the sources whose own translation is the same bytes.
    const std::string total = "; t\n[to server]\nsubstitution = ?\nsubstitute = 0x80, 0x81\n"
                              "range = 0x8141, 0x8142, 0xC3A1\nmap = 0x3F, ?\n"
                              "[to display]\nsubstitution = 0xEFBFBD\ndelete = 0xF090, 0xF091\n";
    const auto field = [](const std::string &bytes) {
        return static_cast<char>(bytes.size()) + bytes + std::string(8 - bytes.size(), '\0');
    };
    // clang-format off
    const std::string with_trailer = le32(420) +
        xlt_block({0, {{0x3F, {{"", "?"}}}, {0x80, {{"", "?"}}}, {0x81, {{"A", "\xC3\xA1"}, {"B", "\xC3\xA2"}, {"", "?"}}}}}) +
        xlt_block({1, {{0xF0, {{"\x90", ""}, {"\x91", ""}}}}}) + "Substite" + field("?") + le32(1) + field("\xEF\xBF\xBD") + le32(0) + field("?");
    // clang-format on
    EXPECT_TRUE(intl({"compile", "-", "-o", "-"}, total).out == with_trailer);
}

TEST_F(Tool, EverySubcommandReportsALostWrite) {
    const std::string messages = data_file("locale/messages.loc");
    // clang-format off
    const std::vector<std::vector<std::string>> commands = {
        {"show", messages}, {"datetime", data_file("locale/datetime.loc"), "english"},
        {"message", messages, "english", "new_mail", "a", "b", "c"},
        {"check", messages, dir_.write("bad.loc", "; c\n[s]\nx\n")},
        {"dump", "--home", build_data, "--charset", "UTF-8", "--table", "CP1252"},
        {"xlate", "--home", build_data, "--charset", "UTF-8", "--table", "CP1252", messages},
        {"compile", data_file("charsets/UTF-8/KOI8-R.tbl"), "-o", "-"}, {"mktable", "--client", "CP850", "--server", "ISO-8859-1"}};
    // clang-format on
    stdout_to_ = "/dev/full";
    for (const std::vector<std::string> &args : commands) {
        const Result run = intl(args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_NE(run.err.find("write standard output: No space left on device"),
                  std::string::npos);
    }
}

TEST_F(Tool, MktableRewritesTheShippedSourcesWithTheCommandTheyName) {
    // Each takes seconds (a UTF-8 side enumerates every character): a few
    // of each kind; the regenerate-tables target rewrites them all.
    for (const char *table : {"ISO-8859-1/CP850", "UTF-8/KOI8-R", "KOI8-R/UTF-8"}) {
        if (slow_runner() && std::string(table) == "KOI8-R/UTF-8")
            continue; // the tables of UTF-8/KOI8-R, the other way round
        const std::string text = TempDir::read(data_file("charsets/"s + table + ".tbl"));
        const std::size_t at = text.find("\"intl mktable ") + 6;
        std::istringstream words{text.substr(at, text.find('"', at) - at)};
        const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
        const Result run = intl(args);
        EXPECT_TRUE(run.status == 0 && run.out == text)
            << table << ": regenerate with the regenerate-tables target. " << run.err;
    }
}

TEST_F(Tool, MktableRefusesWhatTablesCannotExpressOrLeaveOut) {
    struct Case {
        std::vector<std::string> args;
        const char *reason;
    } cases[] = {
        // clang-format off
        {{"NO-SUCH-CHARSET", "UTF-8"}, "iconv cannot convert from NO-SUCH-CHARSET to UTF-8"},
        {{"ISO-2022-JP", "UTF-8"}, ": ISO-2022-JP switches states with escape or shift sequences"},
        {{"ISO-2022-KR", "UTF-8"}, ": ISO-2022-KR switches states"},
        {{"EUC-JP", "ISO-2022-JP"}, ": ISO-2022-JP switches states"},
        {{"UTF-16", "UTF-8"}, ": the client sequence 0xFFFE0000 holds a zero byte after its first"},
        {{"UTF-16BE", "UTF-8"}, ": the client sequence 0x0000 holds a zero byte"},
        {{"UTF-32", "UTF-8"}, ": the client sequence 0xFFFE000000000000 holds a zero byte"},
        {{"KOI8-R", "UTF-16"}, ": the server sequence 0xFFFE0000 holds a zero byte"},
        {{"CP1255", "UTF-8"}, "depends on context"},
        {{"KOI8-R", "UTF-8", "--substitute", "U+20AC"}, ": KOI8-R has no U+20AC to substitute with"},
        {{"KOI8-R", "UTF-8", "--substitute", "0x3F"}, "--substitute takes a code point written U+XXXX, not '0x3F'"},
        {{"EUC-TW", "UTF-8", "--bmp-only"}, ": 30713 EUC-TW characters would be left out (0 longer than 8 bytes, "
                                             "0 converting to more than 8, 30713 beyond U+FFFF) and substituted "
                                             "byte by byte; --allow-partial writes"},
        {{"UTF-8", "KOI8-R", "--bmp-only"}, ": 1048576 UTF-8 characters would be left out (0 longer than 8 bytes, "
                                            "0 converting to more than 8, 1048576 beyond U+FFFF) and substituted once each;"},
        // clang-format on
    };
    const std::string output = (dir_.path() / "out.tbl").string();
    for (const Case &c : cases) {
        std::vector<std::string> args = {"mktable", "--client", c.args[0], "--server",
                                         c.args[1], "-o",       output};
        args.insert(args.end(), c.args.begin() + 2, c.args.end());
        const Result run = intl(args);
        EXPECT_EQ(run.status, 1) << c.args[0];
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(output));
    }
    const Result partial = intl(
        {"mktable", "--client", "EUC-TW", "--server", "UTF-8", "--bmp-only", "--allow-partial"});
    EXPECT_EQ(partial.status, 0);
    EXPECT_NE(partial.out.find(", 30713 characters beyond U+FFFF."), std::string::npos);
    const Result question =
        intl({"mktable", "--client", "CP850", "--server", "ISO-8859-1", "--substitute", "U+003F"});
    EXPECT_NE(question.out.find(
                  "\"intl mktable --client CP850 --server ISO-8859-1 --substitute U+003F\""),
              std::string::npos);
    EXPECT_NE(question.out.find("[to server]\nsubstitution = 0x3F\n"), std::string::npos);
    EXPECT_NE(question.out.find("[to display]\nsubstitution = 0x3F\n"), std::string::npos);
}

// A multi-byte character that is the same bytes on both sides needs a
// mapping all the same: its lead byte's list ends in a fallback.
TEST_F(Tool, MktableKeepsMultiByteCharactersThatStayAsTheyAre) {
    const std::string source = (dir_.path() / "EUC-KR.tbl").string(),
                      compiled = (dir_.path() / "charsets/CP949/EUC-KR").string();
    ASSERT_EQ(intl({"mktable", "--client", "EUC-KR", "--server", "CP949", "-o", source}).status, 0);
    std::filesystem::create_directories(dir_.path() / "charsets/CP949");
    ASSERT_EQ(intl({"compile", source, "-o", compiled}).status, 0);
    const std::optional<std::string> korean =
        Iconv("EUC-KR", "UTF-8")(TempDir::read(data_file("samples/korean.UTF-8.txt")));
    ASSERT_TRUE(korean && !korean->empty());
    for (const char *direction : {"--to-server", "--to-display"}) {
        const Result run = intl(
            {"xlate", "--home", dir_.path(), "--charset", "CP949", "--table", "EUC-KR", direction},
            *korean);
        EXPECT_TRUE(run.status == 0 && run.out == *korean && run.err.empty())
            << direction << run.err;
    }
}

// --- translation against iconv(3) ------------------------------------------

// Running text in the language of each CJK client, from data/samples.
// clang-format off
const std::map<std::string, std::string> samples = {
    {"SHIFT_JIS", "japanese.SHIFT_JIS.txt"}, {"CP932", "japanese.SHIFT_JIS.txt"}, {"EUC-JP", "japanese.SHIFT_JIS.txt"},
    {"EUC-KR", "korean.UTF-8.txt"}, {"CP949", "korean.UTF-8.txt"},
    {"GBK", "chinese-simplified.UTF-8.txt"}, {"GB18030", "chinese-simplified.UTF-8.txt"},
    {"BIG5", "chinese-traditional.UTF-8.txt"}, {"EUC-TW", "chinese-traditional.UTF-8.txt"}};
// clang-format on

TEST_F(Tool, EveryShippedTableTranslatesLikeIconvInBothDirections) {
    std::size_t tables = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(data_file("charsets"))) {
        if (entry.path().extension() != ".tbl")
            continue;
        ++tables;
        const std::string server = entry.path().parent_path().filename(),
                          client = entry.path().stem();
        // S/UTF-8 holds the tables of UTF-8/S: where runs are slow, those are enough.
        if (client == "UTF-8" && slow_runner())
            continue;
        SCOPED_TRACE(server + "/" + client);
        const bool bmp_only = TempDir::read(entry.path()).find("--bmp-only") != std::string::npos;
        Iconv forth(server, client), back(client, server);
        std::string every, round_trips;
        for (const std::string &c :
             client_characters(client, server, bmp_only ? 0xFFFF : 0x2FFFF)) {
            every += c;
            const std::optional<std::string> there = forth(c);
            if (there && back(*there) == c)
                round_trips += c;
        }
        if (const auto sample = samples.find(client); sample != samples.end()) {
            const std::string &name = sample->second, charset = name.substr(name.find('.') + 1);
            const std::optional<std::string> text =
                Iconv(client, charset.substr(0, charset.size() - 4))(
                    TempDir::read(data_file("samples/" + name)));
            ASSERT_TRUE(text && !text->empty());
            every += *text;
            round_trips += *text;
        }
        const std::optional<std::string> expected = forth(every), server_text = forth(round_trips);
        ASSERT_TRUE(expected && server_text);
        // An odd block size puts block ends inside multi-byte sequences.
        for (const char *block : {"65536", "7"})
            for (const auto &[direction, in, out] : {std::tuple{"--to-server", every, *expected},
                                                     {"--to-display", *server_text, round_trips}}) {
                const Result run = intl({"xlate", "--home", build_data, "--charset", server,
                                         "--table", client, direction, "--block", block},
                                        in);
                EXPECT_TRUE(run.status == 0 && run.out == out) << direction << block << run.err;
            }
    }
    EXPECT_EQ(tables, 82u);
}

// The substitution a table source declares for one of its sections.
std::string substitution_of(const std::string &source, const std::string &section) {
    const std::string mark = "[" + section + "]\nsubstitution = 0x";
    const std::size_t at = source.find(mark);
    std::string bytes;
    for (std::size_t i = at + mark.size(); at != std::string::npos && std::isxdigit(source[i]);
         i += 2)
        bytes += static_cast<char>(std::stoi(source.substr(i, 2), nullptr, 16));
    return bytes;
}

// A count intl xlate reports for one input file: of substitutions, or
// (with the words that follow the count) of the sequences it dropped.
std::size_t reported(const std::string &err, const std::string &file,
                     const std::string &what = " without a translation") {
    for (std::size_t at = 0; (at = err.find(file + ": ", at)) != std::string::npos; ++at) {
        const std::size_t count = at + file.size() + 2, words = err.find(" sequence", count);
        if (words != std::string::npos &&
            err.compare(err.find(' ', words + 1), what.size(), what) == 0)
            return std::stoul(err.substr(count));
    }
    return 0;
}

std::string utf8(char32_t cp) {
    if (cp < 0x80)
        return std::string(1, static_cast<char>(cp));
    if (cp < 0x800)
        return {static_cast<char>(0xC0 | cp >> 6), static_cast<char>(0x80 | (cp & 0x3F))};
    if (cp < 0x10000)
        return {static_cast<char>(0xE0 | cp >> 12), static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
                static_cast<char>(0x80 | (cp & 0x3F))};
    return {static_cast<char>(0xF0 | cp >> 18), static_cast<char>(0x80 | (cp >> 12 & 0x3F)),
            static_cast<char>(0x80 | (cp >> 6 & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
}

// UTF-8 text and what a table into `to` makes of it: a character it
// translates as iconv does, one the target cannot hold as one substitution
// (beyond U+FFFF in two halves: a lead byte and its second byte write
// nothing, two continuation bytes the substitution), and broken sequences
// as one substitution per byte that begins no character or pair of stray
// continuation bytes, or one for a complete sequence of the right shape (a
// surrogate, an overlong form); a four-byte one cut after two bytes leaves
// nothing.
struct Expected {
    std::string text, output;
    std::size_t substitutions = 0, dropped = 0;
};

Expected utf8_cases(const std::string &to, const std::string &substitution, std::mt19937 &random,
                    int per_plane) {
    Iconv forth(to, "UTF-8");
    Expected e;
    const auto add = [&](const std::string &text, const std::string &output, std::size_t count) {
        e.text += text + " ";
        e.output += output + " ";
        e.substitutions += count;
    };
    std::vector<char32_t> points = {0x20AC, 0x1F600, 0xE0001, 0xFFFD, 0x10FFFF, 0x20000};
    for (char32_t plane = 0; plane <= 16; ++plane)
        for (int k = 0; k < per_plane; ++k) {
            const char32_t cp = plane << 16 | (random() & 0xFFFF);
            points.push_back(cp >= 0xD800 && cp < 0xE000 ? cp + 0x800 : cp);
        }
    for (char32_t cp : points) {
        const std::optional<std::string> there = forth(utf8(cp));
        const bool translated =
            there && !there->empty() && (cp <= 0xFFFF || assigned_beyond_bmp(cp));
        add(utf8(cp), translated ? *there : substitution, translated ? 0 : 1);
    }
    const std::pair<const char *, std::size_t> broken[] = {{"\x80", 1},
                                                           {"\xBF\xBF", 1},
                                                           {"\x80\x80\x80", 2},
                                                           {"\xBF\x80\xBF\x80", 2},
                                                           {"\xC3", 1},
                                                           {"\xE2\x82", 2},
                                                           {"\xF0\x9F\x98", 1},
                                                           {"\xF0\x9F", 0},
                                                           {"\xC0\xAF", 2},
                                                           {"\xED\xA0\x80", 1},
                                                           {"\xE0\x80\x80", 1},
                                                           {"\xF4\x90\x80\x80", 3},
                                                           {"\xF0\x80\x80\x80", 3},
                                                           {"\xF8\x88\x80\x80\x80", 3},
                                                           {"\xFF", 1}};
    for (const auto &[bytes, count] : broken) {
        e.dropped += count == 0;
        std::string output;
        for (std::size_t i = 0; i < count; ++i)
            output += substitution;
        add(bytes, output, count);
    }
    e.text += "\xE2\x82"; // cut off by the end of the text
    e.output += substitution + substitution;
    e.substitutions += 2;
    return e;
}

// The four-byte GB18030 code at a place in their order: 0 is 81 30 81 30,
// 15 * 12600 (90 30 81 30) is U+10000.
std::string gb18030_four(unsigned place) {
    return {static_cast<char>(0x81 + place / 12600), static_cast<char>('0' + place / 1260 % 10),
            static_cast<char>(0x81 + place / 10 % 126), static_cast<char>('0' + place % 10)};
}

// GB18030 text and what a table into `to` makes of it: a four-byte code
// under every lead byte, translated as iconv does when the table holds it
// (up to U+FFFF, and beyond where Unicode assigns it), one substitution for
// a code of the shape of those under 0x81-0x84 that iconv does not decode,
// and two for any other code, counted once: no record can tell its halves
// (a byte 0x81-0xFE and a digit each) apart. A lead byte and digit that no
// half follows are one substitution.
Expected gb18030_cases(const std::string &to, const std::string &substitution, std::mt19937 &random,
                       int per_lead) {
    Iconv forth(to, "GB18030"), to_unicode("UTF-32BE", "GB18030");
    Expected e;
    const auto add = [&](const std::string &text, const std::string &output, std::size_t count) {
        e.text += text + " ";
        e.output += output + " ";
        e.substitutions += count;
    };
    const unsigned beyond = 0x90 - 0x81; // the lead bytes of the BMP
    std::vector<std::string> codes = {gb18030_four(beyond * 12600 + 0x10FFFF - 0x10000),
                                      gb18030_four(beyond * 12600 + 0xF0000 - 0x10000),
                                      gb18030_four(beyond * 12600 + 0x1F600 - 0x10000),
                                      gb18030_four(beyond * 12600 + 0x110000 - 0x10000),
                                      "\x84\x31\xA5\x30",
                                      "\x85\x30\x81\x30",
                                      "\xFE\x39\xFE\x39"};
    for (unsigned lead = 0; lead < 126; ++lead)
        for (int k = 0; k < per_lead; ++k)
            codes.push_back(gb18030_four(lead * 12600 + random() % 12600));
    for (const std::string &code : codes) {
        const std::optional<std::string> there = forth(code), cp = to_unicode(code);
        const bool beyond_bmp = cp && cp->size() == 4 && (*cp)[1] != 0;
        const auto point = [&cp] {
            char32_t value = 0;
            for (char c : *cp)
                value = value << 8 | static_cast<unsigned char>(c);
            return value;
        };
        if (there && !there->empty() && (!beyond_bmp || assigned_beyond_bmp(point())))
            add(code, *there, 0);
        else if (static_cast<unsigned char>(code[0]) <= 0x84)
            add(code, substitution, 1);
        else
            add(code, substitution + substitution, 1);
    }
    const std::tuple<const char *, std::string, std::size_t> broken[] = {
        {"\x81", substitution, 1},
        {"\x81\x30", substitution, 1},
        {"\xE3\x32\x9A", substitution + substitution, 2},
        {"\x81\x30\x81\x41", substitution + *forth("\x81\x41"), 1},
        {"\x30\x81\x30", "0" + substitution, 1},
        {"\x80", substitution, 1},
        {"\xFF", substitution, 1}};
    for (const auto &[bytes, output, count] : broken)
        add(bytes, output, count);
    e.text += "\x95\x33"; // cut off by the end of the text
    e.output += substitution;
    e.substitutions += 1;
    return e;
}

// Every table mktable writes is total: any bytes translate to text that
// iconv decodes in the target charset, and what was translated with no
// substitution is what iconv makes of it. Under an emulator or a sanitizer
// a sample of the tables is taken.
TEST_F(Tool, EveryShippedTableTurnsAnyInputIntoTextOfItsTarget) {
    const bool slow = slow_runner();
    std::mt19937 random(21);
    std::size_t tables = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(data_file("charsets"))) {
        if (entry.path().extension() != ".tbl" || tables++ % (slow ? 6 : 1) != 0)
            continue;
        const std::string server = entry.path().parent_path().filename(),
                          client = entry.path().stem(), source = TempDir::read(entry.path());
        for (const auto &[direction, from, to, section] :
             {std::tuple{"--to-server", client, server, "to server"},
              {"--to-display", server, client, "to display"}}) {
            SCOPED_TRACE(server + "/" + client + " " + direction);
            const std::string substitution = substitution_of(source, section);
            ASSERT_FALSE(substitution.empty());
            std::string noise(slow ? 512 : 8192, '\0');
            for (char &c : noise)
                c = static_cast<char>(random() >> 7);
            const std::string noise_file = dir_.write("noise", noise);
            std::vector<std::string> args = {"xlate",   "--home", build_data, "--charset", server,
                                             "--table", client,   direction,  noise_file};
            const Expected chars =
                from == "UTF-8"     ? utf8_cases(to, substitution, random, slow ? 1 : 4)
                : from == "GB18030" ? gb18030_cases(to, substitution, random, slow ? 1 : 4)
                                    : Expected{};
            if (!chars.text.empty())
                args.push_back(dir_.write("chars", chars.text));
            const Result run = intl(args);
            ASSERT_EQ(run.status, 0) << run.err;
            ASSERT_GE(run.out.size(), chars.output.size());
            const std::string noise_out = run.out.substr(0, run.out.size() - chars.output.size());
            EXPECT_TRUE(Iconv("UTF-32BE", to)(noise_out)) << "not text of " << to;
            const std::size_t noise_count = reported(run.err, noise_file);
            EXPECT_LE(noise_count, noise.size());
            EXPECT_TRUE(noise_count > 0 || Iconv(to, from)(noise) == noise_out);
            EXPECT_TRUE(run.out.substr(noise_out.size()) == chars.output);
            EXPECT_EQ(reported(run.err, dir_.path() / "chars"), chars.substitutions);
            EXPECT_EQ(reported(run.err, dir_.path() / "chars", " of four bytes"), chars.dropped);
        }
    }
    EXPECT_EQ(tables, 82u);
}

// Beyond U+FFFF from UTF-8: one substitution for a character the target
// cannot hold, the character itself into GB18030 (and back), ceil(n/2)
// substitutions for n stray continuation bytes, nothing for a four-byte
// sequence cut after two bytes. From GB18030: two substitutions, counted
// once, for a four-byte code without a translation, one for a lead byte and
// digit alone. Pieces of any size translate as one piece does, and --strict
// names the offset where the character begins.
TEST_F(Tool, CharactersBeyondTheBmpTranslateOnceWhereverThePiecesEnd) {
    const std::string emoji = utf8(0x1F600), han = utf8(0x20000); // CJK Extension B
    struct Row {
        const char *server, *client, *direction, *from;
    } rows[] = {
        {"UTF-8", "ISO-8859-1", "--to-display", "UTF-8"},
        {"UTF-8", "SHIFT_JIS", "--to-display", "UTF-8"},
        {"KOI8-R", "UTF-8", "--to-server", "UTF-8"},
        {"UTF-8", "GB18030", "--to-display", "UTF-8"},
        {"UTF-8", "GB18030", "--to-server", "GB18030"},
    };
    const std::vector<std::string> blocks =
        slow_runner() ? std::vector<std::string>{"1", "5", "65536"}
                      : std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "65536"};
    const std::vector<std::string> strict_blocks =
        slow_runner() ? std::vector<std::string>{"1", "65536"}
                      : std::vector<std::string>{"1", "2", "3", "65536"};
    for (const Row &row : rows) {
        const std::string to = row.direction == "--to-server"s ? row.server : row.client;
        SCOPED_TRACE(std::string(row.server) + "/" + row.client + " " + row.direction);
        Iconv forth(to, "UTF-8");
        const std::string sub = to == "GB18030" ? *forth(utf8(0xFFFD))
                                : to == "UTF-8" ? utf8(0xFFFD)
                                                : "\x1A";
        const auto as = [&forth, &sub](const std::string &c) {
            const std::optional<std::string> there = forth(c);
            return there ? std::pair{*there, 0} : std::pair{sub, 1};
        };
        std::string in, out;
        std::size_t count = 0, dropped = 0;
        const auto add = [&](const std::string &bytes, const std::string &becomes, int subs) {
            in += bytes + "x";
            out += becomes + "x";
            count += subs;
        };
        for (const std::string &c : {emoji, han}) {
            const auto [becomes, subs] = as(c);
            add(row.from == "UTF-8"s ? c : *Iconv(row.from, "UTF-8")(c), becomes, subs);
        }
        if (row.from == "UTF-8"s) {
            for (const auto &[stray, subs] : {std::pair{"\x80", 1},
                                              {"\x80\xBF", 1},
                                              {"\xBF\x80\xBF", 2},
                                              {"\x8F\x8F\x8F\x8F", 2}})
                add(stray, subs == 1 ? sub : sub + sub, subs);
            add("\xF0\x9F", "", 0);
            add("\xF0\x9F\x98", sub, 1);
            in += "\xF0\x9F"; // and at the very end
            dropped = 2;
        } else {
            for (const auto &[code, subs] : {std::pair{"\xE3\x32\x9A\x35", 2}, // U+10FFFF
                                             {"\xD9\x30\xE3\x30", 2},          // private use
                                             {"\xFE\x39\xFE\x39", 2},
                                             {"\x84\x31\xA5\x30", 1},
                                             {"\x95\x33", 1}})
                add(code, subs == 1 ? sub : sub + sub, 1);
            in += "\x95\x33"; // and at the very end
            out += sub;
            ++count;
        }
        const std::string file = dir_.write("in", in);
        std::string report;
        if (count > 0)
            report += "intl xlate: " + file + ": " + std::to_string(count) + " sequence" +
                      (count == 1 ? "" : "s") + " without a translation became the substitution " +
                      (sub == "\x1A"     ? "0x1A"
                       : sub.size() == 3 ? "0xEFBFBD"
                                         : "0x8431A437") +
                      "\n";
        if (dropped > 0)
            report += "intl xlate: " + file + ": " + std::to_string(dropped) +
                      " sequences of four bytes broke off after two and left nothing\n";
        for (const std::string &block : blocks) {
            const Result run = intl({"xlate", "--home", build_data, "--charset", row.server,
                                     "--table", row.client, row.direction, "--block", block, file});
            EXPECT_EQ(run.status, 0) << block;
            EXPECT_TRUE(run.out == out) << block;
            EXPECT_EQ(run.err, report) << block;
        }
        const bool from_gb18030 = row.from == "GB18030"s;
        if (!from_gb18030 && (to == "GB18030" || to == "UTF-8"))
            continue; // they hold both characters
        const std::string strict =
            dir_.write("strict", "ab" + (from_gb18030 ? "\xE3\x32\x9A\x35"s : emoji + han));
        for (const std::string &block : strict_blocks) {
            const Result run =
                intl({"xlate", "--home", build_data, "--charset", row.server, "--table", row.client,
                      row.direction, "--block", block, "--strict", strict});
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out + run.err,
                      "abintl xlate: " + strict + ": the sequence " +
                          (from_gb18030 ? "0xE3329A35" : "0xF09F9880") +
                          " at byte 2 has no translation (the table would write its substitution " +
                          (from_gb18030 ? "0xEFBFBD" : "0x1A") + ")\n")
                << block;
        }
    }
}

// A table is found under the names iconv gives its charsets, in any case;
// a name not spelled as the table's is answered with the table taken.
TEST_F(Tool, TableNamesInAnyCaseOrUnderIconvsAliasesFindTheirTable) {
    const std::vector<std::vector<std::string>> rows = {
        // --charset, --table, the server and client taken ("" when exact)
        // clang-format off
        {"UTF-8", "SHIFT_JIS", ""}, {"utf8", "sjis", "UTF-8/SHIFT_JIS"},
        {"Utf_8", "shift-jis", "UTF-8/SHIFT_JIS"}, {"UTF-8", "ms_kanji", "UTF-8/SHIFT_JIS"},
        {"UTF-8", "cp936", "UTF-8/GBK"}, {"UTF-8", "windows-31j", "UTF-8/CP932"},
        {"UTF-8", "uhc", "UTF-8/CP949"}, {"UTF-8", "big-five", "UTF-8/BIG5"},
        {"UTF-8", "latin1", "UTF-8/ISO-8859-1"}, {"utf-8", "iso8859-15", "UTF-8/ISO-8859-15"},
        {"UTF-8", "windows-1252", "UTF-8/CP1252"}, {"UTF-8", "ibm850", "UTF-8/CP850"},
        {"UTF-8", "koi8r", "UTF-8/KOI8-R"}, {"UTF-8", "mac", "UTF-8/MACINTOSH"},
        {"eucjp", "sjis", "EUC-JP/SHIFT_JIS"}, {"latin1", "cp850", "ISO-8859-1/CP850"},
        // clang-format on
    };
    for (const std::vector<std::string> &row : rows) {
        SCOPED_TRACE(row[0] + " " + row[1]);
        const Result run =
            intl({"xlate", "--home", build_data, "--charset", row[0], "--table", row[1]}, "A");
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, row[2].empty()
                               ? ""
                               : "intl: took the table charsets/" + row[2] + " for --charset " +
                                     row[0] + " --table " + row[1] + "\n");
        // The alias is iconv's own: both names convert every single byte alike.
        const std::string client = row[2].empty() ? row[1] : row[2].substr(row[2].find('/') + 1);
        Iconv alias("UTF-8", row[1]), table("UTF-8", client);
        for (int byte = 0; byte < 256; ++byte)
            EXPECT_EQ(alias(std::string(1, char(byte))), table(std::string(1, char(byte))));
    }
    // A name that could be either of two entries is refused rather than guessed.
    const std::string home = dir_.path() / "home";
    for (const char *table : {"SJIS", "SHIFT_JIS"})
        dir_.write("home/charsets/UTF-8/"s + table, le32(420));
    EXPECT_EQ(intl({"xlate", "--home", home, "--charset", "UTF-8", "--table", "shift-jis"}).err,
              "intl xlate: 'shift-jis' may name any of SHIFT_JIS, SJIS in " + home +
                  "/charsets/UTF-8: name one exactly\n");
}

// intl list: every compiled file of the data directory, loaded as a client
// loads it, with the mappings of each table it holds.
TEST_F(Tool, ListShowsEveryTableWithItsMappings) {
    const std::string home = dir_.path() / "home";
    const XltBlock to_server{0, {{0x41, {{"", "a"}, {"B", "b"}}}, {0x42, {{"", "c"}}}}};
    dir_.write("home/charsets/UTF-8/TWO",
               le32(420) + xlt_block(to_server) + xlt_block({1, {{0x61, {{"", "A"}}}}}));
    dir_.write("home/charsets/UTF-8/ONE", le32(420) + xlt_block({1, {{0x61, {{"", "A"}}}}}));
    dir_.write("home/charsets/KOI8-R/NONE", le32(420));
    const Result text = intl({"list", "--home", home});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "KOI8-R  NONE  to-server none  to-display none  4 bytes\n"
                        "UTF-8   ONE   to-server none  to-display 1     2080 bytes\n"
                        "UTF-8   TWO   to-server 3     to-display 1     4204 bytes\n");
    const Result json = intl({"list", "--home", home, "--json"});
    const std::string first = "[\n  {\n    \"server\": \"KOI8-R\",\n    \"client\": \"NONE\",\n"
                              "    \"to_server\": null,\n    \"to_display\": null,\n"
                              "    \"bytes\": 4\n  },\n  {\n    \"server\": \"UTF-8\",";
    EXPECT_EQ(json.out.substr(0, first.size()), first);
    // A file the library refuses is named, the others are listed, and the run fails.
    dir_.write("home/charsets/UTF-8/SHORT", le32(420) + xlt_block(to_server).substr(0, 100));
    const Result broken = intl({"list", "--home", home});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(std::count(broken.out.begin(), broken.out.end(), '\n'), 3);
    EXPECT_NE(broken.err.find("charsets/UTF-8/SHORT"), std::string::npos);
    // The shipped tables: one line each, every one holding both directions.
    const Result shipped = intl({"list", "--home", build_data});
    std::size_t files = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(build_data + "/charsets"s))
        files += e.is_regular_file();
    EXPECT_EQ(std::count(shipped.out.begin(), shipped.out.end(), '\n'), long(files));
    EXPECT_EQ(shipped.out.find(" none "), std::string::npos);
}

TEST_F(Tool, CheckReportsErrorsAndSilentPitfalls) {
    const std::string long_line = "k = " + std::string(700, 'x') + "\n";
    struct Case {
        std::string text;
        int status;
        std::string report; // {} stands for the file name
    } cases[] = {
        // clang-format off
        {"; ok\n[s]\na = 1\n", 0, ""},
        {"; c\n[s]\nno equals\nb = 0x414\nc = 1\n[t\n", 1, "{}:3: Syntax error:  no entry found\n"
                                                           "{}:4: Odd number of hex digits in localization file\n"
                                                           "{}:6: Syntax error in section heading\n"},
        {"; c\n[s]\na = 1, \\\r\n  2\r\nb = 2", 1,
         "{}:3: warning: escape character before a carriage return: the line is not continued (CRLF line end)\n"
         "{}:4: Syntax error:  no entry found\n{}:5: warning: last line has no newline: the reader never reads it\n"},
        {"", 1, "{}: the file is empty: it needs a comment line first\n"},
        {"[s]\na = 1\n", 0, "{}:1: warning: the file begins with a heading, so '[' is its comment character: "
                            "begin it with a comment line\n"},
        {"; c\n[s]\na = 0xZZ, 0x41\n", 0, "{}:3: warning: '0xZZ' is not hexadecimal: the reader drops its 0x and reads the rest as text\n"},
        {"; c\n[de]\ndateformat = dmy\ncolour = red\ndateformat = ymd\ndays = x\n", 0,
         "{}:4: warning: intl_datetime ignores the entry 'colour'\n{}:5: warning: a second dateformat (the first on "
         "line 3): intl_datetime stops there and never reads the rest of the section\n"},
        {"; c\n[s]\na = 1\0x\nb = 2\n"s, 1, "{}:3: the line holds a zero byte, which the reader cannot read past\n"},
        {"; c\n[s]\na = " + std::string(1000000, 'x') + "\nb = 2\nc\n", 1,
         "{}:3: the line is 1000004 bytes long; the reader takes lines of at most 510 bytes\n"
         "{}:5: Syntax error:  no entry found\n"},
        // A refused heading stops the reader; what comes after it is checked all the same.
        {"; c\n[s]\n[bad\nx\n" + long_line + "[t\n[u]\ny = 0x4\n", 1,
         "{}:3: Syntax error in section heading\n{}:4: Syntax error:  no entry found\n"
         "{}:5: the line is 704 bytes long; the reader takes lines of at most 510 bytes\n"
         "{}:6: Syntax error in section heading\n{}:8: Odd number of hex digits in localization file\n"},
        {"; c\n[s]\n" + long_line + "a = 1\n" + long_line, 1,
         "{}:3: the line is 704 bytes long; the reader takes lines of at most 510 bytes\n"
         "{}:5: the line is 704 bytes long; the reader takes lines of at most 510 bytes\n"},
        // A quote the line ends: doubled, escaped and continued quotes are closed, and quotes
        // in a comment or after an escape at a value's start count as the reader counts them.
        {"; c\n[s]\na = \"x, y ; z\nb = 'it''s', \"a\\\"b\", \"c\\\nd\" ; \"\nc = x\\\" y, \\'z\n", 0,
         "{}:3: warning: the quote \" is not closed: the value runs to the end of the line, separators and comments included\n"
         "{}:6: warning: the quote ' is not closed: the value runs to the end of the line, separators and comments included\n"},
        {"; c\n[s]\na = 'x\\\ny\n", 0,
         "{}:3: warning: the quote ' is not closed: the value runs to the end of line 4, separators and comments included\n"},
        {"\xEF\xBB\xBF; c\n[s]\na = 1\n", 0, "{}:1: note: the file begins with a UTF-8 byte-order mark, which the reader passes over\n"},
        // clang-format on
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        const std::string file = dir_.write("f.loc", c.text);
        const Result run = intl({"check", file});
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, named(c.report, file));
    }
    // Every file is checked: a directory or a missing one is named, and - is standard input.
    const std::string here = dir_.path().string(), none = here + "/none.loc";
    // clang-format off
    const Result all = intl({"check", data_file("locale/datetime.loc"), data_file("locale/messages.loc"), here, "-", none}, "; c\n[s]\nx\n");
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out, here + ": Is a directory\n(standard input):3: Syntax error:  no entry found\n" + none + ": No such file or directory\n");
    // clang-format on
}

// A datetime section that check passes is one intl_datetime reads, and each
// it refuses is reported at its entry's line with the library's message.
TEST_F(Tool, CheckRefusesTheDatetimeValuesTheLibraryRefuses) {
    const std::string m11 = "a,b,c,d,e,f,g,h,i,j,k", long20 = std::string(20, 'x');
    const std::vector<std::pair<std::string, std::string>> rows = {
        // clang-format off
        {"months = " + m11 + ", l\nshortmonths = " + m11 + ", l, m\ndays = 1,2,3,4,5,6,7\n"
         "firstday = 10\ndateformat = dmyx\ntimeformat = 24\n", ""},
        {"months = " + m11 + "\n", "Too few months in datetime section (found 11, needs 12)"},
        {"months = " + long20 + "x," + m11 + "\n", "Value too long ('" + long20 + "x' has 21 bytes, room for 20)"},
        {"months = " + long20 + "," + m11 + "\n", ""},
        {"shortmonths = a\n", "Too few short onths in datetime section (found 1, needs 12)"},
        {"days = 1,2,3,4,5,6\n", "Too few days in datetime section (found 6, needs 7)"},
        {"firstday = 9\n", "Firstday value in datetime section is out of range ('9': 1 to 7)"},
        {"firstday = 0\n", "Firstday value in datetime section is out of range ('0': 1 to 7)"},
        {"first day =\n", "Firstday value in datetime section is out of range ('': 1 to 7)"},
        {"dateformat = mdq\n", "Element of dateorder entry is invalid.  Valid elements are 'm', 'd', and 'y' ('mdq')"},
        {"dateformat = md\n", "Element of dateorder entry is invalid.  Valid elements are 'm', 'd', and 'y' ('md')"},
        {"dateformat = mmd\n", "Duplicate dateformat value ('mmd')"},
        {"timeformat = 13\n", "Time format entry in datetime section is invalid ('13': 12 or 24)"},
        {"time format = 24h\n", "Time format entry in datetime section is invalid ('24h': 12 or 24)"},
        // clang-format on
    };
    for (const auto &[entries, refusal] : rows) {
        SCOPED_TRACE(entries);
        const std::string file = dir_.write("dt.loc", "; c\n[dt]\n" + entries);
        const Result check = intl({"check", file}), read = intl({"datetime", file, "dt"});
        EXPECT_EQ(check.status, refusal.empty() ? 0 : 1);
        EXPECT_EQ(read.status, check.status) << read.err;
        EXPECT_EQ(check.out, refusal.empty() ? "" : file + ":3: " + refusal + "\n");
    }
}

TEST_F(Tool, DatetimeRendersTheShippedSections) {
    const std::vector<std::vector<std::string>> cases = {
        // section, --at, what the output holds
        // clang-format off
        {"english", "2024-03-05", "Months:       January, February, March, April, May, June, July, August, September, "
                                  "October, November, December\nShort months: Jan, Feb, Mar, Apr, May, Jun, Jul, Aug, Sep, "
                                  "Oct, Nov, Dec\nDays:         Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, "
                                  "Sunday\nFirst day:    7 (Sunday)\nDate order:   mdy\nClock:        12-hour\n"},
        {"english", "2024-03-05T00:05", "Date:         Tuesday, March 5 2024, 12:05 AM\n"},
        {"german", "2024-03-05 14:30", "Date:         Dienstag, 5 M\xE4rz 2024, 14:30\n"},
        {"french", "2024-12-25", "Date:         mercredi, 25 d\xE9" "cembre 2024, 00:00\n"},
        {"japanese", "2024-03-05 14:30", *Iconv("SHIFT_JIS", "UTF-8")("Date:         火曜日, 2024 3月 5, 14:30\n")},
        {"english", "", "Today:        "},
        // clang-format on
    };
    for (const std::vector<std::string> &c : cases) {
        std::vector<std::string> args = {"datetime", data_file("locale/datetime.loc"), c[0]};
        if (!c[1].empty())
            args.insert(args.end(), {"--at", c[1]});
        const Result run = intl(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c[2]), std::string::npos) << run.out;
    }
}

// One run each, with its status and output (standard output, then standard
// error); {} stands for the test's directory, {data} for the build's.
TEST_F(Tool, SubcommandsPrintTheirResultOrNameWhatIsWrong) {
    // clang-format off
    dir_.write("m.loc", "; m\n[en]\nhello = \"Hello, %1!\"\nlist = a, b\nplain = 100%% sure\nzero = \"%0!\"\nx = \"%x!\"\n"
                        "empty = \"\"\n[few]\nmonths = a, b\n[order]\ndateformat = mmd\n[ok]\ntimeformat = 24\n");
    // clang-format on
    dir_.write("v.loc", "; v\n[file format]\nversion = abc\n[s]\n") +
        dir_.write("a.txt", "caf\xE9\n");
    dir_.write("euro", "\x80");
    dir_.write("price", "Prix 5 \xE2\x82\xAC \xF0\x9F\x98\x80 \x1A\xE2\x82\n"); // U+001A is text
    dir_.write("sjis", "a\xA1\x81\xAD\x81\nb");
    dir_.write("cut", "a\xF0\x9F\n\xBF"); // cut after two bytes, then a stray one
    dir_.write("plain", "cafe\n");
    dir_.write("f.loc", "; c\n[file format]\nversion = 4.2\n[one]\na = x, \"y, z\", 0x09\n[two]\nq "
                        "= \"say \"\"hi\"\"\"\n");
    dir_.write("charsets/T/short", "x");
    const std::string table =
        dir_.write("t.tbl", "; t\n[to server]\nmap = 0x8EA1, 0x0A\nmap = AB, xy\n");
    ASSERT_EQ(intl({"compile", table, "-o", dir_.write("charsets/S/t", "")}).status, 0);
    const std::string catalog = data_file("locale/messages.loc");
    const std::string japanese =
        *Iconv("SHIFT_JIS", "UTF-8")("Annaさん、Inboxに新着メッセージが3件あります。\n");
    const std::string invalid = "intl message: invalid placeholder '",
                      range = "': placeholders are %1! to %20! (%% is a percent sign)\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string report;
    } cases[] = {
        // clang-format off
        {{"xlate", "--home", "{data}", "--charset", "UTF-8", "--table", "ISO-8859-1", "{}/none", "{}/a.txt"}, 1,
         "caf\xC3\xA9\nintl xlate: cannot open input file '{}/none': No such file or directory\n"},
        {{"xlate", "--home", "{data}", "--charset", "UTF-8", "--table", "NONE"}, 1, "intl xlate: no such table at {data}/charsets/UTF-8/NONE ('intl list' shows the tables)\n"},
        {{"xlate", "--home", "{}", "--charset", "S", "--table", "t", "--to-display"}, 1, "intl xlate: {}/charsets/S/t holds no to-display table\n"},
        {{"xlate", "--home", "{}", "--charset", "..", "--table", "charsets/S/t"}, 1,
         "intl xlate: cannot load {}/charsets/../charsets/S/t: Charset or translation file name is empty or has a '..' component\n"},
        {{"dump", "--home", "{}", "--charset", "S", "--table", "t"}, 0, "Source string: AB\nDest string: xy\nSource string: 8ea1\nDest string: a\n"},
        {{"dump", "--home", "{}", "--charset", "S", "--table", "t", "--to-display"}, 0, "Translation table is empty.\n"},
        {{"dump", "--home", "{}", "--charset", "T", "--table", "short"}, 1,
         "intl dump: {}/charsets/T/short is truncated or not a compiled table (Copying string would result in overflow of buffer)\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "CP1252", "{}/euro"}, 0, "\xE2\x82\xAC"}, // the built-in data
        {{"xlate", "--charset", "UTF-8", "--table", "ISO-8859-1", "--to-display", "{}/price"}, 0,
         "Prix 5 \x1A \x1A \x1A\x1A\x1A\nintl xlate: {}/price: 4 sequences without a translation became the substitution 0x1A\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "ISO-8859-1", "--to-display", "--strict", "{}/plain", "{}/price"}, 1,
         "cafe\nPrix 5 intl xlate: {}/price: the sequence 0xE282AC at byte 7 has no translation (the table would write its substitution 0x1A)\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "ISO-8859-1", "--to-display", "{}/cut"}, 0,
         "a\n\x1Aintl xlate: {}/cut: 1 sequence without a translation became the substitution 0x1A\n"
         "intl xlate: {}/cut: 1 sequence of four bytes broke off after two and left nothing\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "ISO-8859-1", "--to-display", "--strict", "{}/cut"}, 1,
         "aintl xlate: {}/cut: the sequence 0xF09F at byte 1 breaks off after two bytes (the table would write nothing for it)\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "SHIFT_JIS", "--strict", "{}/sjis"}, 1,
         "a\xEF\xBD\xA1intl xlate: {}/sjis: the sequence 0x81AD at byte 2 has no translation (the table would write its substitution 0xEFBFBD)\n"},
        {{"xlate", "--charset", "UTF-8", "--table", "SHIFT_JIS", "{}/sjis"}, 0,
         "a\xEF\xBD\xA1\xEF\xBF\xBD\xEF\xBF\xBD\nbintl xlate: {}/sjis: 2 sequences without a translation became the substitution 0xEFBFBD\n"},
        {{"xlate", "--home", "{}", "--charset", "S", "--table", "t", "--strict", "{}/a.txt"}, 1,
         "intl xlate: {}/charsets/S/t names no substitution: --strict needs a table that intl compile made from a total source\n"},
        {{"nosuch"}, 64, "intl: unknown subcommand 'nosuch'; run 'intl --help' for the subcommands\n"},
        {{"--bogus"}, 64, "intl: unknown option '--bogus'; run 'intl --help' for the subcommands\n"},
        {{"show", "{}/f.loc"}, 0, "[one]\na = \"x\", \"y, z\", \"\\t\"\n\n[two]\nq = \"say \\\"hi\\\"\"\n"},
        {{"show", "{}/f.loc", "--section", "two", "--json"}, 0,
         "{\n  \"file\": \"{}/f.loc\",\n  \"version\": 420,\n  \"sections\": [\n    {\n      \"name\": \"two\",\n"
         "      \"line\": 6,\n      \"entries\": [\n        {\n          \"name\": \"q\",\n          \"line\": 7,\n"
         "          \"values\": [\n            \"say \\\"hi\\\"\"\n          ]\n        }\n      ]\n    }\n  ]\n}\n"},
        {{"show", "{}/f.loc", "--section", "three"}, 1, "{}/f.loc: no section [three]\n"},
        {{"show", "{}"}, 1, "{}: Is a directory\n"},
        {{"show", "{}/v.loc"}, 1, "{}/v.loc:3: the version must be digits such as 4.2 or 4.2.1 (General Intl-Library error)\n"},
        {{"datetime", "{}/m.loc", "few"}, 1, "{}/m.loc:10: Too few months in datetime section\n"},
        {{"datetime", "{}/m.loc", "order"}, 1, "{}/m.loc:12: Duplicate dateformat value\n"},
        {{"datetime", "{}/m.loc", "none"}, 1, "{}/m.loc: no section [none]\n"},
        {{"datetime", "{}/m.loc", "ok", "--at", "2024-02-30"}, 1,
         "intl datetime: --at wants a moment as YYYY-MM-DD or YYYY-MM-DD HH:MM, not '2024-02-30'\n"},
        {{"message", catalog, "english", "new_mail", "Anna", "3", "Inbox"}, 0, "Anna, you have 3 new messages in Inbox.\n"},
        {{"message", catalog, "german", "new_mail", "Anna", "3", "Inbox"}, 0, "Anna, in Inbox liegen 3 neue Nachrichten.\n"},
        {{"message", catalog, "japanese", "new_mail", "Anna", "3", "Inbox"}, 0, japanese},
        {{"message", "{}/m.loc", "en", "hello", "you"}, 0, "Hello, you\n"},
        {{"message", "{}/m.loc", "en", "plain"}, 0, "100% sure\n"},
        {{"message", "{}/m.loc", "en", "hello"}, 1, "intl message: the template 'Hello, %1!' uses %1! but 0 arguments were given\n"},
        {{"message", "{}/m.loc", "en", "zero", "a"}, 1, invalid + "%0!' in the template '%0!" + range},
        {{"message", "{}/m.loc", "en", "x", "a"}, 1, invalid + "%x' in the template '%x!" + range},
        {{"message", "{}/m.loc", "en", "empty"}, 1, "intl message: the entry 'empty' holds an empty template\n"},
        {{"message", "{}/m.loc", "en", "list"}, 1, "{}/m.loc:4: 'list' holds 2 values; quote a template that holds the list separator\n"},
        {{"message", "{}/m.loc", "en", "bye"}, 1, "{}/m.loc: no entry 'bye' in [en]\n"},
        {{"message", "{}/m.loc", "fr", "hello"}, 1, "{}/m.loc: no section [fr]\n"},
        // clang-format on
    };
    const auto expand = [this](std::string text) {
        return named(named(text, build_data, "{data}"), dir_.path().string());
    };
    for (Case &c : cases) {
        for (std::string &arg : c.args)
            arg = expand(arg);
        const Result run = intl(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[0] << ' ' << c.args[1];
        EXPECT_EQ(run.out + run.err, expand(c.report));
    }
    const std::vector<std::string> latin = {"xlate", "--home",  build_data,  "--charset",
                                            "UTF-8", "--table", "ISO-8859-1"};
    std::vector<std::string> mixed = latin;
    mixed.insert(mixed.end(), {dir_.path() / "a.txt", "-", dir_.path() / "a.txt"});
    EXPECT_EQ(intl(mixed, "na\xEFve\n").out, "caf\xC3\xA9\nna\xC3\xAFve\ncaf\xC3\xA9\n");
    EXPECT_EQ(intl(latin, "\xE9").out, "\xC3\xA9");
}

// The data directory is the first that holds charsets/: --home (which must),
// else $KORVAN or user korvan's home, else the built-in one, which the tool
// built for installation lacks until it is installed.
TEST_F(Tool, HomeIsTheFirstDirectoryHoldingCharsets) {
    const std::string with = dir_.path() / "with", without = dir_.path(), too_long(600, 'k');
    dir_.write("with/charsets/UTF-8/CP1252", le32(410) + xlt_block({0, {{'a', {{"", "b"}}}}}));
    const auto installed = std::filesystem::path(tool_path).parent_path() / "for-install/intl";
    const std::string built_in = (installed.parent_path() / "../share/intl_r").lexically_normal();
    const std::string none = "1 intl xlate: no data directory holds charsets/: tried ";
    const std::string choose =
        " and the built-in " + built_in + "; name one with --home DIR or KORVAN=DIR\n";
    const struct {
        bool installed;
        std::string home, korvan, report; // status, output and errors
    } cases[] = {
        {false, with, build_data, "0 b\x80"},
        {false, without, with, "1 intl xlate: data directory " + without + " holds no charsets/\n"},
        {false, "", with, "0 b\x80"},
        {false, "", without, "0 a\xE2\x82\xAC"},
        {false, "", too_long, "0 a\xE2\x82\xAC"},
        {true, "", without, none + without + " (from $KORVAN or user korvan's home)" + choose},
        {true, "", too_long, none + "$KORVAN or user korvan (" + intl_errstr(-7) + ")" + choose},
    };
    for (const auto &c : cases) {
        tool_ = c.installed ? installed.c_str() : tool_path;
        std::vector<std::string> args = {"xlate", "--charset", "UTF-8", "--table", "CP1252"};
        if (!c.home.empty())
            args.insert(args.end(), {"--home", c.home});
        const Result run = intl(args, "a\x80", c.korvan);
        EXPECT_EQ(std::to_string(run.status) + " " + run.out + run.err, c.report) << c.korvan;
    }
}

// --- the CLDR datetime sections and the PO bridge ------------------------

TEST_F(Tool, CldrSectionsPassCheckAndRenderInTheirOrder) {
    const std::string cldr = data_file("locale/cldr-datetime.loc");
    const Result check = intl({"check", cldr});
    EXPECT_EQ(check.status, 0);
    EXPECT_EQ(check.out, "");
    const struct {
        std::string locale, date; // on 2024-03-05 14:30, a Tuesday
    } cases[] = {
        {"ar", "Date:         الثلاثاء, 5 مارس 2024, 2:30 PM\n"},
        {"ru", "Date:         вторник, 5 март 2024, 14:30\n"},
        {"en_US", "Date:         Tuesday, March 5 2024, 2:30 PM\n"},
        {"ja", "Date:         火曜日, 2024 3月 5, 14:30\n"},
    };
    for (const auto &c : cases) {
        const Result run = intl({"datetime", cldr, c.locale, "--at", "2024-03-05 14:30"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(c.date), std::string::npos) << run.out;
    }
}

class Po : public Tool {
  protected:
    // gettext's own verdict on a PO file: its status, and its messages
    // other than the warnings about header fields a template leaves out.
    std::string msgfmt_check(const std::string &po) {
        const std::string err = (dir_.path() / "msgfmt.err").string();
        const int status =
            std::system(("msgfmt --check -o /dev/null '" + po + "' 2>'" + err + "'").c_str());
        std::string kept;
        std::istringstream lines{TempDir::read(err)};
        for (std::string line; std::getline(lines, line);)
            if (line.find("missing in header") == std::string::npos)
                kept += line + "\n";
        return std::to_string(status) + " " + kept;
    }

    // The values of a section as intl show prints them.
    std::string shown(const std::string &file, const std::string &section) {
        const Result run = intl({"show", file, "--section", section});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    }
};

TEST_F(Po, ExportThenTranslateThenImportGivesBackTheSection) {
    const std::string catalog = data_file("locale/messages.loc");
    const std::string pot = dir_.path() / "english.pot", po = dir_.path() / "english.po",
                      back = dir_.path() / "back.loc";
    ASSERT_EQ(intl({"po", "export", catalog, "english", "-o", pot}).status, 0);
    const std::string written = TempDir::read(pot);
    EXPECT_NE(
        written.find("#. Placeholders: %1! %2! %3!\n#: messages.loc:17\nmsgctxt \"new_mail\"\n"
                     "msgid \"%1!, you have %2! new messages in %3!.\"\nmsgstr \"\"\n"),
        std::string::npos)
        << written;
    EXPECT_EQ(msgfmt_check(pot), "0 ");
    ASSERT_EQ(std::system(("msgen -o '" + po + "' '" + pot + "'").c_str()), 0);
    EXPECT_EQ(msgfmt_check(po), "0 ");
    const Result imported = intl({"po", "import", po, "--section", "english", "--for", catalog});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.err, "");
    dir_.write("back.loc", "; back\n" + imported.out);
    EXPECT_EQ(shown(back, "english"), shown(catalog, "english"));
}

// Values full of the target file's own syntax characters come back whole,
// whatever characters the file declares.
TEST_F(Po, ImportWritesValuesInTheTargetFilesSyntax) {
    const std::string hard[] = {
        "a, b; c # d",
        "say \"hi\" and 'bye'",
        "back\\slash and !bang %1!",
        "  blanks kept  ",
        "0x41 is not hex",
        "[not a heading]",
        "two\nlines\tand a tab",
        std::string(1500, 'x') + " end",
        "日本語のテキスト、%1!",
    };
    // A PO string and intl show escape alike.
    const auto escaped = [](const std::string &text) {
        std::string out;
        for (const char c : text)
            out += c == '"'    ? "\\\""s
                   : c == '\\' ? "\\\\"s
                   : c == '\n' ? "\\n"s
                   : c == '\t' ? "\\t"s
                               : std::string(1, c);
        return out;
    };
    std::string po = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n";
    for (std::size_t i = 0; i < std::size(hard); ++i) {
        const std::string placeholder = hard[i].find("%1!") != std::string::npos ? " %1!" : "";
        po += "\nmsgctxt \"m" + std::to_string(i) + "\"\nmsgid \"source" + placeholder +
              "\"\nmsgstr \"" + escaped(hard[i]) + "\"\n";
    }
    const std::string file = dir_.write("t.po", po);
    EXPECT_EQ(msgfmt_check(file), "0 ");
    const std::string targets[] = {
        // each up to its first section
        "; defaults\n[first]\n",
        "# odd\n<file format>\nlist_separator = ;\nescape = !\n",
        "' quote comments\n{file format}\nlist_separator = #\nescape = |\n",
    };
    for (const std::string &header : targets) {
        SCOPED_TRACE(header);
        const std::string target = dir_.write("target.loc", header);
        const Result run = intl({"po", "import", file, "--section", "x", "--for", target});
        ASSERT_EQ(run.status, 0) << run.err;
        const Result values = intl({"show", "-", "--section", "x"}, header + run.out);
        std::string expected;
        for (std::size_t i = 0; i < std::size(hard); ++i)
            expected.append("m")
                .append(std::to_string(i))
                .append(" = \"")
                .append(escaped(hard[i]))
                .append("\"\n");
        EXPECT_EQ(values.out, "[x]\n" + expected);
    }
}

TEST_F(Po, ImportRefusesChangedPlaceholdersAndReportsWhatItLeavesOut) {
    const std::string po =
        dir_.write("t.po", "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                           "\nmsgctxt \"ok\"\nmsgid \"%1! and %2!\"\nmsgstr \"%2! und %1!\"\n"
                           "\nmsgctxt \"open\"\nmsgid \"%1!\"\nmsgstr \"\"\n"
                           "\n#, fuzzy\nmsgctxt \"unsure\"\nmsgid \"%1!\"\nmsgstr \"%1!?\"\n"
                           "\nmsgctxt \"lost\"\nmsgid \"%1! to %2!\"\nmsgstr \"nach %2!\"\n"
                           "\nmsgctxt \"extra\"\nmsgid \"%1!\"\nmsgstr \"%1! %3!\"\n");
    const std::string out = dir_.path() / "out.loc";
    const Result refused = intl({"po", "import", po, "--section", "de", "-o", out});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
              named("{}:9: 'open' is not translated; left out\n{}:14: 'unsure' is fuzzy; left out\n"
                    "intl po import: 1 untranslated and 1 fuzzy message left out\n"
                    "{}:18: 'lost': the translation's placeholders (%2!) differ from the source's "
                    "(%1! %2!)\n"
                    "{}:22: 'extra': the translation's placeholders (%1! %3!) differ from the "
                    "source's (%1!)\n"
                    "intl po import: 2 messages refused; nothing written\n",
                    po));
    EXPECT_FALSE(std::filesystem::exists(out));

    dir_.write("fixed.po",
               TempDir::read(po).substr(0, TempDir::read(po).find("\nmsgctxt \"lost\"")));
    const Result kept = intl({"po", "import", dir_.path() / "fixed.po", "--section", "de"});
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.out, "[de]\nok = %2! und %1!\n");
}

TEST_F(Po, ExportAndImportNameTheLineOfWhatTheyCannotCarry) {
    dir_.write("m.loc",
               "; m\n[s]\nlist = a, b\n[t]\nempty = \"\"\n[u]\nbad = \"%0!\"\n[v]\nx = 1\nx = 2\n"
               "[w]\nlatin = caf\xE9\n");
    const struct {
        std::vector<std::string> args;
        std::string po, report; // {} is the test's directory
    } cases[] = {
        // clang-format off
        {{"export", "{}/m.loc", "s"}, "", "{}/m.loc:3: 'list' holds 2 values; a message is one (quote a template that holds the list separator)\n"},
        {{"export", "{}/m.loc", "t"}, "", "{}/m.loc:5: 'empty' is empty: a PO file cannot carry it\n"},
        {{"export", "{}/m.loc", "u"}, "", "{}/m.loc:7: 'bad': invalid placeholder '%0!' in the template '%0!': placeholders are %1! to %20! (%% is a percent sign)\n"},
        {{"export", "{}/m.loc", "v"}, "", "{}/m.loc:10: 'x' again (line 9): the PO file would name two messages alike\n"},
        {{"export", "{}/m.loc", "w"}, "", "{}/m.loc:12: 'latin' is not UTF-8: name its charset with --charset\n"},
        {{"export", "{}/m.loc", "none"}, "", "{}/m.loc: no section [none]\n"},
        {{"import", "{}/p.po", "--section", "s"}, "msgid \"a\"\nmsgstr \"b\"\n",
         "{}/p.po:1: no msgctxt: it names the entry a message goes to\nintl po import: 1 message refused; nothing written\n"},
        {{"import", "{}/p.po", "--section", "s"}, "msgctxt \"a b\"\nmsgid \"a\"\nmsgstr \"b\"\n",
         "{}/p.po:2: 'a b': white space, '=' and the escape character have no place in an entry's name\n"
         "intl po import: 1 message refused; nothing written\n"},
        {{"import", "{}/p.po", "--section", "s"}, "msgctxt \"a\"\nmsgid \"a\"\nmsgstr \"b\\q\"\n", "{}/p.po:3: invalid escape sequence in a string\n"},
        {{"import", "{}/p.po", "--section", "s"}, "msgctxt \"a\"\nmsgid \"a\"\n", "{}/p.po:2: the message before this line has no msgstr\n"},
        {{"import", "{}/p.po", "--section", "s"}, "msgctxt \"a\"\nmsgid \"a\"\nmsgstr \"b\"\n\nmsgctxt \"a\"\nmsgid \"c\"\nmsgstr \"d\"\n",
         "{}/p.po:6: 'a' again (line 2): a section holds each entry once\nintl po import: 1 message refused; nothing written\n"},
        {{"import", "{}/p.po", "--section", "s]"}, "", "intl po import: --section wants a name of 1 to 62 characters without the closing bracket\n"},
        // clang-format on
    };
    for (const auto &c : cases) {
        std::vector<std::string> args = {"po"};
        for (const std::string &arg : c.args)
            args.push_back(named(arg, dir_.path().string()));
        dir_.write("p.po", c.po);
        const Result run = intl(args);
        EXPECT_EQ(run.status, 1) << c.report;
        EXPECT_EQ(run.out + run.err, named(c.report, dir_.path().string()));
    }
}

} // namespace
