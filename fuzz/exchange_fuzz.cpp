// The command-exchange routines against an adapter whose every byte comes from the fuzz input:
// echoes, prompts, NUL bytes, line ends, overlong replies, silence, slow bytes and failed writes.
//
// Input: routine, reply buffer size, flags (echo, byte delay), deadline, command choice, write
// failure mask, then the adapter's bytes. See exchange_input.h.
//
// Properties: no memory or undefined-behaviour fault, and the reply buffer is exactly as large as
// the routine is told, so any write past it is caught; results are one of the documented ones;
// the reply is always terminated inside the buffer; a success carries the documented ending and
// length; exchangeWithRetry writes at most three times; the exactly-once variants also give
// StrayAnswer, and nothing else new.
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

bool knownFailure(ExchangeResult result) {
    return result == ExchangeResult::NoCommand || result == ExchangeResult::TimedOut ||
           result == ExchangeResult::WriteFailed || result == ExchangeResult::NoByte ||
           result == ExchangeResult::ReplyTooLong;
}

// The result of a routine that reads until its reply ends: Answered with at least one character,
// NoByte or ReplyTooLong.
bool readResult(const ExchangeReply& got, int shortest) {
    return (got.answered() && got.length >= shortest) || got.result == ExchangeResult::NoByte ||
           got.result == ExchangeResult::ReplyTooLong;
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
    ExchangeReply result;
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
            FUZZ_CHECK((result.answered() && result.length >= 1) || knownFailure(result.result) ||
                       (c.exactlyOnce && result.result == ExchangeResult::StrayAnswer));
            if (reply == nullptr) {
                FUZZ_CHECK(result.result == ExchangeResult::ReplyTooLong &&
                           channel.writes().empty());
                break;
            }
            checkReply(reply, c.replySize);
            if (result.answered()) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result.length));
                FUZZ_CHECK(reply[result.length - 1] == (line ? '\r' : '>'));
                // Only the last character is the end character.
                FUZZ_CHECK(std::memchr(reply, line ? '\r' : '>', result.length - 1) == nullptr);
            }
            if (commandLength == 0) {
                FUZZ_CHECK(result.result == ExchangeResult::NoCommand && channel.writes().empty());
            }
            break;
        }
        case ExchangeRoutine::kWithRetry: {
            result = c.exactlyOnce ? exchangeWithRetry(channel, command, reply, c.replySize,
                                                       c.deadlineMs, c.writeTimeoutMs, once)
                                   : exchangeWithRetry(channel, command, reply, c.replySize,
                                                       c.deadlineMs, c.writeTimeoutMs);
            FUZZ_CHECK((result.answered() && result.length >= 1) || knownFailure(result.result) ||
                       (c.exactlyOnce && result.result == ExchangeResult::StrayAnswer));
            FUZZ_CHECK(channel.writes().size() <= 3);
            if (reply != nullptr) {
                checkReply(reply, c.replySize);
            }
            if (result.answered()) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result.length));
                FUZZ_CHECK(reply[result.length - 1] == '>');
            }
            break;
        }
        case ExchangeRoutine::kSendAndPrompt: {
            const ExchangeResult sent = sendCommand(channel, command, c.writeTimeoutMs);
            FUZZ_CHECK(sent == ExchangeResult::Sent || sent == ExchangeResult::NoCommand ||
                       sent == ExchangeResult::WriteFailed);
            FUZZ_CHECK((sent == ExchangeResult::NoCommand) == (commandLength == 0));
            result = readPromptReply(channel, reply, c.replySize, c.byteTimeoutMs);
            FUZZ_CHECK(readResult(result, 1));
            if (reply == nullptr) {
                FUZZ_CHECK(result.result == ExchangeResult::ReplyTooLong);
                break;
            }
            checkReply(reply, c.replySize);
            if (result.answered()) {
                FUZZ_CHECK(std::strlen(reply) == static_cast<std::size_t>(result.length));
                FUZZ_CHECK(reply[result.length - 1] == '>');
                FUZZ_CHECK(std::strpbrk(reply, "\r\n") == nullptr);
            }
            break;
        }
        case ExchangeRoutine::kReplyLine: {
            result = readReplyLine(channel, reply, c.replySize, c.byteTimeoutMs);
            FUZZ_CHECK(readResult(result, 0));
            if (reply == nullptr) {
                FUZZ_CHECK(result.result == ExchangeResult::ReplyTooLong);
                break;
            }
            checkReply(reply, c.replySize);
            if (result.answered()) {
                const std::size_t stored = std::strlen(reply);
                FUZZ_CHECK(stored == static_cast<std::size_t>(result.length));
                FUZZ_CHECK(std::strpbrk(reply, "\r\n") == nullptr);
                const char* prompt = std::strchr(reply, '>');
                FUZZ_CHECK(prompt == nullptr || prompt == reply + stored - 1);
            }
            break;
        }
    }
    return 0;
}
