#pragma once
// The main window's calls into work that other parts of the program do: the
// main menu and toolbar, the command dispatcher, macro playback, the
// background start-up loader, the maximal-dose marks and the list windows.
// Each is a function object those parts register at start-up (explicitly,
// from the program's entry: nothing registers itself); an empty one does
// nothing and answers its neutral value.  Replacing the table returns the old
// one, so tests install fakes and put the old table back.
//
// Threads: registration on the main thread before the main window exists;
// the calls run on the main thread, except TimerMax's enabling, which any
// thread may ask for (frame/windows/main_form.h).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "datastore/data_set.h"

class QMainWindow;
class QMenuBar;
class QToolBar;
class TDataForm;

struct MainEntryPoints {
    // The main menu of a data set, built into the window's menu bar.
    std::function<void(QMainWindow* window, DataSetCode dataSet)> buildMainMenu;
    // The speed buttons of a data set, laid out on the toolbar.
    std::function<void(QToolBar* toolBar, DataSetCode dataSet)> layoutToolbar;
    // A menu item was chosen (its command code).
    std::function<void(uint16_t code)> menuClick;
    // The command dispatcher: sender, command code, value.
    std::function<void(TDataForm* sender, uint16_t code, int32_t value)> executeCommand;
    // Macro playback: load a file (false: not loaded) and run one step per
    // timer tick.
    std::function<bool(const std::string& path)> loadMacro;
    std::function<void()> macroStep;
    // The background start-up loader: start; ask to stop; wait at most `ms`
    // for its end (true once it is not running).
    std::function<void()> startLoader;
    std::function<void()> requestLoaderStop;
    std::function<bool(int ms)> waitLoaderEnd;
    // Frees the tables the run loaded for the lists (code tables, sign sets,
    // notes), once no worker reads them.
    std::function<void()> freeRunTables;
    // Reloads the maximal-dose marks; false when the reload failed.
    std::function<bool()> loadMaximList;
    // The list calls: refresh the marks of every drug list (key 297), and
    // drop every list window's row hint (row 0).
    std::function<void()> refreshListMarks;
    std::function<void()> dropRowHints;
};

MainEntryPoints SetMainEntryPoints(MainEntryPoints calls);

void BuildMainMenu(QMainWindow* window, DataSetCode dataSet);
void LayoutToolbar(QToolBar* toolBar, DataSetCode dataSet);
void MainMenuClick(uint16_t code);
void ExecuteCommand(TDataForm* sender, uint16_t code, int32_t value);
bool LoadMacroFile(const std::string& path);
void MacroStep();
// TPomalyStart.
void StartBackgroundLoader();
void RequestBackgroundLoaderStop();
bool WaitBackgroundLoaderEnd(int ms);
void FreeRunTables();
bool ReloadMaximList();
void RefreshListMarks();
void DropListRowHints();

// Run counters of the list windows, read at shut-down for the usage counts:
// wheel keys handled (472, 480), navigation keys 371-381 that did not come
// from the scroll bar, and scroll-bar moves.  Any thread may add.
struct ListRunCounters {
    std::atomic<uint32_t> wheelKeys{0};      // "oRM"
    std::atomic<uint32_t> navigationKeys{0}; // "oRK"
    std::atomic<uint32_t> scrollMoves{0};    // "oRB"
    void Clear()
    {
        wheelKeys = 0;
        navigationKeys = 0;
        scrollMoves = 0;
    }
};
ListRunCounters& ListCounters();
