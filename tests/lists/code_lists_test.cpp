// The code lists of the drug lists (indication groups, countries, holders)
// on the demo data: their rows, the order typed text chooses, the hidden
// countries, the English tables and a missing table.

#include <functional>
#include <memory>

#include "datastore/table_layouts.h"
#include "tests/lists/code_list_fixture.h"

namespace {

using codelisttest::ListsOnDemoData;
using codelisttest::Settle;

// Every row a list fetches from its start to its end, as its fetch
// callback delivers them.
std::vector<std::string> AllRows(CodeList& list, char letter)
{
    auto rec = std::make_unique<VybRec>();
    rec->Letter = letter;
    rec->FetchMode = FetchModeCode::Seek;
    std::vector<std::string> out;
    for (;;) {
        TVybRow row;
        std::string text;
        list.Fetch(*rec, row, text);
        if (row.Pos < 0 || out.size() > 10000)
            break;
        out.push_back(text);
        rec->Rows[1] = row;
        rec->RowCount = 1;
        rec->FetchMode = FetchModeCode::After;
    }
    return out;
}

bool AnyRowStartsWith(const std::vector<std::string>& rows, const std::string& head)
{
    for (const std::string& r : rows)
        if (r.compare(1, head.size(), head) == 0)
            return true;
    return false;
}

TEST(CodeListOrder, TypedTextChoosesTheIndex)
{
    struct Case {
        const CodeListSpec* spec;
        const char* typed;
        char letter;
    };
    const Case cases[] = {
        {&kIndicationGroupList, "", 'C'},
        {&kIndicationGroupList, "9", 'C'},
        {&kIndicationGroupList, "93", 'C'},
        {&kIndicationGroupList, "A", 'N'},
        {&kIndicationGroupList, "ANTI", 'N'},
        {&kIndicationGroupList, "1A", 'C'},
        {&kCountryList, "CZE", 'C'},
        {&kCountryList, "CZEC", 'N'},
        {&kCountryList, "", 'C'},
        {&kHolderList, "DALSK", 'N'},
        {&kHolderList, "DAL", 'C'},
    };
    for (const Case& c : cases) {
        const CodeList list(*c.spec);
        EXPECT_EQ(list.LetterFor(c.typed), c.letter) << c.spec->handlerName << " \"" << c.typed << '"';
    }
}

TEST_F(ListsOnDemoData, CodeListRowsHideFlaggedCountriesAndKeepHoldersByCountry)
{
    CodeList countries(kCountryList);
    for (char letter : {'C', 'N'}) {
        const std::vector<std::string> rows = AllRows(countries, letter);
        EXPECT_GT(rows.size(), 20u) << letter;
        EXPECT_FALSE(AnyRowStartsWith(rows, "YU ")) << letter; // its flag is set
        EXPECT_TRUE(AnyRowStartsWith(rows, "CZ  " + codelisttest::Kam("Česká republika"))) << letter;
    }

    CodeList holders(kHolderList);
    const std::vector<std::string> rows = AllRows(holders, 'C');
    EXPECT_TRUE(AnyRowStartsWith(rows, "DAL CZ  Dalmora s.r.o."));
    EXPECT_TRUE(AnyRowStartsWith(rows, "DAL SK  Dalmora Slovakia s.r.o."));
    EXPECT_TRUE(AnyRowStartsWith(rows, "ZAN *   "));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], '\0');
    EXPECT_EQ(rows[0].size(), 1u + 4 + 4 + 99);

    CodeList groups(kIndicationGroupList);
    const std::vector<std::string> byCode = AllRows(groups, 'C');
    ASSERT_GE(byCode.size(), 2u);
    EXPECT_EQ(byCode.front().substr(1, 3), "07 ");
    EXPECT_EQ(byCode.back().substr(1, 3), "99 ");
    EXPECT_EQ(AllRows(groups, 'N').size(), byCode.size());
}

TEST_F(ListsOnDemoData, CodeListTypingSwitchesTheOrderAsTheTableSays)
{
    TVyb* countries = Open("VCA");
    ASSERT_NE(countries, nullptr);
    EXPECT_EQ(countries->Rec.Letter, 'C');
    Type(countries, "CZE");
    EXPECT_EQ(countries->Rec.Letter, 'C');
    Type(countries, "C");
    EXPECT_EQ(countries->Rec.Letter, 'N');
    ASSERT_GE(countries->Rec.RowCount, 1);
    Key(countries, Qt::Key_Backspace);
    Key(countries, Qt::Key_Backspace);
    EXPECT_EQ(countries->Rec.Letter, 'C');
    EXPECT_EQ(Column(countries, 2, 3)[countries->Rec.CurRow - 1], "CZ");

    TVyb* groups = Open("VIA");
    ASSERT_NE(groups, nullptr);
    Type(groups, "5");
    EXPECT_EQ(groups->Rec.Letter, 'C');
    EXPECT_EQ(Column(groups, 2, 2)[groups->Rec.CurRow - 1], "50");
    Key(groups, Qt::Key_Backspace);
    Type(groups, "HOR");
    EXPECT_EQ(groups->Rec.Letter, 'N');
    EXPECT_EQ(Column(groups, 5, 7)[groups->Rec.CurRow - 1], "Hormony");

    // Tab switches the order of the indication groups only with nothing
    // typed, of the countries and holders while at most three characters are.
    Key(groups, Qt::Key_Tab);
    EXPECT_EQ(groups->Rec.Letter, 'N');
    while (!groups->Rec.Prefix.empty())
        Key(groups, Qt::Key_Backspace);
    EXPECT_EQ(groups->Rec.Letter, 'C');
    Key(groups, Qt::Key_Tab);
    EXPECT_EQ(groups->Rec.Letter, 'N');

    TVyb* holders = Open("VHA");
    ASSERT_NE(holders, nullptr);
    Type(holders, "DAL");
    Key(holders, Qt::Key_Tab);
    EXPECT_EQ(holders->Rec.Letter, 'N');
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(ListsOnDemoData, CodeListsRaiseAnOpenWindowAndShowTheirTexts)
{
    TVyb* first = Open("VHA");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Title, LookupText(UiTexts, "VybPom", "nd"));
    EXPECT_EQ(first->LinkKinds[1], LinkKind::Holder);
    ShowLines(first, 12);
    liststest::SaveShot(host->grab().toImage(), "code_list_holders.png");
    ExecuteCommand(host, KindOf("VHA"), 0);
    Settle();
    EXPECT_EQ(ListOf("VHA"), first);
    int windows = 0;
    for (TDataForm* f : AllDataForms())
        windows += dynamic_cast<TVyb*>(f) != nullptr;
    EXPECT_EQ(windows, 1);

    TVyb* countries = Open("VCA");
    ASSERT_NE(countries, nullptr);
    ShowLines(countries, 12);
    liststest::SaveShot(host->grab().toImage(), "code_list_countries.png");
    TVyb* groups = Open("VIA");
    ASSERT_NE(groups, nullptr);
    ShowLines(groups, 12);
    liststest::SaveShot(host->grab().toImage(), "code_list_indication_groups.png");

    // The heading hints and the shared buttons.
    std::string out;
    for (int column = 0; column < 2; ++column) {
        const std::string hint =
            CodeList(kIndicationGroupList)
                .Info(InfoKind::HeadingHint, static_cast<uint8_t>(column), TVybRow{}, "");
        EXPECT_EQ(hint, LookupText(UiTexts, "VybPom", "vi" + std::to_string(column)));
    }
    out = CodeList(kCountryList).Info(InfoKind::CellHint, 1, TVybRow{}, "Rakousko");
    EXPECT_EQ(out, "Rakousko");
    out = CodeList(kCountryList).Info(InfoKind::Control, 0, TVybRow{}, " ");
    EXPECT_EQ(out, "");
    out = CodeList(kCountryList).Info(InfoKind::Control, 1, TVybRow{}, "?");
    EXPECT_EQ(out, LookupText(UiTexts, "Cudl", "hlp"));
}

TEST_F(ListsOnDemoData, CodeListEnglishTablesFollowTheLanguage)
{
    Config().Update([](ConfigValues& v) { v.LanguageIndex = 1; });
    TVyb* countries = Open("VCA");
    ASSERT_NE(countries, nullptr);
    Type(countries, "DE");
    EXPECT_EQ(Column(countries, 2, 11)[countries->Rec.CurRow - 1], "DE  Germany");
    TVyb* groups = Open("VIA");
    ASSERT_NE(groups, nullptr);
    Type(groups, "31");
    EXPECT_EQ(Column(groups, 2, 24)[groups->Rec.CurRow - 1], "31 Lipid lowering agents");

    // Back in Czech the same window reads the Czech table at its next fetch.
    Config().Update([](ConfigValues& v) { v.LanguageIndex = 0; });
    Key(groups, Qt::Key_Backspace);
    Type(groups, "1");
    EXPECT_EQ(Column(groups, 2, 17)[groups->Rec.CurRow - 1], "31 Hypolipidemika");
}

TEST_F(ListsOnDemoData, CodeListEnterOpensTheDrugsOfTheRowAndTheListFollows)
{
    struct Case {
        const char* list;
        const char* typed;
        const char* drugs; // the restricted drug list
        std::function<bool(std::string_view)> holds;
        bool human; // the list keeps drugs for people only (indication groups)
    };
    const Case cases[] = {
        {"VCA", "DE", "DCN", [](std::string_view r) { return FieldBytes(r, kDrugHolderCountry) == "DE "; },
         false},
        {"VHA", "KRT", "DHD",
         [](std::string_view r) {
             return FieldBytes(r, kDrugHolder) == "KRT" && FieldBytes(r, kDrugHolderCountry) == "DE ";
         },
         false},
        {"VIA", "18", "DIG", [](std::string_view r) { return FieldBytes(r, kDrugIndicationGroup) == "18"; },
         true},
    };
    for (const Case& c : cases) {
        TVyb* list = Open(c.list);
        ASSERT_NE(list, nullptr) << c.list;
        Type(list, c.typed);
        list->SendAction(ActionCode::Enter);
        Settle();
        TVyb* drugs = ListOf(c.drugs);
        ASSERT_NE(drugs, nullptr) << c.list;
        EXPECT_EQ(drugs->Master.get(), list) << c.list;
        ShowLines(drugs, 30);
        const std::vector<std::string> expected = DrugsWhere(c.holds, c.human);
        EXPECT_FALSE(expected.empty()) << c.list;
        EXPECT_TRUE(HoldsExactly(drugs, expected)) << c.list;
    }

    // A holder code used in two countries: the pair names the holder.
    TVyb* holders = ListOf("VHA");
    host->area->setActiveSubWindow(holders->SubWindow());
    while (!holders->Rec.Prefix.empty())
        Key(holders, Qt::Key_Backspace);
    Type(holders, "DAL");
    ASSERT_EQ(Column(holders, 2, 7)[holders->Rec.CurRow - 1], "DAL CZ");
    holders->SendAction(ActionCode::Enter);
    Settle();
    TVyb* drugs = ListOf("DHD");
    const std::vector<std::string> czech = DrugsWhere(
        [](std::string_view r) {
            return FieldBytes(r, kDrugHolder) == "DAL" && FieldBytes(r, kDrugHolderCountry) == "CZ ";
        },
        false);
    EXPECT_FALSE(czech.empty());
    EXPECT_TRUE(HoldsExactly(drugs, czech));
    Key(holders, Qt::Key_Down);
    ASSERT_EQ(Column(holders, 2, 7)[holders->Rec.CurRow - 1], "DAL SK");
    holders->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(ListOf("DHD"), drugs);
    EXPECT_EQ(drugs->Rec.RowCount, 0);
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(ListsOnDemoData, CodeListAMissingTableSaysNoDataAndOpensNothing)
{
    SetDataDir(QEVW_FIXTURES_DIR "/");
    for (const char* code : {"VIA", "VCA", "VHA"})
        EXPECT_EQ(Open(code), nullptr) << code;
    const std::string noData = LookupText(UiTexts, "Chyby", "NoData");
    EXPECT_EQ(Messages(), (std::vector<std::string>{noData, noData, noData}));
    int windows = 0;
    for (TDataForm* f : AllDataForms())
        windows += dynamic_cast<TVyb*>(f) != nullptr;
    EXPECT_EQ(windows, 0);
}

} // namespace
