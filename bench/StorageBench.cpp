// The program's storage workload on the engine and on SQLite doing the same work: records of
// 464 bytes with a unique 8-character key (the record number, right-aligned, as the program
// writes it) and a duplicates key (a parent's number); add, find (hit and miss), step through
// all, remove and reinsert. Both run with the program's page-cache budget (8 page buffers of
// 2,436 bytes, about 19 KiB) and the same durability: our normal mode writes pages only when
// they are evicted and at close; SQLite runs with journal and synchronous off and exclusive
// locking, as our single-user open is exclusive.
//
//   StorageBench [--sizes=10000,100000,1000000] [Google Benchmark flags]
#include "storage/Storage.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRecordLength = 464;
constexpr int kPageBuffers = 8;
constexpr int kCacheKiB = kPageBuffers * 2436 / 1024; // 19 KiB: the same budget for SQLite

std::string Folder() {
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "zel-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        return pattern;
    }();
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

// ---- the engine ------------------------------------------------------------------------

struct OurFile {
    Fileblock* fb = nullptr;
    long count = 0;
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

OurFile& Ours(long count) {
    static std::map<long, OurFile> files;
    OurFile& file = files[count];
    if (file.fb == nullptr) {
        const std::string name = Folder() + "/ours" + std::to_string(count);
        TKeySpecs keys{};
        keys[0] = {8, false};
        keys[1] = {8, true};
        FbCreate(name, kRecordLength, 2, keys);
        Check(FbOk, "FbCreate");
        FbOpen(file.fb, name, false, false, false, false);
        Check(FbOk, "FbOpen");
        file.count = count;
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
        const std::string name = Folder() + "/add" + std::to_string(count) + "-" + std::to_string(round++);
        TKeySpecs keys{};
        keys[0] = {8, false};
        keys[1] = {8, true};
        FbCreate(name, kRecordLength, 2, keys);
        OurFile file;
        FbOpen(file.fb, name, false, false, false, false);
        Check(FbOk, "FbOpen");
        file.count = count;
        state.ResumeTiming();
        for (long n = 1; n <= count; ++n)
            OursAdd(file, n);
        FbClose(file.fb);
        state.PauseTiming();
        Check(FbOk, "adding");
        for (const char* ext : {".DAT", ".IX"})
            std::filesystem::remove(name + ext);
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
        if (FbErrorCode != 10200) state.SkipWithError("miss");
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
        // Record n holds entry n (a freed record is the next one appended); its keys follow
        // from the record, read first as SQLite reads the row it deletes.
        const long n = pick(rng);
        const auto record = static_cast<std::int32_t>(n);
        FbReadRecord(file.fb, record, buffer);
        FbRemoveKey(file.fb, 1, record, RecordKey(n));
        FbRemoveKey(file.fb, 2, record, RecordKey(Parent(n, file.count)));
        FbFreeRecord(file.fb, record);
        OursAdd(file, n);
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
    Statement insert, find, scan, remove;
};

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

void OpenSqlite(SqliteFile& file, const std::string& name, long count) {
    std::filesystem::remove(name);
    if (sqlite3_open(name.c_str(), &file.db) != SQLITE_OK) std::abort();
    Exec(file.db, "PRAGMA journal_mode=OFF");
    Exec(file.db, "PRAGMA synchronous=OFF");
    Exec(file.db, "PRAGMA locking_mode=EXCLUSIVE");
    Exec(file.db, ("PRAGMA cache_size=-" + std::to_string(kCacheKiB)).c_str());
    Exec(file.db,
         "CREATE TABLE record(id INTEGER PRIMARY KEY, k1 TEXT NOT NULL, k2 TEXT NOT NULL, body BLOB)");
    Exec(file.db, "CREATE UNIQUE INDEX record_k1 ON record(k1)");
    Exec(file.db, "CREATE INDEX record_k2 ON record(k2)");
    Prepare(file.db, "INSERT INTO record(id, k1, k2, body) VALUES(?, ?, ?, ?)", file.insert);
    Prepare(file.db, "SELECT id FROM record WHERE k1 = ?", file.find);
    Prepare(file.db, "SELECT id, k1 FROM record ORDER BY k1", file.scan);
    Prepare(file.db, "DELETE FROM record WHERE id = ?", file.remove);
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

SqliteFile& Sqlite(long count) {
    static std::map<long, std::unique_ptr<SqliteFile>> files;
    auto& file = files[count];
    if (!file) {
        file = std::make_unique<SqliteFile>();
        OpenSqlite(*file, Folder() + "/sqlite" + std::to_string(count) + ".db", count);
        for (long n = 1; n <= count; ++n)
            SqliteAdd(*file, n);
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

void BM_Sqlite_Add(benchmark::State& state) {
    const long count = state.range(0);
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string name =
            Folder() + "/sqliteadd" + std::to_string(count) + "-" + std::to_string(round++);
        auto file = std::make_unique<SqliteFile>();
        OpenSqlite(*file, name, count);
        state.ResumeTiming();
        for (long n = 1; n <= count; ++n)
            SqliteAdd(*file, n);
        sqlite3_finalize(file->insert.stmt);
        sqlite3_finalize(file->find.stmt);
        sqlite3_finalize(file->scan.stmt);
        sqlite3_finalize(file->remove.stmt);
        file->insert.stmt = file->find.stmt = file->scan.stmt = file->remove.stmt = nullptr;
        sqlite3_close(file->db);
        state.PauseTiming();
        std::filesystem::remove(name);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}

void BM_Sqlite_FindHit(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0));
    std::mt19937 rng(1);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state)
        if (!SqliteFind(file, RecordKey(pick(rng)))) state.SkipWithError("find");
    state.SetItemsProcessed(state.iterations());
}

void BM_Sqlite_FindMiss(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0));
    std::mt19937 rng(2);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state)
        if (SqliteFind(file, MissingKey(pick(rng)))) state.SkipWithError("miss");
    state.SetItemsProcessed(state.iterations());
}

void BM_Sqlite_StepAll(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0));
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

void BM_Sqlite_RemoveReinsert(benchmark::State& state) {
    SqliteFile& file = Sqlite(state.range(0));
    std::mt19937 rng(3);
    std::uniform_int_distribution<long> pick(1, file.count);
    for (auto _ : state) {
        const long n = pick(rng);
        sqlite3_stmt* s = file.remove.stmt;
        sqlite3_bind_int64(s, 1, n);
        if (sqlite3_step(s) != SQLITE_DONE) state.SkipWithError("remove");
        sqlite3_reset(s);
        SqliteAdd(file, n);
    }
    state.SetItemsProcessed(state.iterations());
}

// ---- the table of figures --------------------------------------------------------------

// Keeps every run's operations per second for the comparison printed at the end.
class FigureReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                rates[run.run_name.function_name + "/" + run.run_name.args] = it->second.value;
        }
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv) {
    std::vector<long> sizes = {10000, 100000, 1000000};
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--sizes=", 8) == 0) {
            sizes.clear();
            for (char* p = argv[i] + 8; *p != 0;) {
                sizes.push_back(std::strtol(p, &p, 10));
                if (*p == ',') ++p;
            }
        } else {
            rest.push_back(argv[i]);
        }
    }
    const std::vector<std::string> operations = {"Add", "FindHit", "FindMiss", "StepAll", "RemoveReinsert"};
    using Function = void (*)(benchmark::State&);
    const std::map<std::string, std::pair<Function, Function>> functions = {
        {"Add", {BM_Ours_Add, BM_Sqlite_Add}},
        {"FindHit", {BM_Ours_FindHit, BM_Sqlite_FindHit}},
        {"FindMiss", {BM_Ours_FindMiss, BM_Sqlite_FindMiss}},
        {"StepAll", {BM_Ours_StepAll, BM_Sqlite_StepAll}},
        {"RemoveReinsert", {BM_Ours_RemoveReinsert, BM_Sqlite_RemoveReinsert}},
    };
    for (long size : sizes)
        for (const std::string& op : operations)
            for (int engine = 0; engine < 2; ++engine) {
                const std::string name = std::string(engine == 0 ? "Ours/" : "Sqlite/") + op;
                auto* b = benchmark::RegisterBenchmark(name.c_str(), engine == 0 ? functions.at(op).first
                                                                                 : functions.at(op).second);
                // Wall-clock time: the file system's share of the work counts.
                b->Arg(size)->Unit(benchmark::kMicrosecond)->UseRealTime();
                if (op == "Add" || op == "StepAll")
                    b->Iterations(1);
                else
                    b->MinTime(0.5);
            }
    Check(FbStartEngine(0, kPageBuffers) == kPageBuffers, "FbStartEngine");
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-16s %9s %14s %14s %9s\n", "operation", "entries", "ours ops/s", "SQLite ops/s",
                "ours/SQL");
    for (long size : sizes)
        for (const std::string& op : operations) {
            const auto ours = reporter.rates.find("Ours/" + op + "/" + std::to_string(size));
            const auto sql = reporter.rates.find("Sqlite/" + op + "/" + std::to_string(size));
            if (ours == reporter.rates.end() || sql == reporter.rates.end()) continue;
            std::printf("%-16s %9ld %14.0f %14.0f %9.2f\n", op.c_str(), size, ours->second, sql->second,
                        ours->second / sql->second);
        }
    FbStopEngine();
    std::error_code ignored;
    std::filesystem::remove_all(Folder(), ignored);
    benchmark::Shutdown();
    return 0;
}
