#include "frame/start/shared_helpers.h"

#include <QDir>

#include <mutex>

#include "datastore/db_table.h"
#include "frame/start/ipc.h"
#include "platform/fs.h"

// Help and folders -----------------------------------------------------------

std::string DataFolderOption()
{
    const std::string data = DataDir();
    return data != ProgramStart().ProgramFolder ? " /d=" + data : std::string();
}

std::vector<std::string> DataFolderArguments()
{
    const std::string data = DataDir();
    if (data == ProgramStart().ProgramFolder)
        return {};
    return {"/d=" + data};
}

bool RequestHelp(std::string_view topic)
{
    const std::string t(topic);
    if (ReplyTaken(OfferQuery("|q=help||1=" + t + "|", false)))
        return true;
    std::vector<std::string> args = {"/q=help", t};
    for (std::string& a : DataFolderArguments())
        args.push_back(std::move(a));
    return LaunchWithHandshake("", args, nullptr, false) > 32;
}

std::string TempFolderFrom(const EnvLookup& env)
{
    for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
        const std::string v = env(name);
        if (v.empty())
            continue;
        if (QDir().mkpath(QString::fromStdString(v)) && FolderExists(v))
            return WithTrailingSlash(v);
    }
    return "/tmp/";
}

std::string TempFolder()
{
    static std::once_flag once;
    static std::string folder;
    std::call_once(once, [] { folder = TempFolderFrom(RealEnvironment); });
    return folder;
}
