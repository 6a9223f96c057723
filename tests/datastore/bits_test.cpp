#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <random>

#include "datastore/bits.h"
#include "datastore/db_table.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"

namespace {

int64_t SlowCount(const TBits& b, int64_t from, int64_t to)
{
    int64_t n = 0;
    for (int64_t i = from; i <= to; ++i)
        n += BitTest(b, i);
    return n;
}

int64_t SlowNth(const TBits& b, int64_t from, int64_t n)
{
    if (n <= 0)
        return from;
    const int64_t end = static_cast<int64_t>(b.size()) * 8;
    if (from >= end)
        return from;
    for (int64_t i = std::max<int64_t>(from, 0); i < end; ++i)
        if (BitTest(b, i) && --n == 0)
            return i + 1;
    return end;
}

} // namespace

TEST(Bits, InitAllSetsExactlyTheFirstNBits)
{
    struct Case {
        int64_t n;
        TBits expected;
    } cases[] = {
        {0, {0x00}},        {-3, {0x00}},       {1, {0x01}},
        {7, {0x7F}},        {8, {0xFF}},        {9, {0xFF, 0x01}},
        {10, {0xFF, 0x03}}, {16, {0xFF, 0xFF}}, {17, {0xFF, 0xFF, 0x01}},
    };
    for (const Case& c : cases) {
        TBits b{0xAA, 0xAA, 0xAA, 0xAA};
        BitsInitAll(b, c.n);
        EXPECT_EQ(b, c.expected) << "n = " << c.n;
    }
}

TEST(Bits, SingleBitsOutsideTheArrayAreAbsentAndUnchangeable)
{
    TBits b{0x00, 0x80};
    EXPECT_TRUE(BitTest(b, 15));
    EXPECT_FALSE(BitTest(b, 14));
    EXPECT_FALSE(BitTest(b, -1));
    EXPECT_FALSE(BitTest(b, 16));
    BitSet(b, 16);
    BitSet(b, -1);
    BitClear(b, 99);
    EXPECT_EQ(b, (TBits{0x00, 0x80})) << "the array must not grow or change";
    BitSet(b, 3);
    BitClear(b, 15);
    EXPECT_EQ(b, (TBits{0x08, 0x00}));
    TBits empty;
    EXPECT_FALSE(BitTest(empty, 0));
    BitSet(empty, 0);
    EXPECT_TRUE(empty.empty());
}

TEST(Bits, AndAndAndNotWorkOverTheShorterLength)
{
    TBits a{0xFF, 0x0F, 0xF0};
    BitsAnd(a, TBits{0x3C, 0xFF});
    EXPECT_EQ(a, (TBits{0x3C, 0x0F, 0xF0}));
    TBits c{0x3C};
    BitsAnd(c, TBits{0x0F, 0x00, 0x00});
    EXPECT_EQ(c, (TBits{0x0C}));
    TBits d{0xFF, 0xFF, 0xFF};
    BitsAndNot(d, TBits{0x81, 0x10});
    EXPECT_EQ(d, (TBits{0x7E, 0xEF, 0xFF}));
}

TEST(Bits, CountCoversPartialBytesAndCutsAtTheEnd)
{
    const TBits twoFull{0xFF, 0xFF};
    const TBits mixed{0xF0, 0x0F, 0xAA, 0x01};
    struct Case {
        const TBits* bits;
        int64_t from, to, expected;
    } cases[] = {
        {&twoFull, 0, 15, 16}, {&twoFull, 3, 12, 10}, {&twoFull, 0, 100, 16},      {&twoFull, -5, 3, 4},
        {&twoFull, 5, 4, 0},   {&twoFull, 16, 40, 0}, {&twoFull, 7, 8, 2},         {&twoFull, 2, 2, 1},
        {&mixed, 0, 31, 13},   {&mixed, 4, 11, 8},    {&mixed, 3, 12, 8},          {&mixed, 12, 24, 5},
        {&mixed, 8, 23, 8},    {&mixed, 17, 17, 1},   {&mixed, 24, 1000000000, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitsCount(*c.bits, c.from, c.to), c.expected) << c.from << ".." << c.to;
}

TEST(Bits, NthFindsThePositionAfterTheNthSetBit)
{
    TBits b{0x20, 0x00, 0x00, 0x81}; // bits 5, 24, 31
    struct Case {
        int64_t from, n, expected;
    } cases[] = {
        {0, 1, 6}, {0, 2, 25}, {0, 3, 32}, {0, 4, 32},  {6, 1, 25},  {5, 1, 6},
        {0, 0, 0}, {7, -1, 7}, {-9, 1, 6}, {32, 1, 32}, {40, 2, 40}, {25, 1, 32},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BitsNth(b, c.from, c.n), c.expected) << "from " << c.from << " n " << c.n;
}

TEST(Bits, CountAndNthAgreeWithABitByBitWalk)
{
    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        TBits b(1 + rng() % 12);
        const int density = static_cast<int>(rng() % 4);
        for (auto& byte : b) {
            byte = static_cast<uint8_t>(rng());
            if (density == 0)
                byte &= static_cast<uint8_t>(rng()); // sparse
            if (density == 1)
                byte |= static_cast<uint8_t>(rng()); // dense
        }
        const int64_t bits = static_cast<int64_t>(b.size()) * 8;
        for (int k = 0; k < 60; ++k) {
            const int64_t from = static_cast<int64_t>(rng() % (bits + 20)) - 10;
            const int64_t to = static_cast<int64_t>(rng() % (bits + 20)) - 10;
            ASSERT_EQ(BitsCount(b, from, to), SlowCount(b, from, to)) << from << ".." << to;
            const int64_t n = static_cast<int64_t>(rng() % 40) - 2;
            ASSERT_EQ(BitsNth(b, from, n), SlowNth(b, from, n)) << from << " n " << n;
        }
    }
}

// Next and previous set bits skip zero bytes whole: against a bit-by-bit
// walk over sparse arrays, bounds outside the array, and an empty array.
TEST(Bits, NextAndPreviousSetAgreeWithABitByBitWalk)
{
    auto slowNext = [](const TBits& b, int64_t from, int64_t last) -> int64_t {
        for (int64_t p = std::max<int64_t>(from, 0); p <= last; ++p)
            if (BitTest(b, p))
                return p;
        return -1;
    };
    auto slowPrevious = [](const TBits& b, int64_t from, int64_t first) -> int64_t {
        for (int64_t p = std::min<int64_t>(from, static_cast<int64_t>(b.size()) * 8 - 1);
             p >= first && p >= 0; --p)
            if (BitTest(b, p))
                return p;
        return -1;
    };
    EXPECT_EQ(BitsNextSet(TBits{}, 0, 100), -1);
    EXPECT_EQ(BitsPreviousSet(TBits{}, 100, 0), -1);
    std::mt19937 rng(11);
    for (int round = 0; round < 40; ++round) {
        TBits b(1 + rng() % 12);
        for (auto& byte : b)
            byte = (rng() % 3 == 0) ? static_cast<uint8_t>(1u << (rng() % 8)) : 0;
        const int64_t bits = static_cast<int64_t>(b.size()) * 8;
        for (int k = 0; k < 60; ++k) {
            const int64_t a = static_cast<int64_t>(rng() % (bits + 20)) - 10;
            const int64_t z = static_cast<int64_t>(rng() % (bits + 20)) - 10;
            ASSERT_EQ(BitsNextSet(b, a, z), slowNext(b, a, z)) << a << ".." << z;
            ASSERT_EQ(BitsPreviousSet(b, z, a), slowPrevious(b, z, a)) << z << " down to " << a;
        }
    }
}

TEST(Bits, PopCountTableCountsEveryByte)
{
    for (int v = 0; v < 256; ++v)
        EXPECT_EQ(PopCountTable[v], __builtin_popcount(v)) << v;
}

TEST(Bits, RestrictToTableMapsRecordBitsToIndexPositions)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    const DatLayout layout({{"KOD", 0x92}, {"NAZ", 0x0D}});
    // Names in reverse of record order: position i holds record 12 - i.
    std::vector<std::string> records;
    for (int r = 1; r <= 12; ++r) {
        std::string rec = layout.BlankRecord();
        layout.PutText(rec, "KOD", std::to_string(100 + r));
        layout.PutText(rec, "NAZ", std::string("NAME ") + char('Z' - r));
        records.push_back(rec);
    }
    ASSERT_EQ(WriteDatFile(d + "med.dat", layout, records), 0);
    ASSERT_EQ(WriteSezFile(d + "mednaz.sez", records, {3, 14, 192, 10}), 0);
    TDbTable t;
    OpenTableIn(t, d, "med", "mednaz", 17);
    ASSERT_EQ(DbStatus, 0);

    TBits recordSet(2, 0);
    for (int r : {1, 2, 9, 12})
        BitSet(recordSet, r - 1);
    TBits positions;
    EXPECT_EQ(BitsRestrictToTable(positions, recordSet, t), 4);
    EXPECT_EQ(positions, (TBits{0x01 | 0x08, 0x04 | 0x08})); // positions 0, 3, 10, 11

    TDbTable noIndex;
    OpenTableIn(noIndex, d, "med", "", 17);
    EXPECT_EQ(BitsRestrictToTable(positions, recordSet, noIndex), -2);
}
