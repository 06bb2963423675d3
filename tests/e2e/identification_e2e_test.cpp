// Identification, version gating and the version read-out against the emulated adapter.
#include <gtest/gtest.h>

#include <chrono>

#include "engine/support_contact.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/silent_listener.h"

namespace korvane::e2e {
namespace {

constexpr char kConnected[] = "Device connection ok!\r\n";
constexpr char kMismatch[] = "**Failed** The upgrade file does not match the device model!\r\n";
constexpr char kNoUpgrade[] = "There is no upgrade function for this product!\r\n";
constexpr char kNewer[] =
    "The device firmware version number is higher, please use the latest firmware file.!\r\n";
constexpr char kElmTooNew[] =
    "This software version is too low, please download the latest software version.!\r\n";

// Runs a small update of a file of `fileModel` and `fileVersionText` on an adapter.
JobRecord updateOn(const sim::AdapterSettings& settings, int fileModel,
                   const char* fileVersionText = nullptr) {
    EmulatedLink adapter(settings, Link::Tcp);
    EXPECT_TRUE(adapter.started()) << adapter.error();
    sim::UpdateFileRecipe recipe = recipeFor(fileModel, 128);
    if (fileVersionText != nullptr) {
        recipe.versionText = fileVersionText;
    }
    const UpdateFileOnDisk update = writeUpdateFile(recipe);
    return runUpdateJob(adapter.descriptor(), update.path);
}

// What the user reads after the connection, up to the end, without the refusal's reason line,
// which must be there: last, and saying that the adapter was left as it was.
std::string afterConnection(const JobRecord& record) {
    const std::string all = record.output();
    const std::size_t at = all.find(kConnected);
    std::string after = at == std::string::npos ? all : all.substr(at + sizeof(kConnected) - 1);
    const std::size_t reason = after.rfind("\r\n  ");
    if (reason == std::string::npos) {
        ADD_FAILURE() << "no reason line: " << all;
        return after;
    }
    EXPECT_NE(after.find("the adapter was left as it was", reason), std::string::npos) << after;
    return after.substr(0, reason + 2);
}

// Every model's adapter below, at and above its threshold, offered a file at the threshold and
// one above it.
TEST(VersionGate, ThresholdMatrix) {
    struct Model {
        int model;
        const char* versions[3];  // below, at, above
        const char* files[2];     // at, above
        const char* upgradeText;  // nullptr: refused below the threshold whatever the file
    };
    const Model models[] = {
        {sim::kModelAzur03,
         {"4.0.04", "4.0.0X", "4.0.06"},
         {"V4.0.05", "V4.0.06"},
         "Please upgrade to version aZurPro_V4.0.0X first!\r\n"},
        {sim::kModelZnb5413,
         {"2.2.28", "2.2.2X", "2.2.30"},
         {"V2.2.2X", "V2.2.30"},
         "Please upgrade to version Korvane_MC_V2.2.2X first!\r\n"},
        {sim::kModelZnb5411,
         {"2.2.28", "2.2.29", "2.2.30"},
         {"V2.2.29", "V2.2.30"},
         "Please upgrade to version Korvane_BM_V2.2.2X first!\r\n"},
        {sim::kModelZnb5412,
         {"2.2.28", "2.2.29", "2.3.00"},
         {"V2.2.29", "V2.2.30"},
         "Please upgrade to version Korvane_FD_V2.2.2X first!\r\n"},
        {sim::kModelAzur01, {"4.0.04", "4.0.05", "4.0.1X"}, {"V4.0.0X", "V4.0.06"}, nullptr},
    };
    for (const Model& m : models) {
        for (int where = 0; where < 3; ++where) {
            for (int file = 0; file < 2; ++file) {
                SCOPED_TRACE(testing::Message() << "model " << m.model << " adapter "
                                                << m.versions[where] << " file " << m.files[file]);
                sim::AdapterSettings settings;
                settings.model = m.model;
                settings.firmwareVersion = m.versions[where];
                const JobRecord record = updateOn(settings, m.model, m.files[file]);

                std::string refusal;
                if (where == 0) {
                    if (m.upgradeText == nullptr) {
                        refusal = kNoUpgrade;
                    } else if (file == 1) {
                        refusal = m.upgradeText;
                    }
                } else if (file == 0) {
                    refusal = kNewer;
                }
                if (refusal.empty()) {
                    EXPECT_TRUE(record.outcome.finished()) << record.output();
                    EXPECT_FALSE(sawFailureText(record)) << record.output();
                } else {
                    EXPECT_EQ(afterConnection(record), refusal);
                    EXPECT_EQ(record.progress.back(), 4);
                }
            }
        }
    }
}

TEST(VersionGate, IdentityRefusals) {
    struct Case {
        const char* name;
        sim::AdapterSettings settings;
        int fileModel;
        std::string refusal;  // empty: the update goes through
    };
    auto adapter = [](int model) {
        sim::AdapterSettings settings;
        settings.model = model;
        return settings;
    };
    std::vector<Case> cases;
    cases.push_back({"another model", adapter(sim::kModelZnb5412), sim::kModelZnb5411, kMismatch});
    {
        Case c{"another product", adapter(sim::kModelZnb5411), sim::kModelZnb5411, kMismatch};
        c.settings.productText = "Korvane CAN";
        cases.push_back(c);
    }
    {
        Case c{"ELM327 too new", adapter(sim::kModelZnb5413), sim::kModelZnb5413, kElmTooNew};
        c.settings.elmVersion = "2.3";
        cases.push_back(c);
    }
    {
        Case c{"ELM327 2.3 on model 0", adapter(sim::kModelAzur03), sim::kModelAzur03, ""};
        c.settings.elmVersion = "2.3";
        cases.push_back(c);
    }
    {
        Case c{"too old", adapter(sim::kModelAzur03), sim::kModelAzur03,
               std::string("This product is too old, please contact the \r\ntechnical team for "
                           "assistance in upgrading: \r\n[") +
                   kSupportContact + "].\r\n"};
        c.settings.versionPrefix = "Azur V";
        c.settings.firmwareVersion = "3.0.01";
        cases.push_back(c);
    }
    {
        Case c{"model 4 without its version prefix", adapter(sim::kModelAzur01), sim::kModelAzur01,
               kNoUpgrade};
        c.settings.versionPrefix = "Azur V";
        c.settings.firmwareVersion = "4.0.06";
        cases.push_back(c);
    }
    for (const char* identity : {"Q_Rove01 v", "Korvane-MC v"}) {
        Case c{identity, adapter(sim::kModelZnb5413), sim::kModelZnb5413, ""};
        c.settings.identityPrefix = identity;
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const JobRecord record = updateOn(c.settings, c.fileModel);
        if (c.refusal.empty()) {
            EXPECT_TRUE(record.outcome.finished()) << record.output();
        } else {
            EXPECT_EQ(afterConnection(record), c.refusal);
            EXPECT_FALSE(record.outcome.finished());
        }
    }
}

TEST(ReadVersions, ReportsBothVersionTexts) {
    for (Link link : {Link::Pty, Link::Tcp}) {
        SCOPED_TRACE(linkName(link));
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5411;
        EmulatedLink adapter(settings, link);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const JobRecord record = runReadJob(adapter.descriptor());
        EXPECT_EQ(record.texts, (std::vector<std::string>{
                                    "Port is opened!\r\n", "device version:", "V2.2", "\r\n",
                                    "Adapter version:", "Korvane BM v2.2.29", "\r\n"}));
        EXPECT_TRUE(record.progress.empty());
        EXPECT_EQ(adapter.server().status().commandCount, 2);  // no "ATE1\r" first
    }
}

// A silent adapter gives no version; the read says which command got no answer in how long.
TEST(ReadVersions, SilentAdapterReportsOnlyWhyItGotNothing) {
    SilentListener silent;
    ASSERT_NE(silent.port(), 0);
    const auto start = std::chrono::steady_clock::now();
    const JobRecord record = runReadJob("tcp|127.0.0.1:" + std::to_string(silent.port()));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_EQ(record.texts.size(), 2u) << record.output();
    EXPECT_EQ(record.texts[0], "Port is opened!\r\n");
    EXPECT_TRUE(
        record.texts[1].starts_with("  the adapter gave no answer to QXVERS within 2000 ms"))
        << record.texts[1];
    EXPECT_NE(record.texts[1].find("powered"), std::string::npos);
    // Each of the two queries waits out its 2000 ms for a byte.
    EXPECT_GE(elapsed, std::chrono::milliseconds(3900));
    EXPECT_LT(elapsed, std::chrono::seconds(30));
}

}  // namespace
}  // namespace korvane::e2e
