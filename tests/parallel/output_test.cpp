// How the reports of several adapters reach people and programs: whole prefixed lines, the
// in-place board, JSON lines, the summary table.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "cli/json_batch_output.h"
#include "cli/pending_output.h"
#include "cli/progress_board.h"
#include "cli/report_lines.h"
#include "cli/single_adapter_output.h"
#include "cli/summary_table.h"
#include "cli/text_batch_output.h"
#include "tests/parallel/terminal_screen.h"

namespace korvane {
namespace {

using std::chrono::milliseconds;
using test::TerminalScreen;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ReportLines, JoinsPiecesIntoLines) {
    struct Case {
        std::vector<std::string> pieces;
        std::vector<std::string> lines;  // the last one from flush(), when the text did not end
    };
    const Case cases[] = {
        {{"Port is opened!\r\n"}, {"Port is opened!"}},
        {{"device version:", "V2.2", "\r\n"}, {"device version:V2.2"}},
        {{"a\r\nb\r\n", "c"}, {"a", "b", "c"}},
        {{"\r\n"}, {""}},
        {{"x\r", "\n"}, {"x"}},  // the line end split between two reports
        {{"a\rb\n"}, {"a\rb"}},  // a lone CR stays in the line
        {{"no end"}, {"no end"}},
    };
    for (const Case& c : cases) {
        ReportLines lines;
        std::vector<std::string> got;
        const auto collect = [&got](std::string_view line) { got.emplace_back(line); };
        for (const std::string& piece : c.pieces) {
            lines.add(piece, collect);
        }
        lines.flush(collect);
        EXPECT_EQ(got, c.lines) << c.pieces.front();
        EXPECT_FALSE(lines.hasPending());
    }
}

TEST(ReportLines, AnEndlessLineIsHandedOnInBoundedPieces) {
    ReportLines lines;
    std::vector<std::size_t> sizes;
    const auto collect = [&sizes](std::string_view line) { sizes.push_back(line.size()); };
    const std::string chunk(1000, 'x');
    for (int i = 0; i < 10; ++i) {
        lines.add(chunk, collect);
    }
    lines.flush(collect);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{ReportLines::kMaxLine, ReportLines::kMaxLine,
                                               10000 - 2 * ReportLines::kMaxLine}));
}

TEST(ReportLines, ControlBytesCannotReachTheTerminal) {
    EXPECT_EQ(printableLine("\x1b[2Jgone\x07\r\x7f ok\tend"),
              "\\x1B[2Jgone\\x07\\x0D\\x7F ok\tend");
}

// Eight adapters report at once, each line in three pieces: every output line is whole and
// carries its own adapter's prefix, and each adapter's lines keep their order.
TEST(TextBatchOutput, LinesOfAdaptersReportingAtOnceNeverMix) {
    constexpr int kAdapters = 8;
    constexpr int kLines = 300;
    std::vector<std::string> labels;
    for (int a = 0; a < kAdapters; ++a) {
        labels.push_back("adapter" + std::to_string(a));
    }
    std::ostringstream out;
    std::ostringstream err;
    TextBatchOutput output(labels, ProgressMode::Plain, out, err);
    std::vector<std::thread> threads;
    for (int a = 0; a < kAdapters; ++a) {
        threads.emplace_back([&output, a] {
            const auto adapter = static_cast<std::size_t>(a);
            for (int n = 0; n < kLines; ++n) {
                output.text(adapter, "line ");
                output.text(adapter, std::to_string(n).c_str());
                output.text(adapter, "\r\n");
                output.progress(adapter, n * 100 / kLines);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::vector<int> next(kAdapters, 0);
    const std::regex line(R"(\[adapter(\d)\] line (\d+))");
    for (const std::string& text : splitLines(out.str())) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        const int adapter = std::stoi(match[1]);
        EXPECT_EQ(std::stoi(match[2]), next[adapter]) << text;
        next[adapter] = std::stoi(match[2]) + 1;
    }
    EXPECT_EQ(next, std::vector<int>(kAdapters, kLines));

    const std::regex progress(R"(\[adapter\d\] progress \d+%)");
    const std::vector<std::string> progressLines = splitLines(err.str());
    EXPECT_EQ(progressLines.size(), static_cast<std::size_t>(kAdapters * 100));  // changes only
    for (const std::string& text : progressLines) {
        EXPECT_TRUE(std::regex_match(text, progress)) << text;
    }
}

AdapterResult result(const std::string& label, AdapterOutcome outcome, const std::string& message,
                     int ms) {
    AdapterResult r;
    r.descriptor = "tcp|" + label;
    r.label = label;
    r.outcome = outcome;
    r.jobResult = outcome == AdapterOutcome::Finished   ? JobResult::Finished
                  : outcome == AdapterOutcome::CutShort ? JobResult::Stopped
                                                        : JobResult::Failed;
    r.adapter =
        outcome == AdapterOutcome::Finished ? AdapterState::Finished : AdapterState::Untouched;
    r.message = message;
    r.duration = milliseconds(ms);
    return r;
}

AdapterResult withState(AdapterResult r, JobResult jobResult, AdapterState adapter) {
    r.jobResult = jobResult;
    r.adapter = adapter;
    return r;
}

TEST(TextBatchOutput, UnfinishedLineIsWrittenWhenItsAdapterIsDoneAndTheTableEndsTheRun) {
    std::ostringstream out;
    std::ostringstream err;
    TextBatchOutput output({"10.0.0.1:35000", "COM3"}, ProgressMode::None, out, err);
    output.text(1, "Port is opened!\r\n");
    output.text(0, "device version:");
    output.text(1, "Adapter version:");
    output.text(0, "V2.2");
    output.adapterDone(0, result("10.0.0.1:35000", AdapterOutcome::Failed, "x", 10));
    output.text(1, "v1\r\n");
    output.batchDone({result("10.0.0.1:35000", AdapterOutcome::Failed, "device version:V2.2", 1240),
                      result("COM3", AdapterOutcome::Finished, "", 30)},
                     1);
    EXPECT_EQ(out.str(),
              "[COM3]           Port is opened!\n"
              "[10.0.0.1:35000] device version:V2.2\n"
              "[COM3]           Adapter version:v1\n"
              "\n"
              "PORT            OUTCOME   ADAPTER    RESULT               TIME\n"
              "10.0.0.1:35000  failed    untouched  device version:V2.2  1.2 s\n"
              "COM3            finished  finished   finished             0.0 s\n"
              "1 of 2 adapters finished, 1 failed.\n");
    EXPECT_EQ(err.str(), "");
}

// One adapter's texts go out unprefixed and as they come, with the terminal's line ends; the bar
// is wiped before a text, not drawn beside an unfinished line, and left standing at the end; no
// table follows.
TEST(SingleAdapterOutput, TextsAsTheyComeAndProgressBesideThem) {
    struct Case {
        ProgressMode mode;
        const char* err;
    };
    const std::string bar5 = "\r[" + std::string(2, '#') + std::string(38, '.') + "]   5%";
    const std::string wipe = "\r" + std::string(48, ' ') + "\r";
    const Case cases[] = {
        {ProgressMode::Plain, "progress 5%\nprogress 100%\n"},
        {ProgressMode::None, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        ProgressDisplay progress(c.mode, err);
        SingleAdapterOutput output(out, progress);
        output.text(0, "Port is opened!\r\n");
        output.progress(0, 5);
        output.text(0, "device version:");
        output.text(0, "V2.2\r\n");
        output.progress(0, 100);
        output.adapterDone(0, result("COM3", AdapterOutcome::Finished, "", 30));
        output.batchDone({result("COM3", AdapterOutcome::Finished, "", 30)}, 0);
        EXPECT_EQ(out.str(), "Port is opened!\ndevice version:V2.2\n");
        EXPECT_EQ(err.str(), c.err);
    }
    std::ostringstream out;
    std::ostringstream err;
    ProgressDisplay progress(ProgressMode::Bar, err);
    SingleAdapterOutput output(out, progress);
    output.progress(0, 5);
    output.text(0, "device version:");
    output.progress(0, 6);  // not beside the unfinished line
    output.text(0, "V2.2\r\n");
    output.batchDone({}, 0);
    const std::string bar6 = "\r[" + std::string(2, '#') + std::string(38, '.') + "]   6%";
    EXPECT_EQ(err.str(), bar5 + wipe + bar6 + "\n");
    EXPECT_EQ(out.str(), "device version:V2.2\n");
}

TEST(SummaryTable, ResultsAndCounts) {
    const std::vector<AdapterResult> results = {
        result("/dev/ttyUSB0", AdapterOutcome::Finished, "", 61234),
        withState(result("192.168.0.10:35000", AdapterOutcome::Failed,
                         "**Failed** Repeat three times error on 4 line!", 940),
                  JobResult::Failed, AdapterState::DownloadMode),
        withState(
            result("/dev/rfcomm0", AdapterOutcome::CutShort,
                   "**Failed** Request stop download fail,Upgrade again after power on!", 3000),
            JobResult::Stopped, AdapterState::DownloadMode),
        withState(result("COM4", AdapterOutcome::Failed, "", 5),  // nothing to name
                  JobResult::Refused, AdapterState::Untouched),
        result("COM5", AdapterOutcome::Failed, "bad\x1b[2Jtext", 5),
    };
    EXPECT_EQ(
        summaryTable(results),
        "PORT                OUTCOME   ADAPTER        RESULT                                 "
        "         TIME\n"
        "/dev/ttyUSB0        finished  finished       finished                               "
        "         61.2 s\n"
        "192.168.0.10:35000  failed    download mode  **Failed** Repeat three times error on "
        "4 line!  0.9 s\n"
        "/dev/rfcomm0        stopped   download mode  cut short                              "
        "         3.0 s\n"
        "COM4                refused   untouched      refused                                "
        "         0.0 s\n"
        "COM5                failed    untouched      bad\\x1B[2Jtext                         "
        "         0.0 s\n"
        "1 of 5 adapters finished, 3 failed (1 refused, untouched), 1 cut short.\n"
        "2 adapters wait in download mode: power them off and on, then update them again.\n");
    EXPECT_EQ(summaryTable({results[0]}),
              "PORT          OUTCOME   ADAPTER   RESULT    TIME\n"
              "/dev/ttyUSB0  finished  finished  finished  61.2 s\n"
              "1 of 1 adapter finished.\n");
}

// Bar mode on a terminal: text lines scroll above the board, the board stays below them with
// one line per adapter, and the table replaces it at the end. Out and err share the terminal.
TEST(ProgressBoardOnATerminal, TextsScrollAboveOneLinePerAdapter) {
    std::ostringstream terminal;
    TextBatchOutput output({"127.0.0.1:1", "/dev/ttyUSB0"}, ProgressMode::Bar, terminal, terminal,
                           TerminalSize{24, 80});
    output.text(0, "Port is opened!\r\n");
    for (int p = 1; p <= 50; ++p) {
        output.progress(0, p);
    }
    output.text(1, "device version:");
    output.text(0, "Device connection ok!\r\n");
    output.text(1, "V2.2");
    output.text(1, "\r\n");
    output.progress(1, 30);

    TerminalScreen screen;
    screen.feed(terminal.str());
    EXPECT_FALSE(screen.sawUnknownSequence());
    const std::vector<std::string> expected = {
        "[127.0.0.1:1]  Port is opened!",
        "[127.0.0.1:1]  Device connection ok!",
        "[/dev/ttyUSB0] device version:V2.2",
        "[127.0.0.1:1]  [##########..........]  50%  Device connection ok!",
        "[/dev/ttyUSB0] [######..............]  30%  device version:V2.2",
    };
    EXPECT_EQ(screen.lines(), expected);
    EXPECT_EQ(screen.cursorRow(), 5);
    EXPECT_EQ(screen.cursorColumn(), 0);

    output.adapterDone(1, result("/dev/ttyUSB0", AdapterOutcome::Failed, "no answer", 100));
    TerminalScreen afterDone;
    afterDone.feed(terminal.str());
    EXPECT_EQ(afterDone.lines().back(), "[/dev/ttyUSB0] [######..............]  30%  no answer");

    output.batchDone({result("127.0.0.1:1", AdapterOutcome::Finished, "", 2000),
                      result("/dev/ttyUSB0", AdapterOutcome::Failed, "no answer", 100)},
                     1);
    TerminalScreen final;
    final.feed(terminal.str());
    EXPECT_FALSE(final.sawUnknownSequence());
    const std::vector<std::string> table = {
        "[127.0.0.1:1]  Port is opened!",
        "[127.0.0.1:1]  Device connection ok!",
        "[/dev/ttyUSB0] device version:V2.2",
        "",
        "PORT          OUTCOME   ADAPTER    RESULT     TIME",
        "127.0.0.1:1   finished  finished   finished   2.0 s",
        "/dev/ttyUSB0  failed    untouched  no answer  0.1 s",
        "1 of 2 adapters finished, 1 failed.",
    };
    EXPECT_EQ(final.lines(), table);
}

TEST(ProgressBoardOnATerminal, MoreAdaptersThanRowsShowsTheRunningOnesAndCountsTheRest) {
    std::ostringstream terminal;
    std::vector<std::string> prefixes;
    for (int i = 0; i < 6; ++i) {
        prefixes.push_back("[a" + std::to_string(i) + "] ");
    }
    ProgressBoard board(terminal, prefixes, 5, 80);  // room for two adapters and the count
    board.draw();
    board.setPercent(1, 40);
    board.setDone(0, "finished");
    board.setPercent(2, 10);
    board.setPercent(5, 70);  // not on the board

    TerminalScreen screen;
    screen.feed(terminal.str());
    EXPECT_FALSE(screen.sawUnknownSequence());
    const std::vector<std::string> expected = {
        "[a1] [########............]  40%",
        "[a2] [##..................]  10%",
        "... and 4 more: 3 running, 1 done",
    };
    EXPECT_EQ(screen.lines(), expected);
    EXPECT_EQ(screen.cursorRow(), 3);
    EXPECT_EQ(board.rowText(5), "[a5] [##############......]  70%");
}

TEST(ProgressBoardOnATerminal, LinesNeverReachTheLastColumn) {
    std::ostringstream terminal;
    ProgressBoard board(terminal, {"[x] "}, 24, 40);
    board.setLastText(0, std::string(100, 'y') + "\x1b[31m");
    EXPECT_EQ(board.rowText(0).size(), 39u);
    EXPECT_EQ(board.rowText(0).find('\x1b'), std::string::npos);
}

TEST(JsonBatchOutput, EveryReportIsOneParsableLineInOrderPerPort) {
    constexpr int kAdapters = 4;
    constexpr int kReports = 200;
    std::vector<std::string> ports;
    for (int a = 0; a < kAdapters; ++a) {
        ports.push_back("tcp|127.0.0.1:" + std::to_string(4000 + a));
    }
    std::ostringstream out;
    JsonBatchOutput output(ports, out);
    std::vector<std::thread> threads;
    for (int a = 0; a < kAdapters; ++a) {
        threads.emplace_back([&output, a] {
            for (int n = 0; n < kReports; ++n) {
                output.text(static_cast<std::size_t>(a),
                            ("t" + std::to_string(n) + "\r\n").c_str());
                output.progress(static_cast<std::size_t>(a), n % 101);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::map<std::string, int> nextText;
    std::map<std::string, int> nextProgress;
    for (const std::string& line : splitLines(out.str())) {
        const nlohmann::json object = nlohmann::json::parse(line);  // throws on a broken line
        const std::string port = object.at("port");
        if (object.at("kind") == "text") {
            EXPECT_EQ(object.at("text"), "t" + std::to_string(nextText[port]++) + "\r\n");
        } else {
            EXPECT_EQ(object.at("kind"), "progress");
            EXPECT_EQ(object.at("percent"), nextProgress[port]++ % 101);
        }
    }
    for (const std::string& port : ports) {
        EXPECT_EQ(nextText[port], kReports);
        EXPECT_EQ(nextProgress[port], kReports);
    }
}

TEST(JsonBatchOutput, TextsKeepEveryByteAndResultsAndSummaryFollow) {
    std::ostringstream out;
    JsonBatchOutput output({"com|/dev/ttyUSB0:115200", "tcp|10.0.0.1:35000"}, out);
    output.text(0,
                "temp \xb0"
                "C\x01\x1b\"q\"\\\r\n");
    output.adapterDone(0, result("/dev/ttyUSB0", AdapterOutcome::CutShort, "stop \xff", 1500));
    output.adapterDone(1, result("10.0.0.1:35000", AdapterOutcome::Finished, "", 20));
    output.batchDone({result("/dev/ttyUSB0", AdapterOutcome::CutShort, "", 1500),
                      result("10.0.0.1:35000", AdapterOutcome::Finished, "", 20)},
                     130);
    const std::vector<std::string> lines = splitLines(out.str());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(
        lines[0],
        R"({"port":"com|/dev/ttyUSB0:115200","kind":"text","text":"temp °C\u0001\u001b\"q\"\\\r\n"})");
    const nlohmann::json text = nlohmann::json::parse(lines[0]);
    // Each byte above 127 is the character of the same number: the bytes can be had back.
    EXPECT_EQ(text.at("text"),
              "temp \xc2\xb0"
              "C\x01\x1b\"q\"\\\r\n");
    EXPECT_EQ(
        lines[1],
        R"({"port":"com|/dev/ttyUSB0:115200","kind":"result","result":"cut_short",)"
        R"("outcome":"stopped","adapter":"untouched","message":"stop ÿ","reason":"","duration_ms":1500})");
    EXPECT_EQ(nlohmann::json::parse(lines[2]).at("result"), "finished");
    EXPECT_EQ(lines[3], R"({"kind":"summary","adapters":2,"finished":1,"failed":0,)"
                        R"("cut_short":1,"refused":0,"in_download_mode":0,"exit_status":130})");
}

// What waits for a slow reader stays within its bound: the oldest lines go, whole, and their
// stream gets one marker in their place, in the form of the lines it stands for.
TEST(PendingOutput, DropsTheOldestLinesAndMarksWhere) {
    const std::string text = " of output dropped here: the reader did not keep up\n";
    struct Case {
        const char* name;
        std::vector<std::string> steps;  // "o:TEXT" / "e:TEXT" added, "take" one taken
        std::string taken;               // every piece taken, as "O:TEXT|" or "E:TEXT|"
    };
    const Case cases[] = {
        {"within the bound: in order, a stream's pieces joined",
         {"o:a\n", "o:b\n", "e:c\n", "o:d"},
         "O:a\nb\n|E:c\n|O:d|"},
        {"the oldest lines go",
         {"o:1\n", "e:2\n", "o:3\n", "o:4\n", "o:5\n", "o:6\n"},
         "O:korvane-fw: 1 line" + text + "|E:korvane-fw: 1 line" + text + "|O:3\n4\n5\n6\n|"},
        {"JSON lines get a JSON marker",
         {"o:{\"a\":1}\n", "o:{\"a\":2}\n", "o:{\"a\":3}\n", "o:{\"a\":4}\n", "o:{\"a\":5}\n",
          "o:{\"a\":6}\n"},
         "O:{\"kind\":\"dropped\",\"lines\":2}\n|O:{\"a\":3}\n{\"a\":4}\n{\"a\":5}\n{\"a\":6}\n|"},
        {"a line whose start went goes whole",
         {"o:a\n", "o:device version:", "o:V2.2\n", "o:b\n", "o:c\n", "o:d\n"},
         "O:korvane-fw: 2 lines" + text + "|O:b\nc\nd\n|"},
        {"a line already begun is ended before the marker",
         {"o:device version:", "take", "o:V2.2\n", "o:a\n", "o:b\n", "o:c\n", "o:d\n"},
         "O:device version:|O:\nkorvane-fw: 1 line" + text + "|O:a\nb\nc\nd\n|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PendingOutput pending(4 * PendingOutput::kLeastCost);
        std::string taken;
        const auto take = [&] {
            const std::optional<PendingOutput::Piece> piece = pending.take();
            if (piece) {
                taken +=
                    (piece->stream == StandardStream::Output ? "O:" : "E:") + piece->text + "|";
            }
            return piece.has_value();
        };
        for (const std::string& step : c.steps) {
            if (step == "take") {
                take();
            } else {
                pending.add(step[0] == 'o' ? StandardStream::Output : StandardStream::Error,
                            step.substr(2));
                EXPECT_LE(pending.held(), 4 * PendingOutput::kLeastCost);
            }
        }
        while (take()) {
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_TRUE(pending.empty());
    }
}

}  // namespace
}  // namespace korvane
