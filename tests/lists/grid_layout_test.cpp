// The grid's arithmetic with a character width of 10 and a row height of 14:
// the geometry parse, natural and fitted widths, divider stops, the lines a
// paint gives each row, hit tests and the output rows.

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "lists/toolkit/grid_layout.h"

namespace {

using Slots = std::vector<std::pair<int, int>>; // column, width

Slots SlotsOf(const std::vector<GridLayout::Slot>& list)
{
    Slots out;
    for (const GridLayout::Slot& s : list)
        out.emplace_back(s.col, s.width);
    return out;
}

GridLayout Grid(const char* geometry, const char* order, int width, bool hscroll = false)
{
    GridLayout g;
    g.SetMetrics(14, 10);
    g.Width = width;
    g.SetHeight(14 * 10 + 1);
    g.HScroll = hscroll;
    g.SetGeometry(geometry, order);
    return g;
}

std::string Kam(const char* utf8)
{
    BuildKamTables();
    return QStringToKam(QString::fromUtf8(utf8));
}

} // namespace

TEST(GridLayout, GeometryParseSetsFlagsAndSelectors)
{
    GridLayout g;
    g.SetMetrics(14, 10);
    // Two group breaks: "255;" ends a group of selector 1, "253;" one of 3.
    EXPECT_EQ(g.SetGeometry("2/7,255;9/42,253;79/35,/3;0/5,0/0", "0"), 0u);
    EXPECT_EQ(g.ColumnCount, 8);
    EXPECT_EQ(g.GroupCount, 2);
    EXPECT_EQ((std::vector<int>{g.GroupStart[0], g.GroupStart[1], g.GroupStart[2]}),
              (std::vector<int>{2, 4, 8}));
    EXPECT_EQ((std::vector<int>{g.GroupSel[0], g.GroupSel[1], g.GroupSel[2]}), (std::vector<int>{1, 3, 0}));
    EXPECT_EQ(g.ColOffset[0], 2);
    EXPECT_EQ(g.ColLength[0], 7);
    EXPECT_EQ(g.ColOffset[1], 0); // a group break is no text column
    EXPECT_EQ(g.ColLength[1], 0);
    EXPECT_TRUE(g.IsDivider(5));
    EXPECT_EQ(g.DividerStyleOf(5), 3);
    EXPECT_EQ(g.ColLength[5], 253);
    EXPECT_TRUE(g.IsSpacer(6));
    EXPECT_EQ(g.ColLength[6], 5);
    EXPECT_FALSE(g.IsSpacer(7)); // "0/0" shows nothing: no spacer either
    EXPECT_FALSE(g.IsTextColumn(7));

    struct Case {
        std::string geometry;
        const char* order;
        uint32_t flags;
    };
    std::string columns33;
    for (int i = 0; i < 33; ++i)
        columns33 += std::to_string(2 + i) + ",";
    std::string order33;
    for (int i = 0; i < 33; ++i)
        order33 += "0,";
    const Case cases[] = {
        {"2/7,9/42", "1,0/20", 0},
        {"2/7,x9/42", "", GeometryFlag::BadGeometryChar},
        {"2/7,256", "", GeometryFlag::BadGeometryChar}, // a number above 255
        {"2/7,;3,;4,;5,;6", "", GeometryFlag::TooManyGroups},
        {columns33, "", GeometryFlag::TooManyColumns},
        {"2/7,/9;9/42", "", GeometryFlag::DividerStyle},
        {"2/7", "1,a", GeometryFlag::BadOrderChar},
        {"2/7", order33.c_str(), GeometryFlag::TooManyOrder},
        {"2/7", "1/300", GeometryFlag::BadOrderChar},
    };
    for (const Case& c : cases) {
        GridLayout h;
        h.SetMetrics(14, 10);
        EXPECT_EQ(h.SetGeometry(c.geometry, c.order), c.flags) << c.geometry << " | " << c.order;
        EXPECT_LE(h.ColumnCount, 32);
        EXPECT_LE(h.GroupCount, 3);
        EXPECT_LE(h.OrderCount, 32);
    }
    GridLayout five;
    five.SetMetrics(14, 10);
    five.SetGeometry("2/7,;3,;4,;5,;6", "");
    EXPECT_EQ(five.GroupCount, 3); // the fifth group merges into the fourth
    EXPECT_EQ(five.GroupColumns(3), std::make_pair(6, 9));
    GridLayout divider;
    divider.SetMetrics(14, 10);
    divider.SetGeometry("2/7,/9;9/42", "");
    EXPECT_EQ(divider.DividerStyleOf(1), 8);
}

TEST(GridLayout, NaturalWidthsAlignDividersAndEqualiseEdges)
{
    // Group 0: Kod 7, divider 1, Naz 3; group 1: 2 characters, divider 1, 5.
    GridLayout g = Grid("2/7,/1;9/3,;20/2,/1;22/5", "", 400, true);
    // (7 + 0.5) x 10 x 1.2 = 90; the second group's first slot widens to the
    // stop at 92; group 0's last slot widens to the common edge 159.
    EXPECT_EQ(SlotsOf(g.Slots()), (Slots{{0, 90}, {2, 66}, {4, 90}, {6, 66}}));
    EXPECT_EQ(g.DividerStop[1], 92);
    EXPECT_EQ(g.TotalWidth, 159);
    EXPECT_EQ(g.VisibleWidth, 159);
    // A spacer "0/5" widens the slot before it by 5 x 10 x 0.4.
    GridLayout spaced = Grid("2/7,0/5,9/3", "", 400, true);
    EXPECT_EQ(SlotsOf(spaced.Slots()), (Slots{{0, 110}, {2, 42}}));
    // Narrower than the layout: the visible edge is the window's.
    GridLayout narrow = Grid("2/7,/1;9/3,;20/2,/1;22/5", "", 100, true);
    EXPECT_EQ(narrow.VisibleWidth, 99);
}

TEST(GridLayout, FittedWidthsFollowTheOrderAsAPriorityList)
{
    struct Case {
        const char* geometry;
        const char* order;
        int width;
        Slots expected;
        int visible;
    };
    const Case cases[] = {
        // Default widths 3 x length units: (21 + 1.5) x 10 x 0.4 = 90 ...
        {"2/7,9/42,51/10", "0,1/20,2", 400, {{0, 90}, {1, 86}, {2, 126}}, 306},
        // ... the last column that does not fit is cut to the edge.
        {"2/7,9/42,51/10", "0,1/20,2", 200, {{0, 90}, {1, 86}, {2, 20}}, 199},
        // Shown in column order whatever the priority.
        {"2/7,9/42,51/10", "2,0", 150, {{0, 21}, {2, 126}}, 149},
        // A column named twice takes its later width as space allows.
        {"2/7,9/42,51/10", "1/10,0,1/30", 400, {{0, 90}, {1, 126}}, 219},
        // No order entry in range: the group's first column fills the line.
        {"2/7,9/42", "5", 300, {{0, 298}}, 299},
        // A fixed width and a divider: the second group's first segment ends
        // at the stop the slot after the divider set (48).
        {"2/7,/1;9/3,;20/2,/1;22/5", "0/10,2,4,6", 400, {{0, 46}, {2, 66}, {4, 46}, {6, 66}}, 115},
    };
    for (const Case& c : cases) {
        GridLayout g = Grid(c.geometry, c.order, c.width);
        EXPECT_EQ(SlotsOf(g.Slots()), c.expected) << c.geometry << " | " << c.order << " | " << c.width;
        EXPECT_EQ(g.VisibleWidth, c.visible) << c.geometry << " | " << c.order << " | " << c.width;
    }
    GridLayout d = Grid("2/7,/1;9/3,;20/2,/1;22/5", "0/10,2,4,6", 400);
    EXPECT_EQ(d.DividerStop[1], 48);

    // Print: the page width for every group, print units, x from 0.
    GridLayout p = Grid("2/7,9/42,51/10", "0,1/20,2", 400);
    p.PrintLayout(300, 20, 10);
    EXPECT_EQ(SlotsOf(p.PrintSlots()), (Slots{{0, 98}, {1, 94}, {2, 105}}));
    EXPECT_EQ(SlotsOf(p.Slots()), (Slots{{0, 90}, {1, 86}, {2, 126}})); // the screen's stay
}

TEST(GridLayout, HeightCapsAtSixtyThreeLines)
{
    GridLayout g;
    g.SetMetrics(14, 10);
    EXPECT_EQ(g.SetHeight(14 * 70), 14 * 64 + 1);
    EXPECT_EQ(g.VisibleLines, 63);
    EXPECT_EQ(g.SetHeight(14 * 4 + 1), 14 * 4 + 1);
    EXPECT_EQ(g.VisibleLines, 3);
    EXPECT_EQ(g.SetHeight(5), 5);
    EXPECT_EQ(g.VisibleLines, 0);
    GridLayout zero;
    zero.SetMetrics(0, 0); // a font without height still gives a row height of 1
    EXPECT_EQ(zero.RowHeight, 1);
}

TEST(GridLayout, RowsTakeTheLinesOfTheGroupsTheySelect)
{
    // Group 0 (selector 1): Kod; group 1 (selector 0): Naz.
    GridLayout g = Grid("2/7,255;9/3", "", 400, true);
    g.SetHeight(14 * 7 + 1); // six data lines
    g.BeginLines();
    EXPECT_TRUE(g.PlaceRow(0, 0));     // header: group 1 only
    EXPECT_TRUE(g.PlaceRow(1, 0x01));  // group 0 only
    EXPECT_TRUE(g.PlaceRow(2, 0x02));  // no group selects 2: no line
    EXPECT_FALSE(g.PlaceRow(4, 0x00)); // out of order: not drawn
    EXPECT_TRUE(g.PlaceRow(3, 0x25));  // span: its slot bits cleared, selector 0
    EXPECT_TRUE(g.PlaceRow(4, 0x01));
    EXPECT_EQ(g.LinesUsed(), 4);
    const std::vector<std::pair<int, int>> lines = {{0, 1}, {1, 0}, {3, 1}, {4, 0}};
    for (int l = 0; l < 4; ++l) {
        EXPECT_EQ(g.LineAt(l).row, lines[l].first) << l;
        EXPECT_EQ(g.LineAt(l).group, lines[l].second) << l;
        EXPECT_EQ(g.LineAt(l).firstSlot, lines[l].second) << l;
    }
    EXPECT_EQ(g.FirstLineOf(2), -1);
    EXPECT_EQ(GridLayout::SpanSlotOf(0x25), 5);
    EXPECT_EQ(GridLayout::SpanSlotOf(0x05), -1);

    // Two groups of one selector: every row takes two lines until the last.
    GridLayout two = Grid("2/7,;9/3", "", 400, true);
    two.SetHeight(14 * 5 + 1); // four data lines
    two.BeginLines();
    for (uint8_t r = 0; r <= 3; ++r)
        two.PlaceRow(r, 0);
    EXPECT_EQ(two.LinesUsed(), 5);
    EXPECT_EQ(two.LineCountOf(2), 1); // the second group line of row 2 did not fit
    EXPECT_EQ(two.LineCountOf(3), 0);
}

TEST(GridLayout, HitTestsFollowTheTreeAndTheHorizontalOffset)
{
    // Slots 90 and 42 wide; a tree of 2 cells of 12 pixels; scrolled by 50.
    GridLayout g = Grid("2/7,9/3", "", 100, true);
    g.SetTreeWidth(2);
    g.SetTreeMode(true);
    g.SetHOffset(50);
    g.LayoutColumns();
    ASSERT_EQ(g.TreeWidth, 24);
    ASSERT_EQ(g.HOffset, 50);
    EXPECT_EQ(g.VisibleWidth, 74);
    EXPECT_EQ(g.LineStartX(), -24);
    g.SetHeight(14 * 4 + 1);
    g.BeginLines();
    for (uint8_t r = 0; r <= 3; ++r)
        g.PlaceRow(r, 0);

    struct Case {
        int x, y, row, cell, width, left;
    };
    const int y2 = 1 + 14 * 2 + 5; // inside line 2
    const Case cases[] = {
        {30, y2, 2, 1, 90, -24}, // first slot, scrolled half out
        {70, y2, 2, 2, 42, 67},  // second slot
        {66, y2, 2, 0, 0, 0},    // the line between them
        {10, y2, 2, 255, 12, 1}, // tree column, first symbol cell
        {13, y2, 2, 255, 12, 2},
        {98, y2, 2, 2, 42, 67},           // the tree's width extends the right edge
        {99, y2, 4, 0, 0, 0},             // past the drawn area
        {30, 1 + 14 * 4 + 3, 4, 0, 0, 0}, // below the drawn lines
        {30, 3, 0, 1, 90, -24},           // the header line
    };
    for (const Case& c : cases) {
        EXPECT_EQ(g.RowAt(c.x, c.y), c.row) << c.x << "," << c.y;
        int width = 0, left = 0;
        EXPECT_EQ(g.CellAt(c.x, c.y, width, left), c.cell) << c.x << "," << c.y;
        if (c.cell != 0) {
            EXPECT_EQ(width, c.width) << c.x << "," << c.y;
            EXPECT_EQ(left, c.left) << c.x << "," << c.y;
        }
    }
}

TEST(GridLayout, OutputRowsAreLaidOutAsTheirFormatsWant)
{
    // Columns of 4, 1 and 6 characters; the second and third emphasised.
    GridLayout g = Grid("2/4,6/1,7/6", "", 600, true);
    const std::string text = std::string(1, '\0') + Kam("Č") + "\\{ " + "\x03" + "\x01" + "b;\"  ";
    ASSERT_EQ(text.size(), 12u);

    std::string head;
    g.RtfTableHead(head, 5);
    EXPECT_EQ(head, "\\par \\trowd \\trgaph30\\cellx480\\cellx600\\cellx1320\r\n");
    std::string rtf;
    g.RtfRow(rtf, text);
    EXPECT_EQ(rtf, "\\intbl{\\'c8\\\\\\{ }\\cell{\\b C}\\cell{\\b !b;\"  }\\cell\\row\r\n");

    const struct {
        int type;
        std::string line;
    } rows[] = {
        {1, "\xC8\\{  C !b;\"  \r\n"},
        {2, "\xC8\\{;C;\"!b;\"\"\"\r\n"},
        {3, "\xC8\\{\tC\t!b;\"\r\n"},
    };
    for (const auto& r : rows) {
        std::string out = "x";
        g.TextRow(out, text, r.type);
        EXPECT_EQ(out, "x" + r.line) << r.type;
    }
    // A line break inside a CSV cell is quoted too.
    std::string csv;
    g.TextRow(csv, std::string(1, '\0') + "a\nbcxyz    ", 2);
    EXPECT_EQ(csv, "\"a\nbc\";x;yz\r\n");
    // An emphasised 0 in a short column shows as a blank.
    EXPECT_EQ(g.ShownCell(std::string(1, '\0'), 1), " ");
}
