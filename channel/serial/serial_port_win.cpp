// The serial port on Windows: overlapped I/O on the COM device. Reads take what the driver holds
// and then sleep in WaitCommEvent (EV_RXCHAR) for the rest of their budget, so a waiting read
// costs no processor time.
#include "platform/windows_api.h"

#include "channel/serial/serial_port.h"
#include "channel/serial/serial_settings_win.h"
#include "platform/deadline_wait.h"

namespace korvane {
namespace {

// An event object, closed when it goes.
class EventHandle {
public:
    explicit EventHandle(bool manualReset)
        : handle_(CreateEventA(nullptr, manualReset ? TRUE : FALSE, FALSE, nullptr)) {}
    ~EventHandle() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
        }
    }
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;

    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }

private:
    HANDLE handle_;
};

constexpr int kWaitTimedOut = -1;
constexpr int kWaitFailed = -2;

// Waits until one of `handles` is signalled (its index) or the deadline passes (kWaitTimedOut).
// A Windows wait can end a little before its time-out; then it waits again for the rest.
int waitForAny(const HANDLE* handles, DWORD count, const Deadline& deadline) {
    for (;;) {
        const DWORD budget = waitBudgetMs(deadline);
        const DWORD result = WaitForMultipleObjects(count, handles, FALSE, budget);
        if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
            return static_cast<int>(result - WAIT_OBJECT_0);
        }
        if (result != WAIT_TIMEOUT) {
            return kWaitFailed;
        }
        if (budget == 0 || waitBudgetMs(deadline) == 0) {
            return kWaitTimedOut;
        }
    }
}

class WinSerialPort final : public SerialPort {
public:
    explicit WinSerialPort(HANDLE handle)
        : handle_(handle), transferDone_(true), commEvent_(true), wakeEvent_(false) {}
    ~WinSerialPort() override { CloseHandle(handle_); }

    bool configure(int baud, OpenFailure& failure);

    int read(std::uint8_t* buffer, int count, const Deadline& deadline) override;
    int write(const std::uint8_t* bytes, int count, const Deadline& deadline) override;
    bool purge() override {
        return PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) !=
               FALSE;
    }
    bool setBaud(int baud) override;
    int pendingInput() override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) {
            return -1;
        }
        return static_cast<int>(status.cbInQue);
    }

    Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) override;
    int receiveAvailable(std::uint8_t* buffer, int most) override {
        if (most <= 0) {
            return most < 0 ? -1 : 0;
        }
        return transferOnce(false, buffer, static_cast<DWORD>(most), Deadline(0));
    }
    int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        return write(bytes, count, deadline);
    }
    void wake() override { SetEvent(wakeEvent_.get()); }

private:
    enum class InputWait { arrived, woken, timedOut, failed };

    int transferOnce(bool writing, std::uint8_t* data, DWORD count, const Deadline& deadline);
    int finishTransfer(OVERLAPPED& overlapped, const Deadline& deadline);
    InputWait waitForInput(const Deadline& deadline, bool wakeable);
    int currentBaud();

    HANDLE handle_;
    EventHandle transferDone_;  // manual reset, one transfer at a time
    EventHandle commEvent_;     // manual reset, for WaitCommEvent
    EventHandle wakeEvent_;     // auto reset: a wake before the wait ends the next wait
};

bool WinSerialPort::configure(int baud, OpenFailure& failure) {
    auto fail = [&failure](OpenCause cause, DWORD code) {
        return failure.record(cause, static_cast<int>(code));
    };
    if (!transferDone_.valid() || !commEvent_.valid() || !wakeEvent_.valid()) {
        return fail(OpenCause::Other, GetLastError());
    }
    if (baud <= 0) {
        failure.value = baud;
        return fail(OpenCause::RateNotSupported, 0);
    }
    // A device that is no serial port fails the first of the comm calls.
    if (!SetupComm(handle_, kSerialDriverQueueBytes, kSerialDriverQueueBytes)) {
        return fail(OpenCause::NotSerialDevice, GetLastError());
    }
    COMMTIMEOUTS timeouts = serialLinkTimeouts();
    if (!SetCommTimeouts(handle_, &timeouts)) {
        return fail(OpenCause::NotSerialDevice, GetLastError());
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return fail(OpenCause::NotSerialDevice, GetLastError());
    }
    applySerialLinkSettings(dcb, static_cast<DWORD>(baud));
    failure.value = baud;
    if (!SetCommState(handle_, &dcb)) {
        return fail(OpenCause::RateNotSupported, GetLastError());
    }
    // Some drivers take a rate they cannot run and quietly use another one.
    if (currentBaud() != baud) {
        return fail(OpenCause::RateNotSupported, 0);
    }
    failure.value = 0;
    if (!SetCommMask(handle_, EV_RXCHAR)) {
        return fail(OpenCause::Other, GetLastError());
    }
    return true;
}

int WinSerialPort::currentBaud() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return -1;
    }
    return static_cast<int>(dcb.BaudRate);
}

bool WinSerialPort::setBaud(int baud) {
    if (baud <= 0) {
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb)) {
        return false;
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    if (!SetCommState(handle_, &dcb)) {
        return false;
    }
    return currentBaud() == baud;
}

// Issues one overlapped read or write of `count` bytes and returns how many moved: a read
// completes at once with what the driver holds (the port's read time-outs say so); a write runs
// until it is done or the deadline passes. -1 when the device fails.
int WinSerialPort::transferOnce(bool writing, std::uint8_t* data, DWORD count,
                                const Deadline& deadline) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = transferDone_.get();
    ResetEvent(overlapped.hEvent);
    const BOOL completed = writing ? WriteFile(handle_, data, count, nullptr, &overlapped)
                                   : ReadFile(handle_, data, count, nullptr, &overlapped);
    if (completed) {
        DWORD moved = 0;
        if (!GetOverlappedResult(handle_, &overlapped, &moved, FALSE)) {
            return noteLoss(LossCause::Failed, static_cast<int>(GetLastError()));
        }
        return static_cast<int>(moved);
    }
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) {
        return noteLoss(LossCause::Failed, static_cast<int>(error));
    }
    return finishTransfer(overlapped, deadline);
}

// Waits for an overlapped transfer until the deadline, cancels it when the deadline passes, and
// collects its result in every case, so that the record is never left to a transfer still
// running. Bytes moved before a cancellation count.
int WinSerialPort::finishTransfer(OVERLAPPED& overlapped, const Deadline& deadline) {
    const HANDLE event = overlapped.hEvent;
    const int waited = waitForAny(&event, 1, deadline);
    if (waited != 0) {
        CancelIo(handle_);
    }
    DWORD moved = 0;
    if (!GetOverlappedResult(handle_, &overlapped, &moved, TRUE)) {
        const DWORD error = GetLastError();
        if (error != ERROR_OPERATION_ABORTED) {
            return noteLoss(LossCause::Failed, static_cast<int>(error));
        }
        moved = static_cast<DWORD>(overlapped.InternalHigh);
    }
    if (waited == kWaitFailed) {
        return noteLoss(LossCause::Failed, static_cast<int>(GetLastError()));
    }
    return static_cast<int>(moved);
}

int WinSerialPort::read(std::uint8_t* buffer, int count, const Deadline& deadline) {
    if (count < 0) {
        return -1;
    }
    int done = 0;
    for (;;) {
        if (done == count) {
            return done;
        }
        // The first look at the driver always happens, whatever the budget.
        const int moved =
            transferOnce(false, buffer + done, static_cast<DWORD>(count - done), deadline);
        if (moved < 0) {
            return -1;
        }
        done += moved;
        if (done == count) {
            return done;
        }
        switch (waitForInput(deadline, false)) {
            case InputWait::arrived:
            case InputWait::woken:
                break;
            case InputWait::timedOut:
                return done;
            case InputWait::failed:
                return noteLoss(LossCause::Failed, 0);
        }
    }
}

int WinSerialPort::write(const std::uint8_t* bytes, int count, const Deadline& deadline) {
    if (count < 0) {
        return -1;
    }
    int done = 0;
    while (done < count) {
        // WriteFile does not change the bytes; the shared transfer routine takes them unqualified.
        auto* data = const_cast<std::uint8_t*>(bytes + done);
        const int moved = transferOnce(true, data, static_cast<DWORD>(count - done), deadline);
        if (moved < 0) {
            return -1;
        }
        done += moved;
        if (moved == 0 || waitBudgetMs(deadline) == 0) {
            break;
        }
    }
    return done;
}

// Sleeps until the driver reports received bytes (EV_RXCHAR), the wake event is set (when
// `wakeable`), or the deadline passes. A wait that ends for another reason also counts as
// "arrived": the caller then looks at the driver again and finds out.
WinSerialPort::InputWait WinSerialPort::waitForInput(const Deadline& deadline, bool wakeable) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = commEvent_.get();
    ResetEvent(overlapped.hEvent);
    DWORD events = 0;
    if (WaitCommEvent(handle_, &events, &overlapped)) {
        return InputWait::arrived;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        return InputWait::failed;
    }
    const HANDLE handles[2] = {commEvent_.get(), wakeEvent_.get()};
    const int waited = waitForAny(handles, wakeable ? 2 : 1, deadline);
    if (waited != 0) {
        CancelIo(handle_);
    }
    DWORD ignored = 0;
    GetOverlappedResult(handle_, &overlapped, &ignored, TRUE);
    switch (waited) {
        case 0:
            return InputWait::arrived;
        case 1:
            return InputWait::woken;
        case kWaitTimedOut:
            return InputWait::timedOut;
        default:
            return InputWait::failed;
    }
}

PumpLink::Wait WinSerialPort::waitForInputOrWake(bool watchInput, const Deadline& deadline) {
    if (!watchInput) {
        const HANDLE wakeEvent = wakeEvent_.get();
        switch (waitForAny(&wakeEvent, 1, deadline)) {
            case 0:
                return Wait::woken;
            case kWaitTimedOut:
                return Wait::timedOut;
            default:
                return Wait::inputGone;
        }
    }
    switch (waitForInput(deadline, true)) {
        case InputWait::arrived:
            return Wait::inputReady;
        case InputWait::woken:
            return Wait::woken;
        case InputWait::timedOut:
            return Wait::timedOut;
        case InputWait::failed:
            break;
    }
    return Wait::inputGone;
}

}  // namespace

std::string serialDevicePath(const std::string& name) {
    int number = 0;
    if (parseComName(name, number)) {
        return "\\\\.\\" + name;
    }
    return name;
}

namespace {

// The cause a CreateFileA error stands for. A COM port that another program holds answers with
// "access denied": on Windows that means busy, not a missing right.
OpenCause createErrorCause(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return OpenCause::NoSuchDevice;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return OpenCause::Busy;
        default:
            return OpenCause::Other;
    }
}

}  // namespace

std::unique_ptr<SerialPort> openSerialPort(const std::string& name, int baud,
                                           OpenFailure& failure) {
    const std::string path = serialDevicePath(name);
    failure = OpenFailure{};
    failure.port = name;
    if (path != name) {
        failure.devicePath = path;
    }
    if (path.empty()) {
        failure.cause = OpenCause::NoSuchDevice;
        return nullptr;
    }
    if (baud <= 0) {
        failure.cause = OpenCause::RateNotSupported;
        failure.value = baud;
        return nullptr;
    }
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        failure.cause = createErrorCause(error);
        failure.systemCode = static_cast<int>(error);
        return nullptr;
    }
    auto port = std::make_unique<WinSerialPort>(handle);
    if (!port->configure(baud, failure)) {
        return nullptr;
    }
    return port;
}

}  // namespace korvane
