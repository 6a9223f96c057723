// The column language (geometry from a row layout and a name list, orders
// written with codes) and the range of a strict index walk.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "lists/toolkit/column_language.h"
#include "lists/toolkit/vyb_types.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

// A width table as a record file header holds it: n, packed codes, descriptors.
std::string WidthTable(const std::vector<DatField>& fields)
{
    std::string t(1, static_cast<char>(fields.size()));
    for (const DatField& f : fields) {
        const uint16_t p = PackFieldName(f.name);
        t += static_cast<char>(p & 0xFF);
        t += static_cast<char>(p >> 8);
    }
    for (const DatField& f : fields)
        t += static_cast<char>(f.descriptor);
    return t;
}

// Kod 7 characters (descriptor 0x06), Naz 70 (0x45).
const std::string kKodNaz = WidthTable({{"KOD", 0x06}, {"NAZ", 0x45}});

} // namespace

TEST(ColumnLanguage, CompilesTheGeometryOfANameList)
{
    struct Case {
        const char* layout;
        const char* names;
        const char* geometry;
    };
    const Case cases[] = {
        // The worked example: Naz shown 42 of 70, Dop 73 long and shown 35.
        {"KodNaz-42Dop=73-35.", "Kod,Naz,Dop", "2/7,9/42,79/35"},
        // A code the layout lacks vanishes with its separator.
        {"KodNaz-42Dop=73-35.", "Kod,Xyz,Naz", "2/7,9/42"},
        {"KodNaz-42Dop=73-35.", "Xyz,Kod", "2/7"},
        // Shown length 0 keeps the column as "0/0"; shown 1 gives the offset alone.
        {"KodNaz-00Dop=01.", "Kod,Naz,Dop", "2/7,0/0,79"},
        // A code without a length anywhere has no place in the row.
        {"KodAbcNaz.", "Kod,Abc,Naz", "2/7,9/70"},
        // Dividers and group breaks pass through; digits are copied.
        {"KodNaz-42Dop=73-35.", "Kod,/1;Naz,;Dop,/1;", "2/7,/1;9/42,;79/35,/1;"},
        // "=" and "-" in either order; "B0" is 180.
        {"Kod-05=09Naz=B0-B0.", "Naz,Kod", "11/180,2/5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompileColumnLayout(c.layout, kKodNaz, c.names), c.geometry)
            << c.layout << " | " << c.names;
}

TEST(ColumnLanguage, ReadsNothingPastItsTexts)
{
    // A trailing "=" without its digits, a truncated width table.
    EXPECT_EQ(CompileColumnLayout("KodNaz=", kKodNaz, "Kod,Naz"), "2/7,9/70");
    EXPECT_EQ(CompileColumnLayout("KodNaz.", kKodNaz.substr(0, 3), "Kod,Naz"), "");
    // A column starting past character 255 has no place in the row text.
    EXPECT_EQ(CompileColumnLayout("Aaa=B0Bbb=B0Ccc=05.", "", "Aaa,Bbb,Ccc"), "2/180,182/180,");
}

TEST(ColumnLanguage, NumbersEveryItemOfTheDeviceNameList)
{
    const char* names = "Kod,/1;Seq,Naz,Pro,Typ,Bal,/2;Vyr,/3;MFC,DNC,ZUP,UhC,UhP,KUD,UDo,;Kat,/1;Zdr,Dop,/2;"
                        "Zem,/3;Lim,Pre";
    EXPECT_EQ(ColumnNamesToOrder(names,
                                 "Naz/99,Dop/99,UhC,Lim,Pre/33,Pro,Seq,Zdr,ZUP,UhP,Typ,Kod,Vyr,Zem,MFC,DNC,"
                                 "Bal,Naz/120,UDo,KUD,Kat"),
              "3/99,21/99,13,25,26/33,4,2,20,12,14,5,0,8,23,10,11,6,3/120,16,15,18,");
}

TEST(ColumnLanguage, OrdersWithCodesBecomeNumbers)
{
    struct Case {
        const char* names;
        const char* order;
        const char* numbers;
    };
    const Case cases[] = {
        {"Kod,Naz,Dop,SR", "Kod/18,Naz/42,Dop/24,SR", "0/18,1/42,2/24,3,"},
        // A two-letter code is read with a blank, also as the last item.
        {"Kod,SR,Naz", "SR,Naz", "1,2,"},
        // Numbers pass as they are; an unknown code goes with its width.
        {"Kod,Naz", "5,Xyz/40,Naz/7", "5,1/7,"},
        // The empty item of a group break takes a number that no code reaches.
        {"Kod,;Naz", "Naz,Kod", "2,0,"},
        {"Kod,Naz", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColumnNamesToOrder(c.names, c.order), c.numbers) << c.names << " | " << c.order;
}

// --- The range of an index walk ------------------------------------------------

namespace {

struct RangeCase {
    std::string prefix;
    bool strict;
    int first, last, count;
};

// A table "med" of (code, name) records with one index, positioned on each
// case's prefix as a Fetch callback does before it sets the range.
void CheckRanges(const std::vector<std::pair<std::string, std::string>>& rows, const SezKeySpec& key,
                 const std::vector<RangeCase>& cases)
{
    BuildKamTables();
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    const DatLayout layout({{"KOD", 0x94}, {"NAZ", 0x0D}});
    std::vector<std::string> records;
    for (const auto& [code, name] : rows) {
        std::string rec = layout.BlankRecord();
        layout.PutText(rec, "KOD", code);
        layout.PutText(rec, "NAZ", name);
        records.push_back(rec);
    }
    ASSERT_EQ(WriteDatFile(d + "med.dat", layout, records), 0);
    ASSERT_EQ(WriteSezFile(d + "medkey.sez", records, key), 0);
    for (const RangeCase& c : cases) {
        TDbTable t;
        OpenTableIn(t, d, "med", "medkey", 19);
        ASSERT_EQ(DbStatus, 0);
        VybRec rec;
        rec.Prefix = c.prefix;
        rec.Options = c.strict ? 0x80 : 0x01;
        std::string buf;
        FindRecord(t, rec.Prefix, buf);
        InitFetchRange(rec, t);
        EXPECT_LE(DbStatus, 0);
        EXPECT_EQ(rec.Count, c.count) << c.prefix;
        EXPECT_EQ(rec.RangeFirst, c.first) << c.prefix;
        EXPECT_EQ(rec.RangeLast, c.last) << c.prefix;
        if (c.strict && rec.RangeFirst > 0) {
            EXPECT_EQ(t.Position(), rec.RangeFirst) << c.prefix;
        }
    }
}

} // namespace

TEST(ColumnLanguage, StrictRangesOnAFoldedNameIndexHoldExactlyThePrefix)
{
    // Key order: AA, AB1, AB2, AB3, AC1, BB, B_X, QQ, ZZ1, ZZ2 (positions 0-9).
    CheckRanges({{"1", "AB2"},
                 {"2", "ZZ1"},
                 {"3", "AA"},
                 {"4", "B_X"},
                 {"5", "AC1"},
                 {"6", "AB1"},
                 {"7", "ZZ2"},
                 {"8", "AB3"},
                 {"9", "BB"},
                 {"10", "QQ"}},
                {5, 14, 192, 10},
                {
                    {"", true, 0, 9, 10},    // empty prefix: the whole index
                    {"AB", false, 0, 9, 10}, // not strict: the whole index
                    {"AB", true, 1, 3, 3},   // AB1 .. AB3, not AC1
                    {"ab", true, 1, 3, 3},   // folded as the keys are
                    {"A", true, 0, 4, 5},
                    {"ZZ", true, 8, 9, 2}, // the last keys keep the last record
                    {"ZZ2", true, 9, 9, 1},
                    {"AD", true, 5, 4, 0}, // nothing starts with it
                    {"B_", true, 6, 6, 1}, // "_" cannot be raised: "B" is
                    {"Q", true, 7, 7, 1},
                    {"_", true, 0, 9, 1}, // "_" alone: the rest from where the search stopped
                });
}

TEST(ColumnLanguage, StrictRangesOnDigitAndRawIndexes)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"10002", "x"}, {"10000", "x"}, {"=1299", "x"}, {"10001", "x"}, {"=1234", "x"}, {"20000", "x"}};
    // Digit keys: 10000, 10001, 10002, 20000, =1234, =1299 ("=" packs above the digits).
    CheckRanges(rows, {0, 5, 32, 5},
                {
                    {"100", true, 0, 2, 3},
                    {"1", true, 0, 2, 3},
                    {"=", true, 0, 5, 2},   // "=" alone: the rest of a digit index
                    {"=12", true, 4, 5, 2}, // up to the end
                    {"3", true, 4, 3, 0},
                });
    // Raw keys with a byte 255 inside: it cannot be raised, the one before is.
    const std::string ff(1, '\xFF');
    CheckRanges({{"A" + ff + "1", "x"}, {"A" + ff + "2", "x"}, {"A1", "x"}, {"B1", "x"}}, {0, 5, 0, 5},
                {
                    {"A" + ff, true, 1, 2, 2}, {ff, true, 3, 3, 1}, // nothing can be raised: to the end
                });
}
