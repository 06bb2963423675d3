#pragma once

#include <optional>
#include <ostream>

namespace korvane {

// The desktop program's own command-line options, answered before any window or display is
// needed. Every other argument is left to the toolkit.
inline constexpr const char* kUpdaterHelpText =
    "Usage: korvane-updater [--help | --version]\n"
    "Opens the KorvaneFwUpdater window, which installs new firmware into OBD-II diagnostic\n"
    "adapters over Bluetooth, USB or Wi-Fi.\n"
    "\n"
    "Options:\n"
    "  -h, --help  show this text and exit\n"
    "  --version   show the program's version and exit\n";

// Exit status of the program when `argv` asks for --help or --version (after printing the
// answer on `out`); nothing when the window should open.
std::optional<int> answerInfoOption(int argc, const char* const* argv, std::ostream& out);

}  // namespace korvane
