#include <gtest/gtest.h>

#include <string>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "platform/cp1250.h"

namespace {

// The demo drug table as the build makes it from demo/kl.csv.
TEST(DemoKl, OpensWithBothIndexesAndFindsNamesAndCodes)
{
    TDbTable t;
    OpenTableIn(t, QEVW_DEMO_DATA_DIR, "kl", "klnaz", kKlLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    EXPECT_EQ(t.dat.FieldCount(), 52);
    EXPECT_EQ(t.dat.shift, 0);
    EXPECT_EQ(FieldNameToStr(t.dat.FieldName(1)), "NAZ");
    EXPECT_EQ(FieldNameToStr(t.dat.FieldName(51)), "SCD");
    EXPECT_EQ(t.sez.KeyFieldOffset(), 7);
    EXPECT_EQ(t.sez.keyType, 192 + 10);
    const int32_t records = t.dat.count - 1;
    ASSERT_GE(records, 30);

    // Names in key order, folded; every record once.
    std::string buf;
    std::string previous;
    for (int32_t pos = 0; pos < records; ++pos) {
        ReadByOrder(t, pos, buf);
        ASSERT_EQ(DbStatus, 0);
        const std::string name = GetFieldUpper(buf, kDrugName.start, kDrugName.length);
        EXPECT_LE(previous, name);
        previous = name;
    }

    // Typed without diacritics and in lower case: "zaludex" finds "Žaludex".
    FindRecord(t, "zaludex 4", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(Cp1250ToUtf8(KamToWin(GetFieldTrim(buf, kDrugName.start, kDrugName.length))), "Žaludex 40 mg");
    EXPECT_EQ(GetField(buf, kDrugCode.start, kDrugCode.length), "0000226");
    FindRecord(t, "PARA", buf);
    EXPECT_EQ(DbStatus, 0);
    EXPECT_EQ(GetFieldUpper(buf, kDrugName.start, 4), "PARA");

    // Every code finds its own record through the code index.
    TDbTable codes;
    OpenTableIn(codes, QEVW_DEMO_DATA_DIR, "kl", "klkod", kKlLayout.Length());
    ASSERT_EQ(DbStatus, 0);
    for (int32_t r = 1; r <= records; ++r) {
        ReadRecord(codes.dat, r, buf);
        const std::string code = GetField(buf, kDrugCode.start, kDrugCode.length);
        FindRecord(codes, code, buf);
        ASSERT_EQ(DbStatus, 0) << code;
        EXPECT_EQ(codes.recNo, r) << code;
    }
    // Text positions without a text are -1.
    EXPECT_EQ(GetField(buf, kDrugSummaryOffset.start, kDrugSummaryOffset.length), std::string(4, '\xFF'));
}

} // namespace
