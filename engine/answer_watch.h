#pragma once

#include <string>

#include "channel/forwarding_channel.h"

namespace korvane {

// The channel of one run, passed through unchanged, watched for silence: it remembers the first
// command of the current stretch in which the adapter sent nothing back, and how long the read
// that ran out waited. After a failed run this tells "no answer to QXI within 2000 ms" apart from
// an adapter that answered wrongly. Bytes already received pass through unwatched: they came
// through a read, which saw the answer begin. Used by the one thread that runs the job.
class AnswerWatch final : public ForwardingChannel {
public:
    explicit AnswerWatch(Channel& inner) : ForwardingChannel(inner) {}

    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;

    // True when the adapter has sent nothing since `silentCommand()` was written and a read for
    // its answer waited its budget out (TimedOut; a read that met a dropped link or a stop does
    // not count).
    bool silent() const { return !silentCommand_.empty(); }
    // The command without its CR (control characters shown as "?"), and the read's budget.
    const std::string& silentCommand() const { return silentCommand_; }
    int silentWaitMs() const { return silentWaitMs_; }

private:
    // Commands are short; a longer write (a download line) is named by its first characters.
    static constexpr std::size_t kMostShownCommand = 24;

    std::string lastCommand_;
    bool answered_ = true;  // a byte came since lastCommand_ was written
    std::string silentCommand_;
    int silentWaitMs_ = 0;
};

}  // namespace korvane
