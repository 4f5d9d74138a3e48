// Charset names as users type them: in any case, with or without hyphens
// and underscores, and under the other names iconv(3) gives the charsets
// the tables are made for (utf8, sjis, cp936, latin1, ...).
#ifndef INTL_TOOL_CHARSET_NAMES_H
#define INTL_TOOL_CHARSET_NAMES_H

#include <optional>
#include <string>
#include <string_view>

namespace tool {

// One key for every spelling and alias of a charset: "Shift-JIS", "sjis"
// and "MS_KANJI" all give the key of SHIFT_JIS.
std::string charset_key(std::string_view name);

// The entry of directory dir (a subdirectory, or a regular file) that names
// the charset: name itself when it is there, else the one entry whose key
// is name's; nullopt when none is. Throws Failure when several entries
// share the key.
std::optional<std::string> find_charset(const std::string &dir, const std::string &name,
                                        bool directory);

} // namespace tool

#endif
