// intl mktable --client CS --server CS: a table source from iconv(3).
//
// Every 1- and 2-byte client sequence is converted on its own; a prefix
// that iconv calls incomplete is extended by one more byte, up to 3 bytes
// (the 3-byte sequences of EUC charsets). A sequence that converts maps to
// its server bytes in [to server] unless they are the same bytes; the
// server bytes map back in [to display] when iconv converts them back to
// the same client sequence.
#include "bytes.h"
#include "output.h"
#include "tool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <iostream>
#include <map>
#include <sstream>

namespace tool {

namespace {

constexpr std::size_t longest_prefix = 3; // sequences of 4 bytes are not enumerated
constexpr std::size_t longest_mapping = 8;

struct MktableOptions {
    std::string client;
    std::string server;
    std::string output;
};

enum class Outcome { converted, incomplete, invalid };

// One iconv conversion descriptor, reset before every sequence.
class Converter {
  public:
    Converter(const std::string &to, const std::string &from)
        : to_(to), from_(from), cd_(iconv_open(to.c_str(), from.c_str())) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw Failure("iconv cannot convert from " + from + " to " + to + ": " +
                          std::strerror(errno));
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Converts bytes completely into out. Output that only the final flush
    // gives means shift states or held-back characters: no table can say that.
    Outcome convert(const std::string &bytes, std::string &out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[64];
        char *in = const_cast<char *>(bytes.data());
        std::size_t in_left = bytes.size();
        char *next = buffer;
        std::size_t room = sizeof buffer;
        if (iconv(cd_, &in, &in_left, &next, &room) == static_cast<std::size_t>(-1))
            return errno == EINVAL ? Outcome::incomplete : Outcome::invalid;
        const std::size_t converted = sizeof buffer - room;
        if (iconv(cd_, nullptr, nullptr, &next, &room) == static_cast<std::size_t>(-1) ||
            sizeof buffer - room != converted)
            throw Failure("converting from " + from_ + " to " + to_ +
                          " depends on context (shift states or combining characters); "
                          "a translation table cannot express that");
        out.assign(buffer, converted);
        return Outcome::converted;
    }

  private:
    std::string to_;
    std::string from_;
    iconv_t cd_;
};

// What the enumeration met, for the header of the source.
struct Census {
    std::size_t enumerated[longest_prefix + 1] = {};
    std::size_t unconvertible = 0;
    std::size_t too_long_prefix = 0;
    std::size_t to_nothing = 0;
    std::size_t too_long_result = 0;
    std::size_t zero_byte = 0;
    std::size_t unchanged = 0;
    std::size_t round_trips = 0;
    std::size_t one_way = 0;
};

struct Tables {
    std::map<std::string, std::string> to_server;
    std::map<std::string, std::string> to_display;
};

// A mapping the compiled format can hold: zero only as the first source byte.
bool storable(const std::string &source, const std::string &destination) {
    return source.find('\0', 1) == std::string::npos && destination.find('\0') == std::string::npos;
}

void take_pair(const std::string &client, const std::string &server, Converter &back,
               Tables &tables, Census &census) {
    if (server.empty()) {
        ++census.to_nothing;
        return;
    }
    if (server.size() > longest_mapping) {
        ++census.too_long_result;
        return;
    }
    if (client == server)
        ++census.unchanged;
    else if (storable(client, server))
        tables.to_server.emplace(client, server);
    else
        ++census.zero_byte;

    std::string again;
    if (back.convert(server, again) != Outcome::converted || again != client) {
        ++census.one_way;
        return;
    }
    ++census.round_trips;
    if (client != server && storable(server, client))
        tables.to_display.emplace(server, client);
}

void enumerate(const std::string &prefix, Converter &forth, Converter &back, Tables &tables,
               Census &census) {
    for (unsigned byte = 0; byte <= 0xFF; ++byte) {
        const std::string client = prefix + static_cast<char>(byte);
        ++census.enumerated[client.size()];
        std::string server;
        switch (forth.convert(client, server)) {
        case Outcome::converted:
            take_pair(client, server, back, tables, census);
            break;
        case Outcome::incomplete:
            if (client.size() < longest_prefix)
                enumerate(client, forth, back, tables, census);
            else
                ++census.too_long_prefix;
            break;
        case Outcome::invalid:
            ++census.unconvertible;
            break;
        }
    }
}

// " U+00E9 U+0301" for a client sequence, for the reader of the source.
std::string code_points(Converter &to_unicode, const std::string &client) {
    std::string utf32;
    if (to_unicode.convert(client, utf32) != Outcome::converted)
        return {};
    std::string text;
    for (std::size_t i = 0; i + 4 <= utf32.size(); i += 4) {
        unsigned long cp = 0;
        for (std::size_t k = 0; k < 4; ++k)
            cp = cp << 8 | static_cast<unsigned char>(utf32[i + k]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, " U+%04lX", cp);
        text += buffer;
    }
    return text;
}

// The length of the run of single-byte mappings starting at it, whose
// sources and last destination bytes both count up by one.
std::size_t run_length(std::map<std::string, std::string>::const_iterator it,
                       std::map<std::string, std::string>::const_iterator end) {
    std::size_t length = 1;
    for (auto prev = it++; it != end; prev = it++, ++length) {
        const std::string &a = prev->first, &b = it->first;
        const std::string &da = prev->second, &db = it->second;
        if (a.size() != 1 || b.size() != 1 ||
            static_cast<unsigned char>(b[0]) != static_cast<unsigned char>(a[0]) + 1 ||
            da.size() != db.size() || da.compare(0, da.size() - 1, db, 0, db.size() - 1) != 0 ||
            static_cast<unsigned char>(db.back()) != static_cast<unsigned char>(da.back()) + 1)
            break;
    }
    return length;
}

// Writes one section; runs of three or more single bytes become a range.
void write_section(std::ostream &out, const char *name,
                   const std::map<std::string, std::string> &table, bool keyed_by_client,
                   Converter &to_unicode) {
    out << '\n' << '[' << name << "]\n";
    for (auto it = table.begin(); it != table.end();) {
        const std::string &client = keyed_by_client ? it->first : it->second;
        const std::size_t run = it->first.size() == 1 ? run_length(it, table.end()) : 1;
        if (run >= 3) {
            auto last = std::next(it, static_cast<std::ptrdiff_t>(run - 1));
            const std::string &last_client = keyed_by_client ? last->first : last->second;
            out << "range = " << hex_bytes(it->first) << ", " << hex_bytes(last->first) << ", "
                << hex_bytes(it->second) << " ;" << code_points(to_unicode, client) << " .."
                << code_points(to_unicode, last_client) << '\n';
            it = std::next(last);
            continue;
        }
        out << "map = " << hex_bytes(it->first) << ", " << hex_bytes(it->second) << " ;"
            << code_points(to_unicode, client) << '\n';
        ++it;
    }
}

void write_header(std::ostream &out, const MktableOptions &o, const Census &c,
                  const Tables &tables) {
    out << "; Table source for client charset " << o.client << " and server charset " << o.server
        << ",\n; written by \"intl mktable --client " << o.client << " --server " << o.server
        << "\" from the\n; C library's iconv(3). Compile it with intl compile.\n"
        << ";\n; Enumerated client sequences: " << c.enumerated[1] << " of one byte, "
        << c.enumerated[2] << " of two, " << c.enumerated[3] << " of three.\n"
        << "; Left out: " << c.unconvertible << " that iconv cannot convert, " << c.too_long_prefix
        << " still incomplete after three bytes,\n; " << c.to_nothing
        << " that convert to nothing, " << c.too_long_result
        << " that convert to more than 8 bytes, " << c.zero_byte
        << " with a zero byte\n; the compiled format cannot hold.\n"
        << "; Unchanged (no mapping needed): " << c.unchanged << ". Round trips: " << c.round_trips
        << "; one way only: " << c.one_way << ".\n"
        << "; Mappings: " << tables.to_server.size() << " to server, " << tables.to_display.size()
        << " to display.\n"
        << "\n[file format]\nversion = 4.2\n";
}

int run_mktable(const MktableOptions &options) {
    Converter forth(options.server, options.client);
    Converter back(options.client, options.server);
    Converter to_unicode("UTF-32BE", options.client);
    Tables tables;
    Census census;
    enumerate(std::string{}, forth, back, tables, census);

    std::ostringstream text;
    write_header(text, options, census, tables);
    write_section(text, "to server", tables.to_server, true, to_unicode);
    write_section(text, "to display", tables.to_display, false, to_unicode);
    write_output(options.output.empty() ? "-" : options.output, text.str());
    return exit_ok;
}

} // namespace

Command add_mktable(CLI::App &app) {
    auto options = std::make_shared<MktableOptions>();
    CLI::App *command = app.add_subcommand(
        "mktable", "Write a table source for a client/server charset pair from iconv(3)");
    command->add_option("--client", options->client, "Client charset, as iconv names it")
        ->required();
    command->add_option("--server", options->server, "Server charset, as iconv names it")
        ->required();
    command->add_option("-o,--output", options->output, "File to write (default: standard output)");
    return {command, [options] { return run_mktable(*options); }};
}

} // namespace tool
