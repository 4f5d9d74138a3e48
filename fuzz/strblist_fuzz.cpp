// Fuzz target: the argument-list formatter, intl_strblist and intl__strblist.
//
// Input: a 4-byte header (argument count, 16-bit buffer size, flags), that
// many 36-byte argument records, then the template. A record's bytes give its
// star count and values, type code, custom entry, value union and cvtspec
// text, all fuzzed; only pointers are kept valid: a code-7 value is null or
// points, aligned for a count conversion's store, into a NUL-terminated copy
// of the template owned by the harness, and a custom entry is one of the
// harness's own. The output buffer is allocated at exactly the size the call
// is given.
#include "custom_routines.h"

#include <intl.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "strblist_fuzz: %s\n", what);
        std::abort();
    }
}

constexpr size_t header_size = 4;
constexpr size_t record_size = 36;

INTL_FMT customs[] = {
    {INTL_T_INT, fuzz::echo, "num"},     {INTL_T_PTR, fuzz::echo, "ptr"},
    {INTL_T_DOUBLE, fuzz::echo, "dbl"},  {INTL_T_SHORT, fuzz::fail, "no"},
    {INTL_T_USHORT, fuzz::empty, "nil"}, {9, fuzz::echo, "bad"},
    {INTL_T_INT, nullptr, "none"},
};
constexpr size_t custom_count = sizeof customs / sizeof customs[0];

INTL_INT stars_of(uint8_t b) {
    static const INTL_INT counts[] = {0, 1, 2, 0, 1, 3, -1, 0};
    return counts[b % 8];
}

void fill_record(INTL_ARGVAL &arg, const uint8_t *r, char *texts, size_t texts_len) {
    std::memset(&arg, 0, sizeof arg);
    arg.numstars = stars_of(r[0]);
    static const INTL_INT bad_types[] = {0, -1, 9, 10, 255, INT32_MIN, INT32_MAX, -8};
    arg.value_type = r[1] < 0xF0 ? 1 + r[1] % 8 : bad_types[r[1] % 8];
    arg.custom = r[2] % 4 == 0 ? &customs[(r[2] / 4) % custom_count] : nullptr;
    // A routine reads the member its entry names, as the builder would set.
    if (arg.custom != nullptr && r[1] < 0xF0)
        arg.value_type = arg.custom->argtype;
    int16_t star0, star1;
    std::memcpy(&star0, r + 4, 2);
    std::memcpy(&star1, r + 6, 2);
    arg.stars[0] = star0;
    arg.stars[1] = star1;
    std::memcpy(&arg.value, r + 8, 8);
    std::memcpy(arg.cvtspec, r + 16, 20);
    arg.cvtspec[20] = '\0';
    if (arg.value_type == INTL_T_PTR || r[3] & 0x80)
        arg.value.ptr_val = r[3] == 0 ? nullptr : texts + 8 * (r[3] % (texts_len / 8 + 1));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < header_size)
        return 0;
    const size_t wanted = data[0] % 24;
    const INTL_INT bufsize = 1 + (data[1] | data[2] << 8) % 2048;
    const uint8_t flags = data[3];
    data += header_size;
    size -= header_size;
    const size_t numargs = std::min(wanted, size / record_size);
    const uint8_t *records = data;
    const uint8_t *tmpl = data + numargs * record_size;
    const size_t tmpl_len = size - numargs * record_size;

    // Text for pointers: the template again, terminated and with room for
    // what a count conversion stores.
    std::vector<char> texts(tmpl, tmpl + tmpl_len);
    texts.resize(tmpl_len + 16, '\0');

    std::vector<INTL_ARGVAL> args(numargs + 1);
    for (size_t i = 0; i < numargs; ++i)
        fill_record(args[i], records + i * record_size, texts.data(), tmpl_len);

    char *out = static_cast<char *>(std::malloc(static_cast<size_t>(bufsize)));
    INTL_INT rc;
    if (flags & 1) {
        std::vector<char> terminated(tmpl, tmpl + tmpl_len);
        terminated.push_back('\0');
        rc = intl_strblist(out, bufsize, terminated.data(), args.data(),
                           static_cast<INTL_INT>(numargs));
    } else {
        // Counted: the template is not terminated, so reading past it is caught.
        char *counted = static_cast<char *>(std::malloc(tmpl_len == 0 ? 1 : tmpl_len));
        if (tmpl_len > 0)
            std::memcpy(counted, tmpl, tmpl_len);
        rc = intl__strblist(out, bufsize, counted, static_cast<INTL_INT>(tmpl_len), args.data(),
                            static_cast<INTL_INT>(numargs));
        std::free(counted);
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
