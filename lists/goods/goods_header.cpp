// The goods header window: its rows, its opener and its callbacks.

#include "lists/goods/goods_header.h"

#include <algorithm>
#include <memory>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "lists/codes/code_lists.h"
#include "lists/goods/goods_lists.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

constexpr size_t kValueLength = 80;
constexpr size_t kLabelLength = 15;

std::string Cut(std::string s, size_t n)
{
    if (s.size() > n)
        s.resize(n);
    return s;
}

std::string Field(std::string_view record, FieldPos f)
{
    return std::string(FieldBytes(record, f));
}

} // namespace

std::array<std::string, kGoodsHeaderRows> GoodsHeaderValues(std::string_view record)
{
    const std::string_view price = FieldBytes(record, kGoodsPrice);
    const bool priced = price.size() == static_cast<size_t>(kGoodsPrice.length) && price.back() != ' ';
    std::array<std::string, kGoodsHeaderRows> v{
        Field(record, kGoodsName),
        Field(record, kGoodsSupplement),
        Field(record, kGoodsPackage),
        LookupGoodsMaker(FieldBytes(record, kGoodsMaker)),
        LookupGoodsCountry(FieldBytes(record, kGoodsCountry)),
        Field(record, kGoodsEan),
        Field(record, kGoodsHemCode),
        Field(record, kGoodsText),
        priced ? FormatCode7(price) : std::string(),
    };
    for (std::string& s : v)
        s = Cut(std::move(s), kValueLength);
    return v;
}

std::string GoodsHeaderRowText(std::string_view record, int row)
{
    if (row < 1 || row > kGoodsHeaderRows)
        return {};
    std::string label = Cut(ProgramText("VybPFA", "hl" + std::to_string(row)), kLabelLength);
    label.resize(kLabelLength, ' ');
    return std::string(1, '\0') + label + GoodsHeaderValues(record)[static_cast<size_t>(row - 1)];
}

bool GoodsHeader::ReadGoods(int32_t recNo, std::string& record)
{
    if (recNo <= 0)
        return false;
    // A handle of its own, reopened for each read: another list's fetch
    // never leaves a drug record behind here.
    DbStatus = 0;
    OpenTable(table_, TFileId("pfa"), TFileId("pfakod"), kPfaLayout.Length());
    if (DbStatus != 0)
        return false;
    ReadRecord(table_.dat, recNo, record);
    return DbStatus == 0;
}

std::string_view GoodsHeader::CheckTables()
{
    DbStatus = 0;
    OpenTable(table_, TFileId("pfa"), TFileId("pfakod"), kPfaLayout.Length());
    return DbStatus == 0 ? std::string_view() : "NoData";
}

void GoodsHeader::Fetch(VybRec& rec, TVybRow& row, std::string& text)
{
    row.Pos = -1;
    int32_t p = 1;
    switch (rec.FetchMode) {
    case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
    case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
    case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
    case FetchModeCode::Last: p = kGoodsHeaderRows; break;
    case FetchModeCode::AtTopPos: p = rec.FoundPos + rec.TopPos; break;
    default: p = 1; break;
    }
    // The scroll bar counts the nine rows from 1.
    p = std::clamp(p, 0, kGoodsHeaderRows + 1);
    if (p < 1 || p > kGoodsHeaderRows)
        return;
    std::string record;
    if (!ReadGoods(rec.LinkValue, record))
        return;
    if (rec.FetchMode == FetchModeCode::Seek) {
        rec.TopPos = 0;
        rec.FoundPos = 1;
        rec.RangeFirst = 1;
        rec.RangeLast = kGoodsHeaderRows;
        rec.Count = kGoodsHeaderRows;
    } else if (rec.FetchMode != FetchModeCode::After) {
        rec.TopPos = p - 1;
    }
    text = GoodsHeaderRowText(record, p);
    row.Pos = p;
    row.Aux = 0;
    row.Offer1 = 0;
    row.Offer2 = 0;
}

ListAction GoodsHeader::React(VybRec& rec, ListAction action)
{
    switch (action) {
    case ListAction::Reposition: {
        std::string record;
        if (!ReadGoods(rec.LinkValue, record)) {
            DbStatus = 0;
            return ListAction::None;
        }
        const auto values = GoodsHeaderValues(record);
        const std::string code(FieldBytes(record, kGoodsCode));
        rec.StatusText = code;
        for (int i = 0; i < 3; ++i)
            rec.StatusText += " " + std::string(TrimRightBlanks(values[static_cast<size_t>(i)]));
        rec.Prefix = code;
        rec.IconCaption = code;
        rec.GridRows = 0;
        return ListAction::None;
    }
    // Enter and a click choose nothing here.
    case ListAction::Enter:
    case ListAction::RowClicked: return ListAction::None;
    default: return action;
    }
}

std::string GoodsHeader::Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const
{
    switch (kind) {
    case InfoKind::CellHint: return std::string(key);
    case InfoKind::Control: return SharedButtonInfo(sub, row, key);
    default: return {};
    }
}

void OpenLekHlavList(uint16_t code)
{
    ListWindowSpec w;
    w.code = code;
    w.caption = Cut(ProgramText("VybPFA", "nadhl"), kValueLength);
    w.geometry = "2/15,17/60";
    w.order = "1/99,0,1";
    w.header = std::string(1, '\0') + Cut(ProgramText("VybPFA", "hdrhl"), kValueLength);
    w.maxTyped = 0;
    w.editKind = ' ';
    w.buttons = "=*";
    w.links = {LinkKind::Goods, LinkKind::None, LinkKind::None};
    w.needsValue = true;
    w.letter = 'M';
    w.count = kGoodsHeaderRows;
    w.reposition = true;
    OpenListWindow(w, std::make_shared<GoodsHeader>());
}
