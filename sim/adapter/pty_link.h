#pragma once

#include <string>

namespace korvane::sim {

// A pseudo-terminal whose slave side the host opens as its serial port. The adapter keeps its own
// slave descriptor open for the pty's whole life, so the pty survives the host closing and
// reopening its port, and the line settings the host made stay readable.
class PtyLink {
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Creates the pty, raw 8N1 at `rate`; the master side is non-blocking. False with `error` set
    // on failure.
    bool open(int rate, std::string& error);
    void close();
    bool isOpen() const { return master_ >= 0; }

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    // The rate the host's end runs at, as the tty's settings say; -1 on failure.
    int hostRate() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace korvane::sim
