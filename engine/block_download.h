#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"
#include "engine/command_exchange.h"
#include "engine/model_code.h"

namespace korvane {

class UpdateJob;

// The family-1 block download, step by step. runBlockDownload (engine/flows.h) runs them in order.

// The rate the serial link is raised to when the adapter agrees, and the one it returns to.
inline constexpr int kFastLinkBaud = 2000000;
inline constexpr int kNormalLinkBaud = 115200;

// Whether a data record's text holds its whole announced data and a checksum byte that matches
// it: the block download sends no other record.
bool recordIsSound(const char* text, std::size_t digits);

// Sends every data record before the information record, then closes the download. 1: done;
// 0: the stop request ended it; -1: a record was not accepted, or an answer nobody waited for came
// (the adapter may hold a record twice); -2: a record is damaged or the
// adapter refused its data; -3: "QXDLED" was not accepted; other negative: an exchange code.
int sendBlocks(UpdateJob& job, Channel& channel, const std::uint8_t* data, std::int32_t size);

// "QXDLDT" + record text + "\r", up to three tries. The exchange result (which may be negative
// when the adapter answered "OK\r" but the exchange then failed) once an answer holds "OK\r";
// -2: the adapter refused the data ("ERR02" in application mode); -1: three failed tries;
// kExchangeStrayAnswer: an answer nobody waited for came (see ExactlyOnce), no further try. Only
// the first try gets the grace period. `once` carries what the download learned about the
// adapter's echo from record to record; the overload without it starts afresh.
int sendRecord(UpdateJob& job, Channel& channel, const char* recordText, ExactlyOnce& once);
int sendRecord(UpdateJob& job, Channel& channel, const char* recordText);

// "QXDLED\r", up to three tries under the exactly-once rules: the exchange result once accepted,
// else -1 (at once when an answer nobody waited for came).
int endDownload(Channel& channel, ExactlyOnce& once);
int endDownload(Channel& channel);

// Raises the link to `rate` when the adapter agrees. 1: both ends run at the new rate. -1/-2: the
// adapter did not agree (link unchanged); -3: the channel refused the rate; -4/-8: no announcement
// at the new rate (link back at 115200); -5/-6/-7: no confirmation (link stays at the new rate).
int switchToFastLink(Channel& channel, int rate);

}  // namespace korvane
