#include "engine/line_download.h"

#include <deque>
#include <map>
#include <memory>
#include <string>

#include "engine/flows.h"
#include "tests/flows/flow_fixture.h"

namespace korvane::test {
namespace {

// The adapter's side of the line commands: lines are known by their text; each line answers from
// its own queue and then by default ("...\r" for the first line of a pair, "OK\r" for the second).
struct LineAdapter {
    std::vector<std::string> lines;  // file order, as sent after "QXBL" (type digits dropped)
    std::map<int, std::deque<std::string>> answers;
    std::vector<int> sent;  // line index of every QXBL command, in order

    explicit LineAdapter(const std::string& fileText) {
        std::size_t start = 0;
        while (start < fileText.size()) {
            const std::size_t end = fileText.find("\r\n", start);
            lines.push_back(fileText.substr(start + 2, end - start - 2));
            start = end + 2;
        }
    }
    void script(int line, std::initializer_list<const char*> replies) {
        for (const char* r : replies) {
            answers[line].push_back(r);
        }
    }
    int sends(int line) const {
        int n = 0;
        for (int s : sent) {
            n += s == line ? 1 : 0;
        }
        return n;
    }
    std::optional<std::string> answer(std::string_view written) {
        if (written.rfind("QXBL", 0) != 0 || written.size() < 5) {
            return std::nullopt;
        }
        const std::string body(written.substr(4, written.size() - 5));
        for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
            if (lines[i] != body) {
                continue;
            }
            sent.push_back(i);
            auto& queue = answers[i];
            if (!queue.empty()) {
                std::string reply = queue.front();
                queue.pop_front();
                return reply + "\r>";
            }
            return std::string(i % 2 == 0 ? "...\r" : "OK\r") + "\r>";
        }
        return std::nullopt;  // not a file line: left to the other rules
    }
};

class LineDownloadTest : public FlowTest {
protected:
    // Loads a file of `count` lines and lets `adapter` answer its line commands.
    std::shared_ptr<LineAdapter> serveLines(int count,
                                            std::vector<std::pair<int, const char*>> types = {}) {
        const std::string text = family2Text(count, types);
        loadFile(text);
        auto adapter = std::make_shared<LineAdapter>(text);
        channel.respond([adapter](std::string_view w) { return adapter->answer(w); });
        return adapter;
    }
    LinePair pairOf(int first) {
        LinePair pair;
        const std::string a = family2Line("00", first);
        const std::string b = family2Line("00", first + 1);
        std::snprintf(pair.a.text, sizeof(pair.a.text), "%s", a.c_str());
        std::snprintf(pair.b.text, sizeof(pair.b.text), "%s", b.c_str());
        pair.a.digits = a.size();
        pair.b.digits = b.size();
        return pair;
    }
    LineResult sendAll() {
        const UpdateFile& file = job.file();
        return sendAllLines(job, channel, file.data.data(), file.size, file.progressStep);
    }
};

TEST_F(LineDownloadTest, LineCommandDropsTheTypeDigits) {
    auto adapter = serveLines(2);
    LinePair pair = pairOf(0);
    EXPECT_EQ(sendLinePair(channel, pair), LineResult::Accepted);
    const auto sent = writesStartingWith("QXBL");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], "QXBL" + family2Line("00", 0).substr(2) + "\r");
    EXPECT_EQ(sent[0].size(), 4u + 134u + 1u);
}

TEST_F(LineDownloadTest, LongestLinesGetTheirEchoDropped) {
    channel.replyToPrefix("QXBL", "...\r\r>", 1);
    channel.replyToPrefix("QXBL", "OK\r\r>", 1);
    LinePair pair;
    const std::string line = "00" + std::string(kLineCapacity - 3, 'A');
    std::snprintf(pair.a.text, sizeof(pair.a.text), "%s", line.c_str());
    std::snprintf(pair.b.text, sizeof(pair.b.text), "%s", line.c_str());
    pair.a.digits = pair.b.digits = line.size();
    EXPECT_EQ(sendLinePair(channel, pair), LineResult::Accepted);
    EXPECT_EQ(channel.writes().size(), 2u);
}

TEST_F(LineDownloadTest, RepeatRulesOfOnePair) {
    struct Case {
        const char* name;
        std::vector<const char*> a;  // answers to line A before the default
        std::vector<const char*> b;
        LineResult expected;
        int aSends;
        int bSends;
    };
    const Case cases[] = {
        {"A taken at its fourth send",
         {"RepPack\r", "RepPack\r", "RepPack\r"},
         {},
         LineResult::Accepted,
         4,
         1},
        {"A taken at its fifth send",
         {"RepPack\r", "RepPack\r", "RepPack\r", "RepPack\r"},
         {},
         LineResult::NotTakenInTime,
         5,
         0},
        {"A never taken",
         {"RepPack\r", "RepPack\r", "RepPack\r", "RepPack\r", "RepPack\r", "RepPack\r"},
         {},
         LineResult::NotTakenInTime,
         6,
         0},
        {"A answered otherwise", {"ERROR\r"}, {}, LineResult::UnexpectedReply, 1, 0},
        {"B finished at its fourth send",
         {},
         {"RepPack\r", "RepPack\r", "RepPack\r"},
         LineResult::Accepted,
         1,
         4},
        {"B finished at its fifth send",
         {},
         {"RepPack\r", "RepPack\r", "RepPack\r", "RepPack\r"},
         LineResult::NotTakenInTime,
         1,
         5},
        {"B answered otherwise", {}, {"...\r"}, LineResult::UnexpectedReply, 1, 1},
        {"pair repeated twice", {}, {"RepBlock\r", "RepBlock\r"}, LineResult::Accepted, 3, 3},
        {"pair repeated three times",
         {},
         {"RepBlock\r", "RepBlock\r", "RepBlock\r"},
         LineResult::RepeatedThrice,
         3,
         3},
        {"RepBlock wins over OK",
         {},
         {"OK\rRepBlock\r", "OK\rRepBlock\r", "OK\rRepBlock\r"},
         LineResult::RepeatedThrice,
         3,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel link;
        link.setEcho(true);
        const std::string text = family2Text(2);
        auto adapter = std::make_shared<LineAdapter>(text);
        for (const char* r : c.a) {
            adapter->script(0, {r});
        }
        for (const char* r : c.b) {
            adapter->script(1, {r});
        }
        link.respond([adapter](std::string_view w) { return adapter->answer(w); });
        EXPECT_EQ(sendLinePair(link, pairOf(0)), c.expected);
        EXPECT_EQ(adapter->sends(0), c.aSends);
        EXPECT_EQ(adapter->sends(1), c.bSends);
    }
}

TEST_F(LineDownloadTest, SilentAdapterFailsTheSend) {
    EXPECT_EQ(sendLinePair(channel, pairOf(0)), LineResult::SendFailed);
    EXPECT_EQ(writesStartingWith("QXBL").size(), 3u);  // exchangeWithRetry's three tries
}

TEST_F(LineDownloadTest, UnsendableLinesNeverReachTheAdapter) {
    auto adapter = serveLines(2);
    const struct {
        const char* a;
        const char* b;
        int aSends;
    } cases[] = {{"03", "00", 0}, {"10", "00", 0}, {"00", "03", 1}, {"02", "0F", 1}, {"01", "", 1}};
    for (const auto& c : cases) {
        LinePair pair = pairOf(0);
        std::memcpy(pair.a.text, c.a, 2);
        if (c.b[0] == '\0') {
            pair.b.text[0] = '\0';
            pair.b.digits = 0;
        } else {
            std::memcpy(pair.b.text, c.b, 2);
        }
        adapter->sent.clear();
        EXPECT_EQ(sendLinePair(channel, pair), LineResult::TypeNotSendable) << c.a << " " << c.b;
        EXPECT_EQ(adapter->sends(1), 0);
        EXPECT_EQ(static_cast<int>(adapter->sent.size()), c.aSends);
    }
    // A line longer than a line buffer holds is not cut and sent.
    LinePair pair = pairOf(0);
    pair.a.digits = 300;
    EXPECT_EQ(sendLinePair(channel, pair), LineResult::TypeNotSendable);
}

TEST_F(LineDownloadTest, OddLastLineIsNotSent) {
    auto adapter = serveLines(5);
    EXPECT_EQ(sendAll(), LineResult::Accepted);
    EXPECT_EQ(adapter->sent, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(log.progress, (std::vector<int>{5 + 36, 5 + 72}));
}

TEST_F(LineDownloadTest, ProgressRunsFromFiveTowardsNinetyFive) {
    serveLines(100);
    EXPECT_EQ(sendAll(), LineResult::Accepted);
    ASSERT_EQ(log.progress.size(), 50u);
    EXPECT_EQ(log.progress.front(), 6);
    EXPECT_EQ(log.progress.back(), 95);
    for (std::size_t i = 1; i < log.progress.size(); ++i) {
        EXPECT_GE(log.progress[i], log.progress[i - 1]);
    }
}

TEST_F(LineDownloadTest, MiddlePairFailingFourTimesStopsTheDownload) {
    auto adapter = serveLines(6);
    adapter->script(2, {"ERROR\r", "ERROR\r", "ERROR\r", "ERROR\r"});
    EXPECT_EQ(sendAll(), LineResult::FailedFourTimes);
    EXPECT_EQ(log.count("**Failed** Reply error on 2 line!\r\n"), 4);
    EXPECT_EQ(adapter->sends(4), 0);
}

TEST_F(LineDownloadTest, PairRecoversAtItsFourthAttempt) {
    auto adapter = serveLines(6);
    adapter->script(3, {"?\r", "?\r", "?\r"});
    EXPECT_EQ(sendAll(), LineResult::Accepted);
    EXPECT_EQ(log.count("**Failed** Reply error on 2 line!\r\n"), 3);
    EXPECT_EQ(adapter->sends(5), 1);
}

TEST_F(LineDownloadTest, TypeErrorLineIsReportedFourTimes) {
    auto adapter = serveLines(6, {{2, "03"}});
    EXPECT_EQ(sendAll(), LineResult::FailedFourTimes);
    EXPECT_EQ(log.count("**Failed** Device type error on 2 line!\r\n"), 4);
    EXPECT_EQ(adapter->sends(2), 0);
}

TEST_F(LineDownloadTest, RepeatedPairInTheMiddleAndAtTheEnd) {
    {
        auto adapter = serveLines(6);
        adapter->script(3, {"RepBlock\r", "RepBlock\r", "RepBlock\r"});
        EXPECT_EQ(sendAll(), LineResult::RepeatedThrice);
        EXPECT_EQ(log.count("**Failed** Repeat three times error on 2 line!\r\n"), 1);
        EXPECT_EQ(adapter->sends(4), 0);
    }
    // The same failure on the pair that holds the last lines fails the download too: the adapter
    // lacks those lines.
    log = ReportLog{};
    ScriptedChannel fresh;
    fresh.setEcho(true);
    const std::string text = family2Text(6);
    loadFile(text);
    auto adapter = std::make_shared<LineAdapter>(text);
    adapter->script(5, {"RepBlock\r", "RepBlock\r", "RepBlock\r"});
    fresh.respond([adapter](std::string_view w) { return adapter->answer(w); });
    const UpdateFile& file = job.file();
    EXPECT_EQ(sendAllLines(job, fresh, file.data.data(), file.size, file.progressStep),
              LineResult::RepeatedThrice);
    EXPECT_EQ(log.count("**Failed** Repeat three times error on 4 line!\r\n"), 1);
}

TEST_F(LineDownloadTest, StopRequestEndsBeforeTheNextPair) {
    auto adapter = serveLines(4);
    job.requestStop();
    EXPECT_EQ(sendAll(), LineResult::Stopped);
    EXPECT_TRUE(adapter->sent.empty());
}

TEST_F(LineDownloadTest, FinishAndItsRecovery) {
    // With the echo on, the answer to "QXFL\r" starts with the echo and fails the test.
    channel.reply("QXFL\r", "OK\r\r>");
    EXPECT_EQ(finishDownload(channel), LineResult::Refused);
    ScriptedChannel quiet;  // echo off
    quiet.reply("QXFL\r", "OK\r\r>");
    EXPECT_EQ(finishDownload(quiet), LineResult::Accepted);
    ScriptedChannel silent;
    EXPECT_EQ(finishDownload(silent), LineResult::NoAnswer);

    channel.reply(kClosingRecordCommand, "OK\r\r>");
    EXPECT_EQ(recoverFinish(channel), LineResult::Accepted);
    ScriptedChannel refusing;
    refusing.setEcho(true);
    refusing.reply(kClosingRecordCommand, "OK\r\r>");
    refusing.reply("QXFL\r", "ERROR\r\r>");
    EXPECT_EQ(recoverFinish(refusing), LineResult::Refused);
    EXPECT_EQ(recoverFinish(silent), LineResult::NoAnswer);
}

TEST_F(LineDownloadTest, AtiVersionAdjustment) {
    const struct {
        int deviceCode;
        const char* query;
        const char* answer;
        const char* expectedCommand;  // nullptr: nothing set
        AtiVersionResult expected;
    } cases[] = {
        {1, "QXVERS\r", "V2.1", "QX UCS_ATI ELM327 v2.2\r", AtiVersionResult::Set},
        {2, "QXVERS\r", "V2.3", "QX UCS_ATI ELM327 v2.3\r", AtiVersionResult::Set},
        {4, "QXI\r", "Azur01 v2.0", "QXVADJ v2.1\r", AtiVersionResult::Set},
        {4, "QXI\r", "Azur01 v2.1", "QXVADJ v2.1\r", AtiVersionResult::Set},
        {0, "QXI\r", "AzurPro v1.9", "QXVADJ v2.2\r", AtiVersionResult::Set},
        {3, "QXVERS\r", "2.2", nullptr, AtiVersionResult::NoVersionLetter},
        {3, "QXVERS\r", "V2.2.29", nullptr, AtiVersionResult::VersionTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptedChannel link;
        link.setEcho(true);
        link.reply(c.query, std::string(c.answer) + "\r\r>");
        link.replyToPrefix("QX UCS_ATI ELM327 v", "OK\r\r>");
        link.replyToPrefix("QXVADJ v", "ELM327 v2.2\r\r>");
        EXPECT_EQ(adjustAtiVersion(job, link, c.deviceCode), c.expected);
        const std::vector<std::string> writes = link.writes();
        if (c.expectedCommand != nullptr) {
            EXPECT_EQ(writes.back(), c.expectedCommand);
        } else {
            EXPECT_EQ(writes.size(), 1u);
        }
    }
    EXPECT_EQ(adjustAtiVersion(job, channel, kModelUnknown), AtiVersionResult::UnknownModel);
    EXPECT_TRUE(channel.writes().empty());
}

TEST_F(LineDownloadTest, AtiVersionAnswerNamingElmIsAskedAgain) {
    channel.reply("QXVERS\r", "ELM327 V2.2\r\r>", 1);
    channel.reply("QXVERS\r", "V2.0\r\r>");
    channel.replyToPrefix("QX UCS_ATI ELM327 v", "?\r\r>");
    EXPECT_EQ(adjustAtiVersion(job, channel, 1), AtiVersionResult::NotConfirmed);
    EXPECT_EQ(writesStartingWith("QXVERS").size(), 2u);
    EXPECT_EQ(channel.writes().back(), "QX UCS_ATI ELM327 v2.2\r");
}

// A family-2 adapter that answers every command of the flow as a sound one does.
class LineFlowTest : public LineDownloadTest {
protected:
    void serveAdapter(bool applicationMode) {
        channel.reply("ATI\r", applicationMode ? "ELM327 v2.2\r\r>" : "BOOT\r\r>");
        channel.reply("QXUPDT03\r", "OK\r\r>");
        channel.reply("QXVERS\r", "V2.1\r\r>");
        channel.reply("QXI\r", "Korvane BM v2.2.29\r\r>");
        channel.reply("QXPROI\r", "Korvane OBD-II\r\r>");
        channel.reply("QXFL\r", "OK\r\r>");
        channel.reply(kClosingRecordCommand, "OK\r\r>");
        channel.replyToPrefix("QX UCS_ATI", "OK\r\r>");
    }
};

TEST_F(LineFlowTest, ApplicationModeUpdate) {
    auto adapter = serveLines(10);
    serveAdapter(true);
    const FlowOutcome outcome = runLineDownload(job, channel);
    EXPECT_EQ(outcome.result, FlowResult::Completed);  // closed by the recovery (echo on)
    EXPECT_EQ(outcome.adapter.appMode, true);
    EXPECT_EQ(outcome.adapter.modelCode, kModelZnb5411);
    EXPECT_EQ(outcome.adapter.deviceCode, kModelZnb5411);
    EXPECT_EQ(adapter->sent.size(), 10u);
    EXPECT_EQ(log.progress, (std::vector<int>{3, 4, 5, 23, 41, 59, 77, 95, 99}));
    EXPECT_EQ(log.output(),
              "device version:V2.1\r\nDevice connection ok!\r\ndevice version:V2.1\r\n");
    EXPECT_EQ(channel.writes().back(), "QXVERS\r");
    EXPECT_EQ(writesStartingWith("QX UCS_ATI").at(0), "QX UCS_ATI ELM327 v2.2\r");
}

TEST_F(LineFlowTest, BootLoaderUpdateSkipsIdentification) {
    auto adapter = serveLines(4);
    serveAdapter(false);
    const FlowOutcome outcome = runLineDownload(job, channel);
    EXPECT_EQ(outcome.result, FlowResult::Completed);
    EXPECT_EQ(outcome.adapter.appMode, false);
    EXPECT_EQ(log.output(), "Device connection ok!\r\n");
    EXPECT_TRUE(writesStartingWith("QXI").empty());
    EXPECT_TRUE(writesStartingWith("QX UCS").empty());
    EXPECT_EQ(adapter->sent.size(), 4u);
}

TEST_F(LineFlowTest, Failures) {
    const std::string powerOn = "**Failed** Please power on the device again!\r\n";
    const std::string stopFail =
        "**Failed** Request stop download fail,Upgrade again after power on!\r\n";
    const struct {
        const char* name;
        std::function<void(ScriptedChannel&)> script;
        const char* modelName;
        std::string text;
        bool downloadMode;  // the adapter may have been put into download mode
    } cases[] = {
        {"unknown model", [](ScriptedChannel&) {}, "ZNB9999",
         "**Failed** update file format error!\r\n", false},
        {"silent adapter", [](ScriptedChannel&) {}, "ZNB5411", powerOn, false},
        {"boot loader refuses",
         [](ScriptedChannel& c) {
             c.reply("ATI\r", "BOOT\r\r>");
             c.reply("QXUPDT03\r", "ERROR\r\r>");
         },
         "ZNB5411", "**Failed** Device connection error!\r\n" + powerOn, false},
        {"boot loader silent after the start",
         [](ScriptedChannel& c) { c.reply("ATI\r", "BOOT\r\r>"); }, "ZNB5411",
         "**Failed** Device connection error!\r\n" + powerOn, true},
        {"another model",
         [](ScriptedChannel& c) {
             c.reply("ATI\r", "ELM327 v2.2\r\r>");
             c.reply("QXI\r", "Korvane FD v2.2.29\r\r>");
         },
         "ZNB5411",
         "Device connection ok!\r\n**Failed** The upgrade file does not match the device "
         "model!\r\n",
         false},
        {"ELM327 too new",
         [](ScriptedChannel& c) {
             c.reply("ATI\r", "ELM327 v2.3\r\r>");
             c.reply("QXI\r", "Korvane BM v2.2.29\r\r>");
             c.reply("QXPROI\r", "Korvane OBD\r\r>");
         },
         "ZNB5411",
         "Device connection ok!\r\nThis software version is too low, please download the "
         "latest software version.!\r\n",
         false},
        {"start refused",
         [](ScriptedChannel& c) {
             c.reply("ATI\r", "BOOT\r\r>");
             c.reply("QXUPDT03\r", "OK\r\r>", 1);
         },
         "ZNB5411", "Device connection ok!\r\n**Failed** Request start download fail!\r\n", true},
        {"finish refused twice",
         [](ScriptedChannel& c) {
             c.reply("ATI\r", "BOOT\r\r>");
             c.reply("QXUPDT03\r", "OK\r\r>");
             c.replyToPrefix("QXBL", "...\r\r>", 1);
             c.replyToPrefix("QXBL", "OK\r\r>", 1);
             c.reply(kClosingRecordCommand, "OK\r\r>");
             c.reply("QXFL\r", "ERROR\r\r>");
         },
         "ZNB5411", "Device connection ok!\r\n" + stopFail, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel link;
        link.setEcho(true);
        c.script(link);
        loadFile(family2Text(2), c.modelName);
        ReportLog seen;
        UpdateJob fresh;  // not in download mode from an earlier case
        fresh.useFile(std::make_shared<const UpdateFile>(job.file()));
        fresh.setReports(&seen);
        EXPECT_EQ(runLineDownload(fresh, link).result, FlowResult::Failed);
        EXPECT_EQ(seen.output(), c.text);
        EXPECT_EQ(fresh.inDownloadMode(), c.downloadMode);
    }
}

}  // namespace
}  // namespace korvane::test
