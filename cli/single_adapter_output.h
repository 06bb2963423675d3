#pragma once

#include <iosfwd>
#include <mutex>

#include "cli/batch_output.h"
#include "cli/progress_display.h"

namespace korvane {

// The reports of a run on one adapter named by --port, --serial or --tcp: its texts on `out` as
// they come, unprefixed (the terminal's own line ends), and its progress through `progress`. No
// summary table: the texts say how it ended.
class SingleAdapterOutput : public BatchOutput {
public:
    SingleAdapterOutput(std::ostream& out, ProgressDisplay& progress)
        : out_(out), progress_(progress) {}

    void text(std::size_t adapter, const char* text) override;
    void progress(std::size_t adapter, int percent) override;
    // The one adapter's own text, as it would be.
    void sharedText(const char* text) override { this->text(0, text); }
    void adapterDone(std::size_t, const AdapterResult&) override {}
    // Leaves the progress bar where it stands and ends its line.
    void batchDone(const std::vector<AdapterResult>& results, int exitStatus) override;

private:
    std::mutex mutex_;
    std::ostream& out_;
    ProgressDisplay& progress_;
};

}  // namespace korvane
