#include "engine/adapter_query.h"

#include <cstring>

#include "engine/command_exchange.h"
#include "engine/line_noise.h"

namespace korvane {

namespace {
constexpr int kQueryTimeoutMs = 2000;
constexpr int kWholePrefix = 255;
}  // namespace

void queryAdapter(FlowContext& flow, Channel& channel, const char* command, char* reply,
                  std::size_t replySize) {
    reply[0] = '\0';
    sendCommand(channel, command, kQueryTimeoutMs);
    readPromptReply(channel, reply, replySize, kQueryTimeoutMs);
    if (isLineNoise(reply)) {
        flow.noteLineNoise(command);
        reply[0] = '\0';
    }
}

void dropEcho(char* reply, const char* echo) {
    const char* rest = skipPrefix(reply, echo, kWholePrefix);
    std::memmove(reply, rest, std::strlen(rest) + 1);
}

}  // namespace korvane
