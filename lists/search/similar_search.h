#pragma once
// Similar spellings for the name lists: when a typed name finds few entries,
// words of a word file (".slw") that the filter hides or that differ from the
// typed text by a common letter substitution (F/PH, T/TH, I/Y, C/K ...) are
// offered as extra rows on top of the list's own rows.  The lists then walk
// the entries a search returns instead of their index.
//
// A word file, as LoadWordFile gives it: a line feed, sorted lines of a
// folded name followed by two characters (the last one the word's flag
// character), each line ended by a line feed, and a terminating 0 byte.
// Nothing here reads past that 0 byte, whatever the buffer holds after it.
//
// Entries: a record number of the list's table (below 0x40000000), or
// a word: the 1-based position of its first character in the word-file
// buffer, with bit 30 (kSimilarWordEntry, a similar writing) or bit 31
// (kHiddenWordEntry, a word the filter hides) set.
//
// Typed text is folded through KamUpper before any word-file search, as the
// word files hold folded names.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/bits.h"
#include "datastore/table_layouts.h"

struct TDbTable;

constexpr uint32_t kSimilarWordEntry = 0x40000000u;
constexpr uint32_t kHiddenWordEntry = 0x80000000u;
constexpr int kMaxWordHits = 100;

// Whether an entry names a word rather than a record.
inline bool IsWordEntry(int32_t entry)
{
    return (static_cast<uint32_t>(entry) & (kSimilarWordEntry | kHiddenWordEntry)) != 0;
}
// The 1-based position in the word-file buffer of a word entry.
inline int32_t WordEntryPosition(int32_t entry)
{
    return static_cast<int32_t>(static_cast<uint32_t>(entry) & 0x00FFFFFFu);
}

// The word a word entry (or a bare 1-based position) names: the line from
// that position without its two trailing characters.  Empty when the
// position lies outside the buffer or at its terminating 0.
std::string WordAt(std::string_view wordFile, int32_t entry);

// A word file of the data folder ("klnaz.slw", "atcnaz.slw"), read once per
// folder and kept for the lists that offer its words; empty when missing.
// Main thread only.
const std::string& CachedWordFile(const char* name);

// Whether fewer than n words of the word file begin with the (folded)
// prefix.  The name list asks with n = 3 before it looks for similar names.
bool WordPrefixIsRare(std::string_view wordFile, std::string_view prefix, int n);

// What a list hands the searches: the typed text, the range its seek set
// and the positions of that range its filter passes.
struct TypedRange {
    std::string_view prefix; // the typed text, data code page
    bool similar = false;    // similar writings asked for (button ")")
    uint16_t filter = 0;     // the list's filter word
    int32_t count = 0;       // positions of the range passing the filter
    bool strict = false;     // the range is the prefix's, else the whole index
    int32_t rangeFirst = 0;  // the range's positions in the open index
    int32_t rangeLast = -1;
    int32_t topPos = 0;          // where the list stands in the range
    const TBits* hits = nullptr; // positions passing the filter
};

// The drug name list's search, run after a prefix seek: with an empty range
// (count 0) the words the filter hides, with `similar` the similar writings
// whose flag character fits the filter word.  When any word was found, the
// entries are the words, then the record numbers of the range positions whose
// hits bit is set (read from `table`'s open index), from topPos on when not
// strict; empty when no word was found or the word file is empty.
std::vector<int32_t> SimilarNameSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table);

// The ATC name list's search: similar writings (a word is taken when bit 0
// of the filter is clear or bit 0 of its flag character is set), and the ATC
// names holding the prefix as an inner word, looked up in `table` (the ATC
// table with its name index open; a blank ACT drops a name when bit 0 of the
// filter is set).  The entries: the similar words, the range's records
// passing the hits, then the inner-word records; empty when none was found.
// The data-store status is left as it was.
std::vector<int32_t> SimilarAtcSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table);

// What the search of SimilarAtcSearch is bound to for one table: the cells
// of its misspellings (FROM and TO, two characters a cell) and the fields the
// inner words are looked up by (`active` of length 0: no activity filter).
struct SimilarWordTable {
    std::string_view from;
    std::string_view to;
    FieldPos name;
    FieldPos active;
};
// The search of SimilarAtcSearch on any table: the range's records are read
// from `table`'s open index, the inner-word names are sought in `nameTable`
// (a handle of the same table open on its name index; may be `table`).
std::vector<int32_t> SimilarWordSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table,
                                       TDbTable& nameTable, const SimilarWordTable& words);
// The goods name list's search (every word fits; names of "pfa").
std::vector<int32_t> SimilarGoodsSearch(std::string_view wordFile, const TypedRange& range, TDbTable& table,
                                        TDbTable& nameTable);
