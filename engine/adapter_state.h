#pragma once

namespace korvane {

// What a run left the adapter in, as the job knows it from what the flows did (never from the
// texts they reported).
enum class AdapterState {
    // Never asked into download mode, or every such request was refused by the adapter's answer:
    // it runs what it ran before the job.
    Untouched,
    // It took a download-mode command (or one went unanswered, so it may have taken it) and the
    // download did not finish: it waits for firmware, needs to be powered off and on, and updated
    // again.
    DownloadMode,
    // The download was closed properly.
    Finished,
};

// "untouched", "download mode", "finished": the words the summary table and JSON show.
const char* adapterStateName(AdapterState state);

}  // namespace korvane
