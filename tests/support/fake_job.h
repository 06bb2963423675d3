#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/update_job.h"

namespace korvane::test {

// A gate a scripted job waits at until the test opens it (bounded: a forgotten gate fails the
// test instead of hanging it).
class Gate {
public:
    void open();
    // True when opened within `timeoutMs`.
    bool wait(int timeoutMs = 10000);

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool isOpen_ = false;
};

// An UpdateJob whose port opening and work are scripted by the test, and which records what the
// window asked of it. Fields written on the worker are read by the test only after the window is
// Idle again, which the worker's last (posted) step orders after them.
class FakeJob : public UpdateJob {
public:
    using Work = std::function<void(FakeJob& job, int slot)>;

    // openPort: when `forwardOpen` is set, the real job opens the port; otherwise `openResult`
    // is returned, after "Port is opened!\r\n" for a slot or `openFailureText` for -1.
    bool forwardOpen = false;
    int openResult = 0;
    const char* openFailureText = "**Failed** Port connection error!\r\n";
    Work updateWork;
    Work readWork;

    int openCount = 0;
    std::string lastDescriptor;  // the descriptor text of the port asked for
    std::string lastPath;
    int updateCount = 0;
    int readCount = 0;
    int releaseCount = 0;
    int lastReleasedSlot = -1;

    using UpdateJob::openPort;
    int openPort(const PortChoice& port, std::string_view path) override;
    void releasePort(int slot) override;
    // What runUpdate and readVersions give back.
    JobOutcome outcome{JobResult::Finished, {}};

    JobOutcome runUpdate(int slot) override;
    JobOutcome readVersions(int slot) override;
};

}  // namespace korvane::test
