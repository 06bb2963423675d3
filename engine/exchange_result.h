#pragma once

namespace korvane {

// How sending one command, or collecting one reply, ended (engine/command_exchange.h).
enum class ExchangeResult {
    Answered,      // a complete reply is in the caller's buffer
    Sent,          // the command was written whole (the routines that only send)
    NoCommand,     // the command was empty or missing: nothing was sent
    TimedOut,      // the overall deadline (and any grace period) passed without a complete reply
    WriteFailed,   // the command could not be written
    NoByte,        // one read got no byte within its timeout
    ReplyTooLong,  // the reply did not fit the caller's buffer
    // An answer came that no exchange waited for: the adapter may have acted on a command twice.
    StrayAnswer,
};

// A result and, for Answered, the reply's length in characters as the routine counts it.
struct ExchangeReply {
    ExchangeResult result = ExchangeResult::TimedOut;
    int length = 0;

    bool answered() const { return result == ExchangeResult::Answered; }
    friend bool operator==(const ExchangeReply&, const ExchangeReply&) = default;
};

}  // namespace korvane
