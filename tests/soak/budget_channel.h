#pragma once

// The watchdog's measure of "the updater's own deadlines". Every channel call that may wait
// carries a budget: a read or write its timeout, a construction the connect time of one attempt,
// a baud-rate change or a close a fixed allowance. The run hangs when
//   - the call in progress has run longer than its budget plus the margin (a call that does not
//     keep its timeout), or
//   - the time spent outside channel calls exceeds the flows' own fixed waits plus the margin and
//     a tenth of the run (a loop that waits without any timed call).
// So the run as a whole never outlives the sum of its deadlines by more than the margin.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "channel/channel.h"
#include "channel/channel_factory.h"

namespace korvane::soak {

class RunBudget {
public:
    RunBudget();

    // A call starts, allowed `budgetMs`; it ends with leave().
    void enter(const char* operation, int count, int budgetMs);
    void leave();

    // Whether the run has broken its deadlines by now (see above); `why` tells how.
    bool overrun(int fixedWaitsMs, int marginMs, std::string& why) const;
    // The sum of every budget booked so far.
    std::int64_t allowedMs() const;
    // The call in progress (or the last one), for a hang report.
    std::string lastCall() const;

    // With tracing on, what the updater wrote and read, as "+t W text" / "+t R text" lines
    // (consecutive reads joined, control bytes shown as \r, \n, \0 or \xNN), at most
    // kMostTrace characters.
    void setTracing(bool on);
    void traceBytes(char direction, const std::uint8_t* bytes, int count);
    std::string trace() const;

private:
    static constexpr std::size_t kMostTrace = 1 << 16;

    mutable std::mutex mutex_;
    std::int64_t startMs_ = 0;
    std::int64_t allowedMs_ = 0;
    std::int64_t insideMs_ = 0;  // time spent in finished calls
    std::string operation_ = "none";
    int count_ = 0;
    int budgetMs_ = 0;
    bool inside_ = false;
    std::int64_t sinceMs_ = 0;
    bool tracing_ = false;
    char lastDirection_ = 0;
    std::string trace_;
};

// Forwards every operation to the real channel and books its budget.
class BudgetChannel : public Channel {
public:
    // Allowance for one setBaudRate or close (a serial port drains, a pump thread is joined).
    static constexpr int kControlAllowanceMs = 1000;

    BudgetChannel(std::unique_ptr<Channel> inner, std::shared_ptr<RunBudget> budget)
        : inner_(std::move(inner)), budget_(std::move(budget)) {}
    ~BudgetChannel() override;

    void close() override;
    ReadResult read(std::uint8_t* buffer, int count, int timeoutMs) override;
    bool write(const std::uint8_t* bytes, int count, int timeoutMs) override;
    void purge() override;
    int available() override;
    bool isOpen() override;
    bool reopen() override;
    Channel* acceptPeer(const ChannelConfig& config, int timeoutMs) override;
    int setBaudRate(int baud) override;

private:
    std::unique_ptr<Channel> inner_;
    std::shared_ptr<RunBudget> budget_;
};

// The real channel kinds, each construction booked (the connect time of one attempt plus the
// control allowance) and each channel wrapped in a BudgetChannel.
ChannelFactory budgetedFactory(ChannelFactory real, std::shared_ptr<RunBudget> budget,
                               int constructionAllowanceMs);

}  // namespace korvane::soak
