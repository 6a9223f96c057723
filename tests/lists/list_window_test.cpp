// The list window driven by Qt Test events: over the demo drug table "kl"
// for typing, strict ranges and links, and over rows in memory for the
// arithmetic of seeks, moves, pages and the scroll bar.

#include <gtest/gtest.h>

#include <QDialog>
#include <QMdiSubWindow>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "datastore/service_hooks.h"
#include "frame/config/placement_scheme.h"
#include "frame/entry_points.h"
#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "frame/start/command_line.h"
#include "frame/windows/style.h"
#include "list_demo_list.h"
#include "lists/list_entry_points.h"
#include "lists/lists_test_support.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "lists/toolkit/scroll_bar.h"

using namespace liststest;
using listdemo::MemoryList;
using listdemo::TableList;

namespace {

const uint16_t kListKind = PackKindCode("kLN");

class ListWindowTest : public HostedTest {
protected:
    void SetUp() override
    {
        PublishDataSet(DataSetCode::Drugs);
        HostedTest::SetUp();
    }

    void TearDown() override
    {
        HostedTest::TearDown();
        PublishDataSet(DataSetCode::None);
        SetUserSignListsAvailable(false);
    }

    // A list window under the host; the opener's fields set, not yet opened.
    TVyb* NewWindow(char letter, LinkKind offered = LinkKind::Drug)
    {
        auto* w = new TVyb;
        w->Kind = kListKind;
        w->LinkKinds = {LinkKind::None, offered, LinkKind::None};
        w->Master = host;
        w->Rec.Letter = letter;
        return w;
    }

    // Sizes the window so that its grid offers `lines` lines.
    void SizeForLines(TVyb* w, int lines, int width = 520)
    {
        ASSERT_NO_FATAL_FAILURE(liststest::SizeForLines(w, lines, width));
        ASSERT_EQ(w->Tb->VisibleLines(), lines);
    }

    TableList& DemoKl(const char* index = "klnaz")
    {
        auto list = std::make_unique<TableList>();
        std::string error;
        EXPECT_TRUE(list->Open(std::string(QEVW_DEMO_DATA_DIR) + "/", "kl", index, error)) << error;
        tables_.push_back(std::move(list));
        return *tables_.back();
    }

    MemoryList& Rows(int n)
    {
        memories_.push_back(std::make_unique<MemoryList>(n));
        return *memories_.back();
    }

    // A window over n rows in memory showing `lines` lines; its list is
    // memory().
    TVyb* OpenRows(int n, int lines, const std::string& options = Options(5, '9'), char letter = 'K',
                   LinkKind offered = LinkKind::Drug)
    {
        MemoryList& list = Rows(n);
        TVyb* w = NewWindow(letter, offered);
        list.OpenIn(*w, options);
        SizeForLines(w, lines);
        return w;
    }
    MemoryList& memory() { return *memories_.back(); }

    // The positions of the shown rows, top to bottom.
    static std::vector<int32_t> Shown(const TVyb* w)
    {
        std::vector<int32_t> out;
        for (int r = 1; r <= w->Rec.RowCount; ++r)
            out.push_back(w->Rec.Rows[static_cast<size_t>(r)].Pos);
        return out;
    }

    static void Key(TVyb* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(w->Edt, key, mods);
    }

    static void TypeUtf8(TVyb* w, const char* utf8)
    {
        for (QChar ch : QString::fromUtf8(utf8)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(w->Edt, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QCoreApplication::sendEvent(w->Edt, &release);
        }
    }

    static void Wheel(TVyb* w, int angle)
    {
        QWheelEvent e(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, angle),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(w, &e);
    }

    ListTestEnvironment env;
    std::vector<uint16_t>& counts = env.counts;
    std::vector<uint16_t>& durations = env.durations;
    std::vector<int>& dropDowns = env.dropDowns;

private:
    std::vector<std::unique_ptr<TableList>> tables_;
    std::vector<std::unique_ptr<MemoryList>> memories_;
};

} // namespace

// --- Typing over the demo "kl" -------------------------------------------------

TEST_F(ListWindowTest, TypingHandsTheCallbackTheFoldedPrefixAndTheCaptionFollows)
{
    TableList& list = DemoKl();
    TVyb* w = NewWindow('N');
    list.OpenIn(*w, Kam("Léky: "), Options(45, 'A', "?/"));
    SizeForLines(w, 12);
    QTest::keyClicks(w->Edt, "pa");
    TypeUtf8(w, "č");
    EXPECT_EQ(list.prefixes, (std::vector<std::string>{"P", "PA", "PA" + Kam("Č")}));
    EXPECT_EQ(w->Edt->text(), QString::fromUtf8("PAČ"));
    EXPECT_EQ(w->Caption(), QString::fromUtf8("Léky: PAČ"));
    EXPECT_EQ(w->Subtitle, "PA" + Kam("Č"));

    // Backspace back to "PA": the first "PA..." name is the second row, its
    // predecessor above it, and it is current.
    Key(w, Qt::Key_Backspace);
    EXPECT_EQ(list.prefixes.back(), "PA");
    ASSERT_GE(w->Rec.RowCount, 2);
    EXPECT_EQ(w->Tb->CursorRow(), 2);
    const std::string name = w->Rec.Rows[2].Text.Str().substr(8, 2);
    EXPECT_EQ(name, "Pa");
    EXPECT_EQ(w->CurPos, w->Rec.Rows[2].Pos);
    EXPECT_EQ(w->LinkValues[1], w->Rec.Rows[2].Aux);
}

TEST_F(ListWindowTest, ACallbackRewritingThePrefixUpdatesTheEditOnce)
{
    TableList& list = DemoKl();
    list.onCommand = [](VybRec& rec, ListAction action) {
        if (action == ListAction::PrefixChanged && rec.Prefix == "PA")
            rec.Prefix = "PARA";
        return action;
    };
    TVyb* w = NewWindow('N');
    list.OpenIn(*w, "kl: ", Options(45, 'A'));
    SizeForLines(w, 10);
    QTest::keyClicks(w->Edt, "pa");
    EXPECT_EQ(w->Edt->text(), "PARA");
    EXPECT_EQ(w->Edt->cursorPosition(), 4);
    EXPECT_EQ(list.prefixes, (std::vector<std::string>{"P", "PA"})); // no second run of the typing
    EXPECT_EQ(w->Caption(), "kl: PARA");
    // Through a key's action as well: 298 from Command mirrors the prefix.
    list.onCommand = [](VybRec& rec, ListAction action) {
        if (action != ListAction::F1)
            return action;
        rec.Prefix = "IBU";
        return ListAction::PrefixChanged;
    };
    Key(w, Qt::Key_F1);
    EXPECT_EQ(w->Edt->text(), "IBU");
    EXPECT_EQ(list.prefixes.size(), 2u);
    EXPECT_EQ(w->Rec.Rows[w->Tb->CursorRow()].Text.Str().substr(8, 3), "Ibu");
}

TEST_F(ListWindowTest, StrictModeShowsOnlyThePrefixAndNoRowLeavesNothingCurrent)
{
    TableList& list = DemoKl();
    TVyb* w = NewWindow('N');
    w->Rec.Options = 0x80;
    list.OpenIn(*w, "kl: ", Options(45, 'A', "/"));
    SizeForLines(w, 20);
    QTest::keyClicks(w->Edt, "paracetamol");
    ASSERT_GT(w->Rec.RowCount, 0);
    for (int r = 1; r <= w->Rec.RowCount; ++r)
        EXPECT_EQ(KamFoldUpper(w->Rec.Rows[r].Text.Str().substr(8, 11)), "PARACETAMOL") << r;
    EXPECT_EQ(w->Rec.Count, w->Rec.RowCount);
    EXPECT_EQ(w->Tb->CursorRow(), 1); // the range's start shows as row 1

    QTest::keyClicks(w->Edt, "x");
    EXPECT_EQ(w->Rec.RowCount, 0);
    EXPECT_TRUE(w->IsEmpty());
    EXPECT_FALSE(w->Tb->isVisibleTo(w));
    EXPECT_EQ(w->ScVert->Max(), 0);
    EXPECT_EQ(w->CurPos, -1);
    EXPECT_EQ(w->CurAux, -1);
    EXPECT_EQ(w->Rec.CurRow, 0);
    EXPECT_EQ(w->LinkValues[1], 0);
    const int fetches = list.fetches;
    Key(w, Qt::Key_Down);
    Key(w, Qt::Key_PageDown);
    Wheel(w, -120);
    EXPECT_EQ(list.fetches, fetches); // nothing to move
    Key(w, Qt::Key_Return);
    EXPECT_TRUE(dropDowns.empty()); // nothing chosen
    EXPECT_TRUE(std::find(durations.begin(), durations.end(), StatCodeOfText("iF ")) == durations.end());

    // The strict button turns it off: the whole list again.
    w->FnStrict->click();
    EXPECT_FALSE(w->Rec.Strict());
    EXPECT_GT(w->Rec.RowCount, 0);
}

// --- The arithmetic over rows in memory ------------------------------------------

TEST_F(ListWindowTest, SeekShowsTheFoundRowSecondAndAtTheRangeStartFirst)
{
    TVyb* w = OpenRows(100, 10);
    QTest::keyClicks(w->Edt, "50");
    EXPECT_EQ(Shown(w), (std::vector<int32_t>{49, 50, 51, 52, 53, 54, 55, 56, 57, 58}));
    EXPECT_EQ(w->Tb->CursorRow(), 2);
    EXPECT_EQ(w->CurPos, 50);
    QTest::keyClick(w->Edt, Qt::Key_Backspace);
    QTest::keyClick(w->Edt, Qt::Key_Backspace);
    QTest::keyClicks(w->Edt, "0");
    EXPECT_EQ(Shown(w).front(), 0);
    EXPECT_EQ(w->Tb->CursorRow(), 1);
    // Near the end the window fills upwards.
    QTest::keyClick(w->Edt, Qt::Key_Backspace);
    QTest::keyClicks(w->Edt, "97");
    EXPECT_EQ(Shown(w), (std::vector<int32_t>{90, 91, 92, 93, 94, 95, 96, 97, 98, 99}));
    EXPECT_EQ(w->CurPos, 97);
}

TEST_F(ListWindowTest, KeysWheelAndScrollBarMoveAsSpecified)
{
    TVyb* w = OpenRows(100, 10);
    QTest::keyClicks(w->Edt, "50");
    ASSERT_EQ(w->CurPos, 50);
    struct Step {
        const char* what;
        std::function<void()> act;
        int32_t current;
        int32_t top;
    };
    const Step steps[] = {
        {"Down", [&] { Key(w, Qt::Key_Down); }, 51, 49}, // the cursor moves
        {"Down x6",
         [&] {
             for (int i = 0; i < 6; ++i)
                 Key(w, Qt::Key_Down);
         },
         57, 49},
        {"Down at the edge", [&] { Key(w, Qt::Key_Down); }, 58, 50}, // one row stays below
        {"Page down", [&] { Key(w, Qt::Key_PageDown); }, 66, 58},    // 10 - 2 rows
        {"Page up", [&] { Key(w, Qt::Key_PageUp); }, 58, 57},        // one row stays above
        {"Up", [&] { Key(w, Qt::Key_Up); }, 57, 56},
        {"Home", [&] { Key(w, Qt::Key_Home); }, 0, 0},
        {"Up at the start", [&] { Key(w, Qt::Key_Up); }, 0, 0},
        {"Wheel down", [&] { Wheel(w, -120); }, 3, 0}, // three lines
        {"Half a notch", [&] { Wheel(w, -60); }, 3, 0},
        {"The other half", [&] { Wheel(w, -60); }, 6, 0},
        {"Wheel up", [&] { Wheel(w, 120); }, 3, 0},
        {"End", [&] { Key(w, Qt::Key_End); }, 99, 90},
        {"Down at the end", [&] { Key(w, Qt::Key_Down); }, 99, 90},
        {"Shift+Up", [&] { Key(w, Qt::Key_Up, Qt::ShiftModifier); }, 98, 90},
    };
    for (const Step& s : steps) {
        s.act();
        EXPECT_EQ(w->CurPos, s.current) << s.what;
        EXPECT_EQ(w->Rec.Rows[1].Pos, s.top) << s.what;
        EXPECT_EQ(w->Rec.Rows[w->Rec.CurRow].Pos, w->CurPos) << s.what;
    }
    EXPECT_EQ(w->ScVert->Max(), 92); // 100 - 10 + 2
    EXPECT_EQ(w->ScVert->Posit(), 91);
    EXPECT_EQ(ListCounters().wheelKeys.load(), 3u); // the two halves make one notch

    // A click on the bar's last arrow moves once; the bar follows the list.
    Key(w, Qt::Key_Home);
    const uint32_t navigation = ListCounters().navigationKeys.load();
    const QPoint lastArrow(w->ScVert->width() / 2, w->ScVert->height() - 3);
    QTest::mouseClick(w->ScVert, Qt::LeftButton, {}, lastArrow);
    EXPECT_EQ(w->CurPos, 1);
    EXPECT_EQ(w->ScVert->Posit(), 1);
    EXPECT_EQ(w->Rec.TopPos, 1);
    EXPECT_EQ(ListCounters().scrollMoves.load(), 1u);
    EXPECT_EQ(ListCounters().navigationKeys.load(), navigation);
    // The track below the thumb pages once per click.
    QTest::mouseClick(w->ScVert, Qt::LeftButton, {},
                      QPoint(w->ScVert->width() / 2, w->ScVert->height() - 30));
    EXPECT_EQ(w->CurPos, 9);
    EXPECT_EQ(ListCounters().scrollMoves.load(), 2u);
}

TEST_F(ListWindowTest, ShiftKeysActWithoutTheCallback)
{
    TVyb* w = OpenRows(100, 10, Options(5, '9', "<"));
    MemoryList& rows = memory();
    const size_t before = rows.commands.size();
    Key(w, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w->CurPos, 1);
    Key(w, Qt::Key_F7, Qt::ShiftModifier);
    EXPECT_EQ(w->CurPos, 1);
    EXPECT_EQ(rows.commands.size(), before); // neither reached Command
    Key(w, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(w->CurPos, 1); // Ctrl: ignored
    // Shift+F8 switches the tree: the letter turns lower case, Command sees 391.
    Key(w, Qt::Key_F8, Qt::ShiftModifier);
    EXPECT_TRUE(w->Tb->TreeOn());
    EXPECT_EQ(w->Rec.Letter, 'k');
    EXPECT_EQ(rows.commands.back(), ActionCode::TreeToggled);
    Key(w, Qt::Key_F8, Qt::ShiftModifier);
    EXPECT_EQ(w->Rec.Letter, 'K');
}

TEST_F(ListWindowTest, CountAndPageSizeSetTheScrollRange)
{
    struct Case {
        int rows, lines, max;
    };
    for (const Case& c :
         {Case{5, 5, 0}, Case{100, 20, 82}, Case{21, 20, 1}, Case{22, 20, 2}, Case{23, 20, 5}}) {
        TVyb* w = OpenRows(c.rows, c.lines);
        EXPECT_EQ(w->ScVert->Max(), c.max) << c.rows << " in " << c.lines;
        w->CloseWindow();
        Settle();
    }
}

TEST_F(ListWindowTest, TwoLineRowsCacheHalfTheLines)
{
    MemoryList& rows = Rows(100);
    TVyb* w = NewWindow('K');
    w->TwoLineRows = true;
    rows.OpenIn(*w, Options(5, '9'), "2/4,;6/5");
    SizeForLines(w, 20);
    EXPECT_EQ(w->Rec.RowCount, 10);
    EXPECT_EQ(w->Rec.GridRows, 10);
    QTest::keyClicks(w->Edt, "50");
    EXPECT_EQ(Shown(w).front(), 49);
    EXPECT_EQ(w->Rec.RowCount, 10);
    Key(w, Qt::Key_PageDown); // a page is 10 - 2 rows
    EXPECT_EQ(w->CurPos, 58);
    EXPECT_EQ(w->Rec.RowCount, 10);
}

TEST_F(ListWindowTest, ResizeKeepsTheCurrentRecord)
{
    TVyb* w = OpenRows(100, 10);
    QTest::keyClicks(w->Edt, "40");
    for (int i = 0; i < 5; ++i)
        Key(w, Qt::Key_Down);
    ASSERT_EQ(w->CurPos, 45);
    for (int lines : {6, 15, 4, 12}) {
        SizeForLines(w, lines);
        EXPECT_EQ(w->CurPos, 45) << lines;
        EXPECT_EQ(w->Rec.Rows[w->Tb->CursorRow()].Pos, 45) << lines;
        EXPECT_EQ(w->Rec.RowCount, lines) << lines;
    }
    // A wider window with as many lines renders the same rows anew.
    const int fetches = memory().fetches;
    SizeForLines(w, 12, 700);
    EXPECT_EQ(w->Tb->Image().width(), w->Tb->width());
    EXPECT_EQ(memory().fetches, fetches);
    EXPECT_EQ(w->CurPos, 45);
}

// --- Layout and buttons ----------------------------------------------------------

TEST_F(ListWindowTest, ArrangeControlsLaysOutTheButtonRow)
{
    const char* letterSets[] = {"",       "?",       "?/",       "?/)",       "?<=*",       "?<=*/",
                                "?<=*/)", "?<=*/)>", "?<=*/)>E", "?<=*/)>ES", "?<=*/)>ESR", "?U=D"};
    for (bool signLists : {false, true}) {
        SetUserSignListsAvailable(signLists);
        for (const char* letters : letterSets) {
            for (bool scrolling : {false, true}) {
                MemoryList& list = Rows(30);
                TVyb* w = NewWindow('K');
                list.OpenIn(*w, Options(5, '9', letters));
                SizeForLines(w, 8, 640);
                if (scrolling)
                    w->AllColClick();
                const std::string context = std::string(letters) + (scrolling ? " scrolling" : "") +
                                            (signLists ? " with sign lists" : "");
                std::string expected = letters;
                if (!signLists)
                    expected.erase(std::remove(expected.begin(), expected.end(), 'U'), expected.end());
                EXPECT_EQ(w->ButtonLetters, expected) << context;

                const int s = w->LineHeight + 3;
                const int m = TVyb::Margin;
                int x = -1;
                for (char c : expected) {
                    QToolButton* b = w->ButtonOfLetter(c);
                    ASSERT_NE(b, nullptr);
                    EXPECT_TRUE(b->isVisibleTo(w)) << context << " " << c;
                    EXPECT_EQ(b->height(), s) << context;
                    EXPECT_EQ(b->y(), w->height() - s - m + 1) << context;
                    if (x >= 0) {
                        EXPECT_EQ(b->x(), x) << context << " " << c; // side by side, in order
                    }
                    EXPECT_LE(b->width(), 5 * s) << context;
                    x = b->x() + b->width();
                    if (scrolling && c == '=') {
                        EXPECT_EQ(b->width(), s) << context;
                        EXPECT_EQ(w->ScHor->x(), x) << context; // the bar follows it
                        EXPECT_EQ(w->ScHor->width(), 4 * s) << context;
                        x += 4 * s;
                    }
                }
                // The row ends at the right margin (less what the width division
                // rounds away).
                if (!expected.empty() && (!scrolling || expected.find('=') != std::string::npos)) {
                    EXPECT_LE(x, w->width() - m) << context;
                    EXPECT_GE(x, w->width() - m - static_cast<int>(expected.size())) << context;
                }
                EXPECT_EQ(w->ScHor->isVisibleTo(w), scrolling) << context;
                EXPECT_EQ(w->FnAllCol->isChecked(), scrolling) << context;
                int hidden = 0;
                for (QToolButton* b : w->findChildren<QToolButton*>())
                    hidden += b->isVisibleTo(w) ? 0 : 1;
                EXPECT_EQ(hidden, 16 - static_cast<int>(expected.size())) << context;
                w->CloseWindow();
                Settle();
            }
        }
    }
}

TEST_F(ListWindowTest, ModeButtonsActOnTheWindow)
{
    TVyb* w = OpenRows(50, 8, Options(5, '9', "?=/)>*"), 'C');
    EXPECT_TRUE(w->FnTabKey->isChecked()); // a code list ("C")
    ASSERT_TRUE(w->Rec.Whisper);           // the configured default
    w->FnWhisper->click();
    EXPECT_FALSE(w->Rec.Whisper);
    w->FnWhisper->click();
    EXPECT_TRUE(w->Rec.Whisper);
    EXPECT_EQ(std::count(counts.begin(), counts.end(), StatCodeOfText("oHW")), 1); // switching on
    w->FnAllCol->click();
    EXPECT_TRUE(w->Tb->HScroll());
    EXPECT_EQ(std::count(counts.begin(), counts.end(), StatCodeOfText("oRC")), 1);
    w->FnAllCol->click();
    EXPECT_FALSE(w->Tb->HScroll());
    EXPECT_EQ(std::count(counts.begin(), counts.end(), StatCodeOfText("oRC")), 1);
    w->FnStrict->click();
    EXPECT_TRUE(w->Rec.Strict());
    EXPECT_TRUE(w->FnStrict->isChecked());
    Key(w, Qt::Key_F10, Qt::ShiftModifier); // clicks follow, strict and whisper
    EXPECT_FALSE(w->Rec.Strict());
}

// --- Links --------------------------------------------------------------------------

TEST_F(ListWindowTest, EnterHandsTheRecordOnOrDropsDownTheMenu)
{
    TableList& list = DemoKl();
    TVyb* w = NewWindow('N');
    list.OpenIn(*w, "kl: ", Options(45, 'A'));
    SizeForLines(w, 10);
    QTest::keyClicks(w->Edt, "ibu");
    const int32_t record = w->CurAux;
    ASSERT_GT(record, 0);
    EXPECT_EQ(w->LinkValues[1], record);

    Key(w, Qt::Key_Return);
    EXPECT_EQ(dropDowns, (std::vector<int>{4})); // nobody took it
    PublishDataSet(DataSetCode::Devices);
    TANulEdit::ClearPendingKey();
    Key(w, Qt::Key_Return);
    EXPECT_EQ(dropDowns, (std::vector<int>{4, 6}));
    PublishDataSet(DataSetCode::Drugs);

    auto* detail = new dftest::ProbeWindow(PackKindCode("dTL"), "detail");
    detail->LinkKinds[0] = LinkKind::Drug;
    detail->Master = w;
    detail->Show();
    TANulEdit::ClearPendingKey();
    Key(w, Qt::Key_Return);
    EXPECT_EQ(detail->received, (std::vector<int32_t>{record}));
    EXPECT_EQ(dropDowns.size(), 2u);

    // Closing the list takes its offer back.
    w->CloseWindow();
    Settle();
    ASSERT_FALSE(detail->received.empty());
    EXPECT_EQ(detail->received[1], -1);
}

TEST_F(ListWindowTest, ADependentListFollowsItsMasterUntilTypedInto)
{
    TableList& names = DemoKl("klnaz");
    TableList& codes = DemoKl("klkod");
    TVyb* master = NewWindow('N');
    names.OpenIn(*master, "names: ", Options(45, 'A'));
    SizeForLines(master, 10);
    QTest::keyClicks(master->Edt, "simva");
    const int32_t record = master->CurAux;
    ASSERT_GT(record, 0);

    TVyb* detail = NewWindow('K');
    detail->LinkKinds = {LinkKind::Drug, LinkKind::Drug, LinkKind::None};
    detail->Master = master;
    detail->Dependent = true;
    detail->LinkValues[0] = record;
    detail->Rec.LinkValue = record;
    detail->Rec.Command = ActionCode::Reposition;
    codes.OpenIn(*detail, "codes: ", Options(7, '9', "*"));
    SizeForLines(detail, 10);
    EXPECT_EQ(detail->CurAux, record); // positioned on the master's record

    Key(master, Qt::Key_Down);
    const int32_t next = master->CurAux;
    ASSERT_NE(next, record);
    TANulEdit::ClearPendingKey();
    Key(master, Qt::Key_Return);
    EXPECT_EQ(detail->CurAux, next);
    EXPECT_EQ(detail->LinkValues[0], next);

    // Typing detaches it: the master's next choice only reaches LinkValue.
    QTest::keyClicks(detail->Edt, "0");
    EXPECT_FALSE(detail->Dependent);
    EXPECT_FALSE(detail->FnSlave->isChecked());
    const int32_t typed = detail->CurAux;
    Key(master, Qt::Key_Down);
    TANulEdit::ClearPendingKey();
    Key(master, Qt::Key_Return);
    EXPECT_EQ(detail->CurAux, typed);
    EXPECT_EQ(detail->Rec.LinkValue, master->CurAux);
    // Following again repositions on the value it kept.
    detail->FnSlave->click();
    EXPECT_TRUE(detail->Dependent);
    EXPECT_EQ(detail->CurAux, master->CurAux);

    // ResetData(0) only stores the value.
    const int32_t shown = detail->CurAux;
    detail->ResetData(0);
    EXPECT_EQ(detail->CurAux, shown);
    // A negative value detaches an independent list and closes a dependent one.
    detail->Dependent = false;
    detail->ResetData(-1);
    EXPECT_EQ(detail->Master.get(), nullptr);
    EXPECT_FALSE(detail->FnSlave->isEnabled());
    EXPECT_FALSE(detail->Closing());
    detail->Dependent = true;
    detail->ResetData(-1);
    EXPECT_TRUE(detail->Closing());
}

TEST_F(ListWindowTest, ARefillDuringACallbacksModalDialogWaits)
{
    TableList& list = DemoKl();
    std::vector<std::string> order;
    list.onCommand = [&](VybRec& rec, ListAction action) {
        if (action == ListAction::RefillInPlace)
            order.push_back("297");
        if (action != ListAction::PrefixChanged || rec.Prefix != "A")
            return action;
        QDialog dialog;
        QTimer::singleShot(0, &dialog, [&] {
            RefreshListMarks(); // the main window's 297 while the dialog runs
            order.push_back("asked");
            dialog.accept();
        });
        dialog.exec();
        order.push_back("dialog closed");
        return action;
    };
    TVyb* w = NewWindow('N');
    list.OpenIn(*w, "kl: ", Options(45, 'A'));
    SizeForLines(w, 10);
    QTest::keyClicks(w->Edt, "a");
    // The 297 ran after the typing had finished, not inside the callback.
    EXPECT_EQ(order, (std::vector<std::string>{"asked", "dialog closed", "297"}));
    EXPECT_EQ(list.commands.back(), ActionCode::RefillInPlace);
    EXPECT_EQ(w->Rec.Prefix, "A");
    EXPECT_EQ(KamFoldUpper(w->Rec.Rows[w->Tb->CursorRow()].Text.Str().substr(8, 1)), "A");
}

TEST_F(ListWindowTest, UsageCountsOfOpeningChoosingAndClosing)
{
    const uint16_t iF = StatCodeOfText("iF "), oOR = StatCodeOfText("oOR"), oX = StatCodeOfText("oX "),
                   iG = static_cast<uint16_t>(StatCodeOfText("iG ") + (kListKind & 0x1F)),
                   iQ = StatCodeOfText("iQ "), iD = StatCodeOfText("iD ");
    auto count = [&](const std::vector<uint16_t>& v, uint16_t key) {
        return std::count(v.begin(), v.end(), key);
    };

    // A typing list offering drug records: opening, two choices, closing.
    TVyb* a = OpenRows(20, 5);
    EXPECT_EQ(count(counts, kListKind), 1);
    Key(a, Qt::Key_Return);
    EXPECT_EQ(count(durations, iF), 1);
    EXPECT_EQ(count(counts, iG), 1);
    TANulEdit::ClearPendingKey();
    Key(a, Qt::Key_Return);
    EXPECT_EQ(count(counts, oOR), 1);
    EXPECT_EQ(count(durations, iF), 1);
    a->CloseWindow();
    Settle();
    EXPECT_EQ(count(durations, iQ), 1);

    // A cursor list without typing that offers no record: not counted open.
    counts.clear();
    TVyb* b = OpenRows(20, 5, Options(0, 'A'), 'C', LinkKind::None);
    EXPECT_EQ(count(counts, kListKind), 0);
    b->SendAction(ActionCode::Enter);
    b->SendAction(ActionCode::Enter);
    EXPECT_EQ(count(counts, oX), 1);
    EXPECT_EQ(count(counts, oOR), 1);
    // The same offering substance records: counted, choices under "iG ".
    TVyb* c = OpenRows(20, 5, Options(0, 'A'), 'S', LinkKind::Substance);
    EXPECT_EQ(count(counts, kListKind), 1);
    c->SendAction(ActionCode::Enter);
    c->SendAction(ActionCode::Enter);
    EXPECT_EQ(count(counts, iG), 2);

    // No cursor at all: its lifetime counts under "iD ".
    TVyb* d = OpenRows(20, 5, Options(0, ' '), 'X', LinkKind::None);
    EXPECT_EQ(d->Tb->CursorRow(), 0);
    d->CloseWindow();
    Settle();
    EXPECT_EQ(count(durations, iD), 1);
}

TEST_F(ListWindowTest, ScreenshotOfTheDemoListTypedPar)
{
    TableList& list = DemoKl();
    TVyb* w = NewWindow('N');
    list.OpenIn(*w, Kam("Léky: "), Options(45, 'A', "?<=*/)"));
    SizeForLines(w, 24, 860);
    QTest::keyClicks(w->Edt, "par");
    Settle();
    SaveShot(host->grab().toImage(), "list_window_typed_par.png");
}

TEST_F(ListWindowTest, RowHintsFollowTheCursorOfTheActiveListAndDropTogether)
{
    TMyHintWindow hint;
    TMyHintWindow* old = SharedHintWindow();
    SetSharedHintWindow(&hint);
    MemoryList& list = Rows(50);
    list.rowHints = true;
    TVyb* w = NewWindow('K');
    list.OpenIn(*w);
    SizeForLines(w, 8);
    host->area->setActiveSubWindow(w->SubWindow());
    ASSERT_EQ(ActiveDataForm(), w);
    Key(w, Qt::Key_Down);
    EXPECT_TRUE(hint.isVisible());
    EXPECT_EQ(hint.Text(), "Hint of Row 00001");
    Key(w, Qt::Key_Down);
    EXPECT_EQ(hint.Text(), "Hint of Row 00002");
    DropListRowHints(); // the main window on deactivation
    EXPECT_FALSE(hint.isVisible());
    SetSharedHintWindow(old);
}
