// The composition lists: the entries of one drug in "klc" by "klclek",
// each with its substance from "kk" by "kkkod".

#include "lists/substances/composition_lists.h"

#include <algorithm>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "lists/substances/substance_lists.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr size_t kNameWidth = 77;
constexpr size_t kCodeWidth = 5;
constexpr size_t kDrugCodeWidth = 7;

std::string Padded(std::string_view text, size_t width)
{
    std::string out(text.substr(0, std::min(text.size(), width)));
    out.resize(width, ' ');
    return out;
}

bool OpenComposition()
{
    DbStatus = 0;
    OpenTable(AtcTable, TFileId("klc"), TFileId("klclek"), kKlcLayout.Length());
    return DbStatus == 0 && AtcTable.sez.IsOpen();
}

// A group line's code ("    0", "   -1" and every code ending so).
bool GroupCode(std::string_view code)
{
    return code.size() >= 2 && (code.substr(code.size() - 2) == " 0" || code.substr(code.size() - 2) == "-1");
}

// A code that names no substance: a group line or a fifth character "-".
bool OffersNoSubstance(std::string_view code)
{
    return GroupCode(code) || (code.size() >= 5 && code[4] == '-');
}

// Finds the first record of a substance code in "kkkod"; its position, or -1.
int32_t FindSubstance(std::string_view code, std::string& record)
{
    if (!OpenSubstanceTable("kkkod"))
        return -1;
    TDbTable& t = SubstanceTable();
    const std::string key = Padded(code, kCodeWidth);
    FindRecord(t, key, record);
    const bool found = DbStatus == 0 && FieldBytes(record, kSubstanceCode) == key;
    DbStatus = 0;
    return found ? t.Position() : -1;
}

// The last position of `t`'s index whose key field `key` equals `code`, -1
// when none: the code with its last character raised by one is sought and
// the entry before it taken.
int32_t LastEntryOf(TDbTable& t, std::string_view code, FieldPos key)
{
    if (code.empty())
        return -1;
    std::string raised(code);
    raised.back() = static_cast<char>(raised.back() + 1);
    std::string record;
    FindRecord(t, raised, record);
    if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar) {
        DbStatus = 0;
        return -1;
    }
    int32_t p = t.Position();
    // Past every key the seek stops on the last entry, which is then the
    // answer itself.
    if (FieldDiffers(record, key.start, key.length, code) != 0 || DbStatus == 0)
        p -= 1;
    DbStatus = 0;
    if (p < 0)
        return -1;
    ReadByOrder(t, p, record);
    const bool same = DbStatus == 0 && FieldDiffers(record, key.start, key.length, code) == 0;
    DbStatus = 0;
    return same ? p : -1;
}

bool Backwards(uint8_t mode)
{
    return mode == FetchModeCode::Before || mode == FetchModeCode::Last || mode == FetchModeCode::AtTopPos;
}

// The state letter as shown, and the name moved for a group line.
char ShownState(std::string_view code, char state, std::string& name)
{
    if ((state == 'C' || state == 'O') && code == "    0")
        name = Padded("  " + name, kNameWidth);
    if (state == 'C' || state == 'X' || (code.size() >= 2 && code.substr(code.size() - 2) == " 0"))
        return ' ';
    return state;
}

// The amount part of a row: state, blank, amount, blank, unit.
std::string AmountPart(std::string_view entry, char state)
{
    std::string text(1, state);
    text += ' ';
    text += Padded(FieldBytes(entry, kCompositionAmount), 6);
    text += ' ';
    text += Padded(FieldBytes(entry, kCompositionUnit), 2);
    return text;
}

// The entry's code as shown: a group line without its last two characters.
std::string ShownCode(std::string_view code)
{
    std::string shown = Padded(code, kCodeWidth);
    if (GroupCode(shown))
        shown.replace(kCodeWidth - 2, 2, "  ");
    return shown;
}

std::string NotFoundName(std::string_view code)
{
    return ProgramText("Slozeni", "KompKod") + std::string(code);
}

// Reads the drug's entry at `p` of "klclek"; false past the drug's entries
// or on a failure.
bool ReadEntry(int32_t p, std::string_view drug, std::string& entry)
{
    if (p < 0 || p >= AtcTable.LeafCount())
        return false;
    ReadByOrder(AtcTable, p, entry);
    const bool ok = DbStatus == 0 && FieldBytes(entry, kCompositionDrug) == Padded(drug, kDrugCodeWidth);
    DbStatus = 0;
    return ok;
}

uint8_t DefaultCompositionFilter()
{
    return Config().Read([](const ConfigValues& v) { return v.CompositionFilter; });
}

} // namespace

std::string& PreferredSynonymKind()
{
    static std::string kind = "60";
    return kind;
}

std::string CompositionRowName(std::string_view substance, int32_t position)
{
    const std::string full = ContinuedSubstanceName(substance, position);
    if (full.size() > kNameWidth) {
        const char next1 = full[kNameWidth];
        const char next2 = full.size() > kNameWidth + 1 ? full[kNameWidth + 1] : ' ';
        if (next1 != ' ' || next2 != ' ')
            return full.substr(0, kNameWidth - 2) + "->";
    }
    return Padded(full, kNameWidth);
}

// ------------------------------------------------------------------ D, N

std::string_view CompositionList::CheckTables()
{
    return OpenComposition() && OpenSubstanceTable("kkkod") ? std::string_view() : "NoData";
}

void CompositionList::ReportNoData()
{
    if (noDataShown_)
        return;
    noDataShown_ = true;
    ShowError(ProgramText("Chyby", "NoData"));
}

namespace {

// The row of an entry in the D and N lists.
void EntryRow(const VybRec& rec, std::string_view entry, int32_t p, TVybRow& row, std::string& text)
{
    const std::string code = Padded(FieldBytes(entry, kCompositionSubstance), kCodeWidth);
    const char state = FieldByte(entry, kCompositionState);
    const bool preferred = (rec.ButtonState & 0x80) != 0;
    std::string substance;
    int32_t position = FindSubstance(code, substance);
    int32_t recNo = position >= 0 ? SubstanceTable().recNo : 0;
    std::string name;
    char dependence = ' ';
    std::string doping(3, ' ');
    if (position >= 0) {
        if (preferred && !OffersNoSubstance(code)) {
            TDbTable& t = SubstanceTable();
            std::string other;
            for (int32_t q = position; q < t.LeafCount(); ++q) {
                ReadByOrder(t, q, other);
                if (DbStatus != 0 || FieldBytes(other, kSubstanceCode) != code)
                    break;
                if (FieldBytes(other, kSubstanceRecordKind) == PreferredSynonymKind()) {
                    substance = other;
                    position = q;
                    recNo = t.recNo;
                    break;
                }
            }
            DbStatus = 0;
        }
        name = CompositionRowName(substance, position);
        dependence = FieldByte(substance, kSubstanceDependence);
        doping = DopingShortText(substance, 0).substr(0, 7);
    } else {
        name = Padded(preferred ? ProgramText("Slozeni", "NoCZ") : NotFoundName(code), kNameWidth);
        position = -1;
        recNo = 0;
    }
    const char shownState = ShownState(code, state, name);
    if (OffersNoSubstance(code))
        recNo = 0;
    text.assign(1, '\0');
    text += ShownCode(code);
    text += AmountPart(entry, shownState);
    text += name;
    text += dependence;
    text += doping;
    row.Pos = p;
    row.Aux = position;
    row.Offer1 = 0;
    row.Offer2 = recNo;
}

} // namespace

void CompositionList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenComposition()) {
        ReportNoData();
        return;
    }
    TDbTable& t = AtcTable;
    std::string entry;
    int32_t p = -1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
    case FetchModeCode::First:
        if (!SeekFetchStart(rec, t, entry, p, [this] { ReportNoData(); }))
            return;
        break;
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last: p = LastEntryOf(t, rec.Prefix, kCompositionDrug); break;
    case FetchModeCode::AtTopPos: p = rec.FoundPos + rec.TopPos; break;
    default: return;
    }
    const int step = Backwards(rec.FetchMode) ? -1 : 1;
    for (; ReadEntry(p, rec.Prefix, entry); p += step) {
        const char state = FieldByte(entry, kCompositionState);
        if ((rec.ButtonStateM & 1) != 0 && state != 'L' && state != 'O' && state != 'S' && state != 'T')
            continue;
        EntryRow(rec, entry, p, row, text);
        FetchWorked();
        return;
    }
}

// ---------------------------------------------------------------------- S

namespace {

// Whether button M leaves the entry out of the S list: auxiliary entries,
// the auxiliary codes and the group line of auxiliary entries.
bool AuxiliaryEntry(std::string_view entry, int32_t recNo)
{
    const std::string_view code = FieldBytes(entry, kCompositionSubstance);
    const char state = FieldByte(entry, kCompositionState);
    if (FieldBytes(entry, kCompositionUnit) == "PL" || (!code.empty() && code[0] == '-'))
        return true;
    if ((state == 'A' || state == 'V') && (code == " 2043" || code == " 2044"))
        return true;
    if (!GroupCode(code) || recNo <= 1)
        return false;
    std::string before;
    ReadRecord(AtcTable.dat, recNo - 1, before);
    const bool auxiliary = DbStatus == 0 &&
                           FieldBytes(before, kCompositionDrug) == FieldBytes(entry, kCompositionDrug) &&
                           FieldBytes(before, kCompositionUnit) == "PL";
    DbStatus = 0;
    return auxiliary;
}

// The substance record at `position` of "kkkod" when it has `code`.
bool SubstanceAt(int32_t position, std::string_view code, std::string& record)
{
    TDbTable& t = SubstanceTable();
    if (position < 0 || position >= t.LeafCount())
        return false;
    ReadByOrder(t, position, record);
    const bool ok = DbStatus == 0 && FieldBytes(record, kSubstanceCode) == code;
    DbStatus = 0;
    return ok;
}

} // namespace

namespace {

// The next record of `code` from position `from` in direction `step` that
// is a synonym (its kind not " 0"), -1 when the code has no more.
int32_t NextSynonym(std::string_view code, int32_t from, int step, std::string& record)
{
    for (int32_t q = from + step; SubstanceAt(q, code, record); q += step)
        if (FieldBytes(record, kSubstanceRecordKind) != " 0")
            return q;
    return -1;
}

} // namespace

void CompositionSynonymList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenComposition() || !OpenSubstanceTable("kkkod")) {
        ReportNoData();
        return;
    }
    TDbTable& t = AtcTable;
    std::string entry;
    std::string substance;
    // The walk: the entry's position and the synonym shown (-1: the entry's
    // main row); `lastOfEntry` starts an entry on its last row.
    int32_t p = -1;
    int32_t s = -1;
    bool lastOfEntry = false;
    int step = 1;
    // The substance code of the entry at `p`, empty past the drug.
    auto codeAt = [&](int32_t at) {
        return ReadEntry(at, rec.Prefix, entry) ? Padded(FieldBytes(entry, kCompositionSubstance), kCodeWidth)
                                                : std::string();
    };
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
    case FetchModeCode::First:
        if (!SeekFetchStart(rec, t, entry, p, [this] { ReportNoData(); }))
            return;
        break;
    case FetchModeCode::ReadFirstShown: {
        const TVybRow& from = rec.Rows[1];
        p = from.Pos;
        const std::string code = codeAt(p);
        if (from.Aux >= 0 && SubstanceAt(from.Aux, code, substance) &&
            FieldBytes(substance, kSubstanceRecordKind) != " 0")
            s = from.Aux;
        break;
    }
    case FetchModeCode::After: {
        const TVybRow& from = rec.Rows[rec.RowCount];
        p = from.Pos;
        const std::string code = codeAt(p);
        if (code.empty())
            return;
        s = from.Aux >= 0 ? NextSynonym(code, from.Aux, 1, substance) : -1;
        if (s < 0)
            p += 1;
        break;
    }
    case FetchModeCode::Before: {
        const TVybRow& from = rec.Rows[1];
        p = from.Pos;
        const std::string code = codeAt(p);
        if (code.empty())
            return;
        step = -1;
        const bool synonymRow = from.Aux >= 0 && SubstanceAt(from.Aux, code, substance) &&
                                FieldBytes(substance, kSubstanceRecordKind) != " 0";
        if (synonymRow) {
            // The synonym before, or the entry's main row.
            s = NextSynonym(code, from.Aux, -1, substance);
        } else {
            p -= 1;
            lastOfEntry = true;
        }
        break;
    }
    case FetchModeCode::Last:
        p = LastEntryOf(t, rec.Prefix, kCompositionDrug);
        lastOfEntry = true;
        step = -1;
        break;
    case FetchModeCode::AtTopPos:
        p = rec.FoundPos + rec.TopPos;
        step = -1;
        break;
    default: return;
    }

    for (;; p += step, s = -1, lastOfEntry = step < 0) {
        const std::string code = codeAt(p);
        if (code.empty())
            return;
        const int32_t entryRecNo = t.recNo;
        if ((rec.ButtonStateM & 1) != 0 && AuxiliaryEntry(entry, entryRecNo))
            continue;
        const int32_t mainAt = FindSubstance(code, substance);
        if (lastOfEntry && mainAt >= 0) {
            const int32_t end = LastEntryOf(SubstanceTable(), code, kSubstanceCode);
            s = end >= 0 ? NextSynonym(code, end + 1, -1, substance) : -1;
        }
        if (s >= 0 && SubstanceAt(s, code, substance)) {
            text.assign(1, '\0');
            text += std::string(16, ' ');
            text += SubstanceName(substance);
            text += ' ';
            row.Pos = p;
            row.Aux = s;
            row.Offer1 = 0;
            // A synonym offers its own record, so that the drugs of the
            // substance follow any of its rows.
            row.Offer2 = SubstanceTable().recNo;
            FetchWorked();
            return;
        }
        // The main row.
        std::string name;
        char dependence = ' ';
        int32_t recNo = 0;
        if (mainAt >= 0 && SubstanceAt(mainAt, code, substance)) {
            name = SubstanceName(substance);
            dependence = FieldByte(substance, kSubstanceDependence);
            recNo = SubstanceTable().recNo;
        } else {
            name = Padded(Padded(NotFoundName(code), 64), kNameWidth);
        }
        const char shownState = ShownState(code, FieldByte(entry, kCompositionState), name);
        if (OffersNoSubstance(code))
            recNo = 0;
        text.assign(1, '\0');
        text += ShownCode(code);
        text += AmountPart(entry, shownState);
        text += name;
        text += dependence;
        row.Pos = p;
        row.Aux = mainAt;
        row.Offer1 = 0;
        row.Offer2 = recNo;
        FetchWorked();
        return;
    }
}

// -------------------------------------------------------- commands, hints

ListAction CompositionList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Reposition: {
        DbStatus = 0;
        OpenTable(MainTable, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
        std::string drug;
        if (DbStatus == 0 && rec.LinkValue > 0)
            ReadRecord(MainTable.dat, rec.LinkValue, drug);
        if (DbStatus == 0 && !drug.empty()) {
            rec.Prefix = std::string(FieldBytes(drug, kDrugCode));
            rec.StatusText = FormatDrugLine(drug);
            rec.IconCaption = KamLowerText(FieldBytes(drug, kDrugName).substr(0, 8));
        }
        DbStatus = 0;
        rec.GridRows = 0;
        return ListAction::None;
    }
    case ListAction::ShiftF6: rec.ButtonStateM ^= 1; return ListAction::PrefixChanged;
    case ListAction::RowClicked: return ListAction::Enter;
    default: return action;
    }
}

namespace {

// The amount hint of a cell "state blank amount blank unit".
std::string AmountHint(std::string_view cell)
{
    std::string key(TrimRightBlanks(cell));
    if (key.size() <= 9)
        return std::string(cell);
    if (key.size() == 10)
        key += '_';
    std::string unitKey = key.substr(9, 2);
    std::replace(unitKey.begin(), unitKey.end(), ' ', '_');
    const std::string unit = DataSetText("Jedn", unitKey);
    if (unit.empty() || unit[0] == '!')
        return std::string(cell);
    std::string text = std::string(TrimBlanks(key.substr(1, 8))) + " " + unit;
    if (static_cast<unsigned char>(key[0]) > '9') {
        const std::string state = DataSetText("SloS", key.substr(0, 1));
        if (!state.empty() && state[0] != '!')
            text = state + text;
    }
    return text;
}

} // namespace

std::string CompositionList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: {
        const std::string cell(TrimRightBlanks(key));
        switch (sub) {
        case 1: return AmountHint(key);
        case 2: {
            if (cell.size() < 2 || cell.back() != '>' || row.Aux < 0 || !OpenSubstanceTable("kkkod"))
                return std::string(key);
            std::string substance;
            ReadByOrder(SubstanceTable(), row.Aux, substance);
            const bool ok = DbStatus == 0;
            DbStatus = 0;
            return ok ? ContinuedSubstanceName(substance, row.Aux) : std::string(key);
        }
        case 3:
            return !cell.empty() && static_cast<unsigned char>(cell[0]) >= '1'
                       ? DataSetText("Zvk", cell.substr(0, 1))
                       : std::string();
        case 4: {
            if (cell.empty())
                return {};
            const std::string text = LookupCopText(cell);
            if (!text.empty() && text[0] != '!')
                return text;
            if (row.Offer2 <= 0 || !OpenSubstanceTable("kkkod"))
                return {};
            std::string substance;
            ReadRecord(SubstanceTable().dat, row.Offer2, substance);
            const bool ok = DbStatus == 0;
            DbStatus = 0;
            return ok ? DopingShortText(substance, 0) : std::string();
        }
        default: return std::string(key);
        }
    }
    case InfoKind::HeadingHint: return ProgramText("Slozeni", "v" + std::to_string(sub));
    case InfoKind::Control: {
        const char button = key.empty() ? ' ' : key[0];
        const auto state = static_cast<uint16_t>(row.Pos);
        if (button == 'M') {
            const char b = static_cast<char>('0' + (state & 1));
            switch (sub) {
            case 0: return ProgramText("Cudl", "mcot") + "\r" + ProgramText("Cudl", std::string("mcot") + b);
            case 1: return ProgramText("Cudl", std::string("mco") + b);
            case 2: return (state & 1) != 0 ? "D" : "";
            default: return {};
            }
        }
        if (button == '&')
            return ButtonHintText('&', 0, false);
        if (button == ' ')
            return {};
        return sub <= 1 ? ButtonHintText(button, sub, row.Pos != 0) : std::string();
    }
    default: return {};
    }
}

// ------------------------------------------------------------------ opener

TVyb* OpenCompositionList(uint16_t code)
{
    const char letter = KindLetters(code)[2];
    ListWindowSpec w;
    w.code = code;
    w.geometry = CompileColumnLayout("KomMnJ=11Naz=77Zav=01Dop=03.", ColumnWidthTableOf(kKlcLayout),
                                     "Kom,MnJ,Naz,Zav,Dop");
    w.order = "2/72,1,0,3,4,2";
    w.icon = "ILSl";
    w.helpKeyword = "SloSyn";
    w.links = {LinkKind::Drug, LinkKind::None, LinkKind::Substance};
    w.needsValue = true;
    w.reposition = true;
    w.letter = letter;
    w.count = 40;
    w.buttonState = 16;
    w.buttonStateM = DefaultCompositionFilter();
    w.options = 0x80;
    w.maxTyped = 0;
    w.editKind = '-';
    w.buttons = "?M=*";
    std::shared_ptr<ListSource> source;
    switch (letter) {
    case 'N':
        w.caption = ProgramText("Slozeni", "nsn");
        w.header = std::string(1, '\0') + ProgramText("Slozeni", "hs");
        w.buttonState = 128;
        source = std::make_shared<CompositionList>('N');
        break;
    case 'S':
        w.caption = ProgramText("Slozeni", "nss");
        w.header = std::string(1, '\0') + ProgramText("Slozeni", "hss");
        source = std::make_shared<CompositionSynonymList>();
        break;
    default:
        w.caption = ProgramText("Slozeni", "ns");
        w.header = std::string(1, '\0') + ProgramText("Slozeni", "hs");
        source = std::make_shared<CompositionList>('D');
        break;
    }
    return OpenListWindow(w, source);
}
