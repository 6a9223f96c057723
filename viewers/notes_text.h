#pragma once
// What the notes window shows, prints and writes out, as pure functions of
// the note's text: the display text with its sections, its wrapping into
// display lines, the selection's range, the print lines and the RTF and
// plain-text output.  No Qt: the window measures through a width table.
//
// The display text is code page 1250.  A line break inside a section (a
// record line after a record line, an empty line of the free text) is the
// byte kNoteBreak followed by a blank, so a "#" the user wrote shows as "#".

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr char kNoteBreak = '\x1F';
// Which sections show: character n + 1 for section n; "+", "1", "o" shown,
// the one marked "1" scrolled to first.  The record lines are section 1,
// "02" lines section 2 (hidden), the free text section 10.
inline constexpr std::string_view kNoteSectionFlags = "-+--------1";
constexpr int kNoteSections = 100;

struct NoteDisplay {
    std::string text;                                  // starts with CR LF; display line 1 starts at offset 2
    std::array<size_t, kNoteSections> sectionStarts{}; // 0: the section does not occur
    int firstSection = -1;                             // the section marked "1", when it occurs
};

// Builds the display text from the note (Kamenický).
NoteDisplay BuildNoteDisplay(std::string_view note, std::string_view flags = kNoteSectionFlags);

// Widths of the 256 code-page-1250 bytes in the window's font.
using CharWidths = std::array<int, 256>;

// The start of the display line after the one starting at `pos` that fits
// `width` pixels; `lineEnd` receives where the line's text ends.
size_t NextDisplayLine(std::string_view text, size_t pos, int width, const CharWidths& widths,
                       size_t* lineEnd = nullptr);
// Every display line's start, from offset 2 to the text's end.
std::vector<size_t> WrapDisplayLines(std::string_view text, int width, const CharWidths& widths);
// A display line's shown text (without its break bytes).
std::string_view DisplayLineText(std::string_view text, size_t start, int width, const CharWidths& widths);

// The selection ordered; `whole` when nothing is selected.
struct NoteRange {
    size_t start = 0, end = 0;
};
NoteRange OrderedSelection(size_t a, size_t b, size_t textSize);

// The print lines of a range against a page width: CR, LF, 0 and breaks end
// a line, 0xFF is dropped, a line cut by the width goes back to its last
// blank and a longer line loses its leading blank.  `gapAfter` is true for a
// line followed by an empty one (one more line height before the next).
struct PrintLine {
    std::string text;
    bool gapAfter = false;
};
std::vector<PrintLine> NotePrintLines(const NoteDisplay& d, NoteRange range, int width,
                                      const CharWidths& widths, std::string_view flags = kNoteSectionFlags);

// The RTF body of the shown sections within the range (the head and the
// closing "}" are the caller's): each section "{\b }{" + its text + " \par}"
// (" \par \par}" above section 9), breaks as " \par ", text escaped.
std::string NoteRtfBody(const NoteDisplay& d, NoteRange range, std::string_view flags = kNoteSectionFlags);
// The same as plain text, lines closed by CR LF (code page 1250).
std::string NotePlainText(const NoteDisplay& d, NoteRange range, std::string_view flags = kNoteSectionFlags);
