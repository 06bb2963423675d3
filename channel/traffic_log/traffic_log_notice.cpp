#include "channel/traffic_log/traffic_log_notice.h"

#include <mutex>

namespace korvane {

namespace {

// The one handler of the process, like LogLevel that switches the logs on.
struct NoticeState {
    std::mutex mutex;
    TrafficLogProblemHandler handler;
    bool told = false;
};

NoticeState& noticeState() {
    static NoticeState state;
    return state;
}

}  // namespace

void setTrafficLogProblemHandler(TrafficLogProblemHandler handler) {
    NoticeState& state = noticeState();
    std::lock_guard<std::mutex> hold(state.mutex);
    state.handler = std::move(handler);
    state.told = false;
}

void noticeTrafficLogProblem(const TrafficLogProblem& problem) {
    NoticeState& state = noticeState();
    TrafficLogProblemHandler handler;
    {
        std::lock_guard<std::mutex> hold(state.mutex);
        if (state.told || !state.handler) {
            return;
        }
        state.told = true;
        handler = state.handler;
    }
    handler(problem);
}

}  // namespace korvane
