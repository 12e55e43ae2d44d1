#pragma once

#include "platform/SignalSource.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace wakeward {

class ActiveWindow;

// Reads the machine's state from /proc, /sys and /dev (roots given so tests can use fixture trees).
class SignalReader : public SignalSource {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    struct Options {
        /// Folders searched for desktop entries, most important first; empty means the XDG folders.
        std::vector<std::filesystem::path> applicationDirs;
        /// Locale for localized names; empty means the messages locale of the environment.
        std::string locale;
        /// Wakeward's own pid, left out of the application lists; 0 means this process.
        int selfPid = 0;
        /// The user whose processes runningApps offers; absent means the real user of this process.
        std::optional<unsigned> uid;
        /// Monotonic time for the traffic rate; empty means the steady clock.
        Clock clock;
        /// Description of the default audio output; empty means the sound server.
        std::function<std::optional<std::string>()> audioSource;
        /// Pid of the active window's process; empty means the X11 display in X11 sessions.
        std::function<std::optional<int>()> activeWindowPid;
    };

    SignalReader();
    SignalReader(std::filesystem::path procRoot, std::filesystem::path sysRoot,
                 std::filesystem::path devRoot);
    SignalReader(std::filesystem::path procRoot, std::filesystem::path sysRoot,
                 std::filesystem::path devRoot, Options options);
    ~SignalReader() override;

    Snapshot read(bool expensive) override;
    std::vector<RunningApp> runningApps() override;

    /// Localized application names of the user's processes that belong to a desktop entry, by pid.
    std::map<int, std::string> applicationNames();
    /// CPU load in percent since the previous sample; absent on the first one.
    std::optional<double> cpu();
    /// Network throughput in KB/s since the previous sample; absent on the first one or after a
    /// reset.
    std::optional<double> traffic();
    /// Product names of the attached USB devices in name order, duplicates kept.
    std::vector<std::string> usbDevices();
    /// Description of the default audio output; absent when it cannot be had.
    std::optional<std::string> audioName();

private:
    struct Process {
        std::uint64_t inode = 0;            // of the /proc/PID folder
        bool settled = false;               // identified again after its first sighting
        std::string identifier;             // empty for kernel threads and unreadable processes
        std::optional<unsigned> uid;        // read on first need
        std::optional<std::string> flatpak; // the sandbox's application id, read on first need
        std::uint64_t seen = 0;
    };
    struct VolumeKey {
        std::optional<std::string> mountinfo;
        std::array<std::uint64_t, 3> folder{}; // inode and modification time of the by-uuid folder
        bool operator==(const VolumeKey&) const = default;
    };
    // user, nice, system, idle, iowait, irq, softirq, steal
    using CpuSample = std::array<std::uint64_t, 8>;

    void scanProcesses();
    std::optional<unsigned> processUid(int pid, Process& process) const;
    const std::string& flatpakOf(int pid, Process& process) const;
    std::string identifierOf(int pid);
    std::string frontmost();
    void readPower(Snapshot& snapshot) const;
    bool externalDisplay() const;
    std::set<std::string> volumes();
    std::optional<std::string> mountTable();
    std::set<std::string> resolveVolumes(const std::filesystem::path& byUuid,
                                         const std::optional<std::string>& mountinfo) const;

    std::filesystem::path m_proc;
    std::filesystem::path m_sys;
    std::filesystem::path m_dev;
    Options m_options;
    std::unordered_map<int, Process> m_processes;
    std::uint64_t m_scan = 0;
    // The kernel's count of tasks and its last pid at the last scan; see scanProcesses.
    std::optional<std::string> m_taskCounters;
    std::optional<CpuSample> m_lastCpu;
    std::optional<std::uint64_t> m_lastBytes;
    std::optional<std::chrono::steady_clock::time_point> m_lastTime;
    std::optional<std::pair<VolumeKey, std::set<std::string>>> m_volumes;
    // The mount table, kept open where procfs tells of its changes.
    static constexpr int kUnopened = -2;
    static constexpr int kUnwatched = -1;
    int m_mountTable = kUnopened;
    std::unique_ptr<ActiveWindow> m_activeWindow;
};

} // namespace wakeward
