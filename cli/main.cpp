#include <iostream>

#include "cli/cli.h"
#include "cli/queued_output.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    // Standard output and error go through an output thread: a reader that stalls never holds up
    // an update, and the exit status is the command's.
    korvane::QueuedOutput output;
    const int status =
        korvane::runCli(korvane::CliArgs(argv + 1, argv + argc), std::cout, std::cerr);
    output.finish();
    return status;
}
