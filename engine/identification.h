#pragma once

#include "channel/channel.h"
#include "engine/adapter_facts.h"
#include "engine/flow_context.h"
#include "engine/gate_result.h"
#include "engine/model_code.h"

namespace korvane {

// Identification and version gating of a family-2 adapter that runs its application firmware.
// Every query is one command and one prompt reply with 2000 ms for the write and per byte; the
// results of the sends and reads themselves are not looked at, since an adapter that says nothing
// leaves an answer that no prefix test accepts.

// Passed: the adapter is of model `code` and its product text contains the file's productText;
// ModelMismatch otherwise. `learned.deviceCode` becomes `code` once the identity matched.
GateResult identifyModel(FlowContext& flow, Channel& channel, ModelCode code,
                         AdapterFacts& learned);

// Passed: the adapter's ELM327 version is not newer than the highest this engine knows for the
// adapter's model `deviceCode`; ElmVersionTooNew otherwise.
GateResult checkElmVersion(FlowContext& flow, Channel& channel, int deviceCode);

// DirectUpdate or IntermediateUpdate: go on. Refused, with the refusal text reported where there
// is one.
GateResult gateVersion(FlowContext& flow, Channel& channel, ModelCode code, int fileVersion);

}  // namespace korvane
