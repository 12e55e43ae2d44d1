#include "controller/Transfer.h"

#include <QSaveFile>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <wakeward/Engine.h>
#include <wakeward/Text.h>

namespace wakeward::Transfer {

Result<std::string> profilesJson(const std::vector<Profile>& profiles) {
    auto json = toJson(profiles);
    if (!json)
        return json.error();
    // Keys come out sorted: JSON objects are ordered maps.
    return dumpJson(*json, true);
}

Result<std::vector<Profile>> importableProfiles(std::string_view text) {
    auto parsed = parseJson(text);
    if (!parsed)
        return parsed.error();
    if (!parsed->is_array())
        return Error{"The file must hold a list of profiles."};
    if (parsed->size() > maxImportedProfiles)
        return Error{"The file holds " + std::to_string(parsed->size()) + " profiles; at most " +
                     std::to_string(maxImportedProfiles) + " can be imported at once."};
    auto decoded = fromJson<std::vector<Profile>>(*parsed);
    if (!decoded)
        return decoded.error();
    std::vector<Profile> profiles = std::move(decoded).value();
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const Profile& profile = profiles[i];
        const std::string which = "Profile " + std::to_string(i + 1);
        if (auto problem = Text::nameProblem(profile.name))
            return Error{which + " " + *problem + "."};
        if (!std::isfinite(profile.minutes) || profile.minutes < 1 || profile.minutes > 1440)
            return Error{which + " must last from 1 to 1440 minutes."};
    }
    for (Profile& profile : profiles)
        profile.id = Uuid::generate();
    return profiles;
}

std::string isoUtc(Instant instant) {
    const double seconds = std::floor(instant.unix());
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15)
        return "";
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&time, &parts))
        return "";
    char buffer[64];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return std::string(buffer, length);
}

namespace {

std::string wholeSeconds(double duration) {
    if (std::isnan(duration))
        return "0";
    // Truncation toward zero; values beyond the 64-bit range are held at its ends.
    constexpr double limit = 9.2e18;
    const double truncated = std::trunc(std::clamp(duration, -limit, limit));
    return std::to_string(static_cast<long long>(truncated));
}

} // namespace

std::string historyLine(const HistoryEvent& event) {
    std::string line;
    for (const std::string& field :
         {isoUtc(event.date), event.type, event.reason, event.battery, wholeSeconds(event.duration)}) {
        if (!line.empty())
            line += ',';
        line += Engine::csv(field);
    }
    return line;
}

std::string historyCsv(const std::vector<HistoryEvent>& history) {
    std::string text = "Date,Event,Reason,Battery,Duration seconds\n";
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += historyLine(history[i]);
    }
    return text;
}

Result<std::string> readFile(const std::filesystem::path& path, std::size_t limit) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer and would hang the caller.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Error{"The file could not be opened: " + std::string(std::strerror(errno))};
    const auto closer = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return Error{"The file could not be read: " + std::string(std::strerror(errno))};
    if (!S_ISREG(info.st_mode))
        return Error{"\"" + (path.has_filename() ? path.filename() : path).string() +
                     "\" is not an ordinary file."};
    const Error tooLarge{"The file is larger than " + std::to_string(limit / 1024) + " KB."};
    if (static_cast<std::uintmax_t>(info.st_size) > limit)
        return tooLarge;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Read one byte past the limit so that a file that grew meanwhile is still refused.
    std::string bytes(limit + 1, '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Error{"The file could not be read: " + std::string(std::strerror(errno))};
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > limit)
        return tooLarge;
    bytes.resize(got);
    return bytes;
}

Status writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    QSaveFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly))
        return Error{file.errorString().toStdString()};
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        const std::string why = file.errorString().toStdString();
        file.cancelWriting();
        return Error{why};
    }
    if (!file.commit())
        return Error{file.errorString().toStdString()};
    return {};
}

} // namespace wakeward::Transfer
