// The program entry: the start-up check, then the main window, which first
// offers its request to a running copy and ends when one takes it.

#include <QApplication>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include "datastore/text_table.h"
#include "frame/command_line.h"
#include "frame/config_file.h"
#include "frame/ipc.h"
#include "frame/message_box.h"
#include "frame/placeholder_window.h"
#include "frame/prestart.h"

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    SetProcessArguments(args);

    // The batch check runs without a display: no GUI application at all.
    const bool batch = IsBatchRun(args);
    std::unique_ptr<QApplication> app;
    if (!batch) {
        app = std::make_unique<QApplication>(argc, argv);
        // Numbers and dates use the program's own formatters; keep the C
        // library's number format neutral whatever the desktop's locale.
        std::setlocale(LC_NUMERIC, "C");
    }
    InstallMessageBoxes(!batch);

    PreStartInput input;
    input.arguments = args;
    input.executablePath = ExecutablePath();
    const PreStartResult pre = PreStartCheck(input);
    if (!pre.start)
        return pre.exitCode;

    // The main window's creation: configuration and the UI texts.
    const StartValues& start = Start();
    LoadStartConfiguration(start, RealEnvironment);
    if (!LoadUiTextTable(start, &CurrentMessageSink()))
        return ExitCode::Refused;

    // Its first show: hand the request over before any window appears.
    const uint8_t newWindow = Config().Read([](const ConfigValues& v) { return v.newWindowOption; });
    const HandOverResult handOver = StartHandOver(start, newWindow);
    if (handOver.taken) {
        StopIpcServer();
        return ExitCode::Normal;
    }

    PlaceholderWindow window(start.ProgramType, handOver.dataSet);
    PublishDataSet(handOver.dataSet);
    PublishProgramType(start.ProgramType);
    SetBringToFrontHandler([&window] { window.BringToFront(); });
    SetStoredQueryHandler([&window](const std::string& query) {
        window.ShowServed(query);
        window.BringToFront();
    });
    window.show();
    const int rc = app->exec();
    SetStoredQueryHandler({});
    SetBringToFrontHandler({});
    StopIpcServer();
    FreeTextTable(UiTexts);
    return rc;
}
