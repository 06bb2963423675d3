#include <iostream>

#include "channel/standard_streams.h"
#include "cli/cli.h"

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    return korvane::runCli(korvane::CliArgs(argv + 1, argv + argc), std::cout, std::cerr);
}
