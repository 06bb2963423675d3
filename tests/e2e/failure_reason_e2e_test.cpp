// Every failure says why: the fixed failure text unchanged and first, then one reason line
// indented by two blanks. Real ports, files and sockets, through the same UpdateJob the window
// and korvane-fw drive.
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "engine/update_file.h"
#include "tests/e2e/e2e_support.h"

namespace korvane::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kConnectionError[] = "**Failed** Port connection error!\r\n";
constexpr char kParameterError[] = "**Failed** Port parameter error!\r\n";
constexpr char kFileInvalid[] = "**Failed** File is Invalid!\r\n";
constexpr uid_t kNobody = 65534;

// A pseudo-terminal whose slave end the test keeps open, so that its name stays valid.
struct TestPty {
    TestPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            slaveName = ::ptsname(master);
            slave = ::open(slaveName.c_str(), O_RDWR | O_NOCTTY);
        }
    }
    ~TestPty() {
        if (slave >= 0) {
            ::close(slave);
        }
        if (master >= 0) {
            ::close(master);
        }
    }
    int master = -1;
    int slave = -1;
    std::string slaveName;
};

// A loopback port nobody listens on: one the system just handed out and took back.
int unusedLoopbackPortForTest() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

fs::path freshFolder(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) /
                         ("korvane_reason_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The job's texts when it ran `work` as an unprivileged user in a child process; nullopt when
// this process cannot become one.
std::optional<std::vector<std::string>> asUnprivilegedUser(const std::function<JobRecord()>& work) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(77);
        }
        std::string all;
        for (const std::string& text : work().texts) {
            all += text + '\0';
        }
        const bool written =
            ::write(pipeFds[1], all.data(), all.size()) == static_cast<ssize_t>(all.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string all;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
        all.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find('\0', start);
        texts.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return texts;
}

// The fixed text first and unchanged, then exactly one reason line holding `words`.
void expectReason(const std::vector<std::string>& texts, const char* fixed, const char* words,
                  const std::string& what) {
    ASSERT_GE(texts.size(), 2u) << what;
    EXPECT_EQ(texts[texts.size() - 2], fixed) << what;
    const std::string& reason = texts.back();
    EXPECT_TRUE(reason.starts_with("  ")) << what << ": " << reason;
    EXPECT_TRUE(reason.ends_with("\r\n")) << what << ": " << reason;
    EXPECT_EQ(reason.find('\n'), reason.size() - 1) << what << ": one line, " << reason;
    EXPECT_NE(reason.find(words), std::string::npos) << what << ": " << reason;
}

TEST(FailureReason, EachPortThatCannotOpenSaysWhy) {
    const fs::path dir = freshFolder("ports");
    const std::string plainFile = (dir / "not-a-tty").string();
    std::ofstream(plainFile) << "x";
    TestPty busy;
    ASSERT_GE(busy.slave, 0);
    // Another program's hold on the port, as korvane-fw itself takes it.
    ASSERT_EQ(::flock(busy.slave, LOCK_EX | LOCK_NB), 0);
    const int nobodyListens = unusedLoopbackPortForTest();

    struct Case {
        const char* what;
        std::string descriptor;
        const char* fixed;
        std::string words;
    };
    const Case cases[] = {
        {"missing device", "com|/dev/korvane-no-such-port:115200", kConnectionError,
         "/dev/korvane-no-such-port: no such device"},
        {"busy", "com|" + busy.slaveName + ":115200", kConnectionError,
         busy.slaveName + ": the port is busy"},
        {"not a tty", "com|" + plainFile + ":115200", kConnectionError, "not a serial device"},
        {"refused TCP", "tcp|127.0.0.1:" + std::to_string(nobodyListens), kConnectionError,
         "connection refused"},
        {"host name", "tcp|localhost:35000", kConnectionError, "not a dotted IPv4 address"},
        {"baud with junk", "com|/dev/ttyS0:115200abc", kParameterError,
         "the baud rate \"115200abc\" is not a whole number from 50 to 8000000"},
        {"baud out of range", "com|/dev/ttyS0:99999999999999", kParameterError,
         "is not a whole number from 50"},
        {"TCP port out of range", "tcp|127.0.0.1:65536", kParameterError,
         "the TCP port \"65536\" is not a whole number from 1 to 65535"},
        {"IPv6 address", "tcp|::1:35000", kParameterError, "IPv6 addresses are not accepted"},
        {"unknown kind", "udp|x:1", kParameterError, "the port kind \"udp\" is neither"},
        {"serial port without its rate", "com|/dev/ttyS0", kParameterError,
         "\"/dev/ttyS0\" lacks the \":\" before the baud rate"},
        {"address without its port", "tcp|127.0.0.1", kParameterError,
         "\"127.0.0.1\" lacks the \":\" before the TCP port"},
    };
    for (const Case& c : cases) {
        const JobRecord record = runReadJob(c.descriptor);
        EXPECT_EQ(record.slot, -1) << c.what;
        expectReason(record.texts, c.fixed, c.words.c_str(), c.what);
    }
    fs::remove_all(dir);
}

TEST(FailureReason, PermissionDeniedTellsToJoinTheDialoutGroup) {
    TestPty pty;
    ASSERT_GE(pty.slave, 0);
    // Owned by this user: as root an unprivileged child is refused; otherwise this user is.
    ASSERT_EQ(::fchmod(pty.slave, ::geteuid() == 0 ? 0600 : 0), 0);
    const std::string descriptor = "com|" + pty.slaveName + ":115200";
    const auto texts = asUnprivilegedUser([&] { return runReadJob(descriptor); });
    if (!texts) {
        GTEST_SKIP() << "cannot run the job as an unprivileged user here";
    }
    expectReason(*texts, kConnectionError, "permission denied", "permission");
    EXPECT_NE(texts->back().find("dialout"), std::string::npos) << texts->back();
}

TEST(FailureReason, UpdateFilesThatCannotBeUsedSayWhy) {
    sim::AdapterSettings settings;
    settings.model = sim::kModelZnb5413;
    EmulatedLink adapter(settings, Link::Tcp);
    ASSERT_TRUE(adapter.started()) << adapter.error();
    const fs::path dir = freshFolder("files");
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string small = (dir / "small.hex").string();
    std::ofstream(small) << std::string(137, 'A');
    // Sparse: larger than any update file can be, without taking the disk space.
    const std::string oversized = (dir / "oversized.hex").string();
    std::ofstream(oversized).close();
    fs::resize_file(oversized, kMaxUpdateFileSize + 1);
    const std::string unreadable = (dir / "unreadable.hex").string();
    std::ofstream(unreadable) << std::string(200, 'A');
    ::chmod(unreadable.c_str(), 0);
    ::chmod(dir.c_str(), 0755);

    struct Case {
        const char* what;
        std::string path;
        std::string words;
    };
    const Case cases[] = {
        {"missing", (dir / "missing.hex").string(), "missing.hex: no such file"},
        {"folder", dir.string(), "a folder, not a file"},
        {"named pipe, refused without waiting for a writer", fifo, "a named pipe"},
        {"device", "/dev/null", "a device, not a regular file"},
        {"137 bytes", small, "137 bytes is too small for an update file (at least 138)"},
        {"path of 1024 bytes", "/" + std::string(1023, 'p'),
         "the path is 1024 bytes long, at most 1023"},
        {"oversized, refused before it is read", oversized,
         std::to_string(kMaxUpdateFileSize + 1) + " bytes is larger than any update file can be"},
    };
    for (const Case& c : cases) {
        const JobRecord record = runUpdateJob(adapter.descriptor(), c.path);
        expectReason(record.texts, kFileInvalid, c.words.c_str(), c.what);
        EXPECT_EQ(adapter.server().status().lineCommands, 0) << c.what;
    }
    // Unreadable: only an unprivileged user is refused.
    const auto texts =
        asUnprivilegedUser([&] { return runUpdateJob(adapter.descriptor(), unreadable); });
    if (texts) {
        expectReason(*texts, kFileInvalid, "unreadable.hex: permission denied", "unreadable");
    }
    fs::remove_all(dir);
}

// An adapter at another line rate than the port's answers with line noise, a ">" among it. That is
// no answer, least of all a boot loader's: the flow gives its no-answer texts and the reason
// names the line rate, and nothing but "ATE1" and the first question went out (no "QXUPDT03").
TEST(FailureReason, AnswerOfLineNoiseIsNoAnswer) {
    struct Case {
        int model;
        bool bootLoader;
        const char* question;
    };
    for (const Case& c :
         {Case{sim::kModelZnb5411, false, "ATI"}, Case{sim::kModelAzur03, true, "ATI"},
          Case{sim::kModelZnb540, false, "QXVERS"}}) {
        SCOPED_TRACE(c.model);
        sim::AdapterSettings settings;
        settings.model = c.model;
        settings.bootLoader = c.bootLoader;
        settings.baud = 38400;  // the port runs at 115200
        settings.mismatchAsNoise = true;
        EmulatedLink adapter(settings, Link::Pty);
        ASSERT_TRUE(adapter.started()) << adapter.error();
        const UpdateFileOnDisk update = writeUpdateFile(recipeFor(c.model, 640));
        const JobRecord record = runUpdateJob(adapter.descriptor(), update.path);
        EXPECT_EQ(record.outcome.result, JobResult::Refused) << record.output();
        expectReason(record.texts, "**Failed** Please power on the device again!\r\n",
                     (std::string("answer to ") + c.question + " was line noise").c_str(),
                     record.output());
        EXPECT_FALSE(record.saw("Device connection")) << record.output();
        // Every byte the updater sent reached the adapter garbled: "ATE1\r" and the question.
        EXPECT_EQ(adapter.server().status().counts.garbledIn, 5 + std::strlen(c.question) + 1);
    }
}

}  // namespace
}  // namespace korvane::e2e
