// The element classes on the recording canvas: texts, input line, scroll
// bar, cell grid, push button, off-screen canvas, and the order of freeing.

#include "datastore/kamenici.h"
#include "frame/pages/page.h"
#include "frame/pages/vector_icons.h"
#include "page_test_support.h"
#include "platform/gui/recording_canvas.h"

#include <memory>
#include <string>
#include <vector>

namespace {

using Kind = CanvasCall::Kind;

class PlainPage : public TPraded {
public:
    PlainPage(PageState& s, Canvas& c) : TPraded(s, c, 640, 480) {}
};

constexpr const char* kUi = "[Test]\n"
                            "Caption=Tla\xC4\x8D\xC3\xADtko\n" // "Tlačítko"
                            "Hint=N\xC3\xA1pov\xC4\x9B"
                            "da\n"
                            "Bang=!nepou\xC5\xBE\xC3\xADvat\n"
                            "[Pict]\n"
                            "Tri=\\x00\\x10\\x10\\x01\\xF0\\x10\\x01\\x80\\xF0\\x01\\x10\\x10\n"
                            "[Dupl]\n"
                            "Help=Velk\xC3\xA9 D\n";
constexpr const char* kData = "[Verze]\nCislo=2024.1\n[Dupl]\nHelp=mal\xC3\xA9 d\n";

// A cp1250 text in the data code page, as the table compiler stores it.
std::string Kam(std::string win)
{
    WinToKamS(win);
    return win;
}

} // namespace

TEST(PageText, GetTextTable)
{
    page_test::ScopedTextTables tables(kUi, kData);
    struct Case {
        const char* key;
        std::string expected; // data code page
    };
    const Case cases[] = {
        {"Test.Caption", Kam("Tla\xE8\xEDtko")},
        {"dVerze.Cislo", "2024.1"},
        {"Dupl.Help", Kam("Velk\xE9 D")}, // capital D: program table
        {"dDupl.Help", Kam("mal\xE9 d")}, // lower-case d: data table
        {"Test", ""},                     // no "."
        {"Test.Bang", ""},                // a text starting with "!"
        {"Test.Missing", ""},             // the missing-entry marker "!! Test.Missing"
        {"dTest.Caption", ""},            // not in the data table
        {"Nowhere.Caption", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        TPrvek e;
        ASSERT_TRUE(e.SetCaptionKey(c.key));
        EXPECT_EQ(e.GetText(TPrvek::CaptionText), c.expected);
    }

    TPrvek e;
    e.SetCaptionKey("Test.Caption");
    e.SetHintKey("Test.Hint");
    e.SetShapeKey("Pict.Tri");
    EXPECT_EQ(KamToWin(e.GetText(TPrvek::HintText)), "N\xE1pov\xEC"
                                                     "da");
    EXPECT_EQ(e.GetText(TPrvek::ShapeText),
              std::string("\x00\x10\x10\x01\xF0\x10\x01\x80\xF0\x01\x10\x10", 12))
        << "a program arrives byte for byte";

    // A reference over 19 characters is refused, never cut into another key.
    EXPECT_TRUE(e.SetCaptionKey("Test.Caption6789012"));
    EXPECT_FALSE(e.SetHintKey("Test.Caption67890123"));
    EXPECT_TRUE(e.HintKey().empty());
    EXPECT_EQ(e.GetText(TPrvek::HintText), "");
}

TEST(PageText, KindThreeAndFourPaintTheirTextAligned)
{
    page_test::ScopedTextTables tables(kUi, kData);
    PageState state;
    RecordingCanvas canvas; // 7 pixels a character
    PlainPage page(state, canvas);
    std::string name = "abcd"; // 28 pixels wide
    struct Case {
        uint32_t style;
        int x;
    };
    for (const Case& c : {Case{0, 10}, Case{1, (110 + 10 - 28) / 2}, Case{2, 110 - 28}}) {
        TPrvek& e = page.Create<TPrvek>();
        e.kind = TPrvek::KindText;
        e.rect = {10, 20, 110, 40};
        e.style = c.style;
        e.data = &name;
        canvas.Clear();
        e.Paint(canvas);
        ASSERT_EQ(canvas.Calls().size(), 1u);
        const CanvasCall& t = canvas.Calls()[0];
        EXPECT_EQ(t.kind, Kind::TextRect);
        EXPECT_EQ(t.rect, (Rect{10, 20, 110, 40}));
        EXPECT_EQ(t.points[0], (Point{c.x, 20})) << "style " << c.style;
        EXPECT_EQ(t.state.brush.style, BrushStyle::Clear);
        EXPECT_EQ(t.state.font.colour, 0u);
    }
    // Without data the caption text, converted for display.
    TPrvek& cap = page.Create<TPrvek>();
    cap.kind = TPrvek::KindText;
    cap.rect = {0, 0, 200, 20};
    cap.SetCaptionKey("Test.Caption");
    canvas.Clear();
    cap.Paint(canvas);
    EXPECT_EQ(canvas.Texts(), (std::vector<std::string>{"Tla\xE8\xEDtko"}));
    // Other kinds paint no text.
    cap.kind = TPrvek::KindPlain;
    canvas.Clear();
    cap.Paint(canvas);
    EXPECT_TRUE(canvas.Calls().empty());
}

TEST(PageInput, TypingEditsTheDataText)
{
    PageState state;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TVstup& in = page.Create<TVstup>();
    std::string text;
    EXPECT_EQ(in.HandleEvent('a', PageShift::Typed), 'a') << "no data: unchanged";
    in.data = &text;

    struct Step {
        const char* what;
        int32_t code;
        uint8_t shift;
        int32_t result;
        std::string after;
    };
    const std::string kamC(1, static_cast<char>(0x87)); // "č" in the data code page
    const Step steps[] = {
        {"backspace on empty", 8, PageShift::Typed, 0, ""},
        {"a letter", 'a', PageShift::Typed, 272, "a"},
        {"cp1250 č stores its data byte", 0xE8, PageShift::Typed, 272, "a" + kamC},
        {"a real shift is not typing", 'b', PageShift::ShiftKey, 'b', "a" + kamC},
        {"no shift either", 'b', 0, 'b', "a" + kamC},
        {"Ctrl+V is not a character to append", 22, PageShift::Typed, 22, "a" + kamC},
        {"Enter neither", 13, PageShift::Typed, 13, "a" + kamC},
        {"a key code with shift 8", 300, PageShift::Typed, 300, "a" + kamC},
        {"backspace", 8, PageShift::Typed, 272, "a"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        EXPECT_EQ(in.HandleEvent(s.code, s.shift), s.result);
        EXPECT_EQ(text, s.after);
    }
    EXPECT_EQ(KamToWinTable[0x87], 0xE8) << "the data code page's č";

    text.assign(255, 'x');
    EXPECT_EQ(in.HandleEvent('y', PageShift::Typed), 0) << "a full line is consumed unchanged";
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(in.HandleEvent(8, PageShift::Typed), 272);
    EXPECT_EQ(text.size(), 254u);
}

TEST(PageInput, PaintsTextPlaceholderAndCaret)
{
    page_test::ScopedTextTables tables(kUi, kData);
    PageState state;
    RecordingCanvas canvas; // height 16 at 10 points: h = 16, m = 5
    PlainPage page(state, canvas);
    TVstup& in = page.Create<TVstup>();
    in.rect = {10, 10, 300, 40};
    in.SetCaptionKey("Test.Caption");
    in.Paint(canvas);
    EXPECT_TRUE(canvas.Calls().empty()) << "nothing without data";

    std::string text;
    in.data = &text;
    in.Paint(canvas);
    const auto texts = canvas.CallsOf(Kind::TextRect);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Tla\xE8\xEDtko") << "the placeholder";
    EXPECT_EQ(texts[0].points[0], (Point{10 + 16, 10 + 5 + 1}));
    EXPECT_EQ(texts[0].state.font.colour, SysColour::GrayText);
    EXPECT_TRUE(canvas.CallsOf(Kind::Line).size() == 4) << "the frame only, no caret";
    EXPECT_EQ(canvas.CallsOf(Kind::Line)[0].state.pen.colour, SysColour::BtnShadow);
    EXPECT_EQ(canvas.CallsOf(Kind::FillRect)[0].state.brush.colour, 0xFFFFFFu);

    text = "ab";
    in.style |= TPrvek::StyleCaret;
    canvas.Clear();
    in.Paint(canvas);
    const auto typed = canvas.CallsOf(Kind::TextRect);
    ASSERT_EQ(typed.size(), 1u);
    EXPECT_EQ(typed[0].points[0], (Point{15, 15}));
    EXPECT_EQ(typed[0].state.font.size, 12) << "the text in a 5/4 font";
    const auto lines = canvas.CallsOf(Kind::Line);
    ASSERT_EQ(lines.size(), 5u);
    // "ab" at 12 points: 2 x 8 pixels; the caret after it, from top + m to bottom - m.
    EXPECT_EQ(lines[4].points, (std::vector<Point>{{10 + 5 + 16, 15}, {10 + 5 + 16, 35}}));
    EXPECT_EQ(lines[4].state.pen, (CanvasPen{0, 0}));
    EXPECT_EQ(canvas.Font().size, 10) << "the font size is restored";
}

TEST(PageScrollBar, ThumbFollowsThePageSetPosition)
{
    PageState state;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TPosuv& bar = page.Create<TPosuv>();
    bar.rect = {100, 0, 118, 204}; // s = 16, track = 204 - 32 - 4 = 168
    struct Case {
        const char* what;
        int32_t range, pageSize, position;
        bool thumb;
        int32_t thumbLength, thumbTop;
        Colour arrows;
    };
    const Case cases[] = {
        {"top", 1000, 250, 0, true, 42, 0 + 16 + 0 + 2, SysColour::BtnText},
        {"middle", 1000, 250, 500, true, 42, 16 + 84 + 2, SysColour::BtnText},
        {"end", 1000, 250, 750, true, 42, 16 + 126 + 2, SysColour::BtnText},
        {"past the end is clamped for drawing", 1000, 250, 5000, true, 42, 16 + 126 + 2, SysColour::BtnText},
        {"before the start too", 1000, 250, -40, true, 42, 18, SysColour::BtnText},
        {"a short page gets a thumb of the button size", 100000, 10, 0, true, 16, 18, SysColour::BtnText},
        {"page = range: grey arrows, no thumb", 500, 500, 0, false, 0, 0, SysColour::GrayText},
        {"page > range", 100, 500, 0, false, 0, 0, SysColour::GrayText},
        {"nothing to scroll", 0, 0, 0, false, 0, 0, SysColour::GrayText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bar.range = c.range;
        bar.pageSize = c.pageSize;
        bar.position = c.position;
        canvas.Clear();
        bar.Paint(canvas);
        EXPECT_EQ(bar.position, c.position) << "the position is the page's";
        EXPECT_EQ(bar.buttonSize, 16);
        const auto polys = canvas.CallsOf(Kind::Polygon);
        ASSERT_EQ(polys.size(), 2u);
        EXPECT_EQ(polys[0].state.brush.colour, c.arrows);
        EXPECT_EQ(polys[1].state.brush.colour, c.arrows);
        const auto parts = canvas.CallsOf(Kind::Rectangle);
        ASSERT_EQ(parts.size(), c.thumb ? 3u : 2u);
        if (c.thumb) {
            EXPECT_EQ(bar.thumbLength, c.thumbLength);
            EXPECT_EQ(parts[2].rect, (Rect{101, c.thumbTop, 117, c.thumbTop + c.thumbLength}));
            EXPECT_EQ(bar.ThumbRect(), parts[2].rect);
        } else {
            EXPECT_EQ(bar.thumbLength, 0);
        }
    }
    // The up arrow: apex at (left + s/2, top + 2s/5), base on bottom - 2s/5.
    bar.range = 10;
    bar.pageSize = 1;
    canvas.Clear();
    bar.Paint(canvas);
    EXPECT_EQ(canvas.CallsOf(Kind::Polygon)[0].points, (std::vector<Point>{{109, 7}, {105, 11}, {113, 11}}));
}

TEST(PageScrollBar, ATinyBarDrawsNoThumbAndNeverDividesByZero)
{
    PageState state;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TPosuv& bar = page.Create<TPosuv>();
    for (Rect r :
         {Rect{0, 0, 18, 30}, Rect{0, 0, 18, 36}, Rect{0, 0, 2, 100}, Rect{0, 0, 0, 0}, Rect{5, 5, 1, 1}}) {
        bar.rect = r;
        bar.range = 100;
        bar.pageSize = 10;
        bar.position = 50;
        canvas.Clear();
        bar.Paint(canvas);
        EXPECT_EQ(bar.thumbLength, 0) << r.right << "x" << r.bottom;
        EXPECT_LE(canvas.CallsOf(Kind::Rectangle).size(), 2u);
    }
}

TEST(PageGrid, CellsFollowWidthsAndLineHeight)
{
    PageState state;
    state.lineHeight = 16;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TTabule& grid = page.Create<TTabule>();
    grid.rect = {10, 20, 400, 300};
    grid.rows = 3;
    grid.columns = 4;
    grid.widths[0] = 20;
    grid.widths[1] = 100;
    grid.widths[2] = 50;
    grid.widths[3] = 30;
    struct Cell {
        Rect rect;
        int row, zero, column;
    };
    std::vector<Cell> cells;
    grid.cellPainter = [&](Canvas&, const Rect& r, int row, int zero, int col) {
        cells.push_back({r, row, zero, col});
    };
    grid.Paint(canvas);
    ASSERT_EQ(cells.size(), 12u);
    EXPECT_EQ(cells[0].rect, (Rect{10, 20, 30, 36}));
    EXPECT_EQ(cells[1].rect, (Rect{31, 20, 131, 36}));
    EXPECT_EQ(cells[3].rect, (Rect{183, 20, 213, 36}));
    EXPECT_EQ(cells[4].rect, (Rect{10, 44, 30, 60})) << "rows are 1.5 lines apart";
    EXPECT_EQ(cells[11].rect, (Rect{183, 68, 213, 84}));
    for (size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].row, int(i / 4));
        EXPECT_EQ(cells[i].column, int(i % 4));
        EXPECT_EQ(cells[i].zero, 0);
        EXPECT_EQ(cells[i].rect, grid.CellRect(cells[i].row, cells[i].column, 16));
    }
    EXPECT_EQ(grid.HandleEvent(PageEvent::LeftClick, 0), 0);

    cells.clear();
    grid.rows = 0;
    grid.Paint(canvas);
    grid.rows = 2;
    grid.columns = 0;
    grid.Paint(canvas);
    EXPECT_TRUE(cells.empty()) << "zero rows or columns paint nothing";

    grid.rows = 1;
    grid.columns = 40;
    grid.Paint(canvas);
    EXPECT_EQ(cells.size(), 34u) << "columns beyond 34 are not painted";

    cells.clear();
    grid.cellPainter = nullptr;
    grid.Paint(canvas);
    EXPECT_TRUE(cells.empty());
}

TEST(PageButton, CaptionPointsHoverAndGreyIcon)
{
    page_test::ScopedTextTables tables(kUi, kData);
    PageState state;
    state.lineHeight = 16;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TCudlik& b = page.Create<TCudlik>();
    EXPECT_EQ(b.kind, TPrvek::KindHover);
    b.rect = {10, 10, 150, 42}; // 140 x 32
    b.SetCaptionKey("Test.Caption");
    b.SetShapeKey("Pict.Tri");
    b.colour = 0x0000C0;

    // Caption right of the square icon, vertically centred on the line height.
    b.Paint(canvas);
    auto texts = canvas.CallsOf(Kind::TextRect);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Tla\xE8\xEDtko");
    EXPECT_EQ(texts[0].points[0], (Point{10 + 32, 10 + (32 - 16) / 2}));
    EXPECT_EQ(texts[0].rect, b.rect);
    const auto frame = canvas.CallsOf(Kind::RoundRect);
    ASSERT_EQ(frame.size(), 1u);
    EXPECT_EQ(frame[0].points[0], (Point{7, 7}));
    EXPECT_EQ(frame[0].state.pen, (CanvasPen{0xC0C0C0, 0}));
    EXPECT_EQ(frame[0].state.brush.style, BrushStyle::Clear);
    auto strokes = canvas.CallsOf(Kind::StrokePath);
    ASSERT_EQ(strokes.size(), 2u) << "halo and shape";
    EXPECT_EQ(strokes[1].state.pen, (CanvasPen{0x0000C0, 2}));

    // Caption under a square icon, bold.
    b.rect = {10, 10, 50, 80};
    b.style = TPrvek::StyleCentred | TPrvek::StyleBold;
    std::string caption = "Ok"; // data wins over the caption text
    b.data = &caption;
    canvas.Clear();
    b.Paint(canvas);
    texts = canvas.CallsOf(Kind::TextRect);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Ok");
    EXPECT_EQ(texts[0].points[0], (Point{(50 + 10 - 16) / 2, 10 + 40 + 2})) << "8 pixels a bold character";
    EXPECT_TRUE(texts[0].state.font.bold);
    EXPECT_FALSE(canvas.Font().bold) << "bold is reset";

    // Hovered: the mouse strictly inside, in the element's coordinates.
    state.mousePoint = {30, 30};
    canvas.Clear();
    b.Paint(canvas);
    const auto hover = canvas.CallsOf(Kind::RoundRect);
    EXPECT_EQ(hover[0].state.brush, (CanvasBrush{0xEEEEEE, BrushStyle::Solid}));
    EXPECT_EQ(hover[0].state.pen, (CanvasPen{0x808080, 0}));
    state.mousePoint = {10, 30}; // on the edge
    EXPECT_FALSE(b.Hovered());

    // Disabled: one grey pass.
    b.SetEnabled(false);
    canvas.Clear();
    b.Paint(canvas);
    strokes = canvas.CallsOf(Kind::StrokePath);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].state.pen, (CanvasPen{SysColour::GrayText, 2}));
}

TEST(PageButton, AChildOfAScrolledCanvasIsHoveredWhereItIsDrawn)
{
    PageState state;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TPlatno& c = page.Create<TPlatno>();
    c.rect = {100, 100, 300, 300};
    c.ScrollOffset() = {0, 200};
    TCudlik& b = page.Create<TCudlik>();
    b.layer = 1;
    b.parent = 0;
    b.rect = {10, 210, 60, 240}; // shown at (110, 110) - (160, 140)
    state.mousePoint = {120, 120};
    EXPECT_TRUE(b.Hovered());
    state.mousePoint = {20, 220};
    EXPECT_FALSE(b.Hovered());
}

TEST(PageCanvas, PaintCopiesOnlyWhatTheBitmapHolds)
{
    page_test::EnsureApp();
    PageState state;
    RecordingCanvas canvas;
    PlainPage page(state, canvas);
    TPlatno& c = page.Create<TPlatno>();
    EXPECT_EQ(c.kind, TPrvek::KindCanvas);
    EXPECT_EQ(c.offsetSlot, 1);
    EXPECT_EQ(c.canvasMarkBefore, 1);
    EXPECT_EQ(c.canvasMarkAfter, 1);
    c.rect = {50, 60, 250, 160}; // 200 x 100
    c.Bitmap().Resize(200, 300);
    struct Case {
        Point scroll;
        Rect source;
        Rect target;
    };
    const Case cases[] = {
        {{0, 0}, {0, 0, 200, 100}, {50, 60, 250, 160}},
        {{0, 120}, {0, 120, 200, 220}, {50, 60, 250, 160}},
        {{0, 250}, {0, 250, 200, 300}, {50, 60, 250, 110}}, // the bitmap ends
        {{30, 0}, {30, 0, 200, 100}, {50, 60, 220, 160}},
        {{0, -20}, {0, 0, 200, 80}, {50, 80, 250, 160}},
    };
    for (const Case& k : cases) {
        c.ScrollOffset() = k.scroll;
        canvas.Clear();
        c.Paint(canvas);
        const auto copies = canvas.CallsOf(Kind::DrawImage);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].source, k.source) << k.scroll.y;
        EXPECT_EQ(copies[0].rect, k.target) << k.scroll.y;
    }
    c.ScrollOffset() = {0, 400};
    canvas.Clear();
    c.Paint(canvas);
    EXPECT_TRUE(canvas.Calls().empty()) << "scrolled past the bitmap";
}

namespace {

std::vector<std::string> g_freed;

class Probe : public OwnedObject {
public:
    explicit Probe(std::string n) : name(std::move(n)) {}
    ~Probe() override { g_freed.push_back(name); }
    std::string name;
};

class ProbePage : public TPraded {
public:
    ProbePage(PageState& s, Canvas& c) : TPraded(s, c, 10, 10)
    {
        for (int i = 0; i < 3; ++i) {
            TPrvek& e = Create<TPrvek>();
            e.owned1 = std::make_unique<Probe>(std::to_string(i) + ".owned1");
            e.owned2 = std::make_unique<Probe>(std::to_string(i) + ".owned2");
        }
        own = std::make_unique<Probe>("page state");
    }
    ~ProbePage() override { own.reset(); }
    std::unique_ptr<Probe> own;
};

} // namespace

TEST(PageLifecycle, DoneFreesThePageStateThenElementsLastToFirst)
{
    g_freed.clear();
    PageState state;
    state.tick = 77;
    state.moveTick = 70;
    state.pressTick = 71;
    RecordingCanvas canvas;
    auto page = std::make_unique<ProbePage>(state, canvas);
    EXPECT_EQ(state.tick, 0u);
    EXPECT_EQ(state.moveTick, PageState::kNoTick);
    EXPECT_EQ(state.pressTick, PageState::kNoTick);
    EXPECT_EQ(page->count(), 3);
    EXPECT_EQ(page->focus, TPraded::kNone);
    EXPECT_EQ(page->hovered, TPraded::kNone);
    EXPECT_EQ(page->Element(0).flags, 11);
    page.reset();
    EXPECT_EQ(g_freed, (std::vector<std::string>{"page state", "2.owned2", "2.owned1", "1.owned2", "1.owned1",
                                                 "0.owned2", "0.owned1"}));
}

TEST(PageLifecycle, FrameRectGoesRoundTheRectangle)
{
    RecordingCanvas canvas;
    TPrvek e;
    e.FrameRect(canvas, {1, 2, 30, 40});
    const auto lines = canvas.CallsOf(Kind::Line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].points, (std::vector<Point>{{1, 2}, {30, 2}}));
    EXPECT_EQ(lines[1].points, (std::vector<Point>{{30, 2}, {30, 40}}));
    EXPECT_EQ(lines[2].points, (std::vector<Point>{{30, 40}, {1, 40}}));
    EXPECT_EQ(lines[3].points, (std::vector<Point>{{1, 40}, {1, 2}}));
}
