// CheckZlpEntry over a table of 100,000 drugs (binary search in the file's
// bytes) against std::unordered_map<code, values> answering the same
// questions in the same run (parse the 7-character code, find, compare).
//
//   bench_zlp [--benchmark_filter=...]
//
// Counters: calls/s.  The questions: 4,096 records, three in four listed.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "datastore/zlp_table.h"
#include "writers/zlp_writer.h"

namespace {

constexpr int kDrugs = 100000;
constexpr int kThreshold = 320;
constexpr int kMonth = 310;

struct Data {
    std::unique_ptr<ZlpTable> table;
    std::unordered_map<uint32_t, std::array<uint8_t, 4>> map;
    std::vector<std::string> records;
    std::vector<char> letters;
    Data()
    {
        std::mt19937 rng(7);
        ZlpSpec spec;
        spec.letters = "CSLH";
        ZlpThresholdBytes(kThreshold, spec.monthBase, spec.fraction);
        std::vector<uint32_t> codes;
        for (int i = 0; i < kDrugs; ++i) {
            const uint32_t code = 1000 + static_cast<uint32_t>(i) * 37 + rng() % 30;
            std::array<uint8_t, 4> v{};
            for (auto& b : v)
                b = static_cast<uint8_t>(rng() % 20);
            spec.rows.push_back({code, std::string(v.begin(), v.end())});
            map[code] = v;
            codes.push_back(code);
        }
        table = ParseZlpTable(BuildZlpFile(spec));
        for (int i = 0; i < 4096; ++i) {
            const uint32_t code =
                i % 4 == 3 ? 5 + static_cast<uint32_t>(rng() % 3000000) : codes[rng() % codes.size()];
            char text[16];
            std::snprintf(text, sizeof text, "%07u", code);
            records.push_back(std::string(text) + "  PARALEN 500");
            letters.push_back("CSLH"[rng() % 4]);
        }
    }
};

Data& Shared()
{
    static Data d;
    return d;
}

int MapCheck(const std::unordered_map<uint32_t, std::array<uint8_t, 4>>& map, std::string_view record,
             char letter)
{
    uint32_t code = 0;
    for (char c : record.substr(0, 7)) {
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + static_cast<uint32_t>(c - '0');
    }
    const auto it = map.find(code);
    if (it == map.end())
        return -1;
    const size_t p = std::string_view("CSLH").find(letter);
    if (p == std::string_view::npos)
        return 0;
    return kMonth + it->second[p] < kThreshold ? 1 : 0;
}

void BM_CheckZlpEntry(benchmark::State& state)
{
    Data& d = Shared();
    size_t i = 0;
    int sum = 0;
    for (auto _ : state) {
        sum += CheckZlpEntryIn(*d.table, d.records[i & 4095], d.letters[i & 4095], kMonth);
        ++i;
    }
    benchmark::DoNotOptimize(sum);
    state.counters["calls/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_UnorderedMap(benchmark::State& state)
{
    Data& d = Shared();
    size_t i = 0;
    int sum = 0;
    for (auto _ : state) {
        sum += MapCheck(d.map, d.records[i & 4095], d.letters[i & 4095]);
        ++i;
    }
    benchmark::DoNotOptimize(sum);
    state.counters["calls/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_CheckZlpEntry);
BENCHMARK(BM_UnorderedMap);

} // namespace

BENCHMARK_MAIN();
