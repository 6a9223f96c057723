#pragma once
// What the duplicity page's sources share (duplicity_page.cpp and
// duplicity_page_paint.cpp); not for other callers.

#include "frame/windows/style.h"
#include "platform/gui/canvas.h"
#include "viewers/duplicity_page.h"

namespace duplicity_parts {

inline constexpr Colour kWhite = 0xFFFFFF;
inline constexpr Colour kBlack = 0x000000;
inline constexpr Colour kTextHighlight = 0x808080; // 80 80 80
inline constexpr Colour kLabelColour = 0x444444;   // 44 44 44

// The program colour numbered n (1-7).  Colour 1 is the white field
// background, which would vanish on the white page: the text colour stands
// in for it.
inline Colour ProgramColourNumber(int n)
{
    const int slot = n <= 1 ? 1 : n - 1;
    return ColourOfQColor(ProgramColour(slot));
}

// The class of a duplicity level (0 the strongest; -1 none) and its mark.
inline int ClassOf(int level)
{
    return level >= 6 ? 0 : level >= 4 ? 1 : level == 3 ? 2 : -1;
}

inline const char* SymbolOf(int level)
{
    return level >= 6 ? "!!" : level >= 4 ? "!" : "?";
}

} // namespace duplicity_parts
