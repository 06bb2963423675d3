#include <algorithm>
#include <cstring>
#include <ostream>
#include <string_view>

#include <korvane/version.h>

#include "cli/cli.h"

namespace korvane {

namespace {

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
}

}  // namespace

int runCli(const CliArgs& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        printUsage(err);
        return kExitUsage;
    }
    const std::string_view name = args[0];
    if (name == "-h" || name == "--help" || name == "help") {
        printUsage(out);
        return kExitOk;
    }
    if (name == "--version") {
        out << "korvane-fw " << kProgramVersion << "\n";
        return kExitOk;
    }
    for (const CliCommand& command : cliCommands()) {
        if (name == command.name) {
            return command.run(CliArgs(args.begin() + 1, args.end()), out, err);
        }
    }
    err << "korvane-fw: unknown command '" << name << "'\n";
    printUsage(err);
    return kExitUsage;
}

int subcommandUsage(const CliCommand& command, std::ostream& err) {
    err << "usage: korvane-fw " << command.name << " " << command.arguments << "\n";
    return kExitUsage;
}

int subcommandUsage(const char* name, std::ostream& err) {
    for (const CliCommand& command : cliCommands()) {
        if (std::string_view(name) == command.name) {
            return subcommandUsage(command, err);
        }
    }
    err << "usage: korvane-fw " << name << "\n";
    return kExitUsage;
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
