#pragma once
// The data update and the program installation: a newer package from the
// update server goes into a new version folder under the installation base
// (maintenance/version_folders.h), the user's files come over, the folder is
// tested, and only then does the launcher name it.  Also the start of
// installer mode and the decision whether a newer data package is listed.
//
// Every procedure runs in the caller's thread and reports through a message
// in the display code page (empty: success), the run log and the folder log
// "_InstLog.txt".  They take the update lock (maintenance/update_lock.h):
// while another thread or program holds it they stop with "Chyby.eWTime".
// Downloads go to the private download folder
// (maintenance/download_folder.h); file writes go through FileSystemOps, so
// that tests can make any of them fail.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class FileSystemOps;
struct UpdateServices;

// The folder of a data update, from the running version folder's name and
// the package: KALVO_26.1c and kalvo263a.zip give KALVO_26.1c3a, KALVO_26.1
// gives KALVO_26.1_3a; empty when either name is not of its form.
std::string UpdateFolderName(const std::string& runningFolder, const std::string& package);

// What an unpacking did: the entries written, and on failure the entry and
// the reader's or writer's text.
struct UnzipResult {
    std::vector<std::string> written; // names in the folder
    std::string entry;
    std::string error;
    bool Ok() const { return error.empty(); }
};
// Called before each entry with its number, the count and its name; false
// stops the unpacking (error "stopped").
using UnzipProgress = std::function<bool(int index, int count, const std::string& name)>;
// Every entry of the archive into the folder, flat, in directory order;
// sizes and CRCs checked, each file whole or not at all (0755 for Unix
// entries with an execute bit).  An entry named "_InstLog.txt" is skipped:
// the folder's state is the installer's.
UnzipResult UnzipAll(const std::string& archive, const std::string& folder);
UnzipResult UnzipAll(const std::string& archive, const std::string& folder, FileSystemOps& ops,
                     const UnzipProgress& progress = {});

// Copies a file into place whole or not at all, with the source's mode;
// never replaces: EEXIST when the target exists.  0 or the errno.
int CopyFileKeep(const std::string& source, const std::string& target, FileSystemOps& ops);
// The program's files of `source` (no data, fonts, PDF, log or "kalvo*")
// into `target`, and the two font files into the installation base when it
// lacks them.  The path of the first failed copy, empty when all went.
std::string CopyProgramFiles(const std::string& source, const std::string& target);
std::string CopyProgramFiles(const std::string& source, const std::string& target, FileSystemOps& ops);
// The data files of `source` (".dat", ".sez", ".sgn", ".slw", ".pdf",
// "kalvo*") into `target` that the package did not bring; with the notes in
// the running folder also the notes and the user sign list's source.
std::string CopyDataFiles(const std::string& source, const std::string& target);
std::string CopyDataFiles(const std::string& source, const std::string& target, FileSystemOps& ops);

// The procedures behind the update services' hooks keep the hooks' names in
// namespace updates; other parts call them through the hooks
// (datastore/service_hooks.h).
namespace updates {
// Installer mode ("/q=inst"): takes the update lock (waiting up to 10 s for
// the copy that started this one), opens the program folder's log, chooses
// this folder's data package and starts the list worker.  False after an
// error box (the caller ends the program).
bool StartInstallerMode();
// True when a data package newer than the installed one is listed (then in
// ChosenPackage); stores the next check date.
bool PrepareDataUpdate();
// Installs ChosenPackage into a new version folder and switches the
// launcher to it.
void RunDataUpdate(std::string& message);
void RunDataUpdate(std::string& message, FileSystemOps& ops);
} // namespace updates
// Prepares the version folder of the data package in ChosenPackage with the
// newest program and starts the program there in installer mode.
void InstallProgramPackage(std::string& message);
// PrepareDataUpdate, then InstallProgramPackage; true when a copy started.
bool StartUpgrade();
// The message of the last StartUpgrade in the normal program mode.
std::string UpgradeMessage();

// The start page's notice: a kept pending notice ("25.02|label"), from its
// seventh character, becomes the update status text.
void ComposeStartPageNoticeNow();

// A test seam: called with each step's name as RunDataUpdate reaches it
// ("folder", "log", "download", "unzip", "copy", "test", "done", "launcher").
void SetUpdateStepHook(std::function<void(std::string_view step)> hook);

// Fills the update members of the update services.
void AddUpdateProcedures(UpdateServices& services);
