#pragma once
// Starting programs and opening documents and web addresses.  Programs get
// their arguments as a list, never through a shell string.  Results follow
// the old shell convention callers test: above 32 means started, else an
// error code (2 not found, 5 access denied, 31 nothing to open it with).
//
// Tests install a recording fake through SetShell.

#include <QString>
#include <QStringList>

#include <vector>

#include "platform/replaceable.h"

namespace ShellResult {
constexpr int Started = 33;
constexpr int NotFound = 2;
constexpr int AccessDenied = 5;
constexpr int NoAssociation = 31;
} // namespace ShellResult

class ShellOps {
public:
    virtual ~ShellOps() = default;
    // Opens an address or a document with the desktop's handler.
    virtual int OpenUrl(const QString& url);
    // Starts a program detached from this process.
    virtual int StartDetached(const QString& program, const QStringList& arguments);
};

// Records every call and answers with a preset result (Started by default).
class RecordingShell : public ShellOps {
public:
    struct Call {
        bool url = false;
        QString target; // the address, or the program
        QStringList arguments;
    };
    explicit RecordingShell(int answer = ShellResult::Started) : log_(answer) {}
    int OpenUrl(const QString& url) override { return log_.Record({true, url, {}}); }
    int StartDetached(const QString& program, const QStringList& arguments) override
    {
        return log_.Record({false, program, arguments});
    }
    std::vector<Call> Calls() const { return log_.Calls(); }
    void SetAnswer(int answer) { log_.SetAnswer(answer); }

private:
    CallLog<Call> log_;
};

// The shell in use (the real one until another is installed); returns the
// previous one (nullptr meant the real one).
ShellOps* SetShell(ShellOps* shell);
ShellOps& CurrentShell();

// Opens `target`: an address ("scheme://...", "mailto:") or a document with
// the desktop's handler, an executable file as a program with `arguments`.
int ShellOpenTarget(const QString& target, const QStringList& arguments);

using ScopedShell = ScopedInstall<ShellOps, SetShell>;
