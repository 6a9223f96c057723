// The rules of the installation settings dialog without a window: the rows
// of its grid over a real base, their order, the cell items, the actions of
// clicks and keys, the first tab's texts and OK's save decision; and the
// deletion of a version folder with what it must refuse and leave alone.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <thread>

#include "maintenance/connection_editor.h"
#include "maintenance/update_lock.h"
#include "maintenance/version_folders.h"
#include "maintenance/version_grid.h"
#include "platform/fs.h"
#include "tests/maintenance/update_test_support.h"

namespace {

const VersionRowTexts kTexts{"!E", "&S", "N", "A", "&D"};

class Nastav6Grid : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp_.isValid());
        base = tmp_.path().toStdString() + "/";
    }
    // A folder with the named files (each a few bytes).
    void Folder(const std::string& name, std::initializer_list<const char*> files)
    {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(base + name)));
        for (const char* f : files)
            updatetest::WriteBytes(base + name + "/" + f, "x");
    }
    QTemporaryDir tmp_;
    std::string base;
};

TEST_F(Nastav6Grid, RowsOfAnInstallationInTheirOrder)
{
    Folder("KALVO_26.1c", {"kalvo.kvo", "qevw"});
    Folder("KALVO_26.1b", {"kalvo.kvo", "qevw"});
    Folder("KALVO_26.2", {"kalvo.kvo", "qevw", "_InstLog.txt"});
    Folder("KALVO_26.3", {"qevw"});
    Folder("KALVO_26.4x", {"kalvo.kvo"});
    Folder("KALVO_14.2", {"qevw"});
    Folder("KALVO_99.4", {"qevw"});
    Folder("kaxyz_a|b.c", {});
    Folder("KALVO_25.\xe9", {"kalvo.kvo"});
    Folder("Other_26.1", {"kalvo.kvo"});
    updatetest::WriteBytes(base + "KALVO_27.1", "a file");
    QTemporaryDir outside;
    ASSERT_TRUE(QFile::link(outside.path(), QString::fromStdString(base + "KALVO_28.1")));

    std::vector<VersionRow> rows(1);
    for (const VersionFolderInfo& f : ListVersionFolders(base)) {
        EXPECT_FALSE(f.modified.empty()) << f.name;
        rows.push_back(VersionRowOf(f, "KALVO_26.1c", "kalvo_26.1B", kTexts));
    }
    std::vector<std::array<std::string, 5>> shown;
    for (int i : SortRows(rows, 2, true)) {
        const VersionRow& r = rows[static_cast<size_t>(i)];
        shown.push_back({r[0], r[1], r[2], r[4], r[5]});
    }
    const std::vector<std::array<std::string, 5>> expected = {
        {"", "", "", "", ""},
        {"2099.4", "1.10.2099", "KALVO_99.4", "", "&D"}, // "99": no state, first by bytes
        {"2026.4x", "22.12.2026", "KALVO_26.4x", "&S", "&D"},
        {"2026.3", "1.7.2026", "KALVO_26.3", "!E", "&D"}, // no manifest
        {"2026.2", "1.4.2026", "KALVO_26.2", "!E", "&D"}, // its log
        {"2026.1c", "11.1.2026", "KALVO_26.1c", "", "N"},
        {"2026.1b", "8.1.2026", "KALVO_26.1b", "&S", "A"},
        {"2014.2", "1.4.2014", "KALVO_14.2", "&S", "&D"}, // before 14.3 no manifest is needed
    };
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(ListVersionFolders("").empty());
    QFile::remove(QString::fromStdString(base + "KALVO_28.1"));
}

TEST_F(Nastav6Grid, SortKeepsTheTitleRowFirst)
{
    std::vector<VersionRow> rows(6);
    const char* const names[] = {"title", "b", "d", "a", "c", "b2"};
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i][2] = names[i];
    EXPECT_EQ(SortRows(rows, 2, true), (std::vector<int>{0, 2, 4, 5, 1, 3}));
    EXPECT_EQ(SortRows(rows, 2, false), (std::vector<int>{0, 3, 1, 5, 4, 2}));
    EXPECT_EQ(SortRows(std::vector<VersionRow>(1), 2, true), std::vector<int>{0});
}

TEST(Nastav6Cells, ItemsAndActions)
{
    EXPECT_EQ(CellItems("&Start|plain|!bold|[|]ok"), (std::vector<CellItem>{{CellForm::Button, "Start"},
                                                                            {CellForm::Plain, "plain"},
                                                                            {CellForm::Bold, "bold"},
                                                                            {CellForm::Box, ""},
                                                                            {CellForm::TickedBox, "ok"}}));
    EXPECT_EQ(CellItems(""), std::vector<CellItem>{CellItem{}});

    struct Click {
        int column;
        const char* cell;
        GridAction action;
    } clicks[] = {
        {4, "!E", GridAction::Install},       {5, "!E", GridAction::None},     {4, "&S", GridAction::Start},
        {5, "&D", GridAction::Delete},        {5, "x|&D", GridAction::Delete}, {3, "&S", GridAction::None},
        {2, "KALVO_26.1c", GridAction::None}, {5, "N", GridAction::None},      {4, "", GridAction::None},
    };
    for (const Click& c : clicks)
        EXPECT_EQ(ClickAction(c.column, c.cell), c.action) << c.column << " " << c.cell;

    const VersionRow offered{"", "", "KALVO_26.1b", "", "&S", "&D"};
    const VersionRow running{"", "", "KALVO_26.1c", "", "", "N"};
    struct Key {
        char key;
        const VersionRow& row;
        GridAction action;
        bool consumed;
    } keys[] = {
        {'s', offered, GridAction::Start, true},  {'T', offered, GridAction::Start, true},
        {'d', offered, GridAction::Delete, true}, {'O', offered, GridAction::Delete, true},
        {'D', running, GridAction::None, false},  {'S', running, GridAction::None, false},
        {'x', offered, GridAction::None, true},
    };
    for (const Key& k : keys) {
        bool consumed = !k.consumed;
        EXPECT_EQ(KeyAction(k.key, k.row, &consumed), k.action) << k.key;
        EXPECT_EQ(consumed, k.consumed) << k.key;
    }
}

TEST(Nastav6Texts, StartInstallTabZeroAndOk)
{
    EXPECT_EQ(StartArguments("KALVO_26.1b"), (std::vector<std::string>{"/L=%", "/nw"}));
    EXPECT_EQ(StartArguments("KALVO_15.4"), std::vector<std::string>{"/nw"});
    EXPECT_FALSE(CanFinishInstallation("KALVO_20.1x"));
    EXPECT_FALSE(CanFinishInstallation("KALVO_14.2"));
    EXPECT_TRUE(CanFinishInstallation("KALVO_20.2"));
    EXPECT_TRUE(CanFinishInstallation("KALVO_26.2"));

    EXPECT_EQ(RunningVersionText("KALVO_26.1c", " of "), "KALVO - 2026.1c of 11.1.2026");
    EXPECT_TRUE(LauncherIsOlder("KALVO_26.1b", "kalvo_26.2/"));
    EXPECT_FALSE(LauncherIsOlder("KALVO_26.2", "KALVO_26.2/"));
    EXPECT_FALSE(LauncherIsOlder("KALVO_26.3", "KALVO_26.2"));
    EXPECT_EQ(NextCheckText("2026/03/05", true), "5.3.2026");
    EXPECT_EQ(NextCheckText("2026/03/05", false), "");
    EXPECT_EQ(NextCheckText("0", true), "");
    EXPECT_EQ(DataPackageText("kalvo263a.zip"), "KALVO - 2026.3a");

    EXPECT_EQ(AutoUpdateValue(true), 15);
    EXPECT_EQ(AutoUpdateValue(false), 0);
    // OK always clears 0x08 and keeps 0x01 and 0x02: an opening value with
    // 0x08 saves even when nothing was touched.
    const uint16_t opened = 0x0B;
    const uint16_t ok = FlagsOfBoxes(opened, BoxesOfFlags(opened));
    EXPECT_EQ(ok, 0x03);
    EXPECT_TRUE(OkSaves(15, 15, opened, ok, false));
    EXPECT_FALSE(OkSaves(15, 15, 0x03, 0x03, false));
    EXPECT_TRUE(OkSaves(15, 0, 0x03, 0x03, false));
    EXPECT_TRUE(OkSaves(1, 1, 0x03, 0x03, true));
}

// --- Deleting a version folder ------------------------------------------

class VersionDelete : public updatetest::UpdateFixture {
protected:
    void SetUp() override
    {
        UpdateFixture::SetUp();
        old = base + "KALVO_25.4a/";
        updatetest::CopyFlat(running, old);
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(old + "notes/deeper")));
        updatetest::WriteBytes(old + "notes/deeper/n.NOT", "note");
        guards.runningFolder = "KALVO_26.1c";
        guards.dataFolder = running;
        guards.notesFolder = running;
    }
    DeleteGuards guards;
    std::string old;
};

TEST_F(VersionDelete, AnOldFolderGoesAndTheRunningOnesStay)
{
    // The launcher's folder, read when the deletion runs.
    updatetest::CopyFlat(running, base + "KALVO_26.2/");
    ASSERT_EQ(WriteLauncher(base, "KALVO_26.2", updatetest::QuickFileSystem()), 0);
    struct Refused {
        std::string name;
        DeleteGuards guards;
    } refused[] = {
        {"KALVO_26.1c", guards},                             // running
        {"kalvo_26.2", guards},                              // the launcher's
        {"KALVO_25.4a", {"KALVO_26.1c", old + "data/", ""}}, // holds the data folder
        {"KALVO_25.4a", {"KALVO_26.1c", running, old}},      // the notes folder
        {"../base/KALVO_25.4a", {"", "", ""}},               // not a listed name
    };
    {
        UpdateLockHold made; // its file exists from the first deletion on
        ASSERT_TRUE(made.Take(base, 0));
    }
    const auto before = updatetest::Snapshot(base);
    for (const Refused& r : refused) {
        const DeleteResult result = DeleteVersionFolder(base, r.name, r.guards);
        EXPECT_EQ(result.stayed, r.name);
        EXPECT_FALSE(result.busy);
    }
    EXPECT_EQ(updatetest::Snapshot(base), before);
    EXPECT_EQ(DeleteVersionFolder(base, "", guards).stayed, "");

    EXPECT_EQ(DeleteVersionFolder(base, "KALVO_25.4a", guards).stayed, "");
    EXPECT_FALSE(FolderExists(old));
    EXPECT_TRUE(FolderExists(base + "KALVO_26.2/"));
    EXPECT_TRUE(FolderExists(running));
}

TEST_F(VersionDelete, FilesInUseEndItBeforeAnythingGoes)
{
    for (const char* file : {"kl.dat", "qevw", "TarelFix.fon"}) {
        SCOPED_TRACE(file);
        updatetest::WriteBytes(old + file, "in use", 0755);
        const auto before = updatetest::Snapshot(old);
        // A running copy's shared mark; flock locks belong to the open file,
        // so a second open here meets it as another process would.
        FileLock mark;
        ASSERT_EQ(mark.Take(old + file, false, 0), 0);
        EXPECT_EQ(DeleteVersionFolder(base, "KALVO_25.4a", guards).stayed, file);
        EXPECT_EQ(updatetest::Snapshot(old), before);
    }
}

TEST_F(VersionDelete, LinksGoWithoutWhatTheyName)
{
    QTemporaryDir outside;
    const std::string canary = outside.path().toStdString() + "/canary";
    updatetest::WriteBytes(canary, "still here");
    ASSERT_TRUE(QFile::link(outside.path(), QString::fromStdString(old + "outside")));
    ASSERT_TRUE(QFile::link(QString::fromStdString(canary), QString::fromStdString(old + "kl.dat.link")));
    EXPECT_EQ(DeleteVersionFolder(base, "KALVO_25.4a", guards).stayed, "");
    EXPECT_FALSE(FolderExists(old));
    EXPECT_EQ(updatetest::ReadBytes(canary), "still here");

    // The version folder itself a link: not deleted, not followed.
    ASSERT_TRUE(QFile::link(outside.path(), QString::fromStdString(base + "KALVO_25.3")));
    EXPECT_EQ(DeleteVersionFolder(base, "KALVO_25.3", guards).stayed, "KALVO_25.3");
    EXPECT_EQ(updatetest::ReadBytes(canary), "still here");
}

TEST_F(VersionDelete, AFailedRemovalNamesItsPathAndTheRestGoes)
{
    const std::string stuck = old + "notes/deeper/n.NOT";
    const RemoveFailureProbe saved =
        SetRemoveFailureProbe([&](const std::string& path) { return path == stuck ? EPERM : 0; });
    const DeleteResult result = DeleteVersionFolder(base, "KALVO_25.4a", guards);
    SetRemoveFailureProbe(saved);
    EXPECT_EQ(result.stayed, stuck);
    EXPECT_TRUE(FileExists(stuck));
    EXPECT_FALSE(FileExists(old + "kl.dat"));
    EXPECT_FALSE(FileExists(old + "qevw"));
}

TEST_F(VersionDelete, AnotherUpdateHoldingTheLockDeletesNothing)
{
    UpdateLockHold held;
    std::thread other([&] { ASSERT_TRUE(held.Take(base, 1000)); });
    other.join();
    const DeleteResult result = DeleteVersionFolder(base, "KALVO_25.4a", guards);
    held.Release();
    EXPECT_TRUE(result.busy);
    EXPECT_TRUE(FolderExists(old));
    EXPECT_TRUE(FileExists(old + "kl.dat"));
}

} // namespace
