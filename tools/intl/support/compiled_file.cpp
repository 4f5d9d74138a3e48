// sort_into_lists and encode_compiled: from source mappings to the bytes of
// a compiled translation file, the same on every platform.
#include "compiled_file.h"

#include "bytes.h"

#include <algorithm>

namespace tool {

namespace {

bool sorts_before(const SourceMapping &a, const SourceMapping &b) {
    if (a.first != b.first)
        return a.first < b.first;
    return intl_mapcompare(&a.map, &b.map) < 0;
}

bool same_source(const SourceMapping &a, const SourceMapping &b) {
    return a.first == b.first && intl_mapcompare(&a.map, &b.map) == 0;
}

std::string source_bytes(const SourceMapping &m) {
    std::string bytes(1, static_cast<char>(m.first));
    bytes.append(reinterpret_cast<const char *>(m.map.src_pattern),
                 static_cast<std::size_t>(std::max(m.map.src_left, 0)));
    return bytes;
}

void put_int(std::string &out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((bits >> shift) & 0xFF);
}

void put_bytes(std::string &out, const unsigned char *bytes, std::size_t count) {
    out.append(reinterpret_cast<const char *>(bytes), count);
}

// tabcode, 256 list headers (size, and zero where the loader puts a
// pointer), then the 24-byte records of every list in ascending order.
void put_block(std::string &out, std::int32_t tabcode, const TableLists &lists) {
    put_int(out, tabcode);
    for (const std::vector<INTL_MAP> &list : lists) {
        put_int(out, static_cast<std::int32_t>(list.size()));
        put_int(out, 0);
    }
    for (const std::vector<INTL_MAP> &list : lists) {
        for (const INTL_MAP &map : list) {
            put_int(out, map.src_left);
            put_int(out, map.dest_chars);
            put_bytes(out, map.src_pattern, sizeof map.src_pattern);
            put_bytes(out, map.dest_pattern, sizeof map.dest_pattern);
            out += '\0';
        }
    }
}

} // namespace

TableLists sort_into_lists(const std::vector<SourceMapping> &mappings, const std::string &table,
                           Diagnostics &errors) {
    std::vector<SourceMapping> sorted = mappings;
    std::stable_sort(sorted.begin(), sorted.end(), sorts_before);
    TableLists lists;
    const SourceMapping *kept = nullptr;
    for (const SourceMapping &m : sorted) {
        if (kept != nullptr && same_source(*kept, m)) {
            errors.error(m.line, "duplicate source " + hex_bytes(source_bytes(m)) + " in [" +
                                     table + "], first given on line " +
                                     std::to_string(kept->line));
            continue;
        }
        kept = &m;
        lists[m.first].push_back(m.map);
    }
    return lists;
}

std::string encode_compiled(std::int32_t version, const TableLists *to_server,
                            const TableLists *to_display) {
    std::string out;
    put_int(out, version);
    if (to_server != nullptr)
        put_block(out, 0, *to_server);
    if (to_display != nullptr)
        put_block(out, 1, *to_display);
    return out;
}

} // namespace tool
