#pragma once

#include <cstddef>

#include "channel/channel.h"

namespace korvane {

// Sending one command to the adapter and collecting its answer. None of these routines reports
// to the user; results tell the calling flow what happened.
//
// Reply buffers. `replySize` is the size of `reply` in bytes, terminator included. The routines
// never write past it and always leave a terminated text in it (when `replySize` is at least 1):
// the reply on success, on failure whatever arrived in this call and was kept (the empty text
// when nothing was). A reply that does not fit fails: as soon as a character would have to be
// kept with no room left for it and the terminator, the routine stops reading and gives
// kReplyTooLong; the buffer then holds the first `replySize - 1` kept characters. Nothing is
// dropped silently, so a caller never mistakes a cut answer for a whole one. An echo is still
// recognised when its last character arrives with the buffer full, so a command as long as
// `replySize - 1` characters still gets its echo discarded. A `reply` of null or a `replySize` of
// 0 gives kReplyTooLong at once, before anything is sent.

inline constexpr int kExchangeTimedOut = -1;  // empty command, or the overall deadline passed
inline constexpr int kExchangeWriteFailed = -2;
inline constexpr int kExchangeNoByte = -3;  // one read got no byte within its timeout
inline constexpr int kReplyTooLong = -4;    // the reply did not fit the caller's buffer

// 1 or more: reply length including its final ">"; -1 empty command or deadline passed; -2 write
// failed; -3 a read got no byte in time; -4 the reply did not fit. The input is purged first; the
// echo of the command (and anything before it) is discarded; CR and LF are kept; NUL bytes are
// dropped. Each one-byte read is given the whole deadline as its timeout, so one exchange can last
// up to about twice the deadline.
int exchangeCommand(Channel& channel, const char* command, char* reply, std::size_t replySize,
                    int deadlineMs, int writeTimeoutMs);
// As exchangeCommand, but the reply ends with its first CR after the echo; ">" is ordinary text.
int exchangeCommandLine(Channel& channel, const char* command, char* reply, std::size_t replySize,
                        int deadlineMs, int writeTimeoutMs);
// Up to three exchangeCommand calls, no pause; the first result of 0 or more, else the third's.
int exchangeWithRetry(Channel& channel, const char* command, char* reply, std::size_t replySize,
                      int deadlineMs, int writeTimeoutMs);
// Purges, then writes the whole command. 0 when written; -1 empty command or failed write.
int sendCommand(Channel& channel, const char* command, int writeTimeoutMs);
// Keeps the echo, drops CR, LF and NUL. 1 or more: length including ">"; -1 a read got no byte
// within `byteTimeoutMs`; -4 the reply did not fit. No overall time limit.
int readPromptReply(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs);
// Drops LF and NUL; ends at CR (not stored) or ">" (stored). 1 or more: stored characters plus
// one; -1 a read got no byte within `byteTimeoutMs`; -4 the reply did not fit.
int readReplyLine(Channel& channel, char* reply, std::size_t replySize, int byteTimeoutMs);

// Position in `text` just after the part that matches `prefix`, comparing at most `most`
// characters and stopping at the end of the prefix.
const char* skipPrefix(const char* text, const char* prefix, int most);
char* skipPrefix(char* text, const char* prefix, int most);
// Removes every `c` from the text in place; the text stays terminated.
void removeChar(char* text, char c);
// Removes "." and ">", replaces a final "X" by `digit` when one is given ('\0' for none), then
// reads the leading decimal number by the atoi rule ("2.2.29>" gives 2229, "V2.2" gives 0).
int parseVersionNumber(char* text, char digit);

}  // namespace korvane
