// Character-set translation: table building, compiled-file loading, the
// engine against a straightforward reference (on tables built by hand,
// loaded from files, and copied out of a load and changed), byte
// comparisons, the dump.
#include <intl.h>

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <sys/mman.h>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Lists = std::map<int, std::vector<INTL_MAP>>;

constexpr unsigned char guard = 0xEE; // never produced by the tables below

INTL_MAP make_map(const Bytes &rest, const Bytes &dest) {
    INTL_MAP m;
    std::memset(&m, 0, sizeof m);
    m.src_left = static_cast<INTL_INT>(rest.size());
    m.dest_chars = static_cast<INTL_INT>(dest.size());
    std::copy_n(rest.begin(), std::min<std::size_t>(rest.size(), 7), m.src_pattern);
    std::copy_n(dest.begin(), std::min<std::size_t>(dest.size(), 8), m.dest_pattern);
    return m;
}

// A mapping with lengths outside what any file may hold.
INTL_MAP corrupt_map(INTL_INT src_left, INTL_INT dest_chars, unsigned char fill) {
    INTL_MAP m;
    std::memset(&m, fill, sizeof m);
    m.src_left = src_left;
    m.dest_chars = dest_chars;
    return m;
}

// A table built by hand. Each list's records live in a heap block of
// exactly their size, so that a read past a list shows under ASan; the
// list pointers of empty lists hold garbage that must never be followed.
class Table {
  public:
    Table &add(unsigned char first, const Bytes &rest, const Bytes &dest) {
        return add(first, make_map(rest, dest));
    }
    Table &add(unsigned char first, const INTL_MAP &m) {
        lists_[first].push_back(m);
        return *this;
    }
    // The table with every list sorted by intl_mapcompare.
    const INTL_XLATE *get() {
        std::memset(&table_, 0xA5, sizeof table_);
        for (int b = 0; b < 256; ++b) {
            auto &list = lists_[b];
            std::qsort(list.data(), list.size(), sizeof(INTL_MAP), intl_mapcompare);
            table_.xlist[b].listsize = static_cast<INTL_INT>(list.size());
            if (list.empty())
                continue;
            records_[b] = std::make_unique<INTL_MAP[]>(list.size());
            std::copy(list.begin(), list.end(), records_[b].get());
            table_.xlist[b].list = records_[b].get();
        }
        return &table_;
    }
    Lists lists() const {
        Lists all;
        for (int b = 0; b < 256; ++b)
            if (!lists_[b].empty())
                all[b] = lists_[b];
        return all;
    }

  private:
    INTL_XLATE table_;
    std::array<std::vector<INTL_MAP>, 256> lists_;
    std::array<std::unique_ptr<INTL_MAP[]>, 256> records_;
};

struct Outcome {
    INTL_INT result = 0, used = 0, status = 0;
    Bytes dest; // the whole destination, guard bytes where nothing was written
    bool operator==(const Outcome &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Outcome &r) {
    os << "result " << r.result << " used " << r.used << " status " << r.status << " dest";
    for (unsigned char c : r.dest)
        os << ' ' << std::hex << int{c} << std::dec;
    return os;
}

// Calls intl_xlate with a source in a block of exactly its size and a
// destination of `room` guard bytes (or none).
Outcome translate(const INTL_XLATE *t, const Bytes &src, INTL_INT srclen, INTL_INT destlen,
                  INTL_INT srcend, bool with_dest = true, std::size_t room = 24) {
    auto source = std::make_unique<unsigned char[]>(std::max<std::size_t>(src.size(), 1));
    std::copy(src.begin(), src.end(), source.get());
    Outcome r;
    r.dest.assign(with_dest ? room : 0, guard);
    r.result = intl_xlate(source.get(), srclen, with_dest ? r.dest.data() : nullptr, destlen, t,
                          &r.used, srcend, &r.status);
    return r;
}

// The bytes written at the start of a destination, guard bytes dropped.
Bytes written(const Bytes &dest) {
    Bytes out(dest);
    while (!out.empty() && out.back() == guard)
        out.pop_back();
    return out;
}

std::string dump(const INTL_XLATE *t) {
    ::testing::internal::CaptureStdout();
    intl__print_xlate(t);
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

TEST(TableBuilding, ListsCountsCopiesAndOrder) {
    INTL_XLATE t;
    EXPECT_EQ(intl_getxlist(&t, 321), &t.xlist[65]);
    EXPECT_EQ(intl_getxlist(&t, -1), &t.xlist[255]);
    EXPECT_EQ(intl_getxlist(nullptr, 65), nullptr);
    INTL_XLIST list{INT32_MAX - 1, nullptr};
    intl_inclistsize(&list);
    intl_inclistsize(&list);
    intl_inclistsize(nullptr);
    EXPECT_EQ(intl_getlistsize(&list), INT32_MAX) << "a count never wraps negative";
    EXPECT_EQ(intl_getlistsize(nullptr), -1);

    using Op = INTL_INT (*)(INTL_MAP *, const char *);
    const struct {
        Op op;
        const char *value;
        INTL_INT result, src_left, dest_chars;
        std::string src_pattern, dest_pattern; // 7 and 2..8 bytes after the call
    } rows[] = {
        {intl_map_cpsrc, "ABCDEFGH", 0, 7, 2, "BCDEFGH", "dd"},
        {intl_map_cpsrc, "ABC", 0, 2, 2, "BCrrrrr", "dd"},
        {intl_map_cpsrc, "", 0, -1, 2, "rrrrrrr", "dd"},
        {intl_map_cpsrc, "ABCDEFGHI", -2, 3, 2, "rrrrrrr", "dd"},
        {intl_map_cpdest_mapping, "12345678", 0, 3, 8, "rrrrrrr", "12345678"},
        {intl_map_cpdest_mapping, "123456789", -2, 3, 2, "rrrrrrr", "dd"},
        {intl_map_cpdest_range, "xy", 0, 0, 2, "rrrrrrr", "xy"},
        {intl_map_cpdest_range, "123456789", -2, 3, 2, "rrrrrrr", "dd"},
    };
    for (const auto &row : rows) {
        INTL_MAP m = make_map({'r', 'r', 'r', 'r', 'r', 'r', 'r'}, {'d', 'd'});
        m.src_left = 3;
        EXPECT_EQ(row.op(&m, row.value), row.result) << row.value;
        EXPECT_EQ(m.src_left, row.src_left) << row.value;
        EXPECT_EQ(m.dest_chars, row.dest_chars) << row.value;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(m.src_pattern), 7), row.src_pattern);
        EXPECT_EQ(std::string(reinterpret_cast<char *>(m.dest_pattern), row.dest_pattern.size()),
                  row.dest_pattern);
        EXPECT_EQ(row.op(nullptr, row.value), -1);
        EXPECT_EQ(row.op(&m, nullptr), -1);
    }
    const struct {
        INTL_MAP a, b;
        int sign;
    } order[] = {
        {make_map({0x01, 0x01}, {}), make_map({0xFF}, {}), -1},
        {make_map({0x80}, {}), make_map({0x7F}, {}), 1},
        {make_map({0x41, 0x42}, {'x'}), make_map({0x41, 0x42}, {'y'}), 0},
        {make_map({0x00, 0x05}, {}), make_map({0x00, 0x03}, {}), 1}, // a zero byte goes on
        {corrupt_map(-1, 0, 0x41), make_map({}, {}), 1},
    };
    for (const auto &row : order) {
        const int got = intl_mapcompare(&row.a, &row.b);
        EXPECT_EQ((got > 0) - (got < 0), row.sign) << row.a.src_left << " " << row.b.src_left;
    }
}

// The list of 0x41: P (0x41 0x42 -> x) and Q (0x41 -> y).
TEST(Engine, LongestMatchStatusesLimitsAndTerminators) {
    const struct {
        Bytes src;
        INTL_INT srclen, destlen, srcend;
        Bytes out;
        INTL_INT result, used, status;
    } rows[] = {
        {{0x41, 0x42, 0x41, 0x43}, 4, -1, 1, {'x', 'y', 0x43, 0}, 3, 4, 0},
        {{0x41}, 1, -1, 0, {}, 0, 0, 2},
        {{0x41}, 1, -1, 1, {'y', 0}, 1, 1, 0},
        {{0x41, 0x42, 0x41}, 3, -1, 0, {'x'}, 1, 2, 2},
        {{0x41, 0x43}, 2, -1, 0, {'y', 0x43, 0}, 2, 2, 0},
        {{0x41, 0x42}, 2, 0, 1, {}, 0, 0, 1},
        {{0x41, 0x42, 0x43}, 3, 1, 1, {'x'}, 1, 2, 1},
        {{0x43, 0x41, 0x42}, 3, 5, 1, {0x43, 'x'}, 2, 3, 0},
        {{0x00, 0x41}, 2, -1, 1, {0x00, 'y', 0x00}, 2, 2, 0},
        {{}, 0, -1, 1, {0}, 0, 0, 0},
        {{0x41, 0x42, 0x00, 0x41}, -1, -1, 1, {'x', 0}, 1, 2, 0},
        {{0x41, 0x42}, -2, -1, 1, {0}, 0, 0, 0},
        {{0x41, 0x42}, -2, 5, 1, {}, 0, 0, 0},
        {{0x41, 0x42}, 2, -2, 1, {}, 0, 0, 0},
        {{0x41, 0x42}, 2, INT32_MIN, 1, {}, 0, 0, 0},
    };
    Table pq;
    const INTL_XLATE *t = pq.add(0x41, {0x42}, {'x'}).add(0x41, {}, {'y'}).get();
    for (const auto &row : rows) {
        const Outcome r = translate(t, row.src, row.srclen, row.destlen, row.srcend);
        SCOPED_TRACE(::testing::Message() << "srclen " << row.srclen << " destlen " << row.destlen
                                          << " srcend " << row.srcend << ": " << r);
        EXPECT_EQ(written(r.dest), row.out);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.used, row.used);
        EXPECT_EQ(r.status, row.status);
        // Counting without a destination behaves as if there were no limit.
        Outcome unlimited = translate(t, row.src, row.srclen, -1, row.srcend);
        unlimited.dest.clear();
        EXPECT_EQ(translate(t, row.src, row.srclen, row.destlen, row.srcend, false), unlimited);
    }
    const unsigned char src[] = {0x41};
    unsigned char dest[4] = {guard, guard, guard, guard};
    INTL_INT used = 77, status = 77;
    EXPECT_EQ(intl_xlate(nullptr, 1, dest, 4, t, nullptr, 1, nullptr), INTL_E_NOSOURCE);
    EXPECT_EQ(intl_xlate(src, 1, dest, 4, t, nullptr, 1, &status), INTL_E_NULLPTR);
    EXPECT_EQ(intl_xlate(src, 1, dest, 4, t, &used, 1, nullptr), INTL_E_NULLPTR);
    EXPECT_EQ(used + status + dest[0], 77 + 77 + guard) << "nothing is written";
}

// Lists that real and broken tables hold, one first byte each.
TEST(Engine, DeletingSkippingCorruptAndRecordlessLists) {
    Table t;
    t.add(0x41, {}, {}).add(0x42, {}, {'1', '2', '3'});
    // Wrapped running sums would skip the second after the first (0xFF >
    // 0x01); the first differing pair (0x7F < 0x80) does not.
    t.add(0x80, {0x80, 0x7F}, {0x50}).add(0x80, {0x80, 0x81}, {0x51}).add(0x80, {}, {0x7A});
    t.add(0x00, {0x00, 0x05}, {'a'}).add(0x00, {0x00, 0x03}, {'b'});
    // Corrupt records sort last in their lists, so that a read past their
    // patterns would leave the heap block.
    t.add(0x43, {0x44}, {'v'}).add(0x43, corrupt_map(100, 1, 0x44));
    t.add(0x45, corrupt_map(1, 9, 0x46)).add(0x45, {0x46}, {'w'});
    t.add(0x47, corrupt_map(-5, 1, 0x00)).add(0x48, corrupt_map(INT32_MIN, INT32_MAX, 0x49));
    t.add(0x4A, {0x50}, {'x'}).add(0x4A, corrupt_map(-1, 1, 0x4B));
    INTL_XLATE *x = const_cast<INTL_XLATE *>(t.get());
    x->xlist[0x4C] = {3, nullptr}; // counted up, records not yet attached
    const struct {
        Bytes src;
        INTL_INT destlen, srcend;
        Bytes out;
        INTL_INT used, status;
    } rows[] = {
        {{0x41, 0x41, 0x4C}, 0, 1, {}, 2, 1},
        {{0x4C, 0x42}, 3, 1, {0x4C}, 1, 1},
        {{0x80, 0x80, 0x81, 0x80}, -1, 1, {0x51, 0x7A, 0}, 4, 0},
        {{0x00, 0x00, 0x03, 0x00, 0x00, 0x05}, -1, 1, {'b', 'a', 0}, 6, 0},
        {{0x43, 0x44, 0x45, 0x46}, -1, 0, {'v', 'w', 0}, 4, 0},
        {{0x45, 0x47, 0x47, 0x48, 0x49}, -1, 0, {0x45, 0x47, 0x47, 0x48, 0x49, 0}, 5, 0},
        {{0x4A, 0x42, 0x4C, 0x4C}, -1, 0, {0x4A, '1', '2', '3', 0x4C, 0x4C, 0}, 4, 0},
    };
    for (const auto &row : rows) {
        const Outcome r =
            translate(x, row.src, static_cast<INTL_INT>(row.src.size()), row.destlen, row.srcend);
        EXPECT_EQ(written(r.dest), row.out) << r;
        EXPECT_EQ(r.used, row.used) << r;
        EXPECT_EQ(r.status, row.status) << r;
    }
}

TEST(Engine, OutputCountStopsAtTheLargestResult) {
    // 2^28 zero bytes, each mapped to 8 bytes: the 2^28th output would take
    // the count past INT32_MAX. Zero pages cost no memory.
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "2^28 positions: only in optimized builds without instrumentation";
#endif
    const std::size_t len = std::size_t{1} << 28;
    void *zeros = ::mmap(nullptr, len, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zeros == MAP_FAILED)
        GTEST_SKIP() << "no address space for the source";
    Table t;
    INTL_INT used = 0, status = 0;
    const INTL_INT result =
        intl_xlate(static_cast<unsigned char *>(zeros), static_cast<INTL_INT>(len), nullptr, -1,
                   t.add(0x00, {}, {1, 2, 3, 4, 5, 6, 7, 8}).get(), &used, 1, &status);
    ::munmap(zeros, len);
    EXPECT_EQ(result, INT32_MAX - 7);
    EXPECT_EQ(used, static_cast<INTL_INT>(len) - 1);
    EXPECT_EQ(status, 1);
}

TEST(PlainCopy, StringCopySemanticsWithoutATable) {
    const Bytes five = {'a', 'b', 'c', 'd', 'e', 0};
    const struct {
        Bytes src;
        INTL_INT srclen, destlen;
        Bytes out;
        INTL_INT result, used, status;
    } rows[] = {
        {five, -7, -3, {'a', 'b', 'c', 'd', 'e', 0}, 5, 5, 0},
        {five, 3, -1, {'a', 'b', 'c', 0}, 3, 3, 0},
        {{'a', 0, 'c'}, 3, -1, {'a', 0, 0, 0}, 3, 3, 0},
        {five, 5, 3, {'a', 'b', 'c'}, 3, 3, 1},
        {{'a', 0, 'c'}, 3, 8, {'a', 0, 0}, 3, 3, 0},
        {five, -1, 3, {'a', 'b', 'c'}, 3, 3, 1},
        {five, -1, 8, {'a', 'b', 'c', 'd', 'e', 0, 0, 0}, 8, 5, 0},
        {five, -1, 5, {'a', 'b', 'c', 'd', 'e'}, 5, 5, 0},
        {{0}, 0, -1, {0}, 0, 0, 0},
    };
    for (const auto &row : rows) {
        Outcome r = translate(nullptr, row.src, row.srclen, row.destlen, 0);
        SCOPED_TRACE(::testing::Message()
                     << "srclen " << row.srclen << " destlen " << row.destlen << ": " << r);
        EXPECT_EQ(written(r.dest), row.out);
        EXPECT_EQ(std::tuple(r.result, r.used, r.status),
                  std::tuple(row.result, row.used, row.status));
        // Without a destination nothing is consumed unless a limit applies.
        r = translate(nullptr, row.src, row.srclen, row.destlen, 0, false);
        const INTL_INT used = row.srclen >= 0 && row.destlen >= 0 ? row.used : 0;
        EXPECT_EQ(std::tuple(r.result, r.used, r.status), std::tuple(row.result, used, row.status));
    }
}

TEST(Comparisons, MemcmpMemhiloStrcmp) {
    const auto *a = reinterpret_cast<const unsigned char *>("AB");
    const auto *b = reinterpret_cast<const unsigned char *>("AC");
    const unsigned char hi[] = {0xE0, 0}, lo[] = {0x41, 0};
    EXPECT_EQ(std::tuple(intl_memcmp(a, b, 2), intl_memcmp(b, a, 2), intl_memcmp(a, b, 1),
                         intl_memcmp(a, b, -5), intl_memcmp(hi, lo, 1)),
              std::tuple(-1, 1, 0, 0, 1));
    EXPECT_EQ(std::tuple(intl_memhilo(a, 2, a, 1), intl_memhilo(a, 1, a, 2),
                         intl_memhilo(a, 2, a, 2), intl_memhilo(a, 2, b, 1),
                         intl_memhilo(a, 2, b, 2)),
              std::tuple(1, -1, 0, 1, -1));
    EXPECT_EQ(std::tuple(intl_strcmp(a, a), intl_strcmp(a, b), intl_strcmp(hi, lo),
                         intl_strcmp(reinterpret_cast<const unsigned char *>("A"), a)),
              std::tuple(0, -1, 159, -'B'));
}

// ------------------------------------------------------------------------
// Compiled files

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// One table block: code word, 256 list headers (the pointer's place holding
// 0xDEADBEEF), the records as they are in memory. `sizes` overrides what a
// header claims.
std::string block(INTL_INT tabcode, const Lists &lists, const std::map<int, INTL_INT> &sizes = {}) {
    std::string out = le32(static_cast<std::uint32_t>(tabcode)), records;
    for (int b = 0; b < 256; ++b) {
        const auto list = lists.find(b);
        const auto size = sizes.find(b);
        INTL_INT n = list == lists.end() ? 0 : static_cast<INTL_INT>(list->second.size());
        out += le32(static_cast<std::uint32_t>(size != sizes.end() ? size->second : n)) +
               le32(0xDEADBEEF);
        for (const INTL_MAP &m : list == lists.end() ? std::vector<INTL_MAP>{} : list->second)
            records += std::string(reinterpret_cast<const char *>(&m), sizeof m);
    }
    return out + records;
}

const std::string version = le32(420);

class CompiledFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(intl_sethome(home_.path().c_str()), INTL_OK); }
    void TearDown() override { intl_sethome(nullptr); }

    void put(const std::string &bytes) { home_.write("charsets/cs/t.xlt", bytes); }

    struct Load {
        INTL_INT rc = 0;
        INTL_XLATE *tosrv = nullptr, *todisp = nullptr;
        std::vector<std::uint64_t> storage; // aligned for pointers
        unsigned char *buf() { return reinterpret_cast<unsigned char *>(storage.data()); }
        std::ptrdiff_t at(const INTL_XLATE *t) {
            return t ? reinterpret_cast<const unsigned char *>(t) - buf() : -1;
        }
    };

    // Loads into a buffer of the size intl_xlatesize gives, followed by
    // guard bytes; fails the test if anything is written past that size.
    Load load() {
        Load l;
        const auto size = static_cast<std::size_t>(std::max(intl_xlatesize("cs", "t.xlt"), 0));
        l.storage.assign((size + 64) / 8 + 1, 0);
        std::memset(l.buf(), guard, l.storage.size() * 8);
        l.tosrv = l.todisp = reinterpret_cast<INTL_XLATE *>(&l); // must be overwritten
        l.rc = intl_load_xlate(l.buf(), "cs", "t.xlt", &l.tosrv, &l.todisp);
        for (std::size_t i = size; i < l.storage.size() * 8; ++i)
            if (l.buf()[i] != guard) {
                ADD_FAILURE() << "written past " << size << " at " << i;
                break;
            }
        return l;
    }

    TempDir home_;
};

TEST_F(CompiledFile, SizesLayoutsAndBlocksOfEachKind) {
    const Lists one = {{0x41, {make_map({0x42}, {'x', 'y'})}}}; // A B -> xy
    const std::size_t index = sizeof(void *) == 4 ? 0 : 3608, table = sizeof(INTL_XLATE) + index;
    const std::ptrdiff_t second = static_cast<std::ptrdiff_t>(table + 24 + (index ? 8 : 0));
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
        SCOPED_TRACE(::testing::Message() << row.tabcodes.size() << " blocks");
        const INTL_INT blocks =
            static_cast<INTL_INT>(std::min<std::size_t>(row.tabcodes.size(), 2));
        const auto f = static_cast<INTL_INT>(file.size() + row.stray.size());
        EXPECT_EQ(intl_xlatesize("cs", "t.xlt"),
                  sizeof(void *) == 4 ? f - 8 : f - 8 + blocks * 5664 + 64 * (f / 24));
        Load l = load();
        ASSERT_EQ(l.rc, INTL_OK);
        EXPECT_EQ(l.at(l.tosrv), row.tosrv);
        EXPECT_EQ(l.at(l.todisp), row.todisp);
        const INTL_XLATE *t = l.tosrv ? l.tosrv : l.todisp;
        if (t == nullptr)
            continue;
        EXPECT_EQ(reinterpret_cast<const unsigned char *>(t->xlist[0x41].list),
                  reinterpret_cast<const unsigned char *>(t) + table);
        EXPECT_EQ(std::memcmp(t->xlist[0x41].list, &one.at(0x41)[0], 23), 0);
        if (sizeof(void *) == 4 && row.tabcodes.size() == 1) {
            // The buffer is the file's image from offset 8, but for the
            // pointer of the one non-empty list.
            std::string image(reinterpret_cast<char *>(l.buf()), 2072);
            std::memcpy(image.data() + 0x41 * 8 + 4, "\xEF\xBE\xAD\xDE", 4);
            EXPECT_EQ(image, file.substr(8));
        }
    }
}

TEST_F(CompiledFile, FailuresInOrderWithoutWritingBeyondTheSize) {
    const std::string good =
        version + block(0, {{0x41, {make_map({}, {'a'}), make_map({}, {'b'})}}});
    for (const std::string &file :
         {std::string(), std::string("\x01\x02\x03"), version + le32(0) + std::string(2047, 0),
          good.substr(0, good.size() - 1),
          version + block(0, {}, {{0x41, 0x10000000}}), // 2^28 records: beyond 32 bits
          version + block(0, {}, {{0x41, INT32_MAX}}),
          version + block(0, {{0x41, {make_map({}, {'a'})}}}, {{0x41, 1000}})}) {
        put(file);
        EXPECT_EQ(load().rc, INTL_E_READ) << file.size();
    }
    INTL_XLATE *a, *b;
    std::uint64_t buf[4];
    EXPECT_EQ(intl_load_xlate(buf, "cs", "none", &a, &b), INTL_E_OPEN);
    EXPECT_EQ(intl_xlatesize("cs", "none"), INTL_E_STAT);
    EXPECT_EQ(intl_load_xlate(nullptr, nullptr, nullptr, nullptr, nullptr), INTL_E_NULLBUF);
    EXPECT_EQ(intl_load_xlate(buf, nullptr, nullptr, nullptr, nullptr), INTL_E_NOCHARSET);
    EXPECT_EQ(intl_load_xlate(buf, "cs", nullptr, nullptr, nullptr), INTL_E_NOXLTNAME);
    EXPECT_EQ(intl_load_xlate(buf, "cs", "t", nullptr, &b), INTL_E_NOXLTTABLE);
    EXPECT_EQ(intl_xlatesize("cs", nullptr), INTL_E_NOXLTNAME);
    // home + "/charsets/" + "cs" + "/" + name: 511 characters fit, 512 do not.
    const std::size_t fixed = home_.path().string().size() + std::strlen("/charsets/cs/");
    EXPECT_EQ(intl_xlatesize("cs", std::string(511 - fixed, 'n').c_str()), INTL_E_STAT);
    EXPECT_EQ(intl_xlatesize("cs", std::string(512 - fixed, 'n').c_str()), INTL_E_PATHLONG);
    EXPECT_EQ(intl_load_xlate(buf, std::string(512, 'c').c_str(), "t", &a, &b), INTL_E_PATHLONG);
    // A file too big for the result: the size comes from the file system.
    put("");
    std::filesystem::resize_file(home_.path() / "charsets/cs/t.xlt", std::uintmax_t{1} << 33);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"), INTL_E_OVERFLOW);
}

// ------------------------------------------------------------------------
// Differential test: the engine against the matching loop written out step
// by step, on random sorted tables and random inputs.

Outcome reference(const INTL_XLATE &t, const Bytes &src, INTL_INT destlen, INTL_INT srcend,
                  bool with_dest, std::size_t room) {
    Outcome r;
    r.dest.assign(with_dest ? room : 0, guard);
    const auto srclen = static_cast<INTL_INT>(src.size());
    destlen = with_dest ? destlen : -1;
    INTL_INT used = 0, produced = 0;
    const auto stop = [&](INTL_INT status) {
        r.used = used, r.result = produced, r.status = status;
        return r;
    };
    while (used < srclen && (destlen == -1 || produced <= destlen)) {
        const INTL_INT srcleft = srclen - used;
        const INTL_XLIST &list = t.xlist[src[used]];
        const INTL_MAP *match = nullptr;
        INTL_INT skip_length = -1;
        for (INTL_INT i = 0; i < list.listsize && list.list && match == nullptr; ++i) {
            const INTL_MAP &m = list.list[i];
            if (m.src_left < 0 || m.src_left > 7 || m.dest_chars < 0 || m.dest_chars > 8 ||
                m.src_left == skip_length || (m.src_left >= srcleft && srcend))
                continue;
            INTL_INT pairs = m.src_left;
            if (m.src_left >= srcleft) {
                if (srcleft == 1 || std::memcmp(&src[used + 1], m.src_pattern, srcleft - 1) == 0)
                    return stop(2);
                pairs = srcleft - 1;
            }
            INTL_INT k = 0;
            while (k < pairs && src[used + 1 + k] == m.src_pattern[k])
                ++k;
            if (k == m.src_left)
                match = &m;
            else if (m.src_pattern[k] > src[used + 1 + k])
                skip_length = m.src_left;
        }
        const Bytes out = match
                              ? Bytes(match->dest_pattern, match->dest_pattern + match->dest_chars)
                              : Bytes{src[used]};
        if (with_dest && destlen >= 0 && produced + static_cast<INTL_INT>(out.size()) > destlen)
            return stop(1);
        if (with_dest)
            std::copy(out.begin(), out.end(), r.dest.begin() + produced);
        used += match ? 1 + match->src_left : 1;
        produced += static_cast<INTL_INT>(out.size());
    }
    if (destlen == -1 && with_dest)
        r.dest[static_cast<std::size_t>(produced)] = 0;
    return stop(0);
}

class RandomTables {
  public:
    explicit RandomTables(std::uint32_t seed) : rng_(seed) {}
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // Lists of every shape the engine treats apart: mixed lengths, single-
    // byte mappings, and runs of one length with the gaps, repeats and
    // corrupt records that real and broken tables hold.
    void fill(Table &t) {
        narrow_ = below(2) == 0;
        firsts_ = {0x00, 0x41, 0x80, 0xFF};
        for (int i = below(6); i > 0; --i)
            firsts_.push_back(static_cast<unsigned char>(below(256)));
        for (unsigned char first : firsts_) {
            const int shape = below(5);
            for (int i = shape == 0   ? below(below(8) == 0 ? 400 : 40)
                         : shape == 1 ? below(3) + 1
                                      : 0;
                 i > 0; --i)
                t.add(first, corrupt_now_and_then(make_map(rest(shape == 1 ? 0 : -1), dest())));
            if (shape >= 2)
                run(t, first, shape == 4 ? 1 : 1 + below(3));
            if (shape == 3)
                t.add(first, make_map(rest(-1), dest()));
        }
    }

    // A source mostly made of the table's own sequences and near misses.
    Bytes input(const INTL_XLATE &t, std::size_t at_least = 0) {
        Bytes src;
        for (int pieces = below(12); pieces > 0 || src.size() < at_least; --pieces) {
            const unsigned char first =
                below(4) == 0 ? byte() : firsts_[below(int(firsts_.size()))];
            src.push_back(first);
            const INTL_XLIST &list = t.xlist[first];
            if (list.listsize > 0 && below(4) != 0) {
                const INTL_MAP &m = list.list[below(list.listsize)];
                src.insert(src.end(), m.src_pattern, m.src_pattern + std::clamp(m.src_left, 0, 7));
                if (m.src_left > 0 && below(3) == 0)
                    src.back() = static_cast<unsigned char>(src.back() + below(3) - 1);
            }
        }
        if (!src.empty() && at_least == 0 && below(2) == 0)
            src.resize(static_cast<std::size_t>(below(static_cast<int>(src.size())) + 1));
        return src;
    }

  private:
    // Bytes drawn from a few values (many equal sequences) or from all 256.
    unsigned char byte() {
        return narrow_ ? std::array<unsigned char, 5>{0x00, 0x01, 0x41, 0x7F, 0x80}[below(5)]
                       : static_cast<unsigned char>(below(256));
    }
    Bytes rest(int length) {
        Bytes r(length >= 0 ? length : below(4) == 0 ? below(8) : below(3));
        for (auto &b : r)
            b = byte();
        return r;
    }
    Bytes dest() {
        Bytes d(below(4) == 0 ? below(9) : 1 + below(3));
        for (auto &b : d)
            b = static_cast<unsigned char>(below(0xE0));
        return d;
    }
    // Sometimes a length no file may hold.
    INTL_MAP corrupt_now_and_then(INTL_MAP m) {
        if (below(40) == 0)
            m.src_left = std::array{-1, -2, 8, 100}[below(4)];
        if (below(40) == 0)
            m.dest_chars = std::array{-1, 9, 1000}[below(3)];
        return m;
    }
    // Sequences of one length counting up from a random start, as the lists
    // of double-byte and multi-byte character sets do.
    void run(Table &t, unsigned char first, int length) {
        Bytes r = rest(length);
        for (auto &b : r)
            b = static_cast<unsigned char>(below(256));
        for (int i = below(300) + 1; i > 0; --i) {
            t.add(first, corrupt_now_and_then(make_map(r, dest())));
            for (int step = below(15) == 0   ? 0
                            : below(10) == 0 ? below(3) + 2
                                             : 1;
                 step > 0; --step)
                for (auto b = r.rbegin(); b != r.rend() && ++*b == 0; ++b) {
                }
        }
    }

    std::mt19937 rng_;
    bool narrow_ = false;
    std::vector<unsigned char> firsts_;
};

// Every table is tried as built by hand, as loaded from a file (indexed
// where pointers are 8 bytes), and as a copy of the loaded INTL_XLATE
// whose lists the caller then changed (searched).
class Differential : public CompiledFile {
  protected:
    void agree(RandomTables &random, const INTL_XLATE &t, const char *kind, int table) {
        for (int n = 0; n < 12; ++n) {
            const bool long_input = n == 11;
            const Bytes src = random.input(t, long_input ? 600 : 0);
            const int most = long_input ? 4 * static_cast<int>(src.size()) : 40;
            const INTL_INT destlen = random.below(3) == 0 ? -1 : random.below(most);
            const INTL_INT srcend = random.below(2);
            const bool with_dest = random.below(5) != 0;
            const std::size_t room = 8 * src.size() + 2;
            const Outcome want = reference(t, src, destlen, srcend, with_dest, room);
            ASSERT_EQ(translate(&t, src, static_cast<INTL_INT>(src.size()), destlen, srcend,
                                with_dest, room),
                      want)
                << kind << " table " << table << " input " << n;
            ++runs_;
            matched_ += want.result != want.used;
        }
    }
    int runs_ = 0, matched_ = 0;
};

TEST_F(Differential, EngineAgreesWithTheStraightforwardLoop) {
    RandomTables random(20240611u);
    for (int table = 0; table < 1500 && !HasFatalFailure(); ++table) {
        Table t;
        random.fill(t);
        agree(random, *t.get(), "hand-built", table);
        put(version + block(table % 2, t.lists()) + block(1 - table % 2, t.lists()));
        Load l = load();
        ASSERT_EQ(l.rc, INTL_OK);
        agree(random, *l.tosrv, "loaded", table);
        INTL_XLATE changed = *l.todisp;
        const int first = std::array{0x00, 0x41, 0x80, 0xFF}[random.below(4)];
        const int other = random.below(256);
        changed.xlist[first] = random.below(2) ? changed.xlist[other] : INTL_XLIST{0, nullptr};
        changed.xlist[other].listsize = std::min(changed.xlist[other].listsize, random.below(5));
        agree(random, changed, "changed", table);
    }
    EXPECT_GT(matched_, runs_ / 4) << "the inputs must exercise the mappings";
}

TEST(Dump, PrintsEveryMappingByteByByte) {
    EXPECT_EQ(dump(nullptr), "Translation table is empty.\n");
    Table t;
    t.add(0x41, {0x42}, {'x', 'y'}).add(0x8E, {0xA1}, {0x0A}).add(0x20, {}, {});
    t.add(0x7F, {0x7E, 0x00}, {0xFF, 0x10}).add(0x30, corrupt_map(50, 60, 0x31));
    INTL_XLATE *x = const_cast<INTL_XLATE *>(t.get());
    x->xlist[0x31] = {2, nullptr}; // counted up, records not yet attached
    EXPECT_EQ(dump(x), "Source string:  \nDest string: \n"
                       "Source string: 01111111\nDest string: 11111111\n"
                       "Source string: AB\nDest string: xy\n"
                       "Source string: 7f~0\nDest string: ff10\n"
                       "Source string: 8ea1\nDest string: a\n");
}

} // namespace
