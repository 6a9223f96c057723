// ComposeDrugText (and ComposeDeviceText) over every product of a data folder:
// the time per product, median and slowest, as counters.
//
//   cmake --build build --target bench_record_text
//   QEVW_BENCH_DATA=/path/to/large-set build/tools/bench_record_text
//
// Without QEVW_BENCH_DATA the demo folder of the build (../demo-data beside
// the tools folder) is used.  The folder's own text tables are loaded, the
// program texts from ../program when present.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/fs.h"
#include "viewers/record_text.h"

namespace {

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

struct Products {
    std::vector<std::string> drugs;
    std::vector<std::pair<std::string, int32_t>> devices; // first record of each code
    bool loaded = false;
};

Products& Load()
{
    static Products p;
    if (p.loaded)
        return p;
    p.loaded = true;
    const std::string dir = DataFolder();
    SetDataDir(dir);
    LoadTextTable(DataTexts, dir + "kalvo.ces");
    LoadTextTable(UiTexts, ExeFolder() + "../program/qevw.ces");
    LoadCodeTables(DataSetCode::Drugs, 0);
    LoadDeviceMarkLetter();
    TDbTable t;
    std::string rec;
    OpenTable(t, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    for (int32_t pos = 0; DbStatus == 0 && pos < t.LeafCount(); ++pos) {
        ReadByOrder(t, pos, rec);
        if (DbStatus == 0)
            p.drugs.push_back(rec);
    }
    TDbTable d;
    OpenTable(d, TFileId("pzt"), TFileId("pztkod"), kPztLayout.Length());
    std::string previous;
    for (int32_t pos = 0; DbStatus == 0 && pos < d.LeafCount(); ++pos) {
        ReadByOrder(d, pos, rec);
        if (DbStatus == 0 && rec.compare(0, 7, previous) != 0) {
            previous = rec.substr(0, 7);
            p.devices.emplace_back(rec, d.recNo);
        }
    }
    return p;
}

void Report(benchmark::State& state, std::vector<double>& micros)
{
    if (micros.empty()) {
        state.SkipWithError("no products in the data folder");
        return;
    }
    std::sort(micros.begin(), micros.end());
    state.counters["products"] = static_cast<double>(micros.size());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    state.counters["slowest_us"] = micros.back();
}

void BM_ComposeEveryDrug(benchmark::State& state)
{
    Products& p = Load();
    std::vector<double> micros;
    double slowest = 0;
    std::string slowestCode;
    for (auto _ : state) {
        micros.clear();
        for (const std::string& rec : p.drugs) {
            const auto t0 = std::chrono::steady_clock::now();
            RecordText r = ComposeDrugText(rec);
            const auto t1 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(r.text.data());
            micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
            if (micros.back() > slowest) {
                slowest = micros.back();
                slowestCode = rec.substr(0, 7);
            }
        }
    }
    state.SetLabel("slowest " + slowestCode);
    Report(state, micros);
}
BENCHMARK(BM_ComposeEveryDrug)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ComposeEveryDevice(benchmark::State& state)
{
    Products& p = Load();
    LoadCodeTables(DataSetCode::Devices, 0);
    std::vector<double> micros;
    for (auto _ : state) {
        micros.clear();
        for (const auto& [rec, recNo] : p.devices) {
            const auto t0 = std::chrono::steady_clock::now();
            RecordText r = ComposeDeviceText(rec, recNo, {}, DeviceGroupRecord(rec));
            const auto t1 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(r.text.data());
            micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    LoadCodeTables(DataSetCode::Drugs, 0);
    Report(state, micros);
}
BENCHMARK(BM_ComposeEveryDevice)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
