#pragma once

// Test doubles for the adapter link.
//
// ScriptedChannel is a Channel whose far end follows a script:
//   - input: bytes "sent" by the far end wait in an input queue until read. queueInput() adds
//     bytes now; rules add bytes when a matching command is written: reply() for an exact
//     command, replyToPrefix() for commands that begin with a text, respond() for anything a
//     function decides. Rules are tried in the order they were added; the first match fires and
//     uses up one of its `times`. With setEcho(true) every written command comes back first, as
//     an adapter with its echo on does;
//   - purge() empties the input queue (as a real channel drops what was received);
//   - once the queue runs dry, an endless stream (streamForever()) serves further bytes,
//     otherwise the far end is silent;
//   - time: in the default instant mode a read that cannot be served fails at once, so silence
//     costs no real time; as it waited for nothing it counts as a dropped link (LinkLost).
//     setRealTime(true) makes such a read block (condition variable) until enough bytes arrive or
//     its timeout runs out. A stream with a byte interval is paced in real time, bounded by each
//     read's timeout;
//   - everything is recorded: writes, each read's timeout, purges, baud-rate changes.
// All operations may be called from any thread. A responder runs under the channel's lock and
// must not call back into the channel.
//
// ScriptedChannelFactory hands ScriptedChannels to createChannel and UpdateJob through its
// factory(), lets a test decide which constructions open and script each channel as it is built,
// and counts constructions and live channels.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/channel.h"
#include "channel/channel_config.h"
#include "channel/channel_factory.h"

namespace korvane::test {

class ScriptedChannel : public Channel {
public:
    static constexpr int kAlways = -1;
    // Decides the answer to one written command; nothing when the rule does not apply.
    using Responder = std::function<std::optional<std::string>(std::string_view written)>;

    ScriptedChannel() = default;
    explicit ScriptedChannel(ChannelConfig config) : config_(std::move(config)) {}
    ~ScriptedChannel() override;

    // Script.
    void queueInput(std::string_view bytes);
    void reply(std::string command, std::string answer, int times = kAlways);
    void replyToPrefix(std::string prefix, std::string answer, int times = kAlways);
    void respond(Responder responder, int times = kAlways);
    void setEcho(bool on);
    // After the queued input, serve `pattern` over and over; one byte per `byteIntervalMs` when
    // that is above 0. An empty pattern ends the stream.
    void streamForever(std::string pattern, int byteIntervalMs = 0);
    // The next `count` writes fail (kAlways: every write until called again with 0).
    void failWrites(int count = kAlways);
    void setBaudRateResult(int result);
    void setRealTime(bool on);
    // What linkLoss() tells from now on.
    void setLinkLoss(LinkLoss loss);
    void setOnDestroy(std::function<void()> onDestroy);

    // Observations.
    std::vector<std::string> writes() const;
    std::string written() const;  // every successful write, concatenated
    int failedWrites() const;
    int purgeCount() const;
    std::vector<int> readTimeouts() const;  // one entry per read call with a positive count
    std::vector<int> baudRates() const;     // every setBaudRate argument
    std::size_t pendingInput() const;
    const ChannelConfig& config() const { return config_; }

    // Channel.
    void close() override;
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override;
    int available() override;
    bool isOpen() override;
    bool reopen() override;
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override;
    int setBaudRate(int baud) override;
    LinkLoss linkLoss() const override;

private:
    struct Rule {
        Responder responder;
        int times;
    };

    void addRule(Responder responder, int times);
    void answerLocked(std::string_view written);
    ReadResult readStreamLocked(std::unique_lock<std::mutex>& hold, std::uint8_t* buffer,
                                std::size_t fromQueue, std::size_t count, int timeoutMs);

    ChannelConfig config_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::uint8_t> input_;
    std::vector<Rule> rules_;
    bool echo_ = false;
    std::string stream_;
    std::size_t streamPosition_ = 0;
    int streamIntervalMs_ = 0;
    int writesToFail_ = 0;
    int baudRateResult_ = 1;
    bool realTime_ = false;
    LinkLoss loss_;
    bool open_ = true;
    std::function<void()> onDestroy_;

    std::vector<std::string> writes_;
    int failedWrites_ = 0;
    int purges_ = 0;
    std::vector<int> readTimeouts_;
    std::vector<int> baudRates_;
};

class ScriptedChannelFactory {
public:
    ScriptedChannelFactory();

    // How the next constructions end, in order (true: open). Once used up, openRule decides.
    void queueOpenResults(std::vector<bool> results);
    // Decides from the config whether a construction opens; by default every one opens.
    void setOpenRule(std::function<bool(const PortRequest&)> rule);
    // When true, constructors return nullptr instead of an object.
    void setReturnNull(bool on);
    // Runs on every channel as it is built, before it is handed out: script it here.
    void setSetup(std::function<void(ScriptedChannel&)> setup);

    // Constructors for both kinds. They share this object's state and stay valid after it dies.
    ChannelFactory factory() const;

    int constructions() const;
    int liveChannels() const;                   // built and not yet destroyed
    std::vector<std::string> kinds() const;     // "com" or "tcp" per construction
    std::vector<PortRequest> requests() const;  // the request of each construction
    // The channel built last, while it lives; nullptr once destroyed.
    ScriptedChannel* lastChannel() const;

private:
    struct State;
    static std::unique_ptr<Channel> build(const std::shared_ptr<State>& state, const char* kind,
                                          const PortRequest& request, bool& isOpen);

    std::shared_ptr<State> state_;
};

}  // namespace korvane::test
