#include "platform/ProcessIdentity.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace wakeward::process {

ssize_t readAt(int dirFd, const char* relative, char* buffer, std::size_t cap) {
    const int fd = ::openat(dirFd, relative, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    std::size_t total = 0;
    while (total < cap) {
        const ssize_t n = ::read(fd, buffer + total, cap - total);
        if (n < 0) {
            ::close(fd);
            return -1;
        }
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return static_cast<ssize_t>(total);
}

std::string baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string identify(int procFd, int pid) {
    char path[64];
    char buffer[4096];
    std::snprintf(path, sizeof path, "%d/exe", pid);
    const ssize_t linkLength = ::readlinkat(procFd, path, buffer, sizeof buffer);
    if (linkLength > 0) {
        std::string_view target(buffer, static_cast<std::size_t>(linkLength));
        // The kernel marks an executable replaced on disk (a package upgrade) this way.
        constexpr std::string_view deleted = " (deleted)";
        if (target.size() > deleted.size() &&
            target.substr(target.size() - deleted.size()) == deleted)
            target.remove_suffix(deleted.size());
        return baseName(target);
    }

    std::snprintf(path, sizeof path, "%d/cmdline", pid);
    const ssize_t n = readAt(procFd, path, buffer, sizeof buffer);
    if (n <= 0)
        return {};
    std::string_view cmdline(buffer, static_cast<std::size_t>(n));
    std::string_view argv0 = cmdline.substr(0, cmdline.find('\0'));
    const std::string_view after =
        argv0.size() < cmdline.size() ? cmdline.substr(argv0.size()) : std::string_view();
    const bool singleString = after.find_first_not_of('\0') == std::string_view::npos;
    // A process that rewrote its command line into one string (setproctitle) keeps its name before
    // the first space.
    if (singleString)
        argv0 = argv0.substr(0, argv0.find(' '));
    return baseName(argv0);
}

} // namespace wakeward::process
