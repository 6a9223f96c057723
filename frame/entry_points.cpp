#include "frame/entry_points.h"

#include "datastore/startup_loader.h"
#include "platform/guarded_value.h"

namespace {

HookTable<MainEntryPoints>& Hooks()
{
    static HookTable<MainEntryPoints> t;
    return t;
}

} // namespace

MainEntryPoints SetMainEntryPoints(MainEntryPoints calls)
{
    return Hooks().Set(std::move(calls));
}

void BuildMainMenu(QMainWindow* window, DataSetCode dataSet)
{
    Hooks().Call(&MainEntryPoints::buildMainMenu, window, dataSet);
}
void LayoutToolbar(QToolBar* toolBar, DataSetCode dataSet)
{
    Hooks().Call(&MainEntryPoints::layoutToolbar, toolBar, dataSet);
}
void MainMenuClick(uint16_t code)
{
    Hooks().Call(&MainEntryPoints::menuClick, code);
}
void ExecuteCommand(TDataForm* sender, uint16_t code, int32_t value)
{
    // Commands use the code tables the loader's first step loads.
    WaitLoaderGate();
    Hooks().Call(&MainEntryPoints::executeCommand, sender, code, value);
}
bool LoadMacroFile(const std::string& path)
{
    return Hooks().Call(&MainEntryPoints::loadMacro, path);
}
void MacroStep()
{
    Hooks().Call(&MainEntryPoints::macroStep);
}
void StartBackgroundLoader()
{
    Hooks().Call(&MainEntryPoints::startLoader);
}
void RequestBackgroundLoaderStop()
{
    Hooks().Call(&MainEntryPoints::requestLoaderStop);
}
bool WaitBackgroundLoaderEnd(int ms)
{
    return Hooks().CallOr(&MainEntryPoints::waitLoaderEnd, true, ms);
}
void FreeRunTables()
{
    Hooks().Call(&MainEntryPoints::freeRunTables);
}
bool ReloadMaximList()
{
    return Hooks().Call(&MainEntryPoints::loadMaximList);
}
void RefreshListMarks()
{
    Hooks().Call(&MainEntryPoints::refreshListMarks);
}
void DropListRowHints()
{
    Hooks().Call(&MainEntryPoints::dropRowHints);
}

ListRunCounters& ListCounters()
{
    static ListRunCounters c;
    return c;
}
