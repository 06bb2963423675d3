#pragma once

#include <concepts>
#include <functional>
#include <type_traits>
#include <utility>

#include "platform/stop_signal.h"

namespace korvane {

// Asked while a port is being opened: true once whoever opens it has been told to stop, and the
// opening is then given up (OpenCause::Stopped). An empty one never stops it. When it comes with
// the StopSignal that is set together with the stop, a wait that can watch the signal ends the
// moment it is set; other waits look at the question at least every kOpenStopLookMs.
class OpenStop {
public:
    OpenStop() = default;
    template <typename F>
    requires std::is_invocable_r_v<bool, F&> &&(!std::same_as<std::decay_t<F>, OpenStop>)
        OpenStop(F asked)  // implicit: a bare question is an OpenStop without a signal
        : asked_(std::move(asked)) {}
    OpenStop(std::function<bool()> asked, const StopSignal* signal)
        : asked_(std::move(asked)), signal_(signal) {}

    explicit operator bool() const { return static_cast<bool>(asked_); }
    bool operator()() const { return asked_ && asked_(); }
    // The signal to watch; nullptr when there is none.
    const StopSignal* signal() const { return signal_; }

private:
    std::function<bool()> asked_;
    const StopSignal* signal_ = nullptr;
};

// The longest a wait while opening goes without looking at its OpenStop.
inline constexpr int kOpenStopLookMs = 100;

}  // namespace korvane
