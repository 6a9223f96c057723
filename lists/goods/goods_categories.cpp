// The goods category list: its spec, the tree of its codes, the fetch of
// the tree view and the tree keys.

#include "lists/goods/goods_categories.h"

#include <algorithm>
#include <memory>

#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "lists/codes/atc_tree.h"
#include "lists/goods/goods_lists.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr TableNames kPfakatv{"pfakatv", "pfakatko", "pfakatna"};

bool BeginsWith(std::string_view s, std::string_view head)
{
    return s.substr(0, head.size()) == head;
}

bool IsTree(char letter)
{
    return letter == 'c' || letter == 'n';
}

char WithCase(char upper, char letter)
{
    return IsTree(letter) ? static_cast<char>(upper + 32) : upper;
}

} // namespace

const CodeListSpec kGoodsCategoryList{
    .handlerName = "OpenGoodsCategoryList",
    .czech = kPfakatv,
    .english = kPfakatv,
    .layout = &kPfakatvLayout,
    .key1 = kGoodsCategoryCode,
    .key2 = {},
    .name = kGoodsCategoryName,
    .hideFlag = {},
    .rowLayout = "Kat=05Naz.",
    .columnNames = "Kat,Naz",
    .columnOrder = "1/60,0,1",
    .maxTyped = 64,
    .buttons = ">?<=",
    .captionKey = "nq",
    .headerKey = "hq",
    .headingHintKey = "vq",
    .icon = "IATC",
    .offeredLink = LinkKind::GoodsCategory,
    .count = 0,
    .restrictedList = "PAC",
    .restrictedLink = LinkKind::GoodsCategory,
    .nameOrder = NameOrderRule::LongerThan3,
    .tabWhileTyped = 2,
    .hideRule = HideRule::None,
    .rowKind = CodeRowKind::CategoryTree,
    .opener = OpenDependentGoodsList,
    .startLetter = 'C',
};

// ------------------------------------------------------------------ tree

void CategoryTree::Collapse()
{
    shown = TopLevelFilter(codes);
}

int32_t CategoryTree::ShownCount() const
{
    int32_t n = 0;
    for (size_t p = 0; p < codes.size(); ++p)
        n += FilterBit(shown, static_cast<int32_t>(p)) ? 1 : 0;
    return n;
}

void CategoryTree::ShowChildren(int32_t node)
{
    if (node < 0 || static_cast<size_t>(node) + 1 >= codes.size())
        return;
    const std::string& code = codes[static_cast<size_t>(node)];
    if (code.empty() || code.size() > 2)
        return;
    const size_t first = codes[static_cast<size_t>(node) + 1].size();
    for (size_t p = static_cast<size_t>(node) + 1; p < codes.size() && BeginsWith(codes[p], code); ++p)
        if (codes[p].size() > code.size() && codes[p].size() <= first)
            SetFilterBit(shown, static_cast<int32_t>(p), true);
}

void CategoryTree::HideBranch(int32_t node)
{
    if (node < 0 || static_cast<size_t>(node) >= codes.size())
        return;
    const std::string& code = codes[static_cast<size_t>(node)];
    if (code.empty() || code.size() > 2)
        return;
    for (size_t p = static_cast<size_t>(node) + 1; p < codes.size() && BeginsWith(codes[p], code); ++p)
        SetFilterBit(shown, static_cast<int32_t>(p), false);
}

void CategoryTree::Reveal(std::string_view code)
{
    const auto it = std::lower_bound(codes.begin(), codes.end(), code);
    if (it == codes.end() || !BeginsWith(*it, code))
        return;
    const std::string found = *it;
    for (size_t length = 1; length < found.size() && length <= 2; ++length) {
        const auto node = std::lower_bound(codes.begin(), codes.end(), found.substr(0, length));
        if (node != codes.end() && *node == found.substr(0, length))
            ShowChildren(static_cast<int32_t>(node - codes.begin()));
    }
    SetFilterBit(shown, static_cast<int32_t>(it - codes.begin()), true);
}

std::string CategoryTree::Marker(int32_t position) const
{
    std::string marker(2, ' ');
    if (position < 0 || static_cast<size_t>(position) + 1 >= codes.size())
        return marker;
    const std::string& code = codes[static_cast<size_t>(position)];
    const std::string& next = codes[static_cast<size_t>(position) + 1];
    if (code.empty() || code.size() > 2 || next.size() <= code.size() || !BeginsWith(next, code))
        return marker;
    marker[code.size() - 1] = FilterBit(shown, position + 1) ? '-' : '+';
    return marker;
}

// ------------------------------------------------------------------ list

std::string_view GoodsCategoryList::CheckTables()
{
    if (!Open('C'))
        return "NoData";
    tree_.codes.clear();
    std::string record;
    for (int32_t p = 0; p < table_.LeafCount(); ++p) {
        ReadByOrder(table_, p, record);
        if (DbStatus != 0)
            return "NoData";
        tree_.codes.emplace_back(TrimRightBlanks(FieldBytes(record, kGoodsCategoryCode)));
    }
    tree_.Collapse();
    return {};
}

void GoodsCategoryList::Start(VybRec& rec)
{
    rec.Count = static_cast<int32_t>(tree_.codes.size());
}

void GoodsCategoryList::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    if (!IsTree(rec.Letter)) {
        CodeList::Fetch(rec, row, text);
        if (row.Pos >= 0)
            text += std::string("\xFF") + "  ";
        return;
    }
    row.Pos = -1;
    const bool byCode = rec.Letter == 'c';
    if (tree_.shown.empty() || !Open(byCode ? 'C' : 'N'))
        return;
    TDbTable& t = table_;
    const int32_t last = t.LeafCount() - 1;
    int32_t p = -1;
    int step = 1;
    // The tree's positions are those of the code index; in name order the
    // record's code finds its bit.
    auto shownAt = [&](int32_t pos, const std::string& rec) {
        if (byCode)
            return FilterBit(tree_.shown, pos);
        const std::string code(TrimRightBlanks(FieldBytes(rec, kGoodsCategoryCode)));
        const auto it = std::lower_bound(tree_.codes.begin(), tree_.codes.end(), code);
        return it != tree_.codes.end() && *it == code &&
               FilterBit(tree_.shown, static_cast<int32_t>(it - tree_.codes.begin()));
    };
    if (rec.FetchMode == FetchModeCode::Seek) {
        FindRecord(t, rec.Prefix, record_);
        if (DbStatus > 0 || DbStatus == DbCode::OutOfRange || DbStatus == DbCode::BadKeyChar)
            return;
        DbStatus = 0;
        p = t.Position();
        rec.FoundPos = 0;
        InitFetchRange(rec, t);
        if (DbStatus > 0)
            return;
        DbStatus = 0;
        rec.RangeFirst = 0;
        rec.RangeLast = last;
    } else if (rec.FetchMode == FetchModeCode::AtTopPos) {
        // The thumb counts shown positions.
        int32_t seen = -1;
        std::string r;
        for (p = 0; p <= last; ++p) {
            ReadByOrder(t, p, r);
            if (DbStatus != 0)
                return;
            if (shownAt(p, r) && ++seen == rec.TopPos)
                break;
        }
    } else if (!FetchWalkStart(rec, 0, last, 0, p, step)) {
        return;
    }
    for (; p >= 0 && p <= last; p += step) {
        ReadByOrder(t, p, record_);
        if (DbStatus != 0)
            return;
        if (!shownAt(p, record_))
            continue;
        row.Pos = p;
        row.Aux = t.recNo;
        row.Offer1 = t.recNo;
        row.Offer2 = 0;
        text = RowText(record_);
        text += '\xFF';
        text += byCode ? tree_.Marker(p) : std::string(2, ' ');
        if (rec.FetchMode != FetchModeCode::After) {
            int32_t before = 0;
            for (int32_t q = 0; q < p && byCode; ++q)
                before += FilterBit(tree_.shown, q) ? 1 : 0;
            rec.TopPos = before;
        }
        if (rec.FetchMode == FetchModeCode::Seek || rec.FetchMode == FetchModeCode::ReadFirstShown)
            rec.Count = tree_.ShownCount();
        return;
    }
}

ListAction GoodsCategoryList::TreeKey(VybRec& rec, char key, ListAction result)
{
    if (rec.Letter != 'c')
        return result;
    int32_t node = -1;
    if (rec.CurRow >= 1 && rec.CurRow <= rec.RowCount && rec.Rows[rec.CurRow].Pos >= 0) {
        node = rec.Rows[rec.CurRow].Pos;
    }
    if (node < 0 || static_cast<size_t>(node) >= tree_.codes.size())
        return result;
    const std::string code = tree_.codes[static_cast<size_t>(node)];
    if (key == '<') {
        size_t keep = code.empty() ? 0 : code.size() - 1;
        if (keep == 3)
            --keep;
        rec.Prefix = code.substr(0, keep);
    } else if (key == '>') {
        rec.Prefix = code;
    }
    if (key == '-')
        tree_.HideBranch(node);
    else
        tree_.ShowChildren(node);
    rec.Count = tree_.ShownCount();
    return key == '+' || key == '-' ? ListAction::RefillInPlace : ListAction::PrefixChanged;
}

ListAction GoodsCategoryList::PrefixChanged(VybRec& rec)
{
    char key = 0;
    if (IsTree(rec.Letter) && !rec.Prefix.empty()) {
        const char last = rec.Prefix.back();
        if (!IsAsciiDigit(last) && !(last >= 'A' && last <= 'Z')) {
            key = TreeKeyOfTyped(last);
            rec.Prefix.pop_back();
        }
    }
    if (rec.Prefix.size() > 2)
        rec.Letter = WithCase(IsAsciiDigit(rec.Prefix[2]) ? 'C' : 'N', rec.Letter);
    if (rec.Letter != 'c')
        return ListAction::PrefixChanged;
    if (key != 0)
        return TreeKey(rec, key, ListAction::PrefixChanged);
    if (!rec.Prefix.empty()) {
        tree_.Reveal(rec.Prefix);
        rec.Count = tree_.ShownCount();
    }
    return ListAction::PrefixChanged;
}

ListAction GoodsCategoryList::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Tab:
        if (rec.Prefix.size() >= 3)
            return action;
        switch (rec.Letter) {
        case 'C': rec.Letter = 'N'; break;
        case 'c': rec.Letter = 'n'; break;
        case 'n': rec.Letter = 'c'; break;
        default: rec.Letter = 'C'; break;
        }
        return ListAction::PrefixChanged;
    case ListAction::PrefixChanged: return PrefixChanged(rec);
    case ListAction::Left:
    case ListAction::Right:
        if (rec.Letter != 'c')
            return action;
        return TreeKey(rec, action == ListAction::Left ? '<' : '>', ListAction::PrefixChanged);
    case ListAction::TreeShowLevel:
    case ListAction::TreeHideLevel:
        if (rec.Letter != 'c')
            return ListAction::None;
        return TreeKey(rec, static_cast<char>(action), ListAction::RefillInPlace);
    case ListAction::TreeToggled:
        if (rec.Letter == 'c' && !rec.Prefix.empty())
            tree_.Reveal(rec.Prefix);
        return action;
    default: return CodeList::React(rec, action);
    }
}

void OpenGoodsCategoryList(uint16_t code)
{
    ListWindowSpec w = CodeListWindowSpec(kGoodsCategoryList, code);
    w.helpKeyword = "VyObPo";
    w.header = std::string(1, '\0') + ProgramText("VybPom", "hq") + "\xFF--";
    OpenListWindow(w, std::make_shared<GoodsCategoryList>());
}
