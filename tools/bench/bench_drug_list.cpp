// The drug name list as the program opens it ("DNA"): a typed key to the
// rows painted into the grid (the seek in the name index, the filter bits,
// the similar-name search when the prefix is rare, the rows formatted and
// drawn), letter by letter over 300 names spread over the table, each typed
// once as it is and once misspelt.  Keys whose prefix the word file holds
// fewer than 3 times count as rare.  Also: the first build of the filter
// bits, and the export of the whole list in rows per second.
//
// Peers, in the same run: SQLite with an index on the folded name, a prefix
// query for one page of rows (the grid's row count) per key; for the export,
// every SQLite row in name order written as a "code;name" line.
//
//   tools/bench/make_scale_data.sh            # build/scale-data, 100,000 packages
//   cmake --build build --target bench_drug_list
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_drug_list
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
#include <cstdlib>
#include <cstring>
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
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/drugs/drug_lists.h"
#include "lists/search/similar_search.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"

namespace {

constexpr int kNames = 300;
constexpr int kLetters = 8;
using namespace bench;

bool LoadTable(TextTableSlot& slot, const std::string& path)
{
    TextTablePtr table;
    if (LoadTextTable(table, path) < TextTableResult::FirstSuccess)
        return false;
    slot.Set(std::move(table));
    return true;
}

// A misspelling the name list corrects: the first letter group after the
// first letter swapped for its pair of the substitution table (K for C, PH
// for F ...); empty when the name has none.
std::string Misspelt(const std::string& name)
{
    static const std::pair<const char*, const char*> kPairs[] = {
        {"PH", "F"}, {"TH", "T"}, {"KS", "X"}, {"F", "PH"}, {"C", "K"}, {"K", "C"}, {"I", "Y"},
        {"Y", "I"},  {"V", "W"},  {"W", "V"},  {"X", "KS"}, {"S", "Z"}, {"Z", "S"}, {"T", "TH"},
    };
    for (size_t p = 1; p < name.size(); ++p)
        for (const auto& [from, to] : kPairs)
            if (name.compare(p, std::strlen(from), from) == 0)
                return name.substr(0, p) + to + name.substr(p + std::strlen(from));
    return {};
}

// The typed texts: names spread over the name index, typed as they are and
// misspelt.
std::vector<std::string> TypedNames()
{
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId("klnaz"), 0);
    std::vector<std::string> names;
    std::string record;
    const int32_t leaves = t.LeafCount();
    for (int i = 0; i < kNames && leaves > 0; ++i) {
        ReadByOrder(t, static_cast<int32_t>(int64_t{leaves} * i / kNames), record);
        const std::string name = KamFoldUpper(GetFieldTrim(record, kDrugName.start, kLetters));
        if (name.size() < 5)
            continue;
        names.push_back(name);
        const std::string typo = Misspelt(name);
        if (!typo.empty())
            names.push_back(typo);
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    return names;
}

struct KeyTimes {
    std::vector<double> common, rare;
    int suggested = 0; // rare keys whose rows began with suggestions
};

#ifdef QEVW_HAVE_SQLITE
// The drug names in SQLite: the folded name with an index, and the record.
class SqliteNames {
public:
    explicit SqliteNames(const std::string& path)
    {
        std::remove(path.c_str());
        sqlite3_open(path.c_str(), &db_);
        Exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
        Exec("CREATE TABLE kl(name BLOB, rec BLOB)");
        TDbTable t;
        OpenTable(t, TFileId("kl"), TFileId("klnaz"), 0);
        Exec("BEGIN");
        sqlite3_stmt* ins = nullptr;
        sqlite3_prepare_v2(db_, "INSERT INTO kl(name, rec) VALUES(?1, ?2)", -1, &ins, nullptr);
        std::string record;
        for (int32_t r = 1; r < t.dat.count; ++r) {
            ReadRecord(t.dat, r, record);
            const std::string name = KamFoldUpper(FieldBytes(record, kDrugName));
            sqlite3_bind_blob(ins, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_blob(ins, 2, record.data(), static_cast<int>(record.size()), SQLITE_TRANSIENT);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        sqlite3_finalize(ins);
        Exec("COMMIT");
        Exec("CREATE INDEX kl_name ON kl(name)");
        OpenTable(t, TFileId(), TFileId(), 0);
        sqlite3_prepare_v2(db_, "SELECT rec FROM kl WHERE name >= ?1 AND name < ?2 ORDER BY name LIMIT ?3",
                           -1, &query_, nullptr);
    }
    ~SqliteNames()
    {
        sqlite3_finalize(query_);
        sqlite3_close(db_);
    }

    // One page of rows from the prefix; the rows found.
    int Page(const std::string& prefix, int rows) { return SqlitePrefixRows(query_, prefix, rows, 0); }

    // Every row in name order written as "code;name" lines; the rows written.
    int64_t DumpCsv(const std::string& path)
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr)
            return -1;
        sqlite3_stmt* all = nullptr;
        sqlite3_prepare_v2(db_, "SELECT rec FROM kl ORDER BY name", -1, &all, nullptr);
        int64_t n = 0;
        while (sqlite3_step(all) == SQLITE_ROW) {
            const auto* rec = static_cast<const char*>(sqlite3_column_blob(all, 0));
            std::fwrite(rec, 1, 7, out);
            std::fputc(';', out);
            std::fwrite(rec + 7, 1, 70, out);
            std::fputc('\n', out);
            ++n;
        }
        sqlite3_finalize(all);
        std::fclose(out);
        return n;
    }

private:
    void Exec(const char* sql) { sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    sqlite3* db_ = nullptr;
    sqlite3_stmt* query_ = nullptr;
};
#endif

void BM_DrugNameList(benchmark::State& st)
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
        v.SeptacOption = 1;
    });
    std::string words;
    LoadWordFile(words, "klnaz.slw");

    // The first filter build over the name index.
    std::vector<double> firstBuild;
    for (int i = 0; i < 5; ++i) {
        OpenTable(MainTable, TFileId("kl"), TFileId("klnaz"), 0);
        TBits hits;
        const auto t0 = Clock::now();
        BuildDrugFilter(hits, 0, MainTable);
        firstBuild.push_back(Ms(t0, Clock::now()));
    }

    listdemo::MdiHost host(1000, 800);
    host.show();
    const auto open0 = Clock::now();
    OpenDrugList(KindOf("DNA"));
    const double openMs = Ms(open0, Clock::now());
    const std::vector<TVyb*> lists = ListWindows();
    if (lists.empty()) {
        st.SkipWithError("the name list did not open");
        return;
    }
    TVyb* window = lists.back();
    QMdiSubWindow* sub = window->SubWindow();
    sub->showNormal();
    sub->resize(sub->width() - window->width() + 800, sub->height() - window->height() + 600);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();

    const std::vector<std::string> names = TypedNames();
    KeyTimes ours;
    int rows = 0;
    for (auto _ : st) {
        ours = {};
        for (const std::string& name : names) {
            window->Edt->SetTextKeepCaret(QString());
            std::string prefix;
            for (char ch : name) {
                prefix += ch;
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, KamToQString(std::string(1, ch)));
                const auto t0 = Clock::now();
                QCoreApplication::sendEvent(window->Edt, &press);
                const double ms = Ms(t0, Clock::now());
                benchmark::DoNotOptimize(window->Tb->Image().constBits());
                rows = std::max<int>(rows, window->Rec.RowCount);
                const bool rare = WordPrefixIsRare(words, prefix, 3);
                (rare ? ours.rare : ours.common).push_back(ms);
                if (rare && window->Source()->WalksOwnSet())
                    ++ours.suggested;
            }
        }
    }

    // The list's own part of a key, without the window: the seek and one
    // page of rows through the fetch callback.
    KeyTimes fetchOnly;
    int64_t fetchedRows = 0;
    {
        VybRec rec;
        DrugList list('N');
        rec.Letter = 'N';
        rec.Options = 0x80;
        rec.Whisper = true;
        rec.Count = 40000;
        const int page = std::max(1, rows);
        for (const std::string& name : names) {
            std::string prefix;
            for (char ch : name) {
                prefix += ch;
                rec.Prefix = prefix;
                rec.FetchMode = FetchModeCode::Seek;
                const auto t0 = Clock::now();
                for (int r = 0; r < page; ++r) {
                    TVybRow row;
                    std::string text;
                    list.Fetch(rec, row, text);
                    if (row.Pos == -1)
                        break;
                    ++fetchedRows;
                    rec.Rows[1] = row;
                    rec.RowCount = 1;
                    rec.FetchMode = FetchModeCode::After;
                }
                const double ms = Ms(t0, Clock::now());
                (WordPrefixIsRare(words, prefix, 3) ? fetchOnly.rare : fetchOnly.common).push_back(ms);
            }
        }
    }

    // The peer: the same prefixes, one page of rows each.
    KeyTimes peer;
#ifdef QEVW_HAVE_SQLITE
    SqliteNames db(QDir::tempPath().toStdString() + "/bench_drug_list.sqlite");
    const int page = std::max(1, rows);
    for (const std::string& name : names) {
        std::string prefix;
        for (char ch : name) {
            prefix += ch;
            const auto t0 = Clock::now();
            benchmark::DoNotOptimize(db.Page(prefix, page));
            const double ms = Ms(t0, Clock::now());
            (WordPrefixIsRare(words, prefix, 3) ? peer.rare : peer.common).push_back(ms);
        }
    }
#endif

    // The whole list exported as CSV.
    const std::string csv = QDir::tempPath().toStdString() + "/bench_drug_list.csv";
    window->Edt->SetTextKeepCaret(QString());
    window->Rec.Prefix.clear();
    window->SendAction(ActionCode::PrefixChanged);
    QApplication::processEvents();
    const auto e0 = Clock::now();
    const bool exported = ExportDataWindow(window, csv);
    const double exportMs = Ms(e0, Clock::now());
    double peerExportMs = 0;
    int64_t peerRows = 0;
#ifdef QEVW_HAVE_SQLITE
    {
        const auto p0 = Clock::now();
        peerRows = db.DumpCsv(csv + ".sqlite.csv");
        peerExportMs = Ms(p0, Clock::now());
        std::remove((csv + ".sqlite.csv").c_str());
    }
#endif
    // Rows written: the lines after the heading.
    int64_t exportedRows = -1;
    {
        std::string bytes;
        if (ReadWholeFile(csv, bytes) == 0)
            exportedRows = std::count(bytes.begin(), bytes.end(), '\n') - 1;
        std::remove(csv.c_str());
    }

    st.counters["open_ms"] = openMs;
    st.counters["first_hits_ms"] = Percentile(firstBuild, 0.5);
    st.counters["rows_shown"] = rows;
    st.counters["common_keys"] = static_cast<double>(ours.common.size());
    st.counters["common_median_ms"] = Percentile(ours.common, 0.5);
    st.counters["common_worst_ms"] = Worst(ours.common);
    st.counters["rare_keys"] = static_cast<double>(ours.rare.size());
    st.counters["rare_median_ms"] = Percentile(ours.rare, 0.5);
    st.counters["rare_worst_ms"] = Worst(ours.rare);
    st.counters["rare_with_suggestions"] = ours.suggested;
    st.counters["fetch_rows"] = static_cast<double>(fetchedRows);
    st.counters["fetch_common_median_ms"] = Percentile(fetchOnly.common, 0.5);
    st.counters["fetch_common_worst_ms"] = Worst(fetchOnly.common);
    st.counters["fetch_rare_median_ms"] = Percentile(fetchOnly.rare, 0.5);
    st.counters["fetch_rare_worst_ms"] = Worst(fetchOnly.rare);
    st.counters["sqlite_common_median_ms"] = Percentile(peer.common, 0.5);
    st.counters["sqlite_common_worst_ms"] = Worst(peer.common);
    st.counters["sqlite_rare_median_ms"] = Percentile(peer.rare, 0.5);
    st.counters["sqlite_rare_worst_ms"] = Worst(peer.rare);
    st.counters["export_ok"] = exported ? 1 : 0;
    st.counters["export_ms"] = exportMs;
    st.counters["export_rows"] = static_cast<double>(exportedRows);
    st.counters["sqlite_export_rows_per_s"] =
        peerExportMs > 0 ? static_cast<double>(peerRows) * 1000.0 / peerExportMs : 0;
    st.counters["export_rows_per_s"] =
        exportMs > 0 ? static_cast<double>(exportedRows) * 1000.0 / exportMs : 0;
    st.counters["leaves"] = MainTable.LeafCount();
    delete window;
}
BENCHMARK(BM_DrugNameList)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
