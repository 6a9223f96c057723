#include "maintenance/download_folder.h"

#include "frame/start/shared_helpers.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/system.h"

namespace {

GuardedValue<std::string>& Override()
{
    static GuardedValue<std::string> o;
    return o;
}

} // namespace

int PrivateDownloadFolder(std::string& folder)
{
    const std::string forced = Override().Get();
    folder =
        !forced.empty() ? WithTrailingSlash(forced) : TempFolder() + "qevw-" + std::to_string(UserId()) + "/";
    return MakePrivateFolder(folder.substr(0, folder.size() - 1));
}

void SetDownloadFolderOverride(std::string folder)
{
    Override().Exchange(std::move(folder));
}
