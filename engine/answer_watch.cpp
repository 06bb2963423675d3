#include "engine/answer_watch.h"

namespace korvane {

ReadResult AnswerWatch::read(std::uint8_t* buffer, int count, int timeoutMs) {
    const ReadResult result = inner().read(buffer, count, timeoutMs);
    const bool ok = result == ReadResult::Read;
    const bool waitedOut = timeoutMs > 0 && result == ReadResult::TimedOut;
    if (ok && count > 0) {
        answered_ = true;
        silentCommand_.clear();
        silentWaitMs_ = 0;
    } else if (!ok && waitedOut && !answered_ && silentCommand_.empty() && !lastCommand_.empty()) {
        silentCommand_ = lastCommand_;
        silentWaitMs_ = timeoutMs;
    }
    return result;
}

bool AnswerWatch::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    const bool ok = inner().write(bytes, count, timeoutMs);
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
