#include <optional>
#include <string>

#include "channel/file_open.h"
#include "channel/wide_text_win.h"

namespace korvane {

std::FILE* openFileForReading(const std::string& path) {
    const std::optional<std::wstring> wide = wideFromUtf8(path);
    if (!wide || wide->empty()) {
        return nullptr;
    }
    return _wfopen(wide->c_str(), L"rb");
}

}  // namespace korvane
