// korvane-bench-channel-client: the minimal client's loop through the updater's own TcpChannel,
// as the command exchange uses it (purge, write the whole command, then one-byte reads until
// ">"), without the exchange's echo handling or the download flow. Set beside korvane-fw and the
// minimal client, it tells how much of the difference is the channel's and how much the engine's.
//
//   korvane-bench-channel-client IP:PORT COMMANDS_FILE
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "channel/channel_config.h"
#include "channel/tcp/tcp_channel.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvane-bench-channel-client IP:PORT COMMANDS_FILE\n");
        return 2;
    }
    std::ifstream in(argv[2]);
    std::vector<std::string> commands;
    for (std::string line; std::getline(in, line);) {
        commands.push_back(line + "\r");
    }
    const std::string address = argv[1];
    const std::size_t colon = address.rfind(':');
    korvane::ChannelConfig config;
    config.set("mode", "client");
    config.set("remote_ip", address.substr(0, colon));
    config.set("remote_port", colon == std::string::npos ? "" : address.substr(colon + 1));
    bool open = false;
    korvane::TcpChannel channel(config, open);
    if (!open) {
        std::fprintf(stderr, "korvane-bench-channel-client: cannot connect to %s\n", argv[1]);
        return 1;
    }
    constexpr int kBudgetMs = 2000;
    for (const std::string& command : commands) {
        channel.purge();
        bool answered = channel.write(reinterpret_cast<const std::uint8_t*>(command.data()),
                                      static_cast<int>(command.size()), kBudgetMs);
        std::uint8_t byte = 0;
        while (answered && byte != '>') {
            answered = channel.read(&byte, 1, kBudgetMs) == korvane::ReadResult::Read;
        }
        if (!answered) {
            std::fprintf(stderr, "korvane-bench-channel-client: no answer to %s\n",
                         command.c_str());
            return 1;
        }
    }
    return 0;
}
