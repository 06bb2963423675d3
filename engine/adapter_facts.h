#pragma once

#include <optional>

#include "engine/model_code.h"

namespace korvane {

// What a download flow learned on its way: the file's model as the flow resolved it, and the
// adapter's model and mode as its answers gave them. The flow returns them; the job keeps what it
// records.
struct AdapterFacts {
    ModelCode modelCode = kModelUnknown;  // the file's model
    int deviceCode = kModelUnknown;       // the adapter's model, as its answers confirmed
    std::optional<bool> appMode;          // it runs its application firmware; unknown until told

    // Whether the adapter was found running its application firmware (not its boot loader).
    bool application() const { return appMode.value_or(false); }
};

}  // namespace korvane
