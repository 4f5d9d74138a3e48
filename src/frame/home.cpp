// intl_sethome, intl_home, intlgetenv: where the library's data files live.
#include "frame/frame.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <pwd.h>

namespace {

constexpr std::size_t path_field = 512; // 511 characters and the terminator
constexpr INTL_INT env_field = 513;     // a KORVAN value of up to 512 characters

// The process-wide override; empty means "not set".
char homedir[path_field];

// Copies a found directory into the caller's buffer; its length, or -7.
INTL_INT copy_directory(char *buf, std::size_t room, const char *dir, std::size_t len) {
    if (len >= room)
        return INTL_E_OVERFLOW;
    std::memcpy(buf, dir, len + 1);
    return static_cast<INTL_INT>(len);
}

// Releases a scratch buffer taken from the heap.
struct FreeScratch {
    void operator()(char *scratch) const { comn_free(scratch); }
};

// Home directory of the user "korvan", copied into buf; its length, -7 when
// it does not fit, -156 when there is no such user. The lookup's scratch
// buffer is on the stack first, then doubled on the heap while it is short.
INTL_INT korvan_home(char *buf, std::size_t room) {
    std::array<char, 4096> small;
    std::unique_ptr<char, FreeScratch> large;
    std::size_t scratchlen = small.size();
    for (;;) {
        passwd entry{};
        passwd *found = nullptr;
        const int rc =
            getpwnam_r("korvan", &entry, large ? large.get() : small.data(), scratchlen, &found);
        if (rc != ERANGE || scratchlen >= (1u << 20)) {
            if (rc != 0 || found == nullptr || found->pw_dir == nullptr)
                return INTL_E_NOUSER;
            return copy_directory(buf, room, found->pw_dir, std::strlen(found->pw_dir));
        }
        scratchlen *= 2;
        large.reset(); // the shorter buffer goes before the longer one comes
        large.reset(static_cast<char *>(comn_malloc(static_cast<INTL_UINT>(scratchlen))));
        if (large == nullptr)
            return INTL_E_NOMEM;
    }
}

} // namespace

extern "C" {

INTL_INT intl_sethome(const char *path) {
    if (path == nullptr) {
        homedir[0] = '\0';
        return INTL_OK;
    }
    return intl::copy_text(homedir, path) ? INTL_OK : INTL_E_PATHLONG;
}

INTL_INT intlgetenv(char *buf, INTL_INT buflen, const char *envvar) {
    if (envvar == nullptr)
        return 0;
    if (buf == nullptr)
        return INTL_E_NULLBUF;
    if (buflen < 0)
        return INTL_E_BUFLEN;
    const char *value = std::getenv(envvar);
    if (value == nullptr)
        return 0;
    const std::size_t len = std::strlen(value);
    if (len + 1 > static_cast<std::size_t>(buflen))
        return INTL_E_OVERFLOW;
    std::memcpy(buf, value, len + 1);
    return static_cast<INTL_INT>(len);
}

INTL_INT intl_home(char *buf, INTL_INT buflen) {
    if (buf == nullptr)
        return INTL_E_NULLBUF;
    if (buflen < 0)
        return INTL_E_BUFLEN;
    const auto room = static_cast<std::size_t>(buflen);

    if (homedir[0] != '\0')
        return copy_directory(buf, room, homedir, std::strlen(homedir));

    char value[env_field];
    const INTL_INT envlen = intlgetenv(value, env_field, "KORVAN");
    if (envlen != 0) // a value, or -7 for one too long: never the password database
        return envlen < 0 ? envlen
                          : copy_directory(buf, room, value, static_cast<std::size_t>(envlen));

    // The user's entry is copied straight into buf, so its length is
    // limited only by the caller's buffer.
    return korvan_home(buf, room);
}
}
