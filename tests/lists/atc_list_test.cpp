// The ATC list on the demo data: flat and as a tree, the order typed text
// chooses, button E, the similar names of a rare prefix, the English table,
// and what a missing file does.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstring>

#include "datastore/table_layouts.h"
#include "frame/message_box.h"
#include "lists/codes/atc_list.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/search/similar_search.h"
#include "tests/lists/code_list_fixture.h"

namespace {

using codelisttest::ListsOnDemoData;
using codelisttest::Settle;

class AtcListWindow : public ListsOnDemoData {
protected:
    TVyb* OpenAtc(int lines = 20)
    {
        TVyb* w = Open("VAC");
        if (w != nullptr)
            ShowLines(w, lines);
        return w;
    }
    static void TreeOn(TVyb* w)
    {
        w->FnTreeClick();
        Settle();
    }
    // The codes of the shown rows.
    static std::vector<std::string> Codes(const TVyb* w) { return Column(w, 2, 7); }
    // The shown rows with their tree symbols ("N02  -"), as the tree tests
    // write them.
    static std::vector<std::string> Tree(const TVyb* w)
    {
        std::vector<std::string> out;
        for (const std::string& t : RowTexts(w)) {
            std::string code = t.substr(1, 7);
            while (!code.empty() && code.back() == ' ')
                code.pop_back();
            const size_t marker = t.find('\xFF');
            std::string column = marker == std::string::npos ? std::string() : t.substr(marker + 1);
            while (!column.empty() && column.back() == ' ')
                column.pop_back();
            out.push_back(column.empty() ? code : code + " " + column);
        }
        return out;
    }
    // The codes of the demo ATC table in key order.
    static std::vector<std::string> AllCodes()
    {
        TDbTable t;
        OpenTable(t, TFileId("atc"), TFileId("atckod"), 0);
        std::vector<std::string> out;
        std::string rec;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, rec);
            std::string code = GetFieldTrim(rec, kDrugCode.start, kDrugCode.length);
            out.push_back(code);
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        return out;
    }
};

using Rows = std::vector<std::string>;

TEST_F(AtcListWindow, OpensByCodeAndTheTreeStartsAtTheMainGroups)
{
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Rec.Letter, 'C');
    EXPECT_EQ(w->LinkKinds[1], LinkKind::AtcGroup);
    EXPECT_EQ(w->Title, LookupText(UiTexts, "VybPom", "na"));
    const std::vector<std::string> all = AllCodes();
    ASSERT_GE(all.size(), 20u);
    EXPECT_EQ(Codes(w), std::vector<std::string>(all.begin(), all.begin() + w->Rec.RowCount));
    EXPECT_EQ(w->Rec.Count, static_cast<int32_t>(all.size()));

    TreeOn(w);
    EXPECT_EQ(w->Rec.Letter, 'c');
    EXPECT_EQ(Tree(w), (Rows{"A +", "B +", "C +", "D +", "H +", "J +", "M +", "N +", "R +", "S +"}));
    // The scroll range counts the shown rows, not the table.
    EXPECT_EQ(w->Rec.Count, 10);

    // A code typed with the tree off shows its way down when the tree comes on.
    TreeOn(w);
    Type(w, "N02");
    EXPECT_EQ(w->Rec.Letter, 'C');
    TreeOn(w);
    EXPECT_EQ(Tree(w), (Rows{"N02  -", "N02A   +", "N02B   +"}));
    // A click on a tree symbol acts on its row: "+" opens, "-" closes.
    Key(w, Qt::Key_Down);
    w->SendAction('+');
    Settle();
    EXPECT_EQ(Tree(w), (Rows{"N02  -", "N02A   -", "N02AJ    +", "N02AX    +", "N02B   +"}));
    Key(w, Qt::Key_Up);
    w->SendAction('-');
    Settle();
    EXPECT_EQ(Tree(w), (Rows{"N02  +"}));
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(AtcListWindow, TreeKeysOpenCloseAndWalkTheTree)
{
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    TreeOn(w);
    struct Step {
        const char* what;
        std::function<void(TVyb*)> act;
        Rows shown;
        const char* prefix;
    };
    const auto type = [](const char* s) { return [s](TVyb* v) { Type(v, s); }; };
    const auto key = [](Qt::Key k) { return [k](TVyb* v) { Key(v, k); }; };
    const Step steps[] = {
        {"typing a main group shows its next level", type("N"), {"N -", "N02  +", "N05  +", "N06  +"}, "N"},
        {"Down, then Right enters the group",
         [](TVyb* v) {
             Key(v, Qt::Key_Down);
             Key(v, Qt::Key_Right);
         },
         {"N02  -", "N02A   +", "N02B   +"},
         "N02"},
        {"'=' on a four-character group opens it",
         [](TVyb* v) {
             Key(v, Qt::Key_Down);
             Type(v, "=");
         },
         {"N02  -", "N02A   -", "N02AJ    +", "N02AX    +", "N02B   +"},
         "N02"},
        {"'.' on a five-character group types it and shows its substances",
         [](TVyb* v) {
             Key(v, Qt::Key_Down);
             Type(v, ".");
         },
         {"N02AJ    -", "N02AJ13"},
         "N02AJ"},
        {"',' on a five-character group goes up to four",
         type(","),
         {"N02A   -", "N02AJ    -", "N02AJ13", "N02AX    +"},
         "N02A"},
        {"'_' hides the subtree of the current row", type("_"), {"N02A   +"}, "N02A"},
        {"Left goes to the three-character group and shows the next level below the row",
         key(Qt::Key_Left),
         {"N02  -", "N02A   -", "N02AJ    +", "N02AX    +", "N02B   +"},
         "N02"},
        {"Left again to the main group",
         key(Qt::Key_Left),
         {"N -", "N02  -", "N02A   -", "N02AJ    +", "N02AX    +", "N02B   +", "N05  +", "N06  +"},
         "N"},
        {"a typed code of seven characters shows the way down to it",
         [](TVyb* v) {
             Key(v, Qt::Key_Backspace);
             Type(v, "R05CB01");
         },
         {"R05CB01"},
         "R05CB01"},
    };
    for (const Step& s : steps) {
        s.act(w);
        Settle();
        EXPECT_EQ(Tree(w), s.shown) << s.what;
        EXPECT_EQ(w->Rec.Prefix, s.prefix) << s.what;
        EXPECT_EQ(w->Rec.Letter, 'c') << s.what;
        EXPECT_EQ(w->Rec.Count, static_cast<int32_t>(s.shown.size())) << s.what;
    }
    // The way down to the typed substance stays open above it.
    Key(w, Qt::Key_Backspace);
    for (int i = 0; i < 6; ++i)
        Key(w, Qt::Key_Backspace);
    Type(w, "R");
    // ("R0" found R01 on the way and opened it.)
    EXPECT_EQ(Tree(w), (Rows{"R -", "R01  -", "R01A   +", "R02  +", "R03  +", "R05  -", "R05C   -",
                             "R05CB    -", "R05CB01", "R05CB06", "R05D   +", "R06  +"}));
    liststest::SaveShot(host->grab().toImage(), "atc_tree.png");
}

TEST_F(AtcListWindow, TypedTextChoosesTheOrderInEveryLetter)
{
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    for (bool tree : {false, true}) {
        if (tree)
            TreeOn(w);
        const char code = tree ? 'c' : 'C';
        const char name = tree ? 'n' : 'N';
        Type(w, "A1");
        EXPECT_EQ(w->Rec.Letter, code);
        EXPECT_EQ(Codes(w).front(), "A10");
        Key(w, Qt::Key_Backspace);
        Type(w, "S");
        EXPECT_EQ(w->Rec.Letter, name) << "AS";
        Key(w, Qt::Key_Backspace);
        EXPECT_EQ(w->Rec.Letter, code);
        Key(w, Qt::Key_Backspace);
        Type(w, "K");
        EXPECT_EQ(w->Rec.Letter, name) << "K is no main group";
        Key(w, Qt::Key_Backspace);
        // In name order "A1" turns back to the codes.
        Type(w, "A1");
        EXPECT_EQ(w->Rec.Letter, code);
        Key(w, Qt::Key_Backspace);
        Key(w, Qt::Key_Backspace);
    }
    // Tab switches with at most one typed character.
    Type(w, "N");
    Key(w, Qt::Key_Tab);
    EXPECT_EQ(w->Rec.Letter, 'n');
    Key(w, Qt::Key_Tab);
    EXPECT_EQ(w->Rec.Letter, 'c');
}

TEST_F(AtcListWindow, ButtonEKeepsTheGroupsWithDrugsAndDeletingBackShowsWhatTheShorterPrefixShows)
{
    for (uint8_t uatc : {0, 1}) {
        Config().Update([uatc](ConfigValues& v) { v.AtcFilter = uatc; });
        TVyb* w = OpenAtc();
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->Rec.ButtonState, uatc);
        EXPECT_GT(w->Rec.RowCount, 0) << "UATC " << int(uatc);
        w->CloseWindow();
        Settle();
    }
    Config().Update([](ConfigValues& v) { v.AtcFilter = 0; });
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    Type(w, "A");
    const Rows alone = RowTexts(w);
    Type(w, "S");
    Key(w, Qt::Key_Backspace);
    EXPECT_EQ(RowTexts(w), alone);

    // Groups without a listed drug go with E, in both orders.
    const int32_t all = w->Rec.Count;
    w->FnExsDrg->click();
    Settle();
    EXPECT_TRUE(w->FnExsDrg->isChecked());
    EXPECT_EQ(w->Rec.ButtonState & 1, 1);
    EXPECT_EQ(w->Rec.Count, all - 1); // A02BC03 has no drug
    const Rows filtered = RowTexts(w);
    Type(w, "S");
    Key(w, Qt::Key_Backspace);
    EXPECT_EQ(RowTexts(w), filtered);
    Type(w, "02BC");
    EXPECT_EQ(Codes(w), (Rows{"A02BC", "A02BC01", "A02BC02", "A02BC05"}));
    w->SendAction(385);
    Settle();
    EXPECT_EQ(Codes(w), (Rows{"A02BC", "A02BC01", "A02BC02", "A02BC03", "A02BC05"}));
    EXPECT_EQ(AtcList(nullptr).Info(InfoKind::Control, 2, TVybRow{1, 0, 0, 0, {}}, "E"), "d");
    const std::string hint = AtcList(nullptr).Info(InfoKind::Control, 0, TVybRow{0, 0, 0, 0, {}}, "E");
    EXPECT_EQ(hint, LookupText(UiTexts, "Cudl", "exdt") + "\r" + LookupText(UiTexts, "Cudl", "exdt0"));
}

TEST_F(AtcListWindow, ARarePrefixOffersSimilarWordsAndEnterTypesOne)
{
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    Type(w, "DICL");
    EXPECT_EQ(w->Rec.Letter, 'N');
    ASSERT_GE(w->Rec.RowCount, 1);
    const TVybRow& first = w->Rec.Rows[1];
    EXPECT_NE(static_cast<uint32_t>(first.Offer1) & 0x40000000u, 0u);
    const std::string text = first.Text.Str();
    EXPECT_EQ(text.substr(0, 8), "%" + LookupText(UiTexts, "VybPom", "sMys"));
    EXPECT_EQ(text.substr(8, 14), "  DIKLOFENAK ?");
    EXPECT_EQ(AtcList::WordOfRow(text), "DIKLOFENAK");
    EXPECT_EQ(AtcList(nullptr).Info(InfoKind::CellHint, 2, first, ""),
              LookupText(UiTexts, "VybPom", "hMys") + "DIKLOFENAK");

    w->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(w->Rec.Prefix, "DIKLOFENAK");
    EXPECT_EQ(QStringToKam(w->Edt->text()), "DIKLOFENAK");
    EXPECT_EQ(Codes(w), (Rows{"M01AB05", "M02AA15"}));
    EXPECT_FALSE(w->Source()->WalksOwnSet());

    // An inner word brings the groups whose name holds it.
    Key(w, Qt::Key_Backspace);
    while (!w->Rec.Prefix.empty())
        Key(w, Qt::Key_Backspace);
    Type(w, "ACETYLSAL");
    const Rows codes = Codes(w);
    EXPECT_NE(std::find(codes.begin(), codes.end(), "B01AC06"), codes.end());
    EXPECT_NE(std::find(codes.begin(), codes.end(), "N02BA01"), codes.end());
}

TEST_F(AtcListWindow, EnglishTablesFollowTheLanguage)
{
    Config().Update([](ConfigValues& v) { v.LanguageIndex = 1; });
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Column(w, 11, 31).front(), "Alimentary tract and metabolism");
    Type(w, "OMEP");
    EXPECT_EQ(w->Rec.Letter, 'N');
    EXPECT_EQ(Column(w, 2, 7)[w->Rec.CurRow - 1], "A02BC01");
}

TEST_F(AtcListWindow, EnterOpensTheDrugsOfTheGroupAndTheListFollows)
{
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    TreeOn(w);
    Type(w, "C07AB");
    ASSERT_EQ(Codes(w), (Rows{"C07AB", "C07AB02", "C07AB07"}));
    w->SendAction(ActionCode::Enter);
    Settle();
    TVyb* drugs = ListOf("DAT");
    ASSERT_NE(drugs, nullptr);
    EXPECT_EQ(drugs->Master.get(), w);
    EXPECT_TRUE(drugs->Dependent);
    ShowLines(drugs, 30);
    const auto group = [](const char* code) {
        return [code](std::string_view r) {
            return FieldBytes(r, kDrugAtc).substr(0, std::strlen(code)) == code;
        };
    };
    const std::vector<std::string> all = DrugsWhere(group("C07AB"), true);
    const std::vector<std::string> one = DrugsWhere(group("C07AB02"), true);
    EXPECT_EQ(ShownDrugCodes(drugs), all);
    EXPECT_FALSE(one.empty());
    EXPECT_LT(one.size(), all.size());
    // Side by side for a person to look at: the tree down to the group and
    // its drugs.
    w->SubWindow()->setGeometry(0, 0, 520, 400);
    drugs->SubWindow()->setGeometry(520, 0, 480, 400);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "atc_list_and_drugs.png");

    // Enter on another group: the same window shows that group's drugs.
    host->area->setActiveSubWindow(w->SubWindow());
    Key(w, Qt::Key_Down);
    w->SendAction(ActionCode::Enter);
    Settle();
    EXPECT_EQ(ListOf("DAT"), drugs);
    EXPECT_EQ(ShownDrugCodes(drugs), one);
    EXPECT_TRUE(sink.Requests().empty());
}

// A data folder holding the demo's ATC files but one.
class AtcFolder {
public:
    explicit AtcFolder(const char* leaveOut)
    {
        const QDir demo(QStringLiteral(QEVW_DEMO_DATA_DIR));
        for (const char* f : {"atc.dat", "atckod.sez", "atcnaz.sez", "atc.sgn", "atcnaz.slw"})
            if (std::string(f) != leaveOut)
                QFile::copy(demo.filePath(QString::fromLatin1(f)),
                            QDir(dir_.path()).filePath(QString::fromLatin1(f)));
    }
    std::string Path() const { return dir_.path().toStdString() + "/"; }
    // Cuts a file of the folder to half its length.
    void Truncate(const char* name) const
    {
        QFile f(QDir(dir_.path()).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.resize(f.size() / 2));
    }

private:
    QTemporaryDir dir_;
};

TEST_F(AtcListWindow, MissingFilesSayWhatIsMissingAndOpenNothingOrLessen)
{
    {
        AtcFolder folder("atc.dat");
        SetDataDir(folder.Path());
        EXPECT_EQ(OpenAtc(), nullptr);
        EXPECT_EQ(Messages(), Rows{LookupText(UiTexts, "Chyby", "NoData")});
    }
    {
        AtcFolder folder("atc.sgn");
        SetDataDir(folder.Path());
        // A group read before stays loaded: read it again from this folder.
        const int atc = SignSets().Find("atc", "noEmpty");
        ASSERT_GE(atc, 0);
        ClearSignSets(SignSets(), atc, atc + 1);
        EXPECT_EQ(OpenAtc(), nullptr);
        EXPECT_EQ(Messages().back(), LookupText(UiTexts, "Chyby", "ErrSgn"));
        ClearSignSets(SignSets(), atc, atc + 1);
    }
    {
        AtcFolder folder("atcnaz.slw");
        SetDataDir(folder.Path());
        TVyb* w = OpenAtc();
        ASSERT_NE(w, nullptr);
        Type(w, "DICL");
        EXPECT_FALSE(w->Source()->WalksOwnSet());
        EXPECT_EQ(w->Rec.RowCount, 0);
        while (!w->Rec.Prefix.empty())
            Key(w, Qt::Key_Backspace);
        Type(w, "IB");
        ASSERT_GT(w->Rec.RowCount, 0);
        EXPECT_EQ(Column(w, 11, 9)[w->Rec.CurRow - 1], "Ibuprofen");
    }
    EXPECT_EQ(Messages().size(), 2u);
    SetDataDir(QEVW_DEMO_DATA_DIR "/");
    CachedWordFile("atcnaz.slw"); // the demo's words again for the tests after this one
}

TEST_F(AtcListWindow, ATruncatedIndexReachesTheDataStoreErrorAndTheListGoesOn)
{
    AtcFolder folder("");
    folder.Truncate("atcnaz.sez");
    SetDataDir(folder.Path());
    ThreadDbErrorHook = &ShowDbError;
    TVyb* w = OpenAtc();
    ASSERT_NE(w, nullptr);
    Type(w, "DI");
    EXPECT_EQ(w->Rec.Letter, 'N');
    EXPECT_EQ(w->Rec.RowCount, 0);
    const Rows messages = Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front().rfind("DB Error: ", 0), 0u) << messages.front();
    // Back in code order the list shows its rows again.
    Key(w, Qt::Key_Backspace);
    EXPECT_EQ(w->Rec.Letter, 'C');
    EXPECT_EQ(Codes(w).front(), "D");
    ThreadDbErrorHook = nullptr;
    SetDataDir(QEVW_DEMO_DATA_DIR "/");
    CachedWordFile("atcnaz.slw");
}

TEST(AtcListUnitText, DosageFormsInWords)
{
    test_support::ScopedTextTable data{DataTexts, codelisttest::DemoDataTexts()};
    struct Case {
        const char* form;
        const char* words;
    };
    const Case cases[] = {
        {"TBLFLM", "potahované tablety"},  // six characters: no suffix tried
        {"TBL FLM", "tablety potahované"}, // a package suffix from "Lbal"
        {"POR SOL", "perorální roztok"},   // "Cpod" before a blank, then "Lfor"
        {"XYZ SOL", "roztok"},             // the part before the blank unknown
        {"TBL XYZ", ""},                   // "Lfor" does not know "XYZ"
        {"QQQ", ""},
        {"TBL FLM   ", "tablety potahované"}, // as a record's field: trailing blanks go first
    };
    for (const Case& c : cases)
        EXPECT_EQ(TranslateUnitText(codelisttest::Kam(c.form)), codelisttest::Kam(c.words)) << c.form;
}

} // namespace
