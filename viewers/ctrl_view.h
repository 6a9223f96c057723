#pragma once
// The program's rich-text engine: lays a CtrlText out into lines (paragraphs
// and table rows), measures them for a width and paints, measures or
// hit-tests one line at a time on a canvas.
//
// It walks the text with the one tokenizer (datastore/ctrl_text.h) and takes
// every code's meaning from viewers/ctrl_text_meaning.h.  The canvas
// (platform/canvas.h) is its only contact with the drawing system: the same
// painter draws on a page's back buffer, on a printer and on a recording
// canvas in tests.
//
// A window owns one CtrlTextView, fills its input fields (text, canvas, font,
// colours, style map), calls LayoutCtrlText once per text and
// MeasureCtrlText for every width, then paints the lines it shows.  Nothing
// here throws; results are codes.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gui/canvas.h"
#include "viewers/ctrl_text_meaning.h"

// ------------------------------------------------------------------- limits

constexpr int kCtrlMaxLines = 5200;         // line records, the end record included
constexpr int kCtrlMaxRows = 1040;          // wrapped rows of one paragraph or cell
constexpr int kCtrlMaxTextLength = 1048575; // positions are kept in 20 bits
constexpr int kCtrlMaxSearchTerms = 5;

// LayoutCtrlText results.
namespace CtrlLayoutResult {
constexpr int Done = 0;
constexpr int TooManyLines = 1;
constexpr int TooManyTables = 2;
constexpr int NoMemory = -12;
} // namespace CtrlLayoutResult

// Line kinds: 0-15 a paragraph of that style, table rows and the end record.
namespace CtrlLineKind {
constexpr uint8_t TableRow = 0x80;  // + table number
constexpr uint8_t HeaderRow = 0xC0; // + table number
constexpr uint8_t End = 255;
inline bool IsTableRow(uint8_t kind)
{
    return kind >= TableRow && kind != End;
}
inline int TableOf(uint8_t kind)
{
    return kind & 0x3F;
}
} // namespace CtrlLineKind

// Paint request modes besides "draw from wrapped row n" (n >= 0).
namespace CtrlPaintMode {
constexpr int HitTest = -1;     // the answer replaces the mode
constexpr int Measure = -2;     // the height is stored in the line's record
constexpr int MeasureOnly = -3; // the same without storing
} // namespace CtrlPaintMode

// ------------------------------------------------------------------- records

struct CtrlLineRecord {
    int32_t start = 0; // 1-based position of the line's first byte
    uint8_t kind = 0;
    int32_t height = 0; // pixels, set by the measuring pass
    int32_t rows = 0;   // wrapped rows when last measured or painted (table rows: the most of a cell)
};

// One paragraph style: spaces in sixteenths of the line height, indents and
// tab in character units.
struct ParagraphStyle {
    uint8_t above = 0;
    uint8_t below = 0;
    uint8_t firstIndent = 0;
    uint8_t nextIndent = 0; // also where list labels end
    uint8_t spare4 = 0;
    uint8_t spare5 = 0;
    uint8_t tab = 0;
    uint8_t align = 0; // 0 left, 1 right, 2 centred
    uint8_t type = 0;  // 0 plain; 1, 2, 3 heading scaled by (8 + type)/8; 4 boxed
};
using ParagraphStyleTable = std::array<ParagraphStyle, 16>;
// The table of the program's windows.
const ParagraphStyleTable& ProgramParagraphStyles();

// A table definition of the view with its fitted widths.
struct CtrlViewTable {
    CtrlTableDef def;
    bool defined = false;
    uint8_t flags = 0; // 0x80 ruled, + 1 grid
    int32_t width = 0; // fitted table width
    bool fitted = false;
    std::array<int32_t, kCtrlMaxColumns> columnWidths{}; // fitted, pixels
    // Columns a row can hold: the widths given, else all twelve defaults.
    int Columns() const { return def.columns > 0 ? def.columns : kCtrlMaxColumns; }
};

struct CtrlColours {
    Colour background = 0xFFFFFF;
    Colour text = 0x000000;
    Colour heading = 0x000000;
    Colour linkText = 0x660022;
    Colour linkBackground = 0xDDFFEE;
    Colour highlight = 0xDDDDDD;
    Colour searchHit = 0x0033CC;
};

struct CtrlWrapRow {
    int32_t width = 0; // from the segment's left edge, indent included
    int gaps = 0;      // words - 1
    int end = 0;       // offset in the text where the row ends (exclusive)
};

// What the engine keeps between its passes for one canvas and base font:
// the widths of the text pieces it measured and the rows of every segment
// it wrapped, so that a repaint or a scroll step wraps nothing again.
class CtrlLayoutCache {
public:
    // Forgets everything when the canvas or the font differ from those it
    // was filled with.
    void Bind(const Canvas* canvas, const CanvasFont& font);
    // Forgets the rows (a new text, another width); the widths stay.
    void ClearRows() { rows_.clear(); }

    // The width of a piece in the font size and style, or -1.  `style`
    // bits: 1 bold, 2 italic, others the caller's.
    int PieceWidth(int size, int style, std::string_view piece) const;
    void StorePieceWidth(int size, int style, std::string_view piece, int width);

    struct Segment {
        std::vector<CtrlWrapRow> rows;
        int end = 0;
    };
    // The rows of the segment starting at `start` of `line`, wrapped for the width.
    const Segment* Rows(int line, int start, int width) const;
    void StoreRows(int line, int start, int width, Segment segment);

private:
    static std::string WidthKey(int size, int style, std::string_view piece);
    const Canvas* canvas_ = nullptr;
    CanvasFont font_;
    std::unordered_map<std::string, int> widths_;
    std::unordered_map<uint64_t, Segment> rows_;
};

struct CtrlTextView;
// Called for every line after its colours are chosen; may change them.
using CtrlColourHook =
    std::function<void(const CtrlTextView& view, int line, Colour& background, Colour& text)>;

struct CtrlTextView {
    // Input.
    std::string text;         // CtrlText, data code page
    Canvas* canvas = nullptr; // measuring and drawing
    CanvasFont font;          // the base font
    ParagraphStyleTable styles = ProgramParagraphStyles();
    CtrlStyleMap styleMap = kHelpStyleMap;
    uint8_t mapMode = 0; // 2: every code 19 takes the default style
    CtrlColours colours;
    std::vector<std::string> searchTerms; // at most kCtrlMaxSearchTerms, data code page
    CtrlColourHook colourHook;

    // Set by the engine.
    int lineCount = 0;                 // N
    std::vector<CtrlLineRecord> lines; // line i at lines[i - 1], the end record at lines[N]
    bool lineTable = false;            // allocated (kept until FreeCtrlText)
    int32_t measuredWidth = 0;
    std::array<CtrlViewTable, kCtrlMaxTables> tables{};
    int tableCounter = 0;
    int unit = 0;              // character unit
    int lineHeight = 0;        // text height of "0"
    int currentUnit = 0;       // scaled for headings while a line is painted
    int currentLineHeight = 0; // the same
    int64_t totalRows = 0;
    int64_t totalHeight = 0;
    CtrlLayoutCache cache;

    // The line's bytes (from its start to the next line's start).
    std::string_view LineText(int line) const;
};

// ------------------------------------------------------------------- passes

// Cuts the text into lines.  An empty text does nothing.
int LayoutCtrlText(CtrlTextView& view);
// Fixes metrics for the width, fits the tables and measures every line; the
// total height.  Call after every layout and every change of width or font.
int32_t MeasureCtrlText(CtrlTextView& view, int32_t width);
// Releases the line table.
void FreeCtrlText(CtrlTextView& view);
// Fits a table's columns into `available` pixels; the table width.
int32_t FitTableColumns(CtrlViewTable& table, int32_t available, int unit);
// Takes the canvas's metrics for the view's base font (the measuring pass's
// first step, also for a window that needs them before any text).
void TakeCtrlMetrics(CtrlTextView& view);

// --------------------------------------------------------------- wrapping

// The wrapping of one paragraph or table cell.
struct CtrlSegmentStyle {
    ParagraphStyle style;
    int unit = 0;
    int fontSize = 0;         // the line's size (headings scaled)
    bool headingBold = false; // the line's bold
    int fontFlags = 0;        // flags at the segment's start (cell attributes)
};

// Breaks the segment of `text` starting at `start` into rows for the edges
// `left`..`right`.  The segment ends at the text's end, a byte 0, a code 6 or
// 23, or a code 19 that is not its first item.  At most kCtrlMaxRows rows;
// the segment's end offset goes to `segmentEnd`.  `cache` (may be null)
// keeps the widths of the pieces measured.
std::vector<CtrlWrapRow> WrapCtrlTextSegment(Canvas& canvas, std::string_view text, int start, int left,
                                             int right, const CtrlSegmentStyle& style,
                                             int* segmentEnd = nullptr, CtrlLayoutCache* cache = nullptr);

// One more than the number of leading characters of the text (data code
// page) whose width is at most `width`; at least 2 for a non-empty text.
int FitText(Canvas& canvas, std::string_view text, int width);

// ---------------------------------------------------------------- painting

struct CtrlPaintRequest {
    int line = 0;
    int mode = 0;    // >= 0 the first wrapped row drawn, or a CtrlPaintMode
    int fromRow = 0; // hit test: the first wrapped row of the line shown
};

// Paints, measures or hit-tests one line.  `rect`: top where the line starts,
// left and right the text margins; on return its top is the line's bottom
// (space below included).  A hit test leaves in request.mode the offset of the
// character under `point` from the line's first byte (the line's length for
// a point past its end).
void PaintCtrlText(CtrlTextView& view, CtrlPaintRequest& request, Point point, Rect& rect);

// ----------------------------------------------------- canvas primitives

// Text primitives take data code page bytes; byte 127 is a blank.
int CtrlTextWidth(Canvas& canvas, std::string_view text);
void CtrlTextOut(Canvas& canvas, int x, int y, std::string_view text);
// The bullet character (cp1250 0x95) at (x, y).
void DrawBullet(Canvas& canvas, int x, int y);
// A line from (left, top) to (right, bottom) with the current pen.
void DrawLineSeg(Canvas& canvas, const Rect& r);
void SetFontColour(Canvas& canvas, Colour colour);
void SetBrushColour(Canvas& canvas, Colour colour);
// Font size and style of the flags; the brush takes the highlight colour for
// flag 0x008, else the normal background.  The vertical offset of the text.
int SetTextStyle(Canvas& canvas, int flags, int size, int lineHeight, Colour normal, Colour highlight);
