#pragma once
// The help files: the manual "qevw.hla" beside the program, the optional
// second help file ("corvana.hla", else "kalvo.hla") and the doping list
// "doping.dat" in the data folder.  Each is a compressed text file of one
// CtrlText record per topic, the topic's six-character key in head bytes
// 8-13.  Here: topic titles and levels, the topic list built from the files,
// the pages generated instead of chapters and the contents, and the content
// a second-file topic's placeholder (code 28) asks for.
//
// Without Qt; the window is viewers/help_page.h.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datastore/packed_text.h"
#include "datastore/text_table.h"
#include "datastore/topic_keys.h"

inline constexpr const char* kManualFile = "qevw.hla";
inline constexpr const char* kDopingFile = "doping.dat";
inline constexpr const char* kSymbolFile = "symbol.dat";
constexpr int kHelpMaxTopics = 256;
// A location of this or more is a page generated instead of read.
constexpr uint32_t kHelpGenerated = 0x10000000;
// The most of "symbol.dat" that is read.
constexpr size_t kSymbolMaxBytes = 30000;

// --------------------------------------------------------------- titles

struct HelpTitle {
    bool found = false;
    std::string title; // the bytes after the first code 18 (codes inside kept)
    int value = 0;     // that code's value
};
// The title of a topic: the text after its first code 18 up to the first
// code 0, 1, 13, 14, 18, 21 or 24.  Not found when text comes past byte 50
// before any code 18.
HelpTitle HelpTopicTitle(std::string_view text);
// The level of a title's code 18 value: 10 a chapter (1), 9 a part (2), else 0.
int HelpTopicLevel(int value);
// The title's text bytes without its codes (lists and tools).
std::string HelpPlainTitle(std::string_view title);
// A doping entry's abbreviation: the characters after its first code 19
// with the value 1, at most 5, up to the first byte of 32 or below.  Empty
// when it has none.
std::string DopingMarker(std::string_view text);

// ------------------------------------------------------------ the list

enum class HelpSource : uint8_t { None, Manual, Second, Doping };

struct HelpTopicEntry {
    TopicKey key = 0;
    uint32_t location = 0;    // the record's offset in bits 0-27, the level in bits 28-31
    std::string abbreviation; // the six key bytes as stored
    std::string title;        // data code page
    HelpSource source = HelpSource::None;

    int Level() const { return static_cast<int>(location >> 28); }
    bool Generated() const { return location >= kHelpGenerated; }
    int64_t Offset() const { return location & 0x0FFFFFFF; }
};

struct HelpTopicList {
    std::vector<HelpTopicEntry> entries;
    int manualRecords = 0; // records of "qevw.hla" (entries 2 onward)
    bool capped = false;   // records past the 256th were left out

    int Count() const { return static_cast<int>(entries.size()); }
    // The first entry with the key, or -1.
    int Find(TopicKey key) const;
};

// Entries 0 (the title page) and 1 (the contents) of a help list; `contents`
// is the contents page's title (data code page).
void StartHelpTopicList(HelpTopicList& list, std::string_view contents = "Obsah");

// Appends a file's records to the list.  The second file's first record
// replaces entry 0; a doping file's entries are keyed by their markers.
// 0, or the status of a damaged file (not X6, heads without keys, a record
// head that is unsound or runs past the end).  A record whose text does not
// decode ends the list there; records past the 256th are left out; both
// write one run-log line.
int ReadHelpFile(TPackedTextFile& file, HelpTopicList& list, HelpSource source);

// ------------------------------------------------------------ the files

struct HelpFiles {
    TPackedTextFile manual; // or the doping list
    TPackedTextFile second;
    bool hasSecond = false;
    bool doping = false;
    HelpTopicList list;
};

struct HelpOpenResult {
    bool ok = false;
    std::string file; // the file that failed, full name
    int status = 0;   // 0 missing, else the damage status
};

// "qevw.hla" from the program folder, the second file from the data folder
// (damaged: left out with a run-log line).  `contents` as above.
HelpOpenResult OpenHelpFiles(HelpFiles& files, const std::string& programFolder,
                             const std::string& dataFolder, std::string_view contents = "Obsah");
// "doping.dat" from the data folder.
HelpOpenResult OpenDopingFile(HelpFiles& files, const std::string& dataFolder);

// ------------------------------------------------------------ contents

// Where generated and inserted content comes from.
struct HelpContentSources {
    std::string dataFolder; // with its trailing "/"
    const TTextTable* dataTexts = nullptr;
    std::string noTable;                 // "Chyby.NoTable", data code page
    std::string contentsTitle = "Obsah"; // "Manual.Obs"
};

// The text of an entry: the record, a second-file topic with its placeholder
// expanded; the contents and chapter pages generated.  Read status (0 when
// generated).
int ReadHelpTopic(HelpFiles& files, int entry, const HelpContentSources& sources, std::string& text);

// The generated page of the contents (entry 1) or of a chapter.
std::string BuildContentsPage(const HelpTopicList& list, int entry, std::string_view contentsTitle);

// A link to an entry as the generated pages write it: code 26, the stored
// key folded to capitals, the title, code 7.
std::string HelpLinkTo(const HelpTopicEntry& entry);

// Replaces a placeholder (code 28) in the last 15 bytes of a second-file
// topic, and a code 14 right before it, by what it asks for.
std::string ExpandHelpPlaceholder(std::string_view text, const HelpContentSources& sources);
// The inserted tables.
std::string BuildDataFileTable(const std::string& dataFolder, std::string_view name,
                               std::string_view noTable);
std::string BuildSectionTable(const TTextTable* dataTexts, std::string_view name, std::string_view noTable);
std::string LoadSymbolLegend(const std::string& dataFolder, std::string_view noTable);
