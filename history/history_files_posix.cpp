#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "channel/open_failure.h"
#include "history/history_files.h"
#include "platform/file_descriptor_posix.h"
#include "platform/tick.h"

namespace korvane {

namespace {

HistoryFileStatus failed(HistoryFileResult result, const std::string& path, int code) {
    return HistoryFileStatus{result, path, systemErrorText(code)};
}

// Creates `folder` and any missing folder above it, for the user alone.
bool makeFolders(const std::string& folder) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at == folder.size() || folder[at] == '/') {
            const std::string part = folder.substr(0, at);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Takes the folder's lock, exclusive or shared, waiting at most `waitMs`. flock has no time limit
// of its own, so it is asked without waiting, once per millisecond.
bool takeLock(int fd, int operation, int waitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        sleepMs(1);
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The whole file at `path` into `content`; a missing file is empty.
bool readWhole(const std::string& path, std::string& content) {
    content.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        return errno == ENOENT;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof(buffer));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            return true;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
}

// Puts `content` at `path` whole or not at all: written beside it, flushed, renamed over it.
bool replaceWhole(const std::string& path, std::string_view content) {
    const std::string temporary = path + ".tmp";
    {
        FileDescriptor file(
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!file.valid() || !writeAll(file.get(), content) || ::fsync(file.get()) != 0) {
            return false;
        }
    }
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

void syncFolder(const std::string& folder) {
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) {
        ::fsync(directory.get());
    }
}

// Moves the oldest half of history.jsonl to history.1.jsonl. Should the program die between the
// two replacements, both files hold the older half for a while, which the reader takes once.
HistoryFileStatus rotate(const std::string& folder) {
    const std::string current = historyPath(folder, kHistoryFileName);
    const std::string older = historyPath(folder, kOlderHistoryFileName);
    std::string content;
    if (!readWhole(current, content)) {
        return failed(HistoryFileResult::ReadFailed, current, errno);
    }
    const std::size_t cut = rotationCut(content);
    const std::string_view whole(content);
    if (!replaceWhole(older, whole.substr(0, cut))) {
        return failed(HistoryFileResult::WriteFailed, older, errno);
    }
    if (!replaceWhole(current, whole.substr(cut))) {
        return failed(HistoryFileResult::WriteFailed, current, errno);
    }
    syncFolder(folder);
    return {};
}

// Opens the folder's lock file and takes its lock.
HistoryFileStatus lockFolder(const std::string& folder, int operation, int waitMs,
                             FileDescriptor& lock) {
    const std::string path = historyPath(folder, kHistoryLockFileName);
    lock.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock.valid()) {
        return failed(HistoryFileResult::CannotCreate, path, errno);
    }
    if (!takeLock(lock.get(), operation, waitMs)) {
        return failed(HistoryFileResult::LockTimeout, path, errno);
    }
    return {};
}

}  // namespace

std::string historyPath(const std::string& folder, const char* name) {
    return folder + "/" + name;
}

std::string defaultHistoryFolder() {
    // Only an absolute XDG_STATE_HOME counts; a relative one is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/korvane-updater";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/korvane-updater";
    }
    return {};
}

HistoryFileStatus appendHistoryLine(const std::string& folder, std::string_view line,
                                    std::uint64_t rotateBytes, int lockWaitMs) {
    if (folder.empty()) {
        return HistoryFileStatus{HistoryFileResult::NoFolder, {}, {}};
    }
    if (!makeFolders(folder)) {
        return failed(HistoryFileResult::CannotCreate, folder, errno);
    }
    FileDescriptor lock;
    HistoryFileStatus status = lockFolder(folder, LOCK_EX, lockWaitMs, lock);
    if (!status.done()) {
        return status;
    }
    // The lock goes with the descriptor when it closes.
    const std::string path = historyPath(folder, kHistoryFileName);
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 &&
        static_cast<std::uint64_t>(info.st_size) + line.size() > rotateBytes) {
        status = rotate(folder);
        if (!status.done()) {
            return status;
        }
    }
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (!file.valid()) {
        return failed(HistoryFileResult::CannotCreate, path, errno);
    }
    std::string whole;
    const off_t size = ::lseek(file.get(), 0, SEEK_END);
    char last = '\n';
    if (size > 0 && ::pread(file.get(), &last, 1, size - 1) == 1 && last != '\n') {
        whole.push_back('\n');  // closes a torn last line
    }
    whole.append(line);
    if (!writeAll(file.get(), whole)) {
        return failed(HistoryFileResult::WriteFailed, path, errno);
    }
    if (::fdatasync(file.get()) != 0) {
        return failed(HistoryFileResult::SyncFailed, path, errno);
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
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return {};  // no history yet
    }
    FileDescriptor lock;
    HistoryFileStatus status = lockFolder(folder, LOCK_SH, lockWaitMs, lock);
    if (!status.done()) {
        return status;
    }
    const std::string olderPath = historyPath(folder, kOlderHistoryFileName);
    if (!readWhole(olderPath, older)) {
        return failed(HistoryFileResult::ReadFailed, olderPath, errno);
    }
    const std::string currentPath = historyPath(folder, kHistoryFileName);
    if (!readWhole(currentPath, current)) {
        return failed(HistoryFileResult::ReadFailed, currentPath, errno);
    }
    return {};
}

}  // namespace korvane
