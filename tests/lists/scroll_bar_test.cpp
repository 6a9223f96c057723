// The list scroll bar: hit tests and drag positions by hand, the mouse with
// Max 0, repaints only for a moved thumb pixel, and track repeats that stop
// under the mouse (driven through the timer's slot, without sleeping).

#include <gtest/gtest.h>

#include <vector>

#include "lists/lists_test_support.h"
#include "lists/toolkit/scroll_bar.h"
#include "lists/toolkit/vyb_types.h"

using namespace liststest;

TEST(ScrollBar, HitTestsAndDragPositions)
{
    // Thickness 17, length 200: the track spans 200 - 51 + 2 = 151 pixels.
    struct Case {
        int length, max, posit, c;
        int action, hitPos;
    };
    const Case cases[] = {
        {200, 100, 0, 5, ActionCode::Up, -1},
        {200, 100, 0, 190, ActionCode::Down, -1},
        {200, 100, 0, 20, 0, 0}, // the thumb at 16..33
        {200, 100, 0, 33, 0, 5},
        {200, 100, 0, 100, ActionCode::PageDown, 50}, // (100 - 25 + 1) x 100 / 151
        {200, 100, 0, 183, ActionCode::PageDown, 100},
        {200, 100, 50, 60, ActionCode::PageUp, 23}, // thumb at 151 x 50 / 100 + 16 = 91
        {200, 100, 50, 95, 0, 47},
        {200, 100, 50, 130, ActionCode::PageDown, 70},
        {200, 0, 0, 100, 1, -1},                 // Max 0: nothing
        {60, 100, 0, 20, ActionCode::PageUp, 0}, // 60 < 4 x 17: no thumb, halves
        {60, 100, 0, 40, ActionCode::PageDown, 100},
        {50, 100, 0, 25, ActionCode::PageDown, 100}, // no track at all: no division
    };
    for (const Case& c : cases) {
        ScrollGeometry g{c.length, 17, c.max, c.posit};
        int32_t hit = -1;
        EXPECT_EQ(g.HitTest(c.c, hit), c.action) << c.length << " " << c.max << " " << c.posit << " " << c.c;
        EXPECT_EQ(hit, c.hitPos) << c.length << " " << c.max << " " << c.posit << " " << c.c;
    }
    const ScrollGeometry g{200, 17, 100, 0};
    EXPECT_EQ(g.DragPosition(10), 0);
    EXPECT_EQ(g.DragPosition(100), 50); // 100 x 77 / 154
    EXPECT_EQ(g.DragPosition(177), 100);
    EXPECT_FALSE((ScrollGeometry{67, 17, 100, 0}.HasThumb()));
    EXPECT_TRUE((ScrollGeometry{68, 17, 100, 0}.HasThumb()));
    EXPECT_FALSE((ScrollGeometry{68, 17, 0, 0}.HasThumb()));
}

namespace {

struct BarFixture : WithApp {
    TAScroll bar;
    std::vector<uint16_t> actions;
    int scrolls = 0;

    BarFixture(int max)
    {
        EnsureApp();
        bar.resize(17, 200);
        bar.SetMax(max);
        bar.Large = 10;
        bar.OnAction = [this](TAScroll*, uint16_t& code, uint8_t) { actions.push_back(code); };
        bar.OnScroll = [this](TAScroll*) { ++scrolls; };
    }
};

} // namespace

TEST(ScrollBar, MaxZeroIgnoresTheMouseAndRepaintsFollowThePixel)
{
    BarFixture f(0);
    f.bar.MouseDown(Qt::LeftButton, QPoint(8, 100), 0);
    f.bar.MouseMove(QPoint(8, 120));
    f.bar.MouseUp();
    EXPECT_TRUE(f.actions.empty());
    EXPECT_EQ(f.scrolls, 0);
    EXPECT_FALSE(f.bar.Pressed());
    f.bar.SetPosit(5);
    EXPECT_EQ(f.bar.Posit(), 0);

    f.bar.SetMax(1000);
    const uint64_t before = f.bar.RepaintRequests();
    f.bar.SetPosit(1); // 151 x 1 / 1000: the same pixel as 0
    EXPECT_EQ(f.bar.Posit(), 1);
    EXPECT_EQ(f.bar.RepaintRequests(), before);
    f.bar.SetPosit(100);
    EXPECT_EQ(f.bar.RepaintRequests(), before + 1);
    f.bar.SetMax(1000);
    EXPECT_EQ(f.bar.RepaintRequests(), before + 1);
    f.bar.SetMax(50); // the position follows a lower maximum
    EXPECT_EQ(f.bar.Posit(), 50);
    f.bar.SetPosit(-3);
    EXPECT_EQ(f.bar.Posit(), 0);
}

TEST(ScrollBar, TrackRepeatStopsUnderTheMouse)
{
    // The bar moves itself: 381 at the press, then each repeat while the
    // thumb is short of the position under the mouse (50).
    BarFixture f(100);
    f.bar.MouseDown(Qt::LeftButton, QPoint(8, 100), 0);
    EXPECT_EQ(f.bar.Posit(), 10);
    EXPECT_TRUE(f.bar.Repeating());
    for (int i = 0; i < 10; ++i)
        f.bar.RepeatTick();
    EXPECT_EQ(f.bar.Posit(), 50);
    EXPECT_EQ(f.actions, std::vector<uint16_t>(5, ActionCode::PageDown));
    EXPECT_EQ(f.scrolls, 5);
    f.bar.MouseUp();
    EXPECT_EQ(f.scrolls, 6); // the final notification
    EXPECT_EQ(f.bar.Action(), 0);

    // A handler that carries the action out itself (answer 1): the bar
    // neither moves on its own nor notifies, and still stops at the mouse.
    BarFixture g(100);
    g.bar.OnAction = [&](TAScroll* bar, uint16_t& code, uint8_t) {
        g.actions.push_back(code);
        bar->SetPosit(bar->Posit() + (code == ActionCode::PageDown ? 20 : -20));
        code = 1;
    };
    g.bar.MouseDown(Qt::LeftButton, QPoint(8, 100), 0);
    for (int i = 0; i < 10; ++i)
        g.bar.RepeatTick();
    EXPECT_EQ(g.actions.size(), 3u); // 20, 40, 60: past the mouse, no more
    EXPECT_EQ(g.bar.Posit(), 60);
    EXPECT_EQ(g.scrolls, 0);
    EXPECT_EQ(g.bar.Action(), ActionCode::PageDown); // repeats kept the bar's own action

    // Moving off the pressed part ends the repeat.
    BarFixture h(100);
    h.bar.MouseDown(Qt::LeftButton, QPoint(8, 5), 0); // the first arrow
    h.bar.MouseMove(QPoint(8, 150));
    h.bar.RepeatTick();
    EXPECT_FALSE(h.bar.Repeating());
}

TEST(ScrollBar, ThumbDragMovesTheBarAndNotifies)
{
    BarFixture f(100);
    f.bar.MouseDown(Qt::LeftButton, QPoint(8, 20), 0);
    EXPECT_EQ(f.bar.Action(), 0);
    EXPECT_TRUE(f.actions.empty());
    EXPECT_FALSE(f.bar.Repeating());
    f.bar.MouseMove(QPoint(8, 100));
    EXPECT_EQ(f.bar.Posit(), 50);
    EXPECT_TRUE(f.bar.Pressed());
    EXPECT_EQ(f.scrolls, 1);
    f.bar.MouseUp();
    EXPECT_FALSE(f.bar.Pressed());
    EXPECT_EQ(f.scrolls, 2);
}

TEST(ScrollBar, ScreenshotsWithMaxZeroAndHundred)
{
    EnsureApp();
    QWidget host;
    host.resize(140, 210);
    TAScroll zero(&host), hundred(&host), across(&host);
    zero.setGeometry(10, 5, 17, 200);
    hundred.setGeometry(40, 5, 17, 200);
    hundred.SetMax(100);
    hundred.SetPosit(30);
    across.setGeometry(65, 5, 70, 17);
    across.SetMax(100);
    across.SetPosit(100);
    host.show();
    SaveShot(host.grab().toImage(), "scroll_bars_max0_max100.png");
}
