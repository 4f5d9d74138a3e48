// charset_key and find_charset.
#include "charset_names.h"

#include "tool.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>
#include <vector>

namespace tool {

namespace {

// Other names iconv gives the charsets of the shipped tables, each with the
// name the tables use, both as spelling keys. Names that differ only in case,
// hyphens and underscores (utf8, eucjp, iso8859-1) need no row.
// clang-format off
constexpr std::pair<std::string_view, std::string_view> aliases[] = {
    {"SJIS", "SHIFTJIS"}, {"MSKANJI", "SHIFTJIS"}, {"CSSHIFTJIS", "SHIFTJIS"}, {"WINDOWS31J", "CP932"},
    {"MS932", "CP932"}, {"UJIS", "EUCJP"}, {"CP936", "GBK"}, {"MS936", "GBK"},
    {"WINDOWS936", "GBK"}, {"UHC", "CP949"}, {"CSEUCKR", "EUCKR"}, {"BIGFIVE", "BIG5"},
    {"CNBIG5", "BIG5"}, {"CP950", "BIG5"}, {"LATIN1", "ISO88591"}, {"L1", "ISO88591"},
    {"IBM819", "ISO88591"}, {"CP819", "ISO88591"}, {"CSISOLATIN1", "ISO88591"}, {"ISOIR100", "ISO88591"},
    {"LATIN2", "ISO88592"}, {"L2", "ISO88592"}, {"LATIN3", "ISO88593"}, {"L3", "ISO88593"},
    {"LATIN4", "ISO88594"}, {"L4", "ISO88594"}, {"CYRILLIC", "ISO88595"}, {"ARABIC", "ISO88596"},
    {"ECMA114", "ISO88596"}, {"ASMO708", "ISO88596"}, {"GREEK", "ISO88597"}, {"GREEK8", "ISO88597"},
    {"ECMA118", "ISO88597"}, {"ELOT928", "ISO88597"}, {"HEBREW", "ISO88598"}, {"LATIN5", "ISO88599"},
    {"L5", "ISO88599"}, {"LATIN6", "ISO885910"}, {"L6", "ISO885910"}, {"LATIN7", "ISO885913"},
    {"L7", "ISO885913"}, {"LATIN8", "ISO885914"}, {"L8", "ISO885914"}, {"LATIN9", "ISO885915"},
    {"LATIN10", "ISO885916"}, {"L10", "ISO885916"}, {"WINDOWS1250", "CP1250"}, {"MSEE", "CP1250"},
    {"WINDOWS1251", "CP1251"}, {"MSCYRL", "CP1251"}, {"WINDOWS1252", "CP1252"}, {"MSANSI", "CP1252"},
    {"WINDOWS1253", "CP1253"}, {"MSGREEK", "CP1253"}, {"WINDOWS1254", "CP1254"}, {"MSTURK", "CP1254"},
    {"WINDOWS1256", "CP1256"}, {"MSARAB", "CP1256"}, {"WINDOWS1257", "CP1257"}, {"WINBALTRIM", "CP1257"},
    {"CSKOI8R", "KOI8R"}, {"IBM866", "CP866"}, {"866", "CP866"}, {"IBM852", "CP852"},
    {"852", "CP852"}, {"IBM437", "CP437"}, {"437", "CP437"}, {"IBM850", "CP850"},
    {"850", "CP850"}, {"MAC", "MACINTOSH"}, {"CSMACINTOSH", "MACINTOSH"}, {"TIS6200", "TIS620"},
    {"ISOIR166", "TIS620"},
};
// clang-format on

// Upper case, without the characters iconv's names vary in.
std::string spelling_key(std::string_view name) {
    if (name.ends_with("//"))
        name.remove_suffix(2);
    std::string key;
    for (const char c : name)
        if (c != '-' && c != '_' && c != ' ' && c != '.')
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

bool is_entry(const std::filesystem::directory_entry &entry, bool directory) {
    std::error_code ignored;
    return directory ? entry.is_directory(ignored) : entry.is_regular_file(ignored);
}

} // namespace

std::string charset_key(std::string_view name) {
    const std::string key = spelling_key(name);
    for (const auto &[alias, table] : aliases)
        if (key == alias)
            return std::string{table};
    return key;
}

std::optional<std::string> find_charset(const std::string &dir, const std::string &name,
                                        bool directory) {
    std::error_code error;
    const std::filesystem::directory_entry exact(std::filesystem::path(dir) / name, error);
    if (!name.empty() && !error && is_entry(exact, directory))
        return name;
    const std::string key = charset_key(name);
    std::vector<std::string> found;
    for (const auto &entry : std::filesystem::directory_iterator(dir, error))
        if (is_entry(entry, directory) && charset_key(entry.path().filename().string()) == key)
            found.push_back(entry.path().filename().string());
    if (found.size() > 1) {
        std::sort(found.begin(), found.end());
        std::string names;
        for (const std::string &f : found)
            names += (names.empty() ? "" : ", ") + f;
        throw Failure("'" + name + "' may name any of " + names + " in " + dir +
                      ": name one exactly");
    }
    return found.empty() ? std::nullopt : std::optional<std::string>(found.front());
}

} // namespace tool
