#pragma once

#include <functional>
#include <string>
#include <vector>

namespace korvane {

// Returns the machine's serial ports in enumeration order. The program passes listSerialPorts;
// tests pass their own lists.
using PortLister = std::function<std::vector<std::string>()>;

}  // namespace korvane
