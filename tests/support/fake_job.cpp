#include "tests/support/fake_job.h"

#include <chrono>

namespace korvane::test {

void Gate::open() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        isOpen_ = true;
    }
    opened_.notify_all();
}

bool Gate::wait(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return opened_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return isOpen_; });
}

int FakeJob::openPort(const PortChoice& port, std::string_view path) {
    ++openCount;
    lastDescriptor = portChoiceText(port);
    lastPath = std::string(path);
    if (forwardOpen) {
        return UpdateJob::openPort(port, path);
    }
    if (openResult < 0) {
        reportText(openFailureText);
    } else {
        reportText("Port is opened!\r\n");
    }
    return openResult;
}

void FakeJob::releasePort(int slot) {
    ++releaseCount;
    lastReleasedSlot = slot;
    if (forwardOpen) {
        UpdateJob::releasePort(slot);
    }
}

JobOutcome FakeJob::runUpdate(int slot) {
    ++updateCount;
    if (updateWork) {
        updateWork(*this, slot);
    }
    return outcome;
}

JobOutcome FakeJob::readVersions(int slot) {
    ++readCount;
    if (readWork) {
        readWork(*this, slot);
    }
    return outcome;
}

}  // namespace korvane::test
