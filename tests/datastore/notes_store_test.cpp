// The notes store: reading, the copy-on-write save, its recovery after a
// failure at any step, and the edit lock, over sets laid out by the notes writer.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/notes_store.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "support/failing_file_system.h"
#include "writers/dat_writer.h"
#include "writers/notes_writer.h"
#include "writers/sez_writer.h"
#include "writers/x6_writer.h"

namespace {

constexpr int kDrugs = 70; // n = 71 records with the header

std::string Code(int record)
{
    return std::to_string(10000000 + 100 + record).substr(1);
}

std::string Read(const std::string& path)
{
    std::string s;
    return ReadWholeFile(path, s) == 0 ? s : std::string("<missing>");
}

uint16_t EntryOf(const std::string& pnt, int record)
{
    const size_t at = static_cast<size_t>(record) * 2;
    return at + 1 < pnt.size() ? DecodeLE16(pnt.data() + at) : kNoNoteEntry;
}

class NotesStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data = dir.path().toStdString() + "/data/";
        QDir().mkpath(QString::fromStdString(data));
        const DatLayout kl(kKlLayout);
        std::vector<std::string> records;
        for (int r = 1; r <= kDrugs; ++r) {
            std::string rec = kl.BlankRecord();
            kl.PutText(rec, "KOD", Code(r));
            records.push_back(rec);
        }
        ASSERT_EQ(WriteDatFile(data + "kl.dat", kl, records), 0);
        ASSERT_EQ(WriteSezFile(data + "klkod.sez", records, SezKeySpec{0, 7, 32, 7}), 0);
        oldDataDir = DataDir();
        SetDataDir(data);
        base = data + "NOTES";
    }
    void TearDown() override { SetDataDir(oldDataDir); }

    void Lay(const std::vector<NoteSpec>& notes) { ASSERT_EQ(WriteNotesSet(base, notes, kDrugs + 1), 0); }

    // What a record shows now ("" for no note).
    std::string Shown(int record)
    {
        const ShownNote s = ReadShownNote(base, record);
        return s.state == ShownNote::State::Text ? s.text : std::string();
    }

    NoteResult Edit(int record, const std::string& text, FileSystemOps& ops = RealFileSystem())
    {
        NoteEditBase e;
        const NoteResult r = ReadNoteForEdit(base, record, &e);
        EXPECT_EQ(r.status, NoteStatus::Ok);
        return SaveNoteText(base, e, text, ops);
    }

    std::vector<std::string> Faults()
    {
        return CheckNotesSet(Read(base + ".NOT"), Read(base + ".PNT"), Code);
    }

    QTemporaryDir dir;
    std::string data, base, oldDataDir;
};

std::string Lines(std::vector<int> records, const std::string& rest)
{
    std::string t;
    for (int r : records)
        t += "01" + Code(r) + "\r\n";
    return t + rest;
}

TEST_F(NotesStoreTest, ReadingShowsTheNoteOfEachLinkedRecord)
{
    const std::string a = Lines({1, 2}, "\r\nfree text\r\n");
    Lay({{a, {1, 2}}, {Lines({3}, "x\r\n"), {3}, 3}});
    EXPECT_EQ(Shown(1), a);
    EXPECT_EQ(Shown(2), a);
    EXPECT_EQ(Shown(3), Lines({3}, "x\r\n"));
    EXPECT_EQ(Shown(4), "");
    EXPECT_EQ(Shown(kDrugs + 5), ""); // past the end of ".PNT"

    // A ".NOT" locked by a save past the wait shows the set as busy.
    FileLock held;
    ASSERT_EQ(held.Take(base + ".NOT", true, 0), 0);
    EXPECT_EQ(ReadShownNote(base, 1).state, ShownNote::State::Busy);
}

// One save each, from a laid-out set: what the changed records show and
// what must stay byte-identical.
TEST_F(NotesStoreTest, SavesWriteTheNoteAndKeepEveryOtherByte)
{
    const std::string a = Lines({1, 2}, "note A\r\n");
    const std::string b = Lines({5}, "note B\r\n");
    // 2 + 254 bytes fill the block: a zero block follows.
    const std::string full = Lines({7}, std::string(254 - 11 - 2, 'f') + "\r\n");
    struct Case {
        const char* name;
        int record;
        std::string text;
        std::vector<std::pair<int, std::string>> shows; // record → its note now
        size_t notBlocks;                               // ".NOT" size afterwards
    };
    const std::vector<Case> cases = {
        {"new note", 9, Lines({9}, "new\r\n"), {{9, Lines({9}, "new\r\n")}, {1, a}, {5, b}}, 4},
        {"all 01 lines deleted", 1, "just text\r\n", {{1, ""}, {2, ""}, {5, b}}, 3},
        {"growth moves it",
         1,
         Lines({1, 2}, std::string(600, 'g') + "\r\n"),
         {{1, Lines({1, 2}, std::string(600, 'g') + "\r\n")}, {5, b}},
         3 + 3},
        {"exact block fill", 7, full, {{7, full}}, 3 + 2},
        {"02 lines, 5-digit code, one record dropped",
         1,
         "02heading\r\n01" + Code(1) + "\r\n01" + Code(11).substr(2) + ";\r\nbody\r\n",
         {{1, "02heading\r\n01" + Code(1) + "\r\n01" + Code(11).substr(2) + ";\r\nbody\r\n"},
          {11, "02heading\r\n01" + Code(1) + "\r\n01" + Code(11).substr(2) + ";\r\nbody\r\n"},
          {2, ""}},
         4},
        {"no line break at the end", 1, Lines({1}, "end"), {{1, Lines({1}, "end\r\n")}}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lay({{a, {1, 2}}, {b, {5}, 2}});
        const std::string bBlocks = Read(base + ".NOT").substr(256, 512);
        FileStamp before, after;
        ASSERT_TRUE(GetFileStamp(base + ".PNT", &before));
        const NoteResult r = Edit(c.record, c.text);
        EXPECT_EQ(r.status, NoteStatus::Ok);
        // A whole index takes the changed entries where they stand.
        ASSERT_TRUE(GetFileStamp(base + ".PNT", &after));
        EXPECT_EQ(after.inode, before.inode);
        for (const auto& [record, text] : c.shows)
            EXPECT_EQ(Shown(record), text) << record;
        const std::string now = Read(base + ".NOT");
        EXPECT_EQ(now.size(), c.notBlocks * 256);
        EXPECT_EQ(now.substr(256, 512), bBlocks); // the neighbour
        EXPECT_EQ(Faults(), std::vector<std::string>{});
        EXPECT_FALSE(FileExists(base + ".NJ$"));
        // The old note is gone from the file, so no import brings it back.
        if (c.record == 1)
            EXPECT_EQ(now.substr(0, 256), std::string(256, '\0'));
    }
}

TEST_F(NotesStoreTest, SixtyRecordsAndAShortIndexAreLinked)
{
    std::vector<int> all;
    for (int r = 1; r <= 60; ++r)
        all.push_back(r);
    Lay({{Lines({1}, "x\r\n"), {1}}});
    // A ".PNT" cut short reads as no note past its end, and is extended.
    ASSERT_EQ(WriteFileAtomic(base + ".PNT", Read(base + ".PNT").substr(0, 10)), 0);
    const NoteResult r = Edit(60, Lines(all, "many\r\n"));
    EXPECT_EQ(r.status, NoteStatus::Ok);
    // Drug 1 keeps the note it has; the other 59 get the new one.
    EXPECT_EQ(r.kept, std::vector<std::string>{Code(1)});
    const std::string pnt = Read(base + ".PNT");
    EXPECT_EQ(pnt.size(), (kDrugs + 1) * 2u);
    EXPECT_EQ(Shown(1), Lines({1}, "x\r\n"));
    for (int rec = 2; rec <= 60; ++rec)
        EXPECT_EQ(Shown(rec), Lines(all, "many\r\n")) << rec;
    EXPECT_EQ(EntryOf(pnt, 61), kNoNoteEntry);
    EXPECT_EQ(Faults(), std::vector<std::string>{});
}

TEST_F(NotesStoreTest, ADrugWithAnotherNoteKeepsIt)
{
    const std::string b = Lines({5}, "B\r\n");
    Lay({{Lines({1}, "A\r\n"), {1}}, {b, {5}}});
    NoteResult r = Edit(1, Lines({1, 5}, "A2\r\n"));
    EXPECT_EQ(r.status, NoteStatus::Ok);
    EXPECT_EQ(r.kept, std::vector<std::string>{Code(5)});
    EXPECT_EQ(Shown(5), b);
    EXPECT_EQ(Shown(1), Lines({1, 5}, "A2\r\n"));

    // Linking only drugs of other notes writes nothing.
    const std::string before = Read(base + ".NOT") + Read(base + ".PNT");
    r = Edit(1, Lines({5}, "steal\r\n"));
    EXPECT_EQ(r.status, NoteStatus::NoLink);
    EXPECT_EQ(Read(base + ".NOT") + Read(base + ".PNT"), before);
}

TEST_F(NotesStoreTest, AStaleEditWritesNothing)
{
    Lay({{Lines({1, 2}, "A\r\n"), {1, 2}}});
    NoteEditBase first, second;
    ASSERT_EQ(ReadNoteForEdit(base, 1, &first).status, NoteStatus::Ok);
    ASSERT_EQ(ReadNoteForEdit(base, 2, &second).status, NoteStatus::Ok);
    EXPECT_EQ(first.text, Lines({1, 2}, "A\r\n"));
    EXPECT_EQ(SaveNoteText(base, first, Lines({1, 2}, "first\r\n")).status, NoteStatus::Ok);
    const std::string before = Read(base + ".NOT") + Read(base + ".PNT");
    EXPECT_EQ(SaveNoteText(base, second, Lines({1, 2}, "second\r\n")).status, NoteStatus::Stale);
    EXPECT_EQ(Read(base + ".NOT") + Read(base + ".PNT"), before);
    EXPECT_EQ(Shown(2), Lines({1, 2}, "first\r\n"));
}

TEST_F(NotesStoreTest, APackedSetIsShownButNeverWritten)
{
    std::string text = Lines({1}, "");
    for (int i = 0; i < 8; ++i)
        text += "the note on this drug is a short text in words and lines\r\n";
    const std::string packed = HuffEncoder().Encode(text);
    ASSERT_LE(packed.size(), text.size());
    std::string notes(256, '\0');
    notes[0] = '\x95';
    std::string note(2, '\0');
    AppendLE16(note, static_cast<uint16_t>(packed.size()));
    AppendLE16(note, static_cast<uint16_t>(text.size() - packed.size()));
    notes += PadBlocks(note + packed, (note.size() + packed.size()) / 256 + 1);
    std::vector<uint16_t> entries(kDrugs + 1, kNoNoteEntry);
    entries[1] = 1;
    std::string pnt;
    for (uint16_t e : entries)
        AppendLE16(pnt, e);
    ASSERT_EQ(WriteFileAtomic(base + ".NOT", notes), 0);
    ASSERT_EQ(WriteFileAtomic(base + ".PNT", pnt), 0);

    ShownNote s = ReadShownNote(base, 1);
    EXPECT_TRUE(s.packed);
    EXPECT_FALSE(s.badLength);
    EXPECT_EQ(s.text, text);
    NoteEditBase e;
    EXPECT_EQ(ReadNoteForEdit(base, 1, &e).status, NoteStatus::Packed);

    // A growth that does not fit the decoded bytes: the decoded part and the flag.
    notes[256 + 4] = static_cast<char>(notes[256 + 4] + 1);
    ASSERT_EQ(WriteFileAtomic(base + ".NOT", notes), 0);
    s = ReadShownNote(base, 1);
    EXPECT_TRUE(s.badLength);
    EXPECT_EQ(s.text.substr(0, 20), text.substr(0, 20));
}

TEST_F(NotesStoreTest, ANoteThatWouldStartPastTheLastBlockIsRefused)
{
    Lay({{Lines({1}, "A\r\n"), {1}, 0, 0xFFFF - 1}});
    const std::string before = Read(base + ".NOT") + Read(base + ".PNT");
    EXPECT_EQ(Edit(2, Lines({2}, "B\r\n")).status, NoteStatus::TooLarge);
    EXPECT_EQ(Read(base + ".NOT") + Read(base + ".PNT"), before);
}

// Every write, sync and rename of a save made to fail in turn: after the
// failure and the recovery the next edit start runs, the edited records show
// the old or the new text, the other note is byte-identical and every entry
// leads to a note naming its record.
TEST_F(NotesStoreTest, AFailureAtAnyStepLosesNothing)
{
    const std::string a = Lines({1, 2}, "old A\r\n");
    const std::string b = Lines({5}, "B stays\r\n");
    const std::string grown = Lines({1, 2}, std::string(700, 'n') + "\r\n");
    int steps = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        Lay({{a, {1, 2}}, {b, {5}}});
        const std::string bBytes = Read(base + ".NOT").substr(256, 256);
        test_support::FailingFileSystem fs;
        fs.sync = false;
        fs.failCall = n;
        const NoteResult r = Edit(1, grown, fs);
        NoteEditBase again;
        ASSERT_EQ(ReadNoteForEdit(base, 3, &again).status, NoteStatus::Ok); // recovers
        EXPECT_FALSE(FileExists(base + ".NJ$"));
        const std::string one = Shown(1);
        EXPECT_TRUE(one == a || one == grown) << one.substr(0, 40);
        EXPECT_EQ(Shown(2), one);
        EXPECT_EQ(Read(base + ".NOT").substr(256, 256), bBytes);
        EXPECT_EQ(Faults(), std::vector<std::string>{});
        // Exactly one copy of the edited note's header is left in the file.
        const std::string notes = Read(base + ".NOT");
        size_t copies = 0;
        for (size_t at = 0; at + 4 <= notes.size(); at += 256)
            copies += notes.compare(at + 2, 9, "01" + Code(1)) == 0;
        EXPECT_EQ(copies, 1u);
        if (fs.calls < n) { // nothing left to fail: the save went through
            EXPECT_EQ(r.status, NoteStatus::Ok);
            EXPECT_EQ(one, grown);
            steps = n - 1;
            break;
        }
    }
    EXPECT_GE(steps, 6); // intent write, sync, rename; note; entries; zeroing
}

TEST_F(NotesStoreTest, TheEditLockIsRemovedOnlyByItsMaker)
{
    {
        NoteEditLock mine;
        EXPECT_EQ(mine.Take(base), NoteEditLock::Result::Taken);
        EXPECT_EQ(Read(base + ".SMF"), "Edit is in progress\r\n");
        NoteEditLock other;
        EXPECT_EQ(other.Take(base), NoteEditLock::Result::Foreign);
        other.Drop();
        EXPECT_TRUE(FileExists(base + ".SMF"));
    }
    EXPECT_FALSE(FileExists(base + ".SMF"));

    // A lock replaced by another's after ours is theirs.
    NoteEditLock mine;
    ASSERT_EQ(mine.Take(base), NoteEditLock::Result::Taken);
    ASSERT_EQ(WriteFileAtomic(base + ".SMF", "theirs"), 0);
    mine.Drop();
    EXPECT_EQ(Read(base + ".SMF"), "theirs");
}

TEST_F(NotesStoreTest, AFolderWithoutRoomForAFileStopsTheEdit)
{
    Lay({{Lines({1}, "A\r\n"), {1}}});
    EXPECT_EQ(UnwritableNotesFile(base), "");
    test_support::FailingFileSystem fs;
    fs.failAt = test_support::FailingFileSystem::Step::Create;
    EXPECT_EQ(UnwritableNotesFile(base, fs), base + ".PNT");
}

} // namespace
