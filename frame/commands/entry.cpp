// The commands' part of the main window's entry points, and the application
// event filter that serves tool tips and the menu key.

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/macro.h"
#include "frame/commands/menus.h"
#include "frame/commands/toolbar.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/windows/data_form.h"
#include "frame/windows/style.h"

namespace {

// Drops tool tips while they are switched off, and opens the first menu on
// an F10 that nothing below the main window took (macros reach the menu so).
class MenuEventFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip)
            return !Config().Read([](const ConfigValues& v) { return v.tipUser; });
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10 &&
            static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
            QMenuBar* bar = MainMenuBar();
            TDataForm* main = MainDataForm();
            if (bar != nullptr && main != nullptr && watched == main->Widget()) {
                for (QAction* a : bar->actions())
                    if (a->isVisible() && a->isEnabled() && a->menu() != nullptr) {
                        bar->setActiveAction(a);
                        return true;
                    }
            }
        }
        return false;
    }
};

void InstallEventFilter()
{
    static MenuEventFilter* filter = nullptr;
    if (filter == nullptr && qApp != nullptr) {
        filter = new MenuEventFilter;
        filter->setParent(qApp);
        qApp->installEventFilter(filter);
    }
}

} // namespace

void AddCommandEntryPoints(MainEntryPoints& calls)
{
    calls.executeCommand = [](TDataForm* sender, uint16_t code, int32_t value) {
        DispatchCommand(sender, code, value);
    };
    calls.buildMainMenu = [](QMainWindow* window, DataSetCode dataSet) {
        InstallEventFilter();
        ResetFirstCommand();
        FillMainMenu(window, dataSet);
    };
    calls.layoutToolbar = [](QToolBar* bar, DataSetCode dataSet) { LayoutSpeedButtons(bar, dataSet); };
    calls.menuClick = [](uint16_t code) {
        if (code == KindOf("SWL"))
            RebuildWindowMenu();
        else if (code != 0)
            DispatchCommand(MainDataForm(), code, 0);
    };
    calls.loadMacro = [](const std::string& path) { return LoadMacro(path); };
    calls.macroStep = [] { RunMacroStep(); };
    SetRefreshMenusHook([](TDataForm* active) { RefreshMainMenus(active); });
    SetDropDownMenuHook([](int tag) { DropDownMainMenu(tag); });
    RegisterFrameCommands();
}
