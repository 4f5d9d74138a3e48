// read_table_source: the entries "map", "range" and "delete" of a table
// source, turned into INTL_MAPs with the library's table-building calls.
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

void check_single_byte(const std::string &value, const char *what) {
    if (value.size() != 1)
        throw EntryError{std::string{what} + " of a range must be one byte, found " +
                         (value.empty() ? std::string{"nothing"} : hex_bytes(value))};
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

void add_map(const std::vector<std::string> &values, int line, std::vector<SourceMapping> &table) {
    expect_values("map", values, 2, "source, destination");
    if (values[1].empty())
        throw EntryError{"empty destination; a mapping that drops its source is a 'delete'"};
    table.push_back(sequence_mapping(values[0], values[1], line));
}

void add_delete(const std::vector<std::string> &values, int line,
                std::vector<SourceMapping> &table) {
    expect_values("delete", values, 1, "source");
    table.push_back(sequence_mapping(values[0], std::string{}, line));
}

// first..last map to destination, destination with its last byte plus 1, ...
void add_range(const std::vector<std::string> &values, int line,
               std::vector<SourceMapping> &table) {
    expect_values("range", values, 3, "first, last, destination of first");
    check_single_byte(values[0], "the first byte");
    check_single_byte(values[1], "the last byte");
    const std::string &destination = values[2];
    if (destination.empty())
        throw EntryError{"empty destination in a range"};
    check_destination(destination);
    const auto first = static_cast<unsigned char>(values[0][0]);
    const auto last = static_cast<unsigned char>(values[1][0]);
    if (last < first)
        throw EntryError{"range ends at " + hex_bytes(values[1]) + ", before its first byte " +
                         hex_bytes(values[0])};
    const auto base = static_cast<unsigned char>(destination.back());
    if (base + (last - first) > 0xFF)
        throw EntryError{"range runs the last destination byte past 0xFF"};
    for (unsigned byte = first; byte <= last; ++byte) {
        std::string step = destination;
        step.back() = static_cast<char>(base + (byte - first));
        SourceMapping mapping{static_cast<unsigned char>(byte), INTL_MAP{}, line};
        if (intl_map_cpdest_range(&mapping.map, step.c_str()) != 0)
            throw EntryError{"destination " + hex_bytes(destination) + " is longer than 8 bytes"};
        table.push_back(mapping);
    }
}

void add_entry(const std::string &name, const std::vector<std::string> &values, int line,
               std::vector<SourceMapping> &table) {
    if (name == "map")
        add_map(values, line, table);
    else if (name == "range")
        add_range(values, line, table);
    else if (name == "delete")
        add_delete(values, line, table);
    else
        throw EntryError{"unknown entry '" + name + "'; expected map, range or delete"};
}

// The table a section heading names, or null (with an error) for others.
std::vector<SourceMapping> *table_for(TableSource &source, const std::string &section, int line,
                                      Diagnostics &errors) {
    std::optional<std::vector<SourceMapping>> *table = nullptr;
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
void read_section(LocFile &file, std::vector<SourceMapping> *table, Diagnostics &errors) {
    std::vector<SourceMapping> ignored;
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

TableSource read_table_source(const std::string &name, Diagnostics &errors) {
    TableSource source;
    try {
        const Input input(name);
        check_last_line(input.text(), errors);
        LocFile file(input);
        source.version = file.version();
        while (std::optional<std::string> section = file.next_section()) {
            std::vector<SourceMapping> *table = table_for(source, *section, file.line(), errors);
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
