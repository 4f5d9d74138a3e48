// Fuzz target: localization files.
//
// The input is the file. It is served from a memory-backed descriptor and
// read three times: a structured walk of every section, entry and value; the
// datetime reader on every section; and a sequence of reader calls chosen by
// a hash of the input, so that calls meet the record in every state. After
// every call each fixed field of the record must still be terminated inside
// itself, and the results must follow the reader's status convention.
#include <intl.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "locfile_fuzz: %s\n", what);
        std::abort();
    }
}

template <std::size_t N> void check_terminated(const char (&field)[N], const char *what) {
    check(std::memchr(field, '\0', N) != nullptr, what);
}

void check_record(const INTL_LOCFILE &lf) {
    check_terminated(lf.line, "line not terminated");
    check_terminated(lf.section, "section not terminated");
    check_terminated(lf.entry, "entry not terminated");
    check_terminated(lf.value, "value not terminated");
    check(lf.linepos >= 0 && lf.linepos <= static_cast<INTL_INT>(sizeof lf.line), "linepos");
    check(lf.linelen >= -1 && lf.linelen < static_cast<INTL_INT>(sizeof lf.line), "linelen");
}

// A scanning call's result against the status convention: a pointer into
// the record with 0 (or 1 for a value piece), or null with 1 or a code.
void check_scan(const INTL_LOCFILE &lf, const char *item, INTL_INT status, const char *field,
                bool pieces) {
    check_record(lf);
    if (item != nullptr) {
        check(item == field, "item does not point at its field");
        check(status == 0 || (pieces && status == 1), "item with a bad status");
    } else {
        check(status == 1 || status < 0, "null with a bad status");
    }
}

void check_dateinfo(const INTL_DATEINFO &di) {
    for (const auto &m : di.months)
        check_terminated(m, "month not terminated");
    for (const auto &m : di.shortmonths)
        check_terminated(m, "short month not terminated");
    for (const auto &d : di.days)
        check_terminated(d, "day not terminated");
}

// The file, readable at a path of its own.
class MemoryFile {
  public:
    MemoryFile(const uint8_t *data, size_t size) {
        fd_ = ::memfd_create("locfile", MFD_CLOEXEC);
        check(fd_ >= 0, "memfd_create");
        check(::write(fd_, data, size) == static_cast<ssize_t>(size), "write");
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile &) = delete;
    MemoryFile &operator=(const MemoryFile &) = delete;

    const char *path() const { return path_.c_str(); }

  private:
    int fd_;
    std::string path_;
};

// Opens the file into lf; false (with the stream released) when it fails.
bool open_reader(const MemoryFile &file, INTL_LOCFILE &lf, bool through_stream) {
    INTL_INT rc;
    if (through_stream) {
        INTL_IOCS *s = intl_iocsfopen(file.path(), 1);
        check(s != nullptr, "stream open");
        rc = intl_fopen(s, &lf);
    } else {
        rc = intl_open(file.path(), &lf);
    }
    check(rc == INTL_OK || rc <= 0, "open result");
    check_record(lf);
    if (rc == INTL_OK) {
        check(intl_getversion(&lf) == lf.version, "getversion");
        return true;
    }
    check(rc != INTL_E_OPEN && rc != INTL_E_BADLOCFILE && rc != INTL_E_NOLOCNAME, "open code");
    check(intl_close(&lf) == INTL_OK, "close after a failed open");
    return false;
}

// Reads every value piece of the current entry.
void walk_values(INTL_LOCFILE &lf, long &budget) {
    for (; budget > 0; --budget) {
        INTL_INT status = -999;
        const char *value = intl_nextvalue(&lf, &status);
        check_scan(lf, value, status, lf.value, true);
        if (value == nullptr)
            return;
    }
}

void walk(const MemoryFile &file, long budget) {
    INTL_LOCFILE lf;
    if (!open_reader(file, lf, false))
        return;
    while (budget-- > 0) {
        INTL_INT eof = -999;
        const char *section = intl_nextsection(&lf, &eof);
        check_scan(lf, section, eof, lf.section, false);
        if (section == nullptr)
            break;
        while (budget-- > 0) {
            INTL_INT end = -999;
            const char *entry = intl_nextentry(&lf, &end);
            check_scan(lf, entry, end, lf.entry, false);
            if (entry == nullptr)
                break;
            walk_values(lf, budget);
        }
    }
    check(intl_linenum(&lf) == lf.linenum, "linenum");
    check(intl_close(&lf) == INTL_OK, "close");
}

void read_dates(const MemoryFile &file, long budget) {
    INTL_LOCFILE lf;
    if (!open_reader(file, lf, true))
        return;
    while (budget-- > 0) {
        INTL_INT eof = -999;
        const char *section = intl_nextsection(&lf, &eof);
        check_scan(lf, section, eof, lf.section, false);
        if (section == nullptr)
            break;
        INTL_DATEINFO di;
        std::memset(&di, 0x55, sizeof di);
        const INTL_INT rc = intl_datetime(&lf, &di);
        check_record(lf);
        check(rc == INTL_OK || rc < 0, "datetime result");
        check_dateinfo(di);
        if (rc == INTL_OK) {
            check(di.firstday >= 1 && di.firstday <= 7, "firstday");
            check(di.is12hour == 0 || di.is12hour == 1, "is12hour");
            check(std::strlen(di.dateorder) == 3 && std::strchr(di.dateorder, 'm') &&
                      std::strchr(di.dateorder, 'd') && std::strchr(di.dateorder, 'y'),
                  "dateorder");
        }
    }
    check(intl_close(&lf) == INTL_OK, "close");
}

// Calls in an order drawn from the input's hash, errors included.
void wander(const MemoryFile &file, uint64_t seed, long budget) {
    INTL_LOCFILE lf;
    if (!open_reader(file, lf, seed & 1))
        return;
    int quiet = 0; // calls in a row that reported the end of everything
    while (budget-- > 0 && quiet < 8) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        INTL_INT status = -999;
        switch ((seed >> 33) % 6) {
        case 0: {
            const char *section = intl_nextsection(&lf, &status);
            check_scan(lf, section, status, lf.section, false);
            break;
        }
        case 1:
        case 2: {
            const char *entry = intl_nextentry(&lf, &status);
            check_scan(lf, entry, status, lf.entry, false);
            break;
        }
        case 3: {
            const char *value = intl_nextvalue(&lf, &status);
            check_scan(lf, value, status, lf.value, true);
            break;
        }
        case 4: {
            const char *line = intl_nextline(&lf, &status);
            check_scan(lf, line, status, lf.line, false);
            break;
        }
        default: {
            INTL_DATEINFO di;
            status = intl_datetime(&lf, &di);
            check_record(lf);
            check_dateinfo(di);
            status = status == INTL_OK ? 0 : status;
            break;
        }
        }
        quiet = lf.eof ? quiet + 1 : 0;
    }
    check(intl_close(&lf) == INTL_OK, "close");
}

uint64_t hash(const uint8_t *data, size_t size) {
    uint64_t h = 1469598103934665603ULL;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ULL;
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const MemoryFile file(data, size);
    const long budget = 64 + static_cast<long>(size) * 4;
    walk(file, budget);
    read_dates(file, budget);
    wander(file, hash(data, size), budget);
    return 0;
}
