#include "tests/soak/budget_channel.h"

#include <cstdio>

#include "platform/tick.h"

namespace korvane::soak {

RunBudget::RunBudget() : startMs_(tickMs()) {}

void RunBudget::enter(const char* operation, int count, int budgetMs) {
    std::lock_guard<std::mutex> hold(mutex_);
    allowedMs_ += budgetMs > 0 ? budgetMs : 0;
    operation_ = operation;
    count_ = count;
    budgetMs_ = budgetMs > 0 ? budgetMs : 0;
    inside_ = true;
    sinceMs_ = tickMs();
}

void RunBudget::leave() {
    std::lock_guard<std::mutex> hold(mutex_);
    insideMs_ += tickMs() - sinceMs_;
    inside_ = false;
}

bool RunBudget::overrun(int fixedWaitsMs, int marginMs, std::string& why) const {
    std::lock_guard<std::mutex> hold(mutex_);
    const std::int64_t now = tickMs();
    const std::int64_t elapsed = now - startMs_;
    const std::int64_t current = inside_ ? now - sinceMs_ : 0;
    if (inside_ && current > budgetMs_ + marginMs) {
        why = "a channel call ran past its own timeout";
        return true;
    }
    const std::int64_t outside = elapsed - insideMs_ - current;
    if (outside > fixedWaitsMs + marginMs + elapsed / 10) {
        why = "the updater waited " + std::to_string(outside) + " ms outside any channel call";
        return true;
    }
    return false;
}

std::int64_t RunBudget::allowedMs() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return allowedMs_;
}

std::string RunBudget::lastCall() const {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string text = std::string(inside_ ? "inside " : "after ") + operation_ + "(" +
                       std::to_string(count_) + ", budget " + std::to_string(budgetMs_) + " ms)";
    if (inside_) {
        text += " for " + std::to_string(tickMs() - sinceMs_) + " ms";
    }
    return text;
}

void RunBudget::setTracing(bool on) {
    std::lock_guard<std::mutex> hold(mutex_);
    tracing_ = on;
}

void RunBudget::traceBytes(char direction, const std::uint8_t* bytes, int count) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!tracing_ || count <= 0 || trace_.size() >= kMostTrace) {
        return;
    }
    if (direction != lastDirection_ || direction == 'W') {
        trace_ += "\n+" + std::to_string(tickMs() - startMs_) + " ms " + direction + " ";
        lastDirection_ = direction;
    }
    for (int i = 0; i < count; ++i) {
        const unsigned char c = bytes[i];
        if (c == '\r') {
            trace_ += "\\r";
        } else if (c == '\n') {
            trace_ += "\\n";
        } else if (c == 0) {
            trace_ += "\\0";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            trace_ += hex;
        } else {
            trace_ += static_cast<char>(c);
        }
    }
}

std::string RunBudget::trace() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return trace_;
}

namespace {

// Books a call for as long as it runs.
class Booked {
public:
    Booked(RunBudget& budget, const char* operation, int count, int budgetMs) : budget_(budget) {
        budget_.enter(operation, count, budgetMs);
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

ReadResult BudgetChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    Booked booked(*budget_, "read", count, timeoutMs);
    const ReadResult result = inner_->read(buffer, count, timeoutMs);
    if (result == ReadResult::Read) {
        budget_->traceBytes('R', buffer, count);
    } else if (count > 0) {
        const std::uint8_t none[] = "(no byte)";
        budget_->traceBytes('T', none, 9);
    }
    return result;
}

bool BudgetChannel::write(const std::uint8_t* bytes, int count, int timeoutMs) {
    Booked booked(*budget_, "write", count, timeoutMs);
    budget_->traceBytes('W', bytes, count);
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
    auto wrap = [budget,
                 constructionAllowanceMs]<typename Request>(ChannelConstructor<Request> construct) {
        return ChannelConstructor<Request>(
            [budget, construct, constructionAllowanceMs](const Request& request,
                                                         bool& isOpen) -> std::unique_ptr<Channel> {
                isOpen = false;
                if (!construct) {
                    return nullptr;
                }
                std::unique_ptr<Channel> channel;
                {
                    Booked booked(*budget, "construct", 0, constructionAllowanceMs);
                    channel = construct(request, isOpen);
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
