// The buffered file stream on real temporary files.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One call. r/w: read/write a items of b bytes, text the bytes got or given; g: gets of size a,
// result 1 for the buffer, text the line; s: seek by a from b; c: the count of buffered bytes.
// R, G and W pass a null buffer, the others one of exactly the bytes asked for, where sane. A
// script: a file, the modes to open it in (0: a null name), the calls, the file once closed.
// clang-format off
struct Step { char op; INTL_INT a, b; INTL_LONG result; std::string text = {}; };
struct Script { std::string file; std::vector<INTL_INT> modes; std::vector<Step> steps;
                std::string after; }; // unchecked if empty after reading
// clang-format on

void run(INTL_IOCS *s, const Step &step) {
    const char op = static_cast<char>(std::tolower(step.op));
    const std::int64_t asked = std::int64_t{step.a} * (op == 'g' ? 1 : step.b);
    std::vector<char> buf(asked > 0 && asked < 4096 ? static_cast<std::size_t>(asked) : 4096);
    char *at = op == step.op ? buf.data() : nullptr;
    const char *line = op == 'g' ? intl_iocsfgets(at, step.a, s) : nullptr;
    const INTL_LONG result =
        op == 'r'   ? intl_iocsfread(at, step.a, step.b, s)
        : op == 'w' ? intl_iocsfwrite(at ? step.text.data() : nullptr, step.a, step.b, s)
        : op == 's' ? intl_iocsfseek(s, step.a, step.b)
        : op == 'g' ? (line == nullptr ? 0
                       : line == at    ? 1
                                       : -9)
                    : s->ne_cnt;
    const std::string got = op == 'r' ? std::string(buf.data(), step.a * (result > 0 ? result : 0))
                            : line    ? std::string(line, step.text.size() + 1)
                                      : step.text + '\0';
    EXPECT_TRUE(result == step.result && got == step.text + (op == 'r' ? "" : std::string(1, '\0')))
        << step.op << step.a << "," << step.b << ": " << result << " " << got;
}

TEST(Stream, ReadsWritesAndSeeksKeepBufferAndFileInStep) {
    std::string abc(1196, 'a'), bs(700, 'b'); // abc: a byte sequence that locates each position
    std::iota(abc.begin(), abc.end(), 'a');
    const std::string refills = std::string("aaa\0", 4) + std::string(496, 'a') + "\n";
    // clang-format off
    const Script rows[] = {
        // Whole items only, none bigger than the buffer; seeks within the buffer keep it, others
        // discard it, failing ones too. After reading 612 bytes the descriptor is 412 ahead.
        {abc, {1}, {{'r', 513, 1, 0}, {'r', 0, 5, 0}, {'r', -4, 5, 0}, {'r', 0x10000, 0x10000, 0},
            {'R', 1, 2, 0}, {'r', 4, -1, 0}, {'r', 4, 0, 0}, {'r', 4, 1, 1, "abcd"},
            {'s', 0, SEEK_CUR, 0}, {'c', 0, 0, 508}, {'s', -2, SEEK_CUR, 0}, {'c', 0, 0, 510},
            {'r', 2, 1, 1, "cd"}, {'s', -5, SEEK_CUR, -1}, {'c', 0, 0, 0}, {'s', 0, SEEK_SET, 0},
            {'r', 512, 1, 1, abc.substr(0, 512)}, {'r', 100, 1, 1, abc.substr(512, 100)},
            {'s', -150, SEEK_CUR, 0}, {'r', 1, 1, 1, abc.substr(462, 1)}, {'s', 0, SEEK_SET, 0},
            {'r', 1, 1, 1, "a"}, {'s', 700, SEEK_CUR, 0}, {'r', 1, 1, 1, abc.substr(701, 1)},
            {'s', -3, SEEK_END, 0}, {'r', 2, 2, 1, abc.substr(1193, 2)},
            {'r', 1, 2, 1, abc.substr(1195)}, {'r', 1, 1, 0}, {'s', -5000, SEEK_SET, -1},
            {'c', 0, 0, 0}}, abc},
        // Long reads go straight to the caller's memory; an incomplete last item stays buffered.
        {abc, {1}, {{'r', 3, 1, 1, abc.substr(0, 3)}, {'r', 5, 300, 238, abc.substr(3, 1190)},
            {'c', 0, 0, 3}, {'r', 1, 4, 3, abc.substr(1193)}, {'r', 1, 1, 0}}, abc},
        // Lines keep their newline, split at the size, drop an unterminated tail; zeros are copied.
        {"abcdef\nab\n" + refills + bs + "\nz\nlast", {1}, {{'G', 4, 0, 0}, {'g', 0, 0, 0},
            {'g', 1, 0, 1, ""}, {'g', 4, 0, 1, "abc"}, {'g', 4, 0, 1, "def"}, {'g', 4, 0, 1, "\n"},
            {'g', 512, 0, 1, "ab\n"}, {'g', 2000, 0, 1, refills}, {'g', 2000, 0, 1, bs + "\n"},
            {'g', 2000, 0, 1, "z\n"}, {'g', 512, 0, 0}, {'g', 4, 0, 0}}, ""},
        // Writes go straight to the descriptor, wherever the buffer stands.
        {"0123456789", {1}, {{'w', 1, -1, 0, "x"}, {'w', 1, 1, -1, "x"}, {'w', 0x10000, 0x10000, 0},
            {'w', 0, 1, 0, "x"}}, "0123456789"},
        {"0123456789", {7}, {{'W', 1, 3, -1}, {'W', 1, 0, 0}, {'r', 2, 1, 1, "01"},
            {'w', 2, 1, 2, "XY"}, {'s', 4, SEEK_SET, 0}, {'w', 1, 2, 2, "ab"}}, "0123ab6789XY"},
        {"ab", {5, 6, 11, 12}, {{'s', 0, SEEK_SET, 0}, {'w', 1, 2, 2, "cd"}}, "abcd"},
        {"existing", {3, 4, 9, 10}, {}, ""},
        {"", {0}, {{'r', 1, 1, 0}, {'g', 4, 0, 0}, {'w', 1, 1, -1, "x"}, {'s', 0, SEEK_SET, -1}},
            ""},
    };
    // clang-format on
    for (TempDir dir; const auto &row : rows)
        for (const INTL_INT mode : row.modes) {
            const std::string path = dir.write("f", row.file);
            INTL_IOCS *s = intl_iocsfopen(mode ? path.c_str() : nullptr, mode ? mode : 1);
            ASSERT_EQ(s == nullptr, mode == 0);
            for (const Step &step : row.steps)
                run(s, step);
            EXPECT_EQ(intl_iocsfclose(s), s ? 0 : -1);
            const bool unchecked = mode <= 2 && row.after.empty();
            EXPECT_TRUE(unchecked || TempDir::read(path) == row.after) << TempDir::read(path);
        }
}

// Many items at once, from a file and from a pipe, across refills and
// straight into the caller's memory: only whole items reach the
// destination, nothing after them is written, and the bytes of an
// incomplete last item are what the next read delivers.
TEST(Stream, OnlyWholeItemsReachTheDestination) {
    constexpr char guard = '\xEE'; // never in the file
    std::string text(6000, 'a');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char>('a' + i % 26);
    const struct {
        std::size_t file;
        INTL_INT skip, size, count, items;
    } rows[] = {
        {1000, 0, 3, 400, 333}, {1000, 0, 24, 100, 41},   {1000, 0, 7, 1000, 142},
        {3000, 0, 512, 10, 5},  {2000, 100, 9, 300, 211}, {5000, 1, 1, 6000, 4999},
        {600, 0, 4, 150, 150},  {1500, 511, 2, 600, 494},
    };
    for (const bool from_pipe : {false, true})
        for (TempDir dir; const auto &row : rows) {
            const std::string bytes = text.substr(0, row.file);
            INTL_IOCS *s = intl_iocsfopen(dir.write("f", bytes).c_str(), 1);
            ASSERT_NE(s, nullptr);
            if (from_pipe) { // the whole file waits in the pipe, its writer gone
                int ends[2];
                ASSERT_EQ(::pipe(ends), 0);
                ASSERT_EQ(::write(ends[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
                ::close(ends[1]);
                ::dup2(ends[0], s->ne_fd);
                ::close(ends[0]);
            }
            std::vector<char> skipped(std::size_t(row.skip) + 1);
            EXPECT_EQ(intl_iocsfread(skipped.data(), row.skip, 1, s), row.skip > 0 ? 1 : 0);
            std::vector<char> dest(std::size_t(row.size) * std::size_t(row.count) + 64, guard);
            const INTL_INT got = intl_iocsfread(dest.data(), row.size, row.count, s);
            const std::size_t whole = std::size_t(std::max(got, 0)) * std::size_t(row.size);
            const std::string where = (from_pipe ? "pipe " : "file ") + std::to_string(row.size);
            EXPECT_EQ(got, row.items) << where;
            EXPECT_EQ(std::string(dest.data(), whole), bytes.substr(std::size_t(row.skip), whole))
                << where;
            EXPECT_EQ(
                std::size_t(std::count(dest.begin() + std::ptrdiff_t(whole), dest.end(), guard)),
                dest.size() - whole)
                << where;
            std::vector<char> rest(row.file);
            const INTL_INT tail = intl_iocsfread(rest.data(), 1, INTL_INT(row.file), s);
            EXPECT_EQ(std::string(rest.data(), std::size_t(std::max(tail, 0))),
                      bytes.substr(std::min(bytes.size(), std::size_t(row.skip) + whole)))
                << where;
            intl_iocsfclose(s);
        }
}

TEST(Stream, RefusedModesCreateNothingAndCreatedFilesHonourTheUmask) {
    TempDir dir;
    const std::string path = (dir.path() / "f").string();
    for (INTL_INT mode : {0, 14, -1, 100, 1, 2, 7, 8})
        EXPECT_EQ(intl_iocsfopen(path.c_str(), mode), nullptr) << mode;
    for (mode_t mask : {022, 0, 077}) {
        const mode_t old = ::umask(mask);
        INTL_IOCS *s = intl_iocsfopen(path.c_str(), 13);
        ::umask(old);
        struct stat st {};
        ASSERT_TRUE(s != nullptr && ::fstat(s->ne_fd, &st) == 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << mask;
        EXPECT_EQ(intl_iocsfopen(path.c_str(), 13), nullptr) << "created exclusively";
        intl_iocsfclose(s);
        std::filesystem::remove(path);
    }
}

} // namespace
