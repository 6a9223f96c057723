#include "frame/pages/page.h"

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/hint_window.h"
#include "frame/pages/vector_icons.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

namespace {

// The watched 32-bit value of a short string: its length byte and first three
// characters, little-endian.
uint32_t ShortStringHead(std::string_view s)
{
    uint32_t v = static_cast<uint32_t>(std::min<size_t>(s.size(), 255));
    for (size_t i = 0; i < 3 && i < s.size(); ++i)
        v |= static_cast<uint32_t>(static_cast<unsigned char>(s[i])) << (8 * (i + 1));
    return v;
}

} // namespace

OwnedObject::~OwnedObject() = default;

// ------------------------------------------------------------------ TPrvek

TPrvek::TPrvek() = default;

TPrvek::~TPrvek()
{
    owned2.reset();
    owned1.reset();
}

bool TPrvek::SetKey(std::string& slot, std::string_view key)
{
    if (key.size() > kMaxKeyLength) {
        assert(!"a text reference longer than 19 characters");
        slot.clear();
        return false;
    }
    slot.assign(key);
    return true;
}

const PageState* TPrvek::State() const
{
    return page_ != nullptr ? &page_->state : nullptr;
}

std::string TPrvek::ToDisplay(std::string_view dataText)
{
    return KamToWin(dataText);
}

std::string TPrvek::DataText() const
{
    if (sharedData != nullptr)
        return sharedData->Get();
    if (data != nullptr)
        return *data;
    return {};
}

std::string TPrvek::GetText(int which) const
{
    const std::string* ref = nullptr;
    switch (which) {
    case CaptionText: ref = &captionKey_; break;
    case HintText: ref = &hintKey_; break;
    case ShapeText: ref = &shapeKey_; break;
    default: return {};
    }
    std::string_view key = *ref;
    if (key.empty())
        return {};
    const size_t dot = key.find('.');
    if (dot == std::string_view::npos)
        return {};
    const TextTableSlot* table = &UiTexts;
    std::string_view section = key.substr(0, dot);
    if (!section.empty() && section.front() == 'd') {
        table = &DataTexts;
        section.remove_prefix(1);
    }
    std::string text = LookupText(*table, section, key.substr(dot + 1));
    if (!text.empty() && text.front() == '!')
        return {};
    return text;
}

int32_t TPrvek::Poll(uint32_t)
{
    if (kind != KindLiveText)
        return 0;
    std::string text = DataText();
    if (text == lastText_)
        return 0;
    lastValue = ShortStringHead(text);
    lastText_ = std::move(text);
    return PageEvent::Repaint;
}

void TPrvek::Paint(Canvas& canvas)
{
    if (kind != KindText && kind != KindLiveText)
        return;
    std::string source = HasData() ? DataText() : GetText(CaptionText);
    if (kind == KindLiveText) {
        lastValue = ShortStringHead(source);
        lastText_ = source;
    }
    if (source.empty())
        return;
    const std::string text = ToDisplay(source);
    canvas.SetFontColour(0x000000);
    canvas.SetBrushStyle(BrushStyle::Clear);
    int x = rect.left;
    const uint32_t align = style & StyleAlignMask;
    if (align == StyleCentred)
        x = (rect.right + rect.left - canvas.TextWidth(text)) / 2;
    else if (align == StyleRight)
        x = rect.right - canvas.TextWidth(text);
    canvas.TextRect(rect, x, rect.top, text);
}

int32_t TPrvek::HandleEvent(int32_t code, uint8_t)
{
    return code;
}

void TPrvek::FrameRect(Canvas& canvas, const Rect& r) const
{
    canvas.MoveTo(r.left, r.top);
    canvas.LineTo(r.right, r.top);
    canvas.LineTo(r.right, r.bottom);
    canvas.LineTo(r.left, r.bottom);
    canvas.LineTo(r.left, r.top);
}

// ------------------------------------------------------------------- TLogo

void TLogo::Paint(Canvas& canvas)
{
    if (rect.IsEmpty())
        return;
    const int size = std::min(rect.Height(), rect.Width());
    DrawPicture(canvas, GetText(ShapeText), rect, size);
}

// ----------------------------------------------------------------- TCudlik

TCudlik::TCudlik()
{
    kind = KindHover;
}

bool TCudlik::Hovered() const
{
    const TPraded* page = Page();
    if (page == nullptr)
        return false;
    Point p;
    if (!page->MapToElement(Index(), page->state.mousePoint, p))
        return false;
    return rect.ContainsStrictly(p);
}

Point TCudlik::CaptionPoint(int captionWidth, int lineHeight) const
{
    if ((style & StyleAlignMask) != 0)
        return {(rect.right + rect.left - captionWidth) / 2, rect.top + (rect.right - rect.left) + 2};
    return {rect.left + (rect.bottom - rect.top), rect.top + (rect.Height() - lineHeight) / 2};
}

void TCudlik::PaintFace(Canvas& canvas) const
{
    if (Hovered()) {
        canvas.SetBrush(0xEEEEEE, BrushStyle::Solid);
        canvas.SetPen(0x808080, 0);
    } else {
        canvas.SetPen(0xC0C0C0, 0);
        canvas.SetBrushStyle(BrushStyle::Clear);
    }
    canvas.RoundRect(rect, 7, 7);
}

void TCudlik::Paint(Canvas& canvas)
{
    PaintFace(canvas);

    const std::string shape = GetText(ShapeText);
    if (style & StylePicture)
        DrawPicture(canvas, shape, rect, rect.Width());
    else
        DrawShape(canvas, rect, shape, !Enabled(), colour);

    const std::string source = HasData() ? DataText() : GetText(CaptionText);
    if (source.empty())
        return;
    const std::string caption = ToDisplay(source);
    canvas.SetFontColour(0x000000);
    canvas.SetBrushStyle(BrushStyle::Clear);
    const bool bold = (style & StyleBold) != 0;
    if (bold)
        canvas.SetBold(true);
    const PageState* st = State();
    const int lineHeight =
        (st != nullptr && st->lineHeight > 0) ? st->lineHeight : canvas.TextHeight("\xC8g");
    const Point at = CaptionPoint(canvas.TextWidth(caption), lineHeight);
    canvas.TextRect(rect, at.x, at.y, caption);
    if (bold)
        canvas.SetBold(false);
}

// ------------------------------------------------------------------ TVstup

TVstup::TVstup()
{
    kind = KindInput;
}

int32_t TVstup::Poll(uint32_t tick)
{
    if (tick % 10 != 1)
        return 0;
    style ^= StyleCaret;
    return PageEvent::Repaint;
}

void TVstup::Paint(Canvas& canvas)
{
    if (data == nullptr)
        return;
    canvas.SetBrush(0xFFFFFF, BrushStyle::Solid);
    canvas.FillRect(rect);
    canvas.SetPen(SysColour::BtnShadow, 0);
    FrameRect(canvas, rect);

    const int h = canvas.TextHeight("\xC8g"); // "Čg" in cp1250
    const int m = h / 3;
    const int normalSize = canvas.Font().size;
    canvas.SetBrushStyle(BrushStyle::Clear);

    // The typed text (or the placeholder) and the caret use a font 5/4 the size.
    canvas.SetFontSize(std::abs(normalSize) * 5 / 4);
    int textWidth = 0;
    if (!data->empty()) {
        const std::string text = ToDisplay(*data);
        canvas.SetFontColour(0x000000);
        canvas.TextRect(rect, rect.left + m, rect.top + m, text);
        textWidth = canvas.TextWidth(text);
    } else {
        const std::string placeholder = GetText(CaptionText);
        if (!placeholder.empty()) {
            canvas.SetFontColour(SysColour::GrayText);
            canvas.TextRect(rect, rect.left + h, rect.top + m + 1, ToDisplay(placeholder));
        }
    }
    if (style & StyleCaret) {
        canvas.SetPen(0x000000, 0);
        const int x = rect.left + m + textWidth;
        canvas.MoveTo(x, rect.top + m);
        canvas.LineTo(x, rect.bottom - m);
    }
    canvas.SetFontSize(normalSize);
}

int32_t TVstup::HandleEvent(int32_t code, uint8_t shift)
{
    if (data == nullptr || shift != PageShift::Typed)
        return code;
    if (code == PageChar::Backspace) {
        if (data->empty())
            return PageEvent::Consumed;
        data->pop_back();
        return PageEvent::Relayout;
    }
    if (code >= 32 && code <= 255) {
        if (data->size() >= kMaxLength)
            return PageEvent::Consumed;
        data->push_back(static_cast<char>(WinToKamTable[static_cast<size_t>(code)]));
        return PageEvent::Relayout;
    }
    return code;
}

// ------------------------------------------------------------------ TPosuv

// A raised part of the scroll bar: face, light top-left edge, dark
// bottom-right edge.
void DrawScrollBarPart(Canvas& canvas, const Rect& r)
{
    canvas.SetPen(SysColour::BtnFace, 2);
    canvas.SetBrush(SysColour::BtnFace, BrushStyle::Solid);
    canvas.Rectangle(r);
    canvas.SetPenColour(SysColour::BtnHighlight);
    canvas.MoveTo(r.left, r.bottom - 1);
    canvas.LineTo(r.left, r.top);
    canvas.LineTo(r.right - 1, r.top);
    canvas.SetPenColour(SysColour::BtnShadow);
    canvas.LineTo(r.right - 1, r.bottom - 1);
    canvas.LineTo(r.left, r.bottom - 1);
}

void DrawScrollBarArrow(Canvas& canvas, const Rect& r, int s, bool up, Colour colour)
{
    const int b = s * 2 / 5;
    canvas.SetPen(colour, 0);
    canvas.SetBrush(colour, BrushStyle::Solid);
    const int apexX = r.left + s / 2;
    const int leftX = r.left + s / 4;
    const int rightX = r.right - s / 4;
    if (up)
        canvas.Polygon({{apexX, r.top + b}, {leftX, r.bottom - b}, {rightX, r.bottom - b}});
    else
        canvas.Polygon({{apexX, r.bottom - b}, {leftX, r.top + b}, {rightX, r.top + b}});
}

TPosuv::TPosuv()
{
    kind = KindScrollBar;
}

Rect TPosuv::ThumbRect() const
{
    if (thumbLength <= 0)
        return {};
    const int x1 = rect.left + 1;
    const int x2 = rect.right - 1;
    const int32_t h = rect.Height();
    const int32_t top = (thumbOffset + thumbLength < h - buttonSize - 2)
                            ? rect.top + thumbOffset
                            : rect.bottom - buttonSize - thumbLength - 2;
    return {x1, top, x2, top + thumbLength};
}

void TPosuv::Paint(Canvas& canvas)
{
    thumbLength = 0;
    thumbOffset = 0;
    canvas.SetPen(SysColour::ScrollBar, 0);
    canvas.SetBrush(SysColour::ScrollBar, BrushStyle::Solid);
    canvas.FillRect(rect);

    const int x1 = rect.left + 1;
    const int x2 = rect.right - 1;
    const int y1 = rect.top + 1;
    const int s = x2 - x1;
    buttonSize = s;
    if (s <= 0 || rect.IsEmpty())
        return;
    const bool grey = pageSize >= range;
    const Colour arrow = grey ? SysColour::GrayText : SysColour::BtnText;
    const Rect up{x1, y1, x2, y1 + s};
    const Rect down{x1, rect.bottom - s, x2, rect.bottom};
    DrawScrollBarPart(canvas, up);
    DrawScrollBarArrow(canvas, up, s, true, arrow);
    DrawScrollBarPart(canvas, down);
    DrawScrollBarArrow(canvas, down, s, false, arrow);

    const int64_t track = int64_t(rect.Height()) - 2 * int64_t(s) - 4;
    if (range <= 0 || pageSize >= range || track <= 0)
        return;
    // The position is the page's; it is only clamped for drawing.
    const int64_t pos = std::clamp<int64_t>(position, 0, int64_t(range) - pageSize);
    int64_t length = std::max<int64_t>(int64_t(std::max(pageSize, 0)) * track / range, s);
    length = std::min(length, track);
    thumbLength = static_cast<int32_t>(length);
    thumbOffset = static_cast<int32_t>(s + track * pos / range + 2);
    DrawScrollBarPart(canvas, ThumbRect());
}

// ----------------------------------------------------------------- TTabule

Rect TTabule::CellRect(int row, int column, int lineHeight) const
{
    const int rowStep = lineHeight + lineHeight / 2;
    int x = rect.left;
    for (int c = 0; c < column && c < kMaxColumns; ++c)
        x += widths[static_cast<size_t>(c)] + 1;
    const int y = rect.top + row * rowStep;
    const int w = column < kMaxColumns ? widths[static_cast<size_t>(column)] : 0;
    return {x, y, x + w, y + lineHeight};
}

void TTabule::Paint(Canvas& canvas)
{
    if (!cellPainter || rows == 0 || columns == 0)
        return;
    const PageState* st = State();
    const int lh = (st != nullptr && st->lineHeight > 0) ? st->lineHeight : canvas.TextHeight("\xC8g");
    const int cols = std::min<int>(columns, kMaxColumns);
    int y = rect.top;
    for (int r = 0; r < rows; ++r) {
        int x = rect.left;
        for (int c = 0; c < cols; ++c) {
            const Rect cell{x, y, x + widths[static_cast<size_t>(c)], y + lh};
            cellPainter(canvas, cell, r, 0, c);
            x = cell.right + 1;
        }
        y += lh + lh / 2;
    }
}

int32_t TTabule::HandleEvent(int32_t, uint8_t)
{
    return PageEvent::Consumed;
}

// ----------------------------------------------------------------- TPlatno

namespace {
class PlatnoBitmap : public OwnedObject {
public:
    ImageCanvas canvas;
};
} // namespace

TPlatno::TPlatno()
{
    kind = KindCanvas;
    offsets[0] = {0, 0};
    owned1 = std::make_unique<PlatnoBitmap>();
    canvasMarkBefore = 1;
    offsetSlot = 1;
    canvasMarkAfter = 1;
}

ImageCanvas& TPlatno::Bitmap()
{
    return static_cast<PlatnoBitmap*>(owned1.get())->canvas;
}

void TPlatno::Paint(Canvas& canvas)
{
    if (rect.IsEmpty() || owned1 == nullptr)
        return;
    ImageCanvas& bitmap = Bitmap();
    const QImage& image = bitmap.Image();
    if (image.isNull())
        return;
    const Point off = offsets[0];
    // Only what the bitmap holds is copied.
    const Rect wanted{off.x, off.y, off.x + rect.Width(), off.y + rect.Height()};
    const Rect source = wanted.Intersected({0, 0, image.width(), image.height()});
    if (source.IsEmpty())
        return;
    const Rect target = source.Translated(rect.left - off.x, rect.top - off.y);
    canvas.DrawImage(target, image, source);
}

// ----------------------------------------------------------------- TPraded

TPraded::TPraded(PageState& s, Canvas& c, int w, int h) : canvas(&c), width(w), height(h), state(s)
{
    state.tick = 0;
    state.moveTick = PageState::kNoTick;
    state.pressTick = PageState::kNoTick;
}

TPraded::~TPraded()
{
    while (!elements_.empty())
        elements_.pop_back();
}

void TPraded::AddElement(std::unique_ptr<TPrvek> element)
{
    assert(elements_.size() < kNone);
    element->page_ = this;
    element->index_ = static_cast<int>(elements_.size());
    elements_.push_back(std::move(element));
}

void TPraded::Build()
{
    uint16_t top = 0;
    for (const auto& e : elements_) {
        top = std::max<uint16_t>(top, e->layer);
        // A parent must be an element of a lower layer.
        assert(e->layer == 0 || (e->parent < elements_.size() && elements_[e->parent]->layer < e->layer));
    }
    topLayer = top;
}

int32_t TPraded::HandleEvent(int32_t code, uint8_t)
{
    return code;
}

void TPraded::Layout()
{}

bool TPraded::MapToElement(int index, Point point, Point& out) const
{
    if (index < 0 || static_cast<size_t>(index) >= elements_.size())
        return false;
    Point p = point;
    const TPrvek* cur = elements_[static_cast<size_t>(index)].get();
    while (cur->layer > 0) {
        if (cur->parent >= elements_.size())
            return false;
        const TPrvek* up = elements_[cur->parent].get();
        if (up->layer >= cur->layer)
            return false; // a broken chain: never hit, never loops
        p.x -= up->rect.left;
        p.y -= up->rect.top;
        if (up->offsetSlot == 1 || up->offsetSlot == 2) {
            p.x += up->offsets[up->offsetSlot - 1].x;
            p.y += up->offsets[up->offsetSlot - 1].y;
        }
        cur = up;
    }
    out = p;
    return true;
}

int32_t TPraded::HitTest(Point point) const
{
    const size_t n = elements_.size();
    for (int layer = topLayer; layer >= 0; --layer) {
        for (size_t j = 0; j < n; ++j) {
            const TPrvek& e = *elements_[j];
            if (e.layer != layer)
                continue;
            // j and every ancestor must be visible.
            bool visible = e.Visible();
            const TPrvek* cur = &e;
            while (visible && cur->layer > 0 && cur->parent < n &&
                   elements_[cur->parent]->layer < cur->layer) {
                cur = elements_[cur->parent].get();
                visible = cur->Visible();
            }
            if (!visible)
                continue;
            Point p;
            if (MapToElement(static_cast<int>(j), point, p) && e.rect.ContainsStrictly(p))
                return static_cast<int32_t>(j);
        }
    }
    return -1;
}

void TPraded::Tick()
{
    for (auto& e : elements_) {
        if ((e->flags & TPrvek::FlagPolled) && (e->flags & TPrvek::FlagVisible) &&
            e->Poll(state.tick) == PageEvent::Repaint)
            repaint = true;
    }
    if (repaint)
        return;
    if (!state.MovedRecently())
        return;
    const int32_t h = HitTest(state.mousePoint);
    const uint16_t now = h < 0 ? kNone : static_cast<uint16_t>(h);
    if (now == hovered)
        return;
    if (hovered < elements_.size() && elements_[hovered]->kind == TPrvek::KindHover)
        repaint = true;
    hovered = now;
    if (h >= 0 && elements_[static_cast<size_t>(h)]->kind == TPrvek::KindHover)
        repaint = true;
}

void TPraded::PaintElements(Canvas& on, const std::function<bool(const TPrvek&)>& which)
{
    for (auto& e : elements_)
        if (e->Visible() && (!which || which(*e)))
            e->Paint(on);
}

void TPraded::Paint()
{
    if (canvas == nullptr)
        return;
    for (auto& e : elements_)
        if (e->Visible())
            e->Paint(*canvas);
}

void TPraded::ShowHintAt(Point offset, std::string_view text)
{
    if (text.empty() || state.hintWindow == nullptr)
        return;
    const QString q = KamToQString(text);
    if (q.isEmpty())
        return;
    state.hintWindow->ShowHint(QPoint(offset.x, offset.y), q);
    state.hintShown = true;
}
