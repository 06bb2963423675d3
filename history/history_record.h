#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run_facts.h"

namespace korvane {

// One update or read-out as the history keeps it. A record is stored as one JSON line when the
// adapter is about to be changed ("start") and once more, whole, when the run ends ("end"). A
// start that no end follows reads back with the outcome "interrupted".
struct HistoryRecord {
    std::string id;       // 32 hexadecimal digits, the same in a run's start and end lines
    std::string event;    // "start" or "end", as stored
    std::string kind;     // "update" or "read"
    std::string started;  // UTC, ISO 8601 ("2026-12-09T01:02:03.456Z")
    std::string ended;    // empty in a start line
    std::string programVersion;
    std::string frontEnd;  // "cli", "cli-batch", "qt" or "win32"
    std::string port;      // the port descriptor
    std::string link;      // "serial" or "tcp"

    // The adapter: "application" or "boot loader" (empty when unknown), its model, and its
    // version texts before and after the download.
    std::string mode;
    std::string model;
    AdapterVersions before;
    AdapterVersions after;

    // The update file (update only).
    std::string filePath;
    std::int64_t fileSize = -1;
    std::string fileSha256;
    int fileFamily = 0;
    std::string fileModel;
    std::string fileVersion;

    // "finished", "refused", "failed", "stopped"; "interrupted" for a start without an end; empty
    // in a start line.
    std::string outcome;
    // What the run left the adapter in: "untouched", "download mode" (it needs power off and on
    // and the update again) or "finished"; empty in a start line.
    std::string adapterState;
    std::string failure;  // the first failure text, as reported
    std::string reason;   // its reason line, as reported

    bool isEnd() const { return event == "end"; }
};

// The record as one JSON line, "\n" included. Texts that are not UTF-8 (8-bit adapter answers,
// file names) have their bad bytes replaced, so the line is always valid JSON.
std::string historyLine(const HistoryRecord& record);
// The record of one stored line; nothing for a line that is no record (torn, foreign).
std::optional<HistoryRecord> parseHistoryLine(std::string_view line);

// A record's fields as a JSON object's text, one line, without a line end.
std::string historyJson(const HistoryRecord& record);

// The current time in UTC, ISO 8601 with milliseconds.
std::string utcTimestamp();

// A new record id: 128 random bits in hexadecimal.
std::string newRecordId();

}  // namespace korvane
