#include "lists/toolkit/scroll_bar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>

#include "frame/pages/key_map.h"
#include "lists/toolkit/vyb_types.h"
#include "platform/gui/canvas.h"

// ---------------------------------------------------------------- Geometry

int ScrollGeometry::ThumbStartAt(int32_t position) const
{
    if (max <= 0 || Track() <= 0)
        return thickness - 1;
    return static_cast<int>(int64_t{Track()} * position / max) + thickness - 1;
}

int ScrollGeometry::HitTest(int c, int32_t& hitPos) const
{
    if (max == 0)
        return 1;
    const int w = thickness;
    const int L = length;
    if (c < w)
        return ActionCode::Up;
    if (c > L - w)
        return ActionCode::Down;
    if (Track() > 0)
        hitPos =
            static_cast<int32_t>(std::clamp<int64_t>(int64_t{c - 3 * w / 2 + 1} * max / Track(), 0, max));
    else
        hitPos = c < L / 2 ? 0 : max;
    if (HasThumb()) {
        const int t = ThumbStart();
        if (c <= t + w)
            return c < t ? ActionCode::PageUp : 0;
        return ActionCode::PageDown;
    }
    return c < L / 2 ? ActionCode::PageUp : ActionCode::PageDown;
}

int32_t ScrollGeometry::DragPosition(int c) const
{
    const int h = thickness / 2;
    if (c > length - 3 * h)
        return max;
    if (c < 3 * h)
        return 0;
    const int span = length - 6 * h + 2;
    if (span <= 0)
        return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{max} * (c - 3 * h + 1) / span, 0, max));
}

// ------------------------------------------------------------------ The bar

TAScroll::TAScroll(QWidget* parent) : QWidget(parent), repeatTimer_(new QTimer(this))
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(85, 17);
    repeatTimer_->setInterval(400);
    connect(repeatTimer_, &QTimer::timeout, this, &TAScroll::RepeatTick);
}

ScrollGeometry TAScroll::Geometry() const
{
    ScrollGeometry g;
    g.length = std::max(width(), height());
    g.thickness = std::min(width(), height());
    g.max = max_;
    g.posit = posit_;
    return g;
}

void TAScroll::Repaint()
{
    ++repaints_;
    update();
}

void TAScroll::SetMax(int32_t m)
{
    m = std::max(0, m);
    if (m == max_)
        return;
    max_ = m;
    posit_ = std::min(posit_, m);
    Repaint();
}

void TAScroll::SetPosit(int32_t p)
{
    if (max_ == 0)
        return;
    p = std::clamp(p, 0, max_);
    const ScrollGeometry g = Geometry();
    const bool samePixel = !g.HasThumb() || g.ThumbStartAt(posit_) == g.ThumbStartAt(p);
    posit_ = p;
    if (!samePixel)
        Repaint();
}

void TAScroll::SetWidth(int w)
{
    if (w == width())
        return;
    resize(w, height());
    Repaint();
}

void TAScroll::SetHeight(int h)
{
    if (h == height())
        return;
    resize(width(), h);
    Repaint();
}

bool TAScroll::MoveBy(uint16_t code)
{
    switch (code) {
    case ActionCode::Up: SetPosit(posit_ - Small); return true;
    case ActionCode::PageUp: SetPosit(posit_ - Large); return true;
    case ActionCode::Down: SetPosit(posit_ + Small); return true;
    case ActionCode::PageDown: SetPosit(posit_ + Large); return true;
    default: return false;
    }
}

bool TAScroll::Repeating() const
{
    return repeatTimer_->isActive();
}

void TAScroll::MouseDown(Qt::MouseButton button, QPoint at, uint8_t shift)
{
    if (button != Qt::LeftButton || max_ <= 0)
        return;
    pressed_ = true;
    action_ = static_cast<int16_t>(Geometry().HitTest(Along(at), hitPos_));
    if (action_ == 0)
        return; // the thumb: a drag follows
    uint16_t code = static_cast<uint16_t>(action_);
    if (OnAction)
        OnAction(this, code, shift);
    shiftState_ = shift;
    if (MoveBy(code) && OnScroll)
        OnScroll(this);
    repeatTimer_->start(400);
}

void TAScroll::RepeatTick()
{
    if (!pressed_) {
        repeatTimer_->stop();
        return;
    }
    repeatTimer_->setInterval(100);
    // Paging stops once the thumb has reached the mouse.
    if (action_ == ActionCode::PageUp && !(hitPos_ < posit_))
        return;
    if (action_ == ActionCode::PageDown && !(posit_ < hitPos_))
        return;
    uint16_t code = static_cast<uint16_t>(action_);
    if (OnAction)
        OnAction(this, code, shiftState_);
    if (MoveBy(code) && OnScroll)
        OnScroll(this);
}

void TAScroll::MouseMove(QPoint at)
{
    if (max_ == 0)
        return;
    if (repeatTimer_->isActive()) {
        int32_t hit = hitPos_;
        if (!rect().contains(at) || Geometry().HitTest(Along(at), hit) != action_)
            pressed_ = false;
        return;
    }
    if (!pressed_)
        return;
    SetPosit(Geometry().DragPosition(Along(at)));
    if (OnScroll)
        OnScroll(this);
}

void TAScroll::MouseUp()
{
    repeatTimer_->stop();
    if (pressed_) {
        pressed_ = false;
        if (OnScroll)
            OnScroll(this);
    }
    action_ = 0;
}

void TAScroll::mousePressEvent(QMouseEvent* event)
{
    MouseDown(event->button(), event->position().toPoint(), ShiftFlagsOf(event->modifiers()));
}

void TAScroll::mouseDoubleClickEvent(QMouseEvent* event)
{
    MouseDown(event->button(), event->position().toPoint(), ShiftFlagsOf(event->modifiers()));
}

void TAScroll::mouseMoveEvent(QMouseEvent* event)
{
    MouseMove(event->position().toPoint());
}

void TAScroll::mouseReleaseEvent(QMouseEvent*)
{
    MouseUp();
}

// ------------------------------------------------------------------ Paint

void TAScroll::paintEvent(QPaintEvent*)
{
    PainterCanvas c(this);
    const int w = width();
    const int h = height();
    const ScrollGeometry g = Geometry();
    const bool horizontal = Horizontal();
    c.SetPen(SysColour::ScrollBar, 1);
    c.SetBrush(SysColour::ScrollBar);
    c.Rectangle(Rect{0, 0, w, h});

    // A button face from a to b along the bar.
    auto face = [&](int a, int b) {
        const Rect r = horizontal ? Rect{a, 0, b, h} : Rect{0, a, w, b};
        c.SetPen(SysColour::BtnFace, 1);
        c.SetBrush(SysColour::BtnFace);
        c.Rectangle(r);
        if (Ctl3D && max_ > 0) {
            c.SetPen(SysColour::BtnHighlight, 1);
            c.MoveTo(r.left, r.bottom - 1);
            c.LineTo(r.left, r.top);
            c.LineTo(r.right - 1, r.top);
            c.SetPen(SysColour::BtnShadow, 1);
            c.LineTo(r.right - 1, r.bottom - 1);
            c.LineTo(r.left, r.bottom - 1);
        }
        return r;
    };
    // A filled triangle pointing outwards, about half the button's size.
    auto arrow = [&](const Rect& r, bool first) {
        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        const int s = std::max(2, g.thickness / 4);
        std::vector<Point> p;
        if (horizontal)
            p = first ? std::vector<Point>{{cx - s, cy}, {cx + s / 2, cy - s}, {cx + s / 2, cy + s}}
                      : std::vector<Point>{{cx + s, cy}, {cx - s / 2, cy - s}, {cx - s / 2, cy + s}};
        else
            p = first ? std::vector<Point>{{cx, cy - s}, {cx - s, cy + s / 2}, {cx + s, cy + s / 2}}
                      : std::vector<Point>{{cx, cy + s}, {cx - s, cy - s / 2}, {cx + s, cy - s / 2}};
        const Colour colour = max_ == 0 ? SysColour::GrayText : SysColour::BtnText;
        c.SetPen(colour, 1);
        c.SetBrush(colour);
        c.Polygon(p);
    };
    arrow(face(0, g.thickness), true);
    arrow(face(g.length - g.thickness, g.length), false);
    if (g.HasThumb()) {
        const int t = g.ThumbStart();
        face(t, t + g.thickness);
    }
    c.EndPaint();
}
