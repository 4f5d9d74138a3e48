// message_bench.cpp - messages whose template uses its arguments out of
// order, built by intl_strbuild, by one snprintf call with positional
// arguments and by ICU's umsg_format: a mixed message (a string, an int and
// a double), and messages of integers only, of strings only and of doubles
// only.
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
    const char *user;
    int count;
    int total;
    double ratio;
    double seconds;
};

const Args kArgs[] = {
    {"catalog.dat", "alice", 128, -3, 3.14159, 0.5},
    {"users", "bob", 7, 1048576, 99.5, 12.25},
    {"orders_2024", "carol.smith", 512, 0, 0.25, 1.125},
    {"x", "d", 0, 2147483647, 12.0, 1234.5},
    {"inventory.idx", "erin", 999, -2147483647, 47.125, 0.0625},
    {"log", "frank_the_operator", 31, 65535, 1.005, 3.75},
    {"customer_addresses", "grace", 64, 42, 66.6, 100.0},
    {"tmp", "heidi", 3, -1, 100.0, 8.5},
};
constexpr std::size_t kArgCount = sizeof kArgs / sizeof kArgs[0];

// One message in the three notations, and how each builder is handed the
// arguments. ICU takes strings as UTF-16, converted once beforehand.
struct Mixed {
    static constexpr const char *label = "3 arguments out of order (string, int, double)";
    static constexpr const char *name = "mixed";
    static constexpr double target = 1.2;
    static constexpr const char *text = "%2! records in %1! (%3!%%)";
    static constexpr const char *formats = "%s%d%.2f";
    static constexpr const char *positional = "%2$d records in %1$s (%3$.2f%%)";
    static constexpr const char *icu = "{1,number,integer} records in {0} ({2,number,0.00}%)";
    static int ours(char *buf, int size, const Args &a) {
        return intl_strbuild(nullptr, buf, size, text, formats, a.name, a.count, a.ratio);
    }
    static int peer(char *buf, int size, const Args &a) {
        return std::snprintf(buf, static_cast<std::size_t>(size), positional, a.name, a.count,
                             a.ratio);
    }
    static int theirs(UMessageFormat *f, UChar *buf, int size, const UChar *name, const UChar *,
                      const Args &a, UErrorCode *status) {
        return umsg_format(f, buf, size, status, name, a.count, a.ratio);
    }
};

struct Integers {
    static constexpr const char *label = "3 integers out of order";
    static constexpr const char *name = "integers";
    static constexpr double target = 1.5;
    static constexpr const char *text = "Copied %2! of %1! files, %3! skipped";
    static constexpr const char *formats = "%d%d%d";
    static constexpr const char *positional = "Copied %2$d of %1$d files, %3$d skipped";
    static constexpr const char *icu = "Copied {1,number,#} of {0,number,#} files, {2,number,#} "
                                       "skipped";
    static int ours(char *buf, int size, const Args &a) {
        return intl_strbuild(nullptr, buf, size, text, formats, a.total, a.count,
                             a.total - a.count);
    }
    static int peer(char *buf, int size, const Args &a) {
        return std::snprintf(buf, static_cast<std::size_t>(size), positional, a.total, a.count,
                             a.total - a.count);
    }
    static int theirs(UMessageFormat *f, UChar *buf, int size, const UChar *, const UChar *,
                      const Args &a, UErrorCode *status) {
        // ICU reads numbers as doubles.
        return umsg_format(f, buf, size, status, a.total * 1.0, a.count * 1.0,
                           (a.total - a.count) * 1.0);
    }
};

struct Strings {
    static constexpr const char *label = "3 strings out of order";
    static constexpr const char *name = "strings";
    static constexpr double target = 1.5;
    static constexpr const char *text = "%2!: cannot open %1! for %3!";
    static constexpr const char *formats = "%s%s%s";
    static constexpr const char *positional = "%2$s: cannot open %1$s for %3$s";
    static constexpr const char *icu = "{1}: cannot open {0} for {2}";
    static int ours(char *buf, int size, const Args &a) {
        return intl_strbuild(nullptr, buf, size, text, formats, a.name, a.user, "writing");
    }
    static int peer(char *buf, int size, const Args &a) {
        return std::snprintf(buf, static_cast<std::size_t>(size), positional, a.name, a.user,
                             "writing");
    }
    static int theirs(UMessageFormat *f, UChar *buf, int size, const UChar *name, const UChar *user,
                      const Args &, UErrorCode *status) {
        static const UChar writing[] = {'w', 'r', 'i', 't', 'i', 'n', 'g', 0};
        return umsg_format(f, buf, size, status, name, user, writing);
    }
};

struct Doubles {
    static constexpr const char *label = "2 doubles out of order";
    static constexpr const char *name = "doubles";
    static constexpr double target = 1.0;
    static constexpr const char *text = "%2! s at %1! MB/s";
    static constexpr const char *formats = "%.2f%.1f";
    static constexpr const char *positional = "%2$.1f s at %1$.2f MB/s";
    static constexpr const char *icu = "{1,number,0.0} s at {0,number,0.00} MB/s";
    static int ours(char *buf, int size, const Args &a) {
        return intl_strbuild(nullptr, buf, size, text, formats, a.ratio, a.seconds);
    }
    static int peer(char *buf, int size, const Args &a) {
        return std::snprintf(buf, static_cast<std::size_t>(size), positional, a.ratio, a.seconds);
    }
    static int theirs(UMessageFormat *f, UChar *buf, int size, const UChar *, const UChar *,
                      const Args &a, UErrorCode *status) {
        return umsg_format(f, buf, size, status, a.ratio, a.seconds);
    }
};

// ICU's formatter of one message, opened once: its best case.
template <class M> struct Icu {
    UMessageFormat *format = nullptr;
    UChar names[kArgCount][64];
    UChar users[kArgCount][64];
    std::string error;

    Icu() {
        UChar pattern[128];
        u_uastrcpy(pattern, M::icu);
        UErrorCode status = U_ZERO_ERROR;
        UParseError parse;
        format = umsg_open(pattern, -1, "en_US", &parse, &status);
        if (U_FAILURE(status)) {
            error = std::string("umsg_open: ") + u_errorName(status);
        }
        for (std::size_t i = 0; i < kArgCount; ++i) {
            u_uastrcpy(names[i], kArgs[i].name);
            u_uastrcpy(users[i], kArgs[i].user);
        }
    }
    ~Icu() {
        if (format) {
            umsg_close(format);
        }
    }

    int build(UChar *buf, int size, std::size_t i) {
        UErrorCode status = U_ZERO_ERROR;
        int n = M::theirs(format, buf, size, names[i], users[i], kArgs[i], &status);
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
template <class M> std::string disagreement(Icu<M> &icu) {
    if (!icu.error.empty()) {
        return icu.error;
    }
    for (std::size_t i = 0; i < kArgCount; ++i) {
        char a[256], b[256];
        int n = M::ours(a, sizeof a, kArgs[i]);
        if (n < 0) {
            return std::string("intl_strbuild: ") + intl_errstr(n);
        }
        M::peer(b, sizeof b, kArgs[i]);
        std::string c = icu.utf8(i);
        if (std::string(a) != b || c != b) {
            return std::string("outputs differ: \"") + a + "\" / \"" + b + "\" / \"" + c + "\"";
        }
    }
    return "";
}

// Runs build over the rotating arguments unless the outputs disagree.
template <class Build> void loop(benchmark::State &state, const std::string &wrong, Build build) {
    if (!wrong.empty()) {
        state.SkipWithError(wrong.c_str());
        return;
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(build(i));
        i = (i + 1) % kArgCount;
    }
}

template <class M> void add_message() {
    static Icu<M> icu;
    static const std::string wrong = disagreement(icu);
    const std::string base = std::string("message/") + M::name + "/";
    benchmark::RegisterBenchmark((base + "intl_strbuild").c_str(), [](benchmark::State &state) {
        char buf[256];
        loop(state, wrong, [&](std::size_t i) { return M::ours(buf, sizeof buf, kArgs[i]); });
    });
    benchmark::RegisterBenchmark((base + "snprintf").c_str(), [](benchmark::State &state) {
        char buf[256];
        loop(state, wrong, [&](std::size_t i) { return M::peer(buf, sizeof buf, kArgs[i]); });
    });
    benchmark::RegisterBenchmark((base + "umsg_format").c_str(), [](benchmark::State &state) {
        UChar buf[256];
        loop(state, wrong, [&](std::size_t i) { return icu.build(buf, 256, i); });
    });
    bench::add_pair({kSection, M::label, base + "intl_strbuild", base + "snprintf", "snprintf %2$…",
                     M::target});
    bench::add_pair(
        {kSection, M::label, base + "intl_strbuild", base + "umsg_format", "ICU umsg_format", 3.0});
}

void setup() {
    add_message<Mixed>();
    add_message<Integers>();
    add_message<Strings>();
    add_message<Doubles>();
}

} // namespace

int main(int argc, char **argv) {
    return bench::run(argc, argv, setup);
}
