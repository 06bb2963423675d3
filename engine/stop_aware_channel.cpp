#include "engine/stop_aware_channel.h"

#include <algorithm>

#include "platform/tick.h"

namespace korvane {

ReadResult StopAwareChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (run_.inDownloadMode()) {
        return inner().read(buffer, count, timeoutMs);
    }
    if (run_.stopRequested()) {
        return ReadResult::Stopped;
    }
    // Answers are read a byte at a time; a longer read is not cut, as its bytes would be lost.
    if (count != 1 || timeoutMs <= kSliceMs) {
        return inner().read(buffer, count, timeoutMs);
    }
    const Deadline deadline(timeoutMs);
    for (;;) {
        const ReadResult result =
            inner().read(buffer, count, std::min(kSliceMs, deadline.remainingMs()));
        // Only a slice that ran out is waited again; a lost link would fail at once again.
        if (result != ReadResult::TimedOut || deadline.expired()) {
            return result;
        }
        if (run_.stopRequested()) {
            return ReadResult::Stopped;
        }
    }
}

bool StopAwareChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    if (!run_.inDownloadMode() && run_.stopRequested()) {
        return false;
    }
    return inner().write(bytes, count, timeoutMs);
}

}  // namespace korvane
