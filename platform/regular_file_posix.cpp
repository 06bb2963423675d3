#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "platform/file_descriptor_posix.h"
#include "platform/regular_file.h"

namespace korvane {
namespace {

FileCause errorCause(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FileCause::Missing;
        case EACCES:
        case EPERM:
            return FileCause::PermissionDenied;
        case ENAMETOOLONG:
            return FileCause::PathTooLong;
        case EISDIR:
            return FileCause::Directory;
        default:
            return FileCause::ReadFailed;
    }
}

FileCause typeCause(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileCause::None;
    }
    if (S_ISDIR(mode)) {
        return FileCause::Directory;
    }
    if (S_ISFIFO(mode)) {
        return FileCause::Fifo;
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return FileCause::Device;
    }
    return FileCause::NotRegular;
}

}  // namespace

bool readRegularFile(const std::string& path, std::size_t maxBytes,
                     std::vector<std::uint8_t>& bytes, FileFailure& failure) {
    failure = FileFailure{};
    failure.path = path;
    // A path cut at an embedded NUL would name another file.
    if (path.empty() || path.find('\0') != std::string::npos) {
        return failure.record(FileCause::Missing, ENOENT);
    }
    // Looked at before it is opened: opening a named pipe or a device can wait or act.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return failure.record(errorCause(errno), errno);
    }
    if (typeCause(info.st_mode) != FileCause::None) {
        return failure.record(typeCause(info.st_mode), 0);
    }
    // Non-blocking, in case something else was put in its place since.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        return failure.record(errorCause(errno), errno);
    }
    if (::fstat(fd.get(), &info) != 0) {
        return failure.record(FileCause::ReadFailed, errno);
    }
    if (typeCause(info.st_mode) != FileCause::None) {
        return failure.record(typeCause(info.st_mode), 0);
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > maxBytes) {
        failure.size = size;
        return failure.record(FileCause::TooLarge, 0);
    }
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return failure.record(FileCause::ReadFailed, ENOMEM);
    }
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd.get(), buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failure.record(errorCause(errno) == FileCause::Directory ? FileCause::Directory
                                                                            : FileCause::ReadFailed,
                                  errno);
        }
        if (n == 0) {
            return failure.record(FileCause::ReadFailed, 0);  // it shrank while being read
        }
        got += static_cast<std::size_t>(n);
    }
    bytes = std::move(buffer);
    return true;
}

}  // namespace korvane
