#include "platform/main_thread_call.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// One waiting caller's share of a call.
struct Waiter {
    bool done = false;
    int result = 0;
};

struct Task {
    std::function<int()> f;
    std::shared_ptr<Waiter> waiter; // null for a posted call
};

struct Queue {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> tasks;
    bool released = false;
    // Bumped by every release, so a waiter can tell that its call was dropped.
    unsigned generation = 0;
};

Queue& TheQueue()
{
    static Queue* q = new Queue; // outlives every static the workers may still use
    return *q;
}

void Drain()
{
    Queue& q = TheQueue();
    for (;;) {
        Task task;
        {
            std::lock_guard lock(q.mutex);
            if (q.tasks.empty() || q.released)
                return;
            task = std::move(q.tasks.front());
            q.tasks.pop_front();
        }
        const int r = task.f();
        if (task.waiter) {
            std::lock_guard lock(q.mutex);
            task.waiter->result = r;
            task.waiter->done = true;
            q.cv.notify_all();
        }
    }
}

// Queues a task and wakes the main thread; false when nothing was queued.
bool Enqueue(Task task)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    Queue& q = TheQueue();
    {
        std::lock_guard lock(q.mutex);
        if (q.released)
            return false;
        q.tasks.push_back(std::move(task));
    }
    QMetaObject::invokeMethod(app, &Drain, Qt::QueuedConnection);
    return true;
}

} // namespace

bool IsMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

int CallOnMainThread(std::function<int()> f)
{
    if (IsMainThread())
        return MainThreadCallsReleased() ? 0 : f();
    auto waiter = std::make_shared<Waiter>();
    Queue& q = TheQueue();
    unsigned generation = 0;
    {
        std::lock_guard lock(q.mutex);
        generation = q.generation;
    }
    if (!Enqueue(Task{std::move(f), waiter}))
        return 0;
    std::unique_lock lock(q.mutex);
    q.cv.wait(lock, [&] { return waiter->done || q.generation != generation; });
    return waiter->done ? waiter->result : 0;
}

void PostToMainThread(std::function<void()> f)
{
    if (IsMainThread()) {
        if (!MainThreadCallsReleased())
            f();
        return;
    }
    Enqueue(Task{[f = std::move(f)] {
                     f();
                     return 0;
                 },
                 nullptr});
}

void ReleaseMainThreadCalls()
{
    Queue& q = TheQueue();
    std::deque<Task> dropped;
    {
        std::lock_guard lock(q.mutex);
        q.released = true;
        ++q.generation;
        dropped.swap(q.tasks);
        q.cv.notify_all();
    }
    // The dropped functions are destroyed here, outside the lock.
}

void ResumeMainThreadCalls()
{
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    q.released = false;
}

bool MainThreadCallsReleased()
{
    Queue& q = TheQueue();
    std::lock_guard lock(q.mutex);
    return q.released;
}
