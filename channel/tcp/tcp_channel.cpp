#include "channel/tcp/tcp_channel.h"

#include <mutex>
#include <utility>
#include <vector>

namespace korvane {

namespace {
constexpr int kListenBacklog = 5;
constexpr int kAcceptIdleWaitMs = 1000;
}  // namespace

TcpChannel::TcpChannel(const TcpPortRequest& request, bool& isOpen, const OpenStop& stop)
    : mode_("client"), remoteIp_(request.address), remotePort_(request.port) {
    isOpen = clientOpen(stop);
}

TcpChannel::TcpChannel(ChannelConfig config, bool& isOpen) {
    mode_ = config.text("mode");
    if (server()) {
        localIp_ = config.text("local_ip");
        localPort_ = config.number("local_port");
        isOpen = serverOpen();
    } else {
        remoteIp_ = config.text("remote_ip");
        remotePort_ = config.number("remote_port");
        isOpen = clientOpen();
    }
}

TcpChannel::TcpChannel(TcpChannel* ownerServer, std::unique_ptr<TcpSocket> socket)
    : ownerServer_(ownerServer), socket_(std::move(socket)) {
    open_ = true;
    rxQueue_.clear();
    pump_ = std::make_unique<QueuePump>(*socket_, rxQueue_, txQueue_, queueLock_);
}

TcpChannel::~TcpChannel() {
    if (!open_) {
        return;
    }
    if (peer()) {
        stopConnection();
    } else if (server()) {
        serverClose();
    } else {
        clientClose();
    }
}

void TcpChannel::close() {
    if (!open_) {
        return;
    }
    if (peer()) {
        // Ends this peer for good: out of the server's maps, connection closed, object destroyed.
        std::unique_ptr<TcpChannel> self = ownerServer_->releaseActivePeer(this);
        if (!self) {
            stopConnection();  // not handed out by its server; just end the connection
        }
        return;  // `self` destroys this object on the way out; touch no member after it
    }
    if (server()) {
        serverClose();
    } else {
        clientClose();
    }
}

ReadResult TcpChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (!receiver_ || count <= 0) {
        return readFromQueue(rxQueue_, queueLock_, pump_.get(), buffer, count, timeoutMs);
    }
    const auto wanted = static_cast<std::size_t>(count);
    if (receiver_->takeHeld(buffer, wanted)) {
        return ReadResult::Read;  // bytes already here: no clock, no system call
    }
    const ReadResult result = receiver_->read(buffer, wanted, Deadline(timeoutMs));
    noteInputEnd();
    return result;
}

std::span<const std::uint8_t> TcpChannel::received() {
    return receiver_ ? receiver_->held() : std::span<const std::uint8_t>{};
}

void TcpChannel::consumeReceived(std::size_t count) {
    if (receiver_) {
        receiver_->consume(count);
    }
}

bool TcpChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    return writeToQueue(txQueue_, queueLock_, pump_.get(), bytes, count, timeoutMs);
}

void TcpChannel::purge() {
    if (receiver_) {
        receiver_->purge();
        noteInputEnd();
    }
    rxQueue_.clear();
}

int TcpChannel::available() {
    if (receiver_) {
        const std::size_t held = receiver_->available();
        noteInputEnd();
        return static_cast<int>(held);
    }
    return static_cast<int>(rxQueue_.size());
}

void TcpChannel::noteInputEnd() {
    if (receiver_->ended() && !pump_->linkLost()) {
        pump_->markLinkLost();
    }
}

bool TcpChannel::isOpen() {
    return open_;
}

bool TcpChannel::reopen() {
    if (peer()) {
        return open_;
    }
    if (server()) {
        if (open_) {
            serverClose();
        }
        return serverOpen();
    }
    if (open_) {
        clientClose();
    }
    return clientOpen();
}

Channel* TcpChannel::acceptPeer(const ChannelConfig& config, int timeoutMs) {
    if (!server() || peer() || !open_) {
        return nullptr;
    }
    const std::string& ip = config.text("remote_ip");
    const std::string wanted =
        ip.empty() ? "" : ip + ":" + std::to_string(config.number("remote_port"));
    const Deadline deadline(timeoutMs);
    std::unique_lock<std::mutex> hold(peersLock_.native());
    TcpChannel* found = nullptr;
    // The first look always happens, whatever the budget.
    auto take = [&] {
        auto it = wanted.empty() ? pendingPeers_.begin() : pendingPeers_.find(wanted);
        if (it == pendingPeers_.end()) {
            return false;
        }
        found = it->second.get();
        activePeers_[it->first] = std::move(it->second);
        pendingPeers_.erase(it);
        return true;
    };
    peerArrived_.wait_until(hold, deadline.timePoint(), take);
    return found;
}

int TcpChannel::setBaudRate(int) {
    return 1;
}

LinkLoss TcpChannel::linkLoss() const {
    return socket_ ? socket_->loss() : LinkLoss{};
}

std::vector<std::string> TcpChannel::pendingPeerNames() {
    std::lock_guard<CriticalLock> hold(peersLock_);
    std::vector<std::string> names;
    for (const auto& entry : pendingPeers_) {
        names.push_back(entry.first);
    }
    return names;
}

bool TcpChannel::clientOpen(const OpenStop& stop) {
    open_ = false;
    openFailure_ = OpenFailure{};
    if (!startSocketLayer()) {
        openFailure_.cause = OpenCause::Other;
        openFailure_.port = remoteIp_ + ":" + std::to_string(remotePort_);
        return false;
    }
    socket_ = connectTcp(remoteIp_, remotePort_, kConnectTimeoutMs, openFailure_, stop);
    if (!socket_) {
        stopSocketLayer();
        return false;
    }
    socketLayerStarted_ = true;
    open_ = true;
    rxQueue_.clear();
    receiver_ = std::make_unique<DirectReceiver>(*socket_);
    pump_ = std::make_unique<QueuePump>(*socket_, rxQueue_, txQueue_, queueLock_,
                                        QueuePump::Role::sendOnly);
    return true;
}

void TcpChannel::clientClose() {
    stopConnection();
    if (socketLayerStarted_) {
        socketLayerStarted_ = false;
        stopSocketLayer();
    }
}

void TcpChannel::stopConnection() {
    pump_.reset();  // stops and joins the pump before its socket closes
    receiver_.reset();
    socket_.reset();
    open_ = false;
}

bool TcpChannel::serverOpen() {
    open_ = false;
    if (!startSocketLayer()) {
        return false;
    }
    listener_ = listenTcp(localIp_, localPort_, kListenBacklog);
    if (!listener_) {
        stopSocketLayer();
        return false;
    }
    socketLayerStarted_ = true;
    open_ = true;
    {
        std::lock_guard<CriticalLock> hold(acceptStopLock_);
        acceptStop_ = false;
    }
    acceptThread_ = std::make_unique<WorkerThread>([this] { acceptLoop(); });
    return true;
}

void TcpChannel::serverClose() {
    {
        std::lock_guard<CriticalLock> hold(acceptStopLock_);
        acceptStop_ = true;
    }
    listener_->wake();
    acceptThread_.reset();  // joins
    std::map<std::string, std::unique_ptr<TcpChannel>> ending;
    {
        std::lock_guard<CriticalLock> hold(peersLock_);
        for (auto& [name, active] : activePeers_) {
            pendingPeers_[name] = std::move(active);
        }
        activePeers_.clear();
        ending.swap(pendingPeers_);
    }
    // Each peer stops and joins its pump and closes its connection.
    ending.clear();
    listener_.reset();
    if (socketLayerStarted_) {
        socketLayerStarted_ = false;
        stopSocketLayer();
    }
    open_ = false;
}

bool TcpChannel::acceptStopRequested() {
    std::lock_guard<CriticalLock> hold(acceptStopLock_);
    return acceptStop_;
}

void TcpChannel::acceptLoop() {
    while (!acceptStopRequested()) {
        if (!listener_->waitForConnection(Deadline(kAcceptIdleWaitMs))) {
            continue;
        }
        std::string name;
        std::unique_ptr<TcpSocket> socket = listener_->acceptConnection(name);
        if (!socket) {
            continue;
        }
        std::unique_ptr<TcpChannel> replaced;
        {
            std::lock_guard<CriticalLock> hold(peersLock_);
            auto it = pendingPeers_.find(name);
            if (it == pendingPeers_.end() && pendingPeers_.size() >= kMaxPendingPeers) {
                continue;  // turned away: the socket closes as it goes out of scope
            }
            auto peerChannel = std::unique_ptr<TcpChannel>(new TcpChannel(this, std::move(socket)));
            if (it != pendingPeers_.end()) {
                replaced = std::move(it->second);
                it->second = std::move(peerChannel);
            } else {
                pendingPeers_.emplace(name, std::move(peerChannel));
            }
        }
        peerArrived_.notify_all();
        // A peer of the same name that was still waiting is overwritten; it ends here, outside
        // the lock.
        replaced.reset();
    }
}

std::unique_ptr<TcpChannel> TcpChannel::releaseActivePeer(TcpChannel* peerChannel) {
    std::lock_guard<CriticalLock> hold(peersLock_);
    for (auto it = activePeers_.begin(); it != activePeers_.end(); ++it) {
        if (it->second.get() == peerChannel) {
            std::unique_ptr<TcpChannel> released = std::move(it->second);
            activePeers_.erase(it);
            return released;
        }
    }
    return nullptr;
}

}  // namespace korvane
