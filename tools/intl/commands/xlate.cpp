// intl xlate: translates files or standard input through a loaded table,
// block by block, the way iconv(1) converts.
#include "bytes.h"
#include "loaded_tables.h"
#include "output.h"
#include "tool.h"
#include "xlate_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <span>
#include <string_view>
#include <unistd.h>

namespace tool {

namespace {

struct XlateOptions : TableOptions {
    std::vector<std::string> files;
    std::size_t block = 65536;
    bool strict = false;
};

// The mapping the engine takes at s, `left` bytes being there: the longest
// whose bytes are all there, or null when the byte is copied.
const INTL_MAP *mapping_at(const INTL_XLATE &table, const unsigned char *s, std::size_t left) {
    const INTL_XLIST &list = table.xlist[*s];
    if (list.listsize <= 0)
        return nullptr;
    const std::span<const INTL_MAP> maps(list.list, static_cast<std::size_t>(list.listsize));
    const auto sorts_before = [](const INTL_MAP &a, const INTL_MAP &b) {
        return intl_mapcompare(&a, &b) < 0;
    };
    for (auto group = maps.begin(); group != maps.end();) {
        const INTL_INT length = group->src_left;
        const auto end = std::partition_point(
            group, maps.end(), [length](const INTL_MAP &m) { return m.src_left == length; });
        const auto n = static_cast<std::size_t>(length);
        if (length >= 0 && n < left && std::memchr(s + 1, 0, n) == nullptr) {
            INTL_MAP probe{};
            probe.src_left = length;
            std::memcpy(probe.src_pattern, s + 1, n);
            const auto at = std::lower_bound(group, end, probe, sorts_before);
            if (at != end && intl_mapcompare(&*at, &probe) == 0)
                return &*at;
        }
        group = end;
    }
    return nullptr;
}

// A table from UTF-8 splits a character beyond U+FFFF that it does not
// translate: its lead byte and second byte write nothing, and what follows
// (its last two bytes, or one when it breaks off there) the substitution.
bool splits_character(const INTL_MAP &m, const unsigned char *s) {
    return m.src_left == 1 && m.dest_chars == 0 && s[0] >= 0xF0 && s[0] <= 0xF4 &&
           (s[1] & 0xC0) == 0x80;
}

// A table from GB18030 substitutes a four-byte code without a record of
// its own in halves of one shape, a byte 0x81-0xFE and a digit, each
// writing the substitution: two such halves in a row are one code.
bool is_half_of_four(const INTL_MAP &m, const unsigned char *s) {
    return m.src_left == 1 && s[0] >= 0x81 && s[0] <= 0xFE && s[1] >= '0' && s[1] <= '9';
}

// Calls intl_xlate and finds the sequences whose translation is the
// table's substitution, in what each call consumed: counted, or with
// --strict the end of the translation, after the output that precedes
// the first of them. The first half of a split character is held until
// the record after it: a substitution there is the character's, named
// from its first byte; anything else means the sequence broke off after
// two bytes and left nothing, which is counted apart. A GB18030 half
// that ends what a call consumed is handed back to the next call, which
// sees what follows it: the first half already wrote its substitution.
class SubstitutionWatch {
  public:
    SubstitutionWatch(const Substitution &substitution, const std::string &name, bool strict)
        : substitution_(substitution), name_(name), strict_(strict) {}

    intl_stream::Step operator()(const INTL_XLATE *table, const unsigned char *src, INTL_INT length,
                                 unsigned char *out, INTL_INT room, INTL_INT last) {
        const intl_stream::Step step =
            intl_stream::PlainCall{}(table, src, length, out, room, last);
        const std::string_view written(reinterpret_cast<const char *>(out),
                                       static_cast<std::size_t>(std::max(step.produced, 0)));
        const auto used = static_cast<std::size_t>(std::max(step.used, 0));
        if (!substitution_.bytes.empty() && used > 0 &&
            (written.find(substitution_.bytes) != std::string_view::npos || !split_.empty() ||
             (splits(*table) && holds_lead_of_four(src, used))))
            if (const std::optional<Cut> cut =
                    look(*table, src, static_cast<std::size_t>(length), used, out, last != 0))
                return hand_back(step, *cut);
        offset_ += used;
        if (last != 0 && step.status == 0)
            end_split(out, static_cast<std::size_t>(std::max(step.produced, 0)));
        return step;
    }
    std::uint64_t count() const { return count_; }
    std::uint64_t dropped() const { return dropped_; }

  private:
    // Whether the table splits characters (known after the first call).
    bool splits(const INTL_XLATE &table) {
        if (!splits_) {
            const INTL_XLIST &list = table.xlist[0xF0];
            splits_ =
                std::any_of(list.list, list.list + std::max(list.listsize, 0),
                            [](const INTL_MAP &m) { return m.src_left == 1 && m.dest_chars == 0; });
        }
        return *splits_;
    }

    static bool holds_lead_of_four(const unsigned char *src, std::size_t used) {
        return std::any_of(src, src + used, [](unsigned char c) { return c >= 0xF0 && c <= 0xF4; });
    }

    bool substitutes(const INTL_MAP &m, const unsigned char *s) const {
        const std::string_view source(reinterpret_cast<const char *>(s),
                                      1 + static_cast<std::size_t>(m.src_left));
        return std::string_view(reinterpret_cast<const char *>(m.dest_pattern),
                                static_cast<std::size_t>(m.dest_chars)) == substitution_.bytes &&
               std::find(substitution_.translated_alike.begin(),
                         substitution_.translated_alike.end(),
                         source) == substitution_.translated_alike.end();
    }

    // Where a call is cut short: the source bytes and output before a half.
    struct Cut {
        std::size_t used, produced;
    };

    intl_stream::Step hand_back(intl_stream::Step step, const Cut &cut) {
        step.used = static_cast<INTL_INT>(cut.used);
        step.produced = static_cast<INTL_INT>(cut.produced);
        if (step.status == 0)
            step.status = 2;
        offset_ += cut.used;
        return step;
    }

    // The record at s and, for a GB18030 half, the half after it when
    // there is one; null when the byte is copied.
    const INTL_MAP *record_at(const INTL_XLATE &table, const unsigned char *s, std::size_t left,
                              std::size_t &n, std::size_t &wrote) const {
        const INTL_MAP *m = mapping_at(table, s, left);
        n = m != nullptr ? 1 + static_cast<std::size_t>(m->src_left) : 1;
        wrote = m != nullptr ? static_cast<std::size_t>(m->dest_chars) : 1;
        if (m == nullptr || !is_half_of_four(*m, s) || left == n)
            return m;
        const INTL_MAP *next = mapping_at(table, s + n, left - n);
        if (next != nullptr && substitutes(*next, s + n) && is_half_of_four(*next, s + n)) {
            n += 2;
            wrote += static_cast<std::size_t>(next->dest_chars);
        }
        return m;
    }

    std::optional<Cut> look(const INTL_XLATE &table, const unsigned char *src, std::size_t length,
                            std::size_t used, const unsigned char *out, bool last) {
        std::size_t produced = 0;
        for (std::size_t at = 0; at < used;) {
            std::size_t n = 0, wrote = 0;
            const INTL_MAP *m = record_at(table, src + at, used - at, n, wrote);
            const std::string_view sequence(reinterpret_cast<const char *>(src + at), n);
            if (m != nullptr && substitutes(*m, src + at)) {
                if (n == 2 && at + n == used && is_half_of_four(*m, src + at) &&
                    (!last || used < length))
                    return Cut{at, produced};
                const std::uint64_t start = split_.empty() ? offset_ + at : split_offset_;
                if (strict_)
                    refuse(split_ + std::string(sequence), start, out, produced,
                           "has no translation (the table would write its substitution " +
                               hex_bytes(substitution_.bytes) + ")");
                ++count_;
                split_.clear();
            } else {
                end_split(out, produced);
                if (m != nullptr && splits_character(*m, src + at)) {
                    split_ = sequence;
                    split_offset_ = offset_ + at;
                }
            }
            at += n;
            produced += wrote;
        }
        return std::nullopt;
    }

    // A split character's first half that nothing substituted follows.
    void end_split(const unsigned char *out, std::size_t produced) {
        if (split_.empty())
            return;
        if (strict_)
            refuse(split_, split_offset_, out, produced,
                   "breaks off after two bytes (the table would write nothing for it)");
        ++dropped_;
        split_.clear();
    }

    [[noreturn]] void refuse(const std::string &sequence, std::uint64_t at,
                             const unsigned char *out, std::size_t produced,
                             const std::string &what) const {
        write_all(STDOUT_FILENO, {reinterpret_cast<const char *>(out), produced},
                  "standard output");
        throw Failure(name_ + ": the sequence " + hex_bytes(sequence) + " at byte " +
                      std::to_string(at) + " " + what);
    }

    const Substitution &substitution_;
    const std::string &name_;
    bool strict_;
    std::uint64_t offset_ = 0;
    std::uint64_t count_ = 0;
    std::uint64_t dropped_ = 0;
    std::optional<bool> splits_;
    std::string split_; // the first half of a split character, not yet followed
    std::uint64_t split_offset_ = 0;
};

// Reads one input to its end; false (after a message) on a read error.
bool translate_input(int fd, const std::string &name, const LoadedTables &tables,
                     const XlateOptions &options) {
    const std::size_t block = options.block;
    // Room for two mappings, so that a call that starts at a handed-back
    // half always gets past it.
    intl_stream::XlateStream stream(tables.chosen(),
                                    std::max(block, 2 * intl_stream::longest_mapping), block);
    SubstitutionWatch watch(tables.substitution(), name, options.strict);
    std::vector<unsigned char> piece(block);
    const auto write_out = [](const unsigned char *bytes, std::size_t count) {
        write_all(STDOUT_FILENO, {reinterpret_cast<const char *>(bytes), count}, "standard output");
    };
    for (bool last = false; !last;) {
        ssize_t n;
        do
            n = read(fd, piece.data(), block);
        while (n < 0 && errno == EINTR);
        if (n < 0) {
            std::cerr << "intl xlate: cannot read " << name << ": " << std::strerror(errno) << '\n';
            return false;
        }
        last = n == 0;
        if (const char *problem =
                stream.feed(piece.data(), static_cast<std::size_t>(n), last, write_out, watch))
            throw Failure(name + ": " + problem);
    }
    if (watch.count() > 0)
        std::cerr << "intl xlate: " << name << ": " << watch.count() << " sequence"
                  << (watch.count() == 1 ? "" : "s")
                  << " without a translation became the substitution "
                  << hex_bytes(tables.substitution().bytes) << '\n';
    if (watch.dropped() > 0)
        std::cerr << "intl xlate: " << name << ": " << watch.dropped() << " sequence"
                  << (watch.dropped() == 1 ? "" : "s")
                  << " of four bytes broke off after two and left nothing\n";
    return true;
}

int run_xlate(XlateOptions &options) {
    const LoadedTables tables(options);
    const INTL_XLATE *table = tables.chosen();
    if (table == nullptr)
        throw Failure(tables.path() + " holds no " + tables.chosen_name() + " table");
    if (options.files.empty())
        options.files.emplace_back("-");
    int result = exit_ok;
    for (const std::string &name : options.files) {
        const bool is_stdin = name == "-";
        const int fd = is_stdin ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::cerr << "intl xlate: cannot open input file '" << name
                      << "': " << std::strerror(errno) << '\n';
            result = exit_failure;
            continue;
        }
        if (options.strict && tables.substitution().bytes.empty())
            throw Failure(tables.path() + " names no substitution: --strict needs a table that "
                                          "intl compile made from a total source");
        if (!translate_input(fd, is_stdin ? "standard input" : name, tables, options))
            result = exit_failure;
        if (!is_stdin)
            close(fd);
    }
    return result;
}

} // namespace

Command add_xlate(CLI::App &app) {
    auto options = std::make_shared<XlateOptions>();
    CLI::App *command = app.add_subcommand(
        "xlate", "Translate files (or standard input, also as -) to standard output");
    add_table_options(*command, *options);
    command->add_option("FILE", options->files, "Input files; - is standard input");
    command
        ->add_option("--block", options->block,
                     "Bytes read and translated per call (default 65536)")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 24));
    command->add_flag("--strict", options->strict,
                      "Fail at the first sequence the table has no translation for");
    return {command, [options] { return run_xlate(*options); }};
}

} // namespace tool
