#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"
#include "engine/ati_version_result.h"
#include "engine/command_exchange.h"
#include "engine/flow_context.h"
#include "engine/line_result.h"

namespace korvane {

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
ExchangeReply requestStart(Channel& channel, char* reply, std::size_t replySize);

// Accepted: all lines sent; Stopped; RepeatedThrice: a pair was repeated three times;
// FailedFourTimes: a pair failed four times; StrayAnswer: an answer nobody waited for came, so the
// adapter may hold a line twice (the download stops at once).
LineResult sendAllLines(FlowContext& flow, Channel& channel, const std::uint8_t* data,
                        std::int32_t size, double progressStep);

// Accepted, SendFailed, NotTakenInTime, TypeNotSendable (nothing of that line sent),
// UnexpectedReply, RepeatedThrice or StrayAnswer (see ExactlyOnce). `once` carries what the
// download learned about the adapter's echo from pair to pair; the overload without it starts
// afresh.
LineResult sendLinePair(Channel& channel, const LinePair& pair, ExactlyOnce& once);
LineResult sendLinePair(Channel& channel, const LinePair& pair);

// "QXBL" + the line without its two type digits + "\r"; exchangeWithRetry's result under the
// exactly-once rules.
ExchangeReply sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize,
                       ExactlyOnce& once);
ExchangeReply sendLine(Channel& channel, const char* line, char* reply, std::size_t replySize);

// "QXFL\r": Accepted when the answer (echo kept) begins with "OK"; NoAnswer when the send or read
// failed; Refused otherwise; StrayAnswer when an answer to a line was still waiting (nothing was
// sent then).
LineResult finishDownload(Channel& channel);

// The closing record command, then "QXFL\r": Accepted when both were answered "OK"; NoAnswer or
// Refused otherwise.
LineResult recoverFinish(Channel& channel);
// The same, leaving the last answer in `reply`.
LineResult recoverFinish(Channel& channel, char* reply, std::size_t replySize);

// Sets the ELM327 version that the adapter of model `deviceCode` reports after its new firmware
// is in.
AtiVersionResult adjustAtiVersion(FlowContext& flow, Channel& channel, int deviceCode);

// The fixed closing record command: "QXBL", "FFF1", 129 zeros, "F" and CR.
extern const char kClosingRecordCommand[];

}  // namespace korvane
