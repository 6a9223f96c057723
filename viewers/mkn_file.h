#pragma once
// The disease classifications ("mkn.dat", "mkno.dat" with the word lists
// "mkn.slw", "mkno.slw"): the entry table of a classification file, how a
// typed or followed code chooses an entry, reading an entry's CtrlText, the
// word search over the word list with the hit list it composes, and the code
// under a text position.  No Qt and no window: the classification page
// (viewers/mkn_page.h), its dump tool and the benchmarks share it.
//
// Texts are in the data code page (Kamenický).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/topic_keys.h"

// The start entry's code: shown when no code is asked for, and the code the
// hit list stands on.
inline constexpr std::string_view kMknStartCode = "ZaDTCa";
// The code that asks for the word search's hit list.
inline constexpr std::string_view kMknHitListCode = "#";

// --------------------------------------------------------- the entry table

struct MknEntry {
    TopicKey key = 0;
    int64_t offset = 0; // of the record's head
};

// What ReadEntryText gives.
struct MknEntryText {
    int status = 0;             // 0; the I/O result; or PackedTextStatus::BadRecord
    bool lengthDiffers = false; // the decoded text is not T + 2 bytes long
    std::string text;           // CtrlText ending in a 0 byte (what decoded, when damaged)
};

class MknClassification {
public:
    // One entry per record in file order; the default entry is the last one
    // keyed by the start code, else entry 0.  An open failure or a file
    // without records leaves the table empty (the status stays in DbStatus).
    // A record passing the file's end ends the scan: the entries before it
    // stay, and DbStatus and the data-store error hook get the file and the
    // offset.  Heads of 6 or 8 bytes hold no code: such a file is refused.
    // The status (0 when every record was taken).
    int ScanFile(const std::string& path);

    // The last entry keyed `key`, searching from the end; the default entry
    // when there is none (-1 for an empty table).
    int FindCode(TopicKey key) const;
    // The last entry, searching from the end, whose key is not above `key`;
    // the default entry when there is none.
    int FindCodeFloor(TopicKey key) const;

    // Reads an entry's record, its head checked again (the file may have
    // changed since the scan).  A short read or a packed text longer than its
    // text: status BadRecord and what could be decoded; nothing is read
    // outside a buffer.
    MknEntryText ReadEntryText(int entry) const;

    const std::string& Path() const { return path_; }
    const std::vector<MknEntry>& Entries() const { return entries_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    int DefaultEntry() const { return defaultEntry_; }
    bool Empty() const { return entries_.empty(); }

private:
    std::string path_;
    std::vector<MknEntry> entries_;
    int defaultEntry_ = 0;
    // Entries 1.. in ascending key order (as the writer makes them): the
    // searches halve instead of walking, with the same answers.
    bool sorted_ = false;
};

// ------------------------------------------------------------- choosing

// What a code asks for, after the normalisation of the page's ShowCode:
// "#" the hit list on the start entry; "A00.1" the category A00; "A00-A09"
// the range A00A09; a morphology code ("8140/3", "8141") its group "814A",
// found by the floor search; the classification's own names
// ("UZISCR", "MKN10", "SVZO20", "MKNO-") entry 0.
struct MknCodeChoice {
    std::string current;    // the page's current code: the code as given, "ZaDTCa" for "#"
    std::string normalised; // what the key is made of
    TopicKey key = 0;
    bool hitList = false;
    bool morphology = false; // begins with "8" or "9"
    bool entryZero = false;
    bool floor = false;
};
MknCodeChoice NormaliseMknCode(std::string_view code);

// The entry a choice shows (-1 for an empty table).
int ChooseMknEntry(const MknClassification& file, const MknCodeChoice& choice);

// -------------------------------------------------------------- searching

constexpr int kMknMaxHits = 500;
constexpr int kMknFirstHitByte = 6; // of the list as LoadWordFile gives it
constexpr size_t kMknMaxHitLine = 255;

struct MknSearchResult {
    std::vector<int32_t> hits;      // byte positions in the list, in list order
    std::vector<std::string> terms; // the list's own spellings of the hits, at most five
};

// The word search: positions from byte 6 where the folded list holds the
// folded typed text at a word start (after a byte up to 32, "(", "-" or
// "["), at most 500.  `list` is the word list as LoadWordFile gives it (a
// line feed, the file, a 0), `folded` the same folded through KamUpper.
// Fewer than 3 typed characters find nothing.
MknSearchResult SearchMknWords(std::string_view list, std::string_view folded, std::string_view typed);

// The hit list: a paragraph per hit, the hit's line (at most 255
// characters) after its entry's code ("A00: ") and, for a line beginning with
// a small letter, its heading; a code line itself is emphasised.  Walks up
// the list stop at its start.  Ends with a 0 byte.
std::string BuildMknHitList(std::string_view list, const std::vector<int32_t>& hits);

// ------------------------------------------------------- codes in a text

// How CodeAtPosition reads: a code near the position, or the line as a link.
enum class MknCodeMode { Code, Line };

struct MknFoundCode {
    int result = 0;   // 0 none; line mode 1 (a link line), 2 (a "[viz ...]" line);
                      // code mode 30 (a "[viz" reference) or the code's start less the line's start
    std::string code; // the code or the topic abbreviation
    bool Found() const { return result > 0 || !code.empty(); }
};

// The code at `position` of the line text[lineStart, lineEnd) (a line of the
// rich-text engine: `lineEnd` is the next line's start).  Code mode looks at
// most 8 places left and right for a code start (a capital letter or "8"/"9"
// before two digits) within the paragraph bounded by codes 13, or takes a
// "[viz ...]" reference that began at most 40 characters before; line mode
// takes a line ending in a code 7, or a whole "[viz ...]" line, as a topic.
MknFoundCode MknCodeAtPosition(std::string_view text, int lineStart, int lineEnd, int position,
                               MknCodeMode mode);
// Code mode, then line mode.
MknFoundCode MknCodeAt(std::string_view text, int lineStart, int lineEnd, int position);

// A line's text bytes, codes dropped (13, 9 and 127 as blanks), trailing
// blanks cut.
std::string MknPlainText(std::string_view line);

// The line colour of the classification page (colour words 0x00BBGGRR).
namespace MknColour {
constexpr uint32_t Code = 0x884400;
constexpr uint32_t CodeOfDaggerEntry = 0x005500; // entries starting with paragraph style 11
constexpr uint32_t Deep = 0x112266;              // a code further into the line, mkno's emphasised lines
} // namespace MknColour

// The text colour of engine line `line` (1-based) whose bytes are
// text[lineStart, lineEnd), starting from `colour`.
uint32_t MknLineColourOf(std::string_view text, int line, int lineStart, int lineEnd, bool second,
                         uint32_t colour);
