// Character-set translation: compiled-file loading, the engine against a
// straightforward reference (on tables built by hand, loaded from files,
// and copied out of a load and changed), the dump.
#include <intl.h>

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Lists = std::map<int, std::vector<INTL_MAP>>;

constexpr unsigned char guard = 0xEE; // never produced by the tables below

INTL_MAP make_map(const Bytes &rest, const Bytes &dest) {
    INTL_MAP m{};
    m.src_left = static_cast<INTL_INT>(rest.size());
    m.dest_chars = static_cast<INTL_INT>(dest.size());
    std::copy_n(rest.begin(), std::min<std::size_t>(rest.size(), 7), m.src_pattern);
    std::copy_n(dest.begin(), std::min<std::size_t>(dest.size(), 8), m.dest_pattern);
    return m;
}

// A table built by hand, lists sorted, each in a heap block of its size (a
// read past a list shows under ASan); empty lists' pointers hold garbage.
class Table {
  public:
    Table &add(unsigned char first, const Bytes &rest, const Bytes &dest) {
        return add(first, make_map(rest, dest));
    }
    Table &add(unsigned char first, const INTL_MAP &m) {
        lists_[first].push_back(m);
        return *this;
    }
    INTL_XLATE *get() {
        std::memset(&table_, 0xA5, sizeof table_);
        for (auto &[b, list] : lists_) {
            std::qsort(list.data(), list.size(), sizeof(INTL_MAP), intl_mapcompare);
            records_[b] = std::make_unique<INTL_MAP[]>(list.size());
            std::copy(list.begin(), list.end(), records_[b].get());
        }
        for (int b = 0; b < 256; ++b)
            table_.xlist[b] = {records_.count(b) ? static_cast<INTL_INT>(lists_[b].size()) : 0,
                               records_.count(b) ? records_[b].get() : table_.xlist[b].list};
        return &table_;
    }
    const Lists &lists() const { return lists_; }

  private:
    INTL_XLATE table_;
    Lists lists_;
    std::map<int, std::unique_ptr<INTL_MAP[]>> records_;
};

struct Outcome {
    INTL_INT result = 0, used = 0, status = 0;
    Bytes dest; // the whole destination, guard bytes where nothing was written
    bool operator==(const Outcome &) const = default;
};

// Calls intl_xlate with a source in a block of exactly its size and a
// destination of `room` guard bytes (or none), at least `destlen` of them.
Outcome translate(const INTL_XLATE *t, const Bytes &src, INTL_INT srclen, INTL_INT destlen,
                  INTL_INT srcend, bool with_dest = true, std::size_t room = 24) {
    auto source = std::make_unique<unsigned char[]>(std::max<std::size_t>(src.size(), 1));
    std::copy(src.begin(), src.end(), source.get());
    Outcome r;
    r.dest.assign(with_dest ? room : 0, guard);
    r.result = intl_xlate(source.get(), srclen, with_dest ? r.dest.data() : nullptr, destlen, t,
                          &r.used, srcend, &r.status);
    // Past the output and within the limit the engine may leave scratch.
    const auto scratch = [&](INTL_INT n) {
        return r.dest.begin() + std::clamp(n, 0, INTL_INT(room));
    };
    if (with_dest && destlen >= 0)
        std::fill(scratch(r.result), scratch(destlen), guard);
    return r;
}

// The bytes written at the start of a destination, guard bytes dropped.
Bytes written(Bytes out) {
    out.erase(std::find_if(out.rbegin(), out.rend(), [](auto c) { return c != guard; }).base(),
              out.end());
    return out;
}

// The table-building operations: lists by the byte's low eight bits, counts
// that never wrap, copies that fill only their fields or refuse untouched, the
// sort order (longer sources first, then unsigned bytes), and the comparisons.
TEST(TableBuilding, ListsCountsCopiesOrderAndComparisons) {
    INTL_XLATE t;
    for (const auto &[byte, list] : {std::pair{65, 65}, {321, 65}, {256, 0}, {-1, 255}})
        EXPECT_EQ(intl_getxlist(&t, byte), &t.xlist[list]) << byte;
    EXPECT_EQ(intl_getxlist(nullptr, 65), nullptr);
    INTL_XLIST list{INT32_MAX - 1, nullptr};
    intl_inclistsize(&list);
    intl_inclistsize(&list);
    intl_inclistsize(nullptr);
    EXPECT_EQ(intl_getlistsize(&list), INT32_MAX);
    EXPECT_EQ(intl_getlistsize(nullptr), -1);
    using Op = INTL_INT (*)(INTL_MAP *, const char *);
    const struct {
        Op op;
        const char *value;
        INTL_INT result, src_left, dest_chars;
        std::string src, dest; // the first 7 and dest.size() bytes after the call
    } copies[] = {
        {intl_map_cpsrc, "A", 0, 0, 2, "rrrrrrr", "dd"},
        {intl_map_cpsrc, "ABCDEFGH", 0, 7, 2, "BCDEFGH", "dd"},
        {intl_map_cpsrc, "", 0, -1, 2, "rrrrrrr", "dd"},
        {intl_map_cpsrc, "ABCDEFGHI", -2, 3, 2, "rrrrrrr", "dd"},
        {intl_map_cpdest_mapping, "12345678", 0, 3, 8, "rrrrrrr", "12345678"},
        {intl_map_cpdest_mapping, "", 0, 3, 0, "rrrrrrr", "dd"},
        {intl_map_cpdest_mapping, "123456789", -2, 3, 2, "rrrrrrr", "dd"},
        {intl_map_cpdest_range, "xy", 0, 0, 2, "rrrrrrr", "xy"},
        {intl_map_cpdest_range, "123456789", -2, 3, 2, "rrrrrrr", "dd"},
    };
    for (const auto &row : copies) {
        INTL_MAP m = make_map({'r', 'r', 'r', 'r', 'r', 'r', 'r'}, {'d', 'd'});
        m.src_left = 3;
        EXPECT_EQ(row.op(&m, row.value), row.result) << row.value;
        EXPECT_EQ(
            std::tuple(m.src_left, m.dest_chars,
                       std::string(reinterpret_cast<char *>(m.src_pattern), 7),
                       std::string(reinterpret_cast<char *>(m.dest_pattern), row.dest.size())),
            std::tuple(row.src_left, row.dest_chars, row.src, row.dest))
            << row.value;
        EXPECT_EQ(row.op(nullptr, row.value) + row.op(&m, nullptr), -2);
    }
    const struct {
        INTL_MAP a, b;
        int sign;
    } orders[] = {
        {make_map({1, 1}, {}), make_map({0xFF}, {}), -1},
        {make_map({0x80}, {}), make_map({0x7F}, {}), 1},
        {make_map({0x41}, {'x'}), make_map({0x41}, {'y'}), 0},
        {make_map({0x00, 0x05}, {}), make_map({0x00, 0x03}, {}), 1}, // zero bytes do not end it
    };
    for (const auto &row : orders) {
        const int got = intl_mapcompare(&row.a, &row.b);
        EXPECT_EQ((got > 0) - (got < 0), row.sign);
    }
    const auto *ab = reinterpret_cast<const unsigned char *>("AB");
    const auto *ac = reinterpret_cast<const unsigned char *>("AC");
    const unsigned char hi[] = {0xE0, 0}, lo[] = {0x41, 0};
    EXPECT_EQ(std::tuple(intl_memcmp(ab, ac, 2), intl_memcmp(ac, ab, 2), intl_memcmp(ab, ac, 1),
                         intl_memcmp(ab, ac, -5), intl_memcmp(hi, lo, 1)),
              std::tuple(-1, 1, 0, 0, 1));
    EXPECT_EQ(std::tuple(intl_memhilo(ab, 2, ab, 1), intl_memhilo(ab, 1, ab, 2),
                         intl_memhilo(ab, 2, ab, 2), intl_memhilo(ab, 2, ac, 1),
                         intl_memhilo(ab, 2, ac, 2)),
              std::tuple(1, -1, 0, 1, -1));
    EXPECT_EQ(std::tuple(intl_strcmp(ab, ab), intl_strcmp(hi, lo),
                         intl_strcmp(reinterpret_cast<const unsigned char *>("A"), ab)),
              std::tuple(0, 159, -'B'));
}

// The list of 0x41: P (0x41 0x42 -> x), Q (0x41 -> y); no table: string copies.
TEST(Engine, LongestMatchStatusesLimitsTerminatorsAndPlainCopy) {
    const Bytes five = {'a', 'b', 'c', 'd', 'e', 0};
    const struct {
        bool table;
        Bytes src;
        INTL_INT srclen, destlen, srcend;
        Bytes out;
        INTL_INT result, used, status;
    } rows[] = {
        {1, {0x41, 0x42, 0x41, 0x43}, 4, -1, 1, {'x', 'y', 0x43, 0}, 3, 4, 0},
        {1, {0x41}, 1, -1, 0, {}, 0, 0, 2},
        {1, {0x41}, 1, -1, 1, {'y', 0}, 1, 1, 0},
        {1, {0x41, 0x42, 0x41}, 3, -1, 0, {'x'}, 1, 2, 2},
        {1, {0x41, 0x43}, 2, -1, 0, {'y', 0x43, 0}, 2, 2, 0},
        {1, {0x41, 0x42}, 2, 0, 1, {}, 0, 0, 1},
        {1, {0x43, 0x41, 0x42}, 3, 5, 1, {0x43, 'x'}, 2, 3, 0},
        {1, {0x00, 0x41}, 2, -1, 1, {0x00, 'y', 0x00}, 2, 2, 0},
        {1, {}, 0, -1, 1, {0}, 0, 0, 0},
        {1, {0x41, 0x42, 0x00, 0x41}, -1, -1, 1, {'x', 0}, 1, 2, 0},
        {1, {0x41, 0x42}, -2, -1, 1, {0}, 0, 0, 0},
        {1, {0x41, 0x42}, 2, INT32_MIN, 1, {}, 0, 0, 0},
        {0, five, -7, -3, 0, {'a', 'b', 'c', 'd', 'e', 0}, 5, 5, 0},
        {0, {'a', 0, 'c'}, 3, -1, 0, {'a', 0, 0, 0}, 3, 3, 0},
        {0, five, 5, 3, 0, {'a', 'b', 'c'}, 3, 3, 1},
        {0, five, -1, 3, 0, {'a', 'b', 'c'}, 3, 3, 1},
        {0, five, -1, 8, 0, {'a', 'b', 'c', 'd', 'e', 0, 0, 0}, 8, 5, 0},
    };
    Table pq;
    const INTL_XLATE *t = pq.add(0x41, {0x42}, {'x'}).add(0x41, {}, {'y'}).get();
    for (const auto &row : rows) {
        const INTL_XLATE *x = row.table ? t : nullptr;
        const Outcome r = translate(x, row.src, row.srclen, row.destlen, row.srcend);
        EXPECT_EQ(std::tuple(written(r.dest), r.result, r.used, r.status),
                  std::tuple(row.out, row.result, row.used, row.status))
            << "srclen " << row.srclen << " destlen " << row.destlen << " srcend " << row.srcend;
        // Counting without a destination: with a table as if there were no
        // limit; without, nothing is consumed unless a limit applies.
        Outcome count = row.table ? translate(x, row.src, row.srclen, -1, row.srcend) : r;
        count.dest.clear();
        count.used = row.table || (row.srclen >= 0 && row.destlen >= 0) ? count.used : 0;
        EXPECT_EQ(translate(x, row.src, row.srclen, row.destlen, row.srcend, false), count);
    }
}

// A block of the compiled format for a table's lists, by the shared
// encoder; lengths that no file may hold are written into the records after.
std::string block(std::int32_t tabcode, const Lists &lists,
                  std::map<int, std::int32_t> counts = {}) {
    XltBlock xlt{tabcode, {}, std::move(counts)};
    for (const auto &[first, maps] : lists)
        for (const INTL_MAP &m : maps)
            xlt.lists[first].push_back({std::string(reinterpret_cast<const char *>(m.src_pattern),
                                                    std::clamp(m.src_left, 0, 7)),
                                        std::string(reinterpret_cast<const char *>(m.dest_pattern),
                                                    std::clamp(m.dest_chars, 0, 8))});
    std::string out = xlt_block(xlt);
    std::size_t at = 4 + 2048;
    for (const auto &[first, maps] : lists)
        for (const INTL_MAP &m : maps)
            out.replace(std::exchange(at, at + 24), 8,
                        le32(std::uint32_t(m.src_left)) + le32(std::uint32_t(m.dest_chars)));
    return out;
}

const std::string version = le32(420);

class CompiledFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(intl_sethome(home_.path().c_str()), INTL_OK); }
    void TearDown() override { intl_sethome(nullptr); }
    void put(const std::string &bytes) { home_.write("charsets/cs/t.xlt", bytes); }

    // Loads into a buffer of the size intl_xlatesize gives, followed by
    // guard bytes; fails the test if anything is written past that size.
    INTL_INT load() {
        const auto size = static_cast<std::size_t>(std::max(intl_xlatesize("cs", "t.xlt"), 0));
        buf_.assign(size + 64, guard);
        tosrv_ = todisp_ = reinterpret_cast<INTL_XLATE *>(this); // must be overwritten
        const INTL_INT rc = intl_load_xlate(buf_.data(), "cs", "t.xlt", &tosrv_, &todisp_);
        EXPECT_EQ(std::count(buf_.begin() + std::ptrdiff_t(size), buf_.end(), guard), 64)
            << "written past " << size;
        return rc;
    }
    std::ptrdiff_t at(const INTL_XLATE *t) {
        return t ? reinterpret_cast<const unsigned char *>(t) - buf_.data() : -1;
    }

    TempDir home_;
    std::vector<unsigned char> buf_; // from operator new: aligned for pointers
    INTL_XLATE *tosrv_ = nullptr, *todisp_ = nullptr;
};

TEST_F(CompiledFile, SizesLayoutsAndBlocksOfEachKind) {
    const Lists one = {{0x41, {make_map({0x42}, {'x', 'y'})}}}; // A B -> xy
    const bool image = sizeof(void *) == 4;                     // else indexed, 6176 bytes
    const std::size_t table = sizeof(INTL_XLATE) + (image ? 0 : 6176);
    const auto second = static_cast<std::ptrdiff_t>(table + 24 + (image ? 0 : 8));
    const struct {
        std::vector<INTL_INT> tabcodes;
        std::ptrdiff_t tosrv, todisp; // offsets, -1 for null
        std::string stray;
    } rows[] = {
        {{}, -1, -1, ""},         {{1}, -1, 0, "\x01"},       {{0}, 0, -1, "\x01\x00\x00"},
        {{7}, 0, -1, ""},         {{1, 0}, second, 0, ""},    {{0, 0}, second, -1, ""},
        {{1, 1}, -1, second, ""}, {{0, 1, 1}, 0, second, ""},
    };
    for (const auto &row : rows) {
        std::string file = version;
        for (INTL_INT tabcode : row.tabcodes)
            file += block(tabcode, one);
        put(file + row.stray);
        const auto blocks = static_cast<INTL_INT>(std::min<std::size_t>(row.tabcodes.size(), 2));
        const auto f = static_cast<INTL_INT>(file.size() + row.stray.size());
        EXPECT_EQ(intl_xlatesize("cs", "t.xlt"),
                  image ? f - 8 : f - 8 + blocks * 8232 + 24 * (f / 24));
        ASSERT_EQ(load(), INTL_OK);
        EXPECT_EQ(std::pair(at(tosrv_), at(todisp_)), std::pair(row.tosrv, row.todisp));
        const INTL_XLATE *t = tosrv_ ? tosrv_ : todisp_;
        if (t == nullptr)
            continue;
        EXPECT_EQ(at(t) + std::ptrdiff_t(table),
                  at(reinterpret_cast<INTL_XLATE *>(t->xlist[0x41].list)));
        EXPECT_EQ(std::memcmp(t->xlist[0x41].list, one.at(0x41).data(), 23), 0);
        EXPECT_TRUE(!image || row.tabcodes.size() > 1 || // the file's image but for a pointer
                    (!std::memcmp(buf_.data(), &file[8], 0x41 * 8 + 4) &&
                     !std::memcmp(&buf_[0x42 * 8], &file[0x42 * 8 + 8], 2072 - 0x42 * 8)));
    }
}

TEST_F(CompiledFile, FailuresInOrderWithoutWritingBeyondTheSize) {
    const Lists two = {{0x41, {make_map({}, {'a'}), make_map({}, {'b'})}}};
    const std::string good = version + block(0, two);
    for (const std::string &file :
         {std::string(), std::string("\x01\x02\x03"), version + le32(0) + std::string(2047, 0),
          good.substr(0, good.size() - 1), version + block(0, two, {{0x41, 0x10000000}}),
          version + block(0, two, {{0x41, INT32_MAX}}), version + block(0, two, {{0x41, 1000}})}) {
        put(file);
        EXPECT_EQ(load(), INTL_E_READ) << file.size();
    }
    INTL_XLATE *a, *b;
    std::uint64_t buf[4];
    EXPECT_EQ(std::tuple(intl_load_xlate(buf, "cs", "none", &a, &b), intl_xlatesize("cs", "none"),
                         intl_load_xlate(nullptr, nullptr, nullptr, nullptr, nullptr),
                         intl_load_xlate(buf, nullptr, nullptr, nullptr, nullptr),
                         intl_load_xlate(buf, "cs", nullptr, nullptr, nullptr),
                         intl_load_xlate(buf, "cs", "t", nullptr, &b),
                         intl_xlatesize("cs", nullptr),
                         intl_load_xlate(buf, std::string(512, 'c').c_str(), "t", &a, &b)),
              std::tuple(INTL_E_OPEN, INTL_E_STAT, INTL_E_NULLBUF, INTL_E_NOCHARSET,
                         INTL_E_NOXLTNAME, INTL_E_NOXLTTABLE, INTL_E_NOXLTNAME, INTL_E_PATHLONG));
    put(""); // a file too big for the result: the size comes from the file system
    std::filesystem::resize_file(home_.path() / "charsets/cs/t.xlt", std::uintmax_t{1} << 33);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"), INTL_E_OVERFLOW);
}

// Regenerating a table renames a new file over the old one, so a file can
// outgrow the size a caller took for it before the load. The sized load
// refuses such a file before writing anything, and whatever it is told,
// writes nothing past the size it was given.
TEST_F(CompiledFile, SizedLoadRefusesAFileThatOutgrewItsBuffer) {
    Lists large;
    for (int first = 0x20; first < 0x80; ++first)
        large[first] = {make_map({0x42}, {'x', 'y'}), make_map({}, {'z'})};
    put(version + block(0, {{0x41, {make_map({}, {'a'})}}}));
    const INTL_INT sized = intl_xlatesize("cs", "t.xlt");
    home_.write("charsets/cs/t.new", version + block(0, large) + block(1, large));
    std::filesystem::rename(home_.path() / "charsets/cs/t.new", home_.path() / "charsets/cs/t.xlt");
    const INTL_INT needed = intl_xlatesize("cs", "t.xlt");
    const struct {
        INTL_INT bufsize, rc;
    } rows[] = {{sized, INTL_E_XLTBUFSMALL},
                {needed - 1, INTL_E_XLTBUFSMALL},
                {needed, INTL_OK},
                {-1, INTL_E_BUFLEN}};
    for (const auto &row : rows) {
        const auto size = static_cast<std::size_t>(std::max(row.bufsize, 0));
        buf_.assign(size + 64, guard);
        const INTL_INT rc =
            intl_load_xlate_sized(buf_.data(), row.bufsize, "cs", "t.xlt", &tosrv_, &todisp_);
        EXPECT_EQ(rc, row.rc) << row.bufsize;
        const std::size_t untouched = rc == INTL_OK ? 64 : buf_.size();
        EXPECT_EQ(std::count(buf_.end() - std::ptrdiff_t(untouched), buf_.end(), guard),
                  std::ptrdiff_t(untouched))
            << row.bufsize;
        EXPECT_TRUE(rc != INTL_OK || (tosrv_->xlist[0x7F].listsize == 2 && todisp_ != nullptr));
    }
    EXPECT_EQ(intl_load_xlate_sized(nullptr, -1, "cs", "t.xlt", &tosrv_, &todisp_), INTL_E_NULLBUF);
}

// A charset or file name that is empty or has a ".." component is refused
// before the file system is asked, whatever it would reach; a path to
// anything but a regular file is refused by every call alike (a FIFO is
// never opened, so no load waits for a writer).
TEST_F(CompiledFile, NamesStayInsideCharsetsAndNameRegularFiles) {
    const std::string table = version + block(0, {{0x41, {make_map({}, {'a'})}}});
    for (const char *file : {"charsets/cs/t", "charsets/cs/sub/t", "charsets/cs/..t",
                             "charsets/cs/t..", "charsets/x", "x"})
        home_.write(file, table);
    std::filesystem::create_directories(home_.path() / "charsets/cs/dir");
    ASSERT_EQ(::mkfifo((home_.path() / "charsets/cs/fifo").c_str(), 0600), 0);
    constexpr INTL_INT bad = INTL_E_XLTBADNAME, notfile = INTL_E_XLTNOTFILE;
    const struct {
        const char *charset, *name;
        INTL_INT size, load; // INTL_OK for a size above 0
    } rows[] = {
        {"cs", "t", INTL_OK, INTL_OK},
        {"cs", "sub/t", INTL_OK, INTL_OK},
        {"cs", "..t", INTL_OK, INTL_OK},
        {"cs", "t..", INTL_OK, INTL_OK},
        {"cs", "./t", INTL_OK, INTL_OK},
        {"..", "x", bad, bad},
        {"..", "charsets/cs/t", bad, bad},
        {"cs", "../x", bad, bad},
        {"cs/..", "x", bad, bad},
        {"cs", "sub/../t", bad, bad},
        {"", "x", bad, bad},
        {"cs", "", bad, bad},
        {"cs", "..", bad, bad},
        {"cs", "sub/..", bad, bad},
        {"cs", "dir", notfile, notfile},
        {"cs", "sub", notfile, notfile},
        {"cs", "fifo", notfile, notfile},
        {"cs", "none", INTL_E_STAT, INTL_E_OPEN},
    };
    std::vector<std::uint64_t> buf(4096);
    const auto bufsize = static_cast<INTL_INT>(buf.size() * sizeof buf[0]);
    for (const auto &row : rows) {
        const INTL_INT size = intl_xlatesize(row.charset, row.name);
        EXPECT_EQ(size > 0 ? INTL_OK : size, row.size) << row.charset << " " << row.name;
        EXPECT_EQ(intl_load_xlate(buf.data(), row.charset, row.name, &tosrv_, &todisp_), row.load)
            << row.charset << " " << row.name;
        EXPECT_EQ(
            intl_load_xlate_sized(buf.data(), bufsize, row.charset, row.name, &tosrv_, &todisp_),
            row.load)
            << row.charset << " " << row.name;
    }
}

// The engine's matching loop written out step by step.

Outcome reference(const INTL_XLATE &t, const Bytes &src, INTL_INT destlen, INTL_INT srcend,
                  bool with_dest, std::size_t room) {
    Outcome r{0, 0, 0, Bytes(with_dest ? room : 0, guard)};
    const auto srclen = static_cast<INTL_INT>(src.size());
    destlen = with_dest ? destlen : -1;
    INTL_INT &used = r.used, &produced = r.result;
    while (used < srclen && (destlen == -1 || produced <= destlen)) {
        const INTL_INT srcleft = srclen - used;
        const INTL_XLIST &list = t.xlist[src[used]];
        const INTL_MAP *match = nullptr;
        INTL_INT skip_length = -1;
        for (INTL_INT i = 0; list.list && i < list.listsize && match == nullptr; ++i) {
            const INTL_MAP &m = list.list[i];
            if (m.src_left < 0 || m.src_left > 7 || m.dest_chars < 0 || m.dest_chars > 8 ||
                m.src_left == skip_length || (m.src_left >= srcleft && srcend))
                continue;
            if (m.src_left >= srcleft &&
                std::memcmp(src.data() + used + 1, m.src_pattern, srcleft - 1) == 0)
                return r.status = 2, r;
            INTL_INT k = 0;
            while (k < std::min(m.src_left, srcleft - 1) && src[used + 1 + k] == m.src_pattern[k])
                ++k;
            if (k == m.src_left)
                match = &m;
            else if (m.src_pattern[k] > src[used + 1 + k])
                skip_length = m.src_left;
        }
        const unsigned char *from = match ? match->dest_pattern : &src[used];
        const Bytes out(from, from + (match ? match->dest_chars : 1));
        if (with_dest && destlen >= 0 && produced + static_cast<INTL_INT>(out.size()) > destlen)
            return r.status = 1, r;
        if (with_dest)
            std::copy(out.begin(), out.end(), r.dest.begin() + produced);
        used += match ? 1 + match->src_left : 1;
        produced += static_cast<INTL_INT>(out.size());
    }
    if (destlen == -1 && with_dest)
        r.dest[static_cast<std::size_t>(produced)] = 0;
    return r;
}

class RandomTables {
  public:
    explicit RandomTables(std::uint32_t seed) : rng_(seed) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // Lists of every shape: mixed lengths, single bytes, runs of one length
    // (now and then with one other, often a single byte after them) with
    // gaps, repeats and corrupt records.
    // Bytes come from a few values (many equal sequences) or all 256. One
    // table in four maps single bytes only, to outputs of up to 4 bytes,
    // ASCII included or left alone, now and then with a longer output.
    void fill(Table &t) {
        narrow_ = below(2) == 0;
        firsts_ = {0x00, 0x41, 0x80, 0xFF};
        if ((single_bytes_ = below(4) == 0)) {
            for (int b = below(2) ? 0 : 0x80; b < 256; ++b)
                t.add(static_cast<unsigned char>(b),
                      odd(make_map(bytes(0), bytes(below(5), true))));
            if (below(4) == 0)
                t.add(static_cast<unsigned char>(0x80 + below(128)), bytes(0),
                      bytes(5 + below(4), true));
            return;
        }
        for (int i = below(6); i > 0; --i)
            firsts_.push_back(byte(true));
        for (unsigned char first : firsts_) {
            const int shape = below(5), some = below(below(8) == 0 ? 400 : 40);
            for (int i = shape == 0 ? some : shape == 1 ? 1 + below(3) : shape == 3; i > 0; --i)
                t.add(first, odd(make_map(bytes(shape == 1 || (shape == 3 && below(2)) ? 0
                                                : below(4)                             ? below(3)
                                                                                       : below(8)),
                                          dest())));
            Bytes key = bytes(shape < 2 ? 0 : shape == 4 ? 1 : 1 + below(3), true);
            const bool double_byte = below(3) == 0; // outputs as a double-byte set's
            for (int i = shape < 2 ? 0 : below(300) + 1; i > 0; --i) {
                t.add(first, odd(make_map(key, double_byte ? code() : dest())));
                for (int step = below(15) ? below(10) ? 1 : below(3) + 2 : 0; step > 0; --step)
                    for (auto b = key.rbegin(); b != key.rend() && ++*b == 0; ++b) {
                    }
            }
        }
    }

    // A source mostly made of the table's own sequences and near misses.
    Bytes input(const INTL_XLATE &t, std::size_t at_least) {
        Bytes src;
        for (int pieces = below(12); pieces > 0 || src.size() < at_least; --pieces) {
            for (int ascii = single_bytes_ && below(2) ? 8 + below(12) : 0; ascii > 0; --ascii)
                src.push_back(static_cast<unsigned char>(0x20 + below(0x5F)));
            src.push_back(below(4) == 0 ? byte(false) : firsts_[below(int(firsts_.size()))]);
            const INTL_XLIST &list = t.xlist[src.back()];
            if (list.list && list.listsize > 0 && below(4) != 0) {
                const INTL_MAP &m = list.list[below(list.listsize)];
                src.insert(src.end(), m.src_pattern, m.src_pattern + std::clamp(m.src_left, 0, 7));
                src.back() += m.src_left > 0 && below(3) == 0 ? below(3) - 1 : 0;
            }
        }
        if (!src.empty() && at_least == 0 && below(2) == 0)
            src.resize(static_cast<std::size_t>(below(static_cast<int>(src.size())) + 1));
        return src;
    }

  private:
    unsigned char byte(bool any) {
        return narrow_ && !any ? std::array<unsigned char, 5>{0, 1, 0x41, 0x7F, 0x80}[below(5)]
                               : static_cast<unsigned char>(below(256));
    }
    Bytes bytes(int n, bool any = false) {
        Bytes r(static_cast<std::size_t>(n));
        for (auto &b : r)
            b = byte(any);
        return r;
    }
    Bytes dest() { return bytes(below(4) == 0 ? below(9) : 1 + below(3), true); }
    Bytes code() { // now and then one no double-byte set has
        Bytes b = below(50) == 0 ? Bytes{0xFF, 0xFF} : bytes(1 + below(2), true);
        b.back() |= b.size() == 2 && below(50) != 0 ? 0x40 : 0;
        return b;
    }
    INTL_MAP odd(INTL_MAP m) { // sometimes a length no file may hold
        m.src_left = below(40) ? m.src_left : std::array{-1, -2, 8, 100}[below(4)];
        m.dest_chars = below(40) ? m.dest_chars : std::array{-1, 9, 1000}[below(3)];
        return m;
    }

    std::mt19937 rng_;
    bool narrow_ = false, single_bytes_ = false;
    std::vector<unsigned char> firsts_;
};

// How many random tables a test tries: a fifth under Valgrind (the memcheck
// preset sets INTL_TEST_FEWER_TABLES), which looks for bad uses of memory,
// where the other presets check every answer of all of them.
int random_tables(int all) {
    return std::getenv("INTL_TEST_FEWER_TABLES") != nullptr ? all / 5 : all;
}

// Each table as built by hand, as loaded (indexed where pointers are 8
// bytes), and as a copy of the loaded INTL_XLATE with lists changed.
TEST_F(CompiledFile, EngineAgreesWithTheStraightforwardLoop) {
    RandomTables random(20240611u);
    int runs = 0, matched = 0;
    const auto agree = [&](const INTL_XLATE &t, const char *kind, int table) {
        for (int n = 0; n < 12; ++n) {
            const Bytes src = random.input(t, n == 11 ? 600 : 0);
            const INTL_INT destlen =
                random.below(3) == 0 ? -1 : random.below(n == 11 ? 4 * int(src.size()) : 40);
            const INTL_INT srcend = random.below(2), with_dest = random.below(5) != 0;
            const std::size_t room = 8 * src.size() + 2 + std::size_t(std::max(destlen, 0));
            const Outcome want = reference(t, src, destlen, srcend, with_dest, room);
            ASSERT_EQ(translate(&t, src, INTL_INT(src.size()), destlen, srcend, with_dest, room),
                      want)
                << kind << " table " << table << " input " << n;
            ++runs;
            matched += want.result != want.used;
        }
    };
    for (int table = 0; table < random_tables(1000) && !HasFatalFailure(); ++table) {
        Table t;
        random.fill(t);
        agree(*t.get(), "hand-built", table);
        put(version + block(table % 2, t.lists()) + block(1 - table % 2, t.lists()));
        ASSERT_EQ(load(), INTL_OK);
        agree(*tosrv_, "loaded", table);
        INTL_XLATE changed = *todisp_;
        const int first = std::array{0x00, 0x41, 0x80, 0xFF}[random.below(4)],
                  other = random.below(256);
        changed.xlist[first] = random.below(2) ? changed.xlist[other] : INTL_XLIST{0, nullptr};
        changed.xlist[other].listsize = std::min(changed.xlist[other].listsize, random.below(5));
        changed.xlist[random.below(256)] = {random.below(3), nullptr};
        if (random.below(16) == 0)
            changed = INTL_XLATE{}; // nothing but copies
        agree(changed, "changed", table);
    }
    EXPECT_GT(matched, runs / 4) << "the inputs must exercise the mappings";
}

// Lists out of the compiler's order (a corrupt or hand-made file): whatever
// mapping the search then picks, the loaded table answers as a copy of it
// (never indexed) does, however much room and source each position has.
TEST_F(CompiledFile, LoadedListsOutOfOrderAnswerAsTheirCopy) {
    RandomTables random(20261207u);
    for (int table = 0; table < random_tables(300) && !HasFatalFailure(); ++table) {
        Table t;
        random.fill(t);
        Lists lists = t.lists();
        for (auto &[first, list] : lists)
            std::shuffle(list.begin(), list.end(), std::mt19937(first + table));
        put(version + block(0, lists));
        ASSERT_EQ(load(), INTL_OK);
        const INTL_XLATE copy = *tosrv_;
        for (int n = 0; n < 8; ++n) {
            const Bytes src = random.input(copy, n == 7 ? 300 : 0);
            const INTL_INT destlen = random.below(2) ? -1 : random.below(4 * int(src.size()) + 1);
            const std::size_t room = 8 * src.size() + 2 + std::size_t(std::max(destlen, 0));
            const auto call = [&](const INTL_XLATE *x) {
                return translate(x, src, INTL_INT(src.size()), destlen, 1, true, room);
            };
            ASSERT_EQ(call(tosrv_), call(&copy)) << "table " << table << " input " << n;
        }
    }
}

// A loaded table that its caller changes in place (which the header forbids
// but the building operations allow) translates each character as the
// loaded table or the changed one would, and nothing is read or written
// outside the buffers: outputs of 5 bytes and a last list elsewhere keep it
// indexed.
TEST_F(CompiledFile, LoadedTableChangedInPlaceStaysInsideItsBuffers) {
    const Bytes five = {'1', '2', '3', '4', '5'}, other = {'x', 'y', 'z', 'w', 'v'};
    const Lists lists = {{0x41, {make_map({'B'}, five), make_map({'C'}, other)}},
                         {0x7A, {make_map({}, {'.'})}}};
    const INTL_MAP mine = make_map({'C'}, {'!'});
    const struct {
        const char *change;
        void (*apply)(INTL_XLATE &, const INTL_MAP *);
    } rows[] = {
        {"list 0x41 replaced by one record",
         [](INTL_XLATE &t, const INTL_MAP *m) {
             t.xlist[0x41] = {1, const_cast<INTL_MAP *>(m)};
         }},
        {"output lengths out of range",
         [](INTL_XLATE &t, const INTL_MAP *) {
             t.xlist[0x41].list[1].dest_chars = 1000;
             t.xlist[0x41].list[0].dest_chars = -5;
         }},
        {"lengths in range, list emptied",
         [](INTL_XLATE &t, const INTL_MAP *) {
             t.xlist[0x41].list[1].dest_chars = 8;
             t.xlist[0x41].listsize = 0;
         }},
    };
    const Bytes pieces[] = {{'A', 'C'}, {'A', 'B'}, {'z', 'A', 'C'}};
    put(version + block(0, lists));
    for (const auto &row : rows) {
        ASSERT_EQ(load(), INTL_OK);
        const auto own = std::make_unique<INTL_MAP[]>(1);
        own[0] = mine;
        std::vector<Bytes> loaded, source = {{}};
        for (const Bytes &piece : pieces)
            loaded.push_back(
                written(translate(tosrv_, piece, INTL_INT(piece.size()), -1, 1, true, 12).dest));
        row.apply(*tosrv_, own.get());
        std::vector<Bytes> allowed = {{}}; // each piece as loaded or as changed
        for (std::size_t i = 0; i < std::size(pieces); ++i) {
            Bytes now = written(reference(*tosrv_, pieces[i], -1, 1, true, 12).dest);
            now.pop_back(), loaded[i].pop_back(); // the terminators
            std::vector<Bytes> longer;
            for (const Bytes &a : allowed)
                for (const Bytes *b : {&loaded[i], &now}) {
                    longer.push_back(a);
                    longer.back().insert(longer.back().end(), b->begin(), b->end());
                }
            allowed = longer;
            source[0].insert(source[0].end(), pieces[i].begin(), pieces[i].end());
        }
        const auto srclen = static_cast<INTL_INT>(source[0].size());
        const Outcome after = translate(tosrv_, source[0], srclen, 40, 1, true, 40);
        EXPECT_EQ(std::tuple(after.used, after.status), std::tuple(srclen, 0)) << row.change;
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), written(after.dest)), allowed.end())
            << row.change;
    }
}

// What the tool's tests leave out: patterns printed at most whole, lists
// counted up before their records are attached skipped.
TEST(Dump, PrintsAtMostThePatternsOfEachMapping) {
    INTL_MAP corrupt;
    std::memset(&corrupt, 0x31, sizeof corrupt);
    corrupt.src_left = 50, corrupt.dest_chars = 60;
    Table t;
    INTL_XLATE *x = t.add(0x7F, {0x7E, 0x00}, {0xFF, 0x10}).add(0x30, corrupt).get();
    x->xlist[0x31] = {2, nullptr};
    ::testing::internal::CaptureStdout();
    intl__print_xlate(x);
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Source string: 01111111\nDest string: 11111111\n"
              "Source string: 7f~0\nDest string: ff10\n");
}

} // namespace
