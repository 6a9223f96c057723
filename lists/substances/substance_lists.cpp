// The active-substance lists: the substance texts, the fetch walking
// "kkkod", "kknaz" or "kkbas", the commands and hints, and the openers.

#include "lists/substances/substance_lists.h"

#include <algorithm>
#include <array>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr uint16_t kSubstanceRecordLength = kKkLayout.Length();
constexpr size_t kNameWidth = 77;
// Where the name of a long-name record lies.
constexpr size_t kLongNameOffset = 9;

bool StandardLayout(std::string_view record)
{
    const char flag = FieldByte(record, kSubstanceLayout);
    return flag == '0' || flag == '`';
}

std::string Padded(std::string_view text, size_t width)
{
    std::string out(text.substr(0, std::min(text.size(), width)));
    out.resize(width, ' ');
    return out;
}

const char* IndexOfLetter(char letter)
{
    switch (letter) {
    case 'N': return "kknaz";
    case 'B': return "kkbas";
    default: return "kkkod";
    }
}

// The key field of a list's index, which the strict check compares.
FieldPos KeyOfLetter(char letter)
{
    switch (letter) {
    case 'N': return kSubstanceName;
    case 'B': return kSubstanceBase;
    default: return kSubstanceCode;
    }
}

bool SynonymLetter(char letter)
{
    return letter == 'S' || letter == 'Y';
}

bool AllSubstanceLetter(char letter)
{
    return letter == 'C' || letter == 'N';
}

// The filter bits of a record ("0" + bits).
unsigned FilterBits(std::string_view record)
{
    return static_cast<unsigned>(static_cast<unsigned char>(FieldByte(record, kSubstanceFilterBits)) - '0') &
           0x0F;
}

// A popup item of the S button: the low four filter bits it sets.
constexpr std::array<uint16_t, 6> kSortItemBits{0, 8, 2, 10, 4, 1};
// The button's state by the low four filter bits.
constexpr std::array<int, 16> kSortStateTable{0, 1, 2, 7, 2, 7, 7, 7, 1, 5, 3, 7, 7, 7, 7, 7};

constexpr uint16_t PopupItemCode(char button, char item)
{
    return ActionCodeOf(PopupItemAction(button, item));
}

std::string PopupItem(bool on, const std::string& text)
{
    return (on ? "^" : " ") + text + "|";
}

uint16_t DefaultSubstanceFilter()
{
    return Config().Read([](const ConfigValues& v) { return static_cast<uint16_t>(v.SynonymFilter); });
}

uint16_t DefaultCompositionFilter()
{
    return Config().Read([](const ConfigValues& v) { return static_cast<uint16_t>(v.CompositionFilter); });
}

uint8_t DefaultOptionByte()
{
    return Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
}

// Reads the substance record `recNo` of "kk"; false when it cannot be read.
bool ReadSubstance(int32_t recNo, std::string& record)
{
    if (recNo <= 0 || !OpenSubstanceTable("kkkod"))
        return false;
    ReadRecord(SubstanceTable().dat, recNo, record);
    const bool ok = DbStatus == 0;
    DbStatus = 0;
    return ok;
}

// Status, short caption and prefix of a dependent substance list after its
// master offered another substance.
void FollowSubstance(VybRec& rec, char letter)
{
    std::string record;
    if (!ReadSubstance(rec.LinkValue, record))
        return;
    const std::string code(FieldBytes(record, kSubstanceCode));
    rec.Prefix = letter == 'B' ? std::string(FieldBytes(record, kSubstanceBase)) : code;
    rec.StatusText = code + " " + std::string(TrimBlanks(SubstanceName(record)));
    rec.IconCaption = KamLowerText(FieldBytes(record, kSubstanceName).substr(0, 8));
    rec.GridRows = 0;
}

// The texts of button N in the all-substance and synonym lists.
std::string NamesButtonText(uint8_t sub, uint16_t state, char letter, char flag)
{
    const std::string p = SynonymLetter(letter) ? "n" : "p";
    switch (sub) {
    case 0: return ProgramText("Cudl", "na" + p + "t") + "\r" + ProgramText("Cudl", "na" + p + "t" + flag);
    case 1: return ProgramText("Cudl", "na" + p + flag);
    case 2: return state != 0 ? "d" : "";
    default: return {};
    }
}

std::string ButtonInfo(uint8_t sub, const TVybRow& block, std::string_view key, char letter)
{
    const auto state = static_cast<uint16_t>(block.Pos);
    const char button = key.empty() ? ' ' : key[0];
    switch (button) {
    case 'M': {
        const char b = static_cast<char>('0' + (state & 1));
        switch (sub) {
        case 0: return ProgramText("Cudl", "mcct") + "\r" + ProgramText("Cudl", std::string("mcct") + b);
        case 1: return ProgramText("Cudl", std::string("mcc") + b);
        case 2: return (state & 1) != 0 ? "d" : "";
        default: return {};
        }
    }
    case 'N': return NamesButtonText(sub, state, letter, (state & 0x10) != 0 ? '@' : '0');
    case 'S': {
        const std::string s = std::to_string(kSortStateTable[state & 0x0F]);
        switch (sub) {
        case 0:
            return ProgramText("Cudl", "srtt") + "\r" + ProgramText("Cudl", "srtts") +
                   ProgramText("Cudl", "srtt" + s);
        case 1: return ProgramText("Cudl", "srt" + s);
        case 2: return s != "0" ? "d" : "";
        case 3: {
            std::string items;
            for (int i = 0; i < 6; ++i)
                items += PopupItem(s == std::to_string(i), ProgramText("Cudl", "srtt" + std::to_string(i)));
            return items;
        }
        default: return {};
        }
    }
    case '&': return ButtonHintText('&', 0, false);
    case ' ': return {};
    default: return sub <= 1 ? ButtonHintText(button, sub, block.Pos != 0) : std::string();
    }
}

} // namespace

// ------------------------------------------------------------------ texts

TDbTable& SubstanceTable()
{
    static TDbTable table;
    return table;
}

bool OpenSubstanceTable(const char* index)
{
    DbStatus = 0;
    OpenTable(SubstanceTable(), TFileId("kk"), TFileId(index), kSubstanceRecordLength);
    return DbStatus == 0 && SubstanceTable().sez.IsOpen();
}

std::string SubstanceName(std::string_view record)
{
    if (StandardLayout(record))
        return Padded(FieldBytes(record, kSubstanceName), kNameWidth);
    return Padded(record.substr(std::min(record.size(), kLongNameOffset)), kNameWidth);
}

std::string DopingShortText(std::string_view record, size_t width)
{
    const char code = FieldByte(record, kSubstanceDoping);
    std::string text;
    if (code != ' ' && code != '\0') {
        text = DataSetText("DopZ", std::string(1, code));
        if (!text.empty() && text[0] == '!')
            text.clear();
    }
    return width > 0 ? Padded(text, width) : text;
}

std::string SubstanceRowText(std::string_view record)
{
    if (!StandardLayout(record))
        return std::string(5, ' ') + SubstanceName(record) + std::string(9, ' ');
    std::string text(FieldBytes(record, kSubstanceSource));
    text.resize(4, ' ');
    text += ' ';
    text += SubstanceName(record);
    text += Padded(FieldBytes(record, kSubstanceBase), 5);
    text += FieldByte(record, kSubstanceDependence);
    // Three characters keep the kind column of the synonym list in place.
    text += DopingShortText(record, 3);
    return text;
}

std::string SynonymKindText(std::string_view kind, bool forRow, bool* isKey)
{
    struct Entry {
        const char* from;
        const char* to; // the last code of a range
        const char* rowKey;
        const char* key;
    };
    // A row key of three blanks: the row shows them without a look-up.
    static constexpr Entry kKinds[] = {
        {" 0", " 0", "P", "P"},     {"50", "50", "CA", "CA"},   {"55", "55", "En", "En"},
        {"56", "56", "Fr", "Fr"},   {"57", "57", "Es", "Es"},   {"58", "58", "Ru", "Ru"},
        {"59", "59", "De", "De"},   {"60", "60", "Cz", "Cz"},   {"61", "61", "Sl", "Sl"},
        {"65", "65", "AP1", "AP"},  {"66", "66", "AP2", "AP"},  {"67", "69", "   ", "AP"},
        {"88", "88", "CzC", "CzC"}, {"89", "89", "   ", "CzC"}, {"90", "90", "CP1", "CP"},
        {"91", "91", "CP2", "CP"},  {"92", "94", "   ", "CP"},  {"95", "95", "C", "C"},
        {"99", "99", "CM", "CM"},
    };
    if (isKey != nullptr)
        *isKey = false;
    const std::string code(kind.substr(0, std::min<size_t>(kind.size(), 2)));
    if (code.size() == 2 && (code[0] != ' ' || code == " 0"))
        for (const Entry& e : kKinds)
            if (code >= e.from && code <= e.to) {
                const std::string key = forRow ? e.rowKey : e.key;
                if (isKey != nullptr)
                    *isKey = key != "   ";
                return key;
            }
    return code;
}

std::string SynonymKindLabel(std::string_view kind, bool forRow)
{
    bool isKey = false;
    const std::string key = SynonymKindText(kind, forRow, &isKey);
    return isKey ? DataSetText("KSyn", key) : key;
}

std::string ContinuedSubstanceName(std::string_view record, int32_t position)
{
    std::string name(TrimRightBlanks(SubstanceName(record)));
    if (FieldByte(record, kSubstanceLayout) != '0' || position < 0 || !OpenSubstanceTable("kkkod"))
        return name;
    TDbTable& t = SubstanceTable();
    const std::string code(FieldBytes(record, kSubstanceCode));
    std::string part;
    for (int32_t p = position + 1; p < t.LeafCount(); ++p) {
        ReadByOrder(t, p, part);
        if (DbStatus != 0 || FieldBytes(part, kSubstanceCode) != code)
            break;
        const char flag = FieldByte(part, kSubstanceLayout);
        if (flag < '0' || flag > '3')
            break;
        name += TrimRightBlanks(SubstanceName(part));
    }
    DbStatus = 0;
    return name;
}

std::string SubstanceListRow(std::string_view record, char letter, std::string_view kindText)
{
    std::string text(1, '\0');
    text += Padded(FieldBytes(record, kSubstanceCode), 5);
    text += Padded(FieldBytes(record, kSubstanceRecordKind), 2);
    text += SubstanceRowText(record);
    if (SynonymLetter(letter))
        text += kindText;
    else
        text += FieldBytes(record, kSubstanceRecordKind);
    if (text.size() > 255)
        text.resize(255);
    return text;
}

std::string SourceNameHint(std::string_view code)
{
    if (TrimBlanks(code).empty())
        return {};
    DbStatus = 0;
    OpenTable(CodeTable, TFileId("zdrv"), TFileId("zdrvkod"), kZdrvLayout.Length());
    std::string record;
    std::string name;
    if (DbStatus == 0) {
        FindRecord(CodeTable, Padded(code, 4), record);
        if (DbStatus == 0 && FieldBytes(record, kSourceCode) == Padded(code, 4))
            name = std::string(TrimRightBlanks(FieldBytes(record, kSourceName)));
    }
    DbStatus = 0;
    return name;
}

std::string SubstanceCodeHint(std::string_view code)
{
    if (TrimBlanks(code).empty() || !OpenSubstanceTable("kkkod"))
        return {};
    std::string record;
    FindRecord(SubstanceTable(), Padded(code, 5), record);
    std::string name;
    if (DbStatus == 0 && FieldBytes(record, kSubstanceCode) == Padded(code, 5))
        name = std::string(TrimRightBlanks(SubstanceName(record)));
    DbStatus = 0;
    return name;
}

// ------------------------------------------------------------------ fetch

std::string_view ComponentList::CheckTables()
{
    return OpenSubstanceTable(IndexOfLetter(letter_)) ? std::string_view() : "NoData";
}

void ComponentList::ReportNoData()
{
    if (noDataShown_)
        return;
    noDataShown_ = true;
    ShowError(ProgramText("Chyby", "NoData"));
}

SubstanceStep ComponentList::Test(const VybRec& rec, std::string_view record, std::string& kindText)
{
    const char letter = rec.Letter;
    const uint16_t filter = rec.ButtonState;
    if (rec.Strict() && !rec.Prefix.empty() &&
        FieldDiffersUpper(record, KeyOfLetter(letter).start,
                          static_cast<int>(std::min<size_t>(rec.Prefix.size(), KeyOfLetter(letter).length)),
                          rec.Prefix) != 0)
        return SubstanceStep::EndRows;
    if (letter == 'N') {
        const char first = FieldByte(record, kSubstanceName);
        if ((rec.Prefix.empty() || rec.Prefix[0] != ' ') && first == ' ')
            return SubstanceStep::EndRows;
        if ((filter & 0x10) != 0 && static_cast<unsigned char>(first) < 'A')
            return SubstanceStep::EndRows;
    }
    if (!SynonymLetter(letter) && (filter & 0x10) != 0 && FieldBytes(record, kSubstanceRecordKind) != " 0")
        return SubstanceStep::StepOver;
    if (AllSubstanceLetter(letter)) {
        const unsigned bits = FilterBits(record);
        if (((filter & 0x01) != 0 && (bits & 4) == 0) || ((filter & 0x02) != 0 && (bits & 3) == 0) ||
            ((filter & 0x04) != 0 && (bits & 1) == 0) || ((filter & 0x08) != 0 && (bits & 2) == 0) ||
            ((rec.ButtonStateM & 1) != 0 && (bits & 8) == 0))
            return SubstanceStep::StepOver;
    }
    if (SynonymLetter(letter)) {
        kindText = SynonymKindLabel(FieldBytes(record, kSubstanceRecordKind), true);
        if (kindText.size() < 3) {
            if ((filter & 0x20) != 0)
                return SubstanceStep::StepOver;
            kindText = "(" + kindText + ")";
        }
    }
    return SubstanceStep::Show;
}

void ComponentList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenSubstanceTable(IndexOfLetter(rec.Letter))) {
        ReportNoData();
        return;
    }
    TDbTable& t = SubstanceTable();
    const int32_t last = t.LeafCount() - 1;
    const bool halved = (rec.ButtonState & 0x10) != 0 && !SynonymLetter(rec.Letter);
    std::string record;
    int32_t p = -1;
    int step = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
    case FetchModeCode::First: {
        if (rec.Prefix == "     ")
            return;
        if (rec.Letter == 'N' && rec.Prefix.empty()) {
            FindRecord(t, std::string(1, halved ? '@' : '!'), record);
            if (DbStatus < 0 && DbStatus != DbCode::OutOfRange)
                DbStatus = 0;
        } else {
            FindRecord(t, rec.Prefix, record);
        }
        if (DbStatus > 0) {
            ReportNoData();
            return;
        }
        // An empty index or a key character outside the index's range.
        if (DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar)
            return;
        DbStatus = 0;
        p = t.Position();
        if (rec.FetchMode == FetchModeCode::Seek) {
            rec.FoundPos = rec.Strict() ? p : 0;
            rec.TopPos = rec.Strict() ? 0 : p;
            InitFetchRange(rec, t);
            if (DbStatus > 0)
                return;
            DbStatus = 0;
            if (halved) {
                // The thumb moves over half the index: about every second
                // record is a main name.
                rec.Count /= 2;
                rec.TopPos /= 2;
            }
        }
        break;
    }
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before:
        p = rec.Rows[1].Pos - 1;
        step = -1;
        break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last:
        p = rec.Strict() && !rec.Prefix.empty() ? rec.RangeLast : last;
        step = -1;
        break;
    case FetchModeCode::AtTopPos:
        // The thumb's row, or the nearest shown one before it.
        p = std::clamp(rec.FoundPos + (halved ? 2 * rec.TopPos : rec.TopPos), 0, std::max(0, last));
        step = -1;
        break;
    default: return;
    }
    for (; p >= 0 && p <= last; p += step) {
        ReadByOrder(t, p, record);
        if (DbStatus != 0) {
            DbStatus = 0;
            return;
        }
        std::string kindText;
        switch (Test(rec, record, kindText)) {
        case SubstanceStep::EndRows: return;
        case SubstanceStep::StepOver: continue;
        case SubstanceStep::Show: break;
        }
        row.Pos = p;
        row.Aux = t.recNo;
        row.Offer1 = t.recNo;
        row.Offer2 = 0;
        text = SubstanceListRow(record, rec.Letter, kindText);
        noDataShown_ = false;
        return;
    }
}

// ---------------------------------------------------------------- commands

std::string ComponentList::CodePrefix(std::string prefix)
{
    if (!prefix.empty() && prefix.back() == '0')
        prefix.back() = ' ';
    if (prefix.size() >= 2 && prefix.back() == ' ' && prefix[prefix.size() - 2] != ' ')
        prefix.back() = '0';
    return prefix;
}

ListAction ComponentList::React(VybRec& rec, ListAction action)
{
    if (const char item = PopupItemOf(action, 'S'); item >= '0' && item <= '5') {
        const uint16_t bits = kSortItemBits[static_cast<size_t>(item - '0')];
        const auto kept = static_cast<uint16_t>(rec.ButtonState & 0xFFF0);
        rec.ButtonState = (rec.ButtonState & 0x0F) == bits ? kept : static_cast<uint16_t>(kept | bits);
        return ListAction::PrefixChanged;
    }
    if (ActionCodeOf(action) >= PopupItemCode('A', '0'))
        return ListAction::None; // an item of another button's popup
    switch (action) {
    case ListAction::ShiftF3: rec.ButtonState ^= 0x10; return ListAction::RefillInPlace;
    case ListAction::ShiftF6: rec.ButtonStateM ^= 1; return ListAction::PrefixChanged;
    case ListAction::PrefixChanged:
        if (rec.Letter == 'C')
            rec.Prefix = CodePrefix(rec.Prefix);
        return action;
    case ListAction::RowClicked: return ListAction::Enter;
    default: return action;
    }
}

ListAction SynonymList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Reposition: FollowSubstance(rec, letter_); return ListAction::None;
    case ListAction::ShiftF3:
        rec.ButtonState ^= letter_ == 'B' ? 0x10 : 0x20;
        return ListAction::RefillInPlace;
    case ListAction::RowClicked: return ListAction::Enter;
    default: return action;
    }
}

// ------------------------------------------------------------------- hints

std::string ComponentList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: {
        const std::string cell(TrimRightBlanks(key));
        switch (sub) {
        case 1:
        case 9: return SynonymKindLabel(key, false);
        case 2: return SourceNameHint(cell);
        case 4: return SubstanceCodeHint(cell);
        case 5:
            return !cell.empty() && static_cast<unsigned char>(cell[0]) >= '1'
                       ? DataSetText("Zvk", cell.substr(0, 1))
                       : std::string();
        case 6: {
            if (cell.empty())
                return {};
            // The cell holds the short text; its whole text names it better
            // than a code the drug doping texts lack.
            const std::string text = LookupCopText(cell);
            if (!text.empty() && text[0] != '!')
                return text;
            std::string record;
            return ReadSubstance(row.Offer1, record) ? DopingShortText(record, 0) : std::string();
        }
        default: return std::string(key);
        }
    }
    case InfoKind::HeadingHint: return ProgramText("VybKomp", "v" + std::to_string(sub));
    case InfoKind::Control: return ButtonInfo(sub, row, key, letter_);
    default: return {};
    }
}

std::string SynonymList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    if (letter_ != 'S')
        return ComponentList::Info(kind, sub, row, key);
    switch (kind) {
    case InfoKind::CellHint: return sub == 1 ? SourceNameHint(TrimRightBlanks(key)) : std::string(key);
    case InfoKind::HeadingHint: return ProgramText("VybKomp", "s" + std::to_string(sub));
    case InfoKind::Control:
        if (!key.empty() && key[0] == 'N') {
            const auto state = static_cast<uint16_t>(row.Pos);
            return NamesButtonText(sub, state, letter_, static_cast<char>('0' + (state & 0xFF)));
        }
        return ButtonInfo(sub, row, key, letter_);
    default: return {};
    }
}

// ----------------------------------------------------------------- openers

namespace {

constexpr const char* kAllRowLayout = "KodSq Zdr=05Naz=77SulZavDop=03.";
constexpr const char* kSynonymRowLayout = "KodSq Zdr=05Naz=77SulZavDop=03Ozn=33.";
constexpr const char* kAllColumnNames = "Kod,Sq,Zdr,Naz,Sul,Zav,Dop";
constexpr const char* kSynonymColumnNames = "Ozn,Zdr,Naz";

ListWindowSpec SubstanceSpec(uint16_t code, char letter)
{
    ListWindowSpec w;
    w.code = code;
    const bool synonyms = letter == 'S';
    w.geometry =
        CompileColumnLayout(synonyms ? kSynonymRowLayout : kAllRowLayout, ColumnWidthTableOf(kKkLayout),
                            synonyms ? kSynonymColumnNames : kAllColumnNames);
    w.header = std::string(1, '\0') + ProgramText("VybKomp", "hdr");
    w.helpKeyword = "VybLat";
    w.letter = letter;
    return w;
}

} // namespace

TVyb* OpenComponentList(uint16_t code, std::string_view prefix)
{
    const std::string letters = KindLetters(code);
    char letter = 0;
    switch (letters[1] - 64) {
    case 3: letter = 'C'; break;
    case 14: letter = 'N'; break;
    default: return nullptr;
    }
    ListWindowSpec w = SubstanceSpec(code, letter);
    w.caption = ProgramText("VybKomp", std::string("n") + letter);
    w.order = letter == 'C' ? "0,3/72,1,3/90,4,5,2,6,3" : "3/72,0,1,3/102,4,5,2,6,3";
    w.icon = letter == 'C' ? "IKKod" : "IKNaz";
    w.maxTyped = letter == 'C' ? 5 : 44;
    w.editKind = letter == 'C' ? '9' : 'A';
    w.buttons = letter == 'C' ? "?NM=/" : "?M=/";
    w.links = {LinkKind::None, LinkKind::Substance, LinkKind::None};
    w.count = 35000;
    w.buttonState = static_cast<uint16_t>(DefaultSubstanceFilter() & ~0x0F);
    w.buttonStateM = static_cast<uint16_t>(DefaultCompositionFilter() & 1);
    w.options = prefix.empty() ? DefaultOptionByte() : 0;
    w.prefix = std::string(prefix);
    w.placement = ListPlacement::Placed;
    return OpenListWindow(w, std::make_shared<ComponentList>(letter));
}

TVyb* OpenComponentSynonymList(uint16_t code)
{
    const std::string letters = KindLetters(code);
    char letter = letters[1];
    if (letter == 'S' && letters[2] == 'Y')
        letter = 'Y';
    if (letter != 'B' && letter != 'S' && letter != 'Y')
        return nullptr;
    ListWindowSpec w = SubstanceSpec(code, letter);
    w.order = letter == 'S' ? "2/80,0/24,1,2,0" : "3/72,0,1,3/102,4,5,6,2,3";
    w.icon = letter == 'B' ? "IKSul" : "IKSyn";
    w.links = {LinkKind::Substance, letter == 'B' ? LinkKind::Substance : LinkKind::None, LinkKind::None};
    w.needsValue = true;
    w.reposition = true;
    w.count = 40;
    w.options = 0x80;
    w.buttons = "?N=*";
    switch (letter) {
    case 'B':
        w.caption = ProgramText("VybKomp", "nso");
        w.buttonState = DefaultSubstanceFilter();
        w.editKind = '-';
        break;
    case 'S':
        w.caption = ProgramText("VybKomp", "nnn");
        w.buttonState = 0x20;
        break;
    default:
        w.caption = ProgramText("VybKomp", "nsy");
        w.buttonState = 0;
        break;
    }
    return OpenListWindow(w, std::make_shared<SynonymList>(letter));
}
