#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    return korvane::runCli(korvane::CliArgs(argv + 1, argv + argc), std::cout, std::cerr);
}
