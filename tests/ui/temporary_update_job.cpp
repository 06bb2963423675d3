// TEMPORARY: stands in for engine/update_job.cpp until the engine's job is merged; only the
// parts the scripted FakeJob relies on (construction, the sink, the stop request). Remove after
// merging the engine.
#include "engine/update_job.h"

namespace korvane {

UpdateJob::UpdateJob() = default;
UpdateJob::UpdateJob(ChannelFactory factory) : factory_(std::move(factory)) {}
UpdateJob::~UpdateJob() = default;

void UpdateJob::setReportSink(void* userData, ReportSink sink) {
    jobLock_ = std::make_unique<CriticalLock>();
    stopRequest_ = false;
    reporter_ = Reporter(userData, sink);
}

int UpdateJob::openPort(std::string_view, std::string_view) {
    return -1;
}
void UpdateJob::releasePort(int) {}
void UpdateJob::runUpdate(int) {}
void UpdateJob::readVersions(int) {}

void UpdateJob::requestStop() {
    std::lock_guard<CriticalLock> lock(*jobLock_);
    stopRequest_ = true;
}

bool UpdateJob::stopRequested() {
    std::lock_guard<CriticalLock> lock(*jobLock_);
    return stopRequest_;
}

bool UpdateJob::slotInUse(int) const {
    return false;
}
Channel* UpdateJob::slotChannel(int) const {
    return nullptr;
}

}  // namespace korvane
