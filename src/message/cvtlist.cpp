// The caller's list of custom conversions: intl_fmtsize, intl_fmtinstall.
#include "frame/frame.h"

#include <cstdint>

extern "C" {

INTL_INT intl_fmtsize(INTL_INT listsize) {
    if (listsize < 1)
        return INTL_E_LISTSIZE;
    // The record already holds its first entry.
    const std::int64_t bytes = std::int64_t{sizeof(INTL_CVTLIST)} +
                               std::int64_t{listsize - 1} * std::int64_t{sizeof(INTL_FMT)};
    const std::int64_t rounded = (bytes + 3) / 4 * 4;
    // A size the result cannot carry would have the caller allocate too little.
    if (rounded > INT32_MAX)
        return INTL_E_LISTSIZE;
    return static_cast<INTL_INT>(rounded);
}

INTL_INT intl_fmtinstall(INTL_CVTLIST *cvtlist, const char *fmt, INTL_INT argtype,
                         INTL_CONVERT conversion) {
    if (cvtlist == nullptr)
        return INTL_E_NOCVTLIST;
    if (fmt == nullptr)
        return INTL_E_NOFORMATS;
    if (conversion == nullptr)
        return INTL_E_NOCONVERT;
    // The list grows past its declared single entry into the caller's room.
    INTL_FMT *entry = cvtlist->fmtlist + cvtlist->listcount;
    // A shortened name would match specifiers its author never wrote.
    if (!intl::copy_text(entry->fmt,
                         std::string_view(fmt, intl::bounded_length(fmt, sizeof entry->fmt))))
        return INTL_E_CUSTOMLONG;
    entry->argtype = argtype;
    entry->conversion = conversion;
    ++cvtlist->listcount;
    return INTL_OK;
}
}
