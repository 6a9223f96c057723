#include <gtest/gtest.h>

#include "frame/pages/page.h"
#include "platform/gui/recording_canvas.h"

#include <memory>
#include <vector>

namespace {

struct ElementSpec {
    Rect rect;
    uint8_t layer = 0;
    uint8_t parent = 0;
    bool visible = true;
    bool canvas = false; // a TPlatno (offset slot 1)
    Point scroll{};      // its scroll offset
};

class TestPage : public TPraded {
public:
    TestPage(PageState& s, Canvas& c, const std::vector<ElementSpec>& specs) : TPraded(s, c, 800, 600)
    {
        for (const ElementSpec& e : specs) {
            TPrvek& el = e.canvas ? static_cast<TPrvek&>(Create<TPlatno>()) : Create<TPrvek>();
            el.rect = e.rect;
            el.layer = e.layer;
            el.parent = e.parent;
            el.SetVisible(e.visible);
            if (e.canvas)
                el.offsets[0] = e.scroll;
        }
    }
};

struct HitCase {
    const char* what;
    std::vector<ElementSpec> elements;
    Point point;
    int32_t expected;
};

} // namespace

TEST(PageHitTest, Table)
{
    const Rect canvasRect{100, 100, 300, 300};
    const std::vector<HitCase> cases = {
        {"nothing there", {{{0, 0, 10, 10}}}, {50, 50}, -1},
        {"inside", {{{0, 0, 10, 10}}}, {5, 5}, 0},
        {"an edge is outside", {{{0, 0, 10, 10}}}, {10, 5}, -1},
        {"the left edge too", {{{0, 0, 10, 10}}}, {0, 5}, -1},
        {"overlap in one layer: the earlier wins", {{{0, 0, 50, 50}}, {{10, 10, 60, 60}}}, {20, 20}, 0},
        {"only the later covers the point", {{{0, 0, 50, 50}}, {{10, 10, 60, 60}}}, {55, 55}, 1},
        {"a higher layer wins over an earlier top-level element",
         {{{0, 0, 100, 100}}, {{10, 10, 40, 40}, 1, 0}},
         {30, 30},
         1},
        {"a child lies in its parent's coordinates",
         {{{0, 0, 10, 10}}, {{200, 200, 400, 400}}, {{10, 10, 40, 40}, 1, 1}},
         {230, 230},
         2},
        {"a child is not hit at its own coordinates on the page",
         {{{200, 200, 400, 400}}, {{10, 10, 40, 40}, 1, 0}},
         {30, 30},
         -1},
        {"an invisible element is not hit", {{{0, 0, 10, 10}, 0, 0, false}}, {5, 5}, -1},
        {"the element below an invisible one is",
         {{{0, 0, 10, 10}, 0, 0, false}, {{0, 0, 10, 10}}},
         {5, 5},
         1},
        {"a child of an invisible parent is never hit",
         {{{0, 0, 100, 100}, 0, 0, false}, {{10, 10, 40, 40}, 1, 0}},
         {30, 30},
         -1},
        {"a grandchild of an invisible parent neither",
         {{{0, 0, 100, 100}, 0, 0, false}, {{0, 0, 90, 90}, 1, 0}, {{10, 10, 40, 40}, 2, 1}},
         {30, 30},
         -1},
        {"the deepest layer first",
         {{{0, 0, 100, 100}}, {{0, 0, 90, 90}, 1, 0}, {{10, 10, 40, 40}, 2, 1}},
         {30, 30},
         2},
        {"a child of a canvas at the origin, not scrolled",
         {{{0, 0, 200, 200}, 0, 0, true, true, {0, 0}}, {{10, 10, 40, 40}, 1, 0}},
         {30, 30},
         1},
        {"a child of a canvas at the origin, scrolled: hit where it is drawn",
         {{{0, 0, 200, 200}, 0, 0, true, true, {0, 50}}, {{10, 60, 40, 90}, 1, 0}},
         {30, 30},
         1},
        {"... and not where it would lie unscrolled",
         {{{0, 0, 200, 200}, 0, 0, true, true, {0, 50}}, {{10, 60, 40, 90}, 1, 0}},
         {30, 75},
         0},
        {"a child of a canvas away from the origin, not scrolled",
         {{canvasRect, 0, 0, true, true, {0, 0}}, {{10, 10, 40, 40}, 1, 0}},
         {130, 130},
         1},
        {"a child of a canvas away from the origin, scrolled",
         {{canvasRect, 0, 0, true, true, {0, 200}}, {{10, 210, 40, 240}, 1, 0}},
         {130, 130},
         1},
        {"... its scrolled-away place shows the canvas",
         {{canvasRect, 0, 0, true, true, {0, 200}}, {{10, 210, 40, 240}, 1, 0}},
         {130, 230},
         0},
        {"a canvas's own offset never moves its own rectangle",
         {{canvasRect, 0, 0, true, true, {0, 200}}},
         {150, 150},
         0},
        {"a parent that is not of a lower layer: a broken chain is never hit",
         {{{0, 0, 100, 100}, 1, 1}, {{0, 0, 100, 100}, 1, 0}},
         {30, 30},
         -1},
        {"a parent index beyond the list", {{{0, 0, 100, 100}, 1, 7}}, {30, 30}, -1},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.what);
        PageState state;
        RecordingCanvas canvas;
        TestPage page(state, canvas, c.elements);
        // Build asserts sound chains; the broken ones are laid out by hand.
        uint16_t top = 0;
        for (int i = 0; i < page.count(); ++i)
            top = std::max<uint16_t>(top, page.Element(i).layer);
        page.topLayer = top;
        EXPECT_EQ(page.HitTest(c.point), c.expected);
    }
}

TEST(PageHitTest, BuildSetsTheTopLayer)
{
    PageState state;
    RecordingCanvas canvas;
    TestPage page(state, canvas,
                  {{{0, 0, 9, 9}}, {{0, 0, 9, 9}, 1, 0}, {{0, 0, 9, 9}, 2, 1}, {{0, 0, 9, 9}, 1, 0}});
    EXPECT_EQ(page.topLayer, 0);
    page.Build();
    EXPECT_EQ(page.topLayer, 2);
}
