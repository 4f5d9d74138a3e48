// intl show FILE [--section NAME] [--json]: the sections, entries and
// values of a localization file as the reader delivers them.
#include "locfile.h"
#include "tool.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

namespace tool {

namespace {

struct ShowOptions {
    std::string file;
    std::string section;
    bool json = false;
};

struct Entry {
    std::string name;
    int line;
    std::vector<std::string> values;
};

struct Section {
    std::string name;
    int line;
    std::vector<Entry> entries;
};

Section read_section(LocFile &file, const std::string &name) {
    Section section{name, file.line(), {}};
    while (std::optional<std::string> entry = file.next_entry()) {
        const int line = file.line();
        section.entries.push_back({*entry, line, file.rest_of_values()});
    }
    return section;
}

std::vector<Section> read_sections(LocFile &file, const std::string &only) {
    std::vector<Section> sections;
    while (std::optional<std::string> name = file.next_section()) {
        if (!only.empty() && *name != only)
            continue;
        sections.push_back(read_section(file, *name));
    }
    return sections;
}

// A value in double quotes; control bytes, quotes and backslashes escaped,
// other bytes (UTF-8 text among them) as they are.
std::string quoted(const std::string &value) {
    std::string text = "\"";
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\t') {
            text += "\\t";
        } else if (c == '\r') {
            text += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
            text += buffer;
        } else {
            text += c;
        }
    }
    return text + '"';
}

void print_text(const std::vector<Section> &sections) {
    bool first = true;
    for (const Section &section : sections) {
        std::cout << (first ? "" : "\n") << '[' << section.name << "]\n";
        first = false;
        for (const Entry &entry : section.entries) {
            std::cout << entry.name << " =";
            const char *separator = " ";
            for (const std::string &value : entry.values) {
                std::cout << separator << quoted(value);
                separator = ", ";
            }
            std::cout << '\n';
        }
    }
}

void print_json(const std::string &path, int version, const std::vector<Section> &sections) {
    nlohmann::ordered_json out = {{"file", path}, {"version", version}};
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const Section &section : sections) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const Entry &entry : section.entries)
            entries.push_back(
                {{"name", entry.name}, {"line", entry.line}, {"values", entry.values}});
        list.push_back({{"name", section.name}, {"line", section.line}, {"entries", entries}});
    }
    out["sections"] = std::move(list);
    // Bytes that are not UTF-8 become U+FFFD rather than failing the output.
    std::cout << out.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int run_show(const ShowOptions &options) {
    const Input input(options.file);
    LocFile file(input);
    const std::vector<Section> sections = read_sections(file, options.section);
    if (!options.section.empty() && sections.empty())
        throw FileError(input.name(), 0, "no section [" + options.section + "]");
    if (options.json)
        print_json(input.name(), file.version(), sections);
    else
        print_text(sections);
    return exit_ok;
}

} // namespace

Command add_show(CLI::App &app) {
    auto options = std::make_shared<ShowOptions>();
    CLI::App *command =
        app.add_subcommand("show", "Print the sections, entries and values of a localization file");
    command->add_option("FILE", options->file, "Localization file; - is standard input")
        ->required();
    command->add_option("--section", options->section, "Only this section");
    command->add_flag("--json", options->json, "Print JSON");
    return {command, [options] { return run_show(*options); }};
}

} // namespace tool
