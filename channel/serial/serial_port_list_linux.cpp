#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "channel/serial/serial_port_list.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

// The kinds of serial device offered, in the order they are listed.
constexpr std::array<std::string_view, 4> kKinds = {"ttyUSB", "ttyACM", "rfcomm", "ttyS"};

struct Candidate {
    std::size_t kind;
    long number;
    std::string tty;
};

// Splits "ttyUSB12" into its kind and number; false for every other tty name.
bool classify(const std::string& tty, Candidate& candidate) {
    for (std::size_t kind = 0; kind < kKinds.size(); ++kind) {
        const std::string_view prefix = kKinds[kind];
        if (tty.size() <= prefix.size() || tty.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string digits = tty.substr(prefix.size());
        if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) {
                return std::isdigit(c) != 0;
            })) {
            return false;
        }
        candidate = Candidate{kind, std::stol(digits), tty};
        return true;
    }
    return false;
}

std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

// A serial-core port whose "type" is 0 has no UART behind it (a placeholder ttyS).
bool hasHardware(const fs::path& ttyDir, const Candidate& candidate) {
    std::error_code error;
    if (kKinds[candidate.kind] == "rfcomm") {
        return true;  // present only while bound; its device link appears once connected
    }
    if (!fs::exists(ttyDir / "device", error)) {
        return false;
    }
    const fs::path type = ttyDir / "type";
    if (fs::exists(type, error)) {
        return readFirstLine(type) != "0";
    }
    return true;
}

// Fills driver and USB details by walking up from the device towards the root.
void describe(const fs::path& ttyDir, SerialPortInfo& info) {
    std::error_code error;
    fs::path device = fs::canonical(ttyDir / "device", error);
    if (error) {
        return;
    }
    for (fs::path dir = device; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
        if (info.driver.empty()) {
            const fs::path driver = fs::read_symlink(dir / "driver", error);
            // "port" is the generic serial-core port layer; the real driver sits above it.
            if (!error && driver.filename() != "port") {
                info.driver = driver.filename().string();
            }
        }
        if (fs::exists(dir / "idVendor", error)) {
            info.usbVendorId = readFirstLine(dir / "idVendor");
            info.usbProductId = readFirstLine(dir / "idProduct");
            info.manufacturer = readFirstLine(dir / "manufacturer");
            info.product = readFirstLine(dir / "product");
            info.serialNumber = readFirstLine(dir / "serial");
            break;
        }
    }
}

}  // namespace

std::vector<SerialPortInfo> listSerialPortDetailsUnder(const std::string& sysRoot,
                                                       const std::string& devRoot) {
    std::vector<Candidate> candidates;
    std::error_code error;
    const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
    for (fs::directory_iterator it(classDir, error), end; !error && it != end;
         it.increment(error)) {
        Candidate candidate;
        const std::string tty = it->path().filename().string();
        if (classify(tty, candidate) && hasHardware(it->path(), candidate) &&
            fs::exists(fs::path(devRoot) / tty, error)) {
            candidates.push_back(candidate);
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.number < b.number;
    });
    std::vector<SerialPortInfo> ports;
    for (const Candidate& candidate : candidates) {
        SerialPortInfo info;
        info.name = (fs::path(devRoot) / candidate.tty).string();
        describe(classDir / candidate.tty, info);
        ports.push_back(std::move(info));
    }
    return ports;
}

std::vector<SerialPortInfo> listSerialPortDetails() {
    return listSerialPortDetailsUnder("/sys", "/dev");
}

std::vector<std::string> listSerialPorts() {
    std::vector<std::string> names;
    for (SerialPortInfo& port : listSerialPortDetails()) {
        names.push_back(std::move(port.name));
    }
    return names;
}

}  // namespace korvane
