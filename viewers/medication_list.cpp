#include "viewers/medication_list.h"
#include "viewers/medication_list_parts.h"

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
#include "frame/message_box.h"
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

using namespace medication_parts;

namespace {

// --- Request state ----------------------------------------------------------

std::atomic<DrugResultListOpener> g_drugResultListOpener{nullptr};
std::atomic<DrugResultListOpener> g_goodsResultListOpener{nullptr};

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
    void ShowGoodsResultList(const std::vector<int32_t>& positions, const std::string& title) override
    {
        if (DrugResultListOpener open = g_goodsResultListOpener.load())
            open(positions, title);
        else
            RequestTarget::ShowGoodsResultList(positions, title);
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

// --- Requests ---------------------------------------------------------------

bool IsAllDigits(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), IsAsciiDigit);
}

bool IsDigitRun(std::string_view text, int from, int to)
{
    if (from < 1)
        return false;
    for (int i = from; i <= to; ++i)
        if (i > static_cast<int>(text.size()) || !IsAsciiDigit(text[static_cast<size_t>(i - 1)]))
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

void SetGoodsResultListOpener(DrugResultListOpener opener)
{
    g_goodsResultListOpener = opener;
}

DrugResultListOpener CurrentGoodsResultListOpener()
{
    return g_goodsResultListOpener.load();
}

void RequestTarget::ShowGoodsResultList(const std::vector<int32_t>& positions, const std::string&)
{
    AppendRunLog("ShowGoodsResultList not available (" + std::to_string(positions.size()) + " articles)\r\n");
}

void ShowListReport(const std::string& report)
{
    constexpr size_t kMaxReportShown = 799;
    if (report.empty())
        return;
    std::string shown = report;
    if (shown.size() > kMaxReportShown) {
        // Whole lines only, then a line that says there is more.
        shown.resize(kMaxReportShown);
        const size_t lastBreak = shown.rfind("\r\n");
        shown.resize(lastBreak == std::string::npos ? 0 : lastBreak);
        shown += shown.empty() ? "..." : "\r\n...";
    }
    WinToKamS(shown);
    ShowMessage(shown);
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

namespace {

// The request's words "1", "2" ... joined by blanks, trimmed.
std::string RequestedWords(const std::string& query)
{
    std::string text;
    for (int i = 1;; ++i) {
        const std::string key = std::to_string(i);
        if (!HasOption(key, query))
            break;
        if (!text.empty())
            text += ' ';
        text += GetOption(key, query);
    }
    return std::string(TrimBlanks(text));
}

// The request code of a text ("DCD" a drug code, "DEA" an EAN, "VAC" an ATC
// code, "CNA" a CAS number, base + "NA" a name): the text is brought to the
// form its look-up takes.  `base` is the data set's letter.
std::string ClassifyRequest(std::string& text, char base)
{
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
    if (StartsWith(text, "CAS") && text.size() >= 4 && (text[3] == ' ' || IsAsciiDigit(text[3]))) {
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
    return std::string(1, base) + kind;
}

// The record a request names and the command that shows it.
struct RequestedRecord {
    uint16_t command = 0;
    LinkKind tableKind = LinkKind::None;
    int32_t position = 0;
};

RequestedRecord FindRequestedRecord(const std::string& requestCode, const std::string& text,
                                    const std::string& query, uint16_t requested)
{
    std::string rec;
    RequestedRecord found;
    uint16_t& command = found.command;
    LinkKind& tableKind = found.tableKind;
    int32_t& position = found.position;
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
        if (OpenLookup("pfa", "pfakod", kPfaLayout.Length()) && FindKey(text, rec)) {
            tableKind = LinkKind::Goods;
            position = LookupTable().recNo;
            command = KindCode("pAR");
        }
    } else if (requestCode == "PEA" && text.size() == 13) {
        if (OpenLookup("pfa", "pfaean", kPfaLayout.Length()) && FindKey(text, rec)) {
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
    return found;
}

} // namespace

void medication::OpenRequestedItem(const std::string& query)
{
    RequestTarget& target = CurrentRequestTarget();
    std::string text = RequestedWords(query);
    if (text.empty())
        return;
    target.CloseDataWindowsButMain();
    const DataSetCode dataSet = target.ActiveDataSet();
    const char base = dataSet == DataSetCode::Goods ? 'P' : dataSet == DataSetCode::Devices ? 'T' : 'D';
    const uint16_t requested = medication::RequestCommandCode('d', query);

    if (OpenCodeList(text, query, requested, target))
        return;
    const std::string requestCode = ClassifyRequest(text, base);
    const RequestedRecord found = FindRequestedRecord(requestCode, text, query, requested);
    if (found.command != 0) {
        target.SetRequestPosition(found.position);
        target.SetRequestTableKind(found.tableKind);
        target.SetRequestCommand(found.command);
        target.ExecuteCommand(found.command, 0);
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
