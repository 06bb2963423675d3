#include "tests/support/scripted_channel.h"

#include <algorithm>
#include <utility>

#include "platform/tick.h"

namespace korvane::test {

ScriptedChannel::~ScriptedChannel() {
    std::function<void()> onDestroy;
    {
        std::lock_guard<std::mutex> hold(mutex_);
        onDestroy = std::move(onDestroy_);
    }
    if (onDestroy) {
        onDestroy();
    }
}

void ScriptedChannel::queueInput(std::string_view bytes) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        input_.insert(input_.end(), bytes.begin(), bytes.end());
    }
    arrived_.notify_all();
}

void ScriptedChannel::reply(std::string command, std::string answer, int times) {
    addRule(
        [command = std::move(command),
         answer = std::move(answer)](std::string_view written) -> std::optional<std::string> {
            if (written == command) {
                return answer;
            }
            return std::nullopt;
        },
        times);
}

void ScriptedChannel::replyToPrefix(std::string prefix, std::string answer, int times) {
    addRule(
        [prefix = std::move(prefix),
         answer = std::move(answer)](std::string_view written) -> std::optional<std::string> {
            if (written.substr(0, prefix.size()) == prefix) {
                return answer;
            }
            return std::nullopt;
        },
        times);
}

void ScriptedChannel::respond(Responder responder, int times) {
    addRule(std::move(responder), times);
}

void ScriptedChannel::addRule(Responder responder, int times) {
    std::lock_guard<std::mutex> hold(mutex_);
    rules_.push_back(Rule{std::move(responder), times});
}

void ScriptedChannel::setEcho(bool on) {
    std::lock_guard<std::mutex> hold(mutex_);
    echo_ = on;
}

void ScriptedChannel::streamForever(std::string pattern, int byteIntervalMs) {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        stream_ = std::move(pattern);
        streamPosition_ = 0;
        streamIntervalMs_ = std::max(0, byteIntervalMs);
    }
    arrived_.notify_all();
}

void ScriptedChannel::failWrites(int count) {
    std::lock_guard<std::mutex> hold(mutex_);
    writesToFail_ = count;
}

void ScriptedChannel::setBaudRateResult(int result) {
    std::lock_guard<std::mutex> hold(mutex_);
    baudRateResult_ = result;
}

void ScriptedChannel::setLinkLoss(LinkLoss loss) {
    std::lock_guard<std::mutex> hold(mutex_);
    loss_ = loss;
}

LinkLoss ScriptedChannel::linkLoss() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return loss_;
}

void ScriptedChannel::setRealTime(bool on) {
    std::lock_guard<std::mutex> hold(mutex_);
    realTime_ = on;
}

void ScriptedChannel::setOnDestroy(std::function<void()> onDestroy) {
    std::lock_guard<std::mutex> hold(mutex_);
    onDestroy_ = std::move(onDestroy);
}

std::vector<std::string> ScriptedChannel::writes() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return writes_;
}

std::string ScriptedChannel::written() const {
    std::lock_guard<std::mutex> hold(mutex_);
    std::string all;
    for (const std::string& one : writes_) {
        all += one;
    }
    return all;
}

int ScriptedChannel::failedWrites() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return failedWrites_;
}

int ScriptedChannel::purgeCount() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return purges_;
}

std::vector<int> ScriptedChannel::readTimeouts() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return readTimeouts_;
}

std::vector<int> ScriptedChannel::baudRates() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return baudRates_;
}

std::size_t ScriptedChannel::pendingInput() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return input_.size();
}

void ScriptedChannel::close() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        open_ = false;
    }
    arrived_.notify_all();
}

ReadResult ScriptedChannel::read(std::uint8_t* buffer, int count, int timeoutMs) {
    if (count == 0) {
        return ReadResult::Read;
    }
    if (count < 0 || buffer == nullptr) {
        return ReadResult::LinkLost;
    }
    const std::size_t want = static_cast<std::size_t>(count);
    std::unique_lock<std::mutex> hold(mutex_);
    readTimeouts_.push_back(timeoutMs);
    if (!open_) {
        return ReadResult::LinkLost;
    }
    if (input_.size() < want && stream_.empty() && realTime_) {
        const Deadline deadline(timeoutMs);
        arrived_.wait_until(hold, deadline.timePoint(),
                            [&] { return input_.size() >= want || !stream_.empty() || !open_; });
        if (!open_) {
            return ReadResult::LinkLost;
        }
    }
    if (input_.size() >= want) {
        std::copy_n(input_.begin(), want, buffer);
        input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(want));
        return ReadResult::Read;
    }
    if (stream_.empty()) {
        return realTime_ ? ReadResult::TimedOut : ReadResult::LinkLost;
    }
    return readStreamLocked(hold, buffer, input_.size(), want, timeoutMs);
}

// Serves what the queue holds and the rest from the stream. A paced stream delivers one byte per
// interval: when the read's timeout is shorter than the bytes need, the read waits out its
// timeout and fails without taking anything.
ReadResult ScriptedChannel::readStreamLocked(std::unique_lock<std::mutex>& hold,
                                             std::uint8_t* buffer, std::size_t fromQueue,
                                             std::size_t count, int timeoutMs) {
    if (streamIntervalMs_ > 0) {
        const long long needMs =
            static_cast<long long>(count - fromQueue) * static_cast<long long>(streamIntervalMs_);
        const bool inTime = needMs <= timeoutMs;
        const Deadline wait(inTime ? static_cast<int>(needMs) : timeoutMs);
        arrived_.wait_until(hold, wait.timePoint(), [&] { return !open_; });
        if (!open_ || stream_.empty()) {
            return ReadResult::LinkLost;
        }
        if (!inTime) {
            return ReadResult::TimedOut;  // waited its whole timeout
        }
    }
    // The queue may have changed while waiting; take what it holds now, then the stream.
    const std::size_t queued = std::min(input_.size(), count);
    std::copy_n(input_.begin(), queued, buffer);
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(queued));
    for (std::size_t i = queued; i < count; ++i) {
        buffer[i] = static_cast<std::uint8_t>(stream_[streamPosition_]);
        streamPosition_ = (streamPosition_ + 1) % stream_.size();
    }
    return ReadResult::Read;
}

bool ScriptedChannel::write(const std::uint8_t* bytes, int count, int /*timeoutMs*/) {
    if (count == 0) {
        return true;
    }
    if (count < 0 || bytes == nullptr) {
        return false;
    }
    {
        std::lock_guard<std::mutex> hold(mutex_);
        if (!open_) {
            ++failedWrites_;
            return false;
        }
        if (writesToFail_ != 0) {
            if (writesToFail_ > 0) {
                --writesToFail_;
            }
            ++failedWrites_;
            return false;
        }
        std::string text(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
        if (echo_) {
            input_.insert(input_.end(), text.begin(), text.end());
        }
        answerLocked(text);
        writes_.push_back(std::move(text));
    }
    arrived_.notify_all();
    return true;
}

void ScriptedChannel::answerLocked(std::string_view written) {
    for (Rule& rule : rules_) {
        if (rule.times == 0) {
            continue;
        }
        std::optional<std::string> answer = rule.responder(written);
        if (!answer) {
            continue;
        }
        input_.insert(input_.end(), answer->begin(), answer->end());
        if (rule.times > 0) {
            --rule.times;
        }
        return;
    }
}

void ScriptedChannel::purge() {
    std::lock_guard<std::mutex> hold(mutex_);
    input_.clear();
    ++purges_;
}

int ScriptedChannel::available() {
    std::lock_guard<std::mutex> hold(mutex_);
    return static_cast<int>(input_.size());
}

bool ScriptedChannel::isOpen() {
    std::lock_guard<std::mutex> hold(mutex_);
    return open_;
}

bool ScriptedChannel::reopen() {
    std::lock_guard<std::mutex> hold(mutex_);
    open_ = true;
    return true;
}

Channel* ScriptedChannel::acceptPeer(const ChannelConfig& /*config*/, int /*timeoutMs*/) {
    return nullptr;
}

int ScriptedChannel::setBaudRate(int baud) {
    std::lock_guard<std::mutex> hold(mutex_);
    baudRates_.push_back(baud);
    return baudRateResult_;
}

struct ScriptedChannelFactory::State {
    mutable std::mutex mutex;
    std::deque<bool> openResults;
    std::function<bool(const PortRequest&)> openRule;
    bool returnNull = false;
    std::function<void(ScriptedChannel&)> setup;
    int constructions = 0;
    int live = 0;
    std::vector<std::string> kinds;
    std::vector<PortRequest> requests;
    ScriptedChannel* last = nullptr;
};

ScriptedChannelFactory::ScriptedChannelFactory() : state_(std::make_shared<State>()) {}

void ScriptedChannelFactory::queueOpenResults(std::vector<bool> results) {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->openResults.insert(state_->openResults.end(), results.begin(), results.end());
}

void ScriptedChannelFactory::setOpenRule(std::function<bool(const PortRequest&)> rule) {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->openRule = std::move(rule);
}

void ScriptedChannelFactory::setReturnNull(bool on) {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->returnNull = on;
}

void ScriptedChannelFactory::setSetup(std::function<void(ScriptedChannel&)> setup) {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->setup = std::move(setup);
}

ChannelFactory ScriptedChannelFactory::factory() const {
    std::shared_ptr<State> state = state_;
    return ChannelFactory{
        [state](const SerialPortRequest& request, bool& isOpen) {
            return build(state, "com", request, isOpen);
        },
        [state](const TcpPortRequest& request, bool& isOpen) {
            return build(state, "tcp", request, isOpen);
        },
    };
}

int ScriptedChannelFactory::constructions() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->constructions;
}

int ScriptedChannelFactory::liveChannels() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->live;
}

std::vector<std::string> ScriptedChannelFactory::kinds() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->kinds;
}

std::vector<PortRequest> ScriptedChannelFactory::requests() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->requests;
}

ScriptedChannel* ScriptedChannelFactory::lastChannel() const {
    std::lock_guard<std::mutex> hold(state_->mutex);
    return state_->last;
}

std::unique_ptr<Channel> ScriptedChannelFactory::build(const std::shared_ptr<State>& state,
                                                       const char* kind, const PortRequest& request,
                                                       bool& isOpen) {
    std::function<void(ScriptedChannel&)> setup;
    bool opens = true;
    bool returnNull = false;
    {
        std::lock_guard<std::mutex> hold(state->mutex);
        ++state->constructions;
        state->kinds.emplace_back(kind);
        state->requests.push_back(request);
        if (!state->openResults.empty()) {
            opens = state->openResults.front();
            state->openResults.pop_front();
        } else if (state->openRule) {
            opens = state->openRule(request);
        }
        returnNull = state->returnNull;
        setup = state->setup;
    }
    isOpen = opens;
    if (returnNull) {
        return nullptr;
    }

    auto channel = std::make_unique<ScriptedChannel>();
    ScriptedChannel* raw = channel.get();
    channel->setOnDestroy([state, raw] {
        std::lock_guard<std::mutex> hold(state->mutex);
        --state->live;
        if (state->last == raw) {
            state->last = nullptr;
        }
    });
    if (!opens) {
        channel->close();
    }
    if (setup) {
        setup(*channel);
    }
    {
        std::lock_guard<std::mutex> hold(state->mutex);
        ++state->live;
        state->last = raw;
    }
    return channel;
}

}  // namespace korvane::test
