#include "platform/main_thread_call.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <sys/eventfd.h>
#include <unistd.h>

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
    // The wake-up: a worker writes to the event descriptor, and the main
    // thread's notifier drains the queue.  No event object is made on the
    // worker, so nothing the main thread reads was written there unseen.
    int wakeFd = -1;
    QPointer<QSocketNotifier> notifier; // main thread only
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

// On the main thread: the notifier of the wake-up descriptor.
void EnsureWaker()
{
    QCoreApplication* app = QCoreApplication::instance();
    Queue& q = TheQueue();
    if (!app || q.notifier)
        return;
    int fd = -1;
    {
        std::lock_guard lock(q.mutex);
        if (q.wakeFd < 0)
            q.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        fd = q.wakeFd;
    }
    if (fd < 0)
        return;
    q.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, app);
    QObject::connect(q.notifier.data(), &QSocketNotifier::activated, app, [fd] {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
        Drain();
    });
}

// Queues a task and wakes the main thread; false when nothing was queued.
bool Enqueue(Task task)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    Queue& q = TheQueue();
    int fd = -1;
    {
        std::lock_guard lock(q.mutex);
        if (q.released)
            return false;
        q.tasks.push_back(std::move(task));
        fd = q.wakeFd;
    }
    const uint64_t one = 1;
    if (fd < 0 || ::write(fd, &one, sizeof one) != sizeof one)
        QMetaObject::invokeMethod(app, &Drain, Qt::QueuedConnection); // no waker made yet
    return true;
}

} // namespace

bool IsMainThread()
{
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void PrepareMainThreadCalls()
{
    if (IsMainThread())
        EnsureWaker();
}

// Every QCoreApplication gets its wake-up as it is made, on its own thread.
Q_COREAPP_STARTUP_FUNCTION(PrepareMainThreadCalls)

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
    PrepareMainThreadCalls();
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
