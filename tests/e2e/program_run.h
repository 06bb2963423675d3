#pragma once

#include <sys/types.h>

#include <csignal>
#include <string>
#include <vector>

namespace korvane::test {

struct ProgramResult {
    int status = -1;      // exit status, or 128 + signal
    bool killed = false;  // a signal ended the process
    std::string out;
    std::string err;
};

// Where the program's standard output goes: a file the test reads afterwards, nowhere (the
// descriptor closed), or with standard error into a pipe the test reads while it runs.
// Pipe: both streams into a pipe the test reads; FullPipe: into a pipe already full that nobody
// reads (the reader stalled).
enum class Output { File, Closed, Pipe, FullPipe };

// korvane-fw run as a child process, its standard output and error collected in files (or a
// pipe, as `output` says).
class ProgramRun {
public:
    explicit ProgramRun(std::vector<std::string> args, const std::string& workDir = "",
                        Output output = Output::File);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool started() const { return pid_ > 0; }
    void interrupt(int signal = SIGINT);  // SIGINT, as Ctrl-C sends
    void kill();                          // SIGKILL: the program ends at once, as on a power cut
    // Output::Pipe: reads what the program writes until `text` came (true) or the output ended.
    bool readUntil(const std::string& text);
    // Output::Pipe: the reader goes away, as `grep -m1` does once it found its line.
    void closePipe();
    // Whether the program has put its own handler on `signal` within `timeoutMs` (Linux: the
    // SigCgt mask of /proc/PID/status). A signal sent before that meets the default action, which
    // a test of what the program does on Ctrl-C must not take for the program's answer.
    bool catchesWithin(int signal, int timeoutMs) const;
    ProgramResult wait();

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
    std::string outPath_;
    std::string errPath_;
};

ProgramResult runProgram(std::vector<std::string> args);

}  // namespace korvane::test
