#include "cli/summary_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli/report_lines.h"
#include "engine/shown_text.h"

namespace korvane {

namespace {

std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::string countsLine(const std::vector<AdapterResult>& results) {
    std::size_t finished = 0;
    std::size_t failed = 0;
    std::size_t refused = 0;
    std::size_t cutShort = 0;
    std::size_t waiting = 0;
    for (const AdapterResult& result : results) {
        switch (result.outcome) {
            case AdapterOutcome::Finished:
                ++finished;
                break;
            case AdapterOutcome::Failed:
                ++failed;
                refused += result.jobResult == JobResult::Refused ? 1 : 0;
                break;
            case AdapterOutcome::CutShort:
                ++cutShort;
                break;
        }
        waiting += result.adapter == AdapterState::DownloadMode ? 1 : 0;
    }
    std::string line = std::to_string(finished) + " of " + std::to_string(results.size()) +
                       (results.size() == 1 ? " adapter" : " adapters") + " finished";
    if (failed > 0) {
        line += ", " + std::to_string(failed) + " failed";
        if (refused > 0) {
            line += " (" + std::to_string(refused) + " refused, untouched)";
        }
    }
    if (cutShort > 0) {
        line += ", " + std::to_string(cutShort) + " cut short";
    }
    line += ".\n";
    if (waiting > 0) {
        line += std::to_string(waiting) + (waiting == 1 ? " adapter waits" : " adapters wait") +
                " in download mode: power " + (waiting == 1 ? "it" : "them") +
                " off and on, then update " + (waiting == 1 ? "it" : "them") + " again.\n";
    }
    return line;
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
    return result.message.empty() ? jobResultName(result.jobResult) : printableLine(result.message);
}

std::string durationText(std::chrono::milliseconds duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

std::string summaryTable(const std::vector<AdapterResult>& results) {
    std::size_t portWidth = 4;     // "PORT"
    std::size_t outcomeWidth = 7;  // "OUTCOME"
    std::size_t adapterWidth = 7;  // "ADAPTER"
    std::size_t resultWidth = 6;   // "RESULT"
    std::vector<std::string> texts;
    for (const AdapterResult& result : results) {
        texts.push_back(resultText(result));
        portWidth = std::max(portWidth, shownText(result.label).size());
        outcomeWidth = std::max(outcomeWidth, std::strlen(jobResultName(result.jobResult)));
        adapterWidth = std::max(adapterWidth, std::strlen(adapterStateName(result.adapter)));
        resultWidth = std::max(resultWidth, texts.back().size());
    }
    std::string table = padded("PORT", portWidth) + "  " + padded("OUTCOME", outcomeWidth) + "  " +
                        padded("ADAPTER", adapterWidth) + "  " + padded("RESULT", resultWidth) +
                        "  TIME\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        table += padded(shownText(results[i].label), portWidth) + "  " +
                 padded(jobResultName(results[i].jobResult), outcomeWidth) + "  " +
                 padded(adapterStateName(results[i].adapter), adapterWidth) + "  " +
                 padded(texts[i], resultWidth) + "  " + durationText(results[i].duration) + "\n";
    }
    return table + countsLine(results);
}

}  // namespace korvane
