#include "history/history_table.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr std::size_t kShownHashDigits = 12;

// "2026-12-09T01:02:03.456Z" as "2026-12-09 01:02:03".
std::string shownTime(const std::string& stamp) {
    std::string shown = stamp.substr(0, 19);
    if (shown.size() > 10 && shown[10] == 'T') {
        shown[10] = ' ';
    }
    return shown;
}

std::string fileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string orDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string versions(const HistoryRecord& record) {
    if (record.kind != "update") {
        return orDash(record.before.device);
    }
    return orDash(record.before.device) + " -> " + orDash(record.after.device);
}

// The width of `text` in columns: a UTF-8 character counts once.
std::size_t columns(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    }));
}

}  // namespace

const HistoryRow& historyHeadings() {
    static const HistoryRow kHeadings = {
        "time (UTC)", "port", "model", "firmware before -> after", "file", "sha256", "outcome"};
    return kHeadings;
}

HistoryRow historyRow(const HistoryRecord& record) {
    const bool update = record.kind == "update";
    std::string outcome = record.outcome;
    if (!update) {
        outcome = "read " + outcome;
    }
    return HistoryRow{shownTime(record.started),
                      orDash(record.port),
                      orDash(record.model),
                      versions(record),
                      update ? orDash(fileName(record.filePath)) : "-",
                      update ? orDash(record.fileSha256.substr(0, kShownHashDigits)) : "-",
                      outcome};
}

std::string historyTableText(const std::vector<HistoryRecord>& records) {
    std::vector<HistoryRow> rows;
    rows.reserve(records.size() + 1);
    rows.push_back(historyHeadings());
    for (const HistoryRecord& record : records) {
        rows.push_back(historyRow(record));
    }
    std::array<std::size_t, kHistoryColumnCount> widths{};
    for (const HistoryRow& row : rows) {
        for (std::size_t c = 0; c < kHistoryColumnCount; ++c) {
            widths[c] = std::max(widths[c], columns(row[c]));
        }
    }
    std::string text;
    for (const HistoryRow& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < kHistoryColumnCount; ++c) {
            line += row[c];
            if (c + 1 < kHistoryColumnCount) {
                line.append(widths[c] - columns(row[c]) + 2, ' ');
            }
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace korvane
