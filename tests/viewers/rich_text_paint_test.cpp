// Painting and hit-testing lines of the rich-text engine on the recording
// canvas (7 pixels a character, 16 a line at 10 points; unit 7).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "platform/gui/recording_canvas.h"
#include "viewers/ctrl_view.h"

namespace {

struct Painted {
    RecordingCanvas canvas;
    CtrlTextView view;
    explicit Painted(std::string text, int width = 600)
    {
        view.canvas = &canvas;
        view.text = std::move(text);
        EXPECT_EQ(LayoutCtrlText(view), CtrlLayoutResult::Done);
        MeasureCtrlText(view, width);
        canvas.Clear();
    }
    // Paints a line from a row into [0, width); the bottom.
    int Paint(int line, int mode = 0, int width = 600, int top = 0)
    {
        Rect r{0, top, width, 10000};
        CtrlPaintRequest req{line, mode, 0};
        PaintCtrlText(view, req, {}, r);
        return r.top;
    }
    std::vector<CanvasCall> Texts() const { return canvas.CallsOf(CanvasCall::Kind::TextOut); }
    const CanvasCall* Text(const std::string& s) const
    {
        for (const CanvasCall& c : canvas.Calls())
            if (c.kind == CanvasCall::Kind::TextOut && c.text == s)
                return &c;
        return nullptr;
    }
    std::vector<CanvasCall> Lines() const { return canvas.CallsOf(CanvasCall::Kind::Line); }
    bool HasLine(Point from, Point to) const
    {
        for (const CanvasCall& c : Lines())
            if (c.points[0] == from && c.points[1] == to)
                return true;
        return false;
    }
};

std::string Words(int n)
{
    CtrlTextWriter w;
    w.Code(14);
    for (int i = 0; i < n; ++i)
        w.Text((i ? " w0" : "w0") + std::to_string(i));
    return w.Take();
}

TEST(RichTextPaint, DrawsFromAWrappedRow)
{
    // 40 pixels hold one word a row: ten rows.
    Painted p(Words(10), 40);
    ASSERT_EQ(p.view.lines[0].rows, 10);
    const int bottom = p.Paint(1, 3, 40);
    const std::vector<CanvasCall> texts = p.Texts();
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[0].text, "w03 ");
    EXPECT_EQ(texts[0].points[0], (Point{0, 4})); // 4/16 of a line above
    EXPECT_EQ(texts[6].text, "w09");
    EXPECT_EQ(texts[6].points[0].y, 4 + 6 * 16);
    EXPECT_EQ(bottom, 4 + 7 * 16 + 4);
    // Measuring draws nothing and stores the whole height.
    p.canvas.Clear();
    Rect r{0, 0, 40, 100};
    CtrlPaintRequest measure{1, CtrlPaintMode::Measure, 0};
    PaintCtrlText(p.view, measure, {}, r);
    EXPECT_TRUE(p.Texts().empty());
    EXPECT_EQ(p.view.lines[0].height, 4 + 10 * 16 + 4);
}

TEST(RichTextPaint, EmptyOrMissingLinePaintsNothing)
{
    Painted p(CtrlTextWriter().Code(14).Text("a").Take());
    for (int line : {0, 2, -1}) {
        Rect r{0, 5, 100, 100};
        CtrlPaintRequest req{line, 0, 0};
        PaintCtrlText(p.view, req, {}, r);
        EXPECT_EQ(r.top, 5);
    }
    EXPECT_TRUE(p.canvas.Calls().empty());
}

TEST(RichTextPaint, GridRulesOfATable)
{
    // Grid table, two columns of 20 fifths (28 pixels); its first cell wraps
    // to two rows; a paragraph follows at once.
    const std::string text = CtrlTextWriter()
                                 .Code(24, {8, 0, 20, 20})
                                 .Code(11)
                                 .Text("aaa bbb")
                                 .Code(6)
                                 .Text("c")
                                 .Code(11)
                                 .Text("d")
                                 .Code(6)
                                 .Text("e")
                                 .Code(4)
                                 .Text("after")
                                 .Take();
    Painted p(text);
    ASSERT_EQ(p.view.lineCount, 3);
    const int tableWidth = p.view.tables[0].width;
    EXPECT_EQ(tableWidth, 28 + 28 + 2 * 7);
    // Row 1 from row 0: its top rule across the table at top - 2.
    const int first = 7 - 3 - 1; // left + unit - unit/2 - 1
    p.Paint(1, 0);
    EXPECT_TRUE(p.HasLine({first, -2}, {first + tableWidth, -2}));
    const int rowBottom = 2 * 16 + 16 / 4;
    EXPECT_TRUE(p.HasLine({first, -2}, {first, rowBottom - 1}));
    // Not the last row: no bottom rule.
    EXPECT_FALSE(p.HasLine({first, rowBottom - 1}, {first + tableWidth, rowBottom - 1}));

    // From its second row: the verticals, no top rule.
    p.canvas.Clear();
    p.Paint(1, 1);
    EXPECT_FALSE(p.HasLine({first, -2}, {first + tableWidth, -2}));
    EXPECT_TRUE(p.HasLine({first, -2}, {first, 16 + 4 - 1}));

    // The last row, followed at once by text, keeps its bottom rule.
    p.canvas.Clear();
    const int bottom = p.Paint(2, 0);
    EXPECT_EQ(bottom, 16 + 4);
    EXPECT_TRUE(p.HasLine({first, bottom - 1}, {first + tableWidth, bottom - 1}));
}

TEST(RichTextPaint, SpanningCellAndCellAttributes)
{
    // 0x203: three columns wide, bold; then a right-aligned cell (0x020).
    const std::string text = CtrlTextWriter()
                                 .Code(24, {0, 0, 20, 20, 20, 20})
                                 .Code(22, {0x203})
                                 .Text("A")
                                 .Code(23, {0x021})
                                 .Text("B")
                                 .Code(4)
                                 .Take();
    Painted p(text);
    p.Paint(1);
    const CanvasCall* a = p.Text("A");
    const CanvasCall* b = p.Text("B");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->points[0].x, 7);
    EXPECT_TRUE(a->state.font.bold);
    // B's cell begins three columns (3 x (28 + 7)) further and is 28 wide:
    // right-aligned, B ends at its right edge less one blank.
    const int bLeft = 7 + 3 * 35;
    const int bRight = bLeft + 35 - 7;
    EXPECT_EQ(b->points[0].x, bLeft + (bRight - bLeft - 7) - 7);
    EXPECT_FALSE(b->state.font.bold);
}

TEST(RichTextPaint, ListLabelsAndBullets)
{
    const std::string text = CtrlTextWriter().Code(21, {0x0012}).Text("item").Code(1).Text("dot").Take();
    Painted p(text);
    p.Paint(1);
    // "18) " ends at the following-rows indent (4 units), the text starts there.
    const CanvasCall* label = p.Text("18) ");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->points[0].x, 4 * 7 - 4 * 7);
    EXPECT_EQ(p.Text("item")->points[0].x, 28);
    p.canvas.Clear();
    p.Paint(2);
    const CanvasCall* bullet = p.Text("\x95");
    ASSERT_NE(bullet, nullptr);
    EXPECT_EQ(bullet->points[0].x, (0 + 2) * 7);
    EXPECT_EQ(p.Text("dot")->points[0].x, 28);
}

TEST(RichTextPaint, FontFlagsHeadingsAndOffsets)
{
    const std::string text = CtrlTextWriter()
                                 .Code(14)
                                 .Text("a")
                                 .Code(20, {32})
                                 .Text("b")
                                 .Code(20, {16})
                                 .Text("c")
                                 .Code(20, {0})
                                 .Text("d")
                                 .Code(18, {10})
                                 .Text("Head")
                                 .Code(14)
                                 .Text("x")
                                 .Code(20, {8})
                                 .Text("y")
                                 .Take();
    Painted p(text);
    p.Paint(1);
    const CanvasCall* a = p.Text("a");
    const CanvasCall* b = p.Text("b");
    const CanvasCall* c = p.Text("c");
    const CanvasCall* d = p.Text("d");
    ASSERT_TRUE(a && b && c && d);
    EXPECT_EQ(b->state.font.size, 7);              // 3/4 of 10
    EXPECT_EQ(b->points[0].y, a->points[0].y + 6); // two fifths of 16 lower
    EXPECT_EQ(c->state.font.size, 7);
    EXPECT_EQ(c->points[0].y, a->points[0].y - 1); // a tenth higher
    EXPECT_EQ(d->state.font.size, 10);
    EXPECT_EQ(d->points[0].y, a->points[0].y);

    // Style 10: type 2, 10/8 of the size, bold, in the heading colour.
    p.canvas.Clear();
    p.view.colours.heading = 0x123456;
    p.Paint(2);
    const CanvasCall* head = p.Text("Head");
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head->state.font.size, 12);
    EXPECT_TRUE(head->state.font.bold);
    EXPECT_EQ(head->state.font.colour, 0x123456u);
    EXPECT_EQ(p.view.lines[1].height, 8 + 20);

    // Highlight: the run's box takes the highlight colour.
    p.canvas.Clear();
    p.Paint(3);
    EXPECT_EQ(p.Text("x")->state.brush.colour, p.view.colours.background);
    EXPECT_EQ(p.Text("y")->state.brush.colour, p.view.colours.highlight);
    EXPECT_EQ(p.Text("y")->state.brush.style, BrushStyle::Solid);
}

TEST(RichTextPaint, LinksAndSearchTerms)
{
    const std::string text = CtrlTextWriter()
                                 .Code(14)
                                 .Text("see ")
                                 .CodeString(26, "NAPDOK")
                                 .Text("help")
                                 .Code(7)
                                 .Text(" now")
                                 .Code(14)
                                 .Text("xxabyyabzz")
                                 .Take();
    Painted p(text);
    p.Paint(1);
    const CanvasCall* link = p.Text("help");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->state.font.underline);
    EXPECT_EQ(link->state.font.colour, p.view.colours.linkText);
    EXPECT_EQ(link->state.brush.colour, p.view.colours.linkBackground);
    const CanvasCall* after = p.Text(" now");
    ASSERT_NE(after, nullptr);
    EXPECT_FALSE(after->state.font.underline);
    EXPECT_EQ(after->state.font.colour, p.view.colours.text);

    // A term that occurs twice is coloured twice; the text between keeps the
    // line's colour.
    p.canvas.Clear();
    p.view.searchTerms = {"ab"};
    p.Paint(2);
    std::vector<std::pair<std::string, Colour>> runs;
    for (const CanvasCall& c : p.Texts())
        runs.push_back({c.text, c.state.font.colour});
    const Colour hit = p.view.colours.searchHit;
    const Colour plain = p.view.colours.text;
    EXPECT_EQ(runs, (std::vector<std::pair<std::string, Colour>>{
                        {"xx", plain}, {"ab", hit}, {"yy", plain}, {"ab", hit}, {"zz", plain}}));
}

TEST(RichTextPaint, BoxedParagraph)
{
    Painted p(CtrlTextWriter().Code(18, {3}).Text("boxed").Take(), 300);
    p.Paint(1, 0, 300);
    // Style 3: 8/16 above; the top side at top - unit div 2, the sides one
    // unit in from the margins.
    const int top = 8;
    EXPECT_TRUE(p.HasLine({7, top - 3}, {300 - 7, top - 3}));
    const int bottom = top + 16 + 3;
    EXPECT_TRUE(p.HasLine({7, top - 3}, {7, bottom}));
    EXPECT_TRUE(p.HasLine({300 - 7, top - 3}, {300 - 7, bottom}));
    EXPECT_TRUE(p.HasLine({7, bottom}, {300 - 7, bottom}));
    // Drawn from a later row: no top side.
    p.canvas.Clear();
    p.Paint(1, 1, 300);
    EXPECT_FALSE(p.HasLine({7, top - 3}, {300 - 7, top - 3}));
}

TEST(RichTextHit, CharacterUnderThePoint)
{
    // "aaaa bbbb" from x 0 at y 4 (style 0's space above).
    Painted p(CtrlTextWriter().Code(14).Text("aaaa bbbb").Code(14).Text("next").Take());
    struct Case {
        Point point;
        int offset;
    };
    for (const Case c : {Case{{1, 10}, 1},         // the first "a" (after the code 14)
                         Case{{7 * 6 + 2, 10}, 7}, // the second "b"
                         Case{{0, 0}, 1},          // above the row: the run's start
                         Case{{500, 10}, 10}}) {   // far right: past the line's end
        Rect r{0, 0, 600, 1000};
        CtrlPaintRequest req{1, CtrlPaintMode::HitTest, 0};
        PaintCtrlText(p.view, req, c.point, r);
        EXPECT_EQ(req.mode, c.offset) << c.point.x << "," << c.point.y;
    }
    EXPECT_TRUE(p.canvas.CallsOf(CanvasCall::Kind::TextOut).empty());
    // In a table, the cell under the point.
    Painted t(
        CtrlTextWriter().Code(24, {0, 0, 20, 20}).Code(11).Text("ab").Code(6).Text("cd").Code(4).Take());
    Rect r{0, 0, 600, 1000};
    CtrlPaintRequest req{1, CtrlPaintMode::HitTest, 0};
    PaintCtrlText(t.view, req, {7 + 35 + 8, 5}, r);
    EXPECT_EQ(req.mode, 5); // "d": row code, "ab", cell code, "c"
}

} // namespace
