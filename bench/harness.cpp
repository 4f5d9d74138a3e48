// harness.cpp - the shared main of the comparison programs: flag handling,
// a reporter that keeps every repetition's time, and the ratio table.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#ifndef INTL_BENCH_HOME
#define INTL_BENCH_HOME ""
#endif

namespace bench {
namespace {

std::vector<Pair> &pairs() {
    static std::vector<Pair> all;
    return all;
}

std::vector<std::pair<std::string, std::string>> &notes() {
    static std::vector<std::pair<std::string, std::string>> all;
    return all;
}

std::string &home_setting() {
    static std::string home;
    return home;
}

std::string &corpora_setting() {
    static std::string corpora;
    return corpora;
}

// Removes `--name=value` from argv and returns the value ("" when absent).
std::string take_flag(int *argc, char **argv, const std::string &name) {
    const std::string prefix = "--" + name + "=";
    std::string value;
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        std::string arg = argv[i];
        if (arg.rfind(prefix, 0) == 0) {
            value = arg.substr(prefix.size());
        } else {
            argv[kept++] = argv[i];
        }
    }
    *argc = kept;
    argv[kept] = nullptr;
    return value;
}

// CPU seconds per iteration of one run. CPU time rather than wall time:
// on a shared machine a descheduled benchmark should not look slow.
double seconds_per_iteration(const benchmark::BenchmarkReporter::Run &run) {
    return run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Passes everything on to the usual display reporter and keeps, per
// benchmark, the time of each repetition (or the median aggregate when
// only aggregates are displayed).
class Collector : public benchmark::BenchmarkReporter {
  public:
    explicit Collector(benchmark::BenchmarkReporter *display) : display_(display) {}

    bool ReportContext(const Context &context) override { return display_->ReportContext(context); }

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            keep(run);
        }
        display_->ReportRuns(runs);
    }

    void Finalize() override { display_->Finalize(); }

    // Median seconds per iteration and the number of samples; 0 when the
    // benchmark did not run or failed.
    std::pair<double, size_t> result(const std::string &name) const {
        auto failed = errors_.find(name);
        if (failed != errors_.end()) {
            return {0, 0};
        }
        auto samples = samples_.find(name);
        if (samples != samples_.end() && !samples->second.empty()) {
            return {median(samples->second), samples->second.size()};
        }
        auto aggregate = medians_.find(name);
        if (aggregate != medians_.end()) {
            return {aggregate->second, 0};
        }
        return {0, 0};
    }

    // Input bytes of one iteration, 0 when the benchmark reports none.
    double bytes(const std::string &name) const {
        auto found = bytes_.find(name);
        return found == bytes_.end() ? 0 : found->second;
    }

    std::string error(const std::string &name) const {
        auto failed = errors_.find(name);
        return failed == errors_.end() ? std::string() : failed->second;
    }

  private:
    void keep(const Run &run) {
        const std::string name = run.run_name.str();
        if (run.error_occurred) {
            errors_[name] = run.error_message;
            return;
        }
        if (run.run_type == Run::RT_Iteration) {
            samples_[name].push_back(seconds_per_iteration(run));
        } else if (run.aggregate_name == "median") {
            medians_[name] = seconds_per_iteration(run);
        } else {
            return;
        }
        auto rate = run.counters.find("bytes_per_second");
        if (rate != run.counters.end()) {
            bytes_[name] = rate->second.value * seconds_per_iteration(run);
        }
    }

    benchmark::BenchmarkReporter *display_;
    std::map<std::string, std::vector<double>> samples_;
    std::map<std::string, double> medians_;
    std::map<std::string, double> bytes_;
    std::map<std::string, std::string> errors_;
};

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Throughput in MiB/s for byte work, else time per operation.
std::string speed(double seconds, double bytes) {
    if (seconds <= 0) {
        return "n/a";
    }
    if (bytes > 0) {
        return fixed(bytes / seconds / (1024.0 * 1024.0), 0) + " MiB/s";
    }
    double ns = seconds * 1e9;
    if (ns >= 1e6) {
        return fixed(ns / 1e6, 2) + " ms";
    }
    if (ns >= 1e4) {
        return fixed(ns / 1e3, 1) + " µs";
    }
    return fixed(ns, 0) + " ns";
}

struct Row {
    std::vector<std::string> cells;
};

const std::vector<std::string> kHeader = {
    "Work", "ours", "peer", "peer's", "speed-up (peer time / ours)", "target", "met", "runs"};

// Two significant digits at least, so that small ratios stay readable.
std::string ratio_text(double ratio) {
    return fixed(ratio, ratio >= 0.1 ? 2 : ratio >= 0.001 ? 4 : 6) + "×";
}

// A section whose pairs have two peers shows both speeds, then the ratio,
// target and verdict against each: the peers' names head the columns.
std::vector<std::string> two_peer_header(const Pair &first) {
    return {"Work",   "ours", first.peer_name,          first.peer2_name, "vs " + first.peer_name,
            "target", "met",  "vs " + first.peer2_name, "target",         "met",
            "runs"};
}

// Appends the speed-up of ours over a peer, its target and whether it is met.
void add_ratio(Row &row, double ours, double peer, double target) {
    bool measured = ours > 0 && peer > 0;
    double ratio = measured ? peer / ours : 0;
    row.cells.push_back(measured ? ratio_text(ratio) : "n/a");
    row.cells.push_back(target > 0 ? "≥ " + fixed(target, 2) + "×" : "—");
    std::string met = "—";
    if (target > 0) {
        met = !measured ? "not measured" : ratio >= target ? "yes" : "**no**";
    }
    row.cells.push_back(met);
}

Row make_row(const Pair &pair, const Collector &collector, bool two_peers) {
    auto [ours, ours_n] = collector.result(pair.ours);
    auto [peer, peer_n] = collector.result(pair.peer);
    Row row;
    row.cells.push_back(pair.label);
    row.cells.push_back(speed(ours, collector.bytes(pair.ours)));
    if (!two_peers) {
        row.cells.push_back(pair.peer_name);
    }
    row.cells.push_back(speed(peer, collector.bytes(pair.peer)));
    if (!two_peers) {
        add_ratio(row, ours, peer, pair.target);
        row.cells.push_back(std::to_string(std::min(ours_n, peer_n)));
        return row;
    }
    auto [peer2, peer2_n] =
        pair.peer2.empty() ? std::pair<double, size_t>{0, ours_n} : collector.result(pair.peer2);
    row.cells.push_back(pair.peer2.empty() ? "—" : speed(peer2, collector.bytes(pair.peer2)));
    add_ratio(row, ours, peer, pair.target);
    add_ratio(row, ours, peer2, pair.peer2.empty() ? 0 : pair.target2);
    if (pair.peer2.empty()) {
        row.cells[row.cells.size() - 3] = "—";
    }
    row.cells.push_back(std::to_string(std::min({ours_n, peer_n, peer2_n})));
    return row;
}

// False for a pair that a --benchmark_filter left out.
bool ran(const Pair &pair, const Collector &collector) {
    for (const std::string &name : {pair.ours, pair.peer, pair.peer2}) {
        if (!name.empty() && (collector.result(name).first > 0 || !collector.error(name).empty())) {
            return true;
        }
    }
    return false;
}

std::string markdown_line(const std::vector<std::string> &cells) {
    std::string line = "|";
    for (const std::string &cell : cells) {
        line += " " + cell + " |";
    }
    return line + "\n";
}

std::vector<std::string> section_order() {
    std::vector<std::string> order;
    auto add = [&order](const std::string &section) {
        if (std::find(order.begin(), order.end(), section) == order.end()) {
            order.push_back(section);
        }
    };
    for (const Pair &pair : pairs()) {
        add(pair.section);
    }
    for (const auto &note : notes()) {
        add(note.first);
    }
    return order;
}

std::string failures(const std::string &section, const Collector &collector) {
    std::string text;
    for (const Pair &pair : pairs()) {
        if (pair.section != section) {
            continue;
        }
        for (const std::string &name : {pair.ours, pair.peer, pair.peer2}) {
            std::string error = name.empty() ? std::string() : collector.error(name);
            if (!error.empty()) {
                text += "- `" + name + "` failed: " + error + "\n";
            }
        }
    }
    return text;
}

// One section's table and notes; empty when a filter left nothing of it.
std::string section_markdown(const std::string &section, const Collector &collector) {
    std::ostringstream out;
    bool any = false;
    const Pair *two = nullptr;
    for (const Pair &pair : pairs()) {
        two = two == nullptr && pair.section == section && !pair.peer2.empty() ? &pair : two;
    }
    for (const Pair &pair : pairs()) {
        if (pair.section != section || !ran(pair, collector)) {
            continue;
        }
        if (!any) {
            const std::vector<std::string> header = two ? two_peer_header(*two) : kHeader;
            out << markdown_line(header);
            out << markdown_line(std::vector<std::string>(header.size(), "---"));
            any = true;
        }
        out << markdown_line(make_row(pair, collector, two != nullptr).cells);
    }
    if (any) {
        out << "\n";
    }
    std::string notes_text = failures(section, collector);
    for (const auto &note : notes()) {
        if (note.first == section) {
            notes_text += "- " + note.second + "\n";
        }
    }
    if (!notes_text.empty()) {
        out << notes_text << "\n";
    }
    return out.str();
}

std::string markdown(const Collector &collector) {
    std::string text;
    for (const std::string &section : section_order()) {
        std::string body = section_markdown(section, collector);
        if (!body.empty()) {
            text += "### " + section + "\n\n" + body;
        }
    }
    return text;
}

void append_file(const std::string &path, const std::string &text) {
    std::ofstream file(path, std::ios::app);
    file << text;
    if (!file) {
        std::cerr << "cannot write " << path << "\n";
    }
}

void remove_scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir(), ignored);
}

} // namespace

void add_pair(const Pair &pair) {
    pairs().push_back(pair);
}

void add_note(const std::string &section, const std::string &note) {
    notes().emplace_back(section, note);
}

const std::string &scratch_dir() {
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "intl-bench-XXXXXX");
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        std::atexit(remove_scratch);
        return pattern;
    }();
    return dir;
}

const std::string &home_dir() {
    if (home_setting().empty()) {
        const char *env = std::getenv("KORVAN");
        home_setting() = env && *env ? env : INTL_BENCH_HOME;
    }
    return home_setting();
}

const std::string &corpora_dir() {
    if (corpora_setting().empty()) {
        corpora_setting() = INTL_BENCH_CORPORA;
    }
    return corpora_setting();
}

int run(int argc, char **argv, void (*setup)()) {
    home_setting() = take_flag(&argc, argv, "home");
    corpora_setting() = take_flag(&argc, argv, "corpora");
    const std::string markdown_path = take_flag(&argc, argv, "markdown");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    setup();
    std::unique_ptr<benchmark::BenchmarkReporter> display(
        benchmark::CreateDefaultDisplayReporter());
    Collector collector(display.get());
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    const std::string table = markdown(collector);
    std::cout << "\n" << table << std::flush;
    if (!markdown_path.empty()) {
        append_file(markdown_path, table);
    }
    return 0;
}

} // namespace bench
