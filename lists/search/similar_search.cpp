#include "lists/search/similar_search.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/key_index.h"
#include "datastore/table_layouts.h"
#include "datastore/user_files.h"
#include "platform/ascii.h"

namespace {

// The pairs of letter groups a name may be misspelt by, as cells of two
// characters (a blank second character: a one-letter cell).  The last two
// cells of each table never apply at the first letter: "S" and "Z" begin
// different names.
constexpr std::string_view kNameFrom = "F PHT THI Y C K X KSV W L T ( [ S Z ";
constexpr std::string_view kNameTo = "PHF THT Y I K C KSX W V LLTT[ ( Z S ";
constexpr std::string_view kAtcFrom = "F PHT THI Y C K V W S Z ";
constexpr std::string_view kAtcTo = "PHF THT Y I K C W V Z S ";
static_assert(kNameFrom.size() == kNameTo.size() && kAtcFrom.size() == kAtcTo.size());

// More words than this from one substitution flood a list that has rows of
// its own: they are dropped.
constexpr size_t kMaxWordsOfOneVariant = 5;

// The word file up to its terminating 0 (or its end, when it has none).
std::string_view Body(std::string_view wordFile)
{
    const void* zero = std::memchr(wordFile.data(), 0, wordFile.size());
    return zero == nullptr ? wordFile : wordFile.substr(0, static_cast<const char*>(zero) - wordFile.data());
}

// The line starting at `start` (a line start of body), without its line feed.
std::string_view LineAt(std::string_view body, size_t start)
{
    const size_t end = body.find('\n', start);
    return body.substr(start, (end == std::string_view::npos ? body.size() : end) - start);
}

// A line without its two trailing characters (the blank and the flag).
std::string_view WordOfLine(std::string_view line)
{
    return line.substr(0, line.size() >= 2 ? line.size() - 2 : 0);
}

// The start of the first line (after the leading line feed) whose bytes are
// not below `key` over key's length; body.size() when there is none.  The
// lines are sorted by bytes, so the lines beginning with `key` follow it.
size_t LowerBoundLine(std::string_view body, std::string_view key)
{
    if (body.empty() || body[0] != '\n')
        return body.size();
    size_t lo = 1;
    size_t hi = body.size();
    // Every line starting before lo is below key, every line from hi on is
    // not; both are line starts (or the end).
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        size_t start = mid;
        while (start > lo && body[start - 1] != '\n')
            --start;
        const std::string_view line = LineAt(body, start);
        if (line.substr(0, key.size()) < key)
            lo = start + line.size() + 1;
        else
            hi = start;
    }
    return std::min(lo, body.size());
}

// Calls take(word, flag, position) for every line beginning with `key`, in
// order, while it returns true; position is 1-based in the word-file buffer.
template <typename Take>
void ForEachWordWithPrefix(std::string_view body, std::string_view key, Take&& take)
{
    size_t start = LowerBoundLine(body, key);
    while (start < body.size()) {
        const std::string_view line = LineAt(body, start);
        if (line.substr(0, key.size()) != key)
            return;
        const char flag = line.size() >= 2 ? line.back() : '\0';
        if (!take(WordOfLine(line), static_cast<uint8_t>(flag), static_cast<int32_t>(start + 1)))
            return;
        start += line.size() + 1;
    }
}

bool BeginsWith(std::string_view s, std::string_view head)
{
    return s.substr(0, head.size()) == head;
}

// The typed text as the word files hold names.
std::string FoldedPrefix(std::string_view prefix)
{
    return KamFoldUpper(prefix);
}

struct Cell {
    std::string_view from;
    std::string_view to;
};

Cell CellOf(std::string_view from, std::string_view to, size_t i)
{
    auto trimmed = [](std::string_view c) { return c[1] == ' ' ? c.substr(0, 1) : c; };
    return {trimmed(from.substr(2 * i, 2)), trimmed(to.substr(2 * i, 2))};
}

// The misspellings of `prefix` by the cells of a table, in the order they
// are tried: cell by cell, each from its last possible place to its first.
// A variant that only lengthens the prefix is left out: the words it finds
// already begin with the prefix.
template <typename Visit>
void ForEachVariant(std::string_view prefix, std::string_view from, std::string_view to, Visit&& visit)
{
    const size_t cells = from.size() / 2;
    for (size_t i = 0; i < cells; ++i) {
        const Cell c = CellOf(from, to, i);
        const size_t firstPlace = i + 2 >= cells ? 1 : 0; // S/Z never at the first letter
        if (prefix.size() < c.from.size())
            continue;
        for (size_t p = prefix.size() - c.from.size() + 1; p-- > firstPlace;) {
            if (prefix.substr(p, c.from.size()) != c.from)
                continue;
            std::string variant(prefix.substr(0, p));
            variant += c.to;
            variant += prefix.substr(p + c.from.size());
            if (BeginsWith(variant, prefix))
                continue;
            visit(variant);
        }
    }
}

// Adds the similar writings of the typed text to `hits` (bit 30), each
// variant's words taken by `fits` and at most kMaxWordHits in all.
template <typename Fits>
void CollectVariants(std::string_view body, std::string_view prefix, std::string_view from,
                     std::string_view to, bool rangeHasRows, std::vector<int32_t>& hits, Fits&& fits)
{
    ForEachVariant(prefix, from, to, [&](const std::string& variant) {
        if (hits.size() >= kMaxWordHits)
            return;
        const size_t before = hits.size();
        std::string_view previous = "...";
        ForEachWordWithPrefix(body, variant, [&](std::string_view word, uint8_t flag, int32_t position) {
            if (hits.size() >= kMaxWordHits)
                return false;
            if (fits(flag) && !BeginsWith(word, previous) && !BeginsWith(word, prefix)) {
                hits.push_back(static_cast<int32_t>(static_cast<uint32_t>(position) | kSimilarWordEntry));
                previous = word;
            }
            return true;
        });
        if (rangeHasRows && hits.size() - before > kMaxWordsOfOneVariant)
            hits.resize(before);
    });
}

// The record numbers of the range's positions that pass the list's filter,
// from the position the list was left at.
void AppendRangeRecords(const TypedRange& range, TDbTable& table, std::vector<int32_t>& out)
{
    int32_t first = range.rangeFirst;
    // Without the strict option the range is the whole index and the list
    // stands at the found position: the records start there, not at the top.
    if (!range.strict)
        first = std::max(first, range.rangeFirst + range.topPos);
    for (int32_t pos = first; pos <= range.rangeLast; ++pos) {
        if (range.hits == nullptr || !BitTest(*range.hits, pos))
            continue;
        int32_t recNo = 0;
        IndexEntryRecNo(table.sez, recNo, pos);
        if (DbStatus > 0)
            break;
        if (recNo > 0)
            out.push_back(recNo);
    }
}

} // namespace

std::string WordAt(std::string_view wordFile, int32_t entry)
{
    const int32_t position = WordEntryPosition(entry);
    if (position < 1 || static_cast<size_t>(position) > wordFile.size())
        return {};
    const std::string_view rest = wordFile.substr(static_cast<size_t>(position) - 1);
    size_t end = 0;
    while (end < rest.size() && rest[end] != '\n' && rest[end] != '\0')
        ++end;
    return std::string(WordOfLine(rest.substr(0, end)));
}

bool WordPrefixIsRare(std::string_view wordFile, std::string_view prefix, int n)
{
    const std::string_view body = Body(wordFile);
    int found = 0;
    ForEachWordWithPrefix(body, FoldedPrefix(prefix),
                          [&](std::string_view, uint8_t, int32_t) { return ++found < n; });
    return found < n;
}

std::vector<int32_t> SimilarNameSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table)
{
    const std::string_view body = Body(wordFile);
    if (body.empty())
        return {};
    const std::string prefix = FoldedPrefix(range.prefix);
    std::vector<int32_t> hits;

    if (range.count == 0) {
        // Nothing of the range passes the filter: offer the names it hides.
        std::string_view previous = "...";
        ForEachWordWithPrefix(body, prefix, [&](std::string_view word, uint8_t, int32_t at) {
            if (hits.size() >= kMaxWordHits)
                return false;
            if (!BeginsWith(word, previous))
                hits.push_back(static_cast<int32_t>(static_cast<uint32_t>(at) | kHiddenWordEntry));
            previous = word;
            return true;
        });
    }

    if (range.similar) {
        // The flag character's bits 1-4 and 5-6 against the filter word's
        // sign bits 4-7, 2-3 and 0-1.
        const uint16_t f = range.filter;
        uint8_t mask = static_cast<uint8_t>((f & 0xF0) >> 3);
        uint8_t expected = 0x1E;
        if ((f & 0x03) != 0) {
            mask |= 0x40;
            if ((f & 0x01) == 0)
                expected |= 0x40;
        }
        if ((f & 0x0C) != 0) {
            mask |= 0x20;
            if ((f & 0x04) == 0)
                expected |= 0x20;
        }
        CollectVariants(body, prefix, kNameFrom, kNameTo, range.count != 0, hits,
                        [&](uint8_t flag) { return ((flag ^ expected) & mask) == 0; });
    }

    if (!hits.empty())
        AppendRangeRecords(range, table, hits);
    return hits;
}

std::vector<int32_t> SimilarWordSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table,
                                       TDbTable& nameTable, const SimilarWordTable& words)
{
    const std::string_view body = Body(wordFile);
    if (body.empty())
        return {};
    const int32_t savedStatus = DbStatus;
    const std::string prefix = FoldedPrefix(range.prefix);
    const bool activeOnly = words.active.length > 0 && (range.filter & 0x01) != 0;
    std::vector<int32_t> variants;
    if (range.similar)
        CollectVariants(body, prefix, words.from, words.to, range.count != 0, variants,
                        [&](uint8_t flag) { return !activeOnly || (flag & 0x01) != 0; });

    // Names holding the typed text as an inner word.
    std::vector<int32_t> inner;
    std::string search = prefix.size() < 3 ? prefix + " " : prefix;
    KamToAsciiS(search);
    std::string record;
    size_t at = search.empty() ? std::string_view::npos : body.find(search, 1);
    while (at != std::string_view::npos && inner.size() < kMaxWordHits) {
        const char before = body[at - 1];
        size_t lineStart = at;
        while (lineStart > 0 && body[lineStart - 1] != '\n')
            --lineStart;
        const std::string_view line = LineAt(body, lineStart);
        const size_t next = lineStart + line.size() + 1;
        if (before == ' ' || before == '(' || before == '-' || before == '/') {
            const std::string name(WordOfLine(line));
            FindRecord(nameTable, name, record);
            for (int32_t pos = nameTable.Position(); DbStatus <= 0 && inner.size() < kMaxWordHits; ++pos) {
                if (pos != nameTable.Position())
                    ReadByOrder(nameTable, pos, record);
                if (DbStatus != 0 && DbStatus != DbCode::NotExact)
                    break;
                std::string folded = KamFoldUpper(FieldBytes(record, words.name));
                while (!folded.empty() && static_cast<unsigned char>(folded.back()) < 33)
                    folded.pop_back();
                if (folded != name)
                    break;
                if (!(activeOnly && FieldByte(record, words.active) == ' '))
                    inner.push_back(nameTable.recNo);
                DbStatus = 0;
            }
            // One lookup per line, however often the text occurs in it.
            at = next < body.size() ? body.find(search, next) : std::string_view::npos;
            continue;
        }
        at = body.find(search, at + 1);
    }
    DbStatus = savedStatus;

    if (!inner.empty() && variants.size() > 8)
        variants.clear();
    if (variants.empty() && inner.empty())
        return {};
    std::vector<int32_t> entries = std::move(variants);
    AppendRangeRecords(range, table, entries);
    entries.insert(entries.end(), inner.begin(), inner.end());
    DbStatus = savedStatus;
    return entries;
}

std::vector<int32_t> SimilarAtcSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table)
{
    static constexpr SimilarWordTable kAtcWords{kAtcFrom, kAtcTo, kAtcLayout.Field("NAZ"),
                                                kAtcLayout.Field("ACT")};
    return SimilarWordSearch(wordFile, range, table, table, kAtcWords);
}

std::vector<int32_t> SimilarGoodsSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table,
                                        TDbTable& nameTable)
{
    // The goods words carry no flag the list filters by.
    static constexpr SimilarWordTable kGoodsWords{kAtcFrom, kAtcTo, kGoodsName, {}};
    return SimilarWordSearch(wordFile, range, table, nameTable, kGoodsWords);
}

const std::string& CachedWordFile(const char* name)
{
    struct Cached {
        std::string folder;
        std::string words;
    };
    static std::map<std::string, Cached, std::less<>> files;
    Cached& c = files[name];
    if (c.folder.empty() || c.folder != DataDir()) {
        c.folder = DataDir();
        LoadWordFile(c.words, name);
    }
    return c.words;
}
