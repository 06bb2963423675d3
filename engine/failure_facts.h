#pragma once

#include <string>

#include "engine/line_result.h"

namespace korvane {

// What a download flow learned when it failed or refused, for the run's reason line: which step,
// the command concerned and what the adapter answered. The flow notes it where the failure
// happens; the job words it once the failure's fixed texts are out (engine/failure_reason.h).
enum class FailureStep {
    None,
    UnknownFileModel,      // the file names a model this program does not know
    BootLoaderRefused,     // no ELM327 identity; the boot loader's "QXUPDT03" was not taken
    IdentityMismatch,      // the "QXI" identity is not one of the file's model
    ProductMismatch,       // the "QXPROI" product text lacks the file's product text
    NoProductText,         // the file's product text is empty
    ElmVersionTooNew,      // the adapter's ELM327 version is newer than this program knows
    GateNoVersion,         // the version query's answer holds no version of the file's model
    GateTooOld,            // the adapter's firmware is too old to be updated here
    GateUpgradeFirst,      // the adapter needs the intermediate firmware first
    GateFirmwareNewer,     // the adapter's firmware is not older than the file's
    GateNoUpgrade,         // the model has no update path from this firmware
    StartNotTaken,         // the start request "QXUPDT03" got no answer
    LinesNotTaken,         // a pair of lines was not taken (number: lines sent before it)
    FinishNotTaken,        // "QXFL" and the closing record were not taken
    AdapterModelMismatch,  // family 1: "QXVERS" names another model than the file's
    DownloadModeRefused,   // family 1: every download-mode command was answered without "OK"
    LearnedModelMismatch,  // family 1: the model learned in download mode is not the file's
    RecordRefused,         // family 1: a record was answered "ERR02" (number: the record)
    RecordNotTaken,        // family 1: a record was not taken after three tries
    EndNotTaken,           // family 1: "QXDLED" was not taken
    StrayAnswer,           // an answer nobody waited for: the adapter may hold a unit twice
};

struct FailureFacts {
    FailureStep step = FailureStep::None;
    std::string command;       // the command concerned, without its CR
    std::string answer;        // what the adapter answered to it (echo dropped), as received
    int number = 0;            // a line or record number, when the step has one
    std::string adapterModel;  // the adapter's model as its answers named it, when known
    std::string fileModel;     // the file's model (or product text) the answers were held to
    LineResult lineResult = LineResult::Accepted;  // LinesNotTaken: how the pair failed
};

}  // namespace korvane
