#include "channel/traffic_log.h"

#include <cstdio>

#include "channel/traffic_log_clock.h"
#include "channel/traffic_log_folder.h"

namespace korvane {

std::atomic<int> LogLevel{0};

TrafficLog::TrafficLog(const std::optional<std::string>& path)
    : writer_(std::make_unique<LogFileWriter>(path)) {}

TrafficLog::~TrafficLog() = default;

int TrafficLog::logData(const std::uint8_t* bytes, int count, const char* head, const char* tail) {
    if (!writer_->hasFile()) {
        return -1;
    }
    return writer_->logData(trafficLogTimestamp(), head, bytes, count < 0 ? 0 : count, tail);
}

int TrafficLog::logText(const std::string& text, const char* head, const char* tail) {
    if (!writer_->hasFile()) {
        return -1;
    }
    return writer_->logText(trafficLogTimestamp(), head, text.data(), static_cast<int>(text.size()),
                            tail);
}

int TrafficLog::logRaw(const char* text) {
    return writer_->logRaw(text);
}

std::string trafficLogTimestamp() {
    const LocalTime now = localTimeNow();
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", now.year, now.month,
                  now.day, now.hour, now.minute, now.second, now.millisecond);
    return text;
}

std::string prepareTrafficLogPath() {
    createTrafficLogFolder(kTrafficLogFolder);
    const LocalTime now = localTimeNow();
    char name[32];
    std::snprintf(name, sizeof name, "port%04d%02d%02d.log", now.year, now.month, now.day);
    return std::string(kTrafficLogFolder) + trafficLogPathSeparator() + name;
}

std::unique_ptr<TrafficLog> createChannelTrafficLog() {
    if (LogLevel.load() >= kTrafficLogLevel) {
        return std::make_unique<TrafficLog>(prepareTrafficLogPath());
    }
    return std::make_unique<TrafficLog>(std::nullopt);
}

}  // namespace korvane
