#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "channel/serial/serial_channel.h"
#include "channel/traffic_log/traffic_log.h"
#include "channel/traffic_log/traffic_log_clock.h"
#include "tests/windows/windows_test_support.h"

namespace korvane {
namespace {

using test::fileBytes;
using test::ScopedTempCwd;

std::string todaysLogPath() {
    const LocalTime now = localTimeNow();
    char name[64];
    std::snprintf(name, sizeof name, "DadoredivIdorirlog\\port%04d%02d%02d.log", now.year,
                  now.month, now.day);
    return name;
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class LogLevelGuard {
public:
    explicit LogLevelGuard(int level) : saved_(LogLevel.load()) { LogLevel.store(level); }
    ~LogLevelGuard() { LogLevel.store(saved_); }

private:
    int saved_;
};

TEST(TrafficLogOnWindows, PathJoinsFolderAndDatedNameWithABackslashAndMakesTheFolder) {
    ScopedTempCwd cwd;
    ASSERT_FALSE(isFolder("DadoredivIdorirlog"));
    const std::string path = prepareTrafficLogPath();
    EXPECT_EQ(path, todaysLogPath());
    EXPECT_TRUE(isFolder("DadoredivIdorirlog"));
    // A second channel of the day finds the folder there; that is no failure.
    EXPECT_EQ(prepareTrafficLogPath(), path);
}

TEST(TrafficLogOnWindows, LinesEndWithCarriageReturnAndLineFeedAndAreAppended) {
    ScopedTempCwd cwd;
    const std::string path = prepareTrafficLogPath();
    {
        TrafficLog log(path);
        ASSERT_TRUE(log.hasFile());
        const std::uint8_t bytes[] = {0x30, 0x31, 0x0D};
        EXPECT_GT(log.logData(bytes, 3, "  Data[in]:", ""), 0);
    }
    {
        TrafficLog log(path);
        EXPECT_GT(log.logText("COM3:115200", "ComPort:", " Is Closed!"), 0);
    }
    const std::string text = fileBytes(path);
    const std::size_t firstEnd = text.find("]  Data[in]:[len:3]30310D\r\n");
    const std::size_t secondEnd = text.find("]ComPort:[len:11]COM3:115200 Is Closed!\r\n");
    ASSERT_NE(firstEnd, std::string::npos) << text;
    ASSERT_NE(secondEnd, std::string::npos) << text;
    EXPECT_LT(firstEnd, secondEnd);
    EXPECT_EQ(text.substr(0, 6), "[time:");
    EXPECT_EQ(text.size() - text.rfind("\r\n"), 2u);  // the file ends with a line end
}

TEST(TrafficLogOnWindows, LevelBelowThreeCreatesNoFolderEvenWhenAPortOpenFails) {
    ScopedTempCwd cwd;
    LogLevelGuard level(0);
    ChannelConfig config;
    config.set("mode", "direct");
    config.set("name", "COM199");
    config.set("baud", "115200");
    bool open = true;
    { SerialChannel channel(config, open); }
    EXPECT_FALSE(open);
    EXPECT_FALSE(isFolder("DadoredivIdorirlog"));
}

TEST(TrafficLogOnWindows, PortThatFailsToOpenWritesNoOpenedLine) {
    ScopedTempCwd cwd;
    LogLevelGuard level(3);
    ChannelConfig config;
    config.set("mode", "direct");
    config.set("name", "COM199");
    config.set("baud", "115200");
    bool open = true;
    {
        SerialChannel channel(config, open);
        channel.close();  // not open: no "Is Closed!" line either
    }
    EXPECT_FALSE(open);
    EXPECT_TRUE(isFolder("DadoredivIdorirlog"));
    EXPECT_EQ(fileBytes(todaysLogPath()), "");
}

}  // namespace
}  // namespace korvane
