#pragma once

#include <string>

#include "engine/adapter_discovery.h"

namespace korvane {

// What discovery found, in words for the command line and the window.

// One line without a line end. An adapter: findingUse first, then model, mode and the
// two version texts. No adapter: the port and why. Shown escaped (shownText): port names and
// version texts come from outside.
std::string findingLine(const PortFinding& finding);

// What to name the port with: its descriptor, or "--serial NAME --baud N" for a name that holds
// ":" (a /dev/serial/by-path name), which a descriptor cannot carry.
std::string findingUse(const PortFinding& finding);

// The port as a user names it: the serial port's name, or ADDRESS:PORT.
std::string findingPortName(const PortFinding& finding);

// "application" or "boot loader".
const char* findingModeText(ProbeVerdict verdict);

}  // namespace korvane
