#pragma once

#include <string>

#include "engine/adapter_facts.h"
#include "engine/failure_facts.h"
#include "engine/update_file.h"

namespace korvane {

// What the steps of an update or a read-out may ask of the run they belong to: its reports, its
// account of a failure, the stop request, the adapter's passage into download mode, and the update
// file, read-only. What a step learns about the adapter it returns (AdapterFacts); the run keeps
// the rest. Used by the one thread that runs the steps.
class FlowContext {
public:
    virtual ~FlowContext() = default;

    // A text or a progress percent for whoever follows the run.
    virtual void reportText(const char* text) const = 0;
    virtual void reportProgress(int percent) const = 0;
    // A failure or refusal text; the first one of a run becomes its outcome's text.
    virtual void reportFailure(const char* text) = 0;
    // What the step learned when it failed or refused, for the run's reason line; the first
    // account of a run is kept.
    virtual void noteFailure(FailureFacts facts) = 0;
    // Whether a stop was requested; the download loops look before each unit they send.
    virtual bool stopRequested() = 0;
    // Called just before the command that puts the adapter into download mode goes out, with
    // what is known of the adapter by then: from then on the adapter is taken to wait in download
    // mode, and a failure is no longer a refusal. False when a stop was requested before the
    // first entry: the command must not go out. Called again in download mode, it is true.
    [[nodiscard]] virtual bool enterDownloadMode(const AdapterFacts& known) = 0;
    // Whether the adapter has been asked into download mode in this run (and did not refuse).
    virtual bool inDownloadMode() const = 0;
    // The adapter's answer refused every download-mode command sent so far: it stays untouched.
    virtual void noteDownloadModeRefused() = 0;
    // The answer to `command` was line noise: that is then the run's reason.
    virtual void noteLineNoise(const char* command) = 0;
    // The adapter's version texts, each as it is reported.
    virtual void noteDeviceVersion(const std::string& text) = 0;
    virtual void noteAdapterVersion(const std::string& text) = 0;
    // The update file the run sends.
    virtual const UpdateFile& file() const = 0;

protected:
    FlowContext() = default;
    FlowContext(const FlowContext&) = default;
    FlowContext& operator=(const FlowContext&) = default;
};

}  // namespace korvane
