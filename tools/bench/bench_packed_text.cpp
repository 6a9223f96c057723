// Decoding throughput of compressed texts ("X6") against zlib inflate of the
// same texts, with both packed sizes.
//
// The texts: the builder's large synthetic set does not exist yet, so this
// benchmark makes a comparable one itself: 4,000 leaflet-like texts of 1-12 KB
// (about 24 MB in all) put together from random paragraphs of the sample
// texts in tools/huffman_sample, with a fixed seed.
//
//   bench_packed_text [--benchmark_filter=...]
//
// Counters: MB/s is decoded text per second; packed_MB is the packed size of
// the whole set in that codec, text_MB its decoded size.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "datastore/packed_text.h"
#include "platform/fs.h"
#include "writers/x6_writer.h"
#include "zlib_peer.h"

namespace {

struct Corpus {
    std::vector<std::string> texts;
    size_t textBytes = 0;
    // X6
    std::string x6Path;
    std::vector<uint32_t> offsets;
    std::vector<std::string> huffPacked;
    size_t huffBytes = 0;
    // zlib (raw deflate, level 9, one stream per text)
    std::vector<std::string> zlibPacked;
    size_t zlibBytes = 0;

    ~Corpus()
    {
        if (!x6Path.empty())
            std::remove(x6Path.c_str());
    }
};

// Paragraphs of the samples: cut before each code that starts one.
std::vector<std::string> Paragraphs()
{
    const std::string folder =
        (std::filesystem::path(__FILE__).parent_path().parent_path() / "huffman_sample").string();
    std::vector<std::string> out;
    for (const std::string& text : LoadHuffmanSamples(folder)) {
        size_t start = 0;
        for (size_t i = 1; i <= text.size(); ++i) {
            const bool cut =
                i == text.size() || text[i] == 1 || text[i] == 12 || text[i] == 14 || text[i] == 18;
            if (cut) {
                out.push_back(text.substr(start, i - start));
                start = i;
            }
        }
    }
    return out;
}

std::string Deflate(const std::string& text)
{
    return DeflateRaw(text, 9, 9);
}

const Corpus& TheCorpus()
{
    static Corpus c = [] {
        Corpus c;
        const std::vector<std::string> paragraphs = Paragraphs();
        std::mt19937 rng(2024);
        const HuffEncoder encoder;
        X6Writer writer;
        while (c.texts.size() < 4000) {
            std::string t;
            const size_t target = 1000 + rng() % 11000;
            while (t.size() < target)
                t += paragraphs[rng() % paragraphs.size()];
            auto packed = encoder.Pack(t);
            if (!packed)
                continue;
            X6Record r;
            r.text = t;
            c.offsets.push_back(writer.Add(r));
            c.huffBytes += packed->size();
            c.huffPacked.push_back(std::move(*packed));
            c.zlibPacked.push_back(Deflate(t));
            c.zlibBytes += c.zlibPacked.back().size();
            c.textBytes += t.size();
            c.texts.push_back(std::move(t));
        }
        char name[] = "/tmp/bench_packed_text_XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        c.x6Path = name;
        writer.WriteTo(c.x6Path);
        return c;
    }();
    return c;
}

void Report(benchmark::State& state, const Corpus& c, size_t packed)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.textBytes));
    state.counters["text_MB"] = static_cast<double>(c.textBytes) / 1e6;
    state.counters["packed_MB"] = static_cast<double>(packed) / 1e6;
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(c.textBytes);
}

// The reader's path: every record of the X6 file in sequence.
void BM_X6ReadRecords(benchmark::State& state)
{
    const Corpus& c = TheCorpus();
    TPackedTextFile reader;
    if (!OpenPackedText(reader, c.x6Path)) {
        state.SkipWithError("cannot open the X6 file");
        return;
    }
    std::string text;
    for (auto _ : state) {
        int64_t offset = kPackedHeaderSize;
        for (size_t i = 0; i < c.offsets.size(); ++i) {
            if (ReadPackedRecord(reader, text, offset) != 0) {
                state.SkipWithError("a record did not decode");
                return;
            }
            offset = reader.nextOffset;
        }
        benchmark::DoNotOptimize(text.data());
    }
    Report(state, c, c.huffBytes);
}
BENCHMARK(BM_X6ReadRecords)->Unit(benchmark::kMillisecond);

// The decoder alone, packed bytes already in memory.
void BM_HuffDecodeMemory(benchmark::State& state)
{
    const Corpus& c = TheCorpus();
    std::string text;
    for (auto _ : state) {
        for (size_t i = 0; i < c.texts.size(); ++i)
            UnpackRecordText(c.huffPacked[i], static_cast<uint32_t>(c.texts[i].size()), text);
        benchmark::DoNotOptimize(text.data());
    }
    Report(state, c, c.huffBytes);
}
BENCHMARK(BM_HuffDecodeMemory)->Unit(benchmark::kMillisecond);

// The reference tree walk the readers used before the table decoder: kept
// as the figure the table decoder is compared with.
void BM_TreeWalkMemory(benchmark::State& state)
{
    const Corpus& c = TheCorpus();
    std::string text;
    for (auto _ : state) {
        for (size_t i = 0; i < c.texts.size(); ++i)
            UnpackRecordTextByTreeWalk(c.huffPacked[i], static_cast<uint32_t>(c.huffPacked[i].size()),
                                       static_cast<uint32_t>(c.texts[i].size()), text, ProgramHuffTables(),
                                       UnpackLengths::AnyWithinSlack);
        benchmark::DoNotOptimize(text.data());
    }
    Report(state, c, c.huffBytes);
}
BENCHMARK(BM_TreeWalkMemory)->Unit(benchmark::kMillisecond);

// Both decoders on every compressed record of the data folder
// (QEVW_BENCH_DATA, else the build's demo set): an error names the first
// record where they differ.
void BM_DataSetDecodersAgree(benchmark::State& state)
{
    const char* env = std::getenv("QEVW_BENCH_DATA");
    const std::string folder = env ? env : QEVW_BENCH_DEFAULT_DATA;
    DecoderComparison c;
    for (auto _ : state)
        c = CompareDecodersInFolder(folder);
    if (!c.firstDifference.empty()) {
        state.SkipWithError(("the decoders differ: " + c.firstDifference).c_str());
        return;
    }
    if (c.records == 0) {
        state.SkipWithError(("no compressed records in " + folder).c_str());
        return;
    }
    state.counters["files"] = c.files;
    state.counters["records"] = static_cast<double>(c.records);
    state.counters["text_MB"] = static_cast<double>(c.textBytes) / 1e6;
}
BENCHMARK(BM_DataSetDecodersAgree)->Unit(benchmark::kMillisecond)->Iterations(1);

// zlib inflate of the same texts, one raw deflate stream each.
void BM_ZlibInflateMemory(benchmark::State& state)
{
    const Corpus& c = TheCorpus();
    std::string text;
    z_stream z{};
    inflateInit2(&z, -MAX_WBITS);
    for (auto _ : state) {
        for (size_t i = 0; i < c.texts.size(); ++i) {
            text.resize(c.texts[i].size());
            inflateReset(&z);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(c.zlibPacked[i].data()));
            z.avail_in = static_cast<uInt>(c.zlibPacked[i].size());
            z.next_out = reinterpret_cast<Bytef*>(text.data());
            z.avail_out = static_cast<uInt>(text.size());
            if (inflate(&z, Z_FINISH) != Z_STREAM_END) {
                state.SkipWithError("inflate failed");
                break;
            }
        }
        benchmark::DoNotOptimize(text.data());
    }
    inflateEnd(&z);
    Report(state, c, c.zlibBytes);
}
BENCHMARK(BM_ZlibInflateMemory)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
