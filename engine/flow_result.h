#pragma once

namespace korvane {

// How a download flow ended; either way its texts have been reported (engine/flows.h).
enum class FlowResult {
    Completed,  // the download was closed properly
    Failed,
};

}  // namespace korvane
