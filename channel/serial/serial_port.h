#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "channel/open_failure.h"
#include "channel/pump_link.h"
#include "platform/tick.h"

namespace korvane {

// One open serial device of the platform, configured for the adapter link: raw 8 data bits, no
// parity, one stop bit, receiver on, modem status lines ignored, no hardware or software flow
// control, DTR and RTS inactive, used by nobody else while open. Destroying it closes the device.
//
// Reads and writes block in the platform's wait with the remaining budget, never in a polling
// loop. Besides the direct calls it serves a queue pump as its PumpLink.
class SerialPort : public PumpLink {
public:
    // Moves up to `count` bytes within the deadline. Returns the count moved, which is below
    // `count` when the deadline passed first, or -1 when the device failed (also for a negative
    // count). A count of 0 returns 0.
    virtual int read(std::uint8_t* buffer, int count, const Deadline& deadline) = 0;
    virtual int write(const std::uint8_t* bytes, int count, const Deadline& deadline) = 0;
    // Moves `count` bytes into `buffer` only when a read would find them taken from the device
    // already (a read-ahead), without a system call or a clock; false otherwise, nothing moved.
    virtual bool readHeld(std::uint8_t* /*buffer*/, int /*count*/) { return false; }
    // The read-ahead itself, which readHeld takes from, valid until the next call; and taking
    // its first `count` bytes.
    virtual std::span<const std::uint8_t> held() { return {}; }
    virtual void consumeHeld(std::size_t /*count*/) {}
    // The bytes a read could take now without waiting: what the driver holds (FIONREAD, the
    // input queue's count) and the read-ahead's; -1 when the driver does not tell.
    virtual int pendingInput() = 0;
    // Drops the driver's pending input and output.
    virtual bool purge() = 0;
    // Sets the line rate and reads it back; false when the device does not run at exactly `baud`
    // afterwards.
    virtual bool setBaud(int baud) = 0;
};

// The device path a port name stands for. "COM1".."COM256" (exactly so: upper case, no leading
// zeros) name the platform's numbered serial ports; any other name is a path already.
std::string serialDevicePath(const std::string& name);

// True when `name` is "COM" followed by a number from 1 to 256 written without leading zeros.
// Gives the number in `number`.
bool parseComName(const std::string& name, int& number);

// Opens the port `name` (see serialDevicePath) at `baud` for exclusive use; nullptr when the
// device is missing, busy, not a serial device, or rejects a setting or the exact rate, with the
// cause in `failure` (its `port` is `name`).
std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int baud, OpenFailure& failure);
inline std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int baud) {
    OpenFailure ignored;
    return openSerialPort(name, baud, ignored);
}

}  // namespace korvane
