// corpus.cpp - repertoires from iconv(3), running text, localization files.
#include "corpus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <map>
#include <stdexcept>

namespace bench {

std::uint64_t Random::next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

namespace {

class Iconv {
  public:
    Iconv(const std::string &from, const std::string &to)
        : cd_(iconv_open(to.c_str(), from.c_str())) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error("iconv_open " + from + " -> " + to + ": " +
                                     std::strerror(errno));
        }
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    // The whole conversion of `text`, or false when any byte fails.
    bool convert(const std::string &text, std::string *out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out->assign(text.size() * 4 + 16, '\0');
        char *in = const_cast<char *>(text.data());
        size_t in_left = text.size();
        char *dest = out->data();
        size_t dest_left = out->size();
        if (iconv(cd_, &in, &in_left, &dest, &dest_left) == static_cast<size_t>(-1) ||
            iconv(cd_, nullptr, nullptr, &dest, &dest_left) == static_cast<size_t>(-1)) {
            return false;
        }
        out->resize(out->size() - dest_left);
        return true;
    }

    // The conversion of UTF-8 `text` character by character, without the
    // characters the target cannot hold or holds in more than `longest` bytes.
    std::string convert_each(const std::string &text, std::size_t longest) {
        std::string out;
        char piece[16];
        for (std::size_t at = 0; at < text.size();) {
            const auto lead = static_cast<unsigned char>(text[at]);
            const std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char *in = const_cast<char *>(text.data()) + at, *dest = piece;
            std::size_t in_left = std::min(n, text.size() - at), dest_left = sizeof piece;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd_, &in, &in_left, &dest, &dest_left) != static_cast<size_t>(-1) &&
                sizeof piece - dest_left <= longest)
                out.append(piece, sizeof piece - dest_left);
            at += n;
        }
        return out;
    }

    // The conversion of `text` without the sequences the target cannot hold
    // (or that are not valid in the source): each is dropped a byte at a time.
    std::string convert_dropping(const std::string &text) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(text.size() * 4 + 16, '\0');
        char *in = const_cast<char *>(text.data());
        size_t in_left = text.size();
        char *dest = out.data();
        size_t dest_left = out.size();
        while (iconv(cd_, &in, &in_left, &dest, &dest_left) == static_cast<size_t>(-1) &&
               in_left > 0 && errno != E2BIG) {
            ++in;
            --in_left;
        }
        out.resize(out.size() - dest_left);
        return out;
    }

  private:
    iconv_t cd_;
};

// The byte sequences worth trying in a client set: printable one-byte
// codes, and for SHIFT_JIS every lead/trail pair.
std::vector<std::string> candidates(const std::string &client) {
    std::vector<std::string> all;
    const bool sjis = client == "SHIFT_JIS";
    for (int b = 0x20; b <= 0xFF; ++b) {
        bool lead = sjis && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC));
        if (b == 0x7F || (sjis && b >= 0x80 && !lead && (b < 0xA1 || b > 0xDF))) {
            continue;
        }
        if (!lead) {
            all.emplace_back(1, static_cast<char>(b));
            continue;
        }
        for (int t = 0x40; t <= 0xFC; ++t) {
            if (t != 0x7F) {
                all.push_back({static_cast<char>(b), static_cast<char>(t)});
            }
        }
    }
    return all;
}

bool is_letter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

void classify(const std::string &seq, Repertoire *r) {
    const auto first = static_cast<unsigned char>(seq[0]);
    if (seq.size() > 1) {
        r->wide.push_back(seq);
    } else if (first >= 0x80) {
        r->high.push_back(seq);
    } else if (is_letter(first)) {
        r->letters.push_back(seq);
    } else if (std::strchr(",.;:!?()-'", first)) {
        r->punctuation.push_back(seq);
    }
}

const std::string &pick(Random &rng, const std::vector<std::string> &from) {
    return from[rng.below(from.size())];
}

std::string ascii_word(Random &rng, const Repertoire &r, std::size_t letters) {
    std::string word;
    for (std::size_t i = 0; i < letters; ++i) {
        word += pick(rng, r.letters);
    }
    return word;
}

// European running text: short words, an accented letter now and then,
// punctuation, lines of about 72 columns.
std::string latin_text(const Repertoire &r, std::size_t min_bytes, Random &rng) {
    std::string text;
    std::size_t column = 0;
    while (text.size() < min_bytes) {
        std::size_t letters = 2 + rng.below(8);
        std::string word;
        for (std::size_t i = 0; i < letters; ++i) {
            word += !r.high.empty() && rng.percent(12) ? pick(rng, r.high) : pick(rng, r.letters);
        }
        if (!r.punctuation.empty() && rng.percent(8)) {
            word += pick(rng, r.punctuation);
        }
        column += word.size() + 1;
        text += word;
        text += column > 72 ? '\n' : ' ';
        column = column > 72 ? 0 : column;
    }
    return text;
}

// Japanese running text: runs of double-byte characters, some ASCII words
// and half-width katakana, lines of about 40 characters.
std::string wide_text(const Repertoire &r, std::size_t min_bytes, Random &rng) {
    std::string text;
    std::size_t column = 0;
    while (text.size() < min_bytes) {
        unsigned roll = static_cast<unsigned>(rng.below(100));
        if (roll < 10) {
            text += ' ';
            text += ascii_word(rng, r, 3 + rng.below(6));
            text += ' ';
        } else if (roll < 15 && !r.high.empty()) {
            text += pick(rng, r.high);
        } else {
            text += pick(rng, r.wide);
        }
        if (++column > 40) {
            text += '\n';
            column = 0;
        }
    }
    return text;
}

const char *const kWords[] = {
    "open",   "file",    "record",  "table",  "server", "client",  "cannot", "found",
    "the",    "a",       "of",      "value",  "entry",  "section", "name",   "date",
    "month",  "day",     "message", "error",  "user",   "login",   "failed", "password",
    "column", "row",     "index",   "commit", "abort",  "lock",    "wait",   "timeout",
    "retry",  "network", "closed",  "buffer", "full",   "empty",   "ready",  "done"};

std::string phrase(Random &rng) {
    std::size_t words = 1 + rng.below(4);
    std::string text;
    for (std::size_t i = 0; i < words; ++i) {
        if (i) {
            text += ' ';
        }
        if (rng.percent(15)) {
            text += std::to_string(1 + rng.below(99999));
        } else {
            text += kWords[rng.below(std::size(kWords))];
        }
    }
    return text;
}

} // namespace

Repertoire round_trip_repertoire(const std::string &client, const std::string &server) {
    Iconv there(client, server);
    Iconv back(server, client);
    Repertoire r;
    std::string out, again;
    for (const std::string &seq : candidates(client)) {
        if (there.convert(seq, &out) && !out.empty() && back.convert(out, &again) && again == seq) {
            classify(seq, &r);
        }
    }
    if (r.letters.empty()) {
        throw std::runtime_error("no ASCII letters survive " + client + " <-> " + server);
    }
    return r;
}

std::string make_text(const Repertoire &repertoire, std::size_t min_bytes, std::uint64_t seed) {
    Random rng(seed);
    return repertoire.wide.empty() ? latin_text(repertoire, min_bytes, rng)
                                   : wide_text(repertoire, min_bytes, rng);
}

std::string iconv_convert(const std::string &from, const std::string &to, const std::string &text) {
    Iconv cd(from, to);
    std::string out;
    if (!cd.convert(text, &out)) {
        throw std::runtime_error("iconv cannot take the corpus from " + from + " to " + to);
    }
    return out;
}

RealText real_text(const std::string &utf8, const std::string &client, const std::string &server) {
    Iconv to_client("UTF-8", client), to_server(client, server), back(server, client);
    // A character that the round trip loses on either side is dropped, so
    // that both texts hold only what converts both ways; so is one of more
    // than three bytes in the client set, which no table holds (intl
    // mktable goes no further).
    RealText text;
    const std::string kept = to_server.convert_dropping(to_client.convert_each(utf8, 3));
    text.client = server == "UTF-8" ? back.convert_each(kept, 3) : back.convert_dropping(kept);
    text.server = iconv_convert(client, server, text.client);
    return text;
}

std::string make_locfile(std::size_t min_bytes, std::uint64_t seed, std::size_t *values,
                         std::size_t *value_bytes) {
    Random rng(seed);
    std::string file = "; localization catalog generated for the benchmarks\n\n";
    *values = 0;
    *value_bytes = 0;
    for (std::size_t section = 0; file.size() < min_bytes; ++section) {
        file += "[section_" + std::to_string(section) + "]\n";
        std::size_t entries = 20 + rng.below(60);
        for (std::size_t e = 0; e < entries; ++e) {
            if (rng.percent(5)) {
                file += rng.percent(50) ? std::string("\n") : "; " + phrase(rng) + "\n";
            }
            file += "msg_" + std::to_string(e) + " = ";
            std::size_t count = 1 + rng.below(4);
            for (std::size_t v = 0; v < count; ++v) {
                std::string value = phrase(rng);
                file += (v ? ", " : "") + value;
                ++*values;
                *value_bytes += value.size();
            }
            file += '\n';
        }
    }
    return file;
}

std::string language_of(const std::string &set) {
    static const std::map<std::string, std::string> languages = {
        {"SHIFT_JIS", "ja"},     {"CP932", "ja"},     {"EUC-JP", "ja"},     {"GBK", "zh_CN"},
        {"GB18030", "zh_CN"},    {"GB2312", "zh_CN"}, {"EUC-CN", "zh_CN"},  {"BIG5", "zh_TW"},
        {"BIG5-HKSCS", "zh_TW"}, {"CP950", "zh_TW"},  {"EUC-TW", "zh_TW"},  {"EUC-KR", "ko"},
        {"CP949", "ko"},         {"UHC", "ko"},       {"JOHAB", "ko"},      {"KOI8-R", "ru"},
        {"KOI8-U", "ru"},        {"CP1251", "ru"},    {"CP866", "ru"},      {"ISO-8859-5", "ru"},
        {"ISO-8859-7", "el"},    {"CP1253", "el"},    {"CP737", "el"},      {"ISO-8859-2", "pl"},
        {"CP1250", "pl"},        {"CP852", "pl"},     {"ISO-8859-6", "ar"}, {"CP1256", "ar"},
        {"ISO-8859-8", "he"},    {"TIS-620", "th"},   {"ISO-8859-11", "th"}};
    auto found = languages.find(set);
    return found == languages.end() ? "de" : found->second;
}

} // namespace bench
