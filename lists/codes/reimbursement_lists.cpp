#include "lists/codes/reimbursement_lists.h"

#include <QIcon>
#include <QToolButton>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "frame/windows/data_form.h"
#include "lists/codes/atc_list.h"
#include "lists/codes/reimbursement_kinds.h"
#include "lists/codes/reimbursement_text.h"
#include "lists/drugs/drug_lists.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"
#include <QMdiArea>

namespace {

constexpr uint16_t kListCode = KindOf("RNA");
constexpr uint16_t kAtcSubCode = KindOf("RAT");
constexpr uint16_t kReferenceSubCode = KindOf("RRA");
static_assert(kListCode == 0x49C1 && kAtcSubCode == 0x4834 && kReferenceSubCode == 0x4A41);

constexpr LinkKind kAtcLink = LinkKind::AtcGroup;
constexpr LinkKind kReferenceLink = LinkKind::AtcReference;
constexpr LinkKind kDrugLink = LinkKind::Drug;

constexpr uint16_t kUserListBit = 0x200;
constexpr size_t kMaxListChoice = 40;

constexpr uint16_t kDrugRecordLength = kKlLayout.Length();
constexpr uint16_t kCvzpRecordLength = kCvzpLayout.Length();
constexpr uint16_t kAtcRecordLength = kAtcLayout.Length();
constexpr uint16_t kReferenceRecordLength = kAtcpLayout.Length();
static_assert(kDrugRecordLength == 346 && kCvzpRecordLength == 124 && kAtcRecordLength == 166 &&
              kReferenceRecordLength == 103);

constexpr FieldPos kKlCode = kKlLayout.Field("KOD");
constexpr FieldPos kKlKind = kKlLayout.Field("UH");
constexpr FieldPos kCvzpCode = kCvzpLayout.Field("KOD");
constexpr FieldPos kReferenceCode = kAtcpLayout.Field("ATC");
constexpr FieldPos kReferenceName = kAtcpLayout.Field("NAZ");
static_assert(kCvzpCode.length == kKlCode.length);

constexpr std::string_view kRowLayout =
    "KodNaz-48Dop=46-39DrzZeDATCUC =10Uh OC =10Hr =01DN =01Lim=17Pre=22Ekv=10Dpl=10Bl3=03.";
constexpr std::string_view kColumnNames =
    "Hr,Kod,Naz,/3;Lim,/2;UC,Uh,/1;OC,DN,;Bl3,ATC,Dop,Drz,ZeD,/3;Pre,/2;Dpl,/1;Ekv";
constexpr std::string_view kColumnOrder =
    "2/65,14/30,13,12,15/10,6,0,1/18,4/25,18/25,20,7,9,22,10,16,14,2,4/66,18";

// Column numbers of the name list, dividers counted.
namespace Column {
constexpr uint8_t Hr = 0, Kod = 1, Naz = 2, Uh = 7, DN = 10, Bl3 = 12, Atc = 13, Drz = 15, ZeD = 16;
}
// Characters of the row text (1-based, the status character is 1).
constexpr int kRowName = 9;
constexpr int kRowHolder = 125; // holder and its country, the key of "drzvkod"
constexpr int kHolderKeyLength = 6;

constexpr std::string_view kReferenceLayout = "AtcNaz.";
constexpr std::string_view kReferenceNames = "Atc,Naz";
constexpr std::string_view kReferenceOrder = "1/90,0,1";

// A table name of the current language: the English edition appends "a".
TFileId LanguageId(std::string_view name)
{
    return TFileId(EnglishTables() ? std::string(name) + "a" : std::string(name));
}

std::string ListOptions(int maxLength, std::string_view buttons)
{
    std::string o(1, static_cast<char>(maxLength));
    o += 'A';
    o += buttons;
    return o;
}

TFileId DrugIndexOf(char letter)
{
    switch (letter) {
    case 'A': return TFileId("klatc");
    case 'R': return TFileId("klatcp");
    default: return TFileId("klnaz");
    }
}

bool OpenDrugIndex(char letter)
{
    DbStatus = 0;
    OpenTable(MainTable, TFileId("kl"), DrugIndexOf(letter), kDrugRecordLength);
    return DbStatus == 0 && MainTable.sez.IsOpen();
}

bool OpenPriceTable()
{
    DbStatus = 0;
    OpenTable(CodeTable, TFileId("cvzp"), TFileId("cvzpkod"), kCvzpRecordLength);
    return DbStatus == 0 && CodeTable.sez.IsOpen();
}

// ------------------------------------------------------------ the caches

// What the lists need of every drug, read once per data folder: the kind of
// each record (0 for a drug without a price record), and per drug index the
// record at each position.  Choosing other kinds then only scans memory.
struct DrugKinds {
    std::string identity;
    std::vector<char> kindOfRecord; // by record number
    struct Order {
        std::string identity;
        std::vector<int32_t> recordAt; // by index position
    };
    Order orders[3]; // N, A, R
};

DrugKinds& Kinds()
{
    static DrugKinds kinds;
    return kinds;
}

std::string TableIdentity(const TDbTable& t)
{
    return t.dat.folder + "|" + FileIdToStr(t.dat.id) + "|" + std::to_string(t.dat.count) + "|" +
           std::to_string(t.dat.file.Size());
}

// Drug codes of the price table as numbers, sorted (codes are seven digits).
bool PricedCodes(std::vector<uint32_t>& out)
{
    out.clear();
    std::string rec;
    for (int32_t r = 1; r < CodeTable.dat.count; ++r) {
        ReadRecord(CodeTable.dat, r, rec);
        if (DbStatus > 0)
            return false;
        uint32_t v = 0;
        for (char c : FieldBytes(rec, kCvzpCode))
            v = v * 10 + static_cast<uint32_t>(c >= '0' && c <= '9' ? c - '0' : 0);
        out.push_back(v);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return true;
}

bool DigitsOnly(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The kinds of all drugs; MainTable and CodeTable are open.  False on a
// data-store failure.
bool EnsureKindsOfRecords()
{
    DrugKinds& k = Kinds();
    const std::string identity = TableIdentity(MainTable) + "/" + TableIdentity(CodeTable);
    if (k.identity == identity)
        return true;
    k = DrugKinds{};
    std::vector<uint32_t> priced;
    if (!PricedCodes(priced))
        return false;
    const int32_t count = MainTable.dat.count;
    std::vector<char> kinds(static_cast<size_t>(std::max(count, 1)), 0);
    std::string rec, found;
    for (int32_t r = 1; r < count; ++r) {
        ReadRecord(MainTable.dat, r, rec);
        if (DbStatus > 0)
            return false;
        const std::string_view code = FieldBytes(rec, kKlCode);
        bool hasPrice = false;
        if (DigitsOnly(code)) {
            uint32_t v = 0;
            for (char c : code)
                v = v * 10 + static_cast<uint32_t>(c - '0');
            hasPrice = std::binary_search(priced.begin(), priced.end(), v);
        } else {
            FindRecord(CodeTable, code, found);
            hasPrice = DbStatus == 0 && FieldBytes(found, kCvzpCode) == code;
            DbStatus = 0;
        }
        if (hasPrice) {
            const char key = FieldByte(rec, kKlKind);
            kinds[static_cast<size_t>(r)] = key == ' ' ? '_' : key;
        }
    }
    k.kindOfRecord = std::move(kinds);
    k.identity = identity;
    return true;
}

int OrderSlot(char letter)
{
    return letter == 'A' ? 1 : letter == 'R' ? 2 : 0;
}

// The record at each position of the open drug index.
const std::vector<int32_t>* RecordsInOrder(char letter)
{
    DrugKinds::Order& o = Kinds().orders[OrderSlot(letter)];
    const std::string identity = TableIdentity(MainTable) + "|" + FileIdToStr(MainTable.sez.id);
    if (o.identity == identity)
        return &o.recordAt;
    o = DrugKinds::Order{};
    const int32_t leaves = MainTable.LeafCount();
    std::vector<int32_t> at(static_cast<size_t>(leaves), 0);
    for (int32_t p = 0; p < leaves; ++p) {
        int32_t r = 0;
        IndexEntryRecNo(MainTable.sez, r, p);
        if (DbStatus > 0)
            return nullptr;
        at[static_cast<size_t>(p)] = r;
    }
    o.recordAt = std::move(at);
    o.identity = identity;
    return &o.recordAt;
}

// Hits := the positions whose drug has a price record, a chosen kind and
// passes the filter word.
bool BuildReimbursementHits(VybRec& rec)
{
    if (!EnsureKindsOfRecords())
        return false;
    const std::vector<int32_t>* order = RecordsInOrder(rec.Letter);
    if (order == nullptr)
        return false;
    const std::vector<char>& kinds = Kinds().kindOfRecord;
    std::array<bool, 256> chosen{};
    for (char c : rec.SearchWords)
        chosen[static_cast<uint8_t>(c)] = true;
    const uint16_t filter = rec.ButtonState;
    const auto signList = (filter & kUserListBit) ? SignListSnapshot() : nullptr;
    const bool readRecords = (filter & ~kUserListBit) != 0;
    const int64_t n = static_cast<int64_t>(order->size());
    rec.Hits.assign(static_cast<size_t>(n / 8 + 1), 0);
    std::string drug;
    for (int64_t p = 0; p < n; ++p) {
        const int32_t r = (*order)[static_cast<size_t>(p)];
        if (r <= 0 || static_cast<size_t>(r) >= kinds.size())
            continue;
        const char kind = kinds[static_cast<size_t>(r)];
        if (kind == 0 || !chosen[static_cast<uint8_t>(kind)])
            continue;
        if (readRecords) {
            ReadRecord(MainTable.dat, r, drug);
            if (DbStatus > 0)
                return false;
            if (RecordExcluded(drug, r, filter, signList ? *signList : SignListState{}))
                continue;
        } else if (signList && signList->active && !SignListHas(*signList, r)) {
            continue;
        }
        BitSet(rec.Hits, p);
    }
    rec.Work1 = static_cast<int16_t>(filter);
    rec.Work2 = 1;
    return true;
}

// ----------------------------------------------------------- drug windows

void SeekPrefix(VybRec& rec)
{
    std::string found;
    FindRecord(MainTable, rec.Prefix, found);
    if (DbStatus > 0)
        return;
    InitFetchRange(rec, MainTable);
    if (DbStatus == DbCode::NotExact)
        DbStatus = 0;
}

} // namespace

void ForgetReimbursementCaches()
{
    Kinds() = DrugKinds{};
}

void ReimbursementFetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDrugIndex(rec.Letter) || !OpenPriceTable())
        return;
    const int32_t leaves = MainTable.LeafCount();
    std::shared_ptr<const void> userList;
    if (rec.ButtonState & kUserListBit)
        userList = SignListSnapshot();
    if (rec.Work2 == 0 || rec.Work1 != static_cast<int16_t>(rec.ButtonState) ||
        rec.Hits.size() != static_cast<size_t>(leaves / 8 + 1) || userList != rec.HitsSignList) {
        rec.HitsSignList = std::move(userList);
        if (!BuildReimbursementHits(rec))
            return;
    }
    const uint8_t mode = rec.FetchMode;
    if (mode == FetchModeCode::Seek) {
        SeekPrefix(rec);
        if (DbStatus > 0)
            return;
    } else if (rec.RangeLast < rec.RangeFirst || rec.RangeLast >= leaves) {
        rec.RangeFirst = 0;
        rec.RangeLast = leaves - 1;
    }
    int32_t p = -1;
    bool forward = true;
    switch (mode) {
    case FetchModeCode::Seek:
        p = rec.Strict() ? rec.RangeFirst : MainTable.Position();
        rec.Count = static_cast<int32_t>(BitsCount(rec.Hits, rec.RangeFirst, rec.RangeLast));
        break;
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before:
        p = rec.Rows[1].Pos - 1;
        forward = false;
        break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::First: p = rec.RangeFirst; break;
    case FetchModeCode::Last:
        p = rec.RangeLast;
        forward = false;
        break;
    case FetchModeCode::AtTopPos:
        p = static_cast<int32_t>(BitsNth(rec.Hits, rec.RangeFirst, rec.TopPos));
        break;
    default: return;
    }
    if (p < 0 && forward)
        return;
    std::string drug, price;
    for (;;) {
        p = forward ? static_cast<int32_t>(BitsNextSet(rec.Hits, p, rec.RangeLast))
                    : static_cast<int32_t>(BitsPreviousSet(rec.Hits, p, rec.RangeFirst));
        if (p < 0)
            return;
        ReadByOrder(MainTable, p, drug);
        if (DbStatus > 0)
            return;
        const int32_t recNo = MainTable.recNo;
        const std::string_view code = FieldBytes(drug, kKlCode);
        FindRecord(CodeTable, code, price);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        if (FieldBytes(price, kCvzpCode) == code) {
            if (mode == FetchModeCode::Seek && rec.Strict())
                rec.FoundPos = p;
            if (mode != FetchModeCode::After)
                rec.TopPos = static_cast<int32_t>(BitsCount(rec.Hits, rec.RangeFirst, p - 1));
            row.Pos = p;
            row.Aux = recNo;
            row.Offer1 = recNo;
            row.Offer2 = 0;
            text = ReimbursementRowText(drug, price, IsSigned(recNo));
            return;
        }
        p += forward ? 1 : -1; // the price record went away: step over
    }
}

namespace {

// Prefix and status of the group a restricted list shows.
void TakeMasterGroup(VybRec& rec)
{
    std::string group;
    DbStatus = 0;
    if (rec.Letter == 'A') {
        OpenTable(AtcTable, LanguageId("atc"), LanguageId("atckod"), kAtcRecordLength);
        if (DbStatus == 0 && rec.LinkValue > 0)
            ReadRecord(AtcTable.dat, rec.LinkValue, group);
        if (DbStatus == 0 && !group.empty()) {
            std::string_view code = FieldBytes(group, kAtcCode);
            code = code.substr(0, std::min(code.find(' '), code.size()));
            rec.Prefix = std::string(code.substr(0, 8));
            rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(group, kAtcName));
        }
    } else if (rec.Letter == 'R') {
        OpenTable(CodeTable, LanguageId("atcp"), LanguageId("atcpkod"), kReferenceRecordLength);
        if (DbStatus == 0 && rec.LinkValue > 0)
            ReadRecord(CodeTable.dat, rec.LinkValue, group);
        if (DbStatus == 0 && !group.empty()) {
            rec.Prefix = std::string(FieldBytes(group, kReferenceCode));
            rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(group, kReferenceName));
        }
    } else {
        rec.StatusText = rec.Prefix;
        rec.IconCaption = rec.Prefix;
    }
    DbStatus = 0;
}

} // namespace

void ReimbursementCommand(VybRec& rec)
{
    switch (rec.Command) {
    case ActionCode::ShiftF1 + 1: { // button R
        const std::string choice = ChooseReimbursementKinds(rec.SearchWords);
        if (choice.empty()) {
            rec.Command = 0;
            break;
        }
        rec.SearchWords = choice.substr(0, kMaxListChoice);
        rec.Work2 = 0; // the kinds changed: build Hits again
        rec.Command = ActionCode::RefillInPlace;
        break;
    }
    case ActionCode::ShiftF1 + 4: // button U
        if (SignListSnapshot()->active) {
            rec.ButtonState ^= kUserListBit;
            rec.Command = ActionCode::RefillInPlace;
        } else {
            rec.Command = 0;
        }
        break;
    case ActionCode::RowClicked: rec.Command = ActionCode::Enter; break;
    case ActionCode::Reposition:
        TakeMasterGroup(rec);
        rec.GridRows = 0;
        rec.Command = 0;
        break;
    default: break;
    }
}

void ReimbursementInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key)
{
    const std::string_view text = row.Text.View();
    auto rowChars = [&text](int from, int length) {
        const size_t at = static_cast<size_t>(from - 1);
        return at < text.size() ? text.substr(at, static_cast<size_t>(length)) : std::string_view();
    };
    switch (kind) {
    case InfoKind::CellHint:
        switch (sub) {
        case Column::Hr:
            if (!key.empty())
                out = LookupText(DataTexts, "Puh", key);
            return;
        case Column::Kod: {
            std::string code(key);
            if (!code.empty() && static_cast<unsigned char>(code[0]) < '0')
                code[0] = static_cast<char>(static_cast<unsigned char>(code[0]) + 32);
            out = code + UserListHintLine(row.Offer1);
            return;
        }
        case Column::Naz:
            out = std::string(TrimRightBlanks(rowChars(kRowName, kKlLayout.Field("NAZ").length)));
            return;
        case Column::Uh: {
            if (key.empty())
                return;
            out = LookupText(DataTexts, "Uhr", key);
            if (const size_t amp = out.find('&'); amp != std::string::npos)
                out.erase(amp, 1);
            return;
        }
        case Column::DN:
            if (!key.empty())
                out = ProgramText("VybLek", "p10");
            return;
        case Column::Bl3:
            if (key == "-")
                out = LookupText(DataTexts, "Uhr", "pu");
            return;
        case Column::Atc: out = LookupAtc(key, "00"); return;
        case Column::Drz: out = LookupHolder(rowChars(kRowHolder, kHolderKeyLength)); return;
        case Column::ZeD: out = LookupCountry(key); return;
        default: out = std::string(key); return;
        }
    case InfoKind::HeadingHint: out = ProgramText("VybLek", "p" + std::to_string(sub)); return;
    case InfoKind::Control: {
        const char letter = key.size() == 1 ? key[0] : ' ';
        if (letter == 'R') {
            std::string init;
            GetTextEntry(DataTexts, "Uhr", "Init", init);
            const std::string_view choice = text;
            const bool some = choice.size() < init.size();
            if (sub == 0)
                out = ProgramText("Cudl", "symt");
            else if (sub == 1)
                out = some ? std::string(choice) : ProgramText("Cudl", "symtn");
            else if (sub == 2)
                out = some ? "d" : "";
        } else if (letter == 'U') {
            if (sub <= 2)
                out = UserListButtonText(sub, static_cast<uint16_t>(row.Pos));
        } else if (letter != ' ' && sub <= 1) {
            out = ButtonHintText(letter, sub, row.Pos != 0);
        }
        return;
    }
    default: return;
    }
}

namespace {

std::string ReimbursementHeader()
{
    std::string h(1, '\0');
    h += ProgramText("VybLek", "hdrc");
    return h;
}

std::string ReimbursementGeometry()
{
    return CompileColumnLayout(kRowLayout, DrugColumnWidthTable(), kColumnNames);
}

// The new window of a drug-based list; the caller sets the link fields.
TVyb* NewReimbursementWindow(uint16_t code, char letter, std::string choice)
{
    auto* w = new TVyb;
    w->Kind = code;
    w->setProperty("helpKeyword", QStringLiteral("VybUhr"));
    w->LinkKinds = {LinkKind::None, kDrugLink, LinkKind::None};
    w->Rec.Letter = letter;
    w->Rec.Count = 40000;
    w->Rec.ButtonState = 0;
    w->Rec.ButtonStateM = 0;
    w->TwoLineRows = true;
    w->Rec.SearchWords = std::move(choice);
    return w;
}

void OpenDrugWindow(TVyb* w, std::string_view caption, int maxLength, std::string_view buttons)
{
    w->OpenList(caption, ReimbursementGeometry(), kColumnOrder, ListOptions(maxLength, buttons),
                ReimbursementHeader(), ReimbursementCommand, ReimbursementFetch, ReimbursementInfo);
}

// The kinds for a new window: the chooser started with the saved choice;
// what the user picked is saved.  Empty: open nothing.
std::string AskForKinds()
{
    const std::string choice = ChooseReimbursementKinds(SavedReimbursementChoice());
    if (!choice.empty())
        SaveReimbursementChoice(choice);
    return choice;
}

bool RaiseOpenWindow(uint16_t code)
{
    int32_t value = 0;
    TDataForm* found = nullptr;
    if (FindDataWindow(code, LinkKind::None, value, found) != 0 || found == nullptr)
        return false;
    if (QWidget* widget = found->Widget()) {
        if (found->SubWindow() != nullptr)
            DataWindowArea()->setActiveSubWindow(found->SubWindow());
        widget->raise();
        widget->activateWindow();
    }
    return true;
}

} // namespace

void OpenReimbursementList(uint16_t)
{
    const uint16_t code = kListCode;
    if (!OpenPriceTable() || !OpenDrugIndex('N')) {
        ShowError(ProgramText("Chyby", "NoData"));
        return;
    }
    if (RaiseOpenWindow(code))
        return;
    const std::string choice = AskForKinds();
    if (!choice.empty())
        ShowReimbursementList(choice);
}

TVyb* ShowReimbursementList(std::string_view choice)
{
    TVyb* w = NewReimbursementWindow(kListCode, 'N', std::string(choice.substr(0, kMaxListChoice)));
    w->Master = MainDataForm();
    w->Rec.Options = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    OpenDrugWindow(w, ProgramText("VybLek", "nPN"), 31, "?RU=/");
    w->PlaceAndShow(true);
    return w;
}

void OpenReimbursementSubList(uint16_t code, LinkKind linkKind)
{
    const char letter = KindLetters(code)[1];
    if (!OpenPriceTable() || !OpenDrugIndex(letter)) {
        ShowError(ProgramText("Chyby", "NoData"));
        return;
    }
    int32_t value = 0;
    TDataForm* master = nullptr;
    const int32_t found = FindDataWindow(code, linkKind, value, master);
    if (found == 0) {
        if (master != nullptr && master->Widget() != nullptr)
            master->Widget()->raise();
        return;
    }
    if (found < 0 || value <= 0)
        return;
    auto* masterList = dynamic_cast<TVyb*>(master);
    std::string choice = masterList != nullptr && !masterList->Rec.SearchWords.empty()
                             ? masterList->Rec.SearchWords
                             : SavedReimbursementChoice();
    TVyb* w = NewReimbursementWindow(code, letter, std::move(choice));
    w->LinkKinds[0] = linkKind;
    w->LinkValues[0] = value;
    w->Master = master;
    w->Dependent = true;
    w->Rec.LinkValue = value;
    w->Rec.Command = ActionCode::Reposition;
    w->Rec.Options = 0x80;
    OpenDrugWindow(w, ProgramText("VybLek", std::string("nP") + letter), letter == 'R' ? 0 : 7, "?RU=*");
    w->Dependent = found == 1;
    if (w->FnSlave != nullptr)
        w->FnSlave->setEnabled(found == 1);
    w->PlaceAndShow(master == MainDataForm());
}

// ------------------------------------------------- ATC reference groups

void AtcReferenceFetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    DbStatus = 0;
    const bool byName = rec.Letter == 'N';
    OpenTable(CodeTable, LanguageId("atcp"), LanguageId(byName ? "atcpnaz" : "atcpkod"),
              kReferenceRecordLength);
    if (DbStatus != 0 || !CodeTable.sez.IsOpen())
        return;
    const int32_t leaves = CodeTable.LeafCount();
    std::string group;
    int32_t p = -1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
        FindRecord(CodeTable, rec.Prefix, group);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        InitFetchRange(rec, CodeTable);
        p = CodeTable.Position();
        rec.TopPos = p;
        break;
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::First: p = 0; break;
    case FetchModeCode::Last: p = leaves - 1; break;
    case FetchModeCode::AtTopPos: p = rec.TopPos; break;
    default: return;
    }
    if (p < 0 || p >= leaves)
        return;
    ReadByOrder(CodeTable, p, group);
    if (DbStatus > 0)
        return;
    DbStatus = 0;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p;
    row.Pos = p;
    row.Aux = CodeTable.recNo;
    row.Offer1 = CodeTable.recNo;
    row.Offer2 = 0;
    text.assign(1, '\0');
    text += FieldBytes(group, kReferenceCode);
    text += FieldBytes(group, kReferenceName);
}

void AtcReferenceCommand(VybRec& rec)
{
    switch (rec.Command) {
    case ActionCode::Tab:
        if (rec.Prefix.empty()) {
            rec.Letter = rec.Letter == 'C' ? 'N' : 'C';
            rec.Command = ActionCode::PrefixChanged;
        }
        break;
    case ActionCode::PrefixChanged:
        if (rec.Prefix.size() > 1)
            rec.Letter = rec.Prefix[1] >= '0' && rec.Prefix[1] <= '9' ? 'C' : 'N';
        break;
    case ActionCode::Enter:
    case ActionCode::RowClicked:
        OpenReimbursementSubList(kReferenceSubCode, kReferenceLink);
        rec.Command = 0;
        break;
    default: break;
    }
}

void AtcReferenceInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key)
{
    switch (kind) {
    case InfoKind::CellHint: out = std::string(key); break;
    case InfoKind::HeadingHint: out = ProgramText("VybPom", "vr" + std::to_string(sub)); break;
    case InfoKind::Control:
        if (key.size() == 1 && key[0] != ' ' && sub <= 1)
            out = ButtonHintText(key[0], sub, row.Pos != 0);
        break;
    default: break;
    }
}

void OpenAtcReferenceList(uint16_t)
{
    // The window shares its code with the group's drug list, which follows
    // it under link kind 3.
    const uint16_t code = kReferenceSubCode;
    DbStatus = 0;
    OpenTable(CodeTable, LanguageId("atcp"), LanguageId("atcpnaz"), kReferenceRecordLength);
    if (DbStatus != 0 || !CodeTable.sez.IsOpen()) {
        ShowError(ProgramText("Chyby", "NoData"));
        return;
    }
    const std::string geometry =
        CompileColumnLayout(kReferenceLayout, ColumnWidthTableOf(CodeTable.dat), kReferenceNames);
    if (RaiseOpenWindow(code))
        return;
    const std::string choice = AskForKinds();
    if (choice.empty())
        return;
    auto* w = new TVyb;
    w->Kind = code;
    w->setProperty("helpKeyword", QStringLiteral("VybUhr"));
    w->LinkKinds = {LinkKind::None, kReferenceLink, LinkKind::None};
    w->Master = MainDataForm();
    w->Rec.Letter = 'C';
    w->Rec.Count = 100;
    w->Rec.ButtonState = 0;
    w->Rec.Options = 0;
    w->Rec.SearchWords = choice;
    std::string header(1, '\0');
    header += ProgramText("VybPom", "hr");
    w->OpenList(ProgramText("VybPom", "na"), geometry, kReferenceOrder, ListOptions(64, ">?="), header,
                AtcReferenceCommand, AtcReferenceFetch, AtcReferenceInfo);
    w->PlaceAndShow(true);
}

void ReimbursementAtcCommand(VybRec& rec)
{
    if (rec.Command == ActionCode::Enter || rec.Command == ActionCode::RowClicked)
        OpenReimbursementSubList(kAtcSubCode, kAtcLink);
}

void OpenReimbursementAtcList(uint16_t)
{
    // The chooser and the group's drug list share this code; the list follows
    // the chooser under link kind 2.
    const uint16_t code = kAtcSubCode;
    if (RaiseOpenWindow(code))
        return;
    // Everything the window needs is checked before the user picks kinds.
    AtcList probe(nullptr);
    if (!OpenPriceTable() || !probe.Open('C')) {
        ShowError(ProgramText("Chyby", "NoData"));
        return;
    }
    TBits signs;
    if (!BuildAtcFilter(signs, 1, AtcTable)) {
        ShowError(ProgramText("Chyby", "ErrSgn"));
        return;
    }
    const std::string choice = AskForKinds();
    if (choice.empty())
        return;
    AtcListWindowSpec spec;
    spec.code = code;
    spec.rowLayout = "ATC=08ActNaz=?2.";
    spec.columnNames = "ATC,Act,Naz";
    spec.columnOrder = "2/90,0,1,2";
    spec.buttons = ">?E<=";
    spec.helpKeyword = "VybUhr";
    spec.searchWords = choice;
    spec.openGroup = ReimbursementAtcCommand;
    if (TVyb* w = OpenAtcListWindow(spec))
        w->Master = MainDataForm();
}

void RegisterReimbursementCommands()
{
    RegisterCommandHandler("OpenReimbursementList",
                           [](const CommandCall& c) { OpenReimbursementList(c.code); });
    RegisterCommandHandler("OpenReimbursementAtcList",
                           [](const CommandCall& c) { OpenReimbursementAtcList(c.code); });
    RegisterCommandHandler("OpenAtcReferenceList",
                           [](const CommandCall& c) { OpenAtcReferenceList(c.code); });
}
