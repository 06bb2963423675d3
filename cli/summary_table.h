#pragma once

#include <string>
#include <vector>

#include "cli/batch_output.h"

namespace korvane {

// The result column of one adapter: "finished", its failure text ("failed" when it has none), or
// "cut short".
std::string resultText(const AdapterResult& result);

// "12.3 s"
std::string durationText(std::chrono::milliseconds duration);

// The table that ends a run over several adapters: a heading, one line per adapter (port, result,
// duration), and a closing count, e.g. "9 of 10 adapters finished, 1 failed.".
std::string summaryTable(const std::vector<AdapterResult>& results);

}  // namespace korvane
