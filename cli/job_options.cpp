#include "cli/job_options.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <set>

#include "channel/port_descriptor.h"
#include "channel/traffic_log/traffic_log.h"

#include "cli/port_label.h"
#include "cli/ports_file.h"
#include "engine/failure_reason.h"

namespace korvane {

namespace {

constexpr const char* kAutoPort = "auto";
constexpr const char* kAutoBaud = "auto";

// An address ends up between the descriptor's separators, so it cannot hold them.
bool fitsDescriptor(const std::string& text) {
    return text.find_first_of("|:") == std::string::npos;
}

// Every port once, and not more of them than one run drives.
bool checkPortList(const std::vector<JobPort>& ports, std::string& error) {
    if (ports.size() > kMostAdapters) {
        error = "at most " + std::to_string(kMostAdapters) + " ports at once";
        return false;
    }
    std::set<std::string> seen;
    for (const JobPort& port : ports) {
        if (!seen.insert(portKey(port.request)).second) {
            error = "the port \"" + portLabel(port) + "\" is named more than once";
            return false;
        }
    }
    return true;
}

}  // namespace

// "" means the default address and port; "ADDRESS" and "ADDRESS:PORT" name them. A port without
// its address (":35000") names nothing and is refused.
bool parseTcpTarget(const std::string& text, PortRequest& request, std::string& error) {
    std::string address = text;
    int port = kDefaultTcpPort;
    const std::size_t colon = text.find(':');
    if (colon == 0) {
        error =
            "--tcp: the address is missing before \":\"; give ADDRESS:PORT, e.g. "
            "192.168.0.10:35000";
        return false;
    }
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        if (!parseDecimalInRange(text.substr(colon + 1), 1, 65535, port)) {
            error = "--tcp: the port \"" + text.substr(colon + 1) +
                    "\" is not a whole number from 1 to 65535";
            return false;
        }
    }
    if (address.empty()) {
        address = kDefaultTcpAddress;
    }
    if (!fitsDescriptor(address)) {
        error = "--tcp: the address may not contain \"|\" or \":\"";
        return false;
    }
    request = TcpPortRequest{address, port};
    return true;
}

std::string jobCommandFooter(bool update) {
    std::string text =
        "\nDESCRIPTOR is com|NAME:BAUD for a serial port (BAUD from " +
        std::to_string(kLowestBaud) + " to " + std::to_string(kHighestBaud) +
        ") or tcp|ADDRESS:PORT for a Wi-Fi adapter (dotted IPv4 address, PORT 1 to 65535).\n"
        "Name the adapters with --port (again for more) and --ports-file, or one adapter with "
        "--serial or --tcp. A port name that holds \":\" (/dev/serial/by-path/...) goes with "
        "--serial, or on a ports-file line of its own as NAME BAUD.\n"
        "A failure's fixed texts are followed by one line, indented by two blanks, that says "
        "what happened, whether the adapter was left as it was or waits in download mode, and "
        "what to do.\n\nExamples:\n";
    if (update) {
        text +=
            "  korvane-fw update --serial /dev/ttyUSB0 --file fw.hex\n"
            "  korvane-fw update --tcp 192.168.0.10:35000 --file fw.hex\n"
            "  korvane-fw update --ports-file tray.txt --file fw.hex --progress=json\n";
    } else {
        text +=
            "  korvane-fw read --serial /dev/rfcomm0 --baud 38400\n"
            "  korvane-fw read --port com|/dev/ttyUSB0:115200 --port tcp|192.168.0.10:35000\n";
    }
    text +=
        "\nExit status: 0 when every adapter finished, 1 when one failed, 2 on a usage error, 130 "
        "after Ctrl-C.";
    return text;
}

namespace {

// The values as the parser collects them; checked and put together by buildJobOptions.
struct RawJobOptions {
    std::vector<std::string> ports;
    std::vector<std::string> portsFiles;
    std::vector<std::string> serial;
    std::vector<std::string> baud;
    std::vector<std::string> tcp;
    std::vector<std::string> file;
    std::vector<std::string> progress;
    bool log = false;
    bool noHistory = false;
    CLI::Option* portOption = nullptr;
    CLI::Option* portsFileOption = nullptr;
    std::vector<CLI::Option*> once;  // the single-valued ones
};

void addJobOptions(CLI::App& app, bool needFile, RawJobOptions& raw) {
    app.option_defaults()->group("Adapters");
    raw.portOption =
        singleValued(app.add_option("--port", raw.ports,
                                    "An adapter's port: com|NAME:BAUD (serial) or tcp|ADDRESS:PORT "
                                    "(Wi-Fi). Give it again for more adapters; they run at once. "
                                    "auto: the one adapter found on the serial ports"))
            ->type_name("DESCRIPTOR");
    raw.portsFileOption =
        singleValued(
            app.add_option("--ports-file", raw.portsFiles,
                           "Adds the ports listed in FILE, one a line: a descriptor, or a serial "
                           "port's path and its baud rate (# starts a comment); always runs as "
                           "a batch"))
            ->type_name("FILE");
    raw.once.push_back(
        singleValued(app.add_option("--serial", raw.serial,
                                    "One adapter on the serial port NAME, e.g. /dev/ttyUSB0, "
                                    "/dev/rfcomm0, COM3 or /dev/serial/by-path/... (\":\" "
                                    "allowed)"))
            ->type_name("NAME"));
    raw.once.push_back(
        singleValued(app.add_option("--baud", raw.baud,
                                    "Baud rate for --serial (default " +
                                        std::to_string(kDefaultBaud) + "); auto: find it first"))
            ->type_name("N"));
    raw.once.push_back(app.add_option("--tcp", raw.tcp,
                                      std::string("One adapter over Wi-Fi at ADDR:PORT (default ") +
                                          kDefaultTcpAddress + ":" +
                                          std::to_string(kDefaultTcpPort) + ")")
                           ->expected(0, 1)
                           ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                           ->allow_extra_args(false)
                           ->type_name("[ADDR[:PORT]]"));
    app.option_defaults()->group("Options");
    if (needFile) {
        raw.once.push_back(singleValued(app.add_option("--file", raw.file,
                                                       "The update file to install (required)"))
                               ->type_name("PATH"));
    }
    raw.once.push_back(
        singleValued(app.add_option("--progress", raw.progress,
                                    "How progress is shown: bar, plain, none or json (default: bar "
                                    "on a terminal, else plain; json: one JSON object a line on "
                                    "standard output)"))
            ->type_name("MODE"));
    app.add_flag("--log", raw.log,
                 std::string("Write the serial traffic to ") + kTrafficLogFolder +
                     "/portYYYYMMDD-PORT.log in the current folder");
    app.add_flag("--no-history", raw.noHistory,
                 "Keep no record of this run in the update history (as KORVANE_NO_HISTORY=1 does)");
    // Again, so that it comes last and the adapters' group first.
    app.set_help_flag("-h,--help", "Show this help and exit");
}

// The ports in the order they were given, --port and --ports-file mixed.
bool collectPorts(const CLI::App& app, const RawJobOptions& raw, JobOptions& options,
                  std::string& error) {
    std::size_t nextPort = 0;
    std::size_t nextFile = 0;
    for (const CLI::Option* option : app.parse_order()) {
        if (option == raw.portOption && nextPort < raw.ports.size() &&
            raw.ports[nextPort] == kAutoPort) {
            ++nextPort;
        } else if (option == raw.portOption && nextPort < raw.ports.size()) {
            JobPort port;
            if (!parseJobPort(raw.ports[nextPort++], port, error)) {
                error = "--port " + error;
                return false;
            }
            options.ports.push_back(std::move(port));
        } else if (option == raw.portsFileOption && nextFile < raw.portsFiles.size()) {
            std::vector<JobPort> listed;
            if (!readPortsFile(raw.portsFiles[nextFile++], listed, error)) {
                return false;
            }
            options.ports.insert(options.ports.end(), listed.begin(), listed.end());
        }
    }
    return true;
}

bool buildJobOptions(const CLI::App& app, const RawJobOptions& raw, bool needFile,
                     JobOptions& options, std::string& error) {
    for (const CLI::Option* option : raw.once) {
        if (!onlyOnce(option, error)) {
            return false;
        }
    }
    const bool serialGiven = !raw.serial.empty();
    const bool tcpGiven = app.count("--tcp") > 0;
    const bool portsFileGiven = !raw.portsFiles.empty();
    const bool listGiven = !raw.ports.empty() || portsFileGiven;
    if ((serialGiven && tcpGiven) || ((serialGiven || tcpGiven) && listGiven)) {
        error = "--serial and --tcp name one adapter: give several with --port or --ports-file";
        return false;
    }
    if (!serialGiven && !tcpGiven && !listGiven) {
        error = "a port is needed: --port, --ports-file, --serial or --tcp";
        return false;
    }
    if (!raw.baud.empty() && !serialGiven) {
        error = "--baud goes with --serial";
        return false;
    }
    const bool autoPortGiven =
        std::find(raw.ports.begin(), raw.ports.end(), kAutoPort) != raw.ports.end();
    if (autoPortGiven && (raw.ports.size() > 1 || portsFileGiven)) {
        error = "--port auto finds the one adapter among the serial ports: name no other port";
        return false;
    }
    options.autoPort = autoPortGiven;
    options.autoBaud = serialGiven && !raw.baud.empty() && raw.baud[0] == kAutoBaud;
    if (!collectPorts(app, raw, options, error)) {
        return false;
    }
    if (serialGiven) {
        if (raw.serial[0].empty() || raw.serial[0].find('|') != std::string::npos) {
            error = "--serial: the port name must be given and may not contain \"|\"";
            return false;
        }
        int baud = kDefaultBaud;
        if (!raw.baud.empty() && !options.autoBaud &&
            !parseDecimalInRange(raw.baud[0], kLowestBaud, kHighestBaud, baud)) {
            error = "--baud: \"" + raw.baud[0] + "\" is not a whole number from " +
                    std::to_string(kLowestBaud) + " to " + std::to_string(kHighestBaud);
            return false;
        }
        options.ports.push_back(jobPortOf(SerialPortRequest{raw.serial[0], baud}));
    }
    if (tcpGiven) {
        PortRequest request;
        const std::string target = raw.tcp.empty() ? std::string() : raw.tcp[0];
        if (!raw.tcp.empty() && target.empty()) {
            error =
                "--tcp: the value is empty; give ADDRESS[:PORT] or --tcp alone for "
                "192.168.0.10:35000";
            return false;
        }
        if (!parseTcpTarget(target, request, error)) {
            return false;
        }
        options.ports.push_back(jobPortOf(request));
    }
    if (!raw.progress.empty()) {
        if (!parseProgressMode(raw.progress[0].c_str(), options.progress)) {
            error = "--progress must be bar, plain, none or json";
            return false;
        }
        options.progressGiven = true;
    }
    options.log = raw.log;
    options.history = !raw.noHistory;
    if (options.ports.empty() && !options.autoPort) {
        error = "--ports-file: no ports listed";
        return false;
    }
    if (!checkPortList(options.ports, error)) {
        return false;
    }
    options.batch = options.ports.size() > 1 || portsFileGiven;
    if (needFile) {
        if (raw.file.empty() || raw.file[0].empty()) {
            error = "--file PATH is needed";
            return false;
        }
        options.file = raw.file[0];
    }
    return true;
}

}  // namespace

ParsedLine parseJobCommandLine(const char* name, const CliArgs& args, bool needFile,
                               JobOptions& options) {
    const std::unique_ptr<CLI::App> app = makeCommandApp(name);
    RawJobOptions raw;
    addJobOptions(*app, needFile, raw);
    app->footer(jobCommandFooter(needFile));
    ParsedLine parsed = parseCommandLine(*app, args);
    if (parsed.kind != ParsedLine::Kind::Go) {
        return parsed;
    }
    std::string error;
    if (!buildJobOptions(*app, raw, needFile, options, error)) {
        return {ParsedLine::Kind::Usage, error};
    }
    return parsed;
}

bool parseJobOptions(const std::vector<std::string>& args, bool needFile, JobOptions& options,
                     std::string& error) {
    const ParsedLine parsed =
        parseJobCommandLine(needFile ? "update" : "read", args, needFile, options);
    if (parsed.kind == ParsedLine::Kind::Go) {
        return true;
    }
    error = parsed.kind == ParsedLine::Kind::Help ? "help was asked for" : parsed.text;
    return false;
}

}  // namespace korvane
