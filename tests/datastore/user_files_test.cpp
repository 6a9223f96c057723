// The sign list, note marks, maximal-dose marks and word files, over a small
// drug table written by the data-set writers.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "support/drug_codes.h"
#include "support/failing_file_system.h"
#include "support/text_tables.h"
#include "writers/dat_writer.h"
#include "writers/notes_writer.h"
#include "writers/sez_writer.h"

namespace {

// Drug i (1-based record number) has code 0000100 + i.
constexpr int kDrugs = 40; // n = 41 records with the header, 3 sign words
std::string Code(int record)
{
    return test_support::DrugCode(record);
}

std::string Read(const std::string& path)
{
    std::string s;
    return ReadWholeFile(path, s) == 0 ? s : std::string("<missing>");
}

std::string Words(std::vector<uint16_t> words)
{
    std::string s;
    for (uint16_t w : words)
        AppendLE16(s, w);
    return s;
}

struct Boxes {
    std::vector<std::string> errors, messages;
    int cleared = 0;
};

class UserFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data = dir.path().toStdString() + "/data/";
        notes = dir.path().toStdString() + "/notes/";
        QDir().mkpath(QString::fromStdString(data));
        QDir().mkpath(QString::fromStdString(notes));
        WriteDrugs(data);
        oldDataDir = DataDir();
        SetDataDir(data);
        oldHooks = SetUserFileHooks(Hooks());
        FreeUserFileState();
    }
    void TearDown() override
    {
        FreeUserFileState();
        SetUserFileHooks(oldHooks);
        SetDataDir(oldDataDir);
    }

    static void WriteDrugs(const std::string& folder) { test_support::WriteDrugCodes(folder, kDrugs); }

    UserFileHooks Hooks()
    {
        UserFileHooks h;
        h.signListName = [this] { return sign; };
        h.notesName = [] { return std::string("NOTES"); };
        h.notesFolder = [this] { return notes; };
        h.maximDir = [this] { return notes; };
        h.clearSignList = [this] {
            ++boxes.cleared;
            sign.clear();
        };
        h.showError = [this](const std::string& t) { boxes.errors.push_back(t); };
        h.showMessage = [this](const std::string& t) { boxes.messages.push_back(t); };
        return h;
    }

    void Put(const std::string& path, const std::string& bytes)
    {
        ASSERT_EQ(WriteFileAtomic(path, bytes), 0);
    }
    std::vector<std::string> Listing(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const QString& n : QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden))
            names.push_back(n.toStdString());
        return names;
    }

    QTemporaryDir dir;
    std::string data, notes, oldDataDir;
    std::string sign;
    Boxes boxes;
    UserFileHooks oldHooks;
    test_support::ScopedTextTable ui{
        UiTexts,
        test_support::CompileTable(
            "[NotUp]\nSDN=Nenalezeno:\nSSrc=ENo source\\x20\nNeVytv=ECannot write\\x20\n"
            "BylNal=EBusy\\x20\nZakPr=\\x20locked\nNeSmaz=ENo notes\\x20\nSouNez=EForeign\\x20\n"
            "NeVytD=ECannot make\\x20\nNePrej=ECannot rename\\x20\nNePrip=EToo large\\x20\n"
            "MUpd=MUpdated\nOKP=:\\x20\nPozP=\\x20notes,\\x20\nNepP=\\x20alone,\\x20\nLekP=\\x20drugs\n"
            "[NotUpNot]\nObs=Twice\\x20\nNezar=Alone\nOK=Ok\n"
            "[Hlasky]\nSgnOK=Marked:\\x20\nNoSgn=\\x20missing\nUpdate=Notes outdated\nPznEdt=\\x20in use\n")};
};

using SignListTest = UserFilesTest;
using NotesTest = UserFilesTest;

struct RecordingSink : NoteMessageSink {
    void Message(std::string_view m) override { log.emplace_back(m); }
    std::vector<std::string> log;
};

TEST_F(SignListTest, ImportCountsExactlySevenDigitLinesOnceAndReportsMissingCodes)
{
    // BOM, CR LF, a code followed by ";", an 8- and a 6-digit line, a
    // duplicate and a code not in the table.
    Put(notes + "L.TXT", "\xEF\xBB\xBF" + Code(1) + ";x\r\n12345678\r\n123456\n" + Code(17) + "\n" + Code(1) +
                             "\n9999999\nnothing\n" + Code(40));
    std::vector<uint16_t> words(SignWordCount(kDrugs + 1));
    RecordingSink sink;
    EXPECT_EQ(ImportSignList(notes + "L", sink, words), 3);
    EXPECT_EQ(words, (std::vector<uint16_t>{0x0002, 0x0002, 0x0100}));
    EXPECT_EQ(Read(notes + "L.SGN"), Words(words));
    EXPECT_EQ(Read(notes + "L.OTH"), "Nenalezeno:\r\n9999999");
    EXPECT_TRUE(sink.log.empty());
}

TEST_F(SignListTest, ImportSourcesAndOutcomes)
{
    struct Case {
        const char* what;
        const char* txt; // nullptr: none
        const char* csv;
        int expected;
        const char* sgnAfter; // "<missing>" or "old"
        const char* othAfter;
    };
    const std::string one = Code(2) + "\n";
    const Case cases[] = {
        {"CSV read when there is no TXT", nullptr, "0000102;a\n", 1, "new", "<missing>"},
        {"TXT preferred over CSV", "0000103\n", "0000102\n", 1, "new", "<missing>"},
        {"no source touches nothing", nullptr, nullptr, -2, "old", "old"},
        {"no valid code deletes the list", "abc\n1234\n", nullptr, 0, "<missing>", "<missing>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* ext : {".TXT", ".CSV"})
            QFile::remove(QString::fromStdString(notes + "S" + ext));
        Put(notes + "S.SGN", "old");
        Put(notes + "S.OTH", "old");
        if (c.txt)
            Put(notes + "S.TXT", c.txt);
        if (c.csv)
            Put(notes + "S.CSV", c.csv);
        std::vector<uint16_t> words(SignWordCount(kDrugs + 1), 0xFFFF);
        RecordingSink sink;
        EXPECT_EQ(ImportSignList(notes + "S", sink, words), c.expected);
        const std::string sgn = Read(notes + "S.SGN");
        if (std::string(c.sgnAfter) == "new")
            EXPECT_EQ(sgn, Words(words));
        else
            EXPECT_EQ(sgn, c.sgnAfter);
        EXPECT_EQ(Read(notes + "S.OTH"), c.othAfter);
        EXPECT_EQ(sink.log.size(), c.expected == -2 ? 1u : 0u);
    }
}

TEST_F(SignListTest, AFailedSaveLeavesTheOldFilesAndNoTemporaryFile)
{
    using Step = test_support::FailingFileSystem::Step;
    Put(notes + "F.TXT", Code(5) + "\n7777777\n");
    for (Step step : {Step::Create, Step::Write, Step::Flush, Step::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        Put(notes + "F.SGN", "old sgn");
        Put(notes + "F.OTH", "old oth");
        const auto before = Listing(notes);
        test_support::FailingFileSystem fs;
        fs.failAt = step;
        std::vector<uint16_t> words(SignWordCount(kDrugs + 1));
        RecordingSink sink;
        EXPECT_EQ(ImportSignList(notes + "F", sink, words, fs), -3);
        EXPECT_EQ(Read(notes + "F.SGN"), "old sgn");
        EXPECT_EQ(Read(notes + "F.OTH"), "old oth");
        EXPECT_EQ(Listing(notes), before);
        ASSERT_EQ(sink.log.size(), 1u);
        EXPECT_EQ(sink.log[0].rfind("ECannot write ", 0), 0u) << sink.log[0];
    }
}

TEST_F(SignListTest, NewListFilesAreReadableByTheGroupAsTheUmaskAllows)
{
    Put(notes + "G.TXT", Code(5) + "\n7777777\n");
    std::vector<uint16_t> words(SignWordCount(kDrugs + 1));
    RecordingSink sink;
    ASSERT_EQ(ImportSignList(notes + "G", sink, words), 1);
    unsigned mode = 0;
    ASSERT_EQ(RealFileSystem().FileMode(notes + "G.SGN", &mode), 0);
    EXPECT_EQ(mode & 0777, 0666 & ~CurrentUmask());
}

TEST_F(SignListTest, ReservedNamesAreNeverWritten)
{
    for (const char* name : {"kl", "Atc", "KK", "vidud"}) {
        Put(notes + name + std::string(".TXT"), Code(1) + "\n");
        std::vector<uint16_t> words(SignWordCount(kDrugs + 1));
        RecordingSink sink;
        EXPECT_EQ(ImportSignList(notes + name, sink, words), -3) << name;
        EXPECT_FALSE(FileExists(notes + name + ".SGN")) << name;
    }
    EXPECT_FALSE(SignListNameWritable("a/b"));
    EXPECT_FALSE(SignListNameWritable("a\\b"));
    EXPECT_TRUE(SignListNameWritable("KLX"));
}

TEST_F(SignListTest, LoadReadsAFittingListAndRebuildsOneOfTheWrongSize)
{
    sign = "Mine";
    Put(notes + "Mine.SGN", Words({0x0004, 0, 0}));
    LoadSignList();
    auto list = SignListSnapshot();
    EXPECT_TRUE(list->active);
    EXPECT_TRUE(SignListHas(*list, 2));
    EXPECT_FALSE(SignListHas(*list, 3));

    // One word short: rebuilt from the source, reported with its count.
    Put(notes + "Mine.SGN", Words({0x0004, 0}));
    Put(notes + "mine.txt", Code(3) + "\n" + Code(33) + "\n");
    LoadSignList();
    list = SignListSnapshot();
    EXPECT_TRUE(SignListHas(*list, 3));
    EXPECT_TRUE(SignListHas(*list, 33));
    EXPECT_FALSE(SignListHas(*list, 2));
    EXPECT_EQ(Read(notes + "Mine.SGN"), Words({0x0008, 0, 0x0002}));
    EXPECT_EQ(boxes.messages, std::vector<std::string>{"Marked: 2"});
    EXPECT_EQ(boxes.cleared, 0);
}

TEST_F(SignListTest, LoadSwitchesTheListOffWhenItCannotBeUsed)
{
    // Missing file: error box, SIGN= cleared.
    sign = "Gone";
    LoadSignList();
    EXPECT_FALSE(SignListSnapshot()->active);
    EXPECT_EQ(boxes.errors, std::vector<std::string>{"Gone.SGN missing"});
    EXPECT_EQ(boxes.cleared, 1);

    // A shipped VIDUD of the wrong size is not rebuilt elsewhere.
    sign = "VIDUD";
    Put(data + "vidud.sgn", "xx");
    Put(notes + "VIDUD.TXT", Code(1) + "\n");
    const auto before = Listing(notes);
    LoadSignList();
    EXPECT_FALSE(SignListSnapshot()->active);
    EXPECT_EQ(boxes.cleared, 2);
    EXPECT_EQ(Listing(notes), before);
    EXPECT_EQ(Read(data + "vidud.sgn"), "xx");

    // No drug table: off for this run, SIGN= kept.
    sign = "Mine";
    Put(notes + "Mine.SGN", Words({1, 0, 0}));
    QFile::remove(QString::fromStdString(data + "kl.dat"));
    LoadSignList();
    EXPECT_FALSE(SignListSnapshot()->active);
    EXPECT_EQ(sign, "Mine");
    EXPECT_EQ(boxes.cleared, 2);
}

std::string Pointers(std::vector<uint16_t> values)
{
    return Words(std::move(values));
}

TEST_F(NotesTest, NoteMarksFollowThePointerFile)
{
    std::vector<uint16_t> p(kDrugs + 1, 0xFFFF);
    p[1] = 0;
    p[17] = 4;
    Put(notes + "NOTES.PNT", Pointers(p));
    RequestNoteMarksReload();
    LoadNoteMarks();
    EXPECT_TRUE(NoteMarksOn());
    auto marks = NoteMarksSnapshot();
    EXPECT_TRUE(NoteMarksHas(*marks, 1));
    EXPECT_TRUE(NoteMarksHas(*marks, 17));
    EXPECT_FALSE(NoteMarksHas(*marks, 2));
    EXPECT_EQ(marks->words.size(), static_cast<size_t>((kDrugs + 1) / 16 + 1));

    // Rewritten at once with the same size: the new content is read.
    p[17] = 0xFFFF;
    p[5] = 9;
    Put(notes + "NOTES.PNT", Pointers(p));
    LoadNoteMarks();
    marks = NoteMarksSnapshot();
    EXPECT_FALSE(NoteMarksHas(*marks, 17));
    EXPECT_TRUE(NoteMarksHas(*marks, 5));
    EXPECT_TRUE(boxes.errors.empty());

    // A lock file: notes off, marks left alone.
    Put(notes + "notes.smf", "x");
    LoadNoteMarks();
    EXPECT_FALSE(NotesEnabled());
    QFile::remove(QString::fromStdString(notes + "notes.smf"));
    LoadNoteMarks();
    EXPECT_TRUE(NotesEnabled());
}

TEST_F(NotesTest, APointerFileOfTheWrongSizeGivesNoMarks)
{
    const std::string full = Pointers(std::vector<uint16_t>(kDrugs + 1, 0));
    for (const std::string& bytes :
         {full.substr(0, full.size() - 1), full.substr(0, full.size() - 2), full + "\xFF\xFF"}) {
        boxes.errors.clear();
        Put(notes + "NOTES.PNT", bytes);
        RequestNoteMarksReload();
        LoadNoteMarks();
        EXPECT_TRUE(NoteMarksSnapshot()->words.empty());
        EXPECT_FALSE(NoteMarksOn());
        EXPECT_EQ(boxes.errors, std::vector<std::string>{"Notes outdated"});
    }
}

TEST_F(NotesTest, MaximMarksSetExactlyTheListedDrugs)
{
    Put(notes + ".maxim.stx", Code(1) + " first\r\n" + Code(16) + "\nshort\n9999999\n" + Code(40));
    EXPECT_EQ(LoadMaximList(), 0);
    auto marks = MaximMarksSnapshot();
    EXPECT_EQ(marks->size(), static_cast<size_t>((kDrugs + 2) / 8 + 1));
    std::vector<int> set;
    for (int r = 1; r <= kDrugs; ++r)
        if (BitTest(*marks, r - 1))
            set.push_back(r);
    EXPECT_EQ(set, (std::vector<int>{1, 16, 40}));

    QFile::remove(QString::fromStdString(notes + ".maxim.stx"));
    EXPECT_EQ(LoadMaximList(), IoResult::NotFound);
    EXPECT_EQ(MaximMarksSnapshot(), marks);
}

TEST_F(NotesTest, WordFilesComeFramedByLineFeedAndZero)
{
    Put(data + "klnaz.slw", std::string("ab\0c", 4));
    std::string out;
    LoadWordFile(out, "KLNAZ.slw");
    EXPECT_EQ(out, std::string("\nab\0c\0", 6));
    LoadWordFile(out, "none.slw");
    EXPECT_EQ(out, "");
}

TEST_F(NotesTest, TheSinkRoutesByItsFirstCharacter)
{
    NotesMessageSink sink;
    for (const char* m : {"Ebad", "Wwarn", "Mdone", "p", "x", "!! NotUp.X"})
        sink.Message(m);
    EXPECT_EQ(boxes.errors, (std::vector<std::string>{" bad", " warn", "!! NotUp.X"}));
    EXPECT_EQ(boxes.messages, std::vector<std::string>{" done"});
}

} // namespace

namespace {

// Fails every rename whose target ends in `suffix`.
struct FailRenameTo : FileSystemOps {
    std::string suffix;
    int Rename(const std::string& from, const std::string& to) override
    {
        if (to.size() >= suffix.size() && to.compare(to.size() - suffix.size(), suffix.size(), suffix) == 0)
            return EIO;
        return FileSystemOps::Rename(from, to);
    }
};

class NotesImportTest : public UserFilesTest {
protected:
    void SetUp() override
    {
        UserFilesTest::SetUp();
        base = notes + "NOTES";
        // A: two drugs; B: drug 1 again and a 5-digit code of drug 3; C: no
        // drug; D: three blocks; E: 55 bytes; F: 56 bytes.
        a = NoteBytes("01" + Code(1) + "\r\n01" + Code(2) + "\r\n02head\r\nText A");
        b = NoteBytes("01" + Code(1) + "\r\n0100103\r\nB");
        bFixed = NoteBytes("01" + Code(1) + "\r\n01" + Code(3) + "\r\nB");
        c = NoteBytes("02only a header\r\nC");
        d = NoteBytes("01" + Code(10) + "\r\n") + std::string(612 - 13, 'x');
        e = NoteBytes("01" + Code(11) + "\r\n") + std::string(55 - 13, 'e');
        f = NoteBytes("01" + Code(12) + "\r\n") + std::string(56 - 13, 'f');
        old = PadBlocks(a, 1) + PadBlocks("", 1) + PadBlocks(b, 1) + PadBlocks(c, 1) + PadBlocks(d, 3) +
              PadBlocks(e, 1) + PadBlocks(f, 1);
        Put(base + ".NOT", old);
        Put(base + ".PNT", "old pnt");
        Put(base + ".BAK", "old bak");
    }

    std::vector<std::string> Work()
    {
        std::vector<std::string> found;
        for (const std::string& n : Listing(notes))
            if (n.find('$') != std::string::npos || n[0] == '.' || n.find("SMF") != std::string::npos)
                found.push_back(n);
        return found;
    }
    void ExpectUntouched()
    {
        EXPECT_TRUE(Read(base + ".NOT") == old); // no dump of a large set
        EXPECT_EQ(Read(base + ".PNT"), "old pnt");
        EXPECT_EQ(Read(base + ".BAK"), "old bak");
    }

    std::string base, a, b, bFixed, c, d, e, f, old;
};

TEST_F(NotesImportTest, AHandLaidSetIsReindexed)
{
    RecordingSink sink;
    const NoteImportResult r = NoteFiles(base, "-A ", sink);
    EXPECT_TRUE(r.imported);
    EXPECT_EQ(r.written, 6);
    EXPECT_EQ(r.withoutDrug, 1);
    EXPECT_EQ(r.linked, 6);
    // D: (612 + 200) div 256 + 1 = 4 blocks; E one block, F two.
    EXPECT_EQ(Read(base + ".NOT"), PadBlocks(a, 1) + PadBlocks(bFixed, 1) + PadBlocks(c, 1) +
                                       PadBlocks(d, 4) + PadBlocks(e, 1) + PadBlocks(f, 2));
    std::vector<uint16_t> p(kDrugs + 1, 0xFFFF);
    p[1] = 0, p[2] = 0, p[3] = 1, p[10] = 3, p[11] = 7, p[12] = 8;
    EXPECT_EQ(Read(base + ".PNT"), Words(p));
    EXPECT_EQ(Read(base + ".BAK"), old);
    EXPECT_EQ(Read(base + ".OTH"), "Nenalezeno:\r\nOk\r\n" + a.substr(2) + "\r\nTwice " + Code(1) +
                                       "\r\n\r\nOk\r\n" + bFixed.substr(2) + "\r\nAlone\r\n\r\nOk\r\n" +
                                       d.substr(2) + "\r\nOk\r\n" + e.substr(2) + "\r\nOk\r\n" + f.substr(2));
    EXPECT_TRUE(Work().empty());
    ASSERT_FALSE(sink.log.empty());
    EXPECT_EQ(sink.log.back(), "MUpdated " + base + ": 6 notes, 1 alone, 6 drugs");

    // Every pointer leads to a note start whose "01" lines name its record.
    const std::string notesNow = Read(base + ".NOT");
    for (int rec = 0; rec <= kDrugs; ++rec) {
        if (p[rec] == 0xFFFF)
            continue;
        const std::string note = notesNow.substr(p[rec] * 256u, 256);
        EXPECT_EQ(note[2], '0');
        EXPECT_NE(note.find("01" + Code(rec) + "\r"), std::string::npos) << rec;
    }
}

TEST_F(NotesImportTest, EveryHeaderLineAfterAShortCodeLinksInOneImport)
{
    // The short code gains its two zeros in the note; the lines after it
    // must still be read, so a second import finds nothing new to do.
    const std::string g = NoteBytes("0100104\r\n01" + Code(5) + "\r\n01" + Code(6) + "\r\n02head\r\nG");
    const std::string gFixed =
        NoteBytes("01" + Code(4) + "\r\n01" + Code(5) + "\r\n01" + Code(6) + "\r\n02head\r\nG");
    Put(base + ".NOT", PadBlocks(g, 1));
    std::vector<uint16_t> p(kDrugs + 1, 0xFFFF);
    p[4] = p[5] = p[6] = 0;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        RecordingSink sink;
        const NoteImportResult r = NoteFiles(base, "-A ", sink);
        EXPECT_TRUE(r.imported);
        EXPECT_EQ(r.linked, 3);
        EXPECT_EQ(Read(base + ".NOT"), PadBlocks(gFixed, 1));
        EXPECT_EQ(Read(base + ".PNT"), Words(p));
    }
}

TEST_F(NotesImportTest, ASetInUseOrOfAnotherFormIsLeftAlone)
{
    Put(notes + "notes.smf", "theirs");
    RecordingSink sink;
    EXPECT_FALSE(NoteFiles(base, "-A ", sink).imported);
    ExpectUntouched();
    EXPECT_EQ(Read(notes + "notes.smf"), "theirs");
    ASSERT_EQ(sink.log.size(), 1u);
    EXPECT_EQ(sink.log[0].rfind("EBusy ", 0), 0u);
    QFile::remove(QString::fromStdString(notes + "notes.smf"));

    for (const std::string& first : {std::string("\x95packed", 7), std::string("plain text")}) {
        old = PadBlocks(first, 2);
        Put(base + ".NOT", old);
        sink.log.clear();
        EXPECT_FALSE(NoteFiles(base, "-A ", sink).imported);
        ExpectUntouched();
        EXPECT_TRUE(Work().empty());
        ASSERT_EQ(sink.log.size(), 1u);
        EXPECT_EQ(sink.log[0].rfind("EForeign ", 0), 0u);
    }
}

TEST_F(NotesImportTest, AFailedRenameKeepsAConsistentPairOrTheLock)
{
    struct Case {
        const char* target;
        bool notReplaced;
        bool lockStays;
    };
    for (const Case& k : {Case{".NO$", false, false}, Case{".BAK", false, false}, Case{".NOT", false, true},
                          Case{".PNT", true, true}}) {
        SCOPED_TRACE(k.target);
        SetUp();
        for (const std::string& n : Work())
            QFile::remove(QString::fromStdString(notes + n));
        FailRenameTo fs;
        fs.suffix = k.target;
        RecordingSink sink;
        EXPECT_FALSE(NoteFiles(base, "-A ", sink, fs).imported);
        EXPECT_EQ(Read(base + ".PNT"), "old pnt");
        if (k.notReplaced)
            EXPECT_NE(Read(base + ".NOT"), old);
        else
            EXPECT_EQ(Read(base + ".NOT"), old);
        EXPECT_EQ(FileExists(base + ".SMF"), k.lockStays);
        if (!k.lockStays) {
            EXPECT_TRUE(Work().empty());
            EXPECT_EQ(Read(base + ".BAK"), "old bak");
        }
    }
}

TEST_F(NotesImportTest, ANoteBeyondThePointerRangeStopsTheImport)
{
    // A first note that fills blocks 0..65534 of the new set.
    std::string big = NoteBytes("01" + Code(1) + "\r\n");
    big.resize(65534 * 256 - 1, 'x');
    big.push_back('\0');
    old = big + PadBlocks(NoteBytes("01" + Code(2) + "\r\nlate"), 1);
    Put(base + ".NOT", old);
    RecordingSink sink;
    EXPECT_FALSE(NoteFiles(base, "-A ", sink).imported);
    ExpectUntouched();
    EXPECT_TRUE(Work().empty());
    EXPECT_EQ(sink.log.back().rfind("EToo large ", 0), 0u);
}

TEST_F(NotesImportTest, ImportNotesMarksTheLinkedDrugs)
{
    ImportNotes();
    EXPECT_TRUE(NoteMarksOn());
    auto marks = NoteMarksSnapshot();
    std::vector<int> marked;
    for (int r = 0; r <= kDrugs; ++r)
        if (NoteMarksHas(*marks, r))
            marked.push_back(r);
    EXPECT_EQ(marked, (std::vector<int>{1, 2, 3, 10, 11, 12}));
    EXPECT_EQ(boxes.messages.size(), 1u);

    Put(base + ".SMF", "x");
    ImportNotes();
    EXPECT_EQ(boxes.errors.back(), "NOTES in use");
}

} // namespace

namespace {

// The loader's thread reloads while this one reads every published state.
TEST_F(NotesTest, ReadersSeeWholeStatesWhileAWorkerReloads)
{
    sign = "Mine";
    Put(notes + "Mine.SGN", Words({0x0006, 0, 0}));
    std::vector<uint16_t> p(kDrugs + 1, 0xFFFF);
    p[3] = 0;
    Put(notes + "NOTES.PNT", Words(p));
    Put(notes + ".maxim.stx", Code(4) + "\n");
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i) {
            LoadSignList();
            RequestNoteMarksReload();
            LoadNoteMarks();
            LoadMaximList();
        }
        done = true;
    });
    int seen = 0;
    while (!done) {
        const auto list = SignListSnapshot();
        // A published list is either the empty start or the whole file.
        if (list->active) {
            EXPECT_TRUE(SignListHas(*list, 1) && SignListHas(*list, 2));
            ++seen;
        }
        const auto marks = NoteMarksSnapshot();
        EXPECT_TRUE(marks->words.empty() || NoteMarksHas(*marks, 3));
        const auto maxim = MaximMarksSnapshot();
        EXPECT_TRUE(maxim->empty() || BitTest(*maxim, 3));
    }
    worker.join();
    EXPECT_TRUE(SignListSnapshot()->active);
    EXPECT_TRUE(boxes.errors.empty());
    (void)seen;
}

} // namespace
