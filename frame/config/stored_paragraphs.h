#pragma once
// Where the paragraph selections of the chooser, the text search and the
// viewers live: one table over the current selections of the settings
// (ConfigValues::paragraphCurrent), so that every caller of a (mode, kind)
// pair reads and writes the same slot.
//
// A stored selection is the raw set of codes the chooser produced (the codes
// excluded and the end codes of whole groups); EncodeParagraphSet turns it
// into the "+" or "-" form.  A trailing byte 255 means "show all, selection
// kept" and is stored as it is.
//
// Mode 'F' is the text search's filter; every other mode letter is a
// viewer's.  Filter slots: "k" FKODEX=, "S" FSPC=, "R"/"r" FPFA=, "E" and
// every other letter FENG=.  Viewer slots: "B"/"b" BREV=, "R"/"r" PFA=, "S"
// SPC=, "k" CODEX=, "E" ENG=, every other letter KODEX=.  Highlights (viewer
// only, the bytes of FAVORS=): "B"/"b", "S", "R"/"r", "E" their own, every
// other letter "K"'s.
//
// The functions taking no ParagraphSelections work on Config() under the
// settings lock and may be called from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct ParagraphSelections;

inline constexpr char kParagraphFilterMode = 'F';
inline constexpr size_t kMaxStoredParagraphCodes = 80;

// The slots of a (mode, kind) pair; never nullptr.
std::string& ParagraphSelectionSlot(ParagraphSelections& p, char mode, char kind);
uint8_t& ParagraphHighlightSlot(ParagraphSelections& p, char kind);
const std::string& ParagraphSelectionSlot(const ParagraphSelections& p, char mode, char kind);
uint8_t ParagraphHighlightSlot(const ParagraphSelections& p, char kind);

// The current selection of the pair, as stored (a trailing 255 kept).
std::string StoredParagraphSelection(char mode, char kind);
// The highlighted (start) paragraph of a viewer kind, 0 for none.
uint8_t StoredParagraphHighlight(char kind);
// Replaces the pair's current selection (cut to 80 codes) and, when given,
// the kind's highlight, in one step under the settings lock.
void StoreParagraphSelection(char mode, char kind, std::string_view selection,
                             std::optional<uint8_t> highlight = std::nullopt);
// Switches the pair's selection off and keeps it: a trailing 255 is added
// unless there is one, the last code giving way when all 80 are in use.
void SwitchOffParagraphSelection(char mode, char kind);
