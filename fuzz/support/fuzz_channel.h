#pragma once

// A Channel whose far end is a fuzz input. What the adapter "sends" is the input's stream, served
// in order; once it runs out every read fails at once, as if its whole timeout had passed (the
// virtual clock moves by that timeout, no real time passes). Optionally every written command
// comes back first, as from an adapter with its echo on. Writes and baud-rate changes fail where
// the script's masks say so. The stream's bytes take time to arrive: a read that may not wait (a
// budget of 0) gets only the echo, so the look for input still waiting before a command finds
// none of the stream.

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "channel/channel.h"

namespace korvane::fuzz {

struct FuzzChannelScript {
    std::span<const std::uint8_t> stream;  // the adapter's bytes, in order
    bool echo = false;                     // every written command comes back before the stream
    int byteDelayMs = 0;                   // virtual time each delivered byte takes
    std::uint32_t writeFailures = 0;       // bit i: write number i fails (the first 32 writes)
    std::uint32_t baudRefusals = 0;        // bit i: setBaudRate call number i is refused
    // Called after every successful write with the number of writes so far.
    std::function<void(int)> afterWrite;
};

class FuzzChannel : public Channel {
public:
    explicit FuzzChannel(FuzzChannelScript script) : script_(script) {}

    // What was written, each write as one text.
    const std::vector<std::string>& writes() const { return writes_; }
    int reads() const { return reads_; }
    int baudRate() const { return baud_; }

    void close() override { open_ = false; }
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override { echoed_.clear(); }
    int available() override;
    bool isOpen() override { return open_; }
    bool reopen() override {
        open_ = true;
        return true;
    }
    Channel* acceptPeer(const ChannelConfig&, int) override { return nullptr; }
    int setBaudRate(int baud) override;

private:
    // Echoes waiting to be read never exceed this; a longer backlog loses its oldest bytes.
    static constexpr std::size_t kMostEchoed = 1 << 16;
    // Writes are recorded up to this many, so a long flow keeps a bounded footprint.
    static constexpr std::size_t kMostRecordedWrites = 4096;

    FuzzChannelScript script_;
    std::size_t streamAt_ = 0;
    std::deque<std::uint8_t> echoed_;
    std::vector<std::string> writes_;
    int writeCount_ = 0;
    int baudCalls_ = 0;
    int reads_ = 0;
    int baud_ = 115200;
    bool open_ = true;
};

}  // namespace korvane::fuzz
