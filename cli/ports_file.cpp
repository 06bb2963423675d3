#include "cli/ports_file.h"

#include <fstream>
#include <iterator>

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

}  // namespace

std::vector<std::string> parsePortsText(std::string_view text) {
    std::vector<std::string> descriptors;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.front() != '#') {
            descriptors.emplace_back(line);
        }
    }
    return descriptors;
}

bool readPortsFile(const std::string& path, std::vector<std::string>& descriptors,
                   std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "--ports-file: cannot read \"" + path + "\"";
        return false;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxPortsFileBytes) {
            error = "--ports-file: \"" + path + "\" is larger than " +
                    std::to_string(kMaxPortsFileBytes) + " bytes";
            return false;
        }
    }
    if (in.bad()) {
        error = "--ports-file: cannot read \"" + path + "\"";
        return false;
    }
    descriptors = parsePortsText(text);
    return true;
}

}  // namespace korvane
