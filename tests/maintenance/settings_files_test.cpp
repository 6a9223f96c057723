// The files dialog (TNastav2): language, news, print saving and the notes
// file through OK, the file and a new start; a notes file outside the notes
// folder; a menu entry that cannot be written.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include "datastore/user_files.h"
#include "maintenance/files_dialog.h"
#include "platform/desktop_entry.h"
#include "tests/maintenance/settings_test_support.h"
#include "tests/support/failing_file_system.h"
#include "tests/support/user_folders.h"

using namespace settingstest;

namespace {

class SettingsDialogFiles : public SettingsTest {};

} // namespace

TEST_F(SettingsDialogFiles, LanguageReachesTheFileAndComesBack)
{
    {
        TNastav2 d;
        EXPECT_TRUE(Child<QToolButton>(&d, "SpeedButton4")->isChecked());
        EXPECT_FALSE(Child<QToolButton>(&d, "SpeedButton5")->isChecked());
    }
    Confirm<TNastav2>([](TNastav2& d) { Click(Child<QToolButton>(&d, "SpeedButton5")); });
    const ConfigValues v = Config().Snapshot();
    EXPECT_EQ(v.LanguageIndex, 1);
    EXPECT_EQ(v.LanguageCode, "ang");
    EXPECT_TRUE(HasLine(File(), "LANGUAGE=ang"));
    Reload();
    EXPECT_EQ(Config().Snapshot().LanguageIndex, 1);
    TNastav2 again;
    EXPECT_TRUE(Child<QToolButton>(&again, "SpeedButton5")->isChecked());
    EXPECT_FALSE(Child<QToolButton>(&again, "SpeedButton4")->isChecked());
}

TEST_F(SettingsDialogFiles, NewsAndPrintSaving)
{
    const struct {
        const char* name;
        char stored;
        bool click;
        const char* line;
    } news[] = {
        {"switched off", '3', true, "BASE=0"},
        {"switched on", '0', true, "BASE=3"},
        {"a stored 7 kept", '7', false, "BASE=7"},
    };
    for (const auto& n : news) {
        SCOPED_TRACE(n.name);
        Restart();
        Stored([&](ConfigValues& v) { v.NewsOption = n.stored; });
        Confirm<TNastav2>([&](TNastav2& d) {
            EXPECT_EQ(Child<QCheckBox>(&d, "CheckBox2")->isChecked(), n.stored > '0');
            if (n.click)
                Click(Child<QCheckBox>(&d, "CheckBox2"));
        });
        EXPECT_TRUE(HasLine(Section(File(), "[QEV news]"), n.line)) << File();
        Reload();
        TNastav2 again;
        EXPECT_EQ(Child<QCheckBox>(&again, "CheckBox2")->isChecked(), n.line != std::string("BASE=0"));
    }

    Restart();
    EXPECT_TRUE(HasLine(Section(File(), "[QEVW win]"), "PRINTER=P"));
    Confirm<TNastav2>([](TNastav2& d) { Click(Child<QCheckBox>(&d, "CheckBox1")); });
    EXPECT_FALSE(HasLine(Section(File(), "[QEVW win]"), "PRINTER=P")) << "saving paper writes no key";
    Reload();
    EXPECT_TRUE(Config().Snapshot().PrintSavingOption);
    TNastav2 again;
    EXPECT_TRUE(Child<QCheckBox>(&again, "CheckBox1")->isChecked());
}

TEST_F(SettingsDialogFiles, ANotesFileIsHeldUntilOkAndCutToEightLetters)
{
    filesChosen = {notesFolder_ + "poznamkyLekare.not"};
    {
        TNastav2 d;
        Show(&d);
        EXPECT_EQ(Child<QLabel>(&d, "Label5")->text().toStdString(), notesFolder_ + "NOTES");
        Click(Child<QToolButton>(&d, "SpeedButton1"));
        ASSERT_EQ(fileRequests.size(), 1u);
        EXPECT_EQ(fileRequests[0].folder, notesFolder_);
        EXPECT_EQ(fileRequests[0].proposed, notesFolder_ + "NOTES.NOT");
        EXPECT_EQ(fileRequests[0].defaultSuffix, "NOT");
        EXPECT_EQ(QtFilterOf(fileRequests[0].filter), "Poznámky (*.[nN][oO][tT])");
        EXPECT_EQ(Child<QLabel>(&d, "Label5")->text().toStdString(), notesFolder_ + "POZNAMKY");
        EXPECT_EQ(Config().Snapshot().NotesName, "NOTES") << "not before OK";
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_TRUE(HasLine(File(), "NOTES=POZNAMKY"));
    Reload();
    EXPECT_EQ(Config().Snapshot().NotesName, "POZNAMKY");
}

TEST_F(SettingsDialogFiles, ANotesFileOutsideTheNotesFolderIsRefused)
{
    const std::string before = File();
    filesChosen = {root_ + "elsewhere/NOTES2.NOT", ""};
    {
        TNastav2 d;
        Show(&d);
        Click(Child<QToolButton>(&d, "SpeedButton1"));
        ASSERT_EQ(boxes.Requests().size(), 1u);
        EXPECT_EQ(boxes.Requests()[0].text.toStdString(),
                  "Zdrojový soubor musí ležet ve složce " + notesFolder_);
        EXPECT_EQ(d.ChosenNotesName(), "NOTES");
        Click(Child<QToolButton>(&d, "SpeedButton1")); // cancelled
        EXPECT_EQ(d.ChosenNotesName(), "NOTES");
        Click(Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_EQ(File(), before);
}

TEST_F(SettingsDialogFiles, AMenuEntryThatCannotBeWrittenShowsWhyAndKeepsTheOldOne)
{
    test_support::ScopedUserFolders folders(root_ + "user");
    TNastav2 d;
    ASSERT_TRUE(Child<QToolButton>(&d, "SpeedButton3") != nullptr);
    EXPECT_FALSE(Child<QToolButton>(&d, "SpeedButton3")->isEnabled()) << "nothing to choose";
    d.SpeedLinkClick(2);
    const std::string entry = DesktopFolder() + "/KALVO Win.desktop";
    std::string old;
    ASSERT_EQ(ReadWholeFile(entry, old), 0);
    EXPECT_TRUE(boxes.Requests().empty());

    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Rename;
    fs.error = EACCES;
    d.SpeedLinkClick(2, fs);
    ASSERT_EQ(boxes.Requests().size(), 1u);
    EXPECT_EQ(boxes.Requests()[0].text.toStdString(),
              "Nelze uložit " + entry + " (" + SystemErrorText(EACCES) + ")");
    std::string now;
    ReadWholeFile(entry, now);
    EXPECT_EQ(now, old);
    EXPECT_EQ(QDir(QString::fromStdString(DesktopFolder())).entryList(QDir::Files | QDir::Hidden).size(), 1);

    d.SpeedLinkClick(1);
    EXPECT_TRUE(FileExists(ApplicationsFolder() + "/KALVO/KALVO Win.desktop"));
}
