// Round trips of one adapter command against an echo peer, through the channels and through
// plain descriptors doing the same reads (the difference is the channel's own cost), and the
// processor time a channel spends while a read waits on a silent line.
//
// Counters: median_us / p90_us per round trip; cpu_percent of one core during the silent wait.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "channel/serial/serial_channel.h"
#include "channel/tcp/tcp_channel.h"

namespace korvane {
namespace {

constexpr int kCommandSize = 139;
constexpr int kReplySize = 145;

using Clock = std::chrono::steady_clock;

// Answers every complete command of kCommandSize bytes with kReplySize bytes.
class EchoPeer {
public:
    explicit EchoPeer(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~EchoPeer() {
        stop_ = true;
        thread_.join();
    }

private:
    void run() {
        std::vector<std::uint8_t> reply(kReplySize, 'R');
        reply.back() = '>';
        std::uint8_t block[4096];
        int pending = 0;
        while (!stop_) {
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 50) <= 0) {
                continue;
            }
            const ssize_t got = ::read(fd_, block, sizeof block);
            if (got <= 0) {
                continue;
            }
            pending += static_cast<int>(got);
            while (pending >= kCommandSize) {
                pending -= kCommandSize;
                std::size_t sent = 0;
                while (sent < reply.size()) {
                    const ssize_t n = ::write(fd_, reply.data() + sent, reply.size() - sent);
                    if (n > 0) {
                        sent += static_cast<std::size_t>(n);
                    }
                }
            }
        }
    }

    int fd_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct PtyPair {
    PtyPair() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty");
        }
        slaveName = name;
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
    }
    ~PtyPair() {
        ::close(master);
        ::close(slave);
    }
    int master = -1;
    int slave = -1;
    std::string slaveName;
};

struct LoopbackPair {
    LoopbackPair() {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(listener, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(listener, 4);
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    int acceptPeer() {
        const int fd = ::accept(listener, nullptr, nullptr);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return fd;
    }
    ~LoopbackPair() { ::close(listener); }
    int listener = -1;
    int port = 0;
};

void reportSamples(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty()) {
        return;
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p90_us"] = samples[samples.size() * 9 / 10];
}

// One exchange as the engine does it: purge, write the command, read the reply byte by byte.
template <typename Exchange>
void runRoundTrips(benchmark::State& state, Exchange&& exchange) {
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!exchange()) {
            state.SkipWithError("exchange failed");
            break;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e6);
    }
    reportSamples(state, samples);
}

bool channelExchange(Channel& channel) {
    static const std::vector<std::uint8_t> command(kCommandSize, 'C');
    channel.purge();
    if (!channel.write(command.data(), kCommandSize, 1000)) {
        return false;
    }
    std::uint8_t byte = 0;
    for (int i = 0; i < kReplySize; ++i) {
        if (channel.read(&byte, 1, 1000) != ReadResult::Read) {
            return false;
        }
    }
    return byte == '>';
}

// The same steps on a plain non-blocking descriptor: drop pending input of a terminal (as the
// channel's purge does), write, then read() (one byte per call, or all that is there) and poll()
// when empty.
bool rawExchange(int fd, bool terminal, bool bytewise) {
    static const std::vector<std::uint8_t> command(kCommandSize, 'C');
    if (terminal) {
        ::tcflush(fd, TCIOFLUSH);
    }
    if (::write(fd, command.data(), command.size()) != kCommandSize) {
        return false;
    }
    std::uint8_t reply[kReplySize] = {};
    for (int i = 0; i < kReplySize;) {
        const ssize_t n = ::read(fd, reply + i, bytewise ? 1 : static_cast<size_t>(kReplySize - i));
        if (n > 0) {
            i += static_cast<int>(n);
            continue;
        }
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, 1000) <= 0) {
            return false;
        }
    }
    return reply[kReplySize - 1] == '>';
}

ChannelConfig serialConfig(const std::string& name, const std::string& mode) {
    ChannelConfig config;
    config.set("mode", mode);
    config.set("name", name);
    config.set("baud", "115200");
    return config;
}

ChannelConfig tcpConfig(int port) {
    ChannelConfig config;
    config.set("mode", "client");
    config.set("remote_ip", "127.0.0.1");
    config.set("remote_port", std::to_string(port));
    return config;
}

void BM_PtyRoundTripChannel(benchmark::State& state) {
    PtyPair pty;
    bool isOpen = false;
    SerialChannel channel(serialConfig(pty.slaveName, "direct"), isOpen);
    if (!isOpen) {
        state.SkipWithError("open failed");
        return;
    }
    EchoPeer peer(pty.master);
    runRoundTrips(state, [&] { return channelExchange(channel); });
}

// range(0): 1 reads the reply one byte per read(), 0 reads whatever is there per read().
void BM_PtyRoundTripRaw(benchmark::State& state) {
    PtyPair pty;
    ::fcntl(pty.slave, F_SETFL, ::fcntl(pty.slave, F_GETFL) | O_NONBLOCK);
    EchoPeer peer(pty.master);
    runRoundTrips(state, [&] { return rawExchange(pty.slave, true, state.range(0) == 1); });
}

void BM_TcpRoundTripChannel(benchmark::State& state) {
    LoopbackPair loopback;
    bool isOpen = false;
    TcpChannel channel(tcpConfig(loopback.port), isOpen);
    const int adapter = loopback.acceptPeer();
    if (!isOpen || adapter < 0) {
        state.SkipWithError("connect failed");
        return;
    }
    {
        EchoPeer peer(adapter);
        runRoundTrips(state, [&] { return channelExchange(channel); });
    }
    ::close(adapter);
}

void BM_TcpRoundTripRaw(benchmark::State& state) {
    LoopbackPair loopback;
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(loopback.port));
    ::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(client, F_SETFL, ::fcntl(client, F_GETFL) | O_NONBLOCK);
    const int adapter = loopback.acceptPeer();
    {
        EchoPeer peer(adapter);
        runRoundTrips(state, [&] { return rawExchange(client, false, state.range(0) == 1); });
    }
    ::close(adapter);
    ::close(client);
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One read of one byte with a 2 s budget on a line that stays silent.
void silentRead(benchmark::State& state, Channel& channel) {
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpuStart = cpuSeconds();
        const auto start = Clock::now();
        std::uint8_t byte = 0;
        benchmark::DoNotOptimize(channel.read(&byte, 1, 2000));
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += cpuSeconds() - cpuStart;
    }
    state.counters["cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
}

void BM_SilentReadCpu(benchmark::State& state) {
    PtyPair pty;
    const int kind = static_cast<int>(state.range(0));
    std::unique_ptr<Channel> channel;
    std::unique_ptr<LoopbackPair> loopback;
    int adapter = -1;
    bool isOpen = false;
    if (kind == 2) {
        loopback = std::make_unique<LoopbackPair>();
        channel = std::make_unique<TcpChannel>(tcpConfig(loopback->port), isOpen);
        adapter = loopback->acceptPeer();
        state.SetLabel("tcp");
    } else {
        channel = std::make_unique<SerialChannel>(
            serialConfig(pty.slaveName, kind == 0 ? "direct" : "buffered"), isOpen);
        state.SetLabel(kind == 0 ? "serial direct" : "serial buffered");
    }
    if (!isOpen) {
        state.SkipWithError("open failed");
        return;
    }
    silentRead(state, *channel);
    channel.reset();
    if (adapter >= 0) {
        ::close(adapter);
    }
}

BENCHMARK(BM_PtyRoundTripChannel)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PtyRoundTripRaw)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TcpRoundTripChannel)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TcpRoundTripRaw)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SilentReadCpu)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane

BENCHMARK_MAIN();
