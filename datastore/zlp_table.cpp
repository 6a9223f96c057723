#include "datastore/zlp_table.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "datastore/db_table.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace {

std::atomic<const ZlpTable*> g_table{nullptr};
std::atomic<int> g_dataMonth{0};

std::mutex& LoadMutex()
{
    static std::mutex m;
    return m;
}

// Every table ever published: kept until the process ends, because a reader
// on another thread may still use a table that a test forgot.
std::vector<std::unique_ptr<ZlpTable>>& Published()
{
    static std::vector<std::unique_ptr<ZlpTable>> tables;
    return tables;
}

uint32_t CodeAt(const ZlpTable& t, size_t entry)
{
    return DecodeLE24(t.data.data() + entry * t.entrySize);
}

} // namespace

std::unique_ptr<ZlpTable> ParseZlpTable(std::string bytes)
{
    using namespace ZlpFormat;
    if (bytes.size() < kMinFileBytes)
        return nullptr;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = b[4];
    if (n < 2 || kHeaderBytes + 3 * n > bytes.size())
        return nullptr;
    auto t = std::make_unique<ZlpTable>();
    const size_t widths = kHeaderBytes + 2 * n;
    std::vector<size_t> offset(n);
    for (size_t i = 0; i < n; ++i) {
        offset[i] = t->entrySize;
        t->entrySize += (b[widths + i] & 7u) + 1;
    }
    if ((b[widths] & 7u) + 1 != kCodeWidth)
        return nullptr;
    // The header may fill entries 0 and 1, no more; the data starts at 2.
    if (kHeaderBytes + 3 * n > 2 * t->entrySize)
        return nullptr;
    t->entryCount = bytes.size() / t->entrySize;
    if (t->entryCount <= kFirstDataEntry)
        return nullptr;

    const int b2 = b[2], b3 = b[3];
    t->threshold = 3 * b2 - 120 + (b3 > 96 ? 1 : 0) + (b3 > 176 ? 1 : 0);
    for (size_t col = 1; col < n && t->letters.size() < kMaxLetters; ++col) {
        const uint16_t name = DecodeLE16(b + kHeaderBytes + 2 * col);
        for (int shift : {10, 5, 0}) {
            const char letter = static_cast<char>(((name >> shift) & 31) + 64);
            if (letter >= 'A' && letter <= 'Y' && t->letters.size() < kMaxLetters) {
                t->letters.push_back(letter);
                t->letterOffset.push_back(static_cast<uint16_t>(offset[col]));
            }
        }
    }
    t->data = std::move(bytes);
    t->codes.reserve(t->entryCount - kFirstDataEntry);
    for (size_t e = kFirstDataEntry; e < t->entryCount; ++e)
        t->codes.push_back(CodeAt(*t, e));
    return t;
}

int CheckZlpEntryIn(const ZlpTable& t, std::string_view record, char letter, int dataMonth)
{
    using namespace ZlpFormat;
    const std::string_view code = TrimBlanks(record.substr(0, 7));
    if (code.empty() || code.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    uint32_t wanted = 0;
    for (char c : code)
        wanted = wanted * 10 + static_cast<uint32_t>(c - '0');
    if (wanted == 0)
        return 0;

    const size_t last = t.entryCount - 1;
    const uint32_t lastCode = t.codes.back();
    size_t found = 0;
    if (wanted > lastCode)
        return 0;
    if (wanted == lastCode) {
        found = last;
    } else {
        // Entries 2 .. last - 1; the codes are sorted.
        const auto end = t.codes.end() - 1;
        const auto it = std::lower_bound(t.codes.begin(), end, wanted);
        if (it == end || *it != wanted)
            return -1;
        found = kFirstDataEntry + static_cast<size_t>(it - t.codes.begin());
    }
    const size_t p = t.letters.find(letter);
    if (p == std::string::npos)
        return 0;
    const size_t at = t.letterOffset[p];
    const int v = static_cast<unsigned char>(t.data[found * t.entrySize + at]);
    return dataMonth + v < t.threshold ? 1 : 0;
}

int DataMonthOfVersion(std::string_view cisloIn)
{
    std::string c(cisloIn);
    c += " ";
    while (c.size() < 8)
        c += ' ';
    auto ch = [&c](size_t oneBased) { return static_cast<unsigned char>(c[oneBased - 1]); };
    int m = 120 * (ch(3) & 15) + 12 * (ch(4) & 15) + 3 * (ch(6) & 7) - 3;
    if ((ch(7) & 31) > 10)
        ++m;
    if ((ch(7) & 31) > 18)
        ++m;
    return m;
}

int DataMonth()
{
    return g_dataMonth.load(std::memory_order_relaxed);
}
void SetDataMonth(int month)
{
    g_dataMonth.store(month, std::memory_order_relaxed);
}

void LoadZlpTable()
{
    std::lock_guard lock(LoadMutex());
    if (g_table.load(std::memory_order_acquire))
        return;
    const std::string path = ResolveInFolder(DataDir(), "zlp.dat");
    if (!FileExists(path))
        return;
    std::string bytes;
    if (ReadWholeFile(path, bytes) != 0)
        return;
    std::unique_ptr<ZlpTable> t = ParseZlpTable(std::move(bytes));
    if (!t)
        return;
    const ZlpTable* raw = t.get();
    Published().push_back(std::move(t));
    g_table.store(raw, std::memory_order_release);
}

int CheckZlpEntry(std::string_view record, char letter)
{
    const ZlpTable* t = g_table.load(std::memory_order_acquire);
    return t ? CheckZlpEntryIn(*t, record, letter, DataMonth()) : 0;
}

std::string_view ZlpData()
{
    const ZlpTable* t = g_table.load(std::memory_order_acquire);
    return t ? std::string_view(t->data) : std::string_view();
}
int ZlpThreshold()
{
    const ZlpTable* t = g_table.load(std::memory_order_acquire);
    return t ? t->threshold : 0;
}
std::string_view ZlpLetters()
{
    const ZlpTable* t = g_table.load(std::memory_order_acquire);
    return t ? std::string_view(t->letters) : std::string_view();
}
size_t ZlpEntrySize()
{
    const ZlpTable* t = g_table.load(std::memory_order_acquire);
    return t ? t->entrySize : 0;
}

void ForgetZlpTable()
{
    std::lock_guard lock(LoadMutex());
    g_table.store(nullptr, std::memory_order_release);
}
