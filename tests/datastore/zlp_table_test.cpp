#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <thread>

#include "datastore/db_table.h"
#include "datastore/zlp_table.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "writers/zlp_writer.h"

namespace {

constexpr int kThreshold = 300;

// Codes 10, 20, ... ; letter C has value (row index), S always 200.  With the
// header of 30 bytes and entries of 15, 15 rows make 255 bytes.
ZlpSpec Spec(int rows)
{
    ZlpSpec spec;
    spec.letters = "CSLH";
    ZlpThresholdBytes(kThreshold, spec.monthBase, spec.fraction);
    for (int i = 0; i < rows; ++i)
        spec.rows.push_back(
            {static_cast<uint32_t>(10 * (i + 1)), {static_cast<char>(i), static_cast<char>(200), 0, 0}});
    return spec;
}

std::unique_ptr<ZlpTable> Table(int rows = 20)
{
    return ParseZlpTable(BuildZlpFile(Spec(rows)));
}

TEST(ZlpTable, SizeLimit)
{
    std::string bytes = BuildZlpFile(Spec(15));
    ASSERT_EQ(bytes.size(), 255u);
    EXPECT_FALSE(ParseZlpTable(bytes)) << "255 bytes are ignored";
    bytes.push_back('\0');
    const auto t = ParseZlpTable(bytes);
    ASSERT_TRUE(t) << "256 bytes are used";
    EXPECT_EQ(t->entryCount, 17u) << "the odd byte is no entry";
    EXPECT_EQ(CheckZlpEntryIn(*t, "0000150", 'S', 0), 1) << "the last full entry";
}

TEST(ZlpTable, Lookups)
{
    const auto t = Table(20); // codes 10 .. 200
    ASSERT_TRUE(t);
    EXPECT_EQ(t->letters, "CSLH");
    EXPECT_EQ(t->threshold, kThreshold);
    EXPECT_EQ(t->entrySize, 15u);
    const int month = kThreshold - 10;
    struct Case {
        const char* record;
        char letter;
        int result;
    };
    const Case cases[] = {
        {"0000200", 'C', 0},                         // last entry: value 19, 290 + 19 >= 300
        {"0000200xyz", 'S', 0},                      // the rest of the record is not the code
        {"0000010", 'C', 1},                         // first data entry: value 0
        {"0000090", 'C', 1},                         // value 8: 298 < 300
        {"0000100", 'C', 1},                         // value 9: 299 < 300
        {"0000110", 'C', 0},                         // value 10: 300 is not below
        {"0000210", 'C', 0},                         // above the last code
        {"0000015", 'C', -1},                        // between two codes
        {"0000005", 'C', -1},                        // below the first
        {"0000010", 'X', 0},                         // no such letter
        {"0000010", '-', 0},    {"0000010", 'c', 0}, // letters are upper case
        {"   10  ", 'C', 1},                         // blanks trimmed
        {"0000000", 'C', 0},                         // not positive
        {"12a4567", 'C', 0},    {"", 'C', 0},        {"       ", 'C', 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckZlpEntryIn(*t, c.record, c.letter, month), c.result) << c.record << c.letter;
}

TEST(ZlpTable, ThresholdBoundary)
{
    const auto t = Table(20);
    ASSERT_TRUE(t);
    // Code 50 has value 4 for C.
    EXPECT_EQ(CheckZlpEntryIn(*t, "50", 'C', kThreshold - 5), 1);
    EXPECT_EQ(CheckZlpEntryIn(*t, "50", 'C', kThreshold - 4), 0);
    // Signed: a data month far below zero still compares as a number.
    EXPECT_EQ(CheckZlpEntryIn(*t, "50", 'S', -1000), 1);
}

TEST(ZlpTable, BadHeadersAreAbsent)
{
    const std::string good = BuildZlpFile(Spec(20));
    ASSERT_TRUE(ParseZlpTable(good));
    auto with = [&](int at, int value) {
        std::string b = good;
        b[static_cast<size_t>(at)] = static_cast<char>(value);
        return b;
    };
    // n = 6: names at 5..16, widths at 17..22.
    EXPECT_FALSE(ParseZlpTable(with(4, 1))) << "one column";
    EXPECT_FALSE(ParseZlpTable(with(4, 0))) << "no column";
    EXPECT_FALSE(ParseZlpTable(with(17, 3))) << "a code column 4 wide";
    EXPECT_FALSE(ParseZlpTable(with(22, 0))) << "filler of 1: E = 8, header 23 > 16";
    EXPECT_FALSE(ParseZlpTable(with(4, 200))) << "columns past the file's header room";

    // Header and filler only: no data entry after them.
    // Widen the filler until 2E >= 256, keeping the header inside entry 1.
    std::string header(5, '\0');
    header[4] = 20;
    for (int i = 0; i < 20; ++i)
        header += std::string(2, '\0');
    header += std::string(1, 2) + std::string(19, 7); // 3 + 19 * 8 = 155
    header.resize(2 * 155, '\0');
    EXPECT_FALSE(ParseZlpTable(header)) << "no entry after the header";
    header += std::string(155, '\0');
    EXPECT_TRUE(ParseZlpTable(header)) << "one entry after it";
}

TEST(ZlpTable, ALetterColumnPastByte255IsReadAtItsOwnOffset)
{
    // Columns: the code, 40 fillers of 8 bytes, then letter C at offset
    // 3 + 320 = 323 of each 324-byte entry.  The filler byte at 323 - 256 =
    // 67 holds another value, which a cut offset would read.
    constexpr size_t kFillers = 40, kOffset = 3 + 8 * kFillers, kEntry = kOffset + 1;
    std::string b(4 * kEntry, '\0');
    uint8_t monthBase = 0, fraction = 0;
    ZlpThresholdBytes(kThreshold, monthBase, fraction);
    b[2] = static_cast<char>(monthBase);
    b[3] = static_cast<char>(fraction);
    b[4] = static_cast<char>(kFillers + 2);
    const size_t names = 5, widths = 5 + 2 * (kFillers + 2);
    b[names + 2 * (kFillers + 1) + 1] = static_cast<char>(3 << 2); // "C@@": 3 << 10
    b[widths] = 2;                                                 // the code: 3 bytes
    for (size_t i = 1; i <= kFillers; ++i)
        b[widths + i] = 7; // 8 bytes each
    b[widths + kFillers + 1] = 0;
    // Code 10: C = 5 (flagged at month 290), 250 at byte 67; code 20 the other way.
    const struct {
        uint32_t code;
        uint8_t own, cut;
    } rows[] = {{10, 5, 250}, {20, 250, 5}};
    for (size_t r = 0; r < 2; ++r) {
        const size_t at = (2 + r) * kEntry;
        b[at] = static_cast<char>(rows[r].code);
        b[at + kOffset] = static_cast<char>(rows[r].own);
        b[at + kOffset % 256] = static_cast<char>(rows[r].cut);
    }
    const auto t = ParseZlpTable(b);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->entrySize, kEntry);
    EXPECT_EQ(t->letters, "C");
    EXPECT_EQ(CheckZlpEntryIn(*t, "10", 'C', kThreshold - 10), 1);
    EXPECT_EQ(CheckZlpEntryIn(*t, "20", 'C', kThreshold - 10), 0);
}

TEST(ZlpTable, DataMonthOfVersion)
{
    // 120 * 2 + 12 * 5 + 3 * 4 - 3, +1 for "n" (14 > 10).
    EXPECT_EQ(DataMonthOfVersion("2025.4n"), 310);
    EXPECT_EQ(DataMonthOfVersion("2025.4"), 309);
    EXPECT_EQ(DataMonthOfVersion("2025.4t"), 311); // 20 > 18
    EXPECT_EQ(DataMonthOfVersion("2026.1"), 120 * 2 + 12 * 6 + 3 - 3);
}

TEST(ZlpTable, LoadsOnceFromTheDataFolder)
{
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/";
    ForgetZlpTable();
    SetDataDir(folder);
    LoadZlpTable();
    EXPECT_TRUE(ZlpData().empty()) << "no file";
    EXPECT_EQ(CheckZlpEntry("0000010", 'C'), 0);

    ASSERT_EQ(WriteFileAtomic(folder + "ZLP.DAT", BuildZlpFile(Spec(20))), 0);
    SetDataMonth(kThreshold - 1);
    // A reader on another thread sees no table or the whole one.
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            const int r = CheckZlpEntry("0000010", 'C');
            ASSERT_TRUE(r == 0 || r == 1);
        }
    });
    LoadZlpTable();
    stop = true;
    reader.join();
    EXPECT_EQ(ZlpData().size(), 30u + 20 * 15);
    EXPECT_EQ(ZlpLetters(), "CSLH");
    EXPECT_EQ(ZlpThreshold(), kThreshold);
    EXPECT_EQ(ZlpEntrySize(), 15u);
    EXPECT_EQ(CheckZlpEntry("0000010", 'C'), 1);

    // Loaded: a changed file is not read again in this run.
    ASSERT_EQ(WriteFileAtomic(folder + "ZLP.DAT", std::string(300, '\0')), 0);
    LoadZlpTable();
    EXPECT_EQ(ZlpLetters(), "CSLH");

    ForgetZlpTable();
    LoadZlpTable();
    EXPECT_TRUE(ZlpData().empty()) << "a damaged file is absent";
    SetDataDir("");
    SetDataMonth(0);
}

} // namespace
