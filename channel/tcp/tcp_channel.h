#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "channel/byte_queue.h"
#include "channel/channel.h"
#include "channel/channel_config.h"
#include "channel/direct_receiver.h"
#include "channel/port_descriptor.h"
#include "channel/queue_pump.h"
#include "channel/tcp/tcp_socket.h"
#include "platform/critical_lock.h"
#include "platform/worker_thread.h"

namespace korvane {

// The channel over a TCP connection, in one of three roles:
// - client (any "mode" but "server"): connects to "remote_ip":"remote_port";
// - server ("mode" "server"): listens on "local_ip":"local_port" and accepts connections on a
//   thread of its own; acceptPeer hands them out;
// - accepted peer: made by a server for each connection it accepts, owned by that server.
// A peer carries data through a pump thread and two queues; read and write only touch the queues.
// A client receives on the caller's thread (DirectReceiver: the answer to a command reaches the
// caller without a hand-over between threads) and sends on it too when nothing is queued; its
// pump thread only sends what a write could not hand over at once.
//
// A connection closed or reset by the other side is lost for good: every later read that the
// bytes already received cannot serve, and every later write, fails at once (the channel stays
// open until closed). Addresses are dotted IPv4 texts; no host names are resolved.
class TcpChannel final : public Channel {
public:
    // Longest wait for one connection attempt of a client.
    static constexpr int kConnectTimeoutMs = 3000;
    // Accepted connections waiting to be handed out; further ones are turned away.
    static constexpr std::size_t kMaxPendingPeers = 64;

    // A client connected to the requested address and port; `isOpen` tells whether that worked.
    // A stop request seen through `stop` gives the connection attempt up.
    TcpChannel(const TcpPortRequest& request, bool& isOpen, const OpenStop& stop = {});
    // Reads "mode" and the addresses and ports of that mode (ports by the atoi rule), then
    // connects or listens.
    TcpChannel(ChannelConfig config, bool& isOpen);
    ~TcpChannel() override;

    void close() override;
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override;
    int available() override;
    bool isOpen() override;
    bool reopen() override;
    // Server only: the pending peer named "remote_ip:remote_port" (any pending peer, the first in
    // name order, when "remote_ip" is empty), waiting up to `timeoutMs` for it. The peer stays
    // owned by the server; its holder ends its use with close(), which also destroys it, so the
    // pointer must not be used after that.
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override;
    int setBaudRate(int baud) override;
    LinkLoss linkLoss() const override;
    std::span<const std::uint8_t> received() override;
    void consumeReceived(std::size_t count) override;

    // Why the last client open failed; cause None after a successful one (and for the other
    // roles, whose failures have no cause recorded).
    const OpenFailure& openFailure() const { return openFailure_; }

    // Server: the names of the accepted peers not yet handed out, in name order.
    std::vector<std::string> pendingPeerNames();

private:
    TcpChannel(TcpChannel* ownerServer, std::unique_ptr<TcpSocket> socket);

    bool server() const { return mode_ == "server"; }
    bool peer() const { return ownerServer_ != nullptr; }
    bool clientOpen(const OpenStop& stop = {});
    void clientClose();
    bool serverOpen();
    void serverClose();
    void stopConnection();
    // Client: tells the pump when the receiver found the connection's input ended.
    void noteInputEnd();
    void acceptLoop();
    bool acceptStopRequested();
    // Server side of a peer's close: takes the peer out of activePeers and gives it back.
    std::unique_ptr<TcpChannel> releaseActivePeer(TcpChannel* peer);

    TcpChannel* ownerServer_ = nullptr;
    std::map<std::string, std::unique_ptr<TcpChannel>> pendingPeers_;
    std::map<std::string, std::unique_ptr<TcpChannel>> activePeers_;
    CriticalLock peersLock_;
    std::condition_variable peerArrived_;  // with peersLock_
    std::string mode_;
    std::string localIp_;
    int localPort_ = 0;
    std::string remoteIp_;
    int remotePort_ = 0;
    bool open_ = false;
    OpenFailure openFailure_;
    bool socketLayerStarted_ = false;
    std::unique_ptr<TcpSocket> socket_;
    std::unique_ptr<TcpListener> listener_;
    std::unique_ptr<WorkerThread> acceptThread_;
    bool acceptStop_ = false;
    CriticalLock acceptStopLock_;
    ByteQueue rxQueue_;
    ByteQueue txQueue_;
    CriticalLock queueLock_;
    std::unique_ptr<DirectReceiver> receiver_;  // client, while open
    std::unique_ptr<QueuePump> pump_;           // last: stopped first, before the queues go
};

}  // namespace korvane
