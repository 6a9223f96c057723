// Benchmarks of the menus over many windows, each beside a peer of plain Qt
// doing the same amount of widget work in the same run:
//  - enabling the menus and rebuilding the Window menu with 100 registered
//    data windows (one title changed per round, so the Window menu refills)
//    against clearing a QMenu and adding 100 actions, then enabling as many;
//  - the data-set switch closing 100 data windows, rebuilding the menu and
//    the toolbar, against deleting 100 MDI sub-windows of plain widgets.
// Target: each under 16 ms (one frame).
//
// Build with the `benchmarks` target; run offscreen:
//   QT_QPA_PLATFORM=offscreen build/tools/bench_menus

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <benchmark/benchmark.h>

#include "bench_support.h"

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/menus.h"
#include "frame/commands/toolbar.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/request.h"

namespace {

class Host : public QMainWindow, public TDataForm, public MainRequestFields {
public:
    Host() : QMainWindow(nullptr), TDataForm(this, Role::MainWindow)
    {
        area = new QMdiArea(this);
        setCentralWidget(area);
        SetMainDataForm(this, area);
        toolBar = addToolBar(QStringLiteral("ToolBar"));
        resize(1200, 800);
        show();
    }
    ~Host() override
    {
        FormDestroy();
        SetMainDataForm(nullptr, nullptr);
    }
    QMdiArea* area;
    QToolBar* toolBar;
};

class Window : public QWidget, public TDataForm {
public:
    explicit Window(int n) : QWidget(nullptr), TDataForm(this)
    {
        Kind = KindOf("DNA");
        Title = "List " + std::to_string(n);
        LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
        LinkValues = {0, n + 1, 0};
    }
    ~Window() override { FormDestroy(); }
};

bool LoadTexts()
{
    static const bool loaded = [] {
        const std::string path =
            QDir(QCoreApplication::applicationDirPath()).filePath("../program/qevw.ces").toStdString();
        return LoadTextTable(UiTexts, path) >= TextTableResult::FirstSuccess;
    }();
    return loaded;
}

void Settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

std::vector<Window*> OpenWindows(Host& host, int n)
{
    std::vector<Window*> out;
    for (int i = 0; i < n; ++i) {
        auto* w = new Window(i);
        w->Master = i == 0 ? static_cast<TDataForm*>(&host) : out[static_cast<size_t>(i / 2)];
        w->Dependent = i % 3 == 1;
        if (QMdiSubWindow* sub = w->AttachToMdiArea())
            sub->show();
        out.push_back(w);
    }
    Settle();
    return out;
}

void BM_RefreshMenusWithWindowMenuOver100Windows(benchmark::State& st)
{
    if (!LoadTexts()) {
        st.SkipWithError("program/qevw.ces not found");
        return;
    }
    Host host;
    FillMainMenu(&host, DataSetCode::Drugs, 0x1FF);
    LayoutSpeedButtons(host.toolBar, DataSetCode::Drugs);
    std::vector<Window*> windows = OpenWindows(host, 100);
    int round = 0;
    for (auto _ : st) {
        windows[static_cast<size_t>(round % 100)]->Subtitle = " " + std::to_string(round);
        ++round;
        RefreshMainMenus(windows.back());
        RebuildWindowMenu();
    }
    st.counters["items"] = static_cast<double>(WindowMenu()->actions().size());
    for (Window* w : windows)
        delete w;
    Settle();
    ResetMenuState();
}
BENCHMARK(BM_RefreshMenusWithWindowMenuOver100Windows)->Unit(benchmark::kMillisecond);

// The peer: the same number of actions made and enabled with plain Qt.
void BM_PeerQtMenuOf100ActionsRefilled(benchmark::State& st)
{
    QMainWindow window;
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Okna"));
    // The program's menu holds about 120 items in ten menus.
    std::vector<QAction*> others;
    for (int m = 0; m < 10; ++m) {
        QMenu* sub = window.menuBar()->addMenu(QStringLiteral("menu %1").arg(m));
        for (int i = 0; i < 12; ++i)
            others.push_back(sub->addAction(QStringLiteral("item %1").arg(i)));
    }
    window.show();
    int round = 0;
    for (auto _ : st) {
        for (QAction* a : menu->actions()) {
            menu->removeAction(a);
            a->deleteLater();
        }
        for (int i = 0; i < 100; ++i)
            menu->addAction(QStringLiteral("|  List %1 %2").arg(i).arg(round));
        for (QAction* a : others)
            a->setEnabled((round + a->text().size()) % 2 == 0);
        ++round;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Settle();
}
BENCHMARK(BM_PeerQtMenuOf100ActionsRefilled)->Unit(benchmark::kMillisecond);

void BM_DataSetSwitchClosing100Windows(benchmark::State& st)
{
    if (!LoadTexts()) {
        st.SkipWithError("program/qevw.ces not found");
        return;
    }
    Host host;
    MainEntryPoints calls;
    AddCommandEntryPoints(calls);
    MainEntryPoints old = SetMainEntryPoints(std::move(calls));
    FillMainMenu(&host, DataSetCode::Drugs, 0x1FF);
    LayoutSpeedButtons(host.toolBar, DataSetCode::Drugs);
    int round = 0;
    for (auto _ : st) {
        st.PauseTiming();
        OpenWindows(host, 100);
        st.ResumeTiming();
        ExecuteCommand(&host, KindOf(round++ % 2 == 0 ? "sOF" : "sOM"), 0);
        Settle(); // the windows' deletion is part of the switch
    }
    SetMainEntryPoints(std::move(old));
    SetCurrentDataSet(DataSetCode::Drugs);
    ResetMenuState();
}
BENCHMARK(BM_DataSetSwitchClosing100Windows)->Unit(benchmark::kMillisecond);

// The peer: 100 plain sub-windows deleted.
void BM_PeerQtDeleting100SubWindows(benchmark::State& st)
{
    QMainWindow window;
    auto* area = new QMdiArea(&window);
    window.setCentralWidget(area);
    window.show();
    for (auto _ : st) {
        st.PauseTiming();
        std::vector<QMdiSubWindow*> subs;
        for (int i = 0; i < 100; ++i) {
            QMdiSubWindow* s = area->addSubWindow(new QWidget);
            s->show();
            subs.push_back(s);
        }
        Settle();
        st.ResumeTiming();
        for (auto it = subs.rbegin(); it != subs.rend(); ++it)
            (*it)->close(), (*it)->deleteLater();
        Settle();
    }
}
BENCHMARK(BM_PeerQtDeleting100SubWindows)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
