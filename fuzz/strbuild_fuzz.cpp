// Fuzz target: the variadic message builder, intl_strbuild and intl_cstrbuild.
//
// Input: a flags byte, a 16-bit buffer size, then the template, a zero byte,
// the formats string, a zero byte, and 2 bytes per variadic argument.
//
// The formats string decides which type each argument is read as, so every
// argument must be valid whatever it is read as. The harness passes 64
// pointers and 8 doubles. The doubles travel in vector registers, apart from
// the pointers, which fill the integer registers and the stack in order; a
// ninth double read takes a pointer's bits, which is a harmless double. Each
// pointer lies in one of two mappings placed so that the low 32 bits of its
// address, which is what an int or a 16-bit read of it yields, are a small
// multiple of 8 chosen by the input: 0 to 32760 in the first mapping and
// -32768 to -8 in the second (multiples, so that a count conversion's store
// through the pointer is aligned). Both mappings hold short NUL-terminated
// texts with zero padding, so a pointer read as text (narrow or wide) ends
// inside them, and a count conversion may store through it.
//
// Each value the builder reads answers one "*" or one "%" of the formats
// string, and a skipped specifier still takes its stars, so the number read
// is not bounded by the 20 records: the formats string is cut where it would
// ask for more values than the harness passes.
#include "custom_routines.h"

#include <intl.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <vector>

namespace {

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "strbuild_fuzz: %s\n", what);
        std::abort();
    }
}

constexpr size_t span = 0x8000; // addresses per mapping
constexpr size_t guard = 64;    // zero bytes after the last text
constexpr size_t cell = 16;     // 9 letters and 7 zero bytes

// Mapping i starts at an address whose low 32 bits are 0 (positive ints) or
// 0xFFFF8000 (negative ints), high in the address space where the
// sanitizers leave room for the program.
char *regions[2];

char *map_region(uintptr_t low32) {
    for (uintptr_t high = 0x7e00; high > 0x7000; high -= 0x10) {
        const uintptr_t want = (high << 32) | low32;
        void *got = ::mmap(reinterpret_cast<void *>(want), span + guard, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (got == reinterpret_cast<void *>(want))
            return static_cast<char *>(got);
        if (got != MAP_FAILED)
            ::munmap(got, span + guard);
    }
    check(false, "no room for the argument mappings");
    return nullptr;
}

void refill(char *region) {
    for (size_t at = 0; at < span; at += cell) {
        std::memcpy(region + at, "abcdefghi", 9);
        std::memset(region + at + 9, 0, cell - 9);
    }
    std::memset(region + span, 0, guard);
}

// The k-th argument: its two input bytes pick a mapping and an offset.
void *argument(const uint8_t *bytes, size_t avail, int k) {
    const size_t at = static_cast<size_t>(k) * 2;
    const unsigned v = at + 1 < avail ? bytes[at] | bytes[at + 1] << 8 : 0;
    return regions[v >> 15] + (v & 0x7ff8);
}

struct Custom {
    const char *name;
    INTL_INT argtype;
    INTL_CONVERT routine;
};
const Custom customs[] = {
    {"amount", INTL_T_INT, fuzz::echo}, {"S16", INTL_T_SHORT, fuzz::echo},
    {"U16", INTL_T_USHORT, fuzz::echo}, {"U32", INTL_T_UINT, fuzz::echo},
    {"I32", INTL_T_LONG, fuzz::echo},   {"U64", INTL_T_ULONG, fuzz::echo},
    {"Ptr", INTL_T_PTR, fuzz::echo},    {"real", INTL_T_DOUBLE, fuzz::echo},
    {"", INTL_T_PTR, fuzz::echo},       {"abcdefghijklmnopqrst", INTL_T_INT, fuzz::echo},
    {"Lf", INTL_T_DOUBLE, fuzz::echo},  {"bad", 9, fuzz::echo},
    {"amount", INTL_T_INT, fuzz::fail}, {"Oops", INTL_T_INT, fuzz::fail},
};
constexpr INTL_INT custom_count = sizeof customs / sizeof customs[0];
INTL_CVTLIST *cvtlist;

#define P(k) argument(args, args_len, k)
#define P8(k) P(k), P(k + 1), P(k + 2), P(k + 3), P(k + 4), P(k + 5), P(k + 6), P(k + 7)
#define ALL_ARGUMENTS                                                                              \
    P8(0), P8(8), P8(16), P8(24), P8(32), P8(40), P8(48), P8(56), 0.0, -1.5, 1e300, 3.25, -0.0,    \
        1e-310, __builtin_inf(), __builtin_nan("")

INTL_INT counted(const INTL_CVTLIST *list, char *buf, INTL_INT size, const char *text,
                 INTL_INT textlen, const char *formats, INTL_INT formatslen, ...) {
    va_list ap;
    va_start(ap, formatslen);
    const INTL_INT rc = intl_cstrbuild(list, buf, size, text, textlen, formats, formatslen, ap);
    va_end(ap);
    return rc;
}

// Values read from the argument list at most: the 64 pointers less one
// that may travel in a register, where a read past them is not caught.
constexpr size_t value_budget = 63;

// The formats string up to where it would ask for more than value_budget
// values.
std::vector<char> within_budget(const uint8_t *begin, const uint8_t *end) {
    size_t asked = 0;
    const uint8_t *at = begin;
    for (; at != end; ++at)
        if ((*at == '*' || *at == '%') && ++asked > value_budget)
            break;
    return {begin, at};
}

// A counted copy without a terminator, so that reading past it is caught.
char *exact_copy(const std::vector<char> &v) {
    char *copy = static_cast<char *>(std::malloc(v.empty() ? 1 : v.size()));
    if (!v.empty())
        std::memcpy(copy, v.data(), v.size());
    return copy;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    regions[0] = map_region(0);
    regions[1] = map_region(0xFFFF8000u);
    const INTL_INT bytes = intl_fmtsize(custom_count);
    check(bytes > 0, "fmtsize");
    cvtlist = static_cast<INTL_CVTLIST *>(std::calloc(1, static_cast<size_t>(bytes)));
    for (const Custom &c : customs)
        check(intl_fmtinstall(cvtlist, c.name, c.argtype, c.routine) == INTL_OK, "install");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const uint8_t flags = data[0];
    const INTL_INT bufsize = 1 + (data[1] | data[2] << 8) % 2048;
    const auto *end = data + size;
    const auto *text_end = static_cast<const uint8_t *>(std::memchr(data + 3, 0, size - 3));
    if (text_end == nullptr)
        text_end = end;
    const std::vector<char> text(data + 3, text_end);
    const uint8_t *formats_start = text_end == end ? end : text_end + 1;
    auto *formats_end =
        static_cast<const uint8_t *>(std::memchr(formats_start, 0, end - formats_start));
    if (formats_end == nullptr)
        formats_end = end;
    const std::vector<char> formats = within_budget(formats_start, formats_end);
    const uint8_t *args = formats_end == end ? end : formats_end + 1;
    const size_t args_len = static_cast<size_t>(end - args);

    refill(regions[0]);
    refill(regions[1]);
    const INTL_CVTLIST *list = flags & 1 ? cvtlist : nullptr;
    char *out = static_cast<char *>(std::malloc(static_cast<size_t>(bufsize)));
    INTL_INT rc;
    if (flags & 2) {
        char *t = exact_copy(text);
        char *f = exact_copy(formats);
        rc = counted(list, out, bufsize, t, static_cast<INTL_INT>(text.size()),
                     flags & 4 ? nullptr : f, static_cast<INTL_INT>(formats.size()), ALL_ARGUMENTS);
        std::free(t);
        std::free(f);
    } else {
        std::vector<char> t(text);
        t.push_back('\0');
        std::vector<char> f(formats);
        f.push_back('\0');
        rc = intl_strbuild(list, out, bufsize, t.data(), flags & 4 ? nullptr : f.data(),
                           ALL_ARGUMENTS);
    }
    if (rc >= 0) {
        check(rc < bufsize, "message longer than the buffer");
        check(out[rc] == '\0', "message not terminated");
    } else {
        check(rc >= INTL_E_HEADING || rc == INTL_E_NOMEM, "unknown code");
    }
    std::free(out);
    return 0;
}
