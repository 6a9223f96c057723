#include "maintenance/installer_workers.h"

#include <cctype>
#include <stdexcept>

#include "datastore/db_status.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "maintenance/download_folder.h"
#include "maintenance/folder_log.h"
#include "maintenance/http_client.h"
#include "maintenance/installer_state.h"
#include "maintenance/server_list.h"
#include "maintenance/version_folders.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

namespace {

constexpr int64_t kMegabyte = 1048576;
constexpr size_t kMaxDetailName = 33;

// The run's end in step 7 for a worker's failure: the running step's
// result carries the text, the log keeps it.
void FailRun(InstallerState& state, const std::string& text)
{
    const uint16_t n = state.step.load();
    state.AppendResult(n, " error " + text);
    InstallerLogLine("E: " + text);
    state.stepCount = 4;
    state.state = InstallState::WorkerFailed;
    state.step = InstallStep::Failed;
}

std::string Lower(std::string_view s)
{
    return AsciiLower(std::string(s));
}

std::string WithoutSlash(std::string name)
{
    if (!name.empty() && name.back() == '/')
        name.pop_back();
    return name;
}

// The data-store errors of the data test become lines of the test.
thread_local InstallerState* t_checkState = nullptr;
void AddDbErrorLine(const TFileId& id, int32_t, uint16_t)
{
    if (t_checkState != nullptr)
        t_checkState->AddMessage(FileIdToStr(id) + " " + std::to_string(DbStatus));
}

class InstallerRun {
public:
    InstallerRun(InstallerState& state, const InstallerServices& services, const InstallerPlace& place,
                 const InstallerTextLookup& text, const std::atomic<bool>& stop)
        : st_(state), sv_(services), place_(place), text_(text), stop_(stop)
    {}

    void Run()
    {
        try {
            Body();
        } catch (const std::exception& e) {
            Failed(e.what());
        } catch (...) {
            Failed("unknown exception");
        }
        try {
            End();
        } catch (...) {
            // The log could not be finished; the page shows the state.
        }
    }

private:
    std::string Text(const char* section, const char* key) const { return text_(section, key); }
    FileSystemOps& Files() const { return sv_.files != nullptr ? *sv_.files : RealFileSystem(); }
    void Title(const char* key) const
    {
        if (sv_.setTitle)
            sv_.setTitle("KALVO - " + Text("Inst", key));
    }
    void StopPoint() const
    {
        if (stop_.load())
            throw std::runtime_error("stopped");
    }
    // A package that failed to unpack or test is fetched anew by the next
    // try.
    void Failed(const std::string& text)
    {
        const uint16_t step = st_.step.load();
        if (step == InstallStep::Unpack || step == InstallStep::DataTest)
            RemovePackage();
        FailRun(st_, text);
    }
    void RemovePackage() const
    {
        if (!local_.empty() && FileExists(local_))
            Files().Remove(local_);
    }

    void Body()
    {
        OpenLog();
        st_.step = InstallStep::Download;
        st_.state = InstallState::Downloading;
        st_.ClearMessages();
        Title("st2");
        if (!Download())
            return;
        StopPoint();
        if (!Unpack())
            return;
        StopPoint();
        if (!TestData())
            return;
        Switch();
    }

    void OpenLog()
    {
        InstallerLogHandle& h = InstallerLog();
        std::lock_guard lock(h.mutex);
        if (h.log.IsOpen())
            return;
        if (const int r = h.log.Create(place_.programFolder + kInstallerLogName))
            throw std::runtime_error(Text("Chyby", "FileSave") + place_.programFolder + kInstallerLogName +
                                     " " + std::to_string(r));
        h.log.Line("... continue");
    }

    bool Download()
    {
        std::string folder;
        if (const int r = sv_.downloadFolder(folder))
            throw std::runtime_error(Text("Chyby", "FileSave") + folder + " " + std::to_string(r));
        local_ = folder + place_.package;
        const int64_t expected = place_.expectedSize;
        st_.SetResult(InstallStep::Download, place_.package);
        if (FileSize(local_) != expected) {
            st_.progress = 0;
            st_.total = static_cast<int32_t>(expected / kMegabyte + 1);
            st_.SetDetail(InstallStep::Download, local_);
            const std::string url = UpdateServerUrl("/files/" + place_.package);
            const int rc = sv_.download(url, local_, [this](int64_t bytes) {
                st_.progress = static_cast<int32_t>(bytes / kMegabyte);
            });
            if (rc != 0)
                st_.AddMessage("GetInet failure " + std::to_string(rc));
        }
        // Only the size decides: an error that left the whole file passes.
        const int64_t actual = FileSize(local_);
        if (actual != expected) {
            const bool online = sv_.isOnline() != 0;
            st_.AddMessage(online ? "size dif " + std::to_string(expected - std::max<int64_t>(actual, 0))
                                  : std::string("web crash"));
            const std::string first = st_.Messages().front();
            st_.AppendDetail(InstallStep::Download, " error: " + first);
            st_.AppendResult(InstallStep::Download,
                             online ? " error " + first : " " + Text("Chyby", "NetNo"));
            RemovePackage();
            st_.progress = 100;
            st_.state = InstallState::DownloadFailed;
            st_.stepCount = 4;
            st_.step = InstallStep::Failed;
            return false;
        }
        st_.SetDetail(InstallStep::Download, (place_.package + ": ").substr(0, kMaxDetailName) +
                                                 std::to_string(PackageMegabytes(actual)) + " MB");
        FlushRunLogToInstallerLog();
        InstallerLogLine("2: " + st_.Detail(InstallStep::Download));
        return true;
    }

    bool Unpack()
    {
        st_.step = InstallStep::Unpack;
        st_.state = InstallState::Unpacking;
        st_.SetDetail(InstallStep::Unpack, place_.programFolder);
        Title("st3");
        st_.progress = 0;
        const UnzipResult r =
            sv_.unzip(local_, place_.programFolder, [this](int index, int count, const std::string& name) {
                st_.total = count;
                st_.progress = index;
                st_.AddMessage(name);
                return !stop_.load();
            });
        if (!r.Ok())
            throw std::runtime_error(r.entry + " " + r.error);
        st_.progress = st_.total.load();
        st_.SetResult(InstallStep::Unpack, place_.programFolder);
        st_.state = InstallState::Testing;
        FlushRunLogToInstallerLog();
        InstallerLogLine("3: " + st_.Detail(InstallStep::Unpack));
        return true;
    }

    bool TestData()
    {
        st_.step = InstallStep::DataTest;
        st_.progress = 0;
        Title("st4");
        st_.ClearMessages();
        t_checkState = &st_;
        const TDbErrorHook oldHook = ThreadDbErrorHook;
        ThreadDbErrorHook = &AddDbErrorLine;
        struct Restore {
            TDbErrorHook hook;
            ~Restore()
            {
                ThreadDbErrorHook = hook;
                t_checkState = nullptr;
            }
        } restore{oldHook};
        sv_.checkData(place_.programFolder, [this](const std::string& line) {
            st_.AddMessage(KamToWin(line));
            if (line.empty() || line[0] != '!')
                st_.progress += 1;
        });
        const std::vector<std::string> lines = FilterCheckLines(st_.Messages());
        st_.SetMessages(lines);
        st_.SetResult(InstallStep::DataTest, lines.empty() ? std::string("OK") : lines[0]);
        if (CheckLinesFailed(lines)) {
            st_.SetResult(InstallStep::DataTest, lines[2]);
            FlushRunLogToInstallerLog();
            for (const std::string& line : lines)
                InstallerLogLine(line);
            InstallerLogLine("4: --KO");
            RemovePackage();
            st_.state = InstallState::DataTestFailed;
            st_.stepCount = 4;
            st_.step = InstallStep::Failed;
            return false;
        }
        st_.SetDetail(InstallStep::DataTest, st_.Result(InstallStep::DataTest));
        FlushRunLogToInstallerLog();
        InstallerLogLine("4: " + st_.Detail(InstallStep::DataTest));
        return true;
    }

    void Switch()
    {
        st_.state = InstallState::Installed;
        InstallerLogLine("5c: 0 " + std::to_string(DbStatus));
        const std::string& base = place_.installBase;
        if (base.empty()) {
            InstallerLogLine("5d: no base");
        } else {
            const std::string name = LastFolderPart(place_.programFolder);
            const std::string launcher = base + kLauncherName;
            const std::string current = WithoutSlash(ReadLauncherTarget(launcher));
            // Only forward: a launcher naming a newer folder stays.
            if (Lower(name) > Lower(current))
                InstallerLogLine("5d: " + std::to_string(sv_.writeLauncher(base, name)));
            else
                InstallerLogLine("5d: kept " + current);
            const std::string named = WithoutSlash(ReadLauncherTarget(launcher));
            const std::string old = FindOldProgramFolder(base, name, named);
            InstallerLogLine("5e: " + old);
            if (!old.empty()) {
                // An installation of the old layout: its launcher moves to the
                // new folder, and the old folder goes once nothing names it.
                if (named.empty() || Lower(named) == Lower(old))
                    InstallerLogLine("5f: " + std::to_string(sv_.writeLauncher(base, name)));
                if (Lower(WithoutSlash(ReadLauncherTarget(launcher))) != Lower(old)) {
                    DeleteFolderTree(base, old);
                    InstallerLogLine("5g: " + std::to_string(FolderExists(base + old) ? 1 : 0));
                }
            }
        }
        st_.SetResult(InstallStep::Switch, Text("Klic", "rdy"));
        st_.step = InstallStep::Finished;
    }

    void End()
    {
        FlushRunLogToInstallerLog();
        InstallerLogLine("E: " + st_.Result(InstallStep::Switch));
        InstallerLogHandle& h = InstallerLog();
        {
            std::lock_guard lock(h.mutex);
            if (st_.step.load() == InstallStep::Finished) {
                // Complete only once the unpacked files are on disk.
                Files().SyncFolder(place_.programFolder);
                h.log.Delete();
            } else if (h.log.IsOpen()) {
                h.log.Line("6 " + InstallerWhereLine(st_));
                h.log.Close();
            }
        }
        if (sv_.restoreWindow)
            sv_.restoreWindow();
    }

    InstallerState& st_;
    const InstallerServices& sv_;
    const InstallerPlace& place_;
    const InstallerTextLookup& text_;
    const std::atomic<bool>& stop_;
    std::string local_;
};

} // namespace

InstallerServices RealInstallerServices()
{
    InstallerServices s;
    s.isOnline = [] { return IsOnline(); };
    s.downloadFolder = [](std::string& folder) { return PrivateDownloadFolder(folder); };
    s.download = [](const std::string& url, const std::string& target,
                    const std::function<void(int64_t)>& progress) {
        return HttpDownloadToFile(url, target, progress);
    };
    s.unzip = [](const std::string& archive, const std::string& folder, const UnzipProgress& progress) {
        return UnzipAll(archive, folder, RealFileSystem(), progress);
    };
    s.checkData = [](const std::string& folder, const ManifestReport& report) {
        DataManifest(folder, true, "", report);
    };
    s.copyProgramFiles = [](const std::string& from, const std::string& to) {
        return CopyProgramFiles(from, to);
    };
    s.writeLauncher = [](const std::string& base, const std::string& name) {
        return WriteLauncher(base, name);
    };
    s.shellOpen = [](const std::string& file, const std::vector<std::string>& arguments) {
        return ShellOpen(file, arguments, false);
    };
    return s;
}

bool IsInstallablePackage(const std::string& package)
{
    return IsListName(package) && package.size() > 4 && package.compare(package.size() - 4, 4, ".zip") == 0;
}

int64_t PackageMegabytes(int64_t bytes)
{
    return (bytes / 1024 + 700) / 1024;
}

std::vector<std::string> FilterCheckLines(std::vector<std::string> lines)
{
    std::vector<std::string> kept;
    for (size_t i = 0; i < lines.size(); ++i)
        if (i < 2 || (!lines[i].empty() && (lines[i][0] == ' ' || lines[i][0] == '!')))
            kept.push_back(std::move(lines[i]));
    return kept;
}

bool CheckLinesFailed(const std::vector<std::string>& lines)
{
    return lines.size() > 2 && (lines.back().empty() || lines.back()[0] != ' ');
}

std::string FindOldProgramFolder(const std::string& base, const std::string& running,
                                 const std::string& launcherTarget)
{
    std::string found;
    for (const FolderEntry& e : ListFolder(base)) {
        if (e.kind != FolderEntry::Kind::Folder || e.name.size() < 4)
            continue;
        const std::string lower = Lower(e.name);
        if (lower.compare(0, 3, "win") != 0 || !std::isdigit(static_cast<unsigned char>(lower[3])))
            continue;
        if (lower == Lower(running) || lower == Lower(launcherTarget))
            continue;
        if (found.empty() || lower > Lower(found))
            found = e.name;
    }
    return found;
}

void RunInstaller(InstallerState& state, const InstallerServices& services, const InstallerPlace& place,
                  const InstallerTextLookup& text, const std::atomic<bool>& stop)
{
    InstallerRun(state, services, place, text, stop).Run();
}

void RunExeCopier(InstallerState& state, const InstallerServices& services, const InstallerPlace& place,
                  const InstallerTextLookup& text)
{
    try {
        state.step = InstallStep::Download;
        const std::string name = FolderOfPackage(place.package);
        if (name.empty() || place.installBase.empty())
            throw std::runtime_error(text("Chyby", "WrPath"));
        const std::string folder = place.installBase + name;
        FileSystemOps& fs = services.files != nullptr ? *services.files : RealFileSystem();
        if (fs.MakeFolders(folder) != 0)
            throw std::runtime_error(text("Chyby", "PathNew") + folder);
        FolderLog log(fs);
        if (const int r = log.Create(folder + kInstallerLogName))
            throw std::runtime_error(text("Chyby", "FileSave") + folder + kInstallerLogName + " " +
                                     std::to_string(r));
        log.Line("start instal / virgin");
        const std::string failed = services.copyProgramFiles(place.programFolder, folder);
        log.Append(TakeRunLog());
        if (!failed.empty()) {
            log.Line("error copy " + failed);
            log.Close();
            throw std::runtime_error(text("Chyby", "FileSave") + failed);
        }
        log.Close();
        const std::string program = folder + kProgramFileName;
        // From now on this copy takes no request: the copy it starts must
        // not hand its installation back to the one that is ending.
        const uint8_t published = PublishedProgramType();
        PublishProgramType(0);
        const int r = services.shellOpen(program, {"/q=inst"});
        if (r <= 32) {
            PublishProgramType(published);
            log.Create(folder + kInstallerLogName);
            log.Line("error Exec " + std::to_string(r));
            log.Close();
            throw std::runtime_error(text("Chyby", "Exec") + program + " " + std::to_string(r));
        }
        state.state = InstallState::CopyStarted;
    } catch (const std::exception& e) {
        FailRun(state, e.what());
    } catch (...) {
        FailRun(state, "unknown exception");
    }
}
