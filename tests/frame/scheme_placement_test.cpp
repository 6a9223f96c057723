// Placement schemes: reading old and new window codes, defaults, writing.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <set>

#include "tests/frame/config_test_support.h"
#include "tests/support/placement_records.h"

using namespace configtest;

namespace {

std::vector<PlacementRecord> RecordsOf(const PlacementSchemes& s, int scheme)
{
    std::vector<PlacementRecord> r;
    for (const PlacementRecord& p : s.table)
        if (p.scheme == scheme)
            r.push_back(p);
    return r;
}

using test_support::Rec;

} // namespace

TEST(SchemeCodes, PackingAndCategories)
{
    EXPECT_EQ(PackKindCode("DMA"), 4513);
    EXPECT_EQ(KindCodeText(4513), "DMA");
    EXPECT_EQ(CategoryTableSize(), 96u);
    struct Case {
        uint16_t kind;
        uint8_t category;
    };
    const Case cases[] = {
        {PackKindCode("DMA"), 66},
        {static_cast<uint16_t>(PackKindCode("DMA") | 0x8000), 66}, // bit 15 plays no part
        {PackKindCode("VHC"), 18},
        {PackKindCode("FFN"), 18},
        {PackKindCode("XRR"), 31},
        {PackKindCode("PAR"), 78},
        {PackKindCode("OAB"), 78},
        {PackKindCode("TNA"), 55},
        {PackKindCode("ZZZ"), 0}, // not in the table
        {PackKindCode("@MA"), 0}, // no first letter
        {0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CategoryOfKind(c.kind), c.category) << KindCodeText(c.kind);

    // The translation literal: 83 pairs, each old code of 2 or 3 letters
    // mapped to a current code of 3, no old code twice.
    std::set<std::string> old;
    size_t pairs = 0;
    std::string_view lit = kOldKindCodes;
    ASSERT_EQ(lit.front(), ' ');
    size_t pos = 0;
    while (pos < lit.size()) {
        size_t next = lit.find(' ', pos + 1);
        std::string_view pair =
            lit.substr(pos + 1, next == std::string_view::npos ? std::string_view::npos : next - pos - 1);
        size_t eq = pair.find('=');
        ASSERT_NE(eq, std::string_view::npos) << pair;
        EXPECT_TRUE(eq == 2 || eq == 3) << pair;
        EXPECT_EQ(pair.size() - eq - 1, 3u) << pair;
        EXPECT_TRUE(old.insert(std::string(pair.substr(0, eq))).second) << pair;
        ++pairs;
        pos = next == std::string_view::npos ? lit.size() : next;
    }
    EXPECT_EQ(pairs, 83u);
}

TEST(SchemeRead, OldNamingFileIsTranslated)
{
    const ConfigValues c = ReadConfigText(ReadBytes(Fixture("old_naming.ini")), TestInput());
    // LK became DCD, its second line overwrote the first; XYZ has no current
    // name and LV lacks a number.
    EXPECT_EQ(RecordsOf(c.schemes, 2), (std::vector<PlacementRecord>{Rec(2, "DCD", 9, 8, 7, 6)}));
    EXPECT_EQ(c.schemes.table[0].category, 50);
    EXPECT_EQ(c.schemes.shiftRight[0], 3);
    EXPECT_EQ(c.schemes.shiftDown[0], 0);
    // LN in another section is read with the same naming; "L" is no code.
    EXPECT_EQ(RecordsOf(c.schemes, 3),
              (std::vector<PlacementRecord>{Rec(3, "DNA", 10, 20, 30, 40), Rec(3, "DMA", 0, 0, 10, 10)}));
    // A section with only SFTRIGHT= gets the default records and steps.
    const std::vector<PlacementRecord> s3 = RecordsOf(c.schemes, 4);
    ASSERT_EQ(s3.size(), 6u);
    EXPECT_EQ(s3[0], Rec(4, "VIC", 0, 0, 593, 412));
    EXPECT_EQ(s3[5], Rec(4, "CXD", 235, 142, 744, 727));
    EXPECT_EQ(c.schemes.shiftRight[2], 2);
    EXPECT_EQ(c.schemes.shiftDown[2], 2);
    // Saved under the current names.
    std::string out;
    WriteSchemes(c.schemes, out);
    EXPECT_EQ(out.substr(0, out.find("[QEVW sch3]")),
              CrLf({"[QEVW sch1]", "SFTRIGHT=3", "DCD=9,8,7,6", "", "[QEVW sch2]", "DNA=10,20,30,40",
                    "DMA=0,0,10,10", ""}));
}

TEST(SchemeRead, NamingIsDecidedByTheFirstPlacementLine)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<PlacementRecord> sch1;
    };
    const Case cases[] = {
        {"a current code first: old codes are not translated",
         CrLf({"[QEVW sch1]", "SFTDOWN=1", "DNA=1,2,3,4", "LK=5,6,7,8", "LKX=1,1,1,1"}),
         {Rec(2, "DNA", 1, 2, 3, 4), Rec(2, "LKX", 1, 1, 1, 1)}},
        {"an old code first: a current code is then unknown",
         CrLf({"[QEVW sch1]", "LN=1,2,3,4", "DNA=5,6,7,8"}),
         {Rec(2, "DNA", 1, 2, 3, 4)}},
        {"blanks around numbers and signs",
         CrLf({"[QEVW sch1]", "DMA= -5 ,+6,7 , 8"}),
         {Rec(2, "DMA", -5, 6, 7, 8)}},
        {"bad lines are skipped",
         CrLf({"[QEVW sch1]", "DMA=1,2,3", "DMA=1,2,3,x", "DMA=1,2,3,99999999999", "DMA=+-1,2,3,4",
               "DMA=1,2,3,4 4", "DMAX=1,2,3,4", "=1,2,3,4", "DMA", "CXD=4,3,2,1"}),
         {Rec(2, "CXD", 4, 3, 2, 1)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(RecordsOf(ReadConfigText(c.text, TestInput()).schemes, 2), c.sch1);
    }
}

TEST(SchemeRead, EachLoadStartsAfresh)
{
    QTemporaryDir dir;
    const std::string path = dir.path().toStdString() + "/kalvo.ini";
    ConfigFile config;
    config.SetPaths(path, "");
    WriteBytes(path, CrLf({"[QEVW sch1]", "LK=1,2,3,4", "[QEVW sch2]", "DNA=1,1,1,1"}));
    config.Load(TestInput());
    EXPECT_EQ(RecordsOf(config.Snapshot().schemes, 2),
              (std::vector<PlacementRecord>{Rec(2, "DCD", 1, 2, 3, 4)}));
    WriteBytes(path, CrLf({"[QEVW sch1]", "DNA=5,6,7,8", "LK=1,2,3,4"}));
    config.Load(TestInput());
    const PlacementSchemes s = config.Snapshot().schemes;
    EXPECT_EQ(RecordsOf(s, 2), (std::vector<PlacementRecord>{Rec(2, "DNA", 5, 6, 7, 8)}));
    EXPECT_EQ(RecordsOf(s, 3).size(), 3u); // defaults again, nothing left over
    EXPECT_EQ(s.table[0], Rec(2, "DNA", 5, 6, 7, 8));
}

TEST(SchemeRead, TheTableHoldsOneHundredRecords)
{
    std::string text = "[QEVW sch2]\r\n";
    std::vector<std::string> codes;
    for (char a = 'A'; a <= 'Z' && codes.size() < 101; ++a)
        for (char b = 'A'; b <= 'D' && codes.size() < 101; ++b)
            codes.push_back(std::string("Q") + a + b);
    for (size_t i = 0; i < codes.size(); ++i)
        text += codes[i] + "=" + std::to_string(i) + ",0,10,10\r\n";
    text += codes[5] + "=5,5,5,5\r\n"; // an existing record can still be rewritten
    const ConfigValues c = ReadConfigText(text, TestInput());
    const auto records = RecordsOf(c.schemes, 3);
    ASSERT_EQ(records.size(), 100u);
    EXPECT_EQ(records[99].kind, PackKindCode(codes[99]));
    EXPECT_EQ(records[5], Rec(3, codes[5].c_str(), 5, 5, 5, 5));
    // No room for the defaults of the other schemes.
    EXPECT_TRUE(SchemeIsEmpty(c.schemes, 2));
    EXPECT_TRUE(SchemeIsEmpty(c.schemes, 4));
    EXPECT_FALSE(SchemeIsEmpty(c.schemes, 3));
}

TEST(SchemeDefaults, FillFromTheFirstFreeRecordAndStopAtTheEnd)
{
    PlacementSchemes s;
    for (size_t i = 0; i < 97; ++i)
        s.table[i] = Rec(2, "DNA", 0, 0, 1, 1);
    s.table[3].scheme = 0; // a free record in the middle is taken first
    SetDefaultScheme(s, 3);
    EXPECT_EQ(s.table[3], Rec(3, "DNA", 0, 0, 985, 410));
    EXPECT_EQ(s.table[97], Rec(3, "DMA", 241, 213, 744, 782));
    EXPECT_EQ(s.table[98], Rec(3, "CXD", 0, 213, 558, 782));
    EXPECT_EQ(s.shiftRight[1], 2);
    EXPECT_EQ(s.shiftDown[1], 0);
    SetDefaultScheme(s, 2);
    EXPECT_EQ(s.table[99], Rec(2, "VFC", 0, 0, 604, 302));
    EXPECT_EQ(RecordsOf(s, 2).size(), 97u); // 96 old + the one that fitted
}

TEST(SchemeWrite, SectionsStepsAndRecordsInTableOrder)
{
    PlacementSchemes s;
    s.table[0] = Rec(3, "DMA", 1, 2, 3, 4);
    s.table[1] = Rec(2, "CXD", -1, 0, 1000, 999);
    s.table[2] = Rec(3, "VFC", 5, 6, 7, 8);
    s.shiftDown[0] = -4;
    s.shiftRight[2] = 100;
    std::string out;
    WriteSchemes(s, out);
    EXPECT_EQ(out, CrLf({"[QEVW sch1]", "SFTDOWN=-4", "CXD=-1,0,1000,999", "", "[QEVW sch2]", "DMA=1,2,3,4",
                         "VFC=5,6,7,8", "", "[QEVW sch3]", "SFTRIGHT=100", ""}));
}
