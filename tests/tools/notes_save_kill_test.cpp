// The note save killed at random moments, a thousand times: after each kill
// and the recovery of the next edit start, the edited drug shows its old or
// its new text, the other note is untouched, every entry leads to a note that
// names its drug, and an import at the end links the drugs ".PNT" links.
// Then two copies saving past each other's lock.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <random>
#include <set>
#include <string>

#include "datastore/db_table.h"
#include "datastore/notes_store.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "writers/notes_writer.h"

namespace {

const char* kTool = QEVW_BINARY_DIR "/tools/user_files";
const std::string kDemo = std::string(QEVW_DEMO_DATA_DIR) + "/";

struct QuietSink : NoteMessageSink {
    void Message(std::string_view) override {}
};

class NotesSaveKill : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetDataDir(kDemo);
        base = dir.path().toStdString() + "/NOTES";
        OpenTable(kl, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
        ASSERT_EQ(DbStatus, 0);
        a = Record("0000113");
        b1 = Record("0000114");
        b2 = Record("0000129");
        noteB = "010000114\r\n010000129\r\nthe other note\r\n";
        ASSERT_EQ(
            WriteNotesSet(base, {{"010000113\r\nversion -1\r\n", {a}}, {noteB, {b1, b2}}}, kl.dat.count), 0);
    }
    void TearDown() override { OpenTable(kl, TFileId(), TFileId(), 0); }

    int32_t Record(const std::string& code)
    {
        std::string rec;
        FindRecord(kl, code, rec);
        return DbStatus == 0 ? kl.recNo : 0;
    }
    std::string CodeOf(int32_t record)
    {
        std::string rec;
        ReadRecord(kl.dat, record, rec);
        return rec.substr(kDrugCode.start - 1, 7);
    }
    std::string Shown(int32_t record) { return ReadShownNote(base, record).text; }
    std::vector<std::string> Faults()
    {
        std::string notes, pnt;
        ReadWholeFile(base + ".NOT", notes);
        ReadWholeFile(base + ".PNT", pnt);
        return CheckNotesSet(notes, pnt, [this](int32_t r) { return CodeOf(r); });
    }
    std::set<int32_t> Linked()
    {
        std::string pnt;
        ReadWholeFile(base + ".PNT", pnt);
        std::set<int32_t> out;
        for (size_t i = 0; i + 1 < pnt.size(); i += 2)
            if (DecodeLE16(pnt.data() + i) != 0xFFFF)
                out.insert(static_cast<int32_t>(i / 2));
        return out;
    }

    QTemporaryDir dir;
    TDbTable kl;
    std::string base, noteB;
    int32_t a = 0, b1 = 0, b2 = 0;
};

TEST_F(NotesSaveKill, AThousandKillsLoseNoNote)
{
    std::mt19937 rng(35);
    std::string committed = "010000113\r\nversion -1\r\n";
    const std::string file = dir.path().toStdString() + "/text";
    // A whole run, start to end, sets the range of the kill moments.
    ASSERT_EQ(WriteFileAtomic(file, committed), 0);
    QElapsedTimer clock;
    clock.start();
    {
        QProcess p;
        p.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                        "0000113", QString::fromStdString(file)});
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    const int runUs = static_cast<int>(clock.nsecsElapsed() / 1000);
    int sawNew = 0, cutMidSave = 0;
    for (int i = 0; i < 1000; ++i) {
        // Short and long versions: the long ones move the note.
        const std::string text =
            "010000113\r\nversion " + std::to_string(i) + "\r\n" + std::string((i % 3) * 300, 'v') + "\r\n";
        ASSERT_EQ(WriteFileAtomic(file, text), 0);
        QProcess p;
        p.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                        "0000113", QString::fromStdString(file)});
        ASSERT_TRUE(p.waitForStarted(10000));
        QThread::usleep(
            static_cast<unsigned long>(std::uniform_int_distribution<int>(0, runUs * 6 / 5)(rng)));
        p.kill();
        p.waitForFinished(10000);
        cutMidSave += FileExists(base + ".NJ$");
        NoteEditBase edit;
        ASSERT_EQ(ReadNoteForEdit(base, a, &edit).status, NoteStatus::Ok) << i; // recovers
        ASSERT_FALSE(FileExists(base + ".NJ$")) << i;
        const std::string now = Shown(a);
        ASSERT_TRUE(now == committed || now == text) << i << ": " << now.substr(0, 30);
        sawNew += now == text && now != committed;
        committed = now;
        ASSERT_EQ(Shown(b1), noteB) << i;
        ASSERT_EQ(Shown(b2), noteB) << i;
        ASSERT_EQ(Faults(), std::vector<std::string>{}) << i;
    }
    EXPECT_GT(sawNew, 0);
    EXPECT_LT(sawNew, 1000);
    RecordProperty("cut_mid_save", cutMidSave);
    std::printf("kills: %d saved, %d cut with an intent left\n", sawNew, cutMidSave);
    const std::set<int32_t> before = Linked();
    QuietSink sink;
    ASSERT_TRUE(NoteFiles(base, "-A ", sink).imported);
    EXPECT_EQ(Linked(), before);
    EXPECT_EQ(Shown(a), committed);
}

TEST_F(NotesSaveKill, TwoCopiesSavingPastEachOtherLoseNothing)
{
    const std::string fa = dir.path().toStdString() + "/a", fb = dir.path().toStdString() + "/b";
    ASSERT_EQ(WriteFileAtomic(fa, "010000113\r\nfrom the first copy\r\n"), 0);
    ASSERT_EQ(WriteFileAtomic(fb, noteB + "from the second copy\r\n"), 0);
    QProcess p1, p2;
    p1.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                     "0000113", QString::fromStdString(fa), "50"});
    p2.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                     "0000114", QString::fromStdString(fb), "50"});
    ASSERT_TRUE(p1.waitForFinished(120000));
    ASSERT_TRUE(p2.waitForFinished(120000));
    const QString out = QString::fromUtf8(p1.readAllStandardOutput() + p2.readAllStandardOutput());
    EXPECT_EQ(out.count(QStringLiteral("saved")), 100) << out.toStdString();
    EXPECT_EQ(Shown(a), "010000113\r\nfrom the first copy\r\n");
    EXPECT_EQ(Shown(b2), noteB + "from the second copy\r\n");
    EXPECT_EQ(Faults(), std::vector<std::string>{});

    // The same note from both: the later of two edits that read the same
    // note is refused as stale, never written over the other.
    QProcess q1, q2;
    q1.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                     "0000113", QString::fromStdString(fa), "50"});
    q2.start(kTool, {"notes", "save", "-d", QString::fromStdString(kDemo), QString::fromStdString(base),
                     "0000113", QString::fromStdString(fa), "50"});
    ASSERT_TRUE(q1.waitForFinished(120000));
    ASSERT_TRUE(q2.waitForFinished(120000));
    EXPECT_EQ(Shown(a), "010000113\r\nfrom the first copy\r\n");
    EXPECT_EQ(Faults(), std::vector<std::string>{});
}

} // namespace
