#include "controller/DriveReader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wakeward {

namespace {

Error systemError(int error) {
    return Error{std::strerror(error)};
}

} // namespace

Status touchDriveFile(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOATIME | O_CLOEXEC | O_NOCTTY);
    // O_NOATIME is refused for files the user does not own; read them plainly then.
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return systemError(errno);
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        return systemError(EISDIR);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    std::array<char, 4096> buffer{};
    ssize_t got = 0;
    do {
        got = ::read(fd, buffer.data(), buffer.size());
    } while (got < 0 && errno == EINTR);
    const int readError = got < 0 ? errno : 0;
    ::close(fd);
    if (readError != 0)
        return systemError(readError);
    return {};
}

} // namespace wakeward
