// Installer mode's page and its workers: the rules of the page (line filter,
// sizes, estimate, buttons, tick cadence, commands by state), runs over fake
// services driven by ticks (every way a run can fail ends in step 7 with the
// launcher untouched), and a run with the real workers over a loopback
// server.  Pictures of every step go to build/screenshots.

#include <QDir>
#include <QImage>

#include <chrono>
#include <thread>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "frame/pages/page_events.h"
#include "maintenance/folder_log.h"
#include "maintenance/http_client.h"
#include "maintenance/installer_page.h"
#include "maintenance/installer_workers.h"
#include "platform/gui/canvas.h"
#include "platform/gui/shell.h"
#include "tests/maintenance/update_test_support.h"
#include "tests/support/gui_app.h"
#include "writers/zip_writer.h"

using namespace updatetest;

namespace {

std::string ScreenshotFolder()
{
    const std::string dir = std::string(QEVW_BINARY_DIR) + "/screenshots/";
    QDir().mkpath(QString::fromStdString(dir));
    return dir;
}

TEST(InstallerRules, CheckLinesAreFilteredAndJudged)
{
    struct Case {
        std::vector<std::string> lines;
        std::vector<std::string> kept;
        bool failed;
    } cases[] = {
        {{"ver=1", "date=2", "a.dat OK", "b.dat OK"}, {"ver=1", "date=2"}, false},
        {{"ver=1", "date=2", "a.dat OK", "!! Bad CRC b.dat: 1 # 2,3"},
         {"ver=1", "date=2", "!! Bad CRC b.dat: 1 # 2,3"},
         true},
        {{"ver=1", "date=2", "!! files x", " a note"}, {"ver=1", "date=2", "!! files x", " a note"}, false},
        {{"x OK", "y OK", "z OK"}, {"x OK", "y OK"}, false},
        {{}, {}, false},
    };
    for (const Case& c : cases) {
        const std::vector<std::string> kept = FilterCheckLines(c.lines);
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(CheckLinesFailed(kept), c.failed);
    }
}

TEST(InstallerRules, SizesEstimateAndButtons)
{
    EXPECT_EQ(PackageMegabytes(1048575), 1);
    EXPECT_EQ(PackageMegabytes(0), 0);
    EXPECT_EQ(PackageMegabytes(300 * 1024), 0);
    EXPECT_EQ(PackageMegabytes(400 * 1024), 1);

    const double second = 1.0 / 86400;
    double start = 0;
    EXPECT_EQ(DownloadEstimate(start, 100.0, 0, 100), "");
    EXPECT_EQ(start, 100.0);
    EXPECT_EQ(DownloadEstimate(start, 100.0 + second, 1, 100), " oo") << "not a hundredth yet";
    EXPECT_EQ(DownloadEstimate(start, 100.0 + 10 * second, 50, 100), "11 sec");
    EXPECT_EQ(DownloadEstimate(start, 100.0 + 1000 * second, 10, 100), "150 min");

    const std::vector<InstallerButton> buttons{{{10, 10, 50, 30}, 27}, {{60, 10, 100, 30}, 23}};
    struct Case {
        Point p;
        int32_t code;
    } cases[] = {{{30, 20}, 27}, {{80, 20}, 23}, {{10, 20}, 0},  {{50, 20}, 0}, {{30, 10}, 0},
                 {{30, 30}, 0},  {{55, 20}, 0},  {{11, 11}, 27}, {{99, 29}, 23}};
    for (const Case& c : cases)
        EXPECT_EQ(InstallerButtonAt(buttons, c.p), c.code) << c.p.x << "," << c.p.y;
    EXPECT_TRUE(IsInstallablePackage("kalvo261c.zip"));
    for (const char* bad : {"", "kalvo261c", "../x.zip", "KALVO261C.ZIP", "kalvo261c.zip.part"})
        EXPECT_FALSE(IsInstallablePackage(bad)) << bad;
}

// A world for the page: the update fixture's base, the running folder
// KALVO_26.1c, its package on the loopback server, the installer log open
// as installer mode opens it.
class InstallerPage : public UpdateFixture {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        UpdateFixture::SetUp();
        canvas = std::make_unique<ImageCanvas>(900, 500);
        services = RealInstallerServices();
        InstallerLogHandle& h = InstallerLog();
        std::lock_guard lock(h.mutex);
        ASSERT_EQ(h.log.Open(running + kInstallerLogName), 0);
        UpdateShared().SetChosenPackage("kalvo261c.zip");
        ProgramPackage();
    }
    void TearDown() override
    {
        page.reset();
        {
            InstallerLogHandle& h = InstallerLog();
            std::lock_guard lock(h.mutex);
            h.log.Close();
        }
        UpdateFixture::TearDown();
    }

    // The package: the running folder's manifest and one data file, as the
    // demo has them, so the data test passes.
    void ProgramPackage()
    {
        std::vector<ZipWriterEntry> entries;
        for (const char* name : {kManifestName, "qevw"}) {
            ZipWriterEntry e;
            e.name = name;
            e.data = ReadBytes(running + name);
            entries.push_back(e);
        }
        package = BuildZip(entries);
    }
    void Offer(const std::string& name, const std::string& bytes)
    {
        Publish({{name, bytes}});
        UpdateShared().SetChosenPackage(name);
    }

    void MakePage()
    {
        page = std::make_unique<TInstWin>(state, *canvas, 900, 500, nullptr, services);
        TInstWin::Calls& c = page->PageCalls();
        c.end = [this](int code) { ended.push_back(code); };
        c.ask = [this](std::string_view) {
            ++asked;
            return answer;
        };
        c.openAbout = [this] { ++abouts; };
        c.openNetSettings = [this] {
            ++networks;
            return true;
        };
    }
    // Ticks (40 ms apart in the program) until the condition holds.
    bool Drive(const std::function<bool()>& until, int ms = 20000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            page->Tick();
            QCoreApplication::processEvents();
            if (until())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return until();
    }
    bool Finished()
    {
        const uint16_t s = page->Installer().step.load();
        return (s == InstallStep::Finished || s == InstallStep::Failed) && !page->InstallerRunning();
    }
    std::string Log() const { return ReadBytes(running + kInstallerLogName); }
    void Shot(const std::string& name, int w = 900, int h = 500)
    {
        ImageCanvas c(w, h);
        page->width = w;
        page->height = h;
        page->canvas = &c;
        page->Paint();
        EXPECT_TRUE(c.Image().save(QString::fromStdString(ScreenshotFolder() + name + ".png")));
        page->canvas = canvas.get();
        page->width = 900;
        page->height = 500;
    }

    PageState state;
    std::unique_ptr<ImageCanvas> canvas;
    InstallerServices services;
    std::unique_ptr<TInstWin> page;
    std::string package;
    std::vector<int> ended;
    int asked = 0, abouts = 0, networks = 0, answer = 6;
};

TEST_F(InstallerPage, RealWorkersInstallAndSwitchTheLauncher)
{
    // An installation of the old layout: the launcher names an older folder,
    // an old program folder lies beside, and a folder that only looks alike.
    ASSERT_EQ(WriteLauncher(base, "KALVO_25.4a", QuickFileSystem()), 0);
    QDir().mkpath(QString::fromStdString(base + "win7.1"));
    QDir().mkpath(QString::fromStdString(base + "winter"));
    WriteBytes(base + "win7.1/qevw.exe", "old");
    Offer("kalvo261c.zip", package);
    MakePage();
    Shot("installer_step1_online");
    ASSERT_TRUE(Drive([this] { return Finished(); })) << page->Installer().step.load();
    EXPECT_EQ(page->Installer().step.load(), InstallStep::Finished) << page->Installer().Result(3);
    EXPECT_EQ(page->Installer().state.load(), InstallState::Installed);
    EXPECT_EQ(ReadLauncherTarget(base + kLauncherName), "KALVO_26.1c/");
    EXPECT_FALSE(FileExists(running + kInstallerLogName)) << "a complete folder";
    EXPECT_FALSE(FolderExists(base + "win7.1"));
    EXPECT_TRUE(FolderExists(base + "winter"));
    EXPECT_EQ(ReadBytes(download + "kalvo261c.zip"), package) << "kept after success";
    Shot("installer_step6");
    Shot("installer_step6_narrow", 500, 800);

    RecordingShell shell;
    ScopedShell scoped(&shell);
    page->HandleEvent(13, PageShift::Typed);
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].target.toStdString(), base + kLauncherName);
    EXPECT_TRUE(shell.Calls()[0].arguments.isEmpty());
    EXPECT_EQ(ended, std::vector<int>{0});
}

TEST_F(InstallerPage, PackageOfTheRightSizeIsNotFetchedAgain)
{
    const std::string big(1048575, 'x');
    Offer("kalvo261c.zip", big);
    WriteBytes(download + "kalvo261c.zip", big);
    services.unzip = [](const std::string&, const std::string&, const UnzipProgress&) {
        return UnzipResult{};
    };
    services.checkData = [](const std::string&, const ManifestReport&) {};
    MakePage();
    ASSERT_TRUE(Drive([this] { return Finished(); }));
    EXPECT_EQ(page->Installer().Detail(InstallStep::Download), "kalvo261c.zip: 1 MB");
    for (const std::string& t : Targets())
        EXPECT_NE(t, "/files/kalvo261c.zip") << "downloaded again";
}

TEST_F(InstallerPage, EveryFailureEndsInStepSevenAndKeepsTheLauncher)
{
    const std::string launcher = ReadBytes(base + kLauncherName);
    std::string flipped = package;
    flipped[flipped.size() / 3] ^= 0x5A;
    struct Case {
        const char* name;
        std::string served;
        std::function<void(InstallerServices&, int32_t& online)> change;
        int32_t state;
        const char* inResult;
        const char* inLog;
    } cases[] = {
        {"short",
         package.substr(0, package.size() - 10),
         {},
         InstallState::DownloadFailed,
         "size dif",
         "6 where:"},
        {"offline", package.substr(0, 5),
         [](InstallerServices& s, int32_t& online) {
             auto real = s.download;
             s.download = [real, &online](const std::string& u, const std::string& t,
                                          const std::function<void(int64_t)>& p) {
                 const int rc = real(u, t, p);
                 online = 0;
                 return rc;
             };
         },
         InstallState::DownloadFailed, "", "6 where:"},
        {"crc", flipped, {}, InstallState::WorkerFailed, " error ", "E: "},
        {"data test", package,
         [](InstallerServices& s, int32_t&) {
             s.checkData = [](const std::string&, const ManifestReport& report) {
                 for (const char* l :
                      {"ver=26.1c", "date=1.1.2026", "kalvo.kvo OK", "!! Bad CRC x.dat: 1 # 2,3"})
                     report(l);
             };
         },
         InstallState::DataTestFailed, "", "4: --KO"},
        {"exception", package,
         [](InstallerServices& s, int32_t&) {
             s.unzip = [](const std::string&, const std::string&, const UnzipProgress&) -> UnzipResult {
                 throw std::runtime_error("boom");
             };
         },
         InstallState::WorkerFailed, "boom", "E: boom"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        online = 2;
        services = RealInstallerServices();
        if (c.change)
            c.change(services, online);
        QFile::remove(QString::fromStdString(download + "kalvo261c.zip"));
        ResetUpdateState();
        // The list gives the package's real size, whatever is served.
        server.SetBody("/files/kalvo261c.zip", c.served);
        server.SetBody("/files/list.txt", "kalvo261c.zip," + std::to_string(package.size()) + "\r\n");
        UpdateShared().SetChosenPackage("kalvo261c.zip");
        {
            InstallerLogHandle& h = InstallerLog();
            std::lock_guard lock(h.mutex);
            ASSERT_EQ(h.log.Open(running + kInstallerLogName), 0);
        }
        MakePage();
        ASSERT_TRUE(Drive([this] { return Finished(); }));
        EXPECT_EQ(page->Installer().step.load(), InstallStep::Failed);
        EXPECT_EQ(page->Installer().stepCount.load(), 4);
        EXPECT_EQ(page->Installer().state.load(), c.state);
        const std::string result =
            page->Installer().Result(2) + page->Installer().Result(3) + page->Installer().Result(4);
        EXPECT_NE(result.find(c.inResult), std::string::npos) << result;
        EXPECT_NE(Log().find(c.inLog), std::string::npos) << Log();
        EXPECT_EQ(ReadBytes(base + kLauncherName), launcher);
        EXPECT_FALSE(FileExists(download + "kalvo261c.zip")) << "a retry downloads anew";
        if (c.state == InstallState::DataTestFailed)
            EXPECT_NE(Log().find("!! Bad CRC x.dat"), std::string::npos);
        if (std::string(c.name) == "crc")
            Shot("installer_step7");
        page->HandleEvent(27, PageShift::Typed);
        EXPECT_EQ(ended.back(), 2);
        EXPECT_EQ(asked, 0) << "step 7 stops at once";
        page.reset();
    }
}

TEST_F(InstallerPage, CopierStartsTheCopyOnceOrFails)
{
    // The package of another version folder: the program copies itself there.
    const std::string launcher = ReadBytes(base + kLauncherName);
    struct Case {
        const char* name;
        std::string package;
        int shellAnswer;
        bool folderInTheWay;
        std::string copyFails;
        int32_t state;
        const char* errorKey; // of section "Chyby"
    } cases[] = {
        {"started", "kalvo262a.zip", ShellResult::Started, false, "", InstallState::CopyStarted, ""},
        {"not a version folder", "kalvo26.zip", ShellResult::Started, false, "", InstallState::WorkerFailed,
         "WrPath"},
        {"folder in the way", "kalvo262a.zip", ShellResult::Started, true, "", InstallState::WorkerFailed,
         "PathNew"},
        {"copy fails", "kalvo262a.zip", ShellResult::Started, false, "/x/qevw", InstallState::WorkerFailed,
         "FileSave"},
        {"start fails", "kalvo262a.zip", ShellResult::NotFound, false, "", InstallState::WorkerFailed,
         "Exec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QString::fromStdString(base + "KALVO_26.2a")).removeRecursively();
        QFile::remove(QString::fromStdString(base + "KALVO_26.2a"));
        if (c.folderInTheWay)
            WriteBytes(base + "KALVO_26.2a", "a file");
        ResetUpdateState();
        Offer(c.package, package);
        services = RealInstallerServices();
        int starts = 0;
        services.shellOpen = [&](const std::string&, const std::vector<std::string>& args) {
            ++starts;
            EXPECT_EQ(args, std::vector<std::string>{"/q=inst"});
            return c.shellAnswer;
        };
        if (!c.copyFails.empty())
            services.copyProgramFiles = [&](const std::string&, const std::string&) { return c.copyFails; };
        MakePage();
        ASSERT_TRUE(Drive([&] {
            return page->Installer().state.load() == c.state && page->WaitWorkers(0) &&
                   (c.state != InstallState::CopyStarted || page->Stopped());
        }));
        for (int i = 0; i < 50; ++i)
            page->Tick();
        EXPECT_LE(starts, 1);
        const std::string text = KamToWin(ProgramText("Chyby", c.errorKey)) + c.copyFails;
        if (c.state == InstallState::CopyStarted) {
            EXPECT_EQ(ended, std::vector<int>{0});
            EXPECT_TRUE(FileExists(base + "KALVO_26.2a/qevw"));
            EXPECT_EQ(PublishedProgramType(), 0) << "takes no request any more";
        } else {
            EXPECT_EQ(page->Installer().step.load(), InstallStep::Failed);
            const std::string r = page->Installer().Result(2);
            EXPECT_NE(r.find(" error " + text), std::string::npos) << r;
        }
        if (std::string(c.name) == "start fails")
            EXPECT_EQ(ReadBytes(base + "KALVO_26.2a/" + kInstallerLogName), "error Exec 2\r\n");
        EXPECT_EQ(ReadBytes(base + kLauncherName), launcher);
        page.reset();
        ended.clear();
    }
}

TEST_F(InstallerPage, CommandsByState)
{
    MakePage();
    Shot("installer_step1_offline_wide", 1200, 500);
    struct Case {
        int32_t state;
        uint16_t step;
        int32_t code;
        uint8_t shift;
        int answer;
        int abouts, networks, asked;
        bool stopped;
    } cases[] = {
        {InstallState::Ready, 1, 15, PageShift::None, 6, 0, 0, 0, false}, // the wheel
        {InstallState::Ready, 1, 15, PageShift::Typed, 6, 1, 0, 0, false},
        {InstallState::Ready, 1, 23, PageShift::Typed, 6, 0, 1, 0, false},
        {InstallState::Ready, 1, 23, PageShift::Ctrl, 6, 0, 0, 0, false},
        {InstallState::Downloading, 2, 27, PageShift::Typed, 7, 0, 0, 1, false},
        {InstallState::Unpacking, 3, 27, PageShift::Typed, 6, 0, 0, 1, true},
        {InstallState::Ready, 1, 27, PageShift::Typed, 6, 0, 0, 0, true},
        {InstallState::NoPackage, 1, 13, PageShift::Typed, 6, 0, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.state) + " " + std::to_string(c.code));
        MakePage();
        page->Installer().state = c.state;
        page->Installer().step = c.step;
        answer = c.answer;
        abouts = networks = asked = 0;
        ended.clear();
        page->HandleEvent(c.code, c.shift);
        EXPECT_EQ(abouts, c.abouts);
        EXPECT_EQ(networks, c.networks);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(page->Stopped(), c.stopped);
        if (c.stopped)
            EXPECT_EQ(ended, std::vector<int>{2});
        EXPECT_FALSE(page->InstallerRunning());
    }
}

TEST_F(InstallerPage, NoPackageWaitsForTheNetworkSettings)
{
    Publish({{"kalvo999z.zip", "x"}});
    MakePage();
    ASSERT_TRUE(Drive([this] { return page->Installer().state.load() == InstallState::NoPackage; }));
    EXPECT_EQ(page->Installer().step.load(), InstallStep::Waiting);
    page->Paint();
    ASSERT_EQ(page->Buttons().size(), 2u) << "stop and network";
    Shot("installer_no_package");
    page->HandleEvent(13, PageShift::Typed);
    EXPECT_FALSE(page->InstallerRunning());
    page->HandleEvent(23, PageShift::Typed);
    EXPECT_EQ(page->Installer().state.load(), InstallState::Ready);
}

TEST_F(InstallerPage, TickCadence)
{
    MakePage();
    int fetches = 0;
    page->PageCalls().startGetList = [&] { ++fetches; };
    online = 2;
    std::vector<int> seen;
    for (int n = 1; n <= 12; ++n) {
        page->repaint = false;
        page->Tick();
        seen.push_back(fetches);
    }
    // The work runs at ticks 1, 6 and 11.
    EXPECT_EQ(seen, (std::vector<int>{1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3}));
    EXPECT_EQ(page->Installer().state.load(), InstallState::Ready);
    EXPECT_EQ(page->Installer().progress.load(), 2) << "step 1 shows the online state";
}

TEST_F(InstallerPage, EscapeDuringAStalledDownloadEndsTheRun)
{
    SetHttpTimeouts(HttpTimeouts{});
    server.SetStall("/files/kalvo261c.zip", package.size());
    server.SetBody("/files/list.txt", "kalvo261c.zip," + std::to_string(package.size()) + "\r\n");
    MakePage();
    ASSERT_TRUE(Drive([this] { return page->Installer().state.load() == InstallState::Downloading; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Shot("installer_step2");
    const auto began = std::chrono::steady_clock::now();
    page->HandleEvent(27, PageShift::Typed);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ended, std::vector<int>{2});
    EXPECT_LT(seconds, 5.0);
    EXPECT_NE(Log().find("where:"), std::string::npos);
    page.reset();
    ResumeNetwork();
}

TEST_F(InstallerPage, PicturesOfTheSteps)
{
    MakePage();
    InstallerState& s = page->Installer();
    s.state = InstallState::Unpacking;
    s.step = InstallStep::Unpack;
    s.SetResult(2, "kalvo261c.zip");
    s.SetDetail(3, running);
    s.total = 40;
    s.progress = 13;
    s.AddMessage("kalvo.dat");
    Shot("installer_step3");
    Shot("installer_step3_narrow", 480, 800);
    s.state = InstallState::Testing;
    s.step = InstallStep::DataTest;
    s.SetResult(3, running);
    s.AddMessage("ver=26.1c");
    Shot("installer_step4");
    online = 0;
    s.state = InstallState::Ready;
    s.step = InstallStep::Waiting;
    s.progress = 0;
    page->Paint();
    EXPECT_EQ(page->Buttons().size(), 2u) << "offline: the network button";
    Shot("installer_step1_offline");
}

} // namespace
