#pragma once

#include <cstddef>

#include "channel/channel.h"

namespace korvane {

// Sending one command to the adapter and collecting its answer. None of these routines reports
// to the user; results tell the calling flow what happened. `replySize` is the size of `reply`
// in bytes, terminator included; a reply never runs past it (see the implementation file's
// header comment for what happens to the excess).

// 1 or more: reply length including its final ">"; -1 empty command or deadline passed; -2 write
// failed; -3 a read got no byte in time. The echo is discarded; CR and LF are kept.
int exchangeCommand(Channel& channel, const char* command, char* reply, std::size_t replySize,
                    int deadlineMs, int writeTimeoutMs);
// As exchangeCommand, but the reply ends with its first CR (after the echo).
int exchangeCommandLine(Channel& channel, const char* command, char* reply, std::size_t replySize,
                        int deadlineMs, int writeTimeoutMs);
// Up to three exchangeCommand calls; the first result of 0 or more, else the third's.
int exchangeWithRetry(Channel& channel, const char* command, char* reply, std::size_t replySize,
                      int deadlineMs, int writeTimeoutMs);
// 0 when written; -1 empty command or failed write.
int sendCommand(Channel& channel, const char* command, int writeTimeoutMs);
// Keeps the echo, drops CR and LF. 1 or more: length including ">"; -1 a read timed out.
int readPromptReply(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs);
// Ends at CR (not stored) or ">" (stored). 1 or more: stored characters plus one; -1 timed out.
int readReplyLine(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs);

// Position in `text` just after the part that matches `prefix` (at most `most` characters).
const char* skipPrefix(const char* text, const char* prefix, int most);
char* skipPrefix(char* text, const char* prefix, int most);
// Removes every `c` from the text in place.
void removeChar(char* text, char c);
// Removes "." and ">", replaces a final "X" by `digit` when one is given ('\0' for none), then the
// atoi rule.
int parseVersionNumber(char* text, char digit);

}  // namespace korvane
