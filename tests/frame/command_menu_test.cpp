// The main menu built from the program's compiled text tables, the Window
// menu, the sign-list menu and the speed buttons.

#include "tests/frame/command_test_support.h"

#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>

#include <set>

#include "datastore/db_table.h"
#include "frame/windows/main_form.h"
#include "platform/fs.h"

namespace {

using cmdtest::CommandFixture;
using cmdtest::Kam;

constexpr uint16_t kAllParts =
    DataPart::Always | DataPart::Kodex | DataPart::Spc | DataPart::Cvzp | DataPart::Pfa | DataPart::Pzt;

class Menus : public CommandFixture {
protected:
    std::set<std::string> VisibleNames(bool enabledOnly = false) const
    {
        std::set<std::string> out;
        for (QAction* a : MainMenuItems())
            if (a->isVisible() && (!enabledOnly || a->isEnabled()))
                out.insert(a->objectName().toStdString());
        return out;
    }
    static bool Has(const std::set<std::string>& s, const char* name) { return s.count(name) != 0; }
};

TEST_F(Menus, EveryItemOfBothLanguagesIsADispatcherRowAndNoVisibleShortcutRepeats)
{
    for (const char* language : {"ces", "ang"}) {
        dftest::ScopedUiTexts texts{dftest::ProgramTable(language)};
        const std::vector<MenuEntry> entries = ReadMenuEntries();
        ASSERT_GT(entries.size(), 50u) << language;
        std::set<char> firsts;
        bool topLevel = true;
        for (const MenuEntry& e : entries) {
            if (e.key[0] != 'M') {
                topLevel = false;
            } else {
                EXPECT_TRUE(topLevel) << "top-level entries come first: " << e.key;
                EXPECT_NE(e.name[0], 'M') << e.key;
                EXPECT_TRUE(firsts.insert(e.name[0]).second)
                    << "two top-level names begin with " << e.name[0];
                EXPECT_TRUE(e.shortcut.empty()) << e.key;
                continue;
            }
            if (e.caption == "-")
                continue;
            ASSERT_EQ(e.name.size(), 4u) << language << " " << e.key;
            if (e.name == "SSWL" || e.name == "MSPL")
                continue; // the Window and sign-list submenus
            const uint16_t code = KindOf(std::string_view(e.name).substr(1));
            EXPECT_NE(FindCommandRow(code), nullptr) << language << " " << e.key << " " << e.name;
            if (!e.shortcut.empty())
                EXPECT_FALSE(ShortcutText(e.shortcut).isEmpty()) << e.shortcut;
        }
        for (DataSetCode set :
             {DataSetCode::Drugs, DataSetCode::Goods, DataSetCode::Devices, DataSetCode::All}) {
            FillMainMenu(host, set, kAllParts);
            // A menu's letters must differ, or a letter only moves between
            // the items that share it instead of choosing one.
            std::vector<QMenu*> menus;
            for (QAction* a : host->menuBar()->actions())
                if (a->menu() != nullptr)
                    menus.push_back(a->menu());
            for (QMenu* m : menus) {
                std::set<QChar> letters;
                for (QAction* a : m->actions()) {
                    if (!a->isVisible() || a->isSeparator())
                        continue;
                    const QKeySequence k = QKeySequence::mnemonic(a->text());
                    if (k.isEmpty())
                        continue;
                    EXPECT_TRUE(letters.insert(QChar(k[0].key())).second)
                        << language << " set " << int(set) << " " << a->text().toStdString();
                }
            }
            std::set<QString> keys;
            for (QAction* a : MainMenuItems()) {
                if (!a->isVisible() || a->shortcut().isEmpty())
                    continue;
                EXPECT_TRUE(keys.insert(a->shortcut().toString()).second)
                    << language << " set " << int(set) << " " << a->shortcut().toString().toStdString();
            }
        }
    }
}

TEST_F(Menus, VisibleAndEnabledItemsFollowTheDataSetTheDataPartsAndTheActiveRecord)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    struct Case {
        DataSetCode set;
        uint16_t parts;
        std::vector<const char*> shown;
        std::vector<const char*> hidden;
    };
    const Case cases[] = {
        {DataSetCode::Drugs,
         kAllParts,
         {"Vsez", "dpri", "Pcen", "MDNA", "DdMA", "HrCY", "fsOF", "tsOT", "PXRN", "SsPW"},
         {"Tpro", "tpro", "FPNA", "GpAR", "TTNA", "msOM"}},
        {DataSetCode::Drugs, DataPart::Always, {"MDNA", "DdMA"}, {"Pcen", "HrCY", "fsOF", "tsOT", "PXRN"}},
        {DataSetCode::Goods,
         kAllParts,
         {"Vsez", "dpri", "FPNA", "GpAR", "msOM", "tsOT"},
         {"MDNA", "DdMA", "Pcen", "Tpro", "fsOF"}},
        {DataSetCode::Devices,
         kAllParts,
         {"Tpro", "tpro", "TTNA", "ZtPR", "msOM", "fsOF"},
         {"Vsez", "dpri", "Pcen", "MDNA", "tsOT"}},
        {DataSetCode::All,
         kAllParts,
         {"Vsez", "Tpro", "dpri", "tpro", "MDNA", "FPNA", "TTNA", "HrCY", "msOM"},
         {}},
    };
    for (const Case& c : cases) {
        FillMainMenu(host, c.set, c.parts);
        RefreshMainMenus(nullptr);
        const std::set<std::string> visible = VisibleNames();
        for (const char* n : c.shown)
            EXPECT_TRUE(Has(visible, n)) << int(c.set) << " " << n;
        for (const char* n : c.hidden)
            EXPECT_FALSE(Has(visible, n)) << int(c.set) << " " << n;
    }

    // Enabling: without a record only the commands that need none.
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    RefreshMainMenus(nullptr);
    std::set<std::string> enabled = VisibleNames(true);
    for (const char* n : {"MDNA", "SsPW", "SSHC", "dpri", "MSUN"})
        EXPECT_TRUE(Has(enabled, n)) << n;
    for (const char* n : {"DdMA", "HrCY", "CDXC", "DsBX"})
        EXPECT_FALSE(Has(enabled, n)) << n;
    EXPECT_FALSE(MenuItemNamed("SSWL")->isEnabled());

    // A list offering a drug record, and a dependent list under it offering
    // a substance: the walk goes to the master while the window depends.
    auto* drugs = new dftest::ProbeWindow(KindOf("DNA"), "drugs");
    drugs->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    drugs->LinkValues = {0, 12, 0};
    drugs->Master = host;
    auto* parts = new dftest::ProbeWindow(KindOf("CXD"), "parts");
    parts->LinkKinds = {LinkKind::Drug, LinkKind::Substance, LinkKind::None};
    parts->LinkValues = {12, 5, 0};
    parts->Master = drugs;
    parts->Dependent = true;
    RefreshMainMenus(parts);
    enabled = VisibleNames(true);
    for (const char* n : {"DdMA", "HrCY", "CDXC", "DsBX"})
        EXPECT_TRUE(Has(enabled, n)) << n;
    EXPECT_TRUE(MenuItemNamed("SSWL")->isEnabled());
    // An independent window does not lend its master's record.
    parts->Dependent = false;
    parts->LinkValues = {12, 0, 0};
    RefreshMainMenus(parts);
    enabled = VisibleNames(true);
    EXPECT_TRUE(Has(enabled, "DdMA")); // its own link of kind 6
    EXPECT_FALSE(Has(enabled, "CDXC"));
}

TEST_F(Menus, SpecialItemsChecksPriceCaptionsAndTheDuplicityItem)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    test_support::ScopedTextTable data{
        DataTexts, test_support::CompileTable("[Verze]\nSpotY=2025 čtvrtletí\nSpotX=24\n")};
    Config().Update([](ConfigValues& v) {
        v.tipUser = false;
        v.tipData = true;
    });
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    EXPECT_FALSE(MenuItemNamed("SSHT")->isChecked());
    EXPECT_TRUE(MenuItemNamed("SSHD")->isChecked());
    // Characters 3 and 4 of the data text go to the caption's end; a data
    // text under 4 characters leaves the caption.
    EXPECT_TRUE(MenuItemNamed("HrCY")->text().endsWith(QStringLiteral("2.5")))
        << MenuItemNamed("HrCY")->text().toStdString();
    EXPECT_TRUE(MenuItemNamed("HrCX")->text().endsWith(QStringLiteral("x.x")));
    EXPECT_TRUE(MenuItemNamed("HrHA")->text().endsWith(QStringLiteral("cen")));
    // "Dupl.dup1" present: the web check in the help menu and on the bar.
    EXPECT_TRUE(MenuItemNamed("vRMD")->isVisible());
    ASSERT_NE(MenuItemNamed("fuj"), nullptr);
    EXPECT_EQ(MenuItemNamed("fuj")->data().toUInt(), 18852u);
    // Empty: neither.
    dftest::ScopedUiTexts empty{test_support::CompileTable(
        "[Menu]\nMA=&Pomoc||vnap\nvA=&Kontrola||vRMD\nvB=&Obsah||SSHC\n[Dupl]\ndup1=\n")};
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    EXPECT_FALSE(MenuItemNamed("vRMD")->isVisible());
    EXPECT_EQ(MenuItemNamed("fuj"), nullptr);
}

TEST_F(Menus, AShortcutThatDoesNotParseIsDroppedWithARunLogLine)
{
    dftest::ScopedUiTexts texts{
        test_support::CompileTable("[Menu]\nMA=&Soubor||Soub\nSA=&Tisk|Ctrl+Del|SsPW\nSB=&Kopie|Ctrl+Nic+Nic|"
                                   "SsBC\nSC=&Zpět|BkSp|SsPF\n")};
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    EXPECT_EQ(MenuItemNamed("SsPW")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    EXPECT_TRUE(MenuItemNamed("SsBC")->shortcut().isEmpty());
    EXPECT_EQ(MenuItemNamed("SsPF")->shortcut(), QKeySequence(Qt::Key_Backspace));
    EXPECT_NE(RunLogText().find("SsBC"), std::string::npos) << RunLogText();
}

TEST_F(Menus, TheWindowMenuIsATreeOfTheRegisteredWindows)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    QMenu* menu = WindowMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->objectName(), QStringLiteral("wnil"));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    EXPECT_FALSE(MenuItemNamed("SSWL")->isEnabled());

    auto make = [this](const char* title, TDataForm* master, bool dependent) {
        auto* w = new dftest::ProbeWindow(KindOf("DNA"), title);
        w->Title = Kam(title);
        w->Master = master;
        w->Dependent = dependent;
        return w;
    };
    auto* a = make("Léky A&B", host, false);
    auto* b = make("Látky", host, false);
    auto* a1 = make("Složení", a, true);
    auto* a2 = make("Ceny", a, false);
    auto* a11 = make("Synonyma", a1, true);
    dftest::Settle();
    RebuildWindowMenu();
    QStringList captions;
    QStringList names;
    for (QAction* x : menu->actions()) {
        captions << x->text();
        names << x->objectName();
    }
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Léky A&&B"), QStringLiteral("|- Složení"),
                                     QStringLiteral("|  |- Synonyma"), QStringLiteral("|  Ceny"),
                                     QStringLiteral("Látky")}));
    EXPECT_EQ(names, (QStringList{"w1", "w3", "w5", "w4", "w2"}));
    EXPECT_TRUE(MenuItemNamed("SSWL")->isEnabled());

    // Unchanged windows keep the very same items.
    const QList<QAction*> before = menu->actions();
    RebuildWindowMenu();
    EXPECT_EQ(menu->actions(), before);

    // A click raises the window of the item and counts.
    QAction* lekyItem = before[0];
    a->Show();
    a2->Show();
    b->Show();
    MenuItemClick(lekyItem);
    EXPECT_TRUE(Counted("oWL"));
    // The window goes while its item is still there: the click does nothing
    // but refill the menu.
    counted.clear();
    QAction* synonyma = before[2];
    delete a11;
    dftest::Settle();
    MenuItemClick(synonyma);
    EXPECT_FALSE(Counted("oWL"));
    dftest::Settle();
    EXPECT_EQ(menu->actions().size(), 4);
}

class SignLists : public Menus {
protected:
    void SetUp() override
    {
        Menus::SetUp();
        ASSERT_TRUE(notes.isValid());
        ASSERT_TRUE(data.isValid());
        savedDataDir_ = DataDir();
        SetDataDir(data.path().toStdString() + "/");
        Config().Update([this](ConfigValues& v) {
            v.NotesFolder = notes.path().toStdString() + "/";
            v.SignListName = "Moje";
        });
    }
    void TearDown() override
    {
        SetDataDir(savedDataDir_);
        Menus::TearDown();
    }
    void Touch(const QTemporaryDir& dir, const char* name)
    {
        WriteFileAtomic(dir.path().toStdString() + "/" + name, std::string(4, '\0'));
    }
    QTemporaryDir notes;
    QTemporaryDir data;
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};

private:
    std::string savedDataDir_;
};

TEST_F(SignLists, ListsTheFolderByNameSkipsTheDataSetsOwnAndKeepsTheCounter)
{
    Touch(data, "VIDUD.SGN");
    for (const char* n : {"kl.sgn", "Moje.SGN", "A&B.SGN", "zaloha.sgn", "atc.SGN", "poznamky.txt"})
        Touch(notes, n);
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    QMenu* menu = SignListMenu();
    ASSERT_NE(menu, nullptr);
    struct Item {
        QString caption;
        QString name;
        uint32_t tag;
        bool checked;
    };
    std::vector<Item> items;
    for (QAction* a : menu->actions())
        items.push_back({a->text(), a->objectName(), a->data().toUInt(), a->isChecked()});
    // Sorted ignoring case: A&B, atc, kl, Moje, zaloha; atc and kl skipped
    // but counted.
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0].name, QStringLiteral("q_"));
    EXPECT_EQ(items[0].tag, 0x12000u);
    EXPECT_EQ(items[1].name, QStringLiteral("q_VIDUD"));
    EXPECT_EQ(items[1].tag, 0x12001u);
    EXPECT_EQ(items[2].caption, QStringLiteral("A&&B"));
    EXPECT_EQ(items[2].tag, 0x12010u);
    EXPECT_EQ(items[3].caption, QStringLiteral("Moje"));
    EXPECT_EQ(items[3].tag, 0x12013u);
    EXPECT_TRUE(items[3].checked);
    EXPECT_EQ(items[4].caption, QStringLiteral("zaloha"));
    EXPECT_EQ(items[4].tag, 0x12014u);
    EXPECT_EQ(items[5].name, QStringLiteral("q__2"));
    EXPECT_EQ(items[6].name, QStringLiteral("q__3"));
    EXPECT_EQ(items[6].tag, uint32_t(KindOf("SUU")));
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const Item& i) { return i.checked; }), 1);
}

TEST_F(SignLists, AClickLoadsTheChosenListAndRepositionsTheDrugLists)
{
    Touch(notes, "A&B.SGN");
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    std::vector<std::string> loaded;
    int repositioned = 0;
    CommandServices s;
    s.loadSignList = [&] {
        loaded.push_back(Config().Read([](const ConfigValues& v) { return v.SignListName; }));
    };
    s.repositionDrugLists = [&] { ++repositioned; };
    SetCommandServices(std::move(s));
    QAction* ab = nullptr;
    QAction* none = nullptr;
    for (QAction* a : SignListMenu()->actions()) {
        if (a->text() == QStringLiteral("A&&B"))
            ab = a;
        if (a->objectName() == QStringLiteral("q_"))
            none = a;
    }
    ASSERT_NE(ab, nullptr);
    ab->trigger();
    EXPECT_TRUE(ab->isChecked());
    none->trigger();
    EXPECT_TRUE(none->isChecked());
    EXPECT_FALSE(ab->isChecked());
    EXPECT_EQ(loaded, (std::vector<std::string>{"A&B", ""}));
    EXPECT_EQ(repositioned, 2);
}

TEST_F(Menus, TheMenuOfATagDropsDownWhileTheApplicationIsActive)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    RefreshMainMenus(nullptr);
    host->activateWindow();
    QApplication::setActiveWindow(host);
    dftest::Settle();
    if (QGuiApplication::applicationState() != Qt::ApplicationActive)
        GTEST_SKIP() << "the platform reports no active application";
    // Tag 3 is the device menu, hidden in the drug data set: it stays shut.
    DropDownMainMenu(3);
    dftest::Settle();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    DropDownMainMenu(2);
    dftest::Settle();
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup, TopLevelItem(2)->menu());
    auto* menu = qobject_cast<QMenu*>(popup);
    ASSERT_NE(menu->activeAction(), nullptr);
    EXPECT_EQ(menu->activeAction()->objectName(), QStringLiteral("MDNA"));
    host->grab().save(QStringLiteral(QEVW_BINARY_DIR "/menu_drugs_ces_bar.png"));
    menu->grab().save(QStringLiteral(QEVW_BINARY_DIR "/menu_drugs_ces_popup.png"));
    menu->close();
}

TEST_F(Menus, SpeedButtonsArePlacedByDataSetAndList)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    auto positions = [this]() {
        std::vector<std::pair<std::string, int>> out;
        for (const SpeedButtonSpec& spec : SpeedButtons()) {
            QToolButton* b = SpeedButtonNamed(host->toolBar, spec.name);
            if (b != nullptr && !b->isHidden())
                out.emplace_back(spec.name, b->x());
        }
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
        return out;
    };
    const std::string defaults = ConfigValues{}.ToolbarSelection;
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs, defaults + "RMD-");
    using P = std::vector<std::pair<std::string, int>>;
    EXPECT_EQ(positions(), (P{{"MainSB", 28},
                              {"LkdxSB", 56},
                              {"LpilSB", 84},
                              {"LspcSB", 112},
                              {"LsAtcSB", 140},
                              {"LslozSB", 168},
                              {"KlekySB", 210},
                              {"PrintSB", 252},
                              {"ExcelSB", 280},
                              {"WordSB", 308},
                              {"MknSB", 336},
                              {"DuplSB", 364},
                              {"sToolSB", 392}}));
    // All data sets: only the output buttons, after three empty groups.
    LayoutSpeedButtons(host->toolBar, DataSetCode::All, defaults);
    EXPECT_EQ(positions(),
              (P{{"PrintSB", 42}, {"ExcelSB", 70}, {"WordSB", 98}, {"MknSB", 126}, {"sToolSB", 154}}));
    // Without "Dupl.dup1" the duplicity button never shows.
    dftest::ScopedUiTexts bare{test_support::CompileTable("[Pruh]\nPrintSB=Tisk\n")};
    LayoutSpeedButtons(host->toolBar, DataSetCode::Goods, "-dMA-RMD-sPW-sOM-");
    EXPECT_EQ(positions(), (P{{"LekySB", 0}, {"MainSB", 56}, {"PrintSB", 98}}));

    // Every button has its glyph and a tag that is its code.
    for (const SpeedButtonSpec& spec : SpeedButtons()) {
        EXPECT_FALSE(SpeedButtonGlyph(KindOf(spec.letters)).isNull()) << spec.name;
        EXPECT_EQ(SpeedButtonNamed(host->toolBar, spec.name)->property("tag").toUInt(), KindOf(spec.letters));
    }
    EXPECT_EQ(SpeedButtons().size(), 27u);
}

TEST_F(Menus, OutputButtonsNeedADataWindowAndRecordButtonsARecord)
{
    dftest::ScopedUiTexts texts{dftest::ProgramTable("ces")};
    FillMainMenu(host, DataSetCode::Drugs, kAllParts);
    LayoutSpeedButtons(host->toolBar, DataSetCode::Drugs, ConfigValues{}.ToolbarSelection);
    RefreshMainMenus(nullptr);
    for (const char* n : {"PrintSB", "ExcelSB", "WordSB", "MainSB", "LspcSB", "KlekySB"})
        EXPECT_FALSE(SpeedButtonNamed(host->toolBar, n)->isEnabled()) << n;
    EXPECT_TRUE(SpeedButtonNamed(host->toolBar, "MknSB")->isEnabled());
    auto* w = new dftest::ProbeWindow(KindOf("DNA"));
    w->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    w->LinkValues = {0, 3, 0};
    RefreshMainMenus(w);
    for (const char* n : {"PrintSB", "ExcelSB", "WordSB", "MainSB", "LspcSB"})
        EXPECT_TRUE(SpeedButtonNamed(host->toolBar, n)->isEnabled()) << n;
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "KlekySB")->isEnabled());
    // Goods records open the goods record only.
    w->LinkKinds = {LinkKind::None, LinkKind::Goods, LinkKind::None};
    RefreshMainMenus(w);
    EXPECT_TRUE(SpeedButtonNamed(host->toolBar, "MainSB")->isEnabled());
    EXPECT_FALSE(SpeedButtonNamed(host->toolBar, "LspcSB")->isEnabled());
}

TEST_F(Menus, ScreenshotsOfTheMenuAndToolbarInBothLanguagesAndDataSets)
{
    host->resize(900, 320);
    Config().Update([](ConfigValues& v) {
        v.ToolbarSelection =
            "-sOM-sOF-sOT-DNA-VHC-VAC-XTD-CNA-PNA-FAC-dMA-dAK-dAE-dLL-dSP-dIS-DBA-CXD-DXC-sPW-sBE-"
            "sBW-RMR-RMD-SSI-";
    });
    for (const char* language : {"ces", "ang"}) {
        dftest::ScopedUiTexts texts{dftest::ProgramTable(language)};
        for (DataSetCode set : {DataSetCode::Drugs, DataSetCode::Goods}) {
            FillMainMenu(host, set, kAllParts);
            LayoutSpeedButtons(host->toolBar, set);
            RefreshMainMenus(nullptr);
            QMenu* lists = TopLevelItem(2)->menu();
            ASSERT_NE(lists, nullptr);
            dftest::Settle();
            const QString base = QStringLiteral(QEVW_BINARY_DIR "/menu_%1_set%2")
                                     .arg(QLatin1String(language))
                                     .arg(static_cast<int>(set));
            EXPECT_TRUE(host->grab().save(base + QStringLiteral("_window.png")));
            lists->adjustSize();
            EXPECT_TRUE(lists->grab().save(base + QStringLiteral("_lists.png")));
        }
    }
}

} // namespace
