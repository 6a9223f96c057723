#pragma once
// UTF-8 texts from outside (news feeds, e-prescriptions, lists written by
// Linux editors) brought into the display code page (code page 1250).
//
// The decoder is lenient: a byte that does not start a well-formed sequence,
// and a character the code page cannot hold, each become one "?".  Nothing is
// ever dropped silently, so a text keeps its length order of magnitude and a
// caller never sees a half-character.

#include <string>
#include <string_view>

// Removes markup from a code page 1250 text: repeatedly deletes from the
// first "<" to the first ">" while the "<" stands before the ">"; then
// "&nbsp;" and the no-break blank 0xA0 become blanks, "&gt;" ">", "&lt;"
// "<" and "&quot;" a double quote.  No other entity is touched ("&amp;" and
// numeric references stay as they are).
void StripTagsAndEntities(std::string& text);

// UTF-8 to code page 1250, without any markup handling.
std::string Utf8ToCodePage(std::string_view utf8);

// UTF-8 to code page 1250, then StripTagsAndEntities.
std::string Utf8ToText(std::string_view utf8);

// Whether the text is well-formed UTF-8 holding at least one multi-byte
// sequence: the mark of a text written in UTF-8 rather than in a one-byte
// code page (plain ASCII reads the same either way).
bool LooksLikeUtf8(std::string_view text);
