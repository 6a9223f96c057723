// The HTML viewer's costs over a data folder, each beside a peer measured in
// the same run:
//   - CtrlText to HTML over every document of spc, letak and kodex (MB/s of
//     text), against zlib deflate (level 1) of the same texts;
//   - reading and decoding one document record (median and slowest), against
//     reading the same bytes as one zlib stream and inflating it;
//   - the data reset of a viewer up to a painted page for the largest SPC,
//     against QTextBrowser loading and painting the same page.
//
//   cmake --build build --target bench_viewer_page
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=/path/to/large-set build/tools/bench_viewer_page

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTextBrowser>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/html_view.h"
#include "viewers/ctrl_html.h"
#include "viewers/viewer_document.h"
#include "viewers/viewer_window.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string ExeFolder()
{
    std::string path = std::filesystem::read_symlink("/proc/self/exe").string();
    return path.substr(0, path.rfind('/') + 1);
}

std::string DataFolder()
{
    if (const char* env = std::getenv("QEVW_BENCH_DATA"))
        return WithTrailingSlash(env);
    return ExeFolder() + "../demo-data/";
}

struct DocRef {
    char kind;
    const char* file;
    int64_t offset;
    int32_t record;
};

struct Data {
    std::vector<DocRef> docs;       // one per distinct document
    std::vector<std::string> texts; // their decoded texts
    DocRef largestSpc{'S', "spc", -1, 0};
    size_t largestSize = 0;
    bool loaded = false;
};

Data& Load()
{
    static Data d;
    if (d.loaded)
        return d;
    d.loaded = true;
    const std::string dir = DataFolder();
    BuildKamTables();
    SetDataDir(dir);
    ProgramStart().ProgramFolder = ExeFolder() + "../program/";
    LoadTextTable(DataTexts, dir + "kalvo.ces");
    LoadTextTable(UiTexts, ExeFolder() + "../program/qevw.ces");
    LoadCodeTables(DataSetCode::Drugs, 0);
    LoadDeviceMarkLetter();
    LoadParagraphLists();
    TDbTable t;
    OpenTable(t, TFileId("kl"), TFileId(""), kKlLayout.Length());
    std::vector<std::pair<std::string, int64_t>> seen;
    for (int32_t r = 1; r < t.dat.count; ++r) {
        std::string rec;
        ReadRecord(t.dat, r, rec);
        for (const auto& [kind, file, pos] :
             {std::tuple{'S', "spc", 333}, {'L', "letak", 325}, {'K', "kodex", 321}}) {
            int32_t v = 0;
            std::memcpy(&v, rec.data() + pos - 1, 4);
            if (v < 16)
                continue;
            const auto key = std::make_pair(std::string(file), static_cast<int64_t>(v));
            if (std::find(seen.begin(), seen.end(), key) != seen.end())
                continue;
            seen.push_back(key);
            d.docs.push_back({kind, file, v, r});
        }
    }
    for (const DocRef& doc : d.docs) {
        ViewerDocument read = ReadViewerDocument(doc.kind, doc.file, doc.offset, dir);
        if (doc.kind == 'S' && read.text.size() > d.largestSize) {
            d.largestSize = read.text.size();
            d.largestSpc = doc;
        }
        d.texts.push_back(std::move(read.text));
    }
    return d;
}

void Percentiles(benchmark::State& state, std::vector<double>& micros, const char* prefix)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    state.counters[std::string(prefix) + "median_us"] = micros[micros.size() / 2];
    state.counters[std::string(prefix) + "slowest_us"] = micros.back();
}

void BM_ConvertEveryDocument(benchmark::State& state)
{
    Data& d = Load();
    size_t bytes = 0;
    double ours = 0;
    double zlib = 0;
    std::vector<unsigned char> out;
    for (auto _ : state) {
        bytes = 0;
        auto t0 = Clock::now();
        for (size_t i = 0; i < d.texts.size(); ++i) {
            HtmlConversionInput in;
            in.kind = d.docs[i].kind;
            in.spcLayout = in.kind == 'S';
            in.searchTerms = {"TABLET"};
            HtmlPage page = CtrlTextToHtml(d.texts[i], in);
            benchmark::DoNotOptimize(page.bytes.data());
            bytes += d.texts[i].size();
        }
        auto t1 = Clock::now();
        for (const std::string& text : d.texts) {
            uLongf n = compressBound(text.size());
            out.resize(n);
            compress2(out.data(), &n, reinterpret_cast<const Bytef*>(text.data()), text.size(), 1);
            benchmark::DoNotOptimize(out.data());
        }
        auto t2 = Clock::now();
        ours = std::chrono::duration<double>(t1 - t0).count();
        zlib = std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["documents"] = static_cast<double>(d.texts.size());
    state.counters["html_MBps"] = bytes / ours / 1e6;
    state.counters["zlib_deflate1_MBps"] = bytes / zlib / 1e6;
    state.counters["ratio_zlib_over_html"] = ours / zlib;
}
BENCHMARK(BM_ConvertEveryDocument)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReadOneDocument(benchmark::State& state)
{
    Data& d = Load();
    // The peer: each text as one zlib stream in a file, read and inflated.
    const std::string peerPath = std::filesystem::temp_directory_path() / "qevw_bench_zlib.bin";
    std::string file;
    std::vector<std::pair<size_t, size_t>> where; // offset, packed size
    for (const std::string& text : d.texts) {
        uLongf n = compressBound(text.size());
        std::string packed(n, '\0');
        compress2(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(text.data()),
                  text.size(), 6);
        where.emplace_back(file.size(), n);
        file.append(packed.data(), n);
    }
    WriteFileAtomic(peerPath, file);
    std::vector<double> ours;
    std::vector<double> peer;
    const std::string dir = DataFolder();
    for (auto _ : state) {
        ours.clear();
        peer.clear();
        for (const DocRef& doc : d.docs) {
            const auto t0 = Clock::now();
            ViewerDocument read = ReadViewerDocument(doc.kind, doc.file, doc.offset, dir);
            const auto t1 = Clock::now();
            benchmark::DoNotOptimize(read.text.data());
            ours.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        for (size_t i = 0; i < where.size(); ++i) {
            const auto t0 = Clock::now();
            ReadOnlyFile f;
            f.Open(peerPath);
            std::string packed(where[i].second, '\0');
            f.ReadAt(static_cast<int64_t>(where[i].first), packed.data(), packed.size());
            std::string text(d.texts[i].size(), '\0');
            uLongf n = text.size();
            uncompress(reinterpret_cast<Bytef*>(text.data()), &n,
                       reinterpret_cast<const Bytef*>(packed.data()), packed.size());
            const auto t1 = Clock::now();
            benchmark::DoNotOptimize(text.data());
            peer.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    std::filesystem::remove(peerPath);
    state.counters["documents"] = static_cast<double>(d.docs.size());
    Percentiles(state, ours, "read_");
    Percentiles(state, peer, "zlib_");
}
BENCHMARK(BM_ReadOneDocument)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ResetToPaintedLargestSpc(benchmark::State& state)
{
    Data& d = Load();
    if (d.largestSpc.offset < 0) {
        state.SkipWithError("no SPC in the data folder");
        return;
    }
    auto* viewer = new TProhlizecN;
    viewer->resize(1000, 800);
    viewer->DocumentKind = 'S';
    viewer->LinkKinds[0] = LinkKind::Drug;
    viewer->SetupViewerTitle("SPC: ");
    viewer->show();
    QTextBrowser peer;
    peer.resize(1000, 760);
    peer.show();
    std::vector<double> ours;
    std::vector<double> qt;
    for (auto _ : state) {
        auto t0 = Clock::now();
        viewer->ResetData(d.largestSpc.record);
        viewer->View()->viewport()->repaint();
        auto t1 = Clock::now();
        peer.setHtml(Cp1250ToQString(viewer->Page().bytes));
        peer.viewport()->repaint();
        auto t2 = Clock::now();
        ours.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        qt.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    state.counters["spc_bytes"] = static_cast<double>(d.largestSize);
    Percentiles(state, ours, "reset_");
    Percentiles(state, qt, "qt_sethtml_");
    delete viewer;
}
BENCHMARK(BM_ResetToPaintedLargestSpc)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
