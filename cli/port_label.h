#pragma once

#include <string>
#include <string_view>

namespace korvane {

// How the output names the adapter behind a descriptor: the serial port's name ("/dev/ttyUSB0")
// or the TCP address and port ("192.168.0.10:35000"); a malformed descriptor names itself.
std::string portLabel(std::string_view descriptor);

// Descriptors that reach the same adapter have the same key: a serial port whatever its baud
// rate, a TCP address and port however the port number is written.
std::string portKey(std::string_view descriptor);

}  // namespace korvane
