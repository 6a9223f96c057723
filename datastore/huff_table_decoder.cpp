#include "datastore/huff_table_decoder.h"

#include <algorithm>
#include <cstring>

#include "platform/coding.h"

namespace {

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
    : table_(static_cast<size_t>(kHuffTrees) << kTableBits), selector_(tables.selector), trees_(tables.trees),
      map_(tables.map)
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
    BuildPairs();
}

// A direct leaf within `limit` bits of `bits` in tree t: its byte and length.
bool HuffTableDecoder::DirectLeaf(int t, uint32_t bits, int limit, uint8_t& symbol, int& length) const
{
    const uint8_t* tree = trees_.data() + t * kHuffTreeBytes;
    int node = 0;
    length = 0;
    while (length < limit && node < kHuffTreeNodes)
        node = tree[2 * node + ((bits >> length++) & 1)];
    if (node < kHuffFirstSymbolLeaf)
        return false;
    symbol = map_[static_cast<size_t>(node)];
    return true;
}

void HuffTableDecoder::BuildPairs()
{
    pairs_.assign(static_cast<size_t>(kHuffTrees) << kPairBits, 0);
    for (int t = 0; t < kHuffTrees; ++t)
        for (uint32_t idx = 0; idx < (1u << kPairBits); ++idx) {
            uint8_t first = 0, second = 0;
            int len1 = 0, len2 = 0;
            // A 0 may start the next block: it always takes the full step.
            if (!DirectLeaf(t, idx, kPairBits, first, len1) || first == 0)
                continue;
            uint32_t entry = first | (1u << 20) | (static_cast<uint32_t>(len1) << 16) |
                             (static_cast<uint32_t>(selector_[first]) << 22);
            if (DirectLeaf(selector_[first], idx >> len1, kPairBits - len1, second, len2))
                entry = first | (static_cast<uint32_t>(second) << 8) | (2u << 20) |
                        (static_cast<uint32_t>(len1 + len2) << 16) |
                        (static_cast<uint32_t>(selector_[second]) << 22);
            pairs_[(static_cast<size_t>(t) << kPairBits) | idx] = entry;
        }
}

int HuffTableDecoder::Decode(const uint8_t* p, int got, int packedLength, int inputPos, uint8_t* out) const
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
    const uint32_t* const pairs = pairs_.data();
    constexpr uint64_t kMask = (1u << kTableBits) - 1;
    constexpr uint64_t kPairMask = (1u << kPairBits) - 1;
    int64_t bp = 0;     // bits taken
    int blockStart = 0; // byte where the current block's count starts
    int blockBytes = packedLength;
    int n = 0;
    uint8_t context = 0;

    // One symbol with every rule: the end of the input, escapes, long codes,
    // reserved leaves, the overrun of the in-place decoding and the block
    // change.  False when decoding ends.
    auto step = [&]() -> bool {
        const int64_t avail = totalBits - bp;
        const uint64_t w = peek(bp);
        const uint16_t e = table[(static_cast<size_t>(selector_[context]) << kTableBits) | (w & kMask)];
        int used = (e >> 8) & 15;
        uint8_t symbol;
        if ((e >> 12) == Sym) {
            if (used > avail)
                return false;
            symbol = static_cast<uint8_t>(e);
        } else {
            int leaf = e & 0xFF;
            if ((e >> 12) == Long) {
                const uint8_t* tree = trees_.data() + selector_[context] * kHuffTreeBytes;
                int64_t pos = bp + used;
                while (leaf < kHuffTreeNodes) {
                    if (pos >= totalBits)
                        return false;
                    leaf = tree[2 * leaf + bitAt(pos++)];
                }
                used = static_cast<int>(pos - bp);
            } else if (used > avail) {
                return false;
            }
            if (leaf >= kHuffFirstSymbolLeaf) {
                symbol = map_[static_cast<size_t>(leaf)];
            } else if (leaf == kHuffEscapeLeaf) {
                if (used + 4 > avail)
                    return false;
                const uint64_t rest = peek(bp + used);
                const int v = ReversedBits(rest, 4);
                used += 4;
                if (v < 15) {
                    symbol = map_[static_cast<size_t>(128 + v)];
                } else {
                    if (used + 7 > avail)
                        return false;
                    symbol = map_[static_cast<size_t>(ReversedBits(rest >> 4, 7))];
                    used += 7;
                }
            } else {
                return false; // a reserved leaf
            }
        }
        bp += used;
        // In place, the output may not reach the first byte not yet taken.
        const int taken = static_cast<int>((bp + 7) >> 3);
        if (n >= inputPos + taken)
            return false;
        out[n++] = symbol;
        if (context == 0 && symbol == 0 && blockBytes - (taken - blockStart) < 5) {
            if (got - taken < 4)
                return false;
            blockBytes = DecodeLE16(p + taken) + 2;
            blockStart = taken + 4;
            bp = int64_t{blockStart} * 8;
        }
        context = symbol;
        return true;
    };

    for (;;) {
        // Far from the end of the input and of the output's room, one lookup
        // gives one or two symbols; anything else takes the full step.  The
        // room grows with every byte taken, as the in-place decoding frees it.
        uint32_t tree = selector_[context];
        constexpr int kPerLoad = 57 / kPairBits; // lookups one 64-bit load serves
        while (bp <= fastLimit && n + 2 * kPerLoad <= inputPos + static_cast<int>(bp >> 3)) {
            uint64_t w = DecodeLE64(p + (bp >> 3)) >> (bp & 7);
            uint32_t used = 0;
            uint32_t count = 1;
            for (int k = 0; k < kPerLoad; ++k) {
                const uint32_t e = pairs[(tree << kPairBits) | (w & kPairMask)];
                count = (e >> 20) & 3;
                if (count == 0)
                    break;
                out[n] = static_cast<uint8_t>(e);
                out[n + 1] = static_cast<uint8_t>(e >> 8);
                n += static_cast<int>(count);
                const uint32_t bits = (e >> 16) & 15;
                w >>= bits;
                used += bits;
                tree = e >> 22;
            }
            bp += used;
            if (count == 0)
                break;
        }
        context = n > 0 ? out[n - 1] : 0;
        if (!step())
            break;
    }
    return n;
}

int HuffTableDecoder::Unpack(std::string_view packed, uint32_t packedLength, uint32_t textLength,
                             std::string& text, UnpackLengths lengths) const
{
    text.clear();
    if (!PackedLengthsDecodable(packedLength, textLength, lengths))
        return PackedTextStatus::BadRecord;
    const uint32_t got = std::min<uint32_t>(packedLength, static_cast<uint32_t>(packed.size()));
    const int start = static_cast<int>(textLength + kPackedSlack - packedLength);
    text.resize(static_cast<size_t>(start) + got);
    const int count = Decode(reinterpret_cast<const uint8_t*>(packed.data()), static_cast<int>(got),
                             static_cast<int>(packedLength), start, reinterpret_cast<uint8_t*>(text.data()));
    text.resize(static_cast<size_t>(count));
    return count == static_cast<int64_t>(textLength) + 2 ? 0 : PackedTextStatus::BadRecord;
}

const HuffTableDecoder& ProgramHuffTableDecoder()
{
    static const HuffTableDecoder decoder(ProgramHuffTables());
    return decoder;
}
