#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

// Why a file could not be read.
enum class FileCause {
    None,
    Missing,           // no such file (or a folder on the way is missing)
    PermissionDenied,  // the user may not read it
    Directory,         // a folder
    Fifo,              // a named pipe: reading it would wait for a writer
    Device,            // a character or block device
    NotRegular,        // a socket or anything else that is no regular file
    PathTooLong,       // the path is longer than the system (or the caller) takes
    TooLarge,          // more bytes than the caller takes
    ReadFailed,        // opened, but reading it failed
};

struct FileFailure {
    FileCause cause = FileCause::None;
    int systemCode = 0;      // errno or GetLastError; 0 when no system call failed
    std::string path;        // as given
    std::uint64_t size = 0;  // TooLarge: the file's size

    bool failed() const { return cause != FileCause::None; }
    // Records the cause and the system's error number; false, for the reader to return.
    bool record(FileCause why, int code) {
        cause = why;
        systemCode = code;
        return false;
    }
};

// Reads the whole regular file at `path`, at most `maxBytes` bytes of it. Anything that is not a
// regular file (a folder, a named pipe, a device) is refused before it is read, so the call never
// waits for a writer or a device. True with the bytes in `bytes`; false with the cause in
// `failure` (and `bytes` untouched).
bool readRegularFile(const std::string& path, std::size_t maxBytes,
                     std::vector<std::uint8_t>& bytes, FileFailure& failure);

}  // namespace korvane
