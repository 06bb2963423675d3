// The command-exchange routines against an adapter whose every byte comes from the fuzz input:
// echoes, prompts, NUL bytes, line ends, overlong replies, silence, slow bytes and failed writes.
//
// Input: routine, reply buffer size, flags (echo, byte delay), deadline, command choice, write
// failure mask, then the adapter's bytes. See exchange_input.h.
//
// Properties: no memory or undefined-behaviour fault, and the reply buffer is exactly as large as
// the routine is told, so any write past it is caught; results are one of the documented codes;
// the reply is always terminated inside the buffer; a success carries the documented ending and
// length; exchangeWithRetry writes at most three times; the exactly-once variants also give
// kExchangeStrayAnswer, and nothing else new.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/command_exchange.h"
#include "fuzz/exchange_input.h"
#include "fuzz/support/fuzz_channel.h"
#include "fuzz/support/fuzz_check.h"
#include "fuzz/support/virtual_clock.h"

namespace {

using namespace korvane;
using namespace korvane::fuzz;

bool knownFailure(int result) {
    return result == kExchangeTimedOut || result == kExchangeWriteFailed ||
           result == kExchangeNoByte || result == kReplyTooLong;
}

void checkReply(const char* reply, std::size_t replySize) {
    if (replySize > 0) {
        FUZZ_CHECK(std::memchr(reply, '\0', replySize) != nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    resetVirtualClock();
    ExchangeCase c = readExchangeCase(data, size);
    FuzzChannel channel(c.script);

    // Exactly replySize bytes on the heap: one byte more written is an address-sanitizer report.
    std::unique_ptr<char[]> buffer(c.replySize > 0 ? new char[c.replySize] : nullptr);
    char* reply = buffer.get();
    if (reply != nullptr) {
        std::memset(reply, 'Z', c.replySize);
    }
    const char* command = c.command.c_str();
    const std::size_t commandLength = std::strlen(command);

    ExactlyOnce once;
    once.adapterEchoes = c.knownToEcho;
    int result = 0;
    switch (c.routine) {
        case ExchangeRoutine::kCommand:
        case ExchangeRoutine::kCommandLine: {
            const bool line = c.routine == ExchangeRoutine::kCommandLine;
            if (c.exactlyOnce) {
                result = line ? exchangeCommandLine(channel, command, reply, c.replySize,
                                                    c.deadlineMs, c.writeTimeoutMs, once)
                              : exchangeCommand(channel, command, reply, c.replySize, c.deadlineMs,
                                                c.writeTimeoutMs, once);
            } else {
                result = line ? exchangeCommandLine(channel, command, reply, c.replySize,
                                                    c.deadlineMs, c.writeTimeoutMs)
                              : exchangeCommand(channel, command, reply, c.replySize, c.deadlineMs,
                                                c.writeTimeoutMs);
            }
            FUZZ_CHECK(result >= 1 || knownFailure(result) ||
                       (c.exactlyOnce && result == kExchangeStrayAnswer));
            if (reply == nullptr) {
                FUZZ_CHECK(result == kReplyTooLong && channel.writes().empty());
                break;
            }
            checkReply(reply, c.replySize);
            if (result >= 1) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result));
                FUZZ_CHECK(reply[result - 1] == (line ? '\r' : '>'));
                // Only the last character is the end character.
                FUZZ_CHECK(std::memchr(reply, line ? '\r' : '>', result - 1) == nullptr);
            }
            if (commandLength == 0) {
                FUZZ_CHECK(result == kExchangeTimedOut && channel.writes().empty());
            }
            break;
        }
        case ExchangeRoutine::kWithRetry: {
            result = c.exactlyOnce ? exchangeWithRetry(channel, command, reply, c.replySize,
                                                       c.deadlineMs, c.writeTimeoutMs, once)
                                   : exchangeWithRetry(channel, command, reply, c.replySize,
                                                       c.deadlineMs, c.writeTimeoutMs);
            FUZZ_CHECK(result >= 1 || knownFailure(result) ||
                       (c.exactlyOnce && result == kExchangeStrayAnswer));
            FUZZ_CHECK(channel.writes().size() <= 3);
            if (reply != nullptr) {
                checkReply(reply, c.replySize);
            }
            if (result >= 1) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result));
                FUZZ_CHECK(reply[result - 1] == '>');
            }
            break;
        }
        case ExchangeRoutine::kSendAndPrompt: {
            const int sent = sendCommand(channel, command, c.writeTimeoutMs);
            FUZZ_CHECK(sent == 0 || sent == -1);
            FUZZ_CHECK(sent == -1 || commandLength > 0);
            result = readPromptReply(channel, reply, c.replySize, c.byteTimeoutMs);
            FUZZ_CHECK(result >= 1 || result == -1 || result == kReplyTooLong);
            if (reply == nullptr) {
                FUZZ_CHECK(result == kReplyTooLong);
                break;
            }
            checkReply(reply, c.replySize);
            if (result >= 1) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result));
                FUZZ_CHECK(reply[result - 1] == '>');
                FUZZ_CHECK(std::strpbrk(reply, "\r\n") == nullptr);
            }
            break;
        }
        case ExchangeRoutine::kReplyLine: {
            result = readReplyLine(channel, reply, c.replySize, c.byteTimeoutMs);
            FUZZ_CHECK(result >= 1 || result == -1 || result == kReplyTooLong);
            if (reply == nullptr) {
                FUZZ_CHECK(result == kReplyTooLong);
                break;
            }
            checkReply(reply, c.replySize);
            if (result >= 1) {
                const std::size_t stored = std::strlen(reply);
                FUZZ_CHECK(stored + 1 == static_cast<std::size_t>(result));
                FUZZ_CHECK(std::strpbrk(reply, "\r\n") == nullptr);
                const char* prompt = std::strchr(reply, '>');
                FUZZ_CHECK(prompt == nullptr || prompt == reply + stored - 1);
            }
            break;
        }
    }
    return 0;
}
