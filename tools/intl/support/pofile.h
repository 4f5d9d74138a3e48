// PO files, the translators' exchange format: their messages read with
// their line numbers, and texts written as PO strings.
#ifndef INTL_TOOL_POFILE_H
#define INTL_TOOL_POFILE_H

#include <string>
#include <vector>

namespace tool {

// One message of a PO file. The header (an empty msgid without context)
// and obsolete messages (#~) are not messages.
struct PoMessage {
    int line = 0; // of its msgid
    bool has_context = false;
    std::string context;
    std::string id;
    std::string translation;
    bool fuzzy = false;
    bool plural = false;
};

// The messages of a PO file's text; throws FileError naming the line of
// the first thing that is not PO.
std::vector<PoMessage> read_po(const std::string &text, const std::string &name);

// "keyword "text"\n", with a text of several lines split after each newline
// as the gettext tools write it.
std::string po_string(const std::string &keyword, const std::string &text);

} // namespace tool

#endif
