#include "platform/gui/canvas.h"

#include "platform/cp1250.h"

#include <QColor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygon>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Classic desktop colours, used while no GUI application (and so no palette)
// exists: command-line tools and tests that never open a window.
constexpr std::array<Colour, 31> kClassicSystemColours = {
    0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xC0C0C0, 0x800000, 0xF0CAA6, 0xC0C0C0, 0x6A240A, 0xC8D0D4,
};

struct PaletteSlot {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// System colour number -> the nearest palette role.
PaletteSlot PaletteSlotOf(int number)
{
    using P = QPalette;
    switch (number) {
    case 0: return {P::Active, P::Midlight};        // scroll bar
    case 1: return {P::Active, P::Dark};            // desktop
    case 2: return {P::Active, P::Highlight};       // active caption
    case 3: return {P::Inactive, P::Mid};           // inactive caption
    case 4: return {P::Active, P::Window};          // menu
    case 5: return {P::Active, P::Base};            // window
    case 6: return {P::Active, P::Shadow};          // window frame
    case 7: return {P::Active, P::WindowText};      // menu text
    case 8: return {P::Active, P::Text};            // window text
    case 9: return {P::Active, P::HighlightedText}; // caption text
    case 10: return {P::Active, P::Button};         // active border
    case 11: return {P::Inactive, P::Button};       // inactive border
    case 12: return {P::Active, P::Mid};            // application workspace
    case 13: return {P::Active, P::Highlight};
    case 14: return {P::Active, P::HighlightedText};
    case 15: return {P::Active, P::Button}; // button face
    case 16: return {P::Active, P::Dark};   // button shadow
    case 17: return {P::Disabled, P::Text}; // grey text
    case 18: return {P::Active, P::ButtonText};
    case 19: return {P::Disabled, P::WindowText}; // inactive caption text
    case 20: return {P::Active, P::Light};        // button highlight
    case 21: return {P::Active, P::Shadow};       // 3-D dark shadow
    case 22: return {P::Active, P::Midlight};     // 3-D light
    case 23: return {P::Active, P::ToolTipText};  // info text
    case 24: return {P::Active, P::ToolTipBase};  // info background
    case 26: return {P::Active, P::Link};         // hot-tracked item
    case 27: return {P::Active, P::Highlight};    // caption gradients
    case 28: return {P::Inactive, P::Mid};
    case 29: return {P::Active, P::Highlight}; // menu highlight
    case 30: return {P::Active, P::Window};    // menu bar
    default: return {P::Active, P::Button};
    }
}

QRect ToQRect(const Rect& r)
{
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// The outline rectangle of a shape: a one-pixel pen then covers exactly the
// columns left .. right - 1 and the rows top .. bottom - 1.
QRectF OutlineRect(const Rect& r)
{
    return QRectF(r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1);
}

QPainterPath ToQPath(const CanvasPath& path)
{
    QPainterPath q;
    for (const CanvasPath::Element& e : path.elements) {
        switch (e.op) {
        case CanvasPath::Op::Move: q.moveTo(e.p[0].x, e.p[0].y); break;
        case CanvasPath::Op::Line: q.lineTo(e.p[0].x, e.p[0].y); break;
        case CanvasPath::Op::Cubic:
            q.cubicTo(e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
            break;
        }
    }
    return q;
}

// Sets slot to value; true when that changed it (a font is rebuilt only then).
template <class T>
bool Change(T& slot, T value)
{
    if (slot == value)
        return false;
    slot = value;
    return true;
}

} // namespace

Colour ResolveColour(Colour c)
{
    if (!IsSystemColour(c))
        return c & 0x00FFFFFFu;
    const int number = static_cast<int>(c & 0xFF);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        const PaletteSlot slot = PaletteSlotOf(number);
        return ColourOfQColor(QGuiApplication::palette().color(slot.group, slot.role));
    }
    if (number < static_cast<int>(kClassicSystemColours.size()))
        return kClassicSystemColours[number];
    return 0xC8D0D4;
}

QColor ToQColor(Colour c)
{
    const Colour rgb = ResolveColour(c);
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}

Colour ColourOfQColor(const QColor& c)
{
    return static_cast<Colour>(c.red()) | (static_cast<Colour>(c.green()) << 8) |
           (static_cast<Colour>(c.blue()) << 16);
}

Rect Rect::Intersected(const Rect& o) const
{
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    if (r.IsEmpty())
        return {r.left, r.top, r.left, r.top};
    return r;
}

// ---------------------------------------------------------------- Canvas

Canvas::~Canvas() = default;

void Canvas::SetPen(Colour colour, int width)
{
    state_.pen = {colour, width};
    dirty_ |= DirtyPen;
}
void Canvas::SetPenColour(Colour colour)
{
    state_.pen.colour = colour;
    dirty_ |= DirtyPen;
}
void Canvas::SetPenWidth(int width)
{
    state_.pen.width = width;
    dirty_ |= DirtyPen;
}
void Canvas::SetBrush(Colour colour, BrushStyle style)
{
    state_.brush = {colour, style};
    dirty_ |= DirtyBrush;
}
void Canvas::SetBrushColour(Colour colour)
{
    state_.brush.colour = colour;
    dirty_ |= DirtyBrush;
}
void Canvas::SetBrushStyle(BrushStyle style)
{
    state_.brush.style = style;
    dirty_ |= DirtyBrush;
}
void Canvas::SetFont(const CanvasFont& font)
{
    const bool faceChanged = font.family != state_.font.family || font.size != state_.font.size ||
                             font.bold != state_.font.bold || font.italic != state_.font.italic ||
                             font.underline != state_.font.underline;
    state_.font = font;
    if (faceChanged)
        dirty_ |= DirtyFont;
}
void Canvas::SetFontSize(int size)
{
    if (Change(state_.font.size, size))
        dirty_ |= DirtyFont;
}
void Canvas::SetBold(bool on)
{
    if (Change(state_.font.bold, on))
        dirty_ |= DirtyFont;
}
void Canvas::SetItalic(bool on)
{
    if (Change(state_.font.italic, on))
        dirty_ |= DirtyFont;
}
void Canvas::SetUnderline(bool on)
{
    if (Change(state_.font.underline, on))
        dirty_ |= DirtyFont;
}
void Canvas::SetFontColour(Colour colour)
{
    state_.font.colour = colour;
}
void Canvas::SetAntialias(bool on)
{
    state_.antialias = on;
    dirty_ |= DirtyHints;
}
void Canvas::SetClipRect(const Rect& r)
{
    state_.clipped = true;
    state_.clip = r;
    dirty_ |= DirtyClip;
}
void Canvas::ResetClip()
{
    state_.clipped = false;
    dirty_ |= DirtyClip;
}

// ---------------------------------------------------------- PainterCanvas

PainterCanvas::PainterCanvas(QPaintDevice* device, int dpi) : device_(device), dpi_(dpi > 0 ? dpi : 96)
{}

PainterCanvas::~PainterCanvas()
{
    EndPaint();
}

void PainterCanvas::SetDevice(QPaintDevice* device, int dpi)
{
    EndPaint();
    device_ = device;
    if (dpi > 0 && dpi != dpi_) {
        dpi_ = dpi;
        fontValid_ = false;
    }
    metrics_.reset();
    fontValid_ = false;
}

bool PainterCanvas::Painting() const
{
    return painter_ != nullptr;
}

void PainterCanvas::EndPaint()
{
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
    dirty_ = DirtyAll;
}

QFont PainterCanvas::CurrentQFont()
{
    EnsureFont();
    return qfont_;
}

void PainterCanvas::EnsureFont()
{
    if (!fontValid_ || (dirty_ & DirtyFont)) {
        const CanvasFont& f = state_.font;
        QFont q(QString::fromLatin1(f.family.data(), static_cast<int>(f.family.size())));
        const int px = std::max(1, static_cast<int>(std::lround(std::abs(f.size) * dpi_ / 72.0)));
        q.setPixelSize(px);
        q.setBold(f.bold);
        q.setItalic(f.italic);
        q.setUnderline(f.underline);
        if (q != qfont_)
            ClearShaped();
        qfont_ = q;
        metrics_.reset();
        fontValid_ = true;
        if (painter_)
            painter_->setFont(qfont_);
        dirty_ &= ~static_cast<uint32_t>(DirtyFont);
    }
}

void PainterCanvas::SetTextCache(bool on)
{
    cacheTexts_ = on;
    if (!on)
        ClearShaped();
}

void PainterCanvas::ClearShaped()
{
    shaped_.clear();
    shapedOrder_.clear();
}

const QFontMetrics& PainterCanvas::Metrics()
{
    EnsureFont();
    if (!metrics_) {
        if (device_ != nullptr)
            metrics_ = std::make_unique<QFontMetrics>(qfont_, device_);
        else
            metrics_ = std::make_unique<QFontMetrics>(qfont_);
    }
    return *metrics_;
}

int PainterCanvas::TextWidth(std::string_view text)
{
    if (text.empty())
        return 0;
    return Metrics().horizontalAdvance(Cp1250ToQString(text));
}

int PainterCanvas::TextHeight(std::string_view)
{
    const QFontMetrics& m = Metrics();
    return m.ascent() + m.descent();
}

QPainter* PainterCanvas::NativePainter()
{
    QPainter& p = Painter();
    return p.isActive() ? &p : nullptr;
}

QPainter& PainterCanvas::Painter()
{
    if (!painter_) {
        painter_ = std::make_unique<QPainter>();
        if (device_ != nullptr && device_->width() > 0 && device_->height() > 0)
            painter_->begin(device_);
        dirty_ = DirtyAll;
    }
    if (dirty_ != 0)
        ApplyState(*painter_);
    return *painter_;
}

void PainterCanvas::ApplyState(QPainter& p)
{
    if (!p.isActive()) {
        dirty_ = 0;
        return;
    }
    if (dirty_ & DirtyPen) {
        QPen pen(ToQColor(state_.pen.colour));
        const int w = std::max(0, state_.pen.width);
        pen.setWidth(w);
        if (w >= 2) {
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
        } else {
            pen.setCapStyle(Qt::FlatCap);
            pen.setJoinStyle(Qt::MiterJoin);
        }
        p.setPen(pen);
    }
    if (dirty_ & DirtyBrush) {
        if (state_.brush.style == BrushStyle::Solid)
            p.setBrush(ToQColor(state_.brush.colour));
        else
            p.setBrush(Qt::NoBrush);
    }
    if (dirty_ & DirtyFont)
        EnsureFont();
    if (fontValid_ && p.font() != qfont_)
        p.setFont(qfont_);
    if (dirty_ & DirtyClip) {
        if (state_.clipped)
            p.setClipRect(ToQRect(state_.clip));
        else
            p.setClipping(false);
    }
    if (dirty_ & DirtyHints)
        p.setRenderHint(QPainter::Antialiasing, state_.antialias);
    dirty_ = 0;
}

void PainterCanvas::LineTo(int x, int y)
{
    QPainter& p = Painter();
    if (p.isActive()) {
        const int x0 = state_.penPosition.x;
        const int y0 = state_.penPosition.y;
        // A thin aliased flat-capped line along an axis covers the pixels from
        // the lower end up to, not including, the higher one: a filled
        // rectangle gives the same pixels on an image without the stroker.
        const bool axis = (x0 == x) != (y0 == y);
        if (axis && state_.pen.width <= 1 && !state_.antialias && device_ != nullptr &&
            device_->devType() == QInternal::Image && !p.transform().isScaling() &&
            p.transform().type() <= QTransform::TxTranslate && p.pen().style() == Qt::SolidLine) {
            const QRect r = x0 == x ? QRect(x, std::min(y0, y), 1, std::abs(y - y0))
                                    : QRect(std::min(x0, x), y, std::abs(x - x0), 1);
            p.fillRect(r, p.pen().color());
        } else {
            p.drawLine(x0, y0, x, y);
        }
    }
    state_.penPosition = {x, y};
}

void PainterCanvas::Rectangle(const Rect& r)
{
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    if (r.Width() == 1 || r.Height() == 1) {
        // Too thin for an outline and an interior: the pen covers it.
        p.fillRect(ToQRect(r), ToQColor(state_.pen.colour));
        return;
    }
    p.drawRect(OutlineRect(r));
}

void PainterCanvas::FillRect(const Rect& r)
{
    if (r.IsEmpty() || state_.brush.style == BrushStyle::Clear)
        return;
    QPainter& p = Painter();
    if (p.isActive())
        p.fillRect(ToQRect(r), ToQColor(state_.brush.colour));
}

void PainterCanvas::RoundRect(const Rect& r, int ew, int eh)
{
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (p.isActive())
        p.drawRoundedRect(OutlineRect(r), ew / 2.0, eh / 2.0);
}

void PainterCanvas::Ellipse(const Rect& r)
{
    if (r.IsEmpty())
        return;
    QPainter& p = Painter();
    if (p.isActive())
        p.drawEllipse(OutlineRect(r));
}

void PainterCanvas::Polygon(const std::vector<Point>& points)
{
    if (points.size() < 2)
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    QPolygon poly;
    poly.reserve(static_cast<int>(points.size()));
    for (const Point& pt : points)
        poly << QPoint(pt.x, pt.y);
    p.drawPolygon(poly);
}

void PainterCanvas::Polyline(const std::vector<Point>& points)
{
    if (points.size() < 2)
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    QPolygon poly;
    poly.reserve(static_cast<int>(points.size()));
    for (const Point& pt : points)
        poly << QPoint(pt.x, pt.y);
    p.drawPolyline(poly);
}

void PainterCanvas::StrokePath(const CanvasPath& path)
{
    if (path.Empty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    p.setBrush(Qt::NoBrush);
    p.drawPath(ToQPath(path));
    dirty_ |= DirtyBrush;
}

void PainterCanvas::FillPath(const CanvasPath& path, Colour colour)
{
    if (path.Empty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    QPainterPath q = ToQPath(path);
    q.setFillRule(Qt::OddEvenFill);
    p.fillPath(q, ToQColor(colour));
}

void PainterCanvas::DrawTextAt(int x, int y, const QString& text)
{
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    const QFontMetrics& m = Metrics();
    if (state_.brush.style == BrushStyle::Solid)
        p.fillRect(QRect(x, y, m.horizontalAdvance(text), m.ascent() + m.descent()),
                   ToQColor(state_.brush.colour));
    p.setPen(ToQColor(state_.font.colour));
    p.drawText(QPoint(x, y + m.ascent()), text);
    dirty_ |= DirtyPen;
}

void PainterCanvas::TextOut(int x, int y, std::string_view text)
{
    if (text.empty())
        return;
    DrawTextAt(x, y, Cp1250ToQString(text));
}

void PainterCanvas::TextRect(const Rect& r, int x, int y, std::string_view text)
{
    Rect clip = r;
    if (state_.clipped)
        clip = clip.Intersected(state_.clip);
    if (clip.IsEmpty())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    p.setClipRect(ToQRect(clip));
    dirty_ |= DirtyClip;
    if (state_.brush.style == BrushStyle::Solid)
        p.fillRect(ToQRect(clip), ToQColor(state_.brush.colour));
    if (!text.empty()) {
        p.setPen(ToQColor(state_.font.colour));
        if (cacheTexts_ && p.transform().type() == QTransform::TxNone) {
            p.drawStaticText(QPointF(x, y), ShapedText(text));
        } else {
            const QString q = Cp1250ToQString(text);
            const QFontMetrics& m = Metrics();
            p.drawText(QPoint(x, y + m.ascent()), q);
        }
        dirty_ |= DirtyPen;
    }
}

const QStaticText& PainterCanvas::ShapedText(std::string_view text)
{
    // A full screen of cells (some 60 rows of up to 10 columns) several
    // times over: the rows of the last few refills stay shaped.
    constexpr size_t kMaxShapedTexts = 4096;
    EnsureFont();
    if (auto it = shaped_.find(text); it != shaped_.end()) {
        shapedOrder_.splice(shapedOrder_.begin(), shapedOrder_, it->second);
        return it->second->shaped;
    }
    if (shaped_.size() >= kMaxShapedTexts) {
        shaped_.erase(shapedOrder_.back().text);
        shapedOrder_.pop_back();
    }
    QStaticText shaped(Cp1250ToQString(text));
    shaped.setTextFormat(Qt::PlainText);
    shaped.setPerformanceHint(QStaticText::AggressiveCaching);
    shaped.prepare(QTransform(), painter_ ? painter_->font() : qfont_);
    shapedOrder_.push_front(ShapedEntry{std::string(text), std::move(shaped)});
    shaped_.emplace(shapedOrder_.front().text, shapedOrder_.begin());
    return shapedOrder_.front().shaped;
}

void PainterCanvas::DrawImage(const Rect& target, const QImage& image, const Rect& source)
{
    if (target.IsEmpty() || source.IsEmpty() || image.isNull())
        return;
    QPainter& p = Painter();
    if (!p.isActive())
        return;
    if (target.Width() == source.Width() && target.Height() == source.Height())
        p.drawImage(QPoint(target.left, target.top), image, ToQRect(source));
    else
        p.drawImage(ToQRect(target), image, ToQRect(source));
}

// ------------------------------------------------------------ ImageCanvas

ImageCanvas::ImageCanvas() : PainterCanvas(nullptr, 96)
{
    SetDevice(&image_, 96);
}

ImageCanvas::ImageCanvas(int width, int height, Colour fill) : PainterCanvas(nullptr, 96)
{
    Resize(width, height, fill);
}

ImageCanvas::~ImageCanvas()
{
    // The image goes before the base class: a paint pass still open on it
    // must end first.
    EndPaint();
}

void ImageCanvas::Resize(int width, int height, Colour fill)
{
    EndPaint();
    image_ = QImage(std::max(0, width), std::max(0, height), QImage::Format_RGB32);
    if (!image_.isNull())
        image_.fill(ToQColor(fill));
    SetDevice(&image_, 96);
}

const QImage& ImageCanvas::Image()
{
    EndPaint();
    return image_;
}
