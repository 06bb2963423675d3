// Family-1 (block download) updates against the emulated adapter.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

constexpr char kPowerOn[] = "**Failed** Please power on the device again!\r\n";
constexpr char kFastLink[] = "Change the baud rate to 2Mbps!\r\n";

std::vector<int> family1Progress(int lineCount) {
    std::vector<int> expected = {1, 2, 3, 4};
    const double step = 90.0 / lineCount;
    for (int sent = 1; sent < lineCount; ++sent) {
        expected.push_back(static_cast<int>(sent * step + 5.0));
    }
    expected.push_back(100);
    return expected;
}

void expectImageIsThePayload(const sim::FirmwareImage& image, const UpdateFileOnDisk& update) {
    ASSERT_EQ(image.entries.size(), update.file.commands.size());
    for (std::size_t i = 0; i < image.entries.size(); ++i) {
        const std::string& command = update.file.commands[i];
        EXPECT_EQ("QXDLDT" + image.entries[i] + "\r", command) << "record " << i;
    }
    EXPECT_EQ(imagePayload(image), update.payload);
}

class Family1 : public ::testing::Test {
protected:
    JobRecord run(sim::AdapterSettings settings, Link link, int stopAtProgress = -1,
                  int fileModel = sim::kModelZnb540) {
        adapter_ = std::make_unique<EmulatedLink>(settings, link);
        EXPECT_TRUE(adapter_->started()) << adapter_->error();
        update_ = writeUpdateFile(recipeFor(fileModel, 4096));
        return runUpdateJob(adapter_->descriptor(), update_.path, stopAtProgress);
    }
    static sim::AdapterSettings model5() {
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb540;
        settings.firmwareVersionAfterUpdate = "1.1.0";
        return settings;
    }

    std::unique_ptr<EmulatedLink> adapter_;
    UpdateFileOnDisk update_;
};

TEST_F(Family1, UpdateWithTheFastLinkOnAPty) {
    const JobRecord record = run(model5(), Link::Pty);
    EXPECT_EQ(record.output(), "Port is opened!\r\ndevice version:ZNB540 V1.0.0\r\n" +
                                   std::string(kFastLink) + "device version:ZNB540 V1.1.0\r\n" +
                                   kFinished);
    EXPECT_EQ(record.progress, family1Progress(static_cast<int>(update_.file.lines.size())));

    const sim::AdapterStatus status = adapter_->server().status();
    EXPECT_EQ(status.update, sim::UpdateStatus::Completed);
    // The records crossed at 2 Mbps; both ends are back at 115200.
    EXPECT_EQ(status.adapterRate, 115200);
    EXPECT_EQ(status.hostRate, 115200);
    EXPECT_EQ(status.counts.garbledIn, 0u);
    EXPECT_EQ(status.counts.garbledOut, 0u);
    expectImageIsThePayload(adapter_->server().image(), update_);
}

TEST_F(Family1, UpdateWithoutTheFastLinkOverTcp) {
    sim::AdapterSettings settings = model5();
    settings.faults.refuseBaudSwitch = true;
    const JobRecord record = run(settings, Link::Tcp);
    EXPECT_FALSE(record.saw(kFastLink));
    EXPECT_FALSE(sawFailureText(record)) << record.output();
    EXPECT_TRUE(record.outcome.finished());
    expectImageIsThePayload(adapter_->server().image(), update_);
}

TEST_F(Family1, RefusedRecordInApplicationMode) {
    sim::AdapterSettings settings = model5();
    settings.faults.refuseBaudSwitch = true;
    settings.faults.err02 = {{3, 1}};
    const JobRecord record = run(settings, Link::Tcp);
    // The download is still closed, the version read back, and the update fails.
    EXPECT_EQ(record.output(),
              "Port is opened!\r\ndevice version:ZNB540 V1.0.0\r\n"
              "**Failed** File is Invalid!\r\n"
              "device version:ZNB540 V1.1.0\r\n" +
                  std::string(kPowerOn) + kPowerOn +
                  "  the adapter refused record 3 (ERR02), although the file passed its own check: "
                  "the firmware is not for this adapter's hardware, or the record was damaged on "
                  "the way; the adapter now waits in download mode: power it off and on, then "
                  "update it again; if the record is refused again, use the update file made for "
                  "this adapter.\r\n");
    EXPECT_EQ(record.outcome.adapter, AdapterState::DownloadMode);
    EXPECT_EQ(adapter_->server().status().err02Sent, 1);
    EXPECT_EQ(adapter_->server().image().entries.size(), 2u);
}

TEST_F(Family1, RefusedRecordInTheBootLoader) {
    sim::AdapterSettings settings = model5();
    settings.versionNamesModel = false;  // no model in "QXVERS": not in application mode
    settings.faults.refuseBaudSwitch = true;
    settings.faults.err02 = {{3, 3}};
    const JobRecord record = run(settings, Link::Tcp);
    EXPECT_EQ(record.output(), "Port is opened!\r\n**Failed** Sending error on 3 line!\r\n" +
                                   std::string(kPowerOn) + kPowerOn +
                                   "  the adapter did not take record 3 in three tries; the "
                                   "adapter now waits in download mode: power it off and on, "
                                   "then update it again.\r\n");
    EXPECT_EQ(adapter_->server().status().err02Sent, 3);
    EXPECT_NE(adapter_->server().status().update, sim::UpdateStatus::Completed);
}

// The adapter goes away in the middle of the download (TCP connection closed, pty hung up after
// the switch to 2 Mbps): the update ends at once with the flow's failure texts, followed by the
// reason: the connection to the port was lost.
TEST_F(Family1, ADroppedLinkEndsTheUpdateAtOnce) {
    for (const Link link : {Link::Tcp, Link::Pty}) {
        SCOPED_TRACE(linkName(link));
        sim::AdapterSettings settings = model5();
        settings.faults.dropAtLine = 5;
        const auto start = std::chrono::steady_clock::now();
        const JobRecord record = run(settings, link);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(record.count("**Failed** Sending error on 5 line!\r\n"), 1) << record.output();
        expectLinkLossReason(record, "**Failed** Sending error on 5 line!\r\n",
                             adapter_->descriptor());
        EXPECT_EQ(record.count(kPowerOn), 2);
        // The reason comes once the group of fixed texts is out.
        ASSERT_GE(record.texts.size(), 2u);
        EXPECT_EQ(record.texts[record.texts.size() - 2], kPowerOn);
        EXPECT_FALSE(record.saw(kFinished));
        // Generous: a link that is noticed only by its read deadlines takes 20 s and more here.
        EXPECT_LT(took, std::chrono::seconds(3));
    }
}

TEST_F(Family1, StopRequestEndsTheDownload) {
    sim::AdapterSettings settings = model5();
    settings.faults.refuseBaudSwitch = true;
    const JobRecord record = run(settings, Link::Tcp, 10);
    EXPECT_EQ(record.count(kPowerOn), 2);
    EXPECT_EQ(record.outcome.result, JobResult::Stopped);
    EXPECT_LT(adapter_->server().status().lineCommands, 32);
    EXPECT_NE(adapter_->server().status().update, sim::UpdateStatus::Completed);
}

TEST_F(Family1, FileOfAnotherModel) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb6730;
    const JobRecord record = run(settings, Link::Tcp, -1, sim::kModelZnb540);
    EXPECT_TRUE(record.saw("**Failed** The upgrade file does not match the device model!\r\n"));
    EXPECT_EQ(record.outcome.result, JobResult::Refused);
    EXPECT_EQ(record.outcome.failureText,
              "**Failed** The upgrade file does not match the device model!\r\n");
    EXPECT_EQ(adapter_->server().status().updatesStarted, 0);
}

}  // namespace
}  // namespace korvane::e2e
