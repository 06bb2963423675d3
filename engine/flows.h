#pragma once

#include "channel/channel.h"
#include "engine/flow_context.h"
#include "engine/flow_result.h"
#include "engine/model_code.h"
#include "engine/version_report_result.h"

namespace korvane {

// Family 2: the line download. Its texts are reported either way.
FlowOutcome runLineDownload(FlowContext& flow, Channel& channel);
// Family 1: the block download. Its texts are reported either way.
FlowOutcome runBlockDownload(FlowContext& flow, Channel& channel);
// Report the adapter's firmware version and its adapter (ELM327) version texts. UnknownModel for
// a code outside 0..6.
VersionReportResult reportDeviceVersion(FlowContext& flow, Channel& channel, ModelCode code);
VersionReportResult reportAdapterVersion(FlowContext& flow, Channel& channel, ModelCode code);

}  // namespace korvane
