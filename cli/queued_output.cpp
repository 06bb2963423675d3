#include "cli/queued_output.h"

#include <chrono>
#include <iostream>
#include <utility>

namespace korvane {

namespace {

// How long one write waits for room before the output thread looks whether it is given up.
constexpr int kWriteSliceMs = 100;
// A text that piles up without a flush goes to the queue once it is this long.
constexpr std::size_t kGatheredMost = 4096;
// How long finish() waits for the output thread to end once it has been woken.
constexpr auto kEndWait = std::chrono::milliseconds(500);

std::size_t indexOf(StandardStream stream) {
    return stream == StandardStream::Output ? 0 : 1;
}

}  // namespace

QueuedOutput::QueuedOutput()
    : QueuedOutput(standardStreamWriter(StandardStream::Output),
                   standardStreamWriter(StandardStream::Error)) {
    std::cout.flush();
    std::cerr.flush();
    replaced_[0] = std::cout.rdbuf(&outBuffer_);
    replaced_[1] = std::cerr.rdbuf(&errBuffer_);
}

QueuedOutput::QueuedOutput(std::unique_ptr<StreamWriter> out, std::unique_ptr<StreamWriter> err) {
    core_->writers[0] = std::move(out);
    core_->writers[1] = std::move(err);
    errStream_.setf(std::ios::unitbuf);  // as std::cerr: every text goes out at once
    thread_ = std::thread([core = core_] { core->run(); });
}

QueuedOutput::~QueuedOutput() {
    finish();
}

QueuedOutput::Buffer::int_type QueuedOutput::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char one = traits_type::to_char_type(c);
    xsputn(&one, 1);
    return c;
}

std::streamsize QueuedOutput::Buffer::xsputn(const char* text, std::streamsize count) {
    std::string full;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        gathered_.append(text, static_cast<std::size_t>(count));
        if (gathered_.size() < kGatheredMost) {
            return count;
        }
        full.swap(gathered_);
    }
    core_.queue(stream_, std::move(full));
    return count;
}

int QueuedOutput::Buffer::sync() {
    std::string gathered;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        gathered.swap(gathered_);
    }
    core_.queue(stream_, std::move(gathered));
    return 0;
}

void QueuedOutput::Core::queue(StandardStream stream, std::string text) {
    if (text.empty()) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(mutex);
        if (stopping) {
            return;
        }
        pending.add(stream, std::move(text));
    }
    changed.notify_all();
}

void QueuedOutput::Core::run() {
    std::unique_lock<std::mutex> hold(mutex);
    for (;;) {
        // Idle waits are bounded too; nothing is lost by looking again.
        changed.wait_for(hold, std::chrono::seconds(1),
                         [this] { return stopping || !pending.empty(); });
        if (stopping) {
            break;
        }
        std::optional<PendingOutput::Piece> piece = pending.take();
        if (!piece) {
            continue;
        }
        writing = true;
        hold.unlock();
        writeWhole(*piece);
        hold.lock();
        writing = false;
        changed.notify_all();
    }
    threadEnded = true;
    changed.notify_all();
}

void QueuedOutput::Core::writeWhole(const PendingOutput::Piece& piece) {
    const std::size_t which = indexOf(piece.stream);
    std::string_view rest = piece.text;
    while (!rest.empty() && !broken[which] && !givenUp.load()) {
        const long moved = writers[which]->write(rest, Deadline(kWriteSliceMs));
        if (moved < 0) {
            broken[which] = true;  // nobody reads it any more; the rest is dropped
            break;
        }
        rest.remove_prefix(static_cast<std::size_t>(moved));
        if (moved > 0) {
            std::lock_guard<std::mutex> hold(mutex);
            written += static_cast<std::size_t>(moved);
            changed.notify_all();
        }
    }
}

void QueuedOutput::finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    outStream_.flush();
    errStream_.flush();
    Core& core = *core_;
    {
        std::unique_lock<std::mutex> hold(core.mutex);
        // As long as the reader takes something, and not long after it stops.
        std::size_t seen = core.written;
        auto stalledSince = std::chrono::steady_clock::now();
        while (!core.pending.empty() || core.writing) {
            core.changed.wait_for(hold, std::chrono::milliseconds(50));
            const auto now = std::chrono::steady_clock::now();
            if (core.written != seen) {
                seen = core.written;
                stalledSince = now;
            } else if (now - stalledSince >= std::chrono::milliseconds(kStallMs)) {
                break;
            }
        }
        core.stopping = true;
    }
    core.givenUp.store(true);
    core.changed.notify_all();
    for (const auto& writer : core.writers) {
        writer->wake();
    }
    bool ended = false;
    {
        std::unique_lock<std::mutex> hold(core.mutex);
        ended = core.changed.wait_for(hold, kEndWait, [&core] { return core.threadEnded; });
    }
    if (ended) {
        thread_.join();
    } else {
        // Held in a write the system would not cut short: it keeps the core alive and goes with
        // the process.
        thread_.detach();
    }
    if (replaced_[0] != nullptr) {
        std::cout.rdbuf(replaced_[0]);
        std::cerr.rdbuf(replaced_[1]);
    }
}

}  // namespace korvane
