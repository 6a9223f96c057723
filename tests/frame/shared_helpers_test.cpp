// The shared helpers: the temporary folder, the data-store error box, the
// message boxes and the help request.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "fake_peer.h"
#include "frame/message_box.h"
#include "frame/start/ipc.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "start_fixtures.h"

using start_test::WriteText;

namespace {

TEST(Files, TempFolderSkipsWhatCannotBeAFolder)
{
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString();
    WriteText(root + "/plainfile", "");
    std::map<std::string, std::string> vars = {{"TEMP", root + "/plainfile"}, {"TMP", root + "/t2"}};
    EnvLookup env = [&](const char* n) { return vars.count(n) ? vars[n] : std::string(); };
    EXPECT_EQ(TempFolderFrom(env), root + "/t2/");
    EXPECT_TRUE(FolderExists(root + "/t2"));
    vars = {{"TMPDIR", root + "/t3/"}};
    EXPECT_EQ(TempFolderFrom(env), root + "/t3/");
    vars.clear();
    EXPECT_EQ(TempFolderFrom(env), "/tmp/");
}

TEST(Messages, DataStoreErrorBox)
{
    RecordingMessageSink sink;
    ScopedMessageSink scoped(&sink);
    const int before = DbFailureCount();
    DbStatus = DbCode::BadFormat;
    ShowDbError(TFileId("kl"), 5, 3);
    DbStatus = DbCode::NotExact;
    ShowDbError(TFileId("klnaz"), 0, 121);
    const auto r = sink.Requests();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].text.toStdString(), "DB Error: 20001 (loc.3)  File \"kl\":  record 5");
    EXPECT_EQ(r[0].icon, MessageIcon::Error);
    EXPECT_EQ(r[1].text.toStdString(), "DB Error: -20001 (loc.121)  File \"klnaz\":  record 0");
    EXPECT_EQ(r[1].icon, MessageIcon::Warning);
    EXPECT_EQ(DbFailureCount(), before + 1);
    DbStatus = 0;
}

TEST(Messages, QuestionsAndErrors)
{
    RecordingMessageSink sink(MessageAnswer::Yes);
    ScopedMessageSink scoped(&sink);
    EXPECT_EQ(AskYesNoCancel("Smazat?"), MessageAnswer::Yes);
    sink.SetAnswer(MessageAnswer::Cancel);
    EXPECT_EQ(AskOkCancel("Pokra\x9Fovat?"), MessageAnswer::Cancel);
    ShowError("Chyba \xA9"); // data code page: ř
    sink.SetAnswer(MessageAnswer::No);
    EXPECT_EQ(AskYesNo("Vytvo\xA9it?"), MessageAnswer::No);
    const auto r = sink.Requests();
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[3].buttons, MessageButtons::YesNo);
    EXPECT_EQ(r[3].icon, MessageIcon::Question);
    EXPECT_EQ(r[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(r[0].icon, MessageIcon::Question);
    EXPECT_EQ(r[0].caption.toStdString(), "KALVO");
    EXPECT_EQ(r[1].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(r[2].text.toStdString(), "Chyba ř");
    EXPECT_EQ(r[2].icon, MessageIcon::Error);
}

class HelpRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        saved = Ipc();
        savedStart = ProgramStart();
        savedDataDir = DataDir();
        Ipc() = IpcState{};
        Ipc().OwnWindow = OwnWindowOfProcess();
        Ipc().OwnExeName = QEVW_PROGRAM_DIR "/qevw"; // a real program to launch
        folder = tmp.path().toStdString() + "/";
        SetSocketFolderOverride(folder);
        ProgramStart().ProgramFolder = "/opt/kalvo/";
        SetDataDir("/srv/kalvo data/");
    }
    void TearDown() override
    {
        SetSocketFolderOverride("");
        Ipc() = saved;
        ProgramStart() = savedStart;
        SetDataDir(savedDataDir);
    }
    IpcState saved;
    StartValues savedStart;
    std::string savedDataDir;
    QTemporaryDir tmp;
    std::string folder;
};

TEST_F(HelpRequest, TakenByARunningCopyLaunchesNothing)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    start_test::FakePeer peer(SocketPathOf(folder, 0x20001), QueryVerdict::Taken);
    EXPECT_TRUE(RequestHelp("MeKlNe"));
    ASSERT_EQ(peer.texts.size(), 1u);
    EXPECT_EQ(peer.texts[0], "|y=15|q=help||1=MeKlNe|");
    EXPECT_TRUE(shell.Calls().empty());
}

TEST_F(HelpRequest, NotTakenLaunchesAHelpCopy)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    start_test::FakePeer peer(SocketPathOf(folder, 0x20001), QueryVerdict::OtherKind);
    EXPECT_TRUE(RequestHelp("Obsah_"));
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].url);
    EXPECT_EQ(calls[0].target.toStdString(), QEVW_PROGRAM_DIR "/qevw");
    const QStringList expected = {QString::fromStdString("/y=" + std::to_string(Ipc().OwnWindow)), "/q=help",
                                  "Obsah_", "/d=/srv/kalvo data/"};
    EXPECT_EQ(calls[0].arguments, expected);
    EXPECT_EQ(DataFolderOption(), " /d=/srv/kalvo data/");

    // With the data in the program folder no "/d=" is passed.
    SetDataDir(ProgramStart().ProgramFolder);
    EXPECT_TRUE(RequestHelp("Obsah_"));
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[1].arguments.size(), 3);
    EXPECT_EQ(DataFolderOption(), "");
}

} // namespace
