// The goods and device lists on a large set: a keystroke in the goods name
// list (a common prefix, and a rare one that runs the similar-spelling
// search) and in the device name list, from the typed key to the rows
// painted into the grid's image, in list windows with an 800 x 600 client;
// and Enter on the most used device type in the type list, to the painted
// list of its devices.  The peer, measured in the same run over the same
// keys: SQLite with an index on the folded name (one prefix query per key,
// LIMIT the rows the window shows) and on the type (one WHERE per Enter).
// Median, 95th percentile and worst as counters, and the ratios of the
// medians.
//
//   tools/bench/make_scale_data.sh 100000 /work/scale100k
//   cmake --build build --target bench_goods_device_lists
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=/work/scale100k build/tools/bench_goods_device_lists
//
// Without QEVW_BENCH_DATA the build's demo folder is used.

#include <QApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
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
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/codes/code_lists.h"
#include "lists/devices/device_lists.h"
#include "lists/goods/goods_lists.h"
#include "lists/list_entry_points.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"

namespace {

using namespace bench;

constexpr int kNames = 400;
constexpr size_t kLettersPerName = 8;

void Settle()
{
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The folded names of a table in name order, every n-th, cut to the letters
// typed.
std::vector<std::string> Names(const char* table, const char* index, FieldPos name, int32_t& leaves)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(index), 0);
    leaves = t.LeafCount();
    std::vector<std::string> names;
    std::string record;
    const int32_t n = std::min<int32_t>(kNames, leaves);
    for (int32_t i = 0; i < n; ++i) {
        ReadByOrder(t, static_cast<int32_t>(int64_t{leaves} * i / n), record);
        std::string folded = GetFieldUpper(record, name.start, static_cast<int>(kLettersPerName));
        while (!folded.empty() && folded.back() == ' ')
            folded.pop_back();
        if (!folded.empty())
            names.push_back(folded);
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    return names;
}

#ifdef QEVW_HAVE_SQLITE
// A table in SQLite: the key (folded name or type) with an index, a code
// and a name as shown.
class SqliteTable {
public:
    SqliteTable(const char* table, const char* index, FieldPos key, bool fold, FieldPos code, FieldPos name)
    {
        sqlite3_open(":memory:", &db_);
        sqlite3_exec(db_, "CREATE TABLE t(k BLOB, code BLOB, name BLOB)", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO t VALUES(?1, ?2, ?3)", -1, &ins, nullptr);
        TDbTable t;
        OpenTable(t, TFileId(table), TFileId(index), 0);
        std::string record;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, record);
            const std::string k =
                fold ? GetFieldUpper(record, key.start, key.length) : GetField(record, key.start, key.length);
            const std::string c = GetField(record, code.start, code.length);
            const std::string n = GetField(record, name.start, name.length);
            sqlite3_bind_blob(ins, 1, k.data(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 2, c.data(), static_cast<int>(c.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 3, n.data(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        sqlite3_finalize(ins);
        sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, "CREATE INDEX tk ON t(k)", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_, "SELECT code, name FROM t WHERE k >= ?1 AND k < ?2 ORDER BY k LIMIT ?3", -1,
                           &prefix_, nullptr);
        sqlite3_prepare_v2(db_, "SELECT code, name FROM t WHERE k = ?1 LIMIT ?2", -1, &equal_, nullptr);
    }
    ~SqliteTable()
    {
        sqlite3_finalize(prefix_);
        sqlite3_finalize(equal_);
        sqlite3_close(db_);
    }
    int Prefix(const std::string& prefix, int limit) { return SqlitePrefixRows(prefix_, prefix, limit, 1); }
    int Equal(const std::string& key, int limit)
    {
        sqlite3_bind_blob(equal_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
        sqlite3_bind_int(equal_, 2, limit);
        int rows = 0;
        while (sqlite3_step(equal_) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_blob(equal_, 1));
            ++rows;
        }
        sqlite3_reset(equal_);
        return rows;
    }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* prefix_ = nullptr;
    sqlite3_stmt* equal_ = nullptr;
};
#endif

void SizeWindow(TVyb* window)
{
    QMdiSubWindow* sub = window->SubWindow();
    sub->showNormal();
    sub->resize(sub->width() - window->width() + 800, sub->height() - window->height() + 600);
    Settle();
}

void Prepare()
{
    BuildKamTables();
    SetDataDir(DataFolder());
    LoadCodeTables(DataSetCode::Goods, 0);
    Config().Update([](ConfigValues& v) { v.KeySelectOption = 128; });
}

// Types every name letter by letter into the list window of `code`; the
// time of each key from the event to the painted rows.  `similar` gets the
// keys after which the list walked its own set.
void TypeNames(TVyb* window, const std::vector<std::string>& names, std::vector<double>& keys,
               std::vector<double>& similar, std::vector<std::string>& typed, int& rows)
{
    for (const std::string& name : names) {
        window->Edt->SetTextKeepCaret(QString());
        for (size_t n = 1; n <= name.size(); ++n) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, KamToQString(name.substr(n - 1, 1)));
            const auto t0 = Clock::now();
            QCoreApplication::sendEvent(window->Edt, &press);
            const auto t1 = Clock::now();
            benchmark::DoNotOptimize(window->Tb->Image().constBits());
            keys.push_back(Ms(t0, t1));
            typed.push_back(name.substr(0, n));
            rows = std::max(rows, static_cast<int>(window->Rec.RowCount));
            if (window->Source()->WalksOwnSet())
                similar.push_back(Ms(t0, t1));
        }
    }
}

void BM_GoodsNameKeystroke800x600(benchmark::State& st)
{
    Prepare();
    listdemo::MdiHost host(1000, 800);
    host.show();
    OpenGoodsList(KindOf("PNA"));
    TVyb* window = nullptr;
    for (TVyb* w : ListWindows())
        window = w;
    if (window == nullptr) {
        st.SkipWithError("the goods name list does not open");
        return;
    }
    SizeWindow(window);
    int32_t leaves = 0;
    std::vector<std::string> names = Names("pfa", "pfanaz", kGoodsName, leaves);
    // Rare prefixes: a name with its third letter replaced by a similar
    // spelling's letter, so that few names begin with it.
    for (size_t i = 0; i < names.size(); i += 8)
        if (names[i].size() > 3)
            names.push_back(names[i].substr(0, 2) + (names[i][2] == 'I' ? "Y" : "PH") + names[i].substr(3));
    std::vector<double> keys, similar, peer;
    std::vector<std::string> typed;
    int rows = 0;
    for (auto _ : st)
        TypeNames(window, names, keys, similar, typed, rows);
#ifdef QEVW_HAVE_SQLITE
    SqliteTable sqlite("pfa", "pfakod", kGoodsName, true, kGoodsCode, kGoodsName);
    for (const std::string& p : typed) {
        const auto s0 = Clock::now();
        benchmark::DoNotOptimize(sqlite.Prefix(p, std::max(rows, 1)));
        peer.push_back(Ms(s0, Clock::now()));
    }
#endif
    st.counters["goods_records"] = leaves;
    st.counters["keys"] = static_cast<double>(keys.size());
    st.counters["keys_with_similar_rows"] = static_cast<double>(similar.size());
    st.counters["rows_shown"] = rows;
    ReportSpread(st, "key_", keys);
    ReportSpread(st, "key_similar_", similar);
    ReportSpread(st, "sqlite_", peer);
    if (const double m = Percentile(peer, 0.5); m > 0) {
        st.counters["key_to_sqlite"] = Percentile(keys, 0.5) / m;
        st.counters["key_similar_to_sqlite"] = Percentile(similar, 0.5) / m;
    }
    window->CloseWindow();
    Settle();
}
BENCHMARK(BM_GoodsNameKeystroke800x600)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DeviceNameKeystroke800x600(benchmark::State& st)
{
    Prepare();
    listdemo::MdiHost host(1000, 800);
    host.show();
    OpenDeviceList(KindOf("TNA"));
    TVyb* window = nullptr;
    for (TVyb* w : ListWindows())
        window = w;
    if (window == nullptr) {
        st.SkipWithError("the device name list does not open");
        return;
    }
    SizeWindow(window);
    int32_t leaves = 0;
    const std::vector<std::string> names = Names("pzt", "pztnaz", kDeviceName, leaves);
    std::vector<double> keys, similar, peer;
    std::vector<std::string> typed;
    int rows = 0;
    for (auto _ : st)
        TypeNames(window, names, keys, similar, typed, rows);
#ifdef QEVW_HAVE_SQLITE
    SqliteTable sqlite("pzt", "pztkod", kDeviceName, true, kDeviceCode, kDeviceName);
    for (const std::string& p : typed) {
        const auto s0 = Clock::now();
        benchmark::DoNotOptimize(sqlite.Prefix(p, std::max(rows, 1)));
        peer.push_back(Ms(s0, Clock::now()));
    }
#endif
    st.counters["device_records"] = leaves;
    st.counters["keys"] = static_cast<double>(keys.size());
    st.counters["rows_shown"] = rows;
    ReportSpread(st, "key_", keys);
    ReportSpread(st, "sqlite_", peer);
    if (const double m = Percentile(peer, 0.5); m > 0)
        st.counters["key_to_sqlite"] = Percentile(keys, 0.5) / m;
    window->CloseWindow();
    Settle();
}
BENCHMARK(BM_DeviceNameKeystroke800x600)->Iterations(1)->Unit(benchmark::kMillisecond);

// Enter on the most used device type (and, alternately, the second): the
// restricted list opened or updated and painted.
void BM_DeviceTypeEnterToDevices(benchmark::State& st)
{
    Prepare();
    SetCommandHandlers({});
    RegisterListCommands();
    listdemo::MdiHost host(1000, 800);
    host.show();
    // The types by their number of devices.
    std::map<std::string, int> uses;
    {
        TDbTable t;
        OpenTable(t, TFileId("pzt"), TFileId("pzttyp"), 0);
        std::string record;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, record);
            ++uses[std::string(FieldBytes(record, kDeviceType))];
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
    }
    std::vector<std::pair<int, std::string>> byUse;
    for (const auto& [type, n] : uses)
        byUse.emplace_back(n, type);
    std::sort(byUse.rbegin(), byUse.rend());
    if (byUse.size() < 2) {
        st.SkipWithError("fewer than two device types");
        return;
    }
    TVyb* types = OpenCodeList(kDeviceTypeList, KindOf("UTC"));
    if (types == nullptr) {
        st.SkipWithError("the device type list does not open");
        return;
    }
    SizeWindow(types);
    std::vector<double> enters, peer;
    int rows = 0;
    for (auto _ : st) {
        for (int i = 0; i < 40; ++i) {
            const std::string& type = byUse[static_cast<size_t>(i % 2)].second;
            types->Edt->SetTextKeepCaret(KamToQString(type));
            types->SendAction(ActionCode::PrefixChanged);
            Settle();
            const auto t0 = Clock::now();
            types->SendAction(ActionCode::Enter);
            TVyb* devices = nullptr;
            for (TVyb* w : ListWindows())
                if (w->Kind == KindOf("TTY"))
                    devices = w;
            if (devices == nullptr) {
                st.SkipWithError("Enter opened no device list");
                return;
            }
            if (i == 0)
                SizeWindow(devices);
            benchmark::DoNotOptimize(devices->Tb->Image().constBits());
            enters.push_back(Ms(t0, Clock::now()));
            rows = std::max(rows, static_cast<int>(devices->Rec.RowCount));
        }
    }
#ifdef QEVW_HAVE_SQLITE
    SqliteTable sqlite("pzt", "pztkod", kDeviceType, false, kDeviceCode, kDeviceName);
    for (int i = 0; i < 40; ++i) {
        const auto s0 = Clock::now();
        benchmark::DoNotOptimize(sqlite.Equal(byUse[static_cast<size_t>(i % 2)].second, std::max(rows, 1)));
        peer.push_back(Ms(s0, Clock::now()));
    }
#endif
    st.counters["devices_of_type"] = byUse[0].first;
    st.counters["rows_shown"] = rows;
    ReportSpread(st, "enter_", enters);
    ReportSpread(st, "sqlite_", peer);
    if (const double m = Percentile(peer, 0.5); m > 0)
        st.counters["enter_to_sqlite"] = Percentile(enters, 0.5) / m;
    Settle();
}
BENCHMARK(BM_DeviceTypeEnterToDevices)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
