#include <iostream>

#include "cli/cli.h"
#include "platform/standard_streams.h"

int main(int argc, char** argv) {
    korvane::guardStandardStreams();
    return korvane::runCli(korvane::CliArgs(argv + 1, argv + argc), std::cout, std::cerr);
}
