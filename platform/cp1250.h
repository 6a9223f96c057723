#pragma once
// The one conversion point between code page 1250 byte strings and Unicode.
// Every display text becomes a QString here and nowhere else.

#include <QString>
#include <string>
#include <string_view>

char16_t Cp1250ToUnicode(unsigned char b);
// False when the code page has no byte for c.
bool UnicodeToCp1250(char32_t c, unsigned char& out);

QString Cp1250ToQString(std::string_view bytes);
// Characters the code page cannot hold become `replacement`.
std::string QStringToCp1250(const QString& text, char replacement = '?');

// Strict conversion for sources: false (and the index of the first offending
// character) on invalid UTF-8 or a character outside the code page.
bool Utf8ToCp1250(std::string_view utf8, std::string& out, size_t* badIndex = nullptr);
std::string Cp1250ToUtf8(std::string_view bytes);
