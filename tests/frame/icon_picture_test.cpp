// Multi-colour pictures: a picture value's parts, their placement and
// pens, and parts that name no program.

#include "frame/pages/vector_icons.h"
#include "page_test_support.h"
#include "platform/gui/recording_canvas.h"

#include <map>
#include <string>

namespace {

using Kind = CanvasCall::Kind;

const std::string kTriangle("\x00\x00\x00\x01\xFF\x00\x01\x80\xFF\x01\x00\x00", 12);

} // namespace

TEST(IconPicture, PartsTable)
{
    struct Case {
        const char* part;
        bool valid;
        Colour colour;
        bool filled;
        int scale;
        const char* section;
        const char* key;
    };
    const Case cases[] = {
        {"0000FFm Obs", true, 0x0000FF, true, 10, "Pict", "Obs"},
        {"QRSTUV- Obs", true, 0xABCDEF, false, 10, "Pict", "Obs"}, // "Q"-"V" are 10-15
        {"12 xyzm5Sec.Key", true, 0x12, true, 5, "Sec", "Key"},    // digits end at the blank
        {"ff00ffm Obs", true, 0x0, true, 10, "Pict", "Obs"},       // lower case is no digit
        {"1234567m Obs", true, 0x123456, false, 13, "Pict",
         " Obs"}, // six characters at most: "7" is the mode
        {"00000 -9Pict.Help", true, 0, false, 9, "Pict", "Help"},
        {"ABCDEFm:Obs", true, 0xABCDEF, true, 10, "Pict", "Obs"}, // scale: the low four bits
        {"ABCDEFm0O", true, 0xABCDEF, true, 0, "Pict", "O"},      // 9 characters: the shortest part
        {"ABCDEFm ", false, 0, false, 10, "", ""},                // 8: too short
        {"", false, 0, false, 10, "", ""},
        {"000000m Dupl.Logo.x", true, 0, true, 10, "Dupl", "Logo.x"}, // split at the first "."
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.part);
        const PicturePart p = ParsePicturePart(c.part);
        EXPECT_EQ(p.valid, c.valid);
        if (!c.valid)
            continue;
        EXPECT_EQ(p.colour, c.colour);
        EXPECT_EQ(p.filled, c.filled);
        EXPECT_EQ(p.scaleDigit, c.scale);
        EXPECT_EQ(p.section, c.section);
        EXPECT_EQ(p.key, c.key);
    }
    const auto parts = ParsePictureSpec("0000FFm A|00FF00- B.C|x");
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[1].section, "B");
    EXPECT_FALSE(parts[2].valid);
}

TEST(IconPicture, ReducedPartsAreCentred)
{
    struct Case {
        int size, digit;
        double scale;
        int shift;
    };
    const Case cases[] = {
        {64, 10, 0.25, 0}, {64, 5, 0.125, 16}, // half size, a quarter of the size right and down
        {64, 0, 0.0, 32},  {33, 5, 33 / 256.0 * 5 / 10, 8},
        {64, 12, 0.3, -6}, // above 10 grows to the upper left
    };
    for (const Case& c : cases) {
        const PartPlacement p = PlacePicturePart({100, 200}, c.size, c.digit);
        EXPECT_DOUBLE_EQ(p.scale, c.scale) << c.size << "/" << c.digit;
        EXPECT_EQ(p.origin, (Point{100 + c.shift, 200 + c.shift})) << c.size << "/" << c.digit;
    }
    for (auto [size, w] : {std::pair{16, 2}, {59, 2}, {60, 2}, {119, 2}, {120, 3}, {240, 5}})
        EXPECT_EQ(PicturePenWidth(size), w) << size;
}

TEST(IconPicture, PassesAndPensOfFilledAndOutlineParts)
{
    page_test::EnsureApp();
    const std::map<std::string, std::string> programs = {{"Pict.Tri", kTriangle}, {"Sec.Key", kTriangle}};
    auto lookup = [&](std::string_view section, std::string_view key, std::string& out) {
        auto it = programs.find(std::string(section) + "." + std::string(key));
        if (it == programs.end())
            return false;
        out = it->second;
        return true;
    };
    RecordingCanvas canvas;
    canvas.SetPen(0x777777, 9);
    const Colour red = 0x0000FF, green = 0x00FF00;
    DrawPicture(canvas, "0000FFm Tri|00FF00- Missing|00FF00-5Sec.Key|short", {10, 20, 200, 200}, 64, lookup);

    std::vector<CanvasCall> calls = canvas.Calls();
    ASSERT_EQ(calls.size(), 7u)
        << "filled: 3 strokes and a fill; missing and short: none; outline: 3 strokes";
    // Filled part: width 3 twice lighter, width 2 lighter, width 1 filled in the colour.
    EXPECT_EQ(calls[0].state.pen, (CanvasPen{Lighter(Lighter(red)), 3}));
    EXPECT_EQ(calls[1].state.pen, (CanvasPen{Lighter(red), 2}));
    EXPECT_EQ(calls[2].kind, Kind::FillPath);
    EXPECT_EQ(calls[2].colour, red);
    EXPECT_EQ(calls[3].state.pen, (CanvasPen{red, 1}));
    EXPECT_EQ(calls[0].path.elements[1].p[0], (Point{10 + 64, 20})) << "255 x 64/256 = 63.75 -> 64";
    // Outline part at half size: base width 2 for 64 pixels, so 4, 3, 2.
    EXPECT_EQ(calls[4].state.pen, (CanvasPen{Lighter(Lighter(green)), 4}));
    EXPECT_EQ(calls[5].state.pen, (CanvasPen{Lighter(green), 3}));
    EXPECT_EQ(calls[6].state.pen, (CanvasPen{green, 2}));
    EXPECT_EQ(calls[6].path.elements[0].p[0], (Point{10 + 16, 20 + 16}));
    EXPECT_EQ(calls[6].path.elements[1].p[0], (Point{10 + 16 + 32, 20 + 16})); // 31.875 -> 32
    for (const CanvasCall& c : calls)
        EXPECT_TRUE(c.state.antialias);
    EXPECT_EQ(canvas.State().pen, (CanvasPen{0x777777, 9})) << "the caller's pen comes back";

    // No picture in an empty or inverted rectangle or at a size of 0 or less.
    canvas.Clear();
    DrawPicture(canvas, "0000FFm Tri", {10, 20, 10, 200}, 64, lookup);
    DrawPicture(canvas, "0000FFm Tri", {10, 20, 0, 0}, 64, lookup);
    DrawPicture(canvas, "0000FFm Tri", {10, 20, 200, 200}, 0, lookup);
    DrawPicture(canvas, "0000FFm Tri", {10, 20, 200, 200}, -64, lookup);
    EXPECT_TRUE(canvas.Calls().empty());
}

TEST(IconPicture, ProgramsComeFromTheProgramTable)
{
    page_test::EnsureApp();
    page_test::ScopedTextTables tables("[Pict]\n"
                                       "Tri=\\x00\\x00\\x00\\x01\\xFF\\x00\\x01\\x80\\xFF\\x01\\x00\\x00\n"
                                       "Bang=!! Pict.Bang\n"
                                       "[Logo]\n"
                                       "Tri=\\x00\\x00\\x00\\x01\\x10\\x10\n");
    std::string program;
    EXPECT_TRUE(LookupProgramInUiTexts("Pict", "Tri", program));
    EXPECT_EQ(program, kTriangle);
    EXPECT_FALSE(LookupProgramInUiTexts("Pict", "Nothing", program)) << "a missing entry";
    EXPECT_FALSE(LookupProgramInUiTexts("Pict", "Bang", program)) << "the missing-entry marker";

    RecordingCanvas canvas;
    DrawPicture(canvas, "0000FF- Tri|0000FF- Nothing|0000FF- Logo.Tri", {0, 0, 32, 32}, 32);
    const auto strokes = canvas.CallsOf(Kind::StrokePath);
    ASSERT_EQ(strokes.size(), 6u) << "the bare key and the section.key draw, the missing one is skipped";
    EXPECT_EQ(strokes[0].path.elements.size(), 4u);
    EXPECT_EQ(strokes[3].path.elements.size(), 2u);
}
