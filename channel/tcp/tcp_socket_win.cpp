// TCP sockets on Windows Sockets 2. Each socket signals its network events (WSAEventSelect) to an
// event object; the pump sleeps on that and on its wake event together.
#include "platform/windows_api.h"
// After windows.h, which the lean set keeps from including the old winsock.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "channel/tcp/tcp_socket.h"
#include "channel/tcp/tcp_target.h"
#include "platform/deadline_wait.h"

namespace korvane {
namespace {

bool socketAddress(const std::string& ip, int port, sockaddr_in& address) {
    unsigned char parts[4];
    if (port < 0 || port > 65535 || !parseDottedIpv4(ip, parts)) {
        return false;
    }
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    std::memcpy(&address.sin_addr, parts, 4);
    return true;
}

// select() on one socket until it is ready for `writing` (or reading), it reports an error, or the
// deadline passes. Returns 1 ready, 0 deadline passed, -1 error (also a failed connect).
int selectUntil(SOCKET socket, bool writing, const Deadline& deadline) {
    for (;;) {
        const unsigned long budget = waitBudgetMs(deadline);
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        timeval limit{};
        limit.tv_sec = static_cast<long>(budget / 1000);
        limit.tv_usec = static_cast<long>((budget % 1000) * 1000);
        const int result =
            ::select(0, writing ? nullptr : &ready, writing ? &ready : nullptr, &failed, &limit);
        if (result == SOCKET_ERROR) {
            return -1;
        }
        if (FD_ISSET(socket, &failed)) {
            return -1;
        }
        if (result > 0) {
            return 1;
        }
        if (budget == 0 || waitBudgetMs(deadline) == 0) {
            return 0;
        }
    }
}

// The socket's network events and a wake event, both waitable at once.
class EventPair {
public:
    EventPair() : network_(WSACreateEvent()), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~EventPair() {
        if (network_ != WSA_INVALID_EVENT) {
            WSACloseEvent(network_);
        }
        if (wake_ != nullptr) {
            CloseHandle(wake_);
        }
    }
    EventPair(const EventPair&) = delete;
    EventPair& operator=(const EventPair&) = delete;

    bool valid() const { return network_ != WSA_INVALID_EVENT && wake_ != nullptr; }
    HANDLE network() const { return network_; }
    HANDLE wake() const { return wake_; }

    enum class Woke { network, wake, timedOut, failed };

    // Sleeps until the network event (only when `watchNetwork`) or the wake event is set, or the
    // deadline passes. The wake event resets itself when it ends a wait.
    Woke wait(bool watchNetwork, const Deadline& deadline) {
        const HANDLE handles[2] = {wake_, network_};
        for (;;) {
            const DWORD budget = waitBudgetMs(deadline);
            const DWORD result =
                WaitForMultipleObjects(watchNetwork ? 2 : 1, handles, FALSE, budget);
            if (result == WAIT_OBJECT_0) {
                return Woke::wake;
            }
            if (result == WAIT_OBJECT_0 + 1) {
                return Woke::network;
            }
            if (result != WAIT_TIMEOUT) {
                return Woke::failed;
            }
            if (budget == 0 || waitBudgetMs(deadline) == 0) {
                return Woke::timedOut;
            }
        }
    }

private:
    HANDLE network_;
    HANDLE wake_;
};

// Bytes waiting to be received on `socket`; 0 when none or unknown.
unsigned long pendingInput(SOCKET socket) {
    u_long waiting = 0;
    if (::ioctlsocket(socket, FIONREAD, &waiting) != 0) {
        return 0;
    }
    return waiting;
}

class WinTcpSocket final : public TcpSocket {
public:
    explicit WinTcpSocket(SOCKET socket) : socket_(socket) {
        // Also makes the socket non-blocking.
        selected_ = events_.valid() &&
                    ::WSAEventSelect(socket_, events_.network(), FD_READ | FD_CLOSE) == 0;
    }
    ~WinTcpSocket() override { ::closesocket(socket_); }

    bool usable() const { return selected_; }

    Wait waitForInputOrWake(bool watchInput, const Deadline& deadline) override {
        // Input already waiting needs no sleep (its FD_READ may have been taken already).
        if (watchInput && pendingInput(socket_) > 0) {
            return Wait::inputReady;
        }
        for (;;) {
            switch (events_.wait(watchInput, deadline)) {
                case EventPair::Woke::wake:
                    return Wait::woken;
                case EventPair::Woke::timedOut:
                    return Wait::timedOut;
                case EventPair::Woke::failed:
                    return Wait::inputGone;
                case EventPair::Woke::network:
                    break;
            }
            WSANETWORKEVENTS happened{};
            if (::WSAEnumNetworkEvents(socket_, events_.network(), &happened) != 0) {
                return Wait::inputGone;
            }
            // A closed or failed connection also reads as ready; the receive then tells.
            if (happened.lNetworkEvents & (FD_READ | FD_CLOSE)) {
                return Wait::inputReady;
            }
        }
    }

    int receiveWithin(std::uint8_t* buffer, int most, const Deadline& deadline) override {
        for (;;) {
            const int taken = receiveAvailable(buffer, most);
            if (taken != 0) {
                return taken;
            }
            // A closed connection also reads as ready; the receive then tells.
            const int ready = selectUntil(socket_, false, deadline);
            if (ready < 0) {
                return noteLoss(LossCause::Failed, ::WSAGetLastError());
            }
            if (ready == 0) {
                return receiveAvailable(buffer, most);  // one last look
            }
        }
    }

    int receiveAvailable(std::uint8_t* buffer, int most) override {
        if (most <= 0) {
            return most < 0 ? -1 : 0;
        }
        for (;;) {
            const int got = ::recv(socket_, reinterpret_cast<char*>(buffer), most, 0);
            if (got > 0) {
                return got;
            }
            if (got == 0) {
                return noteLoss(LossCause::ClosedByPeer, 0);
            }
            const int error = ::WSAGetLastError();
            if (error == WSAEINTR) {
                continue;
            }
            return error == WSAEWOULDBLOCK ? 0 : noteLoss(LossCause::Failed, error);
        }
    }

    int sendWithin(const std::uint8_t* bytes, int count, const Deadline& deadline) override {
        if (count < 0) {
            return -1;
        }
        int sent = 0;
        while (sent < count) {
            const int moved =
                ::send(socket_, reinterpret_cast<const char*>(bytes + sent), count - sent, 0);
            if (moved > 0) {
                sent += moved;
                continue;
            }
            const int error = moved == SOCKET_ERROR ? ::WSAGetLastError() : 0;
            if (error != WSAEWOULDBLOCK && error != WSAEINTR) {
                return noteLoss(LossCause::Failed, error);
            }
            const int ready = selectUntil(socket_, true, deadline);
            if (ready < 0) {
                return noteLoss(LossCause::Failed, ::WSAGetLastError());
            }
            if (ready == 0) {
                break;
            }
        }
        return sent;
    }

    void wake() override { SetEvent(events_.wake()); }

    enum class Connect { ended, stopped, timedOut, failed };

    // Waits for the connect in progress to end, the event `stop` (when not null) to be set, or the
    // deadline to pass. Ended: `error` holds the connect's own error number, 0 when it succeeded.
    Connect waitForConnect(HANDLE stop, const Deadline& deadline, int& error) {
        if (!select(FD_CONNECT | FD_READ | FD_CLOSE)) {
            error = ::WSAGetLastError();
            return Connect::failed;
        }
        const HANDLE handles[2] = {events_.network(), stop};
        for (;;) {
            const DWORD budget = waitBudgetMs(deadline);
            const DWORD result =
                WaitForMultipleObjects(stop != nullptr ? 2 : 1, handles, FALSE, budget);
            if (result == WAIT_OBJECT_0 + 1) {
                return Connect::stopped;
            }
            if (result == WAIT_TIMEOUT) {
                if (budget == 0 || waitBudgetMs(deadline) == 0) {
                    return Connect::timedOut;
                }
                continue;
            }
            WSANETWORKEVENTS happened{};
            if (result != WAIT_OBJECT_0 ||
                ::WSAEnumNetworkEvents(socket_, events_.network(), &happened) != 0) {
                error = static_cast<int>(GetLastError());
                return Connect::failed;
            }
            if (happened.lNetworkEvents & FD_CONNECT) {
                error = happened.iErrorCode[FD_CONNECT_BIT];
                // Back to the events a connected socket waits for.
                return select(FD_READ | FD_CLOSE) ? Connect::ended : Connect::failed;
            }
        }
    }

private:
    bool select(long events) { return ::WSAEventSelect(socket_, events_.network(), events) == 0; }

    SOCKET socket_;
    EventPair events_;
    bool selected_ = false;
};

class WinTcpListener final : public TcpListener {
public:
    explicit WinTcpListener(SOCKET socket) : socket_(socket) {
        selected_ = events_.valid() && ::WSAEventSelect(socket_, events_.network(), FD_ACCEPT) == 0;
    }
    ~WinTcpListener() override { ::closesocket(socket_); }

    bool usable() const { return selected_; }

    bool waitForConnection(const Deadline& deadline) override {
        if (connectionWaiting()) {
            return true;
        }
        for (;;) {
            switch (events_.wait(true, deadline)) {
                case EventPair::Woke::network:
                    break;
                case EventPair::Woke::wake:
                    return connectionWaiting();
                case EventPair::Woke::timedOut:
                case EventPair::Woke::failed:
                    return false;
            }
            WSANETWORKEVENTS happened{};
            if (::WSAEnumNetworkEvents(socket_, events_.network(), &happened) != 0) {
                return false;
            }
            if (happened.lNetworkEvents & FD_ACCEPT) {
                return true;
            }
        }
    }

    std::unique_ptr<TcpSocket> acceptConnection(std::string& peerName) override {
        sockaddr_in address{};
        int size = sizeof address;
        const SOCKET accepted = ::accept(socket_, reinterpret_cast<sockaddr*>(&address), &size);
        if (accepted == INVALID_SOCKET) {
            return nullptr;
        }
        // The accepted socket starts with the listener's event selection; WinTcpSocket replaces
        // it with its own.
        auto socket = std::make_unique<WinTcpSocket>(accepted);
        if (!socket->usable()) {
            return nullptr;
        }
        const BOOL on = TRUE;
        ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
        const unsigned char* ip = reinterpret_cast<const unsigned char*>(&address.sin_addr);
        peerName = std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." +
                   std::to_string(ip[2]) + "." + std::to_string(ip[3]) + ":" +
                   std::to_string(ntohs(address.sin_port));
        return socket;
    }

    void wake() override { SetEvent(events_.wake()); }

private:
    bool connectionWaiting() { return selectUntil(socket_, false, Deadline(0)) > 0; }

    SOCKET socket_;
    EventPair events_;
    bool selected_ = false;
};

SOCKET newStreamSocket() {
    return ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
}

}  // namespace

bool startSocketLayer() {
    WSADATA granted{};
    if (::WSAStartup(MAKEWORD(2, 2), &granted) != 0) {
        return false;
    }
    if (granted.wVersion != MAKEWORD(2, 2)) {
        ::WSACleanup();
        return false;
    }
    return true;
}

void stopSocketLayer() {
    ::WSACleanup();
}

namespace {

// The cause a Winsock error number stands for.
OpenCause connectErrorCause(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return OpenCause::Refused;
        case WSAETIMEDOUT:
            return OpenCause::TimedOut;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETDOWN:
        case WSAEHOSTDOWN:
            return OpenCause::Unreachable;
        case WSAEACCES:
            return OpenCause::PermissionDenied;
        default:
            return OpenCause::Other;
    }
}

}  // namespace

std::unique_ptr<TcpSocket> connectTcp(const std::string& ip, int port, int timeoutMs,
                                      OpenFailure& failure, const OpenStop& stop) {
    unsigned char parts[4];
    sockaddr_in address{};
    if (!checkTcpTarget(ip, port, parts, failure) || !socketAddress(ip, port, address)) {
        return nullptr;
    }
    const SOCKET raw = newStreamSocket();
    if (raw == INVALID_SOCKET) {
        failure.record(OpenCause::Other, ::WSAGetLastError());
        return nullptr;
    }
    auto socket = std::make_unique<WinTcpSocket>(raw);  // owns and closes `raw` from here on
    if (!socket->usable()) {
        failure.record(OpenCause::Other, static_cast<int>(GetLastError()));
        return nullptr;
    }
    const Deadline deadline(timeoutMs);
    if (::connect(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            failure.record(connectErrorCause(error), error);
            return nullptr;
        }
        // The stop's event, when there is one, ends the wait the moment it is set; the question
        // itself is looked at between pieces of the wait.
        HANDLE stopEvent = nullptr;
        if (stop.signal() != nullptr && stop.signal()->waitable() != -1) {
            stopEvent = reinterpret_cast<HANDLE>(stop.signal()->waitable());
        }
        int connectError = 0;
        for (;;) {
            const WinTcpSocket::Connect waited = socket->waitForConnect(
                stopEvent, Deadline(std::min(kOpenStopLookMs, deadline.remainingMs())),
                connectError);
            if (stop()) {
                failure.record(OpenCause::Stopped, 0);
                return nullptr;
            }
            if (waited == WinTcpSocket::Connect::ended) {
                break;
            }
            if (waited == WinTcpSocket::Connect::failed) {
                failure.record(OpenCause::Other, connectError);
                return nullptr;
            }
            if (waited == WinTcpSocket::Connect::stopped) {
                stopEvent = nullptr;  // set without a stop: no use watching it (and no spin)
            }
            if (deadline.expired()) {
                failure.value = timeoutMs;
                failure.record(OpenCause::TimedOut, 0);
                return nullptr;
            }
        }
        if (connectError != 0) {
            failure.record(connectErrorCause(connectError), connectError);
            return nullptr;
        }
    }
    const BOOL on = TRUE;
    ::setsockopt(raw, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return socket;
}

std::unique_ptr<TcpListener> listenTcp(const std::string& ip, int port, int backlog) {
    sockaddr_in address{};
    if (!socketAddress(ip, port, address)) {
        return nullptr;
    }
    const SOCKET raw = newStreamSocket();
    if (raw == INVALID_SOCKET) {
        return nullptr;
    }
    auto listener = std::make_unique<WinTcpListener>(raw);
    // No other socket may take over this port while we listen on it.
    const BOOL on = TRUE;
    ::setsockopt(raw, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                 sizeof on);
    if (!listener->usable() ||
        ::bind(raw, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(raw, backlog) != 0) {
        return nullptr;
    }
    return listener;
}

}  // namespace korvane
