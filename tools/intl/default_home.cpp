// The built-in data directory; compiled once per executable, since the
// build-tree tool and the installed one look in different places.
#include "home.h"

#include <filesystem>

namespace tool {

std::string default_home() {
    const std::filesystem::path built_in{INTL_DEFAULT_HOME};
    if (built_in.is_absolute())
        return built_in.string();
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return built_in.string();
    return (self.parent_path() / built_in).lexically_normal().string();
}

} // namespace tool
