// Marking rows of a list: Shift+Enter and dragging, driven by Qt Test key
// events and mouse events on the grid, with the marked range checked after
// each step; clicks on rows and on the tree column; cell and heading hints.

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include <sstream>

#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "lists/list_fake.h"

using namespace listfake;
using liststest::Settle;

namespace {

class ListOutputMarking : public FakeListTest {
protected:
    // A point inside grid row r; "H" the heading, "B" below the rows.
    static QPoint RowPoint(TVyb* w, const std::string& where)
    {
        const int rh = w->Tb->RowHeight();
        if (where == "H")
            return {20, 2 + rh / 2};
        if (where == "B")
            return {20, w->Tb->height() + 3 * rh};
        const QRect rect = w->Tb->RowRect(std::stoi(where));
        return rect.center();
    }

    static void Mouse(TVyb* w, QEvent::Type type, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, QPointF(at), w->Tb->mapToGlobal(QPointF(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
        QCoreApplication::sendEvent(w->Tb, &e);
    }

    // Runs one step of the little language of the table below.
    void Step(TVyb* w, const std::string& token)
    {
        const char op = token[0];
        const std::string arg = token.substr(1);
        if (token == "M") {
            QTest::keyClick(w->Edt, Qt::Key_Return, Qt::ShiftModifier);
        } else if (token == "PgDn") {
            QTest::keyClick(w->Edt, Qt::Key_PageDown);
        } else if (token == "W") {
            QWheelEvent e(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(w, &e);
        } else if (op == 'D' || op == 'U') {
            for (int i = 0; i < std::stoi(arg); ++i)
                QTest::keyClick(w->Edt, op == 'D' ? Qt::Key_Down : Qt::Key_Up);
        } else if (op == 'T') {
            QTest::keyClicks(w->Edt, QString::fromStdString(arg));
        } else if (op == 'P') {
            mouseAt_ = RowPoint(w, arg);
            Mouse(w, QEvent::MouseButtonPress, mouseAt_);
        } else if (op == 'V') {
            mouseAt_ = RowPoint(w, arg);
            Mouse(w, QEvent::MouseMove, mouseAt_);
        } else if (op == 'R') {
            Mouse(w, QEvent::MouseButtonRelease, mouseAt_);
        } else if (op == 'S') {
            QTest::qWait(50); // past the drag's scrolling pause
        } else {
            FAIL() << "unknown step " << token;
        }
    }

    QPoint mouseAt_;
};

} // namespace

// Steps: M Shift+Enter, D/U n arrow keys, PgDn, W wheel down, T typed text,
// P/V/R press, move, release over a grid row (H heading, B below the rows),
// S wait.  Rows show positions r - 1 while the list is at its top.
TEST_F(ListOutputMarking, ShiftEnterAndDraggingMarkTheRanges)
{
    FakeList& list = List(NumberedRows(200));
    TVyb* w = Open(list, 10);
    host->area->setActiveSubWindow(w->SubWindow());
    constexpr int32_t kLastDrawn = -2; // the last drawn row's position
    const struct {
        const char* steps;
        int32_t first, last;
    } cases[] = {
        {"M", 0, 0},    // at position 0
        {"D3 M", 0, 3}, // after the range
        {"M", -1, -1},  // on its last row
        {"D7 M", 10, 10},
        {"D10 M", 10, 20},
        {"U4 M", 10, 16}, // inside, nearer the end
        {"D4 M", 10, 20},
        {"U5 M", 15, 20}, // inside, at the middle
        {"U7 M", 8, 20},  // before the range
        {"M", -1, -1},    // on its first row
        {"M", 8, 8},
        {"T0", -1, -1}, // typing clears the range
        {"M", 0, 0},
        {"PgDn PgDn W U20", 0, 0}, // scrolling keeps it
        {"T0", -1, -1},
        {"P3 V4", 2, 3}, // a drag down
        {"V5 V6", 2, 5},
        {"V5", 2, 4}, // back up
        {"V4", 2, 3},
        {"V3", -1, -1}, // back on the pressed row: no range
        {"V2", 1, 2},
        {"R", 1, 2},     // a drag is no click
        {"P5 VH", 0, 4}, // onto the heading: the range reaches the top
        {"R", 0, 4},
        {"PB V3 V6 R", 0, 4},       // a press below the rows marks nothing
        {"S P8 VB", 7, kLastDrawn}, // past the last row
        {"S VB S VB S VB S VB S VB S VB S VB S VB S VB S VB", 7, kLastDrawn},
        {"R", 7, kLastDrawn},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        std::istringstream steps(c.steps);
        std::string token;
        while (steps >> token)
            Step(w, token);
        const int32_t lastDrawn = w->Rec.Rows[w->Rec.RowCount].Pos;
        EXPECT_EQ(w->MarkFirst, c.first);
        EXPECT_EQ(w->MarkLast, c.last == kLastDrawn ? lastDrawn : c.last);
    }
    // The drag below the rows scrolled the list on.
    EXPECT_GT(w->MarkLast, 9);
}

TEST_F(ListOutputMarking, MarkedRowsShowTheMarkedLookWherePositionsAreCached)
{
    FakeList& list = List(NumberedRows(100));
    TVyb* w = Open(list, 10);
    QTest::keyClick(w->Edt, Qt::Key_Down);
    QTest::keyClick(w->Edt, Qt::Key_Return, Qt::ShiftModifier);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w->Edt, Qt::Key_Down);
    QTest::keyClick(w->Edt, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_EQ(w->MarkFirst, 1);
    ASSERT_EQ(w->MarkLast, 4);
    for (int step = 0; step < 2; ++step) {
        // The grid draws marked rows from state: the status character's bit 7
        // turned over for exactly the rows in the range.
        for (int r = 1; r <= w->Rec.RowCount; ++r) {
            std::string text;
            w->Tb->CellText(static_cast<uint8_t>(r), text);
            const int32_t pos = w->Rec.Rows[static_cast<size_t>(r)].Pos;
            const bool marked = pos >= 1 && pos <= 4;
            EXPECT_EQ((static_cast<uint8_t>(text[0]) & 0x80) != 0, marked) << "row " << r << " at " << pos;
        }
        // Scrolled away and back, the same rows are marked again.
        QTest::keyClick(w->Edt, Qt::Key_PageDown);
        QTest::keyClick(w->Edt, Qt::Key_PageDown);
        QTest::keyClick(w->Edt, Qt::Key_Home);
    }
    liststest::SaveShot(w->grab().toImage(), "list_marked_rows.png");
}

TEST_F(ListOutputMarking, ARowClickSends300AndATreeClickItsSymbol)
{
    std::vector<FakeRow> rows = NumberedRows(20);
    for (FakeRow& r : rows)
        r.tree = "+ ";
    FakeList& list = List(rows);
    list.header = RowText({0, "Kod", "Nazev", {}}) + "\xFF--";
    TVyb* w = Open(list, 8, Options(7, '9', "<"));
    const auto click = [&](QPoint at) {
        Mouse(w, QEvent::MouseButtonPress, at);
        Mouse(w, QEvent::MouseButtonRelease, at);
    };

    list.commands.clear();
    click(w->Tb->RowRect(4).center());
    ASSERT_FALSE(list.commands.empty());
    EXPECT_EQ(list.commands.back(), ActionCode::RowClicked);
    EXPECT_EQ(w->CurPos, 3);
    EXPECT_EQ(w->Tb->CursorRow(), 4);
    EXPECT_EQ(w->LinkValues[1], 4); // the row's offer
    EXPECT_EQ(w->MarkFirst, -1);

    w->FnTree->click();
    ASSERT_TRUE(w->Tb->TreeOn());
    const int cell = w->Tb->RowHeight() - 2;
    const int y = w->Tb->RowRect(2).center().y();
    const struct {
        int symbolCell;
        uint16_t command;
    } treeCases[] = {{1, '+'}, {2, 0}};
    for (const auto& c : treeCases) {
        list.commands.clear();
        const int keptCurRow = w->Rec.CurRow;
        click(QPoint(cell * (c.symbolCell - 1) + cell / 2, y));
        ASSERT_EQ(list.commands.size(), 1u) << c.symbolCell;
        EXPECT_EQ(list.commands[0], c.command) << c.symbolCell;
        EXPECT_EQ(w->Rec.CurRow, keptCurRow) << "restored after the callback";
    }
}

TEST_F(ListOutputMarking, CellHintsAnswerTheCellUnderTheMouse)
{
    TMyHintWindow hint;
    TMyHintWindow* old = SharedHintWindow();
    SetSharedHintWindow(&hint);
    FakeList& list = List(NumberedRows(20));
    list.cellHints = true;
    TVyb* w = Open(list, 8, Options(7, '9', "?"));
    host->activateWindow();
    host->area->setActiveSubWindow(w->SubWindow());
    w->FnTips->setChecked(true);
    Settle();
    const auto move = [&](QPoint at) {
        QMouseEvent e(QEvent::MouseMove, QPointF(at), w->Tb->mapToGlobal(QPointF(at)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w->Tb, &e);
    };
    const QRect row3 = w->Tb->RowRect(3);
    const int nameX = w->Tb->width() / 2;
    const int rh = w->Tb->RowHeight();
    const struct {
        const char* where;
        QPoint at;
        const char* shown; // nullptr: hidden
    } cases[] = {
        {"a name cell", {nameX, row3.center().y()}, "Cell 1: Name 2"},
        {"a code cell, its own text", {8, row3.center().y()}, nullptr},
        {"the code heading", {8, 2 + rh / 2}, "Code of the product"},
        {"a heading without a text", {nameX, 2 + rh / 2}, nullptr},
        {"right of the columns", {w->Tb->width() + 5, row3.center().y()}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        hint.HideHint();
        move(c.at);
        EXPECT_EQ(hint.isVisible(), c.shown != nullptr);
        if (c.shown != nullptr) {
            EXPECT_EQ(hint.Text(), QString::fromUtf8(c.shown));
        }
    }
    // The tips button up: no cell hints.
    w->FnTips->setChecked(false);
    hint.HideHint();
    move(QPoint(nameX, w->Tb->RowRect(5).center().y()));
    EXPECT_FALSE(hint.isVisible());
    SetSharedHintWindow(old);
}
