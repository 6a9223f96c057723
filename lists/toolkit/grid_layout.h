#pragma once
// The arithmetic of the list grid: the parse of a column geometry and a
// display order, the column layouts (natural widths with horizontal
// scrolling, or fitted to the width by the display order), the screen lines
// a paint gives each row, hit tests, and the row writers of print, RTF, text
// and CSV output.  Pure: the character width, the row height and the
// control's size are given, so every figure can be checked by hand.
//
// Row texts are in the data code page: character 1 is the row's status
// character, the columns lie at their 1-based offsets after it.
//
// Status character bits: 0-1 group selector (a group's line is drawn only
// when status & 3 equals the group's selector); 3 dark-shadow text; 4
// scroll-bar background with dark-shadow text; 5 span row (from the slot of
// bits 0-3 on, the rest of the text fills the line; the bits are then
// cleared); 6 pink background; 7 marked (inverted).
//
// Tables are fixed: at most 32 columns, 4 groups, 8 divider styles and 64
// screen lines; anything beyond sets a parse flag and is dropped.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Parse flags of SetGeometry.
namespace GeometryFlag {
constexpr uint32_t BadGeometryChar = 1; // also a number above 255
constexpr uint32_t TooManyGroups = 2;
constexpr uint32_t TooManyColumns = 4;
constexpr uint32_t DividerStyle = 8; // a style above 8
constexpr uint32_t BadOrderChar = 0x10;
constexpr uint32_t TooManyOrder = 0x20;
} // namespace GeometryFlag

namespace RowStatus {
constexpr uint8_t SelectorMask = 0x03;
constexpr uint8_t DarkText = 0x08;
constexpr uint8_t ShadedBackground = 0x10;
constexpr uint8_t Span = 0x20;
constexpr uint8_t SpanSlotMask = 0x0F;
constexpr uint8_t Pink = 0x40;
constexpr uint8_t Marked = 0x80;
} // namespace RowStatus

// The end-of-rows answer of a cell-text source.
inline constexpr std::string_view kEndOfRows = "\x01\xFF";

class GridLayout {
public:
    static constexpr int kMaxColumns = 32;
    static constexpr int kMaxGroups = 4;
    static constexpr int kMaxDividerStyle = 8;
    static constexpr int kMaxLines = 64; // the header and 63 data lines
    static constexpr int kMaxVisibleLines = 63;

    struct Slot {
        uint8_t col = 0;
        int width = 0;
    };
    // One screen line of a row: which row and the group drawn on it.
    struct Line {
        uint8_t row = 0;
        uint8_t group = 0;
        int firstSlot = 0;
    };

    // --- Set-up -----------------------------------------------------------
    // Row height (text height + 2, at least 1) and character width.
    void SetMetrics(int rowHeight, int charWidth);
    // Parses geometry and order (see column_language.h) and lays out; the
    // OR-ed GeometryFlag values.
    uint32_t SetGeometry(std::string_view geometry, std::string_view order);
    // The control's size.  SetHeight answers the height the control keeps:
    // more than 64 row heights is cut to RowHeight x 64 + 1.
    void SetWidth(int width);
    int SetHeight(int height);
    void SetCtl3D(bool on);
    void SetHScroll(bool on);
    void SetTreeMode(bool on);
    // The tree column's width in symbol cells (RowHeight - 2 pixels each).
    void SetTreeWidth(int cells);
    // Clamped at 0; true when it changed.
    bool SetHOffset(int x);

    // --- Layout -----------------------------------------------------------
    void LayoutColumns();
    // The fitted layout for print into the print slots, then the screen's
    // divider stops back.
    void PrintLayout(int pageWidth, int lineHeight, int charWidth);

    // --- A paint's screen lines ---------------------------------------------
    void BeginLines();
    // Gives row r (0 = the header) its lines, at most up to VisibleLines;
    // false when the row is out of order (not drawn).  A row whose selector
    // matches no group takes no line.
    bool PlaceRow(uint8_t r, uint8_t status);
    // After a paint: rows placed + 1 (the header not counted).
    uint8_t NextRow() const { return nextRow_; }
    void SetNextRow(uint8_t n) { nextRow_ = n; }
    int LinesUsed() const { return linesUsed_; }
    const Line& LineAt(int line) const { return lines_[static_cast<size_t>(line)]; }
    // The first screen line of row r, -1 when it has none.
    int FirstLineOf(uint8_t r) const;
    // The lines of row r: first and count (count 0 when none).
    int LineCountOf(uint8_t r) const;

    // --- Geometry of the drawing ------------------------------------------
    // Left and right edges of a row's cells and frames.
    int RowLeft() const;  // x0
    int RowRight() const; // x1
    // Where a group line's slots start (HOffset and the tree applied).
    int LineStartX() const;
    int LineTop(int line) const;
    // The slot range of a group: [first, end) in Slots().
    std::pair<int, int> GroupSlots(int group) const;
    // The group selector a status asks for (span rows: 0).
    static uint8_t SelectorOf(uint8_t status);
    // The span slot (index within the group's slots), -1 for no span.
    static int SpanSlotOf(uint8_t status);

    // --- Hit tests --------------------------------------------------------
    // The row under (x, y); VisibleLines + 1 outside the drawn rows.
    int RowAt(int x, int y) const;
    // The column number + 1 of the cell under (x, y), 255 for the tree
    // column (left = the symbol cell, 1-based), 0 outside.
    int CellAt(int x, int y, int& width, int& left) const;

    // --- Cells ------------------------------------------------------------
    // The column's part of a row text (column number + 1); empty when none.
    std::string_view CellText(std::string_view text, int colPlus1) const;
    // Whether a cell is emphasised (first character below 32) and its text
    // as shown: that character + 64 (columns up to 3 characters) or + 32,
    // an at sign then a blank.
    static bool IsEmphasised(std::string_view cell);
    std::string ShownCell(std::string_view cell, int col) const;

    // --- Output rows (data-code-page rows in, display bytes out) -------------
    // The columns shown in any screen slot, in column-number order.
    void CollectExportColumns();
    // "\par \trowd \trgaph30", "\cellx" per exported column, CR LF.
    void RtfTableHead(std::string& out, int charWidth);
    void RtfRow(std::string& out, std::string_view text) const;
    // Type 1 plain text (cells padded, blank separated), 2 CSV (";"), 3 the
    // clipboard's text (tab); CR LF at the end.
    void TextRow(std::string& out, std::string_view text, int type) const;

    // --- State --------------------------------------------------------------
    int RowHeight = 1;
    int CharWidth = 1;
    int PrintRowHeight = 0;
    int PrintCharWidth = 0;
    bool Ctl3D = false;
    bool HScroll = false;
    bool TreeOn = false;
    int TreeWidth = 0; // pixels (a byte)
    int Width = 185;
    int Height = 105;
    std::array<uint8_t, kMaxColumns + 1> ColOffset{};
    std::array<uint8_t, kMaxColumns + 1> ColLength{};
    std::array<uint8_t, kMaxColumns> OrderCol{};
    std::array<uint8_t, kMaxColumns> OrderWidth{};
    std::array<uint8_t, kMaxColumns> ExportCol{};
    std::array<uint8_t, kMaxGroups> GroupStart{};
    std::array<uint8_t, kMaxGroups> GroupSel{};
    std::array<int, kMaxDividerStyle + 1> DividerStop{}; // styles 1..8
    int ColumnCount = 0;
    int GroupCount = 0; // separators: groups - 1
    int OrderCount = 0;
    int ExportCount = 0;
    int VisibleLines = 0;
    int TotalWidth = 0;
    int VisibleWidth = 0;
    int PrintWidth = 0;
    int HOffset = 0;

    const std::vector<Slot>& Slots() const { return slots_; }
    const std::vector<Slot>& PrintSlots() const { return printSlots_; }
    // First column and end of group g (0 .. GroupCount).
    std::pair<int, int> GroupColumns(int g) const;
    bool IsTextColumn(int c) const { return ColOffset[static_cast<size_t>(c)] > 0; }
    bool IsDivider(int c) const
    {
        return ColOffset[static_cast<size_t>(c)] == 0 && ColLength[static_cast<size_t>(c)] >= 128;
    }
    int DividerStyleOf(int c) const { return 256 - ColLength[static_cast<size_t>(c)]; }
    bool IsSpacer(int c) const
    {
        return ColOffset[static_cast<size_t>(c)] == 0 && ColLength[static_cast<size_t>(c)] >= 1 &&
               ColLength[static_cast<size_t>(c)] <= 127;
    }

private:
    uint32_t ParseColumns(std::string_view geometry);
    uint32_t ParseOrder(std::string_view order);
    void ComputeVisibleLines();
    void LayoutNatural(int group);
    void LayoutByOrder(std::vector<Slot>& row, int first, int end, bool print, int totalLimit, int cw,
                       int limit, int& x);
    void Equalise();
    int X0() const { return Ctl3D ? 2 : 1; }

    std::vector<Slot> slots_;
    std::vector<Slot> printSlots_;
    std::array<Line, kMaxLines> lines_{};
    int linesUsed_ = 0;
    uint8_t nextRow_ = 0;
    int lastPlaced_ = -1; // the last row placed in this paint
};
