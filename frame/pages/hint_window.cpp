#include "frame/pages/hint_window.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace {
constexpr int kPadX = 4; // text inset inside the one-pixel border
constexpr int kPadY = 2;
} // namespace

TMyHintWindow::TMyHintWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), font_(QGuiApplication::font())
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void TMyHintWindow::SetHintFont(const QFont& font)
{
    font_ = font;
    if (isVisible())
        update();
}

QRect TMyHintWindow::CalcHintRect(int maxWidth, const QString& text) const
{
    const QFontMetrics m(font_);
    const QRect textRect = m.boundingRect(QRect(0, 0, std::max(1, maxWidth), 1 << 20),
                                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    return QRect(0, 0, textRect.width() + 2 * kPadX + 2, textRect.height() + 2 * kPadY + 2);
}

QRect TMyHintWindow::ScreenArea(const QPoint& near) const
{
    QScreen* screen = QGuiApplication::screenAt(near);
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return QRect(0, 0, 1 << 14, 1 << 14);
    return screen->availableGeometry();
}

void TMyHintWindow::ShowHint(const QPoint& topLeft, const QString& text)
{
    if (text.isEmpty()) {
        HideHint();
        return;
    }
    text_ = text;
    const QRect area = ScreenArea(topLeft);
    const int maxText = std::max(16, std::min(kMaxHintWidth, area.width()) - 2 * kPadX - 2);
    QRect r = CalcHintRect(maxText, text);
    r.moveTopLeft(topLeft);
    // Keep the whole window on the screen.
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    setGeometry(r);
    show();
    update();
}

void TMyHintWindow::HideHint()
{
    hide();
    text_.clear();
}

void TMyHintWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::ToolTipBase));
    p.setPen(pal.color(QPalette::ToolTipText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setFont(font_);
    p.drawText(rect().adjusted(1 + kPadX, 1 + kPadY, -1 - kPadX, -1 - kPadY),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
}
