#include "sim/adapter/adapter_state.h"

namespace korvane::sim {

const char* modeName(AdapterMode mode) {
    switch (mode) {
        case AdapterMode::Application:
            return "application";
        case AdapterMode::BootLoader:
            return "boot-loader";
        case AdapterMode::LineDownload:
            return "line-download";
        case AdapterMode::BlockDownload:
            return "block-download";
    }
    return "?";
}

const char* fastLinkName(FastLinkPhase phase) {
    switch (phase) {
        case FastLinkPhase::Off:
            return "off";
        case FastLinkPhase::Announcing:
            return "announcing";
        case FastLinkPhase::AwaitingConfirm:
            return "awaiting-confirm";
        case FastLinkPhase::Running:
            return "running";
    }
    return "?";
}

const char* updateStatusName(UpdateStatus status) {
    switch (status) {
        case UpdateStatus::None:
            return "none";
        case UpdateStatus::Running:
            return "running";
        case UpdateStatus::Completed:
            return "completed";
    }
    return "?";
}

}  // namespace korvane::sim
