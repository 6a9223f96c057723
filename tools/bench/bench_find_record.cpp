// FindRecord and ReadByOrder on a 100,000-record drug table with a folded
// name index, against SQLite doing the same lookups on the same names with an
// index, in one run.
//
//   cmake --build build --target bench_find_record && build/tools/bench_find_record
//
// The table is generated deterministically: brand names built from syllables,
// each in several strengths and forms, with Czech diacritics, 346-byte
// records.  SQLite gets its best case: the whole database in its page cache,
// prepared statements, the folded name as an indexed BLOB column, and rowid =
// key-order position for the positional reads.  Both read the same files
// through the operating system's cache.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "platform/fs.h"
#include "writers/csv_source.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

namespace {

constexpr int kRecords = 100000;
constexpr int kQueries = 4096;

std::string ToKam(const std::string& utf8)
{
    std::string out;
    std::string error;
    if (!Utf8ToKam(utf8, out, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    return out;
}

struct Dataset {
    std::string dir;
    std::vector<std::string> records; // record i + 1
    std::vector<int> keyOrder;        // record numbers in key order
    std::vector<std::string> queries; // typed prefixes, data code page
    std::vector<int32_t> positions;   // random key-order positions

    Dataset()
    {
        char tmpl[] = "/tmp/bench_find_recordXXXXXX";
        if (!::mkdtemp(tmpl))
            std::abort();
        dir = tmpl;

        std::mt19937 rng(1234567);
        const std::vector<std::string> syllables = {
            "pa",  "ra",  "ce",  "ta",   "mol", "i",   "bu",  "pro", "fen", "am",  "lo",
            "di",  "pin", "sar", "tan",  "vas", "tin", "kla", "mox", "zo",  "lam", "dex",
            "ol",  "ex",  "mi",  "pril", "to",  "var", "sa",  "no",  "lin", "mer", "vi",
            "kor", "dal", "tri", "ni",   "ře",  "čin", "žal", "ú",   "lé",  "ka",  "sto"};
        const std::vector<std::string> makers = {"",        "",        "Vltavín", "Dalmora",    "Horalék",
                                                 "Březina", "Kretmed", "Medika",  "Pharmaklas", "Zdravín"};
        const std::vector<std::string> strengths = {"5 mg",   "10 mg",  "20 mg",   "40 mg", "50 mg", "100 mg",
                                                    "250 mg", "500 mg", "1000 mg", "0,1 %", "2,5 mg"};
        const std::vector<std::string> forms = {"tablety",         "potahované tablety",
                                                "tobolky",         "sirup",
                                                "čípky",           "mast",
                                                "injekční roztok", "nosní sprej",
                                                "šumivé tablety",  "prášek pro perorální suspenzi"};
        std::vector<std::string> names;
        while (static_cast<int>(names.size()) < kRecords) {
            std::string brand;
            const int parts = 2 + static_cast<int>(rng() % 3);
            for (int i = 0; i < parts; ++i)
                brand += syllables[rng() % syllables.size()];
            // Capitalise the first letter (ASCII or a two-byte Czech letter).
            if (brand[0] >= 'a' && brand[0] <= 'z')
                brand[0] = static_cast<char>(brand[0] - 32);
            const std::string maker = makers[rng() % makers.size()];
            const int variants = 4 + static_cast<int>(rng() % 16);
            for (int v = 0; v < variants && static_cast<int>(names.size()) < kRecords; ++v) {
                std::string name = brand;
                if (!maker.empty())
                    name += " " + maker;
                name += " " + strengths[rng() % strengths.size()] + " " + forms[rng() % forms.size()];
                if (rng() % 4 == 0)
                    name = KamToUtf8Upper(name);
                names.push_back(name);
            }
        }
        // Records in an order unrelated to the names (as codes would give).
        std::shuffle(names.begin(), names.end(), rng);

        const DatLayout layout({{"KOD", 0x96}, {"NAZ", 0x45}, {"XA", 0x7F}, {"XB", 0x7F}, {"XC", 0x0C}});
        records.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i) {
            std::string rec = layout.BlankRecord();
            char kod[8];
            std::snprintf(kod, sizeof kod, "%07d", i + 1);
            layout.PutText(rec, "KOD", kod);
            std::string naz = ToKam(names[static_cast<size_t>(i)]);
            naz.resize(std::min<size_t>(naz.size(), 70));
            layout.PutText(rec, "NAZ", naz);
            layout.PutText(rec, "XA", "record " + std::to_string(i + 1));
            records.push_back(std::move(rec));
        }
        if (WriteDatFile(dir + "/kl.dat", layout, records) != 0 ||
            WriteSezFile(dir + "/klnaz.sez", records, {7, 70, 192, 10}) != 0)
            std::abort();

        // Key order as the index has it.
        TDbTable t;
        OpenTableIn(t, dir, "kl", "klnaz", 346);
        if (DbStatus != 0)
            std::abort();
        std::string buf;
        for (int32_t pos = 0; pos < kRecords; ++pos) {
            ReadByOrder(t, pos, buf);
            keyOrder.push_back(t.recNo);
        }

        // What users type: a prefix of a real name, 2 to 12 characters, half
        // of them in lower case without diacritics; a few full names.
        for (int i = 0; i < kQueries; ++i) {
            const std::string& rec = records[rng() % records.size()];
            std::string name = rec.substr(7, 70);
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            std::string q = i % 16 == 0 ? name : name.substr(0, 2 + rng() % 11);
            if (i % 2) {
                q = KamFoldUpper(q);
                for (char& c : q)
                    if (c >= 'A' && c <= 'Z')
                        c = static_cast<char>(c + 32);
            }
            queries.push_back(q);
        }
        for (int i = 0; i < kQueries; ++i)
            positions.push_back(static_cast<int32_t>(rng() % kRecords));
    }

    ~Dataset() { std::filesystem::remove_all(dir); }

    // Upper case of a UTF-8 name through the data code page's folding,
    // keeping the diacritics (only ASCII letters change).
    static std::string KamToUtf8Upper(std::string s)
    {
        for (char& c : s)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        return s;
    }
};

Dataset& Data()
{
    static Dataset d;
    return d;
}

// ---------------------------------------------------------------------------
// The engine

void BM_FindRecord(benchmark::State& state)
{
    Dataset& d = Data();
    TDbTable t;
    OpenTableIn(t, d.dir, "kl", "klnaz", 346);
    char buf[346];
    size_t i = 0;
    int64_t exact = 0;
    for (auto _ : state) {
        FindRecord(t, d.queries[i++ & (kQueries - 1)], buf);
        exact += DbStatus == 0;
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["exact%"] = 100.0 * static_cast<double>(exact) / static_cast<double>(state.iterations());
    // Records read after the index's first candidate (names that share their
    // stored 8-character key), on average per lookup.
    int64_t steps = 0;
    int32_t recNo = 0;
    for (const std::string& q : d.queries) {
        SeekKey(t.sez, recNo, q);
        const int32_t first = t.Position();
        FindRecord(t, q, buf);
        steps += t.Position() - first;
    }
    state.counters["steps"] = static_cast<double>(steps) / kQueries;
}
BENCHMARK(BM_FindRecord);

void BM_ReadByOrder_Random(benchmark::State& state)
{
    Dataset& d = Data();
    TDbTable t;
    OpenTableIn(t, d.dir, "kl", "klnaz", 346);
    char buf[346];
    size_t i = 0;
    for (auto _ : state) {
        ReadByOrder(t, d.positions[i++ & (kQueries - 1)], buf);
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadByOrder_Random);

void BM_ReadByOrder_Next(benchmark::State& state)
{
    Dataset& d = Data();
    TDbTable t;
    OpenTableIn(t, d.dir, "kl", "klnaz", 346);
    char buf[346];
    int32_t pos = 0;
    for (auto _ : state) {
        ReadByOrder(t, pos, buf);
        pos = pos + 1 == kRecords ? 0 : pos + 1;
        benchmark::DoNotOptimize(buf);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadByOrder_Next);

#ifdef QEVW_HAVE_SQLITE

// ---------------------------------------------------------------------------
// SQLite

struct SqliteDb {
    sqlite3* db = nullptr;

    SqliteDb()
    {
        Dataset& d = Data();
        const std::string path = d.dir + "/kl.sqlite";
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
            std::abort();
        Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144; "
             "PRAGMA locking_mode=EXCLUSIVE;");
        Exec("CREATE TABLE kl(pos INTEGER PRIMARY KEY, fkey BLOB NOT NULL, rec BLOB NOT NULL);"
             "BEGIN;");
        sqlite3_stmt* ins = Prepare("INSERT INTO kl(pos, fkey, rec) VALUES(?1, ?2, ?3)");
        for (int32_t pos = 0; pos < kRecords; ++pos) {
            const std::string& rec = d.records[static_cast<size_t>(d.keyOrder[static_cast<size_t>(pos)] - 1)];
            const std::string fkey = KamFoldUpper(rec.substr(7, 70));
            sqlite3_bind_int(ins, 1, pos);
            sqlite3_bind_blob(ins, 2, fkey.data(), static_cast<int>(fkey.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 3, rec.data(), static_cast<int>(rec.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(ins) != SQLITE_DONE)
                std::abort();
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        Exec("COMMIT; CREATE INDEX kl_fkey ON kl(fkey); ANALYZE;");
        // Warm the page cache: every page read once.
        Exec("SELECT count(*), sum(length(rec)) FROM kl; SELECT count(*) FROM kl INDEXED BY kl_fkey WHERE "
             "fkey >= x'';");
    }
    ~SqliteDb() { sqlite3_close(db); }

    void Exec(const char* sql)
    {
        char* err = nullptr;
        if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
            std::fprintf(stderr, "sqlite: %s\n", err ? err : "?");
            std::abort();
        }
    }
    sqlite3_stmt* Prepare(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            std::abort();
        return st;
    }
};

SqliteDb& Sql()
{
    static SqliteDb s;
    return s;
}

void BM_Sqlite_FindFirstNotBelow(benchmark::State& state)
{
    Dataset& d = Data();
    SqliteDb& s = Sql();
    sqlite3_stmt* st = s.Prepare("SELECT fkey, rec FROM kl WHERE fkey >= ?1 ORDER BY fkey LIMIT 1");
    std::vector<std::string> folded;
    for (const std::string& q : d.queries)
        folded.push_back(KamFoldUpper(q));
    char buf[346];
    size_t i = 0;
    int64_t exact = 0;
    for (auto _ : state) {
        const std::string& q = folded[i++ & (kQueries - 1)];
        sqlite3_bind_blob(st, 1, q.data(), static_cast<int>(q.size()), SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW) {
            std::memcpy(buf, sqlite3_column_blob(st, 1), sizeof buf);
            const int n = sqlite3_column_bytes(st, 0);
            exact += static_cast<size_t>(n) >= q.size() &&
                     std::memcmp(sqlite3_column_blob(st, 0), q.data(), q.size()) == 0;
        }
        sqlite3_reset(st);
        benchmark::DoNotOptimize(buf);
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations());
    state.counters["exact%"] = 100.0 * static_cast<double>(exact) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Sqlite_FindFirstNotBelow);

void BM_Sqlite_ByPosition_Random(benchmark::State& state)
{
    Dataset& d = Data();
    SqliteDb& s = Sql();
    sqlite3_stmt* st = s.Prepare("SELECT rec FROM kl WHERE pos = ?1");
    char buf[346];
    size_t i = 0;
    for (auto _ : state) {
        sqlite3_bind_int(st, 1, d.positions[i++ & (kQueries - 1)]);
        if (sqlite3_step(st) == SQLITE_ROW)
            std::memcpy(buf, sqlite3_column_blob(st, 0), sizeof buf);
        sqlite3_reset(st);
        benchmark::DoNotOptimize(buf);
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Sqlite_ByPosition_Random);

void BM_Sqlite_CursorNext(benchmark::State& state)
{
    SqliteDb& s = Sql();
    sqlite3_stmt* st = s.Prepare("SELECT rec FROM kl INDEXED BY kl_fkey ORDER BY fkey");
    char buf[346];
    for (auto _ : state) {
        if (sqlite3_step(st) != SQLITE_ROW) {
            sqlite3_reset(st);
            sqlite3_step(st);
        }
        std::memcpy(buf, sqlite3_column_blob(st, 0), sizeof buf);
        benchmark::DoNotOptimize(buf);
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Sqlite_CursorNext);

#endif

} // namespace

BENCHMARK_MAIN();
