// Each fault switch of the adapter does what it says, and nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "core_host.h"
#include "writer_files.h"

namespace korvane::simtest {
namespace {

using sim::AdapterMode;
using sim::AdapterSettings;
using sim::FaultPlan;

AdapterSettings withFaults(int model, const FaultPlan& faults, bool echo = true) {
    AdapterSettings settings;
    settings.model = model;
    settings.echo = echo;
    settings.faults = faults;
    return settings;
}

TEST(AdapterFaults, QxflFailsTheGivenNumberOfTimesThenTheClosingRecordAndQxflSucceed) {
    FaultPlan faults;
    faults.finishFailures = 2;
    CoreHost host(withFaults(sim::kModelZnb5412, faults));
    host.say("QXUPDT03");
    EXPECT_EQ(host.say("QXFL"), "QXFL\rERROR\r\r>");
    EXPECT_EQ(host.say(sim::closingRecordCommand()), sim::closingRecordCommand() + "\rOK\r\r>");
    EXPECT_EQ(host.say("QXFL"), "QXFL\rERROR\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::LineDownload);
    EXPECT_EQ(host.say("QXFL"), "QXFL\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().update, sim::UpdateStatus::Completed);
    // After the finish the closing pair of commands still gets "OK" (a host that missed the
    // answer repeats them).
    EXPECT_EQ(host.say(sim::closingRecordCommand()), sim::closingRecordCommand() + "\rOK\r\r>");
    EXPECT_EQ(host.say("QXFL"), "QXFL\rOK\r\r>");
}

TEST(AdapterFaults, SilenceAfterCommandKMeansNoEchoNoAnswerNoEffect) {
    FaultPlan faults;
    faults.silentAfterCommand = 2;
    CoreHost host(withFaults(sim::kModelZnb5412, faults));
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
    EXPECT_EQ(host.say("QXUPDT03"), "");
    host.advanceMs(10000);
    EXPECT_EQ(host.take(), "");
    EXPECT_EQ(host.adapter.nextDueNs(), sim::kNever);
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
    EXPECT_EQ(host.adapter.status().commandCount, 3);
}

TEST(AdapterFaults, NoiseComesBeforeTheEchoAndNeverLooksLikeAnAnswer) {
    FaultPlan faults;
    faults.noiseBytes = 40;
    faults.noiseAt.numbers = {2};
    CoreHost host(withFaults(sim::kModelZnb5412, faults));
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
    const std::string noisy = host.say("QXI");
    ASSERT_EQ(noisy.size(), 40 + std::string("QXI\rKorvane FD v2.2.29\r\r>").size());
    EXPECT_EQ(noisy.substr(40), "QXI\rKorvane FD v2.2.29\r\r>");
    for (char c : noisy.substr(0, 40)) {
        EXPECT_TRUE(c != '\r' && c != '\n' && c != '\0' && c != '>' &&
                    !std::isalpha(static_cast<unsigned char>(c)))
            << c;
    }
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
}

TEST(AdapterFaults, NulBytesGoInsideTheAnswerNotTheEcho) {
    FaultPlan faults;
    faults.nulAt.all = true;
    CoreHost host(withFaults(sim::kModelZnb5412, faults));
    const std::string answer = host.say("QXUPDT03");
    EXPECT_EQ(answer, std::string("QXUPDT03\rO\0K\0\r\0\r\0>", 18));
    std::string withoutNul = answer;
    withoutNul.erase(std::remove(withoutNul.begin(), withoutNul.end(), '\0'), withoutNul.end());
    EXPECT_EQ(withoutNul, "QXUPDT03\rOK\r\r>");
}

TEST(AdapterFaults, FloodIsEchoedThenEndlessTextWithoutPromptAndTakesNoEffect) {
    FaultPlan faults;
    faults.floodAtCommand = 1;
    CoreHost host(withFaults(sim::kModelZnb5412, faults));
    const std::string flood = host.say("QXUPDT03");
    ASSERT_EQ(flood.size(), 9u + 100000u);
    EXPECT_EQ(flood.substr(0, 9), "QXUPDT03\r");
    EXPECT_EQ(flood.find_first_of(">\r\0", 9), std::string::npos);
    EXPECT_EQ(flood.find("OK"), std::string::npos);
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
    EXPECT_EQ(host.say("QXUPDT03"), "QXUPDT03\rOK\r\r>");
}

TEST(AdapterFaults, LinkDropsAtLineKBeforeTakingIt) {
    FaultPlan faults;
    faults.dropAtLine = 3;
    CoreHost host(withFaults(sim::kModelZnb5412, faults, false));
    const auto lines = sentTexts(family2File(5 * 64, "ZNB5412"));
    host.say("QXUPDT03");
    EXPECT_EQ(host.say("QXBL" + lines[0]), "...\r\r>");
    EXPECT_EQ(host.say("QXBL" + lines[1]), "OK\r\r>");
    EXPECT_FALSE(host.adapter.takeLinkDrop());
    EXPECT_EQ(host.say("QXBL" + lines[2]), "");
    EXPECT_TRUE(host.adapter.takeLinkDrop());
    EXPECT_FALSE(host.adapter.takeLinkDrop());
    // Until the transport has closed the link, nothing more is taken.
    EXPECT_EQ(host.say("ATE1"), "");
    host.adapter.linkLost();
    EXPECT_EQ(host.adapter.image().entries.size(), 2u);
    EXPECT_TRUE(host.adapter.image().pendingLine.empty());
    EXPECT_EQ(host.adapter.status().linkDrops, 1);
    // The adapter itself lives on: a new link finds it still in download mode.
    EXPECT_EQ(host.say("QXBL" + lines[2]), "...\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::LineDownload);
}

TEST(AdapterFaults, LineDelayHoldsTheAnswerNotTheEcho) {
    FaultPlan faults;
    faults.lineDelayMs = 50;
    CoreHost host(withFaults(sim::kModelZnb540, faults));
    host.say("QXDLZNB540");
    EXPECT_EQ(host.say("QXDLDT000000"), "QXDLDT000000\r");
    host.advanceMs(49);
    EXPECT_EQ(host.take(), "");
    EXPECT_EQ(host.adapter.nextDueNs(), 50'000'000);
    host.advanceMs(1);
    EXPECT_EQ(host.take(), "OK\r\r>");
    // Other commands are not delayed.
    EXPECT_EQ(host.say("ATE0"), "ATE0\rOK\r\r>");
}

TEST(AdapterFaults, RefusedBaudSwitchKeepsTheRate) {
    FaultPlan faults;
    faults.refuseBaudSwitch = true;
    CoreHost host(withFaults(sim::kModelZnb540, faults));
    host.say("QXDLZNB540");
    EXPECT_EQ(host.say("QX DLBD 02"), "QX DLBD 02\r?\r\r>");
    host.advanceMs(2000);
    EXPECT_EQ(host.take(), "");
    EXPECT_EQ(host.adapter.status().adapterRate, 115200);
    EXPECT_EQ(host.adapter.status().fastLink, sim::FastLinkPhase::Off);
}

TEST(AdapterFaults, FaultsCanBeReplacedWhileRunning) {
    CoreHost host(echoing(sim::kModelZnb5412));
    host.say("QXUPDT03");
    FaultPlan faults;
    faults.finishFailures = 1;
    host.adapter.setFaults(faults);
    EXPECT_EQ(host.say("QXFL"), "QXFL\rERROR\r\r>");
    EXPECT_EQ(host.say("QXFL"), "QXFL\rOK\r\r>");
}

}  // namespace
}  // namespace korvane::simtest
