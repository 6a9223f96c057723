// The host's lifecycle: build, layout, events and results, paint cadence,
// frames, mouse moves and the hint window.

#include "frame/pages/hint_window.h"
#include "frame/pages/page_host.h"
#include "page_test_support.h"

#include <QGuiApplication>
#include <QScreen>

#include <memory>
#include <string>
#include <vector>

namespace {

class LoggingPage : public TPraded {
public:
    LoggingPage(PageState& s, Canvas& c, std::vector<std::string>& log) : TPraded(s, c, 0, 0), log_(log)
    {
        Create<TPrvek>().rect = {0, 0, 10, 10};
    }
    void Build() override
    {
        log_.push_back("Build");
        TPraded::Build();
    }
    void Layout() override
    {
        log_.push_back("Layout " + std::to_string(width) + "x" + std::to_string(height));
    }
    void Paint() override
    {
        log_.push_back("Paint");
        canvas->SetBrush(0x0000FF);
        canvas->FillRect({0, 0, width, height});
    }
    int32_t HandleEvent(int32_t code, uint8_t shift) override
    {
        if (code == 'L' && shift == PageShift::Typed)
            return PageEvent::Relayout;
        if (code == 'R' && shift == PageShift::Typed)
            return PageEvent::Repaint;
        if (code == 'C' && shift == PageShift::Typed)
            return PageEvent::Consumed;
        return code;
    }

private:
    std::vector<std::string>& log_;
};

class PageHostTest : public ::testing::Test {
protected:
    void SetUp() override { page_test::EnsureApp(); }
};

} // namespace

TEST_F(PageHostTest, SetPageBuildsAndLaysOutForTheClientSize)
{
    PageHost host;
    host.Resize(320, 200);
    std::vector<std::string> log;
    host.SetPage(std::make_unique<LoggingPage>(host.State(), host.BackBuffer(), log));
    EXPECT_EQ(log, (std::vector<std::string>{"Build", "Layout 320x200"}));
    EXPECT_EQ(host.Page()->canvas, &host.BackBuffer());

    // The first frame comes at the first even tick.
    std::vector<QSize> frames;
    host.onFrameReady = [&](const QImage& f) { frames.push_back(f.size()); };
    host.TimerTick();
    EXPECT_TRUE(frames.empty());
    host.TimerTick();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], QSize(320, 200));
    EXPECT_EQ(host.BackBuffer().Image().pixel(5, 5) & 0xFFFFFF, 0xFF0000u);

    log.clear();
    host.Resize(400, 250);
    EXPECT_EQ(log, (std::vector<std::string>{"Layout 400x250"}));
    host.TimerTick();
    host.TimerTick();
    EXPECT_EQ(log.back(), "Paint");
    EXPECT_EQ(frames.back(), QSize(400, 250));
}

TEST_F(PageHostTest, EventResultsDriveLayoutAndRepaint)
{
    PageHost host;
    host.Resize(100, 80);
    EXPECT_EQ(host.SendEvent('L', PageShift::Typed), 'L') << "no page: the code comes back";
    std::vector<std::string> log;
    host.SetPage(std::make_unique<LoggingPage>(host.State(), host.BackBuffer(), log));
    host.TimerTick();
    host.TimerTick(); // the first frame
    TPraded& page = *host.Page();
    log.clear();

    struct Case {
        int32_t code;
        int32_t result;
        bool layout;
        bool repaint;
    };
    const Case cases[] = {
        {'L', PageEvent::Repaint, true, true}, // 272 -> Layout -> 273
        {'R', PageEvent::Repaint, false, true},
        {'C', PageEvent::Consumed, false, false},
        {'Z', 'Z', false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        log.clear();
        page.repaint = false;
        EXPECT_EQ(host.SendEvent(c.code, PageShift::Typed), c.result);
        EXPECT_EQ(!log.empty() && log[0].rfind("Layout", 0) == 0, c.layout);
        EXPECT_EQ(page.repaint, c.repaint);
    }

    // A repaint asked for is done on the next even tick, not before.
    page.repaint = true;
    log.clear();
    if (host.State().tick % 2 == 1)
        host.TimerTick();
    host.TimerTick(); // odd: the page's Tick
    EXPECT_TRUE(log.empty());
    host.TimerTick(); // even: paint
    EXPECT_EQ(log, (std::vector<std::string>{"Paint"}));
    EXPECT_FALSE(page.repaint);
}

TEST_F(PageHostTest, FontMeasuresComeFromThePageFont)
{
    PageHost host(CanvasFont{"DejaVu Sans", 10});
    const int lh10 = host.State().lineHeight;
    const int sw10 = host.State().sampleWidth;
    EXPECT_EQ(lh10, host.BackBuffer().TextHeight("x"));
    EXPECT_EQ(sw10, host.BackBuffer().TextWidth(kSampleSentence));
    host.SetPageFont(CanvasFont{"DejaVu Sans", 20});
    EXPECT_GT(host.State().lineHeight, lh10 * 3 / 2);
    EXPECT_GT(host.State().sampleWidth, sw10 * 3 / 2);
}

TEST_F(PageHostTest, OnlyRealMovesRecordTheMoveTick)
{
    PageHost host;
    std::vector<std::string> log;
    host.SetPage(std::make_unique<LoggingPage>(host.State(), host.BackBuffer(), log));
    PageState& s = host.State();
    host.MouseMove({100, 100});
    ASSERT_EQ(s.moveTick, 0u);
    struct Case {
        Point to;
        bool real;
    };
    const Case cases[] = {
        {{102, 100}, false}, {{100, 102}, false}, {{98, 98}, false}, // 2 pixels: jitter
        {{103, 100}, true},  {{103, 103}, true},                     // more than 2 across, 3 down
        {{101, 103}, false},                                         // 2 across, 0 down from (103, 103)
    };
    for (const Case& c : cases) {
        host.TimerTick();
        const uint32_t before = s.moveTick;
        host.MouseMove(c.to);
        EXPECT_EQ(s.mousePoint, c.to);
        EXPECT_EQ(s.moveTick != before, c.real) << c.to.x << "," << c.to.y;
        if (c.real) {
            EXPECT_EQ(s.moveTick, s.tick);
        }
    }
}

TEST_F(PageHostTest, HintsShowKamenickyTextsWrappedAndOnScreen)
{
    PageHost host;
    TMyHintWindow hint;
    host.State().hintWindow = &hint;
    std::vector<std::string> log;
    host.SetPage(std::make_unique<LoggingPage>(host.State(), host.BackBuffer(), log));
    TPraded& page = *host.Page();

    page.ShowHintAt({10, 10}, "");
    EXPECT_FALSE(hint.isVisible()) << "an empty text shows nothing";
    EXPECT_FALSE(host.State().hintShown);

    page.ShowHintAt({40, 50}, "\x87"
                              "aj"); // "čaj" in the data code page
    EXPECT_TRUE(hint.isVisible());
    EXPECT_TRUE(host.State().hintShown);
    EXPECT_EQ(hint.Text(), QString::fromUtf8("čaj"));
    EXPECT_EQ(hint.geometry().topLeft(), QPoint(40, 50));

    // A long text wraps at most 1400 pixels (and the screen) wide and stays on screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    std::string longText;
    for (int i = 0; i < 400; ++i)
        longText += "slovo ";
    page.ShowHintAt({screen.right() - 5, screen.bottom() - 5}, longText);
    const QRect g = hint.geometry();
    EXPECT_LE(g.width(), std::min(TMyHintWindow::kMaxHintWidth, screen.width()));
    EXPECT_GT(g.height(), hint.CalcHintRect(100000, "slovo").height() * 2) << "wrapped into lines";
    EXPECT_TRUE(screen.contains(g)) << g.x() << "," << g.y() << " " << g.width() << "x" << g.height();

    host.HideHint();
    EXPECT_FALSE(hint.isVisible());
    EXPECT_FALSE(host.State().hintShown);
}
