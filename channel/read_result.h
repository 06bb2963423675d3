#pragma once

namespace korvane {

// How a channel read ended. Only Read placed the bytes; the others took nothing.
enum class ReadResult {
    Read,      // exactly the count asked for was placed in the buffer
    TimedOut,  // the budget ran out first (a silent far end, or one still on its way)
    LinkLost,  // failed without waiting: the link is lost or closed, the channel is not open, or
               // the count is negative; waiting longer would not have helped
    Stopped,   // the wait was cut short by a stop request (the job's own channel only)
};

}  // namespace korvane
