#include "maintenance/server_list.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/start/command_line.h"
#include "frame/windows/main_form.h"
#include "maintenance/download_folder.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/version_folders.h"
#include "platform/ascii.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"

namespace {

std::mutex& FetchMutex()
{
    static std::mutex* m = new std::mutex; // the worker may outlive the statics
    return *m;
}

// The list worker: one thread at a time, never destroyed while it runs (the
// process ends around a fetch still running).
struct GetListWorker {
    std::mutex mutex;
    std::condition_variable ended;
    std::thread thread;
    bool running = false;
};

GetListWorker& Worker()
{
    static GetListWorker* w = new GetListWorker;
    return *w;
}

// The package descriptions fetched in this run: each is fetched anew once
// per run, then read from the download folder.
struct Fetched {
    std::mutex mutex;
    std::set<std::string> names;
};
Fetched& FetchedDescriptions()
{
    static Fetched* f = new Fetched;
    return *f;
}

GuardedValue<DiskSpaceProbe>& Probe()
{
    static GuardedValue<DiskSpaceProbe> p;
    return p;
}

int64_t FreeBytes(const std::string& folder)
{
    const DiskSpaceProbe p = Probe().Get();
    return p.freeBytes ? p.freeBytes(folder) : DiskFreeBytes(folder);
}

std::string MountPoint(const std::string& folder)
{
    const DiskSpaceProbe p = Probe().Get();
    return p.mountPoint ? p.mountPoint(folder) : MountPointOf(folder);
}

bool EndsWith(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool ParseSize(std::string_view t, int64_t& out)
{
    out = 0;
    size_t i = 0;
    bool negative = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        negative = t[0] == '-';
        i = 1;
    }
    if (i == t.size())
        return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9' || v > (INT64_MAX - 9) / 10)
            return false;
        v = v * 10 + (t[i] - '0');
    }
    out = negative ? -v : v;
    return true;
}

std::string UiDisplayText(const char* section, const char* key)
{
    return KamToWin(LookupText(UiTexts, section, key));
}

// The low-space message for a folder, into the status text and the loader's
// pending message; the chosen package is cleared.
void ReportLowSpace(const std::string& package, const std::string& folder)
{
    const std::string text = LowSpaceText(UiDisplayText("Inst", "loSp"), package, MountPoint(folder));
    UpdateStatusText().Set(text);
    UpdateShared().SetPendingServerMessage(text);
    UpdateShared().SetChosenPackage("");
}

std::string DownloadFolderOrTemp()
{
    std::string folder;
    PrivateDownloadFolder(folder);
    return folder;
}

} // namespace

std::string UpdateHostName(const std::string& variant, uint32_t customerNumber)
{
    std::string v = variant;
    if (std::find(std::begin(kTestCustomerNumbers), std::end(kTestCustomerNumbers), customerNumber) !=
            std::end(kTestCustomerNumbers) &&
        v != "s" && v != "t" && v != "v")
        v = "t";
    const Endpoints e = CurrentEndpoints();
    return v == "t" || v == "v" ? e.updateTestHost : e.updateHost;
}

std::string UpdateHostName()
{
    return UpdateHostName(UpdateShared().ServerVariant(), UpdateShared().CustomerNumber());
}

std::string UpdateServerUrl(const std::string& path)
{
    return CurrentHttpSettings().urlScheme + UpdateHostName() + path;
}

std::string NormaliseServerList(std::string_view raw)
{
    std::string out = "\n";
    out.reserve(raw.size() + 2);
    for (char c : raw) {
        if (static_cast<unsigned char>(c) < 32) {
            if (out.back() != '\n')
                out.push_back('\n');
        } else {
            out.push_back(c);
        }
    }
    if (out.back() != '\n')
        out.push_back('\n');
    return out;
}

bool IsListName(std::string_view name)
{
    if (name.empty() || name.size() > 31 || name.find("..") != std::string_view::npos)
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    });
}

std::vector<ServerListEntry> ReadServerList(std::string_view text)
{
    std::vector<ServerListEntry> out;
    std::string token;
    std::string name;
    auto end = [&](char ender) {
        if (token.empty())
            return;
        if (token.size() > 255)
            token.resize(255);
        if (ender == ' ') {
            name = AsciiLower(token);
        } else if (!name.empty()) {
            ServerListEntry e;
            e.name = name;
            ParseSize(token, e.size);
            if (IsListName(e.name))
                out.push_back(std::move(e));
            name.clear();
        }
        token.clear();
    };
    for (char c : text) {
        if (c == ',')
            c = ' ';
        if (static_cast<unsigned char>(c) <= 32)
            end(c);
        else
            token.push_back(c);
    }
    end('\n');
    return out;
}

void updates::LoadServerList()
{
    if (IsOnline() == 0)
        return;
    std::unique_lock fetch(FetchMutex(), std::try_to_lock);
    if (!fetch.owns_lock()) {
        // Another fetch runs: its result is this one's.
        std::lock_guard wait(FetchMutex());
        return;
    }
    UpdateSharedValues& u = UpdateShared();
    u.serverListFetchStarted = true;
    u.serverListReady = false;
    std::string stream;
    std::string error;
    HttpGetStream(UpdateServerUrl("/files/list.txt"), stream, error);
    if (!error.empty()) {
        stream.clear();
        AppendRunLog("GetList: " + error + "\r\n");
        u.SetPendingServerMessage(error);
    }
    u.SetServerList(NormaliseServerList(stream), error);
    u.serverListReady = true;
}

void StartGetList()
{
    GetListWorker& w = Worker();
    std::lock_guard lock(w.mutex);
    if (w.running)
        return;
    if (w.thread.joinable())
        w.thread.join();
    w.running = true;
    w.thread = std::thread([&w] {
        try {
            updates::LoadServerList();
        } catch (const std::exception& e) {
            AppendRunLog(std::string("GetList: ") + e.what() + "\r\n");
            UpdateShared().serverListReady = true;
        }
        std::lock_guard done(w.mutex);
        w.running = false;
        w.ended.notify_all();
    });
}

bool GetListRunning()
{
    GetListWorker& w = Worker();
    std::lock_guard lock(w.mutex);
    return w.running;
}

bool WaitGetList(int ms)
{
    GetListWorker& w = Worker();
    std::unique_lock lock(w.mutex);
    return w.ended.wait_for(lock, std::chrono::milliseconds(ms), [&w] { return !w.running; });
}

std::string RunningProgramPackage()
{
    return "win" + AsciiLower(LookupText(UiTexts, "Uvod", "Ver")) + ".zip";
}

bool SeeksProgramPackages(const std::string& runningPackage)
{
    // "win" + a version that begins with a digit: a missing UI text ("!! ")
    // or a stand-in never looks for packages.
    return runningPackage.size() > 8 && runningPackage[3] >= '1' && runningPackage[3] <= '9' &&
           IsListName(runningPackage);
}

int LowSpaceFolder(int64_t size, int64_t downloadFree, int64_t baseFree, bool sameFileSystem)
{
    int problem = 0;
    if (downloadFree >= 0 && size >= downloadFree)
        problem = 1;
    if (baseFree >= 0 && baseFree < 2 * size)
        problem = 2;
    if (sameFileSystem && downloadFree >= 0 && downloadFree < 3 * size)
        problem = 2;
    return problem;
}

std::string LowSpaceText(const std::string& text, const std::string& package, const std::string& where)
{
    std::string out = text;
    std::string name = package;
    if (EndsWith(AsciiLower(name), ".zip"))
        name.resize(name.size() - 4);
    const size_t pair = out.find("  ");
    if (pair != std::string::npos)
        out.insert(pair + 1, name);
    return out + where;
}

DiskSpaceProbe SetDiskSpaceProbe(DiskSpaceProbe probe)
{
    return Probe().Exchange(std::move(probe));
}

bool ParseUpdateList(bool anyVersion, bool strict)
{
    UpdateSharedValues& u = UpdateShared();
    const std::string chosen = u.ChosenPackage();
    if (!u.serverListReady.load() || chosen.size() <= 3)
        return false;
    const StartValues& s = ProgramStart();
    std::string installed;
    if (!anyVersion && !s.ProgramFolder.empty()) {
        std::string best = u.BestVersionFolder();
        if (best.empty())
            best = LastFolderPart(s.ProgramFolder);
        installed = PackageNameOfFolder("/" + best + "/") + ".zip";
    }
    std::string log;
    if (s.ProgramFolder.empty())
        log += "zip4upd: DP=_ ";
    if (anyVersion)
        log += "zip4upd: anyver=T ";
    AppendRunLog(log + "zip4upd: dp=" + installed + " zn=" + chosen + "\r\n");

    const std::string pattern = AsciiLower(chosen);
    const std::vector<ServerListEntry> entries = ReadServerList(u.ServerListText());
    bool found = false;
    int64_t size = 0;
    std::string name;
    const size_t star = pattern.find('*');
    if (star != std::string::npos) {
        const std::string prefix = pattern.substr(0, star);
        const std::string suffix = pattern.substr(star + 1);
        std::string current = pattern;
        for (const ServerListEntry& e : entries) {
            if (e.name.rfind(prefix, 0) == 0 && EndsWith(e.name, suffix) && e.name > current &&
                e.name > installed) {
                current = name = e.name;
                size = e.size;
            }
        }
        found = !name.empty();
    } else {
        if (strict && pattern <= installed)
            return false;
        name = chosen;
        for (const ServerListEntry& e : entries) {
            if (e.name == pattern) {
                size = e.size;
                found = true;
            }
        }
    }
    u.SetChosenPackage(name, size);
    AppendRunLog("zipName=" + name + "\r\n");
    if (!found || size <= 0)
        return found;

    const std::string download = DownloadFolderOrTemp();
    const std::string base = InstallBase();
    const int64_t downloadFree = FreeBytes(download);
    const int64_t baseFree = base.empty() ? -1 : FreeBytes(base);
    const bool same = !base.empty() && MountPoint(download) == MountPoint(base);
    const int problem = LowSpaceFolder(size, downloadFree, baseFree, same);
    if (problem != 0) {
        ReportLowSpace(name, problem == 1 ? download : base);
        return false;
    }
    return true;
}

bool FindNewestProgramZip()
{
    UpdateSharedValues& u = UpdateShared();
    const std::string running = RunningProgramPackage();
    if (!u.serverListReady.load() || !SeeksProgramPackages(running))
        return false;
    u.SetChosenPackage("");
    std::string best;
    int64_t size = 0;
    for (const ServerListEntry& e : ReadServerList(u.ServerListText())) {
        if (e.name.rfind("win", 0) == 0 && EndsWith(e.name, ".zip") && e.name > best && e.name > running) {
            best = e.name;
            size = e.size;
        }
    }
    u.SetChosenPackage(best, size);
    AppendRunLog("zipExe=" + best + "\r\n");
    return !best.empty();
}

bool updates::FindProgramPackage(int signSetNumber, uint32_t customerNumber, bool skipDeclined,
                                 std::string& label)
{
    UpdateSharedValues& u = UpdateShared();
    const std::string running = RunningProgramPackage();
    if (!u.serverListReady.load() || !SeeksProgramPackages(running))
        return false;
    u.SetChosenPackage("");
    label.clear();
    std::string declined;
    if (skipDeclined) {
        const std::string upd = Config().Read([](const ConfigValues& v) { return v.DeclinedPackage; });
        declined = "win" + AsciiLower(upd.substr(0, 5)) + ".zip";
    }
    const std::vector<ServerListEntry> entries = ReadServerList(u.ServerListText());
    std::set<std::string> names;
    for (const ServerListEntry& e : entries)
        names.insert(e.name);
    // The greatest name that qualifies wins: try them from the greatest down,
    // so that only the descriptions needed are fetched.
    std::vector<ServerListEntry> candidates;
    for (const ServerListEntry& e : entries) {
        if (e.name.compare(0, 6, running, 0, 6) != 0 || !EndsWith(e.name, ".zip") || e.name <= running ||
            e.name == declined)
            continue;
        // Its description must be published.
        if (names.count(e.name.substr(0, e.name.size() - 3) + "ini") == 0)
            continue;
        candidates.push_back(e);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const ServerListEntry& a, const ServerListEntry& b) { return a.name > b.name; });
    std::string chosen;
    int64_t size = 0;
    for (const ServerListEntry& e : candidates) {
        if (e.name == chosen)
            continue;
        std::string text;
        if (PackageMatches(e.name, running, signSetNumber, text, customerNumber)) {
            chosen = e.name;
            size = e.size;
            label = text;
            break;
        }
    }
    u.SetChosenPackage(chosen, size);
    AppendRunLog("zipOpr=" + chosen + "\r\n");
    if (chosen.empty())
        return false;
    const std::string base = InstallBase();
    if (size > 0 && !base.empty()) {
        const int64_t free = FreeBytes(base);
        if (free >= 0 && FolderSizeEstimate(ProgramStart().ProgramFolder) > free) {
            ReportLowSpace(chosen, base);
            label.clear();
            return false;
        }
    }
    return true;
}

int IniValueAt(std::string_view text, std::string_view key, std::string& value)
{
    value.clear();
    for (size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
        if (at != 0 && static_cast<unsigned char>(text[at - 1]) >= 32)
            continue;
        size_t end = at + key.size();
        while (end < text.size() && static_cast<unsigned char>(text[end]) >= 32)
            ++end;
        value.assign(text.substr(at + key.size(), std::min<size_t>(end - at - key.size(), 254)));
        return static_cast<int>(value.size());
    }
    return -1;
}

bool DescriptionMatches(std::string_view description, const std::string& runningPackage,
                        const std::string& dataPackage, int signSetNumber, uint32_t customerNumber,
                        std::string& label)
{
    label.clear();
    std::string v;
    // The running version: characters 4 to 8 of its package name.
    if (runningPackage.size() < 8 || IniValueAt(description, "EXE=", v) < 0 ||
        v.find(runningPackage.substr(3, 5)) == std::string::npos)
        return false;
    if (IniValueAt(description, "DAT=", v) >= 0 &&
        (dataPackage.empty() || ("|" + v + "|").find("|" + dataPackage + "|") == std::string::npos))
        return false;
    if (IniValueAt(description, "ICO=", v) >= 0 &&
        ("|" + v + "|").find("|" + std::to_string(customerNumber) + "|") == std::string::npos)
        return false;
    if (IniValueAt(description, "SGN=", v) >= 0 && v.find(std::to_string(signSetNumber)) == std::string::npos)
        return false;
    if (IniValueAt(description, "LAB=", v) < 0)
        return false;
    WinToKamS(v);
    label = v;
    return !label.empty();
}

bool PackageMatches(const std::string& package, const std::string& runningPackage, int signSetNumber,
                    std::string& label, uint32_t customerNumber)
{
    label.clear();
    if (package.size() < 4)
        return false;
    const std::string description = package.substr(0, package.size() - 3) + "ini";
    std::string folder;
    if (!IsListName(description) || PrivateDownloadFolder(folder) != 0)
        return false;
    const std::string path = folder + description;
    Fetched& fetched = FetchedDescriptions();
    bool known = false;
    {
        std::lock_guard lock(fetched.mutex);
        known = fetched.names.count(description) != 0;
    }
    if (!known || !FileExists(path)) {
        if (HttpDownloadToFile(UpdateServerUrl("/files/" + description), path) != 0)
            return false;
        std::lock_guard lock(fetched.mutex);
        fetched.names.insert(description);
    }
    std::string text;
    if (FileSize(path) > 65536 || ReadWholeFile(path, text) != 0)
        return false;
    const std::string dataPackage = AsciiUpper(PackageNameOfFolder(ProgramStart().ProgramFolder));
    return DescriptionMatches(text, runningPackage, dataPackage, signSetNumber, customerNumber, label);
}
