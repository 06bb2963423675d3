#include "engine/failure_reason.h"

#include <algorithm>
#include <cstring>
#include <variant>

#include "engine/shown_text.h"
#include "engine/update_file.h"

namespace korvane {

namespace {

constexpr const char* kComForm = "com|NAME:BAUD, e.g. com|/dev/ttyUSB0:115200 or com|COM3:115200";
constexpr const char* kTcpForm = "tcp|ADDRESS:PORT, e.g. tcp|192.168.0.10:35000";

std::string line(const std::string& body) {
    return kReasonIndent + body + "\r\n";
}

// " (the system's words)" when a system call failed, else nothing.
std::string systemWords(int systemCode) {
    const std::string words = systemErrorText(systemCode);
    return words.empty() ? std::string() : " (" + words + ")";
}

std::string portName(const OpenFailure& failure) {
    if (failure.port.empty()) {
        return "(no port name)";
    }
    if (!failure.devicePath.empty()) {
        return shownText(failure.port) + " (" + shownText(failure.devicePath) + ")";
    }
    return shownText(failure.port);
}

std::string descriptorReason(const DescriptorProblem& problem) {
    const std::string head = "\"" + shownText(problem.descriptor) + "\": ";
    switch (problem.part) {
        case DescriptorPart::Kind:
            return line(head + "the port kind \"" + shownText(problem.value) +
                        "\" is neither com nor tcp; the accepted forms are " + kComForm + ", and " +
                        kTcpForm + ".");
        case DescriptorPart::Settings:
            return line(head + "\"" + shownText(problem.value) + "\" lacks the \":\" before the " +
                        (problem.descriptor.rfind("tcp", 0) == 0 ? "TCP port" : "baud rate") +
                        "; the accepted forms are " + kComForm + ", and " + kTcpForm + ".");
        case DescriptorPart::Baud:
            return line(head + "the baud rate \"" + shownText(problem.value) +
                        "\" is not a whole number from " + std::to_string(kLowestBaud) + " to " +
                        std::to_string(kHighestBaud) + "; the accepted form is " + kComForm + ".");
        case DescriptorPart::TcpPort:
            if (problem.ipv6Address) {
                return line(head +
                            "IPv6 addresses are not accepted: the adapter's address is dotted "
                            "IPv4; the accepted form is " +
                            kTcpForm + ".");
            }
            return line(head + "the TCP port \"" + shownText(problem.value) +
                        "\" is not a whole number from 1 to 65535; the accepted form is " +
                        kTcpForm + ".");
        case DescriptorPart::Separator:
            return line(head +
                        "a port name or address may not hold \"|\", which separates the "
                        "descriptor's parts.");
        case DescriptorPart::NameWithColon:
            return line(head + "the port name \"" + shownText(problem.value) +
                        "\" holds \":\", which this form takes for the one before the baud "
                        "rate; name such a port with --serial NAME (and --baud), or on a line of "
                        "its own in a ports file (NAME, a blank, BAUD).");
        case DescriptorPart::EmptyName:
            return line(head + (problem.descriptor.rfind("tcp", 0) == 0
                                    ? "the address is empty; the accepted form is " +
                                          std::string(kTcpForm) + "."
                                    : "the port name is empty; the accepted form is " +
                                          std::string(kComForm) + "."));
        case DescriptorPart::PortInAddress:
            return line(head + "the address box holds \"" + shownText(problem.value) +
                        "\", an address with its port: put the port in the Port box.");
        case DescriptorPart::None:
            break;
    }
    return line(head + "malformed; the accepted forms are " + kComForm + ", and " + kTcpForm + ".");
}

std::string openReason(const OpenFailure& failure) {
    const std::string head = portName(failure) + ": ";
    const std::string words = systemWords(failure.systemCode);
    const char* wifi =
        "is this computer on the adapter's Wi-Fi network, and are the address and port right "
        "(the adapter's own are usually 192.168.0.10 and 35000)?";
    switch (failure.cause) {
        case OpenCause::NoSuchDevice:
            return line(head + "no such device" + words +
                        "; is the adapter plugged in, or paired for Bluetooth? The list of "
                        "serial ports (korvane-fw ports) shows what there is.");
        case OpenCause::PermissionDenied:
            return line(head + "permission denied" + words +
                        "; add your user to the dialout group (sudo usermod -aG dialout $USER) "
                        "and log in again.");
        case OpenCause::Busy:
            return line(head + "the port is busy" + words +
                        "; another program has it open: close that program and try again.");
        case OpenCause::NotSerialDevice:
            return line(head + "not a serial device" + words +
                        "; name the adapter's serial port, e.g. /dev/ttyUSB0, /dev/rfcomm0 or "
                        "COM3.");
        case OpenCause::RateNotSupported:
            return line(head + "the port does not run at " + std::to_string(failure.value) +
                        " baud" + words + "; choose another rate, e.g. 115200.");
        case OpenCause::BadAddress:
            return line(head +
                        "the address is not a dotted IPv4 address (host names are not "
                        "looked up); give the adapter's address, e.g. 192.168.0.10.");
        case OpenCause::BadPortNumber:
            return line(head +
                        "the TCP port is not a number from 1 to 65535; the accepted form "
                        "is " +
                        std::string(kTcpForm) + ".");
        case OpenCause::Refused:
            return line(head + "connection refused" + words + "; " + wifi);
        case OpenCause::TimedOut:
            return line(head + "no answer to the connection" +
                        (failure.value > 0 ? " within " + std::to_string(failure.value) + " ms"
                                           : std::string()) +
                        words + "; " + wifi);
        case OpenCause::Unreachable:
            return line(head + "the address cannot be reached from here" + words + "; " + wifi);
        case OpenCause::Stopped:
        case OpenCause::Other:
        case OpenCause::None:
            break;
    }
    return line(head + "the port could not be opened" + words + ".");
}

}  // namespace

std::string portFailureReason(const ChannelFailure& failure) {
    if (failure.descriptor.part != DescriptorPart::None) {
        return descriptorReason(failure.descriptor);
    }
    return openReason(failure.open);
}

std::string fileFailureReason(const FileFailure& failure) {
    const std::string head = shownText(failure.path) + ": ";
    const std::string words = systemWords(failure.systemCode);
    switch (failure.cause) {
        case FileCause::Missing:
            return line(head + "no such file" + words + "; check the path.");
        case FileCause::PermissionDenied:
            return line(head + "permission denied" + words +
                        "; make the file readable for your user, or copy it somewhere you "
                        "can read.");
        case FileCause::Directory:
            return line(head + "a folder, not a file; choose the update file inside it.");
        case FileCause::Fifo:
            return line(head + "a named pipe, not a regular file; give the update file itself.");
        case FileCause::Device:
            return line(head + "a device, not a regular file; give the update file itself.");
        case FileCause::NotRegular:
            return line(head + "not a regular file; give the update file itself.");
        case FileCause::PathTooLong:
            return line(head + "the path is too long" + words +
                        "; move the file to a shorter path.");
        case FileCause::TooLarge:
            return line(head + std::to_string(failure.size) +
                        " bytes is larger than any update file can be (at most " +
                        std::to_string(kMaxUpdateFileSize) + "); is it the right file?");
        case FileCause::ReadFailed:
        case FileCause::None:
            break;
    }
    return line(head + "cannot be read" + words + ".");
}

std::string pathTooLongReason(std::size_t length, std::size_t most) {
    return line("the path is " + std::to_string(length) + " bytes long, at most " +
                std::to_string(most) + " are taken; move the file to a shorter path.");
}

std::string fileTooSmallReason(const std::string& path, std::int32_t size, std::int32_t least) {
    return line(shownText(path) + ": " + std::to_string(size) +
                " bytes is too small for an update file (at "
                "least " +
                std::to_string(least) + "); is it the right file?");
}

namespace {

std::string hexByte(std::int64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
}

// A character as the reason shows it: printable ones quoted, others as their byte value.
std::string shownCharacter(std::int64_t value) {
    if (value > 0x20 && value < 0x7F) {
        return "\"" + std::string(1, static_cast<char>(value)) + "\"";
    }
    return value == 0x20 ? std::string("a blank") : "the byte 0x" + hexByte(value);
}

std::string formatFaultWords(const FileCheck& check) {
    const std::string stated = std::to_string(check.stated);
    const std::string found = std::to_string(check.found);
    const bool lines = check.family == 2;
    switch (check.fault) {
        case FormatFault::TooManyDigits:
            return found + " hex digits, " +
                   (lines ? "where every line holds exactly " + stated
                          : "more than the " + stated + " of the longest record");
        case FormatFault::TooFewDigits:
            if (check.found == 0) {
                return "an empty line, or one without hex digits, where a record starts";
            }
            return found + " hex digits, " +
                   (lines ? "where every line holds exactly " + stated
                          : "fewer than the " + stated +
                                " its record needs for its length, data and checksum");
        case FormatFault::RecordTooLong:
            return "the record announces " + stated + " data bytes, more than the " + found +
                   " a record holds";
        case FormatFault::Checksum:
            return "the record's checksum is " + hexByte(check.stated) +
                   ", its data bytes sum to " + hexByte(check.found);
        case FormatFault::LineSum:
            return "the line's bytes sum to " + hexByte(check.found) + ", not " +
                   hexByte(check.stated);
        case FormatFault::NotHexDigit:
            return "column " + stated + " holds " + shownCharacter(check.found) +
                   ", which is not a hex digit";
        case FormatFault::EmptyLine:
            return "an empty line, where every line holds " + stated + " hex digits";
        case FormatFault::NoLineEnd:
            return "the last line has no line end";
        case FormatFault::ByteTotal:
            return "the information record declares a byte total of " + stated +
                   ", the bytes before it add up to " + found;
        case FormatFault::InformationTooShort:
            return "the information record holds " + found + " data bytes, fewer than the " +
                   stated + " it needs";
        case FormatFault::StringOverrun:
            return "a text of the information record runs past its end";
        case FormatFault::NoVersionLetter:
            return "the version text \"" + shownText(check.text) +
                   "\" has no \"V\" before its number";
        case FormatFault::NoInformation:
            return "the file ends here without its information record";
        case FormatFault::None:
            break;
    }
    return "not a line of an update file";
}

}  // namespace

std::string formatFaultReason(const FileCheck& check) {
    return line("line " + std::to_string(check.line) + " of the update file: " +
                formatFaultWords(check) + "; the file is damaged or is not an update file.");
}

std::string unsendableLineReason(int lineNumber) {
    return line("line " + std::to_string(lineNumber) +
                " of the update file cannot be sent to the adapter; the file is damaged or is "
                "not an update file for this adapter.");
}

std::string trafficLogProblemText(const TrafficLogProblem& problem) {
    return std::string("the traffic log ") + shownText(problem.path) +
           (problem.writing ? " cannot be written" : " cannot be opened") +
           systemWords(problem.systemCode) + "; the work goes on without it.";
}

namespace {

constexpr const char* kLeftAsItWas =
    "the adapter was left as it was (never put into download mode)";
constexpr const char* kWaitsInDownloadMode =
    "the adapter now waits in download mode: power it off and on, then update it again";

// What an update left the adapter in, as the end of a reason.
std::string stateWords(AdapterState state) {
    return state == AdapterState::DownloadMode ? kWaitsInDownloadMode : kLeftAsItWas;
}

// An answer from the adapter as a reason quotes it: without the line ends and prompt around it,
// escaped, and cut when long.
std::string quoted(std::string answer) {
    constexpr std::size_t kMostShown = 48;
    constexpr const char* kFrame = "\r\n> ";
    answer.erase(0, std::min(answer.size(), answer.find_first_not_of(kFrame)));
    answer.erase(answer.find_last_not_of(kFrame) + 1);
    std::string shown = shownText(answer.substr(0, kMostShown));
    if (answer.size() > kMostShown) {
        shown += "...";
    }
    return "\"" + shown + "\"";
}

std::string answerTo(const FailureFacts& facts) {
    const std::string shown = quoted(facts.answer);
    if (shown == "\"\"") {
        return "an empty answer to " + facts.command;
    }
    return shown + " (its answer to " + facts.command + ")";
}

std::string lineTrouble(const FailureFacts& facts) {
    switch (facts.lineResult) {
        case LineResult::RepeatedThrice:
            return "it asked for the same pair three times (RepBlock)";
        case LineResult::NotTakenInTime:
            return "it asked for a line again more often than allowed (RepPack)";
        case LineResult::UnexpectedReply:
            return "it gave an answer that is neither a repeat request nor acceptance";
        case LineResult::TypeNotSendable:
            return "the file's line there has a type the download does not send";
        case LineResult::StrayAnswer:
            return "an answer came that no command waited for, so it may hold a line twice";
        default:
            break;
    }
    return "a line command went unanswered";
}

const char* kOtherFile = "use the update file made for this adapter";

// An answer that is no text an adapter gives: control bytes other than line ends, bytes outside
// ASCII, more than any identity or version text (a flood that filled the reply), or bytes before
// the echo of its command (noise on the line, so the echo was not recognised).
bool garbled(const std::string& answer, const std::string& command) {
    constexpr std::size_t kLongestText = 200;
    if (answer.size() >= kLongestText) {
        return true;
    }
    const std::size_t echo = command.empty() ? std::string::npos : answer.find(command);
    if (echo != std::string::npos && echo > 0) {
        return true;
    }
    return std::any_of(answer.begin(), answer.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\r' && c != '\n') || byte >= 0x7F;
    });
}

bool identificationStep(FailureStep step) {
    return step == FailureStep::IdentityMismatch || step == FailureStep::ProductMismatch ||
           step == FailureStep::GateNoVersion || step == FailureStep::AdapterModelMismatch;
}

}  // namespace

std::string linkLossReason(const PortRequest& port, const LinkLoss& loss, bool updating,
                           AdapterState state) {
    std::string again = "then try again.";
    if (updating && state == AdapterState::DownloadMode) {
        again = "then power the adapter off and on and update again.";
    } else if (updating) {
        again = "then try again; the adapter was left as it was.";
    }
    const std::string words = systemWords(loss.systemCode);
    if (const auto* tcp = std::get_if<TcpPortRequest>(&port)) {
        const std::string head = shownText(tcp->address) + ":" + std::to_string(tcp->port) + ": ";
        const std::string check =
            "; check that the adapter is powered and that this computer is still on its Wi-Fi "
            "network, ";
        if (loss.cause == LossCause::ClosedByPeer) {
            return line(head + "the adapter closed the connection" + check + again);
        }
        return line(head + "the connection was lost" + words + check + again);
    }
    const auto& serial = std::get<SerialPortRequest>(port);
    const std::string head =
        (serial.name.empty() ? "(no port name)" : shownText(serial.name)) + ": ";
    const std::string check = "; check the cable, or the Bluetooth link, ";
    if (loss.cause == LossCause::HungUp) {
        return line(head + "the connection was lost: the port hung up" + check + again);
    }
    return line(head + "the connection was lost" + words + check + again);
}

std::string silenceReason(const PortRequest& port, const std::string& command, int waitedMs,
                          bool updating, AdapterState state, FailureStep step) {
    std::string words = "the adapter gave no answer to " + shownText(command) + " within " +
                        std::to_string(waitedMs) + " ms";
    switch (step) {
        case FailureStep::IdentityMismatch:
        case FailureStep::ProductMismatch:
        case FailureStep::GateNoVersion:
        case FailureStep::AdapterModelMismatch:
            words += " (so the file could not be compared with it: the file is not at fault)";
            break;
        default:
            break;
    }
    if (std::holds_alternative<TcpPortRequest>(port)) {
        words +=
            "; check that it is powered, that this computer is on the adapter's Wi-Fi network, "
            "and that the address and port are the adapter's";
    } else {
        words +=
            "; check that it is powered, that the baud rate is the adapter's (115200 unless "
            "changed), and for Bluetooth that it is paired";
    }
    if (updating) {
        words += "; " + stateWords(state);
    }
    return line(words + ".");
}

namespace {

// What went wrong, in words, and what to do about it (empty: power the adapter off and on and
// update it again, or nothing when it was left as it was).
struct Account {
    std::string words;
    std::string todo;
};

// The file itself cannot be matched to any adapter.
Account fileAccount(const FailureFacts& facts) {
    const std::string fileModel = shownText(facts.fileModel);
    Account account;
    switch (facts.step) {
        case FailureStep::UnknownFileModel:
            account.words = "the update file names the model " + quoted(facts.fileModel) +
                            ", which this program does not know";
            account.todo = "the file is damaged or is not an update file for these adapters";
            break;
        case FailureStep::NoProductText:
            account.words =
                "the update file holds no product text, so no adapter can be matched to it";
            account.todo = "the file is damaged or is not an update file";
            break;
        default:
            break;
    }
    return account;
}

// The adapter's answers show that the file is not for it.
Account adapterAccount(const FailureFacts& facts) {
    const std::string fileModel = shownText(facts.fileModel);
    const std::string adapterModel = shownText(facts.adapterModel);
    const std::string number = std::to_string(facts.number);
    Account account;
    switch (facts.step) {
        case FailureStep::BootLoaderRefused:
            account.words =
                "the adapter's answer to ATI held no ELM327 identity, so it was taken to run "
                "its boot loader, but it gave " +
                answerTo(facts) + " instead of OK";
            account.todo = "power it off and on and try again";
            break;
        case FailureStep::IdentityMismatch:
            account.words = "the adapter names itself " + answerTo(facts) + ", which is not a " +
                            fileModel + ", the file's model";
            account.todo = kOtherFile;
            break;
        case FailureStep::ProductMismatch:
            account.words = "the adapter's product text is " + answerTo(facts) +
                            ", and the file's, " + quoted(facts.fileModel) + ", is not part of it";
            account.todo = kOtherFile;
            break;
        case FailureStep::ElmVersionTooNew:
            account.words = "the adapter reports " + answerTo(facts) +
                            ", an ELM327 version newer than this program knows (up to " +
                            std::to_string(facts.number / 10) + "." +
                            std::to_string(facts.number % 10) + ")";
            account.todo = "install a newer version of this program";
            break;
        case FailureStep::AdapterModelMismatch:
            account.words = "the adapter names itself " + answerTo(facts) + ", a " + adapterModel +
                            ", and the file is for a " + fileModel;
            account.todo = kOtherFile;
            break;
        case FailureStep::DownloadModeRefused:
            account.words =
                "the adapter refused the download-mode commands of a family-1 file, " +
                facts.command + ", with " + quoted(facts.answer) +
                " instead of OK: it is no ZNB540 or ZNB6730, so this file is not for it";
            account.todo = kOtherFile;
            break;
        case FailureStep::LearnedModelMismatch:
            account.words =
                "the adapter's answer to QXVERS named no model, so it was put into download "
                "mode to learn it: it took " +
                facts.command + ", so it is a " + adapterModel + ", and the file is for a " +
                fileModel;
            account.todo = "update it with a file for a " + adapterModel;
            break;
        default:
            break;
    }
    return account;
}

// The adapter's firmware version does not admit this file.
Account gateAccount(const FailureFacts& facts) {
    const std::string fileModel = shownText(facts.fileModel);
    const std::string number = std::to_string(facts.number);
    Account account;
    switch (facts.step) {
        case FailureStep::GateNoVersion:
            account.words = "the adapter gave " + answerTo(facts) +
                            ", which holds no firmware version of a " + fileModel + " adapter";
            account.todo = kOtherFile;
            break;
        case FailureStep::GateTooOld:
            account.words = "the adapter's firmware, " + answerTo(facts) +
                            ", is too old to be updated with an update file";
            account.todo = "ask the contact named above";
            break;
        case FailureStep::GateUpgradeFirst:
            account.words = "the adapter's firmware, " + answerTo(facts) +
                            ", is older than the version this file builds on";
            account.todo = "install the version named above first, then this file";
            break;
        case FailureStep::GateFirmwareNewer:
            account.words = "the adapter's firmware, " + answerTo(facts) +
                            ", already has what this file (version " + number + ") brings";
            account.todo = "use a newer update file";
            break;
        case FailureStep::GateNoUpgrade:
            account.words = "the adapter's firmware, " + answerTo(facts) +
                            ", cannot be updated with an update file";
            account.todo = "nothing to do: this adapter keeps its firmware";
            break;
        default:
            break;
    }
    return account;
}

// The download itself did not go through.
Account downloadAccount(const FailureFacts& facts) {
    const std::string number = std::to_string(facts.number);
    Account account;
    switch (facts.step) {
        case FailureStep::StartNotTaken:
            account.words = "the adapter gave no complete answer to the start request QXUPDT03 (" +
                            quoted(facts.answer) + ")";
            break;
        case FailureStep::LinesNotTaken:
            account.words = "the adapter did not take the pair of lines after line " + number +
                            ": " + lineTrouble(facts);
            break;
        case FailureStep::FinishNotTaken:
            account.words =
                "the adapter did not close the download: QXFL and the closing record got " +
                quoted(facts.answer) + " instead of OK";
            break;
        case FailureStep::RecordRefused:
            account.words =
                "the adapter refused record " + number +
                " (ERR02), although the file passed its own check: the firmware is not for "
                "this adapter's hardware, or the record was damaged on the way";
            account.todo =
                "update it again; if the record is refused again, use the update file made "
                "for this adapter";
            break;
        case FailureStep::RecordNotTaken:
            account.words = "the adapter did not take record " + number + " in three tries";
            break;
        case FailureStep::EndNotTaken:
            account.words = "the adapter did not take QXDLED, which closes the download (" +
                            quoted(facts.answer) + ")";
            break;
        case FailureStep::StrayAnswer:
            account.words =
                "an answer came that no command waited for, so the adapter may hold a line or "
                "record twice; the download was stopped";
            break;
        case FailureStep::None:
            account.words = "the update did not finish";
            break;
        default:
            break;
    }
    return account;
}

Account accountOf(const FailureFacts& facts) {
    switch (facts.step) {
        case FailureStep::UnknownFileModel:
        case FailureStep::NoProductText:
            return fileAccount(facts);
        case FailureStep::BootLoaderRefused:
        case FailureStep::IdentityMismatch:
        case FailureStep::ProductMismatch:
        case FailureStep::ElmVersionTooNew:
        case FailureStep::AdapterModelMismatch:
        case FailureStep::DownloadModeRefused:
        case FailureStep::LearnedModelMismatch:
            return adapterAccount(facts);
        case FailureStep::GateNoVersion:
        case FailureStep::GateTooOld:
        case FailureStep::GateUpgradeFirst:
        case FailureStep::GateFirmwareNewer:
        case FailureStep::GateNoUpgrade:
            return gateAccount(facts);
        case FailureStep::StartNotTaken:
        case FailureStep::LinesNotTaken:
        case FailureStep::FinishNotTaken:
        case FailureStep::RecordRefused:
        case FailureStep::RecordNotTaken:
        case FailureStep::EndNotTaken:
        case FailureStep::StrayAnswer:
        case FailureStep::None:
            return downloadAccount(facts);
    }
    return downloadAccount(facts);
}

}  // namespace

std::string flowFailureReason(const FailureFacts& facts, AdapterState state) {
    if (identificationStep(facts.step) && garbled(facts.answer, facts.command)) {
        // Not an answer that names another model: the link garbled or flooded it.
        const std::string words =
            "the adapter's answer to " + facts.command + " was no text but " +
            std::to_string(facts.answer.size()) +
            " bytes of line noise or a flood, so the file could not be compared with it (the "
            "file is not at fault)";
        return line(words + "; " + kLeftAsItWas +
                    "; check the link and that its rate is the adapter's, then try again.");
    }
    const auto [words, todo] = accountOf(facts);
    std::string reason = words + "; ";
    if (state == AdapterState::DownloadMode) {
        reason += "the adapter now waits in download mode: power it off and on, then " +
                  (todo.empty() ? std::string("update it again") : todo);
    } else {
        reason += kLeftAsItWas + (todo.empty() ? std::string() : "; " + todo);
    }
    return line(reason + ".");
}

std::string stoppedInDownloadModeReason() {
    return line(std::string("the update was stopped on request after the adapter had entered "
                            "download mode; ") +
                kWaitsInDownloadMode + ".");
}

std::string lineNoiseReason(const std::string& command) {
    return line("the adapter's answer to " + command +
                " was line noise, not text: the line rate may be wrong; check that the baud rate "
                "is the adapter's (115200 unless changed).");
}

std::string stoppedBeforeDownloadReason() {
    return line(
        "stopped before the adapter was put into download mode: it was left as it was, its "
        "firmware untouched.");
}

std::string reasonWords(const std::string& reasonLine) {
    std::string words = reasonLine;
    if (words.rfind(kReasonIndent, 0) == 0) {
        words.erase(0, std::strlen(kReasonIndent));
    }
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r')) {
        words.pop_back();
    }
    return words;
}

bool isReasonLine(const char* text) {
    return text != nullptr && std::strncmp(text, kReasonIndent, 2) == 0;
}

}  // namespace korvane
