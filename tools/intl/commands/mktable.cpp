// intl mktable --client CS --server CS: a table source from iconv(3).
//
// Every 1-byte client sequence is converted on its own; a prefix that
// iconv calls incomplete is extended by one more byte, up to the 8 bytes a
// mapping holds (4 for GB18030 and EUC-TW). A sequence that converts maps
// to its server bytes in [to server] unless they are the same bytes; the
// server bytes map back in [to display] when iconv converts them back to
// the same client sequence. A pair no table can express is refused, and a
// table that would leave characters out is written only when asked.
#include "bytes.h"
#include "output.h"
#include "tool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <intl.h>
#include <iostream>
#include <map>
#include <sstream>

namespace tool {

namespace {

// The bytes a compiled mapping holds on either side: its first source byte
// and src_pattern, or dest_pattern.
constexpr std::size_t longest_mapping = sizeof(INTL_MAP::dest_pattern);
static_assert(1 + sizeof(INTL_MAP::src_pattern) == longest_mapping);

struct MktableOptions {
    std::string client;
    std::string server;
    std::string output;
    bool bmp_only = false;
    bool allow_partial = false;
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
    std::size_t enumerated[longest_mapping + 1] = {};
    std::size_t unconvertible = 0;
    std::size_t zero_prefixes = 0;
    std::size_t too_long_prefix = 0;
    std::size_t too_long_result = 0;
    std::size_t beyond_bmp = 0;
    std::size_t unchanged = 0;
    std::size_t round_trips = 0;
    std::size_t one_way = 0;
};

struct Tables {
    std::map<std::string, std::string> to_server;
    std::map<std::string, std::string> to_display;
};

// The pair, its converters and what the enumeration found so far.
struct Enumeration {
    const MktableOptions &options;
    Converter forth;
    Converter back;
    Converter to_unicode;
    Tables tables;
    Census census;

    explicit Enumeration(const MktableOptions &o)
        : options(o), forth(o.server, o.client), back(o.client, o.server),
          to_unicode("UTF-32BE", o.client) {}

    [[noreturn]] void refuse(const std::string &why) const {
        throw Failure("no table can translate between " + options.client + " and " +
                      options.server + ": " + why);
    }

    std::size_t left_out() const {
        return census.too_long_prefix + census.too_long_result + census.beyond_bmp;
    }
};

// The compiled format holds a zero byte only as a source's first byte (the
// list index), so characters that need one later cannot be mapped at all;
// a charset of such characters (UTF-16, UTF-32) would be garbled.
void refuse_zero_bytes(const Enumeration &e, const std::string &bytes, const char *side) {
    if (bytes.find('\0', 1) != std::string::npos)
        e.refuse(std::string{side} + " sequence " + hex_bytes(bytes) +
                 " holds a zero byte after its first, which a table cannot hold");
}

// True when the client sequence is a character beyond U+FFFF.
bool beyond_bmp(Enumeration &e, const std::string &client) {
    std::string utf32;
    return e.to_unicode.convert(client, utf32) == Outcome::converted && utf32.size() >= 4 &&
           (utf32[0] != '\0' || utf32[1] != '\0');
}

void take_pair(Enumeration &e, const std::string &client, const std::string &server) {
    Census &census = e.census;
    // A sequence that converts to nothing only switches a state (a shift
    // or an escape sequence): what follows depends on it.
    if (server.empty())
        e.refuse("the client sequence " + hex_bytes(client) +
                 " converts to nothing: it switches a state, and a table has none");
    refuse_zero_bytes(e, server, "the server");
    if (server.size() > longest_mapping) {
        ++census.too_long_result;
        return;
    }
    if (e.options.bmp_only && beyond_bmp(e, client)) {
        ++census.beyond_bmp;
        return;
    }
    if (client == server)
        ++census.unchanged;
    else
        e.tables.to_server.emplace(client, server);

    std::string again;
    if (e.back.convert(server, again) != Outcome::converted || again != client) {
        ++census.one_way;
        return;
    }
    ++census.round_trips;
    if (client != server)
        e.tables.to_display.emplace(server, client);
}

void enumerate(Enumeration &e, const std::string &prefix);

// Goes on with the sequences that begin with an incomplete prefix. One with
// a zero byte after its first is not: a table cannot hold what follows it,
// and iconv calls most such prefixes incomplete only for their length.
void extend(Enumeration &e, const std::string &prefix) {
    if (prefix.find('\0', 1) != std::string::npos)
        ++e.census.zero_prefixes;
    else if (prefix.size() < longest_mapping)
        enumerate(e, prefix);
    else
        ++e.census.too_long_prefix;
}

void enumerate(Enumeration &e, const std::string &prefix) {
    for (unsigned byte = 0; byte <= 0xFF; ++byte) {
        const std::string client = prefix + static_cast<char>(byte);
        ++e.census.enumerated[client.size()];
        std::string server;
        switch (e.forth.convert(client, server)) {
        case Outcome::converted:
            refuse_zero_bytes(e, client, "the client");
            take_pair(e, client, server);
            break;
        case Outcome::incomplete:
            extend(e, client);
            break;
        case Outcome::invalid:
            ++e.census.unconvertible;
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

// The command that writes this source, also read by the build's
// regenerate-tables target.
std::string command_line(const MktableOptions &o) {
    return "intl mktable --client " + o.client + " --server " + o.server +
           (o.bmp_only ? " --bmp-only" : "") + (o.allow_partial ? " --allow-partial" : "");
}

void write_header(std::ostream &out, const MktableOptions &o, const Census &c,
                  const Tables &tables) {
    out << "; Table source for client charset " << o.client << " and server charset " << o.server
        << ",\n; written from the C library's iconv(3) by\n; \"" << command_line(o)
        << "\"\n; Compile it with intl compile.\n;\n; Enumerated client sequences by length:";
    for (std::size_t length = 1; length <= longest_mapping && c.enumerated[length] > 0; ++length)
        out << (length == 1 ? " " : ", ") << c.enumerated[length];
    out << ".\n; Not characters: " << c.unconvertible << " that iconv cannot convert, "
        << c.zero_prefixes << " incomplete with a zero byte after the first.\n"
        << "; Left out: " << c.too_long_prefix << " still incomplete after 8 bytes, "
        << c.too_long_result << " that convert to more than 8 bytes,\n; " << c.beyond_bmp
        << " characters beyond U+FFFF.\n"
        << "; Unchanged (no mapping needed): " << c.unchanged << ". Round trips: " << c.round_trips
        << "; one way only: " << c.one_way << ".\n"
        << "; Mappings: " << tables.to_server.size() << " to server, " << tables.to_display.size()
        << " to display.\n"
        << "\n[file format]\nversion = 4.2\n";
}

// A charset that switches states (ISO-2022-JP, -KR, -CN) ends a text it
// wrote with a switch back; no table can say when to write one. A few
// letters of different scripts find that before the enumeration meets a
// less telling reason.
void refuse_stateful(const Enumeration &e, const std::string &charset) {
    Converter from_unicode(charset, "UTF-32BE");
    for (const char *letter : {"\x00\x00\x00\xE9", "\x00\x00\x04\x10", "\x00\x00\x30\x42",
                               "\x00\x00\x4E\x00", "\x00\x00\xAC\x00"}) {
        std::string bytes;
        try {
            from_unicode.convert(std::string(letter, 4), bytes);
        } catch (const Failure &) {
            e.refuse(charset + " switches states with escape or shift sequences");
        }
    }
}

int run_mktable(const MktableOptions &options) {
    Enumeration e(options);
    refuse_stateful(e, options.client);
    refuse_stateful(e, options.server);
    enumerate(e, std::string{});
    if (e.left_out() > 0 && !options.allow_partial)
        e.refuse(std::to_string(e.left_out()) + " client characters would be left out (" +
                 std::to_string(e.census.too_long_prefix) + " longer than 8 bytes, " +
                 std::to_string(e.census.too_long_result) + " converting to more than 8, " +
                 std::to_string(e.census.beyond_bmp) +
                 " beyond U+FFFF) and copied unchanged; --allow-partial writes the table "
                 "without them");

    std::ostringstream text;
    write_header(text, options, e.census, e.tables);
    write_section(text, "to server", e.tables.to_server, true, e.to_unicode);
    write_section(text, "to display", e.tables.to_display, false, e.to_unicode);
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
    command->add_option("-o,--output", options->output,
                        "File to write (default, and -: standard output)");
    command->add_flag("--bmp-only", options->bmp_only,
                      "Leave out client characters beyond U+FFFF (counted as left out)");
    command->add_flag("--allow-partial", options->allow_partial,
                      "Write the table even when client characters are left out");
    return {command, [options] { return run_mktable(*options); }};
}

} // namespace tool
