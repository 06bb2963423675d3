#include "platform/stop_signal.h"
#include "platform/windows_api.h"

namespace korvane {

// A manual-reset event: signalled from set() until clear().
struct StopSignal::Parts {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~Parts() {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
};

StopSignal::StopSignal() : parts_(std::make_unique<Parts>()) {}

StopSignal::~StopSignal() = default;

void StopSignal::set() {
    if (parts_->event != nullptr) {
        SetEvent(parts_->event);
    }
}

void StopSignal::clear() {
    if (parts_->event != nullptr) {
        ResetEvent(parts_->event);
    }
}

std::intptr_t StopSignal::waitable() const {
    return parts_->event != nullptr ? reinterpret_cast<std::intptr_t>(parts_->event) : -1;
}

}  // namespace korvane
