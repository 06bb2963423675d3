#include "engine/failure_reason.h"

#include <cstring>
#include <variant>

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
        return failure.port + " (" + failure.devicePath + ")";
    }
    return failure.port;
}

std::string descriptorReason(const DescriptorProblem& problem) {
    const std::string head = "\"" + problem.descriptor + "\": ";
    switch (problem.part) {
        case DescriptorPart::Kind:
            return line(head + "the port kind \"" + problem.value +
                        "\" is neither com nor tcp; the accepted forms are " + kComForm + ", and " +
                        kTcpForm + ".");
        case DescriptorPart::Settings:
            return line(head + "\"" + problem.value + "\" lacks the \":\" before the " +
                        (problem.descriptor.rfind("tcp", 0) == 0 ? "TCP port" : "baud rate") +
                        "; the accepted forms are " + kComForm + ", and " + kTcpForm + ".");
        case DescriptorPart::Baud:
            return line(head + "the baud rate \"" + problem.value +
                        "\" is not a whole number from " + std::to_string(kLowestBaud) + " to " +
                        std::to_string(kHighestBaud) + "; the accepted form is " + kComForm + ".");
        case DescriptorPart::TcpPort:
            if (problem.ipv6Address) {
                return line(head +
                            "IPv6 addresses are not accepted: the adapter's address is dotted "
                            "IPv4; the accepted form is " +
                            kTcpForm + ".");
            }
            return line(head + "the TCP port \"" + problem.value +
                        "\" is not a whole number from 1 to 65535; the accepted form is " +
                        kTcpForm + ".");
        case DescriptorPart::Separator:
            return line(head +
                        "a port name or address may not hold \"|\" (nor \":\"), which "
                        "separate the descriptor's parts.");
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
    const std::string head = failure.path + ": ";
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
    return line(path + ": " + std::to_string(size) +
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
            return "the version text \"" + check.text + "\" has no \"V\" before its number";
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
    return std::string("the traffic log ") + problem.path +
           (problem.writing ? " cannot be written" : " cannot be opened") +
           systemWords(problem.systemCode) + "; the work goes on without it.";
}

std::string linkLossReason(const PortRequest& port, const LinkLoss& loss, bool updating) {
    const std::string again =
        updating ? "then power the adapter off and on and update again." : "then try again.";
    const std::string words = systemWords(loss.systemCode);
    if (const auto* tcp = std::get_if<TcpPortRequest>(&port)) {
        const std::string head = tcp->address + ":" + std::to_string(tcp->port) + ": ";
        const std::string check =
            "; check that the adapter is powered and that this computer is still on its Wi-Fi "
            "network, ";
        if (loss.cause == LossCause::ClosedByPeer) {
            return line(head + "the adapter closed the connection" + check + again);
        }
        return line(head + "the connection was lost" + words + check + again);
    }
    const auto& serial = std::get<SerialPortRequest>(port);
    const std::string head = (serial.name.empty() ? "(no port name)" : serial.name) + ": ";
    const std::string check = "; check the cable, or the Bluetooth link, ";
    if (loss.cause == LossCause::HungUp) {
        return line(head + "the connection was lost: the port hung up" + check + again);
    }
    return line(head + "the connection was lost" + words + check + again);
}

std::string silenceReason(const std::string& command, int waitedMs) {
    return line("the adapter gave no answer to " + command + " within " + std::to_string(waitedMs) +
                " ms; check that it is powered, that the baud rate is the adapter's (115200 "
                "unless changed), and for Bluetooth that it is paired.");
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
