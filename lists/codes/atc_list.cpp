#include "lists/codes/atc_list.h"

#include <QIcon>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/sign_sets.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/windows/data_form.h"
#include "lists/codes/code_lists.h"
#include "lists/drugs/drug_lists.h"
#include "lists/search/similar_search.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr TableNames kCzechAtc{"atc", "atckod", "atcnaz"};
constexpr TableNames kEnglishAtc{"atca", "atckoda", "atcnaza"};

// Button E's action.
constexpr ListAction kButtonE = ListAction::ShiftF2;

// A name order asks for similar names below this many rows.
constexpr int32_t kRareNameRows = 40;

// Hits was built for bit 0 of ButtonState (bit 0) on the name index (bit 1);
// bit 2 marks a build.
constexpr int16_t kHitsBuilt = 4;
constexpr int16_t kHitsOnNames = 2;

bool IsNameOrder(char letter)
{
    return letter == 'N' || letter == 'n';
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// The row text's code (characters 2-8) without trailing blanks.
std::string CodeOfRowText(std::string_view text)
{
    return std::string(TrimBlanks(text.size() > 1 ? text.substr(1, kAtcCode.length) : std::string_view()));
}

// Loads the signs of "atc.sgn" for the table's records; 0 when they are there.
int LoadAtcSigns(const TDbTable& table)
{
    TSignSetArray& sets = SignSets();
    if (sets.Find("atc", "noEmpty") < 0)
        return SignSetStatus::NoGroup;
    return LoadSignSets(sets, DataDir(), "atc", table.dat.count - 1);
}

} // namespace

// ---------------------------------------------------------------- the filter

bool BuildAtcFilter(TBits& hits, uint16_t buttonState, TDbTable& table)
{
    const int32_t records = table.dat.count - 1;
    BitsInitAll(hits, records);
    if ((buttonState & 1) == 0)
        return true;
    if (LoadAtcSigns(table) != 0)
        return false;
    const TSignSetArray& sets = SignSets();
    const TSignSet set = sets.Copy(static_cast<size_t>(sets.Find("atc", "noEmpty")));
    BitsRestrictToTable(hits, set.bits, table);
    return true;
}

// ------------------------------------------------------------------ the list

AtcList::AtcList(std::function<void()> openGroup, std::string searchWords)
    : searchWords_(std::move(searchWords)), openGroup_(std::move(openGroup))
{}

bool AtcList::Open(char letter)
{
    const TableNames& names = CurrentNames(kCzechAtc, kEnglishAtc);
    // The codes follow the table of the language in use.
    if (codesTable_ != names.table && !LoadCodes())
        return false;
    DbStatus = 0;
    OpenTable(table_, TFileId(names.table), TFileId(IsNameOrder(letter) ? names.nameIndex : names.codeIndex),
              static_cast<uint16_t>(kAtcLayout.Length()));
    return DbStatus == 0 && table_.sez.IsOpen();
}

bool AtcList::LoadCodes()
{
    const TableNames& names = CurrentNames(kCzechAtc, kEnglishAtc);
    TDbTable& t = table_;
    DbStatus = 0;
    OpenTable(t, TFileId(names.table), TFileId(names.codeIndex), static_cast<uint16_t>(kAtcLayout.Length()));
    if (DbStatus != 0 || !t.sez.IsOpen())
        return false;
    std::vector<std::string> codes;
    const int32_t n = t.LeafCount();
    codes.reserve(static_cast<size_t>(std::max(0, n)));
    for (int32_t p = 0; p < n; ++p) {
        ReadByOrder(t, p, record_);
        if (DbStatus != 0)
            return false;
        codes.emplace_back(TrimBlanks(FieldBytes(record_, kAtcCode)));
    }
    codes_ = std::move(codes);
    codesTable_ = names.table;
    shownValid_ = false;
    return true;
}

namespace {

// `s` blank-padded or cut to n characters.
std::string Fixed(std::string_view s, size_t n)
{
    std::string out(s.substr(0, std::min(s.size(), n)));
    out.resize(n, ' ');
    return out;
}

// Row text length: status, code 8, Act, name 152, Rez, the tree marker and
// the tree column.
constexpr size_t kRowLength = 1 + 8 + 1 + 152 + 1 + 1 + 4;

} // namespace

std::string AtcList::RowText(std::string_view record, const std::vector<uint16_t>* filter,
                             int32_t codePosition) const
{
    std::string text(1, '\0');
    text.reserve(kRowLength);
    text += Fixed(FieldBytes(record, kAtcCode), 8);
    text += FieldByte(record, kAtcActive) != ' ' ? '*' : ' ';
    text += Fixed(FieldBytes(record, kAtcName), kAtcName.length);
    text += Fixed(FieldBytes(record, kAtcNameRest), kAtcNameRest.length);
    text += FieldByte(record, kAtcRez);
    text += '\xFF';
    text += filter != nullptr ? TreeColumn(codes_, *filter, codePosition) : std::string(4, ' ');
    return text;
}

std::string AtcList::WordRowText(std::string_view wordFile, int32_t entry)
{
    std::string text = "%" + Fixed(ProgramText("VybPom", "sMys"), 7) + "  ";
    const size_t at = static_cast<size_t>(WordEntryPosition(entry));
    if (at >= 1 && at <= wordFile.size())
        text += Fixed(wordFile.substr(at - 1, 99), 99);
    // The line feed (or the file's end) closes the word: the flag character
    // before it is shown as "?".
    for (size_t i = 7; i < text.size(); ++i) {
        if (static_cast<uint8_t>(text[i]) < 32) {
            text[i - 1] = '?';
            std::fill(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(), ' ');
            break;
        }
    }
    text.resize(kRowLength, ' ');
    return text;
}

std::string AtcList::WordOfRow(std::string_view rowText)
{
    std::string word(rowText.size() > 10 ? rowText.substr(10, 29) : std::string_view());
    while (!word.empty() && static_cast<uint8_t>(word.back()) < 33)
        word.pop_back();
    if (!word.empty() && word.back() == '?')
        word.pop_back();
    if (!word.empty() && word.back() == ' ')
        word.pop_back();
    return word;
}

bool AtcList::EnsureHits(VybRec& rec)
{
    const auto key = static_cast<int16_t>(kHitsBuilt | (rec.ButtonState & 1) |
                                          (IsNameOrder(rec.Letter) ? kHitsOnNames : 0));
    if (!hits_.empty() && hitsKey_ == key)
        return true;
    if (!BuildAtcFilter(hits_, rec.ButtonState, table_))
        return false;
    hitsKey_ = key;
    shownValid_ = false;
    Recount(rec);
    return true;
}

const TBits& AtcList::Shown(const VybRec& rec)
{
    if (rec.Letter != 'c')
        return hits_;
    if (!shownValid_) {
        shown_ = hits_;
        for (size_t i = 0; i < shown_.size(); ++i) {
            const size_t word = i / 2;
            const uint16_t w = word < tree_.size() ? tree_[word] : 0;
            shown_[i] &= static_cast<uint8_t>(i % 2 == 0 ? w & 0xFF : w >> 8);
        }
        shownValid_ = true;
    }
    return shown_;
}

void AtcList::Recount(VybRec& rec)
{
    rec.Count = static_cast<int32_t>(BitsCount(Shown(rec), rec.RangeFirst, rec.RangeLast));
}

bool AtcList::SuggestSimilar(VybRec& rec)
{
    if (!IsNameOrder(rec.Letter) || rec.Count >= kRareNameRows)
        return false;
    const TypedRange range{rec.Prefix,     rec.Whisper,   rec.ButtonState, rec.Count, rec.Strict(),
                           rec.RangeFirst, rec.RangeLast, rec.TopPos,      &hits_};
    std::vector<int32_t> similar = SimilarAtcSearch(CachedWordFile("atcnaz.slw"), range, table_);
    if (similar.empty())
        return false;
    similar_ = std::move(similar);
    rec.Count = static_cast<int32_t>(similar_.size());
    walksSimilar_ = true;
    rec.FoundPos = 0;
    rec.TopPos = 0;
    return true;
}

void AtcList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    const bool tree = rec.Letter == 'c';
    if (tree && tree_.empty())
        return;
    if (!Open(rec.Letter) || !EnsureHits(rec))
        return;
    TDbTable& t = table_;
    if (tree && tree_.size() != codes_.size() / 16 + 1) {
        // Another language's table of another size: start its tree afresh.
        tree_ = TopLevelFilter(codes_);
        shownValid_ = false;
    }
    const int32_t last = t.LeafCount() - 1;
    int32_t p = -1;
    int step = 1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        walksSimilar_ = false;
        similar_.clear();
        FindRecord(t, rec.Prefix, record_);
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar) {
            rec.Count = 0;
            return;
        }
        DbStatus = 0;
        const int32_t found = t.Position();
        InitFetchRange(rec, t);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        seeded_ = true;
        Recount(rec);
        if (SuggestSimilar(rec)) {
            DeliverSimilar(rec, row, text, 0, 1);
            return;
        }
        if (rec.Strict()) {
            rec.FoundPos = found;
            rec.TopPos = 0;
        } else {
            // The thumb counts the rows shown above the found one.
            rec.FoundPos = 0;
            rec.TopPos = static_cast<int32_t>(BitsCount(Shown(rec), 0, found - 1));
        }
        p = found;
    } else if (walksSimilar_) {
        if (FetchWalkStart(rec, 0, static_cast<int32_t>(similar_.size()) - 1, rec.FoundPos + rec.TopPos, p,
                           step))
            DeliverSimilar(rec, row, text, p, step);
        return;
    } else {
        if (!seeded_) {
            rec.RangeFirst = 0;
            rec.RangeLast = last;
            seeded_ = true;
        }
        const bool thumb = rec.FetchMode == FetchModeCode::AtTopPos && rec.TopPos > 0;
        const int32_t atTop =
            thumb ? static_cast<int32_t>(BitsNth(Shown(rec), rec.FoundPos, rec.TopPos)) : rec.FoundPos;
        if (!FetchWalkStart(rec, rec.RangeFirst, rec.RangeLast, atTop, p, step))
            return;
        if (rec.FetchMode == FetchModeCode::First)
            rec.TopPos = 0;
    }
    const int32_t lo = std::max(0, rec.RangeFirst);
    const int32_t hi = std::min(last, rec.RangeLast);
    const TBits& shown = Shown(rec);
    for (; p >= lo && p <= hi; p += step) {
        if (!BitTest(shown, p))
            continue;
        ReadByOrder(t, p, record_);
        if (DbStatus != 0)
            return;
        row.Pos = p;
        row.Aux = t.recNo;
        row.Offer1 = t.recNo;
        row.Offer2 = 0;
        text = RowText(record_, tree ? &tree_ : nullptr, p);
        return;
    }
}

void AtcList::DeliverSimilar(VybRec& rec, TVybRow& row, std::string& text, int32_t p, int step)
{
    const auto n = static_cast<int32_t>(similar_.size());
    for (; p >= 0 && p < n; p += step) {
        const int32_t entry = similar_[static_cast<size_t>(p)];
        if (IsWordEntry(entry)) {
            row.Pos = p;
            row.Aux = 0;
            row.Offer1 = entry;
            row.Offer2 = 0;
            text = WordRowText(CachedWordFile("atcnaz.slw"), entry);
            return;
        }
        ReadRecord(table_.dat, entry, record_);
        if (DbStatus != 0)
            return;
        row.Pos = p;
        row.Aux = entry;
        row.Offer1 = entry;
        row.Offer2 = 0;
        text = RowText(record_, nullptr, -1);
        return;
    }
}

int32_t AtcList::CurrentCodePosition(const VybRec& rec) const
{
    if (rec.CurRow < 1 || rec.CurRow > rec.RowCount)
        return -1;
    const TVybRow& row = rec.Rows[rec.CurRow];
    if (row.Pos < 0 || IsWordEntry(row.Offer1))
        return -1;
    return AtcCodePosition(codes_, CodeOfRowText(row.Text));
}

ListAction AtcList::TreeKeyOnCurrentRow(VybRec& rec, char key, ListAction action)
{
    if (!ApplyTreeKey(codes_, tree_, CurrentCodePosition(rec), key, rec.Prefix))
        return action;
    shownValid_ = false;
    if (key != '+' && key != '-')
        return action;
    Recount(rec);
    return ListAction::RefillInPlace;
}

// A code typed in the tree shows its entry: the levels leading to it and its
// own next level.
void AtcList::RevealTyped(VybRec& rec)
{
    if (rec.Prefix.empty())
        return;
    const auto it = std::lower_bound(codes_.begin(), codes_.end(), rec.Prefix);
    if (it == codes_.end() || !StartsWith(*it, rec.Prefix))
        return;
    RevealEntry(codes_, tree_, static_cast<int32_t>(it - codes_.begin()));
    shownValid_ = false;
}

ListAction AtcList::PrefixChanged(VybRec& rec)
{
    char key = 0;
    bool keyTyped = false;
    if (rec.Letter == 'c' && !rec.Prefix.empty()) {
        const char last = rec.Prefix.back();
        if (!((last >= '0' && last <= '9') || (last >= 'A' && last <= 'Z'))) {
            key = TreeKeyOfTyped(last);
            keyTyped = true;
            rec.Prefix.pop_back();
        }
    }
    rec.Letter = AtcOrderLetter(rec.Prefix, rec.Letter);
    if (rec.Letter != 'c')
        return ListAction::PrefixChanged;
    if (key != 0)
        return TreeKeyOnCurrentRow(rec, key, ListAction::PrefixChanged);
    if (!keyTyped)
        RevealTyped(rec);
    return ListAction::PrefixChanged;
}

ListAction AtcList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Tab:
        if (rec.Prefix.size() > 1)
            return action;
        switch (rec.Letter) {
        case 'C': rec.Letter = 'N'; break;
        case 'N': rec.Letter = 'C'; break;
        case 'c': rec.Letter = 'n'; break;
        case 'n': rec.Letter = 'c'; break;
        default: break;
        }
        return ListAction::PrefixChanged;
    case ListAction::Enter:
    case ListAction::RowClicked: {
        if (rec.CurRow < 1 || rec.CurRow > rec.RowCount || rec.Rows[rec.CurRow].Pos < 0)
            return action;
        const TVybRow& row = rec.Rows[rec.CurRow];
        if ((static_cast<uint32_t>(row.Offer1) & kSimilarWordEntry) != 0) {
            rec.Prefix = WordOfRow(row.Text);
            return ListAction::PrefixChanged;
        }
        if (IsWordEntry(row.Offer1))
            return action;
        if (openGroup_)
            openGroup_();
        return ListAction::None;
    }
    case kButtonE:
        rec.ButtonState ^= 1;
        return IsNameOrder(rec.Letter) ? ListAction::PrefixChanged : ListAction::RefillInPlace;
    case ListAction::PrefixChanged: return PrefixChanged(rec);
    case ListAction::Left:
    case ListAction::Right:
        if (rec.Letter != 'c')
            return action;
        TreeKeyOnCurrentRow(rec, action == ListAction::Left ? '<' : '>', action);
        return ListAction::PrefixChanged;
    case ListAction::TreeShowLevel:
    case ListAction::TreeHideLevel:
        // A click on a tree symbol.
        if (rec.Letter != 'c')
            return ListAction::None;
        return TreeKeyOnCurrentRow(rec, static_cast<char>(action), action);
    case ListAction::TreeToggled:
        if (rec.Letter == 'c')
            RevealTyped(rec);
        shownValid_ = false;
        return action;
    default: return action;
    }
}

std::string AtcList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint:
        if ((static_cast<uint32_t>(row.Offer1) & kSimilarWordEntry) != 0)
            return ProgramText("VybPom", "hMys") + WordOfRow(row.Text);
        if ((static_cast<uint32_t>(row.Offer1) & kHiddenWordEntry) != 0)
            return ProgramText("VybPom", "hFlt");
        if (sub == 1)
            return ProgramText("VybPom", TrimBlanks(key).empty() ? "va1_" : "va1");
        return std::string(key);
    case InfoKind::HeadingHint: return ProgramText("VybPom", "va" + std::to_string(sub));
    case InfoKind::Control: {
        if (key != "E")
            return SharedButtonInfo(sub, row, key);
        const char state = (row.Pos & 1) != 0 ? '1' : '0';
        switch (sub) {
        case 0: return ProgramText("Cudl", "exdt") + "\r" + ProgramText("Cudl", std::string("exdt") + state);
        case 1: return ProgramText("Cudl", std::string("exd") + state);
        case 2: return (row.Pos & 1) != 0 ? "d" : "";
        default: return {};
        }
    }
    default: return {};
    }
}

std::string_view AtcList::CheckTables()
{
    if (!Open('C'))
        return "NoData";
    if (LoadAtcSigns(table_) != 0)
        return "ErrSgn";
    CachedWordFile("atcnaz.slw");
    return {};
}

void AtcList::Start(VybRec& rec)
{
    rec.Count = static_cast<int32_t>(codes_.size());
    tree_ = TopLevelFilter(codes_);
}

// ------------------------------------------------------------------ openers

ListWindowSpec AtcListSpecOf(const AtcListWindowSpec& spec)
{
    ListWindowSpec w;
    w.code = spec.code;
    w.caption = ProgramText("VybPom", "na");
    w.geometry = CompileColumnLayout(spec.rowLayout, ColumnWidthTableOf(kAtcLayout), spec.columnNames);
    w.order = spec.columnOrder;
    w.header = std::string(1, '\0') + ProgramText("VybPom", "ha") + "\xFF----";
    w.maxTyped = 64;
    w.editKind = 'A';
    w.buttons = spec.buttons;
    w.icon = "IATC";
    w.helpKeyword = spec.helpKeyword;
    w.links = {LinkKind::None, LinkKind::AtcGroup, LinkKind::None};
    w.letter = 'C';
    w.buttonState = Config().Read([](const ConfigValues& v) { return static_cast<uint16_t>(v.AtcFilter); });
    w.options = spec.prefix.empty() ? 0x80 : 0;
    w.prefix = spec.prefix;
    return w;
}

TVyb* OpenAtcListWindow(const AtcListWindowSpec& spec)
{
    return OpenListWindow(AtcListSpecOf(spec), std::make_shared<AtcList>(spec.openGroup, spec.searchWords));
}

void OpenAtcList(uint16_t code, std::string_view prefix)
{
    AtcListWindowSpec spec;
    spec.code = code;
    spec.prefix = std::string(prefix);
    spec.openGroup = [] { OpenDrugSubList(KindOf("DAT"), LinkKind::AtcGroup); };
    OpenAtcListWindow(spec);
}
