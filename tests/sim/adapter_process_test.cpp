// korvane-adapter-sim as a program: a scripted client updates it by hand over a pty and over TCP,
// and the image it writes equals what the update file carries.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "link_client.h"
#include "transfer_script.h"
#include "writer_files.h"

extern char** environ;

namespace korvane::simtest {
namespace {

// One run of the program, stopped with SIGTERM.
class SimProcess {
public:
    ~SimProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (output_ >= 0) {
            close(output_);
        }
    }

    // Starts the program and reads the line in which it says where it listens.
    bool start(const std::vector<std::string>& arguments, std::string& firstLine) {
        int pipeFds[2];
        if (pipe2(pipeFds, O_CLOEXEC) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        std::vector<std::string> words = {KORVANE_ADAPTER_SIM_PATH};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, KORVANE_ADAPTER_SIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        output_ = pipeFds[0];
        if (spawned != 0) {
            pid_ = -1;
            return false;
        }
        firstLine.clear();
        char byte = 0;
        while (firstLine.empty() || firstLine.back() != '\n') {
            pollfd wait{output_, POLLIN, 0};
            if (poll(&wait, 1, 5000) <= 0 || read(output_, &byte, 1) != 1) {
                return false;
            }
            firstLine += byte;
        }
        firstLine.pop_back();
        return true;
    }

    // SIGTERM, then the exit status (-1 when it does not end within 5 s or ends otherwise).
    int terminate() {
        kill(pid_, SIGTERM);
        const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        if (pidFd < 0) {
            return -1;
        }
        pollfd wait{pidFd, POLLIN, 0};
        const int ready = poll(&wait, 1, 5000);
        close(pidFd);
        int status = 0;
        if (ready <= 0 || waitpid(pid_, &status, 0) != pid_) {
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What --image-out should hold after a correct transfer of `file`.
std::string expectedImage(const sim::GeneratedUpdateFile& file, bool payload) {
    if (payload) {
        return std::string(file.image.begin(), file.image.end());
    }
    std::string text;
    for (const std::string& entry : sentTexts(file)) {
        text += entry + "\n";
    }
    return text;
}

struct ProcessCase {
    bool pty;
    int family;
    bool payload;  // --image-format payload, else lines
};

class SimProgram : public ::testing::TestWithParam<ProcessCase> {};

TEST_P(SimProgram, ScriptedUpdateByHandLeavesTheFilesPayloadAsImage) {
    const ProcessCase c = GetParam();
    const std::string imagePath = ::testing::TempDir() + "korvane_sim_image_" +
                                  std::to_string(getpid()) + (c.pty ? "_pty_" : "_tcp_") +
                                  std::to_string(c.family) + ".txt";
    std::remove(imagePath.c_str());
    const sim::GeneratedUpdateFile file =
        c.family == 2 ? family2File(41 * 64 - 10) : family1File(30 * 100 + 7, 100);
    ASSERT_TRUE(file.ok()) << file.error;

    std::vector<std::string> arguments = {c.pty ? "--pty" : "--tcp"};
    if (!c.pty) {
        arguments.push_back("127.0.0.1:0");
    }
    arguments.insert(arguments.end(),
                     {"--model", c.family == 2 ? "2" : "5", "--image-out", imagePath,
                      "--image-format", c.payload ? "payload" : "lines", "--wire-time"});
    SimProcess sim;
    std::string where;
    ASSERT_TRUE(sim.start(arguments, where));
    const std::string prefix = c.pty ? "pty /dev/pts/" : "tcp 127.0.0.1:";
    ASSERT_EQ(where.rfind(prefix, 0), 0u) << where;

    const std::string address = where.substr(4);
    auto link = c.pty ? LinkClient::openPty(address, 115200) : LinkClient::connectTcp(address);
    ASSERT_NE(link, nullptr) << address;
    const std::string failure = c.family == 2
                                    ? runLineUpdateByHand(*link, file, "Korvane BM v2.2.29")
                                    : runBlockUpdateByHand(*link, file, c.pty);
    EXPECT_EQ(failure, "");
    link.reset();

    EXPECT_EQ(sim.terminate(), 0);
    EXPECT_EQ(readWholeFile(imagePath), expectedImage(file, c.payload));
    std::remove(imagePath.c_str());
}

INSTANTIATE_TEST_SUITE_P(PtyAndTcp, SimProgram,
                         ::testing::Values(ProcessCase{true, 2, false}, ProcessCase{true, 1, true},
                                           ProcessCase{false, 2, true},
                                           ProcessCase{false, 1, false}),
                         [](const auto& info) {
                             return std::string(info.param.pty ? "Pty" : "Tcp") + "Family" +
                                    std::to_string(info.param.family) +
                                    (info.param.payload ? "Payload" : "Lines");
                         });

TEST(SimProgramExit, StatusTellsWhetherTheLastUpdateCompleted) {
    {
        SimProcess sim;
        std::string where;
        ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0"}, where));
        EXPECT_EQ(sim.terminate(), 3);
    }
    {
        SimProcess sim;
        std::string where;
        ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--model", "4"}, where));
        auto link = LinkClient::connectTcp(where.substr(4));
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->exchange("QXUPDT03\r"), "OK\r\r>");
        EXPECT_EQ(sim.terminate(), 1);
    }
}

TEST(SimProgramExit, BadArgumentsAreRefused) {
    SimProcess sim;
    std::string where;
    EXPECT_FALSE(sim.start({"--model", "7"}, where));
    EXPECT_EQ(sim.terminate(), 2);
}

}  // namespace
}  // namespace korvane::simtest
