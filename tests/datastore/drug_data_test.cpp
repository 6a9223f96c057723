// The drug-record helpers: row texts, the list filter, the code look-ups
// and the edition set-up.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "datastore/zlp_table.h"
#include "support/text_tables.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

const DatLayout kKl(kKlLayout);

std::string Drug(std::initializer_list<std::pair<const char*, std::string>> fields)
{
    std::string rec = kKl.BlankRecord();
    kKl.PutText(rec, "KOD", "0000101");
    kKl.PutText(rec, "SR", "R");
    kKl.PutText(rec, "INS", "11");
    kKl.PutText(rec, "OB", "1");
    kKl.PutText(rec, "UH", "A");
    kKl.PutText(rec, "ZAS", "x");
    for (const auto& [name, value] : fields)
        kKl.PutText(rec, name, value);
    return rec;
}

class DrugDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path().toStdString() + "/";
        oldDataDir = DataDir();
        SetDataDir(folder);
    }
    void TearDown() override { SetDataDir(oldDataDir); }

    QTemporaryDir dir;
    std::string folder, oldDataDir;
};

TEST_F(DrugDataTest, EachFilterFlagExcludesExactlyTheMatchingRecords)
{
    struct Case {
        uint16_t flag;
        std::string matching, other;
    };
    const Case cases[] = {
        {0x008, Drug({{"INS", "93"}}), Drug({})},
        {0x004, Drug({}), Drug({{"INS", "93"}})},
        {0x002, Drug({{"KOD", "9000001"}}), Drug({})},
        {0x001, Drug({}), Drug({{"KOD", "9000001"}})},
        {0x010, Drug({{"SR", "-"}}), Drug({})},
        {0x020, Drug({{"OB", "3"}}), Drug({{"OB", "2"}})},
        {0x040, Drug({{"UH", "8"}}), Drug({{"UH", "/"}})},
        {0x080, Drug({{"SR", "\\"}}), Drug({{"SR", "Y"}})},
        {0x100, Drug({{"ZAS", " "}}), Drug({})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flag);
        EXPECT_TRUE(RecordExcluded(c.matching, 1, c.flag));
        EXPECT_FALSE(RecordExcluded(c.other, 1, c.flag));
        EXPECT_FALSE(RecordExcluded(c.matching, 1, 0));
    }
    // Without an active sign list 0x200 excludes nothing.
    FreeUserFileState();
    EXPECT_FALSE(RecordExcluded(Drug({}), 5, 0x200));
    EXPECT_FALSE(IsSigned(5));
}

TEST_F(DrugDataTest, LinesAndDetailsTrimEachFieldAndKeepTheirWidth)
{
    const std::string rec = Drug({{"NAZ", "Name  x"}, {"SIL", "10 mg"}, {"LFO", "TBL"}, {"BAL", "30"}});
    EXPECT_EQ(FormatDrugLine(rec), "0000101 Name  x 10 mg TBL 30");
    EXPECT_EQ(FormatDrugDetails(rec, 0), "10 mg TBL 30");
    EXPECT_EQ(FormatDrugDetails(rec, 14), "10 mg TBL 30  ");
    EXPECT_EQ(FormatDrugDetails(Drug({{"LFO", "TBL"}}), 0), "TBL");

    const std::string full =
        Drug({{"SIL", std::string(24, 's')}, {"LFO", std::string(27, 'l')}, {"BAL", std::string(22, 'b')}});
    for (int w : {73, 46}) {
        const std::string d = FormatDrugDetails(full, w);
        EXPECT_EQ(d.size(), static_cast<size_t>(w));
        EXPECT_EQ(
            d, (std::string(24, 's') + " " + std::string(27, 'l') + " " + std::string(22, 'b')).substr(0, w));
    }
}

TEST_F(DrugDataTest, EanCodesStopBeforeTheTextReaches242)
{
    const DatLayout kle(kKleLayout);
    std::vector<std::string> records;
    auto ean = [&](const char* code, int i, char kind) {
        std::string r = kle.BlankRecord();
        kle.PutText(r, "KOD", code);
        std::string e = std::to_string(8590000000000LL + i);
        kle.PutText(r, "EAN", e);
        kle.PutText(r, "DRU", std::string(1, kind));
        records.push_back(r);
    };
    ean("0000100", 0, '9');
    for (int i = 1; i <= 20; ++i)
        ean("0000101", i, i == 2 ? '5' : '7');
    ean("0000102", 99, '9');
    ASSERT_EQ(WriteDatFile(folder + "kle.dat", kle, records), 0);
    ASSERT_EQ(WriteSezFile(folder + "klekod.sez", records, SezKeySpec{0, 7, 32, 7}), 0);

    std::string expected;
    for (int i = 1; i <= 20 && expected.size() < 242; ++i)
        if (i != 2)
            expected += " " + std::to_string(8590000000000LL + i);
    EXPECT_EQ(LookupCodeTexts("0000101"), expected.substr(1));
    EXPECT_EQ(expected.size(), 252u); // 18 codes: the last one crosses 242
    EXPECT_EQ(LookupCodeTexts("0000102"), "8590000000099");
    EXPECT_EQ(LookupCodeTexts("0000103"), "");
}

TEST_F(DrugDataTest, GoodsMakersAndSupplementTexts)
{
    const DatLayout vyr(kPfavyrvLayout);
    std::string r = vyr.BlankRecord();
    vyr.PutText(r, "KOD", "A123");
    vyr.PutText(r, "NAZ", "Maker");
    ASSERT_EQ(WriteDatFile(folder + "pfavyrv.dat", vyr, {r}), 0);
    ASSERT_EQ(WriteSezFile(folder + "pfavyrko.sez", {r}, SezKeySpec{0, 4, 0, 4}), 0);
    test_support::ScopedTextTable ui(UiTexts,
                                     test_support::CompileTable("[Chyby]\nNotFndIn=\\x20not in\\x20\n"));
    test_support::ScopedTextTable data(
        DataTexts, test_support::CompileTable("[Dop]\nA__=one letter\nAB_=" + std::string(90, 'x') + "\n"));

    EXPECT_EQ(LookupGoodsMaker("A123"), "Maker" + std::string(69, ' '));
    EXPECT_EQ(LookupGoodsMaker("B999"), "B999 not in \"PFAVYRV\"");
    EXPECT_EQ(LookupGoodsMaker("A12 "), "");
    EXPECT_EQ(LookupGoodsMaker(" 123"), "");
    EXPECT_EQ(LookupCopText("A"), "one letter");
    EXPECT_EQ(LookupCopText(" AB "), std::string(80, 'x'));
}

TEST_F(DrugDataTest, SetupEditionDerivesColumnsAndMonth)
{
    std::string columns = "-XY";
    UserFileHooks hooks;
    hooks.reimbColumns = [&] { return columns; };
    int timers = 0;
    hooks.maximOn = [] { return true; };
    hooks.enableMaximTimer = [&] { ++timers; };
    const UserFileHooks old = SetUserFileHooks(hooks);
    struct Case {
        const char* version;
        int month;
    };
    for (const Case& c :
         {Case{"2026.4", 321}, Case{"2026.4k", 322}, Case{"2026.4s", 323}, Case{"20x6.4", 0}}) {
        test_support::ScopedTextTable data(
            DataTexts, test_support::CompileTable(std::string("[Uhr]\nInit=AXBYCX\n[Verze]\nCislo=") +
                                                  c.version + "\n"));
        SetupEdition(2);
        EXPECT_EQ(DataMonth(), c.month) << c.version;
        EXPECT_EQ(ReimbColumnLetters(), "ABCX");
    }
    EXPECT_EQ(timers, 4);
    columns = "QR";
    SetupEdition(2);
    EXPECT_EQ(ReimbColumnLetters(), "QR");
    columns = "";
    SetupEdition(2); // no "Uhr.Init": the columns stay
    EXPECT_EQ(ReimbColumnLetters(), "QR");
    EXPECT_GE(SignSets().Find("kl", "OnePack"), 0);
    EXPECT_GE(SignSets().Find("kk", "nDescrpt"), 0);
    SetUserFileHooks(old);
}

} // namespace

namespace {

std::string Pad(std::string s, size_t w)
{
    s.resize(w, ' ');
    return s;
}

class DrugRowTest : public DrugDataTest {
protected:
    void SetUp() override
    {
        DrugDataTest::SetUp();
        FreeUserFileState();
        LoadCodeTables(); // the texts; the caches stay empty here
    }
    void TearDown() override
    {
        FreeCodeTables();
        DrugDataTest::TearDown();
    }
    static void Value(std::string& rec, const FieldPos& f, int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            rec[static_cast<size_t>(f.Offset() + i)] =
                static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    }
    static std::string Full()
    {
        std::string rec = Drug({{"KOD", "0000123"}, {"NAZ", "Name"},     {"SIL", "sup"},  {"LFO", "str"},
                                {"BAL", "pack"},    {"OBA", "OBA123"},   {"DRZ", "DRZ"},  {"ZED", "CZE"},
                                {"ATC", "N02BE01"}, {"RC", "=12345678"}, {"SD", "12345"}, {"TR", "A"},
                                {"EX", "2412"},     {"ZAV", "Z"},        {"DP", "DP1"},   {"NV", "N1"},
                                {"VP", "RX"},       {"DDM", "0.50"},     {"DDJ", "mg"},   {"DDB", "12345678"},
                                {"BRA", "B"}});
        rec[kDrugRestrictions.Offset()] = 0x07;
        rec[kDrugWebFlags.Offset()] = 0x01;
        rec[kDrugEanCount.Offset()] = 5;
        Value(rec, kDrugSummaryOffset, 10);
        Value(rec, kDrugLeafletOffset, -1);
        Value(rec, kDrugAltSummaryOffset, 5);
        Value(rec, kDrugSpcOffset, -1);
        return rec;
    }
    std::string Row(std::string rec, bool keep = true, bool replace = false, bool compact = false)
    {
        std::string out;
        FormatRecordLine(rec, 7, keep, out, replace, compact);
        return out;
    }

    test_support::ScopedTextTable ui{
        UiTexts, test_support::CompileTable("[VybLek]\nzru=ZRUSEN_LONG\nv9=C\n[Hlasky]\nCLSPO=123456789\n")};
    test_support::ScopedTextTable data{
        DataTexts, test_support::CompileTable(
                       "[ReZ]\nA=Rx\nB=TooLong\n[VydZ]\nRX=Rp\nR_=R1\n[UhrL]\nZkr=ABC\nok=okay\n")};
};

TEST_F(DrugRowTest, AFullDrugFillsEveryColumnAt245Bytes)
{
    const std::string expected = std::string(1, '\0') + "0000123" + Pad("Name", 70) + Pad("sup", 24) +
                                 Pad("str", 27) + Pad("pack", 22) + "OBA123DRZCZE" + "\x12" + "\x03" + "11" +
                                 "N02BE01" + Pad("78/3456/12/PI/123/45", 26) + "Rx " + "2412" + "Z" + "DP1" +
                                 "N1" + "Rp " + "0.50 mg12345.678" + "..5" + "B" + "ABC" + "12  5 ";
    const std::string row = Row(Full());
    EXPECT_EQ(row.size(), 245u);
    EXPECT_EQ(row, expected);

    // Cancelled: the status mark, no dosage, and with the flag the text in
    // place of the code, cut to its column.
    std::string cancelled = Full();
    cancelled[kDrugState.Offset()] = '-';
    const std::string kept = Row(cancelled);
    EXPECT_EQ(kept.substr(0, 8), std::string("\x10") + "0000123");
    EXPECT_EQ(kept.substr(216, 16), std::string(16, ' '));
    EXPECT_EQ(Row(cancelled, true, true).substr(0, 8), "\x10ZRUSEN_");
    EXPECT_EQ(Row(cancelled).size(), 245u);
}

TEST_F(DrugRowTest, ColumnsThatDependOnOneField)
{
    auto with = [](auto change) {
        std::string rec = Full();
        change(rec);
        return rec;
    };
    // EAN count at 232.
    for (auto [count, text] : std::vector<std::pair<int, std::string>>{
             {0, "   "}, {1, "..."}, {5, "..5"}, {12, ".12"}, {123, "123"}})
        EXPECT_EQ(Row(with([count = count](std::string& r) {
                      r[kDrugEanCount.Offset()] = static_cast<char>(count);
                  })).substr(232, 3),
                  text)
            << count;
    // Reimbursement letters at 236 by the flag bits; none of bits 0-3: "okay" cut.
    for (auto [bits, text] : std::vector<std::pair<int, std::string>>{
             {1, "A  "}, {4, " B "}, {2, "  C"}, {8, "   "}, {0, "oka"}, {0x10, "oka"}})
        EXPECT_EQ(Row(with([bits = bits](std::string& r) {
                      r[kDrugRestrictions.Offset()] = static_cast<char>(bits);
                  })).substr(236, 3),
                  text)
            << bits;
    EXPECT_EQ(Row(with([](std::string& r) { r[kDrugReimbursementKind.Offset()] = '6'; })).substr(236, 3),
              "   ");
    // No reimbursement: the state letter stays a letter.
    EXPECT_EQ(Row(with([](std::string& r) { r[kDrugReimbursementKind.Offset()] = ' '; }))[163], 'R');
    // A 5-character and a missing "ReZ" text keep the column at 3.
    EXPECT_EQ(Row(with([](std::string& r) { r[kDrugRegistrationType.Offset()] = 'B'; })).substr(200, 3),
              "Too");
    EXPECT_EQ(Row(with([](std::string& r) { r[kDrugRegistrationType.Offset()] = 'Q'; })).substr(200, 3),
              "! Q");
    // Dispensing: the second letter dropped without the keep flag; a blank becomes '_' in the record.
    EXPECT_EQ(Row(Full(), false).substr(213, 3), "R1 ");
    std::string rec = with([](std::string& r) { r[kDrugDispensing.Offset() + 1] = ' '; });
    std::string out;
    FormatRecordLine(rec, 7, true, out, false, false);
    EXPECT_EQ(rec.substr(kDrugDispensing.Offset(), 2), "R_");
    EXPECT_EQ(out.substr(213, 3), "R1 ");
    // Expiry with a blank first letter.
    EXPECT_EQ(Row(with([](std::string& r) { kKl.PutText(r, "EX", " 123"); })).substr(203, 4), "12 3");
    // Status letter in '!'..'`'.
    EXPECT_EQ(Row(with([](std::string& r) { r[kDrugOutage.Offset()] = '!'; }))[0], '@');
    // Compact details.
    EXPECT_EQ(Row(Full(), true, false, true).substr(78, 73), Pad("sup str pack", 73));
    // A short record gives no row.
    EXPECT_EQ(Row(Full().substr(0, 345)), "");
}

} // namespace

namespace {

TEST_F(DrugDataTest, AtcNamesComeOnlyThroughACodeIndex)
{
    const DatLayout atc(kAtcLayout);
    std::string r = atc.BlankRecord();
    atc.PutText(r, "ATC", "N02BE");
    atc.PutText(r, "NAZ", "Anilides");
    ASSERT_EQ(WriteDatFile(folder + "atc.dat", atc, {r}), 0);
    ASSERT_EQ(WriteSezFile(folder + "atckod.sez", {r}, SezKeySpec{kAtcCode.Offset(), 7, 0, 7}), 0);
    ASSERT_EQ(WriteSezFile(folder + "atcnaz.sez", {r}, SezKeySpec{kAtcName.Offset(), 16, 0, 16}), 0);

    OpenTable(AtcTable, TFileId("atc"), TFileId("atcnaz"), kAtcLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(LookupAtc("N02BE", "ABC"), "");
    OpenTable(AtcTable, TFileId("atc"), TFileId("atckod"), kAtcLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(LookupAtc("N02BE", "ABC").substr(0, 8), "Anilides");
    OpenTable(AtcTable, TFileId(), TFileId(), 0);
    EXPECT_EQ(LookupAtc("N02BE", "ABC"), "");
}

} // namespace
