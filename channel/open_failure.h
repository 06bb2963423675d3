#pragma once

#include <string>

namespace korvane {

// Why a port or connection did not open, as the platform layer saw it. Channels only record it;
// the engine and the front ends turn it into words for the user.
enum class OpenCause {
    None,              // it opened
    NoSuchDevice,      // nothing by that name (unplugged, not paired, mistyped)
    PermissionDenied,  // the user may not open it
    Busy,              // another program has it open
    NotSerialDevice,   // it exists but is no serial port (a file, a folder, another device)
    RateNotSupported,  // the port does not run at the asked baud rate
    BadAddress,        // not a dotted IPv4 address
    BadPortNumber,     // a TCP port outside 1..65535
    Refused,           // nobody listens at that address and port
    TimedOut,          // no answer to the connection attempt in time
    Unreachable,       // no route to the address from this computer
    Stopped,           // given up on a stop request before it opened
    Other,             // any other failure; `systemCode` says which
};

struct OpenFailure {
    OpenCause cause = OpenCause::None;
    // The operating system's error number (errno, GetLastError or WSAGetLastError); 0 when the
    // failure was found without a system call failing.
    int systemCode = 0;
    // The port name as given (serial) or "ADDRESS:PORT" (TCP).
    std::string port;
    // Serial: the device path the name stands for, when it differs from the name; TCP: unused.
    std::string devicePath;
    // The rate asked for (RateNotSupported) or the time waited in milliseconds (TimedOut).
    int value = 0;

    bool failed() const { return cause != OpenCause::None; }
    // Records the cause and the system's error number; false, for an opening step to return.
    bool record(OpenCause why, int code) {
        cause = why;
        systemCode = code;
        return false;
    }
};

// The operating system's own words for `systemCode` (strerror or FormatMessage), without a
// trailing line end; empty for 0.
std::string systemErrorText(int systemCode);

}  // namespace korvane
