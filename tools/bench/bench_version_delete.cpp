// Benchmarks of the installation settings dialog, each beside a peer
// measured in the same run:
//  - DeleteVersionFolder of a version folder holding the data set
//    (QEVW_BENCH_DATA, the 100,000-package set of make_scale_data.sh), against
//    "rm -rf" of an identical copy; counters in files per second;
//  - tab 2 over 200 version folders, FillTab to the painted grid, against a
//    plain QTableWidget filled with the same texts and painted the same way.
//
// Build with the `benchmarks` target; run offscreen:
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=/work/wt/scale100k build/tools/bench_version_delete

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QProcess>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "datastore/text_table.h"
#include "frame/start/command_line.h"
#include "maintenance/installation_dialog.h"
#include "maintenance/version_folders.h"
#include "maintenance/version_grid.h"
#include "platform/fs.h"

namespace {

QTemporaryDir& Folder()
{
    static QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_version_delete_XXXXXX"));
    return dir;
}

std::string Base()
{
    return Folder().path().toStdString() + "/base/";
}

// A full copy of the data folder (real bytes, no links) as a version folder.
int CopyData(const std::string& to)
{
    QDir().mkpath(QString::fromStdString(to));
    return QProcess::execute(QStringLiteral("cp"),
                             {QStringLiteral("-r"), QString::fromStdString(bench::DataFolder() + "."),
                              QString::fromStdString(to)});
}

int64_t CountFiles(const std::string& folder)
{
    int64_t n = 0;
    for (const FolderEntry& e : ListFolder(folder))
        n += e.kind == FolderEntry::Kind::Folder ? 1 + CountFiles(folder + e.name + "/") : 1;
    return n;
}

void BM_DeleteVersionFolder(benchmark::State& state)
{
    const std::string folder = Base() + "KALVO_25.4a/";
    const DeleteGuards guards{"KALVO_26.1c", "/nonexistent/", "/nonexistent/"};
    int64_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (CopyData(folder) != 0) {
            state.SkipWithError("copy failed");
            break;
        }
        files += CountFiles(folder) + 1;
        state.ResumeTiming();
        const DeleteResult r = DeleteVersionFolder(Base(), "KALVO_25.4a", guards);
        if (!r.stayed.empty() || r.busy) {
            state.SkipWithError(("stayed: " + r.stayed).c_str());
            break;
        }
    }
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}

void BM_RmRfPeer(benchmark::State& state)
{
    const std::string folder = Base() + "KALVO_25.4b/";
    int64_t files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (CopyData(folder) != 0) {
            state.SkipWithError("copy failed");
            break;
        }
        files += CountFiles(folder) + 1;
        state.ResumeTiming();
        if (QProcess::execute(QStringLiteral("rm"),
                              {QStringLiteral("-rf"), QString::fromStdString(folder)}) != 0) {
            state.SkipWithError("rm failed");
            break;
        }
    }
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(files), benchmark::Counter::kIsRate);
}

// 200 version folders under a base of their own, and the program's texts.
void Prepare200()
{
    static const bool done = [] {
        const std::string program =
            QDir(QCoreApplication::applicationDirPath()).filePath("../program/").toStdString();
        LoadTextTable(UiTexts, program + "qevw.ces");
        const std::string base = Folder().path().toStdString() + "/grid/";
        for (int i = 0; i < 200; ++i) {
            const std::string name = "KALVO_" + std::to_string(10 + i / 8) + "." + std::to_string(1 + i % 4) +
                                     std::string(1, static_cast<char>('a' + i % 8 / 4 * 3 + i % 3));
            QDir().mkpath(QString::fromStdString(base + name));
            WriteFileAtomic(base + name + "/kalvo.kvo", "ver=1\r\n");
        }
        StartValues& s = ProgramStart();
        s.SharedRoot = base;
        s.ProgramFolder = base + "KALVO_26.1c/";
        QDir().mkpath(QString::fromStdString(s.ProgramFolder));
        return true;
    }();
    (void)done;
}

void BM_Tab2FillAndPaint(benchmark::State& state)
{
    Prepare200();
    TNastav6 d;
    d.resize(619, 511);
    d.show();
    d.findChild<QTabBar*>(QStringLiteral("Tabs"))->setCurrentIndex(2);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        d.FillTab();
        const QPixmap painted = d.Table()->grab();
        benchmark::DoNotOptimize(painted.cacheKey());
    }
    state.counters["rows"] = static_cast<double>(d.Table()->rowCount());
}

void BM_PlainTablePeer(benchmark::State& state)
{
    Prepare200();
    // The same texts, taken once from the dialog's rows.
    std::vector<VersionRow> rows;
    {
        TNastav6 d;
        d.findChild<QTabBar*>(QStringLiteral("Tabs"))->setCurrentIndex(2);
        rows = d.ShownRows();
    }
    QTableWidget t;
    t.resize(600, 400);
    t.setColumnCount(6);
    t.verticalHeader()->hide();
    t.setSelectionBehavior(QAbstractItemView::SelectRows);
    t.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QStringList titles;
        for (const std::string& title : rows[0])
            titles << QString::fromLatin1(title.c_str());
        t.setHorizontalHeaderLabels(titles);
        t.clearContents();
        t.setRowCount(static_cast<int>(rows.size()) - 1);
        for (size_t r = 1; r < rows.size(); ++r)
            for (int c = 0; c < 6; ++c)
                t.setItem(static_cast<int>(r) - 1, c,
                          new QTableWidgetItem(QString::fromLatin1(rows[r][static_cast<size_t>(c)].c_str())));
        const QPixmap painted = t.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
    }
    state.counters["rows"] = static_cast<double>(t.rowCount());
}

BENCHMARK(BM_DeleteVersionFolder)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RmRfPeer)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tab2FillAndPaint)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTablePeer)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
