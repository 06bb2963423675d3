// The adapter's command rules, answers and mode changes, driven in-process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_host.h"

namespace korvane::simtest {
namespace {

using sim::AdapterMode;
using sim::AdapterSettings;
using sim::UpdateStatus;

TEST(AdapterCommands, EchoIsOffUntilAte1AndEveryAnswerEndsWithThePrompt) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    CoreHost host(settings);

    EXPECT_EQ(host.say("ATI"), "ELM327 v2.2\r\r>");
    // The command that turns echo on is not echoed itself: echo was off when it came.
    EXPECT_EQ(host.say("ATE1"), "OK\r\r>");
    EXPECT_TRUE(host.adapter.status().echo);
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
    EXPECT_EQ(host.say("NOSUCH"), "NOSUCH\r?\r\r>");
    // An empty line is answered with the prompt alone.
    EXPECT_EQ(host.say(""), "\r>");
    EXPECT_EQ(host.say("ATE0"), "ATE0\rOK\r\r>");
    EXPECT_EQ(host.say("QXPROI"), "Korvane OBD-II\r\r>");
}

TEST(AdapterCommands, CommandsAssembleAcrossReadsAndIgnoreLineFeeds) {
    CoreHost host(echoing(sim::kModelZnb5411));
    EXPECT_EQ(host.send("AT"), "");
    EXPECT_EQ(host.send("I\r"), "ATI\rELM327 v2.2\r\r>");
    EXPECT_EQ(host.send("\nQXI\r\n"), "QXI\rKorvane BM v2.2.29\r\r>");
    // Two commands in one burst are answered in order.
    EXPECT_EQ(host.send("ATI\rQXVERS\r"), "ATI\rELM327 v2.2\r\r>QXVERS\rV2.2\r\r>");
}

TEST(AdapterCommands, OverlongCommandIsRefusedWithoutHarm) {
    CoreHost host(echoing(sim::kModelZnb5411));
    const std::string answer = host.say(std::string(5000, 'A'));
    EXPECT_EQ(answer.substr(answer.size() - 5), "\r?\r\r>");
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
}

struct IdentityCase {
    int model;
    bool versionNamesModel;
    const char* qxi;
    const char* qxvers;
};

class AdapterIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(AdapterIdentity, AnswersCarryTheModelsPrefixesAndVersions) {
    const IdentityCase& c = GetParam();
    AdapterSettings settings;
    settings.model = c.model;
    settings.versionNamesModel = c.versionNamesModel;
    CoreHost host(settings);
    EXPECT_EQ(host.say("QXI"), std::string(c.qxi) + "\r\r>");
    EXPECT_EQ(host.say("QXVERS"), std::string(c.qxvers) + "\r\r>");
    EXPECT_EQ(host.say("ATI"), "ELM327 v2.2\r\r>");
}

INSTANTIATE_TEST_SUITE_P(EveryModel, AdapterIdentity,
                         ::testing::Values(IdentityCase{0, true, "AzurPro v2.2", "AzurXX V4.0.05"},
                                           IdentityCase{1, true, "Korvane MC v2.2.29", "V2.2"},
                                           IdentityCase{2, true, "Korvane BM v2.2.29", "V2.2"},
                                           IdentityCase{3, true, "Korvane FD v2.2.29", "V2.2"},
                                           IdentityCase{4, true, "Azur01 v2.2", "AzurXX V4.0.05"},
                                           IdentityCase{5, true, "ZNB540 v2.2", "ZNB540 V1.0.0"},
                                           IdentityCase{6, true, "ZNB6730 v2.2", "ZNB6730 V1.0.0"},
                                           IdentityCase{5, false, "ZNB540 v2.2", "V1.0.0"}));

TEST(AdapterIdentity, ConfiguredVersionsAndPrefixAreUsed) {
    AdapterSettings settings;
    settings.model = sim::kModelZnb5413;
    settings.identityPrefix = "Korvane-MC v";
    settings.firmwareVersion = "2.2.28";
    settings.shortVersion = "2.1";
    settings.elmVersion = "2.3";
    CoreHost host(settings);
    EXPECT_EQ(host.say("QXI"), "Korvane-MC v2.2.28\r\r>");
    EXPECT_EQ(host.say("QXVERS"), "V2.1\r\r>");
    EXPECT_EQ(host.say("ATI"), "ELM327 v2.3\r\r>");
}

TEST(AdapterModes, ApplicationFirmwareEntersDownloadAndReturnsAfterQxfl) {
    CoreHost host(echoing(sim::kModelZnb5411));
    // Line commands mean nothing outside download mode.
    EXPECT_EQ(host.say("QXBL00"), "QXBL00\r?\r\r>");
    EXPECT_EQ(host.say("QXFL"), "QXFL\r?\r\r>");
    EXPECT_EQ(host.adapter.status().update, UpdateStatus::None);

    EXPECT_EQ(host.say("QXUPDT03"), "QXUPDT03\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::LineDownload);
    EXPECT_EQ(host.adapter.status().update, UpdateStatus::Running);
    // In download mode the application's queries are not served.
    EXPECT_EQ(host.say("ATI"), "ATI\r?\r\r>");

    EXPECT_EQ(host.say("QXFL"), "QXFL\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
    EXPECT_EQ(host.adapter.status().update, UpdateStatus::Completed);
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
}

TEST(AdapterModes, BootLoaderHidesTheElmIdentityUntilAnUpdateCompletes) {
    AdapterSettings settings = echoing(sim::kModelAzur03);
    settings.bootLoader = true;
    CoreHost host(settings);
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::BootLoader);
    EXPECT_EQ(host.say("ATI").find("ELM327 "), std::string::npos);
    EXPECT_EQ(host.say("QXI"), "QXI\r?\r\r>");
    EXPECT_EQ(host.say("QXUPDT03"), "QXUPDT03\rOK\r\r>");
    // The updater asks again as its start request; that starts the download afresh.
    EXPECT_EQ(host.say("QXUPDT03"), "QXUPDT03\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::LineDownload);
    EXPECT_EQ(host.adapter.status().updatesStarted, 1);
    EXPECT_EQ(host.say("QXFL"), "QXFL\rOK\r\r>");
    EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
    EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.2\r\r>");
}

TEST(AdapterModes, Family1DownloadIsEnteredOnlyByTheOwnModelsCommand) {
    for (int model : {sim::kModelZnb540, sim::kModelZnb6730}) {
        SCOPED_TRACE(model);
        CoreHost host(echoing(model));
        const std::string own = model == sim::kModelZnb540 ? "QXDLZNB540" : "QXDLZNB6730";
        const std::string other = model == sim::kModelZnb540 ? "QXDLZNB6730" : "QXDLZNB540";
        EXPECT_EQ(host.say(other), other + "\r?\r\r>");
        EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
        EXPECT_EQ(host.say("QXDLED"), "QXDLED\r?\r\r>");
        EXPECT_EQ(host.say(own), own + "\rOK\r\r>");
        EXPECT_EQ(host.adapter.status().mode, AdapterMode::BlockDownload);
        EXPECT_EQ(host.say("QXDLED"), "QXDLED\rOK\r\r>");
        EXPECT_EQ(host.adapter.status().mode, AdapterMode::Application);
        EXPECT_EQ(host.adapter.status().update, UpdateStatus::Completed);
        // A host that missed that answer may ask again.
        EXPECT_EQ(host.say("QXDLED"), "QXDLED\rOK\r\r>");
    }
}

TEST(AdapterModes, FamiliesDoNotAnswerEachOthersDownloadCommands) {
    CoreHost line(echoing(sim::kModelZnb5412));
    EXPECT_EQ(line.say("QXDLZNB540"), "QXDLZNB540\r?\r\r>");
    CoreHost block(echoing(sim::kModelZnb540));
    EXPECT_EQ(block.say("QXUPDT03"), "QXUPDT03\r?\r\r>");
}

TEST(AdapterVersions, SetCommandsAreModelSpecificAndReflectedByAti) {
    CoreHost azur(echoing(sim::kModelAzur01));
    EXPECT_EQ(azur.say("QX UCS_ATI ELM327 v2.2"), "QX UCS_ATI ELM327 v2.2\r?\r\r>");
    EXPECT_EQ(azur.say("QXVADJ v2.1"), "QXVADJ v2.1\rELM327 v2.1\r\r>");
    EXPECT_EQ(azur.say("ATI"), "ATI\rELM327 v2.1\r\r>");

    for (int model : {sim::kModelZnb5413, sim::kModelZnb540}) {
        CoreHost host(echoing(model));
        EXPECT_EQ(host.say("QXVADJ v2.3"), "QXVADJ v2.3\r?\r\r>");
        EXPECT_EQ(host.say("QX UCS_ATI ELM327 v2.3"), "QX UCS_ATI ELM327 v2.3\rOK\r\r>");
        EXPECT_EQ(host.say("ATI"), "ATI\rELM327 v2.3\r\r>");
    }
}

TEST(AdapterVersions, NewFirmwareReportsItsVersionsAfterTheUpdate) {
    AdapterSettings settings = echoing(sim::kModelZnb5413);
    settings.firmwareVersion = "2.2.28";
    settings.firmwareVersionAfterUpdate = "2.2.30";
    settings.shortVersionAfterUpdate = "2.1";
    CoreHost host(settings);
    host.say("QXUPDT03");
    EXPECT_EQ(host.say("QXI"), "QXI\r?\r\r>");
    host.say("QXFL");
    EXPECT_EQ(host.say("QXI"), "QXI\rKorvane MC v2.2.30\r\r>");
    EXPECT_EQ(host.say("QXVERS"), "QXVERS\rV2.1\r\r>");
}

}  // namespace
}  // namespace korvane::simtest
