// --home and the fallbacks behind it.
#include "home.h"

#include "tool.h"

#include <intl.h>

#include <array>
#include <filesystem>
#include <system_error>

namespace tool {

namespace {

// A directory the library can load tables from: its charsets/ exists.
bool holds_charsets(const std::string &dir) {
    std::error_code error;
    return std::filesystem::is_directory(dir + "/charsets", error);
}

// The library's own choice: override, $KORVAN, else the home of user korvan.
// Returns false, with the reason in dir, when it finds none.
bool library_home(std::string &dir) {
    std::array<char, 513> found{};
    const INTL_INT length = intl_home(found.data(), static_cast<INTL_INT>(found.size()));
    if (length < 0) {
        dir = status_text(length);
        return false;
    }
    dir.assign(found.data(), static_cast<std::size_t>(length));
    return true;
}

std::string pick_home(const std::string &home) {
    if (!home.empty()) {
        if (!holds_charsets(home))
            throw Failure("data directory " + home + " holds no charsets/");
        return home;
    }
    // A $KORVAN or user korvan meant for another program must not hide the
    // tool's own data, so each place counts only when it holds the tables.
    std::string looked_up;
    const bool found = library_home(looked_up);
    if (found && holds_charsets(looked_up))
        return looked_up;
    const std::string built_in = default_home();
    if (holds_charsets(built_in))
        return built_in;
    const std::string tried = found ? looked_up + " (from $KORVAN or user korvan's home)"
                                    : "$KORVAN or user korvan (" + looked_up + ")";
    throw Failure("no data directory holds charsets/: tried " + tried + " and the built-in " +
                  built_in + "; name one with --home DIR or KORVAN=DIR");
}

} // namespace

void add_home_option(CLI::App &command, std::string &home) {
    command.add_option("--home", home,
                       "Data directory holding charsets/ (default: the first that holds it of "
                       "$KORVAN or the home of user korvan, and " +
                           default_home() + ")");
}

std::string use_home(const std::string &home) {
    const std::string chosen = pick_home(home);
    const INTL_INT rc = intl_sethome(chosen.c_str());
    if (rc != INTL_OK)
        throw Failure("data directory " + chosen + ": " + status_text(rc));
    return chosen;
}

} // namespace tool
