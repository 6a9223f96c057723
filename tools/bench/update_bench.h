#pragma once
// What the update benchmarks share: the peak memory and load average of
// the process, the result line of one part (ours against its peer), and the
// peers themselves: libcurl downloading into a file and zlib's crc32 over
// the files a manifest lists.

#include <curl/curl.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/fs.h"

namespace updatebench {

using bench::Clock;
using bench::Ms;

// A file of /proc (its size reads 0, so it is read as a stream).
inline std::string ProcText(const char* path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string LoadAverage()
{
    const std::string s = ProcText("/proc/loadavg");
    return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
}

// Starts the peak anew (making the package above holds whole files).
inline void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

inline long PeakKb()
{
    const std::string s = ProcText("/proc/self/status");
    const size_t at = s.find("VmHWM:");
    return at == std::string::npos ? 0 : std::atol(s.c_str() + at + 6);
}

inline double Median(std::vector<double> v)
{
    return bench::Percentile(std::move(v), 0.5);
}

inline void Line(const char* part, double oursMs, double peerMs, const char* peer, double mb)
{
    std::printf("%-10s ours %9.2f ms", part, oursMs);
    if (mb > 0)
        std::printf(" (%7.1f MB/s)", mb / (oursMs / 1000));
    std::printf("   %-14s %9.2f ms", peer, peerMs);
    if (mb > 0)
        std::printf(" (%7.1f MB/s)", mb / (peerMs / 1000));
    std::printf("   ratio %.2f\n", oursMs / peerMs);
}

inline size_t ToFile(char* data, size_t size, size_t count, void* user)
{
    return std::fwrite(data, size, count, static_cast<FILE*>(user)) * size;
}

inline double CurlDownload(const std::string& url, const std::string& path)
{
    const auto t0 = Clock::now();
    FILE* out = std::fopen(path.c_str(), "wb");
    CURL* h = curl_easy_init();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &ToFile);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, out);
    curl_easy_perform(h);
    curl_easy_cleanup(h);
    std::fclose(out);
    return Ms(t0, Clock::now());
}

// crc32 over every file the manifest lists.
inline double CrcOfFiles(const std::string& folder, int64_t& bytes)
{
    std::string manifest;
    ReadWholeFile(folder + "kalvo.kvo", manifest);
    std::vector<std::string> names;
    for (size_t at = 0; at < manifest.size();) {
        size_t end = manifest.find('\n', at);
        if (end == std::string::npos)
            end = manifest.size();
        const std::string line = manifest.substr(at, end - at);
        const size_t eq = line.find('=');
        if (line.find(',') != std::string::npos && eq != std::string::npos)
            names.push_back(line.substr(0, eq));
        at = end + 1;
    }
    bytes = 0;
    const auto t0 = Clock::now();
    std::vector<char> buf(1 << 20);
    for (const std::string& n : names) {
        FILE* f = std::fopen((folder + n).c_str(), "rb");
        if (!f)
            continue;
        uLong crc = crc32(0L, Z_NULL, 0);
        size_t got = 0;
        while ((got = std::fread(buf.data(), 1, buf.size(), f)) > 0) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(buf.data()), static_cast<uInt>(got));
            bytes += static_cast<int64_t>(got);
        }
        std::fclose(f);
        benchmark::DoNotOptimize(crc);
    }
    return Ms(t0, Clock::now());
}

} // namespace updatebench
