#include "platform/gui/recording_canvas.h"

#include <cstdlib>

RecordingCanvas::RecordingCanvas(int charWidthAt10, int textHeightAt10)
    : charWidthAt10_(charWidthAt10), textHeightAt10_(textHeightAt10)
{}

CanvasCall& RecordingCanvas::Add(CanvasCall::Kind kind)
{
    calls_.push_back(CanvasCall{kind, {}, {}, {}, {}, {}, 0, {}, state_});
    return calls_.back();
}

std::vector<CanvasCall> RecordingCanvas::CallsOf(CanvasCall::Kind kind) const
{
    std::vector<CanvasCall> out;
    for (const CanvasCall& c : calls_)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

std::vector<std::string> RecordingCanvas::Texts() const
{
    std::vector<std::string> out;
    for (const CanvasCall& c : calls_)
        if (c.kind == CanvasCall::Kind::TextOut || c.kind == CanvasCall::Kind::TextRect)
            out.push_back(c.text);
    return out;
}

int RecordingCanvas::TextWidth(std::string_view text)
{
    const int size = std::abs(state_.font.size);
    const int perChar = charWidthAt10_ * size / 10 + (state_.font.bold ? 1 : 0);
    return static_cast<int>(text.size()) * perChar;
}

int RecordingCanvas::TextHeight(std::string_view)
{
    return textHeightAt10_ * std::abs(state_.font.size) / 10;
}

void RecordingCanvas::LineTo(int x, int y)
{
    CanvasCall& c = Add(CanvasCall::Kind::Line);
    c.points = {state_.penPosition, {x, y}};
    state_.penPosition = {x, y};
}

void RecordingCanvas::Rectangle(const Rect& r)
{
    Add(CanvasCall::Kind::Rectangle).rect = r;
}

void RecordingCanvas::FillRect(const Rect& r)
{
    Add(CanvasCall::Kind::FillRect).rect = r;
}

void RecordingCanvas::RoundRect(const Rect& r, int ew, int eh)
{
    CanvasCall& c = Add(CanvasCall::Kind::RoundRect);
    c.rect = r;
    c.points = {{ew, eh}};
}

void RecordingCanvas::Ellipse(const Rect& r)
{
    Add(CanvasCall::Kind::Ellipse).rect = r;
}

void RecordingCanvas::Polygon(const std::vector<Point>& points)
{
    Add(CanvasCall::Kind::Polygon).points = points;
}

void RecordingCanvas::Polyline(const std::vector<Point>& points)
{
    Add(CanvasCall::Kind::Polyline).points = points;
}

void RecordingCanvas::StrokePath(const CanvasPath& path)
{
    Add(CanvasCall::Kind::StrokePath).path = path;
}

void RecordingCanvas::FillPath(const CanvasPath& path, Colour colour)
{
    CanvasCall& c = Add(CanvasCall::Kind::FillPath);
    c.path = path;
    c.colour = colour;
}

void RecordingCanvas::TextOut(int x, int y, std::string_view text)
{
    CanvasCall& c = Add(CanvasCall::Kind::TextOut);
    c.points = {{x, y}};
    c.text = std::string(text);
}

void RecordingCanvas::TextRect(const Rect& r, int x, int y, std::string_view text)
{
    CanvasCall& c = Add(CanvasCall::Kind::TextRect);
    c.rect = r;
    c.points = {{x, y}};
    c.text = std::string(text);
}

void RecordingCanvas::DrawImage(const Rect& target, const QImage& image, const Rect& source)
{
    CanvasCall& c = Add(CanvasCall::Kind::DrawImage);
    c.rect = target;
    c.source = source;
    c.imageSize = image.size();
}
