#include "cli/job_options.h"

#include <cstddef>
#include <set>

#include "cli/port_label.h"
#include "cli/ports_file.h"

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

// Every port once, and not more of them than one run drives.
bool checkPortList(const std::vector<std::string>& descriptors, std::string& error) {
    if (descriptors.size() > kMostAdapters) {
        error = "at most " + std::to_string(kMostAdapters) + " ports at once";
        return false;
    }
    std::set<std::string> seen;
    for (const std::string& descriptor : descriptors) {
        if (!seen.insert(portKey(descriptor)).second) {
            error = "the port \"" + portLabel(descriptor) + "\" is named more than once";
            return false;
        }
    }
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
    int singlePortSources = 0;  // --serial and --tcp
    bool portsFileGiven = false;
    int portOptions = 0;  // --port
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
            options.descriptors.push_back(value);
            ++portOptions;
        } else if (name == "--ports-file") {
            if (!takeValue()) {
                return false;
            }
            std::vector<std::string> listed;
            if (!readPortsFile(value, listed, error)) {
                return false;
            }
            options.descriptors.insert(options.descriptors.end(), listed.begin(), listed.end());
            portsFileGiven = true;
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
            ++singlePortSources;
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
            std::string descriptor;
            if (!parseTcpTarget(value, descriptor, error)) {
                return false;
            }
            options.descriptors.push_back(descriptor);
            ++singlePortSources;
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
                error = "--progress must be bar, plain, none or json";
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

    const bool listGiven = portOptions > 0 || portsFileGiven;
    if (singlePortSources > 1 || (singlePortSources == 1 && listGiven)) {
        error = "--serial and --tcp name one adapter: give several with --port or --ports-file";
        return false;
    }
    if (singlePortSources == 0 && !listGiven) {
        error = "a port is needed: --port, --ports-file, --serial or --tcp";
        return false;
    }
    if (baudGiven && !serialGiven) {
        error = "--baud goes with --serial";
        return false;
    }
    if (serialGiven) {
        options.descriptors.push_back(serialDescriptor(serialName, baud));
    }
    if (options.descriptors.empty()) {
        error = "--ports-file: no ports listed";
        return false;
    }
    if (!checkPortList(options.descriptors, error)) {
        return false;
    }
    options.descriptor = options.descriptors.front();
    options.batch = options.descriptors.size() > 1 || portsFileGiven;
    if (needFile && (!fileGiven || options.file.empty())) {
        error = "--file PATH is needed";
        return false;
    }
    return true;
}

}  // namespace korvane
