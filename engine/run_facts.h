#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/model_code.h"

namespace korvane {

// The adapter's two version texts, as its answers gave them; empty when it was not asked or gave
// none.
struct AdapterVersions {
    std::string device;   // its firmware version ("device version:")
    std::string adapter;  // its ELM327 adapter version ("Adapter version:")
};

// What one run of a job learned, for a record of it: the port, the update file and what the
// adapter told about itself before and after the download. Filled by the job and its flows as the
// run goes; read by the job's RunObserver.
struct RunFacts {
    bool update = true;              // an update, not a version read-out
    std::string port;                // the port descriptor ("com|NAME:BAUD", "tcp|IP:PORT")
    std::string link;                // "serial" or "tcp"; empty for a descriptor that names neither
    std::string path;                // the update file's path (update only)
    std::int64_t fileSize = -1;      // bytes loaded; -1 when the file could not be read
    int family = 0;                  // 1 or 2 once the file's check passed
    std::string fileModel;           // the file's model name
    std::string fileVersion;         // the file's version text
    std::optional<bool> appMode;     // the adapter runs its application firmware; unknown
    int deviceCode = kModelUnknown;  // the adapter's model, as its answers confirmed
    AdapterVersions before;          // told before the adapter was asked into download mode
    AdapterVersions after;           // told after that
    bool downloadMode = false;       // the adapter was asked into download mode
};

}  // namespace korvane
