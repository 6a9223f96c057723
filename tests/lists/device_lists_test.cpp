// The medical-device lists and the device and goods code lists on the demo
// data: the cells of a device row, a full row at every offset, the fetch
// modes, the restricted lists opened from the code lists, the hidden
// countries, the classification-group seek and the goods category tree.

#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "datastore/drug_helpers.h"
#include "datastore/table_layouts.h"
#include "lists/codes/atc_tree.h"
#include "lists/codes/code_lists.h"
#include "lists/codes/reimbursement_text.h"
#include "lists/devices/device_lists.h"
#include "lists/drugs/list_text_helpers.h"
#include "lists/goods/goods_categories.h"
#include "lists/toolkit/column_language.h"
#include "tests/lists/code_list_fixture.h"

namespace {

using codelisttest::Kam;
using codelisttest::ListsOnDemoData;
using codelisttest::Settle;

TEST(DeviceCells, ClassCodePriceAndMarkLetter)
{
    struct ClassCase {
        const char* code;
        const char* text;
    };
    for (const ClassCase& c : {ClassCase{"  AB ", "  (AB) "}, ClassCase{"     ", "       "},
                               ClassCase{"ABCDE", "(ABCDE)"}, ClassCase{"A    ", "(A)    "}})
        EXPECT_EQ(ClassCodeText(c.code), c.text) << c.code;
    struct PriceCase {
        const char* field;
        const char* text;
    };
    for (const PriceCase& c : {PriceCase{"     1234", "     12.34"}, PriceCase{"        5", "         5"},
                               PriceCase{"12", "12"}, PriceCase{"   100000", "   1000.00"}})
        EXPECT_EQ(FormatPrice(c.field), c.text) << c.field;
    const char saved = DeviceMarkLetter();
    for (char mark : {'B', 'F'}) {
        SetDeviceMarkLetter(mark);
        EXPECT_EQ(MaskMarkLetter('G', ' '), ' ');
        EXPECT_EQ(MaskMarkLetter(mark, 'M'), ' ');
        EXPECT_EQ(MaskMarkLetter(mark, 'L'), mark);
        EXPECT_EQ(MaskMarkLetter(mark == 'B' ? 'F' : 'B', 'M'), mark == 'B' ? 'F' : 'B');
    }
    SetDeviceMarkLetter(saved);
}

// A device record of distinct characters in every field, so that a field
// out of place shows.
std::string DeviceRecord()
{
    std::string rec(static_cast<size_t>(kPztLayout.Length()), ' ');
    for (size_t i = 0; i < rec.size(); ++i)
        rec[i] = static_cast<char>('a' + i % 26);
    auto put = [&](FieldPos f, std::string_view v) {
        rec.replace(static_cast<size_t>(f.Offset()), v.size(), v);
    };
    put(kDeviceMark, "X");
    put(kDeviceSale, "L");
    put(kDeviceMaxPrice, "     1234");
    put(kDeviceReimbursement, "        5");
    put(kDeviceClass, "ABCDE");
    put(kDeviceClassGroupFlag, "Y");
    return rec;
}

TEST(DeviceRow, EveryColumnAtItsOffsetAndTheClassCodeEndsTheRow)
{
    const std::string rec = DeviceRecord();
    const std::string row = DeviceRowText(rec, 'K');
    ASSERT_EQ(row.size(), kDeviceRowLength);
    EXPECT_EQ(row[0], '\0');
    EXPECT_EQ(DeviceRowText(rec, 'U')[0], '\x10'); // the group flag, in the group list only
    // Each column of the compiled geometry reads its field.
    struct Cell {
        const char* name;
        std::string text;
    };
    auto field = [&](FieldPos f, size_t n) { return rec.substr(static_cast<size_t>(f.Offset()), n); };
    const Cell cells[] = {
        {"Kod", field(kDeviceCode, 7)},
        {"Seq", field(kDeviceSequence, 1)},
        {"Zdr", "X"},
        {"Naz", field(kDeviceName, 70)},
        {"Dop", field(kDeviceSupplement, 80)},
        {"Typ", field(kDeviceType, 2)},
        {"Vyr", field(kDeviceMaker, 3)},
        {"Zem", field(kDeviceCountry, 3)},
        {"Pro", "L "},
        {"Lim", field(kDeviceLimit, 1)},
        {"Pre", field(kDevicePrescribers, 42)},
        {"MFC", "     12.34"},
        {"DNC", field(kDeviceDnc, 1)},
        {"ZUP", field(kDeviceReimbursementLetter, 1)},
        {"UhC", "         5"},
        {"UhP", field(kDeviceReimbursedShare, 2)},
        {"KUD", field(kDevicePiecesPerPeriod, 4)},
        {"UDo", field(kDeviceUsePeriod, 3)},
        {"Kat", "(ABCDE)"},
    };
    const std::string layout = DeviceListGeometry();
    ASSERT_FALSE(layout.empty());
    // The geometry of one named column: its 1-based start and width.
    auto columnOf = [](const char* name) {
        const std::string single = CompileColumnLayout(
            "KodSeqZdrNazDopTypBal=04VyrZemPro=02LimPre=42MFC=10DNCZUPUhC=10UhPKUDUDoKat=07.",
            ColumnWidthTableOf(kPztLayout), name);
        const size_t slash = single.find('/');
        return std::pair{std::stoi(single.substr(0, slash)), std::stoi(single.substr(slash + 1))};
    };
    for (const Cell& c : cells) {
        const auto [start, width] = columnOf(c.name);
        EXPECT_GE(static_cast<size_t>(width), std::min<size_t>(c.text.size(), 3)) << c.name;
        EXPECT_EQ(row.substr(static_cast<size_t>(start - 1), c.text.size()), c.text) << c.name;
    }
    EXPECT_EQ(row.back(), ')');
}

class DeviceLists : public ListsOnDemoData {
protected:
    void SetUp() override
    {
        ListsOnDemoData::SetUp();
        LoadCodeTables(DataSetCode::Devices, 0);
        Config().Update([](ConfigValues& v) { v.KeySelectOption = 128; });
    }
    void TearDown() override
    {
        ListsOnDemoData::TearDown();
        LoadCodeTables();
    }

    // The device codes of the demo whose record holds, in "pztkod" order.
    static std::vector<std::string> DevicesWhere(const std::function<bool(std::string_view)>& holds)
    {
        TDbTable t;
        OpenTable(t, TFileId("pzt"), TFileId("pztkod"), 0);
        std::vector<std::string> out;
        std::string rec;
        for (int32_t p = 0; p < t.LeafCount(); ++p) {
            ReadByOrder(t, p, rec);
            if (holds(rec))
                out.emplace_back(FieldBytes(rec, kDeviceCode));
        }
        OpenTable(t, TFileId(), TFileId(), 0);
        DbStatus = 0;
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::vector<std::string> ShownCodes(const TVyb* w)
    {
        std::vector<std::string> out = Column(w, 2, 7);
        std::sort(out.begin(), out.end());
        return out;
    }
    // Moves the code list's cursor to the row whose text holds `text`, then
    // presses Enter.
    static bool EnterOn(TVyb* w, const std::string& text)
    {
        Key(w, Qt::Key_Home);
        Settle();
        for (int i = 0; i < 80; ++i) {
            const TVybRow& row = w->Rec.Rows[w->Rec.CurRow];
            if (row.Text.View().find(text) != std::string_view::npos) {
                Key(w, Qt::Key_Return);
                Settle();
                return true;
            }
            Key(w, Qt::Key_Down);
            Settle();
        }
        return false;
    }
};

TEST_F(DeviceLists, NameListShowsTwoLineRowsAndEveryDeviceInOrder)
{
    DeviceList list('K');
    ASSERT_TRUE(list.CheckTables().empty());
    auto rec = std::make_unique<VybRec>();
    rec->Letter = 'K';
    rec->FetchMode = FetchModeCode::Seek;
    std::vector<std::string> walked;
    for (int i = 0; i < 200; ++i) {
        TVybRow row;
        std::string text;
        list.Fetch(*rec, row, text);
        if (row.Pos < 0)
            break;
        EXPECT_GT(row.Offer1, 0);
        walked.push_back(text.substr(1, 7));
        rec->Rows[1] = row;
        rec->RowCount = 1;
        rec->FetchMode = FetchModeCode::After;
    }
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(walked, DevicesWhere([](std::string_view) { return true; }));
    // Past the last key in strict mode: nothing, no stale row.
    rec->Options = 0x80;
    rec->Prefix = "9999999";
    rec->FetchMode = FetchModeCode::Seek;
    TVybRow row;
    std::string text;
    list.Fetch(*rec, row, text);
    EXPECT_EQ(row.Pos, -1);

    TVyb* w = Open("TNA");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->TwoLineRows);
    Type(w, "GLU");
    Settle();
    ASSERT_GE(w->Rec.RowCount, 1);
    ShowLines(w, 12);
    liststest::SaveShot(host->grab().toImage(), "device_list.png");
}

TEST_F(DeviceLists, CodeListsOpenTheRestrictedListsOfTheirEntry)
{
    struct Case {
        const char* codeList;
        const char* entry; // text of the code list's row
        const char* restricted;
        FieldPos field;
        std::string key;
    };
    const Case cases[] = {
        {"UTC", "03 ", "TTY", kDeviceType, "03"},
        {"UCC", "DE ", "TCN", kDeviceCountry, "DE "},
        {"UKC", "01.10.03", "TKA", kDeviceClassGroup, "1A30"},
    };
    for (const Case& c : cases) {
        TVyb* codes = Open(c.codeList);
        ASSERT_NE(codes, nullptr) << c.codeList;
        ShowLines(codes, 30);
        ASSERT_TRUE(EnterOn(codes, c.entry)) << c.codeList;
        TVyb* list = ListOf(c.restricted);
        ASSERT_NE(list, nullptr) << c.codeList;
        ShowLines(list, 30);
        const auto expected =
            DevicesWhere([&](std::string_view r) { return FieldBytes(r, c.field) == c.key; });
        ASSERT_FALSE(expected.empty()) << c.codeList;
        EXPECT_EQ(ShownCodes(list), expected) << c.codeList << " prefix \"" << list->Rec.Prefix << "\" value "
                                              << list->Rec.LinkValue << " row " << int(codes->Rec.CurRow) << " "
                                              << codes->Rec.Rows[codes->Rec.CurRow].Offer1;
        EXPECT_EQ(list->Rec.Count, static_cast<int32_t>(expected.size())) << c.codeList;
        if (std::string(c.codeList) == "UTC")
            liststest::SaveShot(host->grab().toImage(), "device_types_and_devices.png");
        // Closing the code list closes its restricted list.
        codes->CloseWindow();
        Settle();
        Settle();
        EXPECT_EQ(ListOf(c.restricted), nullptr) << c.codeList;
    }
}

TEST_F(DeviceLists, CountryListsNeverShowInactiveCountries)
{
    for (const char* code : {"UCC", "FCC"}) {
        TVyb* w = Open(code);
        ASSERT_NE(w, nullptr) << code;
        ShowLines(w, 30);
        const std::vector<std::string> codes = Column(w, 2, 3);
        EXPECT_TRUE(std::find(codes.begin(), codes.end(), "CZ") != codes.end()) << code;
        EXPECT_TRUE(std::find(codes.begin(), codes.end(), "YU") == codes.end()) << code;
        w->CloseWindow();
        Settle();
    }
}

TEST(ClassGroupSeek, PointsOrNotTheSameGroup)
{
    EXPECT_EQ(ClassGroupSeekKey("01.10"), ClassGroupSeekKey("0110"));
    EXPECT_EQ(ClassGroupSeekKey("01.10.03"), "1A30");
    EXPECT_EQ(ClassGroupSeekKey("011003"), "1A30");
    EXPECT_EQ(ClassGroupSeekKey("01"), "1");
}

TEST(GoodsCategoryTree, HideAndShowTheDirectChildren)
{
    CategoryTree tree;
    tree.codes = {"A", "AB", "AB12", "AB13", "AC", "B", "B1", "BA"};
    tree.Collapse();
    EXPECT_EQ(tree.ShownCount(), 2);
    EXPECT_EQ(tree.Marker(0), "+ ");
    tree.ShowChildren(0); // A: AB, AC
    EXPECT_EQ(tree.ShownCount(), 4);
    EXPECT_EQ(tree.Marker(0), "- ");
    EXPECT_EQ(tree.Marker(1), " +");
    tree.ShowChildren(1); // AB: AB12, AB13
    EXPECT_EQ(tree.ShownCount(), 6);
    tree.HideBranch(0); // the whole branch of A
    EXPECT_EQ(tree.ShownCount(), 2);
    tree.ShowChildren(5); // B: B1 is the first, BA as long: both
    EXPECT_EQ(tree.ShownCount(), 4);
    tree.Collapse();
    tree.Reveal("AB13");
    EXPECT_TRUE(FilterBit(tree.shown, 3));
    EXPECT_TRUE(FilterBit(tree.shown, 1));
}

TEST_F(DeviceLists, GoodsCategoryTreeOpensAndEnterListsTheGoods)
{
    LoadCodeTables(DataSetCode::Goods, 0);
    TVyb* w = Open("FAC");
    ASSERT_NE(w, nullptr);
    ShowLines(w, 30);
    w->FnTreeClick();
    Settle();
    EXPECT_EQ(w->Rec.Letter, 'c');
    const std::vector<std::string> top = Column(w, 2, 4);
    EXPECT_TRUE(std::find(top.begin(), top.end(), "AB") == top.end());
    EXPECT_TRUE(std::find(top.begin(), top.end(), "A") != top.end());
    // "=" on A shows its children.
    w->Rec.CurRow = 1;
    Type(w, "=");
    Settle();
    const std::vector<std::string> opened = Column(w, 2, 4);
    EXPECT_TRUE(std::find(opened.begin(), opened.end(), "AB") != opened.end());
    EXPECT_EQ(w->Rec.Prefix, "");
    liststest::SaveShot(host->grab().toImage(), "goods_category_tree.png");
    // Enter on "AB" lists the goods of AB, AB12 and AB13.
    ASSERT_TRUE(EnterOn(w, "AB  "));
    TVyb* goods = ListOf("PAC");
    ASSERT_NE(goods, nullptr);
    EXPECT_EQ(goods->Rec.Prefix, "AB");
    EXPECT_GE(goods->Rec.Count, 5);
}

} // namespace
