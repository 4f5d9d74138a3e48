// intl__print_xlate: every mapping of a table on standard output.
#include "xlate/xlate.h"

#include <algorithm>
#include <cstdio>

using namespace intl::xlate;

namespace {

// Printable ASCII as itself, anything else as bare lower-case hex.
void print_byte(unsigned char b) {
    if (b >= 32 && b <= 126)
        std::printf("%c", b);
    else
        std::printf("%x", b);
}

// Prints at most `room` bytes of a pattern: a corrupt length never reads
// past the pattern's field.
void print_bytes(const unsigned char *bytes, INTL_INT count, INTL_INT room) {
    const INTL_INT n = std::clamp(count, 0, room);
    for (INTL_INT i = 0; i < n; ++i)
        print_byte(bytes[i]);
}

void print_mapping(unsigned char first, const INTL_MAP &m) {
    std::printf("Source string: ");
    print_byte(first);
    print_bytes(m.src_pattern, m.src_left, max_src_left);
    std::printf("\nDest string: ");
    print_bytes(m.dest_pattern, m.dest_chars, max_dest_chars);
    std::printf("\n");
}

} // namespace

extern "C" {

void intl__print_xlate(const INTL_XLATE *xlt) {
    if (xlt == nullptr) {
        std::printf("Translation table is empty.\n");
        return;
    }
    for (int b = 0; b < list_count; ++b)
        for (const INTL_MAP &m : mappings(xlt->xlist[b]))
            print_mapping(static_cast<unsigned char>(b), m);
}
}
