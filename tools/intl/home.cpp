// --home and the fallbacks behind it.
#include "home.h"

#include "tool.h"

#include <intl.h>

#include <array>

namespace tool {

void add_home_option(CLI::App &command, std::string &home) {
    command.add_option("--home", home,
                       "Data directory holding charsets/ (default: $KORVAN, else the home "
                       "of user korvan, else " +
                           default_home() + ")");
}

std::string use_home(const std::string &home) {
    std::string chosen = home;
    if (chosen.empty()) {
        std::array<char, 513> found{};
        const INTL_INT length = intl_home(found.data(), static_cast<INTL_INT>(found.size()));
        if (length > 0)
            return std::string(found.data(), static_cast<std::size_t>(length));
        // Only a missing user falls back; a broken $KORVAN is the user's to fix.
        if (length < 0 && length != INTL_E_NOUSER)
            throw Failure("cannot find the data directory: " + status_text(length));
        chosen = default_home();
    }
    const INTL_INT rc = intl_sethome(chosen.c_str());
    if (rc != INTL_OK)
        throw Failure("data directory " + chosen + ": " + status_text(rc));
    return chosen;
}

} // namespace tool
