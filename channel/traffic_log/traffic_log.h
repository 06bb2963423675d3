#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "channel/traffic_log/traffic_log_writer.h"

namespace korvane {

// Process-wide log level. Traffic logs write a file only when it is 3 or more; it starts at 0.
extern std::atomic<int> LogLevel;

// The level from which serial channels write their traffic to the per-day log file.
constexpr int kTrafficLogLevel = 3;

// One timestamped line per event of a serial channel: opening, closing and every block of bytes
// moved. Used by one thread at a time; it has no lock of its own.
class TrafficLog {
public:
    // No path: writes nothing. The empty path: standard output. Otherwise the file, appended to.
    explicit TrafficLog(const std::optional<std::string>& path);
    virtual ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // "[time:T]HEAD[len:N]HEXTAIL": `count` bytes as upper-case hexadecimal, N the byte count.
    virtual int logData(const std::uint8_t* bytes, int count, const char* head, const char* tail);
    // "[time:T]HEAD[len:N]TEXTTAIL" with N the length of `text` in bytes.
    virtual int logText(const std::string& text, const char* head, const char* tail);
    // `text` exactly, without timestamp or line end.
    virtual int logRaw(const char* text);

    bool hasFile() const { return writer_->hasFile(); }

private:
    std::unique_ptr<LogFileWriter> writer_;
};

// "YYYY-MM-DD hh:mm:ss.mmm" of the local time now.
std::string trafficLogTimestamp();

// The folder of the log files, relative to the current directory.
inline constexpr const char* kTrafficLogFolder = "DadoredivIdorirlog";

// "DadoredivIdorirlog/portYYYYMMDD.log" for today's local date, with a backslash for the slash on
// Windows; with a port name, "DadoredivIdorirlog/portYYYYMMDD-NAME.log", NAME being
// trafficLogPortName(portName). Creates the folder first; a folder that cannot be created is not
// an error here (the file then fails to open, which is noticed).
std::string prepareTrafficLogPath(const std::string& portName = {});

// The port's part of its log file name, a different one for every port name: the name without a
// leading "/dev/" or "\\.\", "/" as "_", every other character but letters, digits, "." and
// "-" as "%" and two hex digits. "/dev/ttyUSB0" gives "ttyUSB0", "/dev/pts/3" "pts_3", "COM3"
// "COM3". A text longer than 120 characters keeps its first 100, then "-" and 16 hex digits of a
// digest of the whole name.
std::string trafficLogPortName(const std::string& portName);

// The log a serial channel on `portName` creates: the port's per-day file when LogLevel is 3 or
// more, else none. Each port has a file of its own, so adapters that log at once can be told
// apart and never share a file.
std::unique_ptr<TrafficLog> createChannelTrafficLog(const std::string& portName = {});

}  // namespace korvane
