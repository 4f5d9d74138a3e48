// intl_init, intl_exit, intl__getVdate and the notice text.
#include "frame/frame.h"

// The build passes these; the defaults serve a build without them.
#ifndef INTL_RELEASE
#define INTL_RELEASE "1.0"
#endif
#ifndef INTL_PATCH_LEVEL
#define INTL_PATCH_LEVEL "0"
#endif
#ifndef INTL_BUILD_HOST_RELEASE
#define INTL_BUILD_HOST_RELEASE "Linux"
#endif
#ifndef INTL_BUILD_DATE
#define INTL_BUILD_DATE "Jan 01 1970 00:00:00"
#endif

namespace {

constexpr const char version_text[] =
    // product and library/release/patch/driver/platform/host OS release/
    // threading model/build number/build kind/build date and time
    "Korvan Intl-Library libintl_r/" INTL_RELEASE "/" INTL_PATCH_LEVEL
    "/0/Linux Intel/" INTL_BUILD_HOST_RELEASE "/Native Threads/1/DEBUG/" INTL_BUILD_DATE;

const char *const intl__Vdate = version_text;

} // namespace

extern "C" {

const char *const intl__Vcopyright = "libintl_r - reentrant internationalization library\n"
                                     "Copyright (c) the libintl_r developers.\n"
                                     "All rights reserved.\n";

INTL_INT intl_init(void) {
    return INTL_OK;
}

INTL_INT intl_exit(void) {
    return INTL_OK;
}

const char *intl__getVdate(void) {
    return intl__Vdate;
}
}
