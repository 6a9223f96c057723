#include "writers/sez_writer.h"

#include <algorithm>
#include <numeric>
#include <stdexcept>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "platform/fs.h"

namespace {

uint8_t KeyTypeByte(const SezKeySpec& key)
{
    switch (key.type) {
    case 0:
    case 32:
    case 64:
    case 160:
    case 192: break;
    default: throw std::invalid_argument("unknown key type " + std::to_string(key.type));
    }
    if (key.k < 1 || key.k > 255)
        throw std::invalid_argument("key length k must be 1..255");
    return static_cast<uint8_t>(key.type + std::min(key.k, KeyTypeCap(key.type)));
}

int PackedLength(const SezKeySpec& key)
{
    const int k = std::min(key.k, KeyTypeCap(key.type));
    switch (key.type) {
    case 0: return k;
    case 32: return (k + 1) / 2;
    case 160: return 4;
    default: // 6-bit
        return (k * 6 + 7) / 8;
    }
}

struct Leaf {
    std::string key; // stored key bytes
    std::string tie; // whole key field, folded for type 192
    uint32_t recNo;
};

void PutEntry(std::string& out, const std::string& key, uint32_t pointer, int P)
{
    out += key;
    for (int i = 0; i < P; ++i)
        out.push_back(static_cast<char>((pointer >> (8 * i)) & 0xFF));
}

} // namespace

SezGeometry SezGeometryFor(size_t records, const SezKeySpec& key)
{
    KeyTypeByte(key); // validates
    if (records > 0xFFFFFF)
        throw std::invalid_argument("more records than three pointer bytes hold");
    SezGeometry g;
    g.P = records <= 0xFFFF ? 2 : 3;
    g.E = std::min(9, PackedLength(key) + g.P);
    g.keyBytes = g.E - g.P;
    g.W = g.E < 3 ? 160 : 640 / g.E;
    return g;
}

std::string BuildSezFile(const std::vector<std::string>& records, const SezKeySpec& key)
{
    const uint8_t typeByte = KeyTypeByte(key);
    const SezGeometry g = SezGeometryFor(records.size(), key);
    if (key.offset < 0 || key.offset >= 1024 || key.width < 1)
        throw std::invalid_argument("key field offset must be 0..1023 and its width at least 1");
    if (key.type == 160 && key.width != 4)
        throw std::invalid_argument("an integer key field is 4 bytes wide");

    // Leaves.  MakeKey reports a character outside the 6-bit alphabet through
    // the status word; the writer packs such keys as the search does.
    const int32_t savedStatus = DbStatus;
    std::vector<Leaf> leaves;
    leaves.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const std::string& rec = records[i];
        if (static_cast<size_t>(key.offset + key.width) > rec.size())
            throw std::invalid_argument("key field outside record " + std::to_string(i + 1));
        const std::string_view field(rec.data() + key.offset, static_cast<size_t>(key.width));
        TPackedKey packed{};
        MakeKey(packed, field, typeByte);
        Leaf leaf;
        leaf.key.assign(reinterpret_cast<const char*>(packed.data()), static_cast<size_t>(g.keyBytes));
        leaf.tie = key.type == 192 ? KamFoldUpper(field) : std::string(field);
        leaf.recNo = static_cast<uint32_t>(i + 1);
        leaves.push_back(std::move(leaf));
    }
    DbStatus = savedStatus;
    auto unsignedLess = [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<uint8_t>(x) < static_cast<uint8_t>(y);
        });
    };
    std::sort(leaves.begin(), leaves.end(), [&](const Leaf& a, const Leaf& b) {
        if (a.key != b.key)
            return unsignedLess(a.key, b.key);
        if (a.tie != b.tie)
            return unsignedLess(a.tie, b.tie);
        return a.recNo < b.recNo;
    });

    const int64_t N = static_cast<int64_t>(leaves.size());
    const int64_t W = g.W;

    // Middle level: positions of the leaves it points at.
    std::vector<int64_t> middle;
    if (N == 0) {
        middle.push_back(-1); // one zero entry: the level is never empty
    } else {
        for (int64_t j = 0;; ++j) {
            const int64_t p = std::min((j + 1) * (W - 1), N - 1);
            middle.push_back(p);
            if (p == N - 1)
                break;
        }
    }
    const int64_t Mc = static_cast<int64_t>(middle.size());

    // Upper level: positions of the middle entries it points at.
    std::vector<int64_t> upper;
    if (Mc > W) {
        for (int64_t i = 0;; ++i) {
            const int64_t q = std::min((i + 1) * (W - 1), Mc - 1);
            upper.push_back(q);
            if (q == Mc - 1)
                break;
        }
        if (static_cast<int64_t>(upper.size()) > W)
            throw std::invalid_argument("table needs a two-block upper level, which is not written");
        while (static_cast<int64_t>(upper.size()) < W)
            upper.push_back(upper.back());
    }

    const int E = g.E;
    const int headerEntries = 7 / E + 1;
    const int64_t M = headerEntries + static_cast<int64_t>(upper.size());
    const int64_t F = M + Mc;
    if (F >= 16384)
        throw std::invalid_argument("index too large: first leaf entry at or above 16384");

    std::string out(static_cast<size_t>(headerEntries * E), '\0');
    out[0] = 'S';
    out[1] = '6';
    out[2] = static_cast<char>(key.offset & 0xFF);
    out[3] = static_cast<char>(key.k);
    out[4] = static_cast<char>(F & 0xFF);
    out[5] = static_cast<char>((F >> 8) & 0x3F);
    out[6] = static_cast<char>((E - 2) | key.type);
    out[7] = static_cast<char>(g.P | (upper.empty() ? 0 : 0x04) | (((key.offset >> 8) & 3) << 6));
    out.reserve(static_cast<size_t>((F + N) * E));

    const std::string zeroKey(static_cast<size_t>(g.keyBytes), '\0');
    auto middleKey = [&](int64_t m) -> const std::string& {
        return middle[static_cast<size_t>(m)] < 0
                   ? zeroKey
                   : leaves[static_cast<size_t>(middle[static_cast<size_t>(m)])].key;
    };
    for (int64_t q : upper)
        PutEntry(out, middleKey(q), static_cast<uint32_t>(q), g.P);
    for (int64_t m = 0; m < Mc; ++m)
        PutEntry(out, middleKey(m),
                 static_cast<uint32_t>(std::max<int64_t>(0, middle[static_cast<size_t>(m)])), g.P);
    for (const Leaf& leaf : leaves)
        PutEntry(out, leaf.key, leaf.recNo, g.P);
    return out;
}

int WriteSezFile(const std::string& path, const std::vector<std::string>& records, const SezKeySpec& key)
{
    return WriteFileAtomic(path, BuildSezFile(records, key));
}
