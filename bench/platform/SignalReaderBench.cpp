#include "platform/SignalReader.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// The fixture machine with 500 processes of the user, built once in a temporary folder.
class Machine {
public:
    Machine() {
        std::string pattern = (fs::temp_directory_path() / "wakeward-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        m_root = pattern;
        fs::copy(fs::path(WAKEWARD_TEST_DATA) / "signals/machine", m_root,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        for (int pid = 10000; pid < 10500; ++pid) {
            const fs::path dir = m_root / "proc" / std::to_string(pid);
            fs::create_directories(dir);
            std::ofstream(dir / "stat")
                << pid << " (worker) S 1 1 1 0 -1 4194560 100 0 0 0 5 3 0 0 20 0 1 0 "
                << 50000 + pid << " 1000 200 0\n";
            std::ofstream(dir / "cmdline", std::ios::binary)
                << "worker-" << pid % 50 << '\0' << "--flag" << '\0';
            fs::create_symlink("/usr/bin/worker-" + std::to_string(pid % 50), dir / "exe");
        }
    }
    ~Machine() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    const fs::path& root() const { return m_root; }

private:
    fs::path m_root;
};

const Machine& machine() {
    static const Machine instance;
    return instance;
}

// The sound server's round trip is left out of every measurement.
wakeward::SignalReader::Options quietOptions() {
    wakeward::SignalReader::Options options;
    options.audioSource = [] { return std::optional<std::string>("Speakers"); };
    options.activeWindowPid = [] { return std::optional<int>(); };
    return options;
}

std::unique_ptr<wakeward::SignalReader> fixtureReader() {
    const auto& root = machine().root();
    return std::make_unique<wakeward::SignalReader>(root / "proc", root / "sys", root / "dev",
                                                    quietOptions());
}

void CheapRead500Cached(benchmark::State& state) {
    auto reader = fixtureReader();
    reader->read(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader->read(false));
}
BENCHMARK(CheapRead500Cached)->Unit(benchmark::kMicrosecond);

void CheapRead500First(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto reader = fixtureReader();
        state.ResumeTiming();
        benchmark::DoNotOptimize(reader->read(false));
    }
}
BENCHMARK(CheapRead500First)->Unit(benchmark::kMicrosecond);

void ExpensiveRead500Cached(benchmark::State& state) {
    auto reader = fixtureReader();
    reader->read(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader->read(true));
}
BENCHMARK(ExpensiveRead500Cached)->Unit(benchmark::kMicrosecond);

void CheapReadThisMachine(benchmark::State& state) {
    wakeward::SignalReader reader("/proc", "/sys", "/dev", quietOptions());
    reader.read(false);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.read(false));
}
BENCHMARK(CheapReadThisMachine)->Unit(benchmark::kMicrosecond);

// procfs builds every file on demand, so a first read here costs more per process than on the
// fixture tree.
void CheapReadThisMachineFirst(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto reader = std::make_unique<wakeward::SignalReader>("/proc", "/sys", "/dev", quietOptions());
        state.ResumeTiming();
        benchmark::DoNotOptimize(reader->read(false));
    }
}
BENCHMARK(CheapReadThisMachineFirst)->Unit(benchmark::kMicrosecond);

void ExpensiveReadThisMachine(benchmark::State& state) {
    wakeward::SignalReader reader("/proc", "/sys", "/dev", quietOptions());
    reader.read(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(reader.read(true));
}
BENCHMARK(ExpensiveReadThisMachine)->Unit(benchmark::kMicrosecond);

} // namespace
