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
        s_vfs.szOsFile = int(sizeof(File)) + s_base->szOsFile;
        s_vfs.xOpen = &open;
        wrap();
        sqlite3_vfs_register(&s_vfs, 1);
    }
    static int count() { return s_count; }

private:
    // A log: our record, followed by the real layer's.
    struct File {
        sqlite3_file self;
        sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
    };
    static File& of(sqlite3_file* file) { return *reinterpret_cast<File*>(file); }
    static const sqlite3_io_methods& methodsOf(sqlite3_file* file) {
        return *of(file).real()->pMethods;
    }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags,
                    int* outFlags) {
        // Other files are the real layer's alone.
        if ((flags & SQLITE_OPEN_WAL) == 0)
            return s_base->xOpen(s_base, name, file, flags, outFlags);
        File& wrapped = of(file);
        wrapped.self.pMethods = nullptr;
        const int opened = s_base->xOpen(s_base, name, wrapped.real(), flags, outFlags);
        if (wrapped.real()->pMethods == nullptr)
            return opened;
        wrapped.self.pMethods = &s_methods;
        return opened;
    }

    // Version 1: a log is read and written, never mapped into memory.
    static void wrap() {
        s_methods.iVersion = 1;
        s_methods.xClose = [](sqlite3_file* f) { return methodsOf(f).xClose(of(f).real()); };
        s_methods.xRead = [](sqlite3_file* f, void* b, int n, sqlite3_int64 at) {
            return methodsOf(f).xRead(of(f).real(), b, n, at);
        };
        s_methods.xWrite = [](sqlite3_file* f, const void* b, int n, sqlite3_int64 at) {
            return methodsOf(f).xWrite(of(f).real(), b, n, at);
        };
        s_methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 size) {
            return methodsOf(f).xTruncate(of(f).real(), size);
        };
        s_methods.xSync = [](sqlite3_file* f, int flags) {
            ++s_count;
            return methodsOf(f).xSync(of(f).real(), flags);
        };
        s_methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* size) {
            return methodsOf(f).xFileSize(of(f).real(), size);
        };
        s_methods.xLock = [](sqlite3_file* f, int level) {
            return methodsOf(f).xLock(of(f).real(), level);
        };
        s_methods.xUnlock = [](sqlite3_file* f, int level) {
            return methodsOf(f).xUnlock(of(f).real(), level);
        };
        s_methods.xCheckReservedLock = [](sqlite3_file* f, int* out) {
            return methodsOf(f).xCheckReservedLock(of(f).real(), out);
        };
        s_methods.xFileControl = [](sqlite3_file* f, int op, void* arg) {
            return methodsOf(f).xFileControl(of(f).real(), op, arg);
        };
        s_methods.xSectorSize = [](sqlite3_file* f) {
            return methodsOf(f).xSectorSize(of(f).real());
        };
        s_methods.xDeviceCharacteristics = [](sqlite3_file* f) {
            return methodsOf(f).xDeviceCharacteristics(of(f).real());
        };
    }

    static inline sqlite3_vfs* s_base = nullptr;
    static inline sqlite3_vfs s_vfs{};
    static inline sqlite3_io_methods s_methods{};
    static inline int s_count = 0;
};

} // namespace wakeward::test
