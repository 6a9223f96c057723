// The reimbursement list by name on the large synthetic set: from OK in the
// kind chooser to the rows painted into the grid's image, and one typed
// refill, for all kinds, for the kind about 1% of the drugs carry ("H") and
// for the kind no drug carries ("Q").  The peer is SQLite over an in-memory
// copy of the same drugs and price records, with indexes on the drug name,
// the drug kind and the price records' drug code: a page of 20 rows joined
// to each drug's first price record, and the count the scroll bar needs.
//
//   tools/bench/make_scale_data.sh            # build/scale-data, 100,000 packages
//   cmake --build build --target bench_reimbursement_list
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_reimbursement_list
//
// Our side is measured twice: the callbacks alone (a new list's filter set,
// the seek, 20 rows and the count; what SQLite is compared with) and the
// whole window (creation, layout, fill, paint).  "cold" drops the kinds the
// lists keep between openings, as the first opening of a run finds them.

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "list_demo_list.h"
#include "lists/codes/reimbursement_lists.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"

namespace {

constexpr int kPageRows = 20;
const char* const kChoices[] = {"_ABHKNQZ/68", "H", "Q"};
const char* const kChoiceNames[] = {"all kinds", "1% kind H", "unused kind Q"};

using namespace bench;

void Prepare()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    BuildKamTables();
    SetDataDir(DataFolder());
    LoadTextTable(UiTexts, std::string(QEVW_BENCH_DEFAULT_PROGRAM) + "/qevw.ces");
    LoadTextTable(DataTexts, DataFolder() + "kalvo.ces");
}

listdemo::MdiHost& Host()
{
    static listdemo::MdiHost* host = [] {
        auto* h = new listdemo::MdiHost(1000, 800);
        h->show();
        return h;
    }();
    return *host;
}

void Pump()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// ------------------------------------------------------------------- ours

// A seek and the rows after it, at most a page; the number delivered.
int FetchAPage(ReimbursementList& list, VybRec& rec, std::string& text)
{
    TVybRow row;
    rec.FetchMode = FetchModeCode::Seek;
    list.Fetch(rec, row, text);
    int rows = 0;
    while (row.Pos != -1 && ++rows < kPageRows) {
        rec.Rows[1] = row;
        rec.RowCount = 1;
        rec.FetchMode = FetchModeCode::After;
        list.Fetch(rec, row, text);
    }
    return rows;
}

void FetchPage(benchmark::State& st, bool cold)
{
    Prepare();
    const std::string choice = kChoices[st.range(0)];
    int rows = 0;
    int32_t count = 0;
    for (auto _ : st) {
        if (cold)
            ForgetReimbursementCaches();
        VybRec rec;
        rec.Letter = 'N';
        rec.Options = 0x80;
        ReimbursementList list('N', choice);
        std::string text;
        rows = FetchAPage(list, rec, text);
        count = rec.Count;
        benchmark::DoNotOptimize(text.data());
    }
    st.SetLabel(kChoiceNames[st.range(0)]);
    st.counters["rows"] = rows;
    st.counters["count"] = count;
}

void BM_OursCallbacksWarm(benchmark::State& st)
{
    FetchPage(st, false);
}

// One typed refill through the callbacks: the list's filter set stands, the
// seek from the typed letter (not strict, as the peer's "name >=") and 20 rows.
void BM_OursCallbacksTyped(benchmark::State& st)
{
    Prepare();
    VybRec rec;
    rec.Letter = 'N';
    rec.Options = 0;
    ReimbursementList list('N', kChoices[st.range(0)]);
    std::string text;
    FetchAPage(list, rec, text); // the filter set of the open list
    const std::string letters = "ABCDEFGHIJKLMNOPRSTUVZ";
    size_t i = 0;
    int rows = 0;
    for (auto _ : st) {
        rec.Prefix = std::string(1, letters[i++ % letters.size()]);
        rows = FetchAPage(list, rec, text);
        benchmark::DoNotOptimize(text.data());
    }
    st.SetLabel(kChoiceNames[st.range(0)]);
    st.counters["rows"] = rows;
    st.counters["count"] = rec.Count;
}
void BM_OursCallbacksCold(benchmark::State& st)
{
    FetchPage(st, true);
}

void OpenToPainted(benchmark::State& st, bool cold)
{
    Prepare();
    Host();
    const std::string choice = kChoices[st.range(0)];
    int rows = 0;
    for (auto _ : st) {
        if (cold)
            ForgetReimbursementCaches();
        TVyb* w = ShowReimbursementList(choice);
        benchmark::DoNotOptimize(w->Tb->Image().constBits());
        rows = w->Rec.RowCount;
        st.PauseTiming();
        delete w;
        Pump();
        st.ResumeTiming();
    }
    st.SetLabel(kChoiceNames[st.range(0)]);
    st.counters["rows_painted"] = rows;
}

void BM_OursOpenToPaintedWarm(benchmark::State& st)
{
    OpenToPainted(st, false);
}
void BM_OursOpenToPaintedCold(benchmark::State& st)
{
    OpenToPainted(st, true);
}

void BM_OursTypedRefill(benchmark::State& st)
{
    Prepare();
    Host();
    const std::string choice = kChoices[st.range(0)];
    TVyb* w = ShowReimbursementList(choice);
    Pump();
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPRSTUVZ");
    int i = 0;
    for (auto _ : st) {
        w->Edt->setText(QString(letters[i++ % letters.size()]));
        benchmark::DoNotOptimize(w->Tb->Image().constBits());
    }
    st.SetLabel(kChoiceNames[st.range(0)]);
    st.counters["rows_painted"] = w->Rec.RowCount;
    delete w;
    Pump();
}

// ------------------------------------------------------------------- peer

sqlite3* Db()
{
    static sqlite3* db = [] {
        Prepare();
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        sqlite3_exec(d,
                     "CREATE TABLE drugs(code TEXT, name TEXT, kind TEXT, rec BLOB);"
                     "CREATE TABLE cvzp(code TEXT, rec BLOB);",
                     nullptr, nullptr, nullptr);
        sqlite3_exec(d, "BEGIN", nullptr, nullptr, nullptr);
        TDbTable kl, cv;
        OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
        OpenTable(cv, TFileId("cvzp"), TFileId("cvzpkod"), kCvzpLayout.Length());
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(d, "INSERT INTO drugs VALUES(?1, ?2, ?3, ?4)", -1, &ins, nullptr);
        std::string rec;
        for (int32_t r = 1; r < kl.dat.count; ++r) {
            ReadRecord(kl.dat, r, rec);
            const std::string code(FieldBytes(rec, kDrugCode));
            const std::string name = GetFieldUpper(rec, kDrugName.start, kDrugName.length);
            std::string kind = GetField(rec, kDrugReimbursementKind.start, kDrugReimbursementKind.length);
            if (kind == " ")
                kind = "_";
            sqlite3_bind_text(ins, 1, code.data(), 7, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 3, kind.data(), 1, SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 4, rec.data(), static_cast<int>(rec.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_prepare_v2(d, "INSERT INTO cvzp VALUES(?1, ?2)", -1, &ins, nullptr);
        for (int32_t r = 1; r < cv.dat.count; ++r) {
            ReadRecord(cv.dat, r, rec);
            sqlite3_bind_text(ins, 1, rec.data(), 7, SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 2, rec.data(), static_cast<int>(rec.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        sqlite3_exec(d, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(d,
                     "CREATE INDEX drugs_name ON drugs(name);"
                     "CREATE INDEX drugs_kind ON drugs(kind, name);"
                     "CREATE INDEX cvzp_code ON cvzp(code);"
                     "ANALYZE;",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

std::string KindList(std::string_view choice)
{
    std::string in;
    for (char c : choice) {
        if (!in.empty())
            in += ",";
        in += "'" + std::string(1, c) + "'";
    }
    return in;
}

// A page from the typed name on and the count, as a refill needs them.
void SqlitePage(benchmark::State& st, bool typed)
{
    sqlite3* db = Db();
    const std::string in = KindList(kChoices[st.range(0)]);
    const std::string page = "SELECT d.code, d.rec, c.rec FROM drugs d JOIN cvzp c ON c.rowid = "
                             "(SELECT min(rowid) FROM cvzp WHERE code = d.code) WHERE d.kind IN (" +
                             in + ") AND d.name >= ?1 ORDER BY d.name LIMIT " + std::to_string(kPageRows);
    const std::string count = "SELECT count(*) FROM drugs d WHERE d.kind IN (" + in +
                              ") AND EXISTS (SELECT 1 FROM cvzp WHERE code = d.code)";
    sqlite3_stmt* p = nullptr;
    sqlite3_stmt* c = nullptr;
    sqlite3_prepare_v2(db, page.c_str(), -1, &p, nullptr);
    sqlite3_prepare_v2(db, count.c_str(), -1, &c, nullptr);
    const std::string letters = "ABCDEFGHIJKLMNOPRSTUVZ";
    size_t i = 0;
    int rows = 0;
    int64_t total = 0;
    for (auto _ : st) {
        const std::string from = typed ? std::string(1, letters[i++ % letters.size()]) : std::string();
        sqlite3_bind_text(p, 1, from.data(), static_cast<int>(from.size()), SQLITE_TRANSIENT);
        rows = 0;
        size_t bytes = 0;
        while (sqlite3_step(p) == SQLITE_ROW) {
            ++rows;
            bytes += static_cast<size_t>(sqlite3_column_bytes(p, 2));
        }
        sqlite3_reset(p);
        if (sqlite3_step(c) == SQLITE_ROW)
            total = sqlite3_column_int64(c, 0);
        sqlite3_reset(c);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_finalize(p);
    sqlite3_finalize(c);
    st.SetLabel(kChoiceNames[st.range(0)]);
    st.counters["rows"] = rows;
    st.counters["count"] = static_cast<double>(total);
}

void BM_SqlitePageAndCount(benchmark::State& st)
{
    SqlitePage(st, false);
}
void BM_SqliteTypedPageAndCount(benchmark::State& st)
{
    SqlitePage(st, true);
}

BENCHMARK(BM_OursCallbacksWarm)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlitePageAndCount)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursCallbacksTyped)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqliteTypedPageAndCount)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursCallbacksCold)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OursOpenToPaintedWarm)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OursOpenToPaintedCold)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OursTypedRefill)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
