#pragma once
// Vector icons: small path programs kept as texts of the program's text table
// and drawn at any size.  A program is a byte string of triples (operation,
// x, y) on a 256 x 256 grid: operation 0 moves, 1 and 3 draw a line, any other
// value starts a cubic Bézier whose second control point and end point are the
// next two triples; bit 7 of the operation is ignored.  A single-colour shape
// gets a light halo; a multi-colour picture layers several programs, each
// with its own colour, scale and outline or filled mode.  The program and
// picture formats are described in docs/formats/icon-program.md.
//
// The parsing and the point arithmetic are pure functions; the drawing
// routines only turn their results into canvas calls.

#include "platform/gui/canvas.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct GridPoint {
    int x = 0; // 0-255
    int y = 0;
    friend bool operator==(const GridPoint&, const GridPoint&) = default;
};

struct PathStep {
    enum class Op : uint8_t { Move, Line, Curve };
    Op op;
    GridPoint p[3]; // Move, Line: p[0]; Curve: first control, second control, end
    friend bool operator==(const PathStep&, const PathStep&) = default;
};

// The steps of a program.  length div 3 triples; a trailing partial triple
// is ignored, and so is a curve without its two further triples (it ends the
// program: nothing is read past the end).
std::vector<PathStep> ParsePathProgram(std::string_view program);

// Nearest integer, ties to even.
int RoundHalfEven(double v);
// A grid point drawn at (round(x * scale) + origin.x, round(y * scale) + origin.y).
Point IconPoint(GridPoint g, Point origin, double scale);

// The whole program as canvas figures.  The walk starts at grid (0, 0).
CanvasPath BuildIconPath(const std::vector<PathStep>& steps, Point origin, double scale);
// Only the closed figures: at least 2 segments (lines or curves) and the last
// grid point equal to the figure's start.
CanvasPath ClosedFiguresPath(const std::vector<PathStep>& steps, Point origin, double scale);

// Strokes the program with the canvas's current pen.
void DrawPath(Canvas& canvas, std::string_view program, Point origin, double scale);
// Fills the closed figures with the pen colour (each by its own outline,
// odd-even), then strokes the program.
void DrawFilledPath(Canvas& canvas, std::string_view program, Point origin, double scale);

// Where a single-colour shape goes in a rectangle: b = the smaller side,
// margin b / 8, a square of b - 2 margins at the top-left.
struct ShapeFit {
    bool drawable = false; // false for an empty or inverted rectangle
    int side = 0;          // b
    int margin = 0;
    Point origin;
    double scale = 0;
};
ShapeFit FitShape(const Rect& rect);
// A single-colour icon fitted into the rectangle: grey (one pass in the grey
// text colour) or in `colour` over a lighter halo.
void DrawShape(Canvas& canvas, const Rect& rect, std::string_view program, bool grey, Colour colour);

// One part of a picture value ("|"-separated parts): characters 1-6
// the colour (hexadecimal digits up to the first other character, "Q"-"V"
// also 10-15), 7 "m" for filled, 8 the scale digit (blank = 10), 9 onward the
// program's text reference: section "." key, or the key alone for "Pict".
struct PicturePart {
    bool valid = false; // at least 9 characters
    Colour colour = 0;
    bool filled = false;
    int scaleDigit = 10;
    std::string section;
    std::string key;
};
PicturePart ParsePicturePart(std::string_view part);
std::vector<PicturePart> ParsePictureSpec(std::string_view spec);

// The base pen width of a picture of the size.
int PicturePenWidth(int size);
// Origin and scale of a part with the scale digit in a picture at `topLeft`.
struct PartPlacement {
    Point origin;
    double scale = 0;
};
PartPlacement PlacePicturePart(Point topLeft, int size, int scaleDigit);

// Finds the program a picture part names; false when there is none.
using ProgramLookup =
    std::function<bool(std::string_view section, std::string_view key, std::string& program)>;
// The lookup in the program text table (UiTexts): a missing or empty entry,
// or the missing-entry marker, is no program.
bool LookupProgramInUiTexts(std::string_view section, std::string_view key, std::string& program);

// A multi-colour picture of `size` pixels at the rectangle's top-left corner.
// Parts that are malformed or name no program draw nothing; the others draw.
void DrawPicture(Canvas& canvas, std::string_view spec, const Rect& rect, int size,
                 const ProgramLookup& lookup = LookupProgramInUiTexts);

// 60 % of the colour plus 40 % of white, per channel; a system colour is
// resolved first.
Colour Lighter(Colour colour);
