// The history's files: whole lines under the lock from two programs at once, a torn last line,
// rotation, a place that cannot be written, and the hash.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "history/sha256.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
    const fs::path folder = fs::path(::testing::TempDir()) /
                            ("korvane_history_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(folder);
    return folder;
}

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

HistoryRecord endRecord(const std::string& port, const std::string& outcome) {
    HistoryRecord record;
    record.id = newRecordId();
    record.event = "end";
    record.kind = "update";
    record.started = utcTimestamp();
    record.ended = record.started;
    record.port = port;
    record.outcome = outcome;
    return record;
}

TEST(HistoryStore, TwoProgramsAppendingAtOnceLoseNoLineAndTearNone) {
    const fs::path folder = freshFolder("parallel");
    constexpr int kEach = 100;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            bool all = true;
            for (int i = 0; i < kEach; ++i) {
                HistoryRecord record =
                    endRecord("com|P" + std::to_string(child) + ":115200", "finished");
                // Long enough that a write not kept whole would show.
                record.failure = std::string(3000, static_cast<char>('a' + child));
                all = appendHistoryLine(folder.string(), historyLine(record)).done() && all;
            }
            ::_exit(all ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string content = readWhole(folder / kHistoryFileName);
    std::istringstream lines(content);
    std::string line;
    std::set<std::string> ids;
    while (std::getline(lines, line)) {
        const std::optional<HistoryRecord> record = parseHistoryLine(line);
        ASSERT_TRUE(record.has_value()) << line.substr(0, 80);
        ASSERT_EQ(record->failure.size(), 3000u);
        EXPECT_EQ(record->failure.find_first_not_of(record->failure[0]), std::string::npos);
        ids.insert(record->id);
    }
    EXPECT_EQ(ids.size(), 2u * kEach);
    EXPECT_EQ(readHistory(folder.string()).records.size(), 2u * kEach);
}

TEST(HistoryStore, TornLastLineIsSkippedWithAWarningAndTheNextRecordStartsALineOfItsOwn) {
    const fs::path folder = freshFolder("torn");
    const HistoryRecord first = endRecord("com|/dev/ttyUSB0:115200", "finished");
    ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(first)).done());
    // A program that died in the middle of its write.
    const std::string torn = historyLine(endRecord("com|/dev/ttyUSB1:115200", "failed"));
    {
        std::ofstream out(folder / kHistoryFileName, std::ios::app | std::ios::binary);
        out << torn.substr(0, torn.size() / 2);
    }
    HistoryReadout readout = readHistory(folder.string());
    ASSERT_EQ(readout.records.size(), 1u);
    EXPECT_EQ(readout.records[0].id, first.id);
    ASSERT_EQ(readout.warnings.size(), 1u);
    EXPECT_NE(readout.warnings[0].find("torn last line, line 2"), std::string::npos);

    const HistoryRecord next = endRecord("tcp|127.0.0.1:35000", "stopped");
    ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(next)).done());
    readout = readHistory(folder.string());
    ASSERT_EQ(readout.records.size(), 2u);
    EXPECT_EQ(readout.records[0].id, next.id);
    EXPECT_EQ(readout.records[0].outcome, "stopped");
    ASSERT_EQ(readout.warnings.size(), 1u);  // the torn half is now a line of its own, skipped
}

TEST(HistoryStore, PastTheLimitTheOldestHalfMovesToTheOlderFileAndNothingIsLost) {
    const fs::path folder = freshFolder("rotation");
    constexpr std::uint64_t kLimit = 20000;
    std::vector<std::string> ids;
    for (int i = 0; i < 60; ++i) {
        const HistoryRecord record = endRecord("com|COM" + std::to_string(i) + ":115200", "failed");
        ids.push_back(record.id);
        ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(record), kLimit).done());
        EXPECT_LE(fs::file_size(folder / kHistoryFileName), kLimit);
    }
    ASSERT_TRUE(fs::exists(folder / kOlderHistoryFileName));
    // The newest records are all still there, in the current file or the older one.
    const HistoryReadout readout = readHistory(folder.string());
    EXPECT_TRUE(readout.warnings.empty());
    std::set<std::string> read;
    for (const HistoryRecord& record : readout.records) {
        read.insert(record.id);
    }
    const std::size_t kept = readout.records.size();
    ASSERT_GT(kept, 10u);
    for (std::size_t i = ids.size() - kept; i < ids.size(); ++i) {
        EXPECT_TRUE(read.count(ids[i])) << i;
    }
    // The older file holds whole lines only.
    const std::string older = readWhole(folder / kOlderHistoryFileName);
    ASSERT_FALSE(older.empty());
    EXPECT_EQ(older.back(), '\n');
}

TEST(HistoryStore, StartWithoutEndReadsBackAsInterruptedAndFiltersSelect) {
    const fs::path folder = freshFolder("filter");
    HistoryRecord cut = endRecord("com|/dev/ttyUSB0:115200", "");
    cut.event = "start";
    HistoryRecord done = endRecord("tcp|127.0.0.1:35000", "finished");
    for (const HistoryRecord& record : {cut, done}) {
        ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(record)).done());
    }
    struct Case {
        HistoryFilter filter;
        std::vector<std::string> outcomes;
    };
    const Case cases[] = {
        {{}, {"finished", "interrupted"}},
        {{0, "/dev/ttyUSB0", ""}, {"interrupted"}},
        {{0, "127.0.0.1:35000", ""}, {"finished"}},
        {{0, "", "interrupted"}, {"interrupted"}},
        {{1, "", ""}, {"finished"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> outcomes;
        for (const HistoryRecord& record : readHistory(folder.string(), c.filter).records) {
            outcomes.push_back(record.outcome);
        }
        EXPECT_EQ(outcomes, c.outcomes) << c.filter.port << c.filter.outcome << c.filter.limit;
    }
}

TEST(HistoryStore, APlaceThatCannotBeWrittenCostsOneWarning) {
    const fs::path folder = freshFolder("blocked");
    fs::create_directories(folder);
    { std::ofstream(folder / "file") << "x"; }
    std::vector<std::string> warnings;
    HistoryLog log((folder / "file" / "history").string(), "cli",
                   [&warnings](const std::string& text) { warnings.push_back(text); });
    EXPECT_FALSE(log.append(endRecord("com|COM1:115200", "finished")));
    EXPECT_FALSE(log.append(endRecord("com|COM1:115200", "finished")));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("cannot create"), std::string::npos) << warnings[0];
}

TEST(HistoryStore, Sha256ComesFromTheLibrary) {
    const std::string abc = "abc";
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* digest;
    } cases[] = {
        {{}, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {{abc.begin(), abc.end()},
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::vector<std::uint8_t>(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sha256Hex(c.bytes).value_or(""), c.digest);
    }
}

}  // namespace
}  // namespace korvane
