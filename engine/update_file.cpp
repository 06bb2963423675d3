// Loading the update file, the file check as the job runs it, and the file's version number.
#include "engine/update_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "channel/atoi_rule.h"
#include "engine/model_catalog.h"

namespace korvane {

void UpdateFile::release() {
    std::vector<std::uint8_t>().swap(data);
    size = 0;
}

std::optional<std::int32_t> loadWholeFile(const std::string& path, std::vector<std::uint8_t>& out,
                                          FileFailure* failure) {
    FileFailure why;
    std::vector<std::uint8_t> buffer;
    if (!readRegularFile(path, INT32_MAX, buffer, why)) {
        if (failure != nullptr) {
            *failure = std::move(why);
        }
        return std::nullopt;
    }
    const auto size = static_cast<std::int32_t>(buffer.size());
    out = std::move(buffer);
    return size;
}

int checkUpdateFile(UpdateFile& file, const Reporter& reporter) {
    file.family = 0;
    int result = checkFamily1File(file);
    if (result != 1) {
        result = checkFamily2File(file);
        if (result != 1) {
            reporter.reportText(kFormatErrorText);
            file.release();
        }
    }
    file.progressStep = file.lineCount > 0 ? 90.0 / file.lineCount : 0.0;
    reporter.reportProgress(2);
    return result;
}

std::optional<std::int32_t> deriveFileVersion(const char* versionText, int modelCode) {
    const char* v = std::strchr(versionText, 'V');
    if (v == nullptr) {
        return std::nullopt;
    }
    char number[128];
    std::size_t n = 0;
    for (const char* p = v + 1; *p != '\0' && n < sizeof number - 1; ++p) {
        if (*p != '.') {
            number[n++] = *p;
        }
    }
    if (n > 0 && number[n - 1] == 'X') {
        const ModelRow* model = findLineModel(modelCode);
        number[n - 1] = model != nullptr ? model->finalXDigit : kDefaultFinalXDigit;
    }
    return atoiRule(std::string_view(number, n));
}

}  // namespace korvane
