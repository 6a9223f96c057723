// The drug lists on the demo data: the openers by command code, the rows and
// counts of each list letter, the filter word against the signs, the EAN and
// registration lists, the restricted lists under a master, the hints, and a
// damaged or incomplete data folder.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <filesystem>
#include <set>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/key_index.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/entry_points.h"
#include "lists/drugs/drug_lists.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/search/similar_search.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/ascii.h"
#include "platform/message_sink.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/text_tables.h"

namespace {

namespace fs = std::filesystem;
using liststest::Kam;
using liststest::Settle;

// A window offering one value under one link kind, as the code lists do.
class OfferingMaster : public dftest::ProbeWindow {
public:
    OfferingMaster(const char* kind, LinkKind linkKind, int32_t value) : ProbeWindow(KindOf(kind), "master")
    {
        LinkKinds = {LinkKind::None, linkKind, LinkKind::None};
        LinkValues = {0, value, 0};
    }
};

// All drug records of the demo table, with their record numbers.
struct Drug {
    int32_t recNo;
    std::string record;
};
std::vector<Drug> AllDrugs()
{
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId("klkod"), 0);
    std::vector<Drug> out;
    std::string rec;
    for (int32_t r = 1; r < t.dat.count; ++r) {
        ReadRecord(t.dat, r, rec);
        out.push_back({r, rec});
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    DbStatus = 0;
    return out;
}

// A loaded drug sign set by name.
TBits SignOf(const char* name)
{
    const int at = SignSets().Find("kl", name);
    return at < 0 ? TBits() : SignSets().Copy(static_cast<size_t>(at)).bits;
}

class DrugLists : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        liststest::PrepareDrugLists();
    }
    void TearDown() override
    {
        OpenTable(MainTable, TFileId(), TFileId(), 0);
        DemoListsTest::TearDown();
        DbStatus = 0;
    }

    TVyb* Open(const char* code, const std::string& prefix = {})
    {
        OpenDrugList(KindOf(code), prefix);
        Settle();
        TVyb* w = ListOf(code);
        if (w != nullptr && w->SubWindow() != nullptr) {
            w->SubWindow()->setGeometry(0, 0, 900, 400);
            Settle();
        }
        return w;
    }

    void Type(TVyb* w, const char* text)
    {
        QTest::keyClicks(w->Edt, text);
        Settle();
    }

    // Every row the fetch callback gives from the start, walking forwards.
    static std::vector<TVybRow> Walk(VybRec rec, ListSource&& list, size_t limit = 2000)
    {
        std::vector<TVybRow> rows;
        rec.FetchMode = FetchModeCode::Seek;
        for (;;) {
            TVybRow row;
            std::string text;
            list.Fetch(rec, row, text);
            if (row.Pos == -1 || rows.size() >= limit)
                return rows;
            row.Text = text;
            rows.push_back(row);
            rec.Rows[1] = row;
            rec.RowCount = 1;
            rec.FetchMode = FetchModeCode::After;
        }
    }

    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> out;
        for (const MessageRequest& r : sink.Requests())
            out.push_back(r.text.toStdString());
        return out;
    }
};

// Each full list by its code: the typed prefix, the first rows and Count,
// against what the drug table itself holds.
TEST_F(DrugLists, FullListsShowTheirIndexFromTheTypedPrefix)
{
    const std::vector<Drug> drugs = AllDrugs();
    const TBits listed = SignOf("Act_Old");
    auto count = [&](auto&& matches) {
        int n = 0;
        for (const Drug& d : drugs)
            if (BitTest(listed, d.recNo - 1) && matches(d.record))
                ++n;
        return n;
    };
    struct Case {
        const char* code;
        const char* typed;
        size_t at; // where the typed text stands in a row
        int count;
    };
    const Case cases[] = {
        {"DCA", "00001", 1,
         count([](const std::string& r) { return FieldBytes(r, kDrugCode).substr(0, 5) == "00001"; })},
        {"DNA", "para", 8, count([](const std::string& r) {
             return KamFoldUpper(FieldBytes(r, kDrugName)).rfind("PARA", 0) == 0;
         })},
        {"DNA", "ibup", 8, count([](const std::string& r) {
             return KamFoldUpper(FieldBytes(r, kDrugName)).rfind("IBUP", 0) == 0;
         })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.typed);
        ASSERT_GT(c.count, 0);
        TVyb* w = Open(c.code);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->Rec.Strict());
        Type(w, c.typed);
        EXPECT_EQ(w->Rec.Count, c.count);
        const std::vector<std::string> rows = RowTexts(w);
        ASSERT_EQ(rows.size(), static_cast<size_t>(std::min(c.count, static_cast<int>(w->Rec.GridRows))));
        const std::string typed = KamFoldUpper(c.typed);
        for (const std::string& row : rows)
            EXPECT_EQ(KamFoldUpper(row.substr(c.at, typed.size())), typed) << row;
        delete w;
        Settle();
    }
}

// The registration lists: R starts at the national numbers ("="), U walks
// the EU numbers (digits) only, each with its caption text.
TEST_F(DrugLists, RegistrationListsKeepTheirSideOfTheIndex)
{
    TVyb* r = Open("DRA", "12");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Rec.Prefix, "=");
    EXPECT_EQ(r->Rec.StatusText, "  /    /  - /");
    std::vector<std::string> rows = RowTexts(r);
    ASSERT_FALSE(rows.empty());

    TVyb* u = Open("DRE");
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(u->Rec.StatusText, "EU/ /  /    /");
    VybRec rec = u->Rec;
    const std::vector<TVybRow> all = Walk(rec, EuRegList());
    ASSERT_FALSE(all.empty());
    // Every EU-registered listed drug, none of the national ones.
    std::set<int32_t> expected;
    const TBits listed = SignOf("Act_Old");
    for (const Drug& d : AllDrugs()) {
        const char first = FieldBytes(d.record, kDrugRegistrationNumber)[0];
        if (first >= '0' && first <= '9' && BitTest(listed, d.recNo - 1))
            expected.insert(d.recNo);
    }
    std::set<int32_t> shown;
    for (const TVybRow& row : all)
        shown.insert(row.Offer1);
    EXPECT_EQ(shown, expected);
}

// The name list written to a CSV file: every row of the typed range, also
// those beyond the cached rows, or only the marked ones.
TEST_F(DrugLists, ExportWritesEveryRowOfTheList)
{
    TVyb* w = Open("DNA");
    ASSERT_NE(w, nullptr);
    w->SubWindow()->setGeometry(0, 0, 900, 160); // fewer rows on screen than in the range
    Settle();
    Type(w, "i");
    ASSERT_GT(w->Rec.Count, w->Rec.RowCount);
    const std::string path = testing::TempDir() + "drug_list_export.csv";
    ASSERT_TRUE(ExportDataWindow(w, path));
    auto lines = [&path] {
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::ReadOnly);
        std::vector<std::string> out;
        for (const QByteArray& l : f.readAll().split('\n'))
            if (!l.trimmed().isEmpty())
                out.push_back(l.toStdString());
        return out;
    };
    std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), static_cast<size_t>(w->Rec.Count) + 1);
    // Each row: the code, then the name of the typed range.
    for (size_t i = 1; i < written.size(); ++i) {
        ASSERT_GT(written[i].size(), 9u);
        EXPECT_EQ(written[i][7], ';') << written[i];
        EXPECT_EQ(written[i][8] & ~0x20, 'I') << written[i];
    }

    // A marked range past the rows on screen.
    const int32_t first = w->Rec.Rows[2].Pos;
    w->MarkFirst = first;
    w->MarkLast = first + 5;
    ASSERT_TRUE(ExportDataWindow(w, path));
    written = lines();
    int inRange = 0;
    for (int32_t p = first; p <= first + 5; ++p)
        inRange += BitTest(static_cast<const DrugList*>(w->Source())->Hits(), p) ? 1 : 0;
    EXPECT_EQ(written.size(), static_cast<size_t>(inRange) + 1);
    fs::remove(path);
}

// The D and S popups of the name list filter its rows.
TEST_F(DrugLists, DrugAndHomeopathyPopupsFilterTheRows)
{
    struct Case {
        const char* typed;
        QToolButton* TVyb::*button;
        const char* item;
        uint16_t state;
    } const cases[] = {
        {"srdco", &TVyb::FnDrug, "D3", 0x80},    // without cancelled drugs
        {"arnika", &TVyb::FnSortim, "S1", 0x08}, // without homeopathics
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        TVyb* w = Open("DNA");
        ASSERT_NE(w, nullptr);
        Type(w, c.typed);
        ASSERT_GE(w->Rec.RowCount, 1);
        EXPECT_NE(w->Rec.Rows[1].Text.Status(), '"');
        QToolButton* button = w->*(c.button);
        ASSERT_TRUE(button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
        Settle();
        ASSERT_TRUE(w->Pop->isVisible());
        if (c.state == 0x80) {
            liststest::SaveShot(host->grab().toImage(), "drug_list_buttons.png");
            liststest::SaveShot(w->Pop->grab().toImage(), "drug_list_d_popup.png");
        }
        QAction* item = w->Pop->findChild<QAction*>(QString::fromLatin1(c.item));
        if (item == nullptr)
            for (QAction* a : w->Pop->actions())
                if (a->objectName() == QLatin1String(c.item))
                    item = a;
        ASSERT_NE(item, nullptr);
        item->trigger();
        w->Pop->hide();
        Settle();
        EXPECT_EQ(w->Rec.ButtonState, c.state);
        // The drugs are hidden now: their names are offered as ones the
        // filter hides.
        ASSERT_GE(w->Rec.RowCount, 1);
        for (int r = 1; r <= w->Rec.RowCount; ++r)
            EXPECT_EQ(w->Rec.Rows[static_cast<size_t>(r)].Text.Status(), '"');
        delete w;
        Settle();
    }
}

// The prefix rules of the code, R and U lists and the button commands.
TEST(DrugListCommand, RewritesCommandsAndPrefixes)
{
    liststest::EnsureApp();
    struct Case {
        const char* name;
        char letter;
        uint16_t command;
        uint16_t state;
        std::string prefix;
        uint16_t commandAfter;
        uint16_t stateAfter;
        std::string prefixAfter;
    };
    const uint16_t D0 = ('D' << 8) | '0', D3 = ('D' << 8) | '3';
    const uint16_t S1 = ('S' << 8) | '1', S2 = ('S' << 8) | '2';
    const Case cases[] = {
        {"1 on", 'N', 387, 0x0010, "", 297, 0x0110, ""},
        {"1 off", 'N', 387, 0x0110, "", 297, 0x0010, ""},
        {"U without a list", 'N', 388, 0, "", 0, 0, ""},
        {"D item 0", 'N', D0, 0x0002, "", 296, 0x0012, ""},
        {"D item 3 off", 'N', D3, 0x0080, "", 296, 0x0000, ""},
        {"S item 1", 'N', S1, 0x0010, "", 298, 0x0018, ""},
        {"S item 1 again", 'N', S1, 0x0018, "", 298, 0x0010, ""},
        {"S item 2 over 1", 'N', S2, 0x0118, "", 298, 0x0114, ""},
        {"K blank", 'K', 298, 0, "12 ", 298, 0, "120"},
        {"R letter", 'R', 298, 0, "=1x", 298, 0, "=1"},
        {"R blank at 4", 'R', 298, 0, "=12 ", 298, 0, "=12 "},
        {"R blank at 5", 'R', 298, 0, "=123 ", 298, 0, "=1230"},
        {"R empty", 'R', 298, 0, "", 298, 0, "="},
        {"R long", 'R', 298, 0, "=0712307AX", 298, 0, "=0712307A"},
        {"R long C", 'R', 298, 0, "=0712307AC", 298, 0, "=0712307AC"},
        {"U year 15", 'U', 298, 0, "1155", 298, 0, "115 5"},
        {"U year 15 first", 'U', 298, 0, "1151", 298, 0, "115 1"},
        {"U year 16", 'U', 298, 0, "1161", 298, 0, "1161"},
        {"U year 20", 'U', 298, 0, "1201", 298, 0, "1201"},
        {"U year 99", 'U', 298, 0, "1991", 298, 0, "199 1"},
        {"row click", 'K', 300, 0, "", 13, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VybRec rec;
        rec.Letter = c.letter;
        rec.ButtonState = c.state;
        rec.Prefix = c.prefix;
        EXPECT_EQ(ActionCodeOf(DrugList(c.letter).React(rec, ListActionOf(c.command))), c.commandAfter);
        EXPECT_EQ(rec.ButtonState, c.stateAfter);
        EXPECT_EQ(rec.Prefix, c.prefixAfter);
    }
}

// Enter on a suggested word types it; on a hidden word it clears the filter.
TEST(DrugListCommand, EnterOnWordRows)
{
    liststest::EnsureApp();
    VybRec rec;
    rec.Letter = 'N';
    rec.RowCount = 2;
    rec.CurRow = 1;
    std::string word = std::string(1, '"') + "similar" + "FUROSIX 40 MG ?";
    word.resize(255, ' ');
    rec.Rows[1].Aux = static_cast<int32_t>(kSimilarWordEntry | 5);
    rec.Rows[1].Text = word;
    rec.Rows[2].Aux = static_cast<int32_t>(kHiddenWordEntry | 5);
    rec.ButtonState = 0x82;
    DrugList list('N');
    EXPECT_EQ(list.React(rec, ListAction::Enter), ListAction::PrefixChanged);
    EXPECT_EQ(rec.Prefix, "FUROSIX 40 MG");
    EXPECT_EQ(rec.ButtonState, 0x82);

    rec.CurRow = 2;
    EXPECT_EQ(list.React(rec, ListAction::RowClicked), ListAction::Refill);
    EXPECT_EQ(rec.ButtonState, 0);

    // A record row of the same list is chosen as usual.
    rec.Rows[2].Aux = 17;
    EXPECT_EQ(list.React(rec, ListAction::Enter), ListAction::Enter);
}

// Each filter bit keeps exactly the drugs whose signs the data ties to it.
TEST_F(DrugLists, FilterBitsKeepTheDrugsOfTheirSigns)
{
    OpenTable(MainTable, TFileId("kl"), TFileId("klnaz"), 0);
    ASSERT_EQ(DbStatus, 0);
    const std::vector<Drug> drugs = AllDrugs();
    const TBits listed = SignOf("Act_Old");
    const auto list = SignListSnapshot();
    for (uint16_t bit : {0x000, 0x080, 0x008, 0x004, 0x002, 0x001, 0x010, 0x040, 0x020, 0x100}) {
        SCOPED_TRACE(bit);
        TBits hits;
        BuildDrugFilter(hits, bit, MainTable);
        int hidden = 0;
        for (int32_t pos = 0; pos < MainTable.LeafCount(); ++pos) {
            int32_t recNo = 0;
            IndexEntryRecNo(MainTable.sez, recNo, pos);
            const Drug& d = drugs[static_cast<size_t>(recNo - 1)];
            const bool expected = BitTest(listed, recNo - 1) && !RecordExcluded(d.record, recNo, bit);
            EXPECT_EQ(BitTest(hits, pos), expected)
                << GetFieldTrim(d.record, kDrugName.start, kDrugName.length);
            hidden += expected ? 0 : 1;
        }
        if (bit != 0) {
            EXPECT_GT(hidden, 0) << "the bit hides drugs of its own";
        }
    }
}

// The user list step: record r of the list's words is bit r - 1 of the
// records, and the U button names the list.
TEST_F(DrugLists, UserListKeepsItsDrugsAndNamesItself)
{
    UserFileHooks hooks = CurrentUserFileHooks();
    hooks.signListName = [] { return std::string("VIDUD"); };
    const UserFileHooks saved = SetUserFileHooks(hooks);
    LoadSignList();
    const auto list = SignListSnapshot();
    ASSERT_TRUE(list && list->active);

    OpenTable(MainTable, TFileId("kl"), TFileId("klkod"), 0);
    const TBits listed = SignOf("Act_Old");
    TBits hits;
    BuildDrugFilter(hits, 0x200, MainTable);
    std::string record;
    int kept = 0;
    for (int32_t pos = 0; pos < MainTable.LeafCount(); ++pos) {
        ReadByOrder(MainTable, pos, record);
        const int32_t r = MainTable.recNo;
        EXPECT_EQ(BitTest(hits, pos), BitTest(listed, r - 1) && SignListHas(*list, r))
            << GetField(record, kDrugCode.start, kDrugCode.length);
        kept += BitTest(hits, pos) ? 1 : 0;
    }
    EXPECT_GT(kept, 2);

    TVybRow block;
    block.Pos = 0x200;
    std::string hint, caption, state;
    hint = DrugList('N').Info(InfoKind::Control, 0, block, "U");
    caption = DrugList('N').Info(InfoKind::Control, 1, block, "U");
    state = DrugList('N').Info(InfoKind::Control, 2, block, "U");
    EXPECT_EQ(hint, LookupText(UiTexts, "Cudl", "usrSZP") + "\r" + LookupText(UiTexts, "Cudl", "usrtf"));
    EXPECT_EQ(caption, LookupText(UiTexts, "Cudl", "usr00"));
    EXPECT_EQ(state, "D");
    // A drug on the list says so in its code hint.
    int32_t onList = 0;
    for (int32_t r = 1; r < MainTable.dat.count && onList == 0; ++r)
        if (SignListHas(*list, r))
            onList = r;
    EXPECT_EQ(UserListHintLine(onList),
              "\r" + LookupText(UiTexts, "Cudl", "usr") + LookupText(UiTexts, "PozList", "SZP"));
    EXPECT_EQ(UserListHintLine(onList + 100000), "");

    VybRec rec;
    EXPECT_EQ(DrugList('N').React(rec, ListAction::ShiftF5), ListAction::Refill);
    EXPECT_EQ(rec.ButtonState, 0x200);

    SetUserFileHooks(saved);
    LoadSignList();
}

// A refill with the user-list filter on follows the sign list now in use,
// not the one the filter was first built with.
TEST_F(DrugLists, UserListFilterFollowsAReplacedSignList)
{
    UserFileHooks hooks = CurrentUserFileHooks();
    hooks.signListName = [] { return std::string("VIDUD"); };
    const UserFileHooks saved = SetUserFileHooks(hooks);
    LoadSignList();
    ASSERT_TRUE(SignListSnapshot()->active);

    TVyb* w = Open("DNA");
    ASSERT_NE(w, nullptr);
    const std::vector<std::string> all = RowTexts(w);
    w->SendAction(388);
    Settle();
    ASSERT_EQ(w->Rec.ButtonState & 0x200, 0x200);
    const std::vector<std::string> onList = RowTexts(w);
    ASSERT_NE(onList, all);

    // The list is given up: the same window refilled shows every drug again.
    hooks.signListName = [] { return std::string(); };
    SetUserFileHooks(hooks);
    LoadSignList();
    ASSERT_FALSE(SignListSnapshot() && SignListSnapshot()->active);
    w->SendAction(ActionCode::Refill);
    Settle();
    EXPECT_EQ(RowTexts(w), all);

    SetUserFileHooks(saved);
    LoadSignList();
}

// The EAN list: marked codes, the "97" series left out, a code without a
// drug, and a drug the filter excludes stepped over.
TEST_F(DrugLists, EanListMarksBadCodesAndStepsOverHiddenDrugs)
{
    TVyb* w = Open("DEA");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->LinkKinds[2], LinkKind::Drug);
    VybRec rec = w->Rec;
    rec.Prefix.clear();
    std::vector<TVybRow> rows = Walk(rec, EanList());
    ASSERT_GT(rows.size(), 100u);
    auto rowOf = [&](const std::string& ean) -> const TVybRow* {
        for (const TVybRow& r : rows) {
            if (r.Text.size() < 245)
                continue;
            std::string cell = r.Text.Str().substr(232, 13);
            cell[0] = static_cast<char>(cell[0] | 0x20); // a marked code is lowered by 32
            if (cell == ean)
                return &r;
        }
        return nullptr;
    };
    const TVybRow* wrong = rowOf("8594000000111");
    ASSERT_NE(wrong, nullptr);
    EXPECT_EQ(wrong->Text[232], '8' - 32);
    const TVybRow* twelve = rowOf("859412345670 ");
    ASSERT_NE(twelve, nullptr);
    EXPECT_EQ(twelve->Text[232], '8' - 32);
    const TVybRow* good = rowOf("8594000011316");
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->Text[232], '8');
    EXPECT_GT(good->Offer2, 0);
    EXPECT_EQ(rowOf("8597971234517"), nullptr);
    // The code without a drug.
    bool orphan = false;
    for (const TVybRow& r : rows)
        if (r.Text.Status() == 24) {
            orphan = true;
            EXPECT_EQ(r.Offer2, 0);
            EXPECT_EQ(r.Text.View().substr(1, 8), Kam("Přípravek").substr(0, 8));
        }
    EXPECT_TRUE(orphan);

    // Without cancelled drugs, their codes go too.
    rec.ButtonState = 0x80;
    const std::vector<TVybRow> current = Walk(rec, EanList());
    EXPECT_LT(current.size(), rows.size());
    const std::vector<Drug> drugs = AllDrugs();
    for (const TVybRow& r : current)
        if (r.Offer2 > 0) {
            EXPECT_FALSE(RecordExcluded(drugs[static_cast<size_t>(r.Offer2 - 1)].record, r.Offer2, 0x80));
        }
}

// A misspelt name offers the name it means; Enter types it.
TEST_F(DrugLists, NameListOffersSimilarSpellings)
{
    TVyb* w = Open("DNA");
    ASSERT_NE(w, nullptr);
    Type(w, "phurosix");
    ASSERT_EQ(w->Source()->WalksOwnSet(), true);
    std::vector<std::string> rows = RowTexts(w);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], '"');
    EXPECT_NE(rows[0].find("FUROSIX"), std::string::npos) << rows[0];
    liststest::SaveShot(host->grab().toImage(), "drug_list_suggestions.png");

    w->Rec.CurRow = 1;
    w->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(w->Rec.Prefix.substr(0, 7), "FUROSIX");
    EXPECT_EQ(w->Source()->WalksOwnSet(), false);
    rows = RowTexts(w);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(KamFoldUpper(rows[0].substr(8, 7)), "FUROSIX");
}

// A name whose drugs the filter hides is offered as such; Enter clears it.
TEST_F(DrugLists, HiddenNameClearsTheFilter)
{
    Config().Update([](ConfigValues& v) { v.FilterFlags = 0x80; });
    TVyb* w = Open("DNA");
    ASSERT_NE(w, nullptr);
    Type(w, "srdco");
    ASSERT_EQ(w->Source()->WalksOwnSet(), true);
    std::vector<std::string> rows = RowTexts(w);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NE(rows[0].find("SRDCOVIT"), std::string::npos);
    w->Rec.CurRow = 1;
    w->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(w->Rec.ButtonState, 0);
    rows = RowTexts(w);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0][0], '\x10'); // a cancelled drug, shown again
}

// The B list follows the drug it was opened from and closes with it.
TEST_F(DrugLists, SameAtcListFollowsItsMaster)
{
    TVyb* names = Open("DNA");
    ASSERT_NE(names, nullptr);
    Type(names, "ibuprofen");
    ASSERT_GE(names->Rec.RowCount, 1);
    names->SendAction(ActionCode::Enter);
    Settle();
    ExecuteCommand(names, KindOf("DBA"), 0);
    Settle();
    TVyb* b = ListOf("DBA");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Master.get(), names);
    EXPECT_EQ(b->Rec.Prefix, "M01AE01");
    for (const std::string& row : RowTexts(b))
        EXPECT_EQ(row.substr(167, 7), "M01AE01");

    // Another drug of another group: the list follows.
    for (int i = 0; i < 9; ++i)
        QTest::keyClick(names->Edt, Qt::Key_Backspace);
    Type(names, "warf");
    names->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(b->Rec.Prefix, "B01AA03");
    for (const std::string& row : RowTexts(b))
        EXPECT_EQ(row.substr(167, 7), "B01AA03");

    QPointer<QWidget> follower = b->Widget();
    delete names;
    Settle();
    EXPECT_TRUE(follower.isNull());
}

// A, C, H and I restricted to the value of a test master.
TEST_F(DrugLists, RestrictedListsShowTheDrugsOfTheirMastersValue)
{
    using liststest::RecordOfKey;
    struct Case {
        const char* code;
        LinkKind link;
        int32_t value;
        size_t at;
        std::string key;
    };
    const Case cases[] = {
        {"DAT", LinkKind::AtcGroup, RecordOfKey("atc", "atckod", "N02BE01"), 167, "N02BE01"},
        {"DCN", LinkKind::Country, RecordOfKey("zemv", "zemvkod", "CZ "), 160, "CZ "},
        {"DIG", LinkKind::IndicationGroup, RecordOfKey("isv", "isvkod", "07"), 165, "07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_GT(c.value, 0);
        auto* master = new OfferingMaster("VAT", c.link, c.value);
        master->Master = host;
        host->area->setActiveSubWindow(master->Show());
        Settle();
        OpenDrugSubList(KindOf(c.code), c.link);
        Settle();
        TVyb* w = ListOf(c.code);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Master.get(), master);
        const std::string key(TrimRightBlanks(c.key)); // the window trims what it types
        EXPECT_EQ(w->Rec.Prefix, key);
        EXPECT_EQ(w->Rec.StatusText.substr(0, key.size()), key);
        const std::vector<std::string> rows = RowTexts(w);
        ASSERT_FALSE(rows.empty());
        for (const std::string& row : rows)
            EXPECT_EQ(row.substr(c.at, c.key.size()), c.key) << row;
        delete master;
        Settle();
        EXPECT_EQ(ListOf(c.code), nullptr);
    }
}

// Every column's hint and heading hint on real rows: nothing missing.
TEST_F(DrugLists, HintsOfEveryColumnAreTexts)
{
    // Where each column of the split numbering stands in the row text.
    struct Place {
        size_t from, length;
    };
    const Place split[] = {{2, 7},   {9, 70},  {79, 24}, {103, 27}, {130, 22}, {152, 6},  {158, 3},
                           {161, 3}, {164, 1}, {165, 1}, {166, 2},  {168, 7},  {175, 26}, {201, 3},
                           {204, 4}, {208, 1}, {209, 3}, {212, 2},  {214, 3},  {217, 7},  {224, 9},
                           {233, 3}, {236, 1}, {237, 3}, {240, 6}};
    for (bool splitSet : {false, true}) {
        SCOPED_TRACE(splitSet ? "split" : "combined");
        Config().Update([splitSet](ConfigValues& v) { v.longDrugColumns = splitSet; });
        for (const char* typed : {"", "paracet", "diaz", "salv", "tlak"}) {
            TVyb* w = Open("DNA");
            ASSERT_NE(w, nullptr);
            Type(w, typed);
            for (int r = 1; r <= std::min<int>(w->Rec.RowCount, 6); ++r) {
                const TVybRow& row = w->Rec.Rows[static_cast<size_t>(r)];
                for (int col = 0; col < (splitSet ? 25 : 23); ++col) {
                    // The combined set has one details column for three.
                    const Place at =
                        !splitSet && col == 2 ? Place{79, 73} : split[!splitSet && col > 2 ? col + 2 : col];
                    std::string cell =
                        row.Text.Str().substr(std::min(row.Text.size(), at.from - 1), at.length);
                    while (!cell.empty() && cell.back() == ' ')
                        cell.pop_back();
                    std::string out;
                    out = DrugList('N').Info(InfoKind::CellHint, static_cast<uint8_t>(col), row, cell);
                    EXPECT_EQ(out.find("!!"), std::string::npos) << col << " [" << cell << "]: " << out;
                    out = DrugList('N').Info(InfoKind::HeadingHint, static_cast<uint8_t>(col), row, "");
                    EXPECT_EQ(out.find("!!"), std::string::npos) << col << ": " << out;
                    EXPECT_FALSE(out.empty());
                }
            }
            delete w;
            Settle();
        }
        std::string ob;
        ob = DrugList('N').Info(InfoKind::HeadingHint, splitSet ? 9 : 7, TVybRow{}, "");
        EXPECT_EQ(ob, LookupText(UiTexts, "VybLek", "v9"));
    }
}

// The form column's hint: the field, then its pieces in words.
TEST_F(DrugLists, FormHintTranslatesThePackedForm)
{
    Config().Update([](ConfigValues& v) { v.longDrugColumns = true; });
    TVybRow row;
    std::string text(245, ' ');
    text.replace(102, 27, "TBLFLM                     ");
    row.Text = text;
    std::string out;
    out = DrugList('N').Info(InfoKind::CellHint, 3, row, "TBLFLM");
    EXPECT_EQ(out, "TBLFLM\r(" + LookupText(DataTexts, "Lfor", "TBL") + LookupText(DataTexts, "Lbal", "FLM") +
                       ")");
    // A padded field finds its words as the trimmed one does.
    EXPECT_EQ(TranslateUnitText("TBL FLM                    "), TranslateUnitText("TBL FLM"));
    EXPECT_FALSE(TranslateUnitText("TBL FLM                    ").empty());
}

// Button texts: every letter the drug lists show has its texts.
TEST_F(DrugLists, ButtonTextsAndPopups)
{
    for (char letter : std::string("1DSMU")) {
        for (uint16_t state : {0x0000, 0x0018, 0x01F4, 0x0204}) {
            TVybRow block;
            block.Pos = state;
            for (uint8_t sub = 0; sub <= 3; ++sub) {
                std::string out;
                out = DrugList('N').Info(InfoKind::Control, sub, block, std::string(1, letter));
                EXPECT_EQ(out.find("!!"), std::string::npos) << letter << sub << " " << out;
            }
        }
    }
    TVybRow block;
    block.Pos = 0x50;
    std::string popup, state;
    popup = DrugList('N').Info(InfoKind::Control, 3, block, "D");
    EXPECT_EQ(std::count(popup.begin(), popup.end(), '|'), 4);
    EXPECT_EQ(std::count(popup.begin(), popup.end(), '^'), 2);
    state = DrugList('N').Info(InfoKind::Control, 2, block, "D");
    EXPECT_EQ(state, "D");
    block.Pos = 0x04;
    popup = DrugList('N').Info(InfoKind::Control, 3, block, "S");
    EXPECT_EQ(popup.substr(popup.find('|', popup.find('|') + 1) + 1, 1), "^");
    state = DrugList('N').Info(InfoKind::Control, 2, block, "S");
    EXPECT_EQ(state, "D");
}

// A broken data folder: one box for a damaged table, the sign box for a
// missing sign file, and no suggestions without the word file.
class DrugListsBroken : public DrugLists {
protected:
    void SetUp() override
    {
        DrugLists::SetUp();
        // A folder per test: the lists keep what they read of a folder.  Under a
        // scratch folder of this run, so that two runs of the suite at once never share it.
        folder = fs::path(scratch.path().toStdString()) /
                 (std::string("drug_lists_") + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        for (const auto& e : fs::directory_iterator(QEVW_DEMO_DATA_DIR))
            fs::copy(e.path(), folder / e.path().filename());
        SetDataDir(folder.string() + "/");
        ClearSignSets(SignSets(), 0, -1);
        // The data store's own report is the frame's; here only the list's box counts.
        ThreadDbErrorHook = +[](const TFileId&, int32_t, uint16_t) {};
    }
    void TearDown() override
    {
        ThreadDbErrorHook = nullptr;
        DrugLists::TearDown();
        ClearSignSets(SignSets(), 0, -1);
        fs::remove_all(folder);
    }
    QTemporaryDir scratch;
    fs::path folder;
};

TEST_F(DrugListsBroken, DamagedNameIndexGivesOneBox)
{
    fs::resize_file(folder / "klnaz.sez", 100);
    OpenDrugList(KindOf("DNA"));
    Settle();
    EXPECT_EQ(ListOf("DNA"), nullptr);
    const std::vector<std::string> boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(QString::fromStdString(boxes[0]).toStdString().find("!!"), std::string::npos);
}

TEST_F(DrugListsBroken, MissingSignFileGivesTheSignBox)
{
    fs::remove(folder / "kl.sgn");
    OpenDrugList(KindOf("DNA"));
    Settle();
    EXPECT_EQ(ListOf("DNA"), nullptr);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(sink.Requests()[0].text, KamToQString(LookupText(UiTexts, "Chyby", "ErrSgn")));
}

TEST_F(DrugListsBroken, MissingWordFileGivesAListWithoutSuggestions)
{
    fs::remove(folder / "klnaz.slw");
    TVyb* w = Open("DNA");
    ASSERT_NE(w, nullptr);
    Type(w, "phurosix");
    EXPECT_EQ(w->Source()->WalksOwnSet(), false);
    EXPECT_EQ(w->Rec.RowCount, 0);
    EXPECT_TRUE(Boxes().empty());
}

} // namespace
