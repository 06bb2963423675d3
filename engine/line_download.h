#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"
#include "engine/command_exchange.h"

namespace korvane {

class UpdateJob;

// The family-2 line download, step by step. runLineDownload (engine/flows.h) runs them in order.

// Room for one line's hex digits and its terminator; a longer line is never sent.
inline constexpr std::size_t kLineCapacity = 256;

// One file line as the line sender holds it: its hex digits and how many the file line had.
struct HexLine {
    char text[kLineCapacity] = {};
    std::size_t digits = 0;

    // Whether the whole line is in `text` (a longer one was cut while reading and must not go
    // out).
    bool fits() const { return digits < kLineCapacity; }
};

// Whether the line download sends this line: it fits and its type is "00", "01" or "02".
bool lineTypeSendable(const HexLine& line);

// Two consecutive lines, sent as one unit.
struct LinePair {
    HexLine a;
    HexLine b;
};

// "QXUPDT03\r" with up to three tries; any answer closed by the prompt is acceptance.
int requestStart(Channel& channel, char* reply, std::size_t replySize);

// 1: all lines sent; -1: stopped on the stop request;
// -4: a pair was repeated three times; -5: a pair failed four times; -6 (kLinesStrayAnswer): an
// answer nobody waited for came, so the adapter may hold a line twice (the download stops at once).
inline constexpr int kLinesStrayAnswer = -6;
int sendAllLines(UpdateJob& job, Channel& channel, const std::uint8_t* data, std::int32_t size,
                 double progressStep);

// 0: accepted; -1: a send failed or a line was not taken in time; -2: a line's type is not "00",
// "01" or "02" (or the line is too long to send), nothing of it sent; -3: unexpected answer;
// -4: the adapter asked for the whole pair three times; -5 (kPairStrayAnswer): an answer nobody
// waited for came (see ExactlyOnce). `once` carries what the download learned about the adapter's
// echo from pair to pair; the overload without it starts afresh.
inline constexpr int kPairStrayAnswer = -5;
int sendLinePair(Channel& channel, const LinePair& pair, ExactlyOnce& once);
int sendLinePair(Channel& channel, const LinePair& pair);

// "QXBL" + the line without its two type digits + "\r"; exchangeWithRetry's result under the
// exactly-once rules.
int sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize,
             ExactlyOnce& once);
int sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize);

// "QXFL\r": 0 when the answer (echo kept) begins with "OK"; -1 send or read failed; -2 otherwise;
// kExchangeStrayAnswer when an answer to a line was still waiting (nothing was sent then).
int finishDownload(Channel& channel);

// The closing record command, then "QXFL\r": 1 when both were answered "OK"; negative otherwise.
int recoverFinish(Channel& channel);

// Sets the ELM327 version that the adapter reports after its new firmware is in. 1: set; -1: code
// outside the list; -2: no version letter; -3: version text too long; -4: not confirmed.
int adjustAtiVersion(UpdateJob& job, Channel& channel, int code);

// The fixed closing record command: "QXBL", "FFF1", 129 zeros, "F" and CR.
extern const char kClosingRecordCommand[];

}  // namespace korvane
