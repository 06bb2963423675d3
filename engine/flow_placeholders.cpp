// Hand-over points of the update job whose flows are not built yet. Each reports nothing and
// fails, so an update never claims success before its download exists.
#include "engine/flows.h"
#include "engine/update_job.h"

namespace korvane {

int runLineDownload(UpdateJob&, Channel&) { return -1; }
int runBlockDownload(UpdateJob&, Channel&) { return -1; }
int reportDeviceVersion(UpdateJob&, Channel&, ModelCode) { return -1; }
int reportAdapterVersion(UpdateJob&, Channel&, ModelCode) { return -1; }

}  // namespace korvane
