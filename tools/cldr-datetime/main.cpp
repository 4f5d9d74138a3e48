// cldr-datetime [-o FILE] [LOCALE...]: a localization file of datetime
// sections, one per locale of CLDR as ICU holds it (every locale when none
// is named), checked by reading it back with the library before it is written.
#include "cldr_datetime.h"
#include "locwriter.h"
#include "output.h"

#include <CLI/CLI.hpp>
#include <intl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

constexpr std::size_t name_column = 14;
constexpr std::size_t wrap_at = 100;

struct Options {
    std::string output = "-";
    std::vector<std::string> locales;
};

// Characters on a terminal, roughly: UTF-8 continuation bytes take no column.
std::size_t columns(const std::string &text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// "name = a, b, c" with continuation lines after a separator, as long
// lists are written by hand.
std::string entry(const std::string &name, const std::vector<std::string> &values) {
    std::string text = name + std::string(name_column - 2 - name.size(), ' ') + "= ";
    std::size_t column = text.size();
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string value = tool::written_value(values[i], tool::Syntax{}, name_column);
        const bool last = i + 1 == values.size();
        if (i > 0 && column + columns(value) + 2 > wrap_at) {
            text += "\\\n" + std::string(name_column, ' ');
            column = name_column;
        }
        text += value + (last ? "\n" : ", ");
        column += columns(value) + 2;
    }
    return text;
}

template <std::size_t N> std::vector<std::string> list(const std::array<std::string, N> &names) {
    return {names.begin(), names.end()};
}

std::string section(const cldr::LocaleDates &d) {
    return "\n[" + d.locale + "]\n" + entry("months", list(d.months)) +
           entry("shortmonths", list(d.shortmonths)) + entry("days", list(d.days)) +
           entry("firstday", {std::to_string(d.firstday)}) + entry("dateformat", {d.dateorder}) +
           entry("timeformat", {d.is12hour ? "12" : "24"});
}

std::string header(const std::string &command, std::size_t shipped,
                   const std::vector<std::string> &shortened,
                   const std::vector<std::string> &left_out) {
    std::string text =
        "; Names and formats for showing dates and times: one section per locale of\n"
        "; " +
        cldr::data_version() + ", named by its identifier (fr, pt_BR, sr_Latn_BA); " +
        std::to_string(shipped) +
        " sections.\n"
        "; UTF-8. Written by \"" +
        command +
        "\" (tools/cldr-datetime);\n"
        "; `cmake --build --preset release --target regenerate-locales` writes it again.\n"
        ";\n"
        "; The names are CLDR's stand-alone forms of the Gregorian calendar (Russian\n"
        "; январь, not января); days run Monday first, and firstday counts from Monday (1)\n"
        "; to Sunday (7); dateformat is the order of the locale's short date, timeformat\n"
        "; the clock of its short time. The date record holds 20 bytes of a month name,\n"
        "; 9 of a short month name and 30 of a day name: no name is cut.\n";
    text += ";\n; Shorter CLDR forms where the wider ones do not fit (" +
            std::to_string(shortened.size()) + "):\n";
    for (const std::string &line : shortened)
        text += ";   " + line + "\n";
    text += ";\n; Left out, since no CLDR form of their names fits (" +
            std::to_string(left_out.size()) + "):\n";
    for (const std::string &line : left_out)
        text += ";   " + line + "\n";
    return text +
           "\n[file format]\nversion        = 4.2.0\nlist_separator = ,\nescape         = \\\n";
}

template <std::size_t N, std::size_t W>
bool same_names(const char (&fields)[N][W], const std::array<std::string, N> &names) {
    for (std::size_t i = 0; i < N; ++i)
        if (names[i] != fields[i])
            return false;
    return true;
}

bool reads_back(const INTL_DATEINFO &info, const cldr::LocaleDates &d) {
    return same_names(info.months, d.months) && same_names(info.shortmonths, d.shortmonths) &&
           same_names(info.days, d.days) && info.firstday == d.firstday &&
           d.dateorder == info.dateorder && info.is12hour == (d.is12hour ? 1 : 0);
}

// Reads the text back with the library, section after section; throws
// naming the first section that does not give back what was written.
void check_reads_back(const std::string &text, const std::vector<cldr::LocaleDates> &written) {
    std::string path = (std::filesystem::temp_directory_path() / "cldr-datetime.XXXXXX").string();
    const int fd = mkstemp(path.data());
    if (fd < 0)
        throw std::runtime_error("cannot make a temporary file: " + std::string{strerror(errno)});
    tool::write_all(fd, text, path);
    close(fd);
    INTL_LOCFILE file{};
    INTL_INT rc = intl_open(path.c_str(), &file);
    std::string wrong;
    for (const cldr::LocaleDates &d : written) {
        INTL_INT status = 0;
        const char *name = rc == INTL_OK ? intl_nextsection(&file, &status) : nullptr;
        INTL_DATEINFO info{};
        if (name == nullptr || d.locale != name || (rc = intl_datetime(&file, &info)) != INTL_OK ||
            !reads_back(info, d)) {
            wrong = d.locale + (rc == INTL_OK ? "" : std::string{": "} + intl_errstr(rc));
            break;
        }
    }
    intl_close(&file);
    std::remove(path.c_str());
    if (!wrong.empty())
        throw std::runtime_error("the section " + wrong + " does not read back as written");
}

int run(const Options &options) {
    const bool all = options.locales.empty();
    const std::vector<std::string> known = cldr::available_locales();
    for (const std::string &locale : options.locales)
        if (std::find(known.begin(), known.end(), locale) == known.end())
            throw std::runtime_error("ICU holds no data of its own for '" + locale + "'");
    const std::vector<std::string> &locales = all ? known : options.locales;
    std::vector<cldr::LocaleDates> shipped;
    std::vector<std::string> shortened, left_out;
    for (const std::string &locale : locales) {
        cldr::Outcome outcome = cldr::read_locale(locale);
        if (!outcome.dates) {
            left_out.push_back(locale + ": " + outcome.left_out_because);
            continue;
        }
        for (const std::string &why : outcome.dates->shortened)
            shortened.push_back(locale + ": " + why);
        shipped.push_back(std::move(*outcome.dates));
    }
    std::string command =
        "cldr-datetime -o " + (options.output == "-"
                                   ? std::string{"-"}
                                   : std::filesystem::path{options.output}.filename().string());
    for (const std::string &locale : options.locales)
        command += " " + locale;
    std::string text = header(command, shipped.size(), shortened, left_out);
    for (const cldr::LocaleDates &d : shipped)
        text += section(d);
    check_reads_back(text, shipped);
    tool::write_output(options.output, text);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"Write a localization file of datetime sections from CLDR's data (through ICU)."};
    Options options;
    app.add_option("-o", options.output, "Output file; - is standard output (the default)");
    app.add_option("LOCALE", options.locales, "Only these locales (default: every one ICU holds)");
    CLI11_PARSE(app, argc, argv);
    try {
        const int status = run(options);
        tool::finish_standard_output();
        return status;
    } catch (const std::exception &e) {
        std::cerr << "cldr-datetime: " << e.what() << '\n';
        return 1;
    }
}
