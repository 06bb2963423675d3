#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/batch_output.h"
#include "cli/progress_board.h"
#include "cli/progress_display.h"
#include "cli/report_lines.h"

namespace korvane {

// The terminal's size, as far as known.
struct TerminalSize {
    int rows = 24;
    int columns = 80;
};

// The reports of several adapters for people: every text line on `out`, whole, prefixed with its
// port ("[/dev/ttyUSB0] Port is opened!"), labels padded so the texts line up. Lines of different
// adapters never mix within a line; the lines of one adapter keep their order. Progress goes to
// `err`: Bar mode keeps a ProgressBoard at the bottom of the terminal (the lines scroll above
// it), Plain mode writes "[PORT] progress N%" per change, None nothing. The run ends with the
// summary table on `out`.
class TextBatchOutput : public BatchOutput {
public:
    TextBatchOutput(const std::vector<std::string>& labels, ProgressMode mode, std::ostream& out,
                    std::ostream& err, TerminalSize terminal = {});

    void text(std::size_t adapter, const char* text) override;
    void progress(std::size_t adapter, int percent) override;
    // Lines without a port's prefix.
    void sharedText(const char* text) override;
    void adapterDone(std::size_t adapter, const AdapterResult& result) override;
    void batchDone(const std::vector<AdapterResult>& results, int exitStatus) override;

private:
    // `adapter` past the last one: a line of all of them, without a prefix.
    void writeLine(std::size_t adapter, std::string_view line);

    std::mutex mutex_;
    ProgressMode mode_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string> prefixes_;
    std::vector<ReportLines> lines_;  // one per adapter, and the last for sharedText
    std::vector<int> lastPercent_;
    std::unique_ptr<ProgressBoard> board_;  // Bar mode only
};

}  // namespace korvane
