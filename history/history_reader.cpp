#include "history/history_reader.h"

#include <algorithm>
#include <unordered_map>

namespace korvane {

namespace {

// The port of a descriptor without its kind word and, for a serial port, without its baud rate.
std::string_view portAlone(std::string_view descriptor, bool withBaud) {
    const std::size_t bar = descriptor.find('|');
    std::string_view rest = bar == std::string_view::npos ? descriptor : descriptor.substr(bar + 1);
    if (!withBaud && descriptor.substr(0, bar) == "com") {
        const std::size_t colon = rest.rfind(':');
        rest = rest.substr(0, colon);
    }
    return rest;
}

}  // namespace

bool recordOnPort(const HistoryRecord& record, std::string_view port) {
    return record.port == port || portAlone(record.port, true) == port ||
           portAlone(record.port, false) == port;
}

HistoryReadout mergeHistory(const std::vector<std::string_view>& contents,
                            const std::vector<std::string>& names, const HistoryFilter& filter) {
    HistoryReadout readout;
    std::vector<HistoryRecord>& records = readout.records;
    std::unordered_map<std::string, std::size_t> byId;
    for (std::size_t file = 0; file < contents.size(); ++file) {
        const std::string_view content = contents[file];
        std::size_t lineNumber = 0;
        for (std::size_t at = 0; at < content.size();) {
            const std::size_t end = content.find('\n', at);
            const bool whole = end != std::string_view::npos;
            const std::string_view line =
                content.substr(at, whole ? end - at : std::string_view::npos);
            at = whole ? end + 1 : content.size();
            ++lineNumber;
            if (line.empty()) {
                continue;
            }
            std::optional<HistoryRecord> record = parseHistoryLine(line);
            if (!record) {
                const std::string& name = file < names.size() ? names[file] : std::string();
                readout.warnings.push_back(
                    (whole ? "skipped line " : "skipped a torn last line, line ") +
                    std::to_string(lineNumber) + " of " + name + ": it holds no whole record");
                continue;
            }
            const auto [found, added] = byId.try_emplace(record->id, records.size());
            if (added) {
                if (!record->isEnd()) {
                    record->outcome = "interrupted";
                }
                records.push_back(std::move(*record));
            } else if (record->isEnd()) {
                records[found->second] = std::move(*record);
            }
        }
    }

    std::erase_if(records, [&filter](const HistoryRecord& record) {
        return (!filter.port.empty() && !recordOnPort(record, filter.port)) ||
               (!filter.outcome.empty() && record.outcome != filter.outcome);
    });
    // Stored in the order the runs ended or were cut off; shown by when they began, the later
    // stored first among runs that began at the same moment.
    std::reverse(records.begin(), records.end());
    std::stable_sort(
        records.begin(), records.end(),
        [](const HistoryRecord& a, const HistoryRecord& b) { return a.started > b.started; });
    if (filter.limit != 0 && records.size() > filter.limit) {
        records.resize(filter.limit);
    }
    return readout;
}

HistoryReadout readHistory(const std::string& folder, const HistoryFilter& filter) {
    std::string older;
    std::string current;
    HistoryFileStatus status = readHistoryFiles(folder, older, current);
    HistoryReadout readout;
    if (status.done()) {
        readout = mergeHistory(
            {older, current},
            {historyPath(folder, kOlderHistoryFileName), historyPath(folder, kHistoryFileName)},
            filter);
    }
    readout.status = std::move(status);
    return readout;
}

}  // namespace korvane
