#pragma once

#include <string>

#include "link_client.h"
#include "sim/update_file_writer.h"

namespace korvane::simtest {

// Whole updates performed by hand, command by command, as the updater's protocol runs them; each
// answer is checked byte for byte. They give "" on success, else what went wrong.

// Family 2, application firmware: echo on, identification queries, download mode, the file's
// line commands in pairs, "QXFL".
std::string runLineUpdateByHand(LinkClient& link, const sim::GeneratedUpdateFile& file,
                                const std::string& identityAnswer);

// Family 1 (model "ZNB540"): echo on, "QXVERS", download mode, the fast link (over a pty the
// client's tty is switched to 2000000 and back), the file's record commands, "QXDLED".
std::string runBlockUpdateByHand(LinkClient& link, const sim::GeneratedUpdateFile& file,
                                 bool switchTty);

}  // namespace korvane::simtest
