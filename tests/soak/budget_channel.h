#pragma once

// The watchdog's measure of "the sum of the updater's own deadlines". Every channel call that
// may wait adds its own budget when it starts: a read or write its timeout, a construction the
// connect time of one attempt, a baud-rate change a fixed allowance. A run hangs when its time
// exceeds everything it was allowed so far plus the fixed waits of the flows and a margin: a call
// that blocks past its timeout, or a loop that waits without any timed call, shows at once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "channel/channel.h"
#include "channel/channel_factory.h"

namespace korvane::soak {

class RunBudget {
  public:
    void add(std::int64_t ms) { allowedMs_.fetch_add(ms > 0 ? ms : 0); }
    std::int64_t allowedMs() const { return allowedMs_.load(); }

    // The call in progress (or the last one), for a hang report.
    void enter(const char* operation, int count, int timeoutMs);
    void leave();
    std::string lastCall() const;

  private:
    std::atomic<std::int64_t> allowedMs_{0};
    mutable std::mutex mutex_;
    std::string operation_ = "none";
    int count_ = 0;
    int timeoutMs_ = 0;
    bool inside_ = false;
    std::int64_t sinceMs_ = 0;
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
    bool read(std::uint8_t* buffer, int count, int timeoutMs) override;
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
