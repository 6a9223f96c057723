// The medical-device lists: the row of a device record and its cells, the
// openers, the fetch, the command callback and the hints.

#include "lists/devices/device_lists.h"

#include <algorithm>
#include <array>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "lists/codes/code_lists.h"
#include "lists/codes/reimbursement_text.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"

namespace {

constexpr uint16_t kDeviceRecordLength = kPztLayout.Length();
constexpr uint8_t kGroupFlagStatus = 16;
// The prescribers' column is one character shorter than the field's first
// 43, so that the class code's ")" ends the row at its 255th character.
constexpr size_t kPrescribersShown = 42;

constexpr const char* kRowLayout =
    "KodSeqZdrNazDopTypBal=04VyrZemPro=02LimPre=42MFC=10DNCZUPUhC=10UhPKUDUDoKat=07.";
constexpr const char* kColumnNames =
    "Kod,/1;Seq,Naz,Pro,Typ,Bal,/2;Vyr,/3;MFC,DNC,ZUP,UhC,UhP,KUD,UDo,;Kat,/1;Zdr,Dop,/2;Zem,/3;Lim,Pre";

// The columns of the device lists by number.
enum DeviceColumn : uint8_t {
    kColCode = 0,
    kColSale = 4,
    kColType = 5,
    kColPack = 6,
    kColMaker = 8,
    kColMaxPrice = 10,
    kColDnc = 11,
    kColReimbursementLetter = 12,
    kColReimbursement = 13,
    kColShare = 14,
    kColClass = 18,
    kColMark = 20,
    kColCountry = 23,
    kColLimit = 25,
};

std::string Fixed(std::string_view s, size_t n)
{
    std::string out(s.substr(0, std::min(s.size(), n)));
    out.resize(n, ' ');
    return out;
}

std::string Field(std::string_view record, FieldPos f)
{
    return Fixed(FieldBytes(record, f), static_cast<size_t>(f.length));
}

const char* IndexOfLetter(char letter)
{
    switch (letter) {
    case 'K': return "pztkod";
    case 'N': return "pztnaz";
    case 'T': return "pzttyp";
    case 'U': return "pztuhs";
    case 'F': return "pztvyr";
    case 'A': return "pztohl";
    case 'C': return "pztzem";
    default: return "";
    }
}

// The name of `code` in a device code table; the not-found text when the
// table or the key is missing.
std::string CodeName(const TableLayout& layout, const char* index, std::string_view code, FieldPos name,
                     const char* tableName)
{
    TDbTable t;
    DbStatus = 0;
    OpenTable(t, TFileId(layout.id), TFileId(index), static_cast<uint16_t>(layout.Length()));
    std::string record;
    if (DbStatus == 0)
        FindRecord(t, code, record);
    const bool found = DbStatus == 0;
    DbStatus = 0;
    if (!found)
        return std::string(code) + ProgramText("Chyby", "NotFndIn") + "\"" + tableName + "\"";
    return std::string(FieldBytes(record, name));
}

} // namespace

// ------------------------------------------------------------------ cells

std::string ClassCodeText(std::string_view code5)
{
    std::string text = " " + Fixed(code5, 5) + " ";
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return text;
    const size_t last = text.find_last_not_of(' ');
    text[first - 1] = '(';
    text[last + 1] = ')';
    return text;
}

std::string PackKindText(char letter)
{
    return Fixed(DataSetText("TBa", std::string(1, letter)) + "    ", 4);
}

std::string DeviceTypeName(std::string_view code)
{
    return CodeName(kPzttypvLayout, "pzttypko", code.substr(0, 5), kDeviceTypeName, "PZTTYPV");
}

std::string DeviceMakerName(std::string_view code)
{
    if (code.empty() || static_cast<uint8_t>(code[0]) <= ' ')
        return {};
    return CodeName(kPztvyrvLayout, "pztvyrko", code, kDeviceMakerName, "PZTVYRV");
}

std::string LookupDeviceCountry(std::string_view code)
{
    if (code.empty() || code[0] == ' ')
        return {};
    return CodeName(kPztzemvLayout, "pztzemko", code.substr(0, kCountryCode.length), kCountryName, "PZTZEMV");
}

std::string DeviceRowText(std::string_view record, char letter)
{
    std::string text(1, letter == 'U' && FieldByte(record, kDeviceClassGroupFlag) != ' '
                            ? static_cast<char>(kGroupFlagStatus)
                            : '\0');
    text.reserve(kDeviceRowLength);
    text += Field(record, kDeviceCode);
    text += Field(record, kDeviceSequence);
    text += MaskMarkLetter(FieldByte(record, kDeviceMark), FieldByte(record, kDeviceSale));
    text += Field(record, kDeviceName);
    text += Field(record, kDeviceSupplement);
    text += Field(record, kDeviceType);
    text += PackKindText(FieldByte(record, kDevicePackage));
    text += Field(record, kDeviceMaker);
    text += Field(record, kDeviceCountry);
    text += FieldByte(record, kDeviceSale);
    text += ' ';
    text += FieldByte(record, kDeviceLimit);
    text += Fixed(FieldBytes(record, kDevicePrescribers), kPrescribersShown);
    text += Fixed(FormatPrice(Field(record, kDeviceMaxPrice)), 10);
    text += FieldByte(record, kDeviceDnc);
    text += FieldByte(record, kDeviceReimbursementLetter);
    text += Fixed(FormatPrice(Field(record, kDeviceReimbursement)), 10);
    text += Field(record, kDeviceReimbursedShare);
    text += Field(record, kDevicePiecesPerPeriod);
    text += Field(record, kDeviceUsePeriod);
    text += ClassCodeText(FieldBytes(record, kDeviceClass));
    text.resize(kDeviceRowLength, ' ');
    return text;
}

// ---------------------------------------------------------------- columns

std::string DeviceListGeometry()
{
    return CompileColumnLayout(kRowLayout, ColumnWidthTableOf(kPztLayout), kColumnNames);
}

std::string DeviceListOrder()
{
    return "3/99,21/99,13,25,26/33,4,2,20,12,14,5,0,8,23,10,11,6,3/120,16,15,3,26";
}

std::string DeviceListHeader()
{
    return std::string(1, '\0') + ProgramText("VybPZT", "hdr");
}

// ------------------------------------------------------------------ fetch

bool DeviceList::OpenIndex()
{
    DbStatus = 0;
    OpenTable(table_, TFileId("pzt"), TFileId(IndexOfLetter(letter_)), kDeviceRecordLength);
    return DbStatus == 0 && table_.sez.IsOpen();
}

std::string_view DeviceList::CheckTables()
{
    return OpenIndex() ? std::string_view() : "NoData";
}

void DeviceList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row = TVybRow{};
    if (!OpenIndex())
        return;
    std::string record;
    int32_t p = -1;
    int step = 1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        FindRecord(table_, rec.Prefix, record);
        // A prefix sorting past the last key finds nothing: no row, and
        // no stale record shown for it.
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar) {
            rec.Count = 0;
            return;
        }
        const bool matched = DbStatus != DbCode::NotExact;
        p = table_.Position();
        rec.FoundPos = rec.Strict() ? p : 0;
        rec.TopPos = rec.Strict() ? 0 : p;
        InitFetchRange(rec, table_);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        // A strict prefix no key begins with has an empty range.
        if (rec.Strict() && !rec.Prefix.empty() && !matched) {
            rec.RangeLast = rec.RangeFirst - 1;
            rec.Count = 0;
        }
    }
    const bool bounded = rec.Strict() && !rec.Prefix.empty();
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : table_.LeafCount() - 1;
    if (rec.FetchMode != FetchModeCode::Seek &&
        !FetchWalkStart(rec, first, last, first + rec.TopPos, p, step))
        return;
    if (rec.FetchMode == FetchModeCode::Seek && bounded)
        p = std::max(p, first);
    if (p < first || p > last)
        return;
    ReadByOrder(table_, p, record);
    if (DbStatus != 0)
        return;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p - first;
    text = DeviceRowText(record, letter_);
    row.Pos = p;
    row.Offer1 = table_.recNo;
}

// --------------------------------------------------------------- commands

namespace {

void Reposition(char letter, VybRec& rec)
{
    std::string r;
    switch (letter) {
    case 'T':
        if (ReadCodeRecord(kPzttypvLayout, "pzttypko", rec.LinkValue, r)) {
            rec.Prefix = Field(r, kDeviceTypeCode);
            rec.StatusText = rec.Prefix + " " + Field(r, kDeviceTypeName);
        }
        break;
    case 'U':
        if (ReadCodeRecord(kPztuhsLayout, "pztuhsko", rec.LinkValue, r)) {
            rec.Prefix = Field(r, kClassGroupCode);
            rec.StatusText = CompactToCode(rec.Prefix) + " " + Field(r, kClassGroupName);
        }
        break;
    case 'F':
        if (ReadCodeRecord(kPztvyrvLayout, "pztvyrko", rec.LinkValue, r)) {
            rec.Prefix = Field(r, kDeviceMakerCode);
            rec.StatusText = rec.Prefix + " " + Field(r, kDeviceMakerName);
        }
        break;
    case 'C':
        if (ReadCodeRecord(kPztzemvLayout, "pztzemko", rec.LinkValue, r)) {
            rec.Prefix = Field(r, kCountryCode);
            rec.StatusText = rec.Prefix + " " + Field(r, kCountryName);
        }
        break;
    case 'A':
        if (ReadCodeRecord(kPztohlLayout, "pztohlko", rec.LinkValue, r)) {
            rec.Prefix = Field(r, kDeviceHolderCode);
            rec.StatusText = Field(r, kDeviceHolderName);
        }
        break;
    default: return;
    }
    DbStatus = 0;
    rec.GridRows = 0;
}

// A data text of a one-letter cell; nothing for a blank.
std::string LetterText(const char* section, std::string_view cell)
{
    if (cell.empty() || cell == " ")
        return {};
    return DataSetText(section, cell);
}

} // namespace

ListAction DeviceList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::RowClicked: return ListAction::Enter;
    case ListAction::Reposition: Reposition(letter_, rec); return ListAction::None;
    default: return action;
    }
}

std::string DeviceList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint:
        switch (sub) {
        case kColCode:
        case kColPack:
        case kColMaxPrice:
        case kColReimbursement:
        case kColShare:
        case kColClass:
            if ((row.Text.Status() & kGroupFlagStatus) != 0)
                return "skupina podle pole RP3";
            return std::string(key);
        case kColSale: return DataSetText("TPr", key);
        case kColType: return DeviceTypeName(key);
        case kColMaker: return DeviceMakerName(key);
        case kColDnc: return LetterText("TDC", key);
        case kColReimbursementLetter: return DataSetText("TUh", key);
        case kColMark: return LetterText("TZd", key);
        case kColCountry: return LookupDeviceCountry(key);
        case kColLimit: return LetterText("TRl", key);
        default: return std::string(key);
        }
    case InfoKind::HeadingHint: return ProgramText("VybPZT", "p" + std::to_string(sub));
    case InfoKind::Control: return SharedButtonInfo(sub, row, key);
    default: return {};
    }
}

// ----------------------------------------------------------------- openers

namespace {

ListWindowSpec DeviceListSpec(uint16_t code, char letter)
{
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybPZT", std::string("n") + letter);
    w.geometry = DeviceListGeometry();
    w.order = DeviceListOrder();
    w.header = DeviceListHeader();
    w.links = {LinkKind::None, LinkKind::Device, LinkKind::None};
    w.twoLineRows = true;
    w.letter = letter;
    w.count = 20000;
    return w;
}

} // namespace

void OpenDeviceList(uint16_t code, std::string_view prefix)
{
    const std::string letters = KindLetters(code);
    const int middle = letters.size() >= 3 ? letters[1] - 64 : 0;
    const char letter = middle == 3 ? 'K' : middle == 14 ? 'N' : 0;
    if (letter == 0)
        return;
    ListWindowSpec w = DeviceListSpec(code, letter);
    w.icon = letter == 'K' ? "ILKod" : "ILNaz";
    w.maxTyped = letter == 'K' ? 7 : 31;
    w.editKind = letter == 'K' ? '9' : 'A';
    w.buttons = "?=/";
    w.placement = ListPlacement::Maximised;
    w.options = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    if (!prefix.empty()) {
        w.options = 0;
        w.prefix = std::string(prefix);
    }
    OpenListWindow(w, std::make_shared<DeviceList>(letter));
}

void OpenDependentDeviceList(uint16_t code, LinkKind linkKind)
{
    const std::string letters = KindLetters(code);
    char letter = letters.size() >= 3 ? letters[1] : 0;
    if (letter == 'K')
        letter = 'U';
    const char* icon = nullptr;
    switch (letter) {
    case 'A': icon = "ILDrz"; break;
    case 'C': icon = "ILZem"; break;
    case 'F': icon = "ILVyr"; break;
    case 'T': icon = "ILInd"; break;
    case 'U': icon = "ILATC"; break;
    default: return;
    }
    ListWindowSpec w = DeviceListSpec(code, letter);
    w.icon = icon;
    w.links[0] = linkKind;
    w.needsValue = true;
    w.editKind = 'A';
    w.buttons = "?=*";
    w.placement = ListPlacement::MaximisedUnderMain;
    w.options = 0x80;
    w.reposition = true;
    OpenListWindow(w, std::make_shared<DeviceList>(letter));
}
