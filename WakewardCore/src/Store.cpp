#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <wakeward/Store.h>

namespace wakeward {

namespace {

namespace fs = std::filesystem;

// A path as messages show it. Appended, not joined as `"\"" + text`: GCC 12 takes that for an
// overlapping copy at -O3 and warns.
std::string quoted(const fs::path& path) {
    std::string text = "\"";
    text += path.string();
    text += '"';
    return text;
}

constexpr const char* schema =
    "PRAGMA journal_mode=WAL; "
    // A commit is on the disk when it returns, whatever the library's build default.
    "PRAGMA synchronous=FULL; "
    "CREATE TABLE IF NOT EXISTS settings(key TEXT PRIMARY KEY,data BLOB NOT NULL); "
    "CREATE TABLE IF NOT EXISTS history(id TEXT PRIMARY KEY,created REAL,data BLOB NOT NULL); "
    // Newest first without sorting: for the list and for dropping what is past the limit.
    "CREATE INDEX IF NOT EXISTS history_newest ON history(created);";

constexpr int busyTimeoutMilliseconds = 2000;

// SQLite's marker for "copy the value while binding" is written as a C-style cast.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
const sqlite3_destructor_type copyWhileBinding = SQLITE_TRANSIENT;
#pragma GCC diagnostic pop

Error writeFailure(std::string_view detail) {
    return Error{"The local database could not be written: " + std::string(detail) + "."};
}

Error writeFailure(sqlite3* db) {
    return writeFailure(sqlite3_errmsg(db));
}

Error readFailure(sqlite3* db) {
    return Error{"The local database could not be read: " + std::string(sqlite3_errmsg(db)) + "."};
}

// Runs statements that return no rows; true when all of them ran.
bool run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Error notOpen() {
    return Error{"The local database is not open."};
}

std::string systemMessage(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// One prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, std::string_view sql) {
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_statement, nullptr);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(m_statement); }

    explicit operator bool() const { return m_statement != nullptr; }

    bool bind(int index, std::string_view text) {
        return sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                                 copyWhileBinding) == SQLITE_OK;
    }
    bool bindBlob(int index, std::string_view bytes) {
        return sqlite3_bind_blob(m_statement, index, bytes.data(), static_cast<int>(bytes.size()),
                                 copyWhileBinding) == SQLITE_OK;
    }
    bool bind(int index, double value) {
        return sqlite3_bind_double(m_statement, index, value) == SQLITE_OK;
    }

    int step() { return sqlite3_step(m_statement); }

    // The blob of a column of the current row; empty for an empty blob or NULL.
    std::string_view blob(int column) const {
        const void* data = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        if (!data || size <= 0)
            return {};
        return {static_cast<const char*>(data), static_cast<std::size_t>(size)};
    }

private:
    sqlite3_stmt* m_statement = nullptr;
};

// SQLite counts text and blob lengths in a signed 32-bit int.
bool fitsBindLength(std::string_view bytes) {
    return bytes.size() <= static_cast<std::size_t>(INT_MAX);
}

// Creates the database file for its owner only before SQLite opens it; SQLite gives its
// write-ahead log and shared-memory files the same mode. History is personal. A link or
// anything but an ordinary file at the path is refused: following it would narrow the mode
// of, or write a database into, whatever file it points to.
Status createPrivateFile(const fs::path& location) {
    const int fd = ::open(location.c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) {
        const int openError = errno;
        struct stat link {};
        if (openError == ELOOP && ::lstat(location.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
            return writeFailure(quoted(location) + " is a symbolic link");
        return writeFailure(systemMessage(openError));
    }
    struct stat status {};
    Status result;
    if (::fstat(fd, &status) != 0)
        result = writeFailure(systemMessage(errno));
    else if (!S_ISREG(status.st_mode))
        result = writeFailure(quoted(location) + " is not an ordinary file");
    else if (status.st_uid == ::geteuid() && (status.st_mode & 07777) != 0600)
        ::fchmod(fd, 0600);
    ::close(fd);
    return result;
}

} // namespace

Status createPrivateFolder(const fs::path& folder) {
    if (folder.empty())
        return {};
    std::error_code error;
    if (fs::is_directory(folder, error))
        return {};
    const fs::path parent = folder.parent_path();
    if (!parent.empty() && parent != folder) {
        if (auto created = createPrivateFolder(parent); !created)
            return created;
    }
    if (::mkdir(folder.c_str(), 0700) == 0) {
        // The umask may have narrowed the mode; the owner needs all of it.
        ::chmod(folder.c_str(), 0700);
        return {};
    }
    const int mkdirError = errno;
    if (mkdirError == EEXIST && fs::is_directory(folder, error))
        return {};
    return Error{"The folder \"" + folder.string() +
                 "\" could not be created: " + systemMessage(mkdirError) + "."};
}

void Store::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

Store::Store(sqlite3* db) : m_db(db) {}
Store::Store(Store&&) noexcept = default;
Store& Store::operator=(Store&&) noexcept = default;
Store::~Store() = default;

Result<Store> Store::open(const std::filesystem::path& location) {
    if (location.empty() || !location.has_filename())
        return writeFailure("no database file was given");
    if (auto folder = createPrivateFolder(location.parent_path()); !folder)
        return folder.error();
    if (auto file = createPrivateFile(location); !file)
        return file.error();

    sqlite3* db = nullptr;
    const int opened =
        sqlite3_open_v2(location.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Store store(db); // owns the handle even when opening failed
    if (opened != SQLITE_OK)
        return db ? writeFailure(db) : writeFailure(sqlite3_errstr(opened));
    // Another program may hold the lock for a moment (a backup, a database browser); a write
    // waits for it rather than failing at once.
    sqlite3_busy_timeout(db, busyTimeoutMilliseconds);
    // Deleted history is overwritten where it lay, whatever the library's build default.
    if (!run(db, "PRAGMA secure_delete=ON"))
        return writeFailure(db);
    if (!run(db, schema))
        return writeFailure(db);
    return store;
}

Status Store::saveData(std::string_view key, std::string_view json) {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    if (!fitsBindLength(key) || !fitsBindLength(json))
        return writeFailure("the value is too large to store");
    Statement insert(db, "INSERT OR REPLACE INTO settings VALUES(?,?)");
    if (!insert)
        return writeFailure(db);
    if (!insert.bind(1, key) || !insert.bindBlob(2, json) || insert.step() != SQLITE_DONE)
        return writeFailure(db);
    return {};
}

Result<std::optional<std::string>> Store::loadData(std::string_view key) const {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    if (!fitsBindLength(key))
        return std::optional<std::string>();
    Statement select(db, "SELECT data FROM settings WHERE key=?");
    if (!select || !select.bind(1, key))
        return readFailure(db);
    const int stepped = select.step();
    if (stepped == SQLITE_DONE)
        return std::optional<std::string>();
    // A failed read is not "never saved": the caller would fall back to defaults and
    // overwrite the user's settings with them.
    if (stepped != SQLITE_ROW)
        return readFailure(db);
    const std::string_view data = select.blob(0);
    if (data.empty())
        return std::optional<std::string>();
    return std::optional<std::string>(std::string(data));
}

Status Store::append(const HistoryEvent& event) {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    auto json = toJsonText(event);
    if (!json)
        return json.error();
    if (!fitsBindLength(*json))
        return writeFailure("the history event is too large to store");

    // One transaction for the insert and the trim, the caller's or its own: one flush to disk
    // instead of two. A savepoint lets a failed insert undo itself alone.
    std::optional<Transaction> own;
    if (sqlite3_get_autocommit(db) != 0) {
        auto begun = begin();
        if (!begun)
            return begun.error();
        own.emplace(std::move(begun).value());
    }
    if (!run(db, "SAVEPOINT append"))
        return writeFailure(db);
    {
        Statement insert(db, "INSERT INTO history VALUES(?,?,?)");
        if (!insert || !insert.bind(1, event.id.toString()) || !insert.bind(2, event.date.unix()) ||
            !insert.bindBlob(3, *json) || insert.step() != SQLITE_DONE) {
            const Error failure = writeFailure(db);
            run(db, "ROLLBACK TO append; RELEASE append");
            return failure;
        }
    }
    // The trim walks the index past the newest and deletes what lies beyond, usually one row
    // (asking which ids are among the newest built a set of all of them at every append). A
    // failed trim still keeps the new event: only this statement is undone.
    static const std::string keepNewest =
        "DELETE FROM history WHERE rowid IN (SELECT rowid FROM history ORDER BY created DESC, "
        "rowid DESC LIMIT -1 OFFSET " +
        std::to_string(historyLimit) + ")";
    std::optional<Error> failure;
    if (!run(db, keepNewest.c_str()))
        failure = writeFailure(db);
    if (!run(db, "RELEASE append"))
        failure = writeFailure(db);
    if (own) {
        if (auto committed = own->commit(); !committed)
            return committed.error();
    }
    if (failure)
        return *failure;
    return {};
}

Result<Store::Transaction> Store::begin(Flush flush) {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    // The level can only change between transactions; the transaction's end puts it back.
    if (flush == Flush::later && !run(db, "PRAGMA synchronous=NORMAL"))
        return writeFailure(db);
    if (!run(db, "BEGIN IMMEDIATE")) {
        const Error failure = writeFailure(db);
        if (flush == Flush::later)
            run(db, "PRAGMA synchronous=FULL");
        return failure;
    }
    return Transaction(db, flush);
}

Store::Transaction::Transaction(Transaction&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_flush(other.m_flush) {}

Store::Transaction::~Transaction() {
    if (m_db)
        end("ROLLBACK");
}

void Store::Transaction::end(const char* sql) {
    sqlite3* db = std::exchange(m_db, nullptr);
    if (sql != nullptr)
        run(db, sql);
    if (m_flush == Flush::later)
        run(db, "PRAGMA synchronous=FULL");
}

Status Store::Transaction::commit() {
    sqlite3* db = m_db;
    if (!db)
        return notOpen();
    if (run(db, "COMMIT")) {
        end(nullptr);
        return {};
    }
    const Error failure = writeFailure(db);
    end("ROLLBACK");
    return failure;
}

Status Store::flush() {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    // Commits go to the write-ahead log; the database file itself is only written, and synced,
    // when the log is copied into it.
    sqlite3_file* log = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &log) != SQLITE_OK)
        return writeFailure(db);
    if (log == nullptr || log->pMethods == nullptr)
        return {}; // no log open: nothing was written since the file was opened
    if (const int synced = log->pMethods->xSync(log, SQLITE_SYNC_NORMAL); synced != SQLITE_OK)
        return writeFailure(sqlite3_errstr(synced));
    return {};
}

Result<std::vector<HistoryEvent>> Store::history(Instant since) const {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    // Events of one instant (a hold's end and the next one's start) come newest written first.
    static const std::string newestSince =
        "SELECT data FROM history WHERE created>=? ORDER BY created DESC, rowid DESC LIMIT " +
        std::to_string(historyLimit);
    Statement select(db, newestSince);
    if (!select || !select.bind(1, since.unix()))
        return readFailure(db);
    std::vector<HistoryEvent> events;
    for (;;) {
        const int stepped = select.step();
        if (stepped == SQLITE_DONE)
            break;
        // Stopping quietly would pass a partial history off as the whole.
        if (stepped != SQLITE_ROW)
            return readFailure(db);
        const std::string_view data = select.blob(0);
        if (data.empty())
            continue;
        auto event = fromJsonText<HistoryEvent>(data);
        if (!event)
            return event.error();
        events.push_back(std::move(event).value());
    }
    return events;
}

Result<Store::HistoryCleared> Store::clearHistory() {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    if (!run(db, "DELETE FROM history"))
        return writeFailure(db);
    // The events are gone; what follows only wipes their old copies. The log still holds them
    // until it is folded into the file and emptied, and VACUUM writes its compacted pages into
    // the log, so the file keeps its old pages until the log is folded in once more. The
    // pragma form of the checkpoint reports a reader in the way as a row, not as a failure.
    const auto checkpoint = [db] {
        return sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    };
    if (checkpoint() != SQLITE_OK || !run(db, "VACUUM") || checkpoint() != SQLITE_OK)
        return HistoryCleared{Error{"The history was cleared, but its old copies could not yet be "
                                    "wiped from the local database: " +
                                    std::string(sqlite3_errmsg(db)) + "."}};
    return HistoryCleared{};
}

Result<std::size_t> Store::trim(std::int64_t days, Instant now) {
    sqlite3* db = m_db.get();
    if (!db)
        return notOpen();
    const double kept = static_cast<double>(days < 1 ? 1 : days);
    const double cutoff = now.unix() - kept * 86400.0;
    if (!std::isfinite(cutoff))
        return writeFailure("the time to keep history from is not a number");
    Statement remove(db, "DELETE FROM history WHERE created < ?");
    if (!remove || !remove.bind(1, cutoff) || remove.step() != SQLITE_DONE)
        return writeFailure(db);
    return static_cast<std::size_t>(sqlite3_changes(db));
}

} // namespace wakeward
