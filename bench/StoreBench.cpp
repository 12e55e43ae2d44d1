#include <wakeward/Store.h>

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>
#include <string>

using namespace wakeward;
namespace fs = std::filesystem;

namespace {

// A store in a fresh temporary folder, holding `events` history events a minute apart.
// The rows are written in one transaction so that setting up does not take minutes.
class FullStore {
public:
    explicit FullStore(int events) {
        std::string pattern = (fs::temp_directory_path() / "wakeward-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_folder = pattern;
        const fs::path location = m_folder / "sleep.sqlite";
        m_store = std::make_unique<Store>(Store::open(location).value());

        sqlite3* db = nullptr;
        sqlite3_open(location.c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO history VALUES(?,?,?)", -1, &insert, nullptr);
        for (int i = 0; i < events; ++i) {
            const HistoryEvent event = next();
            const std::string id = event.id.toString();
            const std::string json = toJsonText(event).value();
            sqlite3_bind_text(insert, 1, id.c_str(), -1, nullptr);
            sqlite3_bind_double(insert, 2, event.date.unix());
            sqlite3_bind_blob(insert, 3, json.data(), static_cast<int>(json.size()), nullptr);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~FullStore() {
        m_store.reset();
        std::error_code error;
        fs::remove_all(m_folder, error);
    }

    Store& store() { return *m_store; }

    // A typical "Ended" event, a minute after the previous one.
    HistoryEvent next() {
        m_date = m_date + 60;
        return HistoryEvent("Ended", "Profile: Backup", "On mains power, 100%", 7200, m_date);
    }

private:
    fs::path m_folder;
    std::unique_ptr<Store> m_store;
    Instant m_date{750000000};
};

// One append into a table already at its 2000-event limit, with the trim that follows.
void appendIntoFullHistory(benchmark::State& state) {
    FullStore full(static_cast<int>(Store::historyLimit));
    for (auto _ : state) {
        state.PauseTiming();
        const HistoryEvent event = full.next();
        state.ResumeTiming();
        if (!full.store().append(event).ok())
            state.SkipWithError("append failed");
    }
}
BENCHMARK(appendIntoFullHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading and decoding all 2000 events.
void readFullHistory(benchmark::State& state) {
    FullStore full(static_cast<int>(Store::historyLimit));
    for (auto _ : state) {
        auto events = full.store().history(Instant{-1e12});
        if (!events.ok() || events->size() != Store::historyLimit)
            state.SkipWithError("history read failed");
        benchmark::DoNotOptimize(events);
    }
}
BENCHMARK(readFullHistory)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
