// Benchmarks of the drawn pages: a full repaint of the demonstration page at
// 1920 x 1080, Tick over 250 elements, a four-part picture at 64 pixels and
// JPEG decoding of a 12-megapixel photo.
//
// Build with the `benchmarks` target; the program's text table is read from
// program/qevw.ces beside the tools folder (it holds the icons).

#include "frame/pages/page_host.h"
#include "frame/pages/vector_icons.h"
#include "page_demo_page.h"
#include "platform/gui/picture.h"
#include "platform/gui/recording_canvas.h"
#include "writers/icon_source.h"
#include "writers/jpeg_writer.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QRandomGenerator>

#include <benchmark/benchmark.h>

#include "bench_support.h"

#include <map>
#include <memory>

namespace {

bool TextsLoaded(std::string& error)
{
    static std::string lastError;
    static const bool loaded = [] {
        const std::string table =
            QDir(QCoreApplication::applicationDirPath()).filePath("../program/qevw.ces").toStdString();
        return demo::LoadDemoTexts(table, lastError);
    }();
    error = lastError;
    return loaded;
}

void BM_FullRepaintOfTheDemoPage1920x1080(benchmark::State& st)
{
    std::string error;
    if (!TextsLoaded(error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    const QImage photo = demo::MakePhoto(640, 420, error);
    PageHost host(CanvasFont{"DejaVu Sans", 10});
    host.Resize(1920, 1080);
    auto page = std::make_unique<demo::DemoPage>(host.State(), host.BackBuffer(), 1920, 1080, photo);
    TPraded* p = page.get();
    host.SetPage(std::move(page));
    host.MouseMove({300, 40}); // a hovered button
    host.PaintNow();           // draws the canvas's content once
    for (auto _ : st) {
        p->repaint = true;
        host.PaintNow();
        benchmark::DoNotOptimize(host.BackBuffer().Image().constBits());
    }
    st.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullRepaintOfTheDemoPage1920x1080)->Unit(benchmark::kMillisecond);

class ManyElements : public TPraded {
public:
    ManyElements(PageState& s, Canvas& c, std::vector<SharedText>& texts) : TPraded(s, c, 1920, 1080)
    {
        for (int i = 0; i < 250; ++i) {
            TPrvek& e = (i % 5 == 0) ? static_cast<TPrvek&>(Create<TCudlik>()) : Create<TPrvek>();
            const int col = i % 25, row = i / 25;
            e.rect = {col * 76, row * 100, col * 76 + 70, row * 100 + 90};
            if (i % 5 == 1) {
                e.kind = TPrvek::KindLiveText;
                e.sharedData = &texts[static_cast<size_t>(i)];
                e.flags |= TPrvek::FlagPolled;
            }
        }
        Build();
    }
};

void BM_TickOver250Elements(benchmark::State& st)
{
    PageState state;
    RecordingCanvas canvas;
    std::vector<SharedText> texts(250);
    for (auto& t : texts)
        t.Set("Stav: beze zm\x8Cny");
    ManyElements page(state, canvas, texts);
    uint32_t n = 0;
    for (auto _ : st) {
        // The mouse keeps moving over the last elements: a full hover check
        // and a full poll every time.
        state.tick = 2 * n + 1;
        state.moveTick = state.tick;
        state.mousePoint = {static_cast<int32_t>(1800 + (n % 7)), 950};
        page.repaint = false;
        page.Tick();
        benchmark::DoNotOptimize(page.hovered);
        ++n;
    }
    st.counters["elements"] = 250;
}
BENCHMARK(BM_TickOver250Elements);

void BM_DrawPictureOfFourPartsAt64(benchmark::State& st)
{
    static const std::map<std::string, std::string> sources = {
        {"Ring",
         "M 128 8 C 194 8 248 62 248 128 C 248 194 194 248 128 248 C 62 248 8 194 8 128 C 8 62 62 8 128 8"},
        {"Cross", "M 104 32 L 152 32 L 152 104 L 224 104 L 224 152 L 152 152 L 152 224 L 104 224 L 104 152 "
                  "L 32 152 L 32 104 L 104 104 L 104 32"},
        {"Moon", "M 156 24 C 88 36 56 92 64 144 C 72 204 136 236 196 212 C 132 200 108 160 112 120 "
                 "C 116 80 136 48 156 24"},
    };
    std::map<std::string, std::string> programs;
    for (const auto& [key, text] : sources) {
        iconsrc::Error err;
        if (!iconsrc::CompileIconProgram(text, key, programs[key], err)) {
            st.SkipWithError(err.Message().c_str());
            return;
        }
    }
    auto lookup = [&](std::string_view, std::string_view key, std::string& out) {
        auto it = programs.find(std::string(key));
        if (it == programs.end())
            return false;
        out = it->second;
        return true;
    };
    const std::string spec = "FFE8C8m Ring|3030D8m6Cross|40B8F0m5Moon|C08040- Ring";
    ImageCanvas canvas(64, 64, 0xFFFFFF);
    for (auto _ : st) {
        DrawPicture(canvas, spec, {0, 0, 64, 64}, 64, lookup);
        canvas.EndPaint();
    }
}
BENCHMARK(BM_DrawPictureOfFourPartsAt64)->Unit(benchmark::kMicrosecond);

// A 4000 x 3000 "photo": smooth shapes with sensor-like noise, so the
// entropy data is as dense as a camera's.
const std::string& TwelveMegapixelJpeg()
{
    static const std::string bytes = [] {
        QImage img(4000, 3000, QImage::Format_RGB32);
        QPainter p(&img);
        QLinearGradient sky(0, 0, 0, 3000);
        sky.setColorAt(0, QColor(60, 120, 200));
        sky.setColorAt(1, QColor(200, 220, 240));
        p.fillRect(img.rect(), sky);
        p.setBrush(QColor(60, 130, 50));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(1500, 3200), 2600, 1400);
        p.end();
        QRandomGenerator rng(12345);
        for (int y = 0; y < img.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const int n = static_cast<int>(rng.bounded(24u)) - 12;
                const QRgb c = line[x];
                line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                               std::clamp(qBlue(c) + n, 0, 255));
            }
        }
        JpegWriteOptions o;
        o.quality = 90;
        return WriteJpeg(img, o);
    }();
    return bytes;
}

void BM_DecodeJpeg12Megapixels(benchmark::State& st)
{
    const std::string& bytes = TwelveMegapixelJpeg();
    QImage img;
    std::string error;
    for (auto _ : st) {
        if (!DecodeJpeg(bytes, img, error, "photo")) {
            st.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(img.constBits());
    }
    st.counters["MP/s"] =
        benchmark::Counter(12.0 * static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
    st.counters["MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_DecodeJpeg12Megapixels)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
