#pragma once

#include <cstddef>
#include <cstdint>

#include "channel/channel.h"
#include "engine/adapter_facts.h"
#include "engine/block_result.h"
#include "engine/command_exchange.h"
#include "engine/flow_context.h"
#include "engine/link_switch_result.h"
#include "engine/model_code.h"

namespace korvane {

// The family-1 block download, step by step. runBlockDownload (engine/flows.h) runs them in order.

// The rate the serial link is raised to when the adapter agrees, and the one it returns to.
inline constexpr int kFastLinkBaud = 2000000;
inline constexpr int kNormalLinkBaud = 115200;

// Whether a data record's text holds its whole announced data and a checksum byte that matches
// it: the block download sends no other record.
bool recordIsSound(const char* text, std::size_t digits);

// Sends every data record before the information record, then closes the download. Accepted;
// Stopped; NotAccepted or StrayAnswer (the adapter may hold a record twice), with the record named;
// RecordDamaged (nothing of it sent, the download not closed); DataRefused or RecordTooLong (the
// download is still closed); EndNotAccepted; AnswerBrokenOff (no text of its own). `adapter` is
// what the flow learned before: its mode and the model whose version is reported at the end.
BlockResult sendBlocks(FlowContext& flow, Channel& channel, const std::uint8_t* data,
                       std::int32_t size, const AdapterFacts& adapter);

// "QXDLDT" + record text + "\r", up to three tries, until an answer holds "OK\r": Accepted when
// that answer was complete, NotAccepted when its exchange timed out, AnswerBrokenOff otherwise.
// DataRefused: "ERR02" from an adapter in its application firmware (`appMode`); NotAccepted: three
// failed tries; RecordTooLong; StrayAnswer (see ExactlyOnce), no further try. Only the first try
// gets the grace period. `once` carries what the download learned about the adapter's echo from
// record to record; the overload without it starts afresh.
BlockResult sendRecord(Channel& channel, const char* recordText, bool appMode, ExactlyOnce& once);
BlockResult sendRecord(Channel& channel, const char* recordText, bool appMode);

// "QXDLED\r", up to three tries under the exactly-once rules, until an answer holds "OK\r":
// Accepted when that answer was complete, else NotAccepted; StrayAnswer at once.
BlockResult endDownload(Channel& channel, ExactlyOnce& once);
BlockResult endDownload(Channel& channel);

// Raises the link to `rate` when the adapter agrees.
LinkSwitchResult switchToFastLink(Channel& channel, int rate);

}  // namespace korvane
