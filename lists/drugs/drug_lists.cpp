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

constexpr uint16_t kDrugRecordLength = kKlLayout.Length();
constexpr LinkKind kDrugRecordLink = LinkKind::Drug;
// WorkFlag bits: RecArr mode, and "Chyby.NoData" shown since the last
// fetch that worked (one box per window, not one per row).
constexpr uint8_t kRecArrMode = 0x01;
constexpr uint8_t kNoDataShown = 0x02;

// The row-text places the callbacks read (1-based, as the layout writes them).
constexpr size_t kNameFrom = 9, kNameTo = 78;
constexpr size_t kEanAt = 233;

constexpr FieldPos kKlKod = kKlLayout.Field("KOD");
constexpr FieldPos kKlAtc = kKlLayout.Field("ATC");
constexpr FieldPos kKlDrz = kKlLayout.Field("DRZ");
constexpr FieldPos kKlZed = kKlLayout.Field("ZED");
constexpr FieldPos kKleKod = kKleLayout.Field("KOD");
constexpr FieldPos kKleEan = kKleLayout.Field("EAN");

std::string UiText(std::string_view section, std::string_view key)
{
    return LookupText(UiTexts, section, key);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string DataText(std::string_view section, std::string_view key)
{
    return LookupText(DataTexts, section, key);
}

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

bool OpenDrugIndex(char letter)
{
    DbStatus = 0;
    OpenTable(MainTable, TFileId("kl"), TFileId(IndexOfLetter(letter)), kDrugRecordLength);
    return DbStatus == 0 && MainTable.sez.IsOpen();
}

// The drug table by code, beside the list's own handle: the EAN list finds
// the drug of a code in it, the B list its master's drug.
thread_local TDbTable drugByCode;

bool OpenDrugByCode()
{
    DbStatus = 0;
    OpenTable(drugByCode, TFileId("kl"), TFileId("klkod"), kDrugRecordLength);
    return DbStatus == 0;
}

// The drug signs, loaded once for the drug record count.
bool LoadDrugSigns()
{
    if (!OpenDrugByCode())
        return false;
    return LoadSignSets(SignSets(), DataDir(), "kl", drugByCode.dat.count - 1) == 0;
}

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

// The drug sign numbers of the filter word.
namespace Sign {
constexpr int Actual = 8, Listed = 9, NotVeterinary = 10, NotHomeopathic = 11, Registered = 12,
              Reimbursed = 13, Stocked = 14, OnePack = 15;
}

void ReportNoData(VybRec& rec)
{
    if ((rec.WorkFlag & kNoDataShown) != 0)
        return;
    rec.WorkFlag |= kNoDataShown;
    ShowError(UiText("Chyby", "NoData"));
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
    std::string mark = UiText("VybPom", similar ? "sMys" : "sFlt");
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
    const std::string tail = UiText("VybPom", similar ? "tMys" : "tFlt");
    const size_t at = std::max(end + 1, kNameTo + 1) - 1;
    for (size_t i = 0; i < tail.size() && at + i < text.size(); ++i)
        text[at + i] = tail[i];
    return text;
}

void DeliverDrugRow(VybRec& rec, int32_t pos, int32_t recNo, std::string& record, TVybRow& row,
                    std::string& text)
{
    const bool keep = (rec.ButtonState & 0x100) != 0;
    const bool replace = rec.Letter != 'K';
    FormatRecordLine(record, recNo, keep, text, replace, !ActiveDrugColumns().split);
    row.Pos = pos;
    row.Aux = recNo;
    row.Offer1 = recNo;
}

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

void FetchFromRecArr(VybRec& rec, TVybRow& row, std::string& text, int32_t p)
{
    if (p < 0 || static_cast<size_t>(p) >= rec.RecArr.size())
        return;
    const int32_t entry = rec.RecArr[static_cast<size_t>(p)];
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
    ReadRecord(MainTable.dat, entry, record);
    if (DbStatus != 0)
        return;
    DeliverDrugRow(rec, p, entry, record, row, text);
}

// Rebuilds Hits when the filter words changed since the last build; true
// when they had changed.
bool RefreshHits(VybRec& rec)
{
    std::shared_ptr<const void> userList;
    if (rec.ButtonState & 0x200)
        userList = SignListSnapshot();
    const bool changed = rec.Hits.empty() || static_cast<uint16_t>(rec.Work1) != rec.ButtonState ||
                         static_cast<uint16_t>(rec.Work2) != rec.ButtonStateM || userList != rec.HitsSignList;
    if (!changed)
        return false;
    rec.HitsSignList = std::move(userList);
    BuildDrugFilter(rec.Hits, rec.ButtonState, rec.ButtonStateM);
    rec.Work1 = static_cast<int16_t>(rec.ButtonState);
    rec.Work2 = static_cast<int16_t>(rec.ButtonStateM);
    return true;
}

// The H list typed with a country: holders of that code in other countries
// share the index range and are stepped over.
bool OtherCountry(const VybRec& rec, std::string_view record)
{
    if (rec.Letter != 'H' || rec.Prefix.size() <= 3)
        return false;
    const std::string_view typed = rec.Prefix;
    return FieldBytes(record, kKlDrz) == typed.substr(0, 3) &&
           FieldBytes(record, kKlZed).substr(0, std::min<size_t>(3, typed.size() - 3)) != typed.substr(3, 3);
}

// Seeks the typed prefix and sets the range; the found position.
int32_t SeekPrefix(VybRec& rec, std::string& record)
{
    rec.WorkFlag &= static_cast<uint8_t>(~kRecArrMode);
    rec.RecArr.clear();
    FindRecord(MainTable, rec.Prefix, record);
    if (DbStatus > 0 || DbStatus == DbCode::OutOfRange)
        return -1;
    const int32_t found = MainTable.Position();
    rec.FoundPos = rec.Strict() ? found : 0;
    rec.TopPos = rec.Strict() ? 0 : found;
    InitFetchRange(rec, MainTable);
    if (DbStatus > 0)
        return -1;
    DbStatus = 0;
    // "=" and "_" stand for the rest of the index from the found key on.
    if (rec.Strict() && rec.Prefix.size() == 1 && (rec.Prefix == "=" || rec.Prefix == "_"))
        rec.RangeFirst = found;
    rec.Count = rec.RangeLast >= rec.RangeFirst
                    ? static_cast<int32_t>(BitsCount(rec.Hits, rec.RangeFirst, rec.RangeLast))
                    : 0;
    return rec.Strict() ? std::max(found, rec.RangeFirst) : found;
}

} // namespace

// ------------------------------------------------------------------ filter

void BuildDrugFilter(TBits& hits, uint16_t buttonState, uint16_t /*buttonStateM*/)
{
    const int32_t records = MainTable.dat.count - 1;
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
    BitsRestrictToTable(hits, byRecord, MainTable);
}

// ------------------------------------------------------------------ fetch

void DrugListFetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDrugIndex(rec.Letter)) {
        ReportNoData(rec);
        return;
    }
    const bool filterChanged = RefreshHits(rec);
    if (DbStatus > 0) {
        ReportNoData(rec);
        return;
    }
    const int32_t leaves = MainTable.LeafCount();
    // Shown rows of the suggestions stand for no index position: after
    // them the walk starts at the range.
    bool fromRangeStart = false;
    if (filterChanged && rec.FetchMode != FetchModeCode::Seek) {
        // Another filter makes other rows: the range counts again.
        if (rec.WorkFlag & kRecArrMode) {
            rec.WorkFlag &= static_cast<uint8_t>(~kRecArrMode);
            rec.RecArr.clear();
            fromRangeStart = true;
        }
        rec.Count = rec.RangeLast >= rec.RangeFirst
                        ? static_cast<int32_t>(BitsCount(rec.Hits, rec.RangeFirst, rec.RangeLast))
                        : 0;
    }

    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        p = SeekPrefix(rec, record);
        if (p < 0) {
            ReportNoData(rec);
            return;
        }
        if (rec.Letter == 'N' && WordPrefixIsRare(CachedWordFile("klnaz.slw"), rec.Prefix, 3)) {
            const TypedRange range{rec.Prefix,     rec.Whisper,   rec.ButtonState, rec.Count, rec.Strict(),
                                   rec.RangeFirst, rec.RangeLast, rec.TopPos,      &rec.Hits};
            std::vector<int32_t> found = SimilarNameSearch(CachedWordFile("klnaz.slw"), range, MainTable);
            if (!found.empty()) {
                rec.RecArr = std::move(found);
                rec.Count = static_cast<int32_t>(rec.RecArr.size());
                rec.WorkFlag = kRecArrMode;
                p = 0;
                rec.FoundPos = 0; // scroll positions now count RecArr entries
            }
        }
    }

    if (rec.WorkFlag & kRecArrMode) {
        const auto size = static_cast<int32_t>(rec.RecArr.size());
        if (rec.FetchMode == FetchModeCode::AtTopPos)
            p = rec.FoundPos + rec.TopPos;
        else if (rec.FetchMode != FetchModeCode::Seek)
            p = StartPosition(rec, 0, size - 1);
        FetchFromRecArr(rec, row, text, p);
        if (row.Pos != -1)
            rec.WorkFlag &= static_cast<uint8_t>(~kNoDataShown);
        return;
    }

    const bool bounded = PrefixBounded(rec);
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : leaves - 1;
    if (fromRangeStart)
        p = first;
    else if (rec.FetchMode == FetchModeCode::AtTopPos)
        p = static_cast<int32_t>(BitsNth(rec.Hits, first, rec.TopPos));
    else if (rec.FetchMode != FetchModeCode::Seek)
        p = StartPosition(rec, first, last);

    const bool back = !fromRangeStart && Backwards(rec.FetchMode);
    for (;;) {
        p = back ? static_cast<int32_t>(BitsPreviousSet(rec.Hits, p, first))
                 : static_cast<int32_t>(BitsNextSet(rec.Hits, p, last));
        if (p < 0 || p < first || p > last)
            return;
        ReadByOrder(MainTable, p, record);
        if (DbStatus != 0) {
            ReportNoData(rec);
            return;
        }
        if (!OtherCountry(rec, record))
            break;
        p += back ? -1 : 1;
    }
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = static_cast<int32_t>(p > first ? BitsCount(rec.Hits, first, p - 1) : 0);
    DeliverDrugRow(rec, p, MainTable.recNo, record, row, text);
    rec.WorkFlag &= static_cast<uint8_t>(~kNoDataShown);
}

namespace {

// The EAN list's row of one "kle" record; false when the row is stepped
// over (a code of the "97" series, a drug the filter excludes).
bool EanRow(VybRec& rec, const std::string& eanRecord, std::string& text, int32_t& drugRecNo)
{
    const std::string_view code = FieldBytes(eanRecord, kKleKod);
    if (code.substr(0, 2) == "97")
        return false;
    drugRecNo = 0;
    std::string drug;
    const int32_t saved = DbStatus;
    if (OpenDrugByCode())
        FindRecord(drugByCode, code, drug);
    const bool found = DbStatus == 0;
    DbStatus = saved;
    const std::string_view ean = FieldBytes(eanRecord, kKleEan);
    if (!found) {
        text.assign(1, '\x18');
        text += UiText("VybLek", "LekKod");
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

} // namespace

void EanListFetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    DbStatus = 0;
    OpenTable(MainTable, TFileId("kle"), TFileId("kleean"), kKleLayout.Length());
    if (DbStatus != 0 || !MainTable.sez.IsOpen()) {
        ReportNoData(rec);
        return;
    }
    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        FindRecord(MainTable, rec.Prefix, record);
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange) {
            ReportNoData(rec);
            return;
        }
        p = MainTable.Position();
        rec.FoundPos = rec.Strict() ? p : 0;
        rec.TopPos = rec.Strict() ? 0 : p;
        InitFetchRange(rec, MainTable);
        DbStatus = 0;
    }
    const bool bounded = PrefixBounded(rec);
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : MainTable.LeafCount() - 1;
    if (rec.FetchMode == FetchModeCode::AtTopPos)
        p = first + rec.TopPos;
    else if (rec.FetchMode != FetchModeCode::Seek)
        p = StartPosition(rec, first, last);
    const int step = Backwards(rec.FetchMode) ? -1 : 1;
    for (; p >= first && p <= last; p += step) {
        ReadByOrder(MainTable, p, record);
        if (DbStatus != 0) {
            ReportNoData(rec);
            return;
        }
        int32_t drugRecNo = 0;
        if (!EanRow(rec, record, text, drugRecNo))
            continue;
        if (rec.FetchMode != FetchModeCode::After)
            rec.TopPos = p - first;
        row.Pos = p;
        row.Aux = MainTable.recNo;
        row.Offer1 = MainTable.recNo;
        row.Offer2 = drugRecNo;
        rec.WorkFlag &= static_cast<uint8_t>(~kNoDataShown);
        return;
    }
}

void EuRegListFetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDrugIndex('U')) {
        ReportNoData(rec);
        return;
    }
    constexpr FieldPos kRc = kKlLayout.Field("RC");
    std::string record;
    int32_t p = -1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        const bool bounded = PrefixBounded(rec);
        // EU numbers are digits and sort below the national "=" and ">".
        FindRecord(MainTable, "1", record);
        const int32_t euFirst = DbStatus > 0 ? -1 : MainTable.Position();
        FindRecord(MainTable, rec.Prefix.empty() ? std::string("1") : rec.Prefix, record);
        const int32_t found = DbStatus > 0 ? -1 : MainTable.Position();
        std::string endKey = "=";
        if (bounded) {
            endKey = rec.Prefix;
            endKey.back() = static_cast<char>(endKey.back() + 1);
        }
        FindRecord(MainTable, endKey, record);
        if (euFirst < 0 || found < 0 || DbStatus > 0) {
            ReportNoData(rec);
            return;
        }
        int32_t end = MainTable.Position();
        // The last key is below the end key: the range reaches the index's end.
        if (end == MainTable.LeafCount() - 1 && DbStatus == DbCode::NotExact &&
            FieldBytes(record, kRc).substr(0, endKey.size()) < endKey)
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
        ReadByOrder(MainTable, p, record);
        if (DbStatus != 0) {
            ReportNoData(rec);
            return;
        }
        const std::string_view rc = FieldBytes(record, kRc);
        if (rc.empty() || rc[0] < '0' || rc[0] > '9')
            return;
        if (RecordExcluded(record, MainTable.recNo, rec.ButtonState, *list))
            continue;
        if (rec.FetchMode != FetchModeCode::After)
            rec.TopPos = p - rec.RangeFirst;
        FormatRecordLine(record, MainTable.recNo, true, text, true, !ActiveDrugColumns().split);
        row.Pos = p;
        row.Aux = MainTable.recNo;
        row.Offer1 = MainTable.recNo;
        rec.WorkFlag &= static_cast<uint8_t>(~kNoDataShown);
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
            if (last != ' ' && !IsDigit(last))
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
        if (p.size() == 4 && p[0] == '1' && p[3] != ' ' && IsDigit(p[1]) && IsDigit(p[2])) {
            const int year = (p[1] - '0') * 10 + (p[2] - '0');
            if ((year == 15 && p[3] != '1') || year < 16 || year > 90)
                p.insert(3, 1, ' ');
        }
        if (!p.empty() && p.back() != ' ' && !IsDigit(p.back()))
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
            name = std::string(TrimRightBlanks(FieldBytes(record, kAtcLayout.Field("NAZ"))));
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
        std::string code(FieldBytes(record, kAtcLayout.Field("ATC")));
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
        const std::string code(FieldBytes(record, kKlAtc));
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
        rec.Prefix = std::string(FieldBytes(record, kZemvLayout.Field("ZEM")));
        rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(record, kZemvLayout.Field("NAZ")));
        break;
    }
    case 'H': {
        if (!ReadCodeRecord("drzv", "drzvkod", kDrzvLayout.Length(), rec.LinkValue, record))
            break;
        const std::string_view country = FieldBytes(record, kDrzvLayout.Field("ZEM"));
        rec.Prefix = std::string(FieldBytes(record, kDrzvLayout.Field("DRZ")));
        if (!country.empty() && country[0] != '*')
            rec.Prefix += country;
        rec.StatusText =
            rec.Prefix + " " + std::string(FieldBytes(record, kDrzvLayout.Field("NAZ")).substr(0, 60));
        break;
    }
    case 'I': {
        if (!ReadCodeRecord(en ? "isva" : "isv", en ? "isvkoda" : "isvkod", kIsvLayout.Length(),
                            rec.LinkValue, record))
            break;
        rec.Prefix = std::string(FieldBytes(record, kIsvLayout.Field("INS")));
        rec.StatusText = rec.Prefix + " " + std::string(FieldBytes(record, kIsvLayout.Field("NAZ")));
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
    rec.Command = 0;
    rec.GridRows = 0;
}

void Choose(VybRec& rec)
{
    if ((rec.WorkFlag & kRecArrMode) == 0 || rec.CurRow == 0 || rec.CurRow > rec.RowCount)
        return;
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
        rec.Command = ActionCode::PrefixChanged;
    } else if ((entry & kHiddenWordEntry) != 0) {
        rec.ButtonState = 0;
        rec.Command = ActionCode::Refill;
    }
}

} // namespace

void DrugListCommand(VybRec& rec)
{
    uint16_t& c = rec.Command;
    if (c == ActionCode::RowClicked)
        c = ActionCode::Enter;
    const uint8_t high = static_cast<uint8_t>(c >> 8);
    const char item = static_cast<char>(c & 0xFF);
    if (high == 'D' && item >= '0' && item <= '3') {
        rec.ButtonState ^= kDrugPopupBits[static_cast<size_t>(item - '0')];
        for (size_t i = 0; i < kDrugPopupBits.size(); ++i)
            if (rec.ButtonState & kDrugPopupBits[i])
                CountUse(kDrugPopupCounts[i]);
        c = ActionCode::Refill;
        return;
    }
    if (high == 'S' && item >= '0' && item <= '2') {
        const uint16_t state = kSortStates[static_cast<size_t>(item - '0')];
        const uint16_t kept = rec.ButtonState & 0xFFF0;
        rec.ButtonState = (rec.ButtonState & 0x0F) == state ? kept : static_cast<uint16_t>(kept | state);
        CountUse("oFS");
        c = ActionCode::PrefixChanged;
        return;
    }
    switch (c) {
    case 387:
        rec.ButtonState ^= 0x100;
        if (rec.ButtonState & 0x100)
            CountUse("oFB");
        c = ActionCode::RefillInPlace;
        break;
    case 388: {
        const auto list = SignListSnapshot();
        if (list && list->active) {
            rec.ButtonState ^= 0x200;
            c = ActionCode::Refill;
        } else {
            c = 0;
        }
        break;
    }
    case ActionCode::Enter: Choose(rec); break;
    case ActionCode::PrefixChanged: PrefixChanged(rec); break;
    case ActionCode::Reposition: Reposition(rec); break;
    default: break;
    }
}

// ------------------------------------------------------------------ info

namespace {

// The split numbering of a column: in the combined set `Dop` is 30 and the
// later columns follow two higher.
int SplitColumn(int column)
{
    if (ActiveDrugColumns().split)
        return column;
    if (column == 2)
        return 30;
    return column > 2 ? column + 2 : column;
}

std::string Trimmed(std::string_view s)
{
    return std::string(TrimRightBlanks(s));
}

// Characters from..from+length-1 of the row text (1-based), as they stand.
std::string RowCell(const TVybRow& row, size_t from, size_t length)
{
    const std::string_view t = row.Text.View();
    if (from - 1 >= t.size())
        return {};
    return std::string(t.substr(from - 1, length));
}

std::string RowField(const TVybRow& row, size_t from, size_t length)
{
    return Trimmed(RowCell(row, from, length));
}

// The leading part of a form text split into its three-letter pieces.
std::string FormPieces(std::string_view form)
{
    std::string lead;
    for (char ch : form) {
        if (ch == '(' || IsDigit(ch))
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

std::string CellHint(int column, const TVybRow& row, std::string_view key)
{
    const std::string cell(TrimRightBlanks(key));
    // Codes of a blank cell name nothing, except the registration state.
    if (cell.empty() && column != 0 && column != 8 && column != 23 && column != 24 && column != 21)
        return {};
    switch (column) {
    case 0: {
        std::string hint = cell;
        const uint8_t status = row.Text.Status();
        if (status == 0x10)
            hint += "\r" + UiText("VybLek", "old");
        else if (status == '@')
            hint += "\r" + UiText("VybLek", "vypad");
        return hint + UserListHintLine(row.Offer2 > 0 ? row.Offer2 : row.Aux);
    }
    case 1: return RowField(row, 9, 70);
    case 2: return RowField(row, 79, 24);
    case 3: {
        const std::string form = RowField(row, 103, 27);
        const std::string words = form.empty() ? std::string() : TranslateUnitText(FormPieces(form));
        return words.empty() ? form : form + "\r(" + words + ")";
    }
    case 4: return RowField(row, 130, 22);
    case 30: return RowField(row, 79, 73);
    case 5: return DataText("Obal", cell);
    case 6: return LookupHolder(RowField(row, 158, 6));
    case 7: return LookupCountry(RowCell(row, 161, 3));
    case 8: {
        if (cell.empty())
            return DataText("Reg", "_");
        std::string c = cell.substr(0, 1);
        const bool raised = static_cast<unsigned char>(c[0]) < 32;
        if (raised)
            c[0] = static_cast<char>(c[0] + 64);
        const std::string hint = DataText("Reg", c);
        return raised ? hint + "\r" + UiText("VybLek", "ZP") : hint;
    }
    case 9: return UiText("VybLek", "v9");
    case 10: return LookupIsv(cell);
    case 11: return LookupAtc(cell, RowField(row, 2, 2));
    case 13: return DataText("Ret", cell);
    case 14: return cell + ": " + DataText("Jedn", UnderscoredKey(cell.substr(cell.size() - 1), 2));
    case 15: return DataText("Zav", cell);
    case 16: return LookupCopText(cell);
    case 17: return DataText("Dnv", cell);
    case 18: {
        // The cell shows the short form; the hint names the record's code.
        std::string record;
        if (!RowDrugRecord(row, record))
            return cell;
        return DataText("Vyd", UnderscoredKey(FieldBytes(record, kKlLayout.Field("VP")), 2));
    }
    case 19: {
        const std::string dd = RowField(row, 217, 7);
        if (dd.size() < 6)
            return cell;
        return std::string(TrimBlanks(dd.substr(0, 4))) + " " +
               DataText("Jedn", UnderscoredKey(dd.substr(5, 2), 2));
    }
    case 21:
        if (!cell.empty() && IsDigit(cell[0]))
            return cell;
        return LookupCodeTexts(RowField(row, 2, 7));
    case 22: return DataText("Bra", cell);
    case 23: {
        // The limitation letters keep their places ("I V").
        const std::string unlimited = DataText("UhrL", "ok");
        return DataText("UhrL",
                        cell.empty() || cell == unlimited ? std::string("uhr") : RowCell(row, 237, 3));
    }
    case 24: return std::to_string(row.Offer2 > 0 ? row.Offer2 : row.Aux);
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
        case 0: return UiText("Cudl", "dr1b");
        case 1: return UiText("Cudl", on ? "dr1t" : "dr1f");
        case 2: return on ? "d" : "";
        default: return {};
        }
    }
    case 'D': {
        const std::string mark(1, static_cast<char>(64 + ((state >> 4) & 0x0F)));
        switch (sub) {
        case 0: return UiText("Cudl", "drgt" + mark);
        case 1: return UiText("Cudl", "drg" + mark);
        case 2: return (state & 0xF0) != 0 ? "D" : "";
        case 3:
            return PopupItem(state & 0x10, UiText("Cudl", "drgtA")) +
                   PopupItem(state & 0x40, UiText("Cudl", "drgtD")) +
                   PopupItem(state & 0x20, UiText("Cudl", "drgtB")) +
                   PopupItem(state & 0x80, UiText("Cudl", "drgtH"));
        default: return {};
        }
    }
    case 'S': {
        const int s = SortState(state);
        switch (sub) {
        case 0: return UiText("Cudl", "srtt" + std::to_string(s));
        case 1: return UiText("Cudl", "srt" + std::to_string(s));
        case 2: return s != 0 ? "D" : "";
        case 3: {
            std::string items;
            for (int i = 0; i < 3; ++i)
                items += PopupItem(s == i, UiText("Cudl", "srtt" + std::to_string(i)));
            return items;
        }
        default: return {};
        }
    }
    case 'M': {
        const std::string digit(1, static_cast<char>('0' + (state & 1)));
        switch (sub) {
        case 0: return UiText("Cudl", "mcot" + digit);
        case 1: return UiText("Cudl", "mco" + digit);
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

void DrugListInfo(uint8_t kind, uint8_t sub, const TVybRow& row, std::string& out, std::string_view key)
{
    out.clear();
    switch (kind) {
    case InfoKind::CellHint: {
        const auto entry = static_cast<uint32_t>(row.Aux);
        if (entry & kSimilarWordEntry) {
            out = UiText("VybPom", "hMys") + WordAt(CachedWordFile("klnaz.slw"), row.Aux);
            return;
        }
        if (entry & kHiddenWordEntry) {
            out = UiText("VybPom", "hFlt");
            return;
        }
        out = CellHint(SplitColumn(sub), row, key);
        return;
    }
    case InfoKind::HeadingHint: out = UiText("VybLek", "v" + std::to_string(SplitColumn(sub))); return;
    case InfoKind::Control: out = ButtonText(sub, row, key); return;
    default: return;
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

std::string ListOptions(int maxLength, char editKind, std::string_view buttons)
{
    std::string o(1, static_cast<char>(maxLength));
    o += editKind;
    o += buttons;
    return o;
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

void OpenDrugList(uint16_t code, std::string_view prefix)
{
    const char letter = ListLetterOf(code);
    if (letter == 0)
        return;
    DbStatus = 0;
    if (letter == 'E')
        OpenTable(MainTable, TFileId("kle"), TFileId("kleean"), kKleLayout.Length());
    else
        OpenTable(MainTable, TFileId("kl"), TFileId(IndexOfLetter(letter)), kDrugRecordLength);
    if (DbStatus != 0 || !MainTable.sez.IsOpen()) {
        ShowError(UiText("Chyby", "NoData"));
        return;
    }
    if (letter == 'N')
        (void)CachedWordFile("klnaz.slw");
    if (!LoadDrugSigns()) {
        ShowError(UiText("Chyby", "ErrSgn"));
        return;
    }
    TDataForm* found = nullptr;
    int32_t value = 0;
    if (FindDataWindow(code, LinkKind::None, value, found) == 0) {
        if (found != nullptr && found->Widget() != nullptr)
            found->Widget()->raise();
        return;
    }

    auto* w = new TVyb;
    w->Kind = code;
    w->setProperty("helpKeyword", QString::fromLatin1(letter == 'N' ? "VyLeNa" : "VybLek"));
    w->setWindowIcon(QIcon(IkonaImage(IconOf(letter))));
    w->LinkKinds = letter == 'E' ? std::array<LinkKind, 3>{LinkKind::None, LinkKind::None, kDrugRecordLink}
                                 : std::array<LinkKind, 3>{LinkKind::None, kDrugRecordLink, LinkKind::None};
    w->Master = nullptr;
    w->Dependent = false;
    VybRec& r = w->Rec;
    r.Letter = letter;
    r.Count = 40000;
    r.ButtonState = DefaultFilterWord();
    if (letter == 'E' || letter == 'K' || letter == 'U')
        r.ButtonState &= static_cast<uint16_t>(~0xF100);
    r.ButtonStateM = 0;
    r.Options = DefaultOptionByte();
    if (!prefix.empty()) {
        r.Options = 0;
        r.Prefix = std::string(prefix);
    }
    if (letter == 'R') {
        r.Command = ActionCode::Reposition;
        r.Prefix = "=";
    } else if (letter == 'U') {
        r.Command = ActionCode::Reposition;
    }

    std::string options;
    switch (letter) {
    case 'K': options = ListOptions(7, '9', "?SDU=/"); break;
    case 'E': options = ListOptions(13, '9', "?SD1U=/"); break;
    case 'N': options = ListOptions(32, 'A', "?SD1U=)"); break;
    case 'R': options = ListOptions(11, '6', "?SD1U=/"); break;
    default: options = ListOptions(11, '5', "?SD1U=/"); break;
    }
    const DrugColumnSet& set = ActiveDrugColumns();
    TVybFetchProc fetch = letter == 'E'   ? TVybFetchProc(EanListFetch)
                          : letter == 'U' ? TVybFetchProc(EuRegListFetch)
                                          : TVybFetchProc(DrugListFetch);
    w->OpenList(UiText("VybLek", std::string("n") + letter), DrugListGeometry(set, letter),
                DrugListOrder(set, letter), options, DrugListHeader(set, letter), DrugListCommand,
                std::move(fetch), DrugListInfo);
    w->PlaceAndShow(true);
}

void OpenDrugSubList(uint16_t code, LinkKind linkKind)
{
    const std::string letters = KindLetters(code);
    const char letter = letters.size() >= 3 ? letters[1] : 0;
    // A maker or a name restriction has neither an index nor a caller.
    if (letter != 'A' && letter != 'B' && letter != 'C' && letter != 'H' && letter != 'I')
        return;
    TDataForm* master = nullptr;
    int32_t value = 0;
    const int32_t result = FindDataWindow(code, linkKind, value, master);
    if (result == 0) {
        if (master != nullptr && master->Widget() != nullptr)
            master->Widget()->raise();
        return;
    }
    if (result < 0)
        return;
    if (!LoadDrugSigns()) {
        ShowError(UiText("Chyby", "ErrSgn"));
        return;
    }

    auto* w = new TVyb;
    w->Kind = code;
    w->setProperty("helpKeyword", QStringLiteral("VybLek"));
    w->setWindowIcon(QIcon(IkonaImage(IconOf(letter))));
    w->LinkKinds = {linkKind, kDrugRecordLink, LinkKind::None};
    w->LinkValues[0] = value;
    w->Master = master;
    w->Dependent = true;
    VybRec& r = w->Rec;
    r.Letter = letter;
    r.LinkValue = value;
    r.Command = ActionCode::Reposition;
    r.Count = 40000;
    r.ButtonState = DefaultFilterWord();
    if (letter == 'H')
        r.ButtonState &= static_cast<uint16_t>(~0xF100);
    r.ButtonStateM = 0;
    if (letter == 'B')
        r.ButtonState |= 0x80;
    if (letter == 'A' || letter == 'I') {
        auto* masterList = dynamic_cast<TVyb*>(master);
        const uint16_t bits = masterList != nullptr && masterList->Rec.ButtonStateM == 1 ? 1 : 2;
        r.ButtonState = static_cast<uint16_t>((r.ButtonState & ~0x03) | bits);
    }
    r.Options = 0x80;

    const std::string_view buttons = (letter == 'C' || letter == 'H') ? "?SD1U=*" : "?D1U=*";
    const DrugColumnSet& set = ActiveDrugColumns();
    w->OpenList(UiText("VybLek", std::string("n") + letter), DrugListGeometry(set, letter),
                DrugListOrder(set, letter), ListOptions(0, 'A', buttons), DrugListHeader(set, letter),
                DrugListCommand, DrugListFetch, DrugListInfo);
    w->Dependent = true;
    if (w->FnSlave != nullptr)
        w->FnSlave->setEnabled(result == 1);
    w->PlaceAndShow(master == MainDataForm());
}

void RegisterDrugListCommands()
{
    RegisterCommandHandler("OpenDrugList", [](const CommandCall& c) { OpenDrugList(c.code, c.lookup); });
    RegisterCommandHandler("OpenDrugSubList", [](const CommandCall& c) {
        OpenDrugSubList(c.code, KindLetters(c.code)[1] == 'B' ? kDrugRecordLink : LinkKind::AtcGroup);
    });
}
