#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/adapter/adapter_settings.h"
#include "sim/adapter/adapter_state.h"
#include "sim/adapter/firmware_image.h"
#include "sim/adapter/output_queue.h"

namespace korvane::sim {

// One emulated adapter: bytes from the host in, bytes to the host out, on a clock the caller
// supplies (nanoseconds, any origin, never going back). It knows nothing of sockets or ttys, so a
// test can drive it directly:
//
//     EmulatedAdapter adapter(settings);
//     adapter.receive(bytes, count, now);          // what the host wrote
//     adapter.collectOutput(now, reply);           // what the host can read by `now`
//     adapter.nextDueNs();                         // when more output is due (delays, pacing)
//
// Commands end with CR (LF is ignored). With echo on, every command is echoed (its text and CR)
// before its answer. An answer is its lines, each ended by CR, then CR and the prompt ">"; an
// answer without lines is the prompt alone. Unknown commands are answered "?".
//
// Not thread-safe; `AdapterServer` serialises access.
class EmulatedAdapter {
public:
    explicit EmulatedAdapter(AdapterSettings settings);

    // Bytes that arrived from the host at `nowNs`. With wire time, byte i of a burst finishes
    // arriving one byte time after the one before it.
    void receive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowNs);
    // The rate the host's end of the link runs at; 0 when the link has none (TCP). Bytes that
    // cross while the two ends run at different rates are garbled and lost.
    void setHostRate(int baud);

    // Appends to `out` every byte due to leave by `nowNs`.
    void collectOutput(std::int64_t nowNs, std::string& out);
    // When output is due next; kNever when none waits.
    std::int64_t nextDueNs() const;
    // True while the adapter waits for the host's end to reach the fast rate: the transport must
    // tell it the host's rate again soon.
    bool watchingHostRate() const;
    // True once, when the drop fault fired and everything queued before it has been collected.
    bool takeLinkDrop();
    // The host went away: partial input and queued output are forgotten; the adapter's state
    // (mode, echo, image) stays, as a powered adapter's would.
    void linkLost();

    void setFaults(const FaultPlan& faults);

    AdapterStatus status() const;
    int updatesCompleted() const { return updatesCompleted_; }
    int commandCount() const { return commandCount_; }
    const FirmwareImage& image() const { return image_; }
    const std::vector<ReceivedCommand>& commands() const { return commands_; }

private:
    // What to answer to one command.
    struct Reply {
        std::vector<std::string> lines;
        bool prompt = true;
        int delayMs = 0;
        enum class After { Nothing, StartFastLink, EndFastLink } after = After::Nothing;
    };

    void handleCommand(const std::string& text, bool overlong, std::int64_t atNs);
    Reply dispatch(const std::string& text);
    Reply dispatchLineModel(const std::string& text);
    Reply dispatchBlockModel(const std::string& text);
    Reply applicationCommon(const std::string& text, bool& handled);
    Reply takeLine(const std::string& payload);
    Reply takeRecord(const std::string& record);
    Reply finishLineDownload();
    Reply confirmFastLink();
    void startDownload(AdapterMode mode, int family);
    void completeUpdate();
    void emit(int number, const std::string& text, bool echoed, const Reply& reply,
              std::int64_t atNs);
    void enqueue(std::string bytes, std::int64_t readyNs);
    std::string noise(int count);
    // `count` bytes of what a receiver at the wrong rate reads: any byte value but NUL, ending in
    // ">" when `withPrompt`.
    std::string lineNoise(std::size_t count, bool withPrompt);
    // What a decoy does with bytes from the host.
    void decoyReceive(const std::uint8_t* bytes, std::size_t count, std::int64_t nowNs);
    // Output that needs no rate of its own: it reaches the host whatever its rate.
    void enqueueAtHostRate(std::string bytes, std::int64_t readyNs);
    bool isLineCommand(const std::string& text) const;
    static int takeCount(std::map<int, int>& counts, int at);

    AdapterSettings settings_;
    int family_ = 0;
    AdapterMode mode_ = AdapterMode::Application;
    bool echo_ = false;
    int adapterRate_ = 0;
    int hostRate_ = 0;
    FastLinkPhase fastLink_ = FastLinkPhase::Off;
    std::string elmVersion_;
    std::string firmwareVersion_;
    std::string shortVersion_;
    UpdateStatus update_ = UpdateStatus::None;
    int updatesStarted_ = 0;
    int updatesCompleted_ = 0;

    // Input being assembled into a command.
    std::string input_;
    bool inputOverlong_ = false;
    std::int64_t lastArrivalNs_ = 0;

    OutputQueue output_;
    std::int64_t stallEndNs_ = 0;  // output of commands arriving before this waits until it
    bool dropQueued_ = false;      // the drop fault fired; input is ignored until the link closes
    bool dropReached_ = false;     // everything before the drop has been collected

    // Faults still to fire, by position.
    std::map<int, int> repPackLeft_;
    std::map<int, int> repBlockLeft_;
    std::map<int, int> err02Left_;
    int finishFailuresLeft_ = 0;
    std::uint32_t noiseSeed_ = 12345;
    int noisyAnswers_ = 0;  // answers sent as noise, to put a ">" into every other one

    // Family-2 pair being assembled.
    bool expectingSecond_ = false;   // the first line waits in image_.pendingLine
    bool pairTroubled_ = false;      // the adapter asked for a repeat in the current pair
    bool lastPairTroubled_ = false;  // ... in the pair it took last

    FirmwareImage image_;
    std::vector<ReceivedCommand> commands_;
    int commandCount_ = 0;
    int lineCommands_ = 0;
    int repPackSent_ = 0;
    int repBlockSent_ = 0;
    int err02Sent_ = 0;
    int closingRecords_ = 0;
    int linkDrops_ = 0;
    std::uint64_t bytesIn_ = 0;
    std::uint64_t garbledIn_ = 0;
    double inSeconds_ = 0.0;
};

// The closing record command of a family-2 download: "QXBL", "FFF1", 129 zeros and "F" (no CR).
const std::string& closingRecordCommand();

}  // namespace korvane::sim
