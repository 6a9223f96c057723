#include "viewers/ctrl_pager.h"

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/pages/page.h"
#include "frame/windows/data_form.h"
#include "platform/gui/print_job.h"

// ---------------------------------------------------------------- geometry

void CtrlTextPager::SetGeometry(const Rect& text, const Rect& bar, int margin)
{
    text_ = text;
    bar_ = bar;
    margin_ = margin;
}

int CtrlTextPager::Show()
{
    const int r = LayoutCtrlText(view);
    line_ = 1;
    row_ = 0;
    dragging_ = false;
    Measure();
    return r;
}

int32_t CtrlTextPager::Measure()
{
    const int32_t width = std::max(text_.Width() - 2 * margin_, 1);
    const int32_t h = MeasureCtrlText(view, width);
    FindLastPage();
    SetPosition(line_, row_);
    return h;
}

int CtrlTextPager::RowsOf(int line) const
{
    if (line < 1 || line > view.lineCount)
        return 1;
    return std::max<int>(view.lines[static_cast<size_t>(line - 1)].rows, 1);
}

int CtrlTextPager::PixelsPerRow(int line) const
{
    if (line < 1 || line > view.lineCount)
        return 1;
    const CtrlLineRecord& r = view.lines[static_cast<size_t>(line - 1)];
    return std::max<int>(r.height / std::max<int>(r.rows, 1), 1);
}

void CtrlTextPager::FindLastPage()
{
    const int64_t room = int64_t(text_.Height()) - 2 * margin_;
    int64_t sum = 0;
    int first = view.lineCount + 1;
    for (int l = view.lineCount; l >= 1; --l) {
        sum += view.lines[static_cast<size_t>(l - 1)].height;
        if (sum > room)
            break;
        first = l;
    }
    lastPage_ = std::clamp(first, 1, std::max(view.lineCount, 1));
}

void CtrlTextPager::SetPosition(int line, int row)
{
    line_ = std::clamp(line, 1, std::max(view.lineCount, 1));
    row_ = std::clamp(row, 0, RowsOf(line_) - 1);
}

int64_t CtrlTextPager::RowsAbove() const
{
    int64_t n = 0;
    for (int l = 1; l < line_ && l <= view.lineCount; ++l)
        n += std::max<int>(view.lines[static_cast<size_t>(l - 1)].rows, 1);
    return n + row_;
}

// --------------------------------------------------------------- scrolling

namespace {

// One row down (false at the end), or up (false at line 1, row 0).
bool StepDown(int& line, int& row, int rows, int lineCount)
{
    if (row + 1 < rows) {
        ++row;
        return true;
    }
    if (line < lineCount) {
        ++line;
        row = 0;
        return true;
    }
    return false;
}

} // namespace

bool CtrlTextPager::ScrollRows(int rows)
{
    const int oldLine = line_;
    const int oldRow = row_;
    if (rows > 0) {
        for (int i = 0; i < rows && !OnLastPage(); ++i)
            if (!StepDown(line_, row_, RowsOf(line_), view.lineCount))
                break;
        if (line_ > lastPage_ || (line_ == lastPage_ && row_ > 0)) {
            line_ = lastPage_;
            row_ = 0;
        }
    } else {
        for (int i = 0; i < -rows; ++i) {
            if (row_ > 0) {
                --row_;
            } else if (line_ > 1) {
                --line_;
                row_ = RowsOf(line_) - 1;
            } else {
                break;
            }
        }
    }
    return line_ != oldLine || row_ != oldRow;
}

bool CtrlTextPager::ScrollPixels(int pixels)
{
    const int oldLine = line_;
    const int oldRow = row_;
    int64_t left = pixels > 0 ? pixels : -int64_t(pixels);
    while (left > 0) {
        const int ppr = PixelsPerRow(line_);
        if (!ScrollRows(pixels > 0 ? 1 : -1))
            break;
        left -= ppr;
    }
    return line_ != oldLine || row_ != oldRow;
}

bool CtrlTextPager::GoHome()
{
    if (line_ == 1 && row_ == 0)
        return false;
    line_ = 1;
    row_ = 0;
    return true;
}

bool CtrlTextPager::GoEnd()
{
    if (line_ == lastPage_ && row_ == 0)
        return false;
    line_ = lastPage_;
    row_ = 0;
    return true;
}

// --------------------------------------------------------------- scroll bar

CtrlTextPager::Thumb CtrlTextPager::ThumbGeometry() const
{
    Thumb t;
    t.arrow = bar_.Width();
    t.track = bar_.Height() - 2 * t.arrow - 4;
    const int64_t total = TotalRows();
    if (FitsOnePage() || total <= 0 || t.track <= 0)
        return t;
    t.shown = true;
    t.height = static_cast<int>(std::clamp<int64_t>(int64_t(std::max(rowsPerPage_, 0)) * t.track / total,
                                                    t.arrow, std::max(t.track, t.arrow)));
    const int bottomTop = bar_.bottom - t.arrow - 2 - t.height;
    int top = static_cast<int>(bar_.top + t.arrow + int64_t(t.track) * RowsAbove() / total + 2);
    if (OnLastPage())
        top = bottomTop;
    t.top = std::clamp(top, bar_.top + t.arrow + 2, std::max(bottomTop, bar_.top + t.arrow + 2));
    return t;
}

bool CtrlTextPager::BeginDrag(Point p)
{
    const Thumb t = ThumbGeometry();
    if (!t.shown || p.x < bar_.left || p.x >= bar_.right || p.y < t.top || p.y >= t.top + t.height)
        return false;
    dragging_ = true;
    dragStartY_ = p.y;
    dragThumbTop_ = t.top;
    dragLastY_ = p.y;
    return true;
}

void CtrlTextPager::SetRowPosition(int64_t target)
{
    int line = 1;
    while (line < view.lineCount && target >= RowsOf(line)) {
        target -= RowsOf(line);
        ++line;
    }
    int row = static_cast<int>(std::clamp<int64_t>(target, 0, RowsOf(line) - 1));
    if (line > lastPage_ || (line == lastPage_ && row > 0)) {
        line = lastPage_;
        row = 0;
    }
    line_ = std::max(line, 1);
    row_ = row;
}

bool CtrlTextPager::DragTo(int y)
{
    if (!dragging_ || std::abs(y - dragLastY_) < 2)
        return false;
    dragLastY_ = y;
    const Thumb t = ThumbGeometry();
    if (!t.shown || t.track <= 0) {
        dragging_ = false;
        return false;
    }
    const int minTop = bar_.top + t.arrow + 2;
    const int maxTop = std::max(minTop, bar_.bottom - t.arrow - 2 - t.height);
    const int top = std::clamp(dragThumbTop_ + (y - dragStartY_), minTop, maxTop);
    // The thumb is shorter than the share of a page, so its lowest place
    // would stop short of the end: there it shows the last page.
    if (top >= maxTop) {
        line_ = lastPage_;
        row_ = 0;
        return true;
    }
    SetRowPosition(int64_t(top - minTop) * TotalRows() / t.track);
    return true;
}

CtrlTextPager::EventResult CtrlTextPager::HandleScrollEvent(int32_t code, Point mouse, uint8_t mouseButtons,
                                                            bool onBar, int pageStep)
{
    bool moved = false;
    switch (code) {
    case PageEvent::WheelUp: moved = ScrollRows(-3); break;
    case PageEvent::WheelDown: moved = ScrollRows(3); break;
    case PageKey::PageUp: moved = ScrollPixels(-pageStep); break;
    case PageKey::PageDown: moved = ScrollPixels(pageStep); break;
    case PageKey::End: moved = GoEnd(); break;
    case PageKey::Home: moved = GoHome(); break;
    case PageKey::Up: moved = ScrollRows(-1); break;
    case PageKey::Down: moved = ScrollRows(1); break;
    case PageEvent::ButtonChange:
        if (onBar && (mouseButtons & 1) != 0) {
            moved = BeginDrag(mouse);
        } else if ((mouseButtons & 1) == 0 && dragging_) {
            EndDrag();
            moved = true;
        }
        break;
    default: return EventResult::NotScrolling;
    }
    return moved ? EventResult::Moved : EventResult::Stayed;
}

// ----------------------------------------------------------------- painting

void CtrlTextPager::PaintText(Canvas& canvas)
{
    view.canvas = &canvas;
    canvas.SetBrush(view.colours.background, BrushStyle::Solid);
    canvas.FillRect(text_);
    if (view.lineCount <= 0)
        return;
    canvas.SetClipRect(text_);
    Rect r{text_.left + margin_, text_.top + margin_, text_.right - margin_, text_.bottom - margin_};
    const int first = std::clamp(line_, 1, view.lineCount);
    for (int l = first; l <= view.lineCount && r.top < r.bottom; ++l) {
        CtrlPaintRequest req{l, l == first ? row_ : 0, 0};
        PaintCtrlText(view, req, {}, r);
    }
    canvas.ResetClip();
}

void CtrlTextPager::PaintScrollBar(Canvas& canvas) const
{
    canvas.SetPen(SysColour::ScrollBar, 0);
    canvas.SetBrush(SysColour::ScrollBar, BrushStyle::Solid);
    canvas.FillRect(bar_);
    const int s = bar_.Width();
    if (s <= 0 || bar_.IsEmpty())
        return;
    const Colour arrow = FitsOnePage() ? SysColour::GrayText : SysColour::BtnText;
    const Rect up{bar_.left, bar_.top, bar_.right, bar_.top + s};
    const Rect down{bar_.left, bar_.bottom - s, bar_.right, bar_.bottom};
    DrawScrollBarPart(canvas, up);
    DrawScrollBarArrow(canvas, up, s, true, arrow);
    DrawScrollBarPart(canvas, down);
    DrawScrollBarArrow(canvas, down, s, false, arrow);
    const Thumb t = ThumbGeometry();
    if (t.shown)
        DrawScrollBarPart(canvas, {bar_.left, t.top, bar_.right, t.top + t.height});
}

bool CtrlTextPager::HitTest(Point p, int& line, int& offset)
{
    if (view.lineCount <= 0 || view.canvas == nullptr || !text_.ContainsStrictly(p))
        return false;
    Rect r{text_.left + margin_, text_.top + margin_, text_.right - margin_, text_.bottom - margin_};
    const int first = std::clamp(line_, 1, view.lineCount);
    for (int l = first; l <= view.lineCount && r.top < text_.bottom; ++l) {
        CtrlPaintRequest req{l, CtrlPaintMode::HitTest, l == first ? row_ : 0};
        PaintCtrlText(view, req, p, r);
        if (p.y < r.top) {
            line = l;
            offset = req.mode;
            return true;
        }
    }
    return false;
}

// ----------------------------------------------------------------- printing

bool CtrlTextPager::Print(PrintJob& job, const CanvasFont& printFont, std::string& error, int maxPages)
{
    if (!job.Begin(error))
        return false;
    Canvas* screen = view.canvas;
    const CanvasFont screenFont = view.font;
    Canvas& paper = job.Surface();
    view.canvas = &paper;
    view.font = printFont;
    const int pageWidth = job.PageWidth();
    const int pageHeight = job.PageHeight();
    MeasureCtrlText(view, pageWidth);

    int line = std::clamp(line_, 1, std::max(view.lineCount, 1));
    int row = line == line_ ? row_ : 0;
    int y = 0;
    int pages = 1;
    while (line <= view.lineCount) {
        const CtrlLineRecord& rec = view.lines[static_cast<size_t>(line - 1)];
        const int rows = std::max<int>(rec.rows, 1);
        // Where the line's rows lie: after its space above, one row height each.
        int above = 0;
        int lh = view.lineHeight;
        if (!CtrlLineKind::IsTableRow(rec.kind)) {
            const ParagraphStyle& st = view.styles[rec.kind & 0x0F];
            above = st.above * view.lineHeight / 16;
            if (st.type >= 1 && st.type <= 3)
                lh = (view.lineHeight * (8 + st.type)) >> 3;
        }
        lh = std::max(lh, 1);
        int fit = (pageHeight - y - above) / lh;
        if (fit <= 0 && y == 0)
            fit = 1; // a row taller than the page: it goes on a page of its own
        Rect r{0, y, pageWidth, pageHeight};
        CtrlPaintRequest req{line, row, 0};
        if (fit >= rows - row) {
            PaintCtrlText(view, req, {}, r);
            y = r.top;
            ++line;
            row = 0;
            continue;
        }
        if (fit > 0) {
            paper.SetClipRect({0, 0, pageWidth, std::min(pageHeight, y + above + fit * lh)});
            PaintCtrlText(view, req, {}, r);
            paper.ResetClip();
            row += fit;
        }
        if (maxPages > 0 && pages >= maxPages)
            break;
        ++pages;
        job.NewPage();
        y = 0;
    }
    const bool ended = job.End();
    view.canvas = screen;
    view.font = screenFont;
    Measure();
    if (!ended)
        error = "the printer reported a failure";
    return true;
}

bool PrintPagerText(CtrlTextPager& pager, Canvas* screen, const std::function<bool()>& printSetup,
                    const CanvasFont& printFont, int maxPages)
{
    EndPrintJob();
    if (!printSetup || !printSetup())
        return false;
    PrintJob& job = CurrentPrintJob();
    job.SetTitle(KamToQString(LookupText(UiTexts, "Hlasky", "TiskJob")));
    std::string error;
    const bool printed = pager.Print(job, printFont, error, maxPages);
    if (!printed)
        ShowError(LookupText(UiTexts, "Chyby", "NoPrint") + QStringToKam(QString::fromStdString(error)));
    pager.view.canvas = screen;
    return printed;
}

// ------------------------------------------------------------------ history

void TopicHistory::Push(int line, int row, std::string_view name)
{
    if (static_cast<int>(entries_.size()) >= kMaxEntries)
        entries_.pop_front();
    entries_.push_back({line, row, std::string(name.substr(0, std::min(name.size(), kMaxName)))});
}

bool TopicHistory::Pop(Entry& out)
{
    if (entries_.empty())
        return false;
    out = std::move(entries_.back());
    entries_.pop_back();
    return true;
}

TopicHistory& HelpHistory()
{
    static TopicHistory history;
    return history;
}
