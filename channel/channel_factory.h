#pragma once

#include <concepts>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>

#include "channel/channel.h"
#include "channel/open_failure.h"
#include "channel/open_stop.h"
#include "channel/port_descriptor.h"

namespace korvane {

// Builds one channel of a kind from the user's request. The channel opens itself while it is
// built and tells through `isOpen` whether that worked, and through `failure` why not; a channel
// that failed to open is still a valid object.
//
// Constructors that cannot say why (test stand-ins) may take just (request, isOpen); a failure of
// theirs then has the cause Other. Constructors whose opening may wait take an OpenStop as well
// and give up when it says stop.
template <typename Request>
class ChannelConstructor {
public:
    using Full = std::function<std::unique_ptr<Channel>(
        const Request& request, bool& isOpen, OpenFailure& failure, const OpenStop& stop)>;

    ChannelConstructor() = default;
    template <typename F>
    requires std::invocable<F&, const Request&, bool&, OpenFailure&, const OpenStop&>
    ChannelConstructor(F construct) : construct_(std::move(construct)) {}
    template <typename F>
    requires(std::invocable<F&, const Request&, bool&, OpenFailure&> &&
             !std::invocable<F&, const Request&, bool&, OpenFailure&, const OpenStop&>)
        ChannelConstructor(F construct)
        : construct_([construct = std::move(construct)](
                         const Request& request, bool& isOpen, OpenFailure& failure,
                         const OpenStop&) mutable { return construct(request, isOpen, failure); }) {
    }
    template <typename F>
    requires(std::invocable<F&, const Request&, bool&> &&
             !std::invocable<F&, const Request&, bool&, OpenFailure&>)
        ChannelConstructor(F construct)
        : construct_([construct = std::move(construct)](const Request& request, bool& isOpen,
                                                        OpenFailure& failure,
                                                        const OpenStop&) mutable {
              std::unique_ptr<Channel> channel = construct(request, isOpen);
              if (channel == nullptr || !isOpen) {
                  failure.cause = OpenCause::Other;
              }
              return channel;
          }) {}

    explicit operator bool() const { return static_cast<bool>(construct_); }

    std::unique_ptr<Channel> operator()(const Request& request, bool& isOpen, OpenFailure& failure,
                                        const OpenStop& stop = {}) const {
        return construct_(request, isOpen, failure, stop);
    }
    std::unique_ptr<Channel> operator()(const Request& request, bool& isOpen) const {
        OpenFailure ignored;
        return construct_(request, isOpen, ignored, {});
    }

private:
    Full construct_;
};

// The constructor registered for each kind. Tests plug scripted channels in here; the program uses
// defaultChannelFactory().
struct ChannelFactory {
    ChannelConstructor<SerialPortRequest> com;
    ChannelConstructor<TcpPortRequest> tcp;
};

// The real serial and TCP kinds of this platform.
ChannelFactory defaultChannelFactory();

inline constexpr const char* kPortParameterErrorText = "**Failed** Port parameter error!\r\n";
inline constexpr const char* kPortConnectionErrorText = "**Failed** Port connection error!\r\n";

// Receives the failure texts of createChannel ("**Failed** ...\r\n").
using ChannelReport = std::function<void(const char* text)>;

// Why createChannel gave no channel: the descriptor was malformed (`descriptor` says which part),
// or the port did not open in three attempts (`open` holds the last attempt's cause).
struct ChannelFailure {
    DescriptorProblem descriptor;
    OpenFailure open;
};

// Opens the requested port, with up to three construction attempts. On failure reports "**Failed**
// Port connection error!\r\n" and returns nullptr; a request without a descriptor text
// (fitsDescriptor) is refused with "**Failed** Port parameter error!\r\n" and nothing is built.
// Why it failed goes to `failure` when given. Once `stop` says stop, the opening is given up
// without a text, with the cause OpenCause::Stopped.
std::unique_ptr<Channel> createChannel(const PortRequest& request, const ChannelFactory& factory,
                                       const ChannelReport& report,
                                       ChannelFailure* failure = nullptr,
                                       const OpenStop& stop = {});

// The same for a port descriptor ("com|NAME:BAUD" or "tcp|IP:PORT"); a malformed one is reported
// as "**Failed** Port parameter error!\r\n" and nothing is built.
std::unique_ptr<Channel> createChannel(std::string_view descriptor, const ChannelFactory& factory,
                                       const ChannelReport& report,
                                       ChannelFailure* failure = nullptr);

}  // namespace korvane
