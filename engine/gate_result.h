#pragma once

namespace korvane {

// How a check of a family-2 adapter in its application firmware ended, before the line download
// (engine/identification.h).
enum class GateResult {
    // identifyModel: the identity and product text match; checkElmVersion: the ELM327 version is
    // not newer than the highest this engine knows.
    Passed,
    ModelMismatch,     // identifyModel: another model, or the product text does not match
    ElmVersionTooNew,  // checkElmVersion
    // gateVersion, go on: the adapter is at or above its model's threshold and the file above it,
    DirectUpdate,
    // or the adapter is below the threshold and the file is the intermediate firmware (at or
    // below it).
    IntermediateUpdate,
    Refused,  // gateVersion: refused, with the refusal text reported where there is one
};

}  // namespace korvane
