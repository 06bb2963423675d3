#pragma once

#include <string>
#include <vector>

#include "channel/serial/serial_port_list.h"

namespace korvane {

// serialPortKind (channel/serial/serial_port_list.h) tells the port's kind.

// What the system knows of the port, in one line: "USB 0403:6001 FTDI FT232R USB UART, serial
// A50285BI, driver ftdi_sio", "Bluetooth rfcomm", "driver serial8250"; empty when nothing.
std::string serialPortDescription(const SerialPortInfo& port);

// One port a line: its name, then its description, descriptions lined up.
std::string serialPortListText(const std::vector<SerialPortInfo>& ports);

// A JSON array with one object per port, in the same order:
// {"name":..., "kind":"usb"|"bluetooth"|"serial", "driver":..., "usb_vendor_id":...,
//  "usb_product_id":..., "manufacturer":..., "product":..., "serial_number":...}; a value the
// system does not know is null.
std::string serialPortListJson(const std::vector<SerialPortInfo>& ports);

}  // namespace korvane
