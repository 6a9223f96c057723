#pragma once
// A canvas that draws nothing and lists every drawing call with the state it
// was made in, so tests can check what a page or an icon drew without
// comparing pixels.  Text is measured with fixed, font-size-proportional
// metrics: no fonts and no GUI application are needed.

#include "platform/gui/canvas.h"

#include <QSize>

#include <string>
#include <vector>

struct CanvasCall {
    enum class Kind : uint8_t {
        Line, // from = points[0], to = points[1]
        Rectangle,
        FillRect,
        RoundRect, // rect, ellipse size in points[0]
        Ellipse,
        Polygon,
        Polyline,
        StrokePath,
        FillPath,  // fill colour in `colour`
        TextOut,   // at points[0]
        TextRect,  // rect, at points[0]
        DrawImage, // target in rect, source in source, image size in imageSize
    };
    Kind kind;
    Rect rect;
    Rect source;
    std::vector<Point> points;
    CanvasPath path;
    std::string text; // cp1250
    Colour colour = 0;
    QSize imageSize;
    CanvasState state; // pen, brush, font, clip and antialiasing at the call
};

class RecordingCanvas : public Canvas {
public:
    // Widths and heights are given for a 10-point font and scale with the
    // font size; bold adds one pixel per character.
    explicit RecordingCanvas(int charWidthAt10 = 7, int textHeightAt10 = 16);

    const std::vector<CanvasCall>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }
    std::vector<CanvasCall> CallsOf(CanvasCall::Kind kind) const;
    // The texts drawn, in order.
    std::vector<std::string> Texts() const;

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

private:
    CanvasCall& Add(CanvasCall::Kind kind);

    int charWidthAt10_;
    int textHeightAt10_;
    std::vector<CanvasCall> calls_;
};
