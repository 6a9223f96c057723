// Hand-offs from workers to the main thread: results, order, the release of
// waiting callers and dropped calls; run under the thread sanitizer too.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/main_thread_call.h"
#include "tests/support/gui_app.h"

namespace {

class MainThreadCall : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_support::EnsureGuiApp();
        ResumeMainThreadCalls();
    }
    void TearDown() override { ResumeMainThreadCalls(); }

    // Runs the event loop until `done` or 3 s.
    static void PumpUntil(const std::function<bool()>& done)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
};

TEST_F(MainThreadCall, WorkersGetResultsInOrder)
{
    EXPECT_TRUE(IsMainThread());
    EXPECT_EQ(CallOnMainThread([] { return 7; }), 7) << "directly on the main thread";

    std::mutex m;
    std::vector<int> order; // written on the main thread only, read after join
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    std::vector<int> results(4, -1);
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            EXPECT_FALSE(IsMainThread());
            for (int k = 0; k < 50; ++k) {
                PostToMainThread([&, w, k] {
                    std::lock_guard lock(m);
                    order.push_back(w * 1000 + k);
                });
            }
            // The posts before this call have run when it answers.
            results[static_cast<size_t>(w)] = CallOnMainThread([&, w] {
                std::lock_guard lock(m);
                int seen = 0;
                for (int v : order)
                    seen += v / 1000 == w;
                return IsMainThread() ? seen : -2;
            });
            ++finished;
        });
    }
    PumpUntil([&] { return finished == 4; });
    for (auto& t : workers)
        t.join();
    for (int r : results)
        EXPECT_EQ(r, 50);
    // Each worker's posts ran in its own order.
    for (int w = 0; w < 4; ++w) {
        int last = -1;
        for (int v : order)
            if (v / 1000 == w) {
                EXPECT_EQ(v % 1000, last + 1);
                last = v % 1000;
            }
    }
}

TEST_F(MainThreadCall, ReleaseFreesAWaitingWorkerAndDropsItsCall)
{
    std::atomic<bool> ran{false};
    std::atomic<bool> posted{false};
    std::atomic<int> result{-1};
    std::thread worker([&] {
        PostToMainThread([&] { posted = true; });
        result = CallOnMainThread([&] {
            ran = true;
            return 5;
        });
    });
    // The main thread does not serve the queue: the worker waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(result.load(), -1);
    const auto t0 = std::chrono::steady_clock::now();
    ReleaseMainThreadCalls();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(result.load(), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran) << "a released call never runs later";
    EXPECT_FALSE(posted);

    // Released: new calls answer 0 at once, on any thread.
    std::thread late([&] { result = CallOnMainThread([] { return 9; }); });
    late.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(CallOnMainThread([] { return 9; }), 0);

    ResumeMainThreadCalls();
    std::thread again([&] { result = CallOnMainThread([] { return 9; }); });
    PumpUntil([&] { return result == 9; });
    again.join();
    EXPECT_EQ(result.load(), 9);
}

} // namespace
