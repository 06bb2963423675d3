#pragma once

#include "channel/channel.h"
#include "engine/model_code.h"

namespace korvane {

class UpdateJob;

// Family 2: the line download. 0 or more when the download completed; negative on failure (texts
// already reported).
int runLineDownload(UpdateJob& job, Channel& channel);
// Family 1: the block download. 1 on success, -1 on failure (texts already reported).
int runBlockDownload(UpdateJob& job, Channel& channel);
// Report the adapter's firmware version and its adapter (ELM327) version texts.
// 1 reported; -1 code outside 0..6; -2 the answer has no version letter.
int reportDeviceVersion(UpdateJob& job, Channel& channel, ModelCode code);
int reportAdapterVersion(UpdateJob& job, Channel& channel, ModelCode code);

}  // namespace korvane
