#include "history/history_record.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>

#include "history/sha256.h"

namespace korvane {

namespace {

using Json = nlohmann::ordered_json;

Json versionsJson(const AdapterVersions& versions) {
    return Json{{"device_version", versions.device}, {"adapter_version", versions.adapter}};
}

Json recordJson(const HistoryRecord& r) {
    Json file = nullptr;
    if (r.kind == "update") {
        file = Json{{"path", r.filePath},     {"size", r.fileSize},   {"sha256", r.fileSha256},
                    {"family", r.fileFamily}, {"model", r.fileModel}, {"version", r.fileVersion}};
    }
    return Json{{"id", r.id},
                {"event", r.event},
                {"kind", r.kind},
                {"start", r.started},
                {"end", r.ended},
                {"program_version", r.programVersion},
                {"front_end", r.frontEnd},
                {"port", r.port},
                {"link", r.link},
                {"adapter",
                 {{"mode", r.mode},
                  {"model", r.model},
                  {"before", versionsJson(r.before)},
                  {"after", versionsJson(r.after)}}},
                {"file", file},
                {"outcome", r.outcome},
                {"adapter_state", r.adapterState},
                {"failure", r.failure},
                {"reason", r.reason}};
}

// A stored text; empty when the field is missing or no text.
std::string text(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::int64_t number(const Json& object, const char* key, std::int64_t otherwise) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>()
                                                               : otherwise;
}

const Json& member(const Json& object, const char* key) {
    static const Json kNone = Json::object();
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : kNone;
}

AdapterVersions versionsOf(const Json& object) {
    return AdapterVersions{text(object, "device_version"), text(object, "adapter_version")};
}

}  // namespace

std::string historyJson(const HistoryRecord& record) {
    return recordJson(record).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string historyLine(const HistoryRecord& record) {
    return historyJson(record) + "\n";
}

std::optional<HistoryRecord> parseHistoryLine(std::string_view line) {
    const Json object = Json::parse(line.begin(), line.end(), nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    HistoryRecord r;
    r.id = text(object, "id");
    r.event = text(object, "event");
    if (r.id.empty() || (r.event != "start" && r.event != "end")) {
        return std::nullopt;
    }
    r.kind = text(object, "kind");
    r.started = text(object, "start");
    r.ended = text(object, "end");
    r.programVersion = text(object, "program_version");
    r.frontEnd = text(object, "front_end");
    r.port = text(object, "port");
    r.link = text(object, "link");
    const Json& adapter = member(object, "adapter");
    r.mode = text(adapter, "mode");
    r.model = text(adapter, "model");
    r.before = versionsOf(member(adapter, "before"));
    r.after = versionsOf(member(adapter, "after"));
    const Json& file = member(object, "file");
    r.filePath = text(file, "path");
    r.fileSize = number(file, "size", -1);
    r.fileSha256 = text(file, "sha256");
    r.fileFamily = static_cast<int>(number(file, "family", 0));
    r.fileModel = text(file, "model");
    r.fileVersion = text(file, "version");
    r.outcome = text(object, "outcome");
    r.adapterState = text(object, "adapter_state");
    r.failure = text(object, "failure");
    r.reason = text(object, "reason");
    return r;
}

std::string utcTimestamp() {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{now - day};
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()),
                  static_cast<int>(time.subseconds().count()));
    return buffer;
}

std::string newRecordId() {
    // One generator for the process, seeded from the system's random source once.
    static std::mutex mutex;
    static std::mt19937_64 generator = [] {
        std::random_device source;
        std::seed_seq seed{source(), source(), source(), source(), source(), source()};
        return std::mt19937_64(seed);
    }();
    std::uint8_t bits[16];
    {
        std::lock_guard<std::mutex> hold(mutex);
        for (int half = 0; half < 2; ++half) {
            std::uint64_t value = generator();
            for (int i = 0; i < 8; ++i) {
                bits[half * 8 + i] = static_cast<std::uint8_t>(value >> (8 * i));
            }
        }
    }
    return hexDigits(bits, sizeof(bits));
}

}  // namespace korvane
