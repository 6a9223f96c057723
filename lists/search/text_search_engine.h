#pragma once
// The full-text search of the product texts, without windows: the typed
// words, the scan of a whole document file (X6 compressed, X6 stored or plain
// text) on worker threads, the hits with their paragraph filter, counts and
// sample lines, and the mapping of hit positions to records.
//
// Threads: a reader thread cuts the file into batches of whole records (or
// chunks of a plain file); workers decode and scan them; the results are
// merged strictly in file order, so hits, counts, samples, messages and the
// gauge are the same for any number of workers, and a cancel keeps exactly
// the batches merged before it.  The workers touch nothing but their batch
// and the engine's own state; the owner reads a snapshot under a mutex.

#include <array>
#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct TDbTable;

namespace text_search {

constexpr int kMaxWords = 5;
constexpr size_t kMaxWordLength = 40;
constexpr size_t kMaxHits = 8000;    // texts (or plain positions) kept
constexpr size_t kMaxRecords = 5000; // records of a result
constexpr int kSampleRows = 8;
constexpr size_t kSampleWidth = 78;

// One searchable document family.
struct TextSource {
    char letter;            // "k", "E", "L", "S", "r"
    int target;             // TextTarget 0..3; -1 for the goods texts
    std::string_view file;  // document file without ".dat"
    std::string_view table; // record table and its text index
    std::string_view index;
    uint16_t recordLength;
    bool drugs;           // records are scored (drug tables)
    bool filterable;      // a paragraph filter applies
    bool summarySections; // paragraphs are numbered headings (SPC)
};
// The source of a kind letter ("R" reads as "r"); nullptr for another letter.
const TextSource* FindTextSource(char letter);

// ------------------------------------------------------------------ words

struct SearchWords {
    std::array<std::string, kMaxWords> word; // data code page
    int count = 0;
};

// The words of the typed text (code page 1250): one per line, up to 5, up to
// 40 bytes each; "#$hh" stands for the byte hh when 3 characters follow the
// "#"; an empty line ends the words; a one-letter word gets a blank.
SearchWords ParseSearchWords(std::string_view typed);

// Every start p in [from, to) where `word` occurs in data: its first byte
// equal to the word's first letter or that letter's capital (UpperTable), the
// rest exact; none reading past data.  Positions ascending, appended.
void ScanWord(std::string_view data, size_t from, size_t to, std::string_view word,
              std::vector<uint32_t>& starts);

// -------------------------------------------------------------- filter

struct ParagraphFilter {
    std::bitset<256> codes;
    bool exclude = false; // the selection names the paragraphs left out
    bool inUse = false;

    // From a selection: codes followed by "+" or "-"; empty, or switched off
    // (last byte 255), gives a filter not in use.
    static ParagraphFilter FromSelection(std::string_view selection);
    // Whether a hit in paragraph `code` (-1: before any paragraph) counts.
    bool Keeps(int code) const;
};

// The paragraph code of a summary paragraph number 0..99: tens x 16 + units.
inline int SummaryParagraphCode(int n)
{
    return (n / 10) * 16 + n % 10;
}

// The paragraph marks of a decoded text, walking its items forward: code 19
// (value mod 100) for the summary and goods texts, headings of style 10 or 11
// that begin with a section number for the SPC texts.  Pairs of (position,
// code), positions ascending.
std::vector<std::pair<uint32_t, int>> ParagraphMarks(std::string_view text, bool summarySections);

// ------------------------------------------------------------------ the scan

struct Hit {
    int64_t position; // a record's head offset (X6) or the file position (plain)
    uint8_t words;    // word 1 = 1 ... word 5 = 16
};

struct Progress {
    int gauge = 0; // 0..100
    std::array<int64_t, kMaxWords> counts{};
    std::array<std::string, kSampleRows> samples; // data code page
    int64_t hitCount = 0;
    int64_t texts = 0;                 // texts (plain: positions) with hits, beyond the cap too
    std::vector<std::string> messages; // in the order they arose
    bool tooManyHits = false;
    bool finished = false;
    bool cancelled = false;
};

struct Options {
    std::string path; // the document file
    char letter = 'k';
    SearchWords words;
    ParagraphFilter filter;
    // Abbreviations of the summary paragraphs 0..99 for the samples.
    std::array<std::string, 100> labels;
    int workers = 0; // 0: one per core, at least one
    size_t batchBytes = 1 << 20;
};

class Engine {
public:
    explicit Engine(Options options);
    ~Engine(); // cancels and waits
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Opens the file and starts the threads: 0, or the I/O result.
    int Start();
    void Cancel();
    // Waits for the threads; afterwards Snapshot().finished is true.
    void Wait();
    Progress Snapshot() const;
    // The hits, by position ascending; call after Wait().
    const std::vector<Hit>& Hits() const { return hits_; }
    bool Plain() const { return plain_; }

    struct Batch;
    struct Result;
    struct Scratch;

private:
    void ReaderLoop();
    void WorkerLoop();
    // A worker's scan of one batch of records (X6) or of plain text.
    void ScanRecords(const Batch& batch, Result& result, Scratch& s);
    void ScanPlain(const Batch& batch, Result& result, Scratch& s);
    // Record i's text, decoded into the scratch buffer when packed.
    std::string_view RecordText(const Batch& batch, size_t i, Result& result, Scratch& s);
    void Merge(Result& r);
    void ReadX6(int64_t size);
    void ReadPlain(int64_t size);
    bool Push(std::unique_ptr<Batch> b);
    void ThreadDone();

    Options options_;
    const TextSource* source_ = nullptr;
    std::string resolved_;
    bool plain_ = false;
    bool compressed_ = false;
    uint16_t headSize_ = 0;
    uint16_t itemSize_ = 0;
    int64_t fileSize_ = 0;

    std::atomic<bool> cancel_{false};
    std::vector<std::thread> threads_;
    int workers_ = 1;

    // reader -> workers
    mutable std::mutex queueMutex_;
    std::condition_variable queueCv_;
    std::vector<std::unique_ptr<Batch>> queue_;
    size_t queueHead_ = 0;
    bool readerDone_ = false;
    uint64_t batchesMade_ = 0;

    // workers -> merged state, in batch order
    mutable std::mutex mergeMutex_;
    std::map<uint64_t, std::unique_ptr<Result>> pending_;
    uint64_t nextMerge_ = 0;
    Progress progress_;
    std::vector<Hit> hits_;
    int64_t lastPosition_ = -1;
    bool shownSmallBuf_ = false;
    bool shownDecode_ = false;
    std::atomic<int> running_{0};
};

// ---------------------------------------------------------------- records

// A result entry: record number in the low 16 bits and bits 0-2 of the third
// byte, the found words (word 1 = 0x08) in bits 3-7 of the third byte.
uint32_t ResultEntry(int32_t record, uint8_t words);
int32_t ResultRecord(uint32_t entry);
uint8_t ResultWords(uint32_t entry);

struct MapResult {
    std::vector<uint32_t> entries;
    bool tooMany = false; // a 5001st record was met; the first 5000 are kept
};

// Maps hits to records through the table's text index (an open handle whose
// index is keyed by the text offsets).  A compressed or stored text maps to
// the entries whose key equals its offset; a plain position to the last
// entry whose key is not above it.  Of the records sharing a text, the drug
// tables take the highest score (2 registered, + 2 reimbursed, + 4 marked by
// the user), the nearest on ties; `userMarked` may be empty.
MapResult MapHitsToRecords(TDbTable& table, const TextSource& source, const std::vector<Hit>& hits,
                           bool plain, const std::function<bool(int32_t)>& userMarked);

} // namespace text_search

namespace text_search {

// The abbreviations of the summary paragraphs 0..99: characters n of the two
// UI texts when the first is neither blank nor a digit, else empty (the
// number is shown).
std::array<std::string, 100> ParagraphLabels(std::string_view zkr1, std::string_view zkr2);

// Opens the source's record table with its text index in `folder`; false
// when either cannot be opened.
bool OpenTextIndex(TDbTable& table, std::string_view folder, const TextSource& source);

} // namespace text_search
