#include "engine/answer_watch.h"

namespace korvane {

bool AnswerWatch::read(std::uint8_t* buffer, int count, int timeoutMs) {
    const bool ok = inner_.read(buffer, count, timeoutMs);
    if (ok && count > 0) {
        answered_ = true;
        silentCommand_.clear();
        silentWaitMs_ = 0;
    } else if (!ok && !answered_ && silentCommand_.empty() && !lastCommand_.empty()) {
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
