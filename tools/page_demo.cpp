// The demonstration page of the page framework (tools/page_demo_page.h).
//
//   page_demo [--table QEVW.CES] [--shot DIR]
//
// With --shot it drives the page host without real time and writes PNG
// screenshots into DIR: the page at rest, a button hovered, text typed with
// the caret, the canvas scrolled with the thumb moved, and a hint.  Without
// it, it opens a window that maps mouse, wheel and keys to page events.
// The table defaults to program/qevw.ces beside the tools folder.  Run with
// QT_QPA_PLATFORM=offscreen where there is no display.

#include "frame/pages/hint_window.h"
#include "frame/pages/page_host.h"
#include "page_demo_page.h"
#include "platform/cp1250.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

CanvasFont PageFont()
{
    return CanvasFont{"DejaVu Sans", 10};
}

std::unique_ptr<demo::DemoPage> MakePage(PageHost& host, const QImage& photo)
{
    return std::make_unique<demo::DemoPage>(host.State(), host.BackBuffer(), host.ClientWidth(),
                                            host.ClientHeight(), photo);
}

Point Centre(const Rect& r)
{
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Ticks until the next frame is painted (at most a second of ticks).
void TickUntilPainted(PageHost& host)
{
    const uint64_t before = host.FramesPainted();
    for (int i = 0; i < 50 && host.FramesPainted() == before; ++i)
        host.TimerTick();
}

bool Save(const QImage& image, const QString& dir, const char* name)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot be written\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

int Shots(const QString& dir, const QImage& photo)
{
    QDir().mkpath(dir);
    PageHost host(PageFont());
    TMyHintWindow hint;
    host.State().hintWindow = &hint;
    host.Resize(1000, 640);
    auto owned = MakePage(host, photo);
    demo::DemoPage& page = *owned;
    host.SetPage(std::move(owned));

    // The worker rewrites the status line behind the first three characters.
    page.StartWorker(4, std::chrono::milliseconds(1));
    page.JoinWorker();
    host.MouseMove({5, 5});
    TickUntilPainted(host);
    TickUntilPainted(host);
    bool ok = Save(host.BackBuffer().Image(), dir, "page_rest.png");

    host.MouseMove(Centre(page.Element(demo::DemoPage::kShapeButton).rect));
    TickUntilPainted(host);
    ok &= Save(host.BackBuffer().Image(), dir, "page_hover.png");

    for (char c : QStringToCp1250(QString::fromUtf8("Paralen č")))
        host.SendEvent(static_cast<unsigned char>(c), PageShift::Typed);
    host.SendEvent(PageChar::Backspace, PageShift::Typed);
    host.SendEvent(static_cast<unsigned char>('\xE8'), PageShift::Typed); // "č" again
    // Wait for the caret's visible phase.
    TPrvek& input = page.Element(demo::DemoPage::kInput);
    for (int i = 0;
         i < 40 && !(input.style & TPrvek::StyleCaret && host.State().tick % 2 == 0 && !page.repaint); ++i)
        host.TimerTick();
    host.PaintNow();
    ok &= Save(host.BackBuffer().Image(), dir, "page_typed.png");

    const Rect canvasRect = page.Element(demo::DemoPage::kCanvas).rect;
    host.MouseMove(Centre(canvasRect));
    for (int i = 0; i < 40; ++i) // to the end: the child button comes into view
        host.SendEvent(PageEvent::WheelDown, 0);
    // Rest the mouse on the child button where the scrolled canvas shows it.
    TPlatno& cv = static_cast<TPlatno&>(page.Element(demo::DemoPage::kCanvas));
    const Rect child = page.Element(demo::DemoPage::kCanvasButton).rect;
    host.MouseMove({canvasRect.left + Centre(child).x - cv.ScrollOffset().x,
                    canvasRect.top + Centre(child).y - cv.ScrollOffset().y});
    TickUntilPainted(host);
    TickUntilPainted(host);
    ok &= Save(host.BackBuffer().Image(), dir, "page_scrolled.png");

    // A hint over the picture button: the page's point is taken as the
    // screen point here, 24 pixels below the mouse.
    const Point over = Centre(page.Element(demo::DemoPage::kPictureButton).rect);
    host.MouseMove(over);
    TickUntilPainted(host);
    host.State().hintPoint = {over.x, over.y + 24};
    host.SendEvent(PageEvent::HintRequest, 0);
    TickUntilPainted(host);
    QImage withHint = host.BackBuffer().Image().copy();
    if (hint.isVisible()) {
        QPainter p(&withHint);
        p.drawPixmap(hint.geometry().topLeft(), hint.grab());
    } else {
        std::fprintf(stderr, "page_demo: the hint did not show\n");
        ok = false;
    }
    ok &= Save(withHint, dir, "page_hint.png");
    return ok ? 0 : 1;
}

// An interactive window over the host: Qt input becomes page events.
class DemoWindow : public QWidget {
public:
    explicit DemoWindow(const QImage& photo) : host_(PageFont()), photo_(photo)
    {
        setWindowTitle(QStringLiteral("page_demo"));
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        host_.State().hintWindow = &hint_;
        host_.onFrameReady = [this](const QImage&) { update(); };
        resize(1000, 640);
        connect(&timer_, &QTimer::timeout, this, &DemoWindow::OnTimer);
        timer_.start(20);
    }

protected:
    void resizeEvent(QResizeEvent*) override
    {
        host_.Resize(width(), height());
        if (host_.Page() == nullptr) {
            auto page = MakePage(host_, photo_);
            demo::DemoPage* p = page.get();
            host_.SetPage(std::move(page));
            p->StartWorker(100, std::chrono::milliseconds(300));
        }
    }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.drawImage(0, 0, host_.BackBuffer().Image());
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        const uint32_t before = host_.State().moveTick;
        host_.MouseMove({e->position().toPoint().x(), e->position().toPoint().y()});
        if (host_.State().moveTick != before)
            host_.HideHint();
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        host_.State().mouseButtons |= e->button() == Qt::LeftButton ? 1 : 2;
        host_.State().pressTick = host_.State().tick;
        host_.SendEvent(PageEvent::ButtonChange, 0);
        host_.HideHint();
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        const bool onlyLeft = host_.State().mouseButtons == 1;
        host_.State().mouseButtons &= e->button() == Qt::LeftButton ? ~1 : ~2;
        const PageState& s = host_.State();
        if (s.pressTick != PageState::kNoTick &&
            (s.moveTick == PageState::kNoTick || s.pressTick >= s.moveTick))
            host_.SendEvent(onlyLeft ? PageEvent::LeftClick : PageEvent::OtherClick, 0);
        host_.SendEvent(PageEvent::ButtonChange, 0);
    }
    void wheelEvent(QWheelEvent* e) override
    {
        host_.SendEvent(e->angleDelta().y() > 0 ? PageEvent::WheelUp : PageEvent::WheelDown, 0);
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        static const std::pair<int, int32_t> keys[] = {
            {Qt::Key_Tab, PageKey::Tab},
            {Qt::Key_PageUp, PageKey::PageUp},
            {Qt::Key_PageDown, PageKey::PageDown},
            {Qt::Key_End, PageKey::End},
            {Qt::Key_Home, PageKey::Home},
            {Qt::Key_Left, PageKey::Left},
            {Qt::Key_Up, PageKey::Up},
            {Qt::Key_Right, PageKey::Right},
            {Qt::Key_Down, PageKey::Down},
            {Qt::Key_Insert, PageKey::Insert},
            {Qt::Key_Delete, PageKey::Delete},
        };
        uint8_t shift = 0;
        if (e->modifiers() & Qt::ShiftModifier)
            shift |= PageShift::ShiftKey;
        if (e->modifiers() & Qt::AltModifier)
            shift |= PageShift::Alt;
        if (e->modifiers() & Qt::ControlModifier)
            shift |= PageShift::Ctrl;
        for (auto [qt, vk] : keys)
            if (e->key() == qt) {
                host_.SendEvent(vk, shift);
                return;
            }
        if (e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F12) {
            host_.SendEvent(PageKey::F1 + (e->key() - Qt::Key_F1), shift);
            return;
        }
        int32_t ch = 0;
        if ((e->modifiers() & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z)
            ch = e->key() - Qt::Key_A + 1;
        else if (e->key() == Qt::Key_Backspace)
            ch = PageChar::Backspace;
        else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)
            ch = PageChar::Enter;
        else if (e->key() == Qt::Key_Escape)
            ch = PageChar::Escape;
        else if (!e->text().isEmpty()) {
            const std::string b = QStringToCp1250(e->text().left(1), '\0');
            ch = b.empty() ? 0 : static_cast<unsigned char>(b[0]);
        }
        if (ch > 0 && host_.SendEvent(ch, PageShift::Typed) == ch)
            host_.SendEvent(ch, shift);
    }

private:
    void OnTimer()
    {
        host_.TimerTick();
        PageState& s = host_.State();
        // Hover: the mouse rested for 40 ticks since its last real move.
        if (s.moveTick != PageState::kNoTick && s.tick - s.moveTick == 40 && !s.hintShown) {
            const QPoint g = mapToGlobal(QPoint(s.movePoint.x, s.movePoint.y + 24));
            s.hintPoint = {g.x(), g.y()};
            host_.SendEvent(PageEvent::HintRequest, 0);
        }
        if (s.hintShown && s.moveTick != PageState::kNoTick && s.tick - s.moveTick > 165)
            host_.HideHint();
    }

    PageHost host_;
    TMyHintWindow hint_;
    QImage photo_;
    QTimer timer_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QString shotDir;
    std::string table =
        QDir(QCoreApplication::applicationDirPath()).filePath("../program/qevw.ces").toStdString();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--shot" && i + 1 < argc)
            shotDir = QString::fromLocal8Bit(argv[++i]);
        else if (a == "--table" && i + 1 < argc)
            table = argv[++i];
        else {
            std::fputs("usage: page_demo [--table QEVW.CES] [--shot DIR]\n", stderr);
            return 2;
        }
    }
    std::string error;
    if (!demo::LoadDemoTexts(table, error)) {
        std::fprintf(stderr, "page_demo: %s\n", error.c_str());
        return 1;
    }
    const QImage photo = demo::MakePhoto(640, 420, error);
    if (photo.isNull()) {
        std::fprintf(stderr, "page_demo: %s\n", error.c_str());
        return 1;
    }
    if (!shotDir.isEmpty())
        return Shots(shotDir, photo);
    DemoWindow window(photo);
    window.show();
    return app.exec();
}
