#pragma once
// TATable1: the owner-drawn grid of every list.  It owns no data: it holds a
// column geometry, a display order and a header line (GridLayout does the
// arithmetic) and pulls the row texts from its cell-text source while it
// paints.  A paint renders at once into the grid's own image through the
// canvas, so the rows are pulled once and NextRow is known when Paint
// returns; the widget then shows the image and draws the cursor frame and the
// toggled row frames over it.
//
// Row texts are bytes in the data code page; character 1 is the status
// character (see grid_layout.h).  The tree column shows, after a character
// 255 in the row text, one symbol box per character of "+-?NPYnpy".

#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "lists/toolkit/grid_layout.h"
#include "platform/gui/canvas.h"

struct ConfigValues;

class TATable1 : public QWidget {
    Q_OBJECT
public:
    // The text of row r (1-based) with its status character, or kEndOfRows.
    using CellTextProc = std::function<void(uint8_t row, std::string& text)>;

    explicit TATable1(QWidget* parent = nullptr);

    GridLayout& Layout() { return layout_; }
    const GridLayout& Layout() const { return layout_; }

    // The list font; the row height and character width follow it.
    void SetListFont(const CanvasFont& font);
    const CanvasFont& ListFont() const { return font_; }
    int RowHeight() const { return layout_.RowHeight; }
    int CharWidth() const { return layout_.CharWidth; }

    // Parses and lays out; the GeometryFlag values.
    uint32_t SetGeometry(std::string_view geometry, std::string_view order);
    void SetCtl3D(bool on);
    void SetHScroll(bool on);
    bool HScroll() const { return layout_.HScroll; }
    void SetTreeMode(bool on);
    bool TreeOn() const { return layout_.TreeOn; }
    void SetTreeWidth(int cells);
    void SetHOffset(int x);
    // Moves and sizes the control (the height is capped at 64 row heights).
    void SetBounds(int x, int y, int width, int height);
    void SetWidth(int width);
    void SetHeight(int height);
    int VisibleLines() const { return layout_.VisibleLines; }
    // The full width of the laid-out columns and the drawn area's right edge.
    int TotalWidth() const { return layout_.TotalWidth; }
    int VisibleWidth() const { return layout_.VisibleWidth; }
    // Whether the columns need more room than the grid has.
    bool Overflows() const;
    int OverflowWidth() const;

    // The cursor row (0 = none): kept only below NextRow.
    void SetCursor(int row);
    int CursorRow() const { return cursorRow_; }
    uint8_t NextRow() const { return layout_.NextRow(); }
    // Draws the row's marking frame over the shown image; a second call
    // takes it away.  A paint drops every toggled frame.
    void ToggleRowFrame(int row);

    int RowAt(int x, int y) const { return layout_.RowAt(x, y); }
    int CellAt(int x, int y, int& width, int& left) const { return layout_.CellAt(x, y, width, left); }
    std::string GetCellText(std::string_view text, int colPlus1) const
    {
        return std::string(layout_.CellText(text, colPlus1));
    }
    // The screen rectangle (grid coordinates) of row r's lines; empty when
    // the row has none.
    QRect RowRect(int row) const;

    // Renders the rows into the image now and schedules the presentation.
    void Paint();
    // The image the last paint rendered (cursor and toggled frames are not
    // in it).
    const QImage& Image();
    // Paints of the image so far (tests).
    uint64_t PaintCount() const { return paints_; }

    // Print and output rows (see GridLayout).
    void PrintLayout(int pageWidth, int lineHeight, int charWidth)
    {
        layout_.PrintLayout(pageWidth, lineHeight, charWidth);
    }
    // One printed line per group the row selects, from x = 0 at y; y moves on.
    void PrintRow(Canvas& canvas, std::string_view text, int& y) const;
    void RtfTableHead(std::string& out, int charWidth) { layout_.RtfTableHead(out, charWidth); }
    void RtfRow(std::string& out, std::string_view text) const { layout_.RtfRow(out, text); }
    void TextRow(std::string& out, std::string_view text, int type) const
    {
        layout_.TextRow(out, text, type);
    }

    // The heading line in the row-text layout, blank-padded to 255.
    std::string Header;
    // Colours (canvas colour words): the cells' background and text, and the
    // emphasised cells.
    Colour BackgroundColour = SysColour::Window;
    Colour TextColour = SysColour::WindowText;
    Colour EmphasisColour = 0x0000FF;
    CellTextProc CellText;

signals:
    void mousePressed(QMouseEvent* event);
    void mouseReleased(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void DrawRow(uint8_t r, std::string_view text);
    void DrawTreeSymbols(std::string_view text, int top);
    void DrawCell(std::string_view cell, int col, int left, int right, int top, Colour textColour);
    QRect FrameRect(int row) const;
    void InvertRow(QPainter& painter, uint8_t r);

    static constexpr int kMaxCachedGridRows = 63;

    GridLayout layout_;
    CanvasFont font_;
    QImage canvasImage_;
    PainterCanvas canvas_;
    int cursorRow_ = 0;
    std::vector<int> toggled_;
    std::vector<uint8_t> marked_;
    uint64_t paints_ = 0;
};

// The settings' list font, a sunken frame and the program's colours of
// fields, text and highlighted text.
void ApplyListSettings(TATable1& grid, const ConfigValues& settings);
