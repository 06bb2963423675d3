#pragma once

#include <array>
#include <string>
#include <vector>

#include "history/history_record.h"

namespace korvane {

// The history as a table, the same in the command line and both windows: when the run began, the
// port, the adapter's model, its firmware versions before and after, the update file's name and
// the first 12 digits of its SHA-256, and the outcome.
inline constexpr std::size_t kHistoryColumnCount = 7;
using HistoryRow = std::array<std::string, kHistoryColumnCount>;

const HistoryRow& historyHeadings();
HistoryRow historyRow(const HistoryRecord& record);

// The rows as aligned text columns under their headings, one line each ("\n").
std::string historyTableText(const std::vector<HistoryRecord>& records);

}  // namespace korvane
