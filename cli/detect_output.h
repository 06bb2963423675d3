#pragma once

#include <span>
#include <string>

#include "engine/adapter_discovery.h"

namespace korvane {

// What `detect --json` prints; the text lines are findingLine (engine/finding_text.h).

// A JSON array with one object per probed port: port, found, descriptor, baud, mode, updatable,
// model, device_version, adapter_version, reason (only when not found) and elapsed_ms.
std::string findingsJson(std::span<const PortFinding> findings);

}  // namespace korvane
