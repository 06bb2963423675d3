#include "engine/command_exchange.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <span>

#include "channel/atoi_rule.h"
#include "platform/tick.h"

namespace korvane {

namespace {

constexpr int kAttempts = 3;
// How much waiting input the stray check looks at before it counts the input as an answer.
constexpr std::size_t kMostStrayBytes = 4096;

// Reply lengths are ints, so a buffer never counts as larger than INT_MAX bytes.
std::size_t usableSize(std::size_t replySize) {
    return std::min<std::size_t>(replySize, static_cast<std::size_t>(INT_MAX));
}

std::size_t textLength(const char* text) {
    return text == nullptr ? 0 : std::strlen(text);
}

bool writeCommand(Channel& channel, const char* command, std::size_t length, int timeoutMs) {
    if (length > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    return channel.write(reinterpret_cast<const std::uint8_t*>(command), static_cast<int>(length),
                         timeoutMs);
}

// The answer's bytes as the routines take them, one at a time. Bytes the channel has already
// received are taken from its receive buffer (Channel::received()) without a call, a clock or a
// wait; only when none are left does a byte cost a read, with its timeout. What was taken is
// consumed from the channel before its next operation (a read, or when the reader goes), so the
// bytes after the answer stay for the next routine, as one-byte reads leave them.
class AnswerBytes {
public:
    explicit AnswerBytes(Channel& channel) : channel_(channel) {}
    ~AnswerBytes() { release(); }
    AnswerBytes(const AnswerBytes&) = delete;
    AnswerBytes& operator=(const AnswerBytes&) = delete;

    // A byte already received, if there is one.
    bool takeHeld(char& c) {
        if (at_ == held_.size()) {
            return false;
        }
        c = static_cast<char>(held_[at_++]);
        return true;
    }
    // The next byte, waiting up to `timeoutMs` when none is held.
    bool read(char& c, int timeoutMs) {
        if (takeHeld(c)) {
            return true;
        }
        release();
        std::uint8_t byte = 0;
        if (channel_.read(&byte, 1, timeoutMs) != ReadResult::Read) {
            return false;
        }
        c = static_cast<char>(byte);
        held_ = channel_.received();
        return true;
    }

private:
    void release() {
        if (at_ > 0) {
            channel_.consumeReceived(at_);
        }
        held_ = {};
        at_ = 0;
    }

    Channel& channel_;
    std::span<const std::uint8_t> held_;
    std::size_t at_ = 0;
};

// Whether the `kept` characters collected so far, followed by `c`, contain the whole command.
// Every earlier character was tested when it arrived, and a match discards everything collected,
// so the collected text never holds the command before `c`: an occurrence can only end at `c`.
// Testing the tail is therefore the whole test, and it costs a comparison only when `c` is the
// command's last character (its CR in practice). NUL bytes are never kept, and a command holds
// none, so they never take part.
bool completesEcho(const char* collected, std::size_t kept, char c, const char* command,
                   std::size_t length) {
    if (c != command[length - 1] || kept + 1 < length) {
        return false;
    }
    return std::memcmp(collected + (kept - (length - 1)), command, length - 1) == 0;
}

bool isLineEndOrPrompt(char c) {
    return c == '\r' || c == '\n' || c == '\0' || c == '>';
}

// The rules an exchange follows: the plain ones, or the exactly-once ones with this attempt's
// grace period.
struct ExchangeRules {
    ExactlyOnce* once = nullptr;
    int graceMs = 0;
};

ExchangeReply failed(ExchangeResult result) {
    return ExchangeReply{result, 0};
}

ExchangeReply answered(std::size_t kept) {
    return ExchangeReply{ExchangeResult::Answered, static_cast<int>(kept)};
}

// The steps shared by exchangeCommand and exchangeCommandLine; `endChar` is ">" or CR.
ExchangeReply exchangeUntil(Channel& channel, const char* command, char* reply,
                            std::size_t replySize, int deadlineMs, int writeTimeoutMs, char endChar,
                            ExchangeRules rules) {
    const Deadline deadline(deadlineMs);
    const Deadline lateDeadline(deadlineMs + std::max(rules.graceMs, 0));
    if (reply == nullptr || replySize == 0) {
        return failed(ExchangeResult::ReplyTooLong);
    }
    replySize = usableSize(replySize);
    reply[0] = '\0';

    const std::size_t length = textLength(command);
    if (length == 0) {
        return failed(ExchangeResult::NoCommand);
    }
    if (rules.once != nullptr && rules.once->commandSent && takeStrayAnswer(channel)) {
        return failed(ExchangeResult::StrayAnswer);
    }
    channel.purge();
    if (!writeCommand(channel, command, length, writeTimeoutMs)) {
        return failed(ExchangeResult::WriteFailed);
    }
    if (rules.once != nullptr) {
        rules.once->commandSent = true;
    }

    const bool echoFirst = rules.once != nullptr && rules.once->adapterEchoes;
    bool echoSeen = false;
    bool graceUsed = false;
    std::size_t kept = 0;
    AnswerBytes answer(channel);
    for (;;) {
        char c = '\0';
        // Bytes already received came within the deadline: the clock is asked only before a
        // byte has to be waited for.
        if (!answer.takeHeld(c)) {
            const bool late = deadline.expired();
            if (late && lateDeadline.expired()) {
                reply[kept] = '\0';
                return failed(ExchangeResult::TimedOut);
            }
            // Each read gets the whole deadline, not the time left; in the grace period, what is
            // left of it.
            if (!answer.read(c, late ? lateDeadline.remainingMs() : deadlineMs)) {
                // One more read for the rest of the grace period, then the read counts as failed.
                // (A link that fails reads at once costs two reads, never a spin.)
                if (rules.graceMs > 0 && !graceUsed && !lateDeadline.expired()) {
                    graceUsed = true;
                    continue;
                }
                reply[kept] = '\0';
                return failed(ExchangeResult::NoByte);
            }
        }
        if (c == '\0') {
            continue;
        }
        // The echo test comes before the end test: the echo ends with CR too.
        if (completesEcho(reply, kept, c, command, length)) {
            if (rules.once != nullptr) {
                // What came before the echo belongs to earlier commands; a prompt among it closed
                // an answer that nobody waited for.
                if (std::memchr(reply, '>', kept + 1 - length) != nullptr) {
                    reply[0] = '\0';
                    return failed(ExchangeResult::StrayAnswer);
                }
                rules.once->adapterEchoes = true;
            }
            echoSeen = true;
            kept = 0;
            continue;
        }
        if (echoFirst && !echoSeen && c == '>') {
            reply[kept] = '\0';
            return failed(ExchangeResult::StrayAnswer);
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return failed(ExchangeResult::ReplyTooLong);
        }
        reply[kept++] = c;
        if (c == endChar && (echoSeen || !echoFirst)) {
            reply[kept] = '\0';
            return answered(kept);
        }
    }
}

ExchangeReply retryExchange(Channel& channel, const char* command, char* reply,
                            std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                            ExactlyOnce* once) {
    ExchangeReply result;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const ExchangeRules rules{once, once != nullptr && attempt == 0 ? once->graceMs : 0};
        result = exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '>',
                               rules);
        if (result.answered() || result.result == ExchangeResult::StrayAnswer) {
            break;
        }
    }
    return result;
}

}  // namespace

ExchangeReply exchangeCommand(Channel& channel, const char* command, char* reply,
                              std::size_t replySize, int deadlineMs, int writeTimeoutMs) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '>', {});
}

ExchangeReply exchangeCommandLine(Channel& channel, const char* command, char* reply,
                                  std::size_t replySize, int deadlineMs, int writeTimeoutMs) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '\r', {});
}

ExchangeReply exchangeWithRetry(Channel& channel, const char* command, char* reply,
                                std::size_t replySize, int deadlineMs, int writeTimeoutMs) {
    return retryExchange(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, nullptr);
}

ExchangeReply exchangeCommand(Channel& channel, const char* command, char* reply,
                              std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                              ExactlyOnce& once) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '>',
                         {&once, once.graceMs});
}

ExchangeReply exchangeCommandLine(Channel& channel, const char* command, char* reply,
                                  std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                                  ExactlyOnce& once) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '\r',
                         {&once, once.graceMs});
}

ExchangeReply exchangeWithRetry(Channel& channel, const char* command, char* reply,
                                std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                                ExactlyOnce& once) {
    return retryExchange(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, &once);
}

ExchangeResult sendCommand(Channel& channel, const char* command, int writeTimeoutMs) {
    const std::size_t length = textLength(command);
    if (length == 0) {
        return ExchangeResult::NoCommand;
    }
    channel.purge();
    return writeCommand(channel, command, length, writeTimeoutMs) ? ExchangeResult::Sent
                                                                  : ExchangeResult::WriteFailed;
}

ExchangeResult sendCommandAfterStrayCheck(Channel& channel, const char* command,
                                          int writeTimeoutMs) {
    if (textLength(command) > 0 && takeStrayAnswer(channel)) {
        return ExchangeResult::StrayAnswer;
    }
    return sendCommand(channel, command, writeTimeoutMs);
}

bool takeStrayAnswer(Channel& channel) {
    AnswerBytes waiting(channel);
    for (std::size_t looked = 0; looked < kMostStrayBytes; ++looked) {
        char c = '\0';
        if (!waiting.read(c, 0)) {
            return false;
        }
        if (!isLineEndOrPrompt(c)) {
            return true;
        }
    }
    // That much input without any text is no answer, but not a quiet link either.
    return true;
}

ExchangeReply readPromptReply(Channel& channel, char* reply, std::size_t replySize,
                              int byteTimeoutMs) {
    if (reply == nullptr || replySize == 0) {
        return failed(ExchangeResult::ReplyTooLong);
    }
    replySize = usableSize(replySize);
    std::size_t kept = 0;
    AnswerBytes answer(channel);
    for (;;) {
        char c = '\0';
        if (!answer.read(c, byteTimeoutMs)) {
            reply[kept] = '\0';
            return failed(ExchangeResult::NoByte);
        }
        if (c == '\r' || c == '\n' || c == '\0') {
            continue;
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return failed(ExchangeResult::ReplyTooLong);
        }
        reply[kept++] = c;
        if (c == '>') {
            reply[kept] = '\0';
            return answered(kept);
        }
    }
}

ExchangeReply readReplyLine(Channel& channel, char* reply, std::size_t replySize,
                            int byteTimeoutMs) {
    if (reply == nullptr || replySize == 0) {
        return failed(ExchangeResult::ReplyTooLong);
    }
    replySize = usableSize(replySize);
    std::size_t kept = 0;
    AnswerBytes answer(channel);
    for (;;) {
        char c = '\0';
        if (!answer.read(c, byteTimeoutMs)) {
            reply[kept] = '\0';
            return failed(ExchangeResult::NoByte);
        }
        if (c == '\n' || c == '\0') {
            continue;
        }
        if (c == '\r') {
            break;
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return failed(ExchangeResult::ReplyTooLong);
        }
        reply[kept++] = c;
        if (c == '>') {
            break;
        }
    }
    reply[kept] = '\0';
    return answered(kept);
}

const char* skipPrefix(const char* text, const char* prefix, int most) {
    if (text == nullptr || prefix == nullptr) {
        return text;
    }
    int k = 0;
    // A prefix character is never NUL inside the loop, so equality also stops at the text's end.
    while (k < most && prefix[k] != '\0' && text[k] == prefix[k]) {
        ++k;
    }
    return text + k;
}

char* skipPrefix(char* text, const char* prefix, int most) {
    return const_cast<char*>(skipPrefix(static_cast<const char*>(text), prefix, most));
}

void removeChar(char* text, char c) {
    if (text == nullptr || c == '\0') {
        return;
    }
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        if (*in != c) {
            *out++ = *in;
        }
    }
    *out = '\0';
}

int parseVersionNumber(char* text, char digit) {
    if (text == nullptr) {
        return 0;
    }
    removeChar(text, '.');
    removeChar(text, '>');
    const std::size_t length = std::strlen(text);
    if (digit != '\0' && length > 0 && text[length - 1] == 'X') {
        text[length - 1] = digit;
    }
    return atoiRule(text);
}

}  // namespace korvane
