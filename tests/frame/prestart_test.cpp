// The start-up check: folder checks and their messages, the values it fixes,
// the one-shot web checks and the batch duplicity run with its exit codes and
// result file.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/start/prestart.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "start_fixtures.h"
#include "tests/support/failing_file_system.h"

using start_test::ReadText;
using start_test::StartFolders;
using start_test::WriteText;

namespace {

class PreStart : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_test::EnsureApp();
        vars["NODALCFG"] = f.root + "nodal.cfg";
        vars["TEMP"] = f.root + "temp";
        vars["COMPUTERNAME"] = "ordinace";
    }
    void TearDown() override
    {
        SetViewerServices({});
        FreeTextTable(UiTexts);
    }

    PreStartResult Run(std::vector<std::string> args, std::string program = {})
    {
        PreStartInput in;
        in.commandLine = ParseCommandLine(args);
        in.executablePath = (program.empty() ? f.program : program) + "qevw";
        in.environment = [this](const char* n) {
            auto it = vars.find(n);
            return it == vars.end() ? std::string() : it->second;
        };
        in.sink = &sink;
        in.fileSystem = fs;
        return PreStartCheck(in);
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> t;
        for (const MessageRequest& r : sink.Requests())
            t.push_back(r.text.toStdString());
        return t;
    }

    std::string ResultFile() const { return vars.at("TEMP") + "/qevw_rez.txt"; }

    StartFolders f;
    std::map<std::string, std::string> vars;
    RecordingMessageSink sink;
    FileSystemOps* fs = nullptr;
};

TEST_F(PreStart, FolderChecksRefuseWithTheirMessages)
{
    // The data folder does not exist.
    PreStartResult r = Run({"-d=" + f.root + "none"});
    EXPECT_FALSE(r.start);
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Fatal Error:  Folder  " + f.root + "none/  doesn't exist");

    // A folder without "kalvo.ces" and no launcher above it.
    const std::string bare = f.base + "bare/";
    WriteText(bare + "kl.dat", "x");
    r = Run({"/d=" + bare});
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    ASSERT_EQ(Texts().size(), 2u);
    EXPECT_EQ(Texts()[1], "Fatal Error:  " + bare + "  isn't folder with data for KALVO");

    // A program folder without "qevw.ces".
    const std::string prog = f.root + "prog2/";
    WriteText(prog + "readme", "");
    r = Run({"-d=" + f.dataA}, prog);
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    ASSERT_EQ(Texts().size(), 3u);
    EXPECT_EQ(Texts()[2], "Fatal Error:  Missing qevw.ces in folder  " + prog);
    EXPECT_EQ(sink.Requests()[2].icon, MessageIcon::None);
}

TEST_F(PreStart, LauncherAboveTheDataFolderReplacesTheTextTableTest)
{
    const std::string bare = f.base + "KALVO_26.1/";
    WriteText(bare + "kl.dat", "x");
    WriteText(f.base + "Qevw.sh", "exec ./KALVO_26.1/qevw \"$@\"\n");
    const PreStartResult r = Run({"-d=" + bare});
    EXPECT_TRUE(r.start);
    EXPECT_TRUE(Texts().empty());
    EXPECT_EQ(ProgramStart().SharedRoot, f.base);
    EXPECT_EQ(ProgramStart().LogFolder, f.base + "Logs/");
}

TEST_F(PreStart, FixesTheStartValues)
{
    const PreStartResult r = Run({"/D=" + f.dataA.substr(0, f.dataA.size() - 1),
                                  "P\xC5\x99\xC3\xAD"
                                  "bram",
                                  "-a=0012345", "/Q=mkn"});
    ASSERT_TRUE(r.start);
    const StartValues& s = ProgramStart();
    EXPECT_EQ(DataDir(), f.dataA);
    EXPECT_EQ(s.ProgramFolder, f.program);
    EXPECT_EQ(s.SharedRoot, ""); // no launcher in base/
    EXPECT_EQ(s.ProgramType, ProgramKind::Diagnoses);
    EXPECT_EQ(s.PositionalCount, 1);
    // Plain arguments in the data code page, then "a=" without a bar.
    EXPECT_EQ(s.Positionals, "|1=P\xA9\xA1"
                             "bram|a=0012345");
    EXPECT_EQ(KamToWin(GetOption("1", s.Positionals)), "P\xF8\xED"
                                                       "bram");
    EXPECT_EQ(s.WorkstationName, "ORDINACE");
}

TEST_F(PreStart, WithoutOptionDTheProgramFolderHoldsTheData)
{
    StartFolders::MakeDataFolder(f.program, 0x0100);
    const PreStartResult r = Run({});
    EXPECT_TRUE(r.start);
    EXPECT_EQ(DataDir(), f.program);
    EXPECT_EQ(ProgramStart().ProgramType, ProgramKind::Normal);
}

TEST_F(PreStart, UnusableCommandLineIsRefused)
{
    const std::string arg(256, 'x');
    const PreStartResult r = Run({"-d=" + f.dataA, arg});
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Fatal Error:  Unusable command line:  " + arg);
}

TEST_F(PreStart, OneShotOpensTheCheckPageWithTheValue)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    // The value is shown as display text and percent-encoded as UTF-8.
    const PreStartResult r = Run({"/q=idup", "0012345,P\xC5\x99\xC3\xAD"
                                             "bram"});
    EXPECT_FALSE(r.start);
    EXPECT_EQ(r.exitCode, ExitCode::Normal);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_TRUE(shell.Calls()[0].url);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(),
              "https://check.example/dup/?list=0012345%2CP%C5%99%C3%ADbram");
    EXPECT_TRUE(Texts().empty());

    // "kik" has a bare address: its "!" second text adds no query.
    Run({"/q=ikik", "x"});
    ASSERT_EQ(shell.Calls().size(), 2u);
    EXPECT_EQ(shell.Calls()[1].target.toStdString(), "https://check.example/kik/x");
}

TEST_F(PreStart, OneShotWithoutAnAddressOrABrowserFails)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    // "kid" has no address: its "!! " text is never opened.
    PreStartResult r = Run({"/q=ikid", "x"});
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    EXPECT_TRUE(shell.Calls().empty());
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Stránku nelze otevřít, chyba ");
    EXPECT_EQ(sink.Requests()[0].icon, MessageIcon::Error);

    shell.SetAnswer(ShellResult::NoAssociation);
    r = Run({"/q=idup", "x"});
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    EXPECT_EQ(shell.Calls().size(), 1u);
}

TEST_F(PreStart, OneShotWithAnUnreadableTextTable)
{
    RecordingShell shell;
    ScopedShell scoped(&shell);
    WriteText(f.program + "qevw.ces", "M6"); // shorter than a header
    const PreStartResult r = Run({"/q=idup", "x"});
    EXPECT_EQ(r.exitCode, ExitCode::Refused);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0], "Unable to read \"" + f.program + "qevw.ces\":3");
    EXPECT_TRUE(shell.Calls().empty());
}

// --- The batch run, in process with registered checks ----------------------

struct BatchCase {
    BatchDuplicityResult::Kind kind;
    int exitCode;
    const char* file; // nullptr: no file
};

TEST_F(PreStart, BatchOutcomesGiveTheirExitCodeAndFile)
{
    const BatchCase cases[] = {
        {BatchDuplicityResult::Findings, 1, "{ \"alert\":true }\n"},
        {BatchDuplicityResult::NoFindings, 0, "{ \"alert\":false }\n"},
        {BatchDuplicityResult::NoList, 200, nullptr},
        {BatchDuplicityResult::Failed, 2, nullptr},
    };
    for (const BatchCase& c : cases) {
        BatchDuplicityRequest seen;
        ViewerServices v;
        v.runBatchDuplicityCheck = [&](const BatchDuplicityRequest& req) {
            seen = req;
            return BatchDuplicityResult{c.kind, "list unreadable"};
        };
        SetViewerServices(v);
        WriteText(ResultFile(), "{ \"alert\":true }\n"); // an earlier run's answer
        const PreStartResult r = Run({"/q=dupl", "/z", "-d=" + f.dataA, "/b=/srv/list.xml"});
        EXPECT_FALSE(r.start);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(GetOption("b", seen.options), "/srv/list.xml");
        if (c.file)
            EXPECT_EQ(ReadText(ResultFile()), c.file);
        else
            EXPECT_FALSE(FileExists(ResultFile()));
        EXPECT_TRUE(Texts().empty()); // no boxes in a batch run
    }
}

TEST_F(PreStart, BatchRefusesWithoutListFolderOrCheck)
{
    int calls = 0;
    ViewerServices v;
    v.runBatchDuplicityCheck = [&](const BatchDuplicityRequest&) {
        ++calls;
        return BatchDuplicityResult{BatchDuplicityResult::NoFindings, {}};
    };
    SetViewerServices(v);
    WriteText(ResultFile(), "{ \"alert\":false }\n");
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + f.dataA}).exitCode, ExitCode::NoList);
    EXPECT_FALSE(FileExists(ResultFile()));

    WriteText(ResultFile(), "{ \"alert\":false }\n");
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + f.root + "none", "1,2"}).exitCode, ExitCode::Refused);
    EXPECT_FALSE(FileExists(ResultFile()));

    // A folder whose drug table has another record length is no data folder.
    const std::string other = f.base + "other/";
    QDir().mkpath(QString::fromStdString(other));
    start_test::WriteDrugTable(other, 0x0100, 300);
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + other, "1,2"}).exitCode, ExitCode::Refused);
    EXPECT_EQ(calls, 0);

    SetViewerServices({});
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + f.dataA, "1,2"}).exitCode, ExitCode::Refused);
    EXPECT_FALSE(FileExists(ResultFile()));
    EXPECT_TRUE(Texts().empty());
}

TEST_F(PreStart, BatchDataStoreErrorOutweighsTheAnswer)
{
    ViewerServices v;
    v.runBatchDuplicityCheck = [](const BatchDuplicityRequest&) {
        DbStatus = DbCode::BadFormat;
        CallDbErrorHook(TFileId("klc"), 0, 3);
        return BatchDuplicityResult{BatchDuplicityResult::NoFindings, {}};
    };
    SetViewerServices(v);
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + f.dataA, "1,2"}).exitCode, ExitCode::Refused);
    EXPECT_FALSE(FileExists(ResultFile()));
}

TEST_F(PreStart, BatchResultThatCannotBeWrittenIsAFailure)
{
    ViewerServices v;
    v.runBatchDuplicityCheck = [](const BatchDuplicityRequest&) {
        return BatchDuplicityResult{BatchDuplicityResult::Findings, {}};
    };
    SetViewerServices(v);
    // Every file operation of the result write fails after the old file is gone.
    test_support::FailingFileSystem failing;
    failing.failAt = test_support::FailingFileSystem::Step::Create;
    failing.error = EACCES;
    fs = &failing;
    WriteText(ResultFile(), "{ \"alert\":false }\n");
    EXPECT_EQ(Run({"/q=dupl", "/z", "-d=" + f.dataA, "1,2"}).exitCode, ExitCode::Refused);
    EXPECT_FALSE(FileExists(ResultFile()));
}

// --- The batch run as a real process without a display ---------------------

struct ProcessRun {
    int exitCode = -1;
    std::string out, err;
};

ProcessRun RunQevw(const QStringList& args, const QProcessEnvironment& env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QEVW_PROGRAM_DIR "/qevw"), args);
    ProcessRun r;
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

TEST(BatchProcess, RunsWithoutADisplay)
{
    StartFolders f;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Without a display a GUI application could not even start.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    const std::string temp = f.root + "temp";
    env.insert("TEMP", QString::fromStdString(temp));
    env.insert("NODALCFG", QString::fromStdString(f.root + "nodal.cfg"));
    const std::string result = temp + "/qevw_rez.txt";

    WriteText(result, "{ \"alert\":true }\n");
    ProcessRun r = RunQevw({"/q=dupl", "/z", QString::fromStdString("-d=" + f.dataA)}, env);
    EXPECT_EQ(r.exitCode, 200);
    EXPECT_FALSE(FileExists(result));

    WriteText(result, "{ \"alert\":true }\n");
    r = RunQevw({"/q=dupl", "/z", QString::fromStdString("-d=" + f.root + "none"), "0012345,0054321"}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Fatal Error:  Folder  " + f.root + "none/  doesn't exist\n");
    EXPECT_FALSE(FileExists(result));

    // The program's check refuses a folder without the tables it reads.
    r = RunQevw({"/q=dupl", "/z", QString::fromStdString("-d=" + f.dataA), "0012345,0054321"}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Cannot open the data table"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(result));

    // An unusable line of a batch caller: standard error only, no box.
    r = RunQevw({"/q=dupl", "/z", "a|b"}, env);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Fatal Error:  Unusable command line:  a|b\n");
}

} // namespace
