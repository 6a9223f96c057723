// The news and the start page, each against a peer in the same run:
//  - ReadRssItem over a 64 MiB cache (MB/s) against libxml2's streaming
//    reader collecting the same four texts of every item;
//  - the start page's Build, Layout and first Paint on the demo feed and on
//    the 64 MiB cache, against Qt's own widgets (three word-wrapped QLabels
//    in a layout, grabbed) showing the same three items;
//  - Ctrl+V of 500 codes of the data set (QEVW_BENCH_DATA, e.g. the
//    100,000-package set of make_scale_data.sh) to the painted result list,
//    against SQLite looking the same codes up in an indexed table.
//
//   ninja -C build bench_news && QEVW_BENCH_DATA=/path/scale build/tools/bench_news

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <libxml/xmlreader.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/rss_item.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "list_demo_list.h"
#include "lists/conditions/result_lists.h"
#include "lists/toolkit/list_window.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "viewers/medication_list.h"
#include "viewers/start_page.h"
#include <QMdiSubWindow>

namespace {

const std::string& BigCache()
{
    static const std::string path = [] {
        const std::string p = "/tmp/qevw-bench-news-64m.rss";
        std::string feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
        for (int i = 0; feed.size() < (64u << 20); ++i) {
            feed += "<item>\n<title>Novinka číslo " + std::to_string(i) +
                    ": nová data a úhrady</title>\n<link>https://www.kalvo.example/novinky/" +
                    std::to_string(100000 + i) +
                    "</link>\n<description>Aktualizace obsahuje nová balení, změny úhrad a opravené texty "
                    "příbalových informací &amp; souhrnů.</description>\n<pubDate>Mon, 08 Dec 2025 "
                    "09:30:00 +0100</pubDate>\n</item>\n";
        }
        feed += "</channel>\n</rss>\n";
        WriteFileAtomic(p, feed);
        return p;
    }();
    return path;
}

void BM_ReadRssItem64MiB(benchmark::State& st)
{
    const std::string& path = BigCache();
    const int64_t size = FileSize(path);
    int64_t items = 0;
    for (auto _ : st) {
        RssLineReader in;
        in.Open(path);
        RssItem item;
        items = 0;
        while (ReadRssItem(in, item))
            ++items;
        benchmark::DoNotOptimize(item);
    }
    st.counters["items"] = static_cast<double>(items);
    st.SetBytesProcessed(st.iterations() * size);
}
BENCHMARK(BM_ReadRssItem64MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Libxml2Reader64MiB(benchmark::State& st)
{
    const std::string& path = BigCache();
    const int64_t size = FileSize(path);
    int64_t items = 0;
    for (auto _ : st) {
        xmlTextReaderPtr reader = xmlReaderForFile(path.c_str(), "UTF-8", XML_PARSE_NONET | XML_PARSE_HUGE);
        items = 0;
        std::string texts[4];
        int field = -1;
        while (xmlTextReaderRead(reader) == 1) {
            const int type = xmlTextReaderNodeType(reader);
            const char* name = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
            if (type == XML_READER_TYPE_ELEMENT) {
                const std::string n = name ? name : "";
                field = n == "title" ? 0 : n == "link" ? 1 : n == "description" ? 2 : n == "pubDate" ? 3 : -1;
                if (n == "item")
                    ++items;
            } else if ((type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA) && field >= 0) {
                texts[field] = reinterpret_cast<const char*>(xmlTextReaderConstValue(reader));
            } else if (type == XML_READER_TYPE_END_ELEMENT) {
                field = -1;
            }
        }
        xmlFreeTextReader(reader);
        benchmark::DoNotOptimize(texts);
    }
    st.counters["items"] = static_cast<double>(items);
    st.SetBytesProcessed(st.iterations() * size);
}
BENCHMARK(BM_Libxml2Reader64MiB)->Unit(benchmark::kMillisecond)->Iterations(3);

// The start page with its cache, texts and fonts as the program has them.
struct PageBench {
    PageState state;
    ImageCanvas back{1280, 800};
    std::string cache;

    explicit PageBench(std::string cachePath) : cache(std::move(cachePath))
    {
        static bool texts = [] {
            return LoadTextTable(UiTexts, std::string(QEVW_BENCH_DEFAULT_PROGRAM) + "/qevw.ces") >=
                   TextTableResult::FirstSuccess;
        }();
        (void)texts;
        UpdateServices hooks = CurrentUpdateServices();
        hooks.newsCachePath = [path = cache](std::string& p) { p = path; };
        SetUpdateServices(hooks);
        Config().SetPaths("/tmp/qevw-bench-news.ini", "");
        state.pageFont.size = 10;
        back.SetFont(state.pageFont);
        state.lineHeight = back.TextHeight("\xC8g");
        state.sampleWidth = back.TextWidth(kSampleSentence);
    }
    void Run()
    {
        TPrazdno page(state, back, 1280, 800, {});
        page.Build();
        page.Layout();
        page.Paint();
        back.Image();
    }
};

void StartPage(benchmark::State& st, const std::string& cache)
{
    PageBench b(cache);
    std::vector<double> ms;
    for (auto _ : st) {
        const auto t0 = bench::Clock::now();
        b.Run();
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
    }
    bench::ReportSpread(st, "", ms);
}

void BM_StartPageDemoFeed(benchmark::State& st)
{
    StartPage(st, std::string(QEVW_SOURCE_DIR_FOR_BENCH) + "/demo/news/kalvo.rss");
}
BENCHMARK(BM_StartPageDemoFeed)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_StartPage64MiBCache(benchmark::State& st)
{
    StartPage(st, BigCache());
}
BENCHMARK(BM_StartPage64MiBCache)->Unit(benchmark::kMillisecond)->Iterations(50);

// Qt's own widgets showing the same three items.
void BM_QtLabelsDemoFeed(benchmark::State& st)
{
    RssLineReader in;
    in.Open(std::string(QEVW_SOURCE_DIR_FOR_BENCH) + "/demo/news/kalvo.rss");
    std::vector<RssItem> items(3);
    for (RssItem& item : items)
        ReadRssItem(in, item);
    std::vector<double> ms;
    for (auto _ : st) {
        const auto t0 = bench::Clock::now();
        QWidget page;
        page.resize(1280, 800);
        auto* column = new QVBoxLayout(&page);
        for (const RssItem& item : items) {
            auto* label = new QLabel;
            label->setWordWrap(true);
            label->setFixedWidth(450);
            label->setText("<b>" + Cp1250ToQString(item.title).toHtmlEscaped() + "</b><br>" +
                           Cp1250ToQString(item.description).toHtmlEscaped());
            column->addWidget(label);
        }
        column->addStretch();
        const QPixmap shot = page.grab();
        benchmark::DoNotOptimize(shot.width());
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
    }
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_QtLabelsDemoFeed)->Unit(benchmark::kMillisecond)->Iterations(50);

// 500 product codes of the data set, every 1/500th record.
std::vector<std::string> FiveHundredCodes()
{
    SetDataDir(bench::DataFolder());
    TDbTable t;
    OpenTable(t, "kl", "klkod", 0);
    std::vector<std::string> codes;
    const int32_t count = t.dat.count - 1; // data records 1 .. count
    std::string rec;
    for (int i = 0; i < 500 && count > 0; ++i) {
        ReadRecord(t.dat, 1 + static_cast<int32_t>(int64_t(i) * count / 500), rec);
        codes.push_back(rec.substr(static_cast<size_t>(kDrugCode.Offset()), 7));
    }
    OpenTable(t, TFileId(), TFileId(), 0);
    return codes;
}

// Ctrl+V on the start page of a main window with its MDI area, through the
// main window's request target to the drug result list, until that list has
// painted its rows.
void BM_Paste500Codes(benchmark::State& st)
{
    const std::vector<std::string> codes = FiveHundredCodes();
    std::string clip;
    for (const std::string& c : codes)
        clip += c + "\r\n";
    PageBench b("/nonexistent/KALVO.rss");
    TextTablePtr data;
    if (LoadTextTable(data, bench::DataFolder() + "kalvo.ces") < TextTableResult::FirstSuccess) {
        st.SkipWithError("data texts");
        return;
    }
    DataTexts.Set(std::move(data));
    LoadCodeTables();
    SetupEdition(1);
    Config().Update([](ConfigValues& v) {
        v.placementMode = WindowMode::Free;
        v.BlinkOff = 1;
        v.tipUser = false;
        v.KeySelectOption = 128;
        v.SeptacOption = 1;
    });
    SetDrugResultListOpener([](const std::vector<int32_t>& records, const std::string& title) {
        ShowDrugResultList(records, title);
    });
    listdemo::MdiHost host(1280, 900);
    host.show();
    StartPageServices services;
    services.clipboardText = [&clip] { return clip; };
    TPrazdno page(b.state, b.back, 1280, 800, services);
    page.Build();
    std::vector<double> ms;
    int rows = 0;
    for (auto _ : st) {
        const auto t0 = bench::Clock::now();
        page.HandleEvent(22, PageShift::Typed);
        const std::vector<TVyb*> lists = ListWindows();
        if (lists.empty()) {
            st.SkipWithError("no list window");
            return;
        }
        TVyb* window = lists.back();
        window->repaint();
        QApplication::processEvents();
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
        rows = window->Rec.Count;
        st.PauseTiming();
        for (TVyb* w : lists)
            w->SubWindow()->close();
        QApplication::processEvents();
        st.ResumeTiming();
    }
    SetDrugResultListOpener(nullptr);
    st.counters["rows"] = static_cast<double>(rows);
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_Paste500Codes)->Unit(benchmark::kMillisecond)->Iterations(20);

#ifdef QEVW_HAVE_SQLITE
void BM_Sqlite500Codes(benchmark::State& st)
{
    SetDataDir(bench::DataFolder());
    TDbTable t;
    OpenTable(t, "kl", "klkod", 0);
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    sqlite3_exec(db, "CREATE TABLE kl(code TEXT PRIMARY KEY, rec INTEGER) WITHOUT ROWID", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR IGNORE INTO kl VALUES(?1, ?2)", -1, &insert, nullptr);
    std::string rec;
    for (int32_t r = 1; r < t.dat.count; ++r) {
        ReadRecord(t.dat, r, rec);
        const std::string code = rec.substr(static_cast<size_t>(kDrugCode.Offset()), 7);
        sqlite3_bind_text(insert, 1, code.c_str(), 7, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, 2, r);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    OpenTable(t, TFileId(), TFileId(), 0);
    const std::vector<std::string> codes = FiveHundredCodes();
    std::string clip;
    for (const std::string& c : codes)
        clip += c + "\r\n";
    sqlite3_stmt* find = nullptr;
    sqlite3_prepare_v2(db, "SELECT rec FROM kl WHERE code = ?1", -1, &find, nullptr);
    std::vector<double> ms;
    size_t rows = 0;
    for (auto _ : st) {
        const auto t0 = bench::Clock::now();
        // The same work from the clipboard text: split the lines, look each up.
        std::vector<int32_t> found;
        size_t from = 0;
        while (from < clip.size()) {
            size_t end = clip.find('\n', from);
            if (end == std::string::npos)
                end = clip.size();
            std::string line = clip.substr(from, end - from);
            while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                line.pop_back();
            from = end + 1;
            sqlite3_bind_text(find, 1, line.c_str(), static_cast<int>(line.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(find) == SQLITE_ROW)
                found.push_back(sqlite3_column_int(find, 0));
            sqlite3_reset(find);
        }
        rows = found.size();
        ms.push_back(bench::Ms(t0, bench::Clock::now()));
    }
    sqlite3_finalize(find);
    sqlite3_close(db);
    st.counters["rows"] = static_cast<double>(rows);
    bench::ReportSpread(st, "", ms);
}
BENCHMARK(BM_Sqlite500Codes)->Unit(benchmark::kMillisecond)->Iterations(20);
#endif

} // namespace

int main(int argc, char** argv)
{
    return bench::RunWithQtApplication(argc, argv);
}
