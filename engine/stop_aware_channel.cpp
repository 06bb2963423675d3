#include "engine/stop_aware_channel.h"

#include <algorithm>

#include "platform/tick.h"

namespace korvane {

bool StopAwareChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (run_.inDownloadMode()) {
        return inner_.read(buffer, count, timeoutMs);
    }
    if (run_.stopRequested()) {
        return false;
    }
    // Answers are read a byte at a time; a longer read is not cut, as its bytes would be lost.
    if (count != 1 || timeoutMs <= kSliceMs) {
        return inner_.read(buffer, count, timeoutMs);
    }
    const Deadline deadline(timeoutMs);
    for (;;) {
        const int sliceMs = std::min(kSliceMs, deadline.remainingMs());
        const Deadline slice(sliceMs);
        if (inner_.read(buffer, count, sliceMs)) {
            return true;
        }
        if (deadline.expired() || run_.stopRequested()) {
            return false;
        }
        // A read that failed long before its slice ran out met a lost link: it would fail at once
        // again, so the whole read has failed.
        if (slice.remainingMs() > sliceMs / 2) {
            return false;
        }
    }
}

bool StopAwareChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    if (!run_.inDownloadMode() && run_.stopRequested()) {
        return false;
    }
    return inner_.write(bytes, count, timeoutMs);
}

}  // namespace korvane
