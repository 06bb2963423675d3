#pragma once

#include <string>
#include <vector>

namespace korvane {

// One serial port of the machine, as a user would pick it.
struct SerialPortInfo {
    std::string name;          // what the serial channel opens ("/dev/ttyUSB0", "COM3")
    std::string driver;        // kernel or system driver, when known ("ftdi_sio", "cdc_acm")
    std::string usbVendorId;   // four lower-case hex digits, USB devices only ("0403")
    std::string usbProductId;  // four lower-case hex digits, USB devices only ("6001")
    std::string manufacturer;  // USB devices only, when the device names one
    std::string product;       // USB devices only, when the device names one ("FT232R USB UART")
    std::string serialNumber;  // USB devices only, when the device has one
};

// The serial ports of this machine that a serial channel can open, in the platform's enumeration
// order, duplicates kept; empty when there are none.
//
// Linux: the USB serial adapters (/dev/ttyUSB*), USB modems (/dev/ttyACM*), bound Bluetooth
// serial ports (/dev/rfcomm*) and on-board UARTs (/dev/ttyS*) that have hardware behind them, in
// that order of kinds and by number within a kind.
// Windows (serial_port_list_win.cpp): the data of the values under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM\ that read "COM" plus a number 1..256, as
// "COM<n>", in the key's enumeration order; only `name` is filled.
std::vector<SerialPortInfo> listSerialPortDetails();

// What kind of serial port it is, as the system tells: "usb" (the system names a USB vendor),
// "bluetooth" (an rfcomm port or a Bluetooth modem driver) or "serial".
const char* serialPortKind(const SerialPortInfo& port);

// The names of listSerialPortDetails(), in the same order.
std::vector<std::string> listSerialPorts();

// listSerialPortDetails() read from another system-information tree and device folder (the
// Linux version reads `sysRoot`/class/tty and checks that `devRoot`/<tty> exists). For tests;
// Linux only.
std::vector<SerialPortInfo> listSerialPortDetailsUnder(const std::string& sysRoot,
                                                       const std::string& devRoot);

}  // namespace korvane
