#pragma once
// The one drawing surface of the program.  Pages, the rich-text engine and
// printing all draw through `Canvas`, which keeps the device-context habits
// the program's drawing code is written for:
//  - colours are words 0x00BBGGRR (red in the low byte), or a system colour
//    0xFF000000 + number that one resolver maps to the application palette;
//  - rectangles are left, top, right, bottom with right and bottom outside;
//  - text is a cp1250 byte string placed by its top-left corner, measured as
//    ascent + descent high, and drawn over the brush colour when the brush is
//    solid (a clear brush draws it transparently);
//  - pen, brush and font are current state that drawing calls use.
// Measuring works at any time; drawing opens a paint pass on demand, which
// EndPaint closes (before an image is read, resized or shown).
//
// Implementations: PainterCanvas (QPainter on any paint device: images here,
// a printer later), ImageCanvas (a PainterCanvas owning its RGB32 image: the
// back buffer and off-screen bitmaps) and RecordingCanvas
// (platform/recording_canvas.h, which lists the calls for tests).

#include <QFont>
#include <QImage>
#include <QStaticText>

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QColor;
class QFontMetrics;
class QPainter;
class QPaintDevice;

using Colour = uint32_t;

constexpr Colour kSystemColourFlag = 0xFF000000;
constexpr Colour SystemColour(int number)
{
    return kSystemColourFlag | static_cast<Colour>(number & 0xFF);
}
constexpr bool IsSystemColour(Colour c)
{
    return (c & 0xFF000000u) == kSystemColourFlag;
}

// The system colours by the numbers the configuration keeps.
namespace SysColour {
constexpr Colour ScrollBar = SystemColour(0);
constexpr Colour Desktop = SystemColour(1);
constexpr Colour ActiveCaption = SystemColour(2);
constexpr Colour InactiveCaption = SystemColour(3);
constexpr Colour Menu = SystemColour(4);
constexpr Colour Window = SystemColour(5);
constexpr Colour WindowFrame = SystemColour(6);
constexpr Colour MenuText = SystemColour(7);
constexpr Colour WindowText = SystemColour(8);
constexpr Colour CaptionText = SystemColour(9);
constexpr Colour ActiveBorder = SystemColour(10);
constexpr Colour InactiveBorder = SystemColour(11);
constexpr Colour AppWorkspace = SystemColour(12);
constexpr Colour Highlight = SystemColour(13);
constexpr Colour HighlightText = SystemColour(14);
constexpr Colour BtnFace = SystemColour(15);
constexpr Colour BtnShadow = SystemColour(16);
constexpr Colour GrayText = SystemColour(17);
constexpr Colour BtnText = SystemColour(18);
constexpr Colour InactiveCaptionText = SystemColour(19);
constexpr Colour BtnHighlight = SystemColour(20);
constexpr Colour DarkShadow3D = SystemColour(21);
constexpr Colour Light3D = SystemColour(22);
constexpr Colour InfoText = SystemColour(23);
constexpr Colour InfoBk = SystemColour(24);
constexpr Colour HotLight = SystemColour(26);
constexpr Colour GradientActiveCaption = SystemColour(27);
constexpr Colour GradientInactiveCaption = SystemColour(28);
constexpr Colour MenuHighlight = SystemColour(29);
constexpr Colour MenuBar = SystemColour(30);
} // namespace SysColour

// The RGB colour word of a colour: a system colour through the application
// palette (a fixed classic table while no GUI application exists), any other
// word with its top byte cleared.  The one resolver of system colours.
Colour ResolveColour(Colour c);
QColor ToQColor(Colour c);
Colour ColourOfQColor(const QColor& c);

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Right and bottom lie outside, as in the stored layouts (not QRect).
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    // Empty or inverted.
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // Strictly inside: the edges themselves are outside.
    bool ContainsStrictly(Point p) const { return left < p.x && p.x < right && top < p.y && p.y < bottom; }
    Rect Intersected(const Rect& o) const;
    Rect Translated(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

enum class BrushStyle : uint8_t { Solid, Clear };

struct CanvasPen {
    Colour colour = 0;
    int width = 1; // 0 = a cosmetic one-pixel pen
    friend bool operator==(const CanvasPen&, const CanvasPen&) = default;
};

struct CanvasBrush {
    Colour colour = 0xFFFFFF;
    BrushStyle style = BrushStyle::Solid;
    friend bool operator==(const CanvasBrush&, const CanvasBrush&) = default;
};

struct CanvasFont {
    std::string family = "DejaVu Sans";
    int size = 10; // points, at the canvas's resolution
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Colour colour = 0;
    friend bool operator==(const CanvasFont&, const CanvasFont&) = default;
};

// Figures of lines and cubic Bézier curves in device pixels.
struct CanvasPath {
    enum class Op : uint8_t { Move, Line, Cubic };
    struct Element {
        Op op;
        Point p[3]; // Move and Line use p[0]; Cubic: two control points, end
        friend bool operator==(const Element&, const Element&) = default;
    };
    std::vector<Element> elements;

    void MoveTo(Point p) { elements.push_back({Op::Move, {p, {}, {}}}); }
    void LineTo(Point p) { elements.push_back({Op::Line, {p, {}, {}}}); }
    void CubicTo(Point c1, Point c2, Point end) { elements.push_back({Op::Cubic, {c1, c2, end}}); }
    bool Empty() const { return elements.empty(); }
};

struct CanvasState {
    CanvasPen pen;
    CanvasBrush brush;
    CanvasFont font;
    Point penPosition;
    bool antialias = false;
    bool clipped = false;
    Rect clip;
};

class Canvas {
public:
    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    virtual ~Canvas();

    const CanvasState& State() const { return state_; }

    void SetPen(Colour colour, int width);
    void SetPenColour(Colour colour);
    void SetPenWidth(int width);
    void SetBrush(Colour colour, BrushStyle style = BrushStyle::Solid);
    void SetBrushColour(Colour colour);
    void SetBrushStyle(BrushStyle style);
    const CanvasFont& Font() const { return state_.font; }
    void SetFont(const CanvasFont& font);
    void SetFontSize(int size);
    void SetBold(bool on);
    void SetItalic(bool on);
    void SetUnderline(bool on);
    void SetFontColour(Colour colour);
    // Icons and pictures are antialiased; frames and grid lines are not.
    void SetAntialias(bool on);
    // Drawing is limited to the rectangle until ResetClip.
    void SetClipRect(const Rect& r);
    void ResetClip();

    // Measures with the current font; cp1250 bytes.  Text height is the
    // font's ascent + descent, whatever the text.
    virtual int TextWidth(std::string_view text) = 0;
    virtual int TextHeight(std::string_view text) = 0;

    void MoveTo(int x, int y) { state_.penPosition = {x, y}; }
    // A line from the pen position with the pen; the pen position moves there.
    virtual void LineTo(int x, int y) = 0;
    // Outline with the pen, interior with the brush.
    virtual void Rectangle(const Rect& r) = 0;
    // Brush only (nothing with a clear brush).
    virtual void FillRect(const Rect& r) = 0;
    // A rectangle whose corners are quarter ellipses of ew x eh.
    virtual void RoundRect(const Rect& r, int ew, int eh) = 0;
    virtual void Ellipse(const Rect& r) = 0;
    // Closed with the pen, filled with the brush.
    virtual void Polygon(const std::vector<Point>& points) = 0;
    virtual void Polyline(const std::vector<Point>& points) = 0;
    // Strokes every figure with the pen.
    virtual void StrokePath(const CanvasPath& path) = 0;
    // Fills the closed figures (odd-even) in the colour; no outline.
    virtual void FillPath(const CanvasPath& path, Colour colour) = 0;
    // Text placed by its top-left corner.
    virtual void TextOut(int x, int y, std::string_view text) = 0;
    // The same, clipped to r (with a solid brush r is filled first).
    virtual void TextRect(const Rect& r, int x, int y, std::string_view text) = 0;
    // Copies the source area of the image onto the target (scaled when the
    // sizes differ).
    virtual void DrawImage(const Rect& target, const QImage& image, const Rect& source) = 0;
    // Ends the current paint pass, if any.
    virtual void EndPaint() {}
    // The Qt painter behind the canvas, for drawing that needs Qt's own
    // layout (rich-text pages); nullptr for canvases without one.
    virtual QPainter* NativePainter() { return nullptr; }

protected:
    enum Dirty : uint32_t {
        DirtyPen = 1,
        DirtyBrush = 2,
        DirtyFont = 4, // face, size or style (not the colour)
        DirtyClip = 8,
        DirtyHints = 16,
        DirtyAll = 31,
    };
    CanvasState state_;
    uint32_t dirty_ = DirtyAll;
};

// QPainter on a paint device.  The device is not owned.  `dpi` turns point
// sizes into pixels (96 for screen images, the printer's resolution later).
class PainterCanvas : public Canvas {
public:
    explicit PainterCanvas(QPaintDevice* device = nullptr, int dpi = 96);
    ~PainterCanvas() override;

    // Ends a running paint pass, then draws on the new device from now on.
    void SetDevice(QPaintDevice* device, int dpi);
    bool Painting() const;
    int Dpi() const { return dpi_; }
    // The Qt font the current font state maps to.
    QFont CurrentQFont();
    // Keeps the shaped glyphs of TextRect's texts for the font, so a text
    // drawn again (a grid repainting mostly the same cells) is not shaped
    // again.  Off by default: most canvases draw each text once.
    void SetTextCache(bool on);

    int TextWidth(std::string_view text) override;
    int TextHeight(std::string_view text) override;
    void LineTo(int x, int y) override;
    void Rectangle(const Rect& r) override;
    void FillRect(const Rect& r) override;
    void RoundRect(const Rect& r, int ew, int eh) override;
    void Ellipse(const Rect& r) override;
    void Polygon(const std::vector<Point>& points) override;
    void Polyline(const std::vector<Point>& points) override;
    void StrokePath(const CanvasPath& path) override;
    void FillPath(const CanvasPath& path, Colour colour) override;
    void TextOut(int x, int y, std::string_view text) override;
    void TextRect(const Rect& r, int x, int y, std::string_view text) override;
    void DrawImage(const Rect& target, const QImage& image, const Rect& source) override;
    void EndPaint() override;
    QPainter* NativePainter() override;

private:
    QPainter& Painter();
    void ApplyState(QPainter& p);
    const QFontMetrics& Metrics();
    void EnsureFont();
    void DrawTextAt(int x, int y, const QString& text);
    const QStaticText& ShapedText(std::string_view text);

    QPaintDevice* device_ = nullptr;
    int dpi_ = 96;
    std::unique_ptr<QPainter> painter_;
    QFont qfont_;
    std::unique_ptr<QFontMetrics> metrics_;
    bool fontValid_ = false;
    bool cacheTexts_ = false;
    // The shaped texts, most recently drawn first, and their index by text
    // (keys view the list's own strings, which never move).  When full the
    // least recently drawn goes, so the cells on screen stay shaped however
    // many other texts pass through.
    struct ShapedEntry {
        std::string text;
        QStaticText shaped;
    };
    std::list<ShapedEntry> shapedOrder_;
    std::unordered_map<std::string_view, std::list<ShapedEntry>::iterator> shaped_;
    void ClearShaped();
};

// A PainterCanvas that owns its RGB32 image: the back buffer of a page and the
// bitmaps of off-screen canvases.
class ImageCanvas : public PainterCanvas {
public:
    ImageCanvas();
    ImageCanvas(int width, int height, Colour fill = 0xFFFFFF);
    ~ImageCanvas() override;

    // A new image of the size, filled with the colour (the old content is dropped).
    void Resize(int width, int height, Colour fill = 0xFFFFFF);
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    // The image with every drawing so far in it (ends the paint pass).
    const QImage& Image();

private:
    QImage image_;
};
