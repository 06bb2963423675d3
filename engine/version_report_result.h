#pragma once

namespace korvane {

// How reporting one of the adapter's version texts ended (engine/flows.h).
enum class VersionReportResult {
    Reported,
    UnknownModel,     // the model code names no model: nothing asked
    NoVersionLetter,  // the answer (or its absence) holds no version letter: nothing reported
};

}  // namespace korvane
