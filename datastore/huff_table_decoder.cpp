#include "datastore/huff_table_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

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

// The four symbol bytes of a lookup, the first lowest, in one store.
inline void StoreSymbols(uint8_t* at, uint32_t symbols)
{
    if constexpr (std::endian::native == std::endian::little)
        std::memcpy(at, &symbols, 4);
    else
        EncodeLE32(at, symbols);
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
    BuildMulti();
}

void HuffTableDecoder::BuildMulti()
{
    constexpr uint32_t kSize = 1u << kMultiBits;
    // The one direct leaf each tree's next kMultiBits bits start with: bits
    // 0-7 its byte, 8-12 its code length (0: an escape, a reserved leaf or a
    // code longer than the lookup).  Filled leaf by leaf from the trees, the
    // walk cut at the lookup's width (which also ends any cycle of damaged
    // tables).
    std::vector<uint16_t> single(static_cast<size_t>(kHuffTrees) * kSize, 0);
    for (int t = 0; t < kHuffTrees; ++t) {
        const uint8_t* tree = trees_.data() + t * kHuffTreeBytes;
        uint16_t* row = single.data() + static_cast<size_t>(t) * kSize;
        struct Pending {
            int node;
            uint32_t code;
            int depth;
        };
        std::vector<Pending> stack{{0, 0, 0}};
        while (!stack.empty()) {
            const Pending at = stack.back();
            stack.pop_back();
            for (uint32_t bit = 0; bit < 2; ++bit) {
                const int child = tree[2 * at.node + bit];
                const uint32_t code = at.code | (bit << at.depth);
                const int depth = at.depth + 1;
                if (child < kHuffTreeNodes) {
                    if (depth < kMultiBits)
                        stack.push_back({child, code, depth});
                } else if (child >= kHuffFirstSymbolLeaf) {
                    const auto entry = static_cast<uint16_t>(map_[static_cast<size_t>(child)] | (depth << 8));
                    for (uint32_t high = 0; high < (kSize >> depth); ++high)
                        row[code | (high << depth)] = entry;
                }
            }
        }
    }

    multi_.assign(static_cast<size_t>(kHuffTrees) * kSize, 0);
    for (int t = 0; t < kHuffTrees; ++t)
        for (uint32_t idx = 0; idx < kSize; ++idx) {
            uint32_t tree = static_cast<uint32_t>(t);
            int used = 0;
            int count = 0;
            uint64_t symbols = 0;
            uint8_t previous = 0;
            while (count < kMultiSymbols) {
                const uint16_t s = single[(static_cast<size_t>(tree) << kMultiBits) | (idx >> used)];
                const int length = s >> 8;
                if (length == 0 || used + length > kMultiBits)
                    break;
                const auto symbol = static_cast<uint8_t>(s);
                // A 0 after a 0 may start the next block: it takes the full
                // step.  The first symbol's context is unknown here, so a 0
                // in the tree that follows a 0 is never taken first.
                if (symbol == 0 && (count == 0 ? t == selector_[0] : previous == 0))
                    break;
                symbols |= static_cast<uint64_t>(symbol) << (8 * count);
                ++count;
                used += length;
                tree = selector_[symbol];
                previous = symbol;
            }
            if (count > 0)
                multi_[(static_cast<size_t>(t) << kMultiBits) | idx] =
                    static_cast<uint64_t>(used) | (static_cast<uint64_t>(count) << 8) |
                    (static_cast<uint64_t>(tree << kMultiBits) << 16) | (symbols << 32);
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
    constexpr uint64_t kMask = (1u << kTableBits) - 1;
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

    const uint64_t* const multi = multi_.data();
    constexpr uint64_t kMultiMask = (1u << kMultiBits) - 1;
    // Lookups per pass: a refilled bit buffer holds at least 56 bits.
    constexpr int kPerLoad = 56 / kMultiBits;
    for (;;) {
        // Far from the end of the input and of the output's room, one lookup
        // gives up to kMultiSymbols symbols; anything else takes the full
        // step.  The room grows with every byte taken, as the in-place
        // decoding frees it.  The symbols are stored four at a time: bytes
        // past the count are overwritten by the next store or cut at the end.
        uint64_t base = static_cast<uint64_t>(selector_[context]) << kMultiBits;
        if (bp <= fastLimit) {
            // A bit buffer refilled whole bytes at a time, its load independent
            // of the lookups: `pos` is the byte the next load starts at,
            // `avail` the bits held (bits taken = pos * 8 - avail).
            int64_t pos = bp >> 3;
            uint64_t bits = DecodeLE64(p + pos) >> (bp & 7);
            int avail = 64 - static_cast<int>(bp & 7);
            pos += 8;
            // The loads stay inside the input and the output stays behind it
            // by at least what one pass may write.
            while (pos + 8 <= got && n + kMultiSymbols * kPerLoad <= inputPos + static_cast<int>(pos) - 8) {
                if (avail < kMultiBits * kPerLoad) {
                    const int whole = (63 - avail) >> 3;
                    bits |= DecodeLE64(p + pos) << avail;
                    pos += whole;
                    avail += whole * 8;
                }
                bool slow = false;
#pragma GCC unroll 8
                for (int k = 0; k < kPerLoad; ++k) {
                    const uint64_t e = multi[base | (bits & kMultiMask)];
                    const int count = static_cast<int>((e >> 8) & 7);
                    if (count == 0) {
                        slow = true;
                        break;
                    }
                    StoreSymbols(out + n, static_cast<uint32_t>(e >> 32));
                    n += count;
                    bits >>= (e & 63);
                    avail -= static_cast<int>(e & 63);
                    base = (e >> 16) & 0xFFFF;
                }
                if (slow)
                    break;
            }
            bp = pos * 8 - avail;
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

bool HuffTableDecoder::BuiltFrom(const HuffTables& tables) const
{
    return selector_ == tables.selector && map_ == tables.map && trees_ == tables.trees;
}

const HuffTableDecoder& ProgramHuffTableDecoder()
{
    static const HuffTableDecoder decoder(ProgramHuffTables());
    return decoder;
}

const HuffTableDecoder& HuffTableDecoderFor(const HuffTables& tables)
{
    const HuffTableDecoder& program = ProgramHuffTableDecoder();
    if (&tables == &ProgramHuffTables() || program.BuiltFrom(tables))
        return program;
    thread_local std::unique_ptr<HuffTableDecoder> other;
    if (!other || !other->BuiltFrom(tables))
        other = std::make_unique<HuffTableDecoder>(tables);
    return *other;
}
