// The buffered file stream on real temporary files.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One call. r/w: read/write a items of b bytes, text the bytes got or given;
// g: gets of size a, result 1 for the buffer, text the line; s: seek by a
// from b; c: the count of buffered bytes. R, G and W pass a null buffer.
struct Step {
    char op;
    INTL_INT a, b;
    INTL_LONG result;
    std::string text = {};
};

// The buffer holds exactly the bytes asked for, where sane, so that ASan
// sees a write past them.
void run(INTL_IOCS *s, const Step &step) {
    const char op = static_cast<char>(std::tolower(step.op));
    const std::int64_t asked = std::int64_t{step.a} * (op == 'g' ? 1 : step.b);
    std::vector<char> buf(asked > 0 && asked < 4096 ? static_cast<std::size_t>(asked) : 4096);
    char *at = op == step.op ? buf.data() : nullptr;
    std::string got = step.text;
    INTL_LONG result = op == 'c' ? s->ne_cnt : 0;
    if (op == 'r') {
        result = intl_iocsfread(at, step.a, step.b, s);
        got.assign(buf.data(), static_cast<std::size_t>(step.a * std::max(result, 0)));
    } else if (op == 'g') {
        const char *line = intl_iocsfgets(at, step.a, s);
        result = line != nullptr;
        got.assign(line ? line : step.text.data(), step.text.size());
        EXPECT_TRUE(line == nullptr || (line == at && buf[step.text.size()] == '\0'));
    } else if (op == 'w') {
        result = intl_iocsfwrite(at ? step.text.data() : nullptr, step.a, step.b, s);
    } else if (op == 's') {
        result = intl_iocsfseek(s, step.a, step.b);
    }
    EXPECT_TRUE(result == step.result && got == step.text)
        << step.op << step.a << "," << step.b << ": " << result << " " << got;
}

TEST(Stream, ScriptsOfCalls) {
    std::string abc;
    for (int i = 0; i < 1200; ++i)
        abc += static_cast<char>('a' + i % 26);
    const std::string refills = std::string("aaa\0", 4) + std::string(496, 'a') + "\n",
                      b700(700, 'b');
    const struct {
        std::string file;
        std::vector<INTL_INT> modes; // 0 for a null stream
        std::vector<Step> steps;
        std::string after; // the file once closed; unchecked if empty after reading
    } rows[] = {
        // clang-format off
        // Whole items only, none bigger than the buffer; seeks within the
        // buffer keep it, others discard it, failing ones too. After reading
        // 612 bytes the descriptor stands 412 bytes ahead.
        {abc, {1}, {{'r', 513, 1, 0}, {'r', 0, 5, 0}, {'r', -4, 5, 0}, {'r', 0x10000, 0x10000, 0},
                    {'R', 1, 2, 0}, {'r', 4, 1, 1, "abcd"}, {'s', 0, SEEK_CUR, 0}, {'c', 0, 0, 508},
                    {'s', -2, SEEK_CUR, 0}, {'c', 0, 0, 510}, {'r', 2, 1, 1, "cd"},
                    {'s', -5, SEEK_CUR, -1}, {'c', 0, 0, 0}, {'s', 0, SEEK_SET, 0},
                    {'r', 512, 1, 1, abc.substr(0, 512)}, {'r', 100, 1, 1, abc.substr(512, 100)},
                    {'s', -150, SEEK_CUR, 0}, {'r', 1, 1, 1, abc.substr(462, 1)},
                    {'s', 0, SEEK_SET, 0}, {'r', 1, 1, 1, "a"}, {'s', 700, SEEK_CUR, 0},
                    {'r', 1, 1, 1, abc.substr(701, 1)}, {'s', -3, SEEK_END, 0},
                    {'r', 2, 2, 1, abc.substr(1197, 2)}, {'r', 1, 2, 1, abc.substr(1199)},
                    {'r', 1, 1, 0}, {'s', -5000, SEEK_SET, -1}, {'c', 0, 0, 0}}, abc},
        // Lines keep their newline, split at the size, lose an unterminated
        // tail, cross refills; a zero byte is copied like any other.
        {"abcdef\nab\ncd\nlast", {1}, {{'G', 4, 0, 0}, {'g', 0, 0, 0}, {'g', 1, 0, 1, ""},
            {'g', 4, 0, 1, "abc"}, {'g', 4, 0, 1, "def"}, {'g', 4, 0, 1, "\n"},
            {'g', 512, 0, 1, "ab\n"}, {'g', 512, 0, 1, "cd\n"}, {'g', 512, 0, 0}, {'g', 4, 0, 0}}, ""},
        {refills + b700 + "\nz\n", {1}, {{'g', 2000, 0, 1, refills}, {'g', 2000, 0, 1, b700 + "\n"},
                                         {'g', 2000, 0, 1, "z\n"}}, ""},
        // Writes go straight to the descriptor, wherever the buffer stands.
        {"0123456789", {1}, {{'w', 1, -1, 0, "x"}, {'w', 1, 1, -1, "x"}, {'w', 0x10000, 0x10000, 0},
                             {'w', 0, 1, 0, "x"}}, "0123456789"},
        {"0123456789", {7}, {{'W', 1, 3, -1}, {'W', 1, 0, 0}, {'r', 2, 1, 1, "01"},
            {'w', 2, 1, 2, "XY"}, {'s', 4, SEEK_SET, 0}, {'w', 1, 2, 2, "ab"}}, "0123ab6789XY"},
        {"ab", {5, 6, 11, 12}, {{'s', 0, SEEK_SET, 0}, {'w', 1, 2, 2, "cd"}}, "abcd"},
        {"existing", {3, 4, 9, 10}, {}, ""},
        {"", {0}, {{'r', 1, 1, 0}, {'g', 4, 0, 0}, {'w', 1, 1, -1, "x"}, {'s', 0, SEEK_SET, -1}}, ""},
        // clang-format on
    };
    TempDir dir;
    for (std::size_t n = 0; n < std::size(rows); ++n)
        for (const INTL_INT mode : rows[n].modes) {
            SCOPED_TRACE(::testing::Message() << "script " << n << " mode " << mode);
            const std::string path = dir.write("f", rows[n].file);
            INTL_IOCS *s = mode ? intl_iocsfopen(path.c_str(), mode) : nullptr;
            ASSERT_TRUE(s != nullptr || mode == 0);
            for (const Step &step : rows[n].steps)
                run(s, step);
            EXPECT_EQ(intl_iocsfclose(s), s ? 0 : -1);
            if (mode > 2 || !rows[n].after.empty()) {
                EXPECT_EQ(TempDir::read(path), rows[n].after);
            }
        }
}

TEST(Stream, OpenModesAndFailures) {
    TempDir dir;
    const std::string path = (dir.path() / "f").string();
    for (INTL_INT mode : {0, 14, -1, 100, 1, 2, 7, 8})
        EXPECT_EQ(intl_iocsfopen(path.c_str(), mode), nullptr) << mode;
    EXPECT_EQ(intl_iocsfopen(nullptr, 1), nullptr);
    for (mode_t mask : {022, 0, 077}) { // exclusive: the refused opens created nothing
        const mode_t old = ::umask(mask);
        INTL_IOCS *s = intl_iocsfopen(path.c_str(), 13);
        ::umask(old);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(intl_iocsfopen(path.c_str(), 13), nullptr);
        struct stat st {};
        EXPECT_EQ(::fstat(s->ne_fd, &st) == 0 ? st.st_mode & 0777 : 0, 0666 & ~mask) << mask;
        EXPECT_EQ(intl_iocsfclose(s), 0);
        std::filesystem::remove(path);
    }
    if (INTL_IOCS *full = intl_iocsfopen("/dev/full", 3)) {
        EXPECT_EQ(intl_iocsfwrite("abc", 1, 3, full), -1);
        EXPECT_EQ(intl_iocsfclose(full), 0);
    }
    INTL_IOCS *s = intl_iocsfopen("/dev/null", 1);
    ::close(s->ne_fd); // closed underneath: the stream's own close then fails
    EXPECT_EQ(intl_iocsfclose(s), -1);
}

} // namespace
