#pragma once

#include <functional>
#include <string>

namespace korvane {

// A traffic log that could not be opened or written. The update goes on without it.
struct TrafficLogProblem {
    std::string path;
    int systemCode = 0;    // the system's error number
    bool writing = false;  // a write failed (else the open did)
};

using TrafficLogProblemHandler = std::function<void(const TrafficLogProblem& problem)>;

// The front end's handler for traffic log problems, told of the first one only: one notice per
// installation, however many channels or lines fail after it. Installing (or removing, with an
// empty handler) starts counting anew. Called on whichever thread hit the problem.
void setTrafficLogProblemHandler(TrafficLogProblemHandler handler);

// Tells the installed handler of `problem` unless it has already been told of one.
void noticeTrafficLogProblem(const TrafficLogProblem& problem);

}  // namespace korvane
