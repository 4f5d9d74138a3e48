// intl list: the compiled tables of the data directory, one pair a line.
#include "home.h"
#include "loaded_tables.h"
#include "tool.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <optional>

namespace tool {

namespace {

struct ListOptions {
    std::string home;
    bool json = false;
};

// One compiled file: the mappings of each table it holds.
struct Pair {
    std::string server, client;
    std::optional<long> to_server, to_display;
    std::uintmax_t bytes = 0;
};

long count_mappings(const INTL_XLATE &table) {
    long count = 0;
    for (const INTL_XLIST &list : table.xlist)
        count += std::max<INTL_INT>(list.listsize, 0);
    return count;
}

std::optional<long> mappings(const INTL_XLATE *table) {
    return table == nullptr ? std::nullopt : std::optional<long>(count_mappings(*table));
}

// Every regular file under charsets/SERVER/ of home, in name order.
std::vector<Pair> find_pairs(const std::string &home) {
    std::vector<Pair> pairs;
    for (const auto &server : std::filesystem::directory_iterator(home + "/charsets"))
        if (server.is_directory())
            for (const auto &client : std::filesystem::directory_iterator(server.path()))
                if (client.is_regular_file())
                    pairs.push_back({server.path().filename().string(),
                                     client.path().filename().string(), std::nullopt, std::nullopt,
                                     client.file_size()});
    std::sort(pairs.begin(), pairs.end(), [](const Pair &a, const Pair &b) {
        return std::tie(a.server, a.client) < std::tie(b.server, b.client);
    });
    return pairs;
}

// Loads the pair's file as a client would; false (after a message) when the
// library refuses it.
bool inspect(const std::string &home, Pair &pair) {
    try {
        const LoadedTables tables({pair.server, pair.client, home, false, false});
        pair.to_server = mappings(tables.to_server());
        pair.to_display = mappings(tables.to_display());
        return true;
    } catch (const Failure &e) {
        std::cerr << "intl list: " << e.what() << '\n';
        return false;
    }
}

std::string held(const char *direction, const std::optional<long> &count) {
    return std::string{direction} + " " + (count ? std::to_string(*count) : "none");
}

// What a line says of a pair, before its size.
std::array<std::string, 4> columns(const Pair &p) {
    return {p.server, p.client, held("to-server", p.to_server), held("to-display", p.to_display)};
}

void print_text(const std::vector<Pair> &pairs) {
    std::array<std::size_t, 4> widths{};
    for (const Pair &p : pairs)
        for (std::size_t i = 0; i < widths.size(); ++i)
            widths[i] = std::max(widths[i], columns(p)[i].size());
    for (const Pair &p : pairs) {
        const std::array<std::string, 4> line = columns(p);
        for (std::size_t i = 0; i < widths.size(); ++i)
            std::cout << std::left << std::setw(static_cast<int>(widths[i])) << line[i] << "  ";
        std::cout << p.bytes << " bytes\n";
    }
}

void print_json(const std::vector<Pair> &pairs) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    const auto count = [](const std::optional<long> &n) {
        return n ? nlohmann::ordered_json(*n) : nlohmann::ordered_json(nullptr);
    };
    for (const Pair &p : pairs)
        out.push_back({{"server", p.server},
                       {"client", p.client},
                       {"to_server", count(p.to_server)},
                       {"to_display", count(p.to_display)},
                       {"bytes", p.bytes}});
    std::cout << out.dump(2) << '\n';
}

int run_list(const ListOptions &options) {
    const std::string home = use_home(options.home);
    std::vector<Pair> pairs;
    bool loaded = true;
    for (Pair &pair : find_pairs(home)) {
        if (inspect(home, pair))
            pairs.push_back(pair);
        else
            loaded = false;
    }
    if (options.json)
        print_json(pairs);
    else
        print_text(pairs);
    return loaded ? exit_ok : exit_failure;
}

} // namespace

Command add_list(CLI::App &app) {
    auto options = std::make_shared<ListOptions>();
    CLI::App *command = app.add_subcommand(
        "list", "List the compiled tables: server, client, mappings of each direction, size");
    add_home_option(*command, options->home);
    command->add_flag("--json", options->json, "Print a JSON array of the tables");
    return {command, [options] { return run_list(*options); }};
}

} // namespace tool
