#include "viewers/medication_list.h"

#include <QMdiArea>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/run_log.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/utf8_text.h"
#include "frame/config/placement_scheme.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/start/command_line.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/request.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/shared_memory.h"

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kHeading = "K\xF3"
                                      "d "; // "Kód " in code page 1250
constexpr char kTabStandIn = 31;
constexpr size_t kMaxElementText = 255;

// Record lengths of the look-up tables.
constexpr uint16_t kDrugLength = kKlLayout.Length();
constexpr uint16_t kGoodsLength = kPfaLayout.Length();

// --- The one look-up handle -------------------------------------------------

TDbTable& LookupTable()
{
    static TDbTable table;
    return table;
}

bool OpenLookup(const char* dat, const char* sez, uint16_t length)
{
    DbStatus = 0;
    OpenTable(LookupTable(), dat, sez, length);
    return DbStatus == 0;
}

// Finds a key exactly (the key field begins with it); the record in `rec`.
bool FindKey(std::string_view key, std::string& rec)
{
    if (key.empty())
        return false;
    FindRecord(LookupTable(), key, rec);
    return DbStatus == 0;
}

void ReleaseLookup()
{
    OpenTable(LookupTable(), TFileId(), TFileId(), 0);
    DbStatus = 0;
}

// --- Text helpers ---------------------------------------------------------

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Lines: maximal runs of characters above 30.
template <class F>
void ForEachLine(std::string_view text, F&& each)
{
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && static_cast<unsigned char>(text[i]) <= 30)
            ++i;
        const size_t start = i;
        while (i < text.size() && static_cast<unsigned char>(text[i]) > 30)
            ++i;
        if (i > start && !each(text.substr(start, i - start)))
            return;
    }
}

bool IsCommentLine(std::string_view line)
{
    return !line.empty() && (line[0] == '!' || line[0] == '#' || line[0] == '=');
}

void AddReportLine(std::string& report, std::string_view prefix, std::string_view text)
{
    if (!report.empty())
        report += "\r\n";
    report += prefix;
    report += text;
}

// Skips a "Kód " heading line and the line-break characters after it.
void SkipHeading(std::string& text)
{
    if (text.compare(0, kHeading.size(), kHeading) != 0)
        return;
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) > 30)
        ++i;
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n'))
        ++i;
    text.erase(0, i);
}

void ReplaceTabs(std::string& text, char by)
{
    std::replace(text.begin(), text.end(), '\t', by);
}

std::string CutLimit(std::string s)
{
    if (s.size() > kMaxElementText)
        s.resize(kMaxElementText);
    return s;
}

// The text after an XML tag up to the first "</", converted from UTF-8.
std::string ElementText(std::string_view line, std::string_view tag)
{
    std::string_view rest = line.substr(tag.size());
    const size_t end = rest.find("</");
    if (end != std::string_view::npos)
        rest = rest.substr(0, end);
    return CutLimit(Utf8ToText(rest));
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

std::string IoText(int io)
{
    switch (io) {
    case IoResult::NotFound: return "no such file";
    case IoResult::PathNotFound: return "no such folder";
    case IoResult::AccessDenied: return "access denied";
    case IoResult::TooManyOpen: return "too many open files";
    default: return "I/O error " + std::to_string(io);
    }
}

// Keeps the text up to its last line feed when the source was longer than
// the bound.
void CutAtLastLineFeed(std::string& text)
{
    const size_t lf = text.rfind('\n');
    if (lf != std::string::npos)
        text.resize(lf + 1);
}

int ReadFileBounded(const std::string& utf8Path, std::string& text, int max)
{
    text.clear();
    ReadOnlyFile f;
    if (const int r = f.Open(utf8Path); r != 0)
        return -r;
    const int64_t size = f.Size();
    const bool longer = max > 0 && size > max;
    const size_t want = static_cast<size_t>(longer ? max : size);
    text.resize(want);
    size_t got = 0;
    const int r = want > 0 ? f.ReadAt(0, text.data(), want, &got) : 0;
    if (r != 0 && r != IoResult::ShortRead) {
        text.clear();
        return -r;
    }
    text.resize(got);
    if (longer)
        CutAtLastLineFeed(text);
    return static_cast<int>(text.size());
}

std::string PathOfValue(std::string_view value)
{
    std::string path = Cp1250ToUtf8(value);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// 0 or the failure of the platform's block reader.
int ReadBlockBounded(const std::string& name, std::string& text)
{
    size_t full = 0;
    const int r = ReadSharedBlock(Cp1250ToUtf8(name), text, kMaxListBytes, &full);
    if (r == 0 && full > kMaxListBytes)
        CutAtLastLineFeed(text);
    return r;
}

// --- Request state ----------------------------------------------------------

std::atomic<DrugResultListOpener> g_drugResultListOpener{nullptr};

TMainForm* MainForm()
{
    return dynamic_cast<TMainForm*>(MainDataForm());
}

// The main window's side of a request.
class MainWindowTarget : public RequestTarget {
public:
    DataSetCode ActiveDataSet() override { return CurrentDataSet(); }
    void CloseDataWindowsButMain() override { ::CloseDataWindowsButMain(); }
    void ShowDrugResultList(const std::vector<int32_t>& positions, const std::string& title) override
    {
        if (DrugResultListOpener open = g_drugResultListOpener.load())
            open(positions, title);
        else
            AppendRunLog("ShowDrugResultList not available (" + std::to_string(positions.size()) +
                         " products)\r\n");
    }
    void ExecuteCommand(uint16_t code, int32_t value) override
    {
        ::ExecuteCommand(MainDataForm(), code, value);
    }
    void TileWindows() override
    {
        if (QMdiArea* area = DataWindowArea())
            area->tileSubWindows();
    }
    void SetRequestMode(uint8_t mode) override
    {
        if (TMainForm* m = MainForm())
            m->RequestMode = mode;
    }
    void SetRequestPosition(int32_t position) override
    {
        if (TMainForm* m = MainForm())
            m->LinkValues[0] = position;
    }
    void SetRequestTableKind(LinkKind kind) override
    {
        if (TMainForm* m = MainForm())
            m->LinkKinds[0] = kind;
    }
    void SetRequestCommand(uint16_t code) override
    {
        if (TMainForm* m = MainForm())
            m->Kind = code;
    }
    void SetRequestText(const std::string& text) override
    {
        if (TMainForm* m = MainForm())
            m->LookupRequest = text;
    }
    void SetRequestedParagraph(uint8_t paragraph) override { RequestedParagraph = paragraph; }
    void SetRequestedSection(uint8_t section) override { RequestedSection = section; }
};

RequestTarget*& TargetSlot()
{
    static RequestTarget* slot = nullptr;
    return slot;
}

// Whole two-letter items of a list such as "MA AE AK".
bool ListHasCode(std::string_view list, std::string_view code)
{
    for (size_t i = 0; i + 2 <= list.size(); i += 3)
        if (list.substr(i, 2) == code)
            return true;
    return false;
}

uint16_t KindCode(char first, char second, char third)
{
    return static_cast<uint16_t>(((static_cast<unsigned char>(first) & 0x3F) << 10) |
                                 ((static_cast<unsigned char>(second) & 0x1F) << 5) |
                                 (static_cast<unsigned char>(third) & 0x1F));
}

uint16_t KindCode(std::string_view three)
{
    return KindCode(three[0], three[1], three[2]);
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char RaiseSmall(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

// The command of a found drug record: the request's own, else by whether
// the product has a summary text.
uint16_t DrugCommand(uint16_t requested, const std::string& rec)
{
    if (requested != 0)
        return requested;
    const bool noText = rec.size() >= static_cast<size_t>(kDrugSummaryOffset.End()) &&
                        static_cast<int32_t>(DecodeLE32(rec.data() + kDrugSummaryOffset.Offset())) == -1;
    return KindCode(noText ? "dMA" : "dAK");
}

} // namespace

// --- Reading a list ---------------------------------------------------------

int ReadListFile(const std::string& path, std::string& text, int max)
{
    return ReadFileBounded(PathOfValue(path), text, max);
}

void ReadSharedListBlock(const std::string& name, std::string& text)
{
    if (ReadBlockBounded(name, text) != 0)
        text = "!";
}

bool IsListFilePath(std::string_view value)
{
    return value.find('/') != std::string_view::npos || value.find('\\') != std::string_view::npos;
}

bool IsXmlList(std::string_view text)
{
    if (StartsWith(text, kBom))
        text.remove_prefix(kBom.size());
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    text.remove_prefix(i);
    return StartsWith(text, "<erp:") || StartsWith(text, "<medi") || StartsWith(text, "<?xml");
}

std::string DecodeListText(std::string text)
{
    if (IsXmlList(text))
        return text;
    if (StartsWith(text, kBom))
        return Utf8ToCodePage(std::string_view(text).substr(kBom.size()));
    if (LooksLikeUtf8(text))
        return Utf8ToCodePage(text);
    return text;
}

ListSourceText ReadListSource(const std::string& value)
{
    ListSourceText out;
    if (value.empty()) {
        out.reason = "no list given";
        return out;
    }
    if (IsListFilePath(value)) {
        const std::string path = PathOfValue(value);
        const int r = ReadFileBounded(path, out.text, static_cast<int>(kMaxListBytes));
        if (r < 0) {
            out.reason = "Cannot read \"" + path + "\": " + IoText(-r);
            out.text.clear();
            return out;
        }
    } else {
        const int r = ReadBlockBounded(value, out.text);
        if (r != 0) {
            const std::string name = Cp1250ToUtf8(value);
            out.reason = r == SharedBlockResult::BadLength
                             ? "Shared memory block \"" + name + "\": its length runs past the block"
                         : r == SharedBlockResult::TooSmall
                             ? "Shared memory block \"" + name + "\" holds no length"
                             : "Cannot open shared memory block \"" + name + "\": " + IoText(r);
            out.text.clear();
            return out;
        }
    }
    out.readable = true;
    out.text = DecodeListText(std::move(out.text));
    return out;
}

// --- Parsing ----------------------------------------------------------------

std::string ListValue(const ListValues& values, std::string_view name)
{
    for (const std::string& v : values)
        if (v.size() > name.size() && v.compare(0, name.size(), name) == 0 && v[name.size()] == '=')
            return v.substr(name.size() + 1);
    return {};
}

namespace {

int ParseXmlList(std::string& text, std::vector<int32_t>& positions, std::vector<std::string>& dosageLines,
                 ListValues& values)
{
    values.clear();
    positions.assign(kMaxXmlItems, 0);
    std::string report;
    int count = 0;
    ReplaceTabs(text, ' ');
    bool inItem = false, inProduct = false, inPatient = false;
    std::string firstNames, surname;
    bool drugsOpen = false, drugsTried = false;

    ForEachLine(text, [&](std::string_view raw) {
        if (count >= kMaxXmlItems)
            return false;
        const std::string_view line = TrimBlanks(raw);
        if (StartsWith(line, "<erp:PLP>")) {
            inItem = true;
        } else if (StartsWith(line, "</erp:PLP>")) {
            inItem = false;
            ++count;
            // One dosage per item: an item without one gets an empty entry,
            // and extra ones of an item are dropped so later items stay in
            // step.
            if (static_cast<int>(dosageLines.size()) < count)
                dosageLines.emplace_back();
            while (static_cast<int>(dosageLines.size()) > count)
                dosageLines.pop_back();
        } else if (StartsWith(line, "<erp:HVLPReg>")) {
            inProduct = true;
        } else if (StartsWith(line, "</erp:HVLPReg>")) {
            inProduct = false;
        } else if (StartsWith(line, "<erp:Pacient>")) {
            inPatient = true;
        } else if (StartsWith(line, "</erp:Pacient>")) {
            inPatient = false;
            values.push_back(CutLimit("pacos.jmeno=" + firstNames + " " + surname));
        } else if (StartsWith(line, "<erp:Navod>")) {
            if (inItem)
                dosageLines.push_back(ElementText(line, "<erp:Navod>"));
        } else if (StartsWith(line, "<erp:Kod>")) {
            if (inItem && inProduct) {
                const std::string code = ElementText(line, "<erp:Kod>");
                if (!drugsTried) {
                    drugsTried = true;
                    drugsOpen = OpenLookup("kl", "klkod", kDrugLength);
                }
                if (drugsOpen) {
                    std::string rec;
                    // Fewer than seven digits would match a longer code by prefix.
                    if (IsDigitRun(code, 1, 7) && FindKey(std::string_view(code).substr(0, 7), rec))
                        positions[static_cast<size_t>(count)] = LookupTable().recNo;
                    else
                        AddReportLine(report, "nenalezen ", code);
                }
            }
        } else if (StartsWith(line, "<erp:Jmena>")) {
            if (inPatient)
                firstNames = ElementText(line, "<erp:Jmena>");
        } else if (StartsWith(line, "<erp:Prijmeni>")) {
            if (inPatient)
                surname = ElementText(line, "<erp:Prijmeni>");
        }
        return true;
    });
    // Dosages of an unclosed last item do not belong to a counted one.
    if (static_cast<int>(dosageLines.size()) > count)
        dosageLines.resize(static_cast<size_t>(count));
    text = report;
    ReleaseLookup();
    return count;
}

} // namespace

int ParseMedicationList(std::string& text, std::vector<int32_t>& positions,
                        std::vector<std::string>& dosageLines, ListValues& values)
{
    dosageLines.clear();
    if (StartsWith(text, kBom))
        text.erase(0, kBom.size());
    if (!IsXmlList(text)) {
        const int n = ResolveDrugCodeList(text, positions, values);
        dosageLines.assign(static_cast<size_t>(n), std::string());
        return n;
    }
    return ParseXmlList(text, positions, dosageLines, values);
}

int ResolveDrugCodeList(std::string& text, std::vector<int32_t>& positions, ListValues& values)
{
    values.clear();
    if (StartsWith(text, "=")) {
        const size_t lf = text.find('\n');
        std::string name = text.substr(1, lf == std::string::npos ? std::string::npos : lf - 1);
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        values.push_back(CutLimit("pacos.jmeno=" + name));
        text.erase(0, lf == std::string::npos ? text.size() : lf + 1);
    }
    positions.assign(kMaxPlainProducts, 0);
    ReplaceTabs(text, kTabStandIn);
    SkipHeading(text);

    std::string report;
    int count = 0;
    std::string rec;
    ForEachLine(text, [&](std::string_view line) {
        if (count >= kMaxPlainProducts)
            return false;
        if (IsCommentLine(line))
            return true;
        if (IsDigitRun(line, 1, 7)) {
            if (!OpenLookup("kl", "klkod", kDrugLength))
                return true;
            if (FindKey(line.substr(0, 7), rec))
                positions[static_cast<size_t>(count++)] = LookupTable().recNo;
            else
                AddReportLine(report, "nenalezen ", line);
        } else if (IsDigitRun(line, 1, 5)) {
            if (!OpenLookup("pfa", "pfakod", kGoodsLength))
                return true;
            AddReportLine(report, FindKey(line.substr(0, 5), rec) ? "parafarm. " : "nenalezen ", line);
        } else {
            // A name ends before a word that begins with a digit (the
            // strength), its blank kept so that the name is not a prefix of
            // a longer one.
            std::string_view key = line;
            for (size_t i = 0; i + 1 < line.size(); ++i)
                if (line[i] == ' ' && IsDigit(line[i + 1])) {
                    key = line.substr(0, i + 1);
                    break;
                }
            std::string kamKey(key);
            WinToKamS(kamKey);
            if (OpenLookup("kl", "klnaz", kDrugLength) && FindKey(kamKey, rec)) {
                positions[static_cast<size_t>(count++)] = LookupTable().recNo;
            } else if (OpenLookup("pfa", "pfanaz", kGoodsLength) && FindKey(kamKey, rec)) {
                AddReportLine(report, "parafarm. ", line);
            } else {
                AddReportLine(report, "nenalezen ", key);
            }
        }
        return true;
    });
    text = report;
    ReleaseLookup();
    return count;
}

int ResolvePfaCodeList(std::string& text, std::vector<int32_t>& positions)
{
    int L = 5;
    std::string body = text;
    if (StartsWith(body, "=")) {
        size_t end = body.find_first_of("\r\n");
        if (StartsWith(body, "= Chyby ")) {
            const std::string number = body.substr(8, end == std::string::npos ? std::string::npos : end - 8);
            int value = 0;
            bool ok = !number.empty() && number.size() <= 6 && IsAllDigits(number);
            if (ok)
                value = std::stoi(number);
            // A length below 1 would let every line match.
            if (value >= 1)
                L = value;
        }
        if (end == std::string::npos)
            end = body.size();
        else if (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        body.erase(0, end);
    }
    ReplaceTabs(body, kTabStandIn);
    SkipHeading(body);

    const char* index = L == 6 ? "pfahem" : L == 13 ? "pfaean" : "pfakod";
    if (!OpenLookup("pfa", index, kGoodsLength)) {
        ReleaseLookup();
        return 0;
    }
    positions.assign(kMaxGoodsPositions, 0);
    const FieldPos field = L == 6 ? kGoodsHemCode : L == 13 ? kGoodsEan : kGoodsCode;

    std::string report;
    int count = 0;
    std::string rec;
    ForEachLine(body, [&](std::string_view line) {
        if (count >= kMaxGoodsPositions)
            return false;
        if (IsCommentLine(line))
            return true;
        if (!IsDigitRun(line, 1, L)) {
            AddReportLine(report, "nenalezen ", line);
            return true;
        }
        const std::string_view key = line.substr(0, static_cast<size_t>(L));
        if (!FindKey(key, rec)) {
            AddReportLine(report, "nenalezen ", line);
            return true;
        }
        TDbTable& t = LookupTable();
        positions[static_cast<size_t>(count++)] = t.recNo;
        // The same code may stand on one further record (a second package).
        if (count < kMaxGoodsPositions) {
            ReadByOrder(t, t.Position() + 1, rec);
            if (DbStatus == 0 && FieldDiffers(rec, field.start, field.length, key) == 0 &&
                static_cast<int>(key.size()) == field.length)
                positions[static_cast<size_t>(count++)] = t.recNo;
        }
        return true;
    });
    text = report;
    ReleaseLookup();
    return count;
}

// --- Requests ---------------------------------------------------------------

bool IsAllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), IsDigit);
}

bool IsDigitRun(std::string_view text, int from, int to)
{
    if (from < 1)
        return false;
    for (int i = from; i <= to; ++i)
        if (i > static_cast<int>(text.size()) || !IsDigit(text[static_cast<size_t>(i - 1)]))
            return false;
    return true;
}

uint8_t SectionCodeIndex(std::string_view code)
{
    if (!code.empty() && code.size() <= 2 && IsAllDigits(code)) {
        const int n = std::stoi(std::string(code));
        if (n >= 1 && n <= 98)
            return static_cast<uint8_t>(n);
    }
    if (code.empty())
        return 0;
    std::string two = code.size() == 1 ? " " + std::string(code) : std::string(code.substr(0, 2));
    if (two[0] == '_')
        two[0] = ' ';
    const std::string zkr1 = LookupText(UiTexts, "Prohlizec", "Zkr1");
    const std::string zkr2 = LookupText(UiTexts, "Prohlizec", "Zkr2");
    if (StartsWith(zkr1, "!") || StartsWith(zkr2, "!"))
        return 0;
    const auto up = [](char c) { return KamUpper[static_cast<unsigned char>(c)]; };
    const size_t n = std::min<size_t>(std::min(zkr1.size(), zkr2.size()), 100);
    for (size_t i = 0; i < n; ++i)
        if (up(zkr1[i]) == up(two[0]) && up(zkr2[i]) == up(two[1]))
            return static_cast<uint8_t>(i);
    return 0;
}

uint16_t medication::RequestCommandCode(char kind, const std::string& query)
{
    std::string code = AsciiUpper(GetOption("a", query));
    const size_t hash = code.find('#');
    if (hash != std::string::npos && hash > 0) {
        const std::string after = code.substr(hash + 1);
        if (code[hash - 1] == 'P')
            CurrentRequestTarget().SetRequestedParagraph(ParagraphKeyToCode(after));
        else
            CurrentRequestTarget().SetRequestedSection(SectionCodeIndex(after.substr(0, 2)));
        code.resize(hash);
    }
    if (code.size() == 3 && (code[0] == 'C' || code[0] == 'D' || code[0] == 'P' || code[0] == 'T'))
        code.erase(0, 1);
    if (code.size() != 2)
        return 0;
    char first = 0;
    if (kind == 'd') {
        if (ListHasCode("MA AE AK AB IA LL SP IS", code))
            first = 'd';
        if (ListHasCode("XD XN XS", code))
            first = 'C';
        if (ListHasCode("BA", code))
            first = 'D';
    } else if (kind == 'c') {
        if (ListHasCode("SY SN", code))
            first = 'c';
        if (ListHasCode("XC", code))
            first = 'D';
    }
    return first == 0 ? 0 : KindCode(first, code[0], code[1]);
}

RequestTarget::~RequestTarget() = default;

RequestTarget* SetRequestTarget(RequestTarget* target)
{
    RequestTarget* old = TargetSlot();
    TargetSlot() = target;
    return old;
}

RequestTarget& CurrentRequestTarget()
{
    static MainWindowTarget mainWindow;
    RequestTarget* t = TargetSlot();
    return t ? *t : mainWindow;
}

void SetDrugResultListOpener(DrugResultListOpener opener)
{
    g_drugResultListOpener = opener;
}

DrugResultListOpener CurrentDrugResultListOpener()
{
    return g_drugResultListOpener.load();
}

namespace {

// The windows of a list of 7-digit codes joined by ";"; false when the text
// is not such a list or none of its codes was found and the command allows
// single windows (the text is then looked up as one item).
bool OpenCodeList(const std::string& text, const std::string& query, uint16_t code, RequestTarget& target)
{
    if (!(text.size() > 14 && text[7] == ';' && text.size() % 8 == 7))
        return false;
    std::vector<int32_t> found;
    bool allDigits = true;
    for (size_t i = 0; i < text.size(); i += 8)
        allDigits = allDigits && IsAllDigits(std::string_view(text).substr(i, 7));
    if (allDigits && OpenLookup("kl", "klkod", 0)) {
        std::string rec;
        for (size_t i = 0; i < text.size(); i += 8)
            if (FindKey(std::string_view(text).substr(i, 7), rec))
                found.push_back(LookupTable().recNo);
    }
    ReleaseLookup();
    // The request's own option list: a request handed over by another
    // program carries its "m", not this copy's command line.
    const std::string m = GetOption("m", query);
    int windows = 1;
    if (m.size() >= 2 && m[0] == 'f')
        windows = static_cast<unsigned char>(m[1]) & 0x0F;
    if (static_cast<int>(found.size()) > windows || code == 0) {
        target.ShowDrugResultList(found, "Seznam");
        target.ExecuteCommand(code, 0);
        return true;
    }
    if (found.empty())
        return false;
    target.SetRequestMode(6);
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        target.SetRequestPosition(*it);
        target.ExecuteCommand(code, 1);
    }
    if (m.find('t') != std::string::npos)
        target.TileWindows();
    return true;
}

} // namespace

void medication::OpenRequestedItem(const std::string& query)
{
    RequestTarget& target = CurrentRequestTarget();
    std::string text;
    for (int i = 1;; ++i) {
        const std::string key = std::to_string(i);
        if (!HasOption(key, query))
            break;
        if (!text.empty())
            text += ' ';
        text += GetOption(key, query);
    }
    text = std::string(TrimBlanks(text));
    if (text.empty())
        return;
    target.CloseDataWindowsButMain();
    const DataSetCode dataSet = target.ActiveDataSet();
    char base = dataSet == DataSetCode::Goods ? 'P' : dataSet == DataSetCode::Devices ? 'T' : 'D';
    const uint16_t requested = medication::RequestCommandCode('d', query);

    if (OpenCodeList(text, query, requested, target))
        return;

    std::string kind;
    if (StartsWith(text, ",,")) {
        text.erase(0, 2);
        kind = "NA";
    }
    if (StartsWith(text, ",")) {
        text.erase(0, 1);
        const size_t comma = text.find(',');
        if (comma != std::string::npos)
            text.resize(comma);
        if (text.size() < 7)
            text.insert(0, 7 - text.size(), '0');
        kind = "CD";
    }
    if (text.size() < 14 && IsAllDigits(text))
        kind = text.size() < 8 ? "CD" : "EA";
    const size_t n = text.size();
    if ((n == 3 || n == 4 || n == 5 || n == 7) && IsLetter(text[0]) && IsDigitRun(text, 2, 3) &&
        (n < 7 || IsDigitRun(text, 6, 7))) {
        base = 'V';
        kind = "AC";
        text[0] = RaiseSmall(text[0]);
        if (n >= 4)
            text[3] = RaiseSmall(text[3]);
        if (n >= 5)
            text[4] = RaiseSmall(text[4]);
    }
    if (StartsWith(text, "CAS") && text.size() >= 4 && (text[3] == ' ' || IsDigit(text[3]))) {
        const size_t dash = text.find('-');
        // 1-based position p of the first "-" with 4 < p < 12.
        if (dash != std::string::npos && dash + 1 > 4 && dash + 1 < 12) {
            text.insert(3, 11 - dash, ' ');
            base = 'C';
            kind = "NA";
        }
    }
    if (kind.empty())
        kind = "NA";
    const std::string requestCode = std::string(1, base) + kind;

    std::string rec;
    uint16_t command = 0;
    LinkKind tableKind = LinkKind::None;
    int32_t position = 0;
    if (requestCode == "CNA") {
        if (OpenLookup("kk", "kknaz", 0) && FindKey(text, rec)) {
            tableKind = LinkKind::Substance;
            position = LookupTable().recNo;
            command = medication::RequestCommandCode('c', query);
            if (command == 0)
                command = KindCode("cSY");
        }
    } else if (requestCode == "DCD" && text.size() == 7) {
        if (OpenLookup("kl", "klkod", 0) && FindKey(text, rec)) {
            tableKind = LinkKind::Drug;
            position = LookupTable().recNo;
            command = DrugCommand(requested, rec);
        }
    } else if (requestCode == "DEA" && text.size() == 13) {
        if (OpenLookup("kle", "kleean", 0) && FindKey(text, rec)) {
            const std::string drug(FieldBytes(rec, kEanDrug));
            if (OpenLookup("kl", "klkod", 0) && FindKey(drug, rec)) {
                tableKind = LinkKind::Drug;
                position = LookupTable().recNo;
                command = DrugCommand(requested, rec);
            }
        }
    } else if (requestCode == "PCD" && text.size() == 5) {
        if (OpenLookup("pfa", "pfakod", kGoodsLength) && FindKey(text, rec)) {
            tableKind = LinkKind::Goods;
            position = LookupTable().recNo;
            command = KindCode("pAR");
        }
    } else if (requestCode == "PEA" && text.size() == 13) {
        if (OpenLookup("pfa", "pfaean", kGoodsLength) && FindKey(text, rec)) {
            tableKind = LinkKind::Goods;
            position = LookupTable().recNo;
            command = KindCode("pAR");
        }
    } else if (requestCode == "TCD" && text.size() == 7) {
        if (OpenLookup("pzt", "pztkod", 0) && FindKey(text, rec)) {
            tableKind = LinkKind::Device;
            position = LookupTable().recNo;
            command = KindCode("tPR");
        }
    } else if (requestCode == "VAC") {
        std::string key = text;
        key.resize(7, ' ');
        if (OpenLookup("atc", "atckod", 0) && FindKey(key, rec)) {
            tableKind = LinkKind::AtcGroup;
            position = LookupTable().recNo;
            command = KindCode("DAA");
        }
    }
    ReleaseLookup();
    if (command != 0) {
        target.SetRequestPosition(position);
        target.SetRequestTableKind(tableKind);
        target.SetRequestCommand(command);
        target.ExecuteCommand(command, 0);
        return;
    }
    target.SetRequestText(text);
    target.ExecuteCommand(KindCode(requestCode), 0);
}

void AddRequestServices(ViewerServices& services)
{
    services.openRequestedItem = [](const std::string& query) { medication::OpenRequestedItem(query); };
    services.requestCommandCode = [](uint16_t kind, const std::string& query) {
        return medication::RequestCommandCode(static_cast<char>(kind), query);
    };
}
