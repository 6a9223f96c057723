#include "maintenance/update_lock.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>

namespace {

// A flag rather than a mutex: a hold may be released on another thread than
// the one that took it (a worker ends what the main thread began).
struct ProcessGate {
    std::mutex mutex;
    std::condition_variable freed;
    bool taken = false;

    bool TryTakeFor(int ms)
    {
        std::unique_lock lock(mutex);
        if (!freed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !taken; }))
            return false;
        taken = true;
        return true;
    }
    void Give()
    {
        std::lock_guard lock(mutex);
        taken = false;
        freed.notify_all();
    }
};

ProcessGate& Gate()
{
    static ProcessGate* g = new ProcessGate; // held by workers to the end
    return *g;
}

} // namespace

int TakeLockFile(FileLock& lock, const std::string& path, bool exclusive, int waitMs)
{
    if (!FileExists(path)) {
        uint64_t inode = 0;
        bool existed = false;
        const int r = CreateExclusiveFile(path, "", &inode, &existed);
        if (r != 0 && !existed)
            return r;
    }
    return lock.Take(path, exclusive, waitMs);
}

bool UpdateLockHold::Take(const std::string& base, int waitMs)
{
    Release();
    const auto start = std::chrono::steady_clock::now();
    if (!Gate().TryTakeFor(waitMs))
        return false;
    if (!base.empty()) {
        const auto spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        const int left = std::max<int>(0, waitMs - static_cast<int>(spent.count()));
        if (TakeLockFile(file_, WithTrailingSlash(base) + kUpdateLockName, true, left) != 0) {
            Gate().Give();
            return false;
        }
    }
    held_ = true;
    return true;
}

void UpdateLockHold::Release()
{
    if (!held_)
        return;
    file_.Release();
    Gate().Give();
    held_ = false;
}
