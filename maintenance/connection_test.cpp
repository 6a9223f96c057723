#include "maintenance/connection_test.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <thread>

#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "datastore/utf8_text.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "maintenance/http_client.h"
#include "maintenance/server_list.h"
#include "maintenance/version_folders.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/main_thread_call.h"

namespace {

// The memo's lines: a check opens a line and appends to it.
class MemoLines {
public:
    void Line(std::string text) { lines_.push_back(std::move(text)); }
    void Append(std::string_view text)
    {
        if (lines_.empty())
            lines_.emplace_back();
        lines_.back() += text;
    }
    std::vector<std::string> Take() { return std::move(lines_); }

private:
    std::vector<std::string> lines_;
};

std::string Text(const ConnectionTestCalls& calls, std::string_view section, std::string_view key)
{
    return calls.text ? calls.text(section, key) : KamToWin(ProgramText(section, key));
}

void ConnectionSteps(const ConnectionTestCalls& calls, bool checkOnline, MemoLines& memo)
{
    if (checkOnline && (calls.isOnline ? calls.isOnline() : IsOnline()) == 0) {
        memo.Line(kNoNetworkLine);
        return;
    }
    memo.Line(Text(calls, "iTest", "webH"));
    const bool offline = Config().Read(
        [](const ConfigValues& v) { return (v.ConnectionFlags & ConnectionFlag::Offline) != 0; });
    if (offline) {
        memo.Append(Text(calls, "iTest", "webS"));
        return;
    }
    const std::string url = UpdateServerUrl("/files/list.txt");
    int code = 0;
    std::string reply;
    if (calls.getText)
        calls.getText(url, code, reply);
    else
        HttpGetText(url, code, reply);
    if (code == 0 && reply.empty())
        code = HttpCode::ProxyFailure;
    if (code != 0) {
        memo.Append(url);
        memo.Line("!  " + HttpErrorText(code));
        return;
    }
    if (reply.find(".zip") != std::string::npos) {
        memo.Append("OK");
        return;
    }
    // Another page answered (a captive portal, a proxy's notice): show it.
    memo.Append(url);
    // A page of any size: its beginning says what answered.
    constexpr size_t kShownReply = 4096;
    const std::string text = Utf8ToText(std::string_view(reply).substr(0, kShownReply));
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            memo.Line("   " + line);
        start = end + 1;
    }
}

// One check of the folder test: its line, then "OK" or the path and the
// first error met.
class FolderCheck {
public:
    FolderCheck(MemoLines& memo, const ConnectionTestCalls& calls, std::string_view key, std::string path)
        : memo_(memo), calls_(calls), path_(std::move(path))
    {
        memo_.Line(Text(calls_, "iTest", key));
    }
    ~FolderCheck()
    {
        if (error_.empty()) {
            memo_.Append("OK");
        } else {
            memo_.Append(path_);
            memo_.Line("   " + error_);
        }
    }
    FolderCheck(const FolderCheck&) = delete;
    FolderCheck& operator=(const FolderCheck&) = delete;

    // A platform call's failure: a "Chyby" text and the errno.
    void PlatformFailed(std::string_view key, int err)
    {
        if (error_.empty())
            error_ = Text(calls_, "Chyby", key) + std::to_string(err);
    }
    // An I/O step's failure: its "iTest" text and the I/O result code.
    void IoFailed(std::string_view key, int err)
    {
        if (error_.empty())
            error_ = Text(calls_, "iTest", key) + std::to_string(IoResultFromErrno(err));
    }
    bool Failed() const { return !error_.empty(); }

private:
    MemoLines& memo_;
    const ConnectionTestCalls& calls_;
    std::string path_;
    std::string error_;
};

// Opens (made or emptied), writes and closes a file in place, as the
// installer writes its log; the first failing step is reported.
void WriteInPlace(FileSystemOps& fs, FolderCheck& check, const std::string& path, std::string_view bytes,
                  const char* openKey)
{
    int fd = -1;
    if (int r = fs.OpenForWrite(path, false, &fd)) {
        check.IoFailed(openKey, r);
        return;
    }
    if (int r = fs.Write(fd, bytes.data(), bytes.size()))
        check.IoFailed("logW", r);
    if (int r = fs.Close(fd))
        check.IoFailed("logC", r);
}

void FolderSteps(const ConnectionTestCalls& calls, MemoLines& memo)
{
    FileSystemOps& fs = calls.files != nullptr ? *calls.files : RealFileSystem();
    if (calls.logSteps && calls.installBase.empty()) {
        // What an update would answer here: no folder to build versions in.
        memo.Line(Text(calls, "Chyby", "WrPath") + ": " + calls.programFolder);
        return;
    }
    if (calls.logSteps) {
        const std::string testLog = calls.logFolder + "__test__.log";
        {
            FolderCheck check(memo, calls, "logH", testLog);
            WriteInPlace(fs, check, testLog, "Delete it\r\n", "logO");
        }
        if (FileExists(testLog) && !IsSymbolicLink(testLog)) {
            FolderCheck check(memo, calls, "logD", testLog);
            if (int r = fs.Remove(testLog))
                check.PlatformFailed("FileDel", r);
        }
    }
    if (calls.installBase.empty()) {
        // A program outside an installation base has no folder to test:
        // nothing is written into the folder the program happens to run in.
        memo.Line(Text(calls, "iTest", "upSc") + calls.programFolder);
        memo.Line("   " + Text(calls, "Chyby", "WrPath"));
        return;
    }
    const std::string folder = calls.installBase + "testInst.0/";
    const std::string log = folder + kInstallerLogName;
    bool created = false;
    // A planted link must not lead the writes elsewhere.
    const bool linked = IsSymbolicLink(folder);
    {
        FolderCheck check(memo, calls, "upSc", folder);
        if (linked)
            check.PlatformFailed("PathNew", ELOOP);
        else if (int r = fs.MakeFolders(folder))
            check.PlatformFailed("PathNew", r);
        else
            created = true;
    }
    if (!linked && FolderExists(folder)) {
        {
            FolderCheck check(memo, calls, "upFc", log);
            WriteInPlace(fs, check, log, std::string_view(log).substr(0, 20), "logO");
        }
        if (FileExists(log) && !IsSymbolicLink(log)) {
            FolderCheck again(memo, calls, "upFr", log);
            WriteInPlace(fs, again, log, std::string_view(log).substr(std::min<size_t>(2, log.size()), 10),
                         "logR");
        }
    }
    if (!linked && (FileExists(log) || IsSymbolicLink(log))) {
        FolderCheck check(memo, calls, "upFd", log);
        if (int r = fs.Remove(log))
            check.PlatformFailed("FileDel", r);
    }
    if (created) {
        FolderCheck check(memo, calls, "upSd", folder);
        if (int r = fs.RemoveFolder(folder))
            check.PlatformFailed("DirDel", r);
    }
    const std::string batch = calls.installBase + "__test__.bat";
    {
        FolderCheck check(memo, calls, "upAc", batch);
        WriteInPlace(fs, check, batch, "ECHO Delete it\r\n", "logO");
    }
    if (FileExists(batch) || IsSymbolicLink(batch)) {
        FolderCheck check(memo, calls, "upAd", batch);
        if (int r = fs.Remove(batch))
            check.PlatformFailed("FileDel", r);
    }
}

// Holds back the user's input while a test waits for its worker.
class InputBlocker : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close: return true;
        default: return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

ConnectionTestCalls DefaultConnectionTestCalls()
{
    ConnectionTestCalls calls;
    calls.installBase = InstallBase();
    calls.programFolder = ProgramStart().ProgramFolder;
    return calls;
}

std::vector<std::string> RunConnectionTest(const ConnectionTestCalls& calls, bool checkOnline)
{
    MemoLines memo;
    ConnectionSteps(calls, checkOnline, memo);
    return memo.Take();
}

std::vector<std::string> RunInstallFolderTest(const ConnectionTestCalls& calls)
{
    MemoLines memo;
    ConnectionSteps(calls, false, memo);
    FolderSteps(calls, memo);
    return memo.Take();
}

void RunBlockingWork(const std::function<void()>& work)
{
    if (!IsMainThread() || qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        work();
        return;
    }
    InputBlocker blocker;
    QCoreApplication::instance()->installEventFilter(&blocker);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
        PostToMainThread([] {}); // only wakes the wait below
    });
    // A wake-up dropped at the shut-down must not leave the wait hanging:
    // the timer ends each wait, the flag decides.
    QTimer pulse;
    pulse.start(20);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    QApplication::restoreOverrideCursor();
    QCoreApplication::instance()->removeEventFilter(&blocker);
}
