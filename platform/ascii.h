#pragma once
// ASCII-only letter case and blank trimming, the one copy for option names,
// file names, configuration keys and fixed-width record fields.  Bytes from
// 128 up are left alone: they are code-page letters whose case the code-page
// tables decide.

#include <string>
#include <string_view>

inline char AsciiLowerChar(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline char AsciiUpperChar(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

inline bool IsAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline std::string AsciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = AsciiLowerChar(c);
    return out;
}

inline std::string AsciiUpper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = AsciiUpperChar(c);
    return out;
}

inline bool AsciiEqualsIgnoreCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLowerChar(a[i]) != AsciiLowerChar(b[i]))
            return false;
    return true;
}

inline bool AsciiStartsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && AsciiEqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// Blank means the space character only: record fields are blank-padded, and a
// tab or a control byte inside one is data.
inline std::string_view TrimRightBlanks(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

inline std::string_view TrimLeftBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    return s;
}

inline std::string_view TrimBlanks(std::string_view s)
{
    return TrimLeftBlanks(TrimRightBlanks(s));
}

// Blanks and control characters: every byte up to the space.  Texts typed,
// pasted or passed on a command line carry them around their words.
inline bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// Drops the bytes `drop` accepts from the end, the start, or both ends.
template <class Drop>
std::string_view TrimRightIf(std::string_view s, Drop drop)
{
    while (!s.empty() && drop(s.back()))
        s.remove_suffix(1);
    return s;
}

template <class Drop>
std::string_view TrimLeftIf(std::string_view s, Drop drop)
{
    while (!s.empty() && drop(s.front()))
        s.remove_prefix(1);
    return s;
}

template <class Drop>
std::string_view TrimIf(std::string_view s, Drop drop)
{
    return TrimLeftIf(TrimRightIf(s, drop), drop);
}
