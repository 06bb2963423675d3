#pragma once

namespace korvane {

// How a step of the family-2 line download ended (engine/line_download.h).
enum class LineResult {
    Accepted,  // the pair was taken; every line was sent; the download was closed with "OK"
    Stopped,   // the stop request ended the download before the next pair
    // A pair's line: its send failed, or the adapter did not take it within its first four sends.
    SendFailed,
    NotTakenInTime,
    TypeNotSendable,  // a line's type is not "00", "01" or "02" (or it is too long): not sent
    UnexpectedReply,  // an answer that is neither a repeat request nor acceptance
    RepeatedThrice,   // the adapter asked for the whole pair three times
    FailedFourTimes,  // one pair failed four times in a row
    // An answer nobody waited for came (see ExactlyOnce): the adapter may hold a line twice.
    StrayAnswer,
    NoAnswer,  // closing the download: a command was not answered
    Refused,   // closing the download: an answer without "OK"
};

}  // namespace korvane
