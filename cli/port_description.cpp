#include "cli/port_description.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>

#include "cli/report_lines.h"

namespace korvane {

namespace {

nlohmann::ordered_json knownOrNull(const std::string& value) {
    return value.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(value);
}

}  // namespace

std::string serialPortDescription(const SerialPortInfo& port) {
    std::string text;
    const std::string kind = serialPortKind(port);
    if (kind == "usb") {
        text = "USB " + port.usbVendorId + ":" + port.usbProductId;
        if (!port.manufacturer.empty()) {
            text += " " + port.manufacturer;
        }
        if (!port.product.empty()) {
            text += " " + port.product;
        }
        if (!port.serialNumber.empty()) {
            text += ", serial " + port.serialNumber;
        }
    } else if (kind == "bluetooth") {
        text = "Bluetooth rfcomm";
    }
    if (!port.driver.empty()) {
        text += (text.empty() ? "driver " : ", driver ") + port.driver;
    }
    return printableLine(text);
}

std::string serialPortListText(const std::vector<SerialPortInfo>& ports) {
    std::size_t width = 0;
    for (const SerialPortInfo& port : ports) {
        width = std::max(width, port.name.size());
    }
    std::string text;
    for (const SerialPortInfo& port : ports) {
        const std::string description = serialPortDescription(port);
        text += printableLine(port.name);
        if (!description.empty()) {
            text += std::string(width - port.name.size() + 2, ' ') + description;
        }
        text += '\n';
    }
    return text;
}

std::string serialPortListJson(const std::vector<SerialPortInfo>& ports) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SerialPortInfo& port : ports) {
        nlohmann::ordered_json entry;
        entry["name"] = port.name;
        entry["kind"] = serialPortKind(port);
        entry["driver"] = knownOrNull(port.driver);
        entry["usb_vendor_id"] = knownOrNull(port.usbVendorId);
        entry["usb_product_id"] = knownOrNull(port.usbProductId);
        entry["manufacturer"] = knownOrNull(port.manufacturer);
        entry["product"] = knownOrNull(port.product);
        entry["serial_number"] = knownOrNull(port.serialNumber);
        list.push_back(std::move(entry));
    }
    // The system's texts are UTF-8; a byte that does not fit becomes U+FFFD.
    return list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace korvane
