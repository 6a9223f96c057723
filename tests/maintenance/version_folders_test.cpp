// Version folder names and dates, the newest complete folder, the launcher.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "datastore/tagged_record.h"
#include "maintenance/data_update.h"
#include "maintenance/usage_stats.h"
#include "maintenance/version_folders.h"
#include "update_test_support.h"

using namespace updatetest;

TEST(VersionFolderNames, CodesDatesAndPackageNames)
{
    struct Code {
        int y, m, d;
        const char* code;
    };
    const Code codes[] = {
        {2026, 1, 2, "261"}, {2026, 1, 4, "261a"},   {2026, 2, 1, "261i"},  {2026, 3, 31, "261z"},
        {2026, 1, 3, "261"}, {2026, 12, 31, "264z"}, {2015, 5, 10, "992l"}, {2015, 1, 1, "991"},
        {2016, 1, 1, "161"}, {2026, 7, 10, "263c"},
    };
    for (const Code& c : codes)
        EXPECT_EQ(DataVersionCode(c.y, c.m, c.d), c.code) << c.y << "-" << c.m << "-" << c.d;

    struct Date {
        const char* name;
        const char* date;
    };
    const Date dates[] = {
        {"KALVO_26.1", "1.1.2026"},
        {"KALVO_26.2i", "1.5.2026"},
        {"KALVO_26.1a", "4.1.2026"},
        {"KALVO_26.1h", "29.1.2026"},
        {"KALVO_26.1z", "29.3.2026"},
        {"KALVO_26.1c3a", "11.1.2026"},
        {"KALVO_26.", ""},
        {"KALVO_26", ""},
    };
    for (const Date& d : dates)
        EXPECT_EQ(VersionFolderDate(d.name), d.date) << d.name;

    struct Package {
        const char* folder;
        const char* package;
    };
    const Package packages[] = {
        {"/x/KALVO_26.1c/", "kalvo261c"},
        {"/x/KALVO_26.1/", "kalvo261"},
        {"/x/kalvo_26.1c3a/", "kalvo261c3a"},
        {"/x/Program/", ""},
        {"/x/KAXYZ_26.1/", "kaxyz261"},
        {"/x/QEVWX_26.1/", ""},
        {"/x/KALVO_26.5/", ""},
        {"/x/KALVO_26.1c/../", ""},
        {"KALVO_26.1_3a/", "kalvo261_3a"},
    };
    for (const Package& p : packages)
        EXPECT_EQ(PackageNameOfFolder(p.folder), p.package) << p.folder;

    EXPECT_EQ(FolderOfPackage("kalvo261c.zip"), "KALVO_26.1c/");
    EXPECT_EQ(FolderOfPackage("kalvo263a.zip"), "KALVO_26.3a/");
    EXPECT_EQ(FolderOfPackage("KALVO261.ZIP"), "KALVO_26.1/");
    EXPECT_EQ(FolderOfPackage("kalvo265a.zip"), "") << "no quarter 5";
    EXPECT_EQ(FolderOfPackage("../../x.zip"), "");
    EXPECT_EQ(FolderOfPackage("kalvo26/../a.zip"), "");
}

TEST(VersionFolderNames, DataUpdateFolderFromTheRunningOne)
{
    struct Case {
        const char* running;
        const char* package;
        const char* folder;
    };
    const Case cases[] = {
        {"KALVO_26.1", "kalvo263a.zip", "KALVO_26.1_3a"},
        {"KALVO_26.1c", "kalvo263a.zip", "KALVO_26.1c3a"},
        {"KALVO_26.1c3", "kalvo263a.zip", "KALVO_26.1c3a"},
        {"KALVO_26.1c3a", "kalvo263b.zip", "KALVO_26.1c3b"},
        {"KALVO_26.1_3a", "kalvo264.zip", "KALVO_26.1_64"},
        {"KALVO_26.1c", "win25.02.zip", "KALVO_26.1c02"},
        {"Program", "kalvo263a.zip", ""},
        {"KALVO_26.1c", "x.zip", ""},
        {"KALVO_26.1c", "kalvo26/.zip", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UpdateFolderName(c.running, c.package), c.folder) << c.running << " " << c.package;
}

TEST(VersionFolderNames, VersionNumberOfPath)
{
    struct Case {
        const char* path;
        uint32_t number;
    };
    const Case cases[] = {
        {"/opt/KALVO_26.1C/", 26103},
        {"/opt/kalvo_26.1c/", 26103},
        {"C:\\X\\KALVO_26.1C\\", 26103},
        {"/opt/KALVO_26.1/", 26100},
        {"/opt/KALVO_26.1_3a/", 26100},
        {"/opt/KALVO_26.4z/", 26426},
        {"/opt/KALVO_19.1/", 0},
        {"/opt/KALVO_26.5/", 0},
        {"/opt/KALVO_26.1", 0},
        {"/KALVO_26.1/", 0},
        {"KALVO_26.1/", 0},
        {"/opt/Program/", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VersionNumberOfPath(c.path), c.number) << c.path;
}

TEST(VersionFolderNames, NewAndPreviousNames)
{
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1c/", true, "25.01"), "/b/KALVO_26.1ca0");
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1c/", false, "25.01"), "/b/KALVO_26.1ca1");
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1ca0", true, "25.01"), "/b/KALVO_26.1c10");
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1c11", true, "25.01"), "/b/KALVO_26.1c12");
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1", false, "25.01"), "/b/KALVO_26.1_a1");
    EXPECT_EQ(NewVersionFolderName("/b/KALVO_26.1c19", true, "25.01"), "");
    EXPECT_EQ(NewVersionFolderName("short", true, "25.01"), "");

    EXPECT_EQ(PreviousVersionFolder("/none/", "KALVO_26.1c"), "KALVO_26.1b");
    EXPECT_EQ(PreviousVersionFolder("/none/", "KALVO_26.1ca0"), "KALVO_26.1c");
    EXPECT_EQ(PreviousVersionFolder("/none/", "KALVO_26.1ca1"), "KALVO_26.1ca0");
    EXPECT_EQ(PreviousVersionFolder("/none/", "KALVO_26.1cb0"), "KALVO_26.1caa");
}

class VersionFolderTest : public UpdateFixture {
protected:
    // A version folder in the state named.
    void Make(const std::string& name, bool log, bool manifest, bool program)
    {
        const std::string f = base + name + "/";
        QDir().mkpath(QString::fromStdString(f));
        if (log)
            WriteBytes(f + kInstallerLogName, "start update\r\n");
        if (manifest)
            WriteBytes(f + kManifestName, ReadBytes(running + kManifestName));
        if (program)
            WriteBytes(f + kProgramFileName, StubProgram(), 0755);
    }
};

TEST_F(VersionFolderTest, TheBestFolderIsTheNewestCompleteOne)
{
    EXPECT_EQ(FindBestVersionFolderIn(base, running), "KALVO_26.1c") << "only the running one";
    Make("KALVO_26.3a", true, true, true);   // unfinished
    Make("KALVO_26.3b", false, true, false); // no program
    Make("KALVO_26.3c", false, false, true); // no manifest
    Make("KALVO_99.1", false, true, true);   // the year that means "old"
    Make("KALVO_26.2", false, true, true);   // complete and newer
    Make("QEVWX_27.1", false, true, true);   // another prefix
    WriteBytes(base + "KALVO_27.1", "a file");
    QFile::link(QString::fromStdString(base + "KALVO_26.2"), QString::fromStdString(base + "KALVO_28.1"));
    EXPECT_EQ(FindBestVersionFolderIn(base, running), "KALVO_26.2");
    EXPECT_NE(RunLogText().find("BestVer=KALVO_26.2\r\n"), std::string::npos);

    // This run: into the shared values the main window reads.
    updates::FindBestVersionFolder();
    EXPECT_EQ(UpdateShared().BestVersionFolder(), "KALVO_26.2");
    // Not one folder below the base: no installation, nothing looked at.
    ProgramStart().ProgramFolder = root + "elsewhere/KALVO_26.1c/";
    updates::FindBestVersionFolder();
    EXPECT_EQ(UpdateShared().BestVersionFolder(), "");
}

TEST_F(VersionFolderTest, LauncherRoundTripAndArguments)
{
    EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.1c/");
    EXPECT_EQ(ReadBytes(base + kLauncherName),
              "#!/bin/sh\nexec \"$(dirname \"$(readlink -f \"$0\")\")/KALVO_26.1c/qevw\" \"$@\"\n");
    EXPECT_EQ(LauncherResult(), 0);
    EXPECT_NE(WriteLauncher(base, "../evil"), 0) << "only version folder names";
    EXPECT_EQ(ReadBytes(base + kLauncherName), launcherBytes);
    EXPECT_EQ(ReadLauncherTarget(base + "missing.sh"), "");
    WriteBytes(root + "other.sh", "#!/bin/sh\nexec /bin/true\n");
    EXPECT_EQ(ReadLauncherTarget(root + "other.sh"), "");

    // Run from another folder and through a link: the stub gets every
    // argument as it was given.
    QFile::link(QString::fromStdString(base + kLauncherName), QString::fromStdString(root + "link.sh"));
    for (const std::string& launcher : {base + kLauncherName, root + "link.sh"}) {
        QFile::remove(QString::fromStdString(running + "args"));
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(root));
        p.start(QString::fromStdString(launcher), {"a b", "", "c"});
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_EQ(ReadBytes(running + "args"), "a b\n\nc\n") << launcher;
    }
}

TEST_F(VersionFolderTest, DeletingKeepsTheRunningAndTheLauncherFolders)
{
    Make("KALVO_26.1b", false, true, true);
    Make("KALVO_26.2", false, true, true);
    ASSERT_EQ(WriteLauncher(base, "KALVO_26.2"), 0);
    QDir().mkpath(QString::fromStdString(root + "outside"));
    WriteBytes(root + "outside/canary", "x");
    QFile::link(QString::fromStdString(root + "outside"), QString::fromStdString(base + "KALVO_26.1b/link"));

    DeleteFolderTree(base, "KALVO_26.1c"); // running
    DeleteFolderTree(base, "KALVO_26.2");  // the launcher's
    DeleteFolderTree(root, "outside");     // not in the base
    DeleteFolderTree(base, "..");
    EXPECT_TRUE(FolderExists(running));
    EXPECT_TRUE(FolderExists(base + "KALVO_26.2"));
    EXPECT_TRUE(FolderExists(root + "outside"));

    DeleteFolderTree(base, "KALVO_26.1b");
    EXPECT_FALSE(FolderExists(base + "KALVO_26.1b"));
    EXPECT_EQ(ReadBytes(root + "outside/canary"), "x") << "a link is removed, never followed";
}

TEST_F(VersionFolderTest, FolderHelpers)
{
    Make("win7.1", false, false, false);
    Make("winter", false, false, false);
    Make("Win8.2", false, false, false);
    EXPECT_EQ(FindWinFolder(base), "win7.1") << "sorted by bytes: \"W\" before \"w\"";
    EXPECT_EQ(FolderSizeEstimate(base + "win7.1/"), 0);
    WriteBytes(base + "win7.1/a", std::string(100, 'x'));
    WriteBytes(base + "win7.1/b", "");
    EXPECT_EQ(FolderSizeEstimate(base + "win7.1/"), 100 + 2048 + 2048);
    EXPECT_EQ(UncServerOfPath("//srv/share/x/"), "srv");
    EXPECT_EQ(UncServerOfPath("\\\\srv\\share\\"), "srv");
    EXPECT_EQ(UncServerOfPath(base), "") << "a local folder";
    EXPECT_FALSE(IsUpdateStation());
    std::string record;
    ASSERT_TRUE(PutTaggedField(record, 4, "Tester"));
    UpdateShared().SetInstallationRecord(record);
    EXPECT_TRUE(IsUpdateStation()) << "the station's user, any letter case";
}
