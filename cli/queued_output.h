#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include "cli/pending_output.h"
#include "platform/stream_writer.h"

namespace korvane {

// korvane-fw's standard output and error, written by an output thread of their own, so that a
// reader that is slow, stalled or gone never ends or slows an update: whoever writes only queues
// the text (PendingOutput, kBound bytes at most; beyond it the oldest lines are dropped with a
// marker) and never waits for the reader. The two streams keep one order between them.
//
// At the end, finish() waits for what is queued to be written as long as the reader keeps
// taking it, but no more than kStallMs for a reader that takes nothing; whatever is left then is
// dropped.
class QueuedOutput {
public:
    static constexpr std::size_t kBound = 256 * 1024;
    static constexpr int kStallMs = 1000;

    // The process's standard streams; std::cout and std::cerr write through it until finish().
    QueuedOutput();
    // Any two writers, which `out()` and `err()` write through.
    QueuedOutput(std::unique_ptr<StreamWriter> out, std::unique_ptr<StreamWriter> err);
    ~QueuedOutput();
    QueuedOutput(const QueuedOutput&) = delete;
    QueuedOutput& operator=(const QueuedOutput&) = delete;

    std::ostream& out() { return outStream_; }
    std::ostream& err() { return errStream_; }
    // Writes out what is queued as told above and ends the output thread. Later writes are
    // dropped. Safe to call more than once.
    void finish();

private:
    // What the output thread shares with the writers; the thread holds it too, so that a thread
    // left in a write the system would not cut short never outlives it.
    struct Core {
        std::unique_ptr<StreamWriter> writers[2];
        std::mutex mutex;
        std::condition_variable changed;
        PendingOutput pending{kBound};
        bool writing = false;   // the output thread holds a piece
        bool stopping = false;  // no more pieces are queued or taken
        bool threadEnded = false;
        std::size_t written = 0;           // bytes written so far
        std::atomic<bool> givenUp{false};  // what is still being written is dropped
        bool broken[2] = {false, false};   // the output thread's own

        void queue(StandardStream stream, std::string text);
        void run();
        // Writes the piece whole unless its stream breaks or the output is given up.
        void writeWhole(const PendingOutput::Piece& piece);
    };

    // Hands what is written to the queue at each flush (and whenever a long text has piled up),
    // from any thread.
    class Buffer : public std::streambuf {
    public:
        Buffer(Core& core, StandardStream stream) : core_(core), stream_(stream) {}

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

    private:
        Core& core_;
        StandardStream stream_;
        std::mutex mutex_;
        std::string gathered_;
    };

    std::shared_ptr<Core> core_ = std::make_shared<Core>();
    Buffer outBuffer_{*core_, StandardStream::Output};
    Buffer errBuffer_{*core_, StandardStream::Error};
    std::ostream outStream_{&outBuffer_};
    std::ostream errStream_{&errBuffer_};
    std::streambuf* replaced_[2] = {nullptr, nullptr};  // std::cout's and std::cerr's own
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace korvane
