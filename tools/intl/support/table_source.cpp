// read_table_source: the entries "map", "range", "delete", "substitution"
// and "substitute" of a table source, turned into INTL_MAPs with the
// library's table-building calls.
#include "table_source.h"

#include "bytes.h"
#include "locfile.h"

#include <algorithm>
#include <cstddef>

namespace tool {

namespace {

// Thrown for a faulty entry; the entry is left out and reading goes on.
struct EntryError {
    std::string message;
};

void expect_values(const std::string &entry, const std::vector<std::string> &values,
                   std::size_t count, const char *what) {
    if (values.size() != count)
        throw EntryError{"'" + entry + "' takes " + std::to_string(count) + " value" +
                         (count == 1 ? "" : "s") + " (" + what + "), found " +
                         std::to_string(values.size())};
}

// The list index holds the first source byte, so only later bytes must not
// be zero: the table-building calls take NUL-terminated strings.
void check_source(const std::string &source) {
    if (source.empty())
        throw EntryError{"empty source sequence"};
    if (source.find('\0', 1) != std::string::npos)
        throw EntryError{"zero byte after the first byte of source " + hex_bytes(source) +
                         ": a compiled table cannot hold it"};
}

void check_destination(const std::string &destination) {
    if (destination.find('\0') != std::string::npos)
        throw EntryError{"zero byte in destination " + hex_bytes(destination) +
                         ": a compiled table cannot hold it"};
}

// A mapping of the whole source sequence; destination may be empty.
SourceMapping sequence_mapping(const std::string &source, const std::string &destination,
                               int line) {
    check_source(source);
    check_destination(destination);
    SourceMapping mapping{static_cast<unsigned char>(source[0]), INTL_MAP{}, line};
    // The first byte is never stored; a stand-in lets a zero first byte through.
    std::string for_copy = source;
    for_copy[0] = '\x01';
    if (intl_map_cpsrc(&mapping.map, for_copy.c_str()) != 0)
        throw EntryError{"source " + hex_bytes(source) + " is longer than 8 bytes"};
    if (intl_map_cpdest_mapping(&mapping.map, destination.c_str()) != 0)
        throw EntryError{"destination " + hex_bytes(destination) + " is longer than 8 bytes"};
    return mapping;
}

// The sequences first..last: of one length, alike but in their last byte.
std::vector<std::string> span(const std::string &first, const std::string &last) {
    check_source(first);
    if (last.size() != first.size() ||
        last.compare(0, last.size() - 1, first, 0, first.size() - 1) != 0)
        throw EntryError{"the sequences " + hex_bytes(first) + " and " + hex_bytes(last) +
                         " differ before their last byte"};
    const auto from = static_cast<unsigned char>(first.back());
    const auto to = static_cast<unsigned char>(last.back());
    if (to < from)
        throw EntryError{"range ends at " + hex_bytes(last) + ", before its first sequence " +
                         hex_bytes(first)};
    std::vector<std::string> sources;
    for (unsigned byte = from; byte <= to; ++byte) {
        sources.push_back(first);
        sources.back().back() = static_cast<char>(byte);
    }
    return sources;
}

void add_map(const std::vector<std::string> &values, int line, SourceTable &table) {
    expect_values("map", values, 2, "source, destination");
    if (values[1].empty())
        throw EntryError{"empty destination; a mapping that drops its source is a 'delete'"};
    table.mappings.push_back(sequence_mapping(values[0], values[1], line));
}

// first (..last) are dropped from the text.
void add_delete(const std::vector<std::string> &values, int line, SourceTable &table) {
    if (values.size() != 1)
        expect_values("delete", values, 2, "first, last");
    for (const std::string &source : span(values[0], values.back()))
        table.mappings.push_back(sequence_mapping(source, std::string{}, line));
}

// first..last map to destination, destination with its last byte plus 1, ...
void add_range(const std::vector<std::string> &values, int line, SourceTable &table) {
    expect_values("range", values, 3, "first, last, destination of first");
    const std::vector<std::string> sources = span(values[0], values[1]);
    const std::string &destination = values[2];
    if (destination.empty())
        throw EntryError{"empty destination in a range"};
    check_destination(destination);
    const auto base = static_cast<unsigned char>(destination.back());
    if (base + (sources.size() - 1) > 0xFF)
        throw EntryError{"range runs the last destination byte past 0xFF"};
    std::string step = destination;
    for (const std::string &source : sources) {
        table.mappings.push_back(sequence_mapping(source, step, line));
        step.back() = static_cast<char>(step.back() + 1);
    }
}

// The bytes that the section's 'substitute' entries write.
void add_substitution(const std::vector<std::string> &values, SourceTable &table) {
    expect_values("substitution", values, 1, "the bytes");
    if (!table.substitution.empty())
        throw EntryError{"a second 'substitution' in the section"};
    if (values[0].empty() || values[0].size() > 8)
        throw EntryError{"a substitution is 1 to 8 bytes"};
    check_destination(values[0]);
    table.substitution = values[0];
}

// first (..last) become the section's substitution.
void add_substitute(const std::vector<std::string> &values, int line, SourceTable &table) {
    if (values.size() != 1)
        expect_values("substitute", values, 2, "first, last");
    if (table.substitution.empty())
        throw EntryError{"'substitute' before the section's 'substitution'"};
    for (const std::string &source : span(values[0], values.back())) {
        table.mappings.push_back(sequence_mapping(source, table.substitution, line));
        table.mappings.back().substituted = true;
    }
}

void add_entry(const std::string &name, const std::vector<std::string> &values, int line,
               SourceTable &table) {
    if (name == "map")
        add_map(values, line, table);
    else if (name == "range")
        add_range(values, line, table);
    else if (name == "delete")
        add_delete(values, line, table);
    else if (name == "substitution")
        add_substitution(values, table);
    else if (name == "substitute")
        add_substitute(values, line, table);
    else
        throw EntryError{"unknown entry '" + name +
                         "'; expected map, range, delete, substitution or substitute"};
}

// The table a section heading names, or null (with an error) for others.
SourceTable *table_for(TableSource &source, const std::string &section, int line,
                       Diagnostics &errors) {
    std::optional<SourceTable> *table = nullptr;
    if (section == "to server")
        table = &source.to_server;
    else if (section == "to display")
        table = &source.to_display;
    if (table == nullptr) {
        errors.error(line,
                     "unknown section [" + section + "]; expected [to server] or [to display]");
        return nullptr;
    }
    if (table->has_value()) {
        errors.error(line, "section [" + section + "] given twice");
        return nullptr;
    }
    return &table->emplace();
}

// Reads the entries of one section into table (null: check them only).
void read_section(LocFile &file, SourceTable *table, Diagnostics &errors) {
    SourceTable ignored;
    while (!errors.full()) {
        int line = 0;
        try {
            const std::optional<std::string> entry = file.next_entry();
            if (!entry)
                return;
            line = file.line();
            const std::vector<std::string> values = file.rest_of_values();
            add_entry(*entry, values, line, table != nullptr ? *table : ignored);
        } catch (const EntryError &e) {
            errors.error(line, e.message);
        } catch (const ReadError &e) {
            errors.error(e.line, e.message);
        }
    }
}

// The reader never delivers a last line without a newline: its mapping
// would be silently missing from the table.
void check_last_line(const std::string &text, Diagnostics &errors) {
    if (!text.empty() && text.back() != '\n')
        errors.error(static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1,
                     "last line has no newline: the reader never reads it");
}

} // namespace

std::vector<std::string> translated_alike(const SourceTable &table) {
    std::vector<std::string> sources;
    for (const SourceMapping &m : table.mappings) {
        const std::string destination(reinterpret_cast<const char *>(m.map.dest_pattern),
                                      static_cast<std::size_t>(m.map.dest_chars));
        if (!m.substituted && !table.substitution.empty() && destination == table.substitution) {
            sources.emplace_back(1, static_cast<char>(m.first));
            sources.back().append(reinterpret_cast<const char *>(m.map.src_pattern),
                                  static_cast<std::size_t>(m.map.src_left));
        }
    }
    return sources;
}

TableSource read_table_source(const std::string &name, Diagnostics &errors) {
    TableSource source;
    try {
        const Input input(name);
        check_last_line(input.text(), errors);
        LocFile file(input);
        source.version = file.version();
        while (std::optional<std::string> section = file.next_section()) {
            SourceTable *table = table_for(source, *section, file.line(), errors);
            read_section(file, table, errors);
            if (errors.full())
                return source;
        }
    } catch (const ReadError &e) {
        errors.error(e.line, e.message);
        return source;
    }
    if (!source.to_server && !source.to_display)
        errors.error(0, "no [to server] or [to display] section");
    return source;
}

} // namespace tool
