#include "channel/traffic_log/traffic_log.h"

#include <cstdint>

#include <cstdio>
#include <string_view>

#include "channel/traffic_log/traffic_log_clock.h"
#include "channel/traffic_log/traffic_log_folder.h"

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

std::string prepareTrafficLogPath(const std::string& portName) {
    createTrafficLogFolder(kTrafficLogFolder);
    const LocalTime now = localTimeNow();
    char date[32];
    std::snprintf(date, sizeof date, "port%04d%02d%02d", now.year, now.month, now.day);
    std::string name = date;
    if (!portName.empty()) {
        name += "-" + trafficLogPortName(portName);
    }
    return std::string(kTrafficLogFolder) + trafficLogPathSeparator() + name + ".log";
}

std::string trafficLogPortName(const std::string& portName) {
    // Longer names keep their start and end with a digest of the whole name, so file names stay
    // well within what file systems take.
    constexpr std::size_t kMostCharacters = 120;
    constexpr std::size_t kKeptStart = 100;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string_view name = portName;
    for (std::string_view prefix : {"/dev/", "\\\\.\\"}) {
        if (name.substr(0, prefix.size()) == prefix) {
            name.remove_prefix(prefix.size());
        }
    }
    // Every name gives a different text: "/" becomes "_", and every other character but letters,
    // digits, "." and "-" becomes "%" and its two hex digits ("_" itself "%5F").
    const bool dotsOnly = name.find_first_not_of('.') == std::string_view::npos;
    std::string safe;
    for (char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || (c == '.' && !dotsOnly) || c == '-';
        if (kept) {
            safe += c;
        } else if (c == '/') {
            safe += '_';
        } else {
            const auto byte = static_cast<unsigned char>(c);
            safe += '%';
            safe += kHex[byte >> 4];
            safe += kHex[byte & 0xF];
        }
    }
    if (safe.empty()) {
        return "port";
    }
    if (safe.size() > kMostCharacters) {
        // FNV-1a over the whole name.
        std::uint64_t digest = 14695981039346656037ull;
        for (char c : portName) {
            digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        std::string tail = "-";
        for (int shift = 60; shift >= 0; shift -= 4) {
            tail += kHex[(digest >> shift) & 0xF];
        }
        safe = safe.substr(0, kKeptStart) + tail;
    }
    return safe;
}

std::unique_ptr<TrafficLog> createChannelTrafficLog(const std::string& portName) {
    if (LogLevel.load() >= kTrafficLogLevel) {
        return std::make_unique<TrafficLog>(prepareTrafficLogPath(portName));
    }
    return std::make_unique<TrafficLog>(std::nullopt);
}

}  // namespace korvane
