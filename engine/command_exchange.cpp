#include "engine/command_exchange.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "channel/atoi_rule.h"
#include "channel/tick.h"

namespace korvane {

namespace {

constexpr int kAttempts = 3;

// Results are ints, so a buffer never counts as larger than INT_MAX bytes.
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

bool readByte(Channel& channel, char& c, int timeoutMs) {
    std::uint8_t byte = 0;
    if (!channel.read(&byte, 1, timeoutMs)) {
        return false;
    }
    c = static_cast<char>(byte);
    return true;
}

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

// The steps shared by exchangeCommand and exchangeCommandLine; `endChar` is ">" or CR.
int exchangeUntil(Channel& channel, const char* command, char* reply, std::size_t replySize,
                  int deadlineMs, int writeTimeoutMs, char endChar) {
    const Deadline deadline(deadlineMs);
    if (reply == nullptr || replySize == 0) {
        return kReplyTooLong;
    }
    replySize = usableSize(replySize);
    reply[0] = '\0';

    const std::size_t length = textLength(command);
    if (length == 0) {
        return kExchangeTimedOut;
    }
    channel.purge();
    if (!writeCommand(channel, command, length, writeTimeoutMs)) {
        return kExchangeWriteFailed;
    }

    std::size_t kept = 0;
    for (;;) {
        if (deadline.expired()) {
            reply[kept] = '\0';
            return kExchangeTimedOut;
        }
        char c = '\0';
        // Each read gets the whole deadline, not the time left.
        if (!readByte(channel, c, deadlineMs)) {
            reply[kept] = '\0';
            return kExchangeNoByte;
        }
        if (c == '\0') {
            continue;
        }
        // The echo test comes before the end test: the echo ends with CR too.
        if (completesEcho(reply, kept, c, command, length)) {
            kept = 0;
            continue;
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return kReplyTooLong;
        }
        reply[kept++] = c;
        if (c == endChar) {
            reply[kept] = '\0';
            return static_cast<int>(kept);
        }
    }
}

}  // namespace

int exchangeCommand(Channel& channel, const char* command, char* reply, std::size_t replySize,
                    int deadlineMs, int writeTimeoutMs) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '>');
}

int exchangeCommandLine(Channel& channel, const char* command, char* reply, std::size_t replySize,
                        int deadlineMs, int writeTimeoutMs) {
    return exchangeUntil(channel, command, reply, replySize, deadlineMs, writeTimeoutMs, '\r');
}

int exchangeWithRetry(Channel& channel, const char* command, char* reply, std::size_t replySize,
                      int deadlineMs, int writeTimeoutMs) {
    int result = kExchangeTimedOut;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        result = exchangeCommand(channel, command, reply, replySize, deadlineMs, writeTimeoutMs);
        if (result >= 0) {
            break;
        }
    }
    return result;
}

int sendCommand(Channel& channel, const char* command, int writeTimeoutMs) {
    const std::size_t length = textLength(command);
    if (length == 0) {
        return -1;
    }
    channel.purge();
    return writeCommand(channel, command, length, writeTimeoutMs) ? 0 : -1;
}

int readPromptReply(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs) {
    if (reply == nullptr || replySize == 0) {
        return kReplyTooLong;
    }
    replySize = usableSize(replySize);
    std::size_t kept = 0;
    for (;;) {
        char c = '\0';
        if (!readByte(channel, c, byteTimeoutMs)) {
            reply[kept] = '\0';
            return -1;
        }
        if (c == '\r' || c == '\n' || c == '\0') {
            continue;
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return kReplyTooLong;
        }
        reply[kept++] = c;
        if (c == '>') {
            reply[kept] = '\0';
            return static_cast<int>(kept);
        }
    }
}

int readReplyLine(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs) {
    if (reply == nullptr || replySize == 0) {
        return kReplyTooLong;
    }
    replySize = usableSize(replySize);
    std::size_t kept = 0;
    for (;;) {
        char c = '\0';
        if (!readByte(channel, c, byteTimeoutMs)) {
            reply[kept] = '\0';
            return -1;
        }
        if (c == '\n' || c == '\0') {
            continue;
        }
        if (c == '\r') {
            break;
        }
        if (kept + 1 >= replySize) {
            reply[kept] = '\0';
            return kReplyTooLong;
        }
        reply[kept++] = c;
        if (c == '>') {
            break;
        }
    }
    reply[kept] = '\0';
    return static_cast<int>(kept) + 1;
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
