#include <chrono>
#include <cstdlib>

#include "channel/open_failure.h"
#include "history/history_files.h"
#include "platform/tick.h"
#include "platform/wide_text_win.h"
#include "platform/windows_api.h"

namespace korvane {

namespace {

// A file handle, closed on every way out.
class Handle {
public:
    Handle() = default;
    ~Handle() { reset(INVALID_HANDLE_VALUE); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE handle) {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

HistoryFileStatus failed(HistoryFileResult result, const std::string& path, DWORD code) {
    return HistoryFileStatus{result, path, systemErrorText(static_cast<int>(code))};
}

std::wstring wide(const std::string& path) {
    return wideFromUtf8(path).value_or(std::wstring());
}

HANDLE openFile(const std::string& path, DWORD access, DWORD disposition) {
    const std::wstring name = wide(path);
    if (name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Creates `folder` and any missing folder above it.
bool makeFolders(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '\\' || folder[at] == '/') {
            const std::string part = folder.substr(0, at);
            if (part.size() <= 3 && part.find(':') != std::string::npos) {
                continue;  // a drive ("C:" or "C:\") exists or does not; it is not made
            }
            const std::wstring name = wide(part);
            if (!CreateDirectoryW(name.c_str(), nullptr) &&
                GetLastError() != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
    }
    const DWORD attributes = GetFileAttributesW(wide(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Takes the lock on the lock file's first byte, exclusive or shared, waiting at most `waitMs`:
// asked without waiting, once per millisecond.
bool takeLock(HANDLE file, bool exclusive, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const DWORD flags =
        LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? static_cast<DWORD>(LOCKFILE_EXCLUSIVE_LOCK) : 0u);
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(file, flags, 0, 1, 0, &at)) {
            return true;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        sleepMs(1);
    }
}

bool writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(file, bytes.data(), part, &written, nullptr) || written == 0) {
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// The whole file at `path` into `content`; a missing file is empty.
bool readWhole(const std::string& path, std::string& content) {
    content.clear();
    Handle file;
    file.reset(openFile(path, GENERIC_READ, OPEN_EXISTING));
    if (!file.valid()) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    }
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        content.append(buffer, got);
    }
}

// Puts `content` at `path` whole or not at all: written beside it, flushed, moved over it.
bool replaceWhole(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".tmp";
    {
        Handle file;
        file.reset(openFile(temporary, GENERIC_WRITE, CREATE_ALWAYS));
        if (!file.valid() || !writeAll(file.get(), content) || !FlushFileBuffers(file.get())) {
            return false;
        }
    }
    return MoveFileExW(wide(temporary).c_str(), wide(path).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Moves the oldest half of history.jsonl to history.1.jsonl (see the POSIX backend).
HistoryFileStatus rotate(const std::string& folder) {
    const std::string current = historyPath(folder, kHistoryFileName);
    const std::string older = historyPath(folder, kOlderHistoryFileName);
    std::string content;
    if (!readWhole(current, content)) {
        return failed(HistoryFileResult::ReadFailed, current, GetLastError());
    }
    const std::size_t cut = rotationCut(content);
    const std::string_view whole(content);
    if (!replaceWhole(older, whole.substr(0, cut))) {
        return failed(HistoryFileResult::WriteFailed, older, GetLastError());
    }
    if (!replaceWhole(current, whole.substr(cut))) {
        return failed(HistoryFileResult::WriteFailed, current, GetLastError());
    }
    return {};
}

HistoryFileStatus lockFolder(const std::string& folder, bool exclusive, int waitMs, Handle& lock) {
    const std::string path = historyPath(folder, kHistoryLockFileName);
    lock.reset(openFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
    if (!lock.valid()) {
        return failed(HistoryFileResult::CannotCreate, path, GetLastError());
    }
    if (!takeLock(lock.get(), exclusive, waitMs)) {
        return failed(HistoryFileResult::LockTimeout, path, GetLastError());
    }
    return {};
}

}  // namespace

std::string historyPath(const std::string& folder, const char* name) {
    return folder + "\\" + name;
}

std::string defaultHistoryFolder() {
    const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
    if (local == nullptr || local[0] == L'\0') {
        return {};
    }
    return utf8FromWide(local) + "\\KorvaneFwUpdater";
}

HistoryFileStatus appendHistoryLine(const std::string& folder, std::string_view line,
                                    std::uint64_t rotateBytes, int lockWaitMs) {
    if (folder.empty()) {
        return HistoryFileStatus{HistoryFileResult::NoFolder, {}, {}};
    }
    if (!makeFolders(folder)) {
        return failed(HistoryFileResult::CannotCreate, folder, GetLastError());
    }
    // The lock is let go when its handle closes.
    Handle lock;
    HistoryFileStatus status = lockFolder(folder, true, lockWaitMs, lock);
    if (!status.done()) {
        return status;
    }
    const std::string path = historyPath(folder, kHistoryFileName);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) {
        const std::uint64_t size =
            (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (size + line.size() > rotateBytes) {
            status = rotate(folder);
            if (!status.done()) {
                return status;
            }
        }
    }
    Handle file;
    file.reset(openFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS));
    if (!file.valid()) {
        return failed(HistoryFileResult::CannotCreate, path, GetLastError());
    }
    std::string whole;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
        LARGE_INTEGER last{};
        last.QuadPart = size.QuadPart - 1;
        char byte = '\n';
        DWORD got = 0;
        if (SetFilePointerEx(file.get(), last, nullptr, FILE_BEGIN) &&
            ReadFile(file.get(), &byte, 1, &got, nullptr) && got == 1 && byte != '\n') {
            whole.push_back('\n');  // closes a torn last line
        }
    }
    whole.append(line);
    // Only this program writes while holding the lock, so the end found is the end written to.
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_END) ||
        !writeAll(file.get(), whole)) {
        return failed(HistoryFileResult::WriteFailed, path, GetLastError());
    }
    if (!FlushFileBuffers(file.get())) {
        return failed(HistoryFileResult::SyncFailed, path, GetLastError());
    }
    return {};
}

HistoryFileStatus readHistoryFiles(const std::string& folder, std::string& older,
                                   std::string& current, int lockWaitMs) {
    older.clear();
    current.clear();
    if (folder.empty()) {
        return HistoryFileStatus{HistoryFileResult::NoFolder, {}, {}};
    }
    if (GetFileAttributesW(wide(folder).c_str()) == INVALID_FILE_ATTRIBUTES) {
        return {};  // no history yet
    }
    Handle lock;
    HistoryFileStatus status = lockFolder(folder, false, lockWaitMs, lock);
    if (!status.done()) {
        return status;
    }
    const std::string olderPath = historyPath(folder, kOlderHistoryFileName);
    if (!readWhole(olderPath, older)) {
        return failed(HistoryFileResult::ReadFailed, olderPath, GetLastError());
    }
    const std::string currentPath = historyPath(folder, kHistoryFileName);
    if (!readWhole(currentPath, current)) {
        return failed(HistoryFileResult::ReadFailed, currentPath, GetLastError());
    }
    return {};
}

}  // namespace korvane
