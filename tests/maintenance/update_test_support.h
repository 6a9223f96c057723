#pragma once
// The world of the update tests: an installation base in a temporary folder
// with a running version folder (the demo data and a stub program), the
// launcher naming it, a loopback update server, a private download folder,
// a configuration file, the UI texts, and every process-wide value the
// update code reads put back afterwards.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "frame/windows/main_form.h"
#include "maintenance/download_folder.h"
#include "maintenance/endpoints.h"
#include "maintenance/server_list.h"
#include "maintenance/version_folders.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "support/failing_file_system.h"
#include "support/http_test_server.h"

namespace updatetest {

inline std::string ReadBytes(const std::string& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

// The real file system without its syncs: fixtures are made many times.
inline FileSystemOps& QuickFileSystem()
{
    static test_support::FailingFileSystem* fs = [] {
        auto* f = new test_support::FailingFileSystem;
        f->sync = false;
        return f;
    }();
    return *fs;
}

inline void WriteBytes(const std::string& path, const std::string& bytes, unsigned mode = 0644)
{
    FileSaver saver(path, QuickFileSystem(), SaveMode{.fileMode = mode});
    saver.Write(bytes);
    ASSERT_TRUE(saver.Commit()) << path;
}

// The flat files of a folder copied into another.
inline void CopyFlat(const std::string& from, const std::string& to)
{
    QDir().mkpath(QString::fromStdString(to));
    for (const FolderEntry& e : ListFolder(from))
        if (e.kind == FolderEntry::Kind::File)
            WriteBytes(WithTrailingSlash(to) + e.name, ReadBytes(WithTrailingSlash(from) + e.name),
                       e.mode & 0777);
}

// A program that records its arguments, one per line, in "args" beside
// itself.
inline std::string StubProgram()
{
    return "#!/bin/sh\nd=$(dirname \"$0\")\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$d/args\"; done\n";
}

// A UI text in the display code page, as the update messages carry it.
inline std::string Ui(const char* section, const char* key)
{
    return KamToWin(LookupText(UiTexts, section, key));
}

// The files of every folder under `base` with their bytes, for "nothing
// changed" checks.
inline std::map<std::string, std::string> Snapshot(const std::string& base)
{
    std::map<std::string, std::string> out;
    for (const FolderEntry& e : ListFolder(base)) {
        if (e.kind == FolderEntry::Kind::File)
            out[e.name] = ReadBytes(base + e.name);
        else if (e.kind == FolderEntry::Kind::Folder)
            for (const auto& [name, bytes] : Snapshot(base + e.name + "/"))
                out[e.name + "/" + name] = bytes;
    }
    return out;
}

// Runs a command; its exit code (-1 when it could not run).
inline int Run(const std::string& program, const std::vector<std::string>& args,
               std::string* output = nullptr)
{
    QProcess p;
    QStringList list;
    for (const std::string& a : args)
        list << QString::fromStdString(a);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromStdString(program), list);
    if (!p.waitForFinished(120000))
        return -1;
    if (output)
        *output = p.readAll().toStdString();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

inline std::string KitPath()
{
    return std::string(QEVW_BINARY_DIR) + "/tools/update_kit";
}

class UpdateFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "test_maintenance";
            static char* argv[] = {name, nullptr};
            new QCoreApplication(argc, argv);
        }
        ASSERT_TRUE(tmp_.isValid());
        root = tmp_.path().toStdString() + "/";
        base = root + "base/";
        running = base + "KALVO_26.1c/";
        download = root + "download/";
        CopyFlat(QEVW_DEMO_DATA_DIR, running);
        WriteBytes(running + "qevw", StubProgram(), 0755);
        ASSERT_EQ(WriteLauncher(base, "KALVO_26.1c", QuickFileSystem()), 0);
        launcherBytes = ReadBytes(base + kLauncherName);

        savedStart_ = ProgramStart();
        StartValues& s = ProgramStart();
        s = StartValues{};
        s.ProgramFolder = running;
        s.OwnExecutable = running + "qevw";
        s.SharedRoot = base;
        s.WorkstationName = "PC7";
        s.WindowsUserName = "tester";

        ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
                  TextTableResult::FirstSuccess);
        savedConfigPath_ = Config().ConfigPath();
        savedFallback_ = Config().FallbackConfigPath();
        Config().SetPaths(root + "kalvo.ini", "");
        Config().Update([](ConfigValues& v) {
            v.DeclinedPackage.clear();
            v.NextCheckDate.clear();
            v.NotesFolder.clear();
            v.NotesName = "NOTES";
            v.SignListName.clear();
            v.ConnectionFlags = 0;
        });
        SetDownloadFolderOverride(download);
        savedEndpoints_ = ReplaceEndpoints(Endpoints{server.Address(), server.Address(), server.Address(),
                                                     "127.0.0.1", server.Address(), server.Address()});
        UpdateServices hooks = CurrentUpdateServices();
        savedHooks_ = hooks;
        hooks.isOnline = [this] { return online; };
        SetUpdateServices(hooks);
        ResetUpdateState();
        ClearRunLog();
        UpdateStatusText().Set("");
    }

    void TearDown() override
    {
        SetUpdateServices(savedHooks_);
        ReplaceEndpoints(savedEndpoints_);
        SetDownloadFolderOverride("");
        Config().SetPaths(savedConfigPath_, savedFallback_);
        Config().Update([](ConfigValues& v) { v.DeclinedPackage.clear(); });
        ProgramStart() = savedStart_;
        FreeTextTable(UiTexts);
        ResetUpdateState();
    }

    static void ResetUpdateState()
    {
        UpdateSharedValues& u = UpdateShared();
        u.serverListReady = false;
        u.serverListFetchStarted = false;
        u.SetChosenPackage("");
        u.SetServerList("", "");
        u.SetBestVersionFolder("");
        u.SetPendingServerMessage("");
        u.SetInstallationRecord("");
        u.SetInstallationList("");
        u.SetServerVariant("");
    }

    // Publishes files: each under "/files/" and a list of them all.
    void Publish(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::string list;
        for (const auto& [name, bytes] : files) {
            server.SetBody("/files/" + name, bytes);
            list += name + "," + std::to_string(bytes.size()) + "\r\n";
        }
        server.SetBody("/files/list.txt", list);
    }

    // The requests the server saw, as their targets.
    std::vector<std::string> Targets() const
    {
        std::vector<std::string> t;
        for (const testhttp::LoggedRequest& r : server.Log())
            t.push_back(r.target);
        return t;
    }

    testhttp::ProxyEnvironmentGuard proxyGuard_;
    testhttp::HttpTestServer server;
    QTemporaryDir tmp_;
    std::string root, base, running, download, launcherBytes;
    int32_t online = 2;

private:
    StartValues savedStart_;
    std::string savedConfigPath_, savedFallback_;
    Endpoints savedEndpoints_;
    UpdateServices savedHooks_;
};

} // namespace updatetest
