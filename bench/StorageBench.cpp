// The program's storage workload on the engine beside SQLite, LMDB and std::map doing the same
// work: records of 464 bytes with a unique 8-character key (the record number, right-aligned,
// as the program writes it) and a duplicates key (a parent's number); add, find (hit and miss),
// step through all, remove and reinsert.
//
// Normal mode: our engine writes pages only when they are evicted and at close, so SQLite gets
// the same batching: one transaction per add batch, a commit every 1,000 remove-and-reinserts;
// journal and synchronous off and exclusive locking (our single-user open is exclusive); the
// same cache budget (8 page buffers of 2,436 bytes, about 19 KiB), with 4 KiB and with 1 KiB
// pages, each once reading with pread and once through a map of the whole file (our engine
// reads pages that miss its buffers through a view of the file too). LMDB (no sync, the same
// batching) and std::map are reference rows.
//
// Save mode: our durable mode against SQLite with synchronous FULL and exclusive locking in
// rollback-journal (DELETE) and WAL mode, committing every operation, on a real disk folder;
// each case also counts the flushes it makes per operation (ours through the file-operations
// seam, SQLite's by the fsync and fdatasync calls it makes). The floor beside them: one flush
// of a one-byte change to a file in the same folder.
//
//   StorageBench [--sizes=10000,100000,1000000] [--save-size=10000] [--disk=FOLDER]
//                [Google Benchmark flags; --benchmark_repetitions defaults to 3]
#include "platform/ForwardingFileOps.h"
#include "storage/Storage.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <lmdb.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

// ---- counting SQLite's flushes ---------------------------------------------------------

namespace {
std::atomic<long> systemFlushes{0};

template <typename F> F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
} // namespace

// SQLite's own calls of the C library's flushes land here first (the executable's symbols come
// before the library's), so its flushes of files and of the folder are all counted.
extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
    static const auto real = Next<int (*)(int)>("fsync");
    ++systemFlushes;
    return real(fd);
}
extern "C" __attribute__((visibility("default"))) int fdatasync(int fd) {
    static const auto real = Next<int (*)(int)>("fdatasync");
    ++systemFlushes;
    return real(fd);
}

namespace {

constexpr int kRecordLength = 464;
constexpr int kPageBuffers = 8;
constexpr int kCacheKiB = kPageBuffers * 2436 / 1024; // 19 KiB: the same budget for SQLite
constexpr long kCommitEvery = 1000;

std::string MakeFolder(const std::filesystem::path& parent) {
    std::string pattern = (parent / "zel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
}
std::string& Folder() {
    static std::string folder;
    return folder;
}
std::string& DiskFolder() {
    static std::string folder;
    return folder;
}

std::string RecordKey(long n) {
    char text[24];
    std::snprintf(text, sizeof text, "%8ld", n);
    return text;
}
// A text that is not there but sorts among the others: "     12a" lies between 129 and 130.
std::string MissingKey(long n) {
    std::string text = RecordKey(n);
    text.back() = 'a';
    return text;
}
long Parent(long n, long count) {
    return (n * 2654435761L) % (count / 10 + 1) + 1;
}

std::vector<unsigned char> RecordBytes(long n) {
    std::vector<unsigned char> record(kRecordLength, 0x5A);
    std::memcpy(record.data() + 8, &n, sizeof n);
    return record;
}

void Remove(const std::string& name) {
    std::error_code ignored;
    std::filesystem::remove(name, ignored);
}

// ---- the engine ------------------------------------------------------------------------

// Counts the flushes of files and of folders the engine asks for.
class CountingFiles : public platform::ForwardingFileOps {
public:
    platform::SystemError Flush(platform::FileHandle h) override {
        ++flushes;
        return Wrapped().Flush(h);
    }
    platform::SystemError FlushFolder(const std::string& path) override {
        ++flushes;
        return Wrapped().FlushFolder(path);
    }

    long flushes = 0;
};
CountingFiles countingFiles;

struct OurFile {
    Fileblock* fb = nullptr;
    long count = 0;
    std::string name;
};

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "%s failed: %d\n", what, FbErrorCode);
        std::abort();
    }
}

void OursAdd(OurFile& file, long n) {
    std::int32_t record = 0;
    const auto bytes = RecordBytes(n);
    FbAppendRecord(file.fb, record, bytes);
    FbInsertKey(file.fb, 1, record, RecordKey(n));
    FbInsertKey(file.fb, 2, record, RecordKey(Parent(n, file.count)));
}

void OursRemoveReinsert(OurFile& file, long n, std::vector<unsigned char>& buffer) {
    // Record n holds entry n (a freed record is the next one appended); its keys follow from
    // the record, read first as SQLite reads the row it deletes.
    const auto record = static_cast<std::int32_t>(n);
    FbReadRecord(file.fb, record, buffer);
    FbRemoveKey(file.fb, 1, record, RecordKey(n));
    FbRemoveKey(file.fb, 2, record, RecordKey(Parent(n, file.count)));
    FbFreeRecord(file.fb, record);
    OursAdd(file, n);
}

void OursCreate(OurFile& file, const std::string& name, long count) {
    TKeySpecs keys{};
    keys[0] = {8, false};
    keys[1] = {8, true};
    FbCreate(name, kRecordLength, 2, keys);
    Check(FbOk, "FbCreate");
    file.name = name;
    file.count = count;
}
void OursOpen(OurFile& file, bool saveMode) {
    FbOpen(file.fb, file.name, false, false, saveMode, false);
    Check(FbOk, "FbOpen");
}
void OursDelete(const std::string& name) {
    for (const char* ext : {".DAT", ".IX", ".DIA"})
        Remove(name + ext);
}

OurFile& Ours(long count) {
    static std::map<long, OurFile> files;
    OurFile& file = files[count];
    if (file.fb == nullptr) {
        OursCreate(file, Folder() + "/ours" + std::to_string(count), count);
        OursOpen(file, false);
        for (long n = 1; n <= count; ++n)
            OursAdd(file, n);
        Check(FbOk, "adding");
    }
    return file;
}

void BM_Ours_Add(benchmark::State& state) {
    const long count = state.range(0);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        OurFile file;
        OursCreate(file, Folder() + "/add" + std::to_string(count) + "-" + std::to_string(round++), count);
        OursOpen(file, false);
        state.ResumeTiming();
        for (long n = 1; n <= count; ++n)
            OursAdd(file, n);
        FbClose(file.fb);
        state.PauseTiming();
        Check(FbOk, "adding");
        OursDelete(file.name);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_Ours_FindHit(benchmark::State& state) {
    OurFile& file = Ours(state.range(0));
    std::mt19937 rng(1);
    std::uniform_int_distribution<long> pick(1, file.count);
    std::int32_t reference = 0;
    for (auto _ : state) {
        FbFindKey(file.fb, 1, reference, RecordKey(pick(rng)));
        if (!FbOk) state.SkipWithError("find");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Ours_FindMiss(benchmark::State& state) {
    OurFile& file = Ours(state.range(0));
    std::mt19937 rng(2);
    std::uniform_int_distribution<long> pick(1, file.count);
    std::int32_t reference = 0;
    for (auto _ : state) {
        FbFindKey(file.fb, 1, reference, MissingKey(pick(rng)));
        if (FbErrorCode != fberr::kNoMatchingKey) state.SkipWithError("miss");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Ours_StepAll(benchmark::State& state) {
    OurFile& file = Ours(state.range(0));
    std::int32_t reference = 0;
    std::string text;
    long seen = 0;
    for (auto _ : state) {
        FbRewindKey(file.fb, 1);
        for (;;) {
            FbStepKey(file.fb, 1, reference, text);
            if (!FbOk) break;
            ++seen;
        }
    }
    if (seen != file.count * static_cast<long>(state.iterations())) state.SkipWithError("step");
    state.SetItemsProcessed(seen);
}

void BM_Ours_RemoveReinsert(benchmark::State& state) {
    OurFile& file = Ours(state.range(0));
    std::vector<unsigned char> buffer(kRecordLength);
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state) {
        OursRemoveReinsert(file, pick(rng), buffer);
        if (!FbOk) state.SkipWithError("remove and reinsert");
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- SQLite ----------------------------------------------------------------------------

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

struct SqliteFile {
    sqlite3* db = nullptr;
    long count = 0;
    Statement insert, find, scan, remove, read;
    ~SqliteFile() {
        for (Statement* s : {&insert, &find, &scan, &remove, &read}) {
            sqlite3_finalize(s->stmt);
            s->stmt = nullptr;
        }
        sqlite3_close(db);
    }
};

// How SQLite runs: normal (journal and sync off) with its page size, reading through pread or
// a map of the file, or durable.
enum class SqliteMode { Page4K, Page1K, Page4KMapped, Page1KMapped, DeleteFull, WalFull };

bool SmallPages(SqliteMode mode) {
    return mode == SqliteMode::Page1K || mode == SqliteMode::Page1KMapped;
}
bool Mapped(SqliteMode mode) {
    return mode == SqliteMode::Page4KMapped || mode == SqliteMode::Page1KMapped;
}

// The largest map this SQLite allows (it caps the request at its own limit), far above the
// largest file made here.
constexpr const char* kMapWholeFile = "PRAGMA mmap_size=2147418112";

void Exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, message);
        std::abort();
    }
}

void Prepare(sqlite3* db, const char* sql, Statement& s) {
    if (sqlite3_prepare_v2(db, sql, -1, &s.stmt, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, sqlite3_errmsg(db));
        std::abort();
    }
}

void Settings(sqlite3* db, SqliteMode mode) {
    Exec(db, ("PRAGMA cache_size=-" + std::to_string(kCacheKiB)).c_str());
    // Our single-user open is exclusive in both modes.
    Exec(db, "PRAGMA locking_mode=EXCLUSIVE");
    switch (mode) {
    case SqliteMode::Page4K:
    case SqliteMode::Page1K:
    case SqliteMode::Page4KMapped:
    case SqliteMode::Page1KMapped:
        Exec(db, "PRAGMA journal_mode=OFF");
        Exec(db, "PRAGMA synchronous=OFF");
        break;
    case SqliteMode::DeleteFull:
        Exec(db, "PRAGMA journal_mode=DELETE");
        Exec(db, "PRAGMA synchronous=FULL");
        break;
    case SqliteMode::WalFull:
        Exec(db, "PRAGMA journal_mode=WAL");
        Exec(db, "PRAGMA synchronous=FULL");
        break;
    }
    if (Mapped(mode)) {
        Exec(db, kMapWholeFile);
        sqlite3_stmt* query = nullptr;
        const bool mapping = sqlite3_prepare_v2(db, "PRAGMA mmap_size", -1, &query, nullptr) == SQLITE_OK &&
                             sqlite3_step(query) == SQLITE_ROW && sqlite3_column_int64(query, 0) > 0;
        sqlite3_finalize(query);
        if (!mapping) {
            std::fprintf(stderr, "this SQLite was built without memory-mapped reads\n");
            std::abort();
        }
    }
}

void OpenSqlite(SqliteFile& file, const std::string& name, long count, SqliteMode mode) {
    Remove(name);
    Remove(name + "-journal");
    Remove(name + "-wal");
    Remove(name + "-shm");
    if (sqlite3_open(name.c_str(), &file.db) != SQLITE_OK) std::abort();
    Exec(file.db, SmallPages(mode) ? "PRAGMA page_size=1024" : "PRAGMA page_size=4096");
    Settings(file.db, mode);
    Exec(file.db,
         "CREATE TABLE record(id INTEGER PRIMARY KEY, k1 TEXT NOT NULL, k2 TEXT NOT NULL, body BLOB)");
    Exec(file.db, "CREATE UNIQUE INDEX record_k1 ON record(k1)");
    Exec(file.db, "CREATE INDEX record_k2 ON record(k2)");
    Prepare(file.db, "INSERT INTO record(id, k1, k2, body) VALUES(?, ?, ?, ?)", file.insert);
    Prepare(file.db, "SELECT id FROM record WHERE k1 = ?", file.find);
    Prepare(file.db, "SELECT id, k1 FROM record ORDER BY k1", file.scan);
    Prepare(file.db, "DELETE FROM record WHERE id = ?", file.remove);
    Prepare(file.db, "SELECT body FROM record WHERE id = ?", file.read);
    file.count = count;
}

void SqliteAdd(SqliteFile& file, long n) {
    const auto bytes = RecordBytes(n);
    const std::string k1 = RecordKey(n);
    const std::string k2 = RecordKey(Parent(n, file.count));
    sqlite3_stmt* s = file.insert.stmt;
    sqlite3_bind_int64(s, 1, n);
    sqlite3_bind_text(s, 2, k1.data(), static_cast<int>(k1.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 3, k2.data(), static_cast<int>(k2.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(s, 4, bytes.data(), kRecordLength, SQLITE_TRANSIENT);
    if (sqlite3_step(s) != SQLITE_DONE) std::abort();
    sqlite3_reset(s);
}

// Reads the record as our side does, then deletes its row (with its index entries) and adds it.
bool SqliteRemoveReinsert(SqliteFile& file, long n) {
    sqlite3_stmt* r = file.read.stmt;
    sqlite3_bind_int64(r, 1, n);
    const bool found = sqlite3_step(r) == SQLITE_ROW;
    if (found) benchmark::DoNotOptimize(sqlite3_column_blob(r, 0));
    sqlite3_reset(r);
    sqlite3_stmt* s = file.remove.stmt;
    sqlite3_bind_int64(s, 1, n);
    const bool removed = sqlite3_step(s) == SQLITE_DONE;
    sqlite3_reset(s);
    SqliteAdd(file, n);
    return found && removed;
}

void SqliteFill(SqliteFile& file, long count) {
    Exec(file.db, "BEGIN");
    for (long n = 1; n <= count; ++n)
        SqliteAdd(file, n);
    Exec(file.db, "COMMIT");
}

SqliteFile& Sqlite(long count, SqliteMode mode) {
    static std::map<std::pair<long, SqliteMode>, std::unique_ptr<SqliteFile>> files;
    auto& file = files[{count, mode}];
    if (!file) {
        file = std::make_unique<SqliteFile>();
        OpenSqlite(*file,
                   Folder() + "/sqlite" + std::to_string(count) + "-" +
                       std::to_string(static_cast<int>(mode)) + ".db",
                   count, mode);
        SqliteFill(*file, count);
    }
    return *file;
}

bool SqliteFind(SqliteFile& file, const std::string& key) {
    sqlite3_stmt* s = file.find.stmt;
    sqlite3_bind_text(s, 1, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    const bool found = sqlite3_step(s) == SQLITE_ROW;
    if (found) benchmark::DoNotOptimize(sqlite3_column_int64(s, 0));
    sqlite3_reset(s);
    return found;
}

template <SqliteMode mode> void BM_Sqlite_Add(benchmark::State& state) {
    const long count = state.range(0);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name =
            Folder() + "/sqliteadd" + std::to_string(count) + "-" + std::to_string(round++);
        auto file = std::make_unique<SqliteFile>();
        OpenSqlite(*file, name, count, mode);
        state.ResumeTiming();
        SqliteFill(*file, count);
        file.reset();
        state.PauseTiming();
        Remove(name);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

template <SqliteMode mode> void BM_Sqlite_FindHit(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0), mode);
    std::mt19937 rng(1);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state)
        if (!SqliteFind(file, RecordKey(pick(rng)))) state.SkipWithError("find");
    state.SetItemsProcessed(state.iterations());
}

template <SqliteMode mode> void BM_Sqlite_FindMiss(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0), mode);
    std::mt19937 rng(2);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state)
        if (SqliteFind(file, MissingKey(pick(rng)))) state.SkipWithError("miss");
    state.SetItemsProcessed(state.iterations());
}

template <SqliteMode mode> void BM_Sqlite_StepAll(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0), mode);
    long seen = 0;
    for (auto _ : state) {
        sqlite3_stmt* s = file.scan.stmt;
        while (sqlite3_step(s) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_int64(s, 0));
            benchmark::DoNotOptimize(sqlite3_column_text(s, 1));
            ++seen;
        }
        sqlite3_reset(s);
    }
    if (seen != file.count * static_cast<long>(state.iterations())) state.SkipWithError("step");
    state.SetItemsProcessed(seen);
}

template <SqliteMode mode> void BM_Sqlite_RemoveReinsert(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0), mode);
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    long done = 0;
    Exec(file.db, "BEGIN");
    for (auto _ : state) {
        if (!SqliteRemoveReinsert(file, pick(rng))) state.SkipWithError("remove and reinsert");
        if (++done % kCommitEvery == 0) {
            Exec(file.db, "COMMIT");
            Exec(file.db, "BEGIN");
        }
    }
    Exec(file.db, "COMMIT");
    state.SetItemsProcessed(state.iterations());
}

// ---- LMDB ------------------------------------------------------------------------------

void MdbCheck(int rc, const char* what) {
    if (rc != MDB_SUCCESS) {
        std::fprintf(stderr, "%s: %s\n", what, mdb_strerror(rc));
        std::abort();
    }
}

// The records by number, the unique key and the duplicates key (sorted duplicates), in one
// environment without flushes; a write transaction per batch as SQLite's.
struct LmdbFile {
    MDB_env* env = nullptr;
    MDB_dbi records = 0, k1 = 0, k2 = 0;
    MDB_txn* txn = nullptr;
    long count = 0;
    std::string folder;

    ~LmdbFile() {
        if (txn) mdb_txn_abort(txn);
        if (env) mdb_env_close(env);
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    void Begin(unsigned flags = 0) { MdbCheck(mdb_txn_begin(env, nullptr, flags, &txn), "mdb_txn_begin"); }
    void Commit() {
        MdbCheck(mdb_txn_commit(txn), "mdb_txn_commit");
        txn = nullptr;
    }
};

void OpenLmdb(LmdbFile& file, const std::string& folder, long count) {
    std::filesystem::create_directories(folder);
    file.folder = folder;
    file.count = count;
    MdbCheck(mdb_env_create(&file.env), "mdb_env_create");
    MdbCheck(mdb_env_set_mapsize(file.env, std::size_t{8} << 30), "mdb_env_set_mapsize");
    MdbCheck(mdb_env_set_maxdbs(file.env, 4), "mdb_env_set_maxdbs");
    MdbCheck(mdb_env_open(file.env, folder.c_str(), MDB_NOSYNC | MDB_NOMETASYNC | MDB_NOTLS, 0644),
             "mdb_env_open");
    file.Begin();
    MdbCheck(mdb_dbi_open(file.txn, "records", MDB_CREATE | MDB_INTEGERKEY, &file.records), "records");
    MdbCheck(mdb_dbi_open(file.txn, "k1", MDB_CREATE, &file.k1), "k1");
    MdbCheck(mdb_dbi_open(file.txn, "k2", MDB_CREATE | MDB_DUPSORT | MDB_DUPFIXED | MDB_INTEGERDUP, &file.k2),
             "k2");
    file.Commit();
}

MDB_val Val(const void* data, std::size_t size) {
    return MDB_val{size, const_cast<void*>(data)};
}

void LmdbAdd(LmdbFile& file, long n) {
    const auto bytes = RecordBytes(n);
    const std::string k1 = RecordKey(n);
    const std::string k2 = RecordKey(Parent(n, file.count));
    const auto id = static_cast<std::uint32_t>(n);
    MDB_val idVal = Val(&id, sizeof id), body = Val(bytes.data(), bytes.size());
    MDB_val k1Val = Val(k1.data(), k1.size()), k2Val = Val(k2.data(), k2.size());
    MdbCheck(mdb_put(file.txn, file.records, &idVal, &body, 0), "put record");
    MdbCheck(mdb_put(file.txn, file.k1, &k1Val, &idVal, MDB_NOOVERWRITE), "put k1");
    MdbCheck(mdb_put(file.txn, file.k2, &k2Val, &idVal, 0), "put k2");
}

void LmdbFill(LmdbFile& file, long count) {
    file.Begin();
    for (long n = 1; n <= count; ++n)
        LmdbAdd(file, n);
    file.Commit();
}

LmdbFile& Lmdb(long count) {
    static std::map<long, std::unique_ptr<LmdbFile>> files;
    auto& file = files[count];
    if (!file) {
        file = std::make_unique<LmdbFile>();
        OpenLmdb(*file, Folder() + "/lmdb" + std::to_string(count), count);
        LmdbFill(*file, count);
    }
    return *file;
}

bool LmdbFind(LmdbFile& file, const std::string& key) {
    MDB_val k = Val(key.data(), key.size()), v{};
    const bool found = mdb_get(file.txn, file.k1, &k, &v) == MDB_SUCCESS;
    if (found) benchmark::DoNotOptimize(v.mv_data);
    return found;
}

void BM_Lmdb_Add(benchmark::State& state) {
    const long count = state.range(0);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto file = std::make_unique<LmdbFile>();
        OpenLmdb(*file, Folder() + "/lmdbadd" + std::to_string(count) + "-" + std::to_string(round++), count);
        state.ResumeTiming();
        LmdbFill(*file, count);
        mdb_env_close(file->env);
        file->env = nullptr;
        state.PauseTiming();
        file.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

template <bool hit> void BM_Lmdb_Find(benchmark::State& state) {
    LmdbFile& file = Lmdb(state.range(0));
    std::mt19937 rng(hit ? 1 : 2);
    std::uniform_int_distribution<long> pick(1, file.count);
    file.Begin(MDB_RDONLY);
    for (auto _ : state) {
        const long n = pick(rng);
        if (LmdbFind(file, hit ? RecordKey(n) : MissingKey(n)) != hit) state.SkipWithError("find");
    }
    mdb_txn_abort(file.txn);
    file.txn = nullptr;
    state.SetItemsProcessed(state.iterations());
}

void BM_Lmdb_StepAll(benchmark::State& state) {
    LmdbFile& file = Lmdb(state.range(0));
    long seen = 0;
    file.Begin(MDB_RDONLY);
    for (auto _ : state) {
        MDB_cursor* cursor = nullptr;
        MdbCheck(mdb_cursor_open(file.txn, file.k1, &cursor), "mdb_cursor_open");
        MDB_val k{}, v{};
        for (int rc = mdb_cursor_get(cursor, &k, &v, MDB_FIRST); rc == MDB_SUCCESS;
             rc = mdb_cursor_get(cursor, &k, &v, MDB_NEXT)) {
            benchmark::DoNotOptimize(k.mv_data);
            benchmark::DoNotOptimize(v.mv_data);
            ++seen;
        }
        mdb_cursor_close(cursor);
    }
    mdb_txn_abort(file.txn);
    file.txn = nullptr;
    if (seen != file.count * static_cast<long>(state.iterations())) state.SkipWithError("step");
    state.SetItemsProcessed(seen);
}

void BM_Lmdb_RemoveReinsert(benchmark::State& state) {
    LmdbFile& file = Lmdb(state.range(0));
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    long done = 0;
    file.Begin();
    for (auto _ : state) {
        const long n = pick(rng);
        const auto id = static_cast<std::uint32_t>(n);
        const std::string k1 = RecordKey(n);
        const std::string k2 = RecordKey(Parent(n, file.count));
        MDB_val idVal = Val(&id, sizeof id), body{};
        MDB_val k1Val = Val(k1.data(), k1.size()), k2Val = Val(k2.data(), k2.size());
        MdbCheck(mdb_get(file.txn, file.records, &idVal, &body), "get record");
        benchmark::DoNotOptimize(body.mv_data);
        MdbCheck(mdb_del(file.txn, file.k1, &k1Val, nullptr), "del k1");
        MdbCheck(mdb_del(file.txn, file.k2, &k2Val, &idVal), "del k2");
        MdbCheck(mdb_del(file.txn, file.records, &idVal, nullptr), "del record");
        LmdbAdd(file, n);
        if (++done % kCommitEvery == 0) {
            file.Commit();
            file.Begin();
        }
    }
    file.Commit();
    state.SetItemsProcessed(state.iterations());
}

// ---- std::map --------------------------------------------------------------------------

struct MapFile {
    std::map<long, std::vector<unsigned char>> records;
    std::map<std::string, long> k1;
    std::multimap<std::string, long> k2;
    long count = 0;
};

void MapAdd(MapFile& file, long n) {
    file.records.emplace(n, RecordBytes(n));
    file.k1.emplace(RecordKey(n), n);
    file.k2.emplace(RecordKey(Parent(n, file.count)), n);
}

MapFile& Map(long count) {
    static std::map<long, MapFile> files;
    MapFile& file = files[count];
    if (file.count == 0) {
        file.count = count;
        for (long n = 1; n <= count; ++n)
            MapAdd(file, n);
    }
    return file;
}

void BM_Map_Add(benchmark::State& state) {
    const long count = state.range(0);
    for (auto _ : state) {
        auto file = std::make_unique<MapFile>();
        file->count = count;
        for (long n = 1; n <= count; ++n)
            MapAdd(*file, n);
        file.reset();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

template <bool hit> void BM_Map_Find(benchmark::State& state) {
    MapFile& file = Map(state.range(0));
    std::mt19937 rng(hit ? 1 : 2);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state) {
        const long n = pick(rng);
        const auto it = file.k1.find(hit ? RecordKey(n) : MissingKey(n));
        if ((it != file.k1.end()) != hit) state.SkipWithError("find");
        benchmark::DoNotOptimize(it);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Map_StepAll(benchmark::State& state) {
    MapFile& file = Map(state.range(0));
    long seen = 0;
    for (auto _ : state)
        for (const auto& [key, id] : file.k1) {
            benchmark::DoNotOptimize(key.data());
            benchmark::DoNotOptimize(id);
            ++seen;
        }
    state.SetItemsProcessed(seen);
}

void BM_Map_RemoveReinsert(benchmark::State& state) {
    MapFile& file = Map(state.range(0));
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state) {
        const long n = pick(rng);
        const auto record = file.records.find(n);
        benchmark::DoNotOptimize(record->second.data());
        file.records.erase(record);
        file.k1.erase(RecordKey(n));
        const auto range = file.k2.equal_range(RecordKey(Parent(n, file.count)));
        for (auto it = range.first; it != range.second; ++it)
            if (it->second == n) {
                file.k2.erase(it);
                break;
            }
        MapAdd(file, n);
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- save mode on a disk folder ---------------------------------------------------------

// The files made without flushes go to the disk before timing starts, so the first timed
// flush does not carry the whole file.
void FlushMadeFiles() {
    for (const auto& entry : std::filesystem::directory_iterator(DiskFolder())) {
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        ::fsync(fd);
        ::close(fd);
    }
}

// A file of `count` entries made without flushes, reopened in save mode; adds take numbers
// above the made ones.
OurFile& OursSaved(long count) {
    static std::map<long, OurFile> files;
    OurFile& file = files[count];
    if (file.fb == nullptr) {
        OursCreate(file, DiskFolder() + "/ours-save" + std::to_string(count), count);
        OursOpen(file, false);
        for (long n = 1; n <= count; ++n)
            OursAdd(file, n);
        FbClose(file.fb);
        Check(FbOk, "making the save-mode file");
        OursOpen(file, true);
        FlushMadeFiles();
    }
    return file;
}

SqliteFile& SqliteSaved(long count, SqliteMode mode) {
    static std::map<std::pair<long, SqliteMode>, std::unique_ptr<SqliteFile>> files;
    auto& file = files[{count, mode}];
    if (!file) {
        file = std::make_unique<SqliteFile>();
        OpenSqlite(*file,
                   DiskFolder() + "/sqlite-save" + std::to_string(count) + "-" +
                       std::to_string(static_cast<int>(mode)) + ".db",
                   count, SqliteMode::Page4K);
        SqliteFill(*file, count);
        // Out of exclusive normal mode into the durable one: reopened with its own settings.
        const std::string name = sqlite3_db_filename(file->db, "main");
        file = std::make_unique<SqliteFile>();
        if (sqlite3_open(name.c_str(), &file->db) != SQLITE_OK) std::abort();
        Settings(file->db, mode);
        Prepare(file->db, "INSERT INTO record(id, k1, k2, body) VALUES(?, ?, ?, ?)", file->insert);
        Prepare(file->db, "DELETE FROM record WHERE id = ?", file->remove);
        Prepare(file->db, "SELECT body FROM record WHERE id = ?", file->read);
        file->count = count;
        FlushMadeFiles();
    }
    return *file;
}

void CountFlushes(benchmark::State& state, long flushes) {
    state.SetItemsProcessed(state.iterations());
    state.counters["flushes_per_op"] = static_cast<double>(flushes) / static_cast<double>(state.iterations());
}

// Each add takes the next number above those already there, across repetitions too.
long& NextNumber(long count, int side) {
    static std::map<std::pair<long, int>, long> next;
    auto [it, added] = next.try_emplace({count, side}, count + 1);
    return it->second;
}

void BM_OursSave_Add(benchmark::State& state) {
    OurFile& file = OursSaved(state.range(0));
    long& next = NextNumber(state.range(0), 0);
    platform::FileOps* previous = platform::SetFiles(&countingFiles);
    const long before = countingFiles.flushes;
    for (auto _ : state) {
        OursAdd(file, next++);
        if (!FbOk) state.SkipWithError("add");
    }
    CountFlushes(state, countingFiles.flushes - before);
    platform::SetFiles(previous);
}

void BM_OursSave_RemoveReinsert(benchmark::State& state) {
    OurFile& file = OursSaved(state.range(0));
    std::vector<unsigned char> buffer(kRecordLength);
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    platform::FileOps* previous = platform::SetFiles(&countingFiles);
    const long before = countingFiles.flushes;
    for (auto _ : state) {
        OursRemoveReinsert(file, pick(rng), buffer);
        if (!FbOk) state.SkipWithError("remove and reinsert");
    }
    CountFlushes(state, countingFiles.flushes - before);
    platform::SetFiles(previous);
}

template <SqliteMode mode> void BM_SqliteSave_Add(benchmark::State& state) {
    SqliteFile& file = SqliteSaved(state.range(0), mode);
    long& next = NextNumber(state.range(0), 1 + static_cast<int>(mode));
    const long before = systemFlushes;
    for (auto _ : state)
        SqliteAdd(file, next++);
    CountFlushes(state, systemFlushes - before);
}

template <SqliteMode mode> void BM_SqliteSave_RemoveReinsert(benchmark::State& state) {
    SqliteFile& file = SqliteSaved(state.range(0), mode);
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    const long before = systemFlushes;
    // Every statement commits on its own, as each of our operations does.
    for (auto _ : state)
        if (!SqliteRemoveReinsert(file, pick(rng))) state.SkipWithError("remove and reinsert");
    CountFlushes(state, systemFlushes - before);
}

// The least a durable change costs on this disk: one byte rewritten in a file of the folder
// and flushed.
void BM_FlushFloor(benchmark::State& state) {
    const std::string name = DiskFolder() + "/flush-floor";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
    unsigned char byte = 0;
    if (::pwrite(fd, &byte, 1, 0) != 1 || ::fsync(fd) != 0) std::abort();
    const long before = systemFlushes;
    for (auto _ : state) {
        ++byte;
        if (::pwrite(fd, &byte, 1, 0) != 1 || ::fsync(fd) != 0) state.SkipWithError("flush");
    }
    CountFlushes(state, systemFlushes - before);
    ::close(fd);
    Remove(name);
}

// ---- the table of figures --------------------------------------------------------------

// Keeps every repetition's operations per second and flushes per operation; the table takes
// their medians.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            const auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) rates[name].push_back(rate->second.value);
            const auto flushes = run.counters.find("flushes_per_op");
            if (flushes != run.counters.end()) flushesPerOp[name].push_back(flushes->second.value);
        }
    }
    static double Median(std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const std::size_t n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    }
    // The median, or 0 when the case did not run.
    double Rate(const std::string& name) const { return Lookup(rates, name); }
    double Flushes(const std::string& name) const { return Lookup(flushesPerOp, name); }

private:
    static double Lookup(const std::map<std::string, std::vector<double>>& table, const std::string& name) {
        const auto it = table.find(name);
        return it == table.end() || it->second.empty() ? 0 : Median(it->second);
    }
    std::map<std::string, std::vector<double>> rates, flushesPerOp;
};

using Function = void (*)(benchmark::State&);

// The normal-mode SQLite rows, in the table's order.
constexpr std::array<SqliteMode, 4> kSqliteRows = {SqliteMode::Page4K, SqliteMode::Page1K,
                                                   SqliteMode::Page4KMapped, SqliteMode::Page1KMapped};
const char* SqliteRowName(SqliteMode mode) {
    switch (mode) {
    case SqliteMode::Page4K:
        return "Sqlite4K";
    case SqliteMode::Page1K:
        return "Sqlite1K";
    case SqliteMode::Page4KMapped:
        return "Sqlite4KMap";
    case SqliteMode::Page1KMapped:
        return "Sqlite1KMap";
    default:
        return "?";
    }
}

struct Operation {
    std::string name;
    Function ours;
    std::array<Function, kSqliteRows.size()> sqlite;
    Function lmdb, map;
};

template <template <SqliteMode> class Case> constexpr std::array<Function, kSqliteRows.size()> SqliteCases() {
    return {Case<kSqliteRows[0]>::Run, Case<kSqliteRows[1]>::Run, Case<kSqliteRows[2]>::Run,
            Case<kSqliteRows[3]>::Run};
}
template <SqliteMode mode> struct SqliteAddCase {
    static void Run(benchmark::State& state) { BM_Sqlite_Add<mode>(state); }
};
template <SqliteMode mode> struct SqliteFindHitCase {
    static void Run(benchmark::State& state) { BM_Sqlite_FindHit<mode>(state); }
};
template <SqliteMode mode> struct SqliteFindMissCase {
    static void Run(benchmark::State& state) { BM_Sqlite_FindMiss<mode>(state); }
};
template <SqliteMode mode> struct SqliteStepAllCase {
    static void Run(benchmark::State& state) { BM_Sqlite_StepAll<mode>(state); }
};
template <SqliteMode mode> struct SqliteRemoveReinsertCase {
    static void Run(benchmark::State& state) { BM_Sqlite_RemoveReinsert<mode>(state); }
};

const std::vector<Operation>& Operations() {
    static const std::vector<Operation> operations = {
        {"Add", BM_Ours_Add, SqliteCases<SqliteAddCase>(), BM_Lmdb_Add, BM_Map_Add},
        {"FindHit", BM_Ours_FindHit, SqliteCases<SqliteFindHitCase>(), BM_Lmdb_Find<true>, BM_Map_Find<true>},
        {"FindMiss", BM_Ours_FindMiss, SqliteCases<SqliteFindMissCase>(), BM_Lmdb_Find<false>,
         BM_Map_Find<false>},
        {"StepAll", BM_Ours_StepAll, SqliteCases<SqliteStepAllCase>(), BM_Lmdb_StepAll, BM_Map_StepAll},
        {"RemoveReinsert", BM_Ours_RemoveReinsert, SqliteCases<SqliteRemoveReinsertCase>(),
         BM_Lmdb_RemoveReinsert, BM_Map_RemoveReinsert},
    };
    return operations;
}

void Register(const std::string& name, Function function, long size) {
    // Wall-clock time: the file system's share of the work counts.
    benchmark::RegisterBenchmark(name.c_str(), function)
        ->Arg(size)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->MinTime(0.5);
}

void PrintNormalTable(const FigureReporter& reporter, const std::vector<long>& sizes) {
    std::printf("\nNormal mode, medians in operations per second; ratio = ours / the fastest SQLite row\n");
    std::printf("%-15s %8s %11s %11s %11s %11s %11s %11s %12s %6s %8s %7s\n", "operation", "entries", "ours",
                "SQLite 4K", "SQLite 1K", "4K mapped", "1K mapped", "LMDB", "std::map", "ratio", "ours/LMDB",
                "ours/map");
    for (long size : sizes)
        for (const Operation& op : Operations()) {
            const std::string suffix = op.name + "/" + std::to_string(size);
            const double ours = reporter.Rate("Ours/" + suffix);
            if (ours == 0) continue;
            std::array<double, kSqliteRows.size()> sqlite{};
            for (std::size_t i = 0; i < kSqliteRows.size(); ++i)
                sqlite[i] = reporter.Rate(std::string(SqliteRowName(kSqliteRows[i])) + "/" + suffix);
            const double fastest = *std::max_element(sqlite.begin(), sqlite.end());
            const double lmdb = reporter.Rate("Lmdb/" + suffix);
            const double map = reporter.Rate("Map/" + suffix);
            std::printf("%-15s %8ld %11.0f %11.0f %11.0f %11.0f %11.0f %11.0f %12.0f %6.2f %8.2f %7.3f\n",
                        op.name.c_str(), size, ours, sqlite[0], sqlite[1], sqlite[2], sqlite[3], lmdb, map,
                        fastest > 0 ? ours / fastest : 0, lmdb > 0 ? ours / lmdb : 0,
                        map > 0 ? ours / map : 0);
        }
}

void PrintSaveTable(const FigureReporter& reporter, long size) {
    const double floor = reporter.Rate("FlushFloor/" + std::to_string(size));
    std::printf(
        "\nSave mode on %s, %ld entries: operations per second (flushes per operation);\n"
        "floor: one flush of a one-byte change, %.0f a second; x floor = time per operation in floors\n",
        DiskFolder().c_str(), size, floor);
    std::printf("%-15s %18s %18s %18s %10s %9s\n", "operation", "ours", "SQLite DELETE", "SQLite WAL",
                "ours/DEL", "x floor");
    for (const char* op : {"Add", "RemoveReinsert"}) {
        const std::string suffix = std::string(op) + "/" + std::to_string(size);
        const double ours = reporter.Rate("OursSave/" + suffix);
        const double del = reporter.Rate("SqliteSaveDelete/" + suffix);
        const double wal = reporter.Rate("SqliteSaveWal/" + suffix);
        if (ours == 0 && del == 0 && wal == 0) continue;
        std::printf("%-15s %10.0f (%5.1f) %10.0f (%5.1f) %10.0f (%5.1f) %10.2f %9.1f\n", op, ours,
                    reporter.Flushes("OursSave/" + suffix), del,
                    reporter.Flushes("SqliteSaveDelete/" + suffix), wal,
                    reporter.Flushes("SqliteSaveWal/" + suffix), del > 0 ? ours / del : 0,
                    ours > 0 ? floor / ours : 0);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes = {10000, 100000, 1000000};
    long saveSize = 10000;
    std::filesystem::path disk = std::filesystem::current_path();
    std::vector<char*> rest;
    bool repetitionsGiven = false;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sizes=", 8) == 0) {
            sizes.clear();
            for (char* p = argv[i] + 8; *p != 0;) {
                sizes.push_back(std::strtol(p, &p, 10));
                if (*p == ',') ++p;
            }
        } else if (std::strncmp(argv[i], "--save-size=", 12) == 0) {
            saveSize = std::strtol(argv[i] + 12, nullptr, 10);
        } else if (std::strncmp(argv[i], "--disk=", 7) == 0) {
            disk = argv[i] + 7;
        } else {
            if (std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0) repetitionsGiven = true;
            rest.push_back(argv[i]);
        }
    }
    static char defaultRepetitions[] = "--benchmark_repetitions=3";
    if (!repetitionsGiven) rest.push_back(defaultRepetitions);
    Folder() = MakeFolder(std::filesystem::temp_directory_path());
    DiskFolder() = MakeFolder(disk);

    for (long size : sizes)
        for (const Operation& op : Operations()) {
            Register("Ours/" + op.name, op.ours, size);
            for (std::size_t i = 0; i < kSqliteRows.size(); ++i)
                Register(std::string(SqliteRowName(kSqliteRows[i])) + "/" + op.name, op.sqlite[i], size);
            Register("Lmdb/" + op.name, op.lmdb, size);
            Register("Map/" + op.name, op.map, size);
        }
    if (saveSize > 0) {
        Register("FlushFloor", BM_FlushFloor, saveSize);
        Register("OursSave/Add", BM_OursSave_Add, saveSize);
        Register("SqliteSaveDelete/Add", BM_SqliteSave_Add<SqliteMode::DeleteFull>, saveSize);
        Register("SqliteSaveWal/Add", BM_SqliteSave_Add<SqliteMode::WalFull>, saveSize);
        Register("OursSave/RemoveReinsert", BM_OursSave_RemoveReinsert, saveSize);
        Register("SqliteSaveDelete/RemoveReinsert", BM_SqliteSave_RemoveReinsert<SqliteMode::DeleteFull>,
                 saveSize);
        Register("SqliteSaveWal/RemoveReinsert", BM_SqliteSave_RemoveReinsert<SqliteMode::WalFull>, saveSize);
    }
    Check(FbStartEngine(0, kPageBuffers) == kPageBuffers, "FbStartEngine");
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    PrintNormalTable(reporter, sizes);
    if (saveSize > 0) PrintSaveTable(reporter, saveSize);
    FbStopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
    std::filesystem::remove_all(DiskFolder(), ignored);
    benchmark::Shutdown();
    return 0;
}
