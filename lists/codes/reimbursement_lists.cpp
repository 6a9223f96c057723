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

static_assert(kPriceDrug.length == kDrugCode.length);

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

bool OpenDrugIndex(TDbTable& drugs, char letter)
{
    DbStatus = 0;
    OpenTable(drugs, TFileId("kl"), DrugIndexOf(letter), kKlLayout.Length());
    return DbStatus == 0 && drugs.sez.IsOpen();
}

bool OpenPriceTable(TDbTable& prices)
{
    DbStatus = 0;
    OpenTable(prices, TFileId("cvzp"), TFileId("cvzpkod"), kCvzpLayout.Length());
    return DbStatus == 0 && prices.sez.IsOpen();
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
bool PricedCodes(TDbTable& prices, std::vector<uint32_t>& out)
{
    out.clear();
    std::string rec;
    for (int32_t r = 1; r < prices.dat.count; ++r) {
        ReadRecord(prices.dat, r, rec);
        if (DbStatus > 0)
            return false;
        uint32_t v = 0;
        for (char c : FieldBytes(rec, kPriceDrug))
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

// The kinds of all drugs; both tables are open.  False on a data-store
// failure.
bool EnsureKindsOfRecords(TDbTable& drugs, TDbTable& prices)
{
    DrugKinds& k = Kinds();
    const std::string identity = TableIdentity(drugs) + "/" + TableIdentity(prices);
    if (k.identity == identity)
        return true;
    k = DrugKinds{};
    std::vector<uint32_t> priced;
    if (!PricedCodes(prices, priced))
        return false;
    const int32_t count = drugs.dat.count;
    std::vector<char> kinds(static_cast<size_t>(std::max(count, 1)), 0);
    std::string rec, found;
    for (int32_t r = 1; r < count; ++r) {
        ReadRecord(drugs.dat, r, rec);
        if (DbStatus > 0)
            return false;
        const std::string_view code = FieldBytes(rec, kDrugCode);
        bool hasPrice = false;
        if (DigitsOnly(code)) {
            uint32_t v = 0;
            for (char c : code)
                v = v * 10 + static_cast<uint32_t>(c - '0');
            hasPrice = std::binary_search(priced.begin(), priced.end(), v);
        } else {
            FindRecord(prices, code, found);
            hasPrice = DbStatus == 0 && FieldBytes(found, kPriceDrug) == code;
            DbStatus = 0;
        }
        if (hasPrice) {
            const char key = FieldByte(rec, kDrugReimbursementKind);
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
const std::vector<int32_t>* RecordsInOrder(TDbTable& drugs, char letter)
{
    DrugKinds::Order& o = Kinds().orders[OrderSlot(letter)];
    const std::string identity = TableIdentity(drugs) + "|" + FileIdToStr(drugs.sez.id);
    if (o.identity == identity)
        return &o.recordAt;
    o = DrugKinds::Order{};
    const int32_t leaves = drugs.LeafCount();
    std::vector<int32_t> at(static_cast<size_t>(leaves), 0);
    for (int32_t p = 0; p < leaves; ++p) {
        int32_t r = 0;
        IndexEntryRecNo(drugs.sez, r, p);
        if (DbStatus > 0)
            return nullptr;
        at[static_cast<size_t>(p)] = r;
    }
    o.recordAt = std::move(at);
    o.identity = identity;
    return &o.recordAt;
}

// ----------------------------------------------------------- drug windows

// The kinds for a new window: the chooser started with the saved choice;
// what the user picked is saved.  Empty: open nothing.
std::string AskForKinds()
{
    const std::string choice = ChooseReimbursementKinds(SavedReimbursementChoice());
    if (!choice.empty())
        SaveReimbursementChoice(choice);
    return choice;
}

void SeekPrefix(VybRec& rec, TDbTable& drugs)
{
    std::string found;
    FindRecord(drugs, rec.Prefix, found);
    if (DbStatus > 0)
        return;
    InitFetchRange(rec, drugs);
    if (DbStatus == DbCode::NotExact)
        DbStatus = 0;
}

} // namespace

void ForgetReimbursementCaches()
{
    Kinds() = DrugKinds{};
}

ReimbursementList::ReimbursementList(char letter, std::string choice)
    : letter_(letter), choice_(choice.substr(0, std::min(choice.size(), kMaxListChoice)))
{}

std::string_view ReimbursementList::CheckTables()
{
    return OpenPriceTable(prices_) && OpenDrugIndex(drugs_, letter_) ? std::string_view() : "NoData";
}

bool ReimbursementList::Prepare(TDataForm* master)
{
    if (!choice_.empty())
        return true;
    if (letter_ == 'N') {
        choice_ = AskForKinds();
        return !choice_.empty();
    }
    // A group's drugs take the kinds of the list the group was chosen in.
    const auto* masterList = dynamic_cast<const TVyb*>(master);
    const std::string masters =
        masterList != nullptr && masterList->Source() != nullptr ? masterList->Source()->SearchWords() : "";
    choice_ = !masters.empty() ? masters : SavedReimbursementChoice();
    return true;
}

// Hits := the positions whose drug has a price record, a chosen kind and
// passes the filter word.
bool ReimbursementList::BuildHits(const VybRec& rec)
{
    if (!EnsureKindsOfRecords(drugs_, prices_))
        return false;
    const std::vector<int32_t>* order = RecordsInOrder(drugs_, rec.Letter);
    if (order == nullptr)
        return false;
    const std::vector<char>& kinds = Kinds().kindOfRecord;
    std::array<bool, 256> chosen{};
    for (char c : choice_)
        chosen[static_cast<uint8_t>(c)] = true;
    const uint16_t filter = rec.ButtonState;
    const auto signList = (filter & kUserListBit) ? SignListSnapshot() : nullptr;
    const bool readRecords = (filter & ~kUserListBit) != 0;
    const int64_t n = static_cast<int64_t>(order->size());
    hits_.assign(static_cast<size_t>(n / 8 + 1), 0);
    std::string drug;
    for (int64_t p = 0; p < n; ++p) {
        const int32_t r = (*order)[static_cast<size_t>(p)];
        if (r <= 0 || static_cast<size_t>(r) >= kinds.size())
            continue;
        const char kind = kinds[static_cast<size_t>(r)];
        if (kind == 0 || !chosen[static_cast<uint8_t>(kind)])
            continue;
        if (readRecords) {
            ReadRecord(drugs_.dat, r, drug);
            if (DbStatus > 0)
                return false;
            if (RecordExcluded(drug, r, filter, signList ? *signList : SignListState{}))
                continue;
        } else if (signList && signList->active && !SignListHas(*signList, r)) {
            continue;
        }
        BitSet(hits_, p);
    }
    hitsFilter_ = filter;
    hitsValid_ = true;
    return true;
}

void ReimbursementList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDrugIndex(drugs_, rec.Letter) || !OpenPriceTable(prices_))
        return;
    const int32_t leaves = drugs_.LeafCount();
    std::shared_ptr<const void> userList;
    if (rec.ButtonState & kUserListBit)
        userList = SignListSnapshot();
    if (!hitsValid_ || hitsFilter_ != rec.ButtonState ||
        hits_.size() != static_cast<size_t>(leaves / 8 + 1) || userList != hitsSignList_) {
        hitsSignList_ = std::move(userList);
        if (!BuildHits(rec))
            return;
    }
    const uint8_t mode = rec.FetchMode;
    if (mode == FetchModeCode::Seek) {
        SeekPrefix(rec, drugs_);
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
        p = rec.Strict() ? rec.RangeFirst : drugs_.Position();
        rec.Count = static_cast<int32_t>(BitsCount(hits_, rec.RangeFirst, rec.RangeLast));
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
    case FetchModeCode::AtTopPos: p = static_cast<int32_t>(BitsNth(hits_, rec.RangeFirst, rec.TopPos)); break;
    default: return;
    }
    if (p < 0 && forward)
        return;
    std::string drug, price;
    for (;;) {
        p = forward ? static_cast<int32_t>(BitsNextSet(hits_, p, rec.RangeLast))
                    : static_cast<int32_t>(BitsPreviousSet(hits_, p, rec.RangeFirst));
        if (p < 0)
            return;
        ReadByOrder(drugs_, p, drug);
        if (DbStatus > 0)
            return;
        const int32_t recNo = drugs_.recNo;
        const std::string_view code = FieldBytes(drug, kDrugCode);
        FindRecord(prices_, code, price);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        if (FieldBytes(price, kPriceDrug) == code) {
            if (mode == FetchModeCode::Seek && rec.Strict())
                rec.FoundPos = p;
            if (mode != FetchModeCode::After)
                rec.TopPos = static_cast<int32_t>(BitsCount(hits_, rec.RangeFirst, p - 1));
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
        OpenTable(AtcTable, LanguageId("atc"), LanguageId("atckod"), kAtcLayout.Length());
        if (DbStatus == 0 && rec.LinkValue > 0)
            ReadRecord(AtcTable.dat, rec.LinkValue, group);
        if (DbStatus == 0 && !group.empty()) {
            std::string_view code = FieldBytes(group, kAtcCode);
            code = code.substr(0, std::min(code.find(' '), code.size()));
            rec.Prefix = std::string(code.substr(0, 8));
            rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(group, kAtcName));
        }
    } else if (rec.Letter == 'R') {
        OpenTable(CodeTable, LanguageId("atcp"), LanguageId("atcpkod"), kAtcpLayout.Length());
        if (DbStatus == 0 && rec.LinkValue > 0)
            ReadRecord(CodeTable.dat, rec.LinkValue, group);
        if (DbStatus == 0 && !group.empty()) {
            rec.Prefix = std::string(FieldBytes(group, kReferenceGroupCode));
            rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(group, kReferenceGroupName));
        }
    } else {
        rec.StatusText = rec.Prefix;
        rec.IconCaption = rec.Prefix;
    }
    DbStatus = 0;
}

} // namespace

ListAction ReimbursementList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::ShiftF2: { // button R
        const std::string choice = ChooseReimbursementKinds(choice_);
        if (choice.empty())
            return ListAction::None;
        choice_ = choice.substr(0, kMaxListChoice);
        hitsValid_ = false; // the kinds changed: build the hits again
        return ListAction::RefillInPlace;
    }
    case ListAction::ShiftF5: // button U
        if (!SignListSnapshot()->active)
            return ListAction::None;
        rec.ButtonState ^= kUserListBit;
        return ListAction::RefillInPlace;
    case ListAction::RowClicked: return ListAction::Enter;
    case ListAction::Reposition:
        TakeMasterGroup(rec);
        rec.GridRows = 0;
        return ListAction::None;
    default: return action;
    }
}

std::string ReimbursementList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    std::string out;
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
            return out;
        case Column::Kod: {
            std::string code(key);
            if (!code.empty() && static_cast<unsigned char>(code[0]) < '0')
                code[0] = static_cast<char>(static_cast<unsigned char>(code[0]) + 32);
            out = code + UserListHintLine(row.Offer1);
            return out;
        }
        case Column::Naz:
            out = std::string(TrimRightBlanks(rowChars(kRowName, kDrugName.length)));
            return out;
        case Column::Uh: {
            if (key.empty())
                return out;
            out = LookupText(DataTexts, "Uhr", key);
            if (const size_t amp = out.find('&'); amp != std::string::npos)
                out.erase(amp, 1);
            return out;
        }
        case Column::DN:
            if (!key.empty())
                out = ProgramText("VybLek", "p10");
            return out;
        case Column::Bl3:
            if (key == "-")
                out = LookupText(DataTexts, "Uhr", "pu");
            return out;
        case Column::Atc: out = LookupAtc(key, "00"); return out;
        case Column::Drz: out = LookupHolder(rowChars(kRowHolder, kHolderKeyLength)); return out;
        case Column::ZeD: out = LookupCountry(key); return out;
        default: out = std::string(key); return out;
        }
    case InfoKind::HeadingHint: out = ProgramText("VybLek", "p" + std::to_string(sub)); return out;
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
        return out;
    }
    default: return out;
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

// The window of a drug-based list.
ListWindowSpec ReimbursementSpec(uint16_t code, char letter, std::string caption, uint8_t maxTyped,
                                 const char* buttons)
{
    ListWindowSpec w;
    w.code = code;
    w.caption = std::move(caption);
    w.geometry = ReimbursementGeometry();
    w.order = kColumnOrder;
    w.header = ReimbursementHeader();
    w.maxTyped = maxTyped;
    w.editKind = 'A';
    w.buttons = buttons;
    w.helpKeyword = "VybUhr";
    w.links = {LinkKind::None, kDrugLink, LinkKind::None};
    w.twoLineRows = true;
    w.activateOpen = true;
    w.placement = ListPlacement::Maximised;
    w.letter = letter;
    w.count = 40000;
    return w;
}

} // namespace

void OpenReimbursementList(uint16_t)
{
    ListWindowSpec w = ReimbursementSpec(kListCode, 'N', ProgramText("VybLek", "nPN"), 31, "?RU=/");
    w.options = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    OpenListWindow(w, std::make_shared<ReimbursementList>('N'));
}

TVyb* ShowReimbursementList(std::string_view choice)
{
    ListWindowSpec w = ReimbursementSpec(kListCode, 'N', ProgramText("VybLek", "nPN"), 31, "?RU=/");
    w.options = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    return OpenListWindow(w, std::make_shared<ReimbursementList>('N', std::string(choice)));
}

void OpenReimbursementSubList(uint16_t code, LinkKind linkKind)
{
    const char letter = KindLetters(code)[1];
    ListWindowSpec w = ReimbursementSpec(code, letter, ProgramText("VybLek", std::string("nP") + letter),
                                         letter == 'R' ? 0 : 7, "?RU=*");
    w.links[0] = linkKind;
    w.needsValue = true;
    w.activateOpen = false;
    w.placement = ListPlacement::MaximisedUnderMain;
    w.reposition = true;
    w.options = 0x80;
    OpenListWindow(w, std::make_shared<ReimbursementList>(letter));
}

// ------------------------------------------------- ATC reference groups

std::string_view AtcReferenceList::CheckTables()
{
    DbStatus = 0;
    OpenTable(table_, LanguageId("atcp"), LanguageId("atcpnaz"), kAtcpLayout.Length());
    return DbStatus == 0 && table_.sez.IsOpen() ? std::string_view() : "NoData";
}

bool AtcReferenceList::Prepare(TDataForm* /*master*/)
{
    choice_ = AskForKinds();
    return !choice_.empty();
}

void AtcReferenceList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    DbStatus = 0;
    const bool byName = rec.Letter == 'N';
    OpenTable(table_, LanguageId("atcp"), LanguageId(byName ? "atcpnaz" : "atcpkod"), kAtcpLayout.Length());
    if (DbStatus != 0 || !table_.sez.IsOpen())
        return;
    const int32_t leaves = table_.LeafCount();
    std::string group;
    int32_t p = -1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
        FindRecord(table_, rec.Prefix, group);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        InitFetchRange(rec, table_);
        p = table_.Position();
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
    ReadByOrder(table_, p, group);
    if (DbStatus > 0)
        return;
    DbStatus = 0;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p;
    row.Pos = p;
    row.Aux = table_.recNo;
    row.Offer1 = table_.recNo;
    row.Offer2 = 0;
    text.assign(1, '\0');
    text += FieldBytes(group, kReferenceGroupCode);
    text += FieldBytes(group, kReferenceGroupName);
}

ListAction AtcReferenceList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Tab:
        if (!rec.Prefix.empty())
            return action;
        rec.Letter = rec.Letter == 'C' ? 'N' : 'C';
        return ListAction::PrefixChanged;
    case ListAction::PrefixChanged:
        if (rec.Prefix.size() > 1)
            rec.Letter = rec.Prefix[1] >= '0' && rec.Prefix[1] <= '9' ? 'C' : 'N';
        return action;
    case ListAction::Enter:
    case ListAction::RowClicked:
        OpenReimbursementSubList(kReferenceSubCode, kReferenceLink);
        return ListAction::None;
    default: return action;
    }
}

std::string AtcReferenceList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: return std::string(key);
    case InfoKind::HeadingHint: return ProgramText("VybPom", "vr" + std::to_string(sub));
    case InfoKind::Control:
        if (key.size() == 1 && key[0] != ' ' && sub <= 1)
            return ButtonHintText(key[0], sub, row.Pos != 0);
        return {};
    default: return {};
    }
}

void OpenAtcReferenceList(uint16_t)
{
    // The window shares its code with the group's drug list, which follows
    // it under link kind 3.
    ListWindowSpec w;
    w.code = kReferenceSubCode;
    w.caption = ProgramText("VybPom", "na");
    w.geometry = CompileColumnLayout(kReferenceLayout, ColumnWidthTableOf(kAtcpLayout), kReferenceNames);
    w.order = kReferenceOrder;
    w.header = std::string(1, '\0') + ProgramText("VybPom", "hr");
    w.maxTyped = 64;
    w.editKind = 'A';
    w.buttons = ">?=";
    w.helpKeyword = "VybUhr";
    w.links = {LinkKind::None, kReferenceLink, LinkKind::None};
    w.activateOpen = true;
    w.placement = ListPlacement::Maximised;
    w.letter = 'C';
    w.count = 100;
    OpenListWindow(w, std::make_shared<AtcReferenceList>());
}

// The ATC list to choose a group in: the prices must be there too, and the
// user picks the kinds before the window opens.
class ReimbursementAtcList : public AtcList {
public:
    ReimbursementAtcList() : AtcList([] { OpenReimbursementSubList(kAtcSubCode, kAtcLink); }) {}

    std::string_view CheckTables() override
    {
        TDbTable prices;
        if (!OpenPriceTable(prices))
            return "NoData";
        return AtcList::CheckTables();
    }
    bool Prepare(TDataForm* /*master*/) override
    {
        searchWords_ = AskForKinds();
        return !searchWords_.empty();
    }
};

void OpenReimbursementAtcList(uint16_t)
{
    // The chooser and the group's drug list share this code; the list follows
    // the chooser under link kind 2.
    AtcListWindowSpec spec;
    spec.code = kAtcSubCode;
    spec.rowLayout = "ATC=08ActNaz=?2.";
    spec.columnNames = "ATC,Act,Naz";
    spec.columnOrder = "2/90,0,1,2";
    spec.buttons = ">?E<=";
    spec.helpKeyword = "VybUhr";
    ListWindowSpec w = AtcListSpecOf(spec);
    w.activateOpen = true;
    OpenListWindow(w, std::make_shared<ReimbursementAtcList>());
}
