#pragma once

namespace korvane::e2e {

// A TCP listener on 127.0.0.1 that lets a client connect and then never reads or answers: an
// adapter that stays silent.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    // 0 when the listener could not be set up.
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

}  // namespace korvane::e2e
