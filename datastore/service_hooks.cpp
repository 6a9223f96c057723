#include "datastore/service_hooks.h"

#include "datastore/tagged_record.h"
#include "platform/coding.h"
#include "platform/guarded_value.h"

namespace {

HookTable<UpdateServices>& Hooks()
{
    static HookTable<UpdateServices> t;
    return t;
}

} // namespace

UpdateServices SetUpdateServices(UpdateServices services)
{
    return Hooks().Set(std::move(services));
}

UpdateServices CurrentUpdateServices()
{
    return Hooks().Get();
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
    Hooks().Call(&UpdateServices::statCount, key);
}
void StatAddLog4(uint16_t key, int64_t value)
{
    Hooks().Call(&UpdateServices::statAddLog4, key, value);
}
void StatCountProduct(const std::string& code)
{
    Hooks().Call(&UpdateServices::statCountProduct, code);
}
void StatCountLog2(uint16_t key, int64_t value)
{
    Hooks().Call(&UpdateServices::statCountLog2, key, value);
}
void StatCountDuration(uint16_t key, double days)
{
    Hooks().Call(&UpdateServices::statCountDuration, key, days);
}
void StatSaveCounters(const std::string& folder)
{
    Hooks().Call(&UpdateServices::statSaveCounters, folder);
}
void StatSaveProducts(const std::string& folder)
{
    Hooks().Call(&UpdateServices::statSaveProducts, folder);
}
bool StatShouldSend(const std::string& folder)
{
    return Hooks().Call(&UpdateServices::statShouldSend, folder);
}
bool StatShouldSendProducts(const std::string& folder)
{
    return Hooks().Call(&UpdateServices::statShouldSendProducts, folder);
}
void StatSend(const std::string& folder, const std::string& installation)
{
    Hooks().Call(&UpdateServices::statSend, folder, installation);
}
void StatSendProducts(const std::string& folder, const std::string& installation)
{
    Hooks().Call(&UpdateServices::statSendProducts, folder, installation);
}

int32_t IsOnline()
{
    return Hooks().Call(&UpdateServices::isOnline);
}
bool HasFetchPicture()
{
    return Hooks().Has(&UpdateServices::fetchPicture);
}
void FetchNewXml()
{
    Hooks().Call(&UpdateServices::fetchNewXml);
}
void LoadServerList()
{
    Hooks().Call(&UpdateServices::loadServerList);
}
bool FindProgramPackage(int mode, uint32_t installation, int one, std::string& description)
{
    return Hooks().Call(&UpdateServices::findProgramPackage, mode, installation, one, description);
}
bool PrepareDataUpdate()
{
    return Hooks().Call(&UpdateServices::prepareDataUpdate);
}
void RunDataUpdate(std::string& message)
{
    Hooks().Call(&UpdateServices::runDataUpdate, message);
}
void UpdateZlpPackage()
{
    Hooks().Call(&UpdateServices::updateZlpPackage);
}
void NewsCachePath(std::string& path)
{
    Hooks().Call(&UpdateServices::newsCachePath, path);
}
void FetchNews()
{
    Hooks().Call(&UpdateServices::fetchNews);
}
void FindBestVersionFolder()
{
    Hooks().Call(&UpdateServices::findBestVersionFolder);
}
bool StartInstallerMode()
{
    return Hooks().Call(&UpdateServices::startInstallerMode);
}
void ComposeStartPageNotice()
{
    Hooks().Call(&UpdateServices::composeStartPageNotice);
}

int FetchPicture(const std::string& url, std::string& bytes)
{
    bytes.clear();
    auto f = Hooks().Function(&UpdateServices::fetchPicture);
    const int r = f ? f(url, bytes) : -1;
    if (r != 0)
        bytes.clear();
    return r;
}

bool HasStartInstallerMode()
{
    return Hooks().Has(&UpdateServices::startInstallerMode);
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
std::string UpdateSharedValues::PendingServerMessage() const
{
    return Read(pendingServerMessage_);
}
void UpdateSharedValues::SetPendingServerMessage(std::string t)
{
    Write(pendingServerMessage_, std::move(t));
}
std::string UpdateSharedValues::ChosenPackage() const
{
    return Read(chosenPackage_);
}
int64_t UpdateSharedValues::ExpectedPackageSize() const
{
    std::lock_guard lock(mutex_);
    return expectedPackageSize_;
}
void UpdateSharedValues::SetChosenPackage(std::string name, int64_t size)
{
    std::lock_guard lock(mutex_);
    chosenPackage_ = std::move(name);
    expectedPackageSize_ = size;
}
std::string UpdateSharedValues::ServerListText() const
{
    return Read(serverListText_);
}
std::string UpdateSharedValues::ServerListError() const
{
    return Read(serverListError_);
}
void UpdateSharedValues::SetServerList(std::string text, std::string error)
{
    std::lock_guard lock(mutex_);
    serverListText_ = std::move(text);
    serverListError_ = std::move(error);
}
std::string UpdateSharedValues::BestVersionFolder() const
{
    return Read(bestVersionFolder_);
}
void UpdateSharedValues::SetBestVersionFolder(std::string t)
{
    Write(bestVersionFolder_, std::move(t));
}
uint32_t UpdateSharedValues::CustomerNumber() const
{
    // A missing or short record reads as the reset head (100,000,001), as
    // the loader reads it: no customer.
    return DecodeLE32(GetTaggedField(InstallationRecord(), kTaggedHead).data());
}
std::string UpdateSharedValues::ServerVariant() const
{
    return Read(serverVariant_);
}
void UpdateSharedValues::SetServerVariant(std::string t)
{
    Write(serverVariant_, std::move(t));
}
std::string UpdateSharedValues::StartPageNotice() const
{
    return Read(startPageNotice_);
}
void UpdateSharedValues::SetStartPageNotice(std::string t)
{
    Write(startPageNotice_, std::move(t));
}
std::string UpdateSharedValues::InstallationRecord() const
{
    return Read(installationRecord_);
}
void UpdateSharedValues::SetInstallationRecord(std::string t)
{
    Write(installationRecord_, std::move(t));
}
std::string UpdateSharedValues::InstallationList() const
{
    return Read(installationList_);
}
void UpdateSharedValues::SetInstallationList(std::string t)
{
    Write(installationList_, std::move(t));
}

UpdateSharedValues& UpdateShared()
{
    static UpdateSharedValues values;
    return values;
}
