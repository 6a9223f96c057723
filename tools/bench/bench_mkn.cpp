// The classification page's costs on the classification of the data folder
// (the --scale set's synthetic one: 15,000 entries, a 2 MB word list), each
// beside a peer measured in the same run:
//   - FindCode for every code of the file, against SQLite's indexed lookup of
//     the same codes in a table keyed by them;
//   - ScanFile (the entry table), against reading the file whole;
//   - a keystroke to the painted hit list: the third letter of a word with 500
//     hits typed into the search field, the search and the hit list laid out
//     and painted (median and worst), against ripgrep counting the same word
//     starts in the same list;
//   - GoToCode to a painted page, against a QTextBrowser showing the same
//     entry (through CtrlTextToHtml) rendered into an image.
// Counters: ours_ms and peer_ms (medians) and ratio = ours/peer.
//
//   cmake --build build --target bench_mkn
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_mkn

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTextBrowser>

#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/ctrl_text.h"
#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/pages/page.h"
#include "frame/pages/page_events.h"
#include "platform/cp1250.h"
#include "platform/gui/canvas.h"
#include "viewers/ctrl_html.h"
#include "viewers/mkn_file.h"
#include "viewers/mkn_page.h"

namespace {

using bench::Clock;
using bench::Ms;

constexpr int kWidth = 1000;
constexpr int kHeight = 700;

std::string FilePath()
{
    return ResolvePath(bench::DataFolder() + "mkn.dat");
}

void Setup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    BuildKamTables();
    LoadTextTable(UiTexts, WithTrailingSlash(QEVW_BENCH_DEFAULT_PROGRAM) + "qevw.ces");
    SetDataDir(bench::DataFolder());
}

// The data folder's classification, or the benchmark skipped.
bool Scanned(MknClassification& file, benchmark::State& st)
{
    if (file.ScanFile(FilePath()) == 0 && !file.Empty())
        return true;
    st.SkipWithError("no mkn.dat");
    return false;
}

void Report(benchmark::State& st, const std::vector<double>& ours, const std::vector<double>& peer)
{
    const double o = bench::Percentile(ours, 0.5);
    const double p = bench::Percentile(peer, 0.5);
    st.counters["ours_ms"] = o;
    st.counters["peer_ms"] = p;
    st.counters["ratio"] = p > 0 ? o / p : 0;
    bench::ReportSpread(st, "ours_", ours);
}

void BM_FindCode(benchmark::State& st)
{
    Setup();
    MknClassification file;
    if (!Scanned(file, st))
        return;
    std::vector<TopicKey> keys;
    for (const MknEntry& e : file.Entries())
        keys.push_back(e.key);
    st.counters["entries"] = static_cast<double>(keys.size());
#ifdef QEVW_HAVE_SQLITE
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE mkn(key INTEGER PRIMARY KEY, offset INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO mkn VALUES(?1, ?2)", -1, &insert, nullptr);
    for (const MknEntry& e : file.Entries()) {
        sqlite3_bind_int64(insert, 1, e.key);
        sqlite3_bind_int64(insert, 2, e.offset);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, "SELECT offset FROM mkn WHERE key = ?1", -1, &query, nullptr);
#endif
    std::vector<double> ours;
    std::vector<double> peer;
    for (auto _ : st) {
        const Clock::time_point t0 = Clock::now();
        int64_t sum = 0;
        for (TopicKey k : keys)
            sum += file.FindCode(k);
        benchmark::DoNotOptimize(sum);
        const Clock::time_point t1 = Clock::now();
#ifdef QEVW_HAVE_SQLITE
        int64_t found = 0;
        for (TopicKey k : keys) {
            sqlite3_bind_int64(query, 1, k);
            if (sqlite3_step(query) == SQLITE_ROW)
                found += sqlite3_column_int64(query, 0);
            sqlite3_reset(query);
        }
        benchmark::DoNotOptimize(found);
#endif
        const Clock::time_point t2 = Clock::now();
        ours.push_back(Ms(t0, t1));
        peer.push_back(Ms(t1, t2));
    }
#ifdef QEVW_HAVE_SQLITE
    sqlite3_finalize(query);
    sqlite3_close(db);
#else
    st.SkipWithError("built without SQLite: no peer");
#endif
    Report(st, ours, peer);
}
BENCHMARK(BM_FindCode)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_ScanFile(benchmark::State& st)
{
    Setup();
    std::vector<double> ours;
    std::vector<double> peer;
    for (auto _ : st) {
        const Clock::time_point t0 = Clock::now();
        MknClassification file;
        benchmark::DoNotOptimize(file.ScanFile(FilePath()));
        const Clock::time_point t1 = Clock::now();
        std::string bytes;
        benchmark::DoNotOptimize(ReadWholeFile(FilePath(), bytes));
        const Clock::time_point t2 = Clock::now();
        ours.push_back(Ms(t0, t1));
        peer.push_back(Ms(t1, t2));
        st.counters["entries"] = file.Count();
    }
    Report(st, ours, peer);
}
BENCHMARK(BM_ScanFile)->Unit(benchmark::kMillisecond)->Iterations(20);

// The page of the main window on a back buffer, as the program makes it.
struct Page {
    PageState state;
    ImageCanvas back{kWidth + 30, kHeight};
    std::unique_ptr<TMknWin> page;
    Page()
    {
        state.pageFont.size = 9;
        back.SetFont(state.pageFont);
        state.lineHeight = back.TextHeight("\xC8g");
        state.sampleWidth = back.TextWidth(kSampleSentence);
        MknPageServices s;
        s.textFont = state.pageFont;
        s.printFont = state.pageFont;
        page = std::make_unique<TMknWin>(state, back, kWidth + 30, kHeight, false, s);
        page->Build();
        page->Layout();
        page->GoToCode("ZaDTCa");
    }
    void Paint()
    {
        page->Paint();
        back.EndPaint();
    }
};

// A three-letter word start with at least 500 hits in the list.
std::string BusyWord(const std::string& list)
{
    const std::string folded = KamFoldUpper(list);
    for (const char* w : {"chr", "inf", "zan", "akt", "ner", "bol"})
        if (SearchMknWords(list, folded, w).hits.size() >= 500)
            return w;
    return {};
}

void BM_KeystrokeToHitList(benchmark::State& st)
{
    Setup();
    std::string list;
    LoadWordFile(list, "mkn.slw");
    const std::string word = BusyWord(list);
    if (word.empty()) {
        st.SkipWithError("no word with 500 hits: run on the --scale data");
        return;
    }
    st.counters["list_bytes"] = static_cast<double>(list.size());
    Page p;
    // The first search loads the list; the keystrokes measured are later ones.
    for (char c : word)
        p.page->HandleEvent(static_cast<unsigned char>(c), PageShift::Typed);
    const std::string slw = ResolvePath(bench::DataFolder() + "mkn.slw");
    // Word starts as the page counts them: after a byte up to 32, "(", "-" or "[".
    const QString pattern = QString::fromStdString("(^|[\\x00-\\x20(\\[-])" + word);
    std::vector<double> ours;
    std::vector<double> peer;
    for (auto _ : st) {
        p.page->HandleEvent(PageChar::Backspace, PageShift::Typed);
        const Clock::time_point t0 = Clock::now();
        p.page->HandleEvent(static_cast<unsigned char>(word.back()), PageShift::Typed);
        p.Paint();
        const Clock::time_point t1 = Clock::now();
        QProcess rg;
        rg.start("rg", {"--count-matches", "-i", "-a", pattern, QString::fromStdString(slw)});
        rg.waitForFinished(20000);
        benchmark::DoNotOptimize(rg.readAllStandardOutput());
        const Clock::time_point t2 = Clock::now();
        ours.push_back(Ms(t0, t1));
        peer.push_back(Ms(t1, t2));
    }
    st.counters["hits_shown"] = p.page->Pager().view.lineCount;
    Report(st, ours, peer);
    st.counters["ours_worst_ms"] = bench::Worst(ours);
}
BENCHMARK(BM_KeystrokeToHitList)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_GoToCode(benchmark::State& st)
{
    Setup();
    MknClassification file;
    if (!Scanned(file, st))
        return;
    // The category with the longest text, and the start entry in turn.
    const std::vector<std::string> codes = {"A00", "ZaDTCa"};
    std::vector<std::string> texts;
    for (const std::string& c : codes)
        texts.push_back(file.ReadEntryText(ChooseMknEntry(file, NormaliseMknCode(c))).text);
    Page p;
    QTextBrowser browser;
    browser.resize(kWidth, kHeight);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(9);
    browser.document()->setDefaultFont(f);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    std::vector<double> ours;
    std::vector<double> peer;
    size_t n = 0;
    for (auto _ : st) {
        const size_t which = n++ % codes.size();
        const Clock::time_point t0 = Clock::now();
        p.page->GoToCode(codes[which]);
        p.Paint();
        const Clock::time_point t1 = Clock::now();
        HtmlConversionInput in;
        in.kind = 'K';
        browser.setHtml(Cp1250ToQString(CtrlTextToHtml(CtrlCodeBytes(19, {1}) + texts[which], in).bytes));
        browser.render(&image);
        const Clock::time_point t2 = Clock::now();
        ours.push_back(Ms(t0, t1));
        peer.push_back(Ms(t1, t2));
    }
    Report(st, ours, peer);
}
BENCHMARK(BM_GoToCode)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
