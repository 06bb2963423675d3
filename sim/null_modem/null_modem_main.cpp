// korvane-null-modem: prints the two slave paths on one line ("A B"), then carries bytes between
// them until SIGINT or SIGTERM.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "platform/standard_streams.h"
#include "sim/null_modem/null_modem_link.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void onStopSignal(int) {
    stopRequested.store(true);
}

}  // namespace

int main(int argc, char**) {
    korvane::guardStandardStreams();
    if (argc != 1) {
        std::fprintf(stderr, "usage: korvane-null-modem\n");
        return 2;
    }
    korvane::sim::NullModemLink link;
    std::string error;
    if (!link.open(error)) {
        std::fprintf(stderr, "korvane-null-modem: %s\n", error.c_str());
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGHUP, SIG_IGN);

    std::printf("%s %s\n", link.slavePath(0).c_str(), link.slavePath(1).c_str());
    std::fflush(stdout);
    link.run(stopRequested);
    std::fprintf(stderr, "korvane-null-modem: %llu bytes carried, %llu dropped at unequal rates\n",
                 static_cast<unsigned long long>(link.bytesCarried()),
                 static_cast<unsigned long long>(link.bytesDropped()));
    return 0;
}
