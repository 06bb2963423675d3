#pragma once

#include "engine/adapter_facts.h"

namespace korvane {

// How a download flow ended; either way its texts have been reported (engine/flows.h).
enum class FlowResult {
    Completed,  // the download was closed properly
    Failed,
};

// A flow's end and what it learned about the adapter on the way.
struct FlowOutcome {
    FlowResult result = FlowResult::Failed;
    AdapterFacts adapter;
};

}  // namespace korvane
