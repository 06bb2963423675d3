#include "engine/identification.h"

#include <string>

#include "engine/flows.h"
#include "engine/support_contact.h"
#include "tests/flows/flow_fixture.h"

namespace korvane::test {
namespace {

constexpr char kNoUpgrade[] = "There is no upgrade function for this product!\r\n";
constexpr char kNewer[] =
    "The device firmware version number is higher, please use the latest firmware file.!\r\n";

using IdentificationTest = FlowTest;

TEST_F(IdentificationTest, IdentityPrefixesOfEachModel) {
    struct Case {
        ModelCode code;
        const char* identity;
        GateResult expected;
    };
    constexpr GateResult kPassed = GateResult::Passed;
    constexpr GateResult kOther = GateResult::ModelMismatch;
    const Case cases[] = {
        {0, "AzurPro v2.3", kPassed},       {0, "AzurXX V4.0.05", kOther},
        {1, "Q_Rove01 v2.2.29", kPassed},   {1, "Korvane MC v2.2.29", kPassed},
        {1, "Korvane-MC v2.2", kPassed},    {1, "Korvane BM v2.2", kOther},
        {2, "Korvane BM v2.2.29", kPassed}, {3, "Korvane FD v2", kPassed},
        {3, "Korvane fd v2", kOther},       {4, "Azur01 v2.1", kPassed},
        {4, "Azur01v2.1", kOther},          {5, "ZNB540 v1.0", kOther},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.identity);
        ScriptedChannel link;
        link.setEcho(true);
        link.reply("QXI\r", std::string(c.identity) + "\r\r>");
        link.reply("QXPROI\r", "Korvane OBD-II V2\r\r>");
        std::snprintf(freshFile().productText, 128, "Korvane OBD");
        AdapterFacts learned;
        EXPECT_EQ(identifyModel(job, link, c.code, learned), c.expected);
        // The identity alone sets the adapter's model, before the product text is looked at.
        EXPECT_EQ(learned.deviceCode, c.expected == kPassed ? c.code : kModelUnknown);
    }
}

TEST_F(IdentificationTest, ProductTextMustBeContainedAndNotEmpty) {
    channel.reply("QXI\r", "Korvane BM v2.2.29\r\r>");
    channel.reply("QXPROI\r", "OBD Korvane Pro\r\r>");
    const struct {
        const char* productText;
        GateResult expected;
    } cases[] = {{"Korvane Pro", GateResult::Passed},
                 {"Korvane", GateResult::Passed},
                 {"Korvane Max", GateResult::ModelMismatch},
                 {"", GateResult::ModelMismatch}};
    for (const auto& c : cases) {
        std::snprintf(freshFile().productText, 128, "%s", c.productText);
        AdapterFacts learned;
        EXPECT_EQ(identifyModel(job, channel, kModelZnb5411, learned), c.expected) << c.productText;
    }
}

TEST_F(IdentificationTest, SilentAdapterIsNotIdentified) {
    std::snprintf(freshFile().productText, 128, "Korvane");
    AdapterFacts learned;
    EXPECT_EQ(identifyModel(job, channel, kModelZnb5413, learned), GateResult::ModelMismatch);
    EXPECT_EQ(learned.deviceCode, kModelUnknown);
}

TEST_F(IdentificationTest, ElmVersionLimitDependsOnTheAdapterModel) {
    const struct {
        int deviceCode;
        const char* answer;
        GateResult expected;
    } cases[] = {
        {0, "ELM327 v2.3", GateResult::Passed},
        {1, "ELM327 v2.3", GateResult::ElmVersionTooNew},
        {4, "ELM327 v2.3", GateResult::ElmVersionTooNew},
        {0, "ELM327 v2.4", GateResult::ElmVersionTooNew},
        {2, "ELM327 v2.2", GateResult::Passed},
        {kModelUnknown, "ELM327 v2.2", GateResult::Passed},
        {3, "OBDII v9.9", GateResult::Passed},  // an unknown identity parses as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptedChannel link;
        link.setEcho(true);
        link.reply("ATI\r", std::string(c.answer) + "\r\r>");
        EXPECT_EQ(checkElmVersion(job, link, c.deviceCode), c.expected);
    }
}

// The threshold matrix: adapters below, at and above their model's threshold, each offered a
// file at the threshold and one above it.
TEST_F(IdentificationTest, VersionGateMatrix) {
    struct Model {
        ModelCode code;
        const char* query;
        const char* answerPrefix;
        const char* below;
        const char* at;
        const char* above;
        int threshold;
        const char* upgradeText;  // nullptr: refused below the threshold whatever the file
    };
    const Model models[] = {
        {0, "QXVERS\r", "AzurXX V", "4.0.04", "4.0.0X", "4.0.06", 4005,
         "Please upgrade to version aZurPro_V4.0.0X first!\r\n"},
        {1, "QXI\r", "Korvane MC v", "2.2.28", "2.2.2X", "2.3.00", 2229,
         "Please upgrade to version Korvane_MC_V2.2.2X first!\r\n"},
        {2, "QXI\r", "Korvane BM v", "2.2.28", "2.2.29", "2.2.30", 2229,
         "Please upgrade to version Korvane_BM_V2.2.2X first!\r\n"},
        {3, "QXI\r", "Korvane FD v", "2.2.2", "2.2.2X", "2.2.99", 2229,
         "Please upgrade to version Korvane_FD_V2.2.2X first!\r\n"},
        {4, "QXVERS\r", "AzurXX V", "4.0.04", "4.0.05", "4.1.0X", 4005, nullptr},
    };
    for (const Model& m : models) {
        const char* versions[] = {m.below, m.at, m.above};
        for (int where = 0; where < 3; ++where) {
            for (int fileVersion : {m.threshold, m.threshold + 1}) {
                SCOPED_TRACE(testing::Message() << "model " << int(m.code) << " device "
                                                << versions[where] << " file " << fileVersion);
                ScriptedChannel link;
                link.setEcho(true);
                link.reply(m.query, std::string(m.answerPrefix) + versions[where] + "\r\r>");
                ReportLog seen;
                job.setReports(&seen);

                GateResult expected = GateResult::Refused;
                std::string text;
                if (where == 0) {
                    if (m.upgradeText == nullptr) {
                        text = kNoUpgrade;
                    } else if (fileVersion <= m.threshold) {
                        expected = GateResult::IntermediateUpdate;
                    } else {
                        text = m.upgradeText;
                    }
                } else if (fileVersion > m.threshold) {
                    expected = GateResult::DirectUpdate;
                } else {
                    text = kNewer;
                }
                EXPECT_EQ(gateVersion(job, link, m.code, fileVersion), expected);
                EXPECT_EQ(seen.output(), text);
            }
        }
    }
}

TEST_F(IdentificationTest, VersionGateRefusals) {
    const std::string kModelMismatch =
        "**Failed** The upgrade file does not match the device model!\r\n";
    const std::string tooOld = std::string(
                                   "This product is too old, please contact the \r\ntechnical "
                                   "team for assistance in upgrading: \r\n[") +
                               kSupportContact + "].\r\n";
    const struct {
        ModelCode code;
        const char* query;
        const char* answer;
        std::string text;
    } cases[] = {
        {0, "QXVERS\r", "Azur V3.2.1", tooOld},
        // Neither too old nor the version prefix, another model's identity, no answer: refused
        // with the model text, never without a word.
        {0, "QXVERS\r", "Azur V4.0.05", kModelMismatch},
        {4, "QXVERS\r", "Azur V3.2.1", kNoUpgrade},
        {1, "QXI\r", "Korvane BM v2.3.0", kModelMismatch},
        {2, "QXI\r", "", kModelMismatch},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptedChannel link;
        link.setEcho(true);
        link.reply(c.query, std::string(c.answer) + "\r\r>");
        ReportLog seen;
        job.setReports(&seen);
        EXPECT_EQ(gateVersion(job, link, c.code, 9999), GateResult::Refused);
        EXPECT_EQ(seen.output(), c.text);
    }
    // A code outside the family-2 models is refused without a word to the adapter.
    EXPECT_EQ(gateVersion(job, channel, kModelZnb540, 9999), GateResult::Refused);
    EXPECT_TRUE(channel.writes().empty());
}

TEST_F(IdentificationTest, VersionReadOuts) {
    channel.reply("QXVERS\r", "V2.2\r\r>");
    channel.reply("QXI\r", "Korvane BM v2.2.29\r\r>");
    EXPECT_EQ(reportDeviceVersion(job, channel, kModelAzur03), VersionReportResult::Reported);
    EXPECT_EQ(reportAdapterVersion(job, channel, kModelAzur03), VersionReportResult::Reported);
    const std::vector<std::string> expected = {
        "device version:", "V2.2", "\r\n", "Adapter version:", "Korvane BM v2.2.29", "\r\n"};
    EXPECT_EQ(log.texts, expected);
}

TEST_F(IdentificationTest, VersionReadOutFailures) {
    channel.reply("QXVERS\r", "2.2\r\r>");  // no "V"
    EXPECT_EQ(reportDeviceVersion(job, channel, kModelZnb6730),
              VersionReportResult::NoVersionLetter);
    EXPECT_EQ(reportAdapterVersion(job, channel, 7), VersionReportResult::UnknownModel);
    EXPECT_EQ(channel.writes().size(), 1u);  // code 7 sent nothing
    // A silent adapter: nothing reported.
    ScriptedChannel silent;
    EXPECT_EQ(reportAdapterVersion(job, silent, kModelAzur03),
              VersionReportResult::NoVersionLetter);
    EXPECT_TRUE(log.texts.empty());
}

}  // namespace
}  // namespace korvane::test
