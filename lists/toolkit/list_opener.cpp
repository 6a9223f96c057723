// OpenListWindow: the one way a list window is opened.

#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

#include <vector>

#include "datastore/text_table.h"
#include "frame/commands/product_commands.h"
#include "frame/message_box.h"
#include "frame/windows/data_form.h"
#include "lists/toolkit/list_source.h"
#include "lists/toolkit/list_window.h"

namespace {

void BringToFront(TDataForm* window, bool activate)
{
    QWidget* widget = window != nullptr ? window->Widget() : nullptr;
    if (widget == nullptr)
        return;
    if (activate && window->SubWindow() != nullptr && DataWindowArea() != nullptr)
        DataWindowArea()->setActiveSubWindow(window->SubWindow());
    widget->raise();
    if (activate)
        widget->activateWindow();
}

// The windows opened anew each time (the condition window's choosers, the
// result lists): an ordinary list of their code never raises one of them.
std::vector<DataFormRef>& AlwaysNewWindows()
{
    static std::vector<DataFormRef> windows;
    std::erase_if(windows, [](const DataFormRef& r) { return !r; });
    return windows;
}

bool IsAlwaysNew(const TDataForm* form)
{
    for (const DataFormRef& r : AlwaysNewWindows())
        if (r == form)
            return true;
    return false;
}

void StartState(VybRec& rec, const ListWindowSpec& spec)
{
    rec.Letter = spec.letter;
    rec.Count = spec.count;
    rec.Options = spec.options;
    rec.ButtonState = spec.buttonState;
    rec.ButtonStateM = spec.buttonStateM;
    rec.Prefix = spec.prefix;
    rec.StatusText = spec.statusText;
    rec.IconCaption = spec.iconCaption;
    if (spec.reposition)
        rec.Command = ActionCodeOf(ListAction::Reposition);
}

} // namespace

TVyb* OpenListWindow(const ListWindowSpec& spec, std::shared_ptr<ListSource> source)
{
    // 1. The tables.
    if (const std::string_view error = source->CheckTables(); !error.empty()) {
        ShowError(ProgramText("Chyby", error));
        return nullptr;
    }
    // 2. An open window of the code, or the master a new one follows.
    TDataForm* found = nullptr;
    int32_t value = 0;
    int32_t result = spec.alwaysNew && spec.links[0] == LinkKind::None
                         ? (found = MainDataForm(), 1)
                         : FindDataWindow(spec.code, spec.links[0], value, found);
    // A chooser or a result list of the same code is no window to raise.
    if (result == 0 && IsAlwaysNew(found)) {
        found = MainDataForm();
        result = 1;
    }
    if (result == 0) {
        BringToFront(found, spec.activateOpen);
        return nullptr;
    }
    const bool follows = spec.links[0] != LinkKind::None;
    if (result < 0 || (spec.needsValue && value <= 0))
        return nullptr;
    // The master, the main window for a window that follows nothing.
    TDataForm* master = found;

    // 3. Create.
    if (!source->Prepare(master))
        return nullptr;
    auto* w = new TVyb;
    w->Kind = spec.code;
    if (spec.alwaysNew)
        AlwaysNewWindows().push_back(w);
    if (spec.helpKeyword != nullptr)
        w->setProperty("helpKeyword", QString::fromLatin1(spec.helpKeyword));
    if (spec.icon != nullptr)
        w->setWindowIcon(QIcon(IkonaImage(spec.icon)));
    w->LinkKinds = spec.links;
    w->LinkValues[0] = follows ? value : 0;
    w->Master = master;
    w->Dependent = follows;
    w->TwoLineRows = spec.twoLineRows;
    StartState(w->Rec, spec);
    w->Rec.LinkValue = follows ? value : 0;
    source->Start(w->Rec);
    w->OpenList(spec, std::move(source));
    if (follows) {
        w->Dependent = spec.alwaysFollows || result == 1;
        if (w->FnSlave != nullptr)
            w->FnSlave->setEnabled(result == 1);
    }

    // 4. Place and show.
    switch (spec.placement) {
    case ListPlacement::Placed: break;
    case ListPlacement::Maximised: w->PlaceAndShow(true); break;
    case ListPlacement::MaximisedUnderMain: w->PlaceAndShow(master == MainDataForm()); break;
    }
    return w;
}
