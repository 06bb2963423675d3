#include "fuzz/support/fuzz_channel.h"

#include "fuzz/support/virtual_clock.h"

namespace korvane::fuzz {

ReadResult FuzzChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (count == 0) {
        return ReadResult::Read;
    }
    if (count < 0) {
        return ReadResult::LinkLost;
    }
    ++reads_;
    const std::size_t wanted = static_cast<std::size_t>(count);
    const std::size_t streamed = timeoutMs > 0 ? script_.stream.size() - streamAt_ : 0;
    if (echoed_.size() + streamed < wanted) {
        advanceVirtualClock(timeoutMs);
        return ReadResult::TimedOut;
    }
    for (std::size_t i = 0; i < wanted; ++i) {
        if (!echoed_.empty()) {
            buffer[i] = echoed_.front();
            echoed_.pop_front();
        } else {
            buffer[i] = script_.stream[streamAt_++];
        }
    }
    advanceVirtualClock(static_cast<std::int64_t>(script_.byteDelayMs) * count);
    return ReadResult::Read;
}

bool FuzzChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    if (count == 0) {
        return true;
    }
    if (count < 0) {
        return false;
    }
    const int index = writeCount_++;
    if (index < 32 && (script_.writeFailures >> index) & 1U) {
        advanceVirtualClock(timeoutMs);
        return false;
    }
    if (writes_.size() < kMostRecordedWrites) {
        writes_.emplace_back(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
    }
    if (script_.echo) {
        echoed_.insert(echoed_.end(), bytes, bytes + count);
        while (echoed_.size() > kMostEchoed) {
            echoed_.pop_front();
        }
    }
    if (script_.afterWrite) {
        script_.afterWrite(writeCount_);
    }
    return true;
}

int FuzzChannel::available() {
    return static_cast<int>(echoed_.size() + (script_.stream.size() - streamAt_));
}

int FuzzChannel::setBaudRate(int baud) {
    const int index = baudCalls_++;
    if (index < 32 && (script_.baudRefusals >> index) & 1U) {
        return -1;
    }
    baud_ = baud;
    return 1;
}

}  // namespace korvane::fuzz
