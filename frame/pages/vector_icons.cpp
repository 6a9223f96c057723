#include "frame/pages/vector_icons.h"

#include "datastore/text_table.h"

#include <algorithm>
#include <cmath>

namespace {

// Saves the pen, brush and antialiasing around an icon so the caller's
// drawing state survives it.
class IconStateGuard {
public:
    explicit IconStateGuard(Canvas& c)
        : canvas_(c), pen_(c.State().pen), brush_(c.State().brush), antialias_(c.State().antialias)
    {
        canvas_.SetAntialias(true);
    }
    ~IconStateGuard()
    {
        canvas_.SetPen(pen_.colour, pen_.width);
        canvas_.SetBrush(brush_.colour, brush_.style);
        canvas_.SetAntialias(antialias_);
    }

private:
    Canvas& canvas_;
    CanvasPen pen_;
    CanvasBrush brush_;
    bool antialias_;
};

int HexDigitOfPicture(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'Q' && c <= 'V')
        return c - 'Q' + 10;
    return -1;
}

} // namespace

std::vector<PathStep> ParsePathProgram(std::string_view program)
{
    std::vector<PathStep> steps;
    const size_t n = program.size() / 3;
    steps.reserve(n);
    auto point = [&](size_t i) {
        return GridPoint{static_cast<unsigned char>(program[3 * i + 1]),
                         static_cast<unsigned char>(program[3 * i + 2])};
    };
    for (size_t i = 0; i < n; ++i) {
        const int op = static_cast<unsigned char>(program[3 * i]) & 0x7F;
        if (op == 0) {
            steps.push_back({PathStep::Op::Move, {point(i), {}, {}}});
        } else if (op == 1 || op == 3) {
            steps.push_back({PathStep::Op::Line, {point(i), {}, {}}});
        } else {
            if (i + 2 >= n)
                break; // a curve without its two further triples ends the program
            steps.push_back({PathStep::Op::Curve, {point(i), point(i + 1), point(i + 2)}});
            i += 2;
        }
    }
    return steps;
}

int RoundHalfEven(double v)
{
    const double f = std::floor(v);
    const double diff = v - f;
    if (diff < 0.5)
        return static_cast<int>(f);
    if (diff > 0.5)
        return static_cast<int>(f) + 1;
    const int fi = static_cast<int>(f);
    return (fi % 2 == 0) ? fi : fi + 1;
}

Point IconPoint(GridPoint g, Point origin, double scale)
{
    return {RoundHalfEven(g.x * scale) + origin.x, RoundHalfEven(g.y * scale) + origin.y};
}

CanvasPath BuildIconPath(const std::vector<PathStep>& steps, Point origin, double scale)
{
    CanvasPath path;
    if (steps.empty())
        return path;
    if (steps.front().op != PathStep::Op::Move)
        path.MoveTo(IconPoint({0, 0}, origin, scale));
    for (const PathStep& s : steps) {
        switch (s.op) {
        case PathStep::Op::Move: path.MoveTo(IconPoint(s.p[0], origin, scale)); break;
        case PathStep::Op::Line: path.LineTo(IconPoint(s.p[0], origin, scale)); break;
        case PathStep::Op::Curve:
            path.CubicTo(IconPoint(s.p[0], origin, scale), IconPoint(s.p[1], origin, scale),
                         IconPoint(s.p[2], origin, scale));
            break;
        }
    }
    return path;
}

CanvasPath ClosedFiguresPath(const std::vector<PathStep>& steps, Point origin, double scale)
{
    CanvasPath out;
    GridPoint start{0, 0};
    GridPoint current{0, 0};
    std::vector<PathStep> figure;
    int segments = 0;
    auto close = [&]() {
        if (segments >= 2 && current == start) {
            out.MoveTo(IconPoint(start, origin, scale));
            for (const PathStep& s : figure) {
                if (s.op == PathStep::Op::Line)
                    out.LineTo(IconPoint(s.p[0], origin, scale));
                else
                    out.CubicTo(IconPoint(s.p[0], origin, scale), IconPoint(s.p[1], origin, scale),
                                IconPoint(s.p[2], origin, scale));
            }
        }
        figure.clear();
        segments = 0;
    };
    for (const PathStep& s : steps) {
        switch (s.op) {
        case PathStep::Op::Move:
            close();
            start = current = s.p[0];
            break;
        case PathStep::Op::Line:
            figure.push_back(s);
            ++segments;
            current = s.p[0];
            break;
        case PathStep::Op::Curve:
            figure.push_back(s);
            ++segments;
            current = s.p[2];
            break;
        }
    }
    close();
    return out;
}

void DrawPath(Canvas& canvas, std::string_view program, Point origin, double scale)
{
    const CanvasPath path = BuildIconPath(ParsePathProgram(program), origin, scale);
    if (!path.Empty())
        canvas.StrokePath(path);
}

void DrawFilledPath(Canvas& canvas, std::string_view program, Point origin, double scale)
{
    const std::vector<PathStep> steps = ParsePathProgram(program);
    const CanvasPath closed = ClosedFiguresPath(steps, origin, scale);
    if (!closed.Empty())
        canvas.FillPath(closed, canvas.State().pen.colour);
    const CanvasPath path = BuildIconPath(steps, origin, scale);
    if (!path.Empty())
        canvas.StrokePath(path);
}

ShapeFit FitShape(const Rect& rect)
{
    ShapeFit fit;
    if (rect.IsEmpty())
        return fit;
    const int64_t b64 = std::min<int64_t>(rect.Height(), rect.Width());
    const int b = static_cast<int>(std::min<int64_t>(b64, 0xFFFF));
    fit.drawable = true;
    fit.side = b;
    fit.margin = b >> 3;
    fit.origin = {rect.left + fit.margin, rect.top + fit.margin};
    fit.scale = (b - 2 * fit.margin) / 256.0;
    return fit;
}

void DrawShape(Canvas& canvas, const Rect& rect, std::string_view program, bool grey, Colour colour)
{
    const ShapeFit fit = FitShape(rect);
    if (!fit.drawable || program.empty())
        return;
    IconStateGuard guard(canvas);
    if (grey) {
        canvas.SetPen(SysColour::GrayText, 2);
        DrawPath(canvas, program, fit.origin, fit.scale);
        return;
    }
    canvas.SetPen(Lighter(colour), 3);
    DrawPath(canvas, program, fit.origin, fit.scale);
    canvas.SetPen(colour, 2);
    DrawPath(canvas, program, fit.origin, fit.scale);
}

PicturePart ParsePicturePart(std::string_view part)
{
    PicturePart p;
    if (part.size() < 9)
        return p;
    Colour value = 0;
    for (size_t i = 0; i < 6; ++i) {
        const int d = HexDigitOfPicture(part[i]);
        if (d < 0)
            break;
        value = (value << 4) | static_cast<Colour>(d);
    }
    p.colour = value & 0x00FFFFFFu;
    p.filled = part[6] == 'm';
    p.scaleDigit = part[7] == ' ' ? 10 : (static_cast<unsigned char>(part[7]) & 0x0F);
    const std::string_view ref = part.substr(8);
    const size_t dot = ref.find('.');
    if (dot == std::string_view::npos) {
        p.section = "Pict";
        p.key = std::string(ref);
    } else {
        p.section = std::string(ref.substr(0, dot));
        p.key = std::string(ref.substr(dot + 1));
    }
    p.valid = true;
    return p;
}

std::vector<PicturePart> ParsePictureSpec(std::string_view spec)
{
    std::vector<PicturePart> parts;
    size_t start = 0;
    while (start <= spec.size()) {
        size_t end = spec.find('|', start);
        if (end == std::string_view::npos)
            end = spec.size();
        parts.push_back(ParsePicturePart(spec.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

int PicturePenWidth(int size)
{
    if (size < 60)
        return 2;
    return size / 60 + 1;
}

PartPlacement PlacePicturePart(Point topLeft, int size, int scaleDigit)
{
    PartPlacement p;
    p.scale = size / 256.0 * scaleDigit / 10.0;
    p.origin = topLeft;
    if (scaleDigit != 10) {
        const int shift = (10 - scaleDigit) * size / 20;
        p.origin.x += shift;
        p.origin.y += shift;
    }
    return p;
}

bool LookupProgramInUiTexts(std::string_view section, std::string_view key, std::string& program)
{
    std::string value;
    if (GetTextEntry(UiTexts, section, key, value) == 0)
        return false;
    if (value.empty() || value.rfind("!! ", 0) == 0)
        return false;
    program = std::move(value);
    return true;
}

void DrawPicture(Canvas& canvas, std::string_view spec, const Rect& rect, int size,
                 const ProgramLookup& lookup)
{
    if (rect.IsEmpty() || size <= 0 || spec.empty() || !lookup)
        return;
    size = std::min(size, 0xFFFF);
    IconStateGuard guard(canvas);
    const int w = PicturePenWidth(size);
    for (const PicturePart& part : ParsePictureSpec(spec)) {
        if (!part.valid || part.key.empty())
            continue;
        std::string program;
        if (!lookup(part.section, part.key, program) || program.empty())
            continue;
        const PartPlacement at = PlacePicturePart({rect.left, rect.top}, size, part.scaleDigit);
        const Colour c = part.colour;
        const Colour light = Lighter(c);
        const Colour lighter = Lighter(light);
        if (part.filled) {
            canvas.SetPen(lighter, 3);
            DrawPath(canvas, program, at.origin, at.scale);
            canvas.SetPen(light, 2);
            DrawPath(canvas, program, at.origin, at.scale);
            canvas.SetPen(c, 1);
            DrawFilledPath(canvas, program, at.origin, at.scale);
        } else {
            canvas.SetPen(lighter, w + 2);
            DrawPath(canvas, program, at.origin, at.scale);
            canvas.SetPen(light, w + 1);
            DrawPath(canvas, program, at.origin, at.scale);
            canvas.SetPen(c, w);
            DrawPath(canvas, program, at.origin, at.scale);
        }
    }
}

Colour Lighter(Colour colour)
{
    const Colour rgb = ResolveColour(colour);
    Colour out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const Colour c = (rgb >> shift) & 0xFF;
        out |= ((3 * c + 510) / 5) << shift;
    }
    return out;
}
