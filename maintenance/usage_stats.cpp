#include "maintenance/usage_stats.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <mutex>
#include <unordered_map>

#include "datastore/service_hooks.h"
#include "datastore/tagged_record.h"
#include "frame/start/command_line.h"
#include "frame/windows/main_form.h"
#include "maintenance/endpoints.h"
#include "maintenance/http_client.h"
#include "maintenance/update_lock.h"
#include "platform/coding.h"
#include "platform/file_saver.h"
#include "platform/fs.h"
#include "platform/guarded_value.h"
#include "platform/system.h"

namespace {

constexpr uint32_t kCodeMask = 0x00FFFFFF;
constexpr int kStoreLockWaitMs = 10000;

struct RunTables {
    std::mutex mutex;
    std::vector<std::pair<uint16_t, uint16_t>> counters;
    std::unordered_map<uint16_t, size_t> counterAt;
    std::vector<uint32_t> products;
    std::unordered_map<uint32_t, size_t> productAt;
};

RunTables& Run()
{
    static RunTables* t = new RunTables; // counting may go on while the statics go
    return *t;
}

std::atomic<FileSystemOps*> g_storeOps{nullptr};

GuardedValue<std::string>& FolderOverride()
{
    static GuardedValue<std::string> f;
    return f;
}

// StatAdd's rule: n = 0 does nothing; a sum past 65535 leaves the count.
void AddTo(uint16_t& count, int64_t n)
{
    if (n <= 0)
        return;
    if (count + n <= 65535)
        count = static_cast<uint16_t>(count + n);
}

uint16_t& CounterOf(RunTables& t, uint16_t key)
{
    const auto it = t.counterAt.find(key);
    if (it != t.counterAt.end())
        return t.counters[it->second].second;
    t.counterAt[key] = t.counters.size();
    t.counters.emplace_back(key, 0);
    return t.counters.back().second;
}

uint16_t TodayDosDate()
{
    return DosDateOf(LocalTimeOf(NowSeconds()));
}

uint32_t NowDosDateTime()
{
    const LocalTime t = LocalTimeOf(NowSeconds());
    return static_cast<uint32_t>(DosDateOf(t)) << 16 | DosTimeOf(t);
}

uint16_t VersionWord(uint32_t version)
{
    return static_cast<uint16_t>(std::min<uint32_t>(version, 65535));
}

std::string DosDateText(uint16_t date)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", (date >> 9) + 1980, (date >> 5) & 15, date & 31);
    return buf;
}

// The date the "_BEG=" item carries: the stored reset date, else the store
// file's date, else today.
std::string BeginDate(bool fromFile, uint16_t storedDate, const std::string& path)
{
    if (fromFile && storedDate != 0)
        return DosDateText(storedDate);
    int64_t ns = 0;
    if (ModifiedTime(path, &ns))
        return DosDateText(DosDateOf(LocalTimeOf(ns / 1000000000)));
    return DosDateText(TodayDosDate());
}

// "_USR=": this computer's entry in the installation's users list, else the
// user number of the installation record (its first 4 bytes), else 1.
std::string UserItemValue()
{
    const std::string station = ProgramStart().WorkstationName;
    const std::string list = UpdateShared().InstallationList();
    if (!station.empty()) {
        const std::string key = station + "=";
        size_t at = 0;
        while (at < list.size()) {
            size_t end = list.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = list.size();
            if (list.compare(at, key.size(), key) == 0)
                return list.substr(at + key.size(), end - at - key.size());
            at = end + 1;
        }
    }
    const std::string item = GetTaggedField(UpdateShared().InstallationRecord(), 0);
    if (item.size() > 3)
        return std::to_string(DecodeLE32(item.data()));
    return "1";
}

// The upload of a query: true when the server answered "0", "200" or "OK"
// (an empty body answers with the result code).
bool Uploaded(const std::string& url)
{
    int code = 0;
    std::string text;
    HttpGetText(url, code, text);
    const std::string reply = text.empty() ? std::to_string(code) : text;
    return reply == "0" || reply == "200" || reply == "OK";
}

// A count less what was sent of it, not below 0.
uint32_t Less(uint32_t count, uint32_t sent)
{
    return count > sent ? count - sent : 0;
}

bool LockStores(FileLock& lock, const std::string& folder)
{
    return TakeLockFile(lock, folder + kStatisticsLockName, true, kStoreLockWaitMs) == 0;
}

bool WriteStore(const std::string& path, const std::string& bytes)
{
    FileSystemOps* ops = g_storeOps.load();
    FileSaver saver(path, ops ? *ops : RealFileSystem(), SaveMode{.makeFolders = false, .fileMode = 0600});
    saver.Write(bytes);
    return saver.Commit();
}

// What one upload of counters sends: each key's part from the store and from
// the run table.
struct CounterSent {
    std::map<uint16_t, std::pair<uint16_t, uint16_t>> parts; // key -> (store, run)
};

// The merged counters with key >= 1024 and what each is made of.
CounterSent MergeForSending(const CounterStore& store, const std::vector<std::pair<uint16_t, uint16_t>>& run)
{
    CounterSent sent;
    for (size_t i = 2; i < store.pairs.size(); ++i)
        if (store.pairs[i].first >= 1024)
            sent.parts[store.pairs[i].first].first = store.pairs[i].second;
    for (const auto& [key, count] : run) {
        if (key < 1024 || count == 0)
            continue;
        auto& p = sent.parts[key];
        uint16_t merged = p.first;
        AddTo(merged, count);
        // A sum the store cannot hold is left out, as saving leaves it.
        if (merged != p.first)
            p.second = count;
    }
    return sent;
}

struct ProductSent {
    std::vector<uint32_t> merged; // entries as sent
    std::unordered_map<uint32_t, std::pair<uint8_t, uint8_t>> parts;
};

ProductSent MergeProducts(const ProductStore& store, const std::vector<uint32_t>& run)
{
    ProductSent sent;
    std::unordered_map<uint32_t, size_t> at;
    for (size_t i = 2; i < store.words.size(); ++i) {
        const uint32_t code = store.words[i] & kCodeMask;
        const uint8_t count = static_cast<uint8_t>(store.words[i] >> 24);
        if (at.count(code) != 0 || count == 0)
            continue;
        at[code] = sent.merged.size();
        sent.merged.push_back(store.words[i]);
        sent.parts[code] = {count, 0};
    }
    for (uint32_t w : run) {
        const uint32_t code = w & kCodeMask;
        const uint32_t count = w >> 24;
        if (count == 0)
            continue;
        auto it = at.find(code);
        if (it == at.end()) {
            at[code] = sent.merged.size();
            sent.merged.push_back(code);
            it = at.find(code);
        }
        uint32_t& e = sent.merged[it->second];
        const uint32_t old = e >> 24;
        const uint32_t total = std::min<uint32_t>(255, old + count);
        e = (e & kCodeMask) | total << 24;
        sent.parts[code].second = static_cast<uint8_t>(total - old);
    }
    return sent;
}

// The request items of a counter upload: customer, user, start date, then
// the counters sorted by their bytes.
std::vector<std::string> CounterItems(const CounterStore& store, const CounterSent& sent,
                                      const std::string& folder)
{
    std::vector<std::string> items;
    items.push_back("_ICO=" + std::to_string(UpdateShared().CustomerNumber()));
    items.push_back("_USR=" + UserItemValue());
    items.push_back("_BEG=" + BeginDate(store.fromFile, store.pairs[1].second, folder + kCounterStoreName));
    std::vector<std::string> counts;
    for (const auto& [key, parts] : sent.parts)
        if (parts.first + parts.second > 0)
            counts.push_back(StatKeyText(key) + "=" + std::to_string(parts.first + parts.second));
    std::sort(counts.begin(), counts.end());
    items.insert(items.end(), counts.begin(), counts.end());
    return items;
}

std::string StatsUrl(const std::string& letter, const std::string& path)
{
    const Endpoints e = CurrentEndpoints();
    return letter == "t" ? "http://" + e.statsTestHost + path : "https://" + e.statsHost + path;
}

} // namespace

std::string StatKeyText(uint16_t key)
{
    const int a = (key >> 10) & 63;
    const int b = (key >> 5) & 31;
    const int c = key & 31;
    std::string out;
    out.push_back(static_cast<char>(64 + a));
    out.push_back(b == 0 ? '_' : static_cast<char>(64 + b));
    out.push_back(c == 0 ? '_' : static_cast<char>(64 + c));
    return out;
}

uint32_t VersionNumberOfPath(std::string_view path)
{
    if (path.size() < 13)
        return 0;
    std::string tail(path.size() > 16 ? path.substr(path.size() - 16) : path);
    for (char& c : tail) {
        if (c == '\\')
            c = '/';
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    const size_t at = tail.find("/KALVO_");
    if (at == std::string::npos || at + 12 > tail.size())
        return 0;
    const char* p = tail.data() + at + 7;
    if (p[0] < '2' || p[0] > '9' || p[1] < '0' || p[1] > '9' || p[2] != '.' || p[3] < '1' || p[3] > '4')
        return 0;
    uint32_t letter = 0;
    if (p[4] >= 'A' && p[4] <= 'Z')
        letter = static_cast<uint32_t>(p[4] - 'A' + 1);
    else if (p[4] != '/' && p[4] != '_')
        return 0;
    return static_cast<uint32_t>(p[0] - '0') * 10000 + static_cast<uint32_t>(p[1] - '0') * 1000 +
           static_cast<uint32_t>(p[3] - '0') * 100 + letter;
}

void updates::StatCount(uint16_t key)
{
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    uint16_t& c = CounterOf(t, key);
    if (c < 65535)
        ++c;
}

void updates::StatAdd(uint16_t key, int64_t n)
{
    if (n == 0)
        return;
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    AddTo(CounterOf(t, key), n);
}

void updates::StatAddLog4(uint16_t key, int64_t value)
{
    if (value <= 0)
        return;
    int64_t n = 0;
    for (int64_t v = value; v > 0; v /= 4)
        ++n;
    StatAdd(key, n + n / 3 + n / 5 + n / 7);
}

void updates::StatCountLog2(uint16_t key, int64_t value)
{
    if (value <= 0)
        return;
    int n = 0;
    for (int64_t v = value; v > 0; v >>= 1)
        ++n;
    StatCount(static_cast<uint16_t>(key + n));
}

void updates::StatCountDuration(uint16_t key, double days)
{
    const double s = days / 0.0000116;
    if (!(s >= 0.3))
        return;
    int bucket = 0;
    if (s < 60) {
        bucket = s < 8 ? 1 : s < 15 ? 2 : s < 30 ? 3 : 4;
    } else {
        const double m = s / 60;
        bucket = m < 2 ? 5 : m < 5 ? 6 : m < 15 ? 7 : 8;
    }
    StatCount(static_cast<uint16_t>(key + bucket));
}

void updates::StatCountProduct(const std::string& code)
{
    if (code.size() != 7 ||
        !std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return;
    const uint32_t value = static_cast<uint32_t>(std::stoul(code));
    if (value < 1 || value > 9999999)
        return;
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    const auto it = t.productAt.find(value);
    if (it == t.productAt.end()) {
        t.productAt[value] = t.products.size();
        t.products.push_back(value | 1u << 24);
        return;
    }
    uint32_t& e = t.products[it->second];
    if ((e >> 24) < 255)
        e += 1u << 24;
}

std::vector<std::pair<uint16_t, uint16_t>> RunCounters()
{
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    return t.counters;
}

std::vector<uint32_t> RunProducts()
{
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    return t.products;
}

void ClearRunStatistics()
{
    RunTables& t = Run();
    std::lock_guard lock(t.mutex);
    t.counters.clear();
    t.counterAt.clear();
    t.products.clear();
    t.productAt.clear();
}

std::string StatisticsFolder()
{
    std::string folder = FolderOverride().Get();
    if (folder.empty())
        folder = AppDataFolder();
    if (folder.empty())
        return {};
    folder = WithTrailingSlash(folder);
    if (!FolderExists(folder) && MakeFolder(folder, 0700) != 0)
        return {};
    return folder;
}

void SetStatisticsFolderOverride(std::string folder)
{
    FolderOverride().Exchange(std::move(folder));
}

void SetStatisticsFileSystem(FileSystemOps* ops)
{
    g_storeOps = ops;
}

CounterStore LoadCounterStore(const std::string& folder, uint32_t version)
{
    CounterStore s;
    std::string bytes;
    if (ReadWholeFile(folder + kCounterStoreName, bytes) == 0 && bytes.size() % 4 == 0 && bytes.size() >= 8) {
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
            s.pairs.emplace_back(DecodeLE16(bytes.data() + i), DecodeLE16(bytes.data() + i + 2));
        if (s.pairs[0].first == 0 && s.pairs[1].first == 1) {
            s.fromFile = true;
            return s;
        }
    }
    s.pairs = {{0, VersionWord(version)}, {1, TodayDosDate()}};
    return s;
}

ProductStore LoadProductStore(const std::string& folder, uint32_t version)
{
    ProductStore s;
    std::string bytes;
    if (ReadWholeFile(folder + kProductStoreName, bytes) == 0 && bytes.size() % 4 == 0 && bytes.size() >= 8) {
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
            s.words.push_back(DecodeLE32(bytes.data() + i));
        s.fromFile = true;
        return s;
    }
    s.words = {version, NowDosDateTime()};
    return s;
}

std::string CounterStoreBytes(const CounterStore& store)
{
    std::string out(store.pairs.size() * 4, '\0');
    for (size_t i = 0; i < store.pairs.size(); ++i) {
        EncodeLE16(out.data() + i * 4, store.pairs[i].first);
        EncodeLE16(out.data() + i * 4 + 2, store.pairs[i].second);
    }
    return out;
}

std::string ProductStoreBytes(const ProductStore& store)
{
    std::string out(store.words.size() * 4, '\0');
    for (size_t i = 0; i < store.words.size(); ++i)
        EncodeLE32(out.data() + i * 4, store.words[i]);
    return out;
}

void updates::StatSaveCounters(const std::string& programFolder)
{
    const std::string folder = StatisticsFolder();
    if (folder.empty())
        return;
    FileLock lock;
    if (!LockStores(lock, folder))
        return;
    RunTables& t = Run();
    std::lock_guard runLock(t.mutex);
    CounterStore store = LoadCounterStore(folder, VersionNumberOfPath(programFolder));
    std::unordered_map<uint16_t, size_t> at;
    for (size_t i = 2; i < store.pairs.size(); ++i)
        at.emplace(store.pairs[i].first, i);
    // What went into the store leaves the run table, so that a second save
    // does not count it twice.
    std::vector<std::pair<size_t, uint16_t>> saved;
    for (size_t r = 0; r < t.counters.size(); ++r) {
        const auto [key, count] = t.counters[r];
        if (key <= 1023 || count == 0)
            continue;
        auto it = at.find(key);
        if (it == at.end()) {
            it = at.emplace(key, store.pairs.size()).first;
            store.pairs.emplace_back(key, 0);
        }
        uint16_t& c = store.pairs[it->second].second;
        const uint16_t before = c;
        AddTo(c, count);
        if (c != before)
            saved.emplace_back(r, count);
    }
    if (!WriteStore(folder + kCounterStoreName, CounterStoreBytes(store)))
        return;
    for (const auto& [r, count] : saved)
        t.counters[r].second = static_cast<uint16_t>(t.counters[r].second - count);
}

void updates::StatSaveProducts(const std::string& programFolder)
{
    const std::string folder = StatisticsFolder();
    if (folder.empty())
        return;
    FileLock lock;
    if (!LockStores(lock, folder))
        return;
    RunTables& t = Run();
    std::lock_guard runLock(t.mutex);
    ProductStore store = LoadProductStore(folder, VersionNumberOfPath(programFolder));
    std::unordered_map<uint32_t, size_t> at;
    at.reserve(store.words.size() + t.products.size());
    for (size_t i = 2; i < store.words.size(); ++i)
        at.emplace(store.words[i] & kCodeMask, i);
    for (uint32_t w : t.products) {
        const uint32_t code = w & kCodeMask;
        auto it = at.find(code);
        if (it == at.end()) {
            it = at.emplace(code, store.words.size()).first;
            store.words.push_back(code);
        }
        uint32_t& e = store.words[it->second];
        const uint32_t total = std::min<uint32_t>(255, (e >> 24) + (w >> 24));
        e = (e & kCodeMask) | total << 24;
    }
    if (!WriteStore(folder + kProductStoreName, ProductStoreBytes(store)))
        return;
    t.products.clear();
    t.productAt.clear();
}

bool updates::StatShouldSend(const std::string& programFolder)
{
    const std::string folder = StatisticsFolder();
    const uint32_t version = VersionNumberOfPath(programFolder);
    if (folder.empty() || version < 20000)
        return false;
    const CounterStore s = LoadCounterStore(folder, version);
    return s.fromFile && s.pairs.size() >= 10 && s.pairs[0].second < VersionWord(version) &&
           s.pairs[1].second < TodayDosDate();
}

bool updates::StatShouldSendProducts(const std::string& programFolder)
{
    const std::string folder = StatisticsFolder();
    const uint32_t version = VersionNumberOfPath(programFolder);
    if (folder.empty() || version < 20000)
        return false;
    const ProductStore s = LoadProductStore(folder, version);
    return s.fromFile && s.words.size() >= 8 && s.words[0] < version && (s.words[1] >> 16) < TodayDosDate();
}

void StatRequestItems(std::vector<std::string>& items, const std::string& programFolder)
{
    const std::string folder = StatisticsFolder();
    const uint32_t version = VersionNumberOfPath(programFolder);
    CounterStore store;
    if (folder.empty())
        store.pairs = {{0, VersionWord(version)}, {1, TodayDosDate()}};
    else
        store = LoadCounterStore(folder, version);
    items = CounterItems(store, MergeForSending(store, RunCounters()), folder);
}

std::string StatQueryOf(const std::vector<std::string>& items)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t n = 0; n < items.size(); ++n) {
        std::string item = items[n];
        const bool quote = std::any_of(item.begin(), item.end(), [](char c) {
            const auto b = static_cast<unsigned char>(c);
            return b == ' ' || b == '"' || b == '&' || b < 32 || b == 127;
        });
        if (quote) {
            std::string q = "\"";
            for (char c : item) {
                q.push_back(c);
                if (c == '"')
                    q.push_back('"');
            }
            item = q + "\"";
        }
        if (n > 0)
            out.push_back('&');
        bool equals = false;
        for (char c : item) {
            const auto b = static_cast<unsigned char>(c);
            const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                               b == '-' || b == '.' || b == '_';
            if (plain || (c == '=' && !equals)) {
                equals = equals || c == '=';
                out.push_back(c);
            } else {
                out.push_back('%');
                out.push_back(hex[b >> 4]);
                out.push_back(hex[b & 15]);
            }
        }
    }
    return out;
}

std::string ProductValueText(const std::vector<uint32_t>& entries)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    for (uint32_t e : entries) {
        const uint32_t count = e >> 24;
        if (count < 1)
            continue;
        const uint32_t b = count < 106 ? count : count <= 160 ? 105 : 106;
        const uint32_t c = (e & kCodeMask) + b * 10000000u;
        for (int shift = 24; shift >= 0; shift -= 6)
            out.push_back(digits[(c >> shift) & 63]);
    }
    return out;
}

void updates::StatSend(const std::string& programFolder, const std::string& serverLetter)
{
    const std::string folder = StatisticsFolder();
    if (folder.empty())
        return;
    const uint32_t version = VersionNumberOfPath(programFolder);
    const CounterStore store = LoadCounterStore(folder, version);
    const CounterSent sent = MergeForSending(store, RunCounters());
    const std::vector<std::string> items = CounterItems(store, sent, folder);

    if (!Uploaded(StatsUrl(serverLetter, "/stats/") + "?" + StatQueryOf(items)))
        return;

    // Exactly what was sent leaves the run table and the store.
    {
        RunTables& t = Run();
        std::lock_guard lock(t.mutex);
        for (auto& [key, count] : t.counters) {
            const auto it = sent.parts.find(key);
            if (it != sent.parts.end())
                count = static_cast<uint16_t>(Less(count, it->second.second));
        }
    }
    FileLock lock;
    if (!LockStores(lock, folder))
        return;
    CounterStore now = LoadCounterStore(folder, version);
    CounterStore stamped;
    stamped.pairs = {{0, VersionWord(version)}, {1, TodayDosDate()}};
    for (size_t i = 2; i < now.pairs.size(); ++i) {
        auto [key, count] = now.pairs[i];
        const auto it = sent.parts.find(key);
        if (it != sent.parts.end())
            count = static_cast<uint16_t>(Less(count, it->second.first));
        if (count > 0)
            stamped.pairs.emplace_back(key, count);
    }
    WriteStore(folder + kCounterStoreName, CounterStoreBytes(stamped));
}

void updates::StatSendProducts(const std::string& programFolder, const std::string& serverLetter)
{
    const std::string folder = StatisticsFolder();
    if (folder.empty())
        return;
    const uint32_t version = VersionNumberOfPath(programFolder);
    const ProductStore store = LoadProductStore(folder, version);
    const ProductSent sent = MergeProducts(store, RunProducts());
    const std::vector<std::string> items = {
        "_ICO=" + std::to_string(UpdateShared().CustomerNumber()), "_USR=" + UserItemValue(),
        "_BEG=" + BeginDate(store.fromFile, static_cast<uint16_t>(store.words[1] >> 16),
                            folder + kProductStoreName),
        "VAL=" + ProductValueText(sent.merged)};
    if (!Uploaded(StatsUrl(serverLetter, "/stats/win/") + "?" + StatQueryOf(items)))
        return;

    {
        RunTables& t = Run();
        std::lock_guard lock(t.mutex);
        for (uint32_t& w : t.products) {
            const auto it = sent.parts.find(w & kCodeMask);
            if (it == sent.parts.end())
                continue;
            w = (w & kCodeMask) | Less(w >> 24, it->second.second) << 24;
        }
    }
    FileLock lock;
    if (!LockStores(lock, folder))
        return;
    const ProductStore now = LoadProductStore(folder, version);
    ProductStore stamped;
    stamped.words = {version, NowDosDateTime()};
    for (size_t i = 2; i < now.words.size(); ++i) {
        const uint32_t code = now.words[i] & kCodeMask;
        uint32_t count = now.words[i] >> 24;
        const auto it = sent.parts.find(code);
        if (it != sent.parts.end())
            count = Less(count, it->second.first);
        if (count > 0)
            stamped.words.push_back(code | count << 24);
    }
    WriteStore(folder + kProductStoreName, ProductStoreBytes(stamped));
}

void AddStatisticsServices(UpdateServices& s)
{
    s.statCount = [](uint16_t key) { updates::StatCount(key); };
    s.statAddLog4 = [](uint16_t key, int64_t value) { updates::StatAddLog4(key, value); };
    s.statCountLog2 = [](uint16_t key, int64_t value) { updates::StatCountLog2(key, value); };
    s.statCountDuration = [](uint16_t key, double days) { updates::StatCountDuration(key, days); };
    s.statCountProduct = [](const std::string& code) { updates::StatCountProduct(code); };
    s.statSaveCounters = [](const std::string& folder) { updates::StatSaveCounters(folder); };
    s.statSaveProducts = [](const std::string& folder) { updates::StatSaveProducts(folder); };
    s.statShouldSend = [](const std::string& folder) { return updates::StatShouldSend(folder); };
    s.statShouldSendProducts = [](const std::string& folder) {
        return updates::StatShouldSendProducts(folder);
    };
    s.statSend = [](const std::string& folder, const std::string& letter) {
        updates::StatSend(folder, letter);
    };
    s.statSendProducts = [](const std::string& folder, const std::string& letter) {
        updates::StatSendProducts(folder, letter);
    };
}
