#pragma once
// Polls a condition every 20 ms until it holds or the time is up; for tests
// that watch other processes.

#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace test_support {

inline bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

} // namespace test_support
