#pragma once

#include <functional>

namespace korvane {

// USB serial bridges hold received bytes back for a while to fill their packets (FTDI chips up to
// 16 ms by default), and a stop-and-wait protocol pays that on every command. Linux drivers that
// support it shorten the hold when the port asks for low latency (ASYNC_LOW_LATENCY in the
// driver's serial settings); on an FTDI bridge that sets its latency timer to 1 ms.

enum class LowLatency {
    requested,  // the flag was off and the driver took it
    alreadyOn,
    refused,  // the device has no such settings (a pty, a Bluetooth port) or refused the change
};

// The device's ioctl() as the request sees it: the request code and its argument; 0 on success.
using SerialIoctl = std::function<int(unsigned long request, void* argument)>;

// Reads the driver's serial settings and writes them back with the low-latency flag set, leaving
// every other setting as read. A refusal is only reported; the port works without it.
LowLatency requestLowLatency(const SerialIoctl& ioctl);

// The same on an open serial descriptor.
LowLatency requestLowLatency(int fd);

}  // namespace korvane
