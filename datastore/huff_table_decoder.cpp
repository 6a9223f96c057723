#include "datastore/huff_table_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/coding.h"

namespace {

constexpr uint32_t kSlack = 1000;

// Bits taken lowest first, assembled most significant first.
int ReversedBits(uint64_t bits, int count)
{
    int v = 0;
    for (int k = 0; k < count; ++k) {
        v = (v << 1) | static_cast<int>(bits & 1);
        bits >>= 1;
    }
    return v;
}

} // namespace

HuffTableDecoder::HuffTableDecoder(const HuffTables& tables)
    : table_(static_cast<size_t>(kHuffTrees) << kTableBits), selector_(tables.selector),
      trees_(tables.trees), map_(tables.map)
{
    for (int t = 0; t < kHuffTrees; ++t) {
        const uint8_t* tree = trees_.data() + t * kHuffTreeBytes;
        uint16_t* out = table_.data() + (static_cast<size_t>(t) << kTableBits);
        for (int idx = 0; idx < (1 << kTableBits); ++idx) {
            int node = 0;
            int taken = 0;
            while (taken < kTableBits && node < kHuffTreeNodes)
                node = tree[2 * node + ((idx >> taken++) & 1)];
            uint16_t kind;
            uint16_t value;
            if (node < kHuffTreeNodes) {
                kind = Long;
                value = static_cast<uint16_t>(node);
            } else if (node >= kHuffFirstSymbolLeaf) {
                kind = Sym;
                value = map_[static_cast<size_t>(node)];
            } else {
                kind = node == kHuffEscapeLeaf ? Escape : Stop;
                value = static_cast<uint16_t>(node);
            }
            out[idx] = static_cast<uint16_t>(value | (taken << 8) | (kind << 12));
        }
    }
}

int HuffTableDecoder::Decode(const uint8_t* p, int got, int packedLength, int inputPos,
                             uint8_t* out) const
{
    const int64_t totalBits = int64_t{got} * 8;
    // Up to here a 64-bit load stays inside the input.
    const int64_t fastLimit = got >= 8 ? int64_t{got - 8} * 8 : -1;
    auto peek = [&](int64_t pos) -> uint64_t {
        if (pos <= fastLimit)
            return DecodeLE64(p + (pos >> 3)) >> (pos & 7);
        uint64_t w = 0;
        const int64_t first = pos >> 3;
        for (int k = 0; k < 8 && first + k < got; ++k)
            w |= static_cast<uint64_t>(p[first + k]) << (8 * k);
        return w >> (pos & 7);
    };
    auto bitAt = [&](int64_t pos) { return (p[pos >> 3] >> (pos & 7)) & 1; };

    const uint16_t* const table = table_.data();
    constexpr uint64_t kMask = (1u << kTableBits) - 1;
    int64_t bp = 0;        // bits taken
    int blockStart = 0;    // byte where the current block's count starts
    int blockBytes = packedLength;
    int n = 0;
    uint8_t context = 0;

    for (;;) {
        const int64_t avail = totalBits - bp;
        const uint64_t w = peek(bp);
        const uint16_t e = table[(static_cast<size_t>(selector_[context]) << kTableBits) | (w & kMask)];
        int used = (e >> 8) & 15;
        uint8_t symbol;
        if ((e >> 12) == Sym) {
            if (used > avail)
                break;
            symbol = static_cast<uint8_t>(e);
        } else {
            int leaf = e & 0xFF;
            if ((e >> 12) == Long) {
                const uint8_t* tree = trees_.data() + selector_[context] * kHuffTreeBytes;
                int64_t pos = bp + used;
                while (leaf < kHuffTreeNodes) {
                    if (pos >= totalBits)
                        goto done;
                    leaf = tree[2 * leaf + bitAt(pos++)];
                }
                used = static_cast<int>(pos - bp);
            } else if (used > avail) {
                break;
            }
            if (leaf >= kHuffFirstSymbolLeaf) {
                symbol = map_[static_cast<size_t>(leaf)];
            } else if (leaf == kHuffEscapeLeaf) {
                if (used + 4 > avail)
                    break;
                const uint64_t rest = peek(bp + used);
                const int v = ReversedBits(rest, 4);
                used += 4;
                if (v < 15) {
                    symbol = map_[static_cast<size_t>(128 + v)];
                } else {
                    if (used + 7 > avail)
                        break;
                    symbol = map_[static_cast<size_t>(ReversedBits(rest >> 4, 7))];
                    used += 7;
                }
            } else {
                break; // a reserved leaf
            }
        }
        bp += used;
        // In place, the output may not reach the first byte not yet taken.
        const int taken = static_cast<int>((bp + 7) >> 3);
        if (n >= inputPos + taken)
            break;
        out[n++] = symbol;
        if (context == 0 && symbol == 0 && blockBytes - (taken - blockStart) < 5) {
            if (got - taken < 4)
                break;
            blockBytes = DecodeLE16(p + taken) + 2;
            blockStart = taken + 4;
            bp = int64_t{blockStart} * 8;
        }
        context = symbol;
    }
done:
    return n;
}

int HuffTableDecoder::Unpack(std::string_view packed, uint32_t packedLength, uint32_t textLength,
                             std::string& text, UnpackLengths lengths) const
{
    text.clear();
    if (textLength > kMaxPackedTextLength || packedLength > kMaxPackedDataLength ||
        (lengths == UnpackLengths::PackedWithinText && textLength < packedLength) ||
        packedLength > textLength + kSlack)
        return PackedTextStatus::BadRecord;
    const uint32_t got = std::min<uint32_t>(packedLength, static_cast<uint32_t>(packed.size()));
    const int start = static_cast<int>(textLength + kSlack - packedLength);
    text.resize(static_cast<size_t>(start) + got);
    const int count = Decode(reinterpret_cast<const uint8_t*>(packed.data()), static_cast<int>(got),
                             static_cast<int>(packedLength), start,
                             reinterpret_cast<uint8_t*>(text.data()));
    text.resize(static_cast<size_t>(count));
    return count == static_cast<int64_t>(textLength) + 2 ? 0 : PackedTextStatus::BadRecord;
}

const HuffTableDecoder& ProgramHuffTableDecoder()
{
    static const HuffTableDecoder decoder(ProgramHuffTables());
    return decoder;
}
