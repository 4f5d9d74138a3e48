// Fuzz target: compiled translation files and the translation engine.
//
// Input: one byte of chunking control, a 16-bit little-endian file length
// whose top bit asks for a regenerated file, the compiled file, then the
// text to translate. The file is loaded from a temporary installation
// directory with the sized load into a buffer of exactly the size that
// intl_xlatesize reports; a regenerated file, the file and the text renamed
// over it after the sizing, must be refused or loaded within that buffer.
// The text is translated with the to-server
// table, the to-display table and no table, with every srcend/destlen
// variant. When every list is sorted, as the compiler writes them, translating
// in chunks (carrying tails over, emptying a small destination) must give the
// same bytes as one call over the whole text; on an unsorted list the mapping
// chosen is unspecified and may differ at a chunk border. A copy of a
// loaded table, which is searched rather than indexed, must agree with it.
#include <intl.h>

#include "xlate_stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char charset[] = "cs";
const char file_name[] = "fuzz.xlt";
std::string file_path;

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "xlate_fuzz: %s\n", what);
        std::abort();
    }
}

void write_file(const std::string &path, const uint8_t *data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    check(fd >= 0, "cannot write the compiled file");
    check(::write(fd, data, size) == static_cast<ssize_t>(size), "short write");
    ::close(fd);
}

// Renames a new file over the compiled one, as regenerating a table does.
void regenerate_file(const uint8_t *data, size_t size) {
    const std::string fresh = file_path + ".new";
    write_file(fresh, data, size);
    check(::rename(fresh.c_str(), file_path.c_str()) == 0, "rename");
}

using Bytes = std::vector<unsigned char>;

// One call with a destination of exactly `room` bytes (none for -1: the
// count call) and the checks that hold for every table.
struct Call {
    INTL_INT result;
    INTL_INT used;
    INTL_INT status;
    Bytes out;
};

Call translate(const Bytes &src, INTL_INT srclen, INTL_INT destlen, size_t room,
               const INTL_XLATE *xlt, INTL_INT srcend, bool with_dest = true) {
    Call c{};
    unsigned char *dest =
        with_dest ? static_cast<unsigned char *>(std::malloc(room == 0 ? 1 : room)) : nullptr;
    c.used = -99;
    c.status = -99;
    // A source that is not NUL-terminated is handed over in a block of its
    // exact size, so a read past srclen is caught.
    auto *source = static_cast<unsigned char *>(std::malloc(src.empty() ? 1 : src.size()));
    if (!src.empty())
        std::memcpy(source, src.data(), src.size());
    c.result = intl_xlate(source, srclen, dest, destlen, xlt, &c.used, srcend, &c.status);
    check(c.status >= 0 && c.status <= 2, "status outside 0..2");
    if (dest != nullptr && c.result > 0)
        c.out.assign(dest, dest + std::min<size_t>(static_cast<size_t>(c.result), room));
    std::free(source);
    std::free(dest);
    return c;
}

bool starts_with(const Bytes &whole, const Bytes &part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// Feeds the text in pieces of `piece` bytes through a destination of `room`
// bytes with the callers' streaming loop, each call checked; the joined output.
Bytes translate_in_chunks(const Bytes &text, const INTL_XLATE *xlt, size_t piece, size_t room) {
    Bytes out;
    intl_stream::XlateStream stream(xlt, room, piece);
    const auto checked = [](const INTL_XLATE *table, const unsigned char *src, INTL_INT length,
                            unsigned char *dest, INTL_INT limit, INTL_INT last) {
        const Call c = translate(Bytes(src, src + length), length, limit,
                                 static_cast<size_t>(limit), table, last);
        check(c.result >= 0 && c.result <= limit, "chunk result");
        std::copy(c.out.begin(), c.out.end(), dest);
        return intl_stream::Step{c.result, c.used, c.status};
    };
    const auto sink = [&out](const unsigned char *bytes, size_t n) {
        out.insert(out.end(), bytes, bytes + n);
    };
    for (size_t pos = 0;;) {
        const size_t take = std::min(piece, text.size() - pos);
        pos += take;
        const char *problem =
            stream.feed(text.data() + pos - take, take, pos == text.size(), sink, checked);
        check(problem == nullptr, problem);
        if (pos == text.size())
            return out;
    }
}

bool lists_sorted(const INTL_XLATE *xlt) {
    for (const INTL_XLIST &list : xlt->xlist) {
        for (INTL_INT i = 1; i < list.listsize; ++i)
            if (intl_mapcompare(&list.list[i - 1], &list.list[i]) > 0)
                return false;
    }
    return true;
}

void exercise_table(const Bytes &text, const INTL_XLATE *xlt, unsigned control) {
    const auto len = static_cast<INTL_INT>(text.size());

    // Counting without a destination, then the same with one.
    const Call count = translate(text, len, -1, 0, xlt, 1, false);
    check(count.result >= 0 && count.used == len && count.status == 0, "count call");
    const size_t n = static_cast<size_t>(count.result);
    const Call whole = translate(text, len, -1, n + 1, xlt, 1);
    check(whole.result == count.result && whole.used == len && whole.status == 0, "whole call");
    const Bytes &expected = whole.out;

    // Every limit from 0 to past the output: a prefix, and status 1 exactly
    // when the source was not used up.
    for (size_t limit : {size_t{0}, n / 2, n > 0 ? n - 1 : 0, n, n + 1 + control % 5}) {
        const Call c = translate(text, len, static_cast<INTL_INT>(limit), limit, xlt, 1);
        check(c.result >= 0 && static_cast<size_t>(c.result) <= limit, "limited result");
        check(starts_with(expected, c.out), "limited output is not a prefix");
        check((c.status == 1) == (c.used < len), "limited status");
        const Call counted = translate(text, len, static_cast<INTL_INT>(limit), 0, xlt, 1, false);
        check(counted.result == count.result && counted.used == len, "null dest ignores limit");
    }

    // More may follow: a prefix, stopping only at a tail.
    const Call open = translate(text, len, -1, n + 1, xlt, 0);
    check(starts_with(expected, open.out), "srcend 0 output is not a prefix");
    check(open.status != 1, "srcend 0 with an unlimited destination reports it full");

    // Other negative lengths translate nothing.
    const Call none = translate(text, len, -2, 16, xlt, 1);
    check(none.result == 0 && none.used == 0, "destlen -2");
    check(translate(text, -2, -1, 16, xlt, 1).result == 0, "srclen -2");

    // A NUL-terminated source is translated up to its terminator.
    Bytes cstr = text;
    cstr.push_back(0);
    const size_t clen = std::strlen(reinterpret_cast<const char *>(cstr.data()));
    const Bytes head(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(clen));
    const auto hlen = static_cast<INTL_INT>(clen);
    const auto hroom = static_cast<size_t>(translate(head, hlen, -1, 0, xlt, 1, false).result) + 1;
    const Call prefix = translate(head, hlen, -1, hroom, xlt, 1);
    const Call terminated = translate(cstr, -1, -1, hroom, xlt, 1);
    check(terminated.result == prefix.result && terminated.out == prefix.out, "srclen -1");

    const size_t piece = 1 + control % 7;
    const size_t room = 8 + (control >> 3) % 9;
    const Bytes chunked = translate_in_chunks(text, xlt, piece, room);
    if (lists_sorted(xlt))
        check(chunked == expected, "chunked output differs");
}

void exercise_copy(const Bytes &text, unsigned control) {
    const auto len = static_cast<INTL_INT>(text.size());
    Bytes cstr = text;
    cstr.push_back(0);
    const auto clen =
        static_cast<INTL_INT>(std::strlen(reinterpret_cast<const char *>(cstr.data())));
    const Call all = translate(text, len, -1, text.size() + 1, nullptr, 1);
    check(all.result == len && all.used == len, "plain copy");
    const Call terminated = translate(cstr, -1, -1, cstr.size(), nullptr, 1);
    check(terminated.result == clen, "plain copy of a terminated source");
    const INTL_INT limit = static_cast<INTL_INT>(control % (text.size() + 2));
    const Call cut = translate(text, len, limit, static_cast<size_t>(limit), nullptr, 1);
    check(cut.result == std::min(len, limit) && cut.status == (len > limit ? 1 : 0), "cut copy");
    const Call padded = translate(cstr, -1, limit, static_cast<size_t>(limit), nullptr, 1);
    check(padded.result == limit, "padded copy");
}

// A copy of a loaded table is searched where the table itself may be
// indexed: with sorted lists both give the same outcome, whole or cut.
void check_as_searched(const Bytes &text, const INTL_XLATE *xlt) {
    const INTL_XLATE copy = *xlt;
    const auto len = static_cast<INTL_INT>(text.size());
    const size_t room = 8 * text.size() + 1;
    for (INTL_INT srcend : {0, 1}) {
        const Call a = translate(text, len, -1, room, xlt, srcend);
        const Call b = translate(text, len, -1, room, &copy, srcend);
        check(!lists_sorted(xlt) || (a.result == b.result && a.used == b.used &&
                                     a.status == b.status && a.out == b.out),
              "the indexed and the searched table differ");
    }
}

// Every loaded table and list lies inside the buffer.
void check_inside(const INTL_XLATE *xlt, const unsigned char *buf, size_t size) {
    if (xlt == nullptr)
        return;
    const auto *begin = reinterpret_cast<const unsigned char *>(xlt);
    check(begin >= buf && begin + sizeof(INTL_XLATE) <= buf + size, "table outside the buffer");
    for (const INTL_XLIST &list : xlt->xlist) {
        if (list.listsize <= 0)
            continue;
        const auto *first = reinterpret_cast<const unsigned char *>(list.list);
        check(first >= buf &&
                  first + sizeof(INTL_MAP) * static_cast<size_t>(list.listsize) <= buf + size,
              "list outside the buffer");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    const char *tmp = std::getenv("TMPDIR");
    std::string home = std::string(tmp != nullptr ? tmp : "/tmp") + "/intl_xlate_fuzz.XXXXXX";
    check(::mkdtemp(home.data()) != nullptr, "mkdtemp");
    const std::string dir = home + "/charsets/" + charset;
    check(::mkdir((home + "/charsets").c_str(), 0700) == 0 && ::mkdir(dir.c_str(), 0700) == 0,
          "mkdir");
    file_path = dir + "/" + file_name;
    check(intl_sethome(home.c_str()) == INTL_OK, "sethome");
    // The dump writes to standard output; libFuzzer reports on standard error.
    check(std::freopen("/dev/null", "w", stdout) != nullptr, "stdout");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const unsigned control = data[0];
    size_t file_size = data[1] | static_cast<size_t>(data[2] & 0x7F) << 8;
    const bool regenerated = (data[2] & 0x80) != 0;
    data += 3;
    size -= 3;
    file_size = std::min(file_size, size);
    write_file(file_path, data, file_size);
    const Bytes text(data + file_size, data + std::min(size, file_size + 1024));

    const INTL_INT need = intl_xlatesize(charset, file_name);
    check(need >= -8, "size of an existing file");
    const size_t room = need > 0 ? static_cast<size_t>(need) : 0;
    auto *buf = static_cast<unsigned char *>(std::malloc(room == 0 ? 1 : room));
    INTL_XLATE *tosrv = reinterpret_cast<INTL_XLATE *>(1);
    INTL_XLATE *todisp = reinterpret_cast<INTL_XLATE *>(1);
    if (regenerated)
        regenerate_file(data, size);
    const INTL_INT rc = intl_load_xlate_sized(buf, static_cast<INTL_INT>(room), charset, file_name,
                                              &tosrv, &todisp);
    check(rc == INTL_OK || rc == INTL_E_READ || (regenerated && rc == INTL_E_XLTBUFSMALL),
          "load result");
    if (rc == INTL_OK) {
        check_inside(tosrv, buf, room);
        check_inside(todisp, buf, room);
        for (const INTL_XLATE *xlt : {tosrv, todisp}) {
            if (xlt == nullptr)
                continue;
            exercise_table(text, xlt, control);
            check_as_searched(text, xlt);
            if (text.size() < 64)
                intl__print_xlate(xlt);
        }
    }
    exercise_copy(text, control);
    std::free(buf);
    return 0;
}
