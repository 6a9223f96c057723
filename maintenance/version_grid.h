#pragma once
// The rules of the installation settings dialog (TNastav6) that need no
// window: the rows of its grid of version folders, their order, the items a
// cell is drawn from, what a click or a key on a cell does, the texts of its
// first tab, the save decision of OK, and the deletion of a version folder.
//
// Folder names are names below the installation base without "/";
// `InstallBase()` paths end with "/".
//
// Threads: any; DeleteVersionFolder takes the update lock.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the listing of the base tells about one version folder.
struct VersionFolderInfo {
    std::string name;
    bool hasLog = false;      // "_InstLog.txt" in it
    bool hasManifest = false; // "kalvo.kvo" in it
    std::string modified;     // last write, in the system's short date format
};

// The real folders of `base` whose names match "ka???_*" ignoring case, in
// the order the folder lists them.  Links, names holding "|" and names with
// bytes outside printable ASCII are left out.  Empty for an empty base.
std::vector<VersionFolderInfo> ListVersionFolders(const std::string& base);
bool IsListedVersionName(std::string_view name);

// The display texts the rows carry ("vKey.verErr" and so on).
struct VersionRowTexts {
    std::string error;   // verErr, begins with "!"
    std::string start;   // verRun, begins with "&"
    std::string running; // verNow
    std::string active;  // verAct
    std::string remove;  // verDel, begins with "&"
};

using VersionRow = std::array<std::string, 6>;
// Columns: version, its date, the folder name, the last write, the state
// (install error or start action), and what the folder is (running, the
// launcher's, or the delete action).
VersionRow VersionRowOf(const VersionFolderInfo& folder, const std::string& runningFolder,
                        const std::string& launcherFolder, const VersionRowTexts& texts);

// RowOrder sorted by one column of `rows` (row 0 the titles, which stay
// first): a Shell sort by plain byte comparison.
std::vector<int> SortRows(const std::vector<VersionRow>& rows, int column, bool descending);

// One item of a cell: cells are split at "|", and the first character of an
// item chooses how it is drawn.
enum class CellForm { Plain, Button, Box, TickedBox, Bold };
struct CellItem {
    CellForm form = CellForm::Plain;
    std::string text; // without its mark
    bool operator==(const CellItem&) const = default;
};
std::vector<CellItem> CellItems(std::string_view cell);

enum class GridAction { None, Start, Delete, Install };
// The action of a click on a cell of the grid.
GridAction ClickAction(int column, std::string_view cell);
// The action of a key on the current row: S/T start (column 4), D/O delete
// (column 5), each only when that cell begins with "&".  `consumed` tells
// whether the grid keeps the key (any other letter is swallowed; a letter
// whose cell offers no action is passed on).
GridAction KeyAction(char key, const VersionRow& row, bool* consumed);

// The arguments a started version gets: "/L=%" for versions after 2015,
// then "/nw" so that it does not hand its start back to this copy.
std::vector<std::string> StartArguments(const std::string& name);
// Whether a folder's version is newer than 20.1 (it can finish its own
// installation).
bool CanFinishInstallation(const std::string& name);

// The first tab.
// "KALVO - 20" + the running version + the stamp text + its date.
std::string RunningVersionText(const std::string& runningFolder, const std::string& stampText);
// The launcher starts an older folder than the newest complete one.
bool LauncherIsOlder(const std::string& launcherFolder, const std::string& bestFolder);
// "yyyy/mm/dd" as "d.m.yyyy" when the automatic check is on, else empty.
std::string NextCheckText(const std::string& ymd, bool automatic);
// "KALVO - 20" + year "." quarter and letter of a data package name
// ("kalvo263a.zip" gives "KALVO - 2026.3a").
std::string DataPackageText(const std::string& package);

// The automatic-update byte OK stores, and whether OK saves.
uint8_t AutoUpdateValue(bool checked);
bool OkSaves(uint8_t autoAtOpen, uint8_t autoNow, uint16_t flagsAtOpen, uint16_t flagsNow, bool proxyEdited);

// Whether another process uses the file: an exclusive lock on it is refused
// (a running copy holds a shared one) or it cannot be opened for writing.  A
// missing file is not in use.
bool FileInUse(const std::string& path);

// What a deletion left: empty when everything went; `busy` when another
// update held the lock and nothing was deleted.
struct DeleteResult {
    std::string stayed;
    bool busy = false;
};
// What a deletion must leave alone (names ignoring case, paths with "/").
struct DeleteGuards {
    std::string runningFolder;
    std::string dataFolder;
    std::string notesFolder;
};
// Deletes `base` + `name` with everything in it.  Refused (the name returned)
// for a name that is not listed, the running folder, the launcher's target as
// it reads now, and a folder holding the data or notes folder.  Then the
// files a running copy holds ("TarelFix.fon", "VedavIzo.did", "kl.dat",
// "qevw") end it before anything is deleted (the bare file name returned);
// then "qevw" goes first; then the tree, which walks on past a failure and
// returns the first path that stayed.  Links are removed, never followed.
DeleteResult DeleteVersionFolder(const std::string& base, const std::string& name,
                                 const DeleteGuards& guards);
