// Family-2 (line download) updates against the emulated adapter.
#include <gtest/gtest.h>

#include <chrono>

#include "engine/failure_reason.h"
#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

constexpr char kStopFailed[] =
    "**Failed** Request stop download fail,Upgrade again after power on!\r\n";

// The progress a whole family-2 update reports for a file of `lines` lines, all sent in pairs.
std::vector<int> family2Progress(int lines) {
    std::vector<int> expected = {1, 2, 3, 4, 5};
    const double step = 90.0 / lines;
    for (int sent = 2; sent <= lines; sent += 2) {
        expected.push_back(static_cast<int>(sent * step + 5.0));
    }
    expected.push_back(99);
    expected.push_back(100);
    return expected;
}

// The adapter holds every line of the file (type digits dropped), and the firmware bytes are the
// file's payload, padded to whole lines with 0xFF.
void expectImageIsTheFile(const sim::FirmwareImage& image, const UpdateFileOnDisk& update) {
    ASSERT_EQ(image.entries.size(), update.file.lines.size());
    for (std::size_t i = 0; i < image.entries.size(); ++i) {
        EXPECT_EQ(image.entries[i], update.file.lines[i].substr(2)) << "line " << i;
    }
    const std::vector<std::uint8_t> payload = imagePayload(image);
    EXPECT_EQ(payload, update.file.image);
    ASSERT_GE(payload.size(), update.payload.size());
    EXPECT_TRUE(std::equal(update.payload.begin(), update.payload.end(), payload.begin()));
    for (std::size_t i = update.payload.size(); i < payload.size(); ++i) {
        EXPECT_EQ(payload[i], 0xFF);
    }
}

void expectFailed(const JobRecord& record) {
    EXPECT_TRUE(sawFailureText(record)) << record.output();
    EXPECT_FALSE(record.outcome.finished()) << record.output();
    EXPECT_NE(record.progress.back(), 100);
}

class Family2Update : public ::testing::TestWithParam<Link> {};

TEST_P(Family2Update, ApplicationMode) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.shortVersion = "2.1";  // read back after the download, and set up to 2.2
    settings.elmVersion = "2.1";
    EmulatedLink adapter(settings, GetParam());
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 4096));

    const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
    EXPECT_EQ(record.texts,
              (std::vector<std::string>{"Port is opened!\r\n", "device version:", "V2.1", "\r\n",
                                        "Device connection ok!\r\n", "device version:", "V2.1",
                                        "\r\n", kFinished}));
    EXPECT_EQ(record.progress, family2Progress(static_cast<int>(update.file.lines.size())));

    const sim::AdapterStatus status = adapter.server().status();
    EXPECT_EQ(status.update, sim::UpdateStatus::Completed);
    EXPECT_EQ(status.elmVersion, "2.2");
    expectImageIsTheFile(adapter.server().image(), update);
}

TEST_P(Family2Update, BootLoaderMode) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelAzur01;
    settings.bootLoader = true;
    EmulatedLink adapter(settings, GetParam());
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelAzur01, 3000));

    const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
    EXPECT_EQ(record.output(),
              "Port is opened!\r\nDevice connection ok!\r\n" + std::string(kFinished));
    EXPECT_EQ(record.progress, family2Progress(static_cast<int>(update.file.lines.size())));
    expectImageIsTheFile(adapter.server().image(), update);
}

INSTANTIATE_TEST_SUITE_P(Links, Family2Update, ::testing::Values(Link::Pty, Link::Tcp),
                         [](const auto& info) { return linkName(info.param); });

// The adapter goes away in the middle of the download (TCP connection closed, pty hung up): the
// update ends at once with the flow's failure texts, as it would after an adapter's refusals,
// followed by the reason: the connection to the port was lost.
TEST_P(Family2Update, ADroppedLinkEndsTheUpdateAtOnce) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5411;
    settings.faults.dropAtLine = 7;  // the first line of the fourth pair
    EmulatedLink adapter(settings, GetParam());
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 4096));

    const auto start = std::chrono::steady_clock::now();
    const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(record.count("**Failed** Sending error on 6 line!\r\n"), 4) << record.output();
    expectLinkLossReason(record, "**Failed** Sending error on 6 line!\r\n", adapter.descriptor());
    // The reason comes once the group of fixed texts is out.
    ASSERT_GE(record.texts.size(), 2u);
    EXPECT_EQ(record.texts[record.texts.size() - 2], kStopFailed);
    expectFailed(record);
    // Generous: a link that is noticed only by its read deadlines takes 20 s and more here.
    EXPECT_LT(took, std::chrono::seconds(3));
}

// Repeat requests and refusals. All over TCP: the link does not change what the flow does.
class Family2Faults : public ::testing::Test {
protected:
    JobRecord run(const sim::FaultPlan& faults, sim::Defect defect = sim::Defect::None,
                  int stopAtProgress = -1) {
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5412;
        settings.faults = faults;
        adapter_ = std::make_unique<EmulatedLink>(settings, Link::Tcp);
        EXPECT_TRUE(adapter_->started()) << adapter_->error();
        sim::UpdateFileRecipe recipe = recipeFor(sim::kModelZnb5412, 640);
        recipe.defect = defect;
        update_ = writeUpdateFile(recipe);
        return runUpdateJob(adapter_->descriptor(), update_.path, stopAtProgress);
    }
    // 640 bytes: 10 data lines, the information line and a filler line: 12 lines, 6 pairs.
    static constexpr int kLines = 12;

    std::unique_ptr<EmulatedLink> adapter_;
    UpdateFileOnDisk update_;
};

TEST_F(Family2Faults, RepPackOnTheFirstLineOfAPair) {
    {
        sim::FaultPlan faults;
        faults.repPack = {{5, 3}};  // taken at its fourth send
        const JobRecord record = run(faults);
        EXPECT_FALSE(sawFailureText(record)) << record.output();
        EXPECT_TRUE(record.outcome.finished());
        expectImageIsTheFile(adapter_->server().image(), update_);
    }
    {
        sim::FaultPlan faults;
        faults.repPack = {{5, 4}};  // taken at its fifth send: too late, the pair goes again
        const JobRecord record = run(faults);
        EXPECT_EQ(record.count("**Failed** Sending error on 4 line!\r\n"), 1);
        EXPECT_TRUE(record.outcome.finished());
        expectImageIsTheFile(adapter_->server().image(), update_);
    }
    {
        sim::FaultPlan faults;
        faults.repPack = {{5, 24}};  // never taken in four attempts of six sends
        const JobRecord record = run(faults);
        EXPECT_EQ(record.count("**Failed** Sending error on 4 line!\r\n"), 4);
        EXPECT_TRUE(record.saw(kStopFailed));
        expectFailed(record);
    }
}

TEST_F(Family2Faults, RepBlockThreeTimesOnAMiddlePair) {
    sim::FaultPlan faults;
    faults.repBlock = {{3, 3}};
    const JobRecord record = run(faults);
    EXPECT_EQ(
        record.output(),
        "Port is opened!\r\ndevice version:V2.2\r\nDevice connection ok!\r\n"
        "**Failed** Repeat three times error on 4 line!\r\n" +
            std::string(kStopFailed) +
            "  the adapter did not take the pair of lines after line 4: it asked for the same "
            "pair three times (RepBlock); the adapter now waits in download mode: power it "
            "off and on, then update it again.\r\n");
    expectFailed(record);
    EXPECT_EQ(adapter_->server().status().repBlockSent, 3);
    EXPECT_NE(adapter_->server().status().update, sim::UpdateStatus::Completed);
}

TEST_F(Family2Faults, RepBlockTwiceIsRecovered) {
    sim::FaultPlan faults;
    faults.repBlock = {{3, 2}};
    const JobRecord record = run(faults);
    EXPECT_FALSE(sawFailureText(record)) << record.output();
    EXPECT_TRUE(record.outcome.finished());
    expectImageIsTheFile(adapter_->server().image(), update_);
}

// A failure on the pair that holds the last lines fails the update like any other pair: the
// adapter never took those lines, so the download must not be closed as a success.
TEST_F(Family2Faults, RepBlockThreeTimesOnTheLastPair) {
    sim::FaultPlan faults;
    faults.repBlock = {{kLines / 2, 3}};
    const JobRecord record = run(faults);
    EXPECT_EQ(record.count("**Failed** Repeat three times error on 10 line!\r\n"), 1);
    EXPECT_TRUE(record.saw(kStopFailed));
    expectFailed(record);
    EXPECT_EQ(record.outcome.result, JobResult::Failed);
    EXPECT_EQ(adapter_->server().image().entries.size(), static_cast<std::size_t>(kLines - 2));
    EXPECT_NE(adapter_->server().status().update, sim::UpdateStatus::Completed);
}

// A line the download cannot send, before or after the information line, is refused before the
// adapter is put into download mode: the adapter hears nothing beyond identification.
TEST_F(Family2Faults, UnsendableLineIsRefusedBeforeDownloadMode) {
    for (sim::Defect defect : {sim::Defect::Type03Line, sim::Defect::Type03AfterInfo}) {
        SCOPED_TRACE(sim::defectName(defect));
        const JobRecord record = run({}, defect);
        // The reason names the first line that cannot be sent.
        const std::size_t badLine =
            defect == sim::Defect::Type03Line ? 1 : update_.file.lines.size() - 1;
        EXPECT_EQ(record.output(), "Port is opened!\r\n**Failed** update file format error!\r\n" +
                                       unsendableLineReason(static_cast<int>(badLine)));
        EXPECT_EQ(record.outcome.result, JobResult::Refused);
        EXPECT_EQ(record.outcome.failureText, "**Failed** update file format error!\r\n");
        EXPECT_EQ(record.progress, (std::vector<int>{1, 2}));
        for (const sim::ReceivedCommand& command : adapter_->server().commands()) {
            EXPECT_NE(command.text.rfind("QXUPDT03", 0), 0u);
            EXPECT_NE(command.text.rfind("QXBL", 0), 0u);
        }
        EXPECT_EQ(adapter_->server().status().updatesStarted, 0);
    }
}

TEST_F(Family2Faults, ClosingCommandRecovered) {
    // The adapter echoes "QXFL\r", so the first answer always fails the test and the download is
    // closed by the recovery; one refusal is absorbed by it.
    sim::FaultPlan faults;
    faults.finishFailures = 1;
    const JobRecord record = run(faults);
    EXPECT_FALSE(sawFailureText(record)) << record.output();
    EXPECT_TRUE(record.outcome.finished());
    EXPECT_EQ(adapter_->server().status().closingRecords, 1);
    expectImageIsTheFile(adapter_->server().image(), update_);
}

TEST_F(Family2Faults, ClosingCommandRefusedTwice) {
    sim::FaultPlan faults;
    faults.finishFailures = 2;
    const JobRecord record = run(faults);
    EXPECT_TRUE(record.saw(kStopFailed));
    expectFailed(record);
    EXPECT_EQ(record.progress.back(), 99);
}

TEST_F(Family2Faults, StopRequestEndsTheDownload) {
    const JobRecord record = run({}, sim::Defect::None, 20);
    EXPECT_TRUE(record.saw(kStopFailed));
    expectFailed(record);
    EXPECT_EQ(record.outcome.result, JobResult::Stopped);
    EXPECT_EQ(record.outcome.failureText, kStopFailed);
    // Stopped after the pair that brought the bar to 20: no further line went out.
    const int lines = adapter_->server().status().lineCommands;
    EXPECT_LT(lines, kLines);
    EXPECT_EQ(static_cast<int>(adapter_->server().image().entries.size()), lines);
}

}  // namespace
}  // namespace korvane::e2e
