// The rich-text engine's layout, measuring, column fitting and word wrap on
// the recording canvas: 7 pixels a character and 16 a line at 10 points.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/ctrl_text.h"
#include "platform/gui/recording_canvas.h"
#include "viewers/ctrl_view.h"

namespace {

struct Fixture {
    RecordingCanvas canvas;
    CtrlTextView view;
    Fixture()
    {
        view.canvas = &canvas;
        view.font = CanvasFont{};
    }
    int Layout(std::string text)
    {
        view.text = std::move(text);
        return LayoutCtrlText(view);
    }
    std::vector<uint8_t> Kinds() const
    {
        std::vector<uint8_t> k;
        for (int i = 0; i < view.lineCount; ++i)
            k.push_back(view.lines[static_cast<size_t>(i)].kind);
        return k;
    }
};

std::string Paragraphs(int n)
{
    CtrlTextWriter w;
    for (int i = 0; i < n; ++i)
        w.Code(14).Text("p");
    return w.Take();
}

TEST(RichTextLayout, LineTableHolds5199Lines)
{
    struct Case {
        int paragraphs;
        int result;
        int lines;
    };
    for (const Case c :
         {Case{5199, CtrlLayoutResult::Done, 5199}, Case{5200, CtrlLayoutResult::TooManyLines, 5199},
          Case{6000, CtrlLayoutResult::TooManyLines, 5199}, Case{0, CtrlLayoutResult::Done, 0}}) {
        Fixture f;
        const std::string text = Paragraphs(c.paragraphs);
        EXPECT_EQ(f.Layout(text), c.result) << c.paragraphs;
        ASSERT_EQ(f.view.lineCount, c.lines) << c.paragraphs;
        // The end record follows the last line kept; the lines stop where the
        // first line left out would have begun.
        const CtrlLineRecord& end = f.view.lines[static_cast<size_t>(c.lines)];
        EXPECT_EQ(end.kind, CtrlLineKind::End);
        EXPECT_EQ(end.start, c.lines * 2 + 1) << c.paragraphs;
        EXPECT_EQ(f.view.LineText(c.lines).size(), c.lines ? 2u : 0u);
    }
}

TEST(RichTextLayout, TextPastTheAddressableLengthIsCutThere)
{
    Fixture f;
    std::string text(1, '\x0E');
    text.append(kCtrlMaxTextLength + 100, 'a');
    EXPECT_EQ(f.Layout(text), CtrlLayoutResult::TooManyLines);
    ASSERT_EQ(f.view.lineCount, 1);
    EXPECT_EQ(f.view.lines[1].start, kCtrlMaxTextLength + 1);
}

TEST(RichTextLayout, ParagraphCodesAndTheirStyles)
{
    CtrlTextWriter w;
    w.Text("before") // no paragraph code: no line
        .Code(14)
        .Text("a") // default style 0
        .Code(12)
        .Text("b") // starts at the text after it
        .Code(12)
        .Code(13) // followed by a code: nothing
        .Code(18, {11})
        .Text("c") // style 11
        .Code(18, {27})
        .Text("d") // 27 mod 32 is 16 or more: style 0
        .Code(19, {1})
        .Text("e") // map: 14
        .Code(19, {40})
        .Text("f") // beyond the map: the default
        .Code(2)
        .Text("g") // list level 2: style 6
        .Code(21, {0x0603})
        .Text("h") // second-level item: style 6
        .Code(5)
        .Text("i") // style 2 before text
        .Code(5)
        .Code(7); // not before text: nothing
    Fixture f;
    ASSERT_EQ(f.Layout(w.Take()), CtrlLayoutResult::Done);
    EXPECT_EQ(f.Kinds(), (std::vector<uint8_t>{0, 0, 11, 0, 14, 0, 6, 6, 2}));
    // Code 12's line starts at the text after it.
    EXPECT_EQ(f.view.LineText(2), "b\x0C\x0D");
}

TEST(RichTextLayout, StyleMapModeTwoIgnoresTheMap)
{
    Fixture f;
    f.view.mapMode = 2;
    f.Layout(CtrlTextWriter().Code(19, {1}).Text("x").Code(19, {3}).Text("y").Take());
    EXPECT_EQ(f.Kinds(), (std::vector<uint8_t>{0, 0}));
}

TEST(RichTextLayout, TablesRowsHeaderRowsAndNumbers)
{
    CtrlTextWriter w;
    w.Code(14)
        .Text("t")
        .Code(24, {2, 0, 40, 80}) // two header rows
        .Code(11)
        .Text("h1")
        .Code(6)
        .Text("h2")
        .Code(11)
        .Text("h3")
        .Code(14)
        .Text("inside") // code 14 stays in the table
        .Code(22, {0x203})
        .Text("body")
        .Code(4)
        .Text("after")        // closes table 0 and opens a paragraph
        .Code(24, {0, 0, 10}) // table 1
        .Code(11)
        .Text("x")
        .Code(18, {10})
        .Text("heading")      // ends table 1 without a code 4
        .Code(24, {0, 0, 10}) // takes number 2, table 1 keeps its rows
        .Code(11)
        .Text("y"); // never closed
    Fixture f;
    ASSERT_EQ(f.Layout(w.Take()), CtrlLayoutResult::Done);
    EXPECT_EQ(f.Kinds(), (std::vector<uint8_t>{0, 0xC0, 0xC0, 0x80, 0, 0x81, 10, 0x82}));
    EXPECT_TRUE(f.view.tables[0].defined);
    EXPECT_EQ(f.view.tables[0].def.headerRows, 2);
    EXPECT_TRUE(f.view.tables[2].defined);

    // Measuring fits every defined table, the unclosed one too.
    MeasureCtrlText(f.view, 700);
    for (int t : {0, 1, 2})
        EXPECT_TRUE(f.view.tables[static_cast<size_t>(t)].fitted) << t;
    EXPECT_EQ(f.view.tables[0].columnWidths[0], 40 * 7 / 5);
}

TEST(RichTextLayout, ThirtyThirdTableStops)
{
    auto tables = [](int n) {
        CtrlTextWriter w;
        for (int i = 0; i < n; ++i)
            w.Code(24, {0, 0, 10}).Code(11).Text("r").Code(4);
        return w.Take();
    };
    Fixture a;
    EXPECT_EQ(a.Layout(tables(32)), CtrlLayoutResult::Done);
    EXPECT_EQ(a.view.lineCount, 32);
    Fixture b;
    EXPECT_EQ(b.Layout(tables(33)), CtrlLayoutResult::TooManyTables);
    // The lines up to the 33rd definition stand, closed by an end record.
    EXPECT_EQ(b.view.lineCount, 32);
    EXPECT_EQ(b.view.lines[32].kind, CtrlLineKind::End);
}

TEST(RichTextLayout, NarrowTableNeverFittedGetsTheLeastWidths)
{
    Fixture f;
    f.Layout(CtrlTextWriter().Code(24, {0, 0, 100, 100}).Code(11).Text("a").Code(6).Text("b").Code(4).Take());
    // 60 pixels leave less than 10 units for the columns.
    MeasureCtrlText(f.view, 60);
    const CtrlViewTable& t = f.view.tables[0];
    EXPECT_TRUE(t.fitted);
    EXPECT_EQ(t.columnWidths[0], 4 * 7 / 3);
    EXPECT_EQ(t.columnWidths[1], 4 * 7 / 3);
    // A later wide measure fits it; a narrow one after keeps those widths.
    MeasureCtrlText(f.view, 800);
    const int wide = t.columnWidths[0];
    EXPECT_EQ(wide, 100 * 7 / 5);
    MeasureCtrlText(f.view, 60);
    EXPECT_EQ(t.columnWidths[0], wide);
}

TEST(RichTextLayout, FitTableColumnsScalesToTheRoom)
{
    struct Case {
        int available;
        std::vector<int> widths;
        int tableWidth;
    };
    CtrlViewTable t;
    t.def.columns = 2;
    t.def.widths[0] = 43;
    t.def.widths[1] = 511;
    for (const Case& c : {Case{5000, {68, 817}, 68 + 817 + 16}, Case{500, {39, 461}, 516}}) {
        EXPECT_EQ(FitTableColumns(t, c.available, 8), c.tableWidth) << c.available;
        EXPECT_EQ(t.columnWidths[0], c.widths[0]) << c.available;
        EXPECT_EQ(t.columnWidths[1], c.widths[1]) << c.available;
    }
    // Rounding up past the room takes pixels back, never below the minimum.
    CtrlViewTable many;
    many.def.columns = 12;
    for (int& w : many.def.widths)
        w = 200;
    FitTableColumns(many, 200, 8); // minimum 10 a column: 120 fit
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        EXPECT_GE(many.columnWidths[static_cast<size_t>(i)], 10);
        sum += many.columnWidths[static_cast<size_t>(i)];
    }
    EXPECT_EQ(sum, 200);
    FitTableColumns(many, 50, 8); // less than the minimums: the minimums stay
    EXPECT_EQ(many.columnWidths[0], 10);
    EXPECT_EQ(many.width, 12 * 10 + 12 * 8);
}

// --------------------------------------------------------------------- wrap

struct WrapCase {
    const char* name;
    std::string text;
    int width; // right edge; the left edge is 0
    std::vector<std::string> rows;
};

std::vector<std::string> RowTexts(const std::string& text, const std::vector<CtrlWrapRow>& rows, int start)
{
    std::vector<std::string> out;
    int from = start;
    for (const CtrlWrapRow& r : rows) {
        std::string row;
        CtrlTokenizer walk(std::string_view(text).substr(0, static_cast<size_t>(r.end)), from);
        CtrlItem item;
        while (walk.Next(item))
            if (item.IsText())
                row += text.substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length));
        out.push_back(row);
        from = r.end;
    }
    return out;
}

TEST(RichTextWrap, RowsOfCases)
{
    const std::string longWord(300, 'x');
    // A = width - 7 (one blank); 7 pixels a character.
    const std::vector<WrapCase> cases = {
        {"words that fit", "aaa bbb", 100, {"aaa bbb"}},
        {"a word to the next row", "aaa bbb ccc", 7 + 7 * 7, {"aaa bbb ", "ccc"}},
        {"hard blank joins",
         "aaa\x7F"
         "bbb ccc",
         7 + 7 * 7,
         {"aaa\x7F"
          "bbb ",
          "ccc"}},
        {"code 13 forces a row", CtrlTextWriter().Text("aa").Code(13).Text("bb").Take(), 200, {"aa", "bb"}},
        // "abcdefgh" is too long for 6 characters: the first 6 go, the rest follows.
        {"cut at f characters", "abcdefgh", 7 + 6 * 7, {"abcdef", "gh"}},
        // A free width above 6 units breaks where the word may be broken
        // (8 characters fit, the break falls after "jedno").
        {"cut at a break position", "jednotkami", 7 + 8 * 7, {"jedno", "tkami"}},
        {"a 300-byte word",
         longWord,
         7 + 100 * 7,
         {std::string(100, 'x'), std::string(100, 'x'), std::string(100, 'x')}},
        {"ends at code 6", CtrlTextWriter().Text("aa").Code(6).Text("bb").Take(), 200, {"aa"}},
        {"code 19 first is kept",
         CtrlTextWriter().Code(19, {1}).Text("aa").Code(19, {2}).Text("b").Take(),
         200,
         {"aa"}},
    };
    for (const WrapCase& c : cases) {
        RecordingCanvas canvas;
        CtrlSegmentStyle st;
        st.unit = 7;
        st.fontSize = 10;
        int end = 0;
        const std::vector<CtrlWrapRow> rows = WrapCtrlTextSegment(canvas, c.text, 0, 0, c.width, st, &end);
        EXPECT_EQ(RowTexts(c.text, rows, 0), c.rows) << c.name;
    }
}

TEST(RichTextWrap, IndentsAndRowWidths)
{
    RecordingCanvas canvas;
    CtrlSegmentStyle st;
    st.unit = 7;
    st.fontSize = 10;
    st.style.firstIndent = 2;
    st.style.nextIndent = 4;
    // First row from 14, the next from 28; A = 100 - 7 = 93.
    const std::string text = "aaaa bbbb cccc dddd";
    const auto rows = WrapCtrlTextSegment(canvas, text, 0, 0, 100, st);
    ASSERT_EQ(RowTexts(text, rows, 0), (std::vector<std::string>{"aaaa bbbb ", "cccc dddd"}));
    EXPECT_EQ(rows[0].width, 14 + 28 + 28 + 7);
    EXPECT_EQ(rows[0].gaps, 1);
    EXPECT_EQ(rows[1].width, 28 + 28 + 28 + 7);
    // A list item starts at the following-rows indent at once.
    const std::string item = CtrlTextWriter().Code(1).Text("aaaa").Take();
    EXPECT_EQ(WrapCtrlTextSegment(canvas, item, 0, 0, 100, st)[0].width, 28 + 28);
    // Bold text is measured bold: one pixel more a character.
    const std::string bold = CtrlTextWriter().Code(20, {1}).Text("aaaa").Take();
    EXPECT_EQ(WrapCtrlTextSegment(canvas, bold, 0, 0, 100, st)[0].width, 14 + 32);
}

TEST(RichTextWrap, FitTextCountsCharactersThatFit)
{
    RecordingCanvas canvas;
    EXPECT_EQ(FitText(canvas, "abcdef", 21), 4);
    EXPECT_EQ(FitText(canvas, "abcdef", 20), 3);
    EXPECT_EQ(FitText(canvas, "abcdef", 0), 2); // at least one
    EXPECT_EQ(FitText(canvas, "abcdef", 1000), 7);
}

TEST(RichTextWrap, ParagraphRowsAreCappedAt1040)
{
    std::string text;
    for (int i = 0; i < 1500; ++i)
        text += "a ";
    RecordingCanvas canvas;
    CtrlSegmentStyle st;
    st.unit = 7;
    st.fontSize = 10;
    EXPECT_EQ(WrapCtrlTextSegment(canvas, text, 0, 0, 10, st).size(), static_cast<size_t>(kCtrlMaxRows));
}

TEST(RichTextMeasure, MetricsHeightsAndTotals)
{
    Fixture f;
    f.Layout(CtrlTextWriter().Code(14).Text("aaaa bbbb cccc").Code(18, {10}).Text("Head").Take());
    const int32_t total = MeasureCtrlText(f.view, 7 + 7 * 10 + 1);
    EXPECT_EQ(f.view.lineHeight, 16);
    EXPECT_EQ(f.view.unit, 7);
    // Style 0: 4/16 above and below; two rows.
    EXPECT_EQ(f.view.lines[0].rows, 2);
    EXPECT_EQ(f.view.lines[0].height, 4 + 2 * 16 + 4);
    // Style 10: a heading of type 2, rows 10/8 high; 8/16 above.
    EXPECT_EQ(f.view.lines[1].height, 8 + (16 * 10 >> 3));
    EXPECT_EQ(total, f.view.lines[0].height + f.view.lines[1].height);
    EXPECT_EQ(f.view.totalRows, 3);
    EXPECT_EQ(f.view.totalHeight, total);
    EXPECT_EQ(f.view.measuredWidth, 7 + 7 * 10 + 1);
    FreeCtrlText(f.view);
    EXPECT_EQ(MeasureCtrlText(f.view, 100), 0);
}

} // namespace
