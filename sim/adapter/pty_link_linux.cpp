#include <fcntl.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/adapter/pty_link.h"
#include "sim/adapter/tty_rate.h"

namespace korvane::sim {

PtyLink::~PtyLink() {
    close();
}

bool PtyLink::open(int rate, std::string& error) {
    close();
    if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        error = std::string("openpty failed: ") + std::strerror(errno);
        master_ = slave_ = -1;
        return false;
    }
    char name[128] = {};
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("ptsname failed: ") + std::strerror(errno);
        close();
        return false;
    }
    slavePath_ = name;
    if (!setTtyRaw(slave_, rate)) {
        error = std::string("cannot set the pty's line: ") + std::strerror(errno);
        close();
        return false;
    }
    const int flags = fcntl(master_, F_GETFL);
    if (flags < 0 || fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0 ||
        fcntl(master_, F_SETFD, FD_CLOEXEC) != 0 || fcntl(slave_, F_SETFD, FD_CLOEXEC) != 0) {
        error = std::string("cannot configure the pty: ") + std::strerror(errno);
        close();
        return false;
    }
    return true;
}

void PtyLink::close() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

int PtyLink::hostRate() const {
    // The slave's settings are the host's: a pty has one set of line settings, which the master
    // side reads as well.
    return master_ >= 0 ? readTtyRate(master_) : -1;
}

}  // namespace korvane::sim
