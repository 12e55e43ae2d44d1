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
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer and hang the tick.
    constexpr int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = ::open(path.c_str(), flags | O_NOATIME);
    // O_NOATIME is refused for files the user does not own; read them plainly then.
    if (fd < 0 && errno == EPERM)
        fd = ::open(path.c_str(), flags);
    if (fd < 0)
        return systemError(errno);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int statError = errno;
        ::close(fd);
        return systemError(statError);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return Error{"\"" + (path.has_filename() ? path.filename() : path).string() +
                     "\" is not an ordinary file."};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
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
