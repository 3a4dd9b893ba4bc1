// Table cursor benchmarks on a generated 1,000,000-row table with a secondary (case-insensitive)
// index, each next to the raw SQLite statements that do the same work.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/database.h"
#include "platform/engine/table.h"

using namespace qel;

namespace {

constexpr int kRows = 1000000;
const char* const kCities[] = {"Paris", "London", "Berlin", "Rome", "Madrid", "Oslo", "Vienna", "Prague"};

std::string NameOf(uint32_t n) {
    // Deterministic pseudo-random names, mixed case, about 8 letters.
    static const char* syll[] = {"ka", "Lo", "mi", "Ne", "ru", "sa", "To", "vi", "ZE", "qu", "Bo", "de"};
    std::string s;
    uint32_t x = n * 2654435761u + 12345u;
    for (int i = 0; i < 4; ++i) {
        s += syll[x % 12];
        x /= 12;
    }
    return s + std::to_string(n % 97);
}

std::string DbFile() {
    static std::string file = [] {
        std::string f = (std::filesystem::temp_directory_path() / "qel_bench_data_v1.db").string();
        if (std::filesystem::exists(f)) return f;
        std::string tmp = f + ".tmp";
        std::filesystem::remove(tmp);
        sqlite3* db = nullptr;
        sqlite3_open(tmp.c_str(), &db);
        sqlite3_exec(db,
                     "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                     "CREATE TABLE big (Id INTEGER NOT NULL PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), "
                     "Amount FLOAT, Code INTEGER); BEGIN;",
                     nullptr, nullptr, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO big VALUES (?, ?, ?, ?, ?)", -1, &st, nullptr);
        for (int i = 1; i <= kRows; ++i) {
            sqlite3_bind_int(st, 1, i);
            std::string n = NameOf(static_cast<uint32_t>(i));
            sqlite3_bind_text(st, 2, n.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, kCities[i % 8], -1, SQLITE_STATIC);
            sqlite3_bind_double(st, 4, static_cast<double>(int64_t{i} * 7919 % 100000) / 100.0);
            sqlite3_bind_int64(st, 5, int64_t{i} * 31 % 10007);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        sqlite3_exec(db, "COMMIT; CREATE INDEX ByName ON big (Name COLLATE NOCASE);", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
        std::filesystem::rename(tmp, f);
        return f;
    }();
    return file;
}

struct Engine {
    std::unique_ptr<TDatabase> Db;
    std::unique_ptr<TTable> T;
    Engine() {
        Db = std::make_unique<TDatabase>(nullptr);
        Db->SetDatabaseName("BENCHDB");
        Db->GetParams()->Add("PATH=" + DbFile());
        Db->Open();
        T = std::make_unique<TTable>(nullptr);
        T->SetDatabaseName("BENCHDB");
        T->SetTableName("big");
        T->SetIndexName("ByName");
        T->Open();
    }
};

Engine& E() {
    static Engine e;
    return e;
}

struct Raw {
    sqlite3* Db = nullptr;
    Raw() { sqlite3_open_v2(DbFile().c_str(), &Db, SQLITE_OPEN_READONLY, nullptr); }
    ~Raw() { sqlite3_close(Db); }
    sqlite3_stmt* Prep(const char* sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(Db, sql, -1, &st, nullptr) != SQLITE_OK)
            std::fprintf(stderr, "%s\n", sqlite3_errmsg(Db));
        return st;
    }
};

Raw& R() {
    static Raw r;
    return r;
}

// Reads the row's columns as the dataset does.
int64_t Consume(sqlite3_stmt* st) {
    int64_t acc = sqlite3_column_int64(st, 0);
    acc += sqlite3_column_bytes(st, 1);
    const unsigned char* name = sqlite3_column_text(st, 1);
    acc += name ? name[0] : 0;
    acc += sqlite3_column_bytes(st, 2);
    acc += static_cast<int64_t>(sqlite3_column_double(st, 3));
    acc += sqlite3_column_int64(st, 4);
    return acc;
}

const char* kOrdered = "SELECT rowid, Name, City, Amount, Code FROM big ORDER BY Name COLLATE NOCASE, rowid";

// ---- open ----

void BM_Open(benchmark::State& state) {
    E();
    for (auto _ : state) {
        TTable t(nullptr);
        t.SetDatabaseName("BENCHDB");
        t.SetTableName("big");
        t.SetIndexName("ByName");
        t.Open();
        benchmark::DoNotOptimize(t.FieldByName("Name")->AsString());
        t.Close();
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

void BM_Open_raw_sqlite(benchmark::State& state) {
    for (auto _ : state) {
        sqlite3_stmt* st = R().Prep(kOrdered);
        sqlite3_step(st);
        benchmark::DoNotOptimize(Consume(st));
        sqlite3_finalize(st);
    }
}
BENCHMARK(BM_Open_raw_sqlite)->Unit(benchmark::kMicrosecond);

// ---- First / Last ----

void BM_First(benchmark::State& state) {
    auto& t = *E().T;
    for (auto _ : state) {
        t.First();
        benchmark::DoNotOptimize(t.FieldByName("Id")->AsInteger());
    }
}
BENCHMARK(BM_First)->Unit(benchmark::kMicrosecond);

void BM_First_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st = R().Prep(kOrdered);
    for (auto _ : state) {
        sqlite3_reset(st);
        sqlite3_step(st);
        benchmark::DoNotOptimize(Consume(st));
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_First_raw_sqlite)->Unit(benchmark::kMicrosecond);

void BM_Last(benchmark::State& state) {
    auto& t = *E().T;
    for (auto _ : state) {
        t.Last();
        benchmark::DoNotOptimize(t.FieldByName("Id")->AsInteger());
    }
}
BENCHMARK(BM_Last)->Unit(benchmark::kMicrosecond);

void BM_Last_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st = R().Prep(
        "SELECT rowid, Name, City, Amount, Code FROM big ORDER BY Name COLLATE NOCASE DESC, rowid DESC");
    for (auto _ : state) {
        sqlite3_reset(st);
        sqlite3_step(st);
        benchmark::DoNotOptimize(Consume(st));
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_Last_raw_sqlite)->Unit(benchmark::kMicrosecond);

// ---- full scan with Next ----

void BM_NextFullScan(benchmark::State& state) {
    auto& t = *E().T;
    TField* name = t.FieldByName("Name");
    for (auto _ : state) {
        int64_t n = 0;
        t.First();
        while (!t.Eof()) {
            n += static_cast<int64_t>(name->GetFieldValue()->S.size());
            t.Next();
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_NextFullScan)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NextFullScan_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st = R().Prep(kOrdered);
    for (auto _ : state) {
        int64_t n = 0;
        sqlite3_reset(st);
        while (sqlite3_step(st) == SQLITE_ROW) n += Consume(st);
        benchmark::DoNotOptimize(n);
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_NextFullScan_raw_sqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- MoveBy jumps ----

void BM_MoveBy1000(benchmark::State& state) {
    auto& t = *E().T;
    t.First();
    t.MoveBy(400000);
    int dir = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.MoveBy(1000 * dir));
        dir = -dir;
    }
}
BENCHMARK(BM_MoveBy1000)->Unit(benchmark::kMicrosecond);

void BM_MoveBy1000_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st = R().Prep(kOrdered);
    sqlite3_step(st);
    for (auto _ : state) {
        int64_t n = 0;
        for (int i = 0; i < 1000; ++i) {
            if (sqlite3_step(st) != SQLITE_ROW) {
                sqlite3_reset(st);
                sqlite3_step(st);
            }
        }
        n += Consume(st);
        benchmark::DoNotOptimize(n);
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_MoveBy1000_raw_sqlite)->Unit(benchmark::kMicrosecond);

// ---- FindKey ----

void BM_FindKey(benchmark::State& state) {
    auto& t = *E().T;
    uint32_t i = 1;
    int found = 0;
    for (auto _ : state) {
        i = (i * 48271u) % 999983u + 1;
        found += t.FindKey(Variant(NameOf(i))) ? 1 : 0;
    }
    if (found == 0) state.SkipWithError("no key found");
}
BENCHMARK(BM_FindKey)->Unit(benchmark::kMicrosecond);

void BM_FindKey_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st =
        R().Prep("SELECT rowid, Name, City, Amount, Code FROM big WHERE Name = ? COLLATE NOCASE "
                 "ORDER BY Name COLLATE NOCASE, rowid LIMIT 1");
    uint32_t i = 1;
    for (auto _ : state) {
        i = (i * 48271u) % 999983u + 1;
        std::string n = NameOf(i);
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, n.c_str(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) benchmark::DoNotOptimize(Consume(st));
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_FindKey_raw_sqlite)->Unit(benchmark::kMicrosecond);

// ---- SetRange + RecordCount ----

void BM_SetRangeRecordCount(benchmark::State& state) {
    auto& t = *E().T;
    int64_t total = 0;
    for (auto _ : state) {
        t.SetRange(VarArrayOf({"ka"}), VarArrayOf({"kb"}));
        total += t.RecordCount();
    }
    t.CancelRange();
    benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_SetRangeRecordCount)->Unit(benchmark::kMillisecond);

void BM_SetRangeRecordCount_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* first = R().Prep(kOrdered);
    sqlite3_stmt* cnt =
        R().Prep("SELECT count(*) FROM big WHERE Name COLLATE NOCASE >= ? AND Name COLLATE NOCASE <= ?");
    for (auto _ : state) {
        sqlite3_reset(cnt);
        sqlite3_bind_text(cnt, 1, "ka", 2, SQLITE_STATIC);
        sqlite3_bind_text(cnt, 2, "kb", 2, SQLITE_STATIC);
        sqlite3_step(cnt);
        benchmark::DoNotOptimize(sqlite3_column_int64(cnt, 0));
        sqlite3_reset(first);
        sqlite3_step(first);
    }
    sqlite3_finalize(cnt);
    sqlite3_finalize(first);
}
BENCHMARK(BM_SetRangeRecordCount_raw_sqlite)->Unit(benchmark::kMillisecond);

// ---- Locate on a field without an index ----

void BM_LocateNonIndexed(benchmark::State& state) {
    auto& t = *E().T;
    int code = 1;
    for (auto _ : state) {
        code = (code * 37) % 10007;
        benchmark::DoNotOptimize(t.Locate("Code", code, {}));
    }
}
BENCHMARK(BM_LocateNonIndexed)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LocateNonIndexed_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st = R().Prep("SELECT rowid, Name, City, Amount, Code FROM big WHERE Code = ? ORDER BY "
                                "Name COLLATE NOCASE, rowid LIMIT 1");
    int code = 1;
    for (auto _ : state) {
        code = (code * 37) % 10007;
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, code);
        if (sqlite3_step(st) == SQLITE_ROW) benchmark::DoNotOptimize(Consume(st));
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_LocateNonIndexed_raw_sqlite)->Unit(benchmark::kMillisecond)->Iterations(5);

// ---- a filter on two fields ----

void BM_FilterTwoFields(benchmark::State& state) {
    auto& t = *E().T;
    for (auto _ : state) {
        t.SetFilter("Code < 500 and Amount > 500");
        t.SetFiltered(true);
        int64_t n = 0;
        t.First();
        while (!t.Eof()) {
            ++n;
            t.Next();
        }
        t.SetFiltered(false);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_FilterTwoFields)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FilterTwoFields_raw_sqlite(benchmark::State& state) {
    sqlite3_stmt* st =
        R().Prep("SELECT rowid, Name, City, Amount, Code FROM big WHERE Code < ? AND Amount > ? "
                 "ORDER BY Name COLLATE NOCASE, rowid");
    for (auto _ : state) {
        int64_t n = 0;
        sqlite3_reset(st);
        sqlite3_bind_int(st, 1, 500);
        sqlite3_bind_double(st, 2, 500);
        while (sqlite3_step(st) == SQLITE_ROW) n += Consume(st) != 0;
        benchmark::DoNotOptimize(n);
    }
    sqlite3_finalize(st);
}
BENCHMARK(BM_FilterTwoFields_raw_sqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

// The filter evaluated in C++ per row (an OnFilterRecord callback, which cannot be given to SQL).
void BM_FilterCallback(benchmark::State& state) {
    auto& t = *E().T;
    TField* code = t.FieldByName("Code");
    TField* amount = t.FieldByName("Amount");
    for (auto _ : state) {
        t.SetOnFilterRecord(
            [&](TDataSet*, bool& accept) { accept = code->AsInteger() < 500 && amount->AsFloat() > 500; });
        t.SetFiltered(true);
        int64_t n = 0;
        t.First();
        while (!t.Eof()) {
            ++n;
            t.Next();
        }
        t.SetFiltered(false);
        t.SetOnFilterRecord(nullptr);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_FilterCallback)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
