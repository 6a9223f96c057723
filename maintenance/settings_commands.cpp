#include "maintenance/settings_commands.h"

#include "frame/commands/dispatcher.h"
#include "maintenance/about_box.h"
#include "maintenance/files_dialog.h"
#include "maintenance/filter_dialog.h"
#include "maintenance/fonts_colours_dialog.h"
#include "maintenance/installation_dialog.h"
#include "maintenance/statistics_box.h"
#include "maintenance/toolbar_dialog.h"
#include "maintenance/window_layout_dialog.h"

namespace {

// The dialogs only store; the dispatcher's steps act on what changed.
template <class Dialog>
void Register(const char* name)
{
    RegisterCommandHandler(name, [](const CommandCall&) { RunDialog<Dialog>(); });
}

} // namespace

void RegisterSettingsCommands()
{
    Register<TNastav1>("TNastav1");
    Register<TNastav2>("TNastav2");
    Register<TNastav3>("TNastav3");
    Register<TNastav4>("TNastav4");
    Register<TNastav5>("TNastav5");
    Register<TStatistika>("TStatistika");
    Register<TOAplikaci>("TOAplikaci");
    Register<TNastav6>("TNastav6");
}
