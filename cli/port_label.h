#pragma once

#include <string>
#include <string_view>

#include "channel/port_descriptor.h"

namespace korvane {

// One adapter of a run: the port as the user named it and the request it stands for.
struct JobPort {
    // A --port value or a ports-file line as given; for --serial and --tcp, the request's text.
    std::string descriptor;
    PortRequest request;
};

// Reads a descriptor, the one time it is parsed: false with `error` naming the malformed part and
// the accepted form.
bool parseJobPort(std::string_view descriptor, JobPort& port, std::string& error);
// The port of a request built from --serial or --tcp.
JobPort jobPortOf(const PortRequest& request);

// How the output names the adapter: the serial port's name ("/dev/ttyUSB0") or the TCP address
// and port as the user wrote them ("192.168.0.10:35000").
std::string portLabel(const JobPort& port);

// Requests that reach the same adapter have the same key: a serial port whatever its baud rate, a
// TCP address and port however the port number was written.
std::string portKey(const PortRequest& request);

}  // namespace korvane
