// The compound search without widgets: the criteria tables, the menus and
// AddCondition of the condition model, the planner's estimates and plans,
// and the planner's hits against a naive scan of the demo set.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "datastore/db_status.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "frame/commands/kind_code.h"
#include "lists/conditions/condition_model.h"
#include "lists/conditions/condition_search.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/text_tables.h"

namespace {

// The demo folder, its data texts and the program's texts, for one test.
class DemoData : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildKamTables();
        saved_ = DataDir();
        SetDataDir(QEVW_DEMO_DATA_DIR "/");
        LoadCodeTables();
    }
    void TearDown() override { SetDataDir(saved_); }

    dftest::ScopedUiTexts ui{dftest::ProgramTable("ces")};
    test_support::ScopedTextTable data{DataTexts, [] {
                                           TextTablePtr t;
                                           LoadTextTable(t, QEVW_DEMO_DATA_DIR "/kalvo.ces");
                                           return t;
                                       }()};

    // An entry as the window stores it.
    static std::string Entry(int criterion, std::string_view value, int variant = 0)
    {
        return std::string(1, static_cast<char>(criterion * 3 + variant)) + std::string(value);
    }
    static ConditionSearchSettings Settings()
    {
        ConditionSearchSettings s;
        s.documentLetters = FlagLetters();
        return s;
    }

    // Every record of the table that passes every condition, tested one by
    // one without a plan.
    static std::vector<int32_t> NaiveScan(const std::vector<std::string>& entries, bool devices,
                                          const ConditionSearchSettings& settings)
    {
        ConditionPlan plan;
        int drive = 0;
        std::vector<PreparedCondition> prepared = PrepareConditions(entries, devices, settings, plan, drive);
        ConditionRecordTester tester(prepared, plan.kind, settings);
        EXPECT_TRUE(tester.Open());
        TDatFile dat;
        const uint16_t length = plan.kind == QueryKind::Devices      ? kPztLayout.Length()
                                : plan.kind == QueryKind::Substances ? kKkLayout.Length()
                                                                     : kKlLayout.Length();
        OpenDatFile(dat, DataDir(), TFileId(plan.table), length);
        EXPECT_EQ(DbStatus, 0);
        std::vector<int32_t> hits;
        std::string record;
        for (int32_t r = 1; r < dat.count; ++r) {
            ReadRecord(dat, r, record);
            if (tester.Passes(record, 0))
                hits.push_back(r);
        }
        DbStatus = 0;
        return hits;
    }

    // The drug codes of a list of drug records.
    static std::set<std::string> Codes(const std::vector<int32_t>& records)
    {
        TDatFile dat;
        OpenDatFile(dat, DataDir(), TFileId("kl"), kKlLayout.Length());
        std::set<std::string> out;
        std::string record;
        for (int32_t r : records) {
            ReadRecord(dat, r, record);
            out.insert(std::string(FieldBytes(record, kDrugCode)));
        }
        return out;
    }

private:
    std::string saved_;
};

// ---------------------------------------------------------------- model

TEST(ConditionCriteria, SourceLettersNameTheirSections)
{
    struct Case {
        bool devices;
        int criterion;
        const char* letters;
    };
    const Case cases[] = {
        {false, 9, "Inf"},  {false, 14, "Reg"}, {false, 15, "Ret"}, {false, 26, "Vyd"},
        {false, 28, "Inr"}, {false, 30, "Zvk"}, {true, 7, "TPr"},   {true, 8, "TUh"},
    };
    for (const Case& c : cases) {
        const auto rows = c.devices ? DeviceCriteria() : DrugCriteria();
        EXPECT_EQ(SourceLetters(rows[static_cast<size_t>(c.criterion - 1)].source, c.devices), c.letters)
            << c.criterion;
    }
    EXPECT_EQ(ChooserOf(DrugCriteria()[5]), ChooserKind::Atc);
    EXPECT_EQ(ChooserOf(DrugCriteria()[4]), ChooserKind::Holder);
    EXPECT_EQ(ChooserOf(DrugCriteria()[10]), ChooserKind::Substance);
    EXPECT_EQ(ChooserOf(DeviceCriteria()[4]), ChooserKind::Maker);
    EXPECT_EQ(ChooserOf(DrugCriteria()[0]), ChooserKind::None);
}

TEST(ConditionModelMenu, CodeMenuTakesItsSectionsTexts)
{
    BuildKamTables();
    test_support::ScopedTexts texts("[Inf]\n_=\n1=Má &kodex\n2=Nemá kodex\n3=\n[Podminka]\nQ01=Název\n",
                                    "[Vyd]\n__=výdej\nR_=na &předpis\nF_=\nV_=vyhrazené\n"
                                    "[VydZ]\n__=Vse\nR_=Rp\nV_=Vyh\n[Reg]\n_=stav\nR=registrovaný\n");
    ConditionModel model(false);
    EXPECT_EQ(model.Name(1), dftest::Kam("Název"));
    auto items = model.BuildCodeMenu(DrugCriteria()[25].source, 26);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].caption, "Vse " + dftest::Kam("výdej"));
    EXPECT_EQ(items[1].caption, "Rp " + dftest::Kam("na předpis"));
    EXPECT_EQ(items[2].caption, "Vyh " + dftest::Kam("vyhrazené"));
    EXPECT_EQ(model.Values()[static_cast<size_t>(items[1].valueIndex)], "R ");
    // The UI table's section gives the text alone; an empty text no item.
    auto info = model.BuildCodeMenu(DrugCriteria()[8].source, 9);
    ASSERT_EQ(info.size(), 2u);
    EXPECT_EQ(info[0].caption, dftest::Kam("Má kodex"));
    EXPECT_EQ(info[1].menuIndex, 1);
    // Other data sections: code, blank, text.
    auto reg = model.BuildCodeMenu(DrugCriteria()[13].source, 14);
    ASSERT_EQ(reg.size(), 2u);
    EXPECT_EQ(reg[1].caption, "R " + dftest::Kam("registrovaný"));
    EXPECT_EQ(model.Values()[static_cast<size_t>(reg[0].valueIndex)], " ");
}

TEST_F(DemoData, ConditionModelMenusHideTheOtherKindOnceAConditionExists)
{
    auto visible = [](const ConditionModel& m, int criterion) {
        for (const ConditionMenuItem& item : m.Menu())
            if (item.criterion == criterion)
                return item.visible;
        return false;
    };
    ConditionModel drugs(false);
    EXPECT_FALSE(drugs.Menu().back().visible);
    EXPECT_FALSE(drugs.Menu().back().enabled);
    EXPECT_EQ(drugs.Menu().back().criterion, 13);
    drugs.Choose(6);
    EXPECT_EQ(drugs.AddCondition("N02", {}), AddOutcome::Added);
    EXPECT_TRUE(drugs.Menu().back().visible && drugs.Menu().back().enabled);
    EXPECT_FALSE(visible(drugs, 12)); // the components' heading
    EXPECT_TRUE(visible(drugs, 1));

    ConditionModel substances(false);
    substances.Choose(29);
    EXPECT_EQ(substances.AddCondition("PARA", {}), AddOutcome::Added);
    EXPECT_TRUE(visible(substances, 12));
    for (int general : {1, 5, 6, 9, 11})
        EXPECT_FALSE(visible(substances, general)) << general;

    // The "Registrace >" submenu holds the state's values from the data.
    const ConditionMenuItem& registration = drugs.Menu()[6];
    ASSERT_EQ(registration.criterion, 7);
    ASSERT_FALSE(registration.children.empty());
    EXPECT_EQ(registration.children[0].criterion, 14);
    EXPECT_FALSE(registration.children[0].children.empty());
}

TEST_F(DemoData, ConditionModelAddConditionStoresWhatTheSearchReads)
{
    ConditionModel m(false);
    // National number typed through its mask: prefix, letter, number, year.
    m.Choose(16);
    m.AddCondition("07 12307", {});
    EXPECT_EQ(m.Entries().back(), Entry(16, "?07 12307"));
    // Date tests: the letter first, then all eight digits.
    m.Choose(28);
    EXPECT_EQ(m.AddCondition("A", {}), AddOutcome::AwaitsDate);
    EXPECT_EQ(m.AddCondition("2024013 ", {}), AddOutcome::Ignored);
    EXPECT_EQ(m.AddCondition("20240131", [] { return 7; }), AddOutcome::Added);
    EXPECT_EQ(m.AddCondition("H", {}), AddOutcome::AwaitsNumber);
    int asked = 0;
    EXPECT_EQ(m.AddCondition("5  ", [&] { return ++asked, 6; }), AddOutcome::Added);
    EXPECT_EQ(m.AddCondition("G", {}), AddOutcome::Added);
    EXPECT_EQ(asked, 1); // the question comes with the second value only
    std::vector<std::string> dates;
    for (const std::string& e : m.Entries())
        if (CriterionOfEntry(e) == 28)
            dates.push_back(e.substr(1));
    EXPECT_EQ(dates, (std::vector<std::string>{"A<2024/01/31", "G", "H@5"}));
    // A typed value is cut to 23 characters.
    m.Choose(1);
    m.AddCondition(std::string(24, 'X'), {});
    EXPECT_EQ(m.Entries().front(), Entry(1, std::string(23, 'X')));
    // Entries stay sorted by code and value.
    EXPECT_TRUE(std::is_sorted(m.Entries().begin(), m.Entries().end()));
}

TEST_F(DemoData, ConditionModelSecondValueAsksAlternativesOrAllRequired)
{
    struct Case {
        int answer;
        int variant;
        const char* joiner;
    };
    for (const Case c : {Case{6, 2, " & "}, Case{7, 1, ", "}, Case{2, 1, ", "}}) {
        ConditionModel m(false);
        m.Choose(11);
        m.AddCondition(" 2043", [] { return 6; });
        m.AddCondition(" 1001", [&] { return c.answer; });
        m.AddCondition(" 1002", [] { return 99; }); // a third takes the code without asking
        ASSERT_EQ(m.Count(), 3);
        for (const std::string& e : m.Entries())
            EXPECT_EQ(VariantOfEntry(e), c.variant) << c.answer;
        EXPECT_EQ(m.Grid()[0].values, std::string(" 1001") + c.joiner + " 1002" + c.joiner + " 2043");
    }
    // Plain fields never ask and stay alternatives.
    ConditionModel plain(false);
    plain.Choose(1);
    plain.AddCondition("PARA", [] { return 6; });
    plain.AddCondition("IBU", [] { return 6; });
    EXPECT_EQ(plain.Grid()[0].values, "IBU, PARA");
}

TEST_F(DemoData, ConditionModelKeepsThirtyAndShowsGridTexts)
{
    ConditionModel m(false);
    m.Choose(1);
    for (int i = 0; i < 31; ++i)
        m.AddCondition("N" + std::to_string(100 + i), {});
    EXPECT_EQ(m.Count(), 30);
    EXPECT_EQ(m.Grid().size(), 1u);

    ConditionModel g(false);
    g.Choose(28);
    g.AddCondition("A", {});
    g.AddCondition("20240131", [] { return 7; });
    g.AddCondition("G", [] { return 7; });
    g.Choose(26);
    g.AddCondition("R ", {});
    g.Choose(16);
    g.AddCondition("07 12307", {});
    const auto grid = g.Grid();
    ASSERT_EQ(grid.size(), 3u);
    const std::string letters = FlagLetters();
    EXPECT_EQ(grid[0].values, FormatCodeField17("=07 12307  "));
    EXPECT_EQ(grid[1].values, "Rp");
    EXPECT_EQ(grid[2].values,
              letters.substr(0, 1) + "<2024/01/31, " + letters.substr(0, 1) + "<" + letters.substr(3, 1));
}

TEST(ConditionChooserValue, RecordsGiveTheirCodes)
{
    std::string holder(kDrzvLayout.Length(), ' ');
    holder.replace(0, 3, "DAL");
    holder.replace(3, 3, "CZ ");
    EXPECT_EQ(ChooserValueOfRecord(ChooserKind::Holder, holder), "DALCZ ");
    holder[3] = '*';
    EXPECT_EQ(ChooserValueOfRecord(ChooserKind::Holder, holder), "DAL");
    std::string atc(kAtcLayout.Length(), ' ');
    atc.replace(0, 3, "N02");
    EXPECT_EQ(ChooserValueOfRecord(ChooserKind::Atc, atc), "N02");
}

// ---------------------------------------------------------------- engine

TEST(CondSearchEstimate, FollowsTheCostFormula)
{
    EXPECT_NEAR(ConditionEstimate(DrugCriteria()[0], 4), 40.39, 0.01);
    EXPECT_NEAR(ConditionEstimate(DrugCriteria()[10], 5), 0.0114, 0.0001);
}

TEST(CondSearchPackDate, PacksDaysSince1980AndClamps)
{
    struct Case {
        const char* value;
        std::string packed;
    };
    const Case cases[] = {
        {"A<2024/01/31", std::string("A\x1F\x42", 3)}, {"B>1980/01/01", std::string("B\x01\x00", 3)},
        {"A<1975/01/01", std::string("A\x00\x00", 3)}, {"F>2200/12/31", std::string("F\xFF\xFF", 3)},
        {"C<2024/13/40", std::string("C\x00\x42", 3)}, // month 13 read as 1, day 40 as 0
        {"H@5", std::string("H\x05\x00", 3)},          {"G", "G"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PackConditionDate(c.value), c.packed) << c.value;
}

TEST_F(DemoData, CondSearchPlansDriveByTheCheapestIndexedGroup)
{
    struct Case {
        std::vector<std::string> entries;
        const char* index;
        bool fullScan;
        std::vector<int> tested; // criteria in test order
    };
    const std::vector<Case> cases = {
        {{Entry(1, "PARA")}, "klnaz", false, {}},
        {{Entry(1, "PARA"), Entry(14, "R")}, "klnaz", false, {14}},
        {{Entry(6, "N02"), Entry(14, "R"), Entry(26, "R ")}, "klatc", false, {26, 14}},
        {{Entry(3, "TBL"), Entry(9, "K+")}, "klnaz", true, {3, 9}},
        {{Entry(1, "*CILLIN")}, "klnaz", true, {1}},
        {{Entry(1, "AMO*CILLIN"), Entry(6, "J01")}, "klatc", false, {1}},
        {{Entry(11, " 2043", 2), Entry(11, " 1001", 2)}, "klkod", false, {11}},
        {{Entry(5, "DALCZ "), Entry(5, "VLTCZ ")}, "kldrz", false, {}},
        {{Entry(16, "?07 12307")}, "klrc", false, {}},
        {{Entry(21, "0000113"), Entry(1, "PARA")}, "klkod", false, {1}},
        {{Entry(29, "PARA"), Entry(30, "O")}, "kknaz", false, {30}},
        {{Entry(28, "A<2024/01/31"), Entry(18, "B")}, "klnaz", true, {28, 18}},
    };
    for (const Case& c : cases) {
        ConditionPlan plan;
        int drive = 0;
        PrepareConditions(c.entries, false, Settings(), plan, drive);
        EXPECT_EQ(plan.driveIndex, c.index) << c.entries[0];
        EXPECT_EQ(plan.fullScan, c.fullScan) << c.entries[0];
        std::vector<int> tested;
        for (const auto& g : plan.tested)
            tested.push_back(g.criterion);
        EXPECT_EQ(tested, c.tested) << c.entries[0];
    }
    // The substance criteria search the substance table.
    ConditionPlan plan;
    int drive = 0;
    PrepareConditions({Entry(29, "PARA")}, false, Settings(), plan, drive);
    EXPECT_EQ(plan.kind, QueryKind::Substances);
    EXPECT_EQ(plan.table, "kk");
}

TEST_F(DemoData, CondSearchHitsEqualANaiveScan)
{
    const std::vector<std::vector<std::string>> sets = {
        {Entry(1, "PARA")},
        {Entry(1, "PARA"), Entry(14, "R")},
        {Entry(6, "N02"), Entry(14, "R"), Entry(26, "F ")},
        {Entry(1, "*AMOX"), Entry(1, "IBU")}, // a "*" alternative beside a plain one
        {Entry(1, "AMO*O")},                  // the suffix after the prefix
        {Entry(1, "*CILIN")},
        {Entry(11, " 2043", 2), Entry(11, " 1001", 2)}, // two components, both required
        {Entry(11, " 1001"), Entry(11, " 1002", 1)},
        {Entry(5, "DALCZ "), Entry(5, "HORSK ")}, // two holders with their countries
        {Entry(5, "DAL")},
        {Entry(16, "?07 12307"), Entry(16, "?05 84207")},
        {Entry(1, "PARACETAMOL "), Entry(11, " 1001")},
        {Entry(3, "TBL"), Entry(9, "K+")},
        {Entry(28, "A<2024/01/31"), Entry(18, "B")},
        {Entry(28, "G")},
        {Entry(9, "S-"), Entry(20, "A")},
        {Entry(29, "PARA")},
        {Entry(30, "O")},
    };
    for (const auto& entries : sets) {
        const ConditionSearchResult r = RunConditionSearch(entries, false, Settings());
        EXPECT_EQ(r.status, ConditionSearchStatus::Done) << entries[0];
        EXPECT_EQ(r.hits, NaiveScan(entries, false, Settings())) << entries[0];
    }
    const std::vector<std::vector<std::string>> devices = {
        {Entry(1, "OB")},   {Entry(4, "01"), Entry(5, "HRT")}, {Entry(4, "02"), Entry(6, "CZ ")},
        {Entry(3, "*GEL")}, {Entry(7, "P"), Entry(8, "U")},
    };
    for (const auto& entries : devices)
        EXPECT_EQ(RunConditionSearch(entries, true, Settings()).hits, NaiveScan(entries, true, Settings()))
            << entries[0];
}

TEST_F(DemoData, CondSearchRecordTestsFindTheDemoProducts)
{
    struct Case {
        std::vector<std::string> entries;
        std::set<std::string> codes;
    };
    const std::vector<Case> cases = {
        {{Entry(1, "PARALGEN")}, {"0000129", "0000131", "0000512", "0000515"}},
        {{Entry(1, "PARA"), Entry(5, "DALCZ ")}, {"0000129", "0000131", "0000512", "0000515"}},
        {{Entry(16, "?07 12307")},
         {"0000113", "0000114", "0000500", "0000503", "0000506", "0000509", "0000981"}},
        {{Entry(6, "N02BE"), Entry(14, "R"), Entry(5, "HOR")}, {"0000146"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Codes(RunConditionSearch(c.entries, false, Settings()).hits), c.codes) << c.entries[0];
}

TEST_F(DemoData, CondSearchStopsAtTheHitLimitAndOnCancel)
{
    const std::vector<int32_t> every =
        NaiveScan({Entry(14, "R"), Entry(14, "-"), Entry(14, "N")}, false, Settings());
    ASSERT_GT(every.size(), 6u);
    ConditionSearchSettings limited = Settings();
    limited.maxHits = 5;
    const std::vector<std::string> registered = {Entry(14, "R"), Entry(14, "-"), Entry(14, "N")};
    const ConditionSearchResult r = RunConditionSearch(registered, false, limited);
    EXPECT_EQ(r.status, ConditionSearchStatus::TooMany);
    EXPECT_EQ(r.hits, std::vector<int32_t>(every.begin(), every.begin() + 5));

    // A cancel after 40 tested records keeps what those gave.
    int tested = 0;
    ConditionSearchHooks hooks;
    hooks.cancelRequested = [&] { return ++tested >= 40; };
    const ConditionSearchResult c = RunConditionSearch(registered, false, Settings(), hooks);
    EXPECT_EQ(c.status, ConditionSearchStatus::Cancelled);
    EXPECT_EQ(c.plan.candidates, 40);
    std::vector<int32_t> firstForty;
    for (int32_t h : every)
        if (h <= 40)
            firstForty.push_back(h);
    EXPECT_EQ(c.hits, firstForty);
}

TEST_F(DemoData, CondSearchIgnoresListsFetchingDuringItsEventPasses)
{
    const std::vector<std::string> entries = {Entry(1, "P"), Entry(14, "R")};
    const auto quiet = RunConditionSearch(entries, false, Settings());
    ConditionSearchHooks hooks;
    int passes = 0;
    hooks.gauge = [&](int, bool) {
        ++passes;
        // What a list window does while the search runs an event pass.
        OpenTable(CodeTable, TFileId("kl"), TFileId("klnaz"), kKlLayout.Length());
        std::string record;
        FindRecord(CodeTable, "ZAL", record);
        DbStatus = 0;
    };
    ConditionSearchSettings s = Settings();
    const auto busy = RunConditionSearch(entries, false, s, hooks);
    EXPECT_EQ(busy.hits, quiet.hits);
    // A full scan moves the gauge.
    const auto scan = RunConditionSearch({Entry(3, "TBL")}, false, s, hooks);
    EXPECT_GT(passes, 0);
    EXPECT_EQ(scan.hits, NaiveScan({Entry(3, "TBL")}, false, s));
}

TEST_F(DemoData, CondSearchReportsAMissingTable)
{
    const std::string dir = testing::TempDir() + "cond_no_klc/";
    std::filesystem::create_directories(dir);
    for (const char* f : {"kl.dat", "klnaz.sez", "klkod.sez"})
        std::filesystem::copy_file(QEVW_DEMO_DATA_DIR "/" + std::string(f), dir + f,
                                   std::filesystem::copy_options::overwrite_existing);
    SetDataDir(dir);
    EXPECT_EQ(RunConditionSearch({Entry(11, " 1001")}, false, Settings()).status,
              ConditionSearchStatus::NoData);
    EXPECT_EQ(RunConditionSearch({Entry(18, "B")}, false, Settings()).status, ConditionSearchStatus::NoData);
    EXPECT_EQ(RunConditionSearch({Entry(1, "PARA")}, false, Settings()).status, ConditionSearchStatus::Done);
}

} // namespace
