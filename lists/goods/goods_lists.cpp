// The non-drug goods lists: the row of a goods record, the openers, the
// fetch of the index lists, of the category list and of the text-found list,
// the command callback and the hints.

#include "lists/goods/goods_lists.h"

#include <algorithm>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/kamenici_lower.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "datastore/text_helpers.h"
#include "datastore/text_table.h"
#include "frame/commands/kind_code.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "lists/codes/code_lists.h"
#include "lists/search/similar_search.h"
#include "lists/search/text_search_engine.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/coding.h"

namespace {

constexpr uint16_t kGoodsRecordLength = kPfaLayout.Length();
constexpr const char* kGoodsWordFile = "pfanaz.slw";
// Below this many entries in the prefix's range the name list looks for
// similar spellings.
constexpr int32_t kRareNameRows = 40;
// The name column's first place in the row text (0-based, the status
// character at 0): where a suggested word is written.
constexpr size_t kNameAt = 1 + kGoodsCode.length + kGoodsHemCode.length;
constexpr size_t kWordRowLength = 255;

constexpr const char* kRowLayout = "KodEucNazDopBalVyrZemEANCen=07Cla=02.";
constexpr const char* kColumnNames = "Kod,Euc,Naz,Dop,Bal,Vyr,Zem,EAN,Cen,Cla";

// The columns of the goods lists by number.
enum GoodsColumn : uint8_t { kColMaker = 5, kColCountry = 6, kColFlags = 9 };

std::string Fixed(std::string_view s, size_t n)
{
    std::string out(s.substr(0, std::min(s.size(), n)));
    out.resize(n, ' ');
    return out;
}

// The index of the goods table a list letter walks.
const char* IndexOfLetter(char letter)
{
    switch (letter) {
    case 'K': return "pfakod";
    case 'E': return "pfaean";
    case 'N': return "pfanaz";
    case 'R': return "pfahem";
    case 'C': return "pfazem";
    case 'F': return "pfavyr";
    default: return "";
    }
}

bool OpenGoods(TDbTable& t, const char* index)
{
    DbStatus = 0;
    OpenTable(t, TFileId("pfa"), TFileId(index), kGoodsRecordLength);
    return DbStatus == 0 && t.sez.IsOpen();
}

bool OpenCategoryMembers(TDbTable& t)
{
    DbStatus = 0;
    OpenTable(t, TFileId("pfapk"), TFileId("pfapkkat"), kPfapkLayout.Length());
    return DbStatus == 0 && t.sez.IsOpen();
}

GoodsTextSearch& TextSearch()
{
    static GoodsTextSearch search = [](TextSearchResult& out) { return TTextSet::GetResult(out, true); };
    return search;
}

} // namespace

// ------------------------------------------------------------------ rows

std::string GoodsPriceCell(std::string_view price)
{
    const std::string pc = Fixed(price, 9);
    if (static_cast<unsigned char>(pc[8]) <= ' ')
        return std::string(7, ' ');
    // Whole units beyond four places would be cut: then the seven integer
    // places, without the hundredths.
    if (pc.substr(0, 3) != "   ")
        return pc.substr(0, 7);
    return pc.substr(3, 4) + "," + pc.substr(7, 2);
}

std::string GoodsRowText(std::string_view record)
{
    std::string text;
    text.reserve(kGoodsRowLength);
    for (const FieldPos& f :
         {kGoodsCode, kGoodsHemCode, kGoodsName, kGoodsSupplement, kGoodsPackage, kGoodsMaker, kGoodsCountry})
        text += Fixed(FieldBytes(record, f), static_cast<size_t>(f.length));
    std::string ean = Fixed(FieldBytes(record, kGoodsEan), kGoodsEan.length);
    if (ean[0] != ' ' && !EanValid(ean))
        ean[0] = static_cast<char>(ean[0] - 32);
    text += ean;
    text += GoodsPriceCell(FieldBytes(record, kGoodsPrice));
    const std::string_view offset = FieldBytes(record, kGoodsTextOffset);
    const std::string_view letter = FieldBytes(record, kGoodsFlagLetter);
    const bool hasText = offset.size() == 4 && static_cast<int32_t>(DecodeLE32(offset.data())) != -1;
    text += hasText && letter.size() == 2 ? static_cast<char>(DecodeLE16(letter.data()) >> 9) : ' ';
    const std::string flags = FlagLetters();
    text += FieldByte(record, kGoodsPhoto) == ' ' ? ' ' : (flags.size() >= 6 ? flags[5] : ' ');
    return text;
}

std::string LookupGoodsCountry(std::string_view code)
{
    if (code.empty() || code[0] == ' ')
        return {};
    TDbTable t;
    DbStatus = 0;
    OpenTable(t, TFileId("pfazemv"), TFileId("pfazemko"), kPfazemvLayout.Length());
    std::string record;
    if (DbStatus == 0)
        FindRecord(t, code.substr(0, kCountryCode.length), record);
    const bool found = DbStatus == 0;
    DbStatus = 0;
    if (!found)
        return std::string(code) + ProgramText("Chyby", "NotFndIn") + "\"PFAZEMV\"";
    return std::string(FieldBytes(record, kCountryName));
}

std::string GoodsList::WordRowText(std::string_view wordFile, int32_t entry)
{
    std::string text = "%" + Fixed(ProgramText("VybPom", "sMys"), kNameAt - 1);
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
    text.resize(kWordRowLength, ' ');
    return text;
}

// ---------------------------------------------------------------- columns

std::string GoodsListGeometry()
{
    return CompileColumnLayout(kRowLayout, ColumnWidthTableOf(kPfaLayout), kColumnNames);
}

std::string GoodsListOrder(char letter)
{
    switch (letter) {
    case 'K': return "9,0,2/120,3/78,4/21,5,6,8,9,7/15,4/42,1,2,3,7,4";
    case 'E': return "9,7,2/120,3/78,4/21,5,6,8,9,0,4/42,1,2,3,4";
    case 'R': return "9,1,2/120,3/78,4/21,5,6,8,9,0,7/15,4/42,7,2,3,4";
    default: return "9,2/120,3/78,4/21,5,6,8,9,7/15,0,4/42,1,7,2,3,4";
    }
}

std::string GoodsListHeader()
{
    return std::string(1, '\0') + ProgramText("VybPFA", "hdr");
}

// ------------------------------------------------------------------ walk

bool GoodsList::OpenIndex()
{
    if (letter_ == 'A')
        return OpenCategoryMembers(table_);
    return OpenGoods(table_, IndexOfLetter(letter_));
}

void GoodsList::ReportNoData()
{
    if (noDataShown_)
        return;
    noDataShown_ = true;
    ShowError(ProgramText("Chyby", "NoData"));
}

std::string_view GoodsList::CheckTables()
{
    if (letter_ == 'N')
        (void)CachedWordFile(kGoodsWordFile);
    if (!OpenIndex())
        return "NoData";
    if (letter_ == 'A' && !OpenGoods(goods_, "pfakod"))
        return "NoData";
    return {};
}

bool GoodsList::SeekPrefix(VybRec& rec, int32_t& found)
{
    walksSimilar_ = false;
    similar_.clear();
    std::string record;
    FindRecord(table_, rec.Prefix, record);
    if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar) {
        rec.Count = 0;
        return false;
    }
    const bool matched = DbStatus != DbCode::NotExact;
    found = table_.Position();
    rec.FoundPos = rec.Strict() ? found : 0;
    rec.TopPos = rec.Strict() ? 0 : found;
    InitFetchRange(rec, table_);
    if (DbStatus > 0)
        return false;
    DbStatus = 0;
    // A strict prefix no key begins with (one sorting past the last key
    // included) has an empty range.
    if (rec.Strict() && !rec.Prefix.empty() && !matched) {
        rec.RangeLast = rec.RangeFirst - 1;
        rec.Count = 0;
    }
    return true;
}

bool GoodsList::SuggestSimilar(VybRec& rec)
{
    if (letter_ != 'N' || rec.Count >= kRareNameRows || rec.Prefix.empty())
        return false;
    const std::string& words = CachedWordFile(kGoodsWordFile);
    if (words.empty() || !OpenGoods(names_, "pfanaz"))
        return false;
    const TypedRange range{rec.Prefix,     rec.Whisper,   0,          rec.Count, rec.Strict(),
                           rec.RangeFirst, rec.RangeLast, rec.TopPos, nullptr};
    // Every position of the range is a goods row: no filter to pass.
    TBits all;
    BitsInitAll(all, table_.LeafCount());
    TypedRange withAll = range;
    withAll.hits = &all;
    std::vector<int32_t> found = SimilarGoodsSearch(words, withAll, table_, names_);
    DbStatus = 0;
    if (found.empty())
        return false;
    similar_ = std::move(found);
    rec.Count = static_cast<int32_t>(similar_.size());
    rec.FoundPos = 0;
    rec.TopPos = 0;
    walksSimilar_ = true;
    return true;
}

void GoodsList::FetchSimilar(VybRec& rec, TVybRow& row, std::string& text)
{
    const auto n = static_cast<int32_t>(similar_.size());
    int32_t p = 0;
    int step = 1;
    if (rec.FetchMode != FetchModeCode::Seek &&
        !FetchWalkStart(rec, 0, n - 1, rec.FoundPos + rec.TopPos, p, step))
        return;
    if (p < 0 || p >= n)
        return;
    const int32_t entry = similar_[static_cast<size_t>(p)];
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p;
    if (IsWordEntry(entry)) {
        // A word is no record for the windows that follow: it offers nothing.
        text = WordRowText(CachedWordFile(kGoodsWordFile), entry);
        row.Pos = p;
        row.Aux = entry;
        row.Offer1 = 0;
        row.Offer2 = 0;
        return;
    }
    std::string record;
    ReadRecord(table_.dat, entry, record);
    if (DbStatus != 0)
        return;
    text = std::string(1, '\0') + GoodsRowText(record);
    row.Pos = p;
    row.Aux = entry;
    row.Offer1 = entry;
    row.Offer2 = 0;
}

void GoodsList::CategoryRow(std::string_view entry, int32_t pos, TVybRow& row, std::string& text)
{
    row.Pos = pos;
    row.Aux = 0;
    row.Offer1 = 0;
    row.Offer2 = 0;
    std::string goods;
    const int32_t saved = DbStatus;
    bool found = OpenGoods(goods_, "pfakod");
    if (found) {
        FindRecord(goods_, FieldBytes(entry, kArticleGoods), goods);
        found = DbStatus == 0;
    }
    DbStatus = saved;
    if (!found) {
        text = std::string(1, '\x18') + ProgramText("VybLek", "LekKod");
        return;
    }
    text = std::string(1, '\0') + GoodsRowText(goods);
    row.Aux = goods_.Position();
    row.Offer2 = goods_.recNo;
}

void GoodsList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenIndex()) {
        ReportNoData();
        return;
    }
    int32_t p = -1;
    int step = 1;
    if (rec.FetchMode == FetchModeCode::Seek) {
        int32_t found = 0;
        if (!SeekPrefix(rec, found))
            return;
        if (SuggestSimilar(rec)) {
            FetchSimilar(rec, row, text);
            if (row.Pos >= 0)
                noDataShown_ = false;
            return;
        }
        p = rec.Strict() ? std::max(found, rec.RangeFirst) : found;
    } else if (walksSimilar_) {
        FetchSimilar(rec, row, text);
        return;
    }
    const bool bounded = rec.Strict() && !rec.Prefix.empty();
    const int32_t first = bounded ? rec.RangeFirst : 0;
    const int32_t last = bounded ? rec.RangeLast : table_.LeafCount() - 1;
    if (rec.FetchMode != FetchModeCode::Seek &&
        !FetchWalkStart(rec, first, last, first + rec.TopPos, p, step))
        return;
    (void)step;
    if (p < first || p > last)
        return;
    std::string record;
    ReadByOrder(table_, p, record);
    if (DbStatus != 0)
        return;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p - first;
    if (letter_ == 'A') {
        CategoryRow(record, p, row, text);
    } else {
        text = std::string(1, '\0') + GoodsRowText(record);
        row.Pos = p;
        row.Aux = table_.recNo;
        row.Offer1 = table_.recNo;
        row.Offer2 = 0;
    }
    noDataShown_ = false;
}

// --------------------------------------------------------------- commands

namespace {

// The restricted list takes its code and caption from the code list's
// entry it follows.
void Reposition(char letter, VybRec& rec)
{
    std::string record;
    switch (letter) {
    case 'A':
        if (ReadCodeRecord(kPfakatvLayout, "pfakatko", rec.LinkValue, record)) {
            const std::string code = Fixed(FieldBytes(record, kGoodsCategoryCode), 4);
            rec.Prefix = code[1] == ' ' ? code.substr(0, 1) : code[2] == ' ' ? code.substr(0, 2) : code;
            rec.StatusText = code + " " + Fixed(FieldBytes(record, kGoodsCategoryName), 64);
        }
        break;
    case 'C':
        if (ReadCodeRecord(kPfazemvLayout, "pfazemko", rec.LinkValue, record)) {
            rec.Prefix = Fixed(FieldBytes(record, kCountryCode), 3);
            rec.StatusText = rec.Prefix + " " + Fixed(FieldBytes(record, kCountryName), 30);
        }
        break;
    case 'F':
        if (ReadCodeRecord(kPfavyrvLayout, "pfavyrko", rec.LinkValue, record)) {
            rec.Prefix = Fixed(FieldBytes(record, kGoodsMakerCode), 4);
            rec.StatusText = rec.Prefix + " " + Fixed(FieldBytes(record, kGoodsMakerName), 74);
        }
        break;
    default: break;
    }
    DbStatus = 0;
    rec.GridRows = 0;
}

// The word of a suggested row, as typed text: without the "?" and the
// blank that close it.
std::string WordOfRow(std::string_view rowText)
{
    std::string word(rowText.size() > kNameAt ? rowText.substr(kNameAt, kGoodsName.length)
                                              : std::string_view());
    while (!word.empty() && static_cast<uint8_t>(word.back()) < 33)
        word.pop_back();
    if (!word.empty() && word.back() == '?')
        word.pop_back();
    if (!word.empty() && word.back() == ' ')
        word.pop_back();
    return word;
}

} // namespace

ListAction GoodsList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::PrefixChanged:
        if (rec.Letter == 'K' && !rec.Prefix.empty() && rec.Prefix.back() == ' ')
            rec.Prefix.back() = '0';
        return action;
    case ListAction::RowClicked:
    case ListAction::Enter: {
        if (rec.CurRow >= 1 && rec.CurRow <= rec.RowCount) {
            const TVybRow& row = rec.Rows[rec.CurRow];
            if (walksSimilar_ && IsWordEntry(row.Aux)) {
                rec.Prefix = WordOfRow(row.Text.View());
                return ListAction::PrefixChanged;
            }
        }
        return ListAction::Enter;
    }
    case ListAction::Reposition: Reposition(letter_, rec); return ListAction::None;
    default: return action;
    }
}

std::string GoodsList::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint:
        switch (sub) {
        case kColMaker: return LookupGoodsMaker(key);
        case kColCountry: return LookupGoodsCountry(key);
        case kColFlags: {
            std::string hint;
            if (!key.empty() && key[0] != ' ')
                hint = ProgramText("VybLek", "SC");
            if (key.size() >= 2 && key[1] != ' ')
                hint += ProgramText("VybLek", "SF");
            return hint;
        }
        default: return std::string(key);
        }
    case InfoKind::HeadingHint: return ProgramText("VybPFA", "v" + std::to_string(sub));
    case InfoKind::Control: return SharedButtonInfo(sub, row, key);
    default: return {};
    }
}

// -------------------------------------------------------- text-found list

GoodsTextFoundList::GoodsTextFoundList(TextSearchResult result) : GoodsList('T'), result_(std::move(result))
{}

std::string_view GoodsTextFoundList::CheckTables()
{
    return OpenGoods(table_, "pfakod") ? std::string_view() : "NoData";
}

void GoodsTextFoundList::Start(VybRec& rec)
{
    std::string status;
    for (int i = 0; i < result_.words.count && i < text_search::kMaxWords; ++i) {
        const std::string& w = result_.words.word[static_cast<size_t>(i)];
        if (w.empty())
            continue;
        if (!status.empty())
            status += ", ";
        status += w;
    }
    if (status.size() > 80)
        status.resize(80);
    rec.StatusText = status;
    std::string icon = status.substr(0, 8);
    const auto& lower = KamLower();
    for (char& ch : icon)
        ch = static_cast<char>(lower[static_cast<uint8_t>(ch)]);
    rec.IconCaption = icon;
    rec.Count = static_cast<int32_t>(result_.entries.size());
}

std::string GoodsTextFoundList::WordsOfMask(uint8_t mask) const
{
    std::string out;
    for (int i = 0; i < text_search::kMaxWords; ++i)
        if ((mask & (1u << i)) != 0 && i < result_.words.count)
            out += result_.words.word[static_cast<size_t>(i)] + " ";
    return Fixed(out, 40);
}

void GoodsTextFoundList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    if (!OpenGoods(table_, "pfakod")) {
        ReportNoData();
        return;
    }
    const auto n = static_cast<int32_t>(result_.entries.size());
    int32_t p = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Seek:
        rec.FoundPos = 1;
        rec.TopPos = 0;
        p = 1;
        break;
    case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last: p = n; break;
    case FetchModeCode::AtTopPos: p = rec.FoundPos + rec.TopPos; break;
    default: p = 1; break;
    }
    if (p < 1 || p > n)
        return;
    const uint32_t hit = result_.entries[static_cast<size_t>(p - 1)];
    const int32_t recNo = text_search::ResultRecord(hit);
    std::string record;
    ReadRecord(table_.dat, recNo, record);
    if (DbStatus != 0)
        return;
    if (rec.FetchMode != FetchModeCode::After)
        rec.TopPos = p - std::max(1, rec.FoundPos);
    text = std::string(1, '\0') + GoodsRowText(record) + std::string(8, ' ') +
           WordsOfMask(text_search::ResultWords(hit));
    row.Pos = p;
    row.Aux = recNo;
    row.Offer1 = recNo;
    row.Offer2 = 0;
    noDataShown_ = false;
}

std::string GoodsTextFoundList::Info(uint8_t kind, uint8_t sub, const TVybRow& row,
                                     std::string_view key) const
{
    // Column 9 is the words' mark here, not the flag letters.
    if (kind == InfoKind::CellHint && sub >= kColFlags)
        return std::string(key);
    return GoodsList::Info(kind, sub, row, key);
}

std::string GoodsTextFoundList::SearchWords() const
{
    std::string block(5 * 41, '\0');
    for (int i = 0; i < 5 && i < result_.words.count; ++i) {
        const std::string& w = result_.words.word[static_cast<size_t>(i)];
        const size_t n = std::min<size_t>(w.size(), 40);
        block[static_cast<size_t>(i) * 41] = static_cast<char>(n);
        block.replace(static_cast<size_t>(i) * 41 + 1, n, w.substr(0, n));
    }
    return block;
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
    case 18: return 'R';
    default: return 0;
    }
}

struct GoodsTyping {
    char letter;
    const char* icon;
    uint8_t maxTyped;
    char editKind;
};
constexpr GoodsTyping kGoodsTyping[] = {
    {'K', "ILKod", 5, '9'},
    {'E', "ILEAN", 13, 'A'},
    {'N', "ILNaz", 60, 'A'},
    {'R', "ILRSQ", 22, 'A'},
};

ListWindowSpec GoodsListSpec(uint16_t code, char letter)
{
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybPFA", std::string("n") + letter);
    w.geometry = GoodsListGeometry();
    w.order = GoodsListOrder(letter);
    w.header = GoodsListHeader();
    w.links = {LinkKind::None, LinkKind::Goods, LinkKind::None};
    w.letter = letter;
    w.count = 5000;
    return w;
}

} // namespace

void OpenGoodsList(uint16_t code, std::string_view prefix)
{
    const char letter = ListLetterOf(code);
    const auto typing = std::find_if(std::begin(kGoodsTyping), std::end(kGoodsTyping),
                                     [letter](const GoodsTyping& t) { return t.letter == letter; });
    if (typing == std::end(kGoodsTyping))
        return;
    ListWindowSpec w = GoodsListSpec(code, letter);
    w.icon = typing->icon;
    w.maxTyped = typing->maxTyped;
    w.editKind = typing->editKind;
    w.buttons = "?=/";
    w.placement = ListPlacement::Maximised;
    w.options = Config().Read([](const ConfigValues& v) { return v.KeySelectOption; });
    if (!prefix.empty()) {
        w.options = 0;
        w.prefix = std::string(prefix);
    }
    OpenListWindow(w, std::make_shared<GoodsList>(letter));
}

void OpenDependentGoodsList(uint16_t code, LinkKind linkKind)
{
    const std::string letters = KindLetters(code);
    const char letter = letters.size() >= 3 ? letters[1] : 0;
    const char* icon = letter == 'A' ? "ILATC" : letter == 'C' ? "ILZem" : letter == 'F' ? "ILVyr" : nullptr;
    if (icon == nullptr)
        return;
    ListWindowSpec w = GoodsListSpec(code, letter);
    w.order = GoodsListOrder(letter);
    w.icon = icon;
    w.links = letter == 'A' ? std::array<LinkKind, 3>{linkKind, LinkKind::None, LinkKind::Goods}
                            : std::array<LinkKind, 3>{linkKind, LinkKind::Goods, LinkKind::None};
    w.needsValue = true;
    w.editKind = 'A';
    w.buttons = "?=*";
    w.placement = ListPlacement::MaximisedUnderMain;
    w.options = 0x80;
    w.reposition = true;
    OpenListWindow(w, std::make_shared<GoodsList>(letter));
}

GoodsTextSearch SetGoodsTextSearch(GoodsTextSearch search)
{
    GoodsTextSearch old = std::move(TextSearch());
    TextSearch() = std::move(search);
    return old;
}

void OpenGoodsTextFoundList(uint16_t code)
{
    StatCount(StatCodeOfText(KindLetters(code)));
    TextSearchResult result;
    if (!TextSearch() || TextSearch()(result) <= 0 || result.entries.empty())
        return;
    ListWindowSpec w;
    w.code = code;
    w.caption = ProgramText("VybPFA", "nT");
    w.geometry =
        CompileColumnLayout("KodEucNazDopBalVyrZemEANCen=07CMn=10-00Tex=40.", ColumnWidthTableOf(kPfaLayout),
                            "Kod,Euc,Naz,Dop,Bal,Vyr,Zem,EAN,Cen,CMn,Tex");
    w.order = "2/120,10,3/78,4/21,5,6,7/15,8,0,4/42,1,7,2,3,4,9";
    // The found words' heading stands over their column.
    std::string header = GoodsListHeader();
    header.resize(1 + kGoodsRowLength + 8, ' ');
    w.header = header + ProgramText("VybLek", "hdrt");
    w.icon = "ILText";
    w.links = {LinkKind::None, LinkKind::Goods, LinkKind::None};
    w.letter = 'T';
    w.editKind = '-';
    w.buttons = "?=";
    w.placement = ListPlacement::Maximised;
    OpenListWindow(w, std::make_shared<GoodsTextFoundList>(std::move(result)));
}
