#pragma once

#include "channel/channel.h"
#include "engine/gate_result.h"
#include "engine/model_code.h"

namespace korvane {

class UpdateJob;

// Identification and version gating of a family-2 adapter that runs its application firmware.
// Every query is one command and one prompt reply with 2000 ms for the write and per byte; the
// results of the sends and reads themselves are not looked at, since an adapter that says nothing
// leaves an answer that no prefix test accepts.

// Passed: the adapter is of model `code` and its product text contains the file's productText
// (deviceCode is set to `code` once the identity matched); ModelMismatch otherwise.
GateResult identifyModel(UpdateJob& job, Channel& channel, ModelCode code);

// Passed: the adapter's ELM327 version is not newer than the highest this engine knows;
// ElmVersionTooNew otherwise.
GateResult checkElmVersion(UpdateJob& job, Channel& channel);

// DirectUpdate or IntermediateUpdate: go on. Refused, with the refusal text reported where there
// is one.
GateResult gateVersion(UpdateJob& job, Channel& channel, ModelCode code, int fileVersion);

}  // namespace korvane
