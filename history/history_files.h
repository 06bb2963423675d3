#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// The history's files in its folder: the records, the older half after a rotation, and the file
// whose lock every writer and reader takes (it is never replaced, so the lock always means the
// same thing while the record files are swapped during a rotation).
inline constexpr const char* kHistoryFileName = "history.jsonl";
inline constexpr const char* kOlderHistoryFileName = "history.1.jsonl";
inline constexpr const char* kHistoryLockFileName = "history.lock";
// Past this size the oldest half of history.jsonl moves to history.1.jsonl.
inline constexpr std::uint64_t kHistoryRotateBytes = 5u * 1024u * 1024u;
// The longest a writer or reader waits for another one's lock.
inline constexpr int kHistoryLockWaitMs = 1000;

enum class HistoryFileResult {
    Done,
    NoFolder,      // no folder to keep the history in (no home, no state folder)
    CannotCreate,  // the folder or a file could not be created or opened
    LockTimeout,   // another program held the lock for longer than the wait
    ReadFailed,
    WriteFailed,
    SyncFailed,  // written, but not confirmed on disk
};

// How a file operation on the history went: the result, the file and the system's words.
struct HistoryFileStatus {
    HistoryFileResult result = HistoryFileResult::Done;
    std::string path;
    std::string systemText;

    bool done() const { return result == HistoryFileResult::Done; }
};

// Appends `line` (one whole record ending in "\n") to history.jsonl in `folder`, creating the
// folder and the file when missing, under the exclusive lock (waiting at most `lockWaitMs`). When
// the file would grow past `rotateBytes`, its oldest half first moves to history.1.jsonl. A last
// line left torn by a program that died mid-write is closed with a line end first, so the new
// record starts a line of its own. Flushed to disk before it returns.
HistoryFileStatus appendHistoryLine(const std::string& folder, std::string_view line,
                                    std::uint64_t rotateBytes = kHistoryRotateBytes,
                                    int lockWaitMs = kHistoryLockWaitMs);

// Reads history.1.jsonl and history.jsonl of `folder` under the shared lock. A missing folder or
// file is an empty history.
HistoryFileStatus readHistoryFiles(const std::string& folder, std::string& older,
                                   std::string& current, int lockWaitMs = kHistoryLockWaitMs);

// Where a rotation cuts `content`: the start of the first line that begins at or after its middle,
// so the older part holds whole lines only. content.size() when no line begins there.
std::size_t rotationCut(std::string_view content);

// The folder the history lives in: $XDG_STATE_HOME/korvane-updater (default
// ~/.local/state/korvane-updater) on Linux, %LOCALAPPDATA%\KorvaneFwUpdater on Windows. Empty
// when the environment names no such place.
std::string defaultHistoryFolder();

// The folder's file `name`, joined with the system's separator.
std::string historyPath(const std::string& folder, const char* name);

}  // namespace korvane
