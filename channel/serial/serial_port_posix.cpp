#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "channel/serial/serial_baud.h"
#include "channel/serial/serial_low_latency.h"
#include "channel/serial/serial_port.h"
#include "platform/deadline_wait.h"
#include "platform/wake_pipe_posix.h"

namespace korvane {
namespace {

// The speed constant of a rate that has one; 0 when the rate needs the arbitrary-rate call.
speed_t standardSpeed(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        case 1152000:
            return B1152000;
        case 1500000:
            return B1500000;
        case 2000000:
            return B2000000;
        case 2500000:
            return B2500000;
        case 3000000:
            return B3000000;
        case 3500000:
            return B3500000;
        case 4000000:
            return B4000000;
        default:
            return 0;
    }
}

// The cause an open() error number stands for.
OpenCause openErrorCause(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return OpenCause::NoSuchDevice;
        case EACCES:
        case EPERM:
            return OpenCause::PermissionDenied;
        case EBUSY:
            return OpenCause::Busy;
        case EISDIR:
            return OpenCause::NotSerialDevice;
        default:
            return OpenCause::Other;
    }
}

enum class Ready { yes, timedOut, hungUp, failed };

// Waits for `events` on `fd` until the deadline; never returns early without a reason.
Ready waitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        const int timeout = waitBudgetMs(deadline);
        if (timeout == 0) {
            return Ready::timedOut;
        }
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, timeout);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Ready::failed;
        }
        if (result == 0) {
            continue;  // the loop head decides whether time is really up
        }
        if (entry.revents & POLLNVAL) {
            errno = EBADF;
            return Ready::failed;
        }
        if (entry.revents & events) {
            return Ready::yes;
        }
        return Ready::hungUp;  // POLLHUP or POLLERR without the wanted event
    }
}

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(int fd) : fd_(fd) {}
    ~PosixSerialPort() override {
        // Exclusive use ends with us, even while another descriptor keeps the line alive.
        if (exclusive_) {
            ::ioctl(fd_, TIOCNXCL);
        }
        ::close(fd_);
    }

    bool configure(int baud, OpenFailure& failure);

    int read(std::uint8_t* buffer, int count, const Deadline& deadline) override {
        return transfer(buffer, count, deadline, Step::readAhead);
    }
    bool readHeld(std::uint8_t* buffer, int count) override {
        if (count <= 0 || aheadEnd_ - aheadStart_ < static_cast<std::size_t>(count)) {
            return false;
        }
        std::memcpy(buffer, ahead_.data() + aheadStart_, static_cast<std::size_t>(count));
        aheadStart_ += static_cast<std::size_t>(count);
        return true;
    }
    std::span<const std::uint8_t> held() override {
        return {ahead_.data() + aheadStart_, aheadEnd_ - aheadStart_};
    }
    void consumeHeld(std::size_t count) override {
        aheadStart_ += std::min(count, aheadEnd_ - aheadStart_);
    }
    int pendingInput() override {
        int inDriver = 0;
        if (::ioctl(fd_, FIONREAD, &inDriver) != 0) {
            return -1;
        }
        return inDriver + static_cast<int>(aheadEnd_ - aheadStart_);
    }
    int write(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        return transfer(const_cast<std::uint8_t*>(bytes), count, deadline, Step::write);
    }
    bool purge() override {
        aheadStart_ = aheadEnd_ = 0;
        return ::tcflush(fd_, TCIOFLUSH) == 0;
    }
    bool setBaud(int baud) override;

    Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) override;
    int receiveAvailable(std::uint8_t* buffer, int most) override {
        return transfer(buffer, most, Deadline(0), Step::read);
    }
    int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        return write(bytes, count, deadline);
    }
    void wake() override { wake_.wake(); }

private:
    enum class Step { read, readAhead, write };

    int transfer(std::uint8_t* data, int count, const Deadline& deadline, Step step);
    ssize_t moveOnce(std::uint8_t* data, std::size_t count, Step step);
    bool applyBaud(termios& settings, int baud);

    int fd_;
    bool exclusive_ = false;
    // Input taken from the driver by a direct read beyond what that read asked for: a one-byte
    // read then costs a system call only when the driver had nothing more. Only read() (the
    // direct mode's caller) uses it; purge() drops it along with the driver's input.
    std::array<std::uint8_t, 4096> ahead_{};
    std::size_t aheadStart_ = 0;
    std::size_t aheadEnd_ = 0;
    WakePipe wake_;
};

bool PosixSerialPort::configure(int baud, OpenFailure& failure) {
    if (!wake_.valid()) {
        return failure.record(OpenCause::Other, errno);
    }
    if (baud <= 0) {
        failure.value = baud;
        return failure.record(OpenCause::RateNotSupported, 0);
    }
    // No sharing: an advisory lock keeps out every other user of this program (even one with
    // privileges that TIOCEXCL would not stop), TIOCEXCL everyone else.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        return failure.record(errno == EWOULDBLOCK ? OpenCause::Busy : OpenCause::Other, errno);
    }
    if (::ioctl(fd_, TIOCEXCL) != 0) {
        return failure.record(errno == ENOTTY ? OpenCause::NotSerialDevice : OpenCause::Other,
                              errno);
    }
    exclusive_ = true;
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) {
        return failure.record(errno == ENOTTY ? OpenCause::NotSerialDevice : OpenCause::Other,
                              errno);
    }
    ::cfmakeraw(&settings);
    settings.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNCR | ICRNL | INLCR | PARMRK);
    settings.c_oflag &= ~OPOST;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    // Non-blocking reads then return EAGAIN when nothing is there and 0 only after a hang-up.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    errno = 0;
    if (!applyBaud(settings, baud)) {
        failure.value = baud;
        return failure.record(OpenCause::RateNotSupported, errno);
    }
    const int lines = TIOCM_DTR | TIOCM_RTS;
    // Pseudo-terminals and some virtual ports have no modem lines; that is not a failure.
    if (::ioctl(fd_, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
        return failure.record(OpenCause::Other, errno);
    }
    // USB bridges then pass received bytes on at once instead of holding them for up to 16 ms.
    // Pseudo-terminals and Bluetooth ports have no such setting; their refusal changes nothing.
    requestLowLatency(fd_);
    ::tcflush(fd_, TCIOFLUSH);
    return true;
}

bool PosixSerialPort::applyBaud(termios& settings, int baud) {
    const speed_t speed = standardSpeed(baud);
    if (speed != 0 &&
        (::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0)) {
        return false;
    }
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) {
        return false;
    }
    if (speed == 0 && !setArbitraryBaud(fd_, baud)) {
        return false;
    }
    return readBackBaud(fd_) == baud;
}

bool PosixSerialPort::setBaud(int baud) {
    if (baud <= 0) {
        return false;
    }
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) {
        return false;
    }
    return applyBaud(settings, baud);
}

// One step without waiting: the bytes moved, 0 at the end of input, or -1 with errno set.
ssize_t PosixSerialPort::moveOnce(std::uint8_t* data, std::size_t count, Step step) {
    if (step == Step::write) {
        return ::write(fd_, data, count);
    }
    const bool aheadEmpty = aheadStart_ == aheadEnd_;
    if (step == Step::read || (aheadEmpty && count >= ahead_.size())) {
        return ::read(fd_, data, count);
    }
    if (aheadEmpty) {
        const ssize_t got = ::read(fd_, ahead_.data(), ahead_.size());
        if (got <= 0) {
            return got;
        }
        aheadStart_ = 0;
        aheadEnd_ = static_cast<std::size_t>(got);
    }
    const std::size_t taken = std::min(count, aheadEnd_ - aheadStart_);
    std::memcpy(data, ahead_.data() + aheadStart_, taken);
    aheadStart_ += taken;
    return static_cast<ssize_t>(taken);
}

int PosixSerialPort::transfer(std::uint8_t* data, int count, const Deadline& deadline, Step step) {
    if (count < 0) {
        return -1;
    }
    const short direction = step == Step::write ? POLLOUT : POLLIN;
    int done = 0;
    bool hungUp = false;
    while (done < count) {
        const ssize_t moved = moveOnce(data + done, static_cast<std::size_t>(count - done), step);
        if (moved > 0) {
            done += static_cast<int>(moved);
            continue;
        }
        if (moved == 0 && direction == POLLIN) {
            return noteLoss(LossCause::HungUp, 0);  // end of input: the device hung up
        }
        if (moved < 0 && errno != EAGAIN && errno != EINTR) {
            return noteLoss(LossCause::Failed, errno);
        }
        if (hungUp) {
            // The device reported a hang-up and still moves nothing.
            return noteLoss(LossCause::HungUp, 0);
        }
        switch (waitFor(fd_, direction, deadline)) {
            case Ready::yes:
                break;
            case Ready::timedOut:
                return done;
            case Ready::hungUp:
                hungUp = true;
                break;
            case Ready::failed:
                return noteLoss(LossCause::Failed, errno);
        }
    }
    return done;
}

PumpLink::Wait PosixSerialPort::waitForInputOrWake(bool watchInput, const Deadline& deadline) {
    for (;;) {
        const int timeout = waitBudgetMs(deadline);
        if (timeout == 0) {
            return Wait::timedOut;
        }
        pollfd entries[2] = {{wake_.pollFd(), POLLIN, 0}, {watchInput ? fd_ : -1, POLLIN, 0}};
        const int result = ::poll(entries, 2, timeout);
        if (result < 0 && errno != EINTR) {
            noteLoss(LossCause::Failed, errno);
            return Wait::inputGone;
        }
        if (result <= 0) {
            continue;
        }
        if (entries[0].revents != 0) {
            wake_.drain();
            return Wait::woken;
        }
        if (entries[1].revents & POLLIN) {
            return Wait::inputReady;
        }
        noteLoss(LossCause::HungUp, 0);
        return Wait::inputGone;
    }
}

}  // namespace

std::string serialDevicePath(const std::string& name) {
    int number = 0;
    if (parseComName(name, number)) {
        return "/dev/ttyS" + std::to_string(number - 1);
    }
    return name;
}

std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int baud,
                                           OpenFailure& failure) {
    const std::string path = serialDevicePath(name);
    failure = OpenFailure{};
    failure.port = name;
    if (path != name) {
        failure.devicePath = path;
    }
    if (path.empty()) {
        failure.record(OpenCause::NoSuchDevice, 0);
        return nullptr;
    }
    if (baud <= 0) {
        failure.value = baud;
        failure.record(OpenCause::RateNotSupported, 0);
        return nullptr;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure.record(openErrorCause(errno), errno);
        return nullptr;
    }
    auto port = std::make_unique<PosixSerialPort>(fd);
    if (!port->configure(baud, failure)) {
        return nullptr;
    }
    return port;
}

}  // namespace korvane
