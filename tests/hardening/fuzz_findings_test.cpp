// Faults found by the fuzz targets (fuzz/), kept as plain tests.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "engine/report_sink.h"
#include "engine/update_job.h"
#include "sim/update_file_writer.h"
#include "tests/support/outcome_text.h"
#include "tests/support/scripted_channel.h"

namespace korvane {
namespace {

using test::ScriptedChannel;
using test::ScriptedChannelFactory;

constexpr char kStopFailed[] =
    "**Failed** Request stop download fail,Upgrade again after power on!\r\n";

// The texts a job reports, joined.
struct Texts : JobReports {
    std::string all;
    void onText(const char* text) override { all += text; }
    void onProgress(int) override {}
};

// One update of a sound family-2 file whose lines and information line make a single pair,
// against a boot-loader adapter that ignores "ATE1" (no echo) and is further scripted by
// `script`.
std::string runOnePairUpdate(const std::function<void(ScriptedChannel&)>& script) {
    sim::UpdateFileRecipe recipe;  // family 2, model "ZNB5412"
    recipe.payload = sim::samplePayload(60);
    const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
    EXPECT_TRUE(file.ok()) << file.error;
    EXPECT_EQ(file.lines.size(), 2u);
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("korvane_fuzz_finding_" +
          std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".hex"))
            .string();
    EXPECT_TRUE(sim::saveUpdateFile(path, file));

    ScriptedChannelFactory factory;
    factory.setSetup([&script](ScriptedChannel& channel) {
        channel.setEcho(false);
        channel.reply("ATE1\r", "OK\r\r>");
        channel.reply("ATI\r", "BOOT\r\r>");  // no ELM327 identity: the boot loader
        channel.reply("QXUPDT03\r", "OK\r\r>");
        script(channel);
    });
    UpdateJob job(factory.factory());
    Texts reports;
    job.setReports(&reports);
    std::string& output = reports.all;
    const int slot = job.openPort("tcp|127.0.0.1:35000", path);
    EXPECT_GE(slot, 0);
    job.runUpdate(slot);
    job.releasePort(slot);
    std::remove(path.c_str());
    return output;
}

// fuzz_flows: the only pair of the file failed four times, the adapter then accepted "QXFL", and
// the job reported "File download finished!" although the adapter never took a line. A pair
// that cannot be sent fails the download wherever it sits in the file.
TEST(FuzzFindings, LastPairThatNeverGoesThroughIsNoSuccess) {
    const std::string output = runOnePairUpdate([](ScriptedChannel& channel) {
        channel.replyToPrefix("QXBL", "?\r\r>");
        channel.reply("QXFL\r", "OK\r\r>");
    });
    EXPECT_EQ(output.find(test::kFinishedText), std::string::npos) << output;
    EXPECT_NE(output.find("**Failed** Reply error on 0 line!\r\n"), std::string::npos) << output;
    EXPECT_EQ(test::lastLineOf(output) + "\r\n", kStopFailed) << output;
}

// The same for a last pair that the adapter asked for three times ("RepBlock").
TEST(FuzzFindings, LastPairRepeatedThreeTimesIsNoSuccess) {
    const std::string output = runOnePairUpdate([](ScriptedChannel& channel) {
        channel.respond([](std::string_view written) -> std::optional<std::string> {
            if (written.rfind("QXBLFFF1", 0) == 0) {
                return "RepBlock\r\r>";
            }
            if (written.rfind("QXBL", 0) == 0) {
                return "...\r\r>";
            }
            return std::nullopt;
        });
        channel.reply("QXFL\r", "OK\r\r>");
    });
    EXPECT_EQ(output.find(test::kFinishedText), std::string::npos) << output;
    EXPECT_NE(output.find("**Failed** Repeat three times error on 0 line!\r\n"), std::string::npos)
        << output;
    EXPECT_EQ(test::lastLineOf(output) + "\r\n", kStopFailed) << output;
}

// fuzz_flows and the soak: an adapter whose answer to the version query of the gate (after it
// had been identified) carries no identity, because it was garbled or never came. The update
// ended after "Device connection ok!" without telling the user that it had failed.
TEST(FuzzFindings, GateRefusalWithoutIdentityIsReported) {
    sim::UpdateFileRecipe recipe;  // family 2, "Korvane FD" / "ZNB5412" / "V2.2.3X"
    recipe.payload = sim::samplePayload(200);
    const sim::GeneratedUpdateFile file = sim::makeUpdateFile(recipe);
    ASSERT_TRUE(file.ok()) << file.error;
    const std::string path =
        (std::filesystem::temp_directory_path() / "korvane_fuzz_finding_gate.hex").string();
    ASSERT_TRUE(sim::saveUpdateFile(path, file));

    for (const char* gateAnswer : {"?\r\r>", "#%Korvane FD v2.2.29\r\r>", ""}) {
        ScriptedChannelFactory factory;
        factory.setSetup([gateAnswer](ScriptedChannel& channel) {
            channel.setEcho(true);
            channel.reply("ATE1\r", "OK\r\r>");
            channel.reply("ATI\r", "ELM327 v2.2\r\r>");
            channel.reply("QXVERS\r", "V2.2\r\r>");
            channel.reply("QXI\r", "Korvane FD v2.2.29\r\r>", 1);  // identification
            channel.reply("QXPROI\r", "Korvane FD OBD-II\r\r>");
            channel.reply("QXI\r", gateAnswer);  // the gate's version query
        });
        UpdateJob job(factory.factory());
        Texts reports;
        job.setReports(&reports);
        const std::string& output = reports.all;
        const int slot = job.openPort("tcp|127.0.0.1:35000", path);
        ASSERT_GE(slot, 0);
        job.runUpdate(slot);
        job.releasePort(slot);
        EXPECT_EQ(output.find(test::kFinishedText), std::string::npos) << output;
        EXPECT_TRUE(test::isFailureOrRefusalLine(test::lastLineOf(output)))
            << "gate answer " << gateAnswer << ":\n"
            << output;
    }
    std::remove(path.c_str());
}

}  // namespace
}  // namespace korvane
