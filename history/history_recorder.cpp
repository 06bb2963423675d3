#include "history/history_recorder.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/model_catalog.h"
#include "history/sha256.h"
#include "korvane/version.h"

namespace korvane {

namespace {

const char* resultWords(HistoryFileResult result) {
    switch (result) {
        case HistoryFileResult::NoFolder:
            return "no folder to keep it in (neither XDG_STATE_HOME nor HOME is set)";
        case HistoryFileResult::CannotCreate:
            return "cannot create";
        case HistoryFileResult::LockTimeout:
            return "another program holds the lock of";
        case HistoryFileResult::ReadFailed:
            return "cannot read";
        case HistoryFileResult::WriteFailed:
            return "cannot write";
        case HistoryFileResult::SyncFailed:
            return "cannot flush to disk";
        case HistoryFileResult::Done:
            break;
    }
    return "done";
}

// The update file's path as a later reader can find it again: relative paths are made absolute
// against the current folder (the text is UTF-8 on every system).
std::string absolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const std::filesystem::path given(std::u8string(path.begin(), path.end()));
    if (given.is_absolute()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(given, error);
    if (error) {
        return path;
    }
    const std::u8string text = whole.lexically_normal().u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string historyProblemText(const HistoryFileStatus& status) {
    std::string text = std::string("update history: ") + resultWords(status.result);
    if (!status.path.empty()) {
        text += " " + status.path;
    }
    if (!status.systemText.empty()) {
        text += " (" + status.systemText + ")";
    }
    return text;
}

bool historyOffByEnvironment() {
    const char* value = std::getenv("KORVANE_NO_HISTORY");
    return value != nullptr && std::strcmp(value, "1") == 0;
}

HistoryLog::HistoryLog(std::string folder, std::string frontEnd, Warning warning)
    : folder_(std::move(folder)), frontEnd_(std::move(frontEnd)), warning_(std::move(warning)) {}

bool HistoryLog::append(const HistoryRecord& record) {
    const HistoryFileStatus status = appendHistoryLine(folder_, historyLine(record));
    bool tell = false;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        tell = !status.done() && !warned_;
        warned_ = !status.done();
    }
    if (tell && warning_) {
        warning_(historyProblemText(status) + "; the run goes on without a record");
    }
    return status.done();
}

HistoryRecorder::HistoryRecorder(HistoryLog& log) : log_(log) {}

void HistoryRecorder::runStarted(const RunFacts& facts) {
    record_ = HistoryRecord{};
    record_.id = newRecordId();
    record_.started = utcTimestamp();
    record_.programVersion = kProgramVersion;
    record_.frontEnd = log_.frontEnd();
    fill(facts);
}

void HistoryRecorder::fileLoaded(const std::vector<std::uint8_t>& bytes) {
    record_.fileSha256 = sha256Hex(bytes).value_or(std::string());
}

void HistoryRecorder::changeAhead(const RunFacts& facts) {
    fill(facts);
    record_.event = "start";
    log_.append(record_);
}

void HistoryRecorder::runEnded(const RunFacts& facts, const JobOutcome& outcome) {
    fill(facts);
    record_.event = "end";
    record_.ended = utcTimestamp();
    record_.outcome = jobResultName(outcome.result);
    record_.adapterState = adapterStateName(outcome.adapter);
    record_.failure = outcome.failureText;
    record_.reason = outcome.reasonText;
    log_.append(record_);
    std::lock_guard<std::mutex> hold(lastMutex_);
    last_ = record_;
}

std::optional<HistoryRecord> HistoryRecorder::lastRecord() const {
    std::lock_guard<std::mutex> hold(lastMutex_);
    return last_;
}

void HistoryRecorder::fill(const RunFacts& facts) {
    record_.kind = facts.update ? "update" : "read";
    record_.port = facts.port;
    record_.link = facts.link;
    if (facts.appMode) {
        record_.mode = *facts.appMode ? "application" : "boot loader";
    }
    const ModelRow* model = findModel(facts.deviceCode);
    record_.model = model != nullptr && model->fileModel != nullptr ? model->fileModel : "";
    record_.before = facts.before;
    record_.after = facts.after;
    record_.filePath = absolutePath(facts.path);
    record_.fileSize = facts.fileSize;
    record_.fileFamily = facts.family;
    record_.fileModel = facts.fileModel;
    record_.fileVersion = facts.fileVersion;
}

}  // namespace korvane
