#include <algorithm>
#include <cctype>
#include <string>

#include "channel/serial/serial_port_list.h"

namespace korvane {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string baseName(const std::string& name) {
    const std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

const char* serialPortKind(const SerialPortInfo& port) {
    if (!port.usbVendorId.empty()) {
        return "usb";
    }
    const std::string driver = lowerCase(port.driver);
    if (baseName(port.name).rfind("rfcomm", 0) == 0 || driver.find("rfcomm") != std::string::npos ||
        driver.rfind("bth", 0) == 0) {
        return "bluetooth";
    }
    return "serial";
}

}  // namespace korvane
