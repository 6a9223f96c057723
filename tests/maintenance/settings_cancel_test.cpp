// Cancel, Escape and the close box are one Cancel in every settings dialog:
// every setting changed, then the dialog left: the file is the same bytes,
// not even rewritten, and the settings are what they were.  Also a save by
// the start-up loader while the colours dialog is open, the keep box of the
// layout dialog, and a settings file that cannot be written.

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include "maintenance/files_dialog.h"
#include "maintenance/filter_dialog.h"
#include "maintenance/fonts_colours_dialog.h"
#include "maintenance/settings_model.h"
#include "maintenance/toolbar_dialog.h"
#include "maintenance/window_layout_dialog.h"
#include "tests/maintenance/settings_test_support.h"
#include "tests/support/failing_file_system.h"

using namespace settingstest;

namespace {

class SettingsDialogCancel : public SettingsTest {
protected:
    enum class Way { CancelButton, Escape, CloseBox };

    static void Leave(TDlgForm& d, Way way)
    {
        switch (way) {
        case Way::CancelButton: Click(Child<QPushButton>(&d, "CancelBtn")); break;
        case Way::Escape: QTest::keyClick(d.focusWidget() ? d.focusWidget() : &d, Qt::Key_Escape); break;
        case Way::CloseBox: d.close(); break;
        }
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }

    // Opens a dialog, changes everything, leaves it each way; nothing moves.
    template <class Dialog, class Change>
    void ExpectNothingChanged(Change change)
    {
        for (Way way : {Way::CancelButton, Way::Escape, Way::CloseBox}) {
            SCOPED_TRACE(static_cast<int>(way));
            const std::string bytes = File();
            const FileStamp stamp = Stamp();
            const ConfigValues before = Config().Snapshot();
            Dialog d;
            Show(&d);
            change(d);
            Leave(d, way);
            EXPECT_EQ(File(), bytes);
            EXPECT_EQ(Stamp(), stamp) << "not rewritten";
            EXPECT_TRUE(Config().Snapshot() == before);
        }
    }
};

void ClickAll(QWidget* d, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        Click(d->findChild<QAbstractButton*>(QString::fromLatin1(n)));
}

} // namespace

TEST_F(SettingsDialogCancel, Filters)
{
    ExpectNothingChanged<TNastav1>([](TNastav1& d) {
        for (const FilterBoxSpec& b : FilterBoxes())
            ClickAll(&d, {b.name});
        for (const ParagraphRowSpec& r : ParagraphRows())
            ClickAll(&d, {r.box});
    });
}

TEST_F(SettingsDialogCancel, FilesAndLanguage)
{
    ExpectNothingChanged<TNastav2>([this](TNastav2& d) {
        filesChosen = {notesFolder_ + "other.not"};
        ClickAll(&d, {"SpeedButton5", "CheckBox1", "CheckBox2", "SpeedButton1"});
        EXPECT_EQ(d.ChosenNotesName(), "OTHER");
    });
}

TEST_F(SettingsDialogCancel, FontsAndColours)
{
    ExpectNothingChanged<TNastav3>([this](TNastav3& d) {
        for (int i = 0; i < 4; ++i)
            fontsChosen.push_back(QFont(QStringLiteral("DejaVu Sans"), 20 + i));
        ClickAll(&d, {"Button2", "Button3", "Button4", "Button5", "Button1"});
        for (int i : {0, 1, 2, 4, 5, 6}) {
            coloursChosen.push_back(QColor(10 * i, 20, 30));
            d.ChooseColourOf(i);
        }
        EXPECT_FALSE(d.Working() == FontsAndColoursOf(Config().Snapshot()));
    });
}

TEST_F(SettingsDialogCancel, WindowLayout)
{
    ExpectNothingChanged<TNastav4>([](TNastav4& d) {
        ClickAll(&d, {"QEV1", "QEVmax", "QEVwin", "QEV3sch"});
        for (const char* s : {"SEsch1p", "SEsch1d", "SEsch2p", "SEsch2d", "SEsch3p", "SEsch3d"})
            d.findChild<QSpinBox*>(QString::fromLatin1(s))->setValue(55);
    });
}

TEST_F(SettingsDialogCancel, Toolbar)
{
    ExpectNothingChanged<TNastav5>([](TNastav5& d) {
        ClickAll(&d, {"sToolbar"});
        for (int row = 0; row < 27; ++row)
            d.ToggleRow(row);
    });
}

TEST_F(SettingsDialogCancel, ALoaderSaveWhileTheColoursDialogIsOpenWritesNoChoice)
{
    TNastav3 d;
    Show(&d);
    coloursChosen = {QColor(1, 2, 3)};
    fontsChosen = {QFont(QStringLiteral("DejaVu Serif"), 20)};
    d.ChooseColourOf(0);
    Click(Child<QPushButton>(&d, "Button2"));
    // The loader notes its news fetch and saves, without messages.
    Config().Update([](ConfigValues& v) { v.newsDate = "2025/06/01"; });
    ASSERT_TRUE(SaveConfig(false));
    const std::string saved = File();
    EXPECT_TRUE(HasLine(saved, "BDATE=2025/06/01"));
    EXPECT_TRUE(
        HasLine(saved, "COLOURS=clWindow,clWindowText,clAppWorkSpace,clGrayText,clBtnText,clRed,clBtnFace,"));
    EXPECT_TRUE(HasLine(saved, "FONTDLG=Tarel Pro CE, 9 [0]"));
    const FileStamp stamp = Stamp();
    const ConfigValues before = Config().Snapshot();
    Click(Child<QPushButton>(&d, "CancelBtn"));
    EXPECT_EQ(File(), saved);
    EXPECT_EQ(Stamp(), stamp);
    EXPECT_TRUE(Config().Snapshot() == before);
}

TEST_F(SettingsDialogCancel, TheKeepBoxCapturesOnlyForOk)
{
    TestHost host;
    host.setGeometry(50, 60, 700, 500);
    host.show();
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        Stored([keep](ConfigValues& v) {
            v.keepMainWindow = keep;
            v.mainLeft = 1;
            v.mainTop = 2;
            v.mainWidth = 300;
            v.mainHeight = 200;
        });
        const std::string bytes = File();
        const ConfigValues before = Config().Snapshot();
        TNastav4 d;
        Show(&d);
        auto* box = Child<QCheckBox>(&d, "QEVwin");
        Click(box);
        if (keep)
            Click(box); // off, and on again
        EXPECT_TRUE(box->isChecked());
        EXPECT_TRUE(d.Captured().has_value()) << "captured in the dialog";
        Click(Child<QPushButton>(&d, "CancelBtn"));
        EXPECT_EQ(File(), bytes);
        EXPECT_TRUE(Config().Snapshot() == before);
    }
}

TEST_F(SettingsDialogCancel, ASettingsFileThatCannotBeWrittenIsReportedAndLeftAlone)
{
    const std::string bytes = File();
    const FileStamp stamp = Stamp();
    ConfigValues expected = Config().Snapshot();
    expected.FilterFlags |= 16;
    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Create;
    Config().SetFileSystem(&fs);
    {
        TNastav1 d;
        Show(&d);
        ClickAll(&d, {"FLReg"});
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    Settle();
    Config().SetFileSystem(nullptr);
    const std::vector<std::string> reported = errors.Texts();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(KamToQString(reported[0]).toStdString(), "Nelze uložit " + ConfigPath());
    EXPECT_EQ(File(), bytes);
    EXPECT_EQ(Stamp(), stamp);
    EXPECT_TRUE(Config().Snapshot() == expected) << "the choice holds for the run, nothing else moved";
}
