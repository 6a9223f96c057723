#pragma once
// The writers of the disease classifications: the classification file
// ("mkn.dat", "mkno.dat", docs/formats/mkn.md) on X6Writer, and the word
// list ("mkn.slw", "mkno.slw", docs/formats/slw.md).
//
// The file: packed texts, 16-byte heads, the narrow layout, 0xFFFF on every
// record, the entry's code in head bytes 8-13 (padded with blanks).  Entry 0
// (the classification's title) first, the rest in ascending TopicKey order,
// which the program's floor search for morphology groups relies on.

#include <string>
#include <vector>

#include "writers/x6_writer.h"

struct MknSourceEntry {
    std::string code; // data code page, at most 6 characters
    std::string text; // CtrlText, data code page
    std::string name; // names the entry in error messages ("mkn/a00.txt:12")
};

// The file's bytes.  `entries[0]` stays first, the others are sorted by key.
// Throws X6Error for a code of more than 6 characters, a key given twice, a
// text that would need the wide layout or packs into more bytes than it
// holds, and whatever X6Writer refuses.  Other options (stored, 14-byte heads,
// another last marker) are for tests; 6- and 8-byte heads hold no code and
// are written only for tests of damaged files.
std::string BuildMknFile(const std::vector<MknSourceEntry>& entries, X6FileOptions options = {});

// A word list: the lines in the order given, each ended by a line feed.
// Throws X6Error for a line holding a byte below 32.
std::string BuildMknWordList(const std::vector<std::string>& lines);
