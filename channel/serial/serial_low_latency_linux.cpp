#include <linux/serial.h>
#include <sys/ioctl.h>

#include "channel/serial/serial_low_latency.h"

namespace korvane {

LowLatency requestLowLatency(const SerialIoctl& ioctl) {
    serial_struct settings{};
    if (ioctl(TIOCGSERIAL, &settings) != 0) {
        return LowLatency::refused;
    }
    if ((settings.flags & ASYNC_LOW_LATENCY) != 0) {
        return LowLatency::alreadyOn;
    }
    settings.flags |= ASYNC_LOW_LATENCY;
    if (ioctl(TIOCSSERIAL, &settings) != 0) {
        return LowLatency::refused;
    }
    return LowLatency::requested;
}

LowLatency requestLowLatency(int fd) {
    return requestLowLatency(
        [fd](unsigned long request, void* argument) { return ::ioctl(fd, request, argument); });
}

}  // namespace korvane
