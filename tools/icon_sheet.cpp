// Draws every icon of a UI text table onto one sheet, for a person to look
// at: each program of section "Pict" as a shape (enabled and grey) and each
// picture, at 16, 24, 33 and 64 pixels.  Pictures of other sections can be
// named on the command line.
//
//   icon_sheet TABLE OUT.png [Section.Key ...]
//
// Run it with QT_QPA_PLATFORM=offscreen where there is no display.

#include "datastore/text_table.h"
#include "frame/pages/vector_icons.h"
#include "platform/gui/canvas.h"

#include <QGuiApplication>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSizes[] = {16, 24, 33, 64};
constexpr int kLabelWidth = 110;
constexpr int kGap = 12;
constexpr int kRowHeight = 64 + 2 * kGap;

struct Item {
    std::string label;
    std::string value;
    bool picture;
};

// A program starts with a move (operation 0, bit 7 ignored); a picture
// value starts with a colour digit.
bool IsProgram(const std::string& value)
{
    return !value.empty() && (static_cast<unsigned char>(value[0]) & 0x7F) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: icon_sheet TABLE OUT.png [Section.Key ...]\n", stderr);
        return 2;
    }
    TextTablePtr table;
    const uint16_t rc = LoadTextTable(table, argv[1]);
    if (rc < TextTableResult::FirstSuccess) {
        std::fprintf(stderr, "%s: cannot be loaded (result %u)\n", argv[1], rc);
        return 1;
    }
    UiTexts.Set(table);

    std::vector<Item> items;
    std::string key;
    std::string value;
    while (NextTextEntry(table, "Pict", key, value) != 0)
        items.push_back({"Pict." + key, value, !IsProgram(value)});
    for (int i = 3; i < argc; ++i) {
        const std::string ref = argv[i];
        const size_t dot = ref.find('.');
        std::string spec;
        if (dot == std::string::npos ||
            GetTextEntry(table, ref.substr(0, dot), ref.substr(dot + 1), spec) == 0) {
            std::fprintf(stderr, "%s: no such entry\n", ref.c_str());
            return 1;
        }
        items.push_back({ref, spec, true});
    }
    if (items.empty()) {
        std::fprintf(stderr, "%s: section \"Pict\" holds no icons\n", argv[1]);
        return 1;
    }

    int cellsWidth = 0;
    for (int s : kSizes)
        cellsWidth += s + kGap;
    const int width = kLabelWidth + 2 * cellsWidth + kGap;
    const int height = kGap + static_cast<int>(items.size()) * kRowHeight;
    ImageCanvas canvas(width, height, 0xFFFFFF);
    canvas.SetFont(CanvasFont{"DejaVu Sans", 9});
    canvas.SetFontColour(0x000000);
    canvas.SetBrushStyle(BrushStyle::Clear);

    int y = kGap;
    for (const Item& item : items) {
        canvas.TextOut(kGap, y + 64 / 2 - 8, item.label);
        int x = kLabelWidth;
        for (int pass = 0; pass < 2; ++pass) {
            for (int s : kSizes) {
                const Rect r{x, y + 64 - s, x + s, y + 64};
                x += s + kGap;
                if (item.picture && pass == 1)
                    continue; // pictures have no grey form
                canvas.SetPen(0xE0E0E0, 0);
                canvas.SetBrushStyle(BrushStyle::Clear);
                canvas.Rectangle({r.left - 1, r.top - 1, r.right + 1, r.bottom + 1});
                if (item.picture) {
                    DrawPicture(canvas, item.value, r, s);
                } else {
                    DrawShape(canvas, r, item.value, pass == 1, 0x994400);
                }
            }
        }
        y += kRowHeight;
    }
    const QImage& image = canvas.Image();
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
