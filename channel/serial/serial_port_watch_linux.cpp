#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "channel/serial/serial_port_watch.h"

namespace korvane {

bool isSerialDeviceName(const std::string& name) {
    for (const char* prefix : {"ttyUSB", "ttyACM", "rfcomm", "ttyS"}) {
        if (name.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

SerialPortWatch::SerialPortWatch(const std::string& deviceFolder) {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    if (inotify_add_watch(fd_, deviceFolder.c_str(),
                          IN_CREATE | IN_DELETE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SerialPortWatch::~SerialPortWatch() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool SerialPortWatch::takeChanges() {
    if (fd_ < 0) {
        return false;
    }
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd_, buffer, sizeof buffer);
        if (count <= 0) {
            break;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= count;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof(inotify_event);
            if (event.len > 0 && isSerialDeviceName(std::string(name, strnlen(name, event.len)))) {
                changed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    return changed;
}

}  // namespace korvane
