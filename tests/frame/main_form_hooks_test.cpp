// The main window's calls out: served requests by program type, speed
// buttons, the maximal-dose timer, and the shut-down with its usage counters
// and the background loader.

#include "main_form_test_support.h"

#include <QTimer>
#include <QToolButton>

#include <fcntl.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

#include "frame/commands/toolbar.h"
#include "frame/config/placement_scheme.h"

using namespace main_test;

namespace {

class MainFormHooksTest : public MainFormFixture {};

TEST_F(MainFormHooksTest, ServedRequestsByProgramType)
{
    PageLog log;
    SetPageHooks(RecordingHooks(log));
    std::vector<std::string> requested;
    ViewerServices v;
    v.openRequestedItem = [&requested](const std::string& q) { requested.push_back(q); };
    SetViewerServices(v);
    auto w = MakeStarted();
    ASSERT_NE(w->Page(), nullptr);

    struct Case {
        uint8_t type;
        const char* query;
        std::vector<std::string> calls;
        bool requestedItem;
    };
    const std::vector<Case> cases = {
        {2, "|1=Obsah_|", {"GoToTopic Obsah_"}, false},
        {3, "|b=/tmp/list.txt|", {"OpenPassedList |b=/tmp/list.txt|"}, false},
        {3, "|a=0012345|", {}, true},
        {4, "|1=A01|", {"GoToCode A01"}, false},
        {5, "|b=shm1|", {"LoadListFromSource shm1"}, false},
        {5, "|1=0012345,0054321|", {"LoadListFromText |1=0012345,0054321|"}, false},
        {6, "|1=x|", {}, false},
        {7, "|1=B02|", {"GoToCode B02"}, false},
        {8, "|1=Uvod_|", {"GoToTopic Uvod_"}, false},
    };
    for (const Case& c : cases) {
        log.calls.clear();
        requested.clear();
        PublishProgramType(c.type);
        w->ServeStoredQuery(c.query);
        EXPECT_EQ(log.calls, c.calls) << int(c.type) << c.query;
        EXPECT_EQ(requested.size(), c.requestedItem ? 1u : 0u) << int(c.type) << c.query;
    }
}

TEST_F(MainFormHooksTest, EmptyHooksLeaveOneRunLogLineEach)
{
    auto w = MakeStarted();
    ClearRunLog();
    PublishProgramType(2);
    w->ServeStoredQuery("|1=x|");
    PublishProgramType(3);
    w->ServeStoredQuery("|a=1|");
    const std::string log = RunLogText();
    EXPECT_NE(log.find("GoToTopic: nothing registered"), std::string::npos) << log;
    EXPECT_NE(log.find("OpenRequestedItem: nothing registered"), std::string::npos) << log;
}

TEST_F(MainFormHooksTest, SpeedButtonsRunTheirCommands)
{
    std::vector<uint16_t> counted;
    UpdateServices u;
    u.statCount = [&counted](uint16_t key) { counted.push_back(key); };
    SetUpdateServices(u);
    std::vector<uint16_t> commands;
    MainEntryPoints e;
    e.executeCommand = [&commands](TDataForm*, uint16_t code, int32_t value) {
        EXPECT_EQ(value, 0);
        commands.push_back(code);
    };
    SetMainEntryPoints(e);
    auto w = MakeStarted();

    struct Case {
        uint8_t dataSet;
        uint32_t tag;
        int expected; // -1 none
    };
    const uint16_t dMA = StatCodeOfText("dMA"), dAK = StatCodeOfText("dAK"), sPW = StatCodeOfText("sPW");
    const Case cases[] = {
        {1, dMA, dMA},
        {2, dMA, StatCodeOfText("pMA")},
        {2, dAK, StatCodeOfText("pAR")},
        {4, dAK, dAK},
        {2, sPW, sPW},
        {1, 255, -1},
        {1, 0x10000 + dMA, -1},
    };
    for (const Case& c : cases) {
        commands.clear();
        counted.clear();
        w->DataSet = static_cast<DataSetCode>(c.dataSet);
        QToolButton b;
        b.setProperty("tag", c.tag);
        SpeedButtonClick(w.get(), &b);
        EXPECT_EQ(counted, std::vector<uint16_t>{StatCodeOfText("oOU")}) << c.tag;
        if (c.expected < 0)
            EXPECT_TRUE(commands.empty()) << c.tag;
        else
            EXPECT_EQ(commands, std::vector<uint16_t>{static_cast<uint16_t>(c.expected)}) << c.tag;
    }
    counted.clear();
    SpeedButtonClick(w.get(), nullptr);
    EXPECT_TRUE(counted.empty()) << "only speed buttons";
}

void SetAge(const std::string& path, int seconds)
{
    struct timespec t[2];
    t[0].tv_sec = t[1].tv_sec = 1700000000 + seconds;
    t[0].tv_nsec = t[1].tv_nsec = 0;
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, 0), 0);
}

TEST_F(MainFormHooksTest, MaximalDoseTimerReloadsNewerLists)
{
    int loads = 0, refreshes = 0;
    bool loadOk = true;
    MainEntryPoints e;
    e.loadMaximList = [&] {
        ++loads;
        return loadOk;
    };
    e.refreshListMarks = [&] { ++refreshes; };
    SetMainEntryPoints(e);
    auto w = MakeStarted();
    const std::string dir = root + "maxim/";
    const std::string file = dir + "doses.maxim.stx";
    auto prefix = [](std::string p) { Config().Update([p](ConfigValues& v) { v.MaximDir = p; }); };

    struct Step {
        const char* name;
        std::function<void()> before;
        int loads, refreshes;
    };
    const std::vector<Step> steps = {
        {"no folder", [&] { prefix(root + "missing/doses"); }, 0, 0},
        {"no base name",
         [&] {
             WriteText(file, "x");
             SetAge(file, 10);
             prefix(dir);
         },
         0, 0},
        {"first sight", [&] { prefix(dir + "doses"); }, 1, 1},
        {"same age", [] {}, 1, 1},
        {"newer", [&] { SetAge(file, 20); }, 2, 2},
        {"failed reload forgets the age",
         [&] {
             SetAge(file, 30);
             loadOk = false;
         },
         3, 2},
        {"so the same file loads again", [&] { loadOk = true; }, 4, 3},
    };
    for (const Step& s : steps) {
        s.before();
        w->TimerMaxTimer();
        EXPECT_EQ(loads, s.loads) << s.name;
        EXPECT_EQ(refreshes, s.refreshes) << s.name;
    }
    EXPECT_GT(w->MaximAge(), 0);
}

TEST_F(MainFormHooksTest, TimerMaxCanBeEnabledFromAnotherThread)
{
    auto w = MakeStarted();
    EXPECT_FALSE(w->TimerMax()->isActive());
    std::thread([&w] { w->RequestTimerMax(); }).join();
    w->TimerTikTimer();
    EXPECT_TRUE(w->TimerMax()->isActive());
    w->TimerMax()->stop();
    std::thread([] { EnableMaximTimer(); }).join();
    w->TimerTikTimer();
    EXPECT_TRUE(w->TimerMax()->isActive()) << "also without the window at hand";
}

struct StatRecord {
    std::vector<std::pair<uint16_t, int64_t>> log4, log2;
    std::vector<uint16_t> counts;
    std::vector<std::pair<uint16_t, double>> durations;
    std::vector<std::string> saves;
};

UpdateServices RecordingStats(StatRecord& r)
{
    UpdateServices u;
    u.statAddLog4 = [&r](uint16_t k, int64_t v) { r.log4.emplace_back(k, v); };
    u.statCountLog2 = [&r](uint16_t k, int64_t v) { r.log2.emplace_back(k, v); };
    u.statCount = [&r](uint16_t k) { r.counts.push_back(k); };
    u.statCountDuration = [&r](uint16_t k, double d) { r.durations.emplace_back(k, d); };
    u.statSaveCounters = [&r](const std::string& f) { r.saves.push_back("counters " + f); };
    u.statSaveProducts = [&r](const std::string& f) { r.saves.push_back("products " + f); };
    return u;
}

TEST_F(MainFormHooksTest, ShutDownRecordsTheUsageCounters)
{
    StatRecord r;
    SetUpdateServices(RecordingStats(r));
    auto w = MakeStarted();
    ListCounters().wheelKeys = 7;
    ListCounters().navigationKeys = 11;
    ListCounters().scrollMoves = 3;
    PeakDataWindows = 40;
    DataWindowsCreated = 5;
    w.reset();
    using P = std::pair<uint16_t, int64_t>;
    EXPECT_EQ(r.log4,
              (std::vector<P>{
                  {StatCodeOfText("oRM"), 7}, {StatCodeOfText("oRK"), 11}, {StatCodeOfText("oRB"), 3}}));
    EXPECT_EQ(r.counts, std::vector<uint16_t>{static_cast<uint16_t>(StatCodeOfText("oT ") + 27)});
    EXPECT_EQ(r.log2, (std::vector<P>{{StatCodeOfText("oU "), 5}}));
    ASSERT_EQ(r.durations.size(), 1u);
    EXPECT_EQ(r.durations[0].first, StatCodeOfText("iA "));
    EXPECT_GE(r.durations[0].second, 0.0);
    EXPECT_LT(r.durations[0].second, 60.0 / 86400.0);
    EXPECT_EQ(r.saves, (std::vector<std::string>{"counters " + program, "products " + program}));
    PeakDataWindows = 0;
    DataWindowsCreated = 0;
}

TEST_F(MainFormHooksTest, OtherTypesAndHandedOverStartsRecordNothing)
{
    StatRecord r;
    SetUpdateServices(RecordingStats(r));
    ProgramStart().ProgramType = ProgramKind::Help;
    MakeStarted().reset();
    ProgramStart().ProgramType = ProgramKind::Normal;
    WriteText(program + "qevw.ces", "broken");
    MakeStarted().reset();
    EXPECT_TRUE(r.saves.empty());
    EXPECT_TRUE(r.counts.empty());
}

// A loader thread the tests control.
struct FakeLoader {
    std::thread thread;
    std::atomic<bool> stopAsked{false};
    std::atomic<bool> ended{false};
    std::mutex m;
    std::condition_variable cv;
    std::atomic<uint32_t> reply{12345};

    MainEntryPoints Calls(std::function<void(FakeLoader&)> body, int& frees)
    {
        MainEntryPoints e;
        e.startLoader = [this, body] {
            thread = std::thread([this, body] {
                body(*this);
                std::lock_guard l(m);
                ended = true;
                cv.notify_all();
            });
        };
        e.requestLoaderStop = [this] { stopAsked = true; };
        e.waitLoaderEnd = [this](int ms) {
            std::unique_lock l(m);
            return cv.wait_for(l, std::chrono::milliseconds(ms), [this] { return ended.load(); });
        };
        e.freeRunTables = [&frees] { ++frees; };
        return e;
    }
    ~FakeLoader()
    {
        if (thread.joinable())
            thread.join();
    }
};

TEST_F(MainFormHooksTest, LoaderWaitingForTheMainThreadIsReleased)
{
    Ipc().OwnWindow = OwnWindowOfProcess();
    FakeLoader loader;
    int frees = 0;
    std::atomic<bool> waiting{false};
    SetMainEntryPoints(loader.Calls(
        [&waiting](FakeLoader& self) {
            waiting = true;
            self.reply = SendCopyData("|q=_req|", Ipc().OwnWindow);
        },
        frees));
    TMainForm::SetLoaderStopBoundMs(1500);
    auto w = MakeStarted();
    while (!waiting)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto t0 = std::chrono::steady_clock::now();
    w.reset();
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took, std::chrono::milliseconds(1000)) << "no deadlock, no full wait";
    EXPECT_TRUE(loader.stopAsked);
    EXPECT_TRUE(loader.ended);
    EXPECT_EQ(loader.reply, 0u) << "the hand-off answers 0";
    EXPECT_EQ(frees, 1) << "its tables are freed once it has ended";
    EXPECT_FALSE(DataTexts) << "the data texts too";
    TMainForm::SetLoaderStopBoundMs(0);
    ResumeHandOffs();
}

TEST_F(MainFormHooksTest, LoaderInALongCallKeepsItsTables)
{
    FakeLoader loader;
    int frees = 0;
    SetMainEntryPoints(loader.Calls(
        [](FakeLoader&) { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }, frees));
    TMainForm::SetLoaderStopBoundMs(60);
    auto w = MakeStarted();
    const auto t0 = std::chrono::steady_clock::now();
    w.reset();
    const auto took = std::chrono::steady_clock::now() - t0;
    EXPECT_LT(took, std::chrono::milliseconds(250)) << "closes within the bound";
    EXPECT_FALSE(loader.ended);
    EXPECT_EQ(frees, 0) << "nothing freed under a running loader";
    EXPECT_TRUE(DataTexts) << "the data texts stay for the loader";
    EXPECT_NE(RunLogText().find("still running"), std::string::npos);
    TMainForm::SetLoaderStopBoundMs(0);
    ResumeHandOffs();
}

} // namespace
