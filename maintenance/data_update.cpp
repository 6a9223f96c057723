#include "maintenance/data_update.h"

#include <cerrno>
#include <exception>
#include <mutex>

#include "datastore/kamenici.h"
#include "datastore/manifest.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "datastore/zip_file.h"
#include "frame/config/config_file.h"
#include "frame/dates.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/windows/main_form.h"
#include "maintenance/download_folder.h"
#include "maintenance/folder_log.h"
#include "maintenance/http_client.h"
#include "maintenance/server_list.h"
#include "maintenance/update_lock.h"
#include "maintenance/usage_stats.h"
#include "maintenance/version_folders.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/system.h"

namespace {

constexpr int kInstallerLockWaitMs = 10000;
constexpr size_t kCopyChunk = 1 << 20;

GuardedValue<std::function<void(std::string_view)>>& StepHook()
{
    static GuardedValue<std::function<void(std::string_view)>> h;
    return h;
}

void Step(std::string_view name)
{
    if (const auto hook = StepHook().Get())
        hook(name);
}

GuardedValue<std::string>& Upgrade()
{
    static GuardedValue<std::string> m;
    return m;
}

// The reply slot of the copy started in installer mode.
uint32_t g_launchReply = 0;

std::string Ui(const char* section, const char* key)
{
    return KamToWin(LookupText(UiTexts, section, key));
}

char FromEnd(const std::string& s, size_t n)
{
    return s.size() >= n ? s[s.size() - n] : '\0';
}

bool EndsWithIgnoreCase(const std::string& s, std::string_view end)
{
    return s.size() >= end.size() &&
           AsciiEqualsIgnoreCase(std::string_view(s).substr(s.size() - end.size()), end);
}

std::string Extension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : AsciiLower(name.substr(dot));
}

// A version folder made ready for an installation: created when absent,
// else used only when empty or holding the log of an unfinished try (then
// emptied first), and never the running folder or the launcher's.  True
// when ready; the errno-free refusal is the caller's "Chyby.PathNew".
bool PrepareTargetFolder(const std::string& base, const std::string& name)
{
    const std::string folder = base + name + "/";
    if (!FolderExists(folder) && !IsSymbolicLink(folder) && !FileExists(base + name))
        return MakeFolder(folder, 0755) == 0;
    if (IsSymbolicLink(folder) || !FolderExists(folder))
        return false;
    const std::string lower = AsciiLower(name);
    if (lower == AsciiLower(LastFolderPart(ProgramStart().ProgramFolder)) ||
        lower + "/" == AsciiLower(ReadLauncherTarget(base + kLauncherName)))
        return false;
    const std::vector<FolderEntry> entries = ListFolder(folder);
    if (entries.empty())
        return true;
    const bool unfinished = std::any_of(entries.begin(), entries.end(), [](const FolderEntry& e) {
        return e.kind == FolderEntry::Kind::File && AsciiEqualsIgnoreCase(e.name, kInstallerLogName);
    });
    if (!unfinished)
        return false;
    for (const FolderEntry& e : entries)
        if (RemoveTree(folder + e.name) != 0)
            return false;
    return true;
}

// "Chyby.FileSave" + path + " " + code, as every failed log or copy reads.
std::string FileSaveText(const std::string& path, int code)
{
    return Ui("Chyby", "FileSave") + path + " " + std::to_string(code);
}

// Downloads a package of the server into the download folder; the local
// path, or the message.
bool DownloadPackage(const std::string& package, std::string& local, std::string& message, FolderLog& log)
{
    std::string folder;
    if (const int r = PrivateDownloadFolder(folder)) {
        message = FileSaveText(folder, r);
        log.Line(message);
        return false;
    }
    local = folder + package;
    const std::string url = UpdateServerUrl("/files/" + package);
    if (const int rc = HttpDownloadToFile(url, local)) {
        message = Ui("Chyba", "WebCopy") + url + " " + std::to_string(rc);
        log.Line(message);
        return false;
    }
    return true;
}

// The folder log of a new version folder, created; false with the message.
bool CreateFolderLog(FolderLog& log, const std::string& folder, std::string& message)
{
    const std::string path = folder + kInstallerLogName;
    const int r = log.Create(path);
    if (r == 0)
        return true;
    message = r == IoResult::SharingViolation ? Ui("Chyby", "InstLog") : FileSaveText(path, r);
    return false;
}

bool CopyNotWanted(const std::string& name)
{
    const std::string lower = AsciiLower(name);
    const std::string ext = Extension(lower);
    return ext == ".dat" || ext == ".sez" || ext == ".sgn" || ext == ".slw" || ext == ".fon" ||
           ext == ".pdf" || lower == AsciiLower(kInstallerLogName) || lower.rfind("kalvo", 0) == 0;
}

bool IsDataFile(const std::string& name)
{
    const std::string lower = AsciiLower(name);
    const std::string ext = Extension(lower);
    return ext == ".dat" || ext == ".sez" || ext == ".sgn" || ext == ".slw" || ext == ".pdf" ||
           lower.rfind("kalvo", 0) == 0;
}

// Copies one file of a listing unless the target exists; the path of a
// failure other than an existing target.
std::string CopyOne(const std::string& source, const std::string& target, FileSystemOps& ops)
{
    const int r = CopyFileKeep(source, target, ops);
    return r == 0 || r == EEXIST ? std::string() : target;
}

} // namespace

std::string UpdateFolderName(const std::string& runningFolder, const std::string& package)
{
    std::string name = runningFolder;
    if (!IsVersionFolderName(name))
        return {};
    if (FromEnd(name, 2) == '.')
        name.push_back('_');
    else if (FromEnd(name, 4) == '.')
        name.pop_back();
    else if (FromEnd(name, 5) == '.')
        name.resize(name.size() - 2);
    else if (FromEnd(name, 3) != '.')
        return {};
    if (package.size() < 6 || !EndsWithIgnoreCase(package, ".zip"))
        return {};
    name += AsciiLower(package.substr(package.size() - 6, 2));
    return IsVersionFolderName(name) ? name : std::string();
}

UnzipResult UnzipAll(const std::string& archive, const std::string& folder)
{
    return UnzipAll(archive, folder, RealFileSystem());
}

UnzipResult UnzipAll(const std::string& archive, const std::string& folder, FileSystemOps& ops,
                     const UnzipProgress& progress)
{
    UnzipResult result;
    TZipFile zip;
    try {
        ZipOpen(zip, archive);
    } catch (const std::exception& e) {
        result.entry = archive;
        result.error = e.what();
        return result;
    }
    const int count = ZipCount(zip);
    for (int i = 0; i < count; ++i) {
        const std::string name = ZipName(zip, i);
        if (progress && !progress(i, count, name)) {
            result.entry = name;
            result.error = "stopped";
            return result;
        }
        const size_t cut = name.find_last_of("/\\");
        if (AsciiEqualsIgnoreCase(cut == std::string::npos ? name : name.substr(cut + 1), kInstallerLogName))
            continue;
        try {
            const std::string path = zip.Extract(i, folder, ops);
            if (!path.empty())
                result.written.push_back(path.substr(path.rfind('/') + 1));
        } catch (const std::exception& e) {
            result.entry = name;
            result.error = e.what();
            return result;
        }
    }
    return result;
}

int CopyFileKeep(const std::string& source, const std::string& target, FileSystemOps& ops)
{
    if (FileExists(target) || IsSymbolicLink(target))
        return EEXIST;
    ReadOnlyFile in;
    if (const int r = in.Open(source))
        return r == IoResult::NotFound ? ENOENT : EIO;
    unsigned mode = 0644;
    if (ops.FileMode(source, &mode) != 0)
        mode = 0644;
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string("./") : target.substr(0, slash + 1);
    int fd = -1;
    std::string temp;
    if (const int r = ops.CreateTemp(folder, ".qevw-copy-", &fd, &temp))
        return r;
    int err = 0;
    std::string buffer(kCopyChunk, '\0');
    for (int64_t at = 0; err == 0 && at < in.Size();) {
        size_t got = 0;
        const size_t want = static_cast<size_t>(std::min<int64_t>(kCopyChunk, in.Size() - at));
        if (in.ReadAt(at, buffer.data(), want, &got) != 0 || got != want) {
            err = EIO;
            break;
        }
        err = ops.Write(fd, buffer.data(), got);
        at += static_cast<int64_t>(got);
    }
    if (err == 0)
        err = ops.SetMode(fd, mode & 07777);
    if (err == 0)
        err = ops.Flush(fd);
    const int closed = ops.Close(fd);
    if (err == 0)
        err = closed;
    if (err == 0)
        err = ops.Link(temp, target);
    ops.Remove(temp);
    return err;
}

std::string CopyProgramFiles(const std::string& source, const std::string& target)
{
    return CopyProgramFiles(source, target, RealFileSystem());
}

std::string CopyProgramFiles(const std::string& source, const std::string& target, FileSystemOps& ops)
{
    const std::string from = WithTrailingSlash(source);
    const std::string to = WithTrailingSlash(target);
    std::string failed;
    for (const FolderEntry& e : ListFolder(from)) {
        if (e.kind != FolderEntry::Kind::File || CopyNotWanted(e.name))
            continue;
        failed = CopyOne(from + e.name, to + e.name, ops);
        if (!failed.empty())
            break;
    }
    const std::string base = InstallBase();
    if (failed.empty() && !base.empty()) {
        for (const char* font : {"vedavizo.did", "tarelfix.fon"}) {
            const std::string have = ResolveInFolder(from, font);
            if (FileExists(have) && !FileExists(ResolveInFolder(base, font))) {
                failed = CopyOne(have, base + have.substr(have.rfind('/') + 1), ops);
                if (!failed.empty())
                    break;
            }
        }
    }
    AppendRunLog("ExeCopy: " + from + " -> " + to + "\r\n");
    return failed;
}

std::string CopyDataFiles(const std::string& source, const std::string& target)
{
    return CopyDataFiles(source, target, RealFileSystem());
}

std::string CopyDataFiles(const std::string& source, const std::string& target, FileSystemOps& ops)
{
    const std::string from = WithTrailingSlash(source);
    const std::string to = WithTrailingSlash(target);
    const ConfigValues c = Config().Snapshot();
    // The notes and the user sign list's source lie in the running folder
    // when no notes folder is set: they go along, or the user loses them.
    std::vector<std::string> notes;
    if (WithTrailingSlash(c.NotesFolder.empty() ? from : c.NotesFolder) == from) {
        const std::string base = AsciiLower(c.NotesName.empty() ? std::string("NOTES") : c.NotesName);
        notes = {base + ".not", base + ".pnt"};
        if (!c.SignListName.empty()) {
            notes.push_back(AsciiLower(c.SignListName) + ".txt");
            notes.push_back(AsciiLower(c.SignListName) + ".csv");
        }
    }
    std::string failed;
    for (const FolderEntry& e : ListFolder(from)) {
        if (e.kind != FolderEntry::Kind::File)
            continue;
        const bool wanted =
            IsDataFile(e.name) || std::find(notes.begin(), notes.end(), AsciiLower(e.name)) != notes.end();
        if (!wanted || AsciiEqualsIgnoreCase(e.name, kInstallerLogName))
            continue;
        // A file the package brought in another letter case stays the package's.
        if (FileExists(ResolveInFolder(to, e.name)))
            continue;
        failed = CopyOne(from + e.name, to + e.name, ops);
        if (!failed.empty())
            break;
    }
    AppendRunLog("DatCopy: " + from + " -> " + to + "\r\n");
    return failed;
}

bool updates::StartInstallerMode()
{
    static UpdateLockHold* hold = new UpdateLockHold; // held through installer mode
    const StartValues& s = ProgramStart();
    const std::string path = s.ProgramFolder + kInstallerLogName;
    if (!hold->Take(InstallBase(), kInstallerLockWaitMs)) {
        ShowError(LookupText(UiTexts, "Chyby", "InstLog"));
        return false;
    }
    InstallerLogHandle& h = InstallerLog();
    std::lock_guard lock(h.mutex);
    const int r = h.log.Open(path);
    if (r != 0) {
        ShowError(r == IoResult::SharingViolation
                      ? LookupText(UiTexts, "Chyby", "InstLog")
                      : LookupText(UiTexts, "Chyby", "FileSave") + path + " " + std::to_string(r));
        hold->Release();
        return false;
    }
    h.log.Line(" =====  process instal");
    h.log.Append(TakeRunLog());
    const LocalTime now = LocalTimeOf(NowSeconds());
    char date[16];
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", now.day, now.month, now.year);
    h.log.Line(date);
    const std::string package = PackageNameOfFolder(s.ProgramFolder);
    UpdateShared().SetChosenPackage(package.empty() ? std::string() : package + ".zip");
    StartGetList();
    return true;
}

bool updates::PrepareDataUpdate()
{
    UpdateSharedValues& u = UpdateShared();
    if (!u.serverListReady.load()) {
        if (u.serverListFetchStarted.load())
            return false;
        LoadServerList();
    }
    if (!u.serverListReady.load() || u.ServerListText().size() < 10)
        return false;
    Config().Update([](ConfigValues& v) { v.NextCheckDate = DateTextYmd(2.4); });
    SaveConfig(false);
    const std::string package = PackageNameOfFolder(ProgramStart().ProgramFolder);
    if (package.size() < 5)
        return false;
    u.SetChosenPackage(package.substr(0, 5) + "*.zip");
    return ParseUpdateList(false, true);
}

void updates::RunDataUpdate(std::string& message)
{
    RunDataUpdate(message, RealFileSystem());
}

void updates::RunDataUpdate(std::string& message, FileSystemOps& ops)
{
    // 1-3: online, a base to build in, a new folder name.
    if (IsOnline() == 0) {
        message = Ui("Inst", "none");
        return;
    }
    const StartValues& s = ProgramStart();
    message = Ui("Chyby", "WrPath") + ": " + s.ProgramFolder;
    const std::string base = InstallBase();
    const std::string package = UpdateShared().ChosenPackage();
    const int64_t expected = UpdateShared().ExpectedPackageSize();
    if (base.empty() || s.ProgramFolder.size() <= 9 || !IsListName(package))
        return;
    const std::string name = UpdateFolderName(LastFolderPart(s.ProgramFolder), package);
    if (name.empty())
        return;
    UpdateLockHold lock;
    if (!lock.Take(base, 0)) {
        message = Ui("Chyby", "eWTime");
        return;
    }
    const std::string folder = base + name + "/";
    AppendRunLog("Update=" + folder + "\r\n");

    // 5-7: the folder and its log.
    Step("folder");
    if (!PrepareTargetFolder(base, name)) {
        message = Ui("Chyby", "PathNew") + folder;
        return;
    }
    message.clear();
    FolderLog log(ops);
    if (!CreateFolderLog(log, folder, message))
        return;
    Step("log");
    log.Line("start update");
    AppendRunLog("UpdateStart\r\n");

    // 8-9: the package, whole and of the listed size.
    Step("download");
    std::string local;
    if (!DownloadPackage(package, local, message, log))
        return;
    const int64_t actual = FileSize(local);
    if (actual != expected) {
        message =
            Ui("Chyby", "WebSize") + package + " " + std::to_string(expected) + " " + std::to_string(actual);
        log.Line(message);
        ops.Remove(local);
        return;
    }

    // 10: unpacked; a data package brings no program, so the running one
    // comes along, or the launcher would name a folder that cannot start.
    AppendRunLog("UpdateWeb=\r\n");
    Step("unzip");
    const UnzipResult unzip = UnzipAll(local, folder, ops);
    if (!unzip.Ok()) {
        message = Ui("Inst", "kvoDat") + ": " + unzip.entry + " " + unzip.error;
        log.Line(message);
        ops.Remove(local);
        return;
    }
    AppendRunLog("UpdateZip=\r\n");
    log.Line("UpdateExe");
    Step("copy");
    std::string failed;
    if (!FileExists(folder + kProgramFileName))
        failed = CopyProgramFiles(s.ProgramFolder, folder, ops);
    // 11: the user's data files that the package does not bring.
    if (failed.empty())
        failed = CopyDataFiles(s.ProgramFolder, folder, ops);
    if (!failed.empty()) {
        message = Ui("Chyby", "FileSave") + failed;
        log.Line(message);
        return;
    }

    // 12: the data test, then the folder must be complete.
    Step("test");
    log.Line("CopyData");
    std::string diffs;
    ManifestDiffs(folder, diffs);
    if (!diffs.empty()) {
        message = Ui("Inst", "kvoDat");
        log.Line("FastTest:");
        log.Append(diffs);
        return;
    }
    if (!FileExists(folder + kProgramFileName) || !FileExists(ResolveInFolder(folder, kManifestName))) {
        message = Ui("Inst", "kvoDat") + ": " + kProgramFileName;
        log.Line(message);
        return;
    }

    // 13: complete once the files and the folder are on disk and the log
    // is gone; then the launcher, only forward.
    log.Line("TestData OK");
    if (const int r = ops.SyncFolder(folder)) {
        message = FileSaveText(folder, r);
        log.Line(message);
        return;
    }
    if (const int r = log.Delete()) {
        message = FileSaveText(folder + kInstallerLogName, r);
        return;
    }
    ops.SyncFolder(folder);
    Step("done");
    Config().Update([](ConfigValues& v) { v.DeclinedPackage.clear(); });
    SaveConfig(false);
    const std::string current = ReadLauncherTarget(base + kLauncherName);
    if (!current.empty() && AsciiLower(name + "/") <= AsciiLower(current)) {
        AppendRunLog("Launcher kept\r\n");
        return;
    }
    Step("launcher");
    if (const int r = WriteLauncher(base, name, ops))
        message = Ui("Chyby", "FileSave") + base + kLauncherName + " " + std::to_string(r);
}

void InstallProgramPackage(std::string& message)
{
    message.clear();
    const StartValues& s = ProgramStart();
    const std::string base = InstallBase();
    const std::string name = FolderOfPackage(UpdateShared().ChosenPackage());
    if (base.empty() || name.empty()) {
        message = Ui("Chyby", "WrPath") + ": " + s.ProgramFolder;
        return;
    }
    const std::string folder = base + name;
    AppendRunLog("Path2=" + folder + "\r\n");
    if (AsciiLower(folder) == AsciiLower(s.ProgramFolder)) {
        message = "*** new = old -> stop ***";
        AppendRunLog(message + "\r\n");
        return;
    }
    UpdateLockHold lock;
    if (!lock.Take(base, 0)) {
        message = Ui("Chyby", "eWTime");
        return;
    }
    if (!PrepareTargetFolder(base, name.substr(0, name.size() - 1))) {
        message = Ui("Chyby", "PathNew") + folder;
        return;
    }
    FolderLog log;
    if (!CreateFolderLog(log, folder, message))
        return;
    AppendRunLog("InstLog=" + folder + "\r\n");
    log.Line("start instal");

    if (!FindNewestProgramZip()) {
        if (const std::string failed = CopyProgramFiles(s.ProgramFolder, folder); !failed.empty()) {
            message = Ui("Chyby", "FileSave") + failed;
            log.Line(message);
            return;
        }
        AppendRunLog("CopyExe " + folder + "\r\n");
    } else {
        const std::string package = UpdateShared().ChosenPackage();
        const int64_t expected = UpdateShared().ExpectedPackageSize();
        std::string local;
        if (!DownloadPackage(package, local, message, log))
            return;
        const int64_t actual = FileSize(local);
        AppendRunLog("ExeZip=" + local + " " + std::to_string(actual) + "\r\n");
        if (actual != expected) {
            message = Ui("Chyby", "WebSize") + package + " " + std::to_string(expected) + " " +
                      std::to_string(actual);
            log.Line(message);
            RealFileSystem().Remove(local);
            return;
        }
        const UnzipResult unzip = UnzipAll(local, folder);
        if (!unzip.Ok()) {
            message = Ui("Inst", "kvoDat") + ": " + unzip.entry + " " + unzip.error;
            log.Line(message);
            RealFileSystem().Remove(local);
            return;
        }
        AppendRunLog("UnZipExe " + folder + "\r\n");
    }
    AppendRunLog("Best=" + folder + "\r\n");
    log.Append(RunLogText());
    log.Close();
    UpdateStatusText().Set(Ui("Inst", "staR"));
    // The copy waits for the lock this run holds.
    lock.Release();
    const std::string program = folder + kProgramFileName;
    const int r = LaunchWithHandshake(program, {"/q=inst"}, &g_launchReply, false);
    if (r < 32) {
        message = Ui("Chyby", "Exec") + program + " " + std::to_string(r);
        if (log.Open(folder + kInstallerLogName) == 0)
            log.Line("error Exec " + std::to_string(r));
        g_launchReply = 0;
    }
}

bool StartUpgrade()
{
    Upgrade().Exchange(std::string());
    if (!updates::PrepareDataUpdate())
        return false;
    AppendRunLog("bestZip " + UpdateShared().ChosenPackage() + "\r\n");
    std::string message;
    InstallProgramPackage(message);
    AppendRunLog("startUpgrade " + message + "\r\n");
    if (PublishedProgramType() == ProgramKind::Normal)
        Upgrade().Exchange(message);
    return message.empty();
}

std::string UpgradeMessage()
{
    return Upgrade().Get();
}

void ComposeStartPageNoticeNow()
{
    // "25.02|label", as the loader stored a declined package.
    const std::string notice = UpdateShared().StartPageNotice();
    if (notice.size() > 6)
        UpdateStatusText().Set(notice.substr(6));
}

void SetUpdateStepHook(std::function<void(std::string_view step)> hook)
{
    StepHook().Exchange(std::move(hook));
}

void AddUpdateProcedures(UpdateServices& u)
{
    u.loadServerList = [] { updates::LoadServerList(); };
    u.findProgramPackage = [](int mode, uint32_t customer, int skipDeclined, std::string& label) {
        const bool found = updates::FindProgramPackage(mode, customer, skipDeclined != 0, label);
        label = KamToWin(label); // the loader's texts are in the display code page
        return found;
    };
    u.prepareDataUpdate = [] { return updates::PrepareDataUpdate(); };
    u.runDataUpdate = [](std::string& message) { updates::RunDataUpdate(message); };
    u.findBestVersionFolder = [] { updates::FindBestVersionFolder(); };
    u.startInstallerMode = [] { return updates::StartInstallerMode(); };
    u.composeStartPageNotice = [] { ComposeStartPageNoticeNow(); };
    u.serverVariant = [] { return UpdateShared().ServerVariant(); };
}
