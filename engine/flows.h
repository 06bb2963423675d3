#pragma once

#include "channel/channel.h"
#include "engine/flow_result.h"
#include "engine/model_code.h"
#include "engine/version_report_result.h"

namespace korvane {

class UpdateJob;

// Family 2: the line download. Its texts are reported either way.
FlowResult runLineDownload(UpdateJob& job, Channel& channel);
// Family 1: the block download. Its texts are reported either way.
FlowResult runBlockDownload(UpdateJob& job, Channel& channel);
// Report the adapter's firmware version and its adapter (ELM327) version texts. UnknownModel for
// a code outside 0..6.
VersionReportResult reportDeviceVersion(UpdateJob& job, Channel& channel, ModelCode code);
VersionReportResult reportAdapterVersion(UpdateJob& job, Channel& channel, ModelCode code);

}  // namespace korvane
