// Export of a whole list: the drug table by name in a list window, every
// record fetched through the list's callbacks and written by the grid as CSV
// (and RTF) through the export file, against SQLite's shell writing the same
// cells as CSV (".mode csv", ".once") from a database holding them.
//
//   tools/bench/make_scale_data.sh            # build/scale-data, 100,000 packages
//   cmake --build build --target bench_list_export
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_list_export
//
// Without QEVW_BENCH_DATA the build's demo folder is used.  Reported: rows
// per second (items_per_second) of each; the ratio is ours / SQLite's.

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_support.h"
#include "datastore/kamenici.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/toolkit/grid.h"
#include "platform/fs.h"

namespace {

using namespace bench;

std::filesystem::path WorkDir()
{
    static const std::filesystem::path dir = [] {
        const std::filesystem::path d = std::filesystem::temp_directory_path() / "bench_list_export";
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

// One list window over the name index, 1000 x 600, shared by the benchmarks.
struct Fixture {
    listdemo::MdiHost host{1200, 800};
    listdemo::TableList list;
    TVyb* window = nullptr;
    std::string error;

    Fixture()
    {
        BuildKamTables();
        const std::string folder = DataFolder();
        SetDataDir(folder);
        host.show();
        if (!list.Open(folder, "kl", "klnaz", error))
            return;
        window = listdemo::OpenSizedListWindow(host, list, "kl: ", std::string(1, '\x2D') + "A?/", 1000, 600);
    }
};

Fixture& Shared()
{
    static Fixture f;
    return f;
}

void ListExport(benchmark::State& state, const char* fileName)
{
    Fixture& f = Shared();
    if (f.window == nullptr) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    const std::string path = (WorkDir() / fileName).string();
    for (auto _ : state) {
        if (!ExportDataWindow(f.window, path)) {
            state.SkipWithError("export failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * f.list.Leaves());
    state.counters["rows"] = f.list.Leaves();
    state.counters["columns"] = f.window->Tb->Layout().ExportCount;
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
}

void BM_ListExportCsv(benchmark::State& state)
{
    ListExport(state, "list.csv");
}
BENCHMARK(BM_ListExportCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListExportRtf(benchmark::State& state)
{
    ListExport(state, "list.rtf");
}
BENCHMARK(BM_ListExportRtf)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef QEVW_HAVE_SQLITE
// The cells of our CSV export (code page 1250, ";", quoted cells undone).
std::vector<std::vector<std::string>> ReadOurCsv(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"')
                cells.back() += bytes[++i];
            else if (c == '"')
                quoted = false;
            else
                cells.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            cells.emplace_back();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            ++i;
            rows.push_back(std::move(cells));
            cells.assign(1, std::string());
        } else {
            cells.back() += c;
        }
    }
    return rows;
}

// A database with a table of the same cells as our export's rows.
bool MakeDatabase(const std::string& db, const std::vector<std::vector<std::string>>& rows)
{
    std::filesystem::remove(db);
    sqlite3* h = nullptr;
    if (sqlite3_open(db.c_str(), &h) != SQLITE_OK)
        return false;
    const size_t columns = rows.empty() ? 0 : rows[0].size();
    std::string create = "CREATE TABLE t(";
    std::string insert = "INSERT INTO t VALUES(";
    for (size_t c = 0; c < columns; ++c) {
        create += (c ? ",c" : "c") + std::to_string(c) + " TEXT";
        insert += c ? ",?" : "?";
    }
    create += ")";
    insert += ")";
    sqlite3_exec(h, create.c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(h, insert.c_str(), -1, &st, nullptr);
    for (size_t r = 1; r < rows.size(); ++r) { // the header is no row
        for (size_t c = 0; c < columns; ++c) {
            const std::string& cell = c < rows[r].size() ? rows[r][c] : std::string();
            sqlite3_bind_text(st, static_cast<int>(c + 1), cell.data(), static_cast<int>(cell.size()),
                              SQLITE_TRANSIENT);
        }
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    return true;
}

void BM_SqliteShellCsv(benchmark::State& state)
{
    Fixture& f = Shared();
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (f.window == nullptr || shell.isEmpty()) {
        state.SkipWithError("no list or no sqlite3 shell");
        return;
    }
    const std::string ours = (WorkDir() / "peer_source.csv").string();
    ExportDataWindow(f.window, ours);
    const auto rows = ReadOurCsv(ours);
    const std::string db = (WorkDir() / "rows.db").string();
    if (!MakeDatabase(db, rows)) {
        state.SkipWithError("cannot make the database");
        return;
    }
    const std::string out = (WorkDir() / "sqlite.csv").string();
    const QStringList args{
        QString::fromStdString(db), QStringLiteral(".mode csv"), QStringLiteral(".separator ;"),
        QStringLiteral(".once ") + QString::fromStdString(out), QStringLiteral("SELECT * FROM t;")};
    for (auto _ : state) {
        QProcess p;
        p.start(shell, args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            state.SkipWithError("sqlite3 failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows.size() - 1));
    state.counters["rows"] = static_cast<double>(rows.size() - 1);
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
}
BENCHMARK(BM_SqliteShellCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

} // namespace

int main(int argc, char** argv)
{
    const int rc = bench::RunBenchmarks(argc, argv);
    std::filesystem::remove_all(WorkDir());
    return rc;
}
