// The active-substance lists and the composition lists: the substance texts
// as pure functions of a record, the fetch of the code, name, base and
// synonym lists on the demo data, the composition lists on the demo data
// and on a small folder whose records show what the demo set lacks
// (continued names, missing substances, group lines), and the windows the
// commands open.

#include <gtest/gtest.h>

#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/data_form_test_support.h"
#include "lists/substances/composition_lists.h"
#include "lists/substances/substance_lists.h"
#include "tests/lists/lists_test_support.h"
#include "writers/dat_writer.h"
#include "writers/demo_struct_check.h"
#include "writers/sez_writer.h"

namespace {

using liststest::Kam;
using liststest::Settle;

// A window offering one value under one link kind.
class OfferingMaster : public dftest::ProbeWindow {
public:
    OfferingMaster(const char* kind, LinkKind linkKind, int32_t value) : ProbeWindow(KindOf(kind), "master")
    {
        LinkKinds = {LinkKind::None, linkKind, LinkKind::None};
        LinkValues = {0, value, 0};
    }
};

// A substance record in the table's layout.
std::string Substance(const char* code, const char* kind, const std::string& name, char layout = '`',
                      const char* base = "", char doping = ' ', char filterBits = '1')
{
    const DatLayout kk(kKkLayout);
    std::string rec = kk.BlankRecord();
    kk.PutRight(rec, "KOD", code);
    kk.PutRight(rec, "SQ", kind);
    kk.PutText(rec, "SQR", std::string(1, layout));
    kk.PutText(rec, "NAZ", name);
    kk.PutRight(rec, "SUL", base);
    kk.PutText(rec, "ZDR", "SYN ");
    kk.PutText(rec, "DPG", std::string(1, doping));
    kk.PutText(rec, "SOR", std::string(1, filterBits));
    return rec;
}

std::string Entry(const char* drug, const char* code, char state, const char* amount, const char* unit)
{
    const DatLayout klc(kKlcLayout);
    std::string rec = klc.BlankRecord();
    klc.PutText(rec, "LEK", drug);
    klc.PutRight(rec, "KOM", code);
    klc.PutText(rec, "STA", std::string(1, state));
    klc.PutText(rec, "MN", amount);
    klc.PutText(rec, "JD", unit);
    return rec;
}

// Every row a list delivers from a seek on, forwards, with its text.
struct Fetched {
    TVybRow row;
    std::string text;
};
std::vector<Fetched> Walk(VybRec& rec, ListSource& list, size_t limit = 3000)
{
    std::vector<Fetched> rows;
    rec.FetchMode = FetchModeCode::Seek;
    for (;;) {
        Fetched f;
        list.Fetch(rec, f.row, f.text);
        if (f.row.Pos < 0 || rows.size() >= limit)
            break;
        rows.push_back(f);
        rec.Rows[1] = f.row;
        rec.RowCount = 1;
        rec.FetchMode = FetchModeCode::After;
    }
    return rows;
}

// The same backwards from the last row.
std::vector<Fetched> WalkBack(VybRec& rec, ListSource& list, size_t limit = 3000)
{
    std::vector<Fetched> rows;
    rec.FetchMode = FetchModeCode::Last;
    for (;;) {
        Fetched f;
        list.Fetch(rec, f.row, f.text);
        if (f.row.Pos < 0 || rows.size() >= limit)
            break;
        rows.push_back(f);
        rec.Rows[1] = f.row;
        rec.RowCount = 1;
        rec.FetchMode = FetchModeCode::Before;
    }
    std::reverse(rows.begin(), rows.end());
    return rows;
}

std::string Trim(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// Characters `from` (1-based) .. from + n - 1 of a row text.
std::string At(const std::string& text, size_t from, size_t n)
{
    return text.size() >= from ? text.substr(from - 1, n) : std::string();
}

class SubstanceListTest : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        liststest::PrepareDrugLists();
        Config().Update([](ConfigValues& v) {
            v.SynonymFilter = 0;
            v.CompositionFilter = 0;
        });
    }
    void TearDown() override
    {
        OpenTable(SubstanceTable(), TFileId(), TFileId(), 0);
        OpenTable(AtcTable, TFileId(), TFileId(), 0);
        OpenTable(MainTable, TFileId(), TFileId(), 0);
        OpenTable(CodeTable, TFileId(), TFileId(), 0);
        DemoListsTest::TearDown();
        DbStatus = 0;
    }

    // Writes kk with kkkod, kknaz, kkbas and klc with klclek into a scratch
    // folder and reads the data from there.
    void UseFolder(const std::vector<std::string>& substances, const std::vector<std::string>& entries)
    {
        const std::string folder = scratch.path().toStdString() + "/";
        const DatLayout kk(kKkLayout);
        ASSERT_EQ(WriteDatFile(folder + "kk.dat", kk, substances), 0);
        ASSERT_EQ(WriteSezFile(folder + "kkkod.sez", substances, SezKeySpec{0, 5, 0, 5}), 0);
        ASSERT_EQ(WriteSezFile(folder + "kknaz.sez", substances, SezKeySpec{8, 64, 192, 10}), 0);
        ASSERT_EQ(WriteSezFile(folder + "kkbas.sez", substances, SezKeySpec{75, 5, 0, 5}), 0);
        const DatLayout klc(kKlcLayout);
        ASSERT_EQ(WriteDatFile(folder + "klc.dat", klc, entries), 0);
        ASSERT_EQ(WriteSezFile(folder + "klclek.sez", entries, SezKeySpec{0, 7, 32, 7}), 0);
        OpenTable(SubstanceTable(), TFileId(), TFileId(), 0);
        OpenTable(AtcTable, TFileId(), TFileId(), 0);
        SetDataDir(folder);
    }

    QTemporaryDir scratch;
};

// ------------------------------------------------------------ pure texts

TEST(SubstanceListTexts, SynonymKindTextGivesTheKeyOfEveryKind)
{
    struct Case {
        const char* kind;
        const char* row;
        const char* other;
        bool key;
    };
    const Case cases[] = {
        {" 0", "P", "P", true},    {"50", "CA", "CA", true},   {"55", "En", "En", true},
        {"56", "Fr", "Fr", true},  {"57", "Es", "Es", true},   {"58", "Ru", "Ru", true},
        {"59", "De", "De", true},  {"60", "Cz", "Cz", true},   {"61", "Sl", "Sl", true},
        {"65", "AP1", "AP", true}, {"66", "AP2", "AP", true},  {"67", "   ", "AP", true},
        {"69", "   ", "AP", true}, {"88", "CzC", "CzC", true}, {"89", "   ", "CzC", true},
        {"90", "CP1", "CP", true}, {"91", "CP2", "CP", true},  {"92", "   ", "CP", true},
        {"94", "   ", "CP", true}, {"95", "C", "C", true},     {"99", "CM", "CM", true},
        {"51", "51", "51", false}, {" 1", " 1", " 1", false},  {"70", "70", "70", false},
    };
    for (const Case& c : cases) {
        bool isKey = true;
        EXPECT_EQ(SynonymKindText(c.kind, true, &isKey), c.row) << c.kind;
        // Three blanks are shown as they are, without a look-up.
        EXPECT_EQ(isKey, c.key && std::string(c.row) != "   ") << c.kind;
        EXPECT_EQ(SynonymKindText(c.kind, false, &isKey), c.other) << c.kind;
        EXPECT_EQ(isKey, c.key) << c.kind;
    }
}

TEST(SubstanceListTexts, TypedCodeTurnsABlankIntoZero)
{
    const std::pair<const char*, const char*> cases[] = {
        {"12 ", "120"}, {"1 0", "1  "}, {"120", "120"}, {"1", "1"}, {"", ""}, {" ", " "}, {"10", "10"},
    };
    for (const auto& [typed, prefix] : cases)
        EXPECT_EQ(ComponentList::CodePrefix(typed), prefix) << '"' << typed << '"';
}

TEST(SubstanceListTexts, KamLowerIsTheDuplicityChecksTable)
{
    BuildKamTables();
    EXPECT_EQ(KamLowerText(Kam("PARACETAMOL ŠŤÁVA Ř 1-ÉČ")), Kam("paracetamol šťáva ř 1-éč"));
    EXPECT_EQ(KamLowerText("abc 123"), "abc 123");
}

TEST_F(SubstanceListTest, SubstanceRowsKeepTheKindColumnAt100)
{
    const std::string standard = Substance("1022", "0", Kam("FUROSEMID"), '`', "1024", 'S');
    const std::string noDoping = Substance("1022", "0", Kam("FUROSEMID"), '`', "", 'Q');
    // A long-name record: its 77-character name from offset 9.
    std::string longName = Substance("1023", "55", "");
    const std::string name77 = std::string("A VERY LONG NAME ") + std::string(60, 'X');
    longName.replace(7, 1, "5");
    longName.replace(9, 77, name77);

    const std::string row = SubstanceListRow(standard, 'S', "(51)");
    EXPECT_EQ(At(row, 2, 5), " 1022");
    EXPECT_EQ(At(row, 7, 2), " 0");
    EXPECT_EQ(At(row, 9, 5), "SYN  ");
    EXPECT_EQ(Trim(At(row, 14, 77)), "FUROSEMID");
    EXPECT_EQ(At(row, 91, 5), " 1024");
    EXPECT_EQ(At(row, 97, 3), Kam("diu")); // "diuret." cut to three
    EXPECT_EQ(At(row, 100, 4), "(51)");
    EXPECT_EQ(At(SubstanceListRow(noDoping, 'S', "(51)"), 97, 7), "   (51)");
    const std::string longRow = SubstanceListRow(longName, 'S', "(51)");
    EXPECT_EQ(At(longRow, 9, 5), "     ");
    EXPECT_EQ(At(longRow, 14, 77), name77);
    EXPECT_EQ(At(longRow, 91, 9), std::string(9, ' '));
    EXPECT_EQ(At(longRow, 100, 4), "(51)");
    EXPECT_EQ(Trim(SubstanceName(longName)), Trim(name77));
    // The other lists repeat the kind beyond the last column.
    EXPECT_EQ(At(SubstanceListRow(standard, 'N', ""), 100, 2), " 0");
}

// ----------------------------------------------------- the lists on demo

TEST_F(SubstanceListTest, NameListOfMainNamesRunsFromTheFirstLetterToTheLastMainName)
{
    ComponentList names('N');
    VybRec rec;
    rec.Letter = 'N';
    rec.Options = 0x80;
    rec.ButtonState = 0x10;
    const std::vector<Fetched> rows = Walk(rec, names);
    ASSERT_GT(rows.size(), 50u);
    for (const Fetched& f : rows)
        EXPECT_EQ(At(f.text, 7, 2), " 0") << f.text;
    EXPECT_GE(static_cast<unsigned char>(rows.front().text[13]), 'A');
    // Without 0x10 the synonyms show too.
    ComponentList all('N');
    VybRec recAll;
    recAll.Letter = 'N';
    recAll.Options = 0x80;
    EXPECT_GT(Walk(recAll, all).size(), 2 * rows.size() - 10);

    // The thumb at its end reaches the last main name, strict and not.
    for (uint8_t options : {uint8_t{0x80}, uint8_t{0}}) {
        VybRec r;
        r.Letter = 'N';
        r.Options = options;
        r.ButtonState = 0x10;
        Walk(r, names, 1);
        EXPECT_LE(r.Count, static_cast<int32_t>(SubstanceTable().LeafCount() / 2 + 1));
        r.FetchMode = FetchModeCode::AtTopPos;
        r.TopPos = r.Count;
        TVybRow row;
        std::string text;
        names.Fetch(r, row, text);
        EXPECT_EQ(text, rows.back().text) << int(options);
        r.FetchMode = FetchModeCode::Last;
        names.Fetch(r, row, text);
        EXPECT_EQ(text, rows.back().text) << int(options);
    }
}

TEST_F(SubstanceListTest, CodeListFiltersBySortBitsAndButtonM)
{
    ComponentList codes('C');
    VybRec rec;
    rec.Letter = 'C';
    rec.Options = 0x80;
    rec.Prefix = " 10";
    const std::vector<Fetched> all = Walk(rec, codes);
    ASSERT_GT(all.size(), 20u);
    for (const Fetched& f : all)
        EXPECT_EQ(At(f.text, 2, 3), " 10");

    rec.ButtonStateM = 1;
    const std::vector<Fetched> main = Walk(rec, codes);
    EXPECT_FALSE(main.empty());
    EXPECT_LT(main.size(), all.size());
    std::string record;
    for (const Fetched& f : main) {
        ReadRecord(SubstanceTable().dat, f.row.Offer1, record);
        EXPECT_NE((record[85] - '0') & 8, 0) << f.text;
    }
    // Button M as the window sends it: a new seek.
    VybRec viaButton;
    viaButton.Letter = 'C';
    EXPECT_EQ(codes.React(viaButton, ListAction::ShiftF6), ListAction::PrefixChanged);
    EXPECT_EQ(viaButton.ButtonStateM, 1);
    // The popup items set the low bits; the same item again clears them.
    EXPECT_EQ(codes.React(viaButton, PopupItemAction('S', '3')), ListAction::PrefixChanged);
    EXPECT_EQ(viaButton.ButtonState & 0x0F, 10);
    codes.React(viaButton, PopupItemAction('S', '3'));
    EXPECT_EQ(viaButton.ButtonState & 0x0F, 0);
    // A seek beyond every code, and five blanks, show nothing.
    rec.ButtonStateM = 0;
    rec.Prefix = "99999";
    EXPECT_TRUE(Walk(rec, codes).empty());
    rec.Prefix = "     ";
    EXPECT_TRUE(Walk(rec, codes).empty());
}

TEST_F(SubstanceListTest, BaseListFollowsItsSubstanceToTheSaltsOfItsBase)
{
    const int32_t salt = liststest::RecordOfKey("kk", "kkkod", " 1023");
    const int32_t base = liststest::RecordOfKey("kk", "kkkod", " 1024");
    ASSERT_GT(salt, 0);
    SynonymList list('B');
    VybRec rec;
    rec.Letter = 'B';
    rec.Options = 0x80;
    rec.ButtonState = 0x10;
    rec.LinkValue = salt;
    EXPECT_EQ(list.React(rec, ListAction::Reposition), ListAction::None);
    EXPECT_EQ(rec.Prefix, " 1024");
    EXPECT_EQ(rec.StatusText.substr(0, 6), " 1023 ");
    const std::vector<Fetched> rows = Walk(rec, list);
    ASSERT_FALSE(rows.empty());
    for (const Fetched& f : rows) {
        EXPECT_EQ(At(f.text, 91, 5), " 1024");
        EXPECT_EQ(At(f.text, 7, 2), " 0");
    }
    // The base itself has no base: no rows.
    rec.LinkValue = base;
    list.React(rec, ListAction::Reposition);
    EXPECT_TRUE(Walk(rec, list).empty());
}

TEST_F(SubstanceListTest, SynonymListHidesKindsWithoutATextUntilButtonN)
{
    UseFolder(
        {
            Substance("1001", "0", "PARACETAMOL", '`', "", ' ', '='),
            Substance("1001", "50", "CAS     103-90-2"),
            Substance("1001", "51", "PARACETAMOLO"),
            Substance("1001", "67", "PARACETAMOL AP"),
            Substance("1001", "95", "PARACETAMOLUM C"),
            Substance("1002", "0", "IBUPROFEN"),
        },
        {Entry("0000113", "1001", 'L', "500", "MG")});
    SynonymList list('S');
    VybRec rec;
    rec.Letter = 'S';
    rec.Options = 0x80;
    rec.ButtonState = 0x20;
    rec.LinkValue = 1;
    list.React(rec, ListAction::Reposition);
    EXPECT_EQ(rec.Prefix, " 1001");
    EXPECT_EQ(rec.IconCaption, "paraceta");
    auto kinds = [&] {
        std::vector<std::string> out;
        for (const Fetched& f : Walk(rec, list))
            out.push_back(Trim(At(f.text, 100, 40)));
        return out;
    };
    const std::string ksynP = DataSetText("KSyn", "P");
    const std::string ksynCA = DataSetText("KSyn", "CA");
    // "95" names "C", whose text "CP" is too short; "67" shows blanks.
    EXPECT_EQ(kinds(), (std::vector<std::string>{ksynP, ksynCA, ""}));
    EXPECT_EQ(list.React(rec, ListAction::ShiftF3), ListAction::RefillInPlace);
    EXPECT_EQ(kinds(), (std::vector<std::string>{ksynP, ksynCA, "(51)", "", "(CP)"}));
    // Button N's texts in both states, none missing.
    for (uint16_t state : {uint16_t{0}, uint16_t{0x20}}) {
        TVybRow block;
        block.Pos = state;
        for (uint8_t sub : {uint8_t{0}, uint8_t{1}})
            EXPECT_EQ(list.Info(InfoKind::Control, sub, block, "N").find("!!"), std::string::npos) << state;
    }
}

TEST_F(SubstanceListTest, HintsNameSourcesBasesDependenceAndDoping)
{
    ComponentList codes('C');
    VybRec rec;
    rec.Letter = 'C';
    rec.Options = 0x80;
    rec.Prefix = " 1023";
    const std::vector<Fetched> rows = Walk(rec, codes);
    ASSERT_FALSE(rows.empty());
    const Fetched& f = rows.front();
    auto cell = [&](size_t from, size_t n) { return At(f.text, from, n); };
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 2, f.row, cell(9, 5)), Kam("Syntetický původ"));
    EXPECT_EQ(Trim(codes.Info(InfoKind::CellHint, 4, f.row, cell(91, 5))), "METOPROLOL");
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 1, f.row, cell(7, 2)), DataSetText("KSyn", "P"));
    const std::string doping = codes.Info(InfoKind::CellHint, 6, f.row, cell(97, 3));
    EXPECT_FALSE(doping.empty());
    EXPECT_EQ(doping.find("!!"), std::string::npos);
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 5, f.row, "O"), DataSetText("Zvk", "O"));
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 5, f.row, " "), "");
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 2, f.row, "XXXX"), "");
    EXPECT_EQ(codes.Info(InfoKind::CellHint, 4, f.row, "99999"), "");
    for (int column = 0; column <= 6; ++column)
        EXPECT_EQ(codes.Info(InfoKind::HeadingHint, static_cast<uint8_t>(column), f.row, "").find("!!"),
                  std::string::npos)
            << column;
    for (const char* button : {"M", "N"})
        for (uint16_t state : {uint16_t{0}, uint16_t{0x11}}) {
            TVybRow block;
            block.Pos = state;
            for (uint8_t sub : {uint8_t{0}, uint8_t{1}})
                EXPECT_EQ(codes.Info(InfoKind::Control, sub, block, button).find("!!"), std::string::npos)
                    << button << state;
        }
}

// ------------------------------------------------------ composition lists

TEST_F(SubstanceListTest, CompositionRowsOfADemoDrugInEachList)
{
    // 0000232: pantoprazole as its salt (S) and the base it corresponds to (O).
    auto rowsOf = [](ListSource&& list, char letter, uint16_t state, uint16_t stateM = 0) {
        VybRec rec;
        rec.Letter = letter;
        rec.Options = 0x80;
        rec.ButtonState = state;
        rec.ButtonStateM = stateM;
        rec.Prefix = "0000232";
        std::vector<std::string> out;
        for (const Fetched& f : Walk(rec, list))
            out.push_back(Trim(f.text.substr(1)));
        return out;
    };
    const std::vector<std::string> d = rowsOf(CompositionList('D'), 'D', 16);
    ASSERT_GE(d.size(), 2u);
    // Code, state, amount and unit as stored (amounts right-aligned), the name.
    EXPECT_EQ(d[0].substr(0, 16), " 1009S   45.1 MG");
    EXPECT_EQ(d[1].substr(0, 16 + 11), " 1008O     40 MG" + std::string("PANTOPRAZOL"));
    // N: the Czech synonym where the substance has one (paracetamol: "60").
    VybRec rec;
    rec.Letter = 'N';
    rec.Options = 0x80;
    rec.ButtonState = 128;
    rec.Prefix = "0000113";
    CompositionList n('N');
    const std::vector<Fetched> rows = Walk(rec, n);
    ASSERT_GE(rows.size(), 1u);
    EXPECT_EQ(Trim(At(rows[0].text, 18, 77)), "ACETAMINOFEN");
    EXPECT_EQ(rows[0].row.Offer2, liststest::RecordOfKey("kk", "kkkod", " 1001") + 3);
    // S: each substance, then its synonyms, the same backwards.
    CompositionSynonymList s;
    VybRec sRec;
    sRec.Letter = 'S';
    sRec.Options = 0x80;
    sRec.Prefix = "0000113";
    std::vector<std::string> forward;
    for (const Fetched& f : Walk(sRec, s))
        forward.push_back(f.text);
    std::vector<std::string> backward;
    for (const Fetched& f : WalkBack(sRec, s))
        backward.push_back(f.text);
    EXPECT_EQ(forward, backward);
    ASSERT_GE(forward.size(), 5u);
    EXPECT_EQ(Trim(At(forward[0], 18, 77)), "PARACETAMOL");
    EXPECT_EQ(At(forward[1], 2, 16), std::string(16, ' '));
    EXPECT_EQ(Trim(At(forward[1], 18, 77)), "CAS     103-90-2");
    // Button M: only the active states in D.
    const std::vector<std::string> active = rowsOf(CompositionList('D'), 'D', 16, 1);
    const std::vector<std::string> whole = rowsOf(CompositionList('D'), 'D', 16, 0);
    EXPECT_LE(active.size(), whole.size());
    for (const std::string& r : active)
        EXPECT_NE(std::string("LOST").find(r[5]), std::string::npos) << r;
}

TEST_F(SubstanceListTest, CompositionShowsContinuedNamesMissingSubstancesAndGroupLines)
{
    const std::string part1 = "KOPOLYMER KYSELINY METHAKRYLOVE A METHYL-METHAKRYLATU (1:1)";
    const std::string part2 = " S PRIDAVKEM NATRIUM-LAURYLSULFATU A POLYSORBATU 80";
    UseFolder(
        {
            Substance("    0", "0", "POMOCNE LATKY"),
            Substance("1001", "0", "PARACETAMOL"),
            Substance("1001", "55", "PARACETAMOL EN"),
            Substance("1001", "60", "PARACETAMOL CZ"),
            Substance("1095", "0", part1, '0', "", 'S'),
            Substance("1095", "0", part2, '0'),
            Substance("1095", "55", "METHACRYLIC ACID COPOLYMER"),
            Substance("1099", "0", "LAST SUBSTANCE"),
        },
        {
            Entry("0000113", "1001", 'L', "500", "MG"),
            Entry("0000113", "1095", 'C', "20", "MG"),
            Entry("0000113", "1077", 'L', "5", "MG"), // not in kk
            Entry("0000113", "0", 'C', "", "PL"),
            Entry("0000113", "-1", 'X', "", ""),
            Entry("0000113", "12-3-", 'L', "", ""),
            Entry("9999999", "1001", 'L', "1", "G "),
            Entry("9999999", "1099", 'L', "2", "G "),
        });
    auto walk = [](ListSource&& list, char letter, const char* drug, bool back = false) {
        VybRec rec;
        rec.Letter = letter;
        rec.Options = 0x80;
        rec.ButtonState = letter == 'N' ? 128 : 16;
        rec.Prefix = drug;
        return back ? WalkBack(rec, list) : Walk(rec, list);
    };
    const std::vector<Fetched> d = walk(CompositionList('D'), 'D', "0000113");
    ASSERT_EQ(d.size(), 6u);
    const std::string whole = part1 + part2;
    EXPECT_EQ(At(d[1].text, 18, 77), whole.substr(0, 75) + "->");
    EXPECT_EQ(At(d[1].text, 7, 1), " "); // an excipient's state is not shown
    EXPECT_EQ(At(d[1].text, 96, 3), "diu");
    EXPECT_EQ(CompositionList('D').Info(InfoKind::CellHint, 2, d[1].row, At(d[1].text, 18, 77)), whole);
    EXPECT_EQ(Trim(At(d[2].text, 18, 77)), ProgramText("Slozeni", "KompKod") + " 1077");
    EXPECT_EQ(d[2].row.Offer2, 0);
    EXPECT_EQ(d[2].row.Aux, -1);
    // Group lines: their code without its last two characters, no
    // substance offered; "    0" with an excipient state moves right.
    EXPECT_EQ(At(d[3].text, 2, 6), "      ");
    EXPECT_EQ(Trim(At(d[3].text, 18, 77)), "  POMOCNE LATKY");
    EXPECT_EQ(d[3].row.Offer2, 0);
    EXPECT_EQ(At(d[4].text, 2, 5), "     ");
    EXPECT_EQ(d[4].row.Offer2, 0);
    EXPECT_EQ(d[5].row.Offer2, 0); // a fifth character "-"
    EXPECT_GT(d[0].row.Offer2, 0);
    // N: a missing substance has no Czech name.
    const std::vector<Fetched> n = walk(CompositionList('N'), 'N', "0000113");
    ASSERT_EQ(n.size(), 6u);
    EXPECT_EQ(Trim(At(n[0].text, 18, 77)), "PARACETAMOL CZ");
    EXPECT_EQ(Trim(At(n[2].text, 18, 77)), ProgramText("Slozeni", "NoCZ"));
    // The highest drug code's last entry at End, in each list.
    for (char letter : {'D', 'S'}) {
        const std::vector<Fetched> last = letter == 'D'
                                              ? walk(CompositionList('D'), 'D', "9999999", true)
                                              : walk(CompositionSynonymList(), 'S', "9999999", true);
        ASSERT_EQ(last.size(), letter == 'D' ? 2u : 4u) << letter;
        EXPECT_EQ(Trim(At(last.back().text, 18, 77)), "LAST SUBSTANCE") << letter;
    }
    // S forwards and backwards agree, with the continuation as a row of
    // its own and the missing substance's text.
    std::vector<std::string> forward;
    for (const Fetched& f : walk(CompositionSynonymList(), 'S', "0000113"))
        forward.push_back(f.text);
    std::vector<std::string> backward;
    for (const Fetched& f : walk(CompositionSynonymList(), 'S', "0000113", true))
        backward.push_back(f.text);
    EXPECT_EQ(forward, backward);
    EXPECT_NE(std::find_if(forward.begin(), forward.end(),
                           [&](const std::string& t) {
                               return Trim(At(t, 18, 64)) ==
                                      Trim(ProgramText("Slozeni", "KompKod") + " 1077");
                           }),
              forward.end());
    // Button M in S leaves out the auxiliary entries and the group line after one.
    VybRec rec;
    rec.Letter = 'S';
    rec.Options = 0x80;
    rec.ButtonStateM = 1;
    rec.Prefix = "0000113";
    CompositionSynonymList s;
    for (const Fetched& f : Walk(rec, s))
        EXPECT_NE(At(f.text, 2, 5), "   -1") << f.text;
}

// ----------------------------------------------------------- the windows

TEST_F(SubstanceListTest, CommandsOpenTheListsAndTheFollowersFollow)
{
    ExecuteCommand(host, KindOf("CNA"), 0);
    Settle();
    TVyb* names = ListOf("CNA");
    ASSERT_NE(names, nullptr);
    names->SubWindow()->setGeometry(0, 0, 900, 400);
    Settle();
    QTest::keyClicks(names->Edt, "IBU");
    Settle();
    ASSERT_GE(names->Rec.RowCount, 1);
    EXPECT_EQ(Trim(At(names->Rec.Rows[names->Rec.CurRow].Text.Str(), 14, 77)), "IBUPROFEN");
    liststest::SaveShot(names->grab().toImage(), "substance_names.png");

    // The synonyms of the current substance follow it.
    ExecuteCommand(names, KindOf("cSS"), 0);
    Settle();
    TVyb* synonyms = ListOf("cSS");
    ASSERT_NE(synonyms, nullptr);
    EXPECT_EQ(synonyms->Master.get(), names);
    EXPECT_EQ(synonyms->Rec.Prefix, " 1002");
    EXPECT_GE(synonyms->Rec.RowCount, 2);
    synonyms->SubWindow()->setGeometry(0, 400, 900, 300);
    Settle();
    liststest::SaveShot(synonyms->grab().toImage(), "substance_synonyms.png");
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(names->Edt, Qt::Key_Backspace);
    QTest::keyClicks(names->Edt, "PARA");
    names->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(synonyms->Rec.Prefix, " 1001");
    EXPECT_EQ(synonyms->Rec.Prefix, At(names->Rec.Rows[names->Rec.CurRow].Text.Str(), 2, 5));

    // The composition of a drug offered by a master.
    const int32_t drug = liststest::RecordOfKey("kl", "klkod", "0000232");
    auto* master = new OfferingMaster("DCD", LinkKind::Drug, drug);
    master->Master = host;
    host->area->setActiveSubWindow(master->Show());
    Settle();
    ExecuteCommand(master, KindOf("CXS"), 0);
    Settle();
    TVyb* composition = ListOf("CXS");
    ASSERT_NE(composition, nullptr);
    EXPECT_EQ(composition->Rec.Prefix, "0000232");
    EXPECT_GE(composition->Rec.RowCount, 3);
    composition->SubWindow()->setGeometry(0, 0, 900, 300);
    Settle();
    liststest::SaveShot(composition->grab().toImage(), "composition_synonyms.png");
    EXPECT_EQ(composition->Master.get(), master);
    QPointer<QWidget> follower = composition->Widget();
    delete master;
    Settle();
    EXPECT_TRUE(follower.isNull());
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(SubstanceListTest, MissingOrDamagedTablesOpenNoWindow)
{
    const std::string folder = scratch.path().toStdString() + "/";
    SetDataDir(folder);
    OpenTable(SubstanceTable(), TFileId(), TFileId(), 0);
    EXPECT_EQ(OpenComponentList(KindOf("CNA")), nullptr);
    EXPECT_EQ(sink.Requests().size(), 1u);
    auto* master = new OfferingMaster("DCD", LinkKind::Drug, 1);
    master->Master = host;
    host->area->setActiveSubWindow(master->Show());
    Settle();
    ExecuteCommand(master, KindOf("CXD"), 0);
    Settle();
    EXPECT_EQ(ListOf("CXD"), nullptr);
    EXPECT_EQ(sink.Requests().size(), 2u);
}

} // namespace

namespace {

// The list tool shows a dependent list under a test master and prints its rows.
TEST_F(SubstanceListTest, ListDemoPrintsTheRowsOfACompositionUnderATestMaster)
{
    const int32_t drug = liststest::RecordOfKey("kl", "klkod", "0000232");
    ASSERT_GT(drug, 0);
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    tool.setProcessEnvironment(env);
    tool.start(QEVW_BINARY_DIR "/tools/list_demo",
               {QEVW_DEMO_DATA_DIR, "--open", "CXD", "--value", QString::number(drug), "--rows"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(" 1009S   45.1 MGPANTOPRAZOL SODNÁ SŮL")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith(" 1008O     40 MGPANTOPRAZOL")) << lines[1].toStdString();
}

} // namespace

namespace {

// The structure check reports the order the lists' walks rely on.
TEST_F(SubstanceListTest, StructureCheckReportsASynonymBeforeItsMainRecordAndAnEndlessName)
{
    UseFolder(
        {
            Substance("1001", "55", "PARACETAMOL EN"),
            Substance("1001", "0", "PARACETAMOL"),
            Substance("1002", "0", "IBUPROFEN"),
            Substance("1003", "0", "A NAME THAT GOES ON", '0'),
        },
        {Entry("0000113", "1001", 'L', "500", "MG")});
    std::vector<std::string> lines;
    CheckDataFolderStructure(
        scratch.path().toStdString(), [&](const std::string& line) { lines.push_back(line); }, false,
        nullptr);
    std::vector<std::string> order;
    for (const std::string& line : lines)
        if (line.find("kkkod.sez") != std::string::npos)
            order.push_back(line);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_NE(order[0].find("\" 1001\": the main record is not the first"), std::string::npos) << order[0];
    EXPECT_NE(order[1].find("continues into nothing"), std::string::npos) << order[1];
}

} // namespace
