// intl: one command with subcommands over libintl_r.
#include "tool.h"

#include <intl.h>

#include <iostream>
#include <vector>

int main(int argc, char **argv) {
    CLI::App app{"Localization files, messages, dates and character-set translation "
                 "with libintl_r."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string{"intl "} + intl__getVdate());

    const std::vector<tool::Command> commands = {tool::add_compile(app),  tool::add_mktable(app),
                                                 tool::add_xlate(app),    tool::add_dump(app),
                                                 tool::add_check(app),    tool::add_show(app),
                                                 tool::add_datetime(app), tool::add_message(app)};

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        // Help and version are successes; every other parse error is a usage error.
        return app.exit(e) == 0 ? tool::exit_ok : tool::exit_usage;
    }
    for (const tool::Command &command : commands) {
        if (!command.app->parsed())
            continue;
        try {
            return command.run();
        } catch (const tool::FileError &e) {
            std::cerr << e.what() << '\n';
        } catch (const tool::Failure &e) {
            std::cerr << "intl " << command.app->get_name() << ": " << e.what() << '\n';
        } catch (const std::exception &e) {
            std::cerr << "intl " << command.app->get_name() << ": " << e.what() << '\n';
        }
        return tool::exit_failure;
    }
    return tool::exit_usage;
}
