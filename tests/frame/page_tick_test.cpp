// Hover tracking, polling and the paint cadence, driven through the host.

#include "frame/pages/page_host.h"
#include "page_test_support.h"

#include <memory>

namespace {

// Two hover-sensitive buttons side by side, a plain element and a text
// element below them, a live text and an input line.
class TickPage : public TPraded {
public:
    TickPage(PageState& s, Canvas& c, SharedText* live = nullptr, std::string* input = nullptr)
        : TPraded(s, c, 400, 300)
    {
        Create<TCudlik>().rect = {0, 0, 100, 40};   // 0
        Create<TCudlik>().rect = {100, 0, 200, 40}; // 1 (shares the edge x = 100)
        Create<TPrvek>().rect = {0, 100, 100, 140}; // 2 plain
        TPrvek& text = Create<TPrvek>();            // 3 text
        text.rect = {100, 100, 200, 140};
        text.kind = TPrvek::KindText;
        if (live != nullptr) {
            TPrvek& l = Create<TPrvek>(); // 4
            l.rect = {0, 200, 300, 220};
            l.kind = TPrvek::KindLiveText;
            l.sharedData = live;
            l.flags |= TPrvek::FlagPolled;
        }
        if (input != nullptr) {
            TVstup& v = Create<TVstup>(); // last
            v.rect = {0, 240, 300, 270};
            v.data = input;
            v.flags |= TPrvek::FlagPolled;
        }
    }
};

class PageTickTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        page_test::EnsureApp();
        host = std::make_unique<PageHost>();
        host->Resize(400, 300);
    }
    TickPage& Install(SharedText* live = nullptr, std::string* input = nullptr)
    {
        auto page = std::make_unique<TickPage>(host->State(), host->BackBuffer(), live, input);
        TickPage& ref = *page;
        host->SetPage(std::move(page));
        return ref;
    }
    // Runs ticks up to and including the next even one (which paints).
    uint64_t FramesAfterTicks(int n)
    {
        const uint64_t before = host->FramesPainted();
        for (int i = 0; i < n; ++i)
            host->TimerTick();
        return host->FramesPainted() - before;
    }
    // Brings the host to an even tick with nothing pending.
    void Settle()
    {
        for (int i = 0; i < 4; ++i)
            host->TimerTick();
        if (host->State().tick % 2 == 1)
            host->TimerTick();
    }
    std::unique_ptr<PageHost> host;
};

} // namespace

TEST_F(PageTickTest, LeavingOneButtonForAnotherRepaintsOnce)
{
    TickPage& page = Install();
    host->MouseMove({50, 20});
    Settle();
    EXPECT_EQ(page.hovered, 0);
    host->MouseMove({150, 20}); // leave 0 and enter 1 between two ticks
    EXPECT_EQ(FramesAfterTicks(2), 1u);
    EXPECT_EQ(page.hovered, 1);
    EXPECT_EQ(FramesAfterTicks(4), 0u);
}

TEST_F(PageTickTest, MovingOverNonHoverElementsRepaintsNothing)
{
    TickPage& page = Install();
    host->MouseMove({50, 120});
    Settle();
    EXPECT_EQ(page.hovered, 2);
    host->MouseMove({150, 120}); // plain -> text element
    EXPECT_EQ(FramesAfterTicks(2), 0u);
    EXPECT_EQ(page.hovered, 3);
    host->MouseMove({350, 290}); // -> nothing
    EXPECT_EQ(FramesAfterTicks(2), 0u);
    EXPECT_EQ(page.hovered, TPraded::kNone);
    host->MouseMove({50, 20}); // nothing -> a button
    EXPECT_EQ(FramesAfterTicks(2), 1u);
}

TEST_F(PageTickTest, NoHoverCheckThreeTicksAfterAMove)
{
    TickPage& page = Install();
    host->MouseMove({50, 20});
    Settle();
    ASSERT_EQ(page.hovered, 0);
    // The button moves away under a resting mouse (a scrolled page).
    page.Element(0).rect = {0, 50, 100, 90};
    page.Element(1).rect = {100, 50, 200, 90};
    EXPECT_EQ(host->State().tick - host->State().moveTick, 4u);
    EXPECT_EQ(FramesAfterTicks(6), 0u);
    EXPECT_EQ(page.hovered, 0) << "keeps its old hover until the mouse moves";

    // A move exactly 3 ticks old is no longer recent; 2 ticks old still is.
    PageState s;
    s.tick = 10;
    s.moveTick = 7;
    EXPECT_FALSE(s.MovedRecently());
    s.moveTick = 8;
    EXPECT_TRUE(s.MovedRecently());
    s.moveTick = PageState::kNoTick;
    s.tick = 0xFFFFFFF0u;
    EXPECT_FALSE(s.MovedRecently()) << "no move is never recent";
}

TEST_F(PageTickTest, AMoveAtTickZeroIsSeenAtTickOne)
{
    TickPage& page = Install();
    EXPECT_EQ(host->State().tick, 0u) << "the page resets the counter";
    EXPECT_EQ(host->State().moveTick, PageState::kNoTick);
    host->MouseMove({150, 20}); // recorded at tick 0
    EXPECT_EQ(host->State().moveTick, 0u);
    host->TimerTick(); // tick 1: the page's Tick
    EXPECT_EQ(page.hovered, 1);
    EXPECT_TRUE(page.repaint);
}

TEST_F(PageTickTest, ALiveTextChangedAfterItsThirdCharacterIsRepainted)
{
    SharedText live;
    live.Set("Stav: 1");
    TickPage& page = Install(&live);
    Settle();
    EXPECT_EQ(FramesAfterTicks(4), 0u);
    live.Set("Stav: 2"); // the same length and first three characters
    EXPECT_EQ(FramesAfterTicks(2), 1u);
    EXPECT_EQ(FramesAfterTicks(4), 0u);
    live.Set("Stav: 2"); // written again, unchanged
    EXPECT_EQ(FramesAfterTicks(4), 0u);
    live.Set("Sta");
    EXPECT_EQ(FramesAfterTicks(2), 1u);
    EXPECT_EQ(page.Element(4).lastValue, 3u | ('S' << 8) | ('t' << 16) | (uint32_t('a') << 24));
}

TEST_F(PageTickTest, AHiddenPolledElementIsNotPolled)
{
    SharedText live;
    TickPage& page = Install(&live);
    Settle();
    page.Element(4).SetVisible(false);
    live.Set("changed");
    EXPECT_EQ(FramesAfterTicks(4), 0u);
}

TEST_F(PageTickTest, TheCaretFlipsEveryTenTicks)
{
    std::string input = "abc";
    TickPage& page = Install(nullptr, &input);
    TPrvek& field = page.Element(page.count() - 1);
    host->TimerTick(); // tick 1: 1 mod 10 = 1, the caret flips
    EXPECT_EQ(field.style & TPrvek::StyleCaret, 1u);
    EXPECT_TRUE(page.repaint);
    host->TimerTick(); // tick 2 paints
    EXPECT_FALSE(page.repaint);
    uint64_t frames = host->FramesPainted();
    for (int t = 3; t <= 10; ++t)
        host->TimerTick();
    EXPECT_EQ(host->FramesPainted(), frames) << "nothing between the flips";
    host->TimerTick(); // tick 11
    EXPECT_EQ(field.style & TPrvek::StyleCaret, 0u);
    host->TimerTick();
    EXPECT_EQ(host->FramesPainted(), frames + 1);
}
