#pragma once

#include <cstddef>

#include "channel/channel.h"
#include "engine/flow_context.h"

namespace korvane {

// The queries of identification, version read-out and version setting: one command and its
// prompt reply, 2000 ms for the write and for each byte, echo kept.

// Sends `command` and collects its prompt reply into `reply`. The outcome is not looked at: a
// failed send or read leaves a partial or empty answer, which the caller's tests then refuse.
// An answer that is line noise (isLineNoise) is no answer: `reply` is left empty and the run
// notes the noise for its reason line.
void queryAdapter(FlowContext& flow, Channel& channel, const char* command, char* reply,
                  std::size_t replySize);

// Moves the text that follows the echo `echo` (skipPrefix over the whole echo) to the start of
// `reply`.
void dropEcho(char* reply, const char* echo);

}  // namespace korvane
