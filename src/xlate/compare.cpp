// Byte-string comparisons: intl_memcmp, intl_memhilo, intl_strcmp.
#include "xlate/xlate.h"

#include <algorithm>

extern "C" {

INTL_INT intl_memcmp(const unsigned char *p1, const unsigned char *p2, INTL_INT len) {
    if (len <= 0)
        return 0;
    const int diff = std::memcmp(p1, p2, static_cast<std::size_t>(len));
    return diff == 0 ? 0 : (diff < 0 ? -1 : 1);
}

INTL_INT intl_memhilo(const unsigned char *p1, INTL_INT len1, const unsigned char *p2,
                      INTL_INT len2) {
    const INTL_INT common = intl_memcmp(p1, p2, std::min(len1, len2));
    if (common != 0)
        return common;
    return len1 == len2 ? 0 : (len1 > len2 ? 1 : -1);
}

INTL_INT intl_strcmp(const unsigned char *p1, const unsigned char *p2) {
    while (*p1 != '\0' && *p1 == *p2) {
        ++p1;
        ++p2;
    }
    return INTL_INT{*p1} - INTL_INT{*p2};
}
}
