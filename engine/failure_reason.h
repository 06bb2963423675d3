#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "channel/channel_factory.h"
#include "channel/traffic_log/traffic_log_notice.h"
#include "engine/adapter_state.h"
#include "engine/failure_facts.h"
#include "engine/file_check.h"
#include "platform/regular_file.h"

namespace korvane {

// Reason lines: what went wrong and what to try, told right after a fixed failure text. Each is
// one line that starts with two blanks (no fixed text does, so the two can be told apart) and
// ends with "\r\n" like the other texts.
inline constexpr const char* kReasonIndent = "  ";

// Why createChannel gave no channel: the malformed descriptor part and its accepted form, or the
// port, the operating system's reason and the usual fix.
std::string portFailureReason(const ChannelFailure& failure);

// Why the update file cannot be used.
std::string fileFailureReason(const FileFailure& failure);
std::string pathTooLongReason(std::size_t length, std::size_t most);
std::string fileTooSmallReason(const std::string& path, std::int32_t size, std::int32_t least);
// Why the update file's own check refused the file: its first bad line and what is wrong there.
std::string formatFaultReason(const FileCheck& check);
// A file whose line `lineNumber` (from 1) the download could not send to the adapter.
std::string unsendableLineReason(int lineNumber);

// A traffic log that cannot be opened or written, in one line without a line end: the file, the
// system's words, and that the work goes on without it.
std::string trafficLogProblemText(const TrafficLogProblem& problem);

// A link to the adapter on `port` that was lost during a run: the port, the system's words, and
// what to check; an update that left the adapter in download mode ends with the advice to power
// it off and on and update again, any other run with the advice to try again.
std::string linkLossReason(const PortRequest& port, const LinkLoss& loss, bool updating,
                           AdapterState state = AdapterState::DownloadMode);

// An adapter on `port` that did not answer `command` (its final CR left out) within `waitedMs`,
// during an update that left it in `state` (or a read-out, when not `updating`): what to check
// for that kind of link, and what the adapter now needs. `step` is the flow's own account, if
// any: an identification step says that the file was not at fault.
std::string silenceReason(const PortRequest& port, const std::string& command, int waitedMs,
                          bool updating, AdapterState state, FailureStep step = FailureStep::None);

// The reason of a download flow's failure or refusal, from what the flow noted: what the adapter
// was asked and answered, what state it is left in, and what to do next.
std::string flowFailureReason(const FailureFacts& facts, AdapterState state);

// The reason of an update stopped on request after the adapter took a download-mode command.
std::string stoppedInDownloadModeReason();

// The adapter's answer to `command` (its final CR left out) was line noise, not text.
std::string lineNoiseReason(const std::string& command);

// A run stopped before the adapter was asked into download mode.
std::string stoppedBeforeDownloadReason();

// The words of a reason line, without its indent and line end: for a message of its own.
std::string reasonWords(const std::string& reasonLine);

// True when `text` is a reason line.
bool isReasonLine(const char* text);

}  // namespace korvane
