// The consumption and price-history lists on the demo data: opened by their
// commands under a drug list, following it to another product.

#include <gtest/gtest.h>

#include <QMdiSubWindow>

#include "datastore/db_table.h"
#include "datastore/service_hooks.h"
#include "datastore/table_layouts.h"
#include "frame/commands/command_services.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/kind_code.h"
#include "frame/entry_points.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/toolkit/list_window.h"
#include "platform/message_sink.h"
#include "tests/lists/lists_test_support.h"
#include "tests/support/text_tables.h"

namespace {

using liststest::Settle;

// The record number of a drug code in the demo drug table (0: none).
int32_t DrugRecord(const std::string& code)
{
    return liststest::RecordOfKey("kl", "klkod", code);
}

// The first drug of the demo table without a row in a table's index.
std::string DrugWithoutRows(const char* table, const char* index)
{
    TDbTable kl, other;
    OpenTable(kl, TFileId("kl"), TFileId("klkod"), 0);
    OpenTable(other, TFileId(table), TFileId(index), 0);
    std::string rec, found;
    for (int32_t p = 0; p < kl.LeafCount(); ++p) {
        ReadByOrder(kl, p, rec);
        const std::string code = GetField(rec, kDrugCode.start, kDrugCode.length);
        FindRecord(other, code, found);
        if (DbStatus != 0 || GetField(found, kDrugCode.start, kDrugCode.length) != code) {
            DbStatus = 0;
            return code;
        }
    }
    return {};
}

// A drug list standing on a record: it offers the record as kind 6.
class DrugMaster : public dftest::ProbeWindow {
public:
    explicit DrugMaster(int32_t record) : ProbeWindow(KindOf("DNA"), "drugs")
    {
        LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
        LinkValues = {0, record, 0};
    }
};

class CommandProductLists : public liststest::DemoListsTest {
protected:
    DrugMaster* Master(const std::string& code)
    {
        auto* m = new DrugMaster(DrugRecord(code));
        m->Master = host;
        QMdiSubWindow* sub = m->Show();
        host->area->setActiveSubWindow(sub);
        Settle();
        return m;
    }
};

TEST(CommandProductListText, RowLayoutsAndFieldTexts)
{
    const std::vector<RowColumn> cols = ParseRowLayout("RoC=06Uh =02VC =11Hr DNCLPr=40-20ATCDph=03.");
    ASSERT_EQ(cols.size(), 8u);
    EXPECT_EQ(cols[0].code, "RoC");
    EXPECT_EQ(cols[0].length, 6);
    EXPECT_EQ(cols[1].code, "Uh ");
    EXPECT_EQ(cols[3].length, 0); // from the field
    EXPECT_EQ(cols[5].length, 40);
    EXPECT_EQ(cols[6].code, "ATC");
    EXPECT_EQ(cols[7].length, 3);
    struct Case {
        std::string bytes;
        uint8_t descriptor;
        const char* shown;
    };
    const Case cases[] = {
        {"       42", 0xB8, "0.42"}, {"   123456", 0xB8, "1234.56"},
        {"         ", 0xB8, ""},     {"5", 0xB8, "0.05"},
        {"2025/1", 0x05, "2025/1"},  {std::string("\x39\x30", 2), 0xF1, "12345"},
        {"  7575", 0x88, "7575"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FieldDisplayText(c.bytes, c.descriptor), c.shown) << c.bytes;
}

TEST_F(CommandProductLists, PriceHistoryShowsTheProductsRowsAndFollowsItsMaster)
{
    DrugMaster* master = Master("0000129");
    ExecuteCommand(master, KindOf("rHA"), 0);
    Settle();
    TVyb* w = ListOf("rHA");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Master.get(), master);
    EXPECT_TRUE(w->Dependent);
    EXPECT_EQ(w->Widget()->property("helpKeyword").toString(), QStringLiteral("HisCen"));
    std::vector<std::string> rows = RowTexts(w);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(1, 6), "2024/4");
    EXPECT_NE(rows[0].find("0.42"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find("N02BE01"), std::string::npos);
    EXPECT_EQ(w->Rec.Count, 4); // the product's rows in the demo history
    ASSERT_NE(w->SubWindow(), nullptr);
    w->SubWindow()->setGeometry(10, 10, 900, 200);
    Settle();
    liststest::SaveShot(host->grab().toImage(), "price_history.png");

    // The master moves to another product: the list shows that one's rows.
    const std::string other = "0000152";
    const int32_t otherRecord = DrugRecord(other);
    ASSERT_GT(otherRecord, 0);
    master->LinkValues[1] = otherRecord;
    master->PropagateLinks();
    Settle();
    rows = RowTexts(w);
    ASSERT_FALSE(rows.empty());
    TDbTable t;
    OpenTable(t, TFileId("vzph"), TFileId("vzphkod"), 0);
    std::string rec;
    FindRecord(t, other, rec);
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(
        rows[0].substr(1, 6),
        GetFieldTrim(rec, kHistoryPeriod.start, kHistoryPeriod.length) +
            std::string(6 - GetFieldTrim(rec, kHistoryPeriod.start, kHistoryPeriod.length).size(), ' '));

    // A second command under the same master raises this one.
    ExecuteCommand(master, KindOf("rHA"), 0);
    Settle();
    EXPECT_EQ(ListOf("rHA"), w);
}

TEST_F(CommandProductLists, ConsumptionPicksTheTableByLetterAndADrugWithoutRowsShowsNone)
{
    DrugMaster* master = Master("0000129");
    ExecuteCommand(master, KindOf("rCY"), 0);
    Settle();
    TVyb* quarterly = ListOf("rCY");
    ASSERT_NE(quarterly, nullptr);
    std::vector<std::string> rows = RowTexts(quarterly);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].substr(1, 7), "2025/1 ");
    EXPECT_NE(rows[0].find("7575"), std::string::npos);
    EXPECT_NE(rows[0].find("378.75"), std::string::npos) << rows[0];
    EXPECT_NE(quarterly->Caption().toStdString().find("2025"), std::string::npos)
        << quarterly->Caption().toStdString();

    host->area->setActiveSubWindow(master->SubWindow());
    ExecuteCommand(master, KindOf("rCX"), 0);
    Settle();
    TVyb* yearly = ListOf("rCX");
    ASSERT_NE(yearly, nullptr);
    rows = RowTexts(yearly);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0].substr(1, 4), "2023");

    const std::string none = DrugWithoutRows("spot1", "spot1atc");
    ASSERT_FALSE(none.empty());
    DrugMaster* empty = Master(none);
    ExecuteCommand(empty, KindOf("rCY"), 0);
    Settle();
    TVyb* nothing = ListOf("rCY");
    ASSERT_NE(nothing, nullptr);
    EXPECT_NE(nothing, quarterly);
    EXPECT_EQ(nothing->Rec.RowCount, 0);
    EXPECT_TRUE(sink.Requests().empty());
}

TEST_F(CommandProductLists, AMissingTableSaysNoData)
{
    SetDataDir(QEVW_FIXTURES_DIR "/");
    DrugMaster* master = Master("0000129");
    ExecuteCommand(master, KindOf("rHA"), 0);
    ASSERT_EQ(sink.Requests().size(), 1u);
    EXPECT_EQ(sink.Requests()[0].text, KamToQString(LookupText(UiTexts, "Chyby", "NoData")));
    EXPECT_EQ(ListOf("rHA"), nullptr);
}

} // namespace
