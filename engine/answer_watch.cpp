#include "engine/answer_watch.h"

#include "platform/coarse_clock.h"
#include "platform/tick.h"

namespace korvane {

bool AnswerWatch::read(std::uint8_t* buffer, int count, int timeoutMs) {
    // Answers are read a byte at a time, so this is timed on every byte. A read that fails either
    // waited out its whole budget or failed at once; for a budget above twice the coarse clock's
    // lag the coarse clock tells the two apart, and it costs a fraction of the precise one.
    const bool coarse = timeoutMs > 2 * kCoarseClockSlackMs;
    const std::int64_t start = coarse ? coarseTickMs() : tickMs();
    const bool ok = inner_.read(buffer, count, timeoutMs);
    // A read that failed long before its budget ran out met a dropped link, not a silent adapter.
    const bool waitedOut =
        timeoutMs > 0 && !ok && (coarse ? coarseTickMs() : tickMs()) - start >= timeoutMs / 2;
    if (ok && count > 0) {
        answered_ = true;
        silentCommand_.clear();
        silentWaitMs_ = 0;
    } else if (!ok && waitedOut && !answered_ && silentCommand_.empty() && !lastCommand_.empty()) {
        silentCommand_ = lastCommand_;
        silentWaitMs_ = timeoutMs;
    }
    return ok;
}

bool AnswerWatch::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    const bool ok = inner_.write(bytes, count, timeoutMs);
    if (ok && count > 0) {
        std::string command;
        for (int i = 0; i < count && bytes[i] != '\r'; ++i) {
            if (command.size() == kMostShownCommand) {
                command += "...";
                break;
            }
            const char c = static_cast<char>(bytes[i]);
            command += (bytes[i] < 0x20 || bytes[i] >= 0x7f) ? '?' : c;
        }
        lastCommand_ = command;
        answered_ = false;
    }
    return ok;
}

}  // namespace korvane
