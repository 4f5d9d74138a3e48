// The buffered file stream on real temporary files.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class StreamTest : public ::testing::Test {
  protected:
    TempDir dir;

    std::string file(const std::string &name, std::string_view bytes = {}) {
        return dir.write(name, bytes);
    }
    std::string missing(const std::string &name) const { return (dir.path() / name).string(); }

    // Reads every line with the given size until end of file.
    static std::vector<std::string> lines(INTL_IOCS *s, INTL_INT size) {
        std::vector<std::string> out;
        std::string buf(static_cast<std::size_t>(size) + 1, '\0');
        while (intl_iocsfgets(buf.data(), size, s) != nullptr)
            out.emplace_back(buf.c_str());
        return out;
    }
};

TEST_F(StreamTest, RejectedModesTouchNothing) {
    const std::string path = missing("never");
    for (INTL_INT mode : {0, 14, -1, 100})
        EXPECT_EQ(intl_iocsfopen(path.c_str(), mode), nullptr) << mode;
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
    EXPECT_EQ(intl_iocsfopen(path.c_str(), 1), nullptr);
    EXPECT_EQ(intl_iocsfopen(path.c_str(), 2), nullptr);
    EXPECT_EQ(intl_iocsfopen(nullptr, 1), nullptr);
}

TEST_F(StreamTest, WriteModes) {
    const std::string path = file("f", "existing");
    for (INTL_INT mode : {3, 4, 9, 10}) {
        INTL_IOCS *s = intl_iocsfopen(path.c_str(), mode);
        ASSERT_NE(s, nullptr) << mode;
        EXPECT_EQ(intl_iocsfclose(s), 0);
        EXPECT_EQ(TempDir::read(path), "") << "mode " << mode << " truncates";
        file("f", "existing");
    }
    for (INTL_INT mode : {5, 6, 11, 12}) {
        file("f", "ab");
        INTL_IOCS *s = intl_iocsfopen(path.c_str(), mode);
        ASSERT_NE(s, nullptr) << mode;
        EXPECT_EQ(intl_iocsfseek(s, 0, SEEK_SET), 0);
        EXPECT_EQ(intl_iocsfwrite("cd", 1, 2, s), 2);
        EXPECT_EQ(intl_iocsfclose(s), 0);
        EXPECT_EQ(TempDir::read(path), "abcd") << "mode " << mode << " appends";
    }
    EXPECT_EQ(intl_iocsfopen(path.c_str(), 13), nullptr) << "exclusive create of an existing file";
    INTL_IOCS *fresh = intl_iocsfopen(missing("new").c_str(), 13);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(intl_iocsfclose(fresh), 0);
}

TEST_F(StreamTest, CreatedFilesHonourTheUmask) {
    for (mode_t mask : {022, 0, 077}) {
        const mode_t old = ::umask(mask);
        const std::string path = missing("perm" + std::to_string(mask));
        INTL_IOCS *s = intl_iocsfopen(path.c_str(), 3);
        ::umask(old);
        ASSERT_NE(s, nullptr);
        intl_iocsfclose(s);
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << std::oct << mask;
    }
}

TEST_F(StreamTest, ReadsWholeItemsOnly) {
    INTL_IOCS *s = intl_iocsfopen(file("ten", "0123456789").c_str(), 1);
    ASSERT_NE(s, nullptr);
    char buf[16] = {};
    EXPECT_EQ(intl_iocsfread(buf, 4, 0, s), 0);
    EXPECT_EQ(intl_iocsfread(buf, 4, -1, s), 0);
    EXPECT_EQ(intl_iocsfread(buf, 4, 3, s), 2);
    EXPECT_EQ(std::string(buf, 8), "01234567");
    EXPECT_EQ(intl_iocsfread(buf, 1, 2, s), 2);
    EXPECT_EQ(std::string(buf, 2), "89");
    EXPECT_EQ(intl_iocsfread(buf, 1, 1, s), 0);
    EXPECT_EQ(intl_iocsfclose(s), 0);
}

TEST_F(StreamTest, OversizedOrNonsenseItemsReadNothing) {
    INTL_IOCS *s = intl_iocsfopen(file("big", std::string(1000, 'x')).c_str(), 2);
    ASSERT_NE(s, nullptr);
    std::string buf(1000, '\0');
    EXPECT_EQ(intl_iocsfread(buf.data(), 513, 1, s), 0) << "an item must fit the buffer";
    EXPECT_EQ(intl_iocsfread(buf.data(), 0, 5, s), 0);
    EXPECT_EQ(intl_iocsfread(buf.data(), -4, 5, s), 0);
    EXPECT_EQ(intl_iocsfread(buf.data(), 0x10000, 0x10000, s), 0);
    EXPECT_EQ(buf, std::string(1000, '\0'));
    EXPECT_EQ(intl_iocsfread(buf.data(), 512, 1, s), 1);
    intl_iocsfclose(s);
}

TEST_F(StreamTest, LinesKeepNewlinesAndDropAnUnterminatedTail) {
    INTL_IOCS *s = intl_iocsfopen(file("l", "ab\ncd\nlast").c_str(), 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(lines(s, 512), (std::vector<std::string>{"ab\n", "cd\n"}));
    char buf[4];
    EXPECT_EQ(intl_iocsfgets(buf, 4, s), nullptr) << "end of file stays end of file";
    intl_iocsfclose(s);
}

TEST_F(StreamTest, LinesSplitAtTheSizeLimit) {
    INTL_IOCS *s = intl_iocsfopen(file("l", "abcdef\n").c_str(), 1);
    ASSERT_NE(s, nullptr);
    char one[1] = {'#'};
    EXPECT_EQ(intl_iocsfgets(one, 1, s), one);
    EXPECT_EQ(one[0], '\0');
    char none[1] = {'#'};
    EXPECT_EQ(intl_iocsfgets(none, 0, s), nullptr);
    EXPECT_EQ(none[0], '#');
    EXPECT_EQ(lines(s, 4), (std::vector<std::string>{"abc", "def", "\n"}));
    intl_iocsfclose(s);
}

TEST_F(StreamTest, LinesCrossBufferRefills) {
    const std::string first(500, 'a');
    const std::string second(700, 'b');
    std::string text = first + "\n" + second + "\nz\n";
    text[3] = '\0'; // a zero byte is copied like any byte
    INTL_IOCS *s = intl_iocsfopen(file("l", text).c_str(), 1);
    ASSERT_NE(s, nullptr);
    std::string buf(2000, '\0');
    ASSERT_NE(intl_iocsfgets(buf.data(), 2000, s), nullptr);
    EXPECT_EQ(buf.substr(0, 501), text.substr(0, 501));
    ASSERT_NE(intl_iocsfgets(buf.data(), 2000, s), nullptr);
    EXPECT_STREQ(buf.c_str(), (second + "\n").c_str());
    ASSERT_NE(intl_iocsfgets(buf.data(), 2000, s), nullptr);
    EXPECT_STREQ(buf.c_str(), "z\n");
    intl_iocsfclose(s);
}

TEST_F(StreamTest, SeeksInsideAndOutsideTheBuffer) {
    std::string text;
    for (int i = 0; i < 1200; ++i)
        text += static_cast<char>('a' + i % 26);
    INTL_IOCS *s = intl_iocsfopen(file("s", text).c_str(), 1);
    ASSERT_NE(s, nullptr);
    char buf[8] = {};
    ASSERT_EQ(intl_iocsfread(buf, 4, 1, s), 1);
    EXPECT_EQ(intl_iocsfseek(s, 0, SEEK_CUR), 0);
    EXPECT_EQ(s->ne_cnt, 508) << "a zero move keeps the buffer";

    EXPECT_EQ(intl_iocsfseek(s, -2, SEEK_CUR), 0);
    EXPECT_EQ(s->ne_cnt, 510) << "a backward move inside the buffer keeps it";
    ASSERT_EQ(intl_iocsfread(buf, 2, 1, s), 1);
    EXPECT_EQ(std::string(buf, 2), "cd");
    EXPECT_EQ(intl_iocsfseek(s, -5, SEEK_CUR), -1) << "before the start of the file";
    EXPECT_EQ(s->ne_cnt, 0);

    // Backward past the buffer start: the descriptor, 412 bytes ahead of
    // the read position 612, goes back to 462.
    ASSERT_EQ(intl_iocsfseek(s, 0, SEEK_SET), 0);
    std::string big(512, '\0');
    ASSERT_EQ(intl_iocsfread(big.data(), 512, 1, s), 1);
    ASSERT_EQ(intl_iocsfread(big.data(), 100, 1, s), 1);
    EXPECT_EQ(intl_iocsfseek(s, -150, SEEK_CUR), 0);
    ASSERT_EQ(intl_iocsfread(buf, 1, 1, s), 1);
    EXPECT_EQ(buf[0], text[462]);

    // Forward past the buffered bytes: the descriptor moves by the offset
    // less what was still buffered.
    ASSERT_EQ(intl_iocsfseek(s, 0, SEEK_SET), 0);
    ASSERT_EQ(intl_iocsfread(buf, 1, 1, s), 1);
    EXPECT_EQ(intl_iocsfseek(s, 700, SEEK_CUR), 0);
    ASSERT_EQ(intl_iocsfread(buf, 1, 1, s), 1);
    EXPECT_EQ(buf[0], text[701]);

    EXPECT_EQ(intl_iocsfseek(s, -3, SEEK_END), 0);
    ASSERT_EQ(intl_iocsfread(buf, 3, 1, s), 1);
    EXPECT_EQ(std::string(buf, 3), text.substr(1197));
    EXPECT_EQ(intl_iocsfseek(s, -5000, SEEK_SET), -1);
    EXPECT_EQ(s->ne_cnt, 0) << "a failed seek still discards the buffer";
    EXPECT_EQ(intl_iocsfclose(s), 0);
}

TEST_F(StreamTest, WritesGoStraightToTheDescriptor) {
    const std::string path = file("w", "0123456789");
    INTL_IOCS *ro = intl_iocsfopen(path.c_str(), 1);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(intl_iocsfwrite("x", 1, -1, ro), 0);
    EXPECT_EQ(intl_iocsfwrite("x", 1, 1, ro), -1);
    EXPECT_EQ(intl_iocsfwrite("x", 0x10000, 0x10000, ro), 0) << "a byte count past 32 bits";
    EXPECT_EQ(intl_iocsfwrite("x", 0, 1, ro), 0);
    EXPECT_EQ(intl_iocsfwrite(nullptr, 1, 1, ro), -1);
    intl_iocsfclose(ro);

    INTL_IOCS *rw = intl_iocsfopen(path.c_str(), 7);
    ASSERT_NE(rw, nullptr);
    char buf[2];
    ASSERT_EQ(intl_iocsfread(buf, 2, 1, rw), 1);
    // The refill took all ten bytes, so the descriptor stands at the end.
    EXPECT_EQ(intl_iocsfwrite("XY", 2, 1, rw), 2);
    EXPECT_EQ(intl_iocsfseek(rw, 4, SEEK_SET), 0);
    EXPECT_EQ(intl_iocsfwrite("ab", 1, 2, rw), 2);
    intl_iocsfclose(rw);
    EXPECT_EQ(TempDir::read(path), "0123ab6789XY");
}

TEST_F(StreamTest, FullDeviceWriteFails) {
    INTL_IOCS *s = intl_iocsfopen("/dev/full", 3);
    if (s == nullptr)
        GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(intl_iocsfwrite("abc", 1, 3, s), -1);
    EXPECT_EQ(intl_iocsfclose(s), 0);
}

TEST_F(StreamTest, CloseReportsAFailedClose) {
    INTL_IOCS *s = intl_iocsfopen(file("c", "x").c_str(), 1);
    ASSERT_NE(s, nullptr);
    ::close(s->ne_fd); // closed underneath: the stream's own close then fails
    EXPECT_EQ(intl_iocsfclose(s), -1);
}

// A null buffer on a live stream fails and leaves the stream where it was.
TEST_F(StreamTest, NullBuffersAreRefusedWithoutConsumingAnything) {
    INTL_IOCS *r = intl_iocsfopen(file("r", "abc\n").c_str(), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(intl_iocsfread(nullptr, 1, 2, r), 0);
    EXPECT_EQ(intl_iocsfgets(nullptr, 4, r), nullptr);
    char line[8];
    ASSERT_NE(intl_iocsfgets(line, sizeof line, r), nullptr);
    EXPECT_STREQ(line, "abc\n");
    EXPECT_EQ(intl_iocsfclose(r), 0);

    const std::string path = file("w", "kept");
    INTL_IOCS *w = intl_iocsfopen(path.c_str(), 5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(intl_iocsfwrite(nullptr, 1, 3, w), -1);
    EXPECT_EQ(intl_iocsfwrite(nullptr, 1, 0, w), 0) << "nothing to write needs no buffer";
    EXPECT_EQ(intl_iocsfclose(w), 0);
    EXPECT_EQ(TempDir::read(path), "kept");
}

TEST(StreamNull, NullStreamIsAFailureNotACrash) {
    char buf[4];
    EXPECT_EQ(intl_iocsfread(buf, 1, 1, nullptr), 0);
    EXPECT_EQ(intl_iocsfgets(buf, 4, nullptr), nullptr);
    EXPECT_EQ(intl_iocsfwrite(buf, 1, 1, nullptr), -1);
    EXPECT_EQ(intl_iocsfseek(nullptr, 0, SEEK_SET), -1);
    EXPECT_EQ(intl_iocsfclose(nullptr), -1);
}

} // namespace
