// The duplicity computation on a small folder written by the record writers
// (duplicity_fixture.h lists its products).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "duplicity_fixture.h"
#include "support/text_tables.h"
#include "viewers/duplicity_check.h"

namespace {

using dupfix::Kam;

class DuplicityCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        // One folder per test: ctest runs the tests as parallel processes.
        folder_ = dupfix::WriteDuplicityFolder(
            std::string("check-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        previous_ = DataDir();
        SetDataDir(folder_);
        DuplicityBatchMode = true;
        ASSERT_EQ(ResetDuplicityCheck(), "");
    }
    void TearDown() override
    {
        DuplicityBatchMode = false;
        SetDataDir(previous_);
    }

    // Products of record numbers, filled.
    std::vector<LekRec> Products(const std::vector<int32_t>& positions)
    {
        std::vector<LekRec> leks(positions.size());
        for (size_t i = 0; i < positions.size(); ++i) {
            leks[i].position = positions[i];
            FillLekRec(leks[i]);
        }
        return leks;
    }
    struct Outcome {
        std::vector<std::string> findings; // "level members label"
        std::vector<int> levels;
    };
    Outcome Check(const std::vector<int32_t>& positions)
    {
        std::vector<LekRec> leks = Products(positions);
        std::vector<DupRec> dups;
        const int n = CheckDuplicities(leks, static_cast<int>(leks.size()), dups);
        EXPECT_EQ(n, static_cast<int>(dups.size()));
        Outcome o;
        for (const DupRec& d : dups) {
            std::string m;
            for (uint16_t i : d.members)
                m += (m.empty() ? "" : ",") + std::to_string(i);
            o.findings.push_back(std::to_string(d.level) + " " + m + " " + d.label);
        }
        for (const LekRec& l : leks)
            o.levels.push_back(l.level);
        return o;
    }

    std::string folder_;

private:
    std::string previous_;
};

TEST_F(DuplicityCheck, FindingsOfEachLevelAndTheirDropping)
{
    using S = std::vector<std::string>;
    using L = std::vector<int>;
    struct Case {
        const char* what;
        std::vector<int32_t> positions;
        S findings;
        L levels;
    };
    const Case cases[] = {
        {"the full code; the same pair at the 3-character level is dropped",
         {1, 2},
         {"7 0,1 N02BE01 " + Kam("Paracetamol")},
         {7, 7}},
        {"A, B, C: level 7 for A and B, level 3 for all three",
         {1, 2, 3},
         {"7 0,1 N02BE01 " + Kam("Paracetamol"), "3 0,1,2 N02 Analgetika"},
         {7, 7, 3}},
        {"the 5-character level with its own name",
         {4, 5},
         {"5 0,1 M01AE " + Kam("Deriváty kyseliny propionové")},
         {5, 5}},
        {"the 4-character level", {6, 7}, {"4 0,1 M01A " + Kam("Nesteroidní antiflogistika")}, {4, 4}},
        {"a substance group: its kk name, lower-cased after the first letter",
         {4, 6},
         {"6 0,1 " + Kam("Skupina: nesteroidní antiflogistika")},
         {6, 6}},
        {"a group without a kk record is named by its number; flag bit 0 takes no part",
         {10, 11, 8},
         {"6 0,1  8100"},
         {6, 6, 0}},
        {"unknown ATC and substances 0 and -1 find nothing", {9, 13, 14, 9}, {}, {0, 0, 0, 0}},
        {"unresolved products stay out", {0, 1, 0}, {}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome o = Check(c.positions);
        EXPECT_EQ(o.findings, c.findings);
        EXPECT_EQ(o.levels, c.levels);
    }
}

TEST_F(DuplicityCheck, OneProductOrNoneLeavesTheLevelsAlone)
{
    std::vector<LekRec> leks = Products({1});
    leks[0].level = 9;
    std::vector<DupRec> dups(3);
    EXPECT_EQ(CheckDuplicities(leks, 1, dups), 0);
    EXPECT_EQ(leks[0].level, 9);
    EXPECT_EQ(CheckDuplicities(leks, 0, dups), 0);
}

TEST_F(DuplicityCheck, FillLekRecReadsTheProductAndItsGroups)
{
    std::vector<LekRec> leks = Products({10, 12, 8, 9, 0, 6});
    const LekRec& combo = leks[0];
    EXPECT_EQ(combo.code, "0000051");
    EXPECT_EQ(combo.text27.substr(0, 7), "tbl nob");
    EXPECT_EQ(combo.text24.substr(0, 3), "5mg");
    EXPECT_EQ(combo.fullSlot, "C09AA05");
    EXPECT_EQ(combo.middleSlot, "       ");
    // 301 and 302 both reach 8100: listed once, as "vicekrat".
    EXPECT_EQ(combo.groups, (std::vector<int32_t>{8100}));
    EXPECT_EQ(combo.groupTexts, "vicekrat");
    // 32 substances of their own: the first 31 are kept.
    EXPECT_EQ(leks[1].groups.size(), 31u);
    EXPECT_EQ(leks[1].groups.front(), 401);
    EXPECT_EQ(leks[1].groupTexts.substr(0, 8), "~    1MG");
    EXPECT_TRUE(leks[2].groups.empty()); // flag bit 0
    EXPECT_EQ(leks[2].fullSlot, "A11CC05");
    // The 95000 pair of 203 is ignored; its 8003 pair counts.
    EXPECT_EQ(leks[5].groups, (std::vector<int32_t>{8003}));
    EXPECT_EQ(leks[5].middleSlot, "M01A   ");

    LekRec unknown;
    unknown.position = 9;
    EXPECT_EQ(FillLekRec(unknown), -2);
    EXPECT_EQ(unknown.fullSlot, "       ");
    EXPECT_TRUE(unknown.groups.empty());
    LekRec none;
    EXPECT_EQ(FillLekRec(none), -1);
    none.position = 9999;
    EXPECT_EQ(FillLekRec(none), -1);
}

TEST_F(DuplicityCheck, PairsAreSortedWhateverTheFileOrder)
{
    const std::vector<SubstancePair>& pairs = PairTable();
    ASSERT_EQ(pairs.size(), 37u);
    EXPECT_TRUE(
        std::is_sorted(pairs.begin(), pairs.end(), [](const SubstancePair& a, const SubstancePair& b) {
            return a.substance < b.substance;
        }));
    // 201 stands last among the file's first pairs; a walk from the start
    // of the unsorted file would stop before reaching it.
    LekRec ibu;
    ibu.position = 4;
    ASSERT_EQ(FillLekRec(ibu), 0);
    EXPECT_EQ(ibu.groups, (std::vector<int32_t>{8003}));
}

TEST_F(DuplicityCheck, MembersBeyondTwoHundredFiftyFive)
{
    std::vector<int32_t> positions(301, 9);
    positions[0] = 1;
    positions[300] = 2;
    const Outcome o = Check(positions);
    ASSERT_EQ(o.findings.size(), 1u);
    EXPECT_EQ(o.findings[0].substr(0, 8), "7 0,300 ");
    EXPECT_EQ(o.levels[300], 7);
}

TEST_F(DuplicityCheck, WindowLabelsCarryTheirMark)
{
    DuplicityBatchMode = false;
    test_support::ScopedTextTable ui(
        UiTexts,
        test_support::CompileTable("[Dupl]\nLev7=Stejný kód ATC:\\x20\nLev6=Stejná skupina látek:\\x20\n"
                                   "Lev5=Stejná skupina ATC:\\x20\nLev4=Podobná skupina ATC:\\x20\n"
                                   "Lev3=Stejná hlavní skupina ATC:\\x20\n"));
    std::vector<LekRec> leks = Products({1, 2, 3});
    std::vector<DupRec> dups;
    ASSERT_EQ(CheckDuplicities(leks, 3, dups), 2);
    const std::string lev7 = Kam("Stejný kód ATC: ");
    EXPECT_EQ(dups[0].label, lev7 + "N02BE01 " + Kam("Paracetamol"));
    std::string marks(dups[0].label.size(), ' ');
    marks[lev7.size() + 7] = '!';
    EXPECT_EQ(dups[0].labelMarks, marks);
    EXPECT_EQ(dups[0].text, "Paracetamol A 500 mg 500mg tbl nob x Paracetamol B 500mg tbl flm");
    std::string textMarks(dups[0].text.size(), ' ');
    const size_t x = dups[0].text.find(" x ");
    textMarks[x] = textMarks[x + 2] = '!';
    EXPECT_EQ(dups[0].textMarks, textMarks);
    EXPECT_EQ(dups[1].label, Kam("Stejná hlavní skupina ATC: ") + "N02 Analgetika");

    // A label without the grave accent takes its mark at the ":".
    leks = Products({4, 6});
    ASSERT_EQ(CheckDuplicities(leks, 2, dups), 1);
    const std::string lev6 = Kam("Stejná skupina látek: ");
    EXPECT_EQ(dups[0].labelMarks.find('!'), lev6.size() - 2);
}

TEST(DuplicityTables, AMissingTableIsNamed)
{
    const std::string dir = dupfix::WriteDuplicityFolder("no-atc");
    std::filesystem::remove(dir + "atc.dat");
    const std::string previous = DataDir();
    SetDataDir(dir);
    EXPECT_EQ(ResetDuplicityCheck(), "atc");
    SetDataDir(previous);
}

} // namespace
