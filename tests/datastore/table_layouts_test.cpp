// The table layouts: one per record table of the manifest, positions as the
// data folder reference states them, and the header comparison that
// data_struct_check and the builder rely on to catch a layout that drifted
// from its file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datastore/manifest.h"
#include "datastore/table_layouts.h"
#include "writers/dat_writer.h"

namespace {

std::string Joined(const std::vector<std::string>& lines)
{
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

bool Mentions(const std::vector<std::string>& lines, const std::string& part)
{
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

TEST(TableLayouts, EveryTableOfTheManifestHasOneSoundLayout)
{
    EXPECT_TRUE(TableLayoutFaults().empty()) << Joined(TableLayoutFaults());
    std::vector<std::string> tables;
    for (const DataFileEntry& e : DataFileTable)
        if (e.Kind() == DataFileKind::Table && std::string(e.id) != "nazvy") // no reader, never built
            tables.push_back(e.id);
    std::vector<std::string> layouts;
    for (const TableLayout& l : TableLayouts())
        layouts.emplace_back(l.id);
    EXPECT_EQ(layouts, tables);
    for (const std::string& id : tables) {
        ASSERT_NE(FindTableLayout(id), nullptr) << id;
        EXPECT_EQ(FindTableLayout(id)->id, id);
    }
    EXPECT_EQ(FindTableLayout("nazvy"), nullptr);
    EXPECT_EQ(FindTableLayout("klkod"), nullptr);
}

// Positions of the data folder reference (1-based start, length), spread over
// the tables and over each long table, so a descriptor typed wrong anywhere
// before a field moves it.
TEST(TableLayouts, FieldsLieWhereTheReferencePutsThem)
{
    struct Case {
        const char* table;
        const char* field;
        int start, length;
    };
    const Case cases[] = {
        {"kl", "KOD", 1, 7},        {"kl", "NAZ", 8, 70},      {"kl", "OBA", 178, 6},
        {"kl", "SR", 190, 1},       {"kl", "SR ", 190, 1},     {"kl", "ATC", 193, 7},
        {"kl", "DDB", 230, 8},      {"kl", "VPO", 252, 4},     {"kl", "PC", 307, 9},
        {"kl", "VYP", 319, 1},      {"kl", "CC", 321, 4},      {"kl", "SCD", 345, 2},
        {"kle", "EAN", 8, 13},      {"cvzp", "PUV", 11, 10},   {"cvzp", "UCE", 33, 9},
        {"cvzp", "SPE", 46, 35},    {"cvzp", "PLA", 117, 4},   {"cvzp", "ODK", 121, 4},
        {"vypad", "NAH", 13, 50},   {"vypad", "OBN", 241, 4},  {"vpois", "WEB", 75, 90},
        {"vpois", "TE2", 283, 18},  {"atca", "NAR", 137, 24},  {"drzv", "NAZ", 7, 99},
        {"isva", "NAZ", 3, 56},     {"pztzemv", "NAZ", 5, 30}, {"pfa", "CC", 241, 4},
        {"pzt", "UHS", 170, 4},     {"pzt", "OHL", 189, 4},    {"pzt", "DZM", 276, 4},
        {"pztuhs", "NAR", 133, 52}, {"pztuhs", "ART", 191, 4}, {"pzttypv", "MET", 103, 4},
        {"pztvyrv", "VYR", 7, 60},  {"kab", "GRP", 4, 3},      {"spot2", "KOD", 1, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.field);
        const TableLayout* l = FindTableLayout(c.table);
        ASSERT_NE(l, nullptr);
        const int i = l->Index(c.field);
        ASSERT_GE(i, 0);
        EXPECT_EQ(l->At(i).start, c.start);
        EXPECT_EQ(l->At(i).length, c.length);
    }
    EXPECT_EQ(kKlLayout.Index("XYZ"), -1);
    // Constants resolved by the compiler agree with the run-time look-up.
    constexpr FieldPos kOhl = kPztLayout.Field("OHL");
    static_assert(kOhl.start == 189 && kOhl.End() == 192 && kOhl.Offset() == 188);
}

TEST(TableLayouts, FieldBytesAreCutAtTheRecordEnd)
{
    constexpr FieldPos kName = kKlLayout.Field("NAZ"); // 8-77
    const std::string rec = "0000123Paralen";
    EXPECT_EQ(FieldBytes(rec, kName), "Paralen");
    EXPECT_EQ(FieldBytes(rec, kKlLayout.Field("KOD")), "0000123");
    EXPECT_EQ(FieldBytes(rec, kKlLayout.Field("SR")), "");
    EXPECT_EQ(FieldByte(rec, kName), 'P');
    EXPECT_EQ(FieldByte(rec, kName, 6), 'n');
    EXPECT_EQ(FieldByte(rec, kName, 7), ' '); // past the end
}

// The header the writer makes from a layout agrees with it; each kind of
// drift is named.
TEST(TableLayouts, HeaderDifferencesAreNamed)
{
    const std::string good = BuildDatFile(DatLayout(kKleLayout), {});
    EXPECT_TRUE(LayoutDifferences(kKleLayout, good).empty()) << Joined(LayoutDifferences(kKleLayout, good));
    const std::string kl = BuildDatFile(DatLayout(kKlLayout), {});
    EXPECT_TRUE(LayoutDifferences(kKlLayout, kl).empty());

    struct Case {
        const char* what;
        std::vector<DatField> fields; // the file's
        const char* part;
    };
    const std::vector<Case> cases = {
        {"renamed", {{"KOD", 0x96}, {"EAX", 0xDC}, {"DRU", 0x00}}, "field 2 (EAN): named EAX in the file"},
        {"lengths swapped, record length kept",
         {{"KOD", 0xDC}, {"EAN", 0x96}, {"DRU", 0x00}},
         "field 1 (KOD): 13 bytes in the file, 7 in the layout"},
        {"a field fewer", {{"KOD", 0x96}, {"EAN", 0xDD}}, "2 fields in the file, 3 in the layout"},
        {"a field more",
         {{"KOD", 0x96}, {"EAN", 0xDC}, {"DRU", 0x00}, {"NEW", 0x00}},
         "4 fields in the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::string> diffs =
            LayoutDifferences(kKleLayout, BuildDatFile(DatLayout(c.fields), {}));
        EXPECT_TRUE(Mentions(diffs, c.part)) << Joined(diffs);
    }
    // A header cut short is a difference, not a read past its end.
    EXPECT_FALSE(LayoutDifferences(kKleLayout, good.substr(0, 10)).empty());
    EXPECT_FALSE(LayoutDifferences(kKleLayout, good.substr(0, 3)).empty());
}

// Price history and consumption keep the data set's own fields: only the
// drug code the lists seek is compared.
TEST(TableLayouts, AFreeLayoutFixesOnlyItsFirstField)
{
    const std::string other = BuildDatFile(DatLayout({{"KOD", 0x96}, {"XYZ", 0x40}}), {});
    EXPECT_TRUE(LayoutDifferences(kVzphLayout, other).empty())
        << Joined(LayoutDifferences(kVzphLayout, other));
    const std::string shorter = BuildDatFile(DatLayout({{"KOD", 0x95}, {"XYZ", 0x40}}), {});
    EXPECT_TRUE(Mentions(LayoutDifferences(kVzphLayout, shorter), "field 1 (KOD): 6 bytes"));
    EXPECT_FALSE(LayoutDifferences(kKleLayout, other).empty());
}

} // namespace
