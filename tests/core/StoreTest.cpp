#include "../TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <wakeward/Store.h>

using namespace wakeward;
using test::fileText;
using test::modeOf;
namespace fs = std::filesystem;

namespace {

// A fresh folder under the temporary directory, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "wakeward-store-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempFolder() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.path().empty()); }

    Store open() {
        auto store = Store::open(location);
        EXPECT_TRUE(store.ok()) << (store.ok() ? "" : store.error().description);
        return std::move(store).value();
    }

    // Runs SQL on a connection of its own, as another program would.
    void sql(const std::string& text, double parameter = 0) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(location.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, text.c_str(), -1, &statement, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        if (sqlite3_bind_parameter_count(statement) > 0)
            sqlite3_bind_double(statement, 1, parameter);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }

    // Writes `events` valid events a minute apart in one transaction of their own, so
    // that a test does not wait for a disk flush per event.
    void fill(int events, double firstDate) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(location.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* insert = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO history VALUES(?,?,?)", -1, &insert, nullptr);
        for (int i = 0; i < events; ++i) {
            const HistoryEvent filler("Started", "Filler", "", 0, Instant{firstDate + i * 60.0});
            const std::string id = filler.id.toString();
            const std::string json = toJsonText(filler).value();
            sqlite3_bind_text(insert, 1, id.c_str(), -1, nullptr);
            sqlite3_bind_double(insert, 2, filler.date.unix());
            sqlite3_bind_blob(insert, 3, json.data(), static_cast<int>(json.size()), nullptr);
            ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        ASSERT_EQ(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    long long count(const std::string& table) {
        sqlite3* db = nullptr;
        sqlite3_open(location.c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, ("SELECT count(*) FROM " + table).c_str(), -1, &statement, nullptr);
        const long long rows =
            sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }

    TempFolder folder;
    fs::path location = folder.path() / "fenmarch" / "Wakeward" / "sleep.sqlite";
};

HistoryEvent event(double sinceReference, std::string reason = "Stopped by you") {
    return HistoryEvent("Ended", std::move(reason), "80% on battery", 12.5,
                        Instant{sinceReference});
}

const Instant distantPast{-1e12};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

// Missing folders are created for their owner only, the file for its owner only, and a
// second opening finds what the first stored.
TEST_F(StoreTest, OpeningCreatesPrivateFoldersAndKeepsDataAcrossOpenings) {
    const HistoryEvent started("Started", "Profile: Backup", "On mains power", 0,
                               Instant{760000000});
    {
        Store store = open();
        ASSERT_TRUE(
            store.save(std::vector<Profile>{Profile("Render", 180, false, true)}, "profiles").ok());
        ASSERT_TRUE(store.append(started).ok());
    }
    EXPECT_EQ(modeOf(folder.path() / "fenmarch"), 0700u);
    EXPECT_EQ(modeOf(location.parent_path()), 0700u);
    EXPECT_EQ(modeOf(location), 0600u);

    Store store = open();
    ASSERT_TRUE(store.save(true, "notifications").ok());
    if (fs::exists(location.string() + "-wal")) {
        EXPECT_EQ(modeOf(location.string() + "-wal"), 0600u);
    }
    const auto profiles = store.load<std::vector<Profile>>("profiles");
    ASSERT_TRUE(profiles.ok() && profiles->has_value());
    ASSERT_EQ((*profiles)->size(), 1u);
    EXPECT_EQ((*profiles)->front().name, "Render");
    const auto history = store.history(distantPast);
    ASSERT_TRUE(history.ok());
    EXPECT_EQ(*history, std::vector<HistoryEvent>{started});
}

// A file left readable by others (an older build, a copy) is narrowed to its owner.
TEST_F(StoreTest, ExistingFileIsMadePrivate) {
    fs::create_directories(location.parent_path());
    std::ofstream(location).close();
    fs::permissions(location, fs::perms(0644));
    open();
    EXPECT_EQ(modeOf(location), 0600u);
}

TEST_F(StoreTest, OpeningFailures) {
    // A parent that cannot be created: a plain file stands where a folder should be.
    std::ofstream(folder.path() / "blocker").close();
    const auto blocked = Store::open(folder.path() / "blocker" / "Wakeward" / "sleep.sqlite");
    ASSERT_FALSE(blocked.ok());
    EXPECT_TRUE(contains(blocked.error().description, "blocker")) << blocked.error().description;
    EXPECT_TRUE(contains(blocked.error().description, "could not be created"))
        << blocked.error().description;

    // A folder where the file should be, and a file that is not a database.
    fs::create_directories(folder.path() / "folder");
    const auto directory = Store::open(folder.path() / "folder");
    ASSERT_FALSE(directory.ok());
    EXPECT_TRUE(contains(directory.error().description, "could not be written"))
        << directory.error().description;
    std::ofstream(folder.path() / "garbage.sqlite") << std::string(4096, 'x');
    const auto garbage = Store::open(folder.path() / "garbage.sqlite");
    ASSERT_FALSE(garbage.ok());
    EXPECT_TRUE(contains(garbage.error().description, "could not be written"))
        << garbage.error().description;
    EXPECT_FALSE(Store::open("").ok());

    // A link at the database path is refused: its target keeps its content and mode, and a
    // dangling link creates nothing.
    const fs::path target = folder.path() / "target";
    std::ofstream(target).close();
    fs::permissions(target, fs::perms(0644));
    fs::create_symlink(target, folder.path() / "linked.sqlite");
    fs::create_symlink(folder.path() / "nowhere", folder.path() / "dangling.sqlite");
    for (const char* link : {"linked.sqlite", "dangling.sqlite"}) {
        const auto linked = Store::open(folder.path() / link);
        ASSERT_FALSE(linked.ok()) << link;
        EXPECT_TRUE(contains(linked.error().description, "symbolic link"))
            << linked.error().description;
    }
    EXPECT_EQ(fs::file_size(target), 0u);
    EXPECT_EQ(modeOf(target), 0644u);
    EXPECT_FALSE(fs::exists(folder.path() / "nowhere"));
}

// No row gives none; a stored JSON null gives a found value that is absent.
TEST_F(StoreTest, MissingKeysAndStoredNull) {
    Store store = open();
    const auto missing = store.load<std::optional<Instant>>("activeSession");
    ASSERT_TRUE(missing.ok());
    EXPECT_FALSE(missing->has_value());

    ASSERT_TRUE(store.save(std::optional<Instant>(), "activeSession").ok());
    const auto cleared = store.load<std::optional<Instant>>("activeSession");
    ASSERT_TRUE(cleared.ok());
    ASSERT_TRUE(cleared->has_value());
    EXPECT_FALSE(cleared->value().has_value());

    ASSERT_TRUE(store.save(std::optional<Instant>(Instant{123.5}), "activeSession").ok());
    EXPECT_EQ(store.load<std::optional<Instant>>("activeSession")->value(), Instant{123.5});

    // An empty blob counts as no value.
    sql("INSERT INTO settings VALUES('retention', zeroblob(0))");
    const auto empty = store.load<std::int64_t>("retention");
    ASSERT_TRUE(empty.ok());
    EXPECT_FALSE(empty->has_value());
}

TEST_F(StoreTest, SavingReplacesTheRow) {
    Store store = open();
    ASSERT_TRUE(store.save(20.0, "threshold").ok());
    ASSERT_TRUE(store.save(35.5, "threshold").ok());
    EXPECT_EQ(count("settings WHERE key='threshold'"), 1);
    EXPECT_EQ(store.load<double>("threshold")->value(), 35.5);
    // Values that cannot be encoded fail without touching the stored one.
    const auto infinite = store.save(std::numeric_limits<double>::infinity(), "threshold");
    EXPECT_FALSE(infinite.ok());
    EXPECT_EQ(store.load<double>("threshold")->value(), 35.5);
}

// Another program holding the write lock for a moment (a backup, a database browser) is
// waited for: the write goes through once the lock is gone.
TEST_F(StoreTest, WritesWaitForAnotherProgramsBriefLock) {
    Store store = open();
    for (const bool appending : {false, true}) {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(location.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread holder([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });
        const auto written =
            appending ? store.append(event(700000000)) : store.save(std::int64_t{30}, "retention");
        holder.join();
        sqlite3_close(other);
        EXPECT_TRUE(written.ok()) << (written.ok() ? "" : written.error().description);
    }
}

TEST_F(StoreTest, CorruptedSettingsBlobFailsOnlyItsKey) {
    Store store = open();
    ASSERT_TRUE(store.save(std::int64_t{30}, "retention").ok());
    ASSERT_TRUE(store.save(false, "notifications").ok());
    sql("UPDATE settings SET data=CAST('{\"broken' AS BLOB) WHERE key='retention'");
    EXPECT_FALSE(store.load<std::int64_t>("retention").ok());
    EXPECT_EQ(store.load<bool>("notifications")->value(), false);
    // Valid JSON of the wrong type is a decoding failure too, not a missing value.
    EXPECT_FALSE(store.load<std::vector<Schedule>>("notifications").ok());
}

// 2001 events with increasing dates: the oldest goes.
TEST_F(StoreTest, AppendingKeepsTheNewest2000) {
    Store store = open();
    const HistoryEvent oldest = event(700000000);
    ASSERT_TRUE(store.append(oldest).ok());
    fill(1999, 700000060);
    const HistoryEvent newest = event(700000000 + 2000 * 60.0);
    ASSERT_TRUE(store.append(newest).ok());
    EXPECT_EQ(count("history"), 2000);
    const auto history = store.history(distantPast);
    ASSERT_TRUE(history.ok());
    ASSERT_EQ(history->size(), 2000u);
    EXPECT_EQ(history->front(), newest);
    EXPECT_EQ(history->back().date, Instant{700000000 + 60.0});
    for (std::size_t i = 1; i < history->size(); ++i)
        ASSERT_GT((*history)[i - 1].date, (*history)[i].date);
    EXPECT_EQ(std::find(history->begin(), history->end(), oldest), history->end());
}

// When trimming to 2000 fails, the new event stays and the failure is reported.
TEST_F(StoreTest, FailedTrimKeepsTheNewEvent) {
    Store store = open();
    fill(2000, 700000000);
    sql("CREATE TRIGGER keep BEFORE DELETE ON history BEGIN SELECT RAISE(ABORT, 'deleting is "
        "blocked'); END");
    const HistoryEvent newest = event(800000000);
    const auto appended = store.append(newest);
    ASSERT_FALSE(appended.ok());
    EXPECT_TRUE(contains(appended.error().description, "deleting is blocked"))
        << appended.error().description;
    EXPECT_EQ(count("history"), 2001);
    EXPECT_EQ(store.history(newest.date)->size(), 1u);
    sql("DROP TRIGGER keep");
    ASSERT_TRUE(store.append(event(800000001)).ok());
    EXPECT_EQ(count("history"), 2000);
}

TEST_F(StoreTest, DuplicateIdFailsAndChangesNothing) {
    Store store = open();
    const HistoryEvent first = event(700000000);
    ASSERT_TRUE(store.append(first).ok());
    HistoryEvent again = first;
    again.date = first.date + 3600;
    again.reason = "Session time reached";
    const auto duplicate = store.append(again);
    ASSERT_FALSE(duplicate.ok());
    EXPECT_TRUE(contains(duplicate.error().description, "could not be written"))
        << duplicate.error().description;
    EXPECT_EQ(*store.history(distantPast), std::vector<HistoryEvent>{first});
}

TEST_F(StoreTest, HistorySinceIncludesItsBoundary) {
    Store store = open();
    const HistoryEvent earlier = event(700000000.25);
    const HistoryEvent later = event(700003600.75);
    ASSERT_TRUE(store.append(later).ok());
    ASSERT_TRUE(store.append(earlier).ok());
    EXPECT_EQ(*store.history(earlier.date), (std::vector<HistoryEvent>{later, earlier}));
    EXPECT_EQ(*store.history(earlier.date + 0.001), std::vector<HistoryEvent>{later});
    EXPECT_TRUE(store.history(later.date + 1)->empty());
    // Rows with an empty blob are skipped.
    sql("INSERT INTO history VALUES('X', ?, zeroblob(0))", later.date.unix() + 10);
    EXPECT_EQ(store.history(later.date)->size(), 1u);
}

// A broken row fails every read whose range covers it, and no other.
TEST_F(StoreTest, CorruptedHistoryBlobFailsTheRangesThatCoverIt) {
    Store store = open();
    const HistoryEvent broken = event(700000000);
    const HistoryEvent newer = event(700001000);
    ASSERT_TRUE(store.append(event(699999000)).ok());
    ASSERT_TRUE(store.append(broken).ok());
    ASSERT_TRUE(store.append(newer).ok());
    sql("UPDATE history SET data=CAST('{\"id\":1}' AS BLOB) WHERE id='" + broken.id.toString() +
        "'");
    EXPECT_FALSE(store.history(distantPast).ok());
    EXPECT_FALSE(store.history(broken.date).ok());
    EXPECT_EQ(*store.history(broken.date + 1), std::vector<HistoryEvent>{newer});
}

// Fewer than one day is read as one day; the cutoff keeps every bit of its value.
TEST_F(StoreTest, TrimKeepsAtLeastOneDay) {
    Store store = open();
    const Instant now{786543210.0000002};
    const HistoryEvent halfDay = event(now.sinceReference - 43200);
    const HistoryEvent dayAndHalf = event(now.sinceReference - 129600);
    ASSERT_TRUE(store.append(halfDay).ok());
    ASSERT_TRUE(store.append(dayAndHalf).ok());
    ASSERT_TRUE(store.append(event(now.sinceReference - 3 * 86400)).ok());
    ASSERT_TRUE(store.trim(2, now).ok());
    EXPECT_EQ(*store.history(distantPast), (std::vector<HistoryEvent>{halfDay, dayAndHalf}));
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
    EXPECT_EQ(count("history WHERE id='AT'"), 1);
    EXPECT_EQ(count("history"), 1);
    EXPECT_TRUE(store.trim(std::numeric_limits<std::int64_t>::max(), now).ok());
    EXPECT_EQ(count("history"), 1);
}

// SQLite built without secure delete (the default of its own sources) leaves deleted rows in
// free pages; this turns it off for every connection the test process opens.
class WithoutSecureDelete {
public:
    WithoutSecureDelete() { sqlite3_auto_extension(entry()); }
    ~WithoutSecureDelete() { sqlite3_cancel_auto_extension(entry()); }

private:
    static int turnOff(sqlite3* db, const char**, const sqlite3_api_routines*) {
        return sqlite3_exec(db, "PRAGMA secure_delete=OFF", nullptr, nullptr, nullptr);
    }
    // SQLite registers extensions through a generic function pointer.
    static void (*entry())() { return reinterpret_cast<void (*)()>(&turnOff); }
};

// Clearing removes the events from the table, the log and the file, and nothing else.
TEST_F(StoreTest, ClearHistoryLeavesSettings) {
    const WithoutSecureDelete withoutSecureDelete;
    Store store = open();
    ASSERT_TRUE(store.save(std::int64_t{90}, "retention").ok());
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(store.append(event(700000000 + i, "Private reason 4F1C")).ok());
    const auto cleared = store.clearHistory();
    ASSERT_TRUE(cleared.ok()) << cleared.error().description;
    EXPECT_FALSE(cleared->wipeFailure);
    EXPECT_TRUE(store.history(distantPast)->empty());
    EXPECT_EQ(store.load<std::int64_t>("retention")->value(), 90);
    EXPECT_FALSE(contains(fileText(location), "4F1C"));
    EXPECT_FALSE(contains(fileText(location.string() + "-wal"), "4F1C"));
}

// Another program reading the database keeps the old copies from being wiped for now: the
// events are deleted all the same, and the caller learns that the wiping is owed.
TEST_F(StoreTest, ClearHistoryReportsAWipeThatCouldNotFinish) {
    Store store = open();
    for (int i = 0; i < 5; ++i)
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
    EXPECT_TRUE(contains(blocked->wipeFailure->description, "could not yet be wiped"))
        << blocked->wipeFailure->description;
    EXPECT_TRUE(store.history(distantPast)->empty());

    const auto again = store.clearHistory();
    ASSERT_TRUE(again.ok());
    EXPECT_FALSE(again->wipeFailure);
    EXPECT_FALSE(contains(fileText(location), "4F1C"));
    EXPECT_FALSE(contains(fileText(location.string() + "-wal"), "4F1C"));
}

// A table that cannot be read is a failure, never "no value" or a shorter history: the
// caller would otherwise save defaults over the user's settings.
TEST_F(StoreTest, DamagedTableIsAFailureNotAnEmptyAnswer) {
    int pageSize = 0;
    int settingsPage = 0;
    int historyPage = 0;
    {
        Store store = open();
        ASSERT_TRUE(store.save(std::int64_t{90}, "retention").ok());
        ASSERT_TRUE(store.append(event(700000000)).ok());
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(location.c_str(), &db), SQLITE_OK);
        const auto integer = [db](const char* query) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, query, -1, &statement, nullptr);
            const int value =
                sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int(statement, 0) : 0;
            sqlite3_finalize(statement);
            return value;
        };
        pageSize = integer("PRAGMA page_size");
        settingsPage = integer("SELECT rootpage FROM sqlite_schema WHERE name='settings'");
        historyPage = integer("SELECT rootpage FROM sqlite_schema WHERE name='history'");
        sqlite3_close(db);
    } // the last connection folds the log back into the file
    ASSERT_GT(settingsPage, 1);
    ASSERT_GT(historyPage, 1);
    {
        std::fstream file(location, std::ios::in | std::ios::out | std::ios::binary);
        const std::string garbage(static_cast<std::size_t>(pageSize), '\xFF');
        for (int page : {settingsPage, historyPage}) {
            file.seekp(static_cast<std::streamoff>(page - 1) * pageSize);
            file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
        }
    }
    Store store = open();
    const auto loaded = store.load<std::int64_t>("retention");
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(contains(loaded.error().description, "could not be read"))
        << loaded.error().description;
    const auto history = store.history(distantPast);
    ASSERT_FALSE(history.ok());
    EXPECT_TRUE(contains(history.error().description, "could not be read"))
        << history.error().description;
    const auto saved = store.save(std::int64_t{7}, "retention");
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(contains(saved.error().description, "could not be written"))
        << saved.error().description;
}
