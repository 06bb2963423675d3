#include "transfer_script.h"

#include <vector>

namespace korvane::simtest {

namespace {

// Sends `command` + CR and checks that the answer is its echo followed by `answer`.
std::string expectAnswer(LinkClient& link, const std::string& command, const std::string& answer,
                         const std::string& end = ">") {
    std::string got;
    if (!link.write(command + "\r")) {
        return "cannot send " + command;
    }
    link.readUntil(end, got, 3000);
    const std::string expected = command + "\r" + answer;
    if (got != expected) {
        return "to " + command + " expected [" + expected + "] got [" + got + "]";
    }
    return "";
}

// A command of the writer's list without its final CR.
std::string withoutCr(const std::string& command) {
    return command.substr(0, command.size() - 1);
}

}  // namespace

std::string runLineUpdateByHand(LinkClient& link, const sim::GeneratedUpdateFile& file,
                                const std::string& identityAnswer) {
    if (link.exchange("ATE1\r") != "OK\r\r>") {
        return "ATE1 not answered OK";
    }
    std::string failure = expectAnswer(link, "ATI", "ELM327 v2.2\r\r>");
    if (failure.empty()) {
        failure = expectAnswer(link, "QXI", identityAnswer + "\r\r>");
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "QXUPDT03", "OK\r\r>");
    }
    for (std::size_t i = 0; failure.empty() && i < file.commands.size(); ++i) {
        failure =
            expectAnswer(link, withoutCr(file.commands[i]), i % 2 == 0 ? "...\r\r>" : "OK\r\r>");
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "QXFL", "OK\r\r>");
    }
    return failure;
}

std::string runBlockUpdateByHand(LinkClient& link, const sim::GeneratedUpdateFile& file,
                                 bool switchTty) {
    if (link.exchange("ATE1\r") != "OK\r\r>") {
        return "ATE1 not answered OK";
    }
    std::string failure = expectAnswer(link, "QXVERS", "ZNB540 V1.0.0\r\r>");
    if (failure.empty()) {
        failure = expectAnswer(link, "QXDLZNB540", "OK\r\r>");
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "QX DLBD 02", "OK\r", "OK\r");
    }
    if (failure.empty() && switchTty && !link.setRate(2000000)) {
        failure = "cannot set the tty to 2000000";
    }
    if (failure.empty()) {
        std::string announcement;
        if (!link.readUntil("ZNB540 Update\r", announcement, 3000) ||
            announcement != "ZNB540 Update\r") {
            failure = "no announcement, got [" + announcement + "]";
        }
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "", "OK\r\r>");
    }
    for (std::size_t i = 0; failure.empty() && i < file.commands.size(); ++i) {
        failure = expectAnswer(link, withoutCr(file.commands[i]), "OK\r\r>");
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "QXDLED", "OK\r\r>");
    }
    if (failure.empty() && switchTty && !link.setRate(115200)) {
        failure = "cannot set the tty back to 115200";
    }
    if (failure.empty()) {
        failure = expectAnswer(link, "QXVERS", "ZNB540 V1.0.0\r\r>");
    }
    return failure;
}

}  // namespace korvane::simtest
