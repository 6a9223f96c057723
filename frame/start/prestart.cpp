#include "frame/start/prestart.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/hooks.h"
#include "frame/message_box.h"
#include "frame/start/shared_helpers.h"
#include "frame/start/web_check.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/message_sink.h"

namespace {

void ToStderr(const std::string& utf8)
{
    std::fprintf(stderr, "%s\n", utf8.c_str());
    std::fflush(stderr);
}

// A fatal start message: on standard error, and in a plain box unless the
// run has no boxes.
void Fatal(MessageSink* sink, const std::string& utf8)
{
    ToStderr(utf8);
    if (!sink)
        return;
    MessageRequest r;
    r.icon = MessageIcon::None;
    r.buttons = MessageButtons::Ok;
    r.caption = QString::fromLatin1(kProgramCaption);
    r.text = QString::fromStdString(utf8);
    sink->Show(r);
}

void ErrorBox(MessageSink* sink, const std::string& utf8)
{
    ToStderr(utf8);
    if (!sink)
        return;
    MessageRequest r;
    r.icon = MessageIcon::Error;
    r.buttons = MessageButtons::Ok;
    r.caption = QString::fromLatin1(kProgramCaption);
    r.text = QString::fromStdString(utf8);
    sink->Show(r);
}

std::string FolderOf(const std::string& path)
{
    const size_t p = path.rfind('/');
    return p == std::string::npos ? std::string("./") : path.substr(0, p + 1);
}

std::string MissingFolderText(const std::string& dataDir)
{
    return "Fatal Error:  Folder  " + dataDir + "  doesn't exist";
}

std::string NotDataFolderText(const std::string& dataDir)
{
    return "Fatal Error:  " + dataDir + "  isn't folder with data for KALVO";
}

} // namespace

void LoadStartConfiguration(const StartValues& s, const EnvLookup& env, const ConfigLoadInput* screen)
{
    Config().Locate(s.ProgramFolder, env);
    ConfigLoadInput in;
    if (screen != nullptr) {
        in.screenLeft = screen->screenLeft;
        in.screenTop = screen->screenTop;
        in.screenWidth = screen->screenWidth;
        in.screenHeight = screen->screenHeight;
    } else {
        PrimaryScreenArea(in);
    }
    in.programFolder = s.ProgramFolder;
    in.installBase = InstallBaseOf(s.SharedRoot, s.ProgramFolder);
    in.dataFolder = DataDir();
    if (HasOption("l", s.Options))
        in.languageOption = GetOption("l", s.Options);
    in.environment = env;
    Config().Load(in);
}

bool LoadUiTextTable(const StartValues& s, MessageSink* sink)
{
    const std::string lang = Config().Read([](const ConfigValues& v) { return v.LanguageCode; });
    const std::string file = s.ProgramFolder + "qevw." + lang;
    const uint16_t r = LoadTextTable(UiTexts, file);
    if (r >= TextTableResult::FirstSuccess)
        return true;
    ErrorBox(sink, "Unable to read \"" + file + "\":" + std::to_string(r));
    return false;
}

namespace {

int RunOneShot(const StartValues& s, const std::string& kind, const EnvLookup& env, MessageSink* sink)
{
    LoadStartConfiguration(s, env);
    FindBestVersionFolder();
    if (!LoadUiTextTable(s, sink))
        return ExitCode::Refused;
    MessageSink* previous = SetMessageSink(sink ? sink : &CurrentMessageSink());
    const int r = OpenWebCheck(false, kind, GetOption("1", s.Positionals));
    SetMessageSink(previous);
    if (r > 32)
        return ExitCode::Normal;
    ToStderr("Unable to open the web check page: error " + std::to_string(r));
    return ExitCode::Refused;
}

// Restores the data-store error hook it replaced.
class ScopedDbErrorHook {
public:
    explicit ScopedDbErrorHook(TDbErrorHook hook) : previous_(DbErrorHook.exchange(hook)) {}
    ~ScopedDbErrorHook() { DbErrorHook.store(previous_); }

private:
    TDbErrorHook previous_;
};

int RunBatch(const StartValues& s, const EnvLookup& env, FileSystemOps& fs)
{
    StderrMessageSink stderrSink;
    ScopedMessageSink scopedSink(&stderrSink);
    ScopedDbErrorHook scopedHook(&ShowDbError);

    // An answer of an earlier run must never pass for this run's.
    const std::string result = TempFolderFrom(env) + kBatchResultFile;
    if (const int e = fs.Remove(result); e != 0 && e != ENOENT) {
        ToStderr("Cannot remove \"" + result + "\": " + SystemErrorText(e));
        return ExitCode::Refused;
    }
    if (GetOption("b", s.Options).empty() && GetOption("1", s.Positionals).empty())
        return ExitCode::NoList;

    const std::string dataDir = DataDir();
    if (!FolderExists(dataDir)) {
        ToStderr(MissingFolderText(dataDir));
        return ExitCode::Refused;
    }
    const int failuresBefore = DbFailureCount();
    {
        TDbTable kl;
        DbStatus = 0;
        OpenTableIn(kl, dataDir, "kl", "klkod", kKlLayout.Length());
        if (DbStatus != 0) {
            ToStderr(NotDataFolderText(dataDir));
            return ExitCode::Refused;
        }
    }
    if (!HasBatchDuplicityCheck()) {
        ToStderr("duplicity check not available");
        return ExitCode::Refused;
    }
    const std::optional<BatchDuplicityResult> outcome = RunBatchDuplicityCheck({s.Options, s.Positionals});
    if (!outcome) {
        ToStderr("duplicity check not available");
        return ExitCode::Refused;
    }
    if (DbFailureCount() != failuresBefore)
        return ExitCode::Refused; // the data-store message is already out
    switch (outcome->kind) {
    case BatchDuplicityResult::NoList:
        if (!outcome->reason.empty())
            ToStderr(outcome->reason);
        return ExitCode::NoList;
    case BatchDuplicityResult::Failed:
        ToStderr(outcome->reason.empty() ? std::string("duplicity check failed") : outcome->reason);
        return ExitCode::Refused;
    case BatchDuplicityResult::Findings:
    case BatchDuplicityResult::NoFindings: break;
    }
    const bool findings = outcome->kind == BatchDuplicityResult::Findings;
    const std::string line = findings ? "{ \"alert\":true }\n" : "{ \"alert\":false }\n";
    FileSaver saver(result, fs);
    saver.Write(line);
    if (!saver.Commit()) {
        ToStderr("Cannot write \"" + result + "\": " + saver.ErrorText());
        return ExitCode::Refused;
    }
    return findings ? ExitCode::Findings : ExitCode::Normal;
}

} // namespace

PreStartResult PreStartCheck(const PreStartInput& input)
{
    const EnvLookup env = input.environment ? input.environment : EnvLookup(RealEnvironment);
    MessageSink* sink = input.sink ? input.sink : &CurrentMessageSink();
    StartValues& s = ProgramStart();
    s = StartValues{};
    PreStartResult refused{false, ExitCode::Refused};

    // 1-2: the two lists.
    ParsedCommandLine p = input.commandLine;
    const bool batch = p.batchRun;
    if (batch)
        sink = nullptr;
    if (p.unusable) {
        Fatal(sink, "Fatal Error:  Unusable command line:  " + p.badArgument);
        return refused;
    }
    WinToKamS(p.positionals);
    if (HasOption("a", p.options)) {
        const std::string a = "a=" + GetOption("a", p.options);
        if (p.positionals.size() + a.size() > kOptionListMax) {
            Fatal(sink, "Fatal Error:  Unusable command line:  -" + Cp1250ToUtf8(a));
            return refused;
        }
        p.positionals += a;
    }
    s.Options = p.options;
    s.Positionals = p.positionals;
    s.PositionalCount = p.positionalCount;

    // 3: the folders.
    s.OwnExecutable = input.executablePath;
    s.ProgramFolder = FolderOf(input.executablePath);
    const std::string d = GetOption("d", s.Options);
    SetDataDir(d.empty() ? s.ProgramFolder : DataFolderFromOption(Cp1250ToUtf8(d)));
    const std::string dataDir = DataDir();

    // 4-5: the machine, the user and the installation base.
    s.WorkstationName = WorkstationNameFrom(env, CompiledCustomerDomain());
    s.WindowsUserName = UserNameFrom(env);
    s.SharedRoot = SharedRootOf(dataDir);
    s.LogFolder = s.SharedRoot.empty() ? std::string() : s.SharedRoot + "Logs/";

    // 6: the one-shot web checks.
    const std::string q = GetOption("q", s.Options);
    if (q == "idup" || q == "ikik" || q == "ikid")
        return {false, RunOneShot(s, q.substr(1), env, sink)};

    // 7: the program type and the batch check.
    s.ProgramType = HasOption("q", s.Options) ? QueryTypeCode(q) : ProgramKind::Normal;
    if (batch) {
        LoadStartConfiguration(s, env);
        FindBestVersionFolder();
        return {false, RunBatch(s, env, input.fileSystem ? *input.fileSystem : RealFileSystem())};
    }

    // 8: the folder checks.
    if (!FolderExists(dataDir)) {
        Fatal(sink, MissingFolderText(dataDir));
        return refused;
    }
    const bool launcher = !s.SharedRoot.empty() && FileExists(ResolveInFolder(s.SharedRoot, "qevw.sh"));
    if (!launcher && !FileExists(ResolveInFolder(dataDir, "kalvo.ces"))) {
        Fatal(sink, NotDataFolderText(dataDir));
        return refused;
    }
    if (!FileExists(ResolveInFolder(s.ProgramFolder, "qevw.ces"))) {
        Fatal(sink, "Fatal Error:  Missing qevw.ces in folder  " + s.ProgramFolder);
        return refused;
    }
    return {true, ExitCode::Normal};
}
