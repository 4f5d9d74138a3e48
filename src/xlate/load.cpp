// Compiled translation files: intl_xlatesize, intl_load_xlate,
// intl_load_xlate_sized.
//
// The file holds little-endian 32-bit integers, 8-byte list headers and
// 24-byte mapping records on every platform. In the caller's buffer each
// table is 256 native INTL_XLIST headers followed by its records; where a
// pointer is 4 bytes that is the file's own layout, elsewhere the headers
// are wider than in the file and the table's index (index.h) lies between
// them and the records, and intl_xlatesize accounts for both.
#include "xlate/index.h"

#include <algorithm>

#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

using namespace intl::xlate;

namespace {

constexpr std::size_t path_size = 512; // 511 characters and the terminator
constexpr INTL_INT word_bytes = 4;
constexpr INTL_INT file_header_bytes = 8; // listsize and a pointer's place
constexpr INTL_INT record_bytes = 24;
constexpr INTL_INT table_header_bytes = list_count * file_header_bytes;
constexpr INTL_INT block_min_bytes = word_bytes + table_header_bytes; // tabcode + header
constexpr INTL_INT max_blocks = 2;
constexpr INTL_INT tabcode_todisp = 1;

// Extra room a loaded table takes over its file image (0 with 4-byte pointers).
constexpr INTL_INT widening = static_cast<INTL_INT>(sizeof(INTL_XLATE)) - table_header_bytes;

static_assert(sizeof(INTL_MAP) == record_bytes, "records are used in place");
static_assert(sizeof(INTL_XLATE) % alignof(INTL_XLIST) == 0, "records follow headers aligned");

// Appends a piece to the path of `len` characters; false when the result
// would not fit with its terminator.
bool append(std::span<char, path_size> path, std::size_t &len, std::string_view piece) {
    if (len >= path_size || piece.size() >= path_size - len)
        return false;
    std::memcpy(path.data() + len, piece.data(), piece.size());
    len += piece.size();
    path[len] = '\0';
    return true;
}

// A caller's NUL-terminated name, looked at no further than the path allows.
std::string_view name_piece(const char *name) {
    return {name, intl::bounded_length(name, path_size)};
}

// Whether a caller's name keeps the path inside charsets/: it is not empty
// and no component between slashes is "..". Servers hand clients their
// charset's name, so the name is not trusted to be a plain one.
bool stays_inside(std::string_view name) {
    if (name.empty())
        return false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.substr(start, end - start) == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// The installation directory + "/charsets/" + charset + "/" + file name;
// INTL_OK or a negative code. Names are checked before anything is looked up.
INTL_INT compose_path(std::span<char, path_size> path, const char *charset, const char *name) {
    if (!stays_inside(name_piece(charset)) || !stays_inside(name_piece(name)))
        return INTL_E_XLTBADNAME;
    const INTL_INT homelen = intl_home(path.data(), static_cast<INTL_INT>(path_size));
    if (homelen < 0)
        return homelen;
    auto len = static_cast<std::size_t>(homelen);
    const bool fits = append(path, len, "/charsets/") && append(path, len, name_piece(charset)) &&
                      append(path, len, "/") && append(path, len, name_piece(name));
    return fits ? INTL_OK : INTL_E_PATHLONG;
}

// A little-endian 32-bit integer of the file.
INTL_INT le32(const unsigned char *p) {
    const auto u = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<INTL_INT>(u);
}

// Closes the stream on every way out of the loader.
struct StreamGuard {
    INTL_IOCS *stream;
    explicit StreamGuard(INTL_IOCS *s) : stream(s) {}
    StreamGuard(const StreamGuard &) = delete;
    StreamGuard &operator=(const StreamGuard &) = delete;
    ~StreamGuard() {
        if (stream != nullptr)
            intl_iocsfclose(stream);
    }
};

// The open file, read no further than the size it had when it was opened:
// what a load writes then never passes what intl_xlatesize reports for that
// size, however the file changes meanwhile.
struct Source {
    INTL_IOCS *stream;
    std::int64_t left; // bytes of that size not yet read
};

// Reads `count` items of `size` bytes to `to`; false unless all of them are
// within the measured size and were read.
bool take(Source &src, void *to, INTL_INT size, INTL_INT count) {
    const std::int64_t bytes = std::int64_t{size} * count;
    if (bytes > src.left)
        return false;
    src.left -= bytes;
    return intl_iocsfread(static_cast<char *>(to), size, count, src.stream) == count;
}

// Reads one 32-bit word; false at the end of the file.
bool read_word(Source &src, INTL_INT &word) {
    std::array<unsigned char, word_bytes> raw;
    if (!take(src, raw.data(), word_bytes, 1))
        return false;
    word = le32(raw.data());
    return true;
}

// Fills the native list headers from the file's. Where pointers are 4 bytes
// an empty list keeps the file's bytes, so the buffer is the file's image;
// elsewhere its pointer is null.
void decode_headers(INTL_XLATE &table, const unsigned char *raw) {
    std::memset(&table, 0, sizeof table);
    for (int i = 0; i < list_count; ++i) {
        const unsigned char *header = raw + i * file_header_bytes;
        table.xlist[i].listsize = le32(header);
        if constexpr (sizeof(INTL_MAP *) == word_bytes)
            std::memcpy(&table.xlist[i].list, header + word_bytes, word_bytes);
    }
}

// Records are used in place; on a big-endian machine their integers are
// turned round after reading.
void records_to_native(INTL_MAP *records, INTL_INT count) {
    if constexpr (std::endian::native != std::endian::little) {
        for (INTL_INT i = 0; i < count; ++i) {
            INTL_MAP &m = records[i];
            m.src_left = le32(reinterpret_cast<const unsigned char *>(&m.src_left));
            m.dest_chars = le32(reinterpret_cast<const unsigned char *>(&m.dest_chars));
        }
    }
}

// Reads the records of every non-empty list, all in one read, to `at` and
// points each list at its own; INTL_OK, or -153 when the file does not
// hold them. With an index the last list's records, read last, are moved
// to the front (index.h): the read starts that far on, and the place they
// leave after the others takes the index's cells later. Lists that the
// file does not hold are refused before anything is read, so that a list
// size beyond the file never moves the read past the buffer.
INTL_INT read_lists(Source &src, INTL_XLATE &table, unsigned char *&at) {
    std::int64_t total = 0;
    INTL_XLIST *last = nullptr;
    for (INTL_XLIST &list : table.xlist) {
        total += std::max(list.listsize, 0);
        last = list.listsize > 0 ? &list : last;
    }
    if (total > INT32_MAX / record_bytes || total * record_bytes > src.left)
        return INTL_E_READ;
    const auto count = static_cast<INTL_INT>(total);
    const std::size_t front = indexing && last != nullptr ? std::size_t(last->listsize) : 0;
    auto *records = reinterpret_cast<INTL_MAP *>(at);
    if (!take(src, records + front, record_bytes, count))
        return INTL_E_READ;
    records_to_native(records + front, count);
    std::memmove(records, records + count, front * sizeof(INTL_MAP));
    INTL_MAP *next = records + front;
    for (INTL_XLIST &list : table.xlist) {
        if (list.listsize <= 0)
            continue;
        list.list = &list == last && front > 0 ? records : next;
        next += &list == last && front > 0 ? 0 : list.listsize;
    }
    at += static_cast<std::size_t>(count) * record_bytes;
    return INTL_OK;
}

// Reads one table block after its code word: the table header, then the
// lists, then (with 8-byte pointers) builds the index between the table
// and its records. The table pointer is set before the lists are read.
INTL_INT read_table(Source &src, INTL_XLATE *&table, unsigned char *&at) {
    std::array<unsigned char, table_header_bytes> raw;
    if (!take(src, raw.data(), file_header_bytes, list_count))
        return INTL_E_READ;
    table = reinterpret_cast<INTL_XLATE *>(at);
    decode_headers(*table, raw.data());
    at += sizeof(INTL_XLATE);
    auto *index = reinterpret_cast<Index *>(at);
    if constexpr (indexing)
        at += sizeof(Index);
    const INTL_INT rc = read_lists(src, *table, at);
    if (rc == INTL_OK && indexing)
        at = build_index(*table, *index, at);
    return rc;
}

// Reads up to two table blocks into buf; a missing block ends the file.
INTL_INT read_blocks(Source &src, unsigned char *buf, INTL_XLATE **tosrv, INTL_XLATE **todisp) {
    bool have_tosrv = false;
    bool have_todisp = false;
    unsigned char *at = buf;
    for (INTL_INT block = 0; block < max_blocks; ++block) {
        INTL_INT tabcode = 0;
        if (!read_word(src, tabcode))
            break;
        const bool display = tabcode == tabcode_todisp;
        (display ? have_todisp : have_tosrv) = true;
        const INTL_INT rc = read_table(src, display ? *todisp : *tosrv, at);
        if (rc != INTL_OK)
            return rc;
    }
    if (!have_tosrv)
        *tosrv = nullptr;
    if (!have_todisp)
        *todisp = nullptr;
    return INTL_OK;
}

// What a load writes at most for a file of `filesize` bytes: its bytes after
// the version word less each block's code word, plus the widening of each
// table header that can fit in the file, plus the index of each such table
// (its records together number at most filesize / 24).
std::int64_t loaded_size(std::int64_t filesize) {
    const std::int64_t blocks =
        filesize < word_bytes
            ? 0
            : std::min<std::int64_t>(max_blocks, (filesize - word_bytes) / (block_min_bytes));
    const std::int64_t records = std::max<std::int64_t>(filesize, 0) / record_bytes;
    return filesize - word_bytes * max_blocks +
           blocks * (widening + static_cast<std::int64_t>(index_table_bytes)) +
           records * static_cast<std::int64_t>(index_record_bytes);
}

// The file's status by its path; INTL_OK, or the code for a path that
// names anything but a regular file. A missing file is left to the caller.
INTL_INT regular_file(const char *path, struct stat &info) {
    if (::stat(path, &info) != 0)
        return INTL_E_STAT;
    return S_ISREG(info.st_mode) ? INTL_OK : INTL_E_XLTNOTFILE;
}

// The arguments of a load, checked in the order the callers report them.
INTL_INT check_load_arguments(const void *buf, const char *srv_charset, const char *xlt_name,
                              INTL_XLATE **xlt_tosrv, INTL_XLATE **xlt_todisp) {
    if (buf == nullptr)
        return INTL_E_NULLBUF;
    if (srv_charset == nullptr)
        return INTL_E_NOCHARSET;
    if (xlt_name == nullptr)
        return INTL_E_NOXLTNAME;
    if (xlt_tosrv == nullptr || xlt_todisp == nullptr)
        return INTL_E_NOXLTTABLE;
    return INTL_OK;
}

// Loads the file into buf, refusing one that needs more than `room` bytes
// (-1: unknown, as intl_load_xlate is told nothing). The path is looked at
// before it is opened, so that a FIFO never makes the open wait for a
// writer; the open file is measured, and read no further than measured.
INTL_INT load(void *buf, std::int64_t room, const char *srv_charset, const char *xlt_name,
              INTL_XLATE **xlt_tosrv, INTL_XLATE **xlt_todisp) {
    std::array<char, path_size> path;
    const INTL_INT rc = compose_path(path, srv_charset, xlt_name);
    if (rc != INTL_OK)
        return rc;
    struct stat info;
    if (regular_file(path.data(), info) == INTL_E_XLTNOTFILE)
        return INTL_E_XLTNOTFILE;
    StreamGuard file(intl_iocsfopen(path.data(), intl::open_read_only));
    if (file.stream == nullptr)
        return INTL_E_OPEN;
    if (::fstat(file.stream->ne_fd, &info) != 0)
        return INTL_E_STAT;
    if (!S_ISREG(info.st_mode))
        return INTL_E_XLTNOTFILE;
    if (room >= 0 && loaded_size(info.st_size) > room)
        return INTL_E_XLTBUFSMALL;
    Source src{file.stream, info.st_size};
    INTL_INT version = 0; // accepted whatever it says
    if (!read_word(src, version))
        return INTL_E_READ;
    return read_blocks(src, static_cast<unsigned char *>(buf), xlt_tosrv, xlt_todisp);
}

} // namespace

extern "C" {

INTL_INT intl_xlatesize(const char *srv_charset, const char *xlt_name) {
    if (srv_charset == nullptr)
        return INTL_E_NOCHARSET;
    if (xlt_name == nullptr)
        return INTL_E_NOXLTNAME;
    std::array<char, path_size> path;
    struct stat info;
    INTL_INT rc = compose_path(path, srv_charset, xlt_name);
    if (rc == INTL_OK)
        rc = regular_file(path.data(), info);
    if (rc != INTL_OK)
        return rc;
    const std::int64_t size = loaded_size(info.st_size);
    return size > INT32_MAX ? INTL_E_OVERFLOW : static_cast<INTL_INT>(size);
}

INTL_INT intl_load_xlate(void *buf, const char *srv_charset, const char *xlt_name,
                         INTL_XLATE **xlt_tosrv, INTL_XLATE **xlt_todisp) {
    const INTL_INT rc = check_load_arguments(buf, srv_charset, xlt_name, xlt_tosrv, xlt_todisp);
    return rc != INTL_OK ? rc : load(buf, -1, srv_charset, xlt_name, xlt_tosrv, xlt_todisp);
}

INTL_INT intl_load_xlate_sized(void *buf, INTL_INT bufsize, const char *srv_charset,
                               const char *xlt_name, INTL_XLATE **xlt_tosrv,
                               INTL_XLATE **xlt_todisp) {
    if (buf != nullptr && bufsize < 0)
        return INTL_E_BUFLEN;
    const INTL_INT rc = check_load_arguments(buf, srv_charset, xlt_name, xlt_tosrv, xlt_todisp);
    return rc != INTL_OK ? rc : load(buf, bufsize, srv_charset, xlt_name, xlt_tosrv, xlt_todisp);
}
}
