#include "datastore/key_index.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "datastore/kamenici.h"
#include "platform/ascii.h"
#include "platform/coding.h"

using namespace index_detail;

int KeyTypeCap(uint8_t type)
{
    switch (type & 0xE0) {
    case 0: return 8;
    case 32: return 16;
    case 160: return 4;
    default: // 64, 192 and the invalid 96, 128, 224
        return 10;
    }
}

// ---------------------------------------------------------------------------
// Building blocks

namespace index_detail {

int CompareKeyBytes(const uint8_t* a, const uint8_t* b, int32_t n)
{
    return n > 0 ? std::memcmp(a, b, static_cast<size_t>(n)) : 0;
}

uint32_t EntryPointer(const uint8_t* window, int32_t E, int32_t P, int32_t i)
{
    const uint8_t* p = window + static_cast<size_t>(i) * E + (E - P);
    switch (P) {
    case 0: return 0;
    case 1: return p[0];
    case 2: return DecodeLE16(p);
    default: // 3: the header's two pointer bits allow no more
        return DecodeLE24(p);
    }
}

int32_t SBinS(const uint8_t* window, int32_t E, int32_t n, const uint8_t* key, int32_t last, int32_t first)
{
    if (last <= first)
        return last;
    auto entry = [&](int32_t i) { return window + static_cast<size_t>(i) * E; };
    int32_t lo = first;
    int32_t hi = last;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (CompareKeyBytes(key, entry(mid), n) > 0)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    if (CompareKeyBytes(entry(lo), key, n) < 0 && lo < last)
        ++lo;
    if (CompareKeyBytes(entry(lo), key, n) < 0 && lo < last)
        std::fputs("Internal SBinS\n", stdout);
    return std::min(last, lo);
}

} // namespace index_detail

void PackKey(std::string_view text, TPackedKey& out, uint8_t t)
{
    out.fill(0);
    int mode;
    int count;
    if (t >= 64) {
        mode = (t & 0xC0) & 0x70;
        count = t & 0x3F;
    } else {
        mode = (t & 0xE0) & 0x70;
        count = t & 0x1F;
    }
    auto ch = [&](int i) -> uint8_t {
        return i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[i]) : uint8_t(' ');
    };
    const int outBytes = static_cast<int>(out.size());
    if (mode == 0x20) {
        count = std::min(count, outBytes * 2);
        for (int i = 0; i < count; i += 2) {
            uint8_t v = static_cast<uint8_t>((ch(i) & 0x0F) << 4);
            if (i + 1 < count)
                v |= ch(i + 1) & 0x0F;
            out[static_cast<size_t>(i / 2)] = v;
        }
    } else if (mode == 0x40) {
        count = std::min(count, outBytes * 8 / 6);
        uint32_t acc = 0;
        int bits = 0;
        size_t o = 0;
        for (int i = 0; i < count; ++i) {
            const uint8_t c = ch(i);
            if (c < 32 || c >= 96)
                DbStatus = DbCode::BadKeyChar;
            acc = (acc << 6) | ((c - 32u) & 0x3F);
            bits += 6;
            while (bits >= 8) {
                bits -= 8;
                out[o++] = static_cast<uint8_t>(acc >> bits);
            }
        }
        if (bits > 0)
            out[o] = static_cast<uint8_t>(acc << (8 - bits));
    } else {
        count = std::min(count, outBytes);
        for (int i = 0; i < count; ++i)
            out[static_cast<size_t>(i)] = ch(i);
    }
}

bool MakeKey(TPackedKey& out, std::string_view text, uint8_t t, const TFileId& id)
{
    char padded[16];
    auto pad = [&] {
        const size_t n = std::min(text.size(), sizeof padded);
        std::memcpy(padded, text.data(), n);
        std::memset(padded + n, ' ', sizeof padded - n);
    };
    switch (t & 0xE0) {
    case 0:
    case 32:
    case 64:
        pad();
        PackKey(std::string_view(padded, sizeof padded), out, t);
        break;
    case 160:
        for (int i = 0; i < 4; ++i)
            out[static_cast<size_t>(i)] =
                3 - i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[3 - i]) : 0;
        break;
    case 192: {
        pad();
        const int fold = std::min<int>(t & 0x0F, sizeof padded);
        for (int i = 0; i < fold; ++i)
            padded[i] = static_cast<char>(KamUpper[static_cast<uint8_t>(padded[i])]);
        PackKey(std::string_view(padded, sizeof padded), out, t);
        break;
    }
    default:
        // No index is built with such a type: its header is damaged.
        DbStatus = DbCode::BadFormat;
        CallDbErrorHook(id, 0, 104);
        return false;
    }
    return true;
}

bool UnpackKey(const uint8_t* bytes, int32_t n, uint8_t t, std::string& out)
{
    switch (t & 0xE0) {
    case 0: out.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(n)); return true;
    case 32:
        out.clear();
        for (int32_t i = 0; i < n; ++i) {
            out.push_back(static_cast<char>('0' + (bytes[i] >> 4)));
            out.push_back(static_cast<char>('0' + (bytes[i] & 0x0F)));
        }
        return true;
    case 160:
        out.assign(4, '\0');
        for (int32_t i = 0; i < 4 && i < n; ++i)
            out[static_cast<size_t>(3 - i)] = static_cast<char>(bytes[i]);
        return true;
    case 64:
    case 192: {
        out.clear();
        auto six = [&](uint32_t v) { out.push_back(static_cast<char>((v & 0x3F) + 32)); };
        int32_t i = 0;
        for (; i + 3 <= n; i += 3) {
            const uint32_t g = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
            six(g >> 18);
            six(g >> 12);
            six(g >> 6);
            six(g);
        }
        if (n - i == 1) {
            six(bytes[i] >> 2);
        } else if (n - i == 2) {
            const uint32_t g = (uint32_t(bytes[i]) << 8) | bytes[i + 1];
            six(g >> 10);
            six(g >> 4);
        }
        return true;
    }
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// Opening and window reads

namespace {

void ResetWindows(TSezFile& s)
{
    TIndexWindows& w = s.win;
    w.upperBlock = 0;
    w.middleStart = -1;
    w.middleLoaded = 0;
    w.leafStart = 0x7FFFFFFF;
    w.leafLoaded = 0;
    s.curPos = 0;
}

void FailOpen(TSezFile& s, int32_t status, uint16_t code)
{
    s.file.Close();
    s.header.fill(0);
    DbStatus = status;
    CallDbErrorHook(s.id, 0, code);
}

bool InWindow(int32_t a, int32_t b, int32_t start, int32_t loaded)
{
    return start >= 0 && a >= start && static_cast<int64_t>(b) < static_cast<int64_t>(start) + loaded;
}

// Where a window of `width` entries holding entry `first` starts: at `first`,
// moved back as far as needed to stay within `count` entries.
int32_t WindowStart(int32_t first, int32_t width, int32_t count)
{
    return first + width > count ? std::max(0, count - width) : first;
}

// The search range does not fit a window: the index is damaged.
void ReportWindowOverflow(const TSezFile& s, int32_t position, uint16_t code)
{
    DbStatus = DbCode::WindowOverflow;
    CallDbErrorHook(s.id, position, code);
}

// A leaf names one of the records 1 .. leaf count, which an open table has
// checked to be its records 1 .. count - 1; anything else (record 0 is the
// record file's header) means the index is damaged.
bool LeafPointerSound(const TSezFile& s, uint32_t recNo, int32_t pos)
{
    if (recNo >= 1 && recNo <= static_cast<uint32_t>(s.LeafCount()))
        return true;
    ReportWindowOverflow(s, s.win.F + pos, 133);
    return false;
}

const uint8_t* Entry(const std::array<uint8_t, IndexWindowBytes>& w, int32_t E, int32_t i)
{
    return w.data() + static_cast<size_t>(i) * E;
}

// Loads block 0 or the second block (starting at the first block's last entry)
// of a two-block upper level.  False when the read failed.
bool LoadUpperBlock(TSezFile& s, bool second)
{
    TIndexWindows& w = s.win;
    const int32_t first = second ? w.M - w.W : w.M - 2 * w.W + 1;
    ReadIndexWindow(s, first, w.upper.data(), w.W);
    if (DbStatus > 0) {
        w.upperBlock = -1; // contents unknown: reload on the next search
        return false;
    }
    w.upperBlock = second ? w.W - 1 : 0;
    return true;
}

} // namespace

int32_t index_detail::ReadIndexWindow(TSezFile& s, int32_t first, uint8_t* window, int32_t count)
{
    TIndexWindows& w = s.win;
    const int32_t capacity = w.E > 0 ? IndexWindowBytes / w.E : 0;
    int32_t n = std::min(count, capacity);
    n = std::min(n, s.entryCount - first);
    if (first < 0 || n <= 0)
        return 0;
    const int r = s.file.ReadAt(static_cast<int64_t>(first) * w.E, window, static_cast<size_t>(n) * w.E);
    DbStatus = r;
    if (r != 0) {
        CallDbErrorHook(s.id, first, 111);
        return 0;
    }
    return n;
}

void OpenSezFile(TSezFile& s, std::string_view folder)
{
    TIndexWindows& w = s.win;
    s.file.Close();
    s.header.fill(0);
    ResetWindows(s);
    s.entryCount = 0;
    w.middleLevel.clear();
    s.folder.assign(folder);
    if (s.id.IsEmpty())
        return;
    DbStatus = 0;
    const std::string path = ResolveInFolder(folder, FileIdToStr(s.id) + ".sez");
    if (int r = s.file.Open(path, /*mapped=*/true)) {
        DbStatus = r;
        if (r > 5)
            CallDbErrorHook(s.id, 0, 101);
        return;
    }
    std::array<uint8_t, 8> h{};
    if (int r = s.file.ReadAt(0, h.data(), h.size())) {
        FailOpen(s, r, 102);
        return;
    }
    if (h[0] != 'S' || h[1] != '6') {
        FailOpen(s, DbCode::BadFormat, 103);
        return;
    }
    w.F = DecodeLE16(h.data() + 4) & 0x3FFF;
    w.E = (h[6] & 7) + 2;
    const uint8_t type = h[6] & 0xE0;
    const int k = std::min<int>(h[3], KeyTypeCap(type));
    s.keyType = static_cast<uint8_t>(type + k);
    w.P = h[7] & 3;
    if (w.P >= w.E) { // no room for a key: not an index we can search
        FailOpen(s, DbCode::BadFormat, 103);
        return;
    }
    s.keyBytes = static_cast<uint8_t>(w.E - w.P);
    w.W = w.E < 3 ? 160 : IndexWindowBytes / w.E;
    s.entryCount = static_cast<int32_t>(std::min<int64_t>(s.file.Size() / w.E, INT32_MAX));
    w.M = 7 / w.E + 1;
    if (h[7] & 0x04) {
        const int32_t upperEntries = (h[7] & 0x08) ? 2 * w.W - 1 : w.W;
        if (w.M + upperEntries > s.entryCount || w.M + upperEntries > w.F) {
            FailOpen(s, DbCode::BadFormat, 103);
            return;
        }
        ReadIndexWindow(s, w.M, w.upper.data(), w.W);
        if (DbStatus != 0) {
            s.file.Close();
            return;
        }
        w.upperBlock = 0;
        w.M += upperEntries;
    }
    if (w.M > w.F || w.F > s.entryCount) {
        FailOpen(s, DbCode::BadFormat, 103);
        return;
    }
    // The middle level is small (F < 16384): keep it, so that a search costs
    // one index read instead of two.
    w.middleLevel.resize(static_cast<size_t>(w.F - w.M) * w.E);
    if (!w.middleLevel.empty()) {
        if (int r =
                s.file.ReadAt(static_cast<int64_t>(w.M) * w.E, w.middleLevel.data(), w.middleLevel.size())) {
            w.middleLevel.clear();
            DbStatus = r;
            CallDbErrorHook(s.id, w.M, 111);
            s.file.Close();
            return;
        }
    }
    s.header = h;
    s.header[1] = 'O';
}

int CloseSezFile(TSezFile& s)
{
    s.header.fill(0);
    s.win.middleLevel.clear();
    return s.file.Close();
}

// ---------------------------------------------------------------------------
// Search

void SeekKey(TSezFile& s, int32_t& recNo, std::string_view text)
{
    TIndexWindows& w = s.win;
    recNo = 1;
    TPackedKey key{};
    if (!MakeKey(key, text, s.keyType, s.id))
        return;
    const int32_t n = s.keyBytes;
    const int32_t E = w.E;
    const int32_t P = w.P;
    const int32_t W = w.W;
    const int32_t leafCount = s.LeafCount();
    if (leafCount <= 0) {
        recNo = 0;
        DbStatus = DbCode::OutOfRange;
        return;
    }

    int32_t a = 0;
    int32_t b = leafCount - 1;
    const int32_t midCount = s.MiddleCount();
    if (midCount > 0) {
        int32_t ma = 0;
        int32_t mb = midCount - 1;
        if (s.HasUpper()) {
            if (s.HasTwoUpperBlocks()) {
                if (w.upperBlock < 0 && !LoadUpperBlock(s, false))
                    return;
                if (w.upperBlock == 0 && CompareKeyBytes(Entry(w.upper, E, W - 1), key.data(), n) < 0) {
                    if (!LoadUpperBlock(s, true))
                        return;
                } else if (w.upperBlock != 0 && CompareKeyBytes(Entry(w.upper, E, 0), key.data(), n) >= 0) {
                    if (!LoadUpperBlock(s, false))
                        return;
                }
            }
            const int32_t c = SBinS(w.upper.data(), E, n, key.data(), W - 1, 0);
            ma = c > 0 ? static_cast<int32_t>(EntryPointer(w.upper.data(), E, P, c - 1)) : 0;
            mb = static_cast<int32_t>(EntryPointer(w.upper.data(), E, P, c));
        }
        if (ma > mb || mb >= midCount) {
            ReportWindowOverflow(s, w.M + std::min(ma, midCount), 131);
            return;
        }
        if (!InWindow(ma, mb, w.middleStart, w.middleLoaded)) {
            const int32_t start = WindowStart(ma, W, midCount);
            const int32_t count = std::min(W, midCount - start);
            std::memcpy(w.middle.data(), w.middleLevel.data() + static_cast<size_t>(start) * E,
                        static_cast<size_t>(count) * E);
            w.middleStart = start;
            w.middleLoaded = count;
        }
        if (!InWindow(ma, mb, w.middleStart, w.middleLoaded)) {
            ReportWindowOverflow(s, w.middleStart + w.M, 131);
            return;
        }
        const int32_t d = SBinS(w.middle.data(), E, n, key.data(), mb - w.middleStart, ma - w.middleStart);
        if (s.MiddleMapsLeaves()) {
            IndexEntryRecNo(s, recNo, static_cast<int32_t>(EntryPointer(w.middle.data(), E, P, d)));
            return;
        }
        a = d > 0 ? static_cast<int32_t>(EntryPointer(w.middle.data(), E, P, d - 1)) : 0;
        b = static_cast<int32_t>(EntryPointer(w.middle.data(), E, P, d));
    }

    if (a > b || b >= leafCount) {
        ReportWindowOverflow(s, w.F + std::min(a, leafCount), 132);
        return;
    }
    if (!InWindow(a, b, w.leafStart, w.leafLoaded)) {
        const int32_t start = WindowStart(a, W, leafCount);
        const int32_t got = ReadIndexWindow(s, w.F + start, w.leaf.data(), std::min(W, leafCount - start));
        if (DbStatus > 0) {
            w.leafStart = 0x7FFFFFFF;
            w.leafLoaded = 0;
            return;
        }
        w.leafStart = start;
        w.leafLoaded = got;
    }
    if (!InWindow(a, b, w.leafStart, w.leafLoaded)) {
        ReportWindowOverflow(s, w.leafStart + w.F, 132);
        return;
    }
    const int32_t g = SBinS(w.leaf.data(), E, n, key.data(), b - w.leafStart, a - w.leafStart);
    const uint32_t pointer = EntryPointer(w.leaf.data(), E, P, g);
    if (!LeafPointerSound(s, pointer, w.leafStart + g))
        return;
    recNo = static_cast<int32_t>(pointer);
    s.curPos = w.leafStart + g;
    DbStatus = 0;
}

// Positions the leaf window on pos (clamped); false with DbStatus set when
// there is no such leaf or the read failed.
static bool PositionLeaf(TSezFile& s, int32_t& pos)
{
    TIndexWindows& w = s.win;
    DbStatus = 0;
    const int32_t leafCount = s.LeafCount();
    if (leafCount <= 0 || pos < 0) {
        DbStatus = DbCode::OutOfRange;
        return false;
    }
    if (pos >= leafCount)
        pos = leafCount - 1;
    s.curPos = pos;
    if (InWindow(pos, pos, w.leafStart, w.leafLoaded))
        return true;
    int32_t start = pos - w.W / 2;
    if (start + w.W > leafCount)
        start = leafCount - w.W;
    if (start < 0)
        start = 0;
    const int32_t got = ReadIndexWindow(s, start + w.F, w.leaf.data(), std::min(w.W, leafCount - start));
    if (DbStatus > 0) {
        w.leafStart = 0x7FFFFFFF;
        w.leafLoaded = 0;
        CallDbErrorHook(s.id, start + w.F, 121);
        return false;
    }
    w.leafStart = start;
    w.leafLoaded = got;
    if (!InWindow(pos, pos, w.leafStart, w.leafLoaded)) { // the file shrank under us
        w.leafStart = 0x7FFFFFFF;
        w.leafLoaded = 0;
        DbStatus = IoResult::ShortRead;
        CallDbErrorHook(s.id, start + w.F, 121);
        return false;
    }
    return true;
}

void IndexEntryRecNo(TSezFile& s, int32_t& recNo, int32_t pos)
{
    TIndexWindows& w = s.win;
    if (!PositionLeaf(s, pos))
        return;
    const uint32_t pointer = EntryPointer(w.leaf.data(), w.E, w.P, pos - w.leafStart);
    if (LeafPointerSound(s, pointer, pos))
        recNo = static_cast<int32_t>(pointer);
}

void IndexEntryKey(TSezFile& s, std::string& out, int32_t pos)
{
    TIndexWindows& w = s.win;
    if (!PositionLeaf(s, pos))
        return;
    UnpackKey(Entry(w.leaf, w.E, pos - w.leafStart), s.keyBytes, s.keyType, out);
}

int32_t PeekLeafRecNo(const TSezFile& s, int32_t pos)
{
    const TIndexWindows& w = s.win;
    if (!InWindow(pos, pos, w.leafStart, w.leafLoaded))
        return 0;
    return static_cast<int32_t>(EntryPointer(w.leaf.data(), w.E, w.P, pos - w.leafStart));
}
