// Character-set translation: table building, compiled-file loading, the
// engine (against a straightforward reference), byte comparisons, the dump.
#include <intl.h>

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/mman.h>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

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

// An in-memory table. Each list's records live in a heap block of exactly
// their size, so that a read past a list or a pattern shows under ASan.
class Table {
  public:
    Table() { std::memset(&table_, 0, sizeof table_); }
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    Table &add(unsigned char first, const Bytes &rest, const Bytes &dest) {
        return add(first, make_map(rest, dest));
    }
    Table &add(unsigned char first, const INTL_MAP &m) {
        lists_[first].push_back(m);
        return *this;
    }
    // The table with every list sorted by intl_mapcompare (or as added).
    const INTL_XLATE *get(bool sort = true) {
        for (int b = 0; b < 256; ++b) {
            auto &list = lists_[b];
            if (sort && !list.empty())
                std::qsort(list.data(), list.size(), sizeof(INTL_MAP), intl_mapcompare);
            records_[b] = std::make_unique<INTL_MAP[]>(list.size());
            std::copy(list.begin(), list.end(), records_[b].get());
            table_.xlist[b].listsize = static_cast<INTL_INT>(list.size());
            table_.xlist[b].list = records_[b].get();
        }
        return &table_;
    }
    std::vector<INTL_MAP> &list(unsigned char first) { return lists_[first]; }

  private:
    INTL_XLATE table_;
    std::array<std::vector<INTL_MAP>, 256> lists_;
    std::array<std::unique_ptr<INTL_MAP[]>, 256> records_;
};

struct Outcome {
    INTL_INT result = 0;
    INTL_INT used = 0;
    INTL_INT status = 0;
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

Outcome translate(const INTL_XLATE *t, const Bytes &src, INTL_INT destlen, INTL_INT srcend) {
    return translate(t, src, static_cast<INTL_INT>(src.size()), destlen, srcend);
}

// The bytes written at the start of a destination, guard bytes dropped.
Bytes written(const Bytes &dest) {
    Bytes out(dest);
    while (!out.empty() && out.back() == guard)
        out.pop_back();
    return out;
}

// What the dump prints for a table.
std::string dump(const INTL_XLATE *t) {
    ::testing::internal::CaptureStdout();
    intl__print_xlate(t);
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

// ------------------------------------------------------------------------
// Table building

TEST(TableBuilding, ListsAreFoundByTheLowEightBitsOfTheByte) {
    INTL_XLATE t;
    EXPECT_EQ(intl_getxlist(&t, 65), &t.xlist[65]);
    EXPECT_EQ(intl_getxlist(&t, 321), &t.xlist[65]);
    EXPECT_EQ(intl_getxlist(&t, 256), &t.xlist[0]);
    EXPECT_EQ(intl_getxlist(&t, -1), &t.xlist[255]);
    EXPECT_EQ(intl_getxlist(&t, INT32_MIN), &t.xlist[0]);
    EXPECT_EQ(intl_getxlist(nullptr, 65), nullptr);
}

TEST(TableBuilding, ListSizesCountUpAndNullIsHarmless) {
    INTL_XLIST list{0, nullptr};
    intl_inclistsize(&list);
    intl_inclistsize(&list);
    EXPECT_EQ(intl_getlistsize(&list), 2);
    intl_inclistsize(nullptr);
    EXPECT_EQ(intl_getlistsize(nullptr), -1);
    list.listsize = INT32_MAX;
    intl_inclistsize(&list);
    EXPECT_EQ(list.listsize, INT32_MAX) << "a count never wraps negative";
}

TEST(TableBuilding, CopiesFillOnlyTheirFieldsAndRefuseWithoutTouching) {
    using Op = INTL_INT (*)(INTL_MAP *, const char *);
    const struct {
        Op op;
        const char *value;
        INTL_INT result, src_left, dest_chars;
        std::string src_pattern, dest_pattern; // 7 and 8 bytes after the call
    } rows[] = {
        {intl_map_cpsrc, "A", 0, 0, 2, "rrrrrrr", "dd"},
        {intl_map_cpsrc, "ABCDEFGH", 0, 7, 2, "BCDEFGH", "dd"},
        {intl_map_cpsrc, "ABC", 0, 2, 2, "BCrrrrr", "dd"},
        {intl_map_cpsrc, "", 0, -1, 2, "rrrrrrr", "dd"},
        {intl_map_cpsrc, "ABCDEFGHI", -2, 3, 2, "rrrrrrr", "dd"},
        {intl_map_cpdest_mapping, "12345678", 0, 3, 8, "rrrrrrr", "12345678"},
        {intl_map_cpdest_mapping, "", 0, 3, 0, "rrrrrrr", "dd"},
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
                  row.dest_pattern)
            << row.value;
        EXPECT_EQ(row.op(nullptr, row.value), -1);
        EXPECT_EQ(row.op(&m, nullptr), -1);
    }
}

TEST(TableBuilding, CompareSortsLongerFirstThenUnsignedBytes) {
    const struct {
        INTL_MAP a, b;
        int sign;
    } rows[] = {
        {make_map({0x01, 0x01}, {}), make_map({0xFF}, {}), -1},
        {make_map({0xFF}, {}), make_map({0x01, 0x01}, {}), 1},
        {make_map({0x41}, {}), make_map({0x42}, {}), -1},
        {make_map({0x80}, {}), make_map({0x7F}, {}), 1},
        {make_map({}, {'x'}), make_map({}, {'y'}), 0},
        {make_map({0x41, 0x42}, {'x'}), make_map({0x41, 0x42}, {'y'}), 0},
        // A zero byte does not end the comparison: these are different sequences.
        {make_map({0x00, 0x05}, {}), make_map({0x00, 0x03}, {}), 1},
        {corrupt_map(1000, 0, 0x41), corrupt_map(1000, 0, 0x41), 0},
        {corrupt_map(-1, 0, 0x41), make_map({}, {}), 1},
    };
    for (const auto &row : rows) {
        const int got = intl_mapcompare(&row.a, &row.b);
        EXPECT_EQ((got > 0) - (got < 0), row.sign) << row.a.src_left << " " << row.b.src_left;
    }
}

// ------------------------------------------------------------------------
// Engine

// The list of 0x41: P (0x41 0x42 -> x) and Q (0x41 -> y).
class PQTable : public ::testing::Test {
  protected:
    PQTable() { t_.add(0x41, {0x42}, {'x'}).add(0x41, {}, {'y'}); }
    Table t_;
};

TEST_F(PQTable, LongestMatchStatusesLimitsAndTerminators) {
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
        {{0x41, 0x42, 0x43}, 3, 2, 1, {'x', 0x43}, 2, 3, 0},
        {{0x43, 0x41, 0x42}, 3, 5, 1, {0x43, 'x'}, 2, 3, 0},
        {{0x00, 0x41}, 2, -1, 1, {0x00, 'y', 0x00}, 2, 2, 0},
        {{}, 0, -1, 1, {0}, 0, 0, 0},
        {{}, 0, 5, 0, {}, 0, 0, 0},
        {{0x41, 0x42, 0x00, 0x41}, -1, -1, 1, {'x', 0}, 1, 2, 0},
        {{0x41, 0x42}, -2, -1, 1, {0}, 0, 0, 0},
        {{0x41, 0x42}, -2, 5, 1, {}, 0, 0, 0},
        {{0x41, 0x42}, 2, -2, 1, {}, 0, 0, 0},
        {{0x41, 0x42}, 2, INT32_MIN, 1, {}, 0, 0, 0},
    };
    const INTL_XLATE *t = t_.get();
    for (const auto &row : rows) {
        const Outcome r = translate(t, row.src, row.srclen, row.destlen, row.srcend);
        SCOPED_TRACE(::testing::Message() << "srclen " << row.srclen << " destlen " << row.destlen
                                          << " srcend " << row.srcend << ": " << r);
        EXPECT_EQ(written(r.dest), row.out);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.used, row.used);
        EXPECT_EQ(r.status, row.status);

        // Counting without a destination behaves as if there were no limit.
        const Outcome counted = translate(t, row.src, row.srclen, row.destlen, row.srcend, false);
        Outcome unlimited = translate(t, row.src, row.srclen, -1, row.srcend);
        unlimited.dest.clear();
        EXPECT_EQ(counted, unlimited);
    }
}

TEST_F(PQTable, ArgumentsAreCheckedInOrderAndNothingIsWritten) {
    const unsigned char src[] = {0x41};
    unsigned char dest[4] = {guard, guard, guard, guard};
    INTL_INT used = 77, status = 77;
    const INTL_XLATE *t = t_.get();
    EXPECT_EQ(intl_xlate(nullptr, 1, dest, 4, t, nullptr, 1, nullptr), INTL_E_NOSOURCE);
    EXPECT_EQ(intl_xlate(src, 1, dest, 4, t, nullptr, 1, &status), INTL_E_NULLPTR);
    EXPECT_EQ(intl_xlate(src, 1, dest, 4, t, &used, 1, nullptr), INTL_E_NULLPTR);
    EXPECT_EQ(used, 77);
    EXPECT_EQ(status, 77);
    EXPECT_EQ(dest[0], guard);
    EXPECT_EQ(intl_xlate(src, 1, dest, 4, nullptr, nullptr, 1, &status), INTL_E_NULLPTR);
}

TEST(Engine, DeletingMappingsFitAFullDestinationAndOutputIsNeverSplit) {
    Table t;
    t.add(0x41, {}, {}).add(0x42, {}, {'1', '2', '3'});
    const INTL_XLATE *x = t.get();
    Outcome r = translate(x, {0x41, 0x41, 0x43}, 0, 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.used, 2);
    EXPECT_EQ(r.status, 1);
    r = translate(x, {0x43, 0x42}, 3, 1);
    EXPECT_EQ(written(r.dest), (Bytes{0x43}));
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.used, 1);
    EXPECT_EQ(r.status, 1);
}

TEST(Engine, SkipDecidedByTheFirstDifferingBytePair) {
    // Wrapped running sums would skip S after R (0xFF > 0x01); the first
    // differing pair (0x7F < 0x80) does not.
    Table t;
    t.add(0x80, {0x80, 0x7F}, {0x50}).add(0x80, {0x80, 0x81}, {0x51}).add(0x80, {}, {0x7A});
    t.add(0x81, {0x10, 0x7F}, {0x60}).add(0x81, {0x10, 0x81}, {0x61});
    const INTL_XLATE *x = t.get();
    Outcome r = translate(x, {0x80, 0x80, 0x81}, -1, 1);
    EXPECT_EQ(written(r.dest), (Bytes{0x51, 0}));
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.used, 3);
    r = translate(x, {0x81, 0x10, 0x81}, -1, 1);
    EXPECT_EQ(written(r.dest), (Bytes{0x61, 0}));
    EXPECT_EQ(r.used, 3);
}

TEST(Engine, ListsLongerThan255AreWalkedWhole) {
    Table t;
    for (int i = 0; i < 300; ++i)
        t.add(0x41, {static_cast<unsigned char>(1 + i / 200), static_cast<unsigned char>(i % 200)},
              {static_cast<unsigned char>('a' + i % 26), static_cast<unsigned char>(i / 26)});
    for (int i = 0; i < 256; ++i)
        t.add(0x42, {0x05, static_cast<unsigned char>(i)}, {'z'});
    const INTL_XLATE *x = t.get();
    for (int i = 0; i < 300; ++i) {
        const Outcome r = translate(
            x, {0x41, static_cast<unsigned char>(1 + i / 200), static_cast<unsigned char>(i % 200)},
            -1, 1);
        EXPECT_EQ(written(r.dest), (Bytes{static_cast<unsigned char>('a' + i % 26),
                                          static_cast<unsigned char>(i / 26), 0}))
            << i;
    }
    // 256 mappings, none matching: the walk still ends.
    const Outcome r = translate(x, {0x42, 0x06, 0x00}, -1, 1);
    EXPECT_EQ(written(r.dest), (Bytes{0x42, 0x06, 0x00, 0x00}));
}

TEST(Engine, CorruptMappingsAreNeverUsed) {
    Table t;
    // Sorted, most corrupt records are last in their lists, so that a read
    // past their patterns would leave the heap block.
    t.add(0x41, {0x42}, {'v'}).add(0x41, corrupt_map(100, 1, 0x42));
    t.add(0x4C, corrupt_map(100, 1, 0x4C));
    t.add(0x43, corrupt_map(1, 9, 0x44)).add(0x43, {0x44}, {'w'});
    t.add(0x45, corrupt_map(1, -3, 0x46));
    t.add(0x47, corrupt_map(-5, 1, 0x00));
    t.add(0x48, corrupt_map(INT32_MIN, INT32_MAX, 0x49));
    // After a mapping above the source has set a skip, a mapping with an
    // empty source sequence still never matches: it would consume nothing.
    t.add(0x4A, {0x50}, {'x'}).add(0x4A, corrupt_map(-1, 1, 0x4B));
    const INTL_XLATE *x = t.get();
    const struct {
        Bytes src;
        INTL_INT srcend;
        Bytes out;
        INTL_INT status;
    } rows[] = {
        {{0x41, 0x42}, 1, {'v', 0}, 0},        {{0x41, 0x42}, 0, {'v', 0}, 0},
        {{0x43, 0x44}, 1, {'w', 0}, 0},        {{0x43, 0x45}, 0, {0x43, 0x45, 0}, 0},
        {{0x45, 0x46}, 0, {0x45, 0x46, 0}, 0}, {{0x45}, 0, {0x45, 0}, 0},
        {{0x47, 0x47}, 0, {0x47, 0x47, 0}, 0}, {{0x48, 0x49, 0x49}, 0, {0x48, 0x49, 0x49, 0}, 0},
        {{0x4A, 0x42}, 1, {0x4A, 0x42, 0}, 0}, {{0x4C, 0x4C}, 0, {0x4C, 0x4C, 0}, 0},
    };
    for (const auto &row : rows) {
        const Outcome r = translate(x, row.src, -1, row.srcend);
        EXPECT_EQ(written(r.dest), row.out) << r;
        EXPECT_EQ(r.status, row.status) << r;
        EXPECT_EQ(r.used, static_cast<INTL_INT>(row.src.size())) << r;
    }
}

// A table being built by hand has its list sizes counted up before its
// records are attached: such a list holds nothing to match, to cut or to
// print, whichever path of the engine meets it.
TEST(Engine, ListsWithASizeButNoRecordsAreEmpty) {
    INTL_XLATE x;
    std::memset(&x, 0, sizeof x);
    INTL_MAP d = make_map({}, {'d'});
    x.xlist[0x41].listsize = 1;
    x.xlist[0x43].listsize = 3;
    x.xlist[0x44] = {1, &d};
    const Bytes src{0x41, 0x43, 0x44, 0x43, 0x43, 0x41};
    for (INTL_INT srcend : {0, 1}) {
        const Outcome r = translate(&x, src, -1, srcend);
        EXPECT_EQ(written(r.dest), (Bytes{0x41, 0x43, 'd', 0x43, 0x43, 0x41, 0})) << r;
        EXPECT_EQ(r.status, 0) << r;
        EXPECT_EQ(r.used, 6) << r;
    }
    const Outcome cut = translate(&x, src, 4, 1);
    EXPECT_EQ(written(cut.dest), (Bytes{0x41, 0x43, 'd', 0x43})) << cut;
    EXPECT_EQ(cut.status, 1) << cut;
    EXPECT_EQ(dump(&x), "Source string: D\nDest string: d\n");
}

TEST(Engine, ZeroBytesInPatternsSortAndMatch) {
    Table t;
    t.add(0x00, {0x00, 0x05}, {'a'}).add(0x00, {0x00, 0x03}, {'b'});
    const Outcome r = translate(t.get(), {0x00, 0x00, 0x03, 0x00, 0x00, 0x05}, -1, 1);
    EXPECT_EQ(written(r.dest), (Bytes{'b', 'a', 0}));
}

TEST(Engine, OutputCountStopsAtTheLargestResult) {
    // 2^28 zero bytes, each mapped to 8 bytes: the 2^28th output would take
    // the count past INT32_MAX. Zero pages cost no memory.
#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "2^28 positions: only in optimized builds without instrumentation";
#endif
    const std::size_t len = std::size_t{1} << 28;
    void *zeros = ::mmap(nullptr, len, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zeros == MAP_FAILED)
        GTEST_SKIP() << "no address space for the source";
    Table t;
    t.add(0x00, {}, {1, 2, 3, 4, 5, 6, 7, 8});
    INTL_INT used = 0, status = 0;
    const INTL_INT result =
        intl_xlate(static_cast<unsigned char *>(zeros), static_cast<INTL_INT>(len), nullptr, -1,
                   t.get(), &used, 1, &status);
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
        {five, -1, -1, {'a', 'b', 'c', 'd', 'e', 0}, 5, 5, 0},
        {five, -7, -3, {'a', 'b', 'c', 'd', 'e', 0}, 5, 5, 0},
        {five, 3, -1, {'a', 'b', 'c', 0}, 3, 3, 0},
        {{'a', 0, 'c'}, 3, -1, {'a', 0, 0, 0}, 3, 3, 0},
        {five, 5, 3, {'a', 'b', 'c'}, 3, 3, 1},
        {five, 5, 8, {'a', 'b', 'c', 'd', 'e'}, 5, 5, 0},
        {{'a', 0, 'c'}, 3, 8, {'a', 0, 0}, 3, 3, 0},
        {five, -1, 3, {'a', 'b', 'c'}, 3, 3, 1},
        {five, -1, 8, {'a', 'b', 'c', 'd', 'e', 0, 0, 0}, 8, 5, 0},
        {five, -1, 5, {'a', 'b', 'c', 'd', 'e'}, 5, 5, 0},
        {five, -1, 0, {}, 0, 0, 1},
        {{0}, 0, -1, {0}, 0, 0, 0},
    };
    for (const auto &row : rows) {
        Outcome r = translate(nullptr, row.src, row.srclen, row.destlen, 0);
        SCOPED_TRACE(::testing::Message()
                     << "srclen " << row.srclen << " destlen " << row.destlen << ": " << r);
        EXPECT_EQ(written(r.dest), row.out);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.used, row.used);
        EXPECT_EQ(r.status, row.status);
        // Without a destination nothing is consumed unless a limit applies.
        r = translate(nullptr, row.src, row.srclen, row.destlen, 0, false);
        EXPECT_EQ(r.result, row.result);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.used, row.srclen >= 0 && row.destlen >= 0 ? row.used : 0);
    }
}

TEST(Comparisons, MemcmpMemhiloStrcmp) {
    const auto *a = reinterpret_cast<const unsigned char *>("AB");
    const auto *b = reinterpret_cast<const unsigned char *>("AC");
    const unsigned char hi[] = {0xE0, 0}, lo[] = {0x41, 0};
    EXPECT_EQ(intl_memcmp(a, b, 2), -1);
    EXPECT_EQ(intl_memcmp(b, a, 2), 1);
    EXPECT_EQ(intl_memcmp(a, b, 1), 0);
    EXPECT_EQ(intl_memcmp(a, b, 0), 0);
    EXPECT_EQ(intl_memcmp(a, b, -5), 0);
    EXPECT_EQ(intl_memcmp(hi, lo, 1), 1) << "bytes compare unsigned";
    EXPECT_EQ(intl_memhilo(a, 2, a, 1), 1);
    EXPECT_EQ(intl_memhilo(a, 1, a, 2), -1);
    EXPECT_EQ(intl_memhilo(a, 2, a, 2), 0);
    EXPECT_EQ(intl_memhilo(a, 2, b, 1), 1);
    EXPECT_EQ(intl_memhilo(a, 2, b, 2), -1);
    EXPECT_EQ(intl_strcmp(a, a), 0);
    EXPECT_EQ(intl_strcmp(reinterpret_cast<const unsigned char *>("a"),
                          reinterpret_cast<const unsigned char *>("b")),
              -1);
    EXPECT_EQ(intl_strcmp(hi, lo), 159);
    EXPECT_EQ(intl_strcmp(reinterpret_cast<const unsigned char *>("A"), a), -'B');
}

// ------------------------------------------------------------------------
// Differential test: the engine against the matching loop written out step
// by step, on random sorted tables and random inputs.

Outcome reference_translate(const INTL_XLATE &t, const Bytes &src, INTL_INT destlen,
                            INTL_INT srcend, bool with_dest, std::size_t room) {
    Outcome r;
    r.dest.assign(with_dest ? room : 0, guard);
    const auto srclen = static_cast<INTL_INT>(src.size());
    if (!with_dest)
        destlen = -1;
    INTL_INT used = 0, produced = 0;
    while (used < srclen && (destlen == -1 || produced <= destlen)) {
        const INTL_INT srcleft = srclen - used;
        const INTL_XLIST &list = t.xlist[src[used]];
        const INTL_MAP *match = nullptr;
        INTL_INT skip_length = -1;
        for (INTL_INT i = 0; i < list.listsize && match == nullptr; ++i) {
            const INTL_MAP &m = list.list[i];
            if (m.src_left < 0 || m.src_left > 7 || m.dest_chars < 0 || m.dest_chars > 8)
                continue;
            if (m.src_left == skip_length)
                continue;
            INTL_INT pairs = m.src_left;
            if (m.src_left >= srcleft) {
                if (srcend)
                    continue;
                if (srcleft == 1 || std::memcmp(&src[used + 1], m.src_pattern, srcleft - 1) == 0) {
                    r.used = used, r.result = produced, r.status = 2;
                    return r;
                }
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
        if (with_dest && destlen >= 0 && produced + static_cast<INTL_INT>(out.size()) > destlen) {
            r.used = used, r.result = produced, r.status = 1;
            return r;
        }
        if (with_dest)
            std::copy(out.begin(), out.end(), r.dest.begin() + produced);
        used += match ? 1 + match->src_left : 1;
        produced += static_cast<INTL_INT>(out.size());
    }
    if (destlen == -1 && with_dest)
        r.dest[produced] = 0;
    r.used = used, r.result = produced;
    return r;
}

class RandomTables {
  public:
    explicit RandomTables(std::uint32_t seed) : rng_(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    // Bytes drawn from a few values (many matches and equal sequences) or
    // from all 256.
    unsigned char byte() {
        return narrow_ ? alphabet_[below(5)] : static_cast<unsigned char>(below(256));
    }

    // Lists of every shape the engine treats apart: mixed lengths, one
    // single-byte mapping, and long runs of one length with the gaps,
    // repeats and corrupt records that real and broken tables hold.
    void fill(Table &t) {
        narrow_ = below(2) == 0;
        firsts_ = {0x00, 0x41, 0x80, 0xFF};
        for (int i = below(6); i > 0; --i)
            firsts_.push_back(static_cast<unsigned char>(below(256)));
        for (unsigned char first : firsts_) {
            switch (below(4)) {
            case 0:
                mixed(t, first, below(8) == 0 ? 400 : 40);
                break;
            case 1:
                t.add(first, single_byte());
                break;
            case 2:
                run(t, first);
                break;
            default:
                run(t, first);
                mixed(t, first, 4);
            }
        }
    }

    // A source mostly made of the table's own sequences and near misses.
    Bytes input(const INTL_XLATE &t) {
        Bytes src;
        for (int pieces = below(12); pieces > 0; --pieces) {
            const unsigned char first =
                below(4) == 0
                    ? byte()
                    : firsts_[static_cast<std::size_t>(below(static_cast<int>(firsts_.size())))];
            src.push_back(first);
            const INTL_XLIST &list = t.xlist[first];
            if (list.listsize > 0 && below(4) != 0) {
                const INTL_MAP &m = list.list[below(list.listsize)];
                const int n = std::clamp(m.src_left, 0, 7);
                src.insert(src.end(), m.src_pattern, m.src_pattern + n);
                if (n > 0 && below(3) == 0)
                    src.back() = static_cast<unsigned char>(src.back() + below(3) - 1);
            }
        }
        if (!src.empty() && below(2) == 0)
            src.resize(static_cast<std::size_t>(below(static_cast<int>(src.size())) + 1));
        return src;
    }

    // Inputs joined until there are at least `bytes`.
    Bytes long_input(const INTL_XLATE &t, std::size_t bytes) {
        Bytes src;
        while (src.size() < bytes) {
            const Bytes piece = input(t);
            src.insert(src.end(), piece.begin(), piece.end());
        }
        return src;
    }

  private:
    Bytes destination() {
        Bytes dest(below(4) == 0 ? below(9) : 1);
        for (auto &b : dest)
            b = static_cast<unsigned char>(below(0xE0));
        return dest;
    }

    // Sometimes a length no file may hold.
    INTL_MAP corrupt_now_and_then(INTL_MAP m) {
        if (below(40) == 0)
            m.src_left = std::array{-1, -2, 8, 100}[below(4)];
        if (below(40) == 0)
            m.dest_chars = std::array{-1, 9, 1000}[below(3)];
        return m;
    }

    void mixed(Table &t, unsigned char first, int max_size) {
        for (int i = below(max_size + 1); i > 0; --i) {
            Bytes rest(below(4) == 0 ? below(8) : below(3));
            for (auto &b : rest)
                b = byte();
            t.add(first, corrupt_now_and_then(make_map(rest, destination())));
        }
    }

    INTL_MAP single_byte() { return corrupt_now_and_then(make_map({}, destination())); }

    // Sequences of one length counting up from a random start, as a
    // double-byte or multi-byte character set's lists do.
    void run(Table &t, unsigned char first) {
        Bytes rest(std::array{1, 1, 1, 2, 3}[below(5)]);
        for (auto &b : rest)
            b = static_cast<unsigned char>(below(256));
        for (int i = below(300) + 1; i > 0; --i) {
            t.add(first, corrupt_now_and_then(make_map(rest, destination())));
            if (below(15) == 0)
                continue; // the same sequence again
            for (int step = below(10) == 0 ? below(3) + 2 : 1; step > 0; --step)
                for (auto b = rest.rbegin(); b != rest.rend() && ++*b == 0; ++b) {
                }
        }
    }

    std::mt19937 rng_;
    bool narrow_ = false;
    std::vector<unsigned char> firsts_;
    static constexpr unsigned char alphabet_[5] = {0x00, 0x01, 0x41, 0x7F, 0x80};
};

TEST(Engine, AgreesWithTheStraightforwardLoopOnRandomSortedTables) {
    RandomTables random(20240611u);
    int runs = 0, matched_runs = 0;
    for (int table = 0; table < 3000; ++table) {
        Table t;
        random.fill(t);
        const INTL_XLATE *x = t.get();
        for (int n = 0; n < 12; ++n) {
            // The last input of each table is long enough for the engine's
            // per-call shortcuts for long sources.
            const bool long_input = n == 11;
            const Bytes src = long_input ? random.long_input(*x, 600) : random.input(*x);
            const int most = long_input ? 4 * static_cast<int>(src.size()) : 40;
            const INTL_INT destlen = random.below(3) == 0 ? -1 : random.below(most);
            const INTL_INT srcend = random.below(2);
            const bool with_dest = random.below(5) != 0;
            const std::size_t room = 8 * src.size() + 2;
            const Outcome want = reference_translate(*x, src, destlen, srcend, with_dest, room);
            const Outcome got = translate(x, src, static_cast<INTL_INT>(src.size()), destlen,
                                          srcend, with_dest, room);
            ASSERT_EQ(got, want) << "table " << table << " input " << n;
            ++runs;
            matched_runs += want.result != want.used;
        }
    }
    EXPECT_GT(matched_runs, runs / 4) << "the inputs must exercise the mappings";
}

// ------------------------------------------------------------------------
// Compiled files

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

std::string record_bytes(const INTL_MAP &m) {
    return le32(static_cast<std::uint32_t>(m.src_left)) +
           le32(static_cast<std::uint32_t>(m.dest_chars)) +
           std::string(reinterpret_cast<const char *>(m.src_pattern), 7) +
           std::string(reinterpret_cast<const char *>(m.dest_pattern), 8) + "\x5A";
}

// One table block: code word, 256 list headers (the pointer's place holding
// 0xDEADBEEF), the records. `sizes` overrides what a header claims.
std::string block(INTL_INT tabcode, const std::map<int, std::vector<INTL_MAP>> &lists,
                  const std::map<int, INTL_INT> &sizes = {}) {
    std::string out = le32(static_cast<std::uint32_t>(tabcode));
    std::string records;
    for (int b = 0; b < 256; ++b) {
        const auto list = lists.find(b);
        const auto size = sizes.find(b);
        INTL_INT n = list == lists.end() ? 0 : static_cast<INTL_INT>(list->second.size());
        if (size != sizes.end())
            n = size->second;
        out += le32(static_cast<std::uint32_t>(n)) + le32(0xDEADBEEF);
        if (list != lists.end())
            for (const INTL_MAP &m : list->second)
                records += record_bytes(m);
    }
    return out + records;
}

const std::string version = le32(420);

// One mapping in the list of `first`: first 0x42 -> "xy".
std::map<int, std::vector<INTL_MAP>> one_mapping(int first = 0x41) {
    return {{first, {make_map({0x42}, {'x', 'y'})}}};
}

constexpr std::size_t header_size = sizeof(INTL_XLATE);

int open_descriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

class CompiledFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(intl_sethome(home_.path().c_str()), INTL_OK); }
    void TearDown() override { intl_sethome(nullptr); }

    void put(const std::string &bytes, const std::string &name = "t.xlt") {
        home_.write("charsets/cs/" + name, bytes);
    }

    struct Load {
        INTL_INT rc = 0;
        INTL_XLATE *tosrv = nullptr, *todisp = nullptr;
        std::vector<std::uint64_t> storage; // aligned for pointers
        unsigned char *buf() { return reinterpret_cast<unsigned char *>(storage.data()); }
        // Offset of a table in the buffer.
        std::ptrdiff_t at(const INTL_XLATE *t) {
            return reinterpret_cast<const unsigned char *>(t) - buf();
        }
    };

    // Loads into a buffer of exactly `size` bytes followed by guard bytes;
    // fails the test if anything is written past `size`.
    Load load(std::size_t size, const std::string &name = "t.xlt") {
        Load l;
        l.storage.assign((size + 64) / 8 + 1, 0);
        std::memset(l.buf(), guard, l.storage.size() * 8);
        l.tosrv = l.todisp = reinterpret_cast<INTL_XLATE *>(&l); // must be overwritten
        l.rc = intl_load_xlate(l.buf(), "cs", name.c_str(), &l.tosrv, &l.todisp);
        for (std::size_t i = size; i < l.storage.size() * 8; ++i)
            if (l.buf()[i] != guard) {
                ADD_FAILURE() << "written past " << size << " at " << i;
                break;
            }
        return l;
    }

    TempDir home_;
};

TEST_F(CompiledFile, OneMappingFileSizesExactlyAndLoadsInPlace) {
    const std::string file = version + block(0, one_mapping());
    ASSERT_EQ(file.size(), 2080u);
    put(file);
    const INTL_INT size = intl_xlatesize("cs", "t.xlt");
    EXPECT_EQ(size, sizeof(void *) == 4 ? 2072 : 4120);
    Load l = load(static_cast<std::size_t>(size));
    ASSERT_EQ(l.rc, INTL_OK);
    EXPECT_EQ(l.at(l.tosrv), 0);
    EXPECT_EQ(l.todisp, nullptr);
    const INTL_XLIST &list = l.tosrv->xlist[0x41];
    EXPECT_EQ(list.listsize, 1);
    EXPECT_EQ(reinterpret_cast<unsigned char *>(list.list), l.buf() + header_size);
    EXPECT_EQ(list.list->src_left, 1);
    EXPECT_EQ(list.list->dest_chars, 2);
    EXPECT_EQ(list.list->src_pattern[0], 0x42);
    if constexpr (sizeof(void *) == 4) {
        // The buffer is the file's image from offset 8, but for the pointer
        // of the one non-empty list.
        std::string image(reinterpret_cast<char *>(l.buf()), 2072);
        std::memcpy(image.data() + 0x41 * 8 + 4, "\xEF\xBE\xAD\xDE", 4);
        EXPECT_EQ(image, file.substr(8));
    } else {
        EXPECT_EQ(l.tosrv->xlist[0x40].list, nullptr);
    }
    const unsigned char src[] = {0x41, 0x42, 0x41};
    unsigned char dest[8];
    INTL_INT used, status;
    EXPECT_EQ(intl_xlate(src, 3, dest, -1, l.tosrv, &used, 1, &status), 3);
    EXPECT_STREQ(reinterpret_cast<char *>(dest), "xyA");
}

TEST_F(CompiledFile, BlocksOfEachKindAndTheirPlaces) {
    const std::size_t table = header_size + 24;
    const struct {
        std::vector<INTL_INT> tabcodes;
        std::ptrdiff_t tosrv, todisp; // offsets, -1 for null
    } rows[] = {
        {{}, -1, -1},
        {{1}, -1, 0},
        {{0}, 0, -1},
        {{7}, 0, -1},
        {{-1}, 0, -1},
        {{1, 0}, static_cast<std::ptrdiff_t>(table), 0},
        {{0, 1}, 0, static_cast<std::ptrdiff_t>(table)},
        {{0, 0}, static_cast<std::ptrdiff_t>(table), -1},
        {{1, 1}, -1, static_cast<std::ptrdiff_t>(table)},
        {{0, 1, 1}, 0, static_cast<std::ptrdiff_t>(table)},
    };
    for (const auto &row : rows) {
        std::string file = version;
        for (std::size_t i = 0; i < row.tabcodes.size(); ++i)
            file += block(row.tabcodes[i], one_mapping(0x41 + static_cast<int>(i)));
        put(file);
        const INTL_INT size = intl_xlatesize("cs", "t.xlt");
        SCOPED_TRACE(::testing::Message() << row.tabcodes.size() << " blocks, size " << size);
        if (row.tabcodes.empty()) {
            EXPECT_EQ(size, -4);
        }
        Load l = load(static_cast<std::size_t>(std::max(size, 0)));
        ASSERT_EQ(l.rc, INTL_OK);
        EXPECT_EQ(l.tosrv ? l.at(l.tosrv) : -1, row.tosrv);
        EXPECT_EQ(l.todisp ? l.at(l.todisp) : -1, row.todisp);
        if (row.tabcodes.size() >= 2) {
            const INTL_XLATE *second = reinterpret_cast<INTL_XLATE *>(l.buf() + table);
            EXPECT_EQ(second->xlist[0x42].listsize, 1);
            EXPECT_EQ(reinterpret_cast<const unsigned char *>(second->xlist[0x42].list),
                      l.buf() + table + header_size);
        }
    }
}

TEST_F(CompiledFile, StrayBytesAfterABlockReadAsNoFurtherBlock) {
    for (const std::string stray : {"\x01", "\x01\x00", "\x01\x00\x00"}) {
        put(version + block(1, one_mapping()) + stray);
        Load l = load(static_cast<std::size_t>(intl_xlatesize("cs", "t.xlt")));
        EXPECT_EQ(l.rc, INTL_OK);
        EXPECT_EQ(l.at(l.todisp), 0);
        EXPECT_EQ(l.tosrv, nullptr);
    }
}

TEST_F(CompiledFile, NegativeListSizesAreEmptyLists) {
    put(version + block(0, {{0x41, {make_map({}, {'q'})}}}, {{0x30, -5}, {0x31, INT32_MIN}}));
    Load l = load(static_cast<std::size_t>(intl_xlatesize("cs", "t.xlt")));
    ASSERT_EQ(l.rc, INTL_OK);
    EXPECT_EQ(l.tosrv->xlist[0x30].listsize, -5);
    const unsigned char src[] = {0x30, 0x41};
    unsigned char dest[4];
    INTL_INT used, status;
    EXPECT_EQ(intl_xlate(src, 2, dest, -1, l.tosrv, &used, 1, &status), 2);
    EXPECT_STREQ(reinterpret_cast<char *>(dest), "0q");
}

TEST_F(CompiledFile, ShortFilesAndImpossibleListsFailWithoutWritingBeyondTheFile) {
    const std::string good =
        version + block(0, {{0x41, {make_map({}, {'a'}), make_map({}, {'b'})}}});
    const struct {
        std::string file;
        std::size_t room; // what the load may write
    } rows[] = {
        {"", 0},
        {"\x01\x02\x03", 0},
        {version + le32(0) + std::string(2047, '\0'), 0},
        {good.substr(0, good.size() - 1), header_size + 24},
        // 2^28 records: the byte count does not fit 32 bits.
        {version + block(0, one_mapping(), {{0x41, 0x10000000}}), header_size},
        {version + block(0, one_mapping(), {{0x41, INT32_MAX}}), header_size},
        {version + block(0, one_mapping(), {{0x41, 1000}}), header_size + 24},
        {version + block(0, one_mapping()) + le32(1) + std::string(100, '\0'), header_size + 24},
    };
    const int descriptors = open_descriptors();
    for (const auto &row : rows) {
        put(row.file);
        Load l = load(row.room);
        EXPECT_EQ(l.rc, INTL_E_READ) << row.file.size();
    }
    EXPECT_EQ(open_descriptors(), descriptors) << "every stream is closed";
}

TEST_F(CompiledFile, LoadedSizeAlwaysSufficesForTheLayout) {
    const std::string two = version + block(0, one_mapping()) + block(1, one_mapping(0x50));
    // Lengths of a two-block file from nothing to whole and beyond, every
    // one near a place where another header fits.
    const auto near = [](std::size_t len, std::size_t edge) {
        return len + 8 >= edge && len <= edge + 8;
    };
    for (std::size_t len = 0; len <= two.size() + 5; ++len) {
        if (!(len < 12 || len % 53 == 0 || near(len, 4 + 2052) || near(len, 4 + 2076) ||
              near(len, 4 + 2076 + 2052) || near(len, two.size())))
            continue;
        const std::string file =
            len <= two.size() ? two.substr(0, len) : two + std::string(len - two.size(), '\x01');
        put(file);
        const INTL_INT size = intl_xlatesize("cs", "t.xlt");
        load(static_cast<std::size_t>(std::max(size, 0)));
        if (HasFailure()) {
            ADD_FAILURE() << "file of " << len << " bytes sized " << size;
            return;
        }
    }
    put(two);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"),
              static_cast<INTL_INT>(two.size() - 8 + 2 * (header_size - 2048)));
}

// A file too big for the result: its size comes from the file system, so a
// sparse file serves, and nothing of it is read.
TEST_F(CompiledFile, SizesBeyondTheResultAreRefused) {
    put("");
    const std::filesystem::path file = home_.path() / "charsets/cs/t.xlt";
    const std::uintmax_t largest = std::uintmax_t{INT32_MAX} + 8 - 2 * (header_size - 2048);
    std::filesystem::resize_file(file, largest);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"), INT32_MAX);
    std::filesystem::resize_file(file, largest + 1);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"), INTL_E_OVERFLOW);
    std::filesystem::resize_file(file, std::uintmax_t{1} << 33);
    EXPECT_EQ(intl_xlatesize("cs", "t.xlt"), INTL_E_OVERFLOW);
}

TEST_F(CompiledFile, MissingFilesAndArgumentsInOrder) {
    INTL_XLATE *a, *b;
    char buf[8];
    EXPECT_EQ(intl_load_xlate(buf, "cs", "none", &a, &b), INTL_E_OPEN);
    EXPECT_EQ(intl_xlatesize("cs", "none"), INTL_E_STAT);
    EXPECT_EQ(intl_load_xlate(nullptr, nullptr, nullptr, nullptr, nullptr), INTL_E_NULLBUF);
    EXPECT_EQ(intl_load_xlate(buf, nullptr, nullptr, nullptr, nullptr), INTL_E_NOCHARSET);
    EXPECT_EQ(intl_load_xlate(buf, "cs", nullptr, nullptr, nullptr), INTL_E_NOXLTNAME);
    EXPECT_EQ(intl_load_xlate(buf, "cs", "t", nullptr, &b), INTL_E_NOXLTTABLE);
    EXPECT_EQ(intl_load_xlate(buf, "cs", "t", &a, nullptr), INTL_E_NOXLTTABLE);
    EXPECT_EQ(intl_xlatesize(nullptr, nullptr), INTL_E_NOCHARSET);
    EXPECT_EQ(intl_xlatesize("cs", nullptr), INTL_E_NOXLTNAME);
}

TEST_F(CompiledFile, PathIsHomeCharsetsCharsetAndNameJoinedAsGiven) {
    const std::string file = version + block(0, one_mapping());
    home_.write("charsets/a.b/sub/x.xlt", file);
    EXPECT_EQ(intl_xlatesize("a.b", "sub/x.xlt"), intl_xlatesize("a.b/sub", "x.xlt"));
    EXPECT_GT(intl_xlatesize("a.b", "sub/x.xlt"), 0);
    EXPECT_EQ(intl_xlatesize("a.b/", "sub/x.xlt"), intl_xlatesize("a.b", "sub/x.xlt"));
    EXPECT_EQ(intl_xlatesize("a.bsub", "x.xlt"), INTL_E_STAT);
    INTL_XLATE *a, *b;
    std::vector<std::uint64_t> buf(1024);
    EXPECT_EQ(intl_load_xlate(buf.data(), "a.b", "sub/x.xlt", &a, &b), INTL_OK);
    ASSERT_EQ(intl_sethome((home_.path().string() + "/").c_str()), INTL_OK);
    EXPECT_GT(intl_xlatesize("a.b", "sub/x.xlt"), 0) << "nothing is added or removed";
}

TEST_F(CompiledFile, OverLongPathsAndHomeFailures) {
    // home + "/charsets/" + "cs" + "/" + name: 511 characters fit, 512 do not.
    const std::size_t fixed = home_.path().string().size() + std::strlen("/charsets/cs/");
    const std::string fits(511 - fixed, 'n'), too_long(512 - fixed, 'n');
    INTL_XLATE *a, *b;
    std::uint64_t buf[4];
    EXPECT_EQ(intl_xlatesize("cs", fits.c_str()), INTL_E_STAT);
    EXPECT_EQ(intl_load_xlate(buf, "cs", fits.c_str(), &a, &b), INTL_E_OPEN);
    EXPECT_EQ(intl_xlatesize("cs", too_long.c_str()), INTL_E_PATHLONG);
    EXPECT_EQ(intl_load_xlate(buf, "cs", too_long.c_str(), &a, &b), INTL_E_PATHLONG);
    const std::string huge(100000, 'c');
    EXPECT_EQ(intl_xlatesize(huge.c_str(), "t"), INTL_E_PATHLONG);

    // A failing lookup of the directory is passed on unchanged.
    const char *saved = std::getenv("KORVAN");
    const std::string keep = saved ? saved : "";
    intl_sethome(nullptr);
    ::setenv("KORVAN", std::string(600, 'k').c_str(), 1);
    EXPECT_EQ(intl_xlatesize("cs", "t"), INTL_E_OVERFLOW);
    EXPECT_EQ(intl_load_xlate(buf, "cs", "t", &a, &b), INTL_E_OVERFLOW);
    saved ? ::setenv("KORVAN", keep.c_str(), 1) : ::unsetenv("KORVAN");
}

// ------------------------------------------------------------------------
// Dump

TEST(Dump, PrintsEveryMappingByteByByte) {
    EXPECT_EQ(dump(nullptr), "Translation table is empty.\n");
    Table empty;
    EXPECT_EQ(dump(empty.get()), "");

    Table t;
    t.add(0x41, {0x42}, {'x', 'y'});
    t.add(0x8E, {0xA1}, {0x0A});
    t.add(0x20, {}, {});
    t.add(0x7F, {0x7E, 0x00}, {0xFF, 0x10});
    t.add(0x30, corrupt_map(50, 60, 0x31)); // at most the patterns are printed
    EXPECT_EQ(dump(t.get()), "Source string:  \nDest string: \n"
                             "Source string: 01111111\nDest string: 11111111\n"
                             "Source string: AB\nDest string: xy\n"
                             "Source string: 7f~0\nDest string: ff10\n"
                             "Source string: 8ea1\nDest string: a\n");
}

} // namespace
