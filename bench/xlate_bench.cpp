// xlate_bench.cpp - intl_xlate with every table under charsets/ against
// iconv(3) on the same text: synthetic text one-shot and in 4 KiB chunks;
// real text (bench/fetch-corpora) one-shot and a call per line; one-shot
// against ICU's converters as well; the plain copy against memcpy; loading
// the largest table.
#include "corpus.h"
#include "harness.h"
#include "xlate_stream.h"

#include <intl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iconv.h>
#include <memory>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unistd.h>

namespace {

constexpr std::size_t kCorpusBytes = 4u << 20;
constexpr std::size_t kChunk = 4096;
// Room for the output of one chunk in any shipped direction (at most three
// bytes out per byte in), so that a chunk drains in one call.
constexpr std::size_t kChunkOut = 4 * kChunk;

const char *const kTranslation =
    "Translation of synthetic text: intl_xlate vs iconv(3) and ICU ucnv_convertEx";
const char *const kReal = "Translation of real text: intl_xlate vs iconv(3) and ICU ucnv_convertEx";
const char *const kCopy = "Plain copy: intl_xlate without a table vs memcpy";
const char *const kLoading = "Loading: intl_load_xlate_sized of the largest shipped table";

struct Shipped {
    std::string server;
    std::string client;
};

// Every table the installation directory holds: charsets/SERVER/CLIENT.
std::vector<Shipped> shipped_tables() {
    std::vector<Shipped> all;
    std::error_code ec;
    for (const auto &server :
         std::filesystem::directory_iterator(bench::home_dir() + "/charsets", ec)) {
        for (const auto &table : std::filesystem::directory_iterator(server.path(), ec)) {
            if (table.is_regular_file()) {
                all.push_back({server.path().filename(), table.path().filename()});
            }
        }
    }
    std::sort(all.begin(), all.end(), [](const Shipped &a, const Shipped &b) {
        return a.server + "/" + a.client < b.server + "/" + b.client;
    });
    return all;
}

std::string table_name(const Shipped &pair) {
    return pair.client;
}

std::string table_path(const Shipped &pair) {
    return bench::home_dir() + "/charsets/" + pair.server + "/" + table_name(pair);
}

// A loaded table file; the tables live in `buffer`.
struct Tables {
    std::vector<std::uint64_t> buffer;
    INTL_XLATE *to_server = nullptr;
    INTL_XLATE *to_display = nullptr;
};

std::shared_ptr<Tables> load_tables(const Shipped &pair, std::string *why) {
    const std::string name = table_name(pair);
    INTL_INT size = intl_xlatesize(pair.server.c_str(), name.c_str());
    if (size < 0) {
        *why = std::string("intl_xlatesize: ") + intl_errstr(size);
        return nullptr;
    }
    auto tables = std::make_shared<Tables>();
    tables->buffer.resize(static_cast<std::size_t>(size) / 8 + 1);
    INTL_INT rc = intl_load_xlate_sized(tables->buffer.data(), size, pair.server.c_str(),
                                        name.c_str(), &tables->to_server, &tables->to_display);
    if (rc != INTL_OK) {
        *why = std::string("intl_load_xlate_sized: ") + intl_errstr(rc);
        return nullptr;
    }
    return tables;
}

std::string read_file(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("no " + path + " (run bench/fetch-corpora)");
    }
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The name by which ICU knows a set where it differs from iconv's.
std::string icu_name(const std::string &set) {
    if (set == "CP949") {
        return "windows-949";
    }
    return set == "CP932" ? "windows-31j" : set;
}

// ICU's converters of one direction, opened once.
struct IcuPair {
    UConverter *from = nullptr;
    UConverter *to = nullptr;
    IcuPair(const std::string &source, const std::string &target) {
        UErrorCode err = U_ZERO_ERROR;
        from = ucnv_open(icu_name(source).c_str(), &err);
        to = ucnv_open(icu_name(target).c_str(), &err);
    }
    ~IcuPair() {
        ucnv_close(from);
        ucnv_close(to);
    }
    IcuPair(const IcuPair &) = delete;
    IcuPair &operator=(const IcuPair &) = delete;
    bool ok() const { return from && to; }
};

// --- the four ways of converting one corpus -------------------------------

// Buffers for chunked work: the input chunk after the carried tail, and the
// output of one chunk.
struct ChunkBuffers {
    std::vector<unsigned char> in = std::vector<unsigned char>(kChunk + 16);
    std::vector<unsigned char> out = std::vector<unsigned char>(kChunkOut);
};

long ours_oneshot(const INTL_XLATE *table, const std::string &in, std::string &out) {
    INTL_INT used = 0, status = 0;
    INTL_INT n =
        intl_xlate(reinterpret_cast<const unsigned char *>(in.data()),
                   static_cast<INTL_INT>(in.size()), reinterpret_cast<unsigned char *>(out.data()),
                   static_cast<INTL_INT>(out.size()), table, &used, 1, &status);
    return n < 0 || static_cast<std::size_t>(used) != in.size() || status != 0 ? -1 : n;
}

// A streaming translation in 4 KiB pieces through the caller's loop that
// the intl tool uses, saying `srcend` on the last piece.
long ours_chunked(const INTL_XLATE *table, const std::string &in, ChunkBuffers &,
                  std::string *collect) {
    intl_stream::XlateStream stream(table, kChunkOut, kChunk);
    const auto *bytes = reinterpret_cast<const unsigned char *>(in.data());
    long produced = 0;
    const auto sink = [&](const unsigned char *out, std::size_t n) {
        if (collect)
            collect->append(reinterpret_cast<const char *>(out), n);
        produced += static_cast<long>(n);
    };
    for (std::size_t pos = 0;;) {
        const std::size_t take = std::min(kChunk, in.size() - pos);
        pos += take;
        if (stream.feed(bytes + pos - take, take, pos == in.size(), sink) != nullptr)
            return -1;
        if (pos == in.size())
            return produced;
    }
}

long iconv_oneshot(iconv_t cd, const std::string &in, std::string &out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *src = const_cast<char *>(in.data());
    std::size_t src_left = in.size();
    char *dest = out.data();
    std::size_t dest_left = out.size();
    if (iconv(cd, &src, &src_left, &dest, &dest_left) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &dest, &dest_left) == static_cast<std::size_t>(-1)) {
        return -1;
    }
    return static_cast<long>(out.size() - dest_left);
}

// The same streaming loop with iconv: EINVAL leaves the tail, E2BIG asks
// for the output to be drained.
long iconv_chunked(iconv_t cd, const std::string &in, ChunkBuffers &b, std::string *collect) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::size_t pos = 0, carry = 0;
    long produced = 0;
    for (;;) {
        std::size_t take = std::min(kChunk, in.size() - pos);
        std::memcpy(b.in.data() + carry, in.data() + pos, take);
        pos += take;
        char *src = reinterpret_cast<char *>(b.in.data());
        std::size_t left = carry + take;
        for (;;) {
            char *dest = reinterpret_cast<char *>(b.out.data());
            std::size_t dest_left = kChunkOut;
            std::size_t rc = iconv(cd, &src, &left, &dest, &dest_left);
            std::size_t n = kChunkOut - dest_left;
            if (collect) {
                collect->append(reinterpret_cast<char *>(b.out.data()), n);
            }
            produced += static_cast<long>(n);
            if (rc != static_cast<std::size_t>(-1) || errno == EINVAL) {
                break;
            }
            if (errno != E2BIG) {
                return -1;
            }
        }
        carry = left;
        std::memmove(b.in.data(), src, carry);
        if (pos == in.size()) {
            return carry ? -1 : produced;
        }
    }
}

// A call per line, each line with its newline; the output of all lines is
// laid end to end in `out`.
long ours_lines(const INTL_XLATE *table, const std::string &in,
                const std::vector<std::size_t> &ends, std::string &out) {
    const auto *src = reinterpret_cast<const unsigned char *>(in.data());
    auto *dest = reinterpret_cast<unsigned char *>(out.data());
    std::size_t start = 0, produced = 0;
    for (std::size_t end : ends) {
        INTL_INT used = 0, status = 0;
        INTL_INT n =
            intl_xlate(src + start, static_cast<INTL_INT>(end - start), dest + produced,
                       static_cast<INTL_INT>(out.size() - produced), table, &used, 1, &status);
        if (n < 0 || status != 0) {
            return -1;
        }
        produced += static_cast<std::size_t>(n);
        start = end;
    }
    return static_cast<long>(produced);
}

long iconv_lines(iconv_t cd, const std::string &in, const std::vector<std::size_t> &ends,
                 std::string &out) {
    char *src = const_cast<char *>(in.data());
    char *dest = out.data();
    std::size_t dest_left = out.size();
    std::size_t start = 0;
    for (std::size_t end : ends) {
        std::size_t left = end - start;
        if (iconv(cd, &src, &left, &dest, &dest_left) == static_cast<std::size_t>(-1)) {
            return -1;
        }
        start = end;
    }
    return static_cast<long>(out.size() - dest_left);
}

long icu_oneshot(const IcuPair &icu, const std::string &in, std::string &out) {
    UErrorCode err = U_ZERO_ERROR;
    char *target = out.data();
    const char *source = in.data();
    ucnv_convertEx(icu.to, icu.from, &target, out.data() + out.size(), &source,
                   in.data() + in.size(), nullptr, nullptr, nullptr, nullptr, true, true, &err);
    return U_FAILURE(err) ? -1 : static_cast<long>(target - out.data());
}

// --- one direction of one pair --------------------------------------------

// The text of a pair in both of its sets, made on first use: synthetic, or
// real text in the client set's language.
struct PairText {
    Shipped pair;
    bool real = false;
    bool made = false;
    std::string client, server, error;

    void make() {
        if (made) {
            return;
        }
        made = true;
        try {
            if (real) {
                const std::string language =
                    bench::language_of(pair.client == "UTF-8" ? pair.server : pair.client);
                bench::RealText t =
                    bench::real_text(read_file(bench::corpora_dir() + "/" + language + ".txt"),
                                     pair.client, pair.server);
                client = std::move(t.client);
                server = std::move(t.server);
                return;
            }
            bench::Repertoire r = bench::round_trip_repertoire(pair.client, pair.server);
            client = bench::make_text(r, kCorpusBytes, 0x5eed0000 + pair.client.size());
            server = bench::iconv_convert(pair.client, pair.server, client);
        } catch (const std::exception &e) {
            error = e.what();
        }
    }
};

std::string first_difference(const std::string &ours, const std::string &theirs) {
    std::size_t at = 0;
    while (at < ours.size() && at < theirs.size() && ours[at] == theirs[at]) {
        ++at;
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  "output differs from iconv at byte %zu (ours %zu bytes, iconv %zu)", at,
                  ours.size(), theirs.size());
    return text;
}

struct Direction {
    std::shared_ptr<PairText> text;
    std::shared_ptr<Tables> tables;
    bool to_server = true;
    bool checked = false;
    std::string error;
    std::vector<std::size_t> line_ends; // after each newline, and the end

    const char *from() const { return (to_server ? text->pair.client : text->pair.server).c_str(); }
    const char *to() const { return (to_server ? text->pair.server : text->pair.client).c_str(); }
    const std::string &input() const { return to_server ? text->client : text->server; }
    const std::string &expected() const { return to_server ? text->server : text->client; }
    const INTL_XLATE *table() const { return to_server ? tables->to_server : tables->to_display; }

    // Ours must produce iconv's output, one-shot, chunked and line by line,
    // before anything is timed.
    void check() {
        if (checked) {
            return;
        }
        checked = true;
        text->make();
        if (!text->error.empty()) {
            error = text->error;
            return;
        }
        for (std::size_t at = 0; at < input().size();) {
            std::size_t newline = input().find('\n', at);
            at = newline == std::string::npos ? input().size() : newline + 1;
            line_ends.push_back(at);
        }
        std::string out(expected().size() + 64, '\0');
        long n = ours_oneshot(table(), input(), out);
        out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        ChunkBuffers b;
        std::string chunked;
        std::string lines(expected().size() + 64, '\0');
        long m = ours_lines(table(), input(), line_ends, lines);
        lines.resize(m < 0 ? 0 : static_cast<std::size_t>(m));
        if (n < 0 || m < 0 || ours_chunked(table(), input(), b, &chunked) < 0) {
            error = "intl_xlate did not consume the whole corpus";
        } else if (out != expected()) {
            error = first_difference(out, expected());
        } else if (chunked != expected()) {
            error = "chunked " + first_difference(chunked, expected());
        } else if (lines != expected()) {
            error = "line by line " + first_difference(lines, expected());
        }
    }
};

// What a timed body works with besides its direction.
struct Work {
    ChunkBuffers b;
    std::string out;
    iconv_t cd;
    const IcuPair *icu;
};

using Body = std::function<long(Direction &, Work &)>;

// Named after the table as well: S/C's to-server direction and C/S's
// to-display one do the same work.
std::string bench_name(const Direction &d, const std::string &mode, const std::string &who) {
    return std::string("xlate/") + (d.text->real ? "real/" : "synthetic/") + d.text->pair.server +
           "/" + d.text->pair.client + "/" + d.from() + "->" + d.to() + "/" + mode + "/" + who;
}

void register_direction(const std::shared_ptr<Direction> &d, const std::string &mode,
                        const std::string &who, const Body &body) {
    benchmark::RegisterBenchmark(
        bench_name(*d, mode, who).c_str(), [d, body](benchmark::State &state) {
            d->check();
            if (!d->error.empty()) {
                state.SkipWithError(d->error.c_str());
                return;
            }
            IcuPair icu(d->from(), d->to());
            Work w{ChunkBuffers{}, std::string(d->input().size() * 4 + 64, '\0'),
                   iconv_open(d->to(), d->from()), &icu};
            for (auto _ : state) {
                long n = body(*d, w);
                benchmark::DoNotOptimize(n);
                if (n < 0) {
                    state.SkipWithError("conversion failed");
                    break;
                }
            }
            iconv_close(w.cd);
            state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                                    static_cast<int64_t>(d->input().size()));
        });
}

// Registers ours and iconv on one way of working, and ICU when it has a
// body for it, and adds their ratios (ICU's against `icu_target`).
void register_comparison(const std::shared_ptr<Direction> &d, const char *section,
                         const std::string &mode, const std::string &label, const Body &ours,
                         const Body &iconv, double target, const Body *icu = nullptr,
                         double icu_target = 0) {
    register_direction(d, mode, "intl", ours);
    register_direction(d, mode, "iconv", iconv);
    const std::string work = std::string(d->from()) + " → " + d->to() + " (" +
                             d->text->pair.server + "/" + d->text->pair.client + ")";
    bench::Pair pair{
        section, work + label, bench_name(*d, mode, "intl"), bench_name(*d, mode, "iconv"),
        "iconv", target};
    pair.peer2_name = "ICU";
    if (icu != nullptr) {
        register_direction(d, mode, "icu", *icu);
        pair.peer2 = bench_name(*d, mode, "icu");
        pair.target2 = icu_target;
    }
    bench::add_pair(pair);
}

void register_pair_direction(const std::shared_ptr<Direction> &d) {
    const Body ours1 = [](Direction &d, Work &w) {
        return ours_oneshot(d.table(), d.input(), w.out);
    };
    const Body iconv1 = [](Direction &d, Work &w) { return iconv_oneshot(w.cd, d.input(), w.out); };
    const Body icu1 = [](Direction &d, Work &w) {
        return w.icu->ok() ? icu_oneshot(*w.icu, d.input(), w.out) : -1;
    };
    const Body ours4 = [](Direction &d, Work &w) {
        return ours_chunked(d.table(), d.input(), w.b, nullptr);
    };
    const Body iconv4 = [](Direction &d, Work &w) {
        return iconv_chunked(w.cd, d.input(), w.b, nullptr);
    };
    const Body ours_line = [](Direction &d, Work &w) {
        return ours_lines(d.table(), d.input(), d.line_ends, w.out);
    };
    const Body iconv_line = [](Direction &d, Work &w) {
        return iconv_lines(w.cd, d.input(), d.line_ends, w.out);
    };
    // glibc converts between Japanese sets through UCS-4; a direct table
    // must win by a wide margin there.
    const bool japanese =
        std::strcmp(d->from(), "SHIFT_JIS") == 0 && std::strcmp(d->to(), "EUC-JP") == 0;
    if (!d->text->real) {
        const double target = japanese ? 3.0 : 1.0;
        register_comparison(d, kTranslation, "oneshot", ", one-shot", ours1, iconv1, target, &icu1);
        register_comparison(d, kTranslation, "4KiB", ", 4 KiB chunks", ours4, iconv4, target);
        return;
    }
    const double target = japanese ? 3.0 : 1.5;
    register_comparison(d, kReal, "oneshot", ", one call per file", ours1, iconv1, target, &icu1,
                        1.0);
    register_comparison(d, kReal, "lines", ", one call per line", ours_line, iconv_line, 1.2);
}

void register_translation() {
    for (const Shipped &pair : shipped_tables()) {
        std::string why;
        std::shared_ptr<Tables> tables = load_tables(pair, &why);
        if (!tables) {
            bench::add_note(kTranslation,
                            "no table " + pair.server + "/" + table_name(pair) + " (" + why + ")");
            continue;
        }
        for (bool real : {false, true}) {
            auto text = std::make_shared<PairText>();
            text->pair = pair;
            text->real = real;
            for (bool to_server : {true, false}) {
                auto d = std::make_shared<Direction>();
                d->text = text;
                d->tables = tables;
                d->to_server = to_server;
                if (d->table()) {
                    register_pair_direction(d);
                }
            }
        }
    }
}

// --- plain copy ------------------------------------------------------------

const std::string &copy_corpus() {
    static const std::string text = [] {
        bench::Repertoire r = bench::round_trip_repertoire("ISO-8859-1", "UTF-8");
        return bench::make_text(r, kCorpusBytes, 0xc0b1);
    }();
    return text;
}

long ours_copy(const unsigned char *src, std::size_t n, unsigned char *dest) {
    INTL_INT used = 0, status = 0;
    return intl_xlate(src, static_cast<INTL_INT>(n), dest, static_cast<INTL_INT>(n), nullptr, &used,
                      1, &status);
}

void register_copy_one(const std::string &name, std::size_t piece, bool ours) {
    benchmark::RegisterBenchmark(name.c_str(), [piece, ours](benchmark::State &state) {
        const std::string &text = copy_corpus();
        const auto *src = reinterpret_cast<const unsigned char *>(text.data());
        std::vector<unsigned char> dest(text.size());
        for (auto _ : state) {
            for (std::size_t at = 0; at < text.size(); at += piece) {
                std::size_t n = std::min(piece, text.size() - at);
                if (ours) {
                    ours_copy(src + at, n, dest.data() + at);
                } else {
                    std::memcpy(dest.data() + at, src + at, n);
                }
            }
            benchmark::DoNotOptimize(dest.data());
            benchmark::ClobberMemory();
        }
        if (std::memcmp(dest.data(), src, text.size()) != 0) {
            state.SkipWithError("the copy differs from its source");
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                                static_cast<int64_t>(text.size()));
    });
}

void register_copy() {
    const double within_one_and_a_half = 1 / 1.5;
    for (std::size_t piece : {kCorpusBytes, kChunk}) {
        std::string mode = piece == kChunk ? "4KiB" : "oneshot";
        std::string base = "copy/" + mode + "/";
        register_copy_one(base + "intl", piece, true);
        register_copy_one(base + "memcpy", piece, false);
        bench::add_pair({kCopy, piece == kChunk ? "4 MiB in 4 KiB pieces" : "4 MiB at once",
                         base + "intl", base + "memcpy", "memcpy", within_one_and_a_half});
    }
}

// --- loading ---------------------------------------------------------------

std::uintmax_t file_size(const std::string &path) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// Reads a file into memory allocated without clearing, as the load's is.
long read_whole_file(const std::string &path, std::unique_ptr<char[]> &buffer) {
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    long got = -1;
    if (fstat(fd, &st) == 0) {
        buffer = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(st.st_size));
        got = read(fd, buffer.get(), static_cast<std::size_t>(st.st_size));
    }
    close(fd);
    return got;
}

void register_loading() {
    const std::vector<Shipped> all = shipped_tables();
    const Shipped *largest = nullptr;
    for (const Shipped &pair : all) {
        if (!largest || file_size(table_path(pair)) > file_size(table_path(*largest))) {
            largest = &pair;
        }
    }
    std::uintmax_t size = largest ? file_size(table_path(*largest)) : 0;
    if (!size) {
        bench::add_note(kLoading, "no shipped table found under " + bench::home_dir());
        return;
    }
    const Shipped pair = *largest;
    const std::string base = std::string("load/") + pair.server + "/" + table_name(pair) + "/";
    benchmark::RegisterBenchmark((base + "intl").c_str(), [pair](benchmark::State &state) {
        const std::string name = table_name(pair);
        for (auto _ : state) {
            INTL_INT bytes = intl_xlatesize(pair.server.c_str(), name.c_str());
            // Allocated as a caller would, without clearing it first.
            auto buffer = std::make_unique_for_overwrite<std::uint64_t[]>(
                static_cast<std::size_t>(bytes) / 8 + 1);
            INTL_XLATE *to_server = nullptr, *to_display = nullptr;
            if (intl_load_xlate_sized(buffer.get(), bytes, pair.server.c_str(), name.c_str(),
                                      &to_server, &to_display) != INTL_OK) {
                state.SkipWithError("intl_load_xlate_sized failed");
                break;
            }
            benchmark::DoNotOptimize(to_server);
        }
    });
    benchmark::RegisterBenchmark((base + "read").c_str(), [pair](benchmark::State &state) {
        for (auto _ : state) {
            std::unique_ptr<char[]> fresh;
            if (read_whole_file(table_path(pair), fresh) < 0) {
                state.SkipWithError("cannot read the table file");
                break;
            }
            benchmark::DoNotOptimize(fresh.get());
        }
    });
    benchmark::RegisterBenchmark((base + "iconv_open").c_str(), [pair](benchmark::State &state) {
        for (auto _ : state) {
            iconv_t cd = iconv_open(pair.server.c_str(), pair.client.c_str());
            benchmark::DoNotOptimize(cd);
            iconv_close(cd);
        }
    });
    const std::string work = std::string(pair.server) + "/" + table_name(pair) + " (" +
                             std::to_string(size / 1024) + " KiB)";
    // Loading may cost up to three plain reads of the file.
    bench::add_pair({kLoading, work + ": size, allocate, load", base + "intl", base + "read",
                     "open+read+close of the file", 1.0 / 3});
    bench::add_pair({kLoading, work + ": size, allocate, load", base + "intl", base + "iconv_open",
                     "iconv_open+iconv_close", 0});
}

void setup() {
    if (intl_sethome(bench::home_dir().c_str()) != INTL_OK) {
        bench::add_note(kTranslation, "cannot use " + bench::home_dir() + " as home");
    }
    register_translation();
    register_copy();
    register_loading();
}

} // namespace

int main(int argc, char **argv) {
    return bench::run(argc, argv, setup);
}
