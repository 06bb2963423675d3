#include "tests/parallel/program_run.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
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

}  // namespace

ProgramRun::ProgramRun(std::vector<std::string> args) {
    static std::atomic<int> counter{0};
    const std::string base = ::testing::TempDir() + "korvane_parallel_" +
                             std::to_string(::getpid()) + "_" + std::to_string(counter++);
    outPath_ = base + ".out";
    errPath_ = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
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
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        wait();
    }
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

void ProgramRun::interrupt() {
    if (pid_ > 0) {
        ::kill(pid_, SIGINT);
    }
}

void ProgramRun::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
    }
}

ProgramResult ProgramRun::wait() {
    ProgramResult result;
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, 0) == pid_) {
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
