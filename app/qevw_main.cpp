// The program entry: the start-up check, then the main window, whose start
// routine first offers its request to a running copy and ends when one
// takes it, before any window shows.
//
// Developer switches (environment):
//   QEVW_DEBUG=1       the run log is mirrored to standard error as it grows
//                      (and the update status text as "[status] " lines),
//                      and message boxes become lines there, answered by
//                      their default button (OK, Yes); QEVW_DEBUG=2 mirrors
//                      the same but keeps the boxes.
//   QEVW_GRAB=<file>   after the main window's first painted frame its grab
//                      is saved to <file> (PNG); with QEVW_GRAB_QUIT=1 the
//                      program then ends (exit code 0).
//   QEVW_REPORT_WINDOWS=1  a line on standard output whenever the active data
//                      window, its state or its rectangle on the screen
//                      changes: "data window: DNA 933x578+233+172 maximised"
//                      (scripts/walk reads them: data windows live inside the
//                      main window, where the X server does not see them).

#include <QApplication>
#include <QMdiSubWindow>
#include <QSessionManager>
#include <QTimer>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/composition.h"
#include "datastore/run_log.h"
#include "datastore/startup_loader.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/start/prestart.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "platform/cp1250.h"
#include "platform/main_thread_call.h"
#include "platform/message_sink.h"
#include "platform/session_end.h"
#include "platform/system.h"

namespace {

bool Switch(const char* name)
{
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' && std::string(v) != "0";
}

// Boxes as standard-error lines, answered by their default button.
class DebugMessageSink : public MessageSink {
public:
    int Show(const MessageRequest& request) override
    {
        std::fprintf(stderr, "[box] %s: %s\n", request.caption.toUtf8().constData(),
                     request.text.toUtf8().constData());
        switch (request.buttons) {
        case MessageButtons::YesNoCancel:
        case MessageButtons::YesNo: return MessageAnswer::Yes;
        default: return MessageAnswer::Ok;
        }
    }
};

// The active data window as a line of QEVW_REPORT_WINDOWS: kind, size and
// place of its sub-window on the screen, and its state; empty when none.
std::string ActiveDataWindowLine()
{
    const TDataForm* f = ActiveDataForm();
    const QMdiSubWindow* sub = f != nullptr ? f->SubWindow() : nullptr;
    if (sub == nullptr || !sub->isVisible())
        return {};
    const QPoint at = sub->mapToGlobal(QPoint(0, 0));
    std::string line = "data window: " + KindLetters(f->Kind) + " " + std::to_string(sub->width()) + "x" +
                       std::to_string(sub->height()) + "+" + std::to_string(at.x()) + "+" +
                       std::to_string(at.y());
    if (sub->isMaximized())
        line += " maximised";
    else if (sub->isMinimized())
        line += " minimised";
    return line;
}

// Writes what the run log gained since the last call, and the update status
// text when it changed.
void MirrorRunLog()
{
    static std::string status;
    if (const std::string now = UpdateStatusText().Get(); now != status) {
        status = now;
        std::fprintf(stderr, "[status] %s\n", Cp1250ToUtf8(now).c_str());
    }
    static size_t written = 0;
    const std::string log = RunLogText();
    if (log.size() < written)
        written = 0; // cleared meanwhile
    if (log.size() > written) {
        std::fwrite(log.data() + written, 1, log.size() - written, stderr);
        std::fflush(stderr);
        written = log.size();
    }
}

// Under QEVW_GRAB: the window's first painted frame saved to that file, the
// time it took on standard error, and under QEVW_GRAB_QUIT the end of the run.
void GrabFirstFrame(TMainForm& window, std::chrono::steady_clock::time_point began)
{
    const char* grab = std::getenv("QEVW_GRAB");
    if (grab == nullptr || *grab == '\0')
        return;
    const QString path = QString::fromLocal8Bit(grab);
    const bool quit = Switch("QEVW_GRAB_QUIT");
    window.onFirstFrame = [&window, path, quit, began] {
        const bool saved = window.grab().save(path, "PNG");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
        const long long wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
        std::fprintf(stderr, "first frame after %.1f ms (wall %lld ns); title \"%s\"; grab %s %s\n", ms, wall,
                     window.windowTitle().toUtf8().constData(), saved ? "saved to" : "could not be saved to",
                     path.toLocal8Bit().constData());
        if (quit)
            QCoreApplication::exit(saved ? 0 : 2);
    };
}

// Under QEVW_REPORT_WINDOWS: a timer writing the active data window's line
// whenever it changes; nullptr otherwise.
std::unique_ptr<QTimer> StartWindowReport()
{
    if (!Switch("QEVW_REPORT_WINDOWS"))
        return nullptr;
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [] {
        static std::string last;
        std::string line = ActiveDataWindowLine();
        if (line == last)
            return;
        last = std::move(line);
        std::printf("%s\n", last.empty() ? "data window: none" : last.c_str());
        std::fflush(stdout);
    });
    timer->start(100);
    return timer;
}

// QEVW_DEBUG's timer that mirrors the run log as it grows.
std::unique_ptr<QTimer> StartRunLogMirror()
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [] { MirrorRunLog(); });
    timer->start(100);
    return timer;
}

// What the shown window reports and what ends its run from outside.
void ConnectRunEvents(TMainForm& window, QApplication& app)
{
    // One line on standard output when the window first shows and one per
    // served request, for scripts that drive several copies.
    window.onServed = [](const std::string& query) {
        std::printf("served: %s\n", query.c_str());
        std::fflush(stdout);
    };
    // The desktop's log-out and a SIGTERM end the run as its window's
    // close button does.
    OnSessionEnd([&window] {
        window.close();
        QCoreApplication::exit(0);
    });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [](QSessionManager&) { SaveConfig(false); });
}

} // namespace

int main(int argc, char** argv)
{
    const auto began = std::chrono::steady_clock::now();
    const ParsedCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));

    // The batch check runs without a display: no GUI application at all.
    const bool batch = line.batchRun;
    const bool debug = Switch("QEVW_DEBUG");
    std::unique_ptr<QApplication> app;
    if (!batch) {
        app = std::make_unique<QApplication>(argc, argv);
        // Numbers and dates use the program's own formatters; keep the C
        // library's number format neutral whatever the desktop's locale.
        std::setlocale(LC_NUMERIC, "C");
    }
    InstallMessageBoxes(!batch);
    PrepareMainThreadCalls();
    DebugMessageSink debugSink;
    if (debug && !batch && std::string(std::getenv("QEVW_DEBUG")) != "2")
        SetMessageSink(&debugSink);

    // The services the start-up check already uses.
    ComposeStartServices();

    PreStartInput input;
    input.commandLine = line;
    input.executablePath = ExecutablePath();
    const PreStartResult pre = PreStartCheck(input);
    if (debug)
        MirrorRunLog();
    if (!pre.start)
        return pre.exitCode;

    ComposeProgram();

    int rc = 0;
    {
        TMainForm window;
        window.Start();
        if (debug)
            MirrorRunLog();
        if (window.Terminated()) {
            StopIpcServer();
            FreeTextTable(UiTexts);
            return window.ExitCode();
        }

        const std::unique_ptr<QTimer> mirror = debug ? StartRunLogMirror() : nullptr;
        GrabFirstFrame(window, began);
        const std::unique_ptr<QTimer> windowReport = StartWindowReport();
        ConnectRunEvents(window, *app);
        window.show();
        std::printf("window: type %d, data set %d\n", int(window.ProgramType), int(window.DataSet));
        std::fflush(stdout);
        rc = app->exec();
        // However the run ended (its menu, its window, the log-out, a
        // signal), the settings changed meanwhile are kept.
        SaveConfig(false);
        if (debug)
            MirrorRunLog();
    }
    if (debug)
        MirrorRunLog();
    StopIpcServer();
    // A loader still inside a long call keeps what it reads: the process ends
    // around it, its own files being written by now.
    if (PomalyStartRunning()) {
        std::fflush(nullptr);
        std::quick_exit(rc);
    }
    FreeTextTable(UiTexts);
    return rc;
}
