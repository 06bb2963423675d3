#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "channel/channel.h"
#include "channel/channel_factory.h"
#include "engine/failure_facts.h"
#include "engine/flow_context.h"
#include "engine/flow_result.h"
#include "engine/job_kind.h"
#include "engine/job_outcome.h"
#include "engine/model_code.h"
#include "engine/prepared_update_file.h"
#include "engine/report_sink.h"
#include "engine/run_facts.h"
#include "engine/run_observer.h"
#include "engine/update_file.h"
#include "engine/version_report_result.h"
#include "platform/critical_lock.h"
#include "platform/stop_signal.h"

namespace korvane {

class AnswerWatch;
class UpdateJob;

// One open connection to an adapter and the firmware path that goes with it.
struct PortSlot {
    std::unique_ptr<Channel> channel;  // free exactly when empty
    std::string path;                  // at most kMaxPathLength characters
    PortRequest port;                  // what was opened, for the words of a lost link
};

// The steps the job hands over to: the two download flows and the two version reports. A
// default-built JobFlows holds the real ones (engine/flows.h); tests substitute their own.
struct JobFlows {
    std::function<FlowOutcome(FlowContext&, Channel&)> lineDownload;
    std::function<FlowOutcome(FlowContext&, Channel&)> blockDownload;
    std::function<VersionReportResult(FlowContext&, Channel&, ModelCode)> deviceVersion;
    std::function<VersionReportResult(FlowContext&, Channel&, ModelCode)> adapterVersion;

    JobFlows();
};

// Runs firmware updates and version read-outs on adapters held in its 256 slots, and reports
// everything to its JobReports. Each job owns its slots, file area, lock and stop request,
// so several jobs can run side by side. It is the context of the flows it runs.
class UpdateJob : public FlowContext {
public:
    static constexpr int kSlotCount = 256;
    static constexpr std::size_t kMaxPathLength = 1023;

    UpdateJob();
    explicit UpdateJob(ChannelFactory factory);
    UpdateJob(ChannelFactory factory, JobFlows flows);
    ~UpdateJob() override;
    UpdateJob(const UpdateJob&) = delete;
    UpdateJob& operator=(const UpdateJob&) = delete;

    // Stores where the reports go (nowhere for none) and clears the stop request.
    virtual void setReports(JobReports* reports);
    // The same for a report callback and its user data, handed every report through SinkReports.
    void setReportSink(void* userData, ReportSink sink);
    // Slot index 0..255, or -1 after a failure text has been reported. A path longer than
    // kMaxPathLength characters, or one holding a NUL byte, is refused with "**Failed** File is
    // Invalid!\r\n" rather than cut (a cut path could name another file); no port is opened. A
    // choice without a request is refused with "**Failed** Port parameter error!\r\n" and its
    // reason, after the slot and path checks that any port goes through.
    virtual int openPort(const PortChoice& port, std::string_view path);
    // The same for a request built directly (the command line's ports).
    int openPort(const PortRequest& port, std::string_view path);
    // The same for the port's descriptor text ("com|NAME:BAUD", "tcp|IP:PORT"), parsed here once.
    int openPort(std::string_view descriptor, std::string_view path);
    // Destroys the slot's channel and frees the slot; nothing on a free or unknown slot.
    virtual void releasePort(int slot);
    // The one entry point of both actions on the slot's adapter, for every front end: an update
    // (runUpdate; with `prepared`, that file, loaded and checked already, e.g. once for several
    // adapters, is sent as it is, and a refused one is told as runUpdate tells it) or a read-out
    // (readVersions).
    JobOutcome run(int slot, JobKind kind, const PreparedUpdateFile* prepared = nullptr);
    // The whole update on the slot's channel; everything is reported, and the outcome says how
    // it ended. Nothing on a free slot (Failed, no text).
    virtual JobOutcome runUpdate(int slot);
    // Reports the adapter's two version texts: Finished when at least one was reported, else
    // Failed. Nothing on a free slot (Failed, no text).
    virtual JobOutcome readVersions(int slot);
    // An update on `port` with the file at `path` that was refused for its file before the port
    // was opened: reports nothing, the observer hears of it as a whole run, and the outcome is
    // the refusal.
    JobOutcome noteFileRefusal(const PortRequest& port, std::string_view path,
                               const PreparedUpdateFile& prepared);

    // The stop request, read and written only under the job lock.
    void requestStop();
    bool stopRequested() override;

    void reportText(const char* text) const override { reporter_.reportText(text); }
    // Reports a failure or refusal text; the first one of a run becomes its outcome's text. After
    // a stop that came before download mode nothing is reported: the run ends because it was
    // stopped, and what failed then failed only because of that.
    void reportFailure(const char* text) override;
    // Reports a reason line (what went wrong and what to try); the first one after the run's
    // first failure becomes its outcome's reason.
    void reportReasonLine(const std::string& line);
    // What a flow learned when it failed or refused, for the run's reason line; the first account
    // of a run is kept.
    void noteFailure(FailureFacts facts) override;
    // Called by a flow just before it sends a command that puts the adapter into download mode:
    // from then on the adapter is taken to wait in download mode (an unanswered command may have
    // been taken), and a failure is no longer a refusal. The observer hears of it once per run,
    // with what `known` tells of the adapter. False when a stop was requested before the first
    // entry: the command must not go out, and the adapter is left as it was. Called again in
    // download mode, it is true.
    [[nodiscard]] bool enterDownloadMode(const AdapterFacts& known) override;
    // Whether the adapter has been asked into download mode in this run (and did not refuse).
    bool inDownloadMode() const override { return downloadMode_; }
    // Called by a flow when the adapter's answer refused every download-mode command sent so far:
    // the adapter stays untouched.
    void noteDownloadModeRefused() override;
    // What the current (or last) run left the adapter in, so far.
    AdapterState adapterState() const;
    // Called when the answer to `command` (its CR left out of the reason) was line noise: that is
    // then the run's reason.
    void noteLineNoise(const char* command) override;
    // Called with each of the adapter's version texts as it is reported.
    void noteDeviceVersion(const std::string& text) override;
    void noteAdapterVersion(const std::string& text) override;
    // Who hears how each run goes (none for nullptr); set before a run, not during one.
    void setRunObserver(RunObserver* observer) { observer_ = observer; }
    // What the current (or last) run learned.
    const RunFacts& runFacts() const { return runFacts_; }
    void reportProgress(int percent) const override { reporter_.reportProgress(percent); }
    const Reporter& reporter() const { return reporter_; }

    // The file the flows send, read-only: during a run the one it loaded (or was handed), else
    // an empty one.
    const UpdateFile& file() const override;
    // Hands the flows a file outside a run (tests of the flows).
    void useFile(std::shared_ptr<const UpdateFile> file) { file_ = std::move(file); }

    // For tests and front ends: whether a slot holds a channel, and that channel.
    bool slotInUse(int slot) const;
    Channel* slotChannel(int slot) const;

private:
    // An update of `prepared`; none: of the slot's file, loaded and checked now.
    JobOutcome runPreparedUpdate(int slot, const PreparedUpdateFile* prepared);
    PortSlot* heldSlot(int slot);
    // The lowest free slot when `path` can be kept whole, else -1 after the failure text.
    int freeSlotFor(std::string_view path);
    FlowOutcome runFamilyFlow(Channel& channel);
    // Keeps what a flow learned about the adapter for the run's record.
    void keepAdapterFacts(const AdapterFacts& adapter);
    // The update of a run begun on `held`, from the prepared file on.
    JobOutcome runPrepared(PortSlot& held, const PreparedUpdateFile& prepared);
    // The texts of a file refused, in the order the steps that refused it tell them.
    void reportFileRefusal(const PreparedUpdateFile& prepared);
    // After a failed run, once its fixed texts are out: the reason line of a lost link, else of
    // an adapter that stopped answering, else of what the flow noted.
    void reportReason(const AnswerWatch& watch);
    // The reason line of the run's lost link, once per run, when the link is lost.
    void reportLinkLoss();
    // The reason line of an answer that was line noise, when one came in this run (true then).
    bool reportLineNoise();
    // Starts a run on `held`: no failure and no lost link told yet.
    void beginRun(PortSlot& held, bool updating);
    JobOutcome endedWithout();
    // Whether the stop request is what ended this run: it came before download mode was tried, or
    // in download mode. A stop that comes once the adapter has refused download mode ends
    // nothing: the refusal stands.
    bool stopEndsRun();
    // Hands `outcome` to the observer, then to the caller.
    JobOutcome endRun(JobOutcome outcome);
    // A port that could not be opened for a run: the observer hears of it as a whole run.
    void noteOpenFailure(const PortChoice& port, std::string_view path);

    ChannelFactory factory_;
    JobFlows flows_;
    Reporter reporter_;
    SinkReports sinkReports_;  // what setReportSink stored
    std::array<PortSlot, kSlotCount> slots_;
    // Held from the check to the end of a run only; shared with the other adapters of a batch.
    std::shared_ptr<const UpdateFile> file_;
    // The job lock guards only the stop request. It lives as long as the job, so the stop request
    // can be read or set at any time, also before setReports.
    CriticalLock jobLock_;
    bool stopRequest_ = false;
    // Set with the stop request (after it), cleared with it, so that a wait that watches it (a TCP
    // connect) ends at once.
    StopSignal stopSignal_;
    // What the current run learned about its outcome; used by the thread that runs it.
    std::string firstFailure_;
    std::string firstReason_;
    bool downloadMode_ = false;
    bool finished_ = false;  // the run's download was closed properly
    FailureFacts facts_;     // the flow's account of the current run's failure
    RunFacts runFacts_;
    bool changeTold_ = false;  // the observer heard that the adapter is about to be changed
    RunObserver* observer_ = nullptr;
    PortSlot* running_ = nullptr;  // the slot of the current (or last) run
    bool updating_ = false;        // the run is an update, not a read-out
    bool lossTold_ = false;
    std::string noisyCommand_;  // the first command answered with line noise in this run
};

}  // namespace korvane
