#include "tests/soak/budget_channel.h"

#include "channel/tick.h"

namespace korvane::soak {

void RunBudget::enter(const char* operation, int count, int timeoutMs) {
    std::lock_guard<std::mutex> hold(mutex_);
    operation_ = operation;
    count_ = count;
    timeoutMs_ = timeoutMs;
    inside_ = true;
    sinceMs_ = tickMs();
}

void RunBudget::leave() {
    std::lock_guard<std::mutex> hold(mutex_);
    inside_ = false;
}

std::string RunBudget::lastCall() const {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = std::string(inside_ ? "inside " : "after ") + operation_ + "(" +
                       std::to_string(count_) + " bytes, timeout " + std::to_string(timeoutMs_) +
                       " ms)";
    if (inside_) {
        text += " for " + std::to_string(tickMs() - sinceMs_) + " ms";
    }
    return text;
}

namespace {

// Books a call for as long as it runs.
class Booked {
  public:
    Booked(RunBudget& budget, const char* operation, int count, int allowanceMs) : budget_(budget) {
        budget_.add(allowanceMs);
        budget_.enter(operation, count, allowanceMs);
    }
    ~Booked() { budget_.leave(); }

  private:
    RunBudget& budget_;
};

}  // namespace

BudgetChannel::~BudgetChannel() {
    Booked booked(*budget_, "destroy", 0, kControlAllowanceMs);
    inner_.reset();
}

void BudgetChannel::close() {
    Booked booked(*budget_, "close", 0, kControlAllowanceMs);
    inner_->close();
}

bool BudgetChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    Booked booked(*budget_, "read", count, timeoutMs);
    return inner_->read(buffer, count, timeoutMs);
}

bool BudgetChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    Booked booked(*budget_, "write", count, timeoutMs);
    return inner_->write(bytes, count, timeoutMs);
}

void BudgetChannel::purge() {
    Booked booked(*budget_, "purge", 0, 0);
    inner_->purge();
}

int BudgetChannel::available() {
    Booked booked(*budget_, "available", 0, 0);
    return inner_->available();
}

bool BudgetChannel::isOpen() {
    return inner_->isOpen();
}

bool BudgetChannel::reopen() {
    Booked booked(*budget_, "reopen", 0, kControlAllowanceMs);
    return inner_->reopen();
}

Channel* BudgetChannel::acceptPeer(const ChannelConfig& config, int timeoutMs) {
    Booked booked(*budget_, "acceptPeer", 0, timeoutMs);
    return inner_->acceptPeer(config, timeoutMs);
}

int BudgetChannel::setBaudRate(int baud) {
    Booked booked(*budget_, "setBaudRate", baud, kControlAllowanceMs);
    return inner_->setBaudRate(baud);
}

ChannelFactory budgetedFactory(ChannelFactory real, std::shared_ptr<RunBudget> budget,
                               int constructionAllowanceMs) {
    auto wrap = [budget, constructionAllowanceMs](ChannelConstructor construct) {
        return ChannelConstructor(
            [budget, construct, constructionAllowanceMs](const ChannelConfig& config,
                                                         bool& isOpen) -> std::unique_ptr<Channel> {
                isOpen = false;
                if (!construct) {
                    return nullptr;
                }
                std::unique_ptr<Channel> channel;
                {
                    Booked booked(*budget, "construct", 0, constructionAllowanceMs);
                    channel = construct(config, isOpen);
                }
                if (channel == nullptr) {
                    return nullptr;
                }
                return std::make_unique<BudgetChannel>(std::move(channel), budget);
            });
    };
    return ChannelFactory{wrap(real.com), wrap(real.tcp)};
}

}  // namespace korvane::soak
