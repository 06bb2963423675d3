#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::sim {

// What the adapter is running.
enum class AdapterMode {
    Application,    // application firmware (both families)
    BootLoader,     // family 2: boot loader, before "QXUPDT03\r"
    LineDownload,   // family 2: after "QXUPDT03\r", taking "QXBL" lines
    BlockDownload,  // family 1: after its "QXDL<model>\r", taking "QXDLDT" records
};

// The fast serial link of a family-1 download.
enum class FastLinkPhase {
    Off,              // the adapter runs at its power-on rate
    Announcing,       // answered "QX DLBD 02\r"; waits for the host's end to reach the fast rate
    AwaitingConfirm,  // announced "ZNB540 Update\r"; waits for the host's "\r"
    Running,          // confirmed; records travel at the fast rate
};

// The last update the adapter saw.
enum class UpdateStatus {
    None,       // no download was ever started
    Running,    // "QXUPDT03\r" or "QXDL<model>\r" accepted, not finished
    Completed,  // "QXFL\r" (family 2) or "QXDLED\r" (family 1) accepted after it
};

const char* modeName(AdapterMode mode);
const char* fastLinkName(FastLinkPhase phase);
const char* updateStatusName(UpdateStatus status);

// One command as received: its text without the final CR, its number (from 1) and when its CR
// arrived (nanoseconds on the adapter's clock; with wire time, when the CR finished arriving).
struct ReceivedCommand {
    std::int64_t timeNs = 0;
    int number = 0;
    std::string text;
};

// Byte counts of the link. "Garbled" bytes crossed a link whose two ends ran at different rates:
// they count as lost. The lower bound of the link time is every byte that crossed (both ways) at
// 10 bits per byte at the rate it crossed at.
struct LinkCounts {
    std::uint64_t bytesIn = 0;
    std::uint64_t bytesOut = 0;
    std::uint64_t garbledIn = 0;
    std::uint64_t garbledOut = 0;
    double linkTimeSeconds = 0.0;
};

// Everything about the adapter except its image and command log (cheap to copy).
struct AdapterStatus {
    int model = 0;
    int family = 0;
    AdapterMode mode = AdapterMode::Application;
    bool echo = false;
    int adapterRate = 0;  // the rate the adapter's own end runs at
    int hostRate = 0;     // the rate the host's end runs at (0: the link has none, as over TCP)
    FastLinkPhase fastLink = FastLinkPhase::Off;
    std::string elmVersion;
    std::string firmwareVersion;
    std::string shortVersion;
    UpdateStatus update = UpdateStatus::None;
    int updatesStarted = 0;
    int updatesCompleted = 0;
    int commandCount = 0;
    int lineCommands = 0;  // "QXBL" and "QXDLDT" commands received, resends included
    int imageEntries = 0;  // lines (family 2) or records (family 1) in the image
    int repPackSent = 0;
    int repBlockSent = 0;
    int err02Sent = 0;
    int closingRecords = 0;  // closing record commands accepted
    int linkDrops = 0;       // links closed by the drop fault
    int connections = 0;     // links served (TCP connections accepted; 1 for a pty); server only
    bool linkOpen = false;   // a host is connected (TCP) or the pty exists; server only
    LinkCounts counts;
};

}  // namespace korvane::sim
