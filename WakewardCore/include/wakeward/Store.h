#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>
#include <wakeward/Instant.h>
#include <wakeward/Records.h>
#include <wakeward/Result.h>

struct sqlite3;

namespace wakeward {

// Creates `folder` and every missing folder above it, each readable by its owner only.
Status createPrivateFolder(const std::filesystem::path& folder);

// The local database: settings as JSON blobs by key, and the newest history events.
// One connection, used from one thread; every operation prepares, runs and finalizes its
// own statements. Failures come back as error values; nothing throws.
class Store {
public:
    // The most history events kept and returned.
    static constexpr std::size_t historyLimit = 2000;

    // Opens or creates the database at `location`, creating missing folders (owner-only).
    // A symbolic link or anything but an ordinary file at `location` is refused.
    static Result<Store> open(const std::filesystem::path& location);

    Store(Store&&) noexcept;
    Store& operator=(Store&&) noexcept;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store();

    // Stores the JSON form of `value` under `key`, replacing what was there.
    template <class T> Status save(const T& value, std::string_view key);

    // The value stored under `key`; none when the key has no row or an empty blob. Load
    // a `std::optional<T>` to tell a stored JSON null (a found, absent value) from no row.
    template <class T> Result<std::optional<T>> load(std::string_view key) const;

    // Adds one event and keeps only the newest `historyLimit`. An event whose id is
    // already stored is refused and changes nothing.
    Status append(const HistoryEvent& event);

    // When a transaction's writes reach the disk. `now`: before `commit` returns, as with every
    // other write. `later`: `commit` leaves them with the system, where they outlive this
    // process (a crash, a kill) but not a power cut, until `flush`. A caller that answers
    // someone can answer first and flush after.
    enum class Flush { now, later };

    // Writes made while one lives are kept together or not at all, with one flush to disk
    // instead of one per write. One dropped without `commit` undoes them. A write that fails
    // inside it is undone alone, as it would be outside.
    class Transaction {
    public:
        Transaction(Transaction&& other) noexcept;
        Transaction& operator=(Transaction&&) = delete;
        ~Transaction();
        Status commit();

    private:
        friend class Store;
        Transaction(sqlite3* db, Flush flush) : m_db(db), m_flush(flush) {}
        void end(const char* sql); // runs `sql` (none: nothing) and leaves the transaction
        sqlite3* m_db;
        Flush m_flush;
    };

    // Opens a transaction; only one at a time, and none may outlive its store.
    Result<Transaction> begin(Flush flush = Flush::now);

    // Puts every commit made so far on the disk.
    Status flush();

    // The events dated at or after `since`, newest first, at most `historyLimit`.
    Result<std::vector<HistoryEvent>> history(Instant since) const;

    // What `clearHistory` did beyond deleting the events.
    struct HistoryCleared {
        // Set when the events were deleted but their old copies could not yet be wiped from
        // the write-ahead log and the file's free pages; the history is empty all the same.
        std::optional<Error> wipeFailure;
    };

    // Deletes every event, also from the write-ahead log and the file's free pages. An error
    // means nothing was deleted; a deletion whose wiping failed succeeds with `wipeFailure`.
    Result<HistoryCleared> clearHistory();

    // Deletes events older than `days` days (at least 1) before `now`; how many it deleted.
    Result<std::size_t> trim(std::int64_t days, Instant now);
    Result<std::size_t> trim(std::int64_t days) { return trim(days, Instant::now()); }

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };

    explicit Store(sqlite3* db);

    Status saveData(std::string_view key, std::string_view json);
    Result<std::optional<std::string>> loadData(std::string_view key) const;

    std::unique_ptr<sqlite3, Closer> m_db;
};

template <class T> Status Store::save(const T& value, std::string_view key) {
    auto json = toJsonText(value);
    if (!json)
        return json.error();
    return saveData(key, *json);
}

template <class T> Result<std::optional<T>> Store::load(std::string_view key) const {
    auto data = loadData(key);
    if (!data)
        return data.error();
    if (!*data)
        return std::optional<T>();
    auto value = fromJsonText<T>(**data);
    if (!value)
        return value.error();
    return std::optional<T>(std::move(value).value());
}

} // namespace wakeward
