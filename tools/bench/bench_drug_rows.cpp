// The drug list's row texts and its filter over 100,000 drug records held in
// memory, against SQLite building the same 23 columns with substr() and
// filtering the same records with a WHERE clause over an in-memory table.
//
//   cmake --build build --target bench_drug_rows && build/tools/bench_drug_rows
//
// The peer gets its best case: one prepared statement, the rows in its page
// cache, and only the concatenated text handed back.  Reported: rows per
// second (items).  A list refill of 100,000 rows must stay well under 2 ms
// for the filter.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "writers/dat_writer.h"

namespace {

constexpr int kRows = 100000;

const std::vector<std::string>& Records()
{
    static const std::vector<std::string> records = [] {
        const DatLayout kl(kKlLayout);
        std::mt19937 rng(7);
        std::vector<std::string> out;
        out.reserve(kRows);
        const char states[] = "RRRRRRR-NY";
        for (int i = 0; i < kRows; ++i) {
            std::string r = kl.BlankRecord();
            kl.PutText(r, "KOD", std::to_string(1000000 + i));
            kl.PutText(r, "NAZ", "Product " + std::to_string(rng() % 5000));
            kl.PutText(r, "SIL", std::to_string(rng() % 500) + " mg");
            kl.PutText(r, "LFO", "TBL NOB");
            kl.PutText(r, "BAL", std::to_string(rng() % 100) + " tbl");
            kl.PutText(r, "SR", std::string(1, states[rng() % 10]));
            kl.PutText(r, "INS", rng() % 20 ? "11" : "93");
            kl.PutText(r, "ATC", "N02BE01");
            kl.PutText(r, "RC", "=12345678");
            kl.PutText(r, "VP", "R");
            kl.PutText(r, "UH", rng() % 2 ? "A" : " ");
            r[kDrugEanCount.Offset()] = static_cast<char>(rng() % 30);
            out.push_back(std::move(r));
        }
        return out;
    }();
    return records;
}

void FormatRows(benchmark::State& state)
{
    std::vector<std::string> records = Records();
    std::string row;
    size_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < kRows; ++i) {
            FormatRecordLine(records[static_cast<size_t>(i)], i + 1, true, row, false, false);
            bytes += row.size();
        }
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(FormatRows)->Unit(benchmark::kMillisecond);

void FilterRows(benchmark::State& state)
{
    const std::vector<std::string>& records = Records();
    for (auto _ : state) {
        int kept = 0;
        const auto list = SignListSnapshot(); // once per fill, as a list does
        for (int i = 0; i < kRows; ++i)
            kept += RecordExcluded(records[static_cast<size_t>(i)], i + 1, 0x290, *list) ? 0 : 1;
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(FilterRows)->Unit(benchmark::kMillisecond);

sqlite3* PeerDb()
{
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d, "CREATE TABLE kl(rec BLOB)", nullptr, nullptr, nullptr);
        sqlite3_exec(d, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(d, "INSERT INTO kl(rec) VALUES(?1)", -1, &ins, nullptr);
        for (const std::string& r : Records()) {
            sqlite3_bind_text(ins, 1, r.data(), static_cast<int>(r.size()), SQLITE_STATIC);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

void PeerQuery(benchmark::State& state, const char* sql)
{
    sqlite3* db = PeerDb();
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &q, nullptr);
    for (auto _ : state) {
        size_t bytes = 0;
        while (sqlite3_step(q) == SQLITE_ROW)
            bytes += static_cast<size_t>(sqlite3_column_bytes(q, 0));
        sqlite3_reset(q);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(q);
    state.SetItemsProcessed(state.iterations() * kRows);
}

// The same columns cut out and joined, with the cancelled-state and
// EAN-count cases as CASE expressions.
void SqliteRows(benchmark::State& state)
{
    PeerQuery(state, "SELECT CASE WHEN substr(rec,190,1) IN ('-','N','Y','\\') THEN 'x' ELSE ' ' END"
                     " || substr(rec,1,7) || substr(rec,8,70) || substr(rec,117,24) || substr(rec,78,27)"
                     " || substr(rec,141,22) || substr(rec,178,12) || substr(rec,190,1) || substr(rec,243,1)"
                     " || substr(rec,191,2) || substr(rec,193,7) || replace(substr(rec,200,16),' ','')"
                     " || substr(rec,216,1) || substr(rec,217,4) || substr(rec,221,1) || substr(rec,238,3)"
                     " || substr(rec,241,2) || replace(substr(rec,222,2),' ','_')"
                     " || CASE WHEN substr(rec,190,1) IN ('-','N','Y','\\') THEN '                '"
                     "    ELSE substr(rec,224,4) || ' ' || substr(rec,228,2) || substr(rec,230,8) END"
                     " || CASE unicode(substr(rec,318,1)) WHEN 0 THEN '   ' WHEN 1 THEN '...'"
                     "    ELSE substr('..' || unicode(substr(rec,318,1)), -3) END"
                     " || substr(rec,244,1) || substr(rec,250,3) || substr(rec,316,6) FROM kl");
}
BENCHMARK(SqliteRows)->Unit(benchmark::kMillisecond);

void SqliteFilter(benchmark::State& state)
{
    PeerQuery(state, "SELECT rowid FROM kl WHERE substr(rec,190,1) = 'R' AND substr(rec,191,2) <> '93'");
}
BENCHMARK(SqliteFilter)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
