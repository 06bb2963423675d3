#include <korvane/version.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string_view>

#include <korvane/version.h>

#include "cli/cli.h"
#include "cli/command_line.h"

namespace korvane {

namespace {

constexpr const char* kProgramSummary =
    "korvane-fw installs firmware into OBD-II diagnostic adapters over a serial port (USB or "
    "Bluetooth) or over Wi-Fi (TCP), reads their versions, and checks update files.";

// The short form, for a command line that names no command.
void printUsage(std::ostream& stream) {
    stream << "usage: korvane-fw <command> [arguments]\ncommands:\n";
    std::size_t width = 0;
    for (const CliCommand& command : cliCommands()) {
        width = std::max(width, std::strlen(command.name) + 1 + std::strlen(command.arguments));
    }
    for (const CliCommand& command : cliCommands()) {
        const std::string left = std::string(command.name) + " " + command.arguments;
        stream << "  " << left << std::string(width + 2 - left.size(), ' ') << command.summary
               << "\n";
    }
    const std::string help = "help [COMMAND]";
    stream << "  " << help << std::string(width + 2 - std::min(width, help.size()), ' ')
           << "Show the help of korvane-fw or of one command\n";
    stream << "Run 'korvane-fw --help' for more, 'korvane-fw help COMMAND' for one command.\n";
}

const CliCommand* findCommand(std::string_view name) {
    for (const CliCommand& command : cliCommands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

int unknownCommand(std::string_view name, std::ostream& err) {
    err << "korvane-fw: unknown command '" << name << "'\n";
    printUsage(err);
    return kExitUsage;
}

}  // namespace

int runCli(const CliArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printUsage(err);
        return kExitUsage;
    }
    if (args[0].empty() || (args[0][0] != '-' && args[0] != "help" && !findCommand(args[0]))) {
        return unknownCommand(args[0], err);
    }
    // A command parses its own words, "--" included: what follows "--" is its arguments, never
    // options ("check -- -f.hex").
    if (const CliCommand* command = findCommand(args[0])) {
        return command->run(CliArgs(args.begin() + 1, args.end()), out, err);
    }
    // The version stands alone: anything beside it is a mistake, not something to ignore.
    if ((args[0] == "-V" || args[0] == "--version") && args.size() > 1) {
        err << "korvane-fw: " << args[0] << " takes nothing after it (got '" << args[1] << "')\n";
        printUsage(err);
        return kExitUsage;
    }

    CLI::App app(kProgramSummary, "korvane-fw");
    app.formatter(usageFormatter("korvane-fw [-h] [-V] COMMAND [ARGUMENTS]"));
    app.get_formatter()->column_width(40);
    app.set_help_flag("-h,--help", "Show this help and exit");
    app.set_version_flag("-V,--version", std::string("korvane-fw ") + kProgramVersion,
                         "Show the program's version and exit");
    app.require_subcommand(0, 1);
    std::vector<std::pair<CLI::App*, const CliCommand*>> commands;
    for (const CliCommand& command : cliCommands()) {
        CLI::App* sub = app.add_subcommand(command.name, command.summary);
        // The command parses its own words (and answers its own --help).
        sub->prefix_command();
        sub->set_help_flag();
        commands.emplace_back(sub, &command);
    }
    CLI::App* help = app.add_subcommand("help", "Show this help, or the help of one command");
    std::string topic;
    help->add_option("COMMAND", topic, "The command to explain");
    app.footer(
        "\nEvery failure prints a fixed text such as \"**Failed** Port connection error!\" (or "
        "its group of them) and, on the next line, indented by two blanks, what went wrong, "
        "what state the adapter is left in, and what to try.\n"
        "Exit status: 0 success, 1 failure, 2 usage error, 128 + the signal after Ctrl-C (130), "
        "SIGTERM (143) or SIGHUP (129).\n"
        "See korvane-fw(1) for the whole manual.");

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        err << "korvane-fw: " << error.what() << "\n";
        printUsage(err);
        return kExitUsage;
    }

    if (help->parsed()) {
        if (topic.empty()) {
            // The program's own help: App::help would give that of the "help" command parsed.
            out << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
            return kExitOk;
        }
        if (topic == "help") {
            out << "Show the help of korvane-fw, or of one command\n"
                   "Usage: korvane-fw help [COMMAND]\n\n"
                   "COMMAND is one of:";
            for (const CliCommand& command : cliCommands()) {
                out << " " << command.name;
            }
            out << " help.\n";
            return kExitOk;
        }
        const CliCommand* command = findCommand(topic);
        if (command == nullptr) {
            return unknownCommand(topic, err);
        }
        return command->run({"--help"}, out, err);
    }
    for (const auto& [sub, command] : commands) {
        if (sub->parsed()) {
            return command->run(sub->remaining(), out, err);
        }
    }
    printUsage(err);
    return kExitUsage;
}

int subcommandUsage(const char* name, std::ostream& err) {
    err << "usage: korvane-fw " << name;
    if (const CliCommand* command = findCommand(name)) {
        err << " " << command->arguments;
    }
    err << "\n";
    return kExitUsage;
}

int subcommandUsage(const CliCommand& command, std::ostream& err) {
    return subcommandUsage(command.name, err);
}

void printReportText(std::ostream& out, const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        if (p[0] == '\r' && p[1] == '\n') {
            continue;
        }
        out << *p;
    }
}

}  // namespace korvane
