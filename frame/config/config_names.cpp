#include "frame/config/config_names.h"

#include <charconv>

#include "frame/config/placement_scheme.h"
#include "platform/ascii.h"

namespace {

constexpr std::string_view kDefaultFontName = "Tarel Pro CE";

struct NamedColour {
    std::string_view name;
    uint32_t colour;
};

constexpr NamedColour kColourNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", kSystemColour + 0},
    {"clBackground", kSystemColour + 1},
    {"clActiveCaption", kSystemColour + 2},
    {"clInactiveCaption", kSystemColour + 3},
    {"clMenu", kSystemColour + 4},
    {"clWindow", kSystemColour + 5},
    {"clWindowFrame", kSystemColour + 6},
    {"clMenuText", kSystemColour + 7},
    {"clWindowText", kSystemColour + 8},
    {"clCaptionText", kSystemColour + 9},
    {"clActiveBorder", kSystemColour + 10},
    {"clInactiveBorder", kSystemColour + 11},
    {"clAppWorkSpace", kSystemColour + 12},
    {"clHighlight", kSystemColour + 13},
    {"clHighlightText", kSystemColour + 14},
    {"clBtnFace", kSystemColour + 15},
    {"clBtnShadow", kSystemColour + 16},
    {"clGrayText", kSystemColour + 17},
    {"clBtnText", kSystemColour + 18},
    {"clInactiveCaptionText", kSystemColour + 19},
    {"clBtnHighlight", kSystemColour + 20},
    {"cl3DDkShadow", kSystemColour + 21},
    {"cl3DLight", kSystemColour + 22},
    {"clInfoText", kSystemColour + 23},
    {"clInfoBk", kSystemColour + 24},
    {"clHotLight", kSystemColour + 26},
    {"clGradientActiveCaption", kSystemColour + 27},
    {"clGradientInactiveCaption", kSystemColour + 28},
    {"clMenuHighlight", kSystemColour + 29},
    {"clMenuBar", kSystemColour + 30},
};

} // namespace

bool ColourOfName(std::string_view name, uint32_t& colour)
{
    for (const NamedColour& n : kColourNames)
        if (AsciiEqualsIgnoreCase(n.name, name)) {
            colour = n.colour;
            return true;
        }
    return false;
}

std::string ColourText(uint32_t colour)
{
    for (const NamedColour& n : kColourNames)
        if (n.colour == colour)
            return std::string(n.name);
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string s = "$";
    for (int shift = 28; shift >= 0; shift -= 4)
        s.push_back(digits[(colour >> shift) & 15]);
    return s;
}

void ReadColours(std::string_view v, std::array<uint32_t, 7>& colours)
{
    size_t index = 0;
    while (index < colours.size()) {
        const size_t comma = v.find(',');
        if (comma == std::string_view::npos)
            break; // only comma-terminated items count
        const std::string_view item = v.substr(0, comma);
        v.remove_prefix(comma + 1);
        if (item.size() >= 5) {
            uint32_t c;
            if (item.substr(0, 2) == "cl") {
                if (ColourOfName(item, c))
                    colours[index] = c;
            } else if (item.front() == '$' && item.size() <= 9) {
                uint32_t value = 0;
                auto r = std::from_chars(item.data() + 1, item.data() + item.size(), value, 16);
                if (r.ec == std::errc() && r.ptr == item.data() + item.size())
                    colours[index] = value;
            }
        }
        ++index;
    }
}

ConfigFont ReadFont(std::string_view v)
{
    ConfigFont f;
    const size_t comma = v.find(',');
    const size_t open = v.find('[');
    const size_t close = open == std::string_view::npos ? open : v.find(']', open);
    std::string_view name = v.substr(0, comma != std::string_view::npos ? comma : open);
    name = TrimBlanks(name);
    f.name = name.empty() ? std::string(kDefaultFontName) : std::string(name);
    int32_t size = 9;
    if (comma == std::string_view::npos || !ParseConfigInt(v.substr(comma + 1, 3), size) || size < 6 ||
        size > 30)
        size = 9;
    f.size = size;
    int32_t style = 0;
    if (open != std::string_view::npos && close != std::string_view::npos &&
        ParseConfigInt(v.substr(open + 1, close - open - 1), style))
        f.style = style & 15;
    return f;
}

std::string FontText(const ConfigFont& f)
{
    std::string s = f.name;
    s += ", ";
    s += std::to_string(f.size);
    s += " [";
    s += std::to_string(f.style);
    s += ']';
    return s;
}
