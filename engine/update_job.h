#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "channel/channel.h"
#include "channel/channel_factory.h"
#include "channel/critical_lock.h"
#include "engine/model_code.h"
#include "engine/report_sink.h"
#include "engine/update_file.h"

namespace korvane {

// One open connection to an adapter and the firmware path that goes with it.
struct PortSlot {
    std::unique_ptr<Channel> channel;  // free exactly when empty
    std::string path;                  // at most kMaxPathLength characters
};

// Runs firmware updates and version read-outs on adapters held in its 256 slots, and reports
// everything through its ReportSink. Each job owns its slots, file area, lock and stop request,
// so several jobs can run side by side.
class UpdateJob {
public:
    static constexpr int kSlotCount = 256;
    static constexpr std::size_t kMaxPathLength = 1023;

    UpdateJob();
    explicit UpdateJob(ChannelFactory factory);
    virtual ~UpdateJob();
    UpdateJob(const UpdateJob&) = delete;
    UpdateJob& operator=(const UpdateJob&) = delete;

    virtual void setReportSink(void* userData, ReportSink sink);
    // Slot index 0..255, or -1 after a failure text has been reported.
    virtual int openPort(std::string_view descriptor, std::string_view path);
    virtual void releasePort(int slot);
    virtual void runUpdate(int slot);
    virtual void readVersions(int slot);

    // The stop request, read and written only under the job lock.
    void requestStop();
    bool stopRequested();

    void reportText(const char* text) const { reporter_.reportText(text); }
    void reportProgress(int percent) const { reporter_.reportProgress(percent); }
    const Reporter& reporter() const { return reporter_; }

    // What the flows share with the job.
    UpdateFile& file() { return file_; }
    ModelCode modelCode = kModelUnknown;  // the file's model
    int deviceCode = kModelUnknown;       // the adapter's model, as its answers confirmed
    bool appMode = false;                 // the adapter runs its application firmware

    // For tests and front ends: whether a slot holds a channel, and that channel.
    bool slotInUse(int slot) const;
    Channel* slotChannel(int slot) const;

private:
    ChannelFactory factory_;
    Reporter reporter_;
    std::array<PortSlot, kSlotCount> slots_;
    UpdateFile file_;
    std::unique_ptr<CriticalLock> jobLock_;
    bool stopRequest_ = false;
};

}  // namespace korvane
