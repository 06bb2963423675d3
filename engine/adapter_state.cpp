#include "engine/adapter_state.h"

namespace korvane {

const char* adapterStateName(AdapterState state) {
    switch (state) {
        case AdapterState::DownloadMode:
            return "download mode";
        case AdapterState::Finished:
            return "finished";
        case AdapterState::Untouched:
            break;
    }
    return "untouched";
}

}  // namespace korvane
