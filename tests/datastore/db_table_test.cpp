#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "fixtures/small_tables.h"
#include "platform/fs.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

struct HookCall {
    std::string id;
    int32_t status;
    int32_t position;
    uint16_t code;
    bool operator==(const HookCall&) const = default;
};

thread_local std::vector<HookCall>* tCalls = nullptr;

void RecordingHook(const TFileId& id, int32_t position, uint16_t code)
{
    if (tCalls)
        tCalls->push_back({FileIdToStr(id), DbStatus, position, code});
}

// Collects the hook calls made on this thread for its lifetime.
class HookRecorder {
public:
    HookRecorder()
    {
        tCalls = &calls;
        ThreadDbErrorHook = &RecordingHook;
    }
    ~HookRecorder()
    {
        ThreadDbErrorHook = nullptr;
        tCalls = nullptr;
    }
    std::vector<HookCall> calls;
};

std::string Write(const std::string& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir + "/" + name;
    EXPECT_EQ(WriteFileAtomic(path, bytes), 0) << path;
    return path;
}

std::string Rec(const std::string& buf, int L)
{
    return buf.substr(0, static_cast<size_t>(L));
}

// ---------------------------------------------------------------------------
// The hand-laid table

class SmallTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        d = dir.path().toStdString();
        Write(d, "med.dat", small_tables::MedDat());
        Write(d, "mednaz.sez", small_tables::MedNazSez());
    }
    QTemporaryDir dir;
    std::string d;
    HookRecorder hooks;
};

TEST_F(SmallTable, OpensTheHandLaidFilesAndReadsEveryRecord)
{
    TDbTable t;
    OpenTableIn(t, d, "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(t.dat.length, 17);
    EXPECT_EQ(t.dat.shift, 0);
    EXPECT_EQ(t.dat.count, 6);
    EXPECT_EQ(t.dat.FieldCount(), 2);
    EXPECT_EQ(FieldNameToStr(t.dat.FieldName(0)), "KOD");
    EXPECT_EQ(FieldNameToStr(t.dat.FieldName(1)), "NAZ");
    EXPECT_EQ(t.dat.FieldDescriptor(1), 0x0D);
    EXPECT_EQ(t.LeafCount(), 5);
    EXPECT_EQ(t.sez.win.E, 9);
    EXPECT_EQ(t.sez.win.W, 71);
    EXPECT_EQ(t.sez.keyType, 192 + 10);
    EXPECT_EQ(t.sez.KeyFieldOffset(), 3);

    std::string buf;
    for (int r = 1; r <= 5; ++r) {
        ReadRecord(t.dat, r, buf);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(buf, small_tables::MedRecords()[static_cast<size_t>(r - 1)]);
    }
    // Key order: r4, r2, r3, r5, r1.
    const int order[] = {4, 2, 3, 5, 1};
    for (int pos = 0; pos < 5; ++pos) {
        ReadByOrder(t, pos, buf);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(t.recNo, order[pos]);
        EXPECT_EQ(t.Position(), pos);
        EXPECT_EQ(buf, small_tables::MedRecords()[static_cast<size_t>(order[pos] - 1)]);
    }
    std::string key;
    IndexEntryKey(t.sez, key, 2);
    EXPECT_EQ(key, "CAJ HERMA"); // 7 stored bytes: 9 characters
    EXPECT_EQ(ReadDatStamp(d + "/med"), 0x1234);
    EXPECT_EQ(ReadDatStamp(d + "/MED"), 0x1234); // any letter case
    EXPECT_EQ(ReadDatStamp(d + "/none"), 0);
    EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(SmallTable, FindRecordIsALowerBoundOverFoldedText)
{
    TDbTable t;
    OpenTableIn(t, d, "med", "mednaz", 0);
    ASSERT_EQ(DbStatus, 0);
    struct Case {
        std::string text;
        int32_t status;
        int32_t pos;
        int32_t recNo;
    };
    const Case cases[] = {
        {"", 0, 0, 4}, // empty text: first in key order
        {"ACYLPYRIN", 0, 0, 4},
        {"acylpyrin 5", 0, 1, 2},          // longer than the key; stored keys equal
        {"ACYLPYRIN 500 X", -20001, 2, 3}, // longer than the field
        {"\x87"
         "AJ",
         0, 2, 3},                // "čAJ": diacritics fold away
        {"caj he\xA9m", 0, 2, 3}, // "caj heřm"
        {"B", -20001, 2, 3},
        {"ibalgin 2", 0, 3, 5}, // field "Ibalgin-200": hyphen folds to blank
        {"IBALGIN-4", 0, 4, 1},
        {"IBALGIN 3", -20001, 4, 1},
        {"ZZZ", -20001, 4, 1}, // above every key: last record
    };
    std::string buf;
    for (const Case& c : cases) {
        FindRecord(t, c.text, buf);
        EXPECT_EQ(DbStatus, c.status) << c.text;
        EXPECT_EQ(t.Position(), c.pos) << c.text;
        EXPECT_EQ(t.recNo, c.recNo) << c.text;
        EXPECT_EQ(buf, small_tables::MedRecords()[static_cast<size_t>(c.recNo - 1)]) << c.text;
    }
    EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(SmallTable, ReadByOrderOutsideTheLeavesGivesMinus20003AndAnEmptyBuffer)
{
    TDbTable t;
    OpenTableIn(t, d, "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);
    std::string buf;
    for (int32_t pos : {-1, 5, 1000}) {
        buf.assign(17, 'x');
        ReadByOrder(t, pos, buf);
        EXPECT_EQ(DbStatus, -20003) << pos;
        EXPECT_EQ(buf[0], '\0') << pos;
    }
    int32_t recNo = 77;
    IndexEntryRecNo(t.sez, recNo, -1);
    EXPECT_EQ(DbStatus, -20003);
    EXPECT_EQ(recNo, 77);
    IndexEntryRecNo(t.sez, recNo, 99); // beyond the end: the last leaf
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(recNo, 1);
    EXPECT_EQ(t.sez.curPos, 4);
    EXPECT_TRUE(hooks.calls.empty());
}

TEST_F(SmallTable, FieldAccessors)
{
    const std::string& r = small_tables::MedRecords()[2]; // "003čaj heřmánek  "
    EXPECT_EQ(GetField(r, 1, 3), "003");
    EXPECT_EQ(GetField(r, 4, 14), r.substr(3));
    EXPECT_EQ(GetField(r, 16, 10), "  "); // cut at the record's end
    EXPECT_EQ(GetField(r, 40, 3), "");
    EXPECT_EQ(GetFieldTrim(r, 4, 14), r.substr(3, 12));
    EXPECT_EQ(GetFieldUpper(r, 4, 14), "CAJ HERMANEK  ");
    EXPECT_EQ(FieldDiffers(r, 1, 3, "003"), 0);
    EXPECT_EQ(FieldDiffers(r, 1, 3, "0031"), 0); // only the first 3 characters
    EXPECT_EQ(FieldDiffers(r, 1, 3, "004"), 1);
    EXPECT_EQ(FieldDiffers(r, 1, 3, "00"), 1);     // text shorter than the field
    EXPECT_EQ(FieldDiffers(r, 16, 5, "  abc"), 1); // field cut by the record's end
    EXPECT_EQ(FieldDiffersUpper(r, 4, 3, "CAJ"), 0);
    EXPECT_EQ(FieldDiffersUpper(r, 4, 3,
                                "\x80"
                                "aj"),
              0); // "Čaj"
    EXPECT_EQ(FieldDiffersUpper(r, 4, 3, "CAK"), 1);
    EXPECT_EQ(FieldLength(0x00), 1);
    EXPECT_EQ(FieldLength(0x45), 70);
    EXPECT_EQ(FieldLength(0x7F), 128);
    EXPECT_EQ(FieldLength(0x96), 7);
    EXPECT_EQ(FieldLength(0xB8), 9);
    EXPECT_EQ(FieldLength(0xDC), 13);
    EXPECT_EQ(FieldLength(0xF3), 4);
    EXPECT_EQ(FieldLength(0xF9), 2);
}

TEST(HeaderShift, FirstDataRecordIsNumberOneAfterATwoRecordHeader)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "tree.dat", small_tables::TreeDat());
    Write(d, "treenaz.sez", BuildSezFile(small_tables::TreeRecords(), {2, 4, 0, 4}));
    HookRecorder hooks;
    TDbTable t;
    OpenTableIn(t, d, "tree", "treenaz", 6);
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(t.dat.shift, 1);
    EXPECT_EQ(t.dat.count, 4); // 5 file records - 1
    std::string buf;
    ReadRecord(t.dat, 1, buf);
    EXPECT_EQ(buf, "01Lipa");
    ReadRecord(t.dat, 3, buf);
    EXPECT_EQ(buf, "03Dub ");
    ReadRecord(t.dat, 0, buf); // the header's last record
    EXPECT_EQ(buf, small_tables::TreeDat().substr(6, 6));
    FindRecord(t, "Dub", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(t.recNo, 3);
    EXPECT_EQ(t.Position(), 1); // Buk, Dub, Lipa
    ReadRecord(t.dat, 4, buf);  // past the end
    EXPECT_EQ(DbStatus, IoResult::ShortRead);
    ASSERT_EQ(hooks.calls.size(), 1u);
    EXPECT_EQ(hooks.calls[0], (HookCall{"tree", 100, 5, 11}));
}

// ---------------------------------------------------------------------------
// Opening: identities, folders, failures

TEST(OpenTable, SameIdentitiesTouchNoFileAndANewIndexExchangesOnlyTheIndex)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "med.dat", small_tables::MedDat());
    Write(d, "mednaz.sez", small_tables::MedNazSez());
    Write(d, "medkod.sez", BuildSezFile(small_tables::MedRecords(), {0, 3, 32, 3}));
    HookRecorder hooks;
    SetDataDir(d);
    TDbTable t;
    OpenTable(t, "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);
    std::string buf;
    FindRecord(t, "IBALGIN 4", buf);
    ASSERT_EQ(t.recNo, 1);

    // With both files gone, reopening the same pair still works: nothing is opened.
    ASSERT_EQ(std::rename((d + "/med.dat").c_str(), (d + "/gone.dat").c_str()), 0);
    ASSERT_EQ(std::rename((d + "/mednaz.sez").c_str(), (d + "/gone.sez").c_str()), 0);
    OpenTable(t, "med", "mednaz", 17);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(t.recNo, 0); // reset by every open
    FindRecord(t, "ACYLPYRIN 5", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(t.recNo, 2);

    // A new index: the record file (gone from the folder) stays open.
    OpenTable(t, "med", "medkod", 17);
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(FileIdToStr(t.sez.id), "medkod");
    FindRecord(t, "003", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(buf, small_tables::MedRecords()[2]);

    // Back to the old index: it is gone, so the open fails silently.
    OpenTable(t, "med", "mednaz", 17);
    EXPECT_EQ(DbStatus, IoResult::NotFound);
    EXPECT_FALSE(t.sez.IsOpen());
    EXPECT_TRUE(t.dat.IsOpen());

    // Two empty identities close the handle.
    OpenTable(t, "", "", 0);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_FALSE(t.dat.IsOpen());
    EXPECT_FALSE(t.sez.IsOpen());
    EXPECT_TRUE(hooks.calls.empty());
    SetDataDir("");
}

TEST(OpenTable, AnotherFolderReopensTheFiles)
{
    QTemporaryDir a;
    QTemporaryDir b;
    Write(a.path().toStdString(), "med.dat", small_tables::MedDat());
    Write(a.path().toStdString(), "mednaz.sez", small_tables::MedNazSez());
    std::vector<std::string> other = small_tables::MedRecords();
    other[0] = "001Zyrtec      ";
    other[0].resize(17, ' ');
    DatLayout layout({{"KOD", 0x92}, {"NAZ", 0x0D}});
    Write(b.path().toStdString(), "MED.DAT", BuildDatFile(layout, other)); // any letter case
    Write(b.path().toStdString(), "MedNaz.sez", BuildSezFile(other, {3, 14, 192, 10}));
    TDbTable t;
    OpenTableIn(t, a.path().toStdString(), "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);
    OpenTableIn(t, b.path().toStdString() + "/", "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);
    std::string buf;
    ReadByOrder(t, 4, buf);
    EXPECT_EQ(Rec(buf, 17), other[0]);
}

TEST(OpenTable, IndexThatDisagreesWithTheRecordCountIsRefusedEveryTime)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "med.dat", small_tables::MedDat());
    std::vector<std::string> fewer(small_tables::MedRecords().begin(), small_tables::MedRecords().end() - 1);
    Write(d, "mednaz.sez", BuildSezFile(fewer, {3, 14, 192, 10}));
    HookRecorder hooks;
    TDbTable t;
    OpenTableIn(t, d, "med", "mednaz", 17);
    EXPECT_EQ(DbStatus, 20005);
    EXPECT_TRUE(t.dat.IsOpen());
    EXPECT_FALSE(t.sez.IsOpen());
    OpenTableIn(t, d, "med", "mednaz", 17); // checked again
    EXPECT_EQ(DbStatus, 20005);
    const HookCall expected{"mednaz", 20005, 0, 202};
    EXPECT_EQ(hooks.calls, (std::vector<HookCall>{expected, expected}));
    std::string buf;
    FindRecord(t, "A", buf); // no index: an empty key order
    EXPECT_EQ(DbStatus, -20003);
}

TEST(OpenTable, DamagedRecordFilesGiveTheirStatusAndHookCode)
{
    const std::string good = small_tables::MedDat();
    auto with = [&](size_t at, int byte) {
        std::string s = good;
        s[at] = static_cast<char>(byte);
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes; // empty: no file
        uint16_t expectedLength;
        int32_t status;
        std::vector<HookCall> hooks;
    };
    const std::vector<Case> cases = {
        {"missing file", "", 0, IoResult::NotFound, {}},
        {"bad magic", with(1, '7'), 0, 20001, {{"t", 20001, 0, 3}}},
        {"no fields", with(4, 0), 0, 20001, {{"t", 20001, 0, 3}}},
        {"61 fields", with(4, 61), 0, 20001, {{"t", 20001, 0, 3}}},
        {"shorter than its header", good.substr(0, 10), 0, IoResult::ShortRead, {{"t", 100, 0, 2}}},
        {"shorter than the field count", good.substr(0, 4), 0, IoResult::ShortRead, {{"t", 100, 0, 2}}},
        {"header claims 52 fields", with(4, 52), 0, IoResult::ShortRead, {{"t", 100, 0, 2}}},
        {"length differs", good, 18, 20002, {{"t", 20002, 0, 4}}},
        {"length matches", good, 17, 0, {}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString();
        if (!c.bytes.empty())
            Write(d, "t.dat", c.bytes);
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "t", "", c.expectedLength);
        EXPECT_EQ(DbStatus, c.status) << c.what;
        EXPECT_EQ(hooks.calls, c.hooks) << c.what;
        EXPECT_EQ(t.dat.IsOpen(), c.status == 0) << c.what;
    }
}

TEST(OpenTable, DamagedIndexesGiveTheirStatusAndHookCode)
{
    const std::string good = small_tables::MedNazSez();
    auto with = [&](size_t at, int byte) {
        std::string s = good;
        s[at] = static_cast<char>(byte);
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
        int32_t status;
        std::vector<HookCall> hooks;
    };
    const std::vector<Case> cases = {
        {"bad magic", with(0, 'X'), 20001, {{"mednaz", 20001, 0, 103}}},
        {"header cut short", good.substr(0, 6), IoResult::ShortRead, {{"mednaz", 100, 0, 102}}},
        {"first leaf beyond the file", with(4, 0x40), 20001, {{"mednaz", 20001, 0, 103}}},
        {"first leaf before the middle level", with(4, 0), 20001, {{"mednaz", 20001, 0, 103}}},
        {"upper level flagged but absent", with(7, 0x06), 20001, {{"mednaz", 20001, 0, 103}}},
        {"no room for a key", with(7, 0x03).replace(6, 1, 1, '\xC0'), 20001, {{"mednaz", 20001, 0, 103}}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString();
        Write(d, "med.dat", small_tables::MedDat());
        Write(d, "mednaz.sez", c.bytes);
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "med", "mednaz", 17);
        EXPECT_EQ(DbStatus, c.status) << c.what;
        EXPECT_EQ(hooks.calls, c.hooks) << c.what;
        EXPECT_FALSE(t.sez.IsOpen()) << c.what;
        EXPECT_TRUE(t.dat.IsOpen()) << c.what;
    }
}

TEST(FindRecord, DamagedPointersAndOverwideRangesAreReportedNotFollowed)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "med.dat", small_tables::MedDat());
    std::string buf;
    {
        // The middle entry points past the last leaf.
        std::string sez = small_tables::MedNazSez();
        sez[16] = 9;
        Write(d, "mednaz.sez", sez);
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "med", "mednaz", 17);
        ASSERT_EQ(DbStatus, 0);
        FindRecord(t, "IBALGIN", buf);
        EXPECT_EQ(DbStatus, 20003);
        ASSERT_EQ(hooks.calls.size(), 1u);
        EXPECT_EQ(hooks.calls[0].code, 132);
    }
    {
        // No middle level (F = M) over more leaves than a window holds.
        std::vector<std::string> recs;
        for (int i = 0; i < 200; ++i) {
            char r[18];
            std::snprintf(r, sizeof r, "%03dNAME%010d", i % 1000, i);
            recs.emplace_back(r, 17);
        }
        DatLayout layout({{"KOD", 0x92}, {"NAZ", 0x0D}});
        Write(d, "big.dat", BuildDatFile(layout, recs));
        std::string sez = BuildSezFile(recs, {3, 14, 192, 10});
        // Drop the middle level: F := M = 1, leaves follow the header.
        const int E = 9;
        const int middleEntries = ((sez[4] & 0xFF) | ((sez[5] & 0x3F) << 8)) - 1;
        sez.erase(static_cast<size_t>(E), static_cast<size_t>(middleEntries * E));
        sez[4] = 1;
        sez[5] = 0;
        Write(d, "bignaz.sez", sez);
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "big", "bignaz", 17);
        ASSERT_EQ(DbStatus, 0);
        FindRecord(t, "NAME", buf);
        EXPECT_EQ(DbStatus, 20003);
        ASSERT_EQ(hooks.calls.size(), 1u);
        EXPECT_EQ(hooks.calls[0], (HookCall{"bignaz", 20003, 1, 132}));
        ReadByOrder(t, 150, buf); // position lookups do not need the upper levels
        EXPECT_EQ(DbStatus, 0);
        EXPECT_EQ(t.recNo, 151);
    }
}

TEST(FindRecord, LeafPointingOutsideTheRecordsIsADamagedIndex)
{
    // Leaf 2 (CAJ HERMANEK, entry 4) is changed to point at record 0, the
    // header, or at 6, one past the last of the five records.
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "med.dat", small_tables::MedDat());
    for (const char pointer : {0, 6}) {
        SCOPED_TRACE(int(pointer));
        std::string sez = small_tables::MedNazSez();
        sez[4 * 9 + 7] = pointer;
        Write(d, "mednaz.sez", sez);
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "med", "mednaz", 17);
        ASSERT_EQ(DbStatus, 0);
        const HookCall damaged{"mednaz", 20003, 4, 133};
        std::string buf(17, 'x');
        FindRecord(t, "CAJ", buf);
        EXPECT_EQ(DbStatus, 20003);
        EXPECT_EQ(buf, std::string(17, 'x')); // the header is never handed out
        ReadByOrder(t, 2, buf);
        EXPECT_EQ(DbStatus, 20003);
        EXPECT_EQ(buf, std::string(17, 'x'));
        EXPECT_EQ(hooks.calls, (std::vector<HookCall>{damaged, damaged}));
        ReadByOrder(t, 1, buf); // the sound leaves still read
        EXPECT_EQ(DbStatus, 0);
        EXPECT_EQ(buf, small_tables::MedRecords()[1]);
    }
}

TEST(FindRecord, NoMiddleLevelIsSearchedOnTheLeavesAndAnEmptyTableFindsNothing)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    HookRecorder hooks;
    std::string buf;
    {
        // The hand-laid index without its middle entry: F = M = 1.
        std::string sez = small_tables::MedNazSez();
        sez.erase(9, 9);
        sez[4] = 1;
        Write(d, "med.dat", small_tables::MedDat());
        Write(d, "mednaz.sez", sez);
        TDbTable t;
        OpenTableIn(t, d, "med", "mednaz", 17);
        ASSERT_EQ(DbStatus, 0);
        FindRecord(t, "caj", buf);
        EXPECT_EQ(DbStatus, 0);
        EXPECT_EQ(t.recNo, 3);
        FindRecord(t, "ZZ", buf);
        EXPECT_EQ(DbStatus, -20001);
        EXPECT_EQ(t.recNo, 1);
    }
    {
        DatLayout layout({{"KOD", 0x92}, {"NAZ", 0x0D}});
        Write(d, "empty.dat", BuildDatFile(layout, {}));
        Write(d, "emptynaz.sez", BuildSezFile({}, {3, 14, 192, 10}));
        TDbTable t;
        OpenTableIn(t, d, "empty", "emptynaz", 17);
        ASSERT_EQ(DbStatus, 0);
        EXPECT_EQ(t.LeafCount(), 0);
        buf.assign(17, 'x');
        FindRecord(t, "A", buf);
        EXPECT_EQ(DbStatus, -20003);
        EXPECT_EQ(t.recNo, 0);
        EXPECT_EQ(buf[0], '\0');
        FindRecord(t, "", buf);
        EXPECT_EQ(DbStatus, -20003);
        int32_t recNo = -5;
        SeekKey(t.sez, recNo, "A");
        EXPECT_EQ(DbStatus, -20003);
        EXPECT_EQ(recNo, 0);
    }
    EXPECT_TRUE(hooks.calls.empty());
}

// ---------------------------------------------------------------------------
// Status, hooks and threads

TEST(DbErrorHook, DefaultHookPrintsTheMessageAndExitsWithThree)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    std::string bad = small_tables::MedDat();
    bad[0] = 'X';
    Write(d, "kl.dat", bad);
    EXPECT_EXIT(
        {
            ThreadDbErrorHook = nullptr;
            DbErrorHook = &DefaultDbErrorHook;
            TDbTable t;
            OpenTableIn(t, d, "kl", "", 0);
        },
        ::testing::ExitedWithCode(3), "\"Error in DB 20001 \\(loc\\.3\\) File kl  Record 0\"");
    EXPECT_EQ(DbErrorText("klnaz", 20003, 1234, 132),
              "\"Error in DB 20003 (loc.132) File klnaz  Record 1234\"");
    EXPECT_EQ(DbErrorText(TFileId(), -1, 0, 0), "\"Error in DB -1 (loc.0) File   Record 0\"");
}

TEST(DbStatus, IsPerThreadAndTheThreadHookOverridesTheProcessHook)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    std::string bad = small_tables::MedDat();
    bad[1] = 'x';
    Write(d, "bad.dat", bad);
    DbStatus = 0;
    std::vector<HookCall> seen;
    std::thread worker([&] {
        HookRecorder hooks;
        TDbTable t;
        OpenTableIn(t, d, "bad", "", 0);
        EXPECT_EQ(DbStatus, 20001);
        seen = hooks.calls;
    });
    worker.join();
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(seen, (std::vector<HookCall>{{"bad", 20001, 0, 3}}));
}

TEST(DataDir, KeepsOneTrailingSlashAndServesSeveralThreads)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    Write(d, "med.dat", small_tables::MedDat());
    Write(d, "mednaz.sez", small_tables::MedNazSez());
    SetDataDir(d + "//");
    EXPECT_EQ(DataDir(), d + "/");
    std::vector<std::thread> threads;
    std::vector<int> found(4, 0);
    for (size_t i = 0; i < found.size(); ++i) {
        threads.emplace_back([&, i] {
            TDbTable t;
            std::string buf;
            for (int n = 0; n < 200; ++n) {
                OpenTable(t, "med", "mednaz", 17);
                FindRecord(t, i % 2 ? "caj" : "ibalgin 2", buf);
                if (DbStatus == 0 && t.recNo == (i % 2 ? 3 : 5))
                    ++found[i];
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(found, std::vector<int>(4, 200));
    SetDataDir("");
    EXPECT_EQ(DataDir(), "");
}

TEST(FileId, IsEightLowerCaseBytes)
{
    EXPECT_EQ(FileIdToStr("KlNaz"), "klnaz");
    EXPECT_EQ(FileIdToStr("pfavyrkoXX"), "pfavyrko");
    EXPECT_EQ(FileIdToStr(TFileId()), "");
    EXPECT_FALSE(FileIdDiffers("kl", "KL"));
    EXPECT_TRUE(FileIdDiffers("kl", "kle"));
    TFileId gap;
    gap.b[0] = 'a';
    gap.b[2] = 'c'; // text up to the last non-zero byte
    EXPECT_EQ(FileIdToStr(gap), std::string("a\0c", 3));
}

} // namespace
