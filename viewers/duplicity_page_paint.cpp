// The duplicity page's painting: the marks, the cells, the list and the
// summary.

#include "viewers/duplicity_page.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/pages/vector_icons.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "viewers/duplicity_page_parts.h"
#include "viewers/medication_list.h"

using namespace duplicity_parts;

// --- Painting -------------------------------------------------------------------

void TDuplicity::DrawMark(Canvas& c, const Rect& box, int level, int fontSize)
{
    const int h = std::min(box.Height(), box.Width());
    if (level == 0) {
        c.SetPen(ProgramColourNumber(1), 2);
        c.MoveTo(box.left, box.top + h / 2);
        c.LineTo(box.left + h / 3, box.top + h);
        c.LineTo(box.left + h, box.top);
        return;
    }
    const Colour colour = LevelColour(level);
    const Rect circle{box.left, box.top, box.left + h, box.top + h};
    c.SetAntialias(true);
    c.SetBrush(colour, BrushStyle::Solid);
    c.SetPen(LightenColour(LightenColour(colour)), 2);
    c.Ellipse(circle);
    c.SetPen(colour, 1);
    c.Ellipse(circle);
    c.SetAntialias(false);
    const std::string symbol = SymbolOf(level);
    const int size = c.Font().size;
    c.SetFontSize(fontSize);
    c.SetBold(true);
    c.SetFontColour(kWhite);
    c.SetBrushStyle(BrushStyle::Clear);
    const int tw = c.TextWidth(symbol), th = c.TextHeight(symbol);
    c.TextOut(circle.left + (h - tw) / 2, circle.top + (h - th) / 2, symbol);
    c.SetBold(false);
    c.SetFontSize(size);
}

void TDuplicity::DrawDuplicityCell(Canvas& c, const Rect& cell, int row, int column)
{
    const bool extra = row >= count_;
    const LekRec* lek = extra ? nullptr : &leks_[static_cast<size_t>(row)];
    const bool unresolved = lek != nullptr && lek->code.empty();
    c.SetBrushStyle(BrushStyle::Clear);
    switch (column) {
    case 0: {
        if (extra)
            return;
        const std::string n = std::to_string(row + 1) + ".";
        c.SetFontColour(ProgramColourNumber(1));
        c.TextOut(cell.right - c.TextWidth(n) - 2, cell.top, n);
        return;
    }
    case 1:
    case 2: {
        c.SetPen(ProgramColourNumber(1), 1);
        c.MoveTo(cell.left, cell.bottom);
        c.LineTo(cell.right, cell.bottom);
        std::string text;
        Colour colour = ProgramColourNumber(2);
        if (extra) {
            if (column != 1)
                return;
            text = "pridat lek";
            colour = ProgramColourNumber(1);
        } else if (column == 1) {
            text = unresolved ? std::string("nenalezen") : KamToWin(TrimRightBlanks(lek->name));
        } else if (!unresolved) {
            const std::string a(TrimRightBlanks(lek->text24)), b(TrimRightBlanks(lek->text27));
            text = KamToWin(a.empty() ? b : b.empty() ? a : a + " " + b);
        }
        c.SetFontColour(colour);
        c.TextRect(cell, cell.left + 2, cell.top, text);
        return;
    }
    case 3:
        if (extra || unresolved)
            return;
        DrawMark(c, {cell.left + 2, cell.top, cell.right - 2, cell.bottom}, lek->level, c.Font().size);
        return;
    default: return;
    }
}

void TDuplicity::PaintChildren(Canvas& on, uint16_t parent, int scroll)
{
    // The children are drawn shifted by the scroll offset; with the parent's
    // offset at 0 meanwhile, a button still finds the mouse over itself.
    TPrvek& holder = Element(parent);
    const Point offset = holder.offsets[0];
    holder.offsets[0] = {0, 0};
    for (uint16_t i = 0; i < count(); ++i) {
        TPrvek& e = Element(i);
        if (e.layer != 1 || e.parent != parent || !e.Visible())
            continue;
        const Rect saved = e.rect;
        e.rect = saved.Translated(0, -scroll);
        if (e.rect.bottom >= 0 && e.rect.top <= Element(parent).rect.Height())
            e.Paint(on);
        e.rect = saved;
    }
    holder.offsets[0] = offset;
}

void TDuplicity::PaintPage(uint16_t canvasIndex)
{
    TPlatno& page = static_cast<TPlatno&>(Element(canvasIndex));
    ImageCanvas& bmp = page.Bitmap();
    const int scroll = page.offsets[0].y;
    bmp.SetFont(state.pageFont);
    bmp.SetBrush(kWhite, BrushStyle::Solid);
    bmp.FillRect({0, 0, bmp.Width(), bmp.Height()});
    PaintChildren(bmp, canvasIndex, scroll);
    if (canvasIndex == kSummaryCanvas)
        PaintSummary(bmp, scroll);
    bmp.EndPaint();
}

void TDuplicity::PaintSummary(Canvas& c, int scroll)
{
    const int u = Unit();
    const int fontSize = state.pageFont.size;
    int clean = 0;
    for (int i = 0; i < count_; ++i)
        clean += leks_[static_cast<size_t>(i)].level == 0 ? 1 : 0;
    int perClass[3] = {0, 0, 0};
    for (const DupRec& d : dups_)
        if (const int k = ClassOf(d.level); k >= 0)
            ++perClass[k];

    // The finding counts on the banner, each at its class's place.
    const Rect banner = Element(kBanner).rect.Translated(0, -scroll);
    c.SetBrushStyle(BrushStyle::Clear);
    c.SetBold(true);
    c.SetFontSize(fontSize * 8 / 5);
    c.SetFontColour(kWhite);
    // The picture is square; its discs stand at x 42, 128 and 214 of 255.
    const int size = std::min(banner.Width(), banner.Height());
    for (int k = 0; k < 3; ++k) {
        if (perClass[k] == 0)
            continue;
        const std::string n = std::to_string(perClass[k]);
        const int cx = banner.left + size * (42 + 86 * k) / 255;
        const int cy = banner.top + size * 128 / 255;
        c.TextOut(cx - c.TextWidth(n) / 2, cy - c.TextHeight(n) / 2, n);
    }
    c.SetFontSize(fontSize);

    int y = summaryTextTop_ - scroll;
    if (clean == count_) {
        c.SetFontColour(ProgramColourNumber(1));
        c.TextOut(u, y, KamToWin(ProgramText("Dupl", "Sum0")));
        c.SetBold(false);
        return;
    }
    c.SetFontColour(kBlack);
    c.TextOut(u, y, KamToWin(ProgramText("Dupl", "SumT")));
    c.SetBold(false);
    const bool narrow = Element(kSummaryCanvas).rect.Width() * 4 < 183 * u;
    const char* keys[3] = {"Sum7", "Sum5", "Sum3"};
    const int colours[3] = {6, 4, 3};
    for (int k = 0; k < 3; ++k) {
        if (perClass[k] == 0)
            continue;
        y += u;
        std::string line = std::to_string(perClass[k]) + KamToWin(ProgramText("Dupl", keys[k]));
        if (narrow && line.find(',') != std::string::npos)
            line.resize(line.find(','));
        c.SetFontColour(ProgramColourNumber(colours[k]));
        c.TextOut(2 * u, y, line);
    }

    for (size_t i = 0; i < dups_.size(); ++i) {
        const DupRec& d = dups_[i];
        const int top = findingTop_[i] - scroll;
        const int bottom = top + (d.textLines + d.labelLines + 1) * u;
        if (bottom < 0 || top > Element(kSummaryCanvas).rect.Height())
            continue;
        DrawMark(c, {u + u / 2, top, u + u / 2 + 3 * u, top + 3 * u}, d.level, fontSize * 2);
        c.SetBold(true);
        DrawMarkedText(c, d.text, d.textMarks, 6 * u, top, u, kBlack, kTextHighlight);
        c.SetBold(false);
        DrawMarkedText(c, d.label, d.labelMarks, 6 * u, top + d.textLines * u + u / 3, u, kLabelColour,
                       kBlack);
    }
}

void TDuplicity::Paint()
{
    if (canvas == nullptr)
        return;
    Canvas& c = *canvas;
    c.SetBrush(kWhite, BrushStyle::Solid);
    c.FillRect({0, 0, width, height});
    const bool summary = SummaryShown();
    const uint16_t shown = summary ? kSummaryCanvas : kListCanvas;
    PaintPage(shown);
    TPlatno& page = static_cast<TPlatno&>(Element(shown));
    const QImage& image = page.Bitmap().Image();
    if (!image.isNull())
        c.DrawImage(page.rect, image, {0, 0, image.width(), image.height()});
    TPosuv& bar = static_cast<TPosuv&>(Element(kBar));
    bar.range = ContentHeight();
    bar.pageSize = page.rect.Height();
    bar.position = ScrollY();
    bar.Paint(c);
}
