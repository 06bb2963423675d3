#pragma once

namespace korvane {

// How an open link to an adapter was lost, as the platform layer saw it first. Channels only
// record it; the engine turns it into words for the user.
enum class LossCause {
    None,          // the link works (or nothing was seen of a loss)
    ClosedByPeer,  // TCP: the adapter closed the connection
    HungUp,        // serial: the device hung up (unplugged, Bluetooth link gone)
    Failed,        // a read, write or wait failed; `systemCode` says why when known
};

struct LinkLoss {
    LossCause cause = LossCause::None;
    // The operating system's error number (errno, GetLastError or WSAGetLastError); 0 when the
    // loss was seen without a system call failing.
    int systemCode = 0;

    bool lost() const { return cause != LossCause::None; }
};

}  // namespace korvane
