// The list window's marked range and its mouse: Shift+Enter, marking by
// dragging (with the list scrolling while the mouse is held above or below
// the rows), clicks on rows and on the tree column, and the hints over cells
// and headings.
//
// Marks are list positions (TVybRow.Pos), so they survive scrolling and
// refills; the grid draws the marked look from MarkFirst and MarkLast
// whenever it paints (ListCellText).

#include <QGuiApplication>
#include <QMouseEvent>
#include <QToolButton>

#include <algorithm>

#include "datastore/kamenici.h"
#include "frame/pages/hint_window.h"
#include "frame/pages/hints.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/list_window.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/ascii.h"

namespace {

// The drag scrolls the list at most this often.
constexpr qint64 kAutoScrollMs = 43;

} // namespace

void TVyb::ToggleMarkRange(int32_t first, int32_t last)
{
    if (first == -1)
        return;
    const int shown = std::min<int>(Tb->VisibleLines(), Rec.RowCount);
    for (int i = 1; i <= shown; ++i) {
        const int32_t p = Rec.Rows[static_cast<size_t>(i)].Pos;
        if (p >= first && p <= last) {
            Tb->Paint();
            return;
        }
    }
}

void TVyb::MarkByKey()
{
    const int32_t c = CurPos;
    if (c < 0)
        return;
    const int32_t first = MarkFirst;
    const int32_t last = MarkLast;
    if (first != -1 && (c == first || c == last)) {
        MarkFirst = MarkLast = -1;
        ToggleMarkRange(first, last);
    } else if (last < 0) {
        MarkFirst = MarkLast = c;
        ToggleMarkRange(c, c);
    } else if (c < first) {
        MarkFirst = c;
        ToggleMarkRange(c, first - 1);
    } else if (c > last) {
        MarkLast = c;
        ToggleMarkRange(last + 1, c);
    } else {
        MoveNearerEndTo(c);
    }
}

void TVyb::MoveNearerEndTo(int32_t c)
{
    const int32_t first = MarkFirst;
    const int32_t last = MarkLast;
    if ((first + last) / 2 < c) {
        MarkLast = c;
        ToggleMarkRange(c + 1, last);
    } else {
        MarkFirst = c;
        ToggleMarkRange(first, c - 1);
    }
}

// ------------------------------------------------------------------ Mouse

void TVyb::MouseD(QMouseEvent* event)
{
    Edt->setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    const Qt::MouseButton button = event->button();
    Act([this, at, button] { MouseDown(at, button); });
}

void TVyb::MouseDown(QPoint at, Qt::MouseButton button)
{
    const int r = Tb->RowAt(at.x(), at.y());
    if (button == Qt::LeftButton) {
        DownRow = r;
        LastDragRow = 0;
        // A press on the heading or below the rows marks nothing.
        Dragging = r >= 1 && r <= Rec.RowCount;
    } else if (button == Qt::RightButton) {
        lastHintCell_ = {0, 255};
        ShowCellHint(at, r);
    }
}

void TVyb::helptab(QMouseEvent* event)
{
    // Hover while a print runs or a callback's dialog is open does nothing;
    // presses and releases wait in the queue instead.
    if (Busy || callbackDepth_ > 0)
        return;
    const QPoint at = event->position().toPoint();
    Act([this, at] {
        const int r = Tb->RowAt(at.x(), at.y());
        if (Dragging)
            DragTo(r, at.y());
        if (FnTips->isChecked() && QGuiApplication::applicationState() == Qt::ApplicationActive)
            ShowCellHint(at, Tb->RowAt(at.x(), at.y()));
    });
}

void TVyb::DragTo(int r, int y)
{
    const auto isRow = [this](int i) { return i >= 1 && i <= Rec.RowCount; };
    // The first move off the pressed row starts a new range there.
    if (DownRow != 0 && r != DownRow) {
        const int32_t first = MarkFirst;
        const int32_t last = MarkLast;
        MarkFirst = MarkLast = -1;
        ToggleMarkRange(first, last);
        MarkFirst = MarkLast = Rec.Rows[static_cast<size_t>(DownRow)].Pos;
        ToggleMarkRange(MarkFirst, MarkLast);
        DownRow = 0;
        LastDragRow = 0;
    }
    if (!isRow(r)) {
        // Over the heading or below the rows the list scrolls toward the
        // mouse, and the range follows the rows that come into view.
        if (!LastAutoScroll.isValid() || LastAutoScroll.elapsed() >= kAutoScrollMs) {
            LastAutoScroll.start();
            const bool down = y >= 2 * LineHeight;
            RunOwnKeyAction(down ? ActionCode::Down : ActionCode::Up);
            ExtendByScroll(down);
        }
        return;
    }
    if (DownRow != 0 || r == LastDragRow)
        return;

    if (MarkFirst == -1 || MarkLast == -1) {
        if (!isRow(LastDragRow)) {
            LastDragRow = r;
            return;
        }
        MarkFirst = MarkLast = Rec.Rows[static_cast<size_t>(LastDragRow)].Pos;
        ToggleMarkRange(MarkFirst, MarkLast);
    }
    const int32_t p = Rec.Rows[static_cast<size_t>(r)].Pos;
    const int32_t first = MarkFirst;
    const int32_t last = MarkLast;
    bool compare = true;
    if (p == first) {
        // Back onto the first row from the one below: the range closes up.
        if (r + 1 == LastDragRow) {
            MarkLast = MarkFirst;
            ToggleMarkRange(last, last);
        } else {
            compare = false;
        }
    } else if (p == last) {
        if (r - 1 == LastDragRow) {
            MarkFirst = MarkLast;
            ToggleMarkRange(first, first);
        } else {
            compare = false;
        }
    }
    if (compare) {
        const int32_t f = MarkFirst;
        const int32_t l = MarkLast;
        if (p < f) {
            MarkFirst = p;
            ToggleMarkRange(p, f - 1);
        } else if (p > l) {
            MarkLast = p;
            ToggleMarkRange(l + 1, p);
        } else if (r + 1 == LastDragRow) {
            MarkLast = p;
            ToggleMarkRange(p + 1, l);
        } else if (r - 1 == LastDragRow) {
            MarkFirst = p;
            ToggleMarkRange(f, p - 1);
        } else {
            MoveNearerEndTo(p);
        }
    }
    // A range of one row is no range.
    if (MarkFirst == MarkLast) {
        const int32_t single = MarkFirst;
        MarkFirst = MarkLast = -1;
        ToggleMarkRange(single, single);
    }
    LastDragRow = r;
}

void TVyb::ExtendByScroll(bool down)
{
    if (MarkFirst == -1 || Rec.RowCount == 0)
        return;
    if (down) {
        const int32_t p = Rec.Rows[Rec.RowCount].Pos;
        if (p < 0 || p == MarkLast)
            return;
        if (p > MarkLast) {
            const int32_t last = MarkLast;
            MarkLast = p;
            ToggleMarkRange(last + 1, p);
        } else {
            const int32_t first = MarkFirst;
            MarkFirst = p;
            ToggleMarkRange(first, p - 1);
        }
        return;
    }
    const int32_t p = Rec.Rows[1].Pos;
    // At the top of the list the first row is the range's own first row.
    if (p < 0 || p == MarkFirst)
        return;
    if (p < MarkFirst) {
        const int32_t first = MarkFirst;
        MarkFirst = p;
        ToggleMarkRange(p, first - 1);
    } else {
        const int32_t last = MarkLast;
        MarkLast = p;
        ToggleMarkRange(p + 1, last);
    }
}

void TVyb::MouseUp(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    Act([this, at] { MouseRelease(at); });
}

void TVyb::MouseRelease(QPoint at)
{
    const bool wasDragging = Dragging;
    Dragging = false;
    const int r = Tb->RowAt(at.x(), at.y());
    // A click: released on the row it was pressed on.
    if (!wasDragging || r != DownRow || r == 0 || r > Tb->VisibleLines() || r > Rec.RowCount)
        return;
    const TVybRow& row = Rec.Rows[static_cast<size_t>(r)];
    int width = 0;
    int left = 0;
    const int cell = Tb->CellAt(at.x(), at.y(), width, left);
    const uint8_t keptCurRow = Rec.CurRow;
    const bool treeClick = Tb->TreeOn() && cell == 255;
    if (treeClick) {
        // The symbol under the mouse: cell k is the k-th character after 255.
        const std::string_view text = row.Text.View();
        const size_t marker = text.find('\xFF');
        char symbol = ' ';
        if (marker != std::string_view::npos && left >= 1 && marker + static_cast<size_t>(left) < text.size())
            symbol = text[marker + static_cast<size_t>(left)];
        Rec.Command = symbol == ' ' ? 0 : static_cast<uint8_t>(symbol);
        Rec.CurRow = static_cast<uint8_t>(r);
    } else {
        if (CursorMode)
            Tb->SetCursor(r);
        LinkValues[1] = row.Offer1;
        LinkValues[2] = row.Offer2;
        CurPos = row.Pos;
        CurAux = row.Aux;
        Rec.CurRow = static_cast<uint8_t>(r);
        Rec.Command = ActionCode::RowClicked;
    }
    HideHint();
    CallCommand();
    if (treeClick)
        Rec.CurRow = keptCurRow;
    switch (Rec.Command) {
    case ActionCode::Enter: ChooseRow(); break;
    case ActionCode::ChooseAndClose:
    case ActionCode::Escape:
    case ActionCode::Refill:
    case ActionCode::RefillInPlace: RunOwnKeyAction(Rec.Command); break;
    case ActionCode::PrefixChanged:
        SyncEditAndCaption();
        FillListRows(FetchModeCode::Seek);
        break;
    default: break;
    }
}

// ------------------------------------------------------------------ Hints

void TVyb::ShowCellHint(QPoint at, int r)
{
    int width = 0;
    int left = 0;
    const int cell = Tb->CellAt(at.x(), at.y(), width, left);
    if (cell == 0 || cell == 255) {
        lastHintCell_ = {0, 255};
        HideHint();
        return;
    }
    if (r < 0 || r > Rec.RowCount) {
        lastHintCell_ = {255, 255};
        HideHint();
        return;
    }
    const std::pair<uint8_t, uint8_t> state{static_cast<uint8_t>(r), static_cast<uint8_t>(cell)};
    if (state == lastHintCell_)
        return;
    lastHintCell_ = state;

    const bool heading = r == 0;
    const TVybRow& row = Rec.Rows[heading ? 1 : static_cast<size_t>(r)];
    const std::string cellText(
        TrimRightBlanks(Tb->GetCellText(heading ? std::string_view(Tb->Header) : row.Text.View(), cell)));
    std::string out = CallInfo(heading ? InfoKind::HeadingHint : InfoKind::CellHint,
                               static_cast<uint8_t>(cell - 1), row, cellText);
    // A missing text-table entry ("!! ...") gives no hint.
    const size_t missing = out.find("!!");
    if (missing != std::string::npos)
        out.resize(missing);
    out = std::string(TrimRightBlanks(out));
    TMyHintWindow* window = SharedHintWindow();
    if (out.empty() || window == nullptr) {
        HideHint();
        return;
    }
    const QString shown = KamToQString(out);
    const QRect need = window->CalcHintRect(std::max(1, Tb->width() - left), shown);
    // The cell already shows it all.
    if (need.width() < width + 5 && need.height() < Tb->RowHeight() + 5 && out == cellText) {
        HideHint();
        return;
    }
    const int line = (at.y() - 2) / std::max(1, Tb->RowHeight());
    window->ShowHint(Tb->mapToGlobal(QPoint(left, line * Tb->RowHeight())), shown);
    HintShown = true;
}
