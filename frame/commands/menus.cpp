#include "frame/commands/menus.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QKeySequence>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <map>
#include <set>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/toolbar.h"
#include "frame/config/config_file.h"
#include "frame/entry_points.h"
#include "frame/pages/hints.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"

namespace {

constexpr uint16_t kWindowListCode = KindOf("SWL");

struct MenuState {
    QPointer<QMainWindow> window;
    QPointer<QMenuBar> bar;
    QPointer<QMenu> windowMenu;
    QPointer<QAction> windowItem; // "SSWL", whose submenu windowMenu is
    QPointer<QMenu> signMenu;
    QPointer<QActionGroup> signGroup;
    std::vector<QPointer<QAction>> topLevel; // by tag
    std::vector<QPointer<QAction>> items;    // every named item
    std::string windowText;                  // what the Window menu shows now
    bool windowTextValid = false;
    std::map<QAction*, DataFormRef> windowItems;
    bool destroying = false;
};

MenuState& State()
{
    static MenuState s;
    return s;
}

std::string StartSharedRoot()
{
    return ProgramStart().SharedRoot;
}

QString DisplayText(const std::string& kam)
{
    return KamToQString(kam);
}

// "&" shows as "&&" in a caption made of data.
QString EscapeAmpersands(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

bool DuplicityTextPresent()
{
    std::string value;
    return GetTextEntry(UiTexts, "Dupl", "dup1", value) != 0 && !value.empty();
}

bool MaximFolderExists()
{
    const std::string prefix = Config().Read([](const ConfigValues& v) { return v.MaximDir; });
    if (prefix.empty())
        return false;
    const size_t slash = prefix.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : prefix.substr(0, slash + 1);
    return FolderExists(folder);
}

// The price captions carry the period of their consumption data.
void PatchPriceCaption(std::string& caption, const std::string& name)
{
    if (name.size() < 4 || name[0] != 'H' || name[2] != 'C')
        return;
    std::string text;
    if (GetTextEntry(DataTexts, "Verze", std::string("Spot") + name[3], text) == 0)
        return;
    if (caption.size() < 3 || text.size() < 4)
        return;
    caption[caption.size() - 1] = text[3];
    caption[caption.size() - 3] = text[2];
}

void DropOldActions(QWidget* owner)
{
    const QList<QAction*> old = owner->actions();
    for (QAction* a : old) {
        owner->removeAction(a);
        // The action being triggered may be among them: delete after the event.
        if (QMenu* m = a->menu(); m != nullptr && m->parent() == owner)
            m->deleteLater();
        if (a->parent() == owner)
            a->deleteLater();
    }
}

QAction* NewItem(QWidget* owner, const QString& caption, const std::string& name, uint32_t tag)
{
    auto* a = new QAction(caption, owner);
    a->setObjectName(QString::fromLatin1(name.c_str()));
    a->setData(QVariant::fromValue<uint32_t>(tag));
    QObject::connect(a, &QAction::triggered, a, [a] { MenuItemClick(a); });
    return a;
}

uint32_t TagOf(const QAction* a)
{
    return a->data().toUInt();
}

void AddLettersOf(const TDataForm* w, std::string& set)
{
    auto add = [&set](const char* letters) {
        for (const char* c = letters; *c; ++c)
            if (set.find(*c) == std::string::npos)
                set.push_back(*c);
    };
    for (size_t i = 0; i < 3; ++i) {
        if (w->LinkValues[i] <= 0)
            continue;
        switch (w->LinkKinds[i]) {
        case LinkKind::Drug: add("EDOH"); break;
        case LinkKind::Substance: add("EC"); break;
        case LinkKind::Kind11: add("EO"); break;
        case LinkKind::Goods: add("G"); break;
        case LinkKind::Device: add("Z"); break;
        default: break;
        }
    }
}

// Registered data windows with a kind (a window is listed at its
// construction before it has one, the main window among them).
int RegisteredDataWindowCount()
{
    int n = 0;
    TDataForm* main = MainDataForm();
    for (uint16_t i = 0; i < OpenDataWindows.Count && i < kMaxDataWindows; ++i) {
        const TDataForm* f = OpenDataWindows.Items[i].get();
        if (f != nullptr && f != main && f->Kind != 0)
            ++n;
    }
    return n;
}

} // namespace

// --- Entries ------------------------------------------------------------------

MenuEntry ParseMenuEntry(std::string key, std::string_view value)
{
    MenuEntry e;
    e.key = std::move(key);
    const size_t bar1 = value.find('|');
    if (bar1 == std::string_view::npos) {
        e.caption = std::string(value);
        return e;
    }
    e.caption = std::string(value.substr(0, bar1));
    const size_t bar2 = value.find('|', bar1 + 1);
    if (bar2 == std::string_view::npos) {
        e.shortcut = std::string(value.substr(bar1 + 1));
        return e;
    }
    e.shortcut = std::string(value.substr(bar1 + 1, bar2 - bar1 - 1));
    e.name = std::string(value.substr(bar2 + 1, 4));
    return e;
}

std::vector<MenuEntry> ReadMenuEntries()
{
    std::vector<MenuEntry> entries;
    std::string key, value;
    while (NextTextEntry(UiTexts, "Menu", key, value) != 0)
        entries.push_back(ParseMenuEntry(key, value));
    return entries;
}

uint8_t TopLevelMask(char first, DataSetCode dataSet, uint16_t dataParts)
{
    switch (first) {
    case 'E':
    case 'M': return 1;
    case 'F':
    case 'G': return 2;
    case 'T':
    case 'Z': return 4;
    case 'P': return (dataParts & DataPart::Cvzp) ? 1 : 0;
    default: return 7;
    }
}

uint8_t SubItemMask(char group, DataSetCode dataSet, uint16_t dataParts)
{
    switch (group) {
    case 'B': return StartSharedRoot().empty() ? 0 : 7;
    case 'C':
    case 'D':
    case 'M':
    case 'O': return 1;
    case 'F':
    case 'G': return 2;
    case 'H':
    case 'P': return (dataParts & DataPart::Cvzp) ? 1 : 0;
    case 'T':
    case 'Z': return 4;
    case 'f': return (dataParts & DataPart::Pfa) ? 5 : 0;
    case 'm': return 6;
    case 't': return (dataParts & DataPart::Pzt) ? 3 : 0;
    case 'y': return dataSet == DataSetCode::Drugs && MaximFolderExists() ? 7 : 0;
    default: return 7;
    }
}

std::string EnabledGroups(TDataForm* active)
{
    std::string set = "mftBSvVYyaMPFTd";
    TDataForm* main = MainDataForm();
    std::set<const TDataForm*> seen;
    for (TDataForm* w = active; w != nullptr && w != main && seen.insert(w).second; w = w->Master.get()) {
        AddLettersOf(w, set);
        if (!w->Dependent)
            break;
    }
    return set;
}

QString ShortcutText(std::string_view text)
{
    if (text.empty())
        return {};
    static const std::pair<const char*, const char*> kNames[] = {
        {"BkSp", "Backspace"}, {"PgUp", "PgUp"}, {"PgDn", "PgDown"}, {"Ins", "Ins"}, {"Del", "Del"},
    };
    QStringList parts =
        QString::fromLatin1(text.data(), static_cast<int>(text.size())).split(QLatin1Char('+'));
    for (QString& p : parts)
        for (const auto& [from, to] : kNames)
            if (p.compare(QLatin1String(from), Qt::CaseInsensitive) == 0)
                p = QLatin1String(to);
    const QString joined = parts.join(QLatin1Char('+'));
    const QKeySequence seq = QKeySequence::fromString(joined, QKeySequence::PortableText);
    if (seq.isEmpty() || seq[0].key() == Qt::Key_unknown)
        return {};
    return seq.toString(QKeySequence::PortableText);
}

// --- Building ---------------------------------------------------------------------

void ResetMenuState()
{
    MenuState& s = State();
    s.topLevel.clear();
    s.items.clear();
    s.windowItems.clear();
    s.windowText.clear();
    s.windowTextValid = false;
    s.windowMenu = nullptr;
    s.windowItem = nullptr;
    s.signMenu = nullptr;
    s.signGroup = nullptr;
    s.bar = nullptr;
    s.window = nullptr;
}

namespace {

// One entry of a top-level menu: an item, a separator or (for the window and
// sign-list entries) an item with a submenu; true when it shows in this data set.
bool AddSubItem(QMenu* menu, const MenuEntry& sub, DataSetCode dataSet, uint16_t parts, bool duplicity)
{
    MenuState& s = State();
    if (sub.caption == "-") {
        menu->addSeparator()->setObjectName(QString::fromLatin1(sub.name.c_str()));
        return false;
    }
    if (sub.name.size() < 4)
        return false;
    const uint16_t code = KindOf(std::string_view(sub.name).substr(1, 3));
    std::string caption = sub.caption;
    PatchPriceCaption(caption, sub.name);
    QAction* item = NewItem(menu, DisplayText(caption), sub.name, code);
    bool visible = (SubItemMask(sub.name[0], dataSet, parts) & static_cast<uint8_t>(dataSet)) != 0;
    if (sub.name == "vRMD" && !duplicity)
        visible = false;
    item->setVisible(visible);
    if (visible && !sub.shortcut.empty()) {
        const QString keys = ShortcutText(sub.shortcut);
        if (keys.isEmpty())
            AppendRunLog("Menu " + sub.name + ": shortcut \"" + sub.shortcut + "\" not understood\r\n");
        else
            item->setShortcut(QKeySequence::fromString(keys, QKeySequence::PortableText));
    }
    if (sub.name == "SSHT") {
        item->setCheckable(true);
        item->setChecked(Config().Read([](const ConfigValues& v) { return v.tipUser; }));
    } else if (sub.name == "SSHD") {
        item->setCheckable(true);
        item->setChecked(Config().Read([](const ConfigValues& v) { return v.tipData; }));
    } else if (sub.name == "vRMD") {
        item->setIcon(SpeedButtonIcon(KindOf("RMD")));
    }
    if (sub.name == "SSWL" || sub.name == "MSPL") {
        auto* submenu = new QMenu(DisplayText(caption), menu);
        submenu->setObjectName(QString::fromLatin1(sub.name.c_str()));
        item->setMenu(submenu);
        if (sub.name == "SSWL") {
            s.windowMenu = submenu;
            s.windowItem = item;
            QObject::connect(submenu, &QMenu::aboutToShow, submenu, [] { RebuildWindowMenu(); });
        } else {
            s.signMenu = submenu;
        }
    }
    menu->addAction(item);
    s.items.emplace_back(item);
    return visible;
}

} // namespace

void FillMainMenu(QMainWindow* window, DataSetCode dataSet)
{
    FillMainMenu(window, dataSet, CurrentDataParts());
}

void FillMainMenu(QMainWindow* window, DataSetCode dataSet, uint16_t parts)
{
    if (window == nullptr)
        return;
    MenuState& s = State();
    s.destroying = true;
    QMenuBar* bar = window->menuBar();
    DropOldActions(bar);
    ResetMenuState();
    s.window = window;
    s.bar = bar;
    s.destroying = false;

    const std::vector<MenuEntry> entries = ReadMenuEntries();
    const bool duplicity = DuplicityTextPresent();

    int tag = 0;
    for (const MenuEntry& top : entries) {
        if (top.key.empty() || top.key[0] != 'M')
            break; // top-level entries come first
        const char first = top.name.empty() ? ' ' : top.name[0];
        auto* menu = new QMenu(DisplayText(top.caption), bar);
        menu->setObjectName(QString::fromLatin1(top.name.c_str()));
        QAction* topItem = menu->menuAction();
        topItem->setObjectName(QString::fromLatin1(top.name.c_str()));
        topItem->setData(QVariant::fromValue<uint32_t>(static_cast<uint32_t>(tag)));
        bool anyVisible = false;

        // The sub-entries: keys of the name's first character, from "A" on.
        const std::string prefix(1, first);
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const MenuEntry& e) { return e.key == prefix + "A"; });
        for (; it != entries.end() && !it->key.empty() && it->key[0] == first; ++it)
            anyVisible = AddSubItem(menu, *it, dataSet, parts, duplicity) || anyVisible;
        // A menu with nothing to choose in this data set stays off the bar.
        const bool visible =
            (TopLevelMask(first, dataSet, parts) & static_cast<uint8_t>(dataSet)) != 0 && anyVisible;
        bar->addMenu(menu);
        topItem->setVisible(visible);
        s.topLevel.emplace_back(topItem);
        s.items.emplace_back(topItem);
        ++tag;
    }
    if (s.windowMenu)
        RebuildWindowMenu();
    if (s.signMenu)
        BuildSignListMenu();
    if (duplicity) {
        QAction* fuj = NewItem(bar, QStringLiteral("* Duplicity *"), "fuj", KindOf("RMD"));
        // On the bar an icon would hide the caption: the glyph stays on the toolbar.
        bar->addAction(fuj);
        s.items.emplace_back(fuj);
    }
}

// --- Enabling -----------------------------------------------------------------

void RefreshMainMenus(TDataForm* active)
{
    MenuState& s = State();
    if (QCoreApplication::closingDown() || s.destroying)
        return;
    if (active != nullptr && active == MainDataForm())
        active = nullptr;
    const std::string set = EnabledGroups(active);
    for (const QPointer<QAction>& a : s.items) {
        if (!a)
            continue;
        const QString name = a->objectName();
        if (name.isEmpty() || name == QLatin1String("fuj"))
            continue;
        const char first = name[0].toLatin1();
        a->setEnabled(set.find(first) != std::string::npos);
    }
    const bool windows = RegisteredDataWindowCount() > 0;
    if (s.windowItem)
        s.windowItem->setEnabled(windows);
    EnableSpeedButtons(set, windows);
}

// --- The Window menu ---------------------------------------------------------

void RebuildWindowMenu()
{
    MenuState& s = State();
    QMenu* menu = s.windowMenu;
    if (menu == nullptr)
        return;
    std::vector<TDataForm*> windows;
    std::string text;
    for (uint16_t i = 0; i < OpenDataWindows.Count && i < kMaxDataWindows; ++i) {
        TDataForm* f = OpenDataWindows.Items[i].get();
        windows.push_back(f);
        if (f != nullptr && f->Kind != 0)
            text += "|" + f->Title + f->Subtitle + "|";
    }
    if (s.windowTextValid && text == s.windowText)
        return;
    s.windowText = text;
    s.windowTextValid = true;
    s.windowItems.clear();
    DropOldActions(menu);

    TDataForm* main = MainDataForm();
    auto position = [&windows](const TDataForm* f) {
        return static_cast<int>(std::find(windows.begin(), windows.end(), f) - windows.begin()) + 1;
    };
    auto listed = [&windows](const TDataForm* f) {
        return f != nullptr && std::find(windows.begin(), windows.end(), f) != windows.end();
    };
    std::set<const TDataForm*> done;
    // Depth-first: a window, then the windows it is the master of.
    std::function<void(TDataForm*, const QString&)> add = [&](TDataForm* f, const QString& prefix) {
        if (!done.insert(f).second)
            return;
        QString shown = prefix;
        if (f->Dependent && shown.size() >= 2)
            shown[shown.size() - 2] = QLatin1Char('-');
        const int n = position(f);
        QAction* item = NewItem(menu, shown + EscapeAmpersands(DisplayText(f->Title + f->Subtitle)),
                                "w" + std::to_string(n), MenuTag::WindowBase + static_cast<uint32_t>(n));
        menu->addAction(item);
        s.windowItems[item] = DataFormRef(f);
        for (TDataForm* d : windows)
            if (d != nullptr && d->Kind != 0 && d->Master.get() == f)
                add(d, prefix + QStringLiteral("|  "));
    };
    bool any = false;
    for (TDataForm* f : windows) {
        if (f == nullptr || f->Kind == 0)
            continue;
        any = true;
        TDataForm* master = f->Master.get();
        if (master == nullptr || master == main || !listed(master))
            add(f, QString());
    }
    // Windows caught in a cycle of masters still get their item.
    for (TDataForm* f : windows)
        if (f != nullptr && f->Kind != 0 && done.count(f) == 0)
            add(f, QString());
    if (!any) {
        QAction* nil = NewItem(menu, QStringLiteral("wnil"), "wnil", 0);
        nil->setEnabled(false);
        menu->addAction(nil);
    }
    if (s.windowItem)
        s.windowItem->setEnabled(any);
}

// --- The sign-list menu ---------------------------------------------------------

void BuildSignListMenu()
{
    MenuState& s = State();
    QMenu* menu = s.signMenu;
    if (menu == nullptr)
        return;
    DropOldActions(menu);
    if (s.signGroup)
        s.signGroup->deleteLater();
    auto* group = new QActionGroup(menu);
    group->setExclusive(true);
    s.signGroup = group;

    const ConfigValues cfg = Config().Snapshot();
    const std::string chosen = AsciiUpper(cfg.SignListName);
    auto radio = [&](const QString& caption, const std::string& name, uint32_t tag, const std::string& list) {
        QAction* a = NewItem(menu, caption, name, tag);
        a->setCheckable(true);
        a->setProperty("listName", QByteArray::fromStdString(list));
        a->setChecked(AsciiUpper(list) == chosen);
        group->addAction(a);
        menu->addAction(a);
        return a;
    };
    radio(DisplayText(LookupText(UiTexts, "PozList", "nic")), "q_", MenuTag::NoSignList, std::string());
    if (FileExists(ResolveInFolder(DataDir(), "VIDUD.SGN")))
        radio(DisplayText(LookupText(UiTexts, "PozList", "SZP")), "q_VIDUD", MenuTag::BuiltInSignList,
              "VIDUD");

    QDir folder(QString::fromStdString(cfg.NotesFolder));
    QStringList names = folder.entryList(QDir::Files | QDir::Readable);
    names.erase(std::remove_if(
                    names.begin(), names.end(),
                    [](const QString& n) { return !n.endsWith(QLatin1String(".sgn"), Qt::CaseInsensitive); }),
                names.end());
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    uint32_t counter = MenuTag::FirstUserSignList;
    for (const QString& file : names) {
        const uint32_t tag = counter++;
        const QString base = file.left(file.size() - 4);
        std::string list;
        // SIGN= keeps the name in the code page; a name it cannot carry is no choice.
        if (!Utf8ToCp1250(base.toStdString(), list) || list.empty())
            continue;
        const std::string upper = AsciiUpper(list);
        if (upper == "KL" || upper == "ATC" || upper == "KK" || upper == "VIDUD")
            continue;
        radio(EscapeAmpersands(base), "q_" + std::to_string(tag), tag, list);
    }
    QAction* sep = menu->addSeparator();
    sep->setObjectName(QStringLiteral("q__2"));
    sep->setData(QVariant::fromValue<uint32_t>(MenuTag::SignListSeparator));
    QAction* source =
        NewItem(menu, DisplayText(LookupText(UiTexts, "PozList", "dal")), "q__3", KindOf("SUU"));
    menu->addAction(source);
}

// --- Clicks -------------------------------------------------------------------

void MenuItemClick(QAction* item)
{
    if (item == nullptr)
        return;
    MenuState& s = State();
    ClearStartPageMarks();
    HideHint();
    const uint32_t tag = TagOf(item);
    if (tag < MenuTag::WindowBase) {
        if (tag == kWindowListCode)
            RebuildWindowMenu();
        else if (tag != 0)
            ExecuteCommand(MainDataForm(), static_cast<uint16_t>(tag), 0);
        return;
    }
    if (tag < MenuTag::NoSignList) {
        const auto it = s.windowItems.find(item);
        TDataForm* f = it != s.windowItems.end() ? it->second.get() : nullptr;
        const uint32_t n = tag - MenuTag::WindowBase;
        if (f == nullptr || n > OpenDataWindows.Count) {
            // The window went since the menu was filled.
            s.windowTextValid = false;
            RebuildWindowMenu();
            return;
        }
        StatCount(StatCodeOfText("oWL"));
        QWidget* w = f->SubWindow() ? static_cast<QWidget*>(f->SubWindow()) : f->Widget();
        // A minimised window comes back in its normal state; a maximised
        // one stays maximised.
        if (w->isMinimized())
            w->showNormal();
        else
            w->show();
        w->raise();
        if (QMdiSubWindow* sub = f->SubWindow(); sub != nullptr && DataWindowArea() != nullptr)
            DataWindowArea()->setActiveSubWindow(sub);
        f->Widget()->setFocus();
        return;
    }
    item->setChecked(true);
    const std::string name = item->property("listName").toByteArray().toStdString();
    const bool changed = Config().Update([&](ConfigValues& v) {
        const bool c = v.SignListName != name;
        v.SignListName = name;
        return c;
    });
    SwitchSignList();
    if (changed)
        SaveConfig(true);
    RepositionDrugLists();
}

// --- Drop-down -----------------------------------------------------------------

void DropDownMainMenu(int tag)
{
    MenuState& s = State();
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        return;
    if (s.window && s.window->isMinimized())
        s.window->showNormal();
    QAction* top = TopLevelItem(tag);
    if (top == nullptr || s.bar == nullptr || !top->isVisible() || !top->isEnabled())
        return;
    s.bar->setActiveAction(top);
    if (QMenu* menu = top->menu()) {
        for (QAction* a : menu->actions())
            if (a->isVisible() && a->isEnabled() && !a->isSeparator()) {
                menu->setActiveAction(a);
                break;
            }
    }
}

// --- Access -------------------------------------------------------------------

QMenuBar* MainMenuBar()
{
    return State().bar;
}
QMenu* WindowMenu()
{
    return State().windowMenu;
}
QMenu* SignListMenu()
{
    return State().signMenu;
}

QAction* TopLevelItem(int tag)
{
    const auto& top = State().topLevel;
    if (tag < 0 || tag >= static_cast<int>(top.size()))
        return nullptr;
    return top[static_cast<size_t>(tag)];
}

std::vector<QAction*> MainMenuItems()
{
    std::vector<QAction*> out;
    for (const QPointer<QAction>& a : State().items)
        if (a)
            out.push_back(a);
    return out;
}

QAction* MenuItemNamed(std::string_view name)
{
    const QString n = QString::fromLatin1(name.data(), static_cast<int>(name.size()));
    for (QAction* a : MainMenuItems())
        if (a->objectName() == n)
            return a;
    return nullptr;
}
