// One type-ahead refill of the list window: a typed key to the rows painted
// into the grid's image (the seek in the name index, the rows fetched, the
// grid rendered), letter by letter over 1,000 names of the drug table, in a
// list window with an 800 x 600 client.  Median, 95th percentile and worst
// per key as counters.
//
//   tools/bench/make_scale_data.sh            # build/scale-data, 100,000 packages
//   cmake --build build --target bench_list_typeahead
//   QT_QPA_PLATFORM=offscreen QEVW_BENCH_DATA=build/scale-data build/tools/bench_list_typeahead
//
// Without QEVW_BENCH_DATA the build's demo folder is used.

#include <QApplication>
#include <QDir>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "frame/windows/data_form.h"
#include "list_demo_list.h"
#include "lists/toolkit/grid.h"
#include "lists/toolkit/nul_edit.h"
#include "platform/fs.h"

namespace {

constexpr int kNames = 1000;
constexpr int kLettersPerName = 12;

using namespace bench;

void BM_TypeAheadRefill800x600(benchmark::State& st)
{
    BuildKamTables();
    const std::string folder = DataFolder();
    SetDataDir(folder);
    listdemo::MdiHost host(1000, 800);
    host.show();
    listdemo::TableList list;
    std::string error;
    if (!list.Open(folder, "kl", "klnaz", error)) {
        st.SkipWithError(error.c_str());
        return;
    }
    TVyb* window =
        listdemo::OpenSizedListWindow(host, list, "kl: ", std::string(1, '\x2D') + "A?/)*<=", 800, 600);

    // 1,000 names spread over the index.
    std::vector<QString> names;
    const int32_t leaves = list.Leaves();
    std::string record;
    for (int i = 0; i < kNames && leaves > 0; ++i) {
        ReadByOrder(list.Table(), static_cast<int32_t>(int64_t{leaves} * i / kNames), record);
        std::string name(FieldBytes(record, kDrugName).substr(0, kLettersPerName));
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        names.push_back(KamToQString(name));
    }

    std::vector<double> ms;
    ms.reserve(names.size() * kLettersPerName);
    int rows = 0;
    for (auto _ : st) {
        ms.clear();
        for (const QString& name : names) {
            window->Edt->SetTextKeepCaret(QString());
            for (QChar ch : name) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
                const auto t0 = Clock::now();
                QCoreApplication::sendEvent(window->Edt, &press);
                const auto t1 = Clock::now();
                ms.push_back(Ms(t0, t1));
                benchmark::DoNotOptimize(window->Tb->Image().constBits());
                rows = window->Rec.RowCount;
            }
        }
    }
    st.counters["keys"] = static_cast<double>(ms.size());
    st.counters["rows_shown"] = rows;
    ReportSpread(st, "", ms);
    st.counters["leaves"] = leaves;
}
BENCHMARK(BM_TypeAheadRefill800x600)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return bench::RunBenchmarks(argc, argv);
}
