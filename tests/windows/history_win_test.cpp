// The update history's Windows backends: CNG's SHA-256, and whole lines under LockFileEx from
// several writers at once, a torn last line and rotation with the Win32 file calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "history/history_reader.h"
#include "history/history_recorder.h"
#include "history/sha256.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const char* name) {
    const fs::path folder = fs::temp_directory_path() / "korvane history win" / name;
    fs::remove_all(folder);
    return folder;
}

HistoryRecord endRecord(int writer, int number) {
    HistoryRecord record;
    record.id = newRecordId();
    record.event = "end";
    record.kind = "update";
    record.started = utcTimestamp();
    record.port = "com|COM" + std::to_string(writer + 1) + ":115200";
    record.outcome = "finished";
    record.failure = std::string(2000, static_cast<char>('a' + writer)) + std::to_string(number);
    return record;
}

TEST(HistoryWin, Sha256ComesFromCng) {
    const std::string abc = "abc";
    EXPECT_EQ(sha256Hex({abc.begin(), abc.end()}).value_or(""),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(std::vector<std::uint8_t>(1000000, 'a')).value_or(""),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(HistoryWin, WritersAtOnceKeepEveryLineWholeAndATornLineCostsOnlyItself) {
    const fs::path folder = freshFolder("parallel");
    constexpr int kEach = 50;
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 3; ++writer) {
        writers.emplace_back([&folder, writer] {
            for (int i = 0; i < kEach; ++i) {
                EXPECT_TRUE(
                    appendHistoryLine(folder.string(), historyLine(endRecord(writer, i))).done());
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    {
        std::ofstream torn(folder / kHistoryFileName, std::ios::app | std::ios::binary);
        torn << "{\"id\":\"cut";
    }
    ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(endRecord(4, 0))).done());
    const HistoryReadout readout = readHistory(folder.string());
    ASSERT_TRUE(readout.status.done()) << readout.status.systemText;
    EXPECT_EQ(readout.records.size(), 3u * kEach + 1);
    EXPECT_EQ(readout.warnings.size(), 1u);
    for (const HistoryRecord& record : readout.records) {
        EXPECT_EQ(record.failure.find_first_not_of(record.failure[0]), 2000u);
    }
}

TEST(HistoryWin, RotationKeepsTheNewestAndDefaultFolderFollowsLocalAppData) {
    const fs::path folder = freshFolder("rotation");
    std::vector<std::string> ids;
    for (int i = 0; i < 40; ++i) {
        const HistoryRecord record = endRecord(0, i);
        ids.push_back(record.id);
        ASSERT_TRUE(appendHistoryLine(folder.string(), historyLine(record), 20000).done());
    }
    EXPECT_TRUE(fs::exists(folder / kOlderHistoryFileName));
    const HistoryReadout readout = readHistory(folder.string());
    ASSERT_FALSE(readout.records.empty());
    EXPECT_EQ(readout.records.front().id, ids.back());
    EXPECT_TRUE(readout.warnings.empty());

    _wputenv_s(L"LOCALAPPDATA", L"C:\\Users\\Tester\\AppData\\Local");
    EXPECT_EQ(defaultHistoryFolder(), "C:\\Users\\Tester\\AppData\\Local\\KorvaneFwUpdater");
}

}  // namespace
}  // namespace korvane
