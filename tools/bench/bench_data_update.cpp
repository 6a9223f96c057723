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
#include "update_bench.h"
#include "writers/zip_writer.h"

namespace {

using bench::Clock;
using bench::Ms;
using namespace updatebench;

double UnzipProgram(const std::string& package, const std::string& folder)
{
    QDir(QString::fromStdString(folder)).removeRecursively();
    const auto t0 = Clock::now();
    QProcess p;
    p.start("unzip", {"-q", "-o", QString::fromStdString(package), "-d", QString::fromStdString(folder)});
    p.waitForFinished(-1);
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
