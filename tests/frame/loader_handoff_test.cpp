// The start-up loader with the frame's services and the real hand-off to
// the main thread: the command line's request reaches the window, and the
// shut-down during the update question ends the loader within its bound
// without recording an answer.

#include "main_form_test_support.h"

#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/loader_services.h"
#include "datastore/startup_loader.h"

using namespace main_test;

namespace {

class LoaderHandoffTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        MainEntryPoints calls;
        AddLoaderEntryPoints(calls);
        SetMainEntryPoints(std::move(calls));
        Ipc().OwnWindow = OwnWindowOfProcess();
        Config().Update([](ConfigValues& v) {
            v.DeclinedPackage.clear();
            v.ConnectionFlags = 0;
            v.AutoUpdateSetting = 15;
            v.NextCheckDate.clear();
        });
    }
    void TearDown() override
    {
        WaitBackgroundLoaderEnd(3000);
        TMainForm::SetLoaderStopBoundMs(0);
        MainFormFixture::TearDown();
    }

    static void PumpUntil(const std::function<bool()>& done, int ms = 5000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
};

TEST_F(LoaderHandoffTest, StartQueryReachesTheWindow)
{
    ProgramStart().Positionals = "|1=0012345|";
    ProgramStart().PositionalCount = 1;
    UpdateServices offline;
    offline.isOnline = [] { return 0; };
    SetUpdateServices(offline);
    std::vector<std::string> served;
    auto w = MakeStarted();
    w->onServed = [&served](const std::string& q) { served.push_back(q); };
    PumpUntil([&] { return !served.empty(); });
    ASSERT_EQ(served, std::vector<std::string>{"|1=0012345|"});
    EXPECT_TRUE(WaitBackgroundLoaderEnd(3000));
    EXPECT_NE(RunLogText().find("|q=____||1=0012345|"), std::string::npos) << RunLogText();
}

TEST_F(LoaderHandoffTest, StopDuringTheQuestionEndsTheLoader)
{
    ProgramStart().SharedRoot = base;
    std::atomic<bool> found{false};
    UpdateServices online;
    online.isOnline = [] { return 2; };
    online.findProgramPackage = [&found](int, uint32_t, int, std::string& text) {
        text = "KV_26201.zip";
        found = true;
        return true;
    };
    SetUpdateServices(online);
    TMainForm::SetLoaderStopBoundMs(1500);
    auto w = MakeStarted();
    // The main thread does not serve the question: the loader waits for it.
    while (!found)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t0 = std::chrono::steady_clock::now();
    w.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_FALSE(PomalyStartRunning());
    EXPECT_EQ(Config().Snapshot().DeclinedPackage, "") << "no UPD= for a released question";
    EXPECT_EQ(RunLogText().find("update"), std::string::npos);
    EXPECT_TRUE(sink.Requests().empty()) << "the question was never shown";
}

} // namespace
