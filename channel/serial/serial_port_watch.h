#pragma once

#include <string>

namespace korvane {

// Tells when serial ports may have come or gone, so that a port list can follow the hardware
// (Linux: inotify on the device folder, which udev fills as devices appear). The Windows window
// learns the same from WM_DEVICECHANGE and needs no watch.
class SerialPortWatch {
public:
    // Watches `deviceFolder`; fd() is -1 when the watch could not be set up.
    explicit SerialPortWatch(const std::string& deviceFolder = "/dev");
    ~SerialPortWatch();
    SerialPortWatch(const SerialPortWatch&) = delete;
    SerialPortWatch& operator=(const SerialPortWatch&) = delete;

    // Readable when something changed in the folder; for the toolkit's event loop.
    int fd() const { return fd_; }
    // Reads what is pending without waiting: true when a serial port's device came, went or
    // changed its access rights (udev sets them just after it creates the device).
    bool takeChanges();

private:
    int fd_ = -1;
};

// Whether a device name is one a serial port list shows (ttyUSB0, ttyACM1, rfcomm0, ttyS3).
bool isSerialDeviceName(const std::string& name);

}  // namespace korvane
