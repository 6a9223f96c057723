#pragma once
// Paragraph codes of the document viewers and their selections.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A code is one byte: the paragraph in the high nibble, the subparagraph in
// the low one.  A selection is codes followed by "+" (the listed ones are
// selected) or "-" (all but the listed ones).

std::string ParagraphText(uint8_t code);
uint8_t PrevParagraph(uint8_t code);
// Labels that replace the number n of kinds other than "S"; empty (digits)
// until the text search registers them.
void SetParagraphLabelLookup(std::function<std::string(int n)> lookup);
std::string ParagraphSetText(std::string_view selection, char kind);
bool IsParagraphGroup(uint8_t code, char kind);
uint8_t ParagraphGroupEnd(uint8_t code, char kind);
// A paragraph key of the text tables: "4" (0x40), "12" (0xC0), "4.1" (0x41),
// "4.12" (0x4C, the second subparagraph digit 0-5) or "10_1" (0xA1); 0 for
// anything else.
uint8_t ParagraphKeyToCode(std::string_view key);
// The codes of kind letter `kind` from the data texts' section "Nadpis"
// (keys "Odst..") filtered by the UI mask "Prohlizec.Vyb" + kind.
std::string ParagraphListOfKind(char kind);
// The "S" list: keys "Ospc.." of the data texts' section "Nadpis".
std::string ProductSummaryParagraphList();
// Fills the lists of "S", "K", "B", "E", "R", "k", "b", "r" (at most 80 each).
void LoadParagraphLists();
// The list of a kind ("I" reads "S"; a kind without a list reads "K").
std::string ParagraphList(char kind);
// The shorter selection of the set `codes` against the kind's list.
std::string EncodeParagraphSet(std::string_view codes, char kind);
// The same against an explicit list of valid codes.
std::string EncodeParagraphSet(std::string_view codes, char kind, std::string_view list);
