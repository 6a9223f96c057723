// Path programs: parsing, point arithmetic, fills and single-colour shapes.

#include "frame/pages/vector_icons.h"
#include "page_test_support.h"
#include "platform/gui/recording_canvas.h"

#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace {

using Op = PathStep::Op;
using Kind = CanvasCall::Kind;

using test_support::Bytes;

PathStep Move(int x, int y)
{
    return {Op::Move, {{x, y}, {}, {}}};
}
PathStep Line(int x, int y)
{
    return {Op::Line, {{x, y}, {}, {}}};
}
PathStep Curve(int a, int b, int c, int d, int e, int f)
{
    return {Op::Curve, {{a, b}, {c, d}, {e, f}}};
}

} // namespace

TEST(IconProgram, ParsingTable)
{
    struct Case {
        const char* what;
        std::string program;
        std::vector<PathStep> steps;
    };
    const std::vector<Case> cases = {
        {"7 bytes: 2 triples, the seventh byte ignored",
         Bytes({0, 10, 20, 1, 30, 40, 2}),
         {Move(10, 20), Line(30, 40)}},
        {"bit 7 of the operation is ignored",
         Bytes({0x80, 1, 2, 0x81, 3, 4, 0x83, 5, 6}),
         {Move(1, 2), Line(3, 4), Line(5, 6)}},
        {"operation 3 is a line", Bytes({0, 0, 0, 3, 255, 255}), {Move(0, 0), Line(255, 255)}},
        {"any other operation starts a curve of three triples",
         Bytes({0, 0, 0, 2, 1, 2, 9, 3, 4, 9, 5, 6, 0x7F, 7, 8, 0, 9, 10, 0, 11, 12}),
         {Move(0, 0), Curve(1, 2, 3, 4, 5, 6), Curve(7, 8, 9, 10, 11, 12)}},
        {"the two triples after a curve are read whatever their operation",
         Bytes({4, 1, 1, 0, 2, 2, 1, 3, 3}),
         {Curve(1, 1, 2, 2, 3, 3)}},
        {"a curve short of its triples ends the program", Bytes({0, 1, 1, 2, 5, 5, 0, 6, 6}), {Move(1, 1)}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParsePathProgram(c.program), c.steps);
    }
}

TEST(IconProgram, ATruncatedCurveReadsNothingPastTheEnd)
{
    // The bytes after the program's end would complete the curve; a reader
    // that looks past the end would draw it.
    const std::string buffer = Bytes({0, 1, 1, 2, 5, 5, 1, 6, 6, 1, 7, 7});
    const std::string_view program = std::string_view(buffer).substr(0, 6);
    EXPECT_EQ(ParsePathProgram(program), (std::vector<PathStep>{Move(1, 1)}));
    RecordingCanvas canvas;
    DrawPath(canvas, program, {0, 0}, 1.0);
    ASSERT_EQ(canvas.Calls().size(), 1u);
    EXPECT_EQ(canvas.Calls()[0].path.elements.size(), 1u);
}

TEST(IconProgram, PointsRoundHalfToEven)
{
    struct Case {
        double v;
        int r;
    };
    for (const Case& c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}, Case{2.4999, 2},
                          Case{2.5001, 3}, Case{-0.5, 0}, Case{-1.5, -2}, Case{7.0, 7}})
        EXPECT_EQ(RoundHalfEven(c.v), c.r) << c.v;
    // 16 x 24/256 = 1.5 -> 2; 48 x 24/256 = 4.5 -> 4; 80 x 24/256 = 7.5 -> 8.
    const double scale = 24 / 256.0;
    EXPECT_EQ(IconPoint({16, 48}, {100, 200}, scale), (Point{102, 204}));
    EXPECT_EQ(IconPoint({80, 255}, {0, 0}, scale), (Point{8, 24}));
}

TEST(IconProgram, PathsStartAtTheGridOriginAndScale)
{
    // A program that does not start with a move draws from grid (0, 0).
    const CanvasPath p = BuildIconPath(
        ParsePathProgram(Bytes({1, 128, 0, 2, 0, 128, 9, 128, 128, 9, 255, 255})), {10, 20}, 0.5);
    ASSERT_EQ(p.elements.size(), 3u);
    EXPECT_EQ(p.elements[0].op, CanvasPath::Op::Move);
    EXPECT_EQ(p.elements[0].p[0], (Point{10, 20}));
    EXPECT_EQ(p.elements[1].p[0], (Point{74, 20}));
    EXPECT_EQ(p.elements[2].op, CanvasPath::Op::Cubic);
    EXPECT_EQ(p.elements[2].p[0], (Point{10, 84}));
    EXPECT_EQ(p.elements[2].p[1], (Point{74, 84}));
    EXPECT_EQ(p.elements[2].p[2], (Point{138, 148})); // 127.5 -> 128
}

TEST(IconProgram, LighterMixesFortyPercentWhite)
{
    page_test::EnsureApp();
    EXPECT_EQ(Lighter(0x000000), 0x666666u);
    EXPECT_EQ(Lighter(0xFFFFFF), 0xFFFFFFu);
    EXPECT_EQ(Lighter(0x0080FF), 0x66B2FFu); // (3c + 510) div 5: 0 -> 102, 128 -> 178, 255 -> 255
    EXPECT_EQ(Lighter(0x12345678), Lighter(0x345678)) << "the top byte is dropped";
    // A system colour is resolved to its RGB value first.
    EXPECT_EQ(Lighter(SysColour::GrayText), Lighter(ResolveColour(SysColour::GrayText)));
    EXPECT_EQ(Lighter(SysColour::BtnText), Lighter(ResolveColour(SysColour::BtnText)));
    EXPECT_EQ(Lighter(SysColour::BtnText) >> 24, 0u);
}

TEST(IconFill, OnlyClosedFiguresAreFilled)
{
    struct Case {
        const char* what;
        std::string program;
        bool filled;
    };
    const Case cases[] = {
        {"a closed triangle", Bytes({0, 10, 10, 1, 200, 10, 1, 100, 200, 1, 10, 10}), true},
        {"an open polyline", Bytes({0, 10, 10, 1, 200, 10, 1, 100, 200}), false},
        {"a line there and back: two segments, closed", Bytes({0, 10, 10, 1, 200, 10, 1, 10, 10}), true},
        {"one segment is never a figure", Bytes({0, 10, 10, 1, 10, 10}), false},
        {"a closed curve figure", Bytes({0, 10, 10, 2, 200, 10, 2, 200, 200, 2, 100, 100, 1, 10, 10}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingCanvas canvas;
        canvas.SetPen(0x0000FF, 1);
        DrawFilledPath(canvas, c.program, {0, 0}, 1.0);
        const auto fills = canvas.CallsOf(Kind::FillPath);
        EXPECT_EQ(fills.size(), c.filled ? 1u : 0u);
        if (c.filled) {
            EXPECT_EQ(fills[0].colour, 0x0000FFu) << "in the pen colour";
        }
        EXPECT_EQ(canvas.CallsOf(Kind::StrokePath).size(), 1u) << "the outline is always stroked";
    }
    // Only the closed figure of a program holding both goes to the fill.
    const auto steps = ParsePathProgram(Bytes({0, 10,  10,  1, 50,  10,  1, 50,  50, 1, 10, 10, // closed
                                               0, 100, 100, 1, 150, 100, 1, 150, 150}));        // open
    const CanvasPath fill = ClosedFiguresPath(steps, {0, 0}, 1.0);
    ASSERT_EQ(fill.elements.size(), 4u);
    EXPECT_EQ(fill.elements[0].p[0], (Point{10, 10}));
}

TEST(IconFill, ACrescentIsFilledByItsOwnOutline)
{
    page_test::EnsureApp();
    // A concave crescent: the mean of its points lies outside it, in the
    // hollow, so a flood fill from there would paint the page instead.
    const std::string moon =
        Bytes({0,   156, 24,  2,   88, 36,  2,   56, 92,  2,   64, 144, 2,  72, 204, 2,  136, 236, 2, 196,
               212, 2,   132, 200, 2,  108, 160, 2,  112, 120, 2,  116, 80, 2,  136, 48, 2,   156, 24});
    ImageCanvas canvas(256, 256, 0xFFFFFF);
    canvas.SetPen(0x000000, 1);
    DrawFilledPath(canvas, moon, {0, 0}, 1.0);
    const QImage& img = canvas.Image();
    auto ink = [&](int x, int y) { return (img.pixel(x, y) & 0xFFFFFF) == 0; };
    EXPECT_TRUE(ink(80, 140)) << "inside the crescent";
    EXPECT_TRUE(ink(100, 200)) << "inside the crescent's lower horn";
    EXPECT_FALSE(ink(160, 130)) << "the hollow stays white";
    EXPECT_FALSE(ink(250, 250)) << "the page stays white";
    EXPECT_FALSE(ink(5, 5));
}

TEST(IconShape, FitsIntoTheSmallerSideWithAnEighthMargin)
{
    const ShapeFit fit = FitShape({100, 50, 140, 74}); // 40 x 24
    EXPECT_TRUE(fit.drawable);
    EXPECT_EQ(fit.side, 24);
    EXPECT_EQ(fit.margin, 3);
    EXPECT_EQ(fit.origin, (Point{103, 53}));
    EXPECT_DOUBLE_EQ(fit.scale, 18 / 256.0);
    for (Rect r : {Rect{0, 0, 0, 10}, Rect{10, 10, 5, 20}, Rect{0, 0, 10, -10}})
        EXPECT_FALSE(FitShape(r).drawable);

    // Two passes: a lighter halo 3 wide, then the colour 2 wide; the caller's
    // pen, brush and antialiasing come back afterwards.
    RecordingCanvas canvas;
    canvas.SetPen(0x123456, 7);
    const std::string tri = Bytes({0, 0, 0, 1, 255, 0, 1, 128, 255, 1, 0, 0});
    DrawShape(canvas, {100, 50, 140, 74}, tri, false, 0x0000C0);
    const auto strokes = canvas.CallsOf(Kind::StrokePath);
    ASSERT_EQ(strokes.size(), 2u);
    EXPECT_EQ(strokes[0].state.pen, (CanvasPen{Lighter(0x0000C0), 3}));
    EXPECT_EQ(strokes[1].state.pen, (CanvasPen{0x0000C0, 2}));
    EXPECT_TRUE(strokes[0].state.antialias);
    EXPECT_EQ(strokes[1].path.elements[0].p[0], (Point{103, 53}));
    EXPECT_EQ(strokes[1].path.elements[1].p[0], (Point{103 + 18, 53})); // 255 x 18/256 = 17.9 -> 18
    EXPECT_EQ(strokes[1].path.elements[2].p[0], (Point{103 + 9, 53 + 18}));
    EXPECT_EQ(canvas.State().pen, (CanvasPen{0x123456, 7}));
    EXPECT_FALSE(canvas.State().antialias);

    // Grey: one pass in the grey-text colour.
    canvas.Clear();
    DrawShape(canvas, {0, 0, 24, 24}, tri, true, 0x0000C0);
    ASSERT_EQ(canvas.Calls().size(), 1u);
    EXPECT_EQ(canvas.Calls()[0].state.pen, (CanvasPen{SysColour::GrayText, 2}));

    // Nothing in an empty or inverted rectangle, nothing for an empty program.
    canvas.Clear();
    DrawShape(canvas, {10, 10, 10, 40}, tri, false, 0);
    DrawShape(canvas, {10, 10, 0, 0}, tri, false, 0);
    DrawShape(canvas, {0, 0, 24, 24}, "", false, 0);
    EXPECT_TRUE(canvas.Calls().empty());
}
