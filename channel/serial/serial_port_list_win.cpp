#include "channel/serial/serial_port_list_win.h"

#include <climits>

#include "channel/serial/serial_port_list.h"

namespace korvane {

namespace {

constexpr DWORD kValueNameChars = 256;
constexpr DWORD kValueDataBytes = 256;
constexpr int kHighestComNumber = 256;

bool isSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool readComNumber(const unsigned char* data, std::size_t size, int& number) {
    std::size_t at = 0;
    auto more = [&] { return at < size && data[at] != '\0'; };
    for (const char letter : {'C', 'O', 'M'}) {
        if (!more() || data[at] != static_cast<unsigned char>(letter)) {
            return false;
        }
        ++at;
    }
    while (more() && isSpace(data[at])) {
        ++at;
    }
    bool negative = false;
    if (more() && (data[at] == '+' || data[at] == '-')) {
        negative = data[at] == '-';
        ++at;
    }
    long long value = 0;
    bool digits = false;
    while (more() && data[at] >= '0' && data[at] <= '9') {
        digits = true;
        value = value * 10 + (data[at] - '0');
        if (value > INT_MAX) {
            return false;  // too large for "%d"; no port has such a number
        }
        ++at;
    }
    if (!digits) {
        return false;
    }
    number = static_cast<int>(negative ? -value : value);
    return true;
}

std::vector<std::string> listSerialPortsUnderKey(HKEY root, const char* subKey) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char valueName[kValueNameChars];
        DWORD valueNameChars = kValueNameChars;
        unsigned char data[kValueDataBytes];
        DWORD dataBytes = kValueDataBytes;
        if (RegEnumValueA(key, index, valueName, &valueNameChars, nullptr, nullptr, data,
                          &dataBytes) != ERROR_SUCCESS) {
            break;
        }
        int number = 0;
        if (readComNumber(data, dataBytes, number) && number >= 1 && number <= kHighestComNumber) {
            names.push_back("COM" + std::to_string(number));
        }
    }
    RegCloseKey(key);
    return names;
}

std::vector<SerialPortInfo> listSerialPortDetails() {
    std::vector<SerialPortInfo> ports;
    for (std::string& name : listSerialPortsUnderKey(HKEY_LOCAL_MACHINE, kSerialCommKey)) {
        SerialPortInfo info;
        info.name = std::move(name);
        ports.push_back(std::move(info));
    }
    return ports;
}

std::vector<std::string> listSerialPorts() {
    return listSerialPortsUnderKey(HKEY_LOCAL_MACHINE, kSerialCommKey);
}

}  // namespace korvane
