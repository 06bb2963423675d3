#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace korvane::test {

struct ProgramResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// korvane-fw run as a child process, its standard output and error collected in files.
class ProgramRun {
public:
    explicit ProgramRun(std::vector<std::string> args);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool started() const { return pid_ > 0; }
    void interrupt();  // SIGINT, as Ctrl-C sends
    void kill();       // SIGKILL: the program ends at once, as on a power cut
    ProgramResult wait();

private:
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};

ProgramResult runProgram(std::vector<std::string> args);

}  // namespace korvane::test
