#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "channel/traffic_log/traffic_log_open.h"

namespace korvane {

std::FILE* openTrafficLogFile(const std::string& path, int& systemCode) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The folder by a descriptor of its own, so that the file is created in the folder looked at.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0) {
        systemCode = errno;
        return nullptr;
    }
    const int fd =
        ::openat(folderFd, name.c_str(),
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
    systemCode = fd < 0 ? errno : 0;
    ::close(folderFd);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "a");
    if (file == nullptr) {
        systemCode = errno;
        ::close(fd);
    }
    return file;
}

}  // namespace korvane
