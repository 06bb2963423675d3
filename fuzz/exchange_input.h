#pragma once

// The layout of an exchange fuzz input, shared by the fuzz target and the seed writer:
//
//   byte 0      routine (modulo 5, see ExchangeRoutine)
//   bytes 1-2   reply buffer size (big-endian, modulo 1100; 0 is a valid case)
//   byte 3      bit 0: the adapter echoes; bits 1-4: virtual milliseconds per delivered byte;
//               bit 5: the exactly-once rules (ExactlyOnce) for the three exchanges; bit 6: with
//               them, the adapter is already known to echo
//   bytes 4-5   deadline / per-byte timeout in ms (modulo 6000)
//   byte 6      command: below the table's size one of the adapter commands the flows send,
//               otherwise a length byte and that many bytes of command text follow
//   bytes 7-10  write failure mask (bit i: write i fails)
//   the rest    the bytes the adapter sends, in order

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/support/fuzz_channel.h"
#include "fuzz/support/fuzz_input.h"

namespace korvane::fuzz {

enum class ExchangeRoutine : std::uint8_t {
    kCommand,        // exchangeCommand
    kCommandLine,    // exchangeCommandLine
    kWithRetry,      // exchangeWithRetry
    kSendAndPrompt,  // sendCommand, then readPromptReply
    kReplyLine,      // readReplyLine
};
inline constexpr int kExchangeRoutines = 5;

inline constexpr std::array<const char*, 14> kExchangeCommands = {
    "ATE1\r",       "ATI\r",
    "QXI\r",        "QXPROI\r",
    "QXVERS\r",     "QXUPDT03\r",
    "QXFL\r",       "QXDLED\r",
    "QX DLBD 02\r", "QXDLZNB540\r",
    "QXBL00\r",     "QXDLDT0001AA\r",
    "\r",           "QXBL000102030405060708090A0B0C0D0E0F\r",
};

struct ExchangeCase {
    ExchangeRoutine routine = ExchangeRoutine::kCommand;
    bool exactlyOnce = false;
    bool knownToEcho = false;
    std::size_t replySize = 0;
    int deadlineMs = 0;
    int writeTimeoutMs = 0;
    int byteTimeoutMs = 0;
    std::string command;
    FuzzChannelScript script;
};

inline ExchangeCase readExchangeCase(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    ExchangeCase c;
    c.routine = static_cast<ExchangeRoutine>(input.byte() % kExchangeRoutines);
    c.replySize = input.word() % 1100;
    const std::uint8_t flags = input.byte();
    c.script.echo = (flags & 1) != 0;
    c.script.byteDelayMs = (flags >> 1) & 0x0F;
    c.exactlyOnce = (flags & 0x20) != 0;
    c.knownToEcho = (flags & 0x40) != 0;
    c.deadlineMs = input.word() % 6000;
    c.writeTimeoutMs = c.deadlineMs;
    c.byteTimeoutMs = c.deadlineMs;
    const std::uint8_t choice = input.byte();
    c.command = choice < kExchangeCommands.size() ? std::string(kExchangeCommands[choice])
                                                  : input.shortText();
    c.script.writeFailures = input.dword();
    c.script.stream = input.rest();
    return c;
}

}  // namespace korvane::fuzz
