#include "channel/traffic_log/traffic_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <regex>

#include "channel/traffic_log/traffic_log_clock.h"
#include "channel/traffic_log/traffic_log_notice.h"
#include "channel_test_support.h"

namespace korvane {
namespace {

using test::fileLines;
using test::fileText;
using test::ScopedTempCwd;

const std::regex kStamp(R"(\[time:\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\])");

// The part of a line after its timestamp, checking the timestamp's form on the way.
std::string afterStamp(const std::string& line) {
    std::smatch match;
    EXPECT_TRUE(std::regex_search(line, match, kStamp, std::regex_constants::match_continuous))
        << line;
    return match.empty() ? line : match.suffix().str();
}

TEST(TrafficLog, LinesHaveTheirExactForm) {
    ScopedTempCwd cwd;
    {
        TrafficLog log(std::string("out.log"));
        const std::uint8_t bytes[] = {0x30, 0x31, 0x0D, 0xAB, 0x00, 0xF0};
        EXPECT_EQ(log.logText("COM3:115200", "ComPort:", " Is Opened!"),
                  static_cast<int>(std::string("[time:2024-01-31 09:05:07.042]ComPort:[len:11]"
                                               "COM3:115200 Is Opened!\n")
                                       .size()));
        log.logData(bytes, 3, "  Data[in]:", "");
        log.logData(bytes, 6, "  Data[out]:", "");
        log.logData(bytes, 0, "  Data[in]:", "");
        log.logText("", "H:", "T");
        EXPECT_EQ(log.logRaw("100% %s %d raw"), 14);
    }
    const auto lines = fileLines("out.log");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(afterStamp(lines[0]), "ComPort:[len:11]COM3:115200 Is Opened!");
    EXPECT_EQ(afterStamp(lines[1]), "  Data[in]:[len:3]30310D");
    EXPECT_EQ(afterStamp(lines[2]), "  Data[out]:[len:6]30310DAB00F0");
    EXPECT_EQ(afterStamp(lines[3]), "  Data[in]:[len:0]");
    EXPECT_EQ(afterStamp(lines[4]), "H:[len:0]T");
    EXPECT_EQ(lines[5], "100% %s %d raw");  // written as is, no timestamp, no line end
}

TEST(TrafficLog, AppendsToAnExistingFile) {
    ScopedTempCwd cwd;
    { TrafficLog(std::string("a.log")).logText("one", "", ""); }
    { TrafficLog(std::string("a.log")).logText("two", "", ""); }
    const auto lines = fileLines("a.log");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(afterStamp(lines[1]), "[len:3]two");
}

TEST(TrafficLog, WithoutFileEveryWriteIsDropped) {
    ScopedTempCwd cwd;
    TrafficLog none(std::nullopt);
    TrafficLog unopenable(std::string("missing-folder/x.log"));
    for (TrafficLog* log : {&none, &unopenable}) {
        const std::uint8_t byte = 1;
        EXPECT_FALSE(log->hasFile());
        EXPECT_EQ(log->logText("x", "h", "t"), -1);
        EXPECT_EQ(log->logData(&byte, 1, "h", "t"), -1);
        EXPECT_EQ(log->logRaw("x"), -1);
    }
    EXPECT_TRUE(std::filesystem::is_empty("."));
}

TEST(TrafficLog, FilePathIsTheDatedFileInItsFolder) {
    ScopedTempCwd cwd;
    const LocalTime before = localTimeNow();
    const std::string path = prepareTrafficLogPath();
    const LocalTime after = localTimeNow();
    auto expected = [](const LocalTime& t) {
        char name[64];
        std::snprintf(name, sizeof name, "DadoredivIdorirlog/port%04d%02d%02d.log", t.year, t.month,
                      t.day);
        return std::string(name);
    };
    EXPECT_TRUE(path == expected(before) || path == expected(after)) << path;
    EXPECT_TRUE(std::filesystem::is_directory("DadoredivIdorirlog"));
    EXPECT_EQ(prepareTrafficLogPath(), path);  // an existing folder is fine
}

TEST(TrafficLog, EachPortHasAFileOfItsOwn) {
    struct Case {
        const char* port;
        const char* part;
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "ttyUSB0"},
        {"/dev/pts/3", "pts_3"},
        {"COM3", "COM3"},
        {"\\\\.\\COM12", "COM12"},
        {"../../etc/x", ".._.._etc_x"},
        {"..", "%2E%2E"},
        {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0",
         "serial_by-path_pci-0000%3A00%3A14.0-usb-0%3A1%3A1.0-port0"},
        {"/dev/a_b", "a%5Fb"},
        {"/dev/a/b", "a_b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(trafficLogPortName(c.port), c.part) << c.port;
    }
    // Two long by-id names that differ only at the end keep files of their own.
    const std::string byId = "/dev/serial/by-id/usb-Korvane_OBD_Adapter_" + std::string(90, 'x');
    const std::string first = trafficLogPortName(byId + "-if00-port0");
    const std::string second = trafficLogPortName(byId + "-if01-port0");
    EXPECT_NE(first, second);
    EXPECT_EQ(first.size(), 117u);

    ScopedTempCwd cwd;
    LogLevel = kTrafficLogLevel;
    createChannelTrafficLog("/dev/ttyUSB0")->logText("a", "", "");
    createChannelTrafficLog("/dev/ttyUSB1")->logText("b", "", "");
    LogLevel = 0;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("DadoredivIdorirlog")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE(names[0].ends_with("-ttyUSB0.log")) << names[0];
    EXPECT_TRUE(names[1].ends_with("-ttyUSB1.log")) << names[1];
}

// Never written through a symbolic link, and a log that cannot be opened is told once.
TEST(TrafficLog, RefusesSymbolicLinksAndTellsItsProblemOnce) {
    ScopedTempCwd cwd;
    std::filesystem::create_directory("real");
    std::filesystem::create_directory("logs");
    std::filesystem::create_symlink("../real/target.log", "logs/link.log");
    std::filesystem::create_directory_symlink("real", "linked-folder");
    std::vector<TrafficLogProblem> told;
    setTrafficLogProblemHandler([&told](const TrafficLogProblem& p) { told.push_back(p); });
    for (const char* path : {"logs/link.log", "linked-folder/x.log", "logs/link.log"}) {
        TrafficLog log{std::string(path)};
        EXPECT_FALSE(log.hasFile()) << path;
        EXPECT_EQ(log.logText("secret", "", ""), -1);
    }
    EXPECT_FALSE(std::filesystem::exists("real/target.log"));
    EXPECT_TRUE(std::filesystem::is_empty("real"));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].path, "logs/link.log");
    EXPECT_EQ(told[0].systemCode, ELOOP);
    EXPECT_FALSE(told[0].writing);

    // A write that fails is told too, once per handler.
    setTrafficLogProblemHandler([&told](const TrafficLogProblem& p) { told.push_back(p); });
    {
        TrafficLog full{std::string("/dev/full")};
        EXPECT_EQ(full.logText("x", "", ""), -1);
        EXPECT_EQ(full.logText("y", "", ""), -1);
    }
    setTrafficLogProblemHandler(nullptr);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[1].path, "/dev/full");
    EXPECT_TRUE(told[1].writing);
    EXPECT_EQ(told[1].systemCode, ENOSPC);
}

TEST(TrafficLog, ChannelLogHasAFileOnlyFromLevelThree) {
    ScopedTempCwd cwd;
    struct Case {
        int level;
        bool file;
    };
    for (const Case c : {Case{0, false}, Case{2, false}, Case{3, true}, Case{7, true}}) {
        LogLevel = c.level;
        EXPECT_EQ(createChannelTrafficLog()->hasFile(), c.file) << c.level;
        EXPECT_EQ(std::filesystem::exists("DadoredivIdorirlog"), c.file) << c.level;
    }
    LogLevel = 0;
}

}  // namespace
}  // namespace korvane
