#pragma once
// Version folders and the launcher.  An installation keeps each installed
// version of program and data in a folder of its own under one installation
// base ("KALVO_26.1c"), and starts the chosen one through the launcher
// "qevw.sh" in the base.  The running program never replaces its own files:
// an update builds a new folder and, once it is complete, rewrites the
// launcher so that the next start runs it.  Folder log and launcher formats:
// docs/formats/launcher.md.
//
// Paths use "/" and folder values end with "/".  The installation base is
// the folder above the data folder that holds the launcher, and it counts
// only while the program runs from a folder directly below it; without it
// nothing here creates, deletes or rewrites anything.
//
// Threads: any; the functions keep no state except the last launcher result
// and the best folder in UpdateShared().

#include <cstdint>
#include <string>
#include <string_view>

class FileSystemOps;

inline constexpr const char* kLauncherName = "qevw.sh";
inline constexpr const char* kProgramFileName = "qevw";
inline constexpr const char* kInstallerLogName = "_InstLog.txt";
inline constexpr const char* kManifestName = "kalvo.kvo";

// The installation base: `sharedRoot` when `programFolder` is one folder
// directly below it, else empty.
std::string InstallBaseFor(const std::string& sharedRoot, const std::string& programFolder);
// The same for this run (ProgramStart()).
std::string InstallBase();
// The last part of a folder path without its "/" ("KALVO_26.1c").
std::string LastFolderPart(const std::string& folder);

// A version folder name: 5 letters, "_", 2 digits, ".", a quarter digit
// 1-4, then at most 3 letters, digits or "_".
bool IsVersionFolderName(std::string_view name);
// The package base name of a folder path ("/x/KALVO_26.1c/" gives
// "kalvo261c"); empty unless its last part is a version folder name whose
// prefix begins with "KA" (any case).
std::string PackageNameOfFolder(const std::string& folderPath);
// The version folder of a package ("kalvo261c.zip" gives "KALVO_26.1c/");
// empty when the result would not be a version folder name.
std::string FolderOfPackage(const std::string& packageName);
// The data version code of a date: two-digit year (99 up to 2015), quarter,
// then a letter for each step of about 3.3 days after the quarter's first
// three.
std::string DataVersionCode(int year, int month, int day);
// The date a version folder name stands for, "d.m.20yy"; empty for names of
// 9 characters or fewer.
std::string VersionFolderDate(const std::string& name);
// A folder without "_InstLog.txt" that holds "kalvo.kvo" and "qevw".
bool IsCompleteVersionFolder(const std::string& folder);

// The newest complete version folder under `base` of the running folder's
// prefix ("BestVer=" + it goes to the run log); empty when `base` is empty.
std::string FindBestVersionFolderIn(const std::string& base, const std::string& programFolder);
// The same for this run; the result goes to UpdateShared().
namespace updates {
void FindBestVersionFolder();
} // namespace updates

// The name of the folder before a version folder (its slot digit down, or
// the day letter down to a complete folder under `base`).
std::string PreviousVersionFolder(const std::string& base, const std::string& name);
// A name for a new folder of the same version as the folder path (slot
// alternating even and odd); empty when none can be formed.  `programVersion`
// is the UI text "Uvod.Ver".
std::string NewVersionFolderName(const std::string& folderPath, bool evenSlot,
                                 const std::string& programVersion);
// The last real folder of `folder` whose name begins with "win" (any case).
std::string FindWinFolder(const std::string& folder);
// Deletes `parent` + `name` with everything in it, without following links,
// unless it is the running folder or the launcher's, or `parent` is not the
// installation base.  Failures are ignored.
void DeleteFolderTree(const std::string& parent, const std::string& name);
// The server of a path on a network share ("//server/share" or a mount of
// one); empty otherwise.
std::string UncServerOfPath(const std::string& path);
// Whether this computer updates a shared installation: the update station's
// user name (installation item 4) is this user, or the base lies on this
// computer's share.
bool IsUpdateStation();
// The sum over the folder's files of their size + 2048.
int64_t FolderSizeEstimate(const std::string& folder);

// The launcher's text for a version folder (no quoting needed: the name is
// checked).
std::string LauncherText(const std::string& versionFolder);
// The folder the launcher starts, with "/"; empty when the file is missing
// or not of that form.
std::string ReadLauncherTarget(const std::string& launcherPath);
// Rewrites base + "qevw.sh" (mode 0755) to start `versionFolder`; nothing is
// written for a name that is not a version folder.  Returns and keeps the
// I/O result (LauncherResult).
int WriteLauncher(const std::string& base, const std::string& versionFolder);
int WriteLauncher(const std::string& base, const std::string& versionFolder, FileSystemOps& ops);
int LauncherResult();
