#pragma once
// Work a worker thread hands to the main thread: a call whose int result the
// worker waits for, or a call it only queues.  The calls wait in our own
// queue (mutex and condition variable); Qt only wakes the main thread with a
// queued call that drains that queue, so every hand-over of data is visible
// to the thread sanitizer.
//
// The shut-down releases every wait: a waiting caller gets 0 at once, calls
// still queued are dropped unrun, and new calls answer 0 without running,
// until ResumeMainThreadCalls (a new main window; tests make several).
//
// Threads: any; the functions run on the thread of the QCoreApplication.

#include <functional>

// Whether the caller runs on the main thread (the QCoreApplication's thread;
// false while there is no QCoreApplication).
bool IsMainThread();

// Runs `f` on the main thread and returns its result: directly when called on
// the main thread; else queued while the caller waits.  0 without running `f`
// when the calls are released or there is no QCoreApplication.
int CallOnMainThread(std::function<int()> f);

// Queues `f` for the main thread (runs it directly on the main thread).
// Dropped when the calls are released or there is no QCoreApplication.
void PostToMainThread(std::function<void()> f);

// Makes the main thread's wake-up (call on the main thread once its
// QCoreApplication exists; ResumeMainThreadCalls does it too).  Until then a
// wake-up goes through Qt's own queue.
void PrepareMainThreadCalls();

void ReleaseMainThreadCalls();
void ResumeMainThreadCalls();
bool MainThreadCallsReleased();
