#include "maintenance/news.h"

#include <cctype>
#include <charconv>

#include "datastore/db_table.h"
#include "datastore/hex_base64.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "datastore/zip_file.h"
#include "frame/config/config_file.h"
#include "frame/dates.h"
#include "frame/windows/main_form.h"
#include "maintenance/download_folder.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/server_list.h"
#include "platform/ascii.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

namespace {

constexpr const char* kZlpPackage = "zlp.zip";
constexpr const char* kZlpFile = "zlp.dat";

std::string WebUrl(const std::string& path)
{
    return CurrentHttpSettings().urlScheme + CurrentEndpoints().webHost + path;
}

// A whole decimal number (an optional sign, digits only); false otherwise.
bool ParseInteger(std::string_view text, int64_t& out)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    if (*first == '+')
        ++first;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

// The name branch's packing: three characters into 15 bits, two bytes each,
// high byte first.
std::string PackNameGroups(const std::string& name, size_t nameLength)
{
    auto code = [&](size_t i) -> unsigned {
        return i < name.size() ? static_cast<unsigned char>(name[i]) & 31u : 0u;
    };
    const size_t groups = nameLength > 6 ? 3 : nameLength > 3 ? 2 : 1;
    std::string bytes;
    for (size_t g = 0; g < groups; ++g) {
        const unsigned v = (code(3 * g) << 10) | (code(3 * g + 1) << 5) | code(3 * g + 2);
        bytes += static_cast<char>((v >> 8) & 0xFF);
        bytes += static_cast<char>(v & 0xFF);
    }
    return bytes;
}

std::string_view TrimListedSize(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

void DropTrailingA(std::string& s)
{
    if (!s.empty() && s.back() == 'A')
        s.pop_back();
}

} // namespace

namespace news {

// --- The cache path -------------------------------------------------------------

void NewsCachePath(std::string& path)
{
    path.clear();
    if (CurrentDataSet() == DataSetCode::None)
        return;
    std::string folder;
    if (PrivateDownloadFolder(folder) != 0)
        return;
    path = folder + kNewsCacheName;
}

std::string NewsCachePath()
{
    std::string path;
    NewsCachePath(path);
    return path;
}

// --- The feed -------------------------------------------------------------------

void FetchNews()
{
    FetchNews(RealFileSystem());
}

void FetchNews(FileSystemOps& ops)
{
    const std::string path = NewsCachePath();
    if (path.empty())
        return;
    int code = 0;
    std::string reply;
    HttpGetText(WebUrl("/rss/"), code, reply);
    std::string line = "new " + std::to_string(reply.size()) + " e " + std::to_string(code);
    // A portal's page answered with 200 is no feed: it would replace good
    // news by nothing.
    if (!reply.empty() && reply.find("<rss") != std::string::npos) {
        FileSaver saver(path, ops, SaveMode{.makeFolders = false, .fileMode = 0600});
        saver.Write(reply);
        if (saver.Commit()) {
            const char option = Config().Snapshot().NewsOption;
            const int days = option >= '0' && option <= '9' ? option - '0' : 3;
            const std::string next = DateTextYmd(days);
            Config().Update([&](ConfigValues& v) { v.newsDate = next; });
            SaveConfig(false);
        } else {
            line += " save " + path + " " + std::to_string(saver.IoError());
        }
    }
    AppendRunLog(line + "\r\n");
}

// --- The quarterly notice --------------------------------------------------------

char QuarterLetter(const std::string& title)
{
    const size_t at = title.find(" 20");
    if (at == std::string::npos)
        return '@';
    std::string digits = title.substr(at + 3, 4);
    if (digits.size() >= 3)
        digits.erase(2, 1);
    int64_t n = 0;
    if (!ParseInteger(digits, n))
        n = 132;
    return static_cast<char>('A' + ((n % 26) + 26) % 26);
}

bool FetchNewXml()
{
    const char letter = QuarterLetter(LookupText(DataTexts, "Stat", "Nadpis"));
    const ConfigValues now = Config().Snapshot();
    if (letter != now.updateBase) {
        Config().Update([&](ConfigValues& v) {
            v.updateBase = letter;
            v.updateDate.clear();
        });
        AppendRunLog(std::string("Sq-Ub ") + letter + "\r\n");
        SaveConfig(false);
        return true;
    }
    if (!now.updateDate.empty())
        return false;
    int code = 0;
    std::string reply;
    HttpGetText(WebUrl("/new" + InstallationTag() + ".xml"), code, reply);
    std::string date;
    if (!reply.empty()) {
        date = DateTextYmd(0);
        Config().Update([&](ConfigValues& v) { v.updateDate = date; });
        SaveConfig(false);
    }
    AppendRunLog("Sq-Ud " + date + "\r\n");
    return true;
}

std::string InstallationTag()
{
    return InstallationTagOf(UpdateShared().InstallationRecord(), WinUserName());
}

std::string InstallationTagOf(const std::string& record, const std::string& userName)
{
    const std::string head = GetTaggedField(record, kTaggedHead);
    uint32_t number = 0;
    for (size_t i = 0; i < 4 && i < head.size(); ++i)
        number |= static_cast<uint32_t>(static_cast<unsigned char>(head[i])) << (8 * i);
    if (number >= 10000 && number <= 99999998) {
        std::string id = std::to_string(number);
        id.insert(0, 8 - id.size(), '0');
        if (CheckId8(id) == 0) {
            std::string bytes(4, '\0');
            for (size_t i = 0; i < 4; ++i)
                bytes[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
            bytes[3] = static_cast<char>((static_cast<unsigned char>(bytes[3]) * 4) & 0xFF);
            std::string tag = Base64UrlEncode(bytes);
            tag.pop_back();
            DropTrailingA(tag);
            return tag;
        }
    }
    std::string name = NormalizeNameA(GetTaggedField(record, 7));
    if (DistinctChars(name) < 6) {
        const std::string item6 = NormalizeNameB(GetTaggedField(record, 6));
        const std::string user = NormalizeNameB(userName);
        name = DistinctChars(user) > DistinctChars(item6) ? user : item6;
    }
    const size_t blank = name.find(' ');
    if (name.size() > 9 && blank != std::string::npos) {
        const size_t excess = name.size() - 9;
        if (excess >= blank + 1)
            name.erase(0, blank + 1);
        else
            name.erase(blank - excess, excess);
    }
    if (name.size() > 9)
        name.resize(9);
    for (char& c : name)
        if (c >= '0' && c <= '9')
            c = static_cast<char>((c - '0') % 5 + 27);
    const size_t length = name.size();
    name += "  ";
    std::string tag = Base64UrlEncode(PackNameGroups(name, length));
    DropTrailingA(tag);
    DropTrailingA(tag);
    return tag;
}

// --- The zlp package ------------------------------------------------------------

void UpdateZlpPackage()
{
    UpdateSharedValues& shared = UpdateShared();
    if (!shared.serverListReady.load()) {
        if (shared.serverListFetchStarted.load())
            return;
        updates::LoadServerList();
    }
    const std::string list = shared.ServerListText();
    if (list.size() <= 9)
        return;
    const std::string key = std::string("\n") + kZlpPackage + ",";
    const size_t at = list.find(key);
    if (at == std::string::npos)
        return;
    std::string listed = list.substr(at + key.size(), 11);
    if (const size_t lf = listed.find('\n'); lf != std::string::npos)
        listed.resize(lf);
    if (listed == Config().Snapshot().zlpSize)
        return;
    int64_t size = 0;
    if (!ParseInteger(TrimListedSize(listed), size) || size <= 0)
        return;

    const std::string folder = WithTrailingSlash(DataDir());
    const std::string local = folder + kZlpPackage;
    const std::string url = UpdateServerUrl(std::string("/files/") + kZlpPackage);
    if (const int r = HttpDownloadToFile(url, local)) {
        AppendRunLog(url + " " + std::to_string(r) + "\r\n");
        RealFileSystem().Remove(local);
        return;
    }
    const int64_t actual = FileSize(local);
    if (actual != size) {
        AppendRunLog(local + " " + std::to_string(size) + " " + std::to_string(actual) + "\r\n");
        RealFileSystem().Remove(local);
        return;
    }
    // Only "zlp.dat" is taken: a package fetched over plain http must not
    // replace any other data file.
    std::string failure = "no zlp.dat";
    try {
        TZipFile zip;
        zip.Open(local);
        for (int i = 0; i < zip.Count(); ++i) {
            if (AsciiLower(zip.Name(i)) != kZlpFile)
                continue;
            const std::string written = zip.Extract(i, folder);
            const std::string target = folder + kZlpFile;
            if (written != target && RealFileSystem().Rename(written, target) != 0)
                failure = "rename " + written;
            else
                failure.clear();
            break;
        }
    } catch (const ZipError& e) {
        failure = e.what();
    }
    RealFileSystem().Remove(local);
    if (!failure.empty()) {
        AppendRunLog(std::string("zlp ") + failure + "\r\n");
        return;
    }
    AppendRunLog("zlp OK\r\n");
    const std::string date = DateTextYmd(8);
    Config().Update([&](ConfigValues& v) {
        v.zlpSize = listed;
        v.zlpDate = date;
    });
    SaveConfig(false);
}

} // namespace news

void AddNewsServices(UpdateServices& services)
{
    services.newsCachePath = [](std::string& path) { news::NewsCachePath(path); };
    services.fetchNews = [] { news::FetchNews(); };
    services.fetchNewXml = [] { news::FetchNewXml(); };
    services.updateZlpPackage = [] { news::UpdateZlpPackage(); };
}
