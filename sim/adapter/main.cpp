// korvane-adapter-sim: one emulated adapter on a TCP port or a pseudo-terminal.
#include <signal.h>

#include <cstdio>
#include <string>

#include "platform/standard_streams.h"
#include "sim/adapter/adapter_server.h"
#include "sim/adapter/cli_options.h"

namespace {

korvane::sim::AdapterServer* runningServer = nullptr;

extern "C" void onStopSignal(int) {
    if (runningServer != nullptr) {
        runningServer->requestStop();
    }
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void printCommand(const korvane::sim::ReceivedCommand& command) {
    std::fprintf(stderr, "%10.3f ms  #%d  %s\n", static_cast<double>(command.timeNs) / 1e6,
                 command.number, command.text.c_str());
}

int exitStatusFor(korvane::sim::UpdateStatus status) {
    switch (status) {
        case korvane::sim::UpdateStatus::Completed:
            return 0;
        case korvane::sim::UpdateStatus::Running:
            return 1;
        case korvane::sim::UpdateStatus::None:
            break;
    }
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    using namespace korvane::sim;
    CliOptions options;
    std::string error;
    if (!parseCommandLine(argc - 1, argv + 1, options, error)) {
        std::fprintf(stderr, "korvane-adapter-sim: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    if (options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (options.trace) {
        options.server.commandObserver = printCommand;
    }

    AdapterServer server(options.settings, options.server);
    if (!server.open(&error)) {
        std::fprintf(stderr, "korvane-adapter-sim: %s\n", error.c_str());
        return 2;
    }
    runningServer = &server;
    installStopHandlers();
    const bool pty = options.server.link == ServerOptions::Link::Pty;
    std::printf("%s %s\n", pty ? "pty" : "tcp", server.address().c_str());
    std::printf("descriptor %s\n", server.hostDescriptor().c_str());
    std::fflush(stdout);

    server.run();
    server.stop();
    runningServer = nullptr;

    const AdapterStatus status = server.status();
    std::fprintf(stderr,
                 "korvane-adapter-sim: last update %s; %d commands, %llu bytes in, %llu bytes "
                 "out, link time at least %.3f s\n",
                 updateStatusName(status.update), status.commandCount,
                 static_cast<unsigned long long>(status.counts.bytesIn),
                 static_cast<unsigned long long>(status.counts.bytesOut),
                 status.counts.linkTimeSeconds);
    return exitStatusFor(status.update);
}
