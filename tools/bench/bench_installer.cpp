// Installer mode over loopback with a package of a large data set, each part
// against a peer measured in the same run:
//   download    the installer's download (HttpDownloadToFile into the
//               private folder, size check)  -  plain libcurl into a file
//   unpacking   the installer's unpacking (UnzipAll into the program
//               folder, each entry whole, CRC checked)  -  zlib inflating the
//               same entries from memory into files
//   data test   the installer's data test (DataManifest in check mode)  -
//               zlib's crc32 over the same files
//   paint       one paint of the installer page at 1920 x 1080 through the
//               canvas  -  QPainter drawing the same boxes and texts
// and the peak memory of the process (VmHWM) while it installs.
//
//   QEVW_BENCH_DATA=build/scale-data build/tools/bench_installer [ROUNDS]

#include <curl/curl.h>
#include <zlib.h>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "datastore/kamenici.h"
#include "datastore/manifest.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "maintenance/download_folder.h"
#include "maintenance/endpoints.h"
#include "maintenance/folder_log.h"
#include "maintenance/http_client.h"
#include "maintenance/installer_page.h"
#include "maintenance/installer_state.h"
#include "maintenance/installer_workers.h"
#include "maintenance/version_folders.h"
#include "platform/file_saver.h"
#include "platform/gui/canvas.h"
#include "support/http_test_server.h"
#include "update_bench.h"
#include "writers/zip_writer.h"
#include "zlib_peer.h"

namespace {

using bench::Clock;
using bench::Ms;
using namespace updatebench;

struct Deflated {
    std::string name;
    std::string data;
    size_t size = 0;
};

// zlib inflating every entry into its file.
double InflateAll(const std::vector<Deflated>& entries, const std::string& folder)
{
    QDir(QString::fromStdString(folder)).removeRecursively();
    QDir().mkpath(QString::fromStdString(folder));
    const auto t0 = Clock::now();
    std::string out;
    for (const Deflated& e : entries) {
        out.resize(e.size);
        z_stream z{};
        inflateInit2(&z, -MAX_WBITS);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(e.data.data()));
        z.avail_in = static_cast<uInt>(e.data.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        inflate(&z, Z_FINISH);
        inflateEnd(&z);
        FILE* f = std::fopen((folder + e.name).c_str(), "wb");
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
    return Ms(t0, Clock::now());
}

// The page of step 3 as the canvas draws it.
InstallerSnapshot PaintSnapshot(const std::string& folder)
{
    InstallerSnapshot s;
    s.step = InstallStep::Unpack;
    s.state = InstallState::Unpacking;
    s.progress = 123;
    s.total = 400;
    s.results[1] = "OK";
    s.results[2] = "kalvo261c.zip";
    s.details[3] = folder;
    s.lastMessage = "klnaz.sez";
    return s;
}

// The same boxes and texts straight through QPainter.
void PeerPaint(QImage& image, const QFont& font, const QFont& bold, int h,
               const std::vector<std::string>& labels, const std::string& panel, const std::string& tail)
{
    QPainter p(&image);
    p.fillRect(image.rect(), Qt::white);
    const int q = h / 4;
    int y = h;
    QFontMetrics metrics(font);
    int widest = 0;
    for (int n = 1; n <= 6; ++n) {
        const QColor fill = n > 3 ? QColor(0x99, 0x99, 0x99) : QColor(0x00, 0x88, 0x33);
        p.setBrush(fill);
        p.setPen(fill.lighter(120));
        p.drawEllipse(QRect(h, y, 2 * h + q, 2 * h + q));
        p.setFont(bold);
        p.setPen(Qt::white);
        p.drawText(h + 3 * q + 1, y + 2 * q + metrics.ascent(),
                   n < 3 ? QStringLiteral("o") : QString::number(n));
        p.setFont(font);
        p.setPen(Qt::black);
        const QString label = QString::fromLatin1(labels[size_t(n - 1)].c_str());
        p.drawText(h + 3 * h, y + 2 * q + metrics.ascent(), label);
        widest = std::max(widest, metrics.horizontalAdvance(label));
        y += 4 * h;
    }
    const int left = h + 2 * widest;
    int top = 2 * h + 2 * 4 * h;
    p.drawText(left, top + metrics.ascent(), QString::fromLatin1(panel.c_str()));
    top += h + q;
    p.fillRect(QRect(left, top, image.width() - h - left, 3), QColor(0xDD, 0xDD, 0xDD));
    p.fillRect(QRect(left, top, (image.width() - h - left) * 123 / 400, 3), QColor(0x00, 0x88, 0x33));
    top += 3 + q;
    p.drawText(left, top + metrics.ascent(), QString::fromLatin1(tail.c_str()));
    top += h + q;
    p.setFont(bold);
    const QString button = QStringLiteral("Konec");
    p.fillRect(QRect(left, top, QFontMetrics(bold).horizontalAdvance(button) + h + 3 * q, 2 * h + 3 * q),
               QColor(0x00, 0x88, 0x33));
    p.setPen(Qt::white);
    p.drawText(left + 3 * q, top + 3 * q + metrics.ascent(), button);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    BuildKamTables();
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string data = bench::DataFolder();
    const std::string load0 = LoadAverage();
    testhttp::ProxyEnvironmentGuard proxies;
    QTemporaryDir tmp;
    const std::string root = tmp.path().toStdString() + "/";
    const std::string base = root + "base/";
    const std::string running = base + "KALVO_26.1c/";

    // The package: every file of the data folder, deflated; the same entries
    // deflated in memory for the peer.
    std::printf("data %s\n", data.c_str());
    QDir().mkpath(QString::fromStdString(root + "out"));
    const std::string package = root + "out/kalvo261c.zip";
    std::vector<Deflated> entries;
    {
        ZipWriter zip(package);
        for (const FolderEntry& e : ListFolder(data)) {
            if (e.kind != FolderEntry::Kind::File)
                continue;
            zip.Add({e.name, "", data + e.name, true, 0644});
            std::string bytes;
            ReadWholeFile(data + e.name, bytes);
            entries.push_back({e.name, DeflateRaw(bytes, Z_DEFAULT_COMPRESSION, 8), bytes.size()});
        }
        if (!zip.Finish()) {
            std::fprintf(stderr, "%s\n", zip.Error().c_str());
            return 1;
        }
    }
    const double packageMb = static_cast<double>(FileSize(package)) / 1e6;
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

    // The installer's parts timed inside its own run.
    InstallerServices services = RealInstallerServices();
    double downloadMs = 0, unzipMs = 0, testMs = 0;
    {
        auto download = services.download;
        services.download = [download, &downloadMs](const std::string& u, const std::string& t,
                                                    const std::function<void(int64_t)>& p) {
            const auto t0 = Clock::now();
            const int rc = download(u, t, p);
            downloadMs = Ms(t0, Clock::now());
            return rc;
        };
        auto unzip = services.unzip;
        services.unzip = [unzip, &unzipMs](const std::string& a, const std::string& f,
                                           const UnzipProgress& p) {
            const auto t0 = Clock::now();
            UnzipResult r = unzip(a, f, p);
            unzipMs = Ms(t0, Clock::now());
            return r;
        };
        auto check = services.checkData;
        services.checkData = [check, &testMs](const std::string& f, const ManifestReport& r) {
            const auto t0 = Clock::now();
            check(f, r);
            testMs = Ms(t0, Clock::now());
        };
    }
    const InstallerTextLookup text = [](const char* section, const char* key) {
        return KamToWin(ProgramText(section, key));
    };

    ResetPeak();
    std::vector<double> download, unzip, test, total, curl, inflatePeer, crc;
    int64_t testBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        QDir(QString::fromStdString(running)).removeRecursively();
        QDir(QString::fromStdString(root + "download")).removeRecursively();
        QDir().mkpath(QString::fromStdString(running));
        WriteFileAtomic(running + "qevw", "#!/bin/sh\n");
        UpdateShared().SetChosenPackage("kalvo261c.zip", FileSize(package));
        {
            InstallerLogHandle& h = InstallerLog();
            std::lock_guard lock(h.mutex);
            h.log.Open(running + kInstallerLogName);
        }
        InstallerState state;
        InstallerPlace place{running, base, "kalvo261c.zip", FileSize(package)};
        std::atomic<bool> stop{false};
        const auto t0 = Clock::now();
        RunInstaller(state, services, place, text, stop);
        total.push_back(Ms(t0, Clock::now()));
        if (state.step.load() != InstallStep::Finished) {
            std::fprintf(stderr, "installation failed in step %d, state %d: %s %s %s\n", state.step.load(),
                         state.state.load(), state.Result(2).c_str(), state.Result(3).c_str(),
                         state.Result(4).c_str());
            return 1;
        }
        download.push_back(downloadMs);
        unzip.push_back(unzipMs);
        test.push_back(testMs);
        curl.push_back(CurlDownload("http://" + address + "/files/kalvo261c.zip", root + "curl.zip"));
        inflatePeer.push_back(InflateAll(entries, root + "inflate/"));
        crc.push_back(CrcOfFiles(running, testBytes));
    }
    const double unpackedMb = static_cast<double>(FolderSizeEstimate(running)) / 1e6;
    const long installPeak = PeakKb();

    // One paint of the page at full HD, through the canvas and straight.
    ImageCanvas canvas(1920, 1080);
    InstallerPageInput in;
    in.chosenPackage = "kalvo261c.zip";
    in.expectedSize = FileSize(package);
    in.online = true;
    in.font = CanvasFont{"DejaVu Sans", 10};
    in.text = text;
    const InstallerSnapshot snapshot = PaintSnapshot(running);
    int h = 0;
    DrawInstallerPage(canvas, 1920, 1080, snapshot, in, h);
    std::vector<double> paint, peerPaint;
    std::vector<std::string> labels;
    for (int n = 1; n <= 6; ++n)
        labels.push_back(text("Inst", ("st" + std::to_string(n)).c_str()));
    QImage image(1920, 1080, QImage::Format_RGB32);
    QFont font(QStringLiteral("DejaVu Sans"), 10);
    QFont bold = font;
    bold.setBold(true);
    for (int r = 0; r < 200; ++r) {
        auto t0 = Clock::now();
        DrawInstallerPage(canvas, 1920, 1080, snapshot, in, h);
        canvas.EndPaint();
        paint.push_back(Ms(t0, Clock::now()));
        t0 = Clock::now();
        PeerPaint(image, font, bold, h, labels, text("Inst", "ac3") + running,
                  text("Inst", "dt3") + "klnaz.sez");
        peerPaint.push_back(Ms(t0, Clock::now()));
    }

    std::printf("package %.1f MB, unpacked %.1f MB, data test over %.1f MB, %d rounds\n", packageMb,
                unpackedMb, static_cast<double>(testBytes) / 1e6, rounds);
    Line("download", Median(download), Median(curl), "libcurl", packageMb);
    Line("unpacking", Median(unzip), Median(inflatePeer), "zlib inflate", unpackedMb);
    Line("data test", Median(test), Median(crc), "zlib crc32", static_cast<double>(testBytes) / 1e6);
    Line("paint", Median(paint), Median(peerPaint), "QPainter", 0);
    std::printf(
        "whole installation %.1f ms; peak memory %ld kB during the installations, %ld kB at the end\n",
        Median(total), installPeak, PeakKb());
    std::printf("load average %s at the start, %s at the end\n", load0.c_str(), LoadAverage().c_str());
    serve.kill();
    serve.waitForFinished();
    return 0;
}
