// intl message FILE SECTION KEY [ARG...]: a message catalog lookup. The
// entry's value is the template; the arguments fill %1!, %2!, ... in
// whatever order the template uses them.
#include "locfile.h"
#include "placeholders.h"
#include "tool.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace tool {

namespace {

constexpr std::size_t largest_message = std::size_t{1} << 20;

struct MessageOptions {
    std::string file;
    std::string section;
    std::string key;
    std::vector<std::string> arguments;
};

std::string read_template(const MessageOptions &options) {
    const Input input(options.file);
    LocFile file(input);
    if (!file.find_section(options.section))
        throw FileError(input.name(), 0, "no section [" + options.section + "]");
    while (std::optional<std::string> entry = file.next_entry()) {
        if (*entry != options.key)
            continue;
        const int line = file.line();
        std::vector<std::string> values = file.rest_of_values();
        if (values.size() != 1)
            throw FileError(input.name(), line,
                            "'" + options.key + "' holds " + std::to_string(values.size()) +
                                " values; quote a template that holds the list separator");
        return values[0];
    }
    throw FileError(input.name(), 0, "no entry '" + options.key + "' in [" + options.section + "]");
}

// Every argument is text: the formats string is "%s" once per argument, and
// the values beyond it are never read.
std::string build(const std::string &text, const std::vector<std::string> &arguments) {
    std::string formats;
    std::array<const char *, max_arguments> values{};
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = i < arguments.size() ? arguments[i].c_str() : "";
    for (std::size_t i = 0; i < arguments.size(); ++i)
        formats += "%s";
    for (std::size_t size = 256;; size *= 2) {
        std::string out(size, '\0');
        const INTL_INT length = intl_strbuild(
            nullptr, out.data(), static_cast<INTL_INT>(size), text.c_str(), formats.c_str(),
            values[0], values[1], values[2], values[3], values[4], values[5], values[6], values[7],
            values[8], values[9], values[10], values[11], values[12], values[13], values[14],
            values[15], values[16], values[17], values[18], values[19]);
        if (length >= 0)
            return out.substr(0, static_cast<std::size_t>(length));
        if (length == INTL_E_OVERFLOW && size < largest_message)
            continue;
        throw Failure("cannot build the message: " + status_text(length));
    }
}

int run_message(const MessageOptions &options) {
    if (options.arguments.size() > max_arguments)
        throw Failure("at most " + std::to_string(max_arguments) + " arguments");
    const std::string text = read_template(options);
    if (text.empty())
        throw Failure("the entry '" + options.key + "' holds an empty template");
    const std::set<std::size_t> used = placeholder_numbers(text);
    const std::size_t wanted = used.empty() ? 0 : *used.rbegin();
    if (wanted > options.arguments.size())
        throw Failure("the template '" + text + "' uses %" + std::to_string(wanted) + "! but " +
                      std::to_string(options.arguments.size()) + " argument" +
                      (options.arguments.size() == 1 ? " was" : "s were") + " given");
    std::cout << build(text, options.arguments) << '\n';
    return exit_ok;
}

} // namespace

Command add_message(CLI::App &app) {
    auto options = std::make_shared<MessageOptions>();
    CLI::App *command =
        app.add_subcommand("message", "Look a message up in a catalog and fill in its arguments");
    command->add_option("FILE", options->file, "Message catalog (a localization file)")->required();
    command->add_option("SECTION", options->section, "Section of the language")->required();
    command->add_option("KEY", options->key, "Entry holding the template")->required();
    command->add_option("ARG", options->arguments, "Arguments for %1!, %2!, ...");
    return {command, [options] { return run_message(*options); }};
}

} // namespace tool
