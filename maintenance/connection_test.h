#pragma once
// The connection test and the installation-folder test of the network
// settings: what they find is a list of memo lines (display code page), the
// way the network settings dialog and the installation settings dialog show
// it.  The HTTP call and the file operations come in from the caller, so
// the dialogs can run the request on a worker and tests can make any file
// step fail.
//
// Threads: RunConnectionTest and RunInstallFolderTest run on the caller's
// thread and call only what ConnectionTestCalls hands them;
// RunBlockingWork is main-thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class FileSystemOps;

struct ConnectionTestCalls {
    // The list request (HttpGetText by default).
    std::function<void(const std::string& url, int& code, std::string& text)> getText;
    // 0 when no network is up (IsOnline by default).
    std::function<int32_t()> isOnline;
    // The file operations of the folder test (the real file system by default).
    FileSystemOps* files = nullptr;
    // A text of the program's table in the display code page (by default
    // ProgramText through KamToWin).
    std::function<std::string(std::string_view section, std::string_view key)> text;
    // The installation base ("/"-ended; empty: none) and the program folder.
    std::string installBase;
    std::string programFolder;
    // The installation settings dialog's test: first a log file in
    // `logFolder` ("/"-ended) is written and deleted, and without a base one
    // line says why nothing else is tried.
    bool logSteps = false;
    std::string logFolder;
};
// The defaults above, with this run's base and program folder.
ConnectionTestCalls DefaultConnectionTestCalls();

// The line the connection test writes when no network is up at all.
inline constexpr const char* kNoNetworkLine = "Jste zcela odpojeni od internetu";

// The connection test: "/files/list.txt" of the update server under the
// settings in force.  `checkOnline` first asks whether a network is up.
std::vector<std::string> RunConnectionTest(const ConnectionTestCalls& calls, bool checkOnline);
// The connection test, then the checks of the installation folder: a test
// folder, a log file written, rewritten and deleted, the folder removed, a
// batch file written and deleted.  Files are opened without following
// links, and a test folder that is a link is not used.
std::vector<std::string> RunInstallFolderTest(const ConnectionTestCalls& calls);

// Runs `work` on a worker thread while the main thread waits in a local
// event loop with the user's input held back (timers and painting go on)
// and the hourglass shown.  Runs `work` directly off the main thread or
// without an application.
void RunBlockingWork(const std::function<void()>& work);
