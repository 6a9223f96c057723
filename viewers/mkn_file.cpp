#include "viewers/mkn_file.h"

#include <algorithm>
#include <cstring>

#include "datastore/db_status.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"

namespace {

// The identity the data-store error hook names the file by: its name
// without folder and extension.
TFileId FileIdOfPath(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (const size_t dot = name.find('.'); dot != std::string::npos)
        name.resize(dot);
    return TFileId(name);
}

TopicKey KeyOfHead(const PackedRecordHead& head)
{
    return PackTopicKey(std::string_view(reinterpret_cast<const char*>(head.kept.data()), head.kept.size()));
}

// Heads that hold no code (bytes 8-13) cannot key an entry.
constexpr uint16_t kSmallestCodeHead = 14;

constexpr int kRecordReadFailed = 11; // the error hook's location code
constexpr int64_t kScanWindow = 65536;

bool IsDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

bool IsCapital(unsigned char c)
{
    return c >= 'A' && c <= 'Z';
}

bool IsMorphologyLead(unsigned char c)
{
    return c == '8' || c == '9';
}

bool IsSmallLetter(unsigned char c)
{
    return KamPlain[c] >= 'a' && KamPlain[c] <= 'z';
}

} // namespace

// ------------------------------------------------------------ entry table

int MknClassification::ScanFile(const std::string& path)
{
    path_ = path;
    entries_.clear();
    defaultEntry_ = 0;
    TPackedTextFile reader;
    if (!OpenPackedText(reader, path))
        return reader.status;
    const int64_t size = reader.file.Size();
    if (size < kPackedHeaderSize) {
        ClosePackedText(reader);
        return DbStatus = PackedTextStatus::BadRecord;
    }
    if (reader.headSize < kSmallestCodeHead) {
        ClosePackedText(reader);
        DbStatus = DbCode::BadFormat;
        CallDbErrorHook(FileIdOfPath(path), 0, kRecordReadFailed);
        return DbCode::BadFormat;
    }
    // The heads are parsed from a window of the file read in large pieces:
    // one read per head would cost a system call per entry.
    std::vector<uint8_t> window(static_cast<size_t>(std::min<int64_t>(kScanWindow, size)));
    int64_t windowAt = 0;
    int64_t windowLength = 0;
    const auto readHead = [&](int64_t at, PackedRecordHead& head) {
        head = PackedRecordHead{};
        head.offset = at;
        if (at + reader.headSize > size)
            return PackedTextStatus::BadRecord;
        if (windowLength == 0 || at < windowAt || at + reader.headSize > windowAt + windowLength) {
            size_t got = 0;
            const int r = reader.file.ReadAt(
                at, window.data(), static_cast<size_t>(std::min<int64_t>(int64_t(window.size()), size - at)),
                &got);
            windowAt = at;
            windowLength = static_cast<int64_t>(got);
            if (r != 0 && r != IoResult::ShortRead)
                return r;
            if (windowLength < reader.headSize)
                return PackedTextStatus::BadRecord;
        }
        ParsePackedHead(window.data() + (at - windowAt), reader.headSize, reader.itemSize, reader.compressed,
                        head);
        return head.nextOffset > size ? PackedTextStatus::BadRecord : 0;
    };
    int status = 0;
    int64_t offset = kPackedHeaderSize;
    while (offset < size) {
        PackedRecordHead head;
        const int r = readHead(offset, head);
        if (r != 0) {
            // The records after one that passes the end cannot be located;
            // those before it stay.
            status = DbStatus = r;
            CallDbErrorHook(FileIdOfPath(path), static_cast<int32_t>(std::min<int64_t>(offset, INT32_MAX)),
                            kRecordReadFailed);
            break;
        }
        entries_.push_back({KeyOfHead(head), offset});
        if (head.marker != 0xFFFF || head.nextOffset <= offset)
            break;
        offset = head.nextOffset;
    }
    ClosePackedText(reader);
    sorted_ = std::is_sorted(entries_.begin() + std::min<size_t>(1, entries_.size()), entries_.end(),
                             [](const MknEntry& a, const MknEntry& b) { return a.key < b.key; });
    const TopicKey start = PackTopicKey(kMknStartCode);
    for (int i = Count() - 1; i >= 0; --i)
        if (entries_[static_cast<size_t>(i)].key == start) {
            defaultEntry_ = i;
            break;
        }
    DbStatus = status;
    return status;
}

namespace {

// The last of entries 1.. whose key is not above `key`, or 0 for none.
int LastNotAbove(const std::vector<MknEntry>& entries, TopicKey key)
{
    const auto it = std::upper_bound(entries.begin() + 1, entries.end(), key,
                                     [](TopicKey k, const MknEntry& e) { return k < e.key; });
    return static_cast<int>(it - entries.begin()) - 1;
}

} // namespace

int MknClassification::FindCode(TopicKey key) const
{
    if (sorted_ && !Empty()) {
        const int i = LastNotAbove(entries_, key);
        if (i >= 1 && entries_[static_cast<size_t>(i)].key == key)
            return i;
        return entries_[0].key == key ? 0 : defaultEntry_;
    }
    for (int i = Count() - 1; i >= 0; --i)
        if (entries_[static_cast<size_t>(i)].key == key)
            return i;
    return Empty() ? -1 : defaultEntry_;
}

int MknClassification::FindCodeFloor(TopicKey key) const
{
    if (sorted_ && !Empty()) {
        const int i = LastNotAbove(entries_, key);
        if (i >= 1)
            return i;
        return entries_[0].key <= key ? 0 : defaultEntry_;
    }
    for (int i = Count() - 1; i >= 0; --i)
        if (entries_[static_cast<size_t>(i)].key <= key)
            return i;
    return Empty() ? -1 : defaultEntry_;
}

MknEntryText MknClassification::ReadEntryText(int entry) const
{
    MknEntryText out;
    if (entry < 0 || entry >= Count()) {
        out.status = PackedTextStatus::BadRecord;
        return out;
    }
    TPackedTextFile reader;
    if (!OpenPackedText(reader, path_)) {
        out.status = reader.status;
        return out;
    }
    if (reader.headSize < kSmallestCodeHead) {
        out.status = DbCode::BadFormat;
        return out;
    }
    PackedRecordHead head;
    const int r = ReadPackedHead(reader, entries_[static_cast<size_t>(entry)].offset, head);
    const int64_t size = reader.file.Size();
    // A record cut short by the file's end is read as far as it goes.
    if (r != 0 && (r != PackedTextStatus::BadRecord || head.dataOffset == 0 || head.dataOffset > size)) {
        out.status = r;
        return out;
    }
    std::string data(static_cast<size_t>(std::min<int64_t>(head.dataLength, size - head.dataOffset)), '\0');
    size_t got = 0;
    const int rr = reader.file.ReadAt(head.dataOffset, data.data(), data.size(), &got);
    if (rr != 0 && rr != IoResult::ShortRead) {
        out.status = rr;
        return out;
    }
    data.resize(got);
    const bool shortRead = r != 0 || got < head.dataLength;
    if (reader.compressed) {
        const int u = UnpackRecordText(data, head.dataLength, head.textLength, out.text,
                                       reader.tables ? *reader.tables : ProgramHuffTables(),
                                       UnpackLengths::PackedWithinText);
        if (u != 0 || shortRead) {
            out.lengthDiffers = true;
            out.status = PackedTextStatus::BadRecord;
        }
    } else {
        out.text = std::move(data);
        if (shortRead) {
            out.lengthDiffers = true;
            out.status = PackedTextStatus::BadRecord;
        }
    }
    // The engine stops at the first 0 byte.
    out.text.push_back('\0');
    return out;
}

// ------------------------------------------------------------- choosing

MknCodeChoice NormaliseMknCode(std::string_view code)
{
    MknCodeChoice c;
    if (code == kMknHitListCode) {
        c.current = std::string(kMknStartCode);
        c.normalised = c.current;
        c.key = PackTopicKey(c.normalised);
        c.hitList = true;
        return c;
    }
    c.current = std::string(code.substr(0, std::min<size_t>(code.size(), 255)));
    std::string s = c.current;
    c.morphology = !s.empty() && IsMorphologyLead(static_cast<unsigned char>(s[0]));
    if (s.size() > 3 && s[3] == '-')
        s.erase(3, 1);
    if (c.morphology && s.size() > 4 && s[4] == '/')
        s.resize(4);
    if (c.morphology && s.size() == 4)
        s[3] = 'A';
    if (s.size() > 3 && s[3] == '.')
        s.resize(3);
    c.normalised = s;
    c.key = PackTopicKey(s);
    c.entryZero = s == "UZISCR" || s == "MKN10" || s == "SVZO20" || s == "MKNO-";
    c.floor = !c.entryZero && c.morphology && s.size() == 4;
    return c;
}

int ChooseMknEntry(const MknClassification& file, const MknCodeChoice& choice)
{
    if (file.Empty())
        return -1;
    if (choice.entryZero)
        return 0;
    return choice.floor ? file.FindCodeFloor(choice.key) : file.FindCode(choice.key);
}

// -------------------------------------------------------------- searching

MknSearchResult SearchMknWords(std::string_view list, std::string_view folded, std::string_view typed)
{
    MknSearchResult out;
    if (typed.size() < 3 || folded.size() != list.size())
        return out;
    const std::string t = KamFoldUpper(typed);
    const size_t n = t.size();
    if (list.size() < kMknFirstHitByte + n)
        return out;
    const char* base = folded.data();
    const size_t last = folded.size() - n; // the last start position
    size_t p = kMknFirstHitByte;
    while (p <= last && static_cast<int>(out.hits.size()) < kMknMaxHits) {
        const void* at = std::memchr(base + p, t[0], last + 1 - p);
        if (!at)
            break;
        p = static_cast<size_t>(static_cast<const char*>(at) - base);
        const unsigned char before = static_cast<unsigned char>(list[p - 1]);
        if ((before <= 32 || before == '(' || before == '-' || before == '[') &&
            std::memcmp(base + p, t.data(), n) == 0) {
            out.hits.push_back(static_cast<int32_t>(p));
            const std::string_view spelling = list.substr(p, n);
            if (out.terms.size() < 5 &&
                std::find(out.terms.begin(), out.terms.end(), spelling) == out.terms.end())
                out.terms.emplace_back(spelling);
        }
        ++p;
    }
    return out;
}

namespace {

// The line around position p: [start, end) between bytes below 32.
struct ListLine {
    size_t start = 0;
    size_t end = 0;
};

ListLine LineAround(std::string_view list, size_t p)
{
    ListLine l;
    size_t s = p;
    while (s > 0 && static_cast<unsigned char>(list[s - 1]) >= 32)
        --s;
    size_t e = p;
    while (e < list.size() && static_cast<unsigned char>(list[e]) >= 32)
        ++e;
    l.start = s;
    l.end = e;
    return l;
}

bool IsCodeLine(std::string_view list, const ListLine& l)
{
    return l.end - l.start >= 2 && IsDigit(static_cast<unsigned char>(list[l.start + 1]));
}

} // namespace

std::string BuildMknHitList(std::string_view list, const std::vector<int32_t>& hits)
{
    std::string out;
    out.reserve(40000);
    for (const int32_t hit : hits) {
        if (hit < 0 || static_cast<size_t>(hit) >= list.size())
            continue;
        const ListLine line = LineAround(list, static_cast<size_t>(hit));
        const std::string_view text =
            list.substr(line.start, std::min(line.end - line.start, kMknMaxHitLine));
        std::string prefix;
        std::string heading;
        if (!IsCodeLine(list, line)) {
            const bool continuation = !text.empty() && IsSmallLetter(static_cast<unsigned char>(text[0]));
            // Upwards to the entry's code line; the walk stops at the list's start.
            size_t s = line.start;
            while (s > 0) {
                const ListLine above = LineAround(list, s - 1);
                const std::string_view a = list.substr(above.start, above.end - above.start);
                if (IsCodeLine(list, above)) {
                    const size_t word = std::min<size_t>(a.find(' '), 7);
                    prefix = std::string(a.substr(0, word)) + ": ";
                    break;
                }
                if (continuation && !a.empty() && a.back() == ':')
                    heading = std::string(a.substr(0, std::min(a.size(), kMknMaxHitLine))) + " ";
                if (above.start == 0)
                    break;
                s = above.start;
            }
        }
        out.push_back(14);
        out += prefix;
        out += heading;
        if (prefix.empty()) {
            out.push_back(20);
            out.push_back(1);
            out.push_back(16);
        }
        out += text;
    }
    out.push_back('\0');
    return out;
}

// ------------------------------------------------------- codes in a text

namespace {

unsigned char At(std::string_view text, int i)
{
    return i >= 0 && i < static_cast<int>(text.size()) ? static_cast<unsigned char>(text[i]) : 0;
}

// The words of a "[viz ...]" reference from `from` up to "]" (at most 99
// characters), abbreviated.
std::string ReferenceTopic(std::string_view text, int from, int end)
{
    std::string words;
    for (int i = from; i < end && words.size() < 99; ++i) {
        if (text[i] == ']' || At(text, i) < 32)
            break;
        words.push_back(text[i]);
    }
    return AbbreviateTopic(words);
}

// A code start at i within [lo, hi): a capital letter or "8"/"9" before two digits.
bool CodeStartAt(std::string_view text, int i, int lo, int hi)
{
    if (i < lo || i + 2 >= hi)
        return false;
    const unsigned char c = At(text, i);
    return (IsCapital(c) || IsMorphologyLead(c)) && IsDigit(At(text, i + 1)) && IsDigit(At(text, i + 2));
}

// The code starting at i (a found start), or "" when a morphology start
// does not count.
std::string CodeFrom(std::string_view text, int i, int lo, int hi, int& start)
{
    const auto take = [&](int from, int n) {
        from = std::max(from, lo);
        start = from;
        return std::string(
            text.substr(static_cast<size_t>(from), static_cast<size_t>(std::min(n, hi - from))));
    };
    if (IsMorphologyLead(At(text, i))) {
        // A start on the second digit of "89.." belongs to the code one place left.
        if (i - 1 >= lo && IsMorphologyLead(At(text, i - 1)) && IsDigit(At(text, i + 1)))
            --i;
        const unsigned char after = i + 3 < hi ? At(text, i + 3) : 0;
        if (!(after <= 32 || after == '-' || IsDigit(after)))
            return {};
        if (At(text, i + 4) == '/' && i + 5 < hi && IsDigit(At(text, i + 5)))
            return take(i, 6);
        if (IsDigit(after))
            return take(i, 4);
        return take(i, 3);
    }
    if (i - 2 >= lo && At(text, i - 1) == '-' && IsDigit(At(text, i - 2)))
        return take(i - 4, 7);
    if (At(text, i + 3) == '-' && i + 5 < hi && IsDigit(At(text, i + 5)))
        return take(i, 7);
    if (At(text, i + 3) == '.' && i + 4 < hi && (IsDigit(At(text, i + 4)) || At(text, i + 4) == '_')) {
        const unsigned char mark = i + 5 < hi ? At(text, i + 5) : 0;
        return take(i, mark == '*' || mark == '+' ? 6 : 5);
    }
    return take(i, 3);
}

} // namespace

MknFoundCode MknCodeAtPosition(std::string_view text, int lineStart, int lineEnd, int position,
                               MknCodeMode mode)
{
    MknFoundCode f;
    lineStart = std::clamp(lineStart, 0, static_cast<int>(text.size()));
    lineEnd = std::clamp(lineEnd, lineStart, static_cast<int>(text.size()));
    if (lineEnd <= lineStart)
        return f;
    const std::string_view line =
        text.substr(static_cast<size_t>(lineStart), static_cast<size_t>(lineEnd - lineStart));
    if (mode == MknCodeMode::Line) {
        // The line's own bytes end before the closing zeros of the text.
        std::string_view own = line;
        while (!own.empty() && own.back() == 0)
            own.remove_suffix(1);
        if (!own.empty() && own.back() == 7) {
            f.code = AbbreviateTopic(MknPlainText(own));
            f.result = 1;
            return f;
        }
        const std::string plain = MknPlainText(own);
        if (plain.rfind("[viz ", 0) == 0 && plain.size() > 6 && plain.back() == ']') {
            f.code = AbbreviateTopic(plain.substr(5, plain.size() - 6));
            f.result = 2;
        }
        return f;
    }
    position = std::clamp(position, lineStart, lineEnd - 1);
    // A "[viz ...]" reference begun shortly before.
    for (int i = position; i >= std::max(lineStart, position - 40); --i) {
        if (text.compare(static_cast<size_t>(i), 5, "[viz ") == 0) {
            f.code = ReferenceTopic(text, i + 5, lineEnd);
            f.result = 30;
            return f;
        }
    }
    // The paragraph around the position: between the codes 13 before and after.
    int lo = position;
    while (lo > lineStart && At(text, lo - 1) != 13)
        --lo;
    int hi = position;
    while (hi < lineEnd && At(text, hi) != 13)
        ++hi;
    for (int round = 0; round < 9; ++round) {
        int found = -1;
        if (CodeStartAt(text, position + round, lo, hi))
            found = position + round;
        else if (round > 0 && CodeStartAt(text, position - round, lo, hi))
            found = position - round;
        if (found < 0)
            continue;
        int start = found;
        f.code = CodeFrom(text, found, lo, hi, start);
        if (f.code.empty())
            continue;
        f.result = start - lineStart;
        return f;
    }
    return f;
}

MknFoundCode MknCodeAt(std::string_view text, int lineStart, int lineEnd, int position)
{
    MknFoundCode f = MknCodeAtPosition(text, lineStart, lineEnd, position, MknCodeMode::Code);
    if (!f.Found())
        f = MknCodeAtPosition(text, lineStart, lineEnd, position, MknCodeMode::Line);
    return f;
}

std::string MknPlainText(std::string_view line)
{
    std::string out;
    int pos = 0;
    const int n = static_cast<int>(line.size());
    while (pos < n) {
        const unsigned char c = static_cast<unsigned char>(line[pos]);
        if (c == 0)
            break;
        if (c >= 32) {
            out.push_back(c == 127 ? ' ' : static_cast<char>(c));
            ++pos;
            continue;
        }
        if (c == 13 || c == 9)
            out.push_back(' ');
        pos += std::max(ControlItemLength(line, pos), 1);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

uint32_t MknLineColourOf(std::string_view text, int line, int lineStart, int lineEnd, bool second,
                         uint32_t colour)
{
    if (second) {
        // Lines opened by an emphasis (20, 2) are the morphology's own lines.
        const int stop = std::min(lineEnd, lineStart + 5);
        for (int i = lineStart; i + 2 < stop; ++i)
            if (At(text, i) == 20 && At(text, i + 1) == 2 && At(text, i + 2) == 16)
                return MknColour::Deep;
    }
    const MknFoundCode f = MknCodeAt(text, lineStart, lineEnd, lineStart + 4);
    if (!f.Found() || (line == 1 && f.result == 4))
        return colour;
    if (f.result >= 7)
        return second ? colour : MknColour::Deep;
    const bool dagger = text.size() >= 2 && At(text, 0) == 18 && At(text, 1) == 11;
    return dagger ? MknColour::CodeOfDaggerEntry : MknColour::Code;
}
