#pragma once
// Command codes as three letters.  A code packs each letter's low six bits:
// the first letter at bits 10-15 (so a lower-case first letter sets bit 15),
// the other two with five bits each at 5-9 and 0-4.  The same code names a
// menu item, a toolbar button, a data window's kind and a usage counter.

#include <cstdint>
#include <string>
#include <string_view>

constexpr uint16_t KindOf(std::string_view letters)
{
    auto at = [&](size_t i) -> unsigned {
        return i < letters.size() ? static_cast<unsigned char>(letters[i]) : 0u;
    };
    return static_cast<uint16_t>(((at(0) & 0x3F) << 10) | ((at(1) & 0x1F) << 5) | (at(2) & 0x1F));
}

// The three letters of a code; the first in lower case when bit 15 is set.
// A letter position holding 0 reads "@".
inline std::string KindLetters(uint16_t code)
{
    std::string s(3, '@');
    s[0] = static_cast<char>(((code >> 10) & 0x1F) + ((code & 0x8000) ? 96 : 64));
    s[1] = static_cast<char>(((code >> 5) & 0x1F) + 64);
    s[2] = static_cast<char>((code & 0x1F) + 64);
    return s;
}

static_assert(KindOf("DNA") == 4545);
static_assert(KindOf("dMA") == 37281);
static_assert(KindOf("sOM") == 52717);
static_assert(KindOf("SSI") == 20073);
static_assert(KindOf("SWL") == 20204);
static_assert(KindOf("RMD") == 18852);
static_assert(KindOf("SUU") == 20149);
