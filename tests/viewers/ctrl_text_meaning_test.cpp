// What the codes mean to the layout: paragraph starts, labels, tables, cells.

#include <gtest/gtest.h>

#include "tests/support/bytes.h"
#include "viewers/ctrl_text_meaning.h"

namespace {

// A short name keeps the byte tables below on one line each.
constexpr auto B = test_support::Bytes;

CtrlParagraphStart StartOfFirst(const std::string& text, bool insideTable = false,
                                CtrlParagraphRules rules = {})
{
    CtrlItem item;
    EXPECT_TRUE(CtrlItemAt(text, 0, item));
    return ParagraphStartAt(text, item, rules, insideTable);
}

} // namespace

TEST(CtrlTextMeaning, ParagraphStartsAndStyles)
{
    struct Case {
        const char* name;
        std::string text;
        bool inTable;
        bool starts;
        int style;
        int offset;
    };
    const Case cases[] = {
        {"18 11 16: style 11", B({18, 11, 16, 'a'}), false, true, 11, 0},
        {"18 27 16: 27 mod 32 is 16 or more, style 0", B({18, 27, 16, 'a'}), false, true, 0, 0},
        {"18 with 43: 43 mod 32 = 11", B({18, 43, 16}), false, true, 11, 0},
        {"19 1 16: map entry 1", B({19, 1, 16, 'a'}), false, true, 14, 0},
        {"19 with 10: map entry 10", B({19, 10, 16}), false, true, 7, 0},
        {"19 with 11 and more: default", B({19, 11, 16}), false, true, 0, 0},
        {"1, 2, 3: list levels", B({2, 'x'}), false, true, 6, 0},
        {"4 before text: default paragraph at the code", B({4, 'x'}), false, true, 0, 0},
        {"4 before code 26", B({4, 26, 33, 16}), false, true, 0, 0},
        {"4 then 24: only the counter", B({4, 24, 1, 0, 1, 16}), false, false, 0, 0},
        {"4 at the end", B({4}), false, false, 0, 0},
        {"5 before text: style 2", B({5, 'x'}), false, true, 2, 0},
        {"5 before code 20: style 2", B({5, 20, 1, 16}), false, true, 2, 0},
        {"5 before code 14: nothing", B({5, 14}), false, false, 0, 0},
        {"12 before text: the paragraph starts with the text", B({12, 'x'}), false, true, 0, 1},
        {"12 at the end", B({12}), false, false, 0, 0},
        {"12 before a code", B({12, 13, 'x'}), false, false, 0, 0},
        {"14: default paragraph", B({14, 'x'}), false, true, 0, 0},
        {"14 inside a table: none", B({14, 'x'}), true, false, 0, 0},
        {"21 with 0x0603: second level", B({21, 3, 16 + 6}), false, true, 6, 0},
        {"13: a line break, no paragraph", B({13, 'x'}), false, false, 0, 0},
    };
    for (const Case& c : cases) {
        const CtrlParagraphStart p = StartOfFirst(c.text, c.inTable);
        EXPECT_EQ(p.starts, c.starts) << c.name;
        if (c.starts) {
            EXPECT_EQ(p.style, c.style) << c.name;
            EXPECT_EQ(p.offset, c.offset) << c.name;
        }
    }

    // Mode 2 ignores the map; another map changes the default.
    CtrlParagraphRules rules;
    rules.ignoreStyleMap = true;
    rules.styleMap[0] = 0x33; // the low nibble counts
    EXPECT_EQ(StartOfFirst(B({19, 1, 16}), false, rules).style, 3);
    EXPECT_EQ(StartOfFirst(B({14, 'x'}), false, rules).style, 3);
    rules.ignoreStyleMap = false;
    EXPECT_EQ(StartOfFirst(B({19, 2, 16}), false, rules).style, 15);
}

TEST(CtrlTextMeaning, NumberedItemLabelsAndLevels)
{
    struct Case {
        int v;
        const char* label;
        int level;
    };
    const Case cases[] = {
        {0x0203, "C)", 0}, {0x0103, "3.", 0}, {0x0F41, "2.a", 2}, {0x0603, "3.", 1},  {0x0001, "1)", 0},
        {0x0301, "A.", 0}, {0x0401, "a)", 0}, {0x0E02, "b)", 2},  {0x0B0C, "12.", 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NumberedItemLabel(c.v), c.label) << std::hex << c.v;
        EXPECT_EQ(NumberedItemLevel(c.v), c.level) << std::hex << c.v;
    }
}

TEST(CtrlTextMeaning, FontFlags)
{
    EXPECT_EQ(FontFlagsOf(0), CtrlFontFlags{});
    CtrlFontFlags bold;
    bold.bold = true;
    EXPECT_EQ(FontFlagsOf(0x100), bold);
    EXPECT_EQ(FontFlagsOf(0x001), bold);
    const CtrlFontFlags all = FontFlagsOf(0x3F);
    EXPECT_TRUE(all.bold && all.italic && all.underline && all.highlight && all.superscript && all.subscript);
    EXPECT_EQ(FontFlagsOf(0x040 | 0x080 | 0xE00), CtrlFontFlags{}) << "no meaning";
}

TEST(CtrlTextMeaning, TableDefinitionsAndDefaultWidths)
{
    // Two header rows, grid, header attribute 0x120; one header column, body 0x010;
    // widths 57 and 199.
    const std::string t = B({24, 0x2A, 0x01, 0x11, 0x00, 57, 0, 199, 16});
    CtrlItem item;
    ASSERT_TRUE(CtrlItemAt(t, 0, item));
    const CtrlTableDef d = TableDefOf(t, item);
    EXPECT_EQ(d.headerRows, 2);
    EXPECT_TRUE(d.grid);
    EXPECT_EQ(d.headerAttr, 0x120);
    EXPECT_EQ(d.headerColumns, 1);
    EXPECT_EQ(d.bodyAttr, 0x010);
    EXPECT_FALSE(d.ruled);
    EXPECT_EQ(d.columns, 2);
    const std::array<int, 12> widths = {57, 199, 120, 96, 80, 68, 60, 53, 48, 43, 40, 36};
    EXPECT_EQ(d.widths, widths);

    const std::string ruled = B({24, 160, 0, 145, 16});
    ASSERT_TRUE(CtrlItemAt(ruled, 0, item));
    EXPECT_TRUE(TableDefOf(ruled, item).ruled);
    EXPECT_EQ(TableDefOf(ruled, item).widths[0], 240);

    // Fourteen widths: twelve kept, the rest read and ignored.
    CtrlTextWriter w;
    std::vector<int> values = {0, 0};
    for (int i = 1; i <= 14; ++i)
        values.push_back(i);
    w.Code(24, values).Text("x");
    ASSERT_TRUE(CtrlItemAt(w.Bytes(), 0, item));
    const CtrlTableDef many = TableDefOf(w.Bytes(), item);
    EXPECT_EQ(many.columns, 12);
    EXPECT_EQ(many.widths[11], 12);
    EXPECT_EQ(item.End(), static_cast<int>(w.Bytes().size()) - 1);
}

TEST(CtrlTextMeaning, TableExtentCounterAndCells)
{
    // Table 0 with a header row, closed by 4; table 1 ended by code 18 and
    // followed by another definition without a 4: that one is table 2.
    CtrlTextWriter w;
    w.Code(24, {0x101 | 0x120, 0x001 | 0x030, 50, 60}); // 1 header row, 1 header column
    w.Code(11).Text("h1").Code(6).Text("h2");           // row 1: header row
    w.Code(11).Text("c1").Code(14).Code(6).Text("c2");  // row 2: 14 stays inside
    w.Code(23, {0x203}).Text("c3");
    w.Code(4);
    w.Code(24, {0, 0, 10});
    w.Code(22, {0x012}).Text("t1");
    w.Code(18, {11}).Text("head");
    w.Code(24, {0, 0, 10});
    w.Code(11).Text("t2");
    const std::string t = w.Bytes();

    struct Seen {
        std::string text;
        bool inTable;
        int table;
        int row;
        int column;
        int attr;
    };
    std::vector<Seen> seen;
    CtrlTableTracker tracker;
    CtrlTokenizer walk(t);
    CtrlItem item;
    while (walk.Next(item)) {
        tracker.Feed(t, item);
        if (item.IsText())
            seen.push_back({t.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length)),
                            tracker.InTable(), tracker.TableNumber(), tracker.Row(), tracker.Column(),
                            tracker.CellAttribute()});
    }
    const std::vector<std::tuple<std::string, bool, int, int, int, int>> expected = {
        {"h1", true, 0, 1, 0, 0x120}, // value 15 in a header row: the header attribute
        {"h2", true, 0, 1, 1, 0x120},    {"c1", true, 0, 2, 0, 0x120}, // header column
        {"c2", true, 0, 2, 1, 0x030},                                  // body
        {"c3", true, 0, 2, 2, 0x203},    {"t1", true, 1, 1, 0, 0x012},
        {"head", false, 1, 0, 0, 0x012}, {"t2", true, 2, 1, 0, 0x000},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        const auto& [text, inTable, table, row, column, attr] = expected[i];
        EXPECT_EQ(seen[i].text, text);
        EXPECT_EQ(seen[i].inTable, inTable) << text;
        EXPECT_EQ(seen[i].table, table) << text;
        EXPECT_EQ(seen[i].row, row) << text;
        EXPECT_EQ(seen[i].column, column) << text;
        if (inTable)
            EXPECT_EQ(seen[i].attr, attr) << text;
    }

    // Every ending code ends a table; 14, 6, 11, 13, 20 do not.
    for (int code = 0; code < 32; ++code) {
        const bool ends =
            code <= 5 || code == 10 || code == 12 || code == 18 || code == 19 || code == 21 || code == 24;
        EXPECT_EQ(EndsTable(static_cast<uint8_t>(code)), ends) << code;
    }
}

TEST(CtrlTextMeaning, CellAttributeFields)
{
    EXPECT_EQ(CellSpan(0x000), 1);
    EXPECT_EQ(CellSpan(0x00F), 1);
    EXPECT_EQ(CellSpan(0x003), 3);
    EXPECT_EQ(CellAlignment(0x030), 3);
    EXPECT_EQ(CellAlignment(0x050), 5);
    EXPECT_EQ(CellRule(0x080), 1);
    EXPECT_EQ(CellRule(0x100), 2);
    EXPECT_EQ(CellFontFlags(0xA00), 5);
    CtrlTableDef d;
    d.headerAttr = 0x120;
    d.bodyAttr = 0x010;
    d.headerColumns = 2;
    EXPECT_EQ(ResolveCellAttribute(15, d, false, 1), 0x120);
    EXPECT_EQ(ResolveCellAttribute(15, d, false, 2), 0x010);
    EXPECT_EQ(ResolveCellAttribute(15, d, true, 5), 0x120);
    EXPECT_EQ(ResolveCellAttribute(0x002, d, true, 0), 0x002);
}

TEST(CtrlTextMeaning, LinkKinds)
{
    struct Case {
        std::string param;
        CtrlLinkKind kind;
    };
    const Case cases[] = {
        {"OBSAH_", CtrlLinkKind::HelpTopic},
        {"@1", CtrlLinkKind::Email},
        {"W1", CtrlLinkKind::Web},
        {"ABCD", CtrlLinkKind::Other},
    };
    for (const Case& c : cases) {
        CtrlTextWriter w;
        w.CodeString(26, c.param).Text("target").Code(7);
        CtrlItem item;
        ASSERT_TRUE(CtrlItemAt(w.Bytes(), 0, item));
        const CtrlLink link = LinkOf(w.Bytes(), item);
        EXPECT_EQ(link.kind, c.kind) << c.param;
        EXPECT_EQ(link.parameter, c.param);
    }
}
