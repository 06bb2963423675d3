#include "platform/windows_api.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "platform/regular_file.h"
#include "platform/wide_text_win.h"

namespace korvane {
namespace {

bool fail(FileFailure& failure, FileCause cause, DWORD systemCode) {
    return failure.record(cause, static_cast<int>(systemCode));
}

FileCause errorCause(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            return FileCause::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return FileCause::PermissionDenied;
        case ERROR_FILENAME_EXCED_RANGE:
            return FileCause::PathTooLong;
        default:
            return FileCause::ReadFailed;
    }
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

bool readRegularFile(const std::string& path, std::size_t maxBytes,
                     std::vector<std::uint8_t>& bytes, FileFailure& failure) {
    failure = FileFailure{};
    failure.path = path;
    if (path.empty() || path.find('\0') != std::string::npos) {
        return fail(failure, FileCause::Missing, ERROR_FILE_NOT_FOUND);
    }
    // The path is UTF-8; the wide calls open a name in any script whatever the code page.
    const std::optional<std::wstring> wide = wideFromUtf8(path);
    if (!wide) {
        return fail(failure, FileCause::Missing, ERROR_INVALID_NAME);
    }
    const DWORD attributes = GetFileAttributesW(wide->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return fail(failure, errorCause(error), error);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail(failure, FileCause::Directory, 0);
    }
    const Handle file(CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return fail(failure, errorCause(error), error);
    }
    switch (GetFileType(file.get())) {
        case FILE_TYPE_DISK:
            break;
        case FILE_TYPE_PIPE:
            return fail(failure, FileCause::Fifo, 0);
        case FILE_TYPE_CHAR:
            return fail(failure, FileCause::Device, 0);
        default:
            return fail(failure, FileCause::NotRegular, 0);
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) {
        const DWORD error = GetLastError();
        return fail(failure, FileCause::ReadFailed, error);
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > maxBytes) {
        failure.size = static_cast<std::uint64_t>(size.QuadPart);
        return fail(failure, FileCause::TooLarge, 0);
    }
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return fail(failure, FileCause::ReadFailed, ERROR_NOT_ENOUGH_MEMORY);
    }
    std::size_t got = 0;
    while (got < buffer.size()) {
        DWORD moved = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - got, 1 << 20));
        if (!ReadFile(file.get(), buffer.data() + got, want, &moved, nullptr)) {
            const DWORD error = GetLastError();
            return fail(failure, FileCause::ReadFailed, error);
        }
        if (moved == 0) {
            return fail(failure, FileCause::ReadFailed, 0);
        }
        got += moved;
    }
    bytes = std::move(buffer);
    return true;
}

}  // namespace korvane
