// The reimbursement lists on the demo data: the kind chooser, which drugs the
// lists hold (checked against a scan of the demo sources), the buttons, the
// ATC reference groups and the opening failures.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/entry_points.h"
#include "frame/message_box.h"
#include "lists/codes/reimbursement_kinds.h"
#include "lists/codes/reimbursement_lists.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/ascii.h"
#include "platform/message_sink.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/text_tables.h"

namespace {

using liststest::Settle;

// ------------------------------------------------------- the demo sources

std::vector<std::string> CsvFields(const std::string& line)
{
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else if (c != '\r') {
            out.back() += c;
        }
    }
    return out;
}

// Rows of a demo source as field name -> value.
std::vector<std::map<std::string, std::string>> DemoTable(const char* name)
{
    std::ifstream in(std::string(QEVW_SOURCE_DIR) + "/demo/" + name);
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> header;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = CsvFields(line);
        if (header.empty()) {
            header = f;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < f.size(); ++i)
            row[header[i]] = f[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

// The codes of the demo drugs a list of these kinds must hold: a price
// record and a chosen kind ("_" for a blank one); with `reference` only
// those of that ATC reference group.
std::set<std::string> ExpectedCodes(std::string_view choice, const std::string& reference = {},
                                    const std::string& atcPrefix = {})
{
    std::set<std::string> priced;
    for (const auto& r : DemoTable("cvzp.csv"))
        priced.insert(r.at("KOD"));
    std::set<std::string> out;
    for (const auto& r : DemoTable("kl.csv")) {
        const std::string kind = r.at("UH").empty() ? "_" : r.at("UH");
        if (priced.count(r.at("KOD")) && choice.find(kind[0]) != std::string_view::npos &&
            (reference.empty() || r.at("OZN") == reference) && r.at("ATC").rfind(atcPrefix, 0) == 0)
            out.insert(r.at("KOD"));
    }
    return out;
}

// A copy of the demo data folder in `dir`, of the files `take` keeps.
bool CopyDemoFolder(const QTemporaryDir& dir, const std::function<bool(const QString&)>& take)
{
    if (!dir.isValid())
        return false;
    const QDir demo(QStringLiteral(QEVW_DEMO_DATA_DIR));
    for (const QString& name : demo.entryList(QDir::Files))
        if (take(name) && !QFile::copy(demo.filePath(name), dir.filePath(name)))
            return false;
    return true;
}

// ------------------------------------------------------------- the lists

// Every row a list's fetch gives, from the seek on.
std::vector<std::string> WalkRows(VybRec& rec, ListSource& list)
{
    std::vector<std::string> rows;
    TVybRow row;
    std::string text;
    rec.FetchMode = FetchModeCode::Seek;
    list.Fetch(rec, row, text);
    while (row.Pos != -1 && rows.size() < 5000) {
        rows.push_back(text);
        rec.Rows[1] = row;
        rec.RowCount = 1;
        rec.FetchMode = FetchModeCode::After;
        list.Fetch(rec, row, text);
    }
    return rows;
}

std::set<std::string> CodesOf(const std::vector<std::string>& rows)
{
    std::set<std::string> codes;
    for (const std::string& r : rows)
        codes.insert(r.substr(1, 7));
    return codes;
}

VybRec NameList()
{
    VybRec rec;
    rec.Letter = 'N';
    rec.Options = 0x80;
    return rec;
}

// Answers the next kind chooser: `act` ticks what it wants and closes it.
// `shown` counts the choosers that appeared.
// Answerers still waiting from an earlier step or test give up once this
// moves on.
int gChooserGeneration = 0;
void ForgetChoosers()
{
    ++gChooserGeneration;
}

void AnswerChooser(std::function<void(TUhrada&)> act, int* shown = nullptr)
{
    // The function reaches itself only weakly: the pending timer owns it, so
    // it is freed once the last attempt has run.
    auto attempt = std::make_shared<std::function<void(int)>>();
    const int generation = gChooserGeneration;
    *attempt = [act, shown, self = std::weak_ptr(attempt), generation](int left) {
        if (generation != gChooserGeneration)
            return;
        if (auto* d = qobject_cast<TUhrada*>(QApplication::activeModalWidget())) {
            if (shown != nullptr)
                ++*shown;
            act(*d);
            return;
        }
        auto again = self.lock();
        if (left > 0 && again)
            QTimer::singleShot(10, [again, left] { (*again)(left - 1); });
    };
    QTimer::singleShot(0, [attempt] { (*attempt)(100); });
}

// Ticks exactly the kinds of `keys` and presses OK.
std::function<void(TUhrada&)> Tick(std::string keys)
{
    return [keys](TUhrada& d) {
        for (size_t i = 0; i < d.Boxes().size(); ++i)
            d.Boxes()[i]->setChecked(keys.find(d.Keys()[i]) != std::string::npos);
        d.accept();
    };
}

class ReimbursementLists : public liststest::DemoListsTest {
protected:
    void SetUp() override
    {
        DemoListsTest::SetUp();
        Config().Update([](ConfigValues& v) {
            v.LanguageIndex = 0;
            v.ReimbColumnLetters = "AB";
        });
        DeclareEditionSignSets(); // the ATC list needs "atc"
    }
    void TearDown() override
    {
        ForgetChoosers();
        DemoListsTest::TearDown();
    }

    std::vector<TVyb*> ListsOf(const char* code) const
    {
        std::vector<TVyb*> out;
        for (TDataForm* f : AllDataForms())
            if (auto* w = dynamic_cast<TVyb*>(f); w != nullptr && w->Kind == KindOf(code))
                out.push_back(w);
        return out;
    }
    // Runs a command whose chooser is answered with these kinds; the newest
    // list of `listCode` afterwards.
    TVyb* OpenWithKinds(const char* command, const char* listCode, const char* kinds)
    {
        AnswerChooser(Tick(kinds));
        ExecuteCommand(host, KindOf(command), 0);
        Settle();
        return ListOf(listCode);
    }

    std::string SavedChoice() const
    {
        return Config().Read([](const ConfigValues& v) { return v.ReimbColumnLetters; });
    }

    std::vector<QString> Errors() const
    {
        std::vector<QString> out;
        for (const MessageRequest& r : sink.Requests())
            out.push_back(r.text);
        return out;
    }
};

TEST_F(ReimbursementLists, ChooserShowsOneBoxPerKindAndReturnsTheTickedOnesInBoxOrder)
{
    TUhrada d("B_Q");
    EXPECT_EQ(d.Keys(), "_ABHKNQZ/68"); // from "_" on: not "Init" nor "pu"
    ASSERT_EQ(d.Boxes().size(), 11u);
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("Druhy úhrady"));
    // The blank kind shows as a blank; the value's "&" stays the mnemonic.
    EXPECT_EQ(d.Boxes()[0]->text(), QString::fromUtf8("  bez úhrady"));
    EXPECT_EQ(d.Boxes()[1]->text(), QString::fromUtf8("A &plně hrazený"));
    std::string ticked;
    for (size_t i = 0; i < d.Boxes().size(); ++i)
        if (d.Boxes()[i]->isChecked())
            ticked += d.Keys()[i];
    EXPECT_EQ(ticked, "_BQ");
    // Boxes stand one under another, the buttons below the last one.
    for (size_t i = 1; i < d.Boxes().size(); ++i)
        EXPECT_GT(d.Boxes()[i]->y(), d.Boxes()[i - 1]->y());
    const QWidget* ok = d.findChild<QPushButton*>(QStringLiteral("okButton"));
    ASSERT_NE(ok, nullptr);
    EXPECT_GT(ok->mapTo(&d, QPoint(0, 0)).y(), d.Boxes().back()->y());
    EXPECT_LE(ok->mapTo(&d, QPoint(0, ok->height())).y(), d.height());
    d.show();
    Settle();
    liststest::SaveShot(d.grab().toImage(), "reimbursement_kinds.png");

    d.Boxes()[5]->setChecked(true); // N
    d.Boxes()[0]->setChecked(false);
    d.accept();
    EXPECT_EQ(d.Choice(), "BNQ");

    TUhrada cancelled("AB");
    cancelled.reject();
    EXPECT_EQ(cancelled.Choice(), "");
}

TEST_F(ReimbursementLists, NameListHoldsExactlyThePricedDrugsOfTheChosenKinds)
{
    struct Case {
        const char* choice;
        bool empty;
    };
    // "/" holds a drug whose kind has no price record; "Q" no drug carries.
    for (const Case c : {Case{"A", false}, Case{"AB/", false}, Case{"_ABHKNQZ/68", false}, Case{"Q", true}}) {
        VybRec rec = NameList();
        ReimbursementList list('N', c.choice);
        const std::vector<std::string> rows = WalkRows(rec, list);
        const std::set<std::string> expected = ExpectedCodes(c.choice);
        EXPECT_EQ(CodesOf(rows), expected) << c.choice;
        EXPECT_EQ(rows.size(), expected.size()) << c.choice;
        EXPECT_EQ(rows.empty(), c.empty) << c.choice;
        EXPECT_EQ(rec.Count, static_cast<int32_t>(expected.size())) << c.choice;
        EXPECT_EQ(CodesOf(rows).count("0001199"), 0u) << "a kind without a price record";
        for (const std::string& r : rows)
            ASSERT_EQ(r.size(), 222u) << r;
    }
    // The kind of the drug without price records is "/": the demo must keep it.
    EXPECT_EQ(ExpectedCodes("/").count("0001199"), 0u);
}

TEST_F(ReimbursementLists, RowsWalkBothWaysAndSeekATypedName)
{
    VybRec rec = NameList();
    ReimbursementList list('N', "AB");
    const std::vector<std::string> forward = WalkRows(rec, list);
    ASSERT_GT(forward.size(), 10u);
    // From the end backwards gives the same rows in reverse.
    std::vector<std::string> backward;
    TVybRow row;
    std::string text;
    rec.FetchMode = FetchModeCode::Last;
    list.Fetch(rec, row, text);
    while (row.Pos != -1) {
        backward.push_back(text);
        rec.Rows[1] = row;
        rec.FetchMode = FetchModeCode::Before;
        list.Fetch(rec, row, text);
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);

    // A typed name in strict mode keeps only the names it begins.
    rec.Prefix = "SIMV";
    const std::vector<std::string> para = WalkRows(rec, list);
    ASSERT_FALSE(para.empty());
    for (const std::string& r : para)
        EXPECT_EQ(r.substr(8, 4), "Simv") << r;
    EXPECT_EQ(rec.Count, static_cast<int32_t>(para.size()));
}

TEST_F(ReimbursementLists, OpenerAsksForKindsSavesThemAndRaisesAnOpenWindowWithoutAsking)
{
    int shown = 0;
    AnswerChooser(Tick("AN"), &shown);
    ExecuteCommand(host, KindOf("XRN"), 0);
    Settle();
    TVyb* w = ListOf("RNA");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(w->Source()->SearchWords(), "AN");
    EXPECT_EQ(SavedChoice(), "AN");
    EXPECT_TRUE(w->TwoLineRows);
    EXPECT_GT(w->Rec.RowCount, 0);
    EXPECT_EQ(w->Rec.Rows[1].Text.size(), 222u);
    ASSERT_NE(w->SubWindow(), nullptr);
    w->SubWindow()->setGeometry(0, 0, 980, 420);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "reimbursement_list.png");

    // Again: the open window comes to the front, no chooser.
    AnswerChooser(Tick("B"), &shown);
    ExecuteCommand(host, KindOf("XRN"), 0);
    Settle();
    QTest::qWait(50);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(ListsOf("RNA").size(), 1u);
    EXPECT_EQ(w->Source()->SearchWords(), "AN");
}

TEST_F(ReimbursementLists, CancelOrNoKindOpensNothingAndKeepsTheSavedChoice)
{
    for (auto answer : {std::function<void(TUhrada&)>([](TUhrada& d) { d.reject(); }), Tick("")}) {
        AnswerChooser(answer);
        ExecuteCommand(host, KindOf("XRN"), 0);
        Settle();
        EXPECT_EQ(ListOf("RNA"), nullptr);
        EXPECT_EQ(SavedChoice(), "AB");
    }
}

TEST_F(ReimbursementLists, ButtonRChangesTheKindsOfItsOwnWindowOnly)
{
    TVyb* groups = OpenWithKinds("XRR", "RRA", "A");
    ASSERT_NE(groups, nullptr);
    TVyb* names = OpenWithKinds("XRN", "RNA", "A");
    ASSERT_NE(names, nullptr);
    ASSERT_TRUE(names->FnUhrada->isVisible());
    EXPECT_EQ(names->FnUhrada->text(), QStringLiteral("A")); // fewer kinds than Init: the choice
    EXPECT_TRUE(names->FnUhrada->isChecked());

    AnswerChooser(Tick("B"));
    names->FnUhrada->click();
    Settle();
    EXPECT_EQ(names->Source()->SearchWords(), "B");
    EXPECT_EQ(groups->Source()->SearchWords(), "A");
    EXPECT_EQ(SavedChoice(), "A");
    EXPECT_EQ(names->FnUhrada->text(), QStringLiteral("B"));
    const std::set<std::string> expected = ExpectedCodes("B");
    for (int i = 1; i <= names->Rec.RowCount; ++i)
        EXPECT_TRUE(expected.count(names->Rec.Rows[static_cast<size_t>(i)].Text.Str().substr(1, 7)));

    // Cancelled: the window keeps its kinds.
    AnswerChooser([](TUhrada& d) { d.reject(); });
    names->FnUhrada->click();
    Settle();
    EXPECT_EQ(names->Source()->SearchWords(), "B");
}

TEST_F(ReimbursementLists, ButtonUKeepsTheDrugsOfTheUserListAndBack)
{
    UserFileHooks hooks = CurrentUserFileHooks();
    hooks.signListName = [] { return std::string("VIDUD"); };
    const UserFileHooks saved = SetUserFileHooks(hooks);
    LoadSignList();
    ASSERT_TRUE(SignListSnapshot()->active);
    SetUserSignListsAvailable(true);

    VybRec rec = NameList();
    ReimbursementList list('N', "AB");
    const std::vector<std::string> all = WalkRows(rec, list);
    EXPECT_EQ(list.React(rec, ListAction::ShiftF5), ListAction::RefillInPlace);
    EXPECT_EQ(rec.ButtonState, 0x200);
    const std::vector<std::string> signedRows = WalkRows(rec, list);
    EXPECT_FALSE(signedRows.empty());
    EXPECT_LT(signedRows.size(), all.size());
    for (const std::string& r : signedRows)
        EXPECT_LT(static_cast<unsigned char>(r[1]), '0') << "a drug of the list has its code lowered";
    list.React(rec, ListAction::ShiftF5);
    EXPECT_EQ(rec.ButtonState, 0);
    EXPECT_EQ(WalkRows(rec, list).size(), all.size());

    SetUserSignListsAvailable(false);
    FreeUserFileState();
    SetUserFileHooks(saved);
    EXPECT_EQ(list.React(rec, ListAction::ShiftF5), ListAction::None)
        << "without a list the button does nothing";
}

TEST_F(ReimbursementLists, ReferenceGroupsSwitchOrderAsTypedAndEnterOpensTheGroupsDrugs)
{
    TVyb* w = OpenWithKinds("XRR", "RRA", "AB/");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Source()->SearchWords(), "AB/");
    ASSERT_GT(w->Rec.RowCount, 0);
    EXPECT_EQ(w->Rec.Rows[1].Text.size(), 104u);

    w->Edt->setText(QStringLiteral("A1"));
    Settle();
    EXPECT_EQ(w->Rec.Letter, 'C');
    EXPECT_EQ(w->Rec.Rows[w->Rec.CurRow].Text.Str().substr(1, 3), "A1a");
    w->Edt->setText(QStringLiteral("AB"));
    Settle();
    EXPECT_EQ(w->Rec.Letter, 'N');
    w->Edt->setText(QStringLiteral("C3"));
    Settle();
    EXPECT_EQ(w->Rec.Letter, 'C');
    const std::string group = w->Rec.Rows[w->Rec.CurRow].Text.Str().substr(1, 3);
    EXPECT_EQ(group, "C3a");
    ASSERT_NE(w->SubWindow(), nullptr);
    w->SubWindow()->setGeometry(0, 0, 700, 300);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "reimbursement_reference_groups.png");

    uint16_t enter = ActionCode::Enter;
    w->AKbd(enter, 0);
    Settle();
    TVyb* drugs = ListOf("RRA");
    ASSERT_NE(drugs, nullptr);
    ASSERT_NE(drugs, w);
    EXPECT_EQ(drugs->Master.get(), w);
    EXPECT_EQ(drugs->Rec.Prefix, group);
    EXPECT_EQ(drugs->Source()->SearchWords(), "AB/");
    VybRec copy = drugs->Rec;
    EXPECT_EQ(CodesOf(WalkRows(
                  copy, *std::make_unique<ReimbursementList>(copy.Letter, drugs->Source()->SearchWords()))),
              ExpectedCodes("AB/", group));

    // Another group: the same window follows.
    host->area->setActiveSubWindow(w->SubWindow());
    w->Edt->setText(QStringLiteral("C1"));
    Settle();
    enter = ActionCode::Enter;
    w->AKbd(enter, 0);
    Settle();
    EXPECT_EQ(ListsOf("RRA").size(), 2u);
    EXPECT_EQ(drugs->Rec.Prefix, "C1a");
}

TEST_F(ReimbursementLists, AtcChooserOpensTheReimbursedDrugsOfTheGroupUnderIt)
{
    TVyb* atc = OpenWithKinds("XRA", "RAT", "AB");
    ASSERT_NE(atc, nullptr);
    EXPECT_EQ(atc->Source()->SearchWords(), "AB");
    EXPECT_EQ(atc->LinkKinds[1], LinkKind::AtcGroup);
    atc->Edt->setText(QStringLiteral("C10AA"));
    Settle();
    ASSERT_GT(atc->Rec.RowCount, 0);
    ASSERT_EQ(atc->Rec.Rows[atc->Rec.CurRow].Text.Str().substr(1, 5), "C10AA");
    uint16_t enter = ActionCode::Enter;
    atc->AKbd(enter, 0);
    Settle();
    const std::vector<TVyb*> lists = ListsOf("RAT");
    ASSERT_EQ(lists.size(), 2u);
    TVyb* drugs = lists.back();
    EXPECT_EQ(drugs->Master.get(), atc);
    EXPECT_EQ(drugs->LinkKinds[0], LinkKind::AtcGroup);
    EXPECT_EQ(drugs->Rec.Prefix, "C10AA");
    EXPECT_EQ(drugs->Source()->SearchWords(), "AB");
    VybRec copy = drugs->Rec;
    const std::set<std::string> expected = ExpectedCodes("AB", {}, "C10AA");
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(CodesOf(WalkRows(
                  copy, *std::make_unique<ReimbursementList>(copy.Letter, drugs->Source()->SearchWords()))),
              expected);
    ASSERT_NE(drugs->SubWindow(), nullptr);
    drugs->SubWindow()->setGeometry(0, 300, 980, 380);
    atc->SubWindow()->setGeometry(0, 0, 600, 300);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "reimbursement_atc.png");

    // A second XRA raises the chooser list without asking again.
    int shown = 0;
    AnswerChooser(Tick("B"), &shown);
    ExecuteCommand(host, KindOf("XRA"), 0);
    Settle();
    QTest::qWait(50);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(ListsOf("RAT").size(), 2u);
}

TEST_F(ReimbursementLists, CellHintsNameWhatTheCodesMean)
{
    VybRec rec = NameList();
    ReimbursementList list('N', "AB");
    std::vector<std::string> rows = WalkRows(rec, list);
    ASSERT_FALSE(rows.empty());
    TVybRow row;
    row.Text = rows[0];
    row.Offer1 = 1;
    auto hint = [&row](uint8_t column, std::string_view cell) {
        return ReimbursementList('N').Info(InfoKind::CellHint, column, row, cell);
    };
    EXPECT_EQ(hint(0, "P"), LookupText(DataTexts, "Puh", "P"));
    EXPECT_EQ(hint(0, ""), "");
    EXPECT_EQ(hint(7, "N"), dftest::Kam("nehrazený, s cenou")); // its "&" removed
    EXPECT_EQ(hint(12, "-"), LookupText(DataTexts, "Uhr", "pu"));
    EXPECT_EQ(hint(12, ""), "");
    EXPECT_EQ(hint(13, "C10AA01"), LookupAtc("C10AA01", "00"));
    EXPECT_EQ(hint(16, "CZ"), LookupCountry("CZ"));
    EXPECT_EQ(hint(15, "xx"), LookupHolder(rows[0].substr(124, 6)));
    EXPECT_FALSE(hint(15, "xx").empty());
    // A signed drug's code comes back with its first character restored.
    std::string lowered = rows[0].substr(1, 7);
    lowered[0] = static_cast<char>(lowered[0] - 32);
    EXPECT_EQ(hint(1, lowered).substr(0, 7), rows[0].substr(1, 7));
}

TEST_F(ReimbursementLists, MissingTablesGiveNoDataAndNoWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(CopyDemoFolder(dir, [](const QString& name) {
        return !name.startsWith(QLatin1String("cvzp.")) && !name.startsWith(QLatin1String("atcp"));
    }));
    SetDataDir(dir.path().toStdString() + "/");
    int shown = 0;
    for (const char* code : {"XRN", "XRR", "XRA"}) {
        AnswerChooser(Tick("A"), &shown);
        ExecuteCommand(host, KindOf(code), 0);
        Settle();
    }
    QTest::qWait(50);
    EXPECT_EQ(shown, 0) << "no chooser before the table is known";
    EXPECT_EQ(ListOf("RNA"), nullptr);
    EXPECT_EQ(ListOf("RRA"), nullptr);
    EXPECT_EQ(ListOf("RAT"), nullptr);
    const std::vector<QString> errors = Errors();
    ASSERT_EQ(errors.size(), 3u);
    for (const QString& e : errors)
        EXPECT_EQ(e, KamToQString(LookupText(UiTexts, "Chyby", "NoData")));
}

TEST_F(ReimbursementLists, AtcChooserWithoutItsSignsReportsThemBeforeAskingForKinds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(CopyDemoFolder(dir, [](const QString& name) { return name != QLatin1String("atc.sgn"); }));
    SetDataDir(dir.path().toStdString() + "/");
    // Signs read before stay loaded: read them again from this folder.
    const int atc = SignSets().Find("atc", "noEmpty");
    ASSERT_GE(atc, 0);
    ClearSignSets(SignSets(), atc, atc + 1);
    int shown = 0;
    AnswerChooser(Tick("A"), &shown);
    ExecuteCommand(host, KindOf("XRA"), 0);
    Settle();
    QTest::qWait(50);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(ListOf("RAT"), nullptr);
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Errors().front(), KamToQString(LookupText(UiTexts, "Chyby", "ErrSgn")));
    ClearSignSets(SignSets(), atc, atc + 1);
}

TEST_F(ReimbursementLists, ADamagedIndexIsReportedAndTheProgramGoesOn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(CopyDemoFolder(dir, [](const QString&) { return true; }));
    QFile index(dir.filePath(QStringLiteral("cvzpkod.sez")));
    ASSERT_TRUE(index.open(QIODevice::ReadWrite));
    ASSERT_TRUE(index.resize(index.size() / 2));
    index.close();
    const TDbErrorHook savedHook = DbErrorHook.exchange(&ShowDbError);
    const int failures = DbFailureCount();
    SetDataDir(dir.path().toStdString() + "/");
    AnswerChooser(Tick("A"));
    ExecuteCommand(host, KindOf("XRN"), 0);
    Settle();
    EXPECT_EQ(ListOf("RNA"), nullptr);
    EXPECT_GT(DbFailureCount(), failures);
    ASSERT_FALSE(Errors().empty());
    EXPECT_TRUE(Errors().front().startsWith(QLatin1String("DB Error: "))) << Errors().front().toStdString();
    EXPECT_EQ(Errors().back(), KamToQString(LookupText(UiTexts, "Chyby", "NoData")));

    // The intact folder opens as before.
    SetDataDir(QEVW_DEMO_DATA_DIR "/");
    ForgetChoosers();
    AnswerChooser(Tick("A"));
    ExecuteCommand(host, KindOf("XRN"), 0);
    Settle();
    EXPECT_NE(ListOf("RNA"), nullptr);
    DbErrorHook = savedHook;
}

TEST_F(ReimbursementLists, TheEnglishEditionReadsTheEnglishGroupTables)
{
    Config().Update([](ConfigValues& v) { v.LanguageIndex = 1; });
    VybRec rec;
    rec.Letter = 'C';
    const std::vector<std::string> english = WalkRows(rec, *std::make_unique<AtcReferenceList>());
    std::map<std::string, std::string> names;
    for (const auto& r : DemoTable("atcpa.csv"))
        names[r.at("ATC")] = dftest::Kam(r.at("NAZ").c_str());
    ASSERT_EQ(english.size(), names.size());
    for (const std::string& row : english)
        EXPECT_EQ(std::string(TrimRightBlanks(row.substr(4))), names[row.substr(1, 3)]) << row;
    Config().Update([](ConfigValues& v) { v.LanguageIndex = 0; });
    rec.Letter = 'C';
    const std::vector<std::string> czech = WalkRows(rec, *std::make_unique<AtcReferenceList>());
    ASSERT_EQ(czech.size(), english.size());
    EXPECT_NE(czech.front(), english.front());
}

} // namespace
