#pragma once
// The demonstration page of the page framework, shared by tools/page_demo.cpp
// (screenshots and an interactive window) and tools/bench/bench_pages.cpp.
//
// It shows a logo, three push buttons (a hover-sensitive shape with its
// caption on the right, a picture with its caption under it, a disabled one),
// an input line with a placeholder and a blinking caret, a centred text, a
// live text that a worker thread rewrites, a 3 x 4 cell grid, and an
// off-screen canvas away from the origin that holds a JPEG photo and a child
// button, scrolled by a scroll bar.

#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "frame/pages/page.h"
#include "frame/pages/vector_icons.h"
#include "platform/fs.h"
#include "platform/gui/picture.h"
#include "writers/jpeg_writer.h"
#include "writers/text_table_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace demo {

// Display text (UTF-8 here) to the data code page elements hold.
inline std::string Kam(const char* utf8)
{
    return QStringToKam(QString::fromUtf8(utf8));
}

// The program's UI table with the demonstration's own texts added: the built
// table is printed as source, a "[Demo]" section is appended and the whole is
// compiled again, so the icons come from the built table byte for byte.
inline bool LoadDemoTexts(const std::string& tablePath, std::string& error)
{
    std::string bytes;
    if (int r = ReadWholeFile(tablePath, bytes)) {
        error = tablePath + ": cannot be read (I/O result " + std::to_string(r) + ")";
        return false;
    }
    std::string source;
    if (!textsrc::DumpTable(bytes, source, error)) {
        error = tablePath + ": " + error;
        return false;
    }
    source += "\n[Demo]\n"
              "Hledat=Hledaný přípravek\n"
              "HObs=Obsah příručky: seznam kapitol\n"
              "HPill=Tobolka: obrázek z několika barevných částí, nakreslený z vektorových programů "
              "tabulky textů; nápověda se zalamuje nejvýše na 1400 bodů šířky.\n"
              "HHelp=Nápověda (nedostupná)\n"
              "HCanvas=Plátno s fotografií; kolečko myši jím posouvá\n";
    std::string table;
    textsrc::Error err;
    if (!textsrc::CompileSource(source, tablePath, textsrc::kDefaultStamp, table, err)) {
        error = err.Message();
        return false;
    }
    TextTablePtr loaded;
    if (LoadTextTableFromBytes(loaded, table) < TextTableResult::FirstSuccess) {
        error = tablePath + ": the extended table cannot be loaded";
        return false;
    }
    UiTexts.Set(loaded);
    return true;
}

// A landscape drawn in memory and passed through the JPEG encoder and the
// program's decoder, so the canvas shows a real decoded JPEG.
inline QImage MakePhoto(int width, int height, std::string& error)
{
    QImage img(width, height, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(70, 130, 210));
    sky.setColorAt(0.6, QColor(190, 220, 245));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 214, 90));
    p.drawEllipse(QPointF(width * 0.75, height * 0.25), height * 0.1, height * 0.1);
    QPainterPath hills;
    hills.moveTo(0, height * 0.7);
    hills.cubicTo(width * 0.3, height * 0.45, width * 0.5, height * 0.85, width, height * 0.6);
    hills.lineTo(width, height);
    hills.lineTo(0, height);
    p.setBrush(QColor(70, 140, 60));
    p.drawPath(hills);
    p.end();
    const std::string jpeg = WriteJpeg(img, {});
    const QString path = QDir::temp().filePath(
        QStringLiteral("qevw_page_demo_%1.jpg").arg(QCoreApplication::applicationPid()));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) ||
            f.write(jpeg.data(), qint64(jpeg.size())) != qint64(jpeg.size())) {
            error = "the demonstration photo cannot be written to " + path.toStdString();
            return {};
        }
    }
    QImage decoded;
    const bool ok = LoadPicture(path.toStdString(), "jpg", decoded, error);
    QFile::remove(path);
    return ok ? decoded : QImage();
}

class DemoPage : public TPraded {
public:
    enum Index : uint16_t {
        kLogo,
        kShapeButton,
        kPictureButton,
        kDisabledButton,
        kInput,
        kCentred,
        kLive,
        kGrid,
        kCanvas,
        kBar,
        kCanvasButton,
        kCount
    };

    DemoPage(PageState& s, Canvas& c, int w, int h, QImage photo)
        : TPraded(s, c, w, h), photo_(std::move(photo))
    {
        captionObs_ = Kam("Obsah");
        captionPill_ = Kam("Tobolka");
        captionHelp_ = Kam("Nápověda");
        captionCanvas_ = Kam("Tlačítko v plátně");
        centred_ = Kam("Vycentrovaný text: Příliš žluťoučký kůň úpěl ďábelské ódy");
        status_.Set(Kam("Stav: připraveno"));

        TLogo& logo = Create<TLogo>();
        logo.SetShapeKey("Pict.Demo");

        TCudlik& a = Create<TCudlik>();
        a.SetShapeKey("Pict.Obs");
        a.SetHintKey("Demo.HObs");
        a.data = &captionObs_;
        a.colour = 0x994400;

        TCudlik& b = Create<TCudlik>();
        b.SetShapeKey("Pict.Pill");
        b.SetHintKey("Demo.HPill");
        b.style = TPrvek::StylePicture | TPrvek::StyleCentred;
        b.data = &captionPill_;

        TCudlik& d = Create<TCudlik>();
        d.SetShapeKey("Pict.Help");
        d.SetHintKey("Demo.HHelp");
        d.data = &captionHelp_;
        d.SetEnabled(false);

        TVstup& in = Create<TVstup>();
        in.SetCaptionKey("Demo.Hledat");
        in.data = &input_;
        in.flags |= TPrvek::FlagPolled | TPrvek::FlagPage4 | TPrvek::FlagPage5;

        TPrvek& centred = Create<TPrvek>();
        centred.kind = TPrvek::KindText;
        centred.style = TPrvek::StyleCentred;
        centred.data = &centred_;

        TPrvek& live = Create<TPrvek>();
        live.kind = TPrvek::KindLiveText;
        live.sharedData = &status_;
        live.flags |= TPrvek::FlagPolled;

        TTabule& grid = Create<TTabule>();
        grid.rows = 3;
        grid.columns = 4;
        grid.cellPainter = [this](Canvas& cv, const Rect& cell, int row, int, int col) {
            PaintCell(cv, cell, row, col);
        };

        TPlatno& canvas = Create<TPlatno>();
        canvas.SetHintKey("Demo.HCanvas");

        Create<TPosuv>();

        TCudlik& inner = Create<TCudlik>();
        inner.layer = 1;
        inner.parent = kCanvas;
        inner.SetShapeKey("Pict.Schr");
        inner.data = &captionCanvas_;
        inner.colour = 0x226622;

        focus = kInput;
    }

    ~DemoPage() override { StopWorker(); }

    SharedText& Status() { return status_; }
    std::string& Input() { return input_; }
    int Clicks() const { return clicks_; }

    // The worker that rewrites the live text: the first three characters stay.
    void StartWorker(int steps, std::chrono::milliseconds pause)
    {
        StopWorker();
        stop_ = false;
        worker_ = std::thread([this, steps, pause] {
            for (int i = 1; i <= steps && !stop_; ++i) {
                status_.Set(Kam("Stav: načteno ") + std::to_string(i * 100 / steps) + " %");
                std::this_thread::sleep_for(pause);
            }
        });
    }
    // Lets the worker finish its steps.
    void JoinWorker()
    {
        if (worker_.joinable())
            worker_.join();
    }
    void StopWorker()
    {
        stop_ = true;
        if (worker_.joinable())
            worker_.join();
    }

    void Layout() override
    {
        const int lh = std::max(state.lineHeight, 12);
        const int W = width;
        const int H = height;
        const int m = lh;
        Element(kLogo).rect = {m, m, m + 4 * lh, m + 4 * lh};
        const int x0 = m + 5 * lh;
        Element(kShapeButton).rect = {x0, m, x0 + 10 * lh, m + 2 * lh};
        Element(kDisabledButton).rect = {x0, m + 2 * lh + lh / 2, x0 + 10 * lh, m + 4 * lh + lh / 2};
        const int px = x0 + 11 * lh;
        Element(kPictureButton).rect = {px, m, px + 4 * lh, m + 5 * lh + 4};
        const int half = std::max(W / 2, 30 * lh);
        Element(kInput).rect = {m, m + 6 * lh, half - m, m + 8 * lh};
        Element(kCentred).rect = {m, m + 9 * lh, half - m, m + 10 * lh};
        Element(kLive).rect = {m, m + 11 * lh, half - m, m + 12 * lh};
        TTabule& grid = static_cast<TTabule&>(Element(kGrid));
        grid.rect = {m, m + 13 * lh, half - m, m + 18 * lh};
        const int gw = half - 2 * m;
        grid.widths[0] = static_cast<uint16_t>(2 * lh);
        grid.widths[1] = static_cast<uint16_t>(std::max(gw * 2 / 5, 1));
        grid.widths[2] = static_cast<uint16_t>(std::max(gw - 2 * lh - gw * 2 / 5 - 2 * lh - 3, 1));
        grid.widths[3] = static_cast<uint16_t>(2 * lh);

        // The canvas away from the origin, its scroll bar beside it.
        const int bar = lh + 4;
        TPlatno& cv = static_cast<TPlatno&>(Element(kCanvas));
        cv.rect = {half + m, m + 6 * lh, std::max(half + m + 10, W - m - bar),
                   std::max(m + 6 * lh + 10, H - m)};
        Element(kBar).rect = {cv.rect.right, cv.rect.top, cv.rect.right + bar, cv.rect.bottom};
        const int bw = cv.rect.Width();
        const int bh = std::max(cv.rect.Height() * 5 / 2, 20 * lh);
        if (cv.Bitmap().Width() != bw || cv.Bitmap().Height() != bh) {
            cv.Bitmap().Resize(bw, bh, 0xFFFFFF);
            bitmapDirty_ = true;
        }
        Element(kCanvasButton).rect = {lh, bh - 4 * lh, lh + 14 * lh, bh - 2 * lh};
        ClampScroll();
    }

    int32_t HandleEvent(int32_t code, uint8_t shift) override
    {
        TPrvek& in = Element(kInput);
        if (shift == PageShift::Typed && focus == kInput && in.Visible() && in.Enabled()) {
            const int32_t r = in.HandleEvent(code, shift);
            if (r != code)
                return r;
        }
        const int32_t hit = HitTest(state.mousePoint);
        switch (code) {
        case PageEvent::LeftClick:
            if (hit == kShapeButton || hit == kPictureButton || hit == kCanvasButton) {
                ++clicks_;
                status_.Set(Kam("Stav: stisknuto tlačítko ") + std::to_string(hit));
                return PageEvent::Repaint;
            }
            return code;
        case PageEvent::WheelUp:
        case PageEvent::WheelDown:
            if (hit == kCanvas || hit == kBar || hit == kCanvasButton) {
                Scroll(code == PageEvent::WheelDown ? 3 * state.lineHeight : -3 * state.lineHeight);
                return PageEvent::Repaint;
            }
            return code;
        case PageKey::PageDown:
        case PageKey::PageUp:
            if (shift == PageShift::Typed)
                return code;
            Scroll(code == PageKey::PageDown ? Element(kCanvas).rect.Height()
                                             : -Element(kCanvas).rect.Height());
            return PageEvent::Repaint;
        case PageEvent::HintRequest:
            if (hit >= 0) {
                const std::string hint = Element(hit).GetText(TPrvek::HintText);
                if (!hint.empty()) {
                    ShowHintAt(state.hintPoint, hint);
                    return PageEvent::Consumed;
                }
            }
            return code;
        default: return code;
        }
    }

    void Paint() override
    {
        Canvas& c = *canvas;
        c.SetBrush(0xF7F4F2);
        c.FillRect({0, 0, width, height});

        // The canvas's bitmap: its content is drawn when its size changes;
        // the child button is drawn in on every paint (it shows the hover).
        TPlatno& cv = static_cast<TPlatno&>(Element(kCanvas));
        ImageCanvas& bmp = cv.Bitmap();
        if (bitmapDirty_) {
            DrawCanvasContent(bmp, c.Font());
            bitmapDirty_ = false;
        }
        TPrvek& inner = Element(kCanvasButton);
        bmp.SetBrush(0xFFFFFF);
        bmp.FillRect(inner.rect);
        if (inner.Visible() && cv.Visible())
            inner.Paint(bmp);
        bmp.EndPaint();

        TPosuv& bar = static_cast<TPosuv&>(Element(kBar));
        bar.range = bmp.Height();
        bar.pageSize = cv.rect.Height();
        bar.position = cv.ScrollOffset().y;

        PaintElements(c, [](const TPrvek& e) { return e.layer == 0; });
    }

private:
    void DrawCanvasContent(ImageCanvas& bmp, const CanvasFont& font)
    {
        const int lh = state.lineHeight;
        bmp.SetFont(font);
        bmp.SetBrush(0xFFFFFF);
        bmp.FillRect({0, 0, bmp.Width(), bmp.Height()});
        if (!photo_.isNull()) {
            const int w = bmp.Width() - 2 * lh;
            const int h = w * photo_.height() / std::max(1, photo_.width());
            bmp.DrawImage({lh, lh, lh + w, lh + h}, photo_, {0, 0, photo_.width(), photo_.height()});
        }
        bmp.SetBrushStyle(BrushStyle::Clear);
        bmp.SetFontColour(0x404040);
        const std::string line = QStringToCp1250(QString::fromUtf8("Řádek plátna "));
        for (int i = 0; i < 6; ++i)
            bmp.TextOut(lh, bmp.Height() / 2 + i * lh * 3 / 2, line + std::to_string(i + 1));
    }

    void Scroll(int dy)
    {
        static_cast<TPlatno&>(Element(kCanvas)).ScrollOffset().y += dy;
        ClampScroll();
    }
    void ClampScroll()
    {
        TPlatno& cv = static_cast<TPlatno&>(Element(kCanvas));
        const int maxY = std::max(0, cv.Bitmap().Height() - cv.rect.Height());
        cv.ScrollOffset().y = std::clamp(cv.ScrollOffset().y, 0, maxY);
    }

    void PaintCell(Canvas& cv, const Rect& cell, int row, int col)
    {
        static const std::array<const char*, 3> names = {"Paralen 500", "Ibalgin 400", "Acylpyrin"};
        static const std::array<const char*, 3> texts = {"tbl. 24 x 500 mg", "tbl. flm. 30 x 400 mg",
                                                         "tbl. 10 x 500 mg"};
        static const std::array<Colour, 3> marks = {0x338800, 0x2695F2, 0x1A00E2};
        cv.SetBrushStyle(BrushStyle::Clear);
        cv.SetFontColour(col == 0 ? 0x808080 : 0x202020);
        std::string text;
        switch (col) {
        case 0: text = std::to_string(row + 1) + "."; break;
        case 1: text = names[static_cast<size_t>(row)]; break;
        case 2: text = texts[static_cast<size_t>(row)]; break;
        default: break;
        }
        if (col == 3) {
            const int d = cell.Height();
            cv.SetAntialias(true);
            cv.SetPen(Lighter(Lighter(marks[static_cast<size_t>(row)])), 2);
            cv.SetBrush(marks[static_cast<size_t>(row)]);
            cv.Ellipse({cell.left, cell.top, cell.left + d, cell.top + d});
            cv.SetAntialias(false);
            return;
        }
        const int x = col == 0 ? cell.right - cv.TextWidth(text) : cell.left;
        cv.TextRect(cell, x, cell.top, text);
        if (col == 1 || col == 2) {
            cv.SetPen(0xD0D0D0, 1);
            cv.MoveTo(cell.left, cell.bottom + 1);
            cv.LineTo(cell.right, cell.bottom + 1);
        }
    }

    QImage photo_;
    std::string captionObs_, captionPill_, captionHelp_, captionCanvas_, centred_, input_;
    SharedText status_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    int clicks_ = 0;
    bool bitmapDirty_ = true;
};

} // namespace demo
