#include "platform/SignalReader.h"

#include "FixtureTree.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>

namespace wakeward {
namespace {

using test::FixtureTree;
using namespace std::chrono_literals;

// A reading in one line: the parts that are known and not empty, each as "name value;".
std::string describe(const Snapshot& s) {
    std::ostringstream out;
    out << std::boolalpha;
    const auto part = [&out](const char* name, const auto& value) {
        if (value)
            out << name << ' ' << *value << "; ";
    };
    const auto list = [&part](const char* name, const auto& items) {
        std::string joined;
        for (const auto& item : items)
            joined += (joined.empty() ? "" : " ") + item;
        part(name, joined.empty() ? std::nullopt : std::optional(joined));
    };
    list("running", s.running);
    part("frontmost", s.frontmost.empty() ? std::nullopt : std::optional(s.frontmost));
    part("ac", s.ac);
    part("battery", s.battery);
    part("external display", s.externalDisplay ? std::optional(true) : std::nullopt);
    list("volumes", s.volumes);
    list("usb", s.usb);
    part("audio", s.audio);
    part("cpu", s.cpu);
    part("traffic", s.traffic);
    return out.str();
}

std::string stat(const std::string& pid, const std::string& comm, const std::string& startTime) {
    return pid + " (" + comm + ") S 1 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 " + startTime +
           " 1000 200 0\n";
}

// Every reading from fixtures only: no sound server, no display, a clock the test moves.
class SignalReaderTest : public ::testing::Test {
protected:
    SignalReader::Options options() {
        SignalReader::Options options;
        options.applicationDirs = {FixtureTree::source("applications/home"),
                                   FixtureTree::source("applications/system")};
        options.locale = "C";
        options.selfPid = 2000;
        options.uid = 1000;
        options.clock = [this] { return now; };
        options.audioSource = [] { return std::optional<std::string>("Speakers"); };
        options.activeWindowPid = [this] { return activePid; };
        return options;
    }
    std::unique_ptr<SignalReader> reader(const std::filesystem::path& root) {
        return std::make_unique<SignalReader>(root / "proc", root / "sys", root / "dev", options());
    }
    // The power supplies of `variant` alone: no processes, no volumes.
    Snapshot powerReading(const std::string& variant) {
        const auto sys = FixtureTree::source("signals/power/" + variant);
        return SignalReader(sys / "proc", sys, sys / "dev", options()).read(false);
    }

    std::chrono::steady_clock::time_point now{std::chrono::seconds(1000)};
    std::optional<int> activePid;
};

// Mains and battery from the power supplies: device batteries (a mouse) never count.
TEST_F(SignalReaderTest, PowerSupplies) {
    const std::pair<const char*, const char*> cases[] = {
        {"laptop-battery", "ac false; battery 57; "},
        {"laptop-mains", "ac true; battery 75; "}, // energy_now / energy_full
        // A USB supply online counts as mains; charge_now / charge_full.
        {"usb-c-charger", "ac true; battery 66.6667; "},
        {"desktop", "ac true; "},                    // only a mouse battery: a desktop on mains
        {"two-batteries", "ac false; battery 25; "}, // the last system battery with a capacity
        {"missing", ""},                             // no power_supply folder at all
    };
    for (const auto& [variant, expected] : cases)
        EXPECT_EQ(describe(powerReading(variant)), expected) << variant;
}

// A cheap read of the machine: processes, the frontmost one, display, volumes (the costly readings
// stay empty: see CheapReadKeepsRateSamples).
TEST_F(SignalReaderTest, CheapReadOfAMachine) {
    auto signals = reader(FixtureTree::source("signals/machine"));
    activePid = 1600;
    // Kernel threads are left out; exe links win over argv[0]; a rewritten command line is cut at
    // its first space. Sources through /dev/mapper and an escaped by-label path resolve to their
    // by-uuid links, a btrfs volume (anonymous device number) by its path, /dev/root by its device
    // number; sdb2 is not mounted and sdc1 has no UUID.
    EXPECT_EQ(describe(signals->read(false)),
              "running bwrap chrome firefox-esr init myapp okular reader rsync sshd: vlc wakeward "
              "xdg-dbus-proxy zoom; frontmost vlc; ac false; battery 57; external display true; "
              "volumes 1111-AAAA 2222bbbb-0000-4000-8000-000000000002 3333-CCCC 4444-DDDD "
              "5555-EEEE; ");
    activePid = 31337;
    EXPECT_EQ(signals->read(false).frontmost, "");
}

// Volumes follow the mount table and the by-uuid links as they change.
TEST_F(SignalReaderTest, VolumesFollowMountsAndLinks) {
    FixtureTree tree("signals/machine");
    auto signals = reader(tree.root());
    ASSERT_TRUE(signals->read(false).volumes.count("1111-AAAA"));
    tree.write(
        "proc/self/mountinfo",
        "22 1 253:0 / / rw - ext4 /dev/mapper/root rw\n27 22 8:33 / /mnt rw - ext4 /dev/sdc1 rw\n");
    EXPECT_EQ(signals->read(false).volumes,
              (std::set<std::string>{"2222bbbb-0000-4000-8000-000000000002"}));
    tree.write("dev/sdc1", "");
    std::filesystem::create_symlink("../../sdc1", tree / "dev/disk/by-uuid/7777-AAAA");
    EXPECT_EQ(signals->read(false).volumes,
              (std::set<std::string>{"2222bbbb-0000-4000-8000-000000000002", "7777-AAAA"}));
    tree.remove("proc/self/mountinfo");
    EXPECT_TRUE(signals->read(false).volumes.empty());
}

// On the real procfs the mount table is generated again only after the kernel tells of a mount
// change. Mounting and unmounting in a private mount namespace of a child process must still show
// at the next read; the child reports what it read in its exit code.
TEST_F(SignalReaderTest, VolumesFollowRealMounts) {
    FixtureTree tree("signals/machine");
    tree.write("dev/sdc1", "");
    std::filesystem::create_symlink("../../sdc1", tree / "dev/disk/by-uuid/7777-AAAA");
    std::filesystem::create_directory(tree / "mnt");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            ::_exit(77);
        // Private first, or the mount would show in the machine's own namespace.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(77);
        SignalReader signals("/proc", tree / "sys", tree / "dev", options());
        const auto shows = [&] { return signals.read(false).volumes.count("7777-AAAA") != 0; };
        int seen = shows() ? 1 : 0;
        if (::mount("/dev/sdc1", (tree / "mnt").c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        seen |= shows() && shows() ? 0 : 2;
        ::umount((tree / "mnt").c_str());
        seen |= shows() ? 4 : 0;
        ::_exit(seen);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: shown before the mount, 2: missed after it, "
                                         "4: still shown after the unmount";
}

// Built-in panels never count; a connector counts only when connected and enabled.
TEST_F(SignalReaderTest, ExternalDisplay) {
    FixtureTree tree("signals/machine");
    auto signals = reader(tree.root());
    tree.write("sys/class/drm/card0-HDMI-A-1/enabled", "disabled\n");
    EXPECT_FALSE(signals->read(false).externalDisplay);
    tree.remove("sys/class/drm/card0-eDP-1");
    tree.write("sys/class/drm/card1-DP-3/status", "connected\n");
    tree.write("sys/class/drm/card1-DP-3/enabled", "enabled\n");
    EXPECT_TRUE(signals->read(false).externalDisplay); // only an external monitor
    tree.remove("sys/class/drm");
    EXPECT_FALSE(signals->read(false).externalDisplay);
    tree.write("sys/class/drm/card0-LVDS-1/status", "connected\n");
    tree.write("sys/class/drm/card0-LVDS-1/enabled", "enabled\n");
    tree.write("sys/class/drm/card0-DSI-1/status", "connected\n");
    tree.write("sys/class/drm/card0-DSI-1/enabled", "enabled\n");
    EXPECT_FALSE(signals->read(false).externalDisplay);
}

// CPU load from /proc/stat: busy over busy plus idle since the previous sample.
TEST_F(SignalReaderTest, CpuLoad) {
    FixtureTree tree("signals/machine");
    auto signals = reader(tree.root());
    tree.write("proc/stat", "cpu  100 20 30 400 50 6 4 0 0 0\n");
    EXPECT_FALSE(signals->cpu());
    // busy: user 60 + system 20 = 80; idle: 40 + iowait 10 = 50.
    tree.write("proc/stat", "cpu  160 20 50 440 60 6 4 0 0 0\n");
    EXPECT_NEAR(signals->cpu().value_or(-1), 80.0 / 130.0 * 100.0, 1e-9);
    // iowait went down: a difference of 0, not a wrapped 64-bit number.
    tree.write("proc/stat", "cpu  160 20 50 540 55 6 4 0 0 0\n");
    EXPECT_NEAR(signals->cpu().value_or(-1), 0.0, 1e-9);
    // No time passed at all: no reading rather than 0.
    EXPECT_FALSE(signals->cpu());
    // Counters past 32 bits; irq, softirq and steal are busy time.
    tree.write("proc/stat", "cpu  5000000160 20 50 5000000540 55 16 14 10 0 0\n");
    EXPECT_NEAR(signals->cpu().value_or(-1), 5000000030.0 / 10000000030.0 * 100.0, 1e-6);
    // An unreadable file gives nothing and keeps the sample.
    tree.remove("proc/stat");
    EXPECT_FALSE(signals->cpu());
    tree.write("proc/stat", "cpu  5000000260 20 50 5000000640 55 16 14 10 0 0\n");
    EXPECT_NEAR(signals->cpu().value_or(-1), 50.0, 1e-9);
}

// Throughput in KB/s over non-loopback interfaces; a smaller sum starts a new baseline; at least
// 0.1 s apart.
TEST_F(SignalReaderTest, NetworkTraffic) {
    FixtureTree tree("signals/machine");
    auto signals = reader(tree.root());
    EXPECT_FALSE(signals->traffic());
    now += 2s;
    tree.write("sys/class/net/eth0/statistics/rx_bytes", std::to_string(1000 + 20480) + "\n");
    tree.write("sys/class/net/lo/statistics/rx_bytes", "999999999\n"); // loopback never counts
    EXPECT_NEAR(signals->traffic().value_or(-1), 10.0, 1e-9);

    now += 1s;
    tree.write("sys/class/net/eth0/statistics/rx_bytes", "0\n"); // counter reset
    EXPECT_FALSE(signals->traffic());
    now += 1s;
    tree.write("sys/class/net/eth0/statistics/rx_bytes", "1024\n");
    EXPECT_NEAR(signals->traffic().value_or(-1), 1.0, 1e-9);

    now += 10ms;
    tree.write("sys/class/net/eth0/statistics/rx_bytes", "2048\n");
    EXPECT_NEAR(signals->traffic().value_or(-1), 10.0, 1e-9);

    // A vanished interface folder gives no reading.
    tree.remove("sys/class/net");
    EXPECT_FALSE(signals->traffic());
}

// A costly read adds USB product names in name order, duplicates kept (root hubs, interfaces and
// devices without a product left out), and the sound output. A cheap read in between leaves the
// rate samples alone, so the next costly read spans both intervals.
TEST_F(SignalReaderTest, CheapReadKeepsRateSamples) {
    FixtureTree tree("signals/machine");
    auto signals = reader(tree.root());
    // What a read adds to the cheap readings.
    const auto added = [&](bool costly) {
        const Snapshot read = signals->read(costly);
        Snapshot only;
        std::tie(only.usb, only.audio, only.cpu, only.traffic) =
            std::tie(read.usb, read.audio, read.cpu, read.traffic);
        return describe(only);
    };
    const std::string devices = "usb USB Receiver USB Receiver Ultra Fit; audio Speakers; ";
    EXPECT_EQ(added(true), devices) << "no earlier sample to form a rate against";
    tree.write("proc/stat", "cpu  150 20 30 450 50 6 4 0 0 0\n");
    now += 1s;
    EXPECT_EQ(added(false), "");
    tree.write("proc/stat", "cpu  200 20 30 500 50 6 4 0 0 0\n");
    tree.write("sys/class/net/eth0/statistics/tx_bytes", std::to_string(2000 + 4096) + "\n");
    now += 1s;
    EXPECT_EQ(added(true), devices + "cpu 50; traffic 2; ");
}

// Identifiers are cached by pid and the inode of its /proc folder: a process seen before is not
// read again, and a process that appears later is read once more to catch a launcher's exec.
TEST_F(SignalReaderTest, ProcessCache) {
    FixtureTree tree("signals/machine");
    // A process directory made anew, as procfs does for a new process (the old one goes after,
    // so the new folder cannot reuse its inode).
    auto replaceProcess = [&tree](const std::string& pid, const std::string& cmdline) {
        tree.write("proc/" + pid + ".new/stat", stat(pid, "x", "99999"));
        tree.write("proc/" + pid + ".new/cmdline", cmdline);
        tree.remove("proc/" + pid);
        std::filesystem::rename(tree / ("proc/" + pid + ".new"), tree / ("proc/" + pid));
    };
    auto signals = reader(tree.root());
    ASSERT_TRUE(signals->read(false).running.count("rsync"));

    // Running from the first read on: settled, its command line is not read again.
    tree.write("proc/1700/cmdline", std::string("cp\0-a\0", 6));
    EXPECT_TRUE(signals->read(false).running.count("rsync"));
    EXPECT_TRUE(signals->read(false).running.count("rsync"));
    // A new directory under the same pid is a new process.
    replaceProcess("1700", std::string("cp\0", 3));
    auto running = signals->read(false).running;
    EXPECT_TRUE(running.count("cp"));
    EXPECT_FALSE(running.count("rsync"));

    // A process started later is read again on the next pass (a wrapper script exec'd the real
    // program), and then no more.
    tree.write("proc/2600/stat", stat("2600", "sh", "99000"));
    tree.write("proc/2600/cmdline", std::string("sh\0/usr/bin/launch\0", 19));
    EXPECT_TRUE(signals->read(false).running.count("sh"));
    tree.write("proc/2600/cmdline", std::string("realapp\0", 8));
    running = signals->read(false).running;
    EXPECT_TRUE(running.count("realapp"));
    EXPECT_FALSE(running.count("sh"));
    tree.write("proc/2600/cmdline", std::string("other\0", 6));
    EXPECT_TRUE(signals->read(false).running.count("realapp"));

    tree.remove("proc/1800");
    EXPECT_FALSE(signals->read(false).running.count("chrome"));

    // While the kernel's task count and last pid stand still, no task began or ended: /proc is not
    // listed again, except for a process still to be read once more.
    auto runs = [&](const char* name) { return signals->read(false).running.count(name) == 1; };
    tree.write("proc/loadavg", "0.10 0.20 0.30 1/90 4000\n");
    ASSERT_TRUE(runs("cp"));
    tree.write("proc/2700/stat", stat("2700", "late", "99100"));
    tree.write("proc/2700/cmdline", std::string("late\0", 5));
    EXPECT_FALSE(runs("late"));
    tree.write("proc/loadavg", "0.10 0.20 0.30 2/91 4001\n");
    EXPECT_TRUE(runs("late"));
    tree.write("proc/2700/cmdline", std::string("later\0", 6));
    EXPECT_TRUE(runs("later")) << "read once more with the counters unchanged";
    tree.remove("proc/2700");
    tree.write("proc/loadavg", "0.10 0.20 0.30 7/91 4001\n");
    EXPECT_TRUE(runs("later")) << "the number running says nothing";
    tree.write("proc/loadavg", "0.10 0.20 0.30 1/90 4001\n");
    EXPECT_FALSE(runs("later"));

    // No /proc at all: nothing runs, nothing fails.
    tree.remove("proc");
    EXPECT_TRUE(signals->read(false).running.empty());
}

// The user's processes with a desktop entry, one per identifier, never Wakeward, sorted by name.
TEST_F(SignalReaderTest, RunningApps) {
    auto signals = reader(FixtureTree::source("signals/machine"));
    // The home folder's firefox entry overrides the system one and hides zoom; rsync is NoDisplay;
    // the second okular belongs to another user. The Flatpak's program is known by its sandbox's
    // scope, and the sandbox's helpers in the same scope are not offered.
    EXPECT_EQ(signals->runningApps(),
              (std::vector<RunningApp>{{1500, "firefox-esr", "firefox (mine)"},
                                       {2100, "myapp", "My App"},
                                       {1900, "okular", "Okular"},
                                       {2410, "reader", "Reader"},
                                       {1600, "vlc", "VLC media player"}}));
    // Names for every process with an entry, helpers and Wakeward included.
    const std::map<int, std::string> names{
        {1500, "firefox (mine)"}, {1520, "firefox (mine)"}, {1600, "VLC media player"},
        {1900, "Okular"},         {2000, "Wakeward"},       {2100, "My App"},
        {2410, "Reader"}};
    EXPECT_EQ(signals->applicationNames(), names);
}

// Names follow the messages locale, falling back from lang_COUNTRY to lang to the plain name.
TEST_F(SignalReaderTest, LocalizedNames) {
    for (const auto& [locale, expected] : std::vector<std::pair<std::string, std::string>>{
             {"de_DE.UTF-8", "Firefox ESR (Deutsch)"},
             {"pt_BR.UTF-8@euro", "Firefox ESR (Brasil)"},
             {"pt_PT", "Firefox ESR"},
             {"C", "Firefox ESR"}}) {
        auto opts = options();
        opts.applicationDirs = {FixtureTree::source("applications/system")};
        opts.locale = locale;
        const auto root = FixtureTree::source("signals/machine");
        SignalReader signals(root / "proc", root / "sys", root / "dev", opts);
        EXPECT_EQ(signals.applicationNames().at(1500), expected) << locale;
    }
}

} // namespace
} // namespace wakeward
