// intl po export FILE SECTION and intl po import FILE.po --section NAME: a
// section's messages as a PO template for translators' tools, and their
// translations back as a section written in a localization file's syntax.
#include "locfile.h"
#include "locwriter.h"
#include "output.h"
#include "placeholders.h"
#include "pofile.h"
#include "tool.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <unistd.h>

namespace tool {

namespace {

struct ExportOptions {
    std::string file;
    std::string section;
    std::string charset = "UTF-8";
    std::string output = "-";
};

struct ImportOptions {
    std::string file;
    std::string section;
    std::string target;
    std::string output = "-";
};

// One entry of a section: its name, line and only value.
struct Message {
    std::string name;
    int line;
    std::string text;
};

std::vector<Message> read_messages(LocFile &file, const std::string &name) {
    std::vector<Message> messages;
    std::map<std::string, int> seen;
    while (std::optional<std::string> entry = file.next_entry()) {
        const int line = file.line();
        const std::vector<std::string> values = file.rest_of_values();
        if (values.size() != 1)
            throw FileError(name, line,
                            "'" + *entry + "' holds " + std::to_string(values.size()) +
                                " values; a message is one (quote a template that holds the list "
                                "separator)");
        if (values[0].empty() || values[0].find('\0') != std::string::npos)
            throw FileError(name, line,
                            "'" + *entry + "' is " +
                                (values[0].empty() ? "empty" : "holds a zero byte") +
                                ": a PO file cannot carry it");
        if (const auto [at, fresh] = seen.emplace(*entry, line); !fresh)
            throw FileError(name, line,
                            "'" + *entry + "' again (line " + std::to_string(at->second) +
                                "): the PO file would name two messages alike");
        messages.push_back({*entry, line, values[0]});
    }
    return messages;
}

// Whether text is UTF-8 (shortest forms, no surrogates).
bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80                   ? 1
                                   : lead >= 0xC2 && lead < 0xE0 ? 2
                                   : lead >= 0xE0 && lead < 0xF0 ? 3
                                   : lead >= 0xF0 && lead < 0xF5 ? 4
                                                                 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        unsigned long code = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) {
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if ((byte & 0xC0) != 0x80)
                return false;
            code = code << 6 | (byte & 0x3F);
        }
        constexpr unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

std::string template_header(const std::string &file, const std::string &section,
                            const std::string &charset) {
    return "# The messages of [" + section + "] in " + file +
           ". Placeholders %1!, %2!, ... stand\n"
           "# for the program's arguments: keep each one, in the order your language wants.\n" +
           po_string("msgid", "") +
           po_string("msgstr", "Project-Id-Version: " + file + " [" + section +
                                   "]\nMIME-Version: 1.0\nContent-Type: text/plain; charset=" +
                                   charset + "\nContent-Transfer-Encoding: 8bit\n");
}

std::string template_message(const Message &m, const std::string &file) {
    std::string text = "\n";
    const std::set<std::size_t> used = placeholder_numbers(m.text);
    if (!used.empty())
        text += "#. Placeholders: " + placeholder_list(used) + "\n";
    return text + "#: " + file + ":" + std::to_string(m.line) + "\n" +
           po_string("msgctxt", m.name) + po_string("msgid", m.text) + po_string("msgstr", "");
}

int run_export(const ExportOptions &options) {
    const Input input(options.file);
    LocFile file(input);
    if (!file.find_section(options.section))
        throw FileError(input.name(), 0, "no section [" + options.section + "]");
    const std::vector<Message> messages = read_messages(file, input.name());
    const std::string base = std::filesystem::path{input.name()}.filename().string();
    std::string text = template_header(base, options.section, options.charset);
    for (const Message &m : messages) {
        if ((options.charset == "UTF-8" || options.charset == "utf-8") && !is_utf8(m.text))
            throw FileError(input.name(), m.line,
                            "'" + m.name + "' is not UTF-8: name its charset with --charset");
        try {
            text += template_message(m, base);
        } catch (const Failure &e) {
            throw FileError(input.name(), m.line, "'" + m.name + "': " + e.what());
        }
    }
    write_output(options.output, text);
    return exit_ok;
}

// --- import -------------------------------------------------------------

// The syntax the target file declares, or the defaults without one.
Syntax target_syntax(const std::string &target) {
    if (target.empty())
        return {};
    const Input input(target);
    return LocFile(input).syntax();
}

// Why name cannot be an entry's name in a file of that syntax, or "".
std::string bad_entry_name(const std::string &name, const Syntax &syntax) {
    if (name.size() > sizeof(INTL_LOCFILE::entry) - 2)
        return "longer than the " + std::to_string(sizeof(INTL_LOCFILE::entry) - 2) +
               " characters of an entry's name";
    if (!name.empty() && (name[0] == syntax.comment || name[0] == syntax.left))
        return "it would begin a comment or a heading";
    for (const char c : name)
        if (std::isspace(static_cast<unsigned char>(c)) || c == '=' || c == syntax.escape)
            return "white space, '=' and the escape character have no place in an entry's name";
    return "";
}

struct Translation {
    std::string name;
    std::string text;
};

// The translations to write; prints what is left out, throws for what is wrong.
std::vector<Translation> translations(const std::vector<PoMessage> &messages,
                                      const std::string &name, const Syntax &syntax) {
    std::vector<Translation> kept;
    std::vector<std::string> errors;
    std::size_t fuzzy = 0, untranslated = 0;
    std::map<std::string, int> seen;
    const auto where = [&](const PoMessage &m) {
        return name + ":" + std::to_string(m.line) + ": '" + m.context + "'";
    };
    for (const PoMessage &m : messages) {
        if (!m.has_context) {
            errors.push_back(name + ":" + std::to_string(m.line) +
                             ": no msgctxt: it names the entry a message goes to");
            continue;
        }
        if (const auto [at, fresh] = seen.emplace(m.context, m.line); !fresh) {
            errors.push_back(where(m) + " again (line " + std::to_string(at->second) +
                             "): a section holds each entry once");
            continue;
        }
        if (m.plural || !bad_entry_name(m.context, syntax).empty()) {
            errors.push_back(where(m) + ": " +
                             (m.plural ? "plural forms have no place in a section"
                                       : bad_entry_name(m.context, syntax)));
            continue;
        }
        if (m.translation.empty() || m.fuzzy) {
            std::cerr << where(m) << (m.fuzzy ? " is fuzzy" : " is not translated")
                      << "; left out\n";
            ++(m.fuzzy ? fuzzy : untranslated);
            continue;
        }
        try {
            const std::set<std::size_t> source = placeholder_numbers(m.id);
            const std::set<std::size_t> target = placeholder_numbers(m.translation);
            if (source != target)
                errors.push_back(where(m) + ": the translation's placeholders (" +
                                 placeholder_list(target) + ") differ from the source's (" +
                                 placeholder_list(source) + ")");
        } catch (const Failure &e) {
            errors.push_back(where(m) + ": " + e.what());
        }
        kept.push_back({m.context, m.translation});
    }
    if (fuzzy + untranslated > 0)
        std::cerr << "intl po import: " << untranslated << " untranslated and " << fuzzy
                  << " fuzzy message" << (fuzzy == 1 ? "" : "s") << " left out\n";
    if (!errors.empty()) {
        for (const std::string &e : errors)
            std::cerr << e << '\n';
        throw Failure(std::to_string(errors.size()) + " message" + (errors.size() == 1 ? "" : "s") +
                      " refused; nothing written");
    }
    return kept;
}

std::string section_text(const std::string &section, const std::vector<Translation> &entries,
                         const Syntax &syntax) {
    std::size_t width = 0;
    for (const Translation &t : entries)
        width = std::max(width, t.name.size());
    std::string text = syntax.left + section + syntax.right + "\n";
    for (const Translation &t : entries) {
        const std::string name = t.name + std::string(width - t.name.size(), ' ') + " = ";
        text += name + written_value(t.text, syntax, name.size()) + "\n";
    }
    return text;
}

// Why the library's reader does not give the section back as meant under
// the syntax, or "".
std::string reread_mismatch(const std::string &path, const std::string &section,
                            const std::vector<Translation> &entries) {
    try {
        const Input input(path);
        LocFile read(input);
        if (read.next_section() != section)
            return "its heading does not read back";
        for (const Translation &t : entries)
            if (read.next_entry() != t.name || read.rest_of_values() != std::vector{t.text})
                return "'" + t.name + "' does not read back";
        return read.next_entry() ? "it reads back with an entry too many" : "";
    } catch (const ReadError &e) {
        return "line " + std::to_string(e.line) + " of it: " + e.message;
    }
}

// Throws unless the section, in a file of that syntax, reads back as meant.
void check_reads_back(const std::string &section, const std::string &text,
                      const std::vector<Translation> &entries, const Syntax &syntax) {
    std::string path = (std::filesystem::temp_directory_path() / "intl-po.XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw Failure("cannot make a temporary file: " + std::string{std::strerror(errno)});
    const std::string file =
        std::string{syntax.comment} + " check\n" + file_format_section(syntax) + text;
    std::string wrong;
    try {
        write_all(fd, file, path);
        wrong = reread_mismatch(path, section, entries);
    } catch (const Failure &e) {
        wrong = e.what();
    }
    close(fd);
    std::remove(path.c_str());
    if (!wrong.empty())
        throw Failure("cannot write the section in this file's syntax (" + wrong +
                      "); nothing written");
}

int run_import(const ImportOptions &options) {
    const Syntax syntax = target_syntax(options.target);
    if (options.section.empty() || options.section.size() > sizeof(INTL_LOCFILE::section) - 2 ||
        options.section.find_first_of(std::string{syntax.right, '\n'}) != std::string::npos)
        throw Failure("--section wants a name of 1 to " +
                      std::to_string(sizeof(INTL_LOCFILE::section) - 2) +
                      " characters without the closing bracket");
    const Input input(options.file);
    const std::vector<Translation> entries =
        translations(read_po(input.text(), input.name()), input.name(), syntax);
    const std::string text = section_text(options.section, entries, syntax);
    check_reads_back(options.section, text, entries, syntax);
    write_output(options.output, text);
    return exit_ok;
}

} // namespace

Command add_po(CLI::App &app) {
    auto exporting = std::make_shared<ExportOptions>();
    auto importing = std::make_shared<ImportOptions>();
    CLI::App *po = app.add_subcommand("po", "Exchange a section's messages with PO files");
    po->require_subcommand(1);
    CLI::App *out = po->add_subcommand("export", "Write a PO template of a section's messages");
    out->add_option("FILE", exporting->file, "Localization file; - is standard input")->required();
    out->add_option("SECTION", exporting->section, "Section of the messages")->required();
    out->add_option("--charset", exporting->charset,
                    "Charset of the section's text, named in the template (default UTF-8)");
    out->add_option("-o", exporting->output, "Output file; - is standard output (the default)");
    CLI::App *in = po->add_subcommand("import", "Write a section of the translations of a PO file");
    in->add_option("FILE", importing->file, "PO file; - is standard input")->required();
    in->add_option("--section", importing->section, "Name of the section to write")->required();
    in->add_option("--for", importing->target,
                   "Localization file the section goes into: values are written in its syntax");
    in->add_option("-o", importing->output, "Output file; - is standard output (the default)");
    return {po, [exporting, importing, out] {
                return out->parsed() ? run_export(*exporting) : run_import(*importing);
            }};
}

} // namespace tool
