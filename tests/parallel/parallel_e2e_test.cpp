// korvane-fw updating and reading a tray of emulated adapters at once, over real TCP connections
// and real ptys, as a user runs it.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/program_run.h"

namespace korvane::e2e {
namespace {

using test::ProgramResult;
using test::ProgramRun;
using test::runProgram;

constexpr char kFinishedTexts[] =
    "Port is opened!\r\ndevice version:V2.2\r\nDevice connection ok!\r\ndevice version:V2.2\r\n"
    "File download finished!\r\n";
constexpr char kStormTexts[] =
    "Port is opened!\r\ndevice version:V2.2\r\nDevice connection ok!\r\n"
    "**Failed** Repeat three times error on 4 line!\r\n"
    "**Failed** Request stop download fail,Upgrade again after power on!\r\n"
    "  the adapter did not take the pair of lines after line 4: it asked for the same pair three "
    "times (RepBlock); the adapter now waits in download mode: power it off and on, then update "
    "it again.\r\n";
constexpr char kStormResult[] = "**Failed** Repeat three times error on 4 line!";

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The texts as the program prints them for people: "\r\n" as "\n".
std::vector<std::string> printedLines(const std::string& texts) {
    return splitLines(std::regex_replace(texts, std::regex("\r\n"), "\n"));
}

// The same lines as they are read back after the port prefix and its padding: a reason line's
// indent cannot be told from the padding.
std::vector<std::string> afterPrefix(const std::string& texts) {
    std::vector<std::string> lines = printedLines(texts);
    for (std::string& line : lines) {
        line.erase(0, line.find_first_not_of(' '));
    }
    return lines;
}

std::string labelOf(const std::string& descriptor) {
    if (descriptor.rfind("tcp|", 0) == 0) {
        return descriptor.substr(4);
    }
    return descriptor.substr(4, descriptor.rfind(':') - 4);  // "com|/dev/pts/N:115200"
}

// Eight adapters over TCP and two over ptys, all of one model; the last one answers the second
// line of pair 3 with "RepBlock" three times, which fails its update.
class Tray : public ::testing::Test {
protected:
    static constexpr std::size_t kStorm = 9;

    void SetUp() override {
        update_ = writeUpdateFile(recipeFor(sim::kModelZnb5411, 1024));
        for (std::size_t i = 0; i < 10; ++i) {
            sim::AdapterSettings settings;
            settings.model = sim::kModelZnb5411;
            if (i == kStorm) {
                settings.faults.repBlock = {{3, 3}};
            }
            adapters_.push_back(
                std::make_unique<EmulatedLink>(settings, i < 8 ? Link::Tcp : Link::Pty));
            ASSERT_TRUE(adapters_.back()->started()) << adapters_.back()->error();
            descriptors_.push_back(adapters_.back()->descriptor());
        }
    }

    std::vector<std::string> updateArgs(const std::string& progress) const {
        std::vector<std::string> args = {"update", "--file", update_.path};
        for (const std::string& descriptor : descriptors_) {
            args.push_back("--port");
            args.push_back(descriptor);
        }
        if (!progress.empty()) {
            args.push_back(progress);
        }
        return args;
    }

    void expectImages() {
        for (std::size_t i = 0; i < adapters_.size(); ++i) {
            const sim::AdapterStatus status = adapters_[i]->server().status();
            if (i == kStorm) {
                EXPECT_NE(status.update, sim::UpdateStatus::Completed);
                EXPECT_EQ(status.repBlockSent, 3);
            } else {
                EXPECT_EQ(status.update, sim::UpdateStatus::Completed) << descriptors_[i];
                EXPECT_EQ(imagePayload(adapters_[i]->server().image()), update_.file.image)
                    << descriptors_[i];
            }
        }
    }

    UpdateFileOnDisk update_;
    std::vector<std::unique_ptr<EmulatedLink>> adapters_;
    std::vector<std::string> descriptors_;
};

TEST_F(Tray, EveryAdapterUpdatesAtOnceAndTheStormFailsOnlyItsOwn) {
    const ProgramResult run = runProgram(updateArgs(""));
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    expectImages();

    // The texts: every line prefixed with its port, each port's lines in its job's order.
    const std::vector<std::string> lines = splitLines(run.out);
    const auto blank = std::find(lines.begin(), lines.end(), "");
    ASSERT_NE(blank, lines.end()) << run.out;
    std::map<std::string, std::vector<std::string>> byPort;
    const std::regex prefixed(R"(\[([^\]]+)\] +(.*))");
    for (auto line = lines.begin(); line != blank; ++line) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(*line, match, prefixed)) << *line;
        byPort[match[1]].push_back(match[2]);
    }
    ASSERT_EQ(byPort.size(), descriptors_.size());
    for (std::size_t i = 0; i < descriptors_.size(); ++i) {
        EXPECT_EQ(byPort[labelOf(descriptors_[i])],
                  afterPrefix(i == kStorm ? kStormTexts : kFinishedTexts))
            << descriptors_[i];
    }

    // The summary: a heading, one row per port in the order given, the count.
    const std::vector<std::string> table(blank + 1, lines.end());
    ASSERT_EQ(table.size(), descriptors_.size() + 3) << run.out;
    EXPECT_TRUE(std::regex_match(table[0], std::regex("PORT +OUTCOME +ADAPTER +RESULT +TIME")))
        << table[0];
    for (std::size_t i = 0; i < descriptors_.size(); ++i) {
        const std::string result =
            i == kStorm ? "failed +download mode +" +
                              std::regex_replace(kStormResult, std::regex(R"([.*!])"), R"(\$&)")
                        : "finished +finished +finished";
        const std::regex row(
            std::regex_replace(labelOf(descriptors_[i]), std::regex(R"([.\[\]*])"), R"(\$&)") +
            " +" + result + R"( +\d+\.\d s)");
        EXPECT_TRUE(std::regex_match(table[i + 1], row)) << table[i + 1];
    }
    EXPECT_EQ(table[table.size() - 2], "9 of 10 adapters finished, 1 failed.");
    EXPECT_EQ(table.back(),
              "1 adapter waits in download mode: power it off and on, then update it again.");

    // Progress on standard error, one prefixed line per change; only the finished reach 100.
    for (std::size_t i = 0; i < descriptors_.size(); ++i) {
        const std::string label = labelOf(descriptors_[i]);
        const bool reached =
            run.err.find("[" + label + "]") != std::string::npos &&
            std::regex_search(run.err,
                              std::regex(std::regex_replace("\\[" + label + "\\] +progress 100%",
                                                            std::regex(R"(\.)"), R"(\.)")));
        EXPECT_EQ(reached, i != kStorm) << label;
    }
}

TEST_F(Tray, JsonLinesCarryEveryReportInOrderPerPort) {
    const ProgramResult run = runProgram(updateArgs("--progress=json"));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    expectImages();

    std::map<std::string, std::string> texts;
    std::map<std::string, std::vector<int>> progress;
    std::map<std::string, nlohmann::json> results;
    const std::vector<std::string> lines = splitLines(run.out);
    ASSERT_FALSE(lines.empty());
    for (std::size_t n = 0; n + 1 < lines.size(); ++n) {
        const nlohmann::json object = nlohmann::json::parse(lines[n]);
        const std::string port = object.at("port");
        ASSERT_EQ(results.count(port), 0u) << "a report after the result of " << port;
        const std::string kind = object.at("kind");
        if (kind == "text") {
            texts[port] += object.at("text").get<std::string>();
        } else if (kind == "progress") {
            progress[port].push_back(object.at("percent"));
        } else {
            ASSERT_EQ(kind, "result") << lines[n];
            results[port] = object;
        }
    }
    for (std::size_t i = 0; i < descriptors_.size(); ++i) {
        const std::string& port = descriptors_[i];
        EXPECT_EQ(texts[port], i == kStorm ? kStormTexts : kFinishedTexts) << port;
        ASSERT_FALSE(progress[port].empty());
        EXPECT_TRUE(std::is_sorted(progress[port].begin(), progress[port].end())) << port;
        EXPECT_EQ(progress[port].back() == 100, i != kStorm) << port;
        ASSERT_EQ(results.count(port), 1u) << port;
        EXPECT_EQ(results[port].at("result"), i == kStorm ? "failed" : "finished");
        EXPECT_EQ(results[port].at("message"), i == kStorm ? kStormResult : "");
        EXPECT_GE(results[port].at("duration_ms").get<int>(), 0);
    }
    const nlohmann::json summary = nlohmann::json::parse(lines.back());
    EXPECT_EQ(summary, nlohmann::json::parse(R"({"kind":"summary","adapters":10,"finished":9,
        "failed":1,"cut_short":0,"refused":0,"in_download_mode":1,"exit_status":1})"));
    EXPECT_EQ(results[descriptors_[kStorm]].at("outcome"), "failed");
    EXPECT_EQ(results[descriptors_[kStorm]].at("adapter"), "download mode");
}

TEST(ParallelCli, CtrlCStopsEveryAdapterAndReportsThemCutShort) {
    const UpdateFileOnDisk update = writeUpdateFile(recipeFor(sim::kModelZnb5411, 6400));
    std::vector<std::unique_ptr<EmulatedLink>> adapters;
    std::vector<std::string> args = {"update", "--file", update.path, "--progress=none"};
    for (int i = 0; i < 4; ++i) {
        sim::AdapterSettings settings;
        settings.model = sim::kModelZnb5411;
        settings.faults.lineDelayMs = 20;  // about 2 s for the whole file
        adapters.push_back(std::make_unique<EmulatedLink>(settings, Link::Tcp));
        ASSERT_TRUE(adapters.back()->started()) << adapters.back()->error();
        args.push_back("--port");
        args.push_back(adapters.back()->descriptor());
    }

    ProgramRun program(args);
    ASSERT_TRUE(program.started());
    for (auto& adapter : adapters) {
        ASSERT_TRUE(adapter->server().waitUntil(
            [](const sim::AdapterStatus& status) { return status.lineCommands >= 4; }, 20000));
    }
    program.interrupt();
    const ProgramResult run = program.wait();
    EXPECT_EQ(run.status, 130) << run.out << run.err;
    EXPECT_EQ(run.out.find("File download finished!"), std::string::npos);
    for (auto& adapter : adapters) {
        EXPECT_NE(adapter->server().status().update, sim::UpdateStatus::Completed);
        EXPECT_LT(adapter->server().status().lineCommands, 100);
        const std::regex row(
            std::regex_replace(labelOf(adapter->descriptor()), std::regex(R"(\.)"), R"(\.)") +
            R"( +stopped +(download mode|untouched) +cut short +\d+\.\d s\n)");
        EXPECT_TRUE(std::regex_search(run.out, row)) << run.out;
    }
    EXPECT_NE(run.out.find("0 of 4 adapters finished, 4 cut short.\n"), std::string::npos)
        << run.out;
}

TEST(ParallelCli, ReadsSeveralAdaptersAndNamesTheOneThatIsNotThere) {
    sim::AdapterSettings azur;
    azur.model = sim::kModelAzur01;
    sim::AdapterSettings znb;
    znb.model = sim::kModelZnb5413;
    EmulatedLink first(azur, Link::Tcp);
    EmulatedLink second(znb, Link::Pty);
    ASSERT_TRUE(first.started() && second.started());
    // Nothing listens on port 1 of the loopback address.
    const ProgramResult run = runProgram({"read", "--port", first.descriptor(), "--port",
                                          second.descriptor(), "--port", "tcp|127.0.0.1:1"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const std::string a = "[" + labelOf(first.descriptor()) + "]";
    const std::string b = "[" + labelOf(second.descriptor()) + "]";
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex(std::regex_replace(a, std::regex(R"([.\[\]])"), R"(\$&)") +
                            " +Adapter version:Azur01 v2\\.2\n")))
        << run.out;
    EXPECT_TRUE(std::regex_search(
        run.out, std::regex(std::regex_replace(b, std::regex(R"([.\[\]])"), R"(\$&)") +
                            " +Adapter version:Korvane MC v2\\.2\\.29\n")))
        << run.out;
    EXPECT_TRUE(std::regex_search(
        run.out,
        std::regex(
            R"(\n127\.0\.0\.1:1 +failed +untouched +\*\*Failed\*\* Port connection error! +\d)")))
        << run.out;
    EXPECT_NE(run.out.find("2 of 3 adapters finished, 1 failed.\n"), std::string::npos);

    // One port with JSON lines: the same interface, one adapter.
    const ProgramResult json =
        runProgram({"read", "--port", first.descriptor(), "--progress=json"});
    EXPECT_EQ(json.status, 0);
    const std::vector<std::string> lines = splitLines(json.out);
    ASSERT_GE(lines.size(), 3u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(nlohmann::json::accept(line)) << line;
    }
    EXPECT_EQ(nlohmann::json::parse(lines[lines.size() - 2]).at("result"), "finished");
    EXPECT_EQ(nlohmann::json::parse(lines.back()).at("exit_status"), 0);
}

}  // namespace
}  // namespace korvane::e2e
