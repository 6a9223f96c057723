// OpenListWindow: the one way a list window is opened.

#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>

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

void StartState(VybRec& rec, const ListWindowSpec& spec)
{
    rec.Letter = spec.letter;
    rec.Count = spec.count;
    rec.Options = spec.options;
    rec.ButtonState = spec.buttonState;
    rec.ButtonStateM = spec.buttonStateM;
    rec.Prefix = spec.prefix;
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
    const int32_t result = FindDataWindow(spec.code, spec.links[0], value, found);
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
