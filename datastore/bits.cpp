#include "datastore/bits.h"

#include <algorithm>
#include <array>

#include "datastore/db_table.h"

namespace {

constexpr std::array<uint8_t, 256> MakePopCountTable()
{
    constexpr uint8_t nibble[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    std::array<uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b)
        t[b] = static_cast<uint8_t>(nibble[b >> 4] + nibble[b & 15]);
    return t;
}

int64_t BitCapacity(const TBits& bits)
{
    return static_cast<int64_t>(bits.size()) * 8;
}

} // namespace

const std::array<uint8_t, 256> PopCountTable = MakePopCountTable();

bool BitTest(const TBits& bits, int64_t i)
{
    if (i < 0 || i >= BitCapacity(bits))
        return false;
    return (bits[static_cast<size_t>(i >> 3)] >> (i & 7)) & 1;
}

void BitSet(TBits& bits, int64_t i)
{
    if (i < 0 || i >= BitCapacity(bits))
        return;
    bits[static_cast<size_t>(i >> 3)] |= static_cast<uint8_t>(1u << (i & 7));
}

void BitClear(TBits& bits, int64_t i)
{
    if (i < 0 || i >= BitCapacity(bits))
        return;
    bits[static_cast<size_t>(i >> 3)] &= static_cast<uint8_t>(~(1u << (i & 7)));
}

void BitsInitAll(TBits& bits, int64_t n)
{
    if (n <= 0) {
        bits.assign(1, 0);
        return;
    }
    const size_t bytes = static_cast<size_t>((n - 1) / 8 + 1);
    bits.assign(bytes, 0xFF);
    const int rest = static_cast<int>(n & 7);
    if (rest != 0)
        bits.back() = static_cast<uint8_t>((1u << rest) - 1);
}

void BitsAnd(TBits& a, const TBits& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        a[i] &= b[i];
}

void BitsAndNot(TBits& a, const TBits& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        a[i] &= static_cast<uint8_t>(~b[i]);
}

int64_t BitsCount(const TBits& bits, int64_t from, int64_t to)
{
    // Positions outside the array hold no set bit: cut the range to it.
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, BitCapacity(bits) - 1);
    if (to < from)
        return 0;

    const int64_t firstWhole = (from + 7) >> 3;    // first byte wholly inside
    const int64_t lastWhole = ((to + 1) >> 3) - 1; // last byte wholly inside
    int64_t count = 0;
    if (firstWhole > lastWhole) {
        for (int64_t i = from; i <= to; ++i)
            count += BitTest(bits, i);
        return count;
    }
    for (int64_t i = from; i < firstWhole * 8; ++i)
        count += BitTest(bits, i);
    for (int64_t b = firstWhole; b <= lastWhole; ++b)
        count += PopCountTable[bits[static_cast<size_t>(b)]];
    for (int64_t i = (lastWhole + 1) * 8; i <= to; ++i)
        count += BitTest(bits, i);
    return count;
}

int64_t BitsNextSet(const TBits& bits, int64_t from, int64_t last)
{
    last = std::min<int64_t>(last, BitCapacity(bits) - 1);
    for (int64_t p = std::max<int64_t>(from, 0); p <= last;) {
        const uint8_t byte = bits[static_cast<size_t>(p >> 3)];
        if (byte == 0) {
            p = ((p >> 3) + 1) << 3;
            continue;
        }
        if ((byte >> (p & 7)) & 1)
            return p;
        ++p;
    }
    return -1;
}

int64_t BitsPreviousSet(const TBits& bits, int64_t from, int64_t first)
{
    from = std::min<int64_t>(from, BitCapacity(bits) - 1);
    for (int64_t p = from; p >= std::max<int64_t>(first, 0);) {
        const uint8_t byte = bits[static_cast<size_t>(p >> 3)];
        if (byte == 0) {
            p = ((p >> 3) << 3) - 1;
            continue;
        }
        if ((byte >> (p & 7)) & 1)
            return p;
        --p;
    }
    return -1;
}

int64_t BitsNth(const TBits& bits, int64_t from, int64_t n)
{
    if (n <= 0)
        return from;
    const int64_t end = BitCapacity(bits);
    if (from >= end)
        return from;
    int64_t pos = std::max<int64_t>(from, 0);

    // Bit by bit up to the next byte boundary.
    while (pos < end && (pos & 7) != 0) {
        if (BitTest(bits, pos) && --n == 0)
            return pos + 1;
        ++pos;
    }
    // Whole bytes that hold fewer set bits than still wanted.
    while (pos < end) {
        const int c = PopCountTable[bits[static_cast<size_t>(pos >> 3)]];
        if (c >= n)
            break;
        n -= c;
        pos += 8;
    }
    // The byte that holds the n-th bit, or the end of the array.
    while (pos < end) {
        if (BitTest(bits, pos) && --n == 0)
            return pos + 1;
        ++pos;
    }
    return end;
}

int64_t BitsRestrictToTable(TBits& positions, const TBits& records, TDbTable& table)
{
    if (!table.sez.IsOpen())
        return -2;
    const int64_t n = int64_t{table.dat.count} - 1;
    BitsInitAll(positions, n);
    int64_t kept = 0;
    DbStatus = 0;
    for (int64_t i = 0; i < n; ++i) {
        int32_t recNo = 0;
        IndexEntryRecNo(table.sez, recNo, static_cast<int32_t>(i));
        if (DbStatus > 0) {
            for (int64_t j = i; j < n; ++j)
                BitClear(positions, j);
            break;
        }
        if (BitTest(records, int64_t{recNo} - 1))
            ++kept;
        else
            BitClear(positions, i);
    }
    return kept;
}
