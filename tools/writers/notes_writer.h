#pragma once
// Writer of a user's notes set: the texts ".NOT" (256-byte blocks, a note
// starting at a block with two zero bytes, then its lines) and the pointers
// ".PNT" (one 16-bit entry per drug record, 0xFFFF for none).  Used by the
// demo builder, the benchmarks and the tests that lay a set out by hand.
//
// The layout follows the notes as the program writes them: a note of text
// length L takes (2 + L) div 256 + 1 blocks unless the caller asks for more
// (the import pads its notes further), so a text that fills its last block
// exactly is followed by a zero block.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One note: its text (Kamenický, lines closed by CR LF, the "01" + code
// lines first) and the records whose entries point at it.
struct NoteSpec {
    std::string text;
    std::vector<int32_t> records;
    size_t blocks = 0;       // 0: the least the text needs
    size_t blocksBefore = 0; // empty blocks before it (a gap left by a move)
};

// A note as stored from its first block: two zero bytes, then the text.
std::string NoteBytes(const std::string& text);
// Bytes padded with zeros to `blocks` blocks of 256.
std::string PadBlocks(std::string bytes, size_t blocks);
// The blocks a note of this text takes when written by the program.
size_t NoteBlockCount(size_t textLength);

struct NotesSet {
    std::string notes;    // ".NOT"
    std::string pointers; // ".PNT"
    std::vector<uint16_t> entries;
};

// The set over a drug table of `recordCount` records (header included).  A
// rule broken by the caller (a record out of range or named twice, a note
// past block 0xFFFE, a note shorter than its text) throws std::invalid_argument.
NotesSet BuildNotesSet(const std::vector<NoteSpec>& notes, int32_t recordCount);

// Builds the set and writes base + ".NOT" and base + ".PNT" atomically; 0 or
// the I/O result.
int WriteNotesSet(const std::string& base, const std::vector<NoteSpec>& notes, int32_t recordCount);

// The codes a note's header links: its run of "01"/"02" lines from byte 2
// of `note` ("01" + 7 digits, or 5 digits read as "00" + them).
std::vector<std::string> NoteHeaderCodes(const std::string& note);

// What breaks the set's rules: each entry must be 0xFFFF or lead to a note
// start whose header names its record's code (`codeOf`).  One line per fault.
std::vector<std::string> CheckNotesSet(const std::string& notes, const std::string& pointers,
                                       const std::function<std::string(int32_t)>& codeOf);
