// Text tables: load time of a table of about 65,000 bytes, and lookups per
// second for the patterns the cursors serve (consecutive keys of one
// section, two alternating sections) and for random sections.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "datastore/text_table.h"
#include "platform/fs.h"
#include "writers/text_table_writer.h"

namespace {

constexpr int kSections = 60;

struct Fixture {
    std::string bytes;
    std::string path;
    std::vector<std::vector<std::string>> keys; // per section
    std::vector<std::string> sections;
    TextTablePtr table;

    Fixture()
    {
        // Sections of 30-ish entries with values of typical caption length,
        // grown until the table is just below the limit.
        std::string src;
        int entry = 0;
        for (int s = 0; s < kSections; ++s) {
            sections.push_back("Sec" + std::to_string(s));
            keys.emplace_back();
            src += "[" + sections.back() + "]\n";
            for (int k = 0; k < 30; ++k, ++entry) {
                std::string key = "key" + std::to_string(k);
                keys.back().push_back(key);
                src += key + "=" + std::string(20 + entry % 17, static_cast<char>('a' + entry % 26)) + "\n";
            }
        }
        // Top up the last section to about 65,000 bytes.
        textsrc::Error err;
        for (int k = 30;; ++k) {
            std::string more = src + "more" + std::to_string(k) + "=" + std::string(40, 'm') + "\n";
            std::string table;
            if (!textsrc::CompileSource(more, "bench", 256, table, err) || table.size() > 65000)
                break;
            src = more;
            keys.back().push_back("more" + std::to_string(k));
        }
        if (!textsrc::CompileSource(src, "bench", 256, bytes, err)) {
            std::fprintf(stderr, "%s\n", err.Message().c_str());
            std::abort();
        }
        path = "/tmp/bench_text_table_" + std::to_string(::getpid()) + ".ces";
        WriteFileAtomic(path, bytes);
        LoadTextTable(table, path);
    }
    ~Fixture() { std::remove(path.c_str()); }
};

Fixture& F()
{
    static Fixture f;
    return f;
}

void BM_Load(benchmark::State& state)
{
    Fixture& f = F();
    for (auto _ : state) {
        TextTablePtr t;
        uint16_t r = LoadTextTable(t, f.path);
        benchmark::DoNotOptimize(r);
    }
    state.counters["table_bytes"] = static_cast<double>(f.bytes.size());
}
BENCHMARK(BM_Load);

void BM_ConsecutiveKeysOfOneSection(benchmark::State& state)
{
    Fixture& f = F();
    const std::string& sec = f.sections[kSections / 2];
    const auto& keys = f.keys[kSections / 2];
    size_t i = 0;
    for (auto _ : state) {
        std::string v = LookupText(f.table, sec, keys[i]);
        benchmark::DoNotOptimize(v);
        if (++i == keys.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConsecutiveKeysOfOneSection);

void BM_TwoAlternatingSections(benchmark::State& state)
{
    Fixture& f = F();
    const int a = 5, b = kSections - 5;
    size_t i = 0;
    for (auto _ : state) {
        int s = (i & 1) ? b : a;
        const auto& keys = f.keys[s];
        std::string v = LookupText(f.table, f.sections[s], keys[(i / 2) % keys.size()]);
        benchmark::DoNotOptimize(v);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TwoAlternatingSections);

void BM_RandomSections(benchmark::State& state)
{
    Fixture& f = F();
    std::mt19937 rng(7);
    std::vector<std::pair<int, int>> plan(4096);
    for (auto& p : plan) {
        p.first = static_cast<int>(rng() % kSections);
        p.second = static_cast<int>(rng() % f.keys[p.first].size());
    }
    size_t i = 0;
    for (auto _ : state) {
        const auto& [s, k] = plan[i++ & 4095];
        std::string v = LookupText(f.table, f.sections[s], f.keys[s][k]);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomSections);

} // namespace

BENCHMARK_MAIN();
