// The toolbar dialog (TNastav5): the rows and how keys and clicks toggle
// them; the flag and the choices through OK, the file and a new start.

#include <QCheckBox>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

#include "frame/commands/toolbar.h"
#include "maintenance/settings_model.h"
#include "maintenance/toolbar_dialog.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

class SettingsDialogToolbar : public SettingsTest {};

constexpr int kRow = 28;

QPoint At(int x, int row)
{
    return QPoint(x, row * kRow + kRow / 2);
}

// A double click as the window system delivers it: press, release, press,
// double click, release.
void DoubleClick(QWidget* w, QPoint at)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
    QTest::mousePress(w, Qt::LeftButton, {}, at);
    QTest::mouseDClick(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

} // namespace

TEST_F(SettingsDialogToolbar, OneRowPerSpeedButtonInToolbarOrder)
{
    TNastav5 d;
    Show(&d);
    QTableWidget* t = d.Tools();
    ASSERT_EQ(t->rowCount(), 27);
    EXPECT_EQ(t->item(0, 2)->text(), QStringLiteral("Léčivé přípravky"));
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), QStringLiteral("Ano"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QStringLiteral("Tlačítko"));
    EXPECT_EQ(t->rowHeight(3), kRow);
    EXPECT_EQ(t->columnWidth(2), t->width() - 2 * t->columnWidth(0) - 25);
    EXPECT_TRUE(t->hasFocus());
}

TEST_F(SettingsDialogToolbar, KeysAndClicksThatToggle)
{
    // Row 12 is the summary button "dMA", chosen by default; row 3 "DNA" is not.
    const struct {
        const char* name;
        std::function<void(QTableWidget*)> act;
        std::vector<int> toggled;
    } cases[] = {
        {"Enter toggles the current row",
         [](QTableWidget* t) {
             t->setCurrentCell(12, 2);
             QTest::keyClick(t, Qt::Key_Return);
         },
         {12}},
        {"Space toggles the current row",
         [](QTableWidget* t) {
             t->setCurrentCell(3, 2);
             QTest::keyClick(t, Qt::Key_Space);
         },
         {3}},
        {"a click left of 30",
         [](QTableWidget* t) { QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, At(10, 3)); },
         {3}},
        {"a click right of 30 only selects",
         [](QTableWidget* t) { QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, At(60, 3)); },
         {}},
        {"a double click right of 30", [](QTableWidget* t) { DoubleClick(t->viewport(), At(60, 12)); }, {12}},
        {"a double click left of 30 toggles once",
         [](QTableWidget* t) { DoubleClick(t->viewport(), At(10, 4)); },
         {4}},
        {"arrows toggle nothing, then a click toggles the clicked row",
         [](QTableWidget* t) {
             t->setCurrentCell(0, 2);
             for (int k : {Qt::Key_Down, Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Up})
                 QTest::keyClick(t, static_cast<Qt::Key>(k));
             // The list has scrolled to its end and row 25 is current; the
             // click is on row 24.
             const QRect r = t->visualRect(t->model()->index(24, 0));
             QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, QPoint(5, r.center().y()));
         },
         {24}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TNastav5 d;
        Show(&d);
        const std::string before = d.Working();
        c.act(d.Tools());
        std::string expected = before;
        for (int row : c.toggled)
            expected = ToggleToolbarChoice(expected, SpeedButtons()[static_cast<size_t>(row)].letters);
        EXPECT_EQ(d.Working(), expected);
        EXPECT_TRUE(d.isVisible()) << "Enter never reaches the OK button";
    }
}

TEST_F(SettingsDialogToolbar, FlagAndChoicesReachTheFileAndComeBack)
{
    const auto rowOf = [](const char* letters) {
        const auto b = SpeedButtons();
        for (size_t i = 0; i < b.size(); ++i)
            if (std::string(b[i].letters) == letters)
                return static_cast<int>(i);
        return -1;
    };
    const struct {
        const char* name;
        std::vector<const char*> clicks; // toggled in this order
        bool flag;
        const char* line;
        const char* after; // the list after a new start
    } cases[] = {
        {"toolbar order, not click order",
         {"SSI", "DNA", "dMA"},
         true,
         "TOOLBAR=1-DNA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-",
         "-DNA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-"},
        {"without the duplicity button it comes back",
         {"RMD"},
         false,
         "TOOLBAR=0", // the first start's list is written short
         "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-"},
        {"nothing chosen gives the default list",
         {"dMA", "dAK", "dLL", "dSP", "DBA", "CXD", "DXC", "sPW", "sBE", "sBW", "RMR", "RMD", "SSI"},
         true,
         "TOOLBAR=1-",
         "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Restart();
        {
            TNastav5 d;
            Show(&d);
            if (c.flag)
                Click(Child<QCheckBox>(&d, "sToolbar"));
            for (const char* letters : c.clicks)
                d.ToggleRow(rowOf(letters));
            if (c.name == cases[2].name)
                Shot(&d, "settings_toolbar_unchecked");
            Click(Child<QPushButton>(&d, "OKBtn"));
        }
        EXPECT_TRUE(HasLine(File(), c.line)) << Section(File(), "[QEVW win]");
        Reload();
        EXPECT_EQ(Config().Snapshot().ToolbarSelection, c.after);
        EXPECT_EQ(Config().Snapshot().ToolbarVisible, c.flag);
        TNastav5 again;
        EXPECT_EQ(Child<QCheckBox>(&again, "sToolbar")->isChecked(), c.flag);
    }
}

TEST_F(SettingsDialogToolbar, UnknownCodesOfAHandEditedListAreDropped)
{
    Stored([](ConfigValues& v) { v.ToolbarSelection = "-XYZ-dMA-QQ-SSI-"; });
    {
        TNastav5 d;
        Show(&d);
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_TRUE(HasLine(File(), "TOOLBAR=0-dMA-SSI-"));
}
