// Seeded random texts through the whole rich-text engine: texts made of
// well-formed items by the writer, and raw random bytes.  Every one lays out,
// measures, paints and hit-tests at widths from 1 to 2000 without a fault
// (run in the QEVW_SANITIZE build to catch reads outside a buffer), and the
// answers stay inside the text.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "datastore/ctrl_text.h"
#include "platform/gui/recording_canvas.h"
#include "viewers/ctrl_view.h"

namespace {

std::string RandomWellFormed(std::mt19937& rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    CtrlTextWriter w;
    const int items = 1 + pick(60);
    for (int i = 0; i < items; ++i) {
        switch (pick(12)) {
        case 0:
        case 1:
        case 2: {
            std::string t;
            const int n = 1 + pick(pick(10) == 0 ? 400 : 30);
            for (int k = 0; k < n; ++k) {
                const int r = pick(10);
                t.push_back(r == 0   ? ' '
                            : r == 1 ? '\x7F'
                            : r == 2 ? static_cast<char>(128 + pick(128))
                                     : static_cast<char>('a' + pick(26)));
            }
            w.Text(t);
            break;
        }
        case 3: w.Code(static_cast<uint8_t>(1 + pick(15))); break;
        case 4: w.Code(static_cast<uint8_t>(16 + pick(16)), {pick(4096)}); break;
        case 5: w.Code(20, {pick(64) | (pick(2) ? 0x100 : 0)}); break;
        case 6: w.Code(21, {pick(4096)}); break;
        case 7: w.Code(18, {pick(40)}); break;
        case 8: {
            std::vector<int> v{pick(4096), pick(4096)};
            const int cols = pick(16);
            for (int c = 0; c < cols; ++c)
                v.push_back(pick(pick(2) ? 600 : 4096));
            w.Code(24, v);
            const int rows = pick(6);
            for (int r = 0; r < rows; ++r) {
                if (pick(2))
                    w.Code(11);
                else
                    w.Code(22, {pick(4096)});
                const int cells = pick(15);
                for (int c = 0; c < cells; ++c) {
                    w.Text("cell");
                    if (pick(3) == 0)
                        w.Code(13);
                    if (pick(2))
                        w.Code(6);
                    else
                        w.Code(23, {pick(4096)});
                }
            }
            if (pick(3))
                w.Code(4);
            break;
        }
        case 9: w.CodeString(26, pick(2) ? "ABCDEF" : "@").Text("link").Code(7); break;
        case 10: w.CodeString(25, "PIC", {pick(4096), pick(4096)}); break;
        default: w.Code(13); break;
        }
    }
    return w.Take();
}

std::string RandomBytes(std::mt19937& rng)
{
    std::string s(rng() % 300, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() % 256);
    return s;
}

void Exercise(const std::string& text, std::mt19937& rng)
{
    RecordingCanvas canvas;
    CtrlTextView view;
    view.canvas = &canvas;
    view.text = text;
    view.searchTerms = {"a", "ce"};
    const int r = LayoutCtrlText(view);
    ASSERT_TRUE(r == 0 || r == 1 || r == 2) << r;
    ASSERT_GE(view.lineCount, 0);
    ASSERT_LT(view.lineCount, kCtrlMaxLines);
    const int width = 1 + static_cast<int>(rng() % 2000);
    const int32_t total = MeasureCtrlText(view, width);
    ASSERT_GE(total, 0);
    int64_t sum = 0;
    for (int l = 1; l <= view.lineCount; ++l) {
        const CtrlLineRecord& rec = view.lines[static_cast<size_t>(l - 1)];
        ASSERT_GE(rec.height, 0);
        ASSERT_GE(rec.rows, 0);
        ASSERT_LE(rec.rows, kCtrlMaxRows);
        sum += rec.height;
    }
    ASSERT_EQ(sum, view.totalHeight);
    for (int l = 1; l <= view.lineCount; ++l) {
        const int len = static_cast<int>(view.LineText(l).size());
        Rect rect{0, 0, width, 100000};
        CtrlPaintRequest draw{l, static_cast<int>(rng() % 3), 0};
        PaintCtrlText(view, draw, {}, rect);
        Rect hitRect{0, 0, width, 100000};
        CtrlPaintRequest hit{l, CtrlPaintMode::HitTest, static_cast<int>(rng() % 2)};
        const Point p{static_cast<int>(rng() % (width + 50)) - 25, static_cast<int>(rng() % 200) - 20};
        PaintCtrlText(view, hit, p, hitRect);
        ASSERT_GE(hit.mode, 0);
        ASSERT_LE(hit.mode, len);
    }
}

TEST(RichTextRandom, WellFormedTextsOfTheWriter)
{
    std::mt19937 rng(20240611);
    for (int i = 0; i < 10000; ++i) {
        const std::string text = RandomWellFormed(rng);
        ASSERT_NO_FATAL_FAILURE(Exercise(text, rng)) << "text " << i;
    }
}

TEST(RichTextRandom, RawBytes)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 10000; ++i) {
        const std::string text = RandomBytes(rng);
        ASSERT_NO_FATAL_FAILURE(Exercise(text, rng)) << "text " << i;
    }
}

} // namespace
