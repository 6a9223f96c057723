// The substance lists and the drug lists built on them:
//  - the substance name list as the program opens it ("CNA"): a typed key to
//    the rows painted into the grid, letter by letter over 200 names spread
//    over the name index, with the main-names filter (0x10) and without;
//  - the drugs of the most used substance: one page of rows from the
//    composition table through the list's fetch (entry, drug, filter, row);
//  - a text-found list of 5,000 entries: opened through the search runner
//    and walked to its end (End).
//
// Peers, in the same run: SQLite with an index on the folded name, a prefix
// query for one page of rows per key; the composition joined to the drugs
// for one page of the substance; the same 5,000 drug rows read by rowid.
//
//   tools/bench/make_scale_data.sh 100000 /path/scale   # once
//   cmake --build build --target bench_substance_list
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=/path/scale build/tools/bench_substance_list
//
// Without QEVW_BENCH_DATA the build's demo folder is used.

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMdiSubWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/search/text_search_engine.h"
#include "lists/substances/substance_drug_lists.h"
#include "lists/substances/substance_lists.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"

namespace {

constexpr int kNames = 200;
constexpr int kLetters = 6;
constexpr int kFoundEntries = 5000;
constexpr int kRepeats = 50;
using namespace bench;

bool LoadTable(TextTableSlot& slot, const std::string& path)
{
    TextTablePtr table;
    if (LoadTextTable(table, path) < TextTableResult::FirstSuccess)
        return false;
    slot.Set(std::move(table));
    return true;
}

// Substance names spread over the name index, folded, cut to kLetters.
std::vector<std::string> TypedNames()
{
    TDbTable t;
    OpenTable(t, TFileId("kk"), TFileId("kknaz"), 0);
    std::vector<std::string> names;
    std::string record;
    const int32_t leaves = t.LeafCount();
    for (int i = 0; i < kNames && leaves > 0; ++i) {
        ReadByOrder(t, static_cast<int32_t>(int64_t{leaves} * i / kNames), record);
        std::string name = KamFoldUpper(FieldBytes(record, kSubstanceName).substr(0, kLetters));
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name.size() >= 3 && name[0] >= 'A')
            names.push_back(name);
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    return names;
}

// The substance code with the most composition entries.
std::string MostUsedSubstance()
{
    TDbTable t;
    OpenTable(t, TFileId("klc"), TFileId("klckomp"), 0);
    std::map<std::string, int> uses;
    std::string record;
    for (int32_t r = 1; r < t.dat.count; ++r) {
        ReadRecord(t.dat, r, record);
        ++uses[std::string(FieldBytes(record, kCompositionSubstance))];
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    std::string best;
    int most = 0;
    for (const auto& [code, n] : uses)
        if (n > most && code.size() == 5 && code.substr(3) != " 0" && code.substr(3) != "-1" &&
            code[4] != '-') {
            best = code;
            most = n;
        }
    return best;
}

// One key typed into a list window: the time to the painted rows.
double TypeKey(TVyb* window, char ch)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, KamToQString(std::string(1, ch)));
    const auto t0 = Clock::now();
    QCoreApplication::sendEvent(window->Edt, &press);
    const double ms = Ms(t0, Clock::now());
    benchmark::DoNotOptimize(window->Tb->Image().constBits());
    return ms;
}

#ifdef QEVW_HAVE_SQLITE
class SqlitePeer {
public:
    explicit SqlitePeer(const std::string& path)
    {
        std::remove(path.c_str());
        sqlite3_open(path.c_str(), &db_);
        Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        Exec("CREATE TABLE kk(name BLOB, rec BLOB)");
        Exec("CREATE TABLE kl(code BLOB PRIMARY KEY, rec BLOB)");
        Exec("CREATE TABLE klc(kom BLOB, lek BLOB, rec BLOB)");
        Exec("BEGIN");
        Fill("kk", "kknaz", "INSERT INTO kk(name, rec) VALUES(?1, ?2)", kSubstanceName, true);
        Fill("kl", "klkod", "INSERT INTO kl(rowid, code, rec) VALUES(?3, ?1, ?2)", kDrugCode, false);
        {
            TDbTable t;
            OpenTable(t, TFileId("klc"), TFileId("klckomp"), 0);
            sqlite3_stmt* ins = nullptr;
            sqlite3_prepare_v2(db_, "INSERT INTO klc(kom, lek, rec) VALUES(?1, ?2, ?3)", -1, &ins, nullptr);
            std::string record;
            for (int32_t r = 1; r < t.dat.count; ++r) {
                ReadRecord(t.dat, r, record);
                const std::string_view kom = FieldBytes(record, kCompositionSubstance);
                const std::string_view lek = FieldBytes(record, kCompositionDrug);
                sqlite3_bind_blob(ins, 1, kom.data(), static_cast<int>(kom.size()), SQLITE_TRANSIENT);
                sqlite3_bind_blob(ins, 2, lek.data(), static_cast<int>(lek.size()), SQLITE_TRANSIENT);
                sqlite3_bind_blob(ins, 3, record.data(), static_cast<int>(record.size()), SQLITE_TRANSIENT);
                sqlite3_step(ins);
                sqlite3_reset(ins);
            }
            sqlite3_finalize(ins);
            OpenTable(t, TFileId(), TFileId(), 0);
        }
        Exec("COMMIT");
        Exec("CREATE INDEX kk_name ON kk(name)");
        Exec("CREATE INDEX klc_kom ON klc(kom)");
        sqlite3_prepare_v2(db_, "SELECT rec FROM kk WHERE name >= ?1 AND name < ?2 ORDER BY name LIMIT ?3",
                           -1, &names_, nullptr);
        sqlite3_prepare_v2(db_,
                           "SELECT kl.rec, klc.rec FROM klc JOIN kl ON kl.code = klc.lek WHERE klc.kom = ?1 "
                           "ORDER BY klc.rowid LIMIT ?2",
                           -1, &drugs_, nullptr);
        sqlite3_prepare_v2(db_, "SELECT rec FROM kl WHERE rowid = ?1", -1, &byRowid_, nullptr);
    }
    ~SqlitePeer()
    {
        sqlite3_finalize(names_);
        sqlite3_finalize(drugs_);
        sqlite3_finalize(byRowid_);
        sqlite3_close(db_);
    }

    int NamePage(const std::string& prefix, int rows) { return SqlitePrefixRows(names_, prefix, rows, 0); }

    int DrugPage(const std::string& substance, int rows)
    {
        sqlite3_bind_blob(drugs_, 1, substance.data(), static_cast<int>(substance.size()), SQLITE_STATIC);
        sqlite3_bind_int(drugs_, 2, rows);
        int n = 0;
        while (sqlite3_step(drugs_) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_blob(drugs_, 0));
            ++n;
        }
        sqlite3_reset(drugs_);
        return n;
    }

    int ByRowid(const std::vector<int32_t>& records)
    {
        int n = 0;
        for (int32_t r : records) {
            sqlite3_bind_int(byRowid_, 1, r);
            if (sqlite3_step(byRowid_) == SQLITE_ROW) {
                benchmark::DoNotOptimize(sqlite3_column_blob(byRowid_, 0));
                ++n;
            }
            sqlite3_reset(byRowid_);
        }
        return n;
    }

private:
    void Exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    void Fill(const char* table, const char* index, const char* sql, FieldPos key, bool fold)
    {
        TDbTable t;
        OpenTable(t, TFileId(table), TFileId(index), 0);
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, sql, -1, &ins, nullptr);
        std::string record;
        for (int32_t r = 1; r < t.dat.count; ++r) {
            ReadRecord(t.dat, r, record);
            const std::string k =
                fold ? KamFoldUpper(FieldBytes(record, key)) : std::string(FieldBytes(record, key));
            sqlite3_bind_blob(ins, 1, k.data(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 2, record.data(), static_cast<int>(record.size()), SQLITE_TRANSIENT);
            if (sqlite3_bind_parameter_count(ins) >= 3)
                sqlite3_bind_int(ins, 3, r);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        OpenTable(t, TFileId(), TFileId(), 0);
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* names_ = nullptr;
    sqlite3_stmt* drugs_ = nullptr;
    sqlite3_stmt* byRowid_ = nullptr;
};
#endif

void BM_SubstanceLists(benchmark::State& st)
{
    BuildKamTables();
    const std::string folder = DataFolder();
    SetDataDir(folder);
    if (!LoadTable(UiTexts, WithTrailingSlash(QEVW_BENCH_DEFAULT_PROGRAM) + "qevw.ces") ||
        !LoadTable(DataTexts, folder + "kalvo.ces")) {
        st.SkipWithError("text tables");
        return;
    }
    LoadCodeTables();
    SetupEdition(1);
    Config().Update([](ConfigValues& v) {
        v.placementMode = WindowMode::Free;
        v.BlinkOff = 1;
        v.tipUser = false;
        v.KeySelectOption = 128;
        v.FilterFlags = 0;
        v.CompositionFilter = 0;
    });
    listdemo::MdiHost host(1000, 800);
    host.show();
    const std::vector<std::string> names = TypedNames();

    // 1. Keystrokes in the name list, with the main-names filter and without.
    std::vector<double> keysMain, keysAll;
    int rows = 0;
    for (auto _ : st) {
        for (uint8_t filter : {uint8_t{16}, uint8_t{0}}) {
            Config().Update([filter](ConfigValues& v) { v.SynonymFilter = filter; });
            TVyb* window = OpenComponentList(KindOf("CNA"));
            if (window == nullptr) {
                st.SkipWithError("the substance list did not open");
                return;
            }
            QMdiSubWindow* sub = window->SubWindow();
            sub->showNormal();
            sub->resize(sub->width() - window->width() + 800, sub->height() - window->height() + 600);
            for (int i = 0; i < 5; ++i)
                QApplication::processEvents();
            std::vector<double>& times = filter != 0 ? keysMain : keysAll;
            for (const std::string& name : names) {
                window->Edt->SetTextKeepCaret(QString());
                for (char ch : name) {
                    times.push_back(TypeKey(window, ch));
                    rows = std::max<int>(rows, window->Rec.RowCount);
                }
            }
            delete window;
            QApplication::processEvents();
        }
    }
    const int page = std::max(1, rows);

    // 2. One page of the drugs of the most used substance.
    const std::string substance = MostUsedSubstance();
    std::vector<double> drugPages;
    int drugRows = 0;
    {
        SubstanceDrugList list;
        if (!list.CheckTables().empty()) {
            st.SkipWithError("the drug signs or tables");
            return;
        }
        for (int i = 0; i < kRepeats; ++i) {
            VybRec rec;
            rec.Letter = 'X';
            rec.Options = 0x80;
            rec.ButtonState = 0x80;
            rec.Prefix = substance;
            rec.FetchMode = FetchModeCode::Seek;
            const auto t0 = Clock::now();
            int n = 0;
            for (; n < page; ++n) {
                TVybRow row;
                std::string text;
                list.Fetch(rec, row, text);
                if (row.Pos == -1)
                    break;
                rec.Rows[1] = row;
                rec.RowCount = 1;
                rec.FetchMode = FetchModeCode::After;
            }
            drugPages.push_back(Ms(t0, Clock::now()));
            drugRows = n;
        }
    }

    // 3. A text-found list of 5,000 entries: open it and go to its end.
    std::vector<int32_t> found;
    {
        TDbTable t;
        OpenTable(t, TFileId("kl"), TFileId("klkod"), 0);
        const int32_t records = t.dat.count - 1;
        for (int i = 0; i < kFoundEntries && records > 0; ++i)
            found.push_back(1 + static_cast<int32_t>(int64_t{records} * i / kFoundEntries));
        OpenTable(t, TFileId(), TFileId(), 0);
    }
    SetTextSearchRunner([&](TextSearchResult& out) {
        for (int32_t r : found)
            out.entries.push_back(text_search::ResultEntry(r, 1));
        out.words.word = {"BOLEST", "", "", "", ""};
        out.words.count = 1;
        out.letter = 'L';
        return static_cast<int>(found.size());
    });
    std::vector<double> foundOpen, foundEnd;
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        TVyb* w = OpenTextFoundList(KindOf("XTD"));
        QApplication::processEvents();
        const auto t1 = Clock::now();
        if (w == nullptr) {
            st.SkipWithError("the text-found list did not open");
            return;
        }
        w->SendAction(ActionCode::End);
        benchmark::DoNotOptimize(w->Tb->Image().constBits());
        foundEnd.push_back(Ms(t1, Clock::now()));
        foundOpen.push_back(Ms(t0, t1));
        delete w;
        QApplication::processEvents();
    }
    SetTextSearchRunner({});

    // The peer, the same work in SQLite.
    std::vector<double> sqlMain, sqlDrugs, sqlFound;
#ifdef QEVW_HAVE_SQLITE
    SqlitePeer db(QDir::tempPath().toStdString() + "/bench_substance_list.sqlite");
    for (const std::string& name : names) {
        std::string prefix;
        for (char ch : name) {
            prefix += ch;
            const auto t0 = Clock::now();
            benchmark::DoNotOptimize(db.NamePage(prefix, page));
            sqlMain.push_back(Ms(t0, Clock::now()));
        }
    }
    for (int i = 0; i < kRepeats; ++i) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(db.DrugPage(substance, page));
        sqlDrugs.push_back(Ms(t0, Clock::now()));
    }
    for (int i = 0; i < 10; ++i) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(db.ByRowid(found));
        sqlFound.push_back(Ms(t0, Clock::now()));
    }
#endif

    st.counters["rows_shown"] = rows;
    ReportSpread(st, "key_main_", keysMain);
    ReportSpread(st, "key_all_", keysAll);
    ReportSpread(st, "sqlite_key_", sqlMain);
    st.counters["drug_rows"] = drugRows;
    ReportSpread(st, "drugs_page_", drugPages);
    ReportSpread(st, "sqlite_drugs_page_", sqlDrugs);
    ReportSpread(st, "found_open_", foundOpen);
    ReportSpread(st, "found_end_", foundEnd);
    ReportSpread(st, "sqlite_found_", sqlFound);
    const double sqlKey = Percentile(sqlMain, 0.5);
    st.counters["ratio_key_main"] = sqlKey > 0 ? Percentile(keysMain, 0.5) / sqlKey : 0;
    st.counters["ratio_key_all"] = sqlKey > 0 ? Percentile(keysAll, 0.5) / sqlKey : 0;
    const double sqlDrug = Percentile(sqlDrugs, 0.5);
    st.counters["ratio_drugs"] = sqlDrug > 0 ? Percentile(drugPages, 0.5) / sqlDrug : 0;
    const double sqlFoundMs = Percentile(sqlFound, 0.5);
    st.counters["ratio_found"] =
        sqlFoundMs > 0 ? (Percentile(foundOpen, 0.5) + Percentile(foundEnd, 0.5)) / sqlFoundMs : 0;
    st.counters["substance_records"] = SubstanceTable().LeafCount();
}
BENCHMARK(BM_SubstanceLists)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
