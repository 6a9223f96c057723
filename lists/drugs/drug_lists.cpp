// The drug lists: openers, the fetch callbacks of the whole table, of the
// EAN table and of the EU registration numbers, the command callback and the
// texts of hints and buttons.

#include "lists/drugs/drug_lists.h"

#include <QIcon>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <mutex>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/drug_row.h"
#include "datastore/kamenici.h"
#include "datastore/key_index.h"
#include "datastore/service_hooks.h"
#include "datastore/sign_sets.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "frame/windows/data_form.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/search/similar_search.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr LinkKind kDrugRecordLink = LinkKind::Drug;
// The name column's first and last place (1-based), and the EAN column's
// first place, where the EAN list writes the code itself.
constexpr size_t kNameFrom = static_cast<size_t>(kDrugRowName.start);
constexpr size_t kNameTo = static_cast<size_t>(kDrugRowName.End());
constexpr size_t kEanAt = static_cast<size_t>(kDrugRowEanCount.start);

// The index of the drug table a list letter walks ("" for none).
const char* IndexOfLetter(char letter)
{
    switch (letter) {
    case 'K': return "klkod";
    case 'N': return "klnaz";
    case 'R':
    case 'U': return "klrc";
    case 'A':
    case 'B': return "klatc";
    case 'C': return "klzed";
    case 'H': return "kldrz";
    case 'I': return "klis";
    default: return "";
    }
}

// The drug table by code, beside the list's own handle: the EAN list finds
// the drug of a code in it, the B list its master's drug.
thread_local TDbTable drugByCode;

bool OpenDrugByCode()
{
    DbStatus = 0;
    OpenTable(drugByCode, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    return DbStatus == 0;
}

} // namespace

bool LoadDrugSigns()
{
    if (!OpenDrugByCode())
        return false;
    return LoadSignSets(SignSets(), DataDir(), "kl", drugByCode.dat.count - 1) == 0;
}

namespace {

// A copy of the drug sign set with that number (signs 8-15 are the sets of
// "kl" in their declared order); false when it is absent or not loaded.
bool SignBits(int number, TBits& out)
{
    static constexpr std::array<const char*, 8> kNames{"Actual", "Act_Old", "nVeter",  "nHomeo",
                                                       "ActReg", "Prizes",  "Stocked", "OnePack"};
    if (number < 8 || number > 15)
        return false;
    TSignSetArray& sets = SignSets();
    const int at = sets.Find("kl", kNames[static_cast<size_t>(number - 8)]);
    if (at < 0)
        return false;
    std::lock_guard lock(sets.Mutex());
    const TSignSet* s = sets.At(static_cast<size_t>(at));
    // A loaded set keeps the file's flags byte, whose bit 0 reads like
    // Absent: an absent set is told by its empty bits.
    if (s == nullptr || (s->flags & SignSetFlags::Declared) != 0 || s->bits.empty())
        return false;
    out = s->bits;
    return true;
}

// Whether a list of the letter restricts the table to its master's value.
bool Restricted(char letter)
{
    return letter == 'A' || letter == 'B' || letter == 'C' || letter == 'H' || letter == 'I';
}

std::string_view CheckDrugTables(bool tableOpen)
{
    if (!tableOpen)
        return "NoData";
    if (!LoadDrugSigns())
        return "ErrSgn";
    return {};
}

// The drug sign numbers of the filter word.
namespace Sign {
constexpr int Actual = 8, Listed = 9, NotVeterinary = 10, NotHomeopathic = 11, Registered = 12,
              Reimbursed = 13, Stocked = 14, OnePack = 15;
}

bool Backwards(uint8_t mode)
{
    return mode == FetchModeCode::Before || mode == FetchModeCode::Last;
}

// The row text of a word of the word file: the suggestion marker, the word
// with "?" after it in the name column, the explanation after it.
std::string WordRowText(std::string_view wordFile, int32_t entry)
{
    const bool similar = (static_cast<uint32_t>(entry) & kSimilarWordEntry) != 0;
    std::string text(1, '"');
    std::string mark = ProgramText("VybPom", similar ? "sMys" : "sFlt");
    mark.resize(7, ' ');
    text += mark;
    const size_t from = static_cast<size_t>(WordEntryPosition(entry)) - 1;
    for (size_t i = 0; i < 70; ++i) {
        const size_t at = from + i;
        if (at >= wordFile.size() || wordFile[at] == '\0')
            break;
        text += wordFile[at];
    }
    text.resize(255, ' ');
    size_t end = text.size();
    for (size_t i = kNameFrom - 1; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) <= 15) {
            end = i;
            break;
        }
    if (end >= kNameFrom)
        text[end - 1] = '?';
    for (size_t i = end; i < kNameTo && i < text.size(); ++i)
        text[i] = ' ';
    const std::string tail = ProgramText("VybPom", similar ? "tMys" : "tFlt");
    const size_t at = std::max(end + 1, kNameTo + 1) - 1;
    for (size_t i = 0; i < tail.size() && at + i < text.size(); ++i)
        text[at + i] = tail[i];
    return text;
}

} // namespace

void DrugList::DeliverRow(const VybRec& rec, int32_t pos, int32_t recNo, std::string& record, TVybRow& row,
                          std::string& text)
{
    const bool keep = (rec.ButtonState & 0x100) != 0;
    const bool replace = rec.Letter != 'K';
    FormatRecordLine(record, recNo, keep, text, replace, !ActiveDrugColumns().split);
    row.Pos = pos;
    row.Aux = recNo;
    row.Offer1 = recNo;
}

namespace {

// Where the walk starts, by fetch mode; Seek is the caller's.
int32_t StartPosition(const VybRec& rec, int32_t first, int32_t last)
{
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: return rec.Rows[1].Pos;
    case FetchModeCode::Before: return rec.Rows[1].Pos - 1;
    // Without cached rows (an output run) the last row passed is Rows[0].
    case FetchModeCode::After: return rec.Rows[rec.RowCount].Pos + 1;
    case FetchModeCode::First: return first;
    case FetchModeCode::Last: return last;
    default: return -1;
    }
}

bool PrefixBounded(const VybRec& rec)
{
    return rec.Strict() && !rec.Prefix.empty();
}

// The H list typed with a country: holders of that code in other countries
// share the index range and are stepped over.
bool OtherCountry(const VybRec& rec, std::string_view record)
{
    if (rec.Letter != 'H' || rec.Prefix.size() <= 3)
        return false;
    const std::string_view typed = rec.Prefix;
    return FieldBytes(record, kDrugHolder) == typed.substr(0, 3) &&
           FieldBytes(record, kDrugHolderCountry).substr(0, std::min<size_t>(3, typed.size() - 3)) !=
               typed.substr(3, 3);
}

} // namespace

// ------------------------------------------------------------------ filter

void BuildDrugFilter(TBits& hits, uint16_t buttonState, TDbTable& table)
{
    const int32_t records = table.dat.count - 1;
    TBits byRecord;
    BitsInitAll(byRecord, records);
    auto keep = [&](int number, bool with) {
        TBits sign;
        if (!SignBits(number, sign))
            return; // a sign the file does not hold takes no part
        if (with)
            BitsAnd(byRecord, sign);
        else
            BitsAndNot(byRecord, sign);
    };
    // Every list keeps listed drugs only; each filter bit keeps the drugs
    // with (or without) one more sign.
    struct SignBit {
        uint16_t bit;
        int sign;
        bool with;
    };
    static constexpr SignBit kBits[] = {
        {0xFFFF, Sign::Listed, true},       {0x80, Sign::Actual, true},
        {0x08, Sign::NotHomeopathic, true}, {0x04, Sign::NotHomeopathic, false},
        {0x02, Sign::NotVeterinary, true},  {0x01, Sign::NotVeterinary, false},
        {0x10, Sign::Registered, true},     {0x40, Sign::Reimbursed, true},
        {0x20, Sign::Stocked, true},        {0x100, Sign::OnePack, true},
    };
    for (const SignBit& b : kBits)
        if ((buttonState & b.bit) != 0 || b.bit == 0xFFFF)
            keep(b.sign, b.with);
    if (buttonState & 0x200) {
        // The sign list's bit r is record r; the set's bit r - 1.
        const auto list = SignListSnapshot();
        if (list && list->active) {
            TBits mine(byRecord.size(), 0);
            for (int32_t r = 1; r <= records; ++r)
                if (SignListHas(*list, r))
                    BitSet(mine, r - 1);
            BitsAnd(byRecord, mine);
        }
    }
    BitsRestrictToTable(hits, byRecord, table);
}

// ------------------------------------------------------------------ walk

bool DrugList::OpenIndex(char letter)
{
    DbStatus = 0;
    OpenTable(table_, TFileId("kl"), TFileId(IndexOfLetter(letter)), kKlLayout.Length());
    return DbStatus == 0 && table_.sez.IsOpen();
}

void DrugList::ReportNoData()
{
    if (noDataShown_)
        return;
    noDataShown_ = true;
    ShowError(ProgramText("Chyby", "NoData"));
}

bool DrugList::Prepare(TDataForm* master)
{
    const auto* masterList = dynamic_cast<const TVyb*>(master);
    masterButtonM_ = masterList != nullptr && masterList->Rec.ButtonStateM == 1;
    return true;
}

void DrugList::Start(VybRec& rec)
{
    // The ATC and indication-group lists take the master's choice of button
    // M: bit 0 with it, bit 1 without.
    if (letter_ == 'A' || letter_ == 'I')
        rec.ButtonState = static_cast<uint16_t>((rec.ButtonState & ~0x03) | (masterButtonM_ ? 1 : 2));
}

std::string_view DrugList::CheckTables()
{
    if (Restricted(letter_))
        return CheckDrugTables(true);
    if (letter_ == 'N')
        (void)CachedWordFile("klnaz.slw");
    return CheckDrugTables(OpenIndex(letter_));
}

std::string_view EanList::CheckTables()
{
    DbStatus = 0;
    OpenTable(table_, TFileId("kle"), TFileId("kleean"), kKleLayout.Length());
    return CheckDrugTables(DbStatus == 0 && table_.sez.IsOpen());
}

void DrugList::FetchSimilar(VybRec& rec, TVybRow& row, std::string& text, int32_t p)
{
    if (p < 0 || static_cast<size_t>(p) >= similar_.size())
        return;
    const int32_t entry = similar_[static_cast<size_t>(p)];
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p;
    if (IsWordEntry(entry)) {
        text = WordRowText(CachedWordFile("klnaz.slw"), entry);
        row.Pos = p;
        row.Aux = entry;
        row.Offer1 = 0; // a word is no record for the windows that follow
        return;
    }
    std::string record;
    ReadRecord(table_.dat, entry, record);
    if (DbStatus != 0)
        return;
    DeliverRow(rec, p, entry, record, row, text);
}

bool DrugList::RefreshHits(const VybRec& rec)
{
    std::shared_ptr<const void> userList;
    if (rec.ButtonState & 0x200)
        userList = SignListSnapshot();
    const bool changed = !hitsBuilt_ || hits_.empty() || hitsFilter_ != rec.ButtonState ||
                         hitsFilterM_ != rec.ButtonStateM || userList != hitsSignList_;
    if (!changed)
        return false;
    hitsSignList_ = std::move(userList);
    BuildDrugFilter(hits_, rec.ButtonState, table_);
    hitsBuilt_ = true;
    hitsFilter_ = rec.ButtonState;
    hitsFilterM_ = rec.ButtonStateM;
    return true;
}

int32_t DrugList::SeekPrefix(VybRec& rec, std::string& record)
{
    walksSimilar_ = false;
    similar_.clear();
    FindRecord(table_, rec.Prefix, record);
    if (DbStatus > 0 || DbStatus == DbCode::OutOfRange)
        return -1;
    const int32_t found = table_.Position();
    rec.FoundPos = rec.Strict() ? found : 0;
    rec.TopPos = rec.Strict() ? 0 : found;
    InitFetchRange(rec, table_);
    if (DbStatus > 0)
        return -1;
    DbStatus = 0;
    // "=" and "_" stand for the rest of the index from the found key on.
    if (rec.Strict() && rec.Prefix.size() == 1 && (rec.Prefix == "=" || rec.Prefix == "_"))
        rec.RangeFirst = found;
    rec.Count = rec.RangeLast >= rec.RangeFirst
                    ? static_cast<int32_t>(BitsCount(hits_, rec.RangeFirst, rec.RangeLast))
                    : 0;
    return rec.Strict() ? std::max(found, rec.RangeFirst) : found;
}

// ------------------------------------------------------------------ fetch

bool DrugList::SuggestSimilar(VybRec& rec)
{
    if (rec.Letter != 'N' || !WordPrefixIsRare(CachedWordFile("klnaz.slw"), rec.Prefix, 3))
        return false;
    const TypedRange range{rec.Prefix,     rec.Whisper,   rec.ButtonState, rec.Count, rec.Strict(),
                           rec.RangeFirst, rec.RangeLast, rec.TopPos,      &hits_};
    std::vector<int32_t> found = SimilarNameSearch(CachedWordFile("klnaz.slw"), range, table_);
    if (found.empty())
        return false;
    similar_ = std::move(found);
    rec.Count = static_cast<int32_t>(similar_.size());
    walksSimilar_ = true;
    rec.FoundPos = 0; // scroll positions now count the suggestions
    return true;
}

void DrugList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenIndex(rec.Letter)) {
        ReportNoData();
        return;
    }
    const bool filterChanged = RefreshHits(rec);
    if (DbStatus > 0) {
        ReportNoData();
        return;
    }
    const int32_t leaves = table_.LeafCount();
    // Shown rows of the suggestions stand for no index position: after
    // them the walk starts at the range.
    bool fromRangeStart = false;
    if (filterChanged && rec.FetchMode != FetchModeCode::Seek) {
        // Another filter makes other rows: the range counts again.
        if (walksSimilar_) {
            walksSimilar_ = false;
            similar_.clear();
            fromRangeStart = true;
        }
        rec.Count = rec.RangeLast >= rec.RangeFirst
                        ? static_cast<int32_t>(BitsCount(hits_, rec.RangeFirst, rec.RangeLast))
                        : 0;
    }

    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        p = SeekPrefix(rec, record);
        if (p < 0) {
            ReportNoData();
            return;
        }
        if (SuggestSimilar(rec))
            p = 0;
    }

    if (walksSimilar_) {
        const auto size = static_cast<int32_t>(similar_.size());
        if (rec.FetchMode == FetchModeCode::AtTopPos)
            p = rec.FoundPos + rec.TopPos;
        else if (rec.FetchMode != FetchModeCode::Seek)
            p = StartPosition(rec, 0, size - 1);
        FetchSimilar(rec, row, text, p);
        if (row.Pos != -1)
            FetchWorked();
        return;
    }

    const bool bounded = PrefixBounded(rec);
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : leaves - 1;
    if (fromRangeStart)
        p = first;
    else if (rec.FetchMode == FetchModeCode::AtTopPos)
        p = static_cast<int32_t>(BitsNth(hits_, first, rec.TopPos));
    else if (rec.FetchMode != FetchModeCode::Seek)
        p = StartPosition(rec, first, last);

    const bool back = !fromRangeStart && Backwards(rec.FetchMode);
    for (;;) {
        p = back ? static_cast<int32_t>(BitsPreviousSet(hits_, p, first))
                 : static_cast<int32_t>(BitsNextSet(hits_, p, last));
        if (p < 0 || p < first || p > last)
            return;
        ReadByOrder(table_, p, record);
        if (DbStatus != 0) {
            ReportNoData();
            return;
        }
        if (!OtherCountry(rec, record))
            break;
        p += back ? -1 : 1;
    }
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = static_cast<int32_t>(p > first ? BitsCount(hits_, first, p - 1) : 0);
    DeliverRow(rec, p, table_.recNo, record, row, text);
    FetchWorked();
}

// The EAN list's row of one "kle" record; false when the row is stepped
// over (a code of the "97" series, a drug the filter excludes).
bool EanList::EanRow(const VybRec& rec, const std::string& eanRecord, std::string& text, int32_t& drugRecNo)
{
    const std::string_view code = FieldBytes(eanRecord, kEanDrug);
    if (code.substr(0, 2) == "97")
        return false;
    drugRecNo = 0;
    std::string drug;
    const int32_t saved = DbStatus;
    if (OpenDrugByCode())
        FindRecord(drugByCode, code, drug);
    const bool found = DbStatus == 0;
    DbStatus = saved;
    const std::string_view ean = FieldBytes(eanRecord, kEanCode);
    if (!found) {
        text.assign(1, '\x18');
        text += ProgramText("VybLek", "LekKod");
        return true;
    }
    drugRecNo = drugByCode.recNo;
    if (RecordExcluded(drug, drugRecNo, rec.ButtonState))
        return false;
    FormatRecordLine(drug, drugRecNo, false, text, false, !ActiveDrugColumns().split);
    if (text.size() < kEanAt + 2)
        text.resize(kEanAt + 2, ' ');
    text.replace(kEanAt - 1, 3, ean);
    const std::string_view trimmed = TrimBlanks(ean);
    if (trimmed.size() == 12 || !EanValid(trimmed))
        text[kEanAt - 1] = static_cast<char>(text[kEanAt - 1] - 32);
    return true;
}

void EanList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    DbStatus = 0;
    OpenTable(table_, TFileId("kle"), TFileId("kleean"), kKleLayout.Length());
    if (DbStatus != 0 || !table_.sez.IsOpen()) {
        ReportNoData();
        return;
    }
    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        FindRecord(table_, rec.Prefix, record);
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange) {
            ReportNoData();
            return;
        }
        p = table_.Position();
        rec.FoundPos = rec.Strict() ? p : 0;
        rec.TopPos = rec.Strict() ? 0 : p;
        InitFetchRange(rec, table_);
        DbStatus = 0;
    }
    const bool bounded = PrefixBounded(rec);
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : table_.LeafCount() - 1;
    if (rec.FetchMode == FetchModeCode::AtTopPos)
        p = first + rec.TopPos;
    else if (rec.FetchMode != FetchModeCode::Seek)
        p = StartPosition(rec, first, last);
    const int step = Backwards(rec.FetchMode) ? -1 : 1;
    for (; p >= first && p <= last; p += step) {
        ReadByOrder(table_, p, record);
        if (DbStatus != 0) {
            ReportNoData();
            return;
        }
        int32_t drugRecNo = 0;
        if (!EanRow(rec, record, text, drugRecNo))
            continue;
        if (rec.FetchMode != FetchModeCode::After)
            rec.TopPos = p - first;
        row.Pos = p;
        row.Aux = table_.recNo;
        row.Offer1 = table_.recNo;
        row.Offer2 = drugRecNo;
        FetchWorked();
        return;
    }
}

void EuRegList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenIndex('U')) {
        ReportNoData();
        return;
    }
    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        const bool bounded = PrefixBounded(rec);
        // EU numbers are digits and sort below the national "=" and ">".
        FindRecord(table_, "1", record);
        const int32_t euFirst = DbStatus > 0 ? -1 : table_.Position();
        FindRecord(table_, rec.Prefix.empty() ? std::string("1") : rec.Prefix, record);
        const int32_t found = DbStatus > 0 ? -1 : table_.Position();
        std::string endKey = "=";
        if (bounded) {
            endKey = rec.Prefix;
            endKey.back() = static_cast<char>(endKey.back() + 1);
        }
        FindRecord(table_, endKey, record);
        if (euFirst < 0 || found < 0 || DbStatus > 0) {
            ReportNoData();
            return;
        }
        int32_t end = table_.Position();
        // The last key is below the end key: the range reaches the index's end.
        if (end == table_.LeafCount() - 1 && DbStatus == DbCode::NotExact &&
            FieldBytes(record, kDrugRegistrationNumber).substr(0, endKey.size()) < endKey)
            ++end;
        DbStatus = 0;
        rec.RangeFirst = bounded ? found : euFirst;
        rec.RangeLast = end - 1;
        rec.FoundPos = rec.Strict() ? found : 0;
        rec.TopPos = rec.Strict() ? 0 : found;
        rec.Count = std::max(0, rec.RangeLast - rec.RangeFirst + 1);
        p = found;
    } else if (rec.FetchMode == FetchModeCode::AtTopPos) {
        p = rec.RangeFirst + rec.TopPos;
    } else {
        p = StartPosition(rec, rec.RangeFirst, rec.RangeLast);
    }
    const int step = Backwards(rec.FetchMode) ? -1 : 1;
    const auto list = SignListSnapshot();
    for (; p >= rec.RangeFirst && p <= rec.RangeLast; p += step) {
        ReadByOrder(table_, p, record);
        if (DbStatus != 0) {
            ReportNoData();
            return;
        }
        const std::string_view rc = FieldBytes(record, kDrugRegistrationNumber);
        if (rc.empty() || rc[0] < '0' || rc[0] > '9')
            return;
        if (RecordExcluded(record, table_.recNo, rec.ButtonState, *list))
            continue;
        if (rec.FetchMode != FetchModeCode::After)
            rec.TopPos = p - rec.RangeFirst;
        FormatRecordLine(record, table_.recNo, true, text, true, !ActiveDrugColumns().split);
        row.Pos = p;
        row.Aux = table_.recNo;
        row.Offer1 = table_.recNo;
        FetchWorked();
        return;
    }
}

// --------------------------------------------------------------- commands

namespace {

void CountUse(const char* code)
{
    StatCount(StatCodeOfText(code));
}

constexpr std::array<uint16_t, 4> kDrugPopupBits{0x10, 0x40, 0x20, 0x80};
constexpr std::array<const char*, 4> kDrugPopupCounts{"oFA", "oFU", "oFO", "oFZ"};
constexpr std::array<uint16_t, 3> kSortStates{0, 8, 4};

// The S button's state by the filter's low nibble: 1 with sign 11, 2
// without it.
int SortState(uint16_t buttonState)
{
    if (buttonState & 0x08)
        return 1;
    if (buttonState & 0x04)
        return 2;
    return 0;
}

std::string PadField(std::string_view text, size_t width)
{
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}

void PrefixChanged(VybRec& rec)
{
    std::string& p = rec.Prefix;
    switch (rec.Letter) {
    case 'D':
    case 'K':
        if (!p.empty() && p.back() == ' ')
            p.back() = '0';
        break;
    case 'R': {
        const size_t n = p.size();
        if (n <= 1) {
            rec.StatusText = "  /    /";
            rec.IconCaption.clear();
            p = "=";
            break;
        }
        if (n <= 9) {
            const char last = p.back();
            if (last != ' ' && !IsAsciiDigit(last))
                p.pop_back();
            else if (last == ' ' && n != 4)
                p.back() = '0';
        } else if (p.back() != 'C' && p.back() != 'S') {
            p.pop_back();
        }
        rec.StatusText = FormatCodeField17(PadField(p, 11));
        const bool national = !p.empty() && (p[0] == '=' || p[0] == '>');
        rec.IconCaption = "../" + p.substr(national ? 1 : 0, 2) + "-..";
        break;
    }
    case 'U': {
        if (p.empty()) {
            rec.StatusText = "EU/ /  /    /";
            rec.IconCaption.clear();
            break;
        }
        if (p.size() == 4 && p[0] == '1' && p[3] != ' ' && IsAsciiDigit(p[1]) && IsAsciiDigit(p[2])) {
            const int year = (p[1] - '0') * 10 + (p[2] - '0');
            if ((year == 15 && p[3] != '1') || year < 16 || year > 90)
                p.insert(3, 1, ' ');
        }
        if (!p.empty() && p.back() != ' ' && !IsAsciiDigit(p.back()))
            p.pop_back();
        rec.StatusText = FormatCodeField17(PadField(p, 11));
        rec.IconCaption =
            "EU/" + p.substr(0, 1) + "/" + (p.size() > 1 ? p.substr(1, 3) : std::string()) + "..";
        break;
    }
    default: break;
    }
}

// Reads record `recNo` of a code table; false when it cannot.
bool ReadCodeRecord(const char* table, const char* index, uint16_t length, int32_t recNo, std::string& record)
{
    if (recNo <= 0)
        return false;
    DbStatus = 0;
    OpenTable(CodeTable, TFileId(table), TFileId(index), length);
    if (DbStatus != 0)
        return false;
    ReadRecord(CodeTable.dat, recNo, record);
    return DbStatus == 0;
}

// The ATC group's prefix and status text by its code.
void AtcStatus(VybRec& rec, std::string_view code)
{
    const bool en = EnglishTables();
    std::string record;
    DbStatus = 0;
    OpenTable(CodeTable, TFileId(en ? "atca" : "atc"), TFileId(en ? "atckoda" : "atckod"),
              kAtcLayout.Length());
    std::string name;
    if (DbStatus == 0) {
        FindRecord(CodeTable, code, record);
        if (DbStatus == 0)
            name = std::string(TrimRightBlanks(FieldBytes(record, kAtcName)));
    }
    DbStatus = 0;
    rec.Prefix = std::string(code);
    rec.StatusText = rec.Prefix + " " + name;
}

void Reposition(VybRec& rec)
{
    const bool en = EnglishTables();
    std::string record;
    bool set = true;
    switch (rec.Letter) {
    case 'A': {
        if (!ReadCodeRecord(en ? "atca" : "atc", en ? "atckoda" : "atckod", kAtcLayout.Length(),
                            rec.LinkValue, record))
            break;
        std::string code(FieldBytes(record, kAtcCode));
        code = code.substr(0, code.find(' '));
        AtcStatus(rec, code);
        break;
    }
    case 'B': {
        if (rec.LinkValue <= 0)
            break;
        if (!OpenDrugByCode())
            break;
        ReadRecord(drugByCode.dat, rec.LinkValue, record);
        if (DbStatus != 0)
            break;
        const std::string code(FieldBytes(record, kDrugAtc));
        if (static_cast<unsigned char>(code[0]) < 'A') {
            rec.Prefix = code;
            rec.StatusText = "No ATC";
            rec.IconCaption = "No ATC";
            set = false;
            break;
        }
        AtcStatus(rec, code);
        break;
    }
    case 'C': {
        if (!ReadCodeRecord(en ? "zemva" : "zemv", en ? "zemvkoda" : "zemvkod", kZemvLayout.Length(),
                            rec.LinkValue, record))
            break;
        rec.Prefix = std::string(FieldBytes(record, kCountryCode));
        rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(record, kCountryName));
        break;
    }
    case 'H': {
        if (!ReadCodeRecord("drzv", "drzvkod", kDrzvLayout.Length(), rec.LinkValue, record))
            break;
        const std::string_view country = FieldBytes(record, kRegHolderCountry);
        rec.Prefix = std::string(FieldBytes(record, kRegHolderCode));
        if (!country.empty() && country[0] != '*')
            rec.Prefix += country;
        rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(record, kRegHolderName).substr(0, 60));
        break;
    }
    case 'I': {
        if (!ReadCodeRecord(en ? "isva" : "isv", en ? "isvkoda" : "isvkod", kIsvLayout.Length(),
                            rec.LinkValue, record))
            break;
        rec.Prefix = std::string(FieldBytes(record, kIndicationGroupCode));
        rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(record, kIndicationGroupName));
        break;
    }
    case 'R':
        rec.StatusText = "  /    /  - / ";
        set = false;
        break;
    case 'U':
        rec.StatusText = "EU/ /  /    /";
        set = false;
        break;
    default: set = false; break;
    }
    DbStatus = 0;
    if (set)
        rec.IconCaption = rec.Prefix;
    rec.GridRows = 0;
}

// Enter on a row: a suggested word is typed, a hidden word clears the
// filter; on a record row the window chooses as usual.
ListAction Choose(VybRec& rec)
{
    if (rec.CurRow == 0 || rec.CurRow > rec.RowCount)
        return ListAction::Enter;
    const TVybRow& row = rec.Rows[rec.CurRow];
    const auto entry = static_cast<uint32_t>(row.Aux);
    if ((entry & kSimilarWordEntry) != 0 && (rec.Letter == 'N' || rec.Letter == 'n')) {
        const std::string_view text = row.Text.View();
        std::string word(text.substr(std::min(text.size(), kNameFrom - 1), kNameTo - kNameFrom + 1));
        while (!word.empty() && static_cast<unsigned char>(word.back()) < 33)
            word.pop_back();
        if (!word.empty() && word.back() == '?')
            word.pop_back();
        if (!word.empty() && word.back() == ' ')
            word.pop_back();
        rec.Prefix = word;
        return ListAction::PrefixChanged;
    }
    if ((entry & kHiddenWordEntry) != 0) {
        rec.ButtonState = 0;
        return ListAction::Refill;
    }
    return ListAction::Enter;
}

} // namespace

ListAction DrugList::React(VybRec& rec, ListAction action)
{
    if (const char item = PopupItemOf(action, 'D'); item >= '0' && item <= '3') {
        rec.ButtonState ^= kDrugPopupBits[static_cast<size_t>(item - '0')];
        for (size_t i = 0; i < kDrugPopupBits.size(); ++i)
            if (rec.ButtonState & kDrugPopupBits[i])
                CountUse(kDrugPopupCounts[i]);
        return ListAction::Refill;
    }
    if (const char item = PopupItemOf(action, 'S'); item >= '0' && item <= '2') {
        const uint16_t state = kSortStates[static_cast<size_t>(item - '0')];
        const uint16_t kept = rec.ButtonState & 0xFFF0;
        rec.ButtonState = (rec.ButtonState & 0x0F) == state ? kept : static_cast<uint16_t>(kept | state);
        CountUse("oFS");
        return ListAction::PrefixChanged;
    }
    switch (action) {
    case ListAction::ShiftF4: // button 1: one pack per drug
        rec.ButtonState ^= 0x100;
        if (rec.ButtonState & 0x100)
            CountUse("oFB");
        return ListAction::RefillInPlace;
    case ListAction::ShiftF5: { // button U: the user's sign list
        const auto list = SignListSnapshot();
        if (!list || !list->active)
            return ListAction::None;
        rec.ButtonState ^= 0x200;
        return ListAction::Refill;
    }
    case ListAction::Enter:
    case ListAction::RowClicked: return Choose(rec);
    case ListAction::PrefixChanged: PrefixChanged(rec); return action;
    case ListAction::Reposition: Reposition(rec); return ListAction::None;
    default: return action;
    }
}

// ------------------------------------------------------------------ info

namespace {

// The columns of the split set by number; the combined set's details
// column is Details (SplitColumn).
enum class DrugColumn : int {
    Code = 0,
    Name = 1,
    Strength = 2,
    Form = 3,
    Package = 4,
    PackageType = 5,
    Holder = 6,
    Country = 7,
    State = 8,
    Category = 9,
    IndicationGroup = 10,
    Atc = 11,
    Registration = 12,
    RegistrationType = 13,
    ShelfLife = 14,
    Dependence = 15,
    Doping = 16,
    Regulation = 17,
    Dispensing = 18,
    DailyDose = 19,
    SecondDailyDose = 20,
    EanCount = 21,
    Braille = 22,
    Restrictions = 23,
    RecordNumber = 24,
    Details = 30,
};

// The split numbering of a column: in the combined set `Dop` is 30 and the
// later columns follow two higher.
int SplitColumn(int column)
{
    if (ActiveDrugColumns().split)
        return column;
    if (column == static_cast<int>(DrugColumn::Strength))
        return static_cast<int>(DrugColumn::Details);
    return column > 2 ? column + 2 : column;
}

std::string Trimmed(std::string_view s)
{
    return std::string(TrimRightBlanks(s));
}

// A field of the drug row, as it stands.
std::string RowCell(const TVybRow& row, FieldPos f)
{
    return std::string(FieldBytes(row.Text.View(), f));
}

// A field of the drug row without its trailing blanks.
std::string RowField(const TVybRow& row, FieldPos f)
{
    return Trimmed(RowCell(row, f));
}

// The leading part of a form text split into its three-letter pieces.
std::string FormPieces(std::string_view form)
{
    std::string lead;
    for (char ch : form) {
        if (ch == '(' || IsAsciiDigit(ch))
            break;
        lead += ch;
    }
    std::string out;
    int run = 0;
    for (char ch : lead) {
        if (ch == ' ' || ch == '+' || ch == '/') {
            run = 0;
        } else if (++run == 4) {
            out += ' ';
            run = 1;
        }
        out += ch;
    }
    return out;
}

// The drug record of a row: the EAN list's rows carry it second.
bool RowDrugRecord(const TVybRow& row, std::string& record)
{
    const int32_t recNo = row.Offer2 > 0 ? row.Offer2 : row.Aux;
    if (recNo <= 0 || IsWordEntry(recNo) || !OpenDrugByCode())
        return false;
    ReadRecord(drugByCode.dat, recNo, record);
    const bool ok = DbStatus == 0;
    DbStatus = 0;
    return ok;
}

// A code as the data texts key it: blanks (and a short code) filled with "_".
std::string UnderscoredKey(std::string_view code, size_t width)
{
    std::string key(code.substr(0, width));
    key.resize(width, '_');
    std::replace(key.begin(), key.end(), ' ', '_');
    return key;
}

std::string CellHint(DrugColumn column, const TVybRow& row, std::string_view key)
{
    const std::string cell(TrimRightBlanks(key));
    // Codes of a blank cell name nothing, except the registration state.
    if (cell.empty() && column != DrugColumn::Code && column != DrugColumn::State &&
        column != DrugColumn::Restrictions && column != DrugColumn::RecordNumber &&
        column != DrugColumn::EanCount)
        return {};
    switch (column) {
    case DrugColumn::Code: {
        std::string hint = cell;
        const uint8_t status = row.Text.Status();
        if (status == 0x10)
            hint += "\r" + ProgramText("VybLek", "old");
        else if (status == '@')
            hint += "\r" + ProgramText("VybLek", "vypad");
        return hint + UserListHintLine(row.Offer2 > 0 ? row.Offer2 : row.Aux);
    }
    case DrugColumn::Name: return RowField(row, kDrugRowName);
    case DrugColumn::Strength: return RowField(row, kDrugRowStrength);
    case DrugColumn::Form: {
        const std::string form = RowField(row, kDrugRowForm);
        const std::string words = form.empty() ? std::string() : TranslateUnitText(FormPieces(form));
        return words.empty() ? form : form + "\r(" + words + ")";
    }
    case DrugColumn::Package: return RowField(row, kDrugRowPackage);
    case DrugColumn::Details: return RowField(row, kDrugRowDetails);
    case DrugColumn::PackageType: return DataSetText("Obal", cell);
    case DrugColumn::Holder: return LookupHolder(RowField(row, kDrugRowHolderKey));
    case DrugColumn::Country: return LookupCountry(RowCell(row, kDrugRowHolderCountry));
    case DrugColumn::State: {
        if (cell.empty())
            return DataSetText("Reg", "_");
        std::string c = cell.substr(0, 1);
        const bool raised = static_cast<unsigned char>(c[0]) < 32;
        if (raised)
            c[0] = static_cast<char>(c[0] + 64);
        const std::string hint = DataSetText("Reg", c);
        return raised ? hint + "\r" + ProgramText("VybLek", "ZP") : hint;
    }
    case DrugColumn::Category: return ProgramText("VybLek", "v9");
    case DrugColumn::IndicationGroup: return LookupIsv(cell);
    case DrugColumn::Atc: return LookupAtc(cell, RowField(row, kDrugRowCode).substr(0, 2));
    case DrugColumn::RegistrationType: return DataSetText("Ret", cell);
    case DrugColumn::ShelfLife:
        return cell + ": " + DataSetText("Jedn", UnderscoredKey(cell.substr(cell.size() - 1), 2));
    case DrugColumn::Dependence: return DataSetText("Zav", cell);
    case DrugColumn::Doping: return LookupCopText(cell);
    case DrugColumn::Regulation: return DataSetText("Dnv", cell);
    case DrugColumn::Dispensing: {
        // The cell shows the short form; the hint names the record's code.
        std::string record;
        if (!RowDrugRecord(row, record))
            return cell;
        return DataSetText("Vyd", UnderscoredKey(FieldBytes(record, kDrugDispensing), 2));
    }
    case DrugColumn::DailyDose: {
        const std::string dd = RowField(row, kDrugRowDailyDose);
        if (dd.size() < 6)
            return cell;
        return std::string(TrimBlanks(dd.substr(0, 4))) + " " +
               DataSetText("Jedn", UnderscoredKey(dd.substr(5, 2), 2));
    }
    case DrugColumn::EanCount:
        if (!cell.empty() && IsAsciiDigit(cell[0]))
            return cell;
        return LookupCodeTexts(RowField(row, kDrugRowCode));
    case DrugColumn::Braille: return DataSetText("Bra", cell);
    case DrugColumn::Restrictions: {
        // The limitation letters keep their places ("I V").
        const std::string unlimited = DataSetText("UhrL", "ok");
        return DataSetText("UhrL", cell.empty() || cell == unlimited ? std::string("uhr")
                                                                     : RowCell(row, kDrugRowRestrictions));
    }
    case DrugColumn::RecordNumber: return std::to_string(row.Offer2 > 0 ? row.Offer2 : row.Aux);
    default: return cell;
    }
}

std::string PopupItem(bool on, const std::string& text)
{
    return (on ? "^" : " ") + text + "|";
}

std::string ButtonText(uint8_t sub, const TVybRow& block, std::string_view key)
{
    const auto state = static_cast<uint16_t>(block.Pos);
    const char letter = key.empty() ? ' ' : key[0];
    switch (letter) {
    case '1': {
        const bool on = (state & 0x100) != 0;
        switch (sub) {
        case 0: return ProgramText("Cudl", "dr1b");
        case 1: return ProgramText("Cudl", on ? "dr1t" : "dr1f");
        case 2: return on ? "d" : "";
        default: return {};
        }
    }
    case 'D': {
        const std::string mark(1, static_cast<char>(64 + ((state >> 4) & 0x0F)));
        switch (sub) {
        case 0: return ProgramText("Cudl", "drgt" + mark);
        case 1: return ProgramText("Cudl", "drg" + mark);
        case 2: return (state & 0xF0) != 0 ? "D" : "";
        case 3:
            return PopupItem(state & 0x10, ProgramText("Cudl", "drgtA")) +
                   PopupItem(state & 0x40, ProgramText("Cudl", "drgtD")) +
                   PopupItem(state & 0x20, ProgramText("Cudl", "drgtB")) +
                   PopupItem(state & 0x80, ProgramText("Cudl", "drgtH"));
        default: return {};
        }
    }
    case 'S': {
        const int s = SortState(state);
        switch (sub) {
        case 0: return ProgramText("Cudl", "srtt" + std::to_string(s));
        case 1: return ProgramText("Cudl", "srt" + std::to_string(s));
        case 2: return s != 0 ? "D" : "";
        case 3: {
            std::string items;
            for (int i = 0; i < 3; ++i)
                items += PopupItem(s == i, ProgramText("Cudl", "srtt" + std::to_string(i)));
            return items;
        }
        default: return {};
        }
    }
    case 'M': {
        const std::string digit(1, static_cast<char>('0' + (state & 1)));
        switch (sub) {
        case 0: return ProgramText("Cudl", "mcot" + digit);
        case 1: return ProgramText("Cudl", "mco" + digit);
        case 2: return (state & 1) != 0 ? "d" : "";
        default: return {};
        }
    }
    case 'U': return UserListButtonText(sub, state);
    case 'X':
        if (sub == 0)
            return "Zobrazeni duplicit a Kontraindikovanych kombinaci";
        return sub == 1 ? "Vazby leciv" : "";
    case '&': return ButtonHintText('&', 0, false);
    default: return sub <= 1 ? ButtonHintText(letter, sub, block.Pos != 0) : std::string();
    }
}

} // namespace

std::string DrugList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: {
        const auto entry = static_cast<uint32_t>(row.Aux);
        if (entry & kSimilarWordEntry)
            return ProgramText("VybPom", "hMys") + WordAt(CachedWordFile("klnaz.slw"), row.Aux);
        if (entry & kHiddenWordEntry)
            return ProgramText("VybPom", "hFlt");
        return CellHint(static_cast<DrugColumn>(SplitColumn(sub)), row, key);
    }
    case InfoKind::HeadingHint: return ProgramText("VybLek", "v" + std::to_string(SplitColumn(sub)));
    case InfoKind::Control: return ButtonText(sub, row, key);
    default: return {};
    }
}

// ----------------------------------------------------------------- openers

namespace {

char ListLetterOf(uint16_t code)
{
    const std::string letters = KindLetters(code);
    switch (letters.size() >= 3 ? letters[1] - 64 : 0) {
    case 3: return 'K';
    case 5: return 'E';
    case 14: return 'N';
    case 18: return letters[2] - 64 == 5 ? 'U' : 'R';
    default: return 0;
    }
}

const char* IconOf(char letter)
{
    switch (letter) {
    case 'K': return "ILKod";
    case 'E': return "ILEAN";
    case 'N': return "ILNaz";
    case 'R':
    case 'U': return "ILRCZ";
    case 'A':
    case 'B': return "ILATC";
    case 'C': return "ILZem";
    case 'H': return "ILDrz";
    case 'I': return "ILInd";
    default: return "ILNaz";
    }
}

uint16_t DefaultFilterWord()
{
    return Config().Read([](const ConfigValues& v) { return v.FilterFlags; });
}

uint8_t DefaultOptionByte()
{
    return Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
}

} // namespace

namespace {

// What the drug lists share: caption, columns, header, icon, the drug
// record offered and the filter word of the configuration.
ListWindowSpec DrugListSpec(uint16_t code, char letter)
{
    const DrugColumnSet& set = ActiveDrugColumns();
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybLek", std::string("n") + letter);
    w.geometry = DrugListGeometry(set, letter);
    w.order = DrugListOrder(set, letter);
    w.header = DrugListHeader(set, letter);
    w.icon = IconOf(letter);
    w.helpKeyword = letter == 'N' ? "VyLeNa" : "VybLek";
    w.links = {LinkKind::None, kDrugRecordLink, LinkKind::None};
    w.letter = letter;
    w.count = 40000;
    w.buttonState = DefaultFilterWord();
    return w;
}

// The typing of a full list: longest prefix, edit kind and buttons.
struct FullListTyping {
    char letter;
    uint8_t maxTyped;
    char editKind;
    const char* buttons;
};
constexpr FullListTyping kFullListTyping[] = {
    {'K', 7, '9', "?SDU=/"},   {'E', 13, '9', "?SD1U=/"}, {'N', 32, 'A', "?SD1U=)"},
    {'R', 11, '6', "?SD1U=/"}, {'U', 11, '5', "?SD1U=/"},
};

std::shared_ptr<ListSource> DrugListOf(char letter)
{
    switch (letter) {
    case 'E': return std::make_shared<EanList>();
    case 'U': return std::make_shared<EuRegList>();
    default: return std::make_shared<DrugList>(letter);
    }
}

} // namespace

void OpenDrugList(uint16_t code, std::string_view prefix)
{
    const char letter = ListLetterOf(code);
    const auto typing = std::find_if(std::begin(kFullListTyping), std::end(kFullListTyping),
                                     [letter](const FullListTyping& t) { return t.letter == letter; });
    if (typing == std::end(kFullListTyping))
        return;
    ListWindowSpec w = DrugListSpec(code, letter);
    if (letter == 'E')
        w.links = {LinkKind::None, LinkKind::None, kDrugRecordLink};
    w.maxTyped = typing->maxTyped;
    w.editKind = typing->editKind;
    w.buttons = typing->buttons;
    w.placement = ListPlacement::Maximised;
    if (letter == 'E' || letter == 'K' || letter == 'U')
        w.buttonState &= static_cast<uint16_t>(~0xF100);
    w.options = DefaultOptionByte();
    if (!prefix.empty()) {
        w.options = 0;
        w.prefix = std::string(prefix);
    }
    if (letter == 'R') {
        w.reposition = true;
        w.prefix = "=";
    } else if (letter == 'U') {
        w.reposition = true;
    }
    OpenListWindow(w, DrugListOf(letter));
}

void OpenDrugSubList(uint16_t code, LinkKind linkKind)
{
    const std::string letters = KindLetters(code);
    const char letter = letters.size() >= 3 ? letters[1] : 0;
    // A maker or a name restriction has neither an index nor a caller.
    if (!Restricted(letter))
        return;
    ListWindowSpec w = DrugListSpec(code, letter);
    w.helpKeyword = "VybLek";
    w.links[0] = linkKind;
    w.alwaysFollows = true;
    w.editKind = 'A';
    w.buttons = (letter == 'C' || letter == 'H') ? "?SD1U=*" : "?D1U=*";
    w.placement = ListPlacement::MaximisedUnderMain;
    w.reposition = true;
    w.options = 0x80;
    if (letter == 'H')
        w.buttonState &= static_cast<uint16_t>(~0xF100);
    if (letter == 'B')
        w.buttonState |= 0x80;
    OpenListWindow(w, std::make_shared<DrugList>(letter));
}
