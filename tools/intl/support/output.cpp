// write_all, write_output and finish_standard_output.
#include "output.h"

#include "tool.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

constexpr int most_links = 40; // as the kernel's own limit on a path's links

std::string error_text(const std::string &what, int error) {
    return what + ": " + std::strerror(error);
}

// The file a chain of symbolic links ends at (itself when it is none); the
// end need not exist, so a dangling link names the file to create.
std::filesystem::path through_links(std::filesystem::path path) {
    for (int hops = 0; hops < most_links; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
            return path;
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error)
            throw Failure(error_text("cannot follow " + path.string(), error.value()));
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    throw Failure(error_text("cannot follow " + path.string(), ELOOP));
}

// Permissions of a new file: what the umask allows of rw-rw-rw-.
mode_t new_file_mode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

void write_in_place(const std::string &target, std::string_view bytes) {
    const int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw Failure(error_text("cannot open " + target, errno));
    try {
        write_all(fd, bytes, target);
    } catch (const Failure &) {
        close(fd);
        throw;
    }
    if (close(fd) != 0)
        throw Failure(error_text("cannot write " + target, errno));
}

// A temporary file in the target's directory renamed over it: a failure
// leaves no output, and an earlier file stays whole.
void replace_whole(const std::filesystem::path &target, mode_t mode, std::string_view bytes) {
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw Failure(error_text("cannot create a file beside " + target.string(), errno));
    try {
        write_all(fd, bytes, target.string());
    } catch (const Failure &) {
        close(fd);
        std::remove(temporary.c_str());
        throw;
    }
    int error = fchmod(fd, mode) == 0 ? 0 : errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        std::remove(temporary.c_str());
        throw Failure(error_text("cannot write " + target.string(), error));
    }
}

} // namespace

void write_all(int fd, std::string_view bytes, const std::string &what) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw Failure(error_text("cannot write " + what, n < 0 ? errno : EIO));
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void write_output(const std::string &target, std::string_view bytes) {
    if (target == "-") {
        std::cout.flush();
        write_all(STDOUT_FILENO, bytes, "standard output");
        return;
    }
    const std::filesystem::path resolved = through_links(target);
    struct stat info {};
    if (stat(resolved.c_str(), &info) != 0) {
        if (errno != ENOENT)
            throw Failure(error_text("cannot write " + target, errno));
        replace_whole(resolved, new_file_mode(), bytes);
    } else if (S_ISREG(info.st_mode)) {
        replace_whole(resolved, info.st_mode & 07777, bytes);
    } else {
        write_in_place(resolved.string(), bytes);
    }
}

void finish_standard_output() {
    std::cout.flush();
    const bool lost = !std::cout || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    const int error = errno;
    if (lost)
        throw Failure(error_text("cannot write standard output", error != 0 ? error : EIO));
    if (close(STDOUT_FILENO) != 0 && errno != EBADF)
        throw Failure(error_text("cannot write standard output", errno));
}

} // namespace tool
