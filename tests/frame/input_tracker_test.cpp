// Mouse gestures, hover and the wheel as page events, driven tick by tick.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/pages/input_tracker.h"

namespace {

// One step of a sequence: ticks to run first, then an action.
struct Step {
    enum Kind { Ticks, Down, Up, Move, Wheel } kind;
    int a = 0; // ticks / button / delta / x
    int b = 0; // y
};

struct Harness {
    PageState state;
    std::vector<int32_t> sent;
    std::vector<int32_t> handled; // codes the "page" handles
    bool hintShown = false;
    int hides = 0;
    InputTracker tracker;

    Harness() : tracker(state, Calls()) { state.tick = 0; }

    InputTracker::Calls Calls()
    {
        InputTracker::Calls c;
        c.send = [this](int32_t code, uint8_t) {
            sent.push_back(code);
            if (code == PageEvent::HintRequest)
                hintShown = true;
            for (int32_t h : handled)
                if (h == code)
                    return PageEvent::Consumed;
            return code;
        };
        c.hideHint = [this] {
            hintShown = false;
            ++hides;
        };
        c.hintShown = [this] { return hintShown; };
        c.toScreen = [](Point p) { return Point{p.x + 1000, p.y + 500}; };
        return c;
    }

    void Run(const std::vector<Step>& steps)
    {
        for (const Step& s : steps) {
            switch (s.kind) {
            case Step::Ticks:
                for (int i = 0; i < s.a; ++i) {
                    state.tick += 1;
                    tracker.Tick();
                }
                break;
            case Step::Down: tracker.MouseDown(static_cast<uint8_t>(s.a), Point{10, 10}, 0); break;
            case Step::Up: tracker.MouseUp(static_cast<uint8_t>(s.a), Point{10, 10}, 0); break;
            case Step::Move: tracker.MouseMove(Point{s.a, s.b}, 0); break;
            case Step::Wheel: tracker.Wheel(s.a, 0); break;
            }
        }
    }
};

Step T(int n)
{
    return {Step::Ticks, n, 0};
}
Step D(int b)
{
    return {Step::Down, b, 0};
}
Step U(int b)
{
    return {Step::Up, b, 0};
}
Step M(int x, int y)
{
    return {Step::Move, x, y};
}
Step W(int d)
{
    return {Step::Wheel, d, 0};
}

constexpr int L = InputTracker::Left, R = InputTracker::Right, Mi = InputTracker::Middle;

struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<int32_t> handled;
    std::vector<int32_t> expected;
};

TEST(InputTrackerTest, SequencesGiveTheirEvents)
{
    const std::vector<Case> cases = {
        {"left click, unhandled: 270, click 1, then 270", {T(3), D(L), T(2), U(L)}, {}, {270, 1, 270}},
        {"left click handled: no 270 after it", {D(L), U(L)}, {1}, {270, 1}},
        {"right click", {D(R), U(R)}, {}, {270, 2, 270}},
        {"a drag sends no click", {M(10, 10), D(L), M(30, 10), U(L)}, {}, {270, 270}},
        {"2-pixel jitter is no move", {M(10, 10), D(L), M(12, 12), U(L)}, {}, {270, 1, 270}},
        {"chord: one click on the first release only", {D(L), D(R), U(R), U(L)}, {}, {270, 270, 2, 270, 270}},
        {"chord after a drag: no click",
         {M(0, 0), D(L), D(R), M(50, 50), U(R), U(L)},
         {},
         {270, 270, 270, 270}},
        {"middle drag: no click", {M(0, 0), D(Mi), M(0, 40), U(Mi)}, {}, {270, 270}},
        {"middle click", {D(Mi), U(Mi)}, {}, {270, 2, 270}},
        {"long press handled: 257, no click", {D(L), T(59), T(1), T(100), U(L)}, {257}, {270, 257, 270}},
        {"long press unhandled: the click still follows", {D(L), T(61), U(L)}, {}, {270, 257, 1, 270}},
        {"long press of another button: 258", {D(R), T(60), U(R)}, {258}, {270, 258, 270}},
        {"long press fires once per gesture",
         {D(L), T(200), U(L), D(L), T(10), U(L)},
         {257, 1},
         {270, 257, 270, 270, 1}},
        {"moved press: no long press (the rest gives a hover)",
         {M(0, 0), D(L), M(20, 0), T(80), U(L)},
         {},
         {270, 271, 270}},
        {"small wheel deltas add up to one step", {W(40), W(40), W(40), W(40)}, {}, {14}},
        {"wheel down two notches", {W(-240)}, {}, {15, 15}},
        {"a change of direction drops the rest", {W(100), W(-100), W(-20)}, {}, {15}},
    };
    for (const Case& c : cases) {
        Harness h;
        h.handled = c.handled;
        h.Run(c.steps);
        EXPECT_EQ(h.sent, c.expected) << c.name;
    }
}

TEST(InputTrackerTest, HoverAfterFortyIdleTicksTwentyFourPixelsLower)
{
    Harness h;
    h.Run({T(5), M(100, 60), T(40)});
    EXPECT_TRUE(h.sent.empty()) << "40 ticks are not yet more than 40";
    h.Run({T(1)});
    ASSERT_EQ(h.sent, std::vector<int32_t>{271});
    EXPECT_EQ(h.state.hintPoint, (Point{1100, 584}));
    EXPECT_EQ(h.tracker.HintExpiry(), h.state.tick + 125);
}

TEST(InputTrackerTest, SmallMovesKeepTheHoverTimer)
{
    Harness h;
    h.Run({M(100, 60), T(30), M(102, 62), T(11)});
    EXPECT_EQ(h.sent, std::vector<int32_t>{271}) << "a 2-pixel move must not restart the wait";
}

TEST(InputTrackerTest, ExpiryHidesTheHintAndHoverNeedsANewMove)
{
    Harness h;
    h.Run({M(100, 60), T(41)});
    ASSERT_EQ(h.sent.size(), 1u);
    const uint32_t shownAt = h.state.tick;
    h.Run({T(125)});
    EXPECT_TRUE(h.hintShown) << "expires only after 125 ticks";
    h.Run({T(1)});
    EXPECT_FALSE(h.hintShown);
    EXPECT_EQ(h.tracker.HintExpiry(), shownAt + 126);
    h.Run({T(300)});
    EXPECT_EQ(h.sent.size(), 1u) << "resting on must not hover again";
    h.Run({M(140, 60), T(41)});
    EXPECT_EQ(h.sent.size(), 2u) << "a new move re-arms hover";
}

TEST(InputTrackerTest, HoverWorksAcrossACounterWrapAndAReset)
{
    Harness h;
    h.state.tick = 0xFFFFFFF0u;
    h.Run({M(10, 10), T(41)});
    EXPECT_EQ(h.sent, std::vector<int32_t>{271}) << "near the wrap";

    Harness r;
    r.Run({M(10, 10), T(41)});
    ASSERT_EQ(r.sent.size(), 1u);
    // A new page resets the shared counter; old stamps must not block it.
    r.state.tick = 0;
    r.tracker.Reset();
    r.Run({M(60, 60), T(41)});
    EXPECT_EQ(r.sent.size(), 2u);
}

TEST(InputTrackerTest, HandledLongPressBlocksHoverUntilTheNextMove)
{
    Harness h;
    h.handled = {257};
    h.Run({M(5, 5), T(1), D(L), T(60)});
    EXPECT_EQ(h.state.moveTick, InputTracker::kNoTick);
    h.Run({U(L), T(200)});
    EXPECT_EQ(h.sent, (std::vector<int32_t>{270, 271, 257, 270})) << "one hover before, none after";
    h.Run({M(40, 40), T(41)});
    EXPECT_EQ(h.sent.back(), 271) << "the next move re-arms hover";
}

} // namespace
