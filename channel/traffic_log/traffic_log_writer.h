#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace korvane {

// The stream behind a TrafficLog. Without a stream every write is dropped and returns -1. A file
// that cannot be opened, and the first write that fails, are told to the traffic log notice.
class LogFileWriter {
public:
    // No path: no stream. The empty path: standard output (never closed). Any other path: the
    // file opened for appending, never through a symbolic link; when it cannot be opened there is
    // no stream.
    explicit LogFileWriter(const std::optional<std::string>& path);
    virtual ~LogFileWriter();
    LogFileWriter(const LogFileWriter&) = delete;
    LogFileWriter& operator=(const LogFileWriter&) = delete;

    // Writes one line "[time:T]HEAD[len:N]TEXTTAIL\n"; returns the characters written or -1.
    virtual int logText(const std::string& timestamp, const char* head, const char* text,
                        int length, const char* tail);
    // As logText, with the bytes as upper-case hexadecimal text and `count` as the length.
    virtual int logData(const std::string& timestamp, const char* head, const unsigned char* bytes,
                        int count, const char* tail);
    // Writes `text` exactly as it is.
    virtual int logRaw(const char* text);

    bool hasFile() const { return file_ != nullptr; }

private:
    int writeLine(const std::string& line);

    bool toStdout_ = false;
    std::FILE* file_ = nullptr;
    std::string path_;
    bool writeFailed_ = false;
};

}  // namespace korvane
