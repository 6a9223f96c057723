#pragma once
// The ATC tree of the ATC list: which positions of the code index are shown
// (the list's Filter words, bit i = position i) and how the tree keys change
// them.  Pure operations over the codes of the code index in key order
// (trailing blanks removed); an ATC code has 1, 3, 4, 5 or 7 characters.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

bool FilterBit(const std::vector<uint16_t>& filter, int32_t position);
void SetFilterBit(std::vector<uint16_t>& filter, int32_t position, bool on);
// Words for `count` positions ((count div 16) + 1) with the one-letter codes
// set: the tree collapsed to its top level.
std::vector<uint16_t> TopLevelFilter(const std::vector<std::string>& codes);
// The position of exactly this code, -1 when absent.
int32_t AtcCodePosition(const std::vector<std::string>& codes, std::string_view code);
// Shows the entries of the next level below the node (longer than it, not
// longer than its first entry after it); only nodes of 1, 3, 4 or 5
// characters have one.
void ShowNextLevel(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node);
// Hides every entry below the node.
void HideSubtree(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node);
// Makes the entry at `entry` visible with its next level: the next level of
// each of its ancestors, then its own.
void RevealEntry(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t entry);
// A tree key ('<', '>', '+', '-') on the node at `node`: "<" sets `prefix`
// to the parent's code (the code cut by one character, by two when one would
// leave 2 or 6), ">" to the node's own; "-" hides the subtree, the others
// show the next level.  False when there is no such node.
bool ApplyTreeKey(const std::vector<std::string>& codes, std::vector<uint16_t>& filter, int32_t node,
                  char key, std::string& prefix);
// The tree key of a typed character (',' '<', '.' '>', '=' '+', '_' '-'),
// 0 for any other.
char TreeKeyOfTyped(char c);
// The 4-character tree column of a position: "-" (expanded) or "+"
// (collapsed) when the next entry lies below it, at cell 1 for codes of one
// or two characters, else at the code's length - 1.
std::string TreeColumn(const std::vector<std::string>& codes, const std::vector<uint16_t>& filter,
                       int32_t position);
// The list letter typed text asks for: name order for one character that
// is no main group letter, or for two or more whose first is not A..V or
// whose second is not a digit; the case of `letter` (the tree) is kept.
char AtcOrderLetter(std::string_view typed, char letter);
