// A data update of a large data set over loopback, part by part, each part
// against a peer measured in the same run:
//   download    RunDataUpdate's download (HttpDownloadToFile into the
//               private folder, size check)  -  plain libcurl into a file
//   unpacking   UnzipAll (each entry whole, CRC checked, synced)  -  the
//               unzip program ("unzip -q -o")
//   data test   the data test (ManifestDiffs over the manifest)  -  zlib's
//               crc32 over the same files
//   saving      StatSaveProducts of a run table of 100,000 codes into an
//               existing store of 100,000  -  SQLite upserting the same
//               counts in one transaction
// and the peak memory of the process (VmHWM) while it updates.
//
//   QEVW_BENCH_DATA=build/scale-data build/tools/bench_data_update [ROUNDS]
//
// Prints one line per part: both medians, MB/s where it applies, the ratio
// (ours / peer, time), and the load average at the start and the end.

#include <curl/curl.h>
#include <zlib.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#ifdef QEVW_HAVE_SQLITE
#include <sqlite3.h>
#endif

#include "bench_support.h"
#include "datastore/manifest.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "maintenance/data_update.h"
#include "maintenance/download_folder.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/usage_stats.h"
#include "maintenance/version_folders.h"
#include "platform/file_saver.h"
#include "support/http_test_server.h"
#include "writers/zip_writer.h"

namespace {

using bench::Clock;
using bench::Ms;

// A file of /proc (its size reads 0, so it is read as a stream).
std::string ProcText(const char* path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LoadAverage()
{
    const std::string s = ProcText("/proc/loadavg");
    return s.substr(0, s.find(' ', s.find(' ', s.find(' ') + 1) + 1));
}

// Starts the peak anew (making the package above holds whole files).
void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

long PeakKb()
{
    const std::string s = ProcText("/proc/self/status");
    const size_t at = s.find("VmHWM:");
    return at == std::string::npos ? 0 : std::atol(s.c_str() + at + 6);
}

double Median(std::vector<double> v)
{
    return bench::Percentile(std::move(v), 0.5);
}

void Line(const char* part, double oursMs, double peerMs, const char* peer, double mb)
{
    std::printf("%-10s ours %9.1f ms", part, oursMs);
    if (mb > 0)
        std::printf(" (%7.1f MB/s)", mb / (oursMs / 1000));
    std::printf("   %-14s %9.1f ms", peer, peerMs);
    if (mb > 0)
        std::printf(" (%7.1f MB/s)", mb / (peerMs / 1000));
    std::printf("   ratio %.2f\n", oursMs / peerMs);
}

size_t ToFile(char* data, size_t size, size_t count, void* user)
{
    return std::fwrite(data, size, count, static_cast<FILE*>(user)) * size;
}

double CurlDownload(const std::string& url, const std::string& path)
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

double UnzipProgram(const std::string& package, const std::string& folder)
{
    QDir(QString::fromStdString(folder)).removeRecursively();
    const auto t0 = Clock::now();
    QProcess p;
    p.start("unzip", {"-q", "-o", QString::fromStdString(package), "-d", QString::fromStdString(folder)});
    p.waitForFinished(-1);
    return Ms(t0, Clock::now());
}

// crc32 over every file the manifest lists.
double CrcOfFiles(const std::string& folder, int64_t& bytes)
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

#ifdef QEVW_HAVE_SQLITE
double SqliteUpsert(const std::string& path, const std::vector<std::pair<uint32_t, uint32_t>>& counts)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS uses(code INTEGER PRIMARY KEY, n INTEGER)", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* up = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO uses(code, n) VALUES(?1, ?2) ON CONFLICT(code) DO UPDATE SET "
                       "n = min(255, n + excluded.n)",
                       -1, &up, nullptr);
    const auto t0 = Clock::now();
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (const auto& [code, n] : counts) {
        sqlite3_bind_int64(up, 1, code);
        sqlite3_bind_int64(up, 2, n);
        sqlite3_step(up);
        sqlite3_reset(up);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double ms = Ms(t0, Clock::now());
    sqlite3_finalize(up);
    sqlite3_close(db);
    return ms;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string data = bench::DataFolder();
    const std::string load0 = LoadAverage();
    testhttp::ProxyEnvironmentGuard proxies;
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString() + "/";
    const std::string base = root + "base/";
    const std::string running = base + "KALVO_26.1c/";
    QDir().mkpath(QString::fromStdString(running));
    WriteFileAtomic(running + "qevw", "#!/bin/sh\n");

    // The package: every file of the data folder, deflated.
    std::printf("data %s\n", data.c_str());
    QDir().mkpath(QString::fromStdString(root + "out"));
    const std::string package = root + "out/kalvo263a.zip";
    {
        ZipWriter zip(package);
        for (const FolderEntry& e : ListFolder(data))
            if (e.kind == FolderEntry::Kind::File)
                zip.Add({e.name, "", data + e.name, true, 0644});
        if (!zip.Finish()) {
            std::fprintf(stderr, "%s\n", zip.Error().c_str());
            return 1;
        }
    }
    const double packageMb = static_cast<double>(FileSize(package)) / 1e6;
    // The server in a process of its own, so that the peak memory is the
    // update's alone.
    QProcess serve;
    serve.start(QString::fromStdString(std::string(QEVW_BENCH_DEFAULT_PROGRAM) + "/../tools/update_kit"),
                {"serve", QString::fromStdString(root + "out"), "0"});
    std::string banner;
    while (banner.find('\n') == std::string::npos && serve.waitForReadyRead(10000))
        banner += serve.readLine().toStdString();
    const size_t colon = banner.find("127.0.0.1:");
    if (colon == std::string::npos) {
        std::fprintf(stderr, "update_kit serve did not start: %s\n", banner.c_str());
        return 1;
    }
    const std::string address = "127.0.0.1:" + std::to_string(std::atoi(banner.c_str() + colon + 10));

    InstallHttpServices();
    StartValues& s = ProgramStart();
    s.ProgramFolder = running;
    s.SharedRoot = base;
    LoadTextTable(UiTexts, std::string(QEVW_BENCH_DEFAULT_PROGRAM) + "/qevw.ces");
    Config().SetPaths(root + "kalvo.ini", "");
    SetDownloadFolderOverride(root + "download");
    ReplaceEndpoints(Endpoints{address, address, address, "127.0.0.1", address, address});
    UpdateServices hooks = CurrentUpdateServices();
    hooks.isOnline = [] { return 2; };
    SetUpdateServices(hooks);

    ResetPeak();
    std::map<std::string, Clock::time_point> at;
    SetUpdateStepHook([&at](std::string_view step) { at[std::string(step)] = Clock::now(); });
    std::vector<double> download, unzip, test, total, curl, unzipPeer, crc;
    int64_t testBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        QDir(QString::fromStdString(base + "KALVO_26.1c3a")).removeRecursively();
        QDir(QString::fromStdString(root + "download")).removeRecursively();
        UpdateShared().SetChosenPackage("kalvo263a.zip", FileSize(package));
        at.clear();
        std::string message;
        const auto t0 = Clock::now();
        updates::RunDataUpdate(message);
        total.push_back(Ms(t0, Clock::now()));
        if (!message.empty()) {
            std::fprintf(stderr, "update failed: %s\n", message.c_str());
            return 1;
        }
        download.push_back(Ms(at["download"], at["unzip"]));
        unzip.push_back(Ms(at["unzip"], at["copy"]));
        test.push_back(Ms(at["test"], at["done"]));
        curl.push_back(CurlDownload("http://" + address + "/files/kalvo263a.zip", root + "curl.zip"));
        unzipPeer.push_back(UnzipProgram(package, root + "unzip/"));
        crc.push_back(CrcOfFiles(base + "KALVO_26.1c3a/", testBytes));
    }
    const double unpackedMb = static_cast<double>(FolderSizeEstimate(base + "KALVO_26.1c3a/")) / 1e6;
    const long updatePeak = PeakKb();

    // A product table of 100,000 codes saved into a store of 100,000.
    const std::string stats = root + "stats/";
    SetStatisticsFolderOverride(stats);
    std::vector<std::pair<uint32_t, uint32_t>> counts;
    for (uint32_t i = 0; i < 100000; ++i)
        counts.emplace_back(1000000 + i * 37, 1 + i % 7);
    std::vector<double> save, upsert;
    for (int r = 0; r < rounds + 1; ++r) {
        for (const auto& [code, n] : counts) {
            char text[8];
            std::snprintf(text, sizeof text, "%07u", code);
            for (uint32_t k = 0; k < n; ++k)
                updates::StatCountProduct(text);
        }
        const auto t0 = Clock::now();
        updates::StatSaveProducts(running);
        if (r > 0) // the first round makes the store
            save.push_back(Ms(t0, Clock::now()));
#ifdef QEVW_HAVE_SQLITE
        const double ms = SqliteUpsert(root + "uses.sqlite", counts);
        if (r > 0)
            upsert.push_back(ms);
#endif
    }

    std::printf("package %.1f MB, unpacked %.1f MB, data test over %.1f MB, %d rounds\n", packageMb,
                unpackedMb, static_cast<double>(testBytes) / 1e6, rounds);
    Line("download", Median(download), Median(curl), "libcurl", packageMb);
    Line("unpacking", Median(unzip), Median(unzipPeer), "unzip", unpackedMb);
    Line("data test", Median(test), Median(crc), "zlib crc32", static_cast<double>(testBytes) / 1e6);
#ifdef QEVW_HAVE_SQLITE
    Line("saving", Median(save), Median(upsert), "SQLite upsert", 0);
#endif
    std::printf("whole update %.1f ms; peak memory %ld kB during the updates, %ld kB at the end\n",
                Median(total), updatePeak, PeakKb());
    std::printf("load average %s at the start, %s at the end\n", load0.c_str(), LoadAverage().c_str());
    serve.kill();
    serve.waitForFinished();
    return 0;
}
