#pragma once

// The korvane-fw command line: a table of subcommands, each in a file of its own. A new
// subcommand is one more run function and one more row in the table (command_table.cpp).
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

namespace korvane {

using CliArgs = std::vector<std::string>;

// Exit codes of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the job failed; its failure text was printed
inline constexpr int kExitUsage = 2;   // the command line was wrong; a usage line was printed

struct CliCommand {
    const char* name;       // "check"
    const char* arguments;  // "FILE", for the usage line
    const char* summary;    // one line for the command list
    // `args` are the words after the subcommand's name. Reports go to `out`, usage lines to `err`.
    int (*run)(const CliArgs& args, std::ostream& out, std::ostream& err);
};

// Every subcommand, in the order the usage text lists them.
std::span<const CliCommand> cliCommands();

// Runs the command line given without the program's name; returns the exit code.
int runCli(const CliArgs& args, std::ostream& out, std::ostream& err);

// Prints the usage line of one subcommand to `err` and gives kExitUsage.
int subcommandUsage(const CliCommand& command, std::ostream& err);
int subcommandUsage(const char* name, std::ostream& err);

// Prints a report text of the engine for a terminal: its "\r\n" line ends become "\n".
void printReportText(std::ostream& out, const char* text);

// The subcommands.
int runCheckCommand(const CliArgs& args, std::ostream& out, std::ostream& err);

}  // namespace korvane
