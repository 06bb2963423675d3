#include "cli/job_options.h"

#include <cstddef>

namespace korvane {

namespace {

// A decimal number of 1 to 9 digits, nothing else.
bool parseCount(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    value = result;
    return true;
}

// Port names and addresses end up between the descriptor's separators, so they cannot hold them.
bool fitsDescriptor(const std::string& text) {
    return text.find_first_of("|:") == std::string::npos;
}

bool parseTcpTarget(const std::string& text, std::string& descriptor, std::string& error) {
    std::string address = text;
    int port = kDefaultTcpPort;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        if (!parseCount(text.substr(colon + 1), port) || port < 1 || port > 65535) {
            error = "--tcp: the port must be a number from 1 to 65535";
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
    descriptor = tcpDescriptor(address, port);
    return true;
}

}  // namespace

std::string serialDescriptor(const std::string& name, int baud) {
    return "com|" + name + ":" + std::to_string(baud);
}

std::string tcpDescriptor(const std::string& address, int port) {
    return "tcp|" + address + ":" + std::to_string(port);
}

bool parseJobOptions(const std::vector<std::string>& args, bool needFile, JobOptions& options,
                     std::string& error) {
    int portSources = 0;
    std::string serialName;
    bool serialGiven = false;
    bool baudGiven = false;
    int baud = kDefaultBaud;
    bool fileGiven = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument \"" + arg + "\"";
            return false;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::size_t equals = arg.find('=');
        if (equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        }
        // Options with a required value take the next argument when no "=" gave one.
        auto takeValue = [&]() {
            if (hasValue) {
                return true;
            }
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
            hasValue = true;
            return true;
        };

        if (name == "--port") {
            if (!takeValue()) {
                return false;
            }
            options.descriptor = value;
            ++portSources;
        } else if (name == "--serial") {
            if (!takeValue()) {
                return false;
            }
            if (value.empty() || !fitsDescriptor(value)) {
                error = "--serial: the port name must be given and may not contain \"|\" or \":\"";
                return false;
            }
            serialName = value;
            serialGiven = true;
            ++portSources;
        } else if (name == "--baud") {
            if (!takeValue()) {
                return false;
            }
            if (!parseCount(value, baud) || baud < 1) {
                error = "--baud: the rate must be a positive number";
                return false;
            }
            baudGiven = true;
        } else if (name == "--tcp") {
            // The target is optional: it is the next argument only when that is not an option.
            if (!hasValue && i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) {
                value = args[++i];
            }
            if (!parseTcpTarget(value, options.descriptor, error)) {
                return false;
            }
            ++portSources;
        } else if (name == "--file") {
            if (!needFile) {
                error = "--file is not used here";
                return false;
            }
            if (!takeValue()) {
                return false;
            }
            options.file = value;
            fileGiven = true;
        } else if (name == "--progress") {
            if (!takeValue()) {
                return false;
            }
            if (!parseProgressMode(value.c_str(), options.progress)) {
                error = "--progress must be bar, plain or none";
                return false;
            }
            options.progressGiven = true;
        } else if (name == "--log") {
            if (hasValue) {
                error = "--log takes no value";
                return false;
            }
            options.log = true;
        } else {
            error = "unknown option \"" + name + "\"";
            return false;
        }
    }

    if (portSources != 1) {
        error = portSources == 0 ? "a port is needed: --port, --serial or --tcp"
                                 : "give only one of --port, --serial and --tcp";
        return false;
    }
    if (baudGiven && !serialGiven) {
        error = "--baud goes with --serial";
        return false;
    }
    if (serialGiven) {
        options.descriptor = serialDescriptor(serialName, baud);
    }
    if (needFile && (!fileGiven || options.file.empty())) {
        error = "--file PATH is needed";
        return false;
    }
    return true;
}

}  // namespace korvane
