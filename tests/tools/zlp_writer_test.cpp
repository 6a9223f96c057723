#include <gtest/gtest.h>

#include "datastore/zlp_table.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "writers/zlp_writer.h"

using test_support::Bytes;

TEST(ZlpWriter, MatchesAFileLaidOutByHand)
{
    ZlpSpec spec;
    spec.monthBase = 145;
    spec.fraction = 100;
    spec.letters = "CSLH";
    spec.rows = {{0x030201, {9, 8, 7, 6}}, {5, {1, 2, 3, 4}}};
    // Code (3) + C, S, L, H + one filler of 8: n = 6, E = 15, header 23 <= 30.
    std::string expected = Bytes(
        {0, 0, 145, 100, 6, 0, 0, 0x00, 0x0C, 0x00, 0x4C, 0x00, 0x30, 0x00, 0x20, 0, 0, 2, 0, 0, 0, 0, 7});
    expected.resize(30, '\0');
    expected += Bytes({5, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0});
    expected += Bytes({1, 2, 3, 9, 8, 7, 6, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(BuildZlpFile(spec), expected);
}

TEST(ZlpWriter, ThresholdBytesRoundTrip)
{
    for (int threshold : {-120, -1, 0, 1, 2, 310, 311, 312, 645}) {
        uint8_t b2 = 0, b3 = 0;
        ZlpThresholdBytes(threshold, b2, b3);
        EXPECT_EQ(3 * b2 - 120 + (b3 > 96) + (b3 > 176), threshold) << threshold;
    }
}

TEST(ZlpWriter, RefusesWhatTheFormatCannotCarry)
{
    ZlpSpec spec;
    spec.letters = "CS";
    spec.rows = {{7, {0, 0}}, {7, {1, 1}}};
    EXPECT_THROW(BuildZlpFile(spec), std::invalid_argument) << "a code twice";
    spec.rows = {{7, {0}}};
    EXPECT_THROW(BuildZlpFile(spec), std::invalid_argument) << "a value missing";
    spec.rows = {{0x1000000, {0, 0}}};
    EXPECT_THROW(BuildZlpFile(spec), std::invalid_argument) << "a code past 24 bits";
    spec.rows = {};
    spec.letters = "Z";
    EXPECT_THROW(BuildZlpFile(spec), std::invalid_argument) << "Z is no letter column";
}

TEST(ZlpWriter, DemoFolderFlagsEachLetter)
{
    std::string bytes;
    ASSERT_EQ(ReadWholeFile(QEVW_DEMO_DATA_DIR "/zlp.dat", bytes), 0);
    const auto table = ParseZlpTable(bytes);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->letters, "CSLH");
    for (char letter : std::string("CSLH")) {
        int flagged = 0, plain = 0;
        for (size_t e = ZlpFormat::kFirstDataEntry; e < table->entryCount; ++e) {
            const auto* p = reinterpret_cast<const unsigned char*>(table->data.data() + e * table->entrySize);
            char code[16];
            std::snprintf(code, sizeof code, "%07u", p[0] | (p[1] << 8) | (p[2] << 16));
            const int r = CheckZlpEntryIn(*table, code, letter, table->threshold - 3);
            flagged += r == 1;
            plain += r == 0;
        }
        EXPECT_GT(flagged, 0) << letter;
        EXPECT_GT(plain, flagged) << letter;
    }
}
