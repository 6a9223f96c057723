// A keystroke in the ATC list in name order, with the similar-name search
// that a prefix of fewer than 40 rows runs: from the typed key to the rows
// painted into the grid's image, letter by letter over the names of the ATC
// table, in a list window with an 800 x 600 client.  The peer, measured in
// the same run over the same names and prefixes: SQLite with an index on the
// name, one prefix query ("name >= p AND name < p + 1", ORDER BY name, LIMIT
// the rows the window shows) per key.  Median, 95th percentile and worst per
// key as counters; a second pair times the seek and the rows alone (the
// list's fetch callback without the window) against the same query.
//
//   tools/bench/make_scale_data.sh            # build/scale-data
//   cmake --build build --target bench_atc_list
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_atc_list
//
// Without QEVW_BENCH_DATA the build's demo folder is used.

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/user_files.h"
#include "frame/commands/kind_code.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/codes/atc_list.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"

namespace {

constexpr int kNames = 1000;
constexpr int kLettersPerName = 12;

using namespace bench;

// The folded names of the ATC table in name order, every n-th, cut to the
// letters typed.
std::vector<std::string> Names(int32_t& leaves)
{
    TDbTable t;
    OpenTable(t, TFileId("atc"), TFileId("atcnaz"), 0);
    leaves = t.LeafCount();
    std::vector<std::string> names;
    std::string record;
    const int32_t n = std::min<int32_t>(kNames, leaves);
    for (int32_t i = 0; i < n; ++i) {
        ReadByOrder(t, static_cast<int32_t>(int64_t{leaves} * i / n), record);
        std::string name = GetFieldUpper(record, kAtcName.start, kLettersPerName);
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        names.push_back(name);
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    return names;
}

#ifdef QEVW_HAVE_SQLITE
// The ATC table in SQLite: the folded name (the key the list seeks) with an
// index, the code and the name as shown.
class SqliteAtc {
public:
    SqliteAtc()
    {
        sqlite3_open(":memory:", &db_);
        sqlite3_exec(db_, "CREATE TABLE atc(fname BLOB, code BLOB, name BLOB)", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO atc VALUES(?1, ?2, ?3)", -1, &ins, nullptr);
        TDbTable t;
        OpenTable(t, TFileId("atc"), TFileId("atckod"), 0);
        std::string record;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, record);
            const std::string folded = GetFieldUpper(record, kAtcName.start, kAtcName.length);
            const std::string code = GetField(record, kAtcCode.start, kAtcCode.length);
            const std::string name = GetField(record, kAtcName.start, kAtcName.length);
            sqlite3_bind_blob(ins, 1, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 2, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 3, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        sqlite3_finalize(ins);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "CREATE INDEX atcname ON atc(fname)", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(
            db_, "SELECT code, name FROM atc WHERE fname >= ?1 AND fname < ?2 ORDER BY fname LIMIT ?3", -1,
            &query_, nullptr);
    }
    ~SqliteAtc()
    {
        sqlite3_finalize(query_);
        sqlite3_close(db_);
    }
    // The rows of a prefix; their number.
    int Query(const std::string& prefix, int limit) { return SqlitePrefixRows(query_, prefix, limit, 1); }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* query_ = nullptr;
};
#endif

void BM_AtcNameKeystroke800x600(benchmark::State& st)
{
    BuildKamTables();
    const std::string folder = DataFolder();
    SetDataDir(folder);
    DeclareEditionSignSets();
    listdemo::MdiHost host(1000, 800);
    host.show();
    AtcListWindowSpec spec;
    spec.code = KindOf("VAC");
    TVyb* window = OpenAtcListWindow(spec);
    if (window == nullptr) {
        st.SkipWithError("the ATC list does not open");
        return;
    }
    QMdiSubWindow* sub = window->SubWindow();
    sub->showNormal();
    sub->resize(sub->width() - window->width() + 800, sub->height() - window->height() + 600);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();

    int32_t leaves = 0;
    const std::vector<std::string> names = Names(leaves);
    std::vector<double> keys, similar, fetch, peer;
    int rows = 0, recArrKeys = 0;
#ifdef QEVW_HAVE_SQLITE
    SqliteAtc sqlite;
#endif
    for (auto _ : st) {
        keys.clear();
        for (const std::string& name : names) {
            window->Edt->SetTextKeepCaret(QString());
            // The first letter alone is a code ("A", "N"): name order begins
            // with the second.
            for (size_t n = 1; n <= name.size(); ++n) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, KamToQString(name.substr(n - 1, 1)));
                const auto t0 = Clock::now();
                QCoreApplication::sendEvent(window->Edt, &press);
                const auto t1 = Clock::now();
                benchmark::DoNotOptimize(window->Tb->Image().constBits());
                if (n < 2 || (window->Rec.Letter != 'N' && window->Rec.Letter != 'n'))
                    continue;
                keys.push_back(Ms(t0, t1));
                rows = std::max(rows, static_cast<int>(window->Rec.RowCount));
                if (window->Source()->WalksOwnSet()) {
                    ++recArrKeys;
                    similar.push_back(Ms(t0, t1));
                }
            }
        }
    }
    // The seek and the rows alone: the list's callbacks over a state of its
    // own, the same prefixes, as many rows as the window showed.
    AtcList list(nullptr);
    auto rec = std::make_unique<VybRec>();
    rec->Letter = 'N';
    rec->Options = 0x80;
    rec->Whisper = true;
    for (const std::string& name : names)
        for (size_t n = 2; n <= name.size(); ++n) {
            rec->Prefix = name.substr(0, n);
            const auto t0 = Clock::now();
            list.React(*rec, ListAction::PrefixChanged);
            rec->FetchMode = FetchModeCode::Seek;
            rec->RowCount = 0;
            for (int r = 1; r <= rows; ++r) {
                TVybRow row;
                std::string text;
                list.Fetch(*rec, row, text);
                if (row.Pos < 0)
                    break;
                rec->Rows[static_cast<size_t>(r)] = row;
                rec->RowCount = static_cast<uint8_t>(r);
                rec->FetchMode = FetchModeCode::After;
            }
            fetch.push_back(Ms(t0, Clock::now()));
#ifdef QEVW_HAVE_SQLITE
            const auto s0 = Clock::now();
            benchmark::DoNotOptimize(sqlite.Query(rec->Prefix, std::max(rows, 1)));
            peer.push_back(Ms(s0, Clock::now()));
#endif
        }
    st.counters["atc_records"] = leaves;
    st.counters["keys"] = static_cast<double>(keys.size());
    st.counters["keys_with_similar_rows"] = recArrKeys;
    st.counters["rows_shown"] = rows;
    ReportSpread(st, "key_", keys);
    ReportSpread(st, "key_similar_", similar);
    ReportSpread(st, "fetch_", fetch);
    ReportSpread(st, "sqlite_", peer);
    const double peerMedian = Percentile(peer, 0.5);
    if (peerMedian > 0) {
        st.counters["key_to_sqlite"] = Percentile(keys, 0.5) / peerMedian;
        st.counters["fetch_to_sqlite"] = Percentile(fetch, 0.5) / peerMedian;
    }
    window->CloseWindow();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}
BENCHMARK(BM_AtcNameKeystroke800x600)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
