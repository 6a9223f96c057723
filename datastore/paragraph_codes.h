#pragma once
// Paragraph codes of the document viewers and their selections.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A code is one byte: the paragraph in the high nibble, the subparagraph in
// the low one.  A selection is codes followed by "+" (the listed ones are
// selected) or "-" (all but the listed ones).

std::string ParagraphText(uint8_t code);
uint8_t PrevParagraph(uint8_t code);
// Labels that replace the number n of kinds other than "S"; empty (digits)
// until LoadParagraphLists registers ParagraphAbbreviation.
void SetParagraphLabelLookup(std::function<std::string(int n)> lookup);
std::string ParagraphSetText(std::string_view selection, char kind);
bool IsParagraphGroup(uint8_t code, char kind);
uint8_t ParagraphGroupEnd(uint8_t code, char kind);
// A paragraph key of the text tables: "4" (0x40), "12" (0xC0), "4.1" (0x41),
// "4.12" (0x4C, the second subparagraph digit 0-5) or "10_1" (0xA1); 0 for
// anything else.
uint8_t ParagraphKeyToCode(std::string_view key);
// The paragraph titles of a kind: the entries of the data texts' section
// "Ospc" (kinds "S", "I") or "Odst" (the others) after their "Nadpis", in
// table order.
std::vector<std::pair<std::string, std::string>> ParagraphTitleEntries(char kind);
// The paragraph number of a two-character "Odst" key (a blank counts as 0:
// " 0" is paragraph 0), -1 for any other key.
int OdstParagraphNumber(std::string_view key);
// The code of paragraph n of the kinds other than "S": its two decimal
// digits as the two nibbles.
inline uint8_t OdstParagraphCode(int n)
{
    return static_cast<uint8_t>(16 * (n / 10) + n % 10);
}
// The code of a one-character "Odst" group key c: c - 112.
inline uint8_t OdstGroupCode(char c)
{
    return static_cast<uint8_t>(static_cast<unsigned char>(c) - 112);
}
// Whether paragraph n exists for the kind: character n + 1 of the UI mask
// "Prohlizec.Vyb" + kind is "+".
bool ParagraphAvailable(std::string_view mask, int n);
// The two-letter abbreviation of paragraph n (0-99): the characters at
// index n of "Prohlizec.Zkr1" and "Zkr2" when the first is neither blank nor
// a digit; empty (write the number) otherwise.
std::string ParagraphAbbreviation(int n);
// The codes of kind letter `kind` from the data texts' section "Odst": its
// groups and the paragraphs the mask "Prohlizec.Vyb" + kind lets through.
std::string ParagraphListOfKind(char kind);
// The "S" list: the codes of the keys of the data texts' section "Ospc".
std::string ProductSummaryParagraphList();
// Fills the lists of "S", "K", "B", "E", "R", "k", "b", "r" (at most 80 each)
// and makes ParagraphAbbreviation the labels of ParagraphSetText.
void LoadParagraphLists();
// The list of a kind ("I" reads "S"; a kind without a list reads "K").
std::string ParagraphList(char kind);
// The shorter selection of the set `codes` against the kind's list.
std::string EncodeParagraphSet(std::string_view codes, char kind);
// The same against an explicit list of valid codes.
std::string EncodeParagraphSet(std::string_view codes, char kind, std::string_view list);
