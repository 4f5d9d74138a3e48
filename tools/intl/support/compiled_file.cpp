// sort_into_lists and encode_compiled: from source mappings to the bytes of
// a compiled translation file, the same on every platform.
#include "compiled_file.h"

#include "bytes.h"

#include <algorithm>
#include <cstring>
#include <fstream>

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

std::int32_t get_int(std::istream &in) {
    unsigned char bytes[4] = {};
    in.read(reinterpret_cast<char *>(bytes), sizeof bytes);
    return static_cast<std::int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

std::string get_string(std::istream &in) {
    char bytes[9] = {};
    in.read(bytes, sizeof bytes);
    return std::string(bytes + 1, std::min<std::size_t>(static_cast<unsigned char>(bytes[0]), 8));
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

std::string encode_compiled(std::int32_t version, const CompiledTable *to_server,
                            const CompiledTable *to_display) {
    std::string out;
    put_int(out, version);
    if (to_server != nullptr)
        put_block(out, 0, to_server->lists);
    if (to_display != nullptr)
        put_block(out, 1, to_display->lists);
    const CompiledTable none;
    const CompiledTable &towards_server = to_server != nullptr ? *to_server : none;
    const CompiledTable &towards_display = to_display != nullptr ? *to_display : none;
    if (towards_server.substitution.empty() && towards_display.substitution.empty())
        return out;
    out.append(substitution_mark, sizeof substitution_mark);
    const auto put_string = [&out](const std::string &bytes) {
        out += static_cast<char>(bytes.size());
        out += bytes;
        out.append(8 - bytes.size(), '\0');
    };
    for (const CompiledTable *table : {&towards_server, &towards_display}) {
        put_string(table->substitution);
        put_int(out, static_cast<std::int32_t>(table->translated_alike.size()));
    }
    for (const CompiledTable *table : {&towards_server, &towards_display})
        for (const std::string &source : table->translated_alike)
            put_string(source);
    return out;
}

Substitution read_substitution(const std::string &path, bool to_display) {
    std::ifstream in(path, std::ios::binary);
    get_int(in); // version
    for (int block = 0; block < 2 && in; ++block) {
        get_int(in); // tabcode
        std::int64_t records = 0;
        for (int list = 0; list < 256; ++list) {
            records += std::max(get_int(in), 0);
            get_int(in);
        }
        in.seekg(records * 24, std::ios::cur);
    }
    char mark[sizeof substitution_mark] = {};
    if (!in.read(mark, sizeof mark) || std::memcmp(mark, substitution_mark, sizeof mark) != 0)
        return {};
    Substitution chosen;
    std::int32_t alike[2] = {};
    for (int direction = 0; direction < 2; ++direction) {
        std::string bytes = get_string(in);
        alike[direction] = get_int(in);
        if (direction == (to_display ? 1 : 0))
            chosen.bytes = bytes;
    }
    for (int direction = 0; direction < 2; ++direction)
        for (std::int32_t k = 0; k < alike[direction] && in; ++k) {
            std::string source = get_string(in);
            if (direction == (to_display ? 1 : 0))
                chosen.translated_alike.push_back(source);
        }
    return in ? chosen : Substitution{};
}

} // namespace tool
