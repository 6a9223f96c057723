// Painting, measuring and hit-testing one line of the rich-text engine, and
// the canvas primitives it draws with.

#include <algorithm>

#include "datastore/kamenici.h"
#include "viewers/ctrl_view.h"

// ------------------------------------------------------------- primitives

namespace {

// Display bytes of data text: hard blanks are blanks.
std::string Shown(std::string_view text)
{
    std::string s = KamToWin(text);
    for (char& c : s)
        if (static_cast<uint8_t>(c) == 0xA0)
            c = ' ';
    return s;
}

} // namespace

int CtrlTextWidth(Canvas& canvas, std::string_view text)
{
    return text.empty() ? 0 : canvas.TextWidth(Shown(text));
}

void CtrlTextOut(Canvas& canvas, int x, int y, std::string_view text)
{
    if (!text.empty())
        canvas.TextOut(x, y, Shown(text));
}

void DrawBullet(Canvas& canvas, int x, int y)
{
    canvas.TextOut(x, y, "\x95");
}

void DrawLineSeg(Canvas& canvas, const Rect& r)
{
    canvas.MoveTo(r.left, r.top);
    canvas.LineTo(r.right, r.bottom);
}

void SetFontColour(Canvas& canvas, Colour colour)
{
    canvas.SetFontColour(colour & 0xFFFFFF);
}

void SetBrushColour(Canvas& canvas, Colour colour)
{
    canvas.SetBrush(colour & 0xFFFFFF, BrushStyle::Solid);
}

int SetTextStyle(Canvas& canvas, int flags, int size, int lineHeight, Colour normal, Colour highlight)
{
    const CtrlFontFlags f = FontFlagsOf(flags);
    canvas.SetBold(f.bold);
    canvas.SetItalic(f.italic);
    canvas.SetUnderline(f.underline);
    SetBrushColour(canvas, f.highlight ? highlight : normal);
    if (f.superscript) {
        canvas.SetFontSize(3 * size / 4);
        return -(lineHeight / 10);
    }
    if (f.subscript) {
        canvas.SetFontSize(3 * size / 4);
        return 2 * lineHeight / 5;
    }
    canvas.SetFontSize(size);
    return 0;
}

// ---------------------------------------------------------------- painter

namespace {

struct CellStyle {
    ParagraphStyle style;
    int padding = 0;
    int rule = 0; // 252..255 in a ruled table, else 0
};

// A cell attribute as a style (ApplyCellAttr).
CellStyle ApplyCellAttr(int attr, bool ruled, int unit)
{
    CellStyle c;
    switch (CellAlignment(attr)) {
    case 1: c.style.align = 2; break;
    case 2: c.style.align = 1; break;
    case 3:
        c.style.align = 1;
        c.padding = 3 * unit;
        break;
    case 4:
        c.style.align = 1;
        c.padding = 6 * unit;
        break;
    case 5:
        c.style.firstIndent = 3;
        c.style.nextIndent = 3;
        break;
    default: break;
    }
    if (ruled)
        c.rule = 252 + ((attr & 0x080) ? 2 : 0) + ((attr & 0x100) ? 1 : 0);
    return c;
}

// The state of painting one line.
class LinePainter {
public:
    LinePainter(CtrlTextView& v, const CtrlPaintRequest& req, Point point)
        : v_(v), c_(*v.canvas), mode_(req.mode), point_(point)
    {
        drawing_ = mode_ >= 0;
        hitting_ = mode_ == CtrlPaintMode::HitTest;
        fromRow_ = drawing_ ? mode_ : hitting_ ? std::max(req.fromRow, 0) : 0;
    }

    void Paint(int line, Rect& rect, CtrlPaintRequest& req);

private:
    int PaintTableRow(CtrlLineRecord& rec, const Rect& rect);
    int PaintParagraph(CtrlLineRecord& rec, const Rect& rect);
    // Paints (or hit-tests) one paragraph or cell; the bottom of its rows.
    // Inactive: only the rows' room (a ruled cell's rules included).
    int PaintCtrlTextSegment(int start, int left, int right, int top, const CellStyle& cell, int flags,
                             const std::vector<CtrlWrapRow>& rows, bool active);
    void DrawRunWithHits(int x, int y, std::string_view run);
    // In hit-test mode: whether the point lies on this run (the hit is then set).
    bool CtrlHitRun(int runStart, std::string_view run, int x, int y, int lineHeight);
    // The segment's rows, from the view's cache when it has them.
    std::vector<CtrlWrapRow> Wrap(int start, int left, int right, const CtrlSegmentStyle& seg, int* segEnd)
    {
        if (const CtrlLayoutCache::Segment* known = v_.cache.Rows(line_, start, right - left)) {
            if (segEnd)
                *segEnd = known->end;
            return known->rows;
        }
        int end = 0;
        std::vector<CtrlWrapRow> rows =
            WrapCtrlTextSegment(c_, text_, start, left, right, seg, &end, &v_.cache);
        if (segEnd)
            *segEnd = end;
        v_.cache.StoreRows(line_, start, right - left, {rows, end});
        return rows;
    }
    // A run's width, blanks included, through the view's cache.
    int RunWidth(std::string_view run)
    {
        const CanvasFont& f = c_.Font();
        // Style bit 4 keeps these apart from the wrap's widths, which drop
        // trailing blanks.
        const int style = (f.bold ? 1 : 0) | (f.italic ? 2 : 0) | 4;
        const int known = v_.cache.PieceWidth(f.size, style, run);
        if (known >= 0)
            return known;
        const int w = CtrlTextWidth(c_, run);
        v_.cache.StorePieceWidth(f.size, style, run, w);
        return w;
    }
    void Hit(int offset)
    {
        hit_ = true;
        hitOffset_ = offset;
    }
    bool RowShown(int row) const { return row >= fromRow_; }

    CtrlTextView& v_;
    Canvas& c_;
    int mode_;
    Point point_;
    bool drawing_ = false;
    bool hitting_ = false;
    int fromRow_ = 0;
    std::string text_; // the line's bytes and a closing 0
    int size_ = 10;    // the line's font size
    bool bold_ = false;
    int unit_ = 0;
    int lh_ = 0;
    Colour background_ = 0xFFFFFF;
    Colour textColour_ = 0;
    bool hit_ = false;
    int hitOffset_ = 0;
    int line_ = 0;
};

void LinePainter::Paint(int line, Rect& rect, CtrlPaintRequest& req)
{
    if (line < 1 || line > v_.lineCount || static_cast<size_t>(line) >= v_.lines.size())
        return;
    CtrlLineRecord& rec = v_.lines[static_cast<size_t>(line - 1)];
    const std::string_view bytes = v_.LineText(line);
    line_ = line;
    if (rec.start <= 0 || bytes.empty())
        return;
    text_.assign(bytes);
    text_.push_back('\0');

    const bool table = CtrlLineKind::IsTableRow(rec.kind);
    const ParagraphStyle style = table ? ParagraphStyle{} : v_.styles[rec.kind & 0x0F];
    const int type = style.type;
    size_ = v_.font.size;
    bold_ = v_.font.bold;
    unit_ = v_.unit;
    lh_ = v_.lineHeight;
    if (type >= 1 && type <= 3) {
        size_ = v_.font.size * (8 + type) / 8;
        bold_ = true;
        unit_ = (v_.unit * (8 + type)) >> 3;
        lh_ = (v_.lineHeight * (8 + type)) >> 3;
    }
    v_.currentUnit = unit_;
    v_.currentLineHeight = lh_;
    background_ = v_.colours.background;
    textColour_ = (type == 1 || type == 2) ? v_.colours.heading : v_.colours.text;
    if (v_.colourHook)
        v_.colourHook(v_, line, background_, textColour_);

    c_.SetFont(v_.font);
    c_.SetFontSize(size_);
    c_.SetBold(bold_);
    SetBrushColour(c_, background_);
    SetFontColour(c_, textColour_);

    const int bottom = table ? PaintTableRow(rec, rect) : PaintParagraph(rec, rect);
    if (mode_ == CtrlPaintMode::Measure)
        rec.height = bottom - rect.top;
    if (hitting_)
        req.mode = hit_ ? hitOffset_ : static_cast<int>(bytes.size());
    c_.SetFont(v_.font);
    v_.currentUnit = v_.unit;
    v_.currentLineHeight = v_.lineHeight;
    rect.top = bottom;
}

int LinePainter::PaintParagraph(CtrlLineRecord& rec, const Rect& rect)
{
    const ParagraphStyle& style = v_.styles[rec.kind & 0x0F];
    const int baseLh = v_.lineHeight;
    int top = rect.top + style.above * baseLh / 16;
    int left = rect.left;
    int right = rect.right;
    const bool boxed = style.type == 4;
    const bool fromStart = fromRow_ == 0;
    if (boxed && drawing_) {
        if (fromStart) {
            c_.SetPen(textColour_, 2);
            DrawLineSeg(c_, {left + unit_, top - unit_ / 2, right - unit_, top - unit_ / 2});
        }
    }
    if (boxed)
        right -= style.firstIndent * unit_;

    CtrlSegmentStyle seg;
    seg.style = style;
    seg.unit = unit_;
    seg.fontSize = size_;
    seg.headingBold = bold_;
    const std::vector<CtrlWrapRow> rows = Wrap(0, left, right, seg, nullptr);
    rec.rows = static_cast<int32_t>(rows.size());
    c_.SetFontSize(size_);
    c_.SetBold(bold_);
    SetBrushColour(c_, background_);

    int bottom;
    if (mode_ >= CtrlPaintMode::HitTest) {
        CellStyle cell;
        cell.style = style;
        bottom = PaintCtrlTextSegment(0, left, right, top, cell, 0, rows, true);
    } else {
        bottom = top + static_cast<int>(rows.size()) * lh_;
    }
    if (boxed && drawing_) {
        c_.SetPen(textColour_, 2);
        const int boxBottom = bottom + unit_ / 2;
        const int boxTop = fromStart ? top - unit_ / 2 : top;
        DrawLineSeg(c_, {right + style.firstIndent * unit_ - unit_, boxTop,
                         right + style.firstIndent * unit_ - unit_, boxBottom});
        DrawLineSeg(c_, {left + unit_, boxTop, left + unit_, boxBottom});
        DrawLineSeg(c_, {left + unit_, boxBottom, right + style.firstIndent * unit_ - unit_, boxBottom});
    }
    return bottom + style.below * baseLh / 16;
}

int LinePainter::PaintTableRow(CtrlLineRecord& rec, const Rect& rect)
{
    const int t = CtrlLineKind::TableOf(rec.kind);
    const CtrlViewTable& table = v_.tables[static_cast<size_t>(t)];
    const bool header = (rec.kind & 0xC0) == CtrlLineKind::HeaderRow;
    const bool grid = (table.flags & 1) != 0;
    const bool ruled = (table.flags & 0x80) != 0;
    const int u = unit_;
    const int half = u / 2;
    int left = rect.left + u;
    const int top = rect.top;
    rec.rows = 0;

    // The row code and the first cell's attribute.
    CtrlItem item;
    int pos = 0;
    int attr = 15;
    if (CtrlItemAt(text_, 0, item) && (item.IsCode(11) || item.IsCode(22))) {
        if (item.IsCode(22))
            attr = CtrlPairValue(text_, item, 0);
        pos = item.End();
    }
    int column = 1;
    int bottom = top;
    int firstBorder = 0;
    std::vector<int> borders;
    bool anyCell = false;
    const int columns = table.Columns();
    while (pos < static_cast<int>(text_.size()) && column <= columns) {
        if (attr == 15)
            attr = header || column <= table.def.headerColumns ? table.def.headerAttr : table.def.bodyAttr;
        const int flags = CellFontFlags(attr);
        const CellStyle cell = ApplyCellAttr(attr, ruled, u);
        const int span = CellSpan(attr);
        int64_t cellWidth = 0;
        for (int col = column; col < column + span && col <= columns; ++col)
            cellWidth += table.columnWidths[static_cast<size_t>(col - 1)] + u;
        column += span;
        const int right = static_cast<int>(left + cellWidth - cell.padding - u);

        CtrlSegmentStyle seg;
        seg.style = cell.style;
        seg.unit = u;
        seg.fontSize = size_;
        seg.headingBold = bold_;
        seg.fontFlags = flags;
        int segEnd = 0;
        const std::vector<CtrlWrapRow> rows = Wrap(pos, left, right, seg, &segEnd);
        if (grid) {
            if (!anyCell)
                firstBorder = left - half - 1;
            borders.push_back(right + half + cell.padding);
        }
        anyCell = true;
        rec.rows = std::max<int32_t>(rec.rows, static_cast<int32_t>(rows.size()));
        int cellBottom;
        const bool active = drawing_ || (hitting_ && !hit_ && point_.x <= right);
        if (active || cell.rule >= 252)
            cellBottom = PaintCtrlTextSegment(pos, left, right, top, cell, flags, rows, active);
        else
            cellBottom = top + std::max(0, static_cast<int>(rows.size()) - fromRow_) * lh_;
        bottom = std::max(bottom, cellBottom);
        if (hit_)
            break;

        left = right + u + cell.padding;
        pos = segEnd;
        if (!CtrlItemAt(text_, pos, item) || item.IsCode(0))
            break;
        if (item.IsCode(6))
            attr = 15;
        else if (item.IsCode(23))
            attr = CtrlPairValue(text_, item, 0);
        else
            break;
        pos = item.End();
    }
    bottom += lh_ / 4;

    if (grid && drawing_ && anyCell) {
        const int rowTop = top - 2;
        c_.SetPen(textColour_, 1);
        if (fromRow_ == 0)
            DrawLineSeg(c_, {firstBorder, rowTop, firstBorder + table.width, rowTop});
        DrawLineSeg(c_, {firstBorder, rowTop, firstBorder, bottom - 1});
        for (int b : borders)
            DrawLineSeg(c_, {b, rowTop, b, bottom - 1});
        const int tableRight = firstBorder + table.width;
        if (borders.empty() || tableRight > borders.back())
            DrawLineSeg(c_, {tableRight, rowTop, tableRight, bottom - 1});
        // Under the table's last row: a row is the last when the next line is
        // no row of this table.
        const int line = static_cast<int>(&rec - v_.lines.data()) + 1;
        const uint8_t nextKind = v_.lines[static_cast<size_t>(line)].kind;
        if (!CtrlLineKind::IsTableRow(nextKind) || CtrlLineKind::TableOf(nextKind) != t)
            DrawLineSeg(c_, {firstBorder, bottom - 1, tableRight, bottom - 1});
    }
    return bottom;
}

int LinePainter::PaintCtrlTextSegment(int start, int left, int right, int top, const CellStyle& cell,
                                      int flags, const std::vector<CtrlWrapRow>& rows, bool active)
{
    const bool drawing = drawing_ && active;
    const bool hitting = hitting_ && active;
    const ParagraphStyle& style = cell.style;
    const int u = unit_;
    const int lh = lh_;
    int y = top;
    if (cell.rule >= 253 && rows.size() < 2)
        y += lh / 2;
    int vOffset = SetTextStyle(c_, flags, size_, lh, background_, v_.colours.highlight);
    c_.SetBold(FontFlagsOf(flags).bold || bold_);
    SetFontColour(c_, textColour_);
    // The room the wrap measured with, the blank in the segment's own font.
    const int avail = right - left - CtrlTextWidth(c_, " ");
    const int rowCount = static_cast<int>(rows.size());
    int extra = y - top; // pixels besides the rows: a ruled cell's shift and rules
    // The bottom of the rows shown, whether or not their text was reached.
    auto bottom = [&] { return top + extra + std::max(0, rowCount - fromRow_) * lh; };
    int row = 0;
    int x = style.firstIndent * u;
    auto startRow = [&](int r) {
        if (r >= rowCount || style.align == 0)
            return;
        x += (avail - rows[static_cast<size_t>(r)].width) / style.align;
    };
    auto nextRow = [&] {
        if (RowShown(row))
            y += lh;
        ++row;
        x = style.nextIndent * u;
        startRow(row);
    };
    startRow(0);

    CtrlTokenizer walk(text_, start);
    CtrlItem item;
    bool first = true;
    while (walk.Next(item) && !hit_) {
        const bool isFirst = first;
        first = false;
        if (item.IsText()) {
            int pos = item.offset;
            const int end = item.End();
            while (pos < end && !hit_) {
                while (row + 1 < rowCount && pos >= rows[static_cast<size_t>(row)].end)
                    nextRow();
                if (row >= rowCount)
                    return bottom();
                const int rowEnd = rows[static_cast<size_t>(row)].end;
                const int stop = (row + 1 < rowCount && rowEnd > pos) ? std::min(end, rowEnd) : end;
                const std::string_view run(text_.data() + pos, static_cast<size_t>(stop - pos));
                if (!active) {
                    pos = stop;
                    continue;
                }
                if (RowShown(row)) {
                    if (hitting) {
                        if (CtrlHitRun(pos, run, left + x, y, lh))
                            break;
                    } else if (drawing) {
                        DrawRunWithHits(left + x, y + vOffset, run);
                    }
                }
                x += RunWidth(run);
                pos = stop;
            }
            continue;
        }
        switch (item.code) {
        case 0:
        case 6:
        case 23: return bottom();
        case 19:
            if (!isFirst)
                return bottom();
            break;
        case 13:
            nextRow();
            if (cell.rule >= 252 && RowShown(row) && row < rowCount) {
                if (drawing) {
                    c_.SetPen(textColour_, 1);
                    DrawLineSeg(c_, {left, y, right, y});
                }
                y += 1;
                extra += 1;
            }
            break;
        case 1:
        case 2:
        case 3:
            if (drawing && RowShown(row))
                DrawBullet(c_, (style.firstIndent + 2) * u + left, y);
            x = style.nextIndent * u;
            vOffset = 0;
            break;
        case 21: {
            const std::string label = NumberedItemLabel(CtrlPairValue(text_, item, 0)) + " ";
            const int lw = CtrlTextWidth(c_, label);
            if (drawing && RowShown(row))
                CtrlTextOut(c_, left + style.nextIndent * u - lw, y, label);
            x = style.nextIndent * u;
            break;
        }
        case 9: x = style.tab * u; break;
        case 20:
            vOffset =
                SetTextStyle(c_, CtrlPairValue(text_, item, 0), size_, lh, background_, v_.colours.highlight);
            if (bold_)
                c_.SetBold(true);
            break;
        case 26:
            vOffset = SetTextStyle(c_, 0x004, size_, lh, background_, v_.colours.highlight);
            if (bold_)
                c_.SetBold(true);
            SetBrushColour(c_, v_.colours.linkBackground);
            SetFontColour(c_, v_.colours.linkText);
            break;
        case 7:
            vOffset = SetTextStyle(c_, 0, size_, lh, background_, v_.colours.highlight);
            c_.SetBold(bold_);
            SetBrushColour(c_, background_);
            SetFontColour(c_, textColour_);
            break;
        default: break; // pictures and codes without meaning here
        }
    }
    return bottom();
}

void LinePainter::DrawRunWithHits(int x, int y, std::string_view run)
{
    const std::vector<std::string>& terms = v_.searchTerms;
    const size_t count = std::min<size_t>(terms.size(), kCtrlMaxSearchTerms);
    while (!run.empty()) {
        size_t best = std::string_view::npos;
        size_t bestLen = 0;
        for (size_t i = 0; i < count; ++i) {
            if (terms[i].empty())
                continue;
            const size_t at = run.find(terms[i]);
            if (at < best) {
                best = at;
                bestLen = terms[i].size();
            }
        }
        if (best == std::string_view::npos)
            break;
        const std::string_view before = run.substr(0, best);
        CtrlTextOut(c_, x, y, before);
        x += CtrlTextWidth(c_, before);
        const std::string_view term = run.substr(best, bestLen);
        const Colour saved = c_.State().font.colour;
        SetFontColour(c_, v_.colours.searchHit);
        CtrlTextOut(c_, x, y, term);
        x += CtrlTextWidth(c_, term);
        SetFontColour(c_, saved);
        run.remove_prefix(best + bestLen);
    }
    CtrlTextOut(c_, x, y, run);
}

bool LinePainter::CtrlHitRun(int runStart, std::string_view run, int x, int y, int lineHeight)
{
    if (point_.y < y) {
        Hit(runStart);
        return true;
    }
    if (point_.y >= y + lineHeight)
        return false;
    if (point_.x < x) {
        Hit(runStart);
        return true;
    }
    const int dist = point_.x - x;
    const int width = CtrlTextWidth(c_, run);
    if (dist > width + CtrlTextWidth(c_, " "))
        return false;
    const int len = static_cast<int>(run.size());
    int n = std::clamp(unit_ > 0 ? dist / unit_ : 0, 0, len);
    while (n < len && CtrlTextWidth(c_, run.substr(0, static_cast<size_t>(n))) < dist)
        ++n;
    while (n > 0 && CtrlTextWidth(c_, run.substr(0, static_cast<size_t>(n - 1))) >= dist)
        --n;
    // n characters reach the point: the one under it is the n-th.
    Hit(runStart + std::clamp(n - 1, 0, std::max(len - 1, 0)));
    return true;
}

} // namespace

void PaintCtrlText(CtrlTextView& view, CtrlPaintRequest& request, Point point, Rect& rect)
{
    if (view.canvas == nullptr || !view.lineTable)
        return;
    view.cache.Bind(view.canvas, view.font);
    LinePainter painter(view, request, point);
    painter.Paint(request.line, rect, request);
}
