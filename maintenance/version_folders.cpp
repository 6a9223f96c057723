#include "maintenance/version_folders.h"

#include <algorithm>
#include <atomic>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "frame/start/command_line.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

namespace {

std::atomic<int> g_launcherResult{0};

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The character `n` places from the end (1 the last); 0 when the text is
// shorter.
char FromEnd(const std::string& s, size_t n)
{
    return s.size() >= n ? s[s.size() - n] : '\0';
}

std::string WithoutTrailingSlash(std::string s)
{
    while (!s.empty() && (s.back() == '/' || s.back() == '\\'))
        s.pop_back();
    return s;
}

} // namespace

std::string InstallBaseFor(const std::string& sharedRoot, const std::string& programFolder)
{
    return InstallBaseOf(sharedRoot, programFolder);
}

std::string InstallBase()
{
    const StartValues& s = ProgramStart();
    return InstallBaseFor(s.SharedRoot, s.ProgramFolder);
}

std::string LastFolderPart(const std::string& folder)
{
    const std::string f = WithoutTrailingSlash(folder);
    const size_t slash = f.find_last_of('/');
    return slash == std::string::npos ? f : f.substr(slash + 1);
}

bool IsVersionFolderName(std::string_view n)
{
    if (n.size() < 10 || n.size() > 13)
        return false;
    for (size_t i = 0; i < 5; ++i)
        if (!IsLetter(n[i]))
            return false;
    if (n[5] != '_' || !IsDigit(n[6]) || !IsDigit(n[7]) || n[8] != '.' || n[9] < '1' || n[9] > '4')
        return false;
    for (size_t i = 10; i < n.size(); ++i)
        if (!IsLetter(n[i]) && !IsDigit(n[i]) && n[i] != '_')
            return false;
    return true;
}

std::string PackageNameOfFolder(const std::string& folderPath)
{
    const std::string name = LastFolderPart(folderPath);
    if (!IsVersionFolderName(name) || AsciiUpper(name.substr(0, 2)) != "KA")
        return {};
    // Without its "_" and ".": KALVO_26.1c gives kalvo261c.
    return AsciiLower(name.substr(0, 5) + name.substr(6, 2) + name.substr(9));
}

std::string FolderOfPackage(const std::string& packageName)
{
    if (packageName.size() < 12 || AsciiLower(packageName.substr(packageName.size() - 4)) != ".zip")
        return {};
    const std::string base = packageName.substr(0, packageName.size() - 4);
    const std::string name = AsciiUpper(base.substr(0, 5)) + "_" + base.substr(5, 2) + "." + base.substr(7);
    return IsVersionFolderName(name) ? name + "/" : std::string();
}

std::string DataVersionCode(int year, int month, int day)
{
    std::string out;
    if (year <= 2015) {
        out = "99";
    } else {
        const int yy = (year - 2000) % 100;
        out = {static_cast<char>('0' + yy / 10), static_cast<char>('0' + yy % 10)};
    }
    out.push_back(static_cast<char>('0' + (month - 1) / 3 + 1));
    const int k = std::min(day * 3 / 10, 8) + 9 * ((month - 1) % 3);
    if (k > 0)
        out.push_back(static_cast<char>('a' + k - 1));
    return out;
}

std::string VersionFolderDate(const std::string& name)
{
    if (name.size() <= 9)
        return {};
    std::string n = name;
    if (n[8] == '.')
        n.erase(8, 1);
    if (n[5] == '_')
        n.erase(5, 1);
    // Now KALVO261c: the year at 6-7, the quarter at 8, the day letter at 9.
    if (n.size() < 8 || !IsDigit(n[5]) || !IsDigit(n[6]) || n[7] < '1' || n[7] > '4')
        return {};
    int month = 3 * (n[7] - '0') - 2;
    int k = 0;
    if (n.size() > 8 && n[8] >= 'a' && n[8] <= 'z') {
        const int index = n[8] - 'a' + 1; // "a" is step 1 of the first month
        month += index / 9;
        k = index % 9;
    }
    const int day = k * 7 / 2 + 1;
    return std::to_string(day) + "." + std::to_string(month) + ".20" + n.substr(5, 2);
}

bool IsCompleteVersionFolder(const std::string& folder)
{
    const std::string f = WithTrailingSlash(folder);
    if (IsSymbolicLink(ResolveInFolder(f, kInstallerLogName)) ||
        FileExists(ResolveInFolder(f, kInstallerLogName)))
        return false;
    return FileExists(ResolveInFolder(f, kManifestName)) && FileExists(f + kProgramFileName);
}

std::string FindBestVersionFolderIn(const std::string& base, const std::string& programFolder)
{
    if (base.empty())
        return {};
    std::string best = LastFolderPart(programFolder);
    if (best.size() > 31)
        best.resize(31);
    const std::string prefix = AsciiLower(best.substr(0, 5));
    auto key = [](const std::string& n) { return AsciiLower(n.size() > 6 ? n.substr(6, 9) : std::string()); };
    for (const FolderEntry& e : ListFolder(base)) {
        if (e.kind != FolderEntry::Kind::Folder || AsciiLower(e.name.substr(0, prefix.size())) != prefix)
            continue;
        if (e.name.size() > 6 && e.name[6] != '9' && key(e.name) > key(best) &&
            IsCompleteVersionFolder(base + e.name))
            best = e.name;
    }
    AppendRunLog("BestVer=" + best + "\r\n");
    return best;
}

void updates::FindBestVersionFolder()
{
    UpdateShared().SetBestVersionFolder(FindBestVersionFolderIn(InstallBase(), ProgramStart().ProgramFolder));
}

std::string PreviousVersionFolder(const std::string& base, const std::string& name)
{
    std::string n = name;
    if (n.size() < 2)
        return n;
    char& last = n.back();
    if (last > '0') {
        --last;
        return n;
    }
    char& second = n[n.size() - 2];
    if (second == 'a') {
        n.resize(n.size() - 2);
        return n;
    }
    --second;
    n.back() = 'z';
    while (n.back() > 'a') {
        const std::string f = base + n;
        if (FolderExists(f) && !FileExists(ResolveInFolder(f, kInstallerLogName)))
            break;
        --n.back();
    }
    return n;
}

std::string NewVersionFolderName(const std::string& folderPath, bool evenSlot,
                                 const std::string& programVersion)
{
    std::string n = WithoutTrailingSlash(folderPath);
    if (n.size() < 10)
        return {};
    if (FromEnd(n, 2) == '.')
        n.push_back('_');
    else if (FromEnd(n, 4) == '.')
        n.pop_back();
    int c = -1;
    if (FromEnd(n, 3) == '.') {
        n += "a1";
    } else if (FromEnd(n, 5) == '.') {
        if (n.back() == '9' || programVersion.size() < 4)
            return {};
        n[n.size() - 2] = static_cast<char>(programVersion[3] + 1);
        c = IsDigit(n.back()) ? n.back() - '0' : -1;
    } else {
        return {};
    }
    if (c >= 0 && c % 2 == 0)
        c -= 1;
    n.back() = static_cast<char>('0' + c + (evenSlot ? 1 : 2));
    return n;
}

std::string FindWinFolder(const std::string& folder)
{
    std::string found;
    for (const FolderEntry& e : ListFolder(folder)) {
        // "win" and a version digit: an old program folder, not "winter".
        if (e.kind == FolderEntry::Kind::Folder && e.name.size() > 3 &&
            AsciiLower(e.name.substr(0, 3)) == "win" && IsDigit(e.name[3]))
            found = e.name;
    }
    return found;
}

void DeleteFolderTree(const std::string& parent, const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return;
    const std::string base = InstallBase();
    if (base.empty() || WithTrailingSlash(parent) != base)
        return;
    const std::string folder = base + name;
    if (AsciiLower(name) == AsciiLower(LastFolderPart(ProgramStart().ProgramFolder)) ||
        AsciiLower(name + "/") == AsciiLower(ReadLauncherTarget(base + kLauncherName)))
        return;
    if (IsSymbolicLink(folder) || !FolderExists(folder))
        return;
    RemoveTree(folder);
}

std::string UncServerOfPath(const std::string& path)
{
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.rfind("//", 0) != 0) {
        p = MountSourceOf(MountPointOf(path));
        if (p.rfind("//", 0) != 0) {
            // NFS names its server before ":/".
            const size_t colon = p.find(":/");
            return colon == std::string::npos || colon == 0 ? std::string() : p.substr(0, colon);
        }
    }
    const size_t end = p.find('/', 2);
    return p.substr(2, end == std::string::npos ? std::string::npos : end - 2);
}

bool IsUpdateStation()
{
    const StartValues& s = ProgramStart();
    const std::string station = AsciiLower(GetTaggedField(UpdateShared().InstallationRecord(), 4));
    if (!station.empty() && station == AsciiLower(s.WindowsUserName))
        return true;
    const std::string server = AsciiUpper(UncServerOfPath(InstallBase()));
    std::string computer = AsciiUpper(s.WorkstationName);
    if (computer.size() > 19)
        computer.resize(19);
    return !server.empty() && server == computer;
}

int64_t FolderSizeEstimate(const std::string& folder)
{
    int64_t total = 0;
    for (const FolderEntry& e : ListFolder(folder))
        if (e.kind == FolderEntry::Kind::File)
            total += e.size + 2048;
    return total;
}

std::string LauncherText(const std::string& versionFolder)
{
    return "#!/bin/sh\nexec \"$(dirname \"$(readlink -f \"$0\")\")/" + versionFolder + "/" +
           kProgramFileName + "\" \"$@\"\n";
}

std::string ReadLauncherTarget(const std::string& launcherPath)
{
    std::string text;
    if (FileSize(launcherPath) > 65536 || ReadWholeFile(launcherPath, text) != 0)
        return {};
    const size_t at = text.find("\")/");
    if (at == std::string::npos)
        return {};
    const size_t start = at + 3;
    const size_t end = text.find_first_of("/\n", start);
    const std::string name = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    return IsVersionFolderName(name) ? name + "/" : std::string();
}

int WriteLauncher(const std::string& base, const std::string& versionFolder)
{
    return WriteLauncher(base, versionFolder, RealFileSystem());
}

int WriteLauncher(const std::string& base, const std::string& versionFolder, FileSystemOps& ops)
{
    const std::string name = WithoutTrailingSlash(versionFolder);
    int result = IoResult::PathNotFound;
    if (!base.empty() && IsVersionFolderName(name)) {
        FileSaver saver(WithTrailingSlash(base) + kLauncherName, ops,
                        SaveMode{.makeFolders = false, .fileMode = 0755});
        saver.Write(LauncherText(name));
        saver.Commit();
        result = saver.IoError();
    }
    g_launcherResult = result;
    return result;
}

int LauncherResult()
{
    return g_launcherResult.load();
}
