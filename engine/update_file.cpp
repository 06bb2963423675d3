// Loading the update file, the file check as the job runs it, and the file's version number.
#include "engine/update_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "channel/atoi_rule.h"
#include "engine/failure_reason.h"
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
    if (!readRegularFile(path, kMaxUpdateFileSize, buffer, why)) {
        if (failure != nullptr) {
            *failure = std::move(why);
        }
        return std::nullopt;
    }
    const auto size = static_cast<std::int32_t>(buffer.size());
    out = std::move(buffer);
    return size;
}

namespace {

// How many of the first lines decide what a file looks like.
constexpr int kLinesLookedAt = 4;

// Whether most of the file's first lines hold 136 hex digits, as every family-2 line does (a
// family-1 record does only when it carries 65 data bytes).
bool looksLikeFamily2(const UpdateFile& file) {
    const std::int32_t size = std::min(file.size, static_cast<std::int32_t>(file.data.size()));
    int lines = 0;
    int family2Lines = 0;
    for (std::int32_t position = 0; position < size && lines < kLinesLookedAt; ++lines) {
        std::size_t digits = 0;
        position = readHexLine(file.data.data(), size, position, nullptr, 0, digits);
        family2Lines += digits == kMaxFamily2Digits ? 1 : 0;
    }
    return 2 * family2Lines > lines;
}

// Of two refusals, the one of the family the file most looks like. A check that got at least
// two lines further than the other is reading its own family (a family-2 line now and then also
// passes for a family-1 record, but hardly two in a row); otherwise the lines' length decides.
const FileCheck& likelierFamily(const UpdateFile& file, const FileCheck& one,
                                const FileCheck& two) {
    if (one.line >= two.line + 2) {
        return one;
    }
    if (two.line >= one.line + 2) {
        return two;
    }
    return looksLikeFamily2(file) ? two : one;
}

}  // namespace

FileCheck checkEitherFamily(UpdateFile& file) {
    file.family = 0;
    FileCheck result = checkFamily1File(file);
    if (!result.sound()) {
        const FileCheck first = result;
        result = checkFamily2File(file);
        if (!result.sound()) {
            result = likelierFamily(file, first, result);
        }
    }
    file.progressStep = file.lineCount > 0 ? 90.0 / file.lineCount : 0.0;
    return result;
}

FileCheck checkUpdateFile(UpdateFile& file, const Reporter& reporter) {
    const FileCheck result = checkEitherFamily(file);
    if (!result.sound()) {
        reporter.reportText(kFormatErrorText);
        reporter.reportText(formatFaultReason(result).c_str());
        file.release();
    }
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
