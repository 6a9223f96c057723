// The non-drug goods lists and the goods header on the demo data: the row of
// a goods record, the fetch modes at both index ends, the category list, the
// similar spellings of the name list, the text-found list and the header
// following its list.

#include <QTest>

#include <algorithm>
#include <set>

#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "lists/codes/code_lists.h"
#include "lists/goods/goods_header.h"
#include "lists/goods/goods_lists.h"
#include "lists/search/similar_search.h"
#include "lists/search/text_search_engine.h"
#include "platform/coding.h"
#include "tests/lists/code_list_fixture.h"

namespace {

using codelisttest::Kam;
using codelisttest::ListsOnDemoData;
using codelisttest::Settle;

// A goods record with the given fields, the rest blank; CC -1 unless set.
struct GoodsFields {
    std::string code = "10010";
    std::string ean;
    std::string price;
    std::string photo = " ";
    int32_t textOffset = -1;
    char letter = 'N';
};

std::string Put(std::string rec, FieldPos f, std::string_view value)
{
    std::string v(value.substr(0, static_cast<size_t>(f.length)));
    v.resize(static_cast<size_t>(f.length), ' ');
    rec.replace(static_cast<size_t>(f.Offset()), v.size(), v);
    return rec;
}

std::string GoodsRecord(const GoodsFields& g)
{
    std::string rec(static_cast<size_t>(kPfaLayout.Length()), ' ');
    rec = Put(rec, kGoodsCode, g.code);
    rec = Put(rec, kGoodsHemCode, "300000");
    rec = Put(rec, kGoodsName, "NAME");
    rec = Put(rec, kGoodsEan, g.ean);
    rec = Put(rec, kGoodsPrice, g.price);
    rec = Put(rec, kGoodsPhoto, g.photo);
    char cc[4];
    EncodeLE32(cc, static_cast<uint32_t>(g.textOffset));
    rec.replace(static_cast<size_t>(kGoodsTextOffset.Offset()), 4, cc, 4);
    char ccd[2];
    EncodeLE16(ccd, static_cast<uint16_t>(static_cast<uint8_t>(g.letter) << 9));
    rec.replace(static_cast<size_t>(kGoodsFlagLetter.Offset()), 2, ccd, 2);
    return rec;
}

// The cells of a goods row (after the status character) by column.
struct RowCells {
    std::string ean, price, flags;
};
RowCells CellsOf(const std::string& row)
{
    return {row.substr(170, 13), row.substr(183, 7), row.substr(190, 2)};
}

TEST(GoodsRowText, CellsOfTheRecordLaidOutByHand)
{
    struct Case {
        const char* what;
        GoodsFields fields;
        RowCells cells;
    };
    const Case cases[] = {
        {"a valid EAN, a whole price, no text, no photo",
         {.ean = "8591100277772", .price = "    24900"},
         {"8591100277772", " 249,00", "  "}},
        {"an EAN failing its check digit is lowered by 32",
         {.ean = "8591100277773", .price = "    24900"},
         {std::string("\x18") + "591100277773", " 249,00", "  "}},
        {"no EAN, no price (blank last character)", {.ean = "", .price = "   249   "}, {"", "       ", "  "}},
        {"a price with cents keeps them", {.price = "     1234"}, {"", "  12,34", "  "}},
        {"ten thousand and more: seven integer places", {.price = "  1000000"}, {"", "  10000", "  "}},
        {"a text offset shows the flag letter",
         {.price = "", .textOffset = 0, .letter = 'T'},
         {"", "       ", "T "}},
        {"CC -1 hides the flag letter",
         {.price = "", .textOffset = -1, .letter = 'T'},
         {"", "       ", "  "}},
    };
    for (const Case& c : cases) {
        const std::string row = GoodsRowText(GoodsRecord(c.fields));
        ASSERT_EQ(row.size(), kGoodsRowLength) << c.what;
        RowCells want = c.cells;
        want.ean.resize(13, ' ');
        const RowCells got = CellsOf(row);
        EXPECT_EQ(got.ean, want.ean) << c.what;
        EXPECT_EQ(got.price, want.price) << c.what;
        EXPECT_EQ(got.flags, want.flags) << c.what;
        EXPECT_EQ(row.substr(0, 11), c.fields.code + "300000") << c.what;
    }
}

class GoodsLists : public ListsOnDemoData {
protected:
    void SetUp() override
    {
        ListsOnDemoData::SetUp();
        LoadCodeTables(DataSetCode::Goods, 0);
        Config().Update([](ConfigValues& v) { v.KeySelectOption = 128; });
        previousSearch_ = SetGoodsTextSearch([this](TextSearchResult& out) {
            ++searches;
            out = fixedResult;
            return static_cast<int>(out.entries.size());
        });
    }
    void TearDown() override
    {
        SetGoodsTextSearch(std::move(previousSearch_));
        ListsOnDemoData::TearDown();
        LoadCodeTables();
    }

    // The goods records of the demo in the order of an index, with a test.
    static std::vector<std::string> GoodsWhere(const char* index,
                                               const std::function<bool(std::string_view)>& holds)
    {
        TDbTable t;
        OpenTable(t, TFileId("pfa"), TFileId(index), 0);
        std::vector<std::string> out;
        std::string rec;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, rec);
            if (holds(rec))
                out.emplace_back(FieldBytes(rec, kGoodsCode));
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        return out;
    }
    static std::vector<std::string> Codes(const TVyb* w) { return Column(w, 2, 5); }

    int searches = 0;
    TextSearchResult fixedResult;

private:
    GoodsTextSearch previousSearch_;
};

// Every row a list fetches in one direction from a start mode.
std::vector<std::string> Walk(ListSource& list, VybRec& rec, uint8_t startMode, uint8_t stepMode,
                              int limit = 200)
{
    std::vector<std::string> out;
    rec.FetchMode = startMode;
    for (int i = 0; i < limit; ++i) {
        TVybRow row;
        std::string text;
        list.Fetch(rec, row, text);
        if (row.Pos < 0)
            break;
        out.push_back(text.substr(1, 5));
        rec.Rows[1] = row;
        rec.RowCount = 1;
        rec.FetchMode = stepMode;
    }
    return out;
}

TEST_F(GoodsLists, FetchModesReachBothEndsOfTheIndex)
{
    GoodsList list('K');
    ASSERT_TRUE(list.CheckTables().empty());
    const std::vector<std::string> all = GoodsWhere("pfakod", [](std::string_view) { return true; });
    ASSERT_GE(all.size(), 40u);
    auto rec = std::make_unique<VybRec>();
    rec->Letter = 'K';
    rec->Options = 0;
    rec->Prefix = "";
    EXPECT_EQ(Walk(list, *rec, FetchModeCode::Seek, FetchModeCode::After), all);
    std::vector<std::string> back = Walk(list, *rec, FetchModeCode::Last, FetchModeCode::Before);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, all);
    // Before the first and after the last there is nothing.
    for (const auto& [mode, pos] : {std::pair{FetchModeCode::Before, 0},
                                    std::pair{FetchModeCode::After, static_cast<int>(all.size()) - 1}}) {
        rec->Rows[1].Pos = pos;
        rec->RowCount = 1;
        rec->FetchMode = mode;
        TVybRow row;
        std::string text;
        list.Fetch(*rec, row, text);
        EXPECT_EQ(row.Pos, -1) << int(mode);
    }
    // Strict "108": the range is the codes beginning with it; End shows the
    // last of them, the thumb past the range shows nothing.
    rec->Options = 0x80;
    rec->Prefix = "108";
    std::vector<std::string> strict;
    std::copy_if(all.begin(), all.end(), std::back_inserter(strict),
                 [](const std::string& c) { return c.rfind("108", 0) == 0; });
    ASSERT_FALSE(strict.empty());
    EXPECT_EQ(Walk(list, *rec, FetchModeCode::Seek, FetchModeCode::After), strict);
    EXPECT_EQ(rec->Count, static_cast<int32_t>(strict.size()));
    EXPECT_EQ(Walk(list, *rec, FetchModeCode::Last, FetchModeCode::After), (std::vector{strict.back()}));
    rec->TopPos = static_cast<int32_t>(strict.size());
    EXPECT_TRUE(Walk(list, *rec, FetchModeCode::AtTopPos, FetchModeCode::After).empty());
    rec->TopPos = 1;
    EXPECT_EQ(Walk(list, *rec, FetchModeCode::AtTopPos, FetchModeCode::After, 1), (std::vector{strict[1]}));
}

TEST_F(GoodsLists, CategoryListHoldsTheGoodsOfEveryCodeBeginningWithIt)
{
    // The demo's category entries by category and goods code.
    TDbTable t;
    OpenTable(t, TFileId("pfapk"), TFileId("pfapkkat"), 0);
    std::vector<std::string> expected;
    std::string rec;
    for (int32_t p = 0; p < t.LeafCount(); ++p) {
        ReadByOrder(t, p, rec);
        if (FieldByte(rec, kArticleCategory) == 'A')
            expected.emplace_back(FieldBytes(rec, kArticleGoods));
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    ASSERT_GE(expected.size(), 5u);

    GoodsList list('A');
    ASSERT_TRUE(list.CheckTables().empty());
    auto r = std::make_unique<VybRec>();
    r->Letter = 'A';
    r->Options = 0x80;
    r->Prefix = "A";
    EXPECT_EQ(Walk(list, *r, FetchModeCode::Seek, FetchModeCode::After), expected);
    EXPECT_EQ(r->Count, static_cast<int32_t>(expected.size()));
}

TEST_F(GoodsLists, NameListOffersSimilarSpellingsAndInnerWords)
{
    const std::string& words = CachedWordFile("pfanaz.slw");
    ASSERT_FALSE(words.empty());
    GoodsList list('N');
    ASSERT_TRUE(list.CheckTables().empty());
    struct Case {
        const char* typed;
        bool whisper;
        const char* word;      // a word row expected ("" none)
        const char* goodsName; // a goods row expected by its name's start ("" none)
    };
    const Case cases[] = {
        {"COENZ", true, "KOENZYM Q10 60 MG", ""},     // C/K
        {"MATOVI", true, "MATOVY CAJ", ""},           // I/Y
        {"CAJ", false, "", "Heřmánkový čaj"},         // an inner word after a blank
        {"SPF", false, "", "Opalovací mléko SPF 30"}, // ... and not at the line start
    };
    for (const Case& c : cases) {
        auto rec = std::make_unique<VybRec>();
        rec->Letter = 'N';
        rec->Options = 0x80;
        rec->Whisper = c.whisper;
        rec->Prefix = c.typed;
        rec->FetchMode = FetchModeCode::Seek;
        std::vector<std::string> rows;
        for (int i = 0; i < 60; ++i) {
            TVybRow row;
            std::string text;
            list.Fetch(*rec, row, text);
            if (row.Pos < 0)
                break;
            rows.push_back(text);
            rec->Rows[1] = row;
            rec->RowCount = 1;
            rec->FetchMode = FetchModeCode::After;
        }
        EXPECT_TRUE(list.WalksOwnSet()) << c.typed;
        const auto has = [&](const std::string& head, char status, size_t at) {
            return std::any_of(rows.begin(), rows.end(), [&](const std::string& r) {
                return r[0] == status && r.compare(at, head.size(), head) == 0;
            });
        };
        if (*c.word != 0)
            EXPECT_TRUE(has(c.word, '%', 12)) << c.typed;
        if (*c.goodsName != 0)
            EXPECT_TRUE(has(Kam(c.goodsName), '\0', 12)) << c.typed;
    }
    // A common prefix (40 and more in range) runs nothing.
    auto rec = std::make_unique<VybRec>();
    rec->Letter = 'N';
    rec->Options = 0;
    rec->Whisper = true;
    rec->Prefix = "VITAMIN";
    TVybRow row;
    std::string text;
    rec->FetchMode = FetchModeCode::Seek;
    list.Fetch(*rec, row, text);
    EXPECT_FALSE(list.WalksOwnSet());
    EXPECT_EQ(text.substr(12, 7), "Vitamin");
}

TEST_F(GoodsLists, NoWordFileGivesNoSuggestions)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString& f : QDir(QEVW_DEMO_DATA_DIR).entryList(QStringList{"pfa*"}, QDir::Files))
        if (f != "pfanaz.slw")
            ASSERT_TRUE(QFile::copy(QString(QEVW_DEMO_DATA_DIR "/") + f, dir.filePath(f)));
    SetDataDir(dir.path().toStdString() + "/");
    GoodsList list('N');
    ASSERT_TRUE(list.CheckTables().empty());
    auto rec = std::make_unique<VybRec>();
    rec->Letter = 'N';
    rec->Options = 0x80;
    rec->Whisper = true;
    rec->Prefix = "CAJ";
    rec->FetchMode = FetchModeCode::Seek;
    TVybRow row;
    std::string text;
    list.Fetch(*rec, row, text);
    EXPECT_FALSE(list.WalksOwnSet());
    EXPECT_EQ(row.Pos, -1); // no name begins with it
}

TEST_F(GoodsLists, TextFoundListDecodesHitsAndWords)
{
    GoodsTextFoundList probe(TextSearchResult{});
    struct Case {
        uint32_t entry;
        int32_t record;
        uint8_t words;
    };
    // A record above 65,535 keeps its bits 16-18; every word mask.
    for (uint8_t mask = 0; mask < 32; ++mask) {
        const uint32_t e = text_search::ResultEntry(70000 + mask, mask);
        EXPECT_EQ(text_search::ResultRecord(e), 70000 + mask);
        EXPECT_EQ(text_search::ResultWords(e), mask);
    }
    TextSearchResult result;
    result.words.word = {"KREM", "SPF", "", "", ""};
    result.words.count = 2;
    const GoodsTextFoundList list(result);
    EXPECT_EQ(list.WordsOfMask(0), std::string(40, ' '));
    EXPECT_EQ(list.WordsOfMask(1), "KREM" + std::string(36, ' '));
    EXPECT_EQ(list.WordsOfMask(3), "KREM SPF" + std::string(32, ' '));
    EXPECT_EQ(list.WordsOfMask(2), "SPF" + std::string(37, ' '));

    // In a window: the hits in their order, the words at the end of the row.
    fixedResult.words = result.words;
    const int32_t first = liststest::RecordOfKey("pfa", "pfakod", "10044");
    const int32_t second = liststest::RecordOfKey("pfa", "pfakod", "10010");
    fixedResult.entries = {text_search::ResultEntry(first, 3), text_search::ResultEntry(second, 1)};
    TVyb* w = Open("XTP");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(Codes(w), (std::vector<std::string>{"10044", "10010"}));
    const std::vector<std::string> rows = RowTexts(w);
    EXPECT_EQ(rows[0].substr(201, 9), "KREM SPF ");
    EXPECT_EQ(w->Rec.StatusText, "KREM, SPF");
    EXPECT_EQ(w->Rec.IconCaption, "krem, sp");
    ShowLines(w, 6);
    liststest::SaveShot(host->grab().toImage(), "goods_text_found.png");

    // An empty result opens nothing.
    w->CloseWindow();
    Settle();
    fixedResult.entries.clear();
    EXPECT_EQ(Open("XTP"), nullptr);
    EXPECT_EQ(searches, 2);
}

TEST_F(GoodsLists, HeaderRowsOfAGoodsRecord)
{
    TDbTable t;
    OpenTable(t, TFileId("pfa"), TFileId("pfakod"), 0);
    std::string priced, unpriced;
    FindRecord(t, "10010", priced);
    FindRecord(t, "10843", unpriced);
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    const auto v = GoodsHeaderValues(priced);
    EXPECT_EQ(v[0].substr(0, 24), Kam("Pleťový krém s aloe vera"));
    EXPECT_EQ(v[3].substr(0, 10), Kam("Bělinka ko"));
    EXPECT_EQ(v[4].substr(0, 14), Kam("Česká republik"));
    EXPECT_EQ(v[6], "300000");
    EXPECT_EQ(v[8], "189.00");
    EXPECT_EQ(GoodsHeaderValues(unpriced)[8], "");
    const std::string row9 = GoodsHeaderRowText(priced, 9);
    EXPECT_EQ(row9[0], '\0');
    EXPECT_EQ(row9.substr(1, 15), "Cena           ");
    EXPECT_EQ(row9.substr(16), "189.00");
}

TEST_F(GoodsLists, HeaderFollowsItsListAndIgnoresEnter)
{
    TVyb* list = Open("PNA");
    ASSERT_NE(list, nullptr);
    Type(list, "PLE");
    Settle();
    ASSERT_GE(list->Rec.RowCount, 1);
    TVyb* header = Open("pMA");
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->Master, list);
    EXPECT_EQ(header->Rec.RowCount, kGoodsHeaderRows);
    EXPECT_EQ(header->Rec.Prefix, "10010");
    EXPECT_EQ(header->Rec.StatusText.substr(0, 30), Kam("10010 Pleťový krém s aloe vera"));
    liststest::SaveShot(host->grab().toImage(), "goods_header.png");

    // Another article chosen in the list: the header follows.
    Key(list, Qt::Key_Backspace);
    Key(list, Qt::Key_Backspace);
    Key(list, Qt::Key_Backspace);
    Type(list, "OPALOVACI M");
    Settle();
    Key(list, Qt::Key_Return);
    Settle();
    EXPECT_EQ(header->Rec.Prefix, "10044");
    // A drug list fetching in between changes nothing.
    TVyb* drugs = Open("DNA");
    ASSERT_NE(drugs, nullptr);
    header->SendAction(ActionCode::RefillInPlace);
    Settle();
    EXPECT_EQ(header->Rec.Prefix, "10044");
    EXPECT_EQ(header->Rec.Rows[1].Text.View().substr(16, 6), Kam("Opalov"));
    // Enter and a click in the header do nothing.
    const size_t windows = AllDataForms().size();
    header->SendAction(ActionCode::Enter);
    header->SendAction(ActionCode::RowClicked);
    Settle();
    EXPECT_EQ(AllDataForms().size(), windows);
    EXPECT_EQ(header->Rec.Prefix, "10044");
    // It closes with its list.
    list->CloseWindow();
    Settle();
    Settle();
    for (TDataForm* f : AllDataForms())
        EXPECT_NE(f, static_cast<TDataForm*>(header));
}

TEST_F(GoodsLists, MissingGoodsTableOpensNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetDataDir(dir.path().toStdString() + "/");
    EXPECT_EQ(Open("PNA"), nullptr);
    EXPECT_EQ(Open("pMA"), nullptr);
    const std::vector<std::string> m = Messages();
    EXPECT_TRUE(std::find(m.begin(), m.end(), ProgramText("Chyby", "NoData")) != m.end());
}

} // namespace
