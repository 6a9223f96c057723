#pragma once
// Where error boxes go.  The program installs a hook that shows a message box;
// tools and tests install one that records the text.  Reports always reach the
// hook on the main thread, whichever thread raised them.

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The text is in the data code page, as every message text of the program.
using ErrorReportHook = std::function<void(const std::string& text)>;

// Installs a hook (an empty one restores the default, which writes the text
// to standard error) and returns the one it replaces.
ErrorReportHook SetErrorReportHook(ErrorReportHook hook);

// Hands the text to the hook.  On the main thread, or when no Qt application
// exists, the hook runs before this returns; from another thread the report
// is queued to the main thread's event loop.
void ReportError(const std::string& text);

// True on the thread of the Qt application's event loop, and also true when no
// Qt application exists: then there is no loop to hand work to, and the
// calling thread stands in for the main thread (tools and tests run so).
bool OnMainThread();

// Runs `work` on the main thread: at once when called there (or when no Qt
// application exists), otherwise queued to the main thread's event loop.  Used
// to build a message's text where the text tables may be read.
void RunOnMainThread(std::function<void()> work);

// Installs a recording hook for its lifetime and restores the previous one.
class ScopedErrorRecorder {
public:
    ScopedErrorRecorder();
    ~ScopedErrorRecorder();
    ScopedErrorRecorder(const ScopedErrorRecorder&) = delete;
    ScopedErrorRecorder& operator=(const ScopedErrorRecorder&) = delete;

    // The texts reported so far, oldest first.
    std::vector<std::string> Texts() const;
    void Clear();

private:
    struct State;
    std::shared_ptr<State> state_;
    ErrorReportHook previous_;
};
