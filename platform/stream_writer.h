#pragma once

#include <memory>
#include <string_view>

#include "platform/tick.h"

namespace korvane {

enum class StandardStream { Output, Error };

// Writes to one of the process's standard streams for the one thread that drives it, in waits
// that end at a deadline or when another thread calls wake(): a reader that stalls holds that
// thread no longer than it chooses, and never anyone else.
class StreamWriter {
public:
    virtual ~StreamWriter() = default;
    // Writes a first part of `bytes`: the count written; 0 when the deadline passed or wake() was
    // called before the stream could take any; -1 when the stream is broken (its reader is gone,
    // or it is closed), so nothing written later will arrive either.
    virtual long write(std::string_view bytes, const Deadline& deadline) = 0;
    // Ends the current write's wait, or the next one's. From any thread.
    virtual void wake() = 0;

protected:
    StreamWriter() = default;
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;
};

std::unique_ptr<StreamWriter> standardStreamWriter(StandardStream stream);

}  // namespace korvane
