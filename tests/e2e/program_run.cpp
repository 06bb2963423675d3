#include "tests/e2e/program_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

namespace korvane::test {

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Fills the pipe whose write end is `fd` up to the last byte it holds.
void fillPipe(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const std::string chunk(4096, 'x');
    while (::write(fd, chunk.data(), chunk.size()) > 0) {
    }
    ::fcntl(fd, F_SETFL, flags);  // the program gets it as a reader's stalled pipe is: blocking
}

}  // namespace

ProgramRun::ProgramRun(std::vector<std::string> args, const std::string& workDir, Output output) {
    static std::atomic<int> counter{0};
    const std::string base = ::testing::TempDir() + "korvane_fw_" + std::to_string(::getpid()) +
                             "_" + std::to_string(counter++);
    outPath_ = base + ".out";
    errPath_ = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeEnds[2] = {-1, -1};
    if ((output == Output::Pipe || output == Output::FullPipe) &&
        ::pipe2(pipeEnds, O_CLOEXEC) == 0) {
        pipe_ = pipeEnds[0];
        if (output == Output::FullPipe) {
            fillPipe(pipeEnds[1]);
        }
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    } else {
        if (output == Output::Closed) {
            posix_spawn_file_actions_addclose(&actions, 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (!workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    }
    args.insert(args.begin(), KORVANE_FW_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, KORVANE_FW_PATH, &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pipeEnds[1] >= 0) {
        ::close(pipeEnds[1]);
    }
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    closePipe();
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

void ProgramRun::interrupt(int signal) {
    if (pid_ > 0) {
        ::kill(pid_, signal);
    }
}

void ProgramRun::kill() {
    interrupt(SIGKILL);
}

bool ProgramRun::readUntil(const std::string& text) {
    std::string seen;
    char chunk[512];
    while (seen.find(text) == std::string::npos) {
        const ssize_t count = ::read(pipe_, chunk, sizeof chunk);
        if (count <= 0) {
            return false;
        }
        seen.append(chunk, static_cast<std::size_t>(count));
    }
    return true;
}

void ProgramRun::closePipe() {
    if (pipe_ >= 0) {
        ::close(pipe_);
        pipe_ = -1;
    }
}

bool ProgramRun::catchesWithin(int signal, int timeoutMs) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const std::string status = "/proc/" + std::to_string(pid_) + "/status";
    do {
        std::ifstream in(status);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("SigCgt:", 0) == 0 &&
                ((std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1U) != 0) {
                return true;
            }
        }
        ::usleep(5 * 1000);
    } while (std::chrono::steady_clock::now() < end);
    return false;
}

ProgramResult ProgramRun::wait() {
    ProgramResult result;
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.killed = WIFSIGNALED(status);
    }
    pid_ = -1;
    result.out = readWhole(outPath_);
    result.err = readWhole(errPath_);
    return result;
}

ProgramResult runProgram(std::vector<std::string> args) {
    return ProgramRun(std::move(args)).wait();
}

}  // namespace korvane::test
