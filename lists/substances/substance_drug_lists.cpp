// The drugs of a substance ("klc" by "klckomp", each entry's drug from
// "kl") and the drugs of a full-text search result.

#include "lists/substances/substance_drug_lists.h"

#include <algorithm>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/drug_row.h"
#include "datastore/kamenici.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "lists/substances/substance_lists.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr size_t kAmountWidth = 10;
constexpr size_t kWordsWidth = 16;
// The text-found row keeps the drug row up to its flags column, whose
// place the words take.
constexpr size_t kWordsAt = 239;
constexpr size_t kAmountHeaderAt = 245;
constexpr size_t kWordsHeaderAt = 239;

bool OpenSubstanceEntries()
{
    DbStatus = 0;
    OpenTable(AtcTable, TFileId("klc"), TFileId("klckomp"), kKlcLayout.Length());
    return DbStatus == 0 && AtcTable.sez.IsOpen();
}

bool OpenDrugs()
{
    DbStatus = 0;
    OpenTable(MainTable, TFileId("kl"), TFileId("klkod"), kKlLayout.Length());
    return DbStatus == 0 && MainTable.sez.IsOpen();
}

uint16_t DefaultFilterWord()
{
    return Config().Read([](const ConfigValues& v) { return v.FilterFlags; });
}

// A text written into `header` from `at` on, the header blank-filled to it.
void WriteAt(std::string& header, size_t at, std::string_view text)
{
    if (header.size() < at)
        header.resize(at, ' ');
    header.replace(at, std::min(text.size(), header.size() - at), text);
    if (header.size() < at + text.size())
        header += text.substr(header.size() - at);
}

// The geometry of a drug list whose last column `Cla` is replaced
// (`replaceFlags`) or followed by a column of its own.
std::string ExtraColumnGeometry(const DrugColumnSet& set, std::string_view code, int width, bool replaceFlags)
{
    std::string layout(set.rowLayout);
    std::string names(set.names);
    const std::string column = std::string(code) + (code.size() < 3 ? " " : "") + "=" + std::to_string(width);
    if (replaceFlags) {
        layout.replace(layout.rfind("Cla=06"), 6, column);
        names.replace(names.rfind("Cla"), 3, code);
    } else {
        layout += column;
        names += ",";
        names += code;
    }
    layout += '.';
    return CompileColumnLayout(layout, DrugColumnWidthTable(), names);
}

std::string ExtraColumnNames(const DrugColumnSet& set, std::string_view code, bool replaceFlags)
{
    std::string names(set.names);
    if (replaceFlags)
        names.replace(names.rfind("Cla"), 3, code);
    else
        names += "," + std::string(code);
    return names;
}

} // namespace

std::string SubstanceAmountText(std::string_view entry)
{
    const char state = FieldByte(entry, kCompositionState);
    std::string text(1, state == 'C' || state == 'X' ? ' ' : state);
    std::string amount(FieldBytes(entry, kCompositionAmount));
    amount.resize(6, ' ');
    text += amount;
    text += ' ';
    std::string unit(FieldBytes(entry, kCompositionUnit));
    unit.resize(2, ' ');
    text += unit;
    return text;
}

std::string FoundWordsText(const text_search::SearchWords& words, uint8_t foundBits)
{
    std::string text;
    for (size_t i = 0; i < words.word.size(); ++i)
        if ((foundBits & (1u << i)) != 0 && !words.word[i].empty())
            text += std::string(TrimRightBlanks(words.word[i])) + " ";
    text.resize(kWordsWidth, ' ');
    return text;
}

// ------------------------------------------------------ drugs of a substance

std::string_view SubstanceDrugList::CheckTables()
{
    if (!OpenSubstanceEntries() || !OpenDrugs() || !OpenSubstanceTable("kkkod"))
        return "NoData";
    return LoadDrugSigns() ? std::string_view() : "ErrSgn";
}

void SubstanceDrugList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenSubstanceEntries() || !OpenDrugs()) {
        ReportNoData();
        return;
    }
    TDbTable& t = AtcTable;
    std::string entry;
    int32_t p = -1;
    int step = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
    case FetchModeCode::First:
        if (rec.Prefix.empty())
            return;
        if (!SeekFetchStart(rec, t, entry, p, [this] { ReportNoData(); }))
            return;
        break;
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before:
        p = rec.Rows[1].Pos - 1;
        step = -1;
        break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last:
        p = rec.RangeLast;
        step = -1;
        break;
    case FetchModeCode::AtTopPos:
        p = rec.FoundPos + rec.TopPos;
        step = -1;
        break;
    default: return;
    }
    std::string drug;
    for (; p >= 0 && p < t.LeafCount(); p += step) {
        ReadByOrder(t, p, entry);
        if (DbStatus != 0 || FieldBytes(entry, kCompositionSubstance) != rec.Prefix) {
            DbStatus = 0;
            return;
        }
        const char state = FieldByte(entry, kCompositionState);
        if ((rec.ButtonStateM & 1) != 0 && state != 'L' && state != 'O')
            continue;
        FindRecord(MainTable, FieldBytes(entry, kCompositionDrug), drug);
        const bool found = DbStatus == 0;
        DbStatus = 0;
        row.Pos = p;
        row.Offer1 = 0;
        if (!found) {
            // A row whose drug cannot be read offers nothing.
            text.assign(1, '\x18');
            text += ProgramText("VybLek", "LekKod");
            row.Aux = -1;
            row.Offer2 = 0;
            FetchWorked();
            return;
        }
        const int32_t recNo = MainTable.recNo;
        if (RecordExcluded(drug, recNo, rec.ButtonState))
            continue;
        row.Aux = MainTable.Position();
        row.Offer2 = recNo;
        FormatRecordLine(drug, recNo, true, text, true, !ActiveDrugColumns().split);
        text.resize(kDrugRowLayout.Length(), ' ');
        text += SubstanceAmountText(entry);
        FetchWorked();
        return;
    }
}

ListAction SubstanceDrugList::React(VybRec& rec, ListAction action)
{
    static constexpr uint16_t kFilterBits[] = {0x10, 0x40, 0x20, 0x80};
    if (const char item = PopupItemOf(action, 'D'); item >= '0' && item <= '3') {
        rec.ButtonState ^= kFilterBits[item - '0'];
        return ListAction::Refill;
    }
    if (const char item = PopupItemOf(action, 'S'); item >= '0' && item <= '2') {
        static constexpr uint16_t kSortStates[] = {0, 8, 4};
        const uint16_t state = kSortStates[item - '0'];
        const auto kept = static_cast<uint16_t>(rec.ButtonState & 0xFFF0);
        rec.ButtonState = (rec.ButtonState & 0x0F) == state ? kept : static_cast<uint16_t>(kept | state);
        return ListAction::Refill;
    }
    switch (action) {
    case ListAction::ShiftF4: rec.ButtonState ^= 0x100; return ListAction::Refill;
    case ListAction::ShiftF5: {
        const auto list = SignListSnapshot();
        if (!list || !list->active)
            return ListAction::None;
        rec.ButtonState ^= 0x200;
        return ListAction::Refill;
    }
    case ListAction::ShiftF6: rec.ButtonStateM ^= 1; return ListAction::Refill;
    case ListAction::Reposition: {
        std::string record;
        if (rec.LinkValue > 0 && OpenSubstanceTable("kkkod")) {
            ReadRecord(SubstanceTable().dat, rec.LinkValue, record);
            if (DbStatus == 0) {
                rec.Prefix = std::string(FieldBytes(record, kSubstanceCode));
                rec.IconCaption = KamLowerText(FieldBytes(record, kSubstanceName).substr(0, 8));
                rec.StatusText = rec.Prefix + " " + std::string(TrimBlanks(SubstanceName(record)));
            }
        }
        DbStatus = 0;
        rec.GridRows = 0;
        return ListAction::None;
    }
    case ListAction::RowClicked: return ListAction::Enter;
    default: return DrugList::React(rec, action);
    }
}

TVyb* OpenSubstanceDrugList(uint16_t code)
{
    const DrugColumnSet& set = ActiveDrugColumns();
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybLek", "nX");
    w.geometry = ExtraColumnGeometry(set, "Mn", static_cast<int>(kAmountWidth), false);
    w.order = ColumnNamesToOrder(ExtraColumnNames(set, "Mn", false),
                                 set.split ? "Kod/18,Naz/42,Sil/33,LFo/27,Bal/"
                                             "21,Mn,ATC,SR,Ob,Drz,ZeD,VP,Uh,Cla,Naz/66,TR/3,DP,NV,Zav,Sil,TR,"
                                             "Naz,InS,LFo,Bal,Ex,DD,DDB,RC/40,EAN,Bra,RC/60"
                                           : "Kod/18,Naz/42,Dop/24,Mn,ATC,SR,Ob,Drz,ZeD,VP,Uh,Cla,Naz/66,TR/"
                                             "3,DP,NV,Zav,Dop,TR,Naz,InS,Ex,DD,"
                                             "DDB,RC/40,EAN/18,Bra,RC/60");
    w.header = DrugListHeader(set, 'X');
    WriteAt(w.header, kAmountHeaderAt, ProgramText("VybLek", "hdrl"));
    w.icon = "IKLek";
    w.helpKeyword = "LekLat";
    w.links = {LinkKind::Substance, LinkKind::None, LinkKind::Drug};
    w.needsValue = true;
    w.reposition = true;
    w.letter = 'X';
    w.count = 40;
    w.buttonState = static_cast<uint16_t>(DefaultFilterWord() | 0x80);
    w.buttonStateM =
        static_cast<uint16_t>(Config().Read([](const ConfigValues& v) { return v.CompositionFilter; }) & 1);
    w.options = 0x80;
    w.maxTyped = 0;
    w.editKind = '-';
    w.buttons = "?SD1UM=*";
    w.placement = ListPlacement::MaximisedUnderMain;
    return OpenListWindow(w, std::make_shared<SubstanceDrugList>());
}

// ------------------------------------------------------------- text found

TextFoundList::TextFoundList(TextSearchResult result) : DrugList('0'), result_(std::move(result))
{}

char TextFoundList::LetterOf(char family)
{
    static constexpr std::string_view kFamilies = "kELS";
    const size_t at = kFamilies.find(family);
    return static_cast<char>('0' + (at == std::string_view::npos ? 0 : at));
}

std::string TextFoundList::WordsLine() const
{
    std::string line;
    for (const std::string& word : result_.words.word) {
        const std::string_view w = TrimRightBlanks(word);
        if (w.empty())
            continue;
        if (!line.empty())
            line += ", ";
        line += w;
    }
    return line.substr(0, std::min<size_t>(line.size(), 80));
}

std::string TextFoundList::SearchWords() const
{
    std::string block(5 * 41, '\0');
    for (size_t i = 0; i < 5 && i < result_.words.word.size(); ++i) {
        const std::string& word = result_.words.word[i];
        const size_t n = std::min<size_t>(word.size(), 40);
        block[i * 41] = static_cast<char>(n);
        block.replace(i * 41 + 1, n, word.substr(0, n));
    }
    return block;
}

void TextFoundList::Start(VybRec& rec)
{
    rec.Count = static_cast<int32_t>(result_.entries.size());
    rec.StatusText = WordsLine();
    rec.IconCaption = KamLowerText(rec.StatusText.substr(0, std::min<size_t>(rec.StatusText.size(), 8)));
}

std::string TextFoundList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    // The words take the flags column's number.
    constexpr int kWordsColumn = 24;
    const int column = ActiveDrugColumns().split || sub <= 2 ? sub : sub + 2;
    if (column == kWordsColumn && kind == InfoKind::CellHint)
        return std::string(key);
    if (column == kWordsColumn && kind == InfoKind::HeadingHint)
        return ProgramText("VybLek", "hdrt");
    return DrugList::Info(kind, sub, row, key);
}

std::string_view TextFoundList::CheckTables()
{
    if (!OpenDrugs())
        return "NoData";
    return LoadDrugSigns() ? std::string_view() : "ErrSgn";
}

void TextFoundList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenDrugs()) {
        ReportNoData();
        return;
    }
    const auto count = static_cast<int32_t>(result_.entries.size());
    int32_t p = -1;
    int step = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::Seek:
        rec.FoundPos = 1;
        rec.TopPos = 0;
        p = 1;
        break;
    case FetchModeCode::First: p = 1; break;
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before:
        p = rec.Rows[1].Pos - 1;
        step = -1;
        break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last:
        p = count;
        step = -1;
        break;
    case FetchModeCode::AtTopPos:
        p = std::clamp(rec.FoundPos + rec.TopPos, 1, std::max(1, count));
        step = -1;
        break;
    default: return;
    }
    std::string drug;
    for (; p >= 1 && p <= count; p += step) {
        const uint32_t entry = result_.entries[static_cast<size_t>(p - 1)];
        const int32_t recNo = text_search::ResultRecord(entry);
        ReadRecord(MainTable.dat, recNo, drug);
        if (DbStatus != 0) {
            DbStatus = 0;
            return;
        }
        if (rec.ButtonState != 0 && RecordExcluded(drug, recNo, rec.ButtonState))
            continue;
        FormatRecordLine(drug, recNo, false, text, true, !ActiveDrugColumns().split);
        text.resize(kWordsAt, ' ');
        text += FoundWordsText(result_.words, static_cast<uint8_t>(text_search::ResultWords(entry)));
        row.Pos = p;
        row.Aux = recNo;
        row.Offer1 = recNo;
        row.Offer2 = 0;
        FetchWorked();
        return;
    }
}

namespace {

TextSearchRunner& Runner()
{
    static TextSearchRunner runner;
    return runner;
}

} // namespace

TextSearchRunner SetTextSearchRunner(TextSearchRunner runner)
{
    TextSearchRunner old = std::move(Runner());
    Runner() = std::move(runner);
    return old;
}

TVyb* OpenTextFoundList(uint16_t code)
{
    // The signs first: a search must never end in a list that cannot open.
    if (!OpenDrugs()) {
        ShowError(ProgramText("Chyby", "NoData"));
        return nullptr;
    }
    if (!LoadDrugSigns()) {
        ShowError(ProgramText("Chyby", "ErrSgn"));
        return nullptr;
    }
    StatCount(code);
    TextSearchResult result;
    const int found = Runner() ? Runner()(result) : TTextSet::GetResult(result, false);
    if (found <= 0 || result.entries.empty())
        return nullptr;
    const char letter = TextFoundList::LetterOf(result.letter);
    auto list = std::make_shared<TextFoundList>(std::move(result));
    const DrugColumnSet& set = ActiveDrugColumns();
    ListWindowSpec w;
    w.code = code;
    w.geometry = ExtraColumnGeometry(set, "Tx", static_cast<int>(kWordsWidth), true);
    w.order = ColumnNamesToOrder(
        ExtraColumnNames(set, "Tx", true),
        set.split
            ? "Kod/18,Naz/42,Sil/33,LFo/27,Bal/21,Tx/24,ATC,SR,Ob,Drz,ZeD,VP,Uh,Naz/66,TR/"
              "3,DP,NV,Zav,Sil,Tx,TR,"
              "Naz,InS,LFo,Bal,Ex,DD,DDB,RC/40,EAN,Bra,RC/60"
            : "Kod/18,Naz/42,Dop/24,Tx/24,ATC,SR,Ob,Drz,ZeD,VP,Uh,Naz/66,TR/3,DP,NV,Zav,Dop,Tx,TR,Naz,InS,Ex,"
              "DD,DDB,RC/40,EAN/18,Bra,RC/60");
    w.header = DrugListHeader(set, '0');
    w.header.resize(std::min(w.header.size(), kWordsHeaderAt));
    WriteAt(w.header, kWordsHeaderAt, ProgramText("VybLek", "hdrt"));
    w.caption = ProgramText("VybLek", std::string("n") + letter);
    w.icon = "ILText";
    w.helpKeyword = "VybLek";
    w.links = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    w.letter = letter;
    w.buttonState = 0;
    w.buttonStateM = 0;
    w.options = 0;
    w.maxTyped = 0;
    w.editKind = '-';
    w.buttons = "?SD1U=";
    w.placement = ListPlacement::MaximisedUnderMain;
    return OpenListWindow(w, std::move(list));
}
