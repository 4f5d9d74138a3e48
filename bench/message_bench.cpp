// message_bench.cpp - one three-argument message (a string, an int and a
// double, used out of order) built by intl_strbuild, by snprintf with
// positional arguments and by ICU's umsg_format.
#include "harness.h"

#include <intl.h>

#include <cstdio>
#include <string>
#include <unicode/umsg.h>
#include <unicode/ustring.h>

namespace {

const char *const kSection = "Messages: intl_strbuild vs snprintf and ICU umsg_format";

// Rotating arguments, so that no call formats exactly what the last one did.
struct Args {
    const char *name;
    int count;
    double ratio;
};

const Args kArgs[] = {{"catalog.dat", 128, 3.14159},    {"users", 7, 99.5},
                      {"orders_2024", 512, 0.25},       {"x", 0, 12.0},
                      {"inventory.idx", 999, 47.125},   {"log", 31, 1.005},
                      {"customer_addresses", 64, 66.6}, {"tmp", 3, 100.0}};
constexpr std::size_t kArgCount = sizeof kArgs / sizeof kArgs[0];

const char *const kTemplate = "%2! records in %1! (%3!%%)";
const char *const kFormats = "%s%d%.2f";
const char *const kPositional = "%2$d records in %1$s (%3$.2f%%)";
const char *const kIcuPattern = "{1,number,integer} records in {0} ({2,number,0.00}%)";

int ours(char *buf, int size, const Args &a) {
    return intl_strbuild(nullptr, buf, size, kTemplate, kFormats, a.name, a.count, a.ratio);
}

int peer(char *buf, int size, const Args &a) {
    return std::snprintf(buf, static_cast<std::size_t>(size), kPositional, a.name, a.count,
                         a.ratio);
}

// ICU's formatter, opened once: its best case. Strings go in as UTF-16.
struct Icu {
    UMessageFormat *format = nullptr;
    UChar names[kArgCount][64];
    std::string error;

    Icu() {
        UChar pattern[128];
        u_uastrcpy(pattern, kIcuPattern);
        UErrorCode status = U_ZERO_ERROR;
        UParseError parse;
        format = umsg_open(pattern, -1, "en_US", &parse, &status);
        if (U_FAILURE(status)) {
            error = std::string("umsg_open: ") + u_errorName(status);
        }
        for (std::size_t i = 0; i < kArgCount; ++i) {
            u_uastrcpy(names[i], kArgs[i].name);
        }
    }
    ~Icu() {
        if (format) {
            umsg_close(format);
        }
    }

    int build(UChar *buf, int size, std::size_t i) {
        UErrorCode status = U_ZERO_ERROR;
        int n = umsg_format(format, buf, size, &status, names[i], kArgs[i].count, kArgs[i].ratio);
        return U_FAILURE(status) ? -1 : n;
    }

    std::string utf8(std::size_t i) {
        UChar wide[256];
        char narrow[512];
        int n = build(wide, 256, i);
        UErrorCode status = U_ZERO_ERROR;
        u_strToUTF8(narrow, sizeof narrow, nullptr, wide, n, &status);
        return U_FAILURE(status) || n < 0 ? std::string("(failed)") : std::string(narrow);
    }
};

// All three must write the same text for every argument set.
std::string disagreement(Icu &icu) {
    for (std::size_t i = 0; i < kArgCount; ++i) {
        char a[256], b[256];
        int n = ours(a, sizeof a, kArgs[i]);
        if (n < 0) {
            return std::string("intl_strbuild: ") + intl_errstr(n);
        }
        peer(b, sizeof b, kArgs[i]);
        std::string c = icu.utf8(i);
        if (std::string(a) != b || c != b) {
            return std::string("outputs differ: \"") + a + "\" / \"" + b + "\" / \"" + c + "\"";
        }
    }
    return "";
}

void setup() {
    static Icu icu;
    static const std::string wrong = icu.error.empty() ? disagreement(icu) : icu.error;
    auto checked = [](benchmark::State &state) {
        if (!wrong.empty()) {
            state.SkipWithError(wrong.c_str());
            return false;
        }
        return true;
    };
    benchmark::RegisterBenchmark("message/intl_strbuild", [checked](benchmark::State &state) {
        char buf[256];
        std::size_t i = 0;
        if (!checked(state)) {
            return;
        }
        for (auto _ : state) {
            benchmark::DoNotOptimize(ours(buf, sizeof buf, kArgs[i]));
            i = (i + 1) % kArgCount;
        }
    });
    benchmark::RegisterBenchmark("message/snprintf", [checked](benchmark::State &state) {
        char buf[256];
        std::size_t i = 0;
        if (!checked(state)) {
            return;
        }
        for (auto _ : state) {
            benchmark::DoNotOptimize(peer(buf, sizeof buf, kArgs[i]));
            i = (i + 1) % kArgCount;
        }
    });
    benchmark::RegisterBenchmark("message/umsg_format", [checked](benchmark::State &state) {
        UChar buf[256];
        std::size_t i = 0;
        if (!checked(state)) {
            return;
        }
        for (auto _ : state) {
            benchmark::DoNotOptimize(icu.build(buf, 256, i));
            i = (i + 1) % kArgCount;
        }
    });
    const std::string work = "3 arguments out of order (string, int, double)";
    bench::add_pair(
        {kSection, work, "message/intl_strbuild", "message/snprintf", "snprintf %2$d…", 1 / 1.5});
    bench::add_pair(
        {kSection, work, "message/intl_strbuild", "message/umsg_format", "ICU umsg_format", 2.0});
}

} // namespace

int main(int argc, char **argv) {
    return bench::run(argc, argv, setup);
}
