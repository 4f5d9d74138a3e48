// locfile_bench.cpp - opening and walking every value of a large
// localization file, against inih parsing the same text as an INI file.
#include "corpus.h"
#include "harness.h"

#include <intl.h>

#include <cstring>
#include <fstream>
#include <ini.h>

namespace {

const char *const kSection = "Localization files: open and walk every value vs inih";
constexpr std::size_t kFileBytes = 4u << 20;

struct Tally {
    std::size_t values = 0;
    std::size_t bytes = 0;
    bool operator==(const Tally &) const = default;
};

// Every value of every entry of every section; false on any error.
bool walk_ours(const std::string &path, Tally *t) {
    INTL_LOCFILE file;
    INTL_INT status = 0;
    bool ok = intl_open(path.c_str(), &file) == INTL_OK;
    while (ok && intl_nextsection(&file, &status)) {
        while (intl_nextentry(&file, &status)) {
            while (const char *value = intl_nextvalue(&file, &status)) {
                t->bytes += std::strlen(value);
                t->values += status == 0; // a piece (status 1) continues the value
            }
            if (status < 0) {
                break;
            }
        }
        ok = status >= 0;
    }
    ok = ok && status >= 0;
    intl_close(&file);
    return ok;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// inih hands over the whole text after "="; a user of a list splits it at
// the commas and trims the pieces, as the reader does for us.
int split_values(void *user, const char *, const char *, const char *value) {
    auto *t = static_cast<Tally *>(user);
    for (;;) {
        const char *comma = std::strchr(value, ',');
        const char *end = comma ? comma : value + std::strlen(value);
        const char *begin = value;
        while (begin < end && is_blank(*begin)) {
            ++begin;
        }
        while (end > begin && is_blank(end[-1])) {
            --end;
        }
        ++t->values;
        t->bytes += static_cast<std::size_t>(end - begin);
        if (!comma) {
            return 1;
        }
        value = comma + 1;
    }
}

bool walk_inih(const std::string &path, Tally *t) {
    return ini_parse(path.c_str(), split_values, t) == 0;
}

struct Files {
    std::string loc, ini, error;
    Tally expected;
    std::size_t size = 0;
};

const Files &files() {
    static const Files made = [] {
        Files f;
        std::string text =
            bench::make_locfile(kFileBytes, 0x10cf11e, &f.expected.values, &f.expected.bytes);
        f.size = text.size();
        f.loc = bench::scratch_dir() + "/catalog.loc";
        f.ini = bench::scratch_dir() + "/catalog.ini";
        std::ofstream(f.loc, std::ios::binary) << text;
        std::ofstream(f.ini, std::ios::binary) << text;
        Tally ours, theirs;
        if (!walk_ours(f.loc, &ours) || !(ours == f.expected)) {
            f.error = "the reader did not deliver every value (" + std::to_string(ours.values) +
                      " of " + std::to_string(f.expected.values) + ")";
        } else if (!walk_inih(f.ini, &theirs) || !(theirs == f.expected)) {
            f.error = "inih did not deliver every value";
        }
        return f;
    }();
    return made;
}

void register_walk(const char *name, bool (*walk)(const std::string &, Tally *), bool ini) {
    benchmark::RegisterBenchmark(name, [walk, ini](benchmark::State &state) {
        const Files &f = files();
        if (!f.error.empty()) {
            state.SkipWithError(f.error.c_str());
            return;
        }
        for (auto _ : state) {
            Tally t;
            if (!walk(ini ? f.ini : f.loc, &t)) {
                state.SkipWithError("walk failed");
                break;
            }
            benchmark::DoNotOptimize(t.bytes);
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                                static_cast<int64_t>(f.size));
        state.counters["values"] = static_cast<double>(f.expected.values);
    });
}

void setup() {
    register_walk("locfile/intl_walk", walk_ours, false);
    register_walk("locfile/inih", walk_inih, true);
    bench::add_pair(
        {kSection, "4 MiB file, every value", "locfile/intl_walk", "locfile/inih", "inih", 1.0});
}

} // namespace

int main(int argc, char **argv) {
    return bench::run(argc, argv, setup);
}
