// Saving the configuration: failures of every step, backups, unreadable
// files, file modes, messages, and saves from several threads.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <thread>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/report_hook.h"
#include "platform/file_saver.h"
#include "tests/frame/config_test_support.h"
#include "tests/support/failing_file_system.h"
#include "writers/text_table_writer.h"

using namespace configtest;

namespace {

using FailAt = test_support::FailingFileSystem::Step;

QStringList Entries(const std::string& folder)
{
    return QDir(QString::fromStdString(folder))
        .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

std::string TableOf(const char* source)
{
    std::string table;
    textsrc::Error err;
    EXPECT_TRUE(textsrc::CompileSource(source, "test.txt", textsrc::kDefaultStamp, table, err))
        << err.Message();
    return table;
}

class ConfigSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = dir.path().toStdString();
        path = folder + "/kalvo.ini";
        config.SetFileSystem(&fs);
        config.SetTextTables(&ui, &data);
        config.SetPaths(path, "");
    }

    void UseMessages()
    {
        TextTablePtr t;
        ASSERT_GE(LoadTextTableFromBytes(t, TableOf("[Chyby]\nFileSave=Soubor nelze uložit:\\x20\n"
                                                    "FileRen=Soubor nelze přejmenovat:\\x20\n")),
                  256);
        ui.Set(t);
    }

    QTemporaryDir dir;
    std::string folder;
    std::string path;
    test_support::FailingFileSystem fs;
    TextTableSlot ui;
    TextTableSlot data;
    ConfigFile config;
};

const std::string kOldFile = CrLf({"[Mine]", "keep=1", "[QEV other]", "NOTES=OLD", "SIGN=X"});

} // namespace

TEST_F(ConfigSave, AFailedStepLeavesTheOldFileAndNoTemporaryFile)
{
    UseMessages();
    const std::string saveText = LookupText(ui, "Chyby", "FileSave");
    const std::string renText = LookupText(ui, "Chyby", "FileRen");
    ASSERT_EQ(saveText.substr(0, 6), "Soubor");
    struct Case {
        FailAt step;
        std::string message;
    };
    const Case cases[] = {
        {FailAt::Create, saveText + path},
        {FailAt::Write, saveText + path},
        {FailAt::Flush, saveText + path},
        {FailAt::Rename, renText + path + " (" + SystemErrorText(EXDEV) + ")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step));
        WriteBytes(path, kOldFile);
        config.Load(TestInput());
        config.Update([](ConfigValues& v) { v.NotesName = "NEW"; });
        fs.failAt = c.step;
        fs.error = c.step == FailAt::Rename ? EXDEV : ENOSPC;
        fs.failAfterBytes = 10; // a part reaches the temporary file
        ScopedErrorRecorder recorder;
        EXPECT_FALSE(config.Save(true));
        EXPECT_EQ(ReadBytes(path), kOldFile);
        EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
        EXPECT_EQ(recorder.Texts(), std::vector<std::string>{c.message});

        recorder.Clear();
        EXPECT_FALSE(config.Save(false)); // messages off: the same result, silently
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_EQ(ReadBytes(path), kOldFile);

        fs.failAt = FailAt::Nothing; // and the next save succeeds
        EXPECT_TRUE(config.Save(true));
        EXPECT_TRUE(recorder.Texts().empty());
        EXPECT_NE(ReadBytes(path).find("NOTES=NEW\r\n"), std::string::npos);
        EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
    }
}

TEST_F(ConfigSave, WithoutTextTablesTheMessageNamesItsKey)
{
    WriteBytes(path, kOldFile);
    config.Load(TestInput());
    fs.failAt = FailAt::Create;
    ScopedErrorRecorder recorder;
    EXPECT_FALSE(config.Save(true));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{"!! Chyby.FileSave" + path});
}

TEST_F(ConfigSave, ALeftoverBackupIsReadCarriedAndThenRemoved)
{
    const std::string bak = folder + "/kalvo.BAK";
    WriteBytes(bak, CrLf({"; before", "[Station]", "id=7", "[QEV other]", "NOTES=FROMBAK"}));
    config.Load(TestInput());
    EXPECT_EQ(config.LoadedPath(), bak);
    EXPECT_EQ(config.Snapshot().NotesName, "FROMBAK");
    ASSERT_TRUE(config.Save(true));
    const std::string saved = ReadBytes(path);
    EXPECT_EQ(saved.substr(0, saved.find("[QEV language]")), CrLf({"; before", "[Station]", "id=7"}));
    EXPECT_NE(saved.find("NOTES=FROMBAK\r\n"), std::string::npos);
    EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
}

TEST_F(ConfigSave, ABackupBesideAnExistingFileIsNotReadButRemovedAfterSuccess)
{
    const std::string bak = folder + "/kalvo.BAK";
    WriteBytes(path, kOldFile);
    WriteBytes(bak, CrLf({"[Stale]", "x=1"}));
    config.Load(TestInput());
    EXPECT_EQ(config.Snapshot().NotesName, "OLD");
    fs.failAt = FailAt::Rename;
    EXPECT_FALSE(config.Save(false));
    EXPECT_EQ(Entries(folder), (QStringList{"kalvo.BAK", "kalvo.ini"})); // kept until a save succeeds
    fs.failAt = FailAt::Nothing;
    ASSERT_TRUE(config.Save(false));
    EXPECT_EQ(ReadBytes(path).find("[Stale]"), std::string::npos);
    EXPECT_EQ(ReadBytes(path).substr(0, 15), "[Mine]\r\nkeep=1\r");
    EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
}

TEST_F(ConfigSave, AFileThatCannotBeReadIsNeverReplaced)
{
    UseMessages();
    WriteBytes(path, kOldFile);
    fs.unreadable = path;
    config.Load(TestInput());
    EXPECT_TRUE(config.LoadFailed());
    EXPECT_EQ(config.Snapshot().NotesName, "NOTES"); // defaults for this run
    ScopedErrorRecorder recorder;
    EXPECT_FALSE(config.Save(true));
    EXPECT_EQ(recorder.Texts(), std::vector<std::string>{LookupText(ui, "Chyby", "FileSave") + path});
    fs.unreadable.clear(); // even once it could be read again: this run's values are defaults
    EXPECT_FALSE(config.Save(false));
    EXPECT_EQ(ReadBytes(path), kOldFile);

    // Read at load time, unreadable when saving: the save cannot carry its
    // sections, so it does not write.
    ConfigFile second;
    second.SetFileSystem(&fs);
    second.SetTextTables(&ui, &data);
    second.SetPaths(path, "");
    second.Load(TestInput());
    EXPECT_FALSE(second.LoadFailed());
    fs.unreadable = path;
    EXPECT_FALSE(second.Save(false));
    EXPECT_EQ(ReadBytes(path), kOldFile);
    EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
}

TEST_F(ConfigSave, TheFirstSaveOfANewFileKeepsTheFallbackSections)
{
    const std::string program = folder + "/program/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(program)));
    const std::string fallback = program + "NODAL.CFG";
    const std::string installation = CrLf({"[.chir]", "maxim=/opt/editor", "[.jipka]", "max=/x/y", "[Site]",
                                           "a=b", "[QEV other]", "NOTES=SITE"});
    WriteBytes(fallback, installation);
    const std::string user = folder + "/home/.config/kalvo.ini";
    config.Locate(program, [&](const char* n) {
        std::string v = n;
        return v == "HOME" ? folder + "/home" : std::string();
    });
    EXPECT_EQ(config.ConfigPath(), user);
    EXPECT_EQ(config.FallbackConfigPath(), fallback); // found in any letter case
    config.Load(TestInput());
    EXPECT_EQ(config.Snapshot().NotesName, "SITE");
    ASSERT_TRUE(config.Save(true)); // creates the missing folders
    const std::string saved = ReadBytes(user);
    EXPECT_EQ(saved.substr(0, saved.find("[QEV language]")),
              CrLf({"[.chir]", "maxim=/opt/editor", "[.jipka]", "max=/x/y", "[Site]", "a=b"}));
    EXPECT_NE(saved.find("NOTES=SITE\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(fallback), installation);
}

TEST_F(ConfigSave, ANewFileIsPrivateAndAReplacedOneKeepsItsMode)
{
    ASSERT_TRUE(config.Save(false));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(config.Save(false));
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ConfigSave, NoPathNothingWritten)
{
    config.SetPaths("", "");
    ScopedErrorRecorder recorder;
    EXPECT_FALSE(config.Save(true));
    EXPECT_TRUE(recorder.Texts().empty());
    EXPECT_TRUE(Entries(folder).isEmpty());
}

TEST_F(ConfigSave, ReimbursementLettersUseTheLoadedDataTexts)
{
    WriteBytes(path, CrLf({"[QEV filter]", "VZPCR=ABCDEF"}));
    config.Load(TestInput());
    ASSERT_TRUE(config.Save(false));
    EXPECT_NE(ReadBytes(path).find("VZPCR=ABCDEF\r\n"), std::string::npos); // no data texts yet
    TextTablePtr t;
    ASSERT_GE(LoadTextTableFromBytes(t, TableOf("[Uhr]\nInit=ABCDEFGH\n")), 256);
    data.Set(t);
    ASSERT_TRUE(config.Save(false));
    EXPECT_NE(ReadBytes(path).find("VZPCR=-GH\r\n"), std::string::npos);
}

TEST_F(ConfigSave, MessagesFromAnotherThreadAreShownOnTheMainThread)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    WriteBytes(path, kOldFile);
    config.Load(TestInput());
    fs.failAt = FailAt::Create;

    std::vector<std::thread::id> shownOn;
    ErrorReportHook previous =
        SetErrorReportHook([&](const std::string&) { shownOn.push_back(std::this_thread::get_id()); });
    bool result = true;
    std::thread worker([&] { result = config.Save(true); });
    worker.join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(shownOn.empty()); // queued, not shown from the worker
    QCoreApplication::processEvents();
    SetErrorReportHook(std::move(previous));
    ASSERT_EQ(shownOn.size(), 1u);
    EXPECT_EQ(shownOn[0], std::this_thread::get_id());
}

// Two threads save while a third changes two values together under the
// lock: every file written holds the values of one moment.
TEST_F(ConfigSave, ConcurrentSavesWriteConsistentFiles)
{
    fs.sync = false; // durability is not what this checks; keep the test fast
    config.Update([](ConfigValues& v) {
        v.newsDate = "0";
        v.NextCheckDate = "0";
    });
    std::atomic<bool> stop{false};
    std::atomic<int> badFiles{0};
    std::atomic<int> failedSaves{0};
    std::thread setter([&] {
        for (int n = 1; !stop.load(); ++n) {
            config.Update([n](ConfigValues& v) {
                v.newsDate = std::to_string(n);
                v.NextCheckDate = std::to_string(n);
            });
        }
    });
    auto saver = [&] {
        for (int i = 0; i < 200; ++i) {
            if (!config.Save(false))
                ++failedSaves;
            std::string text;
            if (RealFileSystem().ReadFile(path, text) != 0) {
                ++badFiles;
                continue;
            }
            const ConfigValues v = ReadConfigText(text, TestInput());
            if (v.newsDate.empty() || v.newsDate != v.NextCheckDate ||
                text.find("[QEV news]") == std::string::npos)
                ++badFiles;
        }
    };
    std::thread a(saver), b(saver);
    a.join();
    b.join();
    stop = true;
    setter.join();
    EXPECT_EQ(failedSaves.load(), 0);
    EXPECT_EQ(badFiles.load(), 0);
    EXPECT_EQ(Entries(folder), QStringList{"kalvo.ini"});
}

TEST(ConfigFileSaver, KeepsTheFirstErrorAndCommitsOnce)
{
    QTemporaryDir dir;
    const std::string target = dir.path().toStdString() + "/sub/dir/f.txt";
    test_support::FailingFileSystem fs;
    {
        FileSaver saver(target, fs);
        EXPECT_TRUE(saver.Write("abc"));
        fs.failAt = FailAt::Write;
        fs.error = ENOSPC;
        EXPECT_FALSE(saver.Write("def"));
        fs.failAt = FailAt::Nothing;
        EXPECT_FALSE(saver.Write("ghi")); // nothing more after the first error
        EXPECT_FALSE(saver.Commit());
        EXPECT_EQ(saver.FailedStep(), FileSaver::Step::Write);
        EXPECT_EQ(saver.ErrorCode(), ENOSPC);
        EXPECT_EQ(saver.IoError(), IoResult::ShortWrite);
        EXPECT_EQ(fs.writes, 2);
        EXPECT_EQ(fs.flushes, 0);
        EXPECT_EQ(fs.renames, 0);
    }
    EXPECT_TRUE(Entries(dir.path().toStdString() + "/sub/dir").isEmpty());

    FileSaver saver(target, fs);
    EXPECT_TRUE(saver.Write("one "));
    EXPECT_TRUE(saver.Write("two"));
    EXPECT_TRUE(saver.Commit());
    EXPECT_TRUE(saver.Commit());
    EXPECT_FALSE(saver.Write("late"));
    EXPECT_EQ(fs.renames, 1);
    EXPECT_EQ(ReadBytes(target), "one two");
    EXPECT_EQ(Entries(dir.path().toStdString() + "/sub/dir"), QStringList{"f.txt"});
}

TEST(ConfigFileSaver, AnAbandonedSaveLeavesNothing)
{
    QTemporaryDir dir;
    const std::string target = dir.path().toStdString() + "/f.txt";
    WriteBytes(target, "old");
    {
        FileSaver saver(target);
        saver.Write("new");
    }
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(Entries(dir.path().toStdString()), QStringList{"f.txt"});
}
