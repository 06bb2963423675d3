#pragma once

#include <memory>
#include <string>

#include "channel/open_failure.h"
#include "channel/open_stop.h"
#include "channel/pump_link.h"
#include "channel/tcp/tcp_target.h"
#include "platform/tick.h"

namespace korvane {

// A connected TCP stream socket of the platform. A queue pump sends (and for an accepted peer also
// receives) through its PumpLink side; a client receives on the caller's thread with
// receiveAvailable() and receiveWithin(). Destroying it closes the connection.
class TcpSocket : public PumpLink {
public:
    // Waits until input is there or the deadline passes, then takes up to `most` bytes: the
    // count, 0 when the deadline passed first, -1 when the input has ended or the wait failed.
    // Never ended by wake(), so it can run beside the pump's wait on another thread.
    virtual int receiveWithin(std::uint8_t* buffer, int most, const Deadline& deadline) = 0;
};

// A listening TCP socket.
class TcpListener {
public:
    virtual ~TcpListener() = default;
    // Blocks until a connection waits to be accepted, wake() is called, or the deadline passes;
    // true in the first case.
    virtual bool waitForConnection(const Deadline& deadline) = 0;
    // Accepts one waiting connection without blocking; nullptr when there is none. `peerName` gets
    // the peer's dotted IPv4 address, ":" and its port in decimal.
    virtual std::unique_ptr<TcpSocket> acceptConnection(std::string& peerName) = 0;
    // Ends the current (or next) waitForConnection.
    virtual void wake() = 0;

protected:
    TcpListener() = default;
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;
};

// Every successful startSocketLayer is paired with exactly one stopSocketLayer: at once when the
// open that needed it fails, otherwise when the socket is closed. Platforms whose sockets need no
// set-up succeed and do nothing.
bool startSocketLayer();
void stopSocketLayer();

// Connects to `ip`:`port` within `timeoutMs`; nullptr when the address is not dotted IPv4, the
// port is outside 1..65535, the peer refuses or does not answer in time, with the cause in
// `failure` (its `port` is "ip:port"). While it waits, `stop` is looked at every
// kOpenStopLookMs; once it says stop, the attempt is given up (OpenCause::Stopped).
std::unique_ptr<TcpSocket> connectTcp(const std::string& ip, int port, int timeoutMs,
                                      OpenFailure& failure, const OpenStop& stop = {});
inline std::unique_ptr<TcpSocket> connectTcp(const std::string& ip, int port, int timeoutMs) {
    OpenFailure ignored;
    return connectTcp(ip, port, timeoutMs, ignored);
}

// Listens on `ip`:`port` (port 0: any free port) with the given backlog; nullptr on failure.
std::unique_ptr<TcpListener> listenTcp(const std::string& ip, int port, int backlog);

}  // namespace korvane
