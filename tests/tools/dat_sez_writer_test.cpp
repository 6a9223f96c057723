#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <random>
#include <stdexcept>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "fixtures/small_tables.h"
#include "platform/fs.h"
#include "writers/csv_source.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

const DatLayout& MedLayout()
{
    static const DatLayout layout({{"KOD", 0x92}, {"NAZ", 0x0D}});
    return layout;
}

TEST(DatWriter, WritesTheHandLaidBytes)
{
    EXPECT_EQ(BuildDatFile(MedLayout(), small_tables::MedRecords(), 0x1234), small_tables::MedDat());
    const DatLayout tree({{"KOD", 0x91}, {"NAZ", 0x03}});
    EXPECT_EQ(tree.HeaderShift(), 1);
    EXPECT_EQ(BuildDatFile(tree, small_tables::TreeRecords()), small_tables::TreeDat());
}

TEST(DatWriter, FillsFieldsAndRefusesWhatTheFormatCannotHold)
{
    const DatLayout layout({{"KOD", 0x96}, {"SR", 0x00}, {"PC", 0xB8}, {"CC", 0xF3}, {"PEA", 0xF8}});
    EXPECT_EQ(layout.Length(), 7 + 1 + 9 + 4 + 1);
    EXPECT_EQ(layout.Offset("SR"), 7);
    EXPECT_EQ(layout.Offset("SR "), 7);
    EXPECT_EQ(layout.Width("PC"), 9);
    EXPECT_EQ(PackFieldName("SR"), PackFieldName("SR "));
    EXPECT_EQ(PackFieldName("KOD"), 0x2DE4);
    std::string rec = layout.BlankRecord();
    layout.PutRight(rec, "KOD", "123", '0');
    layout.PutText(rec, "SR", "R");
    layout.PutRight(rec, "PC", "1234");
    layout.PutInt(rec, "CC", -1);
    layout.PutInt(rec, "PEA", 3);
    EXPECT_EQ(rec, std::string("0000123R     1234\xFF\xFF\xFF\xFF\x03", 22));

    EXPECT_THROW(layout.PutText(rec, "SR", "RR"), std::invalid_argument);
    EXPECT_THROW(layout.PutText(rec, "XYZ", "R"), std::invalid_argument);
    std::string shortRec = "abc";
    EXPECT_THROW(layout.PutText(shortRec, "SR", "R"), std::invalid_argument);
    EXPECT_THROW(BuildDatFile(layout, {"too short"}), std::invalid_argument);
    EXPECT_THROW(DatLayout(std::vector<DatField>{}), std::invalid_argument);
    EXPECT_THROW(DatLayout(std::vector<DatField>(61, {"A", 0})), std::invalid_argument);
    EXPECT_THROW(DatLayout(std::vector<DatField>(10, {"A", 0})), std::invalid_argument); // 35 > 2 * 10
    EXPECT_THROW(DatLayout(std::vector<DatField>{{"NAME", 0}}), std::invalid_argument);
}

TEST(SezWriter, WritesTheHandLaidBytes)
{
    EXPECT_EQ(BuildSezFile(small_tables::MedRecords(), {3, 14, 192, 10}), small_tables::MedNazSez());
    const SezGeometry g = SezGeometryFor(5, {3, 14, 192, 10});
    EXPECT_EQ(g.P, 2);
    EXPECT_EQ(g.E, 9);
    EXPECT_EQ(g.keyBytes, 7);
    EXPECT_EQ(g.W, 71);
    const SezGeometry big = SezGeometryFor(70000, {0, 7, 32, 7});
    EXPECT_EQ(big.P, 3);
    EXPECT_EQ(big.E, 7); // 4 digit bytes + 3
    EXPECT_EQ(big.W, 91);
    EXPECT_THROW(BuildSezFile(small_tables::MedRecords(), {3, 14, 96, 10}), std::invalid_argument);
    EXPECT_THROW(BuildSezFile(small_tables::MedRecords(), {10, 14, 192, 10}), std::invalid_argument);
    EXPECT_THROW(BuildSezFile(small_tables::MedRecords(), {3, 14, 160, 4}), std::invalid_argument);
}

// Reads the levels of an index back independently of the engine.
struct ParsedSez {
    int E = 0, P = 0, F = 0, M = 0, W = 0;
    bool upper = false;
    std::vector<std::string> keys[3]; // upper, middle, leaf
    std::vector<uint32_t> ptrs[3];
};

ParsedSez Parse(const std::string& sez)
{
    ParsedSez p;
    const auto* b = reinterpret_cast<const uint8_t*>(sez.data());
    p.E = (b[6] & 7) + 2;
    p.P = b[7] & 3;
    p.F = (b[4] | (b[5] << 8)) & 0x3FFF;
    p.W = p.E < 3 ? 160 : 640 / p.E;
    p.upper = (b[7] & 4) != 0;
    const int first = 7 / p.E + 1;
    p.M = first + (p.upper ? p.W : 0);
    const int entries = static_cast<int>(sez.size()) / p.E;
    for (int i = first; i < entries; ++i) {
        const int level = i < p.M ? 0 : i < p.F ? 1 : 2;
        p.keys[level].push_back(sez.substr(static_cast<size_t>(i * p.E), static_cast<size_t>(p.E - p.P)));
        uint32_t v = 0;
        for (int j = p.P - 1; j >= 0; --j)
            v = (v << 8) | b[i * p.E + (p.E - p.P) + j];
        p.ptrs[level].push_back(v);
    }
    return p;
}

std::vector<std::string> NamedRecords(int n, std::mt19937& rng)
{
    const std::string letters = "ABCDEFGHIJKLMNOP \x87\xA0";
    std::vector<std::string> recs;
    for (int i = 0; i < n; ++i) {
        std::string name;
        for (int j = 0; j < 14; ++j)
            name += letters[rng() % letters.size()];
        char kod[4];
        std::snprintf(kod, sizeof kod, "%03d", i % 1000);
        recs.push_back(std::string(kod, 3) + name);
    }
    return recs;
}

TEST(SezWriter, BuildsTheLevelsTheSearchReliesOn)
{
    std::mt19937 rng(3);
    const int W = 71; // E = 9
    for (int n : {1, 2, 70, 71, 72, 141, 142, 500, W * (W - 1) + 1, W * (W - 1) + 2, 6000}) {
        const std::vector<std::string> recs = NamedRecords(n, rng);
        const std::string sez = BuildSezFile(recs, {3, 14, 192, 10});
        const ParsedSez p = Parse(sez);
        ASSERT_EQ(p.W, W);
        const auto& leaves = p.keys[2];
        const auto& middle = p.ptrs[1];
        ASSERT_EQ(static_cast<int>(leaves.size()), n) << n;
        ASSERT_EQ(p.F, p.M + static_cast<int>(middle.size())) << n;

        // Leaves: every record once, sorted by key bytes.
        std::vector<uint32_t> recNos = p.ptrs[2];
        std::sort(recNos.begin(), recNos.end());
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(recNos[static_cast<size_t>(i)], static_cast<uint32_t>(i + 1));
        ASSERT_TRUE(std::is_sorted(leaves.begin(), leaves.end(),
                                   [](const std::string& a, const std::string& b) {
                                       return std::lexicographical_compare(
                                           a.begin(), a.end(), b.begin(), b.end(),
                                           [](char x, char y) { return uint8_t(x) < uint8_t(y); });
                                   }))
            << n;

        // Middle: every (W - 1)-th leaf and the last; each carries its leaf's key.
        for (size_t j = 0; j < middle.size(); ++j) {
            const uint32_t want = static_cast<uint32_t>(std::min<int64_t>((j + 1) * (W - 1), n - 1));
            ASSERT_EQ(middle[j], want) << n << " middle " << j;
            ASSERT_EQ(p.keys[1][j], leaves[middle[j]]) << n;
        }
        ASSERT_EQ(middle.back(), static_cast<uint32_t>(n - 1));

        // Upper: only above W middle entries, exactly W entries, last repeated.
        ASSERT_EQ(p.upper, middle.size() > static_cast<size_t>(W)) << n;
        if (p.upper) {
            const auto& up = p.ptrs[0];
            ASSERT_EQ(up.size(), static_cast<size_t>(W));
            for (size_t i = 0; i < up.size(); ++i) {
                const uint32_t want =
                    static_cast<uint32_t>(std::min<int64_t>((i + 1) * (W - 1), middle.size() - 1));
                ASSERT_EQ(up[i], want) << n << " upper " << i;
                ASSERT_EQ(p.keys[0][i], p.keys[1][up[i]]);
            }
        }

        // And the engine finds every record by its own name.
        QTemporaryDir dir;
        const std::string d = dir.path().toStdString();
        ASSERT_EQ(WriteDatFile(d + "/t.dat", MedLayout(), recs), 0);
        ASSERT_EQ(WriteFileAtomic(d + "/tnaz.sez", sez), 0);
        TDbTable t;
        OpenTableIn(t, d, "t", "tnaz", 17);
        ASSERT_EQ(DbStatus, 0) << n;
        std::string buf;
        for (int i = 0; i < n; i += std::max(1, n / 300)) {
            const std::string name = recs[static_cast<size_t>(i)].substr(3);
            FindRecord(t, name, buf);
            ASSERT_EQ(DbStatus, 0) << n << " " << i;
            ASSERT_EQ(KamFoldUpper(buf.substr(3)), KamFoldUpper(name));
        }
    }
}

TEST(SezWriter, EmptyTableGetsOneMiddleEntryAndNoLeaves)
{
    const std::string sez = BuildSezFile({}, {3, 14, 192, 10});
    const ParsedSez p = Parse(sez);
    EXPECT_EQ(p.keys[1].size(), 1u);
    EXPECT_TRUE(p.keys[2].empty());
    EXPECT_EQ(p.F, 2);
}

TEST(CsvTable, ReadsQuotedFieldsCommentsAndReportsBadRows)
{
    CsvTable csv;
    std::string error;
    ASSERT_TRUE(csv.Parse("\xEF\xBB\xBF# comment\r\nKOD,NAZ,SIL\r\n001,\"Tlakoklid 2,5 mg\",5MG\r\n\r\n"
                          "002,\"Say \"\"hi\"\"\"\n003\n",
                          "t.csv", error))
        << error;
    EXPECT_EQ(csv.Header(), (std::vector<std::string>{"KOD", "NAZ", "SIL"}));
    ASSERT_EQ(csv.RowCount(), 3u);
    EXPECT_EQ(csv.Value(0, "NAZ"), "Tlakoklid 2,5 mg");
    EXPECT_EQ(csv.Value(1, "NAZ"), "Say \"hi\"");
    EXPECT_EQ(csv.Value(2, "SIL"), "");
    EXPECT_EQ(csv.Value(0, "NONE"), "");
    EXPECT_EQ(csv.LineOf(2), 6);
    EXPECT_FALSE(csv.Parse("A,B\n1,2,3\n", "bad.csv", error));
    EXPECT_EQ(error, "bad.csv:2: 3 fields, the header has 2");
    EXPECT_FALSE(csv.Parse("A\n\"open\n", "bad.csv", error));
}

TEST(Utf8ToKam, ConvertsCzechLettersAndRefusesWhatTheDataCodePageLacks)
{
    std::string out;
    std::string error;
    ASSERT_TRUE(Utf8ToKam("Čaj heřmánek – „bylinný“", out, error)) << error;
    EXPECT_EQ(out, "\x80"
                   "aj he\xA9m\xA0nek - \"bylinn\x98\"");
    EXPECT_FALSE(Utf8ToKam("100 €", out, error));    // cp1250 0x80: no data letter
    EXPECT_FALSE(Utf8ToKam("\xE2\x82", out, error)); // invalid UTF-8
    EXPECT_FALSE(Utf8ToKam("漢", out, error));
}

} // namespace
