// Loopback download throughput of the HTTP client (HttpDownloadToFile: the
// settings copy, the temporary beside the target, the rename) against plain
// libcurl writing the same body to a file with fwrite, both from the same
// cpp-httplib server on 127.0.0.1 in the same run.
//
//   bench_http_download [--benchmark_filter=...]
//
// Counters: MB/s of body per second of wall time; CPU is the calling thread's
// time (the server's threads are not counted; they are the same for both).

#include <benchmark/benchmark.h>

#include <curl/curl.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "maintenance/http_client.h"
#include "support/http_test_server.h"

namespace {

constexpr size_t kBodyBytes = 64u << 20;

struct Fixture {
    testhttp::ProxyEnvironmentGuard env;
    testhttp::HttpTestServer server;
    std::string folder;
    Fixture()
    {
        std::string body(kBodyBytes, '\0');
        for (size_t i = 0; i < body.size(); ++i)
            body[i] = static_cast<char>((i * 2654435761u) >> 13);
        server.SetBody("/big", std::move(body));
        folder = (std::filesystem::temp_directory_path() / "qevw_bench_http").string() + "/";
        std::filesystem::create_directories(folder);
        InstallHttpServices();
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& Shared()
{
    static Fixture f;
    return f;
}

void BM_Client(benchmark::State& state)
{
    Fixture& f = Shared();
    const std::string url = f.server.Url("/big");
    for (auto _ : state) {
        const int code = HttpDownloadToFile(url, f.folder + "client.bin");
        if (code != 0)
            state.SkipWithError(("code " + std::to_string(code)).c_str());
    }
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(kBodyBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

size_t WriteToFile(char* data, size_t size, size_t count, void* user)
{
    return std::fwrite(data, size, count, static_cast<FILE*>(user)) * size;
}

void BM_PlainLibcurl(benchmark::State& state)
{
    Fixture& f = Shared();
    const std::string url = f.server.Url("/big");
    const std::string path = f.folder + "plain.bin";
    for (auto _ : state) {
        FILE* out = std::fopen(path.c_str(), "wb");
        CURL* h = curl_easy_init();
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteToFile);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, out);
        const CURLcode rc = curl_easy_perform(h);
        curl_easy_cleanup(h);
        std::fclose(out);
        if (rc != CURLE_OK)
            state.SkipWithError(curl_easy_strerror(rc));
    }
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(kBodyBytes) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_Client)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainLibcurl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
