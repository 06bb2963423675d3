#include "cli/ports_file.h"

#include <algorithm>
#include <cstdint>

#include "cli/job_options.h"
#include "engine/failure_reason.h"
#include "platform/regular_file.h"

namespace korvane {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Calls `onLine` with each line's number (from 1) and trimmed text, skipping empty lines and
// comments.
template <typename OnLine>
void forEachPortsLine(std::string_view text, OnLine onLine) {
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.front() != '#' && !onLine(number, line)) {
            return;
        }
    }
}

// A line without "|" names a serial port by its path, which may hold ":" (a by-path name):
// "NAME" at the default rate, or "NAME BAUD" when the text after the last blank is a number.
bool parsePortsLine(std::string_view line, JobPort& port, std::string& error) {
    if (line.find('|') != std::string_view::npos) {
        return parseJobPort(line, port, error);
    }
    std::string_view name = line;
    int baud = kDefaultBaud;
    const std::size_t blank = line.find_last_of(" \t");
    if (blank != std::string_view::npos) {
        const std::string_view rate = line.substr(blank + 1);
        if (rate.find_first_not_of("0123456789") == std::string_view::npos) {
            if (!parseDecimalInRange(rate, kLowestBaud, kHighestBaud, baud)) {
                error = "the baud rate \"" + std::string(rate) + "\" is not a whole number from " +
                        std::to_string(kLowestBaud) + " to " + std::to_string(kHighestBaud);
                return false;
            }
            name = trim(line.substr(0, blank));
        }
    }
    port = jobPortOf(SerialPortRequest{std::string(name), baud});
    return true;
}

}  // namespace

std::vector<std::string> parsePortsText(std::string_view text) {
    std::vector<std::string> descriptors;
    forEachPortsLine(text, [&](std::size_t, std::string_view line) {
        descriptors.emplace_back(line);
        return true;
    });
    return descriptors;
}

bool parsePortsFileText(std::string_view text, std::vector<JobPort>& ports, std::string& error) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        error = "it starts with a byte-order mark; save it as plain text without one";
        return false;
    }
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        const std::size_t line =
            1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + nul, '\n'));
        error = "line " + std::to_string(line) + " holds a NUL byte; it is not a text file";
        return false;
    }
    std::vector<JobPort> found;
    bool ok = true;
    forEachPortsLine(text, [&](std::size_t number, std::string_view line) {
        std::string problem;
        JobPort port;
        if (!parsePortsLine(line, port, problem)) {
            error = "line " + std::to_string(number) + ": " + problem;
            ok = false;
            return false;
        }
        found.push_back(std::move(port));
        return true;
    });
    if (ok) {
        ports = std::move(found);
    }
    return ok;
}

bool readPortsFile(const std::string& path, std::vector<JobPort>& ports, std::string& error) {
    std::vector<std::uint8_t> bytes;
    FileFailure failure;
    if (!readRegularFile(path, kMaxPortsFileBytes, bytes, failure)) {
        if (failure.cause == FileCause::TooLarge) {
            error = "--ports-file: \"" + path + "\" is larger than " +
                    std::to_string(kMaxPortsFileBytes) + " bytes";
        } else {
            error = "--ports-file: cannot read " + reasonWords(fileFailureReason(failure));
        }
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string problem;
    if (!parsePortsFileText(text, ports, problem)) {
        error = "--ports-file: \"" + path + "\" " + problem;
        return false;
    }
    return true;
}

}  // namespace korvane
