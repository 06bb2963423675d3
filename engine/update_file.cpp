// Loading the update file, the file check as the job runs it, and the file's version number.
#include "engine/update_file.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "channel/atoi_rule.h"
#include "channel/file_open.h"
#include "engine/model_catalog.h"

namespace korvane {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

void UpdateFile::release() {
    std::vector<std::uint8_t>().swap(data);
    size = 0;
}

std::int32_t loadWholeFile(const std::string& path, std::vector<std::uint8_t>& out) {
    // A path cut at an embedded NUL would name another file.
    if (path.find('\0') != std::string::npos) {
        return -1;
    }
    std::unique_ptr<std::FILE, FileCloser> file(openFileForReading(path));
    if (!file) {
        return -1;
    }
    if (std::fseek(file.get(), 0, SEEK_END) != 0) {
        return -1;
    }
    const long end = std::ftell(file.get());
    if (end < 0 || end > INT32_MAX || std::fseek(file.get(), 0, SEEK_SET) != 0) {
        return -1;
    }
    const auto size = static_cast<std::size_t>(end);
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::size_t got = 0;
    while (got < size) {
        const std::size_t n = std::fread(buffer.data() + got, 1, size - got, file.get());
        if (n == 0) {
            return -1;
        }
        got += n;
    }
    out = std::move(buffer);
    return static_cast<std::int32_t>(size);
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

int deriveFileVersion(const char* versionText, int modelCode, std::int32_t& fileVersion) {
    const char* v = std::strchr(versionText, 'V');
    if (v == nullptr) {
        return -1;
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
    fileVersion = atoiRule(std::string_view(number, n));
    return 1;
}

}  // namespace korvane
