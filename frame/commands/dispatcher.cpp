#include "frame/commands/dispatcher.h"

#include <QMdiArea>
#include <QWidget>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "frame/commands/command_services.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/toolbar.h"
#include "frame/config/config_file.h"
#include "frame/windows/data_form.h"
#include "frame/windows/request.h"
#include "frame/windows/style.h"

namespace {

CommandHandlers& Handlers()
{
    static CommandHandlers h;
    return h;
}

bool& FirstPending()
{
    static bool pending = true;
    return pending;
}

void Count(const char* letters)
{
    StatCount(StatCodeOfText(letters));
}

// The options in effect, counted once per run at its first command.
void CountOptionsInEffect(bool lookupPending)
{
    const ConfigValues cfg = Config().Snapshot();
    TDataForm* main = MainDataForm();
    Count(lookupPending || (main != nullptr && main->Kind != 0) ? "oSP" : "oSI");
    if (cfg.ToolbarVisible)
        Count("oOE");
    if (!cfg.SignListName.empty())
        Count("oLE");
    static constexpr std::pair<const char*, uint16_t> kFilterBits[] = {
        {"oFB", 0x100}, {"oFS", 0x0C}, {"oFA", 0x10}, {"oFU", 0x40}, {"oFO", 0x20}, {"oFZ", 0x80},
    };
    for (const auto& [name, bits] : kFilterBits)
        if (cfg.FilterFlags & bits)
            Count(name);
    const ParagraphSelections& p = cfg.paragraphCurrent;
    if (const uint8_t* s = p.Start('K'); s != nullptr && *s != 0)
        Count("oPK");
    if (const uint8_t* s = p.Start('S'); s != nullptr && *s != 0)
        Count("oPS");
    if (const std::string* s = p.First('K'); s != nullptr && !s->empty())
        Count("oQK");
    if (const std::string* s = p.First('S'); s != nullptr && !s->empty())
        Count("oQS");
    if (cfg.tipUser)
        Count("oHU");
    if (cfg.tipData)
        Count("oHD");
    if (cfg.SeptacOption != 0)
        Count("oHW");
    const bool scheme = cfg.windowMode >= WindowMode::Sch1 && cfg.windowMode <= WindowMode::Sch3;
    Count(scheme ? "oWS" : "oWO");
}

// What a dialog's step notes before the dialog runs.
struct StepSnapshot {
    uint8_t languageIndex = 0;
    std::string toolbarSelection;
    bool toolbarVisible = false;
};

StepSnapshot TakeSnapshot()
{
    return Config().Read([](const ConfigValues& v) {
        return StepSnapshot{v.LanguageIndex, v.ToolbarSelection, v.ToolbarVisible};
    });
}

void RunStepAfter(CommandStep step, const StepSnapshot& before)
{
    const StepSnapshot now = TakeSnapshot();
    switch (step) {
    case CommandStep::Language:
        if (now.languageIndex != before.languageIndex)
            SwitchLanguage(now.languageIndex == 1 ? 'E' : 'C');
        break;
    case CommandStep::Colours:
        if (QMdiArea* area = DataWindowArea())
            area->viewport()->update();
        break;
    case CommandStep::Toolbar:
        // A changed on/off flag acts at once too, not only at the next start.
        if (now.toolbarSelection != before.toolbarSelection || now.toolbarVisible != before.toolbarVisible)
            RelayoutToolbarAfterSettings(now.toolbarVisible);
        break;
    case CommandStep::None: break;
    }
}

} // namespace

void RegisterCommandHandler(std::string name, CommandHandler handler)
{
    if (handler)
        Handlers()[std::move(name)] = std::move(handler);
    else
        Handlers().erase(name);
}

bool HasCommandHandler(std::string_view name)
{
    return Handlers().find(name) != Handlers().end();
}

CommandHandlers SetCommandHandlers(CommandHandlers handlers)
{
    CommandHandlers old = std::move(Handlers());
    Handlers() = std::move(handlers);
    return old;
}

bool RunCommandHandler(std::string_view name, const CommandCall& call)
{
    const auto it = Handlers().find(name);
    if (it == Handlers().end()) {
        AppendRunLog(std::string(name) + ": nothing registered (" + KindLetters(call.code) + ")\r\n");
        return false;
    }
    // A copy: a handler may replace handlers (a layer registering late).
    const CommandHandler handler = it->second;
    handler(call);
    return true;
}

void ResetFirstCommand()
{
    FirstPending() = true;
}

bool FirstCommandPending()
{
    return FirstPending();
}

void DispatchCommand(TDataForm* sender, uint16_t code, int32_t value)
{
    CommandCall call;
    call.sender = sender;
    call.code = code;
    call.value = value;

    TDataForm* main = MainDataForm();
    MainRequestFields* request = MainRequest();
    // 1. The one-shot bytes of an item request are for the main window's
    // own commands only.
    if (sender == nullptr || sender != main) {
        RequestedParagraph = 0;
        RequestedSection = 0;
        if (request != nullptr)
            request->RequestMode = RequestModeCode::None;
    }
    call.fromMainWindow =
        value == 1 && request != nullptr && request->RequestMode == RequestModeCode::RequestedPosition;
    // 2. The lookup request moves into the call.
    if (request != nullptr) {
        call.lookup = std::move(request->LookupRequest);
        request->LookupRequest.clear();
    }
    // 3. The first command of the run.
    if (FirstPending()) {
        FirstPending() = false;
        CountOptionsInEffect(!call.lookup.empty());
    }
    // 4. Window arrangement is counted by its own code.
    const std::string letters = KindLetters(code);
    if (letters[0] == 'S' && letters[1] == 'W')
        StatCount(code);
    // 5. The row's handler.
    const CommandRow* row = FindCommandRow(code);
    if (row == nullptr)
        return;
    const StepSnapshot before = row->step != CommandStep::None ? TakeSnapshot() : StepSnapshot{};
    const bool ran = RunCommandHandler(row->handler, call);
    if (ran && row->step != CommandStep::None)
        RunStepAfter(row->step, before);
    RefreshMenus(ActiveDataForm());
}
