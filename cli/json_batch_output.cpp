#include "cli/json_batch_output.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace korvane {

namespace {

using Json = nlohmann::ordered_json;

std::string dumpLine(const Json& object) {
    // The engine's texts go in through latin1ToUtf8. A descriptor from the command line is
    // taken as UTF-8; a byte that does not fit becomes U+FFFD instead of failing the line.
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string latin1ToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text.push_back(c);
        } else {
            text.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            text.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return text;
}

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
    object["text"] = latin1ToUtf8(text);
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
    object["message"] = latin1ToUtf8(result.message);
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
    object["exit_status"] = exitStatus;
    writeLine(dumpLine(object));
}

}  // namespace korvane
