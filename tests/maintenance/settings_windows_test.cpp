// The window layout dialog (TNastav4): hand-over, maximised start, the kept
// main-window rectangle, the five layout modes and the scheme offsets
// through OK, the file and a new start; storing and deleting a scheme.

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "frame/config/placement_scheme.h"
#include "maintenance/window_layout_dialog.h"
#include "tests/maintenance/settings_test_support.h"

using namespace settingstest;

namespace {

class SettingsDialogWindows : public SettingsTest {};

void SetSpin(QSpinBox* s, int value)
{
    s->setFocus();
    s->selectAll();
    QTest::keyClicks(s, QString::number(value));
    QTest::keyClick(s, Qt::Key_Tab);
}

int Records(const PlacementSchemes& s, int scheme)
{
    int n = 0;
    for (const PlacementRecord& r : s.table)
        n += r.scheme == scheme;
    return n;
}

} // namespace

TEST_F(SettingsDialogWindows, BoxesAndModesReachTheFileAndComeBack)
{
    const struct {
        const char* control;
        const char* line;
        const char* section;
    } cases[] = {
        {"QEV1", "NEWWIN=3", "[QEVW win]"},        {"QEVmax", "MAXIMIZE=YES", "[QEVW win]"},
        {"QEV1w", "WINDOWS=MAX", "[QEVW win]"},    {"QEVnw", "WINDOWS=FREE", "[QEVW win]"},
        {"QEV1sch", "WINDOWS=SCH1", "[QEVW win]"}, {"QEV2sch", "WINDOWS=SCH2", "[QEVW win]"},
        {"QEV3sch", "WINDOWS=SCH3", "[QEVW win]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        Restart();
        if (std::string(c.control) == "QEVnw")
            Stored([](ConfigValues& v) { v.windowMode = WindowMode::Sch2; });
        Confirm<TNastav4>([&](TNastav4& d) { Click(Child<QAbstractButton>(&d, c.control)); });
        EXPECT_TRUE(HasLine(Section(File(), c.section), c.line)) << Section(File(), c.section);
        Reload();
        TNastav4 again;
        auto* b = Child<QAbstractButton>(&again, c.control);
        EXPECT_EQ(b->isChecked(), std::string(c.control) != "QEV1");
    }
    EXPECT_EQ(Config().Snapshot().placementMode, WindowMode::Sch3) << "the placement's copy";
}

TEST_F(SettingsDialogWindows, OffsetsAreKeptWithinZeroToHundred)
{
    Stored([](ConfigValues& v) { v.schemes.shiftDown[1] = 250; });
    Confirm<TNastav4>([](TNastav4& d) {
        EXPECT_EQ(Child<QSpinBox>(&d, "SEsch2d")->value(), 100) << "shown clamped";
        SetSpin(Child<QSpinBox>(&d, "SEsch1p"), 0);
        SetSpin(Child<QSpinBox>(&d, "SEsch2p"), 37);
        SetSpin(Child<QSpinBox>(&d, "SEsch3d"), 100);
        SetSpin(Child<QSpinBox>(&d, "SEsch3p"), 999);
    });
    const std::string file = File();
    EXPECT_FALSE(HasLine(Section(file, "[QEVW sch1]"), "SFTRIGHT=2")) << "0 writes no key";
    EXPECT_TRUE(HasLine(Section(file, "[QEVW sch2]"), "SFTRIGHT=37"));
    EXPECT_TRUE(HasLine(Section(file, "[QEVW sch2]"), "SFTDOWN=100")) << "stored clamped";
    EXPECT_TRUE(HasLine(Section(file, "[QEVW sch3]"), "SFTDOWN=100"));
    EXPECT_TRUE(HasLine(Section(file, "[QEVW sch3]"), "SFTRIGHT=99")) << "the edit takes no third digit";
    Reload();
    TNastav4 again;
    EXPECT_EQ(Child<QSpinBox>(&again, "SEsch1p")->value(), 0);
    EXPECT_EQ(Child<QSpinBox>(&again, "SEsch2p")->value(), 37);
    EXPECT_EQ(Child<QSpinBox>(&again, "SEsch3d")->value(), 100);
}

TEST_F(SettingsDialogWindows, TheKeptRectangleIsTheMainWindowsAsCapturedAtTheClick)
{
    TestHost host;
    host.setGeometry(120, 90, 800, 600);
    host.show();
    QCoreApplication::processEvents();
    // Placed by its frame's corner, sized by its client, as the start does.
    const QPoint corner = host.frameGeometry().topLeft();
    const std::string sizePos =
        "SIZEPOS=800,600," + std::to_string(corner.x()) + "," + std::to_string(corner.y());
    {
        TNastav4 d;
        Show(&d);
        auto* keep = Child<QCheckBox>(&d, "QEVwin");
        EXPECT_EQ(keep->text(), QStringLiteral("Pamatovat velikost a polohu okna"));
        Click(keep);
        EXPECT_EQ(keep->text(), QStringLiteral("Velikost a poloha okna uloženy"));
        host.setGeometry(10, 10, 300, 200); // moved after the click: not taken
        EXPECT_FALSE(Config().Snapshot().keepMainWindow) << "not before OK";
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_TRUE(HasLine(File(), sizePos)) << File();
    Reload();
    const ConfigValues v = Config().Snapshot();
    EXPECT_TRUE(v.keepMainWindow);
    host.move(v.mainLeft, v.mainTop);
    host.resize(v.mainWidth, v.mainHeight);
    QCoreApplication::processEvents();
    EXPECT_EQ(host.geometry(), QRect(120, 90, 800, 600)) << "applied again, the same window";
    TNastav4 again;
    EXPECT_TRUE(Child<QCheckBox>(&again, "QEVwin")->isChecked());
    EXPECT_EQ(Child<QCheckBox>(&again, "QEVwin")->text(), QStringLiteral("Velikost a poloha okna uloženy"));
}

TEST_F(SettingsDialogWindows, StoringAndDeletingASchemeActAtOnce)
{
    TestHost host;
    host.resize(1000, 700);
    host.show();
    auto* list = new ProbeWindow(PackKindCode("DNA"), "list");
    list->Master = &host;
    list->AttachToMdiArea();
    list->Widget()->parentWidget()->setGeometry(0, 0, 500, 300);
    QCoreApplication::processEvents();

    {
        TNastav4 d;
        Show(&d);
        Click(Child<QPushButton>(&d, "sch2Ulo"));
        Click(Child<QPushButton>(&d, "sch3Maz"));
        Click(Child<QPushButton>(&d, "CancelBtn"));
    }
    const std::string file = File();
    EXPECT_NE(Section(file, "[QEVW sch2]").find("DNA="), std::string::npos) << "kept although cancelled";
    EXPECT_EQ(Section(file, "[QEVW sch3]").find("VIC="), std::string::npos) << Section(file, "[QEVW sch3]");
    const ConfigValues now = Config().Snapshot();
    EXPECT_EQ(Records(now.schemes, 4), 0);
    EXPECT_EQ(Records(now.schemes, 2), 6) << "scheme 1 untouched";
    EXPECT_EQ(Records(now.schemes, 3), 3) << "scheme 2: its record of DNA replaced";
    Reload();
    const ConfigValues later = Config().Snapshot();
    EXPECT_EQ(Records(later.schemes, 4), 6) << "the built-in entries after a new start";
    EXPECT_EQ(later.schemes.shiftDown[2], 2);
    DeleteDataWindows(&host);
}
