#include "lists/search/text_search_engine.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "datastore/db_table.h"
#include "datastore/hex_base64.h"
#include "datastore/huff_table_decoder.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "datastore/paragraph_codes.h"
#include "datastore/table_layouts.h"
#include "platform/coding.h"
#include "platform/fs.h"

namespace text_search {

// ------------------------------------------------------------------ sources

const TextSource* FindTextSource(char letter)
{
    static constexpr TextSource kSources[] = {
        {'k', 0, "kodex", "kl", "kodex", 346, true, true, false},
        {'E', 1, "kodexa", "kl", "kodexa", 346, true, true, false},
        {'L', 2, "letak", "kl", "letak", 346, true, false, false},
        {'S', 3, "spc", "kl", "spc", 346, true, true, true},
        {'r', -1, "pfakodex", "pfa", "pfakodex", 246, false, true, false},
    };
    if (letter == 'R')
        letter = 'r';
    for (const TextSource& s : kSources)
        if (s.letter == letter)
            return &s;
    return nullptr;
}

// -------------------------------------------------------------------- words

SearchWords ParseSearchWords(std::string_view typed)
{
    SearchWords out;
    std::string word;
    auto finish = [&]() {
        if (word.size() == 1)
            word.push_back(' ');
        out.word[static_cast<size_t>(out.count++)] = word;
        word.clear();
    };
    for (size_t i = 0; i < typed.size() && out.count < kMaxWords; ++i) {
        const unsigned char c = static_cast<unsigned char>(typed[i]);
        if (c == '\r' || c == '\n') {
            if (c == '\n' && i > 0 && typed[i - 1] == '\r')
                continue;
            if (word.empty())
                return out;
            finish();
            continue;
        }
        if (c < 32)
            continue;
        unsigned char b = WinToKamTable[c];
        std::string escaped;
        if (c == '#' && i + 3 < typed.size() && typed[i + 1] == '$' &&
            BytesOfHex(typed.substr(i + 2, 2), escaped)) {
            b = static_cast<unsigned char>(escaped[0]);
            i += 3;
        }
        if (word.size() < kMaxWordLength)
            word.push_back(static_cast<char>(b));
    }
    if (!word.empty() && out.count < kMaxWords)
        finish();
    return out;
}

// --------------------------------------------------------------------- scan

namespace {

// A rough frequency of bytes in the product texts: the scan anchors on the
// rarest byte of the word after its first.
int ByteCommonness(unsigned char c)
{
    static constexpr std::string_view kByFrequency = " eoaintsrlvkdpmuczhjy.,b";
    const size_t at = kByFrequency.find(static_cast<char>(c));
    if (at != std::string_view::npos)
        return 100 - static_cast<int>(at);
    if (c >= 'a' && c <= 'z')
        return 60;
    if (c >= 0x80)
        return 50;
    return 10;
}

} // namespace

void ScanWord(std::string_view data, size_t from, size_t to, std::string_view word,
              std::vector<uint32_t>& starts)
{
    const size_t n = word.size();
    if (n == 0 || data.size() < n)
        return;
    to = std::min(to, data.size() - n + 1);
    if (from >= to)
        return;
    const auto* d = reinterpret_cast<const unsigned char*>(data.data());
    const unsigned char first = static_cast<unsigned char>(word[0]);
    const unsigned char capital = UpperTable[first];
    // The first byte (either case), the rarest byte after it and the last
    // one are tested together; only where all three agree is the rest read.
    size_t k = 0;
    if (n > 1) {
        k = 1;
        for (size_t i = 2; i < n; ++i)
            if (ByteCommonness(static_cast<unsigned char>(word[i])) <
                ByteCommonness(static_cast<unsigned char>(word[k])))
                k = i;
    }
    const unsigned char anchor = static_cast<unsigned char>(word[k]);
    const size_t lastAt = n - 1;
    const unsigned char last = static_cast<unsigned char>(word[lastAt]);
    auto matches = [&](size_t p) {
        return (d[p] == first || d[p] == capital) && std::memcmp(d + p + 1, word.data() + 1, n - 1) == 0;
    };
    size_t p = from;
#if defined(__SSE2__)
    // 16 starts at a time while every load stays inside data.
    if (data.size() >= n - 1 + 16) {
        const size_t vecEnd = std::min(to, data.size() - (n - 1) - 16 + 1);
        const __m128i vFirst = _mm_set1_epi8(static_cast<char>(first));
        const __m128i vCapital = _mm_set1_epi8(static_cast<char>(capital));
        const __m128i vAnchor = _mm_set1_epi8(static_cast<char>(anchor));
        const __m128i vLast = _mm_set1_epi8(static_cast<char>(last));
        for (; p < vecEnd; p += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p));
            __m128i m = _mm_or_si128(_mm_cmpeq_epi8(a, vFirst), _mm_cmpeq_epi8(a, vCapital));
            if (k != 0) {
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + k));
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + p + lastAt));
                m = _mm_and_si128(m, _mm_and_si128(_mm_cmpeq_epi8(b, vAnchor), _mm_cmpeq_epi8(c, vLast)));
            }
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
            if (p + 16 > to)
                mask &= (1u << (to - p)) - 1;
            while (mask) {
                const size_t at = p + static_cast<size_t>(__builtin_ctz(mask));
                mask &= mask - 1;
                if (matches(at))
                    starts.push_back(static_cast<uint32_t>(at));
            }
        }
    }
#endif
    for (; p < to; ++p)
        if ((k == 0 || (d[p + k] == anchor && d[p + lastAt] == last)) && matches(p))
            starts.push_back(static_cast<uint32_t>(p));
}

// ------------------------------------------------------------------- filter

ParagraphFilter ParagraphFilter::FromSelection(std::string_view selection)
{
    ParagraphFilter f;
    if (selection.empty() || static_cast<unsigned char>(selection.back()) == 0xFF)
        return f;
    const char marker = selection.back();
    if (marker == '+' || marker == '-') {
        f.exclude = marker == '-';
        selection.remove_suffix(1);
    }
    if (selection.empty())
        return f;
    for (char c : selection)
        f.codes.set(static_cast<unsigned char>(c));
    f.inUse = true;
    return f;
}

bool ParagraphFilter::Keeps(int code) const
{
    if (!inUse)
        return true;
    if (code < 0)
        return false;
    return codes.test(static_cast<size_t>(code)) != exclude;
}

std::vector<std::pair<uint32_t, int>> ParagraphMarks(std::string_view text, bool summarySections)
{
    std::vector<std::pair<uint32_t, int>> marks;
    const int size = static_cast<int>(text.size());
    int pos = 0;
    while (pos < size) {
        const unsigned char b = static_cast<unsigned char>(text[pos]);
        if (b >= 32 || b < 16) {
            ++pos;
            continue;
        }
        const int length = std::max(1, ControlItemLength(text, pos));
        if (!summarySections && b == 19) {
            marks.emplace_back(pos, SummaryParagraphCode(Peek12(text, pos + 1) % 100));
        } else if (summarySections && b == 18 && length == 3) {
            const int style = Peek12(text, pos + 1);
            if (style == 10 || style == 11) {
                // "4.", "4.2", "4.12", "10." at the heading's start.
                std::string key;
                int i = pos + length;
                while (i < size && key.size() < 2 && text[i] >= '0' && text[i] <= '9')
                    key.push_back(text[i++]);
                if (!key.empty() && i + 1 < size && text[i] == '.' && text[i + 1] >= '0' &&
                    text[i + 1] <= '9') {
                    key.push_back('.');
                    ++i;
                    for (int d = 0; d < 2 && i < size && text[i] >= '0' && text[i] <= '9'; ++d)
                        key.push_back(text[i++]);
                }
                const uint8_t code = ParagraphKeyToCode(key);
                if (code != 0 || key == "0")
                    marks.emplace_back(pos, code);
            }
        }
        pos += length;
    }
    return marks;
}

namespace {

int ParagraphAt(const std::vector<std::pair<uint32_t, int>>& marks, uint32_t pos, int before)
{
    auto it = std::upper_bound(marks.begin(), marks.end(), pos,
                               [](uint32_t p, const std::pair<uint32_t, int>& m) { return p < m.first; });
    return it == marks.begin() ? before : std::prev(it)->second;
}

bool EndsSampleLine(unsigned char c)
{
    return c <= 6 || (c >= 10 && c <= 15) || (c >= 18 && c <= 24);
}

// The paragraph's prefix of a sample line.
std::string SamplePrefix(const Options& o, const TextSource& s, int code)
{
    if (code < 0)
        return "    ";
    if (s.summarySections)
        return ParagraphText(static_cast<uint8_t>(code)) + " ";
    const int n = (code >> 4) * 10 + (code & 15);
    std::string label = n < 100 ? o.labels[static_cast<size_t>(n)] : std::string();
    if (label.empty())
        label = (n < 10 ? " " : "") + std::to_string(n);
    return label + ": ";
}

// A sample of a rich text: from the start of the word the hit lies in,
// formatting codes skipped, to a code that ends a line or the width.
std::string RichSample(std::string_view text, uint32_t hit, std::string prefix)
{
    size_t start = hit;
    for (size_t back = 0; back < 40 && start > 0; ++back) {
        const unsigned char c = static_cast<unsigned char>(text[start - 1]);
        if (c <= 32)
            break;
        --start;
    }
    std::string line = std::move(prefix);
    size_t pos = start;
    while (pos < text.size() && line.size() < kSampleWidth) {
        const unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c >= 32) {
            line.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        if (EndsSampleLine(c))
            return line;
        pos += static_cast<size_t>(std::max(1, ControlItemLength(text, static_cast<int>(pos))));
    }
    if (line.size() >= kSampleWidth && pos < text.size()) {
        const size_t blank = line.rfind(' ');
        if (blank != std::string::npos && blank > 0)
            line.resize(blank);
    }
    return line;
}

// A sample of a plain text: the line around the hit.
std::string PlainSample(std::string_view data, uint32_t hit, size_t back, std::string prefix)
{
    size_t start = hit;
    bool lineStart = false;
    while (start > 0 && hit - start < back) {
        const unsigned char c = static_cast<unsigned char>(data[start - 1]);
        if (c == 13 || c == 10 || c == 0) {
            lineStart = true;
            break;
        }
        --start;
    }
    if (start == 0)
        lineStart = true;
    if (lineStart && !prefix.empty())
        while (start < hit && data[start] >= '0' && data[start] <= '9')
            ++start;
    std::string line = std::move(prefix);
    for (size_t pos = start; pos < data.size() && line.size() < kSampleWidth; ++pos) {
        const unsigned char c = static_cast<unsigned char>(data[pos]);
        if (c == 13 || c == 0 || c == 10)
            break;
        line.push_back(c < 32 ? ' ' : static_cast<char>(c));
    }
    return line;
}

// The paragraph of a plain line from its leading digits (the viewer's rule:
// "4" is 40, "45" is 45, 11 reads as 10); -1 without a number.
int PlainLineParagraph(const unsigned char* d, size_t size, size_t at)
{
    if (at >= size || d[at] < '0' || d[at] > '9')
        return -1;
    int c = (d[at] - '0') * 10;
    if (at + 1 < size && d[at + 1] >= '0' && d[at + 1] <= '9')
        c += d[at + 1] - '0';
    if (c == 11)
        c = 10;
    return SummaryParagraphCode(c);
}

constexpr size_t kPlainBehind = 80; // the longest look back of a sample
constexpr size_t kPlainAhead = 128; // a word and a sample's rest

} // namespace

// ------------------------------------------------------------------- engine

struct Engine::Batch {
    uint64_t seq = 0;
    int64_t fileOffset = 0; // of data[0]
    std::vector<uint8_t> data;
    int64_t endPosition = 0; // file position reached after it
    // X6: records lying whole in data.
    struct Record {
        int64_t offset; // of its head
        size_t dataAt;  // of its data in `data`
        uint32_t dataLength;
        uint32_t textLength;
        std::array<uint8_t, 6> kept;
        bool tooLarge; // packed longer than the text + 1000: skipped
    };
    std::vector<Record> records;
    bool damagedTail = false; // a head or data past the file's end follows
    uint32_t damagedLength = 0;
    // Plain: starts [scanFrom, scanTo) of data; line marks inside them.
    size_t scanFrom = 0, scanTo = 0;
    std::vector<std::pair<uint32_t, int>> lineMarks;
    int paragraphAtStart = -1;
};

struct Engine::Result {
    uint64_t seq = 0;
    int64_t endPosition = 0;
    std::vector<Hit> hits;
    std::array<int64_t, kMaxWords> counts{};
    int64_t accepted = 0;
    std::vector<std::string> lastSamples;              // of the last accepted hits, oldest first
    std::vector<std::pair<int, std::string>> messages; // kind 0 "Small buf", 1 decoding
};

Engine::Engine(Options options) : options_(std::move(options))
{
    source_ = FindTextSource(options_.letter);
    if (!source_)
        source_ = FindTextSource('k');
    if (!source_->filterable)
        options_.filter = ParagraphFilter{};
}

Engine::~Engine()
{
    Cancel();
    Wait();
}

int Engine::Start()
{
    resolved_ = ResolvePath(options_.path);
    ReadOnlyFile probe;
    if (int r = probe.Open(resolved_))
        return r;
    fileSize_ = probe.Size();
    uint8_t head[16] = {};
    size_t got = 0;
    probe.ReadAt(0, head, sizeof head, &got);
    plain_ = !(got >= 2 && head[0] == 'X' && head[1] == '6');
    if (!plain_) {
        const uint8_t flags = got > 4 ? head[4] : 0;
        headSize_ = PackedHeadSize(flags);
        itemSize_ = PackedItemSize(flags);
        compressed_ = (flags & 0x08) != 0;
    }
    int workers = options_.workers;
    if (workers <= 0)
        workers = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    workers_ = workers;
    running_ = workers + 1;
    threads_.emplace_back([this] { ReaderLoop(); });
    for (int i = 0; i < workers; ++i)
        threads_.emplace_back([this] { WorkerLoop(); });
    return 0;
}

void Engine::Cancel()
{
    cancel_ = true;
    queueCv_.notify_all();
}

void Engine::Wait()
{
    for (std::thread& t : threads_)
        if (t.joinable())
            t.join();
    threads_.clear();
}

Progress Engine::Snapshot() const
{
    std::lock_guard lock(mergeMutex_);
    return progress_;
}

bool Engine::Push(std::unique_ptr<Batch> b)
{
    std::unique_lock lock(queueMutex_);
    // A bounded queue: the reader never runs far ahead of the workers.
    const size_t limit = static_cast<size_t>(workers_) * 2 + 2;
    queueCv_.wait(lock, [&] { return cancel_ || queue_.size() - queueHead_ < limit; });
    if (cancel_)
        return false;
    b->seq = batchesMade_++;
    queue_.push_back(std::move(b));
    queueCv_.notify_all();
    return true;
}

void Engine::ReaderLoop()
{
    if (plain_)
        ReadPlain(fileSize_);
    else
        ReadX6(fileSize_);
    {
        std::lock_guard lock(queueMutex_);
        readerDone_ = true;
    }
    queueCv_.notify_all();
    ThreadDone();
}

void Engine::ReadX6(int64_t size)
{
    ReadOnlyFile file;
    if (file.Open(resolved_) != 0)
        return;
    int64_t offset = kPackedHeaderSize;
    size_t want = options_.batchBytes;
    while (offset < size && !cancel_) {
        auto batch = std::make_unique<Batch>();
        batch->fileOffset = offset;
        const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(want), size - offset));
        batch->data.resize(n);
        size_t got = 0;
        file.ReadAt(offset, batch->data.data(), n, &got);
        batch->data.resize(got);
        if (got == 0)
            return;
        const int64_t end = offset + static_cast<int64_t>(got);
        int64_t at = offset;
        bool stop = false;
        while (at < end) {
            PackedRecordHead head;
            head.offset = at;
            if (at + headSize_ > size) {
                batch->damagedTail = true;
                stop = true;
                break;
            }
            if (at + headSize_ > end)
                break;
            ParsePackedHead(batch->data.data() + (at - offset), headSize_, itemSize_, compressed_, head);
            if (head.nextOffset > size) {
                batch->damagedTail = true;
                batch->damagedLength = head.textLength;
                stop = true;
                break;
            }
            if (head.nextOffset > end)
                break;
            batch->records.push_back({at, static_cast<size_t>(head.dataOffset - offset), head.dataLength,
                                      head.textLength, head.kept,
                                      compressed_ && head.dataLength > head.textLength + kPackedSlack});
            at = head.nextOffset;
        }
        if (batch->records.empty() && !stop) {
            // One record larger than a batch: read it whole next time.
            PackedRecordHead head;
            head.offset = at;
            size_t need = want * 2;
            if (at + headSize_ <= end) {
                ParsePackedHead(batch->data.data() + (at - offset), headSize_, itemSize_, compressed_, head);
                need = static_cast<size_t>(head.nextOffset - at);
            }
            want = std::max(need, want * 2);
            continue;
        }
        want = options_.batchBytes;
        batch->endPosition = stop ? size : at;
        // Only the bytes of whole records are kept.
        batch->data.resize(static_cast<size_t>(at - offset));
        offset = at;
        if (!Push(std::move(batch)) || stop)
            return;
    }
}

void Engine::ReadPlain(int64_t size)
{
    ReadOnlyFile file;
    if (file.Open(resolved_) != 0)
        return;
    const size_t chunk = std::max<size_t>(options_.batchBytes, 1024);
    int paragraph = -1; // of the line in force
    int64_t from = 0;
    while (from < size && !cancel_) {
        auto batch = std::make_unique<Batch>();
        const int64_t to = std::min<int64_t>(size, from + static_cast<int64_t>(chunk));
        const int64_t first = std::max<int64_t>(0, from - static_cast<int64_t>(kPlainBehind));
        const int64_t last = std::min<int64_t>(size, to + static_cast<int64_t>(kPlainAhead));
        batch->fileOffset = first;
        batch->data.resize(static_cast<size_t>(last - first));
        size_t got = 0;
        file.ReadAt(first, batch->data.data(), batch->data.size(), &got);
        batch->data.resize(got);
        batch->scanFrom = static_cast<size_t>(from - first);
        batch->scanTo = std::min(batch->data.size(), static_cast<size_t>(to - first));
        batch->paragraphAtStart = paragraph;
        const unsigned char* d = batch->data.data();
        for (size_t i = batch->scanFrom; i < batch->scanTo; ++i) {
            const bool lineStart = first + static_cast<int64_t>(i) == 0 || d[i - 1] < 32;
            if (lineStart) {
                paragraph = PlainLineParagraph(d, batch->data.size(), i);
                batch->lineMarks.emplace_back(static_cast<uint32_t>(i), paragraph);
            }
        }
        batch->endPosition = to;
        from = to;
        if (got == 0 || !Push(std::move(batch)))
            return;
    }
}

namespace {

// An accepted hit of one text: its position, word and paragraph code.
struct Accepted {
    uint32_t pos;
    int word;
    int code;
};

// Keeps the samples of the last accepted hits (at most kSampleRows - 1).
template <class MakeSample>
void NoteSamples(std::vector<std::string>& lastSamples, const std::vector<Accepted>& accepted,
                 std::string_view text, MakeSample makeSample)
{
    const size_t keep = kSampleRows - 1;
    const size_t from = accepted.size() > keep ? accepted.size() - keep : 0;
    for (size_t i = from; i < accepted.size(); ++i)
        lastSamples.push_back(makeSample(text, accepted[i]));
    if (lastSamples.size() > keep)
        lastSamples.erase(lastSamples.begin(), lastSamples.end() - static_cast<ptrdiff_t>(keep));
}

} // namespace

// A worker's buffers, kept from batch to batch.
struct Engine::Scratch {
    const HuffTableDecoder& decoder = ProgramHuffTableDecoder();
    std::unique_ptr<uint8_t[]> decoded;
    size_t decodedSize = 0;
    std::vector<uint32_t> starts;
    std::vector<std::pair<uint32_t, int>> marks;
    std::vector<Accepted> accepted;
};

void Engine::WorkerLoop()
{
    Scratch scratch;
    for (;;) {
        std::unique_ptr<Batch> batch;
        {
            std::unique_lock lock(queueMutex_);
            queueCv_.wait(lock, [&] { return cancel_ || queueHead_ < queue_.size() || readerDone_; });
            if (cancel_ || queueHead_ >= queue_.size())
                break;
            batch = std::move(queue_[queueHead_++]);
            queueCv_.notify_all();
        }
        auto result = std::make_unique<Result>();
        result->seq = batch->seq;
        result->endPosition = batch->endPosition;
        if (!plain_)
            ScanRecords(*batch, *result, scratch);
        else
            ScanPlain(*batch, *result, scratch);
        if (cancel_)
            break;
        std::lock_guard lock(mergeMutex_);
        pending_[result->seq] = std::move(result);
        for (auto it = pending_.find(nextMerge_); it != pending_.end() && !cancel_;
             it = pending_.find(nextMerge_)) {
            Merge(*it->second);
            pending_.erase(it);
            ++nextMerge_;
        }
    }
    ThreadDone();
}

std::string_view Engine::RecordText(const Batch& batch, size_t i, Result& result, Scratch& s)
{
    const Batch::Record& rec = batch.records[i];
    const uint8_t* data = batch.data.data() + rec.dataAt;
    if (!compressed_)
        return std::string_view(reinterpret_cast<const char*>(data), rec.textLength);
    const int start = static_cast<int>(rec.textLength + kPackedSlack - rec.dataLength);
    const size_t need = static_cast<size_t>(start) + rec.dataLength + 8;
    if (need > s.decodedSize) {
        // Grown, never cleared: the decoder writes what it hands back.
        s.decodedSize = std::max(need, s.decodedSize * 2);
        s.decoded = std::make_unique_for_overwrite<uint8_t[]>(s.decodedSize);
    }
    const int count = s.decoder.Decode(data, static_cast<int>(rec.dataLength),
                                       static_cast<int>(rec.dataLength), start, s.decoded.get());
    if (count != static_cast<int64_t>(rec.textLength) + 2) {
        std::string name = Base64UrlEncode(
            std::string_view(reinterpret_cast<const char*>(rec.kept.data()), rec.kept.size()));
        while (!name.empty() && name.back() == '_')
            name.pop_back();
        result.messages.emplace_back(1, "Internal error: " + name + " " + std::to_string(count) + "#" +
                                            std::to_string(rec.textLength + 2));
    }
    return std::string_view(reinterpret_cast<const char*>(s.decoded.get()), static_cast<size_t>(count));
}

void Engine::ScanRecords(const Batch& batch, Result& result, Scratch& s)
{
    const TextSource& src = *source_;
    const SearchWords& words = options_.words;
    const ParagraphFilter& filter = options_.filter;
    for (size_t i = 0; i < batch.records.size(); ++i) {
        const Batch::Record& rec = batch.records[i];
        if (cancel_)
            break;
        if (rec.tooLarge) {
            result.messages.emplace_back(0, "Internal error: Small buf - " + std::to_string(rec.textLength));
            continue;
        }
        const std::string_view text = RecordText(batch, i, result, s);
        s.accepted.clear();
        bool marksMade = false;
        uint8_t bits = 0;
        for (int w = 0; w < words.count; ++w) {
            s.starts.clear();
            ScanWord(text, 0, text.size(), words.word[static_cast<size_t>(w)], s.starts);
            for (uint32_t p : s.starts) {
                int code = -1;
                if (filter.inUse) {
                    if (!marksMade) {
                        s.marks = ParagraphMarks(text, src.summarySections);
                        marksMade = true;
                    }
                    code = ParagraphAt(s.marks, p, -1);
                    if (!filter.Keeps(code))
                        continue;
                }
                s.accepted.push_back({p, w, code});
                ++result.counts[static_cast<size_t>(w)];
                bits = static_cast<uint8_t>(bits | (1u << w));
            }
        }
        if (s.accepted.empty())
            continue;
        result.accepted += static_cast<int64_t>(s.accepted.size());
        result.hits.push_back({rec.offset, bits});
        NoteSamples(result.lastSamples, s.accepted, text, [&](std::string_view t, const Accepted& a) {
            return RichSample(t, a.pos, filter.inUse ? SamplePrefix(options_, src, a.code) : std::string());
        });
    }
    if (batch.damagedTail)
        result.messages.emplace_back(0, "Internal error: Small buf - " + std::to_string(batch.damagedLength));
}

void Engine::ScanPlain(const Batch& batch, Result& result, Scratch& s)
{
    const TextSource& src = *source_;
    const SearchWords& words = options_.words;
    const ParagraphFilter& filter = options_.filter;
    const std::string_view text(reinterpret_cast<const char*>(batch.data.data()), batch.data.size());
    const size_t back = src.target == 2 || src.target == 3 ? 40 : 80;
    s.accepted.clear();
    for (int w = 0; w < words.count; ++w) {
        s.starts.clear();
        ScanWord(text, batch.scanFrom, batch.scanTo, words.word[static_cast<size_t>(w)], s.starts);
        for (uint32_t p : s.starts) {
            const int code = ParagraphAt(batch.lineMarks, p, batch.paragraphAtStart);
            if (src.filterable && !filter.Keeps(code))
                continue;
            s.accepted.push_back({p, w, code});
            ++result.counts[static_cast<size_t>(w)];
        }
    }
    result.accepted = static_cast<int64_t>(s.accepted.size());
    std::vector<Hit> hits;
    hits.reserve(s.accepted.size());
    for (const Accepted& a : s.accepted)
        hits.push_back({batch.fileOffset + a.pos, static_cast<uint8_t>(1u << a.word)});
    std::stable_sort(hits.begin(), hits.end(),
                     [](const Hit& a, const Hit& b) { return a.position < b.position; });
    for (const Hit& h : hits) {
        if (!result.hits.empty() && result.hits.back().position == h.position)
            result.hits.back().words |= h.words;
        else
            result.hits.push_back(h);
    }
    NoteSamples(result.lastSamples, s.accepted, text, [&](std::string_view t, const Accepted& a) {
        return PlainSample(t, a.pos, back,
                           src.filterable ? SamplePrefix(options_, src, a.code) : std::string());
    });
}

void Engine::ThreadDone()
{
    if (running_.fetch_sub(1) != 1)
        return;
    std::lock_guard lock(mergeMutex_);
    progress_.finished = true;
    progress_.cancelled = cancel_;
    if (!cancel_)
        progress_.gauge = 100;
}

void Engine::Merge(Result& r)
{
    for (const auto& [kind, text] : r.messages) {
        bool& shown = kind == 0 ? shownSmallBuf_ : shownDecode_;
        if (!shown)
            progress_.messages.push_back(text);
        shown = true;
    }
    for (const Hit& h : r.hits) {
        if (h.position != lastPosition_)
            ++progress_.texts;
        lastPosition_ = h.position;
        if (!hits_.empty() && hits_.back().position == h.position)
            hits_.back().words |= h.words;
        else if (hits_.size() < kMaxHits)
            hits_.push_back(h);
        else
            progress_.tooManyHits = true;
    }
    for (int w = 0; w < kMaxWords; ++w)
        progress_.counts[static_cast<size_t>(w)] += r.counts[static_cast<size_t>(w)];
    const int64_t before = progress_.hitCount;
    progress_.hitCount += r.accepted;
    const int64_t k = static_cast<int64_t>(r.lastSamples.size());
    for (int64_t i = 0; i < k; ++i)
        progress_.samples[static_cast<size_t>((before + r.accepted - k + i) % kSampleRows)] =
            r.lastSamples[static_cast<size_t>(i)];
    if (r.accepted > 0)
        progress_.samples[static_cast<size_t>(progress_.hitCount % kSampleRows)].clear();
    progress_.gauge = fileSize_ > 0 ? static_cast<int>(r.endPosition * 100 / fileSize_) : 100;
}

// ------------------------------------------------------------------ records

uint32_t ResultEntry(int32_t record, uint8_t words)
{
    return (static_cast<uint32_t>(record) & 0xFFFF) | ((static_cast<uint32_t>(record >> 16) & 7) << 16) |
           (static_cast<uint32_t>(words & 0x1F) << 19);
}

int32_t ResultRecord(uint32_t entry)
{
    return static_cast<int32_t>((entry & 0xFFFF) | (((entry >> 16) & 7) << 16));
}

uint8_t ResultWords(uint32_t entry)
{
    return static_cast<uint8_t>((entry >> 19) & 0x1F);
}

namespace {

// The text offset of the index entry at a position.
bool EntryKey(TDbTable& t, int32_t pos, uint32_t& key)
{
    std::string k;
    IndexEntryKey(t.sez, k, pos);
    if (DbStatus != 0 || k.size() < 4)
        return false;
    key = DecodeLE32(k.data());
    return true;
}

int Score(TDbTable& t, int32_t pos, int32_t& record, const std::function<bool(int32_t)>& userMarked)
{
    std::string buf;
    ReadByOrder(t, pos, buf);
    record = t.recNo;
    int score = FieldByte(buf, kDrugState) == 'R' ? 2 : 1;
    if (static_cast<unsigned char>(FieldByte(buf, kDrugReimbursementKind)) > '0')
        score += 2;
    if (userMarked && userMarked(record))
        score += 4;
    return score;
}

} // namespace

MapResult MapHitsToRecords(TDbTable& table, const TextSource& source, const std::vector<Hit>& hits,
                           bool plain, const std::function<bool(int32_t)>& userMarked)
{
    MapResult out;
    const int32_t leaves = table.LeafCount();
    if (leaves <= 0)
        return out;
    int32_t previous = -1;
    for (const Hit& hit : hits) {
        const uint32_t wanted = static_cast<uint32_t>(hit.position);
        std::string key(4, '\0');
        // Compressed: the first entry not below the offset; plain: the first
        // above the position, whose predecessor holds it.
        EncodeLE32(key.data(), plain ? wanted + 1 : wanted);
        int32_t rec = 0;
        SeekKey(table.sez, rec, key);
        if (DbStatus > 0)
            break;
        int32_t pos = table.sez.curPos;
        uint32_t k = 0;
        if (!EntryKey(table, pos, k))
            continue;
        int32_t last; // the last entry of the text's group
        if (plain) {
            if (k > wanted) {
                if (pos == 0)
                    continue;
                --pos;
                if (!EntryKey(table, pos, k))
                    continue;
            }
            last = pos;
        } else {
            if (k != wanted)
                continue;
            last = pos;
            uint32_t next = 0;
            while (last + 1 < leaves && EntryKey(table, last + 1, next) && next == k)
                ++last;
        }
        if (k == 0xFFFFFFFFu) // "no text" is never a text's offset
            continue;
        // Of the entries sharing the text, walking back from the last one,
        // the first with the highest score.
        int32_t chosen = 0;
        if (source.drugs) {
            int best = -1;
            for (int32_t p = last; p >= 0; --p) {
                uint32_t pk = 0;
                if (p != last && (!EntryKey(table, p, pk) || pk != k))
                    break;
                int32_t r = 0;
                const int s = Score(table, p, r, userMarked);
                if (s > best) {
                    best = s;
                    chosen = r;
                }
            }
        } else {
            IndexEntryRecNo(table.sez, chosen, last);
        }
        if (chosen <= 0)
            continue;
        if (chosen != previous) {
            if (out.entries.size() >= kMaxRecords) {
                out.tooMany = true;
                break;
            }
            out.entries.push_back(ResultEntry(chosen, 0));
            previous = chosen;
        }
        out.entries.back() |= ResultEntry(0, hit.words);
    }
    return out;
}

} // namespace text_search

namespace text_search {

std::array<std::string, 100> ParagraphLabels(std::string_view zkr1, std::string_view zkr2)
{
    std::array<std::string, 100> labels;
    for (size_t n = 0; n < labels.size() && n < zkr1.size(); ++n) {
        const char a = zkr1[n];
        if (a == ' ' || (a >= '0' && a <= '9'))
            continue;
        labels[n] = std::string(1, a) + (n < zkr2.size() ? zkr2[n] : ' ');
    }
    return labels;
}

bool OpenTextIndex(TDbTable& table, std::string_view folder, const TextSource& source)
{
    OpenTableIn(table, folder, TFileId(source.table), TFileId(source.index), source.recordLength);
    return DbStatus == 0 && table.dat.IsOpen() && table.sez.IsOpen();
}

} // namespace text_search
