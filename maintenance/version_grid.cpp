#include "maintenance/version_grid.h"

#include <QDateTime>
#include <QLocale>

#include "maintenance/update_lock.h"
#include "maintenance/version_folders.h"
#include "platform/ascii.h"
#include "platform/fs.h"

namespace {

std::string Chars(const std::string& s, size_t from1, size_t count)
{
    return from1 - 1 < s.size() ? s.substr(from1 - 1, count) : std::string();
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return AsciiLower(a) == AsciiLower(b);
}

std::string WithoutSlash(std::string s)
{
    while (!s.empty() && s.back() == '/')
        s.pop_back();
    return s;
}

bool StartsWith(const std::string& s, const std::string& prefix)
{
    return !prefix.empty() && s.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool IsListedVersionName(std::string_view name)
{
    if (name.size() < 6 || AsciiLower(name.substr(0, 2)) != "ka" || name[5] != '_')
        return false;
    for (char c : name) {
        if (c < 32 || c > 126 || c == '|')
            return false;
    }
    return true;
}

std::vector<VersionFolderInfo> ListVersionFolders(const std::string& base)
{
    std::vector<VersionFolderInfo> out;
    if (base.empty())
        return out;
    const std::string b = WithTrailingSlash(base);
    for (const FolderEntry& e : ListFolder(b)) {
        if (e.kind != FolderEntry::Kind::Folder || !IsListedVersionName(e.name))
            continue;
        VersionFolderInfo info;
        info.name = e.name;
        const std::string folder = b + e.name + "/";
        info.hasLog = FileExists(ResolveInFolder(folder, kInstallerLogName));
        info.hasManifest = FileExists(ResolveInFolder(folder, kManifestName));
        int64_t ns = 0;
        if (ModifiedTime(folder, &ns)) {
            const QDateTime when = QDateTime::fromMSecsSinceEpoch(ns / 1000000);
            info.modified = QLocale::system().toString(when.date(), QLocale::ShortFormat).toStdString();
        }
        out.push_back(std::move(info));
    }
    return out;
}

VersionRow VersionRowOf(const VersionFolderInfo& folder, const std::string& runningFolder,
                        const std::string& launcherFolder, const VersionRowTexts& texts)
{
    const std::string& name = folder.name;
    const bool running = SameIgnoringCase(name, runningFolder);
    const std::string upper = AsciiUpper(name);
    VersionRow row;
    row[0] = "20" + Chars(name, 7, 5);
    row[1] = VersionFolderDate(name);
    row[2] = name;
    row[3] = folder.modified;
    if (folder.hasLog || (!folder.hasManifest && upper > "KALVO_14.3"))
        row[4] = texts.error;
    else if (!running && upper >= "KALVO_03.2")
        row[4] = texts.start;
    // Years before 2000 are named with a 9 there: no state for them.
    if (name.size() >= 7 && name[6] == '9')
        row[4].clear();
    if (running)
        row[5] = texts.running;
    else if (SameIgnoringCase(name, launcherFolder))
        row[5] = texts.active;
    else
        row[5] = texts.remove;
    return row;
}

std::vector<int> SortRows(const std::vector<VersionRow>& rows, int column, bool descending)
{
    std::vector<int> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    const int n = static_cast<int>(rows.size()) - 1; // entries 1..n
    auto outOfOrder = [&](int before, int after) {
        const std::string& a =
            rows[static_cast<size_t>(order[static_cast<size_t>(before)])][static_cast<size_t>(column)];
        const std::string& b =
            rows[static_cast<size_t>(order[static_cast<size_t>(after)])][static_cast<size_t>(column)];
        return descending ? a < b : a > b;
    };
    for (int gap = n / 2; gap >= 1; gap /= 2) {
        for (int i = 1 + gap; i <= n; ++i) {
            for (int j = i; j - gap >= 1 && outOfOrder(j - gap, j); j -= gap)
                std::swap(order[static_cast<size_t>(j)], order[static_cast<size_t>(j - gap)]);
        }
    }
    return order;
}

std::vector<CellItem> CellItems(std::string_view cell)
{
    std::vector<CellItem> items;
    size_t start = 0;
    for (;;) {
        const size_t bar = cell.find('|', start);
        const std::string_view item =
            cell.substr(start, bar == std::string_view::npos ? cell.npos : bar - start);
        CellItem out;
        out.text = std::string(item);
        if (!item.empty()) {
            switch (item[0]) {
            case '&': out.form = CellForm::Button; break;
            case '[': out.form = CellForm::Box; break;
            case ']': out.form = CellForm::TickedBox; break;
            case '!': out.form = CellForm::Bold; break;
            default: break;
            }
            if (out.form != CellForm::Plain)
                out.text.erase(0, 1);
        }
        items.push_back(std::move(out));
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    return items;
}

GridAction ClickAction(int column, std::string_view cell)
{
    if (column == 4 && !cell.empty() && cell[0] == '!')
        return GridAction::Install;
    const bool action = (!cell.empty() && (cell[0] == '&' || cell[0] == '[' || cell[0] == ']')) ||
                        cell.find("|&") != std::string_view::npos;
    if (!action)
        return GridAction::None;
    if (column == 4)
        return GridAction::Start;
    if (column == 5)
        return GridAction::Delete;
    return GridAction::None;
}

GridAction KeyAction(char key, const VersionRow& row, bool* consumed)
{
    const char k = AsciiUpperChar(key);
    int column = -1;
    if (k == 'S' || k == 'T')
        column = 4;
    else if (k == 'D' || k == 'O')
        column = 5;
    if (column < 0) {
        *consumed = true;
        return GridAction::None;
    }
    const std::string& cell = row[static_cast<size_t>(column)];
    if (cell.empty() || cell[0] != '&') {
        *consumed = false;
        return GridAction::None;
    }
    *consumed = true;
    return column == 4 ? GridAction::Start : GridAction::Delete;
}

std::vector<std::string> StartArguments(const std::string& name)
{
    std::vector<std::string> args;
    if (Chars(name, 7, 2) > "15")
        args.push_back("/L=%");
    args.push_back("/nw");
    return args;
}

bool CanFinishInstallation(const std::string& name)
{
    return Chars(name, 7, 4) > "20.1";
}

std::string RunningVersionText(const std::string& runningFolder, const std::string& stampText)
{
    return "KALVO - 20" + Chars(runningFolder, 7, 7) + stampText + VersionFolderDate(runningFolder);
}

bool LauncherIsOlder(const std::string& launcherFolder, const std::string& bestFolder)
{
    return AsciiLower(WithoutSlash(launcherFolder)) < AsciiLower(WithoutSlash(bestFolder));
}

std::string NextCheckText(const std::string& ymd, bool automatic)
{
    if (!automatic || ymd.size() < 10)
        return {};
    auto number = [&](size_t at, size_t count) {
        int v = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (ymd[i] < '0' || ymd[i] > '9')
                return -1;
            v = v * 10 + (ymd[i] - '0');
        }
        return v;
    };
    const int y = number(0, 4);
    const int m = number(5, 2);
    const int d = number(8, 2);
    if (y < 0 || m < 0 || d < 0)
        return {};
    return std::to_string(d) + "." + std::to_string(m) + "." + std::to_string(y);
}

std::string DataPackageText(const std::string& package)
{
    return "KALVO - 20" + Chars(package, 6, 2) + "." + Chars(package, 8, 2);
}

uint8_t AutoUpdateValue(bool checked)
{
    return checked ? 15 : 0;
}

bool OkSaves(uint8_t autoAtOpen, uint8_t autoNow, uint16_t flagsAtOpen, uint16_t flagsNow, bool proxyEdited)
{
    return autoAtOpen != autoNow || flagsAtOpen != flagsNow || proxyEdited;
}

bool FileInUse(const std::string& path)
{
    // A link is removed as a link: what it names is not ours to judge.
    if (IsSymbolicLink(path) || !FileExists(path))
        return false;
    FileLock lock;
    return lock.Take(path, true, 0) != 0;
}

DeleteResult DeleteVersionFolder(const std::string& base, const std::string& name, const DeleteGuards& guards)
{
    DeleteResult result;
    if (name.empty())
        return result;
    result.stayed = name;
    if (base.empty() || !IsListedVersionName(name))
        return result;
    const std::string b = WithTrailingSlash(base);
    const std::string folder = b + name + "/";
    if (IsSymbolicLink(b + name) || !FolderExists(folder))
        return result;
    if (SameIgnoringCase(name, guards.runningFolder))
        return result;
    if (StartsWith(WithTrailingSlash(guards.dataFolder), folder) ||
        StartsWith(WithTrailingSlash(guards.notesFolder), folder))
        return result;
    UpdateLockHold lock;
    if (!lock.Take(b, 0)) {
        result.busy = true;
        return result;
    }
    // Read now: another copy may have switched it since the grid was filled.
    if (SameIgnoringCase(name, WithoutSlash(ReadLauncherTarget(b + kLauncherName))))
        return result;
    for (const char* file : {"TarelFix.fon", "VedavIzo.did", "kl.dat", kProgramFileName}) {
        if (FileInUse(ResolveInFolder(folder, file))) {
            result.stayed = file;
            return result;
        }
    }
    const std::string program = ResolveInFolder(folder, kProgramFileName);
    if (FileExists(program) || IsSymbolicLink(program)) {
        if (RemoveTree(program) != 0) {
            result.stayed = kProgramFileName;
            return result;
        }
    }
    std::string failed;
    if (RemoveTreeReporting(folder, &failed) != 0) {
        result.stayed = failed.empty() ? WithoutSlash(folder) : failed;
        return result;
    }
    result.stayed.clear();
    return result;
}
