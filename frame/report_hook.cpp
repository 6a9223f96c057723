#include "frame/report_hook.h"

#include "platform/main_thread_call.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <mutex>

#include "datastore/kamenici.h"
#include "platform/guarded_value.h"

namespace {

GuardedValue<ErrorReportHook>& CurrentHook()
{
    static GuardedValue<ErrorReportHook> hook;
    return hook;
}

void CallHook(const std::string& text)
{
    const ErrorReportHook hook = CurrentHook().Get();
    if (hook) {
        hook(text);
        return;
    }
    const std::string shown = Cp1250ToUtf8(KamToWin(text));
    std::fprintf(stderr, "%s\n", shown.c_str());
}

} // namespace

ErrorReportHook SetErrorReportHook(ErrorReportHook hook)
{
    return CurrentHook().Exchange(std::move(hook));
}

bool OnMainThread()
{
    // Without an application (a tool, a test without an event loop) the
    // calling thread is the main thread.
    return !QCoreApplication::instance() || IsMainThread();
}

void RunOnMainThread(std::function<void()> work)
{
    if (OnMainThread()) {
        work();
        return;
    }
    // Through the hand-off queue, whose locks the thread sanitizer sees.
    PostToMainThread(std::move(work));
}

void ReportError(const std::string& text)
{
    RunOnMainThread([text] { CallHook(text); });
}

struct ScopedErrorRecorder::State {
    mutable std::mutex mutex;
    std::vector<std::string> texts;
};

ScopedErrorRecorder::ScopedErrorRecorder() : state_(std::make_shared<State>())
{
    std::shared_ptr<State> s = state_;
    previous_ = SetErrorReportHook([s](const std::string& text) {
        std::lock_guard lock(s->mutex);
        s->texts.push_back(text);
    });
}

ScopedErrorRecorder::~ScopedErrorRecorder()
{
    SetErrorReportHook(std::move(previous_));
}

std::vector<std::string> ScopedErrorRecorder::Texts() const
{
    std::lock_guard lock(state_->mutex);
    return state_->texts;
}

void ScopedErrorRecorder::Clear()
{
    std::lock_guard lock(state_->mutex);
    state_->texts.clear();
}
