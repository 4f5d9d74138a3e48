// LoadedTables and the options that name a compiled translation file.
#include "loaded_tables.h"

#include "charset_names.h"
#include "compiled_file.h"
#include "home.h"
#include "tool.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace tool {

namespace {

// intl_xlatesize gives sizes and codes alike; these are the codes it can give.
bool is_lookup_failure(INTL_INT size) {
    return size == INTL_E_OVERFLOW || size == INTL_E_NOUSER || size == INTL_E_STAT ||
           size == INTL_E_PATHLONG || size == INTL_E_NOCHARSET || size == INTL_E_NOXLTNAME ||
           size == INTL_E_XLTBADNAME || size == INTL_E_XLTNOTFILE;
}

// A table regenerated while it is loaded may outgrow the size taken for it;
// the sized load refuses it untouched, and sizing again catches up.
constexpr int load_attempts = 3;

// The loader reads fixed-size parts: a file that ends early overflows them.
Failure truncated(const std::string &path, INTL_INT code) {
    return Failure(path + " is truncated or not a compiled table (" + status_text(code) + ")");
}

// The table charsets/CHARSET/TABLE names under home, as it is spelled
// there; the names as given when none matches, so that the error names the
// path the user meant. Says which table it took for a name not exact.
std::pair<std::string, std::string> spelled_table(const std::string &home,
                                                  const TableOptions &options) {
    const std::string charsets = home + "/charsets";
    const std::optional<std::string> server = find_charset(charsets, options.charset, true);
    if (!server)
        return {options.charset, options.table};
    const std::optional<std::string> client =
        find_charset(charsets + "/" + *server, options.table, false);
    if (!client)
        return {*server, options.table};
    if (*server != options.charset || *client != options.table)
        std::cerr << "intl: took the table charsets/" << *server << "/" << *client
                  << " for --charset " << options.charset << " --table " << options.table << '\n';
    return {*server, *client};
}

} // namespace

void add_table_options(CLI::App &command, TableOptions &options) {
    command
        .add_option("--charset", options.charset,
                    "Server charset directory under charsets/ (any case, or an iconv alias)")
        ->required();
    command
        .add_option("--table", options.table,
                    "Client charset: the compiled table in that directory (any case, or an "
                    "iconv alias)")
        ->required();
    CLI::Option *server =
        command.add_flag("--to-server", options.to_server, "Use the to-server table (default)");
    CLI::Option *display =
        command.add_flag("--to-display", options.to_display, "Use the to-display table");
    server->excludes(display);
    add_home_option(command, options.home);
}

LoadedTables::LoadedTables(const TableOptions &options) : to_display_chosen_(options.to_display) {
    const std::string home = use_home(options.home);
    const auto [charset, table] = spelled_table(home, options);
    path_ = home + "/charsets/" + charset + "/" + table;
    INTL_INT rc = INTL_E_XLTBUFSMALL;
    for (int attempt = 0; attempt < load_attempts && rc == INTL_E_XLTBUFSMALL; ++attempt)
        rc = load(charset, table);
    if (rc == INTL_E_OVERFLOW || rc == INTL_E_READ || rc == INTL_E_EOF)
        throw truncated(path_, rc);
    if (rc != INTL_OK)
        throw Failure("cannot load " + path_ + ": " + status_text(rc));
    substitution_ = read_substitution(path_, to_display_chosen_);
}

INTL_INT LoadedTables::load(const std::string &charset, const std::string &table) {
    const INTL_INT size = intl_xlatesize(charset.c_str(), table.c_str());
    if (size == INTL_E_STAT && !std::filesystem::exists(path_))
        throw Failure("no such table at " + path_ + " ('intl list' shows the tables)");
    if (size == INTL_E_OVERFLOW)
        throw truncated(path_, size);
    if (is_lookup_failure(size))
        throw Failure("cannot load " + path_ + ": " + status_text(size));
    // A file too short to hold a table still loads (or fails) on its own.
    const INTL_INT bytes = std::max<INTL_INT>(size, 0);
    buffer_.resize(static_cast<std::size_t>(bytes) / sizeof(std::uint64_t) + 1);
    return intl_load_xlate_sized(buffer_.data(), bytes, charset.c_str(), table.c_str(), &to_server_,
                                 &to_display_);
}

} // namespace tool
