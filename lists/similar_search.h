#pragma once
// Similar spellings for the name lists: when a typed name finds few entries,
// words of a word file (".slw") that the filter hides or that differ from the
// typed text by a common letter substitution (F/PH, T/TH, I/Y, C/K ...) are
// offered as extra rows on top of the list's own rows.  The lists then walk
// VybRec::RecArr instead of their index (WorkFlag set).
//
// A word file, as LoadWordFile gives it: a line feed, sorted lines of a
// folded name followed by two characters (the last one the word's flag
// character), each line ended by a line feed, and a terminating 0 byte.
// Nothing here reads past that 0 byte, whatever the buffer holds after it.
//
// RecArr entries: a record number of the list's table (below 0x40000000), or
// a word: the 1-based position of its first character in the word-file
// buffer, with bit 30 (kSimilarWordEntry, a similar writing) or bit 31
// (kHiddenWordEntry, a word the filter hides) set.
//
// Typed text is folded through KamUpper before any word-file search, as the
// word files hold folded names.

#include <cstdint>
#include <string>
#include <string_view>

struct TDbTable;
struct VybRec;

constexpr uint32_t kSimilarWordEntry = 0x40000000u;
constexpr uint32_t kHiddenWordEntry = 0x80000000u;
constexpr int kMaxWordHits = 100;

// Whether a RecArr entry names a word rather than a record.
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

// The drug name list's search, run after a prefix seek: with an empty range
// (rec.Count 0) the words the filter hides, with rec.Whisper the similar
// writings whose flag character fits the filter word rec.ButtonState.  When
// any word was found, RecArr := the words, then the record numbers of the
// range positions RangeFirst..RangeLast whose Hits bit is set (read from
// `table`'s open index); Count := RecArr's length, WorkFlag := 1 and
// `position` := 0.  Otherwise nothing changes.  An empty word file does
// nothing.
void SimilarNameSearch(std::string_view wordFile, VybRec& rec, int32_t& position, TDbTable& table);

// The ATC name list's search: similar writings (a word is taken when bit 0
// of ButtonState is clear or bit 0 of its flag character is set), and the
// ATC names holding the prefix as an inner word, looked up in `table` (the
// ATC table with its name index open; its record field at offset 160 blank
// drops a name when bit 0 of ButtonState is set).  RecArr := the similar
// words, the range's records passing Hits, then the inner-word records.  The
// data-store status is left as it was.
void SimilarAtcSearch(std::string_view wordFile, VybRec& rec, int32_t& position, TDbTable& table);
