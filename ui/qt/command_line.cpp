#include "ui/qt/command_line.h"

#include <korvane/version.h>

#include <string_view>

#include "ui/model/app_info.h"

namespace korvane {

std::optional<int> answerInfoOption(int argc, const char* const* argv, std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            out << kUpdaterHelpText;
            return 0;
        }
        if (arg == "--version") {
            out << kDesktopName << " " << kProgramVersion << " (" << kAppName << " " << kVersionText
                << ")\n";
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace korvane
