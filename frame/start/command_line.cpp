#include "frame/start/command_line.h"

#include <QDir>

#include <charconv>
#include <cstdlib>
#include <mutex>

#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/system.h"

#ifndef QEVW_CUSTOMER_DOMAIN
#define QEVW_CUSTOMER_DOMAIN ""
#endif

namespace {

// Position of the first "|" + key followed by "=" or "|" (or the end of the
// list for a key without value at the end); npos when missing.
size_t FindKey(std::string_view key, std::string_view list, bool wantValue)
{
    size_t from = 0;
    while (true) {
        size_t p = list.find('|', from);
        if (p == std::string_view::npos)
            return p;
        size_t after = p + 1 + key.size();
        if (list.compare(p + 1, key.size(), key) == 0 && after <= list.size()) {
            if (after < list.size()) {
                char c = list[after];
                if (c == '=' || (!wantValue && c == '|'))
                    return p;
            }
        }
        from = p + 1;
    }
}

std::atomic<uint8_t> g_programType{0};
std::atomic<DataSetCode> g_dataSet{DataSetCode::None};

// Whether an item that starts with "/" names an option: no second "/" before
// its first "=" (or in the whole item without one).
bool SlashItemIsOption(std::string_view item)
{
    size_t eq = item.find('=');
    std::string_view head = item.substr(0, eq);
    return head.find('/', 1) == std::string_view::npos;
}

bool IsUpper(char c)
{
    return c >= 'A' && c <= 'Z';
}

} // namespace

bool HasOption(std::string_view key, std::string_view list)
{
    return FindKey(key, list, false) != std::string_view::npos;
}

std::string GetOption(std::string_view key, std::string_view list)
{
    // Only "|key=" counts: a key given alone reads as empty, as a missing one.
    size_t from = 0;
    while (true) {
        size_t p = list.find('|', from);
        if (p == std::string_view::npos)
            return {};
        size_t after = p + 1 + key.size();
        if (after < list.size() && list.compare(p + 1, key.size(), key) == 0 && list[after] == '=') {
            size_t end = list.find('|', after + 1);
            if (end == std::string_view::npos)
                end = list.size();
            return std::string(list.substr(after + 1, end - after - 1));
        }
        from = p + 1;
    }
}

int64_t GetOptionNumber(std::string_view key, std::string_view list)
{
    std::string v = GetOption(key, list);
    int64_t n = 0;
    auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (ec != std::errc() || ptr != v.data() + v.size())
        return 0;
    return n;
}

uint8_t QueryTypeCode(std::string_view name)
{
    if (name == "inst")
        return ProgramKind::Installer;
    if (name == "help")
        return ProgramKind::Help;
    if (name == "mkn")
        return ProgramKind::Diagnoses;
    if (name == "dupl")
        return ProgramKind::Duplicity;
    if (name == "calc")
        return ProgramKind::Calc;
    if (name == "mkno")
        return ProgramKind::Diagnoses2;
    if (name == "dopl")
        return ProgramKind::Help2;
    return ProgramKind::Normal;
}

void LowerOptionKey(std::string& item)
{
    for (char& c : item) {
        if (c == '=')
            break;
        if (IsUpper(c))
            c = static_cast<char>(c - 'A' + 'a');
    }
}

std::string TrimRightShort(std::string_view s)
{
    return std::string(TrimRightIf(s, IsBlankOrControl));
}

std::string TrimLeftShort(std::string_view s)
{
    return std::string(TrimLeftIf(s, IsBlankOrControl));
}

int TextLength(std::string_view s)
{
    return static_cast<int>(s.size());
}

namespace {

// One argument as a list item and whether it is an option; false when the
// argument cannot be used at all.
bool ArgumentItem(const std::string& arg, std::string& item, bool& option)
{
    // A character the display code page lacks would silently name
    // another file or product: refuse the line rather than guess.
    if (!Utf8ToCp1250(arg, item))
        return false;
    // A longer item would be cut into another path; "|" would split it
    // into keys the caller never gave.
    if (item.size() > kOptionListMax || item.find('|') != std::string::npos)
        return false;
    option = false;
    if (!item.empty() && item[0] == '/' && SlashItemIsOption(item)) {
        item[0] = '-';
        if ((item.size() == 2 || (item.size() > 2 && item[2] == '=')) && IsUpper(item[1]))
            item[1] = static_cast<char>(item[1] - 'A' + 'a');
    }
    if (!item.empty() && item[0] == '-') {
        option = true;
        item.erase(0, 1);
        if (!item.empty() && item[0] == '-')
            item.erase(0, 1);
        if (item.size() > 1 && item[1] != '=')
            LowerOptionKey(item);
    }
    return true;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    ParsedCommandLine r;
    // The batch check reads the options argument by argument, so that a line
    // refused as a whole is still recognised as a batch run and gets no box.
    std::string batchOptions = "|";
    auto refuse = [&r](const std::string& arg) {
        if (!r.unusable) {
            r.unusable = true;
            r.badArgument = arg;
        }
    };
    for (const std::string& arg : args) {
        std::string item;
        bool option = false;
        if (!ArgumentItem(arg, item, option)) {
            refuse(arg);
            continue;
        }
        if (option && item.size() + 2 <= kOptionListMax) {
            batchOptions += item;
            batchOptions += '|';
        }
        if (r.unusable)
            continue; // the lists stay as they were at the refused argument
        if (option) {
            if (r.options.size() + item.size() + 1 > kOptionListMax) {
                refuse(arg);
                continue;
            }
            r.options += item;
            r.options += '|';
        } else {
            if (r.positionalCount >= kMaxPositionals ||
                r.positionals.size() + item.size() + 3 > kOptionListMax) {
                refuse(arg);
                continue;
            }
            ++r.positionalCount;
            r.positionals += static_cast<char>('0' + r.positionalCount);
            r.positionals += '=';
            r.positionals += item;
            r.positionals += '|';
        }
    }
    r.batchRun = GetOption("q", batchOptions) == "dupl" && HasOption("z", batchOptions);
    return r;
}

std::string RealEnvironment(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string CompiledCustomerDomain()
{
    return QEVW_CUSTOMER_DOMAIN;
}

std::string WorkstationNameFrom(const EnvLookup& env, std::string_view customerDomain)
{
    std::string name = env("COMPUTERNAME");
    if (name.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) == 0)
            name = host;
    }
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    if (name.size() > 19)
        name.resize(19);
    // An empty domain must not match the "||" of an empty variable.
    if (!customerDomain.empty()) {
        const std::string domains = "|" + env("ViewClient_Machine_Domain") + "|";
        const std::string wanted = "|" + std::string(customerDomain) + "|";
        if (domains.find(wanted) != std::string::npos) {
            std::string client = env("ViewClient_Machine_Name");
            if (!client.empty())
                name = client;
        }
    }
    return name;
}

std::string UserNameFrom(const EnvLookup& env)
{
    std::string name = env("USERNAME");
    if (name.empty())
        name = UserName();
    if (name.size() > kOptionListMax)
        name.resize(kOptionListMax);
    return name;
}

std::string SharedRootOf(const std::string& dataDir)
{
    if (dataDir.size() < 2)
        return {};
    // Search backwards from the character before the trailing "/".
    size_t p = dataDir.rfind('/', dataDir.size() - 2);
    if (p == std::string::npos || p + 1 <= 2)
        return {};
    std::string root = dataDir.substr(0, p + 1);
    if (!FileExists(ResolveInFolder(root, "qevw.sh")))
        return {};
    return root;
}

std::string DataFolderFromOption(std::string_view value)
{
    std::string v(value);
    for (char& c : v)
        if (c == '\\')
            c = '/';
    QString abs = QDir::cleanPath(QDir::current().absoluteFilePath(QString::fromStdString(v)));
    return WithTrailingSlash(abs.toStdString());
}

StartValues& ProgramStart()
{
    static StartValues values;
    return values;
}

uint8_t PublishedProgramType()
{
    return g_programType.load(std::memory_order_acquire);
}
void PublishProgramType(uint8_t type)
{
    g_programType.store(type, std::memory_order_release);
}
DataSetCode PublishedDataSet()
{
    return g_dataSet.load(std::memory_order_acquire);
}
void PublishDataSet(DataSetCode dataSet)
{
    g_dataSet.store(dataSet, std::memory_order_release);
}

DataSetCode DataSetOfOptions(std::string_view options)
{
    DataSetCode d = DataSetCode::Drugs;
    if (HasOption("all", options))
        d = DataSetCode::All;
    if (HasOption("pzt", options))
        d = DataSetCode::Devices;
    if (HasOption("pfa", options))
        d = DataSetCode::Goods;
    return d;
}

std::string DataSetTag(DataSetCode dataSet)
{
    switch (dataSet) {
    case DataSetCode::All: return "|all|";
    case DataSetCode::Devices: return "|pzt|";
    case DataSetCode::Goods: return "|pfa|";
    default: return "|";
    }
}

std::string InstallBaseOf(const std::string& sharedRoot, const std::string& programFolder)
{
    if (sharedRoot.empty() || programFolder.size() <= sharedRoot.size() ||
        programFolder.compare(0, sharedRoot.size(), sharedRoot) != 0)
        return {};
    const std::string rest = programFolder.substr(sharedRoot.size());
    // One folder directly below the base, and not a way out of it.
    if (rest.find('/') != rest.size() - 1 || rest == "./" || rest == "../")
        return {};
    return sharedRoot;
}
