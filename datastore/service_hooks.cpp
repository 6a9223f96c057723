#include "datastore/service_hooks.h"

#include "platform/guarded_value.h"

namespace {

GuardedValue<UpdateServices>& Table()
{
    static GuardedValue<UpdateServices> t;
    return t;
}

// A copy of one member, so that a call never races with a registration.
template <class F>
F Hook(F UpdateServices::*member)
{
    return Table().Member(member);
}

} // namespace

UpdateServices SetUpdateServices(UpdateServices services)
{
    return Table().Exchange(std::move(services));
}

uint16_t StatCodeOfText(std::string_view code)
{
    auto at = [&code](size_t i) -> uint32_t {
        return i < code.size() ? static_cast<unsigned char>(code[i]) : 0u;
    };
    uint32_t key = ((at(0) << 10) & 0xFFFF) | ((at(1) << 5) & 0x3FF) | (at(2) & 0x1F);
    return static_cast<uint16_t>(key);
}

void StatCount(uint16_t key)
{
    if (auto f = Hook(&UpdateServices::statCount))
        f(key);
}
void StatAddLog4(uint16_t key, int64_t value)
{
    if (auto f = Hook(&UpdateServices::statAddLog4))
        f(key, value);
}
void StatCountProduct(const std::string& code)
{
    if (auto f = Hook(&UpdateServices::statCountProduct))
        f(code);
}
void StatCountLog2(uint16_t key, int64_t value)
{
    if (auto f = Hook(&UpdateServices::statCountLog2))
        f(key, value);
}
void StatCountDuration(uint16_t key, double days)
{
    if (auto f = Hook(&UpdateServices::statCountDuration))
        f(key, days);
}
void StatSaveCounters(const std::string& folder)
{
    if (auto f = Hook(&UpdateServices::statSaveCounters))
        f(folder);
}
void StatSaveProducts(const std::string& folder)
{
    if (auto f = Hook(&UpdateServices::statSaveProducts))
        f(folder);
}
bool StatShouldSend(const std::string& folder)
{
    auto f = Hook(&UpdateServices::statShouldSend);
    return f ? f(folder) : false;
}
bool StatShouldSendProducts(const std::string& folder)
{
    auto f = Hook(&UpdateServices::statShouldSendProducts);
    return f ? f(folder) : false;
}
void StatSend(const std::string& folder, const std::string& installation)
{
    if (auto f = Hook(&UpdateServices::statSend))
        f(folder, installation);
}
void StatSendProducts(const std::string& folder, const std::string& installation)
{
    if (auto f = Hook(&UpdateServices::statSendProducts))
        f(folder, installation);
}

int32_t IsOnline()
{
    auto f = Hook(&UpdateServices::isOnline);
    return f ? f() : 0;
}
bool FetchPicture(const std::string& url, std::string& bytes)
{
    bytes.clear();
    auto f = Hook(&UpdateServices::fetchPicture);
    if (!f || !f(url, bytes)) {
        bytes.clear();
        return false;
    }
    return true;
}
bool HasFetchPicture()
{
    return static_cast<bool>(Hook(&UpdateServices::fetchPicture));
}
void FetchNewXml()
{
    if (auto f = Hook(&UpdateServices::fetchNewXml))
        f();
}
void LoadServerList()
{
    if (auto f = Hook(&UpdateServices::loadServerList))
        f();
}
bool FindProgramPackage(int mode, uint32_t installation, int one, std::string& description)
{
    auto f = Hook(&UpdateServices::findProgramPackage);
    return f ? f(mode, installation, one, description) : false;
}
bool PrepareDataUpdate()
{
    auto f = Hook(&UpdateServices::prepareDataUpdate);
    return f ? f() : false;
}
void RunDataUpdate(std::string& message)
{
    if (auto f = Hook(&UpdateServices::runDataUpdate))
        f(message);
}
void UpdateZlpPackage()
{
    if (auto f = Hook(&UpdateServices::updateZlpPackage))
        f();
}
void NewsCachePath(std::string& path)
{
    if (auto f = Hook(&UpdateServices::newsCachePath))
        f(path);
}
void FetchNews()
{
    if (auto f = Hook(&UpdateServices::fetchNews))
        f();
}
void FindBestVersionFolder()
{
    if (auto f = Hook(&UpdateServices::findBestVersionFolder))
        f();
}
bool StartInstallerMode()
{
    auto f = Hook(&UpdateServices::startInstallerMode);
    return f ? f() : false;
}

bool HasStartInstallerMode()
{
    return static_cast<bool>(Hook(&UpdateServices::startInstallerMode));
}

std::string UpdateSharedValues::Read(const std::string& field) const
{
    std::lock_guard lock(mutex_);
    return field;
}
void UpdateSharedValues::Write(std::string& field, std::string text)
{
    std::lock_guard lock(mutex_);
    field = std::move(text);
}
std::string UpdateSharedValues::PendingServerMessage() const { return Read(pendingServerMessage_); }
void UpdateSharedValues::SetPendingServerMessage(std::string t) { Write(pendingServerMessage_, std::move(t)); }
std::string UpdateSharedValues::ProgramVersionText() const { return Read(programVersionText_); }
void UpdateSharedValues::SetProgramVersionText(std::string t) { Write(programVersionText_, std::move(t)); }
std::string UpdateSharedValues::StartPageNotice() const { return Read(startPageNotice_); }
void UpdateSharedValues::SetStartPageNotice(std::string t) { Write(startPageNotice_, std::move(t)); }
std::string UpdateSharedValues::InstallationRecord() const { return Read(installationRecord_); }
void UpdateSharedValues::SetInstallationRecord(std::string t) { Write(installationRecord_, std::move(t)); }
std::string UpdateSharedValues::InstallationList() const { return Read(installationList_); }
void UpdateSharedValues::SetInstallationList(std::string t) { Write(installationList_, std::move(t)); }

UpdateSharedValues& UpdateShared()
{
    static UpdateSharedValues values;
    return values;
}
