#pragma once

#include <cstdint>

#include "channel/channel.h"
#include "engine/model_code.h"

namespace korvane {

class UpdateJob;

// The family-1 block download, step by step. runBlockDownload (engine/flows.h) runs them in order.

// The rate the serial link is raised to when the adapter agrees, and the one it returns to.
inline constexpr int kFastLinkBaud = 2000000;
inline constexpr int kNormalLinkBaud = 115200;

// Sends every data record before the information record, then closes the download. 1: done;
// 0: the stop request ended it; -1: a record was not accepted; -2: a record is damaged or the
// adapter refused its data; -3: "QXDLED" was not accepted; other negative: an exchange code.
int sendBlocks(UpdateJob& job, Channel& channel, const std::uint8_t* data, std::int32_t size);

// "QXDLDT" + record text + "\r", up to three tries. The exchange result (which may be negative
// when the adapter answered "OK\r" but the exchange then failed) once an answer holds "OK\r";
// -2: the adapter refused the data ("ERR02" in application mode); -1: three failed tries.
int sendRecord(UpdateJob& job, Channel& channel, const char* recordText);

// "QXDLED\r", up to three tries: the exchange result once accepted, else -1.
int endDownload(Channel& channel);

// Raises the link to `rate` when the adapter agrees. 1: both ends run at the new rate. -1/-2: the
// adapter did not agree (link unchanged); -3: the channel refused the rate; -4/-8: no announcement
// at the new rate (link back at 115200); -5/-6/-7: no confirmation (link stays at the new rate).
int switchToFastLink(Channel& channel, int rate);

}  // namespace korvane
