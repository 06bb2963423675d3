#include "engine/prepared_update_file.h"

#include <optional>
#include <utility>

#include "engine/download_preflight.h"
#include "engine/failure_reason.h"

namespace korvane {

namespace {

PreparedUpdateFile refused(FileVerdict verdict, std::shared_ptr<const UpdateFile> file,
                           std::string text, std::string reason) {
    return PreparedUpdateFile{verdict, std::move(file), std::move(text), std::move(reason)};
}

}  // namespace

PreparedUpdateFile prepareUpdateFile(const std::string& path) {
    auto file = std::make_shared<UpdateFile>();
    FileFailure failure;
    const std::optional<std::int32_t> size = loadWholeFile(path, file->data, &failure);
    if (!size) {
        return refused(FileVerdict::Unreadable, nullptr, kFileInvalidText,
                       fileFailureReason(failure));
    }
    file->size = *size;
    if (*size < kMinUpdateFileSize) {
        return refused(FileVerdict::TooSmall, std::move(file), kFileInvalidText,
                       fileTooSmallReason(path, *size, kMinUpdateFileSize));
    }
    const FileCheck check = checkEitherFamily(*file);
    if (!check.sound()) {
        return refused(FileVerdict::FormatError, std::move(file), kFormatErrorText,
                       formatFaultReason(check));
    }
    // A line or record the download would refuse or the adapter could not take is refused now,
    // before anything is sent, rather than half way through the download.
    if (const std::optional<int> unsendable = firstUnsendableLine(*file)) {
        // The text first: the order in which arguments are evaluated is unspecified, and the
        // file is moved into the result.
        std::string text = unsendableFileText(*file);
        return refused(FileVerdict::Unsendable, std::move(file), std::move(text),
                       unsendableLineReason(*unsendable));
    }
    return PreparedUpdateFile{FileVerdict::Sound, std::move(file), {}, {}};
}

}  // namespace korvane
