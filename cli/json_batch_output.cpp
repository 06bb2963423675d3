#include "cli/json_batch_output.h"

#include <algorithm>

#include "engine/shown_text.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace korvane {

namespace {

using Json = nlohmann::ordered_json;

std::string dumpLine(const Json& object) {
    // The engine's texts go in through asUtf8. A descriptor from the command line is
    // taken as UTF-8; a byte that does not fit becomes U+FFFD instead of failing the line.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

const char* outcomeName(AdapterOutcome outcome) {
    switch (outcome) {
        case AdapterOutcome::Finished:
            return "finished";
        case AdapterOutcome::CutShort:
            return "cut_short";
        case AdapterOutcome::Failed:
            break;
    }
    return "failed";
}

JsonBatchOutput::JsonBatchOutput(std::vector<std::string> descriptors, std::ostream& out)
    : ports_(std::move(descriptors)), out_(out) {}

void JsonBatchOutput::writeLine(const std::string& line) {
    std::lock_guard<std::mutex> hold(mutex_);
    out_ << line << '\n';
    out_.flush();
}

void JsonBatchOutput::text(std::size_t adapter, const char* text) {
    Json object;
    object["port"] = ports_[adapter];
    object["kind"] = "text";
    object["text"] = asUtf8(text);
    writeLine(dumpLine(object));
}

void JsonBatchOutput::sharedText(const char* text) {
    Json object;
    object["kind"] = "text";
    object["text"] = asUtf8(text);
    writeLine(dumpLine(object));
}

void JsonBatchOutput::progress(std::size_t adapter, int percent) {
    Json object;
    object["port"] = ports_[adapter];
    object["kind"] = "progress";
    object["percent"] = percent;
    writeLine(dumpLine(object));
}

void JsonBatchOutput::adapterDone(std::size_t adapter, const AdapterResult& result) {
    Json object;
    object["port"] = ports_[adapter];
    object["kind"] = "result";
    object["result"] = outcomeName(result.outcome);
    object["outcome"] = jobResultName(result.jobResult);
    object["adapter"] = adapterStateName(result.adapter);
    object["message"] = asUtf8(result.message);
    object["reason"] = asUtf8(result.reason);
    object["duration_ms"] = result.duration.count();
    writeLine(dumpLine(object));
}

void JsonBatchOutput::batchDone(const std::vector<AdapterResult>& results, int exitStatus) {
    int counts[3] = {0, 0, 0};
    for (const AdapterResult& result : results) {
        ++counts[static_cast<int>(result.outcome)];
    }
    Json object;
    object["kind"] = "summary";
    object["adapters"] = results.size();
    object["finished"] = counts[static_cast<int>(AdapterOutcome::Finished)];
    object["failed"] = counts[static_cast<int>(AdapterOutcome::Failed)];
    object["cut_short"] = counts[static_cast<int>(AdapterOutcome::CutShort)];
    object["refused"] = std::count_if(results.begin(), results.end(), [](const AdapterResult& r) {
        return r.jobResult == JobResult::Refused;
    });
    object["in_download_mode"] = std::count_if(
        results.begin(), results.end(),
        [](const AdapterResult& r) { return r.adapter == AdapterState::DownloadMode; });
    object["exit_status"] = exitStatus;
    writeLine(dumpLine(object));
}

}  // namespace korvane
