// The help page's costs, each beside Qt's own rich-text layout measured in
// the same run: a QTextDocument with the same text (through CtrlTextToHtml)
// at the same width, painting the same page.
//   - layout and measure of the longest topic of the manual, and of a 1 MB
//     text (about 1000 paragraphs), at 1000 pixels;
//   - a repaint of a page of 1000 x 700 pixels, and one scroll step (a row
//     down and the repaint);
//   - GoToTopic to a painted frame of the help page;
//   - a data-file table placeholder ("##") over the largest table of the data
//     folder, up to its measured layout: the one help cost that grows with
//     the data.
// Counters: ours_ms and peer_ms (medians of the runs) and ratio = ours/peer.
//
//   cmake --build build --target bench_help
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_help

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextDocument>

#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/text_table.h"
#include "frame/pages/page.h"
#include "platform/cp1250.h"
#include "platform/gui/canvas.h"
#include "viewers/ctrl_html.h"
#include "viewers/ctrl_pager.h"
#include "viewers/help_files.h"
#include "viewers/help_page.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr int kWidth = 1000;
constexpr int kHeight = 700;

const std::string& ProgramFolder()
{
    static const std::string folder = WithTrailingSlash(QEVW_BENCH_DEFAULT_PROGRAM);
    return folder;
}

CanvasFont TextFont()
{
    CanvasFont f;
    f.size = 9;
    return f;
}

struct Manual {
    HelpFiles files;
    HelpContentSources sources;
    bool ok = false;
    Manual()
    {
        LoadTextTable(UiTexts, ProgramFolder() + "qevw.ces");
        LoadTextTable(DataTexts, bench::DataFolder() + "kalvo.ces");
        SetDataDir(bench::DataFolder());
        ok = OpenHelpFiles(files, ProgramFolder(), bench::DataFolder()).ok;
        sources.dataFolder = bench::DataFolder();
        sources.dataTexts = DataTexts.Get().get();
        sources.noTable = "-";
    }
    std::string Text(int entry)
    {
        std::string t;
        ReadHelpTopic(files, entry, sources, t);
        return t;
    }
    // The topic with the longest text.
    std::string Longest(std::string* name = nullptr)
    {
        std::string best;
        for (int e = 0; e < files.list.Count(); ++e) {
            std::string t = Text(e);
            if (CtrlTextUpToEnd(t).size() > CtrlTextUpToEnd(best).size()) {
                best = std::move(t);
                if (name)
                    *name = files.list.entries[static_cast<size_t>(e)].abbreviation;
            }
        }
        return best;
    }
};

Manual& TheManual()
{
    static Manual m;
    return m;
}

// About 1 MB of help text in about 1000 paragraphs: the manual's topics, each
// cut into paragraphs of their own, over and over.
std::string MegabyteText()
{
    Manual& m = TheManual();
    std::string words;
    for (int e = 2; e < m.files.list.Count(); ++e) {
        const std::string t = m.Text(e);
        CtrlTokenizer walk(t);
        CtrlItem item;
        while (walk.Next(item))
            if (item.IsText())
                words.append(t, static_cast<size_t>(item.offset), static_cast<size_t>(item.length))
                    .push_back(' ');
    }
    CtrlTextWriter w;
    size_t at = 0;
    int paragraph = 0;
    while (w.Size() < 1000000) {
        w.Code(14);
        if (paragraph % 7 == 0)
            w.Code(20, {1}).Text("Odstavec ").Code(20, {0});
        const size_t take = 1000;
        if (at + take > words.size())
            at = 0;
        w.Text(std::string_view(words).substr(at, take));
        at += take;
        ++paragraph;
    }
    return w.Take();
}

struct Peer {
    QTextDocument doc;
    Peer()
    {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setPointSize(9);
        doc.setDefaultFont(f);
        doc.setUndoRedoEnabled(false);
    }
    // Parses the page and lays it out at the width; its height.
    double Load(const std::string& ctrl)
    {
        HtmlConversionInput in;
        in.kind = 'K';
        // The document conversion shows text from the first section on: a
        // section code ahead of the help text opens it.
        const HtmlPage page = CtrlTextToHtml(CtrlCodeBytes(19, {1}) + ctrl, in);
        doc.setHtml(Cp1250ToQString(page.bytes));
        doc.setTextWidth(kWidth);
        return doc.documentLayout()->documentSize().height();
    }
    void Paint(QImage& image, double top)
    {
        QPainter p(&image);
        p.fillRect(image.rect(), Qt::white);
        p.translate(0, -top);
        doc.drawContents(&p, QRectF(0, top, kWidth, kHeight));
    }
};

// One pass of ours and one of the peer per iteration; medians as counters.
template <class Ours, class Theirs>
void Compare(benchmark::State& st, Ours ours, Theirs theirs)
{
    std::vector<double> a;
    std::vector<double> b;
    for (auto _ : st) {
        Clock::time_point t0 = Clock::now();
        ours();
        Clock::time_point t1 = Clock::now();
        theirs();
        Clock::time_point t2 = Clock::now();
        a.push_back(Ms(t0, t1));
        b.push_back(Ms(t1, t2));
    }
    const double oursMs = bench::Percentile(a, 0.5);
    const double peerMs = bench::Percentile(b, 0.5);
    st.counters["ours_ms"] = oursMs;
    st.counters["peer_ms"] = peerMs;
    st.counters["ratio"] = peerMs > 0 ? oursMs / peerMs : 0;
    bench::ReportSpread(st, "ours_", a);
}

// A new view each time: nothing measured before (a text shown the first time).
void LayoutAndMeasure(benchmark::State& st, const std::string& text)
{
    ImageCanvas canvas(kWidth, kHeight);
    auto view = std::make_unique<CtrlTextView>();
    Peer peer;
    Compare(
        st,
        [&] {
            view = std::make_unique<CtrlTextView>();
            view->canvas = &canvas;
            view->font = TextFont();
            view->text = text;
            LayoutCtrlText(*view);
            benchmark::DoNotOptimize(MeasureCtrlText(*view, kWidth));
        },
        [&] { benchmark::DoNotOptimize(peer.Load(text)); });
    st.counters["lines"] = view->lineCount;
    st.counters["bytes"] = static_cast<double>(text.size());
    st.counters["ours_height"] = static_cast<double>(view->totalHeight);
    st.counters["peer_height"] = peer.doc.documentLayout()->documentSize().height();
}

void BM_LayoutLongestTopic(benchmark::State& st)
{
    if (!TheManual().ok) {
        st.SkipWithError("no qevw.hla");
        return;
    }
    LayoutAndMeasure(st, TheManual().Longest());
}
BENCHMARK(BM_LayoutLongestTopic)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_LayoutMegabyte(benchmark::State& st)
{
    if (!TheManual().ok) {
        st.SkipWithError("no qevw.hla");
        return;
    }
    LayoutAndMeasure(st, MegabyteText());
}
BENCHMARK(BM_LayoutMegabyte)->Unit(benchmark::kMillisecond)->Iterations(5);

// A page of the 1 MB text painted, and painted again one row further down.
void PaintCases(benchmark::State& st, bool scroll)
{
    if (!TheManual().ok) {
        st.SkipWithError("no qevw.hla");
        return;
    }
    const std::string text = MegabyteText();
    ImageCanvas screen(kWidth + 20, kHeight);
    CtrlTextPager pager;
    pager.view.canvas = &screen;
    pager.view.font = TextFont();
    pager.view.text = text;
    pager.SetGeometry({0, 0, kWidth + 8, kHeight}, {kWidth + 8, 0, kWidth + 20, kHeight}, 4);
    pager.Show();
    Peer peer;
    peer.Load(text);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    double top = 0;
    const double step = pager.view.lineHeight;
    Compare(
        st,
        [&] {
            if (scroll && !pager.ScrollRows(1))
                pager.GoHome();
            pager.PaintText(screen);
            pager.PaintScrollBar(screen);
            screen.EndPaint();
        },
        [&] {
            if (scroll)
                top += step;
            peer.Paint(image, top);
        });
}

void BM_Repaint(benchmark::State& st)
{
    PaintCases(st, false);
}
BENCHMARK(BM_Repaint)->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_ScrollStep(benchmark::State& st)
{
    PaintCases(st, true);
}
BENCHMARK(BM_ScrollStep)->Unit(benchmark::kMillisecond)->Iterations(100);

// The help page from GoToTopic to a painted back buffer, alternating between
// the longest topic and the contents.
void BM_GoToTopic(benchmark::State& st)
{
    Manual& m = TheManual();
    if (!m.ok) {
        st.SkipWithError("no qevw.hla");
        return;
    }
    std::string longestName;
    const std::string longest = m.Longest(&longestName);
    const std::string contents = m.Text(1);
    PageState state;
    state.pageFont = TextFont();
    ImageCanvas back(kWidth + 30, kHeight);
    back.SetFont(state.pageFont);
    state.lineHeight = back.TextHeight("\xC8g");
    state.sampleWidth = back.TextWidth(kSampleSentence);
    HelpPageServices s;
    s.programFolder = ProgramFolder();
    s.dataFolder = bench::DataFolder();
    s.textFont = TextFont();
    s.printFont = TextFont();
    THlpWin page(state, back, kWidth + 30, kHeight, '?', s);
    page.Build();
    page.Layout();
    Peer peer;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    int n = 0;
    Compare(
        st,
        [&] {
            page.GoToTopic(n % 2 ? "Obsah_" : longestName);
            page.Paint();
            back.EndPaint();
        },
        [&] {
            peer.Load(n % 2 ? contents : longest);
            peer.Paint(image, 0);
            ++n;
        });
    HelpHistory().Clear();
}
BENCHMARK(BM_GoToTopic)->Unit(benchmark::kMillisecond)->Iterations(50);

// The largest record file among the data folder's tables that a placeholder
// could name, with its record count.
std::string LargestTable(int& records)
{
    std::string best;
    records = 0;
    for (const char* id : {"kk", "pzt", "pfa", "klc", "cvzp", "kle", "pztohl"}) {
        TDatFile dat;
        OpenDatFile(dat, bench::DataFolder(), TFileId(id), 0);
        if (dat.IsOpen() && dat.count - 1 > records && dat.count - 1 < 60000) {
            records = dat.count - 1;
            best = id;
        }
    }
    return best;
}

void BM_DataFileTable(benchmark::State& st)
{
    int records = 0;
    const std::string table = LargestTable(records);
    if (table.empty()) {
        st.SkipWithError("no table");
        return;
    }
    std::string name = "##";
    for (char c : table)
        name.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
    const std::string topic =
        CtrlTextWriter().Code(18, {8}).Text("Tabulka").Code(14).CodeString(28, name).Take();
    HelpContentSources src;
    src.dataFolder = bench::DataFolder();
    src.noTable = "-";
    ImageCanvas canvas(kWidth, kHeight);
    CtrlTextView view;
    view.canvas = &canvas;
    view.font = TextFont();
    Peer peer;
    std::string laidOut;
    double buildMs = 0;
    Compare(
        st,
        [&] {
            const Clock::time_point t0 = Clock::now();
            view.text = ExpandHelpPlaceholder(topic, src);
            buildMs = Ms(t0, Clock::now());
            LayoutCtrlText(view);
            benchmark::DoNotOptimize(MeasureCtrlText(view, kWidth));
            // What the engine shows (its line table's reach) is what the peer gets.
            laidOut = view.text.substr(
                0, static_cast<size_t>(view.lines[static_cast<size_t>(view.lineCount)].start - 1));
        },
        [&] { benchmark::DoNotOptimize(peer.Load(laidOut)); });
    st.counters["records"] = records;
    st.counters["lines"] = view.lineCount;
    st.counters["table_bytes"] = static_cast<double>(view.text.size());
    st.counters["build_ms"] = buildMs;
    st.SetLabel(table);
}
BENCHMARK(BM_DataFileTable)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
