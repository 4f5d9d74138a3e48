// Reentrancy: many threads at once, each reading its own localization file,
// building messages with one shared conversion list and translating with one
// shared loaded table, must each get exactly what one thread alone gets. The
// tsan preset runs this under ThreadSanitizer.
#include "support.h"

#include <intl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int thread_count = 8;
constexpr int rounds = 25;

// A custom conversion: the int value in brackets.
INTL_INT bracketed(const char *, void *value, char *out) {
    char text[32];
    const int len = std::snprintf(text, sizeof text, "[%d]", *static_cast<INTL_INT *>(value));
    if (out != nullptr)
        std::memcpy(out, text, static_cast<std::size_t>(len) + 1);
    return len;
}

// One to-server table: "ab" becomes "X", "a" becomes "yy", byte 0xE9
// becomes "e'".
const std::string compiled_table =
    le32(1) + xlt_block({0, {{'a', {{"b", "X"}, {"", "yy"}}}, {0xE9, {{"", "e'"}}}}});

std::string locfile_text(int id) {
    std::string months;
    for (int m = 1; m <= 12; ++m)
        months +=
            (m > 1 ? ", " : "") + std::string("m") + std::to_string(m) + "_" + std::to_string(id);
    return "; thread " + std::to_string(id) +
           "\n[file format]\nversion = 4.2\n[datetime]\nmonths = " + months +
           "\nfirstday = " + std::to_string(1 + id % 7) +
           "\ntimeformat = " + (id % 2 ? "12" : "24") + "\n[text]\ngreeting = \"hello, " +
           std::to_string(id) + "\", abc\n";
}

struct Shared {
    INTL_CVTLIST *list;
    const INTL_XLATE *table;
};

// Everything one thread does, as one text to compare.
std::string work(int id, const std::string &path, const Shared &shared) {
    std::string result;
    INTL_LOCFILE lf;
    if (intl_open(path.c_str(), &lf) != INTL_OK)
        return "open failed";
    INTL_INT status = 0;
    while (const char *section = intl_nextsection(&lf, &status)) {
        result += std::string("<") + section + ">";
        if (std::strcmp(section, "datetime") == 0) {
            INTL_DATEINFO di;
            const INTL_INT rc = intl_datetime(&lf, &di);
            result += std::to_string(rc) + di.months[11] + std::to_string(di.firstday) +
                      std::to_string(di.is12hour);
            continue;
        }
        while (const char *entry = intl_nextentry(&lf, &status)) {
            result += entry;
            while (const char *value = intl_nextvalue(&lf, &status))
                result += std::string("=") + value;
        }
    }
    result += std::to_string(status) + "/" + std::to_string(intl_close(&lf));

    char message[128];
    const INTL_INT len = intl_strbuild(shared.list, message, sizeof message, "%3! %1! %2!",
                                       "%amount %5.1f %s", id, id / 4.0, "text");
    result += '|';
    result += std::to_string(len);
    result += len >= 0 ? message : "";

    const std::string text = "abacus \xE9t\xE9 " + std::to_string(id);
    unsigned char out[64];
    INTL_INT used = 0;
    const INTL_INT n =
        intl_xlate(reinterpret_cast<const unsigned char *>(text.data()),
                   static_cast<INTL_INT>(text.size()), out, -1, shared.table, &used, 1, &status);
    result += '|';
    result += std::to_string(n);
    result += reinterpret_cast<char *>(out);
    result += intl_errstr(-id);
    return result;
}

TEST(Threads, ConcurrentCallsMatchASingleThread) {
    TempDir dir;
    dir.write("charsets/cs/table.xlt", compiled_table);
    ASSERT_EQ(intl_sethome(dir.path().c_str()), INTL_OK);
    const INTL_INT size = intl_xlatesize("cs", "table.xlt");
    ASSERT_GT(size, 0);
    std::vector<std::uint64_t> buffer(static_cast<std::size_t>(size) / 8 + 1);
    INTL_XLATE *tosrv = nullptr;
    INTL_XLATE *todisp = nullptr;
    ASSERT_EQ(intl_load_xlate(buffer.data(), "cs", "table.xlt", &tosrv, &todisp), INTL_OK);
    ASSERT_NE(tosrv, nullptr);

    std::vector<char> list_bytes(static_cast<std::size_t>(intl_fmtsize(2)));
    auto *list = reinterpret_cast<INTL_CVTLIST *>(list_bytes.data());
    list->listcount = 0;
    ASSERT_EQ(intl_fmtinstall(list, "amount", INTL_T_INT, bracketed), INTL_OK);
    const Shared shared{list, tosrv};

    std::vector<std::string> paths;
    std::vector<std::string> expected;
    for (int id = 0; id < thread_count; ++id) {
        paths.push_back(dir.write("loc" + std::to_string(id), locfile_text(id)));
        expected.push_back(work(id, paths.back(), shared));
    }
    EXPECT_NE(expected[3].find("m12_3"), std::string::npos) << expected[3];
    EXPECT_NE(expected[3].find("Xyycus e'te' 3"), std::string::npos) << expected[3];
    EXPECT_NE(expected[3].find("[3]"), std::string::npos) << expected[3];

    std::vector<std::vector<std::string>> got(thread_count);
    std::vector<std::thread> threads;
    for (int id = 0; id < thread_count; ++id)
        threads.emplace_back([&, id] {
            for (int r = 0; r < rounds; ++r)
                got[static_cast<std::size_t>(id)].push_back(
                    work(id, paths[static_cast<std::size_t>(id)], shared));
        });
    for (auto &t : threads)
        t.join();
    intl_sethome(nullptr);
    for (int id = 0; id < thread_count; ++id)
        for (const std::string &result : got[static_cast<std::size_t>(id)])
            EXPECT_EQ(result, expected[static_cast<std::size_t>(id)]) << "thread " << id;
}

} // namespace
