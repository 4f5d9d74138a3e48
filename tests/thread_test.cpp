// Reentrancy: many threads at once, each reading its own localization file,
// building messages with one shared conversion list and translating with one
// shared loaded table, must each get exactly what one thread alone gets. The
// tsan preset runs this under ThreadSanitizer.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

constexpr int thread_count = 8, rounds = 25;

// A custom conversion: the int value in brackets.
INTL_INT bracketed(const char *, void *value, char *out) {
    char text[32];
    const int len = std::snprintf(text, sizeof text, "[%d]", *static_cast<INTL_INT *>(value));
    if (out != nullptr)
        std::memcpy(out, text, static_cast<std::size_t>(len) + 1);
    return len;
}

// The file's sections, entries and values; the datetime section by its call.
void read_locfile(const std::string &path, std::string &result) {
    INTL_LOCFILE lf;
    INTL_INT status = intl_open(path.c_str(), &lf);
    while (const char *section = status >= 0 ? intl_nextsection(&lf, &status) : nullptr) {
        result += std::string("<") + section + ">";
        INTL_DATEINFO di{};
        if (std::strcmp(section, "datetime") == 0) {
            const INTL_INT rc = intl_datetime(&lf, &di); // before di is read
            result += std::to_string(rc) + di.months[11] + std::to_string(di.firstday) +
                      std::to_string(di.is12hour);
        } else
            while (const char *entry = intl_nextentry(&lf, &status))
                for (result += entry; const char *value = intl_nextvalue(&lf, &status);)
                    result += std::string("=") + value;
    }
    result += std::to_string(status) + "/" + std::to_string(intl_close(&lf));
}

// Everything one thread does, as one text to compare.
std::string work(int id, const std::string &path, INTL_CVTLIST *list, const INTL_XLATE *table) {
    std::string result;
    read_locfile(path, result);
    char message[128];
    const INTL_INT len = intl_strbuild(list, message, sizeof message, "%3! %1! %2!",
                                       "%amount %5.1f %s", id, id / 4.0, "text");
    result.append("|").append(std::to_string(len)).append(len >= 0 ? message : "");
    const unsigned char text[] = "abacus \xE9t\xE9";
    unsigned char out[64];
    INTL_INT used = 0, status = 0;
    const INTL_INT n = intl_xlate(text, sizeof text - 1, out, -1, table, &used, 1, &status);
    result.append("|").append(std::to_string(n)).append(reinterpret_cast<char *>(out));
    return result + intl_errstr(-id);
}

TEST(Threads, ConcurrentCallsMatchASingleThread) {
    TempDir dir; // one to-server table: "ab" becomes "X", "a" "yy", byte 0xE9 "e'"
    dir.write("charsets/cs/t",
              le32(1) + xlt_block({0, {{'a', {{"b", "X"}, {"", "yy"}}}, {0xE9, {{"", "e'"}}}}}));
    ASSERT_EQ(intl_sethome(dir.path().c_str()), INTL_OK);
    std::vector<std::uint64_t> buffer(4096); // room for the one table
    INTL_XLATE *table = nullptr, *todisp = nullptr;
    ASSERT_EQ(intl_load_xlate(buffer.data(), "cs", "t", &table, &todisp), INTL_OK);
    intl_sethome(nullptr);
    std::vector<std::uint64_t> list_bytes(static_cast<std::size_t>(intl_fmtsize(2)) / 8 + 1);
    auto *list = reinterpret_cast<INTL_CVTLIST *>(list_bytes.data()); // empty
    ASSERT_EQ(intl_fmtinstall(list, "amount", INTL_T_INT, bracketed), INTL_OK);

    std::vector<std::string> paths, expected;
    for (int id = 0; id < thread_count; ++id) {
        const std::string n = std::to_string(id);
        paths.push_back(dir.write(
            "loc" + n, "; " + n + "\n[file format]\nversion = 4.2\n[datetime]\nmonths = a" + n +
                           ", b, c, d, e, f, g, h, i, j, k, m12_" + n + "\nfirstday = " +
                           std::to_string(1 + id % 7) + "\ntimeformat = " + (id % 2 ? "12" : "24") +
                           "\n[text]\ngreeting = \"hi, " + n + "\", x\n"));
        expected.push_back(work(id, paths.back(), list, table));
    }
    for (const char *part : {"m12_3", "Xyycus e'te'", "[3]", "<text>greeting=hi, 3=x"})
        EXPECT_NE(expected[3].find(part), std::string::npos) << expected[3];
    std::atomic<int> differing{0};
    std::vector<std::thread> threads;
    for (std::size_t id = 0; id < thread_count; ++id)
        threads.emplace_back([&, id] {
            for (int r = 0; r < rounds; ++r)
                differing += work(static_cast<int>(id), paths[id], list, table) != expected[id];
        });
    for (auto &t : threads)
        t.join();
    EXPECT_EQ(differing, 0) << "results that differ from one thread's alone";
}

} // namespace
