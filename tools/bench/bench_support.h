#pragma once
// What the window benchmarks share: the data folder they read, timings in
// milliseconds and their spread as counters, the prefix query of their SQLite
// peer, and a main() that starts the Qt application their windows need.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "platform/fs.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// The main() of the benchmarks whose windows need a Qt application.
inline int RunWithQtApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

inline double Ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// QEVW_BENCH_DATA when set (a scale folder), else the build's demo folder.
inline std::string DataFolder()
{
    if (const char* env = std::getenv("QEVW_BENCH_DATA"))
        return WithTrailingSlash(env);
    return WithTrailingSlash(QEVW_BENCH_DEFAULT_DATA);
}

// The nearest-rank q-quantile; 0 for no timings.
inline double Percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5))];
}

inline double Worst(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}

// Median, 95th percentile and worst as the counters <prefix>median_ms,
// <prefix>p95_ms and <prefix>worst_ms.
inline void ReportSpread(benchmark::State& st, const std::string& prefix, const std::vector<double>& ms)
{
    st.counters[prefix + "median_ms"] = Percentile(ms, 0.5);
    st.counters[prefix + "p95_ms"] = Percentile(ms, 0.95);
    st.counters[prefix + "worst_ms"] = Worst(ms);
}

#ifdef QEVW_HAVE_SQLITE
// Runs a query prepared with ?1 and ?2 as the bounds of a prefix (the
// prefix, and the prefix with its last byte one higher) and ?3 as a row
// limit, touching one column of each row as a reader would; the rows found.
// The prefix must not be empty.
inline int SqlitePrefixRows(sqlite3_stmt* query, const std::string& prefix, int limit, int column)
{
    std::string above = prefix;
    above.back() = static_cast<char>(above.back() + 1);
    sqlite3_bind_blob(query, 1, prefix.data(), static_cast<int>(prefix.size()), SQLITE_STATIC);
    sqlite3_bind_blob(query, 2, above.data(), static_cast<int>(above.size()), SQLITE_STATIC);
    sqlite3_bind_int(query, 3, limit);
    int rows = 0;
    while (sqlite3_step(query) == SQLITE_ROW) {
        benchmark::DoNotOptimize(sqlite3_column_blob(query, column));
        ++rows;
    }
    sqlite3_reset(query);
    return rows;
}
#endif

// The body of a benchmark's main(): the application object (QApplication
// for windows, QCoreApplication for the rest) lives while the benchmarks run.
template <class App = QApplication>
int RunBenchmarks(int argc, char** argv)
{
    App app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
