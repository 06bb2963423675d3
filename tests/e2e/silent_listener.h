#pragma once

namespace korvane::e2e {

// A TCP listener on 127.0.0.1 that lets a client connect and then never reads or answers: an
// adapter that stays silent.
//
// With `acceptQueueFull`, its queue of connections waiting to be accepted is filled at once and
// never emptied: a further client's connection attempt then gets no answer at all, as from an
// adapter that never accepts.
class SilentListener {
public:
    explicit SilentListener(bool acceptQueueFull = false);
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    // 0 when the listener could not be set up.
    int port() const { return port_; }

private:
    int fd_ = -1;
    int filler_ = -1;  // the connection that fills the accept queue
    int port_ = 0;
};

}  // namespace korvane::e2e
