#include "lists/toolkit/grid.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "datastore/kamenici.h"
#include "frame/config/config_file.h"
#include "frame/windows/style.h"
#include "platform/ascii.h"

namespace {

constexpr Colour kSilver = 0xC0C0C0;
constexpr Colour kGrey = 0x808080;
constexpr Colour kBlack = 0x000000;
constexpr Colour kPink = 0xCCCCFF; // RGB(255, 204, 204)
constexpr int kMaxSpanCharacters = 99;

bool IsTreeSymbol(char c)
{
    return std::string_view("+-?NPYnpy").find(c) != std::string_view::npos;
}

} // namespace

TATable1::TATable1(QWidget* parent) : QWidget(parent), canvas_(nullptr, 96)
{
    canvas_.SetTextCache(true);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 105);
    layout_.Width = 185;
    layout_.Height = 105;
    Header.assign(255, ' ');
    SetListFont(CanvasFont{});
}

void TATable1::SetListFont(const CanvasFont& font)
{
    font_ = font;
    ImageCanvas probe(1, 1);
    probe.SetFont(font);
    layout_.SetMetrics(probe.TextHeight("0") + 2, probe.TextWidth("0"));
    layout_.SetHeight(layout_.Height);
    layout_.LayoutColumns();
}

uint32_t TATable1::SetGeometry(std::string_view geometry, std::string_view order)
{
    SetListFont(font_);
    return layout_.SetGeometry(geometry, order);
}

void TATable1::SetCtl3D(bool on)
{
    layout_.SetCtl3D(on);
    Paint();
}

void TATable1::SetHScroll(bool on)
{
    layout_.SetHScroll(on);
    Paint();
}

void TATable1::SetTreeMode(bool on)
{
    layout_.SetTreeMode(on);
}

void TATable1::SetTreeWidth(int cells)
{
    layout_.SetTreeWidth(cells);
}

void TATable1::SetHOffset(int x)
{
    if (layout_.SetHOffset(x))
        Paint();
}

void TATable1::SetBounds(int x, int y, int width, int height)
{
    height = layout_.SetHeight(std::max(0, height));
    layout_.SetWidth(std::max(0, width));
    setGeometry(x, y, std::max(0, width), height);
    if (cursorRow_ >= layout_.NextRow())
        cursorRow_ = 0;
}

void TATable1::SetWidth(int width)
{
    SetBounds(x(), y(), width, layout_.Height);
}

void TATable1::SetHeight(int height)
{
    SetBounds(x(), y(), layout_.Width, height);
    Paint();
}

bool TATable1::Overflows() const
{
    return OverflowWidth() > 0;
}

int TATable1::OverflowWidth() const
{
    const int available = layout_.Width - (layout_.TreeOn ? layout_.TreeWidth + 1 : 0);
    return std::max(0, layout_.TotalWidth - available);
}

void TATable1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Keep the arithmetic in step with a size set from outside; the control
    // is never resized from here.
    if (width() != layout_.Width)
        layout_.SetWidth(width());
    if (height() != layout_.Height)
        layout_.SetHeight(height());
}

// ------------------------------------------------------------------ Paint

const QImage& TATable1::Image()
{
    return canvasImage_;
}

void TATable1::Paint()
{
    const int w = std::max(1, layout_.Width);
    const int h = std::max(1, layout_.Height);
    canvas_.EndPaint();
    if (canvasImage_.width() != w || canvasImage_.height() != h) {
        canvasImage_ = QImage(w, h, QImage::Format_RGB32);
        canvas_.SetDevice(&canvasImage_, 96);
    }
    canvas_.SetFont(font_);
    toggled_.clear();
    marked_.clear();
    ++paints_;

    // The frame.
    const Rect all{0, 0, w, h};
    if (layout_.Ctl3D) {
        canvas_.SetBrush(SysColour::ScrollBar);
        canvas_.FillRect(all);
        canvas_.SetPen(SysColour::BtnShadow, 1);
        canvas_.MoveTo(0, h - 1);
        canvas_.LineTo(0, 0);
        canvas_.LineTo(w - 1, 0);
        canvas_.SetPen(SysColour::BtnHighlight, 1);
        canvas_.LineTo(w - 1, h - 1);
        canvas_.LineTo(0, h - 1);
    } else {
        canvas_.SetPen(kBlack, 1);
        canvas_.SetBrush(SysColour::ScrollBar);
        canvas_.Rectangle(all);
    }

    layout_.BeginLines();
    DrawRow(0, Header);
    layout_.SetNextRow(1);
    if (CellText) {
        std::string text;
        CellText(1, text);
        while (layout_.LinesUsed() <= layout_.VisibleLines && text != kEndOfRows) {
            DrawRow(layout_.NextRow(), text);
            layout_.SetNextRow(static_cast<uint8_t>(layout_.NextRow() + 1));
            if (layout_.NextRow() > kMaxCachedGridRows)
                break;
            text.clear();
            CellText(layout_.NextRow(), text);
        }
    }
    canvas_.EndPaint();
    if (!marked_.empty()) {
        QPainter p(&canvasImage_);
        for (uint8_t r : marked_)
            InvertRow(p, r);
    }
    if (!CellText || cursorRow_ >= layout_.NextRow())
        cursorRow_ = 0;
    update();
}

void TATable1::DrawRow(uint8_t r, std::string_view text)
{
    const uint8_t status = text.empty() ? 0 : static_cast<uint8_t>(text[0]);
    const int firstLine = layout_.LinesUsed();
    if (!layout_.PlaceRow(r, status))
        return;
    const int endLine = layout_.LinesUsed();
    if (endLine == firstLine)
        return;

    Colour back = BackgroundColour;
    Colour fore = TextColour;
    if (r == 0)
        back = SysColour::BtnFace;
    if (status & RowStatus::DarkText)
        fore = SysColour::DarkShadow3D;
    if (status & RowStatus::ShadedBackground) {
        back = SysColour::ScrollBar;
        fore = SysColour::DarkShadow3D;
    }
    if (status & RowStatus::Span)
        back = SysColour::ScrollBar;
    if (status & RowStatus::Pink)
        back = kPink;

    const int rh = layout_.RowHeight;
    const int cellsLeft = (layout_.Ctl3D ? 2 : 1) + (layout_.TreeOn ? layout_.TreeWidth + 1 : 0);
    const int right = layout_.RowRight();
    const int spanSlot = GridLayout::SpanSlotOf(status);
    for (int line = firstLine; line < endLine; ++line) {
        const GridLayout::Line& l = layout_.LineAt(line);
        const int top = layout_.LineTop(line);
        canvas_.SetBrush(back);
        canvas_.FillRect(Rect{cellsLeft, top, right + 1, top + rh - 1});
        const auto [first, end] = layout_.GroupSlots(l.group);
        int x = layout_.LineStartX();
        for (int k = first; k < end && x < right; ++k) {
            const GridLayout::Slot& slot = layout_.Slots()[static_cast<size_t>(k)];
            const int cellRight = x + slot.width;
            if (spanSlot >= 0 && k - first >= spanSlot) {
                const size_t offset = layout_.ColOffset[slot.col];
                if (offset > 0 && offset - 1 < text.size())
                    DrawCell(text.substr(offset - 1, kMaxSpanCharacters), -1, x, right, top, fore);
                break;
            }
            if (cellRight > cellsLeft) {
                DrawCell(layout_.CellText(text, slot.col + 1), slot.col, x, std::min(cellRight, right), top,
                         fore);
                if (cellRight <= right) {
                    canvas_.SetPen(r == 0 ? kGrey : kSilver, 1);
                    canvas_.MoveTo(cellRight, top);
                    canvas_.LineTo(cellRight, top + rh - 1);
                }
            }
            x = cellRight + 1;
        }
        const bool lastOfRow = line + 1 == endLine;
        canvas_.SetPen(lastOfRow ? kGrey : kSilver, 1);
        canvas_.MoveTo(lastOfRow && r == 0 ? 0 : cellsLeft, top + rh - 1);
        canvas_.LineTo(right + 1, top + rh - 1);
    }
    if (layout_.TreeOn) {
        const int top = layout_.LineTop(firstLine);
        canvas_.SetBrush(r == 0 ? SysColour::BtnFace : BackgroundColour);
        canvas_.FillRect(
            Rect{layout_.Ctl3D ? 2 : 1, top, layout_.TreeWidth + 1, top + (endLine - firstLine) * rh - 1});
        canvas_.SetPen(kGrey, 1);
        canvas_.MoveTo(layout_.TreeWidth + 1, top);
        canvas_.LineTo(layout_.TreeWidth + 1, top + (endLine - firstLine) * rh);
        if (r > 0)
            DrawTreeSymbols(text, top);
    }
    if ((status & RowStatus::Marked) && r > 0)
        marked_.push_back(r);
}

void TATable1::DrawCell(std::string_view cell, int col, int left, int right, int top, Colour textColour)
{
    cell = TrimRightBlanks(cell);
    if (cell.empty() || right - left <= 2)
        return;
    std::string shown;
    if (col >= 0 && GridLayout::IsEmphasised(cell)) {
        shown = KamToWin(layout_.ShownCell(cell, col));
        textColour = EmphasisColour;
    } else {
        shown = KamToWin(cell);
    }
    canvas_.SetBrushStyle(BrushStyle::Clear);
    canvas_.SetFontColour(textColour);
    canvas_.TextRect(Rect{left + 1, top, right - 1, top + layout_.RowHeight - 1}, left + 2, top + 1, shown);
    canvas_.SetBrushStyle(BrushStyle::Solid);
}

void TATable1::DrawTreeSymbols(std::string_view text, int top)
{
    const size_t marker = text.find('\xFF', 1);
    if (marker == std::string_view::npos)
        return;
    const int cell = std::max(1, layout_.RowHeight - 2);
    const int box = std::max(1, layout_.RowHeight - 3);
    for (size_t i = marker + 1; i < text.size(); ++i) {
        const char c = text[i];
        const int k = static_cast<int>(i - marker - 1);
        const int x = cell * k + 2;
        if (x + box > layout_.TreeWidth + 1)
            break;
        if (!IsTreeSymbol(c))
            continue;
        const bool lower = c >= 'a' && c <= 'z';
        const int y = top + 1;
        canvas_.SetPen(kGrey, 1);
        canvas_.SetBrush(lower ? SysColour::ScrollBar : BackgroundColour);
        canvas_.Rectangle(Rect{x, y, x + box, y + box});
        canvas_.SetPen(lower ? kSilver : kBlack, 1);
        const int mid = box / 2;
        switch (c) {
        case '+':
            canvas_.MoveTo(x + 2, y + mid);
            canvas_.LineTo(x + box - 2, y + mid);
            canvas_.MoveTo(x + mid, y + 2);
            canvas_.LineTo(x + mid, y + box - 2);
            break;
        case '-':
            canvas_.MoveTo(x + 2, y + mid);
            canvas_.LineTo(x + box - 2, y + mid);
            break;
        case '?':
            canvas_.SetBrushStyle(BrushStyle::Clear);
            canvas_.SetFontColour(kBlack);
            canvas_.TextRect(Rect{x + 1, y + 1, x + box - 1, y + box - 1}, x + 2, y, "?");
            canvas_.SetBrushStyle(BrushStyle::Solid);
            break;
        case 'Y':
        case 'y':
            canvas_.Polyline({{x + 2, y + mid}, {x + mid - 1, y + box - 3}, {x + box - 2, y + 2}});
            break;
        default: break;
        }
    }
}

QRect TATable1::FrameRect(int row) const
{
    if (row <= 0)
        return {};
    const int first = layout_.FirstLineOf(static_cast<uint8_t>(row));
    const int count = layout_.LineCountOf(static_cast<uint8_t>(row));
    if (first < 0 || count == 0)
        return {};
    const int x0 = layout_.RowLeft();
    const int x1 = std::min(layout_.RowRight(), layout_.Width - 1);
    const int top = layout_.LineTop(first);
    return QRect(QPoint(x0 - 1, top - 1), QPoint(x1, top + count * layout_.RowHeight - 1));
}

QRect TATable1::RowRect(int row) const
{
    return FrameRect(row);
}

void TATable1::InvertRow(QPainter& p, uint8_t r)
{
    const QRect rect = FrameRect(r);
    if (rect.isEmpty())
        return;
    p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    p.fillRect(rect, ToQColor(SysColour::BtnFace));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void TATable1::SetCursor(int row)
{
    const int next = layout_.NextRow();
    const int r = (row > 0 && row < next) ? row : 0;
    if (r == cursorRow_)
        return;
    cursorRow_ = r;
    update();
}

void TATable1::ToggleRowFrame(int row)
{
    if (FrameRect(row).isEmpty())
        return;
    auto it = std::find(toggled_.begin(), toggled_.end(), row);
    if (it != toggled_.end())
        toggled_.erase(it);
    else
        toggled_.push_back(row);
    update();
}

void TATable1::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (canvasImage_.isNull()) {
        p.fillRect(rect(), ToQColor(SysColour::ScrollBar));
        return;
    }
    p.drawImage(0, 0, canvasImage_);
    for (int r : toggled_)
        InvertRow(p, static_cast<uint8_t>(r));
    const QRect cursor = FrameRect(cursorRow_);
    if (!cursor.isEmpty()) {
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cursor.adjusted(0, 0, -1, -1));
        p.drawRect(cursor.adjusted(1, 1, -2, -2));
    }
}

// ------------------------------------------------------------------ Print

void TATable1::PrintRow(Canvas& canvas, std::string_view text, int& y) const
{
    const uint8_t selector = GridLayout::SelectorOf(text.empty() ? 0 : static_cast<uint8_t>(text[0]));
    const auto& printSlots = layout_.PrintSlots();
    const int half = layout_.PrintCharWidth / 2;
    for (int g = 0; g <= layout_.GroupCount; ++g) {
        if (layout_.GroupSel[static_cast<size_t>(g)] != selector)
            continue;
        const auto [first, end] = layout_.GroupColumns(g);
        int x = 0;
        for (const GridLayout::Slot& s : printSlots) {
            if (s.col < first || s.col >= end)
                continue;
            const std::string_view cell = TrimRightBlanks(layout_.CellText(text, s.col + 1));
            const int right = std::min(x + s.width - half, layout_.PrintWidth);
            if (!cell.empty() && right > x) {
                const bool emphasised = GridLayout::IsEmphasised(cell);
                canvas.SetBold(emphasised);
                canvas.SetBrushStyle(BrushStyle::Clear);
                canvas.TextRect(Rect{x, y + 1, right, y + layout_.PrintRowHeight + 1}, x, y + 1,
                                KamToWin(layout_.ShownCell(cell, s.col)));
                canvas.SetBold(false);
            }
            x += s.width + 1;
        }
        y += layout_.PrintRowHeight + 1;
    }
}

void TATable1::mousePressEvent(QMouseEvent* event)
{
    emit mousePressed(event);
}

void TATable1::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseReleased(event);
}

void TATable1::mouseDoubleClickEvent(QMouseEvent* event)
{
    emit mousePressed(event);
}

void TATable1::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved(event);
}

void ApplyListSettings(TATable1& grid, const ConfigValues& settings)
{
    grid.SetListFont(CanvasFontOfSetting(settings.ListFont));
    grid.SetCtl3D(true);
    grid.BackgroundColour = ColourOfQColor(ProgramColour(settings.ColourTable, ColourIndex::FieldBackground));
    grid.TextColour = ColourOfQColor(ProgramColour(settings.ColourTable, ColourIndex::Text));
    grid.EmphasisColour = ColourOfQColor(ProgramColour(settings.ColourTable, ColourIndex::Highlight));
}
