// The dialog base on the demonstration dialog (forms/demo_dialog.ui):
// colours per control class, fonts, placement over the main window, the run
// call, and screenshots in both languages.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "frame/config/placement_scheme.h"
#include "frame/windows/dialog_base.h"
#include "frame/windows/style.h"
#include "tests/frame/data_form_test_support.h"
#include "ui_demo_dialog.h"

using namespace dftest;

namespace {

class DemoDialogForm : public TDlgForm {
public:
    explicit DemoDialogForm(QWidget* parent = nullptr) : TDlgForm(parent)
    {
        ui.setupUi(this);
        PrepareDialog();
    }
    Ui::DemoDialog ui;
};

// A colour set far from any default: 0x00BBGGRR words.
const std::array<uint32_t, 7> kColours = {
    0x00D0FFFF, // 0 fields: light yellow
    0x00600000, // 1 text: dark blue
    0x00406040, // 2 main window: dark green
    0x00808080, // 3
    0x000000A0, // 4 button text: dark red
    0x000000FF, // 5
    0x00F0E0C8, // 6 dialogs: light blue-grey
};

QColor C(int i)
{
    return ProgramColour(kColours, i);
}

class DialogDemo : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        Config().Update([](ConfigValues& v) {
            v.ColourTable = kColours;
            v.DialogFont = ConfigFont{"DejaVu Serif CE", 11, 0};
        });
    }
    ScopedConfig config;
    ScopedUiTexts texts{ProgramTable("ces")};
};

} // namespace

TEST_F(DialogDemo, CzechTextsFromTheForm)
{
    DemoDialogForm d;
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Ukázkový dialog"));
    EXPECT_EQ(d.ui.nameLabel->text(), QStringLiteral("Název přípravku:"));
    EXPECT_EQ(d.ui.nameLabel->toolTip(), QStringLiteral("Název, jak jej uvádí databáze"));
    EXPECT_EQ(d.ui.missingLabel->text(), QStringLiteral("!! Ukazka.Chybi"));
    EXPECT_EQ(d.ui.dotFirstLabel->text(), QStringLiteral(".NET tisk"));
    EXPECT_EQ(d.ui.dotBlankLabel->text(), QStringLiteral("Hotovo. Okno lze zavřít"));
    EXPECT_EQ(d.ui.choiceGroup->title(), QStringLiteral("Výběr"));
    EXPECT_EQ(d.ui.tabs->tabText(1), QStringLiteral("Podrobnosti"));
    EXPECT_EQ(d.ui.okButton->text(), QStringLiteral("Použít"));
    EXPECT_EQ(d.ui.nameEdit->text(), QStringLiteral("Paramedol 500 mg")) << "edit texts are no captions";
}

TEST_F(DialogDemo, ColoursByControlClass)
{
    DemoDialogForm d;
    struct Check {
        const char* name;
        QWidget* w;
        QPalette::ColorRole role;
        QColor colour;
    };
    const QColor b = C(6); // a dialog: background colour 6
    const Check checks[] = {
        {"form", &d, QPalette::Window, b},
        {"form text", &d, QPalette::WindowText, C(1)},
        {"label", d.ui.nameLabel, QPalette::Window, b},
        {"label text", d.ui.nameLabel, QPalette::WindowText, C(1)},
        {"check box", d.ui.registeredCheck, QPalette::WindowText, C(1)},
        {"radio button", d.ui.sortRadio, QPalette::Window, b},
        {"group box", d.ui.choiceGroup, QPalette::Window, b},
        {"edit", d.ui.nameEdit, QPalette::Base, C(0)},
        {"edit text", d.ui.nameEdit, QPalette::Text, C(1)},
        {"masked edit", d.ui.maskedEdit, QPalette::Base, C(0)},
        {"memo", d.ui.noteMemo, QPalette::Base, C(0)},
        {"list box", d.ui.nameList, QPalette::Base, C(0)},
        {"combo box", d.ui.formCombo, QPalette::Base, C(0)},
        {"scroll box", d.ui.scrollBox, QPalette::Window, C(0)},
        {"button", d.ui.okButton, QPalette::ButtonText, C(4)},
        {"speed button", d.ui.helpButton, QPalette::ButtonText, C(4)},
        {"panel", d.ui.panel, QPalette::Window, C(6)},
        {"tab set", d.ui.tabSet, QPalette::Button, C(6)},
        {"notebook", d.ui.notebook, QPalette::Window, C(6)},
        {"tabbed notebook", d.ui.tabs, QPalette::WindowText, C(1)},
        {"grid", d.ui.gridTable, QPalette::Base, C(0)},
        {"grid fixed cells", d.ui.gridTable->horizontalHeader(), QPalette::Button, C(6)},
        {"tree view", d.ui.atcTree, QPalette::Base, C(0)},
    };
    for (const Check& c : checks)
        EXPECT_EQ(c.w->palette().color(QPalette::Active, c.role), c.colour) << c.name;
    EXPECT_TRUE(d.ui.nameLabel->autoFillBackground());

    // Inside a data window the background colour is colour 0, in the main
    // window colour 2.
    TestHost host;
    auto* w = new ProbeWindow(PackKindCode("DNA"), "w");
    w->Master = &host;
    auto* label = new QLabel(QStringLiteral("x"), w);
    w->AttachToMdiArea();
    ObarviFormular(w);
    EXPECT_EQ(label->palette().color(QPalette::Window), C(0));
    ObarviFormular(&host);
    EXPECT_EQ(host.palette().color(QPalette::Window), C(2));
}

TEST_F(DialogDemo, TheDialogFontKeepsTheFormStyles)
{
    DemoDialogForm d;
    const QFont font = d.ui.nameEdit->font();
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Serif")) << "the CE suffix is dropped";
    EXPECT_EQ(font.pointSize(), 11);
    EXPECT_FALSE(font.bold());
    EXPECT_TRUE(d.ui.choiceGroup->font().bold()) << "bold in the form description";
    EXPECT_EQ(d.ui.choiceGroup->font().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(d.ui.formCombo->font().bold()) << "it had the group's bold font in the form";
    EXPECT_EQ(d.ui.okButton->font().pointSize(), 11);

    // Again with another font: the form styles are still those of the form.
    Config().Update([](ConfigValues& v) { v.DialogFont = ConfigFont{"DejaVu Sans", 8, 2}; });
    d.ObarviFormular();
    EXPECT_EQ(d.ui.nameEdit->font().pointSize(), 8);
    EXPECT_TRUE(d.ui.nameEdit->font().italic());
    EXPECT_FALSE(d.ui.nameEdit->font().bold());
    EXPECT_TRUE(d.ui.choiceGroup->font().bold());
}

TEST(DialogPlacement, CentredAndKeptOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize size(400, 300);
    const struct {
        const char* name;
        QRect over;
        QSize size;
        QRect screen;
        QPoint at;
    } cases[] = {
        {"centred", QRect(100, 100, 800, 600), size, screen, QPoint(300, 250)},
        {"pulled back from the right and bottom", QRect(1700, 900, 800, 600), size, screen,
         QPoint(1520, 780)},
        {"never negative", QRect(-500, -400, 200, 100), size, screen, QPoint(0, 0)},
        {"larger than the screen: at the top left", QRect(0, 0, 1920, 1080), QSize(2000, 1200), screen,
         QPoint(0, 0)},
        {"halves truncate toward zero", QRect(0, 0, 99, 99), QSize(100, 100), QRect(-1000, -1000, 3000, 3000),
         QPoint(0, 0)},
        {"a second screen", QRect(3000, 100, 400, 300), QSize(300, 200), QRect(1920, 0, 1280, 1024),
         QPoint(2900, 150)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DialogPosition(c.over, c.size, c.screen), c.at) << c.name;
}

TEST_F(DialogDemo, PlacedOverTheMainWindowWhenShown)
{
    TestHost host;
    host.setGeometry(40, 30, 600, 450);
    host.show();
    DemoDialogForm d; // owned by the main window by default
    EXPECT_EQ(d.parentWidget(), &host);
    d.show();
    const QRect screen = host.screen()->geometry();
    EXPECT_EQ(d.frameGeometry().topLeft(),
              DialogPosition(host.frameGeometry(), d.frameGeometry().size(), screen));
    d.hide();

    // Without a shown main window the saved rectangle counts.
    host.hide();
    Config().Update([](ConfigValues& v) {
        v.mainLeft = 700;
        v.mainTop = 500;
        v.mainWidth = 300;
        v.mainHeight = 200;
    });
    DemoDialogForm e;
    e.show();
    EXPECT_EQ(e.frameGeometry().topLeft(), DialogPosition(QRect(700, 500, 300, 200), e.frameGeometry().size(),
                                                          QGuiApplication::primaryScreen()->geometry()));
}

TEST_F(DialogDemo, TheRunCallShowsModallyAndReturnsTheResult)
{
    bool translatedWhenShown = false;
    QTimer::singleShot(0, [&] {
        auto* d = dynamic_cast<DemoDialogForm*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        translatedWhenShown = d->ui.okButton->text() == QStringLiteral("Použít");
        d->ui.okButton->click();
    });
    EXPECT_EQ(RunDialog<DemoDialogForm>(), QDialog::Accepted);
    EXPECT_TRUE(translatedWhenShown);
}

TEST_F(DialogDemo, Screenshots)
{
    for (const char* language : {"ces", "ang"}) {
        ScopedUiTexts table{ProgramTable(language)};
        DemoDialogForm d;
        d.ui.gridTable->setItem(0, 0, new QTableWidgetItem(QStringLiteral("N02BE01")));
        d.ui.tabSet->addTab(QStringLiteral("A"));
        d.ui.tabSet->addTab(QStringLiteral("B"));
        d.show();
        Settle();
        const QString path = QString::fromStdString(ScreenshotDir()) + QStringLiteral("/dialog_") +
                             QLatin1String(language) + QStringLiteral(".png");
        EXPECT_TRUE(d.grab().save(path));
        if (std::string(language) == "ang") {
            EXPECT_EQ(d.ui.okButton->text(), QStringLiteral("Apply"));
        }
    }
}
