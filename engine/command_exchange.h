#pragma once

#include <cstddef>

#include "channel/channel.h"
#include "engine/exchange_result.h"

namespace korvane {

// Sending one command to the adapter and collecting its answer. None of these routines reports
// to the user; results tell the calling flow what happened.
//
// Reply buffers. `replySize` is the size of `reply` in bytes, terminator included. The routines
// never write past it and always leave a terminated text in it (when `replySize` is at least 1):
// the reply on success, on failure whatever arrived in this call and was kept (the empty text
// when nothing was). A reply that does not fit fails: as soon as a character would have to be
// kept with no room left for it and the terminator, the routine stops reading and gives
// ReplyTooLong; the buffer then holds the first `replySize - 1` kept characters. Nothing is
// dropped silently, so a caller never mistakes a cut answer for a whole one. An echo is still
// recognised when its last character arrives with the buffer full, so a command as long as
// `replySize - 1` characters still gets its echo discarded. A `reply` of null or a `replySize` of
// 0 gives ReplyTooLong at once, before anything is sent.

// Exactly once. A line or record that the adapter stores twice shifts every later one, and its
// answers carry no sequence number, so the exchanges that send them follow stricter rules, given
// by an ExactlyOnce that lives as long as the download (it learns whether the adapter echoes):
//   - Before the command is written, input that is still waiting and holds any character but CR,
//     LF, NUL and ">" is an answer nobody waited for: StrayAnswer, nothing is written.
//     (The rest of a line-mode answer, "\r>", is not.) Before the download's first command under
//     these rules no line or record has gone out, so nothing waiting can be a late answer to one:
//     it is purged, as before any other command.
//   - When the deadline passes without a complete answer, reading goes on for `graceMs` more, and
//     a complete answer then is the answer to the command already sent. A silent link costs that
//     much more per attempt.
//   - Every answer of an echoing adapter begins with the echo of its command, so a prompt that
//     arrives before the echo of the command just written closes an earlier command's answer:
//     StrayAnswer. Once an answer came with its echo (`adapterEchoes`), an answer counts
//     only after its echo; an adapter that never echoes is judged by the other two rules alone.
// A download that meets StrayAnswer cannot know what the adapter stored and must stop.
inline constexpr int kLateAnswerGraceMs = 3000;

struct ExactlyOnce {
    int graceMs = kLateAnswerGraceMs;
    bool adapterEchoes = false;
    bool commandSent = false;  // a command went out under these rules
};

// Answered with the reply's length including its final ">"; NoCommand, TimedOut, WriteFailed,
// NoByte or ReplyTooLong otherwise. The input is purged first; the echo of the command (and
// anything before it) is discarded; CR and LF are kept; NUL bytes are dropped. Each one-byte read
// is given the whole deadline as its timeout, so one exchange can last up to about twice the
// deadline.
ExchangeReply exchangeCommand(Channel& channel, const char* command, char* reply,
                              std::size_t replySize, int deadlineMs, int writeTimeoutMs);
// As exchangeCommand, but the reply ends with its first CR after the echo; ">" is ordinary text.
ExchangeReply exchangeCommandLine(Channel& channel, const char* command, char* reply,
                                  std::size_t replySize, int deadlineMs, int writeTimeoutMs);
// Up to three exchangeCommand calls, no pause; the first Answered, else the third's result.
ExchangeReply exchangeWithRetry(Channel& channel, const char* command, char* reply,
                                std::size_t replySize, int deadlineMs, int writeTimeoutMs);
// The same three under the exactly-once rules. exchangeWithRetry gives the grace period to its
// first attempt only (a late answer after a resend would be a second copy anyway) and stops at
// StrayAnswer without a further attempt.
ExchangeReply exchangeCommand(Channel& channel, const char* command, char* reply,
                              std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                              ExactlyOnce& once);
ExchangeReply exchangeCommandLine(Channel& channel, const char* command, char* reply,
                                  std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                                  ExactlyOnce& once);
ExchangeReply exchangeWithRetry(Channel& channel, const char* command, char* reply,
                                std::size_t replySize, int deadlineMs, int writeTimeoutMs,
                                ExactlyOnce& once);
// Purges, then writes the whole command: Sent, NoCommand or WriteFailed.
ExchangeResult sendCommand(Channel& channel, const char* command, int writeTimeoutMs);
// As sendCommand, but first looks for an answer nobody waited for: StrayAnswer then.
ExchangeResult sendCommandAfterStrayCheck(Channel& channel, const char* command,
                                          int writeTimeoutMs);
// Whether input already waiting holds an answer nobody waited for (a character other than CR, LF,
// NUL and ">"). Looks without waiting; the bytes it looked at are consumed.
bool takeStrayAnswer(Channel& channel);
// Keeps the echo, drops CR, LF and NUL. Answered with the length including ">"; NoByte when a read
// got no byte within `byteTimeoutMs`; ReplyTooLong. No overall time limit.
ExchangeReply readPromptReply(Channel& channel, char* reply, std::size_t replySize,
                              int byteTimeoutMs);
// Drops LF and NUL; ends at CR (not stored) or ">" (stored). Answered with the number of stored
// characters (0 for an empty line); NoByte when a read got no byte within `byteTimeoutMs`;
// ReplyTooLong.
ExchangeReply readReplyLine(Channel& channel, char* reply, std::size_t replySize,
                            int byteTimeoutMs);

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
