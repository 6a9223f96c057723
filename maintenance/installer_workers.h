#pragma once
// The two workers of installer mode, as bodies over injected services:
// the installer (download, unpack, data test, switch of the launcher) for a
// program running from the package's own version folder, and the copier
// (the program's files into the package's version folder, then that copy
// started in installer mode) for a program running from anywhere else.
// Every failure, and any exception, ends the run in step 7 with its text:
// the page is never left busy.
//
// Threads: each body runs on its own worker; everything it shares goes
// through InstallerState, the installer log, UpdateShared() and the
// services' calls (the window's title and restore are posted to the main
// thread by the page's services).

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datastore/manifest.h"
#include "maintenance/data_update.h"

class FileSystemOps;
class InstallerState;

struct InstallerServices {
    std::function<int32_t()> isOnline;
    // The download folder ("/"-ended), or an error code (PrivateDownloadFolder).
    std::function<int(std::string& folder)> downloadFolder;
    std::function<int(const std::string& url, const std::string& target,
                      const std::function<void(int64_t total)>& progress)>
        download;
    std::function<UnzipResult(const std::string& archive, const std::string& folder,
                              const UnzipProgress& progress)>
        unzip;
    // The data test of a folder, each line of the check to `report`.
    std::function<void(const std::string& folder, const ManifestReport& report)> checkData;
    std::function<std::string(const std::string& from, const std::string& to)> copyProgramFiles;
    std::function<int(const std::string& base, const std::string& versionFolder)> writeLauncher;
    std::function<int(const std::string& file, const std::vector<std::string>& arguments)> shellOpen;
    // The window's title and its restore from minimised (main thread).
    std::function<void(const std::string& title)> setTitle;
    std::function<void()> restoreWindow;
    FileSystemOps* files = nullptr;
};
// The real services (the title and restore do nothing until the page sets
// them).
InstallerServices RealInstallerServices();

// Where a run installs: the program folder and base ("/"-ended; the base
// empty outside an installation), the package and its listed size.
struct InstallerPlace {
    std::string programFolder;
    std::string installBase;
    std::string package;
    int64_t expectedSize = 0;
};

// The texts the bodies write (display code page), from the program's table
// by default.
using InstallerTextLookup = std::function<std::string(const char* section, const char* key)>;

// "kalvo261c.zip", or a name outside the list-name rule or not ending
// ".zip": whether a worker may start for it.
bool IsInstallablePackage(const std::string& package);

// The package's size in MB as the installer shows it:
// ((bytes div 1024) + 700) div 1024.
int64_t PackageMegabytes(int64_t bytes);
// The data test's lines as the installer keeps them: lines 0 and 1, then
// only those beginning with a blank or "!".
std::vector<std::string> FilterCheckLines(std::vector<std::string> lines);
// Whether the kept lines are a failed test: more than 2 and the last not
// beginning with a blank.
bool CheckLinesFailed(const std::vector<std::string>& lines);
// The folder the installer deletes once the launcher names the new one: the
// last real folder of the base named "win" + a digit (any case) that is
// neither `running` nor `launcherTarget` (names without "/"); empty when
// none.
std::string FindOldProgramFolder(const std::string& base, const std::string& running,
                                 const std::string& launcherTarget);

// The bodies.  `stop` asks a running body to end at its next chance.
void RunInstaller(InstallerState& state, const InstallerServices& services, const InstallerPlace& place,
                  const InstallerTextLookup& text, const std::atomic<bool>& stop);
void RunExeCopier(InstallerState& state, const InstallerServices& services, const InstallerPlace& place,
                  const InstallerTextLookup& text);
