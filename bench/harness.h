// harness.h - what every comparison program shares: pairs of benchmarks
// (ours against a peer on the same work), their ratios and targets, the
// program's main loop, and a scratch directory.
#ifndef INTL_BENCH_HARNESS_H
#define INTL_BENCH_HARNESS_H

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace bench {

// One line of the ratio table: `ours` and `peer` name two registered
// benchmarks that do identical work. The speed ratio is the peer's time
// divided by ours (above 1: we are faster). `target` is the least ratio
// that counts as met, 0 when there is none. Speeds are throughputs when
// the benchmarks report the bytes they process, else times per operation.
struct Pair {
    std::string section;
    std::string label;
    std::string ours;
    std::string peer;
    std::string peer_name;
    double target = 0;
    // A second peer on the same work, shown in a column of its own beside
    // the first: its benchmark (empty: none), name and target.
    std::string peer2 = {};
    std::string peer2_name = {};
    double target2 = 0;
};

void add_pair(const Pair &pair);

// A benchmark that cannot run here (a missing table, an environment
// without a peer) is listed under the table with its reason.
void add_note(const std::string &section, const std::string &note);

// The program's main: takes its own flags (`--home=DIR`, `--corpora=DIR`,
// `--markdown=FILE`), lets `setup` register the benchmarks and pairs, runs
// them with Google Benchmark's flags, then prints the ratio table (and
// appends it to the Markdown file). Returns the process exit status.
int run(int argc, char **argv, void (*setup)());

// A private directory under $TMPDIR, removed with its files at exit.
const std::string &scratch_dir();

// The installation directory holding charsets/: `--home=DIR`, else
// $KORVAN, else the build's data directory.
const std::string &home_dir();

// The directory of real-text corpora (one UTF-8 file per language, made by
// bench/fetch-corpora): `--corpora=DIR`, else build/corpora of the sources.
const std::string &corpora_dir();

} // namespace bench

#endif
