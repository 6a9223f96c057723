#include "lists/drugs/product_history_lists.h"

#include <QIcon>
#include <QToolButton>

#include <algorithm>
#include <array>
#include <memory>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/commands/product_commands.h"
#include "frame/message_box.h"
#include "frame/pages/hints.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "lists/codes/reimbursement_lists.h"
#include "lists/drugs/drug_lists.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/list_window.h"
#include "platform/ascii.h"

namespace {

// What a product list reads and shows.
struct ProductListSpec {
    const char* table;
    const char* index;
    const char* helpKeyword;
    const char* layout; // row layout
    const char* names;  // column name list
    const char* order;  // column order
    const char* textSection;
};

constexpr ProductListSpec kHistory{
    "vzph",
    "vzphkod",
    "HisCen",
    "RoC=06Uh =02VC =11OC =10UC =10Hr DNCTCRLPr=40ZaD=10NezEkv=10ATCDph=03.",
    "RoC,Uh,VC,OC,UC,Hr,DNC,TCR,LPr,ZaD,Nez,Ekv,ATC,Dph",
    "2,0,1,3,4,5,6,7,8/48,9,10,11,8,12,13",
    "Historie",
};

constexpr ProductListSpec kConsumptionQuarterly{
    "spot1", "spot1atc", "SpLoPr", "Obd=07Bal=10Hod=14ATC=08.", "Obd,Bal,Hod,ATC", "0,1,2,3", "Spotreby",
};
constexpr ProductListSpec kConsumptionYearly{
    "spot2", "spot2atc", "SpLoPr", "Obd=07Bal=10Hod=14ATC=08.", "Obd,Bal,Hod,ATC", "0,1,2,3", "Spotreby",
};

// The product code every row begins with lies at one place in each of these
// tables (spot1 and spot2 share their fields), so one name reads it.
static_assert(kConsumptionDrug.start == kHistoryDrug.start && kConsumptionDrug.length == kHistoryDrug.length);

// A list window's data: its table, the columns of its row texts and the
// product whose rows it shows; `third` the command's third letter (the
// consumption table's period).
class ProductList : public ListSource {
public:
    ProductList(const ProductListSpec& spec, char third) : spec_(spec), third_(third) {}

    // The table and the columns of its fields.
    std::string_view CheckTables() override
    {
        DbStatus = 0;
        OpenTable(table_, TFileId(spec_.table), TFileId(spec_.index), 0);
        if (DbStatus != 0 || !table_.sez.IsOpen())
            return "NoData";
        if (!fields_.empty())
            return {};
        const TDatFile& dat = table_.dat;
        int offset = 1;
        for (int i = 0; i < dat.FieldCount(); ++i) {
            const int length = FieldLength(dat.FieldDescriptor(i));
            fields_.push_back({FieldNameToStr(dat.FieldName(i)), offset, length, dat.FieldDescriptor(i)});
            offset += length;
        }
        for (RowColumn c : ParseRowLayout(spec_.layout)) {
            const Field* f = FieldOf(c.code);
            if (c.length == 0)
                c.length = f != nullptr ? f->length : 0;
            columns_.push_back(c);
        }
        geometry_ = CompileColumnLayout(spec_.layout, ColumnWidthTableOf(dat), spec_.names);
        return {};
    }

    const std::string& Geometry() const { return geometry_; }

    // The heading line: each column's heading at its place.
    std::string Header() const
    {
        std::string head(1, '\0');
        for (size_t i = 0; i < columns_.size(); ++i)
            head += Fit(HeadingOf(static_cast<int>(i)), columns_[i].length, false);
        return head;
    }

    std::string HeadingOf(int column) const
    {
        const std::string section = spec_.textSection;
        if (section == "Spotreby" && column == 0)
            return ProgramText(section, std::string("typ") + third_);
        return ProgramText(section, "v" + std::to_string(column + 1));
    }

    ListAction React(VybRec& rec, ListAction action) override
    {
        switch (action) {
        case ListAction::Reposition: {
            const std::string code = rec.LinkValue > 0 ? DrugCodeOfRecord(rec.LinkValue) : std::string();
            if (!code.empty() && code != key_) {
                key_ = code;
                rec.Prefix = code;
                rec.StatusText = code;
                rec.GridRows = 0; // refill from the product's first row
            }
            return ListAction::None;
        }
        case ListAction::RowClicked: return ListAction::None;
        default: return action;
        }
    }

    void Fetch(VybRec& rec, TVybRow& row, std::string& text) override
    {
        row.Pos = -1;
        if (key_.empty())
            return;
        int32_t p = -1;
        switch (rec.FetchMode) {
        case FetchModeCode::Seek: {
            rec.Prefix = key_;
            rec.Options |= 0x80; // the product's rows only
            FindRecord(table_, key_, record_);
            if (DbStatus > 0)
                return;
            InitFetchRange(rec, table_);
            if (DbStatus < 0 && DbStatus != -20001) {
                rec.Count = 0;
                return;
            }
            p = rec.RangeFirst;
            break;
        }
        case FetchModeCode::ReadFirstShown: p = rec.Rows[1].Pos; break;
        case FetchModeCode::Before: p = rec.Rows[1].Pos - 1; break;
        case FetchModeCode::After: p = rec.Rows[rec.RowCount].Pos + 1; break;
        case FetchModeCode::First: p = rec.RangeFirst; break;
        case FetchModeCode::Last: p = rec.RangeLast; break;
        case FetchModeCode::AtTopPos:
            p = std::clamp(rec.RangeFirst + rec.TopPos, rec.RangeFirst,
                           std::max(rec.RangeFirst, rec.RangeLast));
            break;
        default: return;
        }
        if (rec.Count <= 0 || p < rec.RangeFirst || p > rec.RangeLast)
            return;
        ReadByOrder(table_, p, record_);
        // A record that cannot be read, or a key past the product, ends the walk.
        if (DbStatus != 0 || FieldBytes(record_, kHistoryDrug) != key_)
            return;
        if (rec.FetchMode != FetchModeCode::After)
            rec.TopPos = p - rec.RangeFirst;
        row.Pos = p;
        row.Aux = table_.recNo;
        row.Offer1 = 0;
        row.Offer2 = 0;
        text.assign(1, '\0');
        for (const RowColumn& c : columns_) {
            const Field* f = FieldOf(c.code);
            const std::string value =
                f != nullptr ? FieldDisplayText(GetField(record_, f->offset, f->length), f->descriptor)
                             : std::string();
            text += Fit(value, c.length, f != nullptr && IsNumber(f->descriptor));
        }
    }

    std::string Info(uint8_t kind, uint8_t sub, const TVybRow& row, std::string_view key) const override
    {
        switch (kind) {
        case InfoKind::CellHint:
        case InfoKind::HeadingHint: return sub < columns_.size() ? HeadingOf(sub) : std::string();
        case InfoKind::Control:
            return key.size() == 1 && sub <= 1 ? ButtonHintText(key[0], sub, row.Pos != 0) : std::string();
        default: return {};
        }
    }

private:
    struct Field {
        std::string name;
        int offset;
        int length;
        uint8_t descriptor;
    };

    const Field* FieldOf(const std::string& code) const
    {
        const std::string wanted = AsciiUpper(code);
        for (const Field& f : fields_)
            if (f.name == wanted)
                return &f;
        return nullptr;
    }

    static bool IsNumber(uint8_t d) { return d >= 0x80; }

    static std::string Fit(const std::string& s, int width, bool right)
    {
        if (width <= 0)
            return {};
        std::string v = s.substr(0, static_cast<size_t>(width));
        const size_t pad = static_cast<size_t>(width) - v.size();
        return right ? std::string(pad > 0 ? pad - 1 : 0, ' ') + v + (pad > 0 ? " " : "")
                     : v + std::string(pad, ' ');
    }

    const ProductListSpec& spec_;
    const char third_;
    TDbTable table_;
    std::vector<Field> fields_;
    std::vector<RowColumn> columns_;
    std::string geometry_;
    std::string record_;
    std::string key_;
};

void OpenProductList(uint16_t code, const ProductListSpec& spec, const std::string& title)
{
    const char third = KindLetters(code)[2];
    auto rows = std::make_shared<ProductList>(spec, third);
    // The columns are the table's fields: the opener checks it again.
    (void)rows->CheckTables();
    ListWindowSpec w;
    w.code = code;
    w.caption = title;
    w.geometry = rows->Geometry();
    w.order = spec.order;
    w.header = rows->Header();
    w.buttons = "?*=";
    w.icon = "ILSpot";
    w.helpKeyword = spec.helpKeyword;
    w.links = {LinkKind::Drug, LinkKind::None, LinkKind::None};
    w.needsValue = true;
    w.placement = ListPlacement::MaximisedUnderMain;
    w.letter = third;
    w.options = 0x80;
    w.reposition = true;
    OpenListWindow(w, std::move(rows));
}

} // namespace

std::vector<RowColumn> ParseRowLayout(std::string_view layout)
{
    std::vector<RowColumn> out;
    for (size_t i = 0; i + 3 <= layout.size(); i += 3) {
        const std::string_view t = layout.substr(i, 3);
        if (t[0] == '=' || t[0] == '-') {
            if (t[0] == '=' && !out.empty())
                out.back().length = (t[1] - '0') * 10 + (t[2] - '0');
            continue;
        }
        if (t[0] == '.')
            break;
        out.push_back({std::string(t), 0});
    }
    return out;
}

std::string FieldDisplayText(std::string_view bytes, uint8_t descriptor)
{
    if (descriptor >= 0xF0) {
        int64_t v = 0;
        for (size_t i = bytes.size(); i-- > 0;)
            v = (v << 8) | static_cast<unsigned char>(bytes[i]);
        return std::to_string(v);
    }
    const std::string_view trimmed = TrimBlanks(bytes);
    if (descriptor >= 0xB0 && descriptor <= 0xBF && !trimmed.empty()) {
        std::string digits(trimmed);
        if (digits.size() < 3)
            digits.insert(0, 3 - digits.size(), '0');
        return digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
    }
    return std::string(trimmed);
}

void OpenConsumptionList(uint16_t code)
{
    const char third = KindLetters(code)[2];
    std::string period;
    GetTextEntry(DataTexts, "Verze", std::string("Spot") + third, period);
    OpenProductList(code, third == 'Y' ? kConsumptionQuarterly : kConsumptionYearly,
                    ProgramText("Spotreby", "Nadpis") + period);
}

void OpenPriceHistory(uint16_t code)
{
    OpenProductList(code, kHistory, ProgramText("Historie", "Nadpis"));
}
