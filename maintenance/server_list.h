#pragma once
// The update server's files: the list "/files/list.txt" of every file with
// its size, the data packages ("kalvo263a.zip"), the program packages
// ("win25.02.zip") with their descriptions ("win25.02.ini"), the parsers that
// choose a package from the list, and the worker that fetches it (TGetList).
// Formats: docs/formats/update-list.md.
//
// The state (list text, its flags and error, the chosen package and its
// size) is UpdateShared() of datastore/service_hooks.h; the free-space
// message also goes to the update status text.
//
// Threads: any.  One fetch runs at a time: a second caller waits for it and
// takes its result.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The update server's host: the test host for the variants "t" and "v" and
// for the maker's test customers (unless their variant is "s", "t" or "v"),
// else the production host (maintenance/endpoints.h).
std::string UpdateHostName(const std::string& variant, uint32_t customerNumber);
// The host of this installation (UpdateShared()'s variant and customer).
std::string UpdateHostName();
// UrlScheme + the update host + path ("/files/list.txt").
std::string UpdateServerUrl(const std::string& path);

// The list in its normalised form: a line feed first, every run of bytes
// below 32 one line feed, exactly one line feed at the end.
std::string NormaliseServerList(std::string_view raw);
// A name a list entry may have: at most 31 characters of a-z, 0-9, ".", "_",
// "-", without "..".  Only such names become paths.
bool IsListName(std::string_view name);
struct ServerListEntry {
    std::string name; // lower-cased
    int64_t size = 0;
};
// The (name, size) pairs of a list by the reading rule: a comma counts as a
// blank, a token ended by a blank is a name, one ended by a line end its
// size (0 when not a number).  A size without a name and a name outside the
// list-name rule are skipped.
std::vector<ServerListEntry> ReadServerList(std::string_view text);

// Fetches and normalises the list (nothing when offline); sets the ready
// flag last, also after a failed fetch ("GetList: " + error in the run log).
namespace updates {
void LoadServerList();
} // namespace updates
// Starts LoadServerList on the list worker unless one runs.
void StartGetList();
bool GetListRunning();
// Waits at most `ms` for the list worker; true when none runs.
bool WaitGetList(int ms);

// The running program's package: "win" + the lower-cased UI text "Uvod.Ver"
// + ".zip".  Program packages are sought only when its version starts with a
// digit 1-9.
std::string RunningProgramPackage();
bool SeeksProgramPackages(const std::string& runningPackage);

// The newest data package after the installed one.  ChosenPackage holds the
// exact name or "prefix*.zip" to look for; it becomes the package found
// (cleared when a "prefix*" search finds nothing newer or space is short).
bool ParseUpdateList(bool anyVersion, bool strict);
// The newest program package after the running one (ChosenPackage).
bool FindNewestProgramZip();
// The newest program package whose description accepts this installation;
// `label` its "LAB=" text in the data code page.
namespace updates {
bool FindProgramPackage(int signSetNumber, uint32_t customerNumber, bool skipDeclined, std::string& label);
} // namespace updates
// Whether a program package's description (fetched once per run into the
// download folder) accepts this installation.
bool PackageMatches(const std::string& package, const std::string& runningPackage, int signSetNumber,
                    std::string& label, uint32_t customerNumber);
// The same over a description text already read; `dataPackage` is the
// package base name of the running folder.
bool DescriptionMatches(std::string_view description, const std::string& runningPackage,
                        const std::string& dataPackage, int signSetNumber, uint32_t customerNumber,
                        std::string& label);
// The value of `key` ("EXE=") at the start of a line of `text`, up to the
// first byte below 32, at most 254 bytes; its length, -1 when absent.
int IniValueAt(std::string_view text, std::string_view key, std::string& value);

// The free-space test of a package of `size` bytes: 0 none short, 1 the
// download folder's file system, 2 the installation base's.  Free figures
// below 0 are unknown and pass.
int LowSpaceFolder(int64_t size, int64_t downloadFree, int64_t baseFree, bool sameFileSystem);
// The UI text "Inst.loSp" (display code page) with the package name
// (without ".zip") put between its first two blanks, then the mount point.
std::string LowSpaceText(const std::string& text, const std::string& package, const std::string& where);
// Free bytes of a folder's file system and its mount point, replaceable by
// tests.
struct DiskSpaceProbe {
    std::function<int64_t(const std::string& folder)> freeBytes;
    std::function<std::string(const std::string& folder)> mountPoint;
};
DiskSpaceProbe SetDiskSpaceProbe(DiskSpaceProbe probe);
