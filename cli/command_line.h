#pragma once

// The command-line parser every subcommand uses (CLI11), with the program's own usage lines and
// messages around it.
#include <CLI/CLI.hpp>
#include <iosfwd>
#include <memory>
#include <string>

#include "cli/cli.h"

namespace korvane {

// A subcommand's parser: "korvane-fw NAME" with the command's summary as its description, -h and
// --help, and help text that shows the command's own usage line.
std::unique_ptr<CLI::App> makeCommandApp(const CliCommand& command);
std::unique_ptr<CLI::App> makeCommandApp(const char* name);

// CLI11's help layout with `usage` ("korvane-fw update PORT... --file PATH [OPTIONS]") as the
// usage line.
std::shared_ptr<CLI::Formatter> usageFormatter(const std::string& usage);

// What parsing a subcommand's words came to.
struct ParsedLine {
    enum class Kind { Go, Help, Usage };
    Kind kind = Kind::Go;
    std::string text;  // Help: the help text; Usage: what is wrong, in one line
};

// Parses `args` (the words after the subcommand's name). Help asked for (-h, --help) wins over
// any mistake elsewhere on the line.
ParsedLine parseCommandLine(CLI::App& app, const CliArgs& args);

// Prints help to `out` (exit 0) or the usage error to `err` (exit 2); for Go it prints nothing
// and gives -1.
int finishCommandLine(const ParsedLine& parsed, const char* name, std::ostream& out,
                      std::ostream& err);

// Prints "korvane-fw NAME: MESSAGE", the usage line and where the help is, to `err`; gives
// kExitUsage.
int usageError(const char* name, const std::string& message, std::ostream& err);

// Marks a value option as given at most once: a second occurrence is collected so that the
// caller can refuse it in words of its own (see onlyOnce).
CLI::Option* singleValued(CLI::Option* option);
// False with `error` set when `option` was given more than once.
bool onlyOnce(const CLI::Option* option, std::string& error);

}  // namespace korvane
