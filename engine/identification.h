#pragma once

#include "channel/channel.h"
#include "engine/model_code.h"

namespace korvane {

class UpdateJob;

// Identification and version gating of a family-2 adapter that runs its application firmware.
// Every query is one command and one prompt reply with 2000 ms for the write and per byte; the
// results of the sends and reads themselves are not looked at, since an adapter that says nothing
// leaves an answer that no prefix test accepts.

// 0: the adapter is of model `code` and its product text contains the file's productText
// (deviceCode is set to `code` once the identity matched); -1 otherwise.
int identifyModel(UpdateJob& job, Channel& channel, ModelCode code);

// 0: the adapter's ELM327 version is not newer than the highest this engine knows; -5 otherwise.
int checkElmVersion(UpdateJob& job, Channel& channel);

// 2 (adapter at or above the model's threshold, file above it) or 3 (adapter below it, file at or
// below it): go on. -1: refused, with the refusal text reported where there is one.
int gateVersion(UpdateJob& job, Channel& channel, ModelCode code, int fileVersion);

}  // namespace korvane
