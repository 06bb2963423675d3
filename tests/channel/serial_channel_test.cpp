#include "channel/serial/serial_channel.h"

#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>
#include <cerrno>

#include <filesystem>
#include <memory>
#include <thread>

#include "channel/channel_factory.h"
#include "channel/serial/serial_baud.h"
#include "channel/serial/serial_low_latency.h"
#include "channel_test_support.h"

namespace korvane {
namespace {

using test::msSince;
using test::Pty;

ChannelConfig serialConfig(const std::string& name, int baud, const std::string& mode = "direct") {
    ChannelConfig config;
    config.set("mode", mode);
    config.set("name", name);
    config.set("baud", std::to_string(baud));
    return config;
}

std::unique_ptr<SerialChannel> openOn(const Pty& pty, int baud, const std::string& mode,
                                      bool expectOpen = true) {
    bool isOpen = false;
    auto channel = std::make_unique<SerialChannel>(serialConfig(pty.slaveName, baud, mode), isOpen);
    EXPECT_EQ(isOpen, expectOpen);
    EXPECT_EQ(channel->isOpen(), expectOpen);
    return channel;
}

std::vector<std::uint8_t> bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(SerialPortName, ComNamesMapToNumberedPortsOtherNamesStayAsTheyAre) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM3", "/dev/ttyS2"},
        {"COM256", "/dev/ttyS255"},
        {"com3", "com3"},
        {"COM03", "COM03"},
        {"COM0", "COM0"},
        {"COM257", "COM257"},
        {"COM3 ", "COM3 "},
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"", ""},
    };
    for (const auto& [name, path] : cases) {
        EXPECT_EQ(serialDevicePath(name), path) << name;
    }
}

TEST(SerialChannel, OpensRaw8N1WithoutFlowControl) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    termios settings{};
    ASSERT_EQ(::tcgetattr(pty.master, &settings), 0);  // the master reports the slave's settings
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | INPCK | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
    EXPECT_EQ(readBackBaud(pty.master), 115200);
}

TEST(SerialChannel, EveryOfferedRateIsSetExactly) {
    const int rates[] = {9600,   19200,  38400,   57600,   115200,  230400, 256000,
                         460800, 500000, 1000000, 2000000, 4000000, 8000000};
    Pty pty;
    for (int rate : rates) {
        auto opened = openOn(pty, rate, "direct");
        EXPECT_EQ(readBackBaud(pty.master), rate) << "open at " << rate;
    }
    auto channel = openOn(pty, 9600, "direct");
    for (int rate : rates) {
        EXPECT_EQ(channel->setBaudRate(rate), 1) << rate;
        EXPECT_EQ(readBackBaud(pty.master), rate) << "switch to " << rate;
    }
}

TEST(SerialChannel, BaudSwitchIsSeenByTheOtherSideAndKeptByReopen) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    ASSERT_EQ(channel->setBaudRate(2000000), 1);
    EXPECT_EQ(readBackBaud(pty.master), 2000000);
    ASSERT_TRUE(channel->write(bytesOf("QX").data(), 2, 1000));
    EXPECT_EQ(test::readExactly(pty.master, 2, 1000), bytesOf("QX"));
    ASSERT_EQ(channel->setBaudRate(115200), 1);
    ASSERT_EQ(channel->setBaudRate(2000000), 1);
    ASSERT_TRUE(channel->reopen());
    EXPECT_EQ(readBackBaud(pty.master), 2000000);
}

TEST(SerialChannel, SetBaudRateOutsideOpenDirectModeFailsButKeepsTheRate) {
    Pty pty;
    auto buffered = openOn(pty, 115200, "buffered");
    EXPECT_EQ(buffered->setBaudRate(2000000), -1);
    EXPECT_TRUE(buffered->isOpen());
    EXPECT_EQ(buffered->baud(), 2000000);
    EXPECT_EQ(readBackBaud(pty.master), 115200);
    ASSERT_TRUE(buffered->reopen());  // reopens at the stored rate
    EXPECT_EQ(readBackBaud(pty.master), 2000000);
    buffered.reset();

    auto closed = openOn(pty, 115200, "direct");
    closed->close();
    EXPECT_EQ(closed->setBaudRate(9600), -1);
    EXPECT_EQ(closed->baud(), 9600);
}

TEST(SerialChannel, ARateThePortRefusesClosesIt) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    EXPECT_EQ(channel->setBaudRate(0), -1);
    EXPECT_FALSE(channel->isOpen());
    std::uint8_t byte = 0;
    EXPECT_NE(channel->read(&byte, 1, 10), ReadResult::Read);
    // The port is free again.
    auto again = openOn(pty, 115200, "direct");
}

TEST(SerialChannel, MissingBusyOrInvalidPortsDoNotOpen) {
    Pty pty;
    auto first = openOn(pty, 115200, "direct");
    auto busy = openOn(pty, 115200, "direct", false);
    auto busyBuffered = openOn(pty, 115200, "buffered", false);
    bool isOpen = true;
    for (const auto& name : {std::string("/dev/korvane-no-such-port"), std::string(""),
                             std::string("/dev/null"), std::string("COM257")}) {
        SerialChannel channel(serialConfig(name, 115200), isOpen);
        EXPECT_FALSE(isOpen) << name;
    }
    SerialChannel noBaud(serialConfig(pty.slaveName, 0), isOpen);
    EXPECT_FALSE(isOpen);
    first.reset();
    auto afterClose = openOn(pty, 115200, "direct");  // released with the first channel
}

// Whether the line is held for exclusive use (TIOCEXCL), as the next program would find it.
bool heldExclusively(const Pty& pty) {
    int flag = 0;
    return ::ioctl(pty.slave, TIOCGEXCL, &flag) == 0 && flag != 0;
}

// What an ordinary user's open(2) of the line gives now: 0, or its errno (EBUSY while held).
int openAsOrdinaryUser(const Pty& pty) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            ::_exit(100);
        }
        const int fd = ::open(pty.slaveName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SerialChannel, EveryWayOfClosingLetsTheNextProgramOpenThePort) {
    struct Ending {
        const char* name;
        const char* mode;
        void (*end)(std::unique_ptr<SerialChannel>&);
    };
    const Ending endings[] = {
        {"close", "direct", [](std::unique_ptr<SerialChannel>& c) { c->close(); }},
        {"destructor", "direct", [](std::unique_ptr<SerialChannel>& c) { c.reset(); }},
        {"refused rate", "direct", [](std::unique_ptr<SerialChannel>& c) { c->setBaudRate(0); }},
        {"close", "buffered", [](std::unique_ptr<SerialChannel>& c) { c->close(); }},
        {"destructor", "buffered", [](std::unique_ptr<SerialChannel>& c) { c.reset(); }},
    };
    const bool root = ::geteuid() == 0;
    for (const Ending& ending : endings) {
        SCOPED_TRACE(std::string(ending.mode) + ", " + ending.name);
        Pty pty;
        ::fchmod(pty.slave, 0666);  // so that an ordinary user may open it when it is free
        auto channel = openOn(pty, 115200, ending.mode);
        EXPECT_TRUE(heldExclusively(pty));
        if (root) {
            EXPECT_EQ(openAsOrdinaryUser(pty), EBUSY);
        }
        ending.end(channel);
        EXPECT_FALSE(heldExclusively(pty));
        if (root) {
            EXPECT_EQ(openAsOrdinaryUser(pty), 0);
        }
        // And reopening takes it again.
        auto again = openOn(pty, 115200, ending.mode);
        EXPECT_TRUE(heldExclusively(pty));
    }
}

// The driver's ioctl() as the low-latency request meets it: serial settings that it hands out
// and takes back, or refuses.
struct FakeSerialDriver {
    serial_struct settings{};
    int refuseGetWith = 0;  // errno of a refused TIOCGSERIAL, 0 to accept
    int refuseSetWith = 0;
    std::vector<unsigned long> calls;

    SerialIoctl ioctl() {
        return [this](unsigned long request, void* argument) {
            calls.push_back(request);
            auto* given = static_cast<serial_struct*>(argument);
            if (request == TIOCGSERIAL) {
                if (refuseGetWith != 0) {
                    errno = refuseGetWith;
                    return -1;
                }
                *given = settings;
                return 0;
            }
            if (request == TIOCSSERIAL) {
                if (refuseSetWith != 0) {
                    errno = refuseSetWith;
                    return -1;
                }
                settings = *given;
                return 0;
            }
            errno = ENOTTY;
            return -1;
        };
    }
};

TEST(SerialLowLatency, SetsTheFlagAndKeepsEverythingElse) {
    struct Case {
        const char* name;
        int flagsBefore;
        int refuseGet;
        int refuseSet;
        LowLatency result;
        std::vector<unsigned long> calls;
        int flagsAfter;
    };
    const int other = ASYNC_SKIP_TEST | ASYNC_SPD_HI;
    const Case cases[] = {
        {"USB bridge",
         other,
         0,
         0,
         LowLatency::requested,
         {TIOCGSERIAL, TIOCSSERIAL},
         other | ASYNC_LOW_LATENCY},
        {"already on",
         other | ASYNC_LOW_LATENCY,
         0,
         0,
         LowLatency::alreadyOn,
         {TIOCGSERIAL},
         other | ASYNC_LOW_LATENCY},
        {"pty or Bluetooth port", other, ENOTTY, 0, LowLatency::refused, {TIOCGSERIAL}, other},
        {"change refused", other, 0, EPERM, LowLatency::refused, {TIOCGSERIAL, TIOCSSERIAL}, other},
        {"change not supported",
         other,
         0,
         EINVAL,
         LowLatency::refused,
         {TIOCGSERIAL, TIOCSSERIAL},
         other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSerialDriver driver;
        driver.settings.type = 4;
        driver.settings.line = 3;
        driver.settings.baud_base = 24000000;
        driver.settings.custom_divisor = 7;
        driver.settings.close_delay = 50;
        driver.settings.flags = c.flagsBefore;
        driver.refuseGetWith = c.refuseGet;
        driver.refuseSetWith = c.refuseSet;
        EXPECT_EQ(requestLowLatency(driver.ioctl()), c.result);
        EXPECT_EQ(driver.calls, c.calls);
        EXPECT_EQ(driver.settings.flags, c.flagsAfter);
        // Whatever else the driver said is given back as it was.
        EXPECT_EQ(driver.settings.type, 4);
        EXPECT_EQ(driver.settings.line, 3);
        EXPECT_EQ(driver.settings.baud_base, 24000000);
        EXPECT_EQ(driver.settings.custom_divisor, 7);
        EXPECT_EQ(driver.settings.close_delay, 50);
    }
}

TEST(SerialLowLatency, APseudoTerminalRefusesAndStillOpens) {
    Pty pty;
    EXPECT_EQ(requestLowLatency(pty.slave), LowLatency::refused);
    auto channel = openOn(pty, 115200, "direct");  // the refusal does not fail the open
}

TEST(SerialChannel, DirectModeMovesBytesBothWays) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    const auto command = bytesOf("ATI\r");
    ASSERT_TRUE(channel->write(command.data(), 4, 1000));
    EXPECT_EQ(test::readExactly(pty.master, 4, 1000), command);
    ASSERT_TRUE(test::writeAll(pty.master, "ELM327 v1.5\r\r>"));
    // available() counts what the driver holds, then what a read took ahead of its count.
    for (int i = 0; i < 200 && channel->available() < 14; ++i) {
        sleepMs(5);
    }
    EXPECT_EQ(channel->available(), 14);
    std::uint8_t reply[14] = {};
    ASSERT_EQ(channel->read(reply, 1, 1000), ReadResult::Read);
    EXPECT_EQ(channel->available(), 13);
    ASSERT_EQ(channel->read(reply + 1, 13, 1000), ReadResult::Read);
    EXPECT_EQ(std::string(reply, reply + 14), "ELM327 v1.5\r\r>");
    EXPECT_EQ(channel->available(), 0);
}

TEST(SerialChannel, DirectReadsOfAnySizeKeepTheByteStream) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    const auto sent = test::patternBytes(12000, 5);
    std::thread device([&] { test::writeAll(pty.master, sent); });
    std::vector<std::uint8_t> got(sent.size());
    std::size_t done = 0;
    const int sizes[] = {1, 1, 7, 4096, 1, 5000, 3};
    for (int i = 0; done < got.size(); ++i) {
        const int size = std::min<int>(sizes[i % 7], static_cast<int>(got.size() - done));
        ASSERT_EQ(channel->read(got.data() + done, size, 5000), ReadResult::Read) << done;
        done += static_cast<std::size_t>(size);
    }
    device.join();
    EXPECT_EQ(got, sent);
}

TEST(SerialChannel, DirectReadRunsOutOfBudgetWhenTooFewBytesCome) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    ASSERT_TRUE(test::writeAll(pty.master, "abc"));
    std::uint8_t buffer[5] = {};
    const auto start = test::Clock::now();
    EXPECT_NE(channel->read(buffer, 5, 200), ReadResult::Read);
    const auto elapsed = msSince(start);
    EXPECT_GE(elapsed, 190);
    EXPECT_LT(elapsed, 5000);
    EXPECT_EQ(std::string(buffer, buffer + 3), "abc");  // kept, but the read failed
}

TEST(SerialChannel, DirectWriteRunsOutOfBudgetWhenTheLineIsBlocked) {
    Pty pty;
    auto channel = openOn(pty, 115200, "direct");
    const auto bytes = test::patternBytes(1 << 20);  // far more than the terminal buffers hold
    const auto start = test::Clock::now();
    EXPECT_FALSE(channel->write(bytes.data(), static_cast<int>(bytes.size()), 200));
    EXPECT_GE(msSince(start), 190);
    EXPECT_LT(msSince(start), 5000);
    EXPECT_TRUE(channel->isOpen());
}

TEST(SerialChannel, ZeroAndNegativeCounts) {
    Pty pty;
    std::uint8_t byte = 0;
    auto direct = openOn(pty, 115200, "direct");
    EXPECT_EQ(direct->read(&byte, 0, 0), ReadResult::Read);
    EXPECT_TRUE(direct->write(&byte, 0, 0));
    EXPECT_NE(direct->read(&byte, -1, 100), ReadResult::Read);
    EXPECT_FALSE(direct->write(&byte, -1, 100));
    direct->close();
    EXPECT_NE(direct->read(&byte, 0, 0),
              ReadResult::Read);  // a closed direct channel refuses every read
    EXPECT_FALSE(direct->write(&byte, 1, 0));
    direct.reset();

    bool isOpen = true;
    SerialChannel neverOpened(serialConfig("/dev/korvane-no-such-port", 115200, "buffered"),
                              isOpen);
    ASSERT_FALSE(isOpen);
    EXPECT_EQ(neverOpened.read(&byte, 0, 0), ReadResult::Read);
    EXPECT_TRUE(neverOpened.write(&byte, 0, 0));
    EXPECT_NE(neverOpened.read(&byte, -1, 0), ReadResult::Read);
    EXPECT_FALSE(neverOpened.write(&byte, -1, 0));
    EXPECT_NE(neverOpened.read(&byte, 1, 20), ReadResult::Read);  // waits out its budget
    EXPECT_FALSE(neverOpened.write(&byte, 1, 20));                // queued, never sent
}

TEST(SerialChannel, PurgeDropsPendingInput) {
    Pty pty;
    auto direct = openOn(pty, 115200, "direct");
    ASSERT_TRUE(test::writeAll(pty.master, "abc"));
    std::uint8_t byte = 0;
    ASSERT_EQ(direct->read(&byte, 1, 1000), ReadResult::Read);  // the bytes have arrived
    direct->purge();
    EXPECT_NE(direct->read(&byte, 1, 100), ReadResult::Read);
    direct.reset();

    auto buffered = openOn(pty, 115200, "buffered");
    ASSERT_TRUE(test::writeAll(pty.master, "xyz"));
    ASSERT_EQ(buffered->read(&byte, 1, 1000), ReadResult::Read);
    for (int i = 0; i < 200 && buffered->available() < 2; ++i) {
        sleepMs(5);
    }
    EXPECT_EQ(buffered->available(), 2);
    buffered->purge();
    EXPECT_EQ(buffered->available(), 0);
    EXPECT_NE(buffered->read(&byte, 1, 100), ReadResult::Read);
}

TEST(SerialChannel, BufferedModeCarriesMoreThanOneBlockEachWay) {
    Pty pty;
    auto channel = openOn(pty, 115200, "buffered");
    const auto out = test::patternBytes(5000, 3);
    // The terminal holds only a few kilobytes; read while the channel sends.
    std::vector<std::uint8_t> seen;
    std::thread reader([&] { seen = test::readExactly(pty.master, out.size(), 5000); });
    EXPECT_TRUE(channel->write(out.data(), static_cast<int>(out.size()), 5000));
    reader.join();
    EXPECT_EQ(seen, out);

    const auto in = test::patternBytes(3000, 4);
    ASSERT_TRUE(test::writeAll(pty.master, in));
    std::vector<std::uint8_t> got(in.size());
    ASSERT_EQ(channel->read(got.data(), static_cast<int>(got.size()), 5000), ReadResult::Read);
    EXPECT_EQ(got, in);
}

TEST(SerialChannel, AHungUpLineFailsReadsAtOnceAndDoesNotSpin) {
    Pty pty;
    auto direct = openOn(pty, 115200, "direct");
    std::uint8_t byte = 0;
    pty.closeMaster();
    const auto start = test::Clock::now();
    EXPECT_NE(direct->read(&byte, 1, 3000), ReadResult::Read);
    EXPECT_LT(msSince(start), 1500);  // failed on the hang-up, not at the end of the budget
}

TEST(SerialChannel, AHungUpLineLeavesTheBufferedPumpIdle) {
    Pty pty;
    auto buffered = openOn(pty, 115200, "buffered");
    pty.closeMaster();
    std::uint8_t byte = 0;
    const auto cpuBefore = test::processCpuTime();
    EXPECT_NE(buffered->read(&byte, 1, 600), ReadResult::Read);
    const auto cpu = test::processCpuTime() - cpuBefore;
    // A pump spinning on the dead line would burn about 600 ms of processor time here.
    EXPECT_LT(cpu.count(), 200000);
}

TEST(SerialChannel, DefaultFactoryBuildsSerialChannels) {
    Pty pty;
    bool isOpen = false;
    auto channel = defaultChannelFactory().com(SerialPortRequest{pty.slaveName, 115200}, isOpen);
    ASSERT_TRUE(channel);
    EXPECT_TRUE(isOpen);
    // Direct mode: the rate can be switched, as only a direct-mode channel allows.
    EXPECT_EQ(channel->setBaudRate(2000000), 1);
    EXPECT_EQ(channel->acceptPeer(ChannelConfig(), 0), nullptr);
    auto failed =
        defaultChannelFactory().com(SerialPortRequest{"/dev/korvane-no-such-port", 115200}, isOpen);
    ASSERT_TRUE(failed);  // still a valid object
    EXPECT_FALSE(isOpen);
}

class SerialChannelLog : public ::testing::Test {
protected:
    void SetUp() override { cwd_ = std::make_unique<test::ScopedTempCwd>(); }
    void TearDown() override {
        LogLevel = 0;
        cwd_.reset();
    }
    std::vector<std::string> logLines() {
        std::vector<std::string> lines;
        const std::filesystem::path folder = "DadoredivIdorirlog";
        if (!std::filesystem::is_directory(folder)) {
            return lines;
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            for (auto& line : test::fileLines(entry.path().string())) {
                // Drop "[time:YYYY-MM-DD hh:mm:ss.mmm]".
                lines.push_back(line.size() > 30 ? line.substr(30) : line);
            }
        }
        return lines;
    }
    std::unique_ptr<test::ScopedTempCwd> cwd_;
};

TEST_F(SerialChannelLog, LevelThreeLogsOpenDataAndClose) {
    LogLevel = 3;
    Pty pty;
    const std::string port = pty.slaveName + ":115200";
    {
        auto channel = openOn(pty, 115200, "direct");
        std::uint8_t bytes[3] = {0x30, 0x31, 0x0D};
        ASSERT_TRUE(channel->write(bytes, 3, 1000));
        ASSERT_TRUE(test::writeAll(pty.master, std::vector<std::uint8_t>{0xAB, 0x0D}));
        ASSERT_EQ(channel->read(bytes, 2, 1000), ReadResult::Read);
        ASSERT_EQ(channel->read(bytes, 0, 0), ReadResult::Read);
        EXPECT_NE(channel->read(bytes, 1, 10), ReadResult::Read);  // failed reads are not logged
        ASSERT_EQ(channel->setBaudRate(2000000), 1);
        ASSERT_TRUE(channel->reopen());
        channel->close();
        channel->close();  // not open: no line
    }
    const std::string len = "[len:" + std::to_string(port.size()) + "]";
    const std::string port2 = pty.slaveName + ":2000000";
    const std::string len2 = "[len:" + std::to_string(port2.size()) + "]";
    const std::vector<std::string> expected = {
        "ComPort:" + len + port + " Is Opened!",
        "  Data[out]:[len:3]30310D",
        "  Data[in]:[len:2]AB0D",
        "  Data[in]:[len:0]",
        "ComPort:" + len2 + port2 + " Is Closed!",
        "ComPort:" + len2 + port2 + " Is Opened!",
        "ComPort:" + len2 + port2 + " Is Closed!",
    };
    EXPECT_EQ(logLines(), expected);
}

TEST_F(SerialChannelLog, BufferedModeLogsWhatTheCallerMoves) {
    LogLevel = 3;
    Pty pty;
    {
        auto channel = openOn(pty, 115200, "buffered");
        const std::uint8_t out[2] = {0x41, 0x0D};
        ASSERT_TRUE(channel->write(out, 2, 1000));
        ASSERT_TRUE(test::writeAll(pty.master, std::vector<std::uint8_t>{0x3E}));
        std::uint8_t in = 0;
        ASSERT_EQ(channel->read(&in, 1, 1000), ReadResult::Read);
    }
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], "  Data[out]:[len:2]410D");
    EXPECT_EQ(lines[2], "  Data[in]:[len:1]3E");
}

TEST_F(SerialChannelLog, AFailedOpenWritesNoLine) {
    LogLevel = 3;
    bool isOpen = true;
    { SerialChannel channel(serialConfig("/dev/korvane-no-such-port", 115200), isOpen); }
    EXPECT_FALSE(isOpen);
    EXPECT_TRUE(logLines().empty());
}

TEST_F(SerialChannelLog, LevelZeroCreatesNoFolderAndNoFile) {
    Pty pty;
    {
        auto channel = openOn(pty, 115200, "direct");
        const std::uint8_t byte = 0x41;
        ASSERT_TRUE(channel->write(&byte, 1, 1000));
    }
    EXPECT_TRUE(std::filesystem::is_empty(cwd_->path()));
}

}  // namespace
}  // namespace korvane
