#include "channel/traffic_log/traffic_log_writer.h"

#include <cerrno>
#include <cstring>

#include "channel/traffic_log/traffic_log_notice.h"
#include "channel/traffic_log/traffic_log_open.h"

namespace korvane {

LogFileWriter::LogFileWriter(const std::optional<std::string>& path) {
    if (!path) {
        return;
    }
    if (path->empty()) {
        toStdout_ = true;
        file_ = stdout;
        return;
    }
    path_ = *path;
    int systemCode = 0;
    file_ = openTrafficLogFile(path_, systemCode);
    if (file_ == nullptr) {
        noticeTrafficLogProblem({path_, systemCode, false});
    }
}

LogFileWriter::~LogFileWriter() {
    if (file_ != nullptr && !toStdout_) {
        std::fclose(file_);
    }
}

int LogFileWriter::logText(const std::string& timestamp, const char* head, const char* text,
                           int length, const char* tail) {
    if (file_ == nullptr) {
        return -1;
    }
    std::string line = "[time:" + timestamp + "]" + head + "[len:" + std::to_string(length) + "]";
    line.append(text, static_cast<std::size_t>(length));
    line += tail;
    line += '\n';
    return writeLine(line);
}

int LogFileWriter::logData(const std::string& timestamp, const char* head,
                           const unsigned char* bytes, int count, const char* tail) {
    if (file_ == nullptr) {
        return -1;
    }
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string line = "[time:" + timestamp + "]" + head + "[len:" + std::to_string(count) + "]";
    line.reserve(line.size() + 2 * static_cast<std::size_t>(count) + std::strlen(tail) + 1);
    for (int i = 0; i < count; ++i) {
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    line += tail;
    line += '\n';
    return writeLine(line);
}

int LogFileWriter::logRaw(const char* text) {
    if (file_ == nullptr) {
        return -1;
    }
    return writeLine(text);
}

int LogFileWriter::writeLine(const std::string& line) {
    errno = 0;
    const std::size_t written = std::fwrite(line.data(), 1, line.size(), file_);
    const bool flushed = std::fflush(file_) == 0;
    if (written != line.size() || !flushed) {
        if (!writeFailed_) {
            writeFailed_ = true;
            noticeTrafficLogProblem({toStdout_ ? "standard output" : path_, errno, true});
        }
        return -1;
    }
    return static_cast<int>(written);
}

}  // namespace korvane
