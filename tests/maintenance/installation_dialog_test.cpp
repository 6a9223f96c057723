// The installation settings dialog in a window over a temporary installation
// base and a loopback update server: the first tab's warning and launcher
// switch, the check now, OK's save decision, the grid's actions by mouse and
// key with scripted boxes, the finishing of an installation with a stub
// program, and the connection and installation self-test.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "frame/config/config_file.h"
#include "maintenance/connection_test.h"
#include "maintenance/http_client.h"
#include "maintenance/installation_dialog.h"
#include "maintenance/version_folders.h"
#include "platform/cp1250.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "tests/maintenance/settings_test_support.h"
#include "tests/maintenance/update_test_support.h"
#include "tests/support/gui_app.h"

using updatetest::ReadBytes;
using updatetest::WriteBytes;

namespace {

std::string Text(const char* section, const char* key)
{
    return updatetest::Ui(section, key);
}

// A program that records its arguments beside itself and, as the file
// "exit" beside it says, exits with a code, sleeps or kills itself.
std::string ActingStub()
{
    return "#!/bin/sh\n"
           "d=$(dirname \"$0\")\n"
           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$d/args\"; done\n"
           "act=$(cat \"$d/exit\" 2>/dev/null)\n"
           "case \"$act\" in\n"
           "  kill) kill -9 $$ ;;\n"
           "  sleep) sleep 0.4; exit 0 ;;\n"
           "  '') exit 0 ;;\n"
           "  *) exit \"$act\" ;;\n"
           "esac\n";
}

class Nastav6Dialog : public updatetest::UpdateFixture {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        UpdateFixture::SetUp();
        Config().Update([](ConfigValues& v) {
            v.AutoUpdateSetting = 15;
            v.NotesFolder = "";
        });
        ResetBoxes(MessageAnswer::Ok);
    }
    void TearDown() override
    {
        sink_.reset();
        Config().Update([](ConfigValues& v) {
            v.ConnectionFlags = 0;
            v.ProxyAddress.clear();
            v.AutoUpdateSetting = 15;
        });
        UpdateFixture::TearDown();
    }
    // A complete version folder (program and data) with the acting stub.
    std::string Version(const std::string& name)
    {
        const std::string folder = base + name + "/";
        updatetest::CopyFlat(running, folder);
        WriteBytes(folder + kProgramFileName, ActingStub(), 0755);
        return folder;
    }
    void ShowTab(TNastav6& d, int tab)
    {
        settingstest::Show(&d);
        settingstest::Child<QTabBar>(&d, "Tabs")->setCurrentIndex(tab);
        QCoreApplication::processEvents();
    }
    // The display row of a folder on tab 2; -1 when it is not listed.
    static int RowOf(TNastav6& d, const std::string& name)
    {
        const std::vector<VersionRow> rows = d.ShownRows();
        for (size_t i = 1; i < rows.size(); ++i)
            if (rows[i][2] == name)
                return static_cast<int>(i) - 1;
        return -1;
    }
    static void ClickCell(TNastav6& d, int row, int column)
    {
        QTableWidget* t = d.Table();
        const QRect cell = t->visualRect(t->model()->index(row, column));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, cell.center());
    }
    std::vector<QString> BoxTexts() const
    {
        std::vector<QString> out;
        for (const MessageRequest& r : boxes->Requests())
            out.push_back(r.text);
        return out;
    }
    static QString Kam(const std::string& display) { return Cp1250ToQString(display); }

    void ResetBoxes(int answer)
    {
        sink_.reset();
        boxes = std::make_unique<RecordingMessageSink>(answer);
        sink_ = std::make_unique<ScopedMessageSink>(boxes.get());
    }

    std::unique_ptr<RecordingMessageSink> boxes;
    std::unique_ptr<ScopedMessageSink> sink_;
};

TEST_F(Nastav6Dialog, TabZeroWarnsUntilTheLauncherStartsTheNewest)
{
    Version("KALVO_26.2");
    TNastav6 d;
    ShowTab(d, 0);
    EXPECT_TRUE(d.WarningLabel()->isVisibleTo(&d));
    EXPECT_TRUE(
        settingstest::Child<QLabel>(&d, "v0ver")->text().startsWith(QStringLiteral("KALVO - 2026.1c")));
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b0ver"));
    EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.2/");
    EXPECT_FALSE(d.WarningLabel()->isVisibleTo(&d));
    EXPECT_TRUE(boxes->Requests().empty());
    settingstest::Shot(&d, "nastav6_tab0_after_switch");
}

TEST_F(Nastav6Dialog, AFailingLauncherWriteIsShownAndTheWarningStays)
{
    Version("KALVO_26.2");
    // A folder where the launcher should be: the save cannot replace it.
    QFile::remove(QString::fromStdString(base + kLauncherName));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(base + kLauncherName + "/x")));
    TNastav6 d;
    ShowTab(d, 0);
    ASSERT_TRUE(d.WarningLabel()->isVisibleTo(&d));
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b0ver"));
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith(Kam(Text("Chyby", "FileSave")))) << BoxTexts()[0].toStdString();
    EXPECT_TRUE(d.WarningLabel()->isVisibleTo(&d));
    EXPECT_TRUE(FolderExists(base + kLauncherName + "/x"));
}

TEST_F(Nastav6Dialog, CheckNowOfflineBusyAndANewerPackage)
{
    TNastav6 d;
    ShowTab(d, 0);
    QPushButton* check = settingstest::Child<QPushButton>(&d, "b2act");
    online = 0;
    settingstest::Click(check);
    EXPECT_EQ(d.CheckResultLabel()->text(), Kam(Text("Chyby", "NetNo")));
    online = 2;
    UpdateShared().serverListFetchStarted = true;
    settingstest::Click(check);
    EXPECT_EQ(d.CheckResultLabel()->text(), Kam(Text("Chyby", "eWTime")));
    EXPECT_TRUE(server.Log().empty());

    // A stale free-space message from the start-up does not stop the check.
    UpdateShared().serverListReady = true; // that fetch has ended
    UpdateShared().SetPendingServerMessage("old message");
    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x10; });
    Publish({{"kalvo263a.zip", std::string(1000, 'z')}});
    boxes->SetAnswer(MessageAnswer::Cancel);
    settingstest::Click(check);
    EXPECT_EQ(d.CheckResultLabel()->text(), QStringLiteral("KALVO - 2026.3a")) << RunLogText();
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_EQ(boxes->Requests()[0].buttons, MessageButtons::OkCancel);
    settingstest::Click(check);
    int lists = 0;
    for (const std::string& t : Targets())
        lists += t == "/files/list.txt" ? 1 : 0;
    EXPECT_EQ(lists, 2) << "each check fetches the list again";
    settingstest::Shot(&d, "nastav6_tab0_checked");
}

TEST_F(Nastav6Dialog, OkSavesOnlyWhatChanged)
{
    ASSERT_TRUE(SaveConfig(false));
    FileStamp stamp;
    ASSERT_TRUE(GetFileStamp(root + "kalvo.ini", &stamp));
    const std::string bytes = ReadBytes(root + "kalvo.ini");
    UpdateShared().serverListReady = true;
    {
        TNastav6 d;
        settingstest::Show(&d);
        settingstest::Click(settingstest::Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_EQ(ReadBytes(root + "kalvo.ini"), bytes);
    FileStamp after;
    ASSERT_TRUE(GetFileStamp(root + "kalvo.ini", &after));
    EXPECT_EQ(after, stamp) << "nothing changed, nothing written";
    EXPECT_TRUE(UpdateShared().serverListReady) << "the same connection keeps the list";

    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x0B; });
    {
        TNastav6 d;
        settingstest::Show(&d);
        settingstest::Click(settingstest::Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_EQ(Config().Snapshot().ConnectionFlags, 0x03);
    EXPECT_NE(ReadBytes(root + "kalvo.ini"), bytes);

    {
        TNastav6 d;
        ShowTab(d, 1);
        settingstest::Child<QLineEdit>(&d, "v4port")->setText(QStringLiteral("3128"));
        settingstest::Child<QCheckBox>(&d, "c2aut")->setChecked(false);
        settingstest::Click(settingstest::Child<QPushButton>(&d, "OKBtn"));
    }
    EXPECT_EQ(Config().Snapshot().ProxyAddress, ":3128");
    EXPECT_EQ(Config().Snapshot().AutoUpdateSetting, 0);
    EXPECT_FALSE(UpdateShared().serverListReady) << "a changed proxy fetches the list again";
    EXPECT_TRUE(updatetest::ReadBytes(root + "kalvo.ini").find("VBASE=0") != std::string::npos);

    // Cancel puts the connection back.
    {
        TNastav6 d;
        ShowTab(d, 1);
        settingstest::Click(settingstest::Child<QCheckBox>(&d, "c4http"));
        EXPECT_EQ(Config().Snapshot().ConnectionFlags & 0x10, 0x10) << "in force at once";
        settingstest::Click(settingstest::Child<QPushButton>(&d, "CancelBtn"));
    }
    EXPECT_EQ(Config().Snapshot().ConnectionFlags, 0x03);
}

TEST_F(Nastav6Dialog, GridStartsAndDeletesByMouseAndKey)
{
    Version("KALVO_25.4a");
    Version("KALVO_15.4");
    RecordingShell shell;
    ScopedShell scoped(&shell);
    TNastav6 d;
    ShowTab(d, 2);
    ASSERT_EQ(d.ShownRows().size(), 4u);
    EXPECT_EQ(d.ShownRows()[1][2], "KALVO_26.1c");
    int row = RowOf(d, "KALVO_25.4a");
    ASSERT_GE(row, 0);

    ClickCell(d, row, 4);
    d.Table()->setCurrentCell(RowOf(d, "KALVO_15.4"), 0);
    QTest::keyClick(d.Table(), Qt::Key_T);
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(), base + "KALVO_25.4a/qevw");
    EXPECT_EQ(shell.Calls()[0].arguments, (QStringList{QStringLiteral("/L=%"), QStringLiteral("/nw")}));
    EXPECT_EQ(shell.Calls()[1].arguments, QStringList{QStringLiteral("/nw")});

    shell.SetAnswer(2);
    ClickCell(d, row, 4);
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], Kam(Text("Chyby", "Exec")) + QStringLiteral("2"));

    // The running folder offers neither action.
    d.Table()->setCurrentCell(RowOf(d, "KALVO_26.1c"), 0);
    QTest::keyClick(d.Table(), Qt::Key_D);
    QTest::keyClick(d.Table(), Qt::Key_S);
    EXPECT_EQ(boxes->Requests().size(), 1u);

    boxes->SetAnswer(MessageAnswer::Cancel);
    d.Table()->setCurrentCell(row, 0);
    QTest::keyClick(d.Table(), Qt::Key_O);
    EXPECT_TRUE(FolderExists(base + "KALVO_25.4a/")) << "Cancel deletes nothing";
    settingstest::Shot(&d, "nastav6_tab2");

    boxes->SetAnswer(MessageAnswer::Ok);
    ClickCell(d, RowOf(d, "KALVO_25.4a"), 5);
    EXPECT_FALSE(FolderExists(base + "KALVO_25.4a/"));
    EXPECT_EQ(RowOf(d, "KALVO_25.4a"), -1);
    EXPECT_EQ(d.ShownRows().size(), 3u);
}

TEST_F(Nastav6Dialog, FinishingAnInstallation)
{
    const std::string folder = Version("KALVO_26.2");
    WriteBytes(folder + kInstallerLogName, "step 3 failed\r\n");
    QFile::remove(QString::fromStdString(folder + kManifestName));
    TNastav6 d;
    ShowTab(d, 2);
    auto install = [&](const char* name = "KALVO_26.2") {
        ResetBoxes(MessageAnswer::Yes);
        ClickCell(d, RowOf(d, name), 4);
    };
    install();
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith(Kam(Text("vKey", "vrEbd"))));
    EXPECT_TRUE(BoxTexts()[0].endsWith(QString::fromStdString(folder + kInstallerLogName)));
    EXPECT_TRUE(d.Memo()->toPlainText().startsWith(QStringLiteral("step 3 failed")))
        << d.Memo()->toPlainText().toStdString();

    WriteBytes(folder + kManifestName, ReadBytes(running + kManifestName));
    WriteBytes(folder + "exit", "3");
    install();
    ASSERT_EQ(boxes->Requests().size(), 2u);
    EXPECT_EQ(boxes->Requests()[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_TRUE(BoxTexts()[1].startsWith(Kam(Text("vKey", "vrEsg")) + QStringLiteral("3")));
    EXPECT_EQ(ReadBytes(folder + "args"), "/q=inst\n/z\n/y\n");

    // Finished: the installer removed its log; the row shows no error.
    WriteBytes(folder + "exit", "0");
    QFile::remove(QString::fromStdString(folder + "args"));
    QFile::remove(QString::fromStdString(folder + kInstallerLogName));
    WriteBytes(folder + kInstallerLogName, "");
    install();
    EXPECT_EQ(boxes->Requests().size(), 1u) << "only the question";
    EXPECT_TRUE(FileExists(folder + "args"));

    // No log at all: an empty memo, and the action goes on.
    QFile::remove(QString::fromStdString(folder + kInstallerLogName));
    QFile::remove(QString::fromStdString(folder + kManifestName));
    d.FillTab();
    d.Memo()->setPlainText(QStringLiteral("old"));
    install();
    EXPECT_TRUE(d.Memo()->toPlainText().isEmpty());

    // A binary log of 5 MB: its last megabyte shows, nothing on disk changes.
    std::string binary;
    for (int i = 0; binary.size() < 5u * 1024 * 1024; ++i)
        binary.push_back(static_cast<char>(i));
    WriteBytes(folder + kInstallerLogName, binary);
    d.FillTab();
    const auto kept = updatetest::Snapshot(folder);
    install();
    EXPECT_GT(d.Memo()->toPlainText().size(), 0);
    EXPECT_LE(d.Memo()->toPlainText().size(), 1024 * 1024);
    EXPECT_EQ(updatetest::Snapshot(folder), kept);
    QFile::remove(QString::fromStdString(folder + kInstallerLogName));

    // A version that cannot finish its own installation.
    const std::string older = Version("KALVO_20.1x");
    WriteBytes(older + kInstallerLogName, "x");
    d.FillTab();
    install("KALVO_20.1x");
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_TRUE(BoxTexts()[0].startsWith(Kam(Text("vKey", "vrEbs")))) << BoxTexts()[0].toStdString();
    EXPECT_FALSE(FileExists(older + "args"));
}

TEST_F(Nastav6Dialog, RunAndWaitGivesTheChildsEnd)
{
    const std::string folder = Version("KALVO_26.2");
    const std::string program = folder + kProgramFileName;
    struct Case {
        const char* act;
        int code;
    } cases[] = {{"0", 0}, {"3", 3}, {"kill", 137}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.act);
        WriteBytes(folder + "exit", c.act);
        EXPECT_EQ(TNastav6::RunAndWait(program, {"/q=inst", "/z", "/y"}), c.code);
    }
    // The event loop goes on while it waits.
    WriteBytes(folder + "exit", "sleep");
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    EXPECT_EQ(TNastav6::RunAndWait(program, {}), 0);
    EXPECT_TRUE(fired);

    WriteBytes(folder + "plain", "not a program", 0644);
    EXPECT_EQ(TNastav6::RunAndWait(folder + "plain", {"/q=inst"}), 300);
    ASSERT_EQ(boxes->Requests().size(), 1u);
    EXPECT_EQ(BoxTexts()[0],
              Kam(Text("Chyby", "Exec")) + QString::fromStdString("\"" + folder + "plain\" /q=inst"));
}

// --- The self-test ----------------------------------------------------------

class SelfTest : public Nastav6Dialog {
protected:
    std::vector<std::string> Lines(TNastav6& d)
    {
        std::vector<std::string> out;
        for (const QString& l : d.Memo()->toPlainText().split(QLatin1Char('\n')))
            out.push_back(QStringToCp1250(l));
        return out;
    }
};

TEST_F(SelfTest, ReportLinesAndTheReportCopied)
{
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(base + "Logs")));
    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x10; });
    server.SetBody("/files/list.txt", "kalvo263a.zip,100\r\n");
    const auto before = updatetest::Snapshot(base);
    TNastav6 d;
    ShowTab(d, 1);
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4test"));
    const char* const steps[] = {"webH", "logH", "logD", "upSc", "upFc",
                                 "upFr", "upFd", "upSd", "upAc", "upAd"};
    const std::vector<std::string> lines = Lines(d);
    ASSERT_EQ(lines.size(), std::size(steps)) << d.Memo()->toPlainText().toStdString();
    for (size_t i = 0; i < std::size(steps); ++i)
        EXPECT_EQ(lines[i], Text("iTest", steps[i]) + "OK");
    EXPECT_EQ(updatetest::Snapshot(base), before);
    settingstest::Shot(&d, "nastav6_tab1_tested");

    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4mail"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), d.Memo()->toPlainText());
    d.Memo()->clear();
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4mail"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

TEST_F(SelfTest, PlantedLinksAndOtherFailures)
{
    using Step = test_support::FailingFileSystem::Step;
    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x80; });
    QTemporaryDir outside;
    const std::string target = outside.path().toStdString() + "/precious";
    WriteBytes(target, "keep me");
    ASSERT_TRUE(QFile::link(QString::fromStdString(target), QString::fromStdString(base + "__test__.bat")));
    ASSERT_TRUE(QFile::link(outside.path(), QString::fromStdString(base + "testInst.0")));
    {
        TNastav6 d;
        ShowTab(d, 1);
        settingstest::Click(settingstest::Child<QPushButton>(&d, "b4test"));
        const std::vector<std::string> lines = Lines(d);
        EXPECT_EQ(lines[0], Text("iTest", "webH") + Text("iTest", "webS"));
        EXPECT_EQ(lines[1], Text("iTest", "logH") + base + "Logs/__test__.log") << "no Logs folder";
        EXPECT_EQ(lines[3], Text("iTest", "upSc") + base + "testInst.0/");
        EXPECT_EQ(lines[4], "   " + Text("Chyby", "PathNew") + std::to_string(ELOOP));
        EXPECT_EQ(lines[5], Text("iTest", "upAc") + base + "__test__.bat");
    }
    EXPECT_EQ(ReadBytes(target), "keep me");
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"precious"});
    QFile::remove(QString::fromStdString(base + "__test__.bat"));
    QFile::remove(QString::fromStdString(base + "testInst.0"));

    // A write failure with a good close: the write's code.
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(base + "Logs")));
    test_support::FailingFileSystem fs;
    fs.sync = false;
    fs.failAt = Step::Write;
    fs.error = EIO;
    TNastav6 d;
    ConnectionTestCalls calls = DefaultConnectionTestCalls();
    calls.files = &fs;
    d.SetTestCalls(calls);
    ShowTab(d, 1);
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4test"));
    const std::vector<std::string> lines = Lines(d);
    EXPECT_EQ(lines[1], Text("iTest", "logH") + base + "Logs/__test__.log");
    EXPECT_EQ(lines[2], "   " + Text("iTest", "logW") + "1005");
}

TEST_F(SelfTest, WithoutABaseOnlyTheReason)
{
    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x80; });
    ProgramStart().SharedRoot.clear();
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(root));
    const auto before = updatetest::Snapshot(root);
    TNastav6 d;
    ShowTab(d, 1);
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4test"));
    const std::vector<std::string> lines = Lines(d);
    QDir::setCurrent(cwd);
    EXPECT_EQ(lines, (std::vector<std::string>{Text("iTest", "webH") + Text("iTest", "webS"),
                                               Text("Chyby", "WrPath") + ": " + running}));
    EXPECT_EQ(updatetest::Snapshot(root), before);
    d.reject();
    // No base: the grid shows only its titles.
    TNastav6 grid;
    ShowTab(grid, 2);
    EXPECT_EQ(grid.ShownRows().size(), 1u);
    EXPECT_EQ(grid.Table()->rowCount(), 0);
}

TEST_F(SelfTest, AnHtmlReplyIsShownCut)
{
    Config().Update([](ConfigValues& v) { v.ConnectionFlags = 0x10; });
    std::string page = "<html>\n";
    while (page.size() < 1000000)
        page += "line of a portal page\n";
    server.SetBody("/files/list.txt", page);
    TNastav6 d;
    ShowTab(d, 1);
    settingstest::Click(settingstest::Child<QPushButton>(&d, "b4test"));
    const std::vector<std::string> lines = Lines(d);
    size_t shown = 0;
    for (const std::string& l : lines)
        shown += l.rfind("   line of", 0) == 0 || l == "   <html>" ? l.size() - 2 : 0;
    EXPECT_GT(shown, 3000u);
    EXPECT_LE(shown, 4096u);
}

} // namespace
