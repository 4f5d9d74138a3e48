// Input and LocFile: the library's reader with exceptions, exact value
// bytes and the file's own line numbers.
#include "locfile.h"

#include "output.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tool {

namespace {

// Fills the value field before each read, so that the reader's terminator is
// the last zero byte in it: a zero byte written as 0x00 comes before it.
constexpr unsigned char value_fill = 0xA5;

// The reader reads a line into its field with room for the terminator.
constexpr std::size_t reader_chunk = sizeof(INTL_LOCFILE::line) - 1;

// Length of the value the reader just wrote: the position of its terminator.
std::size_t written_length(const char (&field)[sizeof(INTL_LOCFILE::value)]) {
    for (std::size_t i = sizeof field; i-- > 0;)
        if (field[i] == '\0')
            return i;
    return 0;
}

// Reads a descriptor to its end; 0, or the error (EISDIR for a directory).
int read_whole(int fd, std::string &text) {
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : 0;
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

// A new temporary file holding text; its path.
std::string keep_in_temporary(const std::string &text) {
    std::string path = (std::filesystem::temp_directory_path() / "intl-stdin.XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw Failure("cannot keep standard input in a temporary file: " +
                      std::string{std::strerror(errno)});
    try {
        write_all(fd, text, path);
    } catch (const Failure &) {
        close(fd);
        std::remove(path.c_str());
        throw;
    }
    if (close(fd) != 0) {
        std::remove(path.c_str());
        throw Failure("cannot keep standard input in " + path + ": " + std::strerror(errno));
    }
    return path;
}

// The reader's line count at the end of each physical line of text.
std::vector<int> count_reader_lines(const std::string &text) {
    std::vector<int> ends;
    int reader = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string::npos ? text.size() : newline + 1;
        reader += static_cast<int>((end - start + reader_chunk - 1) / reader_chunk);
        ends.push_back(reader);
        start = end;
    }
    return ends;
}

} // namespace

ReadError::ReadError(const std::string &file, int status, int at, const std::string &text)
    : FileError(file, at, text), code(status), line(at), message(text) {}

Input::Input(const std::string &name) : name_(name), path_(name) {
    if (name != "-") {
        const int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw ReadError(name_, INTL_E_OPEN, 0, std::strerror(errno));
        const int error = read_whole(fd, text_);
        close(fd);
        if (error != 0)
            throw ReadError(name_, INTL_E_READ, 0, std::strerror(error));
        return;
    }
    name_ = "(standard input)";
    if (const int error = read_whole(STDIN_FILENO, text_); error != 0)
        throw ReadError(name_, INTL_E_READ, 0, std::strerror(error));
    // The library's reader opens files by name.
    path_ = keep_in_temporary(text_);
    temporary_ = true;
}

Input::Input(const std::string &name, const std::string &text)
    : name_(name), path_(keep_in_temporary(text)), text_(text), temporary_(true) {}

Input::~Input() {
    if (temporary_)
        std::remove(path_.c_str());
}

LocFile::LocFile(const Input &input)
    : input_(input), reader_lines_(count_reader_lines(input.text())),
      record_(std::make_unique<INTL_LOCFILE>()) {
    errno = 0;
    const INTL_INT rc = intl_open(input.path().c_str(), record_.get());
    if (rc == INTL_OK)
        return;
    if (rc == INTL_E_OPEN)
        throw ReadError(input.name(), rc, 0, errno != 0 ? std::strerror(errno) : intl_errstr(rc));
    // The stream stays with the record after a failed open.
    ReadError failure = error(rc);
    intl_close(record_.get());
    if (rc == INTL_E_NOCOMMENT && input.text().find_first_not_of(" \t\r\n") == std::string::npos)
        throw ReadError(input.name(), rc, 0, "the file is empty: it needs a comment line first");
    if (rc == INTL_E_GENERAL || rc == INTL_E_BADVERSION)
        throw ReadError(input.name(), rc, failure.line,
                        "the version must be digits such as 4.2 or 4.2.1 (" + failure.message +
                            ")");
    throw failure;
}

LocFile::~LocFile() {
    intl_close(record_.get());
}

int LocFile::line() const {
    const int reader = intl_linenum(record_.get());
    if (reader <= 0)
        return 0;
    const auto end = std::lower_bound(reader_lines_.begin(), reader_lines_.end(), reader);
    return static_cast<int>(end - reader_lines_.begin()) + 1;
}

ReadError LocFile::error(int code) const {
    const int at = line();
    std::string message = intl_errstr(code);
    if (code == INTL_E_LINELONG && at <= static_cast<int>(reader_lines_.size())) {
        std::size_t start = 0;
        for (int i = 1; i < at; ++i)
            start = input_.text().find('\n', start) + 1;
        const std::size_t newline = input_.text().find('\n', start);
        const std::string_view text =
            std::string_view{input_.text()}.substr(start, newline - start);
        if (const std::optional<std::string> why = unreadable_line(text))
            message = *why;
        else if (newline == std::string::npos)
            message = "the last line has no newline";
    }
    return ReadError(input_.name(), code, at, message);
}

std::optional<std::string> LocFile::next_section() {
    INTL_INT status = 0;
    const char *name = intl_nextsection(record_.get(), &status);
    if (name != nullptr)
        return std::string(name);
    if (status < 0)
        throw error(status);
    return std::nullopt;
}

std::optional<std::string> LocFile::next_entry() {
    INTL_INT status = 0;
    const char *name = intl_nextentry(record_.get(), &status);
    if (name != nullptr)
        return std::string(name);
    if (status < 0)
        throw error(status);
    return std::nullopt;
}

std::optional<std::string> LocFile::next_value() {
    std::string value;
    bool in_pieces = false;
    for (;;) {
        std::memset(record_->value, value_fill, sizeof record_->value);
        INTL_INT status = 0;
        const char *piece = intl_nextvalue(record_.get(), &status);
        if (piece == nullptr) {
            if (status < 0)
                throw error(status);
            return in_pieces ? std::optional<std::string>(value) : std::nullopt;
        }
        value.append(piece, written_length(record_->value));
        if (status == 0)
            return value;
        in_pieces = true;
    }
}

std::vector<std::string> LocFile::rest_of_values() {
    std::vector<std::string> values;
    while (std::optional<std::string> value = next_value())
        values.push_back(std::move(*value));
    return values;
}

std::optional<std::string> unreadable_line(std::string_view line) {
    if (line.find('\0') != std::string_view::npos)
        return "the line holds a zero byte, which the reader cannot read past";
    if (line.size() >= reader_chunk)
        return "the line is " + std::to_string(line.size()) +
               " bytes long; the reader takes lines of at most " +
               std::to_string(reader_chunk - 1) + " bytes";
    return std::nullopt;
}

bool LocFile::find_section(const std::string &name) {
    while (std::optional<std::string> section = next_section())
        if (*section == name)
            return true;
    return false;
}

} // namespace tool
