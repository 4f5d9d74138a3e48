// intl mktable --client CS --server CS: a total table source from iconv(3).
//
// Each direction is a table of its own, made from the sequences of the
// charset it translates from: every byte, and every prefix that iconv calls
// incomplete extended by one more byte, up to the 8 bytes a mapping holds.
// A sequence iconv decodes is a character: it maps to what iconv converts
// it to, or becomes the table's substitution when the other side cannot
// hold it. A sequence iconv cannot decode becomes the substitution too: a
// single byte, and a longer one that has the shape of the charset's codes
// (an unassigned code). What is left has no mapping of its own: its first
// byte takes the substitution of its lead byte, and translation resumes at
// the next byte. So every byte sequence translates to text of the target.
// A character beyond U+FFFF without a record of its own is split in two
// halves: from UTF-8 see split_beyond_bmp, from GB18030 split_four_byte_codes.
#include "bytes.h"
#include "output.h"
#include "tool.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <iconv.h>
#include <intl.h>
#include <map>
#include <set>
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
    std::string substitute;
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

// The code points of UTF-32BE text.
std::vector<char32_t> code_points_of(const std::string &utf32) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i + 4 <= utf32.size(); i += 4) {
        char32_t cp = 0;
        for (std::size_t k = 0; k < 4; ++k)
            cp = cp << 8 | static_cast<unsigned char>(utf32[i + k]);
        points.push_back(cp);
    }
    return points;
}

// Whether Unicode assigns a code point beyond U+FFFF to a character, as
// the C library's own character data says; the private-use planes are
// not characters anyone can exchange without an agreement.
class Assigned {
  public:
    Assigned() : locale_(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
        if (locale_ == nullptr)
            throw Failure("the C library has no C.UTF-8 locale to say which characters "
                          "Unicode assigns");
    }
    ~Assigned() { freelocale(locale_); }
    Assigned(const Assigned &) = delete;
    Assigned &operator=(const Assigned &) = delete;
    bool operator()(char32_t cp) const {
        return cp < 0xF0000 && iswprint_l(static_cast<wint_t>(cp), locale_) != 0;
    }

  private:
    locale_t locale_;
};

// How far the enumeration goes: iconv calls every prefix of a 5- or 6-byte
// UTF-8 form incomplete, so the prefixes followed are those of characters
// the charset's encoder writes: a lead byte goes as far as its longest
// character and on with the bytes that stand at each place in some
// character. A lead byte of no such character is followed one byte, for a
// character only the decoder knows.
struct Reach {
    std::array<std::size_t, 256> longest{};
    std::array<std::bitset<256>, longest_mapping> bytes{};
    std::string zero_inside; // a character written with a zero byte after its first

    explicit Reach(const std::string &charset) {
        Converter encode(charset, "UTF-32BE");
        std::string bytes_of;
        for (char32_t cp = 0; cp <= 0x10FFFF; cp = cp == 0xD7FF ? 0xE000 : cp + 1) {
            const char utf32[4] = {0, static_cast<char>(cp >> 16),
                                   static_cast<char>(cp >> 8 & 0xFF), static_cast<char>(cp & 0xFF)};
            if (encode.convert(std::string(utf32, 4), bytes_of) != Outcome::converted ||
                bytes_of.empty() || bytes_of.size() > longest_mapping)
                continue;
            if (zero_inside.empty() && bytes_of.find('\0', 1) != std::string::npos)
                zero_inside = bytes_of;
            auto &longest_here = longest[static_cast<unsigned char>(bytes_of[0])];
            longest_here = std::max(longest_here, bytes_of.size());
            for (std::size_t i = 1; i < bytes_of.size(); ++i)
                bytes[i].set(static_cast<unsigned char>(bytes_of[i]));
        }
    }
    // Whether the enumeration goes on after prefix, and with which bytes.
    std::size_t limit(const std::string &prefix) const {
        const std::size_t own = longest[static_cast<unsigned char>(prefix[0])];
        return own == 0 ? 2 : own;
    }
    bool takes(const std::string &prefix, unsigned byte) const {
        return prefix.empty() || longest[static_cast<unsigned char>(prefix[0])] == 0 ||
               bytes[prefix.size()].test(byte);
    }
};

// What one direction's enumeration met, for the header of the source.
struct Census {
    std::size_t enumerated[longest_mapping + 1] = {};
    std::size_t unchanged = 0;
    std::size_t mapped = 0;
    std::size_t unmappable = 0;      // characters the target cannot hold
    std::size_t dropped = 0;         // characters iconv converts to nothing
    std::size_t unassigned = 0;      // codes of the charset's shape it does not assign
    std::size_t invalid_bytes = 0;   // bytes that are no character on their own
    std::size_t byte_by_byte = 0;    // characters beyond U+FFFF without a record
    std::size_t split_leads = 0;     // [lead, second byte] records that write nothing
    std::size_t split_tails = 0;     // [continuation, continuation] records
    std::size_t split_halves = 0;    // [byte, digit] records, either half of a four-byte code
    std::size_t not_codes = 0;       // sequences of no code's shape, or not followed
    std::size_t zero_prefixes = 0;   // incomplete with a zero byte after the first
    std::size_t too_long_prefix = 0; // still incomplete after 8 bytes
    std::size_t too_long_result = 0; // converting to more than 8 bytes
    std::size_t beyond_bmp = 0;      // left out by --bmp-only
    std::size_t left_out() const { return too_long_prefix + too_long_result + beyond_bmp; }
};

[[noreturn]] void refuse_pair(const MktableOptions &o, const std::string &why) {
    throw Failure("no table can translate between " + o.client + " and " + o.server + ": " + why);
}

// The substitution in the target charset: the code point asked for, else
// U+FFFD where the target has it and the control SUB (U+001A) elsewhere.
std::string substitution_for(const std::string &to, const MktableOptions &options) {
    Converter from_unicode(to, "UTF-32BE");
    const auto encode = [&](char32_t cp) {
        const char utf32[4] = {0, static_cast<char>(cp >> 16), static_cast<char>(cp >> 8 & 0xFF),
                               static_cast<char>(cp & 0xFF)};
        std::string bytes;
        if (from_unicode.convert(std::string(utf32, 4), bytes) != Outcome::converted)
            bytes.clear();
        return bytes;
    };
    if (!options.substitute.empty()) {
        const std::string bytes = encode(std::stoul(options.substitute.substr(2), nullptr, 16));
        if (bytes.empty() || bytes.size() > longest_mapping ||
            bytes.find('\0') != std::string::npos)
            refuse_pair(options, to + " has no " + options.substitute + " to substitute with");
        return bytes;
    }
    const std::string replacement = encode(0xFFFD);
    return replacement.empty() ? encode(0x1A) : replacement;
}

// One table: the sequences of `from` translated into `to`.
struct Direction {
    Direction(const std::string &from_charset, const std::string &to_charset,
              const MktableOptions &o)
        : from(from_charset), to(to_charset), options(o), forth(to, from), decode("UTF-32BE", from),
          substitution(substitution_for(to, o)), reach(from) {
        if (!reach.zero_inside.empty())
            refuse("the " + std::string{from == o.client ? "client" : "server"} + " sequence " +
                   hex_bytes(reach.zero_inside) +
                   " holds a zero byte after its first, which a table cannot hold");
    }

    std::string from, to;
    const MktableOptions &options;
    Converter forth;
    Converter decode;
    std::string substitution;
    Reach reach;
    std::map<std::string, std::string> mapped; // not those that stay as they are
    std::set<std::string> substituted;
    std::set<std::string> deleted;
    std::vector<std::string> undecodable; // of 2 bytes and more, shape not yet known
    Census census;

    [[noreturn]] void refuse(const std::string &why) const { refuse_pair(options, why); }
};

// The compiled format holds a zero byte only as a source's first byte (the
// list index), so characters that need one later cannot be mapped at all;
// a charset of such characters (UTF-16, UTF-32) would be garbled.
void refuse_zero_bytes(const Direction &d, const std::string &bytes, const char *side) {
    if (bytes.find('\0', 1) != std::string::npos)
        d.refuse(std::string{side} + " sequence " + hex_bytes(bytes) +
                 " holds a zero byte after its first, which a table cannot hold");
}

const char *side_of(const Direction &d, bool source) {
    return (d.from == d.options.client) == source ? "client" : "server";
}

bool beyond_bmp(const std::vector<char32_t> &points) {
    for (char32_t cp : points)
        if (cp > 0xFFFF)
            return true;
    return false;
}

// A character of the source charset: its mapping, or the substitution.
void take_character(Direction &d, const std::string &source, const std::vector<char32_t> &points,
                    const Assigned &assigned) {
    Census &census = d.census;
    refuse_zero_bytes(d, source, side_of(d, true));
    const bool beyond = beyond_bmp(points);
    if (beyond && d.options.bmp_only) {
        ++census.beyond_bmp;
        return;
    }
    // A character beyond U+FFFF takes a record only when it is translated:
    // there are a million of them. Any other is substituted in two halves
    // from UTF-8 (split_beyond_bmp), byte by byte from other charsets.
    const bool needs_record = !beyond || (points.size() == 1 && assigned(points[0]));
    std::string target;
    const bool converted = d.forth.convert(source, target) == Outcome::converted;
    if (!converted || target.empty()) {
        ++(converted ? census.dropped : census.unmappable);
        if (!beyond)
            d.substituted.insert(source);
        else
            ++census.byte_by_byte;
        return;
    }
    refuse_zero_bytes(d, target, side_of(d, false));
    if (target.size() > longest_mapping) {
        ++census.too_long_result;
    } else if (!needs_record) {
        ++census.byte_by_byte;
    } else if (target == source && source.size() == 1) {
        ++census.unchanged;
    } else {
        // A longer sequence needs its record even when it stays as it is:
        // its lead byte's list ends in a fallback that would take it.
        ++census.mapped;
        d.mapped.emplace(source, target);
    }
}

void enumerate(Direction &d, const std::string &prefix, const Assigned &assigned);

// Goes on with the sequences that begin with an incomplete prefix; a lead
// byte becomes the substitution when what follows it makes no character.
// A prefix with a zero byte after its first is not extended: a table
// cannot hold what follows it, and iconv calls most such prefixes
// incomplete only for their length.
void extend(Direction &d, const std::string &prefix, const Assigned &assigned) {
    if (prefix.size() == 1)
        d.substituted.insert(prefix);
    if (prefix.find('\0', 1) != std::string::npos)
        ++d.census.zero_prefixes;
    else if (prefix.size() >= longest_mapping)
        ++d.census.too_long_prefix;
    else if (prefix.size() >= d.reach.limit(prefix))
        ++d.census.not_codes;
    else
        enumerate(d, prefix, assigned);
}

void enumerate(Direction &d, const std::string &prefix, const Assigned &assigned) {
    std::string source = prefix + '\0';
    for (unsigned byte = 0; byte <= 0xFF; ++byte) {
        if (!d.reach.takes(prefix, byte))
            continue;
        source.back() = static_cast<char>(byte);
        ++d.census.enumerated[source.size()];
        std::string utf32;
        switch (d.decode.convert(source, utf32)) {
        case Outcome::converted:
            take_character(d, source, code_points_of(utf32), assigned);
            break;
        case Outcome::incomplete:
            extend(d, source, assigned);
            break;
        case Outcome::invalid:
            if (source.size() == 1) {
                ++d.census.invalid_bytes;
                d.substituted.insert(source);
            } else if (source.find('\0', 1) == std::string::npos) {
                d.undecodable.push_back(source);
            }
            break;
        }
    }
}

// The shape of the charset's codes: which lead bytes begin characters of
// each length, and which bytes stand at each later place of them.
struct Shapes {
    std::set<std::pair<char, std::size_t>> leads;
    std::array<std::array<std::bitset<256>, longest_mapping>, longest_mapping + 1> bytes;

    void add(const std::string &code) {
        leads.emplace(code[0], code.size());
        for (std::size_t i = 1; i < code.size(); ++i)
            bytes[code.size()][i].set(static_cast<unsigned char>(code[i]));
    }
    bool fits(const std::string &sequence) const {
        if (leads.count({sequence[0], sequence.size()}) == 0)
            return false;
        for (std::size_t i = 1; i < sequence.size(); ++i)
            if (!bytes[sequence.size()][i].test(static_cast<unsigned char>(sequence[i])))
                return false;
        return true;
    }
};

// A sequence iconv cannot decode is an unassigned code when it has the
// shape of the codes that it can: one substitution for all its bytes.
void take_unassigned_codes(Direction &d) {
    Shapes shapes;
    for (const auto &[source, target] : d.mapped)
        shapes.add(source);
    for (const std::string &source : d.substituted)
        if (source.size() > 1)
            shapes.add(source);
    for (const std::string &source : d.undecodable) {
        if (shapes.fits(source)) {
            ++d.census.unassigned;
            d.substituted.insert(source);
        } else {
            ++d.census.not_codes;
        }
    }
    d.undecodable.clear();
}

bool decodes_to(Converter &decode, const std::string &bytes, char32_t cp) {
    std::string utf32;
    return decode.convert(bytes, utf32) == Outcome::converted &&
           code_points_of(utf32) == std::vector<char32_t>{cp};
}

// Whether a charset decodes as UTF-8 does (under whichever name iconv
// knows it).
bool decodes_as_utf8(Converter &decode) {
    return decodes_to(decode, "\xC3\xA9", 0xE9) && decodes_to(decode, "\xE2\x82\xAC", 0x20AC) &&
           decodes_to(decode, "\xF0\x9F\x98\x80", 0x1F600);
}

// Whether a charset writes every code point in four bytes where it has no
// shorter code, as GB18030 does.
bool decodes_as_gb18030(Converter &decode) {
    return decodes_to(decode, "\x81\x30\x81\x30", 0x80) &&
           decodes_to(decode, "\x90\x30\x81\x30", 0x10000) &&
           decodes_to(decode, "\xE3\x32\x9A\x35", 0x10FFFF);
}

// A UTF-8 character beyond U+FFFF takes a record only when it is
// translated; the million others would cost 25 MB a table, and the format
// has no wildcard. So the lead byte with any second byte it may have
// writes nothing, and any two continuation bytes write the substitution:
// such a character becomes one substitution, while a character's own
// record is longer and wins. The price: a run of n stray continuation
// bytes becomes (n + 1) / 2 substitutions, and a four-byte sequence that
// breaks off after its second byte leaves nothing at all.
void split_beyond_bmp(Direction &d) {
    for (unsigned lead = 0xF0; lead <= 0xF4; ++lead) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        for (unsigned second = low; second <= high; ++second)
            d.deleted.insert({static_cast<char>(lead), static_cast<char>(second)});
    }
    for (unsigned first = 0x80; first <= 0xBF; ++first)
        for (unsigned second = 0x80; second <= 0xBF; ++second)
            d.substituted.insert({static_cast<char>(first), static_cast<char>(second)});
    d.census.split_leads = d.deleted.size();
    d.census.split_tails = 64 * 64;
}

// A GB18030 code of four bytes is two halves of one shape, a byte
// 0x81-0xFE and a digit (no two-byte code ends in a digit). A code without
// a record of its own (beyond U+FFFF, the characters the table does not
// translate and the codes iconv does not decode; the codes under 0x81-0x84
// that it does not decode have their own) could become one substitution
// only if one of its halves wrote nothing, and a record cannot tell a first
// half from a second: with 0x9A 0x35 writing nothing, U+10FFFF (E3 32 9A
// 35) would leave no mark. So every half writes the substitution: such a
// code becomes two, a lead byte and digit that no half follows one, and no
// digit of a code is left in the text. A second half and the first half of
// a four-byte code after it may still make a code that has a record; no
// set of records short of one per code can prevent it, as every record
// added for that begins with a first half that another code's second half
// may be.
void split_four_byte_codes(Direction &d) {
    for (unsigned first = 0x81; first <= 0xFE; ++first)
        for (unsigned digit = '0'; digit <= '9'; ++digit)
            d.substituted.insert({static_cast<char>(first), static_cast<char>(digit)});
    d.census.split_halves = 126 * 10;
}

void build(Direction &d) {
    const Assigned assigned;
    enumerate(d, std::string{}, assigned);
    take_unassigned_codes(d);
    if (decodes_as_utf8(d.decode))
        split_beyond_bmp(d);
    else if (decodes_as_gb18030(d.decode))
        split_four_byte_codes(d);
}

// " U+00E9 U+0301" for a sequence of the client charset.
std::string code_points(Converter &to_unicode, const std::string &client) {
    std::string utf32;
    if (to_unicode.convert(client, utf32) != Outcome::converted)
        return {};
    std::string text;
    for (char32_t cp : code_points_of(utf32)) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, " U+%04lX", static_cast<unsigned long>(cp));
        text += buffer;
    }
    return text;
}

// What a source sequence becomes.
enum class Fate { mapped, substituted, deleted };
struct Entry {
    Fate fate;
    std::string destination; // of a mapping
};
using Entries = std::map<std::string, Entry>;

// Whether b follows a in a run: alike but in the last byte, one above it,
// of the same fate, and (for mappings) with destinations that count up too.
bool follows(const Entries::const_iterator &a, const Entries::const_iterator &b) {
    const std::string &sa = a->first, &sb = b->first;
    const std::string &da = a->second.destination, &db = b->second.destination;
    if (sa.size() != sb.size() || sa.compare(0, sa.size() - 1, sb, 0, sb.size() - 1) != 0 ||
        static_cast<unsigned char>(sb.back()) != static_cast<unsigned char>(sa.back()) + 1 ||
        a->second.fate != b->second.fate)
        return false;
    return a->second.fate != Fate::mapped ||
           (da.size() == db.size() && da.compare(0, da.size() - 1, db, 0, db.size() - 1) == 0 &&
            static_cast<unsigned char>(db.back()) == static_cast<unsigned char>(da.back()) + 1);
}

// The last entry of the run that starts at it.
Entries::const_iterator run_end(Entries::const_iterator it, Entries::const_iterator end) {
    for (auto next = std::next(it); next != end && follows(it, next); ++next)
        it = next;
    return it;
}

// One section: the substitution, then every entry in source order; runs of
// three or more mappings become a range, runs of substituted or deleted
// sequences one 'substitute' or 'delete' of a span.
void write_section(std::ostream &out, const char *name, const Direction &d,
                   Converter &client_to_unicode, bool keyed_by_client) {
    Entries entries;
    for (const auto &[source, target] : d.mapped)
        entries.emplace(source, Entry{Fate::mapped, target});
    for (const std::string &source : d.substituted)
        entries.emplace(source, Entry{Fate::substituted, {}});
    for (const std::string &source : d.deleted)
        entries.emplace(source, Entry{Fate::deleted, {}});
    out << '\n' << '[' << name << "]\nsubstitution = " << hex_bytes(d.substitution) << '\n';
    const auto client_of = [&](Entries::const_iterator it) {
        return code_points(client_to_unicode, keyed_by_client ? it->first : it->second.destination);
    };
    for (auto it = entries.cbegin(); it != entries.cend();) {
        auto last = run_end(it, entries.cend());
        const Fate fate = it->second.fate;
        if (fate == Fate::mapped && std::distance(it, last) < 2)
            last = it;
        if (fate != Fate::mapped) {
            out << (fate == Fate::substituted ? "substitute = " : "delete = ")
                << hex_bytes(it->first);
            if (last != it)
                out << ", " << hex_bytes(last->first);
            out << '\n';
        } else if (last != it) {
            out << "range = " << hex_bytes(it->first) << ", " << hex_bytes(last->first) << ", "
                << hex_bytes(it->second.destination) << " ;" << client_of(it) << " .."
                << client_of(last) << '\n';
        } else {
            out << "map = " << hex_bytes(it->first) << ", " << hex_bytes(it->second.destination)
                << " ;" << client_of(it) << '\n';
        }
        it = std::next(last);
    }
}

// The command that writes this source, also read by the build's
// regenerate-tables target.
std::string command_line(const MktableOptions &o) {
    return "intl mktable --client " + o.client + " --server " + o.server +
           (o.substitute.empty() ? "" : " --substitute " + o.substitute) +
           (o.bmp_only ? " --bmp-only" : "") + (o.allow_partial ? " --allow-partial" : "");
}

void write_census(std::ostream &out, const char *name, const Direction &d) {
    const Census &c = d.census;
    out << ";\n; [" << name << "]: " << d.from << " to " << d.to << ", substitution "
        << hex_bytes(d.substitution) << ".\n; Enumerated sequences by length:";
    for (std::size_t length = 1; length <= longest_mapping && c.enumerated[length] > 0; ++length)
        out << (length == 1 ? " " : ", ") << c.enumerated[length];
    out << ".\n; Mapped: " << c.mapped << "; unchanged (no mapping needed): " << c.unchanged
        << ".\n; Substituted: " << c.unmappable << " characters " << d.to << " does not hold, "
        << c.dropped << " that iconv drops, " << c.unassigned << " unassigned codes, "
        << c.invalid_bytes << " bytes that are no character.\n";
    if (c.split_leads > 0)
        out << "; Beyond U+FFFF, " << c.byte_by_byte
            << " characters not translated (unassigned, private use or not held)\n"
               "; have no record of their own: each becomes one substitution through the "
            << c.split_leads << "\n; records [lead byte, second byte] -> nothing and the "
            << c.split_tails
            << " [continuation byte,\n; continuation byte] -> the substitution.\n"
               "; Substituted byte by byte: "
            << c.not_codes << " sequences of no code's shape.\n";
    else if (c.split_halves > 0)
        out << "; Beyond U+FFFF, " << c.byte_by_byte
            << " characters not translated (unassigned, private use or not held)\n"
               "; have no record of their own: each becomes two substitutions through the "
            << c.split_halves << "\n; records [byte 0x81-0xFE, digit] -> the substitution, "
            << "one per half.\n; Substituted byte by byte, or in halves when of four bytes: "
            << c.not_codes << " sequences\n; of no code's shape.\n";
    else
        out << "; Substituted byte by byte: " << c.byte_by_byte
            << " characters beyond U+FFFF not translated (unassigned, private use or not held)"
            << ",\n; and " << c.not_codes << " sequences of no code's shape.\n";
    out << "; Left out: " << c.too_long_prefix << " still incomplete after 8 bytes, "
        << c.too_long_result << " that convert to more than 8 bytes, " << c.beyond_bmp
        << " characters beyond U+FFFF.\n";
}

void write_header(std::ostream &out, const MktableOptions &o, const Direction &to_server,
                  const Direction &to_display) {
    out << "; Table source for client charset " << o.client << " and server charset " << o.server
        << ",\n; written from the C library's iconv(3) by\n; \"" << command_line(o)
        << "\"\n; Compile it with intl compile.\n;\n"
        << "; The table is total: every byte sequence translates to text of the other\n"
        << "; side. A character it cannot hold, an unassigned code and a byte that\n"
        << "; begins no character become the substitution; a sequence that breaks off\n"
        << "; becomes one for its first byte, and translation resumes at the next.\n";
    if (to_server.census.split_leads > 0 || to_display.census.split_leads > 0)
        out << ";\n; From UTF-8, a character beyond U+FFFF that the table does not translate\n"
            << "; becomes one substitution in two halves: its first two bytes write\n"
            << "; nothing, its last two the substitution. So two stray continuation bytes\n"
            << "; in a row become one substitution, and a four-byte sequence that breaks\n"
            << "; off after its second byte leaves no mark: the one invalid input that\n"
            << "; does. The format has no wildcard, and a record per character would\n"
            << "; take 25 MB a table.\n";
    if (to_server.census.split_halves > 0 || to_display.census.split_halves > 0)
        out << ";\n; From GB18030, a four-byte code without a record of its own (beyond\n"
            << "; U+FFFF, a character the table does not translate or a code iconv does\n"
            << "; not decode) becomes two substitutions, one per half: its halves have\n"
            << "; one shape, a byte 0x81-0xFE and a digit, and no record can tell them\n"
            << "; apart, so neither may write nothing; one substitution would take a\n"
            << "; record per code, a million. A lead byte and digit that no half follows\n"
            << "; become one substitution. So every invalid input leaves a mark, and no\n"
            << "; digit of such a code is left in the text. But a record cannot know it\n"
            << "; stands at a second half: one followed by a four-byte code may make a\n"
            << "; code with a record together with that code's first half, whose\n"
            << "; character then comes out, and the text is read two bytes late up to a\n"
            << "; character of one or two bytes. Only a record per code would avoid\n"
            << "; that (38 MB).\n";
    write_census(out, "to server", to_server);
    write_census(out, "to display", to_display);
    out << "\n[file format]\nversion = 4.2\n";
}

// A charset that switches states (ISO-2022-JP, -KR, -CN) ends a text it
// wrote with a switch back; no table can say when to write one. A few
// letters of different scripts find that before the enumeration meets a
// less telling reason.
void refuse_stateful(const MktableOptions &o, const std::string &charset) {
    Converter from_unicode(charset, "UTF-32BE");
    for (const char *letter : {"\x00\x00\x00\xE9", "\x00\x00\x04\x10", "\x00\x00\x30\x42",
                               "\x00\x00\x4E\x00", "\x00\x00\xAC\x00"}) {
        std::string bytes;
        try {
            from_unicode.convert(std::string(letter, 4), bytes);
        } catch (const Failure &) {
            refuse_pair(o, charset + " switches states with escape or shift sequences");
        }
    }
}

void refuse_left_out(const MktableOptions &options, const Direction &d) {
    const Census &c = d.census;
    if (c.left_out() == 0 || options.allow_partial)
        return;
    d.refuse(std::to_string(c.left_out()) + " " + d.from + " characters would be left out (" +
             std::to_string(c.too_long_prefix) + " longer than 8 bytes, " +
             std::to_string(c.too_long_result) + " converting to more than 8, " +
             std::to_string(c.beyond_bmp) + " beyond U+FFFF) and substituted " +
             (c.split_leads > 0    ? "once each"
              : c.split_halves > 0 ? "twice each, once per half"
                                   : "byte by byte") +
             "; --allow-partial writes the table "
             "without them");
}

int run_mktable(const MktableOptions &options) {
    if (!options.substitute.empty() &&
        (options.substitute.size() < 3 || options.substitute.compare(0, 2, "U+") != 0 ||
         options.substitute.find_first_not_of("0123456789ABCDEFabcdef", 2) != std::string::npos ||
         options.substitute.size() > 8))
        throw Failure("--substitute takes a code point written U+XXXX, not '" + options.substitute +
                      "'");
    Converter{options.server, options.client}; // names a charset iconv does not know
    refuse_stateful(options, options.client);
    refuse_stateful(options, options.server);
    substitution_for(options.client, options); // refused before the long part
    substitution_for(options.server, options);
    Direction to_server(options.client, options.server, options);
    Direction to_display(options.server, options.client, options);
    for (Direction *d : {&to_server, &to_display}) {
        build(*d);
        refuse_left_out(options, *d);
    }
    Converter client_to_unicode("UTF-32BE", options.client);
    std::ostringstream text;
    write_header(text, options, to_server, to_display);
    write_section(text, "to server", to_server, client_to_unicode, true);
    write_section(text, "to display", to_display, client_to_unicode, false);
    write_output(options.output.empty() ? "-" : options.output, text.str());
    return exit_ok;
}

} // namespace

Command add_mktable(CLI::App &app) {
    auto options = std::make_shared<MktableOptions>();
    CLI::App *command = app.add_subcommand(
        "mktable", "Write a total table source for a client/server charset pair from iconv(3)");
    command->add_option("--client", options->client, "Client charset, as iconv names it")
        ->required();
    command->add_option("--server", options->server, "Server charset, as iconv names it")
        ->required();
    command->add_option("-o,--output", options->output,
                        "File to write (default, and -: standard output)");
    command->add_option("--substitute", options->substitute,
                        "What replaces what the target cannot hold, as a code point U+XXXX "
                        "(default U+FFFD where the target has it, else U+001A)");
    command->add_flag("--bmp-only", options->bmp_only,
                      "Leave out characters beyond U+FFFF (counted as left out)");
    command->add_flag("--allow-partial", options->allow_partial,
                      "Write the table even when characters are left out");
    return {command, [options] { return run_mktable(*options); }};
}

} // namespace tool
