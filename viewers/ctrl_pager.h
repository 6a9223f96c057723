#pragma once
// A rich text shown in a page's text area with the page's own scroll bar:
// the scroll position (a line and a wrapped row within it), the last page,
// scrolling by rows and by pixels, the thumb and its drag, painting, hit
// testing and printing.  The help page and the classification page each own
// one; what a click or a key means stays with the page.
//
// And the history of visited topics or codes: one class, one instance per
// page kind.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "platform/gui/canvas.h"
#include "viewers/ctrl_view.h"

class PrintJob;

class CtrlTextPager {
public:
    CtrlTextView view;

    // The text area, the scroll-bar column and the margin on every side of
    // the text.  Call Measure after a change of the text area's width.
    void SetGeometry(const Rect& text, const Rect& bar, int margin);
    const Rect& TextRect() const { return text_; }
    const Rect& BarRect() const { return bar_; }
    int Margin() const { return margin_; }
    // Rows a page counts for the thumb's length (the page says).
    void SetRowsPerPage(int rows) { rowsPerPage_ = rows; }
    int RowsPerPage() const { return rowsPerPage_; }

    // Lays the view's text out, measures it for the text area and goes to
    // line 1, row 0.  The layout result.
    int Show();
    // Measures the view for the text area's width less two margins and finds
    // the last page; the total height.
    int32_t Measure();

    // --- Position --------------------------------------------------------
    int Line() const { return line_; }
    int Row() const { return row_; }
    // Clamped to the text: line 1..N, row 0..its rows - 1.
    void SetPosition(int line, int row);
    // The first line of the last page: the smallest L whose lines L..N fit
    // the text area less two margins; at least 1.
    int LastPageLine() const { return lastPage_; }
    bool OnLastPage() const { return line_ > lastPage_ || (line_ == lastPage_ && row_ == 0); }
    // The whole text fits the text area.
    bool FitsOnePage() const { return lastPage_ <= 1; }
    int64_t TotalRows() const { return view.totalRows; }
    // Rows above the position.
    int64_t RowsAbove() const;

    // Scrolling; false when the position did not change.  Up stops at line
    // 1 row 0, down at the last page's first line, row 0.
    bool ScrollRows(int rows);     // positive: down
    bool ScrollPixels(int pixels); // positive: down; each line counts height div rows per row
    bool GoHome();
    bool GoEnd();

    // --- Scroll bar --------------------------------------------------------
    struct Thumb {
        int arrow = 0; // the arrow squares' size (the bar's width)
        int track = 0; // bar height - 2 arrows - 4
        bool shown = false;
        int top = 0; // in page coordinates
        int height = 0;
    };
    Thumb ThumbGeometry() const;
    // Starts a drag when the point is on the thumb.
    bool BeginDrag(Point p);
    void EndDrag() { dragging_ = false; }
    bool Dragging() const { return dragging_; }
    // Follows the mouse's y while dragging, when it moved 2 pixels or more
    // since the last step; true when the position was set.
    bool DragTo(int y);

    // The scrolling events of a page: the wheel (3 rows), PageUp and PageDown
    // (`pageStep` pixels), End, Home, Up and Down (a row), and a mouse
    // button change (a press on the thumb, `onBar`, starts a drag; a release
    // ends one).  NotScrolling for any other code.
    enum class EventResult { NotScrolling, Moved, Stayed };
    EventResult HandleScrollEvent(int32_t code, Point mouse, uint8_t mouseButtons, bool onBar, int pageStep);

    // --- Painting -----------------------------------------------------------
    // The text area: background, then the lines from the position down.
    void PaintText(Canvas& canvas);
    // The scroll bar: background, raised arrow squares with triangles (grey
    // when the text fits), the thumb.
    void PaintScrollBar(Canvas& canvas) const;

    // The line and the offset in it of the character under the point (the
    // line's length past its end); false outside the text.
    bool HitTest(Point p, int& line, int& offset);

    // Prints from the position to the text's end in the job (begun and ended
    // here) with the font, on new pages from the first row that did not fit,
    // at most `maxPages` pages (0: all); the view is measured for the screen
    // again afterwards.  False with the reason when the job cannot start.
    bool Print(PrintJob& job, const CanvasFont& printFont, std::string& error, int maxPages = 0);

private:
    // Pixels per row of a line (at least 1).
    int PixelsPerRow(int line) const;
    int RowsOf(int line) const;
    void FindLastPage();
    void SetRowPosition(int64_t target);

    Rect text_;
    Rect bar_;
    int margin_ = 4;
    int rowsPerPage_ = 0;
    int line_ = 1;
    int row_ = 0;
    int lastPage_ = 1;
    bool dragging_ = false;
    int dragStartY_ = 0;
    int dragThumbTop_ = 0;
    int dragLastY_ = 0;
};

// A page's Ctrl+P: ends a running job, runs the print dialog and, when it
// is confirmed, prints the pager's text from its position in the shared job
// titled "Hlasky.TiskJob"; a job that cannot start shows "Chyby.NoPrint".
// The view goes back to the screen canvas.  True when something was printed.
bool PrintPagerText(CtrlTextPager& pager, Canvas* screen, const std::function<bool()>& printSetup,
                    const CanvasFont& printFont, int maxPages = 0);

// The visited topics (or codes) of a page kind: where each was left, newest
// last.  At most 255 entries: a push beyond drops the oldest.
class TopicHistory {
public:
    static constexpr int kMaxEntries = 255;
    static constexpr size_t kMaxName = 51;

    struct Entry {
        int line = 1;
        int row = 0;
        std::string name; // at most 51 characters
    };

    void Push(int line, int row, std::string_view name);
    // The newest entry, removed; false when there is none.
    bool Pop(Entry& out);
    int Count() const { return static_cast<int>(entries_.size()); }
    bool Empty() const { return entries_.empty(); }
    void Clear() { entries_.clear(); }

private:
    std::deque<Entry> entries_;
};

// The help page's history, one for the whole run.
TopicHistory& HelpHistory();
