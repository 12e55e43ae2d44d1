#include "../LogSyncs.h"
#include "../TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <utility>
#include <wakeward/Store.h>

using namespace wakeward;
using test::fileText;
using test::modeOf;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

namespace {

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "wakeward-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
        location = root / "fenmarch" / "Wakeward" / "sleep.sqlite";
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(root, error);
    }

    Store open() {
        auto store = Store::open(location);
        EXPECT_TRUE(store.ok()) << (store.ok() ? "" : store.error().description);
        return std::move(store).value();
    }

    // Runs SQL on a connection of its own, as another program would; gives the first column
    // of the first row, or -1 when there is none.
    long long sql(const std::string& text, std::optional<double> parameter = std::nullopt) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(location.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, text.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        if (parameter)
            sqlite3_bind_double(statement, 1, *parameter);
        const int stepped = sqlite3_step(statement);
        EXPECT_TRUE(stepped == SQLITE_ROW || stepped == SQLITE_DONE) << sqlite3_errmsg(db);
        const long long value = stepped == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return value;
    }

    fs::path root;
    fs::path location;
};

HistoryEvent event(double sinceReference, std::string reason = "Stopped by you") {
    return HistoryEvent("Ended", std::move(reason), "80% on battery", 12.5,
                        Instant{sinceReference});
}

const Instant distantPast{-1e12};

// Why `result` failed; "succeeded" when it did not.
template <class R> std::string failure(const R& result) {
    return result.ok() ? "succeeded" : result.error().description;
}

} // namespace

// Missing folders are created for their owner only, the file for its owner only, and a
// second opening finds what the first stored.
TEST_F(StoreTest, OpeningCreatesPrivateFoldersAndKeepsDataAcrossOpenings) {
    const std::vector<Profile> profiles{Profile("Render", 180, false, true)};
    const HistoryEvent started("Started", "Profile: Backup", "On mains power", 0,
                               Instant{760000000});
    {
        Store store = open();
        ASSERT_TRUE(store.save(profiles, "profiles").ok());
        ASSERT_TRUE(store.append(started).ok());
        EXPECT_EQ(modeOf(location.string() + "-wal"), 0600u);
    }
    EXPECT_EQ(modeOf(root / "fenmarch"), 0700u);
    EXPECT_EQ(modeOf(location.parent_path()), 0700u);
    EXPECT_EQ(modeOf(location), 0600u);

    // A file left readable by others (an older build, a copy) is narrowed to its owner.
    fs::permissions(location, fs::perms(0644));
    Store store = open();
    EXPECT_EQ(modeOf(location), 0600u);
    EXPECT_EQ(store.load<std::vector<Profile>>("profiles").value(), profiles);
    EXPECT_EQ(*store.history(distantPast), std::vector<HistoryEvent>{started});
}

// A link at the database path is refused: its target keeps its content and mode, and a
// dangling link creates nothing.
TEST_F(StoreTest, OpeningFailures) {
    std::ofstream(root / "blocker").close();
    fs::create_directories(root / "folder");
    std::ofstream(root / "garbage.sqlite") << std::string(4096, 'x');
    std::ofstream(root / "target").close();
    fs::permissions(root / "target", fs::perms(0644));
    fs::create_symlink(root / "target", root / "linked.sqlite");
    fs::create_symlink(root / "nowhere", root / "dangling.sqlite");
    const std::pair<fs::path, std::string> cases[] = {
        {"", "no database file was given"},
        {root / "blocker" / "Wakeward" / "sleep.sqlite", "blocker\" could not be created"},
        {root / "folder", "could not be written"},
        {root / "garbage.sqlite", "could not be written"},
        {root / "linked.sqlite", "symbolic link"},
        {root / "dangling.sqlite", "symbolic link"},
    };
    for (const auto& [path, message] : cases)
        EXPECT_THAT(failure(Store::open(path)), HasSubstr(message)) << path;
    EXPECT_EQ(fs::file_size(root / "target"), 0u);
    EXPECT_EQ(modeOf(root / "target"), 0644u);
    EXPECT_FALSE(fs::exists(root / "nowhere"));
}

// No row gives none; a stored JSON null gives a found value that is absent; an empty blob
// counts as no value. A broken value fails its own key only, and valid JSON of the wrong
// type is a decoding failure too, not a missing value.
TEST_F(StoreTest, SettingsValues) {
    Store store = open();
    using Session = std::optional<Instant>;
    EXPECT_EQ(store.load<Session>("activeSession").value(), std::nullopt);
    for (const Session& session : {Session(), Session(Instant{123.5})}) {
        ASSERT_TRUE(store.save(session, "activeSession").ok());
        EXPECT_EQ(store.load<Session>("activeSession").value(), std::optional<Session>(session));
    }
    sql("INSERT INTO settings VALUES('retention', zeroblob(0))");
    EXPECT_EQ(store.load<std::int64_t>("retention").value(), std::nullopt);

    ASSERT_TRUE(store.save(false, "notifications").ok());
    ASSERT_TRUE(store.save(std::int64_t{30}, "retention").ok());
    sql("UPDATE settings SET data=CAST('{\"broken' AS BLOB) WHERE key='retention'");
    EXPECT_FALSE(store.load<std::int64_t>("retention").ok());
    EXPECT_EQ(store.load<bool>("notifications")->value(), false);
    EXPECT_FALSE(store.load<std::vector<Schedule>>("notifications").ok());

    // Saving replaces the row; a value that cannot be encoded fails and leaves it alone.
    ASSERT_TRUE(store.save(20.0, "threshold").ok());
    ASSERT_TRUE(store.save(35.5, "threshold").ok());
    EXPECT_EQ(sql("SELECT count(*) FROM settings WHERE key='threshold'"), 1);
    EXPECT_FALSE(store.save(std::numeric_limits<double>::infinity(), "threshold").ok());
    EXPECT_EQ(store.load<double>("threshold")->value(), 35.5);
}

// Another program holding the write lock for a moment (a backup, a database browser) is
// waited for: the write goes through once the lock is gone.
TEST_F(StoreTest, WritesWaitForAnotherProgramsBriefLock) {
    Store store = open();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(location.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread holder([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const auto written = store.append(event(700000000));
    holder.join();
    sqlite3_close(other);
    EXPECT_EQ(failure(written), "succeeded");
}

// 2001 events with increasing dates: the oldest goes. When trimming fails, the new event stays
// and the failure is reported.
TEST_F(StoreTest, Appending) {
    Store store = open();
    ASSERT_TRUE(store.append(event(700000000)).ok());
    // The events between, a minute apart, in one statement rather than a disk flush each.
    const std::string json = toJsonText(HistoryEvent("Started", "Filler", "", 0)).value();
    sql("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<1998) INSERT INTO "
        "history SELECT 'filler'||i, ?1+i*60+" +
            std::to_string(Instant::unixOffset) + ", CAST(json_set('" + json +
            "', '$.date', ?1+i*60) AS BLOB) FROM n",
        700000060);
    const HistoryEvent newest = event(700000000 + 2000 * 60.0);
    ASSERT_TRUE(store.append(newest).ok());
    const auto history = store.history(distantPast);
    ASSERT_TRUE(history.ok());
    ASSERT_EQ(history->size(), 2000u);
    EXPECT_EQ(history->front(), newest);
    EXPECT_EQ(history->back().date, Instant{700000000 + 60.0});
    EXPECT_TRUE(std::ranges::is_sorted(*history, std::greater{}, &HistoryEvent::date));

    sql("CREATE TRIGGER keep BEFORE DELETE ON history BEGIN SELECT RAISE(ABORT, 'deleting is "
        "blocked'); END");
    const HistoryEvent kept = event(800000000);
    EXPECT_THAT(failure(store.append(kept)), HasSubstr("deleting is blocked"));
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 2001);
    EXPECT_EQ(store.history(kept.date)->size(), 1u);
    sql("DROP TRIGGER keep");
    ASSERT_TRUE(store.append(event(800000001)).ok());
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 2000);

    // An event whose id is taken fails and changes nothing.
    HistoryEvent again = kept;
    again.date = kept.date + 3600;
    again.reason = "Session time reached";
    EXPECT_THAT(failure(store.append(again)), HasSubstr("could not be written"));
    EXPECT_EQ(store.history(kept.date)->size(), 2u);
}

// A transaction's writes are kept together at its commit and not at all when it is dropped; an
// append that fails inside it undoes itself alone.
TEST_F(StoreTest, Transactions) {
    Store store = open();
    const HistoryEvent first = event(700000000);
    const HistoryEvent second = event(700000060);
    {
        auto dropped = store.begin();
        ASSERT_TRUE(dropped.ok());
        ASSERT_TRUE(store.append(first).ok());
        ASSERT_TRUE(store.save(true, "marker").ok());
    }
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 0);
    EXPECT_FALSE(store.load<bool>("marker")->has_value());

    auto batch = store.begin();
    ASSERT_TRUE(batch.ok());
    EXPECT_THAT(failure(store.begin()), HasSubstr("could not be written")) << "one at a time";
    ASSERT_TRUE(store.append(first).ok());
    EXPECT_THAT(failure(store.append(first)), HasSubstr("could not be written"));
    ASSERT_TRUE(store.append(second).ok());
    ASSERT_TRUE(store.save(true, "marker").ok());
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 0) << "seen by others only once committed";
    ASSERT_TRUE(batch.value().commit().ok());
    EXPECT_EQ(*store.history(distantPast), (std::vector<HistoryEvent>{second, first}));
    EXPECT_TRUE(store.load<bool>("marker")->value());
}

// A transaction that flushes later is seen by others at its commit but reaches the disk only at
// `flush`; every other write, also after it, is on the disk when it returns.
TEST_F(StoreTest, FlushingLater) {
    test::LogSyncs::install();
    Store store = open();
    auto synced = [last = test::LogSyncs::count()]() mutable {
        return std::exchange(last, test::LogSyncs::count()) != test::LogSyncs::count();
    };
    auto later = [&](double date, bool commit) {
        auto batch = store.begin(Store::Flush::later);
        ASSERT_TRUE(batch.ok());
        ASSERT_TRUE(store.append(event(date)).ok());
        if (commit) {
            ASSERT_TRUE(batch.value().commit().ok());
        }
    };
    for (const bool commit : {false, true}) {
        later(700000000, commit);
        EXPECT_FALSE(synced()) << commit;
        ASSERT_TRUE(store.save(commit, "marker").ok());
        EXPECT_TRUE(synced()) << "the level is back after the transaction, committed: " << commit;
    }
    later(700000060, true);
    EXPECT_FALSE(synced());
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 2);
    ASSERT_TRUE(store.flush().ok());
    EXPECT_TRUE(synced());
}

// The range includes its boundary, events of one instant come newest written first, and rows with
// an empty blob are skipped; a broken row fails every read whose range covers it, and no other.
TEST_F(StoreTest, HistorySince) {
    Store store = open();
    const HistoryEvent earlier = event(700000000.25);
    const HistoryEvent later = event(700003600.75);
    // A hold that ends and the next one that starts at the same instant: the start is newer.
    const HistoryEvent next("Started", "Schedule: Office", "", 0, later.date);
    ASSERT_TRUE(store.append(later).ok());
    ASSERT_TRUE(store.append(earlier).ok());
    ASSERT_TRUE(store.append(next).ok());
    EXPECT_EQ(*store.history(earlier.date), (std::vector<HistoryEvent>{next, later, earlier}));
    EXPECT_EQ(*store.history(earlier.date + 0.001), (std::vector<HistoryEvent>{next, later}));
    EXPECT_TRUE(store.history(later.date + 1)->empty());
    sql("INSERT INTO history VALUES('X', ?, zeroblob(0))", later.date.unix() + 10);
    EXPECT_EQ(store.history(later.date)->size(), 2u);

    const HistoryEvent newer = event(700010000);
    ASSERT_TRUE(store.append(newer).ok());
    sql("UPDATE history SET data=CAST('{\"id\":1}' AS BLOB) WHERE id='" + later.id.toString() +
        "'");
    EXPECT_FALSE(store.history(distantPast).ok());
    EXPECT_FALSE(store.history(later.date).ok());
    EXPECT_EQ(*store.history(later.date + 20), std::vector<HistoryEvent>{newer});
}

// Fewer than one day is read as one day; the cutoff keeps every bit of its value.
TEST_F(StoreTest, TrimKeepsAtLeastOneDay) {
    Store store = open();
    const Instant now{786543210.0000002};
    const HistoryEvent halfDay = event(now.sinceReference - 43200);
    const HistoryEvent dayAndHalf = event(now.sinceReference - 129600);
    ASSERT_TRUE(store.append(halfDay).ok());
    ASSERT_TRUE(store.append(dayAndHalf).ok());
    ASSERT_TRUE(store.append(event(now.sinceReference - 3 * 86400, "Trimmed reason 7D2E")).ok());
    ASSERT_TRUE(store.trim(2, now).ok());
    EXPECT_EQ(*store.history(distantPast), (std::vector<HistoryEvent>{halfDay, dayAndHalf}));
    // A trimmed event leaves no copy in the file once the log is folded in.
    sql("PRAGMA wal_checkpoint(TRUNCATE)");
    EXPECT_THAT(fileText(location.string()), Not(HasSubstr("7D2E")));
    ASSERT_TRUE(store.trim(0, now).ok());
    EXPECT_EQ(*store.history(distantPast), std::vector<HistoryEvent>{halfDay});
    ASSERT_TRUE(store.append(dayAndHalf).ok());
    ASSERT_TRUE(store.trim(-30, now).ok());
    EXPECT_EQ(*store.history(distantPast), std::vector<HistoryEvent>{halfDay});

    const double cutoff = now.unix() - 86400.0;
    sql("DELETE FROM history");
    sql("INSERT INTO history VALUES('AT', ?, zeroblob(0))", cutoff);
    sql("INSERT INTO history VALUES('BELOW', ?, zeroblob(0))", std::nextafter(cutoff, 0.0));
    ASSERT_TRUE(store.trim(1, now).ok());
    EXPECT_EQ(sql("SELECT count(*) FROM history WHERE id='AT'"), 1);
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 1);
    EXPECT_TRUE(store.trim(std::numeric_limits<std::int64_t>::max(), now).ok());
    EXPECT_EQ(sql("SELECT count(*) FROM history"), 1);
}

// Clearing deletes the events and nothing else. Another program reading the database keeps
// their old copies from being wiped for now, and the caller learns that the wiping is owed;
// the next clearing wipes them from the file and the log.
TEST_F(StoreTest, ClearingHistoryWipesItsOldCopies) {
    Store store = open();
    ASSERT_TRUE(store.save(std::int64_t{90}, "retention").ok());
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(store.append(event(700000000 + i, "Private reason 4F1C")).ok());
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(location.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM history;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    const auto blocked = store.clearHistory();
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    ASSERT_TRUE(blocked.ok()) << blocked.error().description;
    ASSERT_TRUE(blocked->wipeFailure);
    EXPECT_TRUE(store.history(distantPast)->empty());

    const auto again = store.clearHistory();
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->wipeFailure);
    EXPECT_EQ(store.load<std::int64_t>("retention")->value(), 90);
    for (const std::string& file : {location.string(), location.string() + "-wal"})
        EXPECT_THAT(fileText(file), Not(HasSubstr("4F1C"))) << file;
}

// A table that cannot be read is a failure, never "no value" or a shorter history: the
// caller would otherwise save defaults over the user's settings.
TEST_F(StoreTest, DamagedTableIsAFailureNotAnEmptyAnswer) {
    {
        Store store = open();
        ASSERT_TRUE(store.save(std::int64_t{90}, "retention").ok());
        ASSERT_TRUE(store.append(event(700000000)).ok());
    } // the last connection folds the log back into the file
    const long long pageSize = sql("PRAGMA page_size");
    const long long pages[] = {sql("SELECT rootpage FROM sqlite_schema WHERE name='settings'"),
                               sql("SELECT rootpage FROM sqlite_schema WHERE name='history'")};
    {
        std::fstream file(location, std::ios::in | std::ios::out | std::ios::binary);
        const std::string garbage(static_cast<std::size_t>(pageSize), '\xFF');
        for (const long long page : pages) {
            ASSERT_GT(page, 1);
            file.seekp(static_cast<std::streamoff>((page - 1) * pageSize));
            file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
        }
    }
    Store store = open();
    EXPECT_THAT(failure(store.load<std::int64_t>("retention")), HasSubstr("could not be read"));
    EXPECT_THAT(failure(store.history(distantPast)), HasSubstr("could not be read"));
    EXPECT_THAT(failure(store.save(std::int64_t{7}, "retention")),
                HasSubstr("could not be written"));
}
