// The command line of korvane-adapter-sim.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/adapter/cli_options.h"

namespace korvane::simtest {
namespace {

bool parse(const std::vector<const char*>& words, sim::CliOptions& options, std::string& error) {
    return sim::parseCommandLine(static_cast<int>(words.size()), words.data(), options, error);
}

TEST(SimCommandLine, LinkModelAndFaultsAreTakenFromTheFlags) {
    sim::CliOptions options;
    std::string error;
    ASSERT_TRUE(
        parse({"--tcp",        "127.0.0.1:0", "--model",      "6",   "--rep-pack",     "3:2",
               "--rep-pack",   "8:6",         "--rep-block",  "2:3", "--err02",        "5:1",
               "--noise",      "7:2,4",       "--nul",        "all", "--drop-at-line", "9",
               "--line-delay", "3",           "--refuse-baud"},
              options, error))
        << error;
    EXPECT_EQ(options.server.link, sim::ServerOptions::Link::Tcp);
    EXPECT_EQ(options.server.tcpPort, 0);
    EXPECT_EQ(options.settings.model, 6);
    const sim::FaultPlan& faults = options.settings.faults;
    ASSERT_EQ(faults.repPack.size(), 2u);
    EXPECT_EQ(faults.repPack[1].at, 8);
    EXPECT_EQ(faults.repPack[1].count, 6);
    EXPECT_EQ(faults.repBlock[0].count, 3);
    EXPECT_EQ(faults.err02[0].at, 5);
    EXPECT_EQ(faults.noiseBytes, 7);
    EXPECT_EQ(faults.noiseAt.numbers, (std::vector<int>{2, 4}));
    EXPECT_FALSE(faults.noiseAt.all);
    EXPECT_TRUE(faults.nulAt.all);
    EXPECT_EQ(faults.dropAtLine, 9);
    EXPECT_EQ(faults.lineDelayMs, 3);
    EXPECT_TRUE(faults.refuseBaudSwitch);
}

TEST(SimCommandLine, OptionsApplyInTheOrderGivenAndNumbersAreDecimal) {
    sim::CliOptions options;
    std::string error;
    ASSERT_TRUE(parse({"--tcp", "127.0.0.1:0", "--pty", "--model", "2", "--model=3", "--line-delay",
                       "010", "--nul", "1,2", "--nul", "5"},
                      options, error))
        << error;
    EXPECT_EQ(options.server.link, sim::ServerOptions::Link::Pty);
    EXPECT_EQ(options.settings.model, 3);
    EXPECT_EQ(options.settings.faults.lineDelayMs, 10);
    EXPECT_EQ(options.settings.faults.nulAt.numbers, (std::vector<int>{1, 2, 5}));
    EXPECT_FALSE(options.help);

    sim::CliOptions later;
    ASSERT_TRUE(parse({"--pty", "--tcp", "127.0.0.1:35001", "-h"}, later, error)) << error;
    EXPECT_EQ(later.server.link, sim::ServerOptions::Link::Tcp);
    EXPECT_EQ(later.server.tcpPort, 35001);
    EXPECT_TRUE(later.help);
}

TEST(SimCommandLine, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<const char*>> bad = {
        {"--model", "7"},
        {"--tcp", "127.0.0.1"},
        {"--tcp", "127.0.0.1:70000"},
        {"--rep-pack", "3"},
        {"--rep-pack", "0:1"},
        {"--noise", "x"},
        {"--nul", "1,,2"},
        {"--boot-loader", "--model", "5"},
        {"--drop-at-line"},
        {"--whatever"},
        {"--model", "0x5"},
        {"--line-delay", "600001"},
        {"--image-format", "hex"},
        {"stray"},
    };
    for (const auto& words : bad) {
        sim::CliOptions options;
        std::string error;
        EXPECT_FALSE(parse(words, options, error)) << words[0];
        EXPECT_FALSE(error.empty()) << words[0];
    }
}

}  // namespace
}  // namespace korvane::simtest
