#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "channel/channel.h"
#include "channel/channel_config.h"
#include "channel/open_failure.h"
#include "channel/port_descriptor.h"

namespace korvane {

// Builds one channel of a kind from its config. The channel opens itself while it is built and
// tells through `isOpen` whether that worked, and through `failure` why not; a channel that failed
// to open is still a valid object.
//
// Constructors that cannot say why (test stand-ins) may take just (config, isOpen); a failure of
// theirs then has the cause Other.
class ChannelConstructor {
public:
    using Full = std::function<std::unique_ptr<Channel>(const ChannelConfig& config, bool& isOpen,
                                                        OpenFailure& failure)>;

    ChannelConstructor() = default;
    template <typename F>
        requires std::invocable<F&, const ChannelConfig&, bool&, OpenFailure&>
    ChannelConstructor(F construct) : construct_(std::move(construct)) {}
    template <typename F>
        requires(std::invocable<F&, const ChannelConfig&, bool&> &&
                 !std::invocable<F&, const ChannelConfig&, bool&, OpenFailure&>)
    ChannelConstructor(F construct)
        : construct_([construct = std::move(construct)](const ChannelConfig& config, bool& isOpen,
                                                        OpenFailure& failure) mutable {
              std::unique_ptr<Channel> channel = construct(config, isOpen);
              if (channel == nullptr || !isOpen) {
                  failure.cause = OpenCause::Other;
              }
              return channel;
          }) {}

    explicit operator bool() const { return static_cast<bool>(construct_); }

    std::unique_ptr<Channel> operator()(const ChannelConfig& config, bool& isOpen,
                                        OpenFailure& failure) const {
        return construct_(config, isOpen, failure);
    }
    std::unique_ptr<Channel> operator()(const ChannelConfig& config, bool& isOpen) const {
        OpenFailure ignored;
        return construct_(config, isOpen, ignored);
    }

private:
    Full construct_;
};

// The constructor registered for each descriptor kind. Tests plug scripted channels in here; the
// program uses defaultChannelFactory().
struct ChannelFactory {
    ChannelConstructor com;
    ChannelConstructor tcp;
};

// The real serial and TCP kinds of this platform.
ChannelFactory defaultChannelFactory();

// Receives the failure texts of createChannel ("**Failed** ...\r\n").
using ChannelReport = std::function<void(const char* text)>;

// Why createChannel gave no channel: the descriptor was malformed (`descriptor` says which part),
// or the port did not open in three attempts (`open` holds the last attempt's cause).
struct ChannelFailure {
    DescriptorProblem descriptor;
    OpenFailure open;
};

// Turns a port descriptor ("com|NAME:BAUD" or "tcp|IP:PORT") into an open channel, with up to
// three construction attempts. On failure reports the failure text, fills `failure` when given,
// and returns nullptr.
std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report,
                                       ChannelFailure* failure = nullptr);

}  // namespace korvane
