// The grid widget: rows pulled once per paint, the cursor kept below the
// drawn rows, toggled frames dropped by a paint, and a screenshot of a grid
// with two groups, dividers and every row look.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists/lists_test_support.h"
#include "lists/toolkit/grid.h"
#include "platform/gui/recording_canvas.h"

using namespace liststest;

namespace {

struct GridFixture : WithApp {
    TATable1 grid;
    std::vector<std::string> rows; // status character first
    std::vector<int> pulls;

    GridFixture()
    {
        grid.CellText = [this](uint8_t r, std::string& text) {
            pulls.push_back(r);
            if (r >= 1 && r <= rows.size())
                text = rows[r - 1];
            else
                text = std::string(kEndOfRows);
        };
    }
};

std::string Row(uint8_t status, std::string body)
{
    return std::string(1, static_cast<char>(status)) + body;
}

} // namespace

TEST(GridWidget, PaintPullsEachRowOnceAndStopsAtTheLastLine)
{
    EnsureApp();
    GridFixture f;
    f.grid.SetGeometry("2/6,8/10", "0,1");
    const int rh = f.grid.RowHeight();
    f.grid.SetBounds(0, 0, 300, rh * 5 + 1); // the header and 4 data lines
    for (int i = 0; i < 10; ++i)
        f.rows.push_back(Row(0, "R" + std::to_string(i) + "    name"));
    f.grid.Paint();
    EXPECT_EQ(f.pulls, (std::vector<int>{1, 2, 3, 4, 5})); // the fifth found no line
    EXPECT_EQ(f.grid.NextRow(), 5);

    // Fewer rows than lines: the end mark stops the paint.
    f.rows.resize(2);
    f.pulls.clear();
    f.grid.SetCursor(4);
    EXPECT_EQ(f.grid.CursorRow(), 4);
    f.grid.Paint();
    EXPECT_EQ(f.pulls, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(f.grid.NextRow(), 3);
    EXPECT_EQ(f.grid.CursorRow(), 0); // the cursor row is gone
    f.grid.SetCursor(3);
    EXPECT_EQ(f.grid.CursorRow(), 0);
    f.grid.SetCursor(2);
    EXPECT_EQ(f.grid.CursorRow(), 2);

    // A grid taller than 64 row heights is cut to 63 data lines.
    f.grid.SetBounds(0, 0, 300, rh * 80);
    EXPECT_EQ(f.grid.height(), rh * 64 + 1);
    EXPECT_EQ(f.grid.VisibleLines(), 63);
}

TEST(GridWidget, ScreenshotOfEveryRowLook)
{
    EnsureApp();
    GridFixture f;
    // Group 0 (selector 0): code, divider 1, name, divider 2, form; group 1
    // (selector 0): maker, divider 1, note, divider 2, price.
    f.grid.SetCtl3D(true);
    f.grid.SetGeometry("2/6,/1;8/20,/2;28/8,;36/6,/1;42/12,/2;54/8", "0,2,4,6,8,10");
    f.grid.SetTreeWidth(3);
    f.grid.SetTreeMode(true);
    f.grid.SetBounds(0, 0, 560, f.grid.RowHeight() * 20 + 3);
    auto pad = [](std::string s, size_t n) {
        s.resize(n, ' ');
        return s;
    };
    auto body = [&](const char* code, const char* name, const char* form, const char* maker, const char* note,
                    const char* price, std::string tree) {
        return pad(Kam(code), 6) + pad(Kam(name), 20) + pad(Kam(form), 8) + pad(Kam(maker), 6) +
               pad(Kam(note), 12) + pad(Kam(price), 8) + "\xFF" + tree;
    };
    f.grid.Header = Row(0, body("Kód", "Název", "Forma", "Výr.", "Pozn.", "Cena", ""));
    f.grid.Header.resize(255, ' ');
    f.rows = {
        Row(0x00, body("0012345", "Paramedol 500 mg", "TBL", "ZEN", "", "12.50", "+")),
        Row(0x00, body("0012346",
                       "\x01"
                       "Emphasised",
                       "TBL", "ZEN", "\x03", "99.00", "-")),
        Row(0x08, body("0012347", "Dark text", "SUP", "ALF", "cancelled", "", "y")),
        Row(0x10, body("0012348", "Shaded row", "GTT", "ALF", "", "1.00", "Y")),
        Row(0x21, body("", "", "", "", "", "", "") + ""),
        Row(0x40, body("0012349", "Pink row", "INJ", "BET", "", "7.20", "?")),
        Row(0x80, body("0012350", "Marked row", "CRM", "BET", "", "3.30", "n")),
        Row(0x00, body("0012351", "Čaj žluťoučký", "SPC", "KŮŇ", "ďábelské", "0.10", "p")),
    };
    // The span row: its text from the second slot on fills the line.
    f.rows[4] =
        Row(0x21, pad(Kam("SPAN"), 6) + Kam("— one text over every column of the line after the code —"));
    f.grid.Paint();
    f.grid.SetCursor(2);
    EXPECT_EQ(f.grid.NextRow(), 9);
    SaveShot(f.grid.grab().toImage(), "grid_every_row_look.png");
    // A toggled frame is shown until the next paint.
    f.grid.ToggleRowFrame(1);
    SaveShot(f.grid.grab().toImage(), "grid_toggled_row.png");
}

TEST(GridWidget, PrintRowsFollowTheSelectorNotTheFlags)
{
    GridFixture f;
    // Group 0 (selector 1): a 4-character code; group 1 (selector 0): 5 characters.
    f.grid.SetGeometry("2/4,255;7/5", "0,2");
    f.grid.PrintLayout(200, 20, 10);
    RecordingCanvas canvas;
    int y = 100;
    // Status 9: selector 1 with the dark-text flag; the flag does not keep it
    // from print.
    f.grid.PrintRow(canvas,
                    Row(0x09, "ABCD" + std::string(1, '\0') +
                                  "\x01"
                                  "bcd "),
                    y);
    EXPECT_EQ(y, 121);
    f.grid.PrintRow(canvas,
                    Row(0x00, "ABCD" + std::string(1, '\0') +
                                  "\x01"
                                  "bcd "),
                    y);
    EXPECT_EQ(y, 142);
    f.grid.PrintRow(canvas, Row(0x02, "ABCD"), y); // no group selects 2
    EXPECT_EQ(y, 142);
    const auto texts = canvas.CallsOf(CanvasCall::Kind::TextRect);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, "ABCD");
    EXPECT_EQ(texts[0].rect, (Rect{0, 101, 62 - 5, 121}));
    EXPECT_FALSE(texts[0].state.font.bold);
    EXPECT_EQ(texts[1].text, "!bcd"); // emphasised: raised and bold
    EXPECT_TRUE(texts[1].state.font.bold);
    EXPECT_EQ(texts[1].rect.top, 122);
}
