#include "engine/block_download.h"

#include <string>
#include <vector>

#include "engine/flows.h"
#include "engine/model_catalog.h"
#include "tests/flows/flow_fixture.h"

namespace korvane::test {
namespace {

constexpr char kPowerOn[] = "**Failed** Please power on the device again!\r\n";

std::string hexByte(unsigned value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(value >> 4) & 15], digits[value & 15]};
}

// A family-1 data record: length, data, checksum.
std::string family1Record(const std::vector<unsigned>& data) {
    std::string text = hexByte(data.size() >> 8) + hexByte(data.size());
    unsigned sum = 0;
    for (unsigned b : data) {
        text += hexByte(b);
        sum += b;
    }
    return text + hexByte(sum);
}

class BlockDownloadTest : public FlowTest {
protected:
    // `records` data records, then an information record line (never sent) and one more line.
    void loadRecords(int records, const char* modelName = "Korvane FS v1") {
        std::string text;
        for (int i = 0; i < records; ++i) {
            text += family1Record({0xA1, 0xB2, static_cast<unsigned>(i)}) + "\r\n";
        }
        text += "FFF10007000000000000000000\r\n" + family1Record({1}) + "\r\n";
        UpdateFile& file = freshFile();
        file.data.assign(text.begin(), text.end());
        file.size = static_cast<std::int32_t>(text.size());
        file.family = 1;
        file.lineCount = records + 1;
        file.progressStep = 90.0 / file.lineCount;
        std::snprintf(file.modelName, sizeof(file.modelName), "%s", modelName);
    }
    // An adapter of model 5 that takes everything; no fast link unless `fastLink`.
    static void serveAdapter(ScriptedChannel& link, bool fastLink) {
        link.setEcho(true);
        link.reply("QXVERS\r", "ZNB540 V1.0.0\r\r>");
        link.reply("QXDLZNB540\r", "OK\r\r>");
        link.reply("QX DLBD 02\r", fastLink ? "OK\rZNB540 Update\r" : "?\r\r>");
        link.reply("\r", "OK\r\r>");
        link.replyToPrefix("QXDLDT", "OK\r\r>");
        link.reply("QXDLED\r", "OK\r\r>");
    }
    BlockResult sendAll() {
        const UpdateFile& file = job.file();
        return sendBlocks(job, channel, file.data.data(), file.size, AdapterFacts{});
    }
};

TEST_F(BlockDownloadTest, ModelCodes) {
    EXPECT_EQ(adapterModelFromReply("ZNB540 V1.0"), kModelZnb540);
    EXPECT_EQ(adapterModelFromReply("ZNB6739"), kModelZnb6730);  // six characters compared
    EXPECT_EQ(adapterModelFromReply("V1.0.0"), kModelUnknown);
}

TEST_F(BlockDownloadTest, WholeUpdateWithTheFastLink) {
    loadRecords(9);
    serveAdapter(channel, true);
    const FlowOutcome outcome = runBlockDownload(job, channel);
    EXPECT_EQ(outcome.result, FlowResult::Completed);
    EXPECT_EQ(outcome.adapter.appMode, true);
    EXPECT_EQ(outcome.adapter.deviceCode, kModelZnb540);
    EXPECT_EQ(channel.baudRates(), (std::vector<int>{kFastLinkBaud, kNormalLinkBaud}));
    EXPECT_EQ(log.output(),
              "device version:ZNB540 V1.0.0\r\nChange the baud rate to 2Mbps!\r\n"
              "device version:ZNB540 V1.0.0\r\n");
    // 3, 4, then 5 + records x 9 truncated: the last record gives 86, never above 95.
    EXPECT_EQ(log.progress, (std::vector<int>{3, 4, 14, 23, 32, 41, 50, 59, 68, 77, 86}));
    const auto records = writesStartingWith("QXDLDT");
    ASSERT_EQ(records.size(), 9u);
    EXPECT_EQ(records[0], "QXDLDT0003A1B20053\r");
    EXPECT_EQ(writesStartingWith("QXDLED").size(), 1u);
    EXPECT_EQ(channel.writes().back(), "QXVERS\r");
}

TEST_F(BlockDownloadTest, ModelMismatches) {
    const struct {
        const char* name;
        const char* versionAnswer;
        const char* modelName;
        bool acceptsModel5;
        bool downloadModeEntered;
    } cases[] = {
        {"adapter 540, file BT", "ZNB540 V1\r\r>", "Korvane FS BT1", true, false},
        {"adapter 6730, file 540", "ZNB6730 V1\r\r>", "Korvane FS v1", false, false},
        {"unnamed adapter in 6730 mode, file 540", "V1\r\r>", "Korvane FS v1", false, true},
        {"unnamed adapter in 540 mode, file BT", "V1\r\r>", "Korvane FS BT", true, true},
        {"unknown file model", "V1\r\r>", "Other", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel link;
        link.setEcho(true);
        link.reply("QXVERS\r", c.versionAnswer);
        link.reply("QXDLZNB540\r", c.acceptsModel5 ? "OK\r\r>" : "?\r\r>");
        link.reply("QXDLZNB6730\r", "OK\r\r>");
        loadRecords(2, c.modelName);
        ReportLog seen;
        job.setReports(&seen);
        EXPECT_EQ(runBlockDownload(job, link).result, FlowResult::Failed);
        EXPECT_TRUE(seen.saw("**Failed** The upgrade file does not match the device model!\r\n"));
        bool entered = false;
        for (const std::string& w : link.writes()) {
            entered = entered || w.rfind("QXDLZNB", 0) == 0;
            EXPECT_NE(w.rfind("QXDLDT", 0), 0u);
        }
        EXPECT_EQ(entered, c.downloadModeEntered);
    }
}

TEST_F(BlockDownloadTest, UnnamedAdapterInModel6Mode) {
    loadRecords(1, "Korvane FS BT1");
    channel.setEcho(true);
    channel.reply("QXVERS\r", "V1\r\r>");
    channel.reply("QXDLZNB540\r", "ERROR\r\r>");
    channel.reply("QXDLZNB6730\r", "OK\r\r>");
    channel.reply("QX DLBD 02\r", "?\r\r>");
    channel.replyToPrefix("QXDLDT", "OK\r\r>");
    const FlowOutcome outcome = runBlockDownload(job, channel);
    EXPECT_EQ(outcome.result, FlowResult::Failed);  // QXDLED unanswered
    EXPECT_FALSE(outcome.adapter.application());
    EXPECT_EQ(outcome.adapter.deviceCode, kModelZnb6730);
    EXPECT_EQ(writesStartingWith("QXDLDT").size(), 1u);
    EXPECT_EQ(log.output(),
              "**Failed** Request stop download fail!\r\n" + std::string(kPowerOn) + kPowerOn);
    EXPECT_TRUE(channel.baudRates().empty());  // not set back after a failed end
}

TEST_F(BlockDownloadTest, FastLinkSwitchResults) {
    struct Case {
        const char* name;
        std::function<void(ScriptedChannel&)> script;
        LinkSwitchResult expected;
        std::vector<int> rates;
    };
    const Case cases[] = {
        {"silent", [](ScriptedChannel&) {}, LinkSwitchResult::NoAnswer, {}},
        {"refused",
         [](ScriptedChannel& c) { c.reply("QX DLBD 02\r", "?\r\r>"); },
         LinkSwitchResult::Declined,
         {}},
        {"rate refused",
         [](ScriptedChannel& c) {
             c.reply("QX DLBD 02\r", "OK\r");
             c.setBaudRateResult(-1);
         },
         LinkSwitchResult::RateRefused,
         {kFastLinkBaud}},
        {"no announcement",
         [](ScriptedChannel& c) { c.reply("QX DLBD 02\r", "OK\r"); },
         LinkSwitchResult::NoAnnouncement,
         {kFastLinkBaud, kNormalLinkBaud}},
        {"other announcement",
         [](ScriptedChannel& c) { c.reply("QX DLBD 02\r", "OK\rZNB6730 Ready\r"); },
         LinkSwitchResult::WrongAnnouncement,
         {kFastLinkBaud, kNormalLinkBaud}},
        {"no confirmation",
         [](ScriptedChannel& c) { c.reply("QX DLBD 02\r", "OK\rZNB540 Update\r"); },
         LinkSwitchResult::NoConfirmation,
         {kFastLinkBaud}},
        {"refused confirmation",
         [](ScriptedChannel& c) {
             c.reply("QX DLBD 02\r", "OK\rZNB540 Update\r");
             c.reply("\r", "ERR\r\r>");
         },
         LinkSwitchResult::NotConfirmed,
         {kFastLinkBaud}},
        {"switched",
         [](ScriptedChannel& c) {
             c.reply("QX DLBD 02\r", "OK\rZNB540 Update\r");
             c.reply("\r", "OK\r\r>");
         },
         LinkSwitchResult::Switched,
         {kFastLinkBaud}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel link;
        link.setEcho(true);
        c.script(link);
        EXPECT_EQ(switchToFastLink(link, kFastLinkBaud), c.expected);
        EXPECT_EQ(link.baudRates(), c.rates);
    }
}

TEST_F(BlockDownloadTest, RecordAnswers) {
    const struct {
        const char* name;
        bool appMode;
        std::vector<const char*> answers;
        BlockResult expected;
        int tries;
    } cases[] = {
        {"accepted", true, {"OK\r\r>"}, BlockResult::Accepted, 1},
        {"accepted at the third try",
         false,
         {"?\r\r>", "?\r\r>", "OK\r\r>"},
         BlockResult::Accepted,
         3},
        {"refused data, application mode", true, {"ERR02\r\r>"}, BlockResult::DataRefused, 1},
        {"refused data, boot loader",
         false,
         {"ERR02\r\r>", "ERR02\r\r>", "ERR02\r\r>"},
         BlockResult::NotAccepted,
         3},
        {"OK without a prompt", true, {"OK\r"}, BlockResult::AnswerBrokenOff, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel link;
        link.setEcho(true);
        for (const char* a : c.answers) {
            link.replyToPrefix("QXDLDT", a, 1);
        }
        EXPECT_EQ(sendRecord(link, "0001AAAA", c.appMode), c.expected);
        EXPECT_EQ(static_cast<int>(link.writes().size()), c.tries);
    }
}

TEST_F(BlockDownloadTest, LongestRecordGetsItsEchoDropped) {
    const std::string record = family1Record(std::vector<unsigned>(130, 0x5A));
    ASSERT_EQ(record.size(), 2u * (2 + 130 + 1));
    channel.replyToPrefix("QXDLDT", "OK\r\r>");
    EXPECT_EQ(sendRecord(channel, record.c_str(), false), BlockResult::Accepted);
    EXPECT_EQ(channel.writes().size(), 1u);
}

TEST_F(BlockDownloadTest, RefusedRecordClosesTheDownload) {
    loadRecords(3);
    AdapterFacts adapter;
    adapter.modelCode = kModelZnb540;
    adapter.appMode = true;
    ScriptedChannel refusing;
    refusing.setEcho(true);
    refusing.reply("QX DLBD 02\r", "?\r\r>");
    refusing.replyToPrefix("QXDLDT", "OK\r\r>", 1);
    refusing.replyToPrefix("QXDLDT", "ERR02\r\r>", 1);
    refusing.reply("QXDLED\r", "OK\r\r>");
    refusing.reply("QXVERS\r", "ZNB540 V1.0.1\r\r>");
    const UpdateFile& file = job.file();
    EXPECT_EQ(sendBlocks(job, refusing, file.data.data(), file.size, adapter),
              BlockResult::DataRefused);
    EXPECT_EQ(log.output(), "**Failed** File is Invalid!\r\ndevice version:ZNB540 V1.0.1\r\n");
    EXPECT_EQ(refusing.writes().back(), "QXVERS\r");
    EXPECT_EQ(refusing.baudRates(), (std::vector<int>{kNormalLinkBaud}));
    int records = 0;
    for (const std::string& w : refusing.writes()) {
        records += w.rfind("QXDLDT", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(records, 2);  // the third record never goes out
}

TEST_F(BlockDownloadTest, SendingErrorNamesTheRecord) {
    loadRecords(4);
    channel.setEcho(true);
    channel.reply("QX DLBD 02\r", "?\r\r>");
    channel.replyToPrefix("QXDLDT", "OK\r\r>", 2);
    EXPECT_EQ(sendAll(), BlockResult::NotAccepted);
    EXPECT_EQ(log.output(), "**Failed** Sending error on 3 line!\r\n");
    EXPECT_TRUE(writesStartingWith("QXDLED").empty());
}

TEST_F(BlockDownloadTest, DamagedRecordIsNotSent) {
    const char* damaged[] = {
        "0003A1B2C317",  // checksum
        "0003A1B2C3",    // checksum missing
        "0083A1",        // announces 131 bytes
        "00",            // no length
    };
    for (const char* record : damaged) {
        SCOPED_TRACE(record);
        std::string text = family1Record({1, 2}) + "\r\n" + record + "\r\nFFF100\r\n";
        UpdateFile& file = freshFile();
        file.data.assign(text.begin(), text.end());
        file.size = static_cast<std::int32_t>(text.size());
        ScriptedChannel link;
        link.setEcho(true);
        link.replyToPrefix("QXDLDT", "OK\r\r>");
        ReportLog seen;
        job.setReports(&seen);
        EXPECT_EQ(sendBlocks(job, link, file.data.data(), file.size, AdapterFacts{}),
                  BlockResult::RecordDamaged);
        EXPECT_EQ(seen.output(), "**Failed** File is Invalid!\r\n");
        int records = 0;
        for (const std::string& w : link.writes()) {
            records += w.rfind("QXDLDT", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(records, 1);
    }
}

TEST_F(BlockDownloadTest, StopRequestEndsBeforeTheNextRecord) {
    loadRecords(3);
    serveAdapter(channel, true);
    job.requestStop();
    EXPECT_EQ(sendAll(), BlockResult::Stopped);
    EXPECT_TRUE(writesStartingWith("QXDLDT").empty());
    EXPECT_TRUE(writesStartingWith("QXDLED").empty());
    // The link stays at the rate it has.
    EXPECT_EQ(channel.baudRates(), (std::vector<int>{kFastLinkBaud}));
}

// "QXDLED" to a silent adapter: only the first of its three tries waits out a late answer, with
// one more read (a read that fails at once costs two then, never a spin).
TEST_F(BlockDownloadTest, OnlyTheFirstEndTryGetsTheGracePeriod) {
    ScriptedChannel silent;
    ExactlyOnce once;
    once.commandSent = true;
    EXPECT_EQ(endDownload(silent, once), BlockResult::NotAccepted);
    std::vector<int> waits;  // leaving out the looks for a stray answer, which do not wait
    for (const int timeout : silent.readTimeouts()) {
        if (timeout > 0) {
            waits.push_back(timeout);
        }
    }
    EXPECT_EQ(waits, std::vector<int>(4, 2000));
    EXPECT_EQ(silent.writes().size(), 3u);
    EXPECT_EQ(once.graceMs, kLateAnswerGraceMs);
}

TEST_F(BlockDownloadTest, SilentAdapter) {
    loadRecords(1);
    EXPECT_EQ(runBlockDownload(job, channel).result, FlowResult::Failed);
    EXPECT_EQ(log.output(), kPowerOn);
    EXPECT_EQ(channel.writes().size(), 1u);
}

}  // namespace
}  // namespace korvane::test
