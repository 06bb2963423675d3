#include "cli/summary_table.h"

#include <algorithm>
#include <cstdio>

#include "cli/report_lines.h"

namespace korvane {

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string countsLine(const std::vector<AdapterResult>& results) {
    std::size_t finished = 0;
    std::size_t failed = 0;
    std::size_t cutShort = 0;
    for (const AdapterResult& result : results) {
        switch (result.outcome) {
            case AdapterOutcome::Finished:
                ++finished;
                break;
            case AdapterOutcome::Failed:
                ++failed;
                break;
            case AdapterOutcome::CutShort:
                ++cutShort;
                break;
        }
    }
    std::string line = std::to_string(finished) + " of " + std::to_string(results.size()) +
                       (results.size() == 1 ? " adapter" : " adapters") + " finished";
    if (failed > 0) {
        line += ", " + std::to_string(failed) + " failed";
    }
    if (cutShort > 0) {
        line += ", " + std::to_string(cutShort) + " cut short";
    }
    return line + ".\n";
}

}  // namespace

std::string resultText(const AdapterResult& result) {
    switch (result.outcome) {
        case AdapterOutcome::Finished:
            return "finished";
        case AdapterOutcome::CutShort:
            // What the stop made the job report is in its lines above the table.
            return "cut short";
        case AdapterOutcome::Failed:
            break;
    }
    return result.message.empty() ? "failed" : printableLine(result.message);
}

std::string durationText(std::chrono::milliseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

std::string summaryTable(const std::vector<AdapterResult>& results) {
    std::size_t portWidth = 4;    // "PORT"
    std::size_t resultWidth = 6;  // "RESULT"
    std::vector<std::string> texts;
    for (const AdapterResult& result : results) {
        texts.push_back(resultText(result));
        portWidth = std::max(portWidth, result.label.size());
        resultWidth = std::max(resultWidth, texts.back().size());
    }
    std::string table =
        padded("PORT", portWidth) + "  " + padded("RESULT", resultWidth) + "  TIME\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        table += padded(printableLine(results[i].label), portWidth) + "  " +
                 padded(texts[i], resultWidth) + "  " + durationText(results[i].duration) + "\n";
    }
    return table + countsLine(results);
}

}  // namespace korvane
