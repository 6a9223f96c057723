#include "datastore/startup_loader.h"

#include <chrono>
#include <exception>

#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "datastore/zlp_table.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "platform/shared_text.h"

namespace {

struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = true;
};

Gate& TheGate()
{
    static Gate* g = new Gate; // the loader's thread may outlive the statics
    return *g;
}

// The value of option `name` in an option list ("|name=value|"), and whether
// it is there.
bool OptionValue(const std::string& options, const std::string& name, std::string& value)
{
    const std::string key = "|" + name;
    for (size_t at = options.find(key); at != std::string::npos; at = options.find(key, at + 1)) {
        const size_t end = at + key.size();
        if (end < options.size() && (options[end] == '|' || options[end] == '=')) {
            if (options[end] == '=') {
                const size_t stop = options.find('|', end + 1);
                value =
                    options.substr(end + 1, stop == std::string::npos ? std::string::npos : stop - end - 1);
            } else {
                value.clear();
            }
            return true;
        }
    }
    return false;
}

std::string Chars(const std::string& text, size_t first, size_t count)
{
    return first - 1 < text.size() ? text.substr(first - 1, count) : std::string();
}

// The 32-bit number at the start of a field; 0 for a field of 3 bytes or less.
uint32_t FieldNumber(const std::string& record, int type)
{
    const std::string f = GetTaggedField(record, type);
    if (f.size() < 4)
        return 0;
    return DecodeLE32(f.data());
}

// Whether "|" + station + "|" occurs in the "|"-framed list of a settings
// entry ("?admin", "?downldr").
bool StationListed(const std::string& list, const std::string& entry, const std::string& station)
{
    std::string value;
    // The installation settings list is a name/value list of "name=value"
    // lines; take the value of `entry`.
    const std::string key = entry + "=";
    size_t at = 0;
    for (;;) {
        const size_t line = list.find(key, at);
        if (line == std::string::npos)
            return false;
        if (line == 0 || list[line - 1] == '\n' || list[line - 1] == '\r' || list[line - 1] == '|') {
            const size_t end = list.find_first_of("\r\n", line);
            value = list.substr(line + key.size(),
                                end == std::string::npos ? std::string::npos : end - line - key.size());
            break;
        }
        at = line + 1;
    }
    return ("|" + value + "|").find("|" + station + "|") != std::string::npos;
}

void LogMissing(const char* name)
{
    AppendRunLog(std::string("Loader: no ") + name + "\r\n");
}

// Calls a hook of the update services, or logs its absence and gives the
// defined answer.
template <class R, class... A, class... P>
R CallHook(const std::function<R(A...)>& f, const char* name, R fallback, P&&... args)
{
    if (!f) {
        LogMissing(name);
        return fallback;
    }
    return f(std::forward<P>(args)...);
}

template <class... A, class... P>
void CallHook(const std::function<void(A...)>& f, const char* name, P&&... args)
{
    if (!f) {
        LogMissing(name);
        return;
    }
    f(std::forward<P>(args)...);
}

std::mutex& LoaderHandleMutex()
{
    static std::mutex* m = new std::mutex;
    return *m;
}

TPomalyStart*& LoaderHandle()
{
    static TPomalyStart* handle = nullptr;
    return handle;
}

} // namespace

void OpenLoaderGate()
{
    Gate& g = TheGate();
    std::lock_guard lock(g.mutex);
    g.open = true;
    g.cv.notify_all();
}

void CloseLoaderGate()
{
    Gate& g = TheGate();
    std::lock_guard lock(g.mutex);
    g.open = false;
}

bool LoaderGateOpen()
{
    Gate& g = TheGate();
    std::lock_guard lock(g.mutex);
    return g.open;
}

void WaitLoaderGate()
{
    Gate& g = TheGate();
    std::unique_lock lock(g.mutex);
    g.cv.wait(lock, [&g] { return g.open; });
}

TPomalyStart::TPomalyStart(std::shared_ptr<LoaderServices> services) : services_(std::move(services))
{
    CloseLoaderGate();
    thread_ = std::thread([this] { Run(); });
}

TPomalyStart::~TPomalyStart()
{
    if (thread_.joinable())
        thread_.join();
}

void TPomalyStart::RequestStop()
{
    stop_ = true;
    services_->StopNetwork();
}

bool TPomalyStart::WaitEnd(int ms)
{
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return ended_.load(); });
}

bool TPomalyStart::Stopping()
{
    return stop_.load();
}

void TPomalyStart::Run()
{
    try {
        Execute();
    } catch (const std::exception& e) {
        AppendRunLog(std::string("Loader failed: ") + e.what() + "\r\n");
    } catch (...) {
        AppendRunLog("Loader failed\r\n");
    }
    // Whatever happened, nobody may wait for the tables any longer.
    OpenLoaderGate();
    std::lock_guard lock(mutex_);
    ended_ = true;
    cv_.notify_all();
}

void TPomalyStart::Execute()
{
    LoaderServices& sv = *services_;
    const LoaderInputs in = sv.Inputs();

    // 1. The tables the windows need; the gate opens after them.
    if (in.programType == 3) {
        sv.LoadParagraphLists();
        sv.SetupEdition();
        sv.LoadCodeTables();
    } else if (in.programType == 5) {
        sv.SetupEdition();
    }
    OpenLoaderGate();
    if (Stopping())
        return;

    // 3. The command line's request goes to this copy's own window.
    std::string b;
    {
        std::string value;
        if (OptionValue(in.options, "b", value))
            b = "|b=" + value;
    }
    if (in.programType == 3) {
        if (in.positionalCount >= 1 || !b.empty()) {
            // The data set the receiver compares with its own.
            const char* t = in.dataSet == DataSetCode::Goods     ? "|pfa"
                            : in.dataSet == DataSetCode::Devices ? "|pzt"
                            : in.dataSet == DataSetCode::All     ? "|all"
                                                                 : "";
            sv.SendStartQuery(t + b + "|q=____|" + in.positionals);
        } else {
            sv.DropDownMenu(in.dataSet == DataSetCode::Devices ? 3 : 2);
        }
    } else if (in.programType == 5 && (in.positionalCount >= 1 || !b.empty())) {
        sv.SendStartQuery(b + "|q=dupl|" + in.positionals);
    }
    if (Stopping())
        return;

    // 5. The zlp table, once the data are old enough to need it.
    if (in.programType == 3 && sv.TodayCode() > DataMonth() * 32 + 55)
        LoadZlpTable();
    if (Stopping())
        return;

    // 6. The network work.
    const LoaderSettings settings = sv.ReadSettings();
    if ((settings.connectionFlags & 0x80) != 0)
        return;
    if (CallHook(CurrentUpdateServices().isOnline, "IsOnline", 0) == 0)
        return;
    if (Stopping())
        return;
    StepNetwork(in);
}

void TPomalyStart::StepNetwork(const LoaderInputs& in)
{
    LoaderServices& sv = *services_;
    const UpdateServices hooks = CurrentUpdateServices();

    // a. The installation and the quarterly notice.
    const std::string record = UpdateShared().InstallationRecord();
    const uint32_t installation = FieldNumber(record, 8);
    CallHook(hooks.fetchNewXml, "FetchNewXml");
    const int mode = static_cast<int>((FieldNumber(record, 1) / 65536) & 7);
    if (Stopping())
        return;

    // b. The update check.
    const LoaderSettings s = sv.ReadSettings();
    const std::string today = sv.TodayYmd();
    // An update builds in the version folders under InstallRoot and switches
    // its launcher: only a program that runs from one of them may do it.
    bool underRoot = false;
    if (!in.installRoot.empty() && in.programFolder.size() > in.installRoot.size() &&
        in.programFolder.compare(0, in.installRoot.size(), in.installRoot) == 0) {
        const std::string rest = in.programFolder.substr(in.installRoot.size());
        underRoot = rest.find('/') == rest.size() - 1;
    }
    if ((s.autoUpdate & 1) != 0 && underRoot && today > s.nextCheckDate) {
        if (StepUpdateCheck(in, s, installation, mode))
            return;
    }
    if (Stopping() || in.programType != 3)
        return;

    // c1. The zlp package.
    const LoaderSettings z = sv.ReadSettings();
    std::string zlpDate = z.zlpDate;
    if (!FileExists(ResolveInFolder(in.dataDir, "zlp.dat")) && (!z.zlpDate.empty() || !z.zlpSize.empty())) {
        sv.ClearZlpSettings();
        zlpDate.clear();
    }
    if (sv.TodayCode() > DataMonth() * 32 + 48 && today > zlpDate)
        CallHook(hooks.updateZlpPackage, "UpdateZlpPackage");
    if (Stopping())
        return;

    // c2. The news.
    const LoaderSettings n = sv.ReadSettings();
    if (n.newsOption > '0') {
        std::string path;
        CallHook(hooks.newsCachePath, "NewsCachePath", path);
        if (path.empty())
            return;
        AppendRunLog(today + " " + n.newsDate + "\r\n");
        if (!FileExists(path) || today > n.newsDate)
            CallHook(hooks.fetchNews, "FetchNews");
    }
    if (Stopping())
        return;

    // c3. The usage statistics.
    std::string letter = "l";
    if (hooks.serverVariant)
        letter = hooks.serverVariant();
    else
        LogMissing("ServerVariant");
    if (letter.empty())
        letter = "l";
    if (CallHook(hooks.statShouldSend, "StatShouldSend", false, in.programFolder))
        CallHook(hooks.statSend, "StatSend", in.programFolder, letter);
    if (Stopping())
        return;
    if (CallHook(hooks.statShouldSendProducts, "StatShouldSendProducts", false, in.programFolder))
        CallHook(hooks.statSendProducts, "StatSendProducts", in.programFolder, letter);
}

bool TPomalyStart::StepUpdateCheck(const LoaderInputs& in, const LoaderSettings&, uint32_t installation,
                                   int mode)
{
    LoaderServices& sv = *services_;
    const UpdateServices hooks = CurrentUpdateServices();

    // 1.
    const bool noUpdate = FileExists(in.installRoot + "noUpdate.txt");
    if (!UpdateShared().serverListReady.load())
        CallHook(hooks.loadServerList, "LoadServerList");
    if (Stopping())
        return true;

    // 2.
    std::string text;
    const bool found =
        CallHook(hooks.findProgramPackage, "FindProgramPackage", false, mode, installation, 1, text);
    // The program package the search chose: "win" + its version + ".zip".
    const std::string programPackage = UpdateShared().ChosenPackage();
    bool declined = false;
    if (found) {
        bool taken = true;
        if (noUpdate || (mode != 0 && mode != 4)) {
            const std::string list = UpdateShared().InstallationList();
            taken = StationListed(list, "?admin", in.stationName) ||
                    StationListed(list, "?downldr", in.stationName);
        }
        if (taken) {
            const int answer = sv.AskOkCancel(sv.UiText("vKey", "qInstExe") + text);
            if (answer == LoaderAnswer::Cancel) {
                sv.SaveDeclinedPackage(Chars(programPackage, 4, 5) + "|" + text);
                declined = true;
            } else if (answer == LoaderAnswer::Ok) {
                sv.StatusLine().Set(sv.UiText("vKey", "iInstExe"));
                AppendRunLog("update Start\r\n");
                std::string message;
                CallHook(hooks.runDataUpdate, "RunDataUpdate", message);
                if (!message.empty()) {
                    sv.StatusLine().Set(message);
                    AppendRunLog(message + "\r\n");
                } else {
                    sv.StatusLine().Set(sv.UiText("Inst", "staU"));
                    AppendRunLog("update Succ" + text + "\r\n");
                }
                return true;
            } else {
                // Released by the stop: closing the program is no answer.
                return true;
            }
        }
    }
    if (Stopping())
        return true;

    // 3. (A declined package goes straight to 4.)
    if (!declined && CallHook(hooks.prepareDataUpdate, "PrepareDataUpdate", false)) {
        // The data package found: prefix, year, quarter and day letter.
        const std::string dataPackage = UpdateShared().ChosenPackage();
        sv.StatusLine().Set(sv.UiText("vKey", "iNewAct") + "  KALVO - 20" + Chars(dataPackage, 6, 2) + "." +
                            Chars(dataPackage, 8, 2));
    }
    // 4.
    if (!text.empty()) {
        sv.StatusLine().Set(sv.UiText("Inst", "stUp") + text);
        const std::string pending = UpdateShared().PendingServerMessage();
        if (!pending.empty())
            sv.StatusLine().Set(pending);
        AppendRunLog("EndUp/ " + text + "\r\n");
    }
    return false;
}

void StartPomalyStart(std::shared_ptr<LoaderServices> services)
{
    std::lock_guard lock(LoaderHandleMutex());
    TPomalyStart*& h = LoaderHandle();
    if (h && !h->Ended())
        return;
    delete h;
    h = new TPomalyStart(std::move(services));
}

void RequestPomalyStartStop()
{
    std::lock_guard lock(LoaderHandleMutex());
    if (TPomalyStart* h = LoaderHandle())
        h->RequestStop();
}

bool WaitPomalyStartEnd(int ms)
{
    std::lock_guard lock(LoaderHandleMutex());
    TPomalyStart*& h = LoaderHandle();
    if (!h)
        return true;
    if (!h->WaitEnd(ms))
        return false; // still running: it keeps its handle for good
    delete h;
    h = nullptr;
    return true;
}

bool PomalyStartRunning()
{
    std::lock_guard lock(LoaderHandleMutex());
    TPomalyStart* h = LoaderHandle();
    return h && !h->Ended();
}
