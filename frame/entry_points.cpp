#include "frame/entry_points.h"

#include "datastore/startup_loader.h"

#include <mutex>

namespace {

std::mutex& TableMutex()
{
    static std::mutex m;
    return m;
}

MainEntryPoints& Table()
{
    static MainEntryPoints t;
    return t;
}

template <class F>
F Hook(F MainEntryPoints::*member)
{
    std::lock_guard lock(TableMutex());
    return Table().*member;
}

} // namespace

MainEntryPoints SetMainEntryPoints(MainEntryPoints calls)
{
    std::lock_guard lock(TableMutex());
    MainEntryPoints old = std::move(Table());
    Table() = std::move(calls);
    return old;
}

void BuildMainMenu(QMainWindow* window, uint8_t dataSet)
{
    if (auto f = Hook(&MainEntryPoints::buildMainMenu))
        f(window, dataSet);
}
void LayoutToolbar(QToolBar* toolBar, uint8_t dataSet)
{
    if (auto f = Hook(&MainEntryPoints::layoutToolbar))
        f(toolBar, dataSet);
}
void MainMenuClick(uint16_t code)
{
    if (auto f = Hook(&MainEntryPoints::menuClick))
        f(code);
}
void ExecuteCommand(TDataForm* sender, uint16_t code, int32_t value)
{
    // Commands use the code tables the loader's first step loads.
    WaitLoaderGate();
    if (auto f = Hook(&MainEntryPoints::executeCommand))
        f(sender, code, value);
}
bool LoadMacroFile(const std::string& path)
{
    auto f = Hook(&MainEntryPoints::loadMacro);
    return f ? f(path) : false;
}
void MacroStep()
{
    if (auto f = Hook(&MainEntryPoints::macroStep))
        f();
}
void StartBackgroundLoader()
{
    if (auto f = Hook(&MainEntryPoints::startLoader))
        f();
}
void RequestBackgroundLoaderStop()
{
    if (auto f = Hook(&MainEntryPoints::requestLoaderStop))
        f();
}
bool WaitBackgroundLoaderEnd(int ms)
{
    auto f = Hook(&MainEntryPoints::waitLoaderEnd);
    return f ? f(ms) : true;
}
void FreeRunTables()
{
    if (auto f = Hook(&MainEntryPoints::freeRunTables))
        f();
}
bool LoadMaximList()
{
    auto f = Hook(&MainEntryPoints::loadMaximList);
    return f ? f() : false;
}
void RefreshListMarks()
{
    if (auto f = Hook(&MainEntryPoints::refreshListMarks))
        f();
}
void DropListRowHints()
{
    if (auto f = Hook(&MainEntryPoints::dropRowHints))
        f();
}

ListRunCounters& ListCounters()
{
    static ListRunCounters c;
    return c;
}
