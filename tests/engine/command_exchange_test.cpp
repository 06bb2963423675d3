#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "engine/command_exchange.h"
#include "platform/tick.h"
#include "tests/support/scripted_channel.h"

namespace korvane {

void PrintTo(const ExchangeReply& reply, std::ostream* out) {
    *out << "{result " << static_cast<int>(reply.result) << ", length " << reply.length << "}";
}

namespace {

using test::ScriptedChannel;

ExchangeReply answered(int length) {
    return ExchangeReply{ExchangeResult::Answered, length};
}

ExchangeReply failedWith(ExchangeResult result) {
    return ExchangeReply{result, 0};
}

using namespace std::string_literals;

TEST(ExchangeCommand, DiscardsTheEchoAndKeepsLineEnds) {
    for (bool echo : {true, false}) {
        SCOPED_TRACE(echo ? "with echo" : "without echo");
        ScriptedChannel channel;
        channel.setEcho(echo);
        channel.reply("ATE1\r", "OK\r\r>");
        char reply[2048];
        EXPECT_EQ(exchangeCommand(channel, "ATE1\r", reply, sizeof reply, 2000, 2000), answered(5));
        EXPECT_STREQ(reply, "OK\r\r>");
        EXPECT_EQ(channel.writes(), std::vector<std::string>{"ATE1\r"});
    }
}

TEST(ExchangeCommand, PurgesBeforeWritingSoEarlierInputIsNeverPartOfTheAnswer) {
    ScriptedChannel channel;
    channel.queueInput("stale>");
    channel.reply("QXVERS\r", "V2.2.29\r>");
    char reply[256];
    EXPECT_EQ(exchangeCommand(channel, "QXVERS\r", reply, sizeof reply, 2000, 2000), answered(9));
    EXPECT_STREQ(reply, "V2.2.29\r>");
    EXPECT_EQ(channel.purgeCount(), 1);
}

TEST(ExchangeCommand, DropsEverythingUpToAndIncludingTheEcho) {
    ScriptedChannel channel;
    channel.reply("ATI\r", "noise\rATI\rELM327 v1.5\r\r>");
    char reply[256];
    EXPECT_EQ(exchangeCommand(channel, "ATI\r", reply, sizeof reply, 2000, 2000), answered(14));
    EXPECT_STREQ(reply, "ELM327 v1.5\r\r>");
}

TEST(ExchangeCommand, DropsNulBytesAlsoInsideTheEcho) {
    ScriptedChannel channel;
    channel.reply("ATE1\r", "AT\0E1\r\0O\0K\r>"s);
    char reply[256];
    EXPECT_EQ(exchangeCommand(channel, "ATE1\r", reply, sizeof reply, 2000, 2000), answered(4));
    EXPECT_STREQ(reply, "OK\r>");
}

TEST(ExchangeCommand, SilenceGivesNoByteAndEachReadGetsTheWholeDeadline) {
    ScriptedChannel channel;
    channel.reply("ATI\r", "EL");  // two bytes, then nothing
    char reply[256];
    EXPECT_EQ(exchangeCommand(channel, "ATI\r", reply, sizeof reply, 1500, 700),
              failedWith(ExchangeResult::NoByte));
    EXPECT_STREQ(reply, "EL");  // what arrived in this call, terminated
    EXPECT_EQ(channel.readTimeouts(), (std::vector<int>{1500, 1500, 1500}));
}

TEST(ExchangeCommand, EndlessStreamTimesOutOnceTheDeadlinePasses) {
    ScriptedChannel channel;
    channel.streamForever("SEARCHING...\r", 1);
    char reply[2048];
    const std::int64_t before = tickMs();
    EXPECT_EQ(exchangeCommand(channel, "0100\r", reply, sizeof reply, 60, 60),
              failedWith(ExchangeResult::TimedOut));
    EXPECT_GE(tickMs() - before, 59);
    // What arrived stays in the buffer: the start of the stream.
    std::string stream;
    while (stream.size() < sizeof reply) {
        stream += "SEARCHING...\r";
    }
    EXPECT_EQ(stream.substr(0, std::strlen(reply)), reply);
}

TEST(ExchangeCommand, DeadlineIsTestedBeforeEachRead) {
    ScriptedChannel channel;
    channel.reply("ATZ\r", "OK>");
    char reply[16];
    EXPECT_EQ(exchangeCommand(channel, "ATZ\r", reply, sizeof reply, 0, 2000),
              failedWith(ExchangeResult::TimedOut));
    EXPECT_STREQ(reply, "");
    EXPECT_TRUE(channel.readTimeouts().empty());
}

TEST(ExchangeCommand, EmptyCommandAndFailedWrite) {
    ScriptedChannel channel;
    char reply[16] = "old";
    EXPECT_EQ(exchangeCommand(channel, "", reply, sizeof reply, 2000, 2000),
              failedWith(ExchangeResult::NoCommand));
    EXPECT_STREQ(reply, "");
    EXPECT_EQ(exchangeCommand(channel, nullptr, reply, sizeof reply, 2000, 2000),
              failedWith(ExchangeResult::NoCommand));
    EXPECT_EQ(channel.purgeCount(), 0);
    EXPECT_TRUE(channel.writes().empty());

    channel.failWrites(1);
    std::strcpy(reply, "old");
    EXPECT_EQ(exchangeCommand(channel, "ATI\r", reply, sizeof reply, 2000, 2000),
              failedWith(ExchangeResult::WriteFailed));
    EXPECT_STREQ(reply, "");
}

// The reply buffers are bounded: a reply that does not fit fails with ReplyTooLong, the buffer
// is terminated within its size and nothing beyond it is touched.
TEST(ExchangeCommand, OverlongReplyFailsWithoutWritingPastTheBuffer) {
    struct Case {
        std::size_t textLength;  // characters before the prompt
        ExchangeReply result;
    };
    const ExchangeReply tooLong = failedWith(ExchangeResult::ReplyTooLong);
    const Case cases[] = {{254, answered(255)}, {255, tooLong}, {300, tooLong}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.textLength);
        ScriptedChannel channel;
        channel.setEcho(true);
        channel.reply("QXI\r", std::string(c.textLength, 'A') + ">");
        std::vector<char> memory(256 + 32, '#');
        char* reply = memory.data();
        EXPECT_EQ(exchangeCommand(channel, "QXI\r", reply, 256, 2000, 2000), c.result);
        const std::size_t kept = std::strlen(reply);
        EXPECT_LE(kept, 255u);
        if (c.result == tooLong) {
            EXPECT_EQ(kept, 255u);
            EXPECT_EQ(std::string(reply), std::string(255, 'A'));
        }
        for (std::size_t i = 256; i < memory.size(); ++i) {
            ASSERT_EQ(memory[i], '#') << "written past the buffer at " << i;
        }
    }
}

TEST(ExchangeCommand, OverlongReplyAlsoFailsInLineMode) {
    ScriptedChannel channel;
    channel.reply("QX DLBD 02\r", std::string(40, 'Z') + "\r");
    std::vector<char> reply(16);  // exactly 16 bytes, so a sanitizer sees any overrun
    EXPECT_EQ(exchangeCommandLine(channel, "QX DLBD 02\r", reply.data(), reply.size(), 5000, 5000),
              failedWith(ExchangeResult::ReplyTooLong));
    EXPECT_EQ(std::string(reply.data()), std::string(15, 'Z'));
}

TEST(ExchangeCommand, EchoIsRecognisedWhenItsLastCharacterMeetsAFullBuffer) {
    ScriptedChannel channel;
    channel.reply("ABCDEF\r", "xABCDEF\rOK>");  // one stray byte, then the echo
    std::vector<char> reply(8);                 // the stray byte and the echo fill it exactly
    EXPECT_EQ(exchangeCommand(channel, "ABCDEF\r", reply.data(), reply.size(), 2000, 2000),
              answered(3));
    EXPECT_STREQ(reply.data(), "OK>");
}

TEST(ExchangeCommand, NoRoomForEvenTheTerminatorFailsBeforeSending) {
    ScriptedChannel channel;
    char unused = 'u';
    EXPECT_EQ(exchangeCommand(channel, "ATI\r", &unused, 0, 2000, 2000),
              failedWith(ExchangeResult::ReplyTooLong));
    EXPECT_EQ(unused, 'u');
    EXPECT_TRUE(channel.writes().empty());
}

TEST(ExchangeCommandLine, DiscardsTheEchoBeforeTakingCrAsTheEnd) {
    ScriptedChannel channel;
    channel.setEcho(true);
    channel.reply("QXDLED\r", "OK\r\r>");
    char reply[2048];
    EXPECT_EQ(exchangeCommandLine(channel, "QXDLED\r", reply, sizeof reply, 2000, 2000),
              answered(3));
    EXPECT_STREQ(reply, "OK\r");
}

TEST(ExchangeCommandLine, PromptIsOrdinaryText) {
    ScriptedChannel channel;
    channel.reply("QX DLBD 02\r", ">OK\r>");
    char reply[64];
    EXPECT_EQ(exchangeCommandLine(channel, "QX DLBD 02\r", reply, sizeof reply, 5000, 5000),
              answered(4));
    EXPECT_STREQ(reply, ">OK\r");
}

// The literal algorithm: keep every byte, search the whole collected text for the command after
// each one. The fast echo test must behave exactly like it.
ExchangeReply referenceExchange(const std::string& command, const std::string& stream, char endChar,
                                std::string& reply) {
    std::string collected;
    for (char c : stream) {
        collected.push_back(c);
        if (collected.find(command) != std::string::npos) {
            collected.clear();
        } else if (c == endChar) {
            reply = collected;
            return answered(static_cast<int>(collected.size()));
        } else if (c == '\0') {
            collected.pop_back();
        }
    }
    reply = collected;
    return failedWith(ExchangeResult::NoByte);  // the stream ran dry: the next read gets nothing
}

TEST(ExchangeCommand, EchoTestMatchesTheLiteralSearchOnRandomStreams) {
    const std::string commands[] = {"ATE1\r", "A\rA\r", "AA\r", ">\r", "\r"};
    const char alphabet[] = {'A', 'T', 'E', '1', '\r', '>', '\0', 'O', 'K'};
    std::mt19937 random(12345);
    for (const std::string& command : commands) {
        for (int round = 0; round < 400; ++round) {
            std::string stream;
            const int length = static_cast<int>(random() % 40);
            for (int i = 0; i < length; ++i) {
                stream.push_back(alphabet[random() % sizeof alphabet]);
            }
            for (char endChar : {'>', '\r'}) {
                SCOPED_TRACE(testing::Message()
                             << "command " << testing::PrintToString(command) << " stream "
                             << testing::PrintToString(stream) << " end " << int(endChar));
                std::string expected;
                const ExchangeReply expectedResult =
                    referenceExchange(command, stream, endChar, expected);

                ScriptedChannel channel;
                channel.reply(command, stream);
                char reply[256];
                const ExchangeReply result =
                    endChar == '>'
                        ? exchangeCommand(channel, command.c_str(), reply, sizeof reply, 2000, 2000)
                        : exchangeCommandLine(channel, command.c_str(), reply, sizeof reply, 2000,
                                              2000);
                ASSERT_EQ(result, expectedResult);
                ASSERT_EQ(std::string(reply), expected);
            }
        }
    }
}

TEST(ExchangeWithRetry, StopsAtTheFirstAnswer) {
    ScriptedChannel channel;
    channel.reply("QXUPDT03\r", "OK\r>");
    char reply[256];
    EXPECT_EQ(exchangeWithRetry(channel, "QXUPDT03\r", reply, sizeof reply, 2000, 2000),
              answered(4));
    EXPECT_EQ(channel.writes().size(), 1u);
}

TEST(ExchangeWithRetry, TriesThreeTimesWithoutPause) {
    ScriptedChannel channel;
    channel.reply("QXBL00\r", "", 2);  // the first two go unanswered
    channel.reply("QXBL00\r", "OK\r>");
    char reply[256];
    EXPECT_EQ(exchangeWithRetry(channel, "QXBL00\r", reply, sizeof reply, 2000, 2000), answered(4));
    EXPECT_STREQ(reply, "OK\r>");
    EXPECT_EQ(channel.writes().size(), 3u);
    EXPECT_EQ(channel.purgeCount(), 3);
}

TEST(ExchangeWithRetry, GivesTheThirdFailure) {
    ScriptedChannel channel;
    channel.failWrites(2);
    char reply[256];
    EXPECT_EQ(exchangeWithRetry(channel, "QXFL\r", reply, sizeof reply, 2000, 2000),
              failedWith(ExchangeResult::NoByte));
    EXPECT_EQ(channel.failedWrites(), 2);
    EXPECT_EQ(channel.writes().size(), 1u);
}

// The exactly-once rules of a download's line and record commands: what counts as an answer
// nobody waited for, and what is merely left over from before the download.
TEST(ExactlyOnceRules, TellStrayAnswersFromLeftovers) {
    struct Case {
        const char* name;
        std::string waiting;  // input already there when the command is to go out
        bool sentBefore;      // a command of the download went out before
        bool adapterEchoes;   // an earlier answer came with its echo
        bool echo;            // the adapter echoes this command
        std::string answer;   // what it answers after its echo (if any)
        ExchangeResult result;
        bool written;
    };
    const Case cases[] = {
        {"a late answer waits before the next line", "OK\r>", true, false, false, "OK\r>",
         ExchangeResult::StrayAnswer, false},
        {"the rest of a line-mode answer is no answer", "\r>", true, false, false, "OK\r>",
         ExchangeResult::Answered, true},
        {"text before the first line of a download is purged", "OK\r>", false, false, false,
         "OK\r>", ExchangeResult::Answered, true},
        {"a prompt before the echo of the command just written", "", true, true, false, "OK\r>",
         ExchangeResult::StrayAnswer, true},
        {"an echoing adapter's answer after its echo", "", true, true, true, "OK\r>",
         ExchangeResult::Answered, true},
        {"an adapter that never echoes", "", true, false, false, "OK\r>", ExchangeResult::Answered,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedChannel channel;
        channel.setEcho(c.echo);
        channel.queueInput(c.waiting);
        channel.reply("QXBL01\r", c.answer);
        ExactlyOnce once;
        once.graceMs = 0;
        once.commandSent = c.sentBefore;
        once.adapterEchoes = c.adapterEchoes;
        char reply[64];
        EXPECT_EQ(
            exchangeCommand(channel, "QXBL01\r", reply, sizeof reply, 2000, 2000, once).result,
            c.result);
        EXPECT_EQ(channel.writes().size(), c.written ? 1u : 0u);
    }
}

TEST(SendCommand, PurgesThenWritesTheWholeCommand) {
    ScriptedChannel channel;
    channel.queueInput("stale");
    EXPECT_EQ(sendCommand(channel, "QXI\r", 2000), ExchangeResult::Sent);
    EXPECT_EQ(channel.pendingInput(), 0u);
    EXPECT_EQ(channel.writes(), std::vector<std::string>{"QXI\r"});
    EXPECT_EQ(sendCommand(channel, "", 2000), ExchangeResult::NoCommand);
    channel.failWrites(1);
    EXPECT_EQ(sendCommand(channel, "QXI\r", 2000), ExchangeResult::WriteFailed);
}

TEST(ReadPromptReply, KeepsTheEchoWithoutItsLineEnds) {
    ScriptedChannel channel;
    channel.setEcho(true);
    channel.reply("ATE1\r", "OK\r\r>");
    char reply[256];
    ASSERT_EQ(sendCommand(channel, "ATE1\r", 2000), ExchangeResult::Sent);
    EXPECT_EQ(readPromptReply(channel, reply, sizeof reply, 2000), answered(7));
    EXPECT_STREQ(reply, "ATE1OK>");
}

TEST(ReadPromptReply, DropsNulAndFailsWhenOneReadGetsNothing) {
    ScriptedChannel channel;
    channel.queueInput(
        "V\0"
        "2\n.2"s);
    char reply[256];
    EXPECT_EQ(readPromptReply(channel, reply, sizeof reply, 2000),
              failedWith(ExchangeResult::NoByte));
    EXPECT_STREQ(reply, "V2.2");
    EXPECT_EQ(channel.readTimeouts(), (std::vector<int>(7, 2000)));  // six bytes, then nothing
}

TEST(ReadPromptReply, EndlessTextIsBoundedByTheBuffer) {
    ScriptedChannel channel;
    channel.streamForever("BUS BUSY\r\n");
    std::vector<char> reply(256);
    EXPECT_EQ(readPromptReply(channel, reply.data(), reply.size(), 2000),
              failedWith(ExchangeResult::ReplyTooLong));
    EXPECT_EQ(std::strlen(reply.data()), 255u);
}

TEST(ReadReplyLine, EndsAtCrWithoutStoringItOrAtThePromptStoringIt) {
    struct Case {
        std::string input;
        ExchangeReply result;
        const char* text;
    };
    const Case cases[] = {
        {"ZNB540 Update\r", answered(13), "ZNB540 Update"},
        {"\n\0OK\r"s, answered(2), "OK"},
        {"OK>", answered(3), "OK>"},
        {"\r", answered(0), ""},
        {"ab", failedWith(ExchangeResult::NoByte), "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input));
        ScriptedChannel channel;
        channel.queueInput(c.input);
        char reply[64];
        EXPECT_EQ(readReplyLine(channel, reply, sizeof reply, 5000), c.result);
        EXPECT_STREQ(reply, c.text);
    }
}

TEST(ReadReplyLine, OverlongLineFailsWithinTheBuffer) {
    ScriptedChannel channel;
    channel.queueInput(std::string(20, 'x') + "\r");
    std::vector<char> reply(10);
    EXPECT_EQ(readReplyLine(channel, reply.data(), reply.size(), 5000),
              failedWith(ExchangeResult::ReplyTooLong));
    EXPECT_EQ(std::string(reply.data()), std::string(9, 'x'));
    // A line that fits exactly still succeeds.
    ScriptedChannel exact;
    exact.queueInput(std::string(9, 'x') + "\r");
    EXPECT_EQ(readReplyLine(exact, reply.data(), reply.size(), 5000), answered(9));
}

TEST(SkipPrefix, StepsOverTheMatchingPart) {
    char versions[] = "QXVERSAzurXX V4.0.05>";
    EXPECT_STREQ(skipPrefix(versions, "QXVERSAzurXX V", 255), "4.0.05>");
    char other[] = "XQVERS";
    EXPECT_EQ(skipPrefix(other, "QXVERS", 255), other);
    // The collected echo lost its CR, so skipping "QXI\r" stops just after "QXI".
    const char* identity = "QXIZNB5412 v2.2";
    EXPECT_STREQ(skipPrefix(identity, "QXI\r", 255), "ZNB5412 v2.2");
    EXPECT_STREQ(skipPrefix(identity, "QXI", 2), "IZNB5412 v2.2");
    EXPECT_STREQ(skipPrefix("QX", "QXI", 255), "");  // stops at the end of the text
    EXPECT_STREQ(skipPrefix("QXI", "", 255), "QXI");
}

TEST(RemoveChar, RemovesEveryOccurrenceAndKeepsTheTextTerminated) {
    char version[] = "2.2.29>";
    removeChar(version, '.');
    EXPECT_STREQ(version, "2229>");
    char dots[] = "...";
    removeChar(dots, '.');
    EXPECT_STREQ(dots, "");
    char untouched[] = "abc";
    removeChar(untouched, '\0');
    EXPECT_STREQ(untouched, "abc");
}

TEST(ParseVersionNumber, RemovesPointsAndPromptAndSubstitutesTheLastX) {
    struct Case {
        const char* text;
        char digit;
        int number;
    };
    const Case cases[] = {
        {"2.2.29>", '\0', 2229}, {"4.0.0X>", '5', 4005}, {"2.2.2X", '9', 2229}, {"2.3>", '\0', 23},
        {"V2.2", '\0', 0},       {"4.0.0X>", '\0', 400}, {"X", '5', 5},         {"", '9', 0},
        {" 1.2", '\0', 12},      {"X1.0", '5', 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string text = c.text;
        EXPECT_EQ(parseVersionNumber(text.data(), c.digit), c.number);
    }
}

}  // namespace
}  // namespace korvane
