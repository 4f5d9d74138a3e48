// LocFile: the library's reader with exceptions and exact value bytes.
#include "locfile.h"

#include <cerrno>
#include <cstring>
#include <vector>

namespace tool {

namespace {

// Fills the value field before each read, so that the reader's terminator is
// the last zero byte in it: a zero byte written as 0x00 comes before it.
constexpr unsigned char value_fill = 0xA5;

// Length of the value the reader just wrote: the position of its terminator.
std::size_t written_length(const char (&field)[sizeof(INTL_LOCFILE::value)]) {
    for (std::size_t i = sizeof field; i-- > 0;)
        if (field[i] == '\0')
            return i;
    return 0;
}

} // namespace

ReadError::ReadError(int status, int at)
    : std::runtime_error(intl_errstr(status)), code(status), line(at) {}

ReadError::ReadError(int status, int at, const std::string &message)
    : std::runtime_error(message), code(status), line(at) {}

LocFile::LocFile(const std::string &path) : record_(std::make_unique<INTL_LOCFILE>()) {
    errno = 0;
    const INTL_INT rc = intl_open(path.c_str(), record_.get());
    if (rc == INTL_OK)
        return;
    if (rc == INTL_E_OPEN)
        throw ReadError(rc, 0, errno != 0 ? std::strerror(errno) : intl_errstr(rc));
    // The stream stays with the record after a failed open.
    const int at = intl_linenum(record_.get());
    intl_close(record_.get());
    throw ReadError(rc, at);
}

LocFile::~LocFile() {
    intl_close(record_.get());
}

std::optional<std::string> LocFile::next_section() {
    INTL_INT status = 0;
    const char *name = intl_nextsection(record_.get(), &status);
    if (name != nullptr)
        return std::string(name);
    if (status < 0)
        throw ReadError(status, line());
    return std::nullopt;
}

std::optional<std::string> LocFile::next_entry() {
    INTL_INT status = 0;
    const char *name = intl_nextentry(record_.get(), &status);
    if (name != nullptr)
        return std::string(name);
    if (status < 0)
        throw ReadError(status, line());
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
                throw ReadError(status, line());
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

bool LocFile::find_section(const std::string &name) {
    while (std::optional<std::string> section = next_section())
        if (*section == name)
            return true;
    return false;
}

} // namespace tool
