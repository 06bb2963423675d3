#include "cli/command_line.h"

#include <algorithm>
#include <ostream>
#include <sstream>
#include <string_view>

namespace korvane {

namespace {

// CLI11's layout, with the usage line naming the command's arguments as the command table does.
class CommandFormatter final : public CLI::Formatter {
public:
    explicit CommandFormatter(std::string usage) : usage_(std::move(usage)) {}
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: " + usage_ + "\n";
    }
    // A command with what it takes: "check FILE".
    std::string make_subcommand(const CLI::App* sub) const override;

private:
    std::string usage_;
};

const CliCommand* findCommand(std::string_view name) {
    for (const CliCommand& command : cliCommands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

std::string usageLine(const char* name) {
    const CliCommand* command = findCommand(name);
    std::string line = std::string("korvane-fw ") + name;
    if (command != nullptr && command->arguments[0] != '\0') {
        line += " ";
        line += command->arguments;
    }
    return line;
}

std::string CommandFormatter::make_subcommand(const CLI::App* sub) const {
    std::string name = sub->get_name();
    if (const CliCommand* command = findCommand(name)) {
        name += std::string(" ") + command->arguments;
    } else if (name == "help") {
        name += " [COMMAND]";
    }
    std::stringstream out;
    CLI::detail::format_help(out, name, sub->get_description(), get_column_width());
    return out.str();
}

}  // namespace

std::shared_ptr<CLI::Formatter> usageFormatter(const std::string& usage) {
    auto formatter = std::make_shared<CommandFormatter>(usage);
    formatter->column_width(28);
    return formatter;
}

std::unique_ptr<CLI::App> makeCommandApp(const CliCommand& command) {
    auto app =
        std::make_unique<CLI::App>(command.summary, std::string("korvane-fw ") + command.name);
    app->formatter(usageFormatter(usageLine(command.name)));
    app->set_help_flag("-h,--help", "Show this help and exit");
    return app;
}

std::unique_ptr<CLI::App> makeCommandApp(const char* name) {
    if (const CliCommand* command = findCommand(name)) {
        return makeCommandApp(*command);
    }
    auto app = std::make_unique<CLI::App>("", std::string("korvane-fw ") + name);
    app->set_help_flag("-h,--help", "Show this help and exit");
    return app;
}

ParsedLine parseCommandLine(CLI::App& app, const CliArgs& args) {
    // Help first: "update --port x --help" shows the help, whatever else the line holds.
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        if (arg == "-h" || arg == "--help") {
            return {ParsedLine::Kind::Help, app.help()};
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return {ParsedLine::Kind::Help, app.help()};
    } catch (const CLI::ParseError& error) {
        std::string text = error.what();
        // CLI11 names the program in some messages; ours go after "korvane-fw NAME: " already.
        const std::string prefix = app.get_name() + ": ";
        if (text.rfind(prefix, 0) == 0) {
            text.erase(0, prefix.size());
        }
        return {ParsedLine::Kind::Usage, text};
    }
    return {};
}

int finishCommandLine(const ParsedLine& parsed, const char* name, std::ostream& out,
                      std::ostream& err) {
    switch (parsed.kind) {
        case ParsedLine::Kind::Help:
            out << parsed.text;
            return kExitOk;
        case ParsedLine::Kind::Usage:
            return usageError(name, parsed.text, err);
        case ParsedLine::Kind::Go:
            break;
    }
    return -1;
}

int usageError(const char* name, const std::string& message, std::ostream& err) {
    err << "korvane-fw " << name << ": " << message << "\n";
    err << "usage: " << usageLine(name) << "\n";
    err << "Run 'korvane-fw " << name << " --help' for the options.\n";
    return kExitUsage;
}

CLI::Option* singleValued(CLI::Option* option) {
    return option->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
}

bool onlyOnce(const CLI::Option* option, std::string& error) {
    if (option->count() > 1) {
        error = option->get_name() + " was given " + std::to_string(option->count()) +
                " times; give it once";
        return false;
    }
    return true;
}

}  // namespace korvane
