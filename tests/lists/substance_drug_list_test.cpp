// The drugs of a substance and the drugs of a full-text search on the demo
// data: the amount and words texts, the rows against the composition table,
// the buttons, following the substance windows, an injected search result
// and a folder without the drug signs.

#include <gtest/gtest.h>

#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/drug_row.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "lists/search/text_search_engine.h"
#include "lists/substances/substance_drug_lists.h"
#include "lists/substances/substance_lists.h"
#include "tests/lists/lists_test_support.h"
#include "writers/dat_writer.h"

namespace {

namespace fs = std::filesystem;
using liststest::Kam;
using liststest::Settle;

class OfferingMaster : public dftest::ProbeWindow {
public:
    OfferingMaster(const char* kind, LinkKind linkKind, int32_t value) : ProbeWindow(KindOf(kind), "master")
    {
        LinkKinds = {LinkKind::None, linkKind, LinkKind::None};
        LinkValues = {0, value, 0};
    }
};

std::string Trim(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// The drug codes the composition table gives a substance code, in the
// order of "klckomp", with the entry's state letter.
std::vector<std::pair<std::string, char>> EntriesOf(const std::string& code)
{
    TDbTable t;
    OpenTable(t, TFileId("klc"), TFileId("klckomp"), 0);
    std::vector<std::pair<std::string, char>> out;
    std::string rec;
    for (int32_t p = 0; p < t.LeafCount(); ++p) {
        ReadByOrder(t, p, rec);
        if (FieldBytes(rec, kCompositionSubstance) == code)
            out.emplace_back(std::string(FieldBytes(rec, kCompositionDrug)),
                             FieldByte(rec, kCompositionState));
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    return out;
}

class SubstanceDrugListTest : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        liststest::PrepareDrugLists();
        Config().Update([](ConfigValues& v) { v.CompositionFilter = 0; });
    }
    void TearDown() override
    {
        SetTextSearchRunner({});
        OpenTable(SubstanceTable(), TFileId(), TFileId(), 0);
        OpenTable(AtcTable, TFileId(), TFileId(), 0);
        OpenTable(MainTable, TFileId(), TFileId(), 0);
        DemoListsTest::TearDown();
        DbStatus = 0;
    }

    // A master offering a substance record, shown in the host.
    OfferingMaster* SubstanceMaster(const char* code)
    {
        auto* master =
            new OfferingMaster("CNA", LinkKind::Substance, liststest::RecordOfKey("kk", "kkkod", code));
        master->Master = host;
        host->area->setActiveSubWindow(master->Show());
        Settle();
        return master;
    }

    static std::vector<std::string> Codes(const TVyb* w)
    {
        std::vector<std::string> out;
        for (const std::string& t : RowTexts(w))
            out.push_back(t.substr(static_cast<size_t>(kDrugRowCode.Offset()), 7));
        return out;
    }
};

using TextFoundListTest = SubstanceDrugListTest;

TEST(SubstanceDrugListTexts, AmountAndWordsTexts)
{
    const DatLayout klc(kKlcLayout);
    struct Case {
        char state;
        const char* expected;
    };
    for (const Case& c : {Case{'C', "    500 MG"}, Case{'X', "    500 MG"}, Case{'L', "L   500 MG"}}) {
        std::string rec = klc.BlankRecord();
        klc.PutText(rec, "LEK", "0000113");
        klc.PutRight(rec, "KOM", "1001");
        klc.PutText(rec, "STA", std::string(1, c.state));
        klc.PutRight(rec, "MN", "500");
        klc.PutText(rec, "JD", "MG");
        EXPECT_EQ(SubstanceAmountText(rec), c.expected) << c.state;
    }
    text_search::SearchWords words;
    words.word = {"PARA", "IBU", "KAFE", "", ""};
    words.count = 3;
    EXPECT_EQ(FoundWordsText(words, 0x01 | 0x04), "PARA KAFE       ");
    EXPECT_EQ(FoundWordsText(words, 0), std::string(16, ' '));
    text_search::SearchWords longWords;
    longWords.word = {"PARACETAMOL", "IBUPROFEN", "KOFEIN", "NAPROXEN", "DIKLOFENAK"};
    longWords.count = 5;
    EXPECT_EQ(FoundWordsText(longWords, 0x1F), "PARACETAMOL IBUP");
    // An entry of a record past 65,535 with the fifth word.
    const uint32_t entry = text_search::ResultEntry(70000, 0x10);
    EXPECT_EQ(text_search::ResultRecord(entry), 70000);
    EXPECT_EQ(FoundWordsText(longWords, text_search::ResultWords(entry)), "DIKLOFENAK      ");
}

TEST_F(SubstanceDrugListTest, DrugsOfASubstanceWithTheirAmountsFollowTheMaster)
{
    OfferingMaster* master = SubstanceMaster(" 1001");
    ExecuteCommand(master, KindOf("DXC"), 0);
    Settle();
    TVyb* w = ListOf("DXC");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Master.get(), master);
    EXPECT_EQ(w->Rec.Prefix, " 1001");
    w->SubWindow()->setGeometry(0, 0, 1200, 600);
    Settle();
    const std::vector<std::pair<std::string, char>> entries = EntriesOf(" 1001");
    ASSERT_GE(entries.size(), 5u);
    std::vector<std::string> expected;
    for (const auto& [drug, state] : entries)
        expected.push_back(drug);
    const std::vector<std::string> shown = Codes(w);
    // The cancelled drugs are left out by default (0x80).
    ASSERT_FALSE(shown.empty());
    for (const std::string& code : shown)
        EXPECT_NE(std::find(expected.begin(), expected.end(), code), expected.end()) << code;
    const std::string first = RowTexts(w).front();
    EXPECT_EQ(first.substr(245, 10), "L   500 MG");
    liststest::SaveShot(w->grab().toImage(), "substance_drugs.png");

    // M keeps the entries of state L and O.
    w->SendAction(ActionCodeOf(ListAction::ShiftF6));
    Settle();
    EXPECT_EQ(w->Rec.ButtonStateM & 1, 1);
    for (const std::string& t : RowTexts(w))
        EXPECT_TRUE(t[245] == 'L' || t[245] == 'O') << t;
    // D: without the cancelled-drug bit more rows (or as many) show.
    const size_t before = RowTexts(w).size();
    w->SendAction(ActionCodeOf(PopupItemAction('D', '3')));
    Settle();
    EXPECT_EQ(w->Rec.ButtonState & 0x80, 0);
    EXPECT_GE(RowTexts(w).size(), before);

    // Another substance offered: the list follows.
    master->LinkValues[1] = liststest::RecordOfKey("kk", "kkkod", " 1002");
    master->PropagateLinks();
    Settle();
    EXPECT_EQ(w->Rec.Prefix, " 1002");
    for (const std::string& code : Codes(w)) {
        bool holds = false;
        for (const auto& [drug, state] : EntriesOf(" 1002"))
            holds = holds || drug == code;
        EXPECT_TRUE(holds) << code;
    }
    QPointer<QWidget> follower = w->Widget();
    delete master;
    Settle();
    EXPECT_TRUE(follower.isNull());
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(TextFoundListTest, AnInjectedResultOpensTheListWithItsWords)
{
    const int32_t a = liststest::RecordOfKey("kl", "klkod", "0000113");
    const int32_t b = liststest::RecordOfKey("kl", "klkod", "0000152");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    int runs = 0;
    SetTextSearchRunner([&](TextSearchResult& out) {
        ++runs;
        out.entries = {text_search::ResultEntry(a, 0x05), text_search::ResultEntry(b, 0x02)};
        out.words.word = {"HOREČKA", "BOLEST", "DÁVKA", "", ""};
        for (std::string& word : out.words.word)
            word = Kam(word.c_str());
        out.words.count = 3;
        out.letter = 'L';
        return 2;
    });
    ExecuteCommand(host, KindOf("XTD"), 0);
    Settle();
    EXPECT_EQ(runs, 1);
    TVyb* w = ListOf("XTD");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Rec.Letter, '2');
    EXPECT_EQ(w->Rec.StatusText, Kam("HOREČKA, BOLEST, DÁVKA"));
    w->SubWindow()->setGeometry(0, 0, 1200, 400);
    Settle();
    const std::vector<std::string> rows = RowTexts(w);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(1, 7), "0000113");
    EXPECT_EQ(rows[0].substr(239, 16), Kam("HOREČKA DÁVKA   "));
    EXPECT_EQ(rows[1].substr(239, 16), "BOLEST          ");
    EXPECT_TRUE(w->windowTitle().contains(KamToQString(ProgramText("VybLek", "n2")).trimmed()))
        << w->windowTitle().toStdString();
    liststest::SaveShot(w->grab().toImage(), "text_found_drugs.png");
    // The words reach the viewers opened from the list.
    const std::string block = w->Source()->SearchWords();
    ASSERT_EQ(block.size(), 205u);
    EXPECT_EQ(block.substr(41, 7), std::string(1, '\6') + "BOLEST");

    // Nothing found: no window.
    SetTextSearchRunner([](TextSearchResult&) { return 0; });
    const size_t windows = AllDataForms().size();
    EXPECT_EQ(OpenTextFoundList(KindOf("XTD")), nullptr);
    EXPECT_EQ(AllDataForms().size(), windows);
}

TEST_F(TextFoundListTest, MissingDrugSignsStopBeforeTheSearch)
{
    QTemporaryDir scratch;
    const fs::path folder = fs::path(scratch.path().toStdString()) / "data";
    fs::create_directories(folder);
    for (const auto& e : fs::directory_iterator(QEVW_DEMO_DATA_DIR))
        if (e.path().filename() != "kl.sgn")
            fs::copy(e.path(), folder / e.path().filename());
    SetDataDir(folder.string() + "/");
    ClearSignSets(SignSets(), 0, -1);
    int runs = 0;
    SetTextSearchRunner([&](TextSearchResult&) {
        ++runs;
        return 0;
    });
    EXPECT_EQ(OpenTextFoundList(KindOf("XTD")), nullptr);
    EXPECT_EQ(runs, 0);
    ASSERT_EQ(sink.Requests().size(), 1u);
    EXPECT_EQ(QStringToKam(sink.Requests()[0].text), ProgramText("Chyby", "ErrSgn"));
}

} // namespace
