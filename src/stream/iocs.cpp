// The buffered file stream: intl_iocsfopen, intl_iocsfread, intl_iocsfgets,
// intl_iocsfwrite, intl_iocsfseek, intl_iocsfclose.
#include "frame/frame.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr INTL_INT buffer_size = 512;
constexpr mode_t create_mode = 0666; // less the process's umask

// Open flags of the open-mode codes 1..13; codes come in pairs.
constexpr std::array<int, 14> open_flags = {
    -1,
    O_RDONLY,
    O_RDONLY,
    O_WRONLY | O_CREAT | O_TRUNC,
    O_WRONLY | O_CREAT | O_TRUNC,
    O_WRONLY | O_CREAT | O_APPEND,
    O_WRONLY | O_CREAT | O_APPEND,
    O_RDWR,
    O_RDWR,
    O_RDWR | O_CREAT | O_TRUNC,
    O_RDWR | O_CREAT | O_TRUNC,
    O_RDWR | O_CREAT | O_APPEND,
    O_RDWR | O_CREAT | O_APPEND,
    O_RDWR | O_CREAT | O_EXCL,
};

// Open flags for an open-mode code, or -1 for a code outside the table.
int intl_iocsmap(INTL_INT intl_type) {
    if (intl_type < 1 || intl_type >= static_cast<INTL_INT>(open_flags.size()))
        return -1;
    return open_flags[static_cast<std::size_t>(intl_type)];
}

// Moves the unread bytes to the buffer's start and reads once into the free
// space after them; the number of bytes added, 0 at end of file or on error.
INTL_INT intl_filbuf(INTL_IOCS *s) {
    if (s->ne_cnt > 0)
        std::memmove(s->ne_base, s->ne_ptr, static_cast<std::size_t>(s->ne_cnt));
    s->ne_ptr = s->ne_base;
    char *free_start = s->ne_base + s->ne_cnt;
    const auto free_space = static_cast<std::size_t>(s->ne_bsize - s->ne_cnt);
    std::memset(free_start, 0, free_space);
    const ssize_t got = ::read(s->ne_fd, free_start, free_space);
    if (got <= 0)
        return 0;
    s->ne_cnt += static_cast<INTL_INT>(got);
    return static_cast<INTL_INT>(got);
}

// size * count as a byte count, or -1 when it is not a positive size or
// does not fit the signed 32-bit counts the stream works in.
std::int64_t byte_count(INTL_INT size, INTL_INT count) {
    if (size < 1)
        return -1;
    const std::int64_t total = std::int64_t{size} * count;
    return total > INT32_MAX ? -1 : total;
}

// Whether the rest of a read of `count` items of `size` bytes goes straight
// to the caller's memory: beyond two buffers' worth a pass through the
// buffer would cost a system call per 512 bytes. Items larger than the
// buffer are never delivered, so they never go this way.
bool read_directly(INTL_INT size, INTL_INT count) {
    return size <= buffer_size && count > 2 * buffer_size / size;
}

// How many of `count` items of `size` bytes the file holds from the read
// position on, by its size. Only a regular file tells; for anything else
// (a pipe, a terminal) the answer is 0, and its items go through the buffer.
INTL_INT items_in_file(const INTL_IOCS *s, INTL_INT size, INTL_INT count) {
    struct stat info;
    const off_t at = ::lseek(s->ne_fd, 0, SEEK_CUR);
    if (at < 0 || ::fstat(s->ne_fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < at)
        return 0;
    const std::int64_t bytes = s->ne_cnt + (info.st_size - at);
    return static_cast<INTL_INT>(std::min<std::int64_t>(count, bytes / size));
}

// Reads up to `count` items of `size` bytes (at most the buffer's size) to
// `to`: the buffered bytes, then the rest straight from the descriptor.
// Only the items the file is known to hold are asked for, so that no byte
// of an item that never completes lands in the caller's memory; only a file
// cut during the read can leave such bytes there, and they go back to the
// buffer as well. Returns the whole items read.
INTL_INT read_direct(INTL_BYTE *to, INTL_INT size, INTL_INT count, INTL_IOCS *s) {
    count = items_in_file(s, size, count);
    if (count == 0)
        return 0;
    const auto want = static_cast<std::size_t>(size) * static_cast<std::size_t>(count);
    std::size_t got = static_cast<std::size_t>(s->ne_cnt);
    std::memcpy(to, s->ne_ptr, got);
    while (got < want) {
        const ssize_t n = ::read(s->ne_fd, to + got, want - got);
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    const std::size_t whole = got / static_cast<std::size_t>(size);
    const std::size_t rest = got % static_cast<std::size_t>(size);
    std::memcpy(s->ne_base, to + whole * static_cast<std::size_t>(size), rest);
    s->ne_ptr = s->ne_base;
    s->ne_cnt = static_cast<INTL_INT>(rest);
    return static_cast<INTL_INT>(whole);
}

// Copies one item from the buffer, refilling it once when it holds less;
// false when even then it does not hold a whole item.
bool copy_item(INTL_BYTE *to, INTL_INT size, INTL_IOCS *s) {
    if (s->ne_cnt < size && (intl_filbuf(s) == 0 || s->ne_cnt < size))
        return false;
    std::memcpy(to, s->ne_ptr, static_cast<std::size_t>(size));
    s->ne_ptr += size;
    s->ne_cnt -= size;
    return true;
}

} // namespace

extern "C" {

INTL_IOCS *intl_iocsfopen(const INTL_BYTE *intl_name, INTL_INT intl_type) {
    const int flags = intl_iocsmap(intl_type);
    if (flags < 0 || intl_name == nullptr)
        return nullptr;
    const int fd = ::open(intl_name, flags | O_CLOEXEC, create_mode);
    if (fd < 0)
        return nullptr;
    auto *s = static_cast<INTL_IOCS *>(comn_malloc(sizeof(INTL_IOCS)));
    if (s == nullptr) {
        ::close(fd);
        return nullptr;
    }
    s->ne_bsize = buffer_size;
    s->ne_base = static_cast<INTL_BYTE *>(comn_malloc(buffer_size));
    if (s->ne_base == nullptr) {
        ::close(fd);
        comn_free(s);
        return nullptr;
    }
    s->ne_ptr = s->ne_base;
    s->ne_cnt = 0;
    s->ne_flag = flags;
    s->ne_fd = fd;
    return s;
}

INTL_INT intl_iocsfread(INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_INT intl_cnt,
                        INTL_IOCS *intl_iocs) {
    if (intl_iocs == nullptr || intl_ptr == nullptr || intl_cnt < 0 ||
        byte_count(intl_size, intl_cnt) < 0)
        return 0;
    INTL_INT copied = 0;
    while (copied < intl_cnt) {
        INTL_BYTE *to = intl_ptr + static_cast<std::size_t>(copied) * intl_size;
        INTL_INT got = 0;
        if (intl_iocs->ne_cnt < intl_size && read_directly(intl_size, intl_cnt - copied))
            got = read_direct(to, intl_size, intl_cnt - copied, intl_iocs);
        if (got == 0 && !copy_item(to, intl_size, intl_iocs))
            break;
        copied += std::max(got, 1);
    }
    return copied;
}

INTL_BYTE *intl_iocsfgets(INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_IOCS *intl_iocs) {
    if (intl_iocs == nullptr || intl_ptr == nullptr || intl_size < 1)
        return nullptr;
    INTL_INT limit = intl_size - 1;
    INTL_BYTE *out = intl_ptr;
    while (limit > 0) {
        if (intl_iocs->ne_cnt <= 0 && intl_filbuf(intl_iocs) == 0)
            return nullptr;
        auto take = static_cast<std::size_t>(std::min(intl_iocs->ne_cnt, limit));
        const void *newline = std::memchr(intl_iocs->ne_ptr, '\n', take);
        if (newline != nullptr)
            take = static_cast<std::size_t>(static_cast<const INTL_BYTE *>(newline) -
                                            intl_iocs->ne_ptr) +
                   1;
        std::memcpy(out, intl_iocs->ne_ptr, take);
        out += take;
        intl_iocs->ne_ptr += take;
        intl_iocs->ne_cnt -= static_cast<INTL_INT>(take);
        if (newline != nullptr)
            break;
        limit -= static_cast<INTL_INT>(take);
    }
    *out = '\0';
    return intl_ptr;
}

INTL_INT intl_iocsfwrite(const INTL_BYTE *intl_ptr, INTL_INT intl_size, INTL_INT intl_cnt,
                         INTL_IOCS *intl_iocs) {
    if (intl_iocs == nullptr)
        return -1;
    if (intl_cnt < 0)
        return 0;
    const std::int64_t total = byte_count(intl_size, intl_cnt);
    if (total < 0)
        return 0;
    if (intl_ptr == nullptr && total > 0)
        return -1;
    return static_cast<INTL_INT>(
        ::write(intl_iocs->ne_fd, intl_ptr, static_cast<std::size_t>(total)));
}

INTL_LONG intl_iocsfseek(INTL_IOCS *intl_iocs, INTL_LONG intl_offset, INTL_INT intl_flag) {
    if (intl_iocs == nullptr)
        return -1;
    off_t offset = intl_offset;
    if (intl_flag == SEEK_CUR) {
        // Within the buffer, forward over unread bytes or back over read
        // ones, the descriptor stays where it is.
        const std::int64_t consumed = intl_iocs->ne_ptr - intl_iocs->ne_base;
        if (-consumed <= intl_offset && intl_offset <= intl_iocs->ne_cnt) {
            intl_iocs->ne_ptr += intl_offset;
            intl_iocs->ne_cnt -= intl_offset;
            return 0;
        }
        // The descriptor stands ne_cnt bytes ahead of the read position.
        offset -= intl_iocs->ne_cnt;
    }
    intl_iocs->ne_cnt = 0;
    intl_iocs->ne_ptr = intl_iocs->ne_base;
    std::memset(intl_iocs->ne_base, 0, static_cast<std::size_t>(intl_iocs->ne_bsize));
    return ::lseek(intl_iocs->ne_fd, offset, intl_flag) == -1 ? -1 : 0;
}

INTL_INT intl_iocsfclose(INTL_IOCS *intl_iocs) {
    if (intl_iocs == nullptr)
        return -1;
    const int rc = ::close(intl_iocs->ne_fd);
    comn_free(intl_iocs->ne_base);
    comn_free(intl_iocs);
    return rc == -1 ? -1 : 0;
}
}
