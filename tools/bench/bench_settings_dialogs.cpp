// Benchmarks of the settings dialogs, each beside a peer measured in the
// same run:
//  - each dialog from its command to its first paint, against the same form
//    set up by uic alone in a plain QDialog, shown the same way;
//  - OK of the filter dialog to the saved settings file, against one write,
//    fsync and rename of the same bytes;
//  - the notes-file switch's LoadNoteMarks on the data folder (the
//    100,000-package set: QEVW_BENCH_DATA=build/scale-data), against
//    reading the same ".PNT" whole.
// Target: a dialog under 100 ms to its first paint; OK and the notes switch
// within a few times their peers.
//
// Build with the `benchmarks` target; run offscreen:
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_settings_dialogs

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

#include "app/user_file_hooks.h"
#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "maintenance/filter_dialog.h"
#include "maintenance/settings_commands.h"
#include "ui_nastav1.h"
#include "ui_nastav2.h"
#include "ui_nastav3.h"
#include "ui_nastav4.h"
#include "ui_nastav5.h"
#include "ui_statistika.h"

namespace {

using bench::Clock;

bool LoadTexts()
{
    static const bool loaded = [] {
        const std::string program =
            QDir(QCoreApplication::applicationDirPath()).filePath("../program/").toStdString();
        SetDataDir(bench::DataFolder());
        return LoadTextTable(UiTexts, program + "qevw.ces") >= TextTableResult::FirstSuccess &&
               LoadTextTable(DataTexts, bench::DataFolder() + "kalvo.ces") >= TextTableResult::FirstSuccess;
    }();
    return loaded;
}

// A settings file of its own, so that the runs never touch the user's.
QTemporaryDir& Folder()
{
    static QTemporaryDir dir;
    return dir;
}

void UseOwnSettings()
{
    static const bool done = [] {
        const std::string path = Folder().path().toStdString() + "/kalvo.ini";
        Config().SetPaths(path, Folder().path().toStdString() + "/nodal.cfg");
        ConfigLoadInput in;
        in.programFolder = Folder().path().toStdString() + "/";
        in.dataFolder = bench::DataFolder();
        in.environment = [](const char*) { return std::string(); };
        Config().Load(in);
        SaveConfig(true);
        return true;
    }();
    (void)done;
}

// Notes the first paint of any dialog, then closes it.
class FirstPaint : public QObject {
public:
    Clock::time_point painted;
    bool seen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            if (auto* d = qobject_cast<QDialog*>(static_cast<QWidget*>(watched)->window())) {
                painted = Clock::now();
                seen = true;
                QTimer::singleShot(0, d, &QDialog::reject);
            }
        }
        return false;
    }
};

// Runs `open` (which returns when its dialog closed) and times it to the
// dialog's first paint.
double MsToFirstPaint(const std::function<void()>& open)
{
    FirstPaint probe;
    qApp->installEventFilter(&probe);
    const Clock::time_point start = Clock::now();
    open();
    qApp->removeEventFilter(&probe);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return probe.seen ? bench::Ms(start, probe.painted) : -1;
}

const char* const kCommands[] = {"SSF", "SSL", "SSC", "SSW", "SSI", "SOS"};

void BM_DialogCommandToFirstPaint(benchmark::State& st)
{
    if (!LoadTexts()) {
        st.SkipWithError("text tables not found");
        return;
    }
    UseOwnSettings();
    RegisterSettingsCommands();
    const char* command = kCommands[st.range(0)];
    std::vector<double> ms;
    for (auto _ : st) {
        const double t = MsToFirstPaint([command] { DispatchCommand(nullptr, KindOf(command), 0); });
        if (t < 0) {
            st.SkipWithError("no paint");
            return;
        }
        st.SetIterationTime(t / 1000);
        ms.push_back(t);
    }
    st.SetLabel(command);
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_DialogCommandToFirstPaint)->DenseRange(0, 5)->UseManualTime()->Unit(benchmark::kMillisecond);

template <class Form>
void RunPlain()
{
    QDialog d;
    Form ui;
    ui.setupUi(&d);
    d.exec();
}

// The peer: the same form set up by uic alone in a plain QDialog.
void BM_PeerUicFormToFirstPaint(benchmark::State& st)
{
    const std::function<void()> forms[] = {RunPlain<Ui::Nastav1>, RunPlain<Ui::Nastav2>,
                                           RunPlain<Ui::Nastav3>, RunPlain<Ui::Nastav4>,
                                           RunPlain<Ui::Nastav5>, RunPlain<Ui::Statistika>};
    const std::function<void()>& open = forms[st.range(0)];
    std::vector<double> ms;
    for (auto _ : st) {
        const double t = MsToFirstPaint(open);
        st.SetIterationTime(t / 1000);
        ms.push_back(t);
    }
    st.SetLabel(kCommands[st.range(0)]);
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_PeerUicFormToFirstPaint)->DenseRange(0, 5)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_FilterDialogOkToSavedFile(benchmark::State& st)
{
    if (!LoadTexts()) {
        st.SkipWithError("text tables not found");
        return;
    }
    UseOwnSettings();
    int round = 0;
    for (auto _ : st) {
        st.PauseTiming();
        auto d = std::make_unique<TNastav1>();
        d->show();
        QCoreApplication::processEvents();
        // One choice that changes, so that every save writes new bytes.
        d->findChild<QAbstractButton*>(QStringLiteral("FLReg"))->setChecked(round++ % 2 == 0);
        st.ResumeTiming();
        d->OKBtnClick();
        st.PauseTiming();
        d.reset();
        st.ResumeTiming();
    }
    std::string bytes;
    ReadWholeFile(Config().ConfigPath(), bytes);
    st.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_FilterDialogOkToSavedFile)->Unit(benchmark::kMillisecond);

// The peer: the same bytes written to a new file, flushed to disk and
// renamed over the old one.
void BM_PeerWriteFsyncRename(benchmark::State& st)
{
    UseOwnSettings();
    std::string bytes;
    ReadWholeFile(Config().ConfigPath(), bytes);
    const std::string path = Folder().path().toStdString() + "/peer.ini";
    const std::string temp = path + ".tmp";
    for (auto _ : st) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            ::fsync(fd) != 0) {
            st.SkipWithError("write failed");
            return;
        }
        ::close(fd);
        std::rename(temp.c_str(), path.c_str());
    }
    st.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PeerWriteFsyncRename)->Unit(benchmark::kMillisecond);

// A notes set over the data folder's drugs: a note on every tenth drug,
// imported as the program's import does it.  The base path, or empty.
std::string MakeNotes()
{
    static const std::string base = [] {
        const std::string folder = Folder().path().toStdString() + "/notes/";
        QDir().mkpath(QString::fromStdString(folder));
        TDbTable kl;
        OpenTable(kl, TFileId("kl"), TFileId("klkod"), 0);
        std::string notes(256, '\0');
        std::string record;
        for (int32_t r = 1; r < kl.dat.count; r += 10) {
            ReadRecord(kl.dat, r, record);
            std::string block(256, '\0');
            const std::string text = "01" + std::string(FieldBytes(record, kDrugCode)) + "\r\nPoznamka " +
                                     std::to_string(r) + "\r\n";
            block.replace(2, text.size(), text);
            notes += block;
        }
        const int32_t drugs = kl.dat.count;
        OpenTable(kl, TFileId(), TFileId(), 0);
        if (drugs <= 1 || WriteFileAtomic(folder + "NOTES.NOT", notes) != 0)
            return std::string();
        Config().Update([&](ConfigValues& v) {
            v.NotesFolder = folder;
            v.NotesName = "NOTES";
        });
        InstallUserFileHooks();
        struct Quiet : NoteMessageSink {
            void Message(std::string_view m) override
            {
                if (!m.empty() && m.front() != 'p')
                    std::fprintf(stderr, "notes: %s\n", std::string(m).c_str());
            }
        } sink;
        const NoteImportResult r = NoteFiles(folder + "NOTES", "-A ", sink);
        return r.imported ? folder + "NOTES" : std::string();
    }();
    return base;
}

// The notes set, or empty after marking the benchmark skipped.
std::string NotesOrSkip(benchmark::State& st)
{
    if (!LoadTexts()) {
        st.SkipWithError("text tables not found");
        return {};
    }
    UseOwnSettings();
    const std::string base = MakeNotes();
    if (base.empty())
        st.SkipWithError("no notes set");
    return base;
}

void BM_NotesSwitchLoadNoteMarks(benchmark::State& st)
{
    const std::string base = NotesOrSkip(st);
    if (base.empty())
        return;
    for (auto _ : st) {
        RequestNoteMarksReload();
        LoadNoteMarks();
    }
    const auto marks = NoteMarksSnapshot();
    int64_t marked = 0;
    for (uint16_t w : marks->words)
        marked += __builtin_popcount(w);
    st.counters["marked"] = static_cast<double>(marked);
}
BENCHMARK(BM_NotesSwitchLoadNoteMarks)->Unit(benchmark::kMillisecond);

// The peer: the same ".PNT" read whole.
void BM_PeerReadPntWhole(benchmark::State& st)
{
    const std::string base = NotesOrSkip(st);
    if (base.empty())
        return;
    std::string bytes;
    for (auto _ : st) {
        std::FILE* f = std::fopen((base + ".PNT").c_str(), "rb");
        bytes.resize(1 << 22);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
        benchmark::DoNotOptimize(bytes.data());
    }
    st.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_PeerReadPntWhole)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
