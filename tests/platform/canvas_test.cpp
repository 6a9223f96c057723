#include <gtest/gtest.h>

#include "platform/gui/canvas.h"
#include "platform/gui/recording_canvas.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>

#include <string>

namespace {

void EnsureGuiApp()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "canvas_test";
        static char* argv[] = {name, nullptr};
        new QGuiApplication(argc, argv); // lives for the whole test run
    }
}

QRgb Px(ImageCanvas& c, int x, int y)
{
    return c.Image().pixel(x, y) & 0xFFFFFF;
}

// The box of pixels that differ from the background.
Rect Inked(ImageCanvas& c, QRgb background)
{
    const QImage& img = c.Image();
    Rect r{img.width(), img.height(), 0, 0};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureGuiApp(); }
};

} // namespace

TEST_F(CanvasTest, ColourWordsKeepRedInTheLowByte)
{
    ImageCanvas c(4, 4, 0x000000);
    c.SetBrush(0x0000FF);
    c.FillRect({0, 0, 1, 1});
    c.SetBrush(0x00FF00);
    c.FillRect({1, 0, 2, 1});
    c.SetBrush(0xFF0000);
    c.FillRect({2, 0, 3, 1});
    EXPECT_EQ(Px(c, 0, 0), qRgb(255, 0, 0) & 0xFFFFFF);
    EXPECT_EQ(Px(c, 1, 0), qRgb(0, 255, 0) & 0xFFFFFF);
    EXPECT_EQ(Px(c, 2, 0), qRgb(0, 0, 255) & 0xFFFFFF);
    EXPECT_EQ(ColourOfQColor(QColor(1, 2, 3)), 0x030201u);
    EXPECT_EQ(ResolveColour(0x00123456), 0x123456u);
}

TEST_F(CanvasTest, RectanglesLeaveRightAndBottomOutside)
{
    ImageCanvas c(20, 20, 0xFFFFFF);
    c.SetBrush(0x000000);
    c.FillRect({2, 3, 7, 9});
    EXPECT_EQ(Inked(c, 0xFFFFFF), (Rect{2, 3, 7, 9}));

    ImageCanvas o(20, 20, 0xFFFFFF);
    o.SetPen(0x0000FF, 1);
    o.SetBrush(0x00FF00);
    o.Rectangle({2, 3, 12, 9});
    EXPECT_EQ(Inked(o, 0xFFFFFF), (Rect{2, 3, 12, 9}));
    EXPECT_EQ(Px(o, 2, 5), 0xFF0000u);  // outline, left column
    EXPECT_EQ(Px(o, 11, 5), 0xFF0000u); // outline, right - 1
    EXPECT_EQ(Px(o, 6, 5), 0x00FF00u);  // interior

    // A clear brush fills nothing; an empty or inverted rectangle draws nothing.
    ImageCanvas n(20, 20, 0xFFFFFF);
    n.SetBrush(0x000000, BrushStyle::Clear);
    n.FillRect({0, 0, 10, 10});
    n.SetBrush(0x000000);
    n.FillRect({5, 5, 5, 9});
    n.FillRect({9, 9, 4, 4});
    n.SetPen(0, 1);
    n.Rectangle({9, 9, 4, 4});
    EXPECT_EQ(Inked(n, 0xFFFFFF).right, 0);
}

TEST_F(CanvasTest, TextIsPlacedByItsTopLeftAndOverASolidBrush)
{
    ImageCanvas c(200, 60, 0xFFFFFF);
    c.SetFont(CanvasFont{"DejaVu Sans", 12});
    c.SetBrush(0xFFFFFF, BrushStyle::Clear);
    c.SetFontColour(0x000000);
    c.TextOut(10, 20, "\xC8g Hello");
    const Rect ink = Inked(c, 0xFFFFFF);
    const int h = c.TextHeight("x");
    EXPECT_GE(ink.top, 20);
    EXPECT_LE(ink.bottom, 20 + h);
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 10 + c.TextWidth("\xC8g Hello") + 1);
    EXPECT_GT(ink.bottom - ink.top, h / 2); // "Č" reaches high, "g" low

    // A solid brush fills the text's box (text width x text height) first.
    ImageCanvas s(200, 60, 0xFFFFFF);
    s.SetFont(CanvasFont{"DejaVu Sans", 12});
    s.SetBrush(0x00FFFF);
    s.TextOut(10, 20, "ab");
    EXPECT_EQ(Inked(s, 0xFFFFFF), (Rect{10, 20, 10 + s.TextWidth("ab"), 20 + h}));
    EXPECT_EQ(Px(s, 10, 20), 0xFFFF00u); // yellow: red and green
}

TEST_F(CanvasTest, ThinAxisLinesCoverTheLowerEndButNotTheHigher)
{
    struct Case {
        Point from, to;
        Rect inked;
    };
    const Case cases[] = {
        {{2, 5}, {8, 5}, {2, 5, 8, 6}}, {{8, 5}, {2, 5}, {2, 5, 8, 6}},    {{4, 1}, {4, 9}, {4, 1, 5, 9}},
        {{4, 9}, {4, 1}, {4, 1, 5, 9}}, {{-5, 3}, {30, 3}, {0, 3, 20, 4}},
    };
    for (const Case& k : cases) {
        ImageCanvas c(20, 20, 0xFFFFFF);
        c.SetPen(0x808080, 1);
        c.MoveTo(k.from.x, k.from.y);
        c.LineTo(k.to.x, k.to.y);
        EXPECT_EQ(Inked(c, 0xFFFFFF), k.inked)
            << k.from.x << "," << k.from.y << " to " << k.to.x << "," << k.to.y;
        EXPECT_EQ(Px(c, k.inked.left, k.inked.top), 0x808080u);
    }
    // A clip limits them like any drawing.
    ImageCanvas c(20, 20, 0xFFFFFF);
    c.SetClipRect({5, 0, 10, 20});
    c.SetPen(0, 1);
    c.MoveTo(0, 7);
    c.LineTo(19, 7);
    EXPECT_EQ(Inked(c, 0xFFFFFF), (Rect{5, 7, 10, 8}));
}

TEST_F(CanvasTest, CachedTextsDrawTheSamePixelsAsShapedOnes)
{
    const char* texts[] = {"PARALEN 500MG TBL NOB 24", "\xC8\xE1st & <b>x</b>", "a\tb  ",
                           "PARALEN 500MG TBL NOB 24"};
    ImageCanvas plain(300, 120, 0xFFFFFF);
    ImageCanvas cached(300, 120, 0xFFFFFF);
    cached.SetTextCache(true);
    for (ImageCanvas* c : {&plain, &cached}) {
        int y = 0;
        for (const CanvasFont& font : {CanvasFont{"DejaVu Sans", 9}, CanvasFont{"DejaVu Sans", 12, true}}) {
            c->SetFont(font);
            for (const char* t : texts) {
                c->SetBrushStyle(BrushStyle::Clear);
                c->SetFontColour(0x800000);
                c->TextRect({3, y, 150, y + 14}, 4, y + 1, t);
                y += 14;
            }
        }
    }
    EXPECT_TRUE(plain.Image() == cached.Image());
    EXPECT_NE(Inked(cached, 0xFFFFFF).right, 0);
}

TEST_F(CanvasTest, TextsPastTheCacheSizeStillDrawTheSamePixels)
{
    // Far more texts than the cache holds, one drawn again and again among
    // them: evicted, kept and re-shaped texts all draw as uncached ones.
    ImageCanvas plain(300, 60, 0xFFFFFF);
    ImageCanvas cached(300, 60, 0xFFFFFF);
    cached.SetTextCache(true);
    for (ImageCanvas* c : {&plain, &cached}) {
        c->SetFont(CanvasFont{"DejaVu Sans", 9});
        c->SetBrush(0xFFFFFF); // each text clears its cell first
        c->SetFontColour(0x000080);
    }
    auto draw = [](ImageCanvas& c, int y, const std::string& t) { c.TextRect({0, y, 300, y + 14}, 1, y, t); };
    for (int i = 0; i < 9000; ++i) {
        const std::string text = "ROW " + std::to_string(i);
        draw(cached, 0, text);
        draw(cached, 14, "KEPT ON SCREEN");
        if (i == 0 || i == 8999) {
            draw(plain, i == 0 ? 28 : 42, text);
            draw(cached, i == 0 ? 28 : 42, text);
        }
    }
    draw(plain, 0, "ROW 8999");
    draw(plain, 14, "KEPT ON SCREEN");
    draw(cached, 28, "ROW 0"); // evicted long ago: shaped again
    EXPECT_TRUE(plain.Image() == cached.Image());
}

TEST_F(CanvasTest, MeasuringWorksOutsideAPaintPassAndFollowsTheFont)
{
    ImageCanvas c(10, 10);
    CanvasFont f{"DejaVu Sans", 10};
    c.SetFont(f);
    const int w10 = c.TextWidth("Prosta presti");
    const int h10 = c.TextHeight("");
    EXPECT_FALSE(c.Painting());
    EXPECT_GT(w10, 0);
    QFont q("DejaVu Sans");
    q.setPixelSize(13); // 10 points at 96 dpi
    const QFontMetrics m(q);
    EXPECT_EQ(h10, m.ascent() + m.descent());
    c.SetFontSize(20);
    EXPECT_GT(c.TextWidth("Prosta presti"), w10 * 3 / 2);
    c.SetFontSize(10);
    c.SetBold(true);
    EXPECT_GT(c.TextWidth("Prosta presti"), w10);
    EXPECT_EQ(c.TextWidth(""), 0);

    // A canvas without a device still measures (printing and layout ahead of painting).
    PainterCanvas bare;
    bare.SetFont(f);
    EXPECT_EQ(bare.TextWidth("Prosta presti"), w10);
}

TEST_F(CanvasTest, ClippingLimitsDrawingUntilReset)
{
    ImageCanvas c(30, 30, 0xFFFFFF);
    c.SetClipRect({5, 5, 10, 10});
    c.SetBrush(0x000000);
    c.FillRect({0, 0, 30, 30});
    EXPECT_EQ(Inked(c, 0xFFFFFF), (Rect{5, 5, 10, 10}));
    c.ResetClip();
    c.FillRect({20, 20, 22, 22});
    EXPECT_EQ(Inked(c, 0xFFFFFF), (Rect{5, 5, 22, 22}));

    // TextRect clips the text to its rectangle and keeps the canvas clip.
    ImageCanvas t(200, 40, 0xFFFFFF);
    t.SetBrush(0, BrushStyle::Clear);
    t.TextRect({0, 0, 12, 40}, 2, 5, "WWWWWWWW");
    EXPECT_LE(Inked(t, 0xFFFFFF).right, 12);
    t.FillRect({100, 0, 110, 10}); // no clip is left behind
    t.SetBrush(0x000000);
    t.FillRect({100, 0, 110, 10});
    EXPECT_EQ(Inked(t, 0xFFFFFF).right, 110);
}

TEST_F(CanvasTest, ImagesCopyBySourceArea)
{
    QImage src(10, 10, QImage::Format_RGB32);
    src.fill(qRgb(0, 0, 0));
    for (int y = 0; y < 10; ++y)
        for (int x = 5; x < 10; ++x)
            src.setPixel(x, y, qRgb(255, 0, 0));
    ImageCanvas c(20, 20, 0xFFFFFF);
    c.DrawImage({2, 2, 7, 7}, src, {5, 0, 10, 5});
    EXPECT_EQ(Inked(c, 0xFFFFFF), (Rect{2, 2, 7, 7}));
    EXPECT_EQ(Px(c, 2, 2), 0xFF0000u); // QRgb: red high
    EXPECT_EQ(Px(c, 6, 6), 0xFF0000u);
}

TEST_F(CanvasTest, ResizingDropsTheOldContent)
{
    ImageCanvas c(10, 10, 0xFFFFFF);
    c.SetBrush(0);
    c.FillRect({0, 0, 10, 10});
    c.Resize(12, 8, 0x00FF00);
    EXPECT_EQ(c.Width(), 12);
    EXPECT_EQ(c.Height(), 8);
    EXPECT_EQ(Inked(c, qRgb(0, 255, 0)).right, 0);
    c.Resize(0, 0);
    c.FillRect({0, 0, 5, 5}); // no device to draw on: nothing happens
    EXPECT_TRUE(c.Image().isNull());
}

TEST_F(CanvasTest, SystemColoursGoThroughThePalette)
{
    const QPalette pal = QGuiApplication::palette();
    struct Case {
        Colour code;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    const Case cases[] = {
        {SysColour::BtnFace, QPalette::Active, QPalette::Button},
        {SysColour::BtnShadow, QPalette::Active, QPalette::Dark},
        {SysColour::BtnHighlight, QPalette::Active, QPalette::Light},
        {SysColour::BtnText, QPalette::Active, QPalette::ButtonText},
        {SysColour::GrayText, QPalette::Disabled, QPalette::Text},
        {SysColour::ScrollBar, QPalette::Active, QPalette::Midlight},
        {SysColour::Window, QPalette::Active, QPalette::Base},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsSystemColour(c.code));
        EXPECT_EQ(ResolveColour(c.code), ColourOfQColor(pal.color(c.group, c.role))) << (c.code & 0xFF);
        EXPECT_EQ(ToQColor(c.code).rgb(), pal.color(c.group, c.role).rgb());
    }
    EXPECT_FALSE(IsSystemColour(0x00FFFFFF));
}

TEST(RecordingCanvas, ListsCallsWithTheStateTheyWereMadeIn)
{
    RecordingCanvas c;
    c.SetPen(0x112233, 2);
    c.MoveTo(1, 2);
    c.LineTo(3, 4);
    c.SetBrush(0xEEEEEE, BrushStyle::Clear);
    c.SetFontSize(20);
    c.TextOut(5, 6, "ab");
    ASSERT_EQ(c.Calls().size(), 2u);
    const CanvasCall& line = c.Calls()[0];
    EXPECT_EQ(line.kind, CanvasCall::Kind::Line);
    EXPECT_EQ(line.points, (std::vector<Point>{{1, 2}, {3, 4}}));
    EXPECT_EQ(line.state.pen, (CanvasPen{0x112233, 2}));
    const CanvasCall& text = c.Calls()[1];
    EXPECT_EQ(text.text, "ab");
    EXPECT_EQ(text.state.brush.style, BrushStyle::Clear);
    EXPECT_EQ(text.state.font.size, 20);
    // Fixed metrics: 7 pixels a character and 16 high at 10 points.
    EXPECT_EQ(c.TextWidth("abc"), 42);
    EXPECT_EQ(c.TextHeight("x"), 32);
}
