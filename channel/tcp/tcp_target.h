#pragma once

#include <string>

#include "channel/open_failure.h"

namespace korvane {

// Parses a dotted IPv4 address ("a.b.c.d", decimal parts 0..255 without leading zeros); no host
// names, nothing before or after. False otherwise.
bool parseDottedIpv4(const std::string& text, unsigned char (&address)[4]);

// The checks every TCP connect makes before it creates a socket: `failure` is reset and named
// "ip:port", `ip` must be dotted IPv4 and `port` within 1..65535. On success the address parts
// are in `address`; otherwise the cause is recorded in `failure`.
bool checkTcpTarget(const std::string& ip, int port, unsigned char (&address)[4],
                    OpenFailure& failure);

}  // namespace korvane
