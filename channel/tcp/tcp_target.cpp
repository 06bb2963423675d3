#include "channel/tcp/tcp_target.h"

namespace korvane {

bool parseDottedIpv4(const std::string& text, unsigned char (&address)[4]) {
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return false;
            }
            ++at;
        }
        const std::size_t start = at;
        int value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 3) {
            value = value * 10 + (text[at] - '0');
            ++at;
        }
        const std::size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) {
            return false;
        }
        address[part] = static_cast<unsigned char>(value);
    }
    return at == text.size();
}

bool checkTcpTarget(const std::string& ip, int port, unsigned char (&address)[4],
                    OpenFailure& failure) {
    failure = OpenFailure{};
    failure.port = ip + ":" + std::to_string(port);
    if (!parseDottedIpv4(ip, address)) {
        failure.record(OpenCause::BadAddress, 0);
        return false;
    }
    if (port <= 0 || port > 65535) {
        failure.record(OpenCause::BadPortNumber, 0);
        return false;
    }
    return true;
}

}  // namespace korvane
