// The data update and the program installation against a loopback server,
// with packages made by update_kit.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "datastore/manifest.h"
#include "datastore/zip_file.h"
#include "maintenance/data_update.h"
#include "maintenance/update_lock.h"
#include "platform/cp1250.h"
#include "platform/gui/shell.h"
#include "platform/message_sink.h"
#include "platform/system.h"
#include "update_test_support.h"
#include "writers/zip_writer.h"

using namespace updatetest;

namespace {

// The packages of one test run, made once by update_kit: the demo data
// ("kalvo254o.zip") and a program package "win25.02.zip" whose program is a
// stub.
struct Kit {
    QTemporaryDir dir;
    std::string out, dataPackage, programPackage, programIni;
};

const Kit& Packages()
{
    static Kit* kit = [] {
        auto* k = new Kit;
        const std::string root = k->dir.path().toStdString() + "/";
        const std::string program = root + "program/";
        QDir().mkpath(QString::fromStdString(program));
        WriteBytes(program + "qevw", StubProgram(), 0755);
        for (const char* t : {"qevw.ces", "qevw.ang"})
            WriteBytes(program + t, ReadBytes(std::string(QEVW_PROGRAM_DIR) + "/" + t));
        k->out = root + "out/";
        std::string output;
        const int rc = Run(KitPath(),
                           {"packages", k->out, "--program", program, "--data", QEVW_DEMO_DATA_DIR,
                            "--version", "25.02", "--label", "Nová verze"},
                           &output);
        EXPECT_EQ(rc, 0) << output;
        k->dataPackage = ReadBytes(k->out + "kalvo254o.zip");
        k->programPackage = ReadBytes(k->out + "win25.02.zip");
        k->programIni = ReadBytes(k->out + "win25.02.ini");
        return k;
    }();
    return *kit;
}

// The entries of a package, with a change made to one.
std::string Repacked(const std::string& package, const std::string& entry,
                     const std::function<void(std::string&)>& change)
{
    const std::string path =
        QDir::tempPath().toStdString() + "/repack-" + std::to_string(ProcessId()) + ".zip";
    WriteBytes(path, package);
    TZipFile zip;
    zip.Open(path);
    const std::string folder = path + ".d/";
    QDir().mkpath(QString::fromStdString(folder));
    std::vector<ZipWriterEntry> entries;
    for (int i = 0; i < zip.Count(); ++i) {
        zip.Extract(i, folder);
        ZipWriterEntry e;
        e.name = zip.Name(i);
        e.data = ReadBytes(folder + e.name);
        e.mode = (zip.At(i).externalAttributes >> 16) & 0777;
        if (e.name == entry)
            change(e.data);
        entries.push_back(e);
    }
    QDir(QString::fromStdString(folder)).removeRecursively();
    QFile::remove(QString::fromStdString(path));
    return BuildZip(entries);
}

} // namespace

class DataUpdateTest : public UpdateFixture {
protected:
    void SetUp() override
    {
        UpdateFixture::SetUp();
        ASSERT_FALSE(Packages().dataPackage.empty());
        // The user's files beside the data, and a data file the package
        // brings in another version.
        WriteBytes(running + "MOJE.SGN", std::string("\x03\x00", 2));
        WriteBytes(running + "MOJE.TXT", "0001118\r\n");
        WriteBytes(running + "NOTES.NOT", std::string(256, 'n'));
        WriteBytes(running + "NOTES.PNT", std::string(8, '\xFF'));
        WriteBytes(running + "kab.dat", ReadBytes(running + "kab.dat") + "old");
        Config().Update([](ConfigValues& v) {
            v.SignListName = "MOJE";
            v.DeclinedPackage = "25.02|Nová verze";
        });
    }

    // Serves `bytes` under `name` and makes it the chosen package.
    void Offer(const std::string& name, const std::string& bytes, int64_t listed = -1)
    {
        Publish({{name, bytes}});
        UpdateShared().SetChosenPackage(name, listed < 0 ? static_cast<int64_t>(bytes.size()) : listed);
    }

    std::string Update(FileSystemOps& ops = RealFileSystem())
    {
        std::string message = "not run";
        updates::RunDataUpdate(message, ops);
        return message;
    }
};

TEST_F(DataUpdateTest, DataPackageEndToEnd)
{
    Offer("kalvo263a.zip", Packages().dataPackage);
    EXPECT_EQ(Update(), "");
    const std::string folder = base + "KALVO_26.1c3a/";
    EXPECT_TRUE(IsCompleteVersionFolder(folder));
    EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.1c3a/");
    EXPECT_FALSE(FileExists(folder + kInstallerLogName));
    EXPECT_EQ(ReadBytes(download + "kalvo263a.zip"), Packages().dataPackage) << "the package is kept";
    // The user's files came along; the package's own data file stays.
    for (const char* f : {"MOJE.SGN", "MOJE.TXT", "NOTES.NOT", "NOTES.PNT"})
        EXPECT_EQ(ReadBytes(folder + f), ReadBytes(running + f)) << f;
    EXPECT_EQ(ReadBytes(folder + "kab.dat"), ReadBytes(std::string(QEVW_DEMO_DATA_DIR) + "/kab.dat"));
    // A data package brings no program: the running one came along, runnable.
    EXPECT_EQ(ReadBytes(folder + "qevw"), StubProgram());
    unsigned mode = 0;
    ASSERT_EQ(RealFileSystem().FileMode(folder + "qevw", &mode), 0);
    EXPECT_EQ(mode & 0777, 0755u);
    std::string diffs;
    ManifestDiffs(folder, diffs);
    EXPECT_EQ(diffs, "");
    // UPD= cleared and saved.
    EXPECT_EQ(Config().Read([](const ConfigValues& v) { return v.DeclinedPackage; }), "");
    EXPECT_EQ(ReadBytes(root + "kalvo.ini").find("UPD="), std::string::npos);
    const std::string log = RunLogText();
    for (const char* line : {"Update=", "UpdateStart", "UpdateWeb=", "UpdateZip=", "DatCopy: "})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(DataUpdateTest, ProgramPackageEndToEnd)
{
    Offer("win25.02.zip", Packages().programPackage);
    EXPECT_EQ(Update(), "");
    const std::string folder = base + "KALVO_26.1c02/";
    EXPECT_TRUE(IsCompleteVersionFolder(folder));
    EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.1c02/");
    ASSERT_GE(LoadTextTable(UiTexts, folder + "qevw.ces"), TextTableResult::FirstSuccess);
    EXPECT_EQ(LookupText(UiTexts, "Uvod", "Ver"), "25.02") << "the new program's texts";
    EXPECT_EQ(ReadBytes(folder + "kl.dat"), ReadBytes(running + "kl.dat"))
        << "the data came from the running folder";
    EXPECT_EQ(ReadBytes(folder + "MOJE.SGN"), ReadBytes(running + "MOJE.SGN"));

    // The launcher only goes forward: an update from an older folder keeps it.
    ProgramStart().ProgramFolder = base + "KALVO_26.1b/";
    CopyFlat(running, base + "KALVO_26.1b/");
    const std::string before = ReadBytes(base + kLauncherName);
    EXPECT_EQ(Update(), "");
    EXPECT_TRUE(IsCompleteVersionFolder(base + "KALVO_26.1b02/"));
    EXPECT_EQ(ReadBytes(base + kLauncherName), before);
    EXPECT_NE(RunLogText().find("Launcher kept"), std::string::npos);
}

TEST_F(DataUpdateTest, EachFailureHasItsMessageAndLeavesTheLauncher)
{
    const std::string good = Packages().dataPackage;
    const std::string folder = base + "KALVO_26.1c3a/";
    // The address as built (the update server is then asked over plain http).
    const std::string url = "https://" + server.Address() + "/files/kalvo263a.zip";
    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x5A;
    const std::string manifestDiff = Repacked(good, "kalvo.kvo", [](std::string& kvo) {
        const size_t at = kvo.find("\nkl.dat=");
        const size_t comma = kvo.find(',', at);
        kvo.insert(comma + 1, "1");
    });
    test_support::FailingFileSystem full;
    full.failAt = test_support::FailingFileSystem::Step::Write;
    full.error = ENOSPC;
    full.failAfterBytes = 4096;
    full.sync = false;

    struct Case {
        std::string name;
        std::function<void()> prepare;
        std::string message; // the expected message's beginning
        bool folderWithLog;
        FileSystemOps* ops = &RealFileSystem();
    };
    const std::vector<Case> cases = {
        {"offline",
         [this, &good] {
             Offer("kalvo263a.zip", good);
             online = 0;
         },
         Ui("Inst", "none"), false},
        {"404",
         [this, &good] {
             Offer("kalvo263a.zip", good);
             server.SetError("/files/kalvo263a.zip", 404);
         },
         Ui("Chyba", "WebCopy") + url + " 404", true},
        {"body cut",
         [this, &good] {
             Offer("kalvo263a.zip", good);
             server.SetCut("/files/kalvo263a.zip", good, good.size() / 2);
         },
         Ui("Chyba", "WebCopy") + url + " 12030", true},
        {"one byte short",
         [this, &good] {
             Offer("kalvo263a.zip", good.substr(0, good.size() - 1), static_cast<int64_t>(good.size()));
         },
         Ui("Chyby", "WebSize") + "kalvo263a.zip " + std::to_string(good.size()) + " " +
             std::to_string(good.size() - 1),
         true},
        {"flipped byte", [this, &flipped] { Offer("kalvo263a.zip", flipped); }, Ui("Inst", "kvoDat") + ": ",
         true},
        {"manifest size", [this, &manifestDiff] { Offer("kalvo263a.zip", manifestDiff); },
         Ui("Inst", "kvoDat"), true},
        {"disk full", [this, &good] { Offer("kalvo263a.zip", good); }, Ui("Inst", "kvoDat") + ": ", true,
         &full},
        {"complete target",
         [this, &good, &folder] {
             Offer("kalvo263a.zip", good);
             CopyFlat(running, folder);
         },
         Ui("Chyby", "PathNew") + folder, false},
        {"no base",
         [this, &good] {
             Offer("kalvo263a.zip", good);
             ProgramStart().SharedRoot.clear();
         },
         Ui("Chyby", "WrPath") + ": " + running, false},
        {"hostile name", [this, &good] { Offer("../kalvo263a.zip", good); },
         Ui("Chyby", "WrPath") + ": " + running, false},
        {"not a version folder",
         [this, &good] {
             Offer("kalvo263a.zip", good);
             ProgramStart().ProgramFolder = base + "Program/";
         },
         Ui("Chyby", "WrPath") + ": " + base + "Program/", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QString::fromStdString(folder)).removeRecursively();
        QDir(QString::fromStdString(download)).removeRecursively();
        online = 2;
        ProgramStart().SharedRoot = base;
        ProgramStart().ProgramFolder = running;
        c.prepare();
        const auto before = Snapshot(base);
        const std::string message = Update(*c.ops);
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        EXPECT_EQ(ReadBytes(base + kLauncherName), launcherBytes);
        if (c.name == "complete target")
            EXPECT_EQ(Snapshot(base), before) << "a complete folder stays untouched";
        else
            EXPECT_EQ(FileExists(folder + kInstallerLogName), c.folderWithLog);
        if (c.folderWithLog)
            EXPECT_NE(ReadBytes(folder + kInstallerLogName).find("start update"), std::string::npos);
        if (c.name == "one byte short")
            EXPECT_FALSE(FileExists(download + "kalvo263a.zip")) << "a short download leaves no file";
        EXPECT_FALSE(IsCompleteVersionFolder(folder) && c.name != "complete target");
    }
    // An unfinished try is emptied and done again.
    ProgramStart().ProgramFolder = running;
    Offer("kalvo263a.zip", good);
    EXPECT_EQ(Update(), "");
    EXPECT_TRUE(IsCompleteVersionFolder(folder));
}

// Run as a child by the tests below: an update in this process, ended at a
// step, or slow.
TEST(UpdateChildProcess, RunsAnUpdate)
{
    const char* base = std::getenv("QEVW_UPDATE_CHILD_BASE");
    if (!base)
        GTEST_SKIP() << "run by DataUpdateTest.InterruptedAtEachStep and TwoProgramsAtOnce";
    static std::string stop = std::getenv("QEVW_UPDATE_CHILD_STOP");
    ProgramStart().SharedRoot = base;
    ProgramStart().ProgramFolder = std::string(base) + "KALVO_26.1c/";
    ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
              TextTableResult::FirstSuccess);
    const std::string server = std::getenv("QEVW_UPDATE_CHILD_SERVER");
    ReplaceEndpoints(Endpoints{server, server, server, "127.0.0.1", server, server});
    SetDownloadFolderOverride(std::getenv("QEVW_UPDATE_CHILD_DOWNLOAD"));
    Config().SetPaths(std::string(base) + "../kalvo.ini", "");
    UpdateServices hooks;
    hooks.isOnline = [] { return 2; };
    SetUpdateServices(hooks);
    UpdateShared().SetChosenPackage("kalvo263a.zip", std::atoll(std::getenv("QEVW_UPDATE_CHILD_SIZE")));
    SetUpdateStepHook([](std::string_view step) {
        if (step == stop)
            std::_Exit(9);
    });
    // Killed between the launcher's temporary file and its rename.
    struct DyingRename : FileSystemOps {
        int Rename(const std::string& from, const std::string& to) override
        {
            if (stop == "rename" && to.size() >= 7 && to.substr(to.size() - 7) == kLauncherName)
                std::_Exit(9);
            return FileSystemOps::Rename(from, to);
        }
    } ops;
    std::string message;
    updates::RunDataUpdate(message, ops);
    std::printf("message: %s\n", message.c_str());
    EXPECT_TRUE(stop.empty() || stop == "none") << "not ended at " << stop;
}

class DataUpdateProcessTest : public DataUpdateTest {
protected:
    QProcess* Child(const std::string& stop)
    {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QEVW_UPDATE_CHILD_BASE", QString::fromStdString(base));
        env.insert("QEVW_UPDATE_CHILD_STOP", QString::fromStdString(stop));
        env.insert("QEVW_UPDATE_CHILD_SERVER", QString::fromStdString(server.Address()));
        env.insert("QEVW_UPDATE_CHILD_DOWNLOAD", QString::fromStdString(download));
        env.insert("QEVW_UPDATE_CHILD_SIZE", QString::number(Packages().dataPackage.size()));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->start(QString::fromStdString(ExecutablePath()),
                 {"--gtest_filter=UpdateChildProcess.RunsAnUpdate"});
        return p;
    }
};

TEST_F(DataUpdateProcessTest, InterruptedAtEachStep)
{
    Offer("kalvo263a.zip", Packages().dataPackage);
    const std::string folder = base + "KALVO_26.1c3a/";
    for (const std::string stop :
         {"folder", "log", "download", "unzip", "copy", "test", "done", "launcher", "rename"}) {
        SCOPED_TRACE(stop);
        QDir(QString::fromStdString(folder)).removeRecursively();
        ASSERT_EQ(WriteLauncher(base, "KALVO_26.1c", QuickFileSystem()), 0);
        std::unique_ptr<QProcess> child(Child(stop));
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->exitCode(), 9) << child->readAll().toStdString();
        // The launcher names a complete folder, and that folder starts.
        const std::string target = ReadLauncherTarget(base + kLauncherName);
        ASSERT_FALSE(target.empty());
        EXPECT_TRUE(IsCompleteVersionFolder(base + target));
        EXPECT_EQ(updatetest::Run(base + kLauncherName, {"x"}), 0);
        // A folder left on the way is unfinished, or complete.
        if (FolderExists(folder))
            EXPECT_TRUE(FileExists(folder + kInstallerLogName) || IsCompleteVersionFolder(folder) ||
                        ListFolder(folder).empty());
        // A new update works unless the folder was already complete.
        if (!IsCompleteVersionFolder(folder)) {
            EXPECT_EQ(Update(), "");
            EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.1c3a/");
        }
    }
}

TEST_F(DataUpdateProcessTest, TwoAtOnceOneRunsTheOtherWaits)
{
    // Two threads of one program.
    server.SetSlow("/files/kalvo263a.zip", Packages().dataPackage, 800);
    UpdateShared().SetChosenPackage("kalvo263a.zip", static_cast<int64_t>(Packages().dataPackage.size()));
    server.SetBody("/files/list.txt",
                   "kalvo263a.zip," + std::to_string(Packages().dataPackage.size()) + "\r\n");
    std::string first = "not run";
    std::thread a([&first] { updates::RunDataUpdate(first); });
    for (int i = 0; i < 1000 && Targets().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Update(), Ui("Chyby", "eWTime"));
    a.join();
    EXPECT_EQ(first, "");

    // Two programs.
    QDir(QString::fromStdString(base + "KALVO_26.1c3a")).removeRecursively();
    ASSERT_EQ(WriteLauncher(base, "KALVO_26.1c", QuickFileSystem()), 0);
    const size_t requests = Targets().size();
    std::unique_ptr<QProcess> child(Child("none"));
    for (int i = 0; i < 2000 && Targets().size() == requests; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Update(), Ui("Chyby", "eWTime"));
    ASSERT_TRUE(child->waitForFinished(60000));
    EXPECT_NE(child->readAll().toStdString().find("message: \n"), std::string::npos);
    EXPECT_TRUE(IsCompleteVersionFolder(base + "KALVO_26.1c3a/"));
}

// Run as a child: installer mode held until standard input ends.
TEST(InstallerChildProcess, HoldsInstallerMode)
{
    const char* folder = std::getenv("QEVW_INSTALLER_CHILD_FOLDER");
    if (!folder)
        GTEST_SKIP() << "run by DataUpdateProcessTest.SecondInstallerModeIsRefused";
    ProgramStart().SharedRoot = std::getenv("QEVW_INSTALLER_CHILD_BASE");
    ProgramStart().ProgramFolder = folder;
    ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
              TextTableResult::FirstSuccess);
    ASSERT_TRUE(updates::StartInstallerMode());
    std::printf("held\n");
    std::fflush(stdout);
    char c;
    while (std::fread(&c, 1, 1, stdin) == 1) {
    }
}

TEST_F(DataUpdateProcessTest, SecondInstallerModeIsRefused)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QEVW_INSTALLER_CHILD_FOLDER", QString::fromStdString(running));
    env.insert("QEVW_INSTALLER_CHILD_BASE", QString::fromStdString(base));
    child.setProcessEnvironment(env);
    child.start(QString::fromStdString(ExecutablePath()),
                {"--gtest_filter=InstallerChildProcess.HoldsInstallerMode"});
    std::string out;
    while (out.find("held\n") == std::string::npos && child.waitForReadyRead(30000))
        out += child.readAll().toStdString();
    ASSERT_NE(out.find("held\n"), std::string::npos) << out;
    const std::string log = ReadBytes(running + kInstallerLogName);
    EXPECT_EQ(log.rfind(" =====  process instal\r\n", 0), 0u) << log;

    RecordingMessageSink sink;
    ScopedMessageSink scoped(&sink);
    EXPECT_FALSE(updates::StartInstallerMode());
    ASSERT_EQ(sink.Requests().size(), 1u);
    EXPECT_EQ(QStringToCp1250(sink.Requests()[0].text), Ui("Chyby", "InstLog"));
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(30000));
    // A data update waits for no installer mode that has ended.
    UpdateLockHold hold;
    EXPECT_TRUE(hold.Take(base, 0));
}

class ProgramUpdateTest : public DataUpdateTest {
protected:
    void SetUp() override
    {
        DataUpdateTest::SetUp();
        previous_ = SetShell(&shell);
        UpdateShared().SetChosenPackage("kalvo263a.zip", 5);
        server.SetBody("/files/list.txt", "kalvo263a.zip,5\r\n");
        updates::LoadServerList();
    }
    void TearDown() override
    {
        SetShell(previous_);
        DataUpdateTest::TearDown();
    }

    RecordingShell shell;
    ShellOps* previous_ = nullptr;
};

TEST_F(ProgramUpdateTest, TheNewCopyStartsInInstallerMode)
{
    std::string message = "not run";
    InstallProgramPackage(message);
    EXPECT_EQ(message, "");
    const std::string folder = base + "KALVO_26.3a/";
    EXPECT_EQ(ReadBytes(folder + "qevw"), StubProgram()) << "the running program, no package being newer";
    EXPECT_FALSE(FileExists(folder + "kl.dat")) << "the data come with the package, in installer mode";
    const std::string log = ReadBytes(folder + kInstallerLogName);
    EXPECT_EQ(log.rfind("start instal\r\n", 0), 0u) << "the log stays for the new copy";
    EXPECT_NE(log.find("Best=" + folder), std::string::npos);
    EXPECT_EQ(UpdateStatusText().Get(), Ui("Inst", "staR"));
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(), folder + "qevw");
    ASSERT_EQ(shell.Calls()[0].arguments.size(), 2);
    EXPECT_TRUE(shell.Calls()[0].arguments[0].startsWith("/y="));
    EXPECT_EQ(shell.Calls()[0].arguments[1], "/q=inst");
    EXPECT_EQ(ReadBytes(base + kLauncherName), launcherBytes) << "the launcher waits for the installer";
}

TEST_F(ProgramUpdateTest, NewerProgramPackageAndFailures)
{
    // A newer program package comes down and unpacks into the new folder.
    Publish({{"kalvo263a.zip", "xxxxx"}, {"win25.02.zip", Packages().programPackage}});
    updates::LoadServerList();
    UpdateShared().SetChosenPackage("kalvo263a.zip", 5);
    std::string message = "not run";
    InstallProgramPackage(message);
    EXPECT_EQ(message, "");
    EXPECT_EQ(ReadBytes(base + "KALVO_26.3a/qevw"), StubProgram());
    EXPECT_TRUE(FileExists(base + "KALVO_26.3a/qevw.ces"));
    EXPECT_NE(RunLogText().find("UnZipExe "), std::string::npos);

    // The copy cannot start.
    QDir(QString::fromStdString(base + "KALVO_26.3a")).removeRecursively();
    shell.SetAnswer(5);
    UpdateShared().SetChosenPackage("kalvo263a.zip", 5);
    InstallProgramPackage(message);
    EXPECT_EQ(message, Ui("Chyby", "Exec") + base + "KALVO_26.3a/qevw 5");
    EXPECT_NE(ReadBytes(base + "KALVO_26.3a/" + kInstallerLogName).find("error Exec 5\r\n"),
              std::string::npos);

    // The package of the running folder.
    ProgramStart().ProgramFolder = base + "KALVO_26.3a/";
    UpdateShared().SetChosenPackage("kalvo263a.zip", 5);
    InstallProgramPackage(message);
    EXPECT_EQ(message, "*** new = old -> stop ***");
}

TEST_F(ProgramUpdateTest, TheRealProgramStartsAsInstaller)
{
    // The running folder holds the real program and its texts.
    for (const char* f : {"qevw", "qevw.ces", "qevw.ang"}) {
        QFile::remove(QString::fromStdString(running + f));
        ASSERT_TRUE(QFile::copy(QString::fromStdString(std::string(QEVW_PROGRAM_DIR) + "/" + f),
                                QString::fromStdString(running + f)));
    }
    std::string message = "not run";
    InstallProgramPackage(message);
    ASSERT_EQ(message, "");
    ASSERT_EQ(shell.Calls().size(), 1u);
    const std::string folder = base + "KALVO_26.3a/";
    const size_t requests = Targets().size();

    // Started as the shell would start it.
    QProcess copy;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("NODALCFG", QString::fromStdString(root + "copy.ini"));
    env.insert("QEVW_UPDATE_HOST", QString::fromStdString(server.Address()));
    env.insert("QEVW_UPDATE_FRAGMENT", "127.0.0.1");
    env.insert("TMPDIR", QString::fromStdString(root));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(root));
    copy.setProcessEnvironment(env);
    copy.start(shell.Calls()[0].target, shell.Calls()[0].arguments);
    std::string log;
    for (int i = 0; i < 300; ++i) {
        log = ReadBytes(folder + kInstallerLogName);
        if (log.find(" =====  process instal") != std::string::npos && Targets().size() > requests)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    copy.kill();
    copy.waitForFinished(10000);
    EXPECT_NE(log.find(" =====  process instal\r\n"), std::string::npos) << log;
    ASSERT_GT(Targets().size(), requests);
    // The copy fetches the list first (its installer page then goes on to the
    // package).
    EXPECT_EQ(Targets()[requests], "/files/list.txt");
}

TEST_F(DataUpdateTest, StartPageNoticeOfADeclinedPackage)
{
    struct Case {
        const char* declined;
        const char* version;
        std::string status;
    };
    const Case cases[] = {{"25.02|x", "25.01", "x"}, {"25.02|x", "25.02", ""}, {"25.01|x", "25.02", ""}};
    for (const Case& c : cases) {
        UpdateStatusText().Set("");
        UpdateShared().SetStartPageNotice(c.declined);
        // The main window's step 14, then the start page's notice.
        if (!NoticeIsNewer(c.declined, c.version))
            UpdateShared().SetStartPageNotice("");
        ComposeStartPageNoticeNow();
        EXPECT_EQ(UpdateStatusText().Get(), c.status) << c.declined << " under " << c.version;
    }
}
