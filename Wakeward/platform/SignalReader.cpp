#include "platform/SignalReader.h"

#include "platform/ActiveWindow.h"
#include "platform/AudioOutput.h"
#include "platform/DesktopEntries.h"
#include "platform/ProcessIdentity.h"

#include <QString>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace wakeward {
namespace {

// A whole small file (up to cap bytes) without its trailing line ends; absent when unreadable.
// Read a page at a time, so a generous cap (the mount table) costs nothing when unused.
// The text of an open file from where it stands, up to `cap` bytes, without its final line breaks.
std::optional<std::string> readAll(int fd, std::size_t cap) {
    std::string text;
    char page[4096];
    while (text.size() < cap) {
        const ssize_t n = ::read(fd, page, std::min(sizeof page, cap - text.size()));
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        text.append(page, static_cast<std::size_t>(n));
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::optional<std::string> readText(const fs::path& path, std::size_t cap = 4096) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    auto text = readAll(fd, cap);
    ::close(fd);
    return text;
}

template <typename T> std::optional<T> parseNumber(std::string_view text, int base = 10) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n'))
        text.remove_suffix(1);
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

template <typename T> std::optional<T> readNumber(const fs::path& path, int base = 10) {
    const auto text = readText(path, 64);
    return text ? parseNumber<T>(*text, base) : std::nullopt;
}

// Entries of a folder in name order; empty when it cannot be listed.
std::vector<fs::path> sortedEntries(const fs::path& dir, bool* listed = nullptr) {
    std::vector<fs::path> entries;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (listed != nullptr)
        *listed = !ec;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Mount sources escape space, tab, line feed and backslash as three octal digits.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                         (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    while (!text.empty()) {
        const auto start = text.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        text.remove_prefix(start);
        const auto end = text.find(' ');
        fields.push_back(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    }
    return fields;
}

// The base name of a symbolic link's target; empty when it is not a readable link.
std::string readLinkName(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.filename().string();
}

fs::path resolved(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? path.lexically_normal() : real;
}

bool isBuiltInPanel(std::string_view connectorType) {
    return connectorType == "eDP" || connectorType == "LVDS" || connectorType == "DSI";
}

} // namespace

SignalReader::SignalReader() : SignalReader("/proc", "/sys", "/dev") {}

SignalReader::SignalReader(fs::path procRoot, fs::path sysRoot, fs::path devRoot)
    : SignalReader(std::move(procRoot), std::move(sysRoot), std::move(devRoot), Options{}) {}

SignalReader::SignalReader(fs::path procRoot, fs::path sysRoot, fs::path devRoot, Options options)
    : m_proc(std::move(procRoot)), m_sys(std::move(sysRoot)), m_dev(std::move(devRoot)),
      m_options(std::move(options)) {
    if (m_options.selfPid == 0)
        m_options.selfPid = static_cast<int>(::getpid());
    if (!m_options.uid)
        m_options.uid = static_cast<unsigned>(::getuid());
    if (!m_options.clock)
        m_options.clock = [] { return std::chrono::steady_clock::now(); };
}

SignalReader::~SignalReader() {
    if (m_mountTable >= 0)
        ::close(m_mountTable);
}

Snapshot SignalReader::read(bool expensive) {
    Snapshot snapshot;
    scanProcesses();
    for (const auto& [pid, process] : m_processes) {
        if (!process.identifier.empty())
            snapshot.running.insert(process.identifier);
    }
    snapshot.frontmost = frontmost();
    snapshot.externalDisplay = externalDisplay();
    readPower(snapshot);
    snapshot.volumes = volumes();
    if (expensive) {
        snapshot.usb = usbDevices();
        snapshot.audio = audioName();
        snapshot.cpu = cpu();
        snapshot.traffic = traffic();
    }
    return snapshot;
}

void SignalReader::scanProcesses() {
    // Listing /proc is the dearest reading of a tick. While the number of tasks and the last pid
    // handed out are both unchanged, no task was created, so none ended either, and the list
    // would come out as it is. A process still to be read again is waited for all the same.
    auto counters = readText(m_proc / "loadavg", 128);
    if (counters) {
        // "0.52 0.58 0.59 1/467 12345": load averages, then running/all tasks and the last pid.
        const auto tasks = counters->find('/');
        counters =
            tasks == std::string::npos ? std::nullopt : std::optional(counters->substr(tasks + 1));
    }
    if (counters && m_scan > 0 && counters == m_taskCounters &&
        std::all_of(m_processes.begin(), m_processes.end(),
                    [](const auto& item) { return item.second.settled; }))
        return;
    m_taskCounters = std::move(counters);
    DIR* dir = ::opendir(m_proc.c_str());
    if (dir == nullptr) {
        m_processes.clear();
        return;
    }
    const int procFd = ::dirfd(dir);
    ++m_scan;
    // Processes already running when the reader starts have long since exec'd; later ones may
    // still be a launcher about to exec the real program.
    const bool firstScan = m_scan == 1;
    while (const dirent* entry = ::readdir(dir)) {
        const auto pid = parseNumber<int>(entry->d_name);
        if (!pid || *pid <= 0)
            continue;
        // procfs gives every new process a directory with a fresh inode, so pid and inode name one
        // process: an unchanged pair needs no further read. Checking the start time in
        // /proc/PID/stat would cost more than reading the identifier again when the inode changes.
        auto [it, inserted] = m_processes.try_emplace(*pid);
        Process& process = it->second;
        if (inserted || process.inode != entry->d_ino) {
            process = Process{};
            process.inode = entry->d_ino;
            process.identifier = process::identify(procFd, *pid);
            process.settled = firstScan;
        } else if (!process.settled) {
            // Seen once more after its first sighting: a launcher has exec'd by now.
            process.identifier = process::identify(procFd, *pid);
            process.settled = true;
        }
        process.seen = m_scan;
    }
    ::closedir(dir);
    std::erase_if(m_processes, [this](const auto& item) { return item.second.seen != m_scan; });
}

std::string SignalReader::identifierOf(int pid) {
    if (const auto it = m_processes.find(pid); it != m_processes.end())
        return it->second.identifier;
    DIR* dir = ::opendir(m_proc.c_str());
    if (dir == nullptr)
        return {};
    std::string identifier = process::identify(::dirfd(dir), pid);
    ::closedir(dir);
    return identifier;
}

std::optional<unsigned> SignalReader::processUid(int pid, Process& process) const {
    if (process.uid)
        return process.uid;
    const auto status = readText(m_proc / std::to_string(pid) / "status", 16384);
    if (!status)
        return std::nullopt;
    const auto line = status->find("\nUid:");
    if (line == std::string::npos)
        return std::nullopt;
    const auto start = status->find_first_not_of(" \t", line + 5);
    const auto end = status->find_first_of(" \t\n", start);
    if (start == std::string::npos)
        return std::nullopt;
    process.uid = parseNumber<unsigned>(std::string_view(*status).substr(start, end - start));
    return process.uid;
}

// Flatpak runs each application in a systemd scope named app-flatpak-ID-PID.scope.
const std::string& SignalReader::flatpakOf(int pid, Process& process) const {
    if (process.flatpak)
        return *process.flatpak;
    process.flatpak.emplace();
    const auto cgroup = readText(m_proc / std::to_string(pid) / "cgroup", 8192);
    constexpr std::string_view prefix = "/app-flatpak-";
    const auto start = cgroup ? cgroup->find(prefix) : std::string::npos;
    if (start == std::string::npos)
        return *process.flatpak;
    const auto end = cgroup->find(".scope", start);
    if (end == std::string::npos)
        return *process.flatpak;
    std::string_view name =
        std::string_view(*cgroup).substr(start + prefix.size(), end - start - prefix.size());
    const auto dash = name.rfind('-');
    if (dash == std::string_view::npos || dash == 0 ||
        !parseNumber<unsigned long>(name.substr(dash + 1)))
        return *process.flatpak;
    process.flatpak->assign(name.substr(0, dash));
    return *process.flatpak;
}

std::string SignalReader::frontmost() {
    std::optional<int> pid;
    if (m_options.activeWindowPid) {
        pid = m_options.activeWindowPid();
    } else if (ActiveWindow::isX11Session()) {
        if (!m_activeWindow)
            m_activeWindow = std::make_unique<ActiveWindow>();
        pid = m_activeWindow->pid();
    }
    return pid && *pid > 0 ? identifierOf(*pid) : std::string();
}

void SignalReader::readPower(Snapshot& snapshot) const {
    bool listed = false;
    const auto supplies = sortedEntries(m_sys / "class" / "power_supply", &listed);
    if (!listed)
        return;
    bool mainsOnline = false;
    bool systemBattery = false;
    std::optional<double> battery;
    for (const auto& supply : supplies) {
        const std::string type = readText(supply / "type").value_or("");
        if (type == "Mains" || type.rfind("USB", 0) == 0) {
            if (readNumber<int>(supply / "online").value_or(0) == 1)
                mainsOnline = true;
            continue;
        }
        if (type != "Battery" || readText(supply / "scope").value_or("System") == "Device")
            continue;
        systemBattery = true;
        std::optional<double> percent;
        if (const auto capacity = readNumber<int>(supply / "capacity")) {
            percent = *capacity;
        } else {
            for (const auto& [now, full] :
                 {std::pair{"energy_now", "energy_full"}, std::pair{"charge_now", "charge_full"}}) {
                const auto nowValue = readNumber<std::uint64_t>(supply / now);
                const auto fullValue = readNumber<std::uint64_t>(supply / full);
                if (nowValue && fullValue && *fullValue > 0) {
                    percent =
                        static_cast<double>(*nowValue) / static_cast<double>(*fullValue) * 100.0;
                    break;
                }
            }
        }
        // Worn batteries can report more than their full charge.
        if (percent)
            battery = std::clamp(*percent, 0.0, 100.0);
    }
    snapshot.ac = mainsOnline || !systemBattery;
    snapshot.battery = battery;
}

bool SignalReader::externalDisplay() const {
    for (const auto& connector : sortedEntries(m_sys / "class" / "drm")) {
        const std::string name = connector.filename().string();
        if (name.rfind("card", 0) != 0)
            continue;
        const auto firstDash = name.find('-');
        const auto lastDash = name.rfind('-');
        if (firstDash == std::string::npos || lastDash <= firstDash)
            continue;
        const std::string_view type =
            std::string_view(name).substr(firstDash + 1, lastDash - firstDash - 1);
        if (isBuiltInPanel(type))
            continue;
        if (readText(connector / "status").value_or("") == "connected" &&
            readText(connector / "enabled").value_or("") == "enabled")
            return true;
    }
    return false;
}

std::set<std::string> SignalReader::volumes() {
    // Resolving the sources and links costs a readlink per path component; the answer can only
    // change with the mount table or the by-uuid folder, so it is kept until one of them does.
    const fs::path byUuid = m_dev / "disk" / "by-uuid";
    const auto mountinfo = mountTable();
    struct stat folder {};
    VolumeKey key;
    key.mountinfo = mountinfo;
    if (::stat(byUuid.c_str(), &folder) == 0)
        key.folder = {static_cast<std::uint64_t>(folder.st_ino),
                      static_cast<std::uint64_t>(folder.st_mtim.tv_sec),
                      static_cast<std::uint64_t>(folder.st_mtim.tv_nsec)};
    if (m_volumes && m_volumes->first == key)
        return m_volumes->second;
    auto uuids = resolveVolumes(byUuid, mountinfo);
    m_volumes.emplace(std::move(key), uuids);
    return uuids;
}

std::optional<std::string> SignalReader::mountTable() {
    // procfs marks its mount table with an exceptional condition at every mount change, so an
    // unchanged table is not generated again: after the process scan it is the dearest reading of
    // a pass. Anything else (a fixture) is read each time.
    constexpr std::size_t cap = 1 << 20;
    if (m_mountTable == kUnopened) {
        const int fd = ::open((m_proc / "self" / "mountinfo").c_str(), O_RDONLY | O_CLOEXEC);
        struct statfs system {};
        m_mountTable = fd >= 0 && ::fstatfs(fd, &system) == 0 && system.f_type == PROC_SUPER_MAGIC
                           ? fd
                           : kUnwatched;
        if (m_mountTable == kUnwatched && fd >= 0)
            ::close(fd);
    }
    if (m_mountTable == kUnwatched)
        return readText(m_proc / "self" / "mountinfo", cap);
    pollfd change{m_mountTable, POLLPRI, 0};
    if (m_volumes && ::poll(&change, 1, 0) == 0)
        return m_volumes->first.mountinfo;
    if (::lseek(m_mountTable, 0, SEEK_SET) != 0)
        return std::nullopt;
    return readAll(m_mountTable, cap);
}

std::set<std::string>
SignalReader::resolveVolumes(const fs::path& byUuid,
                             const std::optional<std::string>& mountinfo) const {
    std::set<std::string> uuids;
    std::map<fs::path, std::string> byTarget;
    for (const auto& link : sortedEntries(byUuid))
        byTarget.emplace(resolved(link), link.filename().string());
    if (byTarget.empty() || !mountinfo)
        return uuids;
    std::string_view rest(*mountinfo);
    while (!rest.empty()) {
        const auto lineEnd = rest.find('\n');
        const std::string_view line = rest.substr(0, lineEnd);
        rest = lineEnd == std::string_view::npos ? std::string_view() : rest.substr(lineEnd + 1);
        // After the " - " separator come the filesystem type, the mount source and the super
        // options.
        const auto separator = line.find(" - ");
        if (separator == std::string_view::npos)
            continue;
        std::string_view tail = line.substr(separator + 3);
        const auto typeEnd = tail.find(' ');
        if (typeEnd == std::string_view::npos)
            continue;
        tail.remove_prefix(typeEnd + 1);
        const std::string source = unescapeMountField(tail.substr(0, tail.find(' ')));
        constexpr std::string_view devPrefix = "/dev/";
        if (source.rfind(devPrefix, 0) != 0)
            continue;
        auto found = byTarget.find(resolved(m_dev / source.substr(devPrefix.size())));
        if (found == byTarget.end()) {
            // A root mounted without an initramfs shows the source /dev/root, which has no node;
            // its device number (the third field) still names the device in /sys/dev/block.
            const auto fields = splitFields(line.substr(0, separator));
            if (fields.size() > 2) {
                const auto device = readLinkName(m_sys / "dev" / "block" / std::string(fields[2]));
                if (!device.empty())
                    found = byTarget.find(resolved(m_dev / device));
            }
        }
        if (found != byTarget.end())
            uuids.insert(found->second);
    }
    return uuids;
}

std::vector<std::string> SignalReader::usbDevices() {
    std::vector<std::string> products;
    for (const auto& device : sortedEntries(m_sys / "bus" / "usb" / "devices")) {
        const std::string name = device.filename().string();
        std::error_code ec;
        if (name.rfind("usb", 0) == 0 || !fs::exists(device / "idVendor", ec))
            continue;
        if (auto product = readText(device / "product"))
            products.push_back(std::move(*product));
    }
    return products;
}

std::optional<std::string> SignalReader::audioName() {
    return m_options.audioSource ? m_options.audioSource() : AudioOutput::defaultSinkDescription();
}

std::optional<double> SignalReader::cpu() {
    const auto stat = readText(m_proc / "stat", 8192);
    if (!stat || stat->rfind("cpu ", 0) != 0)
        return std::nullopt;
    CpuSample sample{};
    std::string_view rest = std::string_view(*stat).substr(4, stat->find('\n') - 4);
    std::size_t count = 0;
    for (; count < sample.size(); ++count) {
        const auto start = rest.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        rest.remove_prefix(start);
        const auto end = rest.find(' ');
        const auto value = parseNumber<std::uint64_t>(rest.substr(0, end));
        if (!value)
            return std::nullopt;
        sample[count] = *value;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    if (count < 4)
        return std::nullopt;

    const auto previous = std::exchange(m_lastCpu, sample);
    if (!previous)
        return std::nullopt;
    std::array<double, 8> delta{};
    for (std::size_t i = 0; i < sample.size(); ++i) {
        // Counters can go backwards (iowait does, by design); that counts as no time, never as a
        // wrap.
        delta[i] =
            sample[i] >= (*previous)[i] ? static_cast<double>(sample[i] - (*previous)[i]) : 0.0;
    }
    const double busy = delta[0] + delta[1] + delta[2] + delta[5] + delta[6] + delta[7];
    const double idle = delta[3] + delta[4];
    const double total = busy + idle;
    if (total <= 0)
        return std::nullopt;
    return busy / total * 100.0;
}

std::optional<double> SignalReader::traffic() {
    bool listed = false;
    const auto interfaces = sortedEntries(m_sys / "class" / "net", &listed);
    if (!listed || interfaces.empty())
        return std::nullopt;
    std::uint64_t sum = 0;
    for (const auto& interface : interfaces) {
        constexpr unsigned loopback = 0x8;
        if (readNumber<unsigned>(interface / "flags", 16).value_or(0) & loopback)
            continue;
        const auto rx = readNumber<std::uint64_t>(interface / "statistics" / "rx_bytes");
        const auto tx = readNumber<std::uint64_t>(interface / "statistics" / "tx_bytes");
        sum += rx.value_or(0) + tx.value_or(0);
    }
    const auto now = m_options.clock();
    const auto lastBytes = std::exchange(m_lastBytes, sum);
    const auto lastTime = std::exchange(m_lastTime, now);
    // A smaller sum (a counter reset, an interface gone) starts a new baseline.
    if (!lastBytes || !lastTime || sum < *lastBytes)
        return std::nullopt;
    const double seconds = std::max(std::chrono::duration<double>(now - *lastTime).count(), 0.1);
    return static_cast<double>(sum - *lastBytes) / seconds / 1024.0;
}

std::map<int, std::string> SignalReader::applicationNames() {
    scanProcesses();
    const auto dirs = m_options.applicationDirs.empty() ? DesktopEntries::defaultDirs()
                                                        : m_options.applicationDirs;
    const auto locale =
        m_options.locale.empty() ? DesktopEntries::defaultLocale() : m_options.locale;
    std::map<std::string, std::string> nameByProgram;
    std::map<std::string, std::string> nameByFlatpak;
    for (auto& app : DesktopEntries::load(dirs, locale)) {
        if (!app.flatpak.empty())
            nameByFlatpak.emplace(std::move(app.flatpak), std::move(app.name));
        else
            nameByProgram.emplace(std::move(app.program), std::move(app.name));
    }

    // A process belongs to the entry that starts its program, or to the Flatpak whose sandbox
    // it runs in (not counting the sandbox's own helpers).
    auto entryName = [&](int pid, Process& process) -> const std::string* {
        if (const auto found = nameByProgram.find(process.identifier); found != nameByProgram.end())
            return &found->second;
        if (nameByFlatpak.empty() || process.identifier == "bwrap" ||
            process.identifier == "xdg-dbus-proxy")
            return nullptr;
        const std::string& flatpak = flatpakOf(pid, process);
        const auto found = flatpak.empty() ? nameByFlatpak.end() : nameByFlatpak.find(flatpak);
        return found != nameByFlatpak.end() ? &found->second : nullptr;
    };
    std::map<int, std::string> names;
    for (auto& [pid, process] : m_processes) {
        if (process.identifier.empty())
            continue;
        const std::string* name = entryName(pid, process);
        if (name != nullptr && processUid(pid, process) == m_options.uid)
            names.emplace(pid, *name);
    }
    return names;
}

std::vector<RunningApp> SignalReader::runningApps() {
    const auto names = applicationNames();
    const std::string self = identifierOf(m_options.selfPid);
    std::vector<RunningApp> apps;
    std::set<std::string> taken;
    // Pids ascend, so each application is represented by its oldest-numbered process.
    for (const auto& [pid, name] : names) {
        const std::string& identifier = m_processes.at(pid).identifier;
        if (pid == m_options.selfPid || identifier == self || !taken.insert(identifier).second)
            continue;
        apps.push_back(RunningApp{pid, identifier, name});
    }
    std::sort(apps.begin(), apps.end(), [](const RunningApp& a, const RunningApp& b) {
        const int order = QString::fromStdString(a.name).compare(QString::fromStdString(b.name),
                                                                 Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.identifier < b.identifier;
    });
    return apps;
}

} // namespace wakeward
