// What several suites set up alike: a temporary directory, compiled
// translation files, the count of open descriptors.
#ifndef INTL_TESTS_SUPPORT_H
#define INTL_TESTS_SUPPORT_H

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// A temporary directory for a test, removed with everything in it.
class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "intl_test.XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }

    // Writes bytes exactly as given; returns the file's full path.
    std::string write(const std::string &name, std::string_view bytes) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

    // Reads a file back whole.
    static std::string read(const std::string &file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path path_;
};

// Number of open descriptors of this process.
inline int open_descriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The compiled translation file: le32(version), then blocks. A block is its
// direction code, 256 list headers (a count and a pointer's place) and the
// lists' 24-byte records in first-byte order. Words are little-endian.
struct XltRecord {
    std::string rest; // the source's bytes after its first, at most 7
    std::string dest; // at most 8
};
struct XltBlock {
    std::int32_t tabcode;                        // 1: to display; anything else: to server
    std::map<int, std::vector<XltRecord>> lists; // by first byte, longest source first
    std::map<int, std::int32_t> counts = {};     // what a header claims instead of the truth
    std::uint32_t pointer = 0;                   // what fills the places a reader ignores
    char pad = '\0';
};

inline std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

inline std::string xlt_block(const XltBlock &block) {
    std::string out = le32(static_cast<std::uint32_t>(block.tabcode)), records;
    for (int first = 0; first < 256; ++first) {
        std::uint32_t count = 0;
        if (const auto list = block.lists.find(first); list != block.lists.end())
            for (const XltRecord &r : list->second) {
                ++count;
                records += le32(static_cast<std::uint32_t>(r.rest.size())) +
                           le32(static_cast<std::uint32_t>(r.dest.size())) +
                           (r.rest + std::string(7, '\0')).substr(0, 7) +
                           (r.dest + std::string(8, '\0')).substr(0, 8) + block.pad;
            }
        if (const auto claim = block.counts.find(first); claim != block.counts.end())
            count = static_cast<std::uint32_t>(claim->second);
        out += le32(count) + le32(block.pointer);
    }
    return out + records;
}

#endif
