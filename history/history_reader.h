#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "history/history_files.h"
#include "history/history_record.h"

namespace korvane {

// The outcomes a record can read back with.
inline constexpr const char* kHistoryOutcomes[] = {"finished", "refused", "failed", "stopped",
                                                   "interrupted"};

// Which records to read back. Empty texts and a limit of 0 let everything through.
struct HistoryFilter {
    std::size_t limit = 0;  // the newest this many
    std::string port;       // a descriptor, or its port alone ("/dev/ttyUSB0", "127.0.0.1:35000")
    std::string outcome;    // one of kHistoryOutcomes
};

struct HistoryReadout {
    std::vector<HistoryRecord> records;  // newest first
    // Lines skipped because they are no record (a torn last line, a foreign line), one text each.
    std::vector<std::string> warnings;
    HistoryFileStatus status;  // whether the files could be read at all
};

// The records kept in `folder`: one per run, the end line where there is one, else the start line
// with the outcome "interrupted". Newest first by start time.
HistoryReadout readHistory(const std::string& folder, const HistoryFilter& filter = {});

// The same over the files' contents, oldest first (for tests and benchmarks); `names` name them
// in the warnings.
HistoryReadout mergeHistory(const std::vector<std::string_view>& contents,
                            const std::vector<std::string>& names, const HistoryFilter& filter);

// Whether `record` was made on `port` (a whole descriptor, or its port alone).
bool recordOnPort(const HistoryRecord& record, std::string_view port);

}  // namespace korvane
