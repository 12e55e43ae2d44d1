#pragma once

#include <sqlite3.h>

namespace wakeward::test {

// Counts how often SQLite puts a write-ahead log on the disk, in this process, from the moment
// `install` makes it the default file system layer (for connections opened after it).
class LogSyncs {
public:
    static void install() {
        if (s_base != nullptr)
            return;
        s_base = sqlite3_vfs_find(nullptr);
        s_vfs = *s_base;
        s_vfs.zName = "wakeward-log-syncs";
        s_vfs.xOpen = &open;
        sqlite3_vfs_register(&s_vfs, 1);
    }
    static int count() { return s_count; }

private:
    // The real layer opens every file; a log gets the real methods with a counting sync.
    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                    int* outFlags) {
        const int opened = s_base->xOpen(s_base, name, file, flags, outFlags);
        if ((flags & SQLITE_OPEN_WAL) == 0 || file->pMethods == nullptr)
            return opened;
        if (s_realSync == nullptr) {
            s_methods = *file->pMethods;
            s_realSync = s_methods.xSync;
            s_methods.xSync = [](sqlite3_file* log, int syncFlags) {
                ++s_count;
                return s_realSync(log, syncFlags);
            };
        }
        file->pMethods = &s_methods;
        return opened;
    }

    static inline sqlite3_vfs* s_base = nullptr;
    static inline sqlite3_vfs s_vfs{};
    static inline sqlite3_io_methods s_methods{};
    static inline int (*s_realSync)(sqlite3_file*, int) = nullptr;
    static inline int s_count = 0;
};

} // namespace wakeward::test
