#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/adapter/adapter_settings.h"
#include "sim/adapter/adapter_state.h"
#include "sim/adapter/emulated_adapter.h"
#include "sim/adapter/firmware_image.h"
#include "sim/adapter/pty_link.h"
#include "sim/adapter/tcp_listener.h"

namespace korvane::sim {

// How the emulated adapter is reached.
struct ServerOptions {
    enum class Link {
        Tcp,  // listens on tcpAddress:tcpPort, serves one connection at a time
        Pty,  // creates a pseudo-terminal; the host opens its slave path as a serial port
    };
    Link link = Link::Tcp;
    std::string tcpAddress = "127.0.0.1";
    int tcpPort = 35000;  // 0: any free port (see tcpPort() after open())
    // When not empty: the image (see firmware_image.h) is written here after every completed
    // update and when the server stops.
    std::string imageOut;
    ImageFormat imageFormat = ImageFormat::Lines;
    // When set: called on the serving thread with every command the adapter receives.
    std::function<void(const ReceivedCommand&)> commandObserver;
};

// One emulated adapter served over a real TCP socket or a real pty.
//
// In-process use, e.g. from a test or a benchmark:
//
//     korvane::sim::AdapterSettings settings;          // model, versions, echo, faults ...
//     settings.model = korvane::sim::kModelZnb5411;
//     korvane::sim::ServerOptions options;
//     options.link = korvane::sim::ServerOptions::Link::Pty;   // or Link::Tcp with tcpPort = 0
//     korvane::sim::AdapterServer adapter(settings, options);
//     std::string error;
//     if (!adapter.start(&error)) { ... }              // serves on a background thread
//     adapter.address();         // "/dev/pts/7" (pty) or "127.0.0.1:40123" (TCP)
//     adapter.hostDescriptor();  // "com|/dev/pts/7:115200" or "tcp|127.0.0.1:40123"
//     ... run the updater against it ...
//     adapter.waitUntil([](const AdapterStatus& s) { return s.update != UpdateStatus::Running; },
//                       10000);
//     adapter.image();        // what it received (compare with the update file)
//     adapter.commands();     // every command with the time its CR arrived
//     adapter.status();       // mode, echo, rates, byte counts, link time, fault counters
//     adapter.stop();         // also done by the destructor
//
// A link that drops (the drop fault, or the host closing its TCP connection) leaves the adapter's
// state as it was; over TCP the next connection is served by the same adapter. Closing the pty
// (drop fault) ends serving: run() returns.
//
// Every member is thread-safe; requestStop() may also be called from a signal handler.
class AdapterServer {
public:
    AdapterServer(AdapterSettings settings, ServerOptions options);
    ~AdapterServer();
    AdapterServer(const AdapterServer&) = delete;
    AdapterServer& operator=(const AdapterServer&) = delete;

    // Creates the listening socket or the pty. False with `error` set on failure.
    bool open(std::string* error = nullptr);
    // Serves until stop()/requestStop() or until the pty is closed. Call open() first.
    void run();
    // open() and run() on a background thread.
    bool start(std::string* error = nullptr);
    // Ends serving, joins the background thread, closes socket and pty, writes the image file.
    void stop();
    // Asks run() to return soon; async-signal-safe.
    void requestStop() noexcept;

    // "ADDR:PORT" for TCP, the slave path for a pty; valid after open().
    std::string address() const;
    int tcpPort() const;
    std::string ptyPath() const;
    // The updater's port descriptor for this adapter: "tcp|ADDR:PORT", or "com|PATH:baud" for a
    // pty.
    std::string hostDescriptor(int baud = 115200) const;

    AdapterStatus status() const;
    FirmwareImage image() const;
    std::vector<ReceivedCommand> commands() const;
    // Replaces the fault plan (fault counters start afresh).
    void setFaults(const FaultPlan& faults);
    // Waits until `condition` holds for the status (checked after every event) or the timeout
    // passes; gives whether it held.
    bool waitUntil(const std::function<bool(const AdapterStatus&)>& condition, int timeoutMs) const;
    // Nanoseconds on the clock the command times use (0 at construction).
    std::int64_t nowNs() const;

private:
    void serveTcp();
    void servePty();
    // Serves one open link until it closes or a stop is asked; false when serving must end.
    bool serveLink(int fd, bool isPty);
    void receiveBytes(const std::uint8_t* bytes, std::size_t count, bool isPty);
    bool writePending(int fd, bool isPty, std::string& pending);
    void afterEvent();
    void writeImageIfCompleted(bool always);

    const ServerOptions options_;
    std::int64_t originNs_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    EmulatedAdapter adapter_;
    bool linkOpen_ = false;
    int connections_ = 0;
    int imagesWrittenFor_ = 0;

    TcpListener listener_;
    PtyLink pty_;
    bool opened_ = false;
    int wakeFds_[2] = {-1, -1};
    std::atomic<bool> stopRequested_{false};
    std::thread thread_;
};

}  // namespace korvane::sim
