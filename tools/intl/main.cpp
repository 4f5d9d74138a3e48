// intl: one command with subcommands over libintl_r.
#include "output.h"
#include "tool.h"

#include <intl.h>

#include <iostream>
#include <vector>

namespace {

// The parser's own message for a first word that names no subcommand is
// "A subcommand is required", which hides the word the user typed.
std::string misplaced_first_word(const CLI::App &app, int argc, char **argv) {
    if (argc < 2)
        return {};
    const std::string word = argv[1];
    if (word == "-h" || word == "--help" || word == "--version")
        return {};
    if (word.starts_with("-"))
        return "unknown option '" + word + "'";
    for (const CLI::App *command : app.get_subcommands({}))
        if (command->check_name(word))
            return {};
    return "unknown subcommand '" + word + "'";
}

// Runs the chosen subcommand; a lost write to standard output fails it too.
int run(const tool::Command &command) {
    std::string name = "intl " + command.app->get_name();
    for (const CLI::App *chosen : command.app->get_subcommands())
        name += " " + chosen->get_name();
    name += ": ";
    int status = tool::exit_failure;
    try {
        status = command.run();
    } catch (const tool::FileError &e) {
        std::cerr << e.what() << '\n';
    } catch (const std::exception &e) {
        std::cerr << name << e.what() << '\n';
    }
    try {
        tool::finish_standard_output();
    } catch (const tool::Failure &e) {
        std::cerr << name << e.what() << '\n';
        return tool::exit_failure;
    }
    return status;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"Localization files, messages, dates and character-set translation "
                 "with libintl_r."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string{"intl "} + intl__getVdate());

    const std::vector<tool::Command> commands = {
        tool::add_compile(app),  tool::add_mktable(app), tool::add_xlate(app),
        tool::add_dump(app),     tool::add_check(app),   tool::add_show(app),
        tool::add_datetime(app), tool::add_message(app), tool::add_list(app),
        tool::add_po(app)};

    if (const std::string wrong = misplaced_first_word(app, argc, argv); !wrong.empty()) {
        std::cerr << "intl: " << wrong << "; run 'intl --help' for the subcommands\n";
        return tool::exit_usage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        // Help and version are successes; every other parse error is a usage error.
        return app.exit(e) == 0 ? tool::exit_ok : tool::exit_usage;
    }
    for (const tool::Command &command : commands)
        if (command.app->parsed())
            return run(command);
    return tool::exit_usage;
}
