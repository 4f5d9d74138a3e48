// corpus.h - deterministic inputs made at run time: text in a character
// set that a pair of sets can carry both ways, and a localization file.
#ifndef INTL_BENCH_CORPUS_H
#define INTL_BENCH_CORPUS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// splitmix64: tiny, fast and the same on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [0, bound).
    std::size_t below(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }
    // True with the given probability in percent.
    bool percent(unsigned chance) { return below(100) < chance; }

  private:
    std::uint64_t state_;
};

// The characters of `client` (as its byte sequences) that iconv(3) takes to
// `server` and back unchanged, sorted by kind.
struct Repertoire {
    std::vector<std::string> letters;     // ASCII letters
    std::vector<std::string> high;        // other one-byte sequences from 0x80 on
    std::vector<std::string> wide;        // sequences of two or more bytes
    std::vector<std::string> punctuation; // ASCII punctuation
};

Repertoire round_trip_repertoire(const std::string &client, const std::string &server);

// Running text of at least `min_bytes` bytes in the client set: words of
// ASCII letters with about one accented letter in eight (European sets),
// or sentences of mostly double-byte characters with some ASCII words and
// half-width katakana (when the repertoire has wide characters).
std::string make_text(const Repertoire &repertoire, std::size_t min_bytes, std::uint64_t seed);

// Converts a whole buffer with iconv(3); throws when it cannot.
std::string iconv_convert(const std::string &from, const std::string &to, const std::string &text);

// One text in a pair's two character sets.
struct RealText {
    std::string client;
    std::string server;
};

// The language of the real text for a legacy set (the name of its file in
// build/corpora, without ".txt"): Latin sets get German.
std::string language_of(const std::string &set);

// Running text given in UTF-8, in the client set and in the server set,
// without the characters that do not survive client -> server -> client.
RealText real_text(const std::string &utf8, const std::string &client, const std::string &server);

// A localization file of at least `min_bytes` bytes that is also a valid
// INI file meaning the same: ";" comments, "[name]" headings, and
// "name = a, b, c" entries of lines shorter than 200 bytes (no quotes,
// escapes or 0x runs). `values` receives the number of values and
// `value_bytes` their total length.
std::string make_locfile(std::size_t min_bytes, std::uint64_t seed, std::size_t *values,
                         std::size_t *value_bytes);

} // namespace bench

#endif
